#pragma once
// The delivery-time dialog of the recipient picker: a date, an hour (or none)
// and a minute, and whether the mail is held for delivery at all.
#include <QDialog>

#include <string>
#include <string_view>

#include "plugins/mail/pickers/MailAddressLists.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QPushButton;

namespace qv {

class TfrmAddressDate : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmAddressDate(QWidget* parent = nullptr);

  // The controls from a delivery time text (empty: none); today is the
  // fallback of a missing or impossible date.
  void SetStart(std::string_view text, const PickerDate& today);
  // The text OK gives: "yyyy/mm/dd[/hhnn]", or empty when unchecked.
  std::string Value() const;

  QDateEdit* dtpDate;
  QComboBox* cboHuur;
  QComboBox* cboMinute;
  QCheckBox* chkDate;
  QPushButton* btnOK;
  QPushButton* btnCancel;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void HourChosen();
  void MinuteChosen();
  bool placed_ = false;
};

}  // namespace qv
