#pragma once
// The zoomable pixel canvas of the picture editor: pen, lines, boxes,
// ellipses, flood fill, text, stamps, an eraser and a rectangular selection
// that can be moved, resized, copied and cropped, on one bitmap with one undo
// copy. Pixels are drawn by the raster routines of BitmapRaster.h; bitmap
// files and the clipboard go through the image library.
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "platform/TColor.h"
#include "plugins/mail/bitmapedit/BitmapRaster.h"

namespace qv {

// The largest picture the editor takes in from a file or the clipboard.
inline constexpr int64_t kMaxEditPixels = int64_t(4096) * 4096;

// A bitmap file as a picture of the editor (1-bit stays 1-bit, everything
// else becomes true colour); nothing when it cannot be read or is larger
// than kMaxEditPixels.
std::optional<QImage> LoadPictureFile(const std::filesystem::path& path);
// Written whole or not at all; false on any failure.
bool SavePictureFile(const std::filesystem::path& path, const QImage& picture);
// The clipboard's bitmap, with the same limits; and a picture put there.
std::optional<QImage> PictureFromClipboard();
void PictureToClipboard(const QImage& picture);

class TUserDrawPanel : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QImage Bitmap READ GetBitmap WRITE SetBitmap)
  Q_PROPERTY(QImage UndoBitmap READ GetUndoBitmap WRITE SetUndoBitmap)
  Q_PROPERTY(QImage ClipBitmap READ GetClipBitmap WRITE SetClipBitmap)
  Q_PROPERTY(int PictureWidth READ GetPictureWidth WRITE SetPictureWidth)
  Q_PROPERTY(int Pictureheight READ GetPictureheight WRITE SetPictureheight)
  Q_PROPERTY(int BitmapWidth READ GetBitmapWidth WRITE SetBitmapWidth)
  Q_PROPERTY(int BitmapHeight READ GetBitmapHeight WRITE SetBitmapHeight)
  Q_PROPERTY(TDrawType DrawType READ GetDrawType WRITE SetDrawType)
  Q_PROPERTY(TColor DrawColor READ GetDrawColor WRITE SetDrawColor)
  Q_PROPERTY(TColor BackColor READ GetBackColor WRITE SetBackColor)
  Q_PROPERTY(QString Text READ GetText WRITE SetText)
  Q_PROPERTY(int Zoom READ GetZoom WRITE SetZoom)
  Q_PROPERTY(bool Grid READ GetGrid WRITE SetGrid)
  Q_PROPERTY(TColor GridColor READ GetGridColor WRITE SetGridColor)
  Q_PROPERTY(int PenWidth READ GetPenWidth WRITE SetPenWidth)
  Q_PROPERTY(bool BitmapPaint READ GetBitmapPaint WRITE SetBitmapPaint)
  Q_PROPERTY(bool Monochrome READ GetMonochrome WRITE SetMonochrome)
  Q_PROPERTY(QFont Font READ GetFont WRITE SetFont)
  Q_PROPERTY(bool AutoSize READ GetAutoSize WRITE SetAutoSize)

 public:
  enum TDrawType {
    mdtNone,
    mdtPset,
    mdtConnectLine,
    mdtPaint,
    mdtDblLine,
    mdtLine,
    mdtBox,
    mdtDblBox,
    mdtBoxFill,
    mdtFill,
    mdtEllipse,
    mdtEllipseFill,
    mdtDblEllipse,
    mdtEllipseFillNoFlame,
    mdtText,
    mdtDblText,
    mdtBmp,
    mdtStretchBmp,
    mdtEraser,
    mdtZoomUp,
    mdtZoomDown
  };
  Q_ENUM(TDrawType)

  // Where a point of the control lies on the selection.
  enum THitZone { hzNone, hzInside, hzTopLeft, hzTop, hzTopRight, hzRight, hzBottomRight, hzBottom, hzBottomLeft, hzLeft };

  explicit TUserDrawPanel(QWidget* parent = nullptr);

  const QImage& GetBitmap() const { return bitmap_; }
  // Copies the picture in (any format; see MakeRasterPicture); the old one
  // becomes the undo copy.
  void SetBitmap(const QImage& bitmap);
  const QImage& GetUndoBitmap() const { return undo_; }
  void SetUndoBitmap(const QImage& bitmap);
  const QImage& GetClipBitmap() const { return clip_; }
  void SetClipBitmap(const QImage& bitmap);
  int GetPictureWidth() const { return pictureWidth_; }
  void SetPictureWidth(int width) { Resize(width, bitmap_.height()); }
  int GetPictureheight() const { return pictureHeight_; }
  void SetPictureheight(int height) { Resize(bitmap_.width(), height); }
  int GetBitmapWidth() const { return bitmap_.width(); }
  void SetBitmapWidth(int width) { Resize(width, bitmap_.height()); }
  int GetBitmapHeight() const { return bitmap_.height(); }
  void SetBitmapHeight(int height) { Resize(bitmap_.width(), height); }
  TDrawType GetDrawType() const { return drawType_; }
  // Any tool but the selection and zoom tools commits the selection.
  void SetDrawType(TDrawType type);
  TColor GetDrawColor() const { return drawColor_; }
  void SetDrawColor(TColor color) { drawColor_ = color; }
  TColor GetBackColor() const { return backColor_; }
  void SetBackColor(TColor color) { backColor_ = color; }
  QString GetText() const { return text_; }
  void SetText(const QString& text) { text_ = text; }
  int GetZoom() const { return zoom_; }
  void SetZoom(int zoom);
  bool GetGrid() const { return grid_; }
  void SetGrid(bool grid);
  TColor GetGridColor() const { return gridColor_; }
  void SetGridColor(TColor color);
  int GetPenWidth() const { return penWidth_; }
  void SetPenWidth(int width) { penWidth_ = std::max(width, 1); }
  bool GetBitmapPaint() const { return bitmapPaint_; }
  void SetBitmapPaint(bool value) { bitmapPaint_ = value; }
  bool GetMonochrome() const { return bitmap_.format() == QImage::Format_Mono; }
  // On: 1 bit by dithering; off: true colour. Each keeps an undo copy.
  void SetMonochrome(bool value);
  // The font of the text tools (the control's own font until one is set).
  QFont GetFont() const { return fontSet_ ? font_ : font(); }
  void SetFont(const QFont& font);
  bool GetAutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);

  // The dithering to 1 bit; a fixed seed makes it repeat (tests), without
  // one it is seeded from the clock.
  void SetDitherSeed(std::optional<uint32_t> seed) { ditherSeed_ = seed; }
  QImage MonochromeOf(const QImage& picture) const;

  // Swaps the picture and the undo copy (a floating selection is put down
  // first, so that it is undone with the rest); the selection goes.
  void Undo();
  bool CanUndo() const { return !undo_.isNull(); }
  bool HasSelection() const { return !selection_.isEmpty(); }
  void CopyToClipboard();
  void CutToClipboard();
  void DeleteSelection();
  // False when the clipboard holds no usable picture.
  bool PasteFromClipboard();
  void PlaceBitmap(const QImage& bitmap);
  void SelectionToStamp();
  void Clipping();
  void CommitSelection();
  void ZoomUp();
  void ZoomDown();

  // The selection rectangle in picture pixels (empty: none), whether it is
  // lifted from the picture, and its picture as it would be put down.
  QRect SelectionRect() const { return selection_.normalized(); }
  bool Floating() const { return floating_; }
  QImage SelectionPicture() const;
  // The picture with a floating selection drawn over it.
  QImage ComposedBitmap() const;
  // The picture pixel under a point of the control, and the control point
  // of a picture pixel's top-left corner.
  QPoint ToBitmap(QPointF pos) const;
  QPoint ToControl(QPoint pixel) const;
  THitZone HitZone(QPoint pos) const;
  bool GridShown() const { return grid_ && zoom_ > 200; }
  // Paints the part rect of the control (what paintEvent does).
  void PaintArea(QPainter& painter, const QRect& rect);

  QSize sizeHint() const override;

 signals:
  void OnBitmapChange();
  // Selection, zoom, undo copy or tool changed: commands may change their state.
  void StateChanged();
  // A zoom tool click on a picture pixel, after the zoom changed.
  void OnZoomClick(QPoint pixel);
  void DrawTypeChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Changed();
  void UpdateSize();
  void Resize(int width, int height);
  void TakeUndo() { undo_ = bitmap_; }
  void ApplyTool(QPoint point, Qt::KeyboardModifiers modifiers, bool first);
  QPoint Snapped(QPoint point) const;
  QRect BoxTo(QPoint end) const;
  void SelectionPress(QPoint pos, QPoint pixel, Qt::KeyboardModifiers modifiers);
  void SelectionMove(QPoint pixel, Qt::KeyboardModifiers modifiers);
  void SelectionRelease();
  void ClearSelection();
  void TakeSelectionUndo();
  void Lift();
  QRect ClippedSelection() const;
  QRect ControlRect(const QRect& pixels) const;
  bool SelectionToolActive() const;
  void SetZoomClamped(int zoom, int low, int high);

  QImage bitmap_;
  QImage undo_;
  QImage clip_;
  int pictureWidth_ = 0;
  int pictureHeight_ = 0;
  TDrawType drawType_ = mdtNone;
  TColor drawColor_ = clBlack;
  TColor backColor_ = clWhite;
  QString text_;
  int zoom_ = 100;
  bool grid_ = false;
  TColor gridColor_ = clGray;
  int penWidth_ = 1;
  bool bitmapPaint_ = false;
  QFont font_;
  bool fontSet_ = false;
  bool autoSize_ = true;
  std::optional<uint32_t> ditherSeed_;

  // The stroke.
  Qt::MouseButton button_ = Qt::NoButton;
  QPoint start_;
  QPoint last_;
  // What stays the same through a stroke: the pattern brush and the text.
  std::optional<TRasterInk> patternInk_;
  QImage textMask_;

  // The selection: its rectangle, its picture and whether it is lifted.
  QRect selection_;
  QImage floatPicture_;
  bool floating_ = false;
  bool selectionUndo_ = false;  // the undo copy holds the picture before the selection changed it
  THitZone dragZone_ = hzNone;
  QPoint dragStart_;
  QRect dragOrigin_;
  bool selecting_ = false;
};

using TDrawType = TUserDrawPanel::TDrawType;

}  // namespace qv
