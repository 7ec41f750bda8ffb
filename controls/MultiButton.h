#pragma once
// The owner-drawn controls that give every window its look: TMultiButton (a
// push button), TMultiSpeedButton (the same look, never focused), TMultiPanel
// (group, plain, merged, check-box and tab-group panels) and TColorBox (a grid
// of colour swatches). They paint through BRVGraphicsEX; colours are TColor.
#include <QImage>
#include <QPointer>
#include <QPushButton>
#include <QStringList>

#include "controls/AppConnections.h"
#include "controls/ControlSupport.h"
#include "controls/ControlTypes.h"
#include "controls/CustomPanel.h"
#include "controls/ImageList.h"

class QAction;

// What TMultiButton and TMultiSpeedButton share: the face, the caption and
// image layout, the down state and its groups, the mouse-over look.
class TMultiButtonBase : public QPushButton, public TColorControl {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ GetCaption WRITE SetCaption)
  Q_PROPERTY(QvControls::TAlignment Alignment READ GetAlignment WRITE SetAlignment)
  Q_PROPERTY(int Depth READ GetDepth WRITE SetDepth)
  Q_PROPERTY(QvControls::TMShapeType ShapeType READ GetShapeType WRITE SetShapeType)
  Q_PROPERTY(int RoundSize READ GetRoundSize WRITE SetRoundSize)
  Q_PROPERTY(TColor FaceColor READ GetFaceColor WRITE SetFaceColor)
  Q_PROPERTY(TColor DownColor READ GetDownColor WRITE SetDownColor)
  Q_PROPERTY(QImage Image READ GetImage WRITE SetImage)
  Q_PROPERTY(bool Flat READ GetFlat WRITE SetFlat)
  Q_PROPERTY(TFont FontOnMouse READ GetFontOnMouse WRITE SetFontOnMouse)
  Q_PROPERTY(bool EmbossOnMouse READ GetEmbossOnMouse WRITE SetEmbossOnMouse)
  Q_PROPERTY(QvControls::TButtonImageAlign ImageAlign READ GetImageAlign WRITE SetImageAlign)
  Q_PROPERTY(bool CaptionVisible READ GetCaptionVisible WRITE SetCaptionVisible)
  Q_PROPERTY(bool ImageFocusRect READ GetImageFocusRect WRITE SetImageFocusRect)
  Q_PROPERTY(int CaptionMargin READ GetCaptionMargin WRITE SetCaptionMargin)
  Q_PROPERTY(bool Down READ GetDown WRITE SetDown)
  Q_PROPERTY(QString DownCaption READ GetDownCaption WRITE SetDownCaption)
  Q_PROPERTY(QvControls::TButtonDownStyle DownStyle READ GetDownStyle WRITE SetDownStyle)
  Q_PROPERTY(int GroupIndex READ GetGroupIndex WRITE SetGroupIndex)
  Q_PROPERTY(TImageList* Images READ GetImages WRITE SetImages)
  Q_PROPERTY(int ImageIndex READ GetImageIndex WRITE SetImageIndex)
  Q_PROPERTY(bool Grayed READ GetGrayed WRITE SetGrayed)
  Q_PROPERTY(QvControls::TMultiTextStyle CaptionStyle READ GetCaptionStyle WRITE SetCaptionStyle)
  Q_PROPERTY(TColor FontBorderColor READ GetFontBorderColor WRITE SetFontBorderColor)
  Q_PROPERTY(bool WordWrap READ GetWordWrap WRITE SetWordWrap)
  Q_PROPERTY(TColor Color READ GetColor WRITE SetColor)
  Q_PROPERTY(bool ParentColor READ GetParentColor WRITE SetParentColor)
  Q_PROPERTY(TFont Font READ GetFont WRITE SetFont)
  Q_PROPERTY(bool ParentFont READ GetParentFont WRITE SetParentFont)
  Q_PROPERTY(QAction* Action READ GetAction WRITE SetAction)

 public:
  QString GetCaption() const { return text(); }
  void SetCaption(const QString& caption);
  TAlignment GetAlignment() const { return alignment_; }
  void SetAlignment(TAlignment value) { StoreAndRepaint(*this, alignment_, value); }
  int GetDepth() const { return depth_; }
  void SetDepth(int value) { StoreAndRepaint(*this, depth_, value); }
  TMShapeType GetShapeType() const { return shapeType_; }
  void SetShapeType(TMShapeType value) { StoreAndRepaint(*this, shapeType_, value); }
  int GetRoundSize() const { return roundSize_; }
  void SetRoundSize(int value) { StoreAndRepaint(*this, roundSize_, value); }
  TColor GetFaceColor() const { return faceColor_; }
  void SetFaceColor(TColor value) { StoreAndRepaint(*this, faceColor_, value); }
  TColor GetDownColor() const { return downColor_; }
  void SetDownColor(TColor value) { StoreAndRepaint(*this, downColor_, value); }
  QImage GetImage() const { return image_; }
  void SetImage(const QImage& value) { StoreAndRepaint(*this, image_, value); }
  bool GetFlat() const { return flat_; }
  void SetFlat(bool value) { StoreAndRepaint(*this, flat_, value); }
  TFont GetFontOnMouse() const { return fontOnMouse_; }
  void SetFontOnMouse(const TFont& value) { StoreAndRepaint(*this, fontOnMouse_, value); }
  bool GetEmbossOnMouse() const { return embossOnMouse_; }
  void SetEmbossOnMouse(bool value) { StoreAndRepaint(*this, embossOnMouse_, value); }
  TButtonImageAlign GetImageAlign() const { return imageAlign_; }
  void SetImageAlign(TButtonImageAlign value) { StoreAndRepaint(*this, imageAlign_, value); }
  bool GetCaptionVisible() const { return captionVisible_; }
  void SetCaptionVisible(bool value) { StoreAndRepaint(*this, captionVisible_, value); }
  bool GetImageFocusRect() const { return imageFocusRect_; }
  void SetImageFocusRect(bool value) { StoreAndRepaint(*this, imageFocusRect_, value); }
  int GetCaptionMargin() const { return captionMargin_; }
  void SetCaptionMargin(int value) { StoreAndRepaint(*this, captionMargin_, value); }
  bool GetDown() const { return down_; }
  // Putting a button of a unique group down puts the others of its group up.
  void SetDown(bool value);
  QString GetDownCaption() const { return downCaption_; }
  void SetDownCaption(const QString& value) { StoreAndRepaint(*this, downCaption_, value); }
  TButtonDownStyle GetDownStyle() const { return downStyle_; }
  void SetDownStyle(TButtonDownStyle value) { downStyle_ = value; }
  int GetGroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int value) { groupIndex_ = value; }
  TImageList* GetImages() const { return images_.Get(); }
  void SetImages(TImageList* value) { images_.Set(value); }
  int GetImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value) { StoreAndRepaint(*this, imageIndex_, value); }
  bool GetGrayed() const { return grayed_; }
  void SetGrayed(bool value) { StoreAndRepaint(*this, grayed_, value); }
  TMultiTextStyle GetCaptionStyle() const { return captionStyle_; }
  void SetCaptionStyle(TMultiTextStyle value) { StoreAndRepaint(*this, captionStyle_, value); }
  TColor GetFontBorderColor() const { return fontBorderColor_; }
  void SetFontBorderColor(TColor value) { StoreAndRepaint(*this, fontBorderColor_, value); }
  bool GetWordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value) { StoreAndRepaint(*this, wordWrap_, value); }
  TColor GetColor() const override { return color_.Get(); }
  void SetColor(TColor value) { color_.Set(value); }
  bool GetParentColor() const { return color_.GetParentColor(); }
  void SetParentColor(bool value) { color_.SetParentColor(value); }
  TFont GetFont() const { return font_.Get(); }
  void SetFont(const TFont& value) { font_.Set(value); }
  bool GetParentFont() const { return font_.GetParentFont(); }
  void SetParentFont(bool value) { font_.SetParentFont(value); }
  QAction* GetAction() const { return action_; }
  // The button shows the action's text, hint, enabled and visible state and
  // triggers it when clicked.
  void SetAction(QAction* action);

  bool IsMouseOver() const { return mouseOver_; }
  void ParentColorChanged() override { color_.ParentChanged(); }

 signals:
  void OnMouseEnter();
  void OnMouseLeave();
  void OnDownChange();

 protected:
  explicit TMultiButtonBase(QWidget* parent);

  // How a subclass wants its face painted.
  struct FaceLook {
    bool pressed = false;
    bool paintBackground = true;
    bool shapeOnlyWhenEnabled = false;
    bool focusLook = false;  // default look or focus, with the focus frame set
    bool focusFrame = false;
    bool focusRect = false;  // draw the focus rectangle
    TColor focusColor = clWhite;
  };
  virtual FaceLook Look() const = 0;
  // Whether Enter takes the focus first (FocusOnMouse).
  virtual bool TakesFocusOnEnter() const { return false; }

  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void Click();
  void ColorChanged(TColor previous);
  void FontChanged();
  void ApplyAction();

  TAlignment alignment_ = taCenter;
  int depth_ = 2;
  TMShapeType shapeType_ = mstRoundRect;
  int roundSize_ = -1;
  TColor faceColor_;
  TColor downColor_ = clBtnHighlight;
  QImage image_;
  bool flat_ = false;
  TFont fontOnMouse_;
  TFont lastFont_;
  bool embossOnMouse_ = true;
  TButtonImageAlign imageAlign_ = biaCenter;
  bool captionVisible_ = true;
  bool imageFocusRect_ = false;
  int captionMargin_ = 0;
  bool down_ = false;
  QString downCaption_;
  TButtonDownStyle downStyle_ = bdsNone;
  int groupIndex_ = 0;
  ImageListLink images_;
  int imageIndex_ = 0;
  bool grayed_ = false;
  TMultiTextStyle captionStyle_ = mtsNormal;
  TColor fontBorderColor_ = clWhite;
  bool wordWrap_ = true;
  bool mouseOver_ = false;
  QPointer<QAction> action_;
  ControlColor color_;
  ControlFont font_;
};

// A push button: focusable, shows the default-button look, Enter and Space
// press it.
class TMultiButton : public TMultiButtonBase {
  Q_OBJECT
  Q_PROPERTY(TColor FocusColor READ GetFocusColor WRITE SetFocusColor)
  Q_PROPERTY(bool FocusRect READ GetFocusRect WRITE SetFocusRect)
  Q_PROPERTY(bool FocusFrame READ GetFocusFrame WRITE SetFocusFrame)
  Q_PROPERTY(bool FocusOnMouse READ GetFocusOnMouse WRITE SetFocusOnMouse)

 public:
  explicit TMultiButton(QWidget* parent = nullptr);

  TColor GetFocusColor() const { return focusColor_; }
  void SetFocusColor(TColor value) { StoreAndRepaint(*this, focusColor_, value); }
  bool GetFocusRect() const { return focusRect_; }
  void SetFocusRect(bool value) { StoreAndRepaint(*this, focusRect_, value); }
  bool GetFocusFrame() const { return focusFrame_; }
  void SetFocusFrame(bool value) { StoreAndRepaint(*this, focusFrame_, value); }
  bool GetFocusOnMouse() const { return focusOnMouse_; }
  void SetFocusOnMouse(bool value) { focusOnMouse_ = value; }

  // The default-button look: the focused button, or the default button
  // while no other button has the focus.
  bool ShowsDefaultLook() const;

 protected:
  FaceLook Look() const override;
  bool TakesFocusOnEnter() const override { return focusOnMouse_; }

 private:
  TColor focusColor_ = clWhite;
  bool focusRect_ = true;
  bool focusFrame_ = true;
  bool focusOnMouse_ = false;
  AppConnections appLinks_;  // last: they end first
};

// The button look for tool bars: never takes the focus, may leave its
// background to the parent.
class TMultiSpeedButton : public TMultiButtonBase {
  Q_OBJECT
  Q_PROPERTY(bool Transparent READ GetTransparent WRITE SetTransparent)

 public:
  explicit TMultiSpeedButton(QWidget* parent = nullptr);

  bool GetTransparent() const { return transparent_; }
  void SetTransparent(bool value) { StoreAndRepaint(*this, transparent_, value); }
  // The left button is held down on the button.
  bool IsPressed() const { return held_; }

 protected:
  FaceLook Look() const override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool transparent_ = true;
  bool held_ = false;
};

// A panel in one of five styles. With mpsCheck a check box in the caption
// line shows or hides the children and shrinks the panel to its caption.
class TMultiPanel : public TCustomPanel {
  Q_OBJECT
  Q_PROPERTY(QvControls::TMultiPanelStyle MultiPanelStyle READ GetMultiPanelStyle WRITE SetMultiPanelStyle)
  Q_PROPERTY(QvControls::TMShapeType ShapeType READ GetShapeType WRITE SetShapeType)
  Q_PROPERTY(int RoundSize READ GetRoundSize WRITE SetRoundSize)
  Q_PROPERTY(bool Checked READ GetChecked WRITE SetChecked)
  Q_PROPERTY(bool ParentResize READ GetParentResize WRITE SetParentResize)
  Q_PROPERTY(QImage Image READ GetImage WRITE SetImage)
  Q_PROPERTY(TImageList* Images READ GetImages WRITE SetImages)
  Q_PROPERTY(int ImageIndex READ GetImageIndex WRITE SetImageIndex)
  Q_PROPERTY(bool CheckEnabled READ GetCheckEnabled WRITE SetCheckEnabled)
  Q_PROPERTY(TColor FaceColor READ GetFaceColor WRITE SetFaceColor)
  Q_PROPERTY(QvControls::TAlignment Alignment READ GetAlignment WRITE SetAlignment)
  Q_PROPERTY(QvControls::TPanelBevel BevelInner READ GetBevelInner WRITE SetBevelInner)
  Q_PROPERTY(QvControls::TPanelBevel BevelOuter READ GetBevelOuter WRITE SetBevelOuter)
  Q_PROPERTY(int BevelWidth READ GetBevelWidth WRITE SetBevelWidth)
  Q_PROPERTY(int BorderWidth READ GetBorderWidth WRITE SetBorderWidth)

 public:
  explicit TMultiPanel(QWidget* parent = nullptr);

  TMultiPanelStyle GetMultiPanelStyle() const { return style_; }
  void SetMultiPanelStyle(TMultiPanelStyle value);
  TMShapeType GetShapeType() const { return shapeType_; }
  void SetShapeType(TMShapeType value);
  int GetRoundSize() const { return roundSize_; }
  void SetRoundSize(int value);
  bool GetChecked() const { return checked_; }
  void SetChecked(bool value);
  bool GetParentResize() const { return parentResize_; }
  void SetParentResize(bool value) { parentResize_ = value; }
  QImage GetImage() const { return image_; }
  void SetImage(const QImage& value) { StoreAndRepaint(*this, image_, value); }
  TImageList* GetImages() const { return images_.Get(); }
  void SetImages(TImageList* value) { images_.Set(value); }
  int GetImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value) { StoreAndRepaint(*this, imageIndex_, value); }
  bool GetCheckEnabled() const { return checkEnabled_; }
  void SetCheckEnabled(bool value);
  TColor GetFaceColor() const { return faceColor_; }
  void SetFaceColor(TColor value) { StoreAndRepaint(*this, faceColor_, value); }

  // The check box's hit rectangle (check box and caption grown by 1).
  TRect CheckHitRect() const;
  bool IsCheckPressed() const { return pressed_; }

 signals:
  void OnMouseEnter();
  void OnMouseLeave();
  // The panel is about to change its height by ChangeSize; a handler may change it.
  void OnCheckClick(int& ChangeSize);

 protected:
  void AdjustClientRect(TRect& rect) const override;
  void ColorChanged(TColor previous) override;
  void FontChanged() override;
  void CaptionChanged() override;

  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool CheckActive() const { return style_ == mpsCheck && checkEnabled_; }
  int TextHeight() const;
  int CaptionLineHeight() const;
  TRect CheckBoxRect() const;
  TRect CheckCaptionRect() const;
  // Shows or hides the children and fits the height to them (check style).
  void LayoutCheck();
  void ScheduleLayout();
  void PaintShaped(TCanvas& canvas, bool textured);
  void PaintPlain(TCanvas& canvas, bool textured);
  void PaintCheck(TCanvas& canvas);
  void PaintTabGroup(TCanvas& canvas, bool textured);
  void PaintGroup(TCanvas& canvas, bool textured);
  void DrawCaption(TCanvas& canvas, const TRect& rect, int flags);

  TMultiPanelStyle style_ = mpsPanel;
  TMShapeType shapeType_ = mstNone;
  int roundSize_ = -1;
  bool checked_ = true;
  bool parentResize_ = false;
  QImage image_;
  ImageListLink images_;
  int imageIndex_ = 0;
  bool checkEnabled_ = true;
  TColor faceColor_;
  bool pressed_ = false;
  bool layoutPending_ = false;
  bool inLayout_ = false;
};

// A grid of colour swatches; a click on one reports its colour.
class TColorBox : public QWidget, public TColorControl {
  Q_OBJECT
  Q_PROPERTY(QStringList ColorCodeList READ GetColorCodeList WRITE SetColorCodeList)
  Q_PROPERTY(int SelSize READ GetSelSize WRITE SetSelSize)
  Q_PROPERTY(TColor Color READ GetColor WRITE SetColor)
  Q_PROPERTY(bool ParentColor READ GetParentColor WRITE SetParentColor)

 public:
  explicit TColorBox(QWidget* parent = nullptr);

  QStringList GetColorCodeList() const { return colorCodes_; }
  void SetColorCodeList(const QStringList& value);
  int GetSelSize() const { return selSize_; }
  void SetSelSize(int value);
  TColor GetColor() const override { return color_.Get(); }
  void SetColor(TColor value) { color_.Set(value); }
  bool GetParentColor() const { return color_.GetParentColor(); }
  void SetParentColor(bool value) { color_.SetParentColor(value); }
  void ParentColorChanged() override { color_.ParentChanged(); }

  int Columns() const;
  int Rows() const;
  // The swatch under a point of the control, -1 for none.
  int SwatchAt(QPoint pos) const;
  TRect SwatchRect(int index) const;
  // The colour of entry index: its number, 0 when it is not one.
  TColor SwatchColor(int index) const;
  int PressedSwatch() const { return pressed_; }

 signals:
  void OnColorClick(TColor AColor);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  QStringList colorCodes_;
  int selSize_ = 16;
  int pressed_ = -1;
  ControlColor color_;
};

// The number in text the way the forms write numbers: decimal, or
// hexadecimal after "$" or "0x"; def when it is not a number.
int StrToIntDef(const QString& text, int def);
