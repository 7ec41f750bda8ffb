#pragma once
// TKMailEdit: the editor control in which the user writes and reads decorated
// mail (coloured and blinking text, pictograms, user characters and inline
// pictures on a coloured background). It paints its content itself and takes
// keys, input-method text and the mouse; the content model, the markup and
// the layout live in KMailParts and KMailDocument. Text crosses as CP932;
// positions given out are 1-based offsets into the encoded parts.
#include "controls/ImageList.h"
#include "platform/TColor.h"
#include "plugins/mail/editor/KMailDocument.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class QImage;
class QPainter;

// Inner margins in pixels; every setter stores the value and tells OnChange.
class TMargin {
 public:
  int Left() const { return left_; }
  int Right() const { return right_; }
  int Top() const { return top_; }
  int Bottom() const { return bottom_; }
  void SetLeft(int v) { Store(left_, v); }
  void SetRight(int v) { Store(right_, v); }
  void SetTop(int v) { Store(top_, v); }
  void SetBottom(int v) { Store(bottom_, v); }
  // Copies the four values and tells this margin's OnChange.
  void Assign(const TMargin& other);

  std::function<void()> OnChange;

 private:
  void Store(int& field, int v) {
    field = v;
    if (OnChange) OnChange();
  }
  int left_ = 0;
  int right_ = 0;
  int top_ = 0;
  int bottom_ = 0;
};

class TKMailEdit : public QWidget {
  Q_OBJECT
  Q_PROPERTY(bool CMCut READ GetCMCut WRITE SetCMCut)
  Q_PROPERTY(bool PowerOff READ GetPowerOff WRITE SetPowerOff)
  Q_PROPERTY(TColor PowerOffColor READ GetPowerOffColor WRITE SetPowerOffColor)
  Q_PROPERTY(bool Animation READ GetAnimation WRITE SetAnimation)
  Q_PROPERTY(bool AutoMenuLine READ GetAutoMenuLine WRITE SetAutoMenuLine)
  Q_PROPERTY(bool AutoClickLine READ GetAutoClickLine WRITE SetAutoClickLine)
  Q_PROPERTY(bool Preview READ GetPreview WRITE SetPreview)
  Q_PROPERTY(bool DeleteVoidTag READ GetDeleteVoidTag WRITE SetDeleteVoidTag)
  Q_PROPERTY(int LineSpace READ GetLineSpace WRITE SetLineSpace)
  Q_PROPERTY(TColor Color READ GetColor WRITE SetColor)
  // The text shown, line ends as "\n", for readers that only see properties.
  Q_PROPERTY(QString Text READ GetText)

 public:
  // The first position of the text, right after the leading line break.
  static constexpr int kTextStart = static_cast<int>(qv::kmail::Document::kTextStart) + 1;
  // The private clipboard format: encoded parts followed by a NUL.
  static constexpr const char* kClipboardFormat = "QUORVEL";

  explicit TKMailEdit(QWidget* parent = nullptr);
  ~TKMailEdit() override;

  // Content.
  void SetMarkupText(std::string_view markup);
  std::string GetMarkupText() const;
  void SetPlainText(std::string_view text);
  std::string GetPlainText() const;
  QString GetText() const;
  bool IsPlainContent() const;
  // Replaces the selection with the markup's parts in the typing attributes.
  void InsertMarkup(std::string_view markup);
  std::string GetSelText() const;
  bool HasSelection() const { return doc_.HasSelection(); }
  void SetSelColor(TColor color);
  void SetSelBlink(bool blink);
  bool SelIsBlink() const { return doc_.SelIsBlink(); }
  // Loads the markup again, after the host changed pictograms or pictures.
  void Reload();

  // Published properties.
  bool GetCMCut() const { return cmCut_; }
  void SetCMCut(bool value) { cmCut_ = value; }
  TMargin& Margin() { return margin_; }
  void SetMargin(const TMargin& margin) { margin_.Assign(margin); }
  bool GetPowerOff() const { return powerOff_; }
  void SetPowerOff(bool value);
  TColor GetPowerOffColor() const { return powerOffColor_; }
  void SetPowerOffColor(TColor value);
  bool GetAnimation() const { return animation_; }
  void SetAnimation(bool value);
  bool GetAutoMenuLine() const { return doc_.autoMenuLine; }
  void SetAutoMenuLine(bool value);
  bool GetAutoClickLine() const { return doc_.autoClickLine; }
  void SetAutoClickLine(bool value);
  bool GetPreview() const { return preview_; }
  void SetPreview(bool value);
  bool GetDeleteVoidTag() const { return deleteVoidTag_; }
  void SetDeleteVoidTag(bool value) { deleteVoidTag_ = value; }
  TImageList* PicTextImages() const { return picImages_; }
  void SetPicTextImages(TImageList* images);
  TImageList* UserTextImages() const { return userImages_; }
  void SetUserTextImages(TImageList* images);
  // NAME=value lines: pictogram name and handset code; line i is image i.
  const std::vector<std::string>& PicTextList() const { return picText_; }
  void SetPicTextList(const std::vector<std::string>& lines);
  int GetLineSpace() const { return doc_.lineSpace; }
  void SetLineSpace(int value);
  // Background and text colour ($00BBGGRR), set by the body tag.
  TColor GetColor() const { return color_; }
  void SetColor(TColor value);
  TColor FontColor() const { return fontColor_; }
  void SetFontColor(TColor value);
  const std::string& BackgroundImage() const { return bgImage_; }

  // Events that answer through their arguments.
  // The bitmap and part header lines of a picture file.
  std::function<void(TKMailEdit*, const std::string& fileName, QImage& bmp, std::string& headers)> OnBmpData;
  std::function<void(TKMailEdit*, int tagType, std::string_view text, int& width)> OnMeasureWidth;
  std::function<void(TKMailEdit*, int tagType, std::string_view text, int& height)> OnMeasureHeight;
  // After each drawn part of types 1-6.
  std::function<void(TKMailEdit*, QPainter& canvas, int tagType, std::string_view text, const QRect& rect)>
      OnDrawParts;
  // Whether an unknown tag is dropped (del starts as DeleteVoidTag).
  std::function<void(TKMailEdit*, std::string_view tagText, bool& del)> OnUnknownTag;

  // Caret, selection and commands.
  void CaretToStart();
  // Anchor and caret to the position under a point of the control.
  void CaretToMouse(QPoint point);
  void SelectAll();
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  bool CanPaste() const;
  void Undo();
  bool CanUndo() const { return !preview_ && doc_.CanUndo(); }
  void DeleteSelection();
  void RestartBlink();
  int TextWidth(const QString& text) const;

  // 1-based positions into the encoded parts.
  int SelStart() const { return static_cast<int>(doc_.SelStart()) + 1; }
  int SelEnd() const { return static_cast<int>(doc_.SelEnd()) + 1; }
  int CaretPosition() const { return static_cast<int>(doc_.Caret()) + 1; }
  int AnchorPosition() const { return static_cast<int>(doc_.Anchor()) + 1; }
  void SetSelection(int anchor, int caret);
  // The selection is a whole clickable run chosen by a click in Preview.
  bool IsClickableSelection() const { return clickableSel_; }
  TColor TypingColor() const { return typingColor_; }
  bool TypingBlink() const { return typingBlink_; }
  bool Overwrite() const { return overwrite_; }

  int TopLine() const { return doc_.TopLine(); }
  int TopLineCount() const { return doc_.TopLineCount(); }
  void SetTopLine(int line);
  int VisibleLineCount() const;

  // Where the caret is drawn, in the control's coordinates; empty while it
  // is outside the shown lines.
  QRect CaretRect() const;
  // The text area: the client rectangle less the margins.
  QRect TextArea() const;

  // The byte path of typed text: a lead byte waits for its trail byte, bytes
  // below 32 are dropped.
  void TypeBytes(std::string_view bytes);

  // Timer 1 (500 ms: blink and slides) and timer 2 (60 ms: scrolling while a
  // drag is above or below the text). With manual ticks no timer runs and the
  // caller ticks them.
  enum { kBlinkTimer = 1, kScrollTimer = 2 };
  void SetManualTicks(bool manual);
  void Tick(int timer);
  bool TimerActive(int timer) const;
  int BlinkPhase() const { return blinkPhase_; }
  int FrameCounter() const { return frame_; }

  const qv::kmail::Document& Document() const { return doc_; }

 signals:
  void OnChange();
  void OnScrollChange();
  void OnSelectionChange();
  void OnColorChange();
  void OnClickableClick();
  void OnClickableDBLClick();
  void OnClickableRightClick();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  class Measurer;
  class PaintSuspension;

  qv::kmail::MarkupContext MarkupContext();
  void TakeBodyColours(const qv::kmail::MarkupContext& ctx);
  void LoadParts(const std::string& parts);
  // After every change: typing attributes, caret in view, events, repaint.
  void Edited(bool content, bool scrollToCaret, bool loaded = false);
  void InsertParts(std::string_view parts);
  void InsertTyped(std::string_view ch);
  void MoveTo(size_t pos, bool extend);
  void KeyMove(QKeyEvent* event);
  void TakeTypingAttributes();
  void SetTypingColor(TColor color);
  void LayoutAll(bool detect);
  void WatchImages(QPointer<TImageList>& slot, TImageList* images);
  void UpdateArea();
  void Repaint();
  void ScrollBy(int lines);
  void UpdateInputMethod();
  // The line under y (only lines that end inside the text area), and the
  // boundary or part under a point.
  int LineAtY(int y) const;
  size_t PosAtPoint(QPoint point) const;
  bool PartAtPoint(QPoint point, size_t& pos) const;
  bool SelectClickableAt(QPoint point);
  void StartTimer(int timer);
  void StopTimer(int timer);
  void DrawLine(QPainter& painter, int line, int top);
  void DrawPicture(QPainter& painter, const qv::kmail::PartBox& box, std::string_view text, int top, int height,
                   bool selected);
  QImage PartImage(TImageList* list, int index, const QColor& fill) const;
  // The image of a pictogram name (same letters and case), -1 for none.
  int PictogramImage(std::string_view name) const;
  QColor Background() const;

  std::unique_ptr<Measurer> measurer_;
  qv::kmail::Document doc_;
  TMargin margin_;
  bool cmCut_ = false;
  bool powerOff_ = false;
  TColor powerOffColor_ = clGray;
  bool animation_ = true;
  bool preview_ = false;
  bool deleteVoidTag_ = true;
  QPointer<TImageList> picImages_;
  QPointer<TImageList> userImages_;
  std::vector<std::string> picText_;
  std::unordered_map<std::string, int> picIndex_;
  TColor color_ = clWhite;
  TColor fontColor_ = clBlack;
  std::string bgImage_;

  TColor typingColor_ = clBlack;
  bool typingBlink_ = false;
  size_t typingCaret_ = 0;  // the caret the typing attributes were taken at
  bool overwrite_ = false;
  char pendingLead_ = 0;
  QString preedit_;
  int preeditCursor_ = 0;

  int suspend_ = 0;
  bool repaintPending_ = false;
  int blinkPhase_ = 0;
  int frame_ = 0;
  bool animated_ = false;
  bool painted_ = false;
  bool manualTicks_ = false;
  QTimer blinkTimer_;
  QTimer scrollTimer_;
  bool scrollTimerOn_ = false;

  bool dragging_ = false;
  bool rightDown_ = false;
  bool doubleClick_ = false;
  bool clickableSel_ = false;
  QPoint mouse_;
  int wheelDelta_ = 0;
  size_t lastAnchor_ = 0;
  size_t lastCaret_ = 0;
};
