// Pixel-format conversion: routing, each converter's constants, progress.
#include "BmpBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>

using namespace qv;
using namespace qvtest;

namespace {

const uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

TQkDIB Make(uint16_t bits, const Grid& topDown, std::vector<uint32_t> colors = {}) {
  return MakeDIB(bits, topDown, std::move(colors));
}

// A picture whose header claims a compression its depth does not have.
TQkDIB Claiming(uint32_t compression, uint16_t bits, std::vector<uint32_t> colors = {}) {
  Bmp b = PictureFile(bits, {{0}}, std::move(colors));
  b.compression = compression;
  return LoadDIB(b.Build());
}

TEST(PixelFormat, ReportsTheFormatOrRefusesAnInvalidDIB) {
  EXPECT_EQ(Make(1, {{0}}, {0, 1}).GetPixelFormat(), qkpf1Bit);
  EXPECT_EQ(Make(4, {{0}}, {0}).GetPixelFormat(), qkpf4Bit);
  EXPECT_EQ(Make(8, {{0}}, {0}).GetPixelFormat(), qkpf8Bit);
  EXPECT_EQ(Make(24, {{0}}).GetPixelFormat(), qkpf24Bit);
  const std::string m = "TQkInternalDIB.GetPixelFormat: Invalid DIB(";
  EXPECT_EQ(MessageOf<EQkDIBInvalidDIB>([&] { Claiming(kBiRle8, 1, {0, 1}).GetPixelFormat(); }), m + "1Bit)");
  EXPECT_EQ(MessageOf<EQkDIBInvalidDIB>([&] { Claiming(kBiRle8, 4, {0}).GetPixelFormat(); }), m + "4Bit)");
  EXPECT_EQ(MessageOf<EQkDIBInvalidDIB>([&] { Claiming(kBiRle4, 8, {0}).GetPixelFormat(); }), m + "8Bit)");
  EXPECT_EQ(MessageOf<EQkDIBInvalidDIB>([&] { Claiming(kBiRle8, 24, {}).GetPixelFormat(); }), m + "24Bit)");
  TQkInternalDIB odd(false);
  odd.Image.Header.biBitCount = 2;
  EXPECT_EQ(MessageOf<EQkDIBInvalidDIB>([&] { odd.GetPixelFormat(); }), m + "Illegal BitCount)");
  // An invalid DIB cannot be converted and stays as it is.
  TQkDIB bad = Claiming(kBiRle8, 24, {});
  EXPECT_THROW(bad.SetPixelFormat(qkpf8Bit), EQkDIBInvalidDIB);
  EXPECT_EQ(bad.Header().biCompression, kBiRle8);
}

// ---- expansion, true colour and masks -----------------------------------

struct Route {
  const char* name;
  TQkDIB (*source)();
  TQkPixelFormat target;
  Grid values;  // pixel values after the conversion, top row first
  uint32_t clrUsed;
};

TQkDIB OneBit() { return Make(1, {{1, 0, 1}, {0, 0, 1}}, {kRed, kBlue}); }
TQkDIB FourBit() {
  std::vector<uint32_t> colors(16, 0);
  colors[2] = kGreen;
  colors[15] = kWhite;
  colors[7] = 0x123456;
  return Make(4, {{15, 2, 7}, {2, 15, 15}}, colors);
}
TQkDIB EightBit() {
  std::vector<uint32_t> colors(200, 0);
  colors[199] = kWhite;
  colors[3] = 0x808080;
  colors[100] = 0xFFFFFE;
  return Make(8, {{199, 3, 100}, {3, 3, 199}}, colors);
}
TQkDIB TrueColor() { return Make(24, {{kWhite, kRed, 0xFEFFFF}, {kWhite, 0x010203, kWhite}}); }

std::vector<Route> Routes() {
  return {
      {"1_to_4", OneBit, qkpf4Bit, {{1, 0, 1}, {0, 0, 1}}, 2},
      {"1_to_8", OneBit, qkpf8Bit, {{1, 0, 1}, {0, 0, 1}}, 2},
      {"1_to_24", OneBit, qkpf24Bit, {{kBlue, kRed, kBlue}, {kRed, kRed, kBlue}}, 2},
      {"4_to_8", FourBit, qkpf8Bit, {{15, 2, 7}, {2, 15, 15}}, 16},
      {"4_to_24", FourBit, qkpf24Bit, {{kWhite, kGreen, 0x123456}, {kGreen, kWhite, kWhite}}, 16},
      {"8_to_24", EightBit, qkpf24Bit, {{kWhite, 0x808080, 0xFFFFFE}, {0x808080, 0x808080, kWhite}}, 200},
      // Masks: exactly the mask colour (white) becomes 1.
      {"4_to_1", FourBit, qkpf1Bit, {{1, 0, 0}, {0, 1, 1}}, 2},
      {"8_to_1", EightBit, qkpf1Bit, {{1, 0, 0}, {0, 0, 1}}, 2},
      {"24_to_1", TrueColor, qkpf1Bit, {{1, 0, 0}, {1, 0, 1}}, 2},
  };
}

class Convert : public ::testing::TestWithParam<Route> {};

TEST_P(Convert, GivesTheExpectedPixels) {
  const Route& r = GetParam();
  TQkDIB dib = r.source();
  const Grid before = PixelColors(dib);
  std::vector<uint32_t> table;
  for (int i = 0; i < 256; ++i) table.push_back(TableColor(dib, i));
  dib.SetPixelFormat(r.target);
  EXPECT_EQ(dib.GetPixelFormat(), r.target);
  EXPECT_EQ(PixelValues(dib), r.values);
  EXPECT_EQ(dib.Header().biClrUsed, r.clrUsed);
  EXPECT_EQ(dib.Header().biSizeImage, 0u);
  if (r.target == qkpf1Bit) {
    EXPECT_EQ(TableColor(dib, 0), 0u);
    EXPECT_EQ(TableColor(dib, 1), kWhite);
  } else {
    // Expansions keep the colour table, so the picture looks the same.
    for (int i = 0; i < 256; ++i) EXPECT_EQ(TableColor(dib, i), table[size_t(i)]);
    EXPECT_EQ(PixelColors(dib), before);
  }
}

INSTANTIATE_TEST_SUITE_P(Routes, Convert, ::testing::ValuesIn(Routes()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Masks, UseTheMaskColour) {
  TQkDIB dib = TrueColor();
  dib.SetMaskColor(0x030201);  // $00BBGGRR of (1, 2, 3)
  dib.SetPixelFormat(qkpf1Bit);
  EXPECT_EQ(PixelValues(dib), (Grid{{0, 0, 0}, {0, 1, 0}}));
}

TQkDIBImage RawImage(int bits, uint32_t compression) {
  TQkDIBImage img;
  img.Header.biWidth = 1;
  img.Header.biHeight = 1;
  img.Header.biBitCount = uint16_t(bits);
  img.Header.biCompression = compression;
  img.BitsSize = 4;
  img.Memory = TQkPixelMemory::GetMemory(4, false);
  return img;
}

TEST(Converters, RefuseSourcesOfOtherFormats) {
  const TQkDIBImage eight = RawImage(8, 0), packed4 = RawImage(4, kBiRle4), packed8 = RawImage(8, kBiRle8);
  const TQkDIBImage one = RawImage(1, 0), truecolor = RawImage(24, 0);
  const TQkProgressStep none;
  const std::string combination = ": Invalid Bitcount & Compression Combination";
  const struct {
    std::string message;
    std::function<void()> call;
  } cases[] = {
      {"Convert1BitRGBTo4BitRGB" + combination, [&] { Convert1BitRGBTo4BitRGB(eight, false); }},
      {"Convert1BitRGBTo8BitRGB" + combination, [&] { Convert1BitRGBTo8BitRGB(eight, false); }},
      {"Convert4BitRGBTo8BitRGB" + combination, [&] { Convert4BitRGBTo8BitRGB(packed4, false); }},
      {"Convert1BitRGBToTrueColor" + combination, [&] { Convert1BitRGBToTrueColor(eight, false); }},
      {"Convert4BitRGBToTrueColor" + combination, [&] { Convert4BitRGBToTrueColor(packed4, false); }},
      {"Convert8BitRGBToTrueColor" + combination, [&] { Convert8BitRGBToTrueColor(packed8, false); }},
      {"ConvertTrueColorTo1BitRGB: Invalid Bitcount", [&] { ConvertTrueColorTo1BitRGB(eight, false, 0); }},
      {"Convert8BitTo1BitRGB: Invalid Bitcount or Compression", [&] { Convert8BitTo1BitRGB(packed8, false, 0); }},
      {"Convert4BitRGBTo1BitRGB: Invalid Bitcount", [&] { Convert4BitRGBTo1BitRGB(one, false, 0); }},
      {"ConvertTrueColorTo8BitRGBLow: Invalid Bitcount", [&] { ConvertTrueColorTo8BitRGBLow(eight, false, none); }},
      {"ConvertTrueColorTo4BitRGBLow: Invalid Bitcount", [&] { ConvertTrueColorTo4BitRGBLow(eight, false, none); }},
      {"ConvertTrueColorTo8BitRGBHigh: Invalid Bitcount", [&] { ConvertTrueColorTo8BitRGBHigh(one, false, none); }},
      {"ConvertTrueColorTo4BitRGBHigh: Invalid Bitcount", [&] { ConvertTrueColorTo4BitRGBHigh(one, false, none); }},
      {"Convert8BitRGBTo4BitRGB: Invalid Bitcount or Compression", [&] { Convert8BitRGBTo4BitRGB(truecolor, false, none); }},
  };
  for (const auto& c : cases) EXPECT_EQ(MessageOf<EQkDIBBadDIBType>(c.call), c.message);
  EXPECT_EQ(MessageOf<EAssertionFailed>([&] { ConvertToHalfTone(packed8, false); }), "ConvertToHalfTone: Invalid DIB Format");
  EXPECT_EQ(MessageOf<EAssertionFailed>([&] { ConvertToHalfToneBW(packed4, false); }),
            "ConvertToHalfToneBW: Invalid DIB Format");
  const TQkDIBImage sixteen = RawImage(16, 0);
  EXPECT_EQ(MessageOf<EAssertionFailed>([&] { ConvertToHalfTone(sixteen, false); }), "ConvertToHalfTone: Invalid Bit Count");
  EXPECT_EQ(MessageOf<EAssertionFailed>([&] { ConvertToHalfToneBW(sixteen, false); }),
            "ConvertToHalfToneBW: Invalid Bit Count");
}

TEST(Converters, ExpandedFourBitRleKeepsItsColourTable) {
  // 4-bit RLE: row of pixels 1 2 1 2 and end of bitmap.
  std::vector<uint32_t> colors(16, 0);
  colors[1] = kRed;
  colors[2] = kBlue;
  colors[14] = kGreen;
  TQkDIB dib = LoadDIB(PackedFile(4, 4, 1, colors, std::string("\x04\x12\x00\x01", 4)).Build());
  dib.SetPixelFormat(qkpf8Bit);
  EXPECT_EQ(dib.GetPixelFormat(), qkpf8Bit);
  EXPECT_EQ(dib.Header().biClrUsed, 16u);
  EXPECT_EQ(PixelValues(dib), (Grid{{1, 2, 1, 2}}));
  EXPECT_EQ(TableColor(dib, 14), kGreen);
}

// ---- colour reduction ------------------------------------------------------

// Red twice, green and blue once: the first split is on red (3 var(red) equals
// 4 var(green) exactly), the lower part then splits on green, upper parts
// first; so red gets entry 0, green 1, blue 2.
TQkDIB ThreeColours() { return Make(24, {{kRed, kGreen}, {kBlue, kRed}}); }

// Two colours whose variances are 3 var(green) < 2 var(blue) < 4 var(green):
// the histogram split goes on blue, the pixel tree on green, so the two
// qualities make their entries in opposite orders.
TQkDIB GreenOrBlue() { return Make(24, {{0x006400, 0x000082}}); }

struct Reduction {
  const char* name;
  TQkDIB (*source)();
  uint8_t mode;
  TQkPixelFormat target;
  std::vector<uint32_t> palette;
  Grid values;
};

std::vector<Reduction> Reductions() {
  return {
      {"low_8", ThreeColours, 0, qkpf8Bit, {kRed, kGreen, kBlue}, {{0, 1}, {2, 0}}},
      {"high_8", ThreeColours, 1, qkpf8Bit, {kRed, kGreen, kBlue}, {{0, 1}, {2, 0}}},
      {"low_4", ThreeColours, 0, qkpf4Bit, {kRed, kGreen, kBlue}, {{0, 1}, {2, 0}}},
      {"high_4", ThreeColours, 1, qkpf4Bit, {kRed, kGreen, kBlue}, {{0, 1}, {2, 0}}},
      {"low_splits_on_blue", GreenOrBlue, 0, qkpf8Bit, {0x000082, 0x006400}, {{1, 0}}},
      {"high_splits_on_green", GreenOrBlue, 1, qkpf8Bit, {0x006400, 0x000082}, {{0, 1}}},
  };
}

class Reduce : public ::testing::TestWithParam<Reduction> {};

TEST_P(Reduce, MakesThePaletteInSplitOrder) {
  const Reduction& r = GetParam();
  TQkDIB dib = r.source();
  dib.SetConvertMode(r.mode);
  dib.SetPixelFormat(r.target);
  EXPECT_EQ(dib.GetPixelFormat(), r.target);
  ASSERT_EQ(dib.Header().biClrUsed, r.palette.size());
  for (size_t i = 0; i < r.palette.size(); ++i) EXPECT_EQ(TableColor(dib, int(i)), r.palette[i]) << i;
  EXPECT_EQ(PixelValues(dib), r.values);
}

INSTANTIATE_TEST_SUITE_P(Qualities, Reduce, ::testing::ValuesIn(Reductions()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Reduce, LowQualityAveragesTheDroppedBitsOfEachCell) {
  // (9, 6, 17) and (15, 5, 23) share the cell (1, 1, 2); their colour is the
  // cell plus the mean of the low bits: red 8 + (1+7)/2, green 4 + (2+1)/2,
  // blue 16 + (1+7)/2 (integer division).
  TQkDIB dib = Make(24, {{0x090611, 0x0F0517}});
  dib.SetPixelFormat(qkpf8Bit);
  EXPECT_EQ(dib.Header().biClrUsed, 1u);
  EXPECT_EQ(TableColor(dib, 0), 0x0C0514u);
  EXPECT_EQ(PixelValues(dib), (Grid{{0, 0}}));
}

TEST(Reduce, EveryEntryMadeIsUsedAndThereAreAtMost256) {
  for (uint8_t mode : {0, 1}) {
    for (int colors : {40, 3000}) {
      SCOPED_TRACE(std::to_string(mode) + " " + std::to_string(colors));
      Grid rows(size_t(colors / 40), std::vector<uint32_t>(40));
      uint32_t seed = 12345;
      for (auto& row : rows)
        for (auto& v : row) v = (seed = seed * 1103515245 + 12345) >> 8 & 0xFFFFFF;
      TQkDIB dib = Make(24, rows);
      dib.SetConvertMode(mode);
      dib.SetPixelFormat(qkpf8Bit);
      std::set<uint32_t> used;
      for (const auto& row : PixelValues(dib)) used.insert(row.begin(), row.end());
      EXPECT_LE(dib.Header().biClrUsed, 256u);
      EXPECT_EQ(used.size(), dib.Header().biClrUsed);
      EXPECT_LT(*used.rbegin(), dib.Header().biClrUsed);
    }
  }
}

TEST(Reduce, EightToFourBitsSplitsTheUsedEntries) {
  std::vector<uint32_t> colors(256, 0x777777);
  colors[5] = kRed;
  colors[9] = kGreen;
  colors[200] = kBlue;
  TQkDIB dib = Make(8, {{5, 9}, {200, 5}}, colors);
  dib.SetConvertMode(7);  // no effect on this reduction
  dib.SetPixelFormat(qkpf4Bit);
  EXPECT_EQ(dib.Header().biClrUsed, 3u);
  EXPECT_EQ(TableColor(dib, 0), kRed);
  EXPECT_EQ(TableColor(dib, 1), kGreen);
  EXPECT_EQ(TableColor(dib, 2), kBlue);
  EXPECT_EQ(PixelValues(dib), (Grid{{0, 1}, {2, 0}}));
}

// Generated pictures of different kinds, each a function of (x, y) only.
uint32_t Lcg(uint32_t& seed) { return (seed = seed * 1103515245u + 12345u) >> 8; }

Grid Scene(int w, int h) {  // gradient sky, flat shapes and a stepped band
  Grid rows(size_t(h), std::vector<uint32_t>(size_t(w), 0));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int r = 40 + y * 120 / h, g = 90 + y * 100 / h, b = 200 - y * 60 / h;
      const int dx = x - w * 2 / 3, dy = y - h / 2;
      if (dx * dx + dy * dy < (h / 4) * (h / 4)) r = 240, g = 200, b = 40;
      if (x > w / 10 && x < w * 4 / 10 && y > h / 7 && y < h / 2) r = 180, g = 40, b = 60;
      if (y > h * 3 / 4 && y < h * 7 / 8) {
        const int shade = (x * 255 / w) & ~15;
        r = shade, g = 255 - shade, b = 128;
      }
      rows[size_t(y)][size_t(x)] = uint32_t(r << 16 | g << 8 | b);
    }
  return rows;
}

Grid Noise(int w, int h) {
  uint32_t seed = 777;
  Grid rows(size_t(h), std::vector<uint32_t>(size_t(w), 0));
  for (auto& row : rows)
    for (auto& v : row) v = Lcg(seed) & 0xFFFFFF;
  return rows;
}

Grid Photo(int w, int h) {  // smooth shading with grain, most colours distinct
  uint32_t seed = 4242;
  Grid rows(size_t(h), std::vector<uint32_t>(size_t(w), 0));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      // Triangle waves in integers, so the picture is the same on every machine.
      auto ch = [&](int phase, int scale) {
        const int t = (x * 3 + y * 2 + phase) % 512, u = (y * 5 - x + 4096 + phase) % 384;
        const int v = 28 + std::abs(t - 256) / 2 + std::abs(u - 192) / 3;
        return std::clamp(v + int(Lcg(seed) % uint32_t(scale)) - scale / 2, 0, 255);
      };
      rows[size_t(y)][size_t(x)] = uint32_t(ch(0, 17) << 16 | ch(170, 9) << 8 | ch(341, 25));
    }
  return rows;
}

Grid GreyRamp() {  // equal variances on every channel
  Grid rows(4, std::vector<uint32_t>(256));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 256; ++x) rows[size_t(y)][size_t(x)] = uint32_t((x * (y + 1)) % 256) * 0x010101u;
  return rows;
}

Grid FewColoursInOddCounts() {  // means that are not binary fractions
  const uint32_t colours[7] = {0xFF0000, 0x00FF00, 0x0000FF, 0x7F7F00, 0x007F7F, 0x7F007F, 0x102030};
  Grid rows(1);
  for (int c = 0; c < 7; ++c)
    for (int n = 0; n <= c; ++n) rows[0].push_back(colours[c]);
  return rows;
}

// FNV-1a over the palette and every pixel's index.
uint64_t Fingerprint(const TQkDIB& dib) {
  uint64_t h = 14695981039346656037ull;
  auto mix = [&h](uint32_t v) {
    for (int i = 0; i < 4; ++i) h = (h ^ ((v >> (8 * i)) & 0xFF)) * 1099511628211ull;
  };
  mix(dib.Header().biClrUsed);
  for (uint32_t i = 0; i < dib.Header().biClrUsed; ++i) mix(TableColor(dib, int(i)));
  for (const auto& row : PixelValues(dib))
    for (uint32_t v : row) mix(v);
  return h;
}

TEST(Reduce, HighQualityPaletteAndPixelsOfKnownPictures) {
  const struct {
    const char* name;
    Grid picture;
    TQkPixelFormat target;
    uint32_t clrUsed;
    uint64_t fingerprint;
  } cases[] = {
      {"scene to 8 bits", Scene(480, 270), qkpf8Bit, 121, 0x4afa1130f0a38e09},
      {"scene to 4 bits", Scene(480, 270), qkpf4Bit, 15, 0x34383c5043c080ad},
      {"noise", Noise(211, 97), qkpf8Bit, 256, 0x6f12ef5825eaa5ad},
      {"photo to 8 bits", Photo(320, 240), qkpf8Bit, 256, 0x16d78b9de13124bc},
      {"photo to 4 bits", Photo(320, 240), qkpf4Bit, 16, 0x4acf9b4fae745bb1},
      {"grey ramp", GreyRamp(), qkpf8Bit, 256, 0xd9fd4c22b9b5f74a},
      {"few colours in odd counts", FewColoursInOddCounts(), qkpf8Bit, 7, 0x54b4e55aa95f6be5},
      // 3 var(red) and 4 var(green) are both 8 exactly; the split goes on
      // green, so the colour with the most green comes first.
      {"equal variance terms", {{0x000300, 0x020000, 0x040000}}, qkpf8Bit, 3, 0xd0a9f7f9135d4bce},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TQkDIB dib = Make(24, c.picture);
    dib.SetConvertMode(1);
    int steps = 0;
    dib.OnProgress = [&](TQkGraphic&, TProgressStage s, uint8_t, bool, const TQkRect&, const std::string&) {
      steps += s == TProgressStage::psRunning;
    };
    dib.SetPixelFormat(c.target);
    EXPECT_EQ(steps, c.target == qkpf8Bit ? 255 : 15);
    EXPECT_EQ(dib.Header().biClrUsed, c.clrUsed);
    EXPECT_EQ(Fingerprint(dib), c.fingerprint) << std::hex << "0x" << Fingerprint(dib);
  }
}

TEST(Reduce, AnUnknownConvertModeFailsAndKeepsTheImage) {
  TQkDIB dib = ThreeColours();
  dib.SetConvertMode(2);
  EXPECT_EQ(MessageOf<EAssertionFailed>([&] { dib.SetPixelFormat(qkpf8Bit); }),
            "TQkIntenalDIB.SetPixelsFormat: PixelFormat Error");
  EXPECT_EQ(dib.GetPixelFormat(), qkpf24Bit);
  EXPECT_EQ(PixelColors(dib), (Grid{{kRed, kGreen}, {kBlue, kRed}}));
  dib.SetPixelFormat(qkpf1Bit);  // masks do not reduce
  EXPECT_EQ(dib.GetPixelFormat(), qkpf1Bit);
}

// ---- progress ----------------------------------------------------------------

struct Event {
  TProgressStage stage;
  int percent;
  bool redraw;
  std::string msg;
};

std::vector<Event> Record(TQkDIB& dib, TQkPixelFormat target) {
  std::vector<Event> events;
  dib.OnProgress = [&](TQkGraphic&, TProgressStage s, uint8_t p, bool redraw, const TQkRect& r, const std::string& m) {
    EXPECT_EQ(r, (TQkRect{0, 0, dib.GetWidth(), dib.GetHeight()}));
    events.push_back({s, p, redraw, m});
  };
  try {
    dib.SetPixelFormat(target);
  } catch (const EQkDIBError&) {
  }
  return events;
}

TEST(Progress, ReductionTo8BitRleReportsSteps1To255) {
  TQkDIB dib = Make(24, {std::vector<uint32_t>(64, kRed), std::vector<uint32_t>(64, kBlue)});
  const std::vector<Event> events = Record(dib, qkpf8BitRLE);
  ASSERT_EQ(events.size(), 257u);
  EXPECT_EQ(events.front().stage, TProgressStage::psStarting);
  EXPECT_EQ(events.front().percent, 0);
  EXPECT_FALSE(events.front().redraw);
  for (int i = 1; i <= 255; ++i) {
    EXPECT_EQ(events[size_t(i)].stage, TProgressStage::psRunning);
    EXPECT_EQ(events[size_t(i)].percent, i * 100 / 256);
    EXPECT_FALSE(events[size_t(i)].redraw);
  }
  EXPECT_EQ(events.back().stage, TProgressStage::psEnding);
  EXPECT_EQ(events.back().percent, 100);
  EXPECT_TRUE(events.back().redraw);
  for (const Event& e : events) EXPECT_EQ(e.msg, "PixelFormat 24Bit -> 8BitRLE");
  EXPECT_EQ(dib.GetPixelFormat(), qkpf8BitRLE);
}

TEST(Progress, MessagesAndTotalsOfEachPaletteConversion) {
  std::vector<uint32_t> colors(16, 0);
  const Grid wide(2, std::vector<uint32_t>(64, 1));
  const struct {
    TQkDIB (*source)();
    TQkPixelFormat target;
    size_t events;
    std::string msg;
  } cases[] = {
      {TrueColor, qkpf8Bit, 257, "PixelFormat 24Bit -> 8Bit"},
      {TrueColor, qkpf4Bit, 17, "PixelFormat 24Bit -> 4Bit"},
      {[] { return Make(24, Grid(2, std::vector<uint32_t>(64, kRed))); }, qkpf4BitRLE, 17, "PixelFormat 24Bit -> 4BitRLE"},
      {EightBit, qkpf4Bit, 17, "PixelFormat 8Bit -> 4Bit"},
      {[] { return Make(8, Grid(2, std::vector<uint32_t>(64, 1)), {0, kRed}); }, qkpf4BitRLE, 17,
       "PixelFormat 8Bit -> 4BitRLE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.msg);
    TQkDIB dib = c.source();
    const std::vector<Event> events = Record(dib, c.target);
    ASSERT_EQ(events.size(), c.events);
    for (const Event& e : events) EXPECT_EQ(e.msg, c.msg);
    EXPECT_EQ(dib.GetPixelFormat(), c.target);
  }
  TQkDIB rle = Make(8, Grid(2, std::vector<uint32_t>(64, 1)), {0, kRed});
  rle.SetPixelFormat(qkpf8BitRLE);
  const std::vector<Event> fromRle = Record(rle, qkpf4Bit);
  ASSERT_EQ(fromRle.size(), 17u);
  EXPECT_EQ(fromRle[0].msg, "PixelFormat 8BitRLE -> 4Bit");
  for (TQkPixelFormat quiet : {qkpf8Bit, qkpf1Bit, qkpfHalftone}) {
    TQkDIB dib = OneBit();
    EXPECT_TRUE(Record(dib, quiet == qkpf8Bit ? qkpf24Bit : quiet).empty());
  }
}

TEST(Progress, EndIsReportedWhenTheConversionFails) {
  // Noise does not pack: the reduction runs, the packing fails.
  Grid noise(2, std::vector<uint32_t>(8));
  for (int i = 0; i < 16; ++i) noise[size_t(i / 8)][size_t(i % 8)] = uint32_t(i) * 0x0F0F0F;
  TQkDIB dib = Make(24, noise);
  const Grid before = PixelColors(dib);
  const std::vector<Event> events = Record(dib, qkpf8BitRLE);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front().stage, TProgressStage::psStarting);
  EXPECT_EQ(events.back().stage, TProgressStage::psEnding);
  EXPECT_EQ(dib.GetPixelFormat(), qkpf24Bit);
  EXPECT_EQ(PixelColors(dib), before);
}

// ---- halftoning ------------------------------------------------------------

TEST(Halftone, WhiteIsIndex209Everywhere) {
  for (TQkDIB (*source)() : {+[] { return Make(24, Grid(3, std::vector<uint32_t>(5, kWhite))); },
                             +[] { return Make(8, Grid(3, std::vector<uint32_t>(5, 1)), {0, kWhite}); },
                             +[] { return Make(1, Grid(3, std::vector<uint32_t>(5, 1)), {0, kWhite}); }}) {
    TQkDIB dib = source();
    dib.SetPixelFormat(qkpfHalftone);
    EXPECT_EQ(dib.GetPixelFormat(), qkpf8Bit);
    EXPECT_EQ(dib.Header().biClrUsed, 215u);
    EXPECT_EQ(PixelValues(dib), Grid(3, std::vector<uint32_t>(5, 209)));
    EXPECT_EQ(TableColor(dib, 209), kWhite);
    EXPECT_EQ(TableColor(dib, 213), 0xC0C0C0u);
  }
}

TEST(Halftone, DiffusesTheErrorSerpentine) {
  // Grey 100 in a 2 x 2 picture, worked through by hand (stored row 0, the
  // bottom row, first, left to right; then the top row right to left):
  //   bottom (0,1): levels (2,2,2) = 82, then (2,2,1) = 81
  //   top (1,0):    levels (2,3,2) = 87, then (2,2,1) = 81
  TQkDIB dib = Make(24, Grid(2, std::vector<uint32_t>(2, 0x646464)));
  dib.SetPixelFormat(qkpfHalftone);
  EXPECT_EQ(PixelValues(dib), (Grid{{81, 87}, {82, 81}}));
  // Grey 90 in 3 x 2: the top row's last pixel depends on the diagonal
  // weight taking the error at x + 2 on odd rows.
  TQkDIB wide = Make(24, Grid(2, std::vector<uint32_t>(3, 0x5A5A5A)));
  wide.SetPixelFormat(qkpfHalftone);
  EXPECT_EQ(PixelValues(wide), (Grid{{82, 46, 82}, {81, 82, 81}}));
}

TEST(Halftone, BlackAndWhite) {
  // Grey 128: the first pixel (sum 384) is white and carries 127 on; the
  // next one, 128 - 12 x 127 / 32 = 81 per channel, is black.
  TQkDIB two = Make(24, {{0x808080, 0x808080}});
  two.SetPixelFormat(qkpfHalftoneBW);
  EXPECT_EQ(two.GetPixelFormat(), qkpf1Bit);
  EXPECT_EQ(two.Header().biClrUsed, 2u);
  EXPECT_EQ(TableColor(two, 0), 0u);
  EXPECT_EQ(TableColor(two, 1), kWhite);
  EXPECT_EQ(PixelValues(two), (Grid{{1, 0}}));

  TQkDIB grey = Make(24, Grid(8, std::vector<uint32_t>(8, 0x808080)));
  grey.SetPixelFormat(qkpfHalftoneBW);
  std::set<uint32_t> seen;
  int white = 0;
  for (const auto& row : PixelValues(grey))
    for (uint32_t v : row) seen.insert(v), white += int(v);
  EXPECT_EQ(seen, (std::set<uint32_t>{0, 1}));
  EXPECT_NEAR(white, 32, 8);  // about half

  TQkDIB black = Make(24, Grid(2, std::vector<uint32_t>(3, 0)));
  black.SetPixelFormat(qkpfHalftoneBW);
  EXPECT_EQ(PixelValues(black), Grid(2, std::vector<uint32_t>(3, 0)));
}

TEST(Halftone, ExtremeErrorsStayInsideTheLevelTables) {
  // Saturated colours side by side push the carried error to its limits.
  Grid rows;
  for (int y = 0; y < 16; ++y) {
    std::vector<uint32_t> row;
    for (int x = 0; x < 16; ++x) row.push_back((x + y) % 2 ? 0xFF00FF : 0x00FF00);
    rows.push_back(row);
  }
  TQkDIB colour = Make(24, rows), bw = Make(24, rows);
  colour.SetPixelFormat(qkpfHalftone);
  for (const auto& row : PixelValues(colour))
    for (uint32_t v : row) EXPECT_LT(v, 210u);
  bw.SetPixelFormat(qkpfHalftoneBW);
  EXPECT_EQ(bw.GetPixelFormat(), qkpf1Bit);
}

TEST(Halftone, PackedSourcesAreUnpackedFirst) {
  TQkDIB dib = LoadDIB(PackedFile(8, 4, 1, {0, kWhite}, std::string("\x04\x01\x00\x01", 4)).Build());
  dib.SetPixelFormat(qkpfHalftone);
  EXPECT_EQ(PixelValues(dib), (Grid{{209, 209, 209, 209}}));
}

}  // namespace
