// A serial-link module built for the launcher's tests: every function the
// launcher binds, each recording its call (with its arguments) in calls.log
// in the launcher's folder. A test scripts it: what a call answers, the
// events a call is followed by (posted to the window kwxInitial was given, as
// the module's worker would), the data kwxAsyncGetBuffer hands out with them,
// and the texts kwxGetParam gives. A call that a session waits on fails at
// once when the test scripted nothing for it (see Call).
#include "abi/KwxApi.h"
#include "platform/Handles.h"
#include "platform/Paths.h"
#include "platform/Version.h"

#include <atomic>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

QV_VERSION_INFO("FileVersion=7.6.5.4\0");

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Reply {
  std::vector<std::pair<int32_t, int32_t>> events;
  std::vector<std::string> pieces;  // one per data event (1, 4) or (1, 2)
};

std::mutex g_mutex;
uint32_t g_window = 0;
KwxInitialParam g_param{};
std::map<std::string, std::deque<Reply>> g_replies;
std::map<std::string, int32_t> g_results;
std::map<int32_t, std::string> g_params;
std::deque<std::string> g_pieces;

// One line per call: CR and LF in texts are written as \r and \n.
void Log(const std::string& line) {
  std::string escaped;
  for (char c : line) escaped += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
  std::ofstream(qv::ProgramDir() / "calls.log", std::ios::app | std::ios::binary) << "serial " << escaped << "\n";
}

struct Unload {
  ~Unload() { Log("unloaded"); }
} g_unload;

// The kind of the session the last starting call began: what an unscripted
// call ends.
kwx::SessionKind g_kind = kwx::kKindEMailReceive;

// Logs the call, posts the reply queued for it and answers what the test set
// (def without a setting).
//
// A call that a session waits on (strict) with neither a reply queued nor an
// answer set is a script the test did not write: it is written to
// unscripted.log (the fixture fails the test with it), answered 0, and the
// session's end is posted, so that nothing waits for events that will never
// come.
int32_t Call(const std::string& name, const std::string& args, int32_t def, bool strict = false) {
  Log(args.empty() ? name : name + " " + args);
  Reply reply;
  int32_t result = def;
  uint32_t window = 0;
  bool scripted = !strict;
  {
    std::lock_guard lock(g_mutex);
    if (auto r = g_results.find(name); r != g_results.end()) {
      result = r->second;
      scripted = true;
    }
    if (auto q = g_replies.find(name); q != g_replies.end() && !q->second.empty()) {
      reply = std::move(q->second.front());
      q->second.pop_front();
      scripted = true;
    }
    for (auto& piece : reply.pieces) g_pieces.push_back(std::move(piece));
    window = g_window;
  }
  if (!scripted) {
    std::ofstream(qv::ProgramDir() / "unscripted.log", std::ios::app | std::ios::binary)
        << (args.empty() ? name : name + " " + args) << "\n";
    reply.events = {{kwx::KWX_EV_SESSION_END, kwx::SessionOver(g_kind)},
                    {kwx::KWX_EV_SESSION_END, kwx::WorkerEnded(g_kind)}};
    result = 0;
  }
  for (const auto& [kind, code] : reply.events) qv::PostMessage(window, kwx::WM_KWX_NOTIFY, kind, code);
  return result;
}

// A call that starts a session of the kind.
int32_t Start(kwx::SessionKind kind, const std::string& name, const std::string& args) {
  {
    std::lock_guard lock(g_mutex);
    g_kind = kind;
  }
  return Call(name, args, 1, true);
}

std::string Text(const char* text) { return text ? text : ""; }

}  // namespace

EXPORT int32_t kwxInitial(uint32_t window, const KwxInitialParam* param) {
  {
    std::lock_guard lock(g_mutex);
    g_window = window;
    if (param) g_param = *param;
  }
  return Call("kwxInitial", "", 1);
}
EXPORT int32_t kwxTerminate() { return Call("kwxTerminate", "", 1); }
EXPORT int32_t kwxConnectEMail(int32_t mode, int32_t count) {
  const kwx::SessionKind kind = mode == 0 ? kwx::kKindEMailSend : mode == 1 ? kwx::kKindEMailReceive : kwx::kKindEMailExchange;
  return Start(kind, "kwxConnectEMail", std::to_string(mode) + " " + std::to_string(count));
}
EXPORT int32_t kwxAsyncSendEMail(const char* data, int32_t length) {
  return Call("kwxAsyncSendEMail", std::string(data, static_cast<size_t>(length > 0 ? length : 0)), 1, true);
}
EXPORT int32_t kwxAsyncGetEMailList(int32_t first) {
  return Call("kwxAsyncGetEMailList", std::to_string(first), 0, true);
}
EXPORT int32_t kwxAsyncGetEMail(const char* id) { return Call("kwxAsyncGetEMail", Text(id), 0, true); }
EXPORT int32_t kwxPurgeEMail(const char* id) { return Call("kwxPurgeEMail", Text(id), 0, true); }
EXPORT int32_t kwxExitEMail() { return Call("kwxExitEMail", "", 0, true); }
EXPORT int32_t kwxAsyncGetBuffer(char* buffer, int32_t* size) {
  std::string piece;
  {
    std::lock_guard lock(g_mutex);
    if (!g_pieces.empty()) {
      piece = std::move(g_pieces.front());
      g_pieces.pop_front();
    }
  }
  if (size) {
    const size_t n = std::min(piece.size(), static_cast<size_t>(*size > 0 ? *size : 0));
    std::memcpy(buffer, piece.data(), n);
    *size = static_cast<int32_t>(n);
  }
  return Call("kwxAsyncGetBuffer", std::to_string(size ? *size : -1), 1);
}
EXPORT int32_t kwxWaitForRing() { return Start(kwx::kKindRingWait, "kwxWaitForRing", ""); }
EXPORT int32_t kwxConnectSMail(const char* destination, const char* data, int32_t length) {
  return Start(kwx::kKindDirectMail, "kwxConnectSMail",
               Text(destination) + " " + std::string(data, static_cast<size_t>(length)));
}
EXPORT int32_t kwxDisconnect(int32_t reason) { return Call("kwxDisconnect", std::to_string(reason), 1); }
EXPORT int32_t kwxResumeTxRx(int32_t, int32_t, int32_t) { return Call("kwxResumeTxRx", "", 1, true); }
EXPORT int32_t kwxReadySMail() { return Call("kwxReadySMail", "", 1, true); }
std::atomic<int32_t> g_stateAsked{0};

EXPORT int32_t kwxGetState() {
  ++g_stateAsked;
  std::lock_guard lock(g_mutex);
  auto r = g_results.find("kwxGetState");
  return r == g_results.end() ? 0 : r->second;
}
EXPORT int32_t kwxSetParam(int32_t, int32_t) { return Call("kwxSetParam", "", 1); }
EXPORT int32_t kwxGetParam(int32_t id, char* buffer, int32_t size) {
  if (size <= 0) return 0;
  std::string text;
  {
    std::lock_guard lock(g_mutex);
    if (auto p = g_params.find(id); p != g_params.end()) text = p->second;
  }
  // As the module: at most size bytes, NUL padding, no NUL when longer.
  std::memset(buffer, 0, static_cast<size_t>(size));
  std::memcpy(buffer, text.data(), std::min(text.size(), static_cast<size_t>(size)));
  return 1;
}
EXPORT int32_t kwxEnterInfoMode(int32_t kind) { return Start(kwx::kKindInfo, "kwxEnterInfoMode", std::to_string(kind)); }
EXPORT int32_t kwxGetInfo() { return Call("kwxGetInfo", "", 1, true); }
EXPORT int32_t kwxSetInfo(const char*, int32_t) { return Call("kwxSetInfo", "", 1, true); }
EXPORT int32_t kwxBareInfo(const char*, int32_t) { return Call("kwxBareInfo", "", 1, true); }
EXPORT int32_t kwxDeleteInfo() { return Call("kwxDeleteInfo", "", 1, true); }
EXPORT int32_t kwxExitInfoMode() { return Call("kwxExitInfoMode", "", 1, true); }
#ifndef QV_TEST_MISSING_FUNCTION
EXPORT int32_t kwxGetTelNumber(const char* port, int32_t baud, char* out) {
  std::string number;
  {
    std::lock_guard lock(g_mutex);
    if (auto p = g_params.find(-1); p != g_params.end()) number = p->second;
  }
  std::snprintf(out, 36, "%s", number.c_str());
  return Call("kwxGetTelNumber", Text(port) + " " + std::to_string(baud), number.empty() ? 0 : 1);
}
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

// The next call of the function is followed by these events; pieces are what
// kwxAsyncGetBuffer then hands out, one per call.
EXPORT void TestQueueReply(const char* function, const int32_t* pairs, int32_t count, const char* const* pieces,
                           const int32_t* sizes, int32_t pieceCount) {
  Reply reply;
  for (int32_t i = 0; i < count; ++i) reply.events.emplace_back(pairs[2 * i], pairs[2 * i + 1]);
  for (int32_t i = 0; i < pieceCount; ++i) reply.pieces.emplace_back(pieces[i], static_cast<size_t>(sizes[i]));
  std::lock_guard lock(g_mutex);
  g_replies[function].push_back(std::move(reply));
}

// What the function answers from now on.
EXPORT void TestSetResult(const char* function, int32_t result) {
  std::lock_guard lock(g_mutex);
  g_results[function] = result;
}

// What kwxGetParam answers for id (-1: what kwxGetTelNumber reads).
EXPORT void TestSetParam(int32_t id, const char* text, int32_t size) {
  std::lock_guard lock(g_mutex);
  g_params[id] = std::string(text, static_cast<size_t>(size));
}

// How often kwxGetState was asked so far (any thread).
EXPORT int32_t TestStateAsked() { return g_stateAsked; }

// The last parameter block kwxInitial was given.
EXPORT void TestLastParam(KwxInitialParam* out) {
  std::lock_guard lock(g_mutex);
  *out = g_param;
}
