#include "Port.h"

#include "Clock.h"
#include "Codes.h"

namespace portvine {
namespace {
constexpr int64_t kSlice = 100;
constexpr int64_t kPulseHalf = 500;
// Bodies go a byte a write, with a breather every 100 bytes so the handset's
// buffer never overflows; progress is told every 6136 bytes.
constexpr size_t kPaceEvery = 100;
constexpr int64_t kPacePause = 20;

constexpr size_t kProgressEvery = 6136;
constexpr int kSingleByteAttempts = 100;
}  // namespace

int64_t PaceEnd(int64_t previousEnd, int64_t now, int64_t pause) {
  return previousEnd > 0 && previousEnd + pause > now ? previousEnd + pause : now + pause;
}

CPort::CPort(CStatus& status, qv::Event& abort, qv::Event& flow) : status_(status), abort_(abort), flow_(flow) {}

bool CPort::PortSetup(std::string_view name, int32_t speed) {
  if (name.size() < 3) {
    SetError(code::PortNameTooShort);
    return false;
  }
  {
    std::lock_guard lock(nameMutex_);
    name_ = std::string(name);
  }
  speed_.store(speed);
  SetError(code::NoError);
  online_.store(0);
  status_.window.store(0);
  status_.TimerClear();
  return true;
}

std::string CPort::Name() const {
  std::lock_guard lock(nameMutex_);
  return name_;
}

bool CPort::PortOpen() {
  if (IsOpen()) {
    Purge();
    DtrPulse();
    CloseDevice();
  }
  if (!device_.Open(Name())) {
    SetError(code::PortCannotOpen);
    return false;
  }
  open_.store(true);
  Purge();
  if (!device_.GetState(found_) || !device_.GetState(working_)) {
    SetError(code::SettingsUnreadable);
    CloseDevice();
    return false;
  }
  // 8N1; binary, parity checking, CTS and DSR output flow, DSR sensitivity,
  // RTS handshake, abort on error; DTR is driven by hand; no XON/XOFF, no NUL
  // stripping, no transmit-continue-on-XOFF.
  working_.baudRate = static_cast<uint32_t>(speed_.load());
  working_.byteSize = 8;
  working_.parity = 0;
  working_.stopBits = 0;
  working_.flags = (working_.flags & ~0x1BB0u) | 0x604Fu;
  if (!device_.SetState(working_)) {
    SetError(code::PortSettingsRejected);
    CloseDevice();
    return false;
  }
  qv::CommTimeouts timeouts;
  timeouts.readInterval = qv::CommTimeouts::kMaxDword;
  timeouts.writeMultiplier = 1;
  timeouts.writeConstant = 500;
  device_.SetTimeouts(timeouts);
  SetError(code::NoError);
  Purge();
  return true;
}

bool CPort::CloseDevice() {
  device_.Close();
  open_.store(false);
  return true;
}

bool CPort::PortClose() {
  if (IsOpen()) {
    Purge();
    DtrPulse();
    CloseDevice();
  }
  ReleaseBody();
  return true;
}

bool CPort::Purge() { return IsOpen() && device_.Purge(qv::PURGE_ALL); }

bool CPort::DtrPulse() {
  if (!IsOpen()) return false;
  device_.Escape(qv::CommEscape::ClrDtr);
  clock::Sleep(kPulseHalf);
  device_.Escape(qv::CommEscape::SetDtr);
  clock::Sleep(kPulseHalf);
  return true;
}

bool CPort::DtrOn() {
  if (!IsOpen()) return false;
  device_.Escape(qv::CommEscape::SetDtr);
  clock::Sleep(kPulseHalf);
  return true;
}

int32_t CPort::ModemStatus() {
  if (!IsOpen()) return -1;
  uint32_t bits = 0;
  if (!device_.GetModemStatus(bits)) return -1;
  return static_cast<int32_t>(bits);
}

int32_t CPort::PortCarrier() {
  if (carrierAlwaysOn_.load()) return 1;
  int32_t s = ModemStatus();
  if (s < 0) return 0;
  return (s & static_cast<int32_t>(qv::MS_RLSD_ON)) ? 1 : 0;
}

bool CPort::WriteBytes(const char* bytes, size_t count) {
  if (!IsOpen()) return false;
  size_t done = 0;
  if (!status_.singleByteWrites.load()) {
    size_t written = 0;
    bool ok = device_.Write(bytes, count, written);
    if (ok && written == count) return true;
    uint32_t errors = device_.ClearErrors();
    if (ok || errors != qv::CE_TXFULL) return false;
    // A full transmit queue: one byte a write from now on, this session.
    status_.singleByteWrites.store(1);
    done = written;
  }
  for (; done < count; ++done) {
    for (int attempt = 1;; ++attempt) {
      size_t written = 0;
      if (device_.Write(bytes + done, 1, written) && written == 1) break;
      device_.ClearErrors();
      if (attempt >= kSingleByteAttempts) return false;
      clock::Sleep(300);
    }
  }
  return true;
}

bool CPort::PortWriteLine(const char* bytes, size_t count) {
  if (WriteBytes(bytes, count)) return true;
  SetError(code::WriteFailed);
  return false;
}

bool CPort::WriteProtocolLine(std::string_view text) {
  std::string line(text);
  line.push_back('\0');
  return PortWriteLine(line.data(), line.size());
}

bool CPort::PortStoreBody(const char* data, int32_t length) {
  ReleaseBody();
  if (!data || length < 1) {
    SetError(code::DataUnusable);
    return false;
  }
  try {
    auto copy = std::make_shared<const std::string>(data, static_cast<size_t>(length));
    std::lock_guard lock(bodyMutex_);
    body_ = std::move(copy);
  } catch (const std::bad_alloc&) {
    SetError(code::DataUnusable);
    return false;
  }
  return true;
}

void CPort::ReleaseBody() {
  std::lock_guard lock(bodyMutex_);
  body_.reset();
}

std::shared_ptr<const std::string> CPort::StoredBody() const {
  std::lock_guard lock(bodyMutex_);
  return body_;
}

bool CPort::PortSendBody() {
  // The caller may replace the stored body meanwhile; this send keeps its copy.
  const auto stored = StoredBody();
  const std::string_view body = stored ? std::string_view(*stored) : std::string_view();
  flow_.Set();
  size_t sent = 0;
  int64_t pauseEnd = 0;
  for (;;) {
    const int woke = clock::WaitAny({&abort_, &flow_}, kSlice);
    if (woke == 0) break;
    if (!PortCarrier()) {
      SetError(code::CarrierLost);
      return false;
    }
    if (woke == qv::Event::kTimeout) continue;
    if (sent == body.size()) {
      Notify(kwx::KWX_EV_SENT_BYTES, static_cast<int32_t>(body.size()));
      return PortWriteLine(".\r\n", 3);
    }
    size_t written = 0;
    const bool ok = IsOpen() && device_.Write(body.data() + sent, 1, written);
    if (ok && written == 1) {
      if (sent % kPaceEvery == 0) {
        pauseEnd = PaceEnd(pauseEnd, clock::NowMs(), kPacePause);
        clock::SleepUntil(pauseEnd);
      }
      if (sent % kProgressEvery == 0) Notify(kwx::KWX_EV_SENT_BYTES, static_cast<int32_t>(sent));
      ++sent;
      continue;
    }
    if (ok) {
      clock::Sleep(500);
      continue;
    }
    if (ModemStatus() < 0) {
      SetError(code::ModemStatusUnreadable);
      return false;
    }
    device_.ClearErrors();
    // Past the step deadline the send waits for kwxResumeTxRx or kwxDisconnect.
    if (TimerCheck()) flow_.Reset();
  }
  // Stopped by the caller: end the body so the centre is not left inside it.
  PortWriteLine("\r\n", 2);
  PortWriteLine(".\r\n", 3);
  TimerSet(2, code::ShortWait);
  char answer[256];
  int32_t size = sizeof answer;
  PortReadLine(answer, size);
  TimerClear();
  SetError(code::ReadAbandoned);
  return false;
}

bool CPort::PortReadLine(char* buffer, int32_t& size) {
  const int32_t room = size;
  int32_t count = 0;
  bool cr = false;
  size = 0;
  // Every byte counted needs the room that the limit below keeps free.
  if (room <= 8) {
    SetError(code::LineTooLong);
    return false;
  }
  for (;;) {
    if (ModemStatus() < 0) {
      SetError(code::ModemStatusUnreadable);
      size = count;
      return false;
    }
    if (TimerCheck()) {
      if (Error() != code::NoProgress) {
        size = count;
        return false;
      }
      // No progress for a minute: wait for the caller's word. The flow event
      // is cleared before the caller hears of it, so that a resume given at
      // once is not undone.
      flow_.Reset();
      Notify(kwx::KWX_EV_NO_RESPONSE, code::NoProgress);
    }
    const int woke = clock::WaitAny({&abort_, &flow_}, kSlice);
    if (woke == 0) {
      const int32_t reason = abortReason_.load();
      if (reason == code::ReasonNoAnswer) SetError(code::ReasonNoAnswer);
      else if (reason == code::ReasonUser) SetError(code::ReadAbandoned);
      size = count;
      return false;
    }
    const bool flowWait = woke == qv::Event::kTimeout;
    if (flowWait) flowWaits_.fetch_add(1);
    bool idle = flowWait;
    char byte = 0;
    if (!idle) {
      size_t got = 0;
      if (!IsOpen() || !device_.Read(&byte, 1, got)) {
        if (IsOpen() && device_.ClearErrors() == 0) continue;
        clock::Sleep(200);
        if (ModemStatus() < 0) SetError(code::ModemStatusUnreadable);
        size = count;
        return false;
      }
      idle = got == 0;
    }
    if (idle) {
      if (online_.load() && !PortCarrier()) {
        SetError(code::CarrierLost);
        size = count;
        return false;
      }
      // The pause ends as soon as the line brings a byte; a slice spent
      // waiting for the flow event was the pause already.
      if (!flowWait) WaitInput(kSlice);
      continue;
    }
    const auto c = static_cast<unsigned char>(byte);
    if (c == 0) {
      if (count == 0) continue;  // leading NULs are skipped
      buffer[count++] = '\0';    // takes the place of a CR before it
      size = count;
      return true;
    }
    if (c == '\n') {
      if (cr) ++count;  // the CR stays before the LF
      buffer[count++] = '\n';
      size = count;
      return true;
    }
    // Any other byte takes the place of a CR before it.
    if (c == '\r') {
      buffer[count] = '\r';
      cr = true;
      continue;
    }
    cr = false;
    buffer[count++] = static_cast<char>(c);
    if ((c < 0x20 && c != '\t') || c >= 0x80) {
      size = count;
      return true;
    }
    if (count >= room - 8) {
      SetError(code::LineTooLong);
      size = count;
      return false;
    }
  }
}

bool CPort::WaitInput(int64_t ms) { return IsOpen() && device_.WaitForInput(clock::Span(ms)); }

bool CPort::TimerCheck() {
  if (!status_.TimerCheck()) return false;
  error_.store(status_.Code());
  return true;
}

void CPort::SetAbortReason(int32_t reason) {
  if (reason == code::StopRingWait) stopRingWait_.store(code::StopRingWait);
  else abortReason_.store(reason);
}

int32_t CPort::TakeCancel() {
  if (status_.ringReception.load() && abortReason_.load() == code::ReasonUser) return 0;
  return cancel_.exchange(0);
}

bool CPort::CancelPending() const {
  if (status_.ringReception.load() && abortReason_.load() == code::ReasonUser) return false;
  return cancel_.load() != 0;
}

}  // namespace portvine
