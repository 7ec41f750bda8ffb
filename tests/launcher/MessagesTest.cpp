// Message ids, the message file, the error log, notices and sounds.
#include "LauncherFixture.h"
#include "QtPump.h"
#include "core/ui/QtText.h"
#include "launcher/QvMessageFRM.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <set>
#include <QTimer>
#include <regex>
#include <sys/stat.h>

using namespace qvtest;
using qv::BoxKind;

namespace {

struct ReportCase {
  const char* id;
  bool show;
  const char* status;  // expected status line (UTF-8); "" = idle caption
  int box;             // -1 none, else BoxKind
  const char* box_text;
  const char* notice;  // expected notice text lines joined by \n, nullptr = none
  const char* logged;  // text of the log line, nullptr = not logged
};

std::string Utf8(const std::string& cp932) { return qv::ToQString(cp932).toStdString(); }

}  // namespace

class ReportTest : public LauncherTest {};

TEST_F(ReportTest, EachKindOfIdGoesToItsPlaces) {
  const ReportCase cases[] = {
      {"I00101", false, "ポートが見つかりました", -1, nullptr, nullptr, nullptr},
      {"i00101", true, "ポートが見つかりました", int(BoxKind::Information), "ポートが見つかりました", nullptr, nullptr},
      {"W01005", true, "", int(BoxKind::Warning), "メールはありません\r\n後で確かめてください", nullptr, nullptr},
      {"W01005", false, "", -1, nullptr, "  メールはありません\n  後で確かめてください", nullptr},
      {"D00030", false, "", -1, nullptr, nullptr, "携帯電話が外れました(D00030)"},
      {"D00030", true, "", -1, nullptr, "  携帯電話が外れました(D00030)", "携帯電話が外れました(D00030)"},
      {"E01130", true, "", -1, nullptr, "  応答がありません\n  やり直してください", "応答がありませんやり直してください"},
      {"e00123", true, "", -1, nullptr, "  通信が中断されました。(00123)", "通信が中断されました。(00123)"},
      {"E00520", true, "", -1, nullptr, nullptr, "直送メールを拒否しました"},
      {"free text", true, "", -1, nullptr, "  free text", "free text"},
      // A text that begins with an id's letter is still a text.
      {"Email centre unknown", true, "", -1, nullptr, "  Email centre unknown", "Email centre unknown"},
      {"W0100", true, "", -1, nullptr, "  W0100", "W0100"},
      {"", true, "ＶｅｏＱｕｏｒｖｅｌ", -1, nullptr, nullptr, nullptr},
  };
  WriteIni({{"Environment|ShowMessage", "0"}});  // forced notices show all the same
  Start();
  notice_->tmrWait->setInterval(1);
  for (const ReportCase& c : cases) {
    SCOPED_TRACE(c.id + std::string(c.show ? " shown" : " not shown"));
    launch_->SetStatus(J("前の表示"));
    notice_->hide();
    boxes_.clear();
    std::filesystem::remove(dir_ / "Error.log");
    std::string text = launch_->ReportMessage(c.id, c.show);
    std::string status = c.status[0] ? c.status : "ＶｅｏＱｕｏｒｖｅｌ";
    if (c.id[0] == 0) status = "前の表示";
    EXPECT_EQ(Utf8(launch_->StatusText()), status);
    if (c.box < 0) {
      EXPECT_TRUE(boxes_.empty());
    } else {
      ASSERT_EQ(boxes_.size(), 1u);
      EXPECT_EQ(int(boxes_[0].first), c.box);
      EXPECT_EQ(Utf8(boxes_[0].second), c.box_text);
    }
    if (c.notice) {
      EXPECT_TRUE(notice_->isVisible());
      EXPECT_EQ(notice_->MessageText().toStdString(), c.notice);
    } else {
      EXPECT_FALSE(notice_->isVisible());
    }
    auto lines = ErrorLogLines();
    if (c.logged) {
      ASSERT_EQ(lines.size(), 1u);
      static const std::regex stamp(R"(^\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2} :  : (.*)$)");
      std::smatch m;
      ASSERT_TRUE(std::regex_match(lines[0], m, stamp)) << lines[0];
      EXPECT_EQ(Utf8(m[1]), c.logged);
    } else {
      EXPECT_TRUE(lines.empty());
    }
  }
}

TEST_F(ReportTest, LogLinesCarryThePeerNumberAndTheLogStaysAt100Lines) {
  std::string old;
  for (int i = 0; i < 150; ++i) old += "2000/01/01 00:00:00 :  : old " + std::to_string(i) + "\r\n";
  WriteFile(dir_ / "Error.log", old);
  Start();
  launch_->SetPeerNumber("0901234##3");
  launch_->ReportMessage("D00030", false);
  auto lines = ErrorLogLines();
  ASSERT_EQ(lines.size(), 100u);
  EXPECT_NE(lines.back().find(" : 0901234 : "), std::string::npos) << lines.back();
  EXPECT_EQ(lines.front(), "2000/01/01 00:00:00 :  : old 51");
  launch_->ReportMessage("E00520", false);
  lines = ErrorLogLines();
  ASSERT_EQ(lines.size(), 100u);
  EXPECT_EQ(lines.front(), "2000/01/01 00:00:00 :  : old 52");
}

TEST_F(ReportTest, ANewNoticeWaitsUntilTheFirstHasBeenUpItsMinimumTime) {
  Start();
  notice_->tmrWait->setInterval(50);
  launch_->ShowNotice(J("一つ目"), true);
  ASSERT_TRUE(notice_->isVisible());
  // What the notice shows when its minimum time is up.
  QString seenAtTheEnd;
  bool visibleAtTheEnd = false;
  QObject::connect(notice_->tmrWait, &QTimer::timeout, [&] {
    seenAtTheEnd = notice_->MessageText();
    visibleAtTheEnd = notice_->isVisible();
  });
  launch_->ReportMessage("W01005", false);  // closes the first notice, then shows its own
  EXPECT_EQ(seenAtTheEnd.toStdString(), "  一つ目") << "the report waited for the first notice's time";
  EXPECT_TRUE(visibleAtTheEnd);
  EXPECT_TRUE(notice_->isVisible());
  EXPECT_EQ(notice_->MessageText().toStdString(), "  メールはありません\n  後で確かめてください");
  EXPECT_TRUE(notice_->tmrWait->isActive());
  ASSERT_TRUE(notice_->grab().save(QString::fromStdString(ArtifactPath("launcher-notice.png").string())));
}

TEST_F(ReportTest, NoticesFollowTheSettingUnlessForcedAndSizeToTheirText) {
  WriteIni({{"Environment|ShowMessage", "0"}});
  Start();
  launch_->ShowNotice("quiet", false);
  EXPECT_FALSE(notice_->isVisible());
  launch_->ShowNotice("forced", true);
  EXPECT_TRUE(notice_->isVisible());
  EXPECT_EQ(notice_->windowTitle().toStdString(), "メッセージ");
  EXPECT_TRUE(notice_->windowFlags() & Qt::WindowStaysOnTopHint);
  const int oneLine = notice_->height();
  EXPECT_EQ(notice_->width(), 140 + 64) << "short texts get the minimum width";
  notice_->SetMessage(std::string(80, 'W') + "\r\nsecond\r\nthird");
  EXPECT_GT(notice_->width(), 204);
  EXPECT_EQ(notice_->height() - oneLine, 2 * QFontMetrics(notice_->pnlMsg->font()).boundingRect("A").height());
}

// Notices differ in width and height; each sits with its bottom-right corner
// where the last one's was: first the screen's corner, then where the user
// moved one to.
TEST_F(ReportTest, NoticesOfAnySizeSitAtTheCornerOfTheLastOne) {
  Start();
  notice_->tmrWait->setInterval(5);
  const QRect work = launch_->screen()->availableGeometry();
  launch_->ShowNotice(std::string(30, 'W') + "\r\nwide\r\nand\r\ntall", true);
  const QRect wide = notice_->geometry();
  EXPECT_EQ(wide.bottomRight(), work.bottomRight());
  launch_->CloseNotice();
  launch_->ShowNotice("narrow", true);
  EXPECT_LT(notice_->width(), wide.width());
  EXPECT_EQ(notice_->geometry().bottomRight(), work.bottomRight()) << "not where the wide one's left edge was";

  notice_->setGeometry(notice_->geometry().translated(-100, -50));
  const QPoint moved = notice_->geometry().bottomRight();
  launch_->CloseNotice();
  launch_->ShowNotice(std::string(20, 'W') + "\r\ntwo lines", true);
  EXPECT_EQ(notice_->geometry().bottomRight(), moved);
  notice_->SetMessage("replaced while it shows");
  EXPECT_EQ(notice_->geometry().bottomRight(), moved);
}

TEST_F(ReportTest, TheOkButtonClosesTheNotice) {
  Start();
  launch_->ShowNotice("x", true);
  notice_->btnOK->click();
  EXPECT_FALSE(notice_->isVisible());
}

class SoundTest : public LauncherTest {
 protected:
  void SetUp() override {
    LauncherTest::SetUp();
    qv::TfrmLaunch::SetSoundPlayer([this](const std::filesystem::path& p) { played_.push_back(p.filename().string()); });
    WriteFile(dir_ / "sent.wav", "RIFF");
    WriteFile(dir_ / "ring.wav", "RIFF");
  }
  std::vector<std::string> played_;
};

TEST_F(SoundTest, SoundsPlayOnlyWhenEnabledAndPresent) {
  struct Case {
    const char* play;
    const char* sentFile;
    std::vector<std::string> expected;
  } cases[] = {
      {"1", "sent.wav", {"sent.wav", "ring.wav"}},
      {"0", "sent.wav", {}},
      {"1", "missing.wav", {"ring.wav"}},
  };
  for (const Case& c : cases) {
    WriteIni({{"Environment|PlaySound", c.play}, {"Environment|Vibration", "0"},
              {"File|PBSoundFile", c.sentFile}, {"File|RingSoundFile", "ring.wav"}});
    Start();
    played_.clear();
    launch_->PlaySentSound();
    launch_->PlayArrivalAlert();
    EXPECT_EQ(played_, c.expected) << c.play << " " << c.sentFile;
    Stop();
  }
}

// Reports every move of the window it watches.
class MoveWatcher : public QObject {
 public:
  explicit MoveWatcher(std::function<void(QPoint)> moved) : moved_(std::move(moved)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Move) moved_(static_cast<QWidget*>(watched)->pos());
    return false;
  }

 private:
  std::function<void(QPoint)> moved_;
};

TEST_F(SoundTest, TheVibrationShakesTheWindowAndPutsItBack) {
  for (const char* vibration : {"1", "0"}) {
    WriteIni({{"Environment|Vibration", vibration}, {"Environment|PlaySound", "0"}});
    Start();
    launch_->show();
    launch_->move(300, 200);
    QApplication::processEvents();
    const QPoint origin = launch_->pos();
    // Every place the window is moved to.
    std::set<std::pair<int, int>> places;
    MoveWatcher watcher([&](QPoint p) { places.insert({p.x(), p.y()}); });
    launch_->installEventFilter(&watcher);
    launch_->PlayArrivalAlert();
    ASSERT_TRUE(DrainPosted());
    launch_->removeEventFilter(&watcher);
    places.erase({origin.x(), origin.y()});
    EXPECT_EQ(launch_->pos(), origin);
    if (vibration[0] == '1') {
      EXPECT_GT(places.size(), 2u) << "the window moved around its place";
    } else {
      EXPECT_TRUE(places.empty());
    }
    for (auto [x, y] : places) {
      EXPECT_LE(std::abs(x - origin.x()), 42);
      EXPECT_LE(std::abs(y - origin.y()), 42);
    }
    Stop();
  }
}

TEST_F(LauncherTest, TheErrorLogViewerShowsTheLogAndNothingWithoutOne) {
  Start();
  bool shown = false;
  QTimer::singleShot(0, [&] { shown = QApplication::activeModalWidget() != nullptr; if (auto* w = QApplication::activeModalWidget()) w->close(); });
  launch_->ShowErrorLog();
  QApplication::processEvents();
  EXPECT_FALSE(shown) << "no log, no viewer";

  WriteFile(dir_ / "Error.log", J("2003/01/05 09:07:03 : 070 : 一行目\r\n2003/01/05 09:07:04 :  : 二行目\r\n"));
  QString title, text;
  QTimer::singleShot(0, [&] {
    auto* viewer = qobject_cast<qv::TfrmMessage*>(QApplication::activeModalWidget());
    ASSERT_NE(viewer, nullptr);
    title = viewer->windowTitle();
    text = viewer->memMessage->toPlainText();
    EXPECT_TRUE(viewer->memMessage->isReadOnly());
    viewer->btnOK->click();
  });
  launch_->actErrorLog->trigger();
  EXPECT_EQ(title.toStdString(), "VeoQuorvel - エラーログ");
  EXPECT_EQ(text.toStdString(), "2003/01/05 09:07:03 : 070 : 一行目\n2003/01/05 09:07:04 :  : 二行目");
}
