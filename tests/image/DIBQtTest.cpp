// The DIB at the Qt edge: QImage in and out, drawing, the canvas, the clipboard.
#include "BmpBuilder.h"
#include "image/QkDIBCanvas.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <gtest/gtest.h>

#include <set>

using namespace qv;
using namespace qvtest;

namespace {

Grid ImageColors(const QImage& image) {
  Grid g;
  for (int y = 0; y < image.height(); ++y) {
    std::vector<uint32_t> row;
    for (int x = 0; x < image.width(); ++x) row.push_back(image.pixel(x, y) & 0xFFFFFF);
    g.push_back(row);
  }
  return g;
}

TQkDIB Make(uint16_t bits, const Grid& topDown, std::vector<uint32_t> colors = {}, bool storedTopDown = false) {
  return MakeDIB(bits, topDown, std::move(colors), storedTopDown);
}

const uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

TEST(DIBQt, ToQImageShowsEveryDepth) {
  std::vector<uint32_t> sixteen(16, 0x101010);
  sixteen[5] = kGreen;
  const struct {
    const char* name;
    TQkDIB dib;
    QImage::Format format;
  } cases[] = {
      {"1", Make(1, {{1, 0, 1}, {0, 1, 1}}, {kRed, kBlue}), QImage::Format_Mono},
      {"4", Make(4, {{5, 0, 5}, {0, 5, 15}}, sixteen), QImage::Format_Indexed8},
      {"8", Make(8, {{2, 1}, {0, 2}}, {kRed, kGreen, kBlue}), QImage::Format_Indexed8},
      {"24", Make(24, {{kRed, kGreen}, {kBlue, 0x123456}}), QImage::Format_RGB32},
      {"24_top_down", Make(24, {{kRed, kGreen}, {kBlue, 0x123456}}, {}, true), QImage::Format_RGB32},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QImage image = c.dib.ToQImage();
    EXPECT_EQ(image.format(), c.format);
    EXPECT_EQ(ImageColors(image), PixelColors(c.dib));
  }
  TQkDIB packed = Make(8, {std::vector<uint32_t>(32, 1), std::vector<uint32_t>(32, 2)}, {kRed, kGreen, kBlue});
  const Grid colors = PixelColors(packed);
  packed.SetPixelFormat(qkpf8BitRLE);
  ASSERT_EQ(packed.GetPixelFormat(), qkpf8BitRLE);
  EXPECT_EQ(ImageColors(packed.ToQImage()), colors);
}

TEST(DIBQt, AssignFromQImageKeepsIndexedDepthsAndMakesTheRest24Bits) {
  QImage rgb(3, 2, QImage::Format_RGB16);
  rgb.fill(QColor(255, 0, 0));
  rgb.setPixel(1, 0, qRgb(0, 0, 255));
  QImage argb(2, 1, QImage::Format_ARGB32);
  argb.setPixel(0, 0, qRgba(10, 20, 30, 255));
  argb.setPixel(1, 0, qRgba(200, 100, 50, 255));
  QImage mono(9, 2, QImage::Format_MonoLSB);
  mono.setColorTable({qRgb(1, 2, 3), qRgb(250, 251, 252)});
  mono.fill(0);
  mono.setPixel(8, 1, 1);
  QImage indexed(2, 2, QImage::Format_Indexed8);
  indexed.setColorTable({qRgb(9, 9, 9), qRgb(0, 200, 0), qRgb(7, 7, 7)});
  indexed.fill(1);
  indexed.setPixel(0, 1, 2);
  const struct {
    const char* name;
    QImage image;
    int bits;
    uint32_t clrUsed;
  } cases[] = {
      {"rgb16", rgb, 24, 0}, {"argb32", argb, 24, 0}, {"mono", mono, 1, 2}, {"indexed", indexed, 8, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TQkDIB dib;
    dib.Assign(c.image);
    EXPECT_EQ(dib.GetBitCount(), c.bits);
    EXPECT_EQ(dib.Header().biClrUsed, c.clrUsed);
    EXPECT_GT(dib.Header().biHeight, 0);
    EXPECT_EQ(dib.Header().biXPelsPerMeter, 3780);
    EXPECT_EQ(PixelColors(dib), ImageColors(c.image));
    QImage back;
    dib.AssignTo(back);
    EXPECT_EQ(ImageColors(back), ImageColors(c.image));
  }
  TQkDIB dib;
  EXPECT_THROW(dib.Assign(QImage()), EQkDIBInvalidDIBPara);
  EXPECT_EQ(dib.GetWidth(), 1);
}

TEST(DIBQt, DrawStretchesColourOnColour) {
  TQkDIB dib = Make(24, {{kRed, kGreen}, {kBlue, kWhite}});
  QImage target(6, 4, QImage::Format_RGB32);
  target.fill(Qt::black);
  {
    QPainter p(&target);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    dib.Draw(p, QRect(1, 0, 4, 4));
    EXPECT_TRUE(p.testRenderHint(QPainter::SmoothPixmapTransform));  // restored
  }
  EXPECT_EQ(ImageColors(target), (Grid{{0, kRed, kRed, kGreen, kGreen, 0},
                                       {0, kRed, kRed, kGreen, kGreen, 0},
                                       {0, kBlue, kBlue, kWhite, kWhite, 0},
                                       {0, kBlue, kBlue, kWhite, kWhite, 0}}));
}

TEST(DIBQt, HalftoneDrawUsesOnlyHalftoneColours) {
  Grid rows;
  for (int y = 0; y < 8; ++y) {
    std::vector<uint32_t> row;
    for (int x = 0; x < 8; ++x) row.push_back(uint32_t(x * 32) << 16 | uint32_t(y * 32) << 8 | 0x40);
    rows.push_back(row);
  }
  TQkDIB dib = Make(24, rows);
  dib.SetHalftoneMode(1);
  QImage target(16, 16, QImage::Format_RGB32);
  target.fill(qRgb(1, 2, 3));
  {
    QPainter p(&target);
    dib.Draw(p, QRect(0, 0, 0, 16));  // empty: nothing drawn
  }
  EXPECT_EQ(ImageColors(target), Grid(16, std::vector<uint32_t>(16, 0x010203)));
  {
    QPainter p(&target);
    dib.Draw(p, QRect(0, 0, 16, 16));
  }
  std::set<uint32_t> halftone;
  for (const TQkRGBQuad& c : HalftoneColors()) halftone.insert(uint32_t(c.rgbRed) << 16 | c.rgbGreen << 8 | c.rgbBlue);
  std::set<uint32_t> seen;
  for (const auto& row : ImageColors(target))
    for (uint32_t c : row) {
      EXPECT_TRUE(halftone.count(c)) << std::hex << c;
      seen.insert(c);
    }
  EXPECT_GT(seen.size(), 8u);
  EXPECT_EQ(dib.HalftoneMode(), 1);
  EXPECT_EQ(dib.GetPixelFormat(), qkpf24Bit);

  dib.SetHalftoneMode(2);
  {
    QPainter p(&target);
    dib.Draw(p, QRect(0, 0, 16, 16));
  }
  for (const auto& row : ImageColors(target))
    for (uint32_t c : row) EXPECT_TRUE(c == 0 || c == kWhite) << std::hex << c;
}

TEST(DIBQtCanvas, DrawsStraightIntoTrueColourPixels) {
  for (bool topDown : {false, true}) {
    SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
    TQkDIB dib = Make(24, Grid(3, std::vector<uint32_t>(4, 0)), {}, topDown);
    int changes = 0;
    dib.OnChange = [&](TQkGraphic&) { ++changes; };
    const uint8_t* bits = dib.Bits();
    {
      TQkDIBCanvas canvas(&dib);
      canvas->fillRect(QRect(0, 0, 2, 1), QColor(255, 0, 0));
      canvas->fillRect(QRect(3, 2, 1, 1), QColor(0, 0, 255));
      // Drawn straight into the DIB: visible before the canvas ends.
      EXPECT_EQ(PixelColor(dib, 1, 0), kRed);
      EXPECT_EQ(changes, 0);
    }
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(dib.Bits(), bits);
    EXPECT_EQ(PixelColors(dib), (Grid{{kRed, kRed, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, kBlue}}));
  }
}

TEST(DIBQtCanvas, DrawingOnACopyLeavesTheOriginal) {
  TQkDIB original = Make(24, Grid(2, std::vector<uint32_t>(2, kGreen)));
  TQkDIB copy(original);
  {
    TQkDIBCanvas canvas(&copy);
    canvas->fillRect(QRect(0, 0, 2, 2), Qt::white);
  }
  EXPECT_EQ(PixelColors(original), Grid(2, std::vector<uint32_t>(2, kGreen)));
  EXPECT_EQ(PixelColors(copy), Grid(2, std::vector<uint32_t>(2, kWhite)));
}

TEST(DIBQtCanvas, PaletteDIBsTakeTheNearestColour) {
  // Entries 0 and 3 are both black: untouched pixels keep their entry.
  TQkDIB dib = Make(8, {{3, 3, 3}, {0, 1, 2}}, {0x000000, 0xFF0000, 0x0000FF, 0x000000});
  {
    TQkDIBCanvas canvas(&dib);
    canvas->fillRect(QRect(0, 0, 1, 1), QColor(250, 10, 10));  // nearest red
    canvas->fillRect(QRect(1, 0, 1, 1), QColor(0, 0, 255));    // blue exactly
  }
  EXPECT_EQ(PixelValues(dib), (Grid{{1, 2, 3}, {0, 1, 2}}));

  TQkDIB one = Make(1, Grid(2, std::vector<uint32_t>(10, 0)), {0x000000, 0xFFFFFF});
  {
    TQkDIBCanvas canvas(&one);
    canvas->fillRect(QRect(8, 1, 2, 1), QColor(200, 200, 200));
  }
  EXPECT_EQ(PixelValues(one), (Grid{std::vector<uint32_t>(10, 0), {0, 0, 0, 0, 0, 0, 0, 0, 1, 1}}));

  std::vector<uint32_t> sixteen(16, 0x808080);
  sixteen[9] = kGreen;
  TQkDIB four = Make(4, {{0, 0, 0}}, sixteen);
  {
    TQkDIBCanvas canvas(&four);
    canvas->fillRect(QRect(1, 0, 2, 1), QColor(0, 240, 0));
  }
  EXPECT_EQ(PixelValues(four), (Grid{{0, 9, 9}}));
}

TEST(DIBQtCanvas, RefusesWhatItCannotDrawInto) {
  const std::string failed = "TQkDIBCanvas.Create: Cannot Create Canvas";
  EXPECT_EQ(MessageOf<EQkDIBCanvasFailed>([] { TQkDIBCanvas c(nullptr); }), failed);
  SetDefaultUseFMO(false);
  TQkDIB heap;
  SetDefaultUseFMO(true);
  EXPECT_EQ(MessageOf<EQkDIBCanvasFailed>([&] { TQkDIBCanvas c(&heap); }), failed);
  TQkDIB packed = Make(8, {std::vector<uint32_t>(32, 1)}, {0, kRed});
  packed.SetPixelFormat(qkpf8BitRLE);
  EXPECT_EQ(MessageOf<EOutOfResources>([&] { TQkDIBCanvas c(&packed); }), "TQkDIBCanvas.Create: Cannot Create Memory DC");
}

TEST(DIBQtClipboard, RoundTripsThroughTheSystemClipboard) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  TQkDIB dib = Make(8, {{2, 1}, {0, 2}}, {kRed, kGreen, kBlue});
  dib.AssignTo(*clipboard);
  const QMimeData* mime = clipboard->mimeData();
  ASSERT_TRUE(mime);
  ASSERT_TRUE(mime->hasFormat("image/bmp"));
  EXPECT_EQ(mime->data("image/bmp").toStdString(), SaveDIB(dib));
  EXPECT_TRUE(mime->hasImage());

  TQkDIB back;
  back.Assign(*clipboard);
  EXPECT_EQ(back.GetPixelFormat(), qkpf8Bit);
  EXPECT_EQ(PixelValues(back), PixelValues(dib));

  // A picture put there by another program is read as the system would make a DIB of it.
  QImage picture(2, 1, QImage::Format_RGB32);
  picture.setPixel(0, 0, qRgb(1, 2, 3));
  picture.setPixel(1, 0, qRgb(4, 5, 6));
  auto* other = new QMimeData;
  other->setImageData(picture);
  clipboard->setMimeData(other);
  back.Assign(*clipboard);
  EXPECT_EQ(back.GetBitCount(), 24);
  EXPECT_EQ(PixelColors(back), (Grid{{0x010203, 0x040506}}));

  clipboard->setText("not a picture");
  EXPECT_EQ(MessageOf<EInvalidGraphic>([&] { back.Assign(*clipboard); }),
            "TQkDIB.LoadFromClipboardFormat: Invalid Clipboard Format or No Data");
  EXPECT_EQ(PixelColors(back), (Grid{{0x010203, 0x040506}}));
}

}  // namespace
