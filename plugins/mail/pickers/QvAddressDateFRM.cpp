#include "plugins/mail/pickers/QvAddressDateFRM.h"

#include "core/ui/FormPosition.h"
#include "core/ui/QtText.h"
#include "plugins/mail/WindowText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFontMetrics>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace qv {
namespace {

// What a title bar holds beside the caption: the window's icon and three
// buttons, with their spacing.
constexpr int kTitleBarControlsWidth = 120;

QString TwoDigits(int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }

// The item with exactly that text, or -1 (none selected).
int ItemIndex(const QComboBox* box, std::string_view text) {
  return text.empty() ? -1 : box->findText(ToQString(text), Qt::MatchExactly);
}

}  // namespace

TfrmAddressDate::TfrmAddressDate(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmAddressDate"));
  setWindowTitle(Q("VeoQuorvel - 時刻指定メール"));
  chkDate = new QCheckBox(Q("配送日時指定"), this);
  chkDate->setObjectName(QStringLiteral("chkDate"));
  dtpDate = new QDateEdit(this);
  dtpDate->setObjectName(QStringLiteral("dtpDate"));
  dtpDate->setCalendarPopup(true);
  dtpDate->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
  dtpDate->setMinimumDate(QDate(100, 1, 1));
  dtpDate->setMaximumDate(QDate(9999, 12, 31));
  cboHuur = new QComboBox(this);
  cboHuur->setObjectName(QStringLiteral("cboHuur"));
  cboHuur->addItem(QString());
  for (int h = 0; h < 24; ++h) cboHuur->addItem(TwoDigits(h));
  cboMinute = new QComboBox(this);
  cboMinute->setObjectName(QStringLiteral("cboMinute"));
  for (int m = 0; m < 60; ++m) cboMinute->addItem(TwoDigits(m));
  cboHuur->setCurrentIndex(-1);
  cboMinute->setCurrentIndex(-1);
  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnCancel = new QPushButton(Q("キャンセル"), this);
  btnOK->setDefault(true);

  auto* time = new QHBoxLayout;
  time->addWidget(cboHuur);
  time->addWidget(new QLabel(Q("時"), this));
  time->addWidget(cboMinute);
  time->addWidget(new QLabel(Q("分"), this));
  time->addStretch();
  auto* form = new QFormLayout;
  form->addRow(Q("日付:"), dtpDate);
  form->addRow(Q("時刻:"), time);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(chkDate);
  outer->addLayout(form);
  outer->addStretch();
  outer->addLayout(buttons);
  // The controls alone make a narrow window, whose title bar would cut the
  // caption short: room for the caption in a bold title font, beside the
  // window manager's icon and buttons.
  QFont title = font();
  title.setBold(true);
  setMinimumWidth(std::max(minimumSizeHint().width(),
                           QFontMetrics(title).horizontalAdvance(windowTitle()) + kTitleBarControlsWidth));

  // Only what the user chooses couples the controls; SetStart sets them as they are.
  connect(dtpDate, &QDateEdit::dateChanged, this, [this] { chkDate->setChecked(true); });
  connect(cboHuur, &QComboBox::activated, this, &TfrmAddressDate::HourChosen);
  connect(cboMinute, &QComboBox::activated, this, &TfrmAddressDate::MinuteChosen);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmAddressDate::SetStart(std::string_view text, const PickerDate& today) {
  const DeliveryStart start = ParseDeliveryTime(text, today);
  QSignalBlocker block(dtpDate);
  dtpDate->setDate(QDate(start.date.year, start.date.month, start.date.day));
  cboHuur->setCurrentIndex(ItemIndex(cboHuur, start.hour));
  cboMinute->setCurrentIndex(ItemIndex(cboMinute, start.minute));
  chkDate->setChecked(start.checked);
}

std::string TfrmAddressDate::Value() const {
  const QDate d = dtpDate->date();
  return DeliveryTimeText(chkDate->isChecked(), {d.year(), d.month(), d.day()}, FromQString(cboHuur->currentText()),
                          FromQString(cboMinute->currentText()));
}

void TfrmAddressDate::HourChosen() {
  chkDate->setChecked(true);
  if (cboHuur->currentText().trimmed().isEmpty())
    cboMinute->setCurrentIndex(-1);
  else if (cboMinute->currentIndex() < 0)
    cboMinute->setCurrentIndex(0);
}

void TfrmAddressDate::MinuteChosen() {
  if (!cboHuur->currentText().trimmed().isEmpty()) return;
  // The hour changes with it, and a changed hour means a delivery time.
  cboHuur->setCurrentIndex(1);
  chkDate->setChecked(true);
}

void TfrmAddressDate::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (placed_) return;
  placed_ = true;
  LoadFormPosition(this, kPlaceOwnerCentre, 0, "");
}

}  // namespace qv
