// The handset colour picker: colours split into levels, clicks on the grids
// and bars turned into colours, the grids and bars as drawn, and the
// component run modally with OK and Cancel.
#include "plugins/mail/pickers/FFColor.h"

#include "controls/BRVGraphicsEX.h"

#include "PanelTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace qv;

namespace {

TColor Pixel(const QImage& image, int x, int y) { return ColorFromQColor(image.pixelColor(x, y)); }

QImage Shot(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

}  // namespace

TEST(FFColorLevels, AColourIsSplitAtTheMidpointsBetweenLevels) {
  struct Case {
    int value;
    int redGreen;
    int blue;
  } cases[] = {
      {0, 0, 0},     {15, 0, 0},    {16, 1, 0},    {31, 1, 0},    {32, 1, 1},    {47, 1, 1},
      {48, 2, 1},    {79, 2, 1},    {80, 3, 1},    {95, 3, 1},    {96, 3, 2},    {111, 3, 2},
      {112, 4, 2},   {127, 4, 2},   {143, 4, 2},   {144, 5, 2},   {175, 5, 2},   {176, 6, 2},
      {191, 6, 2},   {192, 6, 3},   {223, 6, 3},   {224, 7, 3},   {255, 7, 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NearestLevel(c.value, kFFRedGreenLevels), c.redGreen) << c.value;
    EXPECT_EQ(NearestLevel(c.value, kFFBlueLevels), c.blue) << c.value;
  }
  // $7F7F7F opens with red, green and blue at 128.
  const FFLevels grey = ColorToLevels(0x7F7F7F);
  EXPECT_EQ(grey, (FFLevels{4, 4, 2}));
  EXPECT_EQ(LevelsToColor(grey), RGB(128, 128, 128));
  EXPECT_EQ(ColorToLevels(RGB(255, 0, 200)), (FFLevels{7, 0, 3}));
  EXPECT_EQ(LevelsToColor({7, 0, 3}), RGB(255, 0, 255));
}

TEST(FFColorLevels, ACellOfEitherGridGivesItsLevels) {
  struct Case {
    FFGrid grid;
    int cell;
    FFLevels levels;
    TColor colour;
  } cases[] = {
      {FFGrid::Full, 0, {0, 0, 0}, RGB(0, 0, 0)},
      {FFGrid::Full, 255, {7, 7, 3}, RGB(255, 255, 255)},
      {FFGrid::Full, 32 * 4 + 4 * 2 + 1, {4, 2, 1}, RGB(128, 64, 64)},
      {FFGrid::Full, 32 * 6 + 4 * 7 + 3, {6, 7, 3}, RGB(192, 255, 255)},
      // The small grid's last cell is white with red and green at 7.
      {FFGrid::Small, 63, {7, 7, 3}, RGB(255, 255, 255)},
      {FFGrid::Small, 16 * 1 + 4 * 2 + 3, {2, 4, 3}, RGB(64, 128, 255)},
      {FFGrid::Small, 16 * 3, {7, 0, 0}, RGB(255, 0, 0)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GridCellLevels(c.grid, c.cell), c.levels) << c.cell;
    EXPECT_EQ(GridCellColor(c.grid, c.cell), c.colour) << c.cell;
    EXPECT_EQ(LevelsToColor(GridCellLevels(c.grid, c.cell)), c.colour) << c.cell;
  }
}

TEST(FFColorLevels, CellsCoverTheGridWithoutGapsAndEveryPixelFindsItsCell) {
  for (FFGrid grid : {FFGrid::Full, FFGrid::Small}) {
    for (QSize size : {QSize(256, 256), QSize(100, 90), QSize(17, 9), QSize(3, 3)}) {
      for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
          const int cell = GridCellAt(grid, size.width(), size.height(), x, y);
          ASSERT_GE(cell, 0);
          const TRect r = GridCellRect(grid, cell, size.width(), size.height());
          ASSERT_TRUE(x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom)
              << x << "," << y << " in " << size.width() << "x" << size.height();
        }
    }
  }
  EXPECT_EQ(GridCellRect(FFGrid::Full, 17, 256, 256), (TRect{16, 16, 32, 32}));
  // trunc(100 / 16 x 3) = 18, trunc(100 / 16 x 4) = 25.
  EXPECT_EQ(GridCellRect(FFGrid::Full, 3, 100, 100), (TRect{18, 0, 25, 6}));
  EXPECT_EQ(GridCellRect(FFGrid::Small, 63, 100, 100), (TRect{87, 87, 100, 100}));
  // Outside the grid, or a grid of no size: no cell.
  EXPECT_EQ(GridCellAt(FFGrid::Full, 256, 256, 256, 5), -1);
  EXPECT_EQ(GridCellAt(FFGrid::Full, 256, 256, -1, 5), -1);
  EXPECT_EQ(GridCellAt(FFGrid::Full, 0, 0, 0, 0), -1);
  EXPECT_EQ(GridCellAt(FFGrid::Small, 0, 100, 0, 0), -1);
}

TEST(FFColorLevels, BarPositionsAreHeldInsideTheBar) {
  EXPECT_EQ(BarValueAt(160, 0), 0);
  EXPECT_EQ(BarValueAt(160, 80), 127);
  EXPECT_EQ(BarValueAt(160, 160), 255);
  EXPECT_EQ(BarValueAt(160, -40), 0);
  EXPECT_EQ(BarValueAt(160, 4000), 255);
  EXPECT_EQ(BarValueAt(0, 10), 0);
  EXPECT_EQ(BarMarkerX(160, 0), 0);
  EXPECT_EQ(BarMarkerX(160, 255), 155);
  EXPECT_EQ(BarMarkerX(160, 128), 77);
  EXPECT_EQ(BarMarkerX(3, 255), 0);
}

TEST(FFColorForm, ClicksOnTheGridsAndBarsChooseLevels) {
  TfrmFFColor form;
  form.SetColor(0x7F7F7F);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  ASSERT_TRUE(form.pbSample2->isVisible());
  ASSERT_FALSE(form.pbSample->isVisible());

  // The small grid's last cell: white, red and green at 7.
  const TRect last = GridCellRect(FFGrid::Small, 63, form.pbSample2->width(), form.pbSample2->height());
  QTest::mouseClick(form.pbSample2, Qt::LeftButton, {}, last.ToQRect().center());
  EXPECT_EQ(form.Color(), clWhite);
  EXPECT_EQ(form.Levels(), (FFLevels{7, 7, 3}));

  // The full grid takes all three levels from its cell.
  QTest::mouseClick(form.spdColor, Qt::LeftButton);
  ASSERT_TRUE(form.pbSample->isVisible());
  ASSERT_FALSE(form.pbSample2->isVisible());
  const int cell = 32 * 5 + 4 * 1 + 2;
  const TRect r = GridCellRect(FFGrid::Full, cell, form.pbSample->width(), form.pbSample->height());
  QTest::mouseClick(form.pbSample, Qt::LeftButton, {}, r.ToQRect().center());
  EXPECT_EQ(form.Levels(), (FFLevels{5, 1, 2}));
  EXPECT_EQ(form.Color(), RGB(160, 32, 128));

  // A bar maps x to 255 x / width and takes the nearest level; a drag that
  // leaves the bar is held at its ends.
  TFFLevelBar* red = form.pbRed;
  QTest::mousePress(red, Qt::LeftButton, {}, QPoint(red->width() / 2, 5));
  EXPECT_EQ(form.Levels().red, 4);  // 127 lies nearest 128
  QMouseEvent farRight(QEvent::MouseMove, QPointF(red->width() * 3, 5), red->mapToGlobal(QPointF(red->width() * 3, 5)),
                       Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(red, &farRight);
  EXPECT_EQ(form.Levels().red, 7);
  QMouseEvent farLeft(QEvent::MouseMove, QPointF(-300, 5), red->mapToGlobal(QPointF(-300, 5)), Qt::NoButton,
                      Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(red, &farLeft);
  EXPECT_EQ(form.Levels().red, 0);
  QTest::mouseRelease(red, Qt::LeftButton, {}, QPoint(0, 5));
  // Moving without the button chooses nothing.
  QTest::mouseMove(form.pbBlue, QPoint(form.pbBlue->width() - 1, 5));
  EXPECT_EQ(form.Levels().blue, 2);
  QTest::mouseClick(form.pbBlue, Qt::LeftButton, {}, QPoint(form.pbBlue->width() - 1, 5));
  EXPECT_EQ(form.Levels().blue, 3);
  EXPECT_EQ(form.Color(), RGB(0, 32, 255));
}

TEST(FFColorForm, LargeGridsHaveSunkenCellsSmallOnesLoseTheirLastPixels) {
  TfrmFFColor form;
  form.SetFormColor(RGB(200, 200, 200));
  form.SetColor(GridCellColor(FFGrid::Full, 17));
  const TColor shadow = BlendColor(RGB(200, 200, 200), clBlack, 128);
  const TColor light = BlendColor(RGB(200, 200, 200), clWhite, 128);

  // 256 x 256: cell 17 is (16,16)-(32,32), its face (17,17)-(31,31).
  form.pbSample->resize(256, 256);
  QImage full = Shot(form.pbSample);
  EXPECT_EQ(Pixel(full, 16, 24), shadow);
  EXPECT_EQ(Pixel(full, 24, 16), shadow);
  EXPECT_EQ(Pixel(full, 31, 24), light);
  EXPECT_EQ(Pixel(full, 24, 31), light);
  // The chosen cell's face is framed white; a neighbour shows its colour.
  EXPECT_EQ(Pixel(full, 17, 24), clWhite);
  EXPECT_EQ(Pixel(full, 30, 24), clWhite);
  EXPECT_EQ(Pixel(full, 24, 24), GridCellColor(FFGrid::Full, 17));
  EXPECT_EQ(Pixel(full, 40, 24), GridCellColor(FFGrid::Full, 18));
  EXPECT_EQ(Pixel(full, 33, 24), GridCellColor(FFGrid::Full, 18));

  // 200 x 200 is not above the limit: cells only lose their right and
  // bottom pixel, which show the form.
  form.pbSample->setFixedSize(200, 200);
  full = Shot(form.pbSample);
  const TRect r = GridCellRect(FFGrid::Full, 18, 200, 200);
  EXPECT_EQ(Pixel(full, r.Left, r.Top + 3), GridCellColor(FFGrid::Full, 18));
  EXPECT_EQ(Pixel(full, r.Right - 1, r.Top + 3), RGB(200, 200, 200));
  EXPECT_EQ(Pixel(full, r.Left + 3, r.Bottom - 1), RGB(200, 200, 200));

  // The small grid is sunken above 100 x 100.
  form.SetColor(clWhite);
  form.pbSample2->setFixedSize(101, 101);
  QImage small = Shot(form.pbSample2);
  const TRect s = GridCellRect(FFGrid::Small, 9, 101, 101);
  EXPECT_EQ(Pixel(small, s.Left, s.Top + 5), shadow);
  EXPECT_EQ(Pixel(small, s.Right - 1, s.Top + 5), light);
  const TRect w = GridCellRect(FFGrid::Small, 63, 101, 101);
  EXPECT_EQ(Pixel(small, w.Left + 1, w.Top + 5), clWhite);  // white cell, white frame
  form.pbSample2->setFixedSize(100, 100);
  small = Shot(form.pbSample2);
  const TRect s2 = GridCellRect(FFGrid::Small, 9, 100, 100);
  EXPECT_EQ(Pixel(small, s2.Left, s2.Top + 5), GridCellColor(FFGrid::Small, 9));
  EXPECT_EQ(Pixel(small, s2.Right - 1, s2.Top + 5), RGB(200, 200, 200));

  // Grids and bars of no size draw and choose nothing.
  form.pbSample->setFixedSize(0, 0);
  form.pbRed->setFixedSize(0, 0);
  EXPECT_TRUE(form.pbSample->grab().isNull());
  const FFLevels before = form.Levels();
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(0, 0), QPointF(0, 0), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(form.pbSample, &press);
  QApplication::sendEvent(form.pbRed, &press);
  EXPECT_EQ(form.Levels(), before);
}

TEST(FFColorForm, TheBarsShowTheLevelWithASilverMarker) {
  TfrmFFColor form;
  form.SetLevels({4, 0, 3});
  const QImage red = Shot(form.pbRed);
  const int w = red.width(), h = red.height();
  // Bands rise from black to full red.
  EXPECT_EQ(Pixel(red, 0, h / 2), RGB(0, 0, 0));
  EXPECT_EQ(Pixel(red, w - 1, h / 2), RGB(255, 0, 0));
  const int x = BarMarkerX(w, 128);
  EXPECT_EQ(Pixel(red, x, h / 2), clWhite);
  EXPECT_EQ(Pixel(red, x + 1, 0), clWhite);
  EXPECT_EQ(Pixel(red, x + 1, h / 2), clSilver);
  EXPECT_EQ(Pixel(red, x + 2, h / 2), clSilver);
  EXPECT_EQ(Pixel(red, x + 3, h / 2), clBlack);
  EXPECT_EQ(Pixel(red, x + 1, h - 1), clBlack);
  EXPECT_NE(Pixel(red, x + 4, h / 2), clSilver);
  // Blue at its top level: the marker at the right end.
  const QImage blue = Shot(form.pbBlue);
  EXPECT_EQ(Pixel(blue, BarMarkerX(blue.width(), 255) + 1, h / 2), clSilver);
  EXPECT_EQ(Pixel(blue, 0, h / 2), RGB(0, 0, 0));
}

TEST(FFColorForm, ExecuteReturnsTheChoiceOnOkAndFalseOnCancel) {
  QWidget owner;
  owner.resize(400, 300);
  owner.setWindowTitle(QStringLiteral("owner"));
  owner.show();
  TFFColor picker(&owner);
  EXPECT_EQ(picker.GetCaption(), QString::fromUtf8("色見本"));
  EXPECT_EQ(picker.GetColor(), clBlack);

  // OK on a small-grid cell.
  picker.SetColor(0x7F7F7F);
  picker.SetCaption(QString::fromUtf8("文字色選択"));
  QString seenCaption;
  FFLevels seenLevels;
  bitmaptest::OnModal<TfrmFFColor>([&](TfrmFFColor& form) {
    seenCaption = form.windowTitle();
    seenLevels = form.Levels();
    const TRect cell = GridCellRect(FFGrid::Small, 16 * 3 + 4 * 1, form.pbSample2->width(), form.pbSample2->height());
    QTest::mouseClick(form.pbSample2, Qt::LeftButton, {}, cell.ToQRect().center());
    form.btnOK->click();
  });
  EXPECT_TRUE(picker.Execute());
  EXPECT_EQ(seenCaption, QString::fromUtf8("文字色選択"));
  EXPECT_EQ(seenLevels, (FFLevels{4, 4, 2}));
  EXPECT_EQ(picker.GetColor(), RGB(255, 64, 0));

  // Cancel answers false.
  bitmaptest::OnModal<TfrmFFColor>([](TfrmFFColor& form) { form.btnCancel->click(); });
  EXPECT_FALSE(picker.Execute());
}

TEST(FFColorForm, TheFormTakesTheOwnersLookOrItsOwn) {
  QWidget owner;
  QPalette look = owner.palette();
  look.setColor(QPalette::Window, QColor(10, 120, 30));
  owner.setPalette(look);
  owner.show();
  TFFColor picker(&owner);
  TColor formColour = 0;
  auto peek = [&] {
    bitmaptest::OnModal<TfrmFFColor>([&](TfrmFFColor& form) {
      formColour = form.FormColor();
      form.btnCancel->click();
    });
    picker.Execute();
  };
  peek();
  EXPECT_EQ(formColour, RGB(10, 120, 30));
  picker.SetParentColor(false);
  picker.SetBGColor(RGB(1, 2, 3));
  peek();
  EXPECT_EQ(formColour, RGB(1, 2, 3));
}

TEST(FFColorForm, Screenshots) {
  TfrmFFColor form;
  form.SetColor(RGB(255, 128, 0));
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  const QImage small = form.grab().toImage();
  ASSERT_TRUE(small.save(QString::fromStdString(qvtest::ArtifactPath("ffcolor-small.png").string())));
  // The chosen colour's cell is outlined and the preview shows it.
  const QPoint preview = form.pnlColor->mapTo(&form, form.pnlColor->rect().center());
  EXPECT_EQ(ColorFromQColor(small.pixelColor(preview)), RGB(255, 128, 0));
  form.spdColor->click();
  const QImage full = form.grab().toImage();
  ASSERT_TRUE(full.save(QString::fromStdString(qvtest::ArtifactPath("ffcolor-full.png").string())));
  const TRect cell = GridCellRect(FFGrid::Full, 32 * 7 + 4 * 4 + 0, form.pbSample->width(), form.pbSample->height());
  const QPoint face = form.pbSample->mapTo(&form, QPoint(cell.Left + 1, cell.Top + 4));
  EXPECT_EQ(ColorFromQColor(full.pixelColor(face)), clWhite);
}
