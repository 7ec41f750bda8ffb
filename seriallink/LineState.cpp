#include "LineState.h"

#include "Clock.h"
#include "Codes.h"
#include "seriallink/common/ReplySteps.h"

namespace portvine {

void CLineState::ClearAreas() {
  command_.fill(0);
  reply_.fill(0);
  replyLength_ = 0;
  check_ = true;
}

bool CLineState::ReadReply(int32_t seconds, int32_t deadlineCode) {
  return seriallink::ReadReply(c_.port, reply_, replyLength_, seconds, deadlineCode);
}

int32_t CLineState::ClassifyReply() { return seriallink::ClassifyReply(c_.splitter, reply_, replyLength_); }

void CLineState::ReplyFailed(int32_t line) {
  check_ = false;
  if (line == kLineOther || line == kLineEmpty || line == kModemEmpty) {
    c_.status.SetError(code::EmptyOrUnknownLine);
  } else if (!c_.port.PortCarrier()) {
    c_.status.SetError(code::CarrierLost);
  } else if (line == kLineDisconnect && c_.splitter.LineSplitterHasCode()) {
    c_.status.SetFarEnd(c_.splitter.FarEndCode());
  } else {
    c_.status.SetError(code::UnexpectedLine);
  }
}

void CLineState::AnswerReadFailed() {
  const int32_t e = c_.port.Error();
  if (e == code::ReadAbandoned) c_.status.SetAlt2(code::CallerBrokeOff, true);
  else if (e == code::ReasonNoAnswer) c_.status.SetAlt2(code::NoAnswerTimeout, true);
  else if (e == code::LineTooLong) c_.status.SetError(code::ReplyTooLong);
  else c_.status.SetError(e);
}

void CLineState::BodyFailed() {
  const int32_t e = c_.port.Error();
  if (e == code::ReadAbandoned) c_.status.SetAlt2(code::CallerBrokeOff, true);
  else if (c_.port.PortCarrier()) c_.status.SetError(e);
  else c_.status.SetError(code::CarrierLost);
}

void CLineState::WaitCarrierDrop() {
  for (;;) {
    if (!c_.port.PortCarrier()) break;
    if (c_.port.TimerCheck()) break;
    clock::Sleep(100);
  }
  c_.port.DtrPulse();
}

bool CLineState::SendClose(int32_t code) { return seriallink::SendCloseLine(c_.port, code); }

}  // namespace portvine
