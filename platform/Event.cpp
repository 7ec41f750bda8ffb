#include "platform/Event.h"

#include <condition_variable>
#include <mutex>

namespace qv {
namespace {
// One lock and condition for all events: there are only a handful, and a
// shared condition makes waiting on several at once simple and race-free.
std::mutex g_mutex;
std::condition_variable g_changed;

template <typename Pred>
bool WaitFor(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds timeout, Pred pred) {
  if (timeout == Event::kInfinite) {
    g_changed.wait(lock, pred);
    return true;
  }
  auto deadline = std::chrono::steady_clock::now() + timeout;
  return g_changed.wait_until(lock, deadline, pred);
}
}  // namespace

Event::Event(Mode mode, bool initiallySet) : mode_(mode), set_(initiallySet) {}

void Event::Set() {
  {
    std::lock_guard lock(g_mutex);
    set_ = true;
  }
  g_changed.notify_all();
}

void Event::Reset() {
  std::lock_guard lock(g_mutex);
  set_ = false;
}

bool Event::IsSet() const {
  std::lock_guard lock(g_mutex);
  return set_;
}

bool Event::TakeLocked() {
  if (!set_) return false;
  if (mode_ == Mode::AutoReset) set_ = false;
  return true;
}

bool Event::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock lock(g_mutex);
  return WaitFor(lock, timeout, [this] { return set_; }) && TakeLocked();
}

int Event::WaitAny(std::span<Event* const> events, std::chrono::milliseconds timeout) {
  std::unique_lock lock(g_mutex);
  int found = kTimeout;
  auto pred = [&] {
    for (size_t i = 0; i < events.size(); ++i)
      if (events[i] && events[i]->set_) {
        found = static_cast<int>(i);
        return true;
      }
    return false;
  };
  if (!WaitFor(lock, timeout, pred)) return kTimeout;
  events[found]->TakeLocked();
  return found;
}

}  // namespace qv
