#pragma once
// Base of the states that talk on the line: the command and reply areas, the
// reply read, the standard reply check and the waits every session kind shares.
#include "EMailStates.h"
#include "LineSplitter.h"
#include "Port.h"
#include "State.h"
#include "Status.h"

#include <array>
#include <cstdint>

namespace portvine {

class CLineState : public CState {
 public:
  static constexpr int32_t kReplyRoom = 256;

  CLineState(const StateEntry& entry, int32_t kind, StateContext& c)
      : CState(entry.id, entry.flags, entry.rule), kind_(kind), c_(c) {}

 protected:
  bool Check() const override { return check_; }

  void ClearAreas();
  // One reply line into the 256-byte area under a deadline of its own.
  bool ReadReply(int32_t seconds, int32_t deadlineCode);
  int32_t ClassifyReply();
  // The standard reply check for an answer that was not the expected one.
  void ReplyFailed(int32_t line);
  // A failed read of a command's answer.
  void AnswerReadFailed();
  // A body (or its MAIL line) that could not be sent.
  void BodyFailed();
  // Polls every 100 ms until the carrier drops or the deadline passes (then
  // the result is the deadline), and pulses DTR.
  void WaitCarrierDrop();
  bool SendClose(int32_t code);

  const int32_t kind_;
  StateContext& c_;
  bool check_ = true;
  // Large enough for "PURGE[" + a 28-byte id + "]" and its NUL.
  std::array<char, 48> command_{};
  std::array<char, kReplyRoom> reply_{};
  int32_t replyLength_ = 0;
};

}  // namespace portvine
