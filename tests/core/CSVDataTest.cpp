#include "core/CSVData.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sstream>

using qv::TCSVData;
using Rows = std::vector<std::vector<std::string>>;

namespace {
Rows AllRows(const TCSVData& t) {
  Rows out;
  for (int i = 0; i < t.RowCount(); ++i) out.push_back(t.Rows(i));
  return out;
}
TCSVData Parse(std::string_view text) {
  TCSVData t;
  t.SetText(text);
  return t;
}
}  // namespace

TEST(CSVData, WritesQuotingOnlyWhereNeeded) {
  TCSVData t;
  t.SetCell(0, 0, "plain");
  t.SetCell(0, 1, "a,b");
  t.SetCell(0, 2, "two words");
  t.SetCell(0, 3, "say \"hi\"");
  t.SetCell(0, 4, "");
  t.SetCell(0, 5, "tab\there");
  t.SetCell(0, 6, "\x83\x5C");  // ソ: its trail byte is not a delimiter
  t.AddRow();                   // a row without cells is an empty line
  t.SetCell(2, 1, "x");
  EXPECT_EQ(t.GetText(),
            "plain,\"a,b\",\"two words\",\"say \"\"hi\"\"\",,\"tab\there\",\x83\x5C\r\n"
            "\r\n"
            ",x\r\n");
}

TEST(CSVData, ParsesTheWrittenRules) {
  struct Case {
    const char* name;
    std::string text;
    Rows rows;
  } cases[] = {
      {"simple", "a,b\r\nc\r\n", {{"a", "b"}, {"c"}}},
      {"doubled quote", "\"say \"\"hi\"\"\",x\r\n", {{"say \"hi\"", "x"}}},
      {"quoted line break", "\"l1\r\nl2\",z\r\n", {{"l1\r\nl2", "z"}}},
      {"unclosed quote runs to the end", "a,\"b,c\r\nd", {{"a", "b,c\r\nd"}}},
      {"quote inside a cell is copied", "ab\"c,d\r\n", {{"ab\"c", "d"}}},
      {"text after a closing quote", "\"ab\"cd,e\r\n", {{"abcd", "e"}}},
      {"empty cells", ",,\r\n", {{"", "", ""}}},
      {"empty last cell without break dropped", "a,", {{"a"}}},
      {"no final break", "a,b", {{"a", "b"}}},
      {"cells are not trimmed", " a , b \r\n", {{" a ", " b "}}},
      {"empty line is one empty cell", "a\r\n\r\nb\r\n", {{"a"}, {""}, {"b"}}},
      {"lone LF stays in the cell", "a\nb\r\n", {{"a\nb"}}},
      {"CR as the last byte", "a,b\r", {{"a", "b"}}},
      {"lead byte as the last byte", "a,\x83", {{"a", "\x83"}}},
      {"lead byte before a comma is a byte of its own", "\x83,b\r\n", {{"\x83", "b"}}},
      {"lead byte before a closing quote", "\"a\x83\",b\r\n", {{"a\x83", "b"}}},
      {"trail byte equal to a quote-free delimiter", "\x95\x5C,\x83\x7C\r\n", {{"\x95\x5C", "\x83\x7C"}}},
      {"double-byte inside quotes", "\"\x83\x5C,\"\r\n", {{"\x83\x5C,"}}},
      {"only blanks", " \r\n\t\r\n", {}},
      {"empty", "", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(AllRows(Parse(c.text)), c.rows) << c.name;
}

TEST(CSVData, CellsEndingInALoneLeadByteComeBackAsWritten) {
  // A lead byte takes only a byte that can follow it, never the delimiter or
  // the quote after it.
  const Rows rows = {{"\x83", "b", "\x81"}, {"x\x81\"", "\x82,", "\xE0\r\n"}, {"\x83\x5C", "\x81"}};
  TCSVData t;
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t c = 0; c < rows[r].size(); ++c) t.SetCell(static_cast<int>(r), static_cast<int>(c), rows[r][c]);
  EXPECT_EQ(AllRows(Parse(t.GetText())), rows) << t.GetText();
}

TEST(CSVData, CellAccessAndSearch) {
  TCSVData t = Parse("id,1\r\nshort\r\nid2,2,x\r\n");
  EXPECT_EQ(t.GetCell(0, 1), "1");
  EXPECT_EQ(t.GetCell(1, 1), "");
  EXPECT_EQ(t.GetCell(-1, 0), "");
  EXPECT_EQ(t.GetCell(9, 0), "");
  EXPECT_EQ(t.IndexOf(1, "2"), 2);
  EXPECT_EQ(t.IndexOf(1, ""), -1);  // rows with fewer cells are skipped
  EXPECT_EQ(t.IndexOf(0, "ID"), -1);
  t.SetCell(5, 2, "far");
  EXPECT_EQ(t.RowCount(), 6);
  EXPECT_EQ(t.Rows(5).size(), 3u);
  EXPECT_EQ(t.CellCount(4), 0);
  EXPECT_TRUE(t.Rows(99).empty());
  t.SetCell(1, 3, "grown");  // a row in the middle grows without disturbing its neighbours
  EXPECT_EQ(t.GetCell(1, 0), "short");
  EXPECT_EQ(t.GetCell(1, 3), "grown");
  EXPECT_EQ(t.GetCell(2, 0), "id2");
  EXPECT_EQ(t.GetCell(5, 2), "far");
  t.SetCell(2, 1, "a longer text than before");
  t.SetCell(2, 2, "");
  EXPECT_EQ(t.GetCell(2, 1), "a longer text than before");
  EXPECT_EQ(t.Rows(2), (qv::TCSVRow{"id2", "a longer text than before", ""}));
  t.DeleteRow(0);
  t.DeleteRow(42);
  EXPECT_EQ(t.GetCell(0, 0), "short");
  TCSVData copy;
  copy.Assign(t);
  EXPECT_EQ(copy.GetText(), t.GetText());
}

TEST(CSVData, FileRoundTripNormalisesLineBreaks) {
  qvtest::TempDir dir;
  TCSVData t;
  t.SetCell(0, 0, "lf\ninside");
  t.SetCell(0, 1, "\x8E\xF3\x90\x4D\x95\xEB");  // 受信簿
  t.SetCell(1, 0, "cr\rinside");
  ASSERT_TRUE(t.SaveToFile(dir / "t.csv"));
  EXPECT_EQ(qvtest::ReadFile(dir / "t.csv"),
            "\"lf\r\ninside\",\x8E\xF3\x90\x4D\x95\xEB\r\n\"cr\r\ninside\"\r\n");
  TCSVData back;
  ASSERT_TRUE(back.LoadFromFile(dir / "t.csv"));
  EXPECT_EQ(back.GetCell(0, 0), "lf\r\ninside");
  EXPECT_EQ(back.GetCell(0, 1), t.GetCell(0, 1));
  EXPECT_EQ(back.GetCell(1, 0), "cr\r\ninside");
  EXPECT_FALSE(back.LoadFromFile(dir / "missing.csv"));

  std::istringstream in("a,b\nc,\"d\ne\"");
  TCSVData s;
  s.LoadFromStream(in);
  EXPECT_EQ(AllRows(s), (Rows{{"a", "b"}, {"c", "d\r\ne"}}));
  std::ostringstream out;
  s.SaveToStream(out);
  EXPECT_EQ(out.str(), "a,b\r\nc,\"d\r\ne\"\r\n");
}

TEST(CSVData, JoinLines) {
  EXPECT_EQ(qv::JoinLinesCrLf(""), "");
  EXPECT_EQ(qv::JoinLinesCrLf("a"), "a\r\n");
  EXPECT_EQ(qv::JoinLinesCrLf("a\rb\nc\r\nd\r\n"), "a\r\nb\r\nc\r\nd\r\n");
  EXPECT_EQ(qv::JoinLinesCrLf("\n\n"), "\r\n\r\n");
}
