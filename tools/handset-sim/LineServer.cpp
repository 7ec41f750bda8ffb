#include "LineServer.h"

#include "platform/SimLineFrames.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
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
constexpr auto kPaceSlice = std::chrono::milliseconds(2);
constexpr auto kPaceCatchUp = std::chrono::milliseconds(5);

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
  else out_.push_back({'D', std::string(bytes)});
}

void LineServer::SetStatus(uint8_t status) {
  if (status == status_) return;
  status_ = status;
  if (conn_ >= 0) out_.push_back({'S', std::string(1, static_cast<char>(status))});
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
    ::poll(fds, count, PollTimeoutMs(Clock::now()));
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
    nextByteAt_ = nextInByteAt_ = Clock::now();
    out_.push_back({'S', std::string(1, static_cast<char>(status_))});
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
  qv::simline::TakeFrames(in_, [this](char type, std::string_view payload) {
    if (type == qv::simline::kData && !arrived_.empty() && arrived_.back().type == type)
      arrived_.back().bytes.append(payload);
    else
      arrived_.push_back({type, std::string(payload)});
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
    if (now < nextInByteAt_) break;
    const double bytesPerSecond = hostSpeed_ / 10.0;
    size_t chunk = std::max<size_t>(1, static_cast<size_t>(bytesPerSecond * std::chrono::duration<double>(kPaceSlice).count()));
    chunk = std::min(chunk, item.bytes.size());
    const std::string piece = item.bytes.substr(0, chunk);
    item.bytes.erase(0, chunk);
    if (item.bytes.empty()) arrived_.pop_front();
    nextInByteAt_ = std::max(nextInByteAt_, now - kPaceCatchUp) +
                    std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(chunk / bytesPerSecond));
    Dispatch(qv::simline::kData, piece);
  }
}

void LineServer::Dispatch(char type, std::string_view payload) {
  if (!handler_) return;
  if (type == qv::simline::kData) {
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
      qv::simline::AppendData(wire_, item.bytes);
      out_.pop_front();
      continue;
    }
    if (now < nextByteAt_) break;
    const double bytesPerSecond = hostSpeed_ / 10.0;
    size_t chunk = std::max<size_t>(1, static_cast<size_t>(bytesPerSecond * std::chrono::duration<double>(kPaceSlice).count()));
    chunk = std::min({chunk, item.bytes.size(), static_cast<size_t>(0xFFFF)});
    AppendFrame(wire_, 'D', std::string_view(item.bytes).substr(0, chunk));
    item.bytes.erase(0, chunk);
    // Lateness of the loop is made up, so the average stays at the line rate.
    nextByteAt_ = std::max(nextByteAt_, now - kPaceCatchUp) +
                  std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(chunk / bytesPerSecond));
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

int LineServer::PollTimeoutMs(Clock::time_point now) const {
  Clock::time_point next = Clock::time_point::max();
  if (!timers_.empty()) next = timers_.begin()->first;
  if (conn_ >= 0 && !out_.empty() && wire_.size() < kMaxWire) {
    // Control frames and unpaced data go at once; paced data when its byte is due.
    next = std::min(next, (out_.front().type == 'D' && pacing_) ? nextByteAt_ : now);
  }
  if (conn_ >= 0 && !arrived_.empty())
    next = std::min(next, (arrived_.front().type == qv::simline::kData && pacing_) ? nextInByteAt_ : now);
  if (next == Clock::time_point::max()) return -1;
  if (next <= now) return 0;
  auto ms = std::chrono::duration_cast<std::chrono::microseconds>(next - now).count();
  return static_cast<int>(std::min<int64_t>((ms + 999) / 1000, 60000));
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
