#pragma once
// The in-memory DIB image: the bitmap info header, its colour table and the
// pixel rows, kept together because every conversion copies and swaps them as
// one block. Also the pixel-memory pair and the converters that turn one
// image into a new one (the source is never changed).
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace qv {

// Compression values of the bitmap info header.
inline constexpr uint32_t kBiRgb = 0;
inline constexpr uint32_t kBiRle8 = 1;
inline constexpr uint32_t kBiRle4 = 2;
inline constexpr uint32_t kBiBitFields = 3;

// 96 dots per inch.
inline constexpr int32_t kDefaultPelsPerMeter = 3780;

// The Windows BITMAPINFOHEADER, field for field (40 bytes on disk).
struct TQkBitmapInfoHeader {
  uint32_t biSize = 40;
  int32_t biWidth = 0;
  int32_t biHeight = 0;
  uint16_t biPlanes = 1;
  uint16_t biBitCount = 0;
  uint32_t biCompression = kBiRgb;
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};

// A colour-table entry as stored: blue, green, red, reserved.
struct TQkRGBQuad {
  uint8_t rgbBlue = 0;
  uint8_t rgbGreen = 0;
  uint8_t rgbRed = 0;
  uint8_t rgbReserved = 0;
  friend bool operator==(const TQkRGBQuad&, const TQkRGBQuad&) = default;
};

// Pixel memory: a shared anonymous mapping (the stand-in for a file mapping
// on the paging file, which a canvas can draw into) or a heap block; always
// zero-filled when made.
class TQkPixelMemory {
 public:
  TQkPixelMemory() = default;
  ~TQkPixelMemory() { ReleaseMemory(); }
  TQkPixelMemory(TQkPixelMemory&& other) noexcept;
  TQkPixelMemory& operator=(TQkPixelMemory&& other) noexcept;
  TQkPixelMemory(const TQkPixelMemory&) = delete;
  TQkPixelMemory& operator=(const TQkPixelMemory&) = delete;

  static TQkPixelMemory GetMemory(size_t size, bool useFMO);
  void ReleaseMemory() noexcept;

  uint8_t* Bits() const { return bits_; }
  size_t Size() const { return size_; }
  bool Mapped() const { return mapped_; }

 private:
  uint8_t* bits_ = nullptr;
  size_t size_ = 0;      // bytes usable
  size_t reserved_ = 0;  // bytes allocated (at least 1)
  bool mapped_ = false;
};

// Room for 256 colours and the three bit-field masks a file may put first.
inline constexpr size_t kColorTableRoom = 256 + 3;

struct TQkDIBImage {
  TQkBitmapInfoHeader Header;
  std::array<TQkRGBQuad, kColorTableRoom> ColorTable{};
  uint32_t BitsSize = 0;
  TQkPixelMemory Memory;

  uint8_t* Bits() const { return Memory.Bits(); }
  int32_t Width() const { return Header.biWidth; }
  // Rows of pixels, whatever the order they are stored in.
  int32_t Rows() const;
  bool TopDown() const { return Header.biHeight < 0; }
  // Stored row y (0 = first stored row) of an uncompressed image.
  uint8_t* Row(int32_t y) const;
  int64_t RowBytes() const;
  // A deep copy in new pixel memory.
  TQkDIBImage Clone(bool useFMO) const;
};

// Bytes of one padded row: ((width x bits + 31) div 32) x 4, in 64 bits.
int64_t DIBRowBytes(int64_t width, int64_t bitCount);
// Largest pixel block an image may have; sizes above it are refused.
inline constexpr int64_t kMaxBitsSize = 0x7FFFFFFF;
// rows x row bytes of an uncompressed image, or -1 when that exceeds
// kMaxBitsSize (checked without overflowing even 64 bits).
int64_t DIBImageBytes(int64_t width, int64_t rows, int64_t bitCount);

// A new blank image, zeroed pixels and an all-black colour table; raises
// EQkDIBInvalidDIBPara when the values are not accepted or do not fit.
TQkDIBImage CreateDIBImage(int32_t width, int32_t height, int32_t clrUsed, int bitCount, bool useFMO);

// A blank uncompressed image of the source's size, header and colour table
// at another depth (biSizeImage 0); refused like CreateDIBImage when it
// would not fit.
TQkDIBImage NewImageLike(const TQkDIBImage& src, int bitCount, bool useFMO);

// Called once per leaf of a colour-split tree.
using TQkProgressStep = std::function<void()>;

// Expansion and true-colour conversions.
TQkDIBImage Convert1BitRGBTo4BitRGB(const TQkDIBImage& src, bool useFMO);
TQkDIBImage Convert1BitRGBTo8BitRGB(const TQkDIBImage& src, bool useFMO);
TQkDIBImage Convert4BitRGBTo8BitRGB(const TQkDIBImage& src, bool useFMO);
TQkDIBImage Convert1BitRGBToTrueColor(const TQkDIBImage& src, bool useFMO);
TQkDIBImage Convert4BitRGBToTrueColor(const TQkDIBImage& src, bool useFMO);
TQkDIBImage Convert8BitRGBToTrueColor(const TQkDIBImage& src, bool useFMO);
// Masks to 1 bit: pixels of the mask colour ($00BBGGRR) become 1, others 0.
TQkDIBImage ConvertTrueColorTo1BitRGB(const TQkDIBImage& src, bool useFMO, uint32_t maskRGB);
TQkDIBImage Convert8BitTo1BitRGB(const TQkDIBImage& src, bool useFMO, uint32_t maskRGB);
TQkDIBImage Convert4BitRGBTo1BitRGB(const TQkDIBImage& src, bool useFMO, uint32_t maskRGB);
// Colour reductions.
TQkDIBImage ConvertTrueColorTo8BitRGBLow(const TQkDIBImage& src, bool useFMO, const TQkProgressStep& step);
TQkDIBImage ConvertTrueColorTo4BitRGBLow(const TQkDIBImage& src, bool useFMO, const TQkProgressStep& step);
TQkDIBImage ConvertTrueColorTo8BitRGBHigh(const TQkDIBImage& src, bool useFMO, const TQkProgressStep& step);
TQkDIBImage ConvertTrueColorTo4BitRGBHigh(const TQkDIBImage& src, bool useFMO, const TQkProgressStep& step);
TQkDIBImage Convert8BitRGBTo4BitRGB(const TQkDIBImage& src, bool useFMO, const TQkProgressStep& step);
// Error-diffusion halftoning to the 215-colour palette or to black and white.
TQkDIBImage ConvertToHalfTone(const TQkDIBImage& src, bool useFMO);
TQkDIBImage ConvertToHalfToneBW(const TQkDIBImage& src, bool useFMO);
// Run-length packing and unpacking.
TQkDIBImage Convert8BitRLETo8BitRGB(const TQkDIBImage& src, bool useFMO);
TQkDIBImage Convert4BitRLETo4BitRGB(const TQkDIBImage& src, bool useFMO);
TQkDIBImage Convert8BitRGBTo8BitRLE(const TQkDIBImage& src, bool useFMO);
TQkDIBImage Convert4BitRGBTo4BitRLE(const TQkDIBImage& src, bool useFMO);

// The shared palettes' colours: the 215-entry halftone cube with its five
// fixed colours, and black and white.
const std::array<TQkRGBQuad, 215>& HalftoneColors();

}  // namespace qv
