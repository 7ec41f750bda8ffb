// A serial-link module built for the launcher's tests: every function the
// launcher binds, each recording its call in calls.log in the launcher's
// folder, and an export that posts events from a worker thread as the real
// module does.
#include "seriallink/KwxApi.h"
#include "platform/Handles.h"
#include "platform/Paths.h"
#include "platform/Version.h"

#include <fstream>
#include <string>
#include <thread>

QV_VERSION_INFO("FileVersion=7.6.5.4\0");

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

void Log(const std::string& line) {
  std::ofstream(qv::ProgramDir() / "calls.log", std::ios::app | std::ios::binary) << "serial " << line << "\n";
}

struct Unload {
  ~Unload() { Log("unloaded"); }
} g_unload;

}  // namespace

EXPORT int32_t kwxInitial(uint32_t, const KwxInitialParam*) { Log("kwxInitial"); return 1; }
EXPORT int32_t kwxTerminate() { Log("kwxTerminate"); return 1; }
EXPORT int32_t kwxConnectEMail(int32_t, int32_t) { Log("kwxConnectEMail"); return 1; }
EXPORT int32_t kwxAsyncSendEMail(const char*, int32_t) { Log("kwxAsyncSendEMail"); return 1; }
EXPORT int32_t kwxAsyncGetEMailList(int32_t) { Log("kwxAsyncGetEMailList"); return 0; }
EXPORT int32_t kwxAsyncGetEMail(const char*) { Log("kwxAsyncGetEMail"); return 0; }
EXPORT int32_t kwxPurgeEMail(const char*) { Log("kwxPurgeEMail"); return 0; }
EXPORT int32_t kwxExitEMail() { Log("kwxExitEMail"); return 0; }
EXPORT int32_t kwxAsyncGetBuffer(char*, int32_t* size) { Log("kwxAsyncGetBuffer"); if (size) *size = 0; return 1; }
EXPORT int32_t kwxWaitForRing() { Log("kwxWaitForRing"); return 1; }
EXPORT int32_t kwxConnectSMail(const char*, const char*, int32_t) { Log("kwxConnectSMail"); return 1; }
EXPORT int32_t kwxDisconnect(int32_t reason) { Log("kwxDisconnect " + std::to_string(reason)); return 1; }
EXPORT int32_t kwxResumeTxRx(int32_t, int32_t, int32_t) { Log("kwxResumeTxRx"); return 1; }
EXPORT int32_t kwxReadySMail() { Log("kwxReadySMail"); return 1; }
EXPORT int32_t kwxGetState() { return 0; }
EXPORT int32_t kwxSetParam(int32_t, int32_t) { Log("kwxSetParam"); return 1; }
EXPORT int32_t kwxGetParam(int32_t, char* buffer, int32_t size) { if (size > 0) buffer[0] = 0; return 1; }
EXPORT int32_t kwxEnterInfoMode(int32_t) { Log("kwxEnterInfoMode"); return 1; }
EXPORT int32_t kwxGetInfo() { Log("kwxGetInfo"); return 1; }
EXPORT int32_t kwxSetInfo(const char*, int32_t) { Log("kwxSetInfo"); return 1; }
EXPORT int32_t kwxBareInfo(const char*, int32_t) { Log("kwxBareInfo"); return 1; }
EXPORT int32_t kwxDeleteInfo() { Log("kwxDeleteInfo"); return 1; }
EXPORT int32_t kwxExitInfoMode() { Log("kwxExitInfoMode"); return 1; }
#ifndef QV_TEST_MISSING_FUNCTION
EXPORT int32_t kwxGetTelNumber(const char*, int32_t, char* out) { out[0] = 0; return 0; }
#endif

EXPORT int32_t SetCallbackFunc(KwxTraceProc proc) {
  Log("SetCallbackFunc");
  // As the real module: a trace line at once, and an event pair.
  proc(0, "cmn->Callback Ready");
  const int32_t pair[2] = {8, 31};
  proc(1, pair);
  return 1;
}

// Posts the events from a worker thread and waits for it.
EXPORT void TestPostEvents(uint32_t window, const int32_t* pairs, int32_t count) {
  std::thread worker([=] {
    for (int32_t i = 0; i < count; ++i) qv::PostMessage(window, kwx::WM_KWX_NOTIFY, pairs[2 * i], pairs[2 * i + 1]);
  });
  worker.join();
}
