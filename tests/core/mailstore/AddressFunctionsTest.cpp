#include "core/data/AddressFunctions.h"
#include "core/data/NamedRecordFile.h"
#include "core/data/Settings.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace qv;
using qvtest::Sjis;

TEST(AddressFunctions, PhoneNumberText) {
  struct Case {
    std::string text;
    bool isPhone;
    std::string normalised;
  } cases[] = {
      {"090-1234-5678", true, "09012345678"},
      {"#31#*P0", true, "#31#*P0"},
      {"FAX: 03-1234-5678", false, "0312345678"},
      {Sjis("携帯: 分計ON; 090-1111-2222"), false, "09011112222"},
      {"0312 (home)", false, "0312"},
      {Sjis("ケ") + "1", false, "1"},  // the "P" inside a double-byte character is no dial character
      {"", false, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsPhoneNumberText(c.text), c.isPhone) << c.text;
    EXPECT_EQ(NormalizePhoneNumber(c.text), c.normalised) << c.text;
  }
  EXPECT_EQ(StripServicePrefix("18409012345678##3"), "09012345678");
  EXPECT_EQ(StripServicePrefix("186##"), "");
  EXPECT_EQ(StripServicePrefix("0184"), "0184");
  const std::string picto = "\xF0\x40";
  EXPECT_EQ(RemoveHandsetPictographs("a" + picto + Sjis("漢") + picto + "b\xF0"), "a" + Sjis("漢") + "b\xF0");
  EXPECT_TRUE(IsAsciiPrintable("a b~"));
  EXPECT_FALSE(IsAsciiPrintable(""));
  EXPECT_FALSE(IsAsciiPrintable("a\tb"));
  EXPECT_FALSE(IsAsciiPrintable(Sjis("あ")));
}

TEST(AddressFunctions, AddressLists) {
  const std::string list = " " + Sjis("山田 太郎") + " <taro@example.jp> , hanako@example.jp (" + Sjis("花子") +
                           "), " + Sjis("不正") + ", <>, x@y (c) ";
  EXPECT_EQ(ParseAddressList(list, true, true, true, "", false, false),
            Sjis("山田 太郎") + "<taro@example.jp>,hanako@example.jp(" + Sjis("花子") + "),x@y(c)");
  EXPECT_EQ(ParseAddressList(list, true, false, false, "", false, false), "taro@example.jp,hanako@example.jp,x@y");
  // Excluding one's own address, as a reply to all does.
  EXPECT_EQ(ParseAddressList(list, true, false, false, "Me <hanako@example.jp>", false, false),
            "taro@example.jp,x@y");
  // Phone numbers are always written bare and normalised.
  EXPECT_EQ(ParseAddressList(Sjis("太郎 <090-1234-5678>, 03-1111 (会社), FAX: 0312"), false, true, true, "", false,
                             false),
            "09012345678,031111(" + Sjis("会社") + ")");
  // Raw keeps what the entries hold.
  EXPECT_EQ(ParseAddressList(Sjis("名 <不正>, FAX: 0312"), false, true, false, "", false, true),
            Sjis("名<不正>,FAX: 0312"));
  TCSVData table;
  ResolveAddressNames(table, "09:00 <0901234> (Bob)", false, false, false);
  ASSERT_EQ(table.RowCount(), 1);
  EXPECT_EQ(table.Rows(0), (TCSVRow{"0901234", "09:00", "Bob"}));
  EXPECT_EQ(ParseAddressList("", true, true, true, "", false, false), "");
}

TEST(AddressFunctions, OwnersComeFromThePhoneBook) {
  qvtest::TempDir tmp;
  qvtest::ScopedLauncherDir launcher(tmp / "app");
  // Without a phone book nothing is looked up.
  EXPECT_EQ(ParseAddressList("0901234", false, false, true, "", true, false), "0901234");
  TCSVData book;
  auto add = [&](std::vector<std::string> cells) {
    int r = book.AddRow();
    for (size_t c = 0; c < cells.size(); ++c) book.SetCell(r, static_cast<int>(c), cells[c]);
  };
  //   reading, name, phones 2-7, mails 8-13
  add({Sjis("やまだ"), Sjis("山田"), "", "090-1234", "0955", "", "", "", "", "", "yamada@example.jp"});
  add({Sjis("すずき"), "", "0312", "", "", "", "", "", "suzuki@example.jp"});
  add({"second", "Second", "090-1234"});
  ASSERT_TRUE(WriteNamedRecordFile(tmp / "app" / "book.qad", {{"Address.idx", book.GetText()}}));
  ASSERT_TRUE(IniWriteString("File", "AddressFile", "book.qad"));

  // Column by column, and in each column from the top: "Second" holds the
  // number in an earlier column than 山田. Without a name the reading stands.
  EXPECT_EQ(ParseAddressList("0901234, 0312, 0999, 0955", false, false, true, "", true, false),
            "0901234(Second),0312(" + Sjis("すずき") + "),0999,0955(" + Sjis("山田") + ")");
  // An address that has a comment is not looked up; without resolve nothing is.
  EXPECT_EQ(ParseAddressList("0901234 (mine)", false, false, true, "", true, false), "0901234(mine)");
  EXPECT_EQ(ParseAddressList("0901234", false, false, true, "", false, false), "0901234");
  TCSVData table;
  ResolveAddressNames(table, "a <suzuki@example.jp>, yamada@example.jp, nobody@example.jp", true, true, false);
  ASSERT_EQ(table.RowCount(), 3);
  EXPECT_EQ(table.GetCell(0, 2), Sjis("すずき"));
  EXPECT_EQ(table.GetCell(1, 2), Sjis("山田"));
  EXPECT_EQ(table.GetCell(2, 2), "");
  // A mail address is not looked up among the phones.
  ResolveAddressNames(table, "0312", true, true, false);
  EXPECT_EQ(table.GetCell(0, 2), "");
}
