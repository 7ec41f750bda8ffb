#pragma once
// The continue-or-disconnect dialog: the other end has not answered for a
// while; the user goes on or breaks off, and after 30 seconds without an
// answer the dialog disconnects by itself. Modal results: 1 continue,
// 2 break off (also the close box), 3 the time ran out.
#include <QDialog>

class QAction;
class QLabel;
class QTimer;
class TMultiButton;

namespace qv {

class TfrmWait30 : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kResume = 1, kAbort = 2, kTimeOut = 3;
  static constexpr int kSeconds = 30;

  explicit TfrmWait30(QWidget* owner = nullptr);

  int Remaining() const { return remaining_; }
  // The length of one count-down second in milliseconds for every dialog made
  // from now on (1000; tests shorten it).
  static void SetTickInterval(int ms);

  QLabel* lblMessage;
  QLabel* lblCount;
  TMultiButton* btnResume;
  TMultiButton* btnAbort;
  QAction* actResume;
  QAction* actAbort;
  QTimer* tmrTimeOut;

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override { Finish(kAbort); }

 private:
  void tmrTimeOutTimer();
  void Finish(int result);
  void ShowRemaining();

  int remaining_ = kSeconds;
};

}  // namespace qv
