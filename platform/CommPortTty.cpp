// The termios back end: real serial and USB-serial devices.
#include "platform/CommBackend.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace qv {
namespace {

struct SpeedEntry {
  uint32_t baud;
  speed_t code;
};
constexpr SpeedEntry kSpeeds[] = {
    {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},       {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},     {115200, B115200},
    {230400, B230400}, {460800, B460800}, {500000, B500000}, {921600, B921600},   {1000000, B1000000},
    {2000000, B2000000}, {3000000, B3000000}, {4000000, B4000000},
};

bool SpeedCode(uint32_t baud, speed_t& code) {
  for (const auto& s : kSpeeds)
    if (s.baud == baud) {
      code = s.code;
      return true;
    }
  return false;
}

uint32_t SpeedBaud(speed_t code) {
  for (const auto& s : kSpeeds)
    if (s.code == code) return s.baud;
  return 0;
}

class TtyBackend final : public CommBackend {
 public:
  explicit TtyBackend(int fd) : fd_(fd) {}
  ~TtyBackend() override { ::close(fd_); }

  bool GetState(CommSettings& s) override {
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return Fail(errno);
    s.baudRate = SpeedBaud(::cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
      case CS5: s.byteSize = 5; break;
      case CS6: s.byteSize = 6; break;
      case CS7: s.byteSize = 7; break;
      default: s.byteSize = 8; break;
    }
    s.parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 1 : 2) : 0;
    s.stopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
    // What the driver keeps in termios, plus what this layer emulates.
    uint32_t f = (layerFlags_ | dcb::fBinary) & ~(dcb::fOutxCtsFlow | dcb::fOutX | dcb::fInX | dcb::fParity);
    if (t.c_cflag & CRTSCTS) f = (f & ~dcb::fRtsControlMask) | dcb::fOutxCtsFlow | dcb::RtsControlHandshake;
    else if ((f & dcb::fRtsControlMask) == dcb::RtsControlHandshake) f &= ~dcb::fRtsControlMask;
    if (t.c_iflag & IXON) f |= dcb::fOutX;
    if (t.c_iflag & IXOFF) f |= dcb::fInX;
    if (t.c_iflag & INPCK) f |= dcb::fParity;
    s.flags = f;
    return true;
  }

  bool SetState(const CommSettings& s) override {
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return Fail(errno);
    speed_t code;
    if (!SpeedCode(s.baudRate, code)) return Fail(EINVAL);
    if (s.byteSize < 5 || s.byteSize > 8 || s.parity > 2 || (s.stopBits != 0 && s.stopBits != 2)) return Fail(EINVAL);
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, code);
    ::cfsetospeed(&t, code);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL);
    t.c_cflag |= CLOCAL | CREAD;
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= kSizes[s.byteSize - 5];
    if (s.parity != 0) t.c_cflag |= PARENB | (s.parity == 1 ? PARODD : 0);
    if (s.stopBits == 2) t.c_cflag |= CSTOPB;
    const uint32_t rts = s.flags & dcb::fRtsControlMask;
    // The driver's hardware handshake covers both directions at once.
    if ((s.flags & dcb::fOutxCtsFlow) || rts == dcb::RtsControlHandshake) t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    if (s.flags & dcb::fOutX) t.c_iflag |= IXON;
    if (s.flags & dcb::fInX) t.c_iflag |= IXOFF;
    if ((s.flags & dcb::fParity) && s.parity != 0) t.c_iflag |= INPCK;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) return Fail(errno);
    termios check{};
    if (::tcgetattr(fd_, &check) != 0 || ::cfgetospeed(&check) != code) return Fail(EINVAL);
    layerFlags_ = s.flags;
    // DTR and RTS as the control modes ask; a device without lines just keeps none.
    const uint32_t dtr = s.flags & dcb::fDtrControlMask;
    SetLine(TIOCM_DTR, dtr != 0);
    if (rts != dcb::RtsControlHandshake) SetLine(TIOCM_RTS, rts != 0);
    return true;
  }

  bool SetTimeouts(const CommTimeouts& t) override {
    timeouts_ = t;
    return true;
  }

  bool Purge(uint32_t actions) override {
    const bool rx = actions & (PURGE_RXABORT | PURGE_RXCLEAR);
    const bool tx = actions & (PURGE_TXABORT | PURGE_TXCLEAR);
    if (!rx && !tx) return true;
    if (::tcflush(fd_, rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH) != 0) return Fail(errno);
    return true;
  }

  bool Escape(CommEscape f) override {
    switch (f) {
      case CommEscape::SetDtr: return SetLine(TIOCM_DTR, true);
      case CommEscape::ClrDtr: return SetLine(TIOCM_DTR, false);
      case CommEscape::SetRts: return SetLine(TIOCM_RTS, true);
      case CommEscape::ClrRts: return SetLine(TIOCM_RTS, false);
    }
    return Fail(EINVAL);
  }

  bool GetModemStatus(uint32_t& status) override {
    int bits = 0;
    if (::ioctl(fd_, TIOCMGET, &bits) != 0) return Fail(errno);
    status = ((bits & TIOCM_CTS) ? MS_CTS_ON : 0) | ((bits & TIOCM_DSR) ? MS_DSR_ON : 0) |
             ((bits & TIOCM_RNG) ? MS_RING_ON : 0) | ((bits & TIOCM_CD) ? MS_RLSD_ON : 0);
    return true;
  }

  bool Read(void* data, size_t size, size_t& got) override {
    got = 0;
    WaitBudget budget(ReadWaitMs(timeouts_, size));
    const bool immediate = ReadWaitMs(timeouts_, size) == 0;
    auto* out = static_cast<char*>(data);
    while (got < size) {
      ssize_t n = ::read(fd_, out + got, size - got);
      if (n > 0) {
        // DSR sensitivity: the driver drops what arrives while DSR is off.
        if ((layerFlags_ & dcb::fDsrSensitivity) && !LineUp(MS_DSR_ON, true)) continue;
        got += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) {
        errors |= CE_IOE;
        return Fail(errno);
      }
      if (immediate || budget.Expired()) break;
      pollfd p{fd_, POLLIN, 0};
      int64_t left = budget.Left();
      ::poll(&p, 1, left < 0 ? 100 : static_cast<int>(std::min<int64_t>(left, 100)));
    }
    return true;
  }

  bool WaitForInput(std::chrono::milliseconds timeout) override {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(std::clamp<int64_t>(timeout.count(), 0, 60000))) > 0 && (p.revents & POLLIN);
  }

  bool Write(const void* data, size_t size, size_t& written) override {
    written = 0;
    WaitBudget budget(WriteWaitMs(timeouts_, size));
    // The driver has no DSR output flow; hold the bytes back here while DSR
    // is off. A device whose lines cannot be read is not held.
    if (layerFlags_ & dcb::fOutxDsrFlow) {
      while (!LineUp(MS_DSR_ON, true)) {
        if (budget.Expired()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    const auto* in = static_cast<const char*>(data);
    while (written < size) {
      ssize_t n = ::write(fd_, in + written, size - written);
      if (n > 0) {
        written += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) {
        errors |= CE_IOE;
        return Fail(errno);
      }
      if (budget.Expired()) {
        // The transmit queue stayed full.
        errors |= CE_TXFULL;
        return Fail(EAGAIN);
      }
      pollfd p{fd_, POLLOUT, 0};
      int64_t left = budget.Left();
      ::poll(&p, 1, left < 0 ? 100 : static_cast<int>(std::min<int64_t>(left, 100)));
    }
    return true;
  }

 private:
  bool SetLine(int bit, bool on) {
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) != 0) return Fail(errno);
    return true;
  }
  // Whether the line is up; unreadable lines count as whenUnreadable.
  bool LineUp(uint32_t bit, bool whenUnreadable) {
    uint32_t status = 0;
    int saved = error;
    if (!GetModemStatus(status)) {
      error = saved;
      return whenUnreadable;
    }
    return (status & bit) != 0;
  }

  int fd_;
  CommTimeouts timeouts_{};
  uint32_t layerFlags_ = dcb::fBinary;
};

}  // namespace

std::unique_ptr<CommBackend> OpenTtyBackend(const std::filesystem::path& path, int& error) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  if (!::isatty(fd)) {
    ::close(fd);
    error = ENOTTY;
    return nullptr;
  }
  // TIOCEXCL keeps other openers out (root excepted); the lock also covers root
  // and other programs that lock their ports the same way.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    error = (errno == EWOULDBLOCK) ? EBUSY : errno;
    ::close(fd);
    return nullptr;
  }
  ::ioctl(fd, TIOCEXCL);
  termios t{};
  if (::tcgetattr(fd, &t) == 0) {
    // Raw bytes, no waiting for DCD on later opens, no hang-up on close.
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~HUPCL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &t);
  }
  // Linux raises DTR on open; the handset must see it only when asked for.
  int dtr = TIOCM_DTR;
  ::ioctl(fd, TIOCMBIC, &dtr);
  return std::make_unique<TtyBackend>(fd);
}

}  // namespace qv
