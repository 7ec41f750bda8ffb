// The exports' edge cases, through the built module and through a module
// object of the test's own where the inside must be seen.
#include "Portvine.h"
#include "SessionHarness.h"
#include "seriallink/common/CallerData.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <atomic>
#include <memory>

using namespace std::string_literals;
using seriallinktest::Exports;
using seriallinktest::LoadedModule;
using seriallinktest::Session;

namespace {

Exports& Api() {
  static Exports api(LoadedModule());
  return api;
}

TEST(DecimalWireForm, ConversionsBothWays) {
  auto& api = Api();
  EXPECT_EQ(api.DDDtoByte("9x9"), 909);
  EXPECT_EQ(api.DDDtoByte("255"), 255);
  EXPECT_EQ(api.DDDtoByte("999"), 999);
  EXPECT_EQ(api.DDDtoByte("abc"), 0);
  char out[8];
  std::memset(out, '#', sizeof out);
  api.BytetoDDD(7, out);
  EXPECT_EQ(std::string(out, 5), "007\0#"s);
  api.BytetoDDD(0x1FF, out);  // the low 8 bits
  EXPECT_STREQ(out, "255");

  const uint8_t two[] = {0x01, 0xFF};
  char digits[800];
  EXPECT_EQ(api.BintoStrDDD(two, 2, digits), 6);
  EXPECT_STREQ(digits, "001255");
  EXPECT_EQ(api.BintoStrDDD(two, -1, digits), 0);
  EXPECT_EQ(api.BintoStrDDD(two, 0, digits), 0);
  EXPECT_STREQ(digits, "");
  std::vector<uint8_t> many(300, 0xAB);
  std::vector<char> longOut(300 * 3 + 8, '#');
  EXPECT_EQ(api.BintoStrDDD(many.data(), 300, longOut.data()), 741);
  EXPECT_EQ(longOut[741], '\0');
  EXPECT_EQ(longOut[742], '#');

  uint8_t bytes[260];
  std::memset(bytes, 0xEE, sizeof bytes);
  EXPECT_EQ(api.StrDDDtoBin("001255", bytes), 2);
  EXPECT_EQ(bytes[0], 0x01);
  EXPECT_EQ(bytes[1], 0xFF);
  EXPECT_EQ(bytes[2], 0xEE);
  EXPECT_EQ(api.StrDDDtoBin("12", bytes), 1);
  EXPECT_EQ(bytes[0], 120);  // a short group is completed with zeros
  EXPECT_EQ(api.StrDDDtoBin("", bytes), 0);
  std::string huge(900, '1');
  EXPECT_EQ(api.StrDDDtoBin(huge.c_str(), bytes), 247);  // at most 741 characters
  EXPECT_EQ(bytes[247], 0xEE);
}

TEST(DecimalWireForm, ControlCodesBecomeBlanks) {
  std::vector<uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  Api().ExCodeToSPC(all.data(), 256);
  for (int i = 0; i < 256; ++i) {
    const bool blanked = (i >= 0x08 && i <= 0x0F && i != 0x0C) || (i >= 0x80 && i <= 0x8F && i != 0x87) ||
                         (i >= 0x91 && i <= 0x95) || (i >= 0x98 && i <= 0x9D) || (i >= 0xE0 && i <= 0xEF);
    EXPECT_EQ(all[static_cast<size_t>(i)], blanked ? 0x20 : i) << i;
  }
  uint8_t one = 0x08;
  Api().ExCodeToSPC(&one, 0);
  EXPECT_EQ(one, 0x08);
}

TEST(Exports, QueriesBeforeAnySession) {
  Session s;
  auto& api = s.api();
  EXPECT_EQ(api.kwxGetState(), 0);
  EXPECT_EQ(api.kwxGetErrorCode(0, 0), 0);
  EXPECT_EQ(api.kwxGetReceiveBufferSize(0), 6144);
  char buf[64];
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(api.kwxGetParam(0, buf, 36), 1);
  EXPECT_EQ(std::string(buf, 37), std::string(36, '\0') + "#");
  EXPECT_EQ(api.kwxGetParam(0, buf, 0), 0);
  EXPECT_EQ(api.kwxGetParam(7, buf, 36), 0);
  for (int id : {1, 4, 5}) EXPECT_EQ(api.kwxGetParam(id, buf, 36), 0) << id;
  for (int id : {2, 3, 6}) EXPECT_EQ(api.kwxGetParam(id, buf, 36), 1) << id;
  EXPECT_EQ(api.kwxTestPort(100), 0);
  EXPECT_EQ(s.sim().Record().connections, 0);
  EXPECT_EQ(api.kwxSetParam(4, 1), 0);  // before the first session
  EXPECT_EQ(api.kwxSetParam(5, 1), 0);
  EXPECT_EQ(api.kwxSetParam(1, 1), 0);  // no modem yet
  EXPECT_EQ(api.kwxSetParam(2, 1), 0);
  EXPECT_EQ(api.kwxRingResponse(1), 0);
  EXPECT_EQ(api.kwxResumeTxRx(0, 0, 0), 0);
  EXPECT_EQ(api.kwxGetErrorCode(0, 0), 80303);
  EXPECT_EQ(api.kwxAsyncSendEMail("x", 0), 0);
  EXPECT_EQ(api.kwxGetErrorCode(0, 0), 90033);
  // The receive buffer handed out with a size of 0: nothing copied, 0 kept.
  int32_t size = 0;
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(api.kwxAsyncGetBuffer(buf, &size), 1);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(buf[0], '#');
  char version[36];
  EXPECT_EQ(api.kwxGetDllVersion(version), 1);
  EXPECT_STREQ(version, "0.1.0.0");
}

TEST(Exports, TheOpenPortAnswersThePortTestByItsNumberInAnyForm) {
  // Every port entry is a plain file, which never opens as a port: a 1 can
  // only come from the module's own open port.
  qvtest::TempDir ports;
  ::setenv("QUORVEL_PORTS", ports.path().c_str(), 1);
  for (int n : {5, 6}) qvtest::WriteFile(ports / ("COM" + std::to_string(n)), "");
  struct Case {
    int32_t number;
    const char* openName;
    int32_t answer;
  } cases[] = {
      {5, "\\\\.\\COM5", 1},    {5, "COM5", 1},       {5, "\\\\.\\COM0005", 1},
      {5, "com005", 1},           {6, "\\\\.\\COM0005", 0}, {5, "", 0},
      {5, "\\\\.\\COM0005x", 0}, {100, "COM100", 0},    {-1, "COM5", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(seriallink::TestComPort(c.number, c.openName), c.answer) << c.number << " " << c.openName;
  ::unsetenv("QUORVEL_PORTS");
}

TEST(Exports, TracesAndTheLogReachTheCallback) {
  Session s;
  auto& api = s.api();
  s.Init();
  EXPECT_EQ(api.kwxTerminate(), 1);
  api.kwxLogWrite("%s=%d", "count", 42);
  api.kwxLogWrite("%s", std::string(400, 'z').c_str());
  auto traces = s.Traces();
  const std::vector<std::string> expected = {"cmn->Callback Ready", "Entering kwxInitial()",    "Exiting  kwxInitial()",
                                             "Entering kwxTerminate()", "Exiting  kwxTerminate()", "count=42",
                                             std::string(255, 'z')};
  EXPECT_EQ(traces, expected);
  // The parameter ids 4 and 5 work once a session was started.
  EXPECT_EQ(api.kwxConnectEMail(0, 0), 1);  // ends at once: nothing to send
  EXPECT_TRUE(s.WaitIdle());
  EXPECT_EQ(api.kwxSetParam(4, 1), 1);
  EXPECT_EQ(api.kwxSetParam(5, 1), 1);
}

TEST(Exports, OwnNumberWithoutASession) {
  handsetsim::SimConfig c;
  c.ownNumber = "08011112222";
  Session s(c);
  char out[36];
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(s.api().kwxGetTelNumber("\\\\.\\COM5", 115200, out), 1);
  EXPECT_EQ(std::string(out, 36), "08011112222" + std::string(25, '\0'));
  EXPECT_EQ(s.sim().Record().atCommands, (std::vector<std::string>{"", "E0", "@R1:1", "#Q2"}));
  EXPECT_TRUE(s.sim().WaitUntil([](const auto& r) { return !r.hostConnected; }, std::chrono::seconds(5)));
  EXPECT_EQ(s.api().kwxGetTelNumber("C5", 115200, out), 0);  // 90001
  EXPECT_EQ(s.api().kwxGetErrorCode(0, 0), 90001);
}

TEST(Exports, OverlongOwnNumberCountsAsNone) {
  handsetsim::SimConfig c;
  c.ownNumber = std::string(60, '0');
  Session s(c);
  char out[36];
  std::memset(out, '#', sizeof out);
  s.api().kwxGetTelNumber("COM5", 115200, out);
  EXPECT_EQ(std::string(out, 36), std::string(36, '\0'));
}

TEST(Exports, VersionComesFromTheSignupModuleBesideTheLauncher) {
  qvtest::TempDir dir;
  qvtest::ScopedLauncherDir launcher(dir.path());
  qvtest::WriteFile(dir / "KWX.so", "\x7f" "ELF..\x01QVVERSIONINFO\x01ProductVersion=" + std::string(50, '7') + "\0\0"s);
  char version[40];
  std::memset(version, '#', sizeof version);
  EXPECT_EQ(Api().kwxGetDllVersion(version), 1);
  EXPECT_EQ(std::string(version, 37), std::string(35, '7') + "\0#"s);
}

// Inside the module object.
TEST(ModuleObject, DestinationAndIdsAreReadOnlyUpToTheirNul) {
  auto module = std::make_unique<portvine::Portvine>();
  // Without a port the session ends at once; the next may start after it.
  auto waitIdle = [&] {
    for (int i = 0; i < 2000 && module->GetState(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return module->GetState() == 0;
  };
  // Exactly as long as the caller's strings: reading further would overrun.
  auto dest = std::make_unique<char[]>(12);
  std::memcpy(dest.get(), "09012345678", 12);
  module->ConnectSMail(dest.get(), "x", 1);
  EXPECT_EQ(module->Status().Destination(), "09012345678");
  ASSERT_TRUE(waitIdle());
  std::string longNumber(50, '9');
  module->ConnectSMail(longNumber.c_str(), "x", 1);
  EXPECT_EQ(module->Status().Destination(), std::string(35, '9'));
  ASSERT_TRUE(waitIdle());
  auto id = std::make_unique<char[]>(4);
  std::memcpy(id.get(), "AB1", 4);
  module->AsyncGetEMail(id.get());
  EXPECT_EQ(module->Status().Operation().mailId, "AB1");
  std::string longId(40, 'I');
  module->PurgeEMail(longId.c_str());
  EXPECT_EQ(module->Status().Operation().operation, portvine::kOpPurge);
  EXPECT_EQ(module->Status().Operation().mailId, std::string(28, 'I'));
  module->AsyncGetEMailList(7);
  EXPECT_EQ(module->Status().Operation().parameter, 7);
}

TEST(ModuleObject, EverySessionKindHasItsGraph) {
  portvine::Portvine module;
  for (int32_t kind = 0; kind <= 6; ++kind) EXPECT_TRUE(module.Engine().KindAvailable(kind)) << kind;
  EXPECT_FALSE(module.Engine().KindAvailable(7));
}

TEST(ModuleObject, InfoDataIsCutTo1023BytesAndAZero) {
  portvine::Portvine module;
  std::string big(2000, 'd');
  EXPECT_EQ(module.SetInfo(big.data(), 2000, 1), 1);
  auto& st = module.Status();
  EXPECT_EQ(st.InfoLength(), 1024);
  EXPECT_EQ(st.InfoOperation(), 1);
  std::vector<char> out(1100, '#');
  EXPECT_EQ(st.GetInfoData(out.data(), 2000), 1023);
  EXPECT_EQ(std::string(out.data(), 1023), std::string(1023, 'd'));
  EXPECT_EQ(out[1023], '#');
  // A short read stops after the first NUL.
  module.SetInfo("ab\0cd", 5, 5);
  EXPECT_EQ(st.InfoLength(), 5);
  EXPECT_EQ(st.InfoOperation(), 5);
  std::fill(out.begin(), out.end(), '#');
  EXPECT_EQ(st.GetInfoData(out.data(), 5), 3);
  EXPECT_EQ(std::string(out.data(), 4), "ab\0#"s);
  module.SetInfo("x", -3, 1);
  EXPECT_EQ(st.InfoLength(), 0);
  EXPECT_EQ(module.SetCategory(5), 1);
  EXPECT_EQ(st.InfoCategory(), 5);
  EXPECT_EQ(st.InfoOperation(), 4);
}

TEST(ModuleObject, ReceiveBufferHandOver) {
  portvine::ReceiveBuffer rb;
  std::string data = "hello world";
  rb.Store(data.data(), data.size());
  char out[32];
  std::memset(out, '#', sizeof out);
  int32_t size = 5;
  rb.Take(out, &size);
  EXPECT_EQ(size, 5);
  EXPECT_EQ(std::string(out, 6), "hello#");
  size = 32;
  rb.Take(out, &size);  // the rest went with the first hand-over
  EXPECT_EQ(size, 0);
  std::string full(6144, 'f');
  rb.Store(full.data(), full.size());
  std::vector<char> big(7000, '#');
  size = 7000;
  rb.Take(big.data(), &size);
  EXPECT_EQ(size, 6144);
  EXPECT_EQ(big[6144], '#');
}

}  // namespace

namespace {

std::atomic<int> g_workerEnded{0};
void NoteWorkerEnd(int32_t kind, const void* data) {
  if (kind == 1 && static_cast<const int32_t*>(data)[0] == 8 && static_cast<const int32_t*>(data)[1] == 41) g_workerEnded = 1;
}

// Unloading the module while a session runs stops the session and waits for
// its worker; were the worker left running, its code would vanish under it.
TEST(ModuleUnload, StopsARunningSessionAndWaitsForItsWorker) {
  if (dlopen(PORTVINE_MODULE, RTLD_NOW | RTLD_NOLOAD)) GTEST_SKIP() << "the module is loaded elsewhere in this process";
  qvtest::TempDir dir;
  ::setenv("QUORVEL_PORTS", dir.path().c_str(), 1);
  handsetsim::Simulator sim;
  ASSERT_TRUE(sim.Start(dir / "COM5"));
  {
    qv::Module module;
    ASSERT_TRUE(module.Load(PORTVINE_MODULE)) << module.Error();
    Exports api(module);
    api.PortvineTestSetClockRate(10);
    KwxInitialParam p{};
    std::snprintf(p.EMailPhoneNo, sizeof p.EMailPhoneNo, "0570001234");
    std::snprintf(p.SerialPort, sizeof p.SerialPort, "\\\\.\\COM5");
    p.Baudrate = 115200;
    api.kwxInitial(0, &p);
    api.SetCallbackFunc(&NoteWorkerEnd);
    ASSERT_EQ(api.kwxConnectEMail(1, 0), 1);
    ASSERT_TRUE(sim.WaitUntil([](const auto& r) { return !r.centreLines.empty(); }, std::chrono::seconds(30)));
    EXPECT_EQ(api.kwxGetState(), 1);
    module.Unload();
    // The worker told its end before the module was gone.
    EXPECT_EQ(g_workerEnded.load(), 1);
  }
  EXPECT_TRUE(sim.WaitUntil([](const auto& r) { return !r.hostConnected && !r.callUp; }, std::chrono::seconds(10)));
}

}  // namespace
