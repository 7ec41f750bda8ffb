#include "controls/ControlSupport.h"

#include <QApplication>
#include <QPainter>

TColor ParentColorOf(const QWidget* parent) {
  if (!parent) return clBtnFace;
  if (const auto* control = dynamic_cast<const TColorControl*>(parent)) return control->GetColor();
  return ColorFromQColor(parent->palette().color(parent->backgroundRole()));
}

void NotifyChildrenColorChanged(QWidget* parent) {
  for (QObject* child : parent->children()) {
    if (auto* control = dynamic_cast<TColorControl*>(child)) control->ParentColorChanged();
  }
}

ControlColor::ControlColor(QWidget* owner, TColor color, bool parentColor, std::function<void(TColor)> changed)
    : owner_(owner), color_(color), parentColor_(parentColor), changed_(std::move(changed)) {}

void ControlColor::Set(TColor color) {
  parentColor_ = false;
  Apply(color);
}

void ControlColor::SetParentColor(bool value) {
  parentColor_ = value;
  ParentChanged();
}

void ControlColor::ParentChanged() {
  if (parentColor_) Apply(ParentColorOf(owner_->parentWidget()));
}

void ControlColor::Apply(TColor color) {
  if (color == color_) return;
  const TColor previous = color_;
  color_ = color;
  changed_(previous);
  NotifyChildrenColorChanged(owner_);
}

ControlFont::ControlFont(QWidget* owner, std::function<void()> changed) : owner_(owner), changed_(std::move(changed)) {}

TFont ControlFont::Get() const { return TFont{owner_->font(), color_}; }

void ControlFont::Set(const TFont& font) {
  const bool colorChanged = font.Color != color_;
  if (colorChanged) parentFont_ = false;
  color_ = font.Color;
  if (font.Font != owner_->font())
    owner_->setFont(font.Font);  // the widget's change event reports it
  else if (colorChanged)
    changed_();
}

void ControlFont::SetParentFont(bool value) {
  parentFont_ = value;
  ParentChanged();
}

void ControlFont::ParentChanged() {
  if (!parentFont_) return;
  const TColor color = ParentTextColor();
  if (color == color_) return;
  color_ = color;
  changed_();
}

TColor ControlFont::ParentTextColor() const {
  const QColor own = owner_->palette().color(QPalette::Active, QPalette::WindowText);
  // Nothing above the control set a text colour: the system's, as a system colour.
  if (own == QApplication::palette(owner_).color(QPalette::Active, QPalette::WindowText)) return clWindowText;
  return ColorFromQColor(own);
}

ImageListLink::ImageListLink(QWidget* owner, std::function<void()> freed) : owner_(owner), freed_(std::move(freed)) {}

ImageListLink::~ImageListLink() { Disconnect(); }

void ImageListLink::Disconnect() {
  QObject::disconnect(changed_);
  QObject::disconnect(destroyed_);
}

void ImageListLink::Set(TImageList* list) {
  Disconnect();
  list_ = list;
  if (list) {
    changed_ = QObject::connect(list, &TImageList::Changed, owner_, qOverload<>(&QWidget::update));
    destroyed_ = QObject::connect(list, &QObject::destroyed, owner_, [this] {
      list_ = nullptr;
      freed_();
      owner_->update();
    });
  }
  owner_->update();
}

QPoint OffsetInTopParent(const QWidget* widget) { return widget->mapTo(widget->window(), QPoint(0, 0)); }

void TileImage(QPainter& painter, const QRect& area, const QImage& image, QPoint offset) {
  if (image.isNull() || area.isEmpty()) return;
  painter.save();
  painter.setBrushOrigin(-offset);
  painter.fillRect(area, QBrush(image));
  painter.restore();
}

void DrawFocusRect(QPainter& painter, const TRect& rect) {
  if (rect.IsEmpty()) return;
  painter.save();
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  const QColor white(255, 255, 255);
  // Every other pixel along the outline, as the system draws it.
  auto dot = [&](int x, int y) {
    if (((x + y) & 1) == 0) painter.fillRect(QRect(x, y, 1, 1), white);
  };
  for (int x = rect.Left; x < rect.Right; ++x) {
    dot(x, rect.Top);
    if (rect.Bottom - 1 > rect.Top) dot(x, rect.Bottom - 1);
  }
  for (int y = rect.Top + 1; y < rect.Bottom - 1; ++y) {
    dot(rect.Left, y);
    if (rect.Right - 1 > rect.Left) dot(rect.Right - 1, y);
  }
  painter.restore();
}
