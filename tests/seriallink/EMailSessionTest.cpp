// End to end: the built Portvine.so drives e-mail sessions against the
// simulated handset and mail centre, as the launcher does.
#include "SessionHarness.h"

#include <gtest/gtest.h>

#include <thread>

using namespace std::chrono_literals;
using handsetsim::Action;
using handsetsim::Fault;
using handsetsim::SimConfig;
using handsetsim::SimMail;
using handsetsim::Step;
using seriallinktest::Contains;
using seriallinktest::Describe;
using seriallinktest::Ev;
using seriallinktest::Session;
using seriallinktest::WithoutProgress;

namespace {

std::string Mail(int n, size_t size = 0) {
  std::string body = "To: friend" + std::to_string(n) + "@example.jp\r\nSubject: mail " + std::to_string(n) + "\r\n\r\n";
  while (body.size() + 7 < size) body += "line..\r\n";
  return body + "bye\r\n";
}

TEST(EMailSend, ThreeMailsAreSentOneByOneAndTheSessionCloses) {
  Session s;
  s.Init();
  const std::vector<std::string> bodies = {Mail(1), Mail(2, 700), Mail(3, 6200)};
  ASSERT_EQ(s.api().kwxConnectEMail(0, 3), 1);
  size_t next = 0;
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    if (ev == Ev{1, 1}) {
      ASSERT_LT(next, bodies.size());
      ASSERT_EQ(s.api().kwxAsyncSendEMail(bodies[next].data(), static_cast<int32_t>(bodies[next].size())), 1);
      ++next;
    }
  })) << Describe(s.Events());
  auto n = [&](size_t i) { return static_cast<int32_t>(bodies[i].size()); };
  const std::vector<Ev> expected = {
      {0, 36}, {1, 9}, {0, 31}, {0, 32}, {1, 1},                                          //
      {0, 32}, {3, 0}, {3, n(0)}, {1, 8}, {1, 1},                                         //
      {0, 32}, {3, 0}, {3, n(1)}, {1, 8}, {1, 1},                                         //
      {0, 32}, {3, 0}, {3, 6136}, {3, n(2)}, {1, 8},                                      //
      {0, 35}, {8, 30}, {8, 31}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  EXPECT_TRUE(s.CallbackMatchesWindow());
  EXPECT_TRUE(s.WaitIdle());
  auto r = s.sim().Record();
  EXPECT_EQ(r.accepted, bodies);
  EXPECT_EQ(r.closeCodes, std::vector<std::string>{"0000"});
  EXPECT_EQ(r.dialled, std::vector<std::string>{"0570001234"});
  EXPECT_EQ(r.centreLines.front(), "SOCKET_25_CONNECTION[1 SEND]");
  EXPECT_TRUE(s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected; }, 5s));
  char own[36];
  EXPECT_EQ(s.api().kwxGetParam(0, own, sizeof own), 1);
  EXPECT_STREQ(own, "07012345678");
}

}  // namespace
