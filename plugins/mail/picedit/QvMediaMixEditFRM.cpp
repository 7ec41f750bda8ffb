#include "plugins/mail/picedit/QvMediaMixEditFRM.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "core/ui/QtText.h"
#include "core/ui/ByteLengthValidator.h"
#include "plugins/mail/WindowText.h"

namespace qv {

namespace {

// "無し" for no picture, else its number.
QString PictureCaption(int picture) { return picture == 0 ? Q("無し") : QString::number(picture); }

void FillPictureList(QComboBox* box) {
  for (int i = 0; i <= kMediaMixMaxPicture; ++i) box->addItem(PictureCaption(i));
}

}  // namespace

TfrmMediaMixEdit::TfrmMediaMixEdit(QWidget* parent) : TPlacedDialog(parent, "MediaMix") {
  setObjectName(QStringLiteral("frmMediaMixEdit"));
  setWindowTitle(Q("VeoQuorvel - メディアミックス"));
  BuildLayout();
  resize(560, 440);
  // A new script starts with its first moment, which stays.
  events_.push_back(MediaMixEvent{});
  ShowEvents(-1);
  MoveTimeAfterLast();
}

TfrmMediaMixEdit::~TfrmMediaMixEdit() = default;

void TfrmMediaMixEdit::BuildLayout() {
  auto* outer = new QVBoxLayout(this);

  lsvEvents = new QTreeWidget(this);
  lsvEvents->setObjectName(QStringLiteral("lsvEvents"));
  lsvEvents->setColumnCount(3);
  lsvEvents->setHeaderLabels({Q("時間"), Q("画像番号"), Q("表示テキスト")});
  lsvEvents->setRootIsDecorated(false);
  lsvEvents->setUniformRowHeights(true);
  lsvEvents->setSelectionMode(QAbstractItemView::SingleSelection);
  lsvEvents->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lsvEvents->setColumnWidth(0, 60);
  lsvEvents->setColumnWidth(1, 70);
  lsvEvents->installEventFilter(this);
  outer->addWidget(lsvEvents, 1);

  auto* fields = new QGridLayout;
  cmbTime = new QComboBox(this);
  cmbTime->setObjectName(QStringLiteral("cmbTime"));
  QStringList times;
  times.reserve(kMediaMixSteps);
  for (int step = 0; step < kMediaMixSteps; ++step) times << QString::fromStdString(MediaMixTimeText(step));
  cmbTime->addItems(times);
  cmbTime->setMaxVisibleItems(20);
  cmbImage = new QComboBox(this);
  cmbImage->setObjectName(QStringLiteral("cmbImage"));
  FillPictureList(cmbImage);
  cmbImage->setMaxVisibleItems(20);
  edtText = new QLineEdit(this);
  edtText->setObjectName(QStringLiteral("edtText"));
  edtText->setValidator(new TByteLengthValidator(kMediaMixMaxText, edtText));
  edtText->installEventFilter(this);
  btnAdd = new QPushButton(Q("追加"), this);
  btnEdit = new QPushButton(Q("編集"), this);
  btnDelete = new QPushButton(Q("削除"), this);
  btnTimeUp = new QPushButton(Q("時間を+"), this);
  btnTimeDown = new QPushButton(Q("時間を-"), this);
  fields->addWidget(new QLabel(Q("時間"), this), 0, 0);
  fields->addWidget(cmbTime, 0, 1);
  fields->addWidget(new QLabel(Q("画像"), this), 0, 2);
  fields->addWidget(cmbImage, 0, 3);
  fields->addWidget(btnAdd, 0, 5);
  fields->addWidget(btnEdit, 0, 6);
  fields->addWidget(btnDelete, 0, 7);
  fields->addWidget(new QLabel(Q("テキスト"), this), 1, 0);
  fields->addWidget(edtText, 1, 1, 1, 5);
  fields->addWidget(btnTimeUp, 1, 6);
  fields->addWidget(btnTimeDown, 1, 7);
  fields->setColumnStretch(4, 1);
  outer->addLayout(fields);

  auto* kind = new QGroupBox(Q("種類"), this);
  auto* kindRow = new QHBoxLayout(kind);
  radPromotion = new QRadioButton(Q("プロモーション"), kind);
  radKaraoke = new QRadioButton(Q("カラオケ"), kind);
  radPromotion->setChecked(true);
  chkSound = new QCheckBox(Q("音楽再生"), kind);
  cmbImageCount = new QComboBox(kind);
  cmbImageCount->setObjectName(QStringLiteral("cmbImageCount"));
  FillPictureList(cmbImageCount);
  cmbImageCount->setMaxVisibleItems(20);
  kindRow->addWidget(radPromotion);
  kindRow->addWidget(radKaraoke);
  kindRow->addSpacing(12);
  kindRow->addWidget(chkSound);
  kindRow->addSpacing(12);
  kindRow->addWidget(new QLabel(Q("画像枚数"), kind));
  kindRow->addWidget(cmbImageCount);
  kindRow->addStretch(1);
  outer->addWidget(kind);

  auto* buttons = new QHBoxLayout;
  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnCancel = new QPushButton(Q("キャンセル"), this);
  buttons->addStretch(1);
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  outer->addLayout(buttons);
  // Enter belongs to the field or the list it is pressed in.
  for (QPushButton* b : {btnAdd, btnEdit, btnDelete, btnTimeUp, btnTimeDown, btnOK, btnCancel}) b->setAutoDefault(false);

  connect(btnAdd, &QPushButton::clicked, this, &TfrmMediaMixEdit::AddEvent);
  connect(btnEdit, &QPushButton::clicked, this, &TfrmMediaMixEdit::EditEvent);
  connect(btnDelete, &QPushButton::clicked, this, &TfrmMediaMixEdit::DeleteEvent);
  connect(btnTimeUp, &QPushButton::clicked, this, [this] { ShiftTime(1); });
  connect(btnTimeDown, &QPushButton::clicked, this, [this] { ShiftTime(-1); });
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(lsvEvents, &QTreeWidget::itemSelectionChanged, this, &TfrmMediaMixEdit::UpdateCommands);
  connect(lsvEvents, &QTreeWidget::itemDoubleClicked, this, [this] { EditEvent(); });
}

void TfrmMediaMixEdit::done(int result) {
  if (result == Accepted && events_.empty()) return;
  TPlacedDialog::done(result);
}

void TfrmMediaMixEdit::SetControlText(std::string_view text) {
  MediaMixScript script = ParseMediaMixText(text);
  radPromotion->setChecked(script.promotion);
  radKaraoke->setChecked(!script.promotion);
  cmbImageCount->setCurrentIndex(script.imageCount);
  chkSound->setChecked(script.sound);
  events_ = std::move(script.events);
  ShowEvents(-1);
  MoveTimeAfterLast();
}

std::string TfrmMediaMixEdit::GetControlText() const {
  MediaMixScript script;
  script.promotion = radPromotion->isChecked();
  script.imageCount = std::max(cmbImageCount->currentIndex(), 0);
  script.sound = chkSound->isChecked();
  script.events = events_;
  return FormatMediaMixText(script);
}

int TfrmMediaMixEdit::SelectedEvent() const {
  const QList<QTreeWidgetItem*> selected = lsvEvents->selectedItems();
  return selected.isEmpty() ? -1 : lsvEvents->indexOfTopLevelItem(selected.first());
}

void TfrmMediaMixEdit::SelectEvent(int index) {
  lsvEvents->clearSelection();
  if (QTreeWidgetItem* item = lsvEvents->topLevelItem(index)) {
    item->setSelected(true);
    lsvEvents->setCurrentItem(item);
    lsvEvents->scrollToItem(item);
  }
  UpdateCommands();
}

void TfrmMediaMixEdit::ShowEvents(int selectStep) {
  std::stable_sort(events_.begin(), events_.end(),
                   [](const MediaMixEvent& a, const MediaMixEvent& b) { return a.step < b.step; });
  QSignalBlocker block(lsvEvents);
  lsvEvents->clear();
  QList<QTreeWidgetItem*> items;
  items.reserve(qsizetype(events_.size()));
  int select = -1;
  for (size_t i = 0; i < events_.size(); ++i) {
    const MediaMixEvent& e = events_[i];
    items << new QTreeWidgetItem(
        QStringList{QString::fromStdString(MediaMixTimeText(e.step)), PictureCaption(e.picture), ToQString(e.text)});
    if (e.step == selectStep) select = int(i);
  }
  lsvEvents->addTopLevelItems(items);
  block.unblock();
  SelectEvent(select);
}

void TfrmMediaMixEdit::MoveTimeAfterLast() {
  if (events_.empty()) return;
  // Past the last of the 2000 steps there is none: stay on the last.
  cmbTime->setCurrentIndex(std::min(events_.back().step + 1, kMediaMixSteps - 1));
}

void TfrmMediaMixEdit::AddEvent() {
  const int step = std::max(cmbTime->currentIndex(), 0);
  // A text pasted with line breaks stays on its event's line.
  MediaMixEvent event{step, std::max(cmbImage->currentIndex(), 0), MediaMixEventText(FromQString(edtText->text()))};
  auto same = std::find_if(events_.begin(), events_.end(), [step](const MediaMixEvent& e) { return e.step == step; });
  if (same != events_.end())
    *same = std::move(event);
  else
    events_.push_back(std::move(event));
  ShowEvents(step);
  edtText->clear();
  MoveTimeAfterLast();
}

void TfrmMediaMixEdit::EditEvent() {
  const int index = SelectedEvent();
  if (index < 0) return;
  const MediaMixEvent& e = events_[size_t(index)];
  cmbTime->setCurrentIndex(e.step);
  cmbImage->setCurrentIndex(e.picture);
  edtText->setText(ToQString(e.text));
}

void TfrmMediaMixEdit::DeleteEvent() {
  const int index = SelectedEvent();
  if (index < 0 || events_[size_t(index)].step == 0) return;
  events_.erase(events_.begin() + index);
  ShowEvents(-1);
  SelectEvent(std::min(index, int(events_.size()) - 1));
}

bool TfrmMediaMixEdit::CanShiftLater() const {
  const int index = SelectedEvent();
  return index > 0 && events_.back().step < kMediaMixSteps - 1;
}

bool TfrmMediaMixEdit::CanShiftEarlier() const {
  const int index = SelectedEvent();
  return index > 0 && events_[size_t(index - 1)].step <= events_[size_t(index)].step - 2;
}

void TfrmMediaMixEdit::ShiftTime(int steps) {
  if (steps > 0 ? !CanShiftLater() : !CanShiftEarlier()) return;
  const int index = SelectedEvent();
  const int by = steps > 0 ? 1 : -1;
  for (size_t i = size_t(index); i < events_.size(); ++i) events_[i].step += by;
  ShowEvents(events_[size_t(index)].step);
}

void TfrmMediaMixEdit::UpdateCommands() {
  const int index = SelectedEvent();
  btnEdit->setEnabled(index >= 0);
  btnDelete->setEnabled(index >= 0 && events_[size_t(index)].step != 0);
  btnTimeUp->setEnabled(CanShiftLater());
  btnTimeDown->setEnabled(CanShiftEarlier());
  btnOK->setEnabled(!events_.empty());
}

bool TfrmMediaMixEdit::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
  if (watched == edtText && enter) {
    AddEvent();
    return true;
  }
  if (watched == lsvEvents) {
    const bool shift = key->modifiers().testFlag(Qt::ShiftModifier);
    const bool keypad = key->modifiers().testFlag(Qt::KeypadModifier);
    if (enter) {
      EditEvent();
      return true;
    }
    if (key->key() == Qt::Key_Delete) {
      DeleteEvent();
      return true;
    }
    if (shift && keypad && key->key() == Qt::Key_Plus) {
      ShiftTime(1);
      return true;
    }
    if (shift && keypad && key->key() == Qt::Key_Minus) {
      ShiftTime(-1);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace qv
