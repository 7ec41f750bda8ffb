#include "Modem.h"

#include "seriallink/KwxApi.h"
#include "seriallink/common/Clock.h"
#include "seriallink/common/Codes.h"

namespace kwxsignup {
namespace clock = seriallink::clock;
namespace code = seriallink::code;
using namespace seriallink;  // the line codes

namespace {
constexpr std::string_view kSettings = "&D2&C1&S0V1Q0\\V1\\X1#B1#C1#I1S0=0S7=50";
constexpr int32_t kAnswerRoom = 6144;
constexpr int32_t kHandsetSeconds = 5;
constexpr int32_t kCommandSeconds = 3;
constexpr int32_t kDialSeconds = 30;
constexpr int32_t kHangupSeconds = 5;
constexpr int32_t kLinesUp = 0x30;  // CTS and DSR, nothing else
}  // namespace

CModem::CModem(CSerialPort& port) : port_(port) {}

bool CModem::Fail(int32_t c) {
  port_.Record(c);
  return false;
}

bool CModem::Command(std::string_view body) {
  if (body.size() + 3 > command_.size()) return Fail(code::WriteFailed);
  size_t n = 0;
  command_[n++] = 'A';
  command_[n++] = 'T';
  for (char c : body) command_[n++] = c;
  command_[n++] = '\r';
  return port_.WriteLine(command_.data(), n);
}

int32_t CModem::Read(int32_t seconds, int32_t deadlineCode, std::string* text) {
  if (seconds > 0) port_.TimerSet(seconds, deadlineCode);
  int32_t size = kAnswerRoom;
  const bool ok = port_.ReadLine(answer_.data(), size);
  if (seconds > 0) port_.TimerClear();
  if (!ok) {
    // Deadlines, a stop, the handset gone and a lost line keep their own
    // codes; an answer too long for the area is a failed read.
    if (port_.Error() == code::LineTooLong) port_.Record(code::ReadFailed);
    return -1;
  }
  splitter_.LineSplitterSetBuffer(answer_.data(), static_cast<size_t>(size));
  const int32_t line = splitter_.ClassifyLine(answer_.data(), static_cast<size_t>(size));
  if (text) {
    size_t n = static_cast<size_t>(size);
    while (n > 0 && (answer_[n - 1] == '\r' || answer_[n - 1] == '\n' || answer_[n - 1] == '\0')) --n;
    text->assign(answer_.data(), n);
  }
  return line;
}

bool CModem::ExpectOk(int32_t seconds, int32_t deadlineCode) {
  const int32_t first = Read(seconds, deadlineCode);
  if (first < 0) return false;
  if (first != kModemEmpty) return Fail(code::ModemUnexpected);
  const int32_t second = Read(seconds, deadlineCode);
  if (second < 0) return false;
  return second == kModemOk || Fail(code::ModemUnexpected);
}

bool CModem::WaitForHandset() {
  port_.RaiseDtr();
  port_.Purge();
  port_.TimerSet(kHandsetSeconds, code::HandsetNotReady);
  for (;;) {
    const int32_t status = port_.ModemStatus();
    if (status == kLinesUp) {
      port_.TimerClear();
      return true;
    }
    if (status < 0) {
      port_.TimerClear();
      return Fail(code::ModemStatusUnreadable);
    }
    // A stop meanwhile ends the wait; the caller tells it from the request.
    if (port_.StopPending()) {
      port_.TimerClear();
      return Fail(code::ReadAbandoned);
    }
    if (port_.TimerCheck()) return false;  // 90011: the handset is not there
    clock::Sleep(100);
  }
}

bool CModem::Paging(std::string_view body, bool record) {
  if (!Command(body)) return false;
  const int32_t expected[] = {kModemEmpty, -2, kModemEmpty, kModemOk};
  for (int32_t want : expected) {
    const int32_t c = Read(kCommandSeconds, code::HandsetNotReady);
    if (c < 0) return false;
    const bool good = want == -2 ? (c == kModemPagingSame || c == kModemPagingMixed) : c == want;
    if (!good) return record ? Fail(code::ModemUnexpected) : false;
  }
  return true;
}

bool CModem::Init() {
  signupAllowed_ = false;
  if (!port_.IsOpen()) return Fail(code::PortNotOpen);
  if (!WaitForHandset()) return false;
  for (std::string_view body : {std::string_view("&FE0"), kSettings})
    if (!Command(body) || !ExpectOk(kCommandSeconds, code::HandsetNotReady)) return false;

  if (!Command("I9")) return false;
  int32_t c = Read(kCommandSeconds, code::HandsetNotReady);
  if (c < 0) return false;
  if (c != kModemEmpty) return Fail(code::ModemUnexpected);
  std::string text;
  c = Read(kCommandSeconds, code::HandsetNotReady, &text);
  if (c < 0) return false;
  if (c != kModemText || text.empty() || text[0] != '0') return Fail(code::SignupNumberMissing);
  if (Read(kCommandSeconds, code::HandsetNotReady) != kModemEmpty ||
      Read(kCommandSeconds, code::HandsetNotReady) != kModemOk)
    return Fail(code::ModemNoAnswer);
  signupAllowed_ = true;

  // A handset that refuses to switch the ring report off gets it on; the
  // preparation goes on either way, so the refusal is no error to report.
  if (!Paging("@R0:0", false)) Paging("@R0:1", true);
  return true;
}

bool CModem::SetBilling(bool on) {
  if (!Command(on ? "@B1" : "@B0") || !ExpectOk(kCommandSeconds, code::ShortWait)) return Fail(code::BillingFailed);
  return true;
}

bool CModem::Query(std::string_view body, int32_t firstSeconds, std::string& text) {
  text.clear();
  if (!Command(body)) return false;
  if (Read(firstSeconds, code::ShortWait) != kModemEmpty) return false;
  std::string line;
  if (Read(kCommandSeconds, code::ShortWait, &line) != kModemText) return false;
  if (Read(kCommandSeconds, code::ShortWait) != kModemEmpty) return false;
  if (Read(kCommandSeconds, code::ShortWait) != kModemOk) return false;
  text = std::move(line);
  return true;
}

bool CModem::ReadOwnNumber(std::string& number) {
  // The number goes into 36 bytes with its NUL; anything longer is no number.
  auto query = [&](std::string_view body, int32_t firstSeconds) {
    if (!Query(body, firstSeconds, number)) return false;
    if (number.size() > 35) number.clear();
    return true;
  };
  return query("#Q2", 10) || query("I6", 7);
}

bool CModem::Dial(const std::string& number, bool split) {
  if (!signupAllowed_) return Fail(code::SignupNumberMissing);
  port_.Notify(kwx::KWX_EV_PROGRESS, 1);
  if (!Command("#X9") || !ExpectOk(kCommandSeconds, code::ModemNoAnswer)) return false;
  if (!Command("DX" + number + ",0" + (split ? "1" : "0"))) return false;
  int32_t c = Read(kDialSeconds, code::ModemNoAnswer);
  if (c < 0) return false;
  if (c != kModemEmpty) return Fail(code::ModemUnexpected);
  c = Read(kDialSeconds, code::ModemNoAnswer);
  if (c < 0) return false;
  if (c == kModemConnect) return true;
  if (c == kModemNoCarrier || c == kModemBusy) return Fail(code::NoCarrierAfterDial);
  return Fail(code::ModemUnexpected);
}

bool CModem::RingModeOn() { return Paging("@R0:1", true); }

bool CModem::Hangup() {
  port_.DropDtr();
  clock::Sleep(1000);
  if (!Command("H0")) return false;
  // Within a close the close's own deadline runs; otherwise a short one.
  const int32_t seconds = port_.TimerArmed() ? 0 : kHangupSeconds;
  if (Read(seconds, code::ShortWait) != kModemEmpty) return false;
  const int32_t c = Read(seconds, code::ShortWait);
  return c == kModemOk || c == kModemNoCarrier;
}

}  // namespace kwxsignup
