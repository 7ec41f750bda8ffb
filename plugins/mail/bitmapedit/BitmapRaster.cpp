#include "plugins/mail/bitmapedit/BitmapRaster.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cstring>

#include "controls/Graphics.h"

namespace qv {

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;
constexpr uint32_t kRgbMask = 0x00FFFFFFu;

bool IsMono(const QImage& picture) { return picture.format() == QImage::Format_Mono; }

QRgb ToRgb(TColor color) {
  const TColor c = ColorToRGB(color);
  return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

int Luminance(QRgb c) { return (qRed(c) * 299 + qGreen(c) * 587 + qBlue(c) * 114) / 1000; }

// The index of the table's colour nearest to c (the lower index on a tie).
uint32_t NearestIndex(const QList<QRgb>& table, QRgb c) {
  uint32_t best = 0;
  int64_t bestDistance = -1;
  for (int i = 0; i < table.size(); ++i) {
    const int dr = qRed(table[i]) - qRed(c), dg = qGreen(table[i]) - qGreen(c), db = qBlue(table[i]) - qBlue(c);
    const int64_t d = int64_t(dr) * dr + int64_t(dg) * dg + int64_t(db) * db;
    if (bestDistance < 0 || d < bestDistance) {
      bestDistance = d;
      best = uint32_t(i);
    }
  }
  return best;
}

// The stored value of a colour: opaque RGB, or the nearest table index.
uint32_t StoredValue(const QImage& picture, QRgb c) {
  return IsMono(picture) ? NearestIndex(picture.colorTable(), c) : (kOpaque | (c & kRgbMask));
}

// Reading and writing one row of either format.
inline uint32_t MonoBit(const uchar* line, int x) { return (line[x >> 3] >> (7 - (x & 7))) & 1u; }
inline void SetMonoBit(uchar* line, int x, uint32_t v) {
  const uchar bit = uchar(0x80u >> (x & 7));
  if (v & 1u)
    line[x >> 3] |= bit;
  else
    line[x >> 3] &= uchar(~bit);
}

inline uint32_t ReadValue(const QImage& picture, const uchar* line, int x) {
  return IsMono(picture) ? MonoBit(line, x) : (reinterpret_cast<const uint32_t*>(line)[x] & kRgbMask);
}

// Writes [x0, x1) of row y, clipped to the picture.
void WriteSpan(QImage& picture, int y, int x0, int x1, const TRasterInk& ink) {
  if (y < 0 || y >= picture.height()) return;
  x0 = std::max(x0, 0);
  x1 = std::min(x1, picture.width());
  if (x0 >= x1) return;
  uchar* line = picture.scanLine(y);
  const uint32_t* pattern = ink.Row(y);
  const int pw = ink.Width();
  if (!IsMono(picture)) {
    uint32_t* p = reinterpret_cast<uint32_t*>(line);
    if (ink.IsSolid()) {
      std::fill(p + x0, p + x1, pattern[0]);
      return;
    }
    int k = x0 % pw;
    for (int x = x0; x < x1; ++x) {
      p[x] = pattern[k];
      if (++k == pw) k = 0;
    }
    return;
  }
  if (ink.IsSolid()) {
    const uint32_t v = pattern[0];
    int x = x0;
    for (; x < x1 && (x & 7); ++x) SetMonoBit(line, x, v);
    const int whole = (x1 - x) / 8;
    if (whole > 0) {
      std::memset(line + (x >> 3), (v & 1u) ? 0xFF : 0x00, size_t(whole));
      x += whole * 8;
    }
    for (; x < x1; ++x) SetMonoBit(line, x, v);
    return;
  }
  int k = x0 % pw;
  for (int x = x0; x < x1; ++x) {
    SetMonoBit(line, x, pattern[k]);
    if (++k == pw) k = 0;
  }
}

constexpr uint8_t kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};

int64_t CeilDiv(int64_t p, int64_t q) { return p >= 0 ? (p + q - 1) / q : -((-p) / q); }
// n / d (d > 0) to the nearest integer, halves going down.
int64_t RoundHalfDown(int64_t n, int64_t d) { return CeilDiv(2 * n - d, 2 * d); }

// The steps k of [0, count) whose coordinate start + k * step lies in [0, size).
void ClipSteps(int64_t start, int step, int64_t count, int64_t size, int64_t& first, int64_t& last) {
  if (step > 0) {
    first = std::max<int64_t>(0, -start);
    last = std::min<int64_t>(count - 1, size - 1 - start);
  } else {
    first = std::max<int64_t>(0, start - (size - 1));
    last = std::min<int64_t>(count - 1, start);
  }
}

void CosmeticLine(QImage& picture, QPoint a, QPoint b, const TRasterInk& ink) {
  const int64_t dx = int64_t(b.x()) - a.x(), dy = int64_t(b.y()) - a.y();
  const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  const bool xMajor = adx >= ady;
  const int64_t count = xMajor ? adx : ady;
  const int step = (xMajor ? dx : dy) < 0 ? -1 : 1;
  int64_t first, last;
  ClipSteps(xMajor ? a.x() : a.y(), step, count, xMajor ? picture.width() : picture.height(), first, last);
  for (int64_t k = first; k <= last; ++k) {
    const int64_t major = (xMajor ? a.x() : a.y()) + k * step;
    const int64_t minor = (xMajor ? a.y() : a.x()) + RoundHalfDown(k * (xMajor ? dy : dx), count);
    const int64_t x = xMajor ? major : minor, y = xMajor ? minor : major;
    if (x >= 0 && y >= 0 && x < picture.width() && y < picture.height()) WriteSpan(picture, int(y), int(x), int(x) + 1, ink);
  }
}

// In doubled coordinates, so that pixel centres and corners are integers:
// whether the pixel centre p lies within the pen of doubled radius r around
// the segment a-b, ties going to the up-left side.
bool InCapsule(int64_t px, int64_t py, int64_t ax, int64_t ay, int64_t bx, int64_t by, int64_t r) {
  const int64_t vx = bx - ax, vy = by - ay, ux = px - ax, uy = py - ay;
  const int64_t vv = vx * vx + vy * vy, uv = ux * vx + uy * vy;
  int64_t d, limit, tie;
  if (vv == 0 || uv <= 0) {
    d = ux * ux + uy * uy;
    limit = r * r;
    tie = ux + uy;
  } else if (uv >= vv) {
    const int64_t gx = px - bx, gy = py - by;
    d = gx * gx + gy * gy;
    limit = r * r;
    tie = gx + gy;
  } else {
    d = (ux * ux + uy * uy) * vv - uv * uv;
    limit = r * r * vv;
    tie = (ux + uy) * vv - uv * (vx + vy);
  }
  return d < limit || (d == limit && tie < 0);
}

void WideLine(QImage& picture, QPoint a, QPoint b, int width, const TRasterInk& ink) {
  const int64_t c = width & 1;  // odd widths centre on the pixel, even ones on its corner
  const int64_t ax = 2 * int64_t(a.x()) + c, ay = 2 * int64_t(a.y()) + c;
  const int64_t bx = 2 * int64_t(b.x()) + c, by = 2 * int64_t(b.y()) + c;
  const int y0 = std::max(0, std::min(a.y(), b.y()) - width), y1 = std::min(picture.height() - 1, std::max(a.y(), b.y()) + width);
  const int x0 = std::max(0, std::min(a.x(), b.x()) - width), x1 = std::min(picture.width() - 1, std::max(a.x(), b.x()) + width);
  for (int y = y0; y <= y1; ++y) {
    int first = -1, last = -1;
    for (int x = x0; x <= x1; ++x) {
      if (InCapsule(2 * int64_t(x) + 1, 2 * int64_t(y) + 1, ax, ay, bx, by, width)) {
        if (first < 0) first = x;
        last = x;
      } else if (first >= 0) {
        break;  // the pen is convex: one run per row
      }
    }
    if (first >= 0) WriteSpan(picture, y, first, last + 1, ink);
  }
}

// The run [left, right) of row y inside the ellipse inscribed in the box;
// false when the row has none.
bool EllipseRow(const QRect& box, int y, int& left, int& right) {
  if (box.width() <= 0 || box.height() <= 0 || y < box.top() || y >= box.top() + box.height()) return false;
  // Doubled: centre 2c = L + R, radii are the box's width and height.
  const int64_t cx = 2 * int64_t(box.left()) + box.width(), cy = 2 * int64_t(box.top()) + box.height();
  const int64_t rx = box.width(), ry = box.height();
  const int64_t ty = 2 * int64_t(y) + 1 - cy;
  auto inside = [&](int x) {
    const int64_t tx = 2 * int64_t(x) + 1 - cx;
    const int64_t f = tx * tx * ry * ry + ty * ty * rx * rx;
    const int64_t limit = rx * rx * ry * ry;
    return f < limit || (f == limit && tx * ry * ry + ty * rx * rx < 0);
  };
  const int l = box.left(), r = box.left() + box.width() - 1;
  const int mid = l + (box.width() - 1) / 2;
  // Rows are symmetric but for the tie rule, which favours the left half.
  int x = l;
  while (x <= mid && !inside(x)) ++x;
  if (x > mid) return false;
  int xr = r;
  while (xr > x && !inside(xr)) --xr;
  left = x;
  right = xr + 1;
  return true;
}

QRect Inset(const QRect& box, int by) {
  return QRect(box.left() + by, box.top() + by, box.width() - 2 * by, box.height() - 2 * by);
}

}  // namespace

QImage MakeRasterPicture(const QImage& source) {
  if (source.isNull()) return QImage();
  if (source.format() == QImage::Format_Mono || source.format() == QImage::Format_MonoLSB) {
    QImage mono = source.convertToFormat(QImage::Format_Mono);
    QList<QRgb> table = mono.colorTable();
    if (table.size() < 1) table.push_back(qRgb(0, 0, 0));
    if (table.size() < 2) table.push_back(qRgb(255, 255, 255));
    table.resize(2);
    for (QRgb& c : table) c |= kOpaque;
    mono.setColorTable(table);
    return mono;
  }
  if (source.format() == QImage::Format_RGB32) return source;
  return source.convertToFormat(QImage::Format_RGB32);
}

bool IsRasterPicture(const QImage& picture) {
  return !picture.isNull() &&
         (picture.format() == QImage::Format_RGB32 || (IsMono(picture) && picture.colorTable().size() == 2));
}

QImage NewPictureLike(const QImage& like, int width, int height, TColor color) {
  if (width <= 0 || height <= 0) return QImage();
  QImage picture(width, height, IsMono(like) ? QImage::Format_Mono : QImage::Format_RGB32);
  if (picture.isNull()) return picture;
  if (IsMono(like)) picture.setColorTable(like.colorTable());
  FillBox(picture, picture.rect(), TRasterInk::Brush(picture, color));
  return picture;
}

QImage ConvertPictureLike(const QImage& source, const QImage& like) {
  if (source.isNull()) return QImage();
  if (!IsMono(like)) return MakeRasterPicture(source).convertToFormat(QImage::Format_RGB32);
  const QList<QRgb> table = like.colorTable();
  if (IsMono(source) && source.colorTable() == table) return source;
  const QImage rgb = source.convertToFormat(QImage::Format_RGB32);
  QImage mono(rgb.width(), rgb.height(), QImage::Format_Mono);
  if (mono.isNull()) return mono;
  mono.setColorTable(table);
  for (int y = 0; y < rgb.height(); ++y) {
    const QRgb* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    uchar* out = mono.scanLine(y);
    for (int x = 0; x < rgb.width(); ++x) SetMonoBit(out, x, NearestIndex(table, in[x]));
  }
  return mono;
}

QImage MonoFromBlackAndWhite(const QImage& source) {
  QImage like(1, 1, QImage::Format_Mono);
  like.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  return ConvertPictureLike(source, like);
}

TColor PixelColor(const QImage& picture, int x, int y) {
  if (picture.isNull() || x < 0 || y < 0 || x >= picture.width() || y >= picture.height()) return 0;
  const QRgb c = picture.pixel(x, y);
  return RGB(qRed(c), qGreen(c), qBlue(c));
}

// ---- inks ------------------------------------------------------------------

TRasterInk TRasterInk::Solid(const QImage& picture, TColor color) {
  TRasterInk ink;
  ink.values_[0] = StoredValue(picture, ToRgb(color));
  return ink;
}

TRasterInk TRasterInk::Brush(const QImage& picture, TColor color) {
  if (!IsMono(picture)) return Solid(picture, color);
  const QList<QRgb> table = picture.colorTable();
  const QRgb c = ToRgb(color) | kOpaque;
  for (int i = 0; i < table.size(); ++i)
    if ((table[i] | kOpaque) == c) {
      TRasterInk ink;
      ink.values_[0] = uint32_t(i);
      return ink;
    }
  const int l0 = Luminance(table[0]), l1 = Luminance(table[1]), lc = Luminance(c);
  if (l0 == l1) return Solid(picture, color);
  // Of 64 pixels, this many take colour 1.
  const int count = std::clamp(int(std::lround(64.0 * (lc - l0) / (l1 - l0))), 0, 64);
  TRasterInk ink;
  if (count == 0 || count == 64) {
    ink.values_[0] = count == 64 ? 1u : 0u;
    return ink;
  }
  ink.width_ = ink.height_ = 8;
  ink.values_.assign(64, 0);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ink.values_[size_t(y * 8 + x)] = kBayer[y][x] < count ? 1u : 0u;
  return ink;
}

TRasterInk TRasterInk::Pattern(const QImage& picture, const QImage& pattern) {
  if (pattern.isNull()) return Solid(picture, clBlack);
  const QImage converted = ConvertPictureLike(pattern, picture);
  TRasterInk ink;
  ink.width_ = converted.width();
  ink.height_ = converted.height();
  ink.values_.resize(size_t(ink.width_) * size_t(ink.height_));
  for (int y = 0; y < ink.height_; ++y) {
    const uchar* line = converted.constScanLine(y);
    for (int x = 0; x < ink.width_; ++x)
      ink.values_[size_t(y * ink.width_ + x)] =
          IsMono(converted) ? MonoBit(line, x) : (kOpaque | reinterpret_cast<const uint32_t*>(line)[x]);
  }
  return ink;
}

// ---- drawing ---------------------------------------------------------------

void SetPixel(QImage& picture, QPoint p, const TRasterInk& ink) { WriteSpan(picture, p.y(), p.x(), p.x() + 1, ink); }

void DrawLine(QImage& picture, QPoint a, QPoint b, int width, const TRasterInk& ink) {
  if (picture.isNull()) return;
  if (width <= 1)
    CosmeticLine(picture, a, b, ink);
  else
    WideLine(picture, a, b, width, ink);
}

void FillBox(QImage& picture, const QRect& box, const TRasterInk& ink) {
  if (box.width() <= 0 || box.height() <= 0) return;
  const int y0 = std::max(box.top(), 0), y1 = std::min(box.top() + box.height(), picture.height());
  for (int y = y0; y < y1; ++y) WriteSpan(picture, y, box.left(), box.left() + box.width(), ink);
}

void DrawBox(QImage& picture, const QRect& box, int penWidth, const TRasterInk* pen, const TRasterInk* brush) {
  if (box.width() <= 0 || box.height() <= 0) return;
  if (!pen) {
    if (brush) FillBox(picture, box, *brush);
    return;
  }
  const int w = std::max(penWidth, 1);
  if (2 * w >= box.width() || 2 * w >= box.height()) {
    FillBox(picture, box, *pen);
    return;
  }
  const int l = box.left(), r = box.left() + box.width(), t = box.top(), b = box.top() + box.height();
  FillBox(picture, QRect(l, t, box.width(), w), *pen);
  FillBox(picture, QRect(l, b - w, box.width(), w), *pen);
  FillBox(picture, QRect(l, t + w, w, box.height() - 2 * w), *pen);
  FillBox(picture, QRect(r - w, t + w, w, box.height() - 2 * w), *pen);
  if (brush) FillBox(picture, Inset(box, w), *brush);
}

void DrawEllipse(QImage& picture, const QRect& box, int penWidth, const TRasterInk* pen, const TRasterInk* brush) {
  if (box.width() <= 0 || box.height() <= 0) return;
  const QRect inner = pen ? Inset(box, std::max(penWidth, 1)) : box;
  const int y0 = std::max(box.top(), 0), y1 = std::min(box.top() + box.height(), picture.height());
  for (int y = y0; y < y1; ++y) {
    int ol, orr;
    if (!EllipseRow(box, y, ol, orr)) continue;
    int il = 0, ir = 0;
    const bool hasInner = EllipseRow(inner, y, il, ir);
    if (!pen) {
      if (brush) WriteSpan(picture, y, ol, orr, *brush);
      continue;
    }
    if (!hasInner) {
      WriteSpan(picture, y, ol, orr, *pen);
      continue;
    }
    il = std::clamp(il, ol, orr);
    ir = std::clamp(ir, il, orr);
    WriteSpan(picture, y, ol, il, *pen);
    WriteSpan(picture, y, ir, orr, *pen);
    if (brush) WriteSpan(picture, y, il, ir, *brush);
  }
}

bool FloodFill(QImage& picture, QPoint seed, const TRasterInk& ink) {
  const int w = picture.width(), h = picture.height();
  if (picture.isNull() || seed.x() < 0 || seed.y() < 0 || seed.x() >= w || seed.y() >= h) return false;
  // Every filled pixel is marked, so that a pixel the ink gave the area's
  // colour again is never taken for part of the area.
  std::vector<uint64_t> visited((size_t(w) * size_t(h) + 63) / 64, 0);
  auto seen = [&](int x, int y) {
    const size_t i = size_t(y) * size_t(w) + size_t(x);
    return (visited[i >> 6] >> (i & 63)) & 1u;
  };
  auto mark = [&](int x, int y) {
    const size_t i = size_t(y) * size_t(w) + size_t(x);
    visited[i >> 6] |= uint64_t(1) << (i & 63);
  };
  (void)picture.bits();  // unshared before any row is read
  const uint32_t target = ReadValue(picture, picture.constScanLine(seed.y()), seed.x());
  auto open = [&](const uchar* line, int x, int y) { return !seen(x, y) && ReadValue(picture, line, x) == target; };

  std::vector<QPoint> stack{seed};
  while (!stack.empty()) {
    const QPoint p = stack.back();
    stack.pop_back();
    const int y = p.y();
    const uchar* line = picture.constScanLine(y);
    if (!open(line, p.x(), y)) continue;
    int l = p.x(), r = p.x();
    while (l > 0 && open(line, l - 1, y)) --l;
    while (r + 1 < w && open(line, r + 1, y)) ++r;
    for (int x = l; x <= r; ++x) mark(x, y);
    WriteSpan(picture, y, l, r + 1, ink);
    for (const int ny : {y - 1, y + 1}) {
      if (ny < 0 || ny >= h) continue;
      const uchar* next = picture.constScanLine(ny);
      bool inRun = false;
      for (int x = l; x <= r; ++x) {
        const bool ok = open(next, x, ny);
        if (ok && !inRun) stack.emplace_back(x, ny);
        inRun = ok;
      }
    }
  }
  return true;
}

void DrawPicture(QImage& picture, QPoint at, const QImage& source) {
  if (source.isNull() || picture.isNull()) return;
  StretchPicture(picture, QRect(at, source.size()), source);
}

void StretchPicture(QImage& picture, const QRect& box, const QImage& source) {
  if (source.isNull() || picture.isNull() || box.width() <= 0 || box.height() <= 0) return;
  const QImage src = ConvertPictureLike(source, picture);
  const bool mono = IsMono(picture);
  const int64_t sw = src.width(), sh = src.height(), bw = box.width(), bh = box.height();
  const int x0 = std::max(box.left(), 0), x1 = std::min<int64_t>(int64_t(box.left()) + bw, picture.width());
  const int y0 = std::max(box.top(), 0), y1 = std::min<int64_t>(int64_t(box.top()) + bh, picture.height());
  if (x0 >= x1 || y0 >= y1) return;
  std::vector<int> column(size_t(x1 - x0));
  for (int x = x0; x < x1; ++x) column[size_t(x - x0)] = int((int64_t(x) - box.left()) * sw / bw);
  for (int y = y0; y < y1; ++y) {
    const uchar* in = src.constScanLine(int((int64_t(y) - box.top()) * sh / bh));
    uchar* out = picture.scanLine(y);
    if (mono) {
      for (int x = x0; x < x1; ++x) SetMonoBit(out, x, MonoBit(in, column[size_t(x - x0)]));
    } else {
      const uint32_t* s = reinterpret_cast<const uint32_t*>(in);
      uint32_t* d = reinterpret_cast<uint32_t*>(out);
      for (int x = x0; x < x1; ++x) d[x] = kOpaque | s[column[size_t(x - x0)]];
    }
  }
}

QImage StretchedPicture(const QImage& source, int width, int height) {
  if (source.isNull() || width <= 0 || height <= 0) return QImage();
  const QImage src = MakeRasterPicture(source);
  if (src.width() == width && src.height() == height) return src;
  QImage out(width, height, src.format());
  if (out.isNull()) return out;
  if (IsMono(src)) out.setColorTable(src.colorTable());
  StretchPicture(out, out.rect(), src);
  return out;
}

QImage TextMask(const QString& text, const QFont& font) {
  if (text.isEmpty()) return QImage();
  QFont plain(font);
  plain.setStyleStrategy(QFont::NoAntialias);
  const QFontMetrics metrics(plain);
  const QRect bounds = metrics.boundingRect(text);
  const int width = std::max(metrics.horizontalAdvance(text), bounds.x() + bounds.width()) + 1;
  const int height = std::max(metrics.height(), metrics.ascent() + bounds.y() + bounds.height());
  if (width <= 0 || height <= 0) return QImage();
  QImage drawn(width, height, QImage::Format_ARGB32_Premultiplied);
  drawn.fill(Qt::transparent);
  {
    QPainter painter(&drawn);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(plain);
    painter.setPen(Qt::white);
    painter.drawText(0, metrics.ascent(), text);
  }
  // Whatever the font engine still blends is cut at half coverage.
  QImage mask(width, height, QImage::Format_Alpha8);
  for (int y = 0; y < height; ++y) {
    const QRgb* in = reinterpret_cast<const QRgb*>(drawn.constScanLine(y));
    uchar* out = mask.scanLine(y);
    for (int x = 0; x < width; ++x) out[x] = qAlpha(in[x]) >= 128 ? 255 : 0;
  }
  return mask;
}

void DrawMask(QImage& picture, QPoint at, const QImage& mask, const TRasterInk& ink) {
  if (mask.isNull() || picture.isNull()) return;
  for (int y = 0; y < mask.height(); ++y) {
    const uchar* in = mask.constScanLine(y);
    int x = 0;
    while (x < mask.width()) {
      while (x < mask.width() && in[x] < 128) ++x;
      const int start = x;
      while (x < mask.width() && in[x] >= 128) ++x;
      if (x > start) WriteSpan(picture, at.y() + y, at.x() + start, at.x() + x, ink);
    }
  }
}

}  // namespace qv
