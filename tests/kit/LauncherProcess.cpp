#include "LauncherProcess.h"

#include "TestSupport.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <fstream>
#include <string>

namespace qvtest {
namespace {

// In a build under AddressSanitizer its runtime must come first among the
// preloaded libraries, or the launcher refuses to start: the path of the
// runtime this test runs with, or nothing.
std::string SanitizerRuntime() {
  std::ifstream maps("/proc/self/maps");
  for (std::string line; std::getline(maps, line);) {
    const size_t at = line.find('/');
    if (at == std::string::npos) continue;
    const std::string path = line.substr(at);
    const std::string name = std::filesystem::path(path).filename().string();
    if (name.rfind("libasan.so", 0) == 0 || name.rfind("libclang_rt.asan", 0) == 0) return path;
  }
  return {};
}

}  // namespace

LauncherRun RunLauncher(const std::filesystem::path& program, const std::filesystem::path& boxModule,
                        const std::map<std::string, std::string>& env, int ms) {
  const std::filesystem::path log = program.parent_path() / "boxes.log";
  std::error_code ec;
  std::filesystem::remove(log, ec);
  QProcess launcher;
  QProcessEnvironment all = QProcessEnvironment::systemEnvironment();
  const std::string runtime = SanitizerRuntime();
  all.insert("LD_PRELOAD", QString::fromStdString((runtime.empty() ? "" : runtime + ":") + boxModule.string()));
  all.insert("QV_TEST_BOX_LOG", QString::fromStdString(log.string()));
  for (const auto& [name, value] : env) all.insert(QString::fromStdString(name), QString::fromStdString(value));
  launcher.setProcessEnvironment(all);
  launcher.setProcessChannelMode(QProcess::ForwardedChannels);
  launcher.start(QString::fromStdString(program.string()), {});
  LauncherRun run;
  if (!launcher.waitForStarted(10000)) {
    Fail("the launcher did not start: " + program.string());
    return run;
  }
  run.ended = launcher.waitForFinished(ms);
  if (!run.ended) {
    launcher.kill();
    launcher.waitForFinished();
  }
  run.normalExit = launcher.exitStatus() == QProcess::NormalExit;
  if (std::filesystem::exists(log, ec)) run.boxes = ReadFile(log);
  std::filesystem::remove(log, ec);
  return run;
}

}  // namespace qvtest
