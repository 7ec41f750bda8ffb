// The handset's mail histories end to end: the built QvMail.qpl in the
// launcher asks for its reads and writes, the launcher runs them with the real
// Portvine.so in front of the simulated handset's information store.
#include "HandsetRecords.h"
#include "MailFolders.h"
#include "SessionFixture.h"
#include "core/data/HandsetExchange.h"
#include "core/data/MailStore.h"
#include "platform/IniFile.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QTreeView>

using namespace qvtest;

namespace {

// A stored mail as the handset keeps it.
std::string PlainMail(const std::string& to, const std::string& subject, const std::string& body) {
  return "To: " + to + "\r\nSubject: " + subject + "\r\nX-Mailer: handset\r\nContent-Type: Text/Plain\r\n\r\n" +
         body + "\r\n";
}

std::string MailWithPicture() {
  std::string base64;
  for (int i = 0; i < 40; ++i) base64 += std::string(72, static_cast<char>('A' + i % 26)) + "\r\n";
  return "To: friend@example.jp\r\nSubject: " + J("写真") +
         "\r\nX-Mailer: handset\r\nContent-Type: Multipart/Mixed;Boundary=\"kmaildx00\"\r\n\r\n"
         "--kmaildx00\r\nContent-Type: Text/Plain\r\n\r\n" +
         J("見て") + "\r\n--kmaildx00\r\nContent-Type: Image/Jpeg;Name=\"a.jpg\"\r\nContent-Transfer-Encoding: Base64\r\n\r\n" +
         base64 + "--kmaildx00--\r\n";
}

// A 20 KB body of lines.
std::string LongBody() {
  std::string body;
  for (int i = 0; body.size() < 20 * 1024; ++i) body += "line " + std::to_string(i) + " of a long handset mail\r\n";
  return body.substr(0, body.size() - 2);
}

class MailHistoryEndToEndTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    dx_[0].tag = 0x1005;
    dx_[0].kind = 1;
    dx_[0].unread = 1;
    dx_[0].box = 2;
    dx_[0].date = "2003/01/15 09:05:30";
    dx_[0].text = PlainMail("09011112222", J("長いメール"), LongBody());
    dx_[1].tag = 0x1005;
    dx_[1].kind = 3;
    dx_[1].outgoing = 1;
    dx_[1].isProtected = 1;
    dx_[1].box = 3;
    dx_[1].date = "2003/01/16 18:00:00";
    dx_[1].text = MailWithPicture();
    kmail_[0].tag = 0x1003;
    kmail_[0].kind = 0;  // the low bits of kind 8
    kmail_[0].peer = J("携帯: 090-3333-4444");
    kmail_[0].text = J("ｺﾝﾆﾁﾊ\r\nabc");
    kmail_[0].unread = 1;
    kmail_[0].date = "2003/01/17 07:30:00";
    kmail_[1].tag = 0x1007;
    kmail_[1].kind = 1;  // the low bits of kind 9
    kmail_[1].peer = "07055556666";
    kmail_[1].text = "Hi!";
    kmail_[1].outgoing = 1;
    kmail_[1].box = 3;
    kmail_[1].handsetFlag = 0;
    kmail_[1].date = "2003/01/18 12:00:00";
  }
  void TearDown() override {
    if (window_) window_->close();
    SessionTest::TearDown();
  }

  // The launcher with the mail plug-in, the handset holding the histories of
  // its store (by information category) and taking information mode.
  void StartWithHandset(std::map<int, HandsetLines> store, handsetsim::SimConfig config = {}) {
    for (const char* file : {"QvMail.qpl", "image.dll"})
      std::filesystem::copy_file(AppDir() / file, dir_ / file, std::filesystem::copy_options::overwrite_existing);
    WriteSessionIni({{"Plugins|1", "QvMail.qpl"}});
    config.i9InfoText = "1";
    for (const auto& [category, lines] : store) config.info[category] = WireLines(lines);
    UseRealModule(std::move(config));
    StartSession();
    auto rate = reinterpret_cast<void (*)(int32_t)>(ModuleSymbol("Portvine.so", "PortvineTestSetClockRate"));
    ASSERT_NE(rate, nullptr);
    rate(20);
    const auto entries = launch_->Entries();
    ASSERT_FALSE(entries.empty());
    ASSERT_EQ(entries[0].caption, J("メール"));
    ASSERT_TRUE(entries[0].plugin->ShowPluginForm());
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == "frmMailList") window_ = w;
    ASSERT_NE(window_, nullptr);
    // The plug-in's questions are answered Yes as they open.
    WhileRunning([this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || !box->isVisible() || box->property("qvtestAnswered").toBool()) return;
      box->setProperty("qvtestAnswered", true);
      questions_.push_back(box->text().toStdString());
      QTimer::singleShot(0, box, [box] { box->button(QMessageBox::Yes)->click(); });
    });
  }
  std::map<int, HandsetLines> Histories() const {
    return {{6, HistoryMailLines({dx_[0], dx_[1]})}, {4, HistoryMailLines({kmail_[0], kmail_[1]})}};
  }
  void Trigger(const char* action) {
    auto* a = window_->findChild<QAction*>(action);
    ASSERT_NE(a, nullptr) << action;
    ASSERT_TRUE(a->isEnabled()) << action;
    a->trigger();
  }
  // The folder's live mails with their rows, ids and offsets left out; a
  // text compares whole but prints as its size and start.
  struct Text {
    std::string bytes;
    bool operator==(const Text&) const = default;
    friend void PrintTo(const Text& t, std::ostream* os) {
      *os << t.bytes.size() << " bytes: " << ::testing::PrintToString(t.bytes.substr(0, 40));
    }
  };
  std::vector<std::pair<qv::TCSVRow, Text>> Mails(const char* folder) const {
    std::vector<std::pair<qv::TCSVRow, Text>> out;
    for (auto mail : ReadLiveMails(J(folder))) {
      mail.row[qv::kColStart] = mail.row[qv::kColEnd] = mail.row[qv::kColId] = "";
      out.emplace_back(mail.row, Text{mail.text});
    }
    return out;
  }

  HistoryMailSpec dx_[2], kmail_[2];
  QWidget* window_ = nullptr;
  std::vector<std::string> questions_;
};

// A long one: every line of the handset's answer costs the session a poll,
// and the 20 KB mail goes both ways.
TEST_F(MailHistoryEndToEndTest, BothHistoriesAreReadThenWrittenFromTheTransferFolderAndReadBackTheSame) {
  StartWithHandset(Histories());
  Trigger("actInportFromPHS");

  const std::string report = "KメールDX履歴を 2 件受信しました\n  Kメール履歴を 2 件受信しました";
  EXPECT_EQ(LastNotice(), report);
  using Row = qv::TCSVRow;
  // deleted start end id | kind flag unread protected direction box attachments | from to subject date extra
  const auto received = Mails("受信簿");
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].first, (Row{"0", "", "", "", "1", "1", "1", "0", "0", "2", "0", "", "09011112222",
                                    J("長いメール"), "2003/01/15 09:05:30", ""}));
  EXPECT_EQ(received[0].second, Text{dx_[0].text}) << "one mail from many items";
  EXPECT_EQ(received[1].first, (Row{"0", "", "", "", "8", "1", "1", "0", "0", "2", "0", "09033334444", "",
                                    J("Kメール"), "2003/01/17 07:30:00", "09033334444"}));
  const auto sent = Mails("送信簿");
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].first, (Row{"0", "", "", "", "3", "1", "0", "1", "1", "3", "1", "", "friend@example.jp",
                                J("写真"), "2003/01/16 18:00:00", ""}));
  EXPECT_EQ(sent[0].second, Text{dx_[1].text});
  EXPECT_EQ(sent[1].first, (Row{"0", "", "", "", "9", "0", "0", "0", "1", "3", "0", "", "07055556666",
                                J("ブリーズメール"), "2003/01/18 12:00:00", "07055556666"}));
  const auto held = Sim().Info();
  EXPECT_EQ(held.at(6), WireLines(Histories()[6])) << "reading leaves the handset as it was";
  auto* list = window_->findChild<QTreeView*>("lsvMail");
  ASSERT_EQ(list->model()->rowCount(), 2) << "the shown inbox was reloaded";
  std::vector<std::string> kinds;
  for (int r = 0; r < 2; ++r) kinds.push_back(list->model()->index(r, 0).data().toString().toStdString());
  EXPECT_EQ(kinds, (std::vector<std::string>{"直送メール受信", "Kメール受信"}));
  EXPECT_TRUE(window_->grab().save(QString::fromStdString(ArtifactPath("mail-history-read.png").string())));

  // Everything to the transfer folder, in the order the handset had it, and
  // to the handset.
  const std::string transfer = qv::FixedFolderName(qv::FixedFolder::Transfer);
  ASSERT_TRUE(qv::MoveAllMessages(J("受信簿"), transfer));
  ASSERT_TRUE(qv::MoveAllMessages(J("送信簿"), transfer));
  const auto staged = Mails("データ転送");
  CloseNoticeWindow();
  Trigger("actExportToPHS");
  EXPECT_EQ(questions_, std::vector<std::string>{"現在電話機にあるメール履歴情報は全て削除されます\r\n処理を続けますか？"});
  EXPECT_EQ(LastNotice(), "KメールDX履歴 Kメール履歴 送信完了");
  EXPECT_EQ(Mails("データ転送"), staged) << "the mails stay";
  // The handset holds what it held, to the byte, so its DX history reads
  // back as it read before; the Kメール history is read back to show it.
  EXPECT_EQ(Sim().Info(), held);
  qv::IniFile(dir_ / "Quorvel.ini").WriteString("Mail", "KmailDXArchive", "0");
  std::filesystem::remove(MailDir() / "受信簿.qvm");
  std::filesystem::remove(MailDir() / "受信簿.qvs");
  std::filesystem::remove(MailDir() / "送信簿.qvm");
  std::filesystem::remove(MailDir() / "送信簿.qvs");
  CloseNoticeWindow();
  Trigger("actInportFromPHS");
  EXPECT_EQ(LastNotice(), "Kメール履歴を 2 件受信しました");
  EXPECT_EQ(Mails("受信簿"), std::vector{received[1]});
  EXPECT_EQ(Mails("送信簿"), std::vector{sent[1]});

  // The Kメール opens with its text decoded.
  list->selectionModel()->select(list->model()->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  Trigger("actMailOpen");
  QWidget* viewer = nullptr;
  PumpUntil([&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && w->windowTitle() == QStringLiteral("VeoQuorvel - Kメール受信")) viewer = w;
    return viewer != nullptr;
  });
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(viewer->findChild<QWidget*>("KMailEdit1")->property("Text").toString().toStdString(), "ｺﾝﾆﾁﾊ\nabc");
  viewer->close();
  EXPECT_TRUE(ErrorLogText().empty());
}

TEST_F(MailHistoryEndToEndTest, AWriteThatFailsAfterTheHandsetDroppedItsHistoryIsToldAndGoesNoFurther) {
  handsetsim::SimConfig config;
  config.infoCapacity = 10;  // fewer lines than the long mail takes
  StartWithHandset(Histories(), config);
  // The long mail and the Kメール as an earlier reading left them.
  qv::MailIndexRow row;
  std::string text = dx_[0].text;
  qv::PrepareReceivedMail(row, text, 1, 1, 0, 0, 0, 2, "2003/01/15 09:05:30", "");
  ASSERT_FALSE(AppendMail(J("データ転送"), text, row).empty());
  qv::BuildIndexRow(row, 8, 1, 0, 0, 0, 2, 0, "09033334444", "", J("Kメール"), "2003/01/17", "09033334444");
  ASSERT_FALSE(AppendMail(J("データ転送"), "4142\r\n", row).empty());
  const HandsetLines kmailBefore = Sim().Info()[4];

  Trigger("actExportToPHS");
  EXPECT_EQ(LastNotice(), "KメールDX履歴の書き込みが途中で終わりました。\n  携帯電話のKメールDX履歴は一部しか書き込まれていません。");
  for (const std::string& notice : NoticeTexts()) EXPECT_EQ(notice.find("送信完了"), std::string::npos) << notice;
  EXPECT_EQ(Sim().Info()[6].size(), 10u) << "the handset dropped its history and took what it could";
  EXPECT_EQ(Sim().Info()[4], kmailBefore) << "the other history is not touched";
}

}  // namespace
