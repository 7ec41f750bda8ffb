#pragma once
// CModem: the AT dialogue with the handset. Prepares it before a session, sets
// billing, reads its own number, selects the service and dials, hangs up.
// Every command is one line "AT" + body + CR; every answer line is classified
// by the modem result classifier.
#include "LineSplitter.h"
#include "Params.h"
#include "Port.h"

#include "seriallink/common/AtDialogue.h"

#include <array>
#include <string>
#include <string_view>

namespace portvine {

// "#X" services.
enum Service : int32_t { kServiceDirectMail = 0, kServiceSend = 2, kServiceReceive = 3, kServiceExchange = 4, kServiceSignup = 9 };

class CModem : public seriallink::AtDialogue {
 public:
  // params is null for the own-number query without a session.
  CModem(CPort& port, const ParamStore* params);

  // The session preparation (every kind but sign-up).
  bool Prepare();
  // The preparation of kwxGetTelNumber: DTR, CTS and DSR, "AT", "E0", "@R1:1".
  bool PrepareNumberQuery();
  // Service selection, then "DX" + number. True on CONNECT; NO CARRIER (and
  // DELAYED for e-mail) records 90009, anything else 90005.
  bool SelectAndDial(int32_t service, const std::string& dialString);
  // The dial string of e-mail and direct mail: the number, ",01" with split billing.
  std::string DialString(const std::string& number) const;
  // The sign-up centre's: its number, ",0", then "1" or "0" by split billing.
  std::string SignupDialString() const;
  // "#A1" / "#A0": the caller number goes with the call or not; failure 80009.
  bool SetCallerNumber(bool on);
  // The sign-up preparation: DTR, CTS and DSR, "AT", "E0", the settings, "I9"
  // whose text must begin with "0" (90008), "@R0:0" (or "@R1:1").
  bool Init();
  // The preparation before information mode: as the session's up to the
  // settings, sent with "E0" as one command.
  bool PrepareInfo();
  // "I9" read as a digit: the first character of its text, 9 when the answer
  // is missing or unexpected.
  int32_t InfoCheck();
  // "@S": the handset enters information mode; "ERROR" 90029, no answer 90028.
  bool EnterInfoMode();
  // A register or query whose answer is an empty line, one text line, an
  // empty line and "OK" ("S240?", "S211?"); the text without its CR LF.
  bool QueryText(std::string_view body, std::string& text);
  // "#R" while "#P1" is supported: the number the handset gives; 0 (and the
  // support mark cleared) on any other answer.
  int32_t RingInfo();
  // "#ER1": the handset reports rings and e-mail arrivals; skipped while the
  // carrier is up.
  bool ArmRingReport();
  // "S240=0": clears the handset's e-mail arrival notice.
  bool ClearEMailNotice();
  // DTR pulse, 1 s, "H0".
  bool Hangup();
  int32_t P1Supported() const { return p1Supported_; }

 private:
  bool CommandsStopped() override { return port_.CancelPending(); }
  bool WaitForHandset();
  bool Info(std::string_view body, bool traceThird, std::string* text = nullptr);
  bool Settle();
  bool SettingsDialogue(bool combined);

  CPort& port_;
  const ParamStore* params_;
  int32_t p1Supported_ = 0;
  // Set by an "I9" text that begins with "0"; the sign-up dial needs it.
  int32_t signupAllowed_ = 0;
};

}  // namespace portvine
