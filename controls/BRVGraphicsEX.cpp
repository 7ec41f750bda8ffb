#include "controls/BRVGraphicsEX.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <cmath>
#include <numbers>
#include <random>
#include <utility>

namespace {

constexpr double kPi = std::numbers::pi;

int Trunc(double v) { return static_cast<int>(v); }

// Saves pen and brush and puts them back when the drawing function ends.
class CanvasStateSaver {
 public:
  explicit CanvasStateSaver(TCanvas& canvas) : canvas_(canvas), pen_(canvas.Pen), brush_(canvas.Brush) {}
  ~CanvasStateSaver() {
    canvas_.Pen = pen_;
    canvas_.Brush = brush_;
  }
  CanvasStateSaver(const CanvasStateSaver&) = delete;
  CanvasStateSaver& operator=(const CanvasStateSaver&) = delete;

 private:
  TCanvas& canvas_;
  TPen pen_;
  TBrush brush_;
};

class ClipSaver {
 public:
  ClipSaver(QPainter& painter, const QRect& clip) : painter_(painter) {
    painter_.save();
    painter_.setClipRect(clip, Qt::IntersectClip);
  }
  ~ClipSaver() { painter_.restore(); }
  ClipSaver(const ClipSaver&) = delete;
  ClipSaver& operator=(const ClipSaver&) = delete;

 private:
  QPainter& painter_;
};

void FillPolygon(TCanvas& canvas, const QPolygon& points, TColor color) {
  canvas.Pen.Style = psClear;
  canvas.Brush.Style = bsSolid;
  canvas.Brush.Color = color;
  canvas.Polygon(points);
}

void FillPolygonF(TCanvas& canvas, const QPolygonF& points, TColor color) {
  QPainter& p = canvas.Painter();
  p.setPen(Qt::NoPen);
  p.setBrush(ToQColor(color));
  p.drawPolygon(points);
}

void FillBand(TCanvas& canvas, const TRect& rect, TColor color) {
  canvas.Brush.Style = bsSolid;
  canvas.Brush.Color = color;
  canvas.FillRect(rect);
}

// --- text ---------------------------------------------------------------

QStringList SplitLines(const QString& text) {
  QStringList lines;
  QString current;
  bool pending = false;  // a line was started
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == u'\r' || c == u'\n') {
      lines << current;
      current.clear();
      pending = false;
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      continue;
    }
    current += c;
    pending = true;
  }
  if (pending) lines << current;
  return lines;
}

// One user-perceived character per entry: a surrogate pair stays whole.
std::vector<QString> SplitCharacters(const QString& line) {
  std::vector<QString> chars;
  for (qsizetype i = 0; i < line.size();) {
    const qsizetype n = (line[i].isHighSurrogate() && i + 1 < line.size() && line[i + 1].isLowSurrogate()) ? 2 : 1;
    chars.push_back(line.mid(i, n));
    i += n;
  }
  return chars;
}

bool IsWordCharacter(const QString& ch) {
  if (ch.size() != 1) return false;
  const char16_t u = ch[0].unicode();
  return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z');
}

void WrapLine(const TCanvas& canvas, const QString& line, int width, QStringList& out) {
  std::vector<QString> chars = SplitCharacters(line);
  size_t start = 0;
  while (true) {
    int sum = 0;
    size_t breakAt = chars.size();
    for (size_t k = start; k < chars.size(); ++k) {
      sum += canvas.TextWidth(chars[k]);
      if (sum > width && k > start) {
        breakAt = k;
        break;
      }
    }
    if (breakAt == chars.size()) break;
    // Keep a word of ASCII letters and digits whole unless it fills the line.
    if (IsWordCharacter(chars[breakAt]) && IsWordCharacter(chars[breakAt - 1])) {
      size_t j = breakAt;
      while (j > start && IsWordCharacter(chars[j - 1])) --j;
      if (j > start) breakAt = j;
    }
    QString piece;
    for (size_t k = start; k < breakAt; ++k) piece += chars[k];
    out << piece;
    start = breakAt;
  }
  QString rest;
  for (size_t k = start; k < chars.size(); ++k) rest += chars[k];
  out << rest;
}

struct EffectCopy {
  int dx;
  int dy;
  enum Kind { Shadow, Effect, Light, Dark, Disabled, FontHalfDark } kind;
};

using Copies = std::vector<EffectCopy>;

const Copies& EffectCopies(int effect) {
  using E = EffectCopy;
  static const std::array<Copies, 9> table = [] {
    const Copies shadow = {{1, 2, E::Shadow}, {2, 1, E::Shadow}, {2, 2, E::Shadow}};
    const Copies border = {{-1, -1, E::Effect}, {0, -1, E::Effect}, {1, -1, E::Effect}, {-1, 0, E::Effect},
                           {1, 0, E::Effect},   {-1, 1, E::Effect}, {0, 1, E::Effect},  {1, 1, E::Effect}};
    const Copies raised = {{1, -1, E::Effect}, {-1, 1, E::Effect}, {-1, -1, E::Light}, {0, -1, E::Light},
                           {-1, 0, E::Light},  {1, 0, E::Dark},    {0, 1, E::Dark},    {1, 1, E::Dark}};
    const Copies bold = {{-2, 1, E::Effect}, {1, -2, E::Effect}, {-2, -2, E::Light}, {-2, -1, E::Light},
                         {-2, 0, E::Light},  {-1, -2, E::Light}, {0, -2, E::Light},  {1, 0, E::Dark},
                         {0, 1, E::Dark},    {1, 1, E::Dark},    {-1, 1, E::Dark},   {1, -1, E::Dark}};
    auto join = [](Copies a, const Copies& b) {
      a.insert(a.end(), b.begin(), b.end());
      return a;
    };
    std::array<Copies, 9> t;
    t[0] = border;
    t[1] = join(shadow, border);
    t[2] = {{1, -1, E::Effect}, {-1, 1, E::Effect}, {1, 0, E::Light}, {0, 1, E::Light},
            {1, 1, E::Light},   {-1, -1, E::Dark},  {0, -1, E::Dark}, {-1, 0, E::Dark}};
    t[3] = {{1, 1, E::Disabled}};
    t[4] = {};
    t[5] = raised;
    t[6] = join(shadow, raised);
    t[7] = join(join(shadow, bold), {{-1, -1, E::FontHalfDark}, {0, -1, E::FontHalfDark}, {-1, 0, E::FontHalfDark}});
    t[8] = join(join(shadow, bold), {{-1, -1, E::Dark}, {0, -1, E::Dark}, {-1, 0, E::Dark}});
    return t;
  }();
  static const Copies none;
  return effect >= 0 && effect < 9 ? table[static_cast<size_t>(effect)] : none;
}

// --- shapes -------------------------------------------------------------

// Outline points of a round rectangle: four quarter circles of 9 points each,
// clockwise from the bottom-right corner's right-hand point; angle index i
// (0..32) of each point in angleIndex.
QPolygonF RoundRectOutline(double l, double t, double r, double b, double radius, std::vector<int>* angleIndex) {
  const std::array<QPointF, 4> centres = {QPointF(r - radius, b - radius), QPointF(l + radius, b - radius),
                                          QPointF(l + radius, t + radius), QPointF(r - radius, t + radius)};
  QPolygonF points;
  for (int q = 0; q < 4; ++q) {
    for (int i = q * 8; i <= q * 8 + 8; ++i) {
      const double a = i * kPi / 16;
      points << centres[static_cast<size_t>(q)] + QPointF(std::cos(a) * radius, std::sin(a) * radius);
      if (angleIndex) angleIndex->push_back(i);
    }
  }
  return points;
}

QPolygonF EllipseOutline(double l, double t, double r, double b, std::vector<int>* angleIndex) {
  const QPointF c((l + r) / 2, (t + b) / 2);
  const double rx = std::max(0.0, (r - l) / 2);
  const double ry = std::max(0.0, (b - t) / 2);
  QPolygonF points;
  for (int i = 0; i <= 32; ++i) {
    const double a = i * kPi / 16;
    points << c + QPointF(std::cos(a) * rx, std::sin(a) * ry);
    if (angleIndex) angleIndex->push_back(i);
  }
  return points;
}

// Light at the top left, dark at the bottom right, for outline angle index i.
TColor RimColor(TColor highlight, TColor shadow, int i) {
  return BlendColor(highlight, shadow, 127 - Trunc(std::cos(i * kPi / 16 - kPi / 4) * 128));
}

// A rim between two outlines of the same points, one quad per segment.
void FillRim(TCanvas& canvas, const QPolygonF& outer, const QPolygonF& inner, const std::vector<int>& angle,
             TColor highlight, TColor shadow) {
  const qsizetype n = outer.size();
  for (qsizetype k = 0; k < n; ++k) {
    const qsizetype k1 = (k + 1) % n;
    if (outer[k] == outer[k1] && inner[k] == inner[k1]) continue;
    FillPolygonF(canvas, QPolygonF({outer[k], outer[k1], inner[k1], inner[k]}),
                 RimColor(highlight, shadow, angle[static_cast<size_t>(k)]));
  }
}

// --- frame pieces ------------------------------------------------------

enum Corner { kLeftTop = 0, kLeftBottom = 1, kRightBottom = 2, kRightTop = 3 };

QPoint CornerPoint(const TRect& r, int corner) {
  switch (corner) {
    case kLeftTop:
      return {r.Left, r.Top};
    case kLeftBottom:
      return {r.Left, r.Bottom};
    case kRightBottom:
      return {r.Right, r.Bottom};
    default:
      return {r.Right, r.Top};
  }
}

// Steps (of 64) of the quarter about a corner that points into the piece.
int QuarterFrom(int corner) {
  switch (corner) {
    case kLeftTop:
      return 0;
    case kRightTop:
      return 16;
    case kRightBottom:
      return 32;
    default:
      return 48;
  }
}

struct Arc {
  bool used = false;
  int rx = 0;
  int ry = 0;
};

// The piece's outline walked left-top, left-bottom, right-bottom, right-top,
// with a quarter arc cut into each corner that has one.
QPolygon PieceOutline(const TRect& r, const std::array<Arc, 4>& arcs) {
  std::vector<QPoint> points;
  for (int corner = 0; corner < 4; ++corner) {
    const Arc& arc = arcs[static_cast<size_t>(corner)];
    if (!arc.used) {
      points.push_back(CornerPoint(r, corner));
      continue;
    }
    const int from = QuarterFrom(corner);
    const int first = static_cast<int>(points.size());
    EllipsePoints(CornerPoint(r, corner), arc.rx, arc.ry, from, from + 16, 64, first, points);
  }
  return QPolygon(QList<QPoint>(points.begin(), points.end()));
}

QPolygon QuarterDisc(const TRect& r, int corner, int rx, int ry) {
  std::vector<QPoint> points{CornerPoint(r, corner)};
  const int from = QuarterFrom(corner);
  EllipsePoints(CornerPoint(r, corner), rx, ry, from, from + 16, 64, 1, points);
  return QPolygon(QList<QPoint>(points.begin(), points.end()));
}

int CornerOfCode(int code) {
  switch (code) {
    case 1:
      return kLeftTop;
    case 2:
      return kRightTop;
    case 4:
      return kRightBottom;
    default:
      return kLeftBottom;
  }
}

// For the concave codes, the one corner of the piece outside the panel.
int OutsideCorner(int code) {
  switch (code) {
    case 7:
      return kLeftBottom;
    case 11:
      return kRightBottom;
    case 13:
      return kRightTop;
    default:
      return kLeftTop;
  }
}

std::vector<int> ConvexCorners(int code) {
  switch (code) {
    case 1:
    case 2:
    case 4:
    case 8:
      return {CornerOfCode(code)};
    case 5:
      return {kLeftTop, kRightBottom};
    case 10:
      return {kRightTop, kLeftBottom};
    default:
      return {};
  }
}

// --- bitmaps --------------------------------------------------------------

QImage To24Bit(const QImage& image) {
  return image.format() == QImage::Format_RGB888 ? image : image.convertToFormat(QImage::Format_RGB888);
}

}  // namespace

TColor BlendColor(TColor Color1, TColor Color2, int Alpha) {
  const TColor a = ColorToRGB(Color1);
  const TColor b = ColorToRGB(Color2);
  // Integer arithmetic gives the exact quotient that a floating-point sum
  // only approximates (51 / 255 × 255 is not always 51).
  auto mix = [Alpha](int c1, int c2) {
    const int v = (c1 * Alpha + c2 * (255 - Alpha)) / 255;
    return std::clamp(v, 0, 255);
  };
  return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)), mix(GetBValue(a), GetBValue(b)));
}

TColor ShadeColor(TColor Color, int Steps, int Step, bool Invert) {
  if (Steps == 0) return ColorToRGB(Color);
  const double angle = (2.0 * Step / Steps + 0.25) * kPi;
  int c = Trunc(std::sin(angle) * 128);
  if (Invert) c = -c;
  return c < 0 ? BlendColor(clWhite, Color, -c) : BlendColor(clBlack, Color, c);
}

int EllipsePoints(QPoint Centre, int RadiusX, int RadiusY, int FromStep, int ToStep, int Steps, int FirstIndex,
                  std::vector<QPoint>& Points) {
  if (Steps == 0 || FirstIndex < 0) return FirstIndex;
  const int dir = ToStep < FromStep ? -1 : 1;
  const int count = std::abs(ToStep - FromStep) + 1;
  if (Points.size() < static_cast<size_t>(FirstIndex + count)) Points.resize(static_cast<size_t>(FirstIndex + count));
  int index = FirstIndex;
  for (int s = FromStep;; s += dir) {
    const double a = 2 * kPi / Steps * s;
    Points[static_cast<size_t>(index++)] =
        QPoint(Trunc(std::cos(a) * RadiusX) + Centre.x(), Trunc(std::sin(a) * RadiusY) + Centre.y());
    if (s == ToStep) break;
  }
  return index;
}

void DrawTextLines(TCanvas& Canvas, int Left, int Right, int Alignment, const QStringList& Lines, int LineHeight,
                   int Top) {
  if (Alignment < 0 || Alignment > 8) return;
  const int column = Alignment % 3;
  for (qsizetype i = 0; i < Lines.size(); ++i) {
    const QString& line = Lines[i];
    int x = Left;
    if (column == 1) x = (Left + Right - Canvas.TextWidth(line)) / 2;
    if (column == 2) x = Right - Canvas.TextWidth(line);
    Canvas.TextOut(x, Top + LineHeight * static_cast<int>(i), line);
  }
}

QStringList WrapEffectText(const TCanvas& Canvas, const QString& Text, int Width, bool WordWrap) {
  const QStringList lines = SplitLines(Text);
  if (!WordWrap) return lines;
  QStringList wrapped;
  for (const QString& line : lines) WrapLine(Canvas, line, Width, wrapped);
  return wrapped;
}

int DrawEffectText(TCanvas& Canvas, const QString& Text, TRect& Rect, TColor ShadowColor, TColor EffectColor,
                   int Effect, bool MeasureOnly, bool WordWrap, int Alignment) {
  const QStringList lines = WrapEffectText(Canvas, Text, Rect.Width() - 4, WordWrap);
  const int lineHeight = std::abs(Canvas.Font.Height());
  const int textHeight = static_cast<int>(lines.size()) * lineHeight + 4;

  if (MeasureOnly) {
    int widest = 0;
    for (const QString& line : lines) widest = std::max(widest, Canvas.TextWidth(line));
    Rect = {Rect.Left, Rect.Top, Rect.Left + std::max(widest, 0) + 4, Rect.Top + textHeight};
    return textHeight;
  }

  Rect = Rect.Inflated(-2, -2);
  int top = Rect.Top;
  if (Alignment >= 3 && Alignment <= 5) top = (Rect.Top + Rect.Bottom - textHeight) / 2 + 2;
  if (Alignment >= 6 && Alignment <= 8) top = Rect.Bottom - textHeight + 2;

  const TColor fontColor = Canvas.Font.Color;
  const TColor light = BlendColor(clWhite, EffectColor, 64);
  const TColor dark = BlendColor(clBlack, EffectColor, 64);
  for (const EffectCopy& copy : EffectCopies(Effect)) {
    TColor color = EffectColor;
    switch (copy.kind) {
      case EffectCopy::Shadow:
        color = ShadowColor;
        break;
      case EffectCopy::Effect:
        color = EffectColor;
        break;
      case EffectCopy::Light:
        color = light;
        break;
      case EffectCopy::Dark:
        color = dark;
        break;
      case EffectCopy::Disabled:
        color = BlendColor(clWhite, EffectColor, 128);
        break;
      case EffectCopy::FontHalfDark:
        color = BlendColor(clBlack, fontColor, 128);
        break;
    }
    Canvas.Font.Color = color;
    DrawTextLines(Canvas, Rect.Left + copy.dx, Rect.Right + copy.dx, Alignment, lines, lineHeight, top + copy.dy);
  }
  Canvas.Font.Color = Effect == 3 ? BlendColor(clBlack, fontColor, 64) : fontColor;
  DrawTextLines(Canvas, Rect.Left, Rect.Right, Alignment, lines, lineHeight, top);
  Canvas.Font.Color = fontColor;
  return textHeight;
}

int AutoRoundRadius(int Width, int Height, int PenWidth) {
  const double r = std::min({(Width + Height) / 16.0, Width / 2.0 - PenWidth, Height / 2.0 - PenWidth - 1});
  return std::max(0, Trunc(r));
}

void DrawShape(TCanvas& Canvas, int Shape, int Left, int Top, int Right, int Bottom, bool Flat, bool Raised,
               bool Offset, int Alpha, int Radius) {
  if (Shape < 1 || Shape > 3 || Right <= Left || Bottom <= Top) return;
  CanvasStateSaver saver(Canvas);
  const int w = Right - Left;
  const int h = Bottom - Top;
  const bool noRim = Canvas.Pen.Style == psClear;
  const int penWidth = noRim ? 0 : std::max(0, Canvas.Pen.Width);
  TColor highlight = BlendColor(clWhite, Canvas.Pen.Color, Alpha);
  TColor shadow = BlendColor(clBlack, Canvas.Pen.Color, Alpha);
  if (!Raised) std::swap(highlight, shadow);
  Canvas.Pen.Style = psClear;
  int rim = penWidth;
  if (Offset && rim > 0) rim += Raised ? -1 : 1;
  rim = std::clamp(rim, 0, std::min(w, h) / 2);

  int radius = Radius < 0 ? AutoRoundRadius(w, h, penWidth) : Radius;
  radius = std::clamp(radius, 0, std::min(w, h) / 2);

  QPainter& p = Canvas.Painter();
  const bool face = Canvas.Brush.Style != bsClear;
  const TColor faceColor = Canvas.Brush.Color;

  if (Shape == 1) {
    if (face) FillBand(Canvas, {Left, Top, Right, Bottom}, faceColor);
    if (Flat || rim == 0) return;
    const int l = Left, t = Top, r = Right, b = Bottom;
    FillPolygon(Canvas, QPolygon({{l, b}, {l, t}, {r, t}, {r - rim, t + rim}, {l + rim, t + rim}, {l + rim, b - rim}}),
                highlight);
    FillPolygon(Canvas, QPolygon({{r, t}, {r, b}, {l, b}, {l + rim, b - rim}, {r - rim, b - rim}, {r - rim, t + rim}}),
                shadow);
    return;
  }

  std::vector<int> angle;
  QPolygonF outer;
  QPolygonF inner;
  if (Shape == 2) {
    outer = RoundRectOutline(Left, Top, Right, Bottom, radius, &angle);
    // The inner edge keeps the corner centres while the radius allows it.
    const double innerRadius = std::max(0, radius - rim);
    inner = RoundRectOutline(Left + rim, Top + rim, Right - rim, Bottom - rim, innerRadius, nullptr);
  } else {
    outer = EllipseOutline(Left, Top, Right, Bottom, &angle);
    inner = EllipseOutline(Left + rim, Top + rim, Right - rim, Bottom - rim, nullptr);
  }
  p.save();
  if (face) FillPolygonF(Canvas, outer, faceColor);
  if (!Flat && rim > 0) FillRim(Canvas, outer, inner, angle, highlight, shadow);
  p.restore();
}

void DrawPie(TCanvas& Canvas, TColor FaceColor, TColor SideColor, int ToStep, int FromStep, int Steps, bool DrawFace,
             bool Invert, int Depth, int RadiusY, int RadiusX, QPoint Centre) {
  if (Steps < 3 || Steps > 360 || FromStep == ToStep) return;
  CanvasStateSaver saver(Canvas);
  FromStep %= Steps;
  ToStep %= Steps;
  if (FromStep >= ToStep) ToStep += Steps;

  if (DrawFace && RadiusX > 0 && RadiusY > 0) {
    std::vector<QPoint> points;
    const int n = EllipsePoints(Centre, RadiusX, RadiusY, FromStep, ToStep, Steps, 0, points);
    points.resize(static_cast<size_t>(n));
    points.push_back(Centre);
    FillPolygon(Canvas, QPolygon(QList<QPoint>(points.begin(), points.end())), FaceColor);
  }
  if (Depth > 0) {
    std::vector<QPoint> in;
    std::vector<QPoint> out;
    EllipsePoints(Centre, RadiusX, RadiusY, FromStep, ToStep, Steps, 0, in);
    EllipsePoints(Centre, RadiusX + Depth, RadiusY + Depth, FromStep, ToStep, Steps, 0, out);
    for (int s = FromStep; s < ToStep; ++s) {
      const size_t k = static_cast<size_t>(s - FromStep);
      FillPolygon(Canvas, QPolygon({in[k], in[k + 1], out[k + 1], out[k]}), ShadeColor(SideColor, Steps, s, Invert));
    }
  }
}

void DrawFrame3D(TCanvas& Canvas, const TRect& Rect, TColor FaceColor, bool FaceMode, bool LeftTop, bool RightTop,
                 bool RightBottom, bool LeftBottom, int Radius, int Depth, TColor BackColor, TColor ShadeBaseColor) {
  if (Rect.IsEmpty()) return;
  CanvasStateSaver saver(Canvas);
  ClipSaver clip(Canvas.Painter(), Rect.ToQRect());
  const int code = (LeftTop ? 1 : 0) + (RightTop ? 2 : 0) + (RightBottom ? 4 : 0) + (LeftBottom ? 8 : 0);
  const TRect& r = Rect;
  const int rd = Radius + Depth;
  // The concave pieces: what is left of the piece beyond the frame's width.
  const int irx = std::max(0, r.Width() - Radius - Depth);
  const int iry = std::max(0, r.Height() - Radius - Depth);

  if (!FaceMode) {
    switch (code) {
      case 0:
        FillBand(Canvas, r, BackColor);
        break;
      case 1:
      case 2:
      case 4:
      case 8:
      case 5:
      case 10: {
        std::array<Arc, 4> arcs;
        for (int corner : ConvexCorners(code)) arcs[static_cast<size_t>(corner)] = {true, rd, rd};
        FillPolygon(Canvas, PieceOutline(r, arcs), BackColor);
        break;
      }
      case 3:
        FillBand(Canvas, {r.Left, r.Top + rd, r.Right, r.Bottom}, BackColor);
        break;
      case 6:
        FillBand(Canvas, {r.Left, r.Top, r.Right - rd, r.Bottom}, BackColor);
        break;
      case 9:
        FillBand(Canvas, {r.Left + rd, r.Top, r.Right, r.Bottom}, BackColor);
        break;
      case 12:
        FillBand(Canvas, {r.Left, r.Top, r.Right, r.Bottom - rd}, BackColor);
        break;
      case 7:
      case 11:
      case 13:
      case 14:
        if (irx > 0 && iry > 0) FillPolygon(Canvas, QuarterDisc(r, OutsideCorner(code), irx, iry), BackColor);
        break;
      default:
        break;
    }
    return;
  }

  switch (code) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 5:
    case 10:
      for (int corner : ConvexCorners(code)) {
        const int from = QuarterFrom(corner);
        DrawPie(Canvas, FaceColor, ShadeBaseColor, from + 16, from, 64, true, false, Depth, Radius, Radius,
                CornerPoint(r, corner));
      }
      break;
    case 3:
      FillBand(Canvas, {r.Left, r.Top, r.Right, r.Top + Radius}, FaceColor);
      FillBand(Canvas, {r.Left, r.Top + Radius, r.Right, r.Top + rd}, ShadeColor(ShadeBaseColor, 64, 16, false));
      break;
    case 6:
      FillBand(Canvas, {r.Right - Radius, r.Top, r.Right, r.Bottom}, FaceColor);
      FillBand(Canvas, {r.Right - rd, r.Top, r.Right - Radius, r.Bottom}, ShadeColor(ShadeBaseColor, 64, 32, false));
      break;
    case 9:
      FillBand(Canvas, {r.Left, r.Top, r.Left + Radius, r.Bottom}, FaceColor);
      FillBand(Canvas, {r.Left + Radius, r.Top, r.Left + rd, r.Bottom}, ShadeColor(ShadeBaseColor, 64, 0, false));
      break;
    case 12:
      FillBand(Canvas, {r.Left, r.Bottom - Radius, r.Right, r.Bottom}, FaceColor);
      FillBand(Canvas, {r.Left, r.Bottom - rd, r.Right, r.Bottom - Radius}, ShadeColor(ShadeBaseColor, 64, 48, false));
      break;
    case 7:
    case 11:
    case 13:
    case 14: {
      const int corner = OutsideCorner(code);
      const int from = QuarterFrom(corner);
      DrawPie(Canvas, FaceColor, ShadeBaseColor, from + 16, from, 64, false, true, Depth, iry, irx,
              CornerPoint(r, corner));
      std::array<Arc, 4> arcs;
      arcs[static_cast<size_t>(corner)] = {true, irx + Depth, iry + Depth};
      FillPolygon(Canvas, PieceOutline(r, arcs), FaceColor);
      break;
    }
    case 15:
      FillBand(Canvas, r, FaceColor);
      break;
    default:
      break;
  }
}

void GrayscaleBitmap(QImage& Bitmap) {
  if (Bitmap.isNull()) return;
  QImage image = To24Bit(Bitmap);
  for (int y = 0; y < image.height(); ++y) {
    uchar* line = image.scanLine(y);
    for (int x = 0; x < image.width(); ++x) {
      uchar* px = line + 3 * x;
      const uchar g = static_cast<uchar>((px[0] + px[1] + px[2]) / 3);
      px[0] = px[1] = px[2] = g;
    }
  }
  Bitmap = image;
}

void DitherBitmapMono(QImage& Bitmap) {
  DitherBitmapMono(Bitmap, static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
}

void DitherBitmapMono(QImage& Bitmap, uint32_t Seed) {
  GrayscaleBitmap(Bitmap);
  if (Bitmap.isNull()) return;
  std::mt19937 random(Seed);
  std::uniform_int_distribution<int> below256(0, 255);
  for (int y = 0; y < Bitmap.height(); ++y) {
    uchar* line = Bitmap.scanLine(y);
    for (int x = 0; x < Bitmap.width(); ++x) {
      uchar* px = line + 3 * x;
      const int g = px[0];
      if (g == 0 || g == 255) continue;
      px[0] = px[1] = px[2] = g >= below256(random) ? 255 : 0;
    }
  }
}

namespace {

// One source pixel's share in a destination pixel along one axis.
struct Tap {
  int index;
  double weight;
};

// For each destination position from..to-1 of an axis of size → newSize, the
// source positions it draws on and their weights: the covered cells, each
// sampled linearly between itself and its next neighbour at the cell's
// sample offset, positions outside the image taken from the edge.
std::vector<std::vector<Tap>> AxisTaps(int size, int newSize, int from, int to) {
  std::vector<std::vector<Tap>> result(static_cast<size_t>(std::max(to - from, 0)));
  for (int d = from; d < to; ++d) {
    const double l = static_cast<double>(size) * d / newSize - 0.5;
    const double m = static_cast<double>(size) * (d + 1) / newSize - 0.000001 - 0.5;
    const int first = static_cast<int>(std::floor(l));
    const int last = static_cast<int>(std::floor(m));
    std::vector<Tap>& taps = result[static_cast<size_t>(d - from)];
    auto add = [&](int index, double weight) {
      index = std::clamp(index, 0, size - 1);
      // Neighbouring cells share positions, and clamped ones pile up at the edge.
      for (Tap& t : taps)
        if (t.index == index) {
          t.weight += weight;
          return;
        }
      taps.push_back({index, weight});
    };
    for (int i = first; i <= last; ++i) {
      double weight = 1.0, offset = 0.5;
      if (first == last) {
        weight = m - l;
        offset = ((l - i) + (m - i)) / 2;
      } else if (i == first) {
        weight = 1 - (l - i);
        offset = (l - i + 1) / 2;
      } else if (i == last) {
        weight = 1 - (i + 1 - m);
        offset = weight / 2;
      }
      add(i, weight * (1 - offset));
      add(i + 1, weight * offset);
    }
  }
  return result;
}

// The least and greatest source position that the taps draw on.
std::pair<int, int> TapSpan(const std::vector<std::vector<Tap>>& axis) {
  int first = INT_MAX, last = -1;
  for (const auto& taps : axis)
    for (const Tap& t : taps) {
      first = std::min(first, t.index);
      last = std::max(last, t.index);
    }
  return {first, last};
}

}  // namespace

QRect ResampleSourceRect(QSize SourceSize, int NewWidth, int NewHeight, const QRect& Part) {
  const QRect part = Part.intersected(QRect(0, 0, NewWidth, NewHeight));
  if (NewWidth < 1 || NewHeight < 1 || SourceSize.isEmpty() || part.isEmpty()) return QRect();
  if (SourceSize == QSize(NewWidth, NewHeight)) return part;
  const auto [left, right] =
      TapSpan(AxisTaps(SourceSize.width(), NewWidth, part.left(), part.left() + part.width()));
  const auto [top, bottom] =
      TapSpan(AxisTaps(SourceSize.height(), NewHeight, part.top(), part.top() + part.height()));
  return QRect(QPoint(left, top), QPoint(right, bottom));
}

QImage ResampleBitmapPart(const QImage& Source, int NewWidth, int NewHeight, const QRect& Part) {
  return ResampleBitmapPart(Source, QPoint(0, 0), Source.size(), NewWidth, NewHeight, Part);
}

QImage ResampleBitmapPart(const QImage& Source, QPoint SourceOrigin, QSize SourceSize, int NewWidth, int NewHeight,
                          const QRect& Part) {
  const QRect part = Part.intersected(QRect(0, 0, NewWidth, NewHeight));
  if (NewWidth < 1 || NewHeight < 1 || Source.isNull() || SourceSize.isEmpty() || part.isEmpty()) return QImage();
  // Opaque four-byte pixels are read in place; anything else goes through 24 bits.
  const bool quad = Source.format() == QImage::Format_RGB32;
  const QImage source = quad ? Source : To24Bit(Source);
  const int stride = quad ? 4 : 3;
  // Byte offsets of red, green and blue in a pixel.
  const int channel[3] = {quad ? 2 : 0, 1, quad ? 0 : 2};
  const int W = SourceSize.width();
  const int H = SourceSize.height();
  // At its own size a picture stays as it is.
  if (W == NewWidth && H == NewHeight)
    return source.copy(part.translated(-SourceOrigin)).convertToFormat(QImage::Format_RGB888);
  // Positions outside what Source holds are taken from its edge.
  const int lastColumn = source.width() - 1, lastRow = source.height() - 1;
  auto columnAt = [&](int index) { return std::clamp(index - SourceOrigin.x(), 0, lastColumn); };
  auto rowAt = [&](int index) { return std::clamp(index - SourceOrigin.y(), 0, lastRow); };
  const auto xs = AxisTaps(W, NewWidth, part.left(), part.left() + part.width());
  const auto ys = AxisTaps(H, NewHeight, part.top(), part.top() + part.height());
  const double scale = static_cast<double>(W) * H / (static_cast<double>(NewWidth) * NewHeight);
  const size_t columns = xs.size();

  // Each source row that some destination row draws on is reduced across
  // once; the destination rows then mix those reduced rows.
  const auto [rowFirst, rowLast] = TapSpan(ys);
  std::vector<double> across(static_cast<size_t>(rowLast - rowFirst + 1) * columns * 3, 0.0);
  for (int y = rowFirst; y <= rowLast; ++y) {
    const uchar* line = source.constScanLine(rowAt(y));
    double* out = &across[static_cast<size_t>(y - rowFirst) * columns * 3];
    for (size_t dx = 0; dx < columns; ++dx) {
      double r = 0, g = 0, b = 0;
      for (const Tap& t : xs[dx]) {
        const uchar* px = line + static_cast<ptrdiff_t>(columnAt(t.index)) * stride;
        r += t.weight * px[channel[0]];
        g += t.weight * px[channel[1]];
        b += t.weight * px[channel[2]];
      }
      out[3 * dx] = r;
      out[3 * dx + 1] = g;
      out[3 * dx + 2] = b;
    }
  }

  QImage dest(part.width(), part.height(), QImage::Format_RGB888);
  for (size_t dy = 0; dy < ys.size(); ++dy) {
    uchar* out = dest.scanLine(static_cast<int>(dy));
    for (size_t dx = 0; dx < columns; ++dx) {
      double sum[3] = {0, 0, 0};
      for (const Tap& t : ys[dy]) {
        const double* row = &across[(static_cast<size_t>(t.index - rowFirst) * columns + dx) * 3];
        for (int ch = 0; ch < 3; ++ch) sum[ch] += t.weight * row[ch];
      }
      for (int ch = 0; ch < 3; ++ch)
        out[3 * dx + static_cast<size_t>(ch)] =
            static_cast<uchar>(std::clamp(std::nearbyint(sum[ch] / scale), 0.0, 255.0));
    }
  }
  return dest;
}

void ResampleBitmap(QImage& Bitmap, int NewWidth, int NewHeight) {
  if (NewWidth < 1 || NewHeight < 1 || Bitmap.isNull()) return;
  if (Bitmap.width() == NewWidth && Bitmap.height() == NewHeight) return;
  Bitmap = ResampleBitmapPart(Bitmap, NewWidth, NewHeight, QRect(0, 0, NewWidth, NewHeight));
}
