// The sign-up module's pieces on their own: which recorded code is posted as
// which event, the classifier's sign-up dialect, the port's line reader over
// a raw simulated line, a stop before the first step, the trace log.
#include "EventWindow.h"
#include "KwxFront.h"
#include "LineServer.h"
#include "SerialPort.h"
#include "States.h"
#include "TestSupport.h"
#include "TraceLog.h"

#include "seriallink/common/Clock.h"
#include "seriallink/common/LineSplitter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

using namespace std::chrono_literals;
using namespace std::string_literals;
using kwxsignup::CSerialPort;
using seriallinktest::Describe;
using seriallinktest::Ev;

namespace {

TEST(KwxCodes, EachRecordedCodeIsPostedByItsClass) {
  struct {
    int32_t code;
    bool posted;
    Ev event;
  } table[] = {
      {1, true, {9, 10001}},      {5, true, {9, 10005}},       {9, false, {}},           {0, false, {}},
      {9999, true, {9, 19999}},   {10000, false, {}},          {20010, true, {9, 10}},   {20810, true, {9, 810}},
      {21130, true, {9, 1130}},   {21280, true, {9, 1280}},    {29999, true, {9, 9999}}, {30000, false, {}},
      {70000, false, {}},         {70001, true, {9, 1120}},    {70002, true, {7, 70002}}, {70003, false, {}},
      {70004, false, {}},         {80000, false, {}},          {80202, false, {}},       {90000, false, {}},
      {90001, true, {10, 1}},     {90008, true, {10, 8}},      {90011, true, {10, 11}},  {90012, true, {10, 12}},
      {99999, true, {10, 9999}},  {100000, false, {}},
  };
  // The pure rule, and the port posting it to its window as the code is recorded.
  seriallinktest::EventWindow window;
  qv::Event abort{qv::Event::Mode::AutoReset}, flow{qv::Event::Mode::ManualReset, true};
  CSerialPort port(abort, flow);
  port.Setup("\\\\.\\COM9", 9600, window.id());
  std::vector<Ev> expected;
  for (const auto& row : table) {
    int32_t type = -1, value = -1;
    EXPECT_EQ(kwxsignup::EventForCode(row.code, type, value), row.posted) << row.code;
    if (row.posted) {
      EXPECT_EQ((Ev{type, value}), row.event) << row.code;
      expected.push_back(row.event);
    }
    port.Record(row.code);
    EXPECT_EQ(port.Error(), row.code);
  }
  EXPECT_EQ(window.Events(), expected) << Describe(window.Events());
}

TEST(KwxClassifier, TheSignupDialectDiffersInFourLines) {
  using seriallink::Dialect;
  struct {
    std::string line;
    int32_t full, signup;
    int32_t fullError, signupError;
  } table[] = {
      {"SOCKET_25_CONNECTION[1 SEND]\0"s, 98, 98, 20800, 20490},
      {"SOCKET_25_CONNECTION[1 SMAIL]\0"s, 55, 55, 0, 0},
      {"SOCKET_25_CONNECTION[2 SEND]\0"s, 98, 98, 20660, 20660},
      {"MAILLIST\0"s, 65, 99, 0, 0},
      {"NO_MORE\0"s, 66, 99, 0, 0},
      {"READY[1 XCHNGE]\0"s, 63, 63, 0, 0},  // only the tag's first five bytes count
      {"READY[1 SIGNUP]\0"s, 64, 64, 0, 0},
      {"PAGING CONFIG 1:1\r\n", 8, 49, 0, 0},
      {"PAGING CONFIG 0:0\r\n", 8, 8, 0, 0},
      {"PAGING CONFIG 0:1\r\n", 9, 9, 0, 0},
      {"SOCKET_25_DISCONNECTION[0000]\0"s, 51, 51, 0, 0},
  };
  for (const auto& row : table) {
    for (Dialect d : {Dialect::Full, Dialect::Signup}) {
      seriallink::LineSplitter splitter(d);
      splitter.LineSplitterSetBuffer(row.line.data(), row.line.size());
      const bool signup = d == Dialect::Signup;
      EXPECT_EQ(splitter.ClassifyLine(row.line.data(), row.line.size()), signup ? row.signup : row.full)
          << row.line << (signup ? " (sign-up)" : " (full)");
      EXPECT_EQ(splitter.ConnectionError(), signup ? row.signupError : row.fullError) << row.line;
    }
  }
}

// The far end of a raw line: sends exactly what a test gives it.
class RawPeer final : public handsetsim::LineHandler {
 public:
  void OnData(std::string_view) override {}
};

struct KwxPort : ::testing::Test {
  qvtest::TempDir dir;
  RawPeer peer;
  handsetsim::LineServer line;
  qv::Event abort{qv::Event::Mode::AutoReset};
  qv::Event flow{qv::Event::Mode::ManualReset, true};
  CSerialPort port{abort, flow};

  void SetUp() override {
    seriallink::clock::SetRate(20);
    ::setenv("QUORVEL_PORTS", dir.path().c_str(), 1);
    std::string error;
    ASSERT_TRUE(line.Start(dir / "COM7", &peer, &error)) << error;
    line.Post([this] { line.SetStatus(0x30); });
    ASSERT_TRUE(port.Setup("\\\\.\\COM7", 115200, 0));
    ASSERT_TRUE(port.Open());
  }
  void TearDown() override {
    port.Close();
    line.Stop();
    seriallink::clock::SetRate(1);
  }
  void Send(const std::string& bytes) {
    line.Post([this, bytes] { line.SendData(bytes); });
  }
  struct Read {
    bool ok;
    std::string bytes;
  };
  Read ReadLine(int32_t room) {
    std::vector<char> buf(static_cast<size_t>(room) + 16, '#');
    int32_t size = room;
    port.TimerSet(5, 70000);
    const bool ok = port.ReadLine(buf.data(), size);
    port.TimerClear();
    // Nothing is written past the room.
    for (size_t i = static_cast<size_t>(room); i < buf.size(); ++i) EXPECT_EQ(buf[i], '#') << i;
    return {ok, std::string(buf.data(), static_cast<size_t>(std::max(size, 0)))};
  }
};

TEST_F(KwxPort, LinesEndAtLineBreaksNulsAndControlBytes) {
  struct {
    std::string wire;
    std::vector<std::string> lines;
  } table[] = {
      {"OK\r\n", {"OK\r\n"}},
      {"A\rB\n", {"A\r", "B\n"}},  // a CR ends the line; the next byte starts the next one
      {"\0\0OK\0"s, {"OK\0"s}},    // leading NULs are skipped
      {"\r\r\n", {"\r", "\r\n"}},
      {"a\tb\n", {"a\tb\n"}},      // TAB is text
      {"ab\x01" "cd\n", {"ab\x01", "cd\n"}},
      {"\x82\xa0\x82\xa2\r\n", {"\x82\xa0\x82\xa2\r\n"}},  // double-byte text stays whole
  };
  for (const auto& row : table) {
    Send(row.wire);
    for (const auto& want : row.lines) {
      const Read r = ReadLine(256);
      EXPECT_TRUE(r.ok) << want;
      EXPECT_EQ(r.bytes, want);
    }
  }
}

TEST_F(KwxPort, ALineLongerThanItsAreaStopsShortOfItsEnd) {
  Send(std::string(300, 'x') + "\r\n");
  const Read r = ReadLine(256);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(port.Error(), 80203);
  EXPECT_EQ(r.bytes, std::string(248, 'x'));
  // A room too small to hold anything is refused before any byte is taken.
  const Read tiny = ReadLine(8);
  EXPECT_FALSE(tiny.ok);
  EXPECT_EQ(tiny.bytes, "");
}

TEST_F(KwxPort, AStopEndsAReadByItsReason) {
  struct {
    int32_t reason;
    int32_t code;
  } table[] = {{10, 80202}, {0, 80202}, {1130, 21130}};
  for (const auto& row : table) {
    port.RequestStop(row.reason);
    abort.Set();
    EXPECT_FALSE(ReadLine(256).ok);
    EXPECT_EQ(port.Error(), row.code) << row.reason;
    EXPECT_EQ(port.StopReason(), 0);  // recording clears it
    EXPECT_TRUE(port.TakeStopRequest());
    EXPECT_FALSE(port.TakeStopRequest());
  }
}

// The states built over a port of their own (closed: no line is needed).
struct KwxStates : ::testing::Test {
  kwxsignup::CKWXfront front;
  qv::Event abort{qv::Event::Mode::AutoReset}, flow{qv::Event::Mode::ManualReset, true};
  CSerialPort port{abort, flow};
  kwxsignup::CModem modem{port};
  seriallink::LineSplitter splitter{seriallink::Dialect::Signup};
  kwxsignup::StateContext context{port, modem, splitter, front};
  std::vector<std::unique_ptr<kwxsignup::CKwxState>> states = kwxsignup::BuildStates(context);
};

// kwxDisconnect before the worker's first step: the session ends without a
// call, whatever an earlier session left in the first state's result.
TEST_F(KwxStates, AStopBeforeTheFirstStepEndsWithoutACall) {
  ASSERT_EQ(states.size(), 12u);
  kwxsignup::CKwxState& first = *states[1];
  ASSERT_EQ(first.Id(), 1000);
  first.SetResult(0);  // as a successful dial left it
  first.abort(10);
  EXPECT_EQ(first.Result(), 1);
  EXPECT_EQ(first.getNext(), states[0].get());
  EXPECT_EQ(first.getNext()->Id(), 0);
  EXPECT_TRUE(first.getNext()->IsFinal());
  EXPECT_EQ(port.Error(), 90012);
}

TEST_F(KwxStates, WiredAsTheSignupGraph) {
  auto id = [&](int index) { return states[static_cast<size_t>(index)]->Id(); };
  for (int i = 1; i <= 11; ++i) EXPECT_EQ(id(i), 999 + i);
  // result → successor id, by state: success, abort, deadline, error, line lost, far end.
  struct {
    int32_t state;
    std::vector<std::pair<int32_t, int32_t>> next;
  } table[] = {
      {1000, {{0, 1001}, {1, 0}, {3, 0}}},
      {1001, {{0, 1002}, {1, 1007}, {2, 1008}, {3, 1009}, {5, 1010}}},
      {1002, {{0, 1003}, {1, 1009}, {2, 1008}, {3, 1009}, {5, 1010}}},
      {1003, {{0, 1004}, {1, 1007}, {2, 1008}, {3, 1009}, {5, 1010}}},
      {1004, {{0, 1002}, {4, 1005}, {2, 1008}, {3, 1009}, {5, 1010}}},
      {1005, {{0, 0}, {2, 1008}, {5, 1010}}},
      {1006, {{0, 1007}, {5, 1010}}},
      {1007, {{0, 0}, {2, 1008}, {5, 1010}}},
      {1008, {{0, 0}, {3, 0}}},
      {1009, {{0, 0}, {2, 1008}}},
      {1010, {{0, 0}}},
  };
  for (const auto& row : table) {
    kwxsignup::CKwxState& s = *states[static_cast<size_t>(row.state - 999)];
    for (auto [result, next] : row.next) {
      s.SetResult(result);
      EXPECT_EQ(s.getNext()->Id(), next) << row.state << " result " << result;
    }
  }
  EXPECT_TRUE(states[3]->WaitsForCaller());
  for (int i : {3, 4, 5, 7}) EXPECT_TRUE(states[static_cast<size_t>(i)]->IsOnline()) << id(i);
  for (int i : {1, 2, 6, 8, 9, 10, 11}) EXPECT_FALSE(states[static_cast<size_t>(i)]->IsOnline()) << id(i);
}

TEST(KwxTraceLog, WritesOnlyWhenBothMasksPass) {
  qvtest::TempDir dir;
  auto files = [&] {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) names.push_back(e.path().filename());
    return names;
  };
  kwxsignup::CTraceLog silent(dir.path(), "kwx.log");
  silent.Write(kwxsignup::CTraceLog::kStep, 1002, "kick");
  silent.Write(kwxsignup::CTraceLog::kInfo, "worker start");
  EXPECT_TRUE(files().empty());

  kwxsignup::CTraceLog steps(dir.path(), "kwx.log", kwxsignup::CTraceLog::kStep, kwxsignup::CTraceLog::kStep);
  steps.Write(kwxsignup::CTraceLog::kStep, 1002, "kick");
  steps.Write(kwxsignup::CTraceLog::kStep, 1003, 5);
  steps.Write(kwxsignup::CTraceLog::kInfo, "not this one");
  const std::time_t now = std::time(nullptr);
  std::tm day{};
  localtime_r(&now, &day);
  ASSERT_EQ(files(), std::vector<std::string>{steps.FileFor(day).filename()});
  char expectedName[32];
  std::snprintf(expectedName, sizeof expectedName, "%04d%02d%02dkwx.log", day.tm_year + 1900, day.tm_mon + 1, day.tm_mday);
  EXPECT_EQ(files().front(), expectedName);
  const std::string text = qvtest::ReadFile(steps.FileFor(day));
  EXPECT_NE(text.find("][Index:00001002][kick]\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("][Index:00001003][5]\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("not this one"), std::string::npos);
  EXPECT_EQ(text[0], '[');
}

}  // namespace
