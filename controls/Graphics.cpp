#include "controls/Graphics.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <array>

namespace {

struct SystemColorSource {
  QPalette::ColorGroup group;
  QPalette::ColorRole role;
};

// System colour index -> where the palette keeps the nearest colour.
constexpr std::array<SystemColorSource, 25> kSystemColors = {{
    {QPalette::Active, QPalette::Button},           // scroll bar
    {QPalette::Active, QPalette::Window},           // desktop
    {QPalette::Active, QPalette::Highlight},        // active caption
    {QPalette::Inactive, QPalette::Mid},            // inactive caption
    {QPalette::Active, QPalette::Window},           // menu
    {QPalette::Active, QPalette::Base},             // window
    {QPalette::Active, QPalette::Shadow},           // window frame
    {QPalette::Active, QPalette::WindowText},       // menu text
    {QPalette::Active, QPalette::Text},             // window text
    {QPalette::Active, QPalette::HighlightedText},  // caption text
    {QPalette::Active, QPalette::Window},           // active border
    {QPalette::Inactive, QPalette::Window},         // inactive border
    {QPalette::Active, QPalette::Dark},             // application work space
    {QPalette::Active, QPalette::Highlight},        // highlight
    {QPalette::Active, QPalette::HighlightedText},  // highlight text
    {QPalette::Active, QPalette::Button},           // button face
    {QPalette::Active, QPalette::Dark},             // button shadow
    {QPalette::Disabled, QPalette::Text},           // grey text
    {QPalette::Active, QPalette::ButtonText},       // button text
    {QPalette::Disabled, QPalette::WindowText},     // inactive caption text
    {QPalette::Active, QPalette::Light},            // button highlight
    {QPalette::Active, QPalette::Shadow},           // 3-D dark shadow
    {QPalette::Active, QPalette::Midlight},         // 3-D light
    {QPalette::Active, QPalette::ToolTipText},      // info text
    {QPalette::Active, QPalette::ToolTipBase},      // info background
}};

}  // namespace

TColor ColorToRGB(TColor color) {
  if (!IsSystemColor(color)) return color & 0x00FFFFFF;
  const uint32_t index = color & 0xFF;
  if (index >= kSystemColors.size()) return clBlack;
  const SystemColorSource& source = kSystemColors[index];
  const QPalette palette = QGuiApplication::palette();
  return ColorFromQColor(palette.color(source.group, source.role));
}

QColor ToQColor(TColor color) {
  const TColor rgb = ColorToRGB(color);
  return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

TColor ColorFromQColor(const QColor& color) {
  const QColor c = color.toRgb();
  return RGB(c.red(), c.green(), c.blue());
}

int FontPixelHeight(const QFont& font) {
  if (font.pixelSize() > 0) return font.pixelSize();
  return QFontInfo(font).pixelSize();
}

int TFont::Height() const { return FontPixelHeight(Font); }

bool operator==(const TFont& a, const TFont& b) {
  const QFont& f = a.Font;
  const QFont& g = b.Font;
  return a.Color == b.Color && f.family() == g.family() && a.Height() == b.Height() &&
         f.fixedPitch() == g.fixedPitch() && f.bold() == g.bold() && f.italic() == g.italic() &&
         f.underline() == g.underline() && f.strikeOut() == g.strikeOut();
}

TCanvas::TCanvas(QPainter& painter) : painter_(painter) {
  painter_.setRenderHint(QPainter::Antialiasing, false);
  Font.Font = painter_.font();
}

void TCanvas::ApplyPen() {
  if (Pen.Style == psClear || Pen.Width < 0) {
    painter_.setPen(Qt::NoPen);
    return;
  }
  QPen pen(ToQColor(Pen.Color));
  pen.setWidth(Pen.Width);
  pen.setJoinStyle(Qt::MiterJoin);
  pen.setCapStyle(Qt::SquareCap);
  if (Pen.Style == psDash) pen.setStyle(Qt::DashLine);
  if (Pen.Style == psDot) pen.setStyle(Qt::DotLine);
  painter_.setPen(pen);
}

void TCanvas::ApplyBrush() {
  if (Brush.Style == bsClear)
    painter_.setBrush(Qt::NoBrush);
  else
    painter_.setBrush(ToQColor(Brush.Color));
}

void TCanvas::FillRect(const TRect& rect) {
  if (Brush.Style == bsClear || rect.IsEmpty()) return;
  painter_.fillRect(rect.ToQRect(), ToQColor(Brush.Color));
}

void TCanvas::Polygon(const QPolygon& points) {
  if (points.size() < 2) return;
  if (Brush.Style != bsClear) {
    painter_.setPen(Qt::NoPen);
    ApplyBrush();
    painter_.drawPolygon(points);
  }
  if (Pen.Style != psClear) {
    ApplyPen();
    painter_.setBrush(Qt::NoBrush);
    painter_.drawPolygon(points);
  }
}

void TCanvas::Line(QPoint a, QPoint b) {
  if (Pen.Style == psClear) return;
  ApplyPen();
  QPen pen = painter_.pen();
  pen.setCapStyle(Qt::RoundCap);
  painter_.setPen(pen);
  if (a == b)
    painter_.drawPoint(a);
  else
    painter_.drawLine(a, b);
}

void TCanvas::Rectangle(const TRect& rect) {
  if (rect.IsEmpty()) return;
  FillRect(rect);
  if (Pen.Style == psClear || Pen.Width <= 0) return;
  const int w = std::min({Pen.Width, (rect.Width() + 1) / 2, (rect.Height() + 1) / 2});
  const QColor c = ToQColor(Pen.Color);
  // The outline stays inside the rectangle, as an inside-frame pen would.
  for (int i = 0; i < w; ++i) {
    const TRect r = rect.Inflated(-i, -i);
    painter_.fillRect(QRect(r.Left, r.Top, r.Width(), 1), c);
    painter_.fillRect(QRect(r.Left, r.Bottom - 1, r.Width(), 1), c);
    painter_.fillRect(QRect(r.Left, r.Top, 1, r.Height()), c);
    painter_.fillRect(QRect(r.Right - 1, r.Top, 1, r.Height()), c);
  }
}

void TCanvas::RoundRect(const TRect& rect, int cornerDiameter) {
  if (rect.IsEmpty()) return;
  ApplyPen();
  ApplyBrush();
  const qreal radius = std::max(0, cornerDiameter) / 2.0;
  const qreal inset = Pen.Style == psClear ? 0.0 : Pen.Width / 2.0;
  const QRectF r(rect.Left + inset, rect.Top + inset, rect.Width() - 2 * inset, rect.Height() - 2 * inset);
  painter_.drawRoundedRect(r, radius, radius);
}

void TCanvas::Ellipse(const TRect& rect) {
  if (rect.IsEmpty()) return;
  ApplyPen();
  ApplyBrush();
  const qreal inset = Pen.Style == psClear ? 0.0 : Pen.Width / 2.0;
  painter_.drawEllipse(
      QRectF(rect.Left + inset, rect.Top + inset, rect.Width() - 2 * inset, rect.Height() - 2 * inset));
}

void TCanvas::TextOut(int x, int y, const QString& text) {
  if (text.isEmpty()) return;
  painter_.setFont(Font.Font);
  painter_.setPen(ToQColor(Font.Color));
  const QFontMetrics fm(Font.Font, painter_.device());
  painter_.drawText(QPoint(x, y + fm.ascent()), text);
}

int TCanvas::TextWidth(const QString& text) const {
  return QFontMetrics(Font.Font, painter_.device()).horizontalAdvance(text);
}

int TCanvas::TextHeight(const QString& text) const {
  Q_UNUSED(text);  // the cell height does not depend on the text
  return QFontMetrics(Font.Font, painter_.device()).height();
}

void TCanvas::Draw(int x, int y, const QImage& image) {
  if (!image.isNull()) painter_.drawImage(QPoint(x, y), image);
}

void TCanvas::CopyRect(const TRect& dest, const QImage& image, const TRect& source) {
  if (image.isNull() || dest.IsEmpty() || source.IsEmpty()) return;
  painter_.drawImage(dest.ToQRect(), image, source.ToQRect());
}
