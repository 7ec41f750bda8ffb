// The exported C entry points of KWX.so: the serial-link API family, of which
// this module runs only the sign-up call; the other entries answer 0.
#include "KwxFront.h"

#include "abi/KwxApi.h"
#include "seriallink/common/Clock.h"

#include "platform/Version.h"

namespace {
// Made at load, ended at unload (which stops and joins the module's threads).
kwxsignup::CKWXfront g_front;
}  // namespace

#define KWX_EXPORT extern "C" __attribute__((visibility("default")))

KWX_EXPORT int32_t kwxInitial(uint32_t window, const KwxInitialParam* param) { return g_front.Initial(window, param); }
KWX_EXPORT int32_t kwxTerminate() { return 1; }
// The call is started by kwxInitial.
KWX_EXPORT int32_t kwxConnectSignup() { return 1; }
KWX_EXPORT int32_t kwxGetState() { return g_front.GetState(); }
KWX_EXPORT int32_t kwxDisconnect(int32_t reason) { return g_front.Disconnect(reason); }
KWX_EXPORT int32_t kwxTestPort(int32_t number) { return g_front.TestPort(number); }
KWX_EXPORT int32_t kwxGetErrorCode(int32_t, int32_t) { return g_front.GetErrorCode(); }
KWX_EXPORT int32_t kwxSetParam(int32_t id, int32_t value) { return g_front.SetParam(id, value); }
KWX_EXPORT int32_t kwxGetParam(int32_t id, char* buffer, int32_t size) { return g_front.GetParam(id, buffer, size); }
KWX_EXPORT int32_t kwxAsyncSendSignup(const char* data, int32_t length) { return g_front.AsyncSendSignup(data, length); }
KWX_EXPORT int32_t kwxAsyncGetBuffer(char* buffer, int32_t* size) { return g_front.AsyncGetBuffer(buffer, size); }
KWX_EXPORT int32_t kwxWaitForRing() { return g_front.WaitForRing(); }
KWX_EXPORT int32_t kwxResumeTxRx(int32_t, int32_t, int32_t) { return g_front.ResumeTxRx(); }
KWX_EXPORT int32_t kwxGetReceiveBufferSize(int32_t) { return kwx::kReceiveBufferSize; }
KWX_EXPORT int32_t kwxGetTelNumber(const char* port, int32_t baud, char* out36) {
  return g_front.GetTelNumber(port, baud, out36);
}
KWX_EXPORT int32_t kwxGetDllVersion(char* out36) { return g_front.GetDllVersion(out36); }

// Entries of the full module that this one does not run.
KWX_EXPORT int32_t kwxAsyncSendCMail(int32_t, int32_t) { return 0; }
KWX_EXPORT int32_t kwxAsyncSendSMail(int32_t, int32_t) { return 0; }
KWX_EXPORT int32_t kwxAsyncReceiveSMail(int32_t, int32_t) { return 0; }
KWX_EXPORT int32_t kwxConnectCMail(int32_t) { return 0; }
KWX_EXPORT int32_t kwxConnectSMail(const char*, const char*, int32_t) { return 0; }
KWX_EXPORT int32_t kwxRingResponse(int32_t) { return 0; }
KWX_EXPORT int32_t kwxAsyncGetMailList(int32_t) { return 0; }
KWX_EXPORT int32_t kwxAsyncReceiveCMail(int32_t) { return 0; }
KWX_EXPORT int32_t kwxAsyncPurgeCMail(int32_t) { return 0; }

// For tests only (no caller binds it): the module's time runs rate times
// faster, so that its deadlines can be met without waiting minutes.
KWX_EXPORT void KwxTestSetClockRate(int32_t rate) { seriallink::clock::SetRate(rate); }
