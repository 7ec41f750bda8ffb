// Draws the bitmaps of the resource module "image.dll" and writes them as a
// C++ source holding each one as a bitmap file in the resource table.
// Cells are drawn without antialiasing on magenta, the colour the image-list
// loader makes transparent, so no blended fringe is left around a shape.
//   qv_image_art <output.cpp> [preview folder]
#include "core/ui/Pictures.h"
#include "image/QkDIB.h"
#include "image/QkResourceModule.h"

#include "PictogramArt.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

const QColor kMagenta(255, 0, 255);
const QColor kInk(40, 40, 40);

using CellPainter = std::function<void(QPainter&, int index, QRect cell)>;

QImage Sheet(int columns, int rows, int w, int h, int count, const CellPainter& paint) {
  QImage sheet(columns * w, rows * h, QImage::Format_RGB32);
  sheet.fill(kMagenta);
  QPainter p(&sheet);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setRenderHint(QPainter::TextAntialiasing, false);
  for (int i = 0; i < count; ++i) {
    const QRect cell((i % columns) * w, (i / columns) * h, w, h);
    p.save();
    p.setClipRect(cell);
    paint(p, i, cell);
    p.restore();
  }
  return sheet;
}

QFont PixelFont(int pixels, bool bold = true) {
  QFont f(QStringLiteral("IPAPGothic"));
  f.setPixelSize(pixels);
  f.setBold(bold);
  f.setStyleStrategy(QFont::NoAntialias);
  return f;
}

void Text(QPainter& p, const QRect& r, const QString& s, const QColor& c, int pixels) {
  p.setFont(PixelFont(pixels));
  p.setPen(c);
  p.drawText(r, Qt::AlignCenter, s);
}

// ---- small shapes, in a 16 x 16 cell (r is the cell) --------------------

void Envelope(QPainter& p, QRect r, const QColor& body, bool open = false) {
  const QRect e(r.x() + 1, r.y() + 4, 13, 9);
  p.setPen(kInk);
  p.setBrush(body);
  p.drawRect(e);
  if (open) {
    p.drawPolygon(QPolygon({e.topLeft(), QPoint(e.center().x(), e.top() - 4), e.topRight()}));
    p.drawLine(e.topLeft(), QPoint(e.center().x(), e.top() + 5));
    p.drawLine(e.topRight(), QPoint(e.center().x(), e.top() + 5));
  } else {
    p.drawLine(e.topLeft(), QPoint(e.center().x(), e.top() + 5));
    p.drawLine(QPoint(e.center().x(), e.top() + 5), e.topRight());
  }
}

void Arrow(QPainter& p, QPoint from, QPoint to, const QColor& c) {
  p.setPen(QPen(c, 2));
  p.drawLine(from, to);
  const QPointF d = QPointF(to - from) / std::max(1.0, std::hypot(double(to.x() - from.x()), double(to.y() - from.y())));
  const QPointF n(-d.y(), d.x());
  p.setPen(c);
  p.setBrush(c);
  const QPointF tip = to + d * 1.5;
  p.drawPolygon(QPolygonF({tip, tip - d * 4 + n * 3, tip - d * 4 - n * 3}));
}

void Folder(QPainter& p, QRect r, const QColor& c) {
  p.setPen(kInk);
  p.setBrush(c.darker(115));
  p.drawRect(r.x() + 1, r.y() + 3, 6, 3);
  p.setBrush(c);
  p.drawRect(r.x() + 1, r.y() + 5, 13, 9);
}

void Page(QPainter& p, QRect r, int dx = 0, int dy = 0) {
  p.setPen(kInk);
  p.setBrush(Qt::white);
  p.drawRect(r.x() + 3 + dx, r.y() + 1 + dy, 9, 12);
  for (int y = 4; y < 12; y += 2) p.drawLine(r.x() + 5 + dx, r.y() + y + dy, r.x() + 10 + dx, r.y() + y + dy);
}

void ClipIcon(QPainter& p, int i, QRect r) {
  const int x = r.x(), y = r.y();
  const QPoint c = r.center();
  switch (i) {
    case 0:  // data transfer
      Arrow(p, {x + 4, y + 13}, {x + 4, y + 3}, QColor(0, 120, 200));
      Arrow(p, {x + 11, y + 2}, {x + 11, y + 12}, QColor(0, 160, 60));
      break;
    case 1:  // sent
      Envelope(p, r, QColor(255, 240, 200));
      Arrow(p, {x + 6, y + 3}, {x + 13, y + 3}, QColor(0, 150, 0));
      break;
    case 2:  // received
      Envelope(p, r, QColor(255, 240, 200));
      Arrow(p, {x + 13, y + 3}, {x + 6, y + 3}, QColor(0, 90, 200));
      break;
    case 3:  // inbox tray
      p.setPen(kInk);
      p.setBrush(QColor(120, 170, 230));
      p.drawPolygon(QPolygon({{x + 1, y + 8}, {x + 4, y + 8}, {x + 5, y + 10}, {x + 10, y + 10}, {x + 11, y + 8},
                              {x + 14, y + 8}, {x + 14, y + 14}, {x + 1, y + 14}}));
      Arrow(p, {x + 7, y + 1}, {x + 7, y + 6}, QColor(0, 90, 200));
      break;
    case 4:  // trash
      p.setPen(kInk);
      p.setBrush(QColor(180, 180, 190));
      p.drawRect(x + 3, y + 4, 9, 10);
      p.drawLine(x + 2, y + 3, x + 13, y + 3);
      p.drawRect(x + 6, y + 1, 3, 2);
      for (int k = 5; k <= 10; k += 2) p.drawLine(x + k, y + 6, x + k, y + 12);
      break;
    case 5:  // new mail
      Envelope(p, r, Qt::white);
      p.setPen(QColor(230, 170, 0));
      p.drawLine(x + 12, y + 0, x + 12, y + 6);
      p.drawLine(x + 9, y + 3, x + 15, y + 3);
      break;
    case 6:  // reply
      Envelope(p, r, QColor(255, 240, 200));
      Arrow(p, {x + 14, y + 3}, {x + 7, y + 3}, QColor(200, 80, 0));
      break;
    case 7:  // reply to all
      Envelope(p, r, QColor(255, 240, 200));
      Arrow(p, {x + 14, y + 2}, {x + 8, y + 2}, QColor(200, 80, 0));
      Arrow(p, {x + 11, y + 5}, {x + 5, y + 5}, QColor(200, 80, 0));
      break;
    case 8:  // forward
      Envelope(p, r, QColor(255, 240, 200));
      Arrow(p, {x + 6, y + 3}, {x + 13, y + 3}, QColor(0, 90, 200));
      break;
    case 9:  // open mail
      Envelope(p, r, QColor(255, 250, 230), true);
      break;
    case 10:  // send and receive
      Envelope(p, r, QColor(255, 240, 200));
      Arrow(p, {x + 2, y + 2}, {x + 7, y + 2}, QColor(0, 150, 0));
      Arrow(p, {x + 14, y + 2}, {x + 9, y + 2}, QColor(0, 90, 200));
      break;
    case 11:  // phone book
      p.setPen(kInk);
      p.setBrush(QColor(200, 80, 60));
      p.drawRect(x + 3, y + 1, 10, 13);
      p.setBrush(Qt::white);
      p.drawRect(x + 5, y + 3, 6, 3);
      break;
    case 12:  // edit
      p.setPen(kInk);
      p.setBrush(QColor(250, 200, 60));
      p.drawPolygon(QPolygon({{x + 2, y + 13}, {x + 3, y + 10}, {x + 11, y + 2}, {x + 13, y + 4}, {x + 5, y + 12}}));
      p.setBrush(QColor(240, 140, 140));
      p.drawPolygon(QPolygon({{x + 11, y + 2}, {x + 12, y + 1}, {x + 14, y + 3}, {x + 13, y + 4}}));
      break;
    case 13:  // copy
      Page(p, r, -2, 0);
      Page(p, r, 2, 2);
      break;
    case 14:  // cut
      p.setPen(QPen(kInk, 1));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(x + 2, y + 10, 4, 4);
      p.drawEllipse(x + 9, y + 10, 4, 4);
      p.drawLine(x + 5, y + 10, x + 10, y + 1);
      p.drawLine(x + 10, y + 10, x + 5, y + 1);
      break;
    case 15:  // paste
      p.setPen(kInk);
      p.setBrush(QColor(190, 140, 80));
      p.drawRect(x + 2, y + 2, 11, 12);
      Page(p, r, 2, 2);
      break;
    case 16:  // search
      p.setPen(QPen(kInk, 2));
      p.setBrush(QColor(200, 230, 255));
      p.drawEllipse(x + 2, y + 2, 8, 8);
      p.drawLine(x + 10, y + 10, x + 14, y + 14);
      break;
    case 17:  // print
      p.setPen(kInk);
      p.setBrush(Qt::white);
      p.drawRect(x + 4, y + 1, 7, 5);
      p.setBrush(QColor(150, 150, 160));
      p.drawRect(x + 1, y + 6, 13, 6);
      p.setBrush(Qt::white);
      p.drawRect(x + 4, y + 10, 7, 4);
      break;
    case 18:  // attachment
      p.setPen(QPen(QColor(90, 90, 100), 1));
      p.setBrush(Qt::NoBrush);
      p.drawRoundedRect(x + 5, y + 1, 5, 13, 2, 2);
      p.drawLine(x + 7, y + 4, x + 7, y + 11);
      break;
    case 19:    // protect
    case 20: {  // unprotect
      p.setPen(kInk);
      p.setBrush(Qt::NoBrush);
      p.drawArc(x + 4, y + 1, 7, 9, 0, i == 19 ? 180 * 16 : 150 * 16);
      p.setBrush(QColor(230, 180, 40));
      p.drawRect(x + 3, y + 7, 9, 7);
      break;
    }
    case 21:  // select all
      p.setPen(QPen(QColor(0, 90, 200), 1, Qt::DotLine));
      p.setBrush(QColor(210, 230, 255));
      p.drawRect(x + 1, y + 2, 13, 11);
      break;
    case 22:  // save
      p.setPen(kInk);
      p.setBrush(QColor(60, 90, 170));
      p.drawRect(x + 1, y + 1, 13, 13);
      p.setBrush(Qt::white);
      p.drawRect(x + 4, y + 1, 7, 5);
      p.drawRect(x + 3, y + 9, 9, 5);
      break;
    case 23:  // open folder
      Folder(p, r, QColor(250, 210, 90));
      p.setBrush(QColor(255, 235, 150));
      p.drawPolygon(QPolygon({{x + 3, y + 8}, {x + 15, y + 8}, {x + 13, y + 14}, {x + 1, y + 14}}));
      break;
    case 24:  // refresh
      p.setPen(QPen(QColor(0, 140, 60), 2));
      p.setBrush(Qt::NoBrush);
      p.drawArc(x + 2, y + 2, 11, 11, 30 * 16, 280 * 16);
      Arrow(p, {x + 11, y + 1}, {x + 13, y + 4}, QColor(0, 140, 60));
      break;
    case 25:  // help
      p.setPen(kInk);
      p.setBrush(QColor(60, 130, 220));
      p.drawEllipse(x + 1, y + 1, 13, 13);
      Text(p, r, QStringLiteral("?"), Qt::white, 12);
      break;
    case 26:  // information
      p.setPen(kInk);
      p.setBrush(QColor(40, 160, 90));
      p.drawEllipse(x + 1, y + 1, 13, 13);
      Text(p, r, QStringLiteral("i"), Qt::white, 12);
      break;
    case 27:  // telephone
      p.setPen(kInk);
      p.setBrush(QColor(60, 60, 70));
      p.drawRect(x + 4, y + 1, 7, 14);
      p.setBrush(QColor(150, 220, 150));
      p.drawRect(x + 5, y + 3, 5, 4);
      break;
    case 28:  // bookmark
      p.setPen(kInk);
      p.setBrush(QColor(220, 60, 60));
      p.drawPolygon(QPolygon({{x + 4, y + 1}, {x + 11, y + 1}, {x + 11, y + 14}, {x + 7, y + 10}, {x + 4, y + 14}}));
      break;
    case 29: {  // send queue: a mail waiting for its time
      Envelope(p, QRect(x, y + 2, 16, 14), QColor(255, 240, 200));
      p.setPen(kInk);
      p.setBrush(Qt::white);
      p.drawEllipse(x + 8, y + 0, 7, 7);
      p.drawLine(x + 11, y + 1, x + 11, y + 3);
      p.drawLine(x + 11, y + 3, x + 13, y + 3);
      break;
    }
    case 30:  // ringtone
      p.setPen(QPen(QColor(120, 40, 160), 2));
      p.drawLine(x + 11, y + 2, x + 11, y + 11);
      p.drawLine(x + 11, y + 2, x + 14, y + 4);
      p.setBrush(QColor(120, 40, 160));
      p.setPen(QColor(120, 40, 160));
      p.drawEllipse(x + 5, y + 9, 6, 5);
      break;
    case 31:  // picture
      p.setPen(kInk);
      p.setBrush(QColor(170, 220, 255));
      p.drawRect(x + 1, y + 2, 13, 11);
      p.setBrush(QColor(60, 160, 60));
      p.drawPolygon(QPolygon({{x + 2, y + 12}, {x + 6, y + 6}, {x + 9, y + 10}, {x + 11, y + 8}, {x + 13, y + 12}}));
      break;
    case 32: {  // theme
      p.setPen(kInk);
      p.setBrush(QColor(240, 220, 180));
      p.drawEllipse(x + 1, y + 2, 13, 11);
      const QColor dots[] = {Qt::red, Qt::blue, QColor(0, 160, 0), QColor(250, 200, 0)};
      for (int k = 0; k < 4; ++k) {
        p.setBrush(dots[k]);
        p.drawRect(x + 3 + k * 3, y + 5 + (k % 2) * 3, 2, 2);
      }
      break;
    }
    case 33:  // online sign-up
      p.setPen(kInk);
      p.setBrush(QColor(80, 150, 230));
      p.drawEllipse(x + 1, y + 1, 13, 13);
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(x + 5, y + 1, 5, 13);
      p.drawLine(x + 1, y + 7, x + 14, y + 7);
      break;
    case 34:  // close
      p.setPen(QPen(QColor(200, 40, 40), 3));
      p.drawLine(x + 3, y + 3, x + 12, y + 12);
      p.drawLine(x + 12, y + 3, x + 3, y + 12);
      break;
    case 35:  // user folder
      Folder(p, r, QColor(250, 210, 90));
      break;
    case 36:  // new folder
      Folder(p, r, QColor(250, 210, 90));
      p.setPen(QPen(QColor(0, 150, 0), 2));
      p.drawLine(x + 11, y + 8, x + 11, y + 14);
      p.drawLine(x + 8, y + 11, x + 14, y + 11);
      break;
    case 37:  // settings: chosen
      p.setPen(QPen(QColor(0, 150, 60), 3));
      p.drawLine(x + 2, y + 8, x + 6, y + 12);
      p.drawLine(x + 6, y + 12, x + 13, y + 3);
      break;
    case 38:  // exit
      p.setPen(kInk);
      p.setBrush(QColor(160, 110, 60));
      p.drawRect(x + 3, y + 1, 9, 14);
      p.setBrush(QColor(250, 220, 80));
      p.drawRect(x + 9, y + 8, 1, 1);
      break;
    default:  // 39: add
      p.setPen(kInk);
      p.setBrush(QColor(40, 170, 70));
      p.drawEllipse(x + 1, y + 1, 13, 13);
      p.setPen(QPen(Qt::white, 2));
      p.drawLine(c.x(), y + 4, c.x(), y + 11);
      p.drawLine(x + 4, c.y(), x + 11, c.y());
  }
}

// 0-15: mail of kind group i / 4 (direct mail, e-mail, K-mail, breeze mail),
// with bit 1 outgoing and bit 0 unread; 16 unread, 17 read, 18 attachment,
// 19 protected.
void MailIcon(QPainter& p, int i, QRect r) {
  const int x = r.x(), y = r.y();
  if (i >= 16) {
    ClipIcon(p, i == 16 ? 5 : i == 17 ? 9 : i == 18 ? 18 : 19, r);
    return;
  }
  static const QColor groups[] = {QColor(250, 170, 60), QColor(90, 150, 240), QColor(90, 190, 90), QColor(190, 110, 220)};
  const QColor body = groups[i / 4];
  const bool outgoing = i & 2, unread = i & 1;
  Envelope(p, r, unread ? body : body.lighter(140), !unread && !outgoing);
  if (outgoing) Arrow(p, {x + 7, y + 2}, {x + 13, y + 2}, QColor(0, 130, 0));
  if (unread && !outgoing) {
    p.setPen(kInk);
    p.setBrush(QColor(230, 40, 40));
    p.drawEllipse(x + 11, y + 0, 4, 4);
  }
}

// Pictograms: each cell is its own drawing, pixel by pixel (PictogramArt.h).
QColor PictogramColour(char c) {
  switch (c) {
    case 'K': return kInk;
    case 'W': return QColor(255, 255, 255);
    case 'S': return QColor(192, 192, 192);
    case 's': return QColor(120, 120, 128);
    case 'R': return QColor(230, 30, 40);
    case 'r': return QColor(150, 20, 30);
    case 'P': return QColor(250, 150, 185);
    case 'O': return QColor(250, 140, 20);
    case 'Y': return QColor(250, 215, 30);
    case 'y': return QColor(200, 150, 0);
    case 'G': return QColor(40, 170, 60);
    case 'g': return QColor(20, 100, 30);
    case 'B': return QColor(40, 100, 230);
    case 'b': return QColor(20, 40, 120);
    case 'C': return QColor(120, 200, 250);
    case 'N': return QColor(150, 90, 40);
    case 'n': return QColor(90, 50, 20);
    case 'L': return QColor(250, 210, 160);
    case 'V': return QColor(140, 60, 190);
    default: return kMagenta;
  }
}

constexpr bool EveryRowTwelve() {
  for (const PictogramArt& art : kPictogramArt)
    for (const char* row : art.rows)
      if (std::char_traits<char>::length(row) != 12) return false;
  return true;
}
static_assert(std::size(kPictogramArt) == 95, "one drawing for each line of the pictograph table");
static_assert(EveryRowTwelve(), "every pictogram is 12 x 12");

void Pictogram(QPainter& p, int i, QRect r) {
  const PictogramArt& art = kPictogramArt[i];
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) {
      const char c = art.rows[y][x];
      if (c != '.') p.fillRect(r.x() + x, r.y() + y, 1, 1, PictogramColour(c));
    }
}

// 決定, 通話, 切断, 接続, 戻る, 進む, 終了.
void SignupButton(QPainter& p, int i, QRect r) {
  const int x = r.x(), y = r.y();
  p.setPen(kInk);
  p.setBrush(QColor(235, 235, 240));
  p.drawRoundedRect(x + 1, y + 1, 21, 21, 5, 5);
  switch (i) {
    case 0:
      p.setPen(QPen(QColor(0, 150, 60), 3));
      p.drawLine(x + 6, y + 12, x + 10, y + 16);
      p.drawLine(x + 10, y + 16, x + 17, y + 6);
      break;
    case 1:
    case 2: {
      const QColor c = i == 1 ? QColor(20, 160, 60) : QColor(210, 40, 40);
      QPainterPath handset;
      handset.moveTo(x + 5, y + 9);
      handset.cubicTo(x + 8, y + 5, x + 15, y + 5, x + 18, y + 9);
      p.setPen(QPen(c, 3));
      p.setBrush(Qt::NoBrush);
      p.drawPath(i == 1 ? handset : handset.translated(0, 4));
      p.setBrush(c);
      p.drawRect(x + 4, y + (i == 1 ? 10 : 14), 3, 3);
      p.drawRect(x + 16, y + (i == 1 ? 10 : 14), 3, 3);
      break;
    }
    case 3:
      p.setPen(kInk);
      p.setBrush(QColor(250, 200, 60));
      p.drawRect(x + 7, y + 9, 9, 7);
      p.drawLine(x + 9, y + 5, x + 9, y + 9);
      p.drawLine(x + 14, y + 5, x + 14, y + 9);
      p.drawLine(x + 11, y + 16, x + 11, y + 19);
      break;
    case 4: Arrow(p, {x + 17, y + 11}, {x + 6, y + 11}, QColor(40, 90, 200)); break;
    case 5: Arrow(p, {x + 6, y + 11}, {x + 17, y + 11}, QColor(40, 90, 200)); break;
    default:
      p.setPen(QPen(QColor(200, 40, 40), 2));
      p.setBrush(Qt::NoBrush);
      p.drawArc(x + 5, y + 6, 13, 13, 120 * 16, 300 * 16);
      p.drawLine(x + 11, y + 4, x + 11, y + 11);
  }
}

void NumberKey(QPainter& p, int i, QRect r) {
  static const char* const keys[12] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "#"};
  p.setPen(kInk);
  p.setBrush(QColor(245, 245, 250));
  p.drawRoundedRect(r.x(), r.y(), 15, 15, 4, 4);
  if (i != 10) return Text(p, r, QString::fromLatin1(keys[i]), kInk, 12);
  // The font's asterisk is small and high; draw one of the digits' size.
  const QPoint c = r.center();
  p.setPen(QPen(kInk, 2));
  p.drawLine(c.x(), c.y() - 4, c.x(), c.y() + 4);
  p.drawLine(c.x() - 4, c.y() - 2, c.x() + 4, c.y() + 2);
  p.drawLine(c.x() - 4, c.y() + 2, c.x() + 4, c.y() - 2);
}

std::string BitmapFile(const QImage& image) {
  qv::TQkDIB dib;
  dib.Assign(image);
  std::ostringstream out(std::ios::binary);
  dib.SaveToStream(out);
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s output.cpp [preview folder]\n", argv[0]);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  using namespace qv;
  const struct {
    const char* name;
    QImage sheet;
  } sheets[] = {
      {"CLIPICON", Sheet(8, 5, kClipIconWidth, kClipIconHeight, 40, ClipIcon)},
      {"MAILICON", Sheet(10, 2, kMailIconWidth, kMailIconHeight, 20, MailIcon)},
      // 19 x 5 cells: exactly one image per line of the table.
      {"PICTEXT", Sheet(19, 5, kPicTextWidth, kPicTextHeight, int(std::size(kPictogramArt)), Pictogram)},
      {"BUTTON", Sheet(7, 1, kButtonWidth, kButtonHeight, 7, SignupButton)},
      {"NUMBER", Sheet(12, 1, kNumberWidth, kNumberHeight, 12, NumberKey)},
  };
  std::ostringstream src;
  src << "// Generated by qv_image_art from tools/assets/ImageArt.cpp; do not edit.\n"
         "#include \"image/QkResourceModule.h\"\n\nnamespace {\n";
  for (const auto& s : sheets) {
    const std::string bytes = BitmapFile(s.sheet);
    src << "const unsigned char k" << s.name << "[" << bytes.size() << "] = {";
    for (size_t i = 0; i < bytes.size(); ++i) src << (i % 24 ? "" : "\n ") << int(uint8_t(bytes[i])) << ",";
    src << "};\n";
    if (argc > 2) s.sheet.save(QString::fromLocal8Bit(argv[2]) + "/" + s.name + ".png");
  }
  src << "}  // namespace\n\nextern \"C\" __attribute__((visibility(\"default\"))) const qv::TQkResourceEntry "
      << kResourceTableSymbol << "[] = {\n";
  for (const auto& s : sheets)
    src << "    {\"BITMAP\", \"" << s.name << "\", k" << s.name << ", sizeof k" << s.name << "},\n";
  src << "    {nullptr, nullptr, nullptr, 0},\n};\n";
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << src.str();
  return out ? 0 : 1;
}
