#pragma once
// CEngine: the state graphs, the modem object, the receive buffer and the one
// worker thread that runs a session.
#include "EMailStates.h"
#include "LineSplitter.h"
#include "Modem.h"
#include "Params.h"
#include "Port.h"
#include "ReceiveBuffer.h"
#include "State.h"
#include "Status.h"

#include "platform/Event.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace portvine {

class CEngine {
 public:
  CEngine(CPort& port, CStatus& status, ParamStore& params, qv::Event& abort, qv::Event& operation, qv::Event& flow);
  ~CEngine();
  CEngine(const CEngine&) = delete;
  CEngine& operator=(const CEngine&) = delete;

  // Starts a session of the kind (the caller's side of a session start);
  // recordInputs stores the kind's inputs in the status; prepare, when given,
  // runs once the graphs are built and may refuse the start. False when
  // refused, with the reason in the status.
  bool Start(int32_t kind, const std::function<void()>& recordInputs, const std::function<bool()>& prepare = nullptr);
  // kwxDisconnect.
  void Stop(int32_t reason);
  // kwxResumeTxRx: only while the current state is an online state.
  bool ResumeTxRx();
  bool Running() const { return current_.load() != nullptr; }
  const CState* CurrentState() const { return current_.load(); }
  // Whether a graph of the kind can run in this build.
  bool KindAvailable(int32_t kind);

  // For the states.
  // Reads a body or list up to its end line into the receive buffer; with
  // flow control full parts are handed over on the way (event (1, 4)).
  bool ReceiveBody(bool flowControl, int32_t& count);
  ReceiveBuffer& Buffer() { return buffer_; }
  void SetOwnNumber(const std::string& number);
  std::string OwnNumber() const;
  CModem* Modem() { return modem_.get(); }
  ParamStore& Params() { return params_; }
  bool EnsureModem();
  // Back to the events' resting state: no abort, no operation, flow on.
  void RestoreEvents();

  // Module unload: stops a running session and waits for its worker at most
  // wait; false when the worker did not end in time.
  bool Shutdown(std::chrono::milliseconds wait);

 private:
  bool BuildGraphsOnce();
  void JoinFinishedWorker();
  void WorkerMain();
  // Ends the worker: port closed, current-state word cleared (its last act).
  void EndWorker();
  // A module error (9xxxx) recorded on the port and posted as (10, code - 90000).
  void TellModuleError(int32_t code);

  CPort& port_;
  CStatus& status_;
  ParamStore& params_;
  qv::Event& abort_;
  qv::Event& operation_;
  qv::Event& flow_;

  std::atomic<int32_t> stopping_{0};
  std::unique_ptr<CModem> modem_;
  LineSplitter splitter_;
  CIdleState idle_;
  std::unique_ptr<StateContext> context_;
  std::vector<BuiltGraph> graphs_;
  bool built_ = false;
  ReceiveBuffer buffer_;

  mutable std::mutex ownNumberMutex_;
  std::string ownNumber_;

  std::atomic<CState*> current_{nullptr};
  std::thread worker_;
  std::atomic<bool> workerActive_{false};
};

}  // namespace portvine
