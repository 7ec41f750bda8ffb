#include "plugins/signup/KwxBinding.h"

#include <type_traits>

namespace qv {

bool KwxBinding::Bind(std::string_view fileName) {
  Unbind();
  if (fileName.empty() || !module.Load(fileName)) return false;
  bool all = true;
  auto take = [&](auto& fn, const char* name) {
    fn = module.Function<std::remove_reference_t<decltype(fn)>>(name);
    all = all && fn != nullptr;
  };
  take(kwxInitial, "kwxInitial");
  take(kwxTerminate, "kwxTerminate");
  take(kwxConnectSignup, "kwxConnectSignup");
  take(kwxDisconnect, "kwxDisconnect");
  take(kwxGetErrorCode, "kwxGetErrorCode");
  take(kwxSetParam, "kwxSetParam");
  take(kwxGetParam, "kwxGetParam");
  take(kwxAsyncSendSignup, "kwxAsyncSendSignup");
  take(kwxAsyncGetBuffer, "kwxAsyncGetBuffer");
  take(kwxTestPort, "kwxTestPort");
  take(kwxResumeTxRx, "kwxResumeTxRx");
  take(kwxGetTelNumber, "kwxGetTelNumber");
  take(kwxGetDllVersion, "kwxGetDllVersion");
  if (!all) Unbind();
  return all;
}

void KwxBinding::Unbind() {
  *this = KwxBinding{};  // clears every pointer; the old module is freed by the move
}

}  // namespace qv
