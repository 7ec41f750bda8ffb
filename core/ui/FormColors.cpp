#include "core/ui/FormColors.h"

#include "controls/ColorContrast.h"
#include "controls/Graphics.h"
#include "core/ui/FormPosition.h"

#include <QApplication>
#include <QChildEvent>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace qv {
namespace {

constexpr QPalette::ColorGroup kGroups[] = {QPalette::Active, QPalette::Inactive, QPalette::Disabled};

void SetCaptionRoles(QPalette& p, const QColor& back, const QColor& text,
                     std::initializer_list<QPalette::ColorRole> surfaces,
                     std::initializer_list<QPalette::ColorRole> captions) {
  const QColor dim = ToQColor(DisabledTextColor(ColorFromQColor(text), ColorFromQColor(back)));
  for (QPalette::ColorGroup group : kGroups) {
    for (QPalette::ColorRole role : surfaces) p.setColor(group, role, back);
    for (QPalette::ColorRole role : captions) p.setColor(group, role, group == QPalette::Disabled ? dim : text);
  }
}

}  // namespace

QPalette SchemePalette(const QPalette& base, const QColor& back, const QColor& text) {
  QPalette p = base;
  SetCaptionRoles(p, back, text, {QPalette::Window, QPalette::Button}, {QPalette::WindowText, QPalette::ButtonText});
  // The shades of frames and bevels, as a palette derives them from its button colour.
  for (QPalette::ColorGroup group : kGroups) {
    p.setColor(group, QPalette::Light, back.lighter(150));
    p.setColor(group, QPalette::Midlight, back.lighter(125));
    p.setColor(group, QPalette::Mid, back.darker(150));
    p.setColor(group, QPalette::Dark, back.darker(200));
  }
  return p;
}

QPalette SchemeListPalette(const QPalette& base, const QColor& back, const QColor& text) {
  QPalette p = SchemePalette(base, back, text);
  SetCaptionRoles(p, back, text, {QPalette::Base}, {QPalette::Text});
  return p;
}

namespace {

// Pop-up menus are windows of their own and inherit nothing from the form.
void SetMenuColors(QMenu* menu, const QColor& back, const QColor& text) {
  menu->setPalette(SchemeListPalette(QApplication::palette(menu), back, text));
}

// A menu bar makes the menu of the items it has no room for only when it
// needs one: that menu takes the bar's colours as it is polished.
class MenuBarMenus : public QObject {
 public:
  static constexpr const char* kName = "qvMenuBarMenus";
  explicit MenuBarMenus(QMenuBar* bar) : QObject(bar) {
    setObjectName(kName);
    bar->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ChildPolished) {
      auto* bar = static_cast<QMenuBar*>(watched);
      if (auto* menu = qobject_cast<QMenu*>(static_cast<QChildEvent*>(event)->child()))
        SetMenuColors(menu, bar->palette().color(QPalette::Active, QPalette::Window),
                      bar->palette().color(QPalette::Active, QPalette::WindowText));
    }
    return false;
  }
};

}  // namespace

void SetFormColors(QWidget* form, const QColor& back, const QColor& text) {
  if (!form) return;
  form->setPalette(SchemePalette(form->palette(), back, text));
  for (QMenu* menu : form->findChildren<QMenu*>()) SetMenuColors(menu, back, text);
  for (QMenuBar* bar : form->findChildren<QMenuBar*>())
    if (!bar->findChild<QObject*>(MenuBarMenus::kName, Qt::FindDirectChildrenOnly)) new MenuBarMenus(bar);
}

void TakeMainFormColors(QWidget* form) {
  QWidget* main = MainForm();
  if (!form || !main || main == form) return;
  const QPalette& colours = main->palette();
  SetFormColors(form, colours.color(QPalette::Active, QPalette::Window),
                colours.color(QPalette::Active, QPalette::WindowText));
}

}  // namespace qv
