#include "Engine.h"

#include "Clock.h"
#include "Codes.h"
#include "seriallink/common/BodyReceiver.h"
#include "seriallink/common/ReplySteps.h"

#include <algorithm>
#include <cstring>
#include <system_error>

namespace portvine {
namespace {
constexpr int32_t kSignupKind = 0;
constexpr int32_t kRingWaitKind = 2;
constexpr int32_t kInfoKind = 6;
constexpr int32_t kRingArmedState = 2100;
constexpr int64_t kWaitSlice = 100;
// How long after CONNECT the carrier may come.
constexpr int64_t kCarrierGrace = 1000;
}  // namespace

CEngine::CEngine(CPort& port, CStatus& status, ParamStore& params, qv::Event& abort, qv::Event& operation,
                 qv::Event& flow)
    : port_(port), status_(status), params_(params), abort_(abort), operation_(operation), flow_(flow) {
  idle_.status = &status_;
}

CEngine::~CEngine() { Shutdown(std::chrono::seconds(20)); }

bool CEngine::EnsureModem() {
  if (modem_) return true;
  try {
    modem_ = std::make_unique<CModem>(port_, &params_);
  } catch (const std::bad_alloc&) {
    status_.SetError(code::NoModemMemory);
    return false;
  }
  return true;
}

bool CEngine::BuildGraphsOnce() {
  if (built_) return true;
  if (!EnsureModem()) return false;
  try {
    context_ = std::make_unique<StateContext>(StateContext{port_, *modem_, status_, splitter_, *this});
    graphs_ = BuildGraphs(
        [this](const StateEntry& entry, int32_t kind) -> std::unique_ptr<CState> {
          switch (kind) {
            case 0: return MakeSignupState(entry, *context_);
            case 2: return MakeRingState(entry, *context_);
            case 6: return MakeInfoState(entry, *context_);
            default: return MakeEMailState(entry, kind, *context_);
          }
        },
        idle_, status_);
  } catch (const std::bad_alloc&) {
    graphs_.clear();
    return false;
  }
  built_ = true;
  return true;
}

bool CEngine::KindAvailable(int32_t kind) {
  if (!BuildGraphsOnce()) return false;
  for (const auto& g : graphs_)
    if (g.kind == kind) return g.available;
  return false;
}

void CEngine::JoinFinishedWorker() {
  // The worker clears the current-state word as its last act; what is left
  // of it is a return.
  if (worker_.joinable()) worker_.join();
}

bool CEngine::Start(int32_t kind, const std::function<void()>& recordInputs, const std::function<bool()>& prepare) {
  const CState* current = current_.load();
  // Sign-up leaves an armed ring wait alone: it is refused as busy below.
  if (kind != kRingWaitKind && kind != kSignupKind && current && current->Id() == kRingArmedState) {
    // Ring wait is armed: it is stopped, and the caller starts again once idle.
    Stop(code::StopRingWait);
    flow_.Reset();
    abort_.Set();
    return false;
  }
  if (current || port_.IsOpen()) {
    // The running session's own result stays untouched.
    status_.startRefusal.store(code::Busy);
    return false;
  }
  abort_.Reset();
  operation_.Reset();
  // Information mode talks to the handset on this thread before its worker.
  if (kind == kInfoKind) flow_.Set();
  else flow_.Reset();
  status_.ResetForSession();
  status_.startRefusal.store(0);
  if (recordInputs) recordInputs();
  const KwxInitialParam param = params_.Get();
  port_.PortSetup(FieldText(param.SerialPort), param.Baudrate);
  status_.window.store(param.NotifyWindow);
  port_.ClearCancel();
  stopping_.store(0);
  if (!BuildGraphsOnce() || !KindAvailable(kind)) {
    status_.SetError(code::GraphsUnavailable);
    return false;
  }
  if (prepare && !prepare()) return false;
  CState* first = nullptr;
  for (const auto& g : graphs_)
    if (g.kind == kind) first = g.first;
  port_.SetCarrierAlwaysOn(kind == kInfoKind);
  JoinFinishedWorker();
  current_.store(first);
  workerActive_.store(true);
  try {
    worker_ = std::thread([this] { WorkerMain(); });
  } catch (const std::system_error&) {
    workerActive_.store(false);
    current_.store(nullptr);
    status_.SetError(code::ThreadFailed);
    if (kind == kInfoKind) {
      // Information mode opened the port before the worker.
      status_.Notify(kwx::KWX_EV_MODULE_ERROR, code::PreparationFailed - code::NoError);
      port_.PortClose();
    }
    return false;
  }
  return true;
}

void CEngine::Stop(int32_t reason) {
  port_.SetAbortReason(reason);
  port_.RequestCancel();
  stopping_.store(1);
  abort_.Set();
  operation_.Set();
  flow_.Set();
}

bool CEngine::ResumeTxRx() {
  const CState* current = current_.load();
  if (!current || !current->IsOnline()) {
    port_.SetError(code::NotOnline);
    return false;
  }
  // The fresh deadline first, so the reader never wakes without one.
  status_.TimerSet(60, code::NoProgress);
  flow_.Set();
  return true;
}

void CEngine::RestoreEvents() {
  abort_.Reset();
  operation_.Reset();
  flow_.Set();
}

void CEngine::SetOwnNumber(const std::string& number) {
  std::lock_guard lock(ownNumberMutex_);
  ownNumber_ = number.substr(0, 35);
}

std::string CEngine::OwnNumber() const {
  std::lock_guard lock(ownNumberMutex_);
  return ownNumber_;
}

void CEngine::EndWorker() {
  port_.SetOnline(0);
  port_.PortClose();
  workerActive_.store(false);
  current_.store(nullptr);
}

void CEngine::TellModuleError(int32_t code) {
  port_.SetError(code);
  status_.Notify(kwx::KWX_EV_MODULE_ERROR, code - code::NoError);
}

void CEngine::WorkerMain() {
  abort_.Reset();
  flow_.Set();
  port_.Purge();
  CState* state = current_.load();
  for (;;) {
    // Run states until one waits for the caller.
    for (;;) {
      const bool wasOnline = state->IsOnline();
      port_.SetOnline(wasOnline ? 1 : 0);
      state->Run();
      state = state->Next();
      current_.store(state);
      const int32_t kind = status_.kind.load();
      if (state->IsFinal()) {
        status_.Notify(kwx::KWX_EV_PROGRESS, kind * 10 + 5);
        status_.Notify(kwx::KWX_EV_SESSION_END, kind * 10);
        status_.Notify(kwx::KWX_EV_SESSION_END, kind * 10 + 1);
        EndWorker();
        return;
      }
      // Just after the call came up, DCD may follow CONNECT by a little: USB
      // serial adapters report the modem lines apart from the data.
      if (state->IsOnline() && !port_.PortCarrier() &&
          (wasOnline || !seriallink::AwaitCarrier(port_, kCarrierGrace))) {
        if (kind == kRingWaitKind) {
          // A caller that hung up before the reception got going: the graph's
          // error path closes the call, and the wait goes on.
          port_.SetOnline(0);
          status_.SetError(code::CarrierLost);
          state = state->Next();
          current_.store(state);
          continue;
        }
        // The user hears why: the handset pulled, or a call whose carrier
        // never came. A centre that hangs up after its close is no error.
        if (seriallink::HandsetGone(port_)) TellModuleError(code::ModemStatusUnreadable);
        else if (!wasOnline) TellModuleError(code::NoCarrierAfterDial);
        status_.Notify(kwx::KWX_EV_SESSION_END, kind * 10 + 1);
        EndWorker();
        return;
      }
      if (state->WaitsForCaller()) break;
    }
    status_.Notify(kwx::KWX_EV_READY, state->IsVariant() ? kwx::kReadyForCommand : kwx::kReadyForOperation);
    // Wait for the caller's operation, watching the carrier every slice.
    for (;;) {
      if (clock::Wait(operation_, kWaitSlice)) break;
      const int32_t kind = status_.kind.load();
      if (kind != kRingWaitKind) {
        if (port_.PortCarrier()) continue;
        status_.Notify(kwx::KWX_EV_SESSION_ERROR, 1280);
        status_.Notify(kwx::KWX_EV_SESSION_END, kind * 10 + 1);
        status_.Trace("Thread Abnormal end.(Unexpected Disconnection/while Waiting Opr.)");
        EndWorker();
        return;
      }
      if (port_.PortCarrier()) continue;
      // Ring wait: the error path of the graph runs.
      port_.SetOnline(0);
      status_.SetError(code::CarrierLost);
      state = state->Next();
      current_.store(state);
      break;
    }
  }
}

bool CEngine::ReceiveBody(bool flowControl, int32_t& count) {
  // The port reads the pieces; the status tells the caller.
  struct Line final : seriallink::BodyLine {
    Line(CPort& p, CStatus& s) : port(p), status(s) {}
    bool ReadPiece(char* buffer, int32_t& size) override { return port.PortReadLine(buffer, size); }
    int32_t LastError() const override { return port.Error(); }
    void RecordError(int32_t code) override { port.SetError(code); }
    void Notify(int32_t type, int32_t code) override { status.Notify(type, code); }
    // The body follows its announcing line at once: the pause ends with its first bytes.
    void AwaitFirstPiece(int64_t ms) override { port.WaitInput(ms); }
    CPort& port;
    CStatus& status;
  } line(port_, status_);
  return seriallink::ReceiveBody(line, buffer_, flow_, flowControl, count);
}

bool CEngine::Shutdown(std::chrono::milliseconds wait) {
  if (!worker_.joinable()) return true;
  if (workerActive_.load()) {
    Stop(code::ReasonUser);
    auto end = std::chrono::steady_clock::now() + wait;
    while (workerActive_.load() && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (workerActive_.load()) {
      status_.Trace("Worker still running at unload");
      worker_.detach();
      return false;
    }
  }
  worker_.join();
  return true;
}

}  // namespace portvine
