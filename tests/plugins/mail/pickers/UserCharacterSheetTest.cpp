// User-character sheets of any claimed height: rows past the cap are left
// out, and a packed sheet claiming more rows than that is not unpacked.
#include "plugins/mail/compose/MailPictures.h"

#include "controls/ImageList.h"
#include "image/QkDIB.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdint>
#include <sstream>
#include <string>

using namespace qv;

namespace {

std::string MonoSheet(int rows) {
  QImage sheet(96, rows * 12, QImage::Format_Mono);
  sheet.fill(1);
  // A mark in character 0 and in the last character taken.
  sheet.setPixel(3, 3, 0);
  TQkDIB dib;
  dib.Assign(sheet);
  std::ostringstream out(std::ios::binary);
  dib.SaveToStream(out);
  return out.str();
}

void Put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}

// An 8-bit run-length packed bitmap 96 wide claiming the given height, its
// pixels only the end-of-picture mark.
std::string PackedSheet(int height) {
  std::string s(14 + 40 + 8 + 2, '\0');
  s[0] = 'B';
  s[1] = 'M';
  Put32(s, 2, static_cast<uint32_t>(s.size()));
  Put32(s, 10, 14 + 40 + 8);
  Put32(s, 14, 40);
  Put32(s, 18, 96);
  Put32(s, 22, static_cast<uint32_t>(height));
  s[26] = 1;
  s[28] = 8;
  Put32(s, 30, 1);  // BI_RLE8
  Put32(s, 34, 2);
  Put32(s, 46, 2);
  s[54 + 4] = s[54 + 5] = s[54 + 6] = static_cast<char>(0xFF);  // palette: black, white
  s[62] = 0;
  s[63] = 1;
  return s;
}

}  // namespace

TEST(UserCharacterSheet, RowsBeyondTheCapAreLeftOut) {
  TImageList images(12, 12);
  struct Case {
    int rows;
    int characters;
  } cases[] = {{1, 8}, {2, 16}, {kMaxUserCharacterRows, 8 * kMaxUserCharacterRows},
               {kMaxUserCharacterRows + 1, 8 * kMaxUserCharacterRows}, {1500, 8 * kMaxUserCharacterRows}};
  for (const Case& c : cases) {
    ASSERT_TRUE(LoadUserCharacters("OPTCHAR.DAT", MonoSheet(c.rows), &images));
    EXPECT_EQ(images.Count(), c.characters) << c.rows;
    // Character 0 keeps its mark: the sheet is cut at the bottom, not the top.
    EXPECT_EQ(images.Image(0).pixelColor(3, 3), QColor(Qt::black)) << c.rows;
    EXPECT_EQ(images.Image(0).pixelColor(4, 3), QColor(Qt::white)) << c.rows;
  }
}

TEST(UserCharacterSheet, APackedSheetClaimingMoreRowsIsNotUnpacked) {
  TImageList images(12, 12);
  images.Add(QImage(12, 12, QImage::Format_RGB32));
  // Within the cap a packed sheet is read as any other.
  ASSERT_TRUE(LoadUserCharacters("OPTCHAR.DAT", PackedSheet(24), &images));
  EXPECT_EQ(images.Count(), 16);
  // Beyond it: no characters (and no gigabytes of pixels).
  for (int height : {12 * kMaxUserCharacterRows + 12, 10'000'000, -10'000'000}) {
    ASSERT_TRUE(LoadUserCharacters("OPTCHAR.DAT", PackedSheet(height), &images));
    EXPECT_EQ(images.Count(), 0) << height;
  }
}
