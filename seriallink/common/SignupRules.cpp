#include "SignupRules.h"

namespace seriallink {

int SignupSlot(SignupRule rule, int32_t r, bool check) {
  switch (rule) {
    case SignupRule::Dial: return r == kSignupOk ? 0 : 2;
    case SignupRule::Exchange:
      if (r == kSignupOk) return check ? 0 : 4;
      return r == kSignupAbort ? 2 : r == kSignupDeadline ? 3 : r == kSignupError ? 4 : 5;
    case SignupRule::Request:
      if (r == kSignupOk) return check ? 0 : 4;
      return (r == kSignupAbort || r == kSignupError) ? 4 : r == kSignupDeadline ? 3 : 5;
    case SignupRule::Ack:
      switch (r) {
        case kSignupOk: return 0;
        case kSignupAbort: return 2;
        case kSignupDeadline: return 3;
        case kSignupError: return 4;
        case kSignupFarEnd: return 1;
        default: return 5;
      }
    case SignupRule::Wait: return r == kSignupOk ? 0 : r == kSignupDeadline ? 3 : 5;
    case SignupRule::Closed: return r == kSignupLineLost ? 5 : 0;
    case SignupRule::Always: return 0;
  }
  return 0;
}

}  // namespace seriallink
