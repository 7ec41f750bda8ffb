#pragma once
// The handset's end of the simulated line: a Unix stream socket that one host
// at a time opens as its COM port, speaking the fixed frame protocol (type,
// uint16 LE length, payload; 'D' data both ways, 'S' modem status to the host,
// 'L' control lines and 'P' line speed from the host).
//
// One thread runs everything: the socket, timers, and the handler's logic, so
// handlers need no locks of their own. Output keeps its order (a status change
// queued after data reaches the host after that data); output and input can
// be paced to the line speed the host set, each way on its own, as on a
// full-duplex line: a byte reaches the far side only once a real line would
// have carried it.
#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace handsetsim {

using Clock = std::chrono::steady_clock;

class LineHandler {
 public:
  virtual ~LineHandler() = default;
  virtual void OnHostConnected() {}
  virtual void OnHostDisconnected() {}
  virtual void OnHostRefused() {}
  virtual void OnData(std::string_view bytes) = 0;
  // DTR 0x01, RTS 0x02.
  virtual void OnLines(uint8_t lines) { (void)lines; }
  virtual void OnSpeed(uint32_t baud) { (void)baud; }
};

class LineServer {
 public:
  static constexpr uint8_t kDtr = 0x01;
  static constexpr uint8_t kRts = 0x02;

  LineServer();
  ~LineServer();
  LineServer(const LineServer&) = delete;
  LineServer& operator=(const LineServer&) = delete;

  // Binds the socket (a stale socket file is replaced, anything else is not)
  // and starts the thread.
  bool Start(const std::filesystem::path& socket, LineHandler* handler, std::string* error);
  void Stop();
  const std::filesystem::path& SocketPath() const { return path_; }

  // Runs fn on the line's thread.
  void Post(std::function<void()> fn);

  // The calls below belong to the line's thread (handlers and posted work).
  bool HostConnected() const { return conn_ >= 0; }
  void SendData(std::string_view bytes);
  // Queues a status frame behind the data already queued.
  void SetStatus(uint8_t status);
  uint8_t Status() const { return status_; }
  uint8_t HostLines() const { return hostLines_; }
  uint32_t HostSpeed() const { return hostSpeed_; }
  // Pace output and input to the host's line speed (10 bits a byte).
  void SetPacing(bool on) { pacing_ = on; }
  // Sees every data byte as it crosses the line: the host's as the handset
  // takes them, the handset's as they reach the host. Set before Start.
  using WireTap = std::function<void(bool toHost, std::string_view bytes)>;
  void SetWireTap(WireTap tap) { tap_ = std::move(tap); }
  // Closes the host's connection, as if the cable were pulled.
  void DropHost();
  // Timers; an id of 0 is never given out.
  uint64_t After(std::chrono::milliseconds delay, std::function<void()> fn);
  void Cancel(uint64_t id);

 private:
  struct Item {
    char type;
    std::string bytes;
    Clock::time_point at;  // when it came to be sent
  };
  void Run();
  void Accept();
  void Receive();
  void Parse();
  // Hands what came in to the handler, paced data when its byte is due
  // (everything at once with all).
  void Deliver(Clock::time_point now, bool all = false);
  void Dispatch(char type, std::string_view payload);
  Clock::duration ByteTime(size_t count) const;
  // The size of a paced data item's next piece, and when the line has carried
  // it, the line being free from freeAt.
  std::pair<size_t, Clock::time_point> NextPiece(const Item& item, Clock::time_point freeAt) const;
  void Flush(Clock::time_point now);
  // How long the loop may sleep; negative for no limit.
  Clock::duration PollWait(Clock::time_point now) const;
  void RunTimers(Clock::time_point now);
  void CloseConnection();
  void Wake();

  std::filesystem::path path_;
  LineHandler* handler_ = nullptr;
  int listen_ = -1;
  int conn_ = -1;
  int wake_[2] = {-1, -1};
  std::thread thread_;
  bool running_ = false;

  std::mutex postMutex_;
  std::vector<std::function<void()>> posted_;
  bool stopping_ = false;

  std::string in_;
  std::deque<Item> arrived_;  // frames taken from in_, not yet handed on
  std::deque<Item> out_;
  std::string wire_;  // framed bytes on their way into the socket
  uint8_t status_ = 0;
  uint8_t hostLines_ = 0;
  uint32_t hostSpeed_ = 9600;
  bool pacing_ = false;
  // When the line has carried the last paced byte, each way.
  Clock::time_point outFreeAt_{}, inFreeAt_{};
  WireTap tap_;

  uint64_t nextTimer_ = 1;
  std::multimap<Clock::time_point, std::pair<uint64_t, std::function<void()>>> timers_;
};

}  // namespace handsetsim
