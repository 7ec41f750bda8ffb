#pragma once
// A tool button that unfolds into a row of alternatives: its glyph holds
// ButtonCount images side by side; a press unfolds the row to the right of
// the current image, and the image released on becomes the current one.
// Buttons of one parent with the same Group exclude each other.
#include <QImage>
#include <QList>
#include <QWidget>

#include "controls/ControlSupport.h"

namespace qv {

class TSelectButton : public QWidget, public TColorControl {
  Q_OBJECT
  Q_PROPERTY(QImage Glyph READ GetGlyph WRITE SetGlyph)
  Q_PROPERTY(int ButtonCount READ GetButtonCount WRITE SetButtonCount)
  Q_PROPERTY(int ButtonWidth READ GetButtonWidth WRITE SetButtonWidth)
  Q_PROPERTY(int ButtonHeight READ GetButtonHeight WRITE SetButtonHeight)
  Q_PROPERTY(int SelectNo READ GetSelectNo WRITE SetSelectNo)
  Q_PROPERTY(bool Down READ GetDown WRITE SetDown)
  Q_PROPERTY(int Group READ GetGroup WRITE SetGroup)
  Q_PROPERTY(TColor DownColor READ GetDownColor WRITE SetDownColor)
  Q_PROPERTY(TColor Color READ GetColor WRITE SetColor)
  Q_PROPERTY(bool ParentColor READ GetParentColor WRITE SetParentColor)

 public:
  explicit TSelectButton(QWidget* parent = nullptr);

  QImage GetGlyph() const { return glyph_; }
  void SetGlyph(const QImage& glyph);
  int GetButtonCount() const { return buttonCount_; }
  // At least 1.
  void SetButtonCount(int count);
  int GetButtonWidth() const { return buttonWidth_; }
  void SetButtonWidth(int width);
  int GetButtonHeight() const { return buttonHeight_; }
  void SetButtonHeight(int height);
  int GetSelectNo() const { return selectNo_; }
  // Kept within 0 .. ButtonCount - 1.
  void SetSelectNo(int index);
  bool GetDown() const { return down_; }
  // Going down puts the other buttons of the group up.
  void SetDown(bool down);
  int GetGroup() const { return group_; }
  void SetGroup(int group) { group_ = group; }
  TColor GetDownColor() const { return downColor_; }
  void SetDownColor(TColor color) { StoreAndRepaint(*this, downColor_, color); }
  TColor GetColor() const override { return color_.Get(); }
  void SetColor(TColor color) { color_.Set(color); }
  bool GetParentColor() const { return color_.GetParentColor(); }
  void SetParentColor(bool value) { color_.SetParentColor(value); }
  void ParentColorChanged() override { color_.ParentChanged(); }

  bool Unfolded() const { return unfolded_; }
  // The image under the mouse while unfolded, -1 for none.
  int MarkedNo() const { return marked_; }
  // Image index of the glyph, its transparent colour cleared.
  QImage Image(int index) const;
  QSize FoldedSize() const;
  QSize UnfoldedSize() const;

 signals:
  // After every release of a press: the choice is made (or kept).
  void OnChange();
  void OnDblClick();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void CutImages();
  void Fold();
  // The image of the row under a point of the control, -1 for none.
  int ColumnAt(QPoint pos) const;

  QImage glyph_;
  QList<QImage> images_;
  int buttonCount_ = 1;
  int buttonWidth_ = 16;
  int buttonHeight_ = 16;
  int selectNo_ = 0;
  bool down_ = false;
  int group_ = 0;
  TColor downColor_ = clBtnHighlight;
  ControlColor color_;
  bool pressed_ = false;
  bool unfolded_ = false;
  int marked_ = -1;
};

}  // namespace qv
