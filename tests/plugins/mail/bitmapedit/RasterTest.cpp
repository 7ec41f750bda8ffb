// The raster routines pixel by pixel: the line, pen, box, ellipse, fill and
// brush rules of the system's graphics device, and clipping of every pixel.
#include "plugins/mail/bitmapedit/BitmapRaster.h"

#include "BitmapEditTestSupport.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <thread>

using namespace qv;
using namespace bitmaptest;

namespace {

struct Case {
  const char* name;
  int width, height;
  std::function<void(QImage&)> draw;
  std::string expected;
};

// Runs the work on a thread of its own and says whether it ended; a fill
// that never ends fails the test at once instead of hanging it.
bool Ends(std::function<void()> work) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> ended = done->get_future();
  std::thread([work, done] {
    work();
    done->set_value();
  }).detach();
  if (ended.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return true;
  ADD_FAILURE() << "the fill did not end";
  std::_Exit(1);
}

TRasterInk Black(const QImage& p) { return TRasterInk::Solid(p, clBlack); }
TRasterInk Red(const QImage& p) { return TRasterInk::Solid(p, clRed); }

void Line(QImage& p, QPoint a, QPoint b, int w) { DrawLine(p, a, b, w, Black(p)); }
void Box(QImage& p, QRect box, int w) {
  const TRasterInk pen = Black(p);
  DrawBox(p, box, w, &pen, nullptr);
}
void Ellipse(QImage& p, QRect box, int w) {
  const TRasterInk pen = Black(p);
  DrawEllipse(p, box, w, &pen, nullptr);
}

TEST(RasterTest, PixelTables) {
  const Case cases[] = {
      {"one-pixel line leaves its end pixel out", 8, 3, [](QImage& p) { Line(p, {1, 1}, {6, 1}, 1); },
       Rows({"........", ".#####..", "........"})},
      {"a line to its own start draws nothing", 3, 3, [](QImage& p) { Line(p, {1, 1}, {1, 1}, 1); },
       Rows({"...", "...", "..."})},
      {"halfway between two rows the upper pixel, either way round", 5, 4,
       [](QImage& p) {
         Line(p, {0, 0}, {4, 1}, 1);
         Line(p, {4, 3}, {0, 2}, 1);
       },
       Rows({"###..", "...#.", ".##..", "...##"})},
      {"steep: halfway between two columns the left pixel", 2, 5, [](QImage& p) { Line(p, {0, 0}, {1, 4}, 1); },
       Rows({"#.", "#.", "#.", ".#", ".."})},
      {"diagonal", 4, 4, [](QImage& p) { Line(p, {0, 0}, {3, 3}, 1); }, Rows({"#...", ".#..", "..#.", "...."})},
      {"pen width 2: a dot is 2 x 2 up and left of the point", 5, 5, [](QImage& p) { Line(p, {2, 2}, {2, 2}, 2); },
       Rows({".....", ".##..", ".##..", ".....", "....."})},
      {"pen width 3: a dot is 3 x 3 round the point", 5, 5, [](QImage& p) { Line(p, {2, 2}, {2, 2}, 3); },
       Rows({".....", ".###.", ".###.", ".###.", "....."})},
      {"pen width 4: a round dot", 6, 6, [](QImage& p) { Line(p, {3, 3}, {3, 3}, 4); },
       Rows({"......", "..##..", ".####.", ".####.", "..##..", "......"})},
      {"pen width 2 horizontal: round ends, both end points covered", 9, 4, [](QImage& p) { Line(p, {1, 2}, {6, 2}, 2); },
       Rows({".........", "#######..", "#######..", "........."})},
      {"pen width 3 diagonal", 7, 7, [](QImage& p) { Line(p, {1, 1}, {5, 5}, 3); },
       Rows({"###....", "####...", "#####..", ".#####.", "..#####", "...####", "....###"})},
      {"box pen 1, both corners inside", 7, 5, [](QImage& p) { Box(p, QRect(1, 1, 5, 3), 1); },
       Rows({".......", ".#####.", ".#...#.", ".#####.", "......."})},
      {"box pen 2 inside the frame", 8, 7, [](QImage& p) { Box(p, QRect(1, 1, 6, 5), 2); },
       Rows({"........", ".######.", ".######.", ".##..##.", ".######.", ".######.", "........"})},
      {"box pen 3 inside the frame", 9, 9, [](QImage& p) { Box(p, QRect(1, 1, 7, 7), 3); },
       Rows({".........", ".#######.", ".#######.", ".#######.", ".###.###.", ".#######.", ".#######.", ".#######.",
             "........."})},
      {"box pen 4 wider than half the box fills it", 7, 5, [](QImage& p) { Box(p, QRect(1, 1, 5, 3), 4); },
       Rows({".......", ".#####.", ".#####.", ".#####.", "......."})},
      {"box outlined and filled", 6, 5,
       [](QImage& p) {
         const TRasterInk pen = Black(p), brush = Red(p);
         DrawBox(p, QRect(0, 0, 6, 5), 1, &pen, &brush);
       },
       Rows({"######", "#oooo#", "#oooo#", "#oooo#", "######"})},
      {"box filled without a pen covers all of it", 4, 3,
       [](QImage& p) {
         const TRasterInk brush = Red(p);
         DrawBox(p, QRect(1, 0, 2, 3), 1, nullptr, &brush);
       },
       Rows({".oo.", ".oo.", ".oo."})},
      {"ellipse pen 1 touches all four edges of the box", 12, 9, [](QImage& p) { Ellipse(p, QRect(1, 1, 10, 7), 1); },
       Rows({"............", "...######...", "..##....##..", ".#........#.", ".#........#.", ".#........#.",
             "..##....##..", "...######...", "............"})},
      {"ellipse pen 2", 12, 9, [](QImage& p) { Ellipse(p, QRect(1, 1, 10, 7), 2); },
       Rows({"............", "...######...", "..########..", ".###....###.", ".##......##.", ".###....###.",
             "..########..", "...######...", "............"})},
      {"ellipse pen 3", 12, 9, [](QImage& p) { Ellipse(p, QRect(1, 1, 10, 7), 3); },
       Rows({"............", "...######...", "..########..", ".##########.", ".###....###.", ".##########.",
             "..########..", "...######...", "............"})},
      {"ellipse pen 4", 14, 11, [](QImage& p) { Ellipse(p, QRect(1, 1, 12, 9), 4); },
       Rows({"..............", "....######....", "...########...", "..##########..", ".############.",
             ".####....####.", ".############.", "..##########..", "...########...", "....######....",
             ".............."})},
      {"circle outlined and filled", 7, 7,
       [](QImage& p) {
         const TRasterInk pen = Black(p), brush = Red(p);
         DrawEllipse(p, QRect(0, 0, 7, 7), 1, &pen, &brush);
       },
       Rows({"..###..", ".#ooo#.", "#ooooo#", "#ooooo#", "#ooooo#", ".#ooo#.", "..###.."})},
      {"ellipse filled without a pen", 7, 7,
       [](QImage& p) {
         const TRasterInk brush = Red(p);
         DrawEllipse(p, QRect(0, 0, 7, 7), 1, nullptr, &brush);
       },
       Rows({"..ooo..", ".ooooo.", "ooooooo", "ooooooo", "ooooooo", ".ooooo.", "..ooo.."})},
      {"flood fill stops at a diagonal line", 6, 6,
       [](QImage& p) {
         Line(p, {5, 0}, {-1, 6}, 1);
         FloodFill(p, {0, 0}, Red(p));
       },
       Rows({"ooooo#", "oooo#.", "ooo#..", "oo#...", "o#....", "#....."})},
      {"flood fill does not leak through a corner", 5, 3,
       [](QImage& p) {
         p.setPixel(2, 0, qRgb(0, 0, 0));
         p.setPixel(2, 2, qRgb(0, 0, 0));
         p.setPixel(1, 1, qRgb(0, 0, 0));
         p.setPixel(3, 1, qRgb(0, 0, 0));
         FloodFill(p, {2, 1}, Red(p));
       },
       Rows({"..#..", ".#o#.", "..#.."})},
      {"pattern fill is tiled from the picture's origin", 6, 4,
       [](QImage& p) {
         const TRasterInk checker = TRasterInk::Pattern(p, FromRows({"o.", ".o"}));
         FloodFill(p, {3, 2}, checker);
       },
       Rows({"o.o.o.", ".o.o.o", "o.o.o.", ".o.o.o"})},
      {"pattern brush in a box", 6, 4,
       [](QImage& p) {
         const TRasterInk pen = Black(p), stripes = TRasterInk::Pattern(p, FromRows({"o", "."}));
         DrawBox(p, QRect(0, 0, 6, 4), 1, &pen, &stripes);
       },
       Rows({"######", "#....#", "#oooo#", "######"})},
      {"stamp and stretched stamp, nearest pixel", 7, 4,
       [](QImage& p) {
         const QImage stamp = FromRows({"#o", "b."});
         DrawPicture(p, {0, 0}, stamp);
         StretchPicture(p, QRect(3, 0, 4, 4), stamp);
       },
       Rows({"#o.##oo", "b..##oo", "...bb..", "...bb.."})},
  };
  for (const Case& c : cases) {
    QImage picture = White(c.width, c.height);
    c.draw(picture);
    EXPECT_EQ(Art(picture), c.expected) << c.name;
  }
}

// A fill that puts the area's own colour back, or a pattern that repeats it,
// still ends: filled pixels are never visited again.
TEST(RasterTest, FloodFillEndsWhenTheInkRepeatsTheArea) {
  QImage same = FromRows({"....", ".##.", "...."});
  ASSERT_TRUE(Ends([&] { EXPECT_TRUE(FloodFill(same, {0, 0}, TRasterInk::Solid(same, clWhite))); }));
  EXPECT_EQ(Art(same), Rows({"....", ".##.", "...."}));

  QImage patterned = White(300, 200);
  ASSERT_TRUE(Ends([&] {
    EXPECT_TRUE(FloodFill(patterned, {150, 100}, TRasterInk::Pattern(patterned, FromRows({".o.", "..."}))));
  }));
  EXPECT_EQ(CountColor(patterned, clRed), 100 * 100);

  QImage outside = White(3, 3);
  EXPECT_FALSE(FloodFill(outside, {3, 0}, TRasterInk::Solid(outside, clBlack)));
  EXPECT_FALSE(FloodFill(outside, {-1, 1}, TRasterInk::Solid(outside, clBlack)));
  EXPECT_EQ(CountColor(outside, clWhite), 9);
}

// Every pixel written lands inside the picture, however far the shape reaches.
TEST(RasterTest, EveryPixelIsClipped) {
  QImage p = White(6, 4);
  const TRasterInk ink = Black(p);
  Line(p, {-3, -3}, {10, 10}, 1);
  Line(p, {-1000000000, 3}, {1000000000, 3}, 1);
  Line(p, {5, -20}, {5, 20}, 3);
  Ellipse(p, QRect(-10, -10, 12, 12), 2);
  DrawBox(p, QRect(-5, -5, 100, 100), 1, nullptr, nullptr);
  StretchPicture(p, QRect(-100, -100, 50, 50), FromRows({"#"}));
  DrawPicture(p, {4, 2}, FromRows({"ooo", "ooo", "ooo"}));
  SetPixel(p, {6, 0}, ink);
  SetPixel(p, {-1, 0}, ink);
  EXPECT_EQ(Art(p), Rows({"#...##", ".#..##", "..#.oo", "####oo"}));
}

// On a 1-bit picture a brush of a colour the table lacks is an ordered
// dither; pens of width 1 and text take the nearest colour.
TEST(RasterTest, OneBitPictures) {
  QImage mono = FromRows({"........", "........", "........", "........", "........", "........", "........",
                          "........"},
                         true);
  ASSERT_EQ(mono.format(), QImage::Format_Mono);
  QImage grey = mono;
  FillBox(grey, grey.rect(), TRasterInk::Brush(grey, RGB(128, 128, 128)));
  EXPECT_EQ(CountColor(grey, clBlack), 32);
  EXPECT_EQ(Art(grey), Rows({".#.#.#.#", "#.#.#.#.", ".#.#.#.#", "#.#.#.#.", ".#.#.#.#", "#.#.#.#.", ".#.#.#.#",
                             "#.#.#.#."}));

  QImage dark = mono;
  FillBox(dark, dark.rect(), TRasterInk::Brush(dark, RGB(64, 64, 64)));
  EXPECT_EQ(CountColor(dark, clBlack), 48);

  QImage pen = mono;
  DrawLine(pen, {0, 0}, {8, 0}, 1, TRasterInk::Solid(pen, RGB(100, 100, 100)));
  DrawLine(pen, {0, 1}, {8, 1}, 1, TRasterInk::Solid(pen, RGB(160, 160, 160)));
  DrawLine(pen, {0, 2}, {8, 2}, 1, TRasterInk::Solid(pen, clRed));
  EXPECT_EQ(Art(pen).substr(0, 27), Rows({"########", "........", "########"}));

  // A colour the table holds is never dithered.
  QImage white = mono;
  FillBox(white, white.rect(), TRasterInk::Brush(white, clBlack));
  EXPECT_EQ(CountColor(white, clBlack), 64);

  // A colour stamp lands as the nearest of black and white.
  QImage stamped = mono;
  DrawPicture(stamped, {0, 0}, FromRows({"#o", "b."}));
  EXPECT_EQ(stamped.format(), QImage::Format_Mono);
  EXPECT_EQ(Art(stamped).substr(0, 18), Rows({"##......", "#......."}));
}

// Text has no blended pixel: only the ink colour and the background.
TEST(RasterTest, TextWithoutBlendedPixels) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPixelSize(16);
  const QImage mask = TextMask(QString::fromUtf8("Ag画"), font);
  ASSERT_FALSE(mask.isNull());
  int ink = 0;
  for (int y = 0; y < mask.height(); ++y)
    for (int x = 0; x < mask.width(); ++x) {
      const int v = mask.constScanLine(y)[x];
      EXPECT_TRUE(v == 0 || v == 255);
      ink += v == 255;
    }
  EXPECT_GT(ink, 20);
  QImage picture = White(60, 24);
  DrawMask(picture, {2, 2}, mask, TRasterInk::Solid(picture, clRed));
  EXPECT_EQ(OtherPixels(picture, clWhite, clRed), 0);
  EXPECT_EQ(CountColor(picture, clRed), ink);
}

}  // namespace
