#include "core/CSVData.h"

#include "platform/Cp932.h"
#include "platform/FileUtil.h"
#include "platform/Text.h"

#include <array>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstring>
#include <stdexcept>
#include <istream>
#include <iterator>
#include <ostream>

namespace qv {
namespace {

bool NeedsQuotes(std::string_view cell) {
  for (size_t i = 0; i < cell.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(cell[i]);
    if (cp932::CharLength(cell, i) == 2) {
      ++i;
      continue;
    }
    if (c <= 32 || c == '"' || c == ',') return true;
  }
  return false;
}

void AppendCell(std::string& out, std::string_view cell) {
  if (!NeedsQuotes(cell)) {
    out += cell;
    return;
  }
  out += '"';
  size_t start = 0;
  for (size_t q = cell.find('"'); q != std::string_view::npos; q = cell.find('"', start)) {
    out.append(cell.substr(start, q + 1 - start));
    out += '"';
    start = q + 1;
  }
  out.append(cell.substr(start));
  out += '"';
}

// Byte classes for the parser's fast path: 0 ordinary, 1 ends a run outside
// quotes, 2 lead byte of a double-byte character (taken whole).
constexpr std::array<unsigned char, 256> MakeClasses() {
  std::array<unsigned char, 256> t{};
  t['"'] = 1;
  t[','] = 1;
  t['\r'] = 1;
  for (int c = 0x81; c <= 0x9F; ++c) t[c] = 2;
  for (int c = 0xE0; c <= 0xFC; ++c) t[c] = 2;
  return t;
}
constexpr auto kClasses = MakeClasses();

// One step over the byte at p when it does not end a run: a double-byte
// character is taken whole. Null when p ends the run.
inline const char* StepOrdinary(const char* p, const char* end) {
  unsigned char k = kClasses[static_cast<unsigned char>(*p)];
  if (k == 1) return nullptr;
  return k == 2 && p + 1 < end && cp932::IsTrailByte(p[1]) ? p + 2 : p + 1;
}

// End of the run of ordinary bytes and whole double-byte characters from p.
inline const char* ScanRun(const char* p, const char* end) {
#if defined(__SSE2__)
  // Sixteen plain ASCII bytes at a time; other bytes go one by one.
  const __m128i quote = _mm_set1_epi8('"'), comma = _mm_set1_epi8(','), cr = _mm_set1_epi8('\r');
  while (end - p >= 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i special = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, comma)),
                                   _mm_cmpeq_epi8(v, cr));
    int mask = _mm_movemask_epi8(special) | _mm_movemask_epi8(v);  // high bit: maybe a lead byte
    if (mask == 0) {
      p += 16;
      continue;
    }
    p += __builtin_ctz(static_cast<unsigned>(mask));
    const char* next = StepOrdinary(p, end);
    if (!next) return p;
    p = next;
  }
#endif
  while (p < end) {
    const char* next = StepOrdinary(p, end);
    if (!next) return p;
    p = next;
  }
  return end;
}

// Occurrences of c, eight bytes at a time.
size_t CountBytes(std::string_view text, char c) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL, kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  const uint64_t pattern = kOnes * static_cast<unsigned char>(c);
  size_t n = 0, i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t w;
    std::memcpy(&w, text.data() + i, 8);
    uint64_t x = w ^ pattern;  // zero bytes where equal
    uint64_t nonZero = ((x & kLow7) + kLow7) | x;
    uint64_t hits = (~nonZero & ~kLow7) >> 7;  // 1 in each byte that matched
    n += static_cast<size_t>((hits * kOnes) >> 56);
  }
  for (; i < text.size(); ++i) n += text[i] == c;
  return n;
}

}  // namespace

int TCSVData::AddRow() {
  rowEnd_.push_back(cells_.size());
  return RowCount() - 1;
}

void TCSVData::Clear() {
  bytes_.clear();
  cells_.clear();
  rowEnd_.clear();
  unused_ = 0;
}

void TCSVData::DeleteRow(int row) {
  if (row < 0 || row >= RowCount()) return;
  size_t r = static_cast<size_t>(row);
  size_t begin = RowBegin(r), count = rowEnd_[r] - begin;
  for (size_t i = begin; i < begin + count; ++i) unused_ += cells_[i].length;
  cells_.erase(cells_.begin() + static_cast<long>(begin), cells_.begin() + static_cast<long>(begin + count));
  rowEnd_.erase(rowEnd_.begin() + row);
  for (size_t i = r; i < rowEnd_.size(); ++i) rowEnd_[i] -= count;
  Compact();
}

TCSVRow TCSVData::Rows(int row) const {
  TCSVRow out;
  if (row < 0 || row >= RowCount()) return out;
  size_t r = static_cast<size_t>(row);
  for (size_t i = RowBegin(r); i < rowEnd_[r]; ++i) out.emplace_back(View(cells_[i]));
  return out;
}

int TCSVData::CellCount(int row) const {
  if (row < 0 || row >= RowCount()) return 0;
  size_t r = static_cast<size_t>(row);
  return static_cast<int>(rowEnd_[r] - RowBegin(r));
}

std::string_view TCSVData::GetCell(int row, int col) const {
  if (col < 0 || col >= CellCount(row)) return {};
  return View(cells_[RowBegin(static_cast<size_t>(row)) + static_cast<size_t>(col)]);
}

void TCSVData::SetCell(int row, int col, std::string_view text) {
  if (row < 0 || col < 0) return;
  while (RowCount() <= row) AddRow();
  size_t r = static_cast<size_t>(row);
  size_t begin = RowBegin(r), count = rowEnd_[r] - begin;
  size_t need = static_cast<size_t>(col) + 1;
  if (need > count) {
    size_t add = need - count;
    cells_.insert(cells_.begin() + static_cast<long>(rowEnd_[r]), add, Cell{static_cast<uint32_t>(bytes_.size()), 0});
    for (size_t i = r; i < rowEnd_.size(); ++i) rowEnd_[i] += add;
  }
  Cell& c = cells_[begin + static_cast<size_t>(col)];
  if (text.size() <= c.length) {
    // Each cell owns its bytes, so a shorter text is written in place.
    unused_ += c.length - text.size();
    bytes_.replace(c.offset, text.size(), text);
    c.length = static_cast<uint32_t>(text.size());
    return;
  }
  uint32_t at = AppendBytes(text);
  Cell& grown = cells_[begin + static_cast<size_t>(col)];
  unused_ += grown.length;
  grown.offset = at;
  grown.length = static_cast<uint32_t>(text.size());
  Compact();
}

uint32_t TCSVData::AppendBytes(std::string_view text) {
  if (bytes_.size() + text.size() > UINT32_MAX) throw std::length_error("CSV table larger than 4 GB");
  uint32_t at = static_cast<uint32_t>(bytes_.size());
  bytes_.append(text);
  return at;
}

void TCSVData::Compact() {
  if (unused_ < 65536 || unused_ < bytes_.size() / 2) return;
  std::string packed;
  packed.reserve(bytes_.size() - unused_);
  for (Cell& c : cells_) {
    auto at = static_cast<uint32_t>(packed.size());
    packed.append(bytes_, c.offset, c.length);
    c.offset = at;
  }
  bytes_.swap(packed);
  unused_ = 0;
}

int TCSVData::IndexOf(int col, std::string_view value) const {
  if (col < 0) return -1;
  for (int i = 0; i < RowCount(); ++i)
    if (col < CellCount(i) && GetCell(i, col) == value) return i;
  return -1;
}

std::string TCSVData::GetText() const {
  std::string out;
  size_t estimate = bytes_.size() - unused_ + 2 * rowEnd_.size() + cells_.size();
  out.reserve(estimate + estimate / 16);
  for (size_t r = 0; r < rowEnd_.size(); ++r) {
    for (size_t i = RowBegin(r); i < rowEnd_[r]; ++i) {
      if (i != RowBegin(r)) out += ',';
      AppendCell(out, View(cells_[i]));
    }
    out += "\r\n";
  }
  return out;
}

void TCSVData::SetText(std::string_view text) {
  Clear();
  bool onlyBlanks = true;
  for (char c : text)
    if (!IsBlankOrControl(c)) {
      onlyBlanks = false;
      break;
    }
  if (onlyBlanks) return;
  if (text.size() > UINT32_MAX) throw std::length_error("CSV table larger than 4 GB");

  const char* p = text.data();
  const char* end = p + text.size();
  // Every cell ends at a comma, a CR or the end, and no cell is longer than its
  // text: with these bounds nothing grows while parsing.
  size_t lines = CountBytes(text, '\r') + 1;
  cells_.resize(lines + CountBytes(text, ','));
  rowEnd_.resize(lines);
  bytes_.resize(text.size());
  char* const base = bytes_.data();
  char* out = base;
  Cell* cell = cells_.data();
  size_t* row = rowEnd_.data();
  char* cellStart = out;
  bool quoted = false;
  auto endCell = [&] {
    *cell++ = Cell{static_cast<uint32_t>(cellStart - base), static_cast<uint32_t>(out - cellStart)};
    cellStart = out;
  };
  auto copy = [&](const char* from, const char* to) {
    size_t n = static_cast<size_t>(to - from);
    std::memcpy(out, from, n);
    out += n;
  };
  while (p < end) {
    if (quoted) {
      // Copy up to the next quote, line breaks and commas included.
      const char* q = p;
      while (q < end && *q != '"') q += (cp932::IsLeadByte(*q) && q + 1 < end && cp932::IsTrailByte(q[1])) ? 2 : 1;
      if (q > end) q = end;
      copy(p, q);
      p = q;
      if (p == end) break;
      if (p + 1 < end && p[1] == '"') {
        *out++ = '"';
        p += 2;
      } else {
        quoted = false;
        ++p;
      }
      continue;
    }
    const char* q = ScanRun(p, end);
    copy(p, q);
    p = q;
    if (p == end) break;
    char c = *p;
    if (c == '"') {
      if (out == cellStart)
        quoted = true;
      else
        *out++ = '"';
      ++p;
    } else if (c == ',') {
      endCell();
      ++p;
    } else {  // CR: the byte after it (the LF) is skipped
      endCell();
      p += (p + 1 < end) ? 2 : 1;
      *row++ = static_cast<size_t>(cell - cells_.data());
    }
  }
  if (out > cellStart) endCell();
  size_t cellCount = static_cast<size_t>(cell - cells_.data());
  // The last row, unless it has no cells.
  if (cellCount > (row == rowEnd_.data() ? 0 : row[-1])) *row++ = cellCount;
  bytes_.resize(static_cast<size_t>(out - base));
  cells_.resize(cellCount);
  rowEnd_.resize(static_cast<size_t>(row - rowEnd_.data()));
}

bool IsJoinedCrLf(std::string_view text) {
  if (text.empty()) return true;
  if (!text.ends_with("\r\n")) return false;
  const char* b = text.data();
  const char* e = b + text.size();
  for (const char* q = b; (q = static_cast<const char*>(std::memchr(q, '\r', static_cast<size_t>(e - q)))); ++q)
    if (q + 1 == e || q[1] != '\n') return false;
  for (const char* q = b; (q = static_cast<const char*>(std::memchr(q, '\n', static_cast<size_t>(e - q)))); ++q)
    if (q == b || q[-1] != '\r') return false;
  return true;
}

std::string JoinLinesCrLf(std::string_view text) {
  if (IsJoinedCrLf(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() + text.size() / 32 + 2);
  size_t start = 0;
  while (start < text.size()) {
    size_t br = text.find_first_of("\r\n", start);
    if (br == std::string_view::npos) {
      out.append(text.substr(start));
      out += "\r\n";
      break;
    }
    out.append(text.substr(start, br - start));
    out += "\r\n";
    start = br + ((text[br] == '\r' && br + 1 < text.size() && text[br + 1] == '\n') ? 2 : 1);
  }
  return out;
}

bool TCSVData::LoadFromFile(const std::filesystem::path& path) {
  MappedFile file(path);
  if (!file.ok()) return false;
  std::string_view bytes = file.bytes();
  if (IsJoinedCrLf(bytes))
    SetText(bytes);
  else
    SetText(JoinLinesCrLf(bytes));
  return true;
}

void TCSVData::LoadFromStream(std::istream& in) {
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  SetText(JoinLinesCrLf(bytes));
}

bool TCSVData::SaveToFile(const std::filesystem::path& path) const {
  // GetText ends every row with CR LF; only line breaks inside cells need joining.
  std::string text = GetText();
  if (IsJoinedCrLf(text)) return WriteFileAtomically(path, text);
  return WriteFileAtomically(path, JoinLinesCrLf(text));
}

void TCSVData::SaveToStream(std::ostream& out) const {
  std::string text = JoinLinesCrLf(GetText());
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace qv
