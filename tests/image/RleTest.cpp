// BI_RLE8 and BI_RLE4: hand-made packed data, packing output and round trips.
#include "BmpBuilder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace qv;
using namespace qvtest;

namespace {

std::string Bytes(std::initializer_list<int> v) {
  std::string s;
  for (int b : v) s.push_back(char(b));
  return s;
}

TQkDIBImage Image(int bits, int w, int h, uint32_t compression, const std::string& bytes) {
  TQkDIBImage img;
  img.Header.biWidth = w;
  img.Header.biHeight = h;
  img.Header.biBitCount = uint16_t(bits);
  img.Header.biCompression = compression;
  img.Header.biClrUsed = bits == 4 ? 16 : 256;
  img.BitsSize = uint32_t(bytes.size());
  img.Memory = TQkPixelMemory::GetMemory(bytes.size(), false);
  std::memcpy(img.Bits(), bytes.data(), bytes.size());
  return img;
}

// Stored rows of an uncompressed image, as pixel values.
Grid StoredPixels(const TQkDIBImage& img) {
  Grid g;
  for (int y = 0; y < img.Rows(); ++y) {
    std::vector<uint32_t> row;
    for (int x = 0; x < img.Width(); ++x) {
      const uint8_t* r = img.Row(y);
      row.push_back(img.Header.biBitCount == 8 ? r[x] : (x % 2 ? r[x / 2] & 15 : r[x / 2] >> 4));
    }
    g.push_back(row);
  }
  return g;
}

std::string Packed(const TQkDIBImage& img) { return std::string(reinterpret_cast<const char*>(img.Bits()), img.BitsSize); }

struct UnpackCase {
  const char* name;
  int bits, width, height;
  std::string data;
  Grid stored;  // expected rows, first stored row first
};

std::vector<UnpackCase> UnpackCases() {
  return {
      {"runs_and_end_of_line", 8, 4, 2, Bytes({3, 5, 1, 7, 0, 0, 2, 9, 0, 1}), {{5, 5, 5, 7}, {9, 9, 0, 0}}},
      {"delta", 8, 4, 2, Bytes({1, 4, 0, 2, 1, 1, 2, 8, 0, 1}), {{4, 0, 0, 0}, {0, 0, 8, 8}}},
      {"absolute_odd_with_pad", 8, 4, 1, Bytes({0, 3, 10, 11, 12, 0, 1, 13, 0, 1}), {{10, 11, 12, 13}}},
      {"absolute_even", 8, 4, 1, Bytes({0, 4, 10, 11, 12, 13, 0, 1}), {{10, 11, 12, 13}}},
      {"stops_at_end_of_bitmap", 8, 4, 1, Bytes({2, 1, 0, 1, 4, 9}), {{1, 1, 0, 0}}},
      {"ends_between_pairs", 8, 4, 1, Bytes({2, 1}), {{1, 1, 0, 0}}},
      {"missing_last_pad", 8, 3, 1, Bytes({0, 3, 10, 11, 12}), {{10, 11, 12}}},
      {"delta_to_the_last_edge", 8, 2, 1, Bytes({0, 2, 2, 0, 0, 1}), {{0, 0}}},
      {"empty", 8, 2, 1, "", {{0, 0}}},
      {"rle4_run_alternates_nibbles", 4, 6, 1, Bytes({5, 0x12, 0, 1}), {{1, 2, 1, 2, 1, 0}}},
      {"rle4_absolute_three", 4, 4, 1, Bytes({0, 3, 0x34, 0x50, 1, 0x70, 0, 1}), {{3, 4, 5, 7}}},
      {"rle4_absolute_five_with_pad", 4, 6, 1, Bytes({0, 5, 0x12, 0x34, 0x50, 0, 1, 0x90, 0, 1}), {{1, 2, 3, 4, 5, 9}}},
      {"rle4_delta_and_end_of_line", 4, 4, 2, Bytes({0, 2, 1, 0, 2, 0xAB, 0, 0, 1, 0xC0, 0, 1}),
       {{0, 0xA, 0xB, 0}, {0xC, 0, 0, 0}}},
      {"rle4_odd_width_may_fill_the_pad_nibble", 4, 5, 1, Bytes({6, 0x12, 0, 1}), {{1, 2, 1, 2, 1}}},
  };
}

class Unpack : public ::testing::TestWithParam<UnpackCase> {};

TEST_P(Unpack, WritesThePixels) {
  const UnpackCase& c = GetParam();
  const TQkDIBImage src = Image(c.bits, c.width, c.height, c.bits == 8 ? kBiRle8 : kBiRle4, c.data);
  const TQkDIBImage out =
      c.bits == 8 ? Convert8BitRLETo8BitRGB(src, false) : Convert4BitRLETo4BitRGB(src, false);
  EXPECT_EQ(out.Header.biCompression, kBiRgb);
  EXPECT_EQ(out.Header.biSizeImage, 0u);
  EXPECT_EQ(out.BitsSize, uint32_t(out.RowBytes() * c.height));
  EXPECT_EQ(StoredPixels(out), c.stored);
}

INSTANTIATE_TEST_SUITE_P(Streams, Unpack, ::testing::ValuesIn(UnpackCases()),
                         [](const auto& info) { return std::string(info.param.name); });

struct BadRle {
  const char* name;
  int bits, width, height;
  std::string data;
  std::string message;
};

std::vector<BadRle> BadRles() {
  const std::string e8 = "Convert8BitRLETo8BitRGB: Bad RLE Data ";
  const std::string e4 = "Convert4BitRLETo4BitRGB: Bad RLE Data ";
  return {
      {"run_past_right_edge", 8, 4, 1, Bytes({5, 1}), e8 + "4"},
      {"run_after_last_row", 8, 4, 1, Bytes({0, 0, 1, 1}), e8 + "4"},
      {"end_of_line_past_last_row", 8, 4, 1, Bytes({0, 0, 0, 0}), e8 + "1"},
      {"delta_past_right_edge", 8, 4, 1, Bytes({0, 2, 5, 0}), e8 + "2"},
      {"delta_past_last_row", 8, 4, 1, Bytes({0, 2, 0, 2}), e8 + "2"},
      {"absolute_past_right_edge", 8, 4, 1, Bytes({2, 0, 0, 3, 1, 2, 3, 0}), e8 + "3"},
      {"absolute_after_last_row", 8, 4, 1, Bytes({0, 0, 0, 3, 1, 2, 3, 0}), e8 + "3"},
      {"absolute_cut", 8, 8, 1, Bytes({0, 5, 1, 2}), e8 + "(Truncated)"},
      {"delta_cut", 8, 4, 1, Bytes({0, 2, 1}), e8 + "(Truncated)"},
      {"pair_cut", 8, 4, 1, Bytes({1, 5, 3}), e8 + "(Truncated)"},
      {"rle4_end_of_line_past_last_row", 4, 4, 1, Bytes({0, 0, 0, 0}), e4 + "5"},
      {"rle4_delta_out", 4, 4, 1, Bytes({0, 2, 5, 0}), e4 + "6"},
      {"rle4_absolute_out", 4, 4, 1, Bytes({0, 5, 0x11, 0x11, 0x10, 0}), e4 + "7"},
      {"rle4_run_out", 4, 5, 1, Bytes({7, 0x11}), e4 + "8"},
      {"rle4_absolute_cut", 4, 8, 1, Bytes({0, 7, 0x12}), e4 + "(Truncated)"},
  };
}

class RefuseRle : public ::testing::TestWithParam<BadRle> {};

TEST_P(RefuseRle, RaisesBeforeWriting) {
  const BadRle& c = GetParam();
  const TQkDIBImage src = Image(c.bits, c.width, c.height, c.bits == 8 ? kBiRle8 : kBiRle4, c.data);
  const std::string message = MessageOf<EQkDIBInvalidDIB>([&] {
    c.bits == 8 ? Convert8BitRLETo8BitRGB(src, false) : Convert4BitRLETo4BitRGB(src, false);
  });
  EXPECT_EQ(message, c.message);
}

INSTANTIATE_TEST_SUITE_P(Streams, RefuseRle, ::testing::ValuesIn(BadRles()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Rle, UnpackersRefuseOtherFormats) {
  const TQkDIBImage plain8 = Image(8, 1, 1, kBiRgb, std::string(4, '\0'));
  const TQkDIBImage rle8as4 = Image(4, 1, 1, kBiRle8, std::string(4, '\0'));
  EXPECT_EQ(MessageOf<EQkDIBBadDIBType>([&] { Convert8BitRLETo8BitRGB(plain8, false); }),
            "Convert8BitRLETo8BitRGB: Invalid Bitcount & Compression Combination");
  EXPECT_EQ(MessageOf<EQkDIBBadDIBType>([&] { Convert4BitRLETo4BitRGB(rle8as4, false); }),
            "Convert4BitRLETo4BitRGB: Invalid Bitcount & Compression Combination");
  EXPECT_EQ(MessageOf<EQkDIBBadDIBType>([&] { Convert8BitRGBTo8BitRLE(rle8as4, false); }),
            "Convert8BitRGBTo8BitRLE: Invalid Bitcount & Compression Combination");
  EXPECT_EQ(MessageOf<EQkDIBBadDIBType>([&] { Convert4BitRGBTo4BitRLE(plain8, false); }),
            "Convert4BitRGBTo4BitRLE: Invalid Bitcount & Compression Combination");
}

struct PackCase {
  const char* name;
  int bits, width;
  Grid stored;  // rows as stored, bottom row first
  std::string packed;
};

std::vector<PackCase> PackCases() {
  const std::vector<uint32_t> zeros7(7, 0);
  std::vector<uint32_t> same300(300, 4);
  std::vector<uint32_t> rising300;
  for (uint32_t i = 0; i < 300; ++i) rising300.push_back(i % 250);  // no two equal neighbours
  std::string rising;
  rising += Bytes({0, 255});
  for (int i = 0; i < 255; ++i) rising.push_back(char(rising300[size_t(i)]));
  rising += Bytes({0, 0, 45});
  for (int i = 255; i < 300; ++i) rising.push_back(char(rising300[size_t(i)]));
  rising += Bytes({0, 0, 0});
  return {
      // The pairs of the example row, then three rows of zeros for room.
      {"example_row", 8, 7, {{5, 5, 5, 7, 8, 9, 9}, zeros7, zeros7, zeros7},
       Bytes({3, 5, 1, 7, 1, 8, 2, 9, 0, 0, 7, 0, 0, 0, 7, 0, 0, 0, 7, 0, 0, 0, 0, 1})},
      {"long_run_splits_at_255", 8, 300, {same300}, Bytes({255, 4, 45, 4, 0, 0, 0, 1})},
      {"literal_splits_at_255", 8, 300, {rising300, std::vector<uint32_t>(300, 0)},
       rising + Bytes({255, 0, 45, 0, 0, 0, 0, 1})},
      {"literal_then_run", 8, 8, {{1, 2, 3, 4, 4, 4, 4, 4}, {0, 0, 0, 0, 0, 0, 0, 0}},
       Bytes({0, 3, 1, 2, 3, 0, 5, 4, 0, 0, 8, 0, 0, 0, 0, 1})},
      // 4-bit rows of eight pixels or fewer never pack smaller, so the
      // cases use wider rows.
      {"rle4_odd_width_ends_on_a_run_of_one_pixel", 4, 13,
       {{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 5}, std::vector<uint32_t>(13, 0)},
       Bytes({12, 0x11, 1, 0x50, 0, 0, 13, 0, 0, 0, 0, 1})},
      {"rle4_literal", 4, 14,
       {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}, std::vector<uint32_t>(14, 0), std::vector<uint32_t>(14, 0)},
       Bytes({0, 14, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0, 0, 0, 14, 0, 0, 0, 14, 0, 0, 0, 0, 1})},
      {"rle4_literal_cut_to_odd_width", 4, 13,
       {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}, std::vector<uint32_t>(13, 0), std::vector<uint32_t>(13, 0)},
       Bytes({0, 13, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xD0, 0, 0, 0, 13, 0, 0, 0, 13, 0, 0, 0, 0, 1})},
      {"rle4_literal_of_one_byte_is_a_run", 4, 14,
       {{1, 2, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}, std::vector<uint32_t>(14, 0)},
       Bytes({2, 0x12, 12, 0x33, 0, 0, 14, 0, 0, 0, 0, 1})},
      {"rle4_long_run_splits_at_127_bytes", 4, 300, {std::vector<uint32_t>(300, 7)},
       Bytes({254, 0x77, 46, 0x77, 0, 0, 0, 1})},
  };
}

TQkDIBImage Plain(int bits, int width, const Grid& stored, bool topDown = false) {
  std::string bytes = PackRows(bits, stored);
  const int h = int(stored.size());
  return Image(bits, width, topDown ? -h : h, kBiRgb, bytes);
}

class Pack : public ::testing::TestWithParam<PackCase> {};

TEST_P(Pack, WritesThePairs) {
  const PackCase& c = GetParam();
  const TQkDIBImage src = Plain(c.bits, c.width, c.stored);
  const TQkDIBImage out = c.bits == 8 ? Convert8BitRGBTo8BitRLE(src, false) : Convert4BitRGBTo4BitRLE(src, false);
  EXPECT_EQ(Packed(out), c.packed);
  EXPECT_EQ(out.BitsSize, c.packed.size());
  EXPECT_EQ(out.Header.biSizeImage, c.packed.size());
  EXPECT_EQ(out.Header.biCompression, c.bits == 8 ? kBiRle8 : kBiRle4);
  const TQkDIBImage back = c.bits == 8 ? Convert8BitRLETo8BitRGB(out, false) : Convert4BitRLETo4BitRGB(out, false);
  EXPECT_EQ(StoredPixels(back), c.stored);
}

INSTANTIATE_TEST_SUITE_P(Rows, Pack, ::testing::ValuesIn(PackCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Rle, RoundTripsPicturesOfEveryWidth) {
  std::mt19937 rng(7);
  for (int bits : {4, 8}) {
    for (int width = 1; width <= 48; ++width) {
      for (bool topDown : {false, true}) {
        SCOPED_TRACE(std::to_string(bits) + " bits, width " + std::to_string(width) + (topDown ? " top-down" : ""));
        // Runs of random length and value, so the picture packs smaller; the
        // picture is tall enough that even one-pixel rows have room.
        Grid stored;
        const int rows = width < 4 ? 40 : 12;
        for (int y = 0; y < rows; ++y) {
          std::vector<uint32_t> row;
          while (int(row.size()) < width) {
            const uint32_t v = rng() % (bits == 4 ? 16 : 256);
            for (int n = 1 + int(rng() % 9); n > 0 && int(row.size()) < width; --n) row.push_back(v);
          }
          if (y % 3 == 0) row.assign(size_t(width), 0);
          stored.push_back(row);
        }
        const TQkDIBImage src = Plain(bits, width, stored, topDown);
        TQkDIBImage packed;
        try {
          packed = bits == 8 ? Convert8BitRGBTo8BitRLE(src, false) : Convert4BitRGBTo4BitRLE(src, false);
        } catch (const EQkDIBCompressionFailed&) {
          // Narrow rows cannot gain from packing; wider ones must pack.
          EXPECT_LT(width, bits == 4 ? 24 : 16);
          continue;
        }
        EXPECT_EQ(packed.Header.biHeight, rows);
        const TQkDIBImage back = bits == 8 ? Convert8BitRLETo8BitRGB(packed, false) : Convert4BitRLETo4BitRGB(packed, false);
        Grid expected = stored;
        if (topDown) std::reverse(expected.begin(), expected.end());  // packed images are bottom-up
        EXPECT_EQ(StoredPixels(back), expected);
      }
    }
  }
}

TEST(Rle, NoisyPicturesThatGrowAreRefused) {
  Grid noise8, noise4;
  for (int y = 0; y < 4; ++y) {
    std::vector<uint32_t> row8, row4;
    for (int x = 0; x < 16; ++x) {
      row8.push_back((x + y) % 2 ? 10 : 20);
      row4.push_back(uint32_t(x));
    }
    noise8.push_back(row8);
    noise4.push_back(row4);
  }
  EXPECT_EQ(MessageOf<EQkDIBCompressionFailed>([&] { Convert8BitRGBTo8BitRLE(Plain(8, 16, noise8), false); }),
            "Convert8BitRGBTo8BitRLE: Compression Failed");
  EXPECT_EQ(MessageOf<EQkDIBCompressionFailed>([&] { Convert4BitRGBTo4BitRLE(Plain(4, 16, noise4), false); }),
            "Convert4BitRGBTo4BitRLE: Compression Failed");
  // Rows of four bytes never pack: a row costs at least a pair and an end of line.
  EXPECT_THROW(Convert8BitRGBTo8BitRLE(Plain(8, 4, Grid(10, std::vector<uint32_t>(4, 0))), false), EQkDIBCompressionFailed);
}

TEST(Rle, PixelFormatPacksAndUnpacksTheDIB) {
  const std::vector<uint32_t> ones(32, 1), twos(32, 2), zeros(32, 0);
  std::vector<uint32_t> half = ones;
  std::fill(half.begin() + 16, half.end(), 2);
  Bmp b;
  b.bitCount = 8;
  b.width = 32;
  b.height = 4;
  b.colors = {0x000000, 0xFF0000, 0x00FF00};
  b.clrUsed = 3;
  b.pixels = PackRows(8, {half, zeros, twos, ones});
  TQkDIB dib = LoadDIB(b.Build());
  const Grid colors = PixelColors(dib);
  dib.SetPixelFormat(qkpf8BitRLE);
  EXPECT_EQ(dib.GetPixelFormat(), qkpf8BitRLE);
  EXPECT_EQ(dib.BitsSize(), 20u);
  EXPECT_EQ(dib.Header().biSizeImage, 20u);
  EXPECT_EQ(dib.Header().biClrUsed, 3u);
  dib.SetPixelFormat(qkpf4BitRLE);
  EXPECT_EQ(dib.GetPixelFormat(), qkpf4BitRLE);
  dib.SetPixelFormat(qkpf24Bit);
  EXPECT_EQ(PixelColors(dib), colors);

  // A picture that does not pack keeps its image.
  Grid noisy;
  for (int y = 0; y < 4; ++y) {
    std::vector<uint32_t> row;
    for (int x = 0; x < 32; ++x) row.push_back(uint32_t((x + y) % 3));
    noisy.push_back(row);
  }
  b.pixels = PackRows(8, noisy);
  TQkDIB kept = LoadDIB(b.Build());
  const Grid before = PixelValues(kept);
  EXPECT_THROW(kept.SetPixelFormat(qkpf8BitRLE), EQkDIBCompressionFailed);
  EXPECT_EQ(kept.GetPixelFormat(), qkpf8Bit);
  EXPECT_EQ(PixelValues(kept), before);
}

TEST(Rle, BadPackedDataInAFileIsRefusedWhenUnpacked) {
  TQkDIB dib = LoadDIB(PackedFile(8, 2, 1, {0x000000, 0xFFFFFF}, Bytes({3, 1, 0, 1})).Build());
  EXPECT_EQ(MessageOf<EQkDIBInvalidDIB>([&] { dib.SetPixelFormat(qkpf24Bit); }),
            "Convert8BitRLETo8BitRGB: Bad RLE Data 4");
  EXPECT_EQ(dib.GetPixelFormat(), qkpf8BitRLE);
}

}  // namespace
