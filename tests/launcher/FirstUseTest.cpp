// The app folder as the run command sets it up, used as a first-time user
// uses it.
#include "AppFolderFixture.h"

#include "core/FormPosition.h"
#include "platform/Registry.h"

#include <QAction>
#include <algorithm>

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
