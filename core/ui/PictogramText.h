#pragma once
// Text with pictograms on the screen: CP932 lines in which the handset codes
// of the pictograph table ([File] PicTextFile, NAME=value lines) stand for
// pictograms, laid out word-wrapped within a width and drawn with the
// pictograms' images (image i belongs to table line i). A pictogram takes the
// width of "00" in the font, as in the mail editor; double-byte characters
// are never split.
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class QPainter;
class QColor;
class QPoint;
class QRect;
class TImageList;

namespace qv {

class PictogramText {
 public:
  PictogramText();

  // The pictograph table's lines: a value of one double-byte character is
  // that pictogram's code; the first line of a code counts.
  void SetTable(const std::vector<std::string>& lines);
  // The pictograms' images; not owned, may be null (codes are then text).
  void SetImages(const TImageList* images) { images_ = images; }
  void SetFont(const QFont& font);
  const QFont& Font() const { return font_; }

  // The image drawn for the character at text[at], -1 when it is text.
  int PictogramAt(std::string_view text, size_t at) const;

  // A wrapped row: the bytes [begin, end) of the text.
  struct Row {
    size_t begin = 0;
    size_t end = 0;
  };
  // The rows of text within width pixels: a CR (with the LF after it) ends a
  // row; a row too wide breaks after its last blank or before a double-byte
  // character, else before the character that does not fit. Empty text is
  // one empty row.
  std::vector<Row> Wrap(std::string_view text, int width) const;
  int LineHeight() const { return lineHeight_; }
  // The wrapped height of text within width.
  int Height(std::string_view text, int width) const;

  // Draws the rows of text within rect (top aligned) in colour, underlined
  // when asked; pictograms as their images.
  void Draw(QPainter& painter, const QRect& rect, std::string_view text, const QColor& colour,
            bool underline = false) const;

 private:
  // Each character's byte offset and its display text (one UTF-16 unit).
  struct Decoded {
    std::vector<size_t> offsets;
    QString chars;
  };
  Decoded Decode(std::string_view text) const;
  qreal CharWidth(QChar c) const;
  int PictogramIndex(unsigned code) const;

  QFont font_;
  QFontMetricsF metrics_;
  int lineHeight_ = 0;
  int pictogramWidth_ = 0;
  const TImageList* images_ = nullptr;
  std::unordered_map<unsigned, int> codes_;  // handset code -> image
  mutable QHash<char16_t, qreal> widths_;
};

}  // namespace qv
