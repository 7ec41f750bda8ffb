// The DIB class: storage, copy on write, size and depth, palettes, assignment.
#include "BmpBuilder.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qvtest;

namespace {

TQkDIB Picture8() {
  Bmp b;
  b.bitCount = 8;
  b.width = 3;
  b.height = 2;
  b.colors = {0x112233, 0x445566, 0x778899};
  b.clrUsed = 3;
  b.pixels = PackRows(8, {{0, 1, 2}, {2, 1, 0}});
  return LoadDIB(b.Build());
}

TEST(DIBClass, NewDIBIsOneBlackPixelOf256Colours) {
  TQkDIB dib;
  EXPECT_EQ(dib.GetWidth(), 1);
  EXPECT_EQ(dib.GetHeight(), 1);
  EXPECT_EQ(dib.GetBitCount(), 8);
  EXPECT_EQ(dib.GetPixelFormat(), qkpf8Bit);
  EXPECT_FALSE(dib.GetEmpty());
  EXPECT_TRUE(dib.GetUseFMO());
  EXPECT_EQ(dib.Header().biClrUsed, 256u);
  EXPECT_EQ(dib.Header().biSize, 40u);
  EXPECT_EQ(dib.Header().biXPelsPerMeter, 3780);
  EXPECT_EQ(dib.Header().biYPelsPerMeter, 3780);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(TableColor(dib, i), 0u);
  EXPECT_EQ(PixelValue(dib, 0, 0), 0u);
  EXPECT_EQ(dib.ConvertMode(), 0);
  EXPECT_EQ(dib.MaskColor(), 0xFFFFFFu);
  EXPECT_EQ(dib.HalftoneMode(), 0);
  EXPECT_EQ(dib.GetClipboardFormat(), 8);
}

TEST(DIBClass, CreateDIBBuildsABlankImageOrRefusesItsParameters) {
  TQkInternalDIB storage(false);
  storage.CreateDIB(3, -2, 16, 4);
  const TQkBitmapInfoHeader& h = storage.Image.Header;
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 3);
  EXPECT_EQ(h.biHeight, -2);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biBitCount, 4);
  EXPECT_EQ(h.biCompression, 0u);
  EXPECT_EQ(h.biClrUsed, 16u);
  EXPECT_EQ(storage.Image.BitsSize, 8u);
  EXPECT_EQ(storage.Width, 3);
  EXPECT_EQ(storage.Height, 2);
  EXPECT_TRUE(storage.PaletteModified);
  const struct {
    int32_t w, h, c;
    int b;
  } bad[] = {{0, 1, 0, 8},  {-1, 1, 0, 8},  {1, 0, 0, 8},  {1, 1, -1, 8},          {1, 1, 257, 8},
             {1, 1, 0, 2},  {1, 1, 0, 16},  {1, 1, 0, 32}, {100000, 100000, 0, 24}, {0x7FFFFFFF, -0x7FFFFFFF, 0, 1}};
  for (const auto& p : bad) {
    SCOPED_TRACE(std::to_string(p.w) + "x" + std::to_string(p.h) + " " + std::to_string(p.c) + " " + std::to_string(p.b));
    EXPECT_EQ(MessageOf<EQkDIBInvalidDIBPara>([&] { storage.CreateDIB(p.w, p.h, p.c, p.b); }),
              "TQkInternalDIB.CreateDIB: Invalid Parameters");
    EXPECT_EQ(storage.Image.Header.biWidth, 3);  // the old image stays
  }
}

TEST(DIBClass, CopiesSharePixelsUntilOneChanges) {
  TQkDIB a = Picture8();
  const Grid pixels = PixelColors(a);
  TQkDIB b;
  b.Assign(a);
  TQkDIB c(a);
  EXPECT_EQ(a.RefCount(), 3);
  EXPECT_EQ(b.Bits(), a.Bits());
  EXPECT_EQ(c.Bits(), a.Bits());

  b.SetPalette(MakePalette({{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}}));
  EXPECT_NE(b.Bits(), a.Bits());
  EXPECT_EQ(PixelColors(a), pixels);
  EXPECT_EQ(PixelColors(c), pixels);
  EXPECT_EQ(PixelColors(b), (Grid{{0x0000FF, 0x00FF00, 0xFF0000}, {0xFF0000, 0x00FF00, 0x0000FF}}));

  c.SetPixelFormat(qkpf24Bit);
  EXPECT_EQ(a.GetPixelFormat(), qkpf8Bit);
  EXPECT_EQ(PixelColors(a), pixels);
  EXPECT_EQ(PixelColors(c), pixels);
  EXPECT_EQ(a.RefCount(), 1);
}

TEST(DIBClass, AssignCopiesTheSettingsAndSharesTheStorage) {
  TQkDIB a = Picture8();
  a.SetMaskColor(0x00FF00);
  a.SetConvertMode(1);
  a.SetHalftoneMode(2);
  TQkDIB b;
  int changes = 0;
  b.OnChange = [&](TQkGraphic&) { ++changes; };
  b.Assign(a);
  EXPECT_EQ(b.MaskColor(), 0x00FF00u);
  EXPECT_EQ(b.ConvertMode(), 1);
  EXPECT_EQ(b.HalftoneMode(), 2);
  EXPECT_TRUE(b.PaletteModified());
  EXPECT_TRUE(b.Modified());
  EXPECT_EQ(changes, 1);
  b.Assign(b);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(a.RefCount(), 2);

  b.Assign(nullptr);
  EXPECT_EQ(a.RefCount(), 1);
  EXPECT_EQ(b.GetWidth(), 1);
  EXPECT_EQ(b.GetBitCount(), 8);
  EXPECT_EQ(b.Header().biClrUsed, 256u);
  EXPECT_EQ(changes, 2);
}

TEST(DIBClass, UpdatePaletteModifiedRefusesSharedStorage) {
  TQkDIB a = Picture8();
  TQkDIB b(a);
  EXPECT_EQ(MessageOf<EAssertionFailed>([&] { a.UpdatePaletteModified(); }),
            "TQkDIB.UpdatePaletteModified RefCount Must be 1");
  b.UniqueDIB();
  EXPECT_NO_THROW(a.UpdatePaletteModified());
}

TEST(DIBClass, WidthHeightAndDepth) {
  TQkDIB dib = Picture8();
  const std::string width = "TQkDIB.SetWidth: Invalid Width";
  EXPECT_EQ(MessageOf<EQkDIBInvalidDIBPara>([&] { dib.SetWidth(0); }), width);
  EXPECT_EQ(MessageOf<EQkDIBInvalidDIBPara>([&] { dib.SetWidth(-1); }), width);
  EXPECT_THROW(dib.SetHeight(0), EQkDIBInvalidDIBPara);
  EXPECT_EQ(MessageOf<EQkDIBInvalidDIBPara>([&] { dib.SetBitCount(3); }), "TQkDIB.SetBitCount: Invalid BitCount");
  EXPECT_THROW(dib.SetBitCount(16), EQkDIBInvalidDIBPara);
  EXPECT_EQ(PixelValues(dib), (Grid{{2, 1, 0}, {0, 1, 2}}));

  // The current size keeps the pixels.
  dib.SetWidth(3);
  dib.SetHeight(2);
  dib.SetBitCount(8);
  EXPECT_EQ(PixelValues(dib), (Grid{{2, 1, 0}, {0, 1, 2}}));
  EXPECT_EQ(TableColor(dib, 1), 0x445566u);

  // Any other size makes a blank image with the other values kept.
  dib.SetWidth(5);
  EXPECT_EQ(dib.GetWidth(), 5);
  EXPECT_EQ(dib.GetHeight(), 2);
  EXPECT_EQ(dib.Header().biClrUsed, 3u);
  EXPECT_EQ(PixelValues(dib), Grid(2, std::vector<uint32_t>(5, 0)));
  EXPECT_EQ(TableColor(dib, 1), 0u);

  dib.SetHeight(-10);
  EXPECT_EQ(dib.GetHeight(), 10);
  EXPECT_EQ(dib.Header().biHeight, -10);
  EXPECT_EQ(dib.BitsSize(), 80u);

  dib.SetBitCount(4);
  EXPECT_EQ(dib.GetPixelFormat(), qkpf4Bit);
  EXPECT_EQ(dib.Header().biClrUsed, 16u);
  EXPECT_EQ(dib.Header().biHeight, -10);
  dib.SetBitCount(24);
  EXPECT_EQ(dib.Header().biClrUsed, 0u);
  dib.SetBitCount(1);
  EXPECT_EQ(dib.Header().biClrUsed, 2u);
  EXPECT_EQ(dib.BitsSize(), 40u);
}

TEST(DIBClass, PalettesFromAndIntoTheColourTable) {
  TQkDIB dib = Picture8();
  TQkPalette own = dib.GetPalette();
  ASSERT_TRUE(own);
  EXPECT_EQ(*own, (std::vector<TQkPaletteEntry>{{0x11, 0x22, 0x33, 0}, {0x44, 0x55, 0x66, 0}, {0x77, 0x88, 0x99, 0}}));
  EXPECT_EQ(dib.GetPalette(), own);  // made once and kept

  std::vector<TQkPaletteEntry> twenty;
  for (uint8_t i = 0; i < 20; ++i) twenty.push_back({i, uint8_t(i * 2), uint8_t(i * 3), 0});
  TQkPalette p = MakePalette(twenty);
  dib.SetPalette(p);
  EXPECT_EQ(dib.Header().biClrUsed, 20u);
  EXPECT_EQ(TableColor(dib, 19), 0x132639u);
  EXPECT_EQ(dib.GetPalette(), p);
  EXPECT_TRUE(dib.Modified());

  dib.SetPalette(MakePalette(std::vector<TQkPaletteEntry>(300, {9, 9, 9, 0})));
  EXPECT_EQ(dib.Header().biClrUsed, 256u);

  dib.SetPalette(nullptr);
  EXPECT_EQ(dib.Header().biClrUsed, 0u);
  EXPECT_FALSE(dib.GetPalette());

  EXPECT_EQ(MessageOf<EQkDIBInvalidPalette>([&] { dib.SetPalette(MakePalette({})); }),
            "TQkDIB.SetPalette: Invalid Palette");

  Bmp b;
  b.pixels = PackRows(24, {{0}});
  EXPECT_FALSE(LoadDIB(b.Build()).GetPalette());
}

TEST(DIBClass, HalftoneModesGiveTheSharedPalettes) {
  TQkDIB dib = Picture8();
  dib.SetHalftoneMode(1);
  TQkPalette halftone = dib.GetPalette();
  ASSERT_TRUE(halftone);
  ASSERT_EQ(halftone->size(), 215u);
  EXPECT_EQ((*halftone)[0], (TQkPaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ((*halftone)[1 * 35 + 2 * 5 + 3], (TQkPaletteEntry{51, 85, 192, 0}));
  EXPECT_EQ((*halftone)[209], (TQkPaletteEntry{255, 255, 255, 0}));
  EXPECT_EQ((*halftone)[210], (TQkPaletteEntry{128, 0, 0, 0}));
  EXPECT_EQ((*halftone)[211], (TQkPaletteEntry{128, 128, 0, 0}));
  EXPECT_EQ((*halftone)[212], (TQkPaletteEntry{128, 0, 128, 0}));
  EXPECT_EQ((*halftone)[213], (TQkPaletteEntry{192, 192, 192, 0}));
  EXPECT_EQ((*halftone)[214], (TQkPaletteEntry{128, 128, 128, 0}));
  TQkDIB other;
  other.SetHalftoneMode(1);
  EXPECT_EQ(other.GetPalette(), halftone);  // one palette for every DIB
  dib.SetHalftoneMode(2);
  EXPECT_EQ(*dib.GetPalette(), (std::vector<TQkPaletteEntry>{{0, 0, 0, 0}, {255, 255, 255, 0}}));
  dib.SetHalftoneMode(0);
  EXPECT_EQ(dib.GetPalette()->size(), 3u);
}

TEST(DIBClass, HeapStorageIsInheritedByLaterImages) {
  SetDefaultUseFMO(false);
  TQkDIB dib;
  SetDefaultUseFMO(true);
  EXPECT_FALSE(dib.GetUseFMO());
  dib.LoadFromStream(*std::make_unique<std::istringstream>(SaveDIB(Picture8())));
  EXPECT_FALSE(dib.GetUseFMO());
  dib.SetWidth(9);
  dib.SetPixelFormat(qkpf24Bit);
  EXPECT_FALSE(dib.GetUseFMO());
  EXPECT_TRUE(TQkDIB().GetUseFMO());
}

}  // namespace
