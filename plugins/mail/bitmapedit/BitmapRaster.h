#pragma once
// Drawing on a picture's own pixels with the pixel rules of the Windows
// graphics device, which QPainter's anti-aliasing and edge rules do not give:
//
// - A one-pixel line lights one pixel per column (per row when steeper than
//   45 degrees), the pixel nearest the true line; a line halfway between two
//   pixels lights the upper one (the left one for steep lines). The start
//   pixel is drawn, the end pixel is not.
// - A wider pen covers every pixel whose centre lies within half the width of
//   the segment, round at both ends; odd widths are centred on the pixel, even
//   widths on its top-left corner, and a centre exactly on the edge counts
//   when it lies up or left of the pen's middle (the top-left fill rule).
// - Boxes and ellipses span a pixel box; their pen lies inside it (the
//   inside-frame style) and the brush fills what the pen leaves. An ellipse
//   covers the pixels whose centres lie inside the ellipse inscribed in the
//   box, with the same top-left rule; its pen is that area less the ellipse
//   inscribed in the box made smaller by the pen width on each side.
// - Flood fill paints the 4-connected area of the seed pixel's colour, so a
//   diagonal line of single pixels stops it.
// - Brushes are tiled from the picture's origin. On a 1-bit picture a pen of
//   width 1, text and copied pictures take the nearest colour of the colour
//   table, while a brush (and a wider pen) of another colour is dithered in
//   an 8 x 8 ordered pattern between the two colours.
//
// Pictures are QImage in Format_RGB32 or Format_Mono; every pixel written is
// clipped to the picture.
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdint>
#include <vector>

#include "platform/TColor.h"

namespace qv {

// Any picture as one the routines draw on: 1-bit pictures keep their colour
// table (two entries), everything else becomes Format_RGB32.
QImage MakeRasterPicture(const QImage& source);
bool IsRasterPicture(const QImage& picture);
// A picture of the given size in the format and colour table of like, filled
// with the colour (as a brush would fill it).
QImage NewPictureLike(const QImage& like, int width, int height, TColor color);
// The source in the format and colour table of like, each pixel taking the
// nearest colour the table has.
QImage ConvertPictureLike(const QImage& source, const QImage& like);
// A 1-bit picture of black and white from a picture whose pixels are all
// black or white (any other colour goes to the nearer of the two).
QImage MonoFromBlackAndWhite(const QImage& source);
// The colour of a pixel, $00BBGGRR; outside the picture 0.
TColor PixelColor(const QImage& picture, int x, int y);

// What a pen, brush or text colour puts on a picture's pixels: stored values
// (RGB or colour index), one or a pattern of them tiled from the origin.
class TRasterInk {
 public:
  TRasterInk() = default;
  // The nearest colour the picture can store.
  static TRasterInk Solid(const QImage& picture, TColor color);
  // Solid, or dithered on a 1-bit picture that has no such colour.
  static TRasterInk Brush(const QImage& picture, TColor color);
  // The pattern picture tiled from the picture's origin.
  static TRasterInk Pattern(const QImage& picture, const QImage& pattern);

  bool IsSolid() const { return width_ == 1 && height_ == 1; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The value at a picture position (x, y >= 0).
  uint32_t At(int x, int y) const { return values_[size_t((y % height_) * width_ + (x % width_))]; }
  const uint32_t* Row(int y) const { return values_.data() + size_t((y % height_) * width_); }

 private:
  int width_ = 1;
  int height_ = 1;
  std::vector<uint32_t> values_{0xFF000000u};
};

void SetPixel(QImage& picture, QPoint p, const TRasterInk& ink);
// A line of the pen's width from a towards b (see the rules above).
void DrawLine(QImage& picture, QPoint a, QPoint b, int width, const TRasterInk& ink);
// The pixel box filled.
void FillBox(QImage& picture, const QRect& box, const TRasterInk& ink);
// A box and an ellipse in the pixel box; without a pen the brush fills all
// of it, without a brush the inside is left alone.
void DrawBox(QImage& picture, const QRect& box, int penWidth, const TRasterInk* pen, const TRasterInk* brush);
void DrawEllipse(QImage& picture, const QRect& box, int penWidth, const TRasterInk* pen, const TRasterInk* brush);
// Fills the area of the seed pixel's colour; false when the seed lies outside.
// Ends whatever the ink, even when it puts the area's own colour back.
bool FloodFill(QImage& picture, QPoint seed, const TRasterInk& ink);
// The source copied with its top-left corner at the point, and stretched
// into the pixel box (nearest pixel, no smoothing).
void DrawPicture(QImage& picture, QPoint at, const QImage& source);
void StretchPicture(QImage& picture, const QRect& box, const QImage& source);
// The source at another size, nearest pixel, same format.
QImage StretchedPicture(const QImage& source, int width, int height);

// The text's pixels without anti-aliasing: an 8-bit mask, 255 where the text
// is, with the top-left corner of the text's cell at (0, 0).
QImage TextMask(const QString& text, const QFont& font);
void DrawMask(QImage& picture, QPoint at, const QImage& mask, const TRasterInk& ink);

}  // namespace qv
