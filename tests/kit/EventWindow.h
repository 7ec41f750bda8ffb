#pragma once
// A window for a serial-link module's notifications: it records every posted
// (type, code) pair in order and lets a test wait for them. A hook, when set,
// sees each event on the posting thread before it is recorded, so that a test
// can act exactly between two steps of a session.
#include "platform/Handles.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace seriallinktest {

struct Ev {
  int32_t type;
  int32_t code;
  bool operator==(const Ev&) const = default;
};
std::string Describe(const std::vector<Ev>& events);
// Events without the progress events (type 0), for checks on the rest.
std::vector<Ev> WithoutProgress(const std::vector<Ev>& events);
bool Contains(const std::vector<Ev>& events, Ev ev);

class EventWindow {
 public:
  EventWindow();
  ~EventWindow();
  EventWindow(const EventWindow&) = delete;
  EventWindow& operator=(const EventWindow&) = delete;

  qv::HWND32 id() const { return id_; }
  void SetHook(std::function<void(const Ev&)> hook);
  std::vector<Ev> Events() const;
  // Runs on the test thread over the events as they arrive until the
  // worker's end event (8, k*10+1); false on time-out.
  bool Drive(const std::function<void(const Ev&)>& onEvent, std::chrono::seconds timeout);
  // Waits for an event that has not been seen by WaitFor yet.
  bool WaitFor(Ev ev, std::chrono::seconds timeout);

 private:
  void Record(Ev ev);

  qv::HWND32 id_ = 0;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Ev> events_;
  std::function<void(const Ev&)> hook_;
  size_t waitCursor_ = 0;
};

}  // namespace seriallinktest
