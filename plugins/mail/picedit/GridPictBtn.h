#pragma once
// A picture cut into a grid of clickable cells, each with a caption: the page
// selector of the picture page editor. The cell under the mouse, the pressed
// cell and the current cell are drawn apart; a click reports the cell's
// column, row and number (column + row x Cols).
#include <QFlags>
#include <QFont>
#include <QImage>
#include <QStringList>
#include <QWidget>

#include <functional>

#include "controls/ControlSupport.h"

class QPainter;

namespace qv {

class TGridPictBtn : public QWidget, public TColorControl {
  Q_OBJECT
  Q_PROPERTY(int Cols READ GetCols WRITE SetCols)
  Q_PROPERTY(int Rows READ GetRows WRITE SetRows)
  Q_PROPERTY(QImage Picture READ GetPicture WRITE SetPicture)
  Q_PROPERTY(TColor FlashColor READ GetFlashColor WRITE SetFlashColor)
  Q_PROPERTY(TColor OverColor READ GetOverColor WRITE SetOverColor)
  Q_PROPERTY(TColor FocusColor READ GetFocusColor WRITE SetFocusColor)
  Q_PROPERTY(bool Flat READ GetFlat WRITE SetFlat)
  Q_PROPERTY(QStringList Items READ GetItems WRITE SetItems)
  Q_PROPERTY(TDraeTextFormat DrawTextFormat READ GetDrawTextFormat WRITE SetDrawTextFormat)
  Q_PROPERTY(bool ItemVisible READ GetItemVisible WRITE SetItemVisible)
  Q_PROPERTY(bool DrawText3D READ GetDrawText3D WRITE SetDrawText3D)
  Q_PROPERTY(bool FocusedVisibletext READ GetFocusedVisibletext WRITE SetFocusedVisibletext)
  Q_PROPERTY(bool AutoSize READ GetAutoSize WRITE SetAutoSize)
  Q_PROPERTY(TColor Color READ GetColor WRITE SetColor)
  Q_PROPERTY(TFont Font READ GetFont WRITE SetFont)

 public:
  // The system's text-drawing flags, one set member each.
  enum TDraeTextFormatItem {
    dtBOTTOM = 0x00001,
    dtCALCRECT = 0x00002,
    dtCENTER = 0x00004,
    dtEDITCONTROL = 0x00008,
    dtEND_ELLIPSIS = 0x00010,
    dtEXPANDTABS = 0x00020,
    dtEXTERNALLEADING = 0x00040,
    dtLEFT = 0x00080,
    dtMODIFYSTRING = 0x00100,
    dtNOCLIP = 0x00200,
    dtNOPREFIX = 0x00400,
    dtPATH_ELLIPSIS = 0x00800,
    dtRIGHT = 0x01000,
    dtRTLREADING = 0x02000,
    dtSINGLELINE = 0x04000,
    dtTOP = 0x08000,
    dtVCENTER = 0x10000,
    dtWORDBREAK = 0x20000,
  };
  Q_DECLARE_FLAGS(TDraeTextFormat, TDraeTextFormatItem)
  Q_FLAG(TDraeTextFormat)

  // 0 normal, 1 under the mouse, 2 pressed.
  enum TDCState { dcsNormal = 0, dcsOver = 1, dcsDown = 2 };
  Q_ENUM(TDCState)

  using TDrawCellEvent =
      std::function<void(TGridPictBtn* sender, int x, int y, int num, TDCState state, QString& text, TColor& textColor)>;

  explicit TGridPictBtn(QWidget* parent = nullptr);

  int GetCols() const { return cols_; }
  void SetCols(int cols);
  int GetRows() const { return rows_; }
  void SetRows(int rows);
  QImage GetPicture() const { return picture_; }
  void SetPicture(const QImage& picture);
  TColor GetFlashColor() const { return flashColor_; }
  void SetFlashColor(TColor color) { StoreAndRepaint(*this, flashColor_, color); }
  TColor GetOverColor() const { return overColor_; }
  void SetOverColor(TColor color) { StoreAndRepaint(*this, overColor_, color); }
  TColor GetFocusColor() const { return focusColor_; }
  void SetFocusColor(TColor color) { StoreAndRepaint(*this, focusColor_, color); }
  bool GetFlat() const { return flat_; }
  void SetFlat(bool flat) { StoreAndRepaint(*this, flat_, flat); }
  QStringList GetItems() const { return items_; }
  void SetItems(const QStringList& items) { StoreAndRepaint(*this, items_, items); }
  TDraeTextFormat GetDrawTextFormat() const { return drawTextFormat_; }
  void SetDrawTextFormat(TDraeTextFormat format) { StoreAndRepaint(*this, drawTextFormat_, format); }
  bool GetItemVisible() const { return itemVisible_; }
  void SetItemVisible(bool visible) { StoreAndRepaint(*this, itemVisible_, visible); }
  bool GetDrawText3D() const { return drawText3D_; }
  void SetDrawText3D(bool value) { StoreAndRepaint(*this, drawText3D_, value); }
  bool GetFocusedVisibletext() const { return focusedVisibleText_; }
  void SetFocusedVisibletext(bool value) { StoreAndRepaint(*this, focusedVisibleText_, value); }
  bool GetAutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  TColor GetColor() const override { return color_.Get(); }
  void SetColor(TColor color) { color_.Set(color); }
  TFont GetFont() const { return font_.Get(); }
  void SetFont(const TFont& font) { font_.Set(font); }
  void ParentColorChanged() override { color_.ParentChanged(); }

  void SetOnDrawCell(TDrawCellEvent handler) {
    onDrawCell_ = std::move(handler);
    update();
  }

  // The current cell, as a click sets it.
  void SetCellIndexA(int column);
  void SetCellIndexB(int row);
  int CellIndexA() const { return current_.x(); }
  int CellIndexB() const { return current_.y(); }
  // The cell under the mouse and the pressed cell, (-1, -1) for none.
  QPoint OverCell() const { return over_; }
  QPoint DownCell() const { return down_; }

  // Cell (column, row) in control coordinates, and the piece of Picture drawn
  // into it.
  QRect CellRect(int column, int row) const;
  QRect PictureRect(int column, int row) const;
  // The cell under a point, (-1, -1) outside the grid.
  QPoint CellAt(QPoint pos) const;
  // The caption of a cell: empty when Items has none for it.
  QString CellText(int column, int row) const;
  // Qt's alignment and text flags for DrawTextFormat.
  static int TextFlags(TDraeTextFormat format);
  // How a caption is laid out in a cell by the system's text-drawing rules:
  // its lines (each cut to the cell with an ellipsis at its end or, for a
  // path, in its middle), their height (with the font's external leading
  // when asked) and the first one's top; an edit control's layout leaves out
  // a partly visible last line, and a calculation of the rectangle draws
  // nothing.
  struct TextLayout {
    QStringList lines;
    int lineHeight = 0;
    int top = 0;
  };
  static TextLayout LayoutText(const QFont& font, const QRect& rect, TDraeTextFormat format, const QString& text);
  static void DrawText(QPainter& painter, const QRect& rect, TDraeTextFormat format, const QString& text);

 signals:
  void OnCellClick(int x, int y, int num);
  void OnCellDblClick(int x, int y, int num);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void PaintCell(QPainter& painter, int column, int row);
  void Press(QPoint pos, bool doubleClick);
  void SetOver(QPoint cell);
  void ApplyAutoSize();

  int cols_ = 1;
  int rows_ = 1;
  QImage picture_;
  TColor flashColor_ = clWhite;
  TColor overColor_ = clYellow;
  TColor focusColor_ = clRed;
  bool flat_ = false;
  QStringList items_;
  TDraeTextFormat drawTextFormat_ = TDraeTextFormat(dtCENTER | dtSINGLELINE | dtVCENTER);
  bool itemVisible_ = true;
  bool drawText3D_ = false;
  bool focusedVisibleText_ = true;
  bool autoSize_ = false;
  ControlColor color_;
  ControlFont font_;
  TDrawCellEvent onDrawCell_;
  QPoint over_{-1, -1};
  QPoint down_{-1, -1};
  QPoint current_{0, 0};
  bool doubleClick_ = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TGridPictBtn::TDraeTextFormat)

}  // namespace qv
