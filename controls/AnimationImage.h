#pragma once
// TAnimationImage shows one picture cut into a grid of equal frames and plays
// the frames in order on a timer: continuously, only while the mouse is over
// it, or flipping between two frames. Used for theme banners and small
// animated buttons.
#include <QImage>
#include <QTimer>
#include <QWidget>

#include "controls/ControlSupport.h"

class TAnimationImage : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int ColCount READ GetColCount WRITE SetColCount)
  Q_PROPERTY(int RowCount READ GetRowCount WRITE SetRowCount)
  Q_PROPERTY(bool Strech READ GetStrech WRITE SetStrech)
  Q_PROPERTY(bool Movie READ GetMovie WRITE SetMovie)
  Q_PROPERTY(bool AutoSize READ GetAutoSize WRITE SetAutoSize)
  Q_PROPERTY(int Speed READ GetSpeed WRITE SetSpeed)
  Q_PROPERTY(int StartPos READ GetStartPos WRITE SetStartPos)
  Q_PROPERTY(QImage Picture READ GetPicture WRITE SetPicture)
  Q_PROPERTY(bool MouseMovie READ GetMouseMovie WRITE SetMouseMovie)
  Q_PROPERTY(bool SkipStartPos READ GetSkipStartPos WRITE SetSkipStartPos)
  Q_PROPERTY(bool Focused3D READ GetFocused3D WRITE SetFocused3D)
  Q_PROPERTY(bool ClickAction READ GetClickAction WRITE SetClickAction)

 public:
  explicit TAnimationImage(QWidget* parent = nullptr);

  int GetColCount() const { return colCount_; }
  void SetColCount(int value);
  int GetRowCount() const { return rowCount_; }
  void SetRowCount(int value);
  bool GetStrech() const { return strech_; }
  void SetStrech(bool value) { StoreAndRepaint(*this, strech_, value); }
  bool GetMovie() const { return movie_; }
  // Switches the timer on or off, nothing else.
  void SetMovie(bool value);
  bool GetAutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  int GetSpeed() const { return speed_; }
  void SetSpeed(int value);
  int GetStartPos() const { return startPos_; }
  // A frame outside the grid becomes 0; then the animation stops.
  void SetStartPos(int value);
  QImage GetPicture() const { return picture_; }
  // A null image clears the picture.
  void SetPicture(const QImage& value);
  bool GetMouseMovie() const { return mouseMovie_; }
  void SetMouseMovie(bool value) { StoreAndRepaint(*this, mouseMovie_, value); }
  bool GetSkipStartPos() const { return skipStartPos_; }
  void SetSkipStartPos(bool value);
  bool GetFocused3D() const { return focused3D_; }
  // Turning it on turns ClickAction on as well.
  void SetFocused3D(bool value);
  bool GetClickAction() const { return clickAction_; }
  void SetClickAction(bool value);

  void Start();
  void Stop();

  int FrameCount() const { return colCount_ * rowCount_; }
  // The frame on screen, and the one the next tick shows (before skipping).
  int ShownFrame() const { return shown_; }
  int CurrentFrame() const { return current_; }
  QSize FrameSize() const;
  // Frame index's place in the picture.
  QRect FrameRect(int index) const;
  // The timer that steps the frames; tests drive it with timer events.
  const QTimer& Timer() const { return timer_; }

 signals:
  void clicked();
  void doubleClicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void Tick();
  void StartTimer();
  void ApplyAutoSize();
  void SetCurrent(int index);

  int colCount_ = 1;
  int rowCount_ = 1;
  bool strech_ = false;
  bool movie_ = false;
  bool autoSize_ = true;
  int speed_ = 100;
  int startPos_ = 0;
  QImage picture_;
  bool mouseMovie_ = false;
  bool skipStartPos_ = false;
  bool focused3D_ = false;
  bool clickAction_ = false;

  QTimer timer_;
  int current_ = 0;
  int shown_ = 0;
  bool mouseOver_ = false;
  bool pressed_ = false;
};
