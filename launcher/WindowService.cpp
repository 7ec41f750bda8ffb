#include "launcher/WindowService.h"

#include "core/ui/WindowHandle.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace qv {
namespace {

using Clock = std::chrono::steady_clock;

// GUI thread only.
int g_holding = 0;
struct HeldEvent {
  QPointer<QObject> target;
  uint32_t msg;
  uintptr_t wParam;
  intptr_t lParam;
};
std::vector<HeldEvent>& Held() {
  static std::vector<HeldEvent> held;
  return held;
}

// Wakes the GUI thread's event loop when the deadline has come: with its
// timers left alone nothing else in the loop would.
class DeadlineWaker {
 public:
  explicit DeadlineWaker(Clock::time_point until) : dispatcher_(QAbstractEventDispatcher::instance()) {
    thread_ = std::thread([this, until] {
      std::unique_lock lock(mutex_);
      if (!ended_.wait_until(lock, until, [this] { return over_; }) && dispatcher_) dispatcher_->wakeUp();
    });
  }
  ~DeadlineWaker() {
    {
      std::lock_guard lock(mutex_);
      over_ = true;
    }
    ended_.notify_all();
    thread_.join();
  }

 private:
  QAbstractEventDispatcher* dispatcher_;
  std::mutex mutex_;
  std::condition_variable ended_;
  bool over_ = false;
  std::thread thread_;
};

}  // namespace

void ServeWindows(std::chrono::milliseconds span, Serving serving, const std::function<bool()>& woken) {
  auto isWoken = [&woken] { return woken && woken(); };
  if (serving == Serving::Everything) {
    bool due = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, [&due] { due = true; });
    deadline.start(span);
    while (!due && !isWoken()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return;
  }
  const Clock::time_point until = Clock::now() + span;
  ++g_holding;
  {
    DeadlineWaker waker(until);
    while (Clock::now() < until && !isWoken())
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::X11ExcludeTimers |
                                      QEventLoop::WaitForMoreEvents);
  }
  if (--g_holding > 0) return;
  // The input kept back is handed on at the loop's next round, which only
  // looks at the window system when woken.
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) dispatcher->wakeUp();
  std::vector<HeldEvent> held;
  held.swap(Held());
  for (const HeldEvent& e : held)
    if (e.target) QCoreApplication::postEvent(e.target, new PostedMessageEvent(e.msg, e.wParam, e.lParam));
}

bool HoldModuleEvent(QObject* target, const PostedMessageEvent& event) {
  if (g_holding == 0) return false;
  Held().push_back({target, event.msg, event.wParam, event.lParam});
  return true;
}

}  // namespace qv
