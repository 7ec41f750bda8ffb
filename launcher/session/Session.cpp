#include "launcher/session/Session.h"

#include "launcher/session/DirectMailReception.h"
#include "launcher/session/HandsetData.h"
#include "launcher/session/MailSession.h"
#include "platform/Cp932.h"
#include "platform/Handles.h"

#include <chrono>
#include <cstdio>

namespace qv {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(100);
// Every session ends with at most this many polls for the module to become idle.
constexpr int kIdlePolls = 30000;

}  // namespace

void SessionView::WaitForModule(uint64_t seen, std::chrono::milliseconds timeout) { WaitPostedMessage(seen, timeout); }

RetryPolicy SessionContext::FolderRetry() const {
  RetryPolicy retry;
  SessionView* window = &view;
  retry.waiting = [window] { window->ProcessMessages(); };
  return retry;
}

PollEnd Poll(SessionContext& c, const std::function<bool(const SerialEvent&)>& handle,
             const std::function<bool()>& eachPoll) {
  // The module posts its last events before it reports itself done: one more
  // round takes them, so an error it posted last is still told.
  bool done = false;
  return Poll(c, handle, [&eachPoll, &done] {
    if (done) return PollNext::End;
    done = eachPoll && eachPoll();
    return done ? PollNext::Now : PollNext::Sleep;
  });
}

PollEnd Poll(SessionContext& c, const std::function<bool(const SerialEvent&)>& handle,
             const std::function<PollNext()>& afterDrain) {
  auto aborted = [&c] {
    if (!c.view.AbortRequested()) return false;
    c.link.Disconnect(kwx::kDisconnectUser);
    return true;
  };
  PollNext next = PollNext::Sleep;
  // What was posted before the count was taken is in the window's queue by
  // the time it processes its messages; anything later ends the sleep.
  uint64_t seen = PostedMessageCount();
  for (;;) {
    if (next != PollNext::Now) c.view.WaitForModule(seen, kPollInterval);
    seen = PostedMessageCount();
    c.view.ProcessMessages();
    if (aborted()) return PollEnd::Aborted;
    while (!c.events.Empty()) {
      const SerialEvent event = c.events.Take();
      if (event.kind == kwx::KWX_EV_PROGRESS) {
        char id[16];
        std::snprintf(id, sizeof id, "I%05d", event.code);
        c.view.ShowStatus(c.host.ReportMessage(id, false));
      } else if (handle(event)) {
        return PollEnd::Handled;
      }
      if (aborted()) return PollEnd::Aborted;
    }
    next = afterDrain ? afterDrain() : PollNext::Sleep;
    if (next == PollNext::End) return PollEnd::Handled;
  }
}

ContinueAnswer ContinueOrDisconnect(SessionContext& c) {
  const ContinueAnswer answer = c.view.AskContinue();
  switch (answer) {
    case ContinueAnswer::Continue:
      c.link.ResumeTxRx();
      return answer;
    case ContinueAnswer::NoAnswer:
      c.link.Disconnect(kwx::kDisconnectNoAnswer);
      return answer;
    default:
      c.link.Disconnect(kwx::kDisconnectUser);
      return ContinueAnswer::Disconnect;
  }
}

std::string IncomingCaller(SerialLink& link) {
  const std::string caller = link.GetParam(kwx::kParamCaller, 256);
  return caller.empty() ? Sjis("非通知") : caller;
}

SessionResult RunSessionOfMode(SessionContext& c, SessionMode mode) {
  SessionResult result = SessionResult::NothingDone;
  switch (mode) {
    case SessionMode::SendQueue:
      result = MailSession(c, true, false, false, false).Run();
      break;
    case SessionMode::ReceiveMail:
      result = MailSession(c, false, true, false, false).Run();
      break;
    case SessionMode::AutoReceiveMail:
      result = MailSession(c, false, true, true, false).Run();
      break;
    case SessionMode::SendAndReceive:
      result = MailSession(c, true, true, false, false).Run();
      break;
    case SessionMode::AcceptDirectMail: {
      // Inside ring-wait, which goes on afterwards: no wait for idle. The
      // number shown is the peer the mail is stored from.
      const std::string shown = IncomingCaller(c.link);
      c.view.ShowNumber(shown);
      return DirectMailReception(c, shown).Run();
    }
    case SessionMode::SendDirectMailOnly:
      result = MailSession(c, true, false, false, true).Run();
      break;
    case SessionMode::ReadHandsetInfo:
      result = HandsetDataRead(c, c.options.parameter).Run();
      break;
    case SessionMode::WriteHandsetInfo:
      result = HandsetDataWrite(c, c.options.parameter).Run();
      break;
  }
  c.link.WaitIdle(kIdlePolls);
  return result;
}

}  // namespace qv
