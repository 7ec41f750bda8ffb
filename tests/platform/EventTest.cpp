#include "platform/Event.h"

#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;
using qv::Event;

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
  std::thread t([&] { got = Event::WaitAny({&a, &b}); });
  std::this_thread::sleep_for(20ms);
  b.Set();
  t.join();
  EXPECT_EQ(got, 1);
}

TEST(Event, TimeoutElapses) {
  Event e(Event::Mode::AutoReset);
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(e.Wait(50ms));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
}
