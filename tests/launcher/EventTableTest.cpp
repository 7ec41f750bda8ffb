// The launcher's handler of the serial-link module's events, row by row: each
// kind/code pair is posted on its own to a launcher in a known state (ring-wait
// state, an automatic e-mail receive pending, a marked status line), and what
// it leaves is compared: the ring-wait state and its indicator, the pending
// receive, the status line, the notice, the error log, the sounds and the
// calls into the module.
#include "SessionFixture.h"
#include "controls/BRVPanelEX.h"
#include "controls/MultiButton.h"
#include "platform/TColor.h"

#include <QTimer>

using namespace qvtest;
using qv::RingWaitState;

namespace {

using State = RingWaitState;

// What becomes of the automatic receive pending before the event (3 tries
// left, the retry timer running).
enum class Pending { Kept, Cancelled, Unlimited };

const char* Name(State s) {
  switch (s) {
    case State::Stopped: return "Stopped";
    case State::Waiting: return "Waiting";
    case State::Stopping: return "Stopping";
    case State::Starting: return "Starting";
  }
  return "?";
}

const std::string kMarker = "(status before the event)";
const std::string kIdle = "ＶｅｏＱｕｏｒｖｅｌ";

struct Row {
  State before;
  Ev event;
  State after;
  Pending pending;
  std::string status;  // the status line after it (UTF-8)
  std::string notice;  // the last notice shown, empty for none
  std::string logged;  // the error log's one new line ends with it, empty for none
  int disconnects;     // kwxDisconnect(99999)
  bool sound;          // the arrival sound
  bool inbox;          // the mail plug-in told of its inbox
};

class EventTableTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    StartSession();
  }

  // The state before each row.
  void Prepare(const Row& row) {
    CloseNoticeWindow();
    std::filesystem::remove(dir_ / "Error.log");
    // An automatic receive pending: the notice's 3 tries, the retry timer running.
    SetParam(3, "0570005555:0570007777:3:5");
    ASSERT_TRUE(launch_->HandleIncoming(2));
    launch_->tmrEmailAuto->start(600000);
    ASSERT_EQ(launch_->AutoReceiveCount(), 3);
    // Ring-wait as the module leaves it: started and armed, started, or stopped.
    if (launch_->RingWait() != State::Stopped) launch_->StopRingWait(true);
    if (row.before != State::Stopped) {
      QueueReply("kwxWaitForRing", row.before == State::Waiting ? std::vector<Ev>{{0, 26}, {1, 9}} : std::vector<Ev>{});
      launch_->ToggleRingWait();
      ASSERT_TRUE(DrainPosted());
    }
    ASSERT_EQ(launch_->RingWait(), row.before);
    launch_->SetStatus(J(kMarker));
    ASSERT_TRUE(DrainPosted());
    CloseNoticeWindow();
    std::filesystem::remove(dir_ / "Error.log");
    sounds_.clear();
    TakeCalls();
  }

  void Check(const Row& row, size_t noticesBefore) {
    EXPECT_EQ(launch_->RingWait(), row.after);
    const auto look = Look(row.after);
    EXPECT_EQ(launch_->pnlRing->GetColor(), look.colour);
    EXPECT_EQ(launch_->pnlRing->GetCaption().toStdString(), look.caption);
    EXPECT_EQ(launch_->btnRing->GetCaption().toStdString(), look.button);
    switch (row.pending) {
      case Pending::Kept:
        EXPECT_EQ(launch_->AutoReceiveCount(), 3);
        EXPECT_TRUE(launch_->tmrEmailAuto->isActive());
        break;
      case Pending::Cancelled:
        EXPECT_EQ(launch_->AutoReceiveCount(), 0);
        EXPECT_FALSE(launch_->tmrEmailAuto->isActive());
        break;
      case Pending::Unlimited:
        EXPECT_EQ(launch_->AutoReceiveCount(), 0);
        EXPECT_TRUE(launch_->tmrEmailAuto->isActive());
        break;
    }
    EXPECT_EQ(launch_->StatusText(), J(row.status));
    const auto notices = NoticeTexts();
    const std::string last = notices.size() > noticesBefore ? notices.back() : std::string();
    EXPECT_EQ(last, row.notice);
    const auto log = ErrorLogLines();
    if (row.logged.empty()) {
      EXPECT_TRUE(log.empty()) << ErrorLogText();
    } else {
      ASSERT_EQ(log.size(), 1u) << ErrorLogText();
      EXPECT_TRUE(log[0].ends_with(" : " + J(row.logged))) << log[0];
    }
    EXPECT_EQ(static_cast<int>(CallsOf("serial kwxDisconnect 99999").size()), row.disconnects);
    EXPECT_EQ(CallsOf("serial kwxDisconnect").size(), CallsOf("serial kwxDisconnect 99999").size());
    EXPECT_EQ(sounds_, row.sound ? std::vector<std::string>{"ring.wav"} : std::vector<std::string>{});
    EXPECT_EQ(CallsOf("TestMail SetStr"),
              row.inbox ? std::vector<std::string>{"TestMail SetStr 1 " + J("受信簿") + " 7"}
                        : std::vector<std::string>{});
    EXPECT_TRUE(boxes_.empty());
  }

  struct Indicator {
    TColor colour;
    std::string caption, button;
  };
  static Indicator Look(State s) {
    switch (s) {
      case State::Stopped: return {clRed, "待受停止", "待受開始"};
      case State::Waiting: return {clGreen, "待受中", "待受停止"};
      default: return {clYellow, "", "待受停止"};
    }
  }
};

TEST_F(EventTableTest, EachEventOnItsOwnLeavesTheStateTheIndicatorThePendingReceiveAndTheReports) {
  const std::string cut = "通信が中断されました。";
  const std::string d30 = "携帯電話が取り外されました。\n  ケーブルの接続を確認してください。(D00030)";
  const std::string d30Log = "携帯電話が取り外されました。ケーブルの接続を確認してください。(D00030)";
  const std::string d3 = "通信ポートを開けませんでした。\n  他のアプリケーションが使用していないか確認してください。(D00003)";
  const std::string d3Log = "通信ポートを開けませんでした。他のアプリケーションが使用していないか確認してください。(D00003)";
  const std::string e1120 = "センターに接続できませんでした。\n  しばらくしてからやり直してください。";
  const std::string e1120Log = "センターに接続できませんでした。しばらくしてからやり直してください。";
  const std::string e1280 = "回線が切断されました。\n  電波の状態を確認してください。";
  const std::string e1280Log = "回線が切断されました。電波の状態を確認してください。";
  const std::string e1130 = "センターからの応答がありません。";
  const std::string stranger = "Eメール自動受信の電話番号をご確認ください。";
  const Row rows[] = {
      // (0, n): its information text on the status line, nothing else.
      {State::Waiting, {0, 26}, State::Waiting, Pending::Kept, "着信待受を開始します。", "", "", 0, false, false},
      // (1, 9): armed, only while starting.
      {State::Starting, {1, 9}, State::Waiting, Pending::Kept, kIdle, "", "", 0, false, false},
      {State::Waiting, {1, 9}, State::Waiting, Pending::Kept, kMarker, "", "", 0, false, false},
      {State::Stopped, {1, 9}, State::Stopped, Pending::Kept, kMarker, "", "", 0, false, false},
      {State::Waiting, {1, 10}, State::Waiting, Pending::Kept, "直送メールお断り中", "直送メールお断り中", "", 0, false, false},
      {State::Waiting, {1, 7}, State::Waiting, Pending::Kept, kMarker, "", "", 0, false, false},
      // (2, n): arrivals.
      {State::Waiting, {2, 0}, State::Waiting, Pending::Kept, "直送メール着信", "直送メール着信", "", 0, true, true},
      {State::Waiting, {2, 1}, State::Waiting, Pending::Kept, "ブリーズメール着信", "ブリーズメール着信", "", 0, true, true},
      {State::Waiting, {2, 2}, State::Waiting, Pending::Unlimited, kIdle, stranger + "\n  0570009999",
       stranger + "0570009999", 0, false, false},
      {State::Waiting, {2, 3}, State::Waiting, Pending::Kept, kIdle, "データ通信または音声の着信がありました。", "", 0,
       true, false},
      {State::Waiting, {2, 4}, State::Waiting, Pending::Kept, kMarker, "", "", 0, false, false},
      // (9, n): the time-outs and a dropped line keep the pending receive.
      {State::Waiting, {9, 1120}, State::Waiting, Pending::Kept, kIdle, e1120, e1120Log, 0, false, false},
      {State::Waiting, {9, 1130}, State::Waiting, Pending::Kept, kIdle, e1130, e1130, 0, false, false},
      {State::Waiting, {9, 1280}, State::Waiting, Pending::Kept, kIdle, e1280, e1280Log, 0, false, false},
      {State::Waiting, {9, 11140}, State::Waiting, Pending::Kept, kIdle, cut + "(11140)", cut + "(11140)", 0,
       false, false},
      // Any other error cancels it.
      {State::Waiting, {9, 1121}, State::Waiting, Pending::Cancelled, kIdle, cut + "(01121)", cut + "(01121)", 0,
       false, false},
      {State::Waiting, {9, 1234}, State::Waiting, Pending::Cancelled, kIdle, cut + "(01234)", cut + "(01234)", 0,
       false, false},
      {State::Waiting, {9, 10}, State::Waiting, Pending::Cancelled, kIdle, "通信を中止しました。", "通信を中止しました。",
       0, false, false},
      {State::Waiting, {9, 520}, State::Waiting, Pending::Cancelled, kIdle, "",
       "発番号を通知しない相手からの直送メールを受け付けませんでした。", 0, false, false},
      // (10, n): the module's errors; starting or the handset gone stops ring-wait.
      {State::Starting, {10, 3}, State::Stopped, Pending::Kept, kIdle, d3, d3Log, 1, false, false},
      {State::Waiting, {10, 3}, State::Waiting, Pending::Kept, kIdle, d3, d3Log, 0, false, false},
      {State::Waiting, {10, 30}, State::Stopped, Pending::Kept, kIdle, d30, d30Log, 1, false, false},
      {State::Stopped, {10, 30}, State::Stopped, Pending::Kept, kIdle, d30, d30Log, 0, false, false},
      // (8, 21): the module ended ring-wait by itself; other ends change nothing.
      {State::Waiting, {8, 21}, State::Stopped, Pending::Kept, kMarker, "", "", 0, false, false},
      {State::Starting, {8, 21}, State::Stopped, Pending::Kept, kMarker, "", "", 0, false, false},
      {State::Waiting, {8, 20}, State::Waiting, Pending::Kept, kMarker, "", "", 0, false, false},
      {State::Waiting, {8, 41}, State::Waiting, Pending::Kept, kMarker, "", "", 0, false, false},
      {State::Waiting, {8, 11}, State::Waiting, Pending::Kept, kMarker, "", "", 0, false, false},
      // Kinds the launcher leaves to the sessions.
      {State::Waiting, {3, 500}, State::Waiting, Pending::Kept, kMarker, "", "", 0, false, false},
      {State::Waiting, {7, 70002}, State::Waiting, Pending::Kept, kMarker, "", "", 0, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(Name(row.before)) + " (" + std::to_string(row.event.first) + ", " +
                 std::to_string(row.event.second) + ")");
    Prepare(row);
    if (HasFatalFailure()) return;
    // What the arrivals read from the module.
    SetParam(6, "09012345678");
    SetParam(2, "065066067");
    SetParam(3, "0570009999:0570007777:3:5");
    if (row.event == Ev{2, 0})
      QueueReply("kwxReadySMail", {{0, 24}, {1, 5}, {1, 2}, {1, 12}, {0, 25}}, {"Subject: hi\r\n\r\nhello\r\n"});
    const size_t noticesBefore = NoticeTexts().size();
    Post({row.event});
    ASSERT_TRUE(DrainPosted());
    Check(row, noticesBefore);
  }
}

}  // namespace
