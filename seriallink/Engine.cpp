#include "Engine.h"

#include "Clock.h"
#include "Codes.h"

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
// The local body buffer: a part of 6144 bytes and room for the piece that
// crosses its end, so that a line is never cut at a part's edge (what runs
// past the part starts the next one).
constexpr size_t kLocalSize = 6144 + 256 + 16;
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

void CEngine::WorkerMain() {
  abort_.Reset();
  flow_.Set();
  port_.Purge();
  CState* state = current_.load();
  for (;;) {
    // Run states until one waits for the caller.
    for (;;) {
      port_.SetOnline(state->IsOnline() ? 1 : 0);
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
      if (state->IsOnline() && !port_.PortCarrier()) {
        if (kind == kRingWaitKind) {
          // A caller that hung up before the reception got going: the graph's
          // error path closes the call, and the wait goes on.
          port_.SetOnline(0);
          status_.SetError(code::CarrierLost);
          state = state->Next();
          current_.store(state);
          continue;
        }
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
  const size_t limit = ReceiveBuffer::kSize;
  char local[kLocalSize] = {};
  size_t fill = 0;
  bool afterLineFeed = false;
  count = 0;
  status_.Notify(kwx::KWX_EV_READY, kwx::kReadyBodyStarts);
  clock::Sleep(flowControl ? 200 : 300);
  // Hands over a full part of exactly 6144 bytes; what ran past it starts the next.
  auto handOver = [&] {
    flow_.Reset();
    buffer_.Store(local, std::min(fill, limit));
    status_.Notify(kwx::KWX_EV_READY, kwx::kReadyBufferFull);
    const size_t carry = fill > limit ? fill - limit : 0;
    std::memmove(local, local + limit, carry);
    std::memset(local + carry, 0, kLocalSize - carry);
    fill = carry;
  };
  for (;;) {
    int32_t size = static_cast<int32_t>(kLocalSize - fill);
    char* piece = local + fill;
    const bool ok = port_.PortReadLine(piece, size);
    if (ok) {
      const bool endLine = size == 3 && std::memcmp(piece, ".\r\n", 3) == 0;
      if (endLine && (afterLineFeed || !flowControl)) {
        std::memset(piece, 0, 3);
        count = static_cast<int32_t>(fill);
        buffer_.Store(local, fill);
        return true;
      }
      // A NUL that ended a piece is not body text: stored, it would cut the
      // part short when the caller takes it.
      if (size > 0 && piece[size - 1] == '\0') --size;
      fill += static_cast<size_t>(size);
      afterLineFeed = size > 0 && piece[size - 1] == '\n';
      if (fill < limit) continue;
      if (!flowControl) {
        // Without flow control there is one part only: longer is too long.
        port_.SetError(code::LineTooLong);
        count = static_cast<int32_t>(fill);
        buffer_.Store(local, std::min(fill, limit));
        return false;
      }
    } else {
      if (port_.Error() != code::LineTooLong) {
        count = static_cast<int32_t>(fill);
        return false;
      }
      fill += static_cast<size_t>(size);
      afterLineFeed = false;
      if (!flowControl) {
        count = static_cast<int32_t>(fill);
        buffer_.Store(local, std::min(fill, limit));
        return false;
      }
    }
    handOver();
  }
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
