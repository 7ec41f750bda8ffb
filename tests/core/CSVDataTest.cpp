#include "core/data/CSVData.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <sstream>
#include <utility>

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

namespace {

// The parser the table had before it classified bytes in blocks: one byte at a
// time, straight from the rules. The block parser must agree with it on every
// input, also on what it met besides the cells.
Rows ByteAtATimeRows(std::string_view text, qv::CsvTextFindings* found = nullptr) {
  Rows rows;
  qv::CsvTextFindings dummy;
  qv::CsvTextFindings& f = found ? *found : dummy;
  f = {};
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; })) {
    f.strayNul = text.find('\0') != std::string_view::npos;
    return rows;
  }
  auto lead = [](unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); };
  auto trail = [](unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); };
  std::vector<std::string> row;
  std::string buf;
  bool quoted = false;
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (lead(c) && i + 1 < text.size() && trail(static_cast<unsigned char>(text[i + 1]))) {
      buf.append(text.substr(i, 2));
      i += 2;
    } else if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        buf += '"';
        i += 2;
      } else {
        if (c == '"')
          quoted = false;
        else
          buf += static_cast<char>(c);
        ++i;
      }
    } else if (c == '"') {
      if (buf.empty())
        quoted = true;
      else
        buf += '"';
      ++i;
    } else if (c == ',') {
      row.push_back(std::exchange(buf, {}));
      ++i;
    } else if (c == '\r') {
      row.push_back(std::exchange(buf, {}));
      rows.push_back(std::exchange(row, {}));
      i += 2;
    } else {
      f.strayNul = f.strayNul || c == '\0';
      buf += static_cast<char>(c);
      ++i;
    }
  }
  f.openQuote = quoted;
  if (!buf.empty()) row.push_back(buf);
  if (!row.empty()) rows.push_back(row);
  return rows;
}

// Random text over the bytes that matter to the parser: delimiters, quotes,
// CR and LF in every mix, lead bytes (alone, in runs, at block edges) and
// bytes that are trail bytes or look like delimiters after a lead byte.
std::string RandomCsvText(std::mt19937& rng) {
  static const std::string kBytes = std::string("a ,\"\r\n\t") + '\0' + "\x81\x83\x95\x9F\xE0\xFC\x40\x5C\x7C\xA0\xB1\xFD\x80";
  static const std::string kPieces[] = {"\r\n", "\"\"", "\",", ",\"", "\x83\"", "\x83,", "\x83\r", "\r\x83",
                                        "\x95\x5C", "\x81\x81", std::string(70, 'x'), std::string(63, '\x83'),
                                        std::string(64, '\x83'), "\"a\"\"b\"c", "\n"};
  std::string text;
  const size_t size = rng() % 8 == 0 ? 200 + rng() % 2000 : rng() % 160;
  // Some texts favour one kind of byte, so that long runs happen.
  const int skew = static_cast<int>(rng() % 4);
  while (text.size() < size) {
    if (rng() % 6 == 0) {
      text += kPieces[rng() % std::size(kPieces)];
    } else {
      size_t pick = skew == 0 ? rng() % kBytes.size() : (rng() % 3 == 0 ? rng() % kBytes.size() : 7 + rng() % 6);
      text += kBytes[pick];
    }
  }
  return text;
}

class CSVDataUnits : public ::testing::TestWithParam<qv::CsvVectorUnit> {
 protected:
  void SetUp() override {
    if (qv::UseCsvVectorUnit(GetParam()) != GetParam()) GTEST_SKIP() << "the processor lacks this vector unit";
  }
  void TearDown() override { qv::UseCsvVectorUnit(qv::CsvVectorUnit::Avx2); }
};

}  // namespace

TEST_P(CSVDataUnits, AgreesWithTheByteAtATimeParserOnRandomText) {
  std::mt19937 rng(20240607);
  TCSVData warm;  // one table reused, as a reader that reloads an index does
  const int cases = 10000;
  for (int i = 0; i < cases; ++i) {
    const std::string text = RandomCsvText(rng);
    const Rows want = ByteAtATimeRows(text);
    ASSERT_EQ(AllRows(Parse(text)), want) << "case " << i << ": " << testing::PrintToString(text);
    warm.SetText(text);
    ASSERT_EQ(AllRows(warm), want) << "case " << i;
    // A file is read as lines joined with CR LF first.
    std::istringstream in(text);
    TCSVData s;
    s.LoadFromStream(in);
    ASSERT_EQ(AllRows(s), ByteAtATimeRows(qv::JoinLinesCrLf(text))) << "case " << i << ": " << testing::PrintToString(text);
  }
}

TEST(CSVData, TellsWhatItMetThatTheWriterNeverWrites) {
  struct Case {
    const char* name;
    std::string text;
    bool openQuote, strayNul;
  } cases[] = {
      {"a quote never closed", "a,\"b,c\r\nd\r\n", true, false},
      {"a lead byte before the closing quote", "\"\x82\",\"\x82\"\"\"\r\n", false, false},
      {"a blank, then a lead byte before the closing quote", "\" \x82\"\r\n", false, false},
      {"a lead byte before a comma", "\x82,\"x\"\r\n", false, false},
      {"a NUL inside quotes", std::string("\"A\0\",b\r\n", 8), false, false},
      {"a NUL outside quotes", std::string("a,\0b\r\n", 6), false, true},
      {"a NUL after a closing quote", std::string("\"a\"\0\r\n", 7), false, true},
      {"NUL bytes and blanks alone", std::string(" \0\r\n", 4), false, true},
      {"a quote inside a cell opens nothing", "ab\"c,d\r\n", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TCSVData t;
    qv::CsvTextFindings found;
    t.SetText(c.text, found);
    EXPECT_EQ(found.openQuote, c.openQuote);
    EXPECT_EQ(found.strayNul, c.strayNul);
    EXPECT_EQ(AllRows(t), AllRows(Parse(c.text)));
  }
  // Random text: the same cells as without the search, and what the byte at a
  // time parser met.
  std::mt19937 rng(20240611);
  for (int i = 0; i < 10000; ++i) {
    const std::string text = RandomCsvText(rng);
    qv::CsvTextFindings want, found;
    const Rows rows = ByteAtATimeRows(text, &want);
    TCSVData t;
    t.SetText(text, found);
    ASSERT_EQ(AllRows(t), rows) << "case " << i << ": " << testing::PrintToString(text);
    ASSERT_EQ(found.openQuote, want.openQuote) << "case " << i << ": " << testing::PrintToString(text);
    ASSERT_EQ(found.strayNul, want.strayNul) << "case " << i << ": " << testing::PrintToString(text);
  }
  // Written tables of any bytes have neither, and read back as written.
  const std::string pieces[] = {"a", std::string(1, '\0'), "\x82", "\xFC", "\x83\x5C", ",", "\"", " ", "\r\n", "\n", "\r"};
  for (int i = 0; i < 300; ++i) {
    TCSVData t;
    for (int r = 0, rows = 1 + static_cast<int>(rng() % 6); r < rows; ++r)
      for (int c = 0, cells = 1 + static_cast<int>(rng() % 6); c < cells; ++c) {
        std::string cell;
        for (int k = static_cast<int>(rng() % 8); k > 0; --k) cell += pieces[rng() % std::size(pieces)];
        t.SetCell(r, c, cell);
      }
    const std::string text = t.SaveToText();
    TCSVData back;
    qv::CsvTextFindings found;
    back.LoadFromText(text, &found);
    ASSERT_FALSE(found.openQuote) << testing::PrintToString(text);
    ASSERT_FALSE(found.strayNul) << testing::PrintToString(text);
    TCSVData joined;
    joined.LoadFromText(text);
    ASSERT_EQ(AllRows(back), AllRows(joined));
  }
}

TEST_P(CSVDataUnits, ParsesEveryWrittenTableBack) {
  // Tables of CP932 cells with quotes, commas and line breaks, written and
  // parsed again; then edited, which must leave the other cells alone.
  std::mt19937 rng(7);
  const std::string pieces[] = {"a", "\x83\x5C", "\x95\x5C", "\x83\x7C", ",", "\"", " ", "\r\n", "\x8E\xF3", "\xB1"};
  for (int i = 0; i < 300; ++i) {
    TCSVData t;
    const int rows = 1 + static_cast<int>(rng() % 40);
    for (int r = 0; r < rows; ++r)
      for (int c = 0, cells = 1 + static_cast<int>(rng() % 16); c < cells; ++c) {
        std::string cell;
        for (int k = static_cast<int>(rng() % 12); k > 0; --k) cell += pieces[rng() % std::size(pieces)];
        t.SetCell(r, c, cell);
      }
    const std::string text = t.GetText();
    TCSVData back = Parse(text);
    ASSERT_EQ(AllRows(back), ByteAtATimeRows(text)) << testing::PrintToString(text);
    if (text.find_first_not_of(" \r\n") != std::string::npos) {
      for (int r = 0; r < rows; ++r)
        for (int c = 0; c < t.CellCount(r); ++c) ASSERT_EQ(back.GetCell(r, c), t.GetCell(r, c)) << r << "," << c;
    }
    Rows before = AllRows(back);
    const int row = static_cast<int>(rng() % rows);
    back.SetCell(row, 0, "x");
    back.SetCell(row, 1, "a much longer text than any cell holds");
    before[row].resize(std::max<size_t>(before[row].size(), 2));
    before[row][0] = "x";
    before[row][1] = "a much longer text than any cell holds";
    ASSERT_EQ(AllRows(back), before);
  }
}

TEST_P(CSVDataUnits, ParsesALargeTextIntoAGrownTable) {
  // Megabytes of text: the table's buffers grow far past the sizes where
  // their pages are mapped ahead and huge pages are asked for.
  std::mt19937 rng(99);
  std::string text;
  while (text.size() < (size_t{6} << 20)) text += RandomCsvText(rng);
  const Rows want = ByteAtATimeRows(text);
  TCSVData table = Parse("a,b\r\n");
  table.SetText(text);
  ASSERT_EQ(AllRows(table), want);
  // Grown cell by cell past the same sizes, every cell keeps its text.
  auto cell = [](int r, int c) {
    std::string text = std::to_string(r) + "," + std::to_string(c);
    for (int k = r % 15; k > 0; --k) text += "\x83\x40";
    return text;
  };
  TCSVData built;
  const int rows = 40000;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < 8; ++c) built.SetCell(r, c, cell(r, c));
  for (int r = 0; r < rows; r += 997)
    for (int c = 0; c < 8; ++c) ASSERT_EQ(built.GetCell(r, c), cell(r, c));
  ASSERT_EQ(AllRows(Parse(built.GetText())), AllRows(built));
}

INSTANTIATE_TEST_SUITE_P(, CSVDataUnits,
                         ::testing::Values(qv::CsvVectorUnit::Portable, qv::CsvVectorUnit::Sse2,
                                           qv::CsvVectorUnit::Avx2),
                         [](const auto& info) {
                           return std::string(info.param == qv::CsvVectorUnit::Portable ? "Portable"
                                              : info.param == qv::CsvVectorUnit::Sse2   ? "Sse2"
                                                                                        : "Avx2");
                         });

TEST(CSVData, EveryChangeMovesTheRevisionOn) {
  qvtest::TempDir dir;
  TCSVData source = Parse("a,b\r\n");
  ASSERT_TRUE(source.SaveToFile(dir / "t.csv"));
  struct Case {
    const char* name;
    std::function<void(TCSVData&)> change;
  } cases[] = {
      {"AddRow", [](TCSVData& t) { t.AddRow(); }},
      {"SetCell", [](TCSVData& t) { t.SetCell(0, 0, "z"); }},
      {"SetCell shorter", [](TCSVData& t) { t.SetCell(0, 1, ""); }},
      {"DeleteRow", [](TCSVData& t) { t.DeleteRow(0); }},
      {"Clear", [](TCSVData& t) { t.Clear(); }},
      {"SetText", [](TCSVData& t) { t.SetText("c\r\n"); }},
      {"LoadFromFile", [&](TCSVData& t) { t.LoadFromFile(dir / "t.csv"); }},
      {"Assign an older table", [&](TCSVData& t) { t.Assign(source); }},
      {"move an older table in", [](TCSVData& t) { t = Parse("q\r\n"); }},
  };
  for (const auto& c : cases) {
    TCSVData t;
    for (int i = 0; i < 5; ++i) t.SetText("x,y\r\nw\r\n");
    const uint64_t before = t.Revision();
    c.change(t);
    EXPECT_GT(t.Revision(), before) << c.name;
  }
  TCSVData t = Parse("x\r\n");
  const uint64_t before = t.Revision();
  (void)t.GetText();
  (void)t.GetCell(0, 0);
  (void)t.IndexOf(0, "x");
  EXPECT_EQ(t.Revision(), before);
}

TEST(CSVData, TakesTextFromItsOwnCells) {
  // A cell holding CSV text: parsing it, or copying it into a cell that
  // grows, reads bytes the table is about to reuse.
  TCSVData t = Parse("\"a,b\r\nc\",x\r\n");
  ASSERT_EQ(t.GetCell(0, 0), "a,b\r\nc");
  t.SetCell(0, 2, t.GetCell(0, 0));
  EXPECT_EQ(t.GetCell(0, 2), "a,b\r\nc");
  t.SetText(t.GetCell(0, 0));
  EXPECT_EQ(AllRows(t), (Rows{{"a", "b"}, {"c"}}));
}
