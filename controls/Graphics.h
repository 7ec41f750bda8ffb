#pragma once
// The small canvas layer the owner-drawn controls paint through: TColor
// resolution, rectangles with exclusive right and bottom edges, a font with
// its colour, and a canvas that keeps pen, brush and font over a QPainter.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QMetaType>
#include <QPolygon>
#include <QRect>
#include <QString>

#include "platform/TColor.h"

class QPainter;

// Resolves a system colour against the application palette; an RGB value
// comes back with its top byte cleared.
TColor ColorToRGB(TColor color);
QColor ToQColor(TColor color);
TColor ColorFromQColor(const QColor& color);

// Left, top inclusive; right, bottom exclusive.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  QRect ToQRect() const { return QRect(Left, Top, Right - Left, Bottom - Top); }
  static TRect FromQRect(const QRect& r) { return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()}; }
  // Grows by dx and dy on every side (negative values shrink).
  TRect Inflated(int dx, int dy) const { return {Left - dx, Top - dy, Right + dx, Bottom + dy}; }
  TRect Offset(int dx, int dy) const { return {Left + dx, Top + dy, Right + dx, Bottom + dy}; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

// A font as the forms keep it: face, height and style, plus its colour.
struct TFont {
  QFont Font;
  TColor Color = clWindowText;

  // Height of the character cell in pixels (the em height).
  int Height() const;
  // Equal when charset, colour, height, name, pitch and style agree.
  friend bool operator==(const TFont& a, const TFont& b);
};
Q_DECLARE_METATYPE(TFont)

int FontPixelHeight(const QFont& font);

enum TPenStyle { psSolid, psDash, psDot, psClear, psInsideFrame };
enum TBrushStyle { bsSolid, bsClear };

struct TPen {
  TColor Color = clBlack;
  int Width = 1;
  TPenStyle Style = psSolid;
};

struct TBrush {
  TColor Color = clWhite;
  TBrushStyle Style = bsSolid;
};

// Pen, brush and font kept apart from the painter, applied per call, so that
// drawing code can read "the pen colour" the way it was set. Drawing is
// aliased: every pixel either belongs to a shape or does not.
class TCanvas {
 public:
  explicit TCanvas(QPainter& painter);
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  QPainter& Painter() { return painter_; }

  TPen Pen;
  TBrush Brush;
  TFont Font;

  // Fills with the brush colour (nothing with a clear brush).
  void FillRect(const TRect& rect);
  // Fills the polygon's inside with the brush; outlined by the pen unless clear.
  void Polygon(const QPolygon& points);
  // A line of the pen's width from a to b, both ends included.
  void Line(QPoint a, QPoint b);
  // Outline in the pen (inside the rectangle), inside in the brush.
  void Rectangle(const TRect& rect);
  void RoundRect(const TRect& rect, int cornerDiameter);
  void Ellipse(const TRect& rect);
  // Text with its cell's top-left corner at (x, y), in the font colour.
  void TextOut(int x, int y, const QString& text);
  int TextWidth(const QString& text) const;
  int TextHeight(const QString& text) const;
  void Draw(int x, int y, const QImage& image);
  // Copies source of image, stretched when the sizes differ, into dest.
  void CopyRect(const TRect& dest, const QImage& image, const TRect& source);

 private:
  void ApplyPen();
  void ApplyBrush();

  QPainter& painter_;
};
