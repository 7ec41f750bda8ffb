// Reading and writing bitmap files, streams and clipboard blocks.
#include "BmpBuilder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qvtest;

namespace {

struct ReadCase {
  const char* name;
  Bmp file;
  Grid colors;  // expected 0xRRGGBB, top row first
  int bitCount;
  TQkPixelFormat format;
  uint32_t clrUsed;
  bool topDown;
};

Bmp Indexed(uint16_t bits, int w, int h, std::vector<uint32_t> colors, const Grid& storedRows, uint32_t clrUsed = 0) {
  Bmp b;
  b.bitCount = bits;
  b.width = w;
  b.height = h;
  b.colors = std::move(colors);
  b.clrUsed = clrUsed;
  b.pixels = PackRows(bits, storedRows);
  return b;
}

Bmp Core(Bmp b) {
  b.headerSize = 12;
  return b;
}

Bmp High(uint16_t bits, int w, int h, const Grid& storedRows, uint32_t compression = 0,
         std::vector<uint32_t> masks = {}) {
  Bmp b;
  b.bitCount = bits;
  b.width = w;
  b.height = h;
  b.compression = compression;
  b.masks = std::move(masks);
  b.pixels = PackRows(bits, storedRows);
  return b;
}

const uint32_t kA = 0x102030, kB = 0xF0E0D0, kC = 0x00FF80, kD = 0x7F0001;

std::vector<ReadCase> ReadCases() {
  std::vector<uint32_t> sixteen(16, 0x000000);
  sixteen[3] = kA;
  sixteen[9] = kB;
  sixteen[15] = kC;
  std::vector<uint32_t> full(256, 0x000000);
  full[0] = kD;
  full[200] = kA;
  full[255] = kB;
  return {
      {"1bit", Indexed(1, 3, 2, {kA, kB}, {{1, 0, 1}, {0, 1, 1}}), {{kA, kB, kB}, {kB, kA, kB}}, 1, qkpf1Bit, 2, false},
      {"1bit_wide", Indexed(1, 10, 1, {kA, kB}, {{1, 0, 0, 0, 0, 0, 0, 0, 1, 1}}),
       {{kB, kA, kA, kA, kA, kA, kA, kA, kB, kB}}, 1, qkpf1Bit, 2, false},
      {"4bit", Indexed(4, 3, 2, sixteen, {{3, 9, 15}, {15, 15, 3}}), {{kC, kC, kA}, {kA, kB, kC}}, 4, qkpf4Bit, 16, false},
      {"8bit_three_colours", Indexed(8, 2, 2, {kA, kB, kC}, {{0, 1}, {2, 0}}, 3), {{kC, kA}, {kA, kB}}, 8, qkpf8Bit, 3,
       false},
      {"8bit", Indexed(8, 3, 1, full, {{255, 0, 200}}), {{kB, kD, kA}}, 8, qkpf8Bit, 256, false},
      {"24bit", High(24, 2, 2, {{kA, kB}, {kC, kD}}), {{kC, kD}, {kA, kB}}, 24, qkpf24Bit, 0, false},
      {"24bit_top_down", High(24, 2, -2, {{kA, kB}, {kC, kD}}), {{kA, kB}, {kC, kD}}, 24, qkpf24Bit, 0, true},
      {"16bit_555", High(16, 5, 1, {{0x7FFF, 0x7C00, 0x03E0, 0x001F, 0x4210}}),
       {{0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0x838383}}, 24, qkpf24Bit, 0, false},
      {"16bit_565_bitfields", High(16, 3, 1, {{0xFFFF, 0x07E0, 0x0020}}, kBiBitFields, {0xF800, 0x07E0, 0x001F}),
       {{0xFFFFFF, 0x00FF00, 0x000400}}, 24, qkpf24Bit, 0, false},
      {"16bit_top_down", High(16, 1, -2, {{0x7C00}, {0x001F}}), {{0xFF0000}, {0x0000FF}}, 24, qkpf24Bit, 0, true},
      {"32bit", High(32, 2, 1, {{0x00112233, 0xFF000000}}), {{0x112233, 0x000000}}, 24, qkpf24Bit, 0, false},
      {"32bit_bitfields", High(32, 1, 1, {{0x00332211}}, kBiBitFields, {0x000000FF, 0x0000FF00, 0x00FF0000}),
       {{0x112233}}, 24, qkpf24Bit, 0, false},
      {"32bit_top_down", High(32, 1, -2, {{0x00FF0000}, {0x000000FF}}), {{0xFF0000}, {0x0000FF}}, 24, qkpf24Bit, 0,
       true},
      {"core_1bit", Core(Indexed(1, 2, 1, {kA, kB}, {{0, 1}})), {{kA, kB}}, 1, qkpf1Bit, 2, false},
      {"core_4bit", Core(Indexed(4, 2, 1, sixteen, {{9, 3}})), {{kB, kA}}, 4, qkpf4Bit, 16, false},
      {"core_8bit", Core(Indexed(8, 2, 1, full, {{200, 0}})), {{kA, kD}}, 8, qkpf8Bit, 256, false},
      {"core_24bit", Core(High(24, 1, 2, {{kA}, {kB}})), {{kB}, {kA}}, 24, qkpf24Bit, 0, false},
  };
}

class ReadBitmap : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadBitmap, LoadsEveryPixel) {
  const ReadCase& c = GetParam();
  TQkDIB dib = LoadDIB(c.file.Build());
  EXPECT_EQ(dib.GetBitCount(), c.bitCount);
  EXPECT_EQ(dib.GetPixelFormat(), c.format);
  EXPECT_EQ(dib.Header().biClrUsed, c.clrUsed);
  EXPECT_EQ(dib.Header().biHeight < 0, c.topDown);
  EXPECT_EQ(dib.Header().biXPelsPerMeter, 3780);
  EXPECT_EQ(dib.GetWidth(), int(c.colors[0].size()));
  EXPECT_EQ(dib.GetHeight(), int(c.colors.size()));
  EXPECT_EQ(PixelColors(dib), c.colors);
  EXPECT_GE(dib.BitsSize(), DIBRowBytes(dib.GetWidth(), dib.GetBitCount()) * dib.GetHeight());
}

INSTANTIATE_TEST_SUITE_P(Depths, ReadBitmap, ::testing::ValuesIn(ReadCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DIBFile, KeepsGivenPelsPerMeter) {
  Bmp b = High(24, 1, 1, {{0}});
  b.xPels = 2835;
  b.yPels = 1000;
  TQkDIB dib = LoadDIB(b.Build());
  EXPECT_EQ(dib.Header().biXPelsPerMeter, 2835);
  EXPECT_EQ(dib.Header().biYPelsPerMeter, 1000);
}

TEST(DIBFile, ColourCountAbove256ReadsTheFirst256AndSkipsTheRest) {
  std::vector<uint32_t> colors(300);
  for (uint32_t i = 0; i < 300; ++i) colors[i] = i * 0x010101 % 0x1000000;
  colors[255] = kA;
  colors[256] = kB;  // skipped
  Bmp b = Indexed(8, 2, 1, colors, {{255, 1}}, 300);
  TQkDIB dib = LoadDIB(b.Build());
  EXPECT_EQ(dib.Header().biClrUsed, 256u);
  EXPECT_EQ(PixelColors(dib), (Grid{{kA, 0x010101}}));
}

TEST(DIBFile, PixelsStartAtTheirOffset) {
  Bmp b = High(24, 1, 1, {{kA}});
  b.extraBeforePixels = std::string(10, '\x55');
  EXPECT_EQ(PixelColors(LoadDIB(b.Build())), (Grid{{kA}}));
}

TEST(DIBFile, RleFileStaysPackedAndSavesPacked) {
  const Bmp b = PackedFile(8, 4, 1, {kA, kB}, std::string("\x04\x01\x00\x00\x00\x01", 6));
  TQkDIB dib = LoadDIB(b.Build());
  EXPECT_EQ(dib.GetPixelFormat(), qkpf8BitRLE);
  EXPECT_EQ(dib.BitsSize(), 6u);
  const std::string saved = SaveDIB(dib);
  EXPECT_EQ(saved.substr(saved.size() - 6), b.pixels);
  EXPECT_EQ(LoadDIB(saved).GetPixelFormat(), qkpf8BitRLE);
  dib.SetPixelFormat(qkpf8Bit);
  EXPECT_EQ(PixelColors(dib), (Grid{{kB, kB, kB, kB}}));
}

struct BadCase {
  const char* name;
  std::string bytes;
  std::string message;
  enum Kind { InvalidFile, InvalidDIB, ReadError } kind;
};

Bmp With(Bmp b, void (*edit)(Bmp&)) {
  edit(b);
  return b;
}

std::vector<BadCase> BadCases() {
  const Bmp good = High(24, 2, 2, {{kA, kB}, {kC, kD}});
  const std::string m = "TQkInternalDIB.LoadFromStream: ";
  const std::string f = "TQkInternalDIB.LoadFromFile: ";
  std::vector<BadCase> cases = {
      {"not_bm", With(good, [](Bmp& b) { b.type = 0x4D43; }).Build(), f + "File type is invalid", BadCase::InvalidFile},
      {"text", "Hello, this is not a picture at all.", f + "File type is invalid", BadCase::InvalidFile},
      {"two_bits", With(good, [](Bmp& b) { b.bitCount = 2; }).Build(), m + "Invalid BitCout", BadCase::InvalidDIB},
      {"core_16_bits", Core(High(16, 1, 1, {{0}})).Build(), m + "Invalid BitCount", BadCase::InvalidDIB},
      {"v4_header", With(good, [](Bmp& b) { b.headerSize = 108; }).Build(), m + "Invalid Bitmap Header Size",
       BadCase::InvalidDIB},
      {"zero_width", With(good, [](Bmp& b) { b.width = 0; }).Build(), m + "Invalid Width or Height", BadCase::InvalidDIB},
      {"negative_width", With(good, [](Bmp& b) { b.width = -2; }).Build(), m + "Invalid Width or Height",
       BadCase::InvalidDIB},
      {"zero_height", With(good, [](Bmp& b) { b.height = 0; }).Build(), m + "Invalid Width or Height",
       BadCase::InvalidDIB},
      {"offset_below_colours", With(Indexed(8, 1, 1, std::vector<uint32_t>(256), {{0}}), [](Bmp& b) { b.bfOffBits = 54; }).Build(),
       f + "bfOffBits is too small", BadCase::InvalidDIB},
      {"offset_below_masks", With(High(16, 1, 1, {{0}}, kBiBitFields, {0xF800, 0x07E0, 0x001F}), [](Bmp& b) { b.bfOffBits = 54; }).Build(),
       f + "bfOffBits is too small", BadCase::InvalidDIB},
      {"core_offset_too_small", With(Core(Indexed(1, 1, 1, {kA, kB}, {{0}})), [](Bmp& b) { b.bfOffBits = 26; }).Build(),
       f + "bfOffBits is too small", BadCase::InvalidDIB},
      {"zero_mask", High(16, 1, 1, {{0}}, kBiBitFields, {0xF800, 0, 0x001F}).Build(), m + "Invalid Masks",
       BadCase::InvalidDIB},
      {"compressed_16_without_masks", High(16, 1, 1, {{0}}, kBiRle8).Build(), m + "Invalid Masks", BadCase::InvalidDIB},
      // The pixel-size claims of the file are checked against the header and the data.
      {"size_below_offset", With(good, [](Bmp& b) { b.bfSize = 40; }).Build(), m + "Invalid Bits Size",
       BadCase::InvalidDIB},
      {"fewer_pixels_than_rows", With(good, [](Bmp& b) { b.bfSize = 54 + 12; }).Build(), m + "Bits Size is too small",
       BadCase::InvalidDIB},
      {"size_beyond_data", With(good, [](Bmp& b) { b.bfSize = 54 + 16 + 1000; }).Build(),
       m + "Unexpected End of Pixel Data", BadCase::InvalidDIB},
      {"offset_beyond_data", With(good, [](Bmp& b) { b.bfOffBits = 5000; b.bfSize = 5016; }).Build().substr(0, 70),
       m + "Unexpected End of Pixel Data", BadCase::InvalidDIB},
      {"too_large", With(good, [](Bmp& b) { b.width = 0x7FFFFFFF; b.height = 0x7FFFFFFF; }).Build(),
       m + "Image is too large", BadCase::InvalidDIB},
      {"too_large_negative_height", With(good, [](Bmp& b) { b.width = 0x40000000; b.height = int32_t(0x80000000u); }).Build(),
       m + "Image is too large", BadCase::InvalidDIB},
      {"too_large_16", With(High(16, 1, 1, {{0}}), [](Bmp& b) { b.width = 0x7FFFFFFF; b.height = 3; }).Build(),
       m + "Image is too large", BadCase::InvalidDIB},
      {"rows_of_16_bits_cut", With(High(16, 2, 2, {{1, 2}, {3, 4}}), [](Bmp& b) { b.pixels.resize(6); }).Build(),
       m + "Unexpected End of Pixel Data", BadCase::InvalidDIB},
      {"rle_size_beyond_data", With(good, [](Bmp& b) { b.bitCount = 8; b.compression = kBiRle8; b.clrUsed = 1;
         b.colors = {0}; b.pixels = std::string("\0\1", 2); b.bfSize = 58 + 2 + 100; }).Build(),
       m + "Unexpected End of Pixel Data", BadCase::InvalidDIB},
  };
  const std::string whole = good.Build();
  for (size_t cut : {size_t(0), size_t(1), size_t(13), size_t(16), size_t(40)})
    cases.push_back({"", whole.substr(0, cut), "Stream read error", BadCase::ReadError});
  const std::string colored = Indexed(8, 1, 1, std::vector<uint32_t>(256), {{0}}).Build();
  cases.push_back({"", colored.substr(0, 54 + 500), "Stream read error", BadCase::ReadError});
  for (size_t i = 0; i < cases.size(); ++i)
    if (!*cases[i].name) cases[i].name = i + 1 == cases.size() ? "colour_table_cut" : "header_cut";
  return cases;
}

class RefuseFile : public ::testing::TestWithParam<BadCase> {};

TEST_P(RefuseFile, RaisesAndKeepsThePreviousImage) {
  const BadCase& c = GetParam();
  TQkDIB dib = LoadDIB(High(24, 1, 1, {{kC}}).Build());
  auto load = [&] {
    std::istringstream in(c.bytes, std::ios::binary);
    dib.LoadFromStream(in);
  };
  switch (c.kind) {
    case BadCase::InvalidFile: EXPECT_EQ(MessageOf<EQkDIBInvalidDIBFile>(load), c.message); break;
    case BadCase::InvalidDIB: EXPECT_EQ(MessageOf<EQkDIBInvalidDIB>(load), c.message); break;
    case BadCase::ReadError: EXPECT_EQ(MessageOf<EReadError>(load), c.message); break;
  }
  EXPECT_EQ(PixelColors(dib), (Grid{{kC}}));
}

INSTANTIATE_TEST_SUITE_P(Malformed, RefuseFile, ::testing::ValuesIn(BadCases()), [](const auto& info) {
  return std::string(info.param.name) + "_" + std::to_string(info.index);
});

TEST(DIBFile, SaveWritesHeaderColoursAndPixels) {
  TQkDIB dib = LoadDIB(Indexed(8, 2, 2, {kA, kB, kC}, {{0, 1}, {2, 0}}, 3).Build());
  const std::string saved = SaveDIB(dib);
  ASSERT_EQ(saved.size(), 54u + 12 + 8);
  auto u32 = [&](size_t at) {
    return uint32_t(uint8_t(saved[at])) | uint32_t(uint8_t(saved[at + 1])) << 8 |
           uint32_t(uint8_t(saved[at + 2])) << 16 | uint32_t(uint8_t(saved[at + 3])) << 24;
  };
  EXPECT_EQ(saved.substr(0, 2), "BM");
  EXPECT_EQ(u32(2), 74u);   // bfSize
  EXPECT_EQ(u32(6), 0u);    // reserved
  EXPECT_EQ(u32(10), 66u);  // bfOffBits
  EXPECT_EQ(u32(14), 40u);
  EXPECT_EQ(u32(46), 3u);   // biClrUsed
  EXPECT_EQ(saved.substr(54, 4), std::string("\x30\x20\x10\x00", 4));
  TQkDIB again = LoadDIB(saved);
  EXPECT_EQ(PixelColors(again), PixelColors(dib));
  EXPECT_EQ(SaveDIB(again), saved);
}

TEST(DIBFile, RoundTripsEveryDepthAndRowOrder) {
  for (const ReadCase& c : ReadCases()) {
    SCOPED_TRACE(c.name);
    TQkDIB dib = LoadDIB(c.file.Build());
    TQkDIB again = LoadDIB(SaveDIB(dib));
    EXPECT_EQ(PixelColors(again), c.colors);
    EXPECT_EQ(again.Header().biHeight, dib.Header().biHeight);
    EXPECT_EQ(again.Header().biClrUsed, dib.Header().biClrUsed);
  }
}

TEST(DIBFile, FilesLoadAndSaveWhole) {
  TempDir dir;
  TQkDIB dib = LoadDIB(High(24, 2, 1, {{kA, kB}}).Build());
  dib.SaveToFile(dir / "a.bmp");
  TQkDIB back;
  back.LoadFromFile(dir / "a.bmp");
  EXPECT_EQ(PixelColors(back), (Grid{{kA, kB}}));
  EXPECT_EQ(MessageOf<EFOpenError>([&] { back.LoadFromFile(dir / "missing.bmp"); }),
            "Cannot open file \"" + (dir / "missing.bmp").string() + "\"");
  EXPECT_FALSE(MessageOf<EFCreateError>([&] { dib.SaveToFile(dir / "a.bmp" / "x.bmp"); }).empty());
  EXPECT_EQ(PixelColors(LoadDIB(ReadFile(dir / "a.bmp"))), (Grid{{kA, kB}}));
}

// ---- clipboard blocks -------------------------------------------------

std::vector<uint8_t> Block(const std::string& file) { return std::vector<uint8_t>(file.begin() + 14, file.end()); }

TQkDIB FromBlock(const std::vector<uint8_t>& block) {
  TQkDIB dib;
  dib.LoadFromClipboardFormat(kClipboardFormatDIB, block, nullptr);
  return dib;
}

TEST(DIBClipboard, SavesAPackedDIBAndLoadsItBack) {
  TQkDIB dib = LoadDIB(Indexed(4, 3, 2, std::vector<uint32_t>(16, kA), {{1, 2, 3}, {4, 5, 6}}).Build());
  uint16_t format = 0;
  std::vector<uint8_t> block;
  TQkPalette palette = MakePalette({{1, 2, 3, 0}});
  dib.SaveToClipboardFormat(format, block, palette);
  EXPECT_EQ(format, 8);
  EXPECT_FALSE(palette);
  EXPECT_EQ(block.size(), 40u + 64 + 8);
  EXPECT_EQ(std::string(block.begin(), block.end()), SaveDIB(dib).substr(14));
  TQkDIB back = FromBlock(block);
  EXPECT_EQ(PixelValues(back), PixelValues(dib));
  EXPECT_EQ(back.Header().biClrUsed, 16u);
}

TEST(DIBClipboard, ReadsEveryDepthAsFilesDo) {
  for (const ReadCase& c : ReadCases()) {
    SCOPED_TRACE(c.name);
    TQkDIB dib = FromBlock(Block(c.file.Build()));
    EXPECT_EQ(PixelColors(dib), c.colors);
    EXPECT_EQ(dib.Header().biClrUsed, c.clrUsed);
  }
}

TEST(DIBClipboard, RefusesBadBlocksAndKeepsThePreviousImage) {
  const std::string c = "TQkDIB.LoadFromClipboardFormat: Invalid Clipboard Data";
  const std::string m = "TQkInternalDIB.LoadFromStream: ";
  const std::vector<uint8_t> good = Block(Indexed(8, 2, 2, {kA, kB}, {{0, 1}, {1, 0}}, 2).Build());
  auto edited = [&](size_t at, uint32_t v) {
    std::vector<uint8_t> b = good;
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
    return b;
  };
  const struct {
    const char* name;
    std::vector<uint8_t> block;
    std::string message;
  } cases[] = {
      {"three_bytes", {40, 0, 0}, c},
      {"odd_header", edited(0, 20), c},
      {"header_cut", std::vector<uint8_t>(good.begin(), good.begin() + 30), c},
      {"colours_cut", std::vector<uint8_t>(good.begin(), good.begin() + 44), c},
      {"colour_count_beyond_block", edited(32, 0x10000000), c},
      {"core_cut", {12, 0, 0, 0, 1, 0}, c},
      {"negative_width", edited(4, uint32_t(-2)), m + "Invalid Width or Height"},
      {"zero_height", edited(8, 0), m + "Invalid Width or Height"},
      {"pixels_cut", std::vector<uint8_t>(good.begin(), good.end() - 1), m + "Bits Size is too small"},
      {"huge_image", edited(4, 0x7FFFFFFF), m + "Image is too large"},
  };
  for (const auto& bad : cases) {
    SCOPED_TRACE(bad.name);
    TQkDIB dib = FromBlock(good);
    EXPECT_EQ(MessageOf<EQkDIBInvalidDIB>([&] { dib.LoadFromClipboardFormat(8, bad.block, nullptr); }), bad.message);
    EXPECT_EQ(PixelColors(dib), (Grid{{kB, kA}, {kA, kB}}));
  }
  std::vector<uint8_t> twoBits = good;
  twoBits[14] = 2;
  EXPECT_EQ(MessageOf<EQkDIBInvalidDIB>([&] { FromBlock(twoBits); }),
            "TQkInternalDIB.LoadFromClipboardFormat: Invalid biBitCount");
  const std::string none = "TQkDIB.LoadFromClipboardFormat: Invalid Clipboard Format or No Data";
  TQkDIB dib;
  EXPECT_EQ(MessageOf<EInvalidGraphic>([&] { dib.LoadFromClipboardFormat(2, good, nullptr); }), none);
  EXPECT_EQ(MessageOf<EInvalidGraphic>([&] { dib.LoadFromClipboardFormat(8, {}, nullptr); }), none);
}

TEST(DIBClipboard, BitFieldColourTableMovesUpOverTheMasks) {
  // 16 bits with masks and one colour after them: the colour ends up first.
  Bmp b = High(16, 1, 1, {{0x001F}}, kBiBitFields, {0x7C00, 0x03E0, 0x001F});
  b.colors = {kA};
  b.clrUsed = 1;
  TQkDIB dib = FromBlock(Block(b.Build()));
  EXPECT_EQ(PixelColors(dib), (Grid{{0x0000FF}}));
  EXPECT_EQ(TableColor(dib, 0), kA);
  EXPECT_EQ(TableColor(LoadDIB(b.Build()), 0), kA);
}

TEST(DIBFile, MasksBeforeAnIndexedTableAreSkippedAndTheFileSavesPlain) {
  // Masks of an indexed or 24-bit picture, from a file or a clipboard block:
  // the colours after them stay in place and the saved file loads again.
  for (const uint16_t bits : {4, 8, 24}) {
    SCOPED_TRACE(bits);
    Bmp b = bits == 24 ? High(24, 2, 1, {{kA, kB}}) : Indexed(bits, 2, 1, {kA, kB}, {{1, 0}}, 2);
    b.compression = kBiBitFields;
    b.masks = {0xFF0000, 0xFF00, 0xFF};
    const Grid colors{{bits == 24 ? kA : kB, bits == 24 ? kB : kA}};
    for (TQkDIB dib : {LoadDIB(b.Build()), FromBlock(Block(b.Build()))}) {
      EXPECT_EQ(PixelColors(dib), colors);
      EXPECT_EQ(dib.Header().biCompression, kBiRgb);
      EXPECT_EQ(PixelColors(LoadDIB(SaveDIB(dib))), colors);
    }
  }
}

}  // namespace
