// The editor's markup, plain text and link detection, on the model alone.
#include "plugins/mail/editor/KMailParts.h"

#include "EditorTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace qv::kmail;
using edittest::Describe;
using qvtest::Sjis;

namespace {

struct ReadCase {
  const char* name;
  std::string markup;   // UTF-8
  std::string parts;    // described
  std::string written;  // UTF-8
  bool cmCut = false;
  bool deleteVoid = true;
  int userChars = -1;
  bool picture = false;
  bool hostKeeps = false;
};

MarkupContext Context(const ReadCase& c) {
  MarkupContext ctx;
  ctx.cmCut = c.cmCut;
  ctx.deleteVoidTag = c.deleteVoid;
  ctx.userCharCount = c.userChars;
  const bool picture = c.picture;
  ctx.hasPicture = [picture](std::string_view file) { return picture && file == "p.bmp"; };
  const bool keeps = c.hostKeeps;
  ctx.unknownTag = [keeps](std::string_view, bool& del) {
    if (keeps) del = false;
  };
  return ctx;
}

std::string Repeat(std::string_view s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

std::string Tokens(std::string_view s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += (i ? " " : "") + std::string(s);
  return out;
}

}  // namespace

TEST(MarkupTest, ReadWriteReadGivesTheSameParts) {
  const ReadCase cases[] = {
      {"body colours", "<BODY=FF0000;BG=000000>\r\nabc", "a~FF0000 b~FF0000 c~FF0000",
       "<BODY=FF0000;BG=000000>\r\nabc"},
      {"black on white needs no body tag", "<BODY=000000>\r\nabc", "a b c", "abc"},
      {"body picture", "<body=00FF00;img=\"bg.bmp\">\r\n\r\nx", "x~00FF00", "<BODY=00FF00;IMG=\"bg.bmp\">\r\nx"},
      {"background name that no tag could give back", "<BODY=00FF00;IMG=\r>x>\r\nabc", "a~00FF00 b~00FF00 c~00FF00",
       "<BODY=00FF00>\r\nabc"},
      {"doubled angle bracket", "a<<b", "a < b", "a<<b"},
      {"short colour padded", "<C=FF>x</C>", "x~0000FF", "<C=0000FF>x</C>"},
      {"bad colour keeps the body colour", "<BODY=FF0000>\r\n<C=XYZ>x", "x~FF0000", "<BODY=FF0000>\r\nx"},
      {"CM kept", "a<CM>\r\nhidden\r\n</CM>b", "a CM/6 \\n h i d d e n \\n /CM/6 b", "a<CM>\r\nhidden\r\n</CM>b"},
      {"CM cut", "a<CM>\r\nhidden\r\n</CM>b", "a b", "ab", true},
      {"CM kept alone on its lines", "a\r\n<CM>\r\nhidden\r\n</CM>\r\nb",
       "a \\n CM/6 \\n h i d d e n \\n /CM/6 \\n b", "a\r\n<CM>\r\nhidden\r\n</CM>\r\nb"},
      {"CM cut alone on its lines", "a\r\n<CM>\r\nhidden\r\n</CM>\r\nb", "a \\n b", "a\r\nb", true},
      {"kept tag after a colour tag", "<C=FF0000><CM>\r\nb", "CM/6~FF0000 \\n~FF0000 b~FF0000",
       "<C=FF0000><CM>\r\nb</C>"},
      {"300-character tag", "<" + std::string(300, 'x') + ">", Tokens("x", 46) + " >", std::string(46, 'x') + ">"},
      {"red to blue", "<C=FF0000>r<C=0000FF>b", "r~FF0000 b~0000FF", "<C=FF0000>r<C=0000FF>b</C>"},
      {"ends blinking", "<BL>x", "x*", "<BL>x</BL>"},
      {"tag-only line then an empty line", "a\r\n<C=FF0000>\r\n\r\nb", "a \\n b~FF0000", "a\r\n<C=FF0000>b</C>"},
      {"picture with data", "<IMG=\"p.bmp\";2>", "\"p.bmp\";2/5", "<IMG=\"p.bmp\";2>", false, true, -1, true},
      {"picture without data", "a<IMG=\"q.bmp\">", "a", "a", false, true, -1, true},
      {"picture kept without data", "<IMG=q.bmp>", "q.bmp/5", "<IMG=q.bmp>", false, false},
      {"unknown tag dropped", "<FOO=1>x", "x", "x"},
      {"unknown tag kept", "<FOO=1>x", "FOO=1/6 x", "<FOO=1>x", false, false},
      {"unknown tag kept alone on its line", "a\r\n<FOO=1>\r\nb", "a \\n FOO=1/6 \\n b", "a\r\n<FOO=1>\r\nb",
       false, false},
      {"unknown tag dropped from its line", "a\r\n<FOO=1>\r\nb", "a \\n b", "a\r\nb"},
      {"unknown tag kept by the host", "< FOO >x", "FOO/6 x", "<FOO>x", false, true, -1, false, true},
      {"Japanese text", "こんにちは<#HEART>\r\n<BL>点滅</BL>", "こ ん に ち は HEART/3 \\n 点* 滅*",
       "こんにちは<#HEART>\r\n<BL>点滅</BL>"},
      {"user characters", "<?07><?99><?ab>", "07/4 ab/4", "<?07><?ab>", false, true, 8},
      {"user character without images", "<?07>x", "x", "x"},
      {"tag left open", "ab<C=FF0000", "a b", "ab"},
      {"kept tag that would write as a literal", "< <x>y", "y", "y", false, false},
      {"colour and blink together", "<BL><C=00FF00>g</C></BL>k", "g~00FF00* k", "<BL><C=00FF00>g</C></BL>k"},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    MarkupContext ctx = Context(c);
    const std::string parts = ReadMarkup(Sjis(c.markup), clBlack, false, ctx);
    EXPECT_EQ(Describe(parts), c.parts);
    const std::string written = WriteMarkup(parts, ctx.fontColor, ctx.color, ctx.bgImage);
    EXPECT_EQ(qv::cp932::ToUtf8(written), c.written);
    MarkupContext again = Context(c);
    EXPECT_EQ(ReadMarkup(written, clBlack, false, again), parts);
    EXPECT_EQ(again.fontColor, ctx.fontColor);
    EXPECT_EQ(again.color, ctx.color);
    EXPECT_EQ(again.bgImage, ctx.bgImage);
  }
}

TEST(MarkupTest, EmptyLinesWhoseBreakChangesColourOrBlinkReadBackWhole) {
  const TColor red = 0x0000FF;
  struct Case {
    const char* name;
    std::string parts;
    std::string written;
  } cases[] = {
      {"break turns red after an empty line", PlainToParts("a\r\n", clBlack, false, {}) + PlainToParts("\r\nb", red, false, {}),
       "a\r\n\r\n<C=FF0000>b</C>"},
      {"text starts with a red empty line", PlainToParts("\r\nb", red, false, {}), "\r\n<C=FF0000>b</C>"},
      {"blinking empty lines", PlainToParts("a\r\n", clBlack, false, {}) + PlainToParts("\r\n\r\nb", clBlack, true, {}),
       "a\r\n\r\n\r\n<BL>b</BL>"},
      {"colour ends on a line with text", PlainToParts("r", red, false, {}) + PlainToParts("\r\nb", clBlack, false, {}),
       "<C=FF0000>r</C>\r\nb"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string written = WriteMarkup(c.parts, clBlack, clWhite, "");
    EXPECT_EQ(written, c.written);
    MarkupContext ctx;
    const std::string again = ReadMarkup(written, clBlack, false, ctx);
    EXPECT_EQ(PartsToPlain(again, {}), PartsToPlain(c.parts, {})) << "a line break was lost";
    EXPECT_EQ(WriteMarkup(again, clBlack, clWhite, ""), written);
  }
}

TEST(MarkupTest, BytesThatNoTagCouldGiveBackAreDropped) {
  struct Case {
    const char* name;
    std::string markup, parts, written;
  };
  const Case cases[] = {
      {"tag text ending in half a character", "<#a\x82 >b", "b", "b"},
      {"half a character at the end", "ab\x82", "a b", "ab"},
      {"a CR at the end", "ab\r", "a b", "ab"},
      {"CR pairs", "a\rb<K\rx>", "a \rb K\rx/6", "a\rb<K\rx>"},
      {"CR and closing bracket inside a tag", "<K\r>x>", "K\r>x/6", "<K\r>x>"},
      {"trimming leaves a closing bracket first", "<\r>x>y", "y", "y"},
      {"a tag too long at half a character", "<" + std::string(254, 'x') + "\x82!", "!", "!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MarkupContext ctx;
    ctx.deleteVoidTag = false;
    const std::string parts = ReadMarkup(c.markup, clBlack, false, ctx);
    EXPECT_EQ(Describe(parts), c.parts);
    EXPECT_EQ(WriteMarkup(parts, clBlack, clWhite, {}), c.written);
    EXPECT_EQ(ReadMarkup(c.written, clBlack, false, ctx), parts);
  }
}

TEST(MarkupTest, BodyColoursAreReadInTheFrameworksOrder) {
  MarkupContext ctx;
  ReadMarkup("<BODY=FF0000;BG=000080>\r\n", clBlack, false, ctx);
  EXPECT_EQ(ctx.fontColor, clRed);
  EXPECT_EQ(ctx.color, clNavy);  // RRGGBB 000080 is $800000
}

TEST(MarkupTest, TagBodiesAreCountedInBytes) {
  // 127 double-byte characters fill 254 bytes; the next one is text.
  MarkupContext ctx;
  std::string parts = ReadMarkup(Sjis("<" + Repeat("あ", 130) + ">"), clBlack, false, ctx);
  EXPECT_EQ(Describe(parts), "あ あ あ >");
  // Whatever the characters, no part's text outgrows its two length digits.
  parts = ReadMarkup(Sjis("<#" + Repeat("名", 200) + ">x"), clBlack, false, ctx);
  EXPECT_EQ(ValidPartsPrefix(parts), parts);
  for (size_t i = 0; i < parts.size(); i += PartLength(parts, i)) EXPECT_NE(PartType(parts, i), ttPictogram);
  parts = ReadMarkup(Sjis("<#" + Repeat("名", 126) + ">"), clBlack, false, ctx);
  ASSERT_EQ(CountParts(parts), 1u);
  EXPECT_EQ(PartText(parts, 0).size(), 252u);
}

TEST(MarkupTest, PlainTextToPartsAndBack) {
  const PicTextList table = {"HEART=\xF0\x40", "STAR=\xF0\x41", std::string(300, 'N') + "=\xF0\x42"};
  std::string parts = PlainToParts("a\r\nb\n\xF0\x40\xF0\x43\xF0\x42" + Sjis("字"), clRed, true, table);
  EXPECT_EQ(Describe(parts), "a~FF0000* \\n~FF0000* b~FF0000* HEART/3~FF0000* 字~FF0000*");
  EXPECT_EQ(PartsToPlain(parts, table), "a\r\nb\xF0\x40" + Sjis("字"));
  EXPECT_FALSE(PartsArePlain(parts));
  EXPECT_TRUE(PartsArePlain(PlainToParts("plain\r\ntext", clBlack, false, table)));
  // Without a table line for its exact name a pictogram gives no text; the
  // search ignores case, the check after it does not.
  EXPECT_EQ(PartsToPlain(MakePart(ttPictogram, clBlack, false, "HEART"), {"heart=\xF0\x41", "HEART=\xF0\x40"}), "");
  EXPECT_EQ(PartsToPlain(MakePart(ttPictogram, clBlack, false, "heart"), {"heart=\xF0\x41", "HEART=\xF0\x40"}),
            "\xF0\x41");
  EXPECT_EQ(PartsToPlain(MakePart(ttPictogram, clBlack, false, "MOON"), BuiltInPicTextList()), "");
  EXPECT_EQ(BuiltInPicTextList().size(), 75u);
  EXPECT_EQ(PictogramIndex(BuiltInPicTextList(), "SPADE"), 74);
  EXPECT_EQ(PictogramIndex({"HEART", "STAR=x"}, "HEART"), -1);
}

TEST(MarkupTest, PartsTooLongForTheirLengthAreNeverMade) {
  std::string out;
  EXPECT_FALSE(AppendPart(out, ttKeptTag, clBlack, false, std::string(256, 'k')));
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(AppendPart(out, ttKeptTag, clBlack, false, std::string(255, 'k')));
  EXPECT_EQ(PartLength(out, 0), out.size());
}

namespace {

// The clickable runs, in order.
std::vector<std::string> Runs(std::string parts) {
  std::vector<std::string> runs;
  bool in = false;
  for (size_t i = 0; i < parts.size(); i += PartLength(parts, i)) {
    if (!PartClickable(parts, i)) {
      in = false;
      continue;
    }
    if (!in) runs.emplace_back();
    in = true;
    runs.back() += qv::cp932::ToUtf8(PartText(parts, i));
  }
  return runs;
}

}  // namespace

TEST(MarkupTest, LinkDetection) {
  struct Case {
    std::string text;
    bool menu;
    std::vector<std::string> runs;
  };
  const Case cases[] = {
      {"mail taro@example.jp now", false, {"taro@example.jp"}},
      {"to: taro.y+1@mail.example.co.jp!", false, {"taro.y+1@mail.example.co.jp"}},
      {"@word and a@word", false, {}},
      {"at @host/path here", false, {"@host/path"}},
      {std::string(60, 'l') + "@ab.cd", false, {}},
      {"see http://example.jp/x?a=1 ok", false, {"http://example.jp/x?a=1"}},
      {"xhttp://example.jp", false, {}},
      {"http://" + std::string(89, 'a'), false, {"http://" + std::string(89, 'a')}},
      {"http://" + std::string(90, 'a'), false, {}},
      {"TEL:03-1234-5678 call", false, {"03-1234-5678"}},
      {"TEL:#31*", false, {"#31*"}},
      {"0312345678", false, {"0312345678"}},
      {"031234567", false, {}},
      {"call 03-1234-5678.", false, {"03-1234-5678"}},
      {"1203-1234-5678", false, {}},
      {"①メニュー\r\nnext", true, {"①メニュー"}},
      {"12⇒次へ\r\n3⇒戻る", true, {"12⇒次へ", "3⇒戻る"}},
      {"a①x", true, {}},
      {"12345⇒x", true, {}},
      {"①メニュー", false, {}},
      {"line\r\n②two", true, {"②two"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string parts = PlainToParts(Sjis(c.text), clBlack, false, {});
    parts.insert(0, MakePart(ttLineBreak, clBlack, false, {}));
    DetectLinks(parts, c.menu, true);
    EXPECT_EQ(Runs(parts), c.runs);
  }
  // Detection turned off clears what an earlier pass marked.
  std::string parts = PlainToParts("taro@example.jp", clBlack, false, {});
  DetectLinks(parts, false, true);
  DetectLinks(parts, false, false);
  EXPECT_TRUE(Runs(parts).empty());
}

TEST(MarkupTest, ForeignPartsAreCutAtTheFirstBadOne) {
  const std::string good = MakePart(ttSingleChar, clRed, true, "a") + MakePart(ttPictogram, clBlack, false, "HEART");
  struct Case {
    const char* name;
    std::string tail;
  };
  const Case cases[] = {
      {"type out of range", "7000000x"},
      {"attribute bits 2-3", "14000000x"},
      {"colour not hexadecimal", "10GG0000x"},
      {"length not hexadecimal", "30000000ZZ"},
      {"tag text with a closing bracket", "600000000" "3a>b"},
      {"double-byte part without a lead byte", "20000000ab"},
      {"single-byte part holding a lead byte", "10000000\x82"},
      {"pictogram ending in a lead byte", "30000000" "02a\x82"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ValidPartsPrefix(good + c.tail + good), good);
  }
  // Data cut short keeps the whole parts before the cut.
  for (const std::string tail : {"3000000005AB", "10000", "3000000"}) EXPECT_EQ(ValidPartsPrefix(good + tail), good);
  EXPECT_EQ(ValidPartsPrefix(good + good), good + good);
  EXPECT_EQ(ValidPartsPrefix("garbage"), "");
}

TEST(MarkupTest, PicturePagesAndNames) {
  EXPECT_EQ(PictureFileName("\"a;b.bmp\""), "a");
  EXPECT_EQ(PictureFileName("\"pic.bmp\";3"), "pic.bmp");
  EXPECT_EQ(PicturePage("\"pic.bmp\";3"), 3);
  EXPECT_EQ(PicturePage("pic.bmp;7"), 1);
  EXPECT_EQ(PicturePage("pic.bmp;x"), 1);
  EXPECT_EQ(PicturePage("pic.bmp"), 1);
}
