#include "plugins/contacts/QvAddressEditFRM.h"

#include "core/data/AddressFunctions.h"
#include "core/ui/Dialogs.h"
#include "core/data/HandsetExchange.h"
#include "core/data/HostCallbacks.h"
#include "core/ui/Pictures.h"
#include "core/ui/QtText.h"
#include "core/data/TextFunctions.h"
#include "platform/Cp932.h"
#include "plugins/contacts/CompoString.h"
#include "plugins/contacts/QvAddressFRM.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <sstream>

namespace qv {
namespace {

constexpr int kWarnNoKanaName = 3001;
constexpr int kMaxLines = kPbNumbers;

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

QLineEdit* Edit(QWidget* parent, const char* name, int bytes) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  LimitLineText(e, bytes);
  return e;
}

// A number box: no input method, digits only.
QLineEdit* NumberEdit(QWidget* parent, const char* name, int bytes, Qt::InputMethodHints hints = Qt::ImhDigitsOnly) {
  QLineEdit* e = Edit(parent, name, bytes);
  e->setAttribute(Qt::WA_InputMethodEnabled, false);
  e->setInputMethodHints(hints);
  return e;
}

QPlainTextEdit* Memo(QWidget* parent, const char* name, int bytes) {
  auto* m = new QPlainTextEdit(parent);
  m->setObjectName(QString::fromLatin1(name));
  m->setTabChangesFocus(true);
  LimitPlainText(m, bytes);
  return m;
}

QComboBox* Combo(QWidget* parent, const char* name, const QStringList& items) {
  auto* c = new QComboBox(parent);
  c->setObjectName(QString::fromLatin1(name));
  c->addItems(items);
  return c;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
  auto* b = new QPushButton(U(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);  // Enter belongs to the fields
  return b;
}

// The list entry whose text is the stored value, else entry 0 ("無し").
void SelectText(QComboBox* combo, std::string_view value) {
  const int at = value.empty() ? -1 : combo->findText(ToQString(value), Qt::MatchExactly);
  combo->setCurrentIndex(at < 0 ? 0 : at);
}

std::string SelectedText(const QComboBox* combo) {
  return combo->currentIndex() <= 0 ? std::string() : FromQString(combo->currentText());
}

std::string LineBytes(const QListWidgetItem* item) { return item->data(Qt::UserRole).toByteArray().toStdString(); }

void SetLine(QListWidgetItem* item, const std::string& line) {
  item->setText(ToQString(line));
  item->setData(Qt::UserRole, QByteArray::fromStdString(line));
}

}  // namespace

TfrmAddressEdit::TfrmAddressEdit(TfrmAddress& list) : TPlacedDialog(&list, "AddressEdit"), list_(list) {
  setObjectName("frmAddressEdit");
  setWindowTitle(U("電話帳情報"));
  CreateComponents();
  Connect();
  LoadEntry(list_, -1);
}

void TfrmAddressEdit::CreateComponents() {
  auto* grid = new QGridLayout(this);
  auto label = [this](const char* caption) { return new QLabel(U(caption), this); };

  // Left: names, phones, mail addresses.
  auto* left = new QGridLayout;
  edtKanaName = Edit(this, "edtKanaName", 244);
  edtKanjiName = Edit(this, "edtKanjiName", 244);
  left->addWidget(label("名前(カナ)"), 0, 0);
  left->addWidget(edtKanaName, 0, 1);
  left->addWidget(label("名前(漢字)"), 1, 0);
  left->addWidget(edtKanjiName, 1, 1);

  auto lines = [this](const char* title, QListWidget*& box, const char* boxName, QLineEdit*& input, QPushButton*& add,
                      QPushButton*& update, QPushButton*& edit, QPushButton*& del, const char* prefix, bool tel) {
    auto* group = new QGroupBox(U(title), this);
    auto* v = new QVBoxLayout(group);
    box = new QListWidget(group);
    box->setObjectName(QString::fromLatin1(boxName));
    box->setFixedHeight(100);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    v->addWidget(box);
    auto* row = new QHBoxLayout;
    if (tel) {
      cboTelType = Combo(group, "cboTelType", {QString(), U("FAX"), U("PHS"), U("携帯"), U("ポケベル"), U("文字電話")});
      chkBunkei = new QCheckBox(U("分計"), group);
      chkBunkei->setObjectName("chkBunkei");
      row->addWidget(cboTelType);
      row->addWidget(chkBunkei);
      input = NumberEdit(group, "edtTel", 32, Qt::ImhDialableCharactersOnly);
    } else {
      input = NumberEdit(group, "edtMail", 244, Qt::ImhEmailCharactersOnly);
    }
    row->addWidget(input, 1);
    v->addLayout(row);
    auto* buttons = new QHBoxLayout;
    const std::string p = prefix;
    add = Button(group, (p + "Add").c_str(), "追加");
    update = Button(group, (p + "Update").c_str(), "変更");
    edit = Button(group, (p + "Edit").c_str(), "編集");
    del = Button(group, (p + "Del").c_str(), "削除");
    for (QPushButton* b : {add, update, edit, del}) buttons->addWidget(b);
    v->addLayout(buttons);
    return group;
  };
  left->addWidget(lines("電話番号", lstTel, "lstTel", edtTel, btnTelAdd, btnTelUpdate, btnTelEdit, btnTelDel, "btnTel", true),
                  2, 0, 1, 2);
  left->addWidget(lines("メールアドレス", lstMail, "lstMail", edtMail, btnMailAdd, btnMailUpdate, btnMailEdit, btnMailDel,
                        "btnMail", false),
                  3, 0, 1, 2);
  left->setRowStretch(4, 1);

  // Right: the picture and the other personal fields.
  auto* right = new QGridLayout;
  imgAddress = new QLabel(this);
  imgAddress->setObjectName("imgAddress");
  imgAddress->setFixedSize(120, 90);
  imgAddress->setFrameShape(QFrame::StyledPanel);
  imgAddress->setAlignment(Qt::AlignCenter);
  right->addWidget(imgAddress, 0, 0, 3, 1, Qt::AlignTop);
  edtPostCode = NumberEdit(this, "edtPostCode", 7);
  right->addWidget(label("郵便番号"), 0, 1);
  right->addWidget(edtPostCode, 0, 2, 1, 3);
  edtYear = NumberEdit(this, "edtYear", 6);
  edtMonth = NumberEdit(this, "edtMonth", 2);
  edtDay = NumberEdit(this, "edtDay", 2);
  auto* date = new QHBoxLayout;
  for (auto [field, unit] : {std::pair{edtYear, "年"}, std::pair{edtMonth, "月"}, std::pair{edtDay, "日"}}) {
    field->setFixedWidth(field == edtYear ? 64 : 36);
    date->addWidget(field);
    date->addWidget(label(unit));
  }
  date->addStretch(1);
  right->addWidget(label("生年月日"), 1, 1);
  right->addLayout(date, 1, 2, 1, 3);
  edtAge = NumberEdit(this, "edtAge", 2);
  edtAge->setFixedWidth(36);
  right->addWidget(label("年齢"), 2, 1);
  right->addWidget(edtAge, 2, 2, Qt::AlignLeft);
  memAddress = Memo(this, "memAddress", 244);
  memAddress->setFixedHeight(52);
  right->addWidget(label("住所"), 3, 0, Qt::AlignTop);
  right->addWidget(memAddress, 3, 1, 1, 4);
  cboBloodType = Combo(this, "cboBloodType", {U("無し"), U("A"), U("B"), U("AB"), U("O")});
  cboSex = Combo(this, "cboSex", {U("無し"), U("男"), U("女")});
  QStringList groups{U("無し")};
  for (int g = 1; g <= 10; ++g) groups << U("グループ") + QString::number(g);
  cboGroup = Combo(this, "cboGroup", groups);
  cboType = Combo(this, "cboType", {U("無し"), U("ホワイトリスト"), U("ブラックリスト")});
  right->addWidget(label("血液型"), 4, 0);
  right->addWidget(cboBloodType, 4, 1, 1, 2);
  right->addWidget(label("性別"), 4, 3);
  right->addWidget(cboSex, 4, 4);
  right->addWidget(label("グループ"), 5, 0);
  right->addWidget(cboGroup, 5, 1, 1, 2);
  right->addWidget(label("種別"), 5, 3);
  right->addWidget(cboType, 5, 4);
  chkSeret = new QCheckBox(U("シークレット"), this);
  chkSeret->setObjectName("chkSeret");
  right->addWidget(chkSeret, 6, 1, 1, 4);
  memMemo = Memo(this, "memMemo", 244);
  memHobby = Memo(this, "memHobby", 244);
  for (QPlainTextEdit* m : {memMemo, memHobby}) m->setFixedHeight(64);
  right->addWidget(label("メモ"), 7, 0, Qt::AlignTop);
  right->addWidget(memMemo, 7, 1, 1, 4);
  right->addWidget(label("趣味"), 8, 0, Qt::AlignTop);
  right->addWidget(memHobby, 8, 1, 1, 4);
  right->setRowStretch(9, 1);

  auto* buttons = new QHBoxLayout;
  btnSave = Button(this, "btnSave", "更新");
  btnPrev = Button(this, "btnPrev", "前へ");
  btnNext = Button(this, "btnNext", "次へ");
  btnNew = Button(this, "btnNew", "新規");
  btnClose = Button(this, "btnClose", "閉じる");
  buttons->addStretch(1);
  for (QPushButton* b : {btnSave, btnPrev, btnNext, btnNew, btnClose}) buttons->addWidget(b);

  grid->addLayout(left, 0, 0);
  grid->addLayout(right, 0, 1);
  grid->addLayout(buttons, 1, 0, 1, 2);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(1, 1);

  CompoString1 = new TCompoString(this);
  CompoString1->setObjectName("CompoString1");
  CompoString1->SetControl(edtKanjiName);
  CompoString1->OnCompositionStr = [this](QObject*, const std::string& value) { reading_ += value; };
  edtKanjiName->installEventFilter(this);
  for (QListWidget* box : {lstTel, lstMail}) box->installEventFilter(this);
}

void TfrmAddressEdit::Connect() {
  auto changed = [this] {
    if (!loading_) SetModified(true);
    UpdateButtons();
  };
  for (QLineEdit* e : {edtKanaName, edtKanjiName, edtPostCode, edtYear, edtMonth, edtDay, edtAge})
    connect(e, &QLineEdit::textChanged, this, changed);
  for (QPlainTextEdit* m : {memAddress, memMemo, memHobby}) connect(m, &QPlainTextEdit::textChanged, this, changed);
  for (QComboBox* c : {cboBloodType, cboSex, cboGroup, cboType})
    connect(c, &QComboBox::currentIndexChanged, this, changed);
  connect(chkSeret, &QCheckBox::toggled, this, changed);
  for (QLineEdit* e : {edtTel, edtMail}) connect(e, &QLineEdit::textChanged, this, [this] { UpdateButtons(); });
  for (QListWidget* box : {lstTel, lstMail})
    connect(box, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
  for (bool mail : {false, true}) {
    QPushButton* const* b = mail ? &btnMailAdd : &btnTelAdd;
    connect(mail ? btnMailAdd : btnTelAdd, &QPushButton::clicked, this, [this, mail] { AddInput(mail); });
    connect(mail ? btnMailUpdate : btnTelUpdate, &QPushButton::clicked, this, [this, mail] { UpdateSelectedLine(mail); });
    connect(mail ? btnMailEdit : btnTelEdit, &QPushButton::clicked, this, [this, mail] { EditSelectedLine(mail); });
    connect(mail ? btnMailDel : btnTelDel, &QPushButton::clicked, this, [this, mail] { DeleteSelectedLine(mail); });
    connect(mail ? edtMail : edtTel, &QLineEdit::returnPressed, this, [this, mail, b] {
      if ((*b)->isEnabled()) AddInput(mail);
    });
    connect(mail ? lstMail : lstTel, &QListWidget::itemDoubleClicked, this, [this, mail] { EditSelectedLine(mail); });
  }
  connect(btnSave, &QPushButton::clicked, this, [this] { CommitEntry(); });
  connect(btnPrev, &QPushButton::clicked, this, [this] { Step(-1); });
  connect(btnNext, &QPushButton::clicked, this, [this] { Step(1); });
  connect(btnNew, &QPushButton::clicked, this, [this] { NewEntry(); });
  connect(btnClose, &QPushButton::clicked, this, [this] { CloseDialog(); });
}

void TfrmAddressEdit::SetModified(bool modified) {
  modified_ = modified;
  UpdateButtons();
}

void TfrmAddressEdit::UpdateButtons() {
  const std::vector<int> selected = list_.SelectedRows();
  const int row = selected.empty() ? -1 : selected.front();
  btnSave->setEnabled(modified_ && !TrimText(FromQString(edtKanaName->text())).empty());
  btnPrev->setEnabled(!modified_ && row >= 0 && list_.NeighbourRow(row, -1) >= 0);
  btnNext->setEnabled(!modified_ && row >= 0 && list_.NeighbourRow(row, 1) >= 0);
  btnNew->setEnabled(!modified_ && row >= 0);
  for (bool mail : {false, true}) {
    QListWidget* box = mail ? lstMail : lstTel;
    const bool valid = InputValid(mail), lineSelected = box->currentRow() >= 0 && box->currentItem()->isSelected();
    (mail ? btnMailAdd : btnTelAdd)->setEnabled(valid && box->count() < kMaxLines);
    (mail ? btnMailUpdate : btnTelUpdate)->setEnabled(valid && lineSelected);
    (mail ? btnMailEdit : btnTelEdit)->setEnabled(lineSelected);
    (mail ? btnMailDel : btnTelDel)->setEnabled(lineSelected);
  }
}

bool TfrmAddressEdit::InputValid(bool mail) const {
  const std::string input = TrimText(FromQString((mail ? edtMail : edtTel)->text()));
  return mail ? IsAsciiPrintable(input) : IsPhoneNumberText(input);
}

std::string TfrmAddressEdit::InputLine(bool mail) const {
  const std::string input = TrimText(FromQString((mail ? edtMail : edtTel)->text()));
  if (mail) return input;
  std::string line = NormalizePhoneNumber(input);
  if (chkBunkei->isChecked()) line = Sjis("分計ON; ") + line;
  if (cboTelType->currentIndex() > 0) line = PhoneKindCaption(cboTelType->currentIndex()) + ": " + line;
  return line;
}

void TfrmAddressEdit::ClearInput(bool mail) {
  if (!mail) {
    cboTelType->setCurrentIndex(0);
    chkBunkei->setChecked(false);
  }
  (mail ? edtMail : edtTel)->clear();
}

void TfrmAddressEdit::AddLine(bool mail, const std::string& line) {
  QListWidget* box = mail ? lstMail : lstTel;
  SetLine(new QListWidgetItem(box), line);
  if (!loading_) SetModified(true);
  UpdateButtons();
}

void TfrmAddressEdit::AddInput(bool mail) {
  if (!InputValid(mail) || (mail ? lstMail : lstTel)->count() >= kMaxLines) return;
  AddLine(mail, InputLine(mail));
  ClearInput(mail);
}

void TfrmAddressEdit::UpdateSelectedLine(bool mail) {
  QListWidgetItem* item = (mail ? lstMail : lstTel)->currentItem();
  if (!item || !InputValid(mail)) return;
  SetLine(item, InputLine(mail));
  ClearInput(mail);
  SetModified(true);
}

void TfrmAddressEdit::EditSelectedLine(bool mail) {
  QListWidgetItem* item = (mail ? lstMail : lstTel)->currentItem();
  if (!item) return;
  std::string rest = LineBytes(item);
  if (!mail) {
    // "種別: 分計ON; 番号": the kind, then split billing, then the number.
    int kind = 0;
    if (size_t colon = FindDelim(rest, ":"); colon != std::string::npos) {
      const std::string label = TrimText(std::string_view(rest).substr(0, colon));
      for (int k = 1; k <= 5; ++k)
        if (label == PhoneKindCaption(k)) kind = k;
      rest = rest.substr(colon + 1);
    }
    bool bunkei = false;
    if (size_t semi = FindDelim(rest, ";"); semi != std::string::npos) {
      bunkei = TrimText(std::string_view(rest).substr(0, semi)) == Sjis("分計ON");
      rest = rest.substr(semi + 1);
    }
    cboTelType->setCurrentIndex(kind);
    chkBunkei->setChecked(bunkei);
  }
  (mail ? edtMail : edtTel)->setText(ToQString(TrimText(rest)));
  (mail ? edtMail : edtTel)->setFocus();
}

void TfrmAddressEdit::DeleteSelectedLine(bool mail) {
  QListWidget* box = mail ? lstMail : lstTel;
  if (QListWidgetItem* item = box->currentItem(); item && item->isSelected()) {
    delete item;
    SetModified(true);
  }
}

void TfrmAddressEdit::LoadEntry(TfrmAddress& list, int row) {
  loading_ = true;
  const PhoneBookEntry empty;
  const PhoneBookEntry& e = row >= 0 && row < list.Book().Count() ? list.Book().At(row) : empty;
  texts_.Put(edtKanaName, e.Field(kPbKana));
  texts_.Put(edtKanjiName, e.Field(kPbKanji));
  texts_.Put(edtPostCode, e.Field(kPbPostCode));
  texts_.Put(memAddress, e.Field(kPbAddress));
  // Birth date: 年, 月 and 日 are separators too, as are blanks; a date
  // without a year ("     mm/dd") keeps its month and day.
  static const std::string marks[] = {Sjis("年"), Sjis("月"), Sjis("日")};
  const std::string_view stored = e.Field(kPbBirthDate);
  std::string birth;
  for (size_t i = 0; i < stored.size();) {
    const std::string_view c = stored.substr(i, cp932::CharLength(stored, i));
    birth += std::find(std::begin(marks), std::end(marks), c) != std::end(marks) ? std::string_view("/") : c;
    i += c.size();
  }
  const std::vector<std::string> date = HandsetDateParts(birth);
  QLineEdit* const boxes[] = {edtYear, edtMonth, edtDay};
  for (size_t i = 0; i < std::size(boxes); ++i) texts_.Put(boxes[i], i < date.size() ? date[i] : std::string());
  texts_.Put(edtAge, e.Field(kPbAge));
  SelectText(cboBloodType, e.Field(kPbBloodType));
  SelectText(cboSex, e.Field(kPbSex));
  SelectText(cboGroup, e.Field(kPbGroup));
  SelectText(cboType, e.Field(kPbListKind));
  chkSeret->setChecked(e.Field(kPbSecret) == "ON");
  lstMail->clear();
  lstTel->clear();
  for (int n = 0; n < kPbNumbers; ++n) {
    if (std::string mail = TrimText(e.Field(kPbMail1 + n)); !mail.empty()) AddLine(true, mail);
    if (std::string tel = TrimText(e.Field(kPbPhone1 + n)); !tel.empty()) AddLine(false, tel);
  }
  texts_.Put(memMemo, e.Field(kPbMemo));
  texts_.Put(memHobby, e.Field(kPbHobby));
  picture_ = e.picture;
  loadedRow_ = &e == &empty ? -1 : row;
  imgAddress->clear();
  if (picture_) {
    std::istringstream in(*picture_);
    QImage image;
    LoadBitmapFromStream(image, in);
    QPixmap pixmap = QPixmap::fromImage(image);
    if (pixmap.width() > imgAddress->width() - 4 || pixmap.height() > imgAddress->height() - 4)
      pixmap = pixmap.scaled(imgAddress->size() - QSize(4, 4), Qt::KeepAspectRatio, Qt::FastTransformation);
    imgAddress->setPixmap(pixmap);
  }
  loading_ = false;
  SetModified(false);
}

void TfrmAddressEdit::SaveEntry(TfrmAddress& list, int row) {
  if (row < 0 || row >= list.Book().Count()) return;
  const PhoneBookEntry& stored = list.Book().At(row);
  PhoneBookEntry e = stored;
  // An entry that was opened keeps an empty secret or picture flag while the
  // dialog means the same by it; a new one gets both written.
  const bool opened = row == loadedRow_;
  e.SetField(kPbKana, texts_.Get(edtKanaName));
  e.SetField(kPbKanji, texts_.Get(edtKanjiName));
  e.SetField(kPbPostCode, texts_.Get(edtPostCode));
  e.SetField(kPbAddress, texts_.Get(memAddress));
  e.SetField(kPbBirthDate, BirthDate(stored.Field(kPbBirthDate)));
  e.SetField(kPbAge, texts_.Get(edtAge));
  e.SetField(kPbBloodType, SelectedText(cboBloodType));
  e.SetField(kPbSex, SelectedText(cboSex));
  e.SetField(kPbGroup, SelectedText(cboGroup));
  e.SetField(kPbListKind, SelectedText(cboType));
  e.SetField(kPbSecret, chkSeret->isChecked()                             ? "ON"
                        : opened && stored.Field(kPbSecret).empty() ? ""
                                                                     : "OFF");
  for (int n = 0; n < kPbNumbers; ++n) {
    e.SetField(kPbMail1 + n, n < lstMail->count() ? LineBytes(lstMail->item(n)) : "");
    e.SetField(kPbPhone1 + n, n < lstTel->count() ? LineBytes(lstTel->item(n)) : "");
  }
  e.SetField(kPbMemo, texts_.Get(memMemo));
  e.SetField(kPbHobby, texts_.Get(memHobby));
  if (picture_ || !opened || !stored.Field(kPbPictureFlag).empty())
    e.SetField(kPbPictureFlag, Sjis(picture_ ? "有" : "無"));
  list.StoreEntry(row, std::move(e));
  list.ShowCount();
}

std::string TfrmAddressEdit::BirthDate(std::string_view stored) const {
  // A date in the handset's own form goes back in its own bytes, time and
  // all, while the boxes show it unchanged.
  if (texts_.Unchanged(edtYear) && texts_.Unchanged(edtMonth) && texts_.Unchanged(edtDay) &&
      DecodeHandsetDate(EncodeHandsetDate(stored)) == stored)
    return std::string(stored);
  const std::string year = texts_.Get(edtYear), month = texts_.Get(edtMonth), day = texts_.Get(edtDay);
  if (month.empty() || day.empty()) return {};
  // Without a year as the handset's dates are written, so that the year
  // goes out as none.
  return year.empty() ? "     " + month + "/" + day : year + "/" + month + "/" + day;
}

bool TfrmAddressEdit::CommitEntry() {
  if (TrimText(FromQString(edtKanaName->text())).empty()) {
    CallHostParam(QV_PARAM_WARNING, kWarnNoKanaName);
    edtKanaName->setFocus();
    return false;
  }
  const std::vector<int> selected = list_.SelectedRows();
  int row = selected.empty() ? -1 : selected.front();
  if (row < 0) {
    row = list_.AppendEntry(PhoneBookEntry());
    list_.SelectOnly(row);
  }
  SaveEntry(list_, row);
  list_.SetModified(true);
  SetModified(false);
  return true;
}

void TfrmAddressEdit::Step(int step) {
  const std::vector<int> selected = list_.SelectedRows();
  if (selected.empty()) return;
  const int next = list_.NeighbourRow(selected.front(), step);
  if (next < 0) return;
  list_.SelectOnly(next);
  LoadEntry(list_, next);
}

void TfrmAddressEdit::NewEntry() {
  list_.SelectOnly(-1);
  LoadEntry(list_, -1);
}

void TfrmAddressEdit::CloseDialog() {
  if (!modified_) {
    done(QDialog::Rejected);
    return;
  }
  if (AskWarning(this, Sjis("項目の変更を保存しますか？"), false) != Answer::Yes) {
    done(QDialog::Rejected);  // the changes are dropped
    return;
  }
  if (CommitEntry()) done(QDialog::Accepted);
}

void TfrmAddressEdit::reject() { CloseDialog(); }

bool TfrmAddressEdit::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edtKanjiName && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
    // Only a move between the dialog's fields enters or leaves the field: a
    // switch to another window or a pop-up menu comes back to it.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    const bool away = reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason ||
                      reason == Qt::MenuBarFocusReason;
    if (event->type() == QEvent::FocusIn && !away) reading_.clear();
    if (event->type() == QEvent::FocusOut && !away && TrimText(FromQString(edtKanaName->text())).empty() &&
        !reading_.empty())
      edtKanaName->setText(ToQString(reading_));
  } else if ((watched == lstTel || watched == lstMail) && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool mail = watched == lstMail;
    if (key == Qt::Key_Delete) {
      DeleteSelectedLine(mail);
      return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      EditSelectedLine(mail);
      return true;
    }
  }
  return TPlacedDialog::eventFilter(watched, event);
}

}  // namespace qv
