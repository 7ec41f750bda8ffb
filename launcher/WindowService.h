#pragma once
// The launcher's waits keep its windows answering: while a wait sleeps
// between two looks at the serial-link module, the windows paint and answer
// the window manager (its pings, exposures, moves) as they come, instead of
// once a poll or not at all.
#include <chrono>
#include <functional>

class QObject;

namespace qv {

class PostedMessageEvent;

// What may run while a wait serves the windows.
enum class Serving {
  // Everything, as processing messages does (the session's poll, whose
  // dialog is modal).
  Everything,
  // Only what keeps the windows alive: no user input and no timers, and the
  // serial-link module's events held until the wait is over, so that nothing
  // new starts (the waits that the module closes a port or ring-wait ends in).
  NothingNew,
};

// Waits up to span, serving the windows; over as soon as woken() holds.
void ServeWindows(std::chrono::milliseconds span, Serving serving, const std::function<bool()>& woken = {});

// While a NothingNew wait runs, the module's event for target is kept (true)
// and posted to it again, in order, once the wait is over; false otherwise.
bool HoldModuleEvent(QObject* target, const PostedMessageEvent& event);

}  // namespace qv
