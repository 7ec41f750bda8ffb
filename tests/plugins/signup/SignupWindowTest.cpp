// The sign-up terminal window against the built KWX.so and the simulated
// sign-up centre: pages kept and shown, requests as the centre receives
// them, reports and the error log, and how the screen looks.
#include "SignupWindowFixture.h"
#include "QtPump.h"

#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "platform/Cp932.h"
#include "platform/Handles.h"
#include "plugins/signup/QvSignupFRM.h"
#include "plugins/signup/SignupPageList.h"

#include "controls/AnimationImage.h"
#include "controls/BRVPanelEX.h"
#include "controls/MultiButton.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>

using namespace signuptest;
using handsetsim::SimConfig;

namespace {

class SignupWindowTest : public signuptest::SignupWindowTest {
 protected:
  // Connects and waits until the first page is shown and the terminal is ready.
  void Connect() {
    ASSERT_TRUE(window_->actConnect->isEnabled());
    window_->actConnect->trigger();
    ASSERT_TRUE(PumpUntil([&] { return !window_->Busy(); })) << Describe();
    ASSERT_TRUE(window_->Online());
    ASSERT_GE(window_->History().Count(), 1);
  }
  // Sends what the input holds and waits for the next page.
  void SendAndWait(QAction* action = nullptr) {
    const size_t requests = Sim().Record().signupRequests.size();
    (action ? action : window_->actCall)->trigger();
    ASSERT_TRUE(PumpUntil([&] { return !window_->Busy(); })) << Describe();
    ASSERT_EQ(Sim().Record().signupRequests.size(), requests + 1) << Describe();
  }
  std::string Describe() const {
    return "online " + std::to_string(window_->Online()) + " busy " + std::to_string(window_->Busy()) + " pages " +
           std::to_string(window_->History().Count());
  }
  std::vector<std::string> Requests() { return Sim().Record().signupRequests; }
};

const std::string kChoices = DecoratedPage({Sjis("ようこそ<#HEART>"), Sjis("①新規登録<#STAR>"), Sjis("②変更"),
                                            Sjis("③解約"), Sjis("12⇒その他")});

TEST_F(SignupWindowTest, PagesAreKeptWithWhatWasSentAndTheOldestGoes) {
  Ini("Environment|MaxLogCount", "3");
  SimConfig c;
  c.signupPages = {kChoices, PlainPage({"two"}), PlainPage({"three"}), PlainPage({"four"})};
  StartSim(c);
  auto& w = Open();
  Connect();
  EXPECT_EQ(Requests().front(), Request("ESC:NONE\r\nCHAR:X=99,Y=99\r\nGRAPH:X=999,Y=999\r\nCOLOR:CF\r\n"));
  ClickLine(&w, 2);
  EXPECT_EQ(w.memInput->toPlainText(), "2") << "the choice of the line clicked";
  SendAndWait();
  Type(&w, "abc");
  SendAndWait(w.actOK);
  SendAndWait();  // nothing typed
  EXPECT_EQ(Requests(), (std::vector<std::string>{Requests()[0], Request("2\r\n"), Request("abc\r\n"), Request("")}));
  ASSERT_EQ(w.History().Count(), 3) << "the fourth page dropped the first";
  EXPECT_EQ(w.History()[0].text, PlainPage({"two"}));
  EXPECT_EQ(w.History()[0].sent, "abc");
  EXPECT_EQ(w.ShownIndex(), 2);
  EXPECT_EQ(ShownLines(&w), std::vector<std::string>{"four"});
  // Back: the older page with what was sent from it, read-only.
  ASSERT_TRUE(w.actBack->isEnabled());
  EXPECT_FALSE(w.actForward->isEnabled());
  w.actBack->trigger();
  w.actBack->trigger();
  EXPECT_EQ(w.ShownIndex(), 0);
  EXPECT_EQ(ShownLines(&w), std::vector<std::string>{"two"});
  EXPECT_EQ(w.memInput->toPlainText(), "abc");
  EXPECT_TRUE(w.memInput->isReadOnly());
  EXPECT_FALSE(w.actCall->isEnabled()) << "nothing is sent from an older page";
  EXPECT_FALSE(w.actBack->isEnabled());
  w.actForward->trigger();
  w.actForward->trigger();
  EXPECT_EQ(w.ShownIndex(), 2);
  EXPECT_FALSE(w.memInput->isReadOnly());
  EXPECT_TRUE(w.actCall->isEnabled());
}

TEST_F(SignupWindowTest, AHistoryOfNoPagesKeepsOne) {
  Ini("Environment|MaxLogCount", "0");
  SimConfig c;
  c.signupPages = {PlainPage({"one"}), PlainPage({"two"})};
  StartSim(c);
  auto& w = Open();
  Connect();
  SendAndWait();
  EXPECT_EQ(w.History().Count(), 1);
  EXPECT_EQ(ShownLines(&w), std::vector<std::string>{"two"});
  EXPECT_FALSE(w.actBack->isEnabled());
}

TEST_F(SignupWindowTest, TypedInputToRequestBytes) {
  SimConfig c;
  c.signupPages = {PlainPage({"type"})};
  StartSim(c);
  auto& w = Open();
  Connect();
  const std::string head = Request("");
  // A body whose cut falls on a double-byte character.
  std::string prefix;
  while ((2302 - head.size() - prefix.size()) % 4 != 1) prefix += 'x';
  QString kana;
  for (int i = 0; i < 600; ++i) kana += QStringLiteral("あ\n");
  QString dots;
  for (int i = 0; i < 900; ++i) dots += QStringLiteral(".\n");
  struct Case {
    const char* name;
    QString typed;
    bool sent;
    std::string request;
  } cases[] = {
      {"a line . goes as ..", ".", true, Request("..\r\n")},
      {"lines with dots and an empty one", "a\n\n.b", true, Request("a\r\n\r\n..b\r\n")},
      {"kanji", QStringLiteral("山田太郎"), true, Request(Sjis("山田太郎") + "\r\n")},
      {"half-width katakana is refused", QStringLiteral("ﾔﾏﾀﾞ"), false, ""},
      {"a character CP932 lacks is refused, not replaced", QStringLiteral("a😀"), false, ""},
      {"a user-defined code is refused", QString(QChar(0xE000)), false, ""},
      {"a tab is refused", "a\tb", false, ""},
      {"over 2,304 bytes is cut", dots, true, ""},
      {"the cut never splits a character", QString::fromStdString(prefix) + kana, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    boxes_.clear();
    w.memInput->setPlainText(c.typed);
    const size_t before = Requests().size();
    if (!c.sent) {
      w.actCall->trigger();
      EXPECT_FALSE(w.Busy());
      ASSERT_EQ(boxes_.size(), 1u);
      EXPECT_EQ(boxes_[0], "入力できない文字が含まれています。\r\n半角カナや絵文字は送信できません。");
      continue;
    }
    SendAndWait();
    ASSERT_EQ(Requests().size(), before + 1);
    const std::string got = Requests().back();
    EXPECT_TRUE(boxes_.empty());
    if (!c.request.empty()) {
      EXPECT_EQ(got, c.request);
      continue;
    }
    // Cut: whole characters of the request, then a line break, within 2,304 bytes.
    std::string full;
    ASSERT_TRUE(qv::TryFromQString(c.typed, full));
    std::vector<std::string> lines;
    for (size_t at = 0;;) {
      const size_t br = full.find('\n', at);
      lines.push_back(full.substr(at, br == std::string::npos ? std::string::npos : br - at));
      if (br == std::string::npos) break;
      at = br + 1;
    }
    const std::string request = qv::signup::RequestText("SIGNUP", lines);
    ASSERT_LE(got.size(), 2304u);
    ASSERT_GE(got.size(), 2300u);
    EXPECT_EQ(got.substr(got.size() - 2), "\r\n");
    EXPECT_EQ(got.substr(0, got.size() - 2), request.substr(0, got.size() - 2));
    EXPECT_FALSE(qv::cp932::IsTrailPosition(request, got.size() - 2)) << "no character was split";
  }
  // The refused ones sent nothing in between: the requests are the accepted ones in order.
  EXPECT_EQ(Requests().size(), 6u);
}

TEST_F(SignupWindowTest, ReportsAndTheErrorLog) {
  struct Case {
    const char* name;
    const char* limit;  // "MaxErrLogCount:", null for none
    size_t kept;
  } cases[] = {{"no limit keeps 100", nullptr, 100}, {"0 keeps 100", "0", 100}, {"-5 keeps 100", "-5", 100},
               {"3 keeps 3", "3", 3},              {"200 keeps all", "200", 151}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.limit)
      Ini("Environment|MaxErrLogCount:", c.limit);
    else
      RemoveIni("Environment|MaxErrLogCount:");
    // 150 lines the launcher wrote.
    std::string old;
    for (int i = 1; i <= 150; ++i) old += "2024/01/01 00:00:00 :  : launcher line " + std::to_string(i) + "\r\n";
    qvtest::WriteFile(dir() / "Error.log", old);
    boxes_.clear();
    window_.reset();
    auto& w = Open();
    ASSERT_TRUE(qv::PostMessage(w.Handle(), 0x0401, 9, 4321));
    ASSERT_TRUE(PumpUntil([&] { return !boxes_.empty(); }));
    EXPECT_EQ(boxes_, std::vector<std::string>{"通信が中断されました。（04321）"});
    const auto log = ErrorLog();
    ASSERT_EQ(log.size(), c.kept);
    EXPECT_EQ(log.back().substr(19), " : 0570009999 : 通信が中断されました。（04321）");
    EXPECT_EQ(log[log.size() - 2], "2024/01/01 00:00:00 :  : launcher line 150");
  }
  // Known codes: E with its text, D with its code; line breaks become one log line.
  boxes_.clear();
  ASSERT_TRUE(qv::PostMessage(window_->Handle(), 0x0401, 9, 1280));
  ASSERT_TRUE(qv::PostMessage(window_->Handle(), 0x0401, 10, 11));
  ASSERT_TRUE(PumpUntil([&] { return boxes_.size() == 2; }));
  EXPECT_EQ(boxes_[0], "回線が切断されました。\r\n電波の状態を確認してください。");
  EXPECT_EQ(boxes_[1], "携帯電話の準備ができていません。\r\nケーブルの接続と電源を確認してください。(D00011)");
  const auto log = ErrorLog();
  EXPECT_EQ(log[log.size() - 2].substr(19), " : 0570009999 : 回線が切断されました。電波の状態を確認してください。");
  // An information code goes to the message panel, nothing to the log.
  ASSERT_TRUE(qv::PostMessage(window_->Handle(), 0x0401, 0, 1));
  ASSERT_TRUE(PumpUntil([&] { return !window_->pnlMessage->GetCaption().isEmpty(); }));
  EXPECT_EQ(window_->pnlMessage->GetCaption(), "サインアップセンターに接続しています。");
  EXPECT_EQ(ErrorLog().size(), log.size());
}

TEST_F(SignupWindowTest, TheModuleMustBeThereWithAllItsNames) {
  struct Case {
    const char* name;
    const char* module;
  } cases[] = {{"no module named", ""}, {"a module that is missing", "NoSuchKwx.so"},
               {"a module lacking a name", "KwxNoVersion.so"}};
  std::filesystem::copy_file(QV_SIGNUP_TEST_MODULES "/KwxNoVersion.so", dir() / "KwxNoVersion.so");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Ini("File|OnlineSignUpDllFile", c.module);
    boxes_.clear();
    window_.reset();
    auto& w = Open();
    EXPECT_EQ(boxes_.front(), "DLLの読み込みに失敗しました");
    EXPECT_FALSE(w.LinkLoaded());
    EXPECT_FALSE(w.actConnect->isEnabled());
  }
}

TEST_F(SignupWindowTest, MissingTablesAreTold) {
  std::filesystem::remove(dir() / "Pictext.txt");
  {
    auto& w = Open();
    ASSERT_TRUE(PumpUntil([&] { return !boxes_.empty(); }));
    EXPECT_EQ(boxes_, std::vector<std::string>{"絵文字がインストールされていません"});
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.PicText().empty());
  }
  boxes_.clear();
  window_.reset();
  std::filesystem::remove(dir() / "Message.txt");
  auto& w = Open();
  ASSERT_TRUE(PumpUntil([&] { return boxes_.size() == 2; }));
  EXPECT_EQ(boxes_[0], "メッセージ情報の読み込みに失敗しました");
  EXPECT_FALSE(w.isVisible()) << "the window closed";
}

TEST_F(SignupWindowTest, TheFirstMessageFileIsShownBeforeTheCall) {
  qvtest::WriteFile(dir() / "first.txt", Sjis("「Online Signup」を押してください\r\n①から選びます\r\n"));
  Ini("File|FirstMessageFile", "first.txt");
  auto& w = Open();
  EXPECT_EQ(ShownLines(&w), (std::vector<std::string>{Sjis("「Online Signup」を押してください"), Sjis("①から選びます")}));
  window_.reset();
  Ini("File|FirstMessageFile", "missing.txt");
  EXPECT_EQ(ShownLines(&Open()), std::vector<std::string>{""}) << "a single blank line";
}

// A double click as the mouse makes it: a click, then the second press.
void DoubleClickLine(QWidget* w, int row) {
  ClickLine(w, row);
  QListWidget* list = PageListOf(w);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

TEST_F(SignupWindowTest, KeysClicksAndDoubleClicks) {
  SimConfig c;
  c.signupPages = {kChoices, PlainPage({"two"}), PlainPage({"three"})};
  StartSim(c);
  auto& w = Open();
  EXPECT_FALSE(w.btnKeys[0]->isEnabled()) << "no keys while offline";
  Connect();
  // The keypad types at the caret.
  w.memInput->setPlainText("12");
  QTextCursor caret = w.memInput->textCursor();
  caret.setPosition(1);
  w.memInput->setTextCursor(caret);
  QTest::mouseClick(w.findChild<QWidget*>("btnNumBtnA"), Qt::LeftButton);
  QTest::mouseClick(w.findChild<QWidget*>("btnNumBtn0"), Qt::LeftButton);
  QTest::mouseClick(w.findChild<QWidget*>("btnNumBtnS"), Qt::LeftButton);
  EXPECT_EQ(w.memInput->toPlainText(), "1*0#2");
  // A line without a choice empties the input; "12⇒" offers 12.
  ClickLine(&w, 0);
  EXPECT_EQ(w.memInput->toPlainText(), "");
  EXPECT_FALSE(w.actOK->isEnabled()) << "nothing to decide on";
  ClickLine(&w, 4);
  EXPECT_EQ(w.memInput->toPlainText(), "12");
  EXPECT_EQ(w.lstMain->selectedItems().size(), 1);
  // Keys on the screen do nothing; entering the input deselects the screen.
  QTest::keyClick(w.lstMain, Qt::Key_Down);
  EXPECT_EQ(w.lstMain->currentRow(), 4);
  w.memInput->setFocus();
  QApplication::setActiveWindow(&w);
  QFocusEvent in(QEvent::FocusIn);
  QApplication::sendEvent(w.memInput, &in);
  EXPECT_TRUE(w.lstMain->selectedItems().isEmpty());
  // A double click with input sends it.
  const size_t before = Requests().size();
  DoubleClickLine(&w, 1);
  ASSERT_TRUE(PumpUntil([&] { return !w.Busy(); }));
  ASSERT_EQ(Requests().size(), before + 1);
  EXPECT_EQ(Requests().back(), Request("1\r\n")) << "the line clicked first put its choice in";
  // On an older page a double click goes back to the newest.
  w.actBack->trigger();
  ASSERT_EQ(w.ShownIndex(), 0);
  DoubleClickLine(&w, 0);
  EXPECT_EQ(w.ShownIndex(), 1);
  EXPECT_EQ(Requests().size(), before + 1) << "nothing was sent from the older page";
}

TEST_F(SignupWindowTest, WithoutAHandsetTheCallEndsWithTheModulesReport) {
  auto& w = Open();  // no simulated handset on the port
  SetClockRate(20);
  w.actConnect->trigger();
  ASSERT_TRUE(PumpUntil([&] { return !w.Online(); }));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].substr(boxes_[0].rfind('(')), "(D00003)");
  EXPECT_FALSE(w.Busy());
  EXPECT_TRUE(w.actConnect->isEnabled()) << "it can be tried again";
  EXPECT_EQ(ErrorLog().back().substr(19, 16), " : 0570009999 : ");
}

TEST_F(SignupWindowTest, APageSetsTheInputMethod) {
  SimConfig c;
  c.signupPages = {PlainPage({"kanji"}), Page({"Content-Type: text/plain", "X-KMAILDX-INPUT: ALPHA"}, {"alpha"}),
                   PlainPage({"unchanged"}), Page({"Content-Type: text/plain", "X-KMAILDX-INPUT: KANJI"}, {"kanji"})};
  StartSim(c);
  auto& w = Open();
  Connect();
  EXPECT_TRUE(w.memInput->testAttribute(Qt::WA_InputMethodEnabled));
  SendAndWait();
  EXPECT_FALSE(w.memInput->testAttribute(Qt::WA_InputMethodEnabled)) << "alphanumeric: no input method";
  EXPECT_TRUE(w.memInput->inputMethodHints() & Qt::ImhPreferLatin);
  SendAndWait();
  EXPECT_FALSE(w.memInput->testAttribute(Qt::WA_InputMethodEnabled)) << "a page without the header changes nothing";
  SendAndWait();
  EXPECT_TRUE(w.memInput->testAttribute(Qt::WA_InputMethodEnabled)) << "kanji: the input method is on";
}

}  // namespace

namespace {

// How many pixels of rect in the picture have colour.
int Count(const QImage& image, const QRect& rect, QRgb colour) {
  int n = 0;
  const QRect r = rect.intersected(image.rect());
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
  return n;
}

// Where row's rectangle of the page list lies in a grab of the window.
QRect RowInWindow(qv::TfrmSignup& w, int row) {
  QListWidget* list = w.lstMain;
  const QRect r = list->visualItemRect(list->item(row));
  return QRect(list->viewport()->mapTo(&w, r.topLeft()), r.size());
}

TEST_F(SignupWindowTest, TheScreenOnlineOnAnOlderPageAndOffline) {
  SimConfig c;
  c.signupPages = {kChoices, PlainPage({Sjis("登録を受け付けました"), "OK"})};
  StartSim(c);
  auto& w = Open();
  // The launcher's theme comes into the banner a moment after showing; it moves while online.
  ASSERT_TRUE(PumpUntil([&] { return !w.aniBanner->GetPicture().isNull(); }));
  EXPECT_FALSE(w.aniBanner->Timer().isActive());
  Connect();
  EXPECT_TRUE(w.aniBanner->Timer().isActive());
  // Online, the newest page, a choice selected.
  ClickLine(&w, 3);
  ASSERT_TRUE(qvtest::DrainPosted());
  QImage shot = w.grab().toImage();
  shot.save(QString::fromStdString(qvtest::ArtifactPath("signup-online.png").string()));
  const QRgb highlight = w.lstMain->palette().color(QPalette::Highlight).rgb();
  const QRect chosen = RowInWindow(w, 3);
  EXPECT_GT(Count(shot, chosen, highlight), chosen.width() * chosen.height() / 2) << "the chosen line is highlighted";
  EXPECT_EQ(Count(shot, RowInWindow(w, 2), highlight), 0);
  // The pictograms are their pictures: the heart's red and the star's yellow.
  const QImage heart = w.imlPicText->Image(0), star = w.imlPicText->Image(4);
  ASSERT_FALSE(heart.isNull());
  auto mostCommon = [](const QImage& img) {
    std::map<QRgb, int> n;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if (qAlpha(img.pixel(x, y)) == 255 && (img.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) ++n[img.pixel(x, y)];
    return std::max_element(n.begin(), n.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
  };
  EXPECT_GT(Count(shot, RowInWindow(w, 0), mostCommon(heart)), 10) << "the heart is drawn in its own colour";
  EXPECT_GT(Count(shot, RowInWindow(w, 1), mostCommon(star)), 10) << "the star too";
  EXPECT_EQ(w.windowTitle(), "VeoQuorvel - オンラインサインアップ - 通信中");

  // An older page: grey, with the choice sent from it inverted.
  SendAndWait();
  w.actBack->trigger();
  ASSERT_TRUE(qvtest::DrainPosted());
  shot = w.grab().toImage();
  shot.save(QString::fromStdString(qvtest::ArtifactPath("signup-older.png").string()));
  const QRect sent = RowInWindow(w, 3);
  EXPECT_GT(Count(shot, sent, qRgb(0x60, 0x60, 0x60)), sent.width() * sent.height() / 2) << "the sent choice inverted";
  EXPECT_GT(Count(shot, RowInWindow(w, 2), qRgb(0x60, 0x60, 0x60)), 5) << "grey text";
  EXPECT_EQ(Count(shot, RowInWindow(w, 2), qRgb(0, 0, 0)), 0) << "no black text on an older page";
  EXPECT_EQ(w.memInput->toPlainText(), "3");

  // Offline: the screen and the input turn pale blue.
  w.actForward->trigger();
  w.actDisconnect->trigger();
  ASSERT_TRUE(PumpUntil([&] { return !w.Online(); }));
  ASSERT_TRUE(qvtest::DrainPosted());
  shot = w.grab().toImage();
  shot.save(QString::fromStdString(qvtest::ArtifactPath("signup-offline.png").string()));
  const QRect screen(w.pnlMain->mapTo(&w, QPoint(0, 0)), w.pnlMain->size());
  EXPECT_GT(Count(shot, screen, qRgb(0xE0, 0xE0, 0xFF)), screen.width() * screen.height() / 2);
  EXPECT_EQ(w.windowTitle(), "VeoQuorvel - オンラインサインアップ");
  EXPECT_FALSE(w.aniBanner->Timer().isActive());
  EXPECT_FALSE(w.memInput->isEnabled());
  EXPECT_TRUE(w.memInput->toPlainText().isEmpty());
}

}  // namespace
