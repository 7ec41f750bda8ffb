// End to end: ring wait through the built Portvine.so, with incoming calls
// from the simulated handset: direct mail received, light mail and e-mail
// notices read, rings ignored or refused, stops and lost lines.
#include "SessionHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;
using handsetsim::Action;
using handsetsim::CallKind;
using handsetsim::IncomingCall;
using handsetsim::SimConfig;
using handsetsim::Step;
using seriallinktest::Contains;
using seriallinktest::Describe;
using seriallinktest::Ev;
using seriallinktest::Session;

namespace {

// How often the handset was told to report rings: once per (re)arming.
size_t Armings(const handsetsim::SimRecord& r) { return std::count(r.atCommands.begin(), r.atCommands.end(), "#ER1"); }

// Waits until the ring loop has armed again after a call.
bool WaitRearmed(Session& s, size_t before) {
  return s.sim().WaitUntil([&](const auto& r) { return Armings(r) > before; }, 20s);
}

std::string Param(Session& s, int32_t id, int32_t size) {
  std::string buf(static_cast<size_t>(size) + 4, '#');
  EXPECT_EQ(s.api().kwxGetParam(id, buf.data(), size), 1);
  return std::string(buf.c_str());
}

IncomingCall DirectMail(std::string body, std::string id = "09012345678") {
  IncomingCall call;
  call.body = std::move(body);
  call.callerId = std::move(id);
  return call;
}

IncomingCall Plain(std::string id, int protocol = 0) {
  IncomingCall call;
  call.kind = CallKind::Other;
  call.callerId = std::move(id);
  call.protocol = protocol;
  return call;
}

// Stops the ring wait once it is armed again and waits for its end.
void StopWhenArmed(Session& s, size_t before) {
  ASSERT_TRUE(WaitRearmed(s, before)) << "events: " << Describe(s.Events()) << "\nhandset heard: "
                                      << ::testing::PrintToString(s.sim().Record().atCommands);
  s.api().kwxDisconnect(99999);
}

const std::vector<Ev> kRingEnd = {{0, 25}, {8, 20}, {8, 21}};

std::vector<Ev> Tail(const std::vector<Ev>& events, size_t n) {
  return std::vector<Ev>(events.end() - static_cast<std::ptrdiff_t>(std::min(n, events.size())), events.end());
}

TEST(RingWait, DirectMailsAreReceivedAndTheWaitArmsAgainByItself) {
  Session s;
  s.Init();
  ASSERT_EQ(s.api().kwxWaitForRing(), 1);
  ASSERT_TRUE(s.WaitFor({1, 9}));
  const std::vector<std::string> bodies = {"Subject: first\r\n\r\n" + qvtest::Sjis("直送メール") + "\r\n",
                                           std::string(9000, 'b') + "\r\n"};
  s.sim().Ring(DirectMail(bodies[0]));
  std::vector<std::string> received, callers;
  std::string part;
  size_t done = 0;
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    // The caller's number belongs to the call: re-arming clears it again.
    if (ev == Ev{1, 1}) {
      callers.push_back(Param(s, 6, 36));
      s.api().kwxReadySMail();
    }
    if (ev == Ev{1, 4}) part += s.TakeBuffer();
    if (ev == Ev{1, 2}) {
      received.push_back(part + s.TakeBuffer());
      part.clear();
    }
    if (ev == Ev{0, 25} && ++done <= bodies.size()) {
      const size_t armed = Armings(s.sim().Record());
      if (done < bodies.size()) {
        ASSERT_TRUE(WaitRearmed(s, armed));
        s.sim().Ring(DirectMail(bodies[done], "0312345678"));
      } else {
        StopWhenArmed(s, armed);
      }
    }
  })) << Describe(s.Events());
  const std::vector<Ev> call = {{2, 0}, {1, 1}, {0, 24}, {1, 5}, {1, 2}, {1, 12}, {0, 25}};
  std::vector<Ev> expected = {{0, 26}, {1, 9}};
  expected.insert(expected.end(), call.begin(), call.end());
  expected.insert(expected.end(), call.begin(), call.begin() + 4);
  expected.insert(expected.end(), {{1, 4}, {1, 2}, {1, 12}, {0, 25}, {0, 25}, {8, 20}, {8, 21}});
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  EXPECT_EQ(received, bodies);
  EXPECT_EQ(callers, (std::vector<std::string>{"09012345678", "0312345678"}));
  const auto r = s.sim().Record();
  EXPECT_EQ(r.callerLines, (std::vector<std::string>{"READY[1 SMAIL]", "OK", "READY[1 SMAIL]", "OK"}));
  EXPECT_EQ(r.connections, 1);  // one port for the whole wait
  EXPECT_TRUE(s.WaitIdle());
  EXPECT_TRUE(s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected; }, 5s));
}

// An incoming call's DCD may follow its CONNECT by a little, as a dialled
// call's may: the mail is received as usual. Real time.
TEST(RingWait, ADirectMailWhoseCarrierFollowsConnectIsReceived) {
  Session s(SimConfig{}, 1);
  s.Init();
  ASSERT_EQ(s.api().kwxWaitForRing(), 1);
  ASSERT_TRUE(s.WaitFor({1, 9}));
  const std::string body = "Subject: late\r\n\r\nhello\r\n";
  IncomingCall call = DirectMail(body);
  call.carrierLateMs = 500;
  const size_t armed = Armings(s.sim().Record());
  s.sim().Ring(call);
  std::vector<std::string> received;
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    if (ev == Ev{1, 1}) s.api().kwxReadySMail();
    if (ev == Ev{1, 2}) received.push_back(s.TakeBuffer());
    if (ev == Ev{0, 25}) StopWhenArmed(s, armed);
  })) << Describe(s.Events());
  EXPECT_EQ(received, std::vector<std::string>{body});
  EXPECT_EQ(s.sim().Record().callerLines, (std::vector<std::string>{"READY[1 SMAIL]", "OK"}));
  EXPECT_TRUE(s.WaitIdle());
}

TEST(RingWait, LightMailsAndEMailNoticesAreToldWithTheirTexts) {
  SimConfig c;
  c.emailNotice = "NOTICE 1";  // waiting when the wait starts
  c.lightMail = qvtest::Sjis("はじめのブリーズ");
  Session s(c);
  s.param.AutoReceive = 1;
  s.Init();
  ASSERT_EQ(s.api().kwxWaitForRing(), 1);
  ASSERT_TRUE(s.WaitFor({2, 2}));
  EXPECT_EQ(Param(s, 3, 128), "NOTICE 1");
  ASSERT_TRUE(s.WaitFor({2, 1}));
  EXPECT_EQ(Param(s, 2, 750), c.lightMail);
  ASSERT_TRUE(s.WaitFor({1, 9}));

  // A light mail longer than its field keeps 749 bytes and its NUL; so does
  // a notice of more than 127 bytes.
  IncomingCall light;
  light.kind = CallKind::LightMail;
  light.protocol = 1;
  light.text = std::string(900, 'L');
  s.sim().Ring(light);
  ASSERT_TRUE(s.WaitFor({2, 1}));
  EXPECT_EQ(Param(s, 2, 750), std::string(749, 'L'));
  EXPECT_EQ(Param(s, 6, 36), "09012345678");
  IncomingCall notice;
  notice.kind = CallKind::EMailNotice;
  notice.protocol = 1;
  notice.text = std::string(200, 'N');
  s.sim().Ring(notice);
  ASSERT_TRUE(s.WaitFor({2, 2}));
  EXPECT_EQ(Param(s, 3, 128), std::string(127, 'N'));
  // The notice is cleared on the handset once it has been read.
  EXPECT_TRUE(s.sim().WaitUntil(
      [](const auto& r) { return std::count(r.atCommands.begin(), r.atCommands.end(), "S240=0") >= 2; }, 5s));
  s.api().kwxDisconnect(99999);
  ASSERT_TRUE(s.Drive(nullptr)) << Describe(s.Events());
  EXPECT_EQ(Tail(s.Events(), 3), kRingEnd) << Describe(s.Events());
  for (const auto& e : s.Events()) EXPECT_NE(e.type, 10) << Describe(s.Events());
}

TEST(RingWait, RingRejectRefusesADirectMailWithoutACallerId) {
  Session s;
  s.param.RingReject = 1;
  s.Init();
  ASSERT_EQ(s.api().kwxWaitForRing(), 1);
  ASSERT_TRUE(s.WaitFor({1, 9}));
  s.sim().Ring(DirectMail("refused\r\n", ""));
  ASSERT_TRUE(s.WaitFor({0, 25}));
  StopWhenArmed(s, Armings(s.sim().Record()));
  ASSERT_TRUE(s.Drive(nullptr)) << Describe(s.Events());
  const std::vector<Ev> expected = {{0, 26}, {1, 9}, {1, 10}, {9, 520}, {1, 12}, {0, 25}, {0, 25}, {8, 20}, {8, 21}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  EXPECT_EQ(s.sim().Record().callerLines, std::vector<std::string>{"SOCKET_25_DISCONNECTION[0520]"});
}

TEST(RingWait, RingsThatAreNotCallsForTheModuleAreIgnored) {
  auto protocol = [](std::string line) {
    IncomingCall c = Plain("0123");
    c.protocolLine = std::move(line);
    return c;
  };
  struct {
    const char* name;
    IncomingCall call;
  } table[] = {
      {"caller id starting with another digit", Plain("1234")},
      {"caller id with a letter", Plain("0X12")},
      {"protocol digit out of range", protocol("PROTOCOL=7")},
      {"no protocol line", protocol("PROTOKOL=1")},
  };
  Session s;
  s.Init();
  ASSERT_EQ(s.api().kwxWaitForRing(), 1);
  ASSERT_TRUE(s.WaitFor({1, 9}));
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    const size_t before = s.Events().size();
    const int rings = s.sim().Record().rings;
    s.sim().Ring(row.call);
    // An ordinary call after it is heard: the loop kept waiting for RING.
    ASSERT_TRUE(s.sim().WaitUntil(
        [&](const auto& r) { return r.rings == rings + 1 && r.ringsSettled == r.rings && !r.callUp; }, 5s));
    const size_t armed = Armings(s.sim().Record());
    s.sim().Ring(Plain("0123"));
    ASSERT_TRUE(s.WaitFor({2, 3}));
    const auto events = s.Events();
    EXPECT_EQ(std::vector<Ev>(events.begin() + static_cast<std::ptrdiff_t>(before), events.end()),
              (std::vector<Ev>{{2, 3}}));
    ASSERT_TRUE(WaitRearmed(s, armed));
  }
  // A direct mail whose number value is not 0 is not taken: (10, 31), and
  // dropping DTR ends the call.
  IncomingCall busy = DirectMail("not for us\r\n");
  busy.numberValue = 1;
  const int ended = s.sim().Record().callsEnded;
  s.sim().Ring(busy);
  ASSERT_TRUE(s.WaitFor({10, 31}));
  EXPECT_TRUE(s.sim().WaitUntil([&](const auto& r) { return r.callsEnded == ended + 1; }, 5s));
  EXPECT_TRUE(s.sim().Record().callerLines.empty());
  StopWhenArmed(s, Armings(s.sim().Record()));
  ASSERT_TRUE(s.Drive(nullptr)) << Describe(s.Events());
  EXPECT_EQ(Tail(s.Events(), 3), kRingEnd);
}

TEST(RingWait, StopIn99999EndsTheWaitAtEachStage) {
  // While arming: the stop of the first pass.
  {
    Session s;
    s.Init();
    ASSERT_EQ(s.api().kwxWaitForRing(), 1);
    s.api().kwxDisconnect(99999);
    ASSERT_TRUE(s.Drive(nullptr)) << Describe(s.Events());
    const auto events = s.Events();
    EXPECT_TRUE(events == (std::vector<Ev>{{10, 23}, {0, 25}, {8, 20}, {8, 21}}) ||
                events == (std::vector<Ev>{{0, 26}, {10, 23}, {0, 25}, {8, 20}, {8, 21}}))
        << Describe(events);
  }
  // Armed: no event but the end.
  {
    Session s;
    s.Init();
    ASSERT_EQ(s.api().kwxWaitForRing(), 1);
    ASSERT_TRUE(s.WaitFor({1, 9}));
    // Any other stop only interrupts the wait: the read it ended is told
    // as abandoned, and the loop reads on.
    s.api().kwxDisconnect(10);
    for (int i = 0; i < 10000 && s.api().kwxGetErrorCode(0, 0) != 80202; ++i) std::this_thread::sleep_for(1ms);
    ASSERT_EQ(s.api().kwxGetErrorCode(0, 0), 80202);
    const size_t armed = Armings(s.sim().Record());
    s.sim().Ring(Plain("0123"));
    ASSERT_TRUE(s.WaitFor({2, 3}));
    StopWhenArmed(s, armed);
    ASSERT_TRUE(s.Drive(nullptr)) << Describe(s.Events());
    const std::vector<Ev> expected = {{0, 26}, {1, 9}, {2, 3}, {0, 25}, {8, 20}, {8, 21}};
    EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
    EXPECT_TRUE(s.sim().WaitUntil([](const auto& r) { return !r.hostConnected; }, 5s));
  }
  // A direct mail waiting for the caller: closed with 0010, then the end.
  {
    Session s;
    s.Init();
    ASSERT_EQ(s.api().kwxWaitForRing(), 1);
    ASSERT_TRUE(s.WaitFor({1, 9}));
    s.sim().Ring(DirectMail("never read\r\n"));
    ASSERT_TRUE(s.Drive([&](const Ev& ev) {
      if (ev == Ev{1, 1}) s.api().kwxDisconnect(99999);
    })) << Describe(s.Events());
    const std::vector<Ev> expected = {{0, 26}, {1, 9},  {2, 0},  {1, 1},  {9, 10},
                                      {1, 12}, {0, 25}, {0, 25}, {8, 20}, {8, 21}};
    EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
    EXPECT_EQ(s.sim().Record().callerLines, std::vector<std::string>{"SOCKET_25_DISCONNECTION[0010]"});
  }
}

TEST(RingWait, HandsetPulledWhileArmedEndsWith30) {
  Session s;
  s.Init();
  ASSERT_EQ(s.api().kwxWaitForRing(), 1);
  ASSERT_TRUE(s.WaitFor({1, 9}));
  s.sim().Unplug();
  ASSERT_TRUE(s.Drive(nullptr)) << Describe(s.Events());
  const std::vector<Ev> expected = {{0, 26}, {1, 9}, {10, 30}, {0, 25}, {8, 20}, {8, 21}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  EXPECT_TRUE(s.WaitIdle());
  EXPECT_EQ(s.api().kwxGetState(), 0);
}

TEST(RingWait, LineLostDuringAReceptionIsToldAndTheWaitGoesOn) {
  struct {
    const char* name;
    bool unplug;  // else the far end drops inside the body
  } table[] = {{"carrier dropped inside the body", false}, {"handset pulled while the caller is asked", true}};
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    SimConfig c;
    if (!row.unplug) c.faults.push_back({Step::Get, Action::Cut, 1, -1});
    Session s(c);
    s.Init();
    ASSERT_EQ(s.api().kwxWaitForRing(), 1);
    ASSERT_TRUE(s.WaitFor({1, 9}));
    s.sim().Ring(DirectMail(std::string(3000, 'c') + "\r\n"));
    bool stopped = false;
    ASSERT_TRUE(s.Drive([&](const Ev& ev) {
      if (ev == Ev{1, 1}) {
        if (row.unplug) s.sim().Unplug();
        else s.api().kwxReadySMail();
      }
      if (ev == Ev{0, 25} && !stopped) {
        stopped = true;
        StopWhenArmed(s, Armings(s.sim().Record()));
      }
    })) << Describe(s.Events());
    const auto events = s.Events();
    EXPECT_TRUE(Contains(events, {9, 1280})) << Describe(events);
    EXPECT_FALSE(Contains(events, {1, 2})) << Describe(events);
    EXPECT_TRUE(Contains(events, {1, 12})) << Describe(events);
    EXPECT_EQ(Tail(events, 3), kRingEnd) << Describe(events);
    EXPECT_TRUE(s.WaitIdle());
    EXPECT_TRUE(s.sim().WaitUntil([](const auto& r) { return !r.hostConnected; }, 5s));
  }
}

TEST(RingWait, EachStageOfAReceptionEndsCleanlyOnAStopOrALostLine) {
  // The far end's lines, each in its turn: the connection line (2101), the
  // mail (2102), the close line (2103).
  struct {
    const char* name;
    Step step;
    Action action;
    Ev told;
    int32_t state;  // the state that waits for the held line
  } table[] = {
      {"stop while the connection line is due", Step::Connect, Action::Hold, {10, 12}, 2101},
      {"stop while the mail is due", Step::Get, Action::Hold, {9, 10}, 2102},
      {"stop while the close line is due", Step::Close, Action::Hold, {9, 10}, 2103},
      {"carrier lost before the connection line", Step::Connect, Action::Drop, {9, 1280}, 0},
      {"carrier lost instead of the close line", Step::Close, Action::Drop, {9, 810}, 0},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    SimConfig c;
    c.faults.push_back({row.step, row.action, 1, -1});
    Session s(c);
    s.Init();
    ASSERT_EQ(s.api().kwxWaitForRing(), 1);
    ASSERT_TRUE(s.WaitFor({1, 9}));
    s.sim().Ring(DirectMail("staged\r\n"));
    const bool stop = row.action == Action::Hold;
    bool stopped = false;
    ASSERT_TRUE(s.Drive([&](const Ev& ev) {
      if (ev == Ev{1, 1}) s.api().kwxReadySMail();
      if (ev == Ev{1, 2}) s.TakeBuffer();
      if (stop && !stopped) {
        // Held back: stopped once the module's state waits for it.
        const bool due = row.step == Step::Connect ? ev == Ev{1, 9} : row.step == Step::Get ? ev == Ev{0, 24} : ev == Ev{1, 2};
        if (due) {
          stopped = true;
          ASSERT_TRUE(s.WaitState(row.state));
          s.api().kwxDisconnect(99999);
        }
      }
      if (!stop && ev == Ev{0, 25} && !stopped) {
        stopped = true;
        StopWhenArmed(s, Armings(s.sim().Record()));
      }
    })) << Describe(s.Events());
    const auto events = s.Events();
    EXPECT_TRUE(Contains(events, row.told)) << Describe(events);
    EXPECT_TRUE(Contains(events, {1, 12})) << Describe(events);
    EXPECT_EQ(Tail(events, 3), kRingEnd) << Describe(events);
    EXPECT_TRUE(s.WaitIdle());
    EXPECT_TRUE(s.sim().WaitUntil([](const auto& r) { return !r.hostConnected && !r.callUp; }, 10s));
  }
}

TEST(RingWait, AFarEndThatFallsSilentIsClosedAsNotAnsweredAndTheWaitGoesOn) {
  // The far end falls silent and the caller leaves the 30-second dialog
  // unanswered (kwxDisconnect(1130)): closed with 1130 and told as (9, 1130)
  // both while the mail is due (the step deadline) and while the close line
  // is due (the caller's no-answer, 21130, not a lost carrier), and the wait
  // arms the handset again.
  const std::vector<Ev> armed = {{0, 26}, {1, 9}, {2, 0}, {1, 1}, {0, 24}};
  const std::vector<Ev> closed = {{7, 70002}, {9, 1130}, {1, 12}, {0, 25}, {0, 25}, {8, 20}, {8, 21}};
  struct {
    const char* name;
    Step step;
    std::vector<Ev> received;
    std::string body;
    std::vector<std::string> lines;
  } table[] = {
      {"the mail is due", Step::Get, {}, "", {"READY[1 SMAIL]", "SOCKET_25_DISCONNECTION[1130]"}},
      {"the close line is due",
       Step::Close,
       {{1, 5}, {1, 2}},
       "unanswered\r\n",
       {"READY[1 SMAIL]", "OK", "SOCKET_25_DISCONNECTION[1130]"}},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    SimConfig c;
    c.faults.push_back({row.step, Action::Silent, 1, -1});
    // The far end's deadline is long; a faster clock would also squeeze the
    // handset's 3-second answers below what a loaded machine keeps.
    Session s(c, 20);
    s.Init();
    ASSERT_EQ(s.api().kwxWaitForRing(), 1);
    ASSERT_TRUE(s.WaitFor({1, 9}));
    s.sim().Ring(DirectMail("unanswered\r\n"));
    std::string body;
    bool stopped = false;
    ASSERT_TRUE(s.Drive([&](const Ev& ev) {
      if (ev == Ev{1, 1}) s.api().kwxReadySMail();
      if (ev == Ev{1, 2}) body = s.TakeBuffer();
      if (ev == Ev{7, 70002}) s.api().kwxDisconnect(1130);
      if (ev == Ev{0, 25} && !stopped) {
        stopped = true;
        StopWhenArmed(s, Armings(s.sim().Record()));
      }
    })) << Describe(s.Events());
    EXPECT_EQ(body, row.body);
    std::vector<Ev> expected = armed;
    expected.insert(expected.end(), row.received.begin(), row.received.end());
    expected.insert(expected.end(), closed.begin(), closed.end());
    EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
    EXPECT_EQ(s.sim().Record().callerLines, row.lines);
  }
}

TEST(RingWait, OwnNumberQueryIsRefusedWhileTheWaitHasThePort) {
  Session s;
  s.Init();
  ASSERT_EQ(s.api().kwxWaitForRing(), 1);
  ASSERT_TRUE(s.WaitFor({1, 9}));
  char number[36] = "untouched";
  EXPECT_EQ(s.api().kwxGetTelNumber("COM5", 115200, number), 0);
  EXPECT_STREQ(number, "untouched");
  // The wait goes on undisturbed on its one port.
  const size_t armed = Armings(s.sim().Record());
  s.sim().Ring(Plain("0123"));
  ASSERT_TRUE(s.WaitFor({2, 3}));
  EXPECT_EQ(s.sim().Record().connections, 1);
  EXPECT_EQ(Param(s, 0, 36), "07012345678");
  StopWhenArmed(s, armed);
  ASSERT_TRUE(s.Drive(nullptr));
  // Idle again, the query opens the port itself.
  ASSERT_TRUE(s.WaitIdle());
  EXPECT_EQ(s.api().kwxGetTelNumber("COM5", 115200, number), 1);
  EXPECT_STREQ(number, "07012345678");
}

TEST(RingWait, OtherStartsStopTheArmedWaitOrAreRefusedAsBusy) {
  Session s;
  s.Init();
  ASSERT_EQ(s.api().kwxWaitForRing(), 1);
  ASSERT_TRUE(s.WaitFor({1, 9}));
  // Sign-up does not stop it: it is refused as busy, and the wait still
  // hears its calls.
  EXPECT_EQ(s.api().kwxConnectSignup(), 0);
  EXPECT_EQ(s.api().kwxWaitForRing(), 0);
  EXPECT_EQ(s.api().kwxGetState(), 1);
  s.sim().Ring(Plain("0123"));
  ASSERT_TRUE(s.WaitFor({2, 3}));
  EXPECT_EQ(s.api().kwxConnectSMail("09011112222", "hi\r\n", 4), 0);
  ASSERT_TRUE(s.Drive(nullptr)) << Describe(s.Events());
  EXPECT_EQ(Tail(s.Events(), 3), kRingEnd);
  ASSERT_TRUE(s.WaitIdle());
  EXPECT_EQ(s.api().kwxConnectSMail("09011112222", "hi\r\n", 4), 1);
  ASSERT_TRUE(s.WaitFor({8, 11}));
  EXPECT_EQ(s.sim().Record().accepted, std::vector<std::string>{"hi\r\n"});
}

}  // namespace

namespace {

// The simulator as its own program: a call rung on SIGUSR2 reaches the wait.
TEST(HandsetProgram, RingsAQueuedCallOnSignal) {
  Session s(Session::ExternalHandset{});
  const std::string socket = s.socketPath().string();
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    std::freopen("/dev/null", "w", stderr);
    execl(HANDSET_SIM_PROGRAM, "handset-sim", "--socket", socket.c_str(), "--ring", "direct-mail:0311:from the program",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  for (int i = 0; i < 500 && !std::filesystem::exists(socket); ++i) std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(std::filesystem::exists(socket));
  s.Init();
  ASSERT_EQ(s.api().kwxWaitForRing(), 1);
  std::string body;
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    if (ev == Ev{1, 9}) kill(pid, SIGUSR2);
    if (ev == Ev{1, 1}) s.api().kwxReadySMail();
    if (ev == Ev{1, 2}) body = s.TakeBuffer();
    if (ev == Ev{1, 12}) s.api().kwxDisconnect(99999);
  })) << Describe(s.Events());
  EXPECT_EQ(body, "from the program\r\n");
  EXPECT_EQ(Param(s, 6, 36), "0311");
  kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
