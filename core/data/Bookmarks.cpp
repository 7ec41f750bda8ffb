#include "core/data/Bookmarks.h"

#include "platform/Cp932.h"
#include "platform/FileUtil.h"

#include <system_error>

namespace qv {
namespace {

const std::array<std::string, kBookmarkFields>& Captions() {
  static const std::array<std::string, kBookmarkFields> captions = {
      Sjis("コンテンツ名"), Sjis("コンテンツ読み仮名"), Sjis("コンテンツアドレス"), Sjis("コメント")};
  return captions;
}

void AddRow(TCSVData& table, const std::array<std::string, kBookmarkFields>& cells) {
  const int r = table.AddRow();
  for (int f = kBookmarkFields; f-- > 0;) table.SetCell(r, f, cells[static_cast<size_t>(f)]);
}

// Every row from first on as a bookmark, its cells in field order.
void AppendRows(const TCSVData& table, int first, BookmarkList& entries) {
  for (int r = first; r < table.RowCount(); ++r) {
    BookmarkEntry e;
    for (int f = 0; f < kBookmarkFields; ++f) e.fields[static_cast<size_t>(f)] = table.GetCell(r, f);
    entries.push_back(std::move(e));
  }
}

}  // namespace

const std::string& BookmarkCaption(int field) {
  static const std::string none;
  return field >= 0 && field < kBookmarkFields ? Captions()[static_cast<size_t>(field)] : none;
}

bool LoadBookmarks(const std::filesystem::path& path, BookmarkList& entries, FileError* error) {
  auto fail = [&](FileError e) {
    if (error) *error = e;
    return false;
  };
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return fail(FileError::Missing);
  std::string text;
  if (!ReadWholeFile(path, text)) return fail(FileError::Unreadable);
  // Our files are Shift-JIS text throughout; anything else is no bookmark
  // file. Raw handset bytes may still pass for UTF-8: what the writer gives
  // back byte for byte is a file of ours.
  TCSVData table;
  const CsvTextError check = ParseCsvText(text, table);
  BookmarkList loaded;
  AppendRows(table, 0, loaded);
  if (check != CsvTextError::None && WriteCsv(loaded, true) != text) return fail(FileError::Damaged);
  entries = std::move(loaded);
  if (error) *error = FileError::None;
  return true;
}

bool SaveBookmarks(const std::filesystem::path& path, const BookmarkList& entries) {
  return WriteFileAtomically(path, WriteCsv(entries, true));
}

std::string WriteCsv(const BookmarkList& entries, bool whole) {
  TCSVData table;
  if (!whole) AddRow(table, Captions());
  for (const auto& e : entries) AddRow(table, e.fields);
  return table.SaveToText();
}

int ReadCsv(std::string_view text, bool whole, BookmarkList& entries, CsvTextError* error) {
  if (error) *error = CsvTextError::None;
  TCSVData table;
  if (whole) {
    table.LoadFromText(text);
    entries.clear();
  } else if (const CsvTextError check = ParseCsvText(text, table); check != CsvTextError::None) {
    if (error) *error = check;
    return 0;
  }
  int first = 0;
  if (!whole && table.RowCount() > 0) {
    const TCSVRow head = table.Rows(0);
    if (head.size() == Captions().size() && std::equal(head.begin(), head.end(), Captions().begin())) first = 1;
  }
  AppendRows(table, first, entries);
  return table.RowCount() - first;
}

}  // namespace qv
