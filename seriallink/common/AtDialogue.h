#pragma once
// The AT dialogue both serial-link modules hold with the handset: a command
// is "AT", its body and a CR; every answer line is read (pieces joined) and
// classified. The modules' modems build their preparations, dials and
// queries from these steps.
#include "LineSplitter.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace seriallink {

// What the AT dialogue needs of a module's port.
class ModemLine {
 public:
  // Writes exactly count bytes.
  virtual bool LineWrite(const char* bytes, size_t count) = 0;
  // One line or piece; size is the room on entry and the count on return.
  virtual bool LineRead(char* buffer, int32_t& size) = 0;
  virtual int32_t LineError() const = 0;
  virtual void LineRecord(int32_t code) = 0;
  virtual void DeadlineSet(int32_t seconds, int32_t code) = 0;
  virtual void DeadlineClear() = 0;
  virtual bool DeadlineArmed() const = 0;
  // An expired deadline: its code recorded, and true.
  virtual bool DeadlinePassed() = 0;
  // The modem status bits, or -1 when they cannot be read.
  virtual int32_t LineStatus() = 0;
  virtual bool LineCarrier() = 0;

 protected:
  ~ModemLine() = default;
};

class AtDialogue {
 public:
  AtDialogue(ModemLine& line, Dialect dialect);
  virtual ~AtDialogue() = default;
  AtDialogue(const AtDialogue&) = delete;
  AtDialogue& operator=(const AtDialogue&) = delete;

  // "@B1" / "@B0"; failure 80008.
  bool SetBilling(bool on);
  // "#Q2", then "I6" when that fails. True when "OK" closed the answer; the
  // number is empty when the line was longer than 35 bytes.
  bool ReadOwnNumber(std::string& number);

 protected:
  static constexpr int32_t kCommandSeconds = 3;

  // Whether a stop asked for meanwhile ends the dialogue at the next command.
  virtual bool CommandsStopped() { return false; }
  // Whether a stop ends the wait for the handset's lines.
  virtual bool WaitStopped() { return false; }

  bool Fail(int32_t code);
  // A stoppable command is not sent once CommandsStopped (80202).
  bool Command(std::string_view body, bool stoppable = true);
  // The next answer's line code, or -1 when the read failed. seconds > 0 arms
  // a deadline of its own for the read; 0 reads under whatever is armed. A
  // line that arrives in pieces is joined.
  int32_t Read(int32_t seconds, int32_t deadlineCode, std::string* text = nullptr);
  // An empty line, then "OK"; anything else 90005.
  bool ExpectOk(int32_t seconds, int32_t deadlineCode);
  // Polls every 100 ms until the status is CTS and DSR alone (0x30), at most
  // 5 s (90011); an unreadable status is 90030.
  bool WaitForLines();
  // A ring-mode command: an empty line, a PAGING CONFIG line, an empty line,
  // "OK"; any other answer 90005 and no answer in 3 s 90011, both recorded
  // only when record is set (else the code of a failure is none a caller hears of).
  bool Paging(std::string_view body, bool record = true);
  // An empty line, a text line, an empty line, "OK": the text.
  bool Query(std::string_view body, int32_t firstSeconds, int32_t seconds, std::string& text);
  // "#X" + service, then "DX" + the dial string: CONNECT succeeds, an answer
  // of noCarrier records 90009, any other 90005.
  bool SelectAndDial(int32_t service, const std::string& dialString, std::initializer_list<int32_t> noCarrier);
  // After DTR has dropped: 1 s, then "H0" answered by "OK" or "NO CARRIER".
  bool HangupAfterDtr();

  ModemLine& line_;
  LineSplitter splitter_;
  std::array<char, 6148> command_{};
  std::array<char, 6148> answer_{};
};

}  // namespace seriallink
