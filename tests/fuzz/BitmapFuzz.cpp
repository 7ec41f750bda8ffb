// Bitmap files and clipboard blocks, packed (RLE) or not: the library
// refuses them with its exception or takes them, and a taken picture is
// written, packed and unpacked again as the same picture.
#include "FuzzSupport.h"
#include "image/QkDIB.h"
#include "image/QkDIBError.h"

#include <sstream>

using namespace qv;

namespace {

bool Load(TQkDIB& dib, std::string_view bytes) {
  try {
    std::istringstream in{std::string(bytes)};
    dib.LoadFromStream(in);
    return true;
  } catch (const EQkDIBError&) {
    return false;
  } catch (const EReadError&) {  // a file shorter than its header says
    return false;
  } catch (const EInvalidGraphic&) {
    return false;
  }
}

std::string Save(const TQkDIB& dib) {
  std::ostringstream out;
  dib.SaveToStream(out);
  return out.str();
}

// The pixels of two pictures of one depth, row by row from the bottom, without
// the row padding and the unused low bits of a row's last byte: a file may
// carry anything there and unpacking writes zeros.
bool SamePixels(const TQkDIB& a, const TQkDIB& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() || a.GetBitCount() != b.GetBitCount())
    return false;
  const int64_t width = a.GetWidth(), height = a.GetHeight(), bits = a.GetBitCount();
  const int64_t stride = (width * bits + 31) / 32 * 4;
  const int64_t fullBytes = width * bits / 8;
  const int tailBits = static_cast<int>(width * bits % 8);
  auto row = [&](const TQkDIB& d, int64_t y) {
    const bool topDown = d.Header().biHeight < 0;
    return d.Bits() + (topDown ? height - 1 - y : y) * stride;
  };
  if (a.BitsSize() < height * stride || b.BitsSize() < height * stride) return false;
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t* ra = row(a, y);
    const uint8_t* rb = row(b, y);
    if (!std::equal(ra, ra + fullBytes, rb)) return false;
    const auto mask = static_cast<uint8_t>(0xFF << (8 - tailBits));
    if (tailBits && (ra[fullBytes] & mask) != (rb[fullBytes] & mask)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qvfuzz::Input input(data, size);
  const uint8_t how = input.Byte();
  const std::string_view bytes = input.Rest();
  TQkDIB dib;
  if (how & 1) {
    try {
      const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
      dib.LoadFromClipboardFormat(kClipboardFormatDIB, std::span<const uint8_t>(p, bytes.size()),
                                  TQkPalette{});
    } catch (const EQkDIBError&) {
      return 0;
    } catch (const EInvalidGraphic&) {  // no data
      return 0;
    }
  } else if (!Load(dib, bytes)) {
    return 0;
  }
  // Very large pictures are left to the libraries' own limits tests.
  if (int64_t{dib.GetWidth()} * dib.GetHeight() > 4'000'000) return 0;
  const std::string saved = Save(dib);
  TQkDIB again;
  QV_FUZZ_ROUND_TRIP(Load(again, saved));
  QV_FUZZ_ROUND_TRIP(again.GetWidth() == dib.GetWidth() && again.GetHeight() == dib.GetHeight());
  QV_FUZZ_ROUND_TRIP(again.GetBitCount() == dib.GetBitCount());
  try {
    // Packing an indexed picture and unpacking it gives its pixels back.
    const int bits = dib.GetBitCount();
    if (bits == 4 || bits == 8) {
      TQkDIB packed = again;
      packed.SetPixelFormat(bits == 4 ? qkpf4BitRLE : qkpf8BitRLE);
      const std::string packedFile = Save(packed);
      TQkDIB unpacked;
      QV_FUZZ_ROUND_TRIP(Load(unpacked, packedFile));
      unpacked.SetPixelFormat(bits == 4 ? qkpf4Bit : qkpf8Bit);
      TQkDIB plain = again;
      plain.SetPixelFormat(bits == 4 ? qkpf4Bit : qkpf8Bit);
      QV_FUZZ_ROUND_TRIP(SamePixels(unpacked, plain));
    }
    if (how & 2) again.SetPixelFormat(qkpf24Bit);
    if (how & 4) again.SetPixelFormat(qkpfHalftone);
  } catch (const EQkDIBError&) {
  }
  return 0;
}
