// End to end: outgoing direct mail and the sign-up exchange through the
// built Portvine.so against the simulated handset and its centres.
#include "SessionHarness.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace std::chrono_literals;
using handsetsim::Action;
using handsetsim::SimConfig;
using handsetsim::Step;
using seriallinktest::Describe;
using seriallinktest::Ev;
using seriallinktest::Session;
using seriallinktest::Size;

namespace {

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

SimConfig Faulty(Step step, Action action) {
  SimConfig c;
  c.faults.push_back({step, action, 1, -1});
  return c;
}

TEST(DirectMail, SentAndConfirmedWithTheDialOptions) {
  struct {
    const char* name;
    int32_t bunkei, dialWithNum;
    const char* dialled;
    const char* callerNumber;
  } table[] = {
      {"plain", 0, 0, "09011112222", "#A0"},
      {"split billing and caller number", -1, 1, "09011112222,01", "#A1"},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    Session s;
    s.param.Bunkei = row.bunkei;
    s.param.DialWithNum = row.dialWithNum;
    s.Init();
    const std::string body = "Subject: " + qvtest::Sjis("こんにちは") + "\r\n\r\n" + std::string(300, 'x') + "\r\n";
    ASSERT_EQ(s.api().kwxConnectSMail("09011112222", body.data(), Size(body)), 1);
    ASSERT_TRUE(s.Drive(nullptr)) << Describe(s.Events());
    const std::vector<Ev> expected = {{0, 16}, {1, 9},  {0, 11},      {0, 12}, {0, 12},  {3, 0},
                                      {3, Size(body)}, {1, 8}, {0, 15}, {8, 10}, {8, 11}};
    EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
    const auto r = s.sim().Record();
    EXPECT_EQ(r.accepted, std::vector<std::string>{body});
    EXPECT_EQ(r.dialled, std::vector<std::string>{row.dialled});
    EXPECT_EQ(r.centreLines.front(), "SOCKET_25_CONNECTION[1 SMAIL]");
    EXPECT_EQ(r.closeCodes, std::vector<std::string>{"0000"});
    EXPECT_TRUE(Has(r.atCommands, "#X0"));
    EXPECT_TRUE(Has(r.atCommands, row.callerNumber));
    EXPECT_TRUE(s.WaitIdle());
    EXPECT_TRUE(s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected; }, 5s));
  }
}

TEST(DirectMail, EmptyDestinationEndsWith15AndNoCall) {
  Session s;
  s.Init();
  ASSERT_EQ(s.api().kwxConnectSMail("", "hello", 5), 1);
  ASSERT_TRUE(s.Drive(nullptr)) << Describe(s.Events());
  const std::vector<Ev> expected = {{0, 16}, {1, 9}, {0, 11}, {10, 15}, {0, 15}, {8, 10}, {8, 11}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  EXPECT_TRUE(s.sim().Record().dialled.empty());
}

TEST(DirectMail, NothingToSendIsRefusedBeforeAnySession) {
  Session s;
  s.Init();
  EXPECT_EQ(s.api().kwxConnectSMail("09011112222", "", 0), 0);
  EXPECT_EQ(s.api().kwxGetErrorCode(0, 0), 90033);
  EXPECT_EQ(s.api().kwxGetState(), 0);
  EXPECT_EQ(s.api().kwxConnectSMail("09011112222", nullptr, 5), 0);
  // A session that does start, as the sentinel: its events come first and
  // alone, and it finds the module idle.
  ASSERT_EQ(s.api().kwxConnectSMail("", "hello", 5), 1);
  ASSERT_TRUE(s.Drive(nullptr)) << Describe(s.Events());
  const std::vector<Ev> expected = {{0, 16}, {1, 9}, {0, 11}, {10, 15}, {0, 15}, {8, 10}, {8, 11}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  EXPECT_EQ(s.sim().Record().connections, 1) << "the sentinel's only";
}

TEST(DirectMail, StopWhileDiallingEndsWith22) {
  Session s(Faulty(Step::Dial, Action::Silent));
  s.Init();
  ASSERT_EQ(s.api().kwxConnectSMail("09011112222", "hello", 5), 1);
  ASSERT_TRUE(s.WaitFor({0, 11}));
  s.api().kwxDisconnect(10);
  ASSERT_TRUE(s.Drive(nullptr)) << Describe(s.Events());
  const std::vector<Ev> expected = {{0, 16}, {1, 9}, {0, 11}, {10, 22}, {0, 15}, {8, 10}, {8, 11}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  EXPECT_FALSE(s.sim().Record().callUp);
}

TEST(DirectMail, LineLostOrHandsetPulledEndsTheSession) {
  struct {
    const char* name;
    Action action;
    bool unplug;
    Ev error;
  } table[] = {
      // The handset's NO CARRIER comes where the OK was due.
      {"carrier dropped instead of OK", Action::Drop, false, {9, 810}},
      {"handset pulled while OK is due", Action::Hold, true, {10, 30}},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    Session s(Faulty(Step::Mail, row.action));
    s.Init();
    ASSERT_EQ(s.api().kwxConnectSMail("09011112222", "hello\r\n", 7), 1);
    ASSERT_TRUE(s.Drive([&](const Ev& ev) {
      if (row.unplug && ev == Ev{3, 7}) {
        // Once the mail is in, the handset goes while its OK is held back.
        s.sim().WaitUntil([](const auto& rec) { return rec.accepted.size() == 1; }, 5s);
        s.sim().Unplug();
      }
    })) << Describe(s.Events());
    const auto events = s.Events();
    EXPECT_TRUE(seriallinktest::Contains(events, row.error)) << Describe(events);
    EXPECT_EQ(events.back(), (Ev{8, 11})) << Describe(events);
    EXPECT_FALSE(seriallinktest::Contains(events, {1, 8}));
    EXPECT_TRUE(s.WaitIdle());
    EXPECT_TRUE(s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected; }, 10s));
  }
}

// The launcher's side of a sign-up: a request on every (1, 1), the page
// taken on (1, 2).
struct SignupCaller {
  SignupCaller(Session& session, std::vector<std::string> r) : s(session), requests(std::move(r)) {}
  Session& s;
  std::vector<std::string> requests;
  std::vector<std::string> pages;
  size_t next = 0;
  void operator()(const Ev& ev) {
    if (ev == Ev{1, 1} && next < requests.size()) {
      const std::string& r = requests[next++];
      ASSERT_EQ(s.api().kwxAsyncSendSignup(r.data(), Size(r)), 1);
    } else if (ev == Ev{1, 4}) {
      part += s.TakeBuffer();  // a full part: reading goes on once it is taken
    } else if (ev == Ev{1, 2}) {
      pages.push_back(part + s.TakeBuffer());
      part.clear();
    }
  }
  std::string part;
};

TEST(Signup, ThreeTurnsThenTheCentreClosesInPlaceOfTurn) {
  SimConfig c;
  c.signupPages = {"PAGE one\r\n", qvtest::Sjis("二頁目") + "\r\n", std::string(7000, 'p') + "\r\n"};
  c.signupCloseAfter = 3;
  Session s(c);
  s.param.Bunkei = -1;
  s.Init();
  ASSERT_EQ(s.api().kwxConnectSignup(), 1);
  SignupCaller caller{s, {"REQ 1\r\n", "REQ 2\r\n", "REQ 3\r\n"}};
  ASSERT_TRUE(s.Drive(std::ref(caller))) << Describe(s.Events());
  auto turn = [](int32_t n, bool more, bool full = false) {
    std::vector<Ev> t = {{0, 2}, {3, 0}, {3, n}, {0, 3}, {0, 4}, {1, 5}};
    if (full) t.push_back({1, 4});
    t.push_back({1, 2});
    if (more) t.insert(t.end(), {{0, 4}, {1, 6}, {1, 1}});
    else t.push_back({1, 6});
    return t;
  };
  std::vector<Ev> expected = {{0, 6}, {0, 1}, {0, 2}, {1, 1}};
  for (const auto& t : {turn(7, true), turn(7, true), turn(7, false, true)}) expected.insert(expected.end(), t.begin(), t.end());
  expected.insert(expected.end(), {{0, 5}, {8, 0}, {8, 1}});
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  ASSERT_EQ(caller.pages.size(), 3u);
  EXPECT_EQ(caller.pages[0], c.signupPages[0]);
  EXPECT_EQ(caller.pages[1], c.signupPages[1]);
  EXPECT_EQ(caller.pages[2], c.signupPages[2]);
  const auto r = s.sim().Record();
  EXPECT_EQ(r.signupRequests, caller.requests);
  EXPECT_EQ(r.dialled, std::vector<std::string>{"0570009999,01"});
  EXPECT_TRUE(Has(r.atCommands, "#X9"));
  EXPECT_TRUE(r.closeCodes.empty());  // the centre closed; the module sent no close line
  EXPECT_TRUE(s.WaitIdle());
}

TEST(Signup, NoReadyWithin45SecondsClosesWith1120ThenHangsUp) {
  Session s(Faulty(Step::Connect, Action::Silent), 50);
  s.Init();
  ASSERT_EQ(s.api().kwxConnectSignup(), 1);
  ASSERT_TRUE(s.Drive(nullptr)) << Describe(s.Events());
  const std::vector<Ev> expected = {{0, 6}, {0, 1}, {0, 2}, {0, 5}, {8, 0}, {0, 5}, {8, 0}, {8, 1}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  // The handset takes the hang-up in its own time after the session has ended.
  EXPECT_TRUE(s.sim().WaitUntil(
      [](const auto& rec) { return !rec.atCommands.empty() && rec.atCommands.back() == "H0" && !rec.callUp; }, 5s));
  const auto r = s.sim().Record();
  EXPECT_EQ(r.closeCodes, std::vector<std::string>{"1120"});
  EXPECT_EQ(r.atCommands.back(), "H0");
  EXPECT_FALSE(r.callUp);
}

TEST(Signup, RefusedWhileRunningAndStoppedByTheCallerWith0010) {
  Session s;
  s.Init();
  ASSERT_EQ(s.api().kwxConnectSignup(), 1);
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    if (ev == Ev{1, 1}) {
      EXPECT_EQ(s.api().kwxConnectSignup(), 0);
      s.api().kwxDisconnect(10);
    }
  })) << Describe(s.Events());
  const std::vector<Ev> expected = {{0, 6}, {0, 1}, {0, 2}, {1, 1}, {0, 5}, {8, 0}, {0, 5}, {8, 0}, {8, 1}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  const auto r = s.sim().Record();
  EXPECT_EQ(r.closeCodes, std::vector<std::string>{"0010"});
  EXPECT_TRUE(r.signupRequests.empty());
  EXPECT_FALSE(Has(r.centreLines, "MAIL"));
}

TEST(Signup, HandsetWhoseIdentityIsNotZeroCannotSignUp) {
  SimConfig c;
  c.i9Text = "1";
  Session s(c);
  s.Init();
  ASSERT_EQ(s.api().kwxConnectSignup(), 1);
  ASSERT_TRUE(s.Drive(nullptr)) << Describe(s.Events());
  const std::vector<Ev> expected = {{0, 6}, {0, 5}, {8, 0}, {8, 1}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  EXPECT_EQ(s.api().kwxGetErrorCode(0, 0), 90008);
  EXPECT_TRUE(s.sim().Record().dialled.empty());
}

TEST(Signup, CarrierLostAtEachStageEndsTheSession) {
  struct {
    const char* name;
    Step step;
  } table[] = {
      {"instead of READY", Step::Connect},
      {"instead of the request's OK", Step::Mail},
      {"instead of the page", Step::Page},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    Session s(Faulty(row.step, Action::Drop));
    s.Init();
    ASSERT_EQ(s.api().kwxConnectSignup(), 1);
    SignupCaller caller(s, {"REQ\r\n"});
    ASSERT_TRUE(s.Drive(std::ref(caller))) << Describe(s.Events());
    const auto events = s.Events();
    EXPECT_EQ(events.back(), (Ev{8, 1})) << Describe(events);
    EXPECT_FALSE(seriallinktest::Contains(events, {1, 2})) << Describe(events);
    EXPECT_TRUE(s.WaitIdle());
    EXPECT_TRUE(s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected && !rec.callUp; }, 10s));
  }
}

// DCD may follow CONNECT by a little (USB serial adapters report the modem
// lines apart from the data): within a second of it the call runs as if it
// had come first; past it the call is given up and told ((10, 9)) before
// anything is sent. Real time: the module's second is the handset's.
class LateCarrier : public ::testing::TestWithParam<std::tuple<bool, long>> {};

TEST_P(LateCarrier, TheCallRunsWholeWithinASecondOfConnectElseItIsTold) {
  const auto [signup, ms] = GetParam();
  const bool goesOn = ms <= 500;
  SimConfig c = Faulty(Step::Dial, Action::LateCarrier);
  c.faults[0].arg = ms;
  c.signupPages = {"PAGE one\r\n"};
  c.signupCloseAfter = 1;
  Session s(c, 1);
  s.Init();
  const std::string body = "Subject: late\r\n\r\nhello\r\n";
  SignupCaller caller{s, {"REQ 1\r\n"}};
  if (signup) ASSERT_EQ(s.api().kwxConnectSignup(), 1);
  else ASSERT_EQ(s.api().kwxConnectSMail("09011112222", body.data(), Size(body)), 1);
  ASSERT_TRUE(s.Drive(std::ref(caller))) << Describe(s.Events());
  const int32_t kind = signup ? 0 : 1;
  const auto events = s.Events();
  const auto r = s.sim().Record();
  if (goesOn) {
    EXPECT_EQ(std::vector<Ev>(events.end() - 3, events.end()), (std::vector<Ev>{{0, kind * 10 + 5}, {8, kind * 10}, {8, kind * 10 + 1}}))
        << Describe(events);
    EXPECT_FALSE(std::any_of(events.begin(), events.end(), [](const Ev& e) { return e.type == 9 || e.type == 10; }))
        << Describe(events);
    if (signup) EXPECT_EQ(caller.pages, c.signupPages);
    else EXPECT_EQ(r.accepted, std::vector<std::string>{body});
  } else {
    EXPECT_EQ(std::vector<Ev>(events.end() - 2, events.end()), (std::vector<Ev>{{10, 9}, {8, kind * 10 + 1}}))
        << Describe(events);
    EXPECT_TRUE(r.accepted.empty() && r.signupRequests.empty()) << "nothing was sent";
  }
  EXPECT_TRUE(s.WaitIdle());
  EXPECT_TRUE(s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected && !rec.callUp; }, 5s));
}

std::string LateCarrierName(const ::testing::TestParamInfo<std::tuple<bool, long>>& info) {
  return std::string(std::get<0>(info.param) ? "Signup" : "DirectMail") + "DcdAfter" +
         std::to_string(std::get<1>(info.param)) + "ms";
}

INSTANTIATE_TEST_SUITE_P(DirectMailAndSignup, LateCarrier,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(10L, 150L, 500L, 60000L)),
                         LateCarrierName);

TEST(Signup, HandsetPulledWhileWaitingForARequest) {
  Session s;
  s.Init();
  ASSERT_EQ(s.api().kwxConnectSignup(), 1);
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    if (ev == Ev{1, 1}) s.sim().Unplug();
  })) << Describe(s.Events());
  const std::vector<Ev> expected = {{0, 6}, {0, 1}, {0, 2}, {1, 1}, {9, 1280}, {8, 1}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  EXPECT_TRUE(s.WaitIdle());
}

}  // namespace
