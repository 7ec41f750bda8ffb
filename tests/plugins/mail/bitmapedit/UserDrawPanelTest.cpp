// The drawing panel driven by mouse and keys: every tool pixel by pixel, the
// selection, undo, zoom, painting and the 1-bit picture.
#include "plugins/mail/bitmapedit/UserDrawPanel.h"

#include "BitmapEditTestSupport.h"
#include "PanelTestSupport.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>

#include <functional>
#include <memory>

using namespace qv;
using namespace bitmaptest;
using P = TUserDrawPanel;

namespace {

std::unique_ptr<TUserDrawPanel> Panel(const QImage& picture) {
  auto panel = std::make_unique<TUserDrawPanel>();
  panel->SetBitmap(picture);
  panel->show();
  return panel;
}

TEST(UserDrawPanelTest, Defaults) {
  TUserDrawPanel panel;
  EXPECT_EQ(panel.GetBitmap().size(), QSize(192, 130));
  EXPECT_EQ(CountColor(panel.GetBitmap(), clWhite), 192 * 130);
  EXPECT_TRUE(panel.GetUndoBitmap().isNull());
  EXPECT_FALSE(panel.CanUndo());
  EXPECT_TRUE(panel.GetClipBitmap().isNull());
  EXPECT_EQ(panel.GetPictureWidth(), 192);
  EXPECT_EQ(panel.GetPictureheight(), 130);
  EXPECT_EQ(panel.GetDrawType(), P::mdtNone);
  EXPECT_EQ(panel.GetDrawColor(), clBlack);
  EXPECT_EQ(panel.GetBackColor(), clWhite);
  EXPECT_TRUE(panel.GetText().isEmpty());
  EXPECT_EQ(panel.GetZoom(), 100);
  EXPECT_FALSE(panel.GetGrid());
  EXPECT_EQ(panel.GetGridColor(), TColor(0x808080));
  EXPECT_EQ(panel.GetPenWidth(), 1);
  EXPECT_FALSE(panel.GetBitmapPaint());
  EXPECT_FALSE(panel.GetMonochrome());
  EXPECT_TRUE(panel.GetAutoSize());
  EXPECT_EQ(panel.size(), QSize(192, 130));
  EXPECT_FALSE(panel.HasSelection());
}

struct ToolCase {
  const char* name;
  QImage picture;
  std::function<void(TUserDrawPanel&)> setup;
  std::function<void(TUserDrawPanel&)> act;
  std::string expected;
};

TEST(UserDrawPanelTest, ToolsPixelByPixel) {
  const ToolCase cases[] = {
      {"a click with the freehand line sets one pixel", White(5, 3),
       [](P& p) { p.SetDrawType(P::mdtConnectLine); }, [](P& p) { Click(&p, {2, 1}); },
       Rows({".....", "..#..", "....."})},
      {"a click with a wide pen draws a line from the point to itself", White(5, 5),
       [](P& p) {
         p.SetDrawType(P::mdtConnectLine);
         p.SetPenWidth(3);
       },
       [](P& p) { Click(&p, {2, 2}); }, Rows({".....", ".###.", ".###.", ".###.", "....."})},
      {"freehand from point to point; the last point is a line's end", White(6, 4),
       [](P& p) { p.SetDrawType(P::mdtConnectLine); }, [](P& p) { Drag(&p, {{1, 1}, {4, 1}, {4, 3}}); },
       Rows({"......", ".####.", "....#.", "......"})},
      {"set pixel at every point", White(5, 2), [](P& p) { p.SetDrawType(P::mdtPset); },
       [](P& p) { Drag(&p, {{0, 0}, {2, 1}, {4, 0}}); }, Rows({"#...#", "..#.."})},
      {"line", White(6, 3), [](P& p) { p.SetDrawType(P::mdtLine); }, [](P& p) { Drag(&p, {{0, 1}, {3, 0}, {5, 1}}); },
       Rows({"......", "#####.", "......"})},
      {"box spans both corners, whichever way it is dragged", White(7, 5), [](P& p) { p.SetDrawType(P::mdtBox); },
       [](P& p) { Drag(&p, {{5, 3}, {2, 2}, {1, 1}}); }, Rows({".......", ".#####.", ".#...#.", ".#####.", "......."})},
      {"box with pen width 2", White(8, 7),
       [](P& p) {
         p.SetDrawType(P::mdtBox);
         p.SetPenWidth(2);
       },
       [](P& p) { Drag(&p, {{1, 1}, {6, 5}}); },
       Rows({"........", ".######.", ".######.", ".##..##.", ".######.", ".######.", "........"})},
      {"filled box: outline in the first colour, inside in the second", White(6, 4),
       [](P& p) {
         p.SetDrawType(P::mdtBoxFill);
         p.SetBackColor(clRed);
       },
       [](P& p) { Drag(&p, {{0, 0}, {5, 3}}); }, Rows({"######", "#oooo#", "#oooo#", "######"})},
      {"right button swaps the colours", White(6, 4),
       [](P& p) {
         p.SetDrawType(P::mdtBoxFill);
         p.SetBackColor(clRed);
       },
       [](P& p) { Drag(&p, {{0, 0}, {5, 3}}, Qt::RightButton); }, Rows({"oooooo", "o####o", "o####o", "oooooo"})},
      {"fill without outline", White(5, 3),
       [](P& p) {
         p.SetDrawType(P::mdtFill);
         p.SetBackColor(clRed);
         p.SetPenWidth(3);
       },
       [](P& p) { Drag(&p, {{1, 0}, {3, 2}}); }, Rows({".ooo.", ".ooo.", ".ooo."})},
      {"double box: pen + 2 in the first colour, pen in the second inside it", White(11, 10),
       [](P& p) {
         p.SetDrawType(P::mdtDblBox);
         p.SetBackColor(clRed);
       },
       [](P& p) { Drag(&p, {{1, 1}, {9, 8}}); },
       Rows({"...........", ".#########.", ".#ooooooo#.", ".#o#####o#.", ".#o#...#o#.", ".#o#...#o#.",
             ".#o#####o#.", ".#ooooooo#.", ".#########.", "..........."})},
      {"double line", White(10, 5),
       [](P& p) {
         p.SetDrawType(P::mdtDblLine);
         p.SetBackColor(clRed);
       },
       [](P& p) { Drag(&p, {{1, 2}, {8, 2}}); }, Rows({"..........", "##########", "#ooooooo##", "##########", ".........."})},
      {"ellipse", White(7, 7), [](P& p) { p.SetDrawType(P::mdtEllipse); }, [](P& p) { Drag(&p, {{0, 0}, {6, 6}}); },
       Rows({"..###..", ".#...#.", "#.....#", "#.....#", "#.....#", ".#...#.", "..###.."})},
      {"filled ellipse", White(7, 7),
       [](P& p) {
         p.SetDrawType(P::mdtEllipseFill);
         p.SetBackColor(clRed);
       },
       [](P& p) { Drag(&p, {{0, 0}, {6, 6}}); },
       Rows({"..###..", ".#ooo#.", "#ooooo#", "#ooooo#", "#ooooo#", ".#ooo#.", "..###.."})},
      {"ellipse filled without outline", White(7, 7),
       [](P& p) {
         p.SetDrawType(P::mdtEllipseFillNoFlame);
         p.SetBackColor(clRed);
       },
       [](P& p) { Drag(&p, {{0, 0}, {6, 6}}); },
       Rows({"..ooo..", ".ooooo.", "ooooooo", "ooooooo", "ooooooo", ".ooooo.", "..ooo.."})},
      {"double ellipse", White(11, 11),
       [](P& p) {
         p.SetDrawType(P::mdtDblEllipse);
         p.SetBackColor(clRed);
       },
       [](P& p) { Drag(&p, {{0, 0}, {10, 10}}); },
       Rows({"...#####...", "..#ooooo#..", ".#oo###oo#.", "#oo#...#oo#", "#o#.....#o#", "#o#.....#o#",
             "#o#.....#o#", "#oo#...#oo#", ".#oo###oo#.", "..#ooooo#..", "...#####..."})},
      {"flood fill inside a box", FromRows({"......", ".####.", ".#..#.", ".####.", "......"}),
       [](P& p) {
         p.SetDrawType(P::mdtPaint);
         p.SetDrawColor(clRed);
       },
       [](P& p) { Click(&p, {2, 2}); }, Rows({"......", ".####.", ".#oo#.", ".####.", "......"})},
      {"flood fill stopped by a diagonal line", FromRows({"...#", "..#.", ".#..", "#..."}),
       [](P& p) {
         p.SetDrawType(P::mdtPaint);
         p.SetDrawColor(clBlue);
       },
       [](P& p) { Click(&p, {3, 3}); }, Rows({"...#", "..#b", ".#bb", "#bbb"})},
      {"pattern fill with the stamp", White(4, 4),
       [](P& p) {
         p.SetDrawType(P::mdtPaint);
         p.SetBitmapPaint(true);
         p.SetClipBitmap(FromRows({"o.", ".#"}));
       },
       [](P& p) { Click(&p, {1, 1}); }, Rows({"o.o.", ".#.#", "o.o.", ".#.#"})},
      {"stamp with its top-left corner at the point, following the mouse", White(5, 4),
       [](P& p) {
         p.SetDrawType(P::mdtBmp);
         p.SetClipBitmap(FromRows({"#o", "b#"}));
       },
       [](P& p) { Drag(&p, {{0, 0}, {2, 1}}); }, Rows({".....", "..#o.", "..b#.", "....."})},
      {"stretched stamp", White(5, 4),
       [](P& p) {
         p.SetDrawType(P::mdtStretchBmp);
         p.SetClipBitmap(FromRows({"#o", "b#"}));
       },
       [](P& p) { Drag(&p, {{1, 0}, {4, 3}}); }, Rows({".##oo", ".##oo", ".bb##", ".bb##"})},
      {"eraser draws in the background colour, with either button", FromRows({"#####", "#####", "#####"}),
       [](P& p) {
         p.SetDrawType(P::mdtEraser);
         p.SetBackColor(clRed);
         p.SetDrawColor(clBlue);
       },
       [](P& p) {
         Drag(&p, {{0, 0}, {3, 0}});
         Drag(&p, {{0, 2}, {3, 2}}, Qt::RightButton);
       },
       Rows({"ooo##", "#####", "ooo##"})},
  };
  for (const ToolCase& c : cases) {
    auto panel = Panel(c.picture);
    c.setup(*panel);
    c.act(*panel);
    EXPECT_EQ(Art(panel->GetBitmap()), c.expected) << c.name;
  }
}

// With Shift the end point snaps to the horizontal, vertical or diagonal.
TEST(UserDrawPanelTest, ShiftSnapsTheEndPoint) {
  auto panel = Panel(White(40, 34));
  panel->SetDrawType(P::mdtLine);
  Drag(panel.get(), {{10, 10}, {30, 16}}, Qt::LeftButton, Qt::ShiftModifier);
  QImage expected = White(40, 34);
  DrawLine(expected, {10, 10}, {30, 10}, 1, TRasterInk::Solid(expected, clBlack));
  EXPECT_EQ(Art(panel->GetBitmap()), Art(expected)) << "horizontal";

  panel->SetBitmap(White(40, 34));
  Drag(panel.get(), {{10, 10}, {30, 25}}, Qt::LeftButton, Qt::ShiftModifier);
  expected = White(40, 34);
  DrawLine(expected, {10, 10}, {30, 30}, 1, TRasterInk::Solid(expected, clBlack));
  EXPECT_EQ(Art(panel->GetBitmap()), Art(expected)) << "45 degrees to (30,30)";

  // Boxes become squares; the freehand line does not snap.
  panel->SetBitmap(White(12, 12));
  panel->SetDrawType(P::mdtBox);
  Drag(panel.get(), {{1, 1}, {9, 5}}, Qt::LeftButton, Qt::ShiftModifier);
  EXPECT_EQ(CountColor(panel->GetBitmap(), clBlack), 4 * 8);
  panel->SetBitmap(White(12, 12));
  panel->SetDrawType(P::mdtConnectLine);
  Drag(panel.get(), {{1, 1}, {9, 3}}, Qt::LeftButton, Qt::ShiftModifier);
  EXPECT_EQ(PixelColor(panel->GetBitmap(), 8, 3), clBlack);
}

TEST(UserDrawPanelTest, TextAndOutlinedTextHaveNoBlendedPixels) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPixelSize(14);
  auto panel = Panel(White(60, 24));
  panel->SetFont(font);
  panel->SetText(QString::fromUtf8("Ag字"));
  panel->SetDrawColor(clRed);
  panel->SetDrawType(P::mdtText);
  Click(panel.get(), {3, 3});
  const QImage plain = panel->GetBitmap();
  EXPECT_EQ(OtherPixels(plain, clWhite, clRed), 0);
  const int ink = CountColor(plain, clRed);
  EXPECT_GT(ink, 20);

  panel->SetBitmap(White(60, 24));
  panel->SetBackColor(clBlue);
  panel->SetDrawType(P::mdtDblText);
  Click(panel.get(), {3, 3});
  const QImage outlined = panel->GetBitmap();
  EXPECT_EQ(OtherPixels(outlined, clRed, clBlue) - CountColor(outlined, clWhite), 0);
  // The text itself in the second colour, its one-pixel ring in the first.
  EXPECT_EQ(CountColor(outlined, clBlue), ink);
  for (int y = 0; y < plain.height(); ++y)
    for (int x = 0; x < plain.width(); ++x) {
      if (PixelColor(plain, x, y) == clRed) {
        ASSERT_EQ(PixelColor(outlined, x, y), clBlue) << x << "," << y;
      }
    }
  EXPECT_GT(CountColor(outlined, clRed), ink / 2);
}

// Selection at 400 %, so that a pixel's middle is clear of the 4-pixel
// handles: a fixture picture with a black 3 x 2 block at (1,1), selected.
class SelectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    panel_ = Panel(FromRows({"........", ".###....", ".###....", "........", "........"}));
    panel_->SetZoom(400);
    panel_->SetBackColor(clRed);
    Drag(panel_.get(), {Corner(1, 1), Corner(3, 2), Corner(4, 3)});
    ASSERT_TRUE(panel_->HasSelection());
    ASSERT_EQ(panel_->SelectionRect(), QRect(1, 1, 3, 2));
    ASSERT_FALSE(panel_->Floating());
  }
  // The control points of a pixel's top-left corner and of its middle.
  static QPoint Corner(int x, int y) { return QPoint(4 * x, 4 * y); }
  static QPoint Mid(int x, int y) { return QPoint(4 * x + 2, 4 * y + 2); }
  std::string Picture() const { return Art(panel_->ComposedBitmap()); }
  std::unique_ptr<TUserDrawPanel> panel_;
};

TEST_F(SelectionTest, LiftingLeavesTheBackColourAndMoves) {
  Drag(panel_.get(), {Mid(2, 1), Mid(5, 2), Mid(6, 3)});
  EXPECT_TRUE(panel_->Floating());
  EXPECT_EQ(panel_->SelectionRect(), QRect(5, 3, 3, 2));
  EXPECT_EQ(Art(panel_->GetBitmap()), Rows({"........", ".ooo....", ".ooo....", "........", "........"}));
  Key(panel_.get(), Qt::Key_Escape);
  EXPECT_FALSE(panel_->HasSelection());
  EXPECT_EQ(Art(panel_->GetBitmap()), Rows({"........", ".ooo....", ".ooo....", ".....###", ".....###"}));
  // One undo brings the picture from before the lift.
  panel_->Undo();
  EXPECT_EQ(Art(panel_->GetBitmap()), Rows({"........", ".###....", ".###....", "........", "........"}));
}

TEST_F(SelectionTest, CtrlDragLeavesACopy) {
  Drag(panel_.get(), {Mid(2, 1), Mid(6, 3)}, Qt::LeftButton, Qt::ControlModifier);
  panel_->CommitSelection();
  EXPECT_EQ(Art(panel_->GetBitmap()), Rows({"........", ".###....", ".###....", ".....###", ".....###"}));
  // Ctrl on a lifted selection stamps it where it floats and goes on floating.
  panel_->SetBitmap(FromRows({"........", ".#o#....", "........", "........", "........", "........"}));
  Drag(panel_.get(), {Corner(1, 1), Corner(4, 3)});
  Drag(panel_.get(), {Mid(2, 1), Mid(2, 3)});
  Drag(panel_.get(), {Mid(2, 3), Mid(5, 3)}, Qt::LeftButton, Qt::ControlModifier);
  EXPECT_TRUE(panel_->Floating());
  EXPECT_EQ(Picture(), Rows({"........", ".ooo....", ".ooo....", ".#o##o#.", "........", "........"}));
}

TEST_F(SelectionTest, HandleResizeStretchesThePicture) {
  EXPECT_EQ(panel_->HitZone(Corner(4, 3)), P::hzBottomRight);
  EXPECT_EQ(panel_->HitZone(Corner(1, 1)), P::hzTopLeft);
  EXPECT_EQ(panel_->HitZone(QPoint(10, 4)), P::hzTop);
  EXPECT_EQ(panel_->HitZone(Mid(2, 1)), P::hzInside);
  EXPECT_EQ(panel_->HitZone(Mid(6, 4)), P::hzNone);
  Drag(panel_.get(), {Corner(4, 3), Corner(7, 5)});
  EXPECT_EQ(panel_->SelectionRect(), QRect(1, 1, 6, 4));
  panel_->CommitSelection();
  EXPECT_EQ(Art(panel_->GetBitmap()), Rows({"........", ".######.", ".######.", ".######.", ".######."}));
}

TEST_F(SelectionTest, CopyAndPasteThroughTheClipboard) {
  panel_->CopyToClipboard();
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  ASSERT_TRUE(mime && mime->hasFormat(QStringLiteral("image/bmp")));
  panel_->SetBitmap(White(9, 6));
  panel_->SetDrawType(P::mdtConnectLine);
  ASSERT_TRUE(panel_->PasteFromClipboard());
  EXPECT_EQ(panel_->GetDrawType(), P::mdtNone);
  EXPECT_TRUE(panel_->Floating());
  EXPECT_EQ(panel_->SelectionRect(), QRect(3, 2, 3, 2));
  EXPECT_EQ(Art(panel_->GetBitmap()), Art(White(9, 6)));
  panel_->CommitSelection();
  EXPECT_EQ(CountColor(panel_->GetBitmap(), clBlack), 6);
  EXPECT_EQ(PixelColor(panel_->GetBitmap(), 3, 2), clBlack);
  EXPECT_EQ(PixelColor(panel_->GetBitmap(), 5, 3), clBlack);

  // Cut: copied, and the place filled with the background colour.
  Drag(panel_.get(), {Corner(3, 2), Corner(6, 4)});
  panel_->CutToClipboard();
  EXPECT_EQ(CountColor(panel_->GetBitmap(), clRed), 6);
  EXPECT_FALSE(panel_->HasSelection());
}

TEST_F(SelectionTest, CropAndStamp) {
  panel_->SelectionToStamp();
  EXPECT_EQ(Art(panel_->GetClipBitmap()), Rows({"###", "###"}));
  panel_->Clipping();
  EXPECT_EQ(panel_->GetBitmap().size(), QSize(3, 2));
  EXPECT_EQ(panel_->GetPictureWidth(), 3);
  EXPECT_EQ(panel_->GetPictureheight(), 2);
  EXPECT_EQ(panel_->size(), QSize(12, 8));
  panel_->Undo();
  EXPECT_EQ(panel_->GetBitmap().size(), QSize(8, 5));
}

TEST_F(SelectionTest, DeleteFillsWithTheBackColour) {
  Key(panel_.get(), Qt::Key_Delete);
  EXPECT_EQ(Art(panel_->GetBitmap()), Rows({"........", ".ooo....", ".ooo....", "........", "........"}));
  EXPECT_FALSE(panel_->HasSelection());
  Key(panel_.get(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(CountColor(panel_->GetBitmap(), clBlack), 6);
}

TEST_F(SelectionTest, ANewRectangleIsClippedToThePicture) {
  Drag(panel_.get(), {Corner(5, 2), Corner(30, 40)});
  EXPECT_EQ(panel_->SelectionRect(), QRect(5, 2, 3, 3));
  EXPECT_EQ(panel_->SelectionPicture().size(), QSize(3, 3));
  // Started outside the picture.
  Drag(panel_.get(), {Corner(-5, -5), Corner(2, 2)});
  EXPECT_EQ(panel_->SelectionRect(), QRect(0, 0, 2, 2));
  // A click without a drag leaves no selection.
  Click(panel_.get(), Mid(6, 4));
  EXPECT_FALSE(panel_->HasSelection());
}

TEST_F(SelectionTest, MovedHalfOutAndPutDown) {
  Drag(panel_.get(), {Mid(2, 1), Mid(7, 4)});
  EXPECT_EQ(panel_->SelectionRect(), QRect(6, 4, 3, 2));
  // Another tool puts it down; the pixels outside are dropped.
  panel_->SetDrawType(P::mdtLine);
  EXPECT_FALSE(panel_->HasSelection());
  EXPECT_EQ(Art(panel_->GetBitmap()), Rows({"........", ".ooo....", ".ooo....", "........", "......##"}));
}

TEST(UserDrawPanelUndoTest, UndoTwiceBringsTheStrokeBack) {
  auto panel = Panel(White(4, 2));
  panel->SetDrawType(P::mdtLine);
  Drag(panel.get(), {{0, 0}, {4, 0}});
  EXPECT_TRUE(panel->CanUndo());
  const std::string stroke = Rows({"####", "...."});
  ASSERT_EQ(Art(panel->GetBitmap()), stroke);
  panel->Undo();
  EXPECT_EQ(Art(panel->GetBitmap()), Rows({"....", "...."}));
  panel->Undo();
  EXPECT_EQ(Art(panel->GetBitmap()), stroke);
}

TEST(UserDrawPanelZoomTest, CommandsStopAt1600AndTheToolAt3200) {
  auto panel = Panel(White(10, 5));
  panel->SetZoom(800);
  panel->ZoomUp();
  EXPECT_EQ(panel->GetZoom(), 1600);
  panel->ZoomUp();
  EXPECT_EQ(panel->GetZoom(), 1600);
  EXPECT_EQ(panel->size(), QSize(160, 80));
  panel->SetDrawType(P::mdtZoomUp);
  Click(panel.get(), {20, 20});
  EXPECT_EQ(panel->GetZoom(), 3200);
  Click(panel.get(), {20, 20});
  EXPECT_EQ(panel->GetZoom(), 3200);
  Click(panel.get(), {20, 20}, Qt::RightButton);
  EXPECT_EQ(panel->GetZoom(), 1600);
  panel->SetDrawType(P::mdtZoomDown);
  for (int i = 0; i < 6; ++i) Click(panel.get(), {0, 0});
  EXPECT_EQ(panel->GetZoom(), 100);
  Key(panel.get(), Qt::Key_Plus, Qt::KeypadModifier);
  EXPECT_EQ(panel->GetZoom(), 200);
  Key(panel.get(), Qt::Key_Minus, Qt::KeypadModifier);
  Key(panel.get(), Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_EQ(panel->GetZoom(), 100);

  // At 800 % a click lands on the pixel drawn under it.
  panel->SetZoom(800);
  panel->SetDrawType(P::mdtPset);
  Click(panel.get(), {8 * 7 + 7, 8 * 3});
  EXPECT_EQ(PixelColor(panel->GetBitmap(), 7, 3), clBlack);
  EXPECT_EQ(CountColor(panel->GetBitmap(), clBlack), 1);
}

TEST(UserDrawPanelPaintTest, GridOnlyAbove200AndHandles) {
  auto panel = Panel(White(6, 4));
  panel->SetGrid(true);
  panel->SetGridColor(clRed);
  panel->SetZoom(200);
  EXPECT_EQ(panel->size(), QSize(12, 8));
  EXPECT_EQ(CountColor(panel->grab().toImage(), clRed), 0);
  panel->SetZoom(400);
  EXPECT_EQ(panel->size(), QSize(25, 17));
  const QImage shot = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
  for (int i = 0; i <= 6; ++i) EXPECT_EQ(PixelColor(shot, 4 * i, 2), clRed) << i;
  for (int j = 0; j <= 4; ++j) EXPECT_EQ(PixelColor(shot, 2, 4 * j), clRed) << j;
  EXPECT_EQ(PixelColor(shot, 2, 2), clWhite);

  // The selection's handles: white 4 x 4 boxes with a black edge.
  panel->SetGrid(false);
  panel->SetDrawType(P::mdtNone);
  Drag(panel.get(), {{4, 4}, {16, 12}});
  ASSERT_EQ(panel->SelectionRect(), QRect(1, 1, 3, 2));
  const QImage handles = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(PixelColor(handles, 2, 2), clBlack);
  EXPECT_EQ(PixelColor(handles, 3, 3), clWhite);
  EXPECT_EQ(PixelColor(handles, 5, 5), clBlack);
  EXPECT_EQ(PixelColor(handles, 14, 10), clBlack);
  EXPECT_EQ(PixelColor(handles, 15, 11), clWhite);
}

TEST(UserDrawPanelMonochromeTest, OneBitWithAFixedSeedAndBack) {
  QImage picture = White(32, 16);
  for (int x = 0; x < 32; ++x)
    for (int y = 0; y < 16; ++y) picture.setPixel(x, y, qRgb(x * 8, 128, 255 - x * 8));
  auto first = Panel(picture);
  auto second = Panel(picture);
  first->SetDitherSeed(7);
  second->SetDitherSeed(7);
  first->SetMonochrome(true);
  second->SetMonochrome(true);
  ASSERT_TRUE(first->GetMonochrome());
  EXPECT_EQ(first->GetBitmap().format(), QImage::Format_Mono);
  EXPECT_EQ(Art(first->GetBitmap()), Art(second->GetBitmap()));
  EXPECT_EQ(OtherPixels(first->GetBitmap(), clBlack, clWhite), 0);
  EXPECT_GT(CountColor(first->GetBitmap(), clBlack), 32 * 16 / 4);
  EXPECT_GT(CountColor(first->GetBitmap(), clWhite), 32 * 16 / 4);

  // Drawing on it stays 1 bit; a grey brush dithers.
  first->SetDrawType(P::mdtFill);
  first->SetBackColor(RGB(128, 128, 128));
  Drag(first.get(), {{0, 0}, {7, 7}});
  EXPECT_EQ(first->GetBitmap().format(), QImage::Format_Mono);
  QImage corner = first->GetBitmap().copy(0, 0, 8, 8);
  EXPECT_EQ(CountColor(corner, clBlack), 32);

  const std::string mono = Art(first->GetBitmap());
  first->SetMonochrome(false);
  EXPECT_FALSE(first->GetMonochrome());
  EXPECT_EQ(first->GetBitmap().format(), QImage::Format_RGB32);
  EXPECT_EQ(Art(first->GetBitmap()), mono);
  // Each change keeps an undo copy.
  first->Undo();
  EXPECT_TRUE(first->GetMonochrome());
}

TEST(UserDrawPanelSizeTest, ResizingKeepsThePictureOnWhite) {
  auto panel = Panel(FromRows({"#o", "b#"}));
  panel->SetBitmapWidth(3);
  panel->SetPictureheight(3);
  EXPECT_EQ(Art(panel->GetBitmap()), Rows({"#o.", "b#.", "..."}));
  EXPECT_EQ(panel->GetPictureWidth(), 3);
  panel->Undo();
  EXPECT_EQ(Art(panel->GetBitmap()), Rows({"#o.", "b#."}));
}

// A control of no size, or a zoom of 0, never divides by zero.
TEST(UserDrawPanelSizeTest, NoDivisionByZero) {
  auto panel = Panel(White(4, 4));
  panel->SetAutoSize(false);
  panel->resize(0, 0);
  panel->SetDrawType(P::mdtPset);
  Click(panel.get(), {2, 2});
  EXPECT_EQ(PixelColor(panel->GetBitmap(), 2, 2), clBlack);
  panel->SetZoom(0);
  EXPECT_GE(panel->GetZoom(), 1);
  Click(panel.get(), {1, 1});
  EXPECT_EQ(PixelColor(panel->GetBitmap(), 3, 3), clBlack);
}

}  // namespace
