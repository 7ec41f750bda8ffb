// The mail plug-in inside the real launcher: a session asked for from the
// list window runs in the launcher's session dialog, and the folders the
// launcher reports afterwards are reloaded.
#include "MailListFixture.h"
#include "MessageBoxWatch.h"

#include "core/ui/MessageBox.h"
#include "launcher/LauncherWindows.h"
#include "platform/IniFile.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTreeView>

using namespace mailtest;

namespace {
std::string Text20() { return std::string(18, 'x') + "\r\n"; }

// The launcher's folder with the scripted serial module, the mail plug-in and
// one message (UTF-8 "id=text").
void LauncherFolder(const std::filesystem::path& dir, const char* message) {
  std::filesystem::copy_file(QV_TEST_SERIAL_MODULE, dir / "TestSerial.so");
  qvtest::WriteFile(dir / "Message.txt", J(std::string(message) + "\r\n"));
  qv::IniFile ini(dir / "Quorvel.ini");
  ini.WriteString("File", "DllFile", "TestSerial.so");
  ini.WriteString("File", "MessageFile", "Message.txt");
  ini.WriteString("Plugins", "1", "QvMail.qpl");
  ini.WriteString("Port", "SerialPort", "COM1");
}
}  // namespace

TEST_F(MailListTest, SendAndReceiveRunsTheLaunchersSessionAndReloadsTheInbox) {
  AddMail("受信簿", Text20(), {.subject = "old"});
  LauncherFolder(dir_, "I00031=接続しています");
  std::vector<std::string> boxes;
  qv::SetMessageBoxHandler([&](qv::BoxKind, const std::string& text) { boxes.push_back(text); });
  std::vector<qv::SessionMode> modes;
  qv::TfrmConnecting::SetSessionRunner([&](qv::TfrmConnecting&, qv::SessionMode mode) {
    modes.push_back(mode);
    // What a receive stores in the inbox.
    AddMail("受信簿", Text20(), {.unread = true, .subject = "new"});
    return qv::SessionResult::Done;
  });
  {
    std::unique_ptr<qv::TfrmLaunch> launch;
    std::unique_ptr<qv::TfrmConnecting> connecting;
    std::unique_ptr<qv::TfrmReceiveMsg> notice;
    qv::MakeLauncherWindows(launch, connecting, notice);
    ASSERT_FALSE(launch->Terminated());
    const auto entries = launch->Entries();
    ASSERT_GE(entries.size(), 2u);
    ASSERT_EQ(entries[0].caption, J("メール"));
    ASSERT_TRUE(entries[0].plugin->ShowPluginForm());
    QWidget* window = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == "frmMailList") window = w;
    ASSERT_NE(window, nullptr);
    auto* list = window->findChild<QTreeView*>("lsvMail");
    ASSERT_EQ(list->model()->rowCount(), 1);
    window->findChild<QAction*>("actSendRcv")->trigger();
    EXPECT_EQ(modes, std::vector<qv::SessionMode>{qv::SessionMode::SendAndReceive});
    ASSERT_EQ(list->model()->rowCount(), 2);
    EXPECT_EQ(list->model()->index(1, 6).data().toString().toStdString(), "new");
    EXPECT_EQ(list->model()->index(1, 1).data().toString().toStdString(), "未読");
    // The launcher asks every plug-in before it ends.
    EXPECT_TRUE(entries[0].plugin->CloseForm());
    EXPECT_FALSE(window->isVisible());
  }
  qv::TfrmConnecting::SetSessionRunner({});
  qv::SetMessageBoxHandler({});
  EXPECT_TRUE(boxes.empty());
}

// A warning the compose window asks the launcher for shows over the compose
// window, where the user is, not over the launcher behind it.
TEST_F(MailListTest, AComposeWindowsWarningShowsOverThatWindow) {
  LauncherFolder(dir_, "W02002=宛先を入力してください。");
  auto launch = std::make_unique<qv::TfrmLaunch>();
  auto notice = std::make_unique<qv::TfrmReceiveMsg>();
  launch->SetNoticeWindow(notice.get());
  launch->show();
  const auto entries = launch->Entries();
  ASSERT_FALSE(entries.empty());
  ASSERT_TRUE(entries[0].plugin->ShowPluginForm());
  QWidget* list = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "frmMailList") list = w;
  ASSERT_NE(list, nullptr);
  list->findChild<QAction*>("actDMail")->trigger();
  QWidget* compose = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "frmMailSend" && w->isVisible()) compose = w;
  ASSERT_NE(compose, nullptr);
  compose->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(compose));

  QString text;
  QWidget* over = nullptr;
  const auto watch = qvtest::WatchNextMessageBox([&](QMessageBox& box) {
    text = box.text();
    over = box.parentWidget() ? box.parentWidget()->window() : nullptr;
    box.close();
  });
  compose->findChild<QAction*>("actSend")->trigger();  // no recipient
  EXPECT_EQ(text.toStdString(), "宛先を入力してください。");
  EXPECT_EQ(over, compose);
  EXPECT_TRUE(compose->isVisible()) << "the mail stays open to be finished";
  compose->close();
  EXPECT_TRUE(entries[0].plugin->CloseForm());
}
