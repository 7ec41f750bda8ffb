#pragma once
// CSerialPort: the sign-up module's port. Opens and configures the COM device,
// writes lines with one write each and request bodies a byte a write, reads
// lines a byte at a time while watching the abort and flow events, the step
// deadline and the carrier. Every error it records is posted to the caller's
// window at once, by the code's class.
#include "seriallink/common/AtDialogue.h"

#include "platform/CommPort.h"
#include "platform/Event.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace kwxsignup {

// The event a recorded code is posted as: false when its class posts nothing.
bool EventForCode(int32_t code, int32_t& type, int32_t& value);

class CSerialPort final : public seriallink::ModemLine {
 public:
  CSerialPort(qv::Event& abort, qv::Event& flow);
  CSerialPort(const CSerialPort&) = delete;
  CSerialPort& operator=(const CSerialPort&) = delete;

  // Name, speed and the window told of events. A name of fewer than 3
  // characters records 90001 and keeps the old one; else 90000.
  bool Setup(std::string_view name, int32_t speed, uint32_t window);
  bool Open();
  // Purge, DTR off, close. Safe when closed.
  void Close();
  bool IsOpen() const { return open_.load(); }
  std::string Name() const;
  int32_t Speed() const { return speed_.load(); }

  void Purge();
  // DTR alone, no pause.
  void DropDtr();
  void RaiseDtr();
  // The modem status bits, or -1 when closed or unreadable.
  int32_t ModemStatus();
  bool Carrier();

  // One write of exactly count bytes.
  bool WriteLine(const char* bytes, size_t count);
  // A protocol line: the text and its NUL.
  bool WriteProtocolLine(std::string_view text);
  // The body a byte a write, then the end line ".\r\n". Past the step
  // deadline it waits for kwxResumeTxRx; a stop ends the body with CR LF and
  // ".\r\n" and records 80202.
  bool SendBody(std::string_view body);
  // One line into buffer; size is the room on entry and the count on return.
  // A line ends at LF (with the CR before it), at NUL, at a CR not followed
  // by LF (that byte starts the next line), or at another control byte.
  bool ReadLine(char* buffer, int32_t& size);

  int32_t Error() const { return error_.load(); }
  // Records the code as the last error, posts its event and clears the stop reason.
  void Record(int32_t code);
  // As Record, unless the code is already the last error.
  void Keep(int32_t code);
  // How many codes have been recorded: tells a later record from none.
  uint32_t Records() const { return records_.load(); }
  void Notify(int32_t type, int32_t code);

  // The step deadline: a time and the code it records when it expires.
  void TimerSet(int32_t seconds, int32_t code);
  void TimerClear() { deadline_.store(0); }
  bool TimerArmed() const { return deadline_.load() != 0; }
  // The code of a deadline that has expired, taken, or 0; records nothing.
  int32_t TakeExpired();
  // An expired deadline's code recorded; true then.
  bool TimerCheck();

  // kwxDisconnect: a stop request with its reason.
  void RequestStop(int32_t reason);
  // Takes the stop request: true once per request.
  bool TakeStopRequest() { return stopRequest_.exchange(0) != 0; }
  bool StopPending() const { return stopRequest_.load() != 0; }
  int32_t StopReason() const { return stopReason_.load(); }
  void ClearStop();

  void SetOnline(bool on) { online_.store(on ? 1 : 0); }
  bool Online() const { return online_.load() != 0; }

  qv::Event& FlowEvent() { return flow_; }

  // The AT dialogue's view of the port.
  bool LineWrite(const char* bytes, size_t count) override { return WriteLine(bytes, count); }
  bool LineRead(char* buffer, int32_t& size) override { return ReadLine(buffer, size); }
  int32_t LineError() const override { return Error(); }
  void LineRecord(int32_t code) override { Record(code); }
  void DeadlineSet(int32_t seconds, int32_t code) override { TimerSet(seconds, code); }
  void DeadlineClear() override { TimerClear(); }
  bool DeadlineArmed() const override { return TimerArmed(); }
  bool DeadlinePassed() override { return TimerCheck(); }
  int32_t LineStatus() override { return ModemStatus(); }
  bool LineCarrier() override { return Carrier(); }

 private:
  bool Fail(int32_t code) {
    Record(code);
    return false;
  }
  // The next byte: 1 read, 0 nothing there, -1 the read failed.
  int NextByte(unsigned char& byte);

  qv::Event& abort_;
  qv::Event& flow_;
  qv::CommPort device_;
  std::atomic<bool> open_{false};

  mutable std::mutex nameMutex_;
  std::string name_;
  std::atomic<int32_t> speed_{0};
  std::atomic<uint32_t> window_{0};

  std::atomic<int32_t> error_{0};
  std::atomic<uint32_t> records_{0};
  std::atomic<int32_t> online_{0};
  std::atomic<int32_t> stopRequest_{0};
  std::atomic<int32_t> stopReason_{0};
  // Deadline time in the clock's milliseconds above 20 bits of code; 0 when none.
  std::atomic<uint64_t> deadline_{0};
  // The byte after a CR that ended a line: it starts the next one.
  int pending_ = -1;
};

}  // namespace kwxsignup
