#pragma once
// The picture editor: the window "画像編集" round the drawing panel (tool
// buttons, a 16-colour palette, the drawing colours, a text field, a stamp
// preview and a menu of commands), and the component that opens it on a
// bitmap limited to a maximum size and hands the edited bitmap back.
#include <QDialog>
#include <QFlags>
#include <QFrame>
#include <QImage>
#include <QObject>
#include <QString>

#include <filesystem>
#include <optional>
#include <vector>

#include "controls/Graphics.h"
#include "controls/MultiButton.h"
#include "plugins/mail/DialogLook.h"
#include "plugins/mail/bitmapedit/UserDrawPanel.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QScrollArea;

namespace qv {

class TSelectButton;

// The palette: a left click on a swatch picks the drawing colour, a right
// click the background colour.
class TPaletteBox : public TColorBox {
 public:
  using TColorBox::TColorBox;
  Qt::MouseButton LastButton() const { return button_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  Qt::MouseButton button_ = Qt::LeftButton;
};

// One of the two colour boxes.
class TColorSample : public QFrame {
 public:
  explicit TColorSample(QWidget* parent);
  TColor Color() const { return color_; }
  void SetColor(TColor color);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TColor color_ = clBlack;
};

// The stamp preview.
class TStampPreview : public QFrame {
 public:
  explicit TStampPreview(QWidget* parent);
  const QImage& Picture() const { return picture_; }
  void SetPicture(const QImage& picture);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
};

class TUserDrawDialog : public QObject, public TDialogLook {
  Q_OBJECT
  Q_PROPERTY(QImage BitMap READ GetBitMap WRITE SetBitMap)
  Q_PROPERTY(QString InitialDir READ GetInitialDir WRITE SetInitialDir)
  Q_PROPERTY(TBmpEditOption Option READ GetOption WRITE SetOption)
  Q_PROPERTY(TColor Color READ GetColor WRITE SetColor)
  Q_PROPERTY(TFont Font READ GetFont WRITE SetFont)
  Q_PROPERTY(TColor WorkColor READ GetWorkColor WRITE SetWorkColor)
  Q_PROPERTY(TColor DownButtonColor READ GetDownButtonColor WRITE SetDownButtonColor)
  Q_PROPERTY(int MaxWidth READ GetMaxWidth WRITE SetMaxWidth)
  Q_PROPERTY(int MaxHeight READ GetMaxHeight WRITE SetMaxHeight)

 public:
  enum TBmpEditOptionItem {
    bePen = 0x001,
    beLine = 0x002,
    beEraser = 0x004,
    bePaint = 0x008,
    beBox = 0x010,
    beEllipse = 0x020,
    beText = 0x040,
    beZoom = 0x080,
    beStamp = 0x100,
  };
  Q_DECLARE_FLAGS(TBmpEditOption, TBmpEditOptionItem)
  Q_FLAG(TBmpEditOption)
  static constexpr int kAllOptions = 0x1FF;

  explicit TUserDrawDialog(QObject* owner = nullptr);

  QImage GetBitMap() const { return bitmap_; }
  void SetBitMap(const QImage& bitmap) { bitmap_ = bitmap; }
  QString GetInitialDir() const { return initialDir_; }
  void SetInitialDir(const QString& folder) { initialDir_ = folder; }
  TBmpEditOption GetOption() const { return option_; }
  void SetOption(TBmpEditOption option) { option_ = option; }
  TColor GetColor() const { return color_; }
  void SetColor(TColor color) { color_ = color; }
  TColor GetWorkColor() const { return workColor_; }
  void SetWorkColor(TColor color) { workColor_ = color; }
  TColor GetDownButtonColor() const { return downButtonColor_; }
  void SetDownButtonColor(TColor color) { downButtonColor_ = color; }
  int GetMaxWidth() const { return maxWidth_; }
  void SetMaxWidth(int width) { maxWidth_ = width; }
  int GetMaxHeight() const { return maxHeight_; }
  void SetMaxHeight(int height) { maxHeight_ = height; }

  // Opens the editor on BitMap (cut to MaxWidth x MaxHeight; an empty one
  // becomes a white picture of that size); true and the edited picture in
  // BitMap after OK, false and BitMap untouched otherwise.
  bool Execute();

 private:
  QImage bitmap_;
  QString initialDir_;
  TBmpEditOption option_ = TBmpEditOption(kAllOptions);
  TColor color_ = clBtnFace;
  TColor workColor_ = clAppWorkSpace;
  TColor downButtonColor_ = clBtnHighlight;
  int maxWidth_ = 192;
  int maxHeight_ = 130;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TUserDrawDialog::TBmpEditOption)
using TBmpEditOption = TUserDrawDialog::TBmpEditOption;

// The picture cut to the size limits (never scaled); an empty picture
// becomes a white one of the limits.
QImage FitPicture(const QImage& picture, int maxWidth, int maxHeight);

class TfrmBitmapEdit : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmBitmapEdit(QWidget* parent = nullptr);
  ~TfrmBitmapEdit() override;

  // Shows the tools the option holds (the text field with the text tool,
  // the stamp preview with the stamp tool) and hides the others.
  void ShowTools(TBmpEditOption option);
  void SetDownButtonColor(TColor color);
  void SetWorkColor(TColor color);
  void SetFormColor(TColor color);
  // The folder the file dialogs start in (ignored when it does not exist).
  void SetInitialDir(const std::filesystem::path& folder);
  const std::filesystem::path& LastDir() const { return lastDir_; }
  void SetMaxSize(int width, int height);
  // Puts the panel's picture in, the undo copy equal to it.
  void SetPicture(const QImage& picture);
  // The panel's picture with any floating selection put down, cut to the limits.
  QImage Picture();
  // The palette's colour codes as shown.
  QStringList PaletteCodes() const;
  // Presses a tool button and chooses its alternative, as a click would.
  void ChooseTool(TSelectButton* button, int selectNo);

  // Commands.
  void OpenPicture();
  void PlacePicture();
  void SavePicture();
  void LoadStamp();
  void ChooseFont();
  void UpdateCommands();

  TSelectButton* sbSelect;
  TSelectButton* sbPen;
  TSelectButton* sbLine;
  TSelectButton* sbEraser;
  TSelectButton* sbPaint;
  TSelectButton* sbRect;
  TSelectButton* sbEllipse;
  TSelectButton* sbText;
  TSelectButton* sbZoom;
  TSelectButton* sbStamp;
  TSelectButton* sbLineWidth;
  TUserDrawPanel* UserDrawPanel;
  QScrollArea* scbWork;
  TPaletteBox* ColorBox;
  TColorSample* pnlDrawColor;
  TColorSample* pnlBackColor;
  QLabel* lblText;
  QLineEdit* edtText;
  TStampPreview* imgStamp;
  QPushButton* btnOK;
  QPushButton* btnCancel;

  QAction* mnuOpen;
  QAction* mnuPlace;
  QAction* mnuSave;
  QAction* mnuStampLoad;
  QAction* mnuFont;
  QAction* mnuMonochrome;
  QAction* mnuColor;
  QAction* mnuUndo;
  QAction* mnuCut;
  QAction* mnuCopy;
  QAction* mnuPaste;
  QAction* mnuDelete;
  QAction* mnuClipping;
  QAction* mnuSelToStamp;
  QAction* mnuZoomUp;
  QAction* mnuZoomDown;
  QAction* mnuGrid;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct Tool {
    TSelectButton* button;
    std::vector<TDrawType> types;  // empty for the pen widths
  };
  void BuildTools();
  void BuildMenus();
  void BuildLayout();
  void LayoutTools();
  void ToolChanged(TSelectButton* button);
  void DrawTypeChanged();
  void BitmapChanged();
  void UpdatePalette();
  void UpdateStampPreview();
  void ScrollToPixel(QPoint pixel);
  std::optional<std::filesystem::path> AskPictureFile();
  void Remember(const std::filesystem::path& file);

  std::vector<Tool> tools_;
  QMenuBar* menuBar_ = nullptr;
  QWidget* toolColumn_ = nullptr;
  std::filesystem::path lastDir_;
  int maxWidth_ = 192;
  int maxHeight_ = 130;
  bool monochromeShown_ = false;
};

}  // namespace qv
