#pragma once
// The serial-link API as its callers bind it: the 112-byte parameter block,
// the notification message and its event types, the trace callback, and the
// signatures of the exports (C linkage, looked up by name).
#include <cstdint>
#include <cstddef>

extern "C" {

// Given to kwxInitial; the module keeps its own copy.
struct KwxInitialParam {
  char EMailPhoneNo[36];         // e-mail centre number, NUL-terminated
  char OnlineSignUpPhoneNo[36];  // sign-up centre number
  int32_t Reserved;
  int32_t Bunkei;                // split billing, non-zero is on
  uint32_t NotifyWindow;         // replaced by kwxInitial's window argument
  char SerialPort[12];           // "\\.\COMn"
  int32_t Baudrate;
  int32_t RingReject;
  int32_t DialWithNum;
  int32_t AutoReceive;
};

// Kind 0: data is a NUL-terminated trace line. Kind 1: data points to two
// int32 {event type, event code}, valid during the call.
typedef void (*KwxTraceProc)(int32_t kind, const void* data);

typedef int32_t (*KwxInitialFn)(uint32_t window, const KwxInitialParam* param);
typedef int32_t (*KwxVoidFn)();
typedef int32_t (*KwxIntFn)(int32_t value);
typedef int32_t (*KwxConnectEMailFn)(int32_t mode, int32_t count);
typedef int32_t (*KwxConnectSMailFn)(const char* destination, const char* data, int32_t length);
typedef int32_t (*KwxDataFn)(const char* data, int32_t length);
typedef int32_t (*KwxTextFn)(const char* text);
typedef int32_t (*KwxGetBufferFn)(char* buffer, int32_t* size);
typedef int32_t (*KwxResumeTxRxFn)(int32_t, int32_t, int32_t);
typedef int32_t (*KwxGetErrorCodeFn)(int32_t, int32_t);
typedef int32_t (*KwxSetParamFn)(int32_t id, int32_t value);
typedef int32_t (*KwxGetParamFn)(int32_t id, char* buffer, int32_t size);
typedef int32_t (*KwxGetTelNumberFn)(const char* port, int32_t baud, char* out36);
typedef int32_t (*KwxOutTextFn)(char* out36);
typedef int32_t (*KwxLogWriteFn)(const char* format, ...);
typedef int32_t (*SetCallbackFuncFn)(KwxTraceProc proc);

}  // extern "C"

static_assert(sizeof(KwxInitialParam) == 112, "the parameter block is 112 bytes");
static_assert(offsetof(KwxInitialParam, Bunkei) == 76);
static_assert(offsetof(KwxInitialParam, NotifyWindow) == 80);
static_assert(offsetof(KwxInitialParam, SerialPort) == 84);
static_assert(offsetof(KwxInitialParam, AutoReceive) == 108);

namespace kwx {
// WM_USER + 1, posted with wParam = event type and lParam = event code.
constexpr uint32_t WM_KWX_NOTIFY = 0x0401;
enum EventType : int32_t {
  KWX_EV_PROGRESS = 0,
  KWX_EV_READY = 1,
  KWX_EV_INCOMING = 2,
  KWX_EV_SENT_BYTES = 3,
  KWX_EV_NO_RESPONSE = 7,
  KWX_EV_SESSION_END = 8,
  KWX_EV_SESSION_ERROR = 9,
  KWX_EV_MODULE_ERROR = 10,
};
constexpr int32_t kReceiveBufferSize = 6144;

// Codes of KWX_EV_READY.
enum ReadyCode : int32_t {
  kReadyForOperation = 1,    // the session waits for the caller's next operation
  kReadyData = 2,            // data is ready: fetch it with kwxAsyncGetBuffer
  kReadyFirstOperation = 3,  // sign-up: the call's first wait, where the first message is due
  kReadyBufferFull = 4,      // the receive buffer is full: fetch it, reading goes on
  kReadyBodyStarts = 5,      // the body of a mail or list starts arriving
  kReadyTurnOver = 6,        // sign-up: the centre's turn is over
  kReadyForCommand = 7,      // as 1, where the next e-mail command is expected
  kReadyMailAccepted = 8,    // the centre accepted one mail
  kReadyArmed = 9,           // the handset is prepared; in ring wait: armed
  kReadyRefused = 10,        // ring wait refused a direct mail (ring reject)
  kReadyNoMore = 11,         // the centre has no more mail
  kReadyDirectMailDone = 12  // the reception of a direct mail after a ring is over
};
// Codes of KWX_EV_INCOMING: what rang in during ring wait.
enum IncomingCode : int32_t {
  kIncomingDirectMail = 0,
  kIncomingLightMail = 1,
  kIncomingEMailNotice = 2,
  kIncomingOtherCall = 3
};
// Session kinds, carried in the progress and end codes.
enum SessionKind : int32_t {
  kKindSignup = 0,
  kKindDirectMail = 1,
  kKindRingWait = 2,
  kKindEMailSend = 3,
  kKindEMailReceive = 4,
  kKindEMailExchange = 5,
  kKindInfo = 6
};
// KWX_EV_SESSION_END: the session is over (kind x 10), then its worker has
// ended (kind x 10 + 1).
constexpr int32_t SessionOver(SessionKind kind) { return kind * 10; }
constexpr int32_t WorkerEnded(SessionKind kind) { return kind * 10 + 1; }
// KWX_EV_NO_RESPONSE: 60 seconds without progress in a transfer.
constexpr int32_t kNoProgress = 70002;
// Reasons given to kwxDisconnect.
enum DisconnectReason : int32_t {
  kDisconnectUser = 10,
  kDisconnectNoAnswer = 1130,
  kDisconnectStopRingWait = 99999
};
// Ids of kwxGetParam.
enum ParamId : int32_t {
  kParamOwnNumber = 0,
  kParamLightMail = 2,
  kParamEMailNotice = 3,
  kParamCaller = 6
};
}  // namespace kwx
