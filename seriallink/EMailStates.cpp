#include "EMailStates.h"

#include "Clock.h"
#include "Codes.h"
#include "Engine.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace portvine {
namespace {

constexpr int32_t kReplyRoom = 256;
constexpr int32_t kListLimit = 2048;

// Base of the e-mail line states: the command and reply areas, the reply read
// and the standard reply check.
class CLineState : public CState {
 public:
  CLineState(const StateEntry& entry, int32_t kind, StateContext& c)
      : CState(entry.id, entry.flags, entry.rule), kind_(kind), c_(c) {}

 protected:
  bool Check() const override { return check_; }

  void ClearAreas() {
    command_.fill(0);
    reply_.fill(0);
    replyLength_ = 0;
    check_ = true;
  }

  bool ReadReply(int32_t seconds, int32_t deadlineCode) {
    c_.port.TimerSet(seconds, deadlineCode);
    replyLength_ = kReplyRoom;
    const bool ok = c_.port.PortReadLine(reply_.data(), replyLength_);
    c_.port.TimerClear();
    return ok;
  }

  int32_t ClassifyReply() {
    c_.splitter.LineSplitterSetBuffer(reply_.data(), reply_.size());
    return c_.splitter.ClassifyLine(reply_.data(), static_cast<size_t>(replyLength_));
  }

  // The standard reply check for an answer that was not the expected one.
  void ReplyFailed(int32_t line) {
    check_ = false;
    if (line == kLineOther || line == kLineEmpty || line == kModemEmpty) {
      c_.status.SetError(code::EmptyOrUnknownLine);
    } else if (!c_.port.PortCarrier()) {
      c_.status.SetError(code::CarrierLost);
    } else if (line == kLineDisconnect && c_.splitter.LineSplitterHasCode()) {
      c_.status.SetFarEnd(c_.splitter.FarEndCode());
    } else {
      c_.status.SetError(code::UnexpectedLine);
    }
  }

  // A failed read of a command's answer.
  void AnswerReadFailed() {
    const int32_t e = c_.port.Error();
    if (e == code::ReadAbandoned) c_.status.SetAlt2(code::CallerBrokeOff, true);
    else if (e == code::ReasonNoAnswer) c_.status.SetAlt2(code::NoAnswerTimeout, true);
    else if (e == code::LineTooLong) c_.status.SetError(code::ReplyTooLong);
    else c_.status.SetError(e);
  }

  // A body (or its MAIL line) that could not be sent.
  void BodyFailed() {
    const int32_t e = c_.port.Error();
    if (e == code::ReadAbandoned) c_.status.SetAlt2(code::CallerBrokeOff, true);
    else if (c_.port.PortCarrier()) c_.status.SetError(e);
    else c_.status.SetError(code::CarrierLost);
  }

  // Polls every 100 ms until the carrier drops or the deadline passes (then
  // the result is the deadline), and pulses DTR.
  void WaitCarrierDrop() {
    for (;;) {
      if (!c_.port.PortCarrier()) break;
      if (c_.port.TimerCheck()) break;
      clock::Sleep(100);
    }
    c_.port.DtrPulse();
  }

  bool SendClose(int32_t code) {
    char line[40];
    std::snprintf(line, sizeof line, "SOCKET_25_DISCONNECTION[%04d]", static_cast<int>(code % 10000));
    return c_.port.WriteProtocolLine(line);
  }

  const int32_t kind_;
  StateContext& c_;
  bool check_ = true;
  // Large enough for "PURGE[" + a 28-byte id + "]" and its NUL.
  std::array<char, 48> command_{};
  std::array<char, kReplyRoom> reply_{};
  int32_t replyLength_ = 0;
};

// Open the port, prepare the handset, dial (2200, 2300, 2400).
class COpenDialState final : public CLineState {
 public:
  using CLineState::CLineState;
  void Run() override {
    const int32_t abortCode = kind_ == 3 ? code::SendStopped : kind_ == 4 ? code::ReceiveStopped : code::ExchangeStopped;
    auto abort = [&](int32_t code) { c_.status.SetAlt2(code, false); };
    c_.status.kind.store(kind_);
    c_.status.SetDone();
    if (kind_ == 3 && c_.status.MailCount() < 1) {
      c_.status.SetError(code::NoMailsToSend);
      return;
    }
    c_.port.TimerClear();
    if (c_.port.TakeCancel()) return abort(abortCode);
    c_.port.Notify(kwx::KWX_EV_PROGRESS, kind_ * 10 + 6);
    if (!c_.port.PortOpen()) {
      if (c_.port.TakeCancel()) return abort(abortCode);
      if (c_.port.Error() == code::PortCannotOpen) return c_.status.SetError(code::PortCannotOpen);
      return abort(abortCode);
    }
    if (!c_.modem.Prepare()) {
      if (c_.port.TakeCancel()) return abort(abortCode);
      // A handset that never came up, or one whose lines cannot be read, is
      // told as such; any other failure is the preparation's.
      const int32_t e = c_.port.Error();
      return c_.status.SetError(e == code::HandsetNotReady || e == code::ModemStatusUnreadable ? e : code::PreparationFailed);
    }
    const KwxInitialParam param = c_.engine.Params().Get();
    if (!c_.modem.SetBilling(param.Bunkei != 0) && c_.port.TakeCancel())
      return abort(kind_ == 5 ? code::StoppedBeforeCall : abortCode);
    std::string number;
    c_.modem.ReadOwnNumber(number);
    if (number.empty() || number[0] != '0') number.clear();
    c_.engine.SetOwnNumber(number);
    if ((kind_ == 4 || kind_ == 5) && c_.status.autoReceive.load()) c_.modem.ClearEMailNotice();
    if (c_.port.TakeCancel()) return abort(abortCode);
    c_.port.Notify(kwx::KWX_EV_READY, 9);
    c_.port.Notify(kwx::KWX_EV_PROGRESS, kind_ * 10 + 1);
    const int32_t service = kind_ == 3 ? kServiceSend : kind_ == 4 ? kServiceReceive : kServiceExchange;
    if (c_.modem.SelectAndDial(service, c_.modem.EMailDialString())) return c_.status.SetDone();
    if (c_.port.TakeCancel()) return abort(abortCode);
    c_.status.SetError(c_.port.Error());
  }
};

// The connection line and READY (2201, 2301, 2401).
class CConnectState final : public CLineState {
 public:
  using CLineState::CLineState;
  void Run() override {
    static constexpr struct {
      const char* tag;
      int32_t ready;
      int32_t progress;
    } kByKind[] = {{"[1 SEND]", kLineReadySend, 32}, {"[1 RECEIVE]", kLineReadyReceive, 44}, {"[1 XCHNG]", kLineReadyExchange, 52}};
    const auto& k = kByKind[kind_ - 3];
    c_.status.SetDone();
    ClearAreas();
    c_.port.Purge();
    c_.port.Notify(kwx::KWX_EV_PROGRESS, k.progress);
    if (!c_.port.WriteProtocolLine(std::string("SOCKET_25_CONNECTION") + k.tag)) {
      check_ = false;
      return c_.status.SetError(c_.port.Error());
    }
    if (kind_ == 5) c_.port.Notify(kwx::KWX_EV_PROGRESS, 54);
    if (!ReadReply(45, code::NoReady)) {
      check_ = false;
      const int32_t e = c_.port.Error();
      if (e == code::ReadAbandoned) return c_.status.SetAlt2(code::StoppedBeforeCall, true);
      if (e == code::NoReady) return c_.status.SetDeadline(e);
      if (e == code::LineTooLong) return c_.status.SetError(code::ReplyTooLong);
      return c_.status.SetError(e);
    }
    const int32_t line = ClassifyReply();
    if (line == k.ready) return c_.status.SetDone();
    ReplyFailed(line);
  }
};

// One mail: "MAIL", the body, "OK" (2202, 2402).
class CSendMailState final : public CLineState {
 public:
  using CLineState::CLineState;
  void Run() override {
    ClearAreas();
    c_.status.SetDone();
    c_.port.Notify(kwx::KWX_EV_PROGRESS, kind_ * 10 + 2);
    // Woken by a stop rather than a body: nothing is sent.
    if (WaitsForCaller() && c_.port.TakeCancel()) {
      check_ = false;
      return c_.status.SetAlt2(code::CallerBrokeOff, true);
    }
    if (!c_.port.WriteProtocolLine("MAIL") || !c_.port.PortSendBody()) {
      check_ = false;
      return BodyFailed();
    }
    if (!ReadReply(60, code::NoProgress)) {
      check_ = false;
      return AnswerReadFailed();
    }
    const int32_t line = ClassifyReply();
    if (line != kLineOk) return ReplyFailed(line);
    c_.port.Notify(kwx::KWX_EV_READY, 8);
    c_.status.DecrementMailCount();
    c_.status.SetDone();
  }
};

// Waits for the caller's next command (2302, 2403).
class CDispatchState final : public CLineState {
 public:
  using CLineState::CLineState;
  void Run() override {
    const int32_t op = c_.status.Operation().operation;
    if (op == kOpGetList || op == kOpGet || op == kOpPurge) c_.status.SetDone();
    else c_.status.SetAlt1();
    if (c_.port.TakeCancel()) c_.status.SetAlt2(code::ReadAbandoned, true);
  }
};

// GETLIST, GET or PURGE and its answer (2303, 2404).
class CCommandState final : public CLineState {
 public:
  using CLineState::CLineState;
  void Run() override {
    c_.status.SetDone();
    ClearAreas();
    const PostedOperation op = c_.status.Operation();
    int n = 0;
    int32_t progress = kind_ * 10 + 4;
    switch (op.operation) {
      case kOpGetList: n = std::snprintf(command_.data(), command_.size(), "GETLIST[%d]", op.parameter); break;
      case kOpGet: n = std::snprintf(command_.data(), command_.size(), "GET[%s]", op.mailId.c_str()); break;
      case kOpPurge:
        n = std::snprintf(command_.data(), command_.size(), "PURGE[%s]", op.mailId.c_str());
        progress = kind_ * 10 + 7;
        break;
      default: return;
    }
    if (!c_.port.PortWriteLine(command_.data(), static_cast<size_t>(n) + 1)) return c_.status.SetError(c_.port.Error());
    c_.port.Notify(kwx::KWX_EV_PROGRESS, progress);
    if (!ReadReply(60, code::NoProgress)) return AnswerReadFailed();
    const int32_t line = ClassifyReply();
    int32_t count = 0;
    if (op.operation == kOpGetList && line == kLineMailList) {
      if (!c_.engine.ReceiveBody(false, count)) {
        const int32_t e = c_.port.Error();
        if (e == code::ReadAbandoned) return c_.status.SetAlt2(code::CallerBrokeOff, true);
        return c_.status.SetError(count > kListLimit ? code::ListTooLong : e);
      }
      if (count > kListLimit) return c_.status.SetError(code::ListTooLong);
      c_.port.Notify(kwx::KWX_EV_READY, 2);
    } else if (op.operation == kOpGet && line == kLineMail) {
      if (!c_.engine.ReceiveBody(true, count)) {
        const int32_t e = c_.port.Error();
        if (e == code::ReadAbandoned) return c_.status.SetAlt2(code::CallerBrokeOff, true);
        return c_.status.SetError(e);
      }
      c_.port.Notify(kwx::KWX_EV_READY, 2);
    } else if (op.operation == kOpPurge && line == kLineOk) {
      c_.status.SetDone();
    } else if (line == kLineNoMore) {
      c_.port.Notify(kwx::KWX_EV_READY, 11);
      c_.status.SetDone();
    } else {
      ReplyFailed(line);
    }
  }
};

// The normal close "[0000]" (2203, 2304, 2405).
class CCloseState final : public CLineState {
 public:
  using CLineState::CLineState;
  void Run() override {
    c_.status.SetDone();
    c_.port.Purge();
    c_.port.TimerSet(7, code::CloseTimeout);
    if (!SendClose(0)) return c_.status.SetError(c_.port.Error());
    clock::Sleep(1000);
    c_.modem.Hangup();
    if (c_.status.Result() == kDeadline) return;  // it passed during the hang-up
    for (;;) {
      if (!c_.port.PortCarrier()) return c_.status.SetDone();
      if (c_.port.TimerCheck()) return;  // the deadline 70003 is the result
      clock::Sleep(100);
    }
  }
};

// The release state (final; never run).
class CFinalState final : public CLineState {
 public:
  using CLineState::CLineState;
  void Run() override { c_.status.SetDone(); }
};

// The end of a session that stopped or failed before its call (2205, 2306, 2407).
class CAbortEndState final : public CLineState {
 public:
  using CLineState::CLineState;
  void Run() override {
    const int32_t code = c_.status.Code();
    if (code == code::StopRingWait) return c_.port.FlowEvent().Set();
    if (code == code::ModemStatusUnreadable) {
      c_.port.FlowEvent().Set();
      return c_.port.Notify(kwx::KWX_EV_MODULE_ERROR, 30);
    }
    if (c_.port.PortCarrier()) c_.modem.Hangup();
    // Module errors go out as their last four digits; anything else that ended
    // the session before its call counts as a modem dialogue failure.
    const bool moduleCode = code > code::NoError && code < code::StopRingWait;
    c_.port.Notify(kwx::KWX_EV_MODULE_ERROR, moduleCode ? code - code::NoError : code::ModemUnexpected - code::NoError);
  }
};

// The close after a failure (2206, 2307, 2408).
class CErrorCloseState final : public CLineState {
 public:
  using CLineState::CLineState;
  void Run() override {
    const int32_t c = c_.status.Code();
    const int32_t cls = c / 10000, low = c % 10000;
    if (cls == 0) {
      // The far end closed: normal codes 0 and 9 are no error.
      if (low != 0 && low != 9) c_.port.Notify(kwx::KWX_EV_SESSION_ERROR, low + 10000);
      c_.port.Purge();
      c_.status.SetDone();
      c_.port.TimerSet(9, code::ReleaseTimeout);
      return WaitCarrierDrop();
    }
    if (cls == 2) {
      c_.port.Notify(kwx::KWX_EV_SESSION_ERROR, low);
      if (c == code::CarrierLost) {
        if (c_.port.ModemStatus() < 0) {
          // The handset went away: give it time, then start the port afresh.
          c_.status.SetDone();
          clock::Sleep(8000);
          c_.port.DtrPulse();
          c_.port.PortClose();
          clock::Sleep(1000);
          c_.port.PortOpen();
        } else {
          c_.port.DtrPulse();
        }
        return;
      }
      if (!SendClose(low)) c_.status.SetError(c_.port.Error());
      clock::Sleep(1000);
      if (low == code::CallerBrokeOff % 10000) {
        clock::Sleep(3000);
        c_.port.Purge();
      }
      c_.modem.Hangup();
      c_.status.SetDone();
      c_.port.TimerSet(7, code::CloseTimeout);
      return WaitCarrierDrop();
    }
    if (cls == 9 && low != 0) c_.port.Notify(kwx::KWX_EV_MODULE_ERROR, low);
  }
};

// The end after a deadline (2207, 2308, 2409).
class CDeadlineEndState final : public CLineState {
 public:
  using CLineState::CLineState;
  void Run() override {
    c_.port.Purge();
    const int32_t c = c_.status.Code();
    const bool ringWait = c_.status.kind.load() == 2;
    if (c == code::NoReady || c == code::NoProgress) {
      const bool ready = c == code::NoReady;
      c_.port.Notify(kwx::KWX_EV_SESSION_ERROR, ready ? 1120 : 1130);
      SendClose(ready ? 1120 : 1130);
      clock::Sleep(5000);
      if (ringWait) c_.modem.Hangup();
    } else if (c == code::CloseTimeout || c == code::ReleaseTimeout) {
      c_.port.Purge();
      if (ringWait) c_.modem.Hangup();
    } else {
      c_.modem.Hangup();
    }
  }
};

enum class Role { Open, Connect, Send, Dispatch, Command, Close, Final, AbortEnd, ErrorClose, DeadlineEnd };

}  // namespace

std::unique_ptr<CState> MakeEMailState(const StateEntry& entry, int32_t kind, StateContext& context) {
  static constexpr Role kSend[] = {Role::Open,  Role::Connect,  Role::Send,       Role::Close,
                                   Role::Final, Role::AbortEnd, Role::ErrorClose, Role::DeadlineEnd};
  static constexpr Role kReceive[] = {Role::Open,  Role::Connect,  Role::Dispatch,   Role::Command,    Role::Close,
                                      Role::Final, Role::AbortEnd, Role::ErrorClose, Role::DeadlineEnd};
  static constexpr Role kExchange[] = {Role::Open,  Role::Connect, Role::Send,     Role::Dispatch,   Role::Command,
                                       Role::Close, Role::Final,   Role::AbortEnd, Role::ErrorClose, Role::DeadlineEnd};
  const Role* roles = kind == 3 ? kSend : kind == 4 ? kReceive : kind == 5 ? kExchange : nullptr;
  const size_t count = kind == 3 ? std::size(kSend) : kind == 4 ? std::size(kReceive) : std::size(kExchange);
  const int32_t base = 2200 + (kind - 3) * 100;
  if (!roles || entry.id < base || entry.id >= base + static_cast<int32_t>(count)) return nullptr;
  switch (roles[entry.id - base]) {
    case Role::Open: return std::make_unique<COpenDialState>(entry, kind, context);
    case Role::Connect: return std::make_unique<CConnectState>(entry, kind, context);
    case Role::Send: return std::make_unique<CSendMailState>(entry, kind, context);
    case Role::Dispatch: return std::make_unique<CDispatchState>(entry, kind, context);
    case Role::Command: return std::make_unique<CCommandState>(entry, kind, context);
    case Role::Close: return std::make_unique<CCloseState>(entry, kind, context);
    case Role::Final: return std::make_unique<CFinalState>(entry, kind, context);
    case Role::AbortEnd: return std::make_unique<CAbortEndState>(entry, kind, context);
    case Role::ErrorClose: return std::make_unique<CErrorCloseState>(entry, kind, context);
    case Role::DeadlineEnd: return std::make_unique<CDeadlineEndState>(entry, kind, context);
  }
  return nullptr;
}

}  // namespace portvine
