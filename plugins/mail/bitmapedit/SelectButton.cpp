#include "plugins/mail/bitmapedit/SelectButton.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

#include "controls/CustomPanel.h"

namespace qv {

namespace {
// Border of the folded button, and the gap before the row of alternatives.
constexpr int kEdge = 2;
constexpr int kRowStart = 6;
}  // namespace

TSelectButton::TSelectButton(QWidget* parent)
    : QWidget(parent), color_(this, clBtnFace, true, [this](TColor) { update(); }) {
  resize(FoldedSize());
}

void TSelectButton::SetGlyph(const QImage& glyph) {
  glyph_ = glyph;
  CutImages();
  update();
}

void TSelectButton::SetButtonCount(int count) {
  buttonCount_ = std::max(count, 1);
  selectNo_ = std::clamp(selectNo_, 0, buttonCount_ - 1);
  CutImages();
  if (!unfolded_) resize(FoldedSize());
  update();
}

void TSelectButton::SetButtonWidth(int width) {
  buttonWidth_ = std::max(width, 0);
  resize(unfolded_ ? UnfoldedSize() : FoldedSize());
  update();
}

void TSelectButton::SetButtonHeight(int height) {
  buttonHeight_ = std::max(height, 0);
  resize(unfolded_ ? UnfoldedSize() : FoldedSize());
  update();
}

void TSelectButton::SetSelectNo(int index) { StoreAndRepaint(*this, selectNo_, std::clamp(index, 0, buttonCount_ - 1)); }

void TSelectButton::SetDown(bool down) {
  if (down && parentWidget()) {
    for (TSelectButton* other : parentWidget()->findChildren<TSelectButton*>(Qt::FindDirectChildrenOnly))
      if (other != this && other->group_ == group_ && other->down_) other->SetDown(false);
  }
  StoreAndRepaint(*this, down_, down);
}

QImage TSelectButton::Image(int index) const {
  return index >= 0 && index < images_.size() ? images_[index] : QImage();
}

QSize TSelectButton::FoldedSize() const { return QSize(buttonWidth_ + 2 * kEdge, buttonHeight_ + 2 * kEdge); }

QSize TSelectButton::UnfoldedSize() const {
  return QSize((buttonCount_ + 1) * buttonWidth_ + 4 * kEdge, buttonHeight_ + 2 * kEdge);
}

void TSelectButton::CutImages() {
  images_.clear();
  if (glyph_.isNull()) return;
  const int w = glyph_.width() / buttonCount_, h = glyph_.height();
  if (w <= 0) return;
  const QRgb transparent = glyph_.pixel(0, h - 1) | 0xFF000000u;
  for (int i = 0; i < buttonCount_; ++i) {
    QImage image = glyph_.copy(i * w, 0, w, h).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
      QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < w; ++x)
        if ((line[x] | 0xFF000000u) == transparent) line[x] = 0;
    }
    images_.push_back(image);
  }
}

int TSelectButton::ColumnAt(QPoint pos) const {
  // Only the row's own columns count: a point left of the row (over the
  // folded button) is none, not column 0.
  if (buttonWidth_ <= 0 || pos.y() < 0 || pos.y() >= height()) return -1;
  const int dx = pos.x() - buttonWidth_ - kRowStart;
  if (dx < 0) return -1;
  const int column = dx / buttonWidth_;
  return column < buttonCount_ ? column : -1;
}

void TSelectButton::Fold() {
  unfolded_ = false;
  marked_ = -1;
  resize(FoldedSize());
  update();
}

void TSelectButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  TCanvas canvas(painter);
  const QSize folded = FoldedSize();
  if (unfolded_) {
    // The row: a raised strip behind the alternatives, the marked one lit.
    TRect row{0, 0, width(), height()};
    canvas.Brush = {GetColor(), bsSolid};
    canvas.FillRect(row);
    Frame3D(canvas, row, clBtnHighlight, clBtnShadow, 1);
    for (int i = 0; i < buttonCount_; ++i) {
      const TRect cell{buttonWidth_ + kRowStart + i * buttonWidth_, kEdge,
                       buttonWidth_ + kRowStart + (i + 1) * buttonWidth_, kEdge + buttonHeight_};
      if (i == marked_) {
        canvas.Brush = {clHighlight, bsSolid};
        canvas.FillRect(cell);
      }
      const QImage image = Image(i);
      if (!image.isNull())
        painter.drawImage(cell.Left + (buttonWidth_ - image.width()) / 2,
                          cell.Top + (buttonHeight_ - image.height()) / 2, image);
    }
  }
  TRect face{0, 0, folded.width(), folded.height()};
  canvas.Brush = {down_ ? downColor_ : GetColor(), bsSolid};
  canvas.FillRect(face);
  Frame3D(canvas, face, down_ ? clBtnShadow : clBtnHighlight, down_ ? clBtnHighlight : clBtnShadow, 1);
  const QImage image = Image(selectNo_);
  if (!image.isNull())
    painter.drawImage((folded.width() - image.width()) / 2, (folded.height() - image.height()) / 2, image);
}

void TSelectButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressed_ = true;
  SetDown(true);
  if (buttonCount_ > 1 && buttonWidth_ > 0) {
    unfolded_ = true;
    marked_ = -1;
    resize(UnfoldedSize());
    raise();
    update();
  }
}

void TSelectButton::mouseMoveEvent(QMouseEvent* event) {
  if (!pressed_ || !unfolded_) return;
  const int marked = ColumnAt(event->position().toPoint());
  if (marked != marked_) {
    marked_ = marked;
    update();
  }
}

void TSelectButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return;
  pressed_ = false;
  if (unfolded_) {
    const int marked = ColumnAt(event->position().toPoint());
    if (marked >= 0) selectNo_ = marked;
    Fold();
  }
  emit OnChange();
}

void TSelectButton::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double click arrives as this event alone.
  mousePressEvent(event);
  if (event->button() == Qt::LeftButton) emit OnDblClick();
}

void TSelectButton::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) color_.ParentChanged();
}

}  // namespace qv
