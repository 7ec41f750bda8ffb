#pragma once
// What every plug-in's GetIcon hands out: its window's icon, or the
// application's when the window has none. The handle points to a copy the
// module keeps until ReleasePluginIcon (PluginFinalize), so the launcher may
// hold it while the module is loaded. Each module has its own copy of this.
#include "abi/PluginApi.h"

#include <QApplication>
#include <QIcon>
#include <QWidget>
#include <memory>

namespace qv {

inline std::unique_ptr<QIcon>& PluginIconHolder() {
  static std::unique_ptr<QIcon> icon;
  return icon;
}

inline QvBool GivePluginIcon(const QWidget* form, QvIconHandle* icon) {
  if (!icon) return 0;
  std::unique_ptr<QIcon>& held = PluginIconHolder();
  if (!held) {
    const QIcon own = form ? form->windowIcon() : QIcon();
    held = std::make_unique<QIcon>(own.isNull() ? QApplication::windowIcon() : own);
  }
  *icon = held.get();
  return 1;
}

inline void ReleasePluginIcon() { PluginIconHolder().reset(); }

}  // namespace qv
