#pragma once
// The one CSV table of the system: mail indexes, phone book, bookmarks, theme
// index. A cell is quoted when it holds a single-byte character up to the
// blank, a double quote or a comma; rows end with CR LF. Text is CP932 and
// double-byte characters are always taken whole.
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

using TCSVRow = std::vector<std::string>;

class TCSVData {
 public:
  TCSVData() = default;
  void Assign(const TCSVData& other) { *this = other; }

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

  // Files and streams are read as lines (CR, LF or CR LF) joined with CR LF.
  bool LoadFromFile(const std::filesystem::path& path);
  void LoadFromStream(std::istream& in);
  // Every line written with CR LF. The file is replaced atomically.
  bool SaveToFile(const std::filesystem::path& path) const;
  void SaveToStream(std::ostream& out) const;

 private:
  // Cell bytes live back to back in one buffer; a cell is a slice of it. This
  // keeps a large index to a few allocations instead of one per cell and row.
  struct Cell {
    uint32_t offset = 0;
    uint32_t length = 0;
  };
  size_t RowBegin(size_t row) const { return row == 0 ? 0 : rowEnd_[row - 1]; }
  std::string_view View(const Cell& c) const { return std::string_view(bytes_).substr(c.offset, c.length); }
  void Compact();
  // Appends to bytes_; tables are limited to 4 GB of cell text.
  uint32_t AppendBytes(std::string_view text);

  std::string bytes_;
  std::vector<Cell> cells_;     // every row's cells in order
  std::vector<size_t> rowEnd_;  // where each row's cells end in cells_
  size_t unused_ = 0;           // bytes no cell refers to any more
};

// Text with every line break (CR, LF or CR LF) made CR LF and a CR LF after the
// last line, as reading a text file line by line and joining the lines gives.
std::string JoinLinesCrLf(std::string_view text);
// Whether text already has that form.
bool IsJoinedCrLf(std::string_view text);

}  // namespace qv
