#pragma once
// CPort: the module's one serial port. Opens and configures the COM device,
// writes command lines and paced bodies, reads lines a byte at a time while
// watching the abort and flow events, the step deadline and the carrier, and
// keeps the last error code. Forwards notifications and deadlines to the status.
#include "Status.h"

#include "seriallink/common/AtDialogue.h"

#include "platform/CommPort.h"
#include "platform/Event.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace portvine {

// When a pause of a paced body ends, the previous pause having ended at
// previousEnd (0 before the first): one pause after it, so that the time spent
// writing the bytes between counts toward the pause; but a whole pause from now
// when writing them took that long already. Groups of bytes thus start at
// least a pause apart and never catch up after a stall.
int64_t PaceEnd(int64_t previousEnd, int64_t now, int64_t pause);

class CPort final : public seriallink::ModemLine {
 public:
  CPort(CStatus& status, qv::Event& abort, qv::Event& flow);
  CPort(const CPort&) = delete;
  CPort& operator=(const CPort&) = delete;

  // A name of fewer than 3 characters records 90001 and keeps the old one.
  bool PortSetup(std::string_view name, int32_t speed);
  bool PortOpen();
  bool PortClose();
  bool IsOpen() const { return open_.load(); }
  std::string Name() const;

  bool Purge();
  bool DtrPulse();
  bool DtrOn();
  // The modem status bits, or -1 when closed or unreadable.
  int32_t ModemStatus();
  // 1 when the carrier is up (always in information mode), 0 otherwise.
  int32_t PortCarrier();

  // Writes exactly count bytes.
  bool PortWriteLine(const char* bytes, size_t count);
  // A protocol line: the text and its NUL.
  bool WriteProtocolLine(std::string_view text);
  // Sends the stored body a byte at a time, paced, then the end line ".\r\n".
  bool PortSendBody();
  // Reads one line (or piece) into buffer; size is the room on entry and the
  // byte count on return.
  bool PortReadLine(char* buffer, int32_t& size);
  // Waits at most ms for received bytes: true when there are some to read.
  bool WaitInput(int64_t ms);

  // Keeps a private copy of the next body to send, replacing the previous one.
  bool PortStoreBody(const char* data, int32_t length);
  void ReleaseBody();
  // The stored body; the worker keeps its reference while it sends.
  std::shared_ptr<const std::string> StoredBody() const;

  // Forwarded to the status.
  void Notify(int32_t type, int32_t code) { status_.Notify(type, code); }
  void TimerSet(int32_t seconds, int32_t code) { status_.TimerSet(seconds, code); }
  void TimerClear() { status_.TimerClear(); }
  // As the status's check; an expired deadline's code becomes the port error.
  bool TimerCheck();

  int32_t Error() const { return error_.load(); }
  // Recording an error also clears the abort reason.
  void SetError(int32_t code) {
    error_.store(code);
    abortReason_.store(0);
  }
  int32_t Online() const { return online_.load(); }
  void SetOnline(int32_t on) { online_.store(on); }
  // 99999 goes to the stop-ring-wait mark instead.
  void SetAbortReason(int32_t reason);
  int32_t AbortReason() const { return abortReason_.load(); }
  void RequestCancel() { cancel_.store(1); }
  // Returns the cancel request and clears it; while a direct mail is being
  // received after a ring, a request with reason 10 is left for later.
  int32_t TakeCancel();
  // Whether TakeCancel would answer a request, without taking it.
  bool CancelPending() const;
  void ClearCancel() { cancel_.store(0); }
  // Whether kwxDisconnect asked for a stop, whatever its reason.
  bool CancelRequested() const { return cancel_.load() != 0; }
  void ClearAbortReason() { abortReason_.store(0); }
  int32_t StopRingWait() const { return stopRingWait_.load(); }
  void ClearStopRingWait() { stopRingWait_.store(0); }
  void SetCarrierAlwaysOn(bool on) { carrierAlwaysOn_.store(on ? 1 : 0); }

  // The AT dialogue's view of the port.
  bool LineWrite(const char* bytes, size_t count) override { return PortWriteLine(bytes, count); }
  bool LineRead(char* buffer, int32_t& size) override { return PortReadLine(buffer, size); }
  int32_t LineError() const override { return Error(); }
  void LineRecord(int32_t code) override { SetError(code); }
  void DeadlineSet(int32_t seconds, int32_t code) override { TimerSet(seconds, code); }
  void DeadlineClear() override { TimerClear(); }
  bool DeadlineArmed() const override { return status_.TimerArmed(); }
  bool DeadlinePassed() override { return TimerCheck(); }
  int32_t LineStatus() override { return ModemStatus(); }
  bool LineCarrier() override { return PortCarrier() != 0; }

  CStatus& Status() { return status_; }
  qv::Event& AbortEvent() { return abort_; }
  qv::Event& FlowEvent() { return flow_; }
  // How many times a line read has sat out a slice waiting for the caller's word.
  int32_t FlowWaits() const { return flowWaits_.load(); }

 private:
  bool WriteBytes(const char* bytes, size_t count);
  bool CloseDevice();

  CStatus& status_;
  qv::Event& abort_;
  qv::Event& flow_;
  qv::CommPort device_;
  std::atomic<bool> open_{false};
  qv::CommSettings found_{};
  qv::CommSettings working_{};

  mutable std::mutex nameMutex_;
  std::string name_;
  std::atomic<int32_t> speed_{0};

  std::atomic<int32_t> online_{0};
  std::atomic<int32_t> cancel_{0};
  std::atomic<int32_t> error_{0};
  std::atomic<int32_t> abortReason_{0};
  std::atomic<int32_t> stopRingWait_{0};
  std::atomic<int32_t> carrierAlwaysOn_{0};
  std::atomic<int32_t> flowWaits_{0};

  mutable std::mutex bodyMutex_;
  std::shared_ptr<const std::string> body_;
};

}  // namespace portvine
