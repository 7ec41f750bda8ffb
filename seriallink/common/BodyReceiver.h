#pragma once
// Receiving a body (a mail, a list, a sign-up page) up to its end line ".\r\n"
// into a receive buffer. With flow control a body longer than the buffer is
// handed over in full parts of 6144 bytes, each announced by (1, 4); reading
// goes on once the caller has taken it and set the flow event again.
#include "ReceiveBuffer.h"

#include "platform/Event.h"

#include <cstdint>

namespace seriallink {

// What the body reader needs of a module's port.
class BodyLine {
 public:
  // One line or piece into buffer; size is the room on entry and the count on return.
  virtual bool ReadPiece(char* buffer, int32_t& size) = 0;
  virtual int32_t LastError() const = 0;
  virtual void RecordError(int32_t code) = 0;
  virtual void Notify(int32_t type, int32_t code) = 0;
  // The pause before the first piece, at most ms: it may end once bytes are there.
  virtual void AwaitFirstPiece(int64_t ms) = 0;

 protected:
  ~BodyLine() = default;
};

// Announces (1, 5), then reads pieces until the end line; count is the size of
// the last part. Without flow control a body that fills the buffer fails with
// 80203 and keeps what fitted.
bool ReceiveBody(BodyLine& line, ReceiveBuffer& buffer, qv::Event& flow, bool flowControl, int32_t& count);

}  // namespace seriallink
