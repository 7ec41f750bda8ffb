#include "Clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace seriallink::clock {
namespace {
using Steady = std::chrono::steady_clock;

std::atomic<int> g_rate{1};
std::atomic<int64_t> g_baseRealUs{0};
std::atomic<int64_t> g_baseMs{0};

int64_t RealUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(Steady::now().time_since_epoch()).count();
}

std::chrono::microseconds Real(int64_t ms) {
  if (ms <= 0) return std::chrono::microseconds(0);
  return std::chrono::microseconds(ms * 1000 / g_rate.load());
}

std::chrono::milliseconds RealMs(int64_t ms) {
  if (ms <= 0) return std::chrono::milliseconds(0);
  auto us = Real(ms).count();
  return std::chrono::milliseconds(us < 1000 ? 1 : us / 1000);
}
}  // namespace

int64_t NowMs() {
  const int64_t elapsedUs = RealUs() - g_baseRealUs.load();
  return g_baseMs.load() + elapsedUs * g_rate.load() / 1000;
}

void Sleep(int64_t ms) { std::this_thread::sleep_for(Real(ms)); }

void SleepUntil(int64_t ms) {
  const int64_t rate = g_rate.load();
  const int64_t realUs = g_baseRealUs.load() + ((ms - g_baseMs.load()) * 1000 + rate - 1) / rate;
  std::this_thread::sleep_until(Steady::time_point(std::chrono::microseconds(realUs)));
}

std::chrono::milliseconds Span(int64_t ms) { return RealMs(ms); }

bool Wait(qv::Event& event, int64_t ms) { return event.Wait(RealMs(ms)); }

int WaitAny(std::initializer_list<qv::Event*> events, int64_t ms) { return qv::Event::WaitAny(events, RealMs(ms)); }

void SetRate(int rate) {
  if (rate < 1) rate = 1;
  const int64_t now = NowMs();
  g_baseRealUs.store(RealUs());
  g_baseMs.store(now);
  g_rate.store(rate);
}

int Rate() { return g_rate.load(); }

}  // namespace seriallink::clock
