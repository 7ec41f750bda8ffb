#pragma once
// The successor rules of the sign-up states. These states keep their own
// result (0 success, 1 caller abort, 2 deadline, 3 error, 4 the far end closed,
// 5 line lost); a rule turns it into one of six successor slots (0 success,
// 1 far-end close, 2 abort, 3 deadline, 4 error, 5 line lost).
#include <cstdint>

namespace seriallink {

enum class SignupRule {
  Dial,      // open, prepare, dial: success or the abort slot
  Exchange,  // connect, turn: by result, a wrong answer to the error slot
  Request,   // the request: as Exchange, but an abort goes to the error close
  Ack,       // acknowledge: a far-end close takes slot 1
  Wait,      // waits for the line to drop: success, deadline or line lost
  Closed,    // after the module's close line: line lost or on
  Always,    // always the first slot
};

enum SignupResult : int32_t { kSignupOk = 0, kSignupAbort = 1, kSignupDeadline = 2, kSignupError = 3,
                              kSignupFarEnd = 4, kSignupLineLost = 5 };

// The slot for a result; check says whether a successful step's answer was
// the expected one.
int SignupSlot(SignupRule rule, int32_t result, bool check);

}  // namespace seriallink
