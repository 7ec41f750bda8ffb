#include "Modem.h"

#include "Clock.h"
#include "Codes.h"

#include <cstdlib>
#include <span>

namespace portvine {
namespace {
constexpr std::string_view kSettings = "&D2&C1&S0V1Q0\\V1\\X1#B1#C1#I1S0=0S7=50";
constexpr int32_t kAnswerRoom = 6144;
constexpr int32_t kHandsetSeconds = 5;
constexpr int32_t kCommandSeconds = 3;
constexpr int32_t kDialSeconds = 30;
constexpr int32_t kHangupSeconds = 5;
// The ring-wait queries wait 2-7 s for each line.
constexpr int32_t kRingSeconds = 3;
constexpr int32_t kInfoModeSeconds = 30;
constexpr int32_t kLinesUp = 0x30;  // CTS and DSR, nothing else
}  // namespace

CModem::CModem(CPort& port, const ParamStore* params) : port_(port), params_(params) {}

bool CModem::Fail(int32_t code) {
  port_.SetError(code);
  return false;
}

bool CModem::Command(std::string_view body, bool stoppable) {
  // A stop asked for meanwhile ends the dialogue at the next command; the
  // hang-up goes out whatever happens.
  if (stoppable && port_.CancelPending()) return Fail(code::ReadAbandoned);
  if (body.size() + 3 > command_.size()) return Fail(code::WriteFailed);
  size_t n = 0;
  command_[n++] = 'A';
  command_[n++] = 'T';
  for (char c : body) command_[n++] = c;
  command_[n++] = '\r';
  if (!port_.PortWriteLine(command_.data(), n)) return Fail(code::WriteFailed);
  return true;
}

int32_t CModem::Read(int32_t seconds, int32_t deadlineCode, std::string* text) {
  if (seconds > 0) port_.TimerSet(seconds, deadlineCode);
  int32_t size = 0;
  bool ok = true;
  // A piece that ended at a byte of 0x80 or more (or another control byte)
  // is not the end of the line: the rest follows.
  for (;;) {
    int32_t piece = kAnswerRoom - size;
    ok = port_.PortReadLine(answer_.data() + size, piece);
    size += piece;
    if (!ok || size == 0) break;
    const char last = answer_[static_cast<size_t>(size - 1)];
    if (last == '\n' || last == '\0') break;
  }
  if (seconds > 0) port_.TimerClear();
  if (!ok) {
    const int32_t e = port_.Error();
    // A deadline keeps its own code, so do the handset gone and a stop.
    if (!(seconds > 0 && e == deadlineCode) && e != code::ModemStatusUnreadable && e != code::ReadAbandoned &&
        e != code::ReasonNoAnswer && e != code::CarrierLost)
      port_.SetError(code::ReadFailed);
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
  int32_t first = Read(seconds, deadlineCode);
  if (first < 0) return false;
  if (first != kModemEmpty) return Fail(code::ModemUnexpected);
  int32_t second = Read(seconds, deadlineCode);
  if (second < 0) return false;
  return second == kModemOk || Fail(code::ModemUnexpected);
}

bool CModem::WaitForHandset() {
  port_.DtrOn();
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
    if (port_.TimerCheck()) return false;  // 90011: the handset is not there
    clock::Sleep(100);
  }
}

bool CModem::Info(std::string_view body, bool traceThird, std::string* text) {
  if (!Command(body)) return false;
  int32_t c = Read(kCommandSeconds, code::HandsetNotReady);
  if (c < 0) return false;
  if (c != kModemEmpty) return Fail(code::ModemUnexpected);
  c = Read(kCommandSeconds, code::HandsetNotReady, text);
  if (c < 0) return false;
  if (c != kModemText) return Fail(code::ModemUnexpected);
  c = Read(kCommandSeconds, code::HandsetNotReady);
  if (c < 0) return false;
  if (c != kModemEmpty) {
    if (traceThird) port_.Status().Trace("Invalid Response???");
    return Fail(code::ModemUnexpected);
  }
  c = Read(kCommandSeconds, code::HandsetNotReady);
  return c == kModemOk || Fail(code::ModemNoAnswer);
}

bool CModem::Paging(std::string_view body) {
  if (!Command(body)) return false;
  const int32_t expected[] = {kModemEmpty, -2, kModemEmpty, kModemOk};
  for (int32_t want : expected) {
    int32_t c = Read(kCommandSeconds, code::HandsetNotReady);
    if (c < 0) return false;
    const bool good = want == -2 ? (c == kModemPagingSame || c == kModemPagingMixed) : c == want;
    if (!good) return Fail(code::ModemUnexpected);
  }
  return true;
}

// Draining: whatever the handset still had to say goes first.
bool CModem::Settle() {
  port_.Purge();
  if (!Command("")) return false;
  clock::Sleep(100);
  port_.TimerSet(2, code::ShortWait);
  for (;;) {
    int32_t size = kAnswerRoom;
    if (!port_.PortReadLine(answer_.data(), size) && port_.Error() != code::LineTooLong) break;
  }
  port_.TimerClear();
  if (port_.Error() != code::ShortWait) return false;
  port_.Purge();
  return true;
}

bool CModem::SettingsDialogue(bool combined) {
  static const std::string kCombined = "E0" + std::string(kSettings);
  const std::string_view separate[] = {std::string_view(), std::string_view("E0"), kSettings};
  const std::string_view joined[] = {std::string_view(), std::string_view(kCombined)};
  const auto bodies = combined ? std::span<const std::string_view>(joined) : std::span<const std::string_view>(separate);
  for (std::string_view body : bodies)
    if (!Command(body) || !ExpectOk(kCommandSeconds, code::HandsetNotReady)) return false;
  return true;
}

bool CModem::Prepare() {
  if (!port_.IsOpen()) return Fail(code::PortNotOpen);
  if (!WaitForHandset() || !Settle() || !SettingsDialogue(false)) return false;

  if (!Command("#P1")) return false;
  int32_t c = Read(kCommandSeconds, code::HandsetNotReady);
  if (c < 0) return false;
  if (c != kModemEmpty) return Fail(code::ModemUnexpected);
  c = Read(kCommandSeconds, code::HandsetNotReady);
  if (c < 0) return false;
  if (c == kModemOk) p1Supported_ = 1;
  else if (c == kModemError) p1Supported_ = 0;
  else return Fail(code::ModemUnexpected);

  if (!Info("I9", true) || !Info("I3", false)) return false;
  return Paging("@R1:1");
}

bool CModem::Init() {
  if (!port_.IsOpen()) return Fail(code::PortNotOpen);
  signupAllowed_ = 0;
  if (!WaitForHandset() || !SettingsDialogue(false)) return false;
  std::string text;
  if (!Info("I9", false, &text)) return false;
  if (text.empty() || text[0] != '0') return Fail(code::SignupNumberMissing);
  signupAllowed_ = 1;
  if (!Paging("@R0:0")) Paging("@R1:1");
  return true;
}

bool CModem::PrepareInfo() {
  if (!port_.IsOpen()) return Fail(code::PortNotOpen);
  return WaitForHandset() && Settle() && SettingsDialogue(true);
}

int32_t CModem::InfoCheck() {
  std::string text;
  if (!Info("I9", false, &text) || text.empty() || text[0] < '0' || text[0] > '9') return 9;
  if (text[0] == '0') signupAllowed_ = 1;
  return text[0] - '0';
}

bool CModem::EnterInfoMode() {
  if (!Command("@S")) return false;
  const int32_t first = Read(kInfoModeSeconds, code::InfoNoAnswer);
  if (first < 0) return false;
  if (first != kModemEmpty) return Fail(code::ModemUnexpected);
  const int32_t c = Read(kInfoModeSeconds, code::InfoNoAnswer);
  if (c < 0) return false;
  if (c == kModemError) return Fail(code::InfoRefused);
  return c == kModemOk || Fail(code::ModemUnexpected);
}

bool CModem::PrepareNumberQuery() {
  if (!port_.IsOpen()) return Fail(code::PortNotOpen);
  if (!WaitForHandset()) return false;
  for (std::string_view body : {std::string_view(), std::string_view("E0")})
    if (!Command(body) || !ExpectOk(kCommandSeconds, code::HandsetNotReady)) return false;
  return Paging("@R1:1");
}

bool CModem::SetBilling(bool on) {
  if (!Command(on ? "@B1" : "@B0") || !ExpectOk(kCommandSeconds, code::ShortWait)) return Fail(code::BillingFailed);
  return true;
}

bool CModem::SetCallerNumber(bool on) {
  if (!Command(on ? "#A1" : "#A0") || !ExpectOk(kCommandSeconds, code::ShortWait)) return Fail(code::CallerNumberFailed);
  return true;
}

bool CModem::Query(std::string_view body, int32_t firstSeconds, int32_t seconds, std::string& text) {
  text.clear();
  if (!Command(body)) return false;
  if (Read(firstSeconds, code::ShortWait) != kModemEmpty) return false;
  std::string line;
  if (Read(seconds, code::ShortWait, &line) != kModemText) return false;
  if (Read(seconds, code::ShortWait) != kModemEmpty) return false;
  if (Read(seconds, code::ShortWait) != kModemOk) return false;
  text = std::move(line);
  return true;
}

bool CModem::ReadOwnNumber(std::string& number) {
  // The number goes into 36 bytes with its NUL; anything longer is no number.
  auto query = [&](std::string_view body, int32_t firstSeconds) {
    if (!Query(body, firstSeconds, kCommandSeconds, number)) return false;
    if (number.size() > 35) number.clear();
    return true;
  };
  return query("#Q2", 10) || query("I6", 7);
}

bool CModem::QueryText(std::string_view body, std::string& text) { return Query(body, kRingSeconds, kRingSeconds, text); }

int32_t CModem::RingInfo() {
  if (!p1Supported_) return 0;
  std::string text;
  if (!Query("#R", kRingSeconds, kRingSeconds, text)) {
    p1Supported_ = 0;
    return 0;
  }
  return static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10));
}

bool CModem::ArmRingReport() {
  if (port_.PortCarrier()) return true;
  if (!Command("#ER1")) return false;
  if (Read(kRingSeconds, code::ShortWait) != kModemEmpty) return Fail(code::ModemUnexpected);
  return Read(kRingSeconds, code::ShortWait) >= 0;
}

std::string CModem::DialString(const std::string& number) const {
  const bool split = params_ && params_->Get().Bunkei != 0;
  return number + (split ? ",01" : "");
}

std::string CModem::SignupDialString() const {
  if (!params_) return {};
  const KwxInitialParam p = params_->Get();
  return FieldText(p.OnlineSignUpPhoneNo) + ",0" + (p.Bunkei != 0 ? "1" : "0");
}

bool CModem::SelectAndDial(int32_t service, const std::string& dialString) {
  if (service == kServiceSignup && !signupAllowed_) return Fail(code::SignupNumberMissing);
  if (!Command("#X" + std::to_string(service)) || !ExpectOk(kCommandSeconds, code::ModemNoAnswer)) return false;
  if (!Command("DX" + dialString)) return false;
  int32_t c = Read(kDialSeconds, code::ModemNoAnswer);
  if (c < 0) return false;
  if (c != kModemEmpty) return Fail(code::ModemUnexpected);
  c = Read(kDialSeconds, code::ModemNoAnswer);
  if (c < 0) return false;
  if (c == kModemConnect) return true;
  const bool email = service == kServiceSend || service == kServiceReceive || service == kServiceExchange;
  if (c == kModemNoCarrier || (email && c == kModemDelayed)) return Fail(code::NoCarrierAfterDial);
  return Fail(code::ModemUnexpected);
}

bool CModem::ClearEMailNotice() {
  if (!Command("S240=0")) return false;
  if (Read(2, code::ShortWait) != kModemEmpty) return false;
  return Read(2, code::ShortWait) >= 0;
}

bool CModem::Hangup() {
  port_.DtrPulse();
  clock::Sleep(1000);
  if (!Command("H0", false)) return false;
  // Within a close the close's own deadline runs; otherwise a short one.
  const int32_t seconds = port_.Status().TimerArmed() ? 0 : kHangupSeconds;
  if (Read(seconds, code::ShortWait) != kModemEmpty) return false;
  const int32_t c = Read(seconds, code::ShortWait);
  return c == kModemOk || c == kModemNoCarrier;
}

}  // namespace portvine
