#include "plugins/mail/pickers/FFColor.h"

#include "controls/BRVGraphicsEX.h"
#include "core/ui/FormPosition.h"
#include "plugins/mail/WindowText.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStackedLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace qv {

// ---- the colour tables ---------------------------------------------------------

int NearestLevel(int value, std::span<const int> levels) {
  const int last = static_cast<int>(levels.size()) - 1;
  for (int i = 0; i < last; ++i)
    // Midpoints such as 223.5 are compared exactly, doubled.
    if (levels[i] + levels[i + 1] > 2 * value) return i;
  return std::max(last, 0);
}

FFLevels ColorToLevels(TColor color) {
  color = ColorToRGB(color);
  return {NearestLevel(GetRValue(color), kFFRedGreenLevels), NearestLevel(GetGValue(color), kFFRedGreenLevels),
          NearestLevel(GetBValue(color), kFFBlueLevels)};
}

TColor LevelsToColor(const FFLevels& l) {
  return RGB(kFFRedGreenLevels[static_cast<size_t>(l.red)], kFFRedGreenLevels[static_cast<size_t>(l.green)],
             kFFBlueLevels[static_cast<size_t>(l.blue)]);
}

int GridColumns(FFGrid grid) { return grid == FFGrid::Full ? 16 : 8; }
int GridCellCount(FFGrid grid) { return grid == FFGrid::Full ? 256 : 64; }
int GridSunkenLimit(FFGrid grid) { return grid == FFGrid::Full ? 200 : 100; }

TColor GridCellColor(FFGrid grid, int cell) {
  if (grid == FFGrid::Full) return LevelsToColor(GridCellLevels(grid, cell));
  return RGB(kFFSmallLevels[static_cast<size_t>(cell / 16 % 4)], kFFSmallLevels[static_cast<size_t>(cell / 4 % 4)],
             kFFSmallLevels[static_cast<size_t>(cell % 4)]);
}

FFLevels GridCellLevels(FFGrid grid, int cell) {
  if (grid == FFGrid::Full) return {cell / 32 % 8, cell / 4 % 8, cell % 4};
  // 0, 64, 128 and 255 stand at 0, 2, 4 and 7 of the 8 levels.
  static constexpr int kEightOfFour[4] = {0, 2, 4, 7};
  return {kEightOfFour[cell / 16 % 4], kEightOfFour[cell / 4 % 4], cell % 4};
}

namespace {

// trunc(size / count x index), in integers.
int Edge(int size, int count, int index) { return static_cast<int>(static_cast<long long>(size) * index / count); }

// The index whose band [Edge(i), Edge(i + 1)) holds pos; -1 outside.
int BandAt(int size, int count, int pos) {
  if (size <= 0 || pos < 0 || pos >= size) return -1;
  int i = static_cast<int>(static_cast<long long>(pos) * count / size);
  while (i > 0 && Edge(size, count, i) > pos) --i;
  while (i + 1 < count && Edge(size, count, i + 1) <= pos) ++i;
  return i;
}

}  // namespace

TRect GridCellRect(FFGrid grid, int cell, int width, int height) {
  const int cols = GridColumns(grid);
  const int rows = GridCellCount(grid) / cols;
  const int c = cell % cols, r = cell / cols;
  return {Edge(width, cols, c), Edge(height, rows, r), Edge(width, cols, c + 1), Edge(height, rows, r + 1)};
}

int GridCellAt(FFGrid grid, int width, int height, int x, int y) {
  const int cols = GridColumns(grid);
  const int c = BandAt(width, cols, x);
  const int r = BandAt(height, GridCellCount(grid) / cols, y);
  return c < 0 || r < 0 ? -1 : r * cols + c;
}

int BarMarkerX(int width, int value) {
  return static_cast<int>(std::max(0LL, (static_cast<long long>(width) - 5) * value / 255));
}

int BarValueAt(int width, int x) {
  if (width <= 0) return 0;
  return static_cast<int>(static_cast<long long>(std::clamp(x, 0, width)) * 255 / width);
}

// ---- the grids and bars --------------------------------------------------------

TFFColorGrid::TFFColorGrid(TfrmFFColor* form, FFGrid grid, QWidget* parent)
    : QWidget(parent), form_(form), grid_(grid) {
  setObjectName(grid == FFGrid::Full ? QStringLiteral("pbSample") : QStringLiteral("pbSample2"));
  setFixedSize(256, 256);
}

void TFFColorGrid::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  TCanvas canvas(painter);
  const int w = width(), h = height();
  canvas.Brush.Color = form_->FormColor();
  canvas.FillRect({0, 0, w, h});
  const int limit = GridSunkenLimit(grid_);
  const bool sunken = w > limit && h > limit;
  const TColor shadow = BlendColor(ColorToRGB(form_->FormColor()), clBlack, 128);
  const TColor light = BlendColor(ColorToRGB(form_->FormColor()), clWhite, 128);
  const TColor chosen = form_->Color();
  for (int cell = 0; cell < GridCellCount(grid_); ++cell) {
    const TRect r = GridCellRect(grid_, cell, w, h);
    if (r.IsEmpty()) continue;
    const TRect face = sunken ? r.Inflated(-1, -1) : TRect{r.Left, r.Top, r.Right - 1, r.Bottom - 1};
    const TColor colour = GridCellColor(grid_, cell);
    canvas.Brush.Color = colour;
    canvas.FillRect(face);
    if (sunken) {
      canvas.Pen.Color = shadow;
      canvas.Line({r.Left, r.Bottom - 1}, {r.Left, r.Top});
      canvas.Line({r.Left, r.Top}, {r.Right - 1, r.Top});
      canvas.Pen.Color = light;
      canvas.Line({r.Left, r.Bottom - 1}, {r.Right - 1, r.Bottom - 1});
      canvas.Line({r.Right - 1, r.Bottom - 1}, {r.Right - 1, r.Top});
    }
    if (colour == chosen && !face.IsEmpty()) {
      canvas.Pen.Color = clWhite;
      canvas.Brush.Style = bsClear;
      canvas.Rectangle(face);
      canvas.Brush.Style = bsSolid;
    }
  }
}

void TFFColorGrid::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  const int cell = GridCellAt(grid_, width(), height(), p.x(), p.y());
  if (cell >= 0) form_->SetLevels(GridCellLevels(grid_, cell));
}

TFFLevelBar::TFFLevelBar(TfrmFFColor* form, Channel channel, QWidget* parent)
    : QWidget(parent), form_(form), channel_(channel) {
  static const char* const kNames[] = {"pbRed", "pbGreen", "pbBlue"};
  setObjectName(QString::fromLatin1(kNames[channel]));
  setFixedSize(160, 16);
}

void TFFLevelBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  TCanvas canvas(painter);
  const int w = width(), h = height();
  if (w <= 0 || h <= 0) return;
  const int bands = std::min(w, 255);
  for (int k = 0; k < bands; ++k) {
    const int v = bands > 1 ? 255 * k / (bands - 1) : 255;
    canvas.Brush.Color = channel_ == Red ? RGB(v, 0, 0) : channel_ == Green ? RGB(0, v, 0) : RGB(0, 0, v);
    canvas.FillRect({Edge(w, bands, k), 0, Edge(w, bands, k + 1), h});
  }
  const FFLevels& l = form_->Levels();
  const int value = channel_ == Red     ? kFFRedGreenLevels[static_cast<size_t>(l.red)]
                    : channel_ == Green ? kFFRedGreenLevels[static_cast<size_t>(l.green)]
                                        : kFFBlueLevels[static_cast<size_t>(l.blue)];
  const int x = BarMarkerX(w, value);
  canvas.Brush.Color = clSilver;
  canvas.FillRect({x, 0, x + 4, h});
  canvas.Pen.Color = clWhite;
  canvas.Line({x, h - 1}, {x, 0});
  canvas.Line({x, 0}, {x + 3, 0});
  canvas.Pen.Color = clBlack;
  canvas.Line({x, h - 1}, {x + 3, h - 1});
  canvas.Line({x + 3, h - 1}, {x + 3, 0});
}

void TFFLevelBar::Pick(int x) {
  if (width() <= 0) return;
  const int value = BarValueAt(width(), x);
  FFLevels l = form_->Levels();
  if (channel_ == Red) l.red = NearestLevel(value, kFFRedGreenLevels);
  if (channel_ == Green) l.green = NearestLevel(value, kFFRedGreenLevels);
  if (channel_ == Blue) l.blue = NearestLevel(value, kFFBlueLevels);
  if (!(l == form_->Levels())) form_->SetLevels(l);
}

void TFFLevelBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) Pick(event->position().toPoint().x());
}

void TFFLevelBar::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) Pick(event->position().toPoint().x());
}

// ---- the form ------------------------------------------------------------------

TfrmFFColor::TfrmFFColor(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmFFColor"));
  setWindowTitle(Q("色見本"));
  setAutoFillBackground(true);

  auto* outer = new QHBoxLayout(this);
  auto* left = new QVBoxLayout;
  spdColor = new QToolButton(this);
  spdColor->setObjectName(QStringLiteral("spdColor"));
  spdColor->setText(Q("全色表示"));
  spdColor->setCheckable(true);
  left->addWidget(spdColor, 0, Qt::AlignLeft);
  // One grid shows at a time, in the same place.
  grids_ = new QStackedLayout;
  pbSample2 = new TFFColorGrid(this, FFGrid::Small, this);
  pbSample = new TFFColorGrid(this, FFGrid::Full, this);
  grids_->addWidget(pbSample2);
  grids_->addWidget(pbSample);
  left->addLayout(grids_);
  outer->addLayout(left);

  auto* right = new QVBoxLayout;
  auto* bars = new QGridLayout;
  pbRed = new TFFLevelBar(this, TFFLevelBar::Red, this);
  pbGreen = new TFFLevelBar(this, TFFLevelBar::Green, this);
  pbBlue = new TFFLevelBar(this, TFFLevelBar::Blue, this);
  const char* const captions[] = {"赤", "緑", "青"};
  TFFLevelBar* const barList[] = {pbRed, pbGreen, pbBlue};
  for (int i = 0; i < 3; ++i) {
    bars->addWidget(new QLabel(Q(captions[i]), this), i, 0);
    bars->addWidget(barList[i], i, 1);
  }
  right->addLayout(bars);
  pnlColor = new QWidget(this);
  pnlColor->setObjectName(QStringLiteral("pnlColor"));
  pnlColor->setAutoFillBackground(true);
  pnlColor->setMinimumSize(160, 80);
  right->addWidget(pnlColor);
  right->addStretch();
  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setDefault(true);
  btnCancel = new QPushButton(Q("ｷｬﾝｾﾙ"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  right->addWidget(btnOK);
  right->addWidget(btnCancel);
  outer->addLayout(right);
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(spdColor, &QToolButton::toggled, this, &TfrmFFColor::ShowFullGrid);
  ShowFullGrid(false);
  SetFormColor(clBtnFace);
  Changed();
}

void TfrmFFColor::ShowFullGrid(bool full) {
  if (spdColor->isChecked() != full) spdColor->setChecked(full);
  grids_->setCurrentWidget(full ? static_cast<QWidget*>(pbSample) : pbSample2);
}

void TfrmFFColor::SetColor(TColor color) { SetLevels(ColorToLevels(color)); }

void TfrmFFColor::SetLevels(const FFLevels& levels) {
  levels_ = {std::clamp(levels.red, 0, 7), std::clamp(levels.green, 0, 7), std::clamp(levels.blue, 0, 3)};
  Changed();
}

void TfrmFFColor::SetFormColor(TColor color) {
  formColor_ = color;
  SetFormColors(this, ToQColor(color), palette().color(QPalette::Active, QPalette::WindowText));
  update();
}

void TfrmFFColor::Changed() {
  QPalette swatch = pnlColor->palette();
  swatch.setColor(QPalette::Window, ToQColor(Color()));
  pnlColor->setPalette(swatch);
  for (QWidget* w : std::initializer_list<QWidget*>{pnlColor, pbSample, pbSample2, pbRed, pbGreen, pbBlue})
    w->update();
}

void TfrmFFColor::showEvent(QShowEvent* event) {
  // Over the owner, or at the mouse without one; kept inside the work area.
  const QPalette own = palette();
  LoadFormPosition(this, parentWidget() ? kPlaceOwnerCentre : kPlaceCursorCentre, 0, {});
  setPalette(own);
  QDialog::showEvent(event);
}

// ---- the component -------------------------------------------------------------

TFFColor::TFFColor(QObject* owner) : QObject(owner), caption_(Q("色見本")) {}

bool TFFColor::Execute() {
  QWidget* ownerWidget = parent() && parent()->isWidgetType() ? static_cast<QWidget*>(parent()) : nullptr;
  TfrmFFColor form(ownerWidget);
  ApplyLook(form, parent(), bgColor_);
  form.SetFormColor(FormColor(parent(), bgColor_));
  form.SetColor(color_);
  form.setWindowTitle(caption_);
  const bool ok = form.exec() == QDialog::Accepted;
  color_ = form.Color();
  return ok;
}

}  // namespace qv
