#pragma once
// Builds bitmap files byte by byte for the tests, so each test states the
// exact header, colour table and rows it feeds to the reader; and reads
// pixels back out of a DIB in picture coordinates (row 0 at the top).
#include "image/QkDIB.h"

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace qvtest {

struct Bmp {
  uint16_t type = 0x4D42;
  uint32_t headerSize = 40;  // 40 or 12 (core header); anything else as given
  int32_t width = 1;
  int32_t height = 1;
  uint16_t planes = 1;
  uint16_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t sizeImage = 0;
  int32_t xPels = 0;
  int32_t yPels = 0;
  uint32_t clrUsed = 0;
  std::vector<uint32_t> masks;   // written right after the header
  std::vector<uint32_t> colors;  // 0xRRGGBB; 4 bytes each, 3 with a core header
  std::string pixels;            // written at bfOffBits as they are
  std::optional<uint32_t> bfSize;     // default: the real file size
  std::optional<uint32_t> bfOffBits;  // default: right after the colours
  std::string extraBeforePixels;      // gap between colours and pixels

  std::string Build() const;
};

// Packs rows of pixel values into padded rows. Values are colour indexes
// for 1/4/8 bits, 0xRRGGBB for 24 bits and raw pixels for 16/32 bits. Rows
// are given in the order they are stored.
std::string PackRows(int bitCount, const std::vector<std::vector<uint32_t>>& rows);

using Grid = std::vector<std::vector<uint32_t>>;

// A file of the picture given top row first; stored bottom-up unless
// storedTopDown. The colours are the colour table, all of them used.
Bmp PictureFile(uint16_t bits, const Grid& topDown, std::vector<uint32_t> colors = {}, bool storedTopDown = false);
qv::TQkDIB MakeDIB(uint16_t bits, const Grid& topDown, std::vector<uint32_t> colors = {}, bool storedTopDown = false);
// A file of packed (RLE) pixel data as given.
Bmp PackedFile(uint16_t bits, int width, int height, std::vector<uint32_t> colors, std::string data);

// Loads bytes into a fresh DIB.
qv::TQkDIB LoadDIB(const std::string& bytes);
std::string SaveDIB(const qv::TQkDIB& dib);

// Pixel (x, y) with y = 0 the top row: the colour index of 1/4/8-bit
// images, 0xRRGGBB of 24-bit ones.
uint32_t PixelValue(const qv::TQkDIB& dib, int x, int y);
// The colour of pixel (x, y) as 0xRRGGBB, through the colour table.
uint32_t PixelColor(const qv::TQkDIB& dib, int x, int y);
// All pixel values, top row first.
std::vector<std::vector<uint32_t>> PixelValues(const qv::TQkDIB& dib);
std::vector<std::vector<uint32_t>> PixelColors(const qv::TQkDIB& dib);
uint32_t TableColor(const qv::TQkDIB& dib, int index);

// Runs fn and returns the message of the exception of type E it raises
// (empty when it raises nothing; other exceptions pass through).
template <typename E, typename Fn>
std::string MessageOf(Fn fn) {
  try {
    fn();
  } catch (const E& e) {
    return e.what();
  }
  return {};
}

}  // namespace qvtest
