#include "KwxFront.h"

#include "seriallink/common/BodyReceiver.h"
#include "seriallink/common/CallerData.h"
#include "seriallink/common/Clock.h"
#include "seriallink/common/Codes.h"
#include "seriallink/common/ReplySteps.h"

#include "platform/Version.h"

#include <cstring>
#include <dlfcn.h>
#include <optional>
#include <system_error>

namespace kwxsignup {
namespace clock = seriallink::clock;
namespace code = seriallink::code;

namespace {
constexpr int64_t kWaitSlice = 100;
constexpr int64_t kRingPoll = 500;
constexpr int32_t kDialState = 1000;  // STATE0
// The block's fields from offset 100 on are not read.
constexpr size_t kBlockRead = 100;
constexpr const char* kFallbackVersion = "1.0.1.0";

// Packs a refused call's code with the port's record count at the time.
uint64_t Refusal(int32_t c, uint32_t records) { return (uint64_t{records} << 32) | static_cast<uint32_t>(c); }
}  // namespace

CKWXfront::CKWXfront() = default;

CKWXfront::~CKWXfront() {
  Disconnect(code::ReasonUser);
  if (ring_.joinable()) ring_.join();
  JoinWorker();
  if (retired_.joinable()) retired_.join();
}

int32_t CKWXfront::Refuse(int32_t c) {
  refusal_.store(Refusal(c, port_.Records()));
  return 0;
}

int32_t CKWXfront::GetErrorCode() const {
  const uint64_t r = refusal_.load();
  // A refusal is the last word until the port records anything after it.
  if (r != 0 && static_cast<uint32_t>(r >> 32) == port_.Records()) return static_cast<int32_t>(r & 0xFFFFFFFFu);
  return port_.Error();
}

void CKWXfront::JoinWorker() {
  if (retired_.joinable()) retired_.join();
  if (!worker_.joinable()) return;
  // Called from the worker's own last event: it is joined later.
  if (worker_.get_id() == std::this_thread::get_id()) retired_ = std::move(worker_);
  else worker_.join();
}

bool CKWXfront::ClaimPort() {
  if (phase_.load() == kRunning || ringActive_.load()) return false;
  JoinWorker();
  // A ring thread that has stopped waiting may still be closing the port.
  if (ring_.joinable()) ring_.join();
  return true;
}

void CKWXfront::StopRing() {
  if (!ring_.joinable()) return;
  ringStop_.Set();
  abort_.Set();  // a ring line being read ends at once
  ring_.join();
}

int32_t CKWXfront::Initial(uint32_t window, const KwxInitialParam* param) {
  // One session at a time: a worker that still runs refuses the call, one
  // that has ended is joined; a ring wait ends first.
  StopRing();
  if (!ClaimPort()) return Refuse(code::Busy);
  if (param) {
    KwxInitialParam copy{};
    std::memcpy(&copy, param, kBlockRead);
    param_ = copy;
  }
  param_.NotifyWindow = window;

  abortFlag_.store(0);
  SetOwnNumber({});
  {
    std::lock_guard lock(dataMutex_);
    request_.reset();
  }
  abort_.Reset();
  operation_.Reset();
  flow_.Set();
  refusal_.store(0);
  port_.ClearStop();
  port_.Setup(seriallink::FieldText(param_.SerialPort), param_.Baudrate, window);

  try {
    if (!modem_) modem_ = std::make_unique<CModem>(port_);
  } catch (const std::bad_alloc&) {
    port_.Record(code::NoModemMemory);
    return 0;
  }
  if (states_.empty()) {
    context_ = std::make_unique<StateContext>(StateContext{port_, *modem_, splitter_, *this});
    states_ = BuildStates(*context_);
  }
  current_.store(states_[1].get());  // STATE0
  phase_.store(kRunning);
  try {
    worker_ = std::thread([this] { WorkerMain(); });
  } catch (const std::system_error&) {
    phase_.store(kIdle);
    current_.store(nullptr);
    port_.Record(code::ThreadFailed);
    return 0;
  }
  return 1;
}

void CKWXfront::WorkerMain() {
  port_.Purge();
  bool firstWait = true;
  CKwxState* state = current_.load();
  trace_.Write(CTraceLog::kInfo, "worker start");
  for (;;) {
    port_.SetOnline(state->IsOnline());
    const bool dialling = state->Id() == kDialState;
    if (abortFlag_.exchange(0)) {
      trace_.Write(CTraceLog::kStep, state->Id(), "abort");
      state->abort(port_.StopReason());
    } else if (port_.TimerCheck()) {
      trace_.Write(CTraceLog::kStep, state->Id(), "deadline");
      state->SetResult(seriallink::kSignupDeadline);
    } else {
      trace_.Write(CTraceLog::kStep, state->Id(), "kick");
      state->kick();
    }
    trace_.Write(CTraceLog::kStep, state->Id(), state->Result());
    state = state->getNext();
    current_.store(state);
    if (state->IsFinal()) return EndWorker({kwx::KWX_EV_PROGRESS, 5, kwx::KWX_EV_SESSION_END, 0,
                                            kwx::KWX_EV_SESSION_END, 1});
    if (!port_.Carrier()) {
      // The dial waits a second after CONNECT for the carrier, which may
      // follow it by a little; a call that has none by then is told.
      if (dialling) port_.Record(seriallink::HandsetGone(port_) ? code::ModemStatusUnreadable : code::NoCarrierAfterDial);
      return EndWorker({kwx::KWX_EV_SESSION_END, 1});
    }
    if (!state->WaitsForCaller()) continue;
    port_.Notify(kwx::KWX_EV_READY, firstWait ? kwx::kReadyFirstOperation : kwx::kReadyForOperation);
    firstWait = false;
    while (!clock::Wait(operation_, kWaitSlice)) {
      if (port_.Carrier()) continue;
      // A pulled handset is told as such, not as a radio that lost the call.
      port_.Record(seriallink::LineGoneCode(port_));
      return EndWorker({kwx::KWX_EV_SESSION_END, 1});
    }
  }
}

void CKWXfront::EndWorker(std::initializer_list<int32_t> events) {
  phase_.store(kEnding);
  port_.SetOnline(false);
  // The port is free before the caller hears of the end, so that it can call
  // again at once.
  port_.Close();
  current_.store(nullptr);
  trace_.Write(CTraceLog::kInfo, "worker end");
  for (auto it = events.begin(); it + 1 < events.end(); it += 2) port_.Notify(it[0], it[1]);
  // The last act; a session started meanwhile from one of these events keeps its mark.
  int32_t ending = kEnding;
  phase_.compare_exchange_strong(ending, kIdle);
}

int32_t CKWXfront::GetState() const {
  const CKwxState* s = current_.load();
  return s ? s->Id() : 0;
}

int32_t CKWXfront::Disconnect(int32_t reason) {
  port_.RequestStop(reason);
  abortFlag_.store(1);
  abort_.Set();
  operation_.Set();
  flow_.Set();
  ringStop_.Set();
  return 1;
}

int32_t CKWXfront::TestPort(int32_t number) const {
  return seriallink::TestComPort(number, port_.IsOpen() ? port_.Name() : std::string());
}

int32_t CKWXfront::SetParam(int32_t id, int32_t value) {
  if (id != 1) return 0;
  // On the port the last call named (none before one has: 90001).
  return OutsideSession(port_.Name(), port_.Speed(), [value](CModem& modem) { return modem.SetBilling(value != 0); });
}

int32_t CKWXfront::GetParam(int32_t id, char* buffer, int32_t size) const {
  if (size < 1 || !buffer) return 0;
  std::memset(buffer, 0, static_cast<size_t>(size));
  if (id != 0) return 0;
  std::lock_guard lock(dataMutex_);
  if (ownNumber_.empty() || ownNumber_.size() >= static_cast<size_t>(size)) return 0;
  std::memcpy(buffer, ownNumber_.data(), ownNumber_.size());
  return 1;
}

void CKWXfront::SetOwnNumber(const std::string& number) {
  std::lock_guard lock(dataMutex_);
  ownNumber_ = number.substr(0, 35);
}

int32_t CKWXfront::AsyncSendSignup(const char* data, int32_t length) {
  // The module keeps its own copy: the caller's buffer may go once the call returns.
  auto copy = std::make_shared<const std::string>(data && length > 0 ? std::string(data, static_cast<size_t>(length))
                                                                      : std::string());
  {
    std::lock_guard lock(dataMutex_);
    request_ = std::move(copy);
  }
  operation_.Set();
  return 1;
}

std::shared_ptr<const std::string> CKWXfront::Request() const {
  std::lock_guard lock(dataMutex_);
  return request_;
}

int32_t CKWXfront::AsyncGetBuffer(char* buffer, int32_t* size) {
  buffer_.Take(buffer, size);
  flow_.Set();
  return 1;
}

bool CKWXfront::ReceivePage(int32_t& count) {
  struct Line final : seriallink::BodyLine {
    explicit Line(CSerialPort& p) : port(p) {}
    bool ReadPiece(char* buffer, int32_t& size) override {
      // A minute without a piece asks the caller whether to go on.
      port.TimerSet(60, code::NoProgress);
      return port.ReadLine(buffer, size);
    }
    int32_t LastError() const override { return port.Error(); }
    void RecordError(int32_t c) override { port.Record(c); }
    void Notify(int32_t type, int32_t c) override { port.Notify(type, c); }
    void AwaitFirstPiece(int64_t ms) override { clock::Sleep(ms); }
    CSerialPort& port;
  } line(port_);
  const bool ok = seriallink::ReceiveBody(line, buffer_, flow_, true, count);
  port_.TimerClear();
  return ok;
}

int32_t CKWXfront::ResumeTxRx() {
  const int32_t id = GetState();
  if (id < 1001 || id > 1004) return Refuse(code::NotOnline);
  // The fresh deadline first, so the reader never wakes without one.
  port_.TimerSet(60, code::NoProgress);
  flow_.Set();
  return 1;
}

int32_t CKWXfront::WaitForRing() {
  if (!ClaimPort()) return Refuse(code::Busy);
  ringStop_.Reset();
  abort_.Reset();
  operation_.Reset();
  flow_.Set();
  port_.ClearStop();
  if (!port_.Setup(seriallink::FieldText(param_.SerialPort), param_.Baudrate, param_.NotifyWindow)) return 0;
  if (!port_.Open()) return 0;
  port_.RaiseDtr();
  CModem modem(port_);
  if (!modem.RingModeOn()) {
    port_.Close();
    return 0;
  }
  ringActive_.store(true);
  try {
    ring_ = std::thread([this] { RingMain(); });
  } catch (const std::system_error&) {
    ringActive_.store(false);
    port_.Close();
    port_.Record(code::ThreadFailed);
    return 0;
  }
  return 1;
}

void CKWXfront::RingMain() {
  for (;;) {
    const int32_t status = port_.ModemStatus();
    if (status < 0) break;  // the handset is gone
    if (status & static_cast<int32_t>(qv::MS_RING_ON)) {
      // The ring's report line is taken; the call is the caller's business.
      char line[32];
      int32_t size = sizeof line;
      port_.TimerSet(2, code::ShortWait);
      port_.ReadLine(line, size);
      port_.TimerClear();
      break;
    }
    if (clock::Wait(ringStop_, kRingPoll)) break;
  }
  // Done waiting: a call from now on joins this thread before it takes the port.
  ringActive_.store(false);
  port_.Close();
}

int32_t CKWXfront::OutsideSession(std::string_view portName, int32_t baud, const std::function<bool(CModem&)>& talk) {
  // It uses the sessions' port: never while a thread of the module has it.
  if (!ClaimPort()) return Refuse(code::Busy);
  abort_.Reset();
  operation_.Reset();
  flow_.Set();
  port_.ClearStop();
  if (!port_.Setup(portName, baud, 0)) return 0;
  if (!port_.Open()) return 0;
  CModem modem(port_);
  if (!modem.Init()) {
    port_.Close();
    return 0;
  }
  port_.Purge();
  const bool ok = talk(modem);
  port_.Close();
  return ok ? 1 : 0;
}

int32_t CKWXfront::GetTelNumber(const char* portName, int32_t baud, char* out36) {
  return OutsideSession(seriallink::CallerText(portName, 64), baud, [out36](CModem& modem) {
    std::string number;
    const bool ok = modem.ReadOwnNumber(number);
    seriallink::WriteOut36(out36, number);
    return ok;
  });
}

int32_t CKWXfront::GetDllVersion(char* out36) const {
  if (!out36) return 1;
  std::memset(out36, 0, 36);
  // The block of this module's own file, wherever the caller loaded it from.
  Dl_info info{};
  std::optional<std::string> version;
  if (dladdr(reinterpret_cast<const void*>(&kFallbackVersion), &info) && info.dli_fname)
    version = qv::ReadVersionValue(info.dli_fname, "ProductVersion");
  seriallink::WriteOut36(out36, version ? *version : std::string(kFallbackVersion));
  return 1;
}

}  // namespace kwxsignup
