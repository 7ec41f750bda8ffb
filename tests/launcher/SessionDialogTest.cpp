// The session dialog: the event queue the launcher fills, the shared poll,
// the abort button and the progress display.
#include "LauncherFixture.h"
#include "core/ui/QtText.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

using namespace qvtest;
using qv::SessionMode;
using qv::SessionResult;

namespace {
using PostFn = void (*)(uint32_t, const int32_t*, int32_t);
}

TEST_F(LauncherTest, EventsPostedByTheModuleReachTheQueueInOrderOnTheGuiThread) {
  Start();
  auto post = reinterpret_cast<PostFn>(ModuleSymbol("TestSerial.so", "TestPostEvents"));
  ASSERT_NE(post, nullptr);
  const int32_t pairs[] = {0, 31, 1, 7, 9, 1130, 8, 41};
  post(launch_->Handle(), pairs, 4);
  EXPECT_TRUE(connecting_->Events().empty()) << "nothing arrives outside the event loop";
  QApplication::processEvents();
  EXPECT_EQ(std::vector<std::string>(connecting_->Events().begin(), connecting_->Events().end()),
            (std::vector<std::string>{"0=31", "1=7", "9=1130", "8=41"}));
}

TEST_F(LauncherTest, ThePollShowsProgressHandsOnTheRestAndEndsWhereTheSessionSays) {
  Start();
  std::vector<std::pair<int, int>> handled;
  QString caption;
  qv::TfrmConnecting::SetSessionRunner([&](qv::TfrmConnecting& d, SessionMode) {
    auto post = reinterpret_cast<PostFn>(ModuleSymbol("TestSerial.so", "TestPostEvents"));
    const int32_t pairs[] = {0, 31, 1, 1, 3, 100, 8, 31, 1, 99};
    post(launch_->Handle(), pairs, 5);
    d.AddEvent(7, 7);
    auto end = d.Poll([&](int kind, int code) {
      handled.emplace_back(kind, code);
      return kind == 8;
    });
    caption = d.pnlConnect->GetCaption();
    EXPECT_EQ(end, qv::TfrmConnecting::PollEnd::Handled);
    return SessionResult::Done;
  });
  EXPECT_TRUE(launch_->RunMailSession(true, false, false, false, false));
  EXPECT_EQ(handled, (std::vector<std::pair<int, int>>{{7, 7}, {1, 1}, {3, 100}, {8, 31}}));
  EXPECT_EQ(caption.toStdString(), "接続しています") << "progress (0, 31) shows I00031";
  EXPECT_EQ(qv::ToQString(launch_->StatusText()).toStdString(), "接続しています");
  EXPECT_FALSE(connecting_->isVisible());
}

TEST_F(LauncherTest, AbortDisconnectsAndEndsThePollAtOnce) {
  Start();
  qv::TfrmConnecting::PollEnd end = qv::TfrmConnecting::PollEnd::Handled;
  int handledAfterAbort = 0;
  qv::TfrmConnecting::SetSessionRunner([&](qv::TfrmConnecting& d, SessionMode) {
    // The click comes once the poll's loop runs.
    QTimer::singleShot(0, d.btnAbort, &QPushButton::click);
    end = d.Poll([&](int, int) { return false; });
    d.AddEvent(1, 1);
    d.AddEvent(1, 2);
    return d.Aborted() ? SessionResult::Aborted : SessionResult::Done;
  });
  EXPECT_FALSE(launch_->RunInfoRead(8));
  EXPECT_EQ(end, qv::TfrmConnecting::PollEnd::Aborted);
  EXPECT_EQ(CallsOf("serial kwxDisconnect"), (std::vector<std::string>{"serial kwxDisconnect 10"}));
  // The next showing starts clean.
  qv::TfrmConnecting::SetSessionRunner([&](qv::TfrmConnecting& d, SessionMode) {
    handledAfterAbort = static_cast<int>(d.Events().size()) + (d.Aborted() ? 100 : 0);
    return SessionResult::Done;
  });
  EXPECT_TRUE(launch_->RunInfoRead(8));
  EXPECT_EQ(handledAfterAbort, 0);
}

TEST_F(LauncherTest, ASendSessionWithAnEmptyQueueMakesNoCallAndIsDone) {
  Start();
  EXPECT_FALSE(launch_->RunMailSession(false, false, false, false, false)) << "neither send nor receive";
  EXPECT_TRUE(CallsOf("serial kwxInitial").empty()) << "no dialog, no session";
  EXPECT_TRUE(launch_->RunMailSession(true, false, false, false, false));
  EXPECT_EQ(connecting_->result(), int(SessionResult::Done));
  EXPECT_EQ(CallsOf("serial kwxInitial").size(), 1u);
  EXPECT_TRUE(CallsOf("serial kwxConnect").empty());
  EXPECT_EQ(connecting_->windowTitle().toStdString(), "VeoQuorvel - 通信中");
}

TEST_F(LauncherTest, ProgressCountAndSizeFollowTheirRules) {
  Start();
  qv::TfrmConnecting& d = *connecting_;
  d.show();
  struct Case {
    int max, i;
    bool pending;
    int bar;
    const char* count;
  } cases[] = {
      {5, 0, true, 0, "0/5 件"},  {5, 1, true, 0, "1/5 件"}, {5, 3, false, 3, "3/5 件"},
      {5, 6, true, 4, ""},        {5, 6, false, 5, ""},     {5, 5, true, 4, "5/5 件"},
  };
  for (const Case& c : cases) {
    d.SetProgressMax(c.max);
    EXPECT_EQ(d.lblCount->text().toStdString(), "0/" + std::to_string(c.max) + " 件");
    d.SetProgress(c.i, c.pending);
    EXPECT_EQ(d.pbConnect->value(), c.bar) << c.i << c.pending;
    EXPECT_EQ(d.lblCount->text().toStdString(), c.count) << c.i << c.pending;
  }
  d.SetProgressMax(0);
  EXPECT_TRUE(d.pbConnect->isHidden());
  EXPECT_TRUE(d.lblCount->isHidden());
  d.SetProgress(3, false);
  EXPECT_EQ(d.pbConnect->value(), 4) << "a hidden bar does not move";
  ASSERT_EQ(d.aniWait->FrameCount(), 2);
  ASSERT_EQ(d.aniWait->ShownFrame(), 0);
  d.SetSize(6144);
  EXPECT_EQ(d.lblSize->text().toStdString(), "6144Byte");
  EXPECT_EQ(d.aniWait->ShownFrame(), 1) << "the wait picture flips at each size";
  d.SetSize(7000);
  EXPECT_EQ(d.aniWait->ShownFrame(), 0) << "and back";
  d.SetSize(0);
  EXPECT_EQ(d.lblSize->text().toStdString(), "");
  EXPECT_EQ(d.aniWait->ShownFrame(), 0) << "no bytes, no flip";
  EXPECT_FALSE(d.aniWait->Timer().isActive()) << "it flips, it does not play";
  d.lblTel->setText(QStringLiteral("07012345678"));
  d.pnlConnect->SetCaption(QStringLiteral("メールを受信しています"));
  d.SetProgressMax(3);
  d.SetProgress(2, true);
  d.SetSize(2048);
  ASSERT_TRUE(d.grab().save(QString::fromStdString(ArtifactPath("launcher-session-dialog.png").string())));
  d.hide();
}

// Neither the notice window nor the session dialog can be maximised: no
// maximise button is asked for and their size is fixed.
TEST_F(LauncherTest, TheNoticeAndTheSessionDialogCannotBeMaximised) {
  Start();
  launch_->ShowNotice("x", true);
  for (QWidget* w : {static_cast<QWidget*>(notice_.get()), static_cast<QWidget*>(connecting_.get())}) {
    SCOPED_TRACE(w->objectName().toStdString());
    EXPECT_FALSE(w->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    EXPECT_TRUE(w->windowFlags() & Qt::WindowCloseButtonHint);
  }
}

TEST_F(LauncherTest, TheListingShowsThePagesAndMailsSoFarAndABarThatShowsWorkGoesOn) {
  Start();
  qv::TfrmConnecting& d = *connecting_;
  d.show();
  d.SetProgressMax(0);
  d.ShowListing(0, 0);
  EXPECT_TRUE(d.pbConnect->isVisible());
  EXPECT_TRUE(d.lblCount->isVisible());
  EXPECT_EQ(d.pbConnect->maximum(), 0) << "no total is known: a busy bar";
  EXPECT_EQ(d.lblCount->text().toStdString(), "一覧 0 ページ  0 件");
  d.ShowListing(3, 69);
  EXPECT_EQ(d.lblCount->text().toStdString(), "一覧 3 ページ  69 件");
  d.lblTel->setText(QStringLiteral("0570001234"));
  d.pnlConnect->SetCaption(QStringLiteral("メール一覧を受信しています"));
  d.SetSize(2048);
  const QImage shot = d.grab().toImage();
  ASSERT_TRUE(shot.save(QString::fromStdString(ArtifactPath("launcher-session-dialog-listing.png").string())));
  EXPECT_TRUE(shot.rect().contains(d.lblCount->geometry())) << "the count lies inside the dialog";
  EXPECT_LE(d.lblCount->sizeHint().width(), d.lblCount->width()) << "and is not cut short";
  // The fetch that follows counts the listed mails.
  d.SetProgressMax(69);
  EXPECT_EQ(d.pbConnect->maximum(), 69);
  EXPECT_EQ(d.lblCount->text().toStdString(), "0/69 件");
  d.hide();
}
