// End to end: the built KWX.so runs the sign-up call against the simulated
// handset and its sign-up centre, as the sign-up terminal drives it.
#include "KwxHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

using namespace std::chrono_literals;
using handsetsim::Action;
using handsetsim::SimConfig;
using handsetsim::Step;
using kwxtest::Caller;
using kwxtest::Describe;
using kwxtest::Ev;
using kwxtest::Session;

namespace {

const std::vector<Ev> kStart = {{0, 6}, {0, 1}, {0, 2}, {1, 3}};
const std::vector<Ev> kEnd = {{0, 5}, {8, 0}, {8, 1}};

std::vector<Ev> Join(std::initializer_list<std::vector<Ev>> parts) {
  std::vector<Ev> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// One request and its page: the request goes, the turn passes, the page
// comes (in parts of 6144 bytes), and the centre hands the turn back or closes.
std::vector<Ev> Turn(int fullParts, bool turnBack) {
  std::vector<Ev> t = {{0, 2}, {0, 3}, {0, 4}, {1, 5}};
  for (int i = 0; i < fullParts; ++i) t.push_back({1, 4});
  t.push_back({1, 2});
  if (turnBack) t.insert(t.end(), {{0, 4}, {1, 6}, {1, 1}});
  else t.push_back({1, 6});
  return t;
}

// After the centre drops the line the session ends either from the wait for
// the drop (the idle state's three events) or, when the drop is seen between
// two steps, with the worker's own end event alone.
bool EndsAfterTheDrop(const std::vector<Ev>& events, const std::vector<Ev>& before) {
  return events == Join({before, kEnd}) || events == Join({before, {{8, 1}}});
}

SimConfig Faults(std::initializer_list<handsetsim::Fault> faults) {
  SimConfig c;
  c.faults = faults;
  return c;
}

std::string Lines(const std::string& prefix, size_t bytes) {
  std::string page;
  for (int n = 0; page.size() < bytes; ++n) page += prefix + " line " + std::to_string(n) + std::string(60, '.') + "\r\n";
  return page;
}

const std::vector<std::string> kSignupAt = {"&FE0", "&D2&C1&S0V1Q0\\V1\\X1#B1#C1#I1S0=0S7=50", "I9", "@R0:0", "@B1", "#Q2",
                                            "#X9", "DX0570009999,01"};

TEST(KwxSession, ThreeRequestsAndPagesThenTheCentreCloses) {
  SimConfig c;
  c.signupPages = {"PAGE one\r\n", qvtest::Sjis("二頁目です") + "\r\n", Lines("third", 7000)};
  c.signupCloseAfter = 3;
  Session s(c);
  s.param.Bunkei = -1;
  ASSERT_EQ(s.Init(), 1);
  Caller caller(s, {"REQ 2\r\n", "REQ 3\r\n"});
  int32_t stateAtFirstWait = -1;
  std::string ownNumber;
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    if (ev == Ev{1, 3}) {
      stateAtFirstWait = s.api().kwxGetState();
      char number[36];
      if (s.api().kwxGetParam(0, number, sizeof number) == 1) ownNumber = number;
    }
    caller(ev);
  })) << Describe(s.Events());
  EXPECT_TRUE(EndsAfterTheDrop(s.Events(), Join({kStart, Turn(0, true), Turn(0, true), Turn(1, false)})))
      << Describe(s.Events());
  EXPECT_EQ(stateAtFirstWait, 1002);
  EXPECT_EQ(ownNumber, "07012345678");
  EXPECT_EQ(caller.pages, c.signupPages);
  EXPECT_EQ(caller.parts, 1);
  const auto r = s.sim().Record();
  EXPECT_EQ(r.signupRequests, (std::vector<std::string>{kwxtest::kFirstMessage, "REQ 2\r\n", "REQ 3\r\n"}));
  EXPECT_EQ(r.atCommands, kSignupAt);
  EXPECT_EQ(r.dialled, std::vector<std::string>{"0570009999,01"});
  EXPECT_EQ(r.centreLines.front(), "SOCKET_25_CONNECTION[1 SIGNUP]");
  EXPECT_TRUE(r.closeCodes.empty());  // the centre closed; the module sent no close line
  EXPECT_TRUE(s.WaitIdle());
  EXPECT_EQ(s.api().kwxGetState(), 0);
  EXPECT_TRUE(s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected && !rec.callUp; }, 5s));
}

// The ring report is switched off, else on; the preparation goes on when the
// handset takes neither, and a step that goes on tells the caller of no error.
TEST(KwxSession, ARingModeTheHandsetRefusesIsNoErrorToTell) {
  const std::string refused = "\r\nERROR\r\n", silent;
  struct {
    const char* name;
    std::map<std::string, std::string> answers;
  } table[] = {
      {"both refused", {{"@R0:0", refused}, {"@R0:1", refused}}},
      {"off unanswered, on taken", {{"@R0:0", silent}}},
      {"off refused, on unanswered", {{"@R0:0", refused}, {"@R0:1", silent}}},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    SimConfig c;
    c.atAnswers = row.answers;
    Session s(c);
    ASSERT_EQ(s.Init(), 1);
    ASSERT_TRUE(s.WaitFor({1, 3})) << Describe(s.Events());
    EXPECT_EQ(s.Events(), kStart) << Describe(s.Events());
    const auto at = s.sim().Record().atCommands;
    EXPECT_EQ(std::count(at.begin(), at.end(), "@R0:1"), 1) << "ring mode on was tried once";
    EXPECT_EQ(s.sim().Record().dialled.size(), 1u);
    s.api().kwxDisconnect(0);
    ASSERT_TRUE(s.WaitFor({8, 1}));
    EXPECT_TRUE(s.WaitIdle());
  }
}

// How a session ends when something goes wrong or the caller stops it.
TEST(KwxSession, StopsFaultsAndDeadlinesEndTheSession) {
  const handsetsim::Fault keepCall1{Step::Close, Action::Silent, 1, -1};
  const handsetsim::Fault keepCall2{Step::Close, Action::Silent, 2, -1};
  const handsetsim::Fault keepCall3{Step::Close, Action::Silent, 3, -1};
  const handsetsim::Fault noPage{Step::Page, Action::Silent, 1, -1};
  SimConfig off;
  off.powered = false;
  SimConfig notZero;
  notZero.i9Text = "1";
  struct Row {
    const char* name;
    SimConfig config;
    int clockRate;
    Ev stopAt;           // the caller stops on this event ({-1, -1}: never)
    int32_t reason;
    bool betweenSteps;   // stopped on the worker's thread, before its next step
    std::vector<Ev> expected;
    std::vector<std::string> closes;
    bool hangsUp;        // "H0" is the last command
  } table[] = {
      {"kwxDisconnect(10) while the page is awaited; the centre drops the line", Faults({noPage}), 10, {0, 3}, 10,
       false, Join({kStart, {{0, 2}, {0, 3}, {9, 10}, {8, 1}}}), {"0010"}, false},
      {"kwxDisconnect(10) while the page is awaited; the 7 s deadline ends the close", Faults({noPage, keepCall1}), 10,
       {0, 3}, 10, false, Join({kStart, {{0, 2}, {0, 3}, {9, 10}, {0, 5}, {8, 0}}, kEnd}), {"0010"}, true},
      {"a stop just before STATE4 (reason 0)", Faults({keepCall1, keepCall2, keepCall3}), 10, {1, 2}, 0, true,
       Join({kStart, {{0, 2}, {0, 3}, {0, 4}, {1, 5}, {1, 2}}, kEnd}), {"0010", "0010", "0000"}, true},
      // The caller's no-answer reason also cuts the hang-up's answer: (9, 1130).
      {"a stop just before STATE4 (reason 1130)", Faults({keepCall1, keepCall2, keepCall3}), 10, {1, 2}, 1130, true,
       Join({kStart, {{0, 2}, {0, 3}, {0, 4}, {1, 5}, {1, 2}, {9, 1130}}, kEnd}), {"1130", "0010", "0000"}, true},
      // Whatever the reason, the close line carries four digits and its NUL.
      {"a stop just before STATE4 (reason -1234)", Faults({keepCall1, keepCall2, keepCall3}), 10, {1, 2}, -1234, true,
       Join({kStart, {{0, 2}, {0, 3}, {0, 4}, {1, 5}, {1, 2}}, kEnd}), {"1234", "0010", "0000"}, true},
      {"a stop just before STATE4 (reason -2147483648)", Faults({keepCall1, keepCall2, keepCall3}), 10, {1, 2},
       INT32_MIN, true, Join({kStart, {{0, 2}, {0, 3}, {0, 4}, {1, 5}, {1, 2}}, kEnd}), {"3648", "0010", "0000"}, true},
      {"the line drops in place of the request's OK", Faults({{Step::Mail, Action::Drop, 1, -1}}), 10, {-1, -1}, 0,
       false, Join({kStart, {{0, 2}, {9, 810}, {8, 1}}}), {}, false},
      {"a reply of 256 bytes or more", Faults({{Step::Mail, Action::LongLine, 1, 300}}), 10, {-1, -1}, 0, false,
       Join({kStart, {{0, 2}, {9, 820}, {8, 1}}}), {"0820"}, false},
      {"no READY within 45 s", Faults({{Step::Connect, Action::Silent, 1, -1}}), 50, {-1, -1}, 0, false,
       {{0, 6}, {0, 1}, {0, 2}, {9, 1120}, {0, 5}, {8, 0}, {0, 5}, {8, 0}, {8, 1}}, {"1120"}, true},
      {"the handset is off", off, 10, {-1, -1}, 0, false, {{0, 6}, {10, 11}, {0, 5}, {8, 0}, {8, 1}}, {}, false},
      {"\"I9\" answers other than '0'", notZero, 10, {-1, -1}, 0, false, {{0, 6}, {10, 8}, {0, 5}, {8, 0}, {8, 1}}, {},
       false},
      {"the dial gets NO CARRIER", Faults({{Step::Dial, Action::NoCarrier, 1, -1}}), 10, {-1, -1}, 0, false,
       {{0, 6}, {0, 1}, {10, 9}, {0, 5}, {8, 0}, {8, 1}}, {}, false},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    Session s(row.config, row.clockRate);
    if (row.betweenSteps)
      s.window().SetHook([&](const Ev& ev) {
        if (ev == row.stopAt) s.api().kwxDisconnect(row.reason);
      });
    ASSERT_EQ(s.Init(), 1);
    Caller caller(s, {});
    ASSERT_TRUE(s.Drive([&](const Ev& ev) {
      if (!row.betweenSteps && ev == row.stopAt) s.api().kwxDisconnect(row.reason);
      caller(ev);
    })) << Describe(s.Events());
    EXPECT_EQ(s.Events(), row.expected) << Describe(s.Events());
    EXPECT_TRUE(s.WaitIdle());
    // The handset takes a hang-up in its own time after the session has ended.
    EXPECT_TRUE(s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected; }, 5s));
    const auto r = s.sim().Record();
    EXPECT_EQ(r.closeCodes, row.closes);
    EXPECT_EQ(!r.atCommands.empty() && r.atCommands.back() == "H0", row.hangsUp);
    EXPECT_FALSE(r.callUp);
  }
}

const std::vector<Ev> kContinued = {{1, 2}, {0, 4}, {1, 6}, {1, 1}};

struct HeldPage {
  const char* name;
  Action action;
  bool resume;
  std::vector<Ev> afterTurn;
  std::vector<std::string> closes;
};

const HeldPage kHeldPages[] = {
    // Continued: the page arrives, then the caller stops at the next wait.
    {"HeldBeforeThePageContinued", Action::Hold, true, Join({{{7, 70002}, {0, 4}, {1, 5}}, kContinued}), {"0000"}},
    // The caller's own time-out: the close carries 1130.
    {"HeldBeforeThePageTimedOutByTheCaller", Action::Hold, false, {{7, 70002}, {9, 1130}, {8, 1}}, {"1130"}},
    // A minute without a piece of the page asks the same.
    {"StalledWithinThePageContinued", Action::Stall, true, Join({{{0, 4}, {1, 5}, {7, 70002}}, kContinued}),
     {"0000"}},
};

// One row a test: each waits out a minute of the module's time, and the
// rows run side by side.
class KwxHeldPage : public ::testing::TestWithParam<HeldPage> {};

TEST_P(KwxHeldPage, APageHeldPastAMinuteWaitsForTheCallersWord) {
  const HeldPage& row = GetParam();
  SimConfig c = Faults({{Step::Page, row.action, 1, -1}});
  c.signupPages = {"HELD PAGE\r\n"};
  // A faster clock would also squeeze the handset's 3-second answers below
  // what a loaded machine keeps.
  Session s(c, 20);
  ASSERT_EQ(s.Init(), 1);
  Caller caller(s, {});
  ASSERT_TRUE(s.Drive(
      [&](const Ev& ev) {
        if (ev == Ev{7, 70002}) {
          if (row.resume) {
            s.sim().ReleaseHeld();
            EXPECT_EQ(s.api().kwxResumeTxRx(0, 0, 0), 1);
          } else {
            s.api().kwxDisconnect(1130);
          }
        }
        caller(ev);
      },
      10s))
      << Describe(s.Events());
  const auto events = s.Events();
  const std::vector<Ev> head = Join({kStart, {{0, 2}, {0, 3}}, row.afterTurn});
  ASSERT_GE(events.size(), head.size()) << Describe(events);
  EXPECT_EQ(std::vector<Ev>(events.begin(), events.begin() + static_cast<long>(head.size())), head) << Describe(events);
  EXPECT_EQ(events.back(), (Ev{8, 1}));
  EXPECT_EQ(caller.pages, row.resume ? std::vector<std::string>{"HELD PAGE\r\n"} : std::vector<std::string>{});
  EXPECT_TRUE(s.WaitIdle());
  EXPECT_EQ(s.sim().Record().closeCodes, row.closes);
}

INSTANTIATE_TEST_SUITE_P(KwxSession, KwxHeldPage, ::testing::ValuesIn(kHeldPages),
                         [](const ::testing::TestParamInfo<HeldPage>& info) { return std::string(info.param.name); });

TEST(KwxSession, CarrierLostWhileWaitingForTheCaller) {
  Session s;
  ASSERT_EQ(s.Init(), 1);
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    if (ev == Ev{1, 3}) s.sim().DropCarrier();
  })) << Describe(s.Events());
  EXPECT_EQ(s.Events(), Join({kStart, {{9, 1280}, {8, 1}}})) << Describe(s.Events());
  EXPECT_TRUE(s.WaitIdle());
  EXPECT_TRUE(s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected; }, 5s));
}

// A handset pulled from the line is told as the mail sessions tell it
// ((10, 30): taken off), not as a radio that lost the call.
TEST(KwxSession, HandsetPulledWhileWaitingForTheCallerIsToldAsTakenOff) {
  struct {
    const char* name;
    std::function<void(handsetsim::Simulator&)> pull;
    Ev told;
  } table[] = {
      {"the cable pulled", [](handsetsim::Simulator& sim) { sim.Unplug(); }, {10, 30}},
      {"the handset switched off", [](handsetsim::Simulator& sim) {
         sim.SetPowered(false);
         sim.DropCarrier();
       }, {10, 30}},
      {"the carrier lost, the handset there", [](handsetsim::Simulator& sim) { sim.DropCarrier(); }, {9, 1280}},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    Session s;
    ASSERT_EQ(s.Init(), 1);
    ASSERT_TRUE(s.Drive([&](const Ev& ev) {
      if (ev == Ev{1, 3}) row.pull(s.sim());
    })) << Describe(s.Events());
    EXPECT_EQ(s.Events(), Join({kStart, {row.told, {8, 1}}})) << Describe(s.Events());
    EXPECT_TRUE(s.WaitIdle());
  }
}

// DCD may follow CONNECT by a little (USB serial adapters report the modem
// lines apart from the data): the call goes on as usual within the second
// the dial waits; past it the call is given up and told. Real time.
TEST(KwxSession, ACarrierLateAfterConnect) {
  struct {
    long ms;
    bool goesOn;
  } table[] = {{10, true}, {150, true}, {500, true}, {60000, false}};
  for (const auto& row : table) {
    SCOPED_TRACE(std::to_string(row.ms) + " ms");
    SimConfig c = Faults({{Step::Dial, Action::LateCarrier, 1, row.ms}});
    c.signupPages = {"PAGE one\r\n"};
    c.signupCloseAfter = 1;
    Session s(c, 1);
    ASSERT_EQ(s.Init(), 1);
    Caller caller(s, {});
    ASSERT_TRUE(s.Drive(std::ref(caller))) << Describe(s.Events());
    if (row.goesOn) {
      EXPECT_TRUE(EndsAfterTheDrop(s.Events(), Join({kStart, Turn(0, false)}))) << Describe(s.Events());
      EXPECT_EQ(caller.pages, c.signupPages);
    } else {
      EXPECT_EQ(s.Events(), (std::vector<Ev>{{0, 6}, {0, 1}, {10, 9}, {8, 1}})) << Describe(s.Events());
      EXPECT_TRUE(s.sim().Record().centreLines.empty());
    }
    EXPECT_TRUE(s.WaitIdle());
    EXPECT_TRUE(s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected && !rec.callUp; }, 5s));
  }
}

TEST(KwxSession, PagesLongerThanTheBufferArriveWholeInParts) {
  SimConfig c;
  const std::string page = Lines(qvtest::Sjis("長い頁"), 20 * 1024);
  c.signupPages = {page};
  c.signupCloseAfter = 1;
  Session s(c);
  ASSERT_EQ(s.Init(), 1);
  Caller caller(s, {});
  ASSERT_TRUE(s.Drive(std::ref(caller))) << Describe(s.Events());
  ASSERT_EQ(caller.pages.size(), 1u);
  EXPECT_EQ(caller.pages[0].size(), page.size());
  EXPECT_EQ(caller.pages[0], page);
  EXPECT_EQ(caller.parts, static_cast<int>(page.size() / 6144));
  EXPECT_TRUE(EndsAfterTheDrop(s.Events(), Join({kStart, Turn(caller.parts, false)}))) << Describe(s.Events());
}

}  // namespace
