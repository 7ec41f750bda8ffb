#pragma once
// Sessions of the launcher: mail queued with the core library, the session
// dialog's own dialogs answered from the test, the mail folders read back,
// and either the scriptable test module or the real Portvine.so in front of
// the simulated handset.
#include "LauncherFixture.h"
#include "QtPump.h"
#include "Simulator.h"
#include "core/data/MailStore.h"

#include <QPointer>
#include <QTimer>
#include <functional>
#include <optional>
#include <set>

namespace qvtest {

// An event pair as the module posts it.
using Ev = std::pair<int32_t, int32_t>;

class SessionTest : public LauncherTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The settings for a session: the mail plug-in stand-in loaded, a port and
  // the centre numbers set; entries add to them, also for later writes.
  void WriteSessionIni(const std::map<std::string, std::string>& entries = {});
  // Start() with the session pauses made short.
  void StartSession();

  // Queues a mail in "送信予約" as the compose window does: kind 1 direct
  // mail or 3 e-mail, not yet sent, outgoing, written on the PC.
  void QueueMail(int kind, const std::string& text);
  // The index rows and the store's bytes of a folder.
  std::vector<qv::TCSVRow> Rows(const std::string& folder) const;
  std::string StoreBytes(const std::string& folder) const;
  std::filesystem::path MailDir() const { return dir_ / "MailLog"; }

  // Answers each dialog the session shows (TfrmSelect, TfrmWait30, boxes of
  // other modal windows) once per showing; the handler gets the dialog and
  // the number of dialogs answered before it.
  void OnDialog(std::function<void(QWidget* dialog, int answered)> handler);
  int DialogsAnswered() const { return answered_; }
  // Handles the posted events (and what they start) until pred holds, at
  // most ms.
  void PumpUntil(const std::function<bool()>& pred, int ms = 10000) { qvtest::PumpUntil(pred, ms); }
  // Runs while a session runs, every 10 ms.
  void WhileRunning(std::function<void()> tick) { ticks_.push_back(std::move(tick)); }
  // Runs at every round of the event loop from now on: the dialog's poll
  // moves as fast as the line, so a state it shows may last one round only.
  void EveryRound(std::function<void()> look);

  // The scriptable module (TestSerial.so).
  void QueueReply(const std::string& function, const std::vector<Ev>& events,
                  const std::vector<std::string>& pieces = {});
  void SetResult(const std::string& function, int32_t result);
  void SetParam(int32_t id, const std::string& text);
  KwxInitialParam LastParam();
  // Posts events as the module's worker would.
  void Post(const std::vector<Ev>& events);

  // The real module on a simulated handset at the port folder entry of COM5
  // (before StartSession; later settings keep it).
  void UseRealModule(handsetsim::SimConfig config);
  handsetsim::Simulator& Sim() { return *sim_; }
  // The sounds played, by file name.
  std::vector<std::string> sounds_;
  // The notices shown so far, each once, in order.
  std::vector<std::string> NoticeTexts();
  // The last of them, empty when there was none.
  std::string LastNotice() {
    const auto all = NoticeTexts();
    return all.empty() ? std::string() : all.back();
  }
  // Closes the notice window, so that the same text again counts anew.
  void CloseNoticeWindow();

 private:
  void Tick();
  void CaptureNotice();
  QTimer driver_;
  QTimer rounds_;
  std::vector<std::function<void()>> looks_;
  std::function<void(QWidget*, int)> dialogHandler_;
  int answered_ = 0;
  std::vector<std::function<void()>> ticks_;
  std::vector<std::string> notices_;
  QString lastNotice_;
  const qv::TfrmReceiveMsg* watched_ = nullptr;
  std::unique_ptr<handsetsim::Simulator> sim_;
  std::map<std::string, std::string> base_;
  // The port the scripted module stands for: a device that opens, so that the
  // launcher's look at a port the module could not open finds nothing wrong.
  PtyPair port_;
};

// Calls logged by the scriptable module show CR and LF as \r and \n.
std::string Escaped(std::string_view text);

// A centre list line and a page of them as the centre sends it.
std::string ListLine(int number, const std::string& id, const std::string& sender, const std::string& subject,
                     const std::string& date, int size, const std::string& extra = "0");
std::string ListPage(const std::vector<std::string>& lines, const std::string& last);

}  // namespace qvtest
