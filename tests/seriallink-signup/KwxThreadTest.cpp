// The module's threads: one worker at a time and the calls that would share
// its port refused while it runs; a worker that has ended is joined by the
// next call; the ring thread ends on kwxDisconnect, on a ring or before a
// session; unloading the module joins every thread.
#include "KwxHarness.h"

#include "platform/CommPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

using namespace std::chrono_literals;
using handsetsim::SimConfig;
using kwxtest::Describe;
using kwxtest::Ev;
using kwxtest::Session;

namespace {

// Runs a session to its first wait and stops it there.
void RunAndStop(Session& s) {
  ASSERT_EQ(s.Init(), 1);
  ASSERT_TRUE(s.WaitFor({1, 3}));
  s.api().kwxDisconnect(0);
  ASSERT_TRUE(s.WaitFor({8, 1}));
  ASSERT_TRUE(s.WaitIdle());
}

TEST(KwxThreads, CallsThatNeedThePortAreRefusedWhileASessionRuns) {
  Session s;
  ASSERT_EQ(s.Init(), 1);
  ASSERT_TRUE(s.WaitFor({1, 3}));
  auto& api = s.api();
  KwxInitialParam other = s.param;
  std::snprintf(other.OnlineSignUpPhoneNo, sizeof other.OnlineSignUpPhoneNo, "0000000000");
  struct {
    const char* name;
    std::function<int32_t()> call;
  } table[] = {
      {"kwxInitial", [&] { return api.kwxInitial(s.window().id(), &other); }},
      {"kwxGetTelNumber", [&] {
         char out[36];
         return api.kwxGetTelNumber("\\\\.\\COM6", 115200, out);
       }},
      {"kwxSetParam(1)", [&] { return api.kwxSetParam(1, 1); }},
      {"kwxWaitForRing", [&] { return api.kwxWaitForRing(); }},
  };
  for (const auto& row : table) {
    EXPECT_EQ(row.call(), 0) << row.name;
    EXPECT_EQ(api.kwxGetErrorCode(0, 0), 90019) << row.name;
  }
  // The running session goes on as if nothing had been asked.
  EXPECT_EQ(api.kwxGetState(), 1002);
  ASSERT_EQ(api.kwxAsyncSendSignup(kwxtest::kFirstMessage.data(), kwxtest::Size(kwxtest::kFirstMessage)), 1);
  ASSERT_TRUE(s.WaitFor({1, 1}));
  api.kwxDisconnect(0);
  ASSERT_TRUE(s.WaitFor({8, 1}));
  const auto r = s.sim().Record();
  EXPECT_EQ(r.connections, 1);
  EXPECT_EQ(r.dialled, std::vector<std::string>{"0570009999,00"});
  EXPECT_EQ(r.signupRequests, std::vector<std::string>{kwxtest::kFirstMessage});
  EXPECT_EQ(r.closeCodes, std::vector<std::string>{"0000"});
  EXPECT_FALSE(seriallinktest::Contains(s.Events(), {10, 19})) << Describe(s.Events());
}

TEST(KwxThreads, ANewCallRightAfterTheEndStartsAtOnce) {
  struct {
    const char* name;
    bool fromTheEndEvent;  // called within the end event, on the worker's own thread
  } table[] = {{"after the end event", false}, {"from within the end event", true}};
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    Session s;
    std::atomic<int32_t> again{-1};
    std::atomic<int> ends{0};
    s.window().SetHook([&](const Ev& ev) {
      if (ev == Ev{8, 1} && ends.fetch_add(1) == 0 && row.fromTheEndEvent) again = s.Init();
    });
    ASSERT_EQ(s.Init(), 1);
    ASSERT_TRUE(s.WaitFor({1, 3}));
    s.api().kwxDisconnect(0);
    ASSERT_TRUE(s.WaitFor({8, 1}));
    if (!row.fromTheEndEvent) again = s.Init();
    EXPECT_EQ(again.load(), 1);
    ASSERT_TRUE(s.WaitFor({1, 3}));  // the second call's first wait
    s.api().kwxDisconnect(0);
    ASSERT_TRUE(s.WaitFor({8, 1}));
    EXPECT_TRUE(s.WaitIdle());
    EXPECT_EQ(s.sim().Record().dialled.size(), 2u);
  }
}

TEST(KwxThreads, RingWaitEndsOnStopOnARingAndBeforeASession) {
  SimConfig c;
  c.ringIndicatorMs = 300;
  Session s(c);
  RunAndStop(s);  // kwxInitial gave the module its port
  auto& api = s.api();
  auto portHeld = [&](bool held) {
    return s.sim().WaitUntil([&](const auto& r) { return r.hostConnected == held; }, 5s);
  };

  // Stopped by kwxDisconnect.
  ASSERT_EQ(api.kwxWaitForRing(), 1);
  ASSERT_TRUE(portHeld(true));
  EXPECT_EQ(s.sim().Record().atCommands.back(), "@R0:1");
  EXPECT_EQ(api.kwxTestPort(Session::kPort), 1);
  EXPECT_EQ(api.kwxGetState(), 0);  // no session
  api.kwxDisconnect(10);
  EXPECT_TRUE(portHeld(false));

  // Ended by a ring: the line is taken and the port let go.
  ASSERT_EQ(api.kwxWaitForRing(), 1);
  ASSERT_TRUE(portHeld(true));
  ASSERT_TRUE(s.sim().WaitUntil([](const auto& r) { return r.atCommands.back() == "@R0:1"; }, 5s));
  handsetsim::IncomingCall call;
  call.kind = handsetsim::CallKind::Other;
  s.sim().Ring(call);
  EXPECT_TRUE(s.sim().WaitUntil([](const auto& r) { return r.rings == 1; }, 5s));
  EXPECT_TRUE(portHeld(false));
  {
    // The ring is over once the handset lowers its RING line again.
    qv::CommPort look;
    ASSERT_TRUE(look.Open("\\\\.\\COM6"));
    uint32_t lines = 0;
    for (int i = 0; i < 5000 && (!look.GetModemStatus(lines) || lines != 0x30); ++i) std::this_thread::sleep_for(1ms);
    EXPECT_EQ(lines, 0x30u);
  }
  ASSERT_TRUE(portHeld(false));

  // Ended by the next session, which then runs.
  ASSERT_EQ(api.kwxWaitForRing(), 1);
  ASSERT_TRUE(portHeld(true));
  const size_t before = s.Events().size();
  ASSERT_EQ(s.Init(), 1);
  ASSERT_TRUE(s.WaitFor({1, 3})) << Describe(s.Events());
  const auto events = s.Events();
  EXPECT_EQ(std::vector<Ev>(events.begin() + static_cast<long>(before), events.end()),
            (std::vector<Ev>{{0, 6}, {0, 1}, {0, 2}, {1, 3}}));
  api.kwxDisconnect(0);
  ASSERT_TRUE(s.WaitFor({8, 1}));
  EXPECT_TRUE(s.WaitIdle());
  EXPECT_EQ(s.sim().Record().dialled.size(), 2u);
}

// A module of the test's own, loaded from a copy of its file so that
// unloading it really ends it.
struct OwnModule {
  qvtest::TempDir dir;
  qv::Module module;
  KwxInitialFn initial = nullptr;
  KwxVoidFn waitForRing = nullptr;
  explicit OwnModule(int clockRate) {
    std::filesystem::copy_file(kwxtest::ModulePath(), dir / "KWX.so");
    EXPECT_TRUE(module.Load((dir / "KWX.so").string())) << module.Error();
    initial = module.Function<KwxInitialFn>("kwxInitial");
    waitForRing = module.Function<KwxVoidFn>("kwxWaitForRing");
    module.Function<void (*)(int32_t)>("KwxTestSetClockRate")(clockRate);
  }
};

TEST(KwxThreads, UnloadingJoinsARunningSession) {
  Session s;  // the handset and the window; the module is the test's own
  OwnModule own(Session::DefaultClockRate());
  ASSERT_EQ(own.initial(s.window().id(), &s.param), 1);
  ASSERT_TRUE(s.WaitFor({1, 3}));
  own.module.Unload();  // returns once the worker has closed the call
  const auto r = s.sim().Record();
  EXPECT_EQ(r.closeCodes, std::vector<std::string>{"0000"});
  EXPECT_TRUE(s.sim().WaitUntil([](const auto& rec) { return !rec.hostConnected; }, 5s));
  EXPECT_EQ(s.Events().back(), (Ev{8, 1})) << Describe(s.Events());
}

TEST(KwxThreads, UnloadingJoinsAWaitingRingThread) {
  Session s;
  OwnModule own(Session::DefaultClockRate());
  ASSERT_EQ(own.initial(s.window().id(), &s.param), 1);
  ASSERT_TRUE(s.WaitFor({1, 3}));
  own.module.Function<KwxIntFn>("kwxDisconnect")(0);
  ASSERT_TRUE(s.WaitFor({8, 1}));
  auto getState = own.module.Function<KwxVoidFn>("kwxGetState");
  while (getState() != 0) std::this_thread::sleep_for(5ms);
  ASSERT_EQ(own.waitForRing(), 1);
  ASSERT_TRUE(s.sim().WaitUntil([](const auto& r) { return r.hostConnected; }, 5s));
  own.module.Unload();
  EXPECT_TRUE(s.sim().WaitUntil([](const auto& r) { return !r.hostConnected; }, 5s));
}

}  // namespace
