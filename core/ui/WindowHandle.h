#pragma once
// Gives a Qt object a 32-bit window id that modules post messages to from any
// thread; each message arrives on the object's thread as a PostedMessageEvent.
#include "platform/Handles.h"

#include <QEvent>
#include <QObject>

namespace qv {

class PostedMessageEvent : public QEvent {
 public:
  // A fixed type: every module links its own copy of this code.
  static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + 0x401);
  PostedMessageEvent(uint32_t msg, uintptr_t wParam, intptr_t lParam)
      : QEvent(kType), msg(msg), wParam(wParam), lParam(lParam) {}
  const uint32_t msg;
  const uintptr_t wParam;
  const intptr_t lParam;
};

// Registers target; the id is released when target is destroyed.
HWND32 RegisterQtWindow(QObject* target);

}  // namespace qv
