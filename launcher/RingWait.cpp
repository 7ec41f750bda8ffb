#include "launcher/RingWait.h"

#include "launcher/WindowService.h"

#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "core/data/TextFunctions.h"
#include "platform/Text.h"

#include <QApplication>
#include <algorithm>
#include <atomic>
#include <limits>

namespace qv {
namespace {

std::atomic<int> g_pauseRate{1};

// Every stop waits at most this many polls for the module to become idle.
constexpr int kIdlePolls = 30000;
// The longest retry interval whose milliseconds a timer still holds.
constexpr int kMaxAutoReceiveMinutes = std::numeric_limits<int>::max() / 60000;

// A count or interval of an e-mail notice: 0 when it is no number, 1 when negative.
int NoticeNumber(std::string_view field) {
  const int value = NumberOrZero(Trim(field));
  return value < 0 ? 1 : value;
}

}  // namespace

void PacingPause(int ms, bool processMessages) {
  // The windows go on painting and answering; nothing new starts.
  ServeWindows(std::chrono::milliseconds(std::max(1, ms / g_pauseRate.load())), Serving::NothingNew);
  if (processMessages) QCoreApplication::processEvents();
}

void SetPauseRate(int rate) { g_pauseRate = std::max(1, rate); }

void RingWait::Show(RingWaitState state) {
  state_ = state;
  window_.ShowRingWaitIndicator(state);
}

void RingWait::Start() {
  if (state_ != RingWaitState::Stopped) return;
  retried_ = false;
  Begin();
}

bool RingWait::RetryStart(int32_t code) {
  if (state_ != RingWaitState::Starting || retried_ || code != kwx::kModulePreparationFailed) return false;
  // The failed session's end follows this error; ring-wait starts again then.
  retried_ = true;
  restartPending_ = true;
  return true;
}

void RingWait::Begin() {
  window_.InitSerialModule(false);
  // Waiting once the module reports it armed (event 1/9).
  Show(RingWaitState::Starting);
  if (!link_.WaitForRing()) Show(RingWaitState::Stopped);
}

void RingWait::Stop(bool noPause) {
  restartPending_ = false;
  if (state_ == RingWaitState::Stopped) return;
  Show(RingWaitState::Stopping);
  link_.Disconnect(kwx::kDisconnectStopRingWait);
  link_.WaitIdle(kIdlePolls);
  Show(RingWaitState::Stopped);
  if (!noPause) PacingPause(1000, true);
  window_.SetStatus("");
}

void RingWait::WaitTransition() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  auto inTransition = [this] { return state_ == RingWaitState::Starting || state_ == RingWaitState::Stopping; };
  while (inTransition()) {
    // The module's (1, 9) ends the sleep as it is handled.
    ServeWindows(std::chrono::milliseconds(100), Serving::Everything, [&] { return !inTransition(); });
    QCoreApplication::processEvents();
  }
  QApplication::restoreOverrideCursor();
}

void RingWait::PauseAround(const std::function<void()>& run) {
  WaitTransition();
  const bool wasWaiting = state_ == RingWaitState::Waiting;
  if (wasWaiting) Stop(false);
  run();
  if (wasWaiting) Start();
}

void RingWait::Armed() {
  if (state_ != RingWaitState::Starting) return;
  Show(RingWaitState::Waiting);
  window_.SetStatus("");
}

void RingWait::EndedByModule() {
  if (restartPending_) {
    restartPending_ = false;
    if (state_ != RingWaitState::Starting) return;
    link_.WaitIdle(kIdlePolls);
    Begin();
    return;
  }
  // The indicator must not go on saying it waits.
  if (state_ == RingWaitState::Waiting || state_ == RingWaitState::Starting) Show(RingWaitState::Stopped);
}

bool RingWait::TakeEMailNotice(std::string notice, bool& mismatch, std::string& notifier) {
  std::erase_if(notice, [](char c) { return c == '\r' || c == '\n'; });
  notifier = TrimText(GetField(notice, ":", 0));
  mismatch = notifier != EMailAutoPhoneNo();
  if (mismatch) {
    autoCount_ = 0;
    autoInterval_ = 1;
    return false;
  }
  autoCount_ = NoticeNumber(GetField(notice, ":", 2));
  autoInterval_ = std::min(NoticeNumber(GetField(notice, ":", 3)), kMaxAutoReceiveMinutes);
  autoNumber_ = TrimText(GetField(notice, ":", 1));
  return !autoNumber_.empty();
}

}  // namespace qv
