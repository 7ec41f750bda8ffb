#include "core/data/CSVData.h"

#include "platform/Cp932.h"
#include "platform/FileUtil.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <atomic>
#if defined(__SSE2__)
#include <immintrin.h>
#endif
#include <cstring>
#include <istream>
#include <iterator>
#include <ostream>
#include <stdexcept>
#include <sys/mman.h>
#include <unistd.h>

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

// ---- the parser
//
// The text is taken 64 bytes at a time: one pass of vector compares gives the
// quotes, commas, CRs and LFs of the block as bit masks, and the bytes that
// may start a double-byte character. None of the four can be the trail byte
// of a double-byte character (0x40-0x7E, 0x80-0xFC), so a lead byte before
// one of them stands alone and the masks are the only bytes where the parser
// has a decision to make. Each block is copied to the table's buffer as it is read, and a cell
// is a slice of that copy: only a cell with a doubled quote or text after its
// closing quote moves bytes.

struct BlockMasks {
  uint64_t quote, comma, cr, lf;
};

constexpr std::array<unsigned char, 256> MakeClasses() {
  std::array<unsigned char, 256> t{};
  t['"'] = 1;
  t[','] = 2;
  t['\r'] = 3;
  t['\n'] = 4;
  return t;
}
constexpr auto kClasses = MakeClasses();

struct ScalarClassifier {
  BlockMasks Classify(const char* p) const {
    BlockMasks m{};
    for (int i = 0; i < 64; ++i) {
      uint64_t bit = uint64_t{1} << i;
      switch (kClasses[static_cast<unsigned char>(p[i])]) {
        case 1: m.quote |= bit; break;
        case 2: m.comma |= bit; break;
        case 3: m.cr |= bit; break;
        case 4: m.lf |= bit; break;
        default: break;
      }
    }
    return m;
  }
};

#if defined(__SSE2__)
// The compared values are made once per parse, not once per block.
struct Sse2Classifier {
  const __m128i quote = _mm_set1_epi8('"'), comma = _mm_set1_epi8(','), cr = _mm_set1_epi8('\r'),
                lf = _mm_set1_epi8('\n');

  __attribute__((always_inline)) static inline uint64_t Bits(__m128i m) {
    return static_cast<uint16_t>(_mm_movemask_epi8(m));
  }
  __attribute__((always_inline)) inline BlockMasks Classify(const char* p) const {
    BlockMasks m{};
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
      const int at = 16 * i;
      m.quote |= Bits(_mm_cmpeq_epi8(v, quote)) << at;
      m.comma |= Bits(_mm_cmpeq_epi8(v, comma)) << at;
      m.cr |= Bits(_mm_cmpeq_epi8(v, cr)) << at;
      m.lf |= Bits(_mm_cmpeq_epi8(v, lf)) << at;
    }
    return m;
  }
};

struct Avx2Classifier {
  __m256i quote, comma, cr, lf;

  __attribute__((target("avx2"))) Avx2Classifier()
      : quote(_mm256_set1_epi8('"')),
        comma(_mm256_set1_epi8(',')),
        cr(_mm256_set1_epi8('\r')),
        lf(_mm256_set1_epi8('\n')) {}
  __attribute__((target("avx2"))) static inline uint64_t Bits(__m256i m) {
    return static_cast<uint32_t>(_mm256_movemask_epi8(m));
  }
  __attribute__((target("avx2"))) inline BlockMasks Classify(const char* p) const {
    BlockMasks m{};
#pragma GCC unroll 2
    for (int i = 0; i < 2; ++i) {
      __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * i));
      const int at = 32 * i;
      m.quote |= Bits(_mm256_cmpeq_epi8(v, quote)) << at;
      m.comma |= Bits(_mm256_cmpeq_epi8(v, comma)) << at;
      m.cr |= Bits(_mm256_cmpeq_epi8(v, cr)) << at;
      m.lf |= Bits(_mm256_cmpeq_epi8(v, lf)) << at;
    }
    return m;
  }
};
#endif

// Bits at and above bit; none when bit is 64.
inline uint64_t BitsFrom(unsigned bit) { return bit >= 64 ? 0 : ~uint64_t{0} << bit; }

// The parser's state between blocks, and the block steps that need more than
// the common case. Cells and rows are written through raw pointers; each
// block first makes room for all it can add.
template <class Cell>
struct ParseState {
  const char* src;
  char* dst;  // a buffer of the text's size
  size_t n;
  Cell* cells;
  size_t* rows;
  size_t nc = 0, nr = 0;
  // The current cell: its text starts at cellStart, its content at cs (after
  // an opening quote). Content bytes up to r are in place in dst less shift
  // (the quotes dropped so far); bytes from r on are not yet taken.
  size_t cellStart = 0, cs = 0, r = 0, shift = 0;
  size_t next = 0;  // bytes before this are taken
  size_t sum = 0;   // bytes in cells
  bool quoted = false;
  bool strayNul = false;  // a NUL byte outside quotes (only looked for when asked)

  void Take(size_t to) {
    if (shift && to > r) std::memmove(dst + r - shift, src + r, to - r);
    r = to;
  }
  void EndCell(size_t at) {
    Take(at);
    const size_t len = at - shift - cs;
    cells[nc++] = Cell{static_cast<uint32_t>(cs), static_cast<uint32_t>(len)};
    sum += len;
  }
  void StartCell(size_t at) {
    cellStart = cs = r = at;
    shift = 0;
  }

  // The block at b event by event, from the first event not yet taken: for
  // doubled quotes, text after a closing quote, quotes inside a cell and CRs
  // that skip a byte that matters. NUL bytes are events only when asked for.
  __attribute__((noinline)) void SlowBlock(size_t b, uint64_t events, uint64_t quotes, uint64_t commas,
                                           uint64_t crs, uint64_t nuls = 0) {
    while (events) {
      const uint64_t ev = quoted ? events & quotes : events;
      if (!ev) return;
      const unsigned bit = static_cast<unsigned>(__builtin_ctzll(ev));
      const size_t p = b + bit;
      events &= BitsFrom(bit + 1);
      if (quoted) {
        // A doubled quote keeps one of the two; a single one closes.
        const bool pair = p + 1 < n && src[p + 1] == '"';
        Take(p + pair);
        r = p + 1 + pair;
        shift += 1;
        if (pair) {
          next = p + 2;
          events &= BitsFrom(bit + 2);
        } else {
          quoted = false;
        }
      } else if ((commas >> bit) & 1) {
        EndCell(p);
        StartCell(p + 1);
        next = p + 1;
      } else if ((crs >> bit) & 1) {
        // The row ends and the byte after the CR is skipped, whatever it is.
        EndCell(p);
        rows[nr++] = nc;
        StartCell(p + 2);
        next = p + 2;
        events &= BitsFrom(bit + 2);
      } else if ((nuls >> bit) & 1) {
        strayNul = true;
      } else if (p == cellStart) {  // a quote opens only an empty cell
        quoted = true;
        cs = r = p + 1;
      }
    }
  }
};

// With kInspect every block takes the event steps, which also look for NUL
// bytes outside quotes; the cells are the same.
template <class Classifier, bool kInspect, class Cell>
__attribute__((always_inline)) inline bool RunParser(std::string_view text, char* dst,
                                                     csvdetail::PodArray<Cell>& cellArray,
                                                     csvdetail::PodArray<size_t>& rowArray, bool joinedOnly,
                                                     size_t& kept, CsvTextFindings* findings) {
  const char* const src = text.data();
  const size_t n = text.size();
  // The state lives in locals while blocks take the common way and goes
  // through st only for the event steps.
  ParseState<Cell> st{src, dst, n, cellArray.data(), rowArray.data()};
  Cell* cells = cellArray.data();
  size_t* rows = rowArray.data();
  size_t nc = cellArray.size(), nr = rowArray.size(), cellRoom = cellArray.capacity(), rowRoom = rowArray.capacity();
  size_t cellsMapped = 0, rowsMapped = 0;  // how far the arrays' pages are mapped ahead
  size_t cellStart = 0, cs = 0, next = 0, sum = 0;
  bool quoted = false;
  const Classifier classifier;
  alignas(64) char tail[64];
  size_t b = 0;
  while (b < n) {
    const size_t len = std::min<size_t>(64, n - b);
    const char* block = src + b;
    if (len == 64) {
      std::memcpy(dst + b, block, 64);
    } else {
      std::memset(tail, 0, sizeof tail);
      std::memcpy(tail, block, len);
      std::memcpy(dst + b, block, len);
      block = tail;
    }
    const BlockMasks m = classifier.Classify(block);
    if (joinedOnly) {
      // Every CR followed by an LF and every LF preceded by a CR, the last
      // byte included (the padding after the end holds no LF).
      const uint64_t crBefore = b > 0 && src[b - 1] == '\r' ? 1 : 0;
      const uint64_t beyond = len < 64 ? BitsFrom(static_cast<unsigned>(len + 1)) : 0;
      if ((((m.cr << 1) | crBefore) ^ m.lf) & ~beyond) return false;
      if (b + len == n && src[n - 1] != '\n') return false;
    }
    if (cellRoom - nc < 65) {
      cellArray.ResizeUninit(nc);
      cellArray.Reserve(nc + 65);
      cells = cellArray.data();
      cellRoom = cellArray.capacity();
      cellsMapped = 0;
    }
    if (rowRoom - nr < 65) {
      rowArray.ResizeUninit(nr);
      rowArray.Reserve(nr + 65);
      rows = rowArray.data();
      rowRoom = rowArray.capacity();
      rowsMapped = 0;
    }
    if (nc + 65 > cellsMapped) cellsMapped = cellArray.MapAhead(nc + 65);
    if (nr + 65 > rowsMapped) rowsMapped = rowArray.MapAhead(nr + 65);
    const uint64_t quotes = m.quote, commas = m.comma, crs = m.cr;
    const uint64_t from = BitsFrom(next > b ? static_cast<unsigned>(next - b) : 0);

    // The common block: every quote opens a cell or closes it right before
    // its comma or CR, and no CR skips a byte that matters. The quoted
    // stretches are then the running parity of the quotes (a cell may come in
    // quoted and leave quoted), and each comma or CR outside them ends a cell
    // whose content is its text less the quotes around it: no decision per
    // cell.
    const uint64_t q = quotes & from;
    uint64_t inside = q;
    inside ^= inside << 1;
    inside ^= inside << 2;
    inside ^= inside << 4;
    inside ^= inside << 8;
    inside ^= inside << 16;
    inside ^= inside << 32;
    if (quoted) inside = ~inside;
    const uint64_t endComma = commas & from & ~inside, endCr = crs & from & ~inside;
    const uint64_t ends = endComma | endCr;
    const uint64_t starts =
        (endComma << 1) | (endCr << 2) | (!quoted && cs >= b && cs < b + 64 ? uint64_t{1} << (cs - b) : 0);
    // A cell whose bytes moved (st.shift) stays with the event steps to its end.
    const bool simple = !st.shift && !(q & inside & ~starts) && !(q & ~inside & ~(ends >> 1)) &&
                        !((endCr << 1) & (quotes | commas | crs));
    if (simple && !kInspect) {
      size_t start = quoted ? cellStart : cs;
      // Whether the cell at start is quoted: the one that came in from the
      // block before knows; every later one starts inside this block.
      uint64_t quotedCell = start >= b ? (q >> (start - b)) & 1 : quoted;
      // A row ends with the cell at each CR: after the cells up to it.
      for (uint64_t c = endCr; c; c &= c - 1) {
        const unsigned bit = static_cast<unsigned>(__builtin_ctzll(c));
        rows[nr++] = nc + static_cast<size_t>(__builtin_popcountll(ends & ((uint64_t{2} << bit) - 1)));
      }
      for (uint64_t e = ends; e; e &= e - 1) {
        const unsigned bit = static_cast<unsigned>(__builtin_ctzll(e));
        const size_t p = b + bit;
        const uint64_t isCr = (endCr >> bit) & 1;
        const size_t cellLen = p - start - 2 * quotedCell;
        cells[nc++] = Cell{static_cast<uint32_t>(start + quotedCell), static_cast<uint32_t>(cellLen)};
        sum += cellLen;
        start = p + 1 + isCr;
        quotedCell = (q >> bit >> 1 >> isCr) & 1;
      }
      // The last cell goes on into the next block, quoted when its opening
      // quote is still open.
      quoted = inside >> 63;
      cellStart = next = start;
      cs = start + quoted;
      b += 64;
      continue;
    }
    st.cells = cells;
    st.rows = rows;
    st.nc = nc, st.nr = nr, st.sum = sum, st.next = next, st.quoted = quoted;
    if (!st.shift) st.cellStart = cellStart, st.cs = st.r = cs;
    uint64_t nuls = 0;
    if constexpr (kInspect)
      for (size_t i = 0; i < len; ++i) nuls |= uint64_t{block[i] == '\0'} << i;
    const uint64_t events = (quotes | commas | crs | nuls) & from;
    st.SlowBlock(b, events, quotes, commas, crs, nuls);
    nc = st.nc, nr = st.nr, sum = st.sum, next = st.next, quoted = st.quoted;
    cellStart = st.cellStart, cs = st.cs;
    b += 64;
  }
  st.cells = cells;
  st.rows = rows;
  st.nc = nc, st.nr = nr, st.sum = sum, st.next = next, st.quoted = quoted;
  st.cellStart = cellStart;
  if (!st.shift) st.cs = st.r = cs;
  // A non-empty last cell, and the last row unless it has no cells.
  if (st.nc == cellRoom) {
    cellArray.ResizeUninit(st.nc);
    cellArray.Reserve(st.nc + 1);
    st.cells = cellArray.data();
  }
  // A CR as the last byte leaves the next cell beyond the end.
  st.cs = std::min(st.cs, n);
  st.r = std::max(std::min(st.r, n), st.cs);
  if (n - st.shift > st.cs) st.EndCell(n);
  if (st.nc > (st.nr == 0 ? 0 : st.rows[st.nr - 1])) {
    if (st.nr == rowRoom) {
      rowArray.ResizeUninit(st.nr);
      rowArray.Reserve(st.nr + 1);
      st.rows = rowArray.data();
    }
    st.rows[st.nr++] = st.nc;
  }
  cellArray.ResizeUninit(st.nc);
  rowArray.ResizeUninit(st.nr);
  kept = st.sum;
  if constexpr (kInspect) {
    findings->openQuote = st.quoted;
    findings->strayNul = st.strayNul;
  }
  return true;
}

CsvVectorUnit BestUnit() {
#if defined(__SSE2__)
  __builtin_cpu_init();  // the answer may be wanted before main
  return __builtin_cpu_supports("avx2") ? CsvVectorUnit::Avx2 : CsvVectorUnit::Sse2;
#else
  return CsvVectorUnit::Portable;
#endif
}

std::atomic<CsvVectorUnit>& UnitInUse() {
  static std::atomic<CsvVectorUnit> unit{BestUnit()};
  return unit;
}

CsvVectorUnit CurrentUnit() { return UnitInUse().load(std::memory_order_relaxed); }

#if defined(__SSE2__)
template <class Cell>
__attribute__((target("avx2"), flatten)) bool RunAvx2(std::string_view text, char* dst, csvdetail::PodArray<Cell>& cells,
                                               csvdetail::PodArray<size_t>& rows, bool joinedOnly, size_t& kept) {
  return RunParser<Avx2Classifier, false>(text, dst, cells, rows, joinedOnly, kept, nullptr);
}
#endif

}  // namespace

namespace csvdetail {
void AdviseLargeBuffer(void* data, size_t bytes) {
#if defined(MADV_HUGEPAGE)
  constexpr uintptr_t kHuge = uintptr_t{2} << 20;
  if (bytes < 2 * kHuge) return;
  uintptr_t from = (reinterpret_cast<uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  uintptr_t to = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHuge - 1);
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

void PrefaultBuffer(void* data, size_t from, size_t to) {
#if defined(MADV_POPULATE_WRITE)
  const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + from + page - 1) & ~(page - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + to) & ~(page - 1);
  // Older kernels refuse the advice: the pages then fault in one by one.
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
  (void)data;
  (void)from;
  (void)to;
#endif
}
}  // namespace csvdetail

TCSVData& TCSVData::operator=(const TCSVData& other) {
  if (this != &other) {
    bytes_ = other.bytes_;
    cells_ = other.cells_;
    rowEnd_ = other.rowEnd_;
    unused_ = other.unused_;
  }
  revision_ = std::max(revision_, other.revision_) + 1;
  return *this;
}

TCSVData& TCSVData::operator=(TCSVData&& other) noexcept {
  if (this != &other) {
    bytes_ = std::move(other.bytes_);
    cells_ = std::move(other.cells_);
    rowEnd_ = std::move(other.rowEnd_);
    unused_ = other.unused_;
    other.Clear();
  }
  revision_ = std::max(revision_, other.revision_) + 1;
  return *this;
}

int TCSVData::AddRow() {
  Changed();
  rowEnd_.push_back(cells_.size());
  return RowCount() - 1;
}

void TCSVData::Clear() {
  Changed();
  bytes_.clear();
  cells_.clear();
  rowEnd_.clear();
  unused_ = 0;
}

void TCSVData::DeleteRow(int row) {
  if (row < 0 || row >= RowCount()) return;
  Changed();
  size_t r = static_cast<size_t>(row);
  size_t begin = RowBegin(r), count = rowEnd_[r] - begin;
  for (size_t i = begin; i < begin + count; ++i) unused_ += cells_[i].length;
  cells_.Erase(begin, count);
  rowEnd_.Erase(r, 1);
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
  Changed();
  while (RowCount() <= row) AddRow();
  size_t r = static_cast<size_t>(row);
  size_t begin = RowBegin(r), count = rowEnd_[r] - begin;
  size_t need = static_cast<size_t>(col) + 1;
  if (need > count) {
    size_t add = need - count;
    cells_.Insert(rowEnd_[r], add, Cell{static_cast<uint32_t>(bytes_.size()), 0});
    for (size_t i = r; i < rowEnd_.size(); ++i) rowEnd_[i] += add;
  }
  Cell& c = cells_[begin + static_cast<size_t>(col)];
  if (text.size() <= c.length) {
    // Each cell owns its bytes, so a shorter text is written in place.
    unused_ += c.length - text.size();
    if (!text.empty()) std::memmove(bytes_.data() + c.offset, text.data(), text.size());
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
  // The text may be one of this table's own cells, which growing would move.
  const auto own = reinterpret_cast<uintptr_t>(bytes_.data()), from = reinterpret_cast<uintptr_t>(text.data()) - own;
  if (!text.empty() && from < bytes_.size()) {
    bytes_.Reserve(bytes_.size() + text.size());
    bytes_.Append(bytes_.data() + from, text.size());
  } else {
    bytes_.Append(text.data(), text.size());
  }
  return at;
}

void TCSVData::Compact() {
  if (unused_ < 65536 || unused_ < bytes_.size() / 2) return;
  csvdetail::PodArray<char> packed;
  packed.Reserve(bytes_.size() - unused_);
  for (size_t i = 0; i < cells_.size(); ++i) {
    Cell& c = cells_[i];
    auto at = static_cast<uint32_t>(packed.size());
    packed.Append(bytes_.data() + c.offset, c.length);
    c.offset = at;
  }
  bytes_ = std::move(packed);
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

bool TCSVData::Parse(std::string_view text, bool joinedOnly, CsvTextFindings* findings) {
  Clear();
  if (findings) *findings = {};
  bool onlyBlanks = true;
  for (char c : text)
    if (!IsBlankOrControl(c)) {
      onlyBlanks = false;
      break;
    }
  if (onlyBlanks) {
    // No quote either: any NUL is outside quotes.
    if (findings) findings->strayNul = text.find('\0') != std::string_view::npos;
    return true;
  }
  if (text.size() > UINT32_MAX) throw std::length_error("CSV table larger than 4 GB");
  // The text may lie in this table's own buffer, which is about to be reused.
  std::string copy;
  const auto own = reinterpret_cast<uintptr_t>(bytes_.data()), at = reinterpret_cast<uintptr_t>(text.data());
  if (at < own + bytes_.capacity() && own < at + text.size()) {
    copy.assign(text);
    text = copy;
  }
  // No cell is longer than its text; cells and rows grow as they are found,
  // from a guess of one cell in eight bytes and one row in a hundred.
  bytes_.ResizeUninit(text.size());
  bytes_.MapAhead(text.size());
  cells_.Reserve(text.size() / 8 + 16);
  rowEnd_.Reserve(text.size() / 128 + 16);
  size_t kept = 0;
  bool ok;
  // The search for what the writer never writes takes the event steps alone,
  // where the classifier hardly counts.
  switch (findings ? CsvVectorUnit::Portable : CurrentUnit()) {
#if defined(__SSE2__)
    case CsvVectorUnit::Avx2:
      ok = RunAvx2(text, bytes_.data(), cells_, rowEnd_, joinedOnly, kept);
      break;
    case CsvVectorUnit::Sse2:
      ok = RunParser<Sse2Classifier, false>(text, bytes_.data(), cells_, rowEnd_, joinedOnly, kept, nullptr);
      break;
#endif
    default:
      ok = findings ? RunParser<ScalarClassifier, true>(text, bytes_.data(), cells_, rowEnd_, joinedOnly, kept, findings)
                    : RunParser<ScalarClassifier, false>(text, bytes_.data(), cells_, rowEnd_, joinedOnly, kept, nullptr);
      break;
  }
  if (!ok) {
    Clear();
    if (findings) *findings = {};
    return false;
  }
  unused_ = bytes_.size() - kept;
  return true;
}

void TCSVData::SetText(std::string_view text) { Parse(text, false); }

void TCSVData::SetText(std::string_view text, CsvTextFindings& findings) { Parse(text, false, &findings); }

CsvVectorUnit UseCsvVectorUnit(CsvVectorUnit unit) {
  CsvVectorUnit use = std::min(unit, BestUnit());
  UnitInUse().store(use, std::memory_order_relaxed);
  return use;
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
  // Straight from the mapping; only a file whose lines do not all end in
  // CR LF is joined first.
  LoadFromText(file.bytes());
  return true;
}

void TCSVData::LoadFromStream(std::istream& in) {
  LoadFromText(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
}

void TCSVData::LoadFromText(std::string_view bytes, CsvTextFindings* findings) {
  if (!Parse(bytes, true, findings)) Parse(JoinLinesCrLf(bytes), false, findings);
}

std::string TCSVData::SaveToText() const {
  // GetText ends every row with CR LF; only line breaks inside cells need joining.
  std::string text = GetText();
  if (IsJoinedCrLf(text)) return text;
  return JoinLinesCrLf(text);
}

bool TCSVData::SaveToFile(const std::filesystem::path& path) const { return WriteFileAtomically(path, SaveToText()); }

void TCSVData::SaveToStream(std::ostream& out) const {
  const std::string text = SaveToText();
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace qv
