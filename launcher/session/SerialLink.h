#pragma once
// The serial-link module as the launcher drives it: bound by name (its 24
// functions, all required, and SetCallbackFunc, called with the trace callback
// at once), with one typed call per function. Texts are CP932.
#include "abi/KwxApi.h"
#include "platform/Handles.h"
#include "platform/Module.h"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace qv {

// The bound entry points; null while nothing is bound.
struct SerialEntries {
  KwxInitialFn kwxInitial = nullptr;
  KwxVoidFn kwxTerminate = nullptr;
  KwxConnectEMailFn kwxConnectEMail = nullptr;
  KwxDataFn kwxAsyncSendEMail = nullptr;
  KwxIntFn kwxAsyncGetEMailList = nullptr;
  KwxTextFn kwxAsyncGetEMail = nullptr;
  KwxTextFn kwxPurgeEMail = nullptr;
  KwxVoidFn kwxExitEMail = nullptr;
  KwxGetBufferFn kwxAsyncGetBuffer = nullptr;
  KwxVoidFn kwxWaitForRing = nullptr;
  KwxConnectSMailFn kwxConnectSMail = nullptr;
  KwxIntFn kwxDisconnect = nullptr;
  KwxResumeTxRxFn kwxResumeTxRx = nullptr;
  KwxVoidFn kwxReadySMail = nullptr;
  KwxVoidFn kwxGetState = nullptr;
  KwxSetParamFn kwxSetParam = nullptr;
  KwxGetParamFn kwxGetParam = nullptr;
  KwxIntFn kwxEnterInfoMode = nullptr;
  KwxVoidFn kwxGetInfo = nullptr;
  KwxDataFn kwxSetInfo = nullptr;
  KwxDataFn kwxBareInfo = nullptr;
  KwxVoidFn kwxDeleteInfo = nullptr;
  KwxVoidFn kwxExitInfoMode = nullptr;
  KwxGetTelNumberFn kwxGetTelNumber = nullptr;
};

// The parameter block from the settings, for kwxInitial: centre is the e-mail
// centre's number (made a dial string here).
KwxInitialParam MakeInitialParam(const std::string& centre);

class SerialLink {
 public:
  // Loads the module (a relative name from the program's folder) and binds
  // every function in order. Any missing name unloads it again: false.
  bool Bind(std::string_view fileName, KwxTraceProc trace);
  void Unbind();
  bool IsBound() const { return module_.IsLoaded(); }
  const SerialEntries& Entries() const { return entries_; }

  // kwxInitial: the module copies the block; its events go to window.
  void Initial(HWND32 window, const KwxInitialParam& param);
  bool ConnectSMail(const std::string& number, std::string_view text);
  // Mode 0 send, 1 receive, 2 both; count of mails to send.
  bool ConnectEMail(int32_t mode, int32_t count);
  bool SendEMail(std::string_view text);
  void GetEMailList(int32_t first);
  void GetEMail(const std::string& id);
  void PurgeEMail(const std::string& id);
  void ExitEMail();
  // What the module holds, at most 6144 bytes; the module's buffer is emptied.
  std::string GetBuffer();
  bool WaitForRing();
  void Disconnect(kwx::DisconnectReason reason);
  bool ResumeTxRx();
  bool ReadySMail();
  // kwxGetState: true while a session runs.
  bool Busy();
  // The text the module keeps under id, read into a zeroed buffer of size bytes.
  std::string GetParam(kwx::ParamId id, int32_t size);
  bool EnterInfoMode(int32_t kind);
  bool GetInfo();
  bool SetInfo(std::string_view data);
  bool BareInfo(std::string_view data);
  bool DeleteInfo();
  bool ExitInfoMode();
  // The handset's own number read without a session; empty when none.
  std::string GetTelNumber(const std::string& port, int32_t baud);
  // Polls the module every 100 ms until it is idle; false after count polls.
  // Between two polls runs the idle pause: a plain sleep unless one is set
  // (the launcher's lets its windows paint while nothing new starts).
  bool WaitIdle(int count);
  using IdlePause = std::function<void(std::chrono::milliseconds)>;
  void SetIdlePause(IdlePause pause) { idlePause_ = std::move(pause); }

 private:
  Module module_;
  SerialEntries entries_;
  IdlePause idlePause_;
};

}  // namespace qv
