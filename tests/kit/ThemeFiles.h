#pragma once
// Theme strips and raw theme files for tests and benchmarks: frames that
// differ in every pixel row, bitmap file images and hand-made containers.
#include "image/QkDIB.h"
#include "image/QkJPEG.h"

#include <QImage>
#include <QPainter>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

namespace themetest {

// Frame k's colour; distinct for every k below 256.
inline QRgb FrameColor(int k) { return qRgb((k * 37) % 256, (k * 91) % 256, 255 - k % 256); }

// One frame of a strip: its colour with a dark block whose place tells the frame.
inline void PaintFrame(QImage& image, int k, int top) {
  QPainter p(&image);
  p.fillRect(0, top, image.width(), 50, QColor(FrameColor(k)));
  p.fillRect((k * 7) % 100, top + (k * 3) % 40, 12, 8, Qt::black);
}

// A strip of frames, each 120 x 50.
inline QImage Strip(int frames, int width = 120) {
  QImage strip(width, 50 * frames, QImage::Format_RGB32);
  for (int k = 0; k < frames; ++k) PaintFrame(strip, k, 50 * k);
  return strip;
}

// A picture whose every row and column differs from the others.
inline QImage Gradient(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(y % 256, (x * 2) % 256, (y / 50 * 40 + x / 256) % 256));
  return image;
}
inline QImage StripOfHeight(int height) { return Gradient(120, height); }

// The picture as a 24-bit Windows bitmap file.
inline std::string BitmapFile(const QImage& image) {
  qv::TQkDIB dib;
  dib.Assign(image.convertToFormat(QImage::Format_RGB32));
  std::ostringstream out;
  dib.SaveToStream(out);
  return out.str();
}

// The picture as a JPEG file of the best quality.
inline std::string JpegFile(const QImage& image) {
  qv::TQkDIB dib;
  dib.Assign(image.convertToFormat(QImage::Format_RGB32));
  std::ostringstream out;
  qv::SaveJPEGToStream(dib, out, 100);
  return out.str();
}

inline std::string Le32(int32_t v) {
  auto u = static_cast<uint32_t>(v);
  return std::string{static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
                     static_cast<char>(u >> 24)};
}

// One record of a named-record container.
inline std::string Record(std::string_view name, std::string_view data) {
  return Le32(static_cast<int32_t>(name.size())) + std::string(name) + Le32(static_cast<int32_t>(data.size())) +
         std::string(data);
}

// A bitmap file image with another width in its header.
inline std::string WithWidth(std::string bmp, int32_t width) {
  bmp.replace(18, 4, Le32(width));
  return bmp;
}

}  // namespace themetest
