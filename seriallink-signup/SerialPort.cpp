#include "SerialPort.h"

#include "abi/KwxApi.h"
#include "seriallink/common/Clock.h"
#include "seriallink/common/Codes.h"
#include "seriallink/common/ReplySteps.h"

#include "platform/Handles.h"

namespace kwxsignup {
namespace clock = seriallink::clock;
namespace code = seriallink::code;

namespace {
constexpr int64_t kSlice = 100;
constexpr int64_t kIdle = 50;
constexpr int kCodeBits = 20;
constexpr uint64_t kCodeMask = (uint64_t{1} << kCodeBits) - 1;
}  // namespace

bool EventForCode(int32_t c, int32_t& type, int32_t& value) {
  if (c >= 1 && c <= 9999 && c != 9) {
    type = kwx::KWX_EV_SESSION_ERROR;
    value = c + 10000;
  } else if (c >= 20000 && c <= 29999) {
    type = kwx::KWX_EV_SESSION_ERROR;
    value = c % 20000;
  } else if (c == code::NoReady) {
    type = kwx::KWX_EV_SESSION_ERROR;
    value = 1120;
  } else if (c == code::NoProgress) {
    type = kwx::KWX_EV_NO_RESPONSE;
    value = code::NoProgress;
  } else if (c >= 90001 && c <= 99999) {
    type = kwx::KWX_EV_MODULE_ERROR;
    value = c - code::NoError;
  } else {
    return false;
  }
  return true;
}

CSerialPort::CSerialPort(qv::Event& abort, qv::Event& flow) : abort_(abort), flow_(flow) {}

bool CSerialPort::Setup(std::string_view name, int32_t speed, uint32_t window) {
  window_.store(window);
  online_.store(0);
  if (name.size() < 3) return Fail(code::PortNameTooShort);
  {
    std::lock_guard lock(nameMutex_);
    name_ = std::string(name);
  }
  speed_.store(speed);
  Record(code::NoError);
  return true;
}

std::string CSerialPort::Name() const {
  std::lock_guard lock(nameMutex_);
  return name_;
}

bool CSerialPort::Open() {
  Close();
  if (!device_.Open(Name())) return Fail(code::PortCannotOpen);
  open_.store(true);
  pending_ = -1;
  Purge();
  qv::CommSettings found, working;
  if (!device_.GetState(found) || !device_.GetState(working)) {
    Close();
    return Fail(code::SettingsUnreadable);
  }
  // 8N1; binary, parity checking, CTS and DSR output flow, RTS handshake,
  // abort on error; DTR driven by hand; no DSR sensitivity, no XON/XOFF.
  working.baudRate = static_cast<uint32_t>(speed_.load());
  working.byteSize = 8;
  working.parity = 0;
  working.stopBits = 0;
  working.flags = (working.flags & ~0x1BB0u) | 0x600Fu;
  if (!device_.SetState(working)) {
    Close();
    return Fail(code::PortSettingsRejected);
  }
  qv::CommTimeouts timeouts;
  timeouts.readInterval = qv::CommTimeouts::kMaxDword;
  timeouts.writeConstant = 100;
  device_.SetTimeouts(timeouts);
  Record(code::NoError);
  Purge();
  return true;
}

void CSerialPort::Close() {
  if (!IsOpen()) return;
  Purge();
  DropDtr();
  device_.Close();
  open_.store(false);
  pending_ = -1;
}

void CSerialPort::Purge() {
  if (!IsOpen()) return;
  device_.Purge(qv::PURGE_ALL);
  pending_ = -1;
}

void CSerialPort::DropDtr() {
  if (IsOpen()) device_.Escape(qv::CommEscape::ClrDtr);
}

void CSerialPort::RaiseDtr() {
  if (IsOpen()) device_.Escape(qv::CommEscape::SetDtr);
}

int32_t CSerialPort::ModemStatus() {
  if (!IsOpen()) return -1;
  uint32_t bits = 0;
  if (!device_.GetModemStatus(bits)) return -1;
  return static_cast<int32_t>(bits);
}

bool CSerialPort::Carrier() {
  const int32_t s = ModemStatus();
  return s >= 0 && (s & static_cast<int32_t>(qv::MS_RLSD_ON)) != 0;
}

bool CSerialPort::WriteLine(const char* bytes, size_t count) {
  size_t written = 0;
  if (IsOpen() && device_.Write(bytes, count, written) && written == count) return true;
  if (IsOpen()) device_.ClearErrors();
  return Fail(code::WriteFailed);
}

bool CSerialPort::WriteProtocolLine(std::string_view text) {
  std::string line(text);
  line.push_back('\0');
  return WriteLine(line.data(), line.size());
}

bool CSerialPort::SendBody(std::string_view body) {
  flow_.Set();
  size_t sent = 0;
  for (;;) {
    const int woke = clock::WaitAny({&abort_, &flow_}, kSlice);
    if (woke == 0) break;
    if (!Carrier()) return Fail(seriallink::LineGoneCode(*this));
    if (woke == qv::Event::kTimeout) continue;
    if (sent == body.size()) return WriteLine(".\r\n", 3);
    size_t written = 0;
    const bool ok = IsOpen() && device_.Write(body.data() + sent, 1, written);
    if (ok && written == 1) {
      ++sent;
      continue;
    }
    if (ok) {
      clock::Sleep(500);
      continue;
    }
    if (ModemStatus() < 0) return Fail(code::ModemStatusUnreadable);
    device_.ClearErrors();
    // Past the deadline the body waits for the caller's word; the flow event
    // goes before the caller hears of it, so that a resume given at once holds.
    if (const int32_t expired = TakeExpired()) {
      if (expired == code::NoProgress) flow_.Reset();
      Record(expired);
    }
  }
  // Stopped by the caller: the body is ended, so the centre is not left inside it.
  const char end[] = "\r\n.\r\n";
  size_t written = 0;
  if (IsOpen()) device_.Write(end, sizeof end - 1, written);
  Record(code::ReadAbandoned);
  clock::Sleep(100);
  return false;
}

int CSerialPort::NextByte(unsigned char& byte) {
  if (pending_ >= 0) {
    byte = static_cast<unsigned char>(pending_);
    pending_ = -1;
    return 1;
  }
  size_t got = 0;
  char c = 0;
  if (!IsOpen() || !device_.Read(&c, 1, got)) return -1;
  byte = static_cast<unsigned char>(c);
  return got == 1 ? 1 : 0;
}

bool CSerialPort::ReadLine(char* buffer, int32_t& size) {
  const int32_t room = size;
  int32_t count = 0;
  bool cr = false;
  size = 0;
  // Every byte counted needs the room that the limit below keeps free.
  if (!buffer || room <= 8) return Fail(code::LineTooLong);
  for (;;) {
    if (ModemStatus() < 0) {
      size = count;
      return Fail(code::ModemStatusUnreadable);
    }
    if (const int32_t expired = TakeExpired()) {
      if (expired != code::NoProgress) {
        Record(expired);
        size = count;
        return false;
      }
      // No progress for a minute: wait for the caller's word.
      flow_.Reset();
      Record(expired);
    }
    unsigned char c = 0;
    int got = 0;
    if (pending_ >= 0) {
      got = NextByte(c);
    } else {
      const int woke = clock::WaitAny({&abort_, &flow_}, kSlice);
      if (woke == 0) {
        Record(stopReason_.load() == code::ReasonNoAnswer ? code::NoAnswerTimeout : code::ReadAbandoned);
        size = count;
        return false;
      }
      if (woke != qv::Event::kTimeout) got = NextByte(c);
      if (got < 0) {
        if (IsOpen() && device_.ClearErrors() == 0) continue;
        clock::Sleep(200);
        size = count;
        return Fail(ModemStatus() < 0 ? code::ModemStatusUnreadable : code::ReadFailed);
      }
    }
    if (got == 0) {
      if (online_.load() && !Carrier()) {
        size = count;
        return Fail(seriallink::LineGoneCode(*this));
      }
      clock::Sleep(kIdle);
      continue;
    }
    if (cr) {
      // The CR ended the line; an LF right after it belongs to it.
      if (c == '\n') buffer[count++] = '\n';
      else pending_ = c;
      size = count;
      return true;
    }
    if (c == 0 && count == 0) continue;  // leading NULs are skipped
    buffer[count++] = static_cast<char>(c);
    if (c == '\r') {
      cr = true;
      continue;
    }
    if (c < 0x20 && c != '\t') {
      size = count;
      return true;
    }
    if (count >= room - 8) {
      size = count;
      return Fail(code::LineTooLong);
    }
  }
}

void CSerialPort::Record(int32_t c) {
  error_.store(c);
  records_.fetch_add(1);
  stopReason_.store(0);
  int32_t type = 0, value = 0;
  if (EventForCode(c, type, value)) Notify(type, value);
}

void CSerialPort::Keep(int32_t c) {
  if (error_.load() != c) Record(c);
}

void CSerialPort::Notify(int32_t type, int32_t c) {
  const uint32_t hwnd = window_.load();
  if (hwnd != 0) qv::PostMessage(hwnd, qv::WM_USER + 1, static_cast<uintptr_t>(type), static_cast<intptr_t>(c));
}

void CSerialPort::TimerSet(int32_t seconds, int32_t c) {
  const uint64_t at = static_cast<uint64_t>(clock::NowMs() + int64_t{seconds} * 1000);
  deadline_.store((at << kCodeBits) | (static_cast<uint64_t>(c) & kCodeMask));
}

int32_t CSerialPort::TakeExpired() {
  uint64_t d = deadline_.load();
  if (d == 0 || static_cast<int64_t>(d >> kCodeBits) >= clock::NowMs()) return 0;
  // Taken once: a resume that armed a fresh deadline meanwhile keeps it.
  if (!deadline_.compare_exchange_strong(d, 0)) return 0;
  return static_cast<int32_t>(d & kCodeMask);
}

bool CSerialPort::TimerCheck() {
  const int32_t expired = TakeExpired();
  if (expired == 0) return false;
  Record(expired);
  return true;
}

void CSerialPort::RequestStop(int32_t reason) {
  stopReason_.store(reason);
  stopRequest_.store(1);
}

void CSerialPort::ClearStop() {
  stopRequest_.store(0);
  stopReason_.store(0);
}

}  // namespace kwxsignup
