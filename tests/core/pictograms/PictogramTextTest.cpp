// Text with pictograms: rows within a width (blanks and double-byte
// characters are the places to break, a double-byte character is never
// split), and pictograms drawn as their images in the width of "00".
#include "core/ui/PictogramText.h"

#include "controls/ImageList.h"
#include "TestSupport.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>

using qvtest::Sjis;

namespace {

const std::vector<std::string> kTable = {"HEART=\xF0\x40", "STAR=\xF0\x41", "BAD=\xF0", "TWICE=\xF0\x40"};

struct Fixture {
  Fixture() : images(12, 12) {
    QImage red(12, 12, QImage::Format_ARGB32);
    red.fill(Qt::red);
    QImage blue(12, 12, QImage::Format_ARGB32);
    blue.fill(Qt::blue);
    images.Add(red);
    images.Add(blue);
    QFont font;
    font.setPixelSize(14);
    text.SetFont(font);
    text.SetTable(kTable);
    text.SetImages(&images);
  }
  // Room for s and less than a character more.
  int Width(const QString& s) const { return static_cast<int>(std::ceil(QFontMetricsF(text.Font()).horizontalAdvance(s))); }
  std::vector<std::string> Rows(const std::string& s, int width) const {
    std::vector<std::string> rows;
    for (const auto& r : text.Wrap(s, width)) rows.push_back(s.substr(r.begin, r.end - r.begin));
    return rows;
  }
  TImageList images;
  qv::PictogramText text;
};

TEST(PictogramText, RowsWithinAWidth) {
  Fixture f;
  const int pictogram = QFontMetrics(f.text.Font()).horizontalAdvance("00");
  struct Case {
    const char* name;
    std::string text;
    int width;
    std::vector<std::string> rows;
  } cases[] = {
      {"empty text is one empty row", "", 100, {""}},
      {"text that fits", "hello", 1000, {"hello"}},
      {"after the last blank", "hello world", f.Width("hello wor"), {"hello ", "world"}},
      {"a word longer than the row breaks anywhere", "abcdef", f.Width("abc"), {"abc", "def"}},
      {"before a double-byte character", Sjis("あいうえ"), f.Width("あい") + 1, {Sjis("あい"), Sjis("うえ")}},
      {"a word after double-byte text moves whole", Sjis("あ") + "word", f.Width("word"), {Sjis("あ"), "word"}},
      {"never inside a double-byte character", Sjis("あい"), 1, {Sjis("あ"), Sjis("い")}},
      {"a CR ends a row and the LF after it goes with it", "ab\r\ncd", 1000, {"ab", "cd"}},
      {"a pictogram is as wide as 00", "\xF0\x40\xF0\x41", 2 * pictogram, {"\xF0\x40\xF0\x41"}},
      {"one pixel less breaks between them", "\xF0\x40\xF0\x41", 2 * pictogram - 1, {"\xF0\x40", "\xF0\x41"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(f.Rows(c.text, c.width), c.rows);
    EXPECT_EQ(f.text.Height(c.text, c.width), static_cast<int>(c.rows.size()) * f.text.LineHeight());
  }
}

TEST(PictogramText, TheTableGivesTheImages) {
  Fixture f;
  EXPECT_EQ(f.text.PictogramAt("\xF0\x40", 0), 0);
  EXPECT_EQ(f.text.PictogramAt("\xF0\x41", 0), 1);
  EXPECT_EQ(f.text.PictogramAt("\xF0\x42", 0), -1) << "a code the table lacks is text";
  EXPECT_EQ(f.text.PictogramAt("a\xF0\x40", 0), -1);
  EXPECT_EQ(f.text.PictogramAt("\xF0", 0), -1) << "a lead byte at the end";
  f.text.SetImages(nullptr);
  EXPECT_EQ(f.text.PictogramAt("\xF0\x40", 0), -1) << "without images codes are text";
}

TEST(PictogramText, PictogramsAreDrawnAsTheirImages) {
  Fixture f;
  const int cell = QFontMetrics(f.text.Font()).horizontalAdvance("00");
  QImage canvas(200, 40, QImage::Format_RGB32);
  canvas.fill(Qt::white);
  {
    QPainter p(&canvas);
    f.text.Draw(p, QRect(0, 0, 200, 40), "\xF0\x40" "A\xF0\x41\xF0\x42", Qt::black);
  }
  auto count = [&](int x0, int x1, QRgb colour) {
    int n = 0;
    for (int y = 0; y < f.text.LineHeight(); ++y)
      for (int x = x0; x < x1; ++x) n += canvas.pixel(x, y) == colour;
    return n;
  };
  const int side = std::min(cell, f.text.LineHeight());
  EXPECT_GE(count(0, cell, qRgb(255, 0, 0)), side * side * 9 / 10) << "the first pictogram is its red image";
  const int a = f.Width("A");  // the blue cell starts within a pixel of this
  EXPECT_GE(count(cell + a, 2 * cell + a, qRgb(0, 0, 255)), side * side * 9 / 10) << "the second is blue";
  EXPECT_EQ(count(2 * cell + a, 200, qRgb(255, 0, 0)) + count(2 * cell + a, 200, qRgb(0, 0, 255)), 0)
      << "a code without an entry is not drawn as an image";
  canvas.save(QString::fromStdString(qvtest::ArtifactPath("pictogram-text.png").string()));
}

}  // namespace
