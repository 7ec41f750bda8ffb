#pragma once
// A serial-link module's time: a monotonic clock in milliseconds, sleeps and
// event waits. Tests may make it run faster, so that deadlines of a minute
// pass in seconds; everything that waits in a module waits through here. Each
// module links its own copy, so each has its own rate.
#include "platform/Event.h"

#include <chrono>
#include <cstdint>
#include <initializer_list>

namespace seriallink::clock {

int64_t NowMs();
void Sleep(int64_t ms);
// Sleeps until NowMs() reads at least ms.
void SleepUntil(int64_t ms);
// The real time that ms of the module's time take (at least 1 ms when ms > 0).
std::chrono::milliseconds Span(int64_t ms);
bool Wait(qv::Event& event, int64_t ms);
// Index of the signalled event (the lowest first) or qv::Event::kTimeout.
int WaitAny(std::initializer_list<qv::Event*> events, int64_t ms);

// Time runs rate times faster (1 is real time). Set while no session runs.
void SetRate(int rate);
int Rate();

}  // namespace seriallink::clock
