// The app folder as the run command sets it up, used as a first-time user
// does: receiving everything at the centre twice, in two runs of the program,
// brings each mail into the inbox once, since a fresh app folder deletes
// received mail at the centre as the settings dialog's default says.
#include "AppFolderFixture.h"

#include <QAction>
#include <algorithm>

using namespace qvtest;

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
