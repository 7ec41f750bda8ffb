#include "plugins/mail/picedit/GridPictBtn.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>

#include <algorithm>

#include "controls/BRVGraphicsEX.h"
#include "controls/CustomPanel.h"

namespace qv {

namespace {
const QPoint kNoCell(-1, -1);
constexpr TColor kFrameGrey = 0x808080;

// trunc(size / parts x index), the edge between two cells.
int Edge(int size, int parts, int index) { return int(double(size) / parts * index); }
}  // namespace

TGridPictBtn::TGridPictBtn(QWidget* parent)
    : QWidget(parent),
      color_(this, clBtnFace, true, [this](TColor) { update(); }),
      font_(this, [this] { update(); }) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  resize(96, 72);
}

void TGridPictBtn::SetCols(int cols) {
  cols_ = std::max(cols, 1);
  current_.setX(std::min(current_.x(), cols_ - 1));
  over_ = down_ = kNoCell;
  update();
}

void TGridPictBtn::SetRows(int rows) {
  rows_ = std::max(rows, 1);
  current_.setY(std::min(current_.y(), rows_ - 1));
  over_ = down_ = kNoCell;
  update();
}

void TGridPictBtn::SetPicture(const QImage& picture) {
  picture_ = picture;
  ApplyAutoSize();
  update();
}

void TGridPictBtn::SetAutoSize(bool value) {
  autoSize_ = value;
  ApplyAutoSize();
}

void TGridPictBtn::ApplyAutoSize() {
  if (autoSize_ && !picture_.isNull()) resize(picture_.size());
}

void TGridPictBtn::SetCellIndexA(int column) {
  current_.setX(std::clamp(column, 0, cols_ - 1));
  update();
}

void TGridPictBtn::SetCellIndexB(int row) {
  current_.setY(std::clamp(row, 0, rows_ - 1));
  update();
}

QRect TGridPictBtn::CellRect(int column, int row) const {
  const int left = Edge(width(), cols_, column), right = Edge(width(), cols_, column + 1);
  const int top = Edge(height(), rows_, row), bottom = Edge(height(), rows_, row + 1);
  return QRect(left, top, right - left, bottom - top);
}

QRect TGridPictBtn::PictureRect(int column, int row) const {
  const int left = Edge(picture_.width(), cols_, column), right = Edge(picture_.width(), cols_, column + 1);
  const int top = Edge(picture_.height(), rows_, row), bottom = Edge(picture_.height(), rows_, row + 1);
  return QRect(left, top, right - left, bottom - top);
}

QPoint TGridPictBtn::CellAt(QPoint pos) const {
  if (!rect().contains(pos)) return kNoCell;
  for (int r = 0; r < rows_; ++r)
    for (int c = 0; c < cols_; ++c)
      if (CellRect(c, r).contains(pos)) return QPoint(c, r);
  return kNoCell;
}

QString TGridPictBtn::CellText(int column, int row) const {
  const int index = column + row * cols_;
  // Fewer captions than cells leaves the rest without one.
  return index >= 0 && index < items_.size() ? items_[index] : QString();
}

int TGridPictBtn::TextFlags(TDraeTextFormat format) {
  int flags = 0;
  if (format & dtCENTER)
    flags |= Qt::AlignHCenter;
  else if (format & dtRIGHT)
    flags |= Qt::AlignRight;
  else
    flags |= Qt::AlignLeft;
  if (format & dtVCENTER)
    flags |= Qt::AlignVCenter;
  else if (format & dtBOTTOM)
    flags |= Qt::AlignBottom;
  else
    flags |= Qt::AlignTop;
  if (format & dtSINGLELINE) flags |= Qt::TextSingleLine;
  if ((format & dtWORDBREAK) && !(format & dtSINGLELINE)) flags |= Qt::TextWordWrap;
  if (format & dtEXPANDTABS) flags |= Qt::TextExpandTabs;
  if (!(format & dtNOPREFIX)) flags |= Qt::TextShowMnemonic;
  if (format & dtNOCLIP) flags |= Qt::TextDontClip;
  return flags;
}

void TGridPictBtn::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  for (int r = 0; r < rows_; ++r)
    for (int c = 0; c < cols_; ++c)
      if (event->rect().intersects(CellRect(c, r))) PaintCell(painter, c, r);
}

void TGridPictBtn::PaintCell(QPainter& painter, int column, int row) {
  const QRect cell = CellRect(column, row);
  if (cell.isEmpty()) return;
  const QPoint here(column, row);
  const bool pressed = here == down_;
  const bool over = here == over_;
  const bool current = here == current_;
  painter.save();
  painter.setClipRect(cell);
  painter.fillRect(cell, ToQColor(GetColor()));
  if (!picture_.isNull()) {
    // Pieces stretch without smoothing; a pressed piece sinks one pixel.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(pressed ? cell.translated(1, 1) : cell, picture_, PictureRect(column, row));
  }

  const bool focused = hasFocus();
  if (!flat_ || over || pressed || current || (focused && focusedVisibleText_)) {
    TCanvas canvas(painter);
    TRect frame = TRect::FromQRect(cell);
    const TColor pen = current ? focusColor_ : kFrameGrey;
    if (pressed)
      Frame3D(canvas, frame, pen, clBtnHighlight, 1);
    else
      Frame3D(canvas, frame, clBtnHighlight, pen, 1);
  }

  if (itemVisible_ || (focusedVisibleText_ && focused)) {
    const TDCState state = pressed ? dcsDown : over ? dcsOver : dcsNormal;
    QString text = CellText(column, row);
    TColor textColor = state == dcsDown ? flashColor_ : state == dcsOver ? overColor_ : GetFont().Color;
    if (onDrawCell_) onDrawCell_(this, column, row, column + row * cols_, state, text, textColor);
    if (!text.isEmpty()) {
      const int flags = TextFlags(drawTextFormat_);
      painter.setFont(font());
      if (drawText3D_) {
        painter.setPen(ToQColor(BlendColor(textColor, clWhite, 128)));
        for (int dy = -1; dy <= 0; ++dy)
          for (int dx = -1; dx <= 0; ++dx) painter.drawText(cell.translated(dx, dy), flags, text);
        painter.setPen(Qt::black);
        for (int dy = 0; dy <= 1; ++dy)
          for (int dx = 0; dx <= 1; ++dx) painter.drawText(cell.translated(dx, dy), flags, text);
      }
      painter.setPen(ToQColor(textColor));
      painter.drawText(cell, flags, text);
    }
  }
  painter.restore();
}

void TGridPictBtn::Press(QPoint pos, bool doubleClick) {
  const QPoint cell = CellAt(pos);
  if (cell == kNoCell) return;
  down_ = cell;
  current_ = cell;
  doubleClick_ = doubleClick;
  update();
}

void TGridPictBtn::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) Press(event->position().toPoint(), false);
  QWidget::mousePressEvent(event);
}

void TGridPictBtn::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) Press(event->position().toPoint(), true);
}

void TGridPictBtn::mouseMoveEvent(QMouseEvent* event) {
  SetOver(CellAt(event->position().toPoint()));
  QWidget::mouseMoveEvent(event);
}

void TGridPictBtn::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || down_ == kNoCell) return;
  const QPoint pressed = down_;
  const bool doubleClick = doubleClick_;
  down_ = kNoCell;
  doubleClick_ = false;
  update();
  if (CellAt(event->position().toPoint()) != pressed) return;
  const int num = pressed.x() + pressed.y() * cols_;
  if (doubleClick)
    emit OnCellDblClick(pressed.x(), pressed.y(), num);
  else
    emit OnCellClick(pressed.x(), pressed.y(), num);
}

void TGridPictBtn::SetOver(QPoint cell) {
  if (cell == over_) return;
  over_ = cell;
  update();
}

void TGridPictBtn::leaveEvent(QEvent* event) {
  SetOver(kNoCell);
  QWidget::leaveEvent(event);
}

void TGridPictBtn::focusInEvent(QFocusEvent* event) {
  update();
  QWidget::focusInEvent(event);
}

void TGridPictBtn::focusOutEvent(QFocusEvent* event) {
  update();
  QWidget::focusOutEvent(event);
}

void TGridPictBtn::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) font_.WidgetFontChanged();
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange) color_.ParentChanged();
}

}  // namespace qv
