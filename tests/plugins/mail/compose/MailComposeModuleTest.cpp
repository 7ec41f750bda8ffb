// The compose window and the viewer as the launcher reaches them: the built
// QvMail.qpl loaded through the host's plug-in holder, mails opened,
// answered, written and sent from its list window.
#include "MailListFixture.h"

#include "core/data/HandsetExchange.h"
#include "core/data/TextFunctions.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

using namespace mailtest;

namespace {

// A received e-mail with a text and a file attached.
std::string CentreMail() {
  return "From: Sender <sender@example.jp>\r\nTo: me@example.jp, b@example.jp\r\nReply-to: back@example.jp\r\n"
         "Subject: " + J("お知らせ") + "\r\nDate: 2024/05/06 07:08:09\r\n"
         "Content-Type: Multipart/Mixed;Boundary=\"bb\"\r\n\r\n"
         "--bb\r\nContent-Type: Text/Plain\r\n\r\nbody line\r\n"
         "--bb\r\nContent-Type: Text/Plain;Name=\"a.txt\"\r\n\r\nA\r\n"
         "--bb\r\nContent-Type: Application/Octet-stream;Name=\"b.bin\"\r\nContent-Transfer-Encoding: Base64\r\n\r\n"
         "AAEC\r\n--bb--\r\n";
}

std::vector<QWidget*> Windows(const char* objectName) {
  std::vector<QWidget*> out;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == objectName && w->isVisible()) out.push_back(w);
  return out;
}

std::string Field(QWidget* window, const char* name) {
  auto* edit = window->findChild<QLineEdit*>(name);
  EXPECT_NE(edit, nullptr) << name;
  return edit ? edit->text().toStdString() : std::string();
}

QAction* WindowAction(QWidget* window, const char* name) {
  auto* a = window->findChild<QAction*>(name);
  EXPECT_NE(a, nullptr) << name;
  return a;
}

class MailComposeModuleTest : public MailListTest {};

}  // namespace

TEST_F(MailComposeModuleTest, ReceivedMailsOpenInTheViewerAndAnswersInComposeWindows) {
  AddMail("受信簿", CentreMail(), {.unread = true, .subject = "お知らせ"});
  Load();
  SelectSubjects({"お知らせ"});
  Trigger("actMailOpen");
  auto viewers = Windows("frmMailReceive");
  ASSERT_EQ(viewers.size(), 1u);
  QWidget* viewer = viewers[0];
  EXPECT_EQ(viewer->windowTitle().toStdString(), "VeoQuorvel - Eメール受信");
  EXPECT_EQ(Field(viewer, "edtSubject"), "お知らせ");
  EXPECT_EQ(Field(viewer, "edtFrom"), "sender@example.jp");
  EXPECT_EQ(viewer->findChild<QWidget*>("KMailEdit1")->property("Text").toString().toStdString(), "body line");
  EXPECT_EQ(viewer->findChild<QListWidget*>("lsvAttach")->count(), 2);
  EXPECT_EQ(LiveColumn("受信簿", qv::kColUnread), std::vector<std::string>{"0"});
  // The mail already shown comes to the front instead, whatever the action.
  Trigger("actMailOpen");
  Trigger("actTransfer");
  EXPECT_EQ(Windows("frmMailReceive").size(), 1u);
  EXPECT_TRUE(Windows("frmMailSend").empty());
  viewer->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  Trigger("actRes");
  Trigger("actTransfer");
  auto composes = Windows("frmMailSend");
  ASSERT_EQ(composes.size(), 2u);
  QWidget* reply = Field(composes[0], "edtSubject").starts_with("Re:") ? composes[0] : composes[1];
  QWidget* forward = reply == composes[0] ? composes[1] : composes[0];
  EXPECT_EQ(Field(reply, "edtTo"), "back@example.jp");
  EXPECT_EQ(Field(reply, "edtSubject"), "Re: お知らせ");
  EXPECT_EQ(reply->findChild<QListWidget*>("lsvAttach")->count(), 0);
  EXPECT_EQ(Field(forward, "edtTo"), "");
  EXPECT_EQ(Field(forward, "edtSubject"), "Fw: お知らせ");
  EXPECT_EQ(forward->findChild<QWidget*>("KMailEdit1")->property("Text").toString().toStdString(), "\n\nbody line");
  EXPECT_EQ(forward->findChild<QListWidget*>("lsvAttach")->count(), 2);
}

TEST_F(MailComposeModuleTest, HandsetHistoriesAndSentMailsOpenInTheViewer) {
  AddMail("受信簿", qv::EncodeHandsetText(J("ﾃｽﾄ abc")) + "\r\n",
          {.kind = 8, .from = "09011112222", .to = "09033334444", .subject = "Kメール"});
  AddMail("送信簿", "To: a@example.jp\r\nBCC: hidden@example.jp\r\nSubject: sent\r\n\r\nx\r\n",
          {.kind = 3, .outgoing = true, .subject = "sent"});
  Load();
  SelectSubjects({"Kメール"});
  Trigger("actMailOpen");
  auto viewers = Windows("frmMailReceive");
  ASSERT_EQ(viewers.size(), 1u);
  EXPECT_EQ(viewers[0]->windowTitle().toStdString(), "VeoQuorvel - Kメール受信");
  EXPECT_EQ(viewers[0]->findChild<QWidget*>("KMailEdit1")->property("Text").toString().toStdString(), "ﾃｽﾄ abc");
  EXPECT_EQ(Field(viewers[0], "edtFrom"), "09011112222");
  viewers[0]->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ClickFolder("送信簿");
  SelectSubjects({"sent"});
  Trigger("actMailOpen");
  viewers = Windows("frmMailReceive");
  ASSERT_EQ(viewers.size(), 1u);
  EXPECT_EQ(viewers[0]->windowTitle().toStdString(), "VeoQuorvel - Eメール送信");
  EXPECT_EQ(Field(viewers[0], "edtBCC"), "hidden@example.jp");
}

TEST_F(MailComposeModuleTest, NewMailIsSentFromTheQueueOnceItsWindowHasClosed) {
  Load();
  ClickFolder("送信予約");
  Trigger("actEMail");
  auto composes = Windows("frmMailSend");
  ASSERT_EQ(composes.size(), 1u);
  QWidget* compose = composes[0];
  EXPECT_EQ(compose->windowTitle().toStdString(), "VeoQuorvel - Eメール未送信");
  compose->findChild<QLineEdit*>("edtTo")->setText("to@example.jp");
  compose->findChild<QLineEdit*>("edtSubject")->setText("new");
  ParamCalls().clear();
  WindowAction(compose, "actSend")->trigger();
  EXPECT_TRUE(Windows("frmMailSend").empty());
  EXPECT_TRUE(ParamCalls().empty());
  EXPECT_TRUE(QTest::qWaitFor([] { return !ParamCalls().empty(); }));
  EXPECT_EQ(ParamCalls(), (std::vector<std::pair<int32_t, int32_t>>{{1, 1}}));
  auto queued = LiveMails("送信予約");
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_TRUE(queued[0].second.starts_with("To: to@example.jp\r\nSubject: new\r\n"));
  // The list shows the queue with the new mail.
  EXPECT_EQ(ListColumn(6), std::vector<std::string>{"new"});

  // An unsent mail opens for editing and is stored over its old copy.
  SelectSubjects({"new"});
  Trigger("actMailOpen");
  composes = Windows("frmMailSend");
  ASSERT_EQ(composes.size(), 1u);
  EXPECT_EQ(Field(composes[0], "edtTo"), "to@example.jp");
  composes[0]->findChild<QLineEdit*>("edtSubject")->setText("edited");
  WindowAction(composes[0], "actSendReserve")->trigger();
  queued = LiveMails("送信予約");
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0].first, "edited");
  EXPECT_EQ(ListColumn(6), std::vector<std::string>{"edited"});
  Trigger("actDMail");
  composes = Windows("frmMailSend");
  ASSERT_EQ(composes.size(), 1u);
  EXPECT_EQ(composes[0]->windowTitle().toStdString(), "VeoQuorvel - 直送メール未送信");
}

TEST_F(MailComposeModuleTest, CloseFormAsksEveryChangedComposeWindow) {
  Load();
  Trigger("actEMail");
  Trigger("actDMail");
  auto composes = Windows("frmMailSend");
  ASSERT_EQ(composes.size(), 2u);
  for (QWidget* w : composes) w->findChild<QLineEdit*>("edtSubject")->setText("changed");
  auto closeForm = reinterpret_cast<QvCloseFormFn>(Export("CloseForm"));
  {
    BoxAnswers boxes({QMessageBox::Cancel});
    EXPECT_FALSE(closeForm());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"メールの内容は変更されています\r\n変更を保存しますか？"});
  }
  EXPECT_EQ(Windows("frmMailSend").size(), 2u);
  EXPECT_TRUE(Window()->isVisible());
  {
    BoxAnswers boxes({QMessageBox::No, QMessageBox::Yes});
    EXPECT_TRUE(closeForm());
    EXPECT_EQ(boxes.Texts().size(), 2u);
  }
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(Windows("frmMailSend").empty());
  EXPECT_FALSE(Window()->isVisible());
  // The one answered Yes went to 下書き.
  EXPECT_EQ(LiveMails("下書き").size(), 1u);
}
