// What the recipient picker lists and gives back, without its windows: the
// phone book's items, recipient texts read and written, the delivery time's
// start value and text.
#include "plugins/mail/pickers/MailAddressLists.h"

#include "PhoneBookFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace qv;
using qvtest::BookRow;
using qvtest::Sjis;

namespace {

std::vector<std::pair<int, int>> Pairs(const std::vector<PhoneBookItem>& items) {
  std::vector<std::pair<int, int>> out;
  for (const auto& i : items) out.emplace_back(i.row, i.n);
  return out;
}

}  // namespace

TEST(PickerItems, EachUsableNumberOfARowWhoseFirstIsThereIsAnItem) {
  const TCSVData book = qvtest::BookTable({
      {Sjis("ﾔﾏﾀﾞ"), Sjis("山田"), {"090-1111-2222"}, {"a@b.jp", "", "c@d.jp", "", "e@f.jp"}},
      {Sjis("ｽｽﾞｷ"), "", {"", "03-1234-5678"}, {" ", "g@h.jp"}},  // first ones blank: no items
      {Sjis("ﾀﾅｶ"), "", {" 0120 ", "", "", "", "", "0312"}, {"i@j.jp"}},
      {"", "", {}, {}},
  });
  EXPECT_EQ(Pairs(PhoneBookItems(book, true)),
            (std::vector<std::pair<int, int>>{{0, 1}, {0, 3}, {0, 5}, {2, 1}}));
  EXPECT_EQ(Pairs(PhoneBookItems(book, false)), (std::vector<std::pair<int, int>>{{0, 1}, {2, 1}, {2, 6}}));

  // Every item of a row carries its name, its own number and address, and
  // the reading with the number's place after it from the second on.
  const PhoneBookItem third{0, 3}, other{2, 6};
  EXPECT_EQ(ItemName(book, third), Sjis("山田"));
  EXPECT_EQ(ItemMail(book, third), "c@d.jp");
  EXPECT_EQ(ItemPhone(book, third), "");
  EXPECT_EQ(ItemReading(book, {0, 1}), Sjis("ﾔﾏﾀﾞ"));
  EXPECT_EQ(ItemReading(book, third), Sjis("ﾔﾏﾀﾞ3"));
  EXPECT_EQ(ItemName(book, other), Sjis("ﾀﾅｶ")) << "no name: the reading";
  EXPECT_EQ(ItemPhone(book, other), "0312");
}

TEST(PickerRecipients, FieldTextsComeBackAsTheyWentIn) {
  struct Case {
    const char* what;
    bool email;
    std::string text;
    std::vector<Recipient> list;
    std::string back;
  };
  const std::vector<Case> cases{
      {"a name", true, Sjis("a@b.jp(山田)"), {{Sjis("山田"), "a@b.jp", ""}}, Sjis("a@b.jp(山田)")},
      {"a time", true, Sjis("2003/01/15/0905<a@b.jp>(山田)"), {{Sjis("山田"), "a@b.jp", "2003/01/15/0905"}},
       Sjis("2003/01/15/0905<a@b.jp>(山田)")},
      {"a date alone", true, "2003/01/15<a@b.jp>", {{"", "a@b.jp", "2003/01/15"}}, "2003/01/15<a@b.jp>"},
      {"a display name stays in front", true, Sjis("山田<a@b.jp>"), {{"", "a@b.jp", Sjis("山田")}}, Sjis("山田<a@b.jp>")},
      {"several, blanks around", true, " a@b.jp , c@d.jp(x) ", {{"", "a@b.jp", ""}, {"x", "c@d.jp", ""}},
       "a@b.jp,c@d.jp(x)"},
      {"brackets with nothing in front", true, "<x<y> ", {{"", "x<y", ""}}, "<x<y>"},
      {"blanks inside the brackets", true, "< a@b.jp\t>", {{"", "a@b.jp", ""}}, "a@b.jp"},
      {"what is no address is kept", true, Sjis("田中"), {{"", Sjis("田中"), ""}}, Sjis("田中")},
      {"a number loses its hyphens", false, "090-1234-5678", {{"", "090-1234-5678", ""}}, "09012345678"},
      {"a number with a name", false, Sjis("03-1234-5678(山田)"), {{Sjis("山田"), "03-1234-5678", ""}},
       Sjis("0312345678(山田)")},
      {"what is no number is kept", false, Sjis("田中"), {{"", Sjis("田中"), ""}}, Sjis("田中")},
      {"empty", true, "", {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ParseRecipients(c.text, c.email), c.list);
    EXPECT_EQ(RecipientsText(c.list, c.email), c.back);
  }
}

TEST(PickerRecipients, ACommaInANameNeitherCutsItNorAddsARecipient) {
  // A phone-book name "x,y@z.jp" written as it stands would read back as the
  // name "x" and a recipient "y@z.jp)".
  const std::vector<Recipient> list{{"x,y@z.jp", "a@b.jp", ""}, {Sjis("山田,花子"), "c@d.jp", "2003/01/15"}};
  const std::string text = RecipientsText(list, true);
  EXPECT_EQ(text, Sjis("a@b.jp(x，y@z.jp),2003/01/15<c@d.jp>(山田，花子)"));
  EXPECT_EQ(ParseRecipients(text, true),
            (std::vector<Recipient>{{Sjis("x，y@z.jp"), "a@b.jp", ""}, {Sjis("山田，花子"), "c@d.jp", "2003/01/15"}}));
  EXPECT_EQ(RecipientsText({{"a,b", "090-1", ""}}, false), Sjis("0901(a，b)"));
}

TEST(PickerDeliveryTime, TheStartValueIsReadNoFurtherThanItGoes) {
  const PickerDate today{2024, 6, 7};
  struct Case {
    std::string text;
    DeliveryStart start;
  };
  const std::vector<Case> cases{
      {"", {today, "", "", false}},
      {"2003/01/15/0905", {{2003, 1, 15}, "09", "05", true}},
      {"2003/01/15", {{2003, 1, 15}, "", "", true}},
      {"2003/01/15/2359", {{2003, 1, 15}, "23", "59", true}},
      {"2003/01/15/09051", {{2003, 1, 15}, "09", "05", true}},
      {"2003 : 01 : 15 : 09 05", {{2003, 1, 15}, "09", "05", true}},
      {"2003/13/40", {today, "", "", true}},
      {"2003/02/30", {today, "", "", true}},
      {Sjis("山田"), {today, "", "", true}},
      {"2003/01/15/9", {{2003, 1, 15}, "", "", true}},
      {"2003/01/15/09", {{2003, 1, 15}, "09", "", true}},
      {"2003/01/15/09zz", {{2003, 1, 15}, "09", "", true}},
      {"2003/01/15/090", {{2003, 1, 15}, "09", "", true}},
      {"2003/01/15/2460", {{2003, 1, 15}, "", "", true}},
      {"2003/01/15/2305x", {{2003, 1, 15}, "23", "05", true}},
      {"2003/01/15/x905", {{2003, 1, 15}, "", "05", true}},
      {"2003/01", {{2003, 1, 7}, "", "", true}},
      {"x/01/15", {{2024, 1, 15}, "", "", true}},
      {"2003/-1/15", {{2003, 6, 15}, "", "", true}},
      {"99999999999/01/15", {{2024, 1, 15}, "", "", true}},
      {"0099/01/15", {today, "", "", true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseDeliveryTime(c.text, today), c.start);
  }
}

TEST(PickerDeliveryTime, TheTextIsTheDateAndTheTimeWhenAnHourIsChosen) {
  const PickerDate date{2003, 1, 15};
  EXPECT_EQ(DeliveryTimeText(false, date, "09", "05"), "");
  EXPECT_EQ(DeliveryTimeText(true, date, "09", "05"), "2003/01/15/0905");
  EXPECT_EQ(DeliveryTimeText(true, date, "", "05"), "2003/01/15");
  EXPECT_EQ(DeliveryTimeText(true, date, " ", ""), "2003/01/15");
  EXPECT_EQ(DeliveryTimeText(true, {999, 12, 31}, "00", "30"), "0999/12/31/0030");
}

TEST(PickerRecipients, AnyFieldTextGoesThroughThePickerUnchangedInMeaning) {
  // Random texts of the characters that matter to the split: whatever the
  // picker lists, its text lists the same recipients again.
  const std::vector<std::string> pieces{"a", "b@c.jp", "<", ">", "(", ")", ",", " ", Sjis("山"), Sjis("，"),
                                        "0", "9", "/", ":", "-", "\t"};
  std::mt19937 rng(19);
  for (int trial = 0; trial < 5000; ++trial) {
    std::string text;
    const int n = static_cast<int>(rng() % 24);
    for (int i = 0; i < n; ++i) text += pieces[rng() % pieces.size()];
    SCOPED_TRACE(::testing::PrintToString(text));
    for (bool email : {true, false}) {
      SCOPED_TRACE(email ? "e-mail" : "direct mail");
      const std::vector<Recipient> list = ParseRecipients(text, email);
      const std::vector<Recipient> again = ParseRecipients(RecipientsText(list, email), email);
      ASSERT_EQ(again.size(), list.size());
      for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(again[i].name, list[i].name);
        if (email) {
          EXPECT_EQ(again[i].address, list[i].address);
          EXPECT_EQ(again[i].time, list[i].time);
        }
      }
    }
  }
}

TEST(PickerDeliveryTime, AnyStartValueGivesADayAndItemsThatExist) {
  const std::vector<std::string> pieces{"2003", "0", "1", "9", "12", "31", "/", ":", " ", "x", Sjis("山"), "-", "99999"};
  std::mt19937 rng(7);
  for (int trial = 0; trial < 5000; ++trial) {
    std::string text;
    const int n = static_cast<int>(rng() % 12);
    for (int i = 0; i < n; ++i) text += pieces[rng() % pieces.size()];
    SCOPED_TRACE(text);
    const DeliveryStart start = ParseDeliveryTime(text, {2024, 2, 29});
    EXPECT_TRUE(IsValidDate(start.date));
    EXPECT_TRUE(start.hour.empty() || (start.hour.size() == 2 && start.hour <= "23"));
    EXPECT_TRUE(start.minute.empty() || (start.minute.size() == 2 && start.minute <= "59"));
    EXPECT_EQ(start.checked, !text.empty());
  }
}
