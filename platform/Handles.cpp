#include "platform/Handles.h"

#include <condition_variable>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

namespace qv {
namespace {

template <typename T>
class HandleTable {
 public:
  uint32_t Add(T value) {
    std::unique_lock lock(mutex_);
    do {
      ++next_;
    } while (next_ == 0 || entries_.count(next_));
    entries_.emplace(next_, std::move(value));
    return next_;
  }
  void Remove(uint32_t id) {
    std::unique_lock lock(mutex_);
    entries_.erase(id);
  }
  bool Contains(uint32_t id) const {
    std::shared_lock lock(mutex_);
    return entries_.count(id) != 0;
  }
  // Runs fn on the entry under the table's lock, so that Remove waits for it.
  template <typename Fn>
  bool With(uint32_t id, Fn fn) const {
    std::shared_lock lock(mutex_);
    auto it = entries_.find(id);
    if (it == entries_.end()) return false;
    fn(it->second);
    return true;
  }

 private:
  mutable std::shared_mutex mutex_;
  std::unordered_map<uint32_t, T> entries_;
  uint32_t next_ = 0;
};

// The tables live until the process ends, never destroyed at exit: a
// module's worker thread may still post while the statics are torn down (the
// module joins it only when it is unloaded, which may come later).
HandleTable<MessageSink>& Windows() {
  static auto* t = new HandleTable<MessageSink>;
  return *t;
}
// Counts what was posted, for the polls that wait for it.
struct PostedCount {
  std::mutex mutex;
  std::condition_variable posted;
  uint64_t count = 0;
};
PostedCount& Posted() {
  static auto* p = new PostedCount;
  return *p;
}

HandleTable<std::shared_ptr<void>>& Icons() {
  static auto* t = new HandleTable<std::shared_ptr<void>>;
  return *t;
}

}  // namespace

HWND32 RegisterWindow(MessageSink sink) { return Windows().Add(std::move(sink)); }
void UnregisterWindow(HWND32 id) { Windows().Remove(id); }
bool IsWindowHandle(HWND32 id) { return Windows().Contains(id); }

bool PostMessage(HWND32 id, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  const bool delivered = Windows().With(id, [&](const MessageSink& sink) {
    if (sink) sink(msg, wParam, lParam);
  });
  if (!delivered) return false;
  // Counted once the sink has it, so that a poll woken by the count finds it.
  PostedCount& p = Posted();
  {
    std::lock_guard lock(p.mutex);
    ++p.count;
  }
  p.posted.notify_all();
  return true;
}

uint64_t PostedMessageCount() {
  PostedCount& p = Posted();
  std::lock_guard lock(p.mutex);
  return p.count;
}

bool WaitPostedMessage(uint64_t seen, std::chrono::milliseconds timeout) {
  PostedCount& p = Posted();
  std::unique_lock lock(p.mutex);
  return p.posted.wait_for(lock, timeout, [&] { return p.count != seen; });
}

HICON32 RegisterIcon(std::shared_ptr<void> icon) { return Icons().Add(std::move(icon)); }
void ReleaseIcon(HICON32 id) { Icons().Remove(id); }
std::shared_ptr<void> LookupIcon(HICON32 id) {
  std::shared_ptr<void> out;
  Icons().With(id, [&](const std::shared_ptr<void>& p) { out = p; });
  return out;
}

}  // namespace qv
