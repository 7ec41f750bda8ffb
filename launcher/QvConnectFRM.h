#pragma once
// The session dialog: one modal dialog, created once, shown again for every
// transfer. Its start timer runs the session for the chosen mode through the
// session layer, to which the dialog is the view (progress, the peer's
// number, the 30-second dialog, the selective list); the session's result
// becomes the modal result. The launcher's event handler appends every
// serial-link event to the queue, which the session's poll consumes on the
// GUI thread.
#include "launcher/session/MailKeeper.h"
#include "launcher/session/Session.h"

#include <QDialog>
#include <deque>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QProgressBar;
class QTimer;
class TAnimationImage;
class TAttachPanel;
class TMultiButton;

namespace qv {

class TfrmConnecting : public QDialog, public SessionView {
  Q_OBJECT
 public:
  explicit TfrmConnecting(QWidget* parent = nullptr);
  ~TfrmConnecting() override;

  // The module the sessions drive and the launcher they report to.
  void Attach(SerialLink& link, SessionHost& host);

  void SetMode(SessionMode mode) { mode_ = mode; }
  void SetAutoDelete(bool flag) { options_.autoDelete = flag; }
  void SetReceiveAll(bool flag) { options_.receiveAll = flag; }
  void SetParameter(int kind) { options_.parameter = kind; }
  SessionMode Mode() const { return mode_; }
  bool AutoDelete() const { return options_.autoDelete; }
  bool ReceiveAll() const { return options_.receiveAll; }
  int Parameter() const { return options_.parameter; }

  // Called by the launcher for every serial-link event, session or not.
  void AddEvent(int kind, int code);
  const std::deque<SerialEvent>& Events() const { return events_.Events(); }
  void ClearEvents() { events_.Clear(); }

  // The view of the sessions.
  void ShowStatus(const std::string& text) override;
  void ShowNumber(const std::string& text) override;
  void ShowListing(int pages, int mails) override;
  void SetProgressMax(int n) override;
  void SetProgress(int i, bool pending) override;
  void SetSize(long long n) override;
  ContinueAnswer AskContinue() override;
  SelectAnswer ChooseMails(const std::vector<std::string>& lines, std::vector<std::string>& chosen) override;
  void ProcessMessages() override;
  bool AbortRequested() const override { return abort_; }
  void WaitForModule(uint64_t seen, std::chrono::milliseconds timeout) override;

  // The poll shared by every session (Session.h): each queued event but the
  // progress ones goes to handle; afterDrain runs after each drain.
  using PollEnd = qv::PollEnd;
  PollEnd Poll(const std::function<bool(int kind, int code)>& handle, const std::function<void()>& afterDrain = {});
  bool Aborted() const { return abort_; }

  // The sessions of the modes (their result becomes the modal result).
  SessionResult RunMailSession(bool send, bool receive, bool autoReceive, bool directOnly);
  // The direct mail from the number the dialog shows.
  SessionResult ReceiveDirectMail();
  // The handset's records of the kind read into its exchange file (mode 8),
  // or that file written to the handset (mode 9).
  SessionResult ReadHandsetInfo(int kind);
  SessionResult WriteHandsetInfo(int kind);

  // Stores a received mail in the folder. A mail that cannot be stored is
  // reported and kept, and stored after the session; false then.
  bool StoreReceived(const std::string& folder, const std::string& text, const std::vector<std::string>& row);
  // Tries the kept mails again; those that still fail stay kept.
  void StoreKeptMail();
  size_t KeptMailCount() const { return keeper_.KeptCount(); }

  // What runs the sessions in place of the dialog's own; the dialog ends
  // with its result.
  using SessionRunner = std::function<SessionResult(TfrmConnecting& dialog, SessionMode mode)>;
  static void SetSessionRunner(SessionRunner runner);

  TAttachPanel* pnlConnect;
  QLabel* lblTel;
  QLabel* lblCount;
  QLabel* lblSize;
  QProgressBar* pbConnect;
  QWidget* pnlWait;
  TAnimationImage* aniWait;
  TMultiButton* btnAbort;
  QTimer* tmrStart;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;
  void reject() override {}  // Escape or the close box never cut a session short

 private:
  void tmrStartTimer();
  SessionContext Context();
  void btnAbortClick() { abort_ = true; }

  SerialLink* link_ = nullptr;
  SessionHost* host_ = nullptr;
  SerialEventQueue events_;
  MailKeeper keeper_;
  SessionMode mode_ = SessionMode::SendQueue;
  SessionOptions options_;
  bool abort_ = false;
};

}  // namespace qv
