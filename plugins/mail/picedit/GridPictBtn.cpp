#include "plugins/mail/picedit/GridPictBtn.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>

#include "controls/BRVGraphicsEX.h"
#include "controls/CustomPanel.h"

namespace qv {

namespace {
const QPoint kNoCell(-1, -1);
constexpr TColor kFrameGrey = 0x808080;

// trunc(size / parts x index), the edge between two cells.
int Edge(int size, int parts, int index) { return int(double(size) / parts * index); }
}  // namespace

TGridPictBtn::TGridPictBtn(QWidget* parent)
    : QWidget(parent),
      color_(this, clBtnFace, true, [this](TColor) { update(); }),
      font_(this, [this] { update(); }) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  resize(96, 72);
}

void TGridPictBtn::SetCols(int cols) {
  cols_ = std::max(cols, 1);
  current_.setX(std::min(current_.x(), cols_ - 1));
  over_ = down_ = kNoCell;
  update();
}

void TGridPictBtn::SetRows(int rows) {
  rows_ = std::max(rows, 1);
  current_.setY(std::min(current_.y(), rows_ - 1));
  over_ = down_ = kNoCell;
  update();
}

void TGridPictBtn::SetPicture(const QImage& picture) {
  picture_ = picture;
  ApplyAutoSize();
  update();
}

void TGridPictBtn::SetAutoSize(bool value) {
  autoSize_ = value;
  ApplyAutoSize();
}

void TGridPictBtn::ApplyAutoSize() {
  if (autoSize_ && !picture_.isNull()) resize(picture_.size());
}

void TGridPictBtn::SetCellIndexA(int column) {
  current_.setX(std::clamp(column, 0, cols_ - 1));
  update();
}

void TGridPictBtn::SetCellIndexB(int row) {
  current_.setY(std::clamp(row, 0, rows_ - 1));
  update();
}

QRect TGridPictBtn::CellRect(int column, int row) const {
  const int left = Edge(width(), cols_, column), right = Edge(width(), cols_, column + 1);
  const int top = Edge(height(), rows_, row), bottom = Edge(height(), rows_, row + 1);
  return QRect(left, top, right - left, bottom - top);
}

QRect TGridPictBtn::PictureRect(int column, int row) const {
  const int left = Edge(picture_.width(), cols_, column), right = Edge(picture_.width(), cols_, column + 1);
  const int top = Edge(picture_.height(), rows_, row), bottom = Edge(picture_.height(), rows_, row + 1);
  return QRect(left, top, right - left, bottom - top);
}

QPoint TGridPictBtn::CellAt(QPoint pos) const {
  if (!rect().contains(pos)) return kNoCell;
  for (int r = 0; r < rows_; ++r)
    for (int c = 0; c < cols_; ++c)
      if (CellRect(c, r).contains(pos)) return QPoint(c, r);
  return kNoCell;
}

QString TGridPictBtn::CellText(int column, int row) const {
  const int index = column + row * cols_;
  // Fewer captions than cells leaves the rest without one.
  return index >= 0 && index < items_.size() ? items_[index] : QString();
}

int TGridPictBtn::TextFlags(TDraeTextFormat format) {
  int flags = 0;
  if (format & dtCENTER)
    flags |= Qt::AlignHCenter;
  else if (format & dtRIGHT)
    flags |= Qt::AlignRight;
  else
    flags |= Qt::AlignLeft;
  if (format & dtVCENTER)
    flags |= Qt::AlignVCenter;
  else if (format & dtBOTTOM)
    flags |= Qt::AlignBottom;
  else
    flags |= Qt::AlignTop;
  if (format & dtSINGLELINE) flags |= Qt::TextSingleLine;
  if ((format & dtWORDBREAK) && !(format & dtSINGLELINE)) flags |= Qt::TextWordWrap;
  if (format & dtEXPANDTABS) flags |= Qt::TextExpandTabs;
  if (!(format & dtNOPREFIX)) flags |= Qt::TextShowMnemonic;
  if (format & dtNOCLIP) flags |= Qt::TextDontClip;
  // Right-to-left reading keeps the alignment asked for.
  if (format & dtRTLREADING) flags |= Qt::TextForceRightToLeft | Qt::AlignAbsolute;
  return flags;
}

namespace {

// A line cut to width: at its end, or in its middle keeping what follows
// the last backslash of a path.
QString Elided(const QFontMetrics& metrics, const QString& line, int width, bool path, int flags) {
  if (metrics.horizontalAdvance(line) <= width) return line;
  if (!path) return metrics.elidedText(line, Qt::ElideRight, width, flags);
  const qsizetype slash = line.lastIndexOf(QLatin1Char('\\'));
  if (slash <= 0) return metrics.elidedText(line, Qt::ElideMiddle, width, flags);
  const QString tail = line.mid(slash);
  const int room = width - metrics.horizontalAdvance(tail);
  const QString head = metrics.elidedText(line.left(slash), Qt::ElideRight, std::max(room, 0), flags);
  // Not even the file name fits: it is cut at its end.
  if (room <= 0 || head.isEmpty()) return metrics.elidedText(tail, Qt::ElideRight, width, flags);
  return head + tail;
}

}  // namespace

TGridPictBtn::TextLayout TGridPictBtn::LayoutText(const QFont& font, const QRect& rect, TDraeTextFormat format,
                                                  const QString& text) {
  TextLayout layout;
  const QFontMetrics metrics(font);
  if (format & dtCALCRECT) return layout;
  const int flags = TextFlags(format) & (Qt::TextShowMnemonic | Qt::TextExpandTabs);
  layout.lineHeight = metrics.height() + ((format & dtEXTERNALLEADING) ? std::max(0, metrics.leading()) : 0);
  if (format & dtSINGLELINE) {
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(QLatin1Char('\r'), QLatin1Char(' '));
    layout.lines << line.replace(QLatin1Char('\n'), QLatin1Char(' '));
  } else {
    QString all = text;
    all.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QString& paragraph : all.split(QLatin1Char('\n'))) {
      if (!(format & dtWORDBREAK) || paragraph.isEmpty()) {
        layout.lines << paragraph;
        continue;
      }
      // Broken between words to the width, as Qt breaks them.
      QTextLayout words(paragraph, font);
      QTextOption option;
      option.setWrapMode(QTextOption::WordWrap);
      words.setTextOption(option);
      words.beginLayout();
      for (QTextLine line = words.createLine(); line.isValid(); line = words.createLine()) {
        line.setLineWidth(rect.width());
        layout.lines << paragraph.mid(line.textStart(), line.textLength()).trimmed();
      }
      words.endLayout();
    }
  }
  if (format & (dtEND_ELLIPSIS | dtPATH_ELLIPSIS))
    for (QString& line : layout.lines) line = Elided(metrics, line, rect.width(), format & dtPATH_ELLIPSIS, flags);
  // An edit control shows whole lines only.
  if ((format & dtEDITCONTROL) && !(format & dtSINGLELINE)) {
    const qsizetype whole = std::max(0, rect.height() / std::max(1, layout.lineHeight));
    if (layout.lines.size() > whole) layout.lines.resize(whole);
  }
  const int height = int(layout.lines.size()) * layout.lineHeight;
  layout.top = rect.top();
  if (format & dtVCENTER)
    layout.top += (rect.height() - height) / 2;
  else if (format & dtBOTTOM)
    layout.top += rect.height() - height;
  return layout;
}

void TGridPictBtn::DrawText(QPainter& painter, const QRect& rect, TDraeTextFormat format, const QString& text) {
  const int flags = TextFlags(format);
  if (!(format & (dtCALCRECT | dtEND_ELLIPSIS | dtPATH_ELLIPSIS | dtEXTERNALLEADING | dtEDITCONTROL))) {
    painter.drawText(rect, flags, text);
    return;
  }
  const QFontMetrics metrics(painter.font());
  const TextLayout layout = LayoutText(painter.font(), rect, format, text);
  // Each line in its own row, aligned across as asked.
  const int across = (flags & ~(Qt::AlignVertical_Mask | Qt::TextWordWrap)) | Qt::AlignTop | Qt::TextSingleLine;
  for (qsizetype i = 0; i < layout.lines.size(); ++i)
    painter.drawText(QRect(rect.left(), layout.top + int(i) * layout.lineHeight, rect.width(), metrics.height()),
                     across, layout.lines[i]);
}

void TGridPictBtn::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  for (int r = 0; r < rows_; ++r)
    for (int c = 0; c < cols_; ++c)
      if (event->rect().intersects(CellRect(c, r))) PaintCell(painter, c, r);
}

void TGridPictBtn::PaintCell(QPainter& painter, int column, int row) {
  const QRect cell = CellRect(column, row);
  if (cell.isEmpty()) return;
  const QPoint here(column, row);
  const bool pressed = here == down_;
  const bool over = here == over_;
  const bool current = here == current_;
  painter.save();
  painter.setClipRect(cell);
  painter.fillRect(cell, ToQColor(GetColor()));
  if (!picture_.isNull()) {
    // Pieces stretch without smoothing; a pressed piece sinks one pixel.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(pressed ? cell.translated(1, 1) : cell, picture_, PictureRect(column, row));
  }

  const bool focused = hasFocus();
  if (!flat_ || over || pressed || current || (focused && focusedVisibleText_)) {
    TCanvas canvas(painter);
    TRect frame = TRect::FromQRect(cell);
    const TColor pen = current ? focusColor_ : kFrameGrey;
    if (pressed)
      Frame3D(canvas, frame, pen, clBtnHighlight, 1);
    else
      Frame3D(canvas, frame, clBtnHighlight, pen, 1);
  }

  if (itemVisible_ || (focusedVisibleText_ && focused)) {
    const TDCState state = pressed ? dcsDown : over ? dcsOver : dcsNormal;
    QString text = CellText(column, row);
    TColor textColor = state == dcsDown ? flashColor_ : state == dcsOver ? overColor_ : GetFont().Color;
    if (onDrawCell_) onDrawCell_(this, column, row, column + row * cols_, state, text, textColor);
    if (!text.isEmpty()) {
      painter.setFont(font());
      if (drawText3D_) {
        painter.setPen(ToQColor(BlendColor(textColor, clWhite, 128)));
        for (int dy = -1; dy <= 0; ++dy)
          for (int dx = -1; dx <= 0; ++dx) DrawText(painter, cell.translated(dx, dy), drawTextFormat_, text);
        painter.setPen(Qt::black);
        for (int dy = 0; dy <= 1; ++dy)
          for (int dx = 0; dx <= 1; ++dx) DrawText(painter, cell.translated(dx, dy), drawTextFormat_, text);
      }
      painter.setPen(ToQColor(textColor));
      DrawText(painter, cell, drawTextFormat_, text);
    }
  }
  painter.restore();
}

void TGridPictBtn::Press(QPoint pos, bool doubleClick) {
  const QPoint cell = CellAt(pos);
  if (cell == kNoCell) return;
  down_ = cell;
  current_ = cell;
  doubleClick_ = doubleClick;
  update();
}

void TGridPictBtn::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) Press(event->position().toPoint(), false);
  QWidget::mousePressEvent(event);
}

void TGridPictBtn::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) Press(event->position().toPoint(), true);
}

void TGridPictBtn::mouseMoveEvent(QMouseEvent* event) {
  SetOver(CellAt(event->position().toPoint()));
  QWidget::mouseMoveEvent(event);
}

void TGridPictBtn::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || down_ == kNoCell) return;
  const QPoint pressed = down_;
  const bool doubleClick = doubleClick_;
  down_ = kNoCell;
  doubleClick_ = false;
  update();
  if (CellAt(event->position().toPoint()) != pressed) return;
  const int num = pressed.x() + pressed.y() * cols_;
  if (doubleClick)
    emit OnCellDblClick(pressed.x(), pressed.y(), num);
  else
    emit OnCellClick(pressed.x(), pressed.y(), num);
}

void TGridPictBtn::SetOver(QPoint cell) {
  if (cell == over_) return;
  over_ = cell;
  update();
}

void TGridPictBtn::leaveEvent(QEvent* event) {
  SetOver(kNoCell);
  QWidget::leaveEvent(event);
}

void TGridPictBtn::focusInEvent(QFocusEvent* event) {
  update();
  QWidget::focusInEvent(event);
}

void TGridPictBtn::focusOutEvent(QFocusEvent* event) {
  update();
  QWidget::focusOutEvent(event);
}

void TGridPictBtn::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) font_.WidgetFontChanged();
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange) color_.ParentChanged();
}

}  // namespace qv
