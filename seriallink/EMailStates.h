#pragma once
// The states of the e-mail sessions: send (2200-2207), receive (2300-2308)
// and exchange (2400-2409).
#include "State.h"

#include <memory>

namespace portvine {

class CEngine;
class CModem;
class CPort;
class CStatus;
class LineSplitter;

// What every line state works with.
struct StateContext {
  CPort& port;
  CModem& modem;
  CStatus& status;
  LineSplitter& splitter;
  CEngine& engine;
};

// The state object for an entry of the e-mail graphs (kinds 3, 4, 5), or null.
std::unique_ptr<CState> MakeEMailState(const StateEntry& entry, int32_t kind, StateContext& context);

}  // namespace portvine
