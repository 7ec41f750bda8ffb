// Information mode (kind 6): the module reads, writes and deletes records in
// the handset itself over a local line protocol; no call is made.
#include "Clock.h"
#include "Codes.h"
#include "EMailStates.h"
#include "Engine.h"
#include "LineState.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace portvine {
namespace {

constexpr int32_t kInfoKind = 6;
constexpr size_t kArea = 1024;
constexpr size_t kAnswerLimit = 1000;
constexpr size_t kEscapeAnswerLimit = 20;
enum InfoOp : int32_t { kNone = 0, kWrite = 1, kRead = 2, kDelete = 3, kSetCategory = 4, kRaw = 5, kLeave = 6 };

// The event code of a module error: the last digits of a 9xxxx code; other
// codes (the port's) count as an unexpected answer.
int32_t ModuleEventCode(int32_t code) {
  return code > code::NoError && code < code::StopRingWait ? code - code::NoError
                                                           : code::ModemUnexpected - code::NoError;
}

class CInfoState : public CLineState {
 public:
  using CLineState::CLineState;

 protected:
  enum class Read { Ok, Stopped, Deadline, TooLong, Failed };

  void ClearInfoAreas() {
    line_.fill(0);
    answer_.fill(0);
    answerLength_ = 0;
  }

  // The line category: 5 and 7 go as 6.
  int32_t LineCategory() const {
    const int32_t c = c_.status.InfoCategory();
    return c == 5 || c == 7 ? 6 : c;
  }

  // Writes a line formatted into the 1024-byte command area; a line that does
  // not fit is not sent (90017).
  template <typename... Args>
  bool SendFormatted(const char* format, Args... args) {
    const int n = std::snprintf(line_.data(), kArea, format, args...);
    if (n < 0 || static_cast<size_t>(n) >= kArea) {
      c_.status.SetError(code::InfoTooLong);
      return false;
    }
    if (!c_.port.PortWriteLine(line_.data(), static_cast<size_t>(n))) {
      WriteFailed();
      return false;
    }
    return true;
  }

  // A write that failed: the handset is gone (90030) or the port failed.
  void WriteFailed() {
    c_.status.SetError(c_.port.ModemStatus() < 0 ? code::ModemStatusUnreadable : c_.port.Error());
  }

  // One answer line into the 1024-byte area, joined from its pieces; longer
  // than limit bytes before its CR LF is too long.
  Read ReadAnswer(int32_t seconds, size_t limit) {
    c_.port.TimerSet(seconds, code::ShortWait);
    answerLength_ = 0;
    Read result = Read::Ok;
    for (;;) {
      int32_t size = static_cast<int32_t>(answer_.size() - answerLength_);
      const bool ok = c_.port.PortReadLine(answer_.data() + answerLength_, size);
      answerLength_ += static_cast<size_t>(std::max(size, 0));
      if (!ok) {
        const int32_t e = c_.port.Error();
        result = e == code::ReadAbandoned ? Read::Stopped
                 : e == code::ShortWait   ? Read::Deadline
                 : e == code::LineTooLong ? Read::TooLong
                                          : Read::Failed;
        break;
      }
      const char last = answer_[answerLength_ - 1];
      if (last == '\n' || last == '\0') break;
    }
    c_.port.TimerClear();
    if (result == Read::Ok && Text().size() > limit) result = Read::TooLong;
    return result;
  }

  // The answer without its line end.
  std::string_view Text() const {
    std::string_view t(answer_.data(), answerLength_);
    while (!t.empty() && (t.back() == '\n' || t.back() == '\r' || t.back() == '\0')) t.remove_suffix(1);
    return t;
  }
  bool IsData() const { return Text().size() >= 2 && Text().front() == '<' && Text().back() == '>'; }
  bool Starts(std::string_view word) const { return Text().substr(0, word.size()) == word; }
  bool IsEmptyLine() const { return answerLength_ >= 2 && answer_[0] == '\r' && answer_[1] == '\n'; }

  // Data for the caller goes into the receive buffer as the area holds it.
  void HandOver() { c_.engine.Buffer().Store(answer_.data(), kArea); }

  // The escape "+++" and the handset's empty line and result; deadlines
  // count as done.
  void Escape() {
    c_.status.SetDone();
    if (!c_.port.PortWriteLine("+++", 3)) return WriteFailed();
    clock::Sleep(1000);
    Read r = ReadAnswer(10, kEscapeAnswerLimit);
    if (r == Read::Ok) {
      if (!IsEmptyLine()) return c_.status.SetError(code::InfoUnexpected);
      r = ReadAnswer(10, kEscapeAnswerLimit);
      if (r == Read::Ok) {
        if (!Starts("OK") && !Starts("NO CARRIER") && !Starts("ERROR")) return c_.status.SetError(code::ModemUnexpected);
        clock::Sleep(5000);
      }
    }
    if (r == Read::Stopped) return c_.status.SetAlt2(code::InfoStopped, false);
    if (r == Read::TooLong) return c_.status.SetError(code::InfoTooLong);
    if (r == Read::Failed) return c_.status.SetError(code::InfoUnexpected);
    c_.status.SetDone();
    c_.port.Notify(kwx::KWX_EV_PROGRESS, 65);
  }

  // A failed read of an operation's answer.
  void AnswerFailed(Read r) {
    if (r == Read::Stopped) return c_.status.SetAlt2(code::InfoStopped, false);
    if (r == Read::Deadline) return c_.status.SetError(code::InfoNoAnswer);
    if (r == Read::TooLong) {
      c_.port.Purge();
      return c_.status.SetError(code::InfoTooLong);
    }
    c_.status.SetError(c_.port.Error());
  }

  std::array<char, kArea> line_{};
  // The answer area and room for the line end past it.
  std::array<char, kArea + 16> answer_{};
  size_t answerLength_ = 0;
};

// 2500: the handset enters information mode.
class CInfoStartState final : public CInfoState {
 public:
  using CInfoState::CInfoState;
  void Run() override {
    c_.status.kind.store(kInfoKind);
    c_.status.SetDone();
    c_.port.TimerClear();
    if (c_.port.TakeCancel()) return c_.status.SetAlt2(code::InfoStopped, false);
    c_.port.Notify(kwx::KWX_EV_PROGRESS, 66);
    c_.port.Notify(kwx::KWX_EV_READY, kwx::kReadyArmed);
    c_.port.Notify(kwx::KWX_EV_PROGRESS, 61);
    if (c_.modem.EnterInfoMode()) return c_.status.SetDone();
    if (c_.port.TakeCancel()) return c_.status.SetAlt2(code::InfoStopped, false);
    c_.status.SetError(c_.port.Error());
  }
};

// 2501: the enter line with the category; its answer is the first data.
class CInfoEnterState final : public CInfoState {
 public:
  using CInfoState::CInfoState;
  void Run() override {
    c_.status.SetDone();
    ClearInfoAreas();
    if (!SendFormatted("<%dF>%s", static_cast<int>(c_.status.InfoCategory()), "\r\n")) return;
    clock::Sleep(500);
    const Read r = ReadAnswer(60, kAnswerLimit);
    if (r != Read::Ok) return AnswerFailed(r);
    if (!IsData()) return c_.status.SetError(code::InfoUnexpected);
    HandOver();
    c_.status.SetDone();
  }
};

// 2502: one operation per caller request.
class CInfoDispatchState final : public CInfoState {
 public:
  using CInfoState::CInfoState;
  void Run() override {
    c_.status.SetDone();
    ClearInfoAreas();
    if (c_.port.TakeCancel()) return c_.status.SetAlt2(code::InfoStopped, false);
    const int cat = static_cast<int>(LineCategory());
    std::string data(CStatus::kInfoSize, '\0');
    data.resize(static_cast<size_t>(c_.status.GetInfoData(data.data(), CStatus::kInfoSize)));
    if (const size_t nul = data.find('\0'); nul != std::string::npos) data.resize(nul);
    bool sent = false;
    switch (c_.status.TakeInfoOperation()) {
      case kNone: return c_.status.SetError(code::InfoNoOperation);
      case kWrite:
        c_.port.Notify(kwx::KWX_EV_PROGRESS, 62);
        sent = SendFormatted("<1:%d:%sH>\r\n", cat, data.c_str());
        break;
      case kRead:
        c_.port.Notify(kwx::KWX_EV_PROGRESS, 64);
        sent = SendFormatted("<2:%dH>\r\n", cat);
        break;
      case kDelete:
        c_.port.Notify(kwx::KWX_EV_PROGRESS, 67);
        sent = SendFormatted("<3:%dH>\r\n", cat);
        break;
      case kSetCategory: return c_.status.SetDone();
      case kRaw:
        c_.port.Notify(kwx::KWX_EV_PROGRESS, 62);
        sent = SendFormatted("%s\r\n", data.c_str());
        break;
      case kLeave: return c_.status.SetAlt1();
      default: return c_.status.SetError(code::InfoNoOperation);
    }
    if (!sent) return;
    const Read r = ReadAnswer(60, kAnswerLimit);
    if (r != Read::Ok) return AnswerFailed(r);
    if (IsData()) {
      HandOver();
      return c_.status.SetDone();
    }
    if (Starts("OK") || Starts("ERROR")) return c_.status.SetAlt1();
    c_.port.Purge();
    clock::Sleep(500);
    c_.status.SetError(code::InfoUnexpected);
  }
};

// 2503: leaving information mode with the escape.
class CInfoEscapeState final : public CInfoState {
 public:
  using CInfoState::CInfoState;
  void Run() override { Escape(); }
};

// 2505: the start failed.
class CInfoStartFailedState final : public CInfoState {
 public:
  using CInfoState::CInfoState;
  void Run() override {
    c_.port.Notify(kwx::KWX_EV_MODULE_ERROR, ModuleEventCode(c_.status.Code()));
    c_.status.SetDone();
  }
};

// 2506: an operation failed: told, then the handset is asked to leave.
class CInfoLeaveState final : public CInfoState {
 public:
  using CInfoState::CInfoState;
  void Run() override {
    int32_t code = c_.status.Code();
    if (code == code::ShortWait) code = code::InfoNoAnswer;
    c_.port.Notify(kwx::KWX_EV_MODULE_ERROR, ModuleEventCode(code));
    c_.status.SetDone();
    ClearInfoAreas();
    auto send = [&](const char* bytes, size_t n) {
      c_.port.TimerSet(10, code::ShortWait);
      const bool ok = c_.port.PortWriteLine(bytes, n);
      c_.port.TimerClear();
      if (!ok) WriteFailed();
      return ok;
    };
    if (!send("<0H>\r\n", 6)) return;
    clock::Sleep(1000);
    if (ReadAnswer(10, kAnswerLimit) != Read::Ok) c_.port.Purge();
    if (!send("+++", 3)) return;
    clock::Sleep(1000);
    Read r = ReadAnswer(10, kEscapeAnswerLimit);
    if (r == Read::Ok && IsEmptyLine()) {
      r = ReadAnswer(10, kEscapeAnswerLimit);
      if (r == Read::Ok) {
        if (Starts("OK") || Starts("NO CARRIER")) c_.status.SetDone();
        return;
      }
    } else if (r == Read::Ok) {
      return;  // not the empty line: ends as it is
    } else if (r != Read::Stopped) {
      c_.port.DtrPulse();
    }
    if (r == Read::Stopped) return c_.status.SetAlt2(code::InfoStopped, false);
    if (r == Read::Deadline) return c_.status.SetError(code::InfoNoAnswer);
    if (r == Read::TooLong) return c_.status.SetError(code::InfoTooLong);
    c_.status.SetError(code::InfoUnexpected);
  }
};

class CInfoFinalState final : public CInfoState {
 public:
  using CInfoState::CInfoState;
  void Run() override { c_.status.SetDone(); }
};

}  // namespace

std::unique_ptr<CState> MakeInfoState(const StateEntry& entry, StateContext& context) {
  switch (entry.id) {
    case 2500: return std::make_unique<CInfoStartState>(entry, kInfoKind, context);
    case 2501: return std::make_unique<CInfoEnterState>(entry, kInfoKind, context);
    case 2502: return std::make_unique<CInfoDispatchState>(entry, kInfoKind, context);
    case 2503: return std::make_unique<CInfoEscapeState>(entry, kInfoKind, context);
    case 2504: return std::make_unique<CInfoFinalState>(entry, kInfoKind, context);
    case 2505: return std::make_unique<CInfoStartFailedState>(entry, kInfoKind, context);
    case 2506: return std::make_unique<CInfoLeaveState>(entry, kInfoKind, context);
    default: return nullptr;
  }
}

}  // namespace portvine
