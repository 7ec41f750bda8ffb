#include "Modem.h"

#include "abi/KwxApi.h"
#include "seriallink/common/Codes.h"

namespace kwxsignup {
namespace code = seriallink::code;
using namespace seriallink;  // the line codes

namespace {
constexpr std::string_view kSettings = "&D2&C1&S0V1Q0\\V1\\X1#B1#C1#I1S0=0S7=50";
constexpr int32_t kSignupService = 9;
}  // namespace

CModem::CModem(CSerialPort& port) : AtDialogue(port, Dialect::Signup), port_(port) {}

bool CModem::Init() {
  signupAllowed_ = false;
  if (!port_.IsOpen()) return Fail(code::PortNotOpen);
  port_.RaiseDtr();
  port_.Purge();
  if (!WaitForLines()) return false;
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
  // preparation goes on either way, so neither a refusal nor a silence is an
  // error to report.
  if (!Paging("@R0:0", false)) Paging("@R0:1", false);
  return true;
}

bool CModem::Dial(const std::string& number, bool split) {
  if (!signupAllowed_) return Fail(code::SignupNumberMissing);
  port_.Notify(kwx::KWX_EV_PROGRESS, 1);
  return SelectAndDial(kSignupService, number + ",0" + (split ? "1" : "0"), {kModemNoCarrier, kModemBusy});
}

bool CModem::RingModeOn() { return Paging("@R0:1"); }

bool CModem::Hangup() {
  port_.DropDtr();
  return HangupAfterDtr();
}

}  // namespace kwxsignup
