#pragma once
// The recipient picker: the phone book's numbers (direct mail) or mail
// addresses (e-mail) on the left, the compose window's recipient lists on the
// right, each e-mail recipient with an optional delivery time.
#include <QAbstractTableModel>
#include <QDialog>

#include <string>
#include <string_view>
#include <vector>

#include "core/data/CSVData.h"
#include "plugins/mail/pickers/MailAddressLists.h"

class QAction;
class QLabel;
class QPushButton;
class QStandardItemModel;
class QToolButton;
class QTreeView;

namespace qv {

class ListViewSortModel;

// The phone book's items, texts converted only when shown. It sorts itself
// (a proxy in front of 60,000 items costs more than reading the book).
class PhoneBookItemModel : public QAbstractTableModel {
 public:
  explicit PhoneBookItemModel(QObject* parent = nullptr);
  // Loaded in the order of the last Sort.
  void Load(TCSVData book, bool email);
  void Clear();
  // By a list's sort Tag (0: the book's order), keeping the selection.
  void Sort(int tag);
  const TCSVData& Book() const { return book_; }
  const PhoneBookItem& Item(int row) const { return items_[static_cast<size_t>(row)]; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  TCSVData book_;
  std::vector<PhoneBookItem> items_;
  int tag_ = 0;
};

class TfrmMailAddress : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmMailAddress(QWidget* parent = nullptr);
  ~TfrmMailAddress() override;

  // E-mail shows the e-mail To list and the CC and BCC lists, direct mail
  // the phone-number To list.
  void SetMailMode(bool email);
  bool MailMode() const { return email_; }
  // A compose field's recipient text into the To list of the mode, CC, BCC.
  void SetToText(std::string_view text);
  void SetCCText(std::string_view text);
  void SetBCCText(std::string_view text);
  std::string GetToText() const;
  std::string GetCCText() const;
  std::string GetBCCText() const;
  // The phone book ([File] AddressFile) into the address list, in the mode.
  void LoadAddressList();
  // Today's date as the delivery-time dialog falls back to it (tests fix it).
  void SetToday(const PickerDate& today) { today_ = today; }

  QTreeView* lsvAddress;
  PhoneBookItemModel* addresses;
  QTreeView* lsvToTel;
  QTreeView* lsvToMail;
  QTreeView* lsvCC;
  QTreeView* lsvBCC;
  QWidget* pnlToTel;
  QWidget* pnlToMail;
  QWidget* pnlCC;
  QWidget* pnlBCC;
  QAction* actTo;
  QAction* actCC;
  QAction* actBCC;
  QAction* actDate;
  QAction* actDelete;
  QAction* actSelectAll;
  QAction* actOK;
  QPushButton* btnOK;
  QPushButton* btnCancel;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  QTreeView* NewRecipientList(bool withTime, QWidget* parent);
  QTreeView* ToList() const { return email_ ? lsvToMail : lsvToTel; }
  std::vector<QTreeView*> RecipientLists() const { return {lsvToTel, lsvToMail, lsvCC, lsvBCC}; }
  // The focused list view, or none.
  QTreeView* FocusedList() const;
  bool IsRecipientList(const QTreeView* view) const;
  void FillList(QTreeView* view, const std::vector<Recipient>& list);
  std::vector<Recipient> ListRecipients(const QTreeView* view) const;
  void AppendRecipient(QTreeView* view, const Recipient& r);
  void AddSelected(QTreeView* target);
  void ChooseDeliveryTime();
  void DeleteSelected();
  void SelectAllOfFocused();
  void UpdateActions();

  bool email_ = true;
  bool shown_ = false;
  PickerDate today_;
};

}  // namespace qv
