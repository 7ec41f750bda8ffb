#pragma once
// The error-log viewer: the log's lines in a read-only memo.
#include <QDialog>
#include <string>
#include <vector>

class QPlainTextEdit;
class TMultiButton;

namespace qv {

class TfrmMessage : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmMessage(QWidget* parent = nullptr);
  // The lines are CP932.
  void SetLines(const std::vector<std::string>& lines);

  QPlainTextEdit* memMessage;
  TMultiButton* btnOK;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;
};

}  // namespace qv
