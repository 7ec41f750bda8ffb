#pragma once
// The panel the control set's panels build on: a caption, an outer and an
// inner bevel with a border between them, and a client rect (the contents
// margins that layouts of child widgets keep to) that subclasses adjust.
#include <QWidget>

#include "controls/ControlSupport.h"
#include "controls/ControlTypes.h"

// Draws width one-pixel rectangles, top and left edges in top, bottom and
// right edges in bottom; rect shrinks by width.
void Frame3D(TCanvas& canvas, TRect& rect, TColor top, TColor bottom, int width);
// The edge colours of a bevel: light above, dark below for a raised one.
void BevelColors(TPanelBevel bevel, TColor color, TColor& top, TColor& bottom);

// Which of its properties a panel publishes is up to the subclass.
class TCustomPanel : public QWidget, public TColorControl {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ GetCaption WRITE SetCaption)
  Q_PROPERTY(TColor Color READ GetColor WRITE SetColor)
  Q_PROPERTY(bool ParentColor READ GetParentColor WRITE SetParentColor)
  Q_PROPERTY(TFont Font READ GetFont WRITE SetFont)
  Q_PROPERTY(bool ParentFont READ GetParentFont WRITE SetParentFont)

 public:
  explicit TCustomPanel(QWidget* parent = nullptr);

  QString GetCaption() const { return caption_; }
  void SetCaption(const QString& caption);
  TAlignment GetAlignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment) { StoreAndRepaint(*this, alignment_, alignment); }
  TColor GetColor() const override { return color_.Get(); }
  void SetColor(TColor color) { color_.Set(color); }
  bool GetParentColor() const { return color_.GetParentColor(); }
  void SetParentColor(bool value) { color_.SetParentColor(value); }
  TFont GetFont() const { return font_.Get(); }
  void SetFont(const TFont& font) { font_.Set(font); }
  bool GetParentFont() const { return font_.GetParentFont(); }
  void SetParentFont(bool value) { font_.SetParentFont(value); }

  TPanelBevel GetBevelInner() const { return bevelInner_; }
  void SetBevelInner(TPanelBevel bevel);
  TPanelBevel GetBevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TPanelBevel bevel);
  int GetBevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int width);
  int GetBorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int width);

  // The rect child controls are laid out in.
  TRect ClientRect() const;
  void ParentColorChanged() override { color_.ParentChanged(); }

 signals:
  void clicked();
  void doubleClicked();

 protected:
  // Shrinks rect to the client area; subclasses add their own insets.
  virtual void AdjustClientRect(TRect& rect) const;
  // Applies AdjustClientRect as the contents margins, which lays the children out again.
  void Realign();
  // Called after Color changed (with the colour it had) and after Font changed.
  virtual void ColorChanged(TColor previous);
  virtual void FontChanged();
  virtual void CaptionChanged() { update(); }
  // The plain panel look: bevels, border and the caption centred in one line.
  void PaintPanel(TCanvas& canvas);
  // Width taken by the outer bevel, the border and the inner bevel on each side.
  int BevelSize() const;

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QString caption_;
  TAlignment alignment_ = taCenter;
  TPanelBevel bevelInner_ = bvNone;
  TPanelBevel bevelOuter_ = bvRaised;
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
  ControlColor color_;
  ControlFont font_;
  bool clickPending_ = false;
};
