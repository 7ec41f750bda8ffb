// The tray component: its ids, what it asks of the notification area, its
// errors, the clicks it passes on, and the launcher's icon with and without
// a notification area.
#include "LauncherFixture.h"
#include "core/ui/FormPosition.h"
#include "launcher/TaskTray.h"

#include <QApplication>
#include <QMenu>
#include <QTest>

using namespace qvtest;
using qv::TTaskTray;

namespace {

// A notification area that records what it is asked and can refuse.
class RecordingShell : public qv::TrayShell {
 public:
  RecordingShell() { qv::SetTrayShell(this); }
  ~RecordingShell() override { qv::SetTrayShell(nullptr); }
  bool Add(int id, const QIcon& icon, const QString& tip) override {
    calls.push_back("add " + std::to_string(id) + " " + tip.toStdString() + (icon.isNull() ? " no-icon" : ""));
    return acceptAdd;
  }
  bool Modify(int id, const QIcon&, const QString& tip) override {
    calls.push_back("modify " + std::to_string(id) + " " + tip.toStdString());
    return acceptModify;
  }
  bool Delete(int id) override {
    calls.push_back("delete " + std::to_string(id));
    return true;
  }
  std::vector<std::string> Take() { return std::exchange(calls, {}); }
  std::vector<std::string> calls;
  bool acceptAdd = true;
  bool acceptModify = true;
};

QIcon Picture() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::red);
  return QIcon(pixmap);
}

template <typename Error>
std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.what();
  }
  return "nothing raised";
}

}  // namespace

TEST(TaskTray, ComponentsTakeTheNextIdAndRefuseZeroAndIdsInUse) {
  TTaskTray a, b;
  EXPECT_EQ(a.GetIconID(), 1);
  EXPECT_EQ(b.GetIconID(), 2);
  EXPECT_EQ(TTaskTray::Find(2), &b);
  EXPECT_FALSE(a.GetRegistered()) << "starts unregistered";
  for (int bad : {0, -3})
    EXPECT_EQ(ErrorOf<qv::EInvalidOperation>([&] { a.SetIconID(bad); }), J("0以下は指定できません")) << bad;
  EXPECT_EQ(ErrorOf<qv::EInvalidOperation>([&] { a.SetIconID(2); }), J("同じアイコン識別子が有ります"));
  EXPECT_EQ(a.GetIconID(), 1) << "kept after a refusal";
  a.SetIconID(1);  // its own id again
  a.SetIconID(7);
  EXPECT_EQ(TTaskTray::Find(1), nullptr);
  EXPECT_EQ(TTaskTray::Find(7), &a);
  {
    TTaskTray c;
    EXPECT_EQ(c.GetIconID(), 8) << "one above the last id in use";
  }
  EXPECT_EQ(TTaskTray::Find(8), nullptr) << "a destroyed component gives its id back";
  TTaskTray d;
  EXPECT_EQ(d.GetIconID(), 8);
}

TEST(TaskTray, TheIconGoesInChangesAndLeavesThroughTheNotificationArea) {
  RecordingShell shell;
  {
    TTaskTray tray;
    const int id = tray.GetIconID();
    const std::string n = std::to_string(id);
    tray.SetIcon(Picture());
    tray.SetTipString("tip");
    EXPECT_TRUE(shell.Take().empty()) << "nothing while unregistered";
    tray.SetRegistered(true);
    EXPECT_TRUE(tray.Shown());
    EXPECT_EQ(shell.Take(), std::vector<std::string>{"add " + n + " tip"});
    tray.SetTipString("new tip");
    EXPECT_EQ(shell.Take(), std::vector<std::string>{"modify " + n + " new tip"});
    shell.acceptModify = false;
    tray.SetTipString("again");
    EXPECT_EQ(shell.Take(), (std::vector<std::string>{"modify " + n + " again", "delete " + n, "add " + n + " again"}))
        << "a refused change is a delete and an add";
    tray.SetIconID(id + 10);
    EXPECT_EQ(shell.Take(), (std::vector<std::string>{"delete " + n, "add " + std::to_string(id + 10) + " again"}));
    tray.SetIcon(QIcon());
    EXPECT_EQ(shell.Take(), std::vector<std::string>{"delete " + std::to_string(id + 10)});
    EXPECT_FALSE(tray.GetRegistered()) << "clearing the icon takes it off";
    EXPECT_FALSE(tray.Shown());
    tray.SetIcon(Picture());
    tray.SetRegistered(true);
    shell.Take();
  }
  EXPECT_EQ(shell.Take().size(), 1u) << "destroying deletes the icon";

  // The notification area refuses: the caller is told.
  shell.acceptAdd = false;
  TTaskTray refused;
  refused.SetIcon(Picture());
  EXPECT_EQ(ErrorOf<qv::ETaskTrayError>([&] { refused.SetRegistered(true); }), J("タスクトレイに登録できません"));
  EXPECT_FALSE(refused.Shown());
}

TEST(TaskTray, WhileLoadingChangesWaitAndLoadedHidesTheMainWindowWhenAsked) {
  RecordingShell shell;
  QWidget main;
  main.show();
  qv::SetMainForm(&main);
  TTaskTray tray(nullptr, true);
  tray.SetIcon(Picture());
  tray.SetTipString("loading");
  tray.SetRegistered(true);
  tray.SetHideMainForm(true);
  EXPECT_TRUE(shell.Take().empty());
  tray.Loaded();
  EXPECT_EQ(shell.Take(), std::vector<std::string>{"add " + std::to_string(tray.GetIconID()) + " loading"});
  EXPECT_FALSE(main.isVisible());
  qv::SetMainForm(nullptr);
}

TEST(TaskTray, ClicksBecomeAPressAndAReleaseOfTheirButton) {
  QWidget owner;
  TTaskTray tray(&owner);
  QMenu left, right;
  tray.PopupMenuL = &left;
  tray.PopupMenuR = &right;
  std::vector<std::string> events;
  auto name = [](Qt::MouseButton b) {
    return b == Qt::LeftButton ? "left" : b == Qt::RightButton ? "right" : b == Qt::MiddleButton ? "middle" : "?";
  };
  tray.OnMouseDown = [&](TTaskTray* sender, Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
    EXPECT_EQ(sender, &tray);
    EXPECT_EQ(QPoint(x, y), QCursor::pos());
    events.push_back(std::string("down ") + name(b));
    // A report that comes while one is handled is dropped.
    TTaskTray::Notify(tray.GetIconID(), QSystemTrayIcon::DoubleClick);
  };
  tray.OnMouseUp = [&](TTaskTray*, Qt::MouseButton b, Qt::KeyboardModifiers, int, int) {
    events.push_back(std::string("up ") + name(b));
  };
  tray.OnDblClick = [&](TTaskTray*, Qt::MouseButton b) { events.push_back(std::string("double ") + name(b)); };
  const int id = tray.GetIconID();
  TTaskTray::Notify(id, QSystemTrayIcon::Trigger);
  EXPECT_TRUE(left.isVisible());
  EXPECT_FALSE(right.isVisible());
  left.hide();
  TTaskTray::Notify(id, QSystemTrayIcon::Context);
  EXPECT_TRUE(right.isVisible());
  right.hide();
  TTaskTray::Notify(id, QSystemTrayIcon::MiddleClick);
  TTaskTray::Notify(id, QSystemTrayIcon::DoubleClick);
  TTaskTray::Notify(id + 100, QSystemTrayIcon::Trigger);  // nobody's id
  EXPECT_EQ(events, (std::vector<std::string>{"down left", "up left", "down right", "up right", "down middle",
                                              "up middle", "double left"}));
  EXPECT_FALSE(left.isVisible() || right.isVisible()) << "no menu for the middle button";
}

TEST_F(LauncherTest, TheLauncherRegistersItsIconAsId1) {
  RecordingShell shell;
  Start();
  ASSERT_FALSE(launch_->Terminated());
  EXPECT_EQ(launch_->TaskTray1->GetIconID(), 1);
  EXPECT_TRUE(launch_->TaskTray1->Shown());
  EXPECT_EQ(shell.Take(), std::vector<std::string>{"add 1 VeoQuorvel"}) << "with our tray picture";
  Stop();
  EXPECT_EQ(shell.Take(), std::vector<std::string>{"delete 1"});
}

TEST_F(LauncherTest, WithoutANotificationAreaTheLauncherStartsWithoutItsIcon) {
  {
    RecordingShell shell;
    shell.acceptAdd = false;
    Start();
    EXPECT_FALSE(launch_->Terminated());
    EXPECT_FALSE(launch_->TaskTray1->Shown());
    EXPECT_FALSE(launch_->TaskTray1->GetRegistered());
    EXPECT_EQ(shell.Take(), std::vector<std::string>{"add 1 VeoQuorvel"});
    launch_->TaskTray1->SetTipString("x");
    EXPECT_TRUE(shell.Take().empty()) << "nothing more is asked of it";
    EXPECT_TRUE(boxes_.empty());
    Stop();
  }
  // The desktop of the tests has none either.
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
  Start();
  EXPECT_FALSE(launch_->Terminated());
  EXPECT_FALSE(launch_->TaskTray1->Shown());
}
