// Ring-wait, the module's events and the incoming calls, against the
// scriptable module: the events arrive as the module posts them.
#include "SessionFixture.h"
#include "platform/Paths.h"
#include "controls/MultiButton.h"
#include "core/data/HandsetExchange.h"
#include "core/data/StoredMail.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QtTest/QTest>

using namespace qvtest;
using qv::RingWaitState;

namespace {

const std::string kInbox = J("受信簿");

// Calls back for every event of one type that reaches the object.
class EventSpy : public QObject {
 public:
  EventSpy(QObject* target, QEvent::Type type, std::function<void()> seen)
      : target_(target), type_(type), seen_(std::move(seen)) {
    target_->installEventFilter(this);
  }
  ~EventSpy() override { target_->removeEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == target_ && event->type() == type_) seen_();
    return false;
  }

 private:
  QObject* target_;
  QEvent::Type type_;
  std::function<void()> seen_;
};

class RingWaitTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    StartSession();
  }
  // Every start of ring-wait is followed by the module's "armed".
  void ArmOnStart(int times = 4) {
    for (int i = 0; i < times; ++i) QueueReply("kwxWaitForRing", {{0, 26}, {1, 9}});
  }
  void StartWaiting() {
    ArmOnStart();
    launch_->ToggleRingWait();
    PumpUntil([this] { return launch_->RingWait() == RingWaitState::Waiting; });
    ASSERT_EQ(launch_->RingWait(), RingWaitState::Waiting);
  }
  int Count(const std::string& prefix) const { return static_cast<int>(CallsOf("serial " + prefix).size()); }
};

TEST_F(RingWaitTest, StartingWaitsForTheModuleToArmAndStoppingDisconnects) {
  TakeCalls();
  QueueReply("kwxWaitForRing", {});  // the module has not armed yet
  launch_->ToggleRingWait();
  EXPECT_EQ(launch_->RingWait(), RingWaitState::Starting);
  EXPECT_EQ(launch_->pnlRing->GetColor(), clYellow);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"serial kwxInitial", "serial kwxWaitForRing"}));
  EXPECT_EQ(LastParam().EMailPhoneNo, std::string("0570001234##3")) << "the settings' centre, not a notice's";
  Post({{0, 26}, {1, 9}});
  ASSERT_TRUE(DrainPosted());
  EXPECT_EQ(launch_->RingWait(), RingWaitState::Waiting);
  EXPECT_EQ(launch_->pnlRing->GetCaption().toStdString(), "待受中");
  EXPECT_EQ(launch_->btnRing->GetCaption().toStdString(), "待受停止");
  Post({{1, 9}});
  ASSERT_TRUE(DrainPosted());
  EXPECT_EQ(launch_->RingWait(), RingWaitState::Waiting) << "armed again changes nothing";

  TakeCalls();
  QTest::mouseClick(launch_->btnRing, Qt::LeftButton);
  EXPECT_EQ(launch_->RingWait(), RingWaitState::Stopped);
  EXPECT_EQ(Calls(), std::vector<std::string>{"serial kwxDisconnect 99999"});
  EXPECT_EQ(launch_->pnlRing->GetCaption().toStdString(), "待受停止");
  Post({{1, 9}});
  ASSERT_TRUE(DrainPosted());
  EXPECT_EQ(launch_->RingWait(), RingWaitState::Stopped) << "a late armed event does not restart it";

  SetResult("kwxWaitForRing", 0);
  launch_->ToggleRingWait();
  EXPECT_EQ(launch_->RingWait(), RingWaitState::Stopped) << "a refused start goes straight back";
}

TEST_F(RingWaitTest, WithoutTheMailPlugInThereIsNoRingWait) {
  Stop();
  WriteSessionIni({{"Plugins|1", "TestAddress.qpl"}});
  Start();
  TakeCalls();
  launch_->ToggleRingWait();
  EXPECT_EQ(launch_->RingWait(), RingWaitState::Stopped);
  EXPECT_EQ(Count("kwxWaitForRing"), 0);
}

TEST_F(RingWaitTest, TheIndicatorStopsWhenTheModuleEndsRingWaitOrTheHandsetGoes) {
  struct Case {
    const char* what;
    std::vector<Ev> events;
    int disconnects;
  } cases[] = {
      {"the session ended", {{0, 25}, {8, 20}, {8, 21}}, 0},
      {"the handset was unplugged", {{10, 30}}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StartWaiting();
    TakeCalls();
    Post(c.events);
    ASSERT_TRUE(DrainPosted());
    EXPECT_EQ(launch_->RingWait(), RingWaitState::Stopped);
    EXPECT_EQ(launch_->pnlRing->GetColor(), clRed);
    EXPECT_EQ(Count("kwxDisconnect 99999"), c.disconnects);
  }
  EXPECT_EQ(NoticeTexts().back(), "携帯電話が取り外されました。\n  ケーブルの接続を確認してください。(D00030)");
}

TEST_F(RingWaitTest, ADeviceErrorWhileStartingStopsIt) {
  TakeCalls();
  QueueReply("kwxWaitForRing", {});
  launch_->ToggleRingWait();
  ASSERT_EQ(launch_->RingWait(), RingWaitState::Starting);
  Post({{0, 26}, {10, 3}, {8, 20}, {8, 21}});
  ASSERT_TRUE(DrainPosted());
  EXPECT_EQ(launch_->RingWait(), RingWaitState::Stopped);
  EXPECT_EQ(Count("kwxDisconnect 99999"), 1);
  EXPECT_NE(ErrorLogText().find("(D00003)"), std::string::npos);
}

TEST_F(RingWaitTest, AnIncomingDirectMailIsReceivedAndStoredWithTheCallersNumber) {
  // A mail with header lines of its own keeps them after From; text alone
  // from a handset stays the body, after a blank line.
  struct Case {
    std::string caller;
    std::string from;
    std::string body;
    std::string stored;
    std::string subject, text;
  } cases[] = {{"09012345678", "09012345678", "Subject: hi\r\n\r\nhello\r\n", "Subject: hi\r\n\r\nhello\r\n", "hi",
                "hello"},
               {"", J("非通知"), "Subject: hi\r\n\r\nwho?\r\n", "Subject: hi\r\n\r\nwho?\r\n", "hi", "who?"},
               {"07011112222", "07011112222", J("ヘッダのない本文です\r\n二行目: まだ本文\r\n"),
                J("\r\nヘッダのない本文です\r\n二行目: まだ本文\r\n"), "", J("ヘッダのない本文です\r\n二行目: まだ本文")},
               {"08033334444", "08033334444", "Note: not a header\r\nsee you\r\n",
                "\r\nNote: not a header\r\nsee you\r\n", "", "Note: not a header\r\nsee you"}};
  StartWaiting();
  // What the dialog's number line says the moment it shows.
  std::string shownFirst;
  bool shown = false;
  EventSpy spy(connecting_.get(), QEvent::Show, [&] {
    QTimer::singleShot(0, [&] {
      shown = true;
      shownFirst = connecting_->lblTel->text().toStdString();
    });
  });
  std::string expected;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caller);
    shown = false;
    SetParam(6, c.caller);
    const std::string body = c.body;
    QueueReply("kwxReadySMail", {{0, 24}, {1, 5}, {1, 2}, {1, 12}, {0, 25}}, {body});
    TakeCalls();
    sounds_.clear();
    CloseNoticeWindow();
    Post({{2, 0}});
    PumpUntil([&] { return !CallsOf("TestMail SetStr").empty(); });
    ASSERT_TRUE(shown);
    EXPECT_EQ(J(shownFirst), c.from) << "the caller from the start";
    expected += "From: " + c.from + "\r\n" + c.stored;
    EXPECT_EQ(StoreBytes(kInbox), expected);
    qv::StoredMailFields mail;
    qv::ParseStoredMail("From: " + c.from + "\r\n" + c.stored, mail);
    EXPECT_EQ(mail.from, c.from);
    EXPECT_EQ(mail.subject, c.subject);
    EXPECT_EQ(mail.body, c.text);
    ASSERT_FALSE(Rows(kInbox).empty());
    const auto row = Rows(kInbox).back();
    EXPECT_EQ(row[qv::kColKind], "1");
    EXPECT_EQ(row[qv::kColUnread], "1");
    EXPECT_EQ(row[qv::kColDirection], "0");
    EXPECT_EQ(row[qv::kColFrom], c.caller) << "the number alone";
    EXPECT_EQ(Count("kwxReadySMail"), 1);
    EXPECT_EQ(Count("kwxDisconnect"), 0) << "ring-wait goes on";
    EXPECT_EQ(launch_->RingWait(), RingWaitState::Waiting);
    EXPECT_EQ(connecting_->result(), int(qv::SessionResult::Done));
    EXPECT_EQ(NoticeTexts().back(), "直送メール着信");
    EXPECT_EQ(sounds_, std::vector<std::string>{"ring.wav"});
    EXPECT_EQ(CallsOf("TestMail SetStr"), std::vector<std::string>{"TestMail SetStr 1 " + kInbox + " 7"});
  }
}

TEST_F(RingWaitTest, ADirectMailThatCannotBeStoredIsReportedAndStoredAfterTheSession) {
  StartWaiting();
  std::filesystem::create_directories(qv::PathIn(MailDir(), kInbox + ".qvs"));
  SetParam(6, "09012345678");
  QueueReply("kwxReadySMail", {{0, 24}, {1, 5}, {1, 2}, {1, 12}, {0, 25}}, {"kept\r\n"});
  TakeCalls();
  Post({{2, 0}});
  PumpUntil([&] { return !CallsOf("TestMail SetStr").empty(); });
  EXPECT_EQ(connecting_->KeptMailCount(), 1u);
  EXPECT_EQ(connecting_->result(), int(qv::SessionResult::NothingDone));
  ASSERT_FALSE(ErrorLogLines().empty());
  EXPECT_NE(ErrorLogLines().back().find(J("保存できませんでした")), std::string::npos);
  EXPECT_NE(NoticeTexts().back(), "直送メール着信");

  std::filesystem::remove_all(qv::PathIn(MailDir(), kInbox + ".qvs"));
  ArmOnStart();
  EXPECT_TRUE(launch_->RunMailSession(true, false, false, false, false));  // any session ends with a retry
  EXPECT_EQ(connecting_->KeptMailCount(), 0u);
  EXPECT_EQ(StoreBytes(kInbox), "From: 09012345678\r\n\r\nkept\r\n");
}

TEST_F(RingWaitTest, TheEndOfTheCallEndsTheReceptionWhenTheEndOfReceptionNeverComes) {
  StartWaiting();
  SetParam(6, "09012345678");
  // The carrier drops mid-body: the module ends ring-wait without (1, 12).
  QueueReply("kwxReadySMail", {{0, 24}, {1, 5}, {9, 1280}, {10, 30}, {8, 20}, {8, 21}});
  Post({{2, 0}});
  PumpUntil([&] { return !CallsOf("TestMail SetStr").empty(); }, 5000);
  EXPECT_FALSE(connecting_->isVisible()) << "the reception ended";
  EXPECT_EQ(connecting_->result(), int(qv::SessionResult::Aborted));
  ASSERT_TRUE(DrainPosted());
  EXPECT_EQ(launch_->RingWait(), RingWaitState::Stopped);
}

TEST_F(RingWaitTest, ALightMailIsStoredAsKind9InHexDigits) {
  StartWaiting();
  // All 750 bytes the module keeps: 250 bytes in three digits each.
  std::string digits, hex;
  for (int i = 0; i < 250; ++i) {
    char group[8];
    std::snprintf(group, sizeof group, "%03d", (i * 7) % 256);
    digits += group;
  }
  hex = qv::DecimalTextToHex(digits);
  ASSERT_EQ(hex.size(), 500u);
  SetParam(2, digits);
  SetParam(6, " 08011112222 ");
  sounds_.clear();
  Post({{2, 1}});
  PumpUntil([&] { return !CallsOf("TestMail SetStr").empty(); });
  EXPECT_EQ(StoreBytes(kInbox), hex + "\r\n");
  const auto row = Rows(kInbox).back();
  EXPECT_EQ(row[qv::kColKind], "9");
  EXPECT_EQ(row[qv::kColUnread], "1");
  EXPECT_EQ(row[qv::kColFrom], "08011112222");
  EXPECT_EQ(row[qv::kColExtra], "08011112222");
  EXPECT_EQ(row[qv::kColSubject], J("ブリーズメール"));
  EXPECT_EQ(row[qv::kColDate].size(), 19u);
  EXPECT_EQ(launch_->PeerNumber(), " 08011112222 ");
  EXPECT_EQ(NoticeTexts().back(), "ブリーズメール着信");
  EXPECT_EQ(sounds_, std::vector<std::string>{"ring.wav"});
}

TEST_F(RingWaitTest, AnEMailNoticeReceivesFromTheNumberItGivesAndRingWaitGoesOn) {
  StartWaiting();
  SetParam(3, "0570005555:0570007777:3:5\r\n");
  QueueReply("kwxConnectEMail", {{0, 46}, {1, 9}, {0, 41}, {0, 44}, {1, 7}});
  QueueReply("kwxAsyncGetEMailList", {{0, 44}, {1, 5}, {1, 2}, {1, 7}},
             {ListPage({ListLine(1, "ID9", "a@example.jp", "new", "2024/05/01 09:00:00", 40)}, "end")});
  QueueReply("kwxAsyncGetEMail", {{0, 44}, {1, 5}, {1, 2}, {1, 7}}, {"From: a@example.jp\r\n\r\nnew\r\n"});
  QueueReply("kwxPurgeEMail", {{0, 47}, {1, 7}});
  QueueReply("kwxExitEMail", {{0, 45}, {8, 40}, {8, 41}});
  TakeCalls();
  sounds_.clear();
  Post({{2, 2}});
  PumpUntil([&] { return launch_->RingWait() == RingWaitState::Waiting && Count("kwxWaitForRing") == 1; });
  EXPECT_EQ(launch_->AutoReceiveNumber(), "0570007777");
  EXPECT_EQ(launch_->AutoReceiveCount(), 3);
  EXPECT_EQ(launch_->AutoReceiveInterval(), 5);
  EXPECT_EQ(Count("kwxDisconnect 99999"), 1) << "ring-wait pauses for the session";
  EXPECT_EQ(CallsOf("serial kwxConnectEMail"), std::vector<std::string>{"serial kwxConnectEMail 1 0"});
  EXPECT_EQ(CallsOf("serial kwxPurgeEMail"), std::vector<std::string>{"serial kwxPurgeEMail ID9"})
      << "an automatic receive deletes at the centre";
  EXPECT_EQ(StoreBytes(kInbox), "From: a@example.jp\r\n\r\nnew\r\n");
  EXPECT_EQ(NoticeTexts().back(), "Eメール着信");
  EXPECT_EQ(sounds_, std::vector<std::string>{"ring.wav"});
  EXPECT_FALSE(launch_->tmrEmailAuto->isActive()) << "done: no retry";
}

TEST_F(RingWaitTest, ANoticeFromAnotherNumberOrWithoutANumberToDialSchedulesNothing) {
  struct Case {
    const char* notice;
    bool warned;
  } cases[] = {{"0570009999:0570007777:3:5", true}, {"0570005555::3:5", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.notice);
    SetParam(3, c.notice);
    CloseNoticeWindow();
    EXPECT_FALSE(launch_->HandleIncoming(2));
    EXPECT_FALSE(launch_->tmrEmailAuto->isActive());
    if (c.warned) {
      EXPECT_EQ(launch_->AutoReceiveCount(), 0);
      EXPECT_EQ(launch_->AutoReceiveInterval(), 1);
      EXPECT_EQ(NoticeTexts().back(), "Eメール自動受信の電話番号をご確認ください。\n  0570009999");
      EXPECT_NE(ErrorLogLines().back().find("0570009999"), std::string::npos);
    }
  }
}

TEST_F(RingWaitTest, AFailedAutomaticReceiveRetriesAtTheNoticesIntervalWithinBounds) {
  struct Case {
    const char* notice;
    int count, interval;
    bool retries;
    const char* notice2;
  } cases[] = {
      {"0570005555:0570007777:3:5", 2, 5, true, nullptr},
      {"0570005555:0570007777:2:99999999", 1, 35791, true, nullptr},  // minutes a timer can hold
      {"0570005555:0570007777:2:0", 1, 0, false, nullptr},              // no busy timer
      {"0570005555:0570007777:-4:5", 0, 5, false, "センターにEメールが有ります"},
      {"0570005555:0570007777:x:5", -1, 5, true, nullptr},  // no limit
  };
  SetResult("kwxConnectEMail", 0);  // every automatic receive fails
  for (const Case& c : cases) {
    SCOPED_TRACE(c.notice);
    SetParam(3, c.notice);
    CloseNoticeWindow();
    ASSERT_TRUE(launch_->HandleIncoming(2));
    PumpUntil([&] { return Count("kwxConnectEMail") > 0; });
    ASSERT_TRUE(DrainPosted());
    TakeCalls();
    EXPECT_EQ(launch_->AutoReceiveCount(), c.count);
    EXPECT_EQ(launch_->AutoReceiveInterval(), c.interval);
    EXPECT_EQ(launch_->tmrEmailAuto->isActive(), c.retries);
    if (c.retries) {
      EXPECT_EQ(launch_->tmrEmailAuto->interval(), c.interval * 60000);
    }
    if (c.notice2) {
      EXPECT_EQ(NoticeTexts().back(), c.notice2);
    }
    launch_->tmrEmailAuto->stop();
  }
}

TEST_F(RingWaitTest, AnAnswerTimeOutKeepsAPendingAutomaticReceiveAndAnyOtherErrorCancelsIt) {
  SetResult("kwxConnectEMail", 0);
  SetParam(3, "0570005555:0570007777:3:5");
  ASSERT_TRUE(launch_->HandleIncoming(2));
  PumpUntil([&] { return Count("kwxConnectEMail") > 0; });
  ASSERT_TRUE(DrainPosted());
  ASSERT_TRUE(launch_->tmrEmailAuto->isActive());
  Post({{9, 1130}});
  ASSERT_TRUE(DrainPosted());
  EXPECT_TRUE(launch_->tmrEmailAuto->isActive());
  EXPECT_EQ(launch_->AutoReceiveCount(), 2);
  EXPECT_EQ(NoticeTexts().back(), "センターからの応答がありません。");
  Post({{9, 1234}});
  ASSERT_TRUE(DrainPosted());
  EXPECT_FALSE(launch_->tmrEmailAuto->isActive());
  EXPECT_EQ(launch_->AutoReceiveCount(), 0);
  EXPECT_EQ(NoticeTexts().back(), "通信が中断されました。(01234)");
}

TEST_F(RingWaitTest, CallsThatAreNotMailAndRefusedMailAreOnlyAnnounced) {
  struct Case {
    Ev event;
    std::vector<std::string> notices;
    std::vector<std::string> sounds;
  } cases[] = {
      {{2, 3}, {"データ・音声着信", "データ通信または音声の着信がありました。"}, {"ring.wav"}},
      {{1, 10}, {"直送メールお断り中"}, {}},
  };
  StartWaiting();
  for (const Case& c : cases) {
    CloseNoticeWindow();
    const size_t before = NoticeTexts().size();
    sounds_.clear();
    Post({c.event});
    ASSERT_TRUE(DrainPosted());
    const auto notices = NoticeTexts();
    EXPECT_EQ(std::vector<std::string>(notices.begin() + long(before), notices.end()), c.notices);
    EXPECT_EQ(sounds_, c.sounds);
    EXPECT_EQ(launch_->RingWait(), RingWaitState::Waiting);
  }
  EXPECT_TRUE(boxes_.empty()) << "no message box for either";
}

TEST_F(RingWaitTest, ASessionPausesRingWaitAndExitStopsItWithoutAPause) {
  StartWaiting();
  TakeCalls();
  EXPECT_TRUE(launch_->RunMailSession(true, false, false, false, false));
  EXPECT_EQ(Calls(), (std::vector<std::string>{"serial kwxDisconnect 99999", "serial kwxInitial", "serial kwxInitial",
                                               "serial kwxWaitForRing"}));
  PumpUntil([this] { return launch_->RingWait() == RingWaitState::Waiting; });

  // A plug-in that vetoes the exit keeps ring-wait.
  WriteFile(dir_ / "veto-TestMail", "");
  TakeCalls();
  launch_->close();
  EXPECT_EQ(launch_->RingWait(), RingWaitState::Waiting);
  EXPECT_EQ(Count("kwxDisconnect"), 0);
  std::filesystem::remove(dir_ / "veto-TestMail");
  launch_->close();
  EXPECT_EQ(launch_->RingWait(), RingWaitState::Stopped);
  EXPECT_EQ(Count("kwxDisconnect 99999"), 1);
}

TEST_F(RingWaitTest, TheOwnNumberComesFromRingWaitOrFromTheHandsetDirectly) {
  SetParam(-1, "07099998888");
  launch_->ShowOwnNumber();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].second, J("電話番号は 07099998888です"));
  EXPECT_EQ(CallsOf("serial kwxGetTelNumber"), std::vector<std::string>{"serial kwxGetTelNumber \\\\.\\COM5 115200"});
  StartWaiting();
  SetParam(0, "07011112222");
  launch_->ShowOwnNumber();
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[1].second, J("電話番号は 07011112222です"));
  SetParam(0, "");
  launch_->ShowOwnNumber();
  ASSERT_EQ(boxes_.size(), 3u);
  EXPECT_EQ(boxes_[2].first, qv::BoxKind::Warning);
  EXPECT_EQ(boxes_[2].second, J("携帯電話の電話番号を読み取れませんでした。\r\n携帯電話の接続と電源を確認してください。"));
}

TEST_F(RingWaitTest, TheSignUpWindowRunsWithRingWaitPausedAndOtherPlugInsDoNot) {
  Stop();
  WriteSessionIni({{"Plugins|2", "TestSignUp.qpl"}});
  StartSession();
  StartWaiting();
  TakeCalls();
  launch_->OpenItem(J("ｵﾝﾗｲﾝｻｲﾝｱｯﾌﾟ"));
  EXPECT_EQ(Calls(), (std::vector<std::string>{"serial kwxDisconnect 99999", "TestSignUp ShowForm", "serial kwxInitial",
                                               "serial kwxWaitForRing"}));
  PumpUntil([this] { return launch_->RingWait() == RingWaitState::Waiting; });
  TakeCalls();
  launch_->OpenItem(J("メール"));
  EXPECT_EQ(Calls(), std::vector<std::string>{"TestMail ShowForm"});
  EXPECT_EQ(launch_->RingWait(), RingWaitState::Waiting);
}

}  // namespace
