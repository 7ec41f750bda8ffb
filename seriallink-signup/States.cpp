#include "States.h"

#include "KwxFront.h"

#include "abi/KwxApi.h"
#include "seriallink/common/CallerData.h"
#include "seriallink/common/Clock.h"
#include "seriallink/common/Codes.h"
#include "seriallink/common/ReplySteps.h"

#include <map>

namespace kwxsignup {
namespace clock = seriallink::clock;
namespace code = seriallink::code;
using seriallink::SignupRule;
using namespace seriallink;  // line codes and results

CKwxState::CKwxState(int32_t id, uint32_t flags, SignupRule rule, StateContext& c)
    : id_(id), flags_(flags), rule_(rule), c_(c) {}

void CKwxState::abort(int32_t) { kick(); }

CKwxState* CKwxState::getNext() {
  CKwxState* next = successors[static_cast<size_t>(SignupSlot(rule_, result_, check_))];
  return next ? next : end;
}

void CKwxState::ClearAreas() {
  reply_.fill(0);
  replyLength_ = 0;
  check_ = true;
}

bool CKwxState::ReadReply(int32_t seconds, int32_t deadlineCode) {
  return seriallink::ReadReply(c_.port, reply_, replyLength_, seconds, deadlineCode);
}

int32_t CKwxState::ClassifyReply() { return seriallink::ClassifyReply(c_.splitter, reply_, replyLength_); }

void CKwxState::WrongAnswer(int32_t line) {
  check_ = false;
  result_ = kSignupOk;
  const int32_t e = seriallink::WrongAnswerCode(line, c_.port.Carrier());
  c_.port.Record(e == code::CarrierLost ? seriallink::LineGoneCode(c_.port) : e);
}

void CKwxState::ReadFailed() {
  check_ = false;
  const int32_t e = c_.port.Error();
  if (e == code::ReadAbandoned) c_.port.Record(code::CallerBrokeOff);
  else if (e == code::LineTooLong) c_.port.Record(code::ReplyTooLong);
  result_ = kSignupError;
}

void CKwxState::LineLost() {
  check_ = false;
  result_ = kSignupLineLost;
  if (!c_.port.Carrier()) c_.port.Keep(seriallink::LineGoneCode(c_.port));
}

bool CKwxState::WellFormedClose(int32_t line) const { return seriallink::WellFormedClose(c_.splitter, line); }

bool CKwxState::SendClose(int32_t closeCode) { return seriallink::SendCloseLine(c_.port, closeCode); }

void CKwxState::CloseForStop(int32_t reason) {
  c_.port.TimerClear();
  c_.port.TimerSet(7, code::CloseTimeout);
  result_ = SendClose(reason == 0 ? code::ReasonUser : reason) ? kSignupAbort : kSignupLineLost;
}

void CKwxState::PollCarrier() { result_ = seriallink::AwaitCarrierDrop(c_.port); }

namespace {
constexpr uint32_t W = kWaitForCaller, O = kOnline;

// KDX0: the end of every session.
class KDX0 final : public CKwxState {
 public:
  explicit KDX0(StateContext& c) : CKwxState(0, kFinal, SignupRule::Always, c) {}
  void kick() override { c_.port.TimerClear(); }
  CKwxState* getNext() override { return this; }
};

// STATE0: open the port, prepare the handset, dial the sign-up centre.
class STATE0 final : public CKwxState {
 public:
  explicit STATE0(StateContext& c) : CKwxState(1000, 0, SignupRule::Dial, c) {}
  void kick() override {
    check_ = true;
    c_.port.TimerClear();
    if (c_.port.TakeStopRequest()) return Stopped();
    c_.port.Notify(kwx::KWX_EV_PROGRESS, 6);
    if (!c_.port.Open()) {
      if (c_.port.TakeStopRequest()) return Stopped();
      const int32_t e = c_.port.Error();
      c_.port.Close();
      c_.port.Keep(e == code::PortCannotOpen ? e : code::StoppedBeforeCall);
      result_ = kSignupAbort;
      return;
    }
    if (!c_.modem.Init()) {
      if (c_.port.TakeStopRequest()) return Stopped();
      const int32_t e = c_.port.Error();
      c_.port.Close();
      c_.port.Keep(e == code::HandsetNotReady || e == code::SignupNumberMissing ? e : code::PreparationFailed);
      result_ = kSignupAbort;
      return;
    }
    const KwxInitialParam& param = c_.front.Param();
    if (!c_.modem.SetBilling(param.Bunkei != 0) && c_.port.TakeStopRequest()) return Stopped();
    std::string number;
    c_.modem.ReadOwnNumber(number);
    if (number.empty() || number[0] != '0') number.clear();
    c_.front.SetOwnNumber(number);
    if (c_.port.TakeStopRequest()) return Stopped();
    if (c_.modem.Dial(seriallink::FieldText(param.OnlineSignUpPhoneNo), param.Bunkei != 0)) {
      clock::Sleep(1000);
      result_ = kSignupOk;
      return;
    }
    if (c_.port.TakeStopRequest()) return Stopped();
    result_ = kSignupError;
  }
  // A stop before the first step ends the session as a stop within it does;
  // left as it was, the result of an earlier session would decide.
  void abort(int32_t) override { Stopped(); }

 private:
  void Stopped() {
    c_.port.Close();
    c_.port.Record(code::StoppedBeforeCall);
    result_ = kSignupAbort;
  }
};

// STATE1: the connection line and READY.
class STATE1 final : public CKwxState {
 public:
  explicit STATE1(StateContext& c) : CKwxState(1001, 0, SignupRule::Exchange, c) {}
  void kick() override {
    ClearAreas();
    c_.port.Notify(kwx::KWX_EV_PROGRESS, 2);
    if (!c_.port.WriteProtocolLine("SOCKET_25_CONNECTION[1 SIGNUP]")) return LineLost();
    if (!ReadReply(45, code::NoReady)) {
      check_ = false;
      const int32_t e = c_.port.Error();
      if (e == code::ReadAbandoned) result_ = kSignupAbort;
      else if (e == code::NoReady) result_ = kSignupDeadline;
      else ReadFailed();
      return;
    }
    const int32_t line = ClassifyReply();
    if (line != kLineReadySignup) return WrongAnswer(line);
    c_.port.TimerClear();
    c_.port.Record(0);
    result_ = kSignupOk;
  }
  void abort(int32_t reason) override { CloseForStop(reason); }
};

// STATE2 (after kwxAsyncSendSignup): the request as a mail, then "OK".
class STATE2 final : public CKwxState {
 public:
  explicit STATE2(StateContext& c) : CKwxState(1002, W | O, SignupRule::Request, c) {}
  void kick() override {
    ClearAreas();
    c_.port.Notify(kwx::KWX_EV_PROGRESS, 2);
    if (!c_.port.WriteProtocolLine("MAIL")) return LineLost();
    const auto request = c_.front.Request();
    c_.port.TimerSet(60, code::NoProgress);
    const bool sent = c_.port.SendBody(request ? std::string_view(*request) : std::string_view());
    c_.port.TimerClear();
    if (!sent) {
      if (c_.port.Error() != code::ReadAbandoned) return LineLost();
      check_ = false;
      c_.port.Record(code::CallerBrokeOff);
      result_ = kSignupError;
      return;
    }
    if (!ReadReply(60, code::NoProgress)) return ReadFailed();
    const int32_t line = ClassifyReply();
    if (line != kLineOk) return WrongAnswer(line);
    result_ = kSignupOk;
  }
  // Stopped while waiting for the caller: the session closes as a normal end.
  void abort(int32_t) override {
    check_ = false;
    c_.port.TimerClear();
    c_.port.Record(0);
    result_ = kSignupError;
  }
};

// STATE3: the turn goes to the centre, whose page follows.
class STATE3 final : public CKwxState {
 public:
  explicit STATE3(StateContext& c) : CKwxState(1003, O, SignupRule::Exchange, c) {}
  void kick() override {
    ClearAreas();
    if (!c_.port.WriteProtocolLine("TURN")) return LineLost();
    c_.port.Notify(kwx::KWX_EV_PROGRESS, 3);
    if (!ReadReply(60, code::NoProgress)) return ReadFailed();
    const int32_t line = ClassifyReply();
    if (line == kLineMail) {
      c_.port.Notify(kwx::KWX_EV_PROGRESS, 4);
      int32_t count = 0;
      if (!c_.front.ReceivePage(count)) {
        const int32_t e = c_.port.Error();
        if (e != code::ReadAbandoned && !c_.port.Carrier()) return LineLost();
        return ReadFailed();
      }
      c_.port.Notify(kwx::KWX_EV_READY, kwx::kReadyData);
      result_ = kSignupOk;
      return;
    }
    if (WellFormedClose(line)) {
      check_ = false;
      c_.port.Record(code::CentreClosed);
      c_.port.TimerSet(9, code::ReleaseTimeout);
      result_ = kSignupOk;
      return;
    }
    WrongAnswer(line);
  }
  void abort(int32_t reason) override { CloseForStop(reason); }
};

// STATE4: "OK" for the page, then the centre's "TURN" or its close line.
class STATE4 final : public CKwxState {
 public:
  explicit STATE4(StateContext& c) : CKwxState(1004, O, SignupRule::Ack, c) {}
  void kick() override {
    ClearAreas();
    if (!c_.port.WriteLine("OK", 3)) return LineLost();
    if (!ReadReply(60, code::NoProgress)) return ReadFailed();
    const int32_t line = ClassifyReply();
    if (line == kLineTurn) {
      c_.port.Notify(kwx::KWX_EV_PROGRESS, 4);
      c_.port.Notify(kwx::KWX_EV_READY, kwx::kReadyTurnOver);
      result_ = kSignupOk;
      return;
    }
    if (WellFormedClose(line)) {
      c_.port.Record(c_.splitter.FarEndCode());
      c_.port.Notify(kwx::KWX_EV_READY, kwx::kReadyTurnOver);
      c_.port.TimerSet(9, code::ReleaseTimeout);
      result_ = kSignupFarEnd;
      return;
    }
    if (line == kLineDisconnect) c_.port.Record(code::UnexpectedLine);
    else WrongAnswer(line);
    result_ = kSignupError;
  }
  void abort(int32_t reason) override { CloseForStop(reason); }
  CKwxState* getNext() override {
    // A stop here closes twice: with the caller's reason, then with 0010.
    if (result_ == kSignupAbort) SendClose(code::ReasonUser);
    return CKwxState::getNext();
  }
};

// STATE5: the centre has closed; it drops the line.
class STATE5 final : public CKwxState {
 public:
  explicit STATE5(StateContext& c) : CKwxState(1005, 0, SignupRule::Wait, c) {}
  void kick() override { PollCarrier(); }
  void abort(int32_t) override {
    c_.port.DropDtr();
    result_ = kSignupOk;
  }
};

// STATE6: after a stop, the normal close line.
class STATE6 final : public CKwxState {
 public:
  explicit STATE6(StateContext& c) : CKwxState(1006, O, SignupRule::Closed, c) {}
  void kick() override {
    ClearAreas();
    c_.port.TimerSet(7, code::CloseTimeout);
    result_ = SendClose(0) ? kSignupOk : kSignupLineLost;
  }
  CKwxState* getNext() override {
    if (result_ != kSignupLineLost) c_.port.TimerClear();
    return CKwxState::getNext();
  }
};

// STATE7: hang up and wait for the line to drop.
class STATE7 final : public CKwxState {
 public:
  explicit STATE7(StateContext& c) : CKwxState(1007, 0, SignupRule::Wait, c) {}
  void kick() override {
    c_.modem.Hangup();
    // A hang-up that left the carrier up still ends within the close's time.
    if (!c_.port.TimerArmed()) c_.port.TimerSet(7, code::CloseTimeout);
    PollCarrier();
  }
};

// STATE8: the end after a deadline or a failure.
class STATE8 final : public CKwxState {
 public:
  explicit STATE8(StateContext& c) : CKwxState(1008, 0, SignupRule::Always, c) {}
  void kick() override {
    const int32_t e = c_.port.Error();
    if (e == code::NoReady) {
      SendClose(1120);
      clock::Sleep(5000);
    } else if (e == code::CloseTimeout || e == code::ReleaseTimeout) {
      c_.port.Purge();
    } else {
      c_.port.DropDtr();
    }
    c_.port.TimerClear();
    c_.modem.Hangup();
    c_.port.Notify(kwx::KWX_EV_PROGRESS, 5);
    c_.port.Notify(kwx::KWX_EV_SESSION_END, 0);
    result_ = kSignupOk;
  }
};

// STATE9: the module's close line with the error's code (none after the
// centre's own close), then the line's drop is awaited.
class STATE9 final : public CKwxState {
 public:
  explicit STATE9(StateContext& c) : CKwxState(1009, 0, SignupRule::Wait, c) {}
  void kick() override { Close(false); }
  void abort(int32_t) override { Close(true); }

 private:
  void Close(bool stopped) {
    const int32_t e = c_.port.Error();
    if (e == code::CentreClosed) {
      c_.port.TimerSet(9, code::CloseTimeout);
    } else {
      c_.port.TimerClear();
      c_.port.Purge();
      c_.port.TimerSet(7, code::CloseTimeout);
      SendClose(e);
      if (stopped) c_.port.TimerSet(7, code::ReleaseTimeout);
    }
    PollCarrier();
    result_ = kSignupDeadline;
  }
};

// STATE10: the line is lost.
class STATE10 final : public CKwxState {
 public:
  explicit STATE10(StateContext& c) : CKwxState(1010, 0, SignupRule::Always, c) {}
  void kick() override {
    c_.port.DropDtr();
    result_ = kSignupOk;
  }
};

constexpr int32_t X = -1;
struct Wiring {
  int32_t id;
  std::array<int32_t, 6> slots;  // success, far-end close, abort, deadline, error, line lost
};
constexpr Wiring kWiring[] = {
    {1000, {1001, X, 0, X, 0, X}},          {1001, {1002, X, 1007, 1008, 1009, 1010}},
    {1002, {1003, X, 1009, 1008, 1009, 1010}}, {1003, {1004, X, 1007, 1008, 1009, 1010}},
    {1004, {1002, 1005, 1006, 1008, 1009, 1010}}, {1005, {0, X, X, 1008, X, 1010}},
    {1006, {1007, X, X, X, X, 1010}},       {1007, {0, X, X, 1008, X, 1010}},
    {1008, {0, X, X, X, X, X}},             {1009, {0, X, X, 1008, X, X}},
    {1010, {0, X, X, X, X, X}},
};
}  // namespace

std::vector<std::unique_ptr<CKwxState>> BuildStates(StateContext& c) {
  std::vector<std::unique_ptr<CKwxState>> states;
  states.push_back(std::make_unique<KDX0>(c));
  states.push_back(std::make_unique<STATE0>(c));
  states.push_back(std::make_unique<STATE1>(c));
  states.push_back(std::make_unique<STATE2>(c));
  states.push_back(std::make_unique<STATE3>(c));
  states.push_back(std::make_unique<STATE4>(c));
  states.push_back(std::make_unique<STATE5>(c));
  states.push_back(std::make_unique<STATE6>(c));
  states.push_back(std::make_unique<STATE7>(c));
  states.push_back(std::make_unique<STATE8>(c));
  states.push_back(std::make_unique<STATE9>(c));
  states.push_back(std::make_unique<STATE10>(c));
  std::map<int32_t, CKwxState*> byId;
  for (auto& s : states) byId[s->Id()] = s.get();
  for (auto& s : states) s->end = states.front().get();
  for (const Wiring& w : kWiring)
    for (size_t k = 0; k < 6; ++k) byId.at(w.id)->successors[k] = w.slots[k] == X ? nullptr : byId.at(w.slots[k]);
  return states;
}

}  // namespace kwxsignup
