#include "launcher/QvOptionFRM.h"

#include "controls/Graphics.h"
#include "controls/MultiButton.h"
#include "core/data/AddressFunctions.h"
#include "core/ui/ByteLengthValidator.h"
#include "core/ui/FormColors.h"
#include "core/data/CSVData.h"
#include "core/ui/QtText.h"
#include "core/data/Settings.h"
#include "core/data/TextFunctions.h"
#include "platform/CommPort.h"
#include "platform/ComPortName.h"
#include "platform/Text.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cstdio>

namespace qv {
namespace {

constexpr int kNumberLength = 32;
constexpr int kAddressLength = 300;
constexpr int kDefaultSpeed = 115200;

std::string Bool(bool value) { return value ? "1" : "0"; }

std::string ColorText(TColor color) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(color));
  return text;
}

// Selects the item with the text; none when the list has no such item.
void SelectText(QComboBox* box, const QString& text) { box->setCurrentIndex(box->findText(text)); }

// A push button that shows its action's caption and state and triggers it.
void BindButton(QPushButton* button, QAction* action) {
  button->setText(action->text());
  QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
  QObject::connect(action, &QAction::changed, button, [button, action] {
    button->setText(action->text());
    button->setEnabled(action->isEnabled());
  });
}

// A box for phone numbers, typed without the input method: it tells the
// input method it takes none (a line edit would say it does whatever its
// attribute says).
class NumberEdit : public QLineEdit {
 public:
  explicit NumberEdit(QWidget* parent) : QLineEdit(parent) {
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setInputMethodHints(Qt::ImhPreferNumbers | Qt::ImhLatinOnly | Qt::ImhNoPredictiveText);
  }
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override {
    return query == Qt::ImEnabled ? QVariant(false) : QLineEdit::inputMethodQuery(query);
  }

 protected:
  void inputMethodEvent(QInputMethodEvent* event) override { event->ignore(); }
};

}  // namespace

TfrmOption::TfrmOption(QWidget* parent, Host host) : QDialog(parent), host_(std::move(host)) {
  CreateComponents();
  texts_ = {{edtOnlineSignUpPhoneNo, keys::OnlineSignUpPhoneNo, {}},
            {edtEMailPhoneNo, keys::EMailPhoneNo, {}},
            {edtEMailAutoPhoneNo, keys::EMailAutoPhoneNo, {}},
            {edtEMailAddress, keys::MailAddress, {}},
            {edtReplyTo, keys::ReplyTo, {}}};
  checks_ = {{chkBunkei, keys::BunkeiFlag, false},
             {chkBCCAddSelf, keys::BCCAddSelf, false},
             {chkRingReject, keys::RingReject, false},
             {chkQuoteMark, keys::QuoteMark, false},
             // Without the key the dialog offers deleting; the receive step
             // itself does not delete until the dialog has stored it.
             {chkAutoDelete, keys::AutoDeleteDialog, false},
             {chkDialWithNum, keys::DialWithNum, true},
             {chkExcerpt, keys::Excerpt, false},
             {chkAutoDustClear, keys::AutoDustClear, false},
             {chkAutoReceive, keys::AutoReceive, false},
             {chkMessage, keys::ShowMessage, false},
             {chkSound, keys::PlaySound, false},
             {chkVibration, keys::Vibration, false},
             {chkDuplicationFlagStartOdd, keys::DuplicationFlagStartOdd, false}};
  TakeMainFormColors(this);
  actOKUpdate();
}

void TfrmOption::CreateComponents() {
  setObjectName("frmOption");
  setWindowTitle(QStringLiteral("VeoQuorvel - 環境設定"));
  setWindowIcon(QApplication::windowIcon());

  pagOption = new QTabWidget(this);
  pagOption->setObjectName("pagOption");
  auto page = [this](const char* name, const QString& caption) {
    auto* w = new QWidget(pagOption);
    w->setObjectName(name);
    pagOption->addTab(w, caption);
    return w;
  };
  auto check = [](QWidget* parent, const char* name, const QString& caption) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    return box;
  };
  auto edit = [](QWidget* parent, const char* name, int bytes, bool number = false) {
    QLineEdit* e = number ? new NumberEdit(parent) : new QLineEdit(parent);
    e->setObjectName(name);
    // Lengths count CP932 bytes.
    e->setValidator(new TByteLengthValidator(bytes, e));
    return e;
  };
  auto combo = [](QWidget* parent, const char* name, const QStringList& items) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItems(items);
    box->setMaxVisibleItems(16);
    return box;
  };

  // シリアル設定
  QWidget* serial = page("tabSerial", QStringLiteral("シリアル設定"));
  QStringList ports;
  for (int n = 1; n <= kMaxComPort; ++n) ports << QStringLiteral("COM%1").arg(n);
  cboComm = combo(serial, "cboComm", ports);
  cboSpeed = combo(serial, "cboSpeed", {"2400", "9600", "14400", "19200", "38400", "57600", "115200"});
  actAutoCom = new QAction(QStringLiteral("自動設定"), this);
  actAutoCom->setObjectName("actAutoCom");
  btnAutoCom = new QPushButton(serial);
  btnAutoCom->setObjectName("btnAutoCom");
  BindButton(btnAutoCom, actAutoCom);
  {
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("ポート"), cboComm);
    form->addRow(QStringLiteral("通信速度"), cboSpeed);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(btnAutoCom);
    auto* layout = new QVBoxLayout(serial);
    layout->addLayout(form);
    layout->addLayout(row);
    layout->addWidget(new QLabel(QStringLiteral("携帯電話をつないで電源を入れ、［自動設定］を押すと\n"
                                                "携帯電話がつながっているポートを探します。"),
                                 serial));
    layout->addStretch();
  }

  // センター番号設定
  QWidget* centre = page("tabCentre", QStringLiteral("センター番号設定"));
  edtOnlineSignUpPhoneNo = edit(centre, "edtOnlineSignUpPhoneNo", kNumberLength, true);
  edtEMailPhoneNo = edit(centre, "edtEMailPhoneNo", kNumberLength, true);
  edtEMailAutoPhoneNo = edit(centre, "edtEMailAutoPhoneNo", kNumberLength, true);
  btnDef = new QPushButton(QStringLiteral("初期電話番号に戻す"), centre);
  btnDef->setObjectName("btnDef");
  chkBunkei = check(centre, "chkBunkei", QStringLiteral("分計"));
  {
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("オンラインサインアップ"), edtOnlineSignUpPhoneNo);
    form->addRow(QStringLiteral("Eメール"), edtEMailPhoneNo);
    form->addRow(QStringLiteral("Eメール自動受信"), edtEMailAutoPhoneNo);
    auto* row = new QHBoxLayout;
    row->addWidget(chkBunkei);
    row->addStretch();
    row->addWidget(btnDef);
    auto* layout = new QVBoxLayout(centre);
    layout->addLayout(form);
    layout->addLayout(row);
    layout->addStretch();
  }

  // メール設定
  QWidget* mail = page("tabMail", QStringLiteral("メール設定"));
  edtEMailAddress = edit(mail, "edtEMailAddress", kAddressLength);
  edtReplyTo = edit(mail, "edtReplyTo", kAddressLength);
  chkBCCAddSelf = check(mail, "chkBCCAddSelf", QStringLiteral("返信メールの同報者に本人を含める"));
  chkRingReject = check(mail, "chkRingReject", QStringLiteral("発番号非通知拒否"));
  chkQuoteMark = check(mail, "chkQuoteMark", QStringLiteral("引用符の付加"));
  chkAutoDelete = check(mail, "chkAutoDelete", QStringLiteral("Ｅメール受信時センターからメールを削除"));
  chkDialWithNum = check(mail, "chkDialWithNum", QStringLiteral("発番号非通知"));
  chkExcerpt = check(mail, "chkExcerpt", QStringLiteral("返信時に本文を引用"));
  chkAutoDustClear = check(mail, "chkAutoDustClear", QStringLiteral("アプリケーションの終了時にゴミ箱を空にする"));
  chkAutoReceive = check(mail, "chkAutoReceive", QStringLiteral("Eメール自動受信"));
  chkAutoReceive->setVisible(false);
  {
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Eメールアドレス"), edtEMailAddress);
    form->addRow(QStringLiteral("Reply-To:"), edtReplyTo);
    auto* boxes = new QGridLayout;
    boxes->addWidget(chkBCCAddSelf, 0, 0, 1, 2);
    boxes->addWidget(chkAutoDelete, 1, 0, 1, 2);
    boxes->addWidget(chkAutoDustClear, 2, 0, 1, 2);
    boxes->addWidget(chkRingReject, 3, 0);
    boxes->addWidget(chkDialWithNum, 3, 1);
    boxes->addWidget(chkQuoteMark, 4, 0);
    boxes->addWidget(chkExcerpt, 4, 1);
    auto* layout = new QVBoxLayout(mail);
    layout->addLayout(form);
    layout->addLayout(boxes);
    layout->addStretch();
  }

  // 各種設定
  QWidget* various = page("tabVarious", QStringLiteral("各種設定"));
  cboFont = combo(various, "cboFont", {"9", "12", "14"});
  pnlColor = new TMultiPanel(various);
  pnlColor->setObjectName("pnlColor");
  pnlColor->SetCaption(QStringLiteral("文字"));
  // The sample shows the colours being chosen, not the dialog's.
  pnlColor->SetParentFont(false);
  pnlColor->SetBevelOuter(bvLowered);
  pnlColor->setFixedSize(120, 40);
  btnBackColor = new QPushButton(QStringLiteral("背景色"), various);
  btnBackColor->setObjectName("btnBackColor");
  btnFontColor = new QPushButton(QStringLiteral("文字色"), various);
  btnFontColor->setObjectName("btnFontColor");
  chkMessage = check(various, "chkMessage", QStringLiteral("メッセージ表示"));
  chkSound = check(various, "chkSound", QStringLiteral("サウンド"));
  chkVibration = check(various, "chkVibration", QStringLiteral("バイブ"));
  chkDuplicationFlagStartOdd = check(various, "chkDuplicationFlagStartOdd", QStringLiteral("データ転送反転"));
  chkDuplicationFlagStartOdd->setVisible(false);
  {
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("文字サイズ"), cboFont);
    auto* colours = new QHBoxLayout;
    colours->addWidget(pnlColor);
    colours->addWidget(btnBackColor);
    colours->addWidget(btnFontColor);
    colours->addStretch();
    form->addRow(QStringLiteral("色"), colours);
    auto* layout = new QVBoxLayout(various);
    layout->addLayout(form);
    layout->addWidget(chkMessage);
    layout->addWidget(chkSound);
    layout->addWidget(chkVibration);
    layout->addStretch();
  }

  actOK = new QAction(QStringLiteral("OK"), this);
  actOK->setObjectName("actOK");
  btnOK = new QPushButton(this);
  btnOK->setObjectName("btnOK");
  btnOK->setDefault(true);
  BindButton(btnOK, actOK);
  btnCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  btnCancel->setObjectName("btnCancel");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pagOption);
  layout->addLayout(buttons);
  pagOption->setCurrentIndex(0);

  connect(actOK, &QAction::triggered, this, [this] { actOKExecute(); });
  connect(actAutoCom, &QAction::triggered, this, [this] { actAutoComExecute(); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { done(2); });
  connect(btnDef, &QPushButton::clicked, this, [this] { btnDefClick(); });
  connect(btnBackColor, &QPushButton::clicked, this, [this] { btnBackColorClick(); });
  connect(btnFontColor, &QPushButton::clicked, this, [this] { btnFontColorClick(); });
  for (QComboBox* box : {cboComm, cboSpeed, cboFont})
    connect(box, &QComboBox::currentIndexChanged, this, [this] { actOKUpdate(); });
}

void TfrmOption::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

std::string TfrmOption::FieldBytes(const TextField& field) {
  // Only what the user typed is encoded.
  const QString shown = field.edit->text();
  return shown == ToQString(field.bytes) ? field.bytes : FromQString(shown);
}

void TfrmOption::SetField(TextField& field, const std::string& bytes) {
  field.bytes = bytes;
  field.edit->setText(ToQString(bytes));
}

TfrmOption::TextField& TfrmOption::Field(QLineEdit* edit) {
  for (TextField& f : texts_)
    if (f.edit == edit) return f;
  return texts_.front();
}

void TfrmOption::LoadSettings(TColor backColor, TColor fontColor) {
  defaultSignUp_ = IniRead(keys::DefaultOnlineSignUpPhoneNo);
  defaultEMail_ = IniRead(keys::DefaultEMailPhoneNo);
  defaultEMailAuto_ = IniRead(keys::DefaultEMailAutoPhoneNo);
  // A port stored as a device name shows in its short form.
  const int port = ComPortNumber(Trim(IniRead(keys::SerialPort)));
  cboComm->setCurrentIndex(port - 1);
  SelectText(cboSpeed, QString::number(BaudRateOrDefault(IniReadInteger(keys::Baudrate))));
  SelectText(cboFont, QString::number(IniReadInteger(keys::FontSize)));
  SetField(Field(edtOnlineSignUpPhoneNo), OnlineSignUpPhoneNo());
  SetField(Field(edtEMailPhoneNo), EMailPhoneNo());
  SetField(Field(edtEMailAutoPhoneNo), EMailAutoPhoneNo());
  SetField(Field(edtEMailAddress), IniRead(keys::MailAddress));
  SetField(Field(edtReplyTo), IniRead(keys::ReplyTo));
  for (const CheckField& c : checks_) c.box->setChecked(IniReadBool(c.key) != c.inverted);
  pnlColor->SetColor(backColor);
  pnlColor->SetFont({pnlColor->font(), fontColor});
  actOKUpdate();
}

TColor TfrmOption::BackColor() const { return pnlColor->GetColor(); }

TColor TfrmOption::FontColor() const { return pnlColor->GetFont().Color; }

std::vector<IniEntry> TfrmOption::SettingsEntries() const {
  auto entry = [](const keys::Key& key, std::string value) {
    return IniEntry{std::string(key.section), std::string(key.name), std::move(value)};
  };
  auto check = [&](QCheckBox* box) {
    for (const CheckField& c : checks_)
      if (c.box == box) return entry(c.key, Bool(box->isChecked() != c.inverted));
    return IniEntry{};
  };
  auto text = [&](QLineEdit* edit) {
    for (const TextField& f : texts_)
      if (f.edit == edit) return entry(f.key, FieldBytes(f));
    return IniEntry{};
  };
  auto number = [](QComboBox* box, int fallback) {
    bool ok = false;
    const int value = box->currentText().toInt(&ok);
    return std::to_string(ok ? value : fallback);
  };
  return {entry(keys::SerialPort, FromQString(cboComm->currentText())),
          entry(keys::Baudrate, number(cboSpeed, kDefaultSpeed)),
          text(edtOnlineSignUpPhoneNo),
          text(edtEMailPhoneNo),
          text(edtEMailAutoPhoneNo),
          check(chkBunkei),
          text(edtEMailAddress),
          text(edtReplyTo),
          check(chkBCCAddSelf),
          check(chkRingReject),
          check(chkQuoteMark),
          check(chkAutoDelete),
          check(chkDialWithNum),
          check(chkExcerpt),
          check(chkAutoDustClear),
          check(chkAutoReceive),
          entry(keys::FontSize, number(cboFont, 9)),
          entry(keys::BackColor, ColorText(BackColor())),
          entry(keys::FontColor, ColorText(FontColor())),
          check(chkMessage),
          check(chkSound),
          check(chkVibration),
          check(chkDuplicationFlagStartOdd)};
}

void TfrmOption::actOKUpdate() {
  actOK->setEnabled(cboComm->currentIndex() >= 0 && cboSpeed->currentIndex() >= 0 && cboFont->currentIndex() >= 0);
  btnOK->setEnabled(actOK->isEnabled());
}

void TfrmOption::actOKExecute() {
  actOKUpdate();
  if (!actOK->isEnabled()) return;
  TextField& replyTo = Field(edtReplyTo);
  TCSVData addresses;
  ResolveAddressNames(addresses, FieldBytes(replyTo), true, false, false);
  if (addresses.RowCount() > 1) SetField(replyTo, std::string(addresses.GetCell(0, 0)));
  if (edtOnlineSignUpPhoneNo->text().isEmpty()) SetField(Field(edtOnlineSignUpPhoneNo), defaultSignUp_);
  if (edtEMailPhoneNo->text().isEmpty()) SetField(Field(edtEMailPhoneNo), defaultEMail_);
  if (host_.commit && !host_.commit(*this)) return;
  done(1);
}

void TfrmOption::btnDefClick() {
  SetField(Field(edtOnlineSignUpPhoneNo), defaultSignUp_);
  SetField(Field(edtEMailPhoneNo), defaultEMail_);
  SetField(Field(edtEMailAutoPhoneNo), defaultEMailAuto_);
}

bool TfrmOption::ChooseColor(TColor start, TColor& chosen) {
  QColorDialog dialog(ToQColor(start), this);
  dialog.setObjectName("dlgColor");
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted) return false;
  chosen = ColorFromQColor(dialog.selectedColor());
  return true;
}

void TfrmOption::btnBackColorClick() {
  TColor colour = 0;
  if (ChooseColor(BackColor(), colour)) pnlColor->SetColor(colour);
}

void TfrmOption::btnFontColorClick() {
  TColor colour = 0;
  if (ChooseColor(FontColor(), colour)) pnlColor->SetFont({pnlColor->font(), colour});
}

bool TfrmOption::Answers(const std::string& port, int baud) const {
  // Each port may take the module's whole wait: the window stays alive between them.
  QCoreApplication::processEvents();
  return host_.telNumber && !Trim(host_.telNumber(ComPortDeviceName(port, true), baud)).empty();
}

void TfrmOption::actAutoComExecute() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  // Nothing else in the dialog is done while it searches.
  setEnabled(false);
  const int baud = cboSpeed->currentIndex() >= 0 ? cboSpeed->currentText().toInt() : kDefaultSpeed;
  int found = 0;
  std::error_code ec;
  auto search = [&] {
    for (int i = 0; i < cboComm->count() && !found; ++i)
      if (Answers(FromQString(cboComm->itemText(i)), baud)) found = i + 1;
    // A USB serial adapter has no COM number until one of the port folder
    // leads to it; one that answers keeps its entry.
    for (const auto& device : SerialByIdDevices()) {
      if (found) break;
      if (CommPortLinkedTo(device)) continue;  // asked above
      const int n = LinkCommPort(device);
      if (!n) continue;
      const std::string name = "COM" + std::to_string(n);
      if (Answers(name, baud))
        found = n;
      else
        std::filesystem::remove(CommPortFolderEntry(name), ec);
    }
  };
  if (host_.pauseRingWait)
    host_.pauseRingWait(search);
  else
    search();
  setEnabled(true);
  QApplication::restoreOverrideCursor();
  if (found) cboComm->setCurrentIndex(found - 1);
  if (host_.report) host_.report(found ? "I00101" : "W01002");
}

}  // namespace qv
