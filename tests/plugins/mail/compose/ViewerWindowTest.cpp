// The mail viewer: a stored mail shown read-only, answered, forwarded,
// deleted, its attachments saved and its addresses handed to the host.
#include "plugins/mail/compose/QvMailReceiveFRM.h"

#include "controls/ImageList.h"
#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "core/data/TextFunctions.h"
#include "plugins/mail/editor/KMailEdit.h"
#include "plugins/mail/compose/MailAttachView.h"
#include "core/ui/Dialogs.h"
#include "plugins/mail/compose/QvMailSendFRM.h"
#include "core/data/StoredMail.h"

#include "MailComposeTestSupport.h"
#include "MailTestSupport.h"
#include "QtPump.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

using namespace qv;
using composetest::BitmapBytes;
using composetest::HostRecorder;
using composetest::ListWindow;
using mailtest::LiveMails;
using qvtest::Sjis;

namespace {

const std::string& Inbox() { return qv::FixedFolderName(qv::FixedFolder::Received); }
const std::string& Trash() { return qv::FixedFolderName(qv::FixedFolder::Trash); }

// A received e-mail in the centre's form with a picture, a text and a file.
std::string CentreMail(const std::string& body = "Hello,\r\nsee the pictures.\r\n") {
  return "From: Sender <sender@example.jp>\r\n"
         "To: me@example.jp, friend@example.jp (" + Sjis("友人") + ")\r\n"
         "CC: cc@example.jp\r\n"
         "Reply-to: reply@example.jp\r\n"
         "Subject: " + Sjis("写真です") + "\r\n"
         "Date: 2024/05/06 07:08:09\r\n"
         "Content-Type: Multipart/Mixed;Boundary=\"bb\"\r\n\r\n"
         "--bb\r\nContent-Type: Text/Plain\r\n\r\n" + body +
         "--bb\r\nContent-Type: Application/Octet-stream;Name=\"view.bmp\"\r\nContent-Transfer-Encoding: Base64\r\n"
         "\r\n" + qv::Base64Encode(BitmapBytes(48, 32)) + "\r\n"
         "--bb\r\nContent-Type: Text/Plain;Name=\"../../escape.txt\"\r\n\r\nnote\r\n"
         "--bb\r\nContent-Type: Audio/X-KdxMidi;Name=\"tone.dxm\"\r\nContent-Transfer-Encoding: Base64\r\n\r\n"
         "TUNERg==\r\n"
         "--bb--\r\n";
}

class ViewerWindowTest : public ::testing::Test, protected composetest::DialogRecorder {
 protected:
  void SetUp() override {
    saveFolder = mail.tmp() / "saved";
    std::filesystem::create_directories(*saveFolder);
  }
  void TearDown() override { composetest::DeleteMailWindows(); }

  TfrmMailReceive* Viewer(const std::string& text, bool email = true) {
    auto* v = new TfrmMailReceive;
    v->SetRetryPolicy(mailtest::Quick());
    v->SetEMail(email);
    v->LoadStoredMail(text, false);
    v->show();
    QApplication::setActiveWindow(v);
    EXPECT_TRUE(QTest::qWaitForWindowActive(v));
    return v;
  }

  static std::vector<TfrmMailSend*> ComposeWindows() {
    std::vector<TfrmMailSend*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* f = qobject_cast<TfrmMailSend*>(w)) out.push_back(f);
    return out;
  }

  mailtest::MailDir mail;
  HostRecorder host;
  ListWindow list;
};

}  // namespace

TEST_F(ViewerWindowTest, ShowsTheFieldsBodyAndAttachments) {
  TfrmMailReceive* v = Viewer(CentreMail());
  EXPECT_EQ(v->edtFrom->text(), QStringLiteral("sender@example.jp"));
  EXPECT_EQ(v->edtTo->text(), QString::fromUtf8("me@example.jp,friend@example.jp(友人)"));
  EXPECT_EQ(v->edtCC->text(), QStringLiteral("cc@example.jp"));
  EXPECT_EQ(v->edtSubject->text(), QString::fromUtf8("写真です"));
  EXPECT_EQ(v->edtDate->text(), QStringLiteral("2024/05/06 07:08:09"));
  EXPECT_TRUE(v->pnlCC->isVisible());
  EXPECT_FALSE(v->pnlBCC->isVisible());
  EXPECT_TRUE(v->pnlDate->isVisible());
  EXPECT_EQ(v->KMailEdit1->GetPlainText(), "Hello,\r\nsee the pictures.");
  EXPECT_TRUE(v->KMailEdit1->GetPreview());
  ASSERT_EQ(v->Attachments().Count(), 3u);
  EXPECT_EQ(v->lsvAttach->count(), 3);
  EXPECT_EQ(v->Attachments()[0].icon, kIconPicture);
  EXPECT_FALSE(v->Attachments()[0].broken);
  EXPECT_EQ(v->Attachments()[2].icon, kIconRingtone);
  EXPECT_EQ(v->Attachments()[2].bytes, "MCDF");
  // A mail without date, CC or BCC shows only the panels it needs.
  TfrmMailReceive* plain = Viewer("From: 09011112222\r\nTo: 09033334444\r\nSubject: s\r\n\r\nbody\r\n", false);
  EXPECT_FALSE(plain->pnlCC->isVisible());
  EXPECT_FALSE(plain->pnlDate->isVisible());
  EXPECT_LT(plain->pnlHead->height(), v->pnlHead->height());
  EXPECT_FALSE(plain->lsvAttach->isVisible());
}

TEST_F(ViewerWindowTest, SavedAttachmentsStayInTheChosenFolder) {
  TfrmMailReceive* v = Viewer(CentreMail());
  v->lsvAttach->clearSelection();
  for (int r = 0; r < 3; ++r) v->lsvAttach->item(r)->setSelected(true);
  v->actAttachSave->trigger();
  ASSERT_EQ(savePresets.size(), 3u);
  // Only files inside the chosen folder were written, the bytes unchanged.
  size_t files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(mail.tmp().path())) {
    if (!entry.is_regular_file()) continue;
    const auto rel = entry.path().lexically_relative(mail.tmp().path());
    if (rel.begin()->string() == "app") continue;  // the launcher's folder
    EXPECT_EQ(entry.path().parent_path(), *saveFolder) << entry.path();
    ++files;
  }
  EXPECT_EQ(files, 3u);
  EXPECT_EQ(qvtest::ReadFile(*saveFolder / "view.bmp"), BitmapBytes(48, 32));
  EXPECT_EQ(qvtest::ReadFile(*saveFolder / "tone.dxm"), "MCDF");
  EXPECT_FALSE(std::filesystem::exists(mail.tmp().path().parent_path() / "escape.txt"));
}

TEST_F(ViewerWindowTest, RepliesAndForwards) {
  qv::IniWrite(qv::keys::MailAddress, "me@example.jp");
  TfrmMailReceive* v = Viewer(CentreMail());
  TfrmMailSend* reply = v->ReplyOrForward(1);
  EXPECT_TRUE(reply->IsEMail());
  EXPECT_EQ(reply->edtTo->text(), QStringLiteral("reply@example.jp"));
  EXPECT_EQ(reply->edtSubject->text(), QString::fromUtf8("Re: 写真です"));
  EXPECT_EQ(reply->KMailEdit1->GetPlainText(), "");
  EXPECT_TRUE(reply->Attachments().Empty());
  TfrmMailSend* all = v->ReplyOrForward(2);
  EXPECT_EQ(all->edtTo->text(), QStringLiteral("reply@example.jp,friend@example.jp"));
  EXPECT_EQ(all->edtCC->text(), QStringLiteral("cc@example.jp"));
  EXPECT_EQ(all->edtBCC->text(), QString());
  // A forward quotes the body and copies every attachment.
  TfrmMailSend* fw = v->ReplyOrForward(3);
  EXPECT_EQ(fw->edtTo->text(), QString());
  EXPECT_EQ(fw->edtSubject->text(), QString::fromUtf8("Fw: 写真です"));
  EXPECT_EQ(fw->KMailEdit1->GetPlainText(), "\r\n\r\nHello,\r\nsee the pictures.");
  ASSERT_EQ(fw->Attachments().Count(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(fw->Attachments()[i].name, v->Attachments()[i].name);
    EXPECT_EQ(fw->Attachments()[i].bytes, v->Attachments()[i].bytes);
  }
  EXPECT_EQ(fw->lsvAttach->count(), 3);
  EXPECT_TRUE(host.params.empty());
  // With Excerpt and QuoteMark a reply quotes too; a long quote is cut and told.
  qv::IniWrite(qv::keys::Excerpt, "1");
  qv::IniWrite(qv::keys::QuoteMark, "1");
  qv::IniWrite(qv::keys::BCCAddSelf, "1");
  TfrmMailReceive* longer = Viewer(CentreMail(std::string(3000, 'q') + "\r\n"));
  TfrmMailSend* quoted = longer->ReplyOrForward(1);
  EXPECT_EQ(quoted->edtBCC->text(), QStringLiteral("me@example.jp"));
  const std::string text = quoted->KMailEdit1->GetPlainText();
  EXPECT_EQ(text.size(), 1800u);
  EXPECT_TRUE(text.starts_with("\r\n\r\n> qqq"));
  EXPECT_EQ(host.params, (std::vector<std::pair<int, int>>{{10, kWarnQuoteCut}}));
  EXPECT_EQ(ComposeWindows().size(), 4u);
}

TEST_F(ViewerWindowTest, DeleteMovesToTheTrashAndFromTheTrashForGood) {
  const std::string id = mailtest::Add(Inbox(), CentreMail());
  ASSERT_TRUE(list->SelectFolder(Inbox()));
  EXPECT_EQ(list->Model().Count(), 1);
  QPointer<TfrmMailReceive> v = Viewer(CentreMail());
  v->SetFolderName(Inbox());
  v->SetMailId(id);
  v->actDel->trigger();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(v.isNull());
  EXPECT_TRUE(LiveMails(Inbox()).empty());
  auto trash = LiveMails(Trash());
  ASSERT_EQ(trash.size(), 1u);
  EXPECT_EQ(trash[0].second, CentreMail());
  // The list window shows the folder without the mail.
  EXPECT_EQ(list->Model().Count(), 0);
  v = Viewer(trash[0].second);
  v->SetFolderName(Trash());
  v->SetMailId(trash[0].first);
  ASSERT_TRUE(list->SelectFolder(Trash()));
  EXPECT_EQ(list->Model().Count(), 1);
  v->actDel->trigger();
  EXPECT_TRUE(LiveMails(Trash()).empty());
  EXPECT_EQ(list->Model().Count(), 0);
}

TEST_F(ViewerWindowTest, AddressAtTheCaretGoesToThePhoneBookOrANewMail) {
  TfrmMailReceive* v = Viewer(CentreMail());
  v->edtTo->setFocus();
  // Inside the second entry, before its comment.
  v->edtTo->setCursorPosition(static_cast<int>(QStringLiteral("me@example.jp,frie").size()));
  QApplication::processEvents();
  EXPECT_EQ(v->edtTo->selectedText(), QStringLiteral("friend@example.jp"));
  EXPECT_TRUE(v->actTel->isEnabled());
  EXPECT_TRUE(v->actTelSend->isEnabled());
  EXPECT_FALSE(v->actBookMark->isEnabled());
  v->actTel->trigger();
  EXPECT_EQ(host.texts, (std::vector<std::pair<int, std::string>>{{3, "friend@example.jp"}}));
  v->actTelSend->trigger();
  auto windows = ComposeWindows();
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_TRUE(windows[0]->IsEMail());
  EXPECT_EQ(windows[0]->edtTo->text(), QStringLiteral("friend@example.jp"));
  // A phone number starts a direct mail; a double click picks the entry under the press.
  TfrmMailReceive* direct = Viewer("From: 090-1111-2222\r\nTo: 09033334444\r\n\r\nx\r\n", false);
  direct->edtFrom->setFocus();
  QTest::mouseDClick(direct->edtFrom, Qt::LeftButton, Qt::NoModifier, QPoint(4, direct->edtFrom->height() / 2));
  EXPECT_EQ(direct->edtFrom->selectedText(), QStringLiteral("09011112222"));
  direct->actTelSend->trigger();
  windows = ComposeWindows();
  ASSERT_EQ(windows.size(), 2u);
  TfrmMailSend* dm = windows[0]->IsEMail() ? windows[1] : windows[0];
  EXPECT_FALSE(dm->IsEMail());
  EXPECT_EQ(dm->edtTo->text(), QStringLiteral("09011112222"));
  // The subject is no address.
  direct->edtSubject->setFocus();
  QApplication::processEvents();
  EXPECT_FALSE(direct->actTel->isEnabled());
  EXPECT_FALSE(direct->actTelSend->isEnabled());
}

TEST_F(ViewerWindowTest, CopyTakesTheEditorSelectionOrTheFocusedField) {
  TfrmMailReceive* v = Viewer(CentreMail());
  v->edtSubject->setFocus();
  QApplication::processEvents();
  EXPECT_TRUE(v->actCopy->isEnabled());
  v->actCopy->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8("写真です"));
  v->KMailEdit1->setFocus();
  v->KMailEdit1->SelectAll();
  v->actCopy->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Hello,\nsee the pictures."));
  // The header lines of one attachment, by its key.
  v->lsvAttach->SelectRow(1);
  QTest::keyClick(v->lsvAttach, Qt::Key_H, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  EXPECT_EQ(infos, std::vector<std::string>{"Content-Type: Text/Plain;Name=\"../../escape.txt\"\r\n"});
}

TEST_F(ViewerWindowTest, DamagedMailsAreShown) {
  const std::string bigSubject(100 * 1024, 'S');
  const std::string cases[] = {
      "Subject: " + bigSubject + "\r\n\r\nbody\r\n",
      "Content-Type: Multipart/Mixed;Boundary=\"x\"\r\n\r\n--x\r\nContent-Type: Text/Plain\r\n\r\nopen\r\n--x\r\n"
      "Content-Type: Text/Plain;Name=\"..\"\r\n\r\nlast\r\n",
      "Content-Type: Application/Octet-stream;Name=\"p.bmp\"\r\nContent-Transfer-Encoding: Base64\r\n\r\nQk0=\r\n",
      "From: x",
      "",
  };
  for (const auto& text : cases) {
    TfrmMailReceive* v = Viewer(text);
    QApplication::processEvents();
    EXPECT_TRUE(v->isVisible());
    delete v;
  }
  TfrmMailReceive* v = Viewer(cases[1]);
  EXPECT_EQ(v->KMailEdit1->GetPlainText(), "open");
  ASSERT_EQ(v->Attachments().Count(), 1u);
  EXPECT_EQ(v->Attachments()[0].bytes, "last\r\n");
  TfrmMailReceive* picture = Viewer(cases[2]);
  ASSERT_EQ(picture->Attachments().Count(), 1u);
  EXPECT_TRUE(picture->Attachments()[0].broken);
}

TEST_F(ViewerWindowTest, Screenshot) {
  TfrmMailReceive* v = Viewer(CentreMail(Sjis("こんにちは。\r\n写真を送ります。\r\n\r\nよろしく。\r\n")));
  v->setWindowTitle(QString::fromUtf8("VeoQuorvel - Eメール受信"));
  v->resize(620, 480);
  ASSERT_TRUE(qvtest::DrainPosted());
  const QImage shot = v->grab().toImage();
  ASSERT_TRUE(shot.save(QString::fromStdString(qvtest::ArtifactPath("mail-viewer.png").string())));
  // What the picture must show: text in every heading field, the body's four
  // lines at the top of the editor and nothing below them, the attachment
  // list's three icons in their colours, each with its name under it.
  auto inWindow = [&](QWidget* w) { return QRect(w->mapTo(v, QPoint(0, 0)), w->size()).adjusted(3, 3, -3, -3); };
  auto count = [&](const QRect& r, auto&& pred) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) n += pred(QColor(shot.pixel(x, y)));
    return n;
  };
  auto dark = [](const QColor& c) { return qGray(c.rgb()) < 96; };
  auto coloured = [](const QColor& c) { return c.hsvSaturation() > 100 && c.value() > 60; };
  for (QWidget* field : {static_cast<QWidget*>(v->edtFrom), static_cast<QWidget*>(v->edtTo),
                         static_cast<QWidget*>(v->edtCC), static_cast<QWidget*>(v->edtSubject),
                         static_cast<QWidget*>(v->edtDate)})
    EXPECT_GT(count(inWindow(field), dark), 30) << field->objectName().toStdString();
  QRect text = inWindow(v->KMailEdit1);
  text.setWidth(text.width() * 9 / 10);  // not the scroll bar
  const int lineHeight = QFontMetrics(v->KMailEdit1->font()).height();
  const QRect lines(text.left(), text.top(), text.width(), lineHeight * 4);
  const QRect below(text.left(), text.top() + lineHeight * 5, text.width(), text.height() - lineHeight * 5);
  EXPECT_GT(count(lines, dark), 200) << "the body's lines";
  EXPECT_EQ(count(below, dark), 0) << "nothing below the body";
  const QRect list = inWindow(v->lsvAttach);
  EXPECT_GT(count(list, coloured), 40) << "the icons in their colours";
  for (int r = 0; r < 3; ++r) {
    const QRect item = v->lsvAttach->visualItemRect(v->lsvAttach->item(r))
                           .translated(v->lsvAttach->viewport()->mapTo(v, QPoint(0, 0)))
                           .intersected(list);
    EXPECT_GT(count(item, dark), 8) << "item " << r << " has its name";
  }
}
