#pragma once
// A modal window that comes back where the user left it: placed under its
// ident (centred on its owner the first time) when first shown, and its
// placement saved when it closes.
#include <QDialog>

#include <string>

namespace qv {

class TPlacedDialog : public QDialog {
 public:
  TPlacedDialog(QWidget* parent, std::string ident) : QDialog(parent), ident_(std::move(ident)) {}

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  std::string ident_;
  bool placed_ = false;
};

}  // namespace qv
