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
  // Our files are Shift-JIS text throughout; anything else is no bookmark file.
  if (CheckCsvText(text) != CsvTextError::None) return fail(FileError::Damaged);
  BookmarkList loaded;
  ReadCsv(text, true, loaded);
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
  return table.GetText();
}

int ReadCsv(std::string_view text, bool whole, BookmarkList& entries, CsvTextError* error) {
  if (error) *error = CsvTextError::None;
  if (!whole) {
    const CsvTextError check = CheckCsvText(text);
    if (check != CsvTextError::None) {
      if (error) *error = check;
      return 0;
    }
  } else {
    entries.clear();
  }
  TCSVData table;
  table.SetText(JoinLinesCrLf(text));
  int first = 0;
  if (!whole && table.RowCount() > 0) {
    const TCSVRow head = table.Rows(0);
    if (head.size() == Captions().size() && std::equal(head.begin(), head.end(), Captions().begin())) first = 1;
  }
  for (int r = first; r < table.RowCount(); ++r) {
    BookmarkEntry e;
    for (int f = 0; f < kBookmarkFields; ++f) e.fields[static_cast<size_t>(f)] = table.GetCell(r, f);
    entries.push_back(std::move(e));
  }
  return table.RowCount() - first;
}

}  // namespace qv
