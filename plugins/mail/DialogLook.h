#pragma once
// The look a dialog component gives the form it shows: its own colour and
// font, or those of the owner's form when ParentColor or ParentFont is set
// and the owner is a widget.
#include <QFont>
#include <QObject>
#include <QPalette>
#include <QWidget>

#include "controls/Graphics.h"

namespace qv {

inline QWidget* DialogOwnerForm(QObject* owner) {
  return owner && owner->isWidgetType() ? static_cast<QWidget*>(owner)->window() : nullptr;
}

inline TColor DialogFormColor(QObject* owner, bool parentColor, TColor color) {
  QWidget* form = DialogOwnerForm(owner);
  return parentColor && form ? ColorFromQColor(form->palette().color(QPalette::Window)) : color;
}

inline QFont DialogFormFont(QObject* owner, bool parentFont, const TFont& font) {
  QWidget* form = DialogOwnerForm(owner);
  return parentFont && form ? form->font() : font.Font;
}

// The text colour of the form's font.
inline TColor DialogFontColor(QObject* owner, bool parentFont, const TFont& font) {
  QWidget* form = DialogOwnerForm(owner);
  return parentFont && form ? ColorFromQColor(form->palette().color(QPalette::WindowText)) : font.Color;
}

}  // namespace qv
