// The sign-up terminal in the launcher, end to end: the built
// QvOnlinesignup.qpl opened from the launcher's list, the built KWX.so it
// binds, the launcher's own Portvine.so waiting for calls, and one simulated
// handset with its sign-up centre behind them both.
#include "SignupFixture.h"

#include "LauncherProcess.h"

#include "core/ui/MessageBox.h"
#include "launcher/LauncherWindows.h"
#include "launcher/RingWait.h"
#include "platform/Cp932.h"
#include "platform/IniFile.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>

using namespace signuptest;
using handsetsim::Action;
using handsetsim::SimConfig;
using handsetsim::Step;

namespace {

const std::string kSignUp = Sjis("ｵﾝﾗｲﾝｻｲﾝｱｯﾌﾟ");

class SignupLauncherTest : public SignupTest {
 protected:
  void SetUp() override {
    SignupTest::SetUp();
    for (const char* file : {"QvOnlinesignup.qpl", "Portvine.so"})
      std::filesystem::copy_file(qvtest::AppDir() / file, dir() / file);
    Ini("File|DllFile", "Portvine.so");
    Ini("Plugins|1", "QvOnlinesignup.qpl");
    // The launcher's own boxes; the plug-in's are real ones, answered by the fixture.
    qv::SetMessageBoxHandler([this](qv::BoxKind, const std::string& text) {
      launcherBoxes_.push_back(qv::cp932::ToUtf8(text));
    });
  }
  void TearDown() override {
    qv::SetPauseRate(1);
    qv::EndLauncherWindows(launch_, connecting_, notice_);
    qv::SetMessageBoxHandler({});
    SignupTest::TearDown();
  }
  void Start() {
    // The launcher's pauses and the ring-wait module's time run faster.
    qv::SetPauseRate(50);
    qv::Module portvine;
    ASSERT_TRUE(portvine.Load((dir() / "Portvine.so").string())) << portvine.Error();
    portvine.Function<void (*)(int32_t)>("PortvineTestSetClockRate")(20);
    qv::MakeLauncherWindows(launch_, connecting_, notice_);
    ASSERT_FALSE(launch_->Terminated());
  }
  // Opens the terminal from the launcher's list and runs body while its modal
  // window is up; the window is taken offline and closed afterwards.
  void WithSignup(const std::function<void(QWidget*)>& body) {
    bool ran = false;
    // Looks for the window from inside its own modal loop, once it is up.
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      QWidget* w = nullptr;
      for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == "frmSignup" && top->isVisible()) w = top;
      if (!w) return;
      poll.stop();
      EXPECT_TRUE(w->isModal());
      body(w);
      if (ActionOf(w, "actDisconnect")->isEnabled()) {
        ActionOf(w, "actDisconnect")->trigger();
        PumpUntil([&] { return !ActionOf(w, "actDisconnect")->isEnabled(); });
      }
      ActionOf(w, "actExt")->trigger();
      ran = true;
    });
    poll.start();
    launch_->OpenItem(kSignUp);
    poll.stop();
    EXPECT_TRUE(ran) << "the terminal did not open";
  }
  // Clicks a button of the window as a user does.
  static void Click(QWidget* w, const char* button) {
    auto* b = w->findChild<QAbstractButton*>(button);
    ASSERT_NE(b, nullptr) << button;
    QTest::mouseClick(b, Qt::LeftButton);
  }
  // The terminal waits for the user on its newest page.
  static bool Ready(QWidget* w) { return ActionOf(w, "actCall")->isEnabled(); }
  static bool Online(QWidget* w) { return ActionOf(w, "actDisconnect")->isEnabled(); }
  // Waits until the terminal waits for the user or the call is over.
  static bool Settled(QWidget* w) { return PumpUntil([&] { return Ready(w) || !Online(w); }); }
  std::vector<std::string> Requests() { return Sim().Record().signupRequests; }

  std::vector<std::string> launcherBoxes_;
  std::unique_ptr<qv::TfrmLaunch> launch_;
  std::unique_ptr<qv::TfrmConnecting> connecting_;
  std::unique_ptr<qv::TfrmReceiveMsg> notice_;
};

TEST_F(SignupLauncherTest, AWholeSignUpBetweenTwoRingWaits) {
  SimConfig c;
  c.signupPages = {DecoratedPage({Sjis("ようこそ<#HEART>"), Sjis("①新規登録"), Sjis("②変更"), Sjis("③解約")}),
                   Page({"Content-Type: text/plain", "X-KMAILDX-INPUT: KANJI"}, {Sjis("お名前をどうぞ")}),
                   Page({"Content-Type: text/plain", "Reply-To: entry@signup"}, {Sjis("受付中")}),
                   PlainPage({Sjis("登録しました")})};
  c.signupCloseAfter = 4;
  StartSim(c);
  Start();
  launch_->StartRingWait();
  ASSERT_TRUE(PumpUntil([&] { return launch_->RingWait() == qv::RingWaitState::Waiting; }));
  const int connections = Sim().Record().connections;
  ASSERT_EQ(launch_->Entries().front().caption, kSignUp);

  WithSignup([&](QWidget* w) {
    EXPECT_EQ(launch_->RingWait(), qv::RingWaitState::Stopped) << "ring-wait pauses while the terminal is open";
    Click(w, "btnConnect");
    ASSERT_TRUE(Settled(w));
    ASSERT_EQ(Requests().size(), 1u);
    EXPECT_EQ(Requests()[0],
              "X-Mailer: Quorvel for Windows v1.0.1 (BRV)\r\nTo: SIGNUP\r\nSubject: DATA\r\nContent-Type: Text/Plain\r\n"
              "\r\nESC:NONE\r\nCHAR:X=99,Y=99\r\nGRAPH:X=999,Y=999\r\nCOLOR:CF\r\n")
        << "the first message, exactly";
    EXPECT_EQ(ShownLines(w), (std::vector<std::string>{Sjis("ようこそ") + PictogramCode(0), Sjis("①新規登録"),
                                                       Sjis("②変更"), Sjis("③解約")}));
    // ③ is clicked and sent.
    ClickLine(w, 3);
    EXPECT_EQ(InputOf(w)->toPlainText(), "3");
    Click(w, "btnCall");
    ASSERT_TRUE(Settled(w));
    ASSERT_EQ(Requests().size(), 2u);
    EXPECT_EQ(Requests()[1], Request("3\r\n"));
    EXPECT_EQ(ShownLines(w), std::vector<std::string>{Sjis("お名前をどうぞ")});
    // Closing while online is refused.
    boxes_.clear();
    ActionOf(w, "actExt")->trigger();
    ASSERT_TRUE(PumpUntil([&] { return !boxes_.empty(); }));
    EXPECT_EQ(boxes_, std::vector<std::string>{"オンラインサインアップを切断してください"});
    EXPECT_TRUE(w->isVisible());
    // A typed name.
    Type(w, QStringLiteral("山田"));
    Click(w, "btnOK");
    // The next page names a Reply-To: an empty request goes to it at once,
    // and the centre closes after the fourth page: the terminal goes offline.
    ASSERT_TRUE(Settled(w));
    EXPECT_FALSE(Online(w));
    ASSERT_EQ(Requests().size(), 4u);
    EXPECT_EQ(Requests()[2], Request(Sjis("山田") + "\r\n"));
    EXPECT_EQ(Requests()[3], Request("", "entry@signup"));
    EXPECT_EQ(ShownLines(w), std::vector<std::string>{Sjis("登録しました")});
    EXPECT_EQ(w->windowTitle(), "VeoQuorvel - オンラインサインアップ");
    EXPECT_TRUE(ActionOf(w, "actConnect")->isEnabled());
  });
  EXPECT_EQ(boxes_, std::vector<std::string>{"オンラインサインアップを切断してください"}) << "and nothing else";
  // The window has closed: ring-wait is back, on a port opened anew.
  ASSERT_TRUE(PumpUntil([&] { return launch_->RingWait() == qv::RingWaitState::Waiting; }));
  EXPECT_EQ(Sim().Record().connections, connections + 2);
  EXPECT_TRUE(launcherBoxes_.empty());
}

// The line lost while the terminal waits for the user; a pulled handset is
// told as the mail sessions tell it, not as the radio's fault.
TEST_F(SignupLauncherTest, TheCarrierLostWhileWaitingIsReportedAndLogged) {
  struct {
    const char* name;
    bool pulled;
    std::string told;
  } table[] = {
      {"the carrier dropped", false, "回線が切断されました。\r\n電波の状態を確認してください。"},
      {"the handset pulled", true, "携帯電話が取り外されました。\r\nケーブルの接続を確認してください。(D00030)"},
  };
  SimConfig c;
  c.signupPages = {PlainPage({"one"})};
  StartSim(c);
  Start();
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    boxes_.clear();
    WithSignup([&](QWidget* w) {
      Click(w, "btnConnect");
      ASSERT_TRUE(Settled(w));
      if (row.pulled) Sim().Unplug();
      else Sim().DropCarrier();
      ASSERT_TRUE(PumpUntil([&] { return !Online(w); }));
      EXPECT_EQ(boxes_, std::vector<std::string>{row.told});
      ASSERT_FALSE(ErrorLog().empty());
      std::string logged = row.told;
      logged.erase(logged.find("\r\n"), 2);
      EXPECT_EQ(ErrorLog().back().substr(19), " : 0570009999 : " + logged);
    });
  }
}

TEST_F(SignupLauncherTest, AHeldPageGoesOnOrEndsWith1130) {
  SimConfig c;
  c.signupPages = {PlainPage({"one"}), PlainPage({"two"}), PlainPage({"three"})};
  c.faults = {{Step::Page, Action::Hold, 2, -1}, {Step::Page, Action::Hold, 3, -1}};
  // A minute without progress passes in a second.
  StartSim(c, 60);
  Start();
  int asked = 0;
  onContinue_ = [&](QDialog* dialog) {
    ++asked;
    if (asked == 1) {
      // 継続: the page that was held comes after all.
      QTest::mouseClick(dialog->findChild<QAbstractButton*>("btnResume"), Qt::LeftButton);
      Sim().ReleaseHeld();
    } else {
      dialog->done(3);  // the dialog's 30 seconds ran out
    }
  };
  WithSignup([&](QWidget* w) {
    Click(w, "btnConnect");
    ASSERT_TRUE(Settled(w));
    Click(w, "btnCall");
    ASSERT_TRUE(Settled(w));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ShownLines(w), std::vector<std::string>{"two"});
    EXPECT_TRUE(boxes_.empty());
    Click(w, "btnCall");
    ASSERT_TRUE(Settled(w));
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(Online(w));
    EXPECT_EQ(boxes_, std::vector<std::string>{"センターからの応答がありません。"});
    const auto closes = Sim().Record().closeCodes;
    EXPECT_NE(std::find(closes.begin(), closes.end(), "1130"), closes.end()) << "the close line says [1130]";
    EXPECT_EQ(ErrorLog().back().substr(19), " : 0570009999 : センターからの応答がありません。");
  });
}

TEST_F(SignupLauncherTest, ALauncherWhoseSignUpModuleCannotBeBoundShowsWhyAndEnds) {
  for (const char* file : {"Quorvel", "libqvplatform.so", "Message.txt"})
    std::filesystem::copy_file(qvtest::AppDir() / file, dir() / file, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::copy_file(QV_SIGNUP_TEST_MODULES "/KwxNoVersion.so", dir() / "KwxNoVersion.so");
  struct Case {
    const char* name;
    const char* module;
  } cases[] = {{"no module named", ""}, {"a module that is missing", "NoSuchKwx.so"},
               {"a module lacking a name", "KwxNoVersion.so"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Ini("File|OnlineSignUpDllFile", c.module);
    const qvtest::LauncherRun run = qvtest::RunLauncher(dir() / "Quorvel", QV_BOX_LOG_MODULE);
    EXPECT_TRUE(run.ended) << "the launcher kept running";
    EXPECT_TRUE(run.normalExit);
    EXPECT_EQ(run.boxes, "DLLの読み込みに失敗しました\n");
  }
}

}  // namespace
