// The list window's handset history exchange against a scripted host: which
// reads and writes it asks for, in which order, what it does when one fails,
// and what it tells the user.
#include "HandsetRecords.h"
#include "MailFolders.h"
#include "TestSupport.h"
#include "abi/PluginApi.h"
#include "core/data/HandsetExchange.h"
#include "core/data/MailStore.h"
#include "platform/IniFile.h"
#include "core/ui/Dialogs.h"
#include "plugins/mail/history/MailHistory.h"
#include "plugins/mail/MailHost.h"
#include "plugins/mail/list/QvMailListFRM.h"

#include <QAction>
#include <functional>
#include <gtest/gtest.h>
#include <map>

using qvtest::HistoryMailLines;
using qvtest::HistoryMailSpec;

namespace {

using Calls = std::vector<std::pair<int32_t, int32_t>>;

std::string J(std::string_view utf8) { return qvtest::Sjis(utf8); }

Calls g_calls;
std::vector<std::string> g_notices;
// The host's answer to (kind, value); true when unset.
std::function<bool(int32_t, int32_t)> g_answer;

QvBool HostParam(int32_t kind, int32_t value) {
  g_calls.emplace_back(kind, value);
  return !g_answer || g_answer(kind, value) ? 1 : 0;
}

int32_t HostStr(int32_t kind, const char* text, int32_t) {
  if (kind == QV_STR_NOTICE) g_notices.emplace_back(text);
  return 1;
}

HistoryMailSpec Dx(const std::string& subject, int outgoing) {
  HistoryMailSpec m;
  m.outgoing = outgoing;
  m.text = "Subject: " + subject + "\r\nContent-Type: Text/Plain\r\n\r\nbody\r\n";
  return m;
}

HistoryMailSpec Kmail() {
  HistoryMailSpec m;
  m.tag = 0x1003;
  m.peer = "09012345678";
  m.text = "hello";
  return m;
}

class HistoryExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    launcher_ = std::make_unique<qvtest::ScopedLauncherDir>(App());
    Reset();
  }
  void TearDown() override {
    qv::SetHostParamCallback(nullptr);
    qv::SetHostStrCallback(nullptr);
    qv::SetDialogHandlers({});
    g_answer = nullptr;
    list_.reset();
    launcher_.reset();
  }
  std::filesystem::path App() const { return tmp_.path() / "app"; }
  // A fresh mail folder, settings and host for the next case.
  void Reset() {
    list_.reset();
    std::filesystem::remove_all(App() / "MailLog");
    std::filesystem::create_directories(App() / "MailLog");
    for (int kind : {4, 6}) std::filesystem::remove(qv::HandsetExchangeFile::PathFor(kind));
    std::filesystem::remove(App() / "Quorvel.ini");
    g_calls.clear();
    g_notices.clear();
    boxes_.clear();
    asked_.clear();
    g_answer = nullptr;
    qv::SetHostParamCallback(HostParam);
    qv::SetHostStrCallback(HostStr);
    qv::DialogHandlers handlers;
    handlers.ask = [this](const std::string& text, bool) {
      asked_.push_back(text);
      return answerYes_ ? qv::Answer::Yes : qv::Answer::No;
    };
    handlers.info = [this](const std::string& text) { boxes_.push_back(text); };
    qv::SetDialogHandlers(std::move(handlers));
    answerYes_ = true;
  }
  void Keep(bool dx, bool kmail) {
    qv::IniFile ini(App() / "Quorvel.ini");
    ini.WriteString("Mail", "KmailDXArchive", dx ? "1" : "0");
    ini.WriteString("Mail", "KmailArchive", kmail ? "1" : "0");
  }
  void Show() {
    list_ = std::make_unique<qv::TfrmMailList>();
    list_->show();
  }
  // The host of a read: the launcher leaves what the handset held in the
  // exchange file of the kind when it succeeds.
  static bool HandsetRead(int32_t kind, int32_t value, const std::map<int, bool>& answers) {
    if (kind != QV_PARAM_READ_HANDSET) return true;
    const bool ok = answers.count(value) ? answers.at(value) : true;
    if (ok && value == 6) qv::HandsetExchangeFile::Write(qv::HandsetExchangeFile::PathFor(6), HistoryMailLines({Dx("in", 0), Dx("out", 1)}));
    if (ok && value == 4) qv::HandsetExchangeFile::Write(qv::HandsetExchangeFile::PathFor(4), HistoryMailLines({Kmail()}));
    return ok;
  }
  void Stage(int kind, const std::string& text) {
    qv::MailIndexRow row;
    qv::BuildIndexRow(row, kind, 1, 0, 0, 0, 2, 0, "0901", "", "s", "2003/01/15", "0901");
    ASSERT_FALSE(qvtest::AppendMail(J("データ転送"), text, row).empty());
  }

  qvtest::TempDir tmp_;
  std::unique_ptr<qvtest::ScopedLauncherDir> launcher_;
  std::unique_ptr<qv::TfrmMailList> list_;
  std::vector<std::string> boxes_, asked_;
  bool answerYes_ = true;
};

TEST_F(HistoryExchangeTest, AReadAsksForTheHistoriesKeptInTurnAndReportsWhatItStored) {
  const std::string both = J("KメールDX履歴を 2 件受信しました\r\nKメール履歴を 1 件受信しました");
  struct Case {
    const char* what;
    bool dx, kmail;
    std::map<int, bool> answers;  // the host's answer per kind read
    bool leavesFiles;
    Calls calls;
    std::string report;
  };
  const std::vector<Case> cases = {
      {"both kept", true, true, {}, true, {{5, 6}, {5, 4}}, both},
      {"the DX read fails: the other is not asked", true, true, {{6, false}}, true, {{5, 6}}, ""},
      {"the other read fails", true, true, {{4, false}}, true, {{5, 6}, {5, 4}}, J("KメールDX履歴を 2 件受信しました")},
      {"only Kメール kept", false, true, {}, true, {{5, 4}}, J("Kメール履歴を 1 件受信しました")},
      {"only DX kept", true, false, {}, true, {{5, 6}}, J("KメールDX履歴を 2 件受信しました")},
      {"neither kept", false, false, {}, true, {}, ""},
      {"no file after a read: an earlier one does not count", true, true, {}, false, {{5, 6}, {5, 4}},
       J("KメールDX履歴を 0 件受信しました\r\nKメール履歴を 0 件受信しました")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    Keep(c.dx, c.kmail);
    // What an earlier read left behind.
    qv::HandsetExchangeFile::Write(qv::HandsetExchangeFile::PathFor(6), HistoryMailLines({Dx("stale", 0)}));
    qv::HandsetExchangeFile::Write(qv::HandsetExchangeFile::PathFor(4), HistoryMailLines({Kmail()}));
    g_answer = [&c](int32_t kind, int32_t value) {
      if (!c.leavesFiles) return kind != QV_PARAM_READ_HANDSET || !c.answers.count(value) || c.answers.at(value);
      return HandsetRead(kind, value, c.answers);
    };
    Show();
    list_->actInportFromPHS->trigger();
    EXPECT_EQ(g_calls, c.calls);
    EXPECT_EQ(g_notices, c.report.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.report});
    EXPECT_TRUE(boxes_.empty());
    EXPECT_TRUE(asked_.empty());
  }
}

TEST_F(HistoryExchangeTest, TheShownFolderIsReloadedAndAReportWithoutTheHostsTextCallbackIsABox) {
  Keep(true, true);
  qv::SetHostStrCallback(nullptr);
  g_answer = [](int32_t kind, int32_t value) { return HandsetRead(kind, value, {}); };
  Show();
  ASSERT_EQ(list_->ShownFolder(), J("受信簿"));
  EXPECT_EQ(list_->Model().Count(), 0);
  list_->actInportFromPHS->trigger();
  EXPECT_EQ(list_->Model().Count(), 2) << "the incoming DX mail and the Kメール";
  EXPECT_EQ(boxes_, std::vector<std::string>{J("KメールDX履歴を 2 件受信しました\r\nKメール履歴を 1 件受信しました")});
  EXPECT_EQ(qvtest::LiveColumnOf(J("送信簿"), qv::kColSubject), std::vector<std::string>{"out"});
}

TEST_F(HistoryExchangeTest, MailsTheLockedInboxCouldNotTakeAreReported) {
  Keep(true, true);
  g_answer = [](int32_t kind, int32_t value) { return HandsetRead(kind, value, {}); };
  Show();
  {
    qv::MailFolder held;
    ASSERT_TRUE(held.Open(J("受信簿")));
    list_->ImportHistory(qvtest::QuickRetry());
  }
  EXPECT_EQ(g_notices, std::vector<std::string>{J("KメールDX履歴を 1 件受信しました\r\n"
                                                  "KメールDX履歴の 1 件を保存できませんでした\r\n"
                                                  "Kメール履歴を 0 件受信しました\r\n"
                                                  "Kメール履歴の 1 件を保存できませんでした")});
  EXPECT_EQ(qvtest::LiveColumnOf(J("送信簿"), qv::kColSubject), std::vector<std::string>{"out"});
}

TEST_F(HistoryExchangeTest, WithoutTheHostNothingIsReadOrWritten) {
  Keep(true, true);
  Stage(8, "41\r\n");
  qv::HandsetExchangeFile::Write(qv::HandsetExchangeFile::PathFor(6), {});
  qv::SetHostParamCallback(nullptr);
  Show();
  list_->actInportFromPHS->trigger();
  list_->actExportToPHS->trigger();
  EXPECT_TRUE(std::filesystem::exists(qv::HandsetExchangeFile::PathFor(6))) << "not even deleted";
  EXPECT_FALSE(std::filesystem::exists(qv::HandsetExchangeFile::PathFor(4)));
  EXPECT_TRUE(asked_.empty());
  EXPECT_TRUE(g_notices.empty());
}

TEST_F(HistoryExchangeTest, AWriteAsksFirstThenSendsTheHistoriesItFramedInTurn) {
  const std::string question = J("現在電話機にあるメール履歴情報は全て削除されます\r\n処理を続けますか？");
  struct Case {
    const char* what;
    bool dx, kmail;
    std::vector<std::pair<int, std::string>> staged;  // kind, stored text
    std::map<int, bool> answers;
    bool yes;
    bool asked;
    Calls calls;
    std::string report;
  };
  const std::string mail = "Subject: s\r\n\r\nbody\r\n";
  const std::vector<Case> cases = {
      {"only Kメール staged", true, true, {{8, "41\r\n"}}, {}, true, true, {{6, 4}}, J("Kメール履歴 送信完了")},
      {"both staged", true, true, {{1, mail}, {9, "42\r\n"}}, {}, true, true, {{6, 6}, {6, 4}},
       J("KメールDX履歴 Kメール履歴 送信完了")},
      {"the DX write fails: the other is not asked", true, true, {{1, mail}, {9, "42\r\n"}}, {{6, false}}, true, true,
       {{6, 6}}, ""},
      {"the other write fails", true, true, {{1, mail}, {9, "42\r\n"}}, {{4, false}}, true, true, {{6, 6}, {6, 4}},
       J("KメールDX履歴 送信完了")},
      {"the user says no", true, true, {{1, mail}}, {}, false, true, {}, ""},
      {"nothing staged: nothing asked", true, true, {}, {}, true, false, {}, ""},
      {"DX not kept", false, true, {{1, mail}, {9, "42\r\n"}}, {}, true, true, {{6, 4}}, J("Kメール履歴 送信完了")},
      {"a Kメール that cannot be framed is told", true, true, {{1, mail}, {8, "not hex\r\n"}}, {}, true, true,
       {{6, 6}}, J("KメールDX履歴 送信完了\r\nKメール履歴の 1 件は読み込めなかったため送信しませんでした")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    Keep(c.dx, c.kmail);
    ASSERT_TRUE(qv::FolderFilesAvailable(J("データ転送")));
    for (const auto& [kind, text] : c.staged) Stage(kind, text);
    answerYes_ = c.yes;
    g_answer = [&c](int32_t kind, int32_t value) {
      return kind != QV_PARAM_WRITE_HANDSET || !c.answers.count(value) || c.answers.at(value);
    };
    Show();
    list_->actExportToPHS->trigger();
    EXPECT_EQ(asked_, c.asked ? std::vector<std::string>{question} : std::vector<std::string>{});
    EXPECT_EQ(g_calls, c.calls);
    EXPECT_EQ(g_notices, c.report.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.report});
  }
}

TEST_F(HistoryExchangeTest, AWriteFramesOnlyTheKindsKeptAndLeavesAnEmptyFileForAKindWithoutMails) {
  Keep(true, true);
  ASSERT_TRUE(qv::FolderFilesAvailable(J("データ転送")));
  Stage(8, "41\r\n");
  Show();
  list_->actExportToPHS->trigger();
  EXPECT_EQ(qvtest::ReadFile(qv::HandsetExchangeFile::PathFor(6)), "");
  std::vector<std::string> lines;
  ASSERT_TRUE(qv::HandsetExchangeFile::Read(qv::HandsetExchangeFile::PathFor(4), lines));
  EXPECT_EQ(lines.size(), 1u);
}

TEST_F(HistoryExchangeTest, AMissingOrLockedStagingFolderAsksNothing) {
  Keep(true, true);
  Show();
  list_->actExportToPHS->trigger();
  EXPECT_FALSE(std::filesystem::exists(App() / "MailLog" / "データ転送.qvm"));
  Stage(8, "41\r\n");
  Stage(1, "Subject: s\r\n\r\nb\r\n");
  {
    qv::MailFolder held;
    ASSERT_TRUE(held.Open(J("データ転送")));
    list_->ExportHistory(qvtest::QuickRetry());
  }
  EXPECT_TRUE(asked_.empty());
  EXPECT_TRUE(g_calls.empty());
  EXPECT_TRUE(g_notices.empty());
}

}  // namespace
