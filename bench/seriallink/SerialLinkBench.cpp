// seriallink_bench: the built Portvine.so against the simulated handset whose
// output is paced to 115200 baud, on the module's real clock.
//   receive: a 64 KB mail body, from kwxAsyncGetEMail to its (1, 2)
//   send:    a 16 KB body, from kwxAsyncSendEMail to its (3, total)
//   wait:    CPU time of the process while a session waits 10 s for the caller
//   ring:    CPU time of the process while ring wait is armed for 10 s
#include "SessionHarness.h"

#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <thread>

using namespace std::chrono;
using seriallinktest::Ev;
using seriallinktest::Session;

namespace {
constexpr int kBaud = 115200;
constexpr double kLineBytesPerSecond = kBaud / 10.0;
// One byte a write with a 20 ms pause every 100 bytes.
constexpr double kPacedBytesPerSecond = 100 / 0.020;

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}

bool Receive(size_t size) {
  handsetsim::SimConfig c;
  c.pace = true;
  handsetsim::SimMail m{"BIG", "bench@example.jp", "bench", "2024/01/01 00:00:00", ""};
  m.body = handsetsim::MakeBody(m, size);
  c.mails.push_back(m);
  Session s(c, 1);
  s.param.Baudrate = kBaud;
  s.Init();
  if (!s.api().kwxConnectEMail(1, 0)) return false;
  int step = 0;
  std::string body;
  steady_clock::time_point t0, t1;
  s.Drive([&](const Ev& ev) {
    if (ev == Ev{1, 4}) body += s.TakeBuffer();
    if (ev == Ev{1, 2}) {
      body += s.TakeBuffer();
      if (step == 2) t1 = steady_clock::now();
    }
    if (ev == Ev{1, 7}) {
      if (step == 0) {
        body.clear();
        s.api().kwxAsyncGetEMail("BIG");
        t0 = steady_clock::now();
        step = 2;
      } else {
        s.api().kwxExitEMail();
      }
    }
  }, seconds(120));
  const double secs = duration<double>(t1 - t0).count();
  const double rate = static_cast<double>(size) / secs;
  std::printf("receive %zu bytes: %.2f s, %.0f bytes/s = %.1f%% of the line rate (%.0f bytes/s)%s\n", size, secs, rate,
              100 * rate / kLineBytesPerSecond, kLineBytesPerSecond, body == m.body ? "" : "  [BODY DIFFERS]");
  return body == m.body;
}

bool Send(size_t size) {
  Session s(handsetsim::SimConfig{}, 1);
  s.param.Baudrate = kBaud;
  s.Init();
  std::string body(size, 'x');
  for (size_t i = 78; i < size; i += 80) body[i] = '\r', body[i + 1] = '\n';
  body[size - 2] = '\r';
  body[size - 1] = '\n';
  if (!s.api().kwxConnectEMail(0, 1)) return false;
  steady_clock::time_point t0, t1;
  s.Drive([&](const Ev& ev) {
    if (ev == Ev{1, 1}) {
      t0 = steady_clock::now();
      s.api().kwxAsyncSendEMail(body.data(), static_cast<int32_t>(body.size()));
    }
    if (ev == Ev{3, static_cast<int32_t>(size)}) t1 = steady_clock::now();
  }, seconds(120));
  const double secs = duration<double>(t1 - t0).count();
  const double rate = static_cast<double>(size) / secs;
  const bool accepted = s.sim().Record().accepted == std::vector<std::string>{body};
  std::printf("send %zu bytes: %.2f s, %.0f bytes/s = %.1f%% of the prescribed pacing (%.0f bytes/s), %.1f%% of the line rate%s\n",
              size, secs, rate, 100 * rate / kPacedBytesPerSecond, kPacedBytesPerSecond, 100 * rate / kLineBytesPerSecond,
              accepted ? "" : "  [NOT ACCEPTED]");
  return accepted;
}

bool Wait(int seconds) {
  Session s(handsetsim::SimConfig{}, 1);
  s.Init();
  if (!s.api().kwxConnectEMail(1, 0)) return false;
  bool measured = false;
  s.Drive([&](const Ev& ev) {
    if (ev == Ev{1, 7} && !measured) {
      measured = true;
      const double c0 = CpuSeconds();
      const auto t0 = steady_clock::now();
      std::this_thread::sleep_for(std::chrono::seconds(seconds));
      const double cpu = CpuSeconds() - c0;
      const double wall = duration<double>(steady_clock::now() - t0).count();
      std::printf("waiting for the caller %d s: %.3f s CPU = %.2f%% of one core\n", seconds, cpu, 100 * cpu / wall);
      s.api().kwxExitEMail();
    }
  }, std::chrono::seconds(seconds + 60));
  return measured;
}
bool RingWait(int seconds) {
  Session s(handsetsim::SimConfig{}, 1);
  s.Init();
  if (!s.api().kwxWaitForRing()) return false;
  if (!s.WaitFor({1, 9}, std::chrono::seconds(60))) return false;
  const double c0 = CpuSeconds();
  const auto t0 = steady_clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double cpu = CpuSeconds() - c0;
  const double wall = duration<double>(steady_clock::now() - t0).count();
  std::printf("ring wait armed %d s: %.3f s CPU = %.2f%% of one core\n", seconds, cpu, 100 * cpu / wall);
  s.api().kwxDisconnect(99999);
  return s.WaitFor({8, 21}, std::chrono::seconds(30));
}
}  // namespace

int main() {
  qvtest::InitTestProcess();
  bool ok = Receive(64 * 1024);
  ok &= Send(16 * 1024);
  ok &= Wait(10);
  ok &= RingWait(10);
  return ok ? 0 : 1;
}
