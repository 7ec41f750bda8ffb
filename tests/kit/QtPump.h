#pragma once
// Waiting on the Qt event loop for a state, never for a fixed time.
#include <functional>

namespace qvtest {

// Handles events (and what they start) until pred holds, at most ms.
void PumpUntil(const std::function<bool()>& pred, int ms = 10000);

// Handles events until every event posted before the call has been handled
// (a sentinel event posted after them has arrived), at most ms; false when
// it has not arrived. What a handled event only starts later (a timer) is
// not waited for. The "nothing happens" checks wait for this.
bool DrainPosted(int ms = 10000);

}  // namespace qvtest
