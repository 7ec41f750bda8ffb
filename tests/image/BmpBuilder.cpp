#include "BmpBuilder.h"

#include <stdexcept>

namespace qvtest {
namespace {

void Put(std::string& s, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s.push_back(char(v >> (8 * i)));
}

}  // namespace

std::string Bmp::Build() const {
  std::string header;
  if (headerSize == 12) {
    Put(header, 12, 4);
    Put(header, uint32_t(width), 2);
    Put(header, uint32_t(height), 2);
    Put(header, planes, 2);
    Put(header, bitCount, 2);
  } else {
    Put(header, headerSize, 4);
    Put(header, uint32_t(width), 4);
    Put(header, uint32_t(height), 4);
    Put(header, planes, 2);
    Put(header, bitCount, 2);
    Put(header, compression, 4);
    Put(header, sizeImage, 4);
    Put(header, uint32_t(xPels), 4);
    Put(header, uint32_t(yPels), 4);
    Put(header, clrUsed, 4);
    Put(header, 0, 4);
  }
  for (uint32_t m : masks) Put(header, m, 4);
  for (uint32_t c : colors) {
    header.push_back(char(c & 0xFF));
    header.push_back(char((c >> 8) & 0xFF));
    header.push_back(char((c >> 16) & 0xFF));
    if (headerSize != 12) header.push_back(0);
  }
  header += extraBeforePixels;
  const uint32_t off = bfOffBits.value_or(uint32_t(14 + header.size()));
  std::string body = header;
  if (off >= 14 + body.size())
    body.append(off - 14 - body.size(), '\0');
  body += pixels;
  std::string file;
  Put(file, type, 2);
  Put(file, bfSize.value_or(uint32_t(14 + body.size())), 4);
  Put(file, 0, 4);
  Put(file, off, 4);
  return file + body;
}

std::string PackRows(int bitCount, const std::vector<std::vector<uint32_t>>& rows) {
  std::string out;
  for (const auto& row : rows) {
    std::string line;
    if (bitCount == 1 || bitCount == 4) {
      const int perByte = 8 / bitCount;
      line.assign((row.size() + perByte - 1) / perByte, '\0');
      for (size_t x = 0; x < row.size(); ++x) {
        const int shift = 8 - bitCount * int(x % perByte + 1);
        line[x / perByte] = char(uint8_t(line[x / perByte]) | uint8_t(row[x] << shift));
      }
    } else {
      for (uint32_t v : row) Put(line, v, bitCount / 8);
    }
    while (line.size() % 4) line.push_back('\0');
    out += line;
  }
  return out;
}

Bmp PictureFile(uint16_t bits, const Grid& topDown, std::vector<uint32_t> colors, bool storedTopDown) {
  Bmp b;
  b.bitCount = bits;
  b.width = int32_t(topDown[0].size());
  b.height = int32_t(topDown.size()) * (storedTopDown ? -1 : 1);
  b.clrUsed = uint32_t(colors.size());
  b.colors = std::move(colors);
  b.pixels = PackRows(bits, storedTopDown ? topDown : Grid(topDown.rbegin(), topDown.rend()));
  return b;
}

qv::TQkDIB MakeDIB(uint16_t bits, const Grid& topDown, std::vector<uint32_t> colors, bool storedTopDown) {
  return LoadDIB(PictureFile(bits, topDown, std::move(colors), storedTopDown).Build());
}

Bmp PackedFile(uint16_t bits, int width, int height, std::vector<uint32_t> colors, std::string data) {
  Bmp b;
  b.bitCount = bits;
  b.width = width;
  b.height = height;
  b.compression = bits == 8 ? qv::kBiRle8 : qv::kBiRle4;
  b.clrUsed = uint32_t(colors.size());
  b.colors = std::move(colors);
  b.pixels = std::move(data);
  return b;
}

qv::TQkDIB LoadDIB(const std::string& bytes) {
  std::istringstream in(bytes, std::ios::binary);
  qv::TQkDIB dib;
  dib.LoadFromStream(in);
  return dib;
}

std::string SaveDIB(const qv::TQkDIB& dib) {
  std::ostringstream out(std::ios::binary);
  dib.SaveToStream(out);
  return out.str();
}

uint32_t PixelValue(const qv::TQkDIB& dib, int x, int y) {
  const qv::TQkBitmapInfoHeader& h = dib.Header();
  if (h.biCompression != qv::kBiRgb) throw std::logic_error("PixelValue of a packed DIB");
  const int rows = dib.GetHeight();
  const int stored = h.biHeight < 0 ? y : rows - 1 - y;
  const uint8_t* row = dib.Bits() + qv::DIBRowBytes(h.biWidth, h.biBitCount) * stored;
  switch (h.biBitCount) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4: return (x % 2) ? row[x / 2] & 0x0F : row[x / 2] >> 4;
    case 8: return row[x];
    case 24: return uint32_t(row[x * 3 + 2]) << 16 | uint32_t(row[x * 3 + 1]) << 8 | row[x * 3];
  }
  throw std::logic_error("PixelValue: depth");
}

uint32_t TableColor(const qv::TQkDIB& dib, int index) {
  const qv::TQkRGBQuad& c = dib.ColorTable()[index];
  return uint32_t(c.rgbRed) << 16 | uint32_t(c.rgbGreen) << 8 | c.rgbBlue;
}

uint32_t PixelColor(const qv::TQkDIB& dib, int x, int y) {
  const uint32_t v = PixelValue(dib, x, y);
  return dib.GetBitCount() == 24 ? v : TableColor(dib, int(v));
}

namespace {
template <typename Fn>
Grid Collect(const qv::TQkDIB& dib, Fn fn) {
  Grid out(size_t(dib.GetHeight()));
  for (int y = 0; y < dib.GetHeight(); ++y)
    for (int x = 0; x < dib.GetWidth(); ++x) out[size_t(y)].push_back(fn(dib, x, y));
  return out;
}
}  // namespace

std::vector<std::vector<uint32_t>> PixelValues(const qv::TQkDIB& dib) { return Collect(dib, PixelValue); }
std::vector<std::vector<uint32_t>> PixelColors(const qv::TQkDIB& dib) { return Collect(dib, PixelColor); }

}  // namespace qvtest
