#pragma once
// The decorated-mail editor's content laid out in display lines: paragraphs,
// positions, the selection, one-step undo and the top line. Sizes come from a
// host (the control measures with its font and asks its owner for pictures),
// so the model runs and is tested without widgets.
//
// Positions here are 0-based offsets into the concatenation of all line
// strings and always fall on part boundaries; the control shows them 1-based.
#include "plugins/mail/editor/KMailParts.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::kmail {

// A picture's bitmap size and its part header lines, as the host gives them.
struct PictureInfo {
  int width = 0;
  int height = 0;
  std::string headers;
};

// What layout asks of the control.
class LayoutHost {
 public:
  virtual ~LayoutHost() = default;
  // The font's character height in pixels.
  virtual int FontHeight() = 0;
  // The width of one character (one or two CP932 bytes) in the font.
  virtual int CharWidth(std::string_view ch) = 0;
  // Whether a pictogram of that exact name has an image to draw.
  virtual bool HasPictogram(std::string_view name) = 0;
  virtual bool HasUserCharImages() = 0;
  // The bitmap of a picture file; false when the host has none.
  virtual bool Picture(std::string_view fileName, PictureInfo& info) = 0;
  // The host's say on a part's size.
  virtual void MeasureWidth(int, std::string_view, int&) {}
  virtual void MeasureHeight(int, std::string_view, int&) {}
};

struct Line {
  std::string text;         // the encoded parts shown on the line
  size_t offset = 0;        // encoded characters in all lines above
  int height = 0;           // pixels
  std::vector<int> widths;  // one per part, as laid out
};

// One part of a display line and where it is drawn.
struct PartBox {
  size_t pos = 0;  // offset of the part's first character
  size_t length = 0;
  int x = 0;
  int width = 0;  // cut at the text area's right edge
};

enum class UndoKind { None, Insert, Delete, Undone };

struct UndoRecord {
  UndoKind kind = UndoKind::None;
  size_t start = 0;
  size_t end = 0;
  std::string saved;
};

class Document {
 public:
  // The position right after the leading line break.
  static constexpr size_t kTextStart = kPartHead;

  explicit Document(LayoutHost& host);

  // Layout switches; the caller lays out again as each needs.
  int lineSpace = 0;
  bool autoMenuLine = false;
  bool autoClickLine = true;

  // The text area: width for wrapping, height for scrolling. A changed width
  // needs LayoutAll; the height only recounts the top lines.
  void SetArea(int width, int height);
  int AreaWidth() const { return areaWidth_; }
  int AreaHeight() const { return areaHeight_; }

  // Replaces everything with a line break in fontColor followed by parts, lays
  // it all out with link detection, forgets undo and puts the caret at the
  // start of the text.
  void Load(std::string_view parts, TColor fontColor);
  // Lays out every paragraph again.
  void LayoutAll(bool detect);

  const std::vector<Line>& Lines() const { return lines_; }
  int LineCount() const { return static_cast<int>(lines_.size()); }
  size_t Length() const { return length_; }
  // The encoded text between two positions.
  std::string Text(size_t from, size_t to) const;

  // The line that shows the part left of pos (line 0 at the start of the text).
  int LineOfPos(size_t pos) const;
  // The line that holds the part right of pos (the last line at the end).
  int LineOfPartAt(size_t pos) const;
  // First and last caret positions of a display line; a paragraph's first
  // line starts after its line break.
  size_t LineStartPos(int line) const;
  size_t LineEndPos(int line) const;
  // The parts of a line placed from x = left.
  std::vector<PartBox> Boxes(int line, int left) const;
  // The x of a position on its line (the right edge of the part left of it).
  int XOfPos(size_t pos, int left) const;
  // The boundary nearest x on a line: a part is passed when x lies in its right half.
  size_t PosAtX(int line, int x, int left) const;
  size_t PrevPos(size_t pos) const;
  size_t NextPos(size_t pos) const;
  bool IsBoundary(size_t pos) const;
  // The part starting at pos, empty at the end.
  std::string_view PartAt(size_t pos) const;
  // The part ending at pos, empty at the start.
  std::string_view PartBefore(size_t pos) const;
  // Word moves and the word under a position (runs of characters of one byte
  // count within a display line; blanks and parts without text end a word).
  size_t WordLeft(size_t pos) const;
  size_t WordRight(size_t pos) const;
  void WordAt(size_t pos, size_t& from, size_t& to) const;

  // The selection; positions are raised to the start of the text and kept
  // within the text.
  size_t Anchor() const { return anchor_; }
  size_t Caret() const { return caret_; }
  size_t SelStart() const { return anchor_ < caret_ ? anchor_ : caret_; }
  size_t SelEnd() const { return anchor_ < caret_ ? caret_ : anchor_; }
  bool HasSelection() const { return anchor_ != caret_; }
  void SetSelection(size_t anchor, size_t caret);
  size_t Clamp(size_t pos) const;

  // Editing, each recorded for undo as its run.
  void ReplaceSelection(std::string_view parts);
  void DeleteSelection();
  bool Undo();
  bool CanUndo() const { return undo_.kind != UndoKind::None; }
  const UndoRecord& UndoState() const { return undo_; }
  void ForgetUndo() { undo_ = {}; }
  // Attributes of the selected parts (not recorded for undo).
  void SetSelColor(TColor color);
  void SetSelBlink(bool blink);
  bool SelIsBlink() const;
  // The clickable run around the part under pos (the whole run across the
  // paragraph's lines); false when that part is not clickable.
  bool ClickableRunAt(size_t pos, size_t& from, size_t& to) const;

  // Scrolling.
  int TopLine() const { return topLine_; }
  int TopLineCount() const { return topLineCount_; }
  void SetTopLine(int line);
  // The last line shown whole from the top line (the top line when even it is not).
  int LastFullLine() const;
  // Scrolls so that a line is shown: above the top it becomes the top line,
  // below the last whole line it becomes the last whole line.
  void ScrollLineIntoView(int line);
  // The top of a line relative to the top line's top.
  int64_t LineTop(int line) const;

 private:
  void Splice(size_t from, size_t to, std::string_view parts);
  void LayoutLines(int first, int last, bool detect);
  void Offsets(int from);
  void CountTopLines();
  int PartWidth(std::string_view s, size_t pos);
  int PartHeight(std::string_view s, size_t pos);
  bool ParagraphStart(int line) const;
  int WordClass(size_t pos) const;

  LayoutHost& host_;
  std::vector<Line> lines_;
  size_t length_ = 0;
  int areaWidth_ = 0;
  int areaHeight_ = 0;
  size_t anchor_ = kTextStart;
  size_t caret_ = kTextStart;
  UndoRecord undo_;
  int topLine_ = 0;
  int topLineCount_ = 1;
};

}  // namespace qv::kmail
