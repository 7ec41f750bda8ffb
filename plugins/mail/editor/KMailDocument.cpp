#include "plugins/mail/editor/KMailDocument.h"

#include "core/data/MailForm.h"

#include <algorithm>

namespace qv::kmail {

namespace {

// Sizes beyond this are a host's or a picture's nonsense; kept finite so that
// sums of line heights never overflow.
constexpr int kMaxExtent = 1 << 20;

int Bounded(int value) { return std::clamp(value, 0, kMaxExtent); }

bool IsBlankChar(std::string_view text) { return text == " " || text == "\t" || text == "\x81\x40"; }

}  // namespace

Document::Document(LayoutHost& host) : host_(host) { Load({}, clBlack); }

void Document::SetArea(int width, int height) {
  areaWidth_ = width;
  areaHeight_ = height;
  CountTopLines();
}

void Document::Load(std::string_view parts, TColor fontColor) {
  Line line;
  line.text = MakePart(ttLineBreak, fontColor, false, {});
  line.text += parts;
  lines_.clear();
  lines_.push_back(std::move(line));
  undo_ = {};
  topLine_ = 0;
  LayoutAll(true);
  anchor_ = caret_ = kTextStart;
}

void Document::LayoutAll(bool detect) {
  // One pass over everything: link detection never crosses a line break.
  LayoutLines(0, LineCount(), detect);
  Offsets(0);
  CountTopLines();
}

bool Document::ParagraphStart(int line) const {
  const std::string& text = lines_[static_cast<size_t>(line)].text;
  return !text.empty() && PartType(text, 0) == ttLineBreak;
}

int Document::PartWidth(std::string_view s, size_t pos) {
  const int type = PartType(s, pos);
  const std::string_view text = PartText(s, pos);
  int width = 0;
  switch (type) {
    case ttSingleChar:
    case ttDoubleChar:
      width = IsTabPart(s, pos) ? 4 * host_.CharWidth(" ") : host_.CharWidth(text);
      break;
    case ttPictogram:
      width = host_.HasPictogram(text) ? 2 * host_.CharWidth("0") : 0;
      break;
    case ttUserChar:
      width = host_.HasUserCharImages() ? 2 * host_.CharWidth("0") : 0;
      break;
    case ttPicture: {
      PictureInfo info;
      return host_.Picture(PictureFileName(text), info) && info.width > 0 ? std::max(0, areaWidth_) : 0;
    }
    case ttLineBreak:
    case ttKeptTag:
      return 0;
    default:
      break;
  }
  host_.MeasureWidth(type, text, width);
  return Bounded(width);
}

int Document::PartHeight(std::string_view s, size_t pos) {
  const int type = PartType(s, pos);
  const std::string_view text = PartText(s, pos);
  const int fontHeight = std::max(1, host_.FontHeight());
  int height = 0;
  if (type <= ttUserChar) {
    height = fontHeight + lineSpace;
  } else if (type == ttPicture) {
    PictureInfo info;
    if (host_.Picture(PictureFileName(text), info) && info.width > 0) {
      const TDXPictureInfo dx = ParseDXHeaders(info.width, info.height, info.headers);
      int64_t h = dx.IsDiv6 ? dx.Panes[static_cast<size_t>(PicturePage(text) - 1)].Height : info.height;
      h = std::clamp<int64_t>(h, 0, kMaxExtent);
      h = (h + fontHeight - 1) / fontHeight * fontHeight;
      height = static_cast<int>(std::min<int64_t>(h, kMaxExtent)) + lineSpace;
    }
  }
  host_.MeasureHeight(type, text, height);
  return Bounded(height);
}

void Document::LayoutLines(int first, int last, bool detect) {
  std::string joined;
  size_t size = 0;
  for (int i = first; i < last; ++i) size += lines_[static_cast<size_t>(i)].text.size();
  joined.reserve(size);
  for (int i = first; i < last; ++i) joined += lines_[static_cast<size_t>(i)].text;
  if (detect) DetectLinks(joined, autoMenuLine, autoClickLine);

  std::vector<Line> laid;
  Line current;
  int x = 0;
  auto flush = [&] {
    if (current.text.empty()) return;
    laid.push_back(std::move(current));
    current = Line();
    x = 0;
  };
  for (size_t pos = 0; pos < joined.size(); pos += PartLength(joined, pos)) {
    const int type = PartType(joined, pos);
    const int width = PartWidth(joined, pos);
    const int height = PartHeight(joined, pos);
    if (type == ttLineBreak) {
      flush();
    } else if (!current.text.empty() && x + width > areaWidth_ && !IsTabPart(joined, pos) &&
               !(current.widths.size() == 1 && PartType(current.text, 0) == ttLineBreak)) {
      flush();
    }
    current.text.append(joined, pos, PartLength(joined, pos));
    current.widths.push_back(width);
    current.height = std::max(current.height, height);
    x += width;
  }
  flush();
  lines_.erase(lines_.begin() + first, lines_.begin() + last);
  lines_.insert(lines_.begin() + first, std::make_move_iterator(laid.begin()), std::make_move_iterator(laid.end()));
}

void Document::Offsets(int from) {
  size_t offset = from > 0 ? lines_[static_cast<size_t>(from - 1)].offset + lines_[static_cast<size_t>(from - 1)].text.size() : 0;
  for (size_t i = static_cast<size_t>(std::max(0, from)); i < lines_.size(); ++i) {
    lines_[i].offset = offset;
    offset += lines_[i].text.size();
  }
  length_ = offset;
}

void Document::CountTopLines() {
  // 1 + the first line of the longest run of last lines that fits, yet never
  // past the last line (a tall picture, or no text area at all).
  int64_t sum = 0;
  int first = LineCount();
  while (first > 0 && sum + lines_[static_cast<size_t>(first - 1)].height < areaHeight_) {
    sum += lines_[static_cast<size_t>(first - 1)].height;
    --first;
  }
  topLineCount_ = std::clamp(first + 1, 1, std::max(1, LineCount()));
  topLine_ = std::clamp(topLine_, 0, topLineCount_ - 1);
}

std::string Document::Text(size_t from, size_t to) const {
  std::string out;
  if (to <= from) return out;
  out.reserve(to - from);
  for (int line = LineOfPartAt(from); line < LineCount() && lines_[static_cast<size_t>(line)].offset < to; ++line) {
    const Line& l = lines_[static_cast<size_t>(line)];
    const size_t a = from > l.offset ? from - l.offset : 0;
    const size_t b = std::min(l.text.size(), to - l.offset);
    if (b > a) out.append(l.text, a, b - a);
  }
  return out;
}

int Document::LineOfPartAt(size_t pos) const {
  // The last line whose offset is at most pos and that is not empty.
  auto it = std::upper_bound(lines_.begin(), lines_.end(), pos,
                             [](size_t p, const Line& l) { return p < l.offset; });
  int line = static_cast<int>(it - lines_.begin()) - 1;
  return std::clamp(line, 0, LineCount() - 1);
}

int Document::LineOfPos(size_t pos) const {
  if (pos == 0) return 0;
  return LineOfPartAt(pos - 1);
}

size_t Document::LineStartPos(int line) const {
  line = std::clamp(line, 0, LineCount() - 1);
  const Line& l = lines_[static_cast<size_t>(line)];
  return ParagraphStart(line) ? l.offset + kPartHead : l.offset;
}

size_t Document::LineEndPos(int line) const {
  line = std::clamp(line, 0, LineCount() - 1);
  const Line& l = lines_[static_cast<size_t>(line)];
  return l.offset + l.text.size();
}

std::vector<PartBox> Document::Boxes(int line, int left) const {
  std::vector<PartBox> boxes;
  if (line < 0 || line >= LineCount()) return boxes;
  const Line& l = lines_[static_cast<size_t>(line)];
  boxes.reserve(l.widths.size());
  const int right = left + areaWidth_;
  int x = left;
  size_t k = 0;
  for (size_t pos = 0; pos < l.text.size(); pos += PartLength(l.text, pos), ++k) {
    PartBox box;
    box.pos = l.offset + pos;
    box.length = PartLength(l.text, pos);
    box.x = x;
    box.width = std::max(0, std::min(l.widths[k], right - x));
    x += box.width;
    boxes.push_back(box);
  }
  return boxes;
}

int Document::XOfPos(size_t pos, int left) const {
  const int line = LineOfPos(pos);
  for (const PartBox& box : Boxes(line, left))
    if (box.pos + box.length == pos) return box.x + box.width;
  return left;
}

size_t Document::PosAtX(int line, int x, int left) const {
  line = std::clamp(line, 0, LineCount() - 1);
  size_t pos = LineStartPos(line);
  for (const PartBox& box : Boxes(line, left)) {
    if (box.pos < pos) continue;  // the paragraph's line break
    if (2 * static_cast<int64_t>(x) < 2 * static_cast<int64_t>(box.x) + box.width) break;
    pos = box.pos + box.length;
  }
  return pos;
}

std::string_view Document::PartAt(size_t pos) const {
  if (pos >= length_) return {};
  const Line& l = lines_[static_cast<size_t>(LineOfPartAt(pos))];
  const std::string_view text = l.text;
  return text.substr(pos - l.offset, PartLength(text, pos - l.offset));
}

std::string_view Document::PartBefore(size_t pos) const {
  if (pos == 0 || pos > length_) return {};
  const Line& l = lines_[static_cast<size_t>(LineOfPos(pos))];
  const std::string_view text = l.text;
  const size_t end = pos - l.offset;
  for (size_t i = 0; i < end;) {
    const size_t n = PartLength(text, i);
    if (i + n == end) return text.substr(i, n);
    i += n;
  }
  return {};
}

size_t Document::PrevPos(size_t pos) const {
  const std::string_view part = PartBefore(pos);
  return Clamp(part.empty() ? pos : pos - part.size());
}

size_t Document::NextPos(size_t pos) const {
  const std::string_view part = PartAt(pos);
  return Clamp(pos + part.size());
}

bool Document::IsBoundary(size_t pos) const {
  if (pos > length_) return false;
  if (pos == length_) return true;
  const Line& l = lines_[static_cast<size_t>(LineOfPartAt(pos))];
  for (size_t i = 0; i < l.text.size(); i += PartLength(l.text, i))
    if (l.offset + i == pos) return true;
  return false;
}

int Document::WordClass(size_t pos) const {
  const std::string_view part = PartAt(pos);
  if (part.empty()) return 0;
  const int type = PartType(part, 0);
  if (type != ttSingleChar && type != ttDoubleChar) return 0;
  return IsBlankChar(PartText(part, 0)) ? 0 : type;
}

size_t Document::WordRight(size_t pos) const {
  pos = Clamp(pos);
  // Over what is no word, then to the end of the word on its line.
  while (pos < length_ && WordClass(pos) == 0) pos = NextPos(pos);
  if (pos >= length_) return length_;
  const int cls = WordClass(pos);
  const int line = LineOfPartAt(pos);
  const size_t end = LineEndPos(line);
  while (pos < end && WordClass(pos) == cls) pos = NextPos(pos);
  return pos;
}

size_t Document::WordLeft(size_t pos) const {
  pos = Clamp(pos);
  while (pos > kTextStart && WordClass(PrevPos(pos)) == 0) pos = PrevPos(pos);
  if (pos <= kTextStart) return kTextStart;
  const size_t last = PrevPos(pos);
  const int cls = WordClass(last);
  const size_t start = lines_[static_cast<size_t>(LineOfPartAt(last))].offset;
  while (pos > start && pos > kTextStart && WordClass(PrevPos(pos)) == cls) pos = PrevPos(pos);
  return pos;
}

void Document::WordAt(size_t pos, size_t& from, size_t& to) const {
  pos = Clamp(pos);
  size_t part = pos;
  if (WordClass(part) == 0 && pos > kTextStart && WordClass(PrevPos(pos)) != 0) part = PrevPos(pos);
  const int cls = WordClass(part);
  if (cls == 0) {
    from = pos;
    to = PartAt(pos).empty() || PartType(PartAt(pos), 0) == ttLineBreak ? pos : NextPos(pos);
    return;
  }
  const int line = LineOfPartAt(part);
  const size_t lineStart = lines_[static_cast<size_t>(line)].offset;
  const size_t lineEnd = LineEndPos(line);
  from = part;
  while (from > lineStart && from > kTextStart && WordClass(PrevPos(from)) == cls) from = PrevPos(from);
  to = part;
  while (to < lineEnd && WordClass(to) == cls) to = NextPos(to);
}

size_t Document::Clamp(size_t pos) const { return std::clamp(pos, kTextStart, std::max(kTextStart, length_)); }

void Document::SetSelection(size_t anchor, size_t caret) {
  anchor_ = Clamp(anchor);
  caret_ = Clamp(caret);
}

void Document::Splice(size_t from, size_t to, std::string_view parts) {
  const int first = LineOfPartAt(from);
  const int last = to > from ? LineOfPos(to) : first;
  Line& head = lines_[static_cast<size_t>(first)];
  const Line& tail = lines_[static_cast<size_t>(last)];
  std::string joined;
  joined.reserve(from - head.offset + parts.size() + tail.text.size() - (to - tail.offset));
  joined.append(head.text, 0, from - head.offset);
  joined += parts;
  joined.append(tail.text, to - tail.offset, std::string::npos);
  head.text = std::move(joined);
  lines_.erase(lines_.begin() + first + 1, lines_.begin() + last + 1);
  // The touched paragraph: back to its line break, on to the next paragraph.
  int start = first;
  while (start > 0 && !ParagraphStart(start)) --start;
  int end = first + 1;
  while (end < LineCount() && !ParagraphStart(end)) ++end;
  LayoutLines(start, end, true);
  if (lines_.empty()) lines_.push_back(Line());
  Offsets(start);
  CountTopLines();
}

void Document::ReplaceSelection(std::string_view parts) {
  const size_t from = SelStart(), to = SelEnd();
  // Typing on at the end of the last insert continues its record.
  if (!(undo_.kind == UndoKind::Insert && from == undo_.end)) undo_ = {UndoKind::Insert, from, from, {}};
  undo_.saved += Text(from, to);
  Splice(from, to, parts);
  anchor_ = caret_ = Clamp(from + parts.size());
  undo_.end = caret_;
}

void Document::DeleteSelection() {
  const size_t from = SelStart(), to = SelEnd();
  if (from == to) return;
  const bool forwards = anchor_ < caret_;
  if (!(undo_.kind == UndoKind::Delete && anchor_ == undo_.end)) undo_ = {UndoKind::Delete, from, from, {}};
  const std::string deleted = Text(from, to);
  if (forwards)
    undo_.saved += deleted;
  else
    undo_.saved.insert(0, deleted);
  Splice(from, to, {});
  anchor_ = caret_ = Clamp(from);
  undo_.start = undo_.end = caret_;
}

bool Document::Undo() {
  if (undo_.kind == UndoKind::None) return false;
  if (undo_.start < kTextStart || undo_.end < undo_.start || !IsBoundary(undo_.start) || !IsBoundary(undo_.end)) {
    undo_ = {};
    return false;
  }
  std::string taken = Text(undo_.start, undo_.end);
  Splice(undo_.start, undo_.end, undo_.saved);
  undo_.end = undo_.start + undo_.saved.size();
  undo_.saved = std::move(taken);
  undo_.kind = UndoKind::Undone;
  anchor_ = caret_ = Clamp(undo_.end);
  return true;
}

void Document::SetSelColor(TColor color) {
  const size_t from = SelStart(), to = SelEnd();
  if (from == to) return;
  for (int line = LineOfPartAt(from); line < LineCount() && lines_[static_cast<size_t>(line)].offset < to; ++line) {
    Line& l = lines_[static_cast<size_t>(line)];
    for (size_t i = 0; i < l.text.size(); i += PartLength(l.text, i))
      if (l.offset + i >= from && l.offset + i < to) SetPartColor(l.text, i, color);
  }
}

void Document::SetSelBlink(bool blink) {
  const size_t from = SelStart(), to = SelEnd();
  for (int line = LineOfPartAt(from); from < to && line < LineCount() && lines_[static_cast<size_t>(line)].offset < to;
       ++line) {
    Line& l = lines_[static_cast<size_t>(line)];
    for (size_t i = 0; i < l.text.size(); i += PartLength(l.text, i)) {
      if (l.offset + i < from || l.offset + i >= to) continue;
      const int attr = PartAttr(l.text, i);
      SetPartAttr(l.text, i, blink ? (attr | kAttrBlink) : (attr & ~kAttrBlink));
    }
  }
}

bool Document::SelIsBlink() const {
  const size_t from = SelStart(), to = SelEnd();
  for (int line = LineOfPartAt(from); from < to && line < LineCount() && lines_[static_cast<size_t>(line)].offset < to;
       ++line) {
    const Line& l = lines_[static_cast<size_t>(line)];
    for (size_t i = 0; i < l.text.size(); i += PartLength(l.text, i))
      if (l.offset + i >= from && l.offset + i < to && !PartBlinks(l.text, i)) return false;
  }
  return true;
}

bool Document::ClickableRunAt(size_t pos, size_t& from, size_t& to) const {
  const std::string_view part = PartAt(pos);
  if (part.empty() || !PartClickable(part, 0)) return false;
  from = pos;
  while (from > kTextStart) {
    const std::string_view before = PartBefore(from);
    if (before.empty() || !PartClickable(before, 0)) break;
    from -= before.size();
  }
  to = pos;
  while (to < length_) {
    const std::string_view next = PartAt(to);
    if (!PartClickable(next, 0)) break;
    to += next.size();
  }
  return true;
}

void Document::SetTopLine(int line) { topLine_ = std::clamp(line, 0, topLineCount_ - 1); }

int64_t Document::LineTop(int line) const {
  int64_t top = 0;
  if (line >= topLine_) {
    for (int i = topLine_; i < line && i < LineCount(); ++i) top += lines_[static_cast<size_t>(i)].height;
  } else {
    for (int i = line; i < topLine_; ++i) top -= lines_[static_cast<size_t>(i)].height;
  }
  return top;
}

int Document::LastFullLine() const {
  int64_t bottom = 0;
  int last = topLine_;
  for (int i = topLine_; i < LineCount(); ++i) {
    bottom += lines_[static_cast<size_t>(i)].height;
    if (bottom > areaHeight_) break;
    last = i;
  }
  return last;
}

void Document::ScrollLineIntoView(int line) {
  line = std::clamp(line, 0, LineCount() - 1);
  if (line < topLine_) {
    SetTopLine(line);
    return;
  }
  if (line <= LastFullLine()) return;
  // The highest top line that still shows the line whole.
  int top = line;
  int64_t sum = lines_[static_cast<size_t>(line)].height;
  while (top > 0 && sum + lines_[static_cast<size_t>(top - 1)].height <= areaHeight_) {
    sum += lines_[static_cast<size_t>(top - 1)].height;
    --top;
  }
  SetTopLine(top);
}

}  // namespace qv::kmail
