#include "controls/MultiButton.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionButton>

#include "controls/BRVGraphicsEX.h"

namespace {

TRect Union(const TRect& a, const TRect& b) {
  return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right), std::max(a.Bottom, b.Bottom)};
}

int CaptionAlignment(TAlignment alignment) {
  switch (alignment) {
    case taLeftJustify:
      return 3;
    case taRightJustify:
      return 5;
    default:
      return 4;
  }
}

}  // namespace

int StrToIntDef(const QString& text, int def) {
  QString s = text.trimmed();
  bool negative = false;
  if (s.startsWith(u'-') || s.startsWith(u'+')) {
    negative = s.startsWith(u'-');
    s = s.mid(1);
  }
  int base = 10;
  if (s.startsWith(u'$')) {
    base = 16;
    s = s.mid(1);
  } else if (s.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
    base = 16;
    s = s.mid(2);
  }
  if (s.isEmpty()) return def;
  bool ok = false;
  const qulonglong value = s.toULongLong(&ok, base);
  const qulonglong limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  if (!ok || value > limit) return def;
  const auto bits = static_cast<uint32_t>(value);
  return negative ? static_cast<int>(0u - bits) : static_cast<int>(bits);
}

// --- TMultiButtonBase -----------------------------------------------------

TMultiButtonBase::TMultiButtonBase(QWidget* parent)
    : QPushButton(parent),
      images_(this, [this] { imageIndex_ = -1; }),
      color_(this, clBtnFace, false, [this](TColor previous) { ColorChanged(previous); }),
      font_(this, [this] { FontChanged(); }) {
  faceColor_ = color_.Get();
  fontOnMouse_ = font_.Get();
  lastFont_ = fontOnMouse_;
  // Connected first, so the down state has changed before OnClick handlers run.
  connect(this, &QAbstractButton::clicked, this, &TMultiButtonBase::Click);
}

void TMultiButtonBase::SetCaption(const QString& caption) {
  setText(caption);
  update();
}

void TMultiButtonBase::SetDown(bool value) {
  if (value && (downStyle_ == bdsUnique || downStyle_ == bdsUniqueOrAllUp) && parentWidget()) {
    for (QObject* child : parentWidget()->children()) {
      auto* other = qobject_cast<TMultiButtonBase*>(child);
      if (!other || other == this || other->metaObject() != metaObject()) continue;
      if (other->downStyle_ == downStyle_ && other->groupIndex_ == groupIndex_ && other->down_) other->SetDown(false);
    }
  }
  down_ = value;
  emit OnDownChange();
  update();
}

void TMultiButtonBase::SetAction(QAction* action) {
  if (action_) disconnect(action_, nullptr, this, nullptr);
  action_ = action;
  if (action) {
    connect(action, &QAction::changed, this, &TMultiButtonBase::ApplyAction);
    ApplyAction();
  }
}

void TMultiButtonBase::ApplyAction() {
  if (!action_) return;
  SetCaption(action_->text());
  setToolTip(action_->toolTip());
  setEnabled(action_->isEnabled());
  setVisible(action_->isVisible());
}

void TMultiButtonBase::Click() {
  SetGrayed(false);
  if (downStyle_ != bdsNone && !(down_ && downStyle_ == bdsUnique)) SetDown(!down_);
  if (action_) action_->trigger();
}

void TMultiButtonBase::ColorChanged(TColor previous) {
  if (faceColor_ == previous) faceColor_ = GetColor();
  update();
}

void TMultiButtonBase::FontChanged() {
  const TFont font = font_.Get();
  if (fontOnMouse_ == lastFont_) fontOnMouse_ = font;
  lastFont_ = font;
  update();
}

void TMultiButtonBase::changeEvent(QEvent* event) {
  QPushButton::changeEvent(event);
  switch (event->type()) {
    case QEvent::FontChange:
      font_.WidgetFontChanged();
      break;
    case QEvent::EnabledChange:
      update();
      break;
    case QEvent::PaletteChange:
      color_.ParentChanged();
      font_.ParentChanged();
      break;
    default:
      break;
  }
}

bool TMultiButtonBase::event(QEvent* event) {
  if (event->type() == QEvent::ParentChange) color_.ParentChanged();
  if (event->type() == QEvent::ParentChange || event->type() == QEvent::Polish) font_.ParentChanged();
  return QPushButton::event(event);
}

void TMultiButtonBase::enterEvent(QEnterEvent* event) {
  QPushButton::enterEvent(event);
  mouseOver_ = true;
  if (flat_ || !(fontOnMouse_ == GetFont())) {
    if (TakesFocusOnEnter() && isEnabled()) setFocus(Qt::MouseFocusReason);
    update();
  }
  emit OnMouseEnter();
}

void TMultiButtonBase::leaveEvent(QEvent* event) {
  QPushButton::leaveEvent(event);
  mouseOver_ = false;
  if (flat_ || !(fontOnMouse_ == GetFont())) update();
  emit OnMouseLeave();
}

void TMultiButtonBase::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  TCanvas canvas(painter);
  const FaceLook look = Look();
  const bool enabled = isEnabled();
  const TRect client{0, 0, width(), height()};
  TRect rect = client;
  int alpha = 128;

  QString caption = text();
  TColor colour = faceColor_;
  if (down_) {
    colour = downColor_;
    if (!downCaption_.isEmpty()) caption = downCaption_;
  }
  if (!enabled) {
    colour = BlendColor(GetColor(), colour, 64);
    alpha = 64;
  }
  if (grayed_) colour = BlendColor(0x808080, colour, 128);

  canvas.Brush = {colour, bsSolid};
  if (look.paintBackground) {
    if (!image_.isNull()) {
      TileImage(painter, event->rect(), image_, OffsetInTopParent(this));
    } else {
      canvas.Brush.Color = GetColor();
      canvas.FillRect(client);
      canvas.Brush.Color = colour;
    }
  }
  if (!image_.isNull() && GetColor() == faceColor_) canvas.Brush.Style = bsClear;

  canvas.Pen = {colour, depth_, psSolid};
  if (look.focusLook) rect = rect.Inflated(-1, -1);
  const bool sunk = look.pressed || down_;
  const bool showShape = !flat_ || sunk || (mouseOver_ && embossOnMouse_);
  if (showShape && (enabled || !look.shapeOnlyWhenEnabled))
    DrawShape(canvas, shapeType_, rect.Left, rect.Top, rect.Right, rect.Bottom, false, !sunk, false, alpha, roundSize_);

  rect = client.Inflated(-depth_, -depth_);
  if (look.focusLook) {
    canvas.Brush.Style = bsClear;
    canvas.Pen.Color = BlendColor(GetColor(), look.focusColor, 64);
    DrawShape(canvas, shapeType_, rect.Left, rect.Top, rect.Right, rect.Bottom, false, !sunk, false, alpha, roundSize_);
  }
  if (look.pressed) rect = rect.Offset(1, 1);
  canvas.Font = (mouseOver_ && enabled) ? fontOnMouse_ : GetFont();

  // Caption and image.
  const int effect = enabled ? static_cast<int>(captionStyle_) : static_cast<int>(mtsEnabledFalse);
  const int textAlign = CaptionAlignment(alignment_);
  TRect captionRect = rect;
  TRect imageRect;
  TImageList* const images = images_.Get();
  if (images) {
    TRect measured = rect;
    DrawEffectText(canvas, caption, measured, clBlack, clBlack, effect, true, wordWrap_, textAlign);
    const int cw = measured.Width() + 2 * captionMargin_;
    const int ch = measured.Height() + 2 * captionMargin_;
    const int iw = images->GetWidth();
    const int ih = images->GetHeight();
    const int L = rect.Left, T = rect.Top, R = rect.Right, B = rect.Bottom;
    auto alignX = [&](int w) {
      return alignment_ == taLeftJustify ? L : alignment_ == taRightJustify ? R - w : (L + R - w) / 2;
    };
    int ix = 0;
    int iy = 0;
    switch (imageAlign_) {
      case biaCenter:
        iy = (T + B - ih) / 2;
        ix = alignX(iw);
        break;
      case biaTop:
        if (B - T < ih + ch) {
          ix = (L + R - iw) / 2;
          iy = T;
          captionRect = {(L + R - cw) / 2, B - ch, (L + R - cw) / 2 + cw, B};
        } else {
          ix = alignX(iw);
          iy = (T + B - ih - ch) / 2;
          captionRect = {alignX(cw), (T + B + ih - ch) / 2, alignX(cw) + cw, (T + B + ih + ch) / 2};
        }
        break;
      case biaBottom:
        ix = alignX(iw);
        if (B - T < ih + ch) {
          iy = B - ih;
          captionRect = {alignX(cw), T, alignX(cw) + cw, T + ch};
        } else {
          iy = (T + B - ih + ch) / 2;
          captionRect = {alignX(cw), (T + B - ih - ch) / 2, alignX(cw) + cw, (T + B - ih + ch) / 2};
        }
        break;
      case biaLeft:
      case biaRight: {
        iy = (T + B - ih) / 2;
        const int top = (T + B - ch) / 2;
        const int bottom = (T + B + ch) / 2;
        int cx = 0;
        const bool left = imageAlign_ == biaLeft;
        if (R - L < iw + cw) {
          ix = left ? L : R - iw;
          cx = left ? R - cw : L;
        } else if (alignment_ == taLeftJustify) {
          ix = left ? L : L + cw;
          cx = left ? L + iw : L;
        } else if (alignment_ == taRightJustify) {
          ix = left ? R - cw - iw : R - iw;
          cx = left ? R - cw : R - iw - cw;
        } else {
          ix = left ? (L + R - iw - cw) / 2 : (L + R + cw - iw) / 2;
          cx = left ? (L + R + iw - cw) / 2 : (L + R - iw - cw) / 2;
        }
        captionRect = {cx, top, cx + cw, bottom};
        break;
      }
    }
    imageRect = {ix, iy, ix + iw, iy + ih};
    if (enabled)
      images->Draw(painter, {ix, iy}, imageIndex_);
    else
      images->DrawBlended(painter, {ix, iy}, imageIndex_, colour);
    captionRect = captionRect.Inflated(-captionMargin_, -captionMargin_);
  }

  if (captionVisible_) {
    if (enabled && canvas.Font.Height() > 1) {
      DrawEffectText(canvas, caption, captionRect, BlendColor(colour, clBlack, 128), fontBorderColor_, effect, false,
                     wordWrap_, textAlign);
    } else if (!enabled) {
      canvas.Font.Color = colour;
      DrawEffectText(canvas, caption, captionRect, BlendColor(colour, clBlack, 128), colour, mtsEnabledFalse, false,
                     wordWrap_, textAlign);
    }
  }

  if (look.focusRect && enabled) {
    if (images && imageFocusRect_)
      DrawFocusRect(painter, Union(imageRect, captionRect).Inflated(2, 1));
    else if (captionVisible_)
      DrawFocusRect(painter, captionRect.Inflated(2, 1));
  }
}

// --- TMultiButton -----------------------------------------------------------

TMultiButton::TMultiButton(QWidget* parent) : TMultiButtonBase(parent) {
  resize(75, 25);
  // The default look moves with the focus between the window's buttons.
  appLinks_.Connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget*) {
    if (isDefault()) update();
  });
}

bool TMultiButton::ShowsDefaultLook() const {
  if (hasFocus()) return true;
  if (!isDefault()) return false;
  const QWidget* focus = QApplication::focusWidget();
  return !(focus && focus != this && focus->window() == window() && qobject_cast<const QPushButton*>(focus));
}

TMultiButtonBase::FaceLook TMultiButton::Look() const {
  FaceLook look;
  look.pressed = isDown();
  const bool defaultLook = ShowsDefaultLook();
  look.focusLook = defaultLook && focusFrame_;
  look.focusRect = defaultLook && hasFocus() && focusRect_;
  look.focusColor = focusColor_;
  return look;
}

// --- TMultiSpeedButton ------------------------------------------------------

TMultiSpeedButton::TMultiSpeedButton(QWidget* parent) : TMultiButtonBase(parent) {
  setFocusPolicy(Qt::NoFocus);
  setAutoDefault(false);
  SetImageIndex(-1);
  resize(23, 22);
}

TMultiButtonBase::FaceLook TMultiSpeedButton::Look() const {
  FaceLook look;
  look.pressed = held_;
  look.paintBackground = !transparent_;
  look.shapeOnlyWhenEnabled = true;
  return look;
}

void TMultiSpeedButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    held_ = true;
    update();
  }
  TMultiButtonBase::mousePressEvent(event);
}

void TMultiSpeedButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    held_ = false;
    update();
  }
  TMultiButtonBase::mouseReleaseEvent(event);
}

// --- TMultiPanel --------------------------------------------------------------

TMultiPanel::TMultiPanel(QWidget* parent) : TCustomPanel(parent), images_(this, [] {}) {
  faceColor_ = GetColor();
  SetParentColor(true);
  Realign();
}

void TMultiPanel::SetMultiPanelStyle(TMultiPanelStyle value) {
  style_ = value;
  LayoutCheck();
  Realign();
  update();
}

void TMultiPanel::SetShapeType(TMShapeType value) {
  shapeType_ = value;
  Realign();
  update();
}

void TMultiPanel::SetRoundSize(int value) {
  roundSize_ = value;
  Realign();
  update();
}

void TMultiPanel::SetChecked(bool value) {
  checked_ = value;
  LayoutCheck();
  update();
}

void TMultiPanel::SetCheckEnabled(bool value) {
  checkEnabled_ = value;
  if (!value) pressed_ = false;
  update();
}

int TMultiPanel::TextHeight() const { return QFontMetrics(font()).height(); }

int TMultiPanel::CaptionLineHeight() const { return std::max(TextHeight(), 13); }

void TMultiPanel::AdjustClientRect(TRect& rect) const {
  TCustomPanel::AdjustClientRect(rect);
  switch (style_) {
    case mpsGroup:
      rect.Top = std::max(rect.Top, TextHeight());
      rect = rect.Inflated(-1, -1);
      break;
    case mpsPanel:
      if (shapeType_ == mstRoundRect) {
        const int w = width();
        const int h = height();
        int radius = roundSize_;
        if (radius < 0)
          radius = std::max(0, std::min({(w + h) / 16, (w - GetBevelWidth() - 2) / 2, (h - GetBevelWidth() - 2) / 2}));
        rect = rect.Inflated(-radius / 2, -radius / 2);
      } else if (shapeType_ == mstEllipse) {
        rect = rect.Inflated(-rect.Width() / 6, -rect.Height() / 6);
      }
      break;
    case mpsMergePanel:
      break;
    case mpsCheck:
      rect.Top += CaptionLineHeight() + 2 * GetBorderWidth();
      break;
    case mpsTabGroup:
      rect.Top += TextHeight() + GetBorderWidth();
      rect = rect.Inflated(-GetBorderWidth(), -GetBorderWidth());
      break;
  }
}

void TMultiPanel::ColorChanged(TColor previous) {
  if (faceColor_ == previous) faceColor_ = GetColor();
  update();
}

void TMultiPanel::FontChanged() {
  LayoutCheck();
  TCustomPanel::FontChanged();
}

void TMultiPanel::CaptionChanged() {
  LayoutCheck();
  Realign();
  update();
}

void TMultiPanel::LayoutCheck() {
  if (style_ != mpsCheck || inLayout_) return;
  inLayout_ = true;
  int frame = 2 * GetBorderWidth();
  if (GetBevelInner() != bvNone) frame += GetBevelWidth();
  if (GetBevelOuter() != bvNone) frame += GetBevelWidth();
  const int caption = CaptionLineHeight();
  int needed = 0;
  const QList<QWidget*> children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  if (checked_) {
    int lowest = 0;
    for (QWidget* child : children) {
      if (child->isWindow()) continue;
      child->setVisible(true);
      lowest = std::max(lowest, child->geometry().y() + child->height());
    }
    needed = std::max(frame + caption, lowest) + frame;
  } else {
    for (QWidget* child : children)
      if (!child->isWindow()) child->setVisible(false);
    needed = frame + caption + frame;
  }
  if (needed != height()) {
    int change = needed - height();
    emit OnCheckClick(change);
    resize(width(), height() + change);
    if (parentResize_ && parentWidget())
      parentWidget()->resize(parentWidget()->width(), parentWidget()->height() + change);
  }
  inLayout_ = false;
}

void TMultiPanel::ScheduleLayout() {
  if (layoutPending_) return;
  layoutPending_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        layoutPending_ = false;
        LayoutCheck();
        Realign();
      },
      Qt::QueuedConnection);
}

bool TMultiPanel::event(QEvent* event) {
  if ((event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildRemoved) &&
      static_cast<QChildEvent*>(event)->child()->isWidgetType())
    ScheduleLayout();
  return TCustomPanel::event(event);
}

void TMultiPanel::enterEvent(QEnterEvent* event) {
  TCustomPanel::enterEvent(event);
  emit OnMouseEnter();
}

void TMultiPanel::leaveEvent(QEvent* event) {
  TCustomPanel::leaveEvent(event);
  emit OnMouseLeave();
}

void TMultiPanel::focusInEvent(QFocusEvent* event) {
  TCustomPanel::focusInEvent(event);
  update();
}

void TMultiPanel::focusOutEvent(QFocusEvent* event) {
  TCustomPanel::focusOutEvent(event);
  pressed_ = false;
  update();
}

void TMultiPanel::keyPressEvent(QKeyEvent* event) {
  if (CheckActive() && event->key() == Qt::Key_Space) {
    if (!event->isAutoRepeat()) {
      pressed_ = true;
      update();
    }
    event->accept();
    return;
  }
  TCustomPanel::keyPressEvent(event);
}

void TMultiPanel::keyReleaseEvent(QKeyEvent* event) {
  if (CheckActive() && event->key() == Qt::Key_Space) {
    if (!event->isAutoRepeat() && pressed_) {
      pressed_ = false;
      SetChecked(!checked_);
    }
    event->accept();
    return;
  }
  TCustomPanel::keyReleaseEvent(event);
}

void TMultiPanel::mousePressEvent(QMouseEvent* event) {
  if (CheckActive() && event->button() == Qt::LeftButton &&
      CheckHitRect().ToQRect().contains(event->position().toPoint())) {
    pressed_ = true;
    setFocus(Qt::MouseFocusReason);
    update();
  }
  TCustomPanel::mousePressEvent(event);
}

void TMultiPanel::mouseReleaseEvent(QMouseEvent* event) {
  if (pressed_ && event->button() == Qt::LeftButton) {
    pressed_ = false;
    if (CheckActive() && CheckHitRect().ToQRect().contains(event->position().toPoint())) SetChecked(!checked_);
    update();
  }
  TCustomPanel::mouseReleaseEvent(event);
}

TRect TMultiPanel::CheckBoxRect() const {
  int frame = 2 * GetBorderWidth();
  if (GetBevelInner() != bvNone) frame += GetBevelWidth();
  if (GetBevelOuter() != bvNone) frame += GetBevelWidth();
  const int line = CaptionLineHeight();
  const int top = frame + (line - 13) / 2;
  return {frame + 2, top, frame + 15, top + 13};
}

TRect TMultiPanel::CheckCaptionRect() const {
  const TRect box = CheckBoxRect();
  int frame = box.Left - 2;
  const int left = box.Right + 4;
  const int width = QFontMetrics(font()).horizontalAdvance(GetCaption()) + 2;
  return {left, frame, left + width, frame + CaptionLineHeight()};
}

TRect TMultiPanel::CheckHitRect() const { return Union(CheckBoxRect(), CheckCaptionRect()).Inflated(1, 1); }

void TMultiPanel::DrawCaption(TCanvas& canvas, const TRect& rect, int flags) {
  QPainter& p = canvas.Painter();
  p.setFont(font());
  p.setPen(ToQColor(GetFont().Color));
  p.drawText(rect.ToQRect(), flags | Qt::TextExpandTabs, GetCaption());
}

void TMultiPanel::PaintPlain(TCanvas& canvas, bool textured) {
  TRect rect{0, 0, width(), height()};
  canvas.Brush = {GetColor(), bsSolid};
  if (!textured) canvas.FillRect(rect);
  TColor top = clBtnHighlight;
  TColor bottom = clBtnShadow;
  if (GetBevelOuter() != bvNone) {
    BevelColors(GetBevelOuter(), GetColor(), top, bottom);
    Frame3D(canvas, rect, top, bottom, GetBevelWidth());
  }
  if (textured)
    rect = rect.Inflated(-GetBorderWidth(), -GetBorderWidth());
  else
    Frame3D(canvas, rect, GetColor(), GetColor(), GetBorderWidth());
  if (GetBevelInner() != bvNone) {
    BevelColors(GetBevelInner(), GetColor(), top, bottom);
    Frame3D(canvas, rect, top, bottom, GetBevelWidth());
  }
  if (faceColor_ != GetColor()) {
    canvas.Brush.Color = faceColor_;
    canvas.FillRect(rect);
  }

  if (style_ == mpsMergePanel && parentWidget()) {
    // Earlier merge panels of the parent show through where this one overlaps them.
    canvas.Brush.Color = GetColor();
    for (QObject* child : parentWidget()->children()) {
      if (child == this) break;
      auto* other = qobject_cast<TMultiPanel*>(child);
      if (!other || other->style_ != mpsMergePanel || other->isHidden()) continue;
      canvas.FillRect(TRect::FromQRect(other->geometry().translated(-pos())));
    }
  }

  if (style_ == mpsCheck) {
    PaintCheck(canvas);
    return;
  }
  const int h = GetAlignment() == taLeftJustify    ? Qt::AlignLeft
                : GetAlignment() == taRightJustify ? Qt::AlignRight
                                                   : Qt::AlignHCenter;
  DrawCaption(canvas, rect, h | Qt::AlignVCenter | Qt::TextSingleLine);
}

void TMultiPanel::PaintShaped(TCanvas& canvas, bool textured) {
  TRect rect{0, 0, width(), height()};
  if (GetBevelOuter() != bvNone) {
    TColor top, bottom;
    BevelColors(GetBevelOuter(), GetColor(), top, bottom);
    Frame3D(canvas, rect, top, bottom, GetBevelWidth());
  }
  rect = rect.Inflated(-GetBorderWidth(), -GetBorderWidth());
  const bool fillFace = faceColor_ != GetColor();
  const int penWidth = GetBevelWidth();
  if (fillFace && GetBevelInner() != bvNone && shapeType_ == mstRoundRect && !textured) {
    const int radius = roundSize_ < 0 ? AutoRoundRadius(rect.Width(), rect.Height(), penWidth) : roundSize_;
    QPainterPath outside;
    outside.addRect(rect.ToQRect());
    QPainterPath face;
    face.addRoundedRect(rect.ToQRect(), radius, radius);
    canvas.Painter().fillPath(outside.subtracted(face), ToQColor(GetColor()));
  }
  switch (GetBevelInner()) {
    case bvLowered:
      canvas.Pen = {GetColor(), penWidth, psSolid};
      break;
    case bvRaised:
      canvas.Pen = {faceColor_, penWidth, psSolid};
      break;
    default:
      canvas.Pen = {faceColor_, penWidth, psClear};
      break;
  }
  canvas.Brush = {faceColor_, fillFace ? bsSolid : bsClear};
  DrawShape(canvas, shapeType_, rect.Left, rect.Top, rect.Right, rect.Bottom, false, GetBevelInner() != bvLowered,
            false, 128, roundSize_);
  DrawCaption(canvas, rect,
              (GetAlignment() == taLeftJustify    ? Qt::AlignLeft
               : GetAlignment() == taRightJustify ? Qt::AlignRight
                                                  : Qt::AlignHCenter) |
                  Qt::AlignVCenter | Qt::TextSingleLine);
}

void TMultiPanel::PaintCheck(TCanvas& canvas) {
  const TRect box = CheckBoxRect();
  QStyleOptionButton option;
  option.initFrom(this);
  option.rect = box.ToQRect();
  option.state &= ~(QStyle::State_On | QStyle::State_Off | QStyle::State_Sunken | QStyle::State_HasFocus);
  option.state |= checked_ ? QStyle::State_On : QStyle::State_Off;
  if (pressed_) option.state |= QStyle::State_Sunken;
  if (!checkEnabled_ || !isEnabled()) option.state &= ~QStyle::State_Enabled;
  style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &canvas.Painter(), this);

  const TRect caption = CheckCaptionRect();
  DrawCaption(canvas, caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine);
  if (hasFocus()) DrawFocusRect(canvas.Painter(), caption.Inflated(1, 0));
}

void TMultiPanel::PaintTabGroup(TCanvas& canvas, bool textured) {
  const QFontMetrics fm(font());
  const int th = fm.height();
  const int tabWidth = fm.horizontalAdvance(GetCaption()) + 6 + GetBevelWidth() + GetBorderWidth();
  const int w = width();
  const int h = height();
  if (!textured) {
    canvas.Brush = {GetColor(), bsSolid};
    canvas.FillRect({0, 0, w, h});
  }
  // Outline: tab on the left, a slope down to the body's top edge.
  auto outline = [&](int i) {
    return QPolygon({{i, h - 1 - i},
                     {i, i},
                     {tabWidth - i, i},
                     {tabWidth + th / 2 - i, th + i},
                     {w - 1 - i, th + i},
                     {w - 1 - i, h - 1 - i}});
  };
  if (faceColor_ != GetColor()) {
    canvas.Pen.Style = psClear;
    canvas.Brush = {faceColor_, bsSolid};
    canvas.Polygon(QPolygon({{0, h}, {0, 0}, {tabWidth, 0}, {tabWidth + th / 2, th}, {w, th}, {w, h}}));
  }
  TColor light = clBtnHighlight;
  TColor dark = clBtnShadow;
  if (GetBevelInner() == bvLowered) std::swap(light, dark);
  canvas.Pen = {light, 1, psSolid};
  for (int i = 0; i < GetBevelWidth(); ++i) {
    const QPolygon o = outline(i);
    canvas.Pen.Color = light;
    for (int k = 0; k < 4; ++k) canvas.Line(o[k], o[k + 1]);
    canvas.Pen.Color = dark;
    canvas.Line(o[4], o[5]);
    canvas.Line(o[5], o[0]);
  }
  DrawCaption(canvas, {0, 0, tabWidth, th}, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine);
}

void TMultiPanel::PaintGroup(TCanvas& canvas, bool textured) {
  const QFontMetrics fm(font());
  const int th = fm.height();
  TRect rect{0, 0, width(), height()};
  canvas.Brush = {GetColor(), bsSolid};
  if (!textured) canvas.FillRect(rect);
  const int band = GetBorderWidth() / 2 + GetBevelWidth();
  if (th / 2 > band) rect.Top = th / 2 - band;
  const TRect frameRect = rect;
  TColor top = clBtnHighlight;
  TColor bottom = clBtnShadow;
  if (GetBevelOuter() != bvNone) {
    BevelColors(GetBevelOuter(), GetColor(), top, bottom);
    Frame3D(canvas, rect, top, bottom, GetBevelWidth());
  }
  Frame3D(canvas, rect, faceColor_, faceColor_, GetBorderWidth());
  if (GetBevelInner() != bvNone) {
    BevelColors(GetBevelInner(), GetColor(), top, bottom);
    Frame3D(canvas, rect, top, bottom, GetBevelWidth());
  }
  if (GetCaption().isEmpty()) return;
  // The caption sits in a gap of the top edge near its left end.
  const int gapLeft = frameRect.Left + 8;
  const int gapRight = gapLeft + fm.horizontalAdvance(GetCaption()) + 6;
  canvas.Brush.Color = GetColor();
  canvas.FillRect({gapLeft, frameRect.Top, gapRight, rect.Top});
  TColor light = clBtnHighlight;
  TColor dark = clBtnShadow;
  if (GetBevelOuter() == bvLowered) std::swap(light, dark);
  canvas.Pen = {dark, 1, psSolid};
  for (int i = 0; i < GetBevelWidth(); ++i) {
    canvas.Pen.Color = dark;
    canvas.Line({gapLeft - 1 - i, frameRect.Top + i}, {gapLeft - 1 - i, rect.Top - 1});
    canvas.Pen.Color = light;
    canvas.Line({gapRight + i, frameRect.Top + i}, {gapRight + i, rect.Top - 1});
  }
  DrawCaption(canvas, {gapLeft + 3, 0, gapRight, th}, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine);
}

void TMultiPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  TCanvas canvas(painter);
  canvas.Font = GetFont();
  bool textured = false;
  const QImage tile = images_.Get() ? images_.Get()->Image(imageIndex_) : QImage();
  if (!tile.isNull()) {
    painter.fillRect(rect(), ToQColor(GetColor()));
    TileImage(painter, rect(), tile, OffsetInTopParent(this));
    textured = true;
  } else if (!image_.isNull()) {
    TileImage(painter, rect(), image_, OffsetInTopParent(this));
    textured = true;
  }
  switch (style_) {
    case mpsPanel:
      if (shapeType_ != mstNone)
        PaintShaped(canvas, textured);
      else
        PaintPlain(canvas, textured);
      break;
    case mpsMergePanel:
    case mpsCheck:
      PaintPlain(canvas, textured);
      break;
    case mpsTabGroup:
      PaintTabGroup(canvas, textured);
      break;
    case mpsGroup:
      PaintGroup(canvas, textured);
      break;
  }
}

// --- TColorBox --------------------------------------------------------------

TColorBox::TColorBox(QWidget* parent)
    : QWidget(parent),
      colorCodes_({"$000000", "$FF0000", "$00FF00", "$0000FF", "$FFFF00", "$FF00FF", "$00FFFF", "$FFFFFF"}),
      color_(this, clBtnFace, false, [this](TColor) { update(); }) {
  resize(128, 32);
}

void TColorBox::SetColorCodeList(const QStringList& value) {
  colorCodes_ = value;
  pressed_ = -1;
  update();
}

void TColorBox::SetSelSize(int value) {
  selSize_ = std::max(1, value);
  pressed_ = -1;
  update();
}

int TColorBox::Columns() const { return width() / selSize_; }
int TColorBox::Rows() const { return height() / selSize_; }

TRect TColorBox::SwatchRect(int index) const {
  const int columns = std::max(1, Columns());
  const int c = index % columns;
  const int r = index / columns;
  return {c * selSize_, r * selSize_, (c + 1) * selSize_ - 1, (r + 1) * selSize_ - 1};
}

int TColorBox::SwatchAt(QPoint pos) const {
  if (pos.x() < 0 || pos.y() < 0) return -1;
  const int c = pos.x() / selSize_;
  const int r = pos.y() / selSize_;
  if (c >= Columns() || r >= Rows()) return -1;
  const int index = c + Columns() * r;
  return SwatchRect(index).ToQRect().contains(pos) ? index : -1;
}

TColor TColorBox::SwatchColor(int index) const {
  if (index < 0 || index >= colorCodes_.size()) return clBlack;
  return static_cast<TColor>(StrToIntDef(colorCodes_[index], 0));
}

void TColorBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  TCanvas canvas(painter);
  canvas.Brush = {GetColor(), bsSolid};
  canvas.FillRect({0, 0, width(), height()});
  const int count = Columns() * Rows();
  for (int i = 0; i < count; ++i) {
    const TRect r = SwatchRect(i);
    const bool listed = i < colorCodes_.size();
    canvas.Brush = {listed ? SwatchColor(i) : BlendColor(GetColor(), clWhite, 223), bsSolid};
    canvas.Pen = {i == pressed_ ? clWhite : GetColor(), 2, psSolid};
    DrawShape(canvas, 2, r.Left, r.Top, r.Right, r.Bottom, false, false, false, listed ? 128 : 48, 2);
  }
}

void TColorBox::mousePressEvent(QMouseEvent* event) {
  const int index = SwatchAt(event->position().toPoint());
  pressed_ = index >= 0 && index < colorCodes_.size() ? index : -1;
  update();
  QWidget::mousePressEvent(event);
}

void TColorBox::mouseReleaseEvent(QMouseEvent* event) {
  const int released = SwatchAt(event->position().toPoint());
  const int pressed = pressed_;
  pressed_ = -1;
  update();
  if (pressed >= 0 && released == pressed) emit OnColorClick(SwatchColor(pressed));
  QWidget::mouseReleaseEvent(event);
}

void TColorBox::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  update();
}

void TColorBox::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) color_.ParentChanged();
}

bool TColorBox::event(QEvent* event) {
  if (event->type() == QEvent::ParentChange) color_.ParentChanged();
  return QWidget::event(event);
}
