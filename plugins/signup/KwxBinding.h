#pragma once
// The sign-up serial-link module bound at run time by the sign-up window: the
// thirteen entry points it calls, all required.
#include "platform/Module.h"
#include "abi/KwxApi.h"

#include <string_view>

namespace qv {

struct KwxBinding {
  KwxInitialFn kwxInitial = nullptr;
  KwxVoidFn kwxTerminate = nullptr;
  KwxVoidFn kwxConnectSignup = nullptr;
  KwxIntFn kwxDisconnect = nullptr;
  KwxGetErrorCodeFn kwxGetErrorCode = nullptr;
  KwxSetParamFn kwxSetParam = nullptr;
  KwxGetParamFn kwxGetParam = nullptr;
  KwxDataFn kwxAsyncSendSignup = nullptr;
  KwxGetBufferFn kwxAsyncGetBuffer = nullptr;
  KwxIntFn kwxTestPort = nullptr;
  KwxResumeTxRxFn kwxResumeTxRx = nullptr;
  KwxGetTelNumberFn kwxGetTelNumber = nullptr;
  KwxOutTextFn kwxGetDllVersion = nullptr;

  // Loads the module (a relative name from the launcher's folder) and looks
  // every entry point up. An empty name, a module that does not load or one
  // that lacks any name leaves nothing bound and the module freed.
  bool Bind(std::string_view fileName);
  void Unbind();
  bool Bound() const { return module.IsLoaded(); }

  Module module;
};

}  // namespace qv
