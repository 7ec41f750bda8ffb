// The app folder as the run command sets it up, used as a first-time user
// uses it.
#include "AppFolderFixture.h"

#include "controls/MultiButton.h"
#include "core/ui/FormPosition.h"
#include "platform/CommPort.h"
#include "platform/IniFile.h"
#include "platform/Registry.h"

#include <QAction>
#include <QListWidget>
#include <QTest>
#include <algorithm>
#include <functional>

using namespace qvtest;

// A fresh app folder deletes received mail at the centre, as the settings
// dialog's default says: receiving everything in two runs of the program
// brings each mail in once.
TEST_F(AppFolderTest, ReceivingAllInTwoRunsOfTheProgramBringsEachCentreMailInOnce) {
  const std::string inbox = Sjis("受信簿");
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    StartHandset();
    StartLauncher();
    QWidget* list = OpenMailList();
    ASSERT_NE(list, nullptr);
    // 一括受信 returns when the session is over.
    list->findChild<QAction*>("actRcvAll")->trigger();
    EXPECT_EQ(Mails(inbox).size(), 3u);
    QuitLauncher();
    StopHandset();
  }
  std::vector<std::string> subjects;
  for (const auto& mail : Mails(inbox)) subjects.push_back(qv::cp932::ToUtf8(mail.row[qv::kColSubject]));
  std::sort(subjects.begin(), subjects.end());
  EXPECT_EQ(subjects, (std::vector<std::string>{"Weekly news", "こんにちは", "週末の予定"}));
  EXPECT_TRUE(boxes_.empty());
}

// The program ends without the mail window having been opened: its stored
// place and columns stay as they were, and none is made up.
TEST_F(AppFolderTest, AMailWindowNeverOpenedKeepsItsStoredPlaceAndColumns) {
  StartHandset();
  StartLauncher();
  QuitLauncher();
  EXPECT_FALSE(qv::Registry().Read("FormPosition", "MailList"));
  EXPECT_FALSE(qv::Registry().Read("ListViewSize", "MailList"));
  EXPECT_TRUE(qv::Registry().Read("FormPosition", "Launch")) << "the launcher was shown";

  const std::string place = "00640050025801F4", columns = "00280028002800280064006400960040006E0101";
  ASSERT_TRUE(qv::Registry().WriteString("FormPosition", "MailList", place));
  ASSERT_TRUE(qv::Registry().WriteString("ListViewSize", "MailList", columns));
  StartLauncher();
  QuitLauncher();
  EXPECT_EQ(qv::Registry().ReadString("FormPosition", "MailList", ""), place);
  EXPECT_EQ(qv::Registry().ReadString("ListViewSize", "MailList", ""), columns);

  // Opened and closed, it keeps where it was put.
  StartLauncher();
  QWidget* list = OpenMailList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(qv::FormatFormPosition(list->geometry()), place);
  QuitLauncher();
  EXPECT_EQ(qv::Registry().ReadString("FormPosition", "MailList", ""), place);
}

// A port that cannot be used is told with its name and where it leads, and
// why: none set, nothing there, or another program has it. Each notice is
// saved as a picture.
TEST_F(AppFolderTest, PortProblemsAreToldWithThePortAndWhereItLeads) {
  StartHandset();
  qv::CommPort holder;  // another program on the handset's port
  struct Case {
    const char* what;
    std::string port;
    std::function<void()> before;
    const char* id;
    std::vector<std::string> says;  // UTF-8
  } cases[] = {
      {"none set", "", {}, "D01001", {"通信ポートが設定されていません", (dir_ / "Quorvel.ini").string()}},
      {"no such device", "COM200", {}, "D01002", {"COM200", "/dev/ttyS199"}},
      {"a port folder entry with nothing behind it", "COM8",
       [this] { std::filesystem::create_symlink(dir_ / "nothing", dir_ / "ports" / "COM8"); }, "D01003",
       {"COM8", (dir_ / "ports" / "COM8").string()}},
      {"in use", "COM9", [&holder] { ASSERT_TRUE(holder.Open("COM9")); }, "D01004",
       {"COM9", (dir_ / "ports" / "COM9").string(), "他のアプリケーション"}},
  };
  StartLauncher();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qv::IniFile(dir_ / "Quorvel.ini").WriteString("Port", "SerialPort", c.port);
    if (c.before) c.before();
    std::filesystem::remove(dir_ / "Error.log");
    const int calls = Handset().Record().connections;
    EXPECT_FALSE(launch_->RunMailSession(false, true, false, false, true));
    ASSERT_TRUE(notice_->isVisible());
    const std::string shown = notice_->MessageText().toStdString();
    for (const auto& part : c.says) EXPECT_NE(shown.find(part), std::string::npos) << part << " in " << shown;
    EXPECT_NE(ReadFile(dir_ / "Error.log").find(std::string("(") + c.id + ")"), std::string::npos);
    const std::string name = std::string("port-error-") + c.id + ".png";
    EXPECT_TRUE(notice_->grab().save(QString::fromStdString(ArtifactPath(name).string())));
    if (c.port.empty()) {
      EXPECT_EQ(Handset().Record().connections, calls) << "no session was tried";
    }
    launch_->CloseNotice();
  }
  // Ring-wait without a port says so too, and stays off.
  qv::IniFile(dir_ / "Quorvel.ini").WriteString("Port", "SerialPort", "");
  QTest::mouseClick(launch_->btnRing, Qt::LeftButton);
  EXPECT_EQ(launch_->RingWait(), qv::RingWaitState::Stopped);
  EXPECT_NE(notice_->MessageText().toStdString().find("通信ポートが設定されていません"), std::string::npos);
}

// Every entry of the launcher's list shows its icon at the list's 32 x 32,
// whatever size the plug-in gives (16 or 24 pixels, or 32).
TEST_F(AppFolderTest, TheLaunchersEntriesShowTheirIconsAtOneSize) {
  StartHandset();
  StartLauncher();
  QListWidget* list = launch_->lsvMainMenu;
  ASSERT_EQ(list->count(), 7) << "six plug-ins and the settings entry";
  const QSize cell = list->iconSize();
  EXPECT_EQ(cell, QSize(32, 32));
  for (int row = 0; row < list->count(); ++row) {
    QListWidgetItem* item = list->item(row);
    SCOPED_TRACE(item->text().toStdString());
    const QImage icon = item->icon().pixmap(cell).toImage();
    ASSERT_EQ(icon.size(), cell);
    // The picture fills the cell rather than a corner of it.
    QRect drawn;
    for (int y = 0; y < icon.height(); ++y)
      for (int x = 0; x < icon.width(); ++x)
        if (qAlpha(icon.pixel(x, y)) > 0) drawn |= QRect(x, y, 1, 1);
    EXPECT_GE(std::max(drawn.width(), drawn.height()), 28) << drawn.width() << "x" << drawn.height();
  }
  const QImage shot = launch_->grab().toImage();
  ASSERT_TRUE(shot.save(QString::fromStdString(ArtifactPath("launcher-entries.png").string())));
  QuitLauncher();
}
