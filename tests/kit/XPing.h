#pragma once
// An X client of its own (on DISPLAY) that sees a window as the user's X
// server does: it pings the window as a window manager does (_NET_WM_PING)
// and times the answer as the server hands it on, and types keys into it
// through the server. Independent of the window's program and its thread.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct xcb_connection_t;

namespace qvtest {

class XPinger {
 public:
  XPinger() = default;
  ~XPinger();
  XPinger(const XPinger&) = delete;
  XPinger& operator=(const XPinger&) = delete;

  // The window to ping (its X id); false when there is no X server.
  bool Connect(uint32_t window);
  // One ping: how long the answer took, or nothing within timeout (or once
  // cancel is set).
  std::optional<double> Ping(std::chrono::milliseconds timeout, const std::atomic<bool>* cancel = nullptr);
  // A key press and release of the key that types keysym, sent to the window.
  bool SendKey(uint32_t keysym);

 private:
  uint32_t Atom(const char* name);

  xcb_connection_t* conn_ = nullptr;
  uint32_t root_ = 0, window_ = 0;
  uint32_t protocols_ = 0, ping_ = 0;
  uint32_t serial_ = 0;
};

// Pings a window one ping after the other on a thread of its own, from
// Start to Stop.
class PingRecorder {
 public:
  using Clock = std::chrono::steady_clock;
  struct Sample {
    Clock::time_point sent;
    double ms;  // until the answer came (the time-out when none came)
  };
  ~PingRecorder() { Stop(); }
  bool Start(uint32_t window);
  void Stop();
  std::vector<Sample> Samples();

 private:
  XPinger pinger_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::thread thread_;
  std::vector<Sample> samples_;
};

}  // namespace qvtest
