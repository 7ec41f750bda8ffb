#include "platform/Handles.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

TEST(Handles, PostReachesTheRegisteredSinkAndUnknownIdsAreIgnored) {
  uint32_t lastMsg = 0;
  uintptr_t lastW = 0;
  intptr_t lastL = 0;
  auto id = qv::RegisterWindow([&](uint32_t m, uintptr_t w, intptr_t l) {
    lastMsg = m;
    lastW = w;
    lastL = l;
  });
  EXPECT_NE(id, 0u);
  EXPECT_TRUE(qv::PostMessage(id, qv::WM_USER + 1, 8, -5));
  EXPECT_EQ(lastMsg, qv::WM_USER + 1);
  EXPECT_EQ(lastW, 8u);
  EXPECT_EQ(lastL, -5);
  qv::UnregisterWindow(id);
  EXPECT_FALSE(qv::IsWindowHandle(id));
  EXPECT_FALSE(qv::PostMessage(id, 1, 2, 3));
  EXPECT_FALSE(qv::PostMessage(0, 1, 2, 3));
}

TEST(Handles, PostingFromManyThreadsDeliversEveryMessage) {
  std::atomic<int> count{0};
  auto id = qv::RegisterWindow([&](uint32_t, uintptr_t, intptr_t) { count++; });
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 1000; ++i) qv::PostMessage(id, 1, 0, 0);
    });
  for (auto& t : threads) t.join();
  qv::UnregisterWindow(id);
  EXPECT_EQ(count.load(), 8000);
}

TEST(Handles, AWaitForPostedMessagesEndsWithThePostAndNotBefore) {
  std::atomic<int> sunk{0};
  auto id = qv::RegisterWindow([&](uint32_t, uintptr_t, intptr_t) { sunk++; });
  const uint64_t seen = qv::PostedMessageCount();
  // Nothing posted: the wait runs out.
  EXPECT_FALSE(qv::WaitPostedMessage(seen, std::chrono::milliseconds(1)));
  // A post from another thread ends a long wait, and the sink has it by then.
  std::thread poster([id] { qv::PostMessage(id, qv::WM_USER + 1, 1, 7); });
  EXPECT_TRUE(qv::WaitPostedMessage(seen, std::chrono::seconds(5)));
  EXPECT_EQ(sunk.load(), 1);
  poster.join();
  // A post the waiter has not seen yet ends the next wait at once; a post to
  // no window counts for nothing.
  EXPECT_TRUE(qv::WaitPostedMessage(seen, std::chrono::milliseconds(0)));
  const uint64_t now = qv::PostedMessageCount();
  EXPECT_EQ(now, seen + 1);
  EXPECT_FALSE(qv::PostMessage(0, 1, 2, 3));
  EXPECT_FALSE(qv::WaitPostedMessage(now, std::chrono::milliseconds(1)));
  qv::UnregisterWindow(id);
}

TEST(Handles, IconsLiveUntilReleased) {
  auto value = std::make_shared<int>(7);
  auto id = qv::RegisterIcon(value);
  value.reset();
  auto got = std::static_pointer_cast<int>(qv::LookupIcon(id));
  ASSERT_TRUE(got);
  EXPECT_EQ(*got, 7);
  qv::ReleaseIcon(id);
  EXPECT_FALSE(qv::LookupIcon(id));
}
