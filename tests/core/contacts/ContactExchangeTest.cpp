// The phone book and the bookmarks as handset exchange records: what goes out
// for each field, what comes back into the entries, and what a damaged line
// costs.
#include "core/data/ContactExchange.h"
#include "core/data/HandsetExchange.h"
#include "core/data/Settings.h"
#include "core/data/TextFunctions.h"

#include "ContactData.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace qv;
using qvtest::Sjis;

namespace {

std::string Hex2(int v) {
  char b[4];
  std::snprintf(b, sizeof b, "%02X", v & 0xFF);
  return b;
}

// One record of the items "tttt" + value hex, as one line.
std::string Line(const std::vector<std::string>& items, int flag) {
  std::string payload;
  for (const auto& item : items) payload += item.substr(0, 4) + Hex2(int(item.size() - 4) / 2) + item.substr(4);
  return FormatHandsetFrameLine(flag, payload);
}
constexpr int kLast = HandsetFrameLine::kLastLine;

std::string Text(std::string_view cp932) { return StrToHex(cp932); }

// Items of every record of the lines, as "tttt" + value.
std::vector<std::vector<std::string>> RecordItems(const std::vector<std::string>& lines) {
  std::vector<std::vector<std::string>> out;
  for (const auto& record : CollectHandsetRecords(lines)) {
    std::vector<HandsetItem> items;
    EXPECT_TRUE(SplitTLVHex(record, items));
    out.push_back(items);
  }
  return out;
}

std::vector<std::string> Tags(const std::vector<std::string>& items) {
  std::vector<std::string> tags;
  for (const auto& i : items) tags.push_back(i.substr(0, 4));
  return tags;
}

std::vector<std::string> Fields(const PhoneBookEntry& e, int first, int last) {
  return e.Fields(first, last);
}

}  // namespace

TEST(KanaFolding, HiraganaAndFullWidthKatakanaBecomeHalfWidth) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"ヤマダ　タロウ", "ﾔﾏﾀﾞ ﾀﾛｳ"},
      {"やまだ たろう", "ﾔﾏﾀﾞ ﾀﾛｳ"},
      {"パピプペポ・ヴァー。「」、", "ﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ･ｳﾞｧｰ｡｢｣､"},
      {"ゐゑヵヶヮ", "ｲｴｶｹﾜ"},
      {"山田 ABC ｶﾅ", "山田 ABC ｶﾅ"},
  };
  for (const Case& c : cases) EXPECT_EQ(FoldToHalfWidthKana(Sjis(c.in)), Sjis(c.out)) << c.in;
  // The handset's text code carries the folded name; full width it carried nothing.
  EXPECT_EQ(EncodeHandsetText(Sjis("ヤマダ")), "");
  EXPECT_EQ(DecodeHandsetText(EncodeHandsetText(FoldToHalfWidthKana(Sjis("やまだ")))), Sjis("ﾔﾏﾀﾞ"));
}

TEST(PhoneBookExchange, EntriesGoOutAndComeBackFieldForField) {
  const PhoneBookList book = qvtest::FullPhoneBook(30);
  const std::vector<std::string> lines = BuildPhoneBookLines(book, true);
  PhoneBookList back = ParsePhoneBookLines(lines);
  ASSERT_EQ(back.size(), book.size());
  for (size_t i = 0; i < book.size(); ++i) {
    EXPECT_EQ(Fields(back[i], 0, kPbPictureFlag), Fields(book[i], 0, kPbPictureFlag)) << "entry " << i;
    EXPECT_EQ(back[i].picture, book[i].picture) << "entry " << i;
    EXPECT_FALSE(back[i].Field(kPbRawItems).empty());
  }
  // Sent back unchanged, every record is the same bytes again.
  EXPECT_EQ(BuildPhoneBookLines(back, true), lines);
}

TEST(PhoneBookExchange, ItemsGoOutInTheirOrderAndEmptyOnesAreLeftOut) {
  PhoneBookEntry e;
  e.SetField(kPbKana, Sjis("ｱ"));
  e.SetField(kPbPhone1 + 1, Sjis("携帯: 090"));
  e.SetField(kPbMail1 + 4, "m@x");
  e.SetField(kPbSecret, "ON");
  e.SetField(kPbGroup, Sjis("グループ2"));
  e.picture = std::string(300, 'p');  // one item longer than a line holds, split under its tag
  const auto records = RecordItems(BuildPhoneBookLines({e}, true));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(Tags(records[0]), (std::vector<std::string>{"0101", "0106", "0109", "010C", "010D", "010F", "020C", "0002",
                                                        "0003", "0004", "0005", "0006", "0006", "0001"}));
  EXPECT_EQ(records[0].back(), "0001" + Hex2(0x80 + 2 * 4));
}

TEST(PhoneBookExchange, EdgeCasesOfReceivedRecords) {
  const std::string kana = "0101" + Text(Sjis("ｱ"));
  struct Case {
    const char* name;
    std::vector<std::string> items;
    size_t entries;
    std::function<void(const PhoneBookEntry&)> check;
  } cases[] = {
      {"two kanji names keep the first", {kana, "0102" + Text("first"), "0102" + Text("second")}, 1,
       [](const PhoneBookEntry& e) { EXPECT_EQ(e.Field(kPbKanji), "first"); }},
      {"eight phones keep the first six in order",
       {kana, "010300" + Text("1"), "010400" + Text("2"), "010500" + Text("3"), "010600" + Text("4"),
        "010700" + Text("5"), "010800" + Text("6"), "010300" + Text("7"), "010300" + Text("8")},
       1,
       [](const PhoneBookEntry& e) {
         EXPECT_EQ(Fields(e, kPbPhone1, kPbPhone1 + 5),
                   (std::vector<std::string>{"1", "FAX: 2", "PHS: 3", Sjis("携帯: 4"), Sjis("ポケベル: 5"),
                                             Sjis("文字電話: 6")}));
       }},
      {"a record of only a picture is dropped", {"0006" + Text("BM")}, 0, nullptr},
      {"the picture's pieces join and the entry says it has one",
       {kana, "0006" + Text("BM12"), "0006" + Text("34")}, 1,
       [](const PhoneBookEntry& e) {
         EXPECT_EQ(e.picture, "BM1234");
         EXPECT_EQ(e.Field(kPbPictureFlag), Sjis("有"));
       }},
      {"without a picture it says it has none", {kana}, 1,
       [](const PhoneBookEntry& e) {
         EXPECT_FALSE(e.picture);
         EXPECT_EQ(e.Field(kPbPictureFlag), Sjis("無"));
       }},
      {"the first attribute byte counts", {kana, "000181", "000102"}, 1,
       [](const PhoneBookEntry& e) {
         EXPECT_EQ(Fields(e, kPbSecret, kPbListKind), (std::vector<std::string>{"ON", "", Sjis("ホワイトリスト")}));
         EXPECT_EQ(e.Field(kPbRawItems), "00010181 00010102 ");
       }},
      {"tags never sent are ignored", {kana, "020D" + Text("x"), "020F01", "0211" + Text("y")}, 1,
       [](const PhoneBookEntry& e) {
         for (int f = 1; f < kPbPictureFlag; ++f) EXPECT_EQ(e.Field(f), "") << f;
       }},
      {"a record cut inside an item keeps the items before", {kana, "0102" + Text("kept"), "010E05AB"}, 1,
       [](const PhoneBookEntry& e) {
         EXPECT_EQ(e.Field(kPbKanji), "kept");
         EXPECT_EQ(e.Field(kPbMemo), "");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string payload;
    for (const auto& item : c.items)  // an item of odd length is written as it stands
      payload += item.size() == 8 && item.starts_with("010E") ? item : item.substr(0, 4) + Hex2(int(item.size() - 4) / 2) + item.substr(4);
    PhoneBookList list = ParsePhoneBookLines({FormatHandsetFrameLine(kLast | 1, payload)});
    ASSERT_EQ(list.size(), c.entries);
    if (c.check) c.check(list[0]);
  }
}

TEST(PhoneBookExchange, UnchangedFieldsGoBackInTheHandsetsOwnBytes) {
  // The handset's bytes differ from what the PC would write, yet decode alike:
  // a phone's attribute with more bits set, a post code padded with F, blood
  // type and sex with high bits.
  const std::vector<std::string> handset = {
      "0101" + Text(Sjis("ｶﾅ")), "010503" + Text("0312"), "010A" + std::string("1234567F"), "010D0B", "010F05",
      "020A" + std::string("A1F0"), "00018D"};
  PhoneBookList list = ParsePhoneBookLines({Line(handset, kLast | 1)});
  ASSERT_EQ(list.size(), 1u);
  const PhoneBookEntry& e = list[0];
  EXPECT_EQ(e.Field(kPbPhone1), Sjis("PHS: 分計ON; 0312"));
  EXPECT_EQ(e.Field(kPbPostCode), "1234567");
  EXPECT_EQ(e.Field(kPbBloodType), "AB");
  EXPECT_EQ(e.Field(kPbSex), Sjis("男"));
  EXPECT_EQ(e.Field(kPbCompanyPostCode), "01");
  EXPECT_EQ(Fields(e, kPbSecret, kPbListKind), (std::vector<std::string>{"ON", Sjis("グループ3"), Sjis("ホワイトリスト")}));
  const auto sent = RecordItems(BuildPhoneBookLines(list, true));
  ASSERT_EQ(sent.size(), 1u);
  for (const auto& item : handset) EXPECT_NE(std::find(sent[0].begin(), sent[0].end(), item), sent[0].end()) << item;

  // A changed field goes out in the PC's encoding.
  PhoneBookEntry changed = e;
  changed.SetField(kPbBloodType, "B");
  const auto again = RecordItems(BuildPhoneBookLines({changed}, true));
  EXPECT_NE(std::find(again[0].begin(), again[0].end(), "010D02"), again[0].end());
  EXPECT_EQ(std::find(again[0].begin(), again[0].end(), "010D0B"), again[0].end());
}

TEST(PhoneBookExchange, RecordsAlternateTheirParityFromTheSetting) {
  const PhoneBookList book = qvtest::FullPhoneBook(3, false);
  for (bool odd : {false, true}) {
    SCOPED_TRACE(odd ? "starting odd" : "starting even");
    const auto lines = BuildPhoneBookLines(book, odd);
    std::vector<int> parities, lastRecord;
    for (const auto& l : lines) {
      HandsetFrameLine f;
      ASSERT_TRUE(ParseHandsetFrameLine(l, f));
      if (f.flag & kLast) parities.push_back((f.flag >> 2) & 1);
      lastRecord.push_back(f.flag & 1);
    }
    EXPECT_EQ(parities, odd ? (std::vector<int>{1, 0, 1}) : (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(lastRecord.back(), 1);
    EXPECT_EQ(std::count(lastRecord.begin(), lastRecord.end(), 1), 1);
  }
  // The send file takes the start from [Environment] DuplicationFlagStartOdd.
  qvtest::TempDir tmp;
  qvtest::ScopedLauncherDir launcher(tmp / "app");
  ASSERT_TRUE(IniWriteString("Environment", "DuplicationFlagStartOdd", "0"));
  bool written = false;
  ASSERT_TRUE(BuildSendFile(tmp / "t1.dat", book, &written));
  EXPECT_TRUE(written);
  std::vector<std::string> lines;
  ASSERT_TRUE(HandsetExchangeFile::Read(tmp / "t1.dat", lines));
  EXPECT_EQ(lines, BuildPhoneBookLines(book, false));
  // No entries: the file is written empty and nothing is to be sent.
  EXPECT_FALSE(BuildSendFile(tmp / "t1.dat", PhoneBookList{}, &written));
  EXPECT_TRUE(written);
  EXPECT_EQ(qvtest::ReadFile(tmp / "t1.dat"), "");
}

TEST(PhoneBookExchange, ABadLineCostsOnlyTheRecordItFallsIn) {
  // Five records of three lines each (lines 3r, 3r + 1, 3r + 2), parities alternating.
  std::vector<std::vector<std::string>> records;
  for (int r = 0; r < 5; ++r) {
    const int parity = ((r + 1) & 1) * HandsetFrameLine::kParity;
    const std::string n = std::to_string(r);
    records.push_back({Line({"0101" + Text("R" + n)}, parity), Line({"010E" + Text("M" + n)}, parity),
                       Line({"0102" + Text("K" + n)}, parity | kLast | (r == 4 ? 1 : 0))});
  }
  auto file = [&](std::function<void(std::vector<std::string>&)> damage) {
    std::vector<std::string> lines;
    for (const auto& r : records) lines.insert(lines.end(), r.begin(), r.end());
    damage(lines);
    std::vector<std::string> names;
    for (const auto& e : ParsePhoneBookLines(lines)) {
      names.emplace_back(e.Field(kPbKana));
      EXPECT_EQ(e.Field(kPbMemo), "M" + names.back().substr(1)) << "a record kept whole";
    }
    return names;
  };
  const std::string bad = "0F4D524C5820000806";  // a length byte that does not match
  struct Case {
    const char* name;
    std::function<void(std::vector<std::string>&)> damage;
    std::vector<std::string> names;
  } cases[] = {
      {"none", [](auto&) {}, {"R0", "R1", "R2", "R3", "R4"}},
      {"a record's first line", [&](auto& l) { l[6] = bad; }, {"R0", "R1", "R3", "R4"}},
      {"a record's middle line", [&](auto& l) { l[7] = bad; }, {"R0", "R1", "R3", "R4"}},
      {"a record's last line", [&](auto& l) { l[8] = bad; }, {"R0", "R1", "R3", "R4"}},
      {"the file's first line", [&](auto& l) { l[0] = "zz"; }, {"R1", "R2", "R3", "R4"}},
      {"the file's last line", [&](auto& l) { l[14] = bad; }, {"R0", "R1", "R2", "R3"}},
      {"a whole record", [&](auto& l) { l[6] = l[7] = l[8] = bad; }, {"R0", "R1", "R3", "R4"}},
      {"a line missing", [&](auto& l) { l.erase(l.begin() + 5); }, {"R0", "R2", "R3", "R4"}},
      {"a line too short for its flag", [&](auto& l) { l[3] = "0A4D524C"; }, {"R0", "R2", "R3", "R4"}},
      {"blank lines between", [&](auto& l) { l.insert(l.begin() + 3, "  "); }, {"R0", "R1", "R2", "R3", "R4"}},
      {"a line of the wrong length", [&](auto& l) { l[9] = l[9] + "00"; }, {"R0", "R1", "R2", "R4"}},
      // Where bad lines could belong to two records, the earlier takes them;
      // the later, short of its first line, has no kana name and goes too.
      {"a record's last line and the next one's first", [&](auto& l) { l[8] = l[9] = bad; }, {"R0", "R1", "R4"}},
  };
  for (const Case& c : cases) EXPECT_EQ(file(c.damage), c.names) << c.name;
}

TEST(PhoneBookExchange, NamesThatReachTheHandsetAsNothingAreFound) {
  PhoneBookList book(4);
  book[0].SetField(kPbKana, Sjis("山田"));       // kanji only: no handset code
  book[1].SetField(kPbKana, Sjis("ヤマダ"));     // folds to half width
  book[2].SetField(kPbKana, "");
  book[3].SetField(kPbKana, Sjis("やまだ 1"));
  EXPECT_EQ(EntriesWithoutHandsetName(book), (std::vector<int>{0, 2}));
  const PhoneBookList back = ParsePhoneBookLines(BuildPhoneBookLines(book, true));
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].Field(kPbKana), Sjis("ﾔﾏﾀﾞ"));
  EXPECT_EQ(back[1].Field(kPbKana), Sjis("ﾔﾏﾀﾞ 1"));
  // The company's kana name folds the same way.
  book[1].SetField(kPbCompanyKana, Sjis("かぶしきがいしゃ"));
  EXPECT_EQ(ParsePhoneBookLines(BuildPhoneBookLines({book[1]}, true))[0].Field(kPbCompanyKana), Sjis("ｶﾌﾞｼｷｶﾞｲｼｬ"));
}

TEST(PhoneBookExchange, TheReceivedFileIsAppendedToTheList) {
  qvtest::TempDir tmp;
  PhoneBookList list(1);
  list[0].SetField(kPbKana, "old");
  EXPECT_EQ(ParseReceivedFile(tmp / "missing.dat", list), 0);
  const PhoneBookList book = qvtest::FullPhoneBook(4);
  ASSERT_TRUE(HandsetExchangeFile::Write(tmp / "t1.dat", BuildPhoneBookLines(book, true)));
  EXPECT_EQ(ParseReceivedFile(tmp / "t1.dat", list), 4);
  ASSERT_EQ(list.size(), 5u);
  EXPECT_EQ(list[0].Field(kPbKana), "old");
  EXPECT_EQ(list[4].Field(kPbKana), book[3].Field(kPbKana));
}

TEST(BookmarkExchange, BookmarksGoOutAndComeBack) {
  BookmarkList marks = {qvtest::FullBookmark(1), qvtest::FullBookmark(2)};
  marks[1].fields[kBmReading] = Sjis("にゅーす");
  const auto lines = BuildBookmarkLines(marks, true);
  const auto records = RecordItems(lines);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(Tags(records[0]), (std::vector<std::string>{"2001", "2002", "2003", "2004"}));
  BookmarkList back = ParseBookmarkLines(lines);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0], marks[0]);
  marks[1].fields[kBmReading] = Sjis("ﾆｭｰｽ");
  EXPECT_EQ(back[1], marks[1]);
}

TEST(BookmarkExchange, EdgeCasesOfReceivedRecords) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    std::vector<BookmarkEntry> marks;
  } cases[] = {
      {"only a comment gives a bookmark without a name", {Line({"2003" + Text("note")}, kLast | 1)},
       {BookmarkEntry{{"", "", "", "note"}}}},
      {"later items of a tag are ignored",
       {Line({"2001" + Text("a"), "2001" + Text("b"), "2004" + Text(Sjis("ﾖﾐ")), "2002" + Text("u")}, kLast | 1)},
       {BookmarkEntry{{"a", Sjis("ﾖﾐ"), "u", ""}}}},
      {"a record of no field adds nothing", {Line({"2005" + Text("x")}, kLast | 1)}, {}},
      {"a record that cannot be split is skipped",
       {FormatHandsetFrameLine(4 | kLast, "2001" + Hex2(2) + Text("a")),
        Line({"2001" + Text("next")}, kLast | 1)},
       {BookmarkEntry{{"next", "", "", ""}}}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseBookmarkLines(c.lines), c.marks) << c.name;
}
