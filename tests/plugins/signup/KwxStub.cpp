// A sign-up serial-link module that lacks kwxGetDllVersion: the terminal
// must refuse it as a whole. Every entry it has does nothing.
#include "abi/KwxApi.h"

#define STUB_EXPORT extern "C" __attribute__((visibility("default")))

STUB_EXPORT int32_t kwxInitial(uint32_t, const KwxInitialParam*) { return 0; }
STUB_EXPORT int32_t kwxTerminate() { return 1; }
STUB_EXPORT int32_t kwxConnectSignup() { return 1; }
STUB_EXPORT int32_t kwxDisconnect(int32_t) { return 1; }
STUB_EXPORT int32_t kwxGetErrorCode(int32_t, int32_t) { return 0; }
STUB_EXPORT int32_t kwxSetParam(int32_t, int32_t) { return 0; }
STUB_EXPORT int32_t kwxGetParam(int32_t, char*, int32_t) { return 0; }
STUB_EXPORT int32_t kwxAsyncSendSignup(const char*, int32_t) { return 0; }
STUB_EXPORT int32_t kwxAsyncGetBuffer(char*, int32_t*) { return 0; }
STUB_EXPORT int32_t kwxTestPort(int32_t) { return 0; }
STUB_EXPORT int32_t kwxResumeTxRx(int32_t, int32_t, int32_t) { return 0; }
STUB_EXPORT int32_t kwxGetTelNumber(const char*, int32_t, char*) { return 0; }
