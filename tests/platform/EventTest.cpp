#include "platform/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using qv::Event;

namespace {

// Whether a thread of this process sleeps in the kernel (blocked in a wait).
bool Sleeping(pid_t tid) {
  std::ifstream f("/proc/self/task/" + std::to_string(tid) + "/stat");
  std::string line;
  std::getline(f, line);
  const size_t name = line.rfind(')');
  return name != std::string::npos && name + 2 < line.size() && line[name + 2] == 'S';
}

}  // namespace

TEST(Event, AutoResetReleasesOneWait) {
  Event e(Event::Mode::AutoReset);
  EXPECT_FALSE(e.Wait(0ms));
  e.Set();
  EXPECT_TRUE(e.Wait(0ms));
  EXPECT_FALSE(e.Wait(10ms));
}

TEST(Event, ManualResetStaysSetUntilReset) {
  Event e(Event::Mode::ManualReset, true);
  EXPECT_TRUE(e.Wait(0ms));
  EXPECT_TRUE(e.Wait(0ms));
  e.Reset();
  EXPECT_FALSE(e.Wait(0ms));
}

TEST(Event, WaitAnyReportsLowestSignalledAndResetsOnlyIt) {
  Event a(Event::Mode::AutoReset), b(Event::Mode::AutoReset), c(Event::Mode::ManualReset);
  EXPECT_EQ(Event::WaitAny({&a, &b, &c}, 5ms), Event::kTimeout);
  b.Set();
  c.Set();
  EXPECT_EQ(Event::WaitAny({&a, &b, &c}, 0ms), 1);
  EXPECT_FALSE(b.IsSet());
  EXPECT_TRUE(c.IsSet());
  EXPECT_EQ(Event::WaitAny({&a, &b, &c}, 0ms), 2);
  EXPECT_TRUE(c.IsSet());
}

TEST(Event, WakesAWaiterOnAnotherThread) {
  Event a(Event::Mode::AutoReset), b(Event::Mode::AutoReset);
  int got = -2;
  std::atomic<pid_t> waiter{0};
  std::atomic<bool> done{false};
  std::thread t([&] {
    waiter = ::gettid();
    got = Event::WaitAny({&a, &b}, 5s);
    done = true;
  });
  // Set only once the waiter is blocked, so that the set has to wake it
  // (its own time-out would end the wait too, but seconds later).
  auto end = std::chrono::steady_clock::now() + 10s;
  while ((!waiter || !Sleeping(waiter)) && std::chrono::steady_clock::now() < end) std::this_thread::yield();
  EXPECT_TRUE(waiter && Sleeping(waiter));
  b.Set();
  end = std::chrono::steady_clock::now() + 2s;
  while (!done && std::chrono::steady_clock::now() < end) std::this_thread::yield();
  EXPECT_TRUE(done) << "the set woke the waiter";
  t.join();
  EXPECT_EQ(got, 1);
}

TEST(Event, TimeoutElapses) {
  Event e(Event::Mode::AutoReset);
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(e.Wait(50ms));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
}
