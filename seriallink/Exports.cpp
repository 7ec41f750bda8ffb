// The exported C entry points of Portvine.so; each forwards to the module object.
#include "Clock.h"
#include "Ddd.h"
#include "abi/KwxApi.h"
#include "Portvine.h"

#include "platform/Version.h"

#include <cstdarg>
#include <cstdio>

namespace {
// Made at load (installing the do-nothing callback), ended at unload.
portvine::Portvine g_module;
}  // namespace

#define KWX_EXPORT extern "C" __attribute__((visibility("default")))

KWX_EXPORT int32_t kwxInitial(uint32_t window, const KwxInitialParam* param) { return g_module.Initial(window, param); }
KWX_EXPORT int32_t kwxTerminate() { return g_module.Terminate(); }
KWX_EXPORT int32_t kwxGetState() { return g_module.GetState(); }
KWX_EXPORT int32_t kwxConnectEMail(int32_t mode, int32_t count) { return g_module.ConnectEMail(mode, count); }
KWX_EXPORT int32_t kwxConnectSMail(const char* destination, const char* data, int32_t length) {
  return g_module.ConnectSMail(destination, data, length);
}
KWX_EXPORT int32_t kwxConnectSignup() { return g_module.ConnectSignup(); }
KWX_EXPORT int32_t kwxRingResponse(int32_t) { return 0; }
KWX_EXPORT int32_t kwxDisconnect(int32_t reason) { return g_module.Disconnect(reason); }
KWX_EXPORT int32_t kwxTestPort(int32_t number) { return g_module.TestPort(number); }
KWX_EXPORT int32_t kwxGetErrorCode(int32_t, int32_t) { return g_module.GetErrorCode(); }
KWX_EXPORT int32_t kwxSetParam(int32_t id, int32_t value) { return g_module.SetParam(id, value); }
KWX_EXPORT int32_t kwxGetParam(int32_t id, char* buffer, int32_t size) { return g_module.GetParam(id, buffer, size); }
KWX_EXPORT int32_t kwxAsyncSendEMail(const char* data, int32_t length) { return g_module.AsyncSendEMail(data, length); }
KWX_EXPORT int32_t kwxAsyncSendSignup(const char* data, int32_t length) { return g_module.AsyncSendEMail(data, length); }
KWX_EXPORT int32_t kwxAsyncGetEMailList(int32_t count) { return g_module.AsyncGetEMailList(count); }
KWX_EXPORT int32_t kwxAsyncGetEMail(const char* id) { return g_module.AsyncGetEMail(id); }
KWX_EXPORT int32_t kwxPurgeEMail(const char* id) { return g_module.PurgeEMail(id); }
KWX_EXPORT int32_t kwxExitEMail() { return g_module.ExitEMail(); }
KWX_EXPORT int32_t kwxReadySMail() { return g_module.ReadySMail(); }
KWX_EXPORT int32_t kwxAsyncGetBuffer(char* buffer, int32_t* size) { return g_module.AsyncGetBuffer(buffer, size); }
KWX_EXPORT int32_t kwxWaitForRing() { return g_module.WaitForRing(); }
KWX_EXPORT int32_t kwxResumeTxRx(int32_t, int32_t, int32_t) { return g_module.ResumeTxRx(); }
KWX_EXPORT int32_t kwxGetTelNumber(const char* port, int32_t baud, char* out36) {
  return g_module.GetTelNumber(port, baud, out36);
}
KWX_EXPORT int32_t kwxGetReceiveBufferSize(int32_t) { return kwx::kReceiveBufferSize; }
KWX_EXPORT int32_t kwxGetDllVersion(char* out36) { return g_module.GetDllVersion(out36); }
KWX_EXPORT int32_t kwxLogWrite(const char* format, ...) {
  char text[256] = {};
  if (format) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
  }
  g_module.LogWrite(text);
  return 0;
}
KWX_EXPORT int32_t kwxEnterInfoMode(int32_t category) { return g_module.EnterInfoMode(category); }
KWX_EXPORT int32_t kwxGetInfo() { return g_module.PostInfo(2); }
KWX_EXPORT int32_t kwxSetInfo(const char* data, int32_t length) { return g_module.SetInfo(data, length, 1); }
KWX_EXPORT int32_t kwxBareInfo(const char* data, int32_t length) { return g_module.SetInfo(data, length, 5); }
KWX_EXPORT int32_t kwxDeleteInfo() { return g_module.PostInfo(3); }
KWX_EXPORT int32_t kwxSetCategory(int32_t category) { return g_module.SetCategory(category); }
KWX_EXPORT int32_t kwxExitInfoMode() { return g_module.PostInfo(6); }
KWX_EXPORT int32_t SetCallbackFunc(KwxTraceProc proc) {
  g_module.SetCallback(proc);
  return 1;
}

KWX_EXPORT int32_t DDDtoByte(const char* p) { return portvine::ddd::DDDtoByte(p); }
KWX_EXPORT void BytetoDDD(int32_t b, char* out) { portvine::ddd::BytetoDDD(b, out); }
KWX_EXPORT int32_t StrDDDtoBin(const char* text, uint8_t* out) { return portvine::ddd::StrDDDtoBin(text, out); }
KWX_EXPORT int32_t BintoStrDDD(const uint8_t* data, int32_t length, char* out) {
  return portvine::ddd::BintoStrDDD(data, length, out);
}
KWX_EXPORT void ExCodeToSPC(uint8_t* buffer, int32_t length) { portvine::ddd::ExCodeToSPC(buffer, length); }

// For tests only (the launcher binds no such name): the module's time runs
// rate times faster, so that its deadlines can be met without waiting minutes.
KWX_EXPORT void PortvineTestSetClockRate(int32_t rate) { portvine::clock::SetRate(rate); }
// For tests only: the number of the state the worker runs (0 when none), so
// that a test can act while a state waits instead of after a guessed time.
KWX_EXPORT int32_t PortvineTestState() {
  const portvine::CState* state = g_module.Engine().CurrentState();
  return state ? state->Id() : 0;
}
// For tests only: how many slices line reads have waited for the caller's
// word, so that a test can see the module hold back instead of guessing a time.
KWX_EXPORT int32_t PortvineTestFlowWaits() { return g_module.Port().FlowWaits(); }
