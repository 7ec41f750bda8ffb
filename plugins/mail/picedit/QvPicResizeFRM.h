#pragma once
// The resize window: a frame of the target size lies over the picture; the
// frame and the picture are moved and the picture resized with the mouse
// until the frame holds what the result shows. OK gives a white bitmap of
// exactly the target size with the picture drawn in it, resampled by area to
// its shown size, at its offset from the frame. A camera photo is decoded
// only as far as it is shown: at the scale its shown size needs, and of a
// large one only the part in view.
#include <QDialog>
#include <QImage>
#include <QRect>
#include <QWidget>

#include "core/ui/Pictures.h"

class QPainter;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QToolButton;

namespace qv {

class TfrmPicResize;

// The work area the picture and the frame are shown and dragged in.
class TPicResizeArea : public QWidget {
  Q_OBJECT

 public:
  // What a press at a point takes hold of.
  enum Zone {
    zNone,
    zFrame,
    zPicture,
    zLeft,
    zTop,
    zRight,
    zBottom,
    zTopLeft,
    zTopRight,
    zBottomLeft,
    zBottomRight,
  };
  Q_ENUM(Zone)

  explicit TPicResizeArea(TfrmPicResize& form, QWidget* parent);
  Zone ZoneAt(QPoint pos) const;
  static Qt::CursorShape CursorOf(Zone zone);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  TfrmPicResize& form_;
  Zone dragging_ = zNone;
  QPoint grab_;       // the press point
  QRect startPicture_;
  QRect startFrame_;
};

class TfrmPicResize : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kMinWidth = 4, kMaxWidth = 192;
  static constexpr int kMinHeight = 4, kMaxHeight = 130;
  // Zones of the picture's edges and corners, and the least picture size.
  static constexpr int kEdgeZone = 8;
  static constexpr int kCornerZone = 16;
  static constexpr int kMinPicture = 4;
  // The frame always overlaps the picture by this much.
  static constexpr int kOverlap = 2;

  explicit TfrmPicResize(QWidget* parent = nullptr);
  ~TfrmPicResize() override;

  // The picture, shown at its own size at the origin with the frame there;
  // the target is 192 x 130 or 96 x 84 for a picture of that size, else 96 x 72.
  void SetPicture(const QImage& picture);
  void SetPicture(const TScaledPicture& picture);
  const TScaledPicture& Picture() const { return picture_; }
  // After OK: the bitmap of the target size.
  const QImage& Result() const { return result_; }

  QSize Target() const { return frame_.size(); }
  void SetTarget(int width, int height);
  // Where the picture is shown and at what size, and where the frame lies.
  QRect PictureRect() const { return shown_; }
  QRect FrameRect() const { return frame_; }
  // Move the frame or the picture, or set the picture's shown rectangle by
  // one of its edges or corners, within the limits.
  void MoveFrameTo(QPoint topLeft);
  void MovePictureTo(QPoint topLeft);
  void ResizePicture(TPicResizeArea::Zone zone, const QRect& from, QPoint delta);

  // 原寸大 and 自動.
  void ActualSize();
  void AutoFit();
  // The picture drawn into a white bitmap of the frame's size.
  QImage Render() const;

  TPicResizeArea* pnlArea;
  QScrollArea* scbArea;
  QSpinBox* edtWidth;
  QSpinBox* edtHeight;
  QToolButton* btnPreset;
  QPushButton* btnActual;
  QPushButton* btnAuto;
  QPushButton* btnOK;
  QPushButton* btnCancel;

 protected:
  void done(int result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class TPicResizeArea;
  void BuildLayout();
  void ClampFrame();
  void Changed();
  // Draws the part of the shown picture that lies in dirty.
  void PaintPicture(QPainter& painter, const QRect& dirty);

  // A piece of the picture decoded at one scale, in the pixels of that scale.
  struct Tile {
    int eighths = 0;
    QRect rect;
    QImage image;
  };

  TScaledPicture picture_;
  Tile tile_;
  QImage result_;
  QRect shown_;
  QRect frame_{0, 0, 96, 72};
};

}  // namespace qv
