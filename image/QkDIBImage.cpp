#include "image/QkDIBImage.h"

#include "image/QkDIBError.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <utility>

namespace qv {

TQkPixelMemory::TQkPixelMemory(TQkPixelMemory&& other) noexcept
    : bits_(std::exchange(other.bits_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      reserved_(std::exchange(other.reserved_, 0)),
      mapped_(std::exchange(other.mapped_, false)) {}

TQkPixelMemory& TQkPixelMemory::operator=(TQkPixelMemory&& other) noexcept {
  if (this != &other) {
    ReleaseMemory();
    bits_ = std::exchange(other.bits_, nullptr);
    size_ = std::exchange(other.size_, 0);
    reserved_ = std::exchange(other.reserved_, 0);
    mapped_ = std::exchange(other.mapped_, false);
  }
  return *this;
}

TQkPixelMemory TQkPixelMemory::GetMemory(size_t size, bool useFMO) {
  TQkPixelMemory m;
  // An empty block (packed data of nothing) still gets a valid address.
  const size_t reserve = size == 0 ? 1 : size;
  if (useFMO) {
    void* p = ::mmap(nullptr, reserve, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw EOutOfResources("GetMemory: Cannot Make File Mapping Object");
    m.bits_ = static_cast<uint8_t*>(p);
    m.mapped_ = true;
  } else {
    void* p = std::calloc(reserve, 1);
    if (!p) throw EOutOfMemory("GetMemory: Out Of Memory");
    m.bits_ = static_cast<uint8_t*>(p);
  }
  m.size_ = size;
  m.reserved_ = reserve;
  return m;
}

void TQkPixelMemory::ReleaseMemory() noexcept {
  if (!bits_) return;
  if (mapped_)
    ::munmap(bits_, reserved_);
  else
    std::free(bits_);
  bits_ = nullptr;
  size_ = reserved_ = 0;
  mapped_ = false;
}

int64_t DIBRowBytes(int64_t width, int64_t bitCount) { return (width * bitCount + 31) / 32 * 4; }

int64_t DIBImageBytes(int64_t width, int64_t rows, int64_t bitCount) {
  if (width <= 0 || rows <= 0 || width > kMaxBitsSize || rows > kMaxBitsSize) return -1;
  const int64_t row = DIBRowBytes(width, bitCount);
  if (row > kMaxBitsSize / rows) return -1;
  return row * rows;
}

int32_t TQkDIBImage::Rows() const {
  const int64_t h = Header.biHeight;
  return static_cast<int32_t>(h < 0 ? -h : h);
}

int64_t TQkDIBImage::RowBytes() const { return DIBRowBytes(Header.biWidth, Header.biBitCount); }

uint8_t* TQkDIBImage::Row(int32_t y) const { return Bits() + RowBytes() * y; }

TQkDIBImage TQkDIBImage::Clone(bool useFMO) const {
  TQkDIBImage copy;
  copy.Header = Header;
  copy.ColorTable = ColorTable;
  copy.BitsSize = BitsSize;
  copy.Memory = TQkPixelMemory::GetMemory(BitsSize, useFMO);
  if (BitsSize) std::memcpy(copy.Bits(), Bits(), BitsSize);
  return copy;
}

TQkDIBImage CreateDIBImage(int32_t width, int32_t height, int32_t clrUsed, int bitCount, bool useFMO) {
  const bool depthOk = bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24;
  const int64_t size = DIBImageBytes(width, height < 0 ? -int64_t(height) : int64_t(height), bitCount);
  if (width <= 0 || height == 0 || clrUsed < 0 || clrUsed > 256 || !depthOk || size < 0)
    throw EQkDIBInvalidDIBPara("TQkInternalDIB.CreateDIB: Invalid Parameters");
  TQkDIBImage image;
  image.BitsSize = static_cast<uint32_t>(size);
  image.Memory = TQkPixelMemory::GetMemory(image.BitsSize, useFMO);
  TQkBitmapInfoHeader& h = image.Header;
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(bitCount);
  h.biCompression = kBiRgb;
  h.biSizeImage = 0;
  h.biXPelsPerMeter = kDefaultPelsPerMeter;
  h.biYPelsPerMeter = kDefaultPelsPerMeter;
  h.biClrUsed = static_cast<uint32_t>(clrUsed);
  h.biClrImportant = 0;
  return image;
}

TQkDIBImage NewImageLike(const TQkDIBImage& src, int bitCount, bool useFMO) {
  const int64_t size = DIBImageBytes(src.Width(), src.Rows(), bitCount);
  if (size < 0) throw EQkDIBInvalidDIBPara("TQkInternalDIB.CreateDIB: Invalid Parameters");
  TQkDIBImage out;
  out.Header = src.Header;
  out.Header.biBitCount = static_cast<uint16_t>(bitCount);
  out.Header.biCompression = kBiRgb;
  out.Header.biSizeImage = 0;
  out.ColorTable = src.ColorTable;
  out.BitsSize = static_cast<uint32_t>(size);
  out.Memory = TQkPixelMemory::GetMemory(out.BitsSize, useFMO);
  return out;
}

const std::array<TQkRGBQuad, 215>& HalftoneColors() {
  static const std::array<TQkRGBQuad, 215> colors = [] {
    static constexpr uint8_t kRed[6] = {0, 51, 102, 153, 204, 255};
    static constexpr uint8_t kGreen[7] = {0, 43, 85, 128, 171, 214, 255};
    static constexpr uint8_t kBlue[5] = {0, 64, 128, 192, 255};
    std::array<TQkRGBQuad, 215> c{};
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 7; ++g)
        for (int b = 0; b < 5; ++b) c[r * 35 + g * 5 + b] = {kBlue[b], kGreen[g], kRed[r], 0};
    c[210] = {0, 0, 128, 0};
    c[211] = {0, 128, 128, 0};
    c[212] = {128, 0, 128, 0};
    c[213] = {192, 192, 192, 0};
    c[214] = {128, 128, 128, 0};
    return c;
  }();
  return colors;
}

}  // namespace qv
