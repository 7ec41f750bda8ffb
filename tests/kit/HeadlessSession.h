#pragma once
// The session layer driven without a window, as tests and benchmarks run it:
// the built Portvine.so in a temporary launcher folder, bound as the launcher
// binds it, in front of the simulated handset on the port folder's COM5. The
// module's posted events reach the session's queue through a window id of the
// platform's handle table; a recording view and host stand in for the session
// dialog and the launcher.
#include "EventWindow.h"
#include "Simulator.h"
#include "TestSupport.h"
#include "launcher/session/MailKeeper.h"
#include "launcher/session/Session.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qvtest {

// The events the module posts to its window, handed over on the caller's thread.
class SessionInbox {
 public:
  SessionInbox();
  qv::HWND32 Window() const { return window_.id(); }
  void DeliverTo(qv::SerialEventQueue& queue);
  // Every event posted so far, delivered or not.
  std::vector<qv::SerialEvent> Seen() const;

 private:
  std::mutex mutex_;
  std::vector<qv::SerialEvent> posted_;
  // Last, so that it goes first: no event reaches the list after it.
  seriallinktest::EventWindow window_;
};

// Stands in for the session dialog: what it was shown, in order.
class RecordingView : public qv::SessionView {
 public:
  RecordingView(SessionInbox& inbox, qv::SerialEventQueue& events) : inbox_(inbox), events_(events) {}
  void ShowStatus(const std::string& text) override { statuses.push_back(text); }
  void ShowNumber(const std::string& text) override { numbers.push_back(text); }
  void ShowListing(int pages, int mails) override {
    progress.push_back("listed " + std::to_string(mails) + " on " + std::to_string(pages) + " pages");
  }
  void SetProgressMax(int n) override { progress.push_back("max " + std::to_string(n)); }
  void SetProgress(int i, bool pending) override;
  void SetSize(long long n) override { lastSize = n; }
  // Without an answer set the dialog was not expected: a failure.
  qv::ContinueAnswer AskContinue() override;
  qv::SelectAnswer ChooseMails(const std::vector<std::string>& lines, std::vector<std::string>& chosen) override;
  // Hands over what the module posted; then the abort button may be pressed.
  void ProcessMessages() override;
  bool AbortRequested() const override { return aborted_; }

  std::function<qv::ContinueAnswer()> onContinue;
  std::function<qv::SelectAnswer(const std::vector<std::string>&, std::vector<std::string>&)> onChoose;
  // Asked at each poll: true presses the abort button.
  std::function<bool()> abortWhen;

  std::vector<std::string> statuses, numbers, progress;
  long long lastSize = 0;
  int lastProgress = 0;

 private:
  SessionInbox& inbox_;
  qv::SerialEventQueue& events_;
  bool aborted_ = false;
};

// Stands in for the launcher: what it was asked to report and show.
class RecordingHost : public qv::SessionHost {
 public:
  RecordingHost(qv::SerialLink& link, SessionInbox& inbox) : link_(link), inbox_(inbox) {}
  void InitSerialModule(bool useAutoNumber) override;
  const std::string& AutoReceiveNumber() const override { return autoNumber_; }
  void SetPeerNumber(std::string number) override { peer = std::move(number); }
  std::string ReportMessage(std::string_view idOrText, bool show) override;
  void ShowNotice(const std::string& text, bool) override { notices.push_back(text); }
  void CloseNotice() override {}
  void PlaySentSound() override { ++sentSounds; }
  void StartBannerAnimation() override {}
  void StopBannerAnimation() override {}

  std::string peer;
  // Every report, and those that were also shown.
  std::vector<std::string> reports, shownReports, notices;
  int sentSounds = 0;

 private:
  qv::SerialLink& link_;
  SessionInbox& inbox_;
  std::string autoNumber_;
};

class HeadlessLauncher {
 public:
  // The launcher's folder dir with Portvine.so, a mail folder and settings
  // for COM5 and the centres.
  explicit HeadlessLauncher(const std::filesystem::path& dir);
  ~HeadlessLauncher();

  // Starts the handset and binds the module, whose clock runs clockRate
  // times faster. False (and why) when either fails.
  bool StartHandset(handsetsim::SimConfig config, int clockRate, std::string* error);
  qv::SessionResult Run(qv::SessionMode mode, qv::SessionOptions options = {});

  const std::filesystem::path& Dir() const { return dir_; }
  handsetsim::Simulator& Sim() { return *sim_; }

  qv::SerialLink link;
  SessionInbox inbox;
  qv::SerialEventQueue events;
  qv::MailKeeper keeper;
  RecordingView view{inbox, events};
  RecordingHost host{link, inbox};

 private:
  std::filesystem::path dir_;
  ScopedLauncherDir launcher_;
  std::unique_ptr<handsetsim::Simulator> sim_;
};

}  // namespace qvtest
