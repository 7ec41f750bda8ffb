#include "ReplySteps.h"

#include "Clock.h"
#include "Codes.h"
#include "SignupRules.h"

#include "platform/CommPort.h"

#include <cstdio>

namespace seriallink {

bool ReadReply(ModemLine& line, std::span<char> area, int32_t& length, int32_t seconds, int32_t deadlineCode) {
  line.DeadlineSet(seconds, deadlineCode);
  length = static_cast<int32_t>(area.size());
  const bool ok = line.LineRead(area.data(), length);
  line.DeadlineClear();
  return ok;
}

int32_t ClassifyReply(LineSplitter& splitter, std::span<const char> area, int32_t length) {
  splitter.LineSplitterSetBuffer(area.data(), area.size());
  return splitter.ClassifyLine(area.data(), static_cast<size_t>(length));
}

int32_t WrongAnswerCode(int32_t line, bool carrier) {
  if (line == kLineOther || line == kLineEmpty || line == kModemEmpty) return code::EmptyOrUnknownLine;
  return carrier ? code::UnexpectedLine : code::CarrierLost;
}

bool WellFormedClose(const LineSplitter& splitter, int32_t line) {
  return line == kLineDisconnect && splitter.LineSplitterHasCode();
}

bool SendCloseLine(ModemLine& line, int32_t closeCode) {
  // The four low digits of the code's magnitude: a negative reason from the
  // caller would otherwise take a fifth character and push the NUL out.
  const int64_t magnitude = closeCode < 0 ? -int64_t{closeCode} : int64_t{closeCode};
  char text[40];
  std::snprintf(text, sizeof text, "SOCKET_25_DISCONNECTION[%04d]", static_cast<int>(magnitude % 10000));
  return line.LineWrite(text, 30);
}

int32_t AwaitCarrierDrop(ModemLine& line) {
  for (;;) {
    if (!line.LineCarrier()) return kSignupOk;
    if (line.DeadlinePassed()) {
      const int32_t e = line.LineError();
      return e == code::CloseTimeout || e == code::ReleaseTimeout ? kSignupDeadline : kSignupOk;
    }
    clock::Sleep(100);
  }
}

bool AwaitCarrier(ModemLine& line, int64_t ms) {
  const int64_t end = clock::NowMs() + ms;
  for (;;) {
    if (line.LineCarrier()) return true;
    if (clock::NowMs() >= end || HandsetGone(line)) return false;
    clock::Sleep(10);
  }
}

bool HandsetGone(ModemLine& line) {
  const int32_t status = line.LineStatus();
  return status < 0 || !(static_cast<uint32_t>(status) & qv::MS_DSR_ON);
}

int32_t LineGoneCode(ModemLine& line) { return HandsetGone(line) ? code::ModemStatusUnreadable : code::CarrierLost; }

}  // namespace seriallink
