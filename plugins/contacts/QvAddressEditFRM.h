#pragma once
// The phone-book entry dialog: the personal fields of one entry of the list
// (names, six phones and six mail addresses, post code, address, birth date,
// age, blood type, sex, group, list kind, secret, memo, hobby) and its
// picture, shown. The kana name is filled from the reading the input method
// reports while the kanji name is typed.
#include "core/data/PhoneBook.h"
#include "core/ui/PlacedDialog.h"
#include "plugins/contacts/ContactFields.h"

#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace qv {

class TCompoString;
class TfrmAddress;

class TfrmAddressEdit : public TPlacedDialog {
  Q_OBJECT
 public:
  explicit TfrmAddressEdit(TfrmAddress& list);

  // Fills the dialog from the storage row (-1: empties it); clears the modified flag.
  void LoadEntry(TfrmAddress& list, int row);
  // Writes the dialog into the storage row.
  void SaveEntry(TfrmAddress& list, int row);
  // Checks the kana name and stores the entry (a new one when none is
  // selected); false, with warning 3001 from the host, without a kana name.
  bool CommitEntry();
  void SetModified(bool modified);
  bool Modified() const { return modified_; }
  // Adds a line (CP932) to the mail list or the phone list as it stands.
  void AddLine(bool mail, const std::string& line);

  QLineEdit* edtKanaName;
  QLineEdit* edtKanjiName;
  QLineEdit* edtPostCode;
  QPlainTextEdit* memAddress;
  QLineEdit* edtYear;
  QLineEdit* edtMonth;
  QLineEdit* edtDay;
  QLineEdit* edtAge;
  QComboBox* cboBloodType;
  QComboBox* cboSex;
  QComboBox* cboGroup;
  QComboBox* cboType;
  QCheckBox* chkSeret;
  QPlainTextEdit* memMemo;
  QPlainTextEdit* memHobby;
  QListWidget* lstMail;
  QLineEdit* edtMail;
  QListWidget* lstTel;
  QLineEdit* edtTel;
  QComboBox* cboTelType;
  QCheckBox* chkBunkei;
  QLabel* imgAddress;
  QPushButton* btnTelAdd;
  QPushButton* btnTelUpdate;
  QPushButton* btnTelEdit;
  QPushButton* btnTelDel;
  QPushButton* btnMailAdd;
  QPushButton* btnMailUpdate;
  QPushButton* btnMailEdit;
  QPushButton* btnMailDel;
  QPushButton* btnSave;
  QPushButton* btnPrev;
  QPushButton* btnNext;
  QPushButton* btnNew;
  QPushButton* btnClose;
  TCompoString* CompoString1;

 protected:
  // Escape and the window's close box ask as 閉じる does.
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateComponents();
  void Connect();
  void UpdateButtons();
  // The phone (or mail) line of the input fields, CP932.
  std::string InputLine(bool mail) const;
  bool InputValid(bool mail) const;
  void AddInput(bool mail);
  void UpdateSelectedLine(bool mail);
  void EditSelectedLine(bool mail);
  void DeleteSelectedLine(bool mail);
  void ClearInput(bool mail);
  // The birth date the boxes give, stored holding the entry's.
  std::string BirthDate(std::string_view stored) const;
  void Step(int step);
  void NewEntry();
  void CloseDialog();

  TfrmAddress& list_;
  FieldTexts texts_;
  bool modified_ = false;
  bool loading_ = false;
  int loadedRow_ = -1;  // the row LoadEntry filled the dialog from
  std::string reading_;  // what the input method read since the kanji name got the focus
  std::optional<std::string> picture_;
};

}  // namespace qv
