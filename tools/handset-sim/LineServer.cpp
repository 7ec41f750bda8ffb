#include "LineServer.h"

#include "platform/SimLineFrames.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace handsetsim {
namespace {
using qv::simline::AppendFrame;
constexpr size_t kMaxWire = 256 * 1024;
// Paced data goes in pieces of this much line time.
constexpr auto kPaceSlice = std::chrono::milliseconds(2);

}  // namespace

LineServer::LineServer() = default;

LineServer::~LineServer() { Stop(); }

bool LineServer::Start(const std::filesystem::path& socket, LineHandler* handler, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why + ": " + std::strerror(errno);
    if (listen_ >= 0) ::close(listen_);
    listen_ = -1;
    return false;
  };
  handler_ = handler;
  path_ = socket;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string p = socket.string();
  if (p.size() >= sizeof addr.sun_path) {
    errno = ENAMETOOLONG;
    return fail("socket path " + p);
  }
  std::memcpy(addr.sun_path, p.c_str(), p.size() + 1);
  struct stat st {};
  if (::lstat(p.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      errno = EEXIST;
      return fail(p + " exists and is not a socket");
    }
    ::unlink(p.c_str());
  }
  if (socket.has_parent_path()) {
    std::error_code ec;
    std::filesystem::create_directories(socket.parent_path(), ec);
  }
  listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listen_ < 0) return fail("socket");
  if (::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return fail("bind " + p);
  // Only this user may open the line; no one can connect before listen().
  if (::chmod(p.c_str(), 0600) != 0) return fail("chmod " + p);
  if (::listen(listen_, 4) != 0) return fail("listen " + p);
  if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) return fail("pipe");
  stopping_ = false;
  running_ = true;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void LineServer::Stop() {
  if (!running_) return;
  {
    std::lock_guard lock(postMutex_);
    stopping_ = true;
  }
  Wake();
  thread_.join();
  running_ = false;
  ::close(wake_[0]);
  ::close(wake_[1]);
  wake_[0] = wake_[1] = -1;
}

void LineServer::Post(std::function<void()> fn) {
  {
    std::lock_guard lock(postMutex_);
    posted_.push_back(std::move(fn));
  }
  Wake();
}

void LineServer::Wake() {
  if (wake_[1] >= 0) {
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_[1], &c, 1);
  }
}

void LineServer::SendData(std::string_view bytes) {
  if (conn_ < 0 || bytes.empty()) return;
  if (!out_.empty() && out_.back().type == 'D') out_.back().bytes.append(bytes);
  else out_.push_back({'D', std::string(bytes), Clock::now()});
}

void LineServer::SetStatus(uint8_t status) {
  if (status == status_) return;
  status_ = status;
  if (conn_ >= 0) out_.push_back({'S', std::string(1, static_cast<char>(status)), Clock::now()});
}

void LineServer::DropHost() {
  if (conn_ < 0) return;
  CloseConnection();
  if (handler_) handler_->OnHostDisconnected();
}

uint64_t LineServer::After(std::chrono::milliseconds delay, std::function<void()> fn) {
  uint64_t id = nextTimer_++;
  timers_.emplace(Clock::now() + delay, std::make_pair(id, std::move(fn)));
  return id;
}

void LineServer::Cancel(uint64_t id) {
  for (auto it = timers_.begin(); it != timers_.end(); ++it)
    if (it->second.first == id) {
      timers_.erase(it);
      return;
    }
}

void LineServer::Run() {
  for (;;) {
    std::vector<std::function<void()>> work;
    {
      std::lock_guard lock(postMutex_);
      if (stopping_) break;
      work.swap(posted_);
    }
    for (auto& fn : work) fn();
    auto now = Clock::now();
    RunTimers(now);
    Deliver(Clock::now());
    Flush(Clock::now());

    pollfd fds[3] = {{listen_, POLLIN, 0}, {wake_[0], POLLIN, 0}, {conn_, POLLIN, 0}};
    nfds_t count = 2;
    if (conn_ >= 0) {
      if (!wire_.empty()) fds[2].events |= POLLOUT;
      count = 3;
    }
    // To the microsecond: paced pieces are due every few of them.
    const Clock::duration wait = PollWait(Clock::now());
    timespec ts{};
    if (wait >= Clock::duration::zero()) {
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
      ts.tv_sec = static_cast<time_t>(ns / 1000000000);
      ts.tv_nsec = static_cast<long>(ns % 1000000000);
    }
    ::ppoll(fds, count, wait >= Clock::duration::zero() ? &ts : nullptr, nullptr);
    if (fds[1].revents & POLLIN) {
      char buf[64];
      while (::read(wake_[0], buf, sizeof buf) > 0) {
      }
    }
    if (count == 3 && conn_ >= 0 && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) Receive();
    if (fds[0].revents & POLLIN) Accept();
  }
  CloseConnection();
  ::close(listen_);
  listen_ = -1;
  ::unlink(path_.c_str());
}

void LineServer::Accept() {
  for (;;) {
    int fd = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    // A host that closed just before this one connected has freed the port,
    // as a real one would be free: its end is taken in first.
    if (conn_ >= 0) Receive();
    if (conn_ >= 0) {
      // One host at a time: the second finds the port in use.
      ::close(fd);
      if (handler_) handler_->OnHostRefused();
      continue;
    }
    conn_ = fd;
    in_.clear();
    arrived_.clear();
    out_.clear();
    wire_.clear();
    hostLines_ = 0;
    hostSpeed_ = 9600;
    outFreeAt_ = inFreeAt_ = Clock::now();
    out_.push_back({'S', std::string(1, static_cast<char>(status_)), Clock::now()});
    if (handler_) handler_->OnHostConnected();
  }
}

void LineServer::Receive() {
  char buf[16384];
  for (;;) {
    ssize_t n = ::recv(conn_, buf, sizeof buf, MSG_DONTWAIT);
    if (n > 0) {
      in_.append(buf, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) break;
    // What the host wrote before it closed still reaches the handset.
    Parse();
    Deliver(Clock::now(), true);
    DropHost();
    return;
  }
  Parse();
  Deliver(Clock::now());
}

void LineServer::Parse() {
  const auto now = Clock::now();
  qv::simline::TakeFrames(in_, [&](char type, std::string_view payload) {
    // The speed governs the bytes that follow it at once.
    if (type == qv::simline::kSpeed && payload.size() >= 4 && qv::simline::SpeedOf(payload) > 0)
      hostSpeed_ = qv::simline::SpeedOf(payload);
    if (type == qv::simline::kData && !arrived_.empty() && arrived_.back().type == type)
      arrived_.back().bytes.append(payload);
    else
      arrived_.push_back({type, std::string(payload), now});
    return true;
  });
}

void LineServer::Deliver(Clock::time_point now, bool all) {
  while (conn_ >= 0 && !arrived_.empty()) {
    Item& item = arrived_.front();
    if (item.type != qv::simline::kData || !pacing_ || all) {
      const Item taken = std::move(item);
      arrived_.pop_front();
      Dispatch(taken.type, taken.bytes);
      continue;
    }
    const auto [size, carried] = NextPiece(item, inFreeAt_);
    if (now < carried) break;
    const std::string piece = item.bytes.substr(0, size);
    item.bytes.erase(0, size);
    if (item.bytes.empty()) arrived_.pop_front();
    inFreeAt_ = carried;
    Dispatch(qv::simline::kData, piece);
  }
}

void LineServer::Dispatch(char type, std::string_view payload) {
  if (!handler_) return;
  if (type == qv::simline::kData) {
    if (tap_) tap_(false, payload);
    handler_->OnData(payload);
  } else if (type == qv::simline::kLines && !payload.empty()) {
    hostLines_ = static_cast<uint8_t>(payload[0]);
    handler_->OnLines(hostLines_);
  } else if (type == qv::simline::kSpeed && payload.size() >= 4) {
    const uint32_t speed = qv::simline::SpeedOf(payload);
    if (speed > 0) hostSpeed_ = speed;
    handler_->OnSpeed(hostSpeed_);
  }
}

void LineServer::Flush(Clock::time_point now) {
  if (conn_ < 0) return;
  while (!out_.empty() && wire_.size() < kMaxWire) {
    Item& item = out_.front();
    if (item.type != 'D') {
      AppendFrame(wire_, item.type, item.bytes);
      out_.pop_front();
      continue;
    }
    if (!pacing_) {
      if (tap_) tap_(true, item.bytes);
      qv::simline::AppendData(wire_, item.bytes);
      out_.pop_front();
      continue;
    }
    const auto [size, carried] = NextPiece(item, outFreeAt_);
    if (now < carried) break;
    const std::string_view piece = std::string_view(item.bytes).substr(0, size);
    if (tap_) tap_(true, piece);
    AppendFrame(wire_, 'D', piece);
    item.bytes.erase(0, size);
    outFreeAt_ = carried;
    if (item.bytes.empty()) out_.pop_front();
  }
  while (!wire_.empty()) {
    ssize_t n = ::send(conn_, wire_.data(), wire_.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n > 0) {
      wire_.erase(0, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) break;
    DropHost();
    return;
  }
}

Clock::duration LineServer::ByteTime(size_t count) const {
  return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(count * 10.0 / hostSpeed_));
}

std::pair<size_t, Clock::time_point> LineServer::NextPiece(const Item& item, Clock::time_point freeAt) const {
  const size_t slice =
      std::max<size_t>(1, static_cast<size_t>(hostSpeed_ / 10.0 * std::chrono::duration<double>(kPaceSlice).count()));
  const size_t piece = std::min({slice, item.bytes.size(), qv::simline::kMaxPayload});
  // The line starts on the piece once it is free and the bytes are there, and
  // the far side has it once the line has carried it. A loop that wakes late
  // catches up, never ahead of the line and with no head start after a silence.
  return {piece, std::max(freeAt, item.at) + ByteTime(piece)};
}

Clock::duration LineServer::PollWait(Clock::time_point now) const {
  Clock::time_point next = Clock::time_point::max();
  if (!timers_.empty()) next = timers_.begin()->first;
  if (conn_ >= 0 && !out_.empty() && wire_.size() < kMaxWire) {
    // Control frames and unpaced data go at once; paced data once carried.
    next = std::min(next, (out_.front().type == 'D' && pacing_) ? NextPiece(out_.front(), outFreeAt_).second : now);
  }
  if (conn_ >= 0 && !arrived_.empty())
    next = std::min(next, (arrived_.front().type == qv::simline::kData && pacing_)
                              ? NextPiece(arrived_.front(), inFreeAt_).second
                              : now);
  if (next == Clock::time_point::max()) return Clock::duration(-1);
  if (next <= now) return Clock::duration::zero();
  return std::min<Clock::duration>(next - now, std::chrono::seconds(60));
}

void LineServer::RunTimers(Clock::time_point now) {
  while (!timers_.empty() && timers_.begin()->first <= now) {
    auto fn = std::move(timers_.begin()->second.second);
    timers_.erase(timers_.begin());
    fn();
  }
}

void LineServer::CloseConnection() {
  if (conn_ < 0) return;
  ::close(conn_);
  conn_ = -1;
  in_.clear();
  arrived_.clear();
  out_.clear();
  wire_.clear();
  hostLines_ = 0;
}

}  // namespace handsetsim
