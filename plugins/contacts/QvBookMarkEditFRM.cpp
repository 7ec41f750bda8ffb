#include "plugins/contacts/QvBookMarkEditFRM.h"

#include "core/ui/Dialogs.h"
#include "core/ui/QtText.h"
#include "core/data/TextFunctions.h"
#include "platform/Cp932.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qv {

TfrmBookMarkEdit::TfrmBookMarkEdit(QWidget* owner) : TPlacedDialog(owner, "BookMarkEdit") {
  setObjectName("frmBookMarkEdit");
  setWindowTitle(QString::fromUtf8("VeoQuorvel - ブックマーク編集"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  auto edit = [this](const char* name) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(name));
    LimitLineText(e, 244);
    return e;
  };
  edtContents = edit("edtContents");
  edtYomigana = edit("edtYomigana");
  edtAddress = edit("edtAddress");
  edtAddress->setInputMethodHints(Qt::ImhUrlCharactersOnly);
  memComment = new QPlainTextEdit(this);
  memComment->setObjectName("memComment");
  memComment->setTabChangesFocus(true);
  LimitPlainText(memComment, 244);
  form->addRow(QString::fromUtf8("コンテンツ名"), edtContents);
  form->addRow(QString::fromUtf8("読み仮名"), edtYomigana);
  form->addRow(QString::fromUtf8("アドレス"), edtAddress);
  form->addRow(QString::fromUtf8("コメント"), memComment);
  layout->addLayout(form);
  auto* buttons = new QHBoxLayout;
  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnOK->setObjectName("btnOK");
  btnOK->setDefault(true);
  btnCancel = new QPushButton(QString::fromUtf8("キャンセル"), this);
  btnCancel->setObjectName("btnCancel");
  buttons->addStretch(1);
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  layout->addLayout(buttons);
  resize(420, 240);

  for (QLineEdit* e : {edtContents, edtYomigana, edtAddress})
    connect(e, &QLineEdit::textChanged, this, [this] { SetModified(true); });
  connect(memComment, &QPlainTextEdit::textChanged, this, [this] { SetModified(true); });
  connect(btnOK, &QPushButton::clicked, this, [this] {
    if (btnOK->isEnabled()) done(QDialog::Accepted);
  });
  connect(btnCancel, &QPushButton::clicked, this, [this] { reject(); });
  UpdateButtons();
}

void TfrmBookMarkEdit::LoadBookmark(const BookmarkEntry& entry) {
  texts_.Put(edtContents, entry.Field(kBmName));
  texts_.Put(edtYomigana, entry.Field(kBmReading));
  texts_.Put(edtAddress, entry.Field(kBmAddress));
  texts_.Put(memComment, entry.Field(kBmComment));
}

BookmarkEntry TfrmBookMarkEdit::Bookmark() const {
  BookmarkEntry e;
  e.fields = {texts_.Get(edtContents), texts_.Get(edtYomigana), texts_.Get(edtAddress), texts_.Get(memComment)};
  return e;
}

void TfrmBookMarkEdit::SetAddress(const std::string& text) { edtAddress->setText(ToQString(text)); }

void TfrmBookMarkEdit::SetModified(bool modified) {
  modified_ = modified;
  UpdateButtons();
}

void TfrmBookMarkEdit::UpdateButtons() { btnOK->setEnabled(!TrimText(FromQString(edtContents->text())).empty()); }

void TfrmBookMarkEdit::reject() {
  if (modified_ && AskWarning(this, Sjis("項目の変更を保存しますか？"), false) == Answer::Yes) {
    done(QDialog::Accepted);  // the changes are kept
    return;
  }
  done(QDialog::Rejected);
}

}  // namespace qv
