#include "plugins/mail/picedit/QvPicResizeFRM.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "controls/BRVGraphicsEX.h"
#include "core/ui/FormColors.h"
#include "plugins/mail/WindowText.h"

namespace qv {

namespace {
// Room around the picture and the frame in the work area.
constexpr int kAreaMargin = 16;
// A photo at a scale of no more pixels than this is decoded whole; of a
// larger one a piece round the part in view, at least this wide and high.
constexpr int64_t kWholeTilePixels = 4'000'000;
constexpr int kTileSide = 2048;

// The pixels of a picture of size level that the part of shown (in area
// coordinates) is drawn from.
QRect LevelRect(const QRect& part, const QRect& shown, QSize level) {
  const double sx = double(level.width()) / shown.width(), sy = double(level.height()) / shown.height();
  const int left = int(std::floor((part.left() - shown.left()) * sx));
  const int top = int(std::floor((part.top() - shown.top()) * sy));
  const int right = int(std::ceil((part.left() + part.width() - shown.left()) * sx));
  const int bottom = int(std::ceil((part.top() + part.height() - shown.top()) * sy));
  return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)).intersected(QRect(QPoint(0, 0), level));
}

// rect grown round its centre to at least side x side, within bounds.
QRect Grown(const QRect& rect, int side, const QRect& bounds) {
  const int w = std::min(std::max(rect.width(), side), bounds.width());
  const int h = std::min(std::max(rect.height(), side), bounds.height());
  const int left = std::clamp(rect.center().x() - w / 2, bounds.left(), bounds.right() + 1 - w);
  const int top = std::clamp(rect.center().y() - h / 2, bounds.top(), bounds.bottom() + 1 - h);
  return QRect(left, top, w, h);
}
}  // namespace

// ---- the work area -----------------------------------------------------------

TPicResizeArea::TPicResizeArea(TfrmPicResize& form, QWidget* parent) : QWidget(parent), form_(form) {
  setObjectName(QStringLiteral("pnlArea"));
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

TPicResizeArea::Zone TPicResizeArea::ZoneAt(QPoint pos) const {
  const QRect p = form_.shown_;
  if (p.contains(pos)) {
    const int c = TfrmPicResize::kCornerZone, e = TfrmPicResize::kEdgeZone;
    const bool left = pos.x() < p.left() + c, right = pos.x() > p.right() - c;
    const bool top = pos.y() < p.top() + c, bottom = pos.y() > p.bottom() - c;
    if (left && top) return zTopLeft;
    if (right && top) return zTopRight;
    if (left && bottom) return zBottomLeft;
    if (right && bottom) return zBottomRight;
    if (pos.x() < p.left() + e) return zLeft;
    if (pos.x() > p.right() - e) return zRight;
    if (pos.y() < p.top() + e) return zTop;
    if (pos.y() > p.bottom() - e) return zBottom;
  }
  // Where the two overlap the smaller one is taken, so that neither can
  // hide the other: a picture inside the frame moves, a frame over a large
  // picture moves (the frame on a tie).
  const bool inFrame = form_.frame_.contains(pos), inPicture = p.contains(pos);
  if (inFrame && inPicture)
    return int64_t(p.width()) * p.height() < int64_t(form_.frame_.width()) * form_.frame_.height() ? zPicture : zFrame;
  if (inFrame) return zFrame;
  if (inPicture) return zPicture;
  return zNone;
}

Qt::CursorShape TPicResizeArea::CursorOf(Zone zone) {
  switch (zone) {
    case zFrame:
      return Qt::OpenHandCursor;
    case zPicture:
      return Qt::SizeAllCursor;
    case zLeft:
    case zRight:
      return Qt::SizeHorCursor;
    case zTop:
    case zBottom:
      return Qt::SizeVerCursor;
    case zTopLeft:
    case zBottomRight:
      return Qt::SizeFDiagCursor;
    case zTopRight:
    case zBottomLeft:
      return Qt::SizeBDiagCursor;
    default:
      return Qt::ArrowCursor;
  }
}

void TPicResizeArea::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect dirty = event->rect();
  painter.fillRect(dirty, QColor(128, 128, 128));
  const QRect shown = form_.shown_;
  if (!form_.picture_.IsNull() && shown.intersects(dirty)) {
    painter.setClipRect(dirty);
    form_.PaintPicture(painter, dirty);
    painter.setClipping(false);
  }
  // The frame: a dashed line in two colours, visible on any picture, drawn
  // just outside the pixels that the result takes.
  const QRect frame = form_.frame_.adjusted(-1, -1, 0, 0);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(Qt::white, 1));
  painter.drawRect(frame);
  painter.setPen(QPen(Qt::red, 1, Qt::DashLine));
  painter.drawRect(frame);
}

void TPicResizeArea::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  grab_ = event->position().toPoint();
  dragging_ = ZoneAt(grab_);
  startPicture_ = form_.shown_;
  startFrame_ = form_.frame_;
  if (dragging_ == zFrame) setCursor(Qt::ClosedHandCursor);
}

void TPicResizeArea::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (dragging_ == zNone || !(event->buttons() & Qt::LeftButton)) {
    setCursor(CursorOf(ZoneAt(pos)));
    return;
  }
  const QPoint delta = pos - grab_;
  if (dragging_ == zFrame)
    form_.MoveFrameTo(startFrame_.topLeft() + delta);
  else if (dragging_ == zPicture)
    form_.MovePictureTo(startPicture_.topLeft() + delta);
  else
    form_.ResizePicture(dragging_, startPicture_, delta);
}

void TPicResizeArea::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  dragging_ = zNone;
  setCursor(CursorOf(ZoneAt(event->position().toPoint())));
}

// ---- the window --------------------------------------------------------------

TfrmPicResize::TfrmPicResize(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmPicResize"));
  setWindowTitle(Q("VeoQuorvel - 画像サイズ変更"));
  BuildLayout();
  resize(520, 420);
  TakeMainFormColors(this);
}

TfrmPicResize::~TfrmPicResize() = default;

void TfrmPicResize::BuildLayout() {
  auto* outer = new QVBoxLayout(this);
  auto* sizes = new QHBoxLayout;
  edtWidth = new QSpinBox(this);
  edtWidth->setObjectName(QStringLiteral("edtWidth"));
  edtWidth->setRange(kMinWidth, kMaxWidth);
  edtHeight = new QSpinBox(this);
  edtHeight->setObjectName(QStringLiteral("edtHeight"));
  edtHeight->setRange(kMinHeight, kMaxHeight);
  for (QSpinBox* box : {edtWidth, edtHeight}) {
    // A typed value counts once the field is left.
    box->setKeyboardTracking(false);
    box->installEventFilter(this);
  }
  btnPreset = new QToolButton(this);
  btnPreset->setObjectName(QStringLiteral("btnPreset"));
  btnPreset->setText(Q("サイズ"));
  btnPreset->setPopupMode(QToolButton::InstantPopup);
  auto* presets = new QMenu(btnPreset);
  struct Preset {
    const char* caption;
    int width, height;
  };
  for (const Preset& p : {Preset{"標準 96×72(&D)", 96, 72}, Preset{"フレーム 96×84(&R)", 96, 84},
                          Preset{"1/6画像 192×130(&6)", 192, 130}}) {
    const int w = p.width, h = p.height;
    presets->addAction(Q(p.caption), this, [this, w, h] { SetTarget(w, h); });
  }
  btnPreset->setMenu(presets);
  btnActual = new QPushButton(Q("原寸大"), this);
  btnAuto = new QPushButton(Q("自動"), this);
  sizes->addWidget(new QLabel(Q("幅"), this));
  sizes->addWidget(edtWidth);
  sizes->addWidget(new QLabel(Q("高さ"), this));
  sizes->addWidget(edtHeight);
  sizes->addWidget(btnPreset);
  sizes->addStretch(1);
  sizes->addWidget(btnActual);
  sizes->addWidget(btnAuto);
  outer->addLayout(sizes);

  scbArea = new QScrollArea(this);
  scbArea->setObjectName(QStringLiteral("scbArea"));
  scbArea->setBackgroundRole(QPalette::Dark);
  pnlArea = new TPicResizeArea(*this, scbArea);
  scbArea->setWidget(pnlArea);
  outer->addWidget(scbArea, 1);

  auto* buttons = new QHBoxLayout;
  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnCancel = new QPushButton(Q("キャンセル"), this);
  btnOK->setDefault(true);
  buttons->addStretch(1);
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  outer->addLayout(buttons);

  connect(edtWidth, &QSpinBox::valueChanged, this, [this](int w) { SetTarget(w, frame_.height()); });
  connect(edtHeight, &QSpinBox::valueChanged, this, [this](int h) { SetTarget(frame_.width(), h); });
  connect(btnActual, &QPushButton::clicked, this, &TfrmPicResize::ActualSize);
  connect(btnAuto, &QPushButton::clicked, this, &TfrmPicResize::AutoFit);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  Changed();
}

void TfrmPicResize::SetPicture(const QImage& picture) {
  // Shown and resampled from one true-colour copy.
  SetPicture(TScaledPicture(picture.isNull() ? QImage() : picture.convertToFormat(QImage::Format_RGB32)));
}

void TfrmPicResize::SetPicture(const TScaledPicture& picture) {
  picture_ = picture;
  tile_ = Tile{};
  if (picture.Size() == QSize(kMaxWidth, kMaxHeight))
    frame_.setSize(QSize(kMaxWidth, kMaxHeight));
  else if (picture.Size() == QSize(96, 84))
    frame_.setSize(QSize(96, 84));
  else
    frame_.setSize(QSize(96, 72));
  ActualSize();
}

void TfrmPicResize::PaintPicture(QPainter& painter, const QRect& dirty) {
  // Only the exposed part is scaled, without smoothing, so a drag step
  // costs the same for any picture size.
  if (!picture_.IsJpeg()) {
    painter.drawImage(shown_, picture_.Full());
    return;
  }
  const int eighths = picture_.ScaleFor(shown_.size());
  const QSize level = picture_.ScaledSize(eighths);
  const QRect need = LevelRect(dirty.intersected(shown_), shown_, level);
  if (need.isEmpty()) return;
  if (tile_.eighths != eighths || !tile_.rect.contains(need)) {
    const QRect all(QPoint(0, 0), level);
    tile_.eighths = eighths;
    tile_.rect = int64_t(level.width()) * level.height() <= kWholeTilePixels ? all : Grown(need, kTileSide, all);
    tile_.image = picture_.Decode(eighths, tile_.rect);
  }
  if (tile_.image.isNull()) return;
  const double sx = double(shown_.width()) / level.width(), sy = double(shown_.height()) / level.height();
  painter.drawImage(QRectF(shown_.left() + tile_.rect.left() * sx, shown_.top() + tile_.rect.top() * sy,
                           tile_.rect.width() * sx, tile_.rect.height() * sy),
                    tile_.image);
}

void TfrmPicResize::SetTarget(int width, int height) {
  frame_.setSize(QSize(std::clamp(width, kMinWidth, kMaxWidth), std::clamp(height, kMinHeight, kMaxHeight)));
  ClampFrame();
  Changed();
}

void TfrmPicResize::ClampFrame() {
  if (shown_.isEmpty()) {
    frame_.moveTopLeft(QPoint(std::max(frame_.left(), 0), std::max(frame_.top(), 0)));
    return;
  }
  // At least kOverlap pixels of the picture inside the frame, never left of
  // or above the area's origin.
  const int minX = std::max(0, shown_.left() + kOverlap - frame_.width());
  const int maxX = std::max(minX, shown_.left() + shown_.width() - kOverlap);
  const int minY = std::max(0, shown_.top() + kOverlap - frame_.height());
  const int maxY = std::max(minY, shown_.top() + shown_.height() - kOverlap);
  frame_.moveTopLeft(QPoint(std::clamp(frame_.left(), minX, maxX), std::clamp(frame_.top(), minY, maxY)));
}

void TfrmPicResize::MoveFrameTo(QPoint topLeft) {
  frame_.moveTopLeft(topLeft);
  ClampFrame();
  Changed();
}

void TfrmPicResize::MovePictureTo(QPoint topLeft) {
  // The same overlap, seen from the picture.
  const int minX = std::max(0, frame_.left() + kOverlap - shown_.width());
  const int maxX = std::max(minX, frame_.left() + frame_.width() - kOverlap);
  const int minY = std::max(0, frame_.top() + kOverlap - shown_.height());
  const int maxY = std::max(minY, frame_.top() + frame_.height() - kOverlap);
  shown_.moveTopLeft(QPoint(std::clamp(topLeft.x(), minX, maxX), std::clamp(topLeft.y(), minY, maxY)));
  Changed();
}

void TfrmPicResize::ResizePicture(TPicResizeArea::Zone zone, const QRect& from, QPoint delta) {
  using Z = TPicResizeArea;
  int left = from.left(), top = from.top();
  int right = from.left() + from.width(), bottom = from.top() + from.height();  // exclusive
  const bool movesLeft = zone == Z::zLeft || zone == Z::zTopLeft || zone == Z::zBottomLeft;
  const bool movesRight = zone == Z::zRight || zone == Z::zTopRight || zone == Z::zBottomRight;
  const bool movesTop = zone == Z::zTop || zone == Z::zTopLeft || zone == Z::zTopRight;
  const bool movesBottom = zone == Z::zBottom || zone == Z::zBottomLeft || zone == Z::zBottomRight;
  // Each moving edge keeps the picture at least kMinPicture wide and high,
  // inside the area, and overlapping the frame.
  if (movesLeft)
    left = std::clamp(left + delta.x(), 0, std::min(right - kMinPicture, frame_.left() + frame_.width() - kOverlap));
  if (movesRight) right = std::max(right + delta.x(), std::max(left + kMinPicture, frame_.left() + kOverlap));
  if (movesTop)
    top = std::clamp(top + delta.y(), 0, std::min(bottom - kMinPicture, frame_.top() + frame_.height() - kOverlap));
  if (movesBottom) bottom = std::max(bottom + delta.y(), std::max(top + kMinPicture, frame_.top() + kOverlap));
  shown_ = QRect(left, top, right - left, bottom - top);
  Changed();
}

void TfrmPicResize::ActualSize() {
  shown_ = QRect(QPoint(0, 0), picture_.Size());
  frame_.moveTopLeft(QPoint(0, 0));
  Changed();
}

void TfrmPicResize::AutoFit() {
  frame_.moveTopLeft(QPoint(0, 0));
  if (picture_.IsNull()) return Changed();
  const int fw = frame_.width(), fh = frame_.height();
  const int pw = picture_.Size().width(), ph = picture_.Size().height();
  // The full frame width, or the full height when that is too tall.
  int w = fw, h = int(int64_t(ph) * fw / pw);
  if (h > fh) {
    h = fh;
    w = int(int64_t(pw) * fh / ph);
  }
  w = std::max(w, 1);
  h = std::max(h, 1);
  shown_ = QRect((fw - w) / 2, (fh - h) / 2, w, h);
  Changed();
}

QImage TfrmPicResize::Render() const {
  QImage result(frame_.size(), QImage::Format_RGB32);
  result.fill(Qt::white);
  if (picture_.IsNull() || shown_.isEmpty()) return result;
  // Only the part of the picture that falls into the frame is resampled,
  // from a photo decoded at the scale its shown size needs, and only the
  // pixels that part is made from.
  const QRect inFrame = shown_.intersected(frame_).translated(-shown_.topLeft());
  if (inFrame.isEmpty()) return result;
  const int eighths = picture_.ScaleFor(shown_.size());
  const QSize level = picture_.ScaledSize(eighths);
  const QRect from = picture_.IsJpeg() ? ResampleSourceRect(level, shown_.width(), shown_.height(), inFrame)
                                       : QRect(QPoint(0, 0), level);
  const QImage source = picture_.Decode(eighths, from);
  if (source.isNull()) return result;
  const QImage part = ResampleBitmapPart(source, from.topLeft(), level, shown_.width(), shown_.height(), inFrame);
  QPainter painter(&result);
  painter.drawImage(inFrame.topLeft() + shown_.topLeft() - frame_.topLeft(), part);
  return result;
}

void TfrmPicResize::Changed() {
  {
    const QSignalBlocker bw(edtWidth), bh(edtHeight);
    edtWidth->setValue(frame_.width());
    edtHeight->setValue(frame_.height());
  }
  const QRect all = shown_.united(frame_);
  pnlArea->resize(all.right() + 1 + kAreaMargin, all.bottom() + 1 + kAreaMargin);
  pnlArea->update();
}

void TfrmPicResize::done(int result) {
  if (result == Accepted) result_ = Render();
  QDialog::done(result);
}

bool TfrmPicResize::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && (watched == edtWidth || watched == edtHeight)) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      // Leaving the field takes the value; Enter goes on to OK.
      btnOK->setFocus();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace qv
