// A mail folder that cannot take mail, used through the real windows as a
// user would: told at start and at each action that writes, with the path
// and the cause; a read-only folder still lists its mails; no receive starts
// a call that could delete mail at the centre. The windows where it shows are
// saved as pictures.
#include "AppFolderFixture.h"

#include "FileSizeLimit.h"
#include "MessageBoxWatch.h"
#include "QtPump.h"
#include "ReadOnlyFolder.h"
#include "launcher/QvReceiveMsgFRM.h"
#include "platform/Cp932.h"
#include "platform/IniFile.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <functional>

using namespace qvtest;

namespace {

qv::MailIndexRow Received(const std::string& subject) {
  qv::MailIndexRow row;
  qv::BuildIndexRow(row, 3, 0, 1, 0, 0, 0, 0, "a@example.jp", "me@example.jp", subject, "", "");
  return row;
}

}  // namespace

TEST_F(AppFolderTest, AMailFolderThatCannotTakeMailIsToldAndNoReceiveStarts) {
  const std::string inbox = Sjis("受信簿");
  std::unique_ptr<ReadOnlyFolder> readOnly;
  std::unique_ptr<FileSizeLimit> limit;
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::filesystem::path path;
    const char* cause;  // UTF-8
    const char* count;  // the list's count label, UTF-8
  } cases[] = {
      {"read-only",
       [&] {
         std::filesystem::create_directories(dir_ / "MailLog");
         ASSERT_FALSE(AppendMail(inbox, "Subject: kept\r\n\r\nstill here\r\n", Received("kept")).empty());
         readOnly = std::make_unique<ReadOnlyFolder>(dir_ / "MailLog");
       },
       dir_ / "MailLog", "書き込む権限がありません", "1 件 "},
      {"through a file",
       [&] {
         WriteFile(dir_ / "afile", "");
         qv::IniFile(dir_ / "Quorvel.ini").WriteString("Mail", "Folder", "afile/MailLog");
       },
       dir_ / "afile", "フォルダではなくファイルです", "0 件 "},
      // Files may grow no further than a queue that already holds a big
      // mail: what any write of mail meets on a full disk.
      {"disk full",
       [&] {
         std::filesystem::create_directories(dir_ / "MailLog");
         ASSERT_FALSE(AppendMail(Sjis("送信予約"), std::string(20 * 1024, 'q') + "\r\n", Received("big")).empty());
         limit = std::make_unique<FileSizeLimit>(16 * 1024);
       },
       dir_ / "MailLog", "ディスクの空きがありません", "0 件 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StartHandset();
    c.arrange();
    StartLauncher();
    // Once at start, when the window is up.
    PumpUntil([this] { return !boxes_.empty(); }, 5000);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].first, qv::BoxKind::Warning);
    const std::string told = qv::cp932::ToUtf8(boxes_[0].second);
    EXPECT_NE(told.find(c.path.string() + "\r\n"), std::string::npos) << told;
    EXPECT_NE(told.find(c.cause), std::string::npos) << told;
    boxes_.clear();

    QWidget* list = OpenMailList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->findChild<QLabel*>("pnlMailCount")->text().toStdString(), c.count);
    if (readOnly) {
      EXPECT_TRUE(list->grab().save(QString::fromStdString(ArtifactPath("mailfolder-readonly-list.png").string())));
    }

    // 一括受信: told why, and no call.
    const int calls = Handset().Record().connections;
    list->findChild<QAction*>("actRcvAll")->trigger();
    EXPECT_EQ(Handset().Record().connections, calls);
    ASSERT_TRUE(notice_->isVisible());
    const std::string notice = notice_->MessageText().toStdString();
    EXPECT_NE(notice.find("受信を始めません"), std::string::npos) << notice;
    EXPECT_NE(notice.find(c.cause), std::string::npos) << notice;
    // (No picture grows past a file-size limit.)
    if (!limit) {
      EXPECT_TRUE(notice_->grab().save(QString::fromStdString(
          ArtifactPath(std::string("mailfolder-receive-") + (readOnly ? "readonly" : "file") + ".png").string())));
    }
    launch_->CloseNotice();

    // 送信 keeps the mail open and says why.
    list->findChild<QAction*>("actEMail")->trigger();
    QWidget* compose = Shown("frmMailSend");
    ASSERT_NE(compose, nullptr);
    compose->findChild<QLineEdit*>("edtTo")->setText(QStringLiteral("friend@example.jp"));
    compose->findChild<QLineEdit*>("edtSubject")->setText(QStringLiteral("hello"));
    std::string box;
    {
      auto watch = WatchNextMessageBox([&](QMessageBox& shown) {
        box = shown.text().toStdString();
        if (readOnly) {
          EXPECT_TRUE(shown.grab().save(QString::fromStdString(ArtifactPath("mailfolder-readonly-send.png").string())));
        }
        shown.accept();
      });
      compose->findChild<QAction*>("actSend")->trigger();
    }
    EXPECT_TRUE(compose->isVisible());
    EXPECT_NE(box.find("メールを保存できませんでした"), std::string::npos) << box;
    EXPECT_NE(box.find(c.cause), std::string::npos) << box;
    {
      // Closed without keeping the changes.
      auto watch = WatchNextMessageBox([](QMessageBox& shown) { shown.button(QMessageBox::No)->click(); });
      compose->close();
    }
    EXPECT_EQ(Shown("frmMailSend"), nullptr);

    QuitLauncher();
    readOnly.reset();
    limit.reset();
    // The centre still has every mail.
    EXPECT_FALSE(std::filesystem::exists(purged_));
    StopHandset();
    EXPECT_TRUE(boxes_.empty());
    qv::IniFile(dir_ / "Quorvel.ini").WriteString("Mail", "Folder", "MailLog");
    // Each case starts without mail.
    std::filesystem::remove_all(dir_ / "MailLog");
  }
}
