// Sign-up (kind 0): request and answer texts exchanged with the sign-up
// centre. These states keep their own result (0 success, 1 caller abort,
// 2 deadline, 3 error, 4 the far end closed, 5 line lost) and record their
// codes on the port.
#include "Clock.h"
#include "Codes.h"
#include "EMailStates.h"
#include "Engine.h"
#include "LineState.h"
#include "seriallink/common/ReplySteps.h"

#include <string>

namespace portvine {
namespace {

constexpr int32_t kSignupKind = 0;
enum Own : int32_t { kOk = 0, kCallerAbort = 1, kTimedOut = 2, kFailed = 3, kFarEndClosed = 4, kLineLost = 5 };

class CSignupState : public CLineState {
 public:
  using CLineState::CLineState;

 protected:
  void Set(int32_t result, int32_t code = 0) {
    ownResult_ = result;
    if (code != 0) c_.port.SetError(code);
  }
  // A write that failed: the line is gone (21280 when the carrier is).
  void WriteFailed() { Set(kLineLost, c_.port.PortCarrier() ? 0 : code::CarrierLost); }
  // A failed read of an answer under the 60 s deadline.
  void SignupReadFailed() {
    check_ = false;
    const int32_t e = c_.port.Error();
    Set(kFailed, e == code::ReadAbandoned ? code::CallerBrokeOff : e == code::LineTooLong ? code::ReplyTooLong : 0);
  }
  // The standard check's codes for an answer that was not the expected one.
  void WrongAnswer(int32_t line) {
    check_ = false;
    ownResult_ = kOk;
    c_.port.SetError(seriallink::WrongAnswerCode(line, c_.port.PortCarrier() != 0));
  }
  bool WellFormedClose(int32_t line) const { return seriallink::WellFormedClose(c_.splitter, line); }

  // Polls until the pending deadline passes (2 for 70003 and 70004) or the
  // carrier drops (0).
  void PollCarrier() { ownResult_ = seriallink::AwaitCarrierDrop(c_.port); }
};

// 1000: open the port, prepare the handset, dial the sign-up centre.
class CSignupDialState final : public CSignupState {
 public:
  using CSignupState::CSignupState;
  void Run() override {
    c_.status.kind.store(kSignupKind);
    c_.status.SetDone();
    c_.port.TimerClear();
    auto stopped = [&] {
      c_.port.PortClose();
      Set(kCallerAbort, code::StoppedBeforeCall);
    };
    if (c_.port.TakeCancel()) return stopped();
    c_.port.Notify(kwx::KWX_EV_PROGRESS, kSignupKind * 10 + 6);
    if (!c_.port.PortOpen()) {
      if (c_.port.TakeCancel()) return stopped();
      const int32_t e = c_.port.Error();
      c_.port.PortClose();
      return Set(kCallerAbort, e == code::PortCannotOpen ? e : code::StoppedBeforeCall);
    }
    if (!c_.modem.Init()) {
      if (c_.port.TakeCancel()) return stopped();
      const int32_t e = c_.port.Error();
      c_.port.PortClose();
      return Set(kCallerAbort, e == code::HandsetNotReady || e == code::SignupNumberMissing ? e : code::PreparationFailed);
    }
    const KwxInitialParam param = c_.engine.Params().Get();
    if (!c_.modem.SetBilling(param.Bunkei != 0) && c_.port.TakeCancel()) return stopped();
    std::string number;
    c_.modem.ReadOwnNumber(number);
    if (number.empty() || number[0] != '0') number.clear();
    c_.engine.SetOwnNumber(number);
    if (c_.port.TakeCancel()) return stopped();
    c_.port.Notify(kwx::KWX_EV_PROGRESS, kSignupKind * 10 + 1);
    if (c_.modem.SelectAndDial(kServiceSignup, c_.modem.SignupDialString())) return Set(kOk);
    if (c_.port.TakeCancel()) return stopped();
    Set(kFailed);
  }
};

// 1001: the connection line and READY.
class CSignupConnectState final : public CSignupState {
 public:
  using CSignupState::CSignupState;
  void Run() override {
    ClearAreas();
    c_.port.Notify(kwx::KWX_EV_PROGRESS, 2);
    if (!c_.port.WriteProtocolLine("SOCKET_25_CONNECTION[1 SIGNUP]")) return WriteFailed();
    if (!ReadReply(45, code::NoReady)) {
      check_ = false;
      const int32_t e = c_.port.Error();
      if (e == code::ReadAbandoned) return Set(kCallerAbort);
      if (e == code::NoReady) return Set(kTimedOut);
      return Set(kFailed, e == code::LineTooLong ? code::ReplyTooLong : 0);
    }
    const int32_t line = ClassifyReply();
    if (line != kLineReadySignup) return WrongAnswer(line);
    c_.port.TimerClear();
    c_.port.SetError(code::NoError);
    Set(kOk);
  }
};

// 1002 (after kwxAsyncSendSignup): the request as a mail, then "OK".
class CSignupRequestState final : public CSignupState {
 public:
  using CSignupState::CSignupState;
  void Run() override {
    ClearAreas();
    // Woken by a stop rather than a request: nothing is sent.
    if (c_.port.TakeCancel()) {
      check_ = false;
      return Set(kFailed, code::CallerBrokeOff);
    }
    c_.port.Notify(kwx::KWX_EV_PROGRESS, 2);
    if (!c_.port.WriteProtocolLine("MAIL")) {
      check_ = false;
      return WriteFailed();
    }
    if (!c_.port.PortSendBody()) {
      check_ = false;
      if (c_.port.Error() == code::ReadAbandoned) return Set(kFailed, code::CallerBrokeOff);
      return WriteFailed();
    }
    if (!ReadReply(60, code::NoProgress)) return SignupReadFailed();
    const int32_t line = ClassifyReply();
    if (line != kLineOk) return WrongAnswer(line);
    Set(kOk);
  }
};

// 1003: the turn passes to the centre, whose answer page follows.
class CSignupTurnState final : public CSignupState {
 public:
  using CSignupState::CSignupState;
  void Run() override {
    ClearAreas();
    if (!c_.port.WriteProtocolLine("TURN")) {
      check_ = false;
      return WriteFailed();
    }
    c_.port.Notify(kwx::KWX_EV_PROGRESS, 3);
    if (!ReadReply(60, code::NoProgress)) return SignupReadFailed();
    const int32_t line = ClassifyReply();
    if (line == kLineMail) {
      c_.port.Notify(kwx::KWX_EV_PROGRESS, 4);
      int32_t count = 0;
      if (!c_.engine.ReceiveBody(true, count)) {
        check_ = false;
        const int32_t e = c_.port.Error();
        if (e == code::ReadAbandoned) return Set(kFailed, code::CallerBrokeOff);
        if (!c_.port.PortCarrier()) return Set(kLineLost, code::CarrierLost);
        return Set(kFailed);
      }
      c_.port.Notify(kwx::KWX_EV_READY, kwx::kReadyData);
      return Set(kOk);
    }
    if (WellFormedClose(line)) {
      check_ = false;
      c_.port.SetError(code::CentreClosed);
      c_.port.TimerSet(9, code::ReleaseTimeout);
      return Set(kOk);
    }
    WrongAnswer(line);
  }
};

// 1004: "OK" for the page, then the centre's "TURN" or its close line.
class CSignupAckState final : public CSignupState {
 public:
  using CSignupState::CSignupState;
  void Run() override {
    ClearAreas();
    if (!c_.port.PortWriteLine("OK", 3)) return WriteFailed();
    if (!ReadReply(60, code::NoProgress)) return SignupReadFailed();
    const int32_t line = ClassifyReply();
    if (line == kLineTurn) {
      c_.port.Notify(kwx::KWX_EV_PROGRESS, 4);
      c_.port.Notify(kwx::KWX_EV_READY, kwx::kReadyTurnOver);
      return Set(kOk);
    }
    if (WellFormedClose(line)) {
      c_.port.SetError(c_.splitter.FarEndCode());
      c_.port.Notify(kwx::KWX_EV_READY, kwx::kReadyTurnOver);
      c_.port.TimerSet(9, code::ReleaseTimeout);
      return Set(kFarEndClosed);
    }
    WrongAnswer(line);
    Set(kFailed);
  }
};

// 1005: the centre has closed; it drops the line.
class CSignupFarEndState final : public CSignupState {
 public:
  using CSignupState::CSignupState;
  void Run() override { PollCarrier(); }
};

// 1006: after the module's own close line, the centre's last word.
class CSignupClosedState final : public CSignupState {
 public:
  using CSignupState::CSignupState;
  void Run() override {
    ClearAreas();
    c_.port.TimerSet(7, code::CloseTimeout);
    replyLength_ = kReplyRoom;
    const bool ok = c_.port.PortReadLine(reply_.data(), replyLength_);
    if (!ok && c_.port.Error() == code::CarrierLost) return Set(kLineLost);
    Set(ok ? kOk : kTimedOut);
  }
};

// 1007: hang up.
class CSignupHangupState final : public CSignupState {
 public:
  using CSignupState::CSignupState;
  void Run() override {
    c_.port.DtrPulse();
    c_.modem.Hangup();
    // A hang-up that left the carrier up still ends within the close's time.
    if (!c_.port.Status().TimerArmed()) c_.port.TimerSet(7, code::CloseTimeout);
    PollCarrier();
  }
};

// 1008: the end after a deadline or a failure.
class CSignupDeadlineEndState final : public CSignupState {
 public:
  using CSignupState::CSignupState;
  void Run() override {
    const int32_t e = c_.port.Error();
    if (e == code::NoReady) {
      c_.port.WriteProtocolLine("SOCKET_25_DISCONNECTION[1120]");
      clock::Sleep(5000);
    } else if (e == code::CloseTimeout || e == code::ReleaseTimeout) {
      c_.port.Purge();
    }
    c_.port.TimerClear();
    c_.modem.Hangup();
    c_.port.Notify(kwx::KWX_EV_PROGRESS, 5);
    c_.port.Notify(kwx::KWX_EV_SESSION_END, 0);
    Set(kOk);
  }
};

// 1009: the module's close line (the centre's own close needs none).
class CSignupErrorCloseState final : public CSignupState {
 public:
  using CSignupState::CSignupState;
  void Run() override {
    const int32_t e = c_.port.Error();
    if (e == code::CentreClosed) {
      c_.port.TimerSet(9, code::CloseTimeout);
    } else {
      c_.port.TimerClear();
      c_.port.Purge();
      c_.port.TimerSet(7, code::CloseTimeout);
      SendClose(e);
    }
    PollCarrier();
    Set(kTimedOut);
  }
};

// 1010: the line is lost.
class CSignupLineLostState final : public CSignupState {
 public:
  using CSignupState::CSignupState;
  void Run() override {
    c_.port.DtrPulse();
    Set(kOk);
  }
};

}  // namespace

std::unique_ptr<CState> MakeSignupState(const StateEntry& entry, StateContext& context) {
  switch (entry.id) {
    case 1000: return std::make_unique<CSignupDialState>(entry, kSignupKind, context);
    case 1001: return std::make_unique<CSignupConnectState>(entry, kSignupKind, context);
    case 1002: return std::make_unique<CSignupRequestState>(entry, kSignupKind, context);
    case 1003: return std::make_unique<CSignupTurnState>(entry, kSignupKind, context);
    case 1004: return std::make_unique<CSignupAckState>(entry, kSignupKind, context);
    case 1005: return std::make_unique<CSignupFarEndState>(entry, kSignupKind, context);
    case 1006: return std::make_unique<CSignupClosedState>(entry, kSignupKind, context);
    case 1007: return std::make_unique<CSignupHangupState>(entry, kSignupKind, context);
    case 1008: return std::make_unique<CSignupDeadlineEndState>(entry, kSignupKind, context);
    case 1009: return std::make_unique<CSignupErrorCloseState>(entry, kSignupKind, context);
    case 1010: return std::make_unique<CSignupLineLostState>(entry, kSignupKind, context);
    default: return nullptr;
  }
}

}  // namespace portvine
