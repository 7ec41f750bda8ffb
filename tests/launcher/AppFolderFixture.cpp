#include "AppFolderFixture.h"

#include "QtPump.h"
#include "MailFolders.h"
#include "core/ui/QvWait30FRM.h"
#include "launcher/RingWait.h"
#include "platform/Cp932.h"
#include "platform/IniFile.h"

#include <QApplication>
#include <QTimer>
#include <QWindow>
#include <dlfcn.h>

namespace qvtest {
namespace {

const bool kFolders = [] {
  ::setenv("QV_APP_DIR", QV_DEFAULT_APP_DIR, 0);
  ::setenv("QV_SOURCE_DIR", QV_DEFAULT_SOURCE_DIR, 0);
  ::setenv("QV_ARTIFACT_DIR", QV_DEFAULT_ARTIFACT_DIR, 0);
  return true;
}();

// What the run command leaves in the app folder besides the built files.
bool MadeByRuns(const std::filesystem::path& name) {
  for (const char* made : {"ports", "MailLog", "Theme", "Error.log", "Quorvel.ini"})
    if (name == made) return true;
  return false;
}

}  // namespace

void AppFolderTest::SetUp() {
  dir_ = tmp_.path() / "app";
  purged_ = tmp_.path() / "centre-purged.txt";
  launcherDir_ = std::make_unique<ScopedLauncherDir>(dir_);
  for (const auto& entry : std::filesystem::directory_iterator(AppDir()))
    if (!MadeByRuns(entry.path().filename()))
      std::filesystem::create_symlink(entry.path(), dir_ / entry.path().filename());
  std::filesystem::copy_file(AppDir() / "Quorvel.ini", dir_ / "Quorvel.ini");
  // What the run command sets.
  qv::IniFile ini(dir_ / "Quorvel.ini");
  ini.WriteString("Port", "SerialPort", "COM9");
  ::unsetenv("QUORVEL_PORTS");
  std::filesystem::create_directories(dir_ / "ports");
  qv::SetMessageBoxHandler([this](qv::BoxKind kind, const std::string& text) { boxes_.emplace_back(kind, text); });
  // The pauses that only pace what the user sees pass quickly.
  qv::SetPauseRate(50);
  qv::TfrmWait30::SetTickInterval(5);
}

void AppFolderTest::TearDown() {
  QuitLauncher();
  StopHandset();
  qv::SetMessageBoxHandler({});
  qv::SetPauseRate(1);
  qv::TfrmWait30::SetTickInterval(1000);
  launcherDir_.reset();
}

void AppFolderTest::StartHandset(handsetsim::SimConfig config) {
  std::string error;
  const auto mailbox = std::filesystem::path(std::getenv("QV_SOURCE_DIR")) / "tools" / "handset-sim" / "run-mailbox.txt";
  ASSERT_TRUE(handsetsim::LoadScript(mailbox, config, &error)) << error;
  config.purgedFile = purged_.string();
  sim_ = std::make_unique<handsetsim::Simulator>(std::move(config));
  ASSERT_TRUE(sim_->Start(dir_ / "ports" / "COM9", &error)) << error;
}

void AppFolderTest::StopHandset() {
  if (sim_) sim_->Stop();
  sim_.reset();
}

void AppFolderTest::StartLauncher() {
  qv::MakeLauncherWindows(launch_, connecting_, notice_);
  ASSERT_FALSE(launch_->Terminated());
  notice_->tmrWait->setInterval(5);
  // The module's deadlines run faster.
  if (void* handle = dlopen((dir_ / "Portvine.so").c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_LOCAL)) {
    if (auto rate = reinterpret_cast<void (*)(int32_t)>(dlsym(handle, "PortvineTestSetClockRate"))) rate(20);
    dlclose(handle);
  }
  launch_->show();
  launch_->raise();
  launch_->activateWindow();
  PumpUntil([this] { return launch_->windowHandle() && launch_->windowHandle()->isExposed(); }, 5000);
}

void AppFolderTest::QuitLauncher() {
  if (!launch_) return;
  // Closing the window ends the program's event loop, as in the program;
  // when a plug-in vetoes the close the loop ends anyway.
  QTimer::singleShot(0, launch_.get(), [this] { launch_->close(); });
  QTimer vetoed;
  vetoed.setSingleShot(true);
  QObject::connect(&vetoed, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  vetoed.start(5000);
  QCoreApplication::exec();
  qv::EndLauncherWindows(launch_, connecting_, notice_);
}

QWidget* AppFolderTest::OpenMailList() {
  launch_->OpenItem(Sjis("メール"));
  QWidget* list = Shown("frmMailList");
  if (list) PumpUntil([list] { return list->windowHandle() && list->windowHandle()->isExposed(); }, 5000);
  return list;
}

QWidget* AppFolderTest::Shown(const char* objectName) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == objectName && w->isVisible()) return w;
  return nullptr;
}

std::vector<LiveMail> AppFolderTest::Mails(const std::string& folder) const { return ReadLiveMails(folder); }

std::filesystem::path AppFolderTest::Registry() const {
  return std::filesystem::path(std::getenv("XDG_CONFIG_HOME")) / "Marlinex" / "Quorvel.reg";
}

}  // namespace qvtest
