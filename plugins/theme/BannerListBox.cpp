#include "plugins/theme/BannerListBox.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace qv {
namespace {

class RowDelegate : public QStyledItemDelegate {
 public:
  explicit RowDelegate(TBannerListBox* list) : QStyledItemDelegate(list), list_(list) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    painter->save();
    painter->setClipRect(option.rect);
    list_->PaintRow(*painter, option.rect, index.row(), option.state.testFlag(QStyle::State_Selected));
    painter->restore();
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
    return {option.rect.width(), list_->ItemHeight()};
  }

 private:
  TBannerListBox* list_;
};

}  // namespace

TBannerListBox::TBannerListBox(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new RowDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  setDragDropMode(QAbstractItemView::NoDragDrop);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void TBannerListBox::SetItemHeight(int height) {
  itemHeight_ = height;
  doItemsLayout();
}

void TBannerListBox::PaintRow(QPainter& painter, const QRect& rect, int row, bool selected) const {
  if (draw_) draw_(painter, rect, row, selected);
}

void TBannerListBox::mousePressEvent(QMouseEvent* event) {
  const int row = indexAt(event->position().toPoint()).row();
  if (event->button() == Qt::RightButton) {
    // The right button selects the row under it, for the pop-up menu.
    if (row >= 0) setCurrentRow(row);
    event->accept();
    return;
  }
  QListWidget::mousePressEvent(event);
  if (event->button() == Qt::LeftButton) {
    pressRow_ = row;
    pressPos_ = event->position().toPoint();
    dragging_ = false;
  }
}

void TBannerListBox::mouseMoveEvent(QMouseEvent* event) {
  if (rowDragging_ && pressRow_ >= 0 && (event->buttons() & Qt::LeftButton)) {
    if (!dragging_ &&
        (event->position().toPoint() - pressPos_).manhattanLength() >= QApplication::startDragDistance()) {
      dragging_ = true;
      viewport()->setCursor(Qt::DragMoveCursor);
    }
    // The selection stays on the picked-up row while it is carried.
    event->accept();
    return;
  }
  QListWidget::mouseMoveEvent(event);
}

void TBannerListBox::mouseReleaseEvent(QMouseEvent* event) {
  const bool dropped = dragging_ && event->button() == Qt::LeftButton;
  if (dragging_) viewport()->unsetCursor();
  dragging_ = false;
  pressRow_ = -1;
  if (!dropped) {
    QListWidget::mouseReleaseEvent(event);
    return;
  }
  event->accept();
  const int from = currentRow();
  if (from < 0 || count() == 0) return;
  int to = indexAt(event->position().toPoint()).row();
  // Below the last row the frame goes to the end.
  if (to < 0) {
    if (!viewport()->rect().contains(event->position().toPoint())) return;
    to = count() - 1;
  }
  emit rowDropped(from, to);
}

}  // namespace qv
