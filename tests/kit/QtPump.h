#pragma once
// Waiting on the Qt event loop for a state, never for a fixed time.
#include <functional>

namespace qvtest {

// Handles events (and what they start) until pred holds, at most ms.
void PumpUntil(const std::function<bool()>& pred, int ms = 10000);

}  // namespace qvtest
