#pragma once
// CKWXfront: the sign-up module behind its exports. kwxInitial copies the
// parameter block and starts the sign-up call on a worker thread, which walks
// the states and tells the caller's window of every step; the caller hands
// requests over and takes pages through the exports. A ring thread of its own
// can wait for the handset to ring between sessions.
#include "Modem.h"
#include "SerialPort.h"
#include "States.h"
#include "TraceLog.h"

#include "abi/KwxApi.h"
#include "seriallink/common/LineSplitter.h"
#include "seriallink/common/ReceiveBuffer.h"

#include "platform/Event.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kwxsignup {

class CKWXfront {
 public:
  CKWXfront();
  // Module unload: the session and the ring wait are stopped and every
  // thread of the module is joined.
  ~CKWXfront();
  CKWXfront(const CKWXfront&) = delete;
  CKWXfront& operator=(const CKWXfront&) = delete;

  int32_t Initial(uint32_t window, const KwxInitialParam* param);
  int32_t GetState() const;
  int32_t Disconnect(int32_t reason);
  int32_t TestPort(int32_t number) const;
  int32_t GetErrorCode() const;
  int32_t SetParam(int32_t id, int32_t value);
  int32_t GetParam(int32_t id, char* buffer, int32_t size) const;
  int32_t AsyncSendSignup(const char* data, int32_t length);
  int32_t AsyncGetBuffer(char* buffer, int32_t* size);
  int32_t WaitForRing();
  int32_t ResumeTxRx();
  int32_t GetTelNumber(const char* port, int32_t baud, char* out36);
  int32_t GetDllVersion(char* out36) const;

  // For the states (the worker's side).
  const KwxInitialParam& Param() const { return param_; }
  void SetOwnNumber(const std::string& number);
  std::shared_ptr<const std::string> Request() const;
  // Reads the page after the centre's MAIL into the receive buffer, handing
  // over full parts on the way.
  bool ReceivePage(int32_t& count);

 private:
  enum Phase : int32_t { kIdle = 0, kRunning = 1, kEnding = 2 };

  void WorkerMain();
  // The worker's end: port closed, state cleared, the events posted.
  void EndWorker(std::initializer_list<int32_t> events);
  // Joins a worker or ring thread that has ended or is ending; false while
  // one still has the port.
  bool ClaimPort();
  void JoinWorker();
  void StopRing();
  void RingMain();
  // A refused call: its code for kwxGetErrorCode, nothing posted and the
  // session's own code untouched.
  int32_t Refuse(int32_t code);
  // A call of the caller's that talks to the handset outside any session:
  // the port opened, the handset prepared, talk's answer, the port closed.
  // No session is one; nothing is posted.
  int32_t OutsideSession(std::string_view portName, int32_t baud, const std::function<bool(CModem&)>& talk);

  qv::Event abort_{qv::Event::Mode::AutoReset, false};
  qv::Event operation_{qv::Event::Mode::AutoReset, false};
  qv::Event flow_{qv::Event::Mode::ManualReset, true};
  CSerialPort port_{abort_, flow_};
  CTraceLog trace_{".", "kwx.log"};

  // Written by kwxInitial only while no worker runs.
  KwxInitialParam param_{};
  std::unique_ptr<CModem> modem_;
  seriallink::LineSplitter splitter_{seriallink::Dialect::Signup};
  std::unique_ptr<StateContext> context_;
  std::vector<std::unique_ptr<CKwxState>> states_;
  seriallink::ReceiveBuffer buffer_;

  std::atomic<int32_t> abortFlag_{0};
  std::atomic<CKwxState*> current_{nullptr};
  std::atomic<int32_t> phase_{kIdle};
  // A refused call's code and the port's record count at the time.
  std::atomic<uint64_t> refusal_{0};
  std::thread worker_;
  // A worker that ended the session from within its own last event, joined later.
  std::thread retired_;

  // The ring thread waits for a ring (it may still close the port after).
  std::atomic<bool> ringActive_{false};
  qv::Event ringStop_{qv::Event::Mode::ManualReset, false};
  std::thread ring_;

  mutable std::mutex dataMutex_;
  std::string ownNumber_;
  std::shared_ptr<const std::string> request_;
};

}  // namespace kwxsignup
