#include "plugins/mail/pickers/ImageListSelector.h"

#include "plugins/mail/WindowText.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>

namespace qv {

TImageListSelector::TImageListSelector(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("ImageListSelector"));
  setFocusPolicy(Qt::StrongFocus);
  scrollBar_ = new QScrollBar(Qt::Vertical, this);
  scrollBar_->setObjectName(QStringLiteral("ScrollBar"));
  scrollBar_->setFocusPolicy(Qt::NoFocus);
  scrollBar_->hide();
  connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int row) { SetFirstRow(row); });
  Recalculate();
}

void TImageListSelector::SetImages(TImageList* images) {
  disconnect(imagesChanged_);
  images_ = images;
  if (images)
    imagesChanged_ = connect(images, &TImageList::Changed, this, [this] {
      SetImagesIndex(index_);
      Recalculate();
    });
  SetImagesIndex(index_);
  Recalculate();
}

void TImageListSelector::SetImagesIndex(int index) {
  const int count = images_ ? images_->Count() : 0;
  const int clamped = count > 0 ? std::clamp(index, 0, count - 1) : -1;
  // An index below 0 stays "none" while the list has images.
  const int next = index < 0 ? -1 : clamped;
  if (next == index_) return;
  index_ = next;
  ScrollIntoView(index_);
  update();
  emit OnChange();
}

void TImageListSelector::SetImageWidth(int value) {
  imageWidth_ = value;
  Recalculate();
}

void TImageListSelector::SetImageHeight(int value) {
  imageHeight_ = value;
  Recalculate();
}

void TImageListSelector::SetSpace(int value) {
  space_ = std::max(0, value);
  Recalculate();
}

void TImageListSelector::SetColor(TColor value) {
  color_ = value;
  update();
}

int TImageListSelector::CellWidth() const {
  const int image = imageWidth_ > 0 ? imageWidth_ : (images_ ? images_->GetWidth() : 0);
  return std::max(1, image + 2 * space_);
}

int TImageListSelector::CellHeight() const {
  const int image = imageHeight_ > 0 ? imageHeight_ : (images_ ? images_->GetHeight() : 0);
  return std::max(1, image + 2 * space_);
}

int TImageListSelector::PageRows() const { return std::max(1, height() / CellHeight()); }

bool TImageListSelector::ScrollBarShown() const { return !Synced().scrollBar_->isHidden(); }

int TImageListSelector::ClientWidth() const {
  return std::max(0, width() - (ScrollBarShown() ? scrollBar_->width() : 0));
}

const TImageListSelector& TImageListSelector::Synced() const {
  if (laidOut_ != size()) const_cast<TImageListSelector*>(this)->Recalculate();
  return *this;
}

void TImageListSelector::Recalculate() {
  laidOut_ = size();
  const int count = images_ ? images_->Count() : 0;
  const int cw = CellWidth(), ch = CellHeight();
  auto rowsFor = [count](int columns) { return (count + columns - 1) / columns; };
  columns_ = std::max(1, width() / cw);
  rows_ = rowsFor(columns_);
  const bool scroll = static_cast<long long>(rows_) * ch > height();
  const int barWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  if (scroll) {
    columns_ = std::max(1, (width() - barWidth) / cw);
    rows_ = rowsFor(columns_);
    scrollBar_->setGeometry(width() - barWidth, 0, barWidth, height());
  }
  scrollBar_->setVisible(scroll);
  const int page = PageRows();
  const QSignalBlocker block(scrollBar_);
  scrollBar_->setRange(0, std::max(0, rows_ - page));
  scrollBar_->setPageStep(page);
  scrollBar_->setSingleStep(1);
  firstRow_ = std::clamp(firstRow_, 0, std::max(0, rows_ - page));
  scrollBar_->setValue(firstRow_);
  update();
}

void TImageListSelector::SetFirstRow(int row) {
  Synced();
  const int clamped = std::clamp(row, 0, std::max(0, rows_ - PageRows()));
  if (clamped == firstRow_) return;
  firstRow_ = clamped;
  const QSignalBlocker block(scrollBar_);
  scrollBar_->setValue(firstRow_);
  update();
}

void TImageListSelector::ScrollIntoView(int index) {
  Synced();
  if (index < 0) return;
  const int row = index / columns_;
  if (row < firstRow_)
    SetFirstRow(row);
  else if (row >= firstRow_ + PageRows())
    SetFirstRow(row - PageRows() + 1);
}

QRect TImageListSelector::CellRect(int index) const {
  Synced();
  const int cw = CellWidth(), ch = CellHeight();
  return QRect(index % columns_ * cw, (index / columns_ - firstRow_) * ch, cw, ch);
}

int TImageListSelector::IndexAt(QPoint point) const {
  Synced();
  const int count = images_ ? images_->Count() : 0;
  if (count == 0) return -1;
  const int col = std::clamp(point.x() / CellWidth(), 0, columns_ - 1);
  const int row = firstRow_ + std::max(0, point.y()) / CellHeight();
  const long long index = static_cast<long long>(row) * columns_ + col;
  return static_cast<int>(std::min<long long>(std::max(0LL, index), count - 1));
}

void TImageListSelector::paintEvent(QPaintEvent*) {
  Synced();
  QPainter painter(this);
  painter.fillRect(rect(), ToQColor(color_));
  if (!images_) return;
  const int count = images_->Count();
  const bool focused = hasFocus();
  for (int row = firstRow_; (row - firstRow_) * CellHeight() < height(); ++row) {
    for (int col = 0; col < columns_; ++col) {
      const int index = row * columns_ + col;
      if (index >= count) return;
      const QRect cell = CellRect(index);
      const bool selected = focused && index == index_;
      if (selected) painter.fillRect(cell, palette().color(QPalette::Highlight));
      const QRect target = cell.adjusted(space_, space_, -space_, -space_);
      if (!target.isEmpty()) painter.drawImage(target, images_->Image(index));
      if (selected) {
        painter.setPen(QPen(palette().color(QPalette::HighlightedText), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(cell.adjusted(0, 0, -1, -1));
      }
    }
  }
}

void TImageListSelector::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Recalculate();
}

void TImageListSelector::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  if (event->button() == Qt::LeftButton) SetImagesIndex(IndexAt(event->position().toPoint()));
}

void TImageListSelector::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) SetImagesIndex(IndexAt(event->position().toPoint()));
}

void TImageListSelector::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) SetImagesIndex(IndexAt(event->position().toPoint()));
}

void TImageListSelector::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  SetImagesIndex(IndexAt(event->position().toPoint()));
  if (index_ >= 0) emit Activated();
}

void TImageListSelector::keyPressEvent(QKeyEvent* event) {
  Synced();
  const int count = images_ ? images_->Count() : 0;
  int step = 0;
  switch (event->key()) {
    case Qt::Key_Left: step = -1; break;
    case Qt::Key_Right: step = 1; break;
    case Qt::Key_Up: step = -columns_; break;
    case Qt::Key_Down: step = columns_; break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (index_ >= 0) emit Activated();
      return;
    default: QWidget::keyPressEvent(event); return;
  }
  if (count > 0) SetImagesIndex(std::clamp(std::max(index_, 0) + (index_ < 0 ? 0 : step), 0, count - 1));
}

void TImageListSelector::wheelEvent(QWheelEvent* event) {
  const int notches = event->angleDelta().y() / 120;
  if (notches != 0) SetFirstRow(firstRow_ - notches);
  event->accept();
}

void TImageListSelector::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
}

void TImageListSelector::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

// ---- the dialog component -------------------------------------------------------

TImageListSelectorDialog::TImageListSelectorDialog(QObject* owner) : QObject(owner), caption_(Q("イメージ選択")) {}

bool TImageListSelectorDialog::Execute() {
  QWidget* ownerWidget = parent() && parent()->isWidgetType() ? static_cast<QWidget*>(parent()) : nullptr;
  QDialog dialog(ownerWidget);
  dialog.setObjectName(QStringLiteral("ImageListSelectorDialog"));
  dialog.setWindowTitle(caption_);
  ApplyLook(dialog, parent(), color_);
  dialog.setAutoFillBackground(true);
  auto* layout = new QVBoxLayout(&dialog);
  auto* selector = new TImageListSelector(&dialog);
  selector->SetImageWidth(0);
  selector->SetImageHeight(0);
  selector->SetImages(images_);
  selector->SetImagesIndex(index_);
  selector->setMinimumSize(240, 160);
  layout->addWidget(selector, 1);
  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
  ok->setObjectName(QStringLiteral("btnOK"));
  auto* cancel = new QPushButton(Q("キャンセル"), &dialog);
  cancel->setObjectName(QStringLiteral("btnCancel"));
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  QObject::connect(selector, &TImageListSelector::Activated, &dialog, &QDialog::accept);
  selector->setFocus();
  if (dialog.exec() != QDialog::Accepted) return false;
  index_ = selector->GetImagesIndex();
  return true;
}

}  // namespace qv
