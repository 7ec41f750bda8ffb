// Random and damaged bitmap files, clipboard blocks and packed pixel data,
// run under AddressSanitizer and UndefinedBehaviorSanitizer: whatever the
// bytes, the library either refuses them with an exception or takes them,
// and everything it then does with the image stays inside its buffers.
// QV_IMAGE_FUZZ_ITERATIONS sets the number of trials (a short run by default).
#include "BmpBuilder.h"
#include "image/QkJPEG.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

using namespace qv;
using namespace qvtest;

namespace {

int Iterations() {
  const char* v = std::getenv("QV_IMAGE_FUZZ_ITERATIONS");
  return v && *v ? std::max(1, std::atoi(v)) : 1500;
}

Grid Pattern(int w, int h, uint32_t mod, std::mt19937& rng) {
  Grid g(static_cast<size_t>(h), std::vector<uint32_t>(static_cast<size_t>(w)));
  for (auto& row : g)
    for (auto& v : row) v = rng() % mod;
  return g;
}

// Valid files of every kind the reader accepts, to be damaged.
std::vector<std::string> Seeds() {
  std::mt19937 rng(1);
  std::vector<std::string> seeds;
  for (uint16_t bits : {1, 4, 8, 16, 24, 32}) {
    for (int core = 0; core < 2; ++core) {
      if (core && (bits == 16 || bits == 32)) continue;
      Bmp b;
      b.headerSize = core ? 12 : 40;
      b.bitCount = bits;
      b.width = 5 + int(rng() % 7);
      b.height = (rng() % 2 ? -1 : 1) * (3 + int(rng() % 5));
      if (core) b.height = std::abs(b.height);
      const uint32_t colors = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
      for (uint32_t i = 0; i < colors; ++i) b.colors.push_back(rng() & 0xFFFFFF);
      if (bits == 16 && !core && rng() % 2) {
        b.compression = kBiBitFields;
        b.masks = {0xF800, 0x07E0, 0x001F};
      }
      b.pixels = PackRows(bits, Pattern(b.width, std::abs(b.height), bits >= 16 ? 0xFFFFFFFF : colors, rng));
      seeds.push_back(b.Build());
    }
  }
  // Packed files, made by the library itself.
  for (int bits : {4, 8}) {
    Bmp b;
    b.bitCount = uint16_t(bits);
    b.width = 40;
    b.height = 6;
    for (int i = 0; i < (1 << bits); ++i) b.colors.push_back(uint32_t(i) * 0x010101);
    Grid g(6, std::vector<uint32_t>(40, 1));
    for (int x = 10; x < 20; ++x) g[2][size_t(x)] = uint32_t(x % (1 << bits));
    b.pixels = PackRows(bits, g);
    TQkDIB dib = LoadDIB(b.Build());
    dib.SetPixelFormat(bits == 4 ? qkpf4BitRLE : qkpf8BitRLE);
    seeds.push_back(SaveDIB(dib));
  }
  return seeds;
}

std::string Damage(std::string s, std::mt19937& rng) {
  switch (rng() % 6) {
    case 0:  // truncate
      s.resize(rng() % (s.size() + 1));
      break;
    case 1:  // flip bytes anywhere
      for (int n = 1 + int(rng() % 8); n > 0 && !s.empty(); --n) s[rng() % s.size()] = char(rng());
      break;
    case 2:  // flip header fields, where the sizes live
      for (int n = 1 + int(rng() % 4); n > 0 && s.size() > 54; --n) s[rng() % 54] = char(rng());
      break;
    case 3: {  // a header field set to an extreme value
      static const uint32_t extremes[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFF, 0x10000, 3, 12, 40};
      if (s.size() >= 54) {
        const size_t at = 2 + 4 * (rng() % 13);
        const uint32_t v = extremes[rng() % std::size(extremes)];
        for (int i = 0; i < 4 && at + size_t(i) < 54; ++i) s[at + size_t(i)] = char(v >> (8 * i));
      }
      break;
    }
    case 4:  // random tail
      s.append(rng() % 64, char(rng()));
      break;
    default: {  // random bytes behind a plausible header
      std::string noise(rng() % 200, '\0');
      for (char& c : noise) c = char(rng());
      s = s.substr(0, std::min<size_t>(s.size(), 14 + rng() % 60)) + noise;
    }
  }
  return s;
}

// Everything a caller may do with a loaded image.
void Exercise(TQkDIB& dib, std::mt19937& rng) {
  TQkPixelFormat format;
  try {
    format = dib.GetPixelFormat();
  } catch (const EQkDIBInvalidDIB&) {
    EXPECT_THROW(dib.ToQImage(), EQkDIBInvalidDIB);
    SaveDIB(dib);
    return;
  }
  (void)format;
  SaveDIB(dib);
  uint16_t cf;
  std::vector<uint8_t> block;
  TQkPalette pal;
  dib.SaveToClipboardFormat(cf, block, pal);
  TQkDIB again;
  again.LoadFromClipboardFormat(cf, block, nullptr);
  // Packed data may describe a huge picture in a few bytes; unpacking such
  // pictures proves nothing more than unpacking small ones, so skip them.
  if (int64_t(dib.GetWidth()) * dib.GetHeight() > 1 << 16) return;
  try {
    dib.ToQImage();
  } catch (const EQkDIBError&) {
  }
  static const TQkPixelFormat targets[] = {qkpf1Bit,    qkpf4Bit,  qkpf4BitRLE,  qkpf8Bit,
                                           qkpf8BitRLE, qkpf24Bit, qkpfHalftone, qkpfHalftoneBW};
  for (int n = 0; n < 3; ++n) {
    TQkDIB copy(dib);
    copy.SetConvertMode(uint8_t(rng() % 2));
    try {
      copy.SetPixelFormat(targets[rng() % std::size(targets)]);
      copy.SetPixelFormat(targets[rng() % std::size(targets)]);
      SaveDIB(copy);
    } catch (const EQkDIBError&) {
    }
  }
  if (rng() % 8 == 0) {
    QImage target(12, 9, QImage::Format_RGB32);
    QPainter p(&target);
    dib.SetHalftoneMode(uint8_t(rng() % 3));
    try {
      dib.Draw(p, QRect(0, 0, 12, 9));
    } catch (const EQkDIBError&) {
    }
  }
}

TEST(ImageFuzz, DamagedFiles) {
  const std::vector<std::string> seeds = Seeds();
  std::mt19937 rng(12345);
  int loaded = 0;
  for (int i = 0; i < Iterations(); ++i) {
    std::string bytes = seeds[rng() % seeds.size()];
    for (int n = 1 + int(rng() % 3); n > 0; --n) bytes = Damage(bytes, rng);
    TQkDIB dib;
    try {
      std::istringstream in(bytes, std::ios::binary);
      dib.LoadFromStream(in);
      ++loaded;
    } catch (const EQkException&) {
      EXPECT_EQ(dib.GetWidth(), 1);  // the previous image stays
      continue;
    }
    Exercise(dib, rng);
  }
  EXPECT_GT(loaded, 0);
}

TEST(ImageFuzz, DamagedClipboardBlocks) {
  const std::vector<std::string> seeds = Seeds();
  std::mt19937 rng(777);
  for (int i = 0; i < Iterations(); ++i) {
    std::string bytes = Damage(seeds[rng() % seeds.size()], rng);
    if (bytes.size() < 14) continue;
    std::vector<uint8_t> block(bytes.begin() + 14, bytes.end());
    TQkDIB dib;
    try {
      dib.LoadFromClipboardFormat(kClipboardFormatDIB, block, nullptr);
    } catch (const EQkException&) {
      continue;
    }
    Exercise(dib, rng);
  }
}

TEST(ImageFuzz, DamagedJpegPictures) {
  std::mt19937 rng(4242);
  std::vector<std::string> seeds;
  for (uint16_t bits : {8, 24}) {
    Bmp b;
    b.bitCount = bits;
    b.width = 13;
    b.height = 9;
    for (int i = 0; bits == 8 && i < 256; ++i) b.colors.push_back(rng() & 0xFFFFFF);
    b.pixels = PackRows(bits, Pattern(13, 9, bits == 8 ? 256 : 0xFFFFFF, rng));
    std::ostringstream out(std::ios::binary);
    SaveJPEGToStream(LoadDIB(b.Build()), out, 50 + int(bits));
    seeds.push_back(out.str());
  }
  int loaded = 0;
  for (int i = 0; i < Iterations() / 3; ++i) {
    std::string bytes = seeds[rng() % seeds.size()];
    switch (rng() % 3) {
      case 0: bytes.resize(rng() % (bytes.size() + 1)); break;
      case 1:
        for (int n = 1 + int(rng() % 6); n > 0 && !bytes.empty(); --n) bytes[rng() % bytes.size()] = char(rng());
        break;
      default:  // the frame header, where the sizes live
        for (int n = 1 + int(rng() % 3); n > 0 && bytes.size() > 200; --n) bytes[150 + rng() % 50] = char(rng());
    }
    // A part at a scale, as the picture windows decode a photo.
    try {
      const TJPEGPart part{int32_t(rng() % 40), int32_t(rng() % 40), 1 + int32_t(rng() % 40), 1 + int32_t(rng() % 40)};
      const QImage piece = LoadJPEGImage(bytes, 1 + int(rng() % 8), part, 1 << 24);
      EXPECT_FALSE(piece.isNull());
      EXPECT_LE(piece.width(), part.Width);
      EXPECT_LE(piece.height(), part.Height);
    } catch (const EQkException&) {
    }
    TQkDIB dib;
    std::istringstream in(bytes, std::ios::binary);
    try {
      LoadJPEGFromStream(in, dib);
      ++loaded;
    } catch (const EQkException&) {
      EXPECT_EQ(dib.GetWidth(), 1);
      continue;
    }
    if (int64_t(dib.GetWidth()) * dib.GetHeight() <= 1 << 16) Exercise(dib, rng);
  }
  EXPECT_GT(loaded, 0);
}

TEST(ImageFuzz, RandomPackedData) {
  std::mt19937 rng(99);
  for (int i = 0; i < Iterations() * 4; ++i) {
    const bool eight = rng() % 2;
    TQkDIBImage img;
    img.Header.biWidth = 1 + int32_t(rng() % 40);
    img.Header.biHeight = (rng() % 2 ? -1 : 1) * (1 + int32_t(rng() % 20));
    img.Header.biBitCount = eight ? 8 : 4;
    img.Header.biCompression = eight ? kBiRle8 : kBiRle4;
    // Mostly valid-looking escapes, so the reader gets deep into the data.
    std::vector<uint8_t> data(rng() % 120);
    for (uint8_t& b : data) b = rng() % 3 ? uint8_t(rng() % 8) : uint8_t(rng());
    img.BitsSize = uint32_t(data.size());
    img.Memory = TQkPixelMemory::GetMemory(data.size(), rng() % 2);
    if (!data.empty()) std::memcpy(img.Bits(), data.data(), data.size());
    try {
      TQkDIBImage out = eight ? Convert8BitRLETo8BitRGB(img, false) : Convert4BitRLETo4BitRGB(img, false);
      TQkDIBImage packed = eight ? Convert8BitRGBTo8BitRLE(out, false) : Convert4BitRGBTo4BitRLE(out, false);
      TQkDIBImage back = eight ? Convert8BitRLETo8BitRGB(packed, false) : Convert4BitRLETo4BitRGB(packed, false);
      // Packing is lossless: the picture unpacks the same (bottom-up now).
      for (int32_t y = 0; y < out.Rows(); ++y) {
        const int32_t from = out.TopDown() ? out.Rows() - 1 - y : y;
        const int64_t bytes = eight ? out.Width() : (out.Width() / 2);
        ASSERT_EQ(std::memcmp(back.Row(y), out.Row(from), size_t(bytes)), 0);
        if (!eight && out.Width() % 2) {
          ASSERT_EQ(back.Row(y)[bytes] >> 4, out.Row(from)[bytes] >> 4);
        }
      }
    } catch (const EQkDIBError&) {
    }
  }
}

}  // namespace
