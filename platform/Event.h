#pragma once
// Win32-style events: auto-reset (one waiter takes the signal) or manual-reset
// (stays signalled until reset), with waits on one or any of several events.
// Time-outs run on the monotonic clock.
#include <chrono>
#include <initializer_list>
#include <span>

namespace qv {

class Event {
 public:
  enum class Mode { AutoReset, ManualReset };
  static constexpr std::chrono::milliseconds kInfinite = std::chrono::milliseconds::max();
  static constexpr int kTimeout = -1;

  explicit Event(Mode mode, bool initiallySet = false);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;
  // True when the event was (or became) signalled before the time-out.
  bool Wait(std::chrono::milliseconds timeout = kInfinite);

  // Index of the signalled event, the lowest first, or kTimeout. An auto-reset
  // event that is reported is reset, the others are left as they are.
  static int WaitAny(std::span<Event* const> events, std::chrono::milliseconds timeout = kInfinite);
  static int WaitAny(std::initializer_list<Event*> events, std::chrono::milliseconds timeout = kInfinite) {
    return WaitAny(std::span<Event* const>(events.begin(), events.size()), timeout);
  }

 private:
  bool TakeLocked();
  const Mode mode_;
  bool set_;
};

}  // namespace qv
