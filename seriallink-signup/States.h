#pragma once
// The sign-up session as state objects: STATE0 (open, prepare, dial) to
// STATE10 (line lost), and the idle state KDX0 that ends the session. The
// worker calls kick to perform a state's step, or abort when the caller has
// stopped the session, and then getNext for its successor.
#include "Modem.h"
#include "SerialPort.h"

#include "seriallink/common/LineSplitter.h"
#include "seriallink/common/SignupRules.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace kwxsignup {

class CKWXfront;

// What every state works with.
struct StateContext {
  CSerialPort& port;
  CModem& modem;
  seriallink::LineSplitter& splitter;
  CKWXfront& front;
};

enum StateFlag : uint32_t {
  kWaitForCaller = 1,  // the worker tells the caller it is ready and waits for a request first
  kOnline = 2,         // runs with the call up
  kFinal = 4,          // reaching it ends the session
};

class CKwxState {
 public:
  CKwxState(int32_t id, uint32_t flags, seriallink::SignupRule rule, StateContext& c);
  virtual ~CKwxState() = default;
  CKwxState(const CKwxState&) = delete;
  CKwxState& operator=(const CKwxState&) = delete;

  // The step in place of kick once the caller has stopped the session; a
  // reason of 0 counts as 10. Unless a state says otherwise, the same as kick.
  virtual void abort(int32_t reason);
  virtual void kick() = 0;
  // The successor for the state's result by its rule; a slot that is not
  // wired ends the session.
  virtual CKwxState* getNext();

  int32_t Id() const { return id_; }
  bool WaitsForCaller() const { return flags_ & kWaitForCaller; }
  bool IsOnline() const { return flags_ & kOnline; }
  bool IsFinal() const { return flags_ & kFinal; }
  int32_t Result() const { return result_; }
  void SetResult(int32_t result) { result_ = result; }

  // Successor slots: success, far-end close, abort, deadline, error, line lost.
  std::array<CKwxState*, 6> successors{};
  CKwxState* end = nullptr;

 protected:
  void ClearAreas();
  // One reply line into the 256-byte area under a deadline of its own.
  bool ReadReply(int32_t seconds, int32_t deadlineCode);
  int32_t ClassifyReply();
  // An answer that was not the expected one: 20810 for an empty or unknown
  // line, 20800 for another line, 21280 when the carrier is gone (90030 when
  // the handset is).
  void WrongAnswer(int32_t line);
  // A failed answer read: a stop is 20010, a reply too long 20820; result 3.
  void ReadFailed();
  // A write that failed: the line is lost (21280 when the carrier is, 90030
  // when the handset is).
  void LineLost();
  bool WellFormedClose(int32_t line) const;
  // "SOCKET_25_DISCONNECTION[nnnn]" (30 bytes).
  bool SendClose(int32_t code);
  // A stop in an exchange: the close line with the reason under the 7 s deadline.
  void CloseForStop(int32_t reason);
  // Polls until the carrier drops (0) or the deadline passes (2 for 70003 and
  // 70004).
  void PollCarrier();

  const int32_t id_;
  const uint32_t flags_;
  const seriallink::SignupRule rule_;
  StateContext& c_;
  int32_t result_ = 0;
  bool check_ = true;
  std::array<char, 256> reply_{};
  int32_t replyLength_ = 0;
};

// KDX0 and STATE0-STATE10 (ids 0 and 1000-1010), wired; the first is KDX0.
std::vector<std::unique_ptr<CKwxState>> BuildStates(StateContext& context);

}  // namespace kwxsignup
