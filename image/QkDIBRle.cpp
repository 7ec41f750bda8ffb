// BI_RLE8 and BI_RLE4 packing and unpacking.
#include "image/QkDIBError.h"
#include "image/QkDIBImage.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace qv {
namespace {

// Reads the packed bytes; the source is checked as strictly as the output,
// so a short block never makes the reader run past it.
class RleSource {
 public:
  RleSource(const TQkDIBImage& src, const char* name)
      : p_(src.Bits()), left_(src.Memory.Bits() ? std::min<size_t>(src.BitsSize, src.Memory.Size()) : 0), name_(name) {}
  bool AtEnd() const { return left_ == 0; }
  // Two bytes of a pair, or of a delta's offsets.
  void Pair(uint8_t& a, uint8_t& b) {
    Need(2);
    a = p_[0];
    b = p_[1];
    Skip(2);
  }
  const uint8_t* Take(size_t n) {
    Need(n);
    const uint8_t* at = p_;
    Skip(n);
    return at;
  }
  // Word padding after an absolute run; a missing pad at the very end is no loss.
  void Pad(size_t n) { Skip(std::min(n, left_)); }

 private:
  void Need(size_t n) const {
    if (left_ < n) throw EQkDIBInvalidDIB(std::string(name_) + ": Bad RLE Data (Truncated)");
  }
  void Skip(size_t n) {
    p_ += n;
    left_ -= n;
  }
  const uint8_t* p_;
  size_t left_;
  const char* name_;
};

void SetNibble(uint8_t* row, int64_t x, uint8_t v) {
  uint8_t& b = row[x / 2];
  b = (x % 2 == 0) ? uint8_t((b & 0x0F) | (v << 4)) : uint8_t((b & 0xF0) | (v & 0x0F));
}

uint8_t GetNibble(const uint8_t* row, int64_t x) { return (x % 2 == 0) ? row[x / 2] >> 4 : row[x / 2] & 0x0F; }

// The unpacking loop of both depths. Pixels counts pixels; width is the
// limit for x (for 4 bits the width rounded up to even).
template <typename Run, typename Absolute>
void Unpack(RleSource& in, int64_t width, int64_t height, const std::string& name, const int (&codes)[4], Run run,
            Absolute absolute) {
  // codes: end of line, delta, absolute, encoded run.
  auto bad = [&](int code) { return EQkDIBInvalidDIB(name + ": Bad RLE Data " + std::to_string(code)); };
  int64_t x = 0, y = 0;
  while (!in.AtEnd()) {
    uint8_t n, v;
    in.Pair(n, v);
    if (n > 0) {
      x += n;
      if (x > width || y >= height) throw bad(codes[3]);
      run(x - n, y, n, v);
    } else if (v == 0) {
      ++y;
      x = 0;
      if (y > height) throw bad(codes[0]);
    } else if (v == 1) {
      break;
    } else if (v == 2) {
      uint8_t dx, dy;
      in.Pair(dx, dy);
      x += dx;
      y += dy;
      if (x > width || y > height) throw bad(codes[1]);
    } else {
      x += v;
      if (x > width || y >= height) throw bad(codes[2]);
      absolute(x - v, y, v);
    }
  }
}

// Packed output with the room checks of the format: a run needs 6 bytes left,
// a literal of n bytes ((n + 1) rounded down to even) + 6, an end of line 4,
// the end of the bitmap 2.
class RlePacker {
 public:
  RlePacker(size_t capacity, bool fourBit, int64_t rowPixels, const char* name)
      : buf_(capacity), fourBit_(fourBit), rowPixels_(rowPixels), name_(name) {}

  // The state machine over one row's bytes.
  void PackRow(const uint8_t* row, size_t bytes) {
    const size_t limit = fourBit_ ? 127 : 255;
    written_ = 0;
    enum { Empty, Single, Run, Literal } state = Empty;
    uint8_t value = 0;
    size_t count = 0;
    literal_.clear();
    for (size_t i = 0; i < bytes; ++i) {
      const uint8_t b = row[i];
      switch (state) {
        case Empty:
          value = b;
          state = Single;
          break;
        case Single:
          if (b == value) {
            count = 2;
            state = Run;
          } else {
            literal_.assign({value, b});
            state = Literal;
          }
          break;
        case Run:
          if (b == value && count < limit) {
            ++count;
          } else {
            WriteRun(count, value);
            value = b;
            state = Single;
          }
          break;
        case Literal:
          if (b != literal_.back() && literal_.size() < limit) {
            literal_.push_back(b);
          } else if (b == literal_.back()) {
            literal_.pop_back();
            WriteAbsolute();
            value = b;
            count = 2;
            state = Run;
          } else {
            WriteAbsolute();
            value = b;
            state = Single;
          }
          break;
      }
    }
    if (state == Single) WriteRun(1, value);
    if (state == Run) WriteRun(count, value);
    if (state == Literal) WriteAbsolute();
    Room(4);
    Put(0);
    Put(0);
  }

  void EndOfBitmap() {
    Room(2);
    Put(0);
    Put(1);
  }

  size_t Size() const { return pos_; }
  const uint8_t* Data() const { return buf_.data(); }

 private:
  void Room(size_t need) const {
    if (buf_.size() - pos_ < need) throw EQkDIBCompressionFailed(std::string(name_) + ": Compression Failed");
  }
  void Put(uint8_t b) { buf_[pos_++] = b; }
  // Pixels of n bytes, cut to what is left of the row (odd widths).
  uint8_t Pixels(size_t n) {
    const int64_t px = std::min<int64_t>(int64_t(n) * 2, rowPixels_ - written_);
    written_ += px;
    return static_cast<uint8_t>(px);
  }
  void WriteRun(size_t count, uint8_t value) {
    Room(6);
    Put(fourBit_ ? Pixels(count) : static_cast<uint8_t>(count));
    Put(value);
  }
  void WriteAbsolute() {
    const size_t n = literal_.size();
    if (n == 0) throw EAssertionFailed(std::string(name_) + ": WriteAbsolute Error");
    Room(((n + 1) & ~size_t(1)) + 6);
    // Absolute mode needs at least three pixels; shorter literals go as runs.
    if (fourBit_ ? n == 1 : n <= 2) {
      for (uint8_t b : literal_) WriteRun(1, b);
      return;
    }
    Put(0);
    Put(fourBit_ ? Pixels(n) : static_cast<uint8_t>(n));
    for (uint8_t b : literal_) Put(b);
    if (n % 2) Put(0);
  }

  std::vector<uint8_t> buf_;
  size_t pos_ = 0;
  bool fourBit_;
  int64_t rowPixels_;
  int64_t written_ = 0;
  std::vector<uint8_t> literal_;
  const char* name_;
};

TQkDIBImage Pack(const TQkDIBImage& src, bool useFMO, bool fourBit, uint32_t compression, const char* name) {
  const int32_t rows = src.Rows();
  const int64_t rowBytes = src.RowBytes();
  const size_t dataBytes = fourBit ? (size_t(src.Width()) + 1) / 2 : size_t(src.Width());
  RlePacker packer(size_t(rows * rowBytes), fourBit, src.Width(), name);
  // Packed images are always bottom-up.
  for (int32_t r = 0; r < rows; ++r) packer.PackRow(src.Row(src.TopDown() ? rows - 1 - r : r), dataBytes);
  packer.EndOfBitmap();
  TQkDIBImage out;
  out.Header = src.Header;
  out.Header.biHeight = rows;
  out.Header.biCompression = compression;
  out.Header.biSizeImage = static_cast<uint32_t>(packer.Size());
  out.ColorTable = src.ColorTable;
  out.BitsSize = static_cast<uint32_t>(packer.Size());
  out.Memory = TQkPixelMemory::GetMemory(out.BitsSize, useFMO);
  std::memcpy(out.Bits(), packer.Data(), packer.Size());
  return out;
}

}  // namespace

TQkDIBImage Convert8BitRLETo8BitRGB(const TQkDIBImage& src, bool useFMO) {
  static const std::string name = "Convert8BitRLETo8BitRGB";
  if (src.Header.biBitCount != 8 || src.Header.biCompression != kBiRle8)
    throw EQkDIBBadDIBType(name + ": Invalid Bitcount & Compression Combination");
  TQkDIBImage out = NewImageLike(src, src.Header.biBitCount, useFMO);
  RleSource in(src, name.c_str());
  static const int codes[4] = {1, 2, 3, 4};
  Unpack(
      in, src.Width(), out.Rows(), name, codes,
      [&](int64_t x, int64_t y, uint8_t n, uint8_t v) { std::memset(out.Row(int32_t(y)) + x, v, n); },
      [&](int64_t x, int64_t y, uint8_t v) {
        std::memcpy(out.Row(int32_t(y)) + x, in.Take(v), v);
        in.Pad(v % 2);
      });
  return out;
}

TQkDIBImage Convert4BitRLETo4BitRGB(const TQkDIBImage& src, bool useFMO) {
  static const std::string name = "Convert4BitRLETo4BitRGB";
  if (src.Header.biBitCount != 4 || src.Header.biCompression != kBiRle4)
    throw EQkDIBBadDIBType(name + ": Invalid Bitcount & Compression Combination");
  TQkDIBImage out = NewImageLike(src, src.Header.biBitCount, useFMO);
  RleSource in(src, name.c_str());
  static const int codes[4] = {5, 6, 7, 8};
  const int64_t evenWidth = (int64_t(src.Width()) + 1) & ~int64_t(1);
  Unpack(
      in, evenWidth, out.Rows(), name, codes,
      [&](int64_t x, int64_t y, uint8_t n, uint8_t v) {
        uint8_t* row = out.Row(int32_t(y));
        for (int i = 0; i < n; ++i) SetNibble(row, x + i, (i % 2 == 0) ? v >> 4 : v & 0x0F);
      },
      [&](int64_t x, int64_t y, uint8_t v) {
        const size_t bytes = (size_t(v) + 1) / 2;
        const uint8_t* data = in.Take(bytes);
        uint8_t* row = out.Row(int32_t(y));
        for (int i = 0; i < v; ++i) SetNibble(row, x + i, GetNibble(data, i));
        in.Pad((size_t(v) * 4 + 15) / 16 * 2 - bytes);
      });
  return out;
}

TQkDIBImage Convert8BitRGBTo8BitRLE(const TQkDIBImage& src, bool useFMO) {
  if (src.Header.biBitCount != 8 || src.Header.biCompression != kBiRgb)
    throw EQkDIBBadDIBType("Convert8BitRGBTo8BitRLE: Invalid Bitcount & Compression Combination");
  return Pack(src, useFMO, false, kBiRle8, "Convert8BitRGBTo8BitRLE");
}

TQkDIBImage Convert4BitRGBTo4BitRLE(const TQkDIBImage& src, bool useFMO) {
  if (src.Header.biBitCount != 4 || src.Header.biCompression != kBiRgb)
    throw EQkDIBBadDIBType("Convert4BitRGBTo4BitRLE: Invalid Bitcount & Compression Combination");
  return Pack(src, useFMO, true, kBiRle4, "Convert4BitRGBTo4BitRLE");
}

}  // namespace qv
