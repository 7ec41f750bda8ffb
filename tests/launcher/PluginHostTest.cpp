// Loading plug-ins, their exports and the host's answers to their callbacks.
#include "LauncherFixture.h"
#include "core/ui/QtText.h"
#include "launcher/QvDLLForm.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <QTimer>

using namespace qvtest;
using qv::SessionMode;
using qv::SessionResult;

namespace {

std::vector<std::string> Captions(const qv::TfrmLaunch& launch) {
  std::vector<std::string> out;
  for (const auto& e : launch.Entries()) out.push_back(qv::ToQString(e.caption).toStdString());
  return out;
}

std::map<std::string, std::string> Plugins(std::initializer_list<std::pair<int, std::string>> files) {
  std::map<std::string, std::string> ini;
  for (const auto& [key, file] : files) ini["Plugins|" + std::to_string(key)] = file;
  return ini;
}

}  // namespace

TEST(PluginApi, CopyTextKeepsWithinTheBufferAndNeverSplitsACharacter) {
  const std::string text = J("あいう") + "ab";  // 3 double-byte characters, then 2 bytes
  struct Case {
    int32_t size;
    std::string expected;
  } cases[] = {
      {1, ""}, {2, ""}, {3, J("あ")}, {4, J("あ")}, {6, J("あい")}, {7, J("あいう")},
      {8, J("あいう") + "a"}, {9, text}, {256, text},
  };
  for (const Case& c : cases) {
    char buffer[300];
    std::memset(buffer, 'X', sizeof buffer);
    ASSERT_TRUE(QvCopyText(text.c_str(), buffer, c.size)) << c.size;
    EXPECT_EQ(std::string(buffer), c.expected) << c.size;
    EXPECT_EQ(buffer[c.size], 'X') << "nothing written at or past size " << c.size;
  }
  char one = 'X';
  EXPECT_FALSE(QvCopyText("abc", &one, 0));
  EXPECT_EQ(one, 'X');
  // A lead byte at the very end of the text is a character of its own.
  char buffer[8];
  ASSERT_TRUE(QvCopyText("a\x82", buffer, sizeof buffer));
  EXPECT_EQ(std::string(buffer), "a\x82");
}

TEST_F(LauncherTest, PluginsAreListedInKeyOrderUpToTheFirstEmptyKey) {
  struct Case {
    std::map<std::string, std::string> ini;
    std::vector<std::string> captions;
  } cases[] = {
      {{}, {"設定"}},
      {Plugins({{1, ""}, {2, "TestMail.qpl"}}), {"設定"}},
      {Plugins({{1, "TestMail.qpl"}, {3, "TestAddress.qpl"}}), {"メール", "設定"}},
      {Plugins({{1, "Missing.qpl"}, {2, "TestAddress.qpl"}, {3, "TestMail.qpl"}}), {"電話帳", "メール", "設定"}},
      {Plugins({{1, "TestInitFalse.qpl"}, {2, "TestNoCallBackStr.qpl"}, {3, "TestBookMark.qpl"}}), {"ブックマーク", "設定"}},
  };
  for (const Case& c : cases) {
    WriteIni(c.ini);
    Start();
    EXPECT_EQ(Captions(*launch_), c.captions);
    Stop();
  }
}

TEST_F(LauncherTest, ACompletePluginIsRegisteredInitialisedListedAndFinalisedInOrder) {
  WriteIni(Plugins({{1, "TestMail.qpl"}}));
  Start();
  auto calls = TakeCalls();
  std::vector<std::string> mail;
  for (auto& line : calls)
    if (line.rfind("TestMail ", 0) == 0) mail.push_back(line.substr(9));
  ASSERT_GE(mail.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(mail.begin(), mail.begin() + 3),
            (std::vector<std::string>{"CallBackParam", "CallBackStr", "PluginInitialize"}));
  EXPECT_NE(std::find(mail.begin(), mail.end(), "GetPluginName"), mail.end());
  EXPECT_NE(std::find(mail.begin(), mail.end(), "GetIcon"), mail.end());
  EXPECT_EQ(std::count(mail.begin(), mail.end(), "PluginFinalize"), 0);
  ASSERT_EQ(launch_->Entries().size(), 2u);
  EXPECT_EQ(launch_->Entries()[0].plugin->FileName(), "TestMail.qpl");
  EXPECT_FALSE(launch_->lsvMainMenu->item(0)->icon().isNull()) << "the plug-in's icon is in the list";
  EXPECT_EQ(launch_->lsvMainMenu->iconSize(), QSize(32, 32));
  Stop();
  // Plug-ins are finalised and unloaded before the serial-link module goes.
  EXPECT_EQ(Calls(), (std::vector<std::string>{"TestMail PluginFinalize", "serial unloaded"}));
}

TEST_F(LauncherTest, APluginLackingOnlyCallBackStrIsRegisteredThenUnloadedUntouched) {
  WriteIni(Plugins({{1, "TestNoCallBackStr.qpl"}}));
  Start();
  EXPECT_EQ(CallsOf("TestNoCallBackStr"), (std::vector<std::string>{"TestNoCallBackStr CallBackParam"}));
  EXPECT_EQ(ModuleSymbol("TestNoCallBackStr.qpl", "ShowForm"), nullptr) << "unloaded at once";
  EXPECT_EQ(Captions(*launch_), (std::vector<std::string>{"設定"}));
}

TEST_F(LauncherTest, APluginWhoseInitialiseFailsIsFinalisedAndUnloaded) {
  WriteIni(Plugins({{1, "TestInitFalse.qpl"}}));
  Start();
  EXPECT_EQ(CallsOf("TestInitFalse"),
            (std::vector<std::string>{"TestInitFalse CallBackParam", "TestInitFalse CallBackStr",
                                      "TestInitFalse PluginInitialize", "TestInitFalse PluginFinalize"}));
  EXPECT_EQ(ModuleSymbol("TestInitFalse.qpl", "ShowForm"), nullptr);
  EXPECT_EQ(Captions(*launch_), (std::vector<std::string>{"設定"}));
}

TEST_F(LauncherTest, ALongDisplayNameIsCutWithinTheBufferOnACharacterBoundary) {
  // One plug-in copies its 300-byte name within the buffer; the other fills
  // all 256 bytes and leaves no NUL: the host reads neither past 255 bytes
  // nor keeps half a character.
  WriteIni(Plugins({{1, "TestLongName.qpl"}, {2, "TestRawName.qpl"}}));
  Start();
  ASSERT_EQ(launch_->Entries().size(), 3u);
  std::string expected;
  for (int i = 0; i < 127; ++i) expected += J("あ");
  EXPECT_EQ(launch_->Entries()[0].caption, expected) << "255 bytes would split the 128th character";
  EXPECT_EQ(launch_->Entries()[1].caption, expected);
}

TEST_F(LauncherTest, ThePopupMenuHasOneAcceleratedItemPerPluginAheadOfTheFixedOnes) {
  WriteIni(Plugins({{1, "TestMail.qpl"}, {2, "TestInitFalse.qpl"}, {3, "TestAddress.qpl"}, {4, "TestBookMark.qpl"}}));
  Start();
  QStringList texts;
  for (QAction* a : launch_->popMain->actions()) texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
  EXPECT_EQ(texts.join('|').toStdString(), "メール(&A)|電話帳(&B)|ブックマーク(&C)|設定|-|終了");
  TakeCalls();
  launch_->popMain->popup(QPoint(10, 10));
  QApplication::processEvents();
  QTest::keyClick(launch_->popMain, Qt::Key_B);
  QApplication::processEvents();
  EXPECT_EQ(CallsOf("Test"), (std::vector<std::string>{"TestAddress ShowForm"}));
  // Reloading the list keeps one item per plug-in.
  launch_->LoadPlugins();
  EXPECT_EQ(launch_->popMain->actions().size(), 6);
}

TEST_F(LauncherTest, NotificationsGoToTheFirstEntryOfTheDisplayName) {
  WriteIni(Plugins({{1, "TestAddress.qpl"}, {2, "TestAddress2.qpl"}}));
  Start();
  TakeCalls();
  EXPECT_EQ(PluginCallStr("TestAddress2.qpl", 3, "09012345678"), 1);
  launch_->NotifyPlugin(J("ブックマーク"), "not loaded");
  EXPECT_EQ(CallsOf("Test"), (std::vector<std::string>{"TestAddress SetStr 1 09012345678 12"}));
}

TEST_F(LauncherTest, CloseFormVetoesTheExitAndLaterPluginsAreNotAsked) {
  WriteIni(Plugins({{1, "TestMail.qpl"}, {2, "TestAddress.qpl"}, {3, "TestBookMark.qpl"}}));
  Start();
  launch_->show();
  WriteFile(dir_ / "veto-TestAddress", "");
  TakeCalls();
  EXPECT_FALSE(launch_->close());
  EXPECT_TRUE(launch_->isVisible());
  EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"TestMail CloseForm", "TestAddress CloseForm"}));
  EXPECT_EQ(launch_->RingWait(), qv::RingWaitState::Stopped);
  std::filesystem::remove(dir_ / "veto-TestAddress");
  EXPECT_TRUE(launch_->close());
  EXPECT_FALSE(launch_->isVisible());
  EXPECT_EQ(TakeCalls(), (std::vector<std::string>{"TestMail CloseForm", "TestAddress CloseForm", "TestBookMark CloseForm"}));
}

// The parameter callback, as a plug-in calls it, with a session runner that
// records what the session dialog was asked to do.
class CallbackTest : public LauncherTest {
 protected:
  struct Session {
    SessionMode mode;
    bool receiveAll;
    bool autoDelete;
    int parameter;
  };
  void SetUp() override {
    LauncherTest::SetUp();
    WriteIni(Plugins({{1, "TestMail.qpl"}, {2, "TestAddress.qpl"}, {3, "TestBookMark.qpl"}}));
    qv::TfrmConnecting::SetSessionRunner([this](qv::TfrmConnecting& d, SessionMode mode) {
      sessions_.push_back({mode, d.ReceiveAll(), d.AutoDelete(), d.Parameter()});
      if (inside_) inside_();
      return result_;
    });
  }
  std::vector<Session> sessions_;
  SessionResult result_ = SessionResult::Done;
  std::function<void()> inside_;
};

TEST_F(CallbackTest, MailSessionsRunTheDialogInTheirModeAndNotifyTheMailPlugin) {
  struct Case {
    int value;
    SessionMode mode;
    bool receiveAll;
    std::vector<std::string> notified;
  } cases[] = {
      {1, SessionMode::SendQueue, false, {"送信予約", "送信簿"}},
      {2, SessionMode::ReceiveMail, false, {"受信簿"}},
      {3, SessionMode::ReceiveMail, true, {"受信簿"}},
      {4, SessionMode::SendAndReceive, true, {"送信予約", "送信簿", "受信簿"}},
      {5, SessionMode::SendDirectMailOnly, false, {"送信予約", "送信簿"}},
  };
  Start();
  for (SessionResult result : {SessionResult::Done, SessionResult::NothingDone, SessionResult::Aborted}) {
    result_ = result;
    for (const Case& c : cases) {
      SCOPED_TRACE(c.value);
      sessions_.clear();
      TakeCalls();
      EXPECT_EQ(PluginCallParam("TestAddress.qpl", 1, c.value), result == SessionResult::Done ? 1 : 0);
      ASSERT_EQ(sessions_.size(), 1u);
      EXPECT_EQ(sessions_[0].mode, c.mode);
      EXPECT_EQ(sessions_[0].receiveAll, c.receiveAll);
      EXPECT_FALSE(sessions_[0].autoDelete) << "without the key the receive step keeps mail at the centre";
      std::vector<std::string> expected;
      for (const auto& folder : c.notified) expected.push_back("TestMail SetStr 1 " + J(folder) + " " + std::to_string(J(folder).size() + 1));
      EXPECT_EQ(CallsOf("TestMail"), expected) << "folders are told whatever the result";
      EXPECT_FALSE(connecting_->isVisible());
    }
  }
}

TEST_F(CallbackTest, HandsetDataSessionsCarryTheirKind) {
  Start();
  EXPECT_EQ(PluginCallParam("TestMail.qpl", 5, 8), 1);
  result_ = SessionResult::Aborted;
  EXPECT_EQ(PluginCallParam("TestMail.qpl", 6, 1), 0);
  ASSERT_EQ(sessions_.size(), 2u);
  EXPECT_EQ(sessions_[0].mode, SessionMode::ReadHandsetInfo);
  EXPECT_EQ(sessions_[0].parameter, 8);
  EXPECT_EQ(sessions_[1].mode, SessionMode::WriteHandsetInfo);
  EXPECT_EQ(sessions_[1].parameter, 1);
}

TEST_F(CallbackTest, OtherRequestsAnswerTrueAndStartNoSession) {
  WriteIni({{"Plugins|1", "TestMail.qpl"}, {"File|MessageFile", "Message.txt"}, {"Mail|AutoDelete", "1"}});
  Start();
  struct Case {
    int kind, value;
  } cases[] = {{0, 5}, {1, 6}, {1, 0}, {4, 1}, {4, 2}, {7, 1}, {99, -3}};
  for (Case c : cases) EXPECT_EQ(PluginCallParam("TestMail.qpl", c.kind, c.value), 1) << c.kind << "/" << c.value;
  EXPECT_TRUE(sessions_.empty());
  EXPECT_TRUE(boxes_.empty());
  // 0/0 restores the idle status line, 0/other leaves it.
  launch_->SetStatus("busy");
  PluginCallParam("TestMail.qpl", 0, 1);
  EXPECT_EQ(launch_->StatusText(), "busy");
  PluginCallParam("TestMail.qpl", 0, 0);
  EXPECT_EQ(qv::ToQString(launch_->StatusText()).toStdString(), "ＶｅｏＱｕｏｒｖｅｌ");
  // The delete flag follows the settings file once it is there.
  EXPECT_EQ(PluginCallParam("TestMail.qpl", 1, 2), 1);
  ASSERT_EQ(sessions_.size(), 1u);
  EXPECT_TRUE(sessions_[0].autoDelete);
}

TEST_F(CallbackTest, WarningCodesShowTheirMessageInABox) {
  Start();
  EXPECT_EQ(PluginCallParam("TestMail.qpl", 10, 1), 1);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].first, qv::BoxKind::Warning);
  EXPECT_EQ(boxes_[0].second, J("テストの警告です"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "Error.log")) << "warnings are not logged";
}

TEST_F(CallbackTest, ASessionRequestFromInsideASessionIsRefused) {
  Start();
  std::vector<int32_t> nested;
  inside_ = [&] {
    EXPECT_TRUE(connecting_->isVisible());
    nested.push_back(PluginCallParam("TestMail.qpl", 1, 1));
    nested.push_back(PluginCallParam("TestMail.qpl", 5, 1));
    nested.push_back(PluginCallParam("TestMail.qpl", 6, 8));
    nested.push_back(PluginCallParam("TestMail.qpl", 4, 1));
  };
  EXPECT_EQ(PluginCallParam("TestAddress.qpl", 1, 4), 1);
  EXPECT_EQ(nested, (std::vector<int32_t>{0, 0, 0, 1}));
  EXPECT_EQ(sessions_.size(), 1u) << "the dialog ran once";
}

TEST_F(CallbackTest, TextRequestsReachTheirPluginOrTheNoticeAndAlwaysAnswerOne) {
  Start();
  notice_->tmrWait->setInterval(1);
  TakeCalls();
  EXPECT_EQ(PluginCallStr("TestMail.qpl", 2, "http://example.jp/"), 1);
  EXPECT_EQ(PluginCallStr("TestMail.qpl", 3, "07011112222"), 1);
  EXPECT_EQ(PluginCallStr("TestMail.qpl", 7, "ignored"), 1);
  EXPECT_EQ(CallsOf("Test"), (std::vector<std::string>{"TestBookMark SetStr 1 http://example.jp/ 19",
                                                        "TestAddress SetStr 1 07011112222 12"}));
  EXPECT_EQ(PluginCallStr("TestMail.qpl", 10, J("着信しました")), 1);
  EXPECT_TRUE(notice_->isVisible());
  EXPECT_EQ(notice_->MessageText().toStdString(), "  着信しました");
}

TEST_F(LauncherTest, TextRequestsWithoutTheirPluginDoNothing) {
  WriteIni({{"Plugins|1", "TestMail.qpl"}, {"Environment|ShowMessage", "0"}});
  Start();
  TakeCalls();
  EXPECT_EQ(PluginCallStr("TestMail.qpl", 2, "http://example.jp/"), 1);
  EXPECT_EQ(PluginCallStr("TestMail.qpl", 10, "quiet"), 1);
  EXPECT_TRUE(CallsOf("Test").empty());
  EXPECT_FALSE(notice_->isVisible()) << "notices are switched off";
}
