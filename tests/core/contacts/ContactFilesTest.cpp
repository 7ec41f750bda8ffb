// The phone-book file (.qad), its CSV export and import, and the bookmark
// file (.qbk) with its CSV, through real files in a temporary folder.
#include "core/data/Bookmarks.h"
#include "core/data/CSVData.h"
#include "core/data/ContactExchange.h"
#include "core/data/HandsetExchange.h"
#include "core/data/NamedRecordFile.h"
#include "core/data/PhoneBook.h"
#include "platform/FileUtil.h"

#include "ContactData.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

using namespace qv;
using qvtest::Sjis;

namespace {

std::string Le32(int32_t v) {
  auto u = static_cast<uint32_t>(v);
  return std::string{static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
                     static_cast<char>(u >> 24)};
}
std::string Member(std::string_view name, std::string_view data) {
  return Le32(static_cast<int32_t>(name.size())) + std::string(name) + Le32(static_cast<int32_t>(data.size())) +
         std::string(data);
}

PhoneBookEntry Named(std::string_view kana) {
  PhoneBookEntry e;
  e.SetField(kPbKana, Sjis(kana));
  return e;
}

std::vector<std::string> Kanas(const PhoneBookList& list) {
  std::vector<std::string> names;
  for (const auto& e : list) names.emplace_back(e.Field(kPbKana));
  return names;
}

// The entry's 17 exported fields.
std::vector<std::string> Exported(const PhoneBookEntry& e) {
  std::vector<std::string> out;
  for (const auto& caption : PhoneBookExportCaptions()) out.emplace_back(e.Field(caption));
  return out;
}

}  // namespace

TEST(PhoneBookFile, CaptionsNameTheFieldsAndTagTheDateAndAgeColumns) {
  EXPECT_EQ(PhoneBookCaption(kPbKana), Sjis("名前(カナ)"));
  EXPECT_EQ(PhoneBookCaption(kPbCompanyKana), Sjis("名前（カナ）(会社)"));
  EXPECT_EQ(PhoneBookCaption(kPbPictureFlag), Sjis("画像データ"));
  EXPECT_EQ(PhoneBookCaption(kPbRawItems), "");
  for (int f = 0; f < kPhoneBookColumns; ++f) EXPECT_EQ(PhoneBookFieldOf(PhoneBookCaption(f)), f);
  EXPECT_EQ(PhoneBookFieldOf("nothing"), -1);
  std::vector<int> dates, ages;
  for (int f = 0; f < kPhoneBookColumns; ++f) {
    if (PhoneBookColumnTag(f) == 2) dates.push_back(f);
    if (PhoneBookColumnTag(f) == 1) ages.push_back(f);
  }
  EXPECT_EQ(dates, (std::vector<int>{kPbBirthDate, kPbCompanyDate, kPbLastOutgoing, kPbLastIncoming}));
  EXPECT_EQ(ages, (std::vector<int>{kPbAge, kPbCompanyAge}));
  PhoneBookEntry e;
  e.SetField(Sjis("メールアドレス3"), "m@x");
  e.SetField(Sjis("no such caption"), "lost");
  EXPECT_EQ(e.Field(kPbMail1 + 2), "m@x");
  EXPECT_EQ(e.Field(Sjis("名前(カナ)")), "");
  EXPECT_EQ(e.FieldCount(), kPhoneBookFields);
}

TEST(PhoneBookFile, SavesAndLoadsEveryFieldAndPictureInListOrder) {
  qvtest::TempDir tmp;
  PhoneBookList book = qvtest::FullPhoneBook(25);
  book[3].SetField(kPbRawItems, "0101020102 010D0103 ");
  book[7].SetField(kPhoneBookFields, "a 53rd cell");  // a row with more cells keeps them
  book[4].picture = std::string();            // an empty picture is still one
  ASSERT_TRUE(SaveArchive(tmp / "book.qad", book));

  std::vector<std::string> names;
  std::ifstream in(tmp / "book.qad", std::ios::binary);
  ASSERT_TRUE(ListRecords(in, names));
  EXPECT_EQ(names, (std::vector<std::string>{"Address.idx", "0.bmp", "4.bmp", "10.bmp", "20.bmp"}));

  PhoneBookList loaded;
  FileError why = FileError::Damaged;
  ASSERT_TRUE(LoadArchive(tmp / "book.qad", loaded, &why));
  EXPECT_EQ(why, FileError::None);
  ASSERT_EQ(loaded.size(), book.size());
  for (size_t i = 0; i < book.size(); ++i) EXPECT_EQ(loaded[i], book[i]) << "row " << i;
}

TEST(PhoneBookFile, EdgeCasesOfTheContainer) {
  const std::string idx3 = "A\r\nB\r\nC\r\n";
  const std::string idx5 = "A\r\nB\r\nC\r\nD\r\nE\r\n";
  struct Case {
    const char* name;
    std::string file;
    std::vector<std::string> kanas;
    std::vector<std::pair<size_t, std::string>> pictures;  // row, bytes
  } cases[] = {
      {"an empty index gives an empty list", Member("Address.idx", ""), {}, {}},
      {"rows shorter than 52 cells are padded", Member("Address.idx", "A,x\r\nB\r\n"), {"A", "B"}, {}},
      {"a picture member beyond the rows is ignored", Member("Address.idx", idx5) + Member("7.bmp", "seven"),
       {"A", "B", "C", "D", "E"}, {}},
      {"any extension names the row", Member("Address.idx", idx5) + Member("2.jpg", "two"),
       {"A", "B", "C", "D", "E"}, {{2, "two"}}},
      {"members of no row number are skipped",
       Member("Address.idx", idx3) + Member("x.bmp", "x") + Member("-1.bmp", "m") + Member("1a.bmp", "y") +
           Member(" 1.bmp ", "one"),
       {"A", "B", "C"}, {{1, "one"}}},
      {"the first index counts, wherever it stands",
       Member("0.bmp", "zero") + Member("Address.idx ", idx3) + Member("Address.idx", "Z\r\n"), {"A", "B", "C"},
       {{0, "zero"}}},
      {"a member named with nothing after its name ends the file", Member("Address.idx", idx3) + Le32(5) + "1.bmp",
       {"A", "B", "C"}, {}},
  };
  qvtest::TempDir tmp;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    qvtest::WriteFile(tmp / "t.qad", c.file);
    PhoneBookList list = {Named("old")};
    ASSERT_TRUE(LoadArchive(tmp / "t.qad", list));
    EXPECT_EQ(Kanas(list), c.kanas);
    for (size_t row = 0; row < list.size(); ++row) {
      EXPECT_EQ(list[row].FieldCount(), kPhoneBookFields);
      std::optional<std::string> want;
      for (const auto& [r, bytes] : c.pictures)
        if (r == row) want = bytes;
      EXPECT_EQ(list[row].picture, want) << "row " << row;
    }
  }
}

TEST(PhoneBookFile, AFileThatCannotBeReadLeavesTheListAsItWas) {
  qvtest::TempDir tmp;
  const PhoneBookList before = {Named("keep")};
  struct Case {
    const char* name;
    std::string file;
    FileError why;
  } cases[] = {
      {"no index", Member("0.bmp", "x"), FileError::NoIndex},
      {"a length past the end", Member("Address.idx", "A\r\n") + Le32(5) + "0.bmp" + Le32(100) + "BM",
       FileError::Damaged},
      {"a name past the end", Member("Address.idx", "A\r\n") + Le32(50) + "0.bmp", FileError::Damaged},
      {"a negative length", Le32(-1) + "x", FileError::Damaged},
      {"cut inside a length", std::string("\x0B\x00", 2), FileError::Damaged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    qvtest::WriteFile(tmp / "bad.qad", c.file);
    PhoneBookList list = before;
    FileError why = FileError::None;
    EXPECT_FALSE(LoadArchive(tmp / "bad.qad", list, &why));
    EXPECT_EQ(why, c.why);
    EXPECT_EQ(list, before);
  }
  PhoneBookList list = before;
  FileError why = FileError::None;
  EXPECT_FALSE(LoadArchive(tmp / "missing.qad", list, &why));
  EXPECT_EQ(why, FileError::Missing);
  EXPECT_EQ(list, before);
}

TEST(PhoneBookFile, ATruncatedFileNeverLoadsHalfARecord) {
  // Cut at every length: the load either fails and leaves the list alone, or
  // gives whole records of the original, never a cut picture or row.
  qvtest::TempDir tmp;
  PhoneBookList book = {Named("A"), Named("B"), Named("C")};
  book[0].SetField(kPbMemo, "a memo,\r\n of two lines");
  book[1].picture = "pic1";
  book[2].picture = "picture two";
  ASSERT_TRUE(SaveArchive(tmp / "full.qad", book));
  const std::string bytes = qvtest::ReadFile(tmp / "full.qad");
  int failed = 0;
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    qvtest::WriteFile(tmp / "cut.qad", bytes.substr(0, cut));
    PhoneBookList list = {Named("before")};
    if (!LoadArchive(tmp / "cut.qad", list)) {
      ++failed;
      ASSERT_EQ(Kanas(list), std::vector<std::string>{"before"}) << "cut at " << cut;
      continue;
    }
    ASSERT_EQ(list.size(), book.size()) << "cut at " << cut;
    for (size_t i = 0; i < list.size(); ++i) {
      EXPECT_EQ(list[i].Fields(), book[i].Fields());
      EXPECT_TRUE(!list[i].picture || list[i].picture == book[i].picture) << "cut at " << cut;
    }
  }
  EXPECT_GT(failed, int(bytes.size()) / 2);
}

TEST(PhoneBookFile, SavingAfterADeleteRenumbersThePictures) {
  qvtest::TempDir tmp;
  PhoneBookList book = {Named("A"), Named("B"), Named("C"), Named("D")};
  book[1].picture = "b";
  book[3].picture = "d";
  book.erase(book.begin());  // the list after deleting A
  ASSERT_TRUE(SaveArchive(tmp / "b.qad", book));
  std::ifstream in(tmp / "b.qad", std::ios::binary);
  std::vector<std::string> names;
  ASSERT_TRUE(ListRecords(in, names));
  EXPECT_EQ(names, (std::vector<std::string>{"Address.idx", "0.bmp", "2.bmp"}));
  PhoneBookList loaded;
  ASSERT_TRUE(LoadArchive(tmp / "b.qad", loaded));
  EXPECT_EQ(loaded[0].picture, "b");
  EXPECT_EQ(loaded[1].picture, std::nullopt);
  EXPECT_EQ(loaded[2].picture, "d");
}

TEST(PhoneBookFile, AnEmptyListSavesOnlyAnEmptyIndex) {
  qvtest::TempDir tmp;
  ASSERT_TRUE(SaveArchive(tmp / "e.qad", PhoneBookList{}));
  EXPECT_EQ(qvtest::ReadFile(tmp / "e.qad"), Member("Address.idx", ""));
  PhoneBookList list = {Named("x")};
  ASSERT_TRUE(LoadArchive(tmp / "e.qad", list));
  EXPECT_TRUE(list.empty());
}

TEST(PhoneBookFile, AFailedSaveKeepsTheOldFileWhole) {
  qvtest::TempDir tmp;
  ASSERT_TRUE(SaveArchive(tmp / "b.qad", {Named("old")}));
  ASSERT_TRUE(SaveBookmarks(tmp / "b.qbk", {qvtest::FullBookmark(1)}));
  const std::string oldBook = qvtest::ReadFile(tmp / "b.qad"), oldMarks = qvtest::ReadFile(tmp / "b.qbk");
  {
    qvtest::ScopedFileSizeLimit full(std::max(oldBook.size(), oldMarks.size()) + 10);  // the disk is full
    EXPECT_FALSE(SaveArchive(tmp / "b.qad", qvtest::FullPhoneBook(3)));
    EXPECT_FALSE(SaveBookmarks(tmp / "b.qbk", BookmarkList(5, qvtest::FullBookmark(2))));
  }
  EXPECT_EQ(qvtest::ReadFile(tmp / "b.qad"), oldBook);
  EXPECT_EQ(qvtest::ReadFile(tmp / "b.qbk"), oldMarks);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()), {}), 2) << "no leftovers";
}

TEST(PhoneBookCsv, ExportThenImportGivesTheSameSeventeenFields) {
  PhoneBookList book = qvtest::FullPhoneBook(12);
  book[2].SetField(kPbKanji, "a,b \"c\"\r\nd,");
  book[3].SetField(kPbSecret, "");  // neither on nor off: exported as 0, read back off
  const std::string csv = WriteCsv(book, false);
  TCSVData table;
  table.SetText(csv);
  ASSERT_EQ(table.RowCount(), 13);
  EXPECT_EQ(table.Rows(0), PhoneBookExportCaptions());
  EXPECT_EQ(table.GetCell(1, 16), "0");
  EXPECT_EQ(table.GetCell(2, 16), "1");
  EXPECT_EQ(table.GetCell(4, 16), "0");

  PhoneBookList imported = {Named("already there")};
  CsvTextError error = CsvTextError::OpenQuote;
  EXPECT_EQ(ReadCsv(csv, false, imported, &error), 12);  // the caption row is no entry
  EXPECT_EQ(error, CsvTextError::None);
  ASSERT_EQ(imported.size(), 13u);
  for (size_t i = 0; i < book.size(); ++i) {
    PhoneBookEntry want = book[i];
    if (i == 3) want.SetField(kPbSecret, "OFF");
    EXPECT_EQ(Exported(imported[i + 1]), Exported(want)) << "row " << i;
    EXPECT_EQ(imported[i + 1].FieldCount(), kPhoneBookFields);
    EXPECT_FALSE(imported[i + 1].picture);
  }
  // Exported again, the import gives the same file.
  EXPECT_EQ(WriteCsv(PhoneBookList(imported.begin() + 1, imported.end()), false), csv);
}

TEST(PhoneBookCsv, ImportTakesRowsAsTheyStand) {
  // Only a first row equal to the captions is skipped; secret values other than
  // 1 and 0 stay; an entry without a kana name stays; extra cells are ignored.
  std::string csv = "G,W,kanji,,p1\r\n" + WriteCsv(PhoneBookList{}, false) + "g2,,,kana2,,,,,,,,,,,,,ON,extra\r\n,,,,,,,,,,,,,,,,yes\r\n";
  PhoneBookList list;
  EXPECT_EQ(ReadCsv(csv, false, list), 4);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].Field(kPbGroup), "G");
  EXPECT_EQ(list[0].Field(kPbListKind), "W");
  EXPECT_EQ(list[0].Field(kPbKanji), "kanji");
  EXPECT_EQ(list[0].Field(kPbKana), "");
  EXPECT_EQ(list[0].Field(kPbPhone1), "p1");
  EXPECT_EQ(list[1].Field(kPbKana), Sjis("名前(カナ)"));  // the caption row, not first
  EXPECT_EQ(list[2].Field(kPbSecret), "ON");
  EXPECT_EQ(list[3].Field(kPbSecret), "yes");
  EXPECT_EQ(list[2].FieldCount(), kPhoneBookFields);
}

TEST(PhoneBookCsv, TextThatIsNoShiftJisCsvIsRefusedWhole) {
  struct Case {
    const char* name;
    std::string text;
    CsvTextError error;
  } cases[] = {
      {"a quoted cell never closed", "a,b\r\n\"c,d\r\ne,f\r\n", CsvTextError::OpenQuote},
      {"UTF-8 without its mark", "\xE5\xB1\xB1\xE7\x94\xB0,\xE3\x82\xA4\r\n", CsvTextError::NotShiftJis},
      {"UTF-8 with its mark", "\xEF\xBB\xBF" "a,b\r\n", CsvTextError::NotShiftJis},
      {"binary bytes", std::string("a,\0b\r\n", 6), CsvTextError::NotShiftJis},
      {"Shift-JIS with a quote and a trail byte like a quote", Sjis("\"山田,\"\"x\"\"\",ソ\"\r\n"), CsvTextError::None},
      {"a quote inside a cell opens nothing", "ab\"c,d\r\n", CsvTextError::None},
      {"plain ASCII", "a,b\r\n", CsvTextError::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CheckCsvText(c.text), c.error);
    PhoneBookList list = {Named("kept")};
    CsvTextError error = CsvTextError::None;
    const int n = ReadCsv(c.text, false, list, &error);
    EXPECT_EQ(error, c.error);
    if (c.error != CsvTextError::None) {
      EXPECT_EQ(n, 0);
      EXPECT_EQ(Kanas(list), std::vector<std::string>{"kept"});
    } else {
      EXPECT_GT(list.size(), 1u);
    }
    BookmarkList marks = {qvtest::FullBookmark(0)};
    EXPECT_EQ(ReadCsv(c.text, false, marks, &error) == 0, c.error != CsvTextError::None);
    EXPECT_EQ(error, c.error);
  }
}

TEST(BookmarkFile, TheFileHasNoCaptionRowAndTheExportHasOne) {
  qvtest::TempDir tmp;
  BookmarkList marks = {qvtest::FullBookmark(1), qvtest::FullBookmark(2)};
  marks[1].fields[kBmComment] = "";
  ASSERT_TRUE(SaveBookmarks(tmp / "b.qbk", marks));
  TCSVData file;
  ASSERT_TRUE(file.LoadFromFile(tmp / "b.qbk"));
  ASSERT_EQ(file.RowCount(), 2);
  EXPECT_EQ(file.GetCell(0, 0), marks[0].Field(kBmName));
  EXPECT_EQ(file.GetCell(0, 1), marks[0].Field(kBmReading));
  EXPECT_EQ(file.GetCell(0, 2), marks[0].Field(kBmAddress));
  EXPECT_EQ(file.GetCell(0, 3), marks[0].Field(kBmComment));
  BookmarkList loaded;
  ASSERT_TRUE(LoadBookmarks(tmp / "b.qbk", loaded));
  EXPECT_EQ(loaded, marks);

  const std::string csv = WriteCsv(marks, false);
  TCSVData exported;
  exported.SetText(csv);
  ASSERT_EQ(exported.RowCount(), 3);
  EXPECT_EQ(exported.Rows(0), (TCSVRow{Sjis("コンテンツ名"), Sjis("コンテンツ読み仮名"), Sjis("コンテンツアドレス"),
                                        Sjis("コメント")}));
  BookmarkList imported = {qvtest::FullBookmark(9)};
  EXPECT_EQ(ReadCsv(csv, false, imported), 2);
  ASSERT_EQ(imported.size(), 3u);
  EXPECT_EQ(imported[1], marks[0]);
  EXPECT_EQ(imported[2], marks[1]);
}

TEST(BookmarkFile, AFileThatCannotBeReadLeavesTheListAsItWas) {
  qvtest::TempDir tmp;
  const BookmarkList before = {qvtest::FullBookmark(5)};
  struct Case {
    const char* name;
    std::string file;  // empty: a folder of that name
    FileError why;
  } cases[] = {
      {"UTF-8 text", "\xE3\x83\x8B\xE3\x83\xA5,x\r\n", FileError::Damaged},
      {"a binary file", std::string("\x0B\0\0\0Address.idx", 15), FileError::Damaged},
      {"a quote never closed", "a,\"b\r\n", FileError::Damaged},
      {"a folder", "", FileError::Missing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = tmp / (std::string(c.name) + ".qbk");
    if (c.file.empty())
      std::filesystem::create_directories(path);
    else
      qvtest::WriteFile(path, c.file);
    BookmarkList list = before;
    FileError why = FileError::None;
    EXPECT_FALSE(LoadBookmarks(path, list, &why));
    EXPECT_EQ(why, c.why);
    EXPECT_EQ(list, before);
  }
}

namespace {

// What a file gives back of a cell: its line breaks (CR LF, a lone CR or a
// lone LF) as CR LF, since files are read and written as lines.
std::string AsLines(std::string_view cell) {
  std::string out;
  for (size_t i = 0; i < cell.size(); ++i) {
    if (cell[i] == '\r' || cell[i] == '\n') {
      out += "\r\n";
      if (cell[i] == '\r' && i + 1 < cell.size() && cell[i + 1] == '\n') ++i;
    } else {
      out += cell[i];
    }
  }
  return out;
}

// Raw handset bytes as the decoders pass them on: NUL bytes, characters cut
// after their lead byte next to blanks, quotes and commas, whole double-byte
// characters (one with a trail byte like a backslash), line breaks of every
// kind and bytes that pass for UTF-8.
std::string RawField(std::mt19937& random) {
  static const std::vector<std::string> pieces = {
      "A", std::string(1, '\0'), "\x82", "\x81", "\xE0", "\xFC", " ", "\"", ",", "\r\n", "\r", "\n",
      "\x82\xA0", "\x83\x5C", "\xB1", "\xE3\x83\x8B", "\t", "x"};
  std::string s;
  for (int n = static_cast<int>(random() % 7); n > 0; --n) s += pieces[random() % pieces.size()];
  return s;
}

// The phone book, the bookmarks, both CSV forms: saved, opened again and
// compared with what was saved.
void ExpectReadBack(const PhoneBookList& book, const BookmarkList& marks, const std::filesystem::path& folder) {
  ASSERT_TRUE(SaveArchive(folder / "b.qad", book));
  PhoneBookList loaded;
  FileError why = FileError::None;
  ASSERT_TRUE(LoadArchive(folder / "b.qad", loaded, &why)) << static_cast<int>(why);
  ASSERT_EQ(loaded.size(), book.size());
  for (size_t i = 0; i < book.size(); ++i)
    for (int f = 0; f < kPhoneBookFields; ++f) ASSERT_EQ(loaded[i].Field(f), AsLines(book[i].Field(f))) << i << ":" << f;

  PhoneBookList whole;
  ASSERT_EQ(ReadCsv(WriteCsv(book, true), true, whole), static_cast<int>(book.size()));
  EXPECT_EQ(whole, loaded);

  PhoneBookList imported;
  CsvTextError error = CsvTextError::None;
  ASSERT_EQ(ReadCsv(WriteCsv(book, false), false, imported, &error), static_cast<int>(book.size()))
      << static_cast<int>(error);
  for (size_t i = 0; i < book.size(); ++i) {
    PhoneBookEntry want = loaded[i];
    want.SetField(kPbSecret, want.Field(kPbSecret) == "ON" ? "ON" : "OFF");
    EXPECT_EQ(Exported(imported[i]), Exported(want)) << "row " << i;
  }

  ASSERT_TRUE(SaveBookmarks(folder / "b.qbk", marks));
  BookmarkList back;
  why = FileError::None;
  ASSERT_TRUE(LoadBookmarks(folder / "b.qbk", back, &why)) << static_cast<int>(why);
  ASSERT_EQ(back.size(), marks.size());
  for (size_t i = 0; i < marks.size(); ++i)
    for (int f = 0; f < kBookmarkFields; ++f) EXPECT_EQ(back[i].Field(f), AsLines(marks[i].Field(f))) << i << ":" << f;
  BookmarkList markImport;
  ASSERT_EQ(ReadCsv(WriteCsv(marks, false), false, markImport, &error), static_cast<int>(marks.size()))
      << static_cast<int>(error);
  EXPECT_EQ(markImport, back);
}

}  // namespace

TEST(ContactFiles, WhatTheProgramWritesItReadsBack) {
  qvtest::TempDir tmp;
  // A bookmark from the handset whose name item 2001 holds 41 00, and
  // phone-book fields the handset gave in raw bytes.
  const BookmarkList received = ParseBookmarkLines(
      {FormatHandsetFrameLine(HandsetFrameLine::kLastLine | 1, "2001024100" "200201" "75")});
  ASSERT_EQ(received.size(), 1u);
  ASSERT_EQ(received[0].Field(kBmName), std::string("A\0", 2));
  struct Case {
    const char* name;
    std::vector<std::string> cells;  // kanji name, mail 1, memo; bookmark name and comment
  } cases[] = {
      {"a NUL byte", {std::string("A\0", 2), std::string("\0", 1), "m"}},
      {"a lead byte before a closing quote", {"\x82\"", "a \x82", "\x82 x"}},
      {"a lead byte before a comma and a line break", {"\x82,", "\x82\r\n", "\"\x82\""}},
      {"a blank then a cut character", {" \x82", "\x81", "\xE0"}},
      {"bytes that pass for UTF-8", {"\xE3\x83\x8B\xE3\x83\xA5", "\xEF\xBB\xBF" "a", "x"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PhoneBookList book = {qvtest::FullEntry(1, false), Named("B")};
    book[0].SetField(kPbKanji, c.cells[0]);
    book[0].SetField(kPbMail1, c.cells[1]);
    book[1].SetField(kPbMemo, c.cells[2]);
    BookmarkList marks = received;
    marks.push_back(BookmarkEntry{{c.cells[0], "", c.cells[1], c.cells[2]}});
    // Alone, the list is nothing but these bytes.
    ExpectReadBack(book, marks, tmp.path());
    ExpectReadBack(book, {BookmarkEntry{{c.cells[0], c.cells[2], "", c.cells[1]}}}, tmp.path());
  }
  std::mt19937 random(20240611);
  for (int round = 0; round < 150; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    PhoneBookList book(random() % 4);
    for (auto& e : book)
      for (int f = 0; f < kPhoneBookFields; ++f) e.SetField(f, random() % 3 ? RawField(random) : "");
    BookmarkList marks(random() % 4);
    for (auto& m : marks)
      for (auto& f : m.fields) f = RawField(random);
    ExpectReadBack(book, marks, tmp.path());
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST(ContactFiles, ALineBreakInACellIsWrittenAsCrLf) {
  qvtest::TempDir tmp;
  const std::string cell = "a\nb\rc\r\nd\n";
  const std::string written = "\"a\r\nb\r\nc\r\nd\r\n\"";
  PhoneBookList book = {Named("A")};
  book[0].SetField(kPbKanji, cell);
  BookmarkList marks = {BookmarkEntry{{"N", "", "", cell}}};
  ASSERT_TRUE(SaveArchive(tmp / "b.qad", book));
  ASSERT_TRUE(SaveBookmarks(tmp / "b.qbk", marks));
  std::string index;
  std::ifstream in(tmp / "b.qad", std::ios::binary);
  ASSERT_TRUE(ReadRecord(in, "Address.idx", index));
  struct Case {
    const char* name;
    std::string text;
  } cases[] = {
      {"the phone book's index", index},
      {"the bookmark file", qvtest::ReadFile(tmp / "b.qbk")},
      {"the phone book's CSV export", WriteCsv(book, false)},
      {"the bookmarks' CSV export", WriteCsv(marks, false)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NE(c.text.find(written), std::string::npos) << c.text;
    EXPECT_TRUE(IsJoinedCrLf(c.text));
  }
}
