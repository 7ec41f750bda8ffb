#pragma once
// What every control of the set shares: a TColor that children with
// ParentColor follow, a font that carries its colour, background tiling from
// the top-most parent's origin, and the dotted focus rectangle.
#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <functional>

#include "controls/Graphics.h"
#include "controls/ImageList.h"

class QPainter;

// A control that keeps a colour of its own.
class TColorControl {
 public:
  virtual ~TColorControl() = default;
  virtual TColor GetColor() const = 0;
  // The parent's colour changed, or the control has a new parent.
  virtual void ParentColorChanged() = 0;
};

// The colour a child with ParentColor takes: the parent control's Color, or
// the background of a plain widget.
TColor ParentColorOf(const QWidget* parent);
// Tells the direct children that follow their parent's colour.
void NotifyChildrenColorChanged(QWidget* parent);

// A control's Color and ParentColor. Changed runs after every change of the
// colour with the colour it had before.
class ControlColor {
 public:
  ControlColor(QWidget* owner, TColor color, bool parentColor, std::function<void(TColor previous)> changed);

  TColor Get() const { return color_; }
  // An own colour ends following the parent.
  void Set(TColor color);
  bool GetParentColor() const { return parentColor_; }
  void SetParentColor(bool value);
  // Re-reads the parent's colour while following it.
  void ParentChanged();

 private:
  void Apply(TColor color);

  QWidget* owner_;
  TColor color_;
  bool parentColor_;
  std::function<void(TColor)> changed_;
};

// A control's Font: the widget's font with the colour kept beside it. Changed
// runs after the face, height, style or colour changed. With ParentFont (set
// at creation) the colour is the text colour of the window the control sits
// in, as its palette gives it: the system's text colour until the window
// takes colours of its own. A font of another colour ends the following.
class ControlFont {
 public:
  ControlFont(QWidget* owner, std::function<void()> changed);

  TFont Get() const;
  void Set(const TFont& font);
  bool GetParentFont() const { return parentFont_; }
  void SetParentFont(bool value);
  // Called from the owner's change event when the widget font changed.
  void WidgetFontChanged() { changed_(); }
  // Called when the owner's palette or parent changed, or it is polished.
  void ParentChanged();

 private:
  TColor ParentTextColor() const;

  QWidget* owner_;
  TColor color_ = clWindowText;
  bool parentFont_ = true;
  std::function<void()> changed_;
};

// A control's Images: a change of the list repaints the control; a freed list
// is let go and Freed runs. The links end with the control, before the
// children it owns (a list among them) are freed.
class ImageListLink {
 public:
  ImageListLink(QWidget* owner, std::function<void()> freed);
  ~ImageListLink();
  ImageListLink(const ImageListLink&) = delete;
  ImageListLink& operator=(const ImageListLink&) = delete;

  TImageList* Get() const { return list_; }
  void Set(TImageList* list);

 private:
  void Disconnect();

  QWidget* owner_;
  QPointer<TImageList> list_;
  std::function<void()> freed_;
  QMetaObject::Connection changed_;
  QMetaObject::Connection destroyed_;
};

// A published property's setter: store the value, repaint the control.
template <typename T>
void StoreAndRepaint(QWidget& control, T& field, const T& value) {
  field = value;
  control.update();
}

// The control's position within its top-most parent, where a shared
// background texture starts.
QPoint OffsetInTopParent(const QWidget* widget);
// Tiles image over area so that the image's origin lies at -offset.
void TileImage(QPainter& painter, const QRect& area, const QImage& image, QPoint offset);
// A dotted rectangle drawn by inverting, as focus rectangles are.
void DrawFocusRect(QPainter& painter, const TRect& rect);
