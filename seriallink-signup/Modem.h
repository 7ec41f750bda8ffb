#pragma once
// CModem: the sign-up module's AT dialogue. Prepares the handset for the
// sign-up call, sets billing, reads the own number, dials the sign-up centre,
// switches the ring mode and hangs up. Every command is "AT" + body + CR;
// every answer is read as lines and classified in the sign-up dialect.
#include "SerialPort.h"

#include "seriallink/common/LineSplitter.h"

#include <array>
#include <string>
#include <string_view>

namespace kwxsignup {

class CModem {
 public:
  explicit CModem(CSerialPort& port);

  // DTR, CTS and DSR within 5 s (90011), "&FE0", the settings, "I9" whose text
  // must begin with '0' (90008), ring mode off ("@R0:0", else "@R0:1").
  bool Init();
  // "@B1" / "@B0"; failure 80008.
  bool SetBilling(bool on);
  // "#Q2", then "I6"; true when "OK" closed the answer. At most 35 bytes are
  // kept; a longer line is no number.
  bool ReadOwnNumber(std::string& number);
  // The ready check (90008), (0, 1), "#X9", "DX" + number + ",0" + the billing
  // digit; CONNECT succeeds, NO CARRIER or BUSY 90009, anything else 90005.
  bool Dial(const std::string& number, bool split);
  // "@R0:1": the handset reports rings.
  bool RingModeOn();
  // DTR off, 1 s, "H0".
  bool Hangup();

 private:
  bool Command(std::string_view body);
  // The next answer's line code, or -1 when the read failed. seconds > 0 arms
  // a deadline of its own; 0 reads under whatever is armed.
  int32_t Read(int32_t seconds, int32_t deadlineCode, std::string* text = nullptr);
  bool Fail(int32_t code);
  bool ExpectOk(int32_t seconds, int32_t deadlineCode);
  bool WaitForHandset();
  // A ring-mode command; a refusal is recorded only when record is set.
  bool Paging(std::string_view body, bool record);
  bool Query(std::string_view body, int32_t firstSeconds, std::string& text);

  CSerialPort& port_;
  seriallink::LineSplitter splitter_{seriallink::Dialect::Signup};
  // Set by an "I9" text that begins with '0'; the dial needs it.
  bool signupAllowed_ = false;
  std::array<char, 6148> command_{};
  std::array<char, 6148> answer_{};
};

}  // namespace kwxsignup
