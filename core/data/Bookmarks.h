#pragma once
// Bookmarks: entries of name, reading, address and comment, kept in a plain
// CSV file (.qbk, one row per bookmark, no caption row) and exported as CSV
// with a caption row. Text is CP932.
#include "core/data/PhoneBook.h"

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

enum BookmarkField : int { kBmName = 0, kBmReading = 1, kBmAddress = 2, kBmComment = 3, kBookmarkFields = 4 };

// "コンテンツ名", "コンテンツ読み仮名", "コンテンツアドレス", "コメント" (CP932).
const std::string& BookmarkCaption(int field);

struct BookmarkEntry {
  std::array<std::string, kBookmarkFields> fields;
  const std::string& Field(int field) const { return fields[static_cast<size_t>(field)]; }
  bool operator==(const BookmarkEntry&) const = default;
};
using BookmarkList = std::vector<BookmarkEntry>;

// The bookmark file into entries, in file order; on failure (missing or
// unreadable) entries stay as they were.
bool LoadBookmarks(const std::filesystem::path& path, BookmarkList& entries, FileError* error = nullptr);
// Writes every row, replacing the old file atomically.
bool SaveBookmarks(const std::filesystem::path& path, const BookmarkList& entries);

// The rows as CSV text; the export (not whole) puts the caption row first.
std::string WriteCsv(const BookmarkList& entries, bool whole);
// Reads CSV text: whole replaces the list; otherwise rows are appended, a
// first row equal to the captions skipped, and text that fails CheckCsvText
// appends nothing. Each row's cells are name, reading, address and comment.
int ReadCsv(std::string_view text, bool whole, BookmarkList& entries, CsvTextError* error = nullptr);

}  // namespace qv
