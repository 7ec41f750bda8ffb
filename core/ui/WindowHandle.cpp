#include "core/ui/WindowHandle.h"

#include <QCoreApplication>

namespace qv {

HWND32 RegisterQtWindow(QObject* target) {
  HWND32 id = RegisterWindow([target](uint32_t msg, uintptr_t w, intptr_t l) {
    QCoreApplication::postEvent(target, new PostedMessageEvent(msg, w, l));
  });
  QObject::connect(target, &QObject::destroyed, [id] { UnregisterWindow(id); });
  return id;
}

}  // namespace qv
