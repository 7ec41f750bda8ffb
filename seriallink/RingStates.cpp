// Ring wait (kind 2): the armed loop that reads the handset's ring reports,
// and the reception of an incoming direct mail (2101-2104). Its three ends
// (2105-2107) are the mail pattern's.
#include "Clock.h"
#include "Codes.h"
#include "EMailStates.h"
#include "Engine.h"
#include "LineState.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace portvine {
namespace {

constexpr int32_t kRingKind = 2;
constexpr int32_t kRingLineSeconds = 5;
constexpr int32_t kCallerIdRoom = 36;
constexpr int32_t kNoticeRoom = 128;
constexpr int32_t kLightMailRoom = 750;

bool StartsWith(std::string_view line, std::string_view word) { return line.substr(0, word.size()) == word; }

// Copies text into a fixed field: at most room - 1 bytes, then the NUL.
template <size_t N>
void CopyField(char (&field)[N], std::string_view text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

bool IdStartsWithZero(const IncomingCallRecord& r) { return r.callerId[0] == '0'; }

// 2100: armed, waiting for a ring.
class CRingLoopState final : public CLineState {
 public:
  using CLineState::CLineState;

  void Run() override {
    c_.status.kind.store(kRingKind);
    for (;;) {
      c_.status.SetDone();
      c_.status.ringReception.store(1);
      if (!(c_.port.IsOpen() ? Rearm() : FirstPass())) return;
      c_.status.SetAlt1();
      ReadRingReports();
      const int32_t code = c_.status.Code();
      if (code == code::ModemStatusUnreadable || code == code::StopRingWait) return;
      const IncomingCallRecord r = c_.status.Incoming();
      if (r.directMail == 1 && r.numberValue == 0) {
        clock::Sleep(1000);
        c_.status.SetDone();
        c_.port.ClearAbortReason();
        c_.port.ClearCancel();
        return;  // the reception follows
      }
      const bool ordinary = r.protocol >= 0 && r.protocol <= 2;
      if (!r.directMail && !r.lightMail && ordinary) {
        c_.port.Notify(kwx::KWX_EV_INCOMING, kwx::kIncomingOtherCall);
        continue;
      }
      if (r.protocol != 3 && r.protocol != 4) continue;
      // A data call this module does not take: refused by dropping DTR.
      c_.port.Notify(kwx::KWX_EV_MODULE_ERROR, code::LightMailUnusable - code::NoError);
      c_.port.DtrPulse();
    }
  }

 private:
  struct Line {
    bool ok = false;
    std::string_view text;  // as read, CR LF included
    size_t length() const { return text.size(); }
  };

  void Abort(int32_t code) { c_.status.SetAlt2(code, false); }
  bool StopMarked() const { return c_.port.StopRingWait() == code::StopRingWait; }

  // The session preparation; false with the result recorded.
  bool Initialise() {
    if (c_.modem.Prepare()) return true;
    if (c_.port.TakeCancel()) {
      Abort(code::RingWaitStopped);
      return false;
    }
    c_.status.SetError(c_.port.Error() == code::HandsetNotReady ? code::HandsetNotReady : code::PreparationFailed);
    return false;
  }

  // Every pass after the first: the handset is prepared again and its
  // ring report armed, and what the last call left is cleared.
  bool Rearm() {
    c_.port.TimerClear();
    c_.port.Purge();
    c_.port.DtrOn();
    clock::Sleep(500);
    if (StopMarked()) {
      Abort(code::StopRingWait);
      return false;
    }
    if (!Initialise()) return false;
    while (!c_.modem.ArmRingReport()) {
      if (StopMarked()) {
        Abort(code::StopRingWait);
        return false;
      }
      clock::Sleep(1000);
      if (!Initialise()) return false;
    }
    c_.status.SetOperation(kOpGetList, 0, {});
    c_.status.SetMailCount(0);
    c_.status.SetInfoData(nullptr, 0);
    c_.status.SetInfoOperation(0);
    c_.status.ResetIncoming();
    return true;
  }

  bool FirstPass() {
    c_.port.ClearStopRingWait();
    if (c_.port.TakeCancel()) {
      Abort(code::RingWaitStopped);
      return false;
    }
    c_.port.Notify(kwx::KWX_EV_PROGRESS, kRingKind * 10 + 6);
    if (!c_.port.PortOpen()) {
      c_.status.SetError(c_.port.Error());
      return false;
    }
    if (!Initialise()) return false;
    c_.modem.SetBilling(c_.engine.Params().Get().Bunkei != 0);
    std::string number;
    c_.modem.ReadOwnNumber(number);
    if (number.empty() || number[0] != '0') number.clear();
    c_.engine.SetOwnNumber(number);
    if (c_.port.TakeCancel()) {
      Abort(code::RingWaitStopped);
      return false;
    }
    if (c_.status.autoReceive.load()) {
      IncomingCallRecord r = c_.status.Incoming();
      if (ReadNotice(r)) {
        c_.status.SetIncoming(r);
        if (r.notice) {
          c_.port.Notify(kwx::KWX_EV_INCOMING, kwx::kIncomingEMailNotice);
          c_.modem.ClearEMailNotice();
        }
        c_.modem.ArmRingReport();
      }
    }
    if (c_.modem.RingInfo() > 0) {
      IncomingCallRecord r = c_.status.Incoming();
      if (ReadLightMail(r)) {
        c_.status.SetIncoming(r);
        c_.port.Notify(kwx::KWX_EV_INCOMING, kwx::kIncomingLightMail);
      }
    }
    c_.port.Notify(kwx::KWX_EV_READY, kwx::kReadyArmed);
    return true;
  }

  // The handset's e-mail notice into the record ("0" is none). A query that
  // fails switches automatic reception off for this module.
  bool ReadNotice(IncomingCallRecord& r) {
    std::string text;
    if (!c_.modem.QueryText("S240?", text)) {
      c_.status.autoReceive.store(0);
      c_.engine.Params().Change([](KwxInitialParam& p) { p.AutoReceive = 0; });
      return false;
    }
    if (text == "0") {
      r.notice = 0;
    } else {
      CopyField(r.emailNotice, text);
      r.notice = 1;
    }
    return true;
  }

  bool ReadLightMail(IncomingCallRecord& r) {
    std::string text;
    if (!c_.modem.QueryText("S211?", text)) return false;
    c_.status.SetInfoData(text.data(), static_cast<int32_t>(std::min<size_t>(text.size(), CStatus::kInfoSize)));
    CopyField(r.lightMailText, text);
    return true;
  }

  // One line of the ring report; seconds 0 reads without a deadline.
  Line ReadLine(int32_t seconds) {
    if (seconds > 0) c_.port.TimerSet(seconds, code::ShortWait);
    replyLength_ = kReplyRoom;
    Line line;
    line.ok = c_.port.PortReadLine(reply_.data(), replyLength_);
    if (seconds > 0) c_.port.TimerClear();
    line.text = std::string_view(reply_.data(), static_cast<size_t>(std::max(replyLength_, 0)));
    return line;
  }

  // A result word such as "CONNECT" or "NO CARRIER": after an empty line one
  // more line is read with its own deadline.
  bool WaitForWord(std::string_view word, int32_t moreSeconds) {
    Line line = ReadLine(kRingLineSeconds);
    if (line.ok && line.length() == 2) line = ReadLine(moreSeconds);
    return line.ok && StartsWith(line.text, word);
  }

  // Waits for "RING"; false when the reading ends (the result says why).
  bool WaitForRing() {
    for (;;) {
      Line line = ReadLine(0);
      if (!line.ok) {
        if (!c_.port.CancelRequested() && !StopMarked()) {
          c_.status.SetError(code::ModemStatusUnreadable);
          return false;
        }
        if (StopMarked()) {
          Abort(code::StopRingWait);
          return false;
        }
        // Any other stop only interrupts the wait.
        c_.engine.RestoreEvents();
        c_.port.ClearCancel();
        c_.port.ClearAbortReason();
        c_.port.TimerClear();
        c_.status.SetDone();
        continue;
      }
      if (line.length() == 2) line = ReadLine(0);
      if (line.ok && line.length() <= 6 && StartsWith(line.text, "RING")) return true;
      if (StopMarked()) {
        Abort(code::StopRingWait);
        return false;
      }
      clock::Sleep(300);
    }
  }

  void ReadRingReports() {
    for (;;) {
      IncomingCallRecord r = c_.status.Incoming();
      r.accepted = 0;
      c_.status.SetIncoming(r);
      c_.port.TimerClear();
      if (!WaitForRing()) return;

      Line line = ReadLine(kRingLineSeconds);
      if (!line.ok || line.length() < 10 || !StartsWith(line.text, "PROTOCOL=") || line.text[9] < '0' ||
          line.text[9] > '4') {
        if (StopMarked()) return Abort(code::StopRingWait);
        continue;
      }
      IncomingCallRecord call;
      call.protocol = line.text[9] - '0';

      line = ReadLine(kRingLineSeconds);
      if (!line.ok || line.length() < 3 || line.length() > 37 || !StartsWith(line.text, "ID=")) continue;
      // A caller id is "0" and digits, or nothing at all; anything else is
      // not a call this module takes.
      if (line.length() >= 5 && line.text[3] == '0' && line.text[4] >= '0' && line.text[4] <= '9') {
        CopyField(call.callerId, line.text.substr(3, line.length() - 5));
      } else if (line.length() > 3 && line.text[3] == '\r') {
        call.callerId[0] = '\0';
      } else {
        continue;
      }

      line = ReadLine(kRingLineSeconds);
      const bool counts = line.ok && line.length() >= 8 && line.length() <= 44;
      auto digitAfter = [&](size_t at) {
        return at < line.length() && line.text[at] >= '0' && line.text[at] <= '9' ? line.text[at] - '0' : -1;
      };
      if (counts && StartsWith(line.text, "KmailDX=")) {
        call.directMail = 1;
        call.numberValue = digitAfter(8);
      } else if (counts && StartsWith(line.text, "Breezemail=")) {
        call.lightMail = 1;
        call.numberValue = digitAfter(11);
      } else if (counts && c_.status.autoReceive.load() && StartsWith(line.text, "E-mail_AUTORCV")) {
        WaitForWord("NO CARRIER", 3);
        ReadNotice(call);
      } else {
        if (!line.ok && StopMarked()) return Abort(code::StopRingWait);
        call.directMail = call.lightMail = call.notice = 0;
        return c_.status.SetIncoming(call);
      }

      if (call.directMail) {
        if (WaitForWord("CONNECT", 10)) {
          c_.status.SetIncoming(call);
          clock::Sleep(1000);
          if (c_.status.ringReject.load() && !IdStartsWithZero(call)) c_.port.Notify(kwx::KWX_EV_READY, kwx::kReadyRefused);
          return;
        }
        if (StopMarked()) return Abort(code::StopRingWait);
        c_.status.ResetIncoming();
        c_.status.SetAlt1();
        return;
      }
      if (call.lightMail) {
        if (!WaitForWord("NO CARRIER", 3)) return;
        if (c_.modem.RingInfo() > 0) ReadLightMail(call);
        c_.status.SetIncoming(call);
        c_.port.Notify(kwx::KWX_EV_INCOMING, kwx::kIncomingLightMail);
        continue;
      }
      if (call.notice) {
        c_.status.SetIncoming(call);
        c_.port.Notify(kwx::KWX_EV_INCOMING, kwx::kIncomingEMailNotice);
        c_.modem.ClearEMailNotice();
        continue;
      }
      call.accepted = 1;
      c_.status.SetIncoming(call);
    }
  }
};

// 2101: the far end's connection line of an incoming direct mail.
class CIncomingConnectState final : public CLineState {
 public:
  using CLineState::CLineState;
  void Run() override {
    c_.status.SetDone();
    ClearAreas();
    if (!ReadReply(45, code::NoReady)) {
      check_ = false;
      const int32_t e = c_.port.Error();
      if (e == code::ReadAbandoned || c_.port.StopRingWait()) return c_.status.SetAlt2(code::StoppedBeforeCall, true);
      if (e == code::NoReady) return c_.status.SetDeadline(e);
      if (e == code::LineTooLong) return c_.status.SetError(code::ReplyTooLong);
      return c_.status.SetError(e);
    }
    const int32_t line = ClassifyReply();
    if (line == kLineIncomingSMail) {
      c_.port.TimerClear();
      if (c_.status.ringReject.load() && !IdStartsWithZero(c_.status.Incoming())) {
        check_ = false;
        return c_.status.SetError(code::CallerRefused);
      }
      c_.port.Notify(kwx::KWX_EV_INCOMING, kwx::kIncomingDirectMail);
      return c_.status.SetDone();
    }
    if (line == kLineBadConnection) {
      check_ = false;
      return c_.status.SetError(c_.splitter.ConnectionError());
    }
    ReplyFailed(line);
  }
};

// Reads with the 60 s deadline; a failed read sets the result.
class CIncomingLineState : public CLineState {
 public:
  using CLineState::CLineState;

 protected:
  bool ReadAnswer(int32_t noAnswerResult) {
    if (ReadReply(60, code::NoProgress)) return true;
    check_ = false;
    const int32_t e = c_.port.Error();
    if (e == code::ReadAbandoned || c_.port.StopRingWait()) c_.status.SetAlt2(code::CallerBrokeOff, true);
    else if (e == code::ReasonNoAnswer) {
      // The caller's request has ended this read: it must not also stop the
      // ring loop when it arms the handset again.
      c_.port.TakeCancel();
      if (noAnswerResult == kDeadline) c_.status.SetDeadline(code::NoProgress);
      else c_.status.SetAlt2(code::NoAnswerTimeout, true);
    } else if (e == code::LineTooLong) c_.status.SetError(code::ReplyTooLong);
    else c_.status.SetError(e);
    return false;
  }
};

// 2102 (after kwxReadySMail): "READY[1 SMAIL]", then the mail's body.
class CIncomingBodyState final : public CIncomingLineState {
 public:
  using CIncomingLineState::CIncomingLineState;
  void Run() override {
    c_.status.SetDone();
    ClearAreas();
    if (c_.port.StopRingWait()) {
      check_ = false;
      return c_.status.SetAlt2(code::CallerBrokeOff, true);
    }
    c_.port.Notify(kwx::KWX_EV_PROGRESS, 24);
    if (!c_.port.WriteProtocolLine("READY[1 SMAIL]")) {
      check_ = false;
      return c_.status.SetError(c_.port.Error());
    }
    if (!ReadAnswer(kDeadline)) return;
    const int32_t line = ClassifyReply();
    if (line != kLineMail) return ReplyFailed(line);
    c_.status.ringReception.store(0);
    int32_t count = 0;
    const bool ok = c_.engine.ReceiveBody(true, count);
    c_.status.ringReception.store(1);
    if (!ok) {
      check_ = false;
      return BodyFailed();
    }
    c_.port.Notify(kwx::KWX_EV_READY, kwx::kReadyData);
    c_.status.SetDone();
  }
};

// 2103: "OK" for the body, then the far end's close line.
class CIncomingCloseState final : public CIncomingLineState {
 public:
  using CIncomingLineState::CIncomingLineState;
  void Run() override {
    c_.status.SetDone();
    ClearAreas();
    c_.port.Purge();
    if (!c_.port.PortWriteLine("OK", 3)) {
      check_ = false;
      return c_.status.SetError(c_.port.Error());
    }
    if (!ReadAnswer(kAlt2)) return;
    const int32_t line = ClassifyReply();
    if (line == kLineDisconnect && c_.splitter.LineSplitterHasCode()) {
      check_ = false;
      return c_.status.SetFarEnd(c_.splitter.FarEndCode());
    }
    if (line == kLineDisconnect) {
      // A close line without a code: the far end is leaving all the same.
      c_.port.TimerSet(9, code::ReleaseTimeout);
      for (;;) {
        if (!c_.port.PortCarrier()) {
          c_.port.Purge();
          return c_.status.SetDone();
        }
        if (c_.port.TimerCheck()) return;
        clock::Sleep(50);
      }
    }
    ReplyFailed(line);
  }

 protected:
  int32_t FinalTest(int32_t result) override { return check_ ? result : kError; }
};

// 2104: the reception is over; the ring loop starts again.
class CReceptionDoneState final : public CLineState {
 public:
  using CLineState::CLineState;
  void Run() override {
    c_.status.ringReception.store(0);
    c_.port.Notify(kwx::KWX_EV_READY, kwx::kReadyDirectMailDone);
    c_.port.Notify(kwx::KWX_EV_PROGRESS, 25);
    c_.status.SetDone();
  }
};

}  // namespace

std::unique_ptr<CState> MakeRingState(const StateEntry& entry, StateContext& context) {
  switch (entry.id) {
    case 2100: return std::make_unique<CRingLoopState>(entry, kRingKind, context);
    case 2101: return std::make_unique<CIncomingConnectState>(entry, kRingKind, context);
    case 2102: return std::make_unique<CIncomingBodyState>(entry, kRingKind, context);
    case 2103: return std::make_unique<CIncomingCloseState>(entry, kRingKind, context);
    case 2104: return std::make_unique<CReceptionDoneState>(entry, kRingKind, context);
    default: return MakeEMailState(entry, kRingKind, context);
  }
}

}  // namespace portvine
