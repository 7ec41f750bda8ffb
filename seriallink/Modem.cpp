#include "Modem.h"

#include "Clock.h"
#include "Codes.h"

#include <cstdlib>
#include <span>

namespace portvine {
namespace {
constexpr std::string_view kSettings = "&D2&C1&S0V1Q0\\V1\\X1#B1#C1#I1S0=0S7=50";
constexpr int32_t kAnswerRoom = 6144;
// The ring-wait queries wait 2-7 s for each line.
constexpr int32_t kRingSeconds = 3;
constexpr int32_t kInfoModeSeconds = 30;
}  // namespace

CModem::CModem(CPort& port, const ParamStore* params)
    : AtDialogue(port, seriallink::Dialect::Full), port_(port), params_(params) {}

bool CModem::WaitForHandset() {
  port_.DtrOn();
  return WaitForLines();
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

bool CModem::SetCallerNumber(bool on) {
  if (!Command(on ? "#A1" : "#A0") || !ExpectOk(kCommandSeconds, code::ShortWait)) return Fail(code::CallerNumberFailed);
  return true;
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
  const bool email = service == kServiceSend || service == kServiceReceive || service == kServiceExchange;
  if (email) return AtDialogue::SelectAndDial(service, dialString, {kModemNoCarrier, kModemDelayed});
  return AtDialogue::SelectAndDial(service, dialString, {kModemNoCarrier});
}

bool CModem::ClearEMailNotice() {
  if (!Command("S240=0")) return false;
  if (Read(2, code::ShortWait) != kModemEmpty) return false;
  return Read(2, code::ShortWait) >= 0;
}

bool CModem::Hangup() {
  port_.DtrPulse();
  return HangupAfterDtr();
}

}  // namespace portvine
