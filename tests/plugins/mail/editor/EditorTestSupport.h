#pragma once
// Helpers of the decorated-mail editor tests: a layout host with fixed sizes,
// parts written out readably, pictures and image lists made on the spot, and
// pixel counts on rendered controls.
#include "controls/ImageList.h"
#include "image/QkDIB.h"
#include "platform/Cp932.h"
#include "plugins/mail/editor/KMailDocument.h"
#include "plugins/mail/editor/KMailParts.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRect>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace edittest {

// Single-byte characters 8 pixels wide, double-byte 16, lines 16 high;
// pictures by name from a table.
class FixedHost : public qv::kmail::LayoutHost {
 public:
  int FontHeight() override { return 16; }
  int CharWidth(std::string_view ch) override { return ch.size() == 2 ? 16 : 8; }
  bool HasPictogram(std::string_view name) override { return name == "HEART" || name == "STAR"; }
  bool HasUserCharImages() override { return userChars; }
  bool Picture(std::string_view file, qv::kmail::PictureInfo& info) override {
    auto it = pictures.find(std::string(file));
    if (it == pictures.end()) return false;
    info = it->second;
    return true;
  }
  bool userChars = false;
  std::map<std::string, qv::kmail::PictureInfo> pictures;
};

// One token per part: "\n" for a line break; otherwise the text (characters
// as UTF-8), then "/" and the type digit for tags, "~" + RRGGBB when not
// black, "*" when blinking, "_" when clickable.
inline std::string Describe(std::string_view parts) {
  using namespace qv::kmail;
  std::string out;
  for (size_t i = 0; i < parts.size(); i += PartLength(parts, i)) {
    if (!out.empty()) out += ' ';
    const int type = PartType(parts, i);
    if (type == ttLineBreak) {
      out += "\\n";
    } else if (type <= ttDoubleChar) {
      out += qv::cp932::ToUtf8(PartText(parts, i));
    } else {
      out += std::string(PartText(parts, i)) + "/" + std::to_string(type);
    }
    if (PartColor(parts, i) != clBlack) out += "~" + std::string(parts.substr(i + 2, 6));
    if (PartBlinks(parts, i)) out += '*';
    if (PartClickable(parts, i)) out += '_';
  }
  return out;
}

// A DIB file of the picture.
inline std::string BitmapFile(const QImage& image) {
  qv::TQkDIB dib;
  dib.Assign(image.convertToFormat(QImage::Format_RGB32));
  std::ostringstream out(std::ios::binary);
  dib.SaveToStream(out);
  return out.str();
}

// A six-page picture whose page k (1-6) is filled with colours[k - 1].
inline QImage SixPages(const std::vector<QColor>& colours) {
  QImage image(192, 130, QImage::Format_RGB32);
  image.fill(Qt::white);
  for (int k = 0; k < 6; ++k) {
    const QRect page(k < 3 ? 0 : 96, (k % 3) * 43, 96, 43);
    for (int y = page.top(); y <= page.bottom(); ++y)
      for (int x = page.left(); x <= page.right(); ++x) image.setPixelColor(x, y, colours[static_cast<size_t>(k)]);
  }
  return image;
}

inline QImage Solid(int w, int h, const QColor& colour) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

// Pixels of exactly that colour in a region (the whole picture by default).
inline int CountColour(const QImage& image, const QColor& colour, QRect region = QRect()) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  if (region.isNull()) region = rgb.rect();
  region &= rgb.rect();
  int count = 0;
  for (int y = region.top(); y <= region.bottom(); ++y)
    for (int x = region.left(); x <= region.right(); ++x)
      if ((rgb.pixel(x, y) & 0xFFFFFF) == (colour.rgb() & 0xFFFFFF)) ++count;
  return count;
}

// Pixels close to a colour (every channel within tolerance): text drawn
// smoothed has few pixels of exactly its colour.
inline int CountNear(const QImage& image, const QColor& colour, int tolerance = 48) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  int count = 0;
  for (int y = 0; y < rgb.height(); ++y)
    for (int x = 0; x < rgb.width(); ++x) {
      const QRgb p = rgb.pixel(x, y);
      if (std::abs(qRed(p) - colour.red()) <= tolerance && std::abs(qGreen(p) - colour.green()) <= tolerance &&
          std::abs(qBlue(p) - colour.blue()) <= tolerance)
        ++count;
    }
  return count;
}

// Pixels that are not the background, per column, in a band of rows.
inline std::vector<int> InkColumns(const QImage& image, const QColor& background, int top, int bottom) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  std::vector<int> columns(static_cast<size_t>(rgb.width()), 0);
  for (int y = std::max(0, top); y <= std::min(bottom, rgb.height() - 1); ++y)
    for (int x = 0; x < rgb.width(); ++x)
      if ((rgb.pixel(x, y) & 0xFFFFFF) != (background.rgb() & 0xFFFFFF)) ++columns[static_cast<size_t>(x)];
  return columns;
}

// Pictures for pictogram and user-character cells, 12 x 12.
inline QImage Heart() {
  QImage image(12, 12, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath path;
  path.moveTo(6, 11);
  path.cubicTo(-4, 4, 3, -2, 6, 3);
  path.cubicTo(9, -2, 16, 4, 6, 11);
  p.fillPath(path, QColor(230, 30, 60));
  return image;
}

inline QImage Star() {
  QImage image(12, 12, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(QColor(250, 190, 0));
  p.setPen(Qt::NoPen);
  p.drawPolygon(QPolygonF({{6, 0}, {7.8, 4}, {12, 4.4}, {8.8, 7.2}, {9.8, 11.5}, {6, 9.2}, {2.2, 11.5},
                           {3.2, 7.2}, {0, 4.4}, {4.2, 4}}));
  return image;
}

inline QImage UserChar(int n) {
  QImage image(12, 12, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setPen(QColor(20, 60, 160));
  p.drawRect(1, 1, 9, 9);
  p.drawText(QRect(0, 0, 12, 12), Qt::AlignCenter, QString::number(n));
  return image;
}

inline void SaveArtifact(const QImage& image, const std::string& name) {
  ASSERT_TRUE(image.save(QString::fromStdString(qvtest::ArtifactPath(name).string())));
}

}  // namespace edittest
