// Pictures and image lists: the placeholder, loading through the DIB class,
// normalising a bitmap, and image lists from the resource module.
#include "TestSupport.h"
#include "controls/ImageList.h"
#include "core/ui/Pictures.h"
#include "image/QkDIB.h"
#include "platform/IniFile.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

using namespace qv;

namespace {

std::string Bitmap24(int w, int h, const std::vector<QRgb>& topDown) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.setPixel(x, y, topDown[size_t(y * w + x)]);
  TQkDIB dib;
  dib.Assign(image);
  std::ostringstream out(std::ios::binary);
  dib.SaveToStream(out);
  return out.str();
}

bool IsPlaceholder(const QImage& image) {
  return image.width() == 96 && image.height() == 72 && image.pixel(0, 0) == qRgb(128, 128, 128) &&
         image.pixel(95, 71) == qRgb(128, 128, 128) && image.pixel(48, 60) == qRgb(255, 255, 255);
}

TEST(Pictures, BrokenImagePlaceholder) {
  QImage image(10, 10, QImage::Format_RGB32);
  DrawBrokenImage(image);
  ASSERT_EQ(image.size(), QSize(96, 72));
  for (int x = 0; x < 96; ++x) {
    EXPECT_EQ(image.pixel(x, 0), qRgb(128, 128, 128));
    EXPECT_EQ(image.pixel(x, 71), qRgb(128, 128, 128));
  }
  for (int y = 0; y < 72; ++y) {
    EXPECT_EQ(image.pixel(0, y), qRgb(128, 128, 128));
    EXPECT_EQ(image.pixel(95, y), qRgb(128, 128, 128));
  }
  // The red "×" comes first, the black text after it; the rest is white.
  const int crossWidth = QFontMetrics(QPainter(&image).font()).horizontalAdvance(QStringLiteral("×"));
  int red = 0, blackAfterCross = 0, other = 0;
  for (int y = 1; y < 71; ++y)
    for (int x = 1; x < 95; ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() > 150 && c.green() < 100 && c.blue() < 100) {
        ++red;
        EXPECT_LE(x, crossWidth + 1);
      } else if (c.red() < 80 && c.green() < 80 && c.blue() < 80) {
        if (x > crossWidth) ++blackAfterCross;
      } else if (c != Qt::white && c.red() != c.green()) {
        ++other;
      }
    }
  EXPECT_GT(red, 3);
  EXPECT_GT(blackAfterCross, 20);
  EXPECT_EQ(image.pixel(48, 60), qRgb(255, 255, 255));
}

TEST(Pictures, TextIsLoadedAsThePlaceholder) {
  std::istringstream text("This is a text file, not a picture.\r\nSecond line.\r\n");
  QImage image;
  LoadBitmapFromStream(image, text);
  EXPECT_TRUE(IsPlaceholder(image));
  ASSERT_TRUE(image.save(QString::fromStdString(qvtest::ArtifactPath("broken_image.png").string())));
  QImage big = image.scaled(image.size() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  ASSERT_TRUE(big.save(QString::fromStdString(qvtest::ArtifactPath("broken_image_x4.png").string())));
}

TEST(Pictures, LoadsFromTheStreamsStart) {
  const std::string file = Bitmap24(2, 2, {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(1, 2, 3)});
  std::istringstream in(file);
  in.seekg(0, std::ios::end);  // whatever the position, the picture is read from the start
  QImage image;
  LoadBitmapFromStream(image, in);
  ASSERT_EQ(image.size(), QSize(2, 2));
  EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(1, 1), qRgb(1, 2, 3));

  std::istringstream cut(file.substr(0, file.size() - 3));
  LoadBitmapFromStream(image, cut);
  EXPECT_TRUE(IsPlaceholder(image));
  std::istringstream empty("");
  LoadBitmapFromStream(image, empty);
  EXPECT_TRUE(IsPlaceholder(image));
}

TEST(Pictures, PackedPicturesComeOutInTrueColour) {
  // 8-bit RLE, 32 x 2: the top row green then blue, the bottom row red.
  QImage indexed(32, 2, QImage::Format_Indexed8);
  indexed.setColorTable({qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)});
  indexed.fill(0);
  for (int x = 0; x < 32; ++x) indexed.setPixel(x, 0, x < 16 ? 1 : 2);
  TQkDIB dib;
  dib.Assign(indexed);
  dib.SetPixelFormat(qkpf8BitRLE);
  std::ostringstream file(std::ios::binary);
  dib.SaveToStream(file);
  std::istringstream in(file.str());
  QImage image;
  LoadBitmapFromStream(image, in);
  ASSERT_EQ(image.size(), QSize(32, 2));
  EXPECT_EQ(image.format(), QImage::Format_RGB32);
  EXPECT_EQ(image.pixel(0, 1), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(31, 1), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(15, 0), qRgb(0, 255, 0));
  EXPECT_EQ(image.pixel(16, 0), qRgb(0, 0, 255));
}

TEST(Pictures, ConvertViaDIBReducesTrueColourAndLeavesMonochrome) {
  QImage mono(5, 3, QImage::Format_Mono);
  mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  mono.fill(1);
  mono.setPixel(2, 1, 0);
  QImage monoCopy = mono;
  ConvertBitmapViaDIB(mono);
  EXPECT_EQ(mono.format(), QImage::Format_Mono);
  EXPECT_EQ(mono, monoCopy);

  QImage colour(3, 2, QImage::Format_RGB32);
  colour.fill(qRgb(200, 10, 10));
  colour.setPixel(1, 0, qRgb(10, 200, 10));
  colour.setPixel(2, 1, qRgb(10, 10, 200));
  const QImage before = colour;
  ConvertBitmapViaDIB(colour);
  EXPECT_EQ(colour.format(), QImage::Format_Indexed8);
  EXPECT_EQ(colour.colorCount(), 256);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(colour.pixel(x, y), before.pixel(x, y)) << x << "," << y;

  QImage indexed(2, 1, QImage::Format_Indexed8);
  indexed.setColorTable({qRgb(1, 1, 1), qRgb(9, 9, 9)});
  indexed.setPixel(0, 0, 1);
  indexed.setPixel(1, 0, 0);
  ConvertBitmapViaDIB(indexed);
  EXPECT_EQ(indexed.format(), QImage::Format_Indexed8);
  EXPECT_EQ(indexed.pixel(0, 0), qRgb(9, 9, 9));
  EXPECT_EQ(indexed.pixel(1, 0), qRgb(1, 1, 1));

  QImage none;
  ConvertBitmapViaDIB(none);
  EXPECT_TRUE(none.isNull());
}

// ---- image lists ---------------------------------------------------------

class ImageLists : public ::testing::Test {
 protected:
  qvtest::TempDir dir;
  qvtest::ScopedLauncherDir launcher{dir.path()};
  void UseModule(const std::filesystem::path& module, const std::string& name = "image.dll") {
    std::filesystem::copy_file(module, dir / name, std::filesystem::copy_options::overwrite_existing);
  }
};

int OpaqueInTopRow(const QImage& cell) {
  int n = 0;
  for (int x = 0; x < cell.width(); ++x) n += qAlpha(cell.pixel(x, 0)) == 255;
  return n;
}

TEST_F(ImageLists, CellsAreCutRowByRowAndTheRemainderIgnored) {
  UseModule(QV_STRIP_MODULE);
  TImageList list(16, 16);
  ASSERT_TRUE(LoadImageListFromDll("strip", list));  // names match without regard to case
  ASSERT_EQ(list.Count(), 12);  // 100 div 16 = 6 columns, 32 div 16 = 2 rows
  for (int k = 0; k < 12; ++k) {
    const QImage cell = list.Image(k);
    EXPECT_EQ(cell.size(), QSize(16, 16));
    EXPECT_EQ(OpaqueInTopRow(cell), k + 1) << k;
    EXPECT_EQ(cell.pixel(0, 0), qRgb(0, 0, 255)) << k;
    EXPECT_EQ(qAlpha(cell.pixel(15, 15)), 0) << k;  // magenta is transparent
  }
  TImageList wide(30, 20);
  ASSERT_TRUE(LoadImageListFromDll("STRIP", wide));
  EXPECT_EQ(wide.Count(), 3);  // 100 div 30 columns, 32 div 20 rows
}

TEST_F(ImageLists, WithoutAUsableBitmapTheListStaysAsItWas) {
  TImageList list(16, 16);
  list.Add(QImage(16, 16, QImage::Format_RGB32));
  EXPECT_FALSE(LoadImageListFromDll("STRIP", list));  // no module
  qvtest::WriteFile(dir / "image.dll", "not a module");
  EXPECT_FALSE(LoadImageListFromDll("STRIP", list));
  UseModule(QV_STRIP_MODULE);
  EXPECT_FALSE(LoadImageListFromDll("NOSUCH", list));
  EXPECT_FALSE(LoadImageListFromDll("BROKEN", list));
  EXPECT_FALSE(LoadImageListFromDll("DATA", list));  // not a bitmap
  EXPECT_EQ(list.Count(), 1);
}

TEST_F(ImageLists, TheModuleIsTheOneTheSettingsName) {
  UseModule(QV_STRIP_MODULE, "pictures.so");
  IniFile(launcher.ini()).WriteString("File", "ImageDllFile", "pictures.so");
  TImageList list(16, 16);
  EXPECT_TRUE(LoadImageListFromDll("STRIP", list));
  EXPECT_EQ(list.Count(), 12);
}

// The resource module of the app folder, drawn for this project.
TEST_F(ImageLists, TheAppFoldersModuleHoldsEveryList) {
  UseModule(qvtest::AppDir() / "image.dll");
  const struct {
    const char* name;
    int w, h, count;
  } lists[] = {{"CLIPICON", kClipIconWidth, kClipIconHeight, 40},
               {"MAILICON", kMailIconWidth, kMailIconHeight, 20},
               {"PICTEXT", kPicTextWidth, kPicTextHeight, 95},
               {"BUTTON", kButtonWidth, kButtonHeight, 7},
               {"NUMBER", kNumberWidth, kNumberHeight, 12}};
  int sheetHeight = 0;
  for (const auto& l : lists) sheetHeight += ((l.count + 15) / 16) * (l.h + 4) + 4;
  QImage sheet(16 * 28 + 4, sheetHeight, QImage::Format_RGB32);
  sheet.fill(qRgb(236, 233, 216));
  QPainter p(&sheet);
  int top = 4;
  for (const auto& l : lists) {
    SCOPED_TRACE(l.name);
    TImageList list(l.w, l.h);
    ASSERT_TRUE(LoadImageListFromDll(l.name, list));
    // Every cell the windows use is there and drawn on; unused ones are empty.
    ASSERT_GE(list.Count(), l.count);
    for (int i = 0; i < list.Count(); ++i) {
      int opaque = 0;
      const QImage cell = list.Image(i);
      for (int y = 0; y < cell.height(); ++y)
        for (int x = 0; x < cell.width(); ++x) opaque += qAlpha(cell.pixel(x, y)) == 255;
      if (i < l.count)
        EXPECT_GT(opaque, 4) << i;
      else
        EXPECT_EQ(opaque, 0) << i;
      if (i < l.count) list.Draw(p, QPoint(4 + (i % 16) * 28, top + (i / 16) * (l.h + 4)), i);
    }
    top += ((l.count + 15) / 16) * (l.h + 4) + 4;
  }
  p.end();
  sheet.scaled(sheet.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation)
      .save(QString::fromStdString(qvtest::ArtifactPath("resource_module_bitmaps.png").string()));
}

}  // namespace
