#pragma once
// The one CSV table of the system: mail indexes, phone book, bookmarks, theme
// index. A cell is quoted when it holds a single-byte character up to the
// blank, a double quote or a comma; rows end with CR LF. Text is CP932 and
// double-byte characters are always taken whole.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iosfwd>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace qv {

using TCSVRow = std::vector<std::string>;

// What a parse met besides cells that the writer never writes: a quoted cell
// still open at the end of the text, a NUL byte outside quotes (binary
// bytes). Text that GetText wrote has neither.
struct CsvTextFindings {
  bool openQuote = false;
  bool strayNul = false;
};

namespace csvdetail {
// Asks for huge pages on the aligned inside of a large buffer, so that filling
// a big table takes a few page faults instead of thousands.
void AdviseLargeBuffer(void* data, size_t bytes);
// Maps the pages of bytes from..to of a buffer in one call, where each would
// otherwise fault in on its first write.
void PrefaultBuffer(void* data, size_t from, size_t to);

// A growable array of plain values that never initialises what it grows by:
// the parser writes every element it keeps, so zero-filling first would only
// touch the memory twice.
template <class T>
class PodArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  PodArray() = default;
  PodArray(const PodArray& o) { *this = o; }
  PodArray(PodArray&& o) noexcept : data_(o.data_), size_(o.size_), cap_(o.cap_), mapped_(o.mapped_) {
    o.data_ = nullptr, o.size_ = o.cap_ = o.mapped_ = 0;
  }
  PodArray& operator=(const PodArray& o) {
    if (this != &o) {
      size_ = 0;
      Append(o.data_, o.size_);
    }
    return *this;
  }
  PodArray& operator=(PodArray&& o) noexcept {
    std::swap(data_, o.data_);
    std::swap(size_, o.size_);
    std::swap(cap_, o.cap_);
    std::swap(mapped_, o.mapped_);
    return *this;
  }
  ~PodArray() { std::free(data_); }

  size_t size() const { return size_; }
  size_t capacity() const { return cap_; }
  bool empty() const { return size_ == 0; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }
  void clear() { size_ = 0; }
  void Reserve(size_t n) {
    if (n > cap_) Grow(n);
  }
  // New elements are left as they are.
  void ResizeUninit(size_t n) {
    Reserve(n);
    size_ = n;
  }
  // Elements up to n are about to be written: in a large array their pages,
  // and a stretch beyond, are mapped in one call instead of faulting in page
  // by page; only what is written soon is mapped. Returns how far the array
  // needs no more of it.
  size_t MapAhead(size_t n) {
    constexpr size_t kStretch = (size_t{256} << 10) / sizeof(T);
    if (n <= mapped_) return mapped_;
    const size_t to = cap_ < kStretch ? cap_ : std::min(cap_, std::max(n, mapped_ + kStretch));
    if (cap_ >= kStretch) PrefaultBuffer(data_, mapped_ * sizeof(T), to * sizeof(T));
    mapped_ = to;
    return mapped_;
  }
  void push_back(const T& v) {
    if (size_ == cap_) Grow(size_ + 1);
    data_[size_++] = v;
  }
  void Append(const T* from, size_t n) {
    Reserve(size_ + n);
    if (n) std::memcpy(data_ + size_, from, n * sizeof(T));
    size_ += n;
  }
  void Insert(size_t at, size_t count, const T& v) {
    Reserve(size_ + count);
    std::memmove(data_ + at + count, data_ + at, (size_ - at) * sizeof(T));
    for (size_t i = 0; i < count; ++i) data_[at + i] = v;
    size_ += count;
  }
  void Erase(size_t at, size_t count) {
    std::memmove(data_ + at, data_ + at + count, (size_ - at - count) * sizeof(T));
    size_ -= count;
  }

 private:
  void Grow(size_t need) {
    size_t cap = cap_ < 16 ? 16 : cap_ * 2;
    if (cap < need) cap = need;
    if (cap > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    void* p = std::realloc(data_, cap * sizeof(T));
    if (!p) throw std::bad_alloc();
    data_ = static_cast<T*>(p);
    cap_ = cap;
    AdviseLargeBuffer(data_, cap_ * sizeof(T));
    // What was kept is mapped; the rest is new.
    mapped_ = std::min(mapped_, size_);
  }

  T* data_ = nullptr;
  size_t size_ = 0;
  size_t cap_ = 0;
  size_t mapped_ = 0;  // elements whose pages are known to be mapped
};
}  // namespace csvdetail

class TCSVData {
 public:
  TCSVData() = default;
  TCSVData(const TCSVData& other) = default;
  TCSVData(TCSVData&& other) noexcept = default;
  TCSVData& operator=(const TCSVData& other);
  TCSVData& operator=(TCSVData&& other) noexcept;
  void Assign(const TCSVData& other) { *this = other; }

  // Grows with every change of this table's content (assignments included),
  // so that data derived from the table can tell whether it still holds.
  uint64_t Revision() const { return revision_; }

  int AddRow();
  void Clear();
  void DeleteRow(int row);
  int RowCount() const { return static_cast<int>(rowEnd_.size()); }
  // A copy of the row's cells (empty for an out-of-range row).
  TCSVRow Rows(int row) const;
  int CellCount(int row) const;

  // Empty when row or col is out of range. Valid until the table changes.
  std::string_view GetCell(int row, int col) const;
  // Appends empty rows and cells as needed so that (row, col) exists.
  void SetCell(int row, int col, std::string_view text);
  // First row whose cell col equals value exactly, or -1.
  int IndexOf(int col, std::string_view value) const;

  std::string GetText() const;
  void SetText(std::string_view text);
  // The same, and what the parse met besides the cells.
  void SetText(std::string_view text, CsvTextFindings& findings);

  // Files and streams are read as lines (CR, LF or CR LF) joined with CR LF.
  bool LoadFromFile(const std::filesystem::path& path);
  void LoadFromStream(std::istream& in);
  // The bytes of a file read that way.
  void LoadFromText(std::string_view bytes, CsvTextFindings* findings = nullptr);
  // Every line written with CR LF, a line break inside a cell too. The file
  // is replaced atomically.
  bool SaveToFile(const std::filesystem::path& path) const;
  void SaveToStream(std::ostream& out) const;
  // The bytes both write.
  std::string SaveToText() const;

 private:
  // Cell bytes live back to back in one buffer; a cell is a slice of it. This
  // keeps a large index to a few allocations instead of one per cell and row.
  struct Cell {
    uint32_t offset;
    uint32_t length;
  };
  size_t RowBegin(size_t row) const { return row == 0 ? 0 : rowEnd_[row - 1]; }
  std::string_view View(const Cell& c) const { return std::string_view(bytes_.data() + c.offset, c.length); }
  void Compact();
  // Appends to bytes_; tables are limited to 4 GB of cell text.
  uint32_t AppendBytes(std::string_view text);
  // Parses text into the cleared table. With joinedOnly, text whose line
  // breaks are not all CR LF (or that lacks a final one) is refused (false)
  // and the table left empty, so that a file reader can join its lines first.
  // With findings the parse also looks for what the writer never writes.
  bool Parse(std::string_view text, bool joinedOnly, CsvTextFindings* findings = nullptr);
  void Changed() { ++revision_; }

  csvdetail::PodArray<char> bytes_;
  csvdetail::PodArray<Cell> cells_;     // every row's cells in order
  csvdetail::PodArray<size_t> rowEnd_;  // where each row's cells end in cells_
  size_t unused_ = 0;                   // bytes no cell refers to any more
  uint64_t revision_ = 0;
};

// The vector unit the parser classifies bytes with; the best one the
// processor has unless a test picks another.
enum class CsvVectorUnit { Portable, Sse2, Avx2 };
// Picks the unit, or the best one below it that the processor has; returns the
// unit now in use.
CsvVectorUnit UseCsvVectorUnit(CsvVectorUnit unit);

// Text with every line break (CR, LF or CR LF) made CR LF and a CR LF after the
// last line, as reading a text file line by line and joining the lines gives.
std::string JoinLinesCrLf(std::string_view text);
// Whether text already has that form.
bool IsJoinedCrLf(std::string_view text);

}  // namespace qv
