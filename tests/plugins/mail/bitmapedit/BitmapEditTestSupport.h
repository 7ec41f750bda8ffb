#pragma once
// Pictures as rows of characters, one per pixel, so that a table of cases
// reads as the pixels it expects: '.' white, '#' black, 'o' red, 'b' blue,
// anything else a colour the legend does not know.
#include <QImage>
#include <QString>

#include <initializer_list>
#include <string>
#include <vector>

#include "platform/TColor.h"
#include "plugins/mail/bitmapedit/BitmapRaster.h"

namespace bitmaptest {

inline char CharOf(TColor c) {
  switch (c) {
    case clWhite:
      return '.';
    case clBlack:
      return '#';
    case clRed:
      return 'o';
    case clBlue:
      return 'b';
    default:
      return '?';
  }
}

inline TColor ColorOf(char c) {
  switch (c) {
    case '#':
      return clBlack;
    case 'o':
      return clRed;
    case 'b':
      return clBlue;
    default:
      return clWhite;
  }
}

// "\n"-separated rows, each ending in a newline, so failures print as a picture.
inline std::string Art(const QImage& picture) {
  std::string out;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) out += CharOf(qv::PixelColor(picture, x, y));
    out += '\n';
  }
  return out;
}

inline std::string Rows(std::initializer_list<const char*> rows) {
  std::string out;
  for (const char* row : rows) {
    out += row;
    out += '\n';
  }
  return out;
}

// A true-colour (or 1-bit) picture of the rows.
inline QImage FromRows(std::initializer_list<const char*> rows, bool mono = false) {
  const int h = int(rows.size());
  const int w = h ? int(std::string(*rows.begin()).size()) : 0;
  QImage picture(w, h, QImage::Format_RGB32);
  int y = 0;
  for (const char* row : rows) {
    for (int x = 0; x < w; ++x) {
      const TColor c = ColorOf(row[x]);
      picture.setPixel(x, y, qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
    }
    ++y;
  }
  return mono ? qv::MonoFromBlackAndWhite(picture) : picture;
}

// A picture whose every pixel differs from its neighbours.
inline QImage Numbered(int w, int h) {
  QImage picture(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) picture.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, (x * 7 + y) & 0xFF));
  return picture;
}

inline QImage White(int w, int h) {
  QImage picture(w, h, QImage::Format_RGB32);
  picture.fill(Qt::white);
  return picture;
}

// Pixels of the picture that are neither of the two colours.
inline int OtherPixels(const QImage& picture, TColor a, TColor b) {
  int count = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) {
      const TColor c = qv::PixelColor(picture, x, y);
      if (c != a && c != b) ++count;
    }
  return count;
}

inline int CountColor(const QImage& picture, TColor color) {
  int count = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) count += qv::PixelColor(picture, x, y) == color;
  return count;
}

}  // namespace bitmaptest
