// Replies and forwards: subject prefixes, recipients, the quoted body and the
// fields of handset history mails.
#include "core/data/HandsetExchange.h"
#include "core/data/MailStore.h"
#include "platform/IniFile.h"
#include "abi/PluginApi.h"
#include "plugins/mail/MailHost.h"
#include "core/data/MailReply.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

std::string J(std::string_view utf8) { return qvtest::Sjis(utf8); }

TEST(MailReply, SubjectsGetTheirPrefixUnlessTheyHaveItInAnyCase) {
  const std::pair<std::string, std::string> replies[] = {
      {"hello", "Re: hello"},       {"Re: hello", "Re: hello"}, {"RE:hello", "RE:hello"},
      {"  re: x", "  re: x"},       {"Rex", "Re: Rex"},         {"", "Re: "},
      {J("お知らせ"), "Re: " + J("お知らせ")}, {" Fw: a", "Re:  Fw: a"},
  };
  for (const auto& [subject, expected] : replies) EXPECT_EQ(qv::ReplySubject(subject), expected) << subject;
  const std::pair<std::string, std::string> forwards[] = {
      {"hello", "Fw: hello"}, {"fw: hello", "fw: hello"}, {"\tFW:x", "\tFW:x"}, {"Re: a", "Fw: Re: a"}, {"FWD", "Fw: FWD"},
  };
  for (const auto& [subject, expected] : forwards) EXPECT_EQ(qv::ForwardSubject(subject), expected) << subject;
}

TEST(MailReply, RecipientsGoToReplyToFirstThenToTheOthersWithoutTheOwnAddress) {
  qv::StoredMailFields mail;
  mail.from = "Tanaka <tanaka@example.jp>";
  mail.to = "me@example.jp, suzuki@example.jp";
  mail.cc = "sato@example.jp,me@example.jp";
  struct Case {
    const char* name;
    std::string replyTo;
    bool toAll, bccSelf;
    std::string own;
    qv::ReplyAddresses expected;
  } cases[] = {
      {"reply", "", false, false, "me@example.jp", {"Tanaka<tanaka@example.jp>", "", ""}},
      {"reply, bcc to self", "", false, true, " me@example.jp ", {"Tanaka<tanaka@example.jp>", "", "me@example.jp"}},
      {"reply to all", "", true, false, "me@example.jp",
       {"Tanaka<tanaka@example.jp>,suzuki@example.jp", "sato@example.jp", ""}},
      {"reply-to first", "list@example.jp", true, false, "me@example.jp",
       {"list@example.jp,suzuki@example.jp", "sato@example.jp", ""}},
      {"no own address, bcc asked", "", false, true, "", {"Tanaka<tanaka@example.jp>", "", ""}},
  };
  for (const Case& c : cases) {
    mail.replyTo = c.replyTo;
    const auto got = qv::ReplyRecipients(mail, true, c.toAll, c.own, c.bccSelf);
    EXPECT_EQ(got.to, c.expected.to) << c.name;
    EXPECT_EQ(got.cc, c.expected.cc) << c.name;
    EXPECT_EQ(got.bcc, c.expected.bcc) << c.name;
  }
  // A direct mail answers the sender's number; CC and BCC are e-mail only.
  qv::StoredMailFields direct;
  direct.from = "090-1111-2222";
  direct.to = "08033334444";
  direct.cc = "07055556666";
  const auto got = qv::ReplyRecipients(direct, false, true, "me@example.jp", true);
  EXPECT_EQ(got.to, "09011112222");
  EXPECT_EQ(got.cc, "");
  EXPECT_EQ(got.bcc, "");
}

TEST(MailReply, QuotesAreMarkedPutBelowTwoEmptyLinesAndCutWithoutSplittingACharacter) {
  bool cut = true;
  EXPECT_EQ(qv::QuoteBody("a\r\nb", true, cut), "\r\n\r\n> a\r\n> b");
  EXPECT_FALSE(cut);
  EXPECT_EQ(qv::QuoteBody("a\r\nb\r\n", true, cut), "\r\n\r\n> a\r\n> b\r\n> ");
  EXPECT_EQ(qv::QuoteBody("a\r\nb", false, cut), "\r\n\r\na\r\nb");
  // 4 bytes of line breaks, then double-byte characters: byte 1800 is a lead
  // byte when the text before it has an odd length.
  const std::string kanji = J("漢");
  struct Case {
    std::string body;
    size_t size;
  } cases[] = {
      {std::string(1796, 'a'), 1800},
      {std::string(1797, 'a'), 1800},
      {"a" + [&] { std::string s; for (int i = 0; i < 900; ++i) s += kanji; return s; }(), 1799},
      {[&] { std::string s; for (int i = 0; i < 900; ++i) s += kanji; return s; }(), 1800},
  };
  for (const Case& c : cases) {
    const std::string q = qv::QuoteBody(c.body, false, cut);
    EXPECT_EQ(q.size(), c.size);
    EXPECT_EQ(cut, c.body.size() + 4 > 1800);
    EXPECT_EQ(q.compare(4, std::string::npos, c.body, 0, q.size() - 4), 0) << "a prefix of the body";
  }
}

class ReplyBodyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    launcher_ = std::make_unique<qvtest::ScopedLauncherDir>(tmp_.path());
    warnings_.clear();
    qv::SetHostParamCallback([](int32_t kind, int32_t value) -> QvBool {
      warnings_.emplace_back(kind, value);
      return 1;
    });
  }
  void TearDown() override { qv::SetHostParamCallback(nullptr); }
  void Set(const char* key, const char* value) { qv::IniFile(launcher_->ini()).WriteString("Mail", key, value); }
  qvtest::TempDir tmp_;
  std::unique_ptr<qvtest::ScopedLauncherDir> launcher_;
  static inline std::vector<std::pair<int32_t, int32_t>> warnings_;
};

TEST_F(ReplyBodyTest, RepliesQuoteOnlyWithExcerptAndForwardsAlways) {
  EXPECT_EQ(qv::ReplyBody(1, "x"), "");
  EXPECT_EQ(qv::ReplyBody(2, "x"), "");
  EXPECT_EQ(qv::ReplyBody(3, "x"), "\r\n\r\nx");
  Set("QuoteMark", "1");
  EXPECT_EQ(qv::ReplyBody(1, "x"), "") << "marks alone do not quote";
  EXPECT_EQ(qv::ReplyBody(3, "x"), "\r\n\r\n> x");
  Set("Excerpt", "1");
  EXPECT_EQ(qv::ReplyBody(2, "x\r\ny"), "\r\n\r\n> x\r\n> y");
  EXPECT_TRUE(warnings_.empty());
  EXPECT_EQ(qv::ReplyBody(1, std::string(2000, 'z')).size(), 1800u);
  EXPECT_EQ(warnings_, (std::vector<std::pair<int32_t, int32_t>>{{10, 2005}}));
}

TEST(MailReply, HandsetHistoryMailsTakeTheirFieldsFromTheRowAndTheHandsetText) {
  qv::MailIndexRow row;
  qv::BuildIndexRow(row, 8, 0, 0, 0, 0, 3, 0, "09011112222", "08033334444", J("Kメール"), "", "09011112222");
  const std::string body = "Hello " + J("ｺﾝﾆﾁﾊ");
  const std::string stored = qv::EncodeHandsetText(body) + "\r\n" + qv::EncodeHandsetText("second line") + "\r\n";
  const auto f = qv::HandsetHistoryFields(row, stored);
  EXPECT_EQ(f.body, body);
  EXPECT_EQ(f.from, "09011112222");
  EXPECT_EQ(f.to, "08033334444");
  EXPECT_EQ(f.subject, J("Kメール"));
  EXPECT_TRUE(f.date.empty());
  EXPECT_TRUE(f.cc.empty());
  EXPECT_TRUE(f.replyTo.empty());
}

}  // namespace
