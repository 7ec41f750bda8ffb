// The launcher's waits for the serial-link module on a real X server with
// openbox: while the module is still busy ending a session or ring-wait, the
// launcher answers the X server (a ping from a client of the test's own, as a
// window manager sends it), and what the user types meanwhile starts nothing
// until the wait is over. The scriptable test module stands in for the
// module, so that it stays busy until the test lets it go.
#include "AppFolderFixture.h"
#include "QtPump.h"
#include "XPing.h"

#include "core/data/MailStore.h"
#include "launcher/WindowService.h"
#include "platform/IniFile.h"

#include <QApplication>
#include <QListWidget>
#include <QPointer>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <dlfcn.h>
#include <thread>

using namespace qvtest;

namespace {

constexpr uint32_t kReturnKeysym = 0xff0d;  // XK_Return
constexpr auto kAnswerTime = std::chrono::seconds(3);

}  // namespace

class WaitsDesktopTest : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    std::filesystem::copy_file(std::filesystem::path(QV_LAUNCHER_TEST_MODULES) / "TestSerial.so", dir_ / "TestSerial.so");
    qv::IniFile(dir_ / "Quorvel.ini").WriteString("File", "DllFile", "TestSerial.so");
  }
  void* Symbol(const char* name) const {
    void* handle = dlopen((dir_ / "TestSerial.so").c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_LOCAL);
    if (!handle) return nullptr;
    void* symbol = dlsym(handle, name);
    dlclose(handle);
    return symbol;
  }
  // What kwxGetState answers: busy until the test says otherwise. Any thread.
  void SetBusy(bool busy) const {
    if (auto fn = reinterpret_cast<void (*)(const char*, int32_t)>(Symbol("TestSetResult"))) fn("kwxGetState", busy);
  }
  void QueueReply(const char* function, const std::vector<std::pair<int32_t, int32_t>>& events) const {
    using Fn = void (*)(const char*, const int32_t*, int32_t, const char* const*, const int32_t*, int32_t);
    auto fn = reinterpret_cast<Fn>(Symbol("TestQueueReply"));
    ASSERT_NE(fn, nullptr);
    std::vector<int32_t> pairs;
    for (const auto& [kind, code] : events) pairs.insert(pairs.end(), {kind, code});
    fn(function, pairs.data(), static_cast<int32_t>(events.size()), nullptr, nullptr, 0);
  }
  int32_t StateAsked() const {
    auto fn = reinterpret_cast<int32_t (*)()>(Symbol("TestStateAsked"));
    return fn ? fn() : -1;
  }
  // On a thread of its own, as the user at the X server: once the launcher
  // waits for the busy module (it has asked for its state), a ping answered,
  // then the typed key (when one is given), then the module lets go.
  struct User {
    std::atomic<bool> answered{false};
    std::atomic<bool> released{false};
    std::thread thread;
  };
  void ActWhileBusy(User& user, uint32_t window, uint32_t keysym) const {
    const int32_t before = StateAsked();
    user.thread = std::thread([this, &user, window, keysym, before] {
      for (int i = 0; i < 500 && StateAsked() == before; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      XPinger x;
      if (x.Connect(window)) {
        user.answered = x.Ping(kAnswerTime).has_value();
        // The next answer comes only once the launcher has read the key.
        if (keysym && x.SendKey(keysym)) x.Ping(kAnswerTime);
      }
      user.released = true;
      SetBusy(false);
    });
  }
};

// A send session with nothing queued ends at once; the module then takes its
// time to close the port, and the launcher waits for it with the session
// dialog up.
TEST_F(WaitsDesktopTest, TheLauncherAnswersWhileTheModuleIsClosingAfterASession) {
  StartLauncher();
  SetBusy(true);
  User user;
  ActWhileBusy(user, static_cast<uint32_t>(launch_->winId()), 0);
  const bool done = launch_->PluginParamCallback(1, 1);
  user.thread.join();
  EXPECT_TRUE(done);
  EXPECT_TRUE(user.answered) << "no answer to the X server while the module was closing";
  EXPECT_TRUE(boxes_.empty());
}

// Ring-wait stops with the launcher's own button: while the module ends it,
// the launcher answers, and Enter typed on its list ("設定" selected) opens
// the settings only once the module is idle, not in the middle of the stop.
TEST_F(WaitsDesktopTest, WhileRingWaitStopsTheLauncherAnswersAndTypedKeysWait) {
  StartLauncher();
  QueueReply("kwxWaitForRing", {{1, 9}});
  launch_->StartRingWait();
  PumpUntil([this] { return launch_->RingWait() == qv::RingWaitState::Waiting; }, 5000);
  ASSERT_EQ(launch_->RingWait(), qv::RingWaitState::Waiting);
  launch_->lsvMainMenu->setCurrentRow(launch_->lsvMainMenu->count() - 1);
  launch_->lsvMainMenu->setFocus();
  launch_->activateWindow();
  PumpUntil([this] { return QApplication::activeWindow() == launch_.get(); }, 5000);
  ASSERT_EQ(QApplication::activeWindow(), launch_.get());

  User user;
  bool openedWhileBusy = false, opened = false;
  // The settings dialog, whenever it shows, is noted and closed.
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (QWidget* dialog = Shown("frmOption")) {
      opened = true;
      openedWhileBusy |= !user.released;
      QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
    }
  });
  watch.start(5);
  SetBusy(true);
  ActWhileBusy(user, static_cast<uint32_t>(launch_->winId()), kReturnKeysym);
  launch_->StopRingWait(false);
  user.thread.join();
  EXPECT_EQ(launch_->RingWait(), qv::RingWaitState::Stopped);
  EXPECT_TRUE(user.answered) << "no answer to the X server while ring-wait stopped";
  // The key was kept, not lost: it opens the settings after the stop.
  PumpUntil([&] { return opened; }, 5000);
  EXPECT_TRUE(opened);
  EXPECT_FALSE(openedWhileBusy);
}

// What the module posts while such a wait runs reaches the launcher's
// handler after it, in the order posted, and nothing of it is lost.
TEST_F(WaitsDesktopTest, TheModulesEventsDuringAQuietWaitAreHandledAfterItInOrder) {
  StartLauncher();
  connecting_->ClearEvents();
  std::atomic<bool> posted{false};
  std::thread module([&] {
    for (int code : {77, 78, 79}) qv::PostMessage(launch_->Handle(), kwx::WM_KWX_NOTIFY, kwx::KWX_EV_READY, code);
    posted = true;
  });
  // Long enough for the posts to arrive within it.
  qv::ServeWindows(std::chrono::milliseconds(200), qv::Serving::NothingNew);
  module.join();
  ASSERT_TRUE(posted);
  EXPECT_TRUE(connecting_->Events().empty());
  PumpUntil([this] { return connecting_->Events().size() == 3; }, 5000);
  ASSERT_EQ(connecting_->Events().size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(connecting_->Events()[static_cast<size_t>(i)].code, 77 + i);
}
