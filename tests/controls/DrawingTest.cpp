// The drawing functions, checked pixel by pixel on offscreen images against
// values worked out by hand from their formulas.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>
#include <cmath>
#include <map>
#include <random>
#include <vector>

#include "ControlTestUtil.h"
#include "controls/BRVGraphicsEX.h"

using qvtest::ImageCanvas;
using qvtest::Pixel;

namespace {

struct BlendCase {
  TColor c1, c2;
  int alpha;
  TColor expected;
};

TEST(BlendColor, ChannelsMixByAlpha) {
  const BlendCase cases[] = {
      {clRed, clBlue, 255, clRed},
      {clRed, clBlue, 0, clBlue},
      {clRed, clBlue, 128, RGB(128, 0, 127)},
      {0x336699, 0x996633, 64, RGB(76, 102, 127)},
      // 147 × 85 / 255 is exactly 49; a floating-point sum truncates to 48.
      {RGB(147, 0, 0), clBlack, 85, RGB(49, 0, 0)},
      {RGB(155, 155, 155), clBlack, 51, RGB(31, 31, 31)},
      // Alphas outside 0..255 (the shaded rims reach -1) stay within range.
      {clWhite, clBlack, -1, clBlack},
      {clBlack, clWhite, -1, clWhite},
      {clWhite, clBlack, 300, clWhite},
  };
  for (const BlendCase& c : cases)
    EXPECT_EQ(BlendColor(c.c1, c.c2, c.alpha), c.expected)
        << std::hex << c.c1 << " " << c.c2 << " " << std::dec << c.alpha;
}

TEST(BlendColor, ResolvesSystemColours) {
  const QColor face = QApplication::palette().color(QPalette::Active, QPalette::Button);
  EXPECT_EQ(BlendColor(clBtnFace, clBlack, 255), RGB(face.red(), face.green(), face.blue()));
  EXPECT_EQ(ColorToRGB(clBtnFace), RGB(face.red(), face.green(), face.blue()));
  EXPECT_EQ(ColorToRGB(0x12345678), 0x345678u);
}

struct ShadeCase {
  int steps, step;
  bool invert;
  TColor expected;
};

TEST(ShadeColor, LightAtTopLeftDarkAtBottomRight) {
  // Colour (200, 100, 50); c = Trunc(Sin((2 Step / Steps + 0.25) π) × 128).
  const TColor color = RGB(200, 100, 50);
  const ShadeCase cases[] = {
      {64, 0, false, RGB(129, 64, 32)},     // right: c = 90, darker
      {64, 8, false, RGB(99, 49, 24)},      // bottom right: c = 128
      {64, 16, false, RGB(129, 64, 32)},    // bottom: c = 90
      {64, 24, false, RGB(200, 100, 50)},   // bottom left: c = 0
      {64, 32, false, RGB(219, 154, 122)},  // left: c = -90, lighter
      {64, 40, false, RGB(227, 177, 152)},  // top left: c = -128
      {64, 48, false, RGB(219, 154, 122)},  // top
      {64, 40, true, RGB(99, 49, 24)},      // inverted
      {64, 8, true, RGB(227, 177, 152)},   {8, 3, false, RGB(200, 100, 50)},
      {0, 5, false, RGB(200, 100, 50)},  // no circle: the colour itself
  };
  for (const ShadeCase& c : cases)
    EXPECT_EQ(ShadeColor(color, c.steps, c.step, c.invert), c.expected) << c.steps << "/" << c.step << " " << c.invert;
}

TEST(EllipsePoints, StepsRunFromTheRightDownwards) {
  std::vector<QPoint> points;
  EXPECT_EQ(EllipsePoints({10, 10}, 5, 5, 0, 4, 16, 0, points), 5);
  const std::vector<QPoint> expected = {{15, 10}, {14, 11}, {13, 13}, {11, 14}, {10, 15}};
  EXPECT_EQ(std::vector<QPoint>(points.begin(), points.begin() + 5), expected);

  // Counting down, written after what the array already holds.
  std::vector<QPoint> down(2, QPoint(-1, -1));
  EXPECT_EQ(EllipsePoints({10, 10}, 5, 5, 4, 0, 16, 2, down), 7);
  EXPECT_EQ(down[0], QPoint(-1, -1));
  EXPECT_EQ(std::vector<QPoint>(down.begin() + 2, down.end()), std::vector<QPoint>(expected.rbegin(), expected.rend()));
}

// --- text ------------------------------------------------------------------

struct WrapCase {
  QString text;
  int width;
  bool wrap;
  QStringList lines;
};

TEST(DrawEffectText, WrapsAtCharactersAndKeepsAsciiWordsWhole) {
  ImageCanvas image(10, 10, clWhite);
  const TCanvas& canvas = image.Canvas();
  ASSERT_EQ(canvas.TextWidth("a"), 5) << "test font missing";
  ASSERT_EQ(canvas.TextWidth(QString::fromUtf8("あ")), 10);
  const WrapCase cases[] = {
      // Overflow inside "world": the break moves to the start of the word.
      {"hello world", 40, true, {"hello ", "world"}},
      // Double-byte characters break at the one that overflows.
      {QString::fromUtf8("あいうえお"),
       25,
       true,
       {QString::fromUtf8("あい"), QString::fromUtf8("うえ"), QString::fromUtf8("お")}},
      // A word longer than the line breaks where it overflows.
      {"abcdefghij", 22, true, {"abcd", "efgh", "ij"}},
      // A double-byte character ends the run of letters.
      {QString::fromUtf8("あabcd"), 22, true, {QString::fromUtf8("あ"), "abcd"}},
      // Overflow on a blank after a word keeps the word on the line.
      {"abcd efg", 20, true, {"abcd", " efg"}},
      // The first character of a line always stays, however narrow.
      {"ab", 0, true, {"a", "b"}},
      {"a\r\nb\nc\rd\r\n", 100, true, {"a", "b", "c", "d"}},
      {"hello world", 40, false, {"hello world"}},
      {"", 40, true, {}},
  };
  for (const WrapCase& c : cases)
    EXPECT_EQ(WrapEffectText(canvas, c.text, c.width, c.wrap), c.lines) << c.text.toStdString() << " @" << c.width;
}

TEST(DrawEffectText, MeasureOnlyGivesTheTextExtent) {
  ImageCanvas image(100, 60, clWhite);
  TRect rect{5, 7, 95, 50};
  EXPECT_EQ(DrawEffectText(image.Canvas(), "abc\nab", rect, clBlack, clBlack, 4, true, true, 0), 24);
  EXPECT_EQ(rect, (TRect{5, 7, 5 + 15 + 4, 7 + 24}));
  const QImage drawn = image.Finish();
  EXPECT_EQ(qvtest::CountOf(drawn, clWhite), 100 * 60) << "measuring draws nothing";

  ImageCanvas empty(20, 20, clWhite);
  TRect none{0, 0, 20, 20};
  EXPECT_EQ(DrawEffectText(empty.Canvas(), "", none, clBlack, clBlack, 4, true, true, 0), 4);
  EXPECT_EQ(none, (TRect{0, 0, 4, 4}));
}

QImage RenderText(int effect, int alignment, TColor font, TColor shadow, TColor effectColor,
                  const QString& text = "Ag") {
  ImageCanvas image(60, 40, clWhite);
  image.Canvas().Font.Color = font;
  TRect rect{0, 0, 60, 40};
  DrawEffectText(image.Canvas(), text, rect, shadow, effectColor, effect, false, false, alignment);
  return image.Finish();
}

TEST(DrawEffectText, NineAlignmentsPlaceTheText) {
  ImageCanvas probe(1, 1, clWhite);
  const int tw = probe.Canvas().TextWidth("Ag");
  const QImage base = RenderText(4, 0, clBlack, clBlack, clBlack);
  // Rect (2, 2, 58, 38) after the 2-pixel margin; one line, text height 14.
  const int xs[3] = {2, (2 + 58 - tw) / 2, 58 - tw};
  const int ys[3] = {2, (2 + 38 - 14) / 2 + 2, 38 - 14 + 2};
  for (int alignment = 0; alignment < 9; ++alignment) {
    const QImage shot = RenderText(4, alignment, clBlack, clBlack, clBlack);
    const int dx = xs[alignment % 3] - xs[0];
    const int dy = ys[alignment / 3] - ys[0];
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 60; ++x) {
        const bool inBase = x - dx >= 0 && x - dx < 60 && y - dy >= 0 && y - dy < 40;
        const TColor expected = inBase ? Pixel(base, x - dx, y - dy) : clWhite;
        ASSERT_EQ(Pixel(shot, x, y), expected) << "alignment " << alignment << " at " << x << "," << y;
      }
  }
  EXPECT_EQ(qvtest::CountOf(RenderText(4, 9, clBlack, clBlack, clBlack), clWhite), 60 * 40) << "alignment 9";
}

TEST(DrawEffectText, EachEffectDrawsItsCopiesThenTheText) {
  const TColor font = RGB(10, 20, 30);
  const TColor shadow = RGB(40, 160, 40);
  const TColor effect = RGB(200, 40, 40);
  const TColor light = BlendColor(clWhite, effect, 64);
  const TColor dark = BlendColor(clBlack, effect, 64);
  struct Copy {
    int dx, dy;
    TColor color;
  };
  using Copies = std::vector<Copy>;
  const Copies shadows = {{1, 2, shadow}, {2, 1, shadow}, {2, 2, shadow}};
  const Copies border = {{-1, -1, effect}, {0, -1, effect}, {1, -1, effect}, {-1, 0, effect},
                         {1, 0, effect},   {-1, 1, effect}, {0, 1, effect},  {1, 1, effect}};
  const Copies raised = {{1, -1, effect}, {-1, 1, effect}, {-1, -1, light}, {0, -1, light},
                         {-1, 0, light},  {1, 0, dark},    {0, 1, dark},    {1, 1, dark}};
  const Copies bold = {{-2, 1, effect}, {1, -2, effect}, {-2, -2, light}, {-2, -1, light},
                       {-2, 0, light},  {-1, -2, light}, {0, -2, light},  {1, 0, dark},
                       {0, 1, dark},    {1, 1, dark},    {-1, 1, dark},   {1, -1, dark}};
  auto join = [](std::initializer_list<Copies> parts) {
    Copies all;
    for (const Copies& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  };
  const TColor halfDark = BlendColor(clBlack, font, 128);
  struct EffectCase {
    int effect;
    Copies copies;
    TColor text;
  };
  const EffectCase cases[] = {
      {0, border, font},
      {1, join({shadows, border}), font},
      {2,
       {{1, -1, effect},
        {-1, 1, effect},
        {1, 0, light},
        {0, 1, light},
        {1, 1, light},
        {-1, -1, dark},
        {0, -1, dark},
        {-1, 0, dark}},
       font},
      {3, {{1, 1, BlendColor(clWhite, effect, 128)}}, BlendColor(clBlack, font, 64)},
      {4, {}, font},
      {5, raised, font},
      {6, join({shadows, raised}), font},
      {7, join({shadows, bold, {{-1, -1, halfDark}, {0, -1, halfDark}, {-1, 0, halfDark}}}), font},
      {8, join({shadows, bold, {{-1, -1, dark}, {0, -1, dark}, {-1, 0, dark}}}), font},
  };

  const QImage maskImage = RenderText(4, 4, clBlack, clBlack, clBlack);
  std::vector<QPoint> mask;
  for (int y = 0; y < maskImage.height(); ++y)
    for (int x = 0; x < maskImage.width(); ++x)
      if (Pixel(maskImage, x, y) == clBlack) mask.emplace_back(x, y);
  ASSERT_GT(mask.size(), 20u);

  for (const EffectCase& c : cases) {
    std::map<std::pair<int, int>, TColor> expected;
    for (const Copy& copy : c.copies)
      for (QPoint p : mask) expected[{p.x() + copy.dx, p.y() + copy.dy}] = copy.color;
    for (QPoint p : mask) expected[{p.x(), p.y()}] = c.text;
    const QImage shot = RenderText(c.effect, 4, font, shadow, effect);
    int wrong = 0;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x) {
        const auto it = expected.find({x, y});
        const TColor want = it == expected.end() ? clWhite : it->second;
        if (Pixel(shot, x, y) != want) ++wrong;
      }
    EXPECT_EQ(wrong, 0) << "effect " << c.effect;
  }
}

// --- shapes --------------------------------------------------------------

struct ShapeShot {
  QImage image;
  TColor highlight;
  TColor shadow;
};

const TColor kPen = RGB(100, 150, 200);
const TColor kFace = RGB(250, 220, 10);
const TColor kBack = RGB(1, 2, 3);

ShapeShot DrawOne(int shape, bool flat, bool raised, bool offset, int radius = -1, int w = 40, int h = 30) {
  ImageCanvas image(w, h, kBack);
  TCanvas& c = image.Canvas();
  c.Pen = {kPen, 2, psSolid};
  c.Brush = {kFace, bsSolid};
  DrawShape(c, shape, 0, 0, w, h, flat, raised, offset, 128, radius);
  EXPECT_EQ(c.Pen.Color, kPen) << "pen kept";
  EXPECT_EQ(c.Pen.Style, psSolid);
  return {image.Finish(), BlendColor(clWhite, kPen, 128), BlendColor(clBlack, kPen, 128)};
}

TColor Rim(const ShapeShot&, int angleIndex, bool raised) { return qvtest::RimColor(kPen, 128, angleIndex, raised); }

TEST(DrawShape, RectangleRimIsLightTopLeftDarkBottomRight) {
  const ShapeShot raised = DrawOne(1, false, true, false);
  EXPECT_EQ(Pixel(raised.image, 0, 15), raised.highlight);
  EXPECT_EQ(Pixel(raised.image, 1, 15), raised.highlight);
  EXPECT_EQ(Pixel(raised.image, 20, 0), raised.highlight);
  EXPECT_EQ(Pixel(raised.image, 39, 15), raised.shadow);
  EXPECT_EQ(Pixel(raised.image, 20, 29), raised.shadow);
  EXPECT_EQ(Pixel(raised.image, 2, 15), kFace);
  EXPECT_EQ(Pixel(raised.image, 20, 15), kFace);

  const ShapeShot sunken = DrawOne(1, false, false, false);
  EXPECT_EQ(Pixel(sunken.image, 0, 15), sunken.shadow);
  EXPECT_EQ(Pixel(sunken.image, 39, 15), sunken.highlight);

  // The offset flag moves the rim's inner edge: out when raised, in when sunken.
  EXPECT_EQ(Pixel(DrawOne(1, false, true, true).image, 1, 15), kFace);
  EXPECT_EQ(Pixel(DrawOne(1, false, false, true).image, 2, 15), sunken.shadow);

  const ShapeShot flat = DrawOne(1, true, true, false);
  EXPECT_EQ(qvtest::CountOf(flat.image, kFace), 40 * 30);
}

TEST(DrawShape, RoundRectangleRimTurnsFromLightToDark) {
  const ShapeShot s = DrawOne(2, false, true, false);
  // Automatic radius: min((40 + 30) / 16, 40 / 2 - 2, 30 / 2 - 2 - 1) = 4.
  EXPECT_EQ(AutoRoundRadius(40, 30, 2), 4);
  EXPECT_EQ(Pixel(s.image, 0, 0), kBack);
  EXPECT_EQ(Pixel(s.image, 20, 15), kFace);
  EXPECT_EQ(Pixel(s.image, 0, 15), Rim(s, 16, true));   // left edge
  EXPECT_EQ(Pixel(s.image, 20, 0), Rim(s, 24, true));   // top edge
  EXPECT_EQ(Pixel(s.image, 39, 15), Rim(s, 32, true));  // right edge
  EXPECT_EQ(Pixel(s.image, 20, 29), Rim(s, 8, true));   // bottom edge
  const ShapeShot sunken = DrawOne(2, false, false, false);
  EXPECT_EQ(Pixel(sunken.image, 0, 15), Rim(sunken, 16, false));
  EXPECT_EQ(Pixel(sunken.image, 20, 29), Rim(sunken, 8, false));
}

TEST(DrawShape, CornerRadiusShapesTheCorners) {
  struct RadiusCase {
    int radius;
    QPoint probe;
    bool background;
  };
  const RadiusCase cases[] = {
      {0, {0, 0}, false},  // square corner: rim reaches the corner
      {8, {1, 1}, true},   // round corner: the corner stays background
      {8, {2, 1}, true},  {8, {5, 5}, false}, {2, {1, 1}, false}, {-1, {0, 0}, true},  // automatic radius 4
  };
  for (const RadiusCase& c : cases) {
    const ShapeShot s = DrawOne(2, false, true, false, c.radius);
    EXPECT_EQ(Pixel(s.image, c.probe) == kBack, c.background) << "radius " << c.radius;
  }
  // Flat: the plain round rectangle in the brush.
  const ShapeShot flat = DrawOne(2, true, true, false, 8);
  EXPECT_EQ(Pixel(flat.image, 0, 0), kBack);
  EXPECT_EQ(Pixel(flat.image, 0, 15), kFace);
}

TEST(DrawShape, EllipseAndUnknownShapes) {
  const ShapeShot s = DrawOne(3, false, true, false);
  EXPECT_EQ(Pixel(s.image, 0, 0), kBack);
  EXPECT_EQ(Pixel(s.image, 39, 29), kBack);
  EXPECT_EQ(Pixel(s.image, 20, 15), kFace);
  // Probes just past each axis point, where the segment starting there is drawn.
  EXPECT_EQ(Pixel(s.image, 0, 14), Rim(s, 16, true));
  EXPECT_EQ(Pixel(s.image, 39, 15), Rim(s, 0, true));
  EXPECT_EQ(Pixel(s.image, 19, 29), Rim(s, 8, true));
  for (int shape : {0, 4, -1}) EXPECT_EQ(qvtest::CountOf(DrawOne(shape, false, true, false).image, kBack), 40 * 30);
}

TEST(DrawShape, ClearPenDrawsThePlainShape) {
  ImageCanvas image(40, 30, kBack);
  image.Canvas().Pen = {kPen, 2, psClear};
  image.Canvas().Brush = {kFace, bsSolid};
  DrawShape(image.Canvas(), 1, 0, 0, 40, 30, false, true, false, 128);
  EXPECT_EQ(qvtest::CountOf(image.Finish(), kFace), 40 * 30);
}

// --- pie and frame pieces ----------------------------------------------------

TEST(DrawPie, FaceAndRingShadedStepByStep) {
  const TColor side = RGB(200, 100, 50);
  ImageCanvas image(200, 200, kBack);
  // Steps of 45 degrees: every ring segment is large enough to probe.
  DrawPie(image.Canvas(), kFace, side, 8, 0, 8, true, false, 20, 60, 60, {100, 100});
  const QImage shot = image.Finish();
  EXPECT_EQ(Pixel(shot, 100 + 30, 100 + 5), kFace);
  for (int s = 0; s < 8; ++s) {
    const double a = (s + 0.5) * 2 * M_PI / 8;
    const QPoint p(100 + static_cast<int>(std::cos(a) * 70), 100 + static_cast<int>(std::sin(a) * 70));
    EXPECT_EQ(Pixel(shot, p), ShadeColor(side, 8, s, false)) << "step " << s;
  }
  EXPECT_EQ(Pixel(shot, 1, 1), kBack);
}

TEST(DrawPie, NothingForFewStepsOrAnEmptyRange) {
  struct PieCase {
    int steps, from, to;
  };
  for (const PieCase c : {PieCase{2, 0, 1}, PieCase{361, 0, 90}, PieCase{8, 3, 3}}) {
    ImageCanvas image(50, 50, kBack);
    DrawPie(image.Canvas(), kFace, kFace, c.to, c.from, c.steps, true, false, 5, 20, 20, {25, 25});
    EXPECT_EQ(qvtest::CountOf(image.Finish(), kBack), 50 * 50) << c.steps << " " << c.from << ".." << c.to;
  }
  // A range that wraps: 6..2 of 8 is drawn through step 0.
  ImageCanvas wrapped(50, 50, kBack);
  DrawPie(wrapped.Canvas(), kFace, kFace, 2, 6, 8, true, false, 0, 20, 20, {25, 25});
  const QImage shot = wrapped.Finish();
  EXPECT_EQ(Pixel(shot, 40, 25), kFace);
  EXPECT_EQ(Pixel(shot, 10, 25), kBack);
}

QImage Frame(int code, bool faceMode, int w, int h, int radius, int depth) {
  ImageCanvas image(w, h, kBack);
  DrawFrame3D(image.Canvas(), {0, 0, w, h}, kFace, faceMode, code & 1, code & 2, code & 4, code & 8, radius, depth,
              kPen, kFace);
  return image.Finish();
}

TEST(DrawFrame3D, WholeAndEmptyPieces) {
  EXPECT_EQ(qvtest::CountOf(Frame(15, true, 12, 12, 8, 2), kFace), 144);
  EXPECT_EQ(qvtest::CountOf(Frame(15, false, 12, 12, 8, 2), kBack), 144);
  EXPECT_EQ(qvtest::CountOf(Frame(0, false, 12, 12, 8, 2), kPen), 144);
  EXPECT_EQ(qvtest::CountOf(Frame(0, true, 12, 12, 8, 2), kBack), 144);
}

TEST(DrawFrame3D, StraightEdgeBands) {
  // Code 3: the piece's top is inside the panel (the bottom edge of a panel).
  const QImage face = Frame(3, true, 12, 14, 8, 2);
  const QImage fill = Frame(3, false, 12, 14, 8, 2);
  EXPECT_EQ(Pixel(face, 5, 0), kFace);
  EXPECT_EQ(Pixel(face, 5, 7), kFace);
  EXPECT_EQ(Pixel(face, 5, 8), ShadeColor(kFace, 64, 16, false));
  EXPECT_EQ(Pixel(face, 5, 9), ShadeColor(kFace, 64, 16, false));
  EXPECT_EQ(Pixel(face, 5, 10), kBack);
  EXPECT_EQ(Pixel(fill, 5, 9), kBack);
  EXPECT_EQ(Pixel(fill, 5, 10), kPen);
  EXPECT_EQ(Pixel(fill, 5, 13), kPen);

  struct Band {
    int code;
    QPoint rim;
    int step;
  };
  for (const Band b : {Band{6, {2, 5}, 32}, Band{9, {9, 5}, 0}, Band{12, {5, 2}, 48}}) {
    const QImage shot = Frame(b.code, true, 12, 12, 8, 2);
    EXPECT_EQ(Pixel(shot, b.rim), ShadeColor(kFace, 64, b.step, false)) << "code " << b.code;
  }
}

TEST(DrawFrame3D, ConvexCornerIsAQuarterPieWithItsRing) {
  // Code 4: only the bottom-right corner is inside: the panel's top-left corner.
  const QImage face = Frame(4, true, 12, 12, 10, 2);
  const QImage fill = Frame(4, false, 12, 12, 10, 2);
  EXPECT_EQ(Pixel(face, 10, 10), kFace);
  EXPECT_EQ(Pixel(face, 0, 0), kBack);
  EXPECT_EQ(Pixel(fill, 0, 0), kPen);
  EXPECT_EQ(Pixel(fill, 10, 10), kBack);
  // On the diagonal at distance 11 from the centre: the lightest part of the ring.
  const TColor ring = Pixel(face, 4, 4);
  EXPECT_TRUE(ring == ShadeColor(kFace, 64, 39, false) || ring == ShadeColor(kFace, 64, 40, false));
  EXPECT_EQ(Pixel(fill, 4, 4), kBack) << "the ring is not filled over";
}

TEST(DrawFrame3D, ConcaveCornerJoinsTwoAttachedEdges) {
  // Code 14: every corner but the top-left lies inside the panel.
  const QImage face = Frame(14, true, 12, 12, 6, 2);
  const QImage fill = Frame(14, false, 12, 12, 6, 2);
  EXPECT_EQ(Pixel(face, 11, 11), kFace);
  EXPECT_EQ(Pixel(face, 0, 11), kFace);
  EXPECT_EQ(Pixel(face, 11, 0), kFace);
  EXPECT_EQ(Pixel(fill, 0, 0), kPen);
  EXPECT_EQ(Pixel(fill, 1, 1), kPen);
  EXPECT_EQ(Pixel(fill, 11, 11), kBack);
  // The inverted ring between radius 4 and 6 about the outside corner.
  const TColor ring = Pixel(face, 3, 3);
  EXPECT_NE(ring, kFace);
  EXPECT_NE(ring, kBack);
}

// --- bitmaps ---------------------------------------------------------------

TEST(Bitmaps, GrayscaleAveragesTheChannels) {
  QImage image(2, 1, QImage::Format_RGB32);
  image.setPixel(0, 0, qRgb(30, 60, 90));
  image.setPixel(1, 0, qRgb(255, 0, 1));
  GrayscaleBitmap(image);
  EXPECT_EQ(image.format(), QImage::Format_RGB888);
  EXPECT_EQ(image.pixel(0, 0), qRgb(60, 60, 60));
  EXPECT_EQ(image.pixel(1, 0), qRgb(85, 85, 85));
}

TEST(Bitmaps, DitherKeepsBlackAndWhiteAndSpreadsGreys) {
  QImage image(64, 64, QImage::Format_RGB32);
  image.fill(qRgb(64, 64, 64));
  image.setPixel(0, 0, qRgb(0, 0, 0));
  image.setPixel(1, 0, qRgb(255, 255, 255));
  DitherBitmapMono(image, 12345);
  int white = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const QRgb p = image.pixel(x, y);
      ASSERT_TRUE(p == qRgb(0, 0, 0) || p == qRgb(255, 255, 255)) << x << "," << y;
      if (p == qRgb(255, 255, 255)) ++white;
    }
  EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(1, 0), qRgb(255, 255, 255));
  // Grey 64 is white with chance 65 / 256.
  EXPECT_NEAR(white / 4096.0, 65.0 / 256, 0.04);

  QImage clocked(8, 8, QImage::Format_RGB32);
  clocked.fill(qRgb(128, 128, 128));
  DitherBitmapMono(clocked);
  EXPECT_EQ(clocked.format(), QImage::Format_RGB888);
}

TEST(Bitmaps, ResampleAveragesAreas) {
  QImage row(4, 1, QImage::Format_RGB32);
  const int values[4] = {0, 0, 255, 255};
  for (int x = 0; x < 4; ++x) row.setPixel(x, 0, qRgb(values[x], values[x], values[x]));
  ResampleBitmap(row, 2, 1);
  ASSERT_EQ(row.size(), QSize(2, 1));
  EXPECT_EQ(row.format(), QImage::Format_RGB888);
  // Worked by hand from the spans [-0.5, 1.5) and [1.5, 3.5).
  EXPECT_EQ(qRed(row.pixel(0, 0)), 16);
  EXPECT_EQ(qRed(row.pixel(1, 0)), 239);

  QImage pair(2, 1, QImage::Format_RGB32);
  pair.setPixel(0, 0, qRgb(0, 0, 0));
  pair.setPixel(1, 0, qRgb(255, 255, 255));
  ResampleBitmap(pair, 1, 1);
  EXPECT_EQ(qRed(pair.pixel(0, 0)), 127);

  // A flat colour stays that colour at any size.
  QImage flat(7, 5, QImage::Format_RGB32);
  flat.fill(qRgb(10, 120, 230));
  ResampleBitmap(flat, 3, 11);
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 3; ++x) ASSERT_EQ(flat.pixel(x, y), qRgb(10, 120, 230)) << x << "," << y;
}

// The resampling rules evaluated directly, cell by cell with a bilinear
// sample each, as a reference for the reduced form the library computes.
QImage ResampleByTheRules(const QImage& bitmap, int w2, int h2) {
  const QImage source = bitmap.convertToFormat(QImage::Format_RGB888);
  const int W = source.width(), H = source.height();
  struct Cell {
    int index;
    double weight, offset;
  };
  auto spans = [](int size, int newSize, int d) {
    std::vector<Cell> cells;
    const double l = double(size) * d / newSize - 0.5;
    const double m = double(size) * (d + 1) / newSize - 0.000001 - 0.5;
    const int first = int(std::floor(l)), last = int(std::floor(m));
    for (int i = first; i <= last; ++i) {
      Cell c{i, 1.0, 0.5};
      if (first == last) {
        c.weight = m - l;
        c.offset = ((l - i) + (m - i)) / 2;
      } else if (i == first) {
        c.weight = 1 - (l - i);
        c.offset = (l - i + 1) / 2;
      } else if (i == last) {
        c.weight = 1 - (i + 1 - m);
        c.offset = c.weight / 2;
      }
      cells.push_back(c);
    }
    return cells;
  };
  auto pixel = [&](int x, int y, int ch) -> double {
    return source.constScanLine(std::clamp(y, 0, H - 1))[3 * std::clamp(x, 0, W - 1) + ch];
  };
  const double scale = double(W) * H / (double(w2) * h2);
  QImage dest(w2, h2, QImage::Format_RGB888);
  for (int y = 0; y < h2; ++y)
    for (int x = 0; x < w2; ++x) {
      double sum[3] = {0, 0, 0};
      for (const Cell& cy : spans(H, h2, y))
        for (const Cell& cx : spans(W, w2, x))
          for (int ch = 0; ch < 3; ++ch) {
            const double fx = cx.offset, fy = cy.offset;
            sum[ch] += cx.weight * cy.weight *
                       ((1 - fx) * (1 - fy) * pixel(cx.index, cy.index, ch) + fx * (1 - fy) * pixel(cx.index + 1, cy.index, ch) +
                        (1 - fx) * fy * pixel(cx.index, cy.index + 1, ch) + fx * fy * pixel(cx.index + 1, cy.index + 1, ch));
          }
      for (int ch = 0; ch < 3; ++ch)
        dest.scanLine(y)[3 * x + ch] = uchar(std::clamp(std::nearbyint(sum[ch] / scale), 0.0, 255.0));
    }
  return dest;
}

TEST(Bitmaps, ResampleGivesThePixelsOfTheRules) {
  std::mt19937 rng(11);
  struct Case {
    QSize from, to;
    QImage::Format format;
  };
  const Case cases[] = {
      {{40, 30}, {7, 5}, QImage::Format_RGB32},   {{7, 5}, {40, 30}, QImage::Format_RGB888},
      {{13, 9}, {13, 4}, QImage::Format_RGB32},   {{1, 1}, {5, 3}, QImage::Format_RGB32},
      {{96, 43}, {192, 130}, QImage::Format_RGB32}, {{300, 200}, {96, 72}, QImage::Format_Indexed8},
      {{5, 17}, {3, 40}, QImage::Format_ARGB32},
  };
  for (const Case& c : cases) {
    QImage source(c.from, QImage::Format_RGB32);
    for (int y = 0; y < source.height(); ++y)
      for (int x = 0; x < source.width(); ++x) source.setPixel(x, y, qRgb(int(rng() % 256), int(rng() % 256), int(rng() % 256)));
    source = source.convertToFormat(c.format);
    const QImage expected = ResampleByTheRules(source, c.to.width(), c.to.height());
    QImage resampled = source;
    ResampleBitmap(resampled, c.to.width(), c.to.height());
    ASSERT_EQ(resampled.size(), c.to);
    EXPECT_EQ(resampled, expected) << c.from.width() << "x" << c.from.height() << " to " << c.to.width() << "x"
                                   << c.to.height();
    // Any part comes out as the same pixels of the whole.
    const QRect part(c.to.width() / 3, c.to.height() / 4, c.to.width() / 2 + 1, c.to.height() / 2 + 1);
    EXPECT_EQ(ResampleBitmapPart(source, c.to.width(), c.to.height(), part), expected.copy(part));
  }
  // A part reaching outside is cut to the picture; one wholly outside is empty.
  QImage flat(10, 10, QImage::Format_RGB32);
  flat.fill(qRgb(1, 2, 3));
  EXPECT_EQ(ResampleBitmapPart(flat, 4, 4, QRect(2, 2, 10, 10)).size(), QSize(2, 2));
  EXPECT_TRUE(ResampleBitmapPart(flat, 4, 4, QRect(5, 5, 3, 3)).isNull());
}

TEST(Bitmaps, ResampleLeavesSameSizeAndBadSizesAlone) {
  QImage image(5, 4, QImage::Format_ARGB32);
  image.fill(qRgba(1, 2, 3, 4));
  const qint64 key = image.cacheKey();
  for (QSize size : {QSize(5, 4), QSize(0, 4), QSize(5, 0), QSize(-1, -1)}) {
    ResampleBitmap(image, size.width(), size.height());
    EXPECT_EQ(image.cacheKey(), key);
    EXPECT_EQ(image.format(), QImage::Format_ARGB32);
  }
  QImage empty;
  ResampleBitmap(empty, 3, 3);
  EXPECT_TRUE(empty.isNull());
}

}  // namespace
