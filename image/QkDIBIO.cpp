// Reading and writing bitmap files, streams and CF_DIB clipboard blocks.
// Every size a file claims is checked in 64 bits against what the header
// needs and against the bytes really there, so no later step can read past
// the pixel memory.
#include "image/QkDIB.h"

#include <algorithm>
#include <cstring>
#include <istream>
#include <new>
#include <optional>
#include <ostream>

namespace qv {
namespace {

constexpr const char* kInvalidWidthOrHeight = "TQkInternalDIB.LoadFromStream: Invalid Width or Height";
constexpr const char* kInvalidBitsSize = "TQkInternalDIB.LoadFromStream: Invalid Bits Size";
constexpr const char* kBitsTooSmall = "TQkInternalDIB.LoadFromStream: Bits Size is too small";
constexpr const char* kTooLarge = "TQkInternalDIB.LoadFromStream: Image is too large";
constexpr const char* kEndOfPixels = "TQkInternalDIB.LoadFromStream: Unexpected End of Pixel Data";
constexpr const char* kInvalidClipboardData = "TQkDIB.LoadFromClipboardFormat: Invalid Clipboard Data";

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

void WriteInfoHeader(uint8_t* p, const TQkBitmapInfoHeader& h) {
  Put32(p, 40);
  Put32(p + 4, uint32_t(h.biWidth));
  Put32(p + 8, uint32_t(h.biHeight));
  Put16(p + 12, h.biPlanes);
  Put16(p + 14, h.biBitCount);
  Put32(p + 16, h.biCompression);
  Put32(p + 20, h.biSizeImage);
  Put32(p + 24, uint32_t(h.biXPelsPerMeter));
  Put32(p + 28, uint32_t(h.biYPelsPerMeter));
  Put32(p + 32, h.biClrUsed);
  Put32(p + 36, h.biClrImportant);
}

// Where the pixel rows come from: a stream or a clipboard block.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // False when fewer than n bytes are left.
  virtual bool Read(uint8_t* dst, size_t n) = 0;
  // Bytes left, when that can be known without reading them.
  virtual std::optional<uint64_t> Remaining() = 0;
};

class StreamSource : public ByteSource {
 public:
  explicit StreamSource(std::istream& s) : s_(s) {}
  bool Read(uint8_t* dst, size_t n) override {
    s_.read(reinterpret_cast<char*>(dst), static_cast<std::streamsize>(n));
    consumed_ += static_cast<uint64_t>(s_.gcount());
    return static_cast<size_t>(s_.gcount()) == n;
  }
  // Header parts: a short read is the class library's stream error.
  void ReadBuffer(void* dst, size_t n) {
    if (!Read(static_cast<uint8_t*>(dst), n)) throw EReadError("Stream read error");
  }
  bool Skip(uint64_t n) {
    uint8_t buf[4096];
    while (n > 0) {
      const size_t chunk = static_cast<size_t>(std::min<uint64_t>(n, sizeof buf));
      if (!Read(buf, chunk)) return false;
      n -= chunk;
    }
    return true;
  }
  std::optional<uint64_t> Remaining() override {
    const std::istream::pos_type here = s_.tellg();
    if (here == std::istream::pos_type(-1)) return std::nullopt;
    s_.seekg(0, std::ios::end);
    const std::istream::pos_type end = s_.tellg();
    s_.seekg(here);
    if (end == std::istream::pos_type(-1) || !s_) {
      s_.clear();
      s_.seekg(here);
      return std::nullopt;
    }
    return static_cast<uint64_t>(end - here);
  }
  uint64_t Consumed() const { return consumed_; }

 private:
  std::istream& s_;
  uint64_t consumed_ = 0;
};

class BlockSource : public ByteSource {
 public:
  explicit BlockSource(std::span<const uint8_t> data) : data_(data) {}
  bool Read(uint8_t* dst, size_t n) override {
    if (data_.size() < n) return false;
    std::memcpy(dst, data_.data(), n);
    data_ = data_.subspan(n);
    return true;
  }
  std::optional<uint64_t> Remaining() override { return data_.size(); }

 private:
  std::span<const uint8_t> data_;
};

void ParseInfoHeader(const uint8_t* p, TQkBitmapInfoHeader& h) {
  h.biSize = U32(p);
  h.biWidth = static_cast<int32_t>(U32(p + 4));
  h.biHeight = static_cast<int32_t>(U32(p + 8));
  h.biPlanes = U16(p + 12);
  h.biBitCount = U16(p + 14);
  h.biCompression = U32(p + 16);
  h.biSizeImage = U32(p + 20);
  h.biXPelsPerMeter = static_cast<int32_t>(U32(p + 24));
  h.biYPelsPerMeter = static_cast<int32_t>(U32(p + 28));
  h.biClrUsed = U32(p + 32);
  h.biClrImportant = U32(p + 36);
  if (h.biXPelsPerMeter == 0) h.biXPelsPerMeter = kDefaultPelsPerMeter;
  if (h.biYPelsPerMeter == 0) h.biYPelsPerMeter = kDefaultPelsPerMeter;
}

uint32_t IndexedColors(int bitCount) { return bitCount == 1 ? 2 : bitCount == 4 ? 16 : bitCount == 8 ? 256 : 0; }

// An OS/2 core header (12 bytes) with its three-byte colour entries, as an
// info header with an RGBQUAD colour table.
void ConvertCoreHeader(const uint8_t* core, const uint8_t* entries, TQkDIBImage& img) {
  TQkBitmapInfoHeader& h = img.Header;
  h = TQkBitmapInfoHeader{};
  h.biSize = 40;
  h.biWidth = U16(core + 4);
  h.biHeight = U16(core + 6);
  h.biPlanes = U16(core + 8);
  h.biBitCount = U16(core + 10);
  h.biCompression = kBiRgb;
  h.biSizeImage = 0;
  h.biXPelsPerMeter = h.biYPelsPerMeter = kDefaultPelsPerMeter;
  h.biClrUsed = IndexedColors(h.biBitCount);
  h.biClrImportant = 0;
  for (uint32_t i = 0; i < h.biClrUsed; ++i)
    img.ColorTable[i] = {entries[i * 3], entries[i * 3 + 1], entries[i * 3 + 2], 0};
}

uint8_t* TableBytes(TQkDIBImage& img) { return reinterpret_cast<uint8_t*>(img.ColorTable.data()); }
static_assert(sizeof(TQkRGBQuad) == 4);

// Pixels of a 1, 4, 8 or 24-bit image, kept as they are stored (packed data
// stays packed); they must cover every row the header describes.
// Rows in 64 bits: a height of -2^31 has no 32-bit absolute value.
int64_t RowCount(const TQkBitmapInfoHeader& h) { return h.biHeight < 0 ? -int64_t(h.biHeight) : h.biHeight; }

void ReadIndexedPixels(TQkDIBImage& img, int64_t bitsSize, ByteSource& src, bool useFMO) {
  TQkBitmapInfoHeader& h = img.Header;
  // Masks mean nothing to these depths: the colours come after them and the
  // pixels are plain, so the picture is kept as plain and saves as it loads.
  if (h.biCompression == kBiBitFields) {
    std::memmove(img.ColorTable.data(), img.ColorTable.data() + 3, 256 * sizeof(TQkRGBQuad));
    h.biCompression = kBiRgb;
  }
  const int64_t need = DIBImageBytes(h.biWidth, RowCount(h), h.biBitCount);
  if (need < 0) throw EQkDIBInvalidDIB(kTooLarge);
  if (bitsSize < 0 || bitsSize > kMaxBitsSize) throw EQkDIBInvalidDIB(kInvalidBitsSize);
  const bool packed = (h.biBitCount == 8 && h.biCompression == kBiRle8) || (h.biBitCount == 4 && h.biCompression == kBiRle4);
  if (!packed && bitsSize < need) throw EQkDIBInvalidDIB(kBitsTooSmall);
  // A claim larger than the data is refused before the memory is taken.
  if (auto left = src.Remaining(); left && *left < uint64_t(bitsSize)) throw EQkDIBInvalidDIB(kEndOfPixels);
  img.BitsSize = static_cast<uint32_t>(bitsSize);
  img.Memory = TQkPixelMemory::GetMemory(img.BitsSize, useFMO);
  if (!src.Read(img.Bits(), img.BitsSize)) throw EQkDIBInvalidDIB(kEndOfPixels);
}

struct Channel {
  uint32_t mask;
  int shift;  // right shifts; negative for left shifts
  uint32_t max;
  explicit Channel(uint32_t m) : mask(m), shift(0) {
    uint64_t v = m;
    while (v > 255) {
      v >>= 1;
      ++shift;
    }
    while (v < 128) {
      v <<= 1;
      --shift;
    }
    max = static_cast<uint32_t>(v);
  }
  uint8_t operator()(uint32_t pixel) const {
    const uint64_t v = pixel & mask;
    const uint64_t s = shift >= 0 ? v >> shift : v << -shift;
    return static_cast<uint8_t>(s * 255 / max);
  }
};

// 16 and 32-bit pixels become 24 bits while they are read, row by row in
// the stored order (a negative height keeps its top-down rows).
void ReadHighColorPixels(TQkDIBImage& img, ByteSource& src, bool useFMO) {
  TQkBitmapInfoHeader& h = img.Header;
  const int64_t width = h.biWidth;
  const int64_t srcRow = h.biBitCount == 16 ? (width * 2 + 3) & ~int64_t(3) : width * 4;
  const int64_t dstRow = (width * 3 + 3) & ~int64_t(3);
  const int64_t rows = RowCount(h);
  // Source rows are at most 4/3 of the target's, so one check bounds both.
  if (DIBImageBytes(width, rows, 32) < 0) throw EQkDIBInvalidDIB(kTooLarge);
  uint32_t masks[3];
  if (h.biCompression != kBiRgb) {
    for (int i = 0; i < 3; ++i) masks[i] = U32(TableBytes(img) + 4 * i);
  } else if (h.biBitCount == 16) {
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  } else {
    masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
  }
  if (!masks[0] || !masks[1] || !masks[2]) throw EQkDIBInvalidDIB("TQkInternalDIB.LoadFromStream: Invalid Masks");
  if (auto left = src.Remaining(); left && *left < uint64_t(rows * srcRow)) throw EQkDIBInvalidDIB(kEndOfPixels);
  const Channel red(masks[0]), green(masks[1]), blue(masks[2]);
  img.BitsSize = static_cast<uint32_t>(rows * dstRow);
  img.Memory = TQkPixelMemory::GetMemory(img.BitsSize, useFMO);
  std::vector<uint8_t> line(static_cast<size_t>(srcRow));
  for (int64_t y = 0; y < rows; ++y) {
    if (!src.Read(line.data(), line.size())) throw EQkDIBInvalidDIB(kEndOfPixels);
    uint8_t* out = img.Bits() + y * dstRow;
    std::memset(out + dstRow - 4, 0, 4);
    for (int64_t x = 0; x < width; ++x) {
      const uint32_t p = h.biBitCount == 16 ? U16(&line[size_t(x) * 2]) : U32(&line[size_t(x) * 4]);
      out[x * 3] = blue(p);
      out[x * 3 + 1] = green(p);
      out[x * 3 + 2] = red(p);
    }
  }
  if (h.biCompression == kBiBitFields) std::memmove(img.ColorTable.data(), img.ColorTable.data() + 3, 256 * sizeof(TQkRGBQuad));
  h.biCompression = kBiRgb;
  h.biBitCount = 24;
  h.biSizeImage = 0;
}

void ReadPixels(TQkDIBImage& img, int64_t bitsSize, ByteSource& src, bool useFMO, const char* badBitCount) {
  if (img.Header.biWidth <= 0 || img.Header.biHeight == 0) throw EQkDIBInvalidDIB(kInvalidWidthOrHeight);
  switch (img.Header.biBitCount) {
    case 1:
    case 4:
    case 8:
    case 24: ReadIndexedPixels(img, bitsSize, src, useFMO); break;
    case 16:
    case 32:
      if (bitsSize < 0) throw EQkDIBInvalidDIB(kInvalidBitsSize);
      ReadHighColorPixels(img, src, useFMO);
      break;
    default: throw EQkDIBInvalidDIB(badBitCount);
  }
}

}  // namespace

void TQkInternalDIB::LoadFromStream(std::istream& stream) {
  StreamSource in(stream);
  uint8_t fileHeader[14];
  in.ReadBuffer(fileHeader, sizeof fileHeader);
  if (U16(fileHeader) != 0x4D42) throw EQkDIBInvalidDIBFile("TQkInternalDIB.LoadFromFile: File type is invalid");
  const int64_t bfSize = U32(fileHeader + 2);
  const int64_t bfOffBits = U32(fileHeader + 10);
  uint8_t header[40];
  in.ReadBuffer(header, 4);
  const uint32_t headerSize = U32(header);
  TQkDIBImage img;
  if (headerSize == 40) {
    in.ReadBuffer(header + 4, 36);
    TQkBitmapInfoHeader& h = img.Header;
    ParseInfoHeader(header, h);
    const int b = h.biBitCount;
    if (b != 1 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32)
      throw EQkDIBInvalidDIB("TQkInternalDIB.LoadFromStream: Invalid BitCout");
    if (h.biClrUsed == 0) h.biClrUsed = IndexedColors(b);
    const uint64_t masks = h.biCompression == kBiBitFields ? 12 : 0;
    in.ReadBuffer(TableBytes(img), masks + 4 * std::min<uint64_t>(h.biClrUsed, 256));
    if (uint64_t(bfOffBits) < 14 + 40 + 4 * uint64_t(h.biClrUsed) + masks)
      throw EQkDIBInvalidDIB("TQkInternalDIB.LoadFromFile: bfOffBits is too small");
    if (!in.Skip(uint64_t(bfOffBits) - in.Consumed())) throw EQkDIBInvalidDIB(kEndOfPixels);
    h.biClrUsed = std::min<uint32_t>(h.biClrUsed, 256);
  } else if (headerSize == 12) {
    in.ReadBuffer(header + 4, 8);
    const int b = U16(header + 10);
    if (b != 1 && b != 4 && b != 8 && b != 24)
      throw EQkDIBInvalidDIB("TQkInternalDIB.LoadFromStream: Invalid BitCount");
    uint8_t entries[256 * 3];
    const uint32_t count = IndexedColors(b);
    in.ReadBuffer(entries, 3 * count);
    if (uint64_t(bfOffBits) < 12 + 14 + 3 * uint64_t(count))
      throw EQkDIBInvalidDIB("TQkInternalDIB.LoadFromFile: bfOffBits is too small");
    if (!in.Skip(uint64_t(bfOffBits) - in.Consumed())) throw EQkDIBInvalidDIB(kEndOfPixels);
    ConvertCoreHeader(header, entries, img);
  } else {
    throw EQkDIBInvalidDIB("TQkInternalDIB.LoadFromStream: Invalid Bitmap Header Size");
  }
  ReadPixels(img, bfSize - bfOffBits, in, UseFMO, "TQkInternalDIB.LoadFromStream: Invalid biBitCount");
  TakeImage(std::move(img));
}

void TQkInternalDIB::SaveToStream(std::ostream& stream) const {
  const TQkBitmapInfoHeader& h = Image.Header;
  const uint32_t colors = std::min<uint32_t>(h.biClrUsed, 256);
  const uint32_t offBits = 54 + 4 * colors;
  uint8_t head[54];
  Put16(head, 0x4D42);
  Put32(head + 2, offBits + Image.BitsSize);
  Put32(head + 6, 0);
  Put32(head + 10, offBits);
  WriteInfoHeader(head + 14, h);
  stream.write(reinterpret_cast<const char*>(head), sizeof head);
  stream.write(reinterpret_cast<const char*>(Image.ColorTable.data()), std::streamsize(4) * colors);
  stream.write(reinterpret_cast<const char*>(Image.Bits()), Image.BitsSize);
  if (!stream) throw EWriteError("Stream write error");
}

void TQkInternalDIB::LoadFromClipboardFormat(std::span<const uint8_t> data) {
  if (data.size() < 4) throw EQkDIBInvalidDIB(kInvalidClipboardData);
  const uint32_t headerSize = U32(data.data());
  TQkDIBImage img;
  uint64_t length = 0;
  if (headerSize == 40) {
    if (data.size() < 40) throw EQkDIBInvalidDIB(kInvalidClipboardData);
    TQkBitmapInfoHeader& h = img.Header;
    ParseInfoHeader(data.data(), h);
    const uint64_t colors = h.biClrUsed ? h.biClrUsed : IndexedColors(h.biBitCount);
    length = 40 + 4 * colors + (h.biCompression == kBiBitFields ? 12 : 0);
    if (data.size() < length) throw EQkDIBInvalidDIB(kInvalidClipboardData);
    const uint64_t table = std::min<uint64_t>(length, 1076) - 40;
    std::memcpy(TableBytes(img), data.data() + 40, table);
    h.biClrUsed = static_cast<uint32_t>(std::min<uint64_t>(colors, 256));
  } else if (headerSize == 12) {
    if (data.size() < 12) throw EQkDIBInvalidDIB(kInvalidClipboardData);
    const uint32_t count = IndexedColors(U16(data.data() + 10));
    length = 12 + 3 * count;
    if (data.size() < length) throw EQkDIBInvalidDIB(kInvalidClipboardData);
    ConvertCoreHeader(data.data(), data.data() + 12, img);
  } else {
    throw EQkDIBInvalidDIB(kInvalidClipboardData);
  }
  BlockSource pixels(data.subspan(length));
  ReadPixels(img, int64_t(data.size() - length), pixels, UseFMO,
             "TQkInternalDIB.LoadFromClipboardFormat: Invalid biBitCount");
  TakeImage(std::move(img));
}

std::vector<uint8_t> TQkInternalDIB::SaveToClipboardFormat() const {
  const uint32_t colors = std::min<uint32_t>(Image.Header.biClrUsed, 256);
  std::vector<uint8_t> block;
  try {
    block.resize(40 + 4 * size_t(colors) + Image.BitsSize);
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("TQkInternalDIB.SaveToClipboardFormat: Out Of Memory");
  }
  uint8_t* p = block.data();
  WriteInfoHeader(p, Image.Header);
  std::memcpy(p + 40, Image.ColorTable.data(), 4 * size_t(colors));
  std::memcpy(p + 40 + 4 * size_t(colors), Image.Bits(), Image.BitsSize);
  return block;
}

}  // namespace qv
