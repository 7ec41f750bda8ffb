#include "controls/AnimationImage.h"

#include <QMouseEvent>
#include <QPainter>

#include "controls/Graphics.h"

namespace {
int Round(double v) { return static_cast<int>(v + 0.5); }
}  // namespace

TAnimationImage::TAnimationImage(QWidget* parent) : QWidget(parent) {
  timer_.setInterval(100);
  connect(&timer_, &QTimer::timeout, this, &TAnimationImage::Tick);
  resize(105, 105);
}

QSize TAnimationImage::FrameSize() const {
  if (picture_.isNull()) return {};
  return {Round(static_cast<double>(picture_.width()) / colCount_),
          Round(static_cast<double>(picture_.height()) / rowCount_)};
}

QRect TAnimationImage::FrameRect(int index) const {
  const int column = index % colCount_;
  const int row = index / colCount_;
  const int x = Round(static_cast<double>(column) * picture_.width() / colCount_);
  const int y = Round(static_cast<double>(row) * picture_.height() / rowCount_);
  return {QPoint(x, y), FrameSize()};
}

void TAnimationImage::SetCurrent(int index) {
  current_ = index;
  shown_ = index;
}

void TAnimationImage::ApplyAutoSize() {
  if (picture_.isNull() || !autoSize_) return;
  const QSize frame = FrameSize();
  const int shrink = clickAction_ ? 1 : 0;
  resize(std::max(0, frame.width() - shrink), std::max(0, frame.height() - shrink));
}

void TAnimationImage::SetColCount(int value) {
  colCount_ = value <= 0 ? 1 : value;
  SetCurrent(startPos_);
  if (FrameCount() == 1) SetMovie(false);
  ApplyAutoSize();
  update();
}

void TAnimationImage::SetRowCount(int value) {
  rowCount_ = value <= 0 ? 1 : value;
  SetCurrent(startPos_);
  if (FrameCount() == 1) SetMovie(false);
  ApplyAutoSize();
  update();
}

void TAnimationImage::StartTimer() {
  // A zero interval stops the frames, as a framework timer of interval 0
  // never fires, instead of stepping them as fast as the loop spins.
  if (speed_ > 0) timer_.start();
}

void TAnimationImage::SetMovie(bool value) {
  movie_ = value;
  if (value)
    StartTimer();
  else
    timer_.stop();
}

void TAnimationImage::SetAutoSize(bool value) {
  autoSize_ = value;
  ApplyAutoSize();
}

void TAnimationImage::SetSpeed(int value) {
  speed_ = value;
  timer_.setInterval(std::max(0, value));
  if (value <= 0) timer_.stop();
}

void TAnimationImage::SetStartPos(int value) {
  startPos_ = value < 0 || value >= FrameCount() ? 0 : value;
  Stop();
}

void TAnimationImage::SetPicture(const QImage& value) {
  picture_ = value;
  ApplyAutoSize();
  update();
}

void TAnimationImage::SetSkipStartPos(bool value) {
  skipStartPos_ = value;
  movie_ = false;  // the timer keeps running until the next tick or Stop
  SetCurrent(startPos_);
  update();
}

void TAnimationImage::SetFocused3D(bool value) {
  focused3D_ = value;
  if (value) {
    clickAction_ = true;
    ApplyAutoSize();
  }
  update();
}

void TAnimationImage::SetClickAction(bool value) {
  clickAction_ = value;
  ApplyAutoSize();
  update();
}

void TAnimationImage::Start() {
  if (FrameCount() <= 1) {
    Stop();
    return;
  }
  if (FrameCount() == 2 && skipStartPos_) {
    timer_.stop();
    SetCurrent(1 - startPos_);
    update();
    return;
  }
  SetMovie(true);
  Tick();
}

void TAnimationImage::Stop() {
  SetMovie(false);
  SetCurrent(startPos_);
  update();
}

void TAnimationImage::Tick() {
  timer_.stop();
  const int frames = FrameCount();
  if (current_ >= frames) current_ = 0;
  if (skipStartPos_ && current_ == startPos_ && frames > 1) current_ = current_ + 1 >= frames ? 0 : current_ + 1;
  shown_ = current_;
  update();
  ++current_;
  StartTimer();
}

void TAnimationImage::paintEvent(QPaintEvent*) {
  if (picture_.isNull()) return;
  QPainter painter(this);
  TCanvas canvas(painter);
  const int p = clickAction_ && pressed_ ? 1 : 0;
  const QSize frame = FrameSize();
  const TRect dest =
      strech_ ? TRect{-p, -p, width() - p, height() - p} : TRect{-p, -p, frame.width() - p, frame.height() - p};
  canvas.CopyRect(dest, picture_, TRect::FromQRect(FrameRect(shown_)));
  if (focused3D_ && mouseOver_) {
    const int r = width() - 1;
    const int b = height() - 1;
    const TColor light = pressed_ ? clBtnShadow : clBtnHighlight;
    const TColor dark = pressed_ ? clBtnHighlight : clBtnShadow;
    canvas.Pen = {light, 1, psSolid};
    canvas.Line({0, b}, {0, 0});
    canvas.Line({0, 0}, {r, 0});
    canvas.Pen.Color = dark;
    canvas.Line({0, b}, {r, b});
    canvas.Line({r, b}, {r, 0});
  }
}

void TAnimationImage::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  mouseOver_ = true;
  if (mouseMovie_) Start();
  if (focused3D_) update();
}

void TAnimationImage::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  mouseOver_ = false;
  if (mouseMovie_) Stop();
  if (focused3D_) update();
}

void TAnimationImage::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_ = true;
    update();
  }
  QWidget::mousePressEvent(event);
}

void TAnimationImage::mouseReleaseEvent(QMouseEvent* event) {
  const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  if (event->button() == Qt::LeftButton) {
    pressed_ = false;
    update();
  }
  QWidget::mouseReleaseEvent(event);
  if (click) emit clicked();
}

void TAnimationImage::mouseDoubleClickEvent(QMouseEvent* event) {
  QWidget::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) emit doubleClicked();
}
