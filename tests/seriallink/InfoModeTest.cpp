// End to end: information mode through the built Portvine.so against the
// simulated handset's information store.
#include "SessionHarness.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using handsetsim::Action;
using handsetsim::SimConfig;
using handsetsim::Step;
using seriallinktest::Describe;
using seriallinktest::Ev;
using seriallinktest::Session;
using seriallinktest::Size;

namespace {

SimConfig Store(handsetsim::InfoStore info) {
  SimConfig c;
  c.i9Text = "1";  // a handset that can take information mode
  c.info = std::move(info);
  return c;
}

// The launcher's side: one operation per (1, 1), each answer taken first.
struct InfoCaller {
  InfoCaller(Session& session, std::vector<std::function<void()>> ops) : s(session), operations(std::move(ops)) {}
  Session& s;
  std::vector<std::function<void()>> operations;
  std::vector<std::string> answers;
  size_t next = 0;
  void operator()(const Ev& ev) {
    if (ev != Ev{1, 1}) return;
    answers.push_back(s.TakeBuffer());
    if (next < operations.size()) operations[next++]();
  }
};

TEST(InfoMode, RecordsAreReadDeletedAndWrittenThenTheModeIsLeft) {
  Session s(Store({{1, {"001002003", "004005"}}}));
  s.Init();
  ASSERT_EQ(s.api().kwxEnterInfoMode(1), 1);
  const std::string record = "007008009010";
  InfoCaller caller{s,
                    {[&] { s.api().kwxGetInfo(); }, [&] { s.api().kwxGetInfo(); }, [&] { s.api().kwxGetInfo(); },
                     [&] { s.api().kwxDeleteInfo(); },
                     [&] { s.api().kwxSetInfo(record.data(), Size(record)); },
                     [&] { s.api().kwxExitInfoMode(); }}};
  ASSERT_TRUE(s.Drive(std::ref(caller))) << Describe(s.Events());
  const std::vector<Ev> expected = {{0, 66}, {1, 9},  {0, 61}, {1, 1},  {0, 64}, {1, 1},  {0, 64}, {1, 1},
                                    {0, 64}, {1, 1},  {0, 67}, {1, 1},  {0, 62}, {1, 1},  {0, 65}, {0, 65},
                                    {8, 60}, {8, 61}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  EXPECT_EQ(caller.answers, (std::vector<std::string>{"<F:1:2/200>\r\n", "<1:00001002003h>\r\n", "<1:01004005h>\r\n",
                                                      "<3:1h>\r\n", "<3:1:0>\r\n", "<1:1:1>\r\n"}));
  const auto r = s.sim().Record();
  EXPECT_EQ(r.infoLines, (std::vector<std::string>{"<1F>", "<2:1H>", "<2:1H>", "<2:1H>", "<3:1H>", "<1:1:" + record + "H>"}));
  EXPECT_FALSE(r.infoMode);  // the escape took the handset out again
  EXPECT_EQ(s.sim().Info().at(1), std::vector<std::string>{record});
  EXPECT_NE(std::find(r.atCommands.begin(), r.atCommands.end(), "@S"), r.atCommands.end());
  EXPECT_TRUE(s.WaitIdle());
  EXPECT_TRUE(s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected; }, 5s));
}

TEST(InfoMode, CategoriesFiveAndSevenGoAsSixAndSetCategorySendsNothing) {
  for (int32_t category : {5, 7, 4}) {
    SCOPED_TRACE(category);
    Session s(Store({}));
    s.Init();
    ASSERT_EQ(s.api().kwxEnterInfoMode(category), 1);
    const std::string raw = "<" + std::to_string(category + 1) + "F>";
    InfoCaller caller{s,
                      {[&] { s.api().kwxGetInfo(); }, [&] { s.api().kwxSetInfo("042", 3); },
                       [&] { s.api().kwxDeleteInfo(); }, [&] { s.api().kwxBareInfo(raw.data(), Size(raw)); },
                       [&] { s.api().kwxSetCategory(3); }, [&] { s.api().kwxGetInfo(); },
                       [&] { s.api().kwxExitInfoMode(); }}};
    ASSERT_TRUE(s.Drive(std::ref(caller))) << Describe(s.Events());
    const std::string line = std::to_string(category == 4 ? 4 : 6);
    EXPECT_EQ(s.sim().Record().infoLines,
              (std::vector<std::string>{"<" + std::to_string(category) + "F>", "<2:" + line + "H>",
                                        "<1:" + line + ":042H>", "<3:" + line + "H>", raw, "<2:3H>"}));
    EXPECT_EQ(s.Events().back(), (Ev{8, 61}));
  }
}

TEST(InfoMode, AnswerOf1000BytesIsTakenAnd1001Refused) {
  for (size_t length : {1000u, 1001u}) {
    SCOPED_TRACE(length);
    // A read answer is "<1:", two characters, the record and "h>".
    Session s(Store({{2, {std::string(length - 7, '5')}}}));
    s.Init();
    ASSERT_EQ(s.api().kwxEnterInfoMode(2), 1);
    InfoCaller caller{s, {[&] { s.api().kwxGetInfo(); }, [&] { s.api().kwxExitInfoMode(); }}};
    ASSERT_TRUE(s.Drive(std::ref(caller))) << Describe(s.Events());
    const auto events = s.Events();
    if (length == 1000) {
      ASSERT_EQ(caller.answers.size(), 2u);
      EXPECT_EQ(caller.answers[1], "<1:00" + std::string(993, '5') + "h>\r\n");
      EXPECT_FALSE(seriallinktest::Contains(events, {10, 17})) << Describe(events);
    } else {
      EXPECT_TRUE(seriallinktest::Contains(events, {10, 17})) << Describe(events);
      // After a failure the handset is asked to leave.
      EXPECT_EQ(s.sim().Record().infoLines.back(), "<0H>");
    }
    EXPECT_EQ(events.back(), (Ev{8, 61}));
    EXPECT_FALSE(s.sim().Record().infoMode);
  }
}

TEST(InfoMode, LinesThatDoNotFitTheCommandAreaAreNotSent) {
  struct {
    const char* name;
    bool raw;
    size_t length;
  } table[] = {{"write line", false, 1016}, {"raw line", true, 1022}};
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    Session s(Store({}));
    s.Init();
    ASSERT_EQ(s.api().kwxEnterInfoMode(1), 1);
    const std::string data(row.length, '1');
    InfoCaller caller{s, {[&] {
                            if (row.raw) s.api().kwxBareInfo(data.data(), Size(data));
                            else s.api().kwxSetInfo(data.data(), Size(data));
                          }}};
    ASSERT_TRUE(s.Drive(std::ref(caller))) << Describe(s.Events());
    EXPECT_TRUE(seriallinktest::Contains(s.Events(), {10, 17})) << Describe(s.Events());
    EXPECT_EQ(s.sim().Record().infoLines, (std::vector<std::string>{"<1F>", "<0H>"}));
  }
  // One byte less fits.
  Session s(Store({}));
  s.Init();
  ASSERT_EQ(s.api().kwxEnterInfoMode(1), 1);
  const std::string data(1014, '1');
  InfoCaller caller{s, {[&] { s.api().kwxSetInfo(data.data(), Size(data)); }, [&] { s.api().kwxExitInfoMode(); }}};
  ASSERT_TRUE(s.Drive(std::ref(caller))) << Describe(s.Events());
  EXPECT_EQ(s.sim().Info().at(1), std::vector<std::string>{data});
}

TEST(InfoMode, OkOrErrorForAnOperationEndsTheMode) {
  SimConfig c = Store({});
  c.infoCapacity = 0;  // the store is full: a write is answered ERROR
  Session s(c);
  s.Init();
  ASSERT_EQ(s.api().kwxEnterInfoMode(1), 1);
  InfoCaller caller{s, {[&] { s.api().kwxSetInfo("123", 3); }}};
  ASSERT_TRUE(s.Drive(std::ref(caller))) << Describe(s.Events());
  const std::vector<Ev> expected = {{0, 66}, {1, 9}, {0, 61}, {1, 1}, {0, 62}, {0, 65}, {0, 65}, {8, 60}, {8, 61}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
}

TEST(InfoMode, HandsetThatCannotTakeTheModeIsRefusedAtOnce) {
  Session s;  // "I9" answers 0
  s.Init();
  EXPECT_EQ(s.api().kwxEnterInfoMode(1), 0);
  EXPECT_EQ(s.Events(), (std::vector<Ev>{{10, 32}}));
  EXPECT_EQ(s.api().kwxGetState(), 0);
  EXPECT_TRUE(s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected; }, 5s));
  SimConfig off = Store({});
  off.powered = false;
  Session unpowered(off);
  unpowered.Init();
  EXPECT_EQ(unpowered.api().kwxEnterInfoMode(1), 0);
  EXPECT_EQ(unpowered.Events(), (std::vector<Ev>{{10, 13}}));
}

TEST(InfoMode, FailuresOnTheLineEndTheModeWithTheirCodes) {
  struct {
    const char* name;
    Action action;
    bool unplug;
    Ev error;
  } table[] = {
      {"no answer to a read", Action::Silent, false, {10, 28}},
      {"an answer that is no data", Action::Garbage, false, {10, 16}},
      {"handset pulled while waiting for the caller", Action::Silent, true, {10, 30}},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    SimConfig c = Store({{1, {"1"}}});
    if (!row.unplug) c.faults.push_back({Step::Info, row.action, 2, -1});  // the read, after the enter line
    Session s(c, 50);
    s.Init();
    ASSERT_EQ(s.api().kwxEnterInfoMode(1), 1);
    InfoCaller caller{s, {[&] {
                            if (row.unplug) {
                              s.sim().Unplug();
                              s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected; }, 5s);
                            }
                            s.api().kwxGetInfo();
                          }}};
    ASSERT_TRUE(s.Drive(std::ref(caller))) << Describe(s.Events());
    EXPECT_TRUE(seriallinktest::Contains(s.Events(), row.error)) << Describe(s.Events());
    EXPECT_EQ(s.Events().back(), (Ev{8, 61}));
    EXPECT_TRUE(s.WaitIdle());
  }
}

TEST(InfoMode, StopWhileWaitingForTheCallerLeavesTheMode) {
  Session s(Store({}));
  s.Init();
  ASSERT_EQ(s.api().kwxEnterInfoMode(1), 1);
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    if (ev == Ev{1, 1}) s.api().kwxDisconnect(10);
  })) << Describe(s.Events());
  EXPECT_TRUE(seriallinktest::Contains(s.Events(), {10, 27})) << Describe(s.Events());
  EXPECT_EQ(s.sim().Record().infoLines.back(), "<0H>");
  EXPECT_FALSE(s.sim().Record().infoMode);
}

}  // namespace
