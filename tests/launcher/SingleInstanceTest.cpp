// The launcher program started twice: the second ends at once, before it
// loads anything, and the first keeps running.
#include "LauncherFixture.h"
#include "core/ui/SingleApp.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

using namespace qvtest;

TEST_F(LauncherTest, ASecondLauncherEndsAtOnceAndTheFirstKeepsRunning) {
  WriteIni({{"Plugins|1", "TestMail.qpl"}});
  for (const char* file : {"Quorvel", "libqvplatform.so"})
    std::filesystem::copy_file(AppDir() / file, dir_ / file, std::filesystem::copy_options::overwrite_existing);
  const QString program = QString::fromStdString((dir_ / "Quorvel").string());
  QProcess first;
  first.setProcessChannelMode(QProcess::ForwardedChannels);
  first.start(program, {});
  ASSERT_TRUE(first.waitForStarted(10000));
  const std::filesystem::path socket = qv::TSingleApp::SocketPath("QuorvelLaunchApp");
  QElapsedTimer clock;
  clock.start();
  while (!std::filesystem::exists(socket) && clock.elapsed() < 20000) QThread::msleep(20);
  ASSERT_TRUE(std::filesystem::exists(socket)) << "the first launcher holds the name";
  while (CallsOf("TestMail PluginInitialize").empty() && clock.elapsed() < 20000) QThread::msleep(20);

  QProcess second;
  second.setProcessChannelMode(QProcess::ForwardedChannels);
  second.start(program, {});
  ASSERT_TRUE(second.waitForStarted(10000));
  EXPECT_TRUE(second.waitForFinished(20000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(first.state(), QProcess::Running);
  EXPECT_EQ(CallsOf("TestMail PluginInitialize").size(), 1u) << "the second loaded no plug-in";
  EXPECT_EQ(CallsOf("serial SetCallbackFunc").size(), 1u) << "nor the serial link";

  first.terminate();
  if (!first.waitForFinished(10000)) {
    first.kill();
    first.waitForFinished();
  }
}
