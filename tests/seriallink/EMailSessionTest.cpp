// End to end: the built Portvine.so drives e-mail sessions against the
// simulated handset and mail centre, as the launcher does.
#include "SessionHarness.h"

#include "platform/CommPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#include <random>
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

SimConfig Mailbox(int count, size_t size = 300) { return handsetsim::MakeMailbox(count, size); }

SimConfig WithFault(SimConfig c, Step step, Action action, long arg = -1) {
  c.faults.push_back({step, action, 1, arg});
  return c;
}

// The launcher's side of a receive: the list first, then every listed mail
// (each purged after it when asked), then exit. Keeps what it was handed.
struct Receiver {
  explicit Receiver(Session& session, bool purgeEach = false) : s(session), purge(purgeEach) {}
  Session& s;
  bool purge;
  bool listed = false;
  bool listPending = false;
  std::vector<std::string> lists, mails, ids;
  std::vector<std::pair<int, std::string>> plan;  // (operation, id)
  std::vector<size_t> partSizes;
  std::string part;

  static std::vector<std::string> IdsOf(const std::string& list) {
    std::vector<std::string> ids;
    size_t p = list.find("\r\n");  // the first line is a header
    while (p != std::string::npos) {
      size_t start = p + 2, end = list.find("\r\n", start);
      if (end == std::string::npos) break;
      std::string line = list.substr(start, end - start);
      size_t tab = line.find('\t');
      if (tab != std::string::npos) ids.push_back(line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1));
      p = end;
    }
    return ids;
  }
  void operator()(const Ev& ev) {
    if (ev == Ev{1, 4}) {
      std::string piece = s.TakeBuffer();
      partSizes.push_back(piece.size());
      part += piece;
    } else if (ev == Ev{1, 2}) {
      part += s.TakeBuffer();
      if (listPending) {
        lists.push_back(part);
        for (const auto& id : IdsOf(part)) {
          ids.push_back(id);
          plan.push_back({1, id});
          if (purge) plan.push_back({2, id});
        }
        listPending = false;
      } else {
        mails.push_back(part);
      }
      part.clear();
    } else if (ev == Ev{1, 11}) {
      listPending = false;
    } else if (ev == Ev{1, 7}) {
      if (!listed) {
        listed = listPending = true;
        s.api().kwxAsyncGetEMailList(1);
      } else if (!plan.empty()) {
        auto [op, id] = plan.front();
        plan.erase(plan.begin());
        if (op == 1) s.api().kwxAsyncGetEMail(id.c_str());
        else s.api().kwxPurgeEMail(id.c_str());
      } else {
        s.api().kwxExitEMail();
      }
    }
  }
};

// The events after the last one that is ev (all of them when there is none).
std::vector<Ev> Tail(const std::vector<Ev>& events, size_t n) {
  return std::vector<Ev>(events.end() - static_cast<std::ptrdiff_t>(std::min(n, events.size())), events.end());
}

const std::vector<Ev> kReceiveEnd = {{0, 45}, {8, 40}, {8, 41}};

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
  EXPECT_TRUE(s.WaitIdle());
  EXPECT_TRUE(s.CallbackMatchesWindow());  // each event reached both, once the worker is done
  // The handset takes the hang-up in its own time after the session has ended.
  EXPECT_TRUE(s.sim().WaitUntil(
      [](const auto& rec) { return !rec.atCommands.empty() && rec.atCommands.back() == "H0"; }, 5s));
  auto r = s.sim().Record();
  EXPECT_EQ(r.accepted, bodies);
  EXPECT_EQ(r.closeCodes, std::vector<std::string>{"0000"});
  EXPECT_EQ(r.dialled, std::vector<std::string>{"0570001234"});
  EXPECT_EQ(r.centreLines.front(), "SOCKET_25_CONNECTION[1 SEND]");
  EXPECT_TRUE(std::count(r.atCommands.begin(), r.atCommands.end(), "@B0"));
  EXPECT_FALSE(std::count(r.atCommands.begin(), r.atCommands.end(), "S240=0"));
  EXPECT_EQ(r.atCommands.back(), "H0");
  EXPECT_TRUE(s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected; }, 5s));
  char own[36];
  EXPECT_EQ(s.api().kwxGetParam(0, own, sizeof own), 1);
  EXPECT_STREQ(own, "07012345678");
}

TEST(EMailReceive, ListGetAndPurgeEveryMail) {
  SimConfig box = Mailbox(2);
  Session s(box);
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
  Receiver r(s, true);
  ASSERT_TRUE(s.Drive(std::ref(r))) << Describe(s.Events());
  const std::vector<Ev> expected = {
      {0, 46}, {1, 9}, {0, 41}, {0, 44}, {1, 7},  // connected
      {0, 44}, {1, 5}, {1, 2}, {1, 7},            // the list
      {0, 44}, {1, 5}, {1, 2}, {1, 7},            // mail 1
      {0, 47}, {1, 7},                            // purged
      {0, 44}, {1, 5}, {1, 2}, {1, 7},            // mail 2
      {0, 47}, {1, 7},                            // purged
      {0, 45}, {8, 40}, {8, 41}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  ASSERT_EQ(r.lists.size(), 1u);
  EXPECT_EQ(r.lists[0],
            "TOTAL\t2\r\n1\tID1\tfrom1@example.jp\tsubject 1\t2024/03/01 10:00:00\t300\t0\r\n"
            "2\tID2\tfrom2@example.jp\tsubject 2\t2024/03/02 10:00:00\t300\t0\r\nend\r\n");
  EXPECT_EQ(r.mails, (std::vector<std::string>{box.mails[0].body, box.mails[1].body}));
  auto rec = s.sim().Record();
  EXPECT_EQ(rec.centreLines, (std::vector<std::string>{"SOCKET_25_CONNECTION[1 RECEIVE]", "GETLIST[1]", "GET[ID1]",
                                                       "PURGE[ID1]", "GET[ID2]", "PURGE[ID2]",
                                                       "SOCKET_25_DISCONNECTION[0000]"}));
  EXPECT_TRUE(s.sim().Mailbox().empty());
  EXPECT_TRUE(s.WaitIdle());
}

TEST(EMailExchange, SendsFirstThenTakesCommands) {
  SimConfig box = Mailbox(1, 120);
  Session s(box);
  s.param.Bunkei = -1;
  s.param.AutoReceive = 1;
  s.Init();
  const std::vector<std::string> bodies = {Mail(1), Mail(2)};
  ASSERT_EQ(s.api().kwxConnectEMail(2, 2), 1);
  size_t next = 0;
  Receiver r(s);
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    if (ev == Ev{1, 1}) {
      ASSERT_LT(next, bodies.size());
      s.api().kwxAsyncSendEMail(bodies[next].data(), static_cast<int32_t>(bodies[next].size()));
      ++next;
    }
    r(ev);
  })) << Describe(s.Events());
  auto n = [&](size_t i) { return static_cast<int32_t>(bodies[i].size()); };
  const std::vector<Ev> expected = {
      {0, 56}, {1, 9}, {0, 51}, {0, 52}, {0, 54}, {1, 1},  // connected
      {0, 52}, {3, 0}, {3, n(0)}, {1, 8}, {1, 1},          // mail 1
      {0, 52}, {3, 0}, {3, n(1)}, {1, 8}, {1, 7},          // mail 2, then the commands
      {0, 54}, {1, 5}, {1, 2}, {1, 7},                     // the list
      {0, 54}, {1, 5}, {1, 2}, {1, 7},                     // the mail
      {0, 55}, {8, 50}, {8, 51}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  auto rec = s.sim().Record();
  EXPECT_EQ(rec.accepted, bodies);
  EXPECT_EQ(rec.dialled, std::vector<std::string>{"0570001234,01"});
  EXPECT_TRUE(std::count(rec.atCommands.begin(), rec.atCommands.end(), "@B1"));
  EXPECT_TRUE(std::count(rec.atCommands.begin(), rec.atCommands.end(), "S240=0"));
  EXPECT_TRUE(std::count(rec.atCommands.begin(), rec.atCommands.end(), "#X4"));
  EXPECT_EQ(rec.centreLines.front(), "SOCKET_25_CONNECTION[1 XCHNG]");
  EXPECT_EQ(r.mails, std::vector<std::string>{box.mails[0].body});
}

// A USB serial adapter reports the modem lines apart from the data, so DCD
// may follow CONNECT by a little: within a second of it the session runs as
// if it had come first. Real time: the module's second is the handset's.
class EMailLateCarrier : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(EMailLateCarrier, TheSessionRunsWhole) {
  const auto [mode, ms] = GetParam();  // kwxConnectEMail's mode: 0 send, 1 receive, 2 exchange
  const int32_t kind = 3 + mode;
  SimConfig box = mode == 0 ? SimConfig{} : Mailbox(1, 120);
  box.faults.push_back({Step::Dial, Action::LateCarrier, 1, ms});
  Session s(box, 1);
  s.Init();
  const std::string body = Mail(1);
  ASSERT_EQ(s.api().kwxConnectEMail(mode, mode == 1 ? 0 : 1), 1);
  Receiver r(s);
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    if (ev == Ev{1, 1}) s.api().kwxAsyncSendEMail(body.data(), static_cast<int32_t>(body.size()));
    r(ev);
  })) << Describe(s.Events());
  const auto events = s.Events();
  EXPECT_EQ(Tail(events, 3), (std::vector<Ev>{{0, kind * 10 + 5}, {8, kind * 10}, {8, kind * 10 + 1}}))
      << Describe(events);
  EXPECT_FALSE(std::any_of(events.begin(), events.end(), [](const Ev& e) { return e.type == 9 || e.type == 10; }))
      << Describe(events);
  const auto rec = s.sim().Record();
  EXPECT_EQ(rec.accepted, mode == 1 ? std::vector<std::string>{} : std::vector<std::string>{body});
  EXPECT_EQ(r.mails, mode == 0 ? std::vector<std::string>{} : std::vector<std::string>{box.mails[0].body});
  EXPECT_TRUE(s.WaitIdle());
}

std::string LateCarrierName(const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
  static const char* const kModes[] = {"Send", "Receive", "Exchange"};
  return std::string(kModes[std::get<0>(info.param)]) + "DcdAfter" + std::to_string(std::get<1>(info.param)) + "ms";
}

INSTANTIATE_TEST_SUITE_P(EMailLine, EMailLateCarrier,
                         ::testing::Combine(::testing::Values(0, 1, 2), ::testing::Values(10, 150, 500)),
                         LateCarrierName);

// A carrier that has not come a second after CONNECT: the call is given up
// and the user told the far end was not reached, before anything is sent.
TEST(EMailLine, ACarrierThatNeverComesIsToldAndNothingIsSent) {
  SimConfig c;
  c.faults.push_back({Step::Dial, Action::LateCarrier, 1, 60000});
  Session s(c, 1);
  s.Init();
  const std::string body = Mail(1);
  ASSERT_EQ(s.api().kwxConnectEMail(0, 1), 1);
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    if (ev == Ev{1, 1}) s.api().kwxAsyncSendEMail(body.data(), static_cast<int32_t>(body.size()));
  })) << Describe(s.Events());
  EXPECT_EQ(Tail(s.Events(), 2), (std::vector<Ev>{{10, 9}, {8, 31}})) << Describe(s.Events());
  EXPECT_FALSE(Contains(s.Events(), {1, 1})) << Describe(s.Events());
  EXPECT_TRUE(s.sim().Record().centreLines.empty());
  EXPECT_EQ(s.api().kwxGetErrorCode(0, 0), 90009);
  EXPECT_TRUE(s.WaitIdle());
  EXPECT_TRUE(s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected && !rec.callUp; }, 5s));
}

TEST(EMailReceive, LongBodyIsHandedOverInFullPartsUnderFlowControl) {
  SimConfig box = Mailbox(1, 20000);
  Session s(box);
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
  Receiver r(s);
  size_t announced = 0;
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    if (ev == Ev{1, 4}) {
      ++announced;
      // While the caller holds back, the module reads nothing more: its
      // reader waits for the caller's word, twice round, with no part after
      // the one it announced.
      auto parts = [&] {
        size_t n = 0;
        for (const auto& e : s.Events()) n += e == Ev{1, 4};
        return n;
      };
      const int32_t waits = s.api().PortvineTestFlowWaits();
      const auto end = std::chrono::steady_clock::now() + 3s;
      while (s.api().PortvineTestFlowWaits() < waits + 2 && parts() == announced && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(1ms);
      EXPECT_EQ(parts(), announced);
      EXPECT_GE(s.api().PortvineTestFlowWaits(), waits + 2);
    }
    r(ev);
  })) << Describe(s.Events());
  ASSERT_EQ(r.mails.size(), 1u);
  EXPECT_EQ(r.mails[0], box.mails[0].body);
  EXPECT_EQ(r.partSizes, (std::vector<size_t>{6144, 6144, 6144}));
}

TEST(EMailReceive, BodiesEndingAtAPartsEdgeEndThere) {
  // The end line falls just before, at and just after the edge of a part.
  for (size_t size : {size_t{6140}, size_t{6142}, size_t{6143}, size_t{6144}, size_t{6145}, size_t{12287}, size_t{12288}}) {
    SCOPED_TRACE(size);
    SimConfig box = Mailbox(1, size);
    ASSERT_EQ(box.mails[0].body.size(), size);
    Session s(box);
    s.Init();
    ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
    Receiver r(s);
    ASSERT_TRUE(s.Drive(std::ref(r))) << Describe(s.Events());
    ASSERT_EQ(r.mails.size(), 1u);
    EXPECT_EQ(r.mails[0], box.mails[0].body);
    for (size_t part : r.partSizes) EXPECT_EQ(part, 6144u);
    EXPECT_EQ(Tail(s.Events(), 3), kReceiveEnd);
  }
}

TEST(EMailReceive, OneLongLineCrossingPartsArrivesWhole) {
  SimConfig box;
  std::string body = "Subject: long\r\n\r\n" + std::string(15000, 'w') + "\r\n";
  box.mails.push_back({"L1", "a@example.jp", "long", "2024/01/01 00:00:00", body});
  Session s(box);
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
  Receiver r(s);
  ASSERT_TRUE(s.Drive(std::ref(r))) << Describe(s.Events());
  ASSERT_EQ(r.mails.size(), 1u);
  EXPECT_EQ(r.mails[0], body);
  EXPECT_EQ(r.partSizes, (std::vector<size_t>{6144, 6144}));
}

TEST(EMailReceive, StrayNulInABodyIsDroppedNotCuttingThePart) {
  SimConfig box;
  std::string body = "Subject: nul\r\n\r\nbefore";
  body.push_back('\0');
  body += "after\r\n";
  box.mails.push_back({"N1", "a@example.jp", "nul", "2024/01/01 00:00:00", body});
  Session s(box);
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
  Receiver r(s);
  ASSERT_TRUE(s.Drive(std::ref(r)));
  ASSERT_EQ(r.mails.size(), 1u);
  EXPECT_EQ(r.mails[0], "Subject: nul\r\n\r\nbeforeafter\r\n");
}

TEST(EMailReceive, LongestIdsGoOutWhole) {
  SimConfig box;
  const std::string id(28, 'K');
  box.mails.push_back({id, "a@example.jp", "long id", "2024/01/01 00:00:00", "Subject: long id\r\n"});
  Session s(box);
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
  Receiver r(s, true);
  ASSERT_TRUE(s.Drive(std::ref(r))) << Describe(s.Events());
  auto lines = s.sim().Record().centreLines;
  EXPECT_TRUE(std::count(lines.begin(), lines.end(), "GET[" + id + "]"));
  EXPECT_TRUE(std::count(lines.begin(), lines.end(), "PURGE[" + id + "]"));
  EXPECT_EQ(s.sim().Record().purged, std::vector<std::string>{id});
  EXPECT_EQ(r.mails, std::vector<std::string>{"Subject: long id\r\n"});
}

TEST(EMailReceive, MailListOfExactly2048BytesIsTakenAnd2049Refused) {
  for (size_t size : {size_t{2048}, size_t{2049}}) {
    SCOPED_TRACE(size);
    // One entry whose subject fills the list to the size.
    const std::string head = "TOTAL\t1\r\n", start = "1\tX1\ta@example.jp\t",
                      end = "\t2024/01/01 00:00:00\t100\t0\r\n", last = "end\r\n";
    std::string list = head + start + std::string(size - head.size() - start.size() - end.size() - last.size(), 's') + end + last;
    ASSERT_EQ(list.size(), size);
    Session s;
    s.sim().SetRawList(list);
    s.Init();
    ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
    std::string got;
    bool asked = false;
    ASSERT_TRUE(s.Drive([&](const Ev& ev) {
      if (ev == Ev{1, 2}) got = s.TakeBuffer();
      if (ev == Ev{1, 7}) {
        if (!asked) s.api().kwxAsyncGetEMailList(1);
        else s.api().kwxExitEMail();
        asked = true;
      }
    })) << Describe(s.Events());
    auto rec = s.sim().Record();
    if (size == 2048) {
      EXPECT_EQ(got, list);
      EXPECT_EQ(rec.closeCodes, std::vector<std::string>{"0000"});
    } else {
      EXPECT_TRUE(got.empty());
      EXPECT_TRUE(Contains(s.Events(), {9, 170})) << Describe(s.Events());
      EXPECT_EQ(rec.closeCodes, std::vector<std::string>{"0170"});
      EXPECT_EQ(Tail(s.Events(), 3), kReceiveEnd);
    }
  }
}

TEST(EMailReceive, NoMoreAnswerIsToldAndTheSessionGoesOn) {
  Session s;  // an empty mailbox
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
  Receiver r(s);
  ASSERT_TRUE(s.Drive(std::ref(r)));
  const std::vector<Ev> expected = {{0, 46}, {1, 9},  {0, 41}, {0, 44}, {1, 7}, {0, 44},
                                    {1, 11}, {1, 7}, {0, 45}, {8, 40}, {8, 41}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  EXPECT_EQ(s.sim().Record().closeCodes, std::vector<std::string>{"0000"});
}

TEST(EMailReceive, FarEndCloseCodesAreToldUnlessNormal) {
  struct {
    long code;
    bool told;
  } table[] = {{9, false}, {123, true}, {0, false}};
  for (const auto& row : table) {
    SCOPED_TRACE(row.code);
    Session s(WithFault(Mailbox(1), Step::Get, Action::CloseCode, row.code));
    s.Init();
    ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
    Receiver r(s);
    ASSERT_TRUE(s.Drive(std::ref(r))) << Describe(s.Events());
    auto events = WithoutProgress(s.Events());
    EXPECT_EQ(Contains(events, {9, static_cast<int32_t>(row.code + 10000)}), row.told) << Describe(events);
    for (const auto& e : events) EXPECT_TRUE(e.type != 9 || row.told) << Describe(events);
    EXPECT_EQ(Tail(s.Events(), 3), kReceiveEnd);
    // The module closes nothing itself: the centre did.
    EXPECT_TRUE(s.sim().Record().closeCodes.empty());
    EXPECT_TRUE(r.mails.empty());
  }
}

TEST(EMailDeadlines, NoReadyWithin45SecondsClosesWith1120) {
  Session s(WithFault({}, Step::Connect, Action::Silent));
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(0, 1), 1);
  ASSERT_TRUE(s.Drive(nullptr)) << Describe(s.Events());
  const std::vector<Ev> expected = {{0, 36}, {1, 9}, {0, 31}, {0, 32}, {9, 1120}, {0, 35}, {8, 30}, {8, 31}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  EXPECT_EQ(s.sim().Record().closeCodes, std::vector<std::string>{"1120"});
  EXPECT_EQ(s.api().kwxGetErrorCode(0, 0), 70001);  // the 45-second deadline
}

TEST(EMailDeadlines, NoAnswerWithinAMinutePausesUntilTheCallerGivesUp) {
  Session s(WithFault(Mailbox(1), Step::Get, Action::Silent));
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
  Receiver r(s);
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    r(ev);
    // The 30-second dialog timed out.
    if (ev == Ev{7, 70002}) s.api().kwxDisconnect(1130);
  })) << Describe(s.Events());
  auto events = WithoutProgress(s.Events());
  const std::vector<Ev> tail = {{1, 7}, {7, 70002}, {9, 1130}, {8, 40}, {8, 41}};
  EXPECT_EQ(Tail(events, 5), tail) << Describe(events);
  EXPECT_EQ(s.sim().Record().closeCodes, std::vector<std::string>{"1130"});
  EXPECT_EQ(s.api().kwxGetErrorCode(0, 0), 1130);  // the read ended by the caller's no-answer
}

TEST(EMailDeadlines, PausedTransferResumesWithResumeTxRx) {
  SimConfig box = Mailbox(1, 500);
  Session s(WithFault(box, Step::Get, Action::Hold));
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
  Receiver r(s);
  int paused = 0;
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    r(ev);
    if (ev == Ev{7, 70002}) {
      ++paused;
      s.sim().ReleaseHeld();
      EXPECT_EQ(s.api().kwxResumeTxRx(0, 0, 0), 1);
    }
  })) << Describe(s.Events());
  EXPECT_EQ(paused, 1) << Describe(s.Events());
  ASSERT_EQ(r.mails.size(), 1u);
  EXPECT_EQ(r.mails[0], box.mails[0].body);
  EXPECT_EQ(Tail(s.Events(), 3), kReceiveEnd);
  EXPECT_EQ(s.sim().Record().closeCodes, std::vector<std::string>{"0000"});
  // Outside an online state there is nothing to resume.
  EXPECT_EQ(s.api().kwxResumeTxRx(0, 0, 0), 0);
  EXPECT_EQ(s.api().kwxGetErrorCode(0, 0), 80303);
}

TEST(EMailLine, CarrierDroppedWhileWaitingForTheCallerEndsTheWorker) {
  Session s(WithFault({}, Step::Ready, Action::Drop, 300));
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
  ASSERT_TRUE(s.Drive(nullptr)) << Describe(s.Events());  // the caller never answers (1, 7)
  const std::vector<Ev> expected = {{0, 46}, {1, 9}, {0, 41}, {0, 44}, {1, 7}, {9, 1280}, {8, 41}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  EXPECT_TRUE(s.WaitIdle());
  EXPECT_TRUE(s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected; }, 5s));
  bool traced = false;
  for (const auto& t : s.Traces()) traced |= t == "Thread Abnormal end.(Unexpected Disconnection/while Waiting Opr.)";
  EXPECT_TRUE(traced);
}

TEST(EMailLine, SlowLinePacedToThePortSpeedStillDeliversEveryByte) {
  SimConfig box = Mailbox(1, 2500);
  box.pace = true;
  Session s(box);
  s.param.Baudrate = 9600;
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
  Receiver r(s);
  ASSERT_TRUE(s.Drive(std::ref(r))) << Describe(s.Events());
  ASSERT_EQ(r.mails.size(), 1u);
  EXPECT_EQ(r.mails[0], box.mails[0].body);
  EXPECT_EQ(s.sim().Record().hostSpeed, 9600u);
  EXPECT_EQ(Tail(s.Events(), 3), kReceiveEnd);
}

TEST(EMailLine, HandsetPulledWhileWaitingForTheCaller) {
  Session s(Mailbox(1));
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    if (ev == Ev{1, 7}) s.sim().Unplug();
  })) << Describe(s.Events());
  const std::vector<Ev> expected = {{0, 46}, {1, 9}, {0, 41}, {0, 44}, {1, 7}, {9, 1280}, {8, 41}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  EXPECT_TRUE(s.WaitIdle());
}

TEST(EMailLine, HandsetPulledWhileAnAnswerIsDueEndsWith30) {
  Session s(WithFault(Mailbox(1), Step::Get, Action::Hold));
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
  Receiver r(s);
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    r(ev);
    if (ev == Ev{0, 44} && !r.ids.empty()) s.sim().Unplug();  // GET has gone out
  })) << Describe(s.Events());
  EXPECT_EQ(Tail(WithoutProgress(s.Events()), 3), (std::vector<Ev>{{10, 30}, {8, 40}, {8, 41}})) << Describe(s.Events());
  EXPECT_TRUE(s.WaitIdle());
}

TEST(EMailLine, CarrierDroppedInsideABodyIsALineError) {
  Session s(WithFault(Mailbox(1, 9000), Step::Get, Action::Cut));
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
  Receiver r(s);
  ASSERT_TRUE(s.Drive(std::ref(r))) << Describe(s.Events());
  EXPECT_TRUE(Contains(s.Events(), {9, 1280})) << Describe(s.Events());
  EXPECT_EQ(Tail(s.Events(), 3), kReceiveEnd);
  EXPECT_TRUE(r.mails.empty());
}

TEST(EMailAbort, StopWhileWaitingForACommandEndsTheSession) {
  Session s(Mailbox(1));
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    if (ev == Ev{1, 7}) s.api().kwxDisconnect(10);
  })) << Describe(s.Events());
  const std::vector<Ev> expected = {{0, 46}, {1, 9}, {0, 41}, {0, 44}, {1, 7}, {0, 45}, {8, 40}, {8, 41}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  EXPECT_TRUE(s.WaitIdle());
}

TEST(EMailAbort, StopWhileTheSendWaitsForItsMailSendsNoMailAndCloses0010) {
  Session s;
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(0, 2), 1);
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    if (ev == Ev{1, 1}) s.api().kwxDisconnect(10);
  })) << Describe(s.Events());
  const std::vector<Ev> expected = {{0, 36}, {1, 9}, {0, 31}, {0, 32}, {1, 1}, {0, 32}, {9, 10}, {0, 35}, {8, 30}, {8, 31}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  auto rec = s.sim().Record();
  EXPECT_TRUE(rec.accepted.empty());
  EXPECT_EQ(rec.closeCodes, std::vector<std::string>{"0010"});
  for (const auto& line : rec.centreLines) EXPECT_NE(line, "MAIL");
}

TEST(EMailAbort, StopWhileDiallingEndsWithTheKindsStopCode) {
  Session s(WithFault({}, Step::Dial, Action::Silent));
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(0, 1), 1);
  ASSERT_TRUE(s.WaitFor({0, 31}));
  s.api().kwxDisconnect(10);
  ASSERT_TRUE(s.Drive(nullptr)) << Describe(s.Events());
  const std::vector<Ev> expected = {{0, 36}, {1, 9}, {0, 31}, {10, 24}, {0, 35}, {8, 30}, {8, 31}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  EXPECT_FALSE(s.sim().Record().callUp);
}

TEST(EMailHandset, HandsetWithoutCtsAndDsrFailsPreparationWith90011) {
  SimConfig c;
  c.powered = false;
  Session s(c);
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
  ASSERT_TRUE(s.Drive(nullptr)) << Describe(s.Events());
  const std::vector<Ev> expected = {{0, 46}, {10, 11}, {0, 45}, {8, 40}, {8, 41}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  EXPECT_TRUE(s.sim().Record().atCommands.empty());
}

TEST(EMailHandset, SendOfNoMailsEndsBeforeAnyCall) {
  Session s;
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(0, 0), 1);
  ASSERT_TRUE(s.Drive(nullptr));
  const std::vector<Ev> expected = {{10, 20}, {0, 35}, {8, 30}, {8, 31}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  EXPECT_EQ(s.sim().Record().connections, 0);
}

TEST(EMailPort, PortHeldByAnotherProgramFailsWith90003) {
  Session s;
  qv::CommPort other;
  ASSERT_TRUE(other.Open("COM5"));
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
  ASSERT_TRUE(s.Drive(nullptr)) << Describe(s.Events());
  const std::vector<Ev> expected = {{0, 46}, {10, 3}, {0, 45}, {8, 40}, {8, 41}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  EXPECT_EQ(s.api().kwxGetErrorCode(0, 0), 90003);
  EXPECT_EQ(s.api().kwxTestPort(5), 0);
  other.Close();
  EXPECT_EQ(s.api().kwxTestPort(5), 1);
}

TEST(EMailPort, SecondSessionIsRefusedWhileOneRuns) {
  Session s(Mailbox(1));
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
  bool checked = false;
  Receiver r(s);
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    if (ev == Ev{1, 7} && !checked) {
      checked = true;
      EXPECT_EQ(s.api().kwxGetState(), 1);
      EXPECT_EQ(s.api().kwxConnectEMail(0, 1), 0);
      // The module's own open port answers without being opened again.
      EXPECT_EQ(s.api().kwxTestPort(5), 1);
      EXPECT_EQ(s.sim().Record().refused, 0);
    }
    r(ev);
  })) << Describe(s.Events());
  EXPECT_EQ(r.mails.size(), 1u);
  EXPECT_EQ(Tail(s.Events(), 3), kReceiveEnd);
  EXPECT_TRUE(s.WaitIdle());
  // Idle again: the next session starts.
  EXPECT_EQ(s.api().kwxConnectEMail(1, 0), 1);
  Receiver again(s);
  EXPECT_TRUE(s.Drive(std::ref(again)));
}

TEST(EMailLine, BadInputFromTheLineEndsTheSessionAndClosesThePort) {
  struct {
    const char* name;
    Step step;
    Action action;
    long arg;
  } table[] = {
      {"garbage for READY", Step::Connect, Action::Garbage, 200},
      {"10 KB line for READY", Step::Connect, Action::LongLine, 10240},
      {"out of turn for READY", Step::Connect, Action::OutOfTurn, -1},
      {"garbage for a mail", Step::Get, Action::Garbage, 512},
      {"10 KB line for a mail", Step::Get, Action::LongLine, 10240},
      {"out of turn for a list", Step::List, Action::OutOfTurn, -1},
      {"a centre that speaks first", Step::Ready, Action::OutOfTurn, -1},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    Session s(WithFault(Mailbox(1), row.step, row.action, row.arg));
    s.Init();
    ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
    Receiver r(s);
    ASSERT_TRUE(s.Drive(std::ref(r))) << Describe(s.Events());
    EXPECT_EQ(Tail(s.Events(), 3), kReceiveEnd) << Describe(s.Events());
    bool error = false;
    for (const auto& e : s.Events()) error |= e.type == 9;
    EXPECT_TRUE(error) << Describe(s.Events());
    EXPECT_TRUE(s.WaitIdle());
    EXPECT_TRUE(s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected && !rec.callUp; }, 5s));
  }
}

}  // namespace

namespace {

// Random faults at random steps, random bodies: every session must still end
// with its end events and the port closed. QV_SERIAL_STRESS_TRIALS raises the
// number of trials (a handful by default).
TEST(EMailStress, RandomFaultsAlwaysEndTheSession) {
  const char* env = std::getenv("QV_SERIAL_STRESS_TRIALS");
  const int trials = env && std::atoi(env) > 0 ? std::atoi(env) : 6;
  const Step steps[] = {Step::Connect, Step::Ready, Step::List, Step::Get, Step::Purge};
  const Action actions[] = {Action::Garbage, Action::LongLine, Action::OutOfTurn, Action::Drop,
                            Action::Cut,     Action::CloseCode, Action::DropAfter, Action::Silent};
  int ended = 0;
  for (int trial = 0; trial < trials; ++trial) {
    std::mt19937 random(static_cast<unsigned>(1000 + trial));
    SimConfig box;
    const int mails = 1 + static_cast<int>(random() % 3);
    for (int i = 0; i < mails; ++i) {
      std::string body(random() % 9000, '\0');
      for (char& c : body) c = static_cast<char>(random() & 0xFF);
      box.mails.push_back({"R" + std::to_string(i), "r@example.jp", "random", "2024/01/01 00:00:00", body});
    }
    const Step step = steps[random() % std::size(steps)];
    const Action action = actions[random() % std::size(actions)];
    box.faults.push_back({step, action, 1 + static_cast<int>(random() % 2), static_cast<long>(random() % 4000)});
    SCOPED_TRACE("trial " + std::to_string(trial) + " step " + std::to_string(static_cast<int>(step)) + " action " +
                 std::to_string(static_cast<int>(action)));
    Session s(box);
    s.Init();
    ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
    Receiver r(s, true);
    const bool done = s.Drive([&](const Ev& ev) {
      if (ev == Ev{7, 70002}) s.api().kwxDisconnect(1130);
      r(ev);
    });
    EXPECT_TRUE(done) << Describe(s.Events());
    EXPECT_TRUE(s.WaitIdle());
    EXPECT_TRUE(s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected; }, 10s));
    ended += done;
  }
  EXPECT_EQ(ended, trials);
}

}  // namespace

namespace {

// The simulator as its own program, started the way the run command would.
TEST(HandsetProgram, ServesAReceiveSessionFromItsCommandLine) {
  Session s(Session::ExternalHandset{});
  const std::string socket = s.socketPath().string();
  const std::string log = (s.folder() / "sim.log").string();
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    std::freopen(log.c_str(), "w", stderr);
    execl(HANDSET_SIM_PROGRAM, "handset-sim", "--socket", socket.c_str(), "--mail", "A1,taro@example.jp,Hello,700",
          "--own-number", "09033334444", static_cast<char*>(nullptr));
    _exit(127);
  }
  for (int i = 0; i < 500 && !std::filesystem::exists(socket); ++i) std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(std::filesystem::exists(socket));
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
  Receiver r(s, true);
  EXPECT_TRUE(s.Drive(std::ref(r))) << Describe(s.Events());
  EXPECT_TRUE(s.WaitIdle());
  ASSERT_EQ(r.mails.size(), 1u);
  EXPECT_EQ(r.mails[0].size(), 700u);
  EXPECT_NE(r.mails[0].find("From: taro@example.jp"), std::string::npos);
  char own[36];
  s.api().kwxGetParam(0, own, sizeof own);
  EXPECT_STREQ(own, "09033334444");
  kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_NE(qvtest::ReadFile(log).find("1 connection(s), 0 mail(s) accepted, 1 purged"), std::string::npos)
      << qvtest::ReadFile(log);
}

}  // namespace
