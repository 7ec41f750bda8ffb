#pragma once
// The handset colour picker: TFFColor runs the modal form "色見本", whose two
// grids and three level bars offer only the colours the handset can show
// (8 levels of red and green, 4 of blue), and gives back the chosen colour.
#include <QDialog>
#include <QObject>
#include <QString>
#include <QWidget>

#include <array>
#include <span>

#include "controls/Graphics.h"
#include "plugins/mail/DialogLook.h"

class QLabel;
class QPushButton;
class QStackedLayout;
class QToolButton;

namespace qv {

// ---- the colour tables ---------------------------------------------------------

inline constexpr std::array<int, 8> kFFRedGreenLevels = {0, 32, 64, 96, 128, 160, 192, 255};
inline constexpr std::array<int, 4> kFFBlueLevels = {0, 64, 128, 255};
// All three channels of the small grid.
inline constexpr std::array<int, 4> kFFSmallLevels = {0, 64, 128, 255};

// The chosen colour as level indexes: red and green 0-7, blue 0-3.
struct FFLevels {
  int red = 0;
  int green = 0;
  int blue = 0;
  friend bool operator==(const FFLevels&, const FFLevels&) = default;
};

// The first index whose midpoint to the next level lies above value; the
// last index when none does.
int NearestLevel(int value, std::span<const int> levels);
FFLevels ColorToLevels(TColor color);
// red + 256 x green + 65536 x blue of the levels.
TColor LevelsToColor(const FFLevels& levels);

// The full grid: 256 cells, 16 to a row; cell n = 32 red + 4 green + blue.
// The small grid: 64 cells, 8 to a row; cell n = 16 r + 4 g + b over the
// 4-level table.
enum class FFGrid { Full, Small };
int GridColumns(FFGrid grid);
int GridCellCount(FFGrid grid);
TColor GridCellColor(FFGrid grid, int cell);
// The levels a click on a cell chooses; in the small grid red and green take
// the 8-level index of the same value.
FFLevels GridCellLevels(FFGrid grid, int cell);
// trunc(W / columns x column) to trunc(W / columns x (column + 1)), and the
// same for rows.
TRect GridCellRect(FFGrid grid, int cell, int width, int height);
// The cell under a point, -1 outside the grid or for a grid of no size.
int GridCellAt(FFGrid grid, int width, int height, int x, int y);
// Grids above this size (both ways) give every cell a sunken edge.
int GridSunkenLimit(FFGrid grid);

// The level bars: x of the marker for a channel value, and the channel value
// of a position (clamped into the bar); 0 for a bar of no width.
int BarMarkerX(int width, int value);
int BarValueAt(int width, int x);

// ---- the form ------------------------------------------------------------------

class TfrmFFColor;

// One grid of the form, drawn and clicked as the form's colour grid.
class TFFColorGrid : public QWidget {
  Q_OBJECT
 public:
  TFFColorGrid(TfrmFFColor* form, FFGrid grid, QWidget* parent);
  FFGrid Grid() const { return grid_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  TfrmFFColor* form_;
  FFGrid grid_;
};

// One level bar: red, green or blue.
class TFFLevelBar : public QWidget {
  Q_OBJECT
 public:
  enum Channel { Red, Green, Blue };
  TFFLevelBar(TfrmFFColor* form, Channel channel, QWidget* parent);
  Channel GetChannel() const { return channel_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void Pick(int x);
  TfrmFFColor* form_;
  Channel channel_;
};

class TfrmFFColor : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmFFColor(QWidget* parent = nullptr);

  // The preview colour; setting it splits it into levels.
  TColor Color() const { return LevelsToColor(levels_); }
  void SetColor(TColor color);
  const FFLevels& Levels() const { return levels_; }
  void SetLevels(const FFLevels& levels);
  // The form's background, which the grids' sunken edges are blended from.
  TColor FormColor() const { return formColor_; }
  void SetFormColor(TColor color);
  // Shows the full grid (down) or the small one.
  void ShowFullGrid(bool full);

  TFFColorGrid* pbSample;
  TFFColorGrid* pbSample2;
  QToolButton* spdColor;
  TFFLevelBar* pbRed;
  TFFLevelBar* pbGreen;
  TFFLevelBar* pbBlue;
  QWidget* pnlColor;
  QPushButton* btnOK;
  QPushButton* btnCancel;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Changed();

  QStackedLayout* grids_;
  FFLevels levels_;
  TColor formColor_ = clBtnFace;
};

// The component: Execute shows the form modally over its owner.
class TFFColor : public QObject, public TDialogLook {
  Q_OBJECT
  Q_PROPERTY(TColor Color READ GetColor WRITE SetColor)
  Q_PROPERTY(TColor BGColor READ GetBGColor WRITE SetBGColor)
  Q_PROPERTY(TFont Font READ GetFont WRITE SetFont)
  Q_PROPERTY(QString Caption READ GetCaption WRITE SetCaption)
  Q_PROPERTY(bool ParentColor READ GetParentColor WRITE SetParentColor)
  Q_PROPERTY(bool ParentFont READ GetParentFont WRITE SetParentFont)

 public:
  explicit TFFColor(QObject* owner = nullptr);

  TColor GetColor() const { return color_; }
  void SetColor(TColor value) { color_ = value; }
  TColor GetBGColor() const { return bgColor_; }
  void SetBGColor(TColor value) { bgColor_ = value; }
  QString GetCaption() const { return caption_; }
  void SetCaption(const QString& value) { caption_ = value; }

  // Color afterwards holds the form's colour; true when the form was closed
  // with OK, so a caller that is refused keeps its own colour.
  bool Execute();

 private:
  TColor color_ = clBlack;
  TColor bgColor_ = clBtnFace;
  QString caption_;
};

}  // namespace qv
