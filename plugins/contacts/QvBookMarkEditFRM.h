#pragma once
// The bookmark dialog: name, reading, address and comment of one bookmark.
#include "core/data/Bookmarks.h"
#include "core/ui/PlacedDialog.h"
#include "plugins/contacts/ContactFields.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace qv {

class TfrmBookMarkEdit : public TPlacedDialog {
  Q_OBJECT
 public:
  explicit TfrmBookMarkEdit(QWidget* owner);

  void LoadBookmark(const BookmarkEntry& entry);
  BookmarkEntry Bookmark() const;
  // Puts the text (CP932) into the address field, as typing would.
  void SetAddress(const std::string& text);
  void SetModified(bool modified);
  bool Modified() const { return modified_; }

  QLineEdit* edtContents;
  QLineEdit* edtYomigana;
  QLineEdit* edtAddress;
  QPlainTextEdit* memComment;
  QPushButton* btnOK;
  QPushButton* btnCancel;

 protected:
  // キャンセル, Escape and the close box ask first when a field has changed.
  void reject() override;

 private:
  void UpdateButtons();

  FieldTexts texts_;
  bool modified_ = false;
};

}  // namespace qv
