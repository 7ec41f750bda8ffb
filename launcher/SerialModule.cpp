#include "launcher/SerialModule.h"

namespace qv {
namespace {

template <typename Fn>
bool Take(const Module& module, const char* name, Fn& slot) {
  slot = module.Function<Fn>(name);
  return slot != nullptr;
}

}  // namespace

bool SerialModule::Bind(std::string_view fileName, KwxTraceProc trace) {
  Unbind();
  if (fileName.empty() || !module_.Load(fileName)) return false;
  const Module& m = module_;
  SetCallbackFuncFn setCallback = nullptr;
  bool all = Take(m, "kwxInitial", kwxInitial) && Take(m, "kwxTerminate", kwxTerminate) &&
             Take(m, "kwxConnectEMail", kwxConnectEMail) && Take(m, "kwxAsyncSendEMail", kwxAsyncSendEMail) &&
             Take(m, "kwxAsyncGetEMailList", kwxAsyncGetEMailList) && Take(m, "kwxAsyncGetEMail", kwxAsyncGetEMail) &&
             Take(m, "kwxPurgeEMail", kwxPurgeEMail) && Take(m, "kwxExitEMail", kwxExitEMail) &&
             Take(m, "kwxAsyncGetBuffer", kwxAsyncGetBuffer) && Take(m, "kwxWaitForRing", kwxWaitForRing) &&
             Take(m, "kwxConnectSMail", kwxConnectSMail) && Take(m, "kwxDisconnect", kwxDisconnect) &&
             Take(m, "kwxResumeTxRx", kwxResumeTxRx) && Take(m, "kwxReadySMail", kwxReadySMail) &&
             Take(m, "kwxGetState", kwxGetState) && Take(m, "kwxSetParam", kwxSetParam) &&
             Take(m, "kwxGetParam", kwxGetParam) && Take(m, "kwxEnterInfoMode", kwxEnterInfoMode) &&
             Take(m, "kwxGetInfo", kwxGetInfo) && Take(m, "kwxSetInfo", kwxSetInfo) &&
             Take(m, "kwxBareInfo", kwxBareInfo) && Take(m, "kwxDeleteInfo", kwxDeleteInfo) &&
             Take(m, "kwxExitInfoMode", kwxExitInfoMode) && Take(m, "kwxGetTelNumber", kwxGetTelNumber) &&
             Take(m, "SetCallbackFunc", setCallback);
  if (!all) {
    Unbind();
    return false;
  }
  setCallback(trace);
  return true;
}

void SerialModule::Unbind() {
  static_cast<SerialEntries&>(*this) = SerialEntries{};
  module_.Unload();
}

}  // namespace qv
