// The simulated-line back end: a Unix stream socket to a simulated handset.
// Frames both ways: type (1 byte), payload length (uint16 LE), payload.
//   'D' data bytes; 'S' handset -> host modem status (1 byte, GetCommModemStatus
//   bits); 'L' host -> handset control lines (DTR 0x01, RTS 0x02); 'P' host ->
//   handset line speed (uint32 LE).
#include "platform/CommBackend.h"
#include "platform/SimLineFrames.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace qv {
namespace {

// What the simulated driver accepts into its transmit queue before a write
// has to wait.
constexpr size_t kTransmitQueue = 64 * 1024;
constexpr int kOpenWaitMs = 2000;

using namespace qv::simline;

std::string Frame(char type, std::string_view payload) {
  std::string f;
  AppendFrame(f, type, payload);
  return f;
}

class SimBackend final : public CommBackend {
 public:
  explicit SimBackend(int fd) : fd_(fd) {}
  ~SimBackend() override {
    // Let what is queued reach the handset, briefly, before the line goes.
    WaitBudget budget(500);
    while (!out_.empty() && !broken_ && !budget.Expired()) Flush(static_cast<int>(std::min<int64_t>(budget.Left(), 50)));
    ::close(fd_);
  }

  // Waits for the handset's first status frame. A handset that is busy with
  // another host closes the connection at once instead.
  bool Handshake() {
    WaitBudget budget(kOpenWaitMs);
    while (!statusKnown_) {
      if (!Pump(static_cast<int>(std::max<int64_t>(1, budget.Left())))) return Fail(EBUSY);
      if (budget.Expired() && !statusKnown_) return Fail(ETIMEDOUT);
    }
    SendLines();
    SendSpeed();
    Flush(0);
    return true;
  }

  bool GetState(CommSettings& s) override {
    s = settings_;
    return true;
  }

  bool SetState(const CommSettings& s) override {
    if (s.baudRate == 0 || s.byteSize < 5 || s.byteSize > 8 || s.parity > 4) return Fail(EINVAL);
    settings_ = s;
    const uint32_t dtr = s.flags & dcb::fDtrControlMask;
    const uint32_t rts = s.flags & dcb::fRtsControlMask;
    uint8_t lines = lines_;
    lines = dtr ? (lines | kLineDtr) : (lines & ~kLineDtr);
    lines = rts ? (lines | kLineRts) : (lines & ~kLineRts);
    if (lines != lines_) {
      lines_ = lines;
      SendLines();
    }
    SendSpeed();
    Flush(0);
    return !broken_ || Fail(EIO);
  }

  bool SetTimeouts(const CommTimeouts& t) override {
    timeouts_ = t;
    return true;
  }

  bool Purge(uint32_t actions) override {
    if (actions & (PURGE_RXABORT | PURGE_RXCLEAR)) {
      Pump(0);
      rx_.clear();
    }
    if (actions & (PURGE_TXABORT | PURGE_TXCLEAR)) {
      // Unsent data goes; a frame already on its way must be finished, or
      // the stream breaks, and control frames always go out.
      std::deque<std::string> keep;
      for (size_t i = 0; i < out_.size(); ++i) {
        const bool started = (i == 0 && outOffset_ > 0);
        if (started || out_[i][0] != kData) keep.push_back(std::move(out_[i]));
      }
      out_ = std::move(keep);
    }
    return true;
  }

  bool Escape(CommEscape f) override {
    uint8_t lines = lines_;
    switch (f) {
      case CommEscape::SetDtr: lines |= kLineDtr; break;
      case CommEscape::ClrDtr: lines &= ~kLineDtr; break;
      case CommEscape::SetRts: lines |= kLineRts; break;
      case CommEscape::ClrRts: lines &= ~kLineRts; break;
    }
    if (broken_) return Fail(EIO);
    if (lines != lines_) {
      lines_ = lines;
      SendLines();
      Flush(0);
    }
    return true;
  }

  bool GetModemStatus(uint32_t& status) override {
    Pump(0);
    if (broken_) return Fail(EIO);
    status = status_;
    return true;
  }

  bool Read(void* data, size_t size, size_t& got) override {
    got = 0;
    const int64_t wait = ReadWaitMs(timeouts_, size);
    WaitBudget budget(wait);
    auto* out = static_cast<char*>(data);
    for (;;) {
      Pump(0);
      size_t n = std::min(size - got, rx_.size());
      std::copy_n(rx_.begin(), n, out + got);
      rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(n));
      got += n;
      if (got == size || wait == 0) break;
      if (broken_) break;
      if (budget.Expired()) break;
      int64_t left = budget.Left();
      Pump(left < 0 ? 100 : static_cast<int>(std::min<int64_t>(left, 100)));
    }
    if (got == 0 && broken_) {
      errors |= CE_IOE;
      return Fail(EIO);
    }
    return true;
  }

  bool WaitForInput(std::chrono::milliseconds timeout) override {
    if (rx_.empty() && !broken_) Pump(static_cast<int>(std::clamp<int64_t>(timeout.count(), 0, 60000)));
    return !rx_.empty();
  }

  bool Write(const void* data, size_t size, size_t& written) override {
    written = 0;
    if (broken_) return Fail(EIO);
    WaitBudget budget(WriteWaitMs(timeouts_, size));
    // Output flow control: the handset holds CTS (or DSR) down while it cannot take more.
    while (OutputHeld()) {
      if (budget.Expired()) return true;
      int64_t left = budget.Left();
      Pump(left < 0 ? 50 : static_cast<int>(std::min<int64_t>(left, 50)));
      if (broken_) return Fail(EIO);
    }
    while (QueuedBytes() + size > kTransmitQueue) {
      if (budget.Expired()) {
        errors |= CE_TXFULL;
        return Fail(EAGAIN);
      }
      int64_t left = budget.Left();
      Flush(left < 0 ? 50 : static_cast<int>(std::min<int64_t>(left, 50)));
      if (broken_) return Fail(EIO);
    }
    const auto* in = static_cast<const char*>(data);
    for (size_t at = 0; at < size;) {
      size_t n = std::min<size_t>(size - at, kMaxPayload);
      out_.push_back(Frame(kData, std::string_view(in + at, n)));
      at += n;
    }
    written = size;
    Flush(0);
    return !broken_ || Fail(EIO);
  }

 private:

  bool OutputHeld() const {
    const uint32_t f = settings_.flags;
    return ((f & dcb::fOutxCtsFlow) && !(status_ & MS_CTS_ON)) || ((f & dcb::fOutxDsrFlow) && !(status_ & MS_DSR_ON));
  }

  size_t QueuedBytes() const {
    size_t n = 0;
    for (const auto& f : out_) n += f.size();
    return n - outOffset_;
  }

  void SendLines() { out_.push_back(Frame(kLines, std::string_view(reinterpret_cast<const char*>(&lines_), 1))); }
  void SendSpeed() { out_.push_back(Frame(kSpeed, SpeedPayload(settings_.baudRate))); }

  // Sends what the socket takes now, waiting at most waitMs for room.
  void Flush(int waitMs) {
    while (!out_.empty() && !broken_) {
      const std::string& f = out_.front();
      ssize_t n = ::send(fd_, f.data() + outOffset_, f.size() - outOffset_, MSG_DONTWAIT | MSG_NOSIGNAL);
      if (n > 0) {
        outOffset_ += static_cast<size_t>(n);
        if (outOffset_ == f.size()) {
          out_.pop_front();
          outOffset_ = 0;
        }
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        if (waitMs <= 0) return;
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, waitMs) <= 0) return;
        continue;
      }
      broken_ = true;
    }
  }

  // Takes in what has arrived, waiting up to waitMs for the first bytes.
  // False once the handset has gone.
  bool Pump(int waitMs) {
    if (!out_.empty()) Flush(0);
    if (broken_) return false;
    if (waitMs > 0) {
      pollfd p{fd_, POLLIN, 0};
      ::poll(&p, 1, waitMs);
    }
    char buf[16384];
    for (;;) {
      ssize_t n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
      if (n > 0) {
        in_.append(buf, static_cast<size_t>(n));
        continue;
      }
      if (n == 0 || (errno != EAGAIN && errno != EINTR)) broken_ = true;
      if (n < 0 && errno == EINTR) continue;
      break;
    }
    Parse();
    return !broken_;
  }

  void Parse() {
    TakeFrames(in_, [this](char type, std::string_view payload) {
      if (type == kData) {
        // DSR sensitivity: bytes that arrive while DSR is off are dropped.
        if (!((settings_.flags & dcb::fDsrSensitivity) && !(status_ & MS_DSR_ON))) {
          if (rx_.size() + payload.size() > kReceiveQueue) errors |= CE_RXOVER;
          else rx_.insert(rx_.end(), payload.begin(), payload.end());
        }
      } else if (type == kStatus && !payload.empty()) {
        status_ = static_cast<uint8_t>(payload[0]);
        statusKnown_ = true;
      }
      return true;
    });
  }

  static constexpr size_t kReceiveQueue = 4 * 1024 * 1024;
  int fd_;
  CommSettings settings_{};
  CommTimeouts timeouts_{};
  std::string in_;
  std::deque<char> rx_;
  std::deque<std::string> out_;
  size_t outOffset_ = 0;
  uint32_t status_ = 0;
  bool statusKnown_ = false;
  bool broken_ = false;
  uint8_t lines_ = 0;
};

}  // namespace

std::unique_ptr<CommBackend> OpenSimBackend(const std::filesystem::path& path, int& error) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string p = path.string();
  if (p.size() >= sizeof addr.sun_path) {
    error = ENAMETOOLONG;
    return nullptr;
  }
  std::memcpy(addr.sun_path, p.c_str(), p.size() + 1);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    error = errno;
    ::close(fd);
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  auto backend = std::make_unique<SimBackend>(fd);
  if (!backend->Handshake()) {
    error = backend->error;
    return nullptr;
  }
  return backend;
}

}  // namespace qv
