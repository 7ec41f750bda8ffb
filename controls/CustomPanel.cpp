#include "controls/CustomPanel.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

void Frame3D(TCanvas& canvas, TRect& rect, TColor top, TColor bottom, int width) {
  QPainter& p = canvas.Painter();
  const QColor t = ToQColor(top);
  const QColor b = ToQColor(bottom);
  for (int i = 0; i < width && !rect.IsEmpty(); ++i) {
    p.fillRect(QRect(rect.Left, rect.Top, rect.Width(), 1), t);
    p.fillRect(QRect(rect.Left, rect.Top, 1, rect.Height()), t);
    p.fillRect(QRect(rect.Left + 1, rect.Bottom - 1, rect.Width() - 1, 1), b);
    p.fillRect(QRect(rect.Right - 1, rect.Top, 1, rect.Height()), b);
    rect = rect.Inflated(-1, -1);
  }
}

void BevelColors(TPanelBevel bevel, TColor color, TColor& top, TColor& bottom) {
  top = bevel == bvLowered ? clBtnShadow : clBtnHighlight;
  bottom = bevel == bvLowered ? clBtnHighlight : clBtnShadow;
  if (bevel == bvSpace) top = bottom = color;
}

TCustomPanel::TCustomPanel(QWidget* parent)
    : QWidget(parent),
      color_(this, clBtnFace, false, [this](TColor previous) { ColorChanged(previous); }),
      font_(this, [this] { FontChanged(); }) {
  resize(185, 41);
  Realign();
}

void TCustomPanel::SetCaption(const QString& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  CaptionChanged();
}

void TCustomPanel::SetBevelInner(TPanelBevel bevel) {
  bevelInner_ = bevel;
  Realign();
  update();
}

void TCustomPanel::SetBevelOuter(TPanelBevel bevel) {
  bevelOuter_ = bevel;
  Realign();
  update();
}

void TCustomPanel::SetBevelWidth(int width) {
  bevelWidth_ = std::max(1, width);
  Realign();
  update();
}

void TCustomPanel::SetBorderWidth(int width) {
  borderWidth_ = std::max(0, width);
  Realign();
  update();
}

int TCustomPanel::BevelSize() const {
  int size = borderWidth_;
  if (bevelOuter_ != bvNone) size += bevelWidth_;
  if (bevelInner_ != bvNone) size += bevelWidth_;
  return size;
}

void TCustomPanel::AdjustClientRect(TRect& rect) const {
  const int size = BevelSize();
  rect = rect.Inflated(-size, -size);
}

TRect TCustomPanel::ClientRect() const {
  TRect rect{0, 0, width(), height()};
  AdjustClientRect(rect);
  return rect;
}

void TCustomPanel::Realign() {
  const TRect r = ClientRect();
  const QMargins margins(std::max(0, r.Left), std::max(0, r.Top), std::max(0, width() - r.Right),
                         std::max(0, height() - r.Bottom));
  if (margins != contentsMargins()) setContentsMargins(margins);
}

void TCustomPanel::ColorChanged(TColor) { update(); }

void TCustomPanel::FontChanged() {
  Realign();
  update();
}

void TCustomPanel::PaintPanel(TCanvas& canvas) {
  TRect rect{0, 0, width(), height()};
  TColor top = clBtnHighlight;
  TColor bottom = clBtnShadow;
  if (bevelOuter_ != bvNone) {
    BevelColors(bevelOuter_, GetColor(), top, bottom);
    Frame3D(canvas, rect, top, bottom, bevelWidth_);
  }
  Frame3D(canvas, rect, GetColor(), GetColor(), borderWidth_);
  if (bevelInner_ != bvNone) {
    BevelColors(bevelInner_, GetColor(), top, bottom);
    Frame3D(canvas, rect, top, bottom, bevelWidth_);
  }
  canvas.Brush.Color = GetColor();
  canvas.Brush.Style = bsSolid;
  canvas.FillRect(rect);
  QPainter& p = canvas.Painter();
  p.setFont(font());
  p.setPen(ToQColor(GetFont().Color));
  const int h = alignment_ == taLeftJustify    ? Qt::AlignLeft
                : alignment_ == taRightJustify ? Qt::AlignRight
                                               : Qt::AlignHCenter;
  p.drawText(rect.ToQRect(), h | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextExpandTabs, caption_);
}

void TCustomPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  TCanvas canvas(p);
  canvas.Font = GetFont();
  PaintPanel(canvas);
}

void TCustomPanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Realign();
}

void TCustomPanel::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) font_.WidgetFontChanged();
  if (event->type() == QEvent::EnabledChange) update();
  if (event->type() == QEvent::PaletteChange) {
    color_.ParentChanged();
    font_.ParentChanged();
  }
}

bool TCustomPanel::event(QEvent* event) {
  if (event->type() == QEvent::ParentChange) color_.ParentChanged();
  if (event->type() == QEvent::ParentChange || event->type() == QEvent::Polish) font_.ParentChanged();
  return QWidget::event(event);
}

void TCustomPanel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) clickPending_ = true;
  QWidget::mousePressEvent(event);
}

void TCustomPanel::mouseReleaseEvent(QMouseEvent* event) {
  const bool click = clickPending_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  if (event->button() == Qt::LeftButton) clickPending_ = false;
  QWidget::mouseReleaseEvent(event);
  if (click) emit clicked();
}

void TCustomPanel::mouseDoubleClickEvent(QMouseEvent* event) {
  QWidget::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) emit doubleClicked();
}
