// The picture editor window through QTest: opening through the component
// with its limits, the tools and palette, the commands and their files, and
// screenshots for review.
#include "plugins/mail/bitmapedit/QvBitmapEditFRM.h"

#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "core/ui/Dialogs.h"
#include "plugins/mail/bitmapedit/SelectButton.h"

#include "BitmapEditTestSupport.h"
#include "SpecialFiles.h"
#include "PanelTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace qv;
using namespace bitmaptest;
using P = TUserDrawPanel;
namespace fs = std::filesystem;

namespace {

// Runs act on the editor window once Execute has shown it.
void OnEditor(std::function<void(TfrmBitmapEdit&)> act) { OnModal<TfrmBitmapEdit>(std::move(act)); }

class BitmapEditDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMessageBoxHandler([this](BoxKind kind, const std::string& text) {
      boxes_.push_back(ToQString(text));
      kinds_.push_back(kind);
    });
    DialogHandlers handlers;
    handlers.openIn = [this](const fs::path& folder, const std::string& filter) {
      openFolders_.push_back(folder);
      filters_.push_back(filter);
      return nextOpen_;
    };
    handlers.save = [this](const fs::path& path, const std::string& filter) {
      saveFolders_.push_back(path);
      filters_.push_back(filter);
      return nextSave_;
    };
    handlers.font = [this](const QFont&) { return nextFont_; };
    SetDialogHandlers(handlers);
  }
  void TearDown() override {
    SetMessageBoxHandler({});
    SetDialogHandlers({});
  }
  std::unique_ptr<TfrmBitmapEdit> Form(const QImage& picture) {
    auto form = std::make_unique<TfrmBitmapEdit>();
    form->SetPicture(picture);
    form->ChooseTool(form->sbSelect, 0);
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    return form;
  }
  fs::path WriteBitmap(const std::string& name, const QImage& picture) {
    const fs::path path = dir_ / name;
    EXPECT_TRUE(SavePictureFile(path, picture));
    return path;
  }

  qvtest::TempDir dir_;
  std::vector<QString> boxes_;
  std::vector<BoxKind> kinds_;
  std::vector<fs::path> openFolders_, saveFolders_;
  std::vector<std::string> filters_;
  std::optional<fs::path> nextOpen_, nextSave_;
  std::optional<QFont> nextFont_;
};

TEST_F(BitmapEditDialogTest, ALargerPictureOpensCutNotScaled) {
  const QImage big = Numbered(300, 200);
  TUserDrawDialog dialog;
  dialog.SetBitMap(big);
  QSize shown;
  OnEditor([&](TfrmBitmapEdit& form) {
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("画像編集"));
    shown = form.UserDrawPanel->GetBitmap().size();
    EXPECT_TRUE(form.sbSelect->GetDown());
    EXPECT_EQ(form.UserDrawPanel->GetDrawType(), P::mdtNone);
    EXPECT_TRUE(form.UserDrawPanel->CanUndo());
    EXPECT_EQ(form.UserDrawPanel->GetUndoBitmap(), form.UserDrawPanel->GetBitmap());
    form.btnOK->click();
  });
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(shown, QSize(192, 130));
  EXPECT_EQ(dialog.GetBitMap().size(), QSize(192, 130));
  EXPECT_EQ(dialog.GetBitMap().convertToFormat(QImage::Format_RGB32), big.copy(0, 0, 192, 130));
}

TEST_F(BitmapEditDialogTest, AnEmptyPictureOpensAtTheLimits) {
  TUserDrawDialog dialog;
  dialog.SetMaxWidth(96);
  dialog.SetMaxHeight(43);
  OnEditor([](TfrmBitmapEdit& form) { form.btnOK->click(); });
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(dialog.GetBitMap().size(), QSize(96, 43));
  EXPECT_EQ(CountColor(dialog.GetBitMap(), clWhite), 96 * 43);

  TUserDrawDialog defaults;
  OnEditor([](TfrmBitmapEdit& form) { form.btnOK->click(); });
  ASSERT_TRUE(defaults.Execute());
  EXPECT_EQ(defaults.GetBitMap().size(), QSize(192, 130));
}

TEST_F(BitmapEditDialogTest, CancelLeavesTheBitmap) {
  TUserDrawDialog dialog;
  const QImage picture = Numbered(40, 30);
  dialog.SetBitMap(picture);
  OnEditor([](TfrmBitmapEdit& form) {
    form.ChooseTool(form.sbRect, 2);
    Drag(form.UserDrawPanel, {{1, 1}, {30, 20}});
    form.btnCancel->click();
  });
  EXPECT_FALSE(dialog.Execute());
  EXPECT_EQ(dialog.GetBitMap(), picture);
}

TEST_F(BitmapEditDialogTest, OkPutsAFloatingSelectionDown) {
  TUserDrawDialog dialog;
  dialog.SetBitMap(White(20, 10));
  OnEditor([](TfrmBitmapEdit& form) {
    form.UserDrawPanel->PlaceBitmap(FromRows({"##", "##"}));
    ASSERT_TRUE(form.UserDrawPanel->Floating());
    form.btnOK->click();
  });
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(CountColor(dialog.GetBitMap(), clBlack), 4);
}

TEST_F(BitmapEditDialogTest, OptionHidesToolsAndTheirFields) {
  TUserDrawDialog dialog;
  dialog.SetOption(TBmpEditOption(TUserDrawDialog::kAllOptions) & ~TBmpEditOption(TUserDrawDialog::beText) &
                   ~TBmpEditOption(TUserDrawDialog::beStamp));
  OnEditor([](TfrmBitmapEdit& form) {
    EXPECT_FALSE(form.sbText->isVisible());
    EXPECT_FALSE(form.edtText->isVisible());
    EXPECT_FALSE(form.sbStamp->isVisible());
    EXPECT_FALSE(form.imgStamp->isVisible());
    EXPECT_TRUE(form.sbZoom->isVisible());
    EXPECT_TRUE(form.sbSelect->isVisible());
    EXPECT_TRUE(form.sbLineWidth->isVisible());
    // The shown buttons close up: zoom follows the ellipse directly.
    EXPECT_EQ(form.sbZoom->y() - form.sbEllipse->y(), form.sbEllipse->y() - form.sbRect->y());
    form.btnCancel->click();
  });
  dialog.Execute();
}

TEST_F(BitmapEditDialogTest, ColoursAndOwnerForm) {
  QWidget owner;
  QPalette palette = owner.palette();
  palette.setColor(QPalette::Window, QColor(10, 200, 30));
  owner.setPalette(palette);
  TUserDrawDialog dialog(&owner);
  dialog.SetDownButtonColor(clRed);
  dialog.SetWorkColor(clBlue);
  OnEditor([](TfrmBitmapEdit& form) {
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(10, 200, 30));
    EXPECT_EQ(form.sbPen->GetDownColor(), clRed);
    EXPECT_EQ(form.scbWork->viewport()->palette().color(QPalette::Window), QColor(0, 0, 255));
    form.btnCancel->click();
  });
  dialog.Execute();

  dialog.SetParentColor(false);
  dialog.SetColor(RGB(1, 2, 3));
  OnEditor([](TfrmBitmapEdit& form) {
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(1, 2, 3));
    form.btnCancel->click();
  });
  dialog.Execute();
}

TEST_F(BitmapEditDialogTest, TheFontsColourIsTheWindowsTextColour) {
  // The component's own font, colour and all.
  TUserDrawDialog dialog;
  dialog.SetParentFont(false);
  TFont font = dialog.GetFont();
  font.Font.setPixelSize(15);
  font.Color = RGB(200, 0, 0);
  dialog.SetFont(font);
  OnEditor([](TfrmBitmapEdit& form) {
    EXPECT_EQ(form.font().pixelSize(), 15);
    EXPECT_EQ(form.palette().color(QPalette::WindowText), QColor(200, 0, 0));
    EXPECT_EQ(form.lblText->palette().color(QPalette::WindowText), QColor(200, 0, 0));
    const QImage label = form.lblText->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int red = 0;
    for (int y = 0; y < label.height(); ++y)
      for (int x = 0; x < label.width(); ++x) {
        const QRgb c = label.pixel(x, y);
        red += qRed(c) > 150 && qGreen(c) < 90 && qBlue(c) < 90;
      }
    EXPECT_GT(red, 10);
    EXPECT_TRUE(
        form.grab().toImage().save(QString::fromStdString(qvtest::ArtifactPath("bitmap-editor-font-colour.png").string())));
    form.btnCancel->click();
  });
  dialog.Execute();
  // With the owner's font, the owner's text colour.
  QWidget owner;
  QPalette palette = owner.palette();
  palette.setColor(QPalette::WindowText, QColor(0, 120, 0));
  owner.setPalette(palette);
  TUserDrawDialog owned(&owner);
  OnEditor([](TfrmBitmapEdit& form) {
    EXPECT_EQ(form.lblText->palette().color(QPalette::WindowText), QColor(0, 120, 0));
    form.btnCancel->click();
  });
  owned.Execute();
}

TEST_F(BitmapEditDialogTest, PaletteTurnsGreyForAOneBitPicture) {
  auto form = Form(White(20, 10));
  QStringList colours = form->PaletteCodes();
  ASSERT_EQ(colours.size(), 16);
  EXPECT_EQ(colours[2], QStringLiteral("$000080"));
  EXPECT_EQ(colours[13], QStringLiteral("$FF0000"));
  EXPECT_FALSE(form->mnuColor->isEnabled());
  EXPECT_TRUE(form->mnuMonochrome->isEnabled());
  form->mnuMonochrome->trigger();
  QStringList greys = form->PaletteCodes();
  EXPECT_EQ(greys[0], QStringLiteral("$000000"));
  EXPECT_EQ(greys[1], QStringLiteral("$101010"));
  EXPECT_EQ(greys[8], QStringLiteral("$808080"));
  EXPECT_EQ(greys[15], QStringLiteral("$FFFFFF"));
  EXPECT_TRUE(form->mnuColor->isEnabled());
  EXPECT_FALSE(form->mnuMonochrome->isEnabled());
  form->mnuColor->trigger();
  EXPECT_EQ(form->PaletteCodes(), colours);

  // Opened on a 1-bit picture: grey from the start.
  TUserDrawDialog dialog;
  dialog.SetBitMap(MonoFromBlackAndWhite(White(20, 10)));
  OnEditor([](TfrmBitmapEdit& form) {
    EXPECT_EQ(form.PaletteCodes()[1], QStringLiteral("$101010"));
    form.btnOK->click();
  });
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(dialog.GetBitMap().format(), QImage::Format_Mono);
}

TEST_F(BitmapEditDialogTest, PaletteClicksSetTheColours) {
  auto form = Form(White(20, 10));
  // Swatch 10 (red) in the second row, third column.
  const QPoint red = form->ColorBox->SwatchRect(10).ToQRect().center();
  QTest::mouseClick(form->ColorBox, Qt::LeftButton, {}, red);
  EXPECT_EQ(form->UserDrawPanel->GetDrawColor(), clRed);
  EXPECT_EQ(form->pnlDrawColor->Color(), clRed);
  const QPoint blue = form->ColorBox->SwatchRect(13).ToQRect().center();
  QTest::mouseClick(form->ColorBox, Qt::RightButton, {}, blue);
  EXPECT_EQ(form->UserDrawPanel->GetBackColor(), clBlue);
  EXPECT_EQ(form->pnlBackColor->Color(), clBlue);
  EXPECT_EQ(form->UserDrawPanel->GetDrawColor(), clRed);
}

TEST_F(BitmapEditDialogTest, ToolButtonsChooseTheTools) {
  auto form = Form(White(20, 10));
  const struct {
    TSelectButton* button;
    int selectNo;
    P::TDrawType type;
  } cases[] = {
      {form->sbPen, 0, P::mdtConnectLine},  {form->sbLine, 1, P::mdtDblLine},
      {form->sbEraser, 0, P::mdtEraser},     {form->sbPaint, 0, P::mdtPaint},
      {form->sbRect, 2, P::mdtFill},         {form->sbRect, 3, P::mdtDblBox},
      {form->sbEllipse, 1, P::mdtEllipseFill}, {form->sbEllipse, 2, P::mdtEllipseFillNoFlame},
      {form->sbEllipse, 3, P::mdtDblEllipse}, {form->sbText, 1, P::mdtDblText},
      {form->sbZoom, 1, P::mdtZoomDown},     {form->sbStamp, 0, P::mdtBmp},
      {form->sbSelect, 0, P::mdtNone},
  };
  for (const auto& c : cases) {
    form->ChooseTool(c.button, c.selectNo);
    EXPECT_EQ(form->UserDrawPanel->GetDrawType(), c.type) << c.button->objectName().toStdString();
    EXPECT_TRUE(c.button->GetDown());
  }
  // Chosen with the mouse: press the rectangle button, release on its fourth image.
  SendMouse(form->sbRect, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(form->sbRect, QEvent::MouseButtonRelease, {22 + 3 * 16 + 4, 8}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(form->UserDrawPanel->GetDrawType(), P::mdtDblBox);
  // The pen widths are a group of their own.
  form->ChooseTool(form->sbLineWidth, 2);
  EXPECT_EQ(form->UserDrawPanel->GetPenWidth(), 3);
  EXPECT_TRUE(form->sbRect->GetDown());
}

TEST_F(BitmapEditDialogTest, CommandsFollowTheState) {
  auto form = Form(White(20, 10));
  for (QAction* a : {form->mnuCopy, form->mnuCut, form->mnuDelete}) EXPECT_FALSE(a->isEnabled());
  EXPECT_TRUE(form->mnuUndo->isEnabled()) << "the undo copy starts equal to the picture";
  EXPECT_TRUE(form->btnOK->isEnabled());
  Drag(form->UserDrawPanel, {{2, 2}, {8, 6}});
  for (QAction* a : {form->mnuCopy, form->mnuCut, form->mnuDelete}) EXPECT_TRUE(a->isEnabled());
  EXPECT_FALSE(form->mnuZoomDown->isEnabled());
  for (int i = 0; i < 4; ++i) form->mnuZoomUp->trigger();
  EXPECT_EQ(form->UserDrawPanel->GetZoom(), 1600);
  EXPECT_FALSE(form->mnuZoomUp->isEnabled());
  EXPECT_TRUE(form->mnuZoomDown->isEnabled());
  form->mnuGrid->trigger();
  EXPECT_TRUE(form->UserDrawPanel->GetGrid());
  EXPECT_TRUE(form->mnuGrid->isChecked());

  // A click on the work area beside the picture puts a lifted selection down.
  form->mnuZoomDown->trigger();
  form->mnuZoomDown->trigger();
  form->mnuZoomDown->trigger();
  form->mnuZoomDown->trigger();
  form->mnuGrid->trigger();
  Drag(form->UserDrawPanel, {{4, 4}, {10, 8}});
  ASSERT_TRUE(form->UserDrawPanel->Floating());
  QTest::mouseClick(form->scbWork->viewport(), Qt::LeftButton, {}, QPoint(150, 150));
  EXPECT_FALSE(form->UserDrawPanel->HasSelection());

  // Crop and selection to stamp, with its preview.
  Drag(form->UserDrawPanel, {{2, 2}, {8, 6}});
  form->mnuSelToStamp->trigger();
  EXPECT_EQ(form->UserDrawPanel->GetClipBitmap().size(), QSize(6, 4));
  form->mnuClipping->trigger();
  EXPECT_EQ(form->UserDrawPanel->GetBitmap().size(), QSize(6, 4));
}

TEST_F(BitmapEditDialogTest, ZoomClickScrollsToThePointAndDoubleClickResets) {
  auto form = Form(White(192, 130));
  form->ChooseTool(form->sbZoom, 0);
  form->UserDrawPanel->SetZoom(800);
  Click(form->UserDrawPanel, {150 * 8, 100 * 8});
  EXPECT_EQ(form->UserDrawPanel->GetZoom(), 1600);
  QScrollArea* area = form->scbWork;
  const int centreX = area->horizontalScrollBar()->value() + area->viewport()->width() / 2;
  const int centreY = area->verticalScrollBar()->value() + area->viewport()->height() / 2;
  EXPECT_NEAR(centreX, 150 * 16 + 8, 1);
  EXPECT_NEAR(centreY, 100 * 16 + 8, 1);
  QTest::mouseDClick(form->sbZoom, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(form->UserDrawPanel->GetZoom(), 100);
}

// Return in the text field and Escape never end the editing; Escape puts a
// lifted selection down.
TEST_F(BitmapEditDialogTest, KeysDoNotCloseTheWindow) {
  auto form = Form(White(20, 10));
  Drag(form->UserDrawPanel, {{2, 2}, {8, 6}});
  Drag(form->UserDrawPanel, {{4, 4}, {10, 8}});
  ASSERT_TRUE(form->UserDrawPanel->Floating());
  form->edtText->setFocus();
  QTest::keyClick(form->edtText, Qt::Key_Return);
  QTest::keyClick(form->edtText, Qt::Key_Escape);
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->result(), 0);
  EXPECT_FALSE(form->UserDrawPanel->HasSelection());
}

TEST_F(BitmapEditDialogTest, TextFieldTakes240Bytes) {
  auto form = Form(White(20, 10));
  form->edtText->setFocus();
  QTest::keyClicks(form->edtText, QString(250, QLatin1Char('a')));
  EXPECT_EQ(form->edtText->text().size(), 240);
  form->edtText->clear();
  // A double-byte character counts two.
  const QString kanji(1, QChar(0x5B57));
  form->edtText->insert(kanji.repeated(100));
  form->edtText->insert(kanji.repeated(30));
  EXPECT_EQ(form->edtText->text(), kanji.repeated(100));
  form->edtText->insert(kanji.repeated(20));
  form->edtText->insert(QStringLiteral("a"));
  EXPECT_EQ(form->edtText->text(), kanji.repeated(120));
  EXPECT_EQ(form->UserDrawPanel->GetText(), kanji.repeated(120));
  nextFont_ = QFont(QStringLiteral("IPAGothic"), 20);
  form->mnuFont->trigger();
  EXPECT_EQ(form->UserDrawPanel->GetFont().pointSize(), 20);
}

TEST_F(BitmapEditDialogTest, OpenIsCutToTheLimitsAndRemembersTheFolder) {
  const fs::path pictures = dir_ / "pictures";
  fs::create_directories(pictures);
  const QImage big = Numbered(250, 150);
  nextOpen_ = WriteBitmap("pictures/big.bmp", big);
  TUserDrawDialog dialog;
  dialog.SetInitialDir(QString::fromStdString(dir_.path().string()));
  dialog.SetMaxWidth(96);
  dialog.SetMaxHeight(43);
  OnEditor([&](TfrmBitmapEdit& form) {
    form.mnuOpen->trigger();
    EXPECT_EQ(form.UserDrawPanel->GetBitmap().size(), QSize(96, 43));
    nextSave_ = std::nullopt;
    form.mnuSave->trigger();
    form.btnOK->click();
  });
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(dialog.GetBitMap().size(), QSize(96, 43));
  EXPECT_EQ(dialog.GetBitMap().convertToFormat(QImage::Format_RGB32), big.copy(0, 0, 96, 43));
  ASSERT_EQ(openFolders_.size(), 1u);
  EXPECT_EQ(openFolders_[0], dir_.path());
  ASSERT_EQ(saveFolders_.size(), 1u);
  EXPECT_EQ(saveFolders_[0], pictures);
  for (const std::string& filter : filters_) EXPECT_EQ(filter, qvtest::Sjis("ビットマップ (*.bmp)|*.bmp"));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(BitmapEditDialogTest, AMissingInitialFolderIsNotUsed) {
  TUserDrawDialog dialog;
  dialog.SetInitialDir(QString::fromStdString((dir_ / "gone").string()));
  OnEditor([](TfrmBitmapEdit& form) {
    form.mnuOpen->trigger();
    form.btnCancel->click();
  });
  dialog.Execute();
  ASSERT_EQ(openFolders_.size(), 1u);
  EXPECT_TRUE(openFolders_[0].empty());
}

TEST_F(BitmapEditDialogTest, AOneBitFileStaysOneBit) {
  auto form = Form(White(20, 10));
  nextOpen_ = WriteBitmap("mono.bmp", MonoFromBlackAndWhite(FromRows({"#..#", ".##."})));
  form->mnuOpen->trigger();
  EXPECT_TRUE(form->UserDrawPanel->GetMonochrome());
  EXPECT_EQ(Art(form->UserDrawPanel->GetBitmap()), Rows({"#..#", ".##."}));
  EXPECT_EQ(form->PaletteCodes()[1], QStringLiteral("$101010"));
  // One undo goes back to the picture before the file.
  form->UserDrawPanel->Undo();
  EXPECT_EQ(form->UserDrawPanel->GetBitmap().size(), QSize(20, 10));
}

TEST_F(BitmapEditDialogTest, OpeningAFileWhileASelectionFloatsKeepsTheMoveForUndo) {
  auto form = Form(FromRows({"........", ".###....", ".###....", "........", "........"}));
  P* panel = form->UserDrawPanel;
  // At 400 % a pixel's middle is clear of the handles.
  panel->SetZoom(400);
  panel->SetBackColor(clRed);
  Drag(panel, {{4, 4}, {12, 8}, {16, 12}});
  ASSERT_EQ(panel->SelectionRect(), QRect(1, 1, 3, 2));
  Drag(panel, {{10, 6}, {22, 10}, {26, 14}});
  ASSERT_TRUE(panel->Floating());
  ASSERT_EQ(panel->SelectionRect(), QRect(5, 3, 3, 2));
  nextOpen_ = WriteBitmap("other.bmp", FromRows({"bb", "bb"}));
  form->mnuOpen->trigger();
  EXPECT_EQ(Art(panel->GetBitmap()), Rows({"bb", "bb"}));
  EXPECT_FALSE(panel->HasSelection());
  // 元に戻す gives the picture with the pixels where they were moved.
  ASSERT_TRUE(form->mnuUndo->isEnabled());
  form->mnuUndo->trigger();
  EXPECT_EQ(Art(panel->GetBitmap()), Rows({"........", ".ooo....", ".ooo....", ".....###", ".....###"}));
  ASSERT_TRUE(form->grab().toImage().save(QString::fromStdString(qvtest::ArtifactPath("bitmap-editor-undo-open.png").string())));
}

TEST_F(BitmapEditDialogTest, SaveWritesTheFileOrSaysWhyNot) {
  auto form = Form(FromRows({"#o..", "b..#"}));
  nextSave_ = dir_ / "saved.bmp";
  form->mnuSave->trigger();
  const std::optional<QImage> saved = LoadPictureFile(dir_ / "saved.bmp");
  ASSERT_TRUE(saved);
  EXPECT_EQ(Art(*saved), Rows({"#o..", "b..#"}));
  EXPECT_TRUE(boxes_.empty());

  // A file where the folder should be: nothing can be written there.
  nextSave_ = dir_ / "saved.bmp" / "inner.bmp";
  form->mnuSave->trigger();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(kinds_[0], BoxKind::Error);
  EXPECT_TRUE(boxes_[0].contains(QString::fromUtf8("保存できませんでした"))) << boxes_[0].toStdString();
}

TEST_F(BitmapEditDialogTest, StampAndPlacedPicture) {
  auto form = Form(White(20, 10));
  nextOpen_ = WriteBitmap("stamp.bmp", FromRows({"oo", "o#"}));
  form->mnuStampLoad->trigger();
  EXPECT_EQ(Art(form->UserDrawPanel->GetClipBitmap()), Rows({"oo", "o#"}));
  EXPECT_EQ(form->imgStamp->Picture().size(), QSize(2, 2));
  form->ChooseTool(form->sbStamp, 0);
  Click(form->UserDrawPanel, {3, 3});
  EXPECT_EQ(PixelColor(form->UserDrawPanel->GetBitmap(), 4, 4), clBlack);

  form->ChooseTool(form->sbPen, 0);
  nextOpen_ = WriteBitmap("place.bmp", FromRows({"bbbb", "bbbb"}));
  form->mnuPlace->trigger();
  EXPECT_TRUE(form->sbSelect->GetDown());
  EXPECT_EQ(form->UserDrawPanel->GetDrawType(), P::mdtNone);
  EXPECT_EQ(form->UserDrawPanel->SelectionRect(), QRect(8, 4, 4, 2));
  EXPECT_TRUE(form->UserDrawPanel->Floating());
}

TEST_F(BitmapEditDialogTest, NamesThatAreNoFileAreRefusedUnreadAndNothingChanges) {
  const QImage start = FromRows({"#o..", "b..#"});
  auto form = Form(start);
  const qvtest::NotFiles notFiles(dir_ / "special", ".bmp");
  for (const qvtest::NotAFile& f : notFiles.list()) {
    SCOPED_TRACE(f.what);
    struct {
      QAction* action;
      size_t boxes;  // a stamp that does not load says nothing
    } uses[] = {{form->mnuOpen, 1}, {form->mnuPlace, 1}, {form->mnuStampLoad, 0}};
    for (const auto& use : uses) {
      boxes_.clear();
      nextOpen_ = f.path;
      use.action->trigger();
      ASSERT_EQ(boxes_.size(), use.boxes) << use.action->text().toStdString();
      if (use.boxes) {
        EXPECT_EQ(boxes_[0], QString::fromUtf8("画像ファイルを読み込めませんでした。\n") + QString::fromStdString(f.path.string()));
      }
      EXPECT_EQ(Art(form->UserDrawPanel->GetBitmap()), Art(start));
      EXPECT_FALSE(form->UserDrawPanel->Floating());
    }
  }
  EXPECT_FALSE(notFiles.FifoWaitedOn());
}

// Screenshots for review, with what they must show asserted.
TEST_F(BitmapEditDialogTest, Screenshots) {
  auto form = Form(White(192, 130));
  form->resize(640, 460);
  P* panel = form->UserDrawPanel;
  panel->SetZoom(200);
  form->ChooseTool(form->sbRect, 1);
  panel->SetDrawColor(clBlack);
  panel->SetBackColor(RGB(255, 200, 0));
  Drag(panel, {{20, 20}, {140, 100}});
  form->ChooseTool(form->sbEllipse, 3);
  panel->SetDrawColor(clBlue);
  panel->SetBackColor(clRed);
  Drag(panel, {{160, 30}, {300, 160}});
  form->ChooseTool(form->sbLineWidth, 2);
  form->ChooseTool(form->sbPen, 0);
  panel->SetDrawColor(RGB(0, 128, 0));
  Drag(panel, {{40, 236}, {100, 250}, {160, 236}, {220, 254}});
  QFont font = QApplication::font();
  font.setPixelSize(16);
  panel->SetFont(font);
  form->edtText->setText(QString::fromUtf8("こんにちは"));
  form->ChooseTool(form->sbText, 1);
  panel->SetDrawColor(clBlack);
  panel->SetBackColor(clWhite);
  Click(panel, {30, 170});
  form->ChooseTool(form->sbSelect, 0);
  Drag(panel, {{200, 180}, {340, 240}});

  const QImage shot = form->grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_TRUE(shot.save(QString::fromStdString(qvtest::ArtifactPath("bitmap-editor.png").string())));
  const QPoint at = panel->mapTo(form.get(), QPoint(0, 0));
  // The filled box's inside, the double ellipse's red ring, at 200 %.
  EXPECT_EQ(shot.pixel(at + QPoint(60, 60)), qRgb(255, 200, 0));
  EXPECT_EQ(PixelColor(panel->GetBitmap(), 80, 48), clBlue);
  EXPECT_EQ(PixelColor(panel->GetBitmap(), 81, 48), clRed);
  EXPECT_EQ(shot.pixel(at + QPoint(163, 97)), qRgb(255, 0, 0));
  EXPECT_EQ(OtherPixels(panel->GetBitmap().copy(10, 83, 120, 22), clBlack, clWhite), 0) << "text unblended";
  EXPECT_GT(CountColor(panel->GetBitmap().copy(10, 83, 120, 22), clBlack), 50);

  // An unfolded tool button over the picture area.
  SendMouse(form->sbEllipse, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(form->sbEllipse, QEvent::MouseMove, {22 + 2 * 16 + 4, 8}, Qt::NoButton, Qt::LeftButton);
  ASSERT_TRUE(form->sbEllipse->Unfolded());
  const QImage unfolded = form->grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_TRUE(unfolded.save(QString::fromStdString(qvtest::ArtifactPath("bitmap-editor-unfolded-tool.png").string())));
  const QRect row = form->sbEllipse->geometry();
  EXPECT_GT(row.right(), form->scbWork->geometry().left() + 40) << "reaches over the picture area";
  // The marked third image is lit in the highlight colour.
  EXPECT_EQ(unfolded.pixel(row.topLeft() + QPoint(22 + 2 * 16 + 1, 3)),
            QApplication::palette().color(QPalette::Highlight).rgb());
  SendMouse(form->sbEllipse, QEvent::MouseButtonRelease, {22 + 2 * 16 + 4, 8}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(panel->GetDrawType(), P::mdtEllipseFillNoFlame);

  // The same picture in 1 bit, the palette in greys.
  panel->SetDitherSeed(1);
  form->mnuMonochrome->trigger();
  const QImage mono = form->grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_TRUE(mono.save(QString::fromStdString(qvtest::ArtifactPath("bitmap-editor-monochrome.png").string())));
  const QPoint swatch = form->ColorBox->mapTo(form.get(), form->ColorBox->SwatchRect(10).ToQRect().center());
  const QRgb grey = mono.pixel(swatch);
  EXPECT_EQ(qRed(grey), qGreen(grey));
  EXPECT_EQ(qGreen(grey), qBlue(grey));
  EXPECT_EQ(OtherPixels(panel->GetBitmap(), clBlack, clWhite), 0);
}

}  // namespace
