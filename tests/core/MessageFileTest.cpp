// The message file's table and the error log that the launcher and the
// sign-up terminal share.
#include "core/data/ErrorLog.h"
#include "core/data/MessageTable.h"
#include "TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using qvtest::Sjis;

TEST(MessageTable, LooksUpCodesIgnoringCaseAndTheFirstEntryCounts) {
  qv::MessageTable table;
  // "ア" is 83 41 and "ａ" 82 81: trail bytes are never taken for letters.
  table.SetLines({"W01001=first", "w01001=second", "E00010=a=b", "no equals sign", "I00001=", Sjis("ア") + "=kana",
                  Sjis("ａ") + "x=wide"});
  EXPECT_EQ(table.Text("W01001"), "first");
  EXPECT_EQ(table.Text("w01001"), "first");
  EXPECT_EQ(table.Text("e00010"), "a=b");
  EXPECT_EQ(table.Text("I00001"), "");
  EXPECT_EQ(table.Text("W09999"), "");
  EXPECT_EQ(table.Text(Sjis("ア")), "kana");
  EXPECT_EQ(table.Text(Sjis("ａ") + "X"), "wide");
  EXPECT_EQ(table.Text("\x83" "a"), "") << "a lower-case trail byte is not upper-cased";
}

TEST(MessageTable, LoadsLinesOfAnyBreakAndFailsForAMissingFile) {
  qvtest::TempDir tmp;
  qvtest::WriteFile(tmp / "m.txt", "I00001=one\r\nI00002=two\nI00003=three");
  qv::MessageTable table;
  ASSERT_TRUE(table.LoadFromFile(tmp / "m.txt"));
  EXPECT_EQ(table.Text("I00003"), "three");
  EXPECT_EQ(table.Lines().size(), 3u);
  EXPECT_FALSE(table.LoadFromFile(tmp / "none.txt"));
  EXPECT_EQ(table.Text("I00001"), "");
}

TEST(MessageTable, LineBreakMarksInAnyCaseAndNeverInsideADoubleByteCharacter) {
  EXPECT_EQ(qv::ExpandLineBreaks("a<br>b<BR>c<Br>d"), "a\r\nb\r\nc\r\nd");
  EXPECT_EQ(qv::ExpandLineBreaks("<b>r<br"), "<b>r<br");
  // "ー" is 81 5B: the text stays as it is around it.
  const std::string text = Sjis("メール<br>ー");
  EXPECT_EQ(qv::ExpandLineBreaks(text), Sjis("メール") + "\r\n" + Sjis("ー"));
}

TEST(ErrorLog, LineFormatStripsThePeerSuffixAndEveryCrLf) {
  std::tm t{};
  t.tm_year = 2003 - 1900;
  t.tm_mon = 0;
  t.tm_mday = 5;
  t.tm_hour = 9;
  t.tm_min = 7;
  t.tm_sec = 3;
  EXPECT_EQ(qv::FormatErrorLogLine(t, "07012345678##3", "first\r\nsecond\r\nthird"),
            "2003/01/05 09:07:03 : 07012345678 : firstsecondthird");
  EXPECT_EQ(qv::FormatErrorLogLine(t, "", "x"), "2003/01/05 09:07:03 :  : x");
  // A lone CR or LF is not a pair and stays.
  EXPECT_EQ(qv::FormatErrorLogLine(t, "##", "a\rb\nc"), "2003/01/05 09:07:03 :  : a\rb\nc");
}

TEST(ErrorLog, KeepsItsLastLinesAndReplacesTheFileWhole) {
  struct Case {
    int before;
    const char* breakText;
    size_t limit;
  };
  for (Case c : {Case{0, "\r\n", 100}, Case{99, "\r\n", 100}, Case{100, "\r\n", 100}, Case{150, "\n", 100},
                 Case{150, "\r\n", 3}, Case{5, "\r\n", 0}, Case{150, "\r\n", 200}}) {
    SCOPED_TRACE(std::to_string(c.before) + " lines, limit " + std::to_string(c.limit));
    qvtest::TempDir tmp;
    const auto path = tmp / "Error.log";
    std::string text;
    for (int i = 1; i <= c.before; ++i) text += "line " + std::to_string(i) + c.breakText;
    if (c.before) qvtest::WriteFile(path, text);
    struct stat before {};
    const bool existed = ::stat(path.c_str(), &before) == 0;
    ASSERT_TRUE(c.limit == 100 ? qv::AppendErrorLog(path, "new") : qv::AppendErrorLog(path, "new", c.limit));
    std::string after = qvtest::ReadFile(path);
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < after.size();) {
      size_t end = after.find("\r\n", pos);
      ASSERT_NE(end, std::string::npos) << "every line ends with CR LF";
      lines.push_back(after.substr(pos, end - pos));
      pos = end + 2;
    }
    // The new line stays even when the limit leaves room for nothing.
    const int kept = std::min(c.before + 1, std::max(static_cast<int>(c.limit), 1));
    ASSERT_EQ(static_cast<int>(lines.size()), kept);
    EXPECT_EQ(lines.back(), "new");
    if (kept > 1) {
      EXPECT_EQ(lines.front(), "line " + std::to_string(c.before + 2 - kept));
    }
    // A new file took the old one's place: the old log is never cut in place.
    struct stat now {};
    ASSERT_EQ(::stat(path.c_str(), &now), 0);
    if (existed) {
      EXPECT_NE(now.st_ino, before.st_ino);
    }
    int others = 0;
    for (auto& e : std::filesystem::directory_iterator(tmp.path())) others += e.path() != path;
    EXPECT_EQ(others, 0) << "no temporary file is left behind";
  }
}
