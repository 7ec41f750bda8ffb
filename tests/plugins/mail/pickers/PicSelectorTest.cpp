// The pictogram picker in the compose window: double click and Enter insert
// the chosen tag, the picker stays open, and it closes once it loses the
// focus; user characters come from the mail's "OPTCHAR.DAT".
#include "plugins/mail/pickers/FFColor.h"
#include "plugins/mail/pickers/ImageListSelector.h"
#include "plugins/mail/editor/KMailEdit.h"
#include "plugins/mail/compose/MailAttachView.h"
#include "plugins/mail/compose/QvMailSendFRM.h"
#include "plugins/mail/pickers/QvPicSelectorFRM.h"

#include "controls/ImageList.h"
#include "controls/MultiButton.h"

#include "EditorTestSupport.h"
#include "MailComposeTestSupport.h"
#include "MailTestSupport.h"
#include "PanelTestSupport.h"
#include "PickersTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace qv;
using qvtest::Sjis;

namespace {

// The list window made with or without the shipped pictograph table.
class PickerFixture : public ::testing::Test, protected composetest::DialogRecorder {
 protected:
  explicit PickerFixture(bool table) : files{mail, table} {}
  void TearDown() override { composetest::DeleteMailWindows(); }

  TfrmMailSend* Compose() {
    auto* w = new TfrmMailSend;
    w->resize(560, 460);
    w->show();
    QApplication::setActiveWindow(w);
    EXPECT_TRUE(QTest::qWaitForWindowActive(w));
    return w;
  }
  // The picker the action opened, once it has the focus.
  static TfrmPicSelector* OpenPicker(TfrmMailSend* w, QAction* action) {
    EXPECT_TRUE(action->isEnabled());
    action->trigger();
    auto* picker = w->findChild<TfrmPicSelector*>();
    if (!picker) return nullptr;
    QApplication::setActiveWindow(picker);
    EXPECT_TRUE(QTest::qWaitFor([&] { return picker->ilsPictext->hasFocus(); }));
    return picker;
  }
  // Losing the focus hides the picker at once; it is freed with the
  // deferred deletions.
  static void ExpectClosedAndFreed(QPointer<TfrmPicSelector>& guard) {
    ASSERT_TRUE(guard);
    EXPECT_FALSE(guard->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
  }
  static QPoint CellCentre(TfrmPicSelector* picker, int index) {
    return picker->ilsPictext->CellRect(index).center();
  }

  mailtest::MailDir mail;
  pickertest::ShippedFiles files;
  composetest::HostRecorder host;
  composetest::ListWindow list;
};

class PickerTest : public PickerFixture {
 protected:
  PickerTest() : PickerFixture(true) {}
};

class PickerWithoutTableTest : public PickerFixture {
 protected:
  PickerWithoutTableTest() : PickerFixture(false) {}
};

}  // namespace

TEST_F(PickerTest, DoubleClickAndEnterInsertPictogramsAndThePickerStaysOpen) {
  TfrmMailSend* w = Compose();
  w->KMailEdit1->setFocus();
  QTest::keyClicks(w->KMailEdit1, QStringLiteral("Hi"));
  TfrmPicSelector* picker = OpenPicker(w, w->actPictext);
  ASSERT_TRUE(picker);
  EXPECT_EQ(picker->windowTitle(), QString::fromUtf8("絵文字選択"));
  EXPECT_EQ(picker->ilsPictext->Images(), list->imlPicText);
  EXPECT_TRUE(picker->windowFlags() & Qt::Tool);

  QTest::mouseDClick(picker->ilsPictext, Qt::LeftButton, {}, CellCentre(picker, 4));
  EXPECT_EQ(w->KMailEdit1->GetMarkupText(), "Hi<#STAR>");
  EXPECT_TRUE(picker->isVisible());
  // Enter inserts the selection; arrows move it first.
  QTest::keyClick(picker->ilsPictext, Qt::Key_Left);
  QTest::keyClick(picker->ilsPictext, Qt::Key_Return);
  EXPECT_EQ(w->KMailEdit1->GetMarkupText(), "Hi<#STAR><#CUP>");
  QTest::keyClick(picker->ilsPictext, Qt::Key_End);  // keys the grid does not take change nothing
  QTest::keyClick(picker->ilsPictext, Qt::Key_Enter);
  EXPECT_EQ(w->KMailEdit1->GetMarkupText(), "Hi<#STAR><#CUP><#CUP>");
  // The last pictogram, "!!".
  for (int i = 0; i < 30; ++i) QTest::keyClick(picker->ilsPictext, Qt::Key_Down);
  QTest::keyClick(picker->ilsPictext, Qt::Key_Return);
  EXPECT_EQ(w->KMailEdit1->GetMarkupText(), "Hi<#STAR><#CUP><#CUP><#!!>");
  EXPECT_TRUE(picker->isVisible());
  EXPECT_TRUE(w->Modified());

  // Another window taking the focus closes and frees the picker.
  QPointer<TfrmPicSelector> guard(picker);
  QApplication::setActiveWindow(w);
  ExpectClosedAndFreed(guard);
}

TEST_F(PickerTest, UserCharactersComeFromTheMailsSheet) {
  TfrmMailSend* w = Compose();
  EXPECT_FALSE(w->actUsertext->isEnabled());
  // A 96 x 24 sheet: two rows of eight characters.
  QImage sheet(96, 24, QImage::Format_RGB32);
  sheet.fill(Qt::white);
  for (int k = 0; k < 16; ++k) {
    QPainter p(&sheet);
    p.fillRect(k % 8 * 12 + 1, k / 8 * 12 + 1, 10, 10, QColor::fromHsv(k * 22, 255, 200));
  }
  qvtest::WriteFile(mail.tmp() / "OPTCHAR.DAT", edittest::BitmapFile(sheet));
  ASSERT_TRUE(w->AddAttachmentFile(mail.tmp() / "OPTCHAR.DAT", {}));
  EXPECT_EQ(w->UserTextImages()->Count(), 16);
  EXPECT_TRUE(w->actUsertext->isEnabled());

  w->KMailEdit1->setFocus();
  TfrmPicSelector* picker = OpenPicker(w, w->actUsertext);
  ASSERT_TRUE(picker);
  EXPECT_EQ(picker->windowTitle(), QString::fromUtf8("ユーザ外字選択"));
  EXPECT_EQ(picker->ilsPictext->Images(), w->UserTextImages());
  QTest::mouseDClick(picker->ilsPictext, Qt::LeftButton, {}, CellCentre(picker, 7));
  EXPECT_EQ(w->KMailEdit1->GetMarkupText(), "<?07>");
  QTest::keyClick(picker->ilsPictext, Qt::Key_Right);
  QTest::keyClick(picker->ilsPictext, Qt::Key_Right);
  QTest::keyClick(picker->ilsPictext, Qt::Key_Return);
  EXPECT_EQ(w->KMailEdit1->GetMarkupText(), "<?07><?09>");
  QPointer<TfrmPicSelector> guard(picker);
  QApplication::setActiveWindow(w);
  ExpectClosedAndFreed(guard);

  // Removing the sheet takes the characters and the action away.
  w->lsvAttach->SelectRow(0);
  w->actAttachDel->trigger();
  EXPECT_EQ(w->UserTextImages()->Count(), 0);
  EXPECT_FALSE(w->actUsertext->isEnabled());
}

TEST_F(PickerTest, InsertPictographTakesOnlyIndexesOfItsList) {
  TfrmMailSend* w = Compose();
  w->KMailEdit1->setFocus();
  w->InsertPictograph(Sjis("絵文字選択"), 95);
  w->InsertPictograph(Sjis("絵文字選択"), -1);
  w->InsertPictograph(Sjis("ユーザ外字選択"), 0);  // no user characters
  w->InsertPictograph("other", 0);
  EXPECT_EQ(w->KMailEdit1->GetMarkupText(), "");
  w->InsertPictograph(Sjis("絵文字選択"), 0);
  EXPECT_EQ(w->KMailEdit1->GetMarkupText(), "<#HEART>");
}

TEST_F(PickerWithoutTableTest, TheBuiltInNamesNameNoPictogramSoTheTagsAreEmpty) {
  const std::vector<std::string> lines = list->PicTextLines();
  ASSERT_EQ(lines.size(), 95u);
  EXPECT_EQ(lines.front(), "HEART");
  TfrmMailSend* w = Compose();
  w->KMailEdit1->setFocus();
  TfrmPicSelector* picker = OpenPicker(w, w->actPictext);
  ASSERT_TRUE(picker);
  QTest::mouseDClick(picker->ilsPictext, Qt::LeftButton, {}, CellCentre(picker, 0));
  EXPECT_EQ(w->KMailEdit1->GetMarkupText(), "<#>");
  QTest::keyClick(picker->ilsPictext, Qt::Key_Right);
  QTest::keyClick(picker->ilsPictext, Qt::Key_Return);
  EXPECT_EQ(w->KMailEdit1->GetMarkupText(), "<#><#>");
}

TEST_F(PickerTest, Screenshot) {
  TfrmMailSend* w = Compose();
  w->KMailEdit1->setFocus();
  TfrmPicSelector* picker = OpenPicker(w, w->actPictext);
  ASSERT_TRUE(picker);
  QTest::mouseClick(picker->ilsPictext, Qt::LeftButton, {}, CellCentre(picker, 12));
  const QImage shot = picker->grab().toImage();
  // The selected cell shows the highlight round its picture.
  const QRect cell = picker->ilsPictext->CellRect(12).translated(picker->ilsPictext->pos());
  EXPECT_EQ(shot.pixelColor(cell.left() + 1, cell.center().y()), picker->palette().color(QPalette::Highlight));
  EXPECT_NE(shot.pixelColor(cell.center()), picker->palette().color(QPalette::Highlight));
  ASSERT_TRUE(shot.save(QString::fromStdString(qvtest::ArtifactPath("pictogram-picker.png").string())));
}

TEST_F(PickerTest, TheColourActionsUseTheHandsetColourPicker) {
  TfrmMailSend* w = Compose();
  TKMailEdit* editor = w->KMailEdit1;
  editor->setFocus();
  QTest::keyClicks(editor, QStringLiteral("abc"));
  QTest::keyClick(editor, Qt::Key_Home, Qt::ShiftModifier);
  const int swatches = w->ColorBox1->GetColorCodeList().size();

  // Cancel: the text keeps its colour, the box its swatches.
  QString caption;
  FFLevels opened;
  bitmaptest::OnModal<TfrmFFColor>([&](TfrmFFColor& form) {
    caption = form.windowTitle();
    opened = form.Levels();
    form.SetLevels({7, 2, 0});
    form.btnCancel->click();
  });
  w->actTextColor->trigger();
  EXPECT_EQ(caption, QString::fromUtf8("文字色選択"));
  EXPECT_EQ(opened, (FFLevels{0, 0, 0}));  // the editor's font colour, black
  EXPECT_EQ(editor->GetMarkupText(), "abc");
  EXPECT_EQ(w->ColorBox1->GetColorCodeList().size(), swatches);

  // OK: the selection takes the colour and the box a swatch for it, once.
  for (int round = 0; round < 2; ++round) {
    bitmaptest::OnModal<TfrmFFColor>([](TfrmFFColor& form) {
      form.SetLevels({7, 2, 0});
      form.btnOK->click();
    });
    w->actTextColor->trigger();
  }
  EXPECT_EQ(editor->GetMarkupText(), "<C=FF4000>abc</C>");
  const QStringList codes = w->ColorBox1->GetColorCodeList();
  EXPECT_EQ(codes.size(), swatches + 1);
  EXPECT_EQ(codes.back(), QStringLiteral("$0040FF"));
  EXPECT_EQ(w->ColorBox1->SwatchColor(static_cast<int>(codes.size()) - 1), RGB(255, 64, 0));

  // The background: the editor and the swatch beside the box take it.
  w->SetModified(false);
  bitmaptest::OnModal<TfrmFFColor>([&](TfrmFFColor& form) {
    caption = form.windowTitle();
    opened = form.Levels();
    form.SetLevels({0, 0, 1});
    form.btnOK->click();
  });
  w->actBGColor->trigger();
  EXPECT_EQ(caption, QString::fromUtf8("背景色選択"));
  EXPECT_EQ(opened, (FFLevels{7, 7, 3}));  // white
  EXPECT_EQ(editor->GetColor(), RGB(0, 0, 64));
  EXPECT_EQ(w->pnlColor->palette().color(QPalette::Window), QColor(0, 0, 64));
  EXPECT_EQ(editor->GetMarkupText(), "<BODY=000000;BG=000040>\r\n<C=FF4000>abc</C>");
  EXPECT_TRUE(w->Modified());
  bitmaptest::OnModal<TfrmFFColor>([](TfrmFFColor& form) { form.btnCancel->click(); });
  w->actBGColor->trigger();
  EXPECT_EQ(editor->GetColor(), RGB(0, 0, 64));
}
