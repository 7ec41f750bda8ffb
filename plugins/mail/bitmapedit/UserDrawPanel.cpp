#include "plugins/mail/bitmapedit/UserDrawPanel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>

#include <cmath>
#include <cstdlib>

#include "controls/BRVGraphicsEX.h"
#include "controls/ControlSupport.h"
#include "image/QkDIB.h"

namespace qv {

namespace {

constexpr int kDefaultWidth = 192;
constexpr int kDefaultHeight = 130;
// Zoom commands and keys stop here; the zoom tools go on to the second.
constexpr int kZoomCommandMax = 1600;
constexpr int kZoomToolMax = 3200;
constexpr int kZoomMin = 100;
constexpr int kHandle = 4;

std::optional<QImage> PictureFromDIB(TQkDIB& dib) {
  if (int64_t(dib.GetWidth()) * std::abs(int64_t(dib.GetHeight())) > kMaxEditPixels) return std::nullopt;
  const TQkPixelFormat format = dib.GetPixelFormat();
  if (format == qkpf4BitRLE || format == qkpf8BitRLE) dib.SetPixelFormat(qkpf24Bit);
  QImage picture = MakeRasterPicture(dib.ToQImage());
  if (picture.isNull()) return std::nullopt;
  return picture;
}

// The rectangle between two pixel corners, whichever way round.
QRect EdgesRect(int left, int top, int right, int bottom) {
  return QRect(std::min(left, right), std::min(top, bottom), std::abs(right - left), std::abs(bottom - top));
}

QRect Shrunk(const QRect& box, int by) {
  return QRect(box.left() + by, box.top() + by, box.width() - 2 * by, box.height() - 2 * by);
}

}  // namespace

std::optional<QImage> LoadPictureFile(const std::filesystem::path& path) {
  try {
    TQkDIB dib;
    dib.LoadFromFile(path);
    return PictureFromDIB(dib);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

bool SavePictureFile(const std::filesystem::path& path, const QImage& picture) {
  if (picture.isNull()) return false;
  try {
    TQkDIB dib;
    dib.Assign(picture);
    dib.SaveToFile(path);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::optional<QImage> PictureFromClipboard() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return std::nullopt;
  try {
    TQkDIB dib;
    dib.Assign(*clipboard);
    return PictureFromDIB(dib);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

void PictureToClipboard(const QImage& picture) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard || picture.isNull()) return;
  try {
    TQkDIB dib;
    dib.Assign(picture);
    dib.AssignTo(*clipboard);
  } catch (const std::exception&) {
  }
}

// ---- the panel -------------------------------------------------------------

TUserDrawPanel::TUserDrawPanel(QWidget* parent) : QWidget(parent) {
  bitmap_ = QImage(kDefaultWidth, kDefaultHeight, QImage::Format_RGB32);
  bitmap_.fill(Qt::white);
  pictureWidth_ = kDefaultWidth;
  pictureHeight_ = kDefaultHeight;
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
  UpdateSize();
}

QSize TUserDrawPanel::sizeHint() const {
  const int extra = GridShown() ? 1 : 0;
  return QSize(int(int64_t(bitmap_.width()) * zoom_ / 100) + extra, int(int64_t(bitmap_.height()) * zoom_ / 100) + extra);
}

void TUserDrawPanel::UpdateSize() {
  if (autoSize_) resize(sizeHint());
  updateGeometry();
}

void TUserDrawPanel::Changed() {
  pictureWidth_ = bitmap_.width();
  pictureHeight_ = bitmap_.height();
  UpdateSize();
  update();
  emit OnBitmapChange();
  emit StateChanged();
}

void TUserDrawPanel::SetBitmap(const QImage& bitmap) {
  // A floating selection is put down first, as Resize and the others do, so
  // that the undo copy holds it where it was moved to.
  CommitSelection();
  ClearSelection();
  undo_ = bitmap_;
  bitmap_ = MakeRasterPicture(bitmap);
  Changed();
}

void TUserDrawPanel::SetUndoBitmap(const QImage& bitmap) {
  undo_ = MakeRasterPicture(bitmap);
  emit StateChanged();
}

void TUserDrawPanel::SetClipBitmap(const QImage& bitmap) {
  clip_ = MakeRasterPicture(bitmap);
  emit StateChanged();
}

void TUserDrawPanel::Resize(int width, int height) {
  if (width < 1 || height < 1 || (width == bitmap_.width() && height == bitmap_.height())) return;
  CommitSelection();
  TakeUndo();
  QImage resized = NewPictureLike(bitmap_.isNull() ? QImage(1, 1, QImage::Format_RGB32) : bitmap_, width, height, clWhite);
  DrawPicture(resized, QPoint(0, 0), bitmap_);
  bitmap_ = resized;
  Changed();
}

void TUserDrawPanel::SetDrawType(TDrawType type) {
  if (type != mdtNone && type != mdtZoomUp && type != mdtZoomDown) CommitSelection();
  drawType_ = type;
  update();
  emit DrawTypeChanged();
  emit StateChanged();
}

void TUserDrawPanel::SetZoom(int zoom) {
  zoom_ = std::max(zoom, 1);
  UpdateSize();
  update();
  emit StateChanged();
}

void TUserDrawPanel::SetZoomClamped(int zoom, int low, int high) { SetZoom(std::clamp(zoom, low, high)); }

void TUserDrawPanel::ZoomUp() {
  if (zoom_ < kZoomCommandMax) SetZoomClamped(zoom_ * 2, kZoomMin, kZoomCommandMax);
}

void TUserDrawPanel::ZoomDown() {
  if (zoom_ > kZoomMin) SetZoomClamped(zoom_ / 2, kZoomMin, kZoomToolMax);
}

void TUserDrawPanel::SetGrid(bool grid) {
  grid_ = grid;
  UpdateSize();
  update();
}

void TUserDrawPanel::SetGridColor(TColor color) {
  gridColor_ = color;
  update();
}

void TUserDrawPanel::SetFont(const QFont& font) {
  font_ = font;
  fontSet_ = true;
}

void TUserDrawPanel::SetAutoSize(bool value) {
  autoSize_ = value;
  UpdateSize();
}

QImage TUserDrawPanel::MonochromeOf(const QImage& picture) const {
  QImage grey = picture.convertToFormat(QImage::Format_RGB32);
  if (ditherSeed_)
    DitherBitmapMono(grey, *ditherSeed_);
  else
    DitherBitmapMono(grey);
  return MonoFromBlackAndWhite(grey);
}

void TUserDrawPanel::SetMonochrome(bool value) {
  if (value == GetMonochrome() || bitmap_.isNull()) return;
  CommitSelection();
  TakeUndo();
  bitmap_ = value ? MonochromeOf(bitmap_) : bitmap_.convertToFormat(QImage::Format_RGB32);
  Changed();
}

// ---- operations ------------------------------------------------------------

void TUserDrawPanel::Undo() {
  if (undo_.isNull()) return;
  CommitSelection();
  std::swap(bitmap_, undo_);
  Changed();
}

void TUserDrawPanel::CopyToClipboard() {
  if (HasSelection()) PictureToClipboard(SelectionPicture());
}

void TUserDrawPanel::CutToClipboard() {
  if (!HasSelection()) return;
  CopyToClipboard();
  DeleteSelection();
}

void TUserDrawPanel::DeleteSelection() {
  if (!HasSelection()) return;
  if (floating_) {
    // Its place was cleared when it was lifted; the picture itself goes.
    ClearSelection();
    return;
  }
  TakeUndo();
  FillBox(bitmap_, ClippedSelection(), TRasterInk::Brush(bitmap_, backColor_));
  ClearSelection();
  Changed();
}

bool TUserDrawPanel::PasteFromClipboard() {
  const std::optional<QImage> picture = PictureFromClipboard();
  if (!picture) return false;
  PlaceBitmap(*picture);
  return true;
}

void TUserDrawPanel::PlaceBitmap(const QImage& bitmap) {
  const QImage picture = MakeRasterPicture(bitmap);
  if (picture.isNull() || bitmap_.isNull()) return;
  CommitSelection();
  // The picture is not touched until the selection is put down; the undo
  // copy is the picture before it.
  TakeUndo();
  selectionUndo_ = true;
  floatPicture_ = ConvertPictureLike(picture, bitmap_);
  selection_ = QRect(std::max(0, (bitmap_.width() - picture.width()) / 2),
                     std::max(0, (bitmap_.height() - picture.height()) / 2), picture.width(), picture.height());
  floating_ = true;
  if (drawType_ != mdtNone) SetDrawType(mdtNone);
  update();
  emit StateChanged();
}

void TUserDrawPanel::SelectionToStamp() {
  if (HasSelection()) SetClipBitmap(SelectionPicture());
}

void TUserDrawPanel::Clipping() {
  if (!HasSelection()) return;
  const QImage picture = SelectionPicture();
  if (picture.isNull()) return;
  CommitSelection();
  TakeUndo();
  bitmap_ = picture;
  Changed();
}

void TUserDrawPanel::CommitSelection() {
  if (floating_ && !floatPicture_.isNull() && !selection_.isEmpty()) {
    TakeSelectionUndo();
    StretchPicture(bitmap_, selection_, floatPicture_);
    ClearSelection();
    Changed();
    return;
  }
  if (HasSelection() || selecting_) ClearSelection();
}

void TUserDrawPanel::ClearSelection() {
  selection_ = QRect();
  floatPicture_ = QImage();
  floating_ = false;
  selectionUndo_ = false;
  selecting_ = false;
  dragZone_ = hzNone;
  update();
  emit StateChanged();
}

void TUserDrawPanel::TakeSelectionUndo() {
  if (selectionUndo_) return;
  TakeUndo();
  selectionUndo_ = true;
}

QRect TUserDrawPanel::ClippedSelection() const { return selection_.intersected(bitmap_.rect()); }

QImage TUserDrawPanel::SelectionPicture() const {
  if (!HasSelection()) return QImage();
  if (!floating_ || floatPicture_.isNull()) {
    const QRect r = ClippedSelection();
    return r.isEmpty() ? QImage() : bitmap_.copy(r);
  }
  return StretchedPicture(floatPicture_, selection_.width(), selection_.height());
}

QImage TUserDrawPanel::ComposedBitmap() const {
  if (!floating_ || floatPicture_.isNull() || selection_.isEmpty()) return bitmap_;
  QImage composed = bitmap_;
  StretchPicture(composed, selection_, floatPicture_);
  return composed;
}

void TUserDrawPanel::Lift() {
  const QRect r = ClippedSelection();
  if (r.isEmpty()) {
    ClearSelection();
    return;
  }
  TakeSelectionUndo();
  selection_ = r;
  floatPicture_ = bitmap_.copy(r);
  FillBox(bitmap_, r, TRasterInk::Brush(bitmap_, backColor_));
  floating_ = true;
  Changed();
}

// ---- coordinates -----------------------------------------------------------

QPoint TUserDrawPanel::ToBitmap(QPointF pos) const {
  // Through the drawn picture's extent, so that a click lands on the pixel
  // drawn under it; never a division by zero.
  const double drawnWidth = std::max<double>(1.0, std::floor(double(bitmap_.width()) * zoom_ / 100));
  const double drawnHeight = std::max<double>(1.0, std::floor(double(bitmap_.height()) * zoom_ / 100));
  const double x = std::trunc(double(bitmap_.width()) / drawnWidth * pos.x());
  const double y = std::trunc(double(bitmap_.height()) / drawnHeight * pos.y());
  return QPoint(int(std::clamp(x, -1e8, 1e8)), int(std::clamp(y, -1e8, 1e8)));
}

QPoint TUserDrawPanel::ToControl(QPoint pixel) const {
  return QPoint(int(int64_t(pixel.x()) * zoom_ / 100), int(int64_t(pixel.y()) * zoom_ / 100));
}

QRect TUserDrawPanel::ControlRect(const QRect& pixels) const {
  const QPoint a = ToControl(pixels.topLeft());
  const QPoint b = ToControl(QPoint(pixels.left() + pixels.width(), pixels.top() + pixels.height()));
  return QRect(a.x(), a.y(), b.x() - a.x(), b.y() - a.y());
}

TUserDrawPanel::THitZone TUserDrawPanel::HitZone(QPoint pos) const {
  if (!HasSelection()) return hzNone;
  const QRect r = ControlRect(selection_);
  const int l = r.left(), t = r.top(), rr = r.left() + r.width(), b = r.top() + r.height();
  const int mx = (l + rr) / 2, my = (t + b) / 2;
  const struct {
    THitZone zone;
    int x, y;
  } handles[] = {{hzTopLeft, l, t},  {hzTopRight, rr, t}, {hzBottomRight, rr, b}, {hzBottomLeft, l, b},
                 {hzTop, mx, t},     {hzRight, rr, my},   {hzBottom, mx, b},     {hzLeft, l, my}};
  for (const auto& h : handles)
    if (QRect(h.x - kHandle / 2, h.y - kHandle / 2, kHandle, kHandle).contains(pos)) return h.zone;
  return r.contains(pos) ? hzInside : hzNone;
}

bool TUserDrawPanel::SelectionToolActive() const {
  return drawType_ == mdtNone || drawType_ == mdtZoomUp || drawType_ == mdtZoomDown;
}

QPoint TUserDrawPanel::Snapped(QPoint point) const {
  const int dx = point.x() - start_.x(), dy = point.y() - start_.y();
  const int adx = std::abs(dx), ady = std::abs(dy), larger = std::max(adx, ady);
  if (larger == 0) return point;
  const int x = 2 * adx < larger ? start_.x() : start_.x() + (dx < 0 ? -larger : larger);
  const int y = 2 * ady < larger ? start_.y() : start_.y() + (dy < 0 ? -larger : larger);
  return QPoint(x, y);
}

QRect TUserDrawPanel::BoxTo(QPoint end) const {
  // Both corners belong to the box.
  return EdgesRect(start_.x(), start_.y(), end.x(), end.y()).adjusted(0, 0, 1, 1);
}

// ---- strokes ---------------------------------------------------------------

void TUserDrawPanel::ApplyTool(QPoint point, Qt::KeyboardModifiers modifiers, bool first) {
  if (bitmap_.isNull()) return;
  const bool left = button_ != Qt::RightButton;
  const TColor firstColor = left ? drawColor_ : backColor_;
  const TColor secondColor = left ? backColor_ : drawColor_;
  const int w = penWidth_;
  // Wide pens are inside-frame pens, which dither like a brush on 1 bit.
  auto pen = [&](TColor color, int width) {
    return width > 1 ? TRasterInk::Brush(bitmap_, color) : TRasterInk::Solid(bitmap_, color);
  };
  auto brush = [&](TColor color) { return patternInk_ ? *patternInk_ : TRasterInk::Brush(bitmap_, color); };

  switch (drawType_) {
    case mdtPset:
      SetPixel(bitmap_, point, TRasterInk::Solid(bitmap_, firstColor));
      break;
    case mdtConnectLine:
    case mdtEraser: {
      const TColor color = drawType_ == mdtEraser ? backColor_ : firstColor;
      if (first) {
        // A line to its own start draws nothing, so a click sets the pixel.
        if (w == 1)
          SetPixel(bitmap_, start_, TRasterInk::Solid(bitmap_, color));
        else
          DrawLine(bitmap_, start_, start_, w, pen(color, w));
      } else {
        DrawLine(bitmap_, last_, point, w, pen(color, w));
      }
      last_ = point;
      break;
    }
    case mdtPaint:
      FloodFill(bitmap_, point, brush(firstColor));
      break;
    default: {
      // Shapes, text and stamps follow the mouse from the stroke's undo copy.
      bitmap_ = undo_;
      const QPoint end = (modifiers & Qt::ShiftModifier) ? Snapped(point) : point;
      const QRect box = BoxTo(end);
      const TRasterInk firstPen = pen(firstColor, w);
      const TRasterInk widePen = pen(firstColor, w + 2);
      const TRasterInk secondPen = pen(secondColor, w);
      const TRasterInk fill = brush(secondColor);
      switch (drawType_) {
        case mdtLine:
          DrawLine(bitmap_, start_, end, w, firstPen);
          break;
        case mdtDblLine:
          DrawLine(bitmap_, start_, end, w + 2, widePen);
          DrawLine(bitmap_, start_, end, w, secondPen);
          break;
        case mdtBox:
          DrawBox(bitmap_, box, w, &firstPen, nullptr);
          break;
        case mdtBoxFill:
          DrawBox(bitmap_, box, w, &firstPen, &fill);
          break;
        case mdtFill:
          DrawBox(bitmap_, box, w, nullptr, &fill);
          break;
        case mdtDblBox:
          DrawBox(bitmap_, box, w + 2, &widePen, nullptr);
          DrawBox(bitmap_, Shrunk(box, 1), w, &secondPen, nullptr);
          break;
        case mdtEllipse:
          DrawEllipse(bitmap_, box, w, &firstPen, nullptr);
          break;
        case mdtEllipseFill:
          DrawEllipse(bitmap_, box, w, &firstPen, &fill);
          break;
        case mdtEllipseFillNoFlame:
          DrawEllipse(bitmap_, box, w, nullptr, &fill);
          break;
        case mdtDblEllipse:
          DrawEllipse(bitmap_, box, w + 2, &widePen, nullptr);
          DrawEllipse(bitmap_, Shrunk(box, 1), w, &secondPen, nullptr);
          break;
        case mdtText:
          DrawMask(bitmap_, end, textMask_, TRasterInk::Solid(bitmap_, firstColor));
          break;
        case mdtDblText: {
          const TRasterInk outline = TRasterInk::Solid(bitmap_, firstColor);
          for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) DrawMask(bitmap_, end + QPoint(dx, dy), textMask_, outline);
          DrawMask(bitmap_, end, textMask_, TRasterInk::Solid(bitmap_, secondColor));
          break;
        }
        case mdtBmp:
          DrawPicture(bitmap_, end, clip_);
          break;
        case mdtStretchBmp:
          StretchPicture(bitmap_, box, clip_);
          break;
        default:
          break;
      }
      break;
    }
  }
  Changed();
}

void TUserDrawPanel::mousePressEvent(QMouseEvent* event) {
  const Qt::MouseButton button = event->button();
  if ((button != Qt::LeftButton && button != Qt::RightButton) || button_ != Qt::NoButton) return;
  setFocus(Qt::MouseFocusReason);
  const QPoint pos = event->position().toPoint();
  const QPoint pixel = ToBitmap(event->position());
  button_ = button;
  start_ = QPoint(std::clamp(pixel.x(), 0, std::max(bitmap_.width() - 1, 0)),
                  std::clamp(pixel.y(), 0, std::max(bitmap_.height() - 1, 0)));
  last_ = start_;
  switch (drawType_) {
    case mdtNone:
      SelectionPress(pos, pixel, event->modifiers());
      return;
    case mdtZoomUp:
    case mdtZoomDown: {
      // Left doubles with the zoom-in tool and halves with the zoom-out
      // tool; the right button does the other.
      const bool up = (drawType_ == mdtZoomUp) == (button == Qt::LeftButton);
      SetZoomClamped(up ? zoom_ * 2 : zoom_ / 2, kZoomMin, kZoomToolMax);
      emit OnZoomClick(start_);
      return;
    }
    default:
      break;
  }
  patternInk_.reset();
  if (bitmapPaint_ && !clip_.isNull()) patternInk_ = TRasterInk::Pattern(bitmap_, clip_);
  textMask_ = (drawType_ == mdtText || drawType_ == mdtDblText) ? TextMask(text_, GetFont()) : QImage();
  TakeUndo();
  ApplyTool(start_, event->modifiers(), true);
}

void TUserDrawPanel::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pixel = ToBitmap(event->position());
  if (button_ == Qt::NoButton) {
    if (drawType_ != mdtNone) {
      unsetCursor();
      return;
    }
    switch (HitZone(event->position().toPoint())) {
      case hzTopLeft:
      case hzBottomRight:
        setCursor(Qt::SizeFDiagCursor);
        break;
      case hzTopRight:
      case hzBottomLeft:
        setCursor(Qt::SizeBDiagCursor);
        break;
      case hzTop:
      case hzBottom:
        setCursor(Qt::SizeVerCursor);
        break;
      case hzLeft:
      case hzRight:
        setCursor(Qt::SizeHorCursor);
        break;
      case hzInside:
        setCursor(Qt::SizeAllCursor);
        break;
      case hzNone:
        unsetCursor();
        break;
    }
    return;
  }
  if (drawType_ == mdtNone)
    SelectionMove(pixel, event->modifiers());
  else if (drawType_ != mdtZoomUp && drawType_ != mdtZoomDown)
    ApplyTool(pixel, event->modifiers(), false);
}

void TUserDrawPanel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != button_ || button_ == Qt::NoButton) return;
  if (drawType_ == mdtNone) SelectionRelease();
  button_ = Qt::NoButton;
  patternInk_.reset();
  update();
  emit StateChanged();
}

// ---- selection -------------------------------------------------------------

void TUserDrawPanel::SelectionPress(QPoint pos, QPoint pixel, Qt::KeyboardModifiers modifiers) {
  const THitZone zone = HitZone(pos);
  if (zone == hzNone) {
    CommitSelection();
    selecting_ = true;
    selection_ = QRect();
    update();
    return;
  }
  if (modifiers & Qt::ControlModifier) {
    // A copy stays behind; the picture keeps floating.
    if (!floating_) {
      floatPicture_ = bitmap_.copy(ClippedSelection());
      selection_ = ClippedSelection();
      floating_ = !floatPicture_.isNull();
    } else {
      TakeSelectionUndo();
      StretchPicture(bitmap_, selection_, floatPicture_);
      Changed();
    }
  } else if (!floating_) {
    Lift();
  }
  if (!HasSelection()) return;
  dragZone_ = zone;
  dragStart_ = pixel;
  dragOrigin_ = selection_;
}

void TUserDrawPanel::SelectionMove(QPoint pixel, Qt::KeyboardModifiers modifiers) {
  if (selecting_) {
    const QPoint end = (modifiers & Qt::ShiftModifier) ? Snapped(pixel) : pixel;
    selection_ = EdgesRect(start_.x(), start_.y(), end.x(), end.y());
    update();
    return;
  }
  if (dragZone_ == hzNone) return;
  const QPoint d = pixel - dragStart_;
  if (dragZone_ == hzInside) {
    selection_ = dragOrigin_.translated(d);
  } else {
    int l = dragOrigin_.left(), t = dragOrigin_.top();
    int r = l + dragOrigin_.width(), b = t + dragOrigin_.height();
    if (dragZone_ == hzLeft || dragZone_ == hzTopLeft || dragZone_ == hzBottomLeft) l += d.x();
    if (dragZone_ == hzRight || dragZone_ == hzTopRight || dragZone_ == hzBottomRight) r += d.x();
    if (dragZone_ == hzTop || dragZone_ == hzTopLeft || dragZone_ == hzTopRight) t += d.y();
    if (dragZone_ == hzBottom || dragZone_ == hzBottomLeft || dragZone_ == hzBottomRight) b += d.y();
    // Never thinner than a pixel, so the picture is not lost.
    if (l == r) r = l + 1;
    if (t == b) b = t + 1;
    selection_ = EdgesRect(l, t, r, b);
  }
  update();
}

void TUserDrawPanel::SelectionRelease() {
  if (selecting_) {
    selecting_ = false;
    const QRect r = ClippedSelection();
    if (r.isEmpty()) {
      ClearSelection();
      return;
    }
    selection_ = r;
    floatPicture_ = bitmap_.copy(r);
    floating_ = false;
    selectionUndo_ = false;
  }
  dragZone_ = hzNone;
  update();
}

// ---- keys and painting -----------------------------------------------------

void TUserDrawPanel::keyPressEvent(QKeyEvent* event) {
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  const bool keypad = event->modifiers() & Qt::KeypadModifier;
  switch (event->key()) {
    case Qt::Key_Escape:
      CommitSelection();
      return;
    case Qt::Key_Delete:
      DeleteSelection();
      return;
    case Qt::Key_Plus:
      if (keypad) {
        ZoomUp();
        return;
      }
      break;
    case Qt::Key_Minus:
      if (keypad) {
        ZoomDown();
        return;
      }
      break;
    case Qt::Key_C:
      if (ctrl) {
        CopyToClipboard();
        return;
      }
      break;
    case Qt::Key_V:
      if (ctrl) {
        PasteFromClipboard();
        return;
      }
      break;
    case Qt::Key_X:
      if (ctrl) {
        CutToClipboard();
        return;
      }
      break;
    case Qt::Key_Z:
      if (ctrl) {
        Undo();
        return;
      }
      break;
    default:
      break;
  }
  QWidget::keyPressEvent(event);
}

void TUserDrawPanel::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  PaintArea(painter, event->rect());
}

void TUserDrawPanel::PaintArea(QPainter& painter, const QRect& rect) {
  if (bitmap_.isNull()) return;
  const int bw = bitmap_.width(), bh = bitmap_.height();
  const int extra = GridShown() ? 1 : 0;
  const QPoint drawn = ToControl(QPoint(bw, bh));
  const QRect area = rect.intersected(QRect(0, 0, drawn.x() + extra, drawn.y() + extra));
  if (area.isEmpty()) return;

  // The picture pixels behind the area, the floating selection over them.
  const auto pixelOf = [this](int c) { return int(int64_t(c) * 100 / zoom_); };
  const int px0 = std::min(pixelOf(area.left()), bw - 1), py0 = std::min(pixelOf(area.top()), bh - 1);
  const int px1 = std::min(pixelOf(area.left() + area.width() - 1), bw - 1);
  const int py1 = std::min(pixelOf(area.top() + area.height() - 1), bh - 1);
  QImage part = bitmap_.copy(px0, py0, px1 - px0 + 1, py1 - py0 + 1).convertToFormat(QImage::Format_RGB32);
  if (floating_ && !floatPicture_.isNull())
    StretchPicture(part, selection_.translated(-px0, -py0), floatPicture_);

  // Scaled without smoothing, straight into the area's pixels; the rows of
  // one picture row are built once and copied.
  QImage out(area.size(), QImage::Format_RGB32);
  const QRgb grid = ToQColor(gridColor_).rgb();
  std::vector<int> column(size_t(area.width()));
  for (int x = 0; x < area.width(); ++x) column[size_t(x)] = std::min(pixelOf(area.left() + x), bw - 1) - px0;
  std::vector<int> gridColumns;
  if (extra) {
    for (int i = px0; i <= bw; ++i) {
      const int x = ToControl(QPoint(i, 0)).x() - area.left();
      if (x >= area.width()) break;
      if (x >= 0) gridColumns.push_back(x);
    }
  }
  std::vector<QRgb> row(size_t(area.width()));
  int rowOf = -1;
  for (int y = 0; y < area.height(); ++y) {
    const int source = std::min(pixelOf(area.top() + y), bh - 1) - py0;
    if (source != rowOf) {
      const QRgb* in = reinterpret_cast<const QRgb*>(part.constScanLine(source));
      for (int x = 0; x < area.width(); ++x) row[size_t(x)] = in[column[size_t(x)]];
      for (const int x : gridColumns) row[size_t(x)] = grid;
      rowOf = source;
    }
    std::copy(row.begin(), row.end(), reinterpret_cast<QRgb*>(out.scanLine(y)));
  }
  if (extra) {
    for (int j = py0; j <= bh; ++j) {
      const int y = ToControl(QPoint(0, j)).y() - area.top();
      if (y >= area.height()) break;
      if (y < 0) continue;
      std::fill_n(reinterpret_cast<QRgb*>(out.scanLine(y)), area.width(), grid);
    }
  }
  painter.drawImage(area.topLeft(), out);

  if (!HasSelection() || !SelectionToolActive()) return;
  const QRect r = ControlRect(selection_);
  DrawFocusRect(painter, TRect::FromQRect(r));
  if (button_ != Qt::NoButton) return;
  const int l = r.left(), t = r.top(), rr = r.left() + r.width(), b = r.top() + r.height();
  const int mx = (l + rr) / 2, my = (t + b) / 2;
  const QPoint handles[] = {{l, t}, {mx, t}, {rr, t}, {rr, my}, {rr, b}, {mx, b}, {l, b}, {l, my}};
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  for (const QPoint& h : handles) {
    const QRect box(h.x() - kHandle / 2, h.y() - kHandle / 2, kHandle, kHandle);
    painter.fillRect(box, Qt::white);
    painter.setPen(Qt::black);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
  }
  painter.restore();
}

}  // namespace qv
