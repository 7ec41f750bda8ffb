#pragma once
// Camera-photo-like JPEG files of any size for tests and benchmarks, made
// with libjpeg row by row (a 48-megapixel photo needs no picture in memory),
// in the forms other software writes: any chroma sampling, progressive,
// restart markers, an EXIF block, greyscale and Adobe's inverted CMYK. The
// colour of every pixel is known (PhotoColour), so a decoded picture can be
// checked against it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

#include <QImage>
#include <QSize>

#include <cmath>

namespace qvtest {

struct JpegForm {
  enum Colour { kRgb, kGrey, kAdobeCmyk };
  int hSample = 2;  // of the luminance: 2 x 2 is 4:2:0, 2 x 1 is 4:2:2, 1 x 1 is 4:4:4
  int vSample = 2;
  bool progressive = false;
  int restartRows = 0;  // a restart marker every this many MCU rows
  bool exif = false;
  Colour colour = kRgb;
  int quality = 90;
  bool detail = false;  // grain over the gradients, so the file has a photo's size
};

// 0xRRGGBB at x, y of a width x height photo: three smooth gradients.
inline uint32_t PhotoColour(int x, int y, int width, int height, bool detail = false) {
  int r = int(int64_t(x) * 255 / std::max(1, width - 1));
  int g = int(int64_t(y) * 255 / std::max(1, height - 1));
  int b = 255 - (r + g) / 2;
  if (detail) {
    // Grain as a sensor's: a hash of the position, some levels either way.
    const uint32_t h = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u;
    r = std::clamp(r + int(h % 17u) - 8, 0, 255);
    g = std::clamp(g + int(h / 17u % 17u) - 8, 0, 255);
    b = std::clamp(b + int(h / 289u % 17u) - 8, 0, 255);
  }
  return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

// The largest channel difference between a picture showing a width x height
// photo (scaled or not) and the photo's colours, at a grid of points, each
// compared with the photo's pixel at the centre of what it stands for; a
// greyscale photo is compared with its grey.
inline int PhotoDifference(const QImage& picture, QSize photo, bool grey = false) {
  int worst = 0;
  for (int gy = 0; gy < 9; ++gy)
    for (int gx = 0; gx < 9; ++gx) {
      const int x = (picture.width() - 1) * gx / 8, y = (picture.height() - 1) * gy / 8;
      const double fx = (x + 0.5) * photo.width() / picture.width() - 0.5;
      const double fy = (y + 0.5) * photo.height() / picture.height() - 0.5;
      const uint32_t c = PhotoColour(int(std::lround(fx)), int(std::lround(fy)), photo.width(), photo.height());
      int want[3] = {int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF)};
      if (grey) want[0] = want[1] = want[2] = (want[0] + want[1] + want[2]) / 3;
      const QRgb got = picture.pixel(x, y);
      worst = std::max({worst, std::abs(qRed(got) - want[0]), std::abs(qGreen(got) - want[1]),
                        std::abs(qBlue(got) - want[2])});
    }
  return worst;
}

inline std::string PhotoJpeg(int width, int height, const JpegForm& form = {}) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* data = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &data, &size);
  cinfo.image_width = JDIMENSION(width);
  cinfo.image_height = JDIMENSION(height);
  const int components = form.colour == JpegForm::kGrey ? 1 : form.colour == JpegForm::kAdobeCmyk ? 4 : 3;
  cinfo.input_components = components;
  cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  // libjpeg writes an Adobe marker with CMYK, as Photoshop does.
  if (components == 4) jpeg_set_colorspace(&cinfo, JCS_YCCK);
  jpeg_set_quality(&cinfo, form.quality, TRUE);
  if (components != 1) {
    cinfo.comp_info[0].h_samp_factor = form.hSample;
    cinfo.comp_info[0].v_samp_factor = form.vSample;
  }
  if (form.progressive) jpeg_simple_progression(&cinfo);
  cinfo.restart_in_rows = form.restartRows;
  jpeg_start_compress(&cinfo, TRUE);
  if (form.exif) {
    // "Exif", a little-endian TIFF header and one entry: orientation 1.
    static const unsigned char exif[] = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                                         0x12, 1, 3, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
    jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif, sizeof exif);
  }
  std::vector<JSAMPLE> row(size_t(width) * size_t(components));
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = int(cinfo.next_scanline);
    for (int x = 0; x < width; ++x) {
      const uint32_t c = PhotoColour(x, y, width, height, form.detail);
      const int r = int(c >> 16 & 0xFF), g = int(c >> 8 & 0xFF), b = int(c & 0xFF);
      JSAMPLE* px = &row[size_t(x) * size_t(components)];
      if (components == 1) {
        px[0] = JSAMPLE((r + g + b) / 3);
      } else if (components == 3) {
        px[0] = JSAMPLE(r);
        px[1] = JSAMPLE(g);
        px[2] = JSAMPLE(b);
      } else {
        // Adobe's inverted CMYK: the ink's complement, black none.
        px[0] = JSAMPLE(r);
        px[1] = JSAMPLE(g);
        px[2] = JSAMPLE(b);
        px[3] = 255;
      }
    }
    JSAMPROW line = row.data();
    jpeg_write_scanlines(&cinfo, &line, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::free(data);
  return bytes;
}

// The bytes of a JPEG with its header's size changed to width x height.
inline std::string ClaimedSize(std::string bytes, int width, int height) {
  for (size_t at = 0; at + 9 < bytes.size(); ++at)
    if (uint8_t(bytes[at]) == 0xFF && (uint8_t(bytes[at + 1]) == 0xC0 || uint8_t(bytes[at + 1]) == 0xC2)) {
      bytes[at + 5] = char(height >> 8);
      bytes[at + 6] = char(height & 0xFF);
      bytes[at + 7] = char(width >> 8);
      bytes[at + 8] = char(width & 0xFF);
      break;
    }
  return bytes;
}

}  // namespace qvtest
