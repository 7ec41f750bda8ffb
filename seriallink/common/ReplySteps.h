#pragma once
// Steps of the centre line protocol that both modules' states take: reading
// and classifying a reply line, the standard check's codes, the close line,
// and the wait for the line to drop.
#include "AtDialogue.h"
#include "LineSplitter.h"

#include <cstdint>
#include <span>

namespace seriallink {

// One reply line into the area under a deadline of its own; length gets its count.
bool ReadReply(ModemLine& line, std::span<char> area, int32_t& length, int32_t seconds, int32_t deadlineCode);
// The reply's line code.
int32_t ClassifyReply(LineSplitter& splitter, std::span<const char> area, int32_t length);
// The standard check's code for an answer that was not the expected one:
// 20810 for an empty or unknown line, else 20800 while the carrier is up and
// 21280 when it is gone.
int32_t WrongAnswerCode(int32_t line, bool carrier);
// Whether the line was the far end's close line with a four-digit code.
bool WellFormedClose(const LineSplitter& splitter, int32_t line);
// "SOCKET_25_DISCONNECTION[nnnn]" with the four low digits of the code's
// magnitude: 30 bytes with its NUL, whatever the code.
bool SendCloseLine(ModemLine& line, int32_t code);
// Polls every 100 ms until the carrier drops (0) or the armed deadline passes
// (2 when its code is 70003 or 70004, else 0).
int32_t AwaitCarrierDrop(ModemLine& line);
// Polls until the carrier is up, at most ms of the module's time: whether it came.
bool AwaitCarrier(ModemLine& line, int64_t ms);
// Whether the handset itself is gone, as when it is pulled: its lines
// cannot be read, or DSR is down.
bool HandsetGone(ModemLine& line);
// The code for a lost line: 90030 when the handset is gone, else 21280.
int32_t LineGoneCode(ModemLine& line);

}  // namespace seriallink
