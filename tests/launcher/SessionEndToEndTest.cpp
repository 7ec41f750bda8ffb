// End to end: the launcher window with the real Portvine.so in front of the
// simulated handset and mail centre; the session dialog's dialogs are
// answered from the test as a user would.
#include "SessionFixture.h"
#include "controls/BRVPanelEX.h"
#include "controls/MultiButton.h"
#include "core/CSVData.h"
#include "core/QvWait30FRM.h"
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

SimConfig Centre(int count, size_t size = 400) {
  SimConfig c;
  for (int i = 1; i <= count; ++i) {
    SimMail m{"ID" + std::to_string(i), "from" + std::to_string(i) + "@example.jp", "subject " + std::to_string(i),
              "2024/03/0" + std::to_string(i) + " 10:00:00", ""};
    m.body = handsetsim::MakeBody(m, size);
    c.mails.push_back(m);
  }
  return c;
}

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
  for (const auto& m : mails) QueueMail(3, m);
  StartWithModule(centre);
  bool grabbed = false;
  WhileRunning([&] {
    if (grabbed || !connecting_->isVisible() || connecting_->lblSize->text().isEmpty() ||
        connecting_->pnlConnect->GetCaption() != QStringLiteral("メールセンターから受信しています。"))
      return;
    grabbed = connecting_->grab().save(QString::fromStdString(ArtifactPath("launcher-session-transfer.png").string()));
  });

  EXPECT_EQ(PluginCallParam("TestMail.qpl", 1, 4), 1);
  EXPECT_TRUE(grabbed) << "a picture of the dialog mid-transfer";
  EXPECT_TRUE(ModuleIdle());

  const handsetsim::SimRecord r = Sim().Record();
  EXPECT_EQ(r.accepted, mails) << "the centre got each mail as queued";
  EXPECT_EQ(r.dialled, std::vector<std::string>{"0570001234##3"}) << "the dial string of the settings' number";
  EXPECT_TRUE(Has(r.centreLines, "GETLIST[1]"));
  EXPECT_TRUE(Has(r.centreLines, "GETLIST[3]")) << "the second page starts after the last mail of the first";
  for (int i = 1; i <= 4; ++i) EXPECT_TRUE(Has(r.centreLines, "GET[ID" + std::to_string(i) + "]")) << i;
  EXPECT_TRUE(r.purged.empty());
  EXPECT_EQ(r.closeCodes, std::vector<std::string>{"0000"});

  EXPECT_EQ(StoreBytes(kSent), mails[0] + mails[1] + mails[2]);
  const auto sent = Rows(kSent);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(Column(sent, qv::kColUnread), (std::vector<std::string>{"0", "0", "0"}));
  EXPECT_EQ(Column(sent, qv::kColTo)[1], "friend2@example.jp");
  EXPECT_EQ(ReadFile(MailDir() / (kQueue + ".qvm")), "") << "every queued mail left the queue";
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

}  // namespace
