// The program on a real X server, with the openbox window manager (and the
// tests named in the build also without one): the launcher, its mail window
// and the simulated handset as the run command sets them up, used with the
// mouse as a user does.
#include "AppFolderFixture.h"
#include "QtPump.h"

#include "controls/MultiButton.h"
#include "core/ui/FormPosition.h"
#include "platform/Registry.h"

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QWindow>

using namespace qvtest;

namespace {

int Rounds(int normal) {
  const int asked = qEnvironmentVariableIntValue("QV_STRESS_ROUNDS");
  return asked > 0 ? asked : normal;
}

bool Exposed(QWidget* w) { return w && w->windowHandle() && w->windowHandle()->isExposed(); }

// The button of a window's tool bar that triggers the action of that name.
QToolButton* ToolButtonOf(QWidget* window, const char* action) {
  for (QToolButton* b : window->findChildren<QToolButton*>())
    if (b->defaultAction() && b->defaultAction()->objectName() == action && b->isVisible()) return b;
  return nullptr;
}

// The actions the window manager offers for a window (_NET_WM_ALLOWED_ACTIONS).
std::string AllowedActions(QWidget* window) {
  QProcess xprop;
  xprop.start("xprop", {"-id", QString::number(window->winId()), "_NET_WM_ALLOWED_ACTIONS"});
  xprop.waitForFinished(5000);
  return xprop.readAllStandardOutput().toStdString();
}

}  // namespace

class DesktopTest : public AppFolderTest {
 protected:
  void ClickRow(QTreeView* list, int row) {
    const QRect rect = list->visualRect(list->model()->index(row, 6));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  }
  void AddInboxMail(const std::string& subject, const std::string& body) {
    std::filesystem::create_directories(dir_ / "MailLog");
    qv::MailIndexRow row;
    qv::BuildIndexRow(row, 3, 0, 1, 0, 0, 0, 0, "taro@example.jp", "", subject, "2024/04/01 09:30:00", "");
    ASSERT_FALSE(AppendMail(Sjis("受信簿"), "From: taro@example.jp\r\nSubject: " + subject + "\r\n\r\n" + body, row).empty());
  }
};

// Viewers opened from the list and closed with their own 閉じる, a row of the
// list (or the launcher's ring-wait button) clicked right after, fifty times.
TEST_F(DesktopTest, MailViewersOpenAndCloseWhileTheFocusMoves) {
  AddInboxMail("one", "first\r\n");
  AddInboxMail("two", "second\r\n");
  StartHandset();
  StartLauncher();
  QWidget* window = OpenMailList();
  ASSERT_NE(window, nullptr);
  auto* list = window->findChild<QTreeView*>("lsvMail");
  ASSERT_EQ(list->model()->rowCount(), 2);
  const int rounds = Rounds(50);
  for (int i = 0; i < rounds; ++i) {
    SCOPED_TRACE(i);
    ClickRow(list, i % 2);
    window->findChild<QAction*>("actMailOpen")->trigger();
    QPointer<QWidget> viewer = Shown("frmMailReceive");
    ASSERT_NE(viewer, nullptr);
    // Without a window manager nothing gives a new window the focus: the
    // user's click into it does.
    PumpUntil([&] { return Exposed(viewer); }, 5000);
    ASSERT_TRUE(Exposed(viewer));
    viewer->activateWindow();
    PumpUntil([&] { return QApplication::activeWindow() == viewer; }, 5000);
    ASSERT_EQ(QApplication::activeWindow(), viewer);
    QToolButton* close = ToolButtonOf(viewer, "actClose");
    ASSERT_NE(close, nullptr);
    QTest::mouseClick(close, Qt::LeftButton);
    if (i == rounds / 2) {
      // The launcher's ring-wait button instead of a row, there and back.
      QTest::mouseClick(launch_->btnRing, Qt::LeftButton);
      PumpUntil([this] { return launch_->RingWait() == qv::RingWaitState::Waiting; }, 20000);
      ASSERT_EQ(launch_->RingWait(), qv::RingWaitState::Waiting);
      QTest::mouseClick(launch_->btnRing, Qt::LeftButton);
      ASSERT_EQ(launch_->RingWait(), qv::RingWaitState::Stopped);
    } else {
      ClickRow(list, (i + 1) % 2);
    }
    PumpUntil([&] { return viewer.isNull(); }, 5000);
    ASSERT_TRUE(viewer.isNull());
  }
  EXPECT_TRUE(boxes_.empty());
}

// The launcher and the mail window put somewhere by the user come back there
// at each of five starts, to the pixel.
TEST_F(DesktopTest, RestartsKeepTheLauncherAndTheMailWindowWhereTheyWere) {
  StartHandset();
  StartLauncher();
  QWidget* window = OpenMailList();
  ASSERT_NE(window, nullptr);
  const QRect launchPlace(900, 250, 240, 450), mailPlace(150, 120, 640, 420);
  launch_->setGeometry(launchPlace);
  window->setGeometry(mailPlace);
  PumpUntil([&] { return launch_->geometry() == launchPlace && window->geometry() == mailPlace; }, 5000);
  QuitLauncher();
  const std::string launchValue = qv::Registry().ReadString("FormPosition", "Launch", "");
  const std::string mailValue = qv::Registry().ReadString("FormPosition", "MailList", "");
  EXPECT_EQ(launchValue, qv::FormatFormPosition(launchPlace));
  EXPECT_EQ(mailValue, qv::FormatFormPosition(mailPlace));
  for (int start = 1; start <= 5; ++start) {
    SCOPED_TRACE(start);
    StartLauncher();
    window = OpenMailList();
    ASSERT_NE(window, nullptr);
    PumpUntil([&] { return launch_->geometry() == launchPlace && window->geometry() == mailPlace; }, 5000);
    EXPECT_EQ(launch_->geometry(), launchPlace);
    EXPECT_EQ(window->geometry(), mailPlace);
    QuitLauncher();
    EXPECT_EQ(qv::Registry().ReadString("FormPosition", "Launch", ""), launchValue);
    EXPECT_EQ(qv::Registry().ReadString("FormPosition", "MailList", ""), mailValue);
  }
}

// A call that rings in while ring-wait prepares the handset: ring-wait waits
// all the same, and the next call comes in.
TEST_F(DesktopTest, ACallWhileRingWaitStartsLeavesItWaiting) {
  handsetsim::SimConfig config;
  handsetsim::IncomingCall early;
  early.callerId = "09011112222";
  config.commandRings.push_back({"E0", early});
  StartHandset(config);
  StartLauncher();
  QTest::mouseClick(launch_->btnRing, Qt::LeftButton);
  PumpUntil([this] { return launch_->RingWait() == qv::RingWaitState::Waiting; }, 30000);
  ASSERT_EQ(launch_->RingWait(), qv::RingWaitState::Waiting);
  EXPECT_EQ(Handset().Record().rings, 1);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "Error.log")) << ReadFile(dir_ / "Error.log");

  handsetsim::IncomingCall direct;
  direct.callerId = "09012345678";
  direct.body = Sjis("七時に駅で\r\n");
  Handset().Ring(direct);
  PumpUntil([this] { return Mails(Sjis("受信簿")).size() == 1; }, 20000);
  ASSERT_EQ(Mails(Sjis("受信簿")).size(), 1u);
  EXPECT_EQ(Mails(Sjis("受信簿"))[0].text, "From: 09012345678\r\n\r\n" + direct.body);
  EXPECT_EQ(launch_->RingWait(), qv::RingWaitState::Waiting);
}

// The notice window and the session dialog cannot be maximised.
TEST_F(DesktopTest, TheNoticeAndTheSessionDialogOfferNoMaximise) {
  StartHandset();
  StartLauncher();
  launch_->ShowNotice(Sjis("お知らせ"), true);
  PumpUntil([this] { return Exposed(notice_.get()) && AllowedActions(notice_.get()).find("CLOSE") != std::string::npos; });
  const std::string notice = AllowedActions(notice_.get());
  EXPECT_NE(notice.find("_NET_WM_ACTION_CLOSE"), std::string::npos) << notice;
  EXPECT_EQ(notice.find("MAXIMIZE"), std::string::npos) << notice;

  std::string dialog;
  qv::TfrmConnecting::SetSessionRunner([&](qv::TfrmConnecting& d, qv::SessionMode) {
    PumpUntil([&] { return Exposed(&d) && AllowedActions(&d).find("CLOSE") != std::string::npos; });
    dialog = AllowedActions(&d);
    return qv::SessionResult::Done;
  });
  launch_->RunMailSession(false, true, false, false, true);
  qv::TfrmConnecting::SetSessionRunner({});
  EXPECT_NE(dialog.find("_NET_WM_ACTION_CLOSE"), std::string::npos) << dialog;
  EXPECT_EQ(dialog.find("MAXIMIZE"), std::string::npos) << dialog;
}
