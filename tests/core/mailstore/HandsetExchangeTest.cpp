#include "core/data/HandsetExchange.h"
#include "core/data/Settings.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <sstream>

using namespace qv;
using qvtest::Sjis;

namespace {

std::string Repeat(std::string_view hexByte, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += hexByte;
  return s;
}

int Flag(const std::string& line) { return std::stoi(line.substr(16, 2), nullptr, 16); }

// Items of one record as the frame builders laid them out.
std::vector<HandsetItem> ItemsOf(const std::vector<std::string>& lines) {
  std::vector<std::string> records;
  EXPECT_TRUE(ReadHandsetRecords(lines, records));
  EXPECT_EQ(records.size(), 1u);
  std::vector<HandsetItem> items;
  EXPECT_TRUE(SplitTLVHex(records.empty() ? "" : records[0], items));
  return items;
}

}  // namespace

TEST(HandsetExchange, AMailHistoryRecordFillsWholeLines) {
  const std::string header = EncodeRecordHeader("2024/03/15 10:20:30", 5, 1, 1, 0, 1, 1);
  ASSERT_EQ(header.size(), 18u);
  std::string payload;
  for (int i = 0; i < 600; ++i) payload += StrToHex(std::string(1, static_cast<char>(i % 251)));
  std::vector<std::string> lines{"kept"};
  ASSERT_TRUE(BuildHandsetFrames(lines, 0x1005, header, payload, 1, true));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "kept");
  lines.erase(lines.begin());
  EXPECT_EQ(lines[0].size(), 512u);
  EXPECT_EQ(lines[1].size(), 512u);
  EXPECT_EQ(lines[2].size(), 2u + 14 + 2 + 4 + 2 + 2 + 2 * 123);
  EXPECT_EQ(Flag(lines[0]), 4);
  EXPECT_EQ(Flag(lines[1]), 4);
  EXPECT_EQ(Flag(lines[2]), 4 + 2 + 1);
  for (const auto& line : lines) {
    EXPECT_EQ(line.substr(2, 14), "4D524C58200008");
    EXPECT_EQ(std::stoi(line.substr(0, 2), nullptr, 16) * 2 + 2, static_cast<int>(line.size()));
  }
  // Reading it back as the mail plug-in does: the 0x1005 values joined.
  auto items = ItemsOf(lines);
  ASSERT_EQ(items.size(), 3u);
  std::string value;
  for (const auto& item : items) {
    EXPECT_EQ(item.substr(0, 4), "1005");
    value += item.substr(4);
  }
  HandsetRecordHeader h;
  std::string rest;
  ASSERT_TRUE(DecodeRecordHeader(value, h, rest));
  EXPECT_EQ(h.date, "2024/03/15 10:20:30");
  EXPECT_EQ(h.kind, 5);
  EXPECT_EQ(h.handsetFlag, 1);
  EXPECT_EQ(h.unread, 1);
  EXPECT_EQ(h.isProtected, 0);
  EXPECT_EQ(h.direction, 1);
  EXPECT_EQ(h.boxNumber, 1);
  EXPECT_EQ(HexFieldToText(rest), HexToBytes(payload));

  // Parity 0, not the last record; a header that is no header builds nothing.
  std::vector<std::string> small;
  ASSERT_TRUE(BuildHandsetFrames(small, 0x1003, header, "4142", 0, false));
  ASSERT_EQ(small.size(), 1u);
  EXPECT_EQ(Flag(small[0]), 2);
  EXPECT_FALSE(BuildHandsetFrames(small, 0x1003, "4", "41", 0, false));
  EXPECT_FALSE(BuildHandsetFrames(small, 0x1003, header, "4G", 0, false));
  EXPECT_EQ(small.size(), 1u);
}

TEST(HandsetExchange, RecordHeaderFlags) {
  for (int kind = 0; kind < 8; ++kind)
    for (int bits = 0; bits < 16; ++bits)
      for (int box : {0, 1, 2, 15}) {
        const int handset = bits & 1, unread = (bits >> 1) & 1, prot = (bits >> 2) & 1, dir = (bits >> 3) & 1;
        std::string hex = EncodeRecordHeader("2001/02/03", kind, handset, unread, prot, dir, box);
        HandsetRecordHeader h;
        std::string rest;
        ASSERT_TRUE(DecodeRecordHeader(hex + "AB", h, rest));
        EXPECT_EQ(rest, "AB");
        EXPECT_EQ(h.date, "2001/02/03");
        EXPECT_EQ(h.kind, kind);
        EXPECT_EQ(h.handsetFlag, handset);
        EXPECT_EQ(h.unread, unread);
        EXPECT_EQ(h.isProtected, prot);
        EXPECT_EQ(h.boxNumber, box);
        EXPECT_EQ(h.direction, dir || box == 1) << kind << " " << bits << " " << box;
      }
  // Values beyond their bits are cut to them.
  EXPECT_EQ(EncodeRecordHeader("", 9, 3, 2, 5, 3, 17).substr(14), "0D11");
}

TEST(HandsetExchange, AHandMadeHistoryLineDecodes) {
  // A K-mail record laid out by hand: the line's length byte (31 bytes follow),
  // the constant, flag 07 (parity, last line, last record) and one item 1003 of
  // 20 bytes: the date 2024/03/15 10:20:30, flags 2B (kind 5, unread,
  // protected), box 01, the phone field (7 bytes: attribute 01 and "090123")
  // and a text chunk of 2 bytes.
  const std::string line =
      "1F" "4D524C58200008" "07"
      "1003" "14" "07E8030F0A141E" "2B" "01" "07" "01" "303930313233" "02" "4142";
  HandsetFrameLine frame;
  ASSERT_TRUE(ParseHandsetFrameLine(line, frame));
  EXPECT_EQ(frame.flag, 7);
  std::vector<HandsetItem> items;
  ASSERT_TRUE(SplitTLVHex(frame.payload, items));
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].substr(0, 4), "1003");
  HandsetRecordHeader h;
  std::string rest;
  ASSERT_TRUE(DecodeRecordHeader(items[0].substr(4), h, rest));
  EXPECT_EQ(h.date, "2024/03/15 10:20:30");
  EXPECT_EQ(h.kind, 5);
  EXPECT_EQ(h.handsetFlag, 0);
  EXPECT_EQ(h.unread, 1);
  EXPECT_EQ(h.isProtected, 1);
  EXPECT_EQ(h.boxNumber, 1);
  EXPECT_EQ(h.direction, 1);  // box 1 counts as outgoing
  ASSERT_EQ(rest.substr(0, 2), "07");
  EXPECT_EQ(DecodePhoneNumber(3, rest.substr(2, 14)), Sjis("携帯: 分計ON; ") + "090123");
  EXPECT_EQ(HexFieldToText(rest.substr(16)), "AB");
  // Built the same way, the record gives the same line.
  std::vector<std::string> lines;
  ASSERT_TRUE(BuildHandsetFrames(lines, 0x1003, EncodeRecordHeader(h.date, 5, 0, 1, 1, 0, 1) + "07" "01303930313233",
                                 "4142", 1, true));
  EXPECT_EQ(lines, std::vector<std::string>{line});
}

TEST(HandsetExchange, ListRecordsPackItemsAndSplitLongOnes) {
  auto item = [](const char* tag, size_t bytes, const char* b = "41") { return std::string(tag) + Repeat(b, bytes); };
  // Two items of 200 bytes do not share a line.
  std::vector<std::string> lines;
  ASSERT_TRUE(BuildHandsetListFrames(lines, {item("0101", 200), item("0102", 200)}, 1, false));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Flag(lines[0]), 4);
  EXPECT_EQ(Flag(lines[1]), 4 + 2);
  EXPECT_EQ(ItemsOf(lines), (std::vector<HandsetItem>{item("0101", 200), item("0102", 200)}));

  // A 600-byte item at the start of a line: pieces of 244, 244 and 112 bytes.
  lines.clear();
  ASSERT_TRUE(BuildHandsetListFrames(lines, {item("0006", 600, "7F")}, 0, true));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(Flag(lines[2]), 3);
  auto pieces = ItemsOf(lines);
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0], item("0006", 244, "7F"));
  EXPECT_EQ(pieces[1], item("0006", 244, "7F"));
  EXPECT_EQ(pieces[2], item("0006", 112, "7F"));

  // Short items share a line; items without a value are left out.
  lines.clear();
  ASSERT_TRUE(BuildHandsetListFrames(lines, {"0101", item("0101", 3), "01", item("0102", 4)}, 0, false));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].substr(18), "010103414141" "01020441414141");
  lines.clear();
  EXPECT_FALSE(BuildHandsetListFrames(lines, {"0101", "0102"}, 0, false));
  EXPECT_FALSE(BuildHandsetListFrames(lines, {"01014"}, 0, false));
  EXPECT_FALSE(BuildHandsetListFrames(lines, {item("0101", 2) + "4"}, 0, false));
  EXPECT_TRUE(lines.empty());
}

TEST(HandsetExchange, ALongItemAfterAFullLineStartsANewLineAndNoLineOverflows) {
  // Lines of 244 to 247 bytes, then a long item: its first piece would have
  // no room (or a negative size) on that line.
  for (size_t fill : {200u, 240u, 241u, 242u, 243u, 244u}) {
    SCOPED_TRACE(fill);
    std::vector<std::string> lines;
    std::vector<HandsetItem> items = {"0101" + Repeat("31", fill), "0006" + Repeat("7F", 300)};
    ASSERT_TRUE(BuildHandsetListFrames(lines, items, 1, true));
    std::string joined;
    for (const auto& line : lines) {
      EXPECT_LE(line.size(), 512u);
      HandsetFrameLine frame;
      EXPECT_TRUE(ParseHandsetFrameLine(line, frame));
      joined += frame.payload;
    }
    std::vector<HandsetItem> out;
    ASSERT_TRUE(SplitTLVHex(joined, out));
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out[0], items[0]);
    std::string picture;
    for (size_t i = 1; i < out.size(); ++i) {
      EXPECT_EQ(out[i].substr(0, 4), "0006");
      EXPECT_GT(out[i].size(), 4u);  // no empty piece
      picture += out[i].substr(4);
    }
    EXPECT_EQ(picture, items[1].substr(4));
  }
}

TEST(HandsetExchange, MalformedPayloadsAndLinesFailCleanly) {
  std::vector<HandsetItem> items;
  EXPECT_FALSE(SplitTLVHex("", items));
  EXPECT_FALSE(SplitTLVHex("01010241420102", items));
  EXPECT_EQ(items, (std::vector<HandsetItem>{"01014142"}));  // found before the damage
  struct Case {
    const char* what;
    const char* data;
    size_t kept;
  } cases[] = {
      {"short tag", "010", 0},       {"short length", "01010", 0}, {"short value", "0101034142", 0},
      {"bad tag", "01G1014142", 0},   {"bad length", "01010X41", 0}, {"bad value", "010102414Z", 0},
      {"item then garbage", "010101410", 1},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(SplitTLVHex(c.data, items)) << c.what;
    EXPECT_EQ(items.size(), c.kept) << c.what;
  }
  EXPECT_TRUE(SplitTLVHex("0101024142010200", items));
  EXPECT_EQ(items, (std::vector<HandsetItem>{"01014142", "0102"}));

  HandsetFrameLine frame;
  const std::string good = FormatHandsetFrameLine(2, "0101024142");
  EXPECT_TRUE(ParseHandsetFrameLine(good, frame));
  EXPECT_EQ(frame.payload, "0101024142");
  for (std::string bad : {good.substr(0, 17), good + "0", good.substr(0, good.size() - 2), "0G" + good.substr(2),
                          good.substr(0, 20) + "ZZ" + good.substr(22)})
    EXPECT_FALSE(ParseHandsetFrameLine(bad, frame)) << bad;
  std::vector<std::string> records;
  EXPECT_FALSE(ReadHandsetRecords({good, "zz"}, records));
  EXPECT_EQ(records.size(), 1u);
  EXPECT_FALSE(ReadHandsetRecords({FormatHandsetFrameLine(0, "0101024142")}, records));  // no last line
  EXPECT_TRUE(records.empty());

  HandsetRecordHeader h;
  std::string rest = "stale";
  EXPECT_FALSE(DecodeRecordHeader("07E8030F0A141E2B", h, rest));
  EXPECT_EQ(h.date, "");
  EXPECT_EQ(rest, "");
  EXPECT_EQ(DecodePhoneNumber(3, ""), "");
  EXPECT_EQ(DecodeAddressRecord("01"), "");
}

TEST(HandsetExchange, HexFieldToTextTakesWhatALastChunkCutShortHolds) {
  struct Case {
    std::string hex;
    std::string text;
  } cases[] = {
      {"024142034344", "ABCD"},
      {"024142054142", "ABAB"},  // a last chunk shorter than its length byte
      {"0541", "A"},
      {"02414", "A"},  // an odd last digit is no byte
      {"05", ""},
      {"024142", "AB"},
      {"0241420041", "AB"},  // a length 0 ends the text
      {"00414243", ""},
      {"0241ZZ", std::string("A\0", 2)},  // a bad pair is byte 0
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(HexFieldToText(c.hex), c.text) << c.hex;
}

TEST(HandsetExchange, Dates) {
  struct Case {
    const char* hex;
    const char* text;
  } cases[] = {
      {"07E8030F0A141E", "2024/03/15 10:20:30"},
      {"0FFF030F0A143F", "     03/15 10:20"},
      {"07E8030F1F3F3F", "2024/03/15"},
      {"07E8030F0A3F1E", "2024/03/15 10"},  // the fields stop at the first without value
      {"07E8031F0A141E", ""},               // day 31 is the no-day marker
      {"07E80F0F0A141E", ""},
      {"F7E8F30F0A141E", "2024/03/15 10:20:30"},  // the unused high bits are masked off
      {"07E8", ""},
      {"ZZZZ030F0A141E", "     03/15 10:20:30"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeHandsetDate(c.hex), c.text) << c.hex;
  // Encoding takes what decoding gave back to the same bytes, with or without a year.
  for (const char* hex : {"07E8030F0A141E", "0FFF030F0A143F", "07E8030F1F3F3F", "0FFF0C181F3F3F"})
    EXPECT_EQ(EncodeHandsetDate(DecodeHandsetDate(hex)), hex) << hex;
  EXPECT_EQ(EncodeHandsetDate(""), "0FFF0F1F1F3F3F");
  EXPECT_EQ(EncodeHandsetDate("2024/3/x 5"), "07E8031F053F3F");
  EXPECT_EQ(EncodeHandsetDate("12/24"), "0FFF0C181F3F3F");
}

TEST(HandsetExchange, HandsetText) {
  EXPECT_EQ(DecodeHandsetText("8091000D" + StrToHex(Sjis("日本語テキスト"))), Sjis("日本語テキスト"));
  EXPECT_EQ(DecodeHandsetText("8091000d41"), "A");
  EXPECT_EQ(DecodeHandsetText("00410C42"), " A\r\nB");     // 00 is no character; 0C a line break
  EXPECT_EQ(DecodeHandsetText("01F2FF9E"), "\x81\xA7" + Sjis("年") + "\x81\xA1" "\x81\x73");
  EXPECT_EQ(DecodeHandsetText("B1A0F1E0"), "\xB1\xA0\xF1 ");  // themselves, and E0 none
  EXPECT_EQ(DecodeHandsetText("4"), "");
  EXPECT_EQ(DecodeHandsetText("4G"), " ");
  // Single-byte characters pass, mapped where the table has them; double-byte
  // ones only when the table has them; a line break is one code.
  EXPECT_EQ(EncodeHandsetText("A|`"), "411617");
  EXPECT_EQ(EncodeHandsetText(Sjis("年月漢") + "\r\n" + "\xB1"), "F2F30CB1");
  EXPECT_EQ(DecodeHandsetText(EncodeHandsetText(Sjis("年月日千万円") + "\r\nok")), Sjis("年月日千万円") + "\r\nok");
}

TEST(HandsetExchange, PhoneNumbers) {
  int kind = -1;
  std::string hex = EncodePhoneNumber(kind, Sjis(" 携帯: 分計ON; 090-1234-5678 "));
  EXPECT_EQ(kind, 3);
  EXPECT_EQ(hex, "01" + StrToHex("09012345678"));
  EXPECT_EQ(DecodePhoneNumber(kind, hex), Sjis("携帯: 分計ON; 09012345678"));
  EXPECT_EQ(DecodePhoneNumber(0, hex), Sjis("分計ON; 09012345678"));
  ASSERT_EQ(Sjis("ケ"), "\x83\x50");  // a trail byte that reads as "P"
  hex = EncodePhoneNumber(kind, "03(1234)5678#*P" + Sjis("ケ"));
  EXPECT_EQ(kind, 0);
  EXPECT_EQ(hex, "00" + StrToHex("0312345678#*P"));
  EXPECT_EQ(EncodePhoneNumber(kind, "FAX: 0312"), "00" + StrToHex("0312"));
  EXPECT_EQ(kind, 1);
  EXPECT_EQ(EncodePhoneNumber(kind, "Tel1: x"), "");
  EXPECT_EQ(kind, 0);
  EXPECT_EQ(DecodePhoneNumber(2, "01232A"), "#*");  // no digit: no labels
  EXPECT_EQ(DecodePhoneNumber(2, "0041FF30"), "PHS: 0");
}

TEST(HandsetExchange, AddressFieldCodecs) {
  struct Case {
    uint16_t tag;
    std::string text;
    std::string item;     // what encoding gives
    std::string decoded;  // what decoding that gives
  } cases[] = {
      {0x010D, "O", "010D04", "O"},
      {0x010D, Sjis("AB型"), "010D03", "AB"},
      {0x010D, "A", "010D01", "A"},
      {0x010D, "B", "010D02", "B"},
      {0x010D, Sjis("血液: 4"), "010D04", "O"},
      {0x010D, "", "010D00", ""},
      {0x010F, Sjis("男"), "010F01", Sjis("男")},
      {0x010F, "2", "010F02", Sjis("女")},
      {0x010F, "?", "010F00", ""},
      {0x0110, Sjis("25歳"), "011019", "25"},
      {0x0210, "", "0210", ""},
      {0x010A, "100-0001", "010A1AAAAA1" "0", "1000001"},
      {0x020A, "123", "020A1230", "123"},
      {0x010C, "     12/24", "010C0FFF0C181F3F3F", "     12/24"},
      {0x0002, "2024/01/02 03:04:05", "000207E80102030405", "2024/01/02 03:04:05"},
      {0x0101, "ABC", "0101414243", "ABC"},
      {0x0102, Sjis("山田"), "0102" + StrToHex(Sjis("山田")), Sjis("山田")},
      {0x0109, "a@b.jp", "0109" + StrToHex("a@b.jp"), "a@b.jp"},
      {0x0105, Sjis("携帯: 090"), "010600" "303930", Sjis("携帯: 090")},  // the tag follows the kind
      {0x0203, "FAX: 03", "020400" "3033", "FAX: 03"},
      {0x0103, "03", "010300" "3033", "03"},
      {0x0006, "ignored", "0006", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.item);
    HandsetItem item = EncodeAddressField(c.tag, c.text);
    EXPECT_EQ(item, c.item);
    EXPECT_EQ(DecodeAddressRecord(item), c.decoded);
  }
  EXPECT_EQ(DecodeAddressRecord("000612AB"), "12AB");  // other tags keep their hex
  EXPECT_EQ(DecodeAddressRecord("010D0C"), "O");        // blood type: the low three bits
  EXPECT_EQ(DecodeAddressRecord("0110FF"), "127");
  EXPECT_EQ(DecodeAddressRecord("010AB1C2A0"), "120");
}

TEST(HandsetExchange, ListFlags) {
  EXPECT_EQ(EncodeListFlags("on", Sjis("グループ3"), Sjis("ホワイトリスト")), "8D");
  EXPECT_EQ(EncodeListFlags("OFF", "", Sjis("ブラックリスト")), "02");
  EXPECT_EQ(EncodeListFlags("1", "10", "2"), "AA");
  EXPECT_EQ(EncodeListFlags("", "40", ""), "20");  // beyond five bits the group is cut, never the secret bit
  std::string secret, group, list;
  DecodeListFlags("8D", secret, group, list);
  EXPECT_EQ(secret, "ON");
  EXPECT_EQ(group, Sjis("グループ3"));
  EXPECT_EQ(list, Sjis("ホワイトリスト"));
  DecodeListFlags("2E", secret, group, list);  // group 11 is none
  EXPECT_EQ(secret, "OFF");
  EXPECT_EQ(group, "");
  EXPECT_EQ(list, Sjis("ブラックリスト"));
  DecodeListFlags("", secret, group, list);
  EXPECT_EQ(secret + group + list, "");
}

TEST(HandsetExchange, UnchangedFieldsGoBackInTheHandsetsBytes) {
  // The handset wrote the post code with a filler half-byte and the phone with
  // an attribute bit the PC does not show; both decode as the PC's own values.
  const std::string raw = "010A041AAAAAF1 " "0106060130392D3031 " "010D0104 ";
  std::vector<HandsetItem> items = {EncodeAddressField(0x010A, "1000001"), EncodeAddressField(0x0106, Sjis("携帯: 分計ON; 0901")),
                                    EncodeAddressField(0x010D, "A"), EncodeAddressField(0x0101, "X")};
  std::vector<HandsetItem> expected = {"010A1AAAAAF1", "01060130392D3031", "010D01", "010158"};
  EXPECT_NE(items[0], expected[0]);
  SplitAddressRecords(items, raw);
  EXPECT_EQ(items, expected);  // blood type changed: the PC's item goes out
  // A raw item is used once.
  std::vector<HandsetItem> twice = {EncodeAddressField(0x010A, "1000001"), EncodeAddressField(0x010A, "1000001")};
  SplitAddressRecords(twice, raw);
  EXPECT_EQ(twice[0], "010A1AAAAAF1");
  EXPECT_EQ(twice[1], EncodeAddressField(0x010A, "1000001"));
  SplitAddressRecords(twice, "garbage 0101");
}

TEST(HandsetExchange, FormatHandsetDate) {
  const std::time_t def = 86400 * 365;
  std::tm tm {};
  localtime_r(&def, &tm);
  char expectDefault[96];
  std::snprintf(expectDefault, sizeof expectDefault, "%04d/%02d/%02d %02d:%02d:%02d", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"2024/3/5 6:07:8", "2024/03/05 06:07:08"},
      {" 2024/02/29 24:00 ", "2024/02/29 24:00:00"},
      {"2023/02/29 10:00:00", nullptr},
      {"2024/13/01", nullptr},
      {"03/15 10:20", nullptr},  // without a year it is no date
      {"999/01/01", nullptr},
      {"2024/01/01 10:60", nullptr},
      {"", nullptr},
      {"abc", nullptr},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatHandsetDate(c.in, def), c.out ? c.out : expectDefault) << c.in;
}

TEST(HandsetExchange, DialStringsAndTheWireForm) {
  EXPECT_EQ(MakeDialString("0570001"), "0570001##3");
  EXPECT_EQ(MakeDialString("0570001##9"), "0570001##9");
  EXPECT_EQ(MakeDialString(std::string(31, '1')), std::string(31, '1') + "##3");
  EXPECT_EQ(MakeDialString(std::string(32, '1')), std::string(32, '1'));
  EXPECT_EQ(MakeDialString(std::string(40, '1')), std::string(35, '1'));
  EXPECT_EQ(StripHashSuffix("0901234##3"), "0901234");
  EXPECT_EQ(StripHashSuffix("0901234"), "0901234");

  EXPECT_EQ(HexToDecimalText("00FF7fG1A"), "000255127000");
  EXPECT_EQ(DecimalTextToHex("000255127"), "00FF7F");
  EXPECT_EQ(DecimalTextToHex("25500"), "FF");  // beyond the last full group: ignored
  EXPECT_EQ(DecimalTextToHex("256"), "");
  EXPECT_EQ(DecimalTextToHex("0011x1"), "");
  EXPECT_EQ(DecimalTextToHex("-01"), "");
  const std::string line = FormatHandsetFrameLine(7, "0101024142");
  EXPECT_EQ(DecimalTextToHex(HexToDecimalText(line)), line);
}

TEST(HandsetExchange, BytesStreamsAndTheFile) {
  EXPECT_EQ(HexToBytes("41a2G0F"), std::string("\x41\xA2\x00", 3));
  EXPECT_EQ(StrToHex(std::string("\x00\xFFz", 3)), "00FF7A");
  std::stringstream s;
  HexToStream("414243", s);
  EXPECT_EQ(s.str(), "ABC");
  s.seekg(2);
  EXPECT_EQ(StreamToHex(s), "414243");

  qvtest::TempDir tmp;
  qvtest::ScopedLauncherDir launcher(tmp / "app");
  EXPECT_EQ(HandsetExchangeFile::PathFor(4), (tmp / "app" / "Temp4.dat").string());
  std::vector<std::string> lines = {FormatHandsetFrameLine(6, "010101")};
  ASSERT_TRUE(HandsetExchangeFile::Write(HandsetExchangeFile::PathFor(1), lines));
  EXPECT_EQ(qvtest::ReadFile(tmp / "app" / "Temp1.dat"), lines[0] + "\r\n");
  std::vector<std::string> back;
  ASSERT_TRUE(HandsetExchangeFile::Read(HandsetExchangeFile::PathFor(1), back));
  EXPECT_EQ(back, lines);
  EXPECT_FALSE(HandsetExchangeFile::Read(tmp / "none.dat", back));
  EXPECT_TRUE(back.empty());

  EXPECT_EQ(HandsetRecordParity(0), 1);
  EXPECT_EQ(HandsetRecordParity(1), 0);
  ASSERT_TRUE(IniWriteString("Environment", "DuplicationFlagStartOdd", "0"));
  EXPECT_EQ(HandsetRecordParity(0), 0);
  EXPECT_EQ(HandsetRecordParity(3), 1);

  EXPECT_EQ(DataKindCaption(1), Sjis("電話帳"));
  EXPECT_EQ(DataKindCaption(6), Sjis("KメールDX履歴"));
  EXPECT_EQ(DataKindCaption(2), "");
  EXPECT_EQ(DataKindCaption(9), "");
  EXPECT_EQ(PhoneKindCaption(5), Sjis("文字電話"));
  EXPECT_EQ(PhoneKindCaption(0), "");
}

TEST(HandsetExchange, EveryRecordKindGoesThroughItsFile) {
  qvtest::TempDir tmp;
  qvtest::ScopedLauncherDir launcher(tmp / "app");
  // Kind 1: a phone-book entry; kind 8: a bookmark. Fields go out as items.
  const std::vector<std::pair<uint16_t, std::string>> entry = {
      {0x0101, "YAMADA"}, {0x0102, Sjis("山田太郎")}, {0x0106, Sjis("携帯: 分計ON; 090-1234-5678")},
      {0x0109, "taro@example.jp"}, {0x010A, "100-0001"}, {0x010C, "     12/24"}, {0x010D, "AB"},
      {0x010F, Sjis("男")}, {0x0110, "33"}, {0x0002, "2024/06/07 08:09:10"}};
  const std::vector<std::pair<uint16_t, std::string>> bookmark = {
      {0x2004, "Quorvel"}, {0x2001, "http://example.jp/"}, {0x2002, Sjis("読み")}, {0x2003, Sjis("メモ")}};
  const std::string picture = Repeat("5A", 700);
  for (int kind : {1, 8}) {
    SCOPED_TRACE(kind);
    const auto& fields = kind == 1 ? entry : bookmark;
    std::vector<std::string> lines;
    for (int record = 0; record < 2; ++record) {
      std::vector<HandsetItem> items;
      for (const auto& [tag, text] : fields) items.push_back(EncodeAddressField(tag, text));
      if (kind == 1) items.push_back("0006" + picture);
      ASSERT_TRUE(BuildHandsetListFrames(lines, items, (record + 1) & 1, record == 1));
    }
    ASSERT_TRUE(HandsetExchangeFile::Write(HandsetExchangeFile::PathFor(kind), lines));
    std::vector<std::string> read, records;
    ASSERT_TRUE(HandsetExchangeFile::Read(HandsetExchangeFile::PathFor(kind), read));
    ASSERT_TRUE(ReadHandsetRecords(read, records));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(Flag(read.back()) & 3, 3);
    EXPECT_EQ(Flag(read.front()) & 4, 4);  // the first record has parity 1
    for (const auto& record : records) {
      std::vector<HandsetItem> items;
      ASSERT_TRUE(SplitTLVHex(record, items));
      std::string pictureBack;
      size_t field = 0;
      for (const auto& item : items) {
        if (item.starts_with("0006")) {
          pictureBack += item.substr(4);
          continue;
        }
        ASSERT_LT(field, fields.size());
        char tag[8];
        std::snprintf(tag, sizeof tag, "%04X", fields[field].first);
        EXPECT_EQ(item.substr(0, 4), tag);
        std::string expected = fields[field].first == 0x0106 ? Sjis("携帯: 分計ON; 09012345678")
                               : fields[field].first == 0x010A ? "1000001"
                                                               : fields[field].second;
        EXPECT_EQ(DecodeAddressRecord(item), expected) << tag;
        ++field;
      }
      EXPECT_EQ(field, fields.size());
      EXPECT_EQ(pictureBack, kind == 1 ? picture : "");
    }
  }

  // Kinds 4 and 6: mail histories; a K-mail, a ブリーズメール and a DX mail.
  struct History {
    uint16_t tag;
    std::string peer;  // K-mail and ブリーズメール carry the peer's number before the text
    std::string text;
  } histories[] = {{0x1003, "09011112222", EncodeHandsetText(Sjis("年月日") + "ok")},
                   {0x1007, "0312", EncodeHandsetText("breeze")},
                   {0x1005, "", StrToHex("Subject: DX\r\n\r\n" + std::string(900, 'x') + "\r\n")}};
  std::vector<std::string> lines;
  for (size_t i = 0; i < std::size(histories); ++i) {
    const auto& h = histories[i];
    std::string header = EncodeRecordHeader("2024/06/07 08:09:10", 2, 0, 1, 0, 0, 0);
    if (h.tag != 0x1005) {
      int kind = 0;
      std::string phone = EncodePhoneNumber(kind, h.peer);
      char l[4];
      std::snprintf(l, sizeof l, "%02X", static_cast<unsigned>(phone.size() / 2));
      header += l + phone;
    }
    ASSERT_TRUE(BuildHandsetFrames(lines, h.tag, header, h.text, static_cast<int>(i & 1), i + 1 == std::size(histories)));
  }
  ASSERT_TRUE(HandsetExchangeFile::Write(HandsetExchangeFile::PathFor(4), lines));
  std::vector<std::string> read, records;
  ASSERT_TRUE(HandsetExchangeFile::Read(HandsetExchangeFile::PathFor(4), read));
  ASSERT_TRUE(ReadHandsetRecords(read, records));
  ASSERT_EQ(records.size(), std::size(histories));
  for (size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(i);
    std::vector<HandsetItem> items;
    ASSERT_TRUE(SplitTLVHex(records[i], items));
    std::string value;
    for (const auto& item : items) value += item.substr(4);
    HandsetRecordHeader header;
    std::string rest;
    ASSERT_TRUE(DecodeRecordHeader(value, header, rest));
    EXPECT_EQ(header.date, "2024/06/07 08:09:10");
    EXPECT_EQ(header.kind, 2);
    EXPECT_EQ(header.unread, 1);
    if (histories[i].tag == 0x1005) {
      EXPECT_EQ(HexFieldToText(rest), HexToBytes(histories[i].text));
      continue;
    }
    size_t l = static_cast<size_t>(std::stoi(rest.substr(0, 2), nullptr, 16));
    EXPECT_EQ(DecodePhoneNumber(0, rest.substr(2, 2 * l)), histories[i].peer);
    EXPECT_EQ(StrToHex(HexFieldToText(rest.substr(2 + 2 * l))), histories[i].text);
  }
}

TEST(HandsetExchange, AHandMadeBookmarkLineDecodes) {
  // Length 0x12 (18 bytes follow), the constant, flag 03 (last line of the
  // last record), then the title "Q" (2004) and the address "a/b" (2001); the
  // empty reading goes out as no item at all.
  const std::string line = "12" "4D524C58200008" "03" "2004" "01" "51" "2001" "03" "612F62";
  std::vector<std::string> records;
  ASSERT_TRUE(ReadHandsetRecords({line}, records));
  std::vector<HandsetItem> items;
  ASSERT_TRUE(SplitTLVHex(records[0], items));
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(DecodeAddressRecord(items[0]), "Q");
  EXPECT_EQ(DecodeAddressRecord(items[1]), "a/b");
  std::vector<std::string> built;
  ASSERT_TRUE(BuildHandsetListFrames(built, {EncodeAddressField(0x2004, "Q"), EncodeAddressField(0x2001, "a/b"),
                                             EncodeAddressField(0x2002, "")},
                                     0, true));
  EXPECT_EQ(built, std::vector<std::string>{line});
}

TEST(HandsetExchange, RandomInputNeverReadsPastItsEnd) {
  std::mt19937 rng(7);
  const std::string alphabet = "0123456789ABCDEFabcdefGZ -";
  auto randomText = [&](size_t max) {
    std::string s(rng() % max, '0');
    for (char& c : s) c = rng() % 8 ? alphabet[rng() % 16] : alphabet[rng() % alphabet.size()];
    return s;
  };
  for (int i = 0; i < 3000; ++i) {
    const std::string s = randomText(i % 10 == 0 ? 600 : 40);
    HandsetFrameLine frame;
    if (ParseHandsetFrameLine(s, frame)) {
      // The length, flag and payload come back; the constant is not checked.
      std::string upper = s;
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      std::string again = FormatHandsetFrameLine(frame.flag, frame.payload);
      EXPECT_EQ(again.substr(0, 2) + again.substr(16), upper.substr(0, 2) + upper.substr(16));
    }
    std::vector<HandsetItem> items;
    if (SplitTLVHex(s, items)) {
      // Put back together, the items give the data again.
      std::string again;
      for (const auto& item : items) {
        char len[4];
        std::snprintf(len, sizeof len, "%02X", static_cast<unsigned>((item.size() - 4) / 2));
        again += item.substr(0, 4) + len + item.substr(4);
      }
      std::string upper = s;
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      EXPECT_EQ(again, upper);
    }
    std::vector<std::string> records;
    ReadHandsetRecords({s, randomText(40)}, records);
    HandsetRecordHeader header;
    std::string rest;
    DecodeRecordHeader(s, header, rest);
    HexFieldToText(s);
    DecodeHandsetDate(s);
    DecodeHandsetText(s);
    DecodePhoneNumber(static_cast<int>(rng() % 7), s);
    DecodeAddressRecord(s);
    std::string a, b, c;
    DecodeListFlags(s, a, b, c);
    DecimalTextToHex(s);
    SplitAddressRecords(items, s);
    EncodeHandsetDate(s);
    if (s.size() % 2 == 0 && s.find_first_not_of("0123456789ABCDEF") == std::string::npos) {
      EXPECT_EQ(DecimalTextToHex(HexToDecimalText(s)), s);
    }
  }
}
