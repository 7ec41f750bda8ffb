#include "core/data/TextFunctions.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace qv;
using qvtest::Sjis;

TEST(TextFunctions, GetFieldAndCountDelims) {
  struct Case {
    std::string s, delim;
    int index;
    std::string field;
  } cases[] = {
      {"a;b;c", ";", 0, "a"},
      {"a;b;c", ";", 1, "b"},
      {"a;b;c", ";", 2, "c"},
      {"a;b;c", ";", 3, ""},
      {"a;b;c", ";", -1, ""},
      {"a::b::", "::", 1, "b"},
      {"a::b::", "::", 2, ""},
      {"", ";", 0, ""},
      // ソ is 83 5C and ー is 81 5B: their trail bytes are no delimiters.
      {"\x83\x5C\\x\\y", "\\", 1, "x"},
      {"\x83\x5C\\x\\y", "\\", 0, "\x83\x5C"},
      {"\x81\x5B[a[", "[", 1, "a"},
  };
  for (const auto& c : cases) EXPECT_EQ(GetField(c.s, c.delim, c.index), c.field) << c.s << " " << c.index;
  EXPECT_EQ(CountDelims("a;b;c", ";"), 2);
  EXPECT_EQ(CountDelims("aaaa", "aa"), 2);
  EXPECT_EQ(CountDelims("\x83\x5C\x83\x5C", "\\"), 0);
  EXPECT_EQ(CountDelims("abc", ""), 0);
}

TEST(TextFunctions, FullWidth) {
  EXPECT_EQ(HalfKanaToFullWidth(Sjis("ｶﾞｷﾞｸﾞ ﾊﾟﾋﾟ ｳﾞ ｱﾞ ｰ｡abc")), Sjis("ガギグ パピ ヴ ア゛ ー。abc"));
  EXPECT_EQ(HalfKanaToFullWidth(Sjis("漢字ﾃｽﾄ")), Sjis("漢字テスト"));
  EXPECT_EQ(ToFullWidth(Sjis("Ab1 ﾃﾞ~")), Sjis("Ａｂ１　デ～"));
  EXPECT_EQ(ToFullWidth(""), "");
  // A voicing mark at the very end stands alone.
  EXPECT_EQ(HalfKanaToFullWidth("\xDE"), Sjis("゛"));
}

// The Base64 text of n bytes 'x': "xxx" is "eHh4", "xx" "eHg=", "x" "eA==".
std::string XGroups(size_t n) {
  std::string text;
  for (size_t i = 0; i < n / 3; ++i) text += "eHh4";
  if (n % 3 == 2) text += "eHg=";
  if (n % 3 == 1) text += "eA==";
  return text;
}

TEST(TextFunctions, Base64LinesAndPadding) {
  // Every 54 bytes make a line of 72 characters ended by CR LF, the last full
  // line too; only a partial last line goes without a break.
  const std::string full = XGroups(54) + "\r\n";
  struct Case {
    size_t bytes;
    std::string text;
  } cases[] = {
      {0, ""},
      {1, "eA=="},
      {2, "eHg="},
      {3, "eHh4"},
      {53, XGroups(53)},
      {54, full},
      {55, full + "eA=="},
      {107, full + XGroups(53)},
      {108, full + full},
      {109, full + full + "eA=="},
      {162, full + full + full},
  };
  for (const auto& c : cases) {
    const std::string encoded = Base64Encode(std::string(c.bytes, 'x'));
    EXPECT_EQ(encoded, c.text) << c.bytes << " bytes";
    std::string back;
    EXPECT_TRUE(Base64Decode(encoded, back));
    EXPECT_EQ(back, std::string(c.bytes, 'x')) << c.bytes << " bytes";
  }
  EXPECT_EQ(Base64Encode("Ma"), "TWE=");
  EXPECT_EQ(Base64Encode("Man"), "TWFu");
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  std::string back;
  ASSERT_TRUE(Base64Decode(Base64Encode(all), back));
  EXPECT_EQ(back, all);
  // Text written before full lines ended with a break still reads.
  ASSERT_TRUE(Base64Decode(XGroups(54) + "\r\n" + XGroups(54), back));
  EXPECT_EQ(back, std::string(108, 'x'));
}

TEST(TextFunctions, Base64Decoding) {
  struct Case {
    std::string text;
    bool ok;
    std::string bytes;
  } cases[] = {
      {"TWFu", true, "Man"},
      {"TW\r\nF u!", true, "Man"},  // characters outside the alphabet are skipped
      {"TWE=", true, "Ma"},
      {"TQ==", true, "M"},
      {"TQ==TWFu", true, "M"},  // padding ends decoding
      {"TWFu=Q==", false, ""},  // a group starting with "=" fails
      {"TWFuT===", false, ""},
      {"TWFuTW", true, "ManM"},  // a short last group gives what it holds
      {"TWFuT", true, "Man"},
      {"", true, ""},
  };
  for (const auto& c : cases) {
    std::string out = "stale";
    EXPECT_EQ(Base64Decode(c.text, out), c.ok) << c.text;
    EXPECT_EQ(out, c.bytes) << c.text;
  }
}

TEST(TextFunctions, HeaderAndBody) {
  std::string mail = "From: a\r\nTo: b\r\n\r\nline1\r\n\r\nline2\r\n";
  EXPECT_EQ(HeaderPart(mail), "From: a\r\nTo: b\r\n");
  EXPECT_EQ(BodyPart(mail), "line1\r\n\r\nline2");
  EXPECT_EQ(HeaderPart("no blank line\r\n"), "");
  EXPECT_EQ(BodyPart("no blank line\r\n"), "");
  EXPECT_EQ(BodyPart("H: v\r\n\r\n"), "");
}

TEST(TextFunctions, HeaderLines) {
  std::string h =
      "Subject: hello\r\n"
      "\tworld\r\n"
      "  again\r\n"
      "Content-Type: Multipart/Mixed; boundary=\"--b;00\"; x=1;;\r\n"
      "NoBlank:value\r\n"
      "X-Colon: a: b\r\n";
  std::vector<std::string> list;
  ParseHeaderLines(list, h);
  EXPECT_EQ(list, (std::vector<std::string>{"Subject=hello world again",
                                            "Content-Type=Multipart/Mixed; boundary=\"--b;00\"; x=1;;",
                                            "X-Colon=a: b"}));
  EXPECT_EQ(GetHeaderValue(h, "subject"), "hello world again");
  EXPECT_EQ(GetHeaderValue(h, "NoBlank"), "");
  EXPECT_EQ(GetHeaderValueN(h, "Content-Type", 0), "Multipart/Mixed");
  EXPECT_EQ(GetHeaderValueN(h, "Content-Type", 1), "boundary=\"--b;00\"");
  EXPECT_EQ(GetHeaderValueN(h, "Content-Type", 3), "");
  std::string v;
  ASSERT_TRUE(GetHeaderParam(h, "content-type", "BOUNDARY", v));
  EXPECT_EQ(v, "--b;00");
  ASSERT_TRUE(GetHeaderParam(h, "Content-Type", "x", v));
  EXPECT_EQ(v, "1");
  EXPECT_FALSE(GetHeaderParam(h, "Content-Type", "charset", v));
  EXPECT_FALSE(GetHeaderParam(h, "Missing", "x", v));
  // A first line that starts with a blank has nothing to join to.
  ParseHeaderLines(list, " Lead: x\r\nA: b\r\n");
  EXPECT_EQ(list, (std::vector<std::string>{" Lead=x", "A=b"}));
  std::vector<std::string> parts;
  SplitHeaderParams(" a ; \"q;r\" ;; b ", parts);
  EXPECT_EQ(parts, (std::vector<std::string>{"a", "\"q;r\"", "b"}));
  ASSERT_TRUE(GetHeaderParam("T: a; name=\"\"\r\n", "T", "name", v));
  EXPECT_EQ(v, "\"\"");  // quotes only come off a value longer than 2
}

TEST(TextFunctions, MakeBoundary) {
  EXPECT_EQ(MakeBoundary("", "B"), "B00");
  EXPECT_EQ(MakeBoundary("x\r\n--B00\r\ny\r\n--B01--\r\n--B02x\r\n", "B"), "B02");
}

TEST(TextFunctions, LongHeaderLineDoesNotBreakParsing) {
  std::string h = "X: " + std::string(100000, 'a') + "\r\nY: 1\r\n";
  EXPECT_EQ(GetHeaderValue(h, "Y"), "1");
  EXPECT_EQ(GetHeaderValue(h, "X").size(), 100000u);
}
