// JPEG files through the image library's reader: refused with its exception
// or taken as a picture of at most the pixels allowed.
#include "FuzzSupport.h"
#include "image/QkDIB.h"
#include "image/QkDIBError.h"
#include "image/QkJPEG.h"

#include <QImage>

#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr int64_t kMaxPixels = 4'000'000;
  qv::TQkDIB dib;
  try {
    std::istringstream in{std::string(reinterpret_cast<const char*>(data), size)};
    qv::LoadJPEGFromStream(in, dib, kMaxPixels);
  } catch (const std::exception&) {
    return 0;
  }
  QV_FUZZ_CHECK(int64_t{dib.GetWidth()} * dib.GetHeight() <= kMaxPixels);
  QV_FUZZ_CHECK(dib.BitsSize() > 0);
  // A part of it at a scale, as the picture windows decode a photo: the
  // part's pixels, at most.
  const int eighths = 1 + int(size % 8);
  const qv::TJPEGPart part{int32_t(size % 37), int32_t(size % 23), 1 + int32_t(size % 53), 1 + int32_t(size % 41)};
  try {
    const QImage piece = qv::LoadJPEGImage(std::string_view(reinterpret_cast<const char*>(data), size), eighths, part,
                                           kMaxPixels);
    QV_FUZZ_CHECK(!piece.isNull() && piece.width() <= part.Width && piece.height() <= part.Height);
  } catch (const std::exception&) {
  }
  return 0;
}
