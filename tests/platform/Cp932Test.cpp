#include "platform/Cp932.h"

#include <gtest/gtest.h>

using namespace qv::cp932;

TEST(Cp932, DecodesAndEncodesJapaneseText) {
  std::string sjis = "\x83\x81\x81\x5B\x83\x8B";  // メール
  EXPECT_EQ(ToUtf8(sjis), "メール");
  EXPECT_EQ(FromUtf8("メール"), sjis);
  EXPECT_EQ(FromUtf8("ｱｲ"), "\xB1\xB2");
}

TEST(Cp932, UserDefinedCodesMapToPrivateUse) {
  EXPECT_EQ(ToUtf8("\xF0\x40"), "\xEE\x80\x80");  // U+E000
  EXPECT_EQ(FromUtf8("\xEE\x80\x80"), "\xF0\x40");
  EXPECT_EQ(ToUtf8("\xF9\xFC"), "\xEE\x9D\x97");  // U+E757
}

TEST(Cp932, BadBytesAreReplacedNotDropped) {
  EXPECT_EQ(ToUtf8("a\x80z"), "a\xEF\xBF\xBDz");
  EXPECT_EQ(ToUtf8("a\x82"), "a\xEF\xBF\xBD");  // lead byte at the end
  EXPECT_EQ(FromUtf8("a\xF0\x9F\x98\x80z"), "a?z");  // emoji has no CP932 code
}

TEST(Cp932, TypedTextIsEncodedWithoutSubstitutes) {
  struct Case {
    const char* utf8;
    bool ok;
    std::string cp932;
  } cases[] = {{"abc", true, "abc"},
               {"メール?", true, "\x83\x81\x81\x5B\x83\x8B?"},
               {"a\xF0\x9F\x98\x80z", false, ""},
               {"\xC3\xA9", false, ""},
               {"a\xFFz", false, ""},
               {"", true, ""}};
  for (const Case& c : cases) {
    std::string out = "old";
    EXPECT_EQ(TryFromUtf8(c.utf8, out), c.ok) << c.utf8;
    EXPECT_EQ(out, c.cp932) << c.utf8;
  }
}

TEST(Cp932, TrailPositions) {
  std::string s = "a\x83\x5C" "b";  // ソ has trail byte 0x5C, a backslash
  EXPECT_FALSE(IsTrailPosition(s, 0));
  EXPECT_FALSE(IsTrailPosition(s, 1));
  EXPECT_TRUE(IsTrailPosition(s, 2));
  EXPECT_FALSE(IsTrailPosition(s, 3));
}

TEST(Cp932, ALeadByteTakesOnlyATrailByteAfterIt) {
  struct Case {
    std::string text;
    size_t length;
  } cases[] = {
      {"\x81\x40", 2}, {"\x81\x7E", 2}, {"\x81\x80", 2}, {"\xFC\xFC", 2}, {"\x83\x5C", 2},
      {"\x81\x3F", 1}, {"\x81\x7F", 1}, {"\x81\xFD", 1}, {"\x81/", 1},    {"\x81\"", 1},
      {"\x81,", 1},     {"\x81\r", 1},   {"\x81", 1},     {"\xA0\x40", 1}, {"a\x40", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(CharLength(c.text, 0), c.length) << testing::PrintToString(c.text);
  EXPECT_FALSE(IsTrailPosition("\x81/x", 1));
}
