#include "AtDialogue.h"

#include "Clock.h"
#include "Codes.h"

#include <algorithm>

namespace seriallink {
namespace {
constexpr int32_t kAnswerRoom = 6144;
constexpr int32_t kHandsetSeconds = 5;
constexpr int32_t kDialSeconds = 30;
constexpr int32_t kHangupSeconds = 5;
constexpr int32_t kLinesUp = 0x30;  // CTS and DSR, nothing else
}  // namespace

AtDialogue::AtDialogue(ModemLine& line, Dialect dialect) : line_(line), splitter_(dialect) {}

bool AtDialogue::Fail(int32_t c) {
  line_.LineRecord(c);
  return false;
}

bool AtDialogue::Command(std::string_view body, bool stoppable) {
  // A stop asked for meanwhile ends the dialogue at the next command; the
  // hang-up goes out whatever happens.
  if (stoppable && CommandsStopped()) return Fail(code::ReadAbandoned);
  if (body.size() + 3 > command_.size()) return Fail(code::WriteFailed);
  size_t n = 0;
  command_[n++] = 'A';
  command_[n++] = 'T';
  for (char c : body) command_[n++] = c;
  command_[n++] = '\r';
  if (!line_.LineWrite(command_.data(), n)) return Fail(code::WriteFailed);
  return true;
}

int32_t AtDialogue::Read(int32_t seconds, int32_t deadlineCode, std::string* text) {
  if (seconds > 0) line_.DeadlineSet(seconds, deadlineCode);
  int32_t size = 0;
  bool ok = true;
  // A piece that ended at a byte that does not end a line: the rest follows.
  for (;;) {
    int32_t piece = kAnswerRoom - size;
    ok = line_.LineRead(answer_.data() + size, piece);
    size += piece;
    if (!ok || size == 0) break;
    const char last = answer_[static_cast<size_t>(size - 1)];
    if (last == '\n' || last == '\0') break;
  }
  if (seconds > 0) line_.DeadlineClear();
  if (!ok) {
    const int32_t e = line_.LineError();
    // A deadline keeps its own code, so do the handset gone, a stop and a lost line.
    if (!(seconds > 0 && e == deadlineCode) && e != code::ModemStatusUnreadable && e != code::ReadAbandoned &&
        e != code::ReasonNoAnswer && e != code::NoAnswerTimeout && e != code::CarrierLost)
      line_.LineRecord(code::ReadFailed);
    return -1;
  }
  splitter_.LineSplitterSetBuffer(answer_.data(), static_cast<size_t>(size));
  const int32_t line = splitter_.ClassifyLine(answer_.data(), static_cast<size_t>(size));
  if (text) {
    size_t n = static_cast<size_t>(size);
    while (n > 0 && (answer_[n - 1] == '\r' || answer_[n - 1] == '\n' || answer_[n - 1] == '\0')) --n;
    text->assign(answer_.data(), n);
  }
  return line;
}

bool AtDialogue::ExpectOk(int32_t seconds, int32_t deadlineCode) {
  const int32_t first = Read(seconds, deadlineCode);
  if (first < 0) return false;
  if (first != kModemEmpty) return Fail(code::ModemUnexpected);
  const int32_t second = Read(seconds, deadlineCode);
  if (second < 0) return false;
  return second == kModemOk || Fail(code::ModemUnexpected);
}

bool AtDialogue::WaitForLines() {
  line_.DeadlineSet(kHandsetSeconds, code::HandsetNotReady);
  for (;;) {
    const int32_t status = line_.LineStatus();
    if (status == kLinesUp) {
      line_.DeadlineClear();
      return true;
    }
    if (status < 0) {
      line_.DeadlineClear();
      return Fail(code::ModemStatusUnreadable);
    }
    if (WaitStopped()) {
      line_.DeadlineClear();
      return Fail(code::ReadAbandoned);
    }
    if (line_.DeadlinePassed()) return false;  // 90011: the handset is not there
    clock::Sleep(100);
  }
}

bool AtDialogue::Paging(std::string_view body, bool record) {
  if (!Command(body)) return false;
  // Unrecorded, a handset that does not answer leaves the short wait's code,
  // which no caller is told of.
  const int32_t deadlineCode = record ? code::HandsetNotReady : code::ShortWait;
  const int32_t expected[] = {kModemEmpty, -2, kModemEmpty, kModemOk};
  for (int32_t want : expected) {
    const int32_t c = Read(kCommandSeconds, deadlineCode);
    if (c < 0) return false;
    const bool good = want == -2 ? (c == kModemPagingSame || c == kModemPagingMixed) : c == want;
    if (!good) return record ? Fail(code::ModemUnexpected) : false;
  }
  return true;
}

bool AtDialogue::Query(std::string_view body, int32_t firstSeconds, int32_t seconds, std::string& text) {
  text.clear();
  if (!Command(body)) return false;
  if (Read(firstSeconds, code::ShortWait) != kModemEmpty) return false;
  std::string line;
  if (Read(seconds, code::ShortWait, &line) != kModemText) return false;
  if (Read(seconds, code::ShortWait) != kModemEmpty) return false;
  if (Read(seconds, code::ShortWait) != kModemOk) return false;
  text = std::move(line);
  return true;
}

bool AtDialogue::SetBilling(bool on) {
  if (!Command(on ? "@B1" : "@B0") || !ExpectOk(kCommandSeconds, code::ShortWait)) return Fail(code::BillingFailed);
  return true;
}

bool AtDialogue::ReadOwnNumber(std::string& number) {
  // The number goes into 36 bytes with its NUL; anything longer is no number.
  auto query = [&](std::string_view body, int32_t firstSeconds) {
    if (!Query(body, firstSeconds, kCommandSeconds, number)) return false;
    if (number.size() > 35) number.clear();
    return true;
  };
  return query("#Q2", 10) || query("I6", 7);
}

bool AtDialogue::SelectAndDial(int32_t service, const std::string& dialString, std::initializer_list<int32_t> noCarrier) {
  if (!Command("#X" + std::to_string(service)) || !ExpectOk(kCommandSeconds, code::ModemNoAnswer)) return false;
  if (!Command("DX" + dialString)) return false;
  int32_t c = Read(kDialSeconds, code::ModemNoAnswer);
  if (c < 0) return false;
  if (c != kModemEmpty) return Fail(code::ModemUnexpected);
  c = Read(kDialSeconds, code::ModemNoAnswer);
  if (c < 0) return false;
  if (c == kModemConnect) return true;
  if (std::find(noCarrier.begin(), noCarrier.end(), c) != noCarrier.end()) return Fail(code::NoCarrierAfterDial);
  return Fail(code::ModemUnexpected);
}

bool AtDialogue::HangupAfterDtr() {
  clock::Sleep(1000);
  if (!Command("H0", false)) return false;
  // Within a close the close's own deadline runs; otherwise a short one.
  const int32_t seconds = line_.DeadlineArmed() ? 0 : kHangupSeconds;
  if (Read(seconds, code::ShortWait) != kModemEmpty) return false;
  const int32_t c = Read(seconds, code::ShortWait);
  return c == kModemOk || c == kModemNoCarrier;
}

}  // namespace seriallink
