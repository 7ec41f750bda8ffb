// The exports of the built KWX.so: what they answer without a session, the
// own number and the receive buffer during one, the number query, the
// version, and the trace log that writes nothing.
#include "KwxHarness.h"

#include "platform/Version.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace std::chrono_literals;
using handsetsim::SimConfig;
using kwxtest::Describe;
using kwxtest::Ev;
using kwxtest::Session;

namespace {

TEST(KwxExports, EveryNameThePluginBindsIsThere) {
  for (const char* name : kwxtest::kPluginNames) EXPECT_NE(kwxtest::LoadedModule().Symbol(name), nullptr) << name;
}

TEST(KwxExports, AnswersWithoutASession) {
  Session s;
  auto& api = s.api();
  EXPECT_EQ(api.kwxConnectSignup(), 1);  // the call is kwxInitial's
  EXPECT_EQ(api.kwxTerminate(), 1);
  EXPECT_EQ(api.kwxGetState(), 0);
  EXPECT_EQ(api.kwxGetErrorCode(0, 0), 0);
  EXPECT_EQ(api.kwxGetReceiveBufferSize(0), 6144);
  EXPECT_EQ(api.kwxTestPort(100), 0);
  EXPECT_EQ(api.kwxTestPort(-1), 0);
  char buf[40];
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(api.kwxGetParam(0, buf, 36), 0);  // no own number yet
  EXPECT_EQ(std::string(buf, 37), std::string(36, '\0') + "#");
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(api.kwxGetParam(0, buf, 0), 0);
  EXPECT_EQ(buf[0], '#');
  EXPECT_EQ(api.kwxGetParam(1, buf, 8), 0);
  EXPECT_EQ(std::string(buf, 9), std::string(8, '\0') + "#");
  EXPECT_EQ(api.kwxSetParam(1, 1), 0);  // no port named before the first call
  EXPECT_EQ(api.kwxSetParam(4, 1), 0);
  EXPECT_EQ(api.kwxResumeTxRx(0, 0, 0), 0);
  EXPECT_EQ(api.kwxGetErrorCode(0, 0), 80303);
  // The entries this module does not run.
  EXPECT_EQ(api.kwxAsyncSendCMail(1, 2), 0);
  EXPECT_EQ(api.kwxAsyncSendSMail(1, 2), 0);
  EXPECT_EQ(api.kwxAsyncReceiveSMail(1, 2), 0);
  EXPECT_EQ(api.kwxConnectCMail(1), 0);
  EXPECT_EQ(api.kwxConnectSMail("09011112222", "x", 1), 0);
  EXPECT_EQ(api.kwxRingResponse(1), 0);
  EXPECT_EQ(api.kwxAsyncGetMailList(1), 0);
  EXPECT_EQ(api.kwxAsyncReceiveCMail(1), 0);
  EXPECT_EQ(api.kwxAsyncPurgeCMail(1), 0);
  int32_t size = 0;
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(api.kwxAsyncGetBuffer(buf, &size), 1);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(buf[0], '#');
  // Nothing of that touched a port or told a window anything.
  EXPECT_EQ(s.sim().Record().connections, 0);
  EXPECT_TRUE(s.Events().empty()) << Describe(s.Events());
  EXPECT_EQ(api.kwxGetState(), 0);
}

TEST(KwxExports, VersionComesFromTheModulesOwnBlock) {
  char out[40];
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(kwxtest::Api().kwxGetDllVersion(out), 1);
  const auto version = qv::ReadVersionValue(kwxtest::ModulePath(), "ProductVersion");
  ASSERT_TRUE(version.has_value());
  EXPECT_STREQ(out, version->c_str());
  EXPECT_EQ(std::string(out, 36), *version + std::string(36 - version->size(), '\0'));
  EXPECT_EQ(out[36], '#');
  EXPECT_EQ(qv::ReadVersionValue(kwxtest::ModulePath(), "ProductName"), "KWX");
}

TEST(KwxExports, TestPortOpensAFreePortAndKnowsItsOwn) {
  Session s;
  EXPECT_EQ(s.api().kwxTestPort(Session::kPort), 1);
  EXPECT_TRUE(s.sim().WaitUntil([](const auto& r) { return r.connections == 1 && !r.hostConnected; }, 5s));
  ASSERT_EQ(s.Init(), 1);
  ASSERT_TRUE(s.WaitFor({1, 3}));
  // The session's own port, by either name, without a second open.
  EXPECT_EQ(s.api().kwxTestPort(Session::kPort), 1);
  EXPECT_EQ(s.sim().Record().connections, 2);
  EXPECT_EQ(s.sim().Record().refused, 0);
  s.api().kwxDisconnect(10);
  EXPECT_TRUE(s.WaitIdle());
}

TEST(KwxExports, OwnNumberIsHandedOutOnlyWithRoomForItsNul) {
  struct {
    const char* handset;
    int32_t size;
    int32_t result;
    std::string text;
  } table[] = {
      {"0701234567", 5, 0, ""},  // ten digits into five bytes: nothing, cleared
      {"0701234567", 10, 0, ""},
      {"0701234567", 11, 1, "0701234567"},
      {"0701234567", 36, 1, "0701234567"},
      {"7012345678", 36, 0, ""},  // a number must begin with 0
      {"0123456789012345678901234567890123456789", 64, 0, ""},  // longer than the 35 bytes kept
  };
  for (const auto& row : table) {
    SCOPED_TRACE(std::string(row.handset) + " into " + std::to_string(row.size));
    SimConfig c;
    c.ownNumber = row.handset;
    Session s(c);
    ASSERT_EQ(s.Init(), 1);
    ASSERT_TRUE(s.WaitFor({1, 3}));
    std::vector<char> buf(static_cast<size_t>(row.size) + 4, '#');
    EXPECT_EQ(s.api().kwxGetParam(0, buf.data(), row.size), row.result);
    std::string want = row.text;
    want.resize(static_cast<size_t>(row.size), '\0');
    EXPECT_EQ(std::string(buf.data(), static_cast<size_t>(row.size)), want);
    EXPECT_EQ(buf[static_cast<size_t>(row.size)], '#');
    s.api().kwxDisconnect(0);
    EXPECT_TRUE(s.WaitIdle());
  }
}

TEST(KwxExports, ReceiveBufferHandsOutNoMoreThanTheCallerHasRoomFor) {
  SimConfig c;
  const std::string page = std::string(7000, 'p') + "\r\n";
  c.signupPages = {page};
  Session s(c);
  ASSERT_EQ(s.Init(), 1);
  std::vector<std::string> taken;
  std::vector<bool> canaries;
  ASSERT_TRUE(s.Drive([&](const Ev& ev) {
    if (ev == Ev{1, 3}) s.api().kwxAsyncSendSignup("REQ\r\n", 5);
    if (ev == Ev{1, 4} || ev == Ev{1, 2}) {
      // A caller with room for 100 bytes: 100 are copied, the rest of the part goes.
      char buf[104];
      std::memset(buf, '#', sizeof buf);
      int32_t size = 100;
      EXPECT_EQ(s.api().kwxAsyncGetBuffer(buf, &size), 1);
      taken.emplace_back(buf, static_cast<size_t>(size));
      canaries.push_back(std::string(buf + 100, 4) == "####");
      if (ev == Ev{1, 2}) {
        // The last part: nothing comes after it, so a second call finds the buffer cleared.
        int32_t again = 100;
        s.api().kwxAsyncGetBuffer(buf, &again);
        EXPECT_EQ(again, 0);
      }
    }
    if (ev == Ev{1, 1}) s.api().kwxDisconnect(0);
  })) << Describe(s.Events());
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[0], std::string(100, 'p'));
  EXPECT_EQ(taken[1], std::string(100, 'p'));
  EXPECT_EQ(canaries, (std::vector<bool>{true, true}));
}

TEST(KwxExports, TheOwnNumberQueryNeedsNoCall) {
  struct {
    const char* name;
    bool q2;
  } table[] = {{"#Q2", true}, {"I6 when #Q2 is refused", false}};
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    SimConfig c;
    c.q2Supported = row.q2;
    Session s(c);
    char out[40];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(s.api().kwxGetTelNumber("\\\\.\\COM6", 115200, out), 1);
    EXPECT_EQ(std::string(out), "07012345678");
    EXPECT_EQ(out[36], '#');
    const auto r = s.sim().Record();
    EXPECT_TRUE(r.dialled.empty());
    EXPECT_EQ(r.atCommands.back(), row.q2 ? "#Q2" : "I6");
    EXPECT_TRUE(s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected; }, 5s));
    EXPECT_TRUE(s.Events().empty()) << Describe(s.Events());
  }
}

// kwxSetParam(1, v) sends "AT@B" + v to the handset on the port the last
// call named, opened for it and closed again, whenever no session has it.
TEST(KwxExports, TheBillingSettingReachesTheHandsetWheneverNoSessionHasThePort) {
  struct {
    const char* name;
    bool session;  // a session first, else the own-number query
    int32_t value;
    std::string answer;  // the handset's to the command; "" its own
    int32_t result, error;
  } table[] = {
      {"after a session, off", true, 0, "", 1, 0},
      {"after the own-number query, on", false, 1, "", 1, 0},
      {"refused by the handset", true, 1, "\r\nERROR\r\n", 0, 80008},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    const std::string command = row.value ? "@B1" : "@B0";
    SimConfig c;
    if (!row.answer.empty()) c.atAnswers[command] = row.answer;
    Session s(c);
    auto& api = s.api();
    if (row.session) {
      ASSERT_EQ(s.Init(), 1);
      ASSERT_TRUE(s.WaitFor({1, 3}));
      api.kwxDisconnect(0);
      ASSERT_TRUE(s.WaitFor({8, 1}));
      ASSERT_TRUE(s.WaitIdle());
    } else {
      char out[36];
      ASSERT_EQ(api.kwxGetTelNumber("\\\\.\\COM6", 115200, out), 1);
    }
    ASSERT_TRUE(s.sim().WaitUntil([](const auto& r) { return !r.hostConnected; }, 5s));
    const size_t events = s.Events().size();
    const int connections = s.sim().Record().connections;

    EXPECT_EQ(api.kwxSetParam(1, row.value), row.result);
    if (row.error) {
      EXPECT_EQ(api.kwxGetErrorCode(0, 0), row.error);
    }
    const auto r = s.sim().Record();
    EXPECT_EQ(r.connections, connections + 1);
    EXPECT_EQ(r.atCommands.back(), command);
    EXPECT_TRUE(s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected; }, 5s)) << "the port is let go";
    EXPECT_EQ(s.Events().size(), events) << "nothing is posted: " << Describe(s.Events());
    EXPECT_EQ(api.kwxGetState(), 0);
  }
}

TEST(KwxExports, ASessionWritesNoTraceFile) {
  auto traceFiles = [](const std::filesystem::path& dir) {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir))
      if (e.path().filename().string().ends_with("kwx.log")) ++n;
    return n;
  };
  const auto cwd = std::filesystem::current_path();
  const auto moduleDir = kwxtest::ModulePath().parent_path();
  const int before = traceFiles(cwd) + traceFiles(moduleDir);
  Session s;
  ASSERT_EQ(s.Init(), 1);
  kwxtest::Caller caller(s, {});
  ASSERT_TRUE(s.Drive(std::ref(caller))) << Describe(s.Events());
  EXPECT_EQ(traceFiles(cwd) + traceFiles(moduleDir), before);
}

}  // namespace
