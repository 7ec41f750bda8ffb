// The compose window driven as a user drives it: typing, the actions, the
// questions and file dialogs answered, and what lands in the mail folders.
#include "plugins/mail/compose/QvMailSendFRM.h"

#include "controls/ImageList.h"
#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "plugins/mail/editor/KMailEdit.h"
#include "plugins/mail/compose/MailAttachView.h"
#include "core/ui/Dialogs.h"
#include "plugins/mail/compose/MailPictures.h"
#include "plugins/mail/compose/QvMailReceiveFRM.h"
#include "core/data/StoredMail.h"

#include "FileSizeLimit.h"
#include "MailComposeTestSupport.h"
#include "MailTestSupport.h"
#include "SpecialFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>


#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QToolBar>

using namespace qv;
using composetest::BitmapBytes;
using composetest::HostRecorder;
using composetest::ListWindow;
using mailtest::LiveMails;
using qvtest::Sjis;

namespace {

const std::string kMailerLine = "X-Mailer: Quorvel for Windows v1.0.1 (BRV)\r\n";
const std::string& Queue() { return qv::FixedFolderName(qv::FixedFolder::Queued); }
const std::string& Drafts() { return qv::FixedFolderName(qv::FixedFolder::Drafts); }

class ComposeWindowTest : public ::testing::Test, protected composetest::DialogRecorder {
 protected:
  void TearDown() override { composetest::DeleteMailWindows(); }

  // A shown compose window that gives up on locked folders at once.
  TfrmMailSend* Window(bool email = true) { return composetest::ShownComposeWindow(email); }

  // Keys for ASCII; other text arrives as an input method commits it.
  static void Keys(QWidget* target, const QString& text) {
    QString pending;
    auto commit = [&] {
      if (pending.isEmpty()) return;
      QInputMethodEvent event;
      event.setCommitString(pending);
      QApplication::sendEvent(target, &event);
      pending.clear();
    };
    for (QChar c : text) {
      if (c.unicode() < 0x80) {
        commit();
        QTest::keyClick(target, c.toLatin1());
      } else {
        pending += c;
      }
    }
    commit();
  }
  static void Type(QWidget* field, const QString& text) {
    field->setFocus();
    Keys(field, text);
  }
  static void TypeBody(TfrmMailSend* w, const QStringList& lines) {
    TKMailEdit* box = w->KMailEdit1;
    box->setFocus();
    for (int i = 0; i < lines.size(); ++i) {
      if (i > 0) QTest::keyClick(box, Qt::Key_Return);
      Keys(box, lines[i]);
    }
  }

  mailtest::MailDir mail;
  HostRecorder host;
  ListWindow list;
};

}  // namespace

TEST_F(ComposeWindowTest, DirectMailToThreeNumbersIsQueuedOncePerNumber) {
  ASSERT_TRUE(list->SelectFolder(Queue()));
  EXPECT_EQ(list->Model().Count(), 0);
  QPointer<TfrmMailSend> w = Window(false);
  EXPECT_EQ(w->windowTitle(), QString::fromUtf8("VeoQuorvel - 直送メール未送信"));
  EXPECT_FALSE(w->pnlCC->isVisibleTo(w));
  Type(w->edtTo, QStringLiteral("090-1111-2222, 07033334444 ,18408055556666##1,x"));
  Type(w->edtSubject, QString::fromUtf8("テスト ﾃｽﾄ"));
  TypeBody(w, {QStringLiteral("Hello"), QStringLiteral(".dot")});
  w->actSendReserve->trigger();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(w.isNull());

  const std::string rest = "Subject: " + Sjis("テスト テスト") + "\r\n" + kMailerLine +
                           "Content-Type: Text/Plain\r\n\r\nHello\r\n..dot\r\n";
  auto queued = LiveMails(Queue());
  ASSERT_EQ(queued.size(), 3u);
  EXPECT_EQ(queued[0].second, "To: 09011112222\r\n" + rest);
  EXPECT_EQ(queued[1].second, "To: 07033334444\r\n" + rest);
  // The service prefix and suffix stay in the stored line; the launcher takes
  // them off when it dials.
  EXPECT_EQ(queued[2].second, "To: 18408055556666##1\r\n" + rest);
  qv::TCSVData index;
  ASSERT_TRUE(index.LoadFromFile(mail.index(Queue())));
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(index.GetCell(r, qv::kColKind), "1");
    EXPECT_EQ(index.GetCell(r, qv::kColHandsetFlag), "0");
    EXPECT_EQ(index.GetCell(r, qv::kColUnread), "1");
    EXPECT_EQ(index.GetCell(r, qv::kColProtected), "0");
    EXPECT_EQ(index.GetCell(r, qv::kColDirection), "1");
    EXPECT_EQ(index.GetCell(r, qv::kColBoxNumber), "1");
    EXPECT_EQ(index.GetCell(r, qv::kColSubject), Sjis("テスト テスト"));
    EXPECT_EQ(index.GetCell(r, qv::kColDate).size(), 16u);  // yyyy/mm/dd hh:nn
    EXPECT_EQ(index.GetCell(r, qv::kColExtra), "");
  }
  EXPECT_EQ(index.GetCell(0, qv::kColTo), "09011112222");
  // The list window shows the queue again; no send is asked for.
  EXPECT_EQ(list->Model().Count(), 3);
  EXPECT_FALSE(list->tmrSendMsg->isActive());
  EXPECT_TRUE(host.params.empty());
}

TEST_F(ComposeWindowTest, EMailIsQueuedByteForByte) {
  qv::IniWrite(qv::keys::ReplyTo, " back@example.jp ");
  const std::filesystem::path file = mail.tmp() / "note.txt";
  qvtest::WriteFile(file, "attached\r\n");
  openAnswer = file;
  QPointer<TfrmMailSend> w = Window();
  EXPECT_EQ(w->windowTitle(), QString::fromUtf8("VeoQuorvel - Eメール未送信"));
  Type(w->edtTo, QString::fromUtf8("Taro <taro@example.jp>, 不正"));
  Type(w->edtCC, QStringLiteral("c@example.jp (boss)"));
  Type(w->edtBCC, QStringLiteral("d@example.jp"));
  Type(w->edtSubject, QStringLiteral("Hi"));
  TypeBody(w, {QString::fromUtf8("本文です"), QString()});
  w->actAttach->trigger();
  EXPECT_EQ(openFilters, std::vector<std::string>{Sjis("全てのファイル (*.*)|*.*")});
  ASSERT_EQ(w->lsvAttach->count(), 1);
  w->actSendReserve->trigger();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(w.isNull());
  auto queued = LiveMails(Queue());
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0].second,
            "To: Taro<taro@example.jp>\r\nCC: c@example.jp\r\nBCC: d@example.jp\r\nReply-to: back@example.jp\r\n"
            "Subject: Hi\r\n" +
                kMailerLine +
                "Content-Type: Multipart/Mixed;Boundary=\"kmaildx00\"\r\n\r\n--kmaildx00\r\n"
                "Content-Type: Text/Plain\r\n\r\n" +
                Sjis("本文です") +
                "\r\n\r\n--kmaildx00\r\nContent-Type: Text/Plain;Name=\"note.txt\"\r\n\r\nattached\r\n\r\n"
                "--kmaildx00--\r\n");
  qv::TCSVData index;
  ASSERT_TRUE(index.LoadFromFile(mail.index(Queue())));
  EXPECT_EQ(index.GetCell(0, qv::kColKind), "3");
  EXPECT_EQ(index.GetCell(0, qv::kColAttachments), "1");
}

TEST_F(ComposeWindowTest, SendAsksTheHostToSendOnlyAfterTheWindowHasClosed) {
  QPointer<TfrmMailSend> w = Window();
  Type(w->edtTo, QStringLiteral("a@example.jp"));
  TypeBody(w, {QStringLiteral("go")});
  w->actSend->trigger();
  // The list window's one-shot timer runs; its tick makes the request.
  EXPECT_TRUE(list->tmrSendMsg->isActive());
  EXPECT_TRUE(host.params.empty());
  EXPECT_EQ(LiveMails(Queue()).size(), 1u);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !host.params.empty(); }));
  EXPECT_EQ(host.params, (std::vector<std::pair<int, int>>{{QV_PARAM_MAIL_SESSION, QV_MAIL_SEND_QUEUE}}));
  EXPECT_EQ(host.composeOpenAtParam, std::vector<bool>{false});
  EXPECT_FALSE(list->tmrSendMsg->isActive());
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.isNull(); }));
}

TEST_F(ComposeWindowTest, RecipientsAreCheckedBeforeSendingButNotBeforeSaving) {
  struct Case {
    bool email;
    const char* to;
    int warning;
  };
  const Case cases[] = {
      {true, "", kWarnToEmpty},         {true, "   ", kWarnToEmpty},        {false, "", kWarnToEmpty},
      {false, "abc", kWarnToInvalid},   {false, "03-xx", kWarnToInvalid},
  };
  for (const auto& c : cases) {
    TfrmMailSend* w = Window(c.email);
    w->edtTo->setText(QString::fromLatin1(c.to));
    host.params.clear();
    for (QAction* a : {w->actSend, w->actSendReserve}) a->trigger();
    EXPECT_EQ(host.params, (std::vector<std::pair<int, int>>{{10, c.warning}, {10, c.warning}})) << c.to;
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->edtTo->hasFocus());
    w->SetModified(false);
    delete w;
  }
  TfrmMailSend* w = Window();
  w->edtTo->setText(QString::fromUtf8("全角だけ"));
  w->actSendReserve->trigger();
  EXPECT_EQ(host.params.back(), std::make_pair(10, int{kWarnToInvalid}));
  EXPECT_TRUE(LiveMails(Queue()).empty());
  // Saving needs no recipient.
  w->edtTo->clear();
  w->actSave->trigger();
  EXPECT_TRUE(w->isVisible());
  EXPECT_FALSE(w->Modified());
  auto drafts = LiveMails(Drafts());
  ASSERT_EQ(drafts.size(), 1u);
  EXPECT_TRUE(drafts[0].second.starts_with("To: \r\nSubject: \r\n"));
}

TEST_F(ComposeWindowTest, SavingTwiceLeavesOneCopyAndAFailedStoreKeepsTheOldOne) {
  TfrmMailSend* w = Window();
  Type(w->edtTo, QStringLiteral("a@example.jp"));
  TypeBody(w, {QStringLiteral("first")});
  w->actSave->trigger();
  EXPECT_EQ(w->FolderName(), Drafts());
  const std::string firstId = w->MailId();
  TypeBody(w, {QStringLiteral(" and second")});
  w->actSave->trigger();
  auto drafts = LiveMails(Drafts());
  ASSERT_EQ(drafts.size(), 1u);
  EXPECT_NE(w->MailId(), firstId);
  EXPECT_EQ(drafts[0].first, w->MailId());
  EXPECT_NE(drafts[0].second.find("first and second\r\n"), std::string::npos);

  // While the folder is held elsewhere nothing is stored and nothing is lost.
  TypeBody(w, {QStringLiteral(" and third")});
  {
    qv::MailFolder held;
    ASSERT_TRUE(held.Open(Drafts()));
    w->actSave->trigger();
    EXPECT_TRUE(w->Modified());
  }
  drafts = LiveMails(Drafts());
  ASSERT_EQ(drafts.size(), 1u);
  EXPECT_NE(drafts[0].second.find("first and second\r\n"), std::string::npos);
  // Queueing it stores the new text first, then removes the draft.
  {
    qv::MailFolder held;
    ASSERT_TRUE(held.Open(Queue()));
    w->actSendReserve->trigger();
    EXPECT_TRUE(w->isVisible());
  }
  EXPECT_EQ(LiveMails(Drafts()).size(), 1u);
  w->actSendReserve->trigger();
  EXPECT_TRUE(LiveMails(Drafts()).empty());
  auto queued = LiveMails(Queue());
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_NE(queued[0].second.find("first and second and third\r\n"), std::string::npos);
}

TEST_F(ComposeWindowTest, ReopenedMailReplacesItsStoredCopy) {
  qv::OutgoingMail out;
  out.to = "a@example.jp";
  out.subject = "old";
  out.body = "old body";
  std::string text;
  ASSERT_EQ(EncodeStoredMail(out, text), 0);
  const std::string id = mailtest::Add(Queue(), text);
  const std::string other = mailtest::Add(Queue(), text);
  ASSERT_TRUE(list->SelectFolder(Queue()));
  auto* w = new TfrmMailSend;
  w->SetRetryPolicy(mailtest::Quick());
  w->SetFolderName(Queue());
  w->SetMailId(id);
  w->SetRecipients("a@example.jp", "", "");
  w->SetSubject("old");
  w->LoadBody("old body", true);
  w->show();
  EXPECT_FALSE(w->Modified());
  w->edtSubject->setText(QStringLiteral("new"));
  // Saving keeps it in its folder, under a new id.
  w->actSave->trigger();
  auto queued = LiveMails(Queue());
  ASSERT_EQ(queued.size(), 2u);
  EXPECT_EQ(queued[0].first, other);
  EXPECT_EQ(queued[1].first, w->MailId());
  EXPECT_NE(queued[1].second.find("Subject: new\r\n"), std::string::npos);
  EXPECT_NE(queued[1].second.find("\r\n\r\nold body\r\n"), std::string::npos);
  // The list shows the folder as it is now.
  ASSERT_EQ(list->Model().Count(), 2);
  EXPECT_TRUE(list->Model().Id(0) == w->MailId() || list->Model().Id(1) == w->MailId());
}

TEST_F(ComposeWindowTest, ADirectMailStoredInPartKeepsTheRecipientsNotYetStored) {
  const std::string body(1000, 'b');
  std::string old;
  {
    qv::OutgoingMail out;
    out.email = false;
    out.to = "09000000000";
    out.body = body;
    ASSERT_EQ(EncodeStoredMail(out, old), 0);
  }
  const std::string oldId = mailtest::Add(Queue(), old);
  auto* w = new TfrmMailSend;
  w->SetRetryPolicy(mailtest::Quick());
  w->SetEMail(false);
  w->SetFolderName(Queue());
  w->SetMailId(oldId);
  w->SetRecipients("09011112222,07033334444,08055556666", "", "");
  w->LoadBody(body, true);
  w->show();
  // Room in the file system for one more mail only.
  const auto storeSize = std::filesystem::file_size(mail.store(Queue()));
  {
    qvtest::FileSizeLimit limit(storeSize * 5 / 2);
    ASSERT_TRUE(limit.Set());
    w->actSendReserve->trigger();
  }
  // The first number is stored, the old copy gone, the rest still to do.
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->edtTo->text(), QStringLiteral("07033334444,08055556666"));
  EXPECT_EQ(w->MailId(), "");
  auto queued = LiveMails(Queue());
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_TRUE(queued[0].second.starts_with("To: 09011112222\r\n"));
  w->actSendReserve->trigger();
  queued = LiveMails(Queue());
  ASSERT_EQ(queued.size(), 3u);
  EXPECT_TRUE(queued[1].second.starts_with("To: 07033334444\r\n"));
  EXPECT_TRUE(queued[2].second.starts_with("To: 08055556666\r\n"));
}

TEST_F(ComposeWindowTest, SubjectLosesHandsetPictographsAndWidensKanaWhenStored) {
  TfrmMailSend* w = Window();
  w->edtSubject->setText(QStringLiteral("ab"));
  w->edtSubject->setCursorPosition(1);
  w->edtSubject->insert(QString(QChar(0xE000)) + QChar(0xE001));
  EXPECT_EQ(w->edtSubject->text(), QStringLiteral("ab"));
  EXPECT_EQ(w->edtSubject->cursorPosition(), 1);
  w->edtSubject->setText(QString::fromUtf8("ｶﾞｷﾞ"));
  w->edtTo->setText(QStringLiteral("a@example.jp"));
  w->LoadBody(Sjis("ﾎﾝﾌﾞﾝ"), true);
  w->actSave->trigger();
  EXPECT_EQ(w->edtSubject->text(), QString::fromUtf8("ガギ"));
  EXPECT_EQ(w->KMailEdit1->GetPlainText(), Sjis("ホンブン"));
  auto drafts = LiveMails(Drafts());
  ASSERT_EQ(drafts.size(), 1u);
  EXPECT_NE(drafts[0].second.find("Subject: " + Sjis("ガギ") + "\r\n"), std::string::npos);
  EXPECT_NE(drafts[0].second.find("\r\n\r\n" + Sjis("ホンブン") + "\r\n"), std::string::npos);
}

TEST_F(ComposeWindowTest, PlainTextWithAngleBracketsIsStoredAndShownAsTyped) {
  TfrmMailSend* w = Window();
  Type(w->edtTo, QStringLiteral("a@example.jp"));
  TypeBody(w, {QString::fromUtf8("ｶ x<y> and <<z")});
  w->actSave->trigger();
  // The widened plain body goes back into the editor as plain text, so a
  // second store keeps what was typed.
  EXPECT_EQ(w->KMailEdit1->GetPlainText(), Sjis("カ x<y> and <<z"));
  w->actSave->trigger();
  auto drafts = LiveMails(Drafts());
  ASSERT_EQ(drafts.size(), 1u);
  EXPECT_NE(drafts[0].second.find("Content-Type: Text/Plain\r\n\r\n" + Sjis("カ x<y> and <<z") + "\r\n"),
            std::string::npos);
}

TEST_F(ComposeWindowTest, DecoratedBodyReopenedKeepsItsMarkup) {
  auto* w = new TfrmMailSend;
  w->SetRetryPolicy(mailtest::Quick());
  w->LoadBody("<C=FF0000>red</C>\r\nline", false);
  w->show();
  EXPECT_EQ(w->KMailEdit1->GetPlainText(), "red\r\nline");
  EXPECT_FALSE(w->KMailEdit1->IsPlainContent());
  w->actSave->trigger();
  auto drafts = LiveMails(Drafts());
  ASSERT_EQ(drafts.size(), 1u);
  EXPECT_NE(drafts[0].second.find("Content-Type: Text/X-KmailDX\r\n\r\n<C=FF0000>red</C>\r\nline\r\n"),
            std::string::npos);
}

TEST_F(ComposeWindowTest, OverLongMailsAreRefused) {
  TfrmMailSend* w = Window();
  w->edtTo->setText(QStringLiteral("a@example.jp"));
  w->LoadBody(std::string(2300, 'x'), true);
  w->actSendReserve->trigger();
  EXPECT_EQ(host.params.back(), std::make_pair(10, int{kWarnHeadTooLong}));
  w->LoadBody("short", true);
  const std::filesystem::path big = mail.tmp() / "big.bin";
  qvtest::WriteFile(big, std::string(400000, 'b'));
  ASSERT_TRUE(w->AddAttachmentFile(big, {}));
  w->actSendReserve->trigger();
  EXPECT_EQ(host.params.back(), std::make_pair(10, int{kWarnEMailTooLarge}));
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(LiveMails(Queue()).empty());
  // As a direct mail the same text may go.
  w->actDirectMail->trigger();
  w->edtTo->setText(QStringLiteral("09011112222"));
  w->actSendReserve->trigger();
  EXPECT_EQ(LiveMails(Queue()).size(), 1u);
}

TEST_F(ComposeWindowTest, ClosingWithChangesAsks) {
  // Cancel keeps the window.
  QPointer<TfrmMailSend> w = Window();
  Type(w->edtTo, QStringLiteral("a@example.jp"));
  answer = Answer::Cancel;
  w->actClose->trigger();
  EXPECT_EQ(asked, std::vector<std::string>{Sjis("メールの内容は変更されています\r\n変更を保存しますか？")});
  EXPECT_TRUE(askedWithCancel);
  EXPECT_TRUE(w->isVisible());
  // Yes closes only when saving works.
  answer = Answer::Yes;
  {
    qv::MailFolder held;
    ASSERT_TRUE(held.Open(Drafts()));
    w->close();
    EXPECT_TRUE(w->isVisible());
  }
  w->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(w.isNull());
  EXPECT_EQ(LiveMails(Drafts()).size(), 1u);
  // No closes without storing; an unchanged window does not ask.
  asked.clear();
  answer = Answer::No;
  w = Window();
  Type(w->edtSubject, QStringLiteral("s"));
  w->close();
  EXPECT_EQ(asked.size(), 1u);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(w.isNull());
  w = Window();
  w->close();
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_EQ(LiveMails(Drafts()).size(), 1u);
}

TEST_F(ComposeWindowTest, SwitchingTheModeClearsTheRecipients) {
  TfrmMailSend* w = Window();
  w->edtTo->setText(QStringLiteral("a@example.jp"));
  w->edtCC->setText(QStringLiteral("c@example.jp"));
  w->actEMail->trigger();
  EXPECT_EQ(w->edtTo->text(), QStringLiteral("a@example.jp"));
  EXPECT_TRUE(w->pnlCC->isVisible());
  EXPECT_TRUE(w->imgEMail->isVisible());
  w->actDirectMail->trigger();
  EXPECT_FALSE(w->IsEMail());
  EXPECT_TRUE(w->edtTo->text().isEmpty());
  EXPECT_TRUE(w->edtCC->text().isEmpty());
  EXPECT_FALSE(w->pnlCC->isVisible());
  EXPECT_TRUE(w->imgDMail->isVisible());
  EXPECT_FALSE(w->imgEMail->isVisible());
  auto* menuItem = w->findChild<QAction*>(QStringLiteral("mnuDirectMail"));
  ASSERT_NE(menuItem, nullptr);
  EXPECT_TRUE(menuItem->isChecked());
  EXPECT_EQ(w->windowTitle(), QString::fromUtf8("VeoQuorvel - 直送メール未送信"));
}

TEST_F(ComposeWindowTest, AttachmentsAreAddedDeletedAndSavedInTheChosenFolder) {
  TfrmMailSend* w = Window();
  const std::filesystem::path dir = mail.tmp() / "files";
  std::filesystem::create_directories(dir);
  qvtest::WriteFile(dir / "a.jpg", "JPEGDATA");
  qvtest::WriteFile(dir / "OPTCHAR.DAT", BitmapBytes(96, 12));
  ASSERT_TRUE(w->AddAttachmentFile(dir / "a.jpg", {}));
  ASSERT_TRUE(w->AddAttachmentFile(dir / "a.jpg", {}));
  EXPECT_FALSE(w->AddAttachmentFile(dir / "missing.bin", {}));
  openAnswer = dir / "OPTCHAR.DAT";
  w->actAdduserText->trigger();
  ASSERT_EQ(w->Attachments().Count(), 3u);
  EXPECT_EQ(w->Attachments()[1].name, "a2.jpg");
  EXPECT_EQ(w->imlUserText->Count(), 8);
  EXPECT_TRUE(w->Modified());

  // Saving: one dialog per selected attachment, preset to its name.
  saveFolder = mail.tmp() / "chosen";
  std::filesystem::create_directories(*saveFolder);
  w->lsvAttach->clearSelection();
  w->lsvAttach->item(0)->setSelected(true);
  w->lsvAttach->item(1)->setSelected(true);
  w->actAttachSave->trigger();
  ASSERT_EQ(savePresets.size(), 2u);
  EXPECT_EQ(savePresets[0].filename(), "a.jpg");
  EXPECT_EQ(savePresets[1].filename(), "a2.jpg");
  EXPECT_EQ(qvtest::ReadFile(*saveFolder / "a2.jpg"), "JPEGDATA");
  // The next dialog starts in the folder saved to.
  w->actAttachSave->trigger();
  EXPECT_EQ(savePresets[2].parent_path(), *saveFolder);

  // Deleting the user characters clears their images.
  w->lsvAttach->clearSelection();
  w->lsvAttach->item(2)->setSelected(true);
  w->lsvAttach->item(0)->setSelected(true);
  w->actAttachDel->trigger();
  ASSERT_EQ(w->Attachments().Count(), 1u);
  EXPECT_EQ(w->Attachments()[0].name, "a2.jpg");
  EXPECT_EQ(w->imlUserText->Count(), 0);
  // The header lines of one selected attachment, by its key.
  w->lsvAttach->SelectRow(0);
  w->lsvAttach->setFocus();
  QTest::keyClick(w->lsvAttach, Qt::Key_H, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  EXPECT_EQ(infos, std::vector<std::string>{""});
  QTest::keyClick(w->lsvAttach, Qt::Key_Delete);
  EXPECT_TRUE(w->Attachments().Empty());
}

namespace {

// Sends a drag over the widget's viewport at pos and, when it is accepted,
// drops it there; true when the target took it.
bool DragOnto(QAbstractScrollArea* target, QPoint pos, const QMimeData* data) {
  QDragEnterEvent enter(pos, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target->viewport(), &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(pos), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target->viewport(), &drop);
  return drop.isAccepted();
}

}  // namespace

TEST_F(ComposeWindowTest, AttachmentsAreDraggedWithinAndBetweenWindows) {
  TfrmMailSend* w = Window();
  for (const char* name : {"a.jpg", "b.txt", "c.dat"}) {
    qvtest::WriteFile(mail.tmp() / name, name);
    ASSERT_TRUE(w->AddAttachmentFile(mail.tmp() / name, {}));
  }
  auto names = [](const AttachmentList& list) {
    std::vector<std::string> out;
    for (const auto& a : list.Items()) out.push_back(a.name);
    return out;
  };
  // Inside the list the dragged item goes where it is dropped.
  w->lsvAttach->SelectRow(0);
  auto inside = w->lsvAttach->SelectionDragData();
  ASSERT_NE(inside, nullptr);
  EXPECT_TRUE(DragOnto(w->lsvAttach, w->lsvAttach->visualItemRect(w->lsvAttach->item(2)).center(), inside.get()));
  EXPECT_EQ(names(w->Attachments()), (std::vector<std::string>{"b.txt", "c.dat", "a.jpg"}));
  EXPECT_EQ(w->lsvAttach->item(2)->text(), QStringLiteral("a.jpg"));

  // From a viewer the attachments are copied, under names unique here.
  auto* viewer = new TfrmMailReceive;
  viewer->Attachments().Insert(composetest::Attachment("a.jpg", "other"));
  viewer->Attachments().Insert(composetest::Attachment("pic.bmp", BitmapBytes(8, 8)));
  viewer->AttachmentsChanged();
  viewer->lsvAttach->clearSelection();
  viewer->lsvAttach->item(0)->setSelected(true);
  viewer->lsvAttach->item(1)->setSelected(true);
  auto copied = viewer->lsvAttach->SelectionDragData();
  EXPECT_TRUE(DragOnto(w->lsvAttach, QPoint(2, 2), copied.get()));
  EXPECT_EQ(names(w->Attachments()), (std::vector<std::string>{"b.txt", "c.dat", "a.jpg", "a2.jpg", "pic.bmp"}));
  EXPECT_EQ(w->Attachments()[3].bytes, "other");
  EXPECT_EQ(viewer->Attachments().Count(), 2u);
  EXPECT_TRUE(w->Modified());
  // The viewer takes nothing in.
  EXPECT_FALSE(DragOnto(viewer->lsvAttach, QPoint(2, 2), copied.get()));
  delete viewer;

  // Files from the desktop, on the list or anywhere on the window; other data is refused.
  qvtest::WriteFile(mail.tmp() / "d.txt", "d");
  qvtest::WriteFile(mail.tmp() / "e.txt", "e");
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(QString::fromStdString((mail.tmp() / "d.txt").string()))});
  EXPECT_TRUE(DragOnto(w->lsvAttach, QPoint(2, 2), &files));
  QMimeData other;
  other.setUrls({QUrl::fromLocalFile(QString::fromStdString((mail.tmp() / "e.txt").string()))});
  QDragEnterEvent enterWindow(QPoint(5, 5), Qt::CopyAction, &other, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &enterWindow);
  EXPECT_TRUE(enterWindow.isAccepted());
  QDropEvent onWindow(QPointF(5, 5), Qt::CopyAction, &other, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &onWindow);
  QMimeData text;
  text.setText(QStringLiteral("not a file"));
  EXPECT_FALSE(DragOnto(w->lsvAttach, QPoint(2, 2), &text));
  EXPECT_EQ(w->Attachments().Count(), 7u);
  EXPECT_EQ(w->Attachments()[5].name, "d.txt");
  EXPECT_EQ(w->Attachments()[6].bytes, "e");
}

TEST_F(ComposeWindowTest, UserCharactersFromAPicture) {
  TfrmMailSend* w = Window();
  qvtest::WriteFile(mail.tmp() / "chars.bmp", BitmapBytes(50, 30));
  openAnswer = mail.tmp() / "chars.bmp";
  w->actAdduserText->trigger();
  EXPECT_EQ(openFilters, std::vector<std::string>{Sjis("画像ファイル (*.bmp)|*.bmp|ユーザ外字ファイル (optchar.dat)|optchar.dat")});
  ASSERT_EQ(w->Attachments().Count(), 1u);
  EXPECT_EQ(w->Attachments()[0].name, "OptChar.dat");
  EXPECT_EQ(w->Attachments()[0].icon, kIconUserCharacters);
  int width = 0, height = 0;
  ASSERT_TRUE(PictureSize(w->Attachments()[0].bytes, width, height));
  EXPECT_EQ(width, 96);
  EXPECT_EQ(height, 30);
  EXPECT_EQ(w->imlUserText->Count(), 16);
  // A file that is no picture is refused with a message.
  qvtest::WriteFile(mail.tmp() / "bad.bmp", "text");
  openAnswer = mail.tmp() / "bad.bmp";
  w->actAdduserText->trigger();
  EXPECT_EQ(w->Attachments().Count(), 1u);
  EXPECT_EQ(infos.size(), 1u);
}

TEST_F(ComposeWindowTest, NamesThatAreNoFileAreRefusedUnreadWithTheWindowsMessage) {
  TfrmMailSend* w = Window();
  const qvtest::NotFiles notFiles(mail.tmp() / "special", ".bmp");
  for (const qvtest::NotAFile& f : notFiles.list()) {
    SCOPED_TRACE(f.what);
    for (QAction* action : {w->actAttach, w->actAdduserText}) {
      infos.clear();
      openAnswer = f.path;
      action->trigger();
      EXPECT_EQ(w->Attachments().Count(), 0u);
      ASSERT_EQ(infos.size(), 1u);
      EXPECT_EQ(infos[0], qv::cp932::FromUtf8(f.path.string()) + Sjis("\r\nを読み込めませんでした"));
    }
  }
  EXPECT_FALSE(notFiles.FifoWaitedOn());
}

TEST_F(ComposeWindowTest, TheScrollBarFollowsTheEditor) {
  TfrmMailSend* w = Window();
  std::string body;
  for (int i = 0; i < 200; ++i) body += "line " + std::to_string(i) + "\r\n";
  w->LoadBody(body, true);
  QApplication::processEvents();
  EXPECT_TRUE(w->ScrollBar1->isEnabled());
  EXPECT_EQ(w->ScrollBar1->maximum(), w->KMailEdit1->TopLineCount() - 1);
  EXPECT_EQ(w->ScrollBar1->pageStep(), w->KMailEdit1->VisibleLineCount());
  w->ScrollBar1->setValue(40);
  EXPECT_EQ(w->KMailEdit1->TopLine(), 40);
  w->KMailEdit1->SetTopLine(7);
  EXPECT_EQ(w->ScrollBar1->value(), 7);
  w->LoadBody("short", true);
  QApplication::processEvents();
  EXPECT_FALSE(w->ScrollBar1->isEnabled());
}

TEST_F(ComposeWindowTest, PictogramsGoInByTheirTags) {
  list->lstPictext = {"HEART=\xF0\x40", "STAR=\xF0\x41"};
  TfrmMailSend* w = Window();
  w->KMailEdit1->setFocus();
  w->InsertPictograph(Sjis("絵文字選択"), 1);
  w->InsertPictograph(Sjis("絵文字選択"), 2);
  w->InsertPictograph(Sjis("外字選択"), 0);
  w->InsertPictograph(Sjis("ユーザ外字選択"), 0);  // no user characters yet
  EXPECT_EQ(w->KMailEdit1->GetPlainText(), "\xF0\x41");
}

TEST_F(ComposeWindowTest, EditActionsFollowTheEditorsFocus) {
  TfrmMailSend* w = Window();
  w->edtTo->setFocus();
  QApplication::processEvents();
  EXPECT_FALSE(w->actSelectAll->isEnabled());
  EXPECT_FALSE(w->actCopy->isEnabled());
  TypeBody(w, {QStringLiteral("text")});
  QApplication::processEvents();
  EXPECT_TRUE(w->actSelectAll->isEnabled());
  EXPECT_TRUE(w->actUndo->isEnabled());
  EXPECT_FALSE(w->actCopy->isEnabled());
  w->actSelectAll->trigger();
  EXPECT_TRUE(w->actCopy->isEnabled());
  w->actCut->trigger();
  EXPECT_EQ(w->KMailEdit1->GetPlainText(), "");
  EXPECT_TRUE(w->actPaste->isEnabled());
  w->actPaste->trigger();
  w->actPaste->trigger();
  EXPECT_EQ(w->KMailEdit1->GetPlainText(), "texttext");
  // The recipient picker and the colour pickers are always there; user characters and the viewer wait
  // for an attachment to offer.
  EXPECT_TRUE(w->actTextColor->isEnabled());
  EXPECT_TRUE(w->actBGColor->isEnabled());
  EXPECT_FALSE(w->actUsertext->isEnabled());
  EXPECT_FALSE(w->actAttachView->isEnabled());
}

TEST_F(ComposeWindowTest, EveryToolBarButtonShowsAtTheDefaultWidth) {
  TfrmMailSend* w = Window();
  EXPECT_EQ(w->size(), QSize(600, 520));
  QApplication::processEvents();
  const std::vector<QAction*> expected{w->actSend,    w->actSendReserve, w->actSave,     w->actEMail,
                                       w->actDirectMail, w->actMailAddress, w->actAttach, w->actPicEdit,
                                       w->actMediaMix, w->actPictext,   w->actUsertext, w->actTextColor,
                                       w->actBGColor,  w->actBlink};
  std::vector<QAction*> shown;
  for (QToolBar* bar : w->findChildren<QToolBar*>()) {
    SCOPED_TRACE(bar->objectName().toStdString());
    ASSERT_TRUE(bar->isVisible());
    // The "»" button appears only for buttons that do not fit.
    for (QWidget* extension : bar->findChildren<QWidget*>(QStringLiteral("qt_toolbar_ext_button")))
      EXPECT_FALSE(extension->isVisible());
    for (QAction* action : bar->actions()) {
      if (action->isSeparator()) continue;
      SCOPED_TRACE(action->text().toStdString());
      QWidget* button = bar->widgetForAction(action);
      ASSERT_TRUE(button);
      EXPECT_TRUE(button->isVisible());
      EXPECT_TRUE(bar->rect().contains(button->geometry()));
      EXPECT_TRUE(w->rect().contains(QRect(button->mapTo(w, QPoint(0, 0)), button->size())));
      shown.push_back(action);
    }
  }
  EXPECT_EQ(shown, expected);
  ASSERT_TRUE(w->grab().save(QString::fromStdString(qvtest::ArtifactPath("mail-compose-default.png").string())));
}

TEST_F(ComposeWindowTest, Screenshot) {
  TfrmMailSend* w = Window();
  w->resize(640, 520);
  w->edtTo->setText(QStringLiteral("taro@example.jp"));
  w->edtCC->setText(QStringLiteral("hanako@example.jp"));
  w->edtSubject->setText(QString::fromUtf8("週末の写真"));
  w->LoadBody(Sjis("こんにちは。\r\n週末の写真を送ります。\r\n\r\nまた連絡します。"), true);
  qvtest::WriteFile(mail.tmp() / "写真.bmp", BitmapBytes(96, 72));
  ASSERT_TRUE(w->AddAttachmentFile(mail.tmp() / "写真.bmp", {}));
  EXPECT_EQ(w->Attachments()[0].name, Sjis("写真.bmp"));
  qvtest::WriteFile(mail.tmp() / "memo.txt", "memo\r\n");
  ASSERT_TRUE(w->AddAttachmentFile(mail.tmp() / "memo.txt", {}));
  QApplication::processEvents();
  ASSERT_TRUE(w->grab().save(QString::fromStdString(qvtest::ArtifactPath("mail-compose.png").string())));
}
