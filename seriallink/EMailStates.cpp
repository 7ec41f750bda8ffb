#include "EMailStates.h"

#include "Clock.h"
#include "Codes.h"
#include "Engine.h"
#include "LineState.h"

#include <cstdio>
#include <cstring>
#include <span>
#include <string>

namespace portvine {
namespace {

constexpr int32_t kListLimit = 2048;

// Open the port, prepare the handset, dial (2000, 2200, 2300, 2400).
class COpenDialState final : public CLineState {
 public:
  using CLineState::CLineState;
  void Run() override {
    const bool direct = kind_ == 1;
    const int32_t abortCode = direct       ? code::DirectMailStopped
                              : kind_ == 3 ? code::SendStopped
                              : kind_ == 4 ? code::ReceiveStopped
                                           : code::ExchangeStopped;
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
    auto readOwnNumber = [&] {
      std::string number;
      c_.modem.ReadOwnNumber(number);
      if (number.empty() || number[0] != '0') number.clear();
      c_.engine.SetOwnNumber(number);
    };
    if (direct) {
      readOwnNumber();
      const bool ready = c_.modem.SetBilling(param.Bunkei != 0) && c_.modem.SetCallerNumber(param.DialWithNum != 0);
      if (!ready && c_.port.TakeCancel()) return abort(abortCode);
    } else {
      if (!c_.modem.SetBilling(param.Bunkei != 0) && c_.port.TakeCancel())
        return abort(kind_ == 5 ? code::StoppedBeforeCall : abortCode);
      readOwnNumber();
      if ((kind_ == 4 || kind_ == 5) && c_.status.autoReceive.load()) c_.modem.ClearEMailNotice();
    }
    if (c_.port.TakeCancel()) return abort(abortCode);
    c_.port.Notify(kwx::KWX_EV_READY, kwx::kReadyArmed);
    c_.port.Notify(kwx::KWX_EV_PROGRESS, kind_ * 10 + 1);
    bool dialled;
    if (direct) {
      const std::string destination = c_.status.Destination();
      if (destination.empty()) return c_.status.SetError(code::NoDestination);
      dialled = c_.modem.SelectAndDial(kServiceDirectMail, c_.modem.DialString(destination));
    } else {
      const int32_t service = kind_ == 3 ? kServiceSend : kind_ == 4 ? kServiceReceive : kServiceExchange;
      dialled = c_.modem.SelectAndDial(service, c_.modem.DialString(FieldText(param.EMailPhoneNo)));
    }
    if (dialled) return c_.status.SetDone();
    if (c_.port.TakeCancel()) return abort(abortCode);
    c_.status.SetError(c_.port.Error());
  }
};

// The connection line and READY (2001, 2201, 2301, 2401).
class CConnectState final : public CLineState {
 public:
  using CLineState::CLineState;
  void Run() override {
    static constexpr struct {
      const char* tag;
      int32_t ready;
      int32_t progress;
    } kByKind[] = {{"[1 SMAIL]", kLineReadySMail, 12},
                   {"[1 SEND]", kLineReadySend, 32},
                   {"[1 RECEIVE]", kLineReadyReceive, 44},
                   {"[1 XCHNG]", kLineReadyExchange, 52}};
    const auto& k = kByKind[kind_ == 1 ? 0 : kind_ - 2];
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

// One mail: "MAIL", the body, "OK" (2002, 2202, 2402).
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
    c_.port.Notify(kwx::KWX_EV_READY, kwx::kReadyMailAccepted);
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
      c_.port.Notify(kwx::KWX_EV_READY, kwx::kReadyData);
    } else if (op.operation == kOpGet && line == kLineMail) {
      if (!c_.engine.ReceiveBody(true, count)) {
        const int32_t e = c_.port.Error();
        if (e == code::ReadAbandoned) return c_.status.SetAlt2(code::CallerBrokeOff, true);
        return c_.status.SetError(e);
      }
      c_.port.Notify(kwx::KWX_EV_READY, kwx::kReadyData);
    } else if (op.operation == kOpPurge && line == kLineOk) {
      c_.status.SetDone();
    } else if (line == kLineNoMore) {
      c_.port.Notify(kwx::KWX_EV_READY, kwx::kReadyNoMore);
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
  static constexpr Role kDirect[] = {Role::Open,  Role::Connect,  Role::Send,       Role::Close,
                                     Role::Final, Role::AbortEnd, Role::ErrorClose, Role::DeadlineEnd};
  static constexpr Role kReceive[] = {Role::Open,  Role::Connect,  Role::Dispatch,   Role::Command,    Role::Close,
                                      Role::Final, Role::AbortEnd, Role::ErrorClose, Role::DeadlineEnd};
  static constexpr Role kExchange[] = {Role::Open,  Role::Connect, Role::Send,     Role::Dispatch,   Role::Command,
                                       Role::Close, Role::Final,   Role::AbortEnd, Role::ErrorClose, Role::DeadlineEnd};
  // Ring wait borrows only the three ends (2105-2107).
  static constexpr Role kRingEnds[] = {Role::AbortEnd, Role::ErrorClose, Role::DeadlineEnd};
  std::span<const Role> roles;
  int32_t base = 0;
  switch (kind) {
    case 1: roles = kDirect, base = 2000; break;
    case 2: roles = kRingEnds, base = 2105; break;
    case 3: roles = kDirect, base = 2200; break;  // send has the direct mail's shape
    case 4: roles = kReceive, base = 2300; break;
    case 5: roles = kExchange, base = 2400; break;
    default: return nullptr;
  }
  if (entry.id < base || entry.id >= base + static_cast<int32_t>(roles.size())) return nullptr;
  switch (roles[static_cast<size_t>(entry.id - base)]) {
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
