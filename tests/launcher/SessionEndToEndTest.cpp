// End to end: the launcher window with the real Portvine.so in front of the
// simulated handset and mail centre; the session dialog's dialogs are
// answered from the test as a user would.
#include "SessionFixture.h"
#include "platform/Paths.h"
#include "controls/BRVPanelEX.h"
#include "controls/MultiButton.h"
#include "core/data/CSVData.h"
#include "core/ui/QvWait30FRM.h"
#include "launcher/QvSelectFRM.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QStandardItemModel>
#include <QTreeView>
#include <QtTest/QTest>
#include <algorithm>

using namespace qvtest;
using handsetsim::Action;
using handsetsim::SimConfig;
using handsetsim::SimMail;
using handsetsim::Step;

namespace {

const std::string kQueue = J("送信予約"), kSent = J("送信簿"), kInbox = J("受信簿");

SimConfig Centre(int count, size_t size = 400) { return handsetsim::MakeMailbox(count, size); }

std::string EMail(int n, size_t size = 0) {
  std::string text = "To: friend" + std::to_string(n) + "@example.jp\r\nSubject: " + J("送信 ") + std::to_string(n) +
                     "\r\n\r\n";
  while (text.size() + 8 < size) text += J("本文です\r\n");
  return text + "bye\r\n";
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class EndToEndTest : public SessionTest {
 protected:
  void StartWithModule(SimConfig config, int clockRate = 20) {
    UseRealModule(std::move(config));
    StartSession();
    auto rate = reinterpret_cast<void (*)(int32_t)>(ModuleSymbol("Portvine.so", "PortvineTestSetClockRate"));
    ASSERT_NE(rate, nullptr);
    rate(clockRate);
  }
  bool ModuleIdle() { return !launch_->SerialGetState(); }
  std::string Bodies(std::initializer_list<int> ids) {
    std::string all;
    for (const auto& m : Centre(4).mails)
      for (int id : ids)
        if (m.id == "ID" + std::to_string(id)) all += m.body;
    return all;
  }
  static std::vector<std::string> Column(const std::vector<qv::TCSVRow>& rows, int col) {
    std::vector<std::string> out;
    for (const auto& row : rows) out.push_back(row[size_t(col)]);
    return out;
  }
};

TEST_F(EndToEndTest, SendAndReceiveSendsTheQueueAndBringsInEveryMailOfATwoPageList) {
  SimConfig centre = Centre(4, 5000);
  centre.listPageBytes = 150;  // two mails a page
  const std::vector<std::string> mails = {EMail(1), EMail(2, 3000), EMail(3, 7000)};
  const std::string direct1 = J("To: 09011112222\r\nSubject: 直送\r\n\r\n今から帰ります\r\n");
  // A withheld-number prefix and a dial suffix: neither goes to the peer.
  const std::string direct2 = J("To: 1840803334444##1\r\n\r\n了解\r\n");
  const std::string direct2Sent = J("To: 0803334444\r\n\r\n了解\r\n");
  QueueMail(3, mails[0]);
  QueueMail(1, direct1);
  QueueMail(3, mails[1]);
  QueueMail(1, direct2);
  QueueMail(3, mails[2]);
  StartWithModule(centre);
  bool grabbed = false;
  EveryRound([&] {
    if (grabbed || !connecting_->isVisible() || connecting_->lblSize->text().isEmpty() ||
        connecting_->pnlConnect->GetCaption() != QStringLiteral("メールセンターから受信しています。"))
      return;
    grabbed = connecting_->grab().save(QString::fromStdString(ArtifactPath("launcher-session-transfer.png").string()));
  });

  EXPECT_EQ(PluginCallParam("TestMail.qpl", 1, 4), 1);
  EXPECT_TRUE(grabbed) << "a picture of the dialog mid-transfer";
  EXPECT_TRUE(ModuleIdle());

  const handsetsim::SimRecord r = Sim().Record();
  EXPECT_EQ(r.accepted, (std::vector<std::string>{direct1, direct2Sent, mails[0], mails[1], mails[2]}))
      << "the direct mails first, one call each, then the e-mails as queued";
  EXPECT_EQ(r.dialled, (std::vector<std::string>{"09011112222", "0803334444", "0570001234##3"}))
      << "the peers' numbers, then the dial string of the centre's";
  EXPECT_TRUE(Has(r.centreLines, "GETLIST[1]"));
  EXPECT_TRUE(Has(r.centreLines, "GETLIST[3]")) << "the second page starts after the last mail of the first";
  for (int i = 1; i <= 4; ++i) EXPECT_TRUE(Has(r.centreLines, "GET[ID" + std::to_string(i) + "]")) << i;
  EXPECT_TRUE(r.purged.empty());
  EXPECT_EQ(r.closeCodes, (std::vector<std::string>{"0000", "0000", "0000"}));

  EXPECT_EQ(StoreBytes(kSent), direct1 + direct2Sent + mails[0] + mails[1] + mails[2]);
  const auto sent = Rows(kSent);
  ASSERT_EQ(sent.size(), 5u);
  EXPECT_EQ(Column(sent, qv::kColKind), (std::vector<std::string>{"1", "1", "3", "3", "3"}));
  EXPECT_EQ(Column(sent, qv::kColUnread), (std::vector<std::string>{"0", "0", "0", "0", "0"}));
  EXPECT_EQ(Column(sent, qv::kColTo)[3], "friend2@example.jp");
  EXPECT_EQ(sounds_, (std::vector<std::string>{"pipo.wav", "pipo.wav", "pipo.wav"}));
  EXPECT_EQ(ReadFile(qv::PathIn(MailDir(), kQueue + ".qvm")), "") << "every queued mail left the queue";
  EXPECT_EQ(StoreBytes(kQueue), "");
  std::string centreBodies;
  for (const auto& m : centre.mails) centreBodies += m.body;
  EXPECT_EQ(StoreBytes(kInbox), centreBodies);
  const auto inbox = Rows(kInbox);
  ASSERT_EQ(inbox.size(), 4u);
  EXPECT_EQ(Column(inbox, qv::kColFrom), (std::vector<std::string>{"from1@example.jp", "from2@example.jp",
                                                                  "from3@example.jp", "from4@example.jp"}));
  EXPECT_EQ(Column(inbox, qv::kColDate)[3], "2024/03/04 10:00:00");
  EXPECT_EQ(Sim().Mailbox().size(), 4u) << "left at the centre without AutoDelete";
  EXPECT_EQ(NoticeTexts().back(), "送信完了");
}

TEST_F(EndToEndTest, SelectiveReceiveFetchesTheChosenMailsAndDeletesOneAtTheCentre) {
  StartWithModule(Centre(4));
  std::vector<int> rowsShown;
  OnDialog([&](QWidget* w, int answered) {
    auto* select = qobject_cast<qv::TfrmSelect*>(w);
    ASSERT_NE(select, nullptr);
    rowsShown.push_back(select->items->rowCount());
    QItemSelectionModel* selection = select->lsvMailList->selectionModel();
    auto pick = [&](int row) {
      selection->select(select->lsvMailList->model()->index(row, 0),
                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };
    if (answered == 0) {
      pick(1);
      pick(3);
      select->grab().save(QString::fromStdString(ArtifactPath("launcher-select-receive.png").string()));
      QTest::mouseClick(select->btnOK, Qt::LeftButton);
    } else if (answered == 1) {
      pick(0);
      QTest::mouseClick(select->btnDel, Qt::LeftButton);
    } else {
      QTest::mouseClick(select->btnCancel, Qt::LeftButton);
    }
  });

  EXPECT_EQ(PluginCallParam("TestMail.qpl", 1, 2), 1);
  EXPECT_EQ(rowsShown, (std::vector<int>{4, 4, 3})) << "offered again with the centre's list after each choice";
  EXPECT_EQ(StoreBytes(kInbox), Bodies({2, 4}));
  const handsetsim::SimRecord r = Sim().Record();
  EXPECT_EQ(r.purged, std::vector<std::string>{"ID1"});
  EXPECT_FALSE(Has(r.centreLines, "GET[ID1]")) << "deleted without being fetched";
  EXPECT_EQ(Sim().Mailbox().size(), 3u);
  EXPECT_EQ(CallsOf("TestMail SetStr"), std::vector<std::string>{"TestMail SetStr 1 " + kInbox + " 7"});
}

TEST_F(EndToEndTest, ReceivingFromAnEmptyCentreIsNothingDoneAndOnlyTheUserIsToldSo) {
  StartWithModule(SimConfig{});
  struct Case {
    const char* what;
    bool autoReceive;
    bool notice;
  } cases[] = {{"by hand", false, true}, {"automatic", true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CloseNoticeWindow();
    const size_t before = NoticeTexts().size();
    EXPECT_FALSE(launch_->RunMailSession(false, true, c.autoReceive, false, c.autoReceive));
    EXPECT_EQ(connecting_->result(), int(qv::SessionResult::NothingDone));
    const auto notices = NoticeTexts();
    EXPECT_EQ(notices.size() > before && notices.back() == "センターに新しいメールはありません。", c.notice);
    EXPECT_TRUE(ModuleIdle());
  }
  EXPECT_EQ(Sim().Record().closeCodes, (std::vector<std::string>{"0000", "0000"}));
}

TEST_F(EndToEndTest, AbortInTheMiddleOfASendKeepsWhatWasSentAndTheRestQueued) {
  SimConfig centre;
  centre.faults.push_back({Step::Mail, Action::Hold, 2});
  const std::vector<std::string> mails = {EMail(1), EMail(2), EMail(3)};
  for (const auto& m : mails) QueueMail(3, m);
  StartWithModule(centre);
  bool clicked = false;
  WhileRunning([&] {
    if (!clicked && Sim().Record().accepted.size() == 2) {
      clicked = true;
      QTest::mouseClick(connecting_->btnAbort, Qt::LeftButton);
    }
  });
  EXPECT_FALSE(launch_->RunMailSession(true, false, false, false, false));
  EXPECT_EQ(connecting_->result(), int(qv::SessionResult::Aborted));
  EXPECT_TRUE(ModuleIdle());
  EXPECT_EQ(StoreBytes(kSent), mails[0]) << "the mail the centre confirmed";
  const auto queue = Rows(kQueue);
  ASSERT_EQ(queue.size(), 3u) << "nothing compacted after an abort";
  EXPECT_EQ(Column(queue, qv::kColDeleted), (std::vector<std::string>{"1", "0", "0"}));
  EXPECT_EQ(Column(queue, qv::kColUnread), (std::vector<std::string>{"0", "1", "1"}));
  // The next session sends the rest.
  EXPECT_TRUE(launch_->RunMailSession(true, false, false, false, false));
  EXPECT_EQ(StoreBytes(kSent), mails[0] + mails[1] + mails[2]);
  EXPECT_EQ(StoreBytes(kQueue), "");
}

TEST_F(EndToEndTest, TheContinueDialogGoesOnWhenAnsweredAndDisconnectsWhenLeftAlone) {
  SimConfig centre = Centre(1);
  centre.faults.push_back({Step::Get, Action::Hold, 1});
  centre.faults.push_back({Step::Get, Action::Silent, 2});
  StartWithModule(centre, 60);
  std::vector<int> answers;
  OnDialog([&](QWidget* w, int answered) {
    auto* wait = qobject_cast<qv::TfrmWait30*>(w);
    ASSERT_NE(wait, nullptr);
    if (answered == 0) {
      Sim().ReleaseHeld();
      QTest::mouseClick(wait->btnResume, Qt::LeftButton);
    }
    // The second is left to count down.
  });

  EXPECT_TRUE(launch_->RunMailSession(false, true, false, false, true)) << "継続: the mail comes in";
  EXPECT_EQ(DialogsAnswered(), 1);
  EXPECT_EQ(StoreBytes(kInbox), Bodies({1}));

  EXPECT_FALSE(launch_->RunMailSession(false, true, false, false, true)) << "left alone: disconnected";
  EXPECT_EQ(DialogsAnswered(), 2);
  EXPECT_EQ(StoreBytes(kInbox), Bodies({1})) << "nothing more";
  EXPECT_TRUE(ModuleIdle());
  const auto codes = Sim().Record().closeCodes;
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(codes.back(), "1130") << "closed as not answered";
}

// Ring-wait with the real module: the handset reports incoming calls.
class RingWaitEndToEndTest : public EndToEndTest {
 protected:
  void StartWaiting() {
    QTest::mouseClick(launch_->btnRing, Qt::LeftButton);
    EXPECT_EQ(launch_->RingWait(), qv::RingWaitState::Starting);
    PumpUntil([this] { return launch_->RingWait() == qv::RingWaitState::Waiting; });
    ASSERT_EQ(launch_->RingWait(), qv::RingWaitState::Waiting);
    EXPECT_EQ(launch_->pnlRing->GetCaption().toStdString(), "待受中");
  }
  void Ring(handsetsim::IncomingCall call) {
    armings_ = Armings(Sim().Record());
    const int before = Sim().Record().rings;
    Sim().Ring(std::move(call));
    ASSERT_TRUE(Sim().WaitUntil([&](const auto& rec) { return rec.rings > before; }, std::chrono::seconds(10)));
  }
  size_t Inbox() { return Rows(kInbox).size(); }
  static size_t Armings(const handsetsim::SimRecord& r) {
    return size_t(std::count(r.atCommands.begin(), r.atCommands.end(), "#ER1"));
  }
  // After a direct mail the module arms the handset again; a ring before
  // that would be purged.
  void WaitRearmed() {
    ASSERT_TRUE(Sim().WaitUntil([&](const auto& rec) { return Armings(rec) > armings_; }, std::chrono::seconds(20)));
  }
  size_t armings_ = 0;
};

TEST_F(RingWaitEndToEndTest, IncomingDirectAndLightMailAreStoredWhileRingWaitGoesOn) {
  StartWithModule(SimConfig{});
  StartWaiting();

  handsetsim::IncomingCall direct;
  direct.callerId = "09012345678";
  direct.body = J("Subject: 今夜\r\n\r\n七時に駅で\r\n");
  Ring(direct);
  PumpUntil([&] { return Inbox() == 1 && !CallsOf("TestMail SetStr").empty(); });
  EXPECT_EQ(StoreBytes(kInbox), "From: 09012345678\r\n" + direct.body);
  EXPECT_EQ(Rows(kInbox)[0][qv::kColKind], "1");
  EXPECT_EQ(Rows(kInbox)[0][qv::kColFrom], "09012345678");
  PumpUntil([&] { return LastNotice() == "直送メール着信"; }, 3000);
  EXPECT_EQ(LastNotice(), "直送メール着信");
  EXPECT_EQ(Sim().Record().callerLines.front(), "READY[1 SMAIL]") << "the caller got its mail taken";
  WaitRearmed();

  // A light mail: the handset keeps its text, in three digits a byte.
  const std::string text = J("ブリーズです");
  std::string digits;
  for (unsigned char c : text) {
    char group[4];
    std::snprintf(group, sizeof group, "%03u", c);
    digits += group;
  }
  handsetsim::IncomingCall light;
  light.kind = handsetsim::CallKind::LightMail;
  light.callerId = "08011112222";
  light.text = digits;
  Ring(light);
  PumpUntil([&] { return Inbox() == 2; });
  ASSERT_EQ(Inbox(), 2u) << ErrorLogText() << "\n" << ::testing::PrintToString(Calls());
  const auto row = Rows(kInbox)[1];
  EXPECT_EQ(row[qv::kColKind], "9");
  EXPECT_EQ(row[qv::kColFrom], "08011112222");
  EXPECT_EQ(row[qv::kColSubject], J("ブリーズメール"));
  std::string hex;
  for (unsigned char c : text) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", c);
    hex += pair;
  }
  EXPECT_EQ(StoreBytes(kInbox).substr(StoreBytes(kInbox).size() - hex.size() - 2), hex + "\r\n");
  EXPECT_EQ(launch_->RingWait(), qv::RingWaitState::Waiting);

  // Stop: the module ends its session.
  QTest::mouseClick(launch_->btnRing, Qt::LeftButton);
  EXPECT_EQ(launch_->RingWait(), qv::RingWaitState::Stopped);
  EXPECT_TRUE(ModuleIdle());
}

// A call that comes while ring-wait prepares the handset spoils the
// preparation: ring-wait starts again once and waits, and later calls come in.
TEST_F(RingWaitEndToEndTest, ACallWhileRingWaitStartsLeavesItWaiting) {
  // Early and late in the modem's initialisation.
  for (const char* command : {"E0", "@R1:1"}) {
    SCOPED_TRACE(command);
    std::filesystem::remove(dir_ / "Error.log");
    SimConfig config;
    handsetsim::IncomingCall early;
    early.callerId = "09011112222";
    config.commandRings.push_back({command, early});
    StartWithModule(config);
    QTest::mouseClick(launch_->btnRing, Qt::LeftButton);
    PumpUntil([this] { return launch_->RingWait() == qv::RingWaitState::Waiting; }, 30000);
    ASSERT_EQ(launch_->RingWait(), qv::RingWaitState::Waiting) << ErrorLogText();
    EXPECT_EQ(Sim().Record().rings, 1);
    EXPECT_EQ(ErrorLogText(), "") << "nothing to report";

    handsetsim::IncomingCall direct;
    direct.callerId = "09012345678";
    direct.body = J("今夜の件\r\n");
    const size_t before = Inbox();
    Ring(direct);
    PumpUntil([&] { return Inbox() == before + 1; });
    EXPECT_EQ(Inbox(), before + 1);
    WaitRearmed();
    QTest::mouseClick(launch_->btnRing, Qt::LeftButton);
    EXPECT_EQ(launch_->RingWait(), qv::RingWaitState::Stopped);
    Stop();
    Sim().Stop();
  }
}

// A start that fails again is not tried a third time: ring-wait stops and
// says why.
TEST_F(RingWaitEndToEndTest, ARingWaitStartThatFailsTwiceStopsAndSaysWhy) {
  SimConfig config;
  config.commandRings.push_back({"E0", {}, 2});
  StartWithModule(config);
  QTest::mouseClick(launch_->btnRing, Qt::LeftButton);
  PumpUntil([this] { return launch_->RingWait() == qv::RingWaitState::Stopped; }, 30000);
  EXPECT_EQ(launch_->RingWait(), qv::RingWaitState::Stopped);
  EXPECT_EQ(Sim().Record().connections, 2);
  const auto lines = ErrorLogLines();
  ASSERT_EQ(lines.size(), 1u) << ErrorLogText();
  EXPECT_NE(lines[0].find("(D00013)"), std::string::npos);
}

TEST_F(RingWaitEndToEndTest, ACallerWhoseCloseLineNeverComesIsClosedAsNotAnsweredAndRingWaitGoesOn) {
  // The far end takes the OK and falls silent; the 30-second dialog is left
  // to count down, so the launcher disconnects with 1130.
  SimConfig handset;
  handset.faults.push_back({Step::Close, Action::Silent, 1, -1});
  // The usual clock: a faster one squeezes the handset's 3-second answers
  // below what a loaded machine keeps, and ring-wait fails to start.
  StartWithModule(handset);
  StartWaiting();
  OnDialog([](QWidget* w, int) { ASSERT_NE(qobject_cast<qv::TfrmWait30*>(w), nullptr); });
  handsetsim::IncomingCall direct;
  direct.callerId = "09012345678";
  direct.body = "Subject: late\r\n\r\nno close line\r\n";
  Ring(direct);
  PumpUntil([&] { return !ErrorLogLines().empty(); });
  EXPECT_EQ(DialogsAnswered(), 1);
  // Told as the caller's no-answer, not as a lost line.
  ASSERT_EQ(ErrorLogLines().size(), 1u) << ErrorLogText();
  ASSERT_TRUE(ErrorLogLines().back().ends_with(" : 09012345678 : " + J("センターからの応答がありません。")))
      << ErrorLogLines().back();
  PumpUntil([&] { return Sim().Record().callerLines.size() == 3; }, 5000);
  EXPECT_EQ(Sim().Record().callerLines,
            (std::vector<std::string>{"READY[1 SMAIL]", "OK", "SOCKET_25_DISCONNECTION[1130]"}));
  EXPECT_EQ(StoreBytes(kInbox), "From: 09012345678\r\n" + direct.body) << "the mail came in whole";
  WaitRearmed();
  EXPECT_EQ(launch_->RingWait(), qv::RingWaitState::Waiting);
  QTest::mouseClick(launch_->btnRing, Qt::LeftButton);
  EXPECT_EQ(launch_->RingWait(), qv::RingWaitState::Stopped);
  EXPECT_TRUE(ModuleIdle());
}

TEST_F(RingWaitEndToEndTest, AnEMailNoticeFetchesTheNewMailAndOneFromAnotherNumberIsOnlyReported) {
  WriteSessionIni({{"Mail|AutoReceive", "1"}});
  StartWithModule(Centre(1));
  StartWaiting();

  handsetsim::IncomingCall stranger;
  stranger.kind = handsetsim::CallKind::EMailNotice;
  stranger.text = "0570009999:0570001234:3:5";
  Ring(stranger);
  PumpUntil([&] { return LastNotice().find("0570009999") != std::string::npos; });
  EXPECT_EQ(LastNotice(), "Eメール自動受信の電話番号をご確認ください。\n  0570009999");
  EXPECT_FALSE(launch_->tmrEmailAuto->isActive());
  EXPECT_EQ(Sim().Record().dialled.size(), 0u) << "no call for a stranger's notice";

  handsetsim::IncomingCall notice;
  notice.kind = handsetsim::CallKind::EMailNotice;
  notice.text = "0570005555:0570001234:3:5";
  Ring(notice);
  PumpUntil([&] { return Inbox() == 1 && launch_->RingWait() == qv::RingWaitState::Waiting &&
                         LastNotice() == "Eメール着信"; },
            20000);
  EXPECT_EQ(StoreBytes(kInbox), Bodies({1}));
  const auto r = Sim().Record();
  EXPECT_EQ(r.dialled, std::vector<std::string>{"0570001234##3"}) << "the number the notice gave";
  EXPECT_EQ(r.purged, std::vector<std::string>{"ID1"}) << "an automatic receive deletes at the centre";
  EXPECT_EQ(launch_->RingWait(), qv::RingWaitState::Waiting) << "ring-wait is back after the receive";
  EXPECT_EQ(LastNotice(), "Eメール着信");

  // Leaving while waiting stops ring-wait first.
  launch_->close();
  EXPECT_EQ(launch_->RingWait(), qv::RingWaitState::Stopped);
  EXPECT_TRUE(ModuleIdle());
}

TEST_F(RingWaitEndToEndTest, ALauncherThatGoesAwayWhileWaitingEndsRingWaitBeforeTheModuleIsUnloaded) {
  StartWithModule(SimConfig{});
  StartWaiting();
  Stop();  // the window is destroyed without being closed
  EXPECT_TRUE(Sim().WaitUntil([](const auto& rec) { return !rec.hostConnected; }, std::chrono::seconds(10)))
      << "the port was let go";
  EXPECT_EQ(CallsOf("TestMail PluginFinalize").size(), 1u);
}

}  // namespace
