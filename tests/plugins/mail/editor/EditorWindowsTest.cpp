// The editor in its hosts: a decorated mail written in the compose window
// (a colour swatch, blinking, a pictogram, a picture attachment dropped on
// the text) is stored and the viewer shows it the same; in the viewer a
// clicked address is the one handed on.
#include "plugins/mail/editor/KMailEdit.h"
#include "plugins/mail/compose/MailAttachView.h"
#include "plugins/mail/compose/QvMailReceiveFRM.h"
#include "plugins/mail/compose/QvMailSendFRM.h"

#include "controls/MultiButton.h"
#include "core/ui/QtText.h"

#include "EditorTestSupport.h"
#include "MailComposeTestSupport.h"
#include "MailTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

using namespace qv;
using composetest::HostRecorder;
using composetest::ListWindow;
using qvtest::Sjis;

namespace {

const std::string& Drafts() { return qv::FixedFolderName(qv::FixedFolder::Drafts); }

class EditorWindowsTest : public ::testing::Test, protected composetest::DialogRecorder {
 protected:
  void SetUp() override {
    list->lstPictext = {"HEART=\xF0\x40", "STAR=\xF0\x41"};
    list->imlPicText->Clear();
    list->imlPicText->Add(edittest::Heart());
    list->imlPicText->Add(edittest::Star());
  }
  void TearDown() override { composetest::DeleteMailWindows(); }

  template <typename W>
  W* Shown(W* w) {
    w->show();
    QApplication::setActiveWindow(w);
    EXPECT_TRUE(QTest::qWaitForWindowActive(w));
    return w;
  }
  static void ClickSwatch(TColorBox* box, TColor colour) {
    for (int i = 0; i < box->GetColorCodeList().size(); ++i) {
      if (box->SwatchColor(i) != colour) continue;
      QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, box->SwatchRect(i).ToQRect().center());
      return;
    }
    ADD_FAILURE() << "no swatch of that colour";
  }
  // Drags the selected attachments over the editor and drops them at a point.
  static void DropOnEditor(TfrmMailSend* w, QPoint at) {
    std::unique_ptr<AttachmentMimeData> data = w->lsvAttach->SelectionDragData();
    ASSERT_TRUE(data);
    QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w->KMailEdit1, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDragMoveEvent move(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w->KMailEdit1, &move);
    QDropEvent drop(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w->KMailEdit1, &drop);
    ASSERT_TRUE(drop.isAccepted());
  }
  static QImage EditorShot(TKMailEdit* editor, QSize size) {
    editor->clearFocus();
    editor->resize(size);
    return editor->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }

  mailtest::MailDir mail;
  HostRecorder host;
  ListWindow list;
};

}  // namespace

TEST_F(EditorWindowsTest, ADecoratedMailIsStoredAndShownTheSameInTheViewer) {
  auto* w = Shown(new TfrmMailSend);
  w->SetRetryPolicy(mailtest::Quick());
  w->resize(560, 520);
  w->edtTo->setText(QStringLiteral("taro@example.jp"));
  w->edtSubject->setText(QString::fromUtf8("飾り付きのメール"));
  QImage photo(96, 48, QImage::Format_RGB32);
  photo.fill(QColor(70, 140, 220));
  QPainter(&photo).fillRect(12, 12, 72, 24, QColor(250, 240, 120));
  qvtest::WriteFile(mail.tmp() / "photo.bmp", edittest::BitmapFile(photo));
  ASSERT_TRUE(w->AddAttachmentFile(mail.tmp() / "photo.bmp", {}));

  TKMailEdit* editor = w->KMailEdit1;
  // Both editors blink in step: their timers are the test's.
  editor->SetManualTicks(true);
  editor->setFocus();
  QTest::keyClicks(editor, QStringLiteral("Hello "));
  QInputMethodEvent commit;
  commit.setCommitString(QString::fromUtf8("世界"));
  QApplication::sendEvent(editor, &commit);
  QTest::keyClick(editor, Qt::Key_Home, Qt::ShiftModifier);
  ASSERT_TRUE(w->ColorBox1->isEnabled());
  ClickSwatch(w->ColorBox1, clRed);
  ASSERT_TRUE(w->actBlink->isEnabled());
  w->actBlink->trigger();
  EXPECT_EQ(editor->GetMarkupText(), Sjis("<BL><C=FF0000>Hello 世界</C></BL>"));
  // Back to black, not blinking, for what comes next.
  editor->setFocus();
  QTest::keyClick(editor, Qt::Key_End);
  ClickSwatch(w->ColorBox1, clBlack);
  w->actBlink->trigger();
  editor->setFocus();
  QTest::keyClick(editor, Qt::Key_Return);
  w->InsertPictograph(Sjis("絵文字選択"), 0);
  w->lsvAttach->SelectRow(0);
  DropOnEditor(w, QPoint(editor->width() - 5, editor->height() - 5));
  const std::string markup = Sjis("<BL><C=FF0000>Hello 世界</C></BL>\r\n<#HEART><IMG=\"photo.bmp\">");
  EXPECT_EQ(editor->GetMarkupText(), markup);
  EXPECT_FALSE(editor->IsPlainContent());
  // Only one picture attachment of this window is taken.
  auto other = std::make_unique<AttachmentMimeData>();
  QDragEnterEvent foreign(QPoint(5, 5), Qt::CopyAction, other.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(editor, &foreign);
  EXPECT_FALSE(foreign.isAccepted());

  w->actSave->trigger();
  auto drafts = mailtest::LiveMails(Drafts());
  ASSERT_EQ(drafts.size(), 1u);
  const std::string& stored = drafts[0].second;
  EXPECT_NE(stored.find("Content-Type: Text/X-KmailDX\r\n\r\n" + markup + "\r\n"), std::string::npos);
  EXPECT_NE(stored.find("Name=\"photo.bmp\""), std::string::npos);
  QApplication::processEvents();
  edittest::SaveArtifact(w->grab().toImage(), "kmailedit-compose.png");

  auto* v = Shown(new TfrmMailReceive);
  v->KMailEdit1->SetManualTicks(true);
  v->LoadStoredMail(stored, false);
  v->resize(560, 520);
  QApplication::processEvents();
  edittest::SaveArtifact(v->grab().toImage(), "kmailedit-viewer.png");
  EXPECT_EQ(v->KMailEdit1->GetMarkupText(), markup);
  const QImage composed = EditorShot(editor, QSize(360, 160));
  const QImage viewed = EditorShot(v->KMailEdit1, QSize(360, 160));
  EXPECT_TRUE(composed == viewed);
  EXPECT_EQ(edittest::CountColour(viewed, QColor(250, 240, 120)), 72 * 24);
  EXPECT_GT(edittest::CountNear(viewed, QColor(255, 0, 0)), 40);
  // Deleting the attachment drops its picture from the text.
  w->lsvAttach->SelectRow(0);
  w->actAttachDel->trigger();
  EXPECT_EQ(editor->GetMarkupText(), Sjis("<BL><C=FF0000>Hello 世界</C></BL>\r\n<#HEART>"));
}

TEST_F(EditorWindowsTest, AnEmptyLineTypedInANewColourIsStoredAndShownInTheViewer) {
  auto* w = Shown(new TfrmMailSend);
  w->SetRetryPolicy(mailtest::Quick());
  w->edtTo->setText(QStringLiteral("taro@example.jp"));
  TKMailEdit* editor = w->KMailEdit1;
  editor->setFocus();
  QTest::keyClicks(editor, QStringLiteral("a"));
  QTest::keyClick(editor, Qt::Key_Return);
  ClickSwatch(w->ColorBox1, clRed);
  editor->setFocus();
  QTest::keyClick(editor, Qt::Key_Return);
  QTest::keyClicks(editor, QStringLiteral("b"));
  const std::string markup = editor->GetMarkupText();
  EXPECT_EQ(markup.find("\r\n\r\n"), 1u) << markup;
  w->actSave->trigger();
  auto drafts = mailtest::LiveMails(Drafts());
  ASSERT_EQ(drafts.size(), 1u);
  auto* v = Shown(new TfrmMailReceive);
  v->LoadStoredMail(drafts[0].second, false);
  EXPECT_EQ(v->KMailEdit1->GetMarkupText(), markup) << "the empty line between a and b was lost";
}

TEST_F(EditorWindowsTest, ATagKeptAloneOnItsLineIsStoredAndShownWithItsLineBreak) {
  auto* w = Shown(new TfrmMailSend);
  w->SetRetryPolicy(mailtest::Quick());
  w->edtTo->setText(QStringLiteral("taro@example.jp"));
  const std::string markup = Sjis("<C=FF0000>上</C>\r\n<CM>\r\n<C=FF0000>下</C>");
  w->KMailEdit1->SetMarkupText(markup);
  w->actSave->trigger();
  auto drafts = mailtest::LiveMails(Drafts());
  ASSERT_EQ(drafts.size(), 1u);
  EXPECT_NE(drafts[0].second.find("\r\n\r\n" + markup + "\r\n"), std::string::npos) << drafts[0].second;
  auto* v = Shown(new TfrmMailReceive);
  v->LoadStoredMail(drafts[0].second, false);
  EXPECT_EQ(v->KMailEdit1->GetMarkupText(), markup);
  // The tag's line stays between the two lines of text.
  ASSERT_EQ(v->KMailEdit1->Document().LineCount(), 3);
}

TEST_F(EditorWindowsTest, TheViewerHandsOnTheAddressClicked) {
  auto* v = Shown(new TfrmMailReceive);
  v->LoadStoredMail("Subject: links\r\nContent-Type: Text/Plain\r\n\r\n"
                    "mail taro@example.jp\r\nweb http://example.jp/\r\nTEL:03-1234-5678\r\n",
                    false);
  v->resize(520, 420);
  QApplication::processEvents();
  TKMailEdit* editor = v->KMailEdit1;
  const int line = editor->Document().Lines()[0].height;
  auto click = [&](const char* before, int row, Qt::MouseButton button = Qt::LeftButton) {
    const QPoint at(editor->TextArea().left() + editor->TextWidth(QString::fromLatin1(before)) + 2,
                    editor->TextArea().top() + row * line + line / 2);
    QTest::mouseClick(editor, button, Qt::NoModifier, at);
    QApplication::processEvents();
  };
  click("mail t", 0);
  EXPECT_TRUE(editor->IsClickableSelection());
  EXPECT_TRUE(v->actTel->isEnabled());
  EXPECT_TRUE(v->actTelSend->isEnabled());
  EXPECT_FALSE(v->actBookMark->isEnabled());
  v->actTel->trigger();
  ASSERT_EQ(host.texts.size(), 1u);
  EXPECT_EQ(host.texts[0], std::make_pair(3, std::string("taro@example.jp")));

  click("web h", 1);
  EXPECT_FALSE(v->actTel->isEnabled());
  EXPECT_FALSE(v->actTelSend->isEnabled());
  EXPECT_TRUE(v->actBookMark->isEnabled());
  v->actBookMark->trigger();
  ASSERT_EQ(host.texts.size(), 2u);
  EXPECT_EQ(host.texts[1], std::make_pair(2, std::string("http://example.jp/")));

  // Outside any run nothing is chosen; the right button opens the menu.
  click("", 0);
  EXPECT_FALSE(v->actTel->isEnabled());
  EXPECT_FALSE(v->actBookMark->isEnabled());
  click("TEL:0", 2, Qt::RightButton);
  EXPECT_TRUE(v->popRight->isVisible());
  EXPECT_TRUE(v->actTelSend->isEnabled());
  edittest::SaveArtifact(v->grab().toImage(), "kmailedit-viewer-link.png");
  v->popRight->hide();
  v->actTelSend->trigger();
  QPointer<TfrmMailSend> compose;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (auto* c = qobject_cast<TfrmMailSend*>(top); c && c->isVisible()) compose = c;
  ASSERT_TRUE(compose);
  EXPECT_EQ(compose->edtTo->text(), QStringLiteral("0312345678"));
  EXPECT_FALSE(compose->IsEMail());
}
