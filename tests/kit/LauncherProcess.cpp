#include "LauncherProcess.h"

#include "TestSupport.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace qvtest {

LauncherRun RunLauncher(const std::filesystem::path& program, const std::filesystem::path& boxModule,
                        const std::map<std::string, std::string>& env, int ms) {
  const std::filesystem::path log = program.parent_path() / "boxes.log";
  std::error_code ec;
  std::filesystem::remove(log, ec);
  QProcess launcher;
  QProcessEnvironment all = QProcessEnvironment::systemEnvironment();
  all.insert("LD_PRELOAD", QString::fromStdString(boxModule.string()));
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
