#pragma once
// The settings dialog. This build shows its frame only; the pages and the
// keys they edit come with the settings dialog's own work.
#include <QDialog>

class QPushButton;

namespace qv {

class TfrmOption : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmOption(QWidget* parent = nullptr);
  QPushButton* btnOK;
  QPushButton* btnCancel;
};

}  // namespace qv
