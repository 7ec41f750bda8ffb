// JPEG pictures in and out of the DIB.
#include "BmpBuilder.h"
#include "image/QkJPEG.h"
#include "JpegPhoto.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace qv;
using namespace qvtest;

namespace {

Grid Gradient(int w, int h) {
  Grid g;
  for (int y = 0; y < h; ++y) {
    std::vector<uint32_t> row;
    for (int x = 0; x < w; ++x) row.push_back(uint32_t(x * 255 / (w - 1)) << 16 | uint32_t(y * 255 / (h - 1)) << 8 | 0x80);
    g.push_back(row);
  }
  return g;
}

TQkDIB TrueColor(const Grid& topDown) { return MakeDIB(24, topDown); }

int MaxDifference(const Grid& a, const Grid& b) {
  int worst = 0;
  for (size_t y = 0; y < a.size(); ++y)
    for (size_t x = 0; x < a[y].size(); ++x)
      for (int shift : {0, 8, 16})
        worst = std::max(worst, std::abs(int((a[y][x] >> shift) & 0xFF) - int((b[y][x] >> shift) & 0xFF)));
  return worst;
}

std::string Jpeg(const TQkDIB& dib, int quality) {
  std::ostringstream out(std::ios::binary);
  SaveJPEGToStream(dib, out, quality);
  return out.str();
}

TQkDIB FromJpeg(const std::string& bytes) {
  std::istringstream in(bytes, std::ios::binary);
  TQkDIB dib;
  LoadJPEGFromStream(in, dib);
  return dib;
}

TEST(JPEG, RoundTripKeepsThePicture) {
  const Grid picture = Gradient(40, 24);
  const std::string bytes = Jpeg(TrueColor(picture), 95);
  ASSERT_GT(bytes.size(), 4u);
  EXPECT_EQ(uint8_t(bytes[0]), 0xFF);
  EXPECT_EQ(uint8_t(bytes[1]), 0xD8);
  TQkDIB back = FromJpeg(bytes);
  EXPECT_EQ(back.GetPixelFormat(), qkpf24Bit);
  EXPECT_EQ(back.GetWidth(), 40);
  EXPECT_EQ(back.GetHeight(), 24);
  EXPECT_GT(back.Header().biHeight, 0);
  EXPECT_LE(MaxDifference(PixelColors(back), picture), 12);
  // Lower quality, smaller file, the picture still there.
  const std::string small = Jpeg(TrueColor(picture), 10);
  EXPECT_LT(small.size(), bytes.size());
  EXPECT_LE(MaxDifference(PixelColors(FromJpeg(small)), picture), 80);
}

TEST(JPEG, ReadsWhatAnotherEncoderWrote) {
  QImage image(16, 8, QImage::Format_RGB32);
  image.fill(qRgb(30, 200, 90));
  for (int x = 0; x < 8; ++x)
    for (int y = 0; y < 8; ++y) image.setPixel(x, y, qRgb(220, 40, 40));
  image.setDotsPerMeterX(11811);  // 300 dpi
  image.setDotsPerMeterY(11811);
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(image.save(&buffer, "JPEG", 100));
  TQkDIB dib = FromJpeg(data.toStdString());
  ASSERT_EQ(dib.GetWidth(), 16);
  EXPECT_LE(MaxDifference({{PixelColor(dib, 2, 2), PixelColor(dib, 13, 5)}}, {{0xDC2828, 0x1EC85A}}), 10);
  EXPECT_NEAR(dib.Header().biXPelsPerMeter, 11811, 2);

  QImage grey(8, 8, QImage::Format_Grayscale8);
  grey.fill(100);
  data.clear();
  QBuffer greyBuffer(&data);
  greyBuffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(grey.save(&greyBuffer, "JPEG", 100));
  TQkDIB g = FromJpeg(data.toStdString());
  EXPECT_EQ(g.GetBitCount(), 24);
  EXPECT_LE(MaxDifference({{PixelColor(g, 4, 4)}}, {{0x646464}}), 2);
}

TEST(JPEG, PaletteDIBsAreWrittenInTheirColours) {
  Bmp b;
  b.bitCount = 8;
  b.width = 16;
  b.height = 16;
  b.colors = {0xFF0000, 0x0000FF};
  b.clrUsed = 2;
  Grid rows(16, std::vector<uint32_t>(16, 0));
  for (auto& row : rows) std::fill(row.begin() + 8, row.end(), 1);
  b.pixels = PackRows(8, rows);
  TQkDIB dib = LoadDIB(b.Build());
  TQkDIB back = FromJpeg(Jpeg(dib, 100));
  EXPECT_LE(MaxDifference({{PixelColor(back, 2, 8), PixelColor(back, 13, 8)}}, {{0xFF0000, 0x0000FF}}), 12);
  EXPECT_EQ(dib.GetPixelFormat(), qkpf8Bit);  // the source stays as it was
}

TEST(JPEG, DataThatIsNotAJpegIsRefusedAndTheImageKept) {
  TQkDIB dib = TrueColor({{0x123456}});
  const std::string good = Jpeg(TrueColor(Gradient(16, 16)), 90);
  for (const std::string& bad : {std::string("This is text, not a picture."), std::string(), good.substr(0, 20),
                                 std::string("\xFF\xD8\xFF\xD9", 4)}) {
    std::istringstream in(bad, std::ios::binary);
    const std::string message = MessageOf<EJPEG>([&] { LoadJPEGFromStream(in, dib); });
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(PixelColors(dib), (Grid{{0x123456}}));
  }
}

TEST(JPEG, APictureOfMorePixelsThanAllowedIsRefusedBeforeDecoding) {
  TQkDIB dib = TrueColor({{0x123456}});
  const std::string bytes = Jpeg(TrueColor(Gradient(40, 24)), 90);
  std::istringstream over(bytes, std::ios::binary);
  EXPECT_EQ(MessageOf<EJPEG>([&] { LoadJPEGFromStream(over, dib, 40 * 24 - 1); }), "JPEG image is too large");
  EXPECT_EQ(PixelColors(dib), (Grid{{0x123456}}));
  // The header's size counts, whatever the data holds: 60000 x 60000 claimed.
  std::string claimed = bytes;
  const size_t sof = claimed.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  for (size_t at : {sof + 5, sof + 7}) {
    claimed[at] = char(0xEA);
    claimed[at + 1] = char(0x60);
  }
  std::istringstream huge(claimed, std::ios::binary);
  EXPECT_EQ(MessageOf<EJPEG>([&] { LoadJPEGFromStream(huge, dib, int64_t(4096) * 4096); }), "JPEG image is too large");
  std::istringstream exact(bytes, std::ios::binary);
  LoadJPEGFromStream(exact, dib, 40 * 24);
  EXPECT_EQ(dib.GetWidth(), 40);
}

}  // namespace

// ---- camera photos: scales, parts, forms ------------------------------------

using qvtest::JpegForm;
using qvtest::PhotoJpeg;

TEST(JPEG, EveryFormOfPhotoDecodesAtEachScaleAndInPartsAsTheWholeDoes) {
  struct Form {
    const char* what;
    JpegForm form;
  };
  auto with = [](auto change) {
    JpegForm f;
    change(f);
    return f;
  };
  const Form forms[] = {
      {"4:2:0", {}},
      {"4:2:2", with([](JpegForm& f) { f.vSample = 1; })},
      {"4:4:4", with([](JpegForm& f) { f.hSample = f.vSample = 1; })},
      {"progressive", with([](JpegForm& f) { f.progressive = true; })},
      {"restart markers", with([](JpegForm& f) { f.restartRows = 1; })},
      {"EXIF", with([](JpegForm& f) { f.exif = true; })},
      {"greyscale", with([](JpegForm& f) { f.colour = JpegForm::kGrey; })},
      {"Adobe CMYK", with([](JpegForm& f) { f.colour = JpegForm::kAdobeCmyk; })},
  };
  const QSize photo(301, 233);
  for (const Form& f : forms) {
    const std::string bytes = PhotoJpeg(photo.width(), photo.height(), f.form);
    EXPECT_EQ(ReadJPEGSize(bytes), (TJPEGSize{301, 233})) << f.what;
    const bool grey = f.form.colour == JpegForm::kGrey;
    const QImage whole = LoadJPEGImage(bytes);
    ASSERT_EQ(whole.size(), photo) << f.what;
    EXPECT_LE(qvtest::PhotoDifference(whole, photo, grey), 12) << f.what;
    // The DIB and the window's picture are decoded alike.
    TQkDIB dib;
    LoadJPEGFromBytes(bytes, dib);
    EXPECT_EQ(dib.ToQImage(), whole) << f.what;
    for (int eighths = 1; eighths <= 8; ++eighths) {
      const QImage level = LoadJPEGImage(bytes, eighths);
      const TJPEGSize scaled = JPEGScaledSize(TJPEGSize{301, 233}, eighths);
      ASSERT_EQ(level.size(), QSize(scaled.Width, scaled.Height)) << f.what << " at " << eighths << "/8";
      EXPECT_LE(qvtest::PhotoDifference(level, photo, grey), 16) << f.what << " at " << eighths << "/8";
      // Parts, wherever they lie, are the pixels of the whole at that scale.
      const int w = level.width(), h = level.height();
      for (const QRect part : {QRect(0, 0, 1, 1), QRect(w / 3, h / 4, w / 3 + 1, h / 5 + 1), QRect(w - 5, h - 3, 5, 3),
                               QRect(1, h / 2, w - 1, 2), QRect(w / 2 + 3, 0, 1, h), QRect(0, 0, w, h)}) {
        const QImage piece = LoadJPEGImage(bytes, eighths, {part.x(), part.y(), part.width(), part.height()});
        EXPECT_EQ(piece, level.copy(part)) << f.what << " at " << eighths << "/8, part " << part.x() << ","
                                           << part.y() << " " << part.width() << "x" << part.height();
      }
    }
  }
}

TEST(JPEG, TheScaleForASizeIsTheLeastThatGivesIt) {
  const TJPEGSize photo{6000, 4000};
  struct Case {
    int64_t width, height;
    int eighths;
    TJPEGSize scaled;
  } cases[] = {
      {96, 72, 1, {750, 500}},     {750, 500, 1, {750, 500}},    {751, 10, 2, {1500, 1000}},
      {10, 1001, 3, {2250, 1500}}, {3000, 2000, 4, {3000, 2000}}, {5999, 1, 8, {6000, 4000}},
      {6000, 4000, 8, {6000, 4000}}, {9000, 9000, 8, {6000, 4000}}, {0, 0, 1, {750, 500}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JPEGScaleFor(photo, c.width, c.height), c.eighths) << c.width << "x" << c.height;
    EXPECT_EQ(JPEGScaledSize(photo, c.eighths), c.scaled) << c.width << "x" << c.height;
  }
  // Sides that do not divide are rounded up, as libjpeg does.
  EXPECT_EQ(JPEGScaledSize(TJPEGSize{301, 233}, 1), (TJPEGSize{38, 30}));
  EXPECT_EQ(JPEGScaledSize(TJPEGSize{1, 1}, 1), (TJPEGSize{1, 1}));
}

TEST(JPEG, APictureBeyondTheLimitIsToldWithItsSizeAndTheLimitBeforeAnyDecoding) {
  const std::string bytes = qvtest::ClaimedSize(PhotoJpeg(16, 16), 12000, 9000);
  EXPECT_EQ(ReadJPEGSize(bytes), (TJPEGSize{12000, 9000}));
  TQkDIB dib = TrueColor({{0x123456}});
  try {
    LoadJPEGFromBytes(bytes, dib, 1, {}, 100'000'000);
    FAIL() << "a picture of 108 million pixels was taken";
  } catch (const EJPEGTooLarge& e) {
    EXPECT_EQ(e.Size, (TJPEGSize{12000, 9000}));
    EXPECT_EQ(e.Limit, 100'000'000);
  }
  EXPECT_EQ(PixelColors(dib), (Grid{{0x123456}}));
  EXPECT_THROW(LoadJPEGImage(bytes, 8, {}, 100'000'000), EJPEGTooLarge);
  // A part outside the picture is no picture, and no header is no size.
  EXPECT_THROW(LoadJPEGImage(PhotoJpeg(16, 16), 8, {16, 0, 4, 4}), EJPEG);
  EXPECT_THROW(ReadJPEGSize("not a JPEG"), EJPEG);
}
