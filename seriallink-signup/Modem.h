#pragma once
// CModem: the sign-up module's AT dialogue. Prepares the handset for the
// sign-up call, sets billing, reads the own number, dials the sign-up centre,
// switches the ring mode and hangs up; answers are classified in the sign-up
// dialect.
#include "SerialPort.h"

#include "seriallink/common/AtDialogue.h"

#include <string>

namespace kwxsignup {

class CModem final : public seriallink::AtDialogue {
 public:
  explicit CModem(CSerialPort& port);

  // DTR, CTS and DSR within 5 s (90011), "&FE0", the settings, "I9" whose text
  // must begin with '0' (90008), ring mode off ("@R0:0", else "@R0:1").
  bool Init();
  // The ready check (90008), (0, 1), "#X9", "DX" + number + ",0" + the billing
  // digit; CONNECT succeeds, NO CARRIER or BUSY 90009, anything else 90005.
  bool Dial(const std::string& number, bool split);
  // "@R0:1": the handset reports rings.
  bool RingModeOn();
  // DTR off, 1 s, "H0".
  bool Hangup();

 private:
  // A stop ends the wait for the handset; the state tells it from the request.
  bool WaitStopped() override { return port_.StopPending(); }

  CSerialPort& port_;
  // Set by an "I9" text that begins with '0'; the dial needs it.
  bool signupAllowed_ = false;
};

}  // namespace kwxsignup
