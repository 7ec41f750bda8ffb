// The single-instance guard: one guard per process, a second process with
// the same name ends (or throws) and brings the first one's window forward.
#include "QtPump.h"
#include "TestSupport.h"
#include "core/ui/SingleApp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

struct Probe {
  int exitCode = -1;
  std::string out;
};

// Runs a second program with a guard of the name and waits for its end,
// keeping this process's event loop going so that the first guard can answer.
Probe RunProbe(const std::string& name, const std::string& action, const std::string& message = {}) {
  QProcess process;
  QStringList args{QString::fromStdString(name), QString::fromStdString(action)};
  if (!message.empty()) args << QString::fromStdString(message);
  process.start(QStringLiteral(QV_SINGLEAPP_PROBE), args);
  EXPECT_TRUE(process.waitForStarted(10000));
  process.closeWriteChannel();  // a first instance ends when its input does
  QElapsedTimer clock;
  clock.start();
  while (process.state() != QProcess::NotRunning && clock.elapsed() < 20000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    process.waitForFinished(20);
  }
  if (process.state() != QProcess::NotRunning) {
    process.kill();
    process.waitForFinished();
    ADD_FAILURE() << "the probe did not end";
  }
  return {process.exitCode(), process.readAllStandardOutput().toStdString()};
}

TEST(SingleApp, ASecondProcessEndsAtOnceAndBringsTheFirstWindowForward) {
  QWidget form;
  form.showMinimized();
  qv::TSingleApp guard(&form);
  guard.SetUniqueName("QuorvelLaunchApp");
  guard.Loaded();
  ASSERT_TRUE(guard.IsFirstInstance());
  EXPECT_FALSE(guard.Terminated());
  ASSERT_TRUE(form.isMinimized());

  const Probe second = RunProbe("QuorvelLaunchApp", "activate");
  EXPECT_EQ(second.exitCode, 0);
  EXPECT_EQ(second.out, "duplicate\nterminated\n");
  qvtest::PumpUntil([&] { return !form.isMinimized(); });
  EXPECT_FALSE(form.isMinimized()) << "the first instance's window is restored";
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(guard.IsFirstInstance()) << "the first keeps running";

  EXPECT_EQ(RunProbe("VeoAppliOnlineSignupB2", "activate").out, "first\n") << "another name is another program";
}

TEST(SingleApp, TheOtherActionsTerminateOrThrowWithTheMessage) {
  QWidget form;
  qv::TSingleApp guard(&form);
  guard.SetUniqueName("QuorvelTwo");
  guard.Loaded();
  ASSERT_TRUE(guard.IsFirstInstance());
  struct Case {
    const char* action;
    const char* message;
    int exitCode;
    std::string out;
  } cases[] = {
      {"terminate", "", 0, "duplicate\nterminated\n"},
      {"exception", "", 3, "duplicate\nexception:" + qvtest::Sjis("すでに起動されています") + "\n"},
      {"exception", "already running", 3, "duplicate\nexception:already running\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    const Probe p = RunProbe("QuorvelTwo", c.action, c.message);
    EXPECT_EQ(p.exitCode, c.exitCode);
    EXPECT_EQ(p.out, c.out);
  }
}

TEST(SingleApp, OneGuardPerProcessAndTheNameIsFreeAgainWhenItEnds) {
  {
    QWidget form;
    auto guard = std::make_unique<qv::TSingleApp>(&form);
    guard->SetUniqueName("QuorvelThree");
    guard->Loaded();
    ASSERT_TRUE(guard->IsFirstInstance());
    try {
      qv::TSingleApp second(&form);
      ADD_FAILURE() << "a second guard was made";
    } catch (const qv::EMultiSingleInstance& e) {
      EXPECT_STREQ(e.what(), "Only single component allowed");
    }
    EXPECT_EQ(RunProbe("QuorvelThree", "terminate").out, "duplicate\nterminated\n");
  }
  // Guard and form are gone: the name is free, also for a new guard here.
  EXPECT_EQ(RunProbe("QuorvelThree", "terminate").out, "first\n");
  QWidget form;
  qv::TSingleApp again(&form);
  again.SetUniqueName("QuorvelThree");
  again.Loaded();
  EXPECT_TRUE(again.IsFirstInstance());
}

TEST(SingleApp, AKilledFirstInstanceLeavesNoLockBehind) {
  QProcess first;
  first.start(QStringLiteral(QV_SINGLEAPP_PROBE), {QStringLiteral("QuorvelFour"), QStringLiteral("activate")});
  ASSERT_TRUE(first.waitForStarted(10000));
  ASSERT_TRUE(first.waitForReadyRead(10000));
  ASSERT_EQ(first.readAllStandardOutput().toStdString(), "first\n");
  EXPECT_EQ(RunProbe("QuorvelFour", "terminate").out, "duplicate\nterminated\n");
  first.kill();
  ASSERT_TRUE(first.waitForFinished(10000));
  // Its lock went with it; its socket file is left and is taken over.
  EXPECT_EQ(RunProbe("QuorvelFour", "activate").out, "first\n");
  QWidget form;
  qv::TSingleApp guard(&form);
  guard.SetUniqueName("QuorvelFour");
  guard.Loaded();
  EXPECT_TRUE(guard.IsFirstInstance());
  const Probe second = RunProbe("QuorvelFour", "activate");
  EXPECT_EQ(second.out, "duplicate\nterminated\n") << "the new first instance answers on the taken-over socket";
}

}  // namespace

TEST(SingleApp, TheLockLivesInAFolderOfTheUsersOwnOrThereIsNoGuard) {
  qvtest::TempDir dir;
  ::unsetenv("XDG_RUNTIME_DIR");
  ::setenv("TMPDIR", dir.path().c_str(), 1);
  const auto own = dir / ("quorvel-" + std::to_string(::geteuid()));
  EXPECT_EQ(qv::TSingleApp::LockPath("QuorvelFour"), (own / "QuorvelFour.lock").string());
  EXPECT_EQ(std::filesystem::status(own).permissions(), std::filesystem::perms::owner_all);
  // Another user got there first with a folder anyone may write in: no lock
  // of theirs can hold the program off, and it runs unguarded.
  std::filesystem::remove_all(own);
  std::filesystem::create_directory(own);
  std::filesystem::permissions(own, std::filesystem::perms::all);
  EXPECT_EQ(qv::TSingleApp::LockPath("QuorvelFour"), "");
  QWidget form;
  qv::TSingleApp guard(&form);
  guard.SetUniqueName("QuorvelFour");
  guard.Loaded();
  EXPECT_FALSE(guard.Terminated());
  EXPECT_TRUE(std::filesystem::is_empty(own)) << "nothing of the guard goes into that folder";
}
