#pragma once
// The factories of the session states: the mail pattern shared by direct mail
// (2000-2007), e-mail send (2200-2207), receive (2300-2308) and exchange
// (2400-2409); ring wait (2100-2107), information mode (2500-2506) and
// sign-up (1000-1010).
#include "LineSplitter.h"
#include "State.h"

#include <memory>

namespace portvine {

class CEngine;
class CModem;
class CPort;
class CStatus;

// What every line state works with.
struct StateContext {
  CPort& port;
  CModem& modem;
  CStatus& status;
  LineSplitter& splitter;
  CEngine& engine;
};

// The state object for an entry of the mail-pattern graphs (kinds 1, 3, 4,
// 5) and the ends ring wait borrows from them (2105-2107), or null.
std::unique_ptr<CState> MakeEMailState(const StateEntry& entry, int32_t kind, StateContext& context);
// Ring wait's own states (2100-2104), or null.
std::unique_ptr<CState> MakeRingState(const StateEntry& entry, StateContext& context);
// Information mode (2500-2506), or null.
std::unique_ptr<CState> MakeInfoState(const StateEntry& entry, StateContext& context);
// Sign-up (1000-1010), or null.
std::unique_ptr<CState> MakeSignupState(const StateEntry& entry, StateContext& context);

}  // namespace portvine
