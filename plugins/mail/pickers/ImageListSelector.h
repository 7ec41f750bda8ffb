#pragma once
// Choosing one image of an image list: TImageListSelector shows the images in
// a grid of cells (scrolled by rows when they do not fit) and keeps the chosen
// index; TImageListSelectorDialog shows such a grid in a dialog of its own.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "controls/Graphics.h"
#include "controls/ImageList.h"
#include "plugins/mail/DialogLook.h"

class QScrollBar;

namespace qv {

class TImageListSelector : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int ImagesIndex READ GetImagesIndex WRITE SetImagesIndex)
  Q_PROPERTY(int ImageWidth READ GetImageWidth WRITE SetImageWidth)
  Q_PROPERTY(int ImageHeight READ GetImageHeight WRITE SetImageHeight)
  Q_PROPERTY(int Space READ GetSpace WRITE SetSpace)
  Q_PROPERTY(TColor Color READ GetColor WRITE SetColor)

 public:
  explicit TImageListSelector(QWidget* parent = nullptr);

  TImageList* Images() const { return images_; }
  void SetImages(TImageList* images);
  // The selected image, -1 for none; kept within the list.
  int GetImagesIndex() const { return index_; }
  void SetImagesIndex(int index);
  // The size each image is drawn at; 0 or less takes the list's size.
  int GetImageWidth() const { return imageWidth_; }
  void SetImageWidth(int value);
  int GetImageHeight() const { return imageHeight_; }
  void SetImageHeight(int value);
  // Pixels round each image.
  int GetSpace() const { return space_; }
  void SetSpace(int value);
  TColor GetColor() const { return color_; }
  void SetColor(TColor value);

  int CellWidth() const;
  int CellHeight() const;
  int Columns() const { return Synced().columns_; }
  int Rows() const { return Synced().rows_; }
  // The first row shown; kept so that the shown rows stay filled.
  int FirstRow() const { return Synced().firstRow_; }
  void SetFirstRow(int row);
  // Rows that fit the client height (at least 1).
  int PageRows() const;
  bool ScrollBarShown() const;
  QScrollBar* ScrollBar() const { return scrollBar_; }
  // The scroll range as the rows give it: 0 to rows - 1, a page of PageRows.
  int ScrollRangeMax() const { return Synced().rows_ - 1; }
  // Where image index is drawn, in the control's coordinates.
  QRect CellRect(int index) const;
  // The image under a point, clamped into the grid and to the last image;
  // -1 without images.
  int IndexAt(QPoint point) const;

 signals:
  void OnChange();
  // A double click or Enter on the selection.
  void Activated();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void Recalculate();
  // The grid for the control's present size (a hidden control is told of
  // its size only when shown).
  const TImageListSelector& Synced() const;
  void ScrollIntoView(int index);
  int ClientWidth() const;

  QPointer<TImageList> images_;
  QMetaObject::Connection imagesChanged_;
  QScrollBar* scrollBar_;
  int index_ = -1;
  int imageWidth_ = 1;
  int imageHeight_ = 1;
  int space_ = 3;
  TColor color_ = clWindow;
  int columns_ = 1;
  int rows_ = 0;
  int firstRow_ = 0;
  QSize laidOut_;
};

// The component: Execute shows the images in a modal dialog.
class TImageListSelectorDialog : public QObject, public TDialogLook {
  Q_OBJECT
  Q_PROPERTY(int ImagesIndex READ GetImagesIndex WRITE SetImagesIndex)
  Q_PROPERTY(QString Caption READ GetCaption WRITE SetCaption)
  Q_PROPERTY(TColor Color READ GetColor WRITE SetColor)
  Q_PROPERTY(TFont Font READ GetFont WRITE SetFont)
  Q_PROPERTY(bool ParentColor READ GetParentColor WRITE SetParentColor)
  Q_PROPERTY(bool ParentFont READ GetParentFont WRITE SetParentFont)

 public:
  explicit TImageListSelectorDialog(QObject* owner = nullptr);

  TImageList* Images() const { return images_; }
  void SetImages(TImageList* images) { images_ = images; }
  int GetImagesIndex() const { return index_; }
  void SetImagesIndex(int index) { index_ = index; }
  QString GetCaption() const { return caption_; }
  void SetCaption(const QString& value) { caption_ = value; }
  TColor GetColor() const { return color_; }
  void SetColor(TColor value) { color_ = value; }

  // True with the chosen image in ImagesIndex after OK (or a double click).
  bool Execute();

 private:
  QPointer<TImageList> images_;
  int index_ = -1;
  QString caption_;
  TColor color_ = clBtnFace;
};

}  // namespace qv
