#pragma once
// CStatus: the session status, the one place where the caller's thread and the
// worker exchange operations, results, deadlines and notifications. Single
// words are atomics; records of several words take a small lock of their own.
#include "abi/KwxApi.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace portvine {

// Results of a step, read by the successor rules.
enum Result : int32_t { kDone = 0, kAlt1 = 1, kAlt2 = 2, kError = 3, kDeadline = 4 };

// Operations the caller posts to an e-mail session.
enum Operation : int32_t { kOpGetList = 0, kOpGet = 1, kOpPurge = 2, kOpExit = 3 };

// What the last ring brought (940 bytes with its padding).
struct IncomingCallRecord {
  int32_t accepted = 0;
  int32_t protocol = -1;
  int32_t directMail = 0;
  int32_t lightMail = 0;
  int32_t notice = 0;
  int32_t numberValue = -1;
  char callerId[36] = {};
  char emailNotice[128] = {};
  char lightMailText[750] = {};
};
static_assert(sizeof(IncomingCallRecord) == 940);

struct PostedOperation {
  int32_t operation = kOpGetList;
  int32_t parameter = 0;
  std::string mailId;  // at most 28 bytes
};

class CStatus {
 public:
  static constexpr size_t kMailIdMax = 28;
  static constexpr int32_t kInfoSize = 1024;

  CStatus();

  // Results.
  void SetDone() { Set(kDone, 0, 0); }
  void SetAlt1() { Set(kAlt1, 0, 0); }
  void SetAlt2(int32_t code, bool mark) { Set(kAlt2, code, mark ? 1 : 0); }
  void SetError(int32_t code) { Set(kError, code, 0); }
  void SetFarEnd(int32_t code) { Set(kError, code, 1); }
  void SetDeadline(int32_t code) { Set(kDeadline, code, 0); }
  int32_t Result() const { return result_.load(); }
  int32_t Code() const { return code_.load(); }
  int32_t Mark() const { return mark_.load(); }

  // Step deadline: now + seconds; expired once the clock is past it.
  void TimerSet(int32_t seconds, int32_t code);
  void TimerClear();
  // Sets the result to done; then, when the deadline has passed, sets result 4
  // with its code, clears it and answers true.
  bool TimerCheck();
  bool TimerArmed() const;
  int32_t TimerCode() const;

  // Mails still to send.
  void SetMailCount(int32_t n) { mailCount_.store(n < 0 ? 0 : n); }
  int32_t DecrementMailCount();
  int32_t MailCount() const { return mailCount_.load(); }

  void SetOperation(int32_t operation, int32_t parameter, std::string_view mailId);
  PostedOperation Operation() const;

  void SetDestination(std::string_view number);
  std::string Destination() const;

  // Information mode's operation, category and data.
  void SetInfoOperation(int32_t op) { infoOperation_.store(op); }
  int32_t InfoOperation() const { return infoOperation_.load(); }
  // The posted operation, taken: a wake-up without a new one finds 0.
  int32_t TakeInfoOperation() { return infoOperation_.exchange(0); }
  void SetInfoCategory(int32_t c) { infoCategory_.store(c); }
  int32_t InfoCategory() const { return infoCategory_.load(); }
  // Longer than 1024 bytes: the first 1023 and a zero byte are kept, length 1024.
  void SetInfoData(const char* data, int32_t length);
  // Copies at most length bytes (stopping after a NUL) when length < 1024,
  // else 1023 bytes; answers how many were copied.
  int32_t GetInfoData(char* buffer, int32_t length) const;
  int32_t InfoLength() const;

  // The incoming-call record.
  IncomingCallRecord Incoming() const;
  void SetIncoming(const IncomingCallRecord& record);
  void ResetIncoming();

  // Resets what a session start clears.
  void ResetForSession();

  // Words of the session.
  std::atomic<int32_t> autoReceive{0};
  std::atomic<int32_t> ringReject{0};
  std::atomic<int32_t> kind{0};
  std::atomic<uint32_t> window{0};
  std::atomic<int32_t> singleByteWrites{0};
  std::atomic<int32_t> ringReception{0};
  // Why the last session start was refused while another session ran (90019);
  // kept apart from the running session's result.
  std::atomic<int32_t> startRefusal{0};

  // Posts WM_KWX_NOTIFY to the window (when it is not 0), then passes the
  // pair to the callback as kind 1.
  void Notify(int32_t type, int32_t code);
  void Trace(const char* text);
  // Null restores the module's do-nothing callback.
  void SetCallback(KwxTraceProc proc);

 private:
  void Set(int32_t result, int32_t code, int32_t mark) {
    result_.store(result);
    code_.store(code);
    mark_.store(mark);
  }

  std::atomic<int32_t> result_{0};
  std::atomic<int32_t> code_{0};
  std::atomic<int32_t> mark_{0};
  std::atomic<int32_t> mailCount_{0};
  std::atomic<int32_t> infoOperation_{0};
  std::atomic<int32_t> infoCategory_{0};
  std::atomic<KwxTraceProc> callback_;

  mutable std::mutex timerMutex_;
  int64_t deadlineMs_ = 0;  // 0: none
  int32_t deadlineCode_ = 0;

  mutable std::mutex recordMutex_;
  PostedOperation operation_;
  std::string destination_;
  std::array<char, kInfoSize + 1> info_{};
  int32_t infoLength_ = 0;
  IncomingCallRecord incoming_;
};

}  // namespace portvine
