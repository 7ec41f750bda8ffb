// window_latency_bench: how soon the launcher answers its X server while a
// long mail receive runs and as it ends. The launcher's own windows and
// plug-ins (the app folder of this build) run on an Xvfb of the bench's own
// with openbox; the built Portvine.so drives the simulated handset and mail
// centre paced at 115200 baud both ways, on the module's real clock. A second
// X client pings the launcher's window (_NET_WM_PING, as a window manager
// does) one ping at a time and times each answer as the X server hands it on.
//
//   window_latency_bench [N]     receive all of N small mails (default 500)
//
// Printed: the answer times (median, 99th percentile, worst) before, during
// and after the session and over its last seconds, and the longest waits with
// when they began relative to the session's start and end.
#include "CentreMails.h"
#include "MailFolders.h"
#include "Simulator.h"
#include "TestSupport.h"
#include "XPing.h"
#include "XSession.h"
#include "launcher/LauncherWindows.h"
#include "platform/IniFile.h"

#include <QApplication>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using qv::Sjis;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
  return v[i];
}

void Summary(const char* what, const std::vector<qvtest::PingRecorder::Sample>& all, Clock::time_point from, Clock::time_point to) {
  std::vector<double> ms;
  for (const auto& s : all)
    if (s.sent >= from && s.sent < to) ms.push_back(s.ms);
  if (ms.empty()) {
    std::printf("  %-28s no pings\n", what);
    return;
  }
  std::printf("  %-28s %6zu pings: median %6.1f ms, 99th %6.1f ms, worst %7.1f ms\n", what, ms.size(),
              Percentile(ms, 0.5), Percentile(ms, 0.99), *std::max_element(ms.begin(), ms.end()));
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 500;
  if (count <= 0) {
    std::fprintf(stderr, "usage: window_latency_bench [N]\n");
    return 2;
  }
  qvtest::InitTestProcess();
  qvtest::XSession x;
  std::string why;
  if (!x.Start(true, why)) {
    std::fprintf(stderr, "no X server: %s\n", why.c_str());
    return 1;
  }
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  QApplication app(argc, argv);

  // The app folder as the run command leaves it, the handset at COM9.
  qvtest::TempDir tmp;
  const std::filesystem::path dir = tmp.path() / "app";
  qvtest::ScopedLauncherDir launcherDir(dir);
  for (const auto& entry : std::filesystem::directory_iterator(qvtest::AppDir())) {
    const auto name = entry.path().filename();
    if (name == "ports" || name == "MailLog" || name == "Theme" || name == "Error.log" || name == "Quorvel.ini") continue;
    std::filesystem::create_symlink(entry.path(), dir / name);
  }
  std::filesystem::copy_file(qvtest::AppDir() / "Quorvel.ini", dir / "Quorvel.ini");
  qv::IniFile ini(dir / "Quorvel.ini");
  ini.WriteString("Port", "SerialPort", "COM9");
  ini.WriteString("Port", "Baudrate", "115200");
  ::unsetenv("QUORVEL_PORTS");
  std::filesystem::create_directories(dir / "ports");
  std::filesystem::current_path(dir);

  // Small mails, as session_bench's "small" setting.
  handsetsim::Simulator sim(
      qvtest::CentreWithMails(count, [](std::mt19937& r) { return std::uniform_int_distribution<size_t>(700, 1100)(r); }));
  if (!sim.Start(dir / "ports" / "COM9", &why)) {
    std::fprintf(stderr, "no handset: %s\n", why.c_str());
    return 1;
  }

  std::unique_ptr<qv::TfrmLaunch> launch;
  std::unique_ptr<qv::TfrmConnecting> connecting;
  std::unique_ptr<qv::TfrmReceiveMsg> notice;
  qv::MakeLauncherWindows(launch, connecting, notice);
  if (launch->Terminated()) {
    std::fprintf(stderr, "the launcher did not start\n");
    return 1;
  }
  launch->show();
  const Clock::time_point shown = Clock::now();
  while (!(launch->windowHandle() && launch->windowHandle()->isExposed()) && Clock::now() - shown < std::chrono::seconds(10))
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);

  qvtest::PingRecorder pinger;
  if (!pinger.Start(static_cast<uint32_t>(launch->winId()))) {
    std::fprintf(stderr, "no X connection for the pings\n");
    return 1;
  }
  Clock::time_point begun, ended, over;
  bool done = false;
  // A second of pings first, then the receive as the mail window asks for it
  // (receive all), then two seconds more.
  QTimer::singleShot(1000, [&] {
    begun = Clock::now();
    done = launch->PluginParamCallback(1, 3);
    ended = Clock::now();
    QTimer::singleShot(2000, [&] {
      over = Clock::now();
      QCoreApplication::quit();
    });
  });
  app.exec();
  pinger.Stop();
  sim.Stop();

  const size_t stored = qvtest::ReadLiveMails(Sjis("受信簿")).size();
  const auto samples = pinger.Samples();
  std::printf("receive all of %d mails: %s, %zu stored, session %.1f s\n", count, done ? "done" : "NOT DONE", stored,
              Ms(ended - begun) / 1000);
  Summary("before the session", samples, shown, begun);
  Summary("during the session", samples, begun, ended);
  Summary("its last 5 s", samples, ended - std::chrono::seconds(5), ended);
  Summary("after it", samples, ended, over);
  Summary("all", samples, shown, over);
  // The longest waits, with when they began.
  std::vector<qvtest::PingRecorder::Sample> worst = samples;
  std::sort(worst.begin(), worst.end(), [](const auto& a, const auto& b) { return a.ms > b.ms; });
  std::printf("  longest waits:");
  for (size_t i = 0; i < std::min<size_t>(worst.size(), 6); ++i) {
    const double fromStart = Ms(worst[i].sent - begun) / 1000, fromEnd = Ms(worst[i].sent - ended) / 1000;
    std::printf("%s %.0f ms at %+.2f s from the start (%+.2f s from the end)", i ? "," : "", worst[i].ms, fromStart,
                fromEnd);
  }
  std::printf("\n");
  std::fflush(stdout);
  qv::EndLauncherWindows(launch, connecting, notice);
  return done && stored == static_cast<size_t>(count) ? 0 : 1;
}
