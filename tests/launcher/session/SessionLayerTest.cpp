// The session layer alone: a whole send and receive against the simulated
// handset through the built Portvine.so, with no window and no Qt in the
// process. The module's posted events reach the session through a window id
// of the platform's handle table; a recording view and host stand in for the
// session dialog and the launcher.
#include "launcher/session/MailKeeper.h"
#include "launcher/session/Session.h"

#include "MailFolders.h"
#include "Simulator.h"
#include "TestSupport.h"
#include "core/CSVData.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "core/TextFunctions.h"
#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <memory>
#include <mutex>
#include <vector>

namespace {

using qvtest::Sjis;

extern "C" void IgnoreTrace(int32_t, const void*) {}

// The events the module posts to its window, handed over on the test's thread.
class Inbox {
 public:
  Inbox() {
    window_ = qv::RegisterWindow([this](uint32_t msg, uintptr_t kind, intptr_t code) {
      if (msg != kwx::WM_KWX_NOTIFY) return;
      std::lock_guard lock(mutex_);
      posted_.push_back({static_cast<kwx::EventType>(kind), static_cast<int32_t>(code)});
    });
  }
  ~Inbox() { qv::UnregisterWindow(window_); }
  qv::HWND32 Window() const { return window_; }
  void DeliverTo(qv::SerialEventQueue& queue) {
    std::lock_guard lock(mutex_);
    for (const auto& event : posted_) queue.Add(event);
    posted_.clear();
  }

 private:
  qv::HWND32 window_ = 0;
  std::mutex mutex_;
  std::vector<qv::SerialEvent> posted_;
};

class RecordingView : public qv::SessionView {
 public:
  RecordingView(Inbox& inbox, qv::SerialEventQueue& events) : inbox_(inbox), events_(events) {}
  void ShowStatus(const std::string& text) override { statuses.push_back(text); }
  void ShowNumber(const std::string& text) override { numbers.push_back(text); }
  void SetProgressMax(int n) override { progress.push_back("max " + std::to_string(n)); }
  void SetProgress(int i, bool pending) override {
    progress.push_back(std::to_string(i) + (pending ? " pending" : " done"));
  }
  void SetSize(long long n) override { lastSize = n; }
  qv::ContinueAnswer AskContinue() override {
    ADD_FAILURE() << "no 30-second dialog was expected";
    return qv::ContinueAnswer::Disconnect;
  }
  qv::SelectAnswer ChooseMails(const std::vector<std::string>& lines, std::vector<std::string>& chosen) override {
    offered.push_back(lines.size());
    if (offered.size() > 1) return qv::SelectAnswer::End;
    chosen = {lines.back()};
    return qv::SelectAnswer::Receive;
  }
  void ProcessMessages() override { inbox_.DeliverTo(events_); }
  bool AbortRequested() const override { return false; }

  std::vector<std::string> statuses, numbers, progress;
  std::vector<size_t> offered;
  long long lastSize = 0;

 private:
  Inbox& inbox_;
  qv::SerialEventQueue& events_;
};

class RecordingHost : public qv::SessionHost {
 public:
  RecordingHost(qv::SerialLink& link, Inbox& inbox) : link_(link), inbox_(inbox) {}
  void InitSerialModule(bool) override {
    peer.clear();
    link_.Initial(inbox_.Window(), qv::MakeInitialParam(qv::EMailPhoneNo()));
  }
  const std::string& AutoReceiveNumber() const override { return autoNumber_; }
  void SetPeerNumber(std::string number) override { peer = std::move(number); }
  std::string ReportMessage(std::string_view idOrText, bool) override {
    reports.emplace_back(idOrText);
    return std::string(idOrText);
  }
  void ShowNotice(const std::string& text, bool) override { notices.push_back(text); }
  void CloseNotice() override {}
  void PlaySentSound() override { ++sentSounds; }
  void StartBannerAnimation() override {}
  void StopBannerAnimation() override {}

  std::string peer;
  std::vector<std::string> reports, notices;
  int sentSounds = 0;

 private:
  qv::SerialLink& link_;
  Inbox& inbox_;
  std::string autoNumber_;
};

class SessionLayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = tmp_.path() / "app";
    launcher_ = std::make_unique<qvtest::ScopedLauncherDir>(dir_);
    std::filesystem::create_directories(dir_ / "ports");
    std::filesystem::create_directories(dir_ / "MailLog");
    std::filesystem::copy_file(qvtest::AppDir() / "Portvine.so", dir_ / "Portvine.so");
    ::unsetenv("QUORVEL_PORTS");
    qv::IniFile ini(dir_ / "Quorvel.ini");
    ini.WriteString("Port", "SerialPort", "COM5");
    ini.WriteString("PhoneNo", "DefaultEMailPhoneNo", "0570001234");
    ini.WriteString("PhoneNo", "DefaultOnlineSignUpPhoneNo", "0570009999");
  }
  void TearDown() override {
    link_.Unbind();
    if (sim_) sim_->Stop();
  }

  void StartHandset(handsetsim::SimConfig config) {
    sim_ = std::make_unique<handsetsim::Simulator>(std::move(config));
    std::string error;
    ASSERT_TRUE(sim_->Start(dir_ / "ports" / "COM5", &error)) << error;
    ASSERT_TRUE(link_.Bind("Portvine.so", &IgnoreTrace));
    // The module's deadlines and pauses pass faster.
    void* module = dlopen((dir_ / "Portvine.so").c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_LOCAL);
    ASSERT_NE(module, nullptr);
    auto rate = reinterpret_cast<void (*)(int32_t)>(dlsym(module, "PortvineTestSetClockRate"));
    dlclose(module);
    ASSERT_NE(rate, nullptr);
    rate(20);
  }
  // A mail waiting in "送信予約" as the compose window leaves it.
  void Queue(int kind, const std::string& text) {
    qv::MailIndexRow row;
    qv::BuildIndexRow(row, kind, 0, 1, 0, 1, 1, 0, "07012345678", qv::GetHeaderValue(text, "To"),
                      qv::GetHeaderValue(text, "Subject"), "", "");
    ASSERT_FALSE(qvtest::AppendMail(qv::FixedFolderName(qv::FixedFolder::Queued), text, row).empty());
  }
  qv::SessionResult Run(qv::SessionMode mode, bool receiveAll) {
    qv::SessionContext context{link_, host_, view_, events_, keeper_, {.receiveAll = receiveAll}};
    return qv::RunSessionOfMode(context, mode);
  }
  std::vector<qv::TCSVRow> Rows(const std::string& folder) { return qvtest::IndexRows(dir_ / "MailLog", folder); }
  std::string Store(const std::string& folder) { return qvtest::StoreBytes(dir_ / "MailLog", folder); }

  qvtest::TempDir tmp_;
  std::filesystem::path dir_;
  std::unique_ptr<qvtest::ScopedLauncherDir> launcher_;
  std::unique_ptr<handsetsim::Simulator> sim_;
  qv::SerialLink link_;
  Inbox inbox_;
  qv::SerialEventQueue events_;
  qv::MailKeeper keeper_;
  RecordingView view_{inbox_, events_};
  RecordingHost host_{link_, inbox_};
};

const std::string kQueue = Sjis("送信予約"), kSent = Sjis("送信簿"), kInbox = Sjis("受信簿");

TEST_F(SessionLayerTest, SendAndReceiveRunsWholeWithoutAWindow) {
  const handsetsim::SimConfig centre = handsetsim::MakeMailbox(3, 600);
  const std::string direct = Sjis("To: 09011112222\r\nSubject: 直送\r\n\r\n今から帰ります\r\n");
  const std::string email = "To: friend@example.jp\r\nSubject: hello\r\n\r\nbody\r\n";
  Queue(3, email);
  Queue(1, direct);
  StartHandset(centre);

  EXPECT_EQ(Run(qv::SessionMode::SendAndReceive, true), qv::SessionResult::Done);
  EXPECT_FALSE(link_.Busy()) << "the session ends once the module is idle";

  const handsetsim::SimRecord r = sim_->Record();
  EXPECT_EQ(r.accepted, (std::vector<std::string>{direct, email})) << "the direct mail first, then the e-mail";
  EXPECT_EQ(r.dialled, (std::vector<std::string>{"09011112222", "0570001234##3"}));
  EXPECT_EQ(r.closeCodes, (std::vector<std::string>{"0000", "0000"}));
  EXPECT_EQ(Store(kSent), direct + email);
  EXPECT_EQ(Rows(kQueue).size(), 0u) << "the queue is compacted once everything went";
  std::string bodies;
  for (const auto& mail : centre.mails) bodies += mail.body;
  EXPECT_EQ(Store(kInbox), bodies);
  ASSERT_EQ(Rows(kInbox).size(), 3u);
  EXPECT_EQ(Rows(kInbox)[2][qv::kColFrom], "from3@example.jp");

  // What the dialog and the launcher were given on the way.
  EXPECT_EQ(view_.numbers, (std::vector<std::string>{"09011112222", "", "0570001234"}));
  EXPECT_EQ(view_.progress.front(), "max 1");
  EXPECT_NE(std::find(view_.progress.begin(), view_.progress.end(), "max 3"), view_.progress.end())
      << "the fetch counts the listed mails";
  EXPECT_GT(view_.lastSize, 0);
  EXPECT_FALSE(view_.statuses.empty()) << "progress events become status texts";
  EXPECT_EQ(host_.sentSounds, 2);
  EXPECT_EQ(host_.notices, std::vector<std::string>{Sjis("送信完了")});
  EXPECT_EQ(host_.peer, "0570001234");
}

TEST_F(SessionLayerTest, TheSelectiveListIsAskedThroughTheView) {
  StartHandset(handsetsim::MakeMailbox(3, 300));
  EXPECT_EQ(Run(qv::SessionMode::ReceiveMail, false), qv::SessionResult::Done);
  EXPECT_EQ(view_.offered, (std::vector<size_t>{3, 3})) << "offered again after the chosen mail came in";
  ASSERT_EQ(Rows(kInbox).size(), 1u);
  EXPECT_EQ(Rows(kInbox)[0][qv::kColFrom], "from3@example.jp") << "only the chosen mail";
  EXPECT_FALSE(link_.Busy());
}

}  // namespace
