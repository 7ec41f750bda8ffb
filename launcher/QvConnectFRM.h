#pragma once
// The session dialog: one modal dialog, created once, shown again for every
// transfer. Its start timer runs the session for the chosen mode; the
// session's result becomes the modal result. The launcher's event handler
// appends every serial-link event to the queue, which the session's poll
// consumes on the GUI thread.
#include "launcher/SessionTypes.h"

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

class TfrmConnecting : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmConnecting(QWidget* parent = nullptr);
  ~TfrmConnecting() override;

  void SetMode(SessionMode mode) { mode_ = mode; }
  void SetAutoDelete(bool flag) { autoDelete_ = flag; }
  void SetReceiveAll(bool flag) { receiveAll_ = flag; }
  void SetParameter(int kind) { parameter_ = kind; }
  SessionMode Mode() const { return mode_; }
  bool AutoDelete() const { return autoDelete_; }
  bool ReceiveAll() const { return receiveAll_; }
  int Parameter() const { return parameter_; }

  // Called by the launcher for every serial-link event, session or not.
  void AddEvent(int kind, int code);
  const std::deque<std::string>& Events() const { return events_; }
  void ClearEvents() { events_.clear(); }

  void SetProgressMax(int n);
  void SetProgress(int i, bool pending);
  void SetSize(long long n);

  // The poll shared by every session: sleep, process messages, honour the
  // abort button, then hand each queued event to handle until the queue is
  // empty, then call afterDrain. Progress events (0, n) are shown here and not
  // passed on. Ends when handle returns true (after that event) or on abort
  // (kwxDisconnect(10)).
  enum class PollEnd { Handled, Aborted };
  PollEnd Poll(const std::function<bool(int kind, int code)>& handle, const std::function<void()>& afterDrain = {});
  bool Aborted() const { return abort_; }

  // The sessions of the modes (their result becomes the modal result).
  SessionResult RunMailSession(bool send, bool receive, bool autoReceive, bool directOnly);
  SessionResult ReceiveDirectMail();
  // The 30-second dialog after (7, 70002), and what its answer asks of the
  // module: 1 go on, 2 disconnect (10), 3 disconnect (1130, no answer).
  int AskContinue();

  // Stores a received mail in the folder. A mail that cannot be stored is
  // reported and kept, and stored after the session; false then.
  bool StoreReceived(const std::string& folder, const std::string& text, const std::vector<std::string>& row);
  // Tries the kept mails again; those that still fail stay kept.
  void StoreKeptMail();
  size_t KeptMailCount() const { return kept_.size(); }

  // What runs the sessions in place of the dialog's own; the dialog ends
  // with its result. The dialog runs the mail sessions itself; the handset
  // data sessions (modes 8 and 9) end with NothingDone until a runner does them.
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
  SessionResult RunSessionOfMode(SessionMode mode);
  void btnAbortClick() { abort_ = true; }

  struct KeptMail {
    std::string folder, text;
    std::vector<std::string> row;
  };
  std::vector<KeptMail> kept_;

  std::deque<std::string> events_;
  SessionMode mode_ = SessionMode::SendQueue;
  bool autoDelete_ = false;
  bool receiveAll_ = false;
  int parameter_ = 0;
  bool abort_ = false;
};

extern TfrmConnecting* frmConnecting;

}  // namespace qv
