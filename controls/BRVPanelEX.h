#pragma once
// TAttachPanel: a panel drawn as a rounded frame with a shaded rim whose
// corners and edges can each be attached (run straight to the panel's edge),
// so that neighbouring panels join into one shape. It can move or size its
// form when dragged and cut the form's window to the panels' shape.
// TAttachSplitter: a splitter whose bars are drawn the same way.
#include <QPointer>
#include <QRegion>
#include <QSplitter>

#include "controls/ControlTypes.h"
#include "controls/CustomPanel.h"

// Which corners and edges of an attach panel continue straight to its edge.
class TAttachPanelStyle : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool Left READ GetLeft WRITE SetLeft)
  Q_PROPERTY(bool Right READ GetRight WRITE SetRight)
  Q_PROPERTY(bool Top READ GetTop WRITE SetTop)
  Q_PROPERTY(bool Bottom READ GetBottom WRITE SetBottom)
  Q_PROPERTY(bool LeftTop READ GetLeftTop WRITE SetLeftTop)
  Q_PROPERTY(bool RightTop READ GetRightTop WRITE SetRightTop)
  Q_PROPERTY(bool LeftBottom READ GetLeftBottom WRITE SetLeftBottom)
  Q_PROPERTY(bool RightBottom READ GetRightBottom WRITE SetRightBottom)

 public:
  explicit TAttachPanelStyle(QObject* parent = nullptr) : QObject(parent) {}

  bool GetLeft() const { return left_; }
  void SetLeft(bool value) { Set(left_, value); }
  bool GetRight() const { return right_; }
  void SetRight(bool value) { Set(right_, value); }
  bool GetTop() const { return top_; }
  void SetTop(bool value) { Set(top_, value); }
  bool GetBottom() const { return bottom_; }
  void SetBottom(bool value) { Set(bottom_, value); }
  bool GetLeftTop() const { return leftTop_; }
  void SetLeftTop(bool value) { Set(leftTop_, value); }
  bool GetRightTop() const { return rightTop_; }
  void SetRightTop(bool value) { Set(rightTop_, value); }
  bool GetLeftBottom() const { return leftBottom_; }
  void SetLeftBottom(bool value) { Set(leftBottom_, value); }
  bool GetRightBottom() const { return rightBottom_; }
  void SetRightBottom(bool value) { Set(rightBottom_, value); }

  // Copies the eight flags; OnChange fires once.
  void Assign(const TAttachPanelStyle& source);

 signals:
  void OnChange();

 private:
  void Set(bool& flag, bool value) {
    flag = value;
    emit OnChange();
  }

  bool left_ = false;
  bool right_ = false;
  bool top_ = false;
  bool bottom_ = false;
  bool leftTop_ = false;
  bool rightTop_ = false;
  bool leftBottom_ = false;
  bool rightBottom_ = false;
};

// The look both classes share.
struct AttachFrameLook {
  TColor Color = clBtnFace;
  TColor AttachColor = clBtnFace;
  bool PanelStyle = true;
  int Space = 0;
  int Depth = 2;
  int Radius = 10;
};

// Paints the frame into rect: what lies outside the rounded shape in
// AttachColor, then the face in Color with its shaded rim.
void PaintAttachFrame(TCanvas& canvas, const TRect& rect, const AttachFrameLook& look, const TAttachPanelStyle& style);
// The window region of one panel of that size (moSelf).
QRegion AttachPanelRegion(int width, int height, const AttachFrameLook& look);
// A rounded rectangle as a region: the pixels whose centres lie inside it.
QRegion RoundRectRegion(const QRect& rect, int radius);

// The frame properties both classes publish. Changed runs after each change;
// shape tells that the frame's width or form changed, not just a colour.
class TAttachFrame {
 public:
  TColor GetAttachColor() const { return look_.AttachColor; }
  void SetAttachColor(TColor value);
  bool GetPanelStyle() const { return look_.PanelStyle; }
  void SetPanelStyle(bool value);
  TAttachPanelStyle* GetAttachPanelStyle() const { return style_; }
  // Takes over the flags of value; the control keeps its own style object.
  void SetAttachPanelStyle(TAttachPanelStyle* value);
  int GetSpace() const { return look_.Space; }
  void SetSpace(int value);
  int GetDepth() const { return look_.Depth; }
  void SetDepth(int value);
  int GetRadius() const { return look_.Radius; }
  void SetRadius(int value);

 protected:
  explicit TAttachFrame(TAttachPanelStyle* style) : style_(style) {}
  virtual ~TAttachFrame() = default;
  virtual void AttachFrameChanged(bool shape) = 0;
  // The look with the control's own colour as the face.
  AttachFrameLook LookWithColor(TColor color) const;

  AttachFrameLook look_;
  TAttachPanelStyle* style_;
};

class TAttachPanel : public TCustomPanel, public TAttachFrame {
  Q_OBJECT
  Q_PROPERTY(TColor AttachColor READ GetAttachColor WRITE SetAttachColor)
  Q_PROPERTY(bool PanelStyle READ GetPanelStyle WRITE SetPanelStyle)
  Q_PROPERTY(TAttachPanelStyle* AttachPanelStyle READ GetAttachPanelStyle WRITE SetAttachPanelStyle)
  Q_PROPERTY(int Space READ GetSpace WRITE SetSpace)
  Q_PROPERTY(int Depth READ GetDepth WRITE SetDepth)
  Q_PROPERTY(int Radius READ GetRadius WRITE SetRadius)
  Q_PROPERTY(QvControls::TBRVTextStyle CaptionStyle READ GetCaptionStyle WRITE SetCaptionStyle)
  Q_PROPERTY(TColor FontBorderColor READ GetFontBorderColor WRITE SetFontBorderColor)
  Q_PROPERTY(bool WordWrap READ GetWordWrap WRITE SetWordWrap)
  Q_PROPERTY(QvControls::TBRVPanelAlignment CaptionAlignment READ GetCaptionAlignment WRITE SetCaptionAlignment)
  Q_PROPERTY(bool AdjustInner READ GetAdjustInner WRITE SetAdjustInner)
  Q_PROPERTY(bool Movable READ GetMovable WRITE SetMovable)
  Q_PROPERTY(bool SizeMovable READ GetSizeMovable WRITE SetSizeMovable)
  Q_PROPERTY(QvControls::TMoveObject MoveObject READ GetMoveObject WRITE SetMoveObject)
  Q_PROPERTY(bool TransparentForm READ GetTransparentForm WRITE SetTransparentForm)

 public:
  explicit TAttachPanel(QWidget* parent = nullptr);

  TBRVTextStyle GetCaptionStyle() const { return captionStyle_; }
  void SetCaptionStyle(TBRVTextStyle value) { StoreAndRepaint(*this, captionStyle_, value); }
  TColor GetFontBorderColor() const { return fontBorderColor_; }
  void SetFontBorderColor(TColor value) { StoreAndRepaint(*this, fontBorderColor_, value); }
  bool GetWordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value) { StoreAndRepaint(*this, wordWrap_, value); }
  TBRVPanelAlignment GetCaptionAlignment() const { return captionAlignment_; }
  void SetCaptionAlignment(TBRVPanelAlignment value) { StoreAndRepaint(*this, captionAlignment_, value); }
  bool GetAdjustInner() const { return adjustInner_; }
  void SetAdjustInner(bool value);
  bool GetMovable() const { return movable_; }
  void SetMovable(bool value) { movable_ = value; }
  bool GetSizeMovable() const { return sizeMovable_; }
  void SetSizeMovable(bool value);
  TMoveObject GetMoveObject() const { return moveObject_; }
  void SetMoveObject(TMoveObject value) { moveObject_ = value; }
  bool GetTransparentForm() const { return transparentForm_; }
  void SetTransparentForm(bool value);

  // Sides a press at pos would size: -1 left or top, 1 right or bottom, 0 none.
  void SizingSides(QPoint pos, int& horizontal, int& vertical) const;
  // The caption's and the children's inset from the panel's edges.
  int Inset() const;

 signals:
  void OnMouseEnter();
  void OnMouseLeave();

 protected:
  void AdjustClientRect(TRect& rect) const override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QWidget* MoveTarget();
  void AttachFrameChanged(bool shape) override;
  // Cuts the target's window to the panel shapes (TransparentForm).
  void MakeRegion();

  TBRVTextStyle captionStyle_ = btsNormal;
  TColor fontBorderColor_ = clWindowText;
  bool wordWrap_ = true;
  TBRVPanelAlignment captionAlignment_ = bpaCenterMiddle;
  bool adjustInner_ = true;
  bool movable_ = false;
  bool sizeMovable_ = false;
  TMoveObject moveObject_ = moForm;
  bool transparentForm_ = false;

  QPointer<QWidget> target_;
  QPoint pressCursor_;
  QRect pressBounds_;
  int sizeHorizontal_ = 0;
  int sizeVertical_ = 0;
};

// A splitter whose bars are attach frames. The panes are the splitter's widgets.
class TAttachSplitter : public QSplitter, public TColorControl, public TAttachFrame {
  Q_OBJECT
  Q_PROPERTY(TColor AttachColor READ GetAttachColor WRITE SetAttachColor)
  Q_PROPERTY(TAttachPanelStyle* AttachPanelStyle READ GetAttachPanelStyle WRITE SetAttachPanelStyle)
  Q_PROPERTY(bool PanelStyle READ GetPanelStyle WRITE SetPanelStyle)
  Q_PROPERTY(int Space READ GetSpace WRITE SetSpace)
  Q_PROPERTY(int Depth READ GetDepth WRITE SetDepth)
  Q_PROPERTY(int Radius READ GetRadius WRITE SetRadius)
  Q_PROPERTY(TColor Color READ GetColor WRITE SetColor)
  Q_PROPERTY(bool ParentColor READ GetParentColor WRITE SetParentColor)

 public:
  explicit TAttachSplitter(QWidget* parent = nullptr);
  explicit TAttachSplitter(Qt::Orientation orientation, QWidget* parent = nullptr);

  TColor GetColor() const override { return color_.Get(); }
  void SetColor(TColor value) { color_.Set(value); }
  bool GetParentColor() const { return color_.GetParentColor(); }
  void SetParentColor(bool value) { color_.SetParentColor(value); }
  void ParentColorChanged() override { color_.ParentChanged(); }

  // Paints one bar of the splitter.
  void PaintBar(QPainter& painter, const QRect& rect) const;

 protected:
  QSplitterHandle* createHandle() override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void RepaintBars();
  void AttachFrameChanged(bool) override { RepaintBars(); }

  ControlColor color_;
};
