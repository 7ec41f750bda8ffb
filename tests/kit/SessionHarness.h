#pragma once
// Drives the built Portvine.so as the launcher does: loads it by path, binds
// its exports by name, gives it a window and a trace callback, and points a
// COM port of a temporary port folder at a simulated handset.
#include "EventWindow.h"
#include "abi/KwxApi.h"
#include "Simulator.h"
#include "TestSupport.h"

#include "platform/Module.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace seriallinktest {

// The module's exports, bound by name from the built library.
struct Exports {
  explicit Exports(qv::Module& module);
  KwxInitialFn kwxInitial;
  KwxVoidFn kwxTerminate, kwxGetState, kwxExitEMail, kwxReadySMail, kwxConnectSignup, kwxWaitForRing, kwxGetInfo,
      kwxDeleteInfo, kwxExitInfoMode;
  KwxConnectEMailFn kwxConnectEMail;
  KwxConnectSMailFn kwxConnectSMail;
  KwxDataFn kwxAsyncSendEMail, kwxAsyncSendSignup, kwxSetInfo, kwxBareInfo;
  KwxIntFn kwxAsyncGetEMailList, kwxDisconnect, kwxTestPort, kwxEnterInfoMode, kwxSetCategory, kwxRingResponse,
      kwxGetReceiveBufferSize;
  KwxTextFn kwxAsyncGetEMail, kwxPurgeEMail;
  KwxGetBufferFn kwxAsyncGetBuffer;
  KwxResumeTxRxFn kwxResumeTxRx;
  KwxGetErrorCodeFn kwxGetErrorCode;
  KwxSetParamFn kwxSetParam;
  KwxGetParamFn kwxGetParam;
  KwxGetTelNumberFn kwxGetTelNumber;
  KwxOutTextFn kwxGetDllVersion;
  KwxLogWriteFn kwxLogWrite;
  SetCallbackFuncFn SetCallbackFunc;
  void (*PortvineTestSetClockRate)(int32_t);
  int32_t (*PortvineTestState)();
  int32_t (*PortvineTestFlowWaits)();
  int32_t (*DDDtoByte)(const char*);
  void (*BytetoDDD)(int32_t, char*);
  int32_t (*StrDDDtoBin)(const char*, uint8_t*);
  int32_t (*BintoStrDDD)(const uint8_t*, int32_t, char*);
  void (*ExCodeToSPC)(uint8_t*, int32_t);
};

// The module loaded fresh for this process (every test runs in its own).
qv::Module& LoadedModule();

class Session {
 public:
  static constexpr int kPort = 5;
  // The module's clock runs clockRate times faster: its 2-60 s deadlines and
  // its pauses pass in a tenth of the time by default.
  explicit Session(handsetsim::SimConfig config = {}, int clockRate = DefaultClockRate());
  // With the simulated handset of another process on socketPath().
  struct ExternalHandset {};
  explicit Session(ExternalHandset, int clockRate = DefaultClockRate());
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  static int DefaultClockRate();

  Exports& api() { return api_; }
  handsetsim::Simulator& sim() { return *sim_; }
  const std::filesystem::path& folder() const { return dir_.path(); }
  std::filesystem::path socketPath() const { return dir_ / ("COM" + std::to_string(kPort)); }

  // kwxInitial with param (its window replaced by the session's window).
  void Init();
  KwxInitialParam param{};

  std::vector<Ev> Events() const;
  std::vector<std::string> Traces() const;
  // Whether every posted event also reached the callback, in the same order.
  bool CallbackMatchesWindow() const;
  // Runs on the test thread over the events as they arrive until the worker's
  // end event (8, k*10+1); false on time-out (60 s).
  bool Drive(const std::function<void(const Ev&)>& onEvent, std::chrono::seconds timeout = std::chrono::seconds(60));
  // Waits for an event that has not been seen by WaitFor yet.
  bool WaitFor(Ev ev, std::chrono::seconds timeout = std::chrono::seconds(30));
  bool WaitIdle(std::chrono::seconds timeout = std::chrono::seconds(30));
  // Waits until the worker runs the state with that number.
  bool WaitState(int32_t state, std::chrono::seconds timeout = std::chrono::seconds(10));
  // kwxAsyncGetBuffer with the launcher's 6144 bytes.
  std::string TakeBuffer();

 private:
  void Attach(int clockRate);
  static void Trace(int32_t kind, const void* data);

  qvtest::TempDir dir_;
  Exports api_;
  std::unique_ptr<handsetsim::Simulator> sim_;
  EventWindow window_;
  mutable std::mutex mutex_;
  std::vector<Ev> callbackEvents_;
  std::vector<std::string> traces_;
};

// A text's length as the API's int32 arguments take it.
inline int32_t Size(const std::string& s) { return static_cast<int32_t>(s.size()); }

}  // namespace seriallinktest
