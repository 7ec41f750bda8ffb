// The sign-up terminal's rules as tables: a page's lines to the lines shown,
// typed lines to the request's bytes, a line to the choice it offers, which
// typed text may go, and the page history's limit.
#include "plugins/signup/SignupPages.h"

#include "TestSupport.h"
#include "platform/Cp932.h"

#include <gtest/gtest.h>

using namespace qv::signup;
using qvtest::Sjis;

namespace {

using Lines = std::vector<std::string>;

// Our own table: codes of the handset's user-defined area.
const Lines kPicText = {"HEART=\xF0\x40", "FINE=\xF0\x48", "NOVALUE", "STAR=\xF0\x44"};

Lines Shown(Lines page, InputMode* mode = nullptr) {
  const InputMode m = ParsePage(page, kPicText);
  if (mode) *mode = m;
  return page;
}

TEST(SignupPages, PageLinesToShownLines) {
  struct Case {
    const char* name;
    Lines page;
    Lines shown;
  } cases[] = {
      {"plain text, a leading .. loses one dot",
       {"Content-Type: Text/Plain", "", "line one", "..dotted", ".", "...three"},
       {"line one", ".dotted", ".", "..three"}},
      {"no Content-Type shows nothing", {"Subject: x", "", "body"}, {}},
      {"no header at all shows nothing", {"just text"}, {}},
      {"the empty line ends the header and is not shown",
       {"Content-Type: text/plain", "", "", "after"},
       {"", "after"}},
      {"another type without a boundary counts as plain", {"Content-Type: application/x-other", "", "x"}, {"x"}},
      {"decorated text: pictograms filled in, tags alone leave no line",
       {"Content-Type: Text/X-KMailDX", "", "<BODY=FF0000;BG=000000>", Sjis("晴れ<#FINE>です"), "<<tag<BL>",
        "<#NOPE>x", "<C=0000FF>", "", "end<#HEART>"},
       {Sjis("晴れ") + "\xF0\x48" + Sjis("です"), "<tag", "x", "", "end\xF0\x40"}},
      {"a # tag of a line without a value shows nothing",
       {"Content-Type: text/x-kmaildx", "", "a<#NOVALUE>b"},
       {"ab"}},
      {"multipart: the picture part is not shown, preamble and epilogue neither",
       {"Content-Type: Multipart/Mixed; boundary=\"b1\"", "", "This is a multipart page", "--b1",
        "Content-Type: image/jpeg", "Content-Transfer-Encoding: base64", "", "/9j/4AAQSkZJRg==", "--b1",
        "Content-Type: text/plain", "", "text part", "--b1--", "epilogue"},
       {"text part"}},
      {"a part without Content-Type keeps the kind before it",
       {"Content-Type: multipart/mixed; boundary=zz", "", "--zz", "Content-Type: text/plain", "", "one", "--zz", "",
        "two", "--zz--"},
       {"one", "two"}},
      {"a part of another type is dropped once a boundary is known",
       {"Content-Type: multipart/mixed; boundary=zz", "", "--zz", "Content-Type: text/html", "", "<b>no</b>", "--zz",
        "Content-Type: text/x-kmaildx", "", "<#STAR>yes", "--zz--"},
       {"\xF0\x44yes"}},
      {"the boundary on a continuation line",
       {"Content-Type: multipart/mixed;", "\tboundary=\"cont\"", "", "--cont", "Content-Type: text/plain", "",
        "found", "--cont--"},
       {"found"}},
      {"the lines still collected at the end are shown",
       {"Content-Type: multipart/mixed; boundary=q", "", "--q", "Content-Type: text/plain", "", "tail"},
       {"tail"}},
      {"a line that only starts like the boundary is text",
       {"Content-Type: multipart/mixed; boundary=q", "", "--q", "Content-Type: text/plain", "", "--qx", "--q--"},
       {"--qx"}},
      {"only the first parameter can be the boundary",
       {"Content-Type: multipart/mixed; charset=x; boundary=q", "", "--q", "Content-Type: text/plain", "", "t"},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Shown(c.page), c.shown);
  }
}

TEST(SignupPages, TheInputModeHeader) {
  struct Case {
    const char* value;
    InputMode mode;
  } cases[] = {{"ALPHA", InputMode::Alphanumeric},
               {"num", InputMode::Alphanumeric},
               {"Kanji", InputMode::Kanji},
               {"HIRAGANA", InputMode::Unchanged}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    InputMode mode = InputMode::Unchanged;
    Shown({"Content-Type: text/plain", std::string("X-KMAILDX-INPUT: ") + c.value, "", "x"}, &mode);
    EXPECT_EQ(mode, c.mode);
  }
}

TEST(SignupPages, ExpandTagsEdges) {
  struct Case {
    const char* name;
    std::string text, expanded;
  } cases[] = {
      {"<< is a <", "a<<b", "a<b"},
      {"< then a blank opens a tag", "a< <b", "a"},
      {"a tag alone on its line leaves no empty line", "<X>\r\nabc\r\n<Y>\r\ndef\r\n", "abc\r\ndef\r\n"},
      {"a tag after text keeps the line break", "ab<X>\r\ncd", "ab\r\ncd"},
      {"a line break inside a tag is skipped", "<#HE\r\nART>", "\xF0\x40"},
      {"a pictogram tag alone keeps its line break", "<#STAR>\r\nx", "\xF0\x44\r\nx"},
      {"names are matched as written", "<#heart>", ""},
      {"a tag open at the end is dropped", "text<#HEART", "text"},
      {"a 254-character tag is still a tag", "<" + std::string(254, 'a') + ">z", "z"},
      {"the character that would make 255 stays as text", "<" + std::string(300, 'a') + ">z",
       std::string(46, 'a') + ">z"},
      {"a double-byte character that would reach 255 stays as text", "<" + std::string(253, 'a') + Sjis("あ") + ">",
       Sjis("あ") + ">"},
      {"a name of double-byte characters", "<#" + Sjis("ソ") + ">x", "x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ExpandTags(c.text, kPicText), c.expanded);
  }
}

TEST(SignupPages, TypedLinesToRequestBytes) {
  const std::string head = "X-Mailer: Quorvel for Windows v1.0.1 (BRV)\r\nTo: SIGNUP\r\nSubject: DATA\r\n"
                           "Content-Type: Text/Plain\r\n\r\n";
  struct Case {
    const char* name;
    Lines lines;
    std::string body;
  } cases[] = {
      {"nothing typed sends the header alone", {}, ""},
      {"one empty line is nothing as well", {""}, ""},
      {"a line . goes as ..", {"."}, "..\r\n"},
      {"every line that starts with . gets one more", {"abc", "", ".x", "y."}, "abc\r\n\r\n..x\r\ny.\r\n"},
      {"a final empty line is kept as a line break", {"3", ""}, "3\r\n\r\n"},
      {"CP932 text goes as it is", {Sjis("山田太郎")}, Sjis("山田太郎") + "\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RequestText("SIGNUP", c.lines), head + c.body);
  }
  EXPECT_EQ(RequestText("user@centre", {"1"}),
            "X-Mailer: Quorvel for Windows v1.0.1 (BRV)\r\nTo: user@centre\r\nSubject: DATA\r\n"
            "Content-Type: Text/Plain\r\n\r\n1\r\n");
  EXPECT_EQ(kFirstMessage,
            "X-Mailer: Quorvel for Windows v1.0.1 (BRV)\r\nTo: SIGNUP\r\nSubject: DATA\r\nContent-Type: Text/Plain\r\n"
            "\r\nESC:NONE\r\nCHAR:X=99,Y=99\r\nGRAPH:X=999,Y=999\r\nCOLOR:CF\r\n");
}

TEST(SignupPages, RequestsAreCutOnACharacterBoundaryAndEndWithALineBreak) {
  const std::string x2301(2301, 'x'), x2302(2302, 'x');
  std::string dots;
  while (dots.size() < 3000) dots += "..\r\n";
  struct Case {
    const char* name;
    std::string request;
    std::string sent;
  } cases[] = {
      {"a short request stays", "abc\r\n", "abc\r\n"},
      {"2,304 bytes stay as they are", std::string(2304, 'x'), std::string(2304, 'x')},
      {"longer: 2,302 bytes and a line break", std::string(5000, 'x'), x2302 + "\r\n"},
      {"a double-byte character across the cut goes whole", x2301 + Sjis("あい"), x2301 + "\r\n"},
      {"one that ends on the cut stays", std::string(2300, 'x') + Sjis("あいう"), std::string(2300, 'x') + Sjis("あ") + "\r\n"},
      {"a cut between CR and LF keeps one line break", x2301 + "\r\nzzz", x2301 + "\r\n"},
      {"a cut after a whole line adds nothing", std::string(2300, 'x') + "\r\nzzz", std::string(2300, 'x') + "\r\n"},
      {"a lone . left by the cut goes", std::string(2299, 'x') + "\r\n..\r\nmore", std::string(2299, 'x') + "\r\n"},
      {"lines of dots", dots, dots.substr(0, 2304)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string sent = CutRequest(c.request);
    EXPECT_EQ(sent, c.sent);
    EXPECT_LE(sent.size(), kRequestLimit);
  }
  EXPECT_EQ(CutToLimit(std::string(10, 'x') + Sjis("あ"), 11), std::string(10, 'x'));
}

TEST(SignupPages, WhichTypedTextMayGo) {
  struct Case {
    const char* name;
    std::string text;
    bool ok;
  } cases[] = {
      {"ASCII with line breaks", "abc 123\r\n~!", true},
      {"kanji and full-width kana", Sjis("山田タロウ"), true},
      {"NEC and IBM extensions", "\x87\x40\xFA\x40", true},
      {"half-width katakana", Sjis("ｱｲｳ"), false},
      {"katakana among other text", "abc" + Sjis("ｶ"), false},
      {"a tab", "a\tb", false},
      {"DEL", "a\x7F", false},
      {"the first user-defined code", "\xF0\x40", false},
      {"the last user-defined code", "\xF9\xFC", false},
      {"a lead byte at the end", "ab\x82", false},
      {"a lead byte with a bad trail byte", "\x82\x0A", false},
      {"nothing", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CheckInput(c.text), c.ok);
  }
}

TEST(SignupPages, LineToChoice) {
  struct Case {
    std::string line;
    std::string choice;
  } cases[] = {
      {Sjis("①はい"), "1"},        {Sjis("③いいえ"), "3"},     {Sjis("⑳"), "20"},
      {Sjis("⑩ 十番"), "10"},      {Sjis("12⇒次へ"), "12"},     {Sjis(" 7 ⇒戻る"), "7"},
      {Sjis("ab⇒次へ"), ""},       {Sjis("1a⇒次へ"), ""},       {Sjis("はい①"), ""},
      {Sjis("⇒だけ"), ""},         {Sjis("３⇒全角"), ""},       {"", ""},
      {"12 plain", ""},            {Sjis("-1⇒"), ""},           {Sjis("1234567890⇒"), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(qv::cp932::ToUtf8(c.line));
    EXPECT_EQ(ParseChoice(c.line), c.choice);
  }
}

TEST(SignupPages, FindHeaderLooksInTheBlocksOfThePageAndItsParts) {
  const Lines page = {"Content-Type: multipart/mixed; boundary=b",  // 0
                      "Reply-To: top@centre",                         // 1
                      "",                                             // 2
                      "Reply-To: in the body",                        // 3
                      "--b",                                          // 4
                      "Content-Type: text/plain",                     // 5
                      "Reply-To: part@centre ; x=1",                  // 6
                      "",                                             // 7
                      "--b--",                                        // 8
                      "Reply-To: after the end"};                     // 9
  struct Case {
    const char* name;
    int from, to;
    bool found;
    std::string value, params;
  } cases[] = {
      {"the first one", 0, -1, true, "top@centre", ""},
      {"a negative from counts as 0", -5, 100, true, "top@centre", ""},
      {"from after the first: the part's, with its parameters", 2, -1, true, "part@centre", "x=1"},
      {"to before the part", 2, 5, false, "", ""},
      {"nothing after the closing boundary", 7, -1, false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string value = "old", params = "old";
    EXPECT_EQ(FindHeader(page, "reply-to", c.from, c.to, value, params), c.found);
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(params, c.params);
  }
  std::string value, params;
  EXPECT_FALSE(FindHeader({}, "Reply-To", 0, -1, value, params));
  EXPECT_TRUE(FindHeader({"Reply-To: a", " b", "\tc ", "", "x"}, "Reply-To", 0, -1, value, params));
  EXPECT_EQ(value, "a b c");
}

TEST(SignupPages, TheHistoryKeepsItsLastPages) {
  PageHistory history;
  for (int n = 1; n <= 101; ++n) EXPECT_EQ(history.Push("page " + std::to_string(n)), std::min(n, 100) - 1);
  EXPECT_EQ(history.Count(), 100);
  EXPECT_EQ(history[0].text, "page 2") << "the 101st page dropped the first";
  EXPECT_EQ(history[99].text, "page 101");
  for (int max : {0, -3}) {
    PageHistory one(max);
    one.Push("a");
    one.Push("b");
    EXPECT_EQ(one.Count(), 1) << "a limit of " << max;
    EXPECT_EQ(one[0].text, "b");
  }
}

TEST(SignupPages, PageLinesEndAtTheFirstNul) {
  EXPECT_EQ(PageLines(std::string_view("a\r\nb\rc\nd\0hidden", 16)), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(PageLines("a\r\n\r\n"), (Lines{"a", ""}));
}

}  // namespace
