#include "KwxHarness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

namespace kwxtest {
namespace {
template <typename Fn>
void Bind(qv::Module& m, Fn& fn, const char* name) {
  fn = m.Function<Fn>(name);
  if (!fn) ADD_FAILURE() << "KWX.so lacks " << name;
}
}  // namespace

const char* const kPluginNames[13] = {"kwxInitial",         "kwxTerminate",       "kwxConnectSignup", "kwxDisconnect",
                                      "kwxGetErrorCode",    "kwxSetParam",        "kwxGetParam",      "kwxAsyncSendSignup",
                                      "kwxAsyncGetBuffer",  "kwxTestPort",        "kwxResumeTxRx",    "kwxGetTelNumber",
                                      "kwxGetDllVersion"};

const std::string kFirstMessage =
    "X-Mailer: Quorvel for Windows v1.0.1 (BRV)\r\nTo: SIGNUP\r\nSubject: DATA\r\nContent-Type: Text/Plain\r\n\r\n"
    "ESC:NONE\r\nCHAR:X=99,Y=99\r\nGRAPH:X=999,Y=999\r\nCOLOR:CF\r\n";

Exports::Exports(qv::Module& m) {
#define BIND(name) Bind(m, name, #name)
  BIND(kwxInitial); BIND(kwxTerminate); BIND(kwxConnectSignup); BIND(kwxGetState); BIND(kwxWaitForRing);
  BIND(kwxDisconnect); BIND(kwxTestPort); BIND(kwxGetReceiveBufferSize); BIND(kwxRingResponse); BIND(kwxConnectCMail);
  BIND(kwxAsyncGetMailList); BIND(kwxAsyncReceiveCMail); BIND(kwxAsyncPurgeCMail); BIND(kwxGetErrorCode);
  BIND(kwxAsyncSendCMail); BIND(kwxAsyncSendSMail); BIND(kwxAsyncReceiveSMail); BIND(kwxSetParam); BIND(kwxGetParam);
  BIND(kwxAsyncSendSignup); BIND(kwxAsyncGetBuffer); BIND(kwxResumeTxRx); BIND(kwxGetTelNumber);
  BIND(kwxGetDllVersion); BIND(kwxConnectSMail); BIND(KwxTestSetClockRate);
#undef BIND
}

std::filesystem::path ModulePath() { return KWX_MODULE; }

namespace {
// The module as this test sees it. Every test starts from the state a fresh
// load gives (no own number, no modem object, no last error): the module of
// the test before is unloaded, which also joins its threads, and loaded again.
struct Loaded {
  qv::Module module;
  std::unique_ptr<Exports> api;
  bool stale = true;
};

Loaded& Current() {
  static Loaded loaded;
  return loaded;
}

class FreshModuleEachTest final : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { Current().stale = true; }
};

[[maybe_unused]] const bool kListening = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new FreshModuleEachTest);
  return true;
}();

Loaded& Fresh() {
  Loaded& l = Current();
  if (!l.stale && l.module.IsLoaded()) return l;
  l.stale = false;
  l.api.reset();
  l.module.Unload();
  if (!l.module.Load(ModulePath().string())) ADD_FAILURE() << l.module.Error();
  l.api = std::make_unique<Exports>(l.module);
  return l;
}
}  // namespace

qv::Module& LoadedModule() { return Fresh().module; }

Exports& Api() { return *Fresh().api; }

int Session::DefaultClockRate() {
  const char* rate = std::getenv("QV_SERIAL_CLOCK_RATE");
  return rate && std::atoi(rate) > 0 ? std::atoi(rate) : 10;
}

Session::Session(handsetsim::SimConfig config, int clockRate) {
  sim_ = std::make_unique<handsetsim::Simulator>(std::move(config));
  // QV_SIM_LOG=1 prints the simulated handset's dialogue, for a failing run.
  if (std::getenv("QV_SIM_LOG")) sim_->SetLog([](const std::string& line) { std::fprintf(stderr, "sim: %s\n", line.c_str()); });
  std::string error;
  if (!sim_->Start(socketPath(), &error)) ADD_FAILURE() << error;
  ::setenv("QUORVEL_PORTS", dir_.path().c_str(), 1);
  api().KwxTestSetClockRate(clockRate);
  std::snprintf(param.OnlineSignUpPhoneNo, sizeof param.OnlineSignUpPhoneNo, "0570009999");
  std::snprintf(param.SerialPort, sizeof param.SerialPort, "\\\\.\\COM%d", kPort);
  param.Baudrate = 115200;
}

Session::~Session() {
  window_.SetHook(nullptr);
  if (api().kwxGetState()) {
    api().kwxDisconnect(10);
    WaitIdle();
  }
  sim_->Stop();
}

int32_t Session::Init() { return api().kwxInitial(window_.id(), &param); }

bool Session::WaitIdle(std::chrono::seconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (api().kwxGetState() != 0) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::string Session::TakeBuffer(int32_t room) {
  std::string buf(static_cast<size_t>(room), '\0');
  int32_t size = room;
  api().kwxAsyncGetBuffer(buf.data(), &size);
  buf.resize(static_cast<size_t>(size));
  return buf;
}

void Caller::operator()(const Ev& ev) {
  if (ev == Ev{1, 3}) {
    ASSERT_EQ(s.api().kwxAsyncSendSignup(kFirstMessage.data(), Size(kFirstMessage)), 1);
  } else if (ev == Ev{1, 1}) {
    if (next < requests.size()) {
      const std::string& r = requests[next++];
      ASSERT_EQ(s.api().kwxAsyncSendSignup(r.data(), Size(r)), 1);
    } else {
      s.api().kwxDisconnect(0);
    }
  } else if (ev == Ev{1, 4}) {
    ++parts;
    part += s.TakeBuffer();  // a full part: reading goes on once it is taken
  } else if (ev == Ev{1, 2}) {
    pages.push_back(part + s.TakeBuffer());
    part.clear();
  }
}

}  // namespace kwxtest
