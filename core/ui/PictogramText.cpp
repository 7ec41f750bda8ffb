#include "core/ui/PictogramText.h"

#include "controls/ImageList.h"
#include "core/ui/QtText.h"
#include "platform/Cp932.h"

#include <QPainter>

namespace qv {

PictogramText::PictogramText() : metrics_(font_) { SetFont(QFont()); }

void PictogramText::SetTable(const std::vector<std::string>& lines) {
  codes_.clear();
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t eq = lines[i].find('=');
    if (eq == std::string::npos || lines[i].size() - eq - 1 != 2 || !cp932::IsLeadByte(lines[i][eq + 1])) continue;
    const unsigned code = (unsigned{static_cast<unsigned char>(lines[i][eq + 1])} << 8) |
                          static_cast<unsigned char>(lines[i][eq + 2]);
    codes_.try_emplace(code, static_cast<int>(i));
  }
}

void PictogramText::SetFont(const QFont& font) {
  font_ = font;
  metrics_ = QFontMetricsF(font_);
  const QFontMetrics whole(font_);
  lineHeight_ = whole.height();
  pictogramWidth_ = whole.horizontalAdvance(QStringLiteral("00"));
  widths_.clear();
}

int PictogramText::PictogramIndex(unsigned code) const {
  if (!images_) return -1;
  const auto it = codes_.find(code);
  return it != codes_.end() && it->second < images_->Count() ? it->second : -1;
}

int PictogramText::PictogramAt(std::string_view text, size_t at) const {
  if (at + 1 >= text.size() || !cp932::IsLeadByte(text[at])) return -1;
  return PictogramIndex((unsigned{static_cast<unsigned char>(text[at])} << 8) |
                        static_cast<unsigned char>(text[at + 1]));
}

PictogramText::Decoded PictogramText::Decode(std::string_view text) const {
  Decoded d;
  d.offsets.reserve(text.size() + 1);
  for (size_t i = 0; i < text.size(); i += cp932::CharLength(text, i)) d.offsets.push_back(i);
  d.offsets.push_back(text.size());
  d.chars = ToQString(text);
  // Every CP932 character is one UTF-16 unit; should the codec ever differ,
  // each character is decoded alone.
  if (static_cast<size_t>(d.chars.size()) != d.offsets.size() - 1) {
    d.chars.clear();
    for (size_t k = 0; k + 1 < d.offsets.size(); ++k) {
      const QString one = ToQString(text.substr(d.offsets[k], d.offsets[k + 1] - d.offsets[k]));
      d.chars += one.isEmpty() ? QChar(0xFFFD) : one.front();
    }
  }
  return d;
}

qreal PictogramText::CharWidth(QChar c) const {
  auto it = widths_.constFind(c.unicode());
  if (it != widths_.constEnd()) return *it;
  const qreal w = metrics_.horizontalAdvance(c);
  widths_.insert(c.unicode(), w);
  return w;
}

std::vector<PictogramText::Row> PictogramText::Wrap(std::string_view text, int width) const {
  std::vector<Row> rows;
  const Decoded d = Decode(text);
  const size_t count = d.offsets.size() - 1;
  size_t rowStart = 0;      // byte offset
  size_t breakAt = 0;       // where the row may end, 0 for nowhere yet
  // Widths add up as the text is drawn, in fractions of a pixel.
  qreal x = 0, xAtBreak = 0;
  for (size_t k = 0; k < count; ++k) {
    const size_t at = d.offsets[k];
    const size_t len = d.offsets[k + 1] - at;
    const char byte = text[at];
    if (byte == '\r') {
      rows.push_back({rowStart, at});
      size_t next = at + 1;
      if (k + 1 < count && text[next] == '\n') {
        ++k;
        ++next;
      }
      rowStart = next;
      breakAt = 0;
      x = xAtBreak = 0;
      continue;
    }
    const bool pictogram = PictogramAt(text, at) >= 0;
    const qreal w = pictogram ? pictogramWidth_ : CharWidth(d.chars[static_cast<qsizetype>(k)]);
    const bool blank = byte == ' ';
    // Blanks may hang past the edge; anything else that does not fit starts a row.
    if (!blank && x + w > width && at > rowStart) {
      if (len == 1 && !pictogram && breakAt > rowStart) {
        rows.push_back({rowStart, breakAt});
        rowStart = breakAt;
        x -= xAtBreak;
      } else {
        rows.push_back({rowStart, at});
        rowStart = at;
        x = 0;
      }
      breakAt = 0;
      xAtBreak = 0;
    }
    if (len == 2 || pictogram) {
      // Before a double-byte character is a place to break as well.
      if (at > rowStart) {
        breakAt = at;
        xAtBreak = x;
      }
    }
    x += w;
    if (blank || len == 2 || pictogram) {
      breakAt = at + len;
      xAtBreak = x;
    }
  }
  rows.push_back({rowStart, text.size()});
  return rows;
}

int PictogramText::Height(std::string_view text, int width) const {
  return static_cast<int>(Wrap(text, width).size()) * lineHeight_;
}

void PictogramText::Draw(QPainter& painter, const QRect& rect, std::string_view text, const QColor& colour,
                         bool underline) const {
  painter.save();
  QFont font = font_;
  font.setUnderline(underline);
  painter.setFont(font);
  painter.setPen(colour);
  const qreal ascent = metrics_.ascent();
  int top = rect.top();
  for (const Row& row : Wrap(text, rect.width())) {
    if (top >= rect.bottom() + 1) break;
    const std::string_view part = text.substr(row.begin, row.end - row.begin);
    const Decoded d = Decode(part);
    qreal x = rect.left();
    QString run;
    qreal runX = x;
    auto flush = [&] {
      if (!run.isEmpty()) painter.drawText(QPointF(runX, top + ascent), run);
      run.clear();
    };
    for (size_t k = 0; k + 1 < d.offsets.size(); ++k) {
      const int image = PictogramAt(part, d.offsets[k]);
      if (image >= 0) {
        flush();
        const int side = std::min(pictogramWidth_, lineHeight_);
        const QRect cell(qRound(x) + (pictogramWidth_ - side) / 2, top + (lineHeight_ - side) / 2, side, side);
        painter.drawImage(cell, images_->Image(image));
        x += pictogramWidth_;
        runX = x;
        continue;
      }
      const QChar c = d.chars[static_cast<qsizetype>(k)];
      if (c == QLatin1Char('\n')) continue;
      if (run.isEmpty()) runX = x;
      run += c;
      x += CharWidth(c);
    }
    flush();
    top += lineHeight_;
  }
  painter.restore();
}

}  // namespace qv
