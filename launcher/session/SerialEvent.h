#pragma once
// The serial-link module's events as the sessions take them: the kind and its
// code, typed, and the queue the launcher's event handler fills while the
// session's poll consumes it.
#include "abi/KwxApi.h"

#include <cstdint>
#include <deque>
#include <string>

namespace qv {

struct SerialEvent {
  kwx::EventType kind;
  int32_t code;

  bool Is(kwx::EventType k, int32_t c) const { return kind == k && code == c; }
  bool operator==(const SerialEvent&) const = default;
  // Kind "=" code in decimal, as logs show an event.
  explicit operator std::string() const { return std::to_string(kind) + "=" + std::to_string(code); }
};

// Events in the order the module posted them.
class SerialEventQueue {
 public:
  void Add(SerialEvent event) { events_.push_back(event); }
  void Clear() { events_.clear(); }
  bool Empty() const { return events_.empty(); }
  SerialEvent Take() {
    const SerialEvent event = events_.front();
    events_.pop_front();
    return event;
  }
  const std::deque<SerialEvent>& Events() const { return events_; }

 private:
  std::deque<SerialEvent> events_;
};

}  // namespace qv
