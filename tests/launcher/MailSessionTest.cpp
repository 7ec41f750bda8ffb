// The mail session against the scriptable module: each call of the session
// is answered with the events the real module posts, so that every branch
// of the session (pages, failures, the 30-second dialog) can be driven.
#include "SessionFixture.h"
#include "FileSizeLimit.h"
#include "MailFolders.h"
#include "platform/Paths.h"
#include "core/data/CSVData.h"
#include "core/data/HandsetExchange.h"
#include "core/ui/QvWait30FRM.h"
#include "controls/MultiButton.h"

#include <QLabel>
#include <QtTest/QTest>
#include <ctime>

using namespace qvtest;

namespace {

const std::string kQueue = J("送信予約"), kSent = J("送信簿"), kInbox = J("受信簿");

const std::vector<Ev> kExchangeOpen = {{0, 56}, {1, 9}, {0, 51}, {0, 52}, {0, 54}, {1, 1}};
const std::vector<Ev> kReceiveOpen = {{0, 46}, {1, 9}, {0, 41}, {0, 44}, {1, 7}};
const std::vector<Ev> kSendOpen = {{0, 36}, {1, 9}, {0, 31}, {0, 32}, {1, 1}};
const std::vector<Ev> kListed = {{0, 44}, {1, 5}, {1, 2}, {1, 7}};
const std::vector<Ev> kReceiveEnd = {{0, 45}, {8, 40}, {8, 41}};
const std::vector<Ev> kExchangeEnd = {{0, 55}, {8, 50}, {8, 51}};

std::vector<Ev> Sent(size_t bytes, Ev next) { return {{0, 52}, {3, 0}, {3, int32_t(bytes)}, {1, 8}, next}; }
std::vector<Ev> DirectSent(size_t bytes) {
  return {{0, 16}, {1, 9}, {0, 11}, {0, 12}, {3, 0}, {3, int32_t(bytes)}, {1, 8}, {0, 15}, {8, 10}, {8, 11}};
}

std::string Body(int n) {
  return "From: sender" + std::to_string(n) + "@example.jp\r\nSubject: centre " + std::to_string(n) +
         "\r\nDate: 2024/03/0" + std::to_string(n) + " 10:00:00\r\n\r\nbody of mail " + std::to_string(n) + "\r\n";
}
std::string Line(int n) {
  return ListLine(n, "ID" + std::to_string(n), "sender" + std::to_string(n) + "@example.jp",
                  "centre " + std::to_string(n), "2024/03/0" + std::to_string(n) + " 10:00:00", 300);
}

class MailSessionTest : public SessionTest {
 protected:
  bool flipped_ = false;
  // The column of every row of a folder.
  std::vector<std::string> Column(const std::string& folder, int col) const {
    std::vector<std::string> out;
    for (const auto& row : Rows(folder)) out.push_back(col < int(row.size()) ? row[size_t(col)] : "");
    return out;
  }
  std::vector<std::string> Args(const std::string& function) const {
    std::vector<std::string> out;
    for (const auto& line : CallsOf("serial " + function)) {
      const std::string rest = line.substr(std::string("serial ").size() + function.size());
      if (rest.empty() || rest[0] == ' ') out.push_back(rest.empty() ? "" : rest.substr(1));
    }
    return out;
  }
};

TEST_F(MailSessionTest, SendAndReceiveSendsTheQueueAndFetchesEveryListedMail) {
  const std::string d1 = "To: 1840801112222\r\nSubject: hi\r\n\r\nhello there\r\n";
  const std::string d2 = J("To: 09033334444\r\n\r\n直送の本文\r\n");
  const std::string d3 = "To: 09055556666\r\n";  // a single line is never sent
  const std::string e1 = "To: friend1@example.jp\r\nSubject: first\r\n\r\nline one\r\n";
  const std::string e2 = J("To: friend2@example.jp\r\nSubject: 二通目\r\n\r\n本文\r\n");
  QueueMail(1, d1);
  QueueMail(3, e1);
  QueueMail(1, d2);
  QueueMail(1, d3);
  QueueMail(3, e2);
  StartSession();
  const std::string d1Sent = "To: 0801112222\r\nSubject: hi\r\n\r\nhello there\r\n";
  QueueReply("kwxConnectSMail", DirectSent(d1Sent.size()));
  QueueReply("kwxConnectSMail", DirectSent(d2.size()));
  QueueReply("kwxConnectEMail", kExchangeOpen);
  QueueReply("kwxAsyncSendEMail", Sent(e1.size(), {1, 1}));
  QueueReply("kwxAsyncSendEMail", Sent(e2.size(), {1, 7}));
  QueueReply("kwxAsyncGetEMailList", kListed, {ListPage({Line(1), Line(2)}, "continue")});
  QueueReply("kwxAsyncGetEMailList", kListed, {ListPage({Line(3), Line(4)}, "end")});
  for (int n = 1; n <= 3; ++n) QueueReply("kwxAsyncGetEMail", kListed, {Body(n)});
  // A mail longer than the module's buffer comes in two pieces.
  std::string big = Body(4);
  big.insert(big.size() - 2, std::string(7000, 'x'));
  QueueReply("kwxAsyncGetEMail", {{0, 44}, {1, 5}, {1, 4}, {1, 2}, {1, 7}}, {big.substr(0, 6144), big.substr(6144)});
  QueueReply("kwxExitEMail", kExchangeEnd);
  TakeCalls();

  EXPECT_EQ(PluginCallParam("TestMail.qpl", 1, 4), 1) << "done";

  EXPECT_EQ(Args("kwxConnectSMail"),
            (std::vector<std::string>{"0801112222 " + Escaped(d1Sent), "09033334444 " + Escaped(d2)}));
  EXPECT_EQ(Args("kwxConnectEMail"), std::vector<std::string>{"2 2"});
  EXPECT_EQ(Args("kwxAsyncSendEMail"), (std::vector<std::string>{Escaped(e1), Escaped(e2)}));
  EXPECT_EQ(Args("kwxAsyncGetEMailList"), (std::vector<std::string>{"1", "3"}));
  EXPECT_EQ(Args("kwxAsyncGetEMail"), (std::vector<std::string>{"ID1", "ID2", "ID3", "ID4"}));
  EXPECT_TRUE(Args("kwxPurgeEMail").empty()) << "mail stays at the centre without AutoDelete";
  EXPECT_EQ(Args("kwxExitEMail").size(), 1u);

  // What went out is in the sent folder as it went out, marked sent.
  EXPECT_EQ(StoreBytes(kSent), d1Sent + d2 + e1 + e2);
  EXPECT_EQ(Column(kSent, qv::kColKind), (std::vector<std::string>{"1", "1", "3", "3"}));
  EXPECT_EQ(Column(kSent, qv::kColUnread), (std::vector<std::string>{"0", "0", "0", "0"}));
  for (const auto& date : Column(kSent, qv::kColDate)) EXPECT_EQ(date.size(), 19u) << date;
  // The queue keeps only the mail that could not go, compacted.
  EXPECT_EQ(StoreBytes(kQueue), d3);
  ASSERT_EQ(Rows(kQueue).size(), 1u);
  EXPECT_EQ(Rows(kQueue)[0][qv::kColUnread], "1");
  EXPECT_EQ(Rows(kQueue)[0][qv::kColStart], "0");
  // Every listed mail is in the inbox, in the centre's order, as e-mail.
  EXPECT_EQ(StoreBytes(kInbox), Body(1) + Body(2) + Body(3) + big);
  EXPECT_EQ(Column(kInbox, qv::kColKind), (std::vector<std::string>{"3", "3", "3", "3"}));
  EXPECT_EQ(Column(kInbox, qv::kColUnread), (std::vector<std::string>{"1", "1", "1", "1"}));
  EXPECT_EQ(Column(kInbox, qv::kColDirection), (std::vector<std::string>{"0", "0", "0", "0"}));
  EXPECT_EQ(Column(kInbox, qv::kColDate)[2], "2024/03/03 10:00:00");
  EXPECT_EQ(Column(kInbox, qv::kColSubject)[1], "centre 2");
  EXPECT_EQ(sounds_, (std::vector<std::string>{"pipo.wav", "pipo.wav", "pipo.wav"}))
      << "each direct mail, and once after the e-mails";
  ASSERT_FALSE(NoticeTexts().empty());
  EXPECT_EQ(NoticeTexts().back(), "送信できなかったメールがあります。\n  送信予約を確認してください。");
  EXPECT_EQ(CallsOf("TestMail SetStr"),
            (std::vector<std::string>{"TestMail SetStr 1 " + kQueue + " 9", "TestMail SetStr 1 " + kSent + " 7",
                                      "TestMail SetStr 1 " + kInbox + " 7"}));
}

TEST_F(MailSessionTest, TheCentresListIsFollowedPageByPageAndAPageThatDoesNotMoveOnEndsIt) {
  struct Case {
    const char* what;
    std::vector<std::string> pages;
    std::vector<std::string> starts;
    std::vector<std::string> fetched;
  } cases[] = {
      {"three pages",
       {ListPage({Line(1), Line(2)}, "continue"), ListPage({Line(3)}, "continue"), ListPage({Line(4)}, "end")},
       {"1", "3", "4"},
       {"ID1", "ID2", "ID3", "ID4"}},
      {"a page again from the start",
       {ListPage({Line(1), Line(2)}, "continue"), ListPage({Line(1), Line(2)}, "continue")},
       {"1", "3"},
       {"ID1", "ID2"}},
      {"an end page without a mail after a continue", {ListPage({Line(1)}, "continue"), ListPage({}, "end")},
       {"1", "2"}, {"ID1"}},
      {"an unknown last line", {ListPage({Line(1)}, "more?")}, {"1"}, {}},
  };
  StartSession();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QueueReply("kwxConnectEMail", kReceiveOpen);
    for (const auto& page : c.pages) QueueReply("kwxAsyncGetEMailList", kListed, {page});
    for (size_t i = 0; i < c.fetched.size(); ++i) QueueReply("kwxAsyncGetEMail", kListed, {Body(int(i) + 1)});
    QueueReply("kwxExitEMail", kReceiveEnd);
    TakeCalls();
    EXPECT_TRUE(launch_->RunMailSession(false, true, false, false, true));
    EXPECT_EQ(Args("kwxAsyncGetEMailList"), c.starts);
    EXPECT_EQ(Args("kwxAsyncGetEMail"), c.fetched);
    EXPECT_EQ(Args("kwxExitEMail").size(), 1u);
  }
}

TEST_F(MailSessionTest, NothingAtTheCentreIsNothingDoneAndTheNoticeSaysSoUnlessAutomatic) {
  struct Case {
    const char* what;
    bool send, autoReceive;
    std::vector<Ev> listEvents;
    std::string page;
    int result;
    bool notice;
  } cases[] = {
      {"NO_MORE", false, false, {{0, 44}, {1, 11}, {1, 7}}, "", 2, true},
      {"an empty end page", false, false, kListed, ListPage({}, "end"), 2, true},
      {"automatic", false, true, {{0, 44}, {1, 11}, {1, 7}}, "", 2, false},
      {"send and receive", true, false, {{0, 44}, {1, 11}, {1, 7}}, "", 1, false},
  };
  StartSession();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QueueReply("kwxConnectEMail", kReceiveOpen);
    QueueReply("kwxAsyncGetEMailList", c.listEvents, c.page.empty() ? std::vector<std::string>{} : std::vector{c.page});
    QueueReply("kwxExitEMail", kReceiveEnd);
    TakeCalls();
    CloseNoticeWindow();
    const size_t noticesBefore = NoticeTexts().size();
    launch_->RunMailSession(c.send, true, c.autoReceive, false, c.autoReceive);
    EXPECT_EQ(connecting_->result(), c.result);
    EXPECT_EQ(Args("kwxConnectEMail"), std::vector<std::string>{"1 0"}) << "nothing queued: receive only";
    const bool noticed = NoticeTexts().size() > noticesBefore &&
                         NoticeTexts().back() == "センターに新しいメールはありません。";
    EXPECT_EQ(noticed, c.notice);
  }
}

TEST_F(MailSessionTest, AMailThatCannotBeStoredStaysAtTheCentre) {
  WriteSessionIni({{"Mail|AutoDelete", "1"}});
  StartSession();
  // An inbox that cannot be written: no call starts at all.
  std::filesystem::create_directories(qv::PathIn(MailDir(), kInbox + ".qvs"));
  TakeCalls();
  EXPECT_FALSE(launch_->RunMailSession(false, true, false, false, true)) << "a failure is no success";
  EXPECT_TRUE(Args("kwxConnectEMail").empty());
  ASSERT_FALSE(ErrorLogLines().empty());
  EXPECT_NE(ErrorLogLines().back().find(J("受信簿に保存できないため、受信を始めません。")), std::string::npos);
  EXPECT_NE(ErrorLogLines().back().find(qv::ShownPath(qv::PathIn(MailDir(), kInbox + ".qvs"))), std::string::npos)
      << "the file at fault is named";
  std::filesystem::remove_all(qv::PathIn(MailDir(), kInbox + ".qvs"));

  // One that fails while the session runs: nothing that is not stored is
  // deleted. Tiny mails with long rows, and room for the mails but not for
  // the index, which grows past the file-size limit.
  qv::MailIndexRow row(16, "0");
  row[qv::kColSubject] = std::string(300, 's');
  for (int i = 0; i < 600; ++i) ASSERT_FALSE(AppendMail(kInbox, "x", row).empty());
  const auto indexSize = std::filesystem::file_size(qv::PathIn(MailDir(), kInbox + ".qvm"));
  QueueReply("kwxConnectEMail", kReceiveOpen);
  QueueReply("kwxAsyncGetEMailList", kListed, {ListPage({Line(1), Line(2)}, "end")});
  QueueReply("kwxAsyncGetEMail", kListed, {Body(1)});
  QueueReply("kwxAsyncGetEMail", kListed, {Body(2)});
  QueueReply("kwxExitEMail", kReceiveEnd);
  TakeCalls();
  {
    FileSizeLimit limit(indexSize);
    ASSERT_TRUE(limit.Set());
    EXPECT_FALSE(launch_->RunMailSession(false, true, false, false, true));
  }
  EXPECT_EQ(Args("kwxAsyncGetEMail"), (std::vector<std::string>{"ID1", "ID2"}));
  EXPECT_TRUE(Args("kwxPurgeEMail").empty()) << "nothing deleted that is not stored";
  EXPECT_NE(ErrorLogLines().back().find(J("受信簿に保存できませんでした")), std::string::npos);
  EXPECT_NE(ErrorLogLines().back().find(J("ディスクの空きがありません")), std::string::npos);
  EXPECT_EQ(Rows(kInbox).size(), 600u);
  std::filesystem::remove(qv::PathIn(MailDir(), kInbox + ".qvm"));
  std::filesystem::remove(qv::PathIn(MailDir(), kInbox + ".qvs"));

  // Once the inbox can be written, the same mail is stored and then deleted.
  std::filesystem::remove_all(qv::PathIn(MailDir(), kInbox + ".qvs"));
  QueueReply("kwxConnectEMail", kReceiveOpen);
  QueueReply("kwxAsyncGetEMailList", kListed, {ListPage({Line(1)}, "end")});
  QueueReply("kwxAsyncGetEMail", kListed, {Body(1)});
  QueueReply("kwxPurgeEMail", {{0, 47}, {1, 7}});
  QueueReply("kwxExitEMail", kReceiveEnd);
  TakeCalls();
  EXPECT_TRUE(launch_->RunMailSession(false, true, false, false, true));
  EXPECT_EQ(Args("kwxPurgeEMail"), std::vector<std::string>{"ID1"});
  EXPECT_EQ(StoreBytes(kInbox), Body(1));
}

TEST_F(MailSessionTest, AHandsetSampleIsDroppedOnPurposeAndDeletedAtTheCentre) {
  WriteSessionIni({{"Mail|AutoDelete", "1"}});
  StartSession();
  QueueReply("kwxConnectEMail", kReceiveOpen);
  QueueReply("kwxAsyncGetEMailList", kListed, {ListPage({Line(1)}, "end")});
  QueueReply("kwxAsyncGetEMail", kListed, {"From: shop@example.jp\r\nX-KmailDX-CPGFLG: SAMPLE\r\n\r\nad\r\n"});
  QueueReply("kwxPurgeEMail", {{0, 47}, {1, 7}});
  QueueReply("kwxExitEMail", kReceiveEnd);
  EXPECT_TRUE(launch_->RunMailSession(false, true, false, false, true));
  EXPECT_EQ(Args("kwxPurgeEMail"), std::vector<std::string>{"ID1"});
  EXPECT_EQ(StoreBytes(kInbox), "");
}

TEST_F(MailSessionTest, ASentMailWhoseCopyCannotBeKeptStaysInTheQueueMarkedSent) {
  const std::string e1 = "To: friend1@example.jp\r\nSubject: first\r\n\r\nline one\r\n";
  QueueMail(3, e1);
  StartSession();
  std::filesystem::create_directories(qv::PathIn(MailDir(), kSent + ".qvs"));
  QueueReply("kwxConnectEMail", kSendOpen);
  // After the last mail of a send session the module closes by itself.
  QueueReply("kwxAsyncSendEMail", {{0, 32}, {3, 0}, {3, int32_t(e1.size())}, {1, 8}, {0, 35}, {8, 30}, {8, 31}});
  EXPECT_TRUE(launch_->RunMailSession(true, false, false, false, false));
  ASSERT_EQ(Rows(kQueue).size(), 1u);
  EXPECT_EQ(Rows(kQueue)[0][qv::kColUnread], "0") << "marked sent";
  EXPECT_EQ(Rows(kQueue)[0][qv::kColDeleted], "0") << "but kept";
  EXPECT_EQ(StoreBytes(kQueue), e1);
  EXPECT_EQ(NoticeTexts().back(), "送信完了") << "nothing is left to send";
  ASSERT_FALSE(ErrorLogLines().empty());
  EXPECT_NE(ErrorLogLines().back().find(J("送信簿に保存できませんでした")), std::string::npos);
  TakeCalls();
  EXPECT_TRUE(launch_->RunMailSession(true, false, false, false, false));
  EXPECT_TRUE(Args("kwxConnectEMail").empty()) << "a sent mail is not sent again";
}

TEST_F(MailSessionTest, AMailTheCentreTookIsRecordedSentWhenTheCallEndsBeforeTheNextOne) {
  const std::string e1 = "To: friend1@example.jp\r\nSubject: first\r\n\r\nline one\r\n";
  const std::string e2 = "To: friend2@example.jp\r\nSubject: second\r\n\r\nline two\r\n";
  QueueMail(3, e1);
  QueueMail(3, e2);
  StartSession();
  QueueReply("kwxConnectEMail", kSendOpen);
  // The centre takes the first mail, then the line goes before the module
  // asks for the second.
  QueueReply("kwxAsyncSendEMail", {{0, 32}, {3, 0}, {3, int32_t(e1.size())}, {1, 8}, {9, 1280}, {8, 31}});
  TakeCalls();
  EXPECT_FALSE(launch_->RunMailSession(true, false, false, false, false));
  EXPECT_EQ(Args("kwxAsyncSendEMail"), std::vector<std::string>{Escaped(e1)});
  EXPECT_EQ(StoreBytes(kSent), e1);
  EXPECT_EQ(Column(kSent, qv::kColUnread), std::vector<std::string>{"0"});
  ASSERT_EQ(Rows(kQueue).size(), 1u) << "the queue keeps only the mail that did not go";
  EXPECT_EQ(StoreBytes(kQueue), e2);
  EXPECT_EQ(Rows(kQueue)[0][qv::kColUnread], "1");
}

TEST_F(MailSessionTest, AMailTheModuleWillNotTakeEndsTheSessionInsteadOfLeavingItWaiting) {
  const std::string e1 = "To: friend1@example.jp\r\nSubject: first\r\n\r\nline one\r\n";
  QueueMail(3, e1);
  StartSession();
  SetResult("kwxAsyncSendEMail", 0);
  QueueReply("kwxConnectEMail", kSendOpen);
  QueueReply("kwxDisconnect", {{10, 24}, {0, 35}, {8, 30}, {8, 31}});
  TakeCalls();
  EXPECT_FALSE(launch_->RunMailSession(true, false, false, false, false));
  EXPECT_EQ(Args("kwxDisconnect"), std::vector<std::string>{"10"});
  ASSERT_EQ(Rows(kQueue).size(), 1u);
  EXPECT_EQ(Rows(kQueue)[0][qv::kColUnread], "1") << "still queued";
  EXPECT_EQ(NoticeTexts().back(), "送信できなかったメールがあります。\n  送信予約を確認してください。");
}

TEST_F(MailSessionTest, ADirectMailTheModuleDoesNotConfirmStaysQueuedAndTheNextOneStillGoes) {
  const std::string d1 = "To: 09011112222\r\n\r\nfirst\r\n";
  const std::string d2 = "To: 09033334444\r\n\r\nsecond\r\n";
  const std::string d3 = "To: 09055556666\r\n\r\nthird\r\n";
  QueueMail(1, d1);
  QueueMail(1, d2);
  QueueMail(1, d3);
  StartSession();
  QueueReply("kwxConnectSMail", {{0, 16}, {1, 9}, {0, 11}, {9, 1130}, {8, 10}, {8, 11}});
  QueueReply("kwxConnectSMail", DirectSent(d2.size()));
  // The third is refused outright (another session runs, say).
  TakeCalls();
  EveryRound([this] {
    if (Args("kwxConnectSMail").size() == 2 && !flipped_) {
      flipped_ = true;
      SetResult("kwxConnectSMail", 0);
    }
  });
  EXPECT_FALSE(launch_->RunMailSession(true, false, false, true, false));
  EXPECT_EQ(Args("kwxConnectSMail").size(), 3u);
  EXPECT_TRUE(Args("kwxConnectEMail").empty()) << "direct mail only";
  EXPECT_EQ(StoreBytes(kSent), d2);
  EXPECT_EQ(Column(kQueue, qv::kColUnread), (std::vector<std::string>{"1", "1"}));
  EXPECT_EQ(StoreBytes(kQueue), d1 + d3);
  EXPECT_EQ(connecting_->lblTel->text().toStdString(), "") << "emptied after each mail";
}

TEST_F(MailSessionTest, TheThirtySecondDialogGoesOnOrDisconnects) {
  struct Case {
    const char* what;
    std::function<void(QWidget*)> answer;
    std::string call;
    bool done;
  } cases[] = {
      {"継続", [](QWidget* w) { QTest::mouseClick(static_cast<qv::TfrmWait30*>(w)->btnResume, Qt::LeftButton); },
       "kwxResumeTxRx", true},
      {"中断", [](QWidget* w) { QTest::mouseClick(static_cast<qv::TfrmWait30*>(w)->btnAbort, Qt::LeftButton); },
       "kwxDisconnect 10", false},
      {"left alone", [](QWidget*) {}, "kwxDisconnect 1130", false},
  };
  StartSession();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::function<void(QWidget*)> answer = c.answer;
    OnDialog([answer](QWidget* w, int) { answer(w); });
    QueueReply("kwxConnectEMail", kReceiveOpen);
    QueueReply("kwxAsyncGetEMailList", {{0, 44}, {7, 70002}});
    QueueReply("kwxResumeTxRx", kListed, {ListPage({}, "end")});
    QueueReply("kwxExitEMail", kReceiveEnd);
    TakeCalls();
    const int before = DialogsAnswered();
    const bool done = launch_->RunMailSession(true, true, false, false, true);
    EXPECT_EQ(DialogsAnswered(), before + 1);
    EXPECT_EQ(done, c.done);
    std::vector<std::string> calls;
    for (const auto& line : CallsOf("serial kwx"))
      if (line.find("Resume") != std::string::npos || line.find("Disconnect") != std::string::npos)
        calls.push_back(line.substr(7));
    EXPECT_EQ(calls, std::vector<std::string>{c.call});
  }
}

TEST_F(MailSessionTest, TheParameterBlockComesFromTheSettings) {
  struct Case {
    std::map<std::string, std::string> ini;
    const char* centre;
    const char* signUp;
    int32_t bunkei, baud, reject, withNumber, autoReceive;
    const char* port;
  } cases[] = {
      {{}, "0570001234##3", "0570009999##3", 0, 115200, -1, -1, 0, "\\\\.\\COM5"},
      {{{"PhoneNo|EMailPhoneNo", "0570111##9"},
        {"PhoneNo|OnlineSignUpPhoneNo", "05702223333"},
        {"Bunkei|Flag", "1"},
        {"Port|Baudrate", "9600"},
        {"Port|SerialPort", "COM12"},
        {"Mail|RingReject", "0"},
        {"Mail|DialWithNum", "0"},
        {"Mail|AutoReceive", "1"}},
       "0570111##9", "05702223333##3", -1, 9600, 0, 0, -1, "\\\\.\\COM12"},
      // The port's number, whatever zeros the setting puts before it.
      {{{"Port|SerialPort", "\\\\.\\com0000000007"}},
       "0570111##9", "05702223333##3", -1, 9600, 0, 0, -1, "\\\\.\\COM7"},
  };
  for (const Case& c : cases) {
    WriteSessionIni(c.ini);
    StartSession();
    EXPECT_TRUE(launch_->RunMailSession(true, false, false, false, false));
    const KwxInitialParam p = LastParam();
    EXPECT_STREQ(p.EMailPhoneNo, c.centre);
    EXPECT_STREQ(p.OnlineSignUpPhoneNo, c.signUp);
    EXPECT_EQ(p.Reserved, 0);
    EXPECT_EQ(p.Bunkei, c.bunkei);
    EXPECT_EQ(p.NotifyWindow, launch_->Handle());
    EXPECT_STREQ(p.SerialPort, c.port);
    EXPECT_EQ(p.Baudrate, c.baud);
    EXPECT_EQ(p.RingReject, c.reject);
    EXPECT_EQ(p.DialWithNum, c.withNumber);
    EXPECT_EQ(p.AutoReceive, c.autoReceive);
    Stop();
  }
}

}  // namespace
