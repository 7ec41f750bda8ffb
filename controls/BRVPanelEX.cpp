#include "controls/BRVPanelEX.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <cmath>
#include <vector>

#include "controls/BRVGraphicsEX.h"

// --- TAttachPanelStyle ------------------------------------------------------

void TAttachPanelStyle::Assign(const TAttachPanelStyle& source) {
  left_ = source.left_;
  right_ = source.right_;
  top_ = source.top_;
  bottom_ = source.bottom_;
  leftTop_ = source.leftTop_;
  rightTop_ = source.rightTop_;
  leftBottom_ = source.leftBottom_;
  rightBottom_ = source.rightBottom_;
  emit OnChange();
}

// --- frame --------------------------------------------------------------------

namespace {

struct Piece {
  TRect rect;
  bool leftTop;
  bool rightTop;
  bool rightBottom;
  bool leftBottom;
};

std::vector<Piece> FramePieces(const TRect& r, const TAttachPanelStyle& s, bool inward, int t) {
  const bool L = s.GetLeft(), R = s.GetRight(), T = s.GetTop(), B = s.GetBottom();
  const bool LT = s.GetLeftTop(), RT = s.GetRightTop(), LB = s.GetLeftBottom(), RB = s.GetRightBottom();
  const bool wide = r.Width() >= 2 * t;
  const bool high = r.Height() >= 2 * t;
  const int x1 = r.Left + t, x2 = r.Right - t, y1 = r.Top + t, y2 = r.Bottom - t;
  if (wide && high) {
    return {{{r.Left, r.Top, x1, y1}, LT, T, inward, L},       {{x2, r.Top, r.Right, y1}, T, RT, R, inward},
            {{r.Left, y2, x1, r.Bottom}, L, inward, B, LB},    {{x2, y2, r.Right, r.Bottom}, inward, R, RB, B},
            {{x1, r.Top, x2, y1}, T, T, inward, inward},       {{x1, y2, x2, r.Bottom}, inward, inward, B, B},
            {{r.Left, y1, x1, y2}, L, inward, inward, L},      {{x2, y1, r.Right, y2}, inward, R, R, inward},
            {{x1, y1, x2, y2}, inward, inward, inward, inward}};
  }
  if (wide) {
    return {{{r.Left, r.Top, x1, r.Bottom}, LT, T, B, LB},
            {{x2, r.Top, r.Right, r.Bottom}, T, RT, RB, B},
            {{x1, r.Top, x2, r.Bottom}, T, T, B, B}};
  }
  if (high) {
    return {{{r.Left, r.Top, r.Right, y1}, LT, RT, R, L},
            {{r.Left, y2, r.Right, r.Bottom}, L, R, RB, LB},
            {{r.Left, y1, r.Right, y2}, L, R, R, L}};
  }
  return {{r, LT, RT, RB, LB}};
}

}  // namespace

void PaintAttachFrame(TCanvas& canvas, const TRect& rect, const AttachFrameLook& look, const TAttachPanelStyle& style) {
  if (rect.IsEmpty()) return;
  int radius = std::max(0, look.Radius);
  const int space = std::max(0, look.Space);
  const int depth = std::max(0, look.Depth);
  int t = space + depth + radius;
  // A panel too small for its corners gets smaller corners rather than
  // none: the pieces of a short panel have no corner inside the panel, so
  // they would paint nothing but the attach colour.
  const int shortSide = std::min(rect.Width(), rect.Height());
  if (shortSide < 2 * t) {
    const int fit = shortSide / 2 - space - depth;
    if (fit >= 0) {
      radius = std::min(radius, fit);
      t = space + depth + radius;
    }
  }
  const std::vector<Piece> pieces = FramePieces(rect, style, look.PanelStyle, t);
  for (bool faceMode : {false, true}) {
    for (const Piece& p : pieces) {
      DrawFrame3D(canvas, p.rect, look.Color, faceMode, p.leftTop, p.rightTop, p.rightBottom, p.leftBottom, radius,
                  depth, look.AttachColor, look.Color);
    }
  }
}

QRegion RoundRectRegion(const QRect& rect, int radius) {
  QRegion region;
  if (rect.isEmpty()) return region;
  radius = std::clamp(radius, 0, std::min(rect.width(), rect.height()) / 2);
  int runStart = rect.top();
  int runLeft = -1;
  int runRight = -1;
  auto flush = [&](int end) {
    if (runLeft >= 0 && runRight > runLeft && end > runStart)
      region += QRect(runLeft, runStart, runRight - runLeft, end - runStart);
  };
  for (int y = rect.top(); y <= rect.bottom(); ++y) {
    double dy = 0;
    if (y < rect.top() + radius) dy = rect.top() + radius - (y + 0.5);
    if (y > rect.bottom() - radius) dy = (y + 0.5) - (rect.bottom() + 1 - radius);
    double inset = 0;
    if (dy > 0) inset = radius - std::sqrt(std::max(0.0, static_cast<double>(radius) * radius - dy * dy));
    const int offset = static_cast<int>(std::ceil(inset - 0.5));
    const int left = rect.left() + offset;
    const int right = rect.right() + 1 - offset;
    if (left != runLeft || right != runRight) {
      flush(y);
      runStart = y;
      runLeft = left;
      runRight = right;
    }
  }
  flush(rect.bottom() + 1);
  return region;
}

QRegion AttachPanelRegion(int width, int height, const AttachFrameLook& look) {
  if (look.PanelStyle) {
    return RoundRectRegion(QRect(look.Space, look.Space, width - 2 * look.Space, height - 2 * look.Space),
                           look.Radius + look.Depth);
  }
  const int r = look.Radius;
  const QRegion inner =
      RoundRectRegion(QRect(r + 1, r + 1, width - 2 * r - 2, height - 2 * r - 2), look.Space + look.Depth);
  return QRegion(0, 0, width, height).xored(inner);
}

// --- TAttachPanel -----------------------------------------------------------

TAttachPanel::TAttachPanel(QWidget* parent) : TCustomPanel(parent), TAttachFrame(new TAttachPanelStyle(this)) {
  connect(style_, &TAttachPanelStyle::OnChange, this, qOverload<>(&QWidget::update));
  Realign();
}

void TAttachFrame::SetAttachColor(TColor value) {
  look_.AttachColor = value;
  AttachFrameChanged(false);
}

void TAttachFrame::SetPanelStyle(bool value) {
  look_.PanelStyle = value;
  AttachFrameChanged(true);
}

void TAttachFrame::SetAttachPanelStyle(TAttachPanelStyle* value) {
  if (value && value != style_) style_->Assign(*value);
}

void TAttachFrame::SetSpace(int value) {
  look_.Space = value;
  AttachFrameChanged(true);
}

void TAttachFrame::SetDepth(int value) {
  look_.Depth = value;
  AttachFrameChanged(true);
}

void TAttachFrame::SetRadius(int value) {
  look_.Radius = value;
  AttachFrameChanged(true);
}

AttachFrameLook TAttachFrame::LookWithColor(TColor color) const {
  AttachFrameLook look = look_;
  look.Color = color;
  return look;
}

void TAttachPanel::AttachFrameChanged(bool shape) {
  if (shape) {
    Realign();
    MakeRegion();
  }
  update();
}

void TAttachPanel::SetAdjustInner(bool value) {
  adjustInner_ = value;
  Realign();
  update();
}

void TAttachPanel::SetSizeMovable(bool value) {
  sizeMovable_ = value;
  // The cursor follows the sizing zones without a button held.
  if (value) setMouseTracking(true);
  if (!value) unsetCursor();
}

int TAttachPanel::Inset() const {
  return look_.PanelStyle ? look_.Space + look_.Depth + look_.Radius / 2 : look_.Radius + look_.Depth + look_.Space / 2;
}

void TAttachPanel::AdjustClientRect(TRect& rect) const {
  TCustomPanel::AdjustClientRect(rect);
  if (adjustInner_) rect = rect.Inflated(-Inset(), -Inset());
}

void TAttachPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  TCanvas canvas(painter);
  const TRect client{0, 0, width(), height()};
  PaintAttachFrame(canvas, client, LookWithColor(GetColor()), *style_);
  canvas.Font = GetFont();
  canvas.Brush.Style = bsClear;
  TRect rect = client.Inflated(-Inset(), -Inset());
  DrawEffectText(canvas, GetCaption(), rect, BlendColor(GetColor(), clBlack, 128), fontBorderColor_, captionStyle_,
                 false, wordWrap_, captionAlignment_);
}

void TAttachPanel::resizeEvent(QResizeEvent* event) {
  TCustomPanel::resizeEvent(event);
  MakeRegion();
}

void TAttachPanel::moveEvent(QMoveEvent* event) {
  TCustomPanel::moveEvent(event);
  // The form's region holds the panel at its old place otherwise.
  if (transparentForm_ && moveObject_ == moForm) MakeRegion();
}

void TAttachPanel::enterEvent(QEnterEvent* event) {
  TCustomPanel::enterEvent(event);
  emit OnMouseEnter();
}

void TAttachPanel::leaveEvent(QEvent* event) {
  TCustomPanel::leaveEvent(event);
  emit OnMouseLeave();
}

QWidget* TAttachPanel::MoveTarget() { return moveObject_ == moSelf ? this : window(); }

void TAttachPanel::SizingSides(QPoint pos, int& horizontal, int& vertical) const {
  const int x = pos.x();
  const int y = pos.y();
  const int w = width();
  const int h = height();
  horizontal = x < 5 ? -1 : x >= w - 4 ? 1 : 0;
  vertical = y < 5 ? -1 : y >= h - 4 ? 1 : 0;
  if ((x < 17 || x >= w - 16) && (y < 17 || y >= h - 16)) {
    horizontal = x < 17 ? -1 : 1;
    vertical = y < 17 ? -1 : 1;
  }
}

void TAttachPanel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && (movable_ || sizeMovable_)) {
    target_ = MoveTarget();
    pressBounds_ = target_->geometry();
    pressCursor_ = event->globalPosition().toPoint();
    sizeHorizontal_ = 0;
    sizeVertical_ = 0;
    if (sizeMovable_) SizingSides(event->position().toPoint(), sizeHorizontal_, sizeVertical_);
  }
  TCustomPanel::mousePressEvent(event);
}

void TAttachPanel::mouseMoveEvent(QMouseEvent* event) {
  if (!target_) {
    if (sizeMovable_) {
      int h = 0;
      int v = 0;
      SizingSides(event->position().toPoint(), h, v);
      if (h != 0 && v != 0)
        setCursor(h == v ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
      else if (h != 0)
        setCursor(Qt::SizeHorCursor);
      else if (v != 0)
        setCursor(Qt::SizeVerCursor);
      else
        unsetCursor();
    }
    TCustomPanel::mouseMoveEvent(event);
    return;
  }
  const QPoint delta = event->globalPosition().toPoint() - pressCursor_;
  QRect bounds = pressBounds_;
  if (sizeHorizontal_ == 0 && sizeVertical_ == 0) {
    if (movable_) bounds.moveTopLeft(pressBounds_.topLeft() + delta);
  } else {
    const QSize minimum = target_->minimumSize();
    const QSize maximum = target_->maximumSize();
    // A side that would pass the size limits stops there; the opposite edge stays put.
    auto resize = [](int origin, int size, int side, int d, int lo, int hi, int& newOrigin, int& newSize) {
      newOrigin = origin;
      newSize = size;
      if (side > 0) newSize = std::clamp(size + d, lo, hi);
      if (side < 0) {
        newSize = std::clamp(size - d, lo, hi);
        newOrigin = origin + size - newSize;
      }
    };
    int x, w, y, h;
    resize(pressBounds_.x(), pressBounds_.width(), sizeHorizontal_, delta.x(), minimum.width(), maximum.width(), x, w);
    resize(pressBounds_.y(), pressBounds_.height(), sizeVertical_, delta.y(), minimum.height(), maximum.height(), y, h);
    bounds = QRect(x, y, w, h);
  }
  target_->setGeometry(bounds);
  TCustomPanel::mouseMoveEvent(event);
}

void TAttachPanel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) target_ = nullptr;
  TCustomPanel::mouseReleaseEvent(event);
}

void TAttachPanel::SetTransparentForm(bool value) {
  if (value == transparentForm_) return;
  transparentForm_ = value;
  if (!value) {
    QWidget* target = MoveTarget();
    target->clearMask();
    // Other panels of the form may still ask for its shape.
    if (moveObject_ == moForm) {
      for (auto* panel : target->findChildren<TAttachPanel*>(Qt::FindDirectChildrenOnly)) {
        if (panel->transparentForm_ && panel->moveObject_ == moForm) {
          panel->MakeRegion();
          break;
        }
      }
    }
    return;
  }
  MakeRegion();
}

void TAttachPanel::MakeRegion() {
  if (!transparentForm_) return;
  if (moveObject_ == moSelf) {
    setMask(AttachPanelRegion(width(), height(), look_));
    return;
  }
  QWidget* form = window();
  if (form == this) return;
  QRegion region;
  for (auto* panel : form->findChildren<TAttachPanel*>(Qt::FindDirectChildrenOnly)) {
    if (!panel->transparentForm_) continue;
    const QRegion shape = AttachPanelRegion(panel->width(), panel->height(), panel->look_).translated(panel->pos());
    region = panel->look_.PanelStyle ? region.united(shape) : region.xored(shape);
  }
  form->setMask(region);
}

// --- TAttachSplitter --------------------------------------------------------

namespace {

class AttachSplitterHandle : public QSplitterHandle {
 public:
  AttachSplitterHandle(Qt::Orientation orientation, TAttachSplitter* parent)
      : QSplitterHandle(orientation, parent), owner_(parent) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    // A thin bar is widened for grabbing; only its contents rect is the bar.
    owner_->PaintBar(painter, contentsRect());
  }

 private:
  TAttachSplitter* owner_;
};

}  // namespace

TAttachSplitter::TAttachSplitter(QWidget* parent) : TAttachSplitter(Qt::Horizontal, parent) {}

TAttachSplitter::TAttachSplitter(Qt::Orientation orientation, QWidget* parent)
    : QSplitter(orientation, parent),
      TAttachFrame(new TAttachPanelStyle(this)),
      color_(this, clBtnFace, false, [this](TColor) { RepaintBars(); }) {
  connect(style_, &TAttachPanelStyle::OnChange, this, &TAttachSplitter::RepaintBars);
  setHandleWidth(3);
}

QSplitterHandle* TAttachSplitter::createHandle() { return new AttachSplitterHandle(orientation(), this); }

void TAttachSplitter::RepaintBars() {
  for (int i = 0; i < count(); ++i)
    if (QSplitterHandle* h = handle(i)) h->update();
}

void TAttachSplitter::PaintBar(QPainter& painter, const QRect& rect) const {
  TCanvas canvas(painter);
  PaintAttachFrame(canvas, TRect::FromQRect(rect), LookWithColor(GetColor()), *style_);
}

void TAttachSplitter::changeEvent(QEvent* event) {
  QSplitter::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) color_.ParentChanged();
}

bool TAttachSplitter::event(QEvent* event) {
  if (event->type() == QEvent::ParentChange) color_.ParentChanged();
  return QSplitter::event(event);
}
