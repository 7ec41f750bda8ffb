#pragma once
// The serial-link module bound by name: its 24 functions, all required, and
// SetCallbackFunc, which is called with the launcher's trace callback at once.
#include "abi/KwxApi.h"
#include "platform/Module.h"

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

class SerialModule : public SerialEntries {
 public:
  // Loads the module (a relative name from the program's folder) and binds
  // every function in order. Any missing name unloads it again: false.
  bool Bind(std::string_view fileName, KwxTraceProc trace);
  void Unbind();
  bool IsBound() const { return module_.IsLoaded(); }

 private:
  Module module_;
};

}  // namespace qv
