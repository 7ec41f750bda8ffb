#include "EventWindow.h"

#include <sstream>

namespace seriallinktest {

std::string Describe(const std::vector<Ev>& events) {
  std::ostringstream out;
  for (const auto& e : events) out << "(" << e.type << "," << e.code << ") ";
  return out.str();
}

std::vector<Ev> WithoutProgress(const std::vector<Ev>& events) {
  std::vector<Ev> out;
  for (const auto& e : events)
    if (e.type != 0) out.push_back(e);
  return out;
}

bool Contains(const std::vector<Ev>& events, Ev ev) {
  for (const auto& e : events)
    if (e == ev) return true;
  return false;
}

EventWindow::EventWindow() {
  id_ = qv::RegisterWindow([this](uint32_t msg, uintptr_t w, intptr_t l) {
    if (msg == qv::WM_USER + 1) Record({static_cast<int32_t>(w), static_cast<int32_t>(l)});
  });
}

EventWindow::~EventWindow() { qv::UnregisterWindow(id_); }

void EventWindow::SetHook(std::function<void(const Ev&)> hook) {
  std::lock_guard lock(mutex_);
  hook_ = std::move(hook);
}

void EventWindow::Record(Ev ev) {
  std::function<void(const Ev&)> hook;
  {
    std::lock_guard lock(mutex_);
    hook = hook_;
  }
  if (hook) hook(ev);
  {
    std::lock_guard lock(mutex_);
    events_.push_back(ev);
  }
  changed_.notify_all();
}

std::vector<Ev> EventWindow::Events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

bool EventWindow::Drive(const std::function<void(const Ev&)>& onEvent, std::chrono::seconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  size_t next = 0;
  for (;;) {
    Ev ev{};
    {
      std::unique_lock lock(mutex_);
      if (!changed_.wait_until(lock, end, [&] { return events_.size() > next; })) return false;
      ev = events_[next++];
    }
    if (onEvent) onEvent(ev);
    if (ev.type == 8 && ev.code % 10 == 1) return true;
  }
}

bool EventWindow::WaitFor(Ev ev, std::chrono::seconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] {
    for (; waitCursor_ < events_.size(); ++waitCursor_)
      if (events_[waitCursor_] == ev) {
        ++waitCursor_;
        return true;
      }
    return false;
  });
}

}  // namespace seriallinktest
