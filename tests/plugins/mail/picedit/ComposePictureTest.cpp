// The compose window's picture actions: 画像作成, 編集 on a picture or media-mix
// attachment, メディアミックス, and files dropped on the window; from the
// first click to the mail read back out of "送信予約".
#include "plugins/mail/compose/QvMailSendFRM.h"

#include "plugins/mail/picedit/EXPFileDrop.h"
#include "plugins/mail/picedit/GridPictBtn.h"
#include "plugins/mail/editor/KMailEdit.h"
#include "plugins/mail/compose/MailAttachView.h"
#include "core/data/MailForm.h"
#include "plugins/mail/compose/MailPictures.h"
#include "plugins/mail/bitmapedit/QvBitmapEditFRM.h"
#include "plugins/mail/picedit/QvMediaMixEditFRM.h"
#include "plugins/mail/picedit/QvPicEditFRM.h"
#include "plugins/mail/pickers/QvImageViewFRM.h"
#include "plugins/mail/bitmapedit/SelectButton.h"
#include "controls/Graphics.h"
#include "core/data/StoredMail.h"
#include "image/QkDIB.h"

#include "BitmapEditTestSupport.h"
#include "MailComposeTestSupport.h"
#include "MailTestSupport.h"
#include "PanelTestSupport.h"
#include "PicEditTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QUrl>

using namespace qv;
using bitmaptest::OnModal;
using qvtest::Sjis;

namespace {

const std::string& Queue() { return FixedFolderName(FixedFolder::Queued); }

class ComposePictureTest : public ::testing::Test, protected composetest::DialogRecorder {
 protected:
  void TearDown() override { composetest::DeleteMailWindows(); }

  TfrmMailSend* Window() {
    auto* w = new TfrmMailSend;
    w->SetRetryPolicy(mailtest::Quick());
    w->show();
    QApplication::setActiveWindow(w);
    EXPECT_TRUE(QTest::qWaitForWindowActive(w));
    return w;
  }
  // Near the left edge, where a check box's box is.
  static void Click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
  }
  // The grid cell that shows page (0-5).
  static void ClickPage(TfrmPicEdit& form, int page) {
    QTest::mouseClick(form.grdPicture, Qt::LeftButton, {}, form.grdPicture->CellRect(page / 3, page % 3).center());
  }

  mailtest::MailDir mail;
  composetest::HostRecorder host;
  composetest::ListWindow list;
};

TEST_F(ComposePictureTest, ADrawnSixPagePictureAndAMediaMixAreQueuedAndReadBackTheSame) {
  answer = Answer::Yes;  // to the six-page question
  QPointer<TfrmMailSend> w = Window();
  ASSERT_TRUE(w->actPicEdit->isEnabled());
  ASSERT_TRUE(w->actMediaMix->isEnabled());
  w->edtTo->setFocus();
  QTest::keyClicks(w->edtTo, QStringLiteral("taro@example.jp"));
  w->KMailEdit1->setFocus();
  QTest::keyClicks(w->KMailEdit1, QStringLiteral("pages"));

  QImage opened;
  OnModal<TfrmPicEdit>([&](TfrmPicEdit& form) {
    opened = form.Picture();
    Click(form.chkDiv6);
    Click(form.chkCBMP);
    ClickPage(form, 1);
    Click(form.btnSlide);
    ClickPage(form, 3);
    Click(form.btnSlide);
    ClickPage(form, 4);
    Click(form.btnVoid);
    // Page 1 filled black in the bitmap editor.
    ClickPage(form, 0);
    OnModal<TfrmBitmapEdit>([](TfrmBitmapEdit& editor) {
      editor.ChooseTool(editor.sbPaint, 0);
      bitmaptest::Click(editor.UserDrawPanel, {5, 5});
      QTest::mouseClick(editor.btnOK, Qt::LeftButton);
    });
    Click(form.btnEdit);
    Click(form.btnOK);
  });
  w->actPicEdit->trigger();
  EXPECT_EQ(opened.size(), QSize(96, 72));
  EXPECT_EQ(bitmaptest::CountColor(opened, clWhite), 96 * 72);
  ASSERT_EQ(w->Attachments().Count(), 1u);
  const MailAttachment picture = w->Attachments()[0];
  const std::string pageLines = "X-KmailDX-Info: DIV6\r\nX-KmailDX-CBMP: PAGE=6;PLAIN(96,43);SLIDE(96,43)=3;VOID;PLAIN(96,43)";
  EXPECT_EQ(picture.name, "notitle.bmp");
  EXPECT_EQ(picture.headers, pageLines);
  EXPECT_EQ(picture.icon, kIconDiv6);
  EXPECT_TRUE(w->Modified());
  QImage drawn;
  ASSERT_TRUE(LoadAttachmentBitmap(picture.bytes, drawn));
  EXPECT_EQ(drawn.size(), QSize(192, 130));
  EXPECT_EQ(bitmaptest::CountColor(drawn.copy(0, 0, 96, 43), clBlack), 96 * 43);
  EXPECT_EQ(bitmaptest::CountColor(drawn.copy(96, 0, 96, 130), clWhite), 96 * 130);

  OnModal<TfrmMediaMixEdit>([](TfrmMediaMixEdit& form) {
    form.cmbTime->setCurrentIndex(5);
    form.cmbImage->setCurrentIndex(1);
    form.edtText->setFocus();
    QTest::keyClicks(form.edtText, QStringLiteral("look, pages"));
    QTest::keyClick(form.edtText, Qt::Key_Return);
    form.cmbImageCount->setCurrentIndex(1);
    Click(form.btnOK);
  });
  w->actMediaMix->trigger();
  ASSERT_EQ(w->Attachments().Count(), 2u);
  const std::string script = "Type=Promotion; Image=1; Sound=0\r\n000.0,0,\r\n002.5,1,look, pages\r\n";
  // Before the picture, so that picture 1 is the one drawn.
  EXPECT_EQ(w->Attachments()[0].name, "mmctrl.dat");
  EXPECT_EQ(w->Attachments()[0].bytes, script);
  EXPECT_EQ(w->Attachments()[0].icon, kIconMediaMix);
  EXPECT_EQ(w->Attachments()[1].name, "notitle.bmp");

  w->actSendReserve->trigger();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(w.isNull());
  const auto queued = mailtest::LiveMails(Queue());
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_NE(queued[0].second.find("X-KmailDX-CBMP: PAGE=6;PLAIN(96,43);SLIDE(96,43)=3;VOID;PLAIN(96,43)\r\n"),
            std::string::npos);

  StoredMailFields fields;
  AttachmentList back;
  ParseStoredMail(queued[0].second, fields, &back, nullptr);
  ASSERT_EQ(back.Count(), 2u);
  EXPECT_EQ(back[1].name, "notitle.bmp");
  EXPECT_EQ(back[1].bytes, picture.bytes);
  EXPECT_EQ(back[1].headers, pageLines);
  EXPECT_EQ(back[0].bytes, script);
  EXPECT_EQ(ParseMediaMixText(back[0].bytes).events, ParseMediaMixText(script).events);

  // The pages the stored picture describes are the ones drawn: the page
  // editor opened on it shows the same kinds, sizes and pixels.
  const TDXPictureInfo info = ParseDXHeaders(192, 130, back[1].headers);
  EXPECT_TRUE(info.IsDiv6);
  EXPECT_EQ(info.Panes[1].Kind, kPaneSlide);
  EXPECT_EQ(info.Panes[1].SlideCount, 3);
  EXPECT_EQ(info.Panes[4].Kind, kPaneVoid);
  TfrmPicEdit again;
  QImage stored;
  ASSERT_TRUE(LoadAttachmentBitmap(back[1].bytes, stored));
  again.SetPicture(stored);
  again.SetPartHeaders(back[1].headers);
  EXPECT_EQ(again.GetPartHeaders(), pageLines);
  for (int page = 0; page < kPageCount; ++page)
    EXPECT_EQ(again.Picture().copy(PageArea(page)).convertToFormat(QImage::Format_RGB32),
              drawn.copy(PageArea(page)).convertToFormat(QImage::Format_RGB32))
        << page + 1;
}

TEST_F(ComposePictureTest, EditingAnAttachmentReplacesItsBytesLinesAndIcon) {
  TfrmMailSend* w = Window();
  w->Attachments().Insert(composetest::Attachment("photo.bmp", composetest::BitmapBytes(192, 130)));
  w->Attachments().Insert(composetest::Attachment("note.txt", "text"));
  w->Attachments().Insert(composetest::Attachment("MMCTRL.DAT", "Type=Karaoke; Image=0; Sound=1\r\n001.0,0,la\r\n"));
  w->AttachmentsChanged();
  w->KMailEdit1->SetMarkupText("<IMG=\"photo.bmp\">");
  w->SetModified(false);

  // Only one picture or media-mix attachment can be edited.
  w->lsvAttach->SelectRow(1);
  EXPECT_FALSE(w->actAttachEdit->isEnabled());
  w->lsvAttach->item(0)->setSelected(true);
  EXPECT_FALSE(w->actAttachEdit->isEnabled());
  w->lsvAttach->SelectRow(0);
  ASSERT_TRUE(w->actAttachEdit->isEnabled());

  // Cancel changes nothing.
  OnModal<TfrmPicEdit>([](TfrmPicEdit& form) { Click(form.btnCancel); });
  w->actAttachEdit->trigger();
  EXPECT_FALSE(w->Modified());
  EXPECT_EQ(w->Attachments()[0].bytes, composetest::BitmapBytes(192, 130));

  auto blackInEditor = [w] {
    return bitmaptest::CountColor(w->KMailEdit1->grab().toImage().convertToFormat(QImage::Format_RGB32), clBlack);
  };
  const int blackBefore = blackInEditor();
  OnModal<TfrmPicEdit>([](TfrmPicEdit& form) {
    EXPECT_FALSE(form.PageMode());
    Click(form.chkAnimation);
    form.cmbPageCount->setCurrentText(QStringLiteral("3"));
    OnModal<TfrmBitmapEdit>([](TfrmBitmapEdit& editor) {
      editor.UserDrawPanel->SetBitmap(picedittest::Filled(192, 130, qRgb(0, 0, 0)));
      QTest::mouseClick(editor.btnOK, Qt::LeftButton);
    });
    QTest::mouseClick(form.btnEdit, Qt::LeftButton);
    Click(form.btnOK);
  });
  w->actAttachEdit->trigger();
  // The editor shows the picture as it is now.
  EXPECT_GT(blackInEditor(), blackBefore + 192 * 130 / 2);
  const MailAttachment& edited = w->Attachments()[0];
  EXPECT_EQ(edited.headers, "X-KmailDX-Animation: Page=3;Wait=0.5;Loop=0.5");
  EXPECT_EQ(edited.icon, kIconAnimation);
  EXPECT_NE(edited.bytes, composetest::BitmapBytes(192, 130));
  QImage picture;
  ASSERT_TRUE(LoadAttachmentBitmap(edited.bytes, picture));
  EXPECT_EQ(picture.format(), QImage::Format_Indexed8);
  EXPECT_TRUE(w->Modified());
  EXPECT_EQ(w->lsvAttach->item(0)->text(), QStringLiteral("photo.bmp"));

  // Opened again, the editor starts from those lines.
  bool animation = false;
  OnModal<TfrmPicEdit>([&](TfrmPicEdit& form) {
    animation = form.AnimationMode() && form.cmbPageCount->currentText() == QStringLiteral("3");
    Click(form.btnCancel);
  });
  w->actAttachEdit->trigger();
  EXPECT_TRUE(animation);

  // The media-mix attachment opens the media-mix editor on its text, and
  // stays the one attachment of its kind.
  w->SetModified(false);
  w->lsvAttach->SelectRow(2);
  std::string loaded;
  OnModal<TfrmMediaMixEdit>([&](TfrmMediaMixEdit& form) {
    loaded = form.GetControlText();
    form.radPromotion->setChecked(true);
    Click(form.btnOK);
  });
  w->actAttachEdit->trigger();
  EXPECT_EQ(loaded, "Type=Karaoke; Image=0; Sound=1\r\n001.0,0,la\r\n");
  ASSERT_EQ(w->Attachments().Count(), 3u);
  EXPECT_EQ(w->Attachments()[2].name, "MMCTRL.DAT");
  EXPECT_EQ(w->Attachments()[2].bytes, "Type=Promotion; Image=0; Sound=1\r\n001.0,0,la\r\n");
  EXPECT_TRUE(w->Modified());
}

TEST_F(ComposePictureTest, ANewMediaMixIsMadeOnceAndCancelLeavesTheMail) {
  TfrmMailSend* w = Window();
  OnModal<TfrmMediaMixEdit>([](TfrmMediaMixEdit& form) { Click(form.btnCancel); });
  w->actMediaMix->trigger();
  EXPECT_TRUE(w->Attachments().Empty());
  EXPECT_FALSE(w->Modified());
  for (int i = 0; i < 2; ++i) {
    OnModal<TfrmMediaMixEdit>([](TfrmMediaMixEdit& form) { Click(form.btnOK); });
    w->actMediaMix->trigger();
  }
  ASSERT_EQ(w->Attachments().Count(), 1u);
  EXPECT_EQ(w->Attachments()[0].bytes, "Type=Promotion; Image=0; Sound=0\r\n000.0,0,\r\n");
  EXPECT_TRUE(w->Modified());
}

// A one-colour picture as the bytes of a bitmap file.
std::string SolidBitmap(QRgb colour) {
  TQkDIB dib;
  dib.Assign(picedittest::Filled(96, 72, colour));
  std::ostringstream out(std::ios::binary);
  dib.SaveToStream(out);
  return out.str();
}

TEST_F(ComposePictureTest, AMediaMixMadeHerePlaysWithThePicturesOfTheMail) {
  TfrmMailSend* w = Window();
  w->edtTo->setFocus();
  QTest::keyClicks(w->edtTo, QStringLiteral("taro@example.jp"));
  w->Attachments().Insert(composetest::Attachment("note.txt", "text"));
  w->Attachments().Insert(composetest::Attachment("red.bmp", SolidBitmap(qRgb(230, 30, 30))));
  w->Attachments().Insert(composetest::Attachment("blue.bmp", SolidBitmap(qRgb(30, 60, 230))));
  w->AttachmentsChanged();
  OnModal<TfrmMediaMixEdit>([](TfrmMediaMixEdit& form) {
    auto add = [&form](int step, int picture, const char* text) {
      form.cmbTime->setCurrentIndex(step);
      form.cmbImage->setCurrentIndex(picture);
      form.edtText->setText(QString::fromLatin1(text));
      QTest::keyClick(form.edtText, Qt::Key_Return);
    };
    add(0, 1, "red");
    add(2, 2, "blue");
    form.cmbImageCount->setCurrentIndex(2);
    Click(form.btnOK);
  });
  w->actMediaMix->trigger();
  EXPECT_EQ(w->Attachments().Captions(), (std::vector<std::string>{"note.txt", "mmctrl.dat", "red.bmp", "blue.bmp"}));

  // Queued and read back, the control plays with its pictures.
  w->actSendReserve->trigger();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  const auto queued = mailtest::LiveMails(Queue());
  ASSERT_EQ(queued.size(), 1u);
  StoredMailFields fields;
  AttachmentList back;
  ParseStoredMail(queued[0].second, fields, &back, nullptr);
  const int control = back.Find("mmctrl.dat");
  ASSERT_EQ(control, 1);
  int64_t now = 0;
  TfrmImageView view;
  view.SetManualTicks(true);
  view.SetClock([&now] { return now; });
  view.SetAttachList(&back);
  view.SetAttachIndex(control);
  view.resize(360, 300);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  EXPECT_EQ(view.Pages(), (std::vector<std::string>{"<IMG=\"red.bmp\">\r\nred", "<IMG=\"blue.bmp\">\r\nblue"}));
  auto count = [&view](QRgb colour) {
    return bitmaptest::CountColor(view.KMailEdit1->grab().toImage().convertToFormat(QImage::Format_RGB32),
                                  ColorFromQColor(QColor(colour)));
  };
  EXPECT_EQ(view.Times(), (std::vector<int>{0, 1000}));
  view.actPlay->trigger();
  EXPECT_TRUE(view.Playing());
  EXPECT_EQ(count(qRgb(230, 30, 30)), 96 * 72);
  now = 1200;
  view.TickMM();
  ASSERT_EQ(view.PageIndex(), 1);
  EXPECT_EQ(count(qRgb(30, 60, 230)), 96 * 72);
  EXPECT_EQ(count(qRgb(230, 30, 30)), 0);
  ASSERT_TRUE(view.grab().toImage().save(QString::fromStdString(qvtest::ArtifactPath("mediamix-played.png").string())));
}

TEST_F(ComposePictureTest, FilesDroppedOnTheWindowAreAttachedByTheirFullPaths) {
  TfrmMailSend* w = Window();
  auto* drop = w->findChild<TEXPFileDrop*>();
  ASSERT_NE(drop, nullptr);
  EXPECT_EQ(drop->Target(), w);
  // A folder deeper than 254 characters.
  std::filesystem::path deep = mail.tmp().path();
  while (deep.string().size() < 300) deep /= std::string(40, 'f');
  std::filesystem::create_directories(deep);
  const std::filesystem::path far = deep / "far.txt";
  qvtest::WriteFile(far, "far");
  qvtest::WriteFile(mail.tmp() / "near.txt", "near");
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(far.string())),
                QUrl::fromLocalFile(QString::fromStdString((mail.tmp() / "near.txt").string()))});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &dropped);
  ASSERT_EQ(w->Attachments().Count(), 2u);
  EXPECT_EQ(w->Attachments()[0].name, "far.txt");
  EXPECT_EQ(w->Attachments()[0].bytes, "far");
  EXPECT_EQ(w->Attachments()[1].bytes, "near");
  EXPECT_TRUE(infos.empty());
  EXPECT_TRUE(w->Modified());
}

}  // namespace
