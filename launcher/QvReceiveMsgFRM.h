#pragma once
// The notice window: a small always-on-top window for arrivals and results
// that stays up at least its minimum time before the next notice replaces it.
#include <QWidget>
#include <string>

class QTimer;
class TAttachPanel;
class TMultiButton;

namespace qv {

class TfrmReceiveMsg : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmReceiveMsg(QWidget* parent = nullptr);
  ~TfrmReceiveMsg() override;

  // Sizes the window to the text (CP932) and starts the minimum-time timer.
  void SetMessage(const std::string& text);
  // The caption shown, as set by SetMessage.
  QString MessageText() const;

  TAttachPanel* pnlMsg;
  TMultiButton* btnOK;
  QTimer* tmrWait;  // 4000 ms; a notice may not be replaced while it runs

 Q_SIGNALS:
  // Each notice as it is set, also one replaced before it was painted.
  void MessageSet(const QString& text);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
};

}  // namespace qv
