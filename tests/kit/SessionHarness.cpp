#include "SessionHarness.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace seriallinktest {
namespace {
std::atomic<Session*> g_session{nullptr};

template <typename Fn>
void Bind(qv::Module& m, Fn& fn, const char* name) {
  fn = m.Function<Fn>(name);
  if (!fn) qvtest::Fail(std::string("Portvine.so lacks ") + name);
}
}  // namespace

Exports::Exports(qv::Module& m) {
#define BIND(name) Bind(m, name, #name)
  BIND(kwxInitial); BIND(kwxTerminate); BIND(kwxGetState); BIND(kwxExitEMail); BIND(kwxReadySMail);
  BIND(kwxConnectSignup); BIND(kwxWaitForRing); BIND(kwxGetInfo); BIND(kwxDeleteInfo); BIND(kwxExitInfoMode);
  BIND(kwxConnectEMail); BIND(kwxConnectSMail); BIND(kwxAsyncSendEMail); BIND(kwxAsyncSendSignup); BIND(kwxSetInfo);
  BIND(kwxBareInfo); BIND(kwxAsyncGetEMailList); BIND(kwxDisconnect); BIND(kwxTestPort); BIND(kwxEnterInfoMode);
  BIND(kwxSetCategory); BIND(kwxRingResponse); BIND(kwxGetReceiveBufferSize); BIND(kwxAsyncGetEMail);
  BIND(kwxPurgeEMail); BIND(kwxAsyncGetBuffer); BIND(kwxResumeTxRx); BIND(kwxGetErrorCode); BIND(kwxSetParam);
  BIND(kwxGetParam); BIND(kwxGetTelNumber); BIND(kwxGetDllVersion); BIND(kwxLogWrite); BIND(SetCallbackFunc);
  BIND(PortvineTestSetClockRate); BIND(PortvineTestState); BIND(PortvineTestFlowWaits); BIND(DDDtoByte); BIND(BytetoDDD); BIND(StrDDDtoBin); BIND(BintoStrDDD);
  BIND(ExCodeToSPC);
#undef BIND
}

qv::Module& LoadedModule() {
  static qv::Module module;
  if (!module.IsLoaded() && !module.Load(PORTVINE_MODULE)) qvtest::Fail(module.Error());
  return module;
}

int Session::DefaultClockRate() {
  const char* rate = std::getenv("QV_SERIAL_CLOCK_RATE");
  return rate && std::atoi(rate) > 0 ? std::atoi(rate) : 10;
}

Session::Session(handsetsim::SimConfig config, int clockRate) : api_(LoadedModule()) {
  sim_ = std::make_unique<handsetsim::Simulator>(std::move(config));
  // QV_SIM_LOG=1 prints the simulated handset's dialogue, for a failing run.
  if (std::getenv("QV_SIM_LOG")) sim_->SetLog([](const std::string& line) { std::fprintf(stderr, "sim: %s\n", line.c_str()); });
  std::string error;
  if (!sim_->Start(socketPath(), &error)) qvtest::Fail(error);
  Attach(clockRate);
}

Session::Session(ExternalHandset, int clockRate) : api_(LoadedModule()) {
  sim_ = std::make_unique<handsetsim::Simulator>();  // never started
  Attach(clockRate);
}

void Session::Attach(int clockRate) {
  ::setenv("QUORVEL_PORTS", dir_.path().c_str(), 1);
  api_.PortvineTestSetClockRate(clockRate);
  g_session = this;
  api_.SetCallbackFunc(&Session::Trace);
  std::snprintf(param.EMailPhoneNo, sizeof param.EMailPhoneNo, "0570001234");
  std::snprintf(param.OnlineSignUpPhoneNo, sizeof param.OnlineSignUpPhoneNo, "0570009999");
  std::snprintf(param.SerialPort, sizeof param.SerialPort, "\\\\.\\COM%d", kPort);
  param.Baudrate = 115200;
}

Session::~Session() {
  if (api_.kwxGetState()) {
    api_.kwxDisconnect(10);
    WaitIdle();
  }
  api_.SetCallbackFunc(nullptr);
  g_session = nullptr;
  sim_->Stop();
}

void Session::Init() { api_.kwxInitial(window_.id(), &param); }

void Session::Trace(int32_t kind, const void* data) {
  Session* s = g_session.load();
  if (!s || !data) return;
  if (kind == 0) {
    std::lock_guard lock(s->mutex_);
    s->traces_.emplace_back(static_cast<const char*>(data));
  } else if (kind == 1) {
    const auto* pair = static_cast<const int32_t*>(data);
    std::lock_guard lock(s->mutex_);
    s->callbackEvents_.push_back({pair[0], pair[1]});
  }
}

std::vector<Ev> Session::Events() const { return window_.Events(); }

std::vector<std::string> Session::Traces() const {
  std::lock_guard lock(mutex_);
  return traces_;
}

bool Session::CallbackMatchesWindow() const {
  const std::vector<Ev> posted = window_.Events();
  std::lock_guard lock(mutex_);
  return posted == callbackEvents_;
}

bool Session::Drive(const std::function<void(const Ev&)>& onEvent, std::chrono::seconds timeout) {
  return window_.Drive(onEvent, timeout);
}

bool Session::WaitFor(Ev ev, std::chrono::seconds timeout) { return window_.WaitFor(ev, timeout); }

bool Session::WaitIdle(std::chrono::seconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (api_.kwxGetState() != 0) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

bool Session::WaitState(int32_t state, std::chrono::seconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (api_.PortvineTestState() != state) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

std::string Session::TakeBuffer() {
  std::string buf(6144, '\0');
  int32_t size = 6144;
  api_.kwxAsyncGetBuffer(buf.data(), &size);
  buf.resize(static_cast<size_t>(size));
  return buf;
}

}  // namespace seriallinktest
