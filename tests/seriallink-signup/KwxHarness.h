#pragma once
// Drives the built KWX.so as the sign-up plug-in does: loads it by path, binds
// its exports by name, gives it a window, and points a COM port of a
// temporary port folder at a simulated handset.
#include "EventWindow.h"
#include "Simulator.h"
#include "TestSupport.h"

#include "abi/KwxApi.h"

#include "platform/Module.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kwxtest {

using seriallinktest::Contains;
using seriallinktest::Describe;
using seriallinktest::Ev;
using seriallinktest::EventWindow;

using KwxTwoIntFn = int32_t (*)(int32_t, int32_t);

// The module's exports, bound by name.
struct Exports {
  explicit Exports(qv::Module& module);
  KwxInitialFn kwxInitial;
  KwxVoidFn kwxTerminate, kwxConnectSignup, kwxGetState, kwxWaitForRing;
  KwxIntFn kwxDisconnect, kwxTestPort, kwxGetReceiveBufferSize, kwxRingResponse, kwxConnectCMail,
      kwxAsyncGetMailList, kwxAsyncReceiveCMail, kwxAsyncPurgeCMail;
  KwxGetErrorCodeFn kwxGetErrorCode;
  KwxTwoIntFn kwxAsyncSendCMail, kwxAsyncSendSMail, kwxAsyncReceiveSMail;
  KwxSetParamFn kwxSetParam;
  KwxGetParamFn kwxGetParam;
  KwxDataFn kwxAsyncSendSignup;
  KwxGetBufferFn kwxAsyncGetBuffer;
  KwxResumeTxRxFn kwxResumeTxRx;
  KwxGetTelNumberFn kwxGetTelNumber;
  KwxOutTextFn kwxGetDllVersion;
  KwxConnectSMailFn kwxConnectSMail;
  void (*KwxTestSetClockRate)(int32_t);
};

// The names the sign-up plug-in binds, in its order.
extern const char* const kPluginNames[13];

std::filesystem::path ModulePath();
// KWX.so as loaded for the running test: each test gets it freshly loaded.
qv::Module& LoadedModule();
Exports& Api();

// The first message of the sign-up terminal.
extern const std::string kFirstMessage;

class Session {
 public:
  static constexpr int kPort = 6;
  // The module's clock runs clockRate times faster.
  explicit Session(handsetsim::SimConfig config = {}, int clockRate = DefaultClockRate());
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  static int DefaultClockRate();

  Exports& api() { return Api(); }
  handsetsim::Simulator& sim() { return *sim_; }
  EventWindow& window() { return window_; }
  std::filesystem::path socketPath() const { return dir_ / ("COM" + std::to_string(kPort)); }

  KwxInitialParam param{};
  // kwxInitial with param and the session's window.
  int32_t Init();

  std::vector<Ev> Events() const { return window_.Events(); }
  bool Drive(const std::function<void(const Ev&)>& onEvent, std::chrono::seconds timeout = std::chrono::seconds(60)) {
    return window_.Drive(onEvent, timeout);
  }
  bool WaitFor(Ev ev, std::chrono::seconds timeout = std::chrono::seconds(30)) { return window_.WaitFor(ev, timeout); }
  bool WaitIdle(std::chrono::seconds timeout = std::chrono::seconds(30));
  // kwxAsyncGetBuffer with room bytes.
  std::string TakeBuffer(int32_t room = 6144);

 private:
  qvtest::TempDir dir_;
  std::unique_ptr<handsetsim::Simulator> sim_;
  EventWindow window_;
};

// The plug-in's side of a session: the first message on (1, 3), the next
// request on each (1, 1) (a stop when none is left), parts on (1, 4), the
// page on (1, 2).
struct Caller {
  Caller(Session& session, std::vector<std::string> later) : s(session), requests(std::move(later)) {}
  void operator()(const Ev& ev);
  Session& s;
  std::vector<std::string> requests;
  std::vector<std::string> pages;
  std::string part;
  size_t next = 0;
  int parts = 0;
};

inline int32_t Size(const std::string& s) { return static_cast<int32_t>(s.size()); }

}  // namespace kwxtest
