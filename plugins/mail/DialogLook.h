#pragma once
// The look a dialog component gives the form it shows: a font and whether
// the form takes its colour and font from the owner's form instead (when
// ParentColor or ParentFont is set and the owner is a widget).
#include <QFont>
#include <QObject>
#include <QPalette>
#include <QWidget>

#include "controls/Graphics.h"
#include "core/ui/FormColors.h"

namespace qv {

class TDialogLook {
 public:
  TDialogLook() { font_.Color = clBtnText; }

  TFont GetFont() const { return font_; }
  void SetFont(const TFont& value) { font_ = value; }
  bool GetParentColor() const { return parentColor_; }
  void SetParentColor(bool value) { parentColor_ = value; }
  bool GetParentFont() const { return parentFont_; }
  void SetParentFont(bool value) { parentFont_ = value; }

 protected:
  // The form's colour: the owner form's, or own.
  TColor FormColor(QObject* owner, TColor own) const {
    QWidget* form = OwnerForm(owner);
    return parentColor_ && form ? ColorFromQColor(form->palette().color(QPalette::Window)) : own;
  }
  QFont FormFont(QObject* owner) const {
    QWidget* form = OwnerForm(owner);
    return parentFont_ && form ? form->font() : font_.Font;
  }
  // The colour of the form's text.
  TColor FontColor(QObject* owner) const {
    QWidget* form = OwnerForm(owner);
    return parentFont_ && form ? ColorFromQColor(form->palette().color(QPalette::WindowText)) : font_.Color;
  }
  // Gives the form its font, its colour and its text colour, as every window shows them.
  void ApplyLook(QWidget& form, QObject* owner, TColor own) const {
    form.setFont(FormFont(owner));
    SetFormColors(&form, ToQColor(FormColor(owner, own)), ToQColor(FontColor(owner)));
  }

 private:
  static QWidget* OwnerForm(QObject* owner) {
    return owner && owner->isWidgetType() ? static_cast<QWidget*>(owner)->window() : nullptr;
  }

  TFont font_;
  bool parentColor_ = true;
  bool parentFont_ = true;
};

}  // namespace qv
