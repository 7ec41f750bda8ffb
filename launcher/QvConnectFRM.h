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

  void SetProgressMax(int n);
  void SetProgress(int i, bool pending);
  void SetSize(long long n);

  // The poll shared by every session: sleep, process messages, honour the
  // abort button, then hand each queued event to handle until the queue is
  // empty. Progress events (0, n) are shown here and not passed on. Ends when
  // handle returns true (after that event) or on abort (kwxDisconnect(10)).
  enum class PollEnd { Handled, Aborted };
  PollEnd Poll(const std::function<bool(int kind, int code)>& handle);
  bool Aborted() const { return abort_; }

  // What runs a session of a mode; the dialog ends with its result. Without
  // one, a session does nothing and ends with NothingDone.
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
  void btnAbortClick() { abort_ = true; }

  std::deque<std::string> events_;
  SessionMode mode_ = SessionMode::SendQueue;
  bool autoDelete_ = false;
  bool receiveAll_ = false;
  int parameter_ = 0;
  bool abort_ = false;
};

extern TfrmConnecting* frmConnecting;

}  // namespace qv
