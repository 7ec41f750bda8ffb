#pragma once
// The phone book: entries of 52 text fields and a picture, the phone-book
// file (a named-record container holding "Address.idx" and one "<row>.bmp"
// member per picture) and the CSV export and import of 17 columns. Text is
// CP932; every reader of phone-book files goes through here.
#include "core/data/CSVData.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// Fields of an entry. Field 0 is the kana name, the list row's caption;
// fields 1-50 are the list's columns; field 51 keeps the raw handset items.
enum PhoneBookField : int {
  kPbKana = 0,
  kPbKanji = 1,
  kPbPhone1 = 2,  // .. 7
  kPbMail1 = 8,   // .. 13
  kPbPostCode = 14,
  kPbAddress = 15,
  kPbBirthDate = 16,
  kPbBloodType = 17,
  kPbMemo = 18,
  kPbSex = 19,
  kPbAge = 20,
  kPbHobby = 21,
  kPbCompanyKana = 22,
  kPbCompanyKanji = 23,
  kPbCompanyPhone1 = 24,  // .. 29
  kPbCompanyMail1 = 30,   // .. 35
  kPbCompanyPostCode = 36,
  kPbCompanyAddress = 37,
  kPbCompanyDate = 38,
  kPbCompanyMemo = 39,
  kPbCompanyAge = 40,
  kPbTitle = 41,
  kPbDepartment = 42,
  kPbSecret = 43,
  kPbGroup = 44,
  kPbListKind = 45,
  kPbUpdated = 46,
  kPbCreated = 47,
  kPbLastOutgoing = 48,
  kPbLastIncoming = 49,
  kPbPictureFlag = 50,
  kPbRawItems = 51,
  kPhoneBookFields = 52,
};
// The phones and mail addresses of a block.
inline constexpr int kPbNumbers = 6;
// Columns of the list: fields 0-50 (field 51 has none).
inline constexpr int kPhoneBookColumns = 51;

// The column caption of field 0-50 (CP932); empty for any other.
const std::string& PhoneBookCaption(int field);
// The field a caption names, or -1.
int PhoneBookFieldOf(std::string_view caption);
// The list column's comparison: 2 for the dates, 1 for the ages, 0 for text.
int PhoneBookColumnTag(int field);

class PhoneBookEntry {
 public:
  PhoneBookEntry() : ends_(kPhoneBookFields, 0) {}

  // At least 52; a row read from a file with more cells keeps them all.
  int FieldCount() const { return static_cast<int>(ends_.size()); }
  // Empty when the entry has no such field.
  std::string_view Field(int field) const;
  // Adds empty fields as needed.
  void SetField(int field, std::string_view value);
  // By column caption: "名前(カナ)" is field 0; an unknown caption reads empty
  // and is not written.
  std::string_view Field(std::string_view caption) const;
  void SetField(std::string_view caption, std::string_view value);
  // Fields first to last (all that follow when last is -1), as strings.
  std::vector<std::string> Fields(int first = 0, int last = -1) const;
  // Every field of a table row at once, padded to 52.
  void AssignRow(const TCSVData& table, int row);

  // The picture's bytes (a Windows bitmap as a rule), or none.
  std::optional<std::string> picture;

  bool operator==(const PhoneBookEntry& other) const {
    return ends_ == other.ends_ && bytes_ == other.bytes_ && picture == other.picture;
  }

 private:
  // The fields back to back and where each ends: a large phone book costs two
  // allocations an entry instead of one a field.
  std::string bytes_;
  std::vector<uint32_t> ends_;
};
using PhoneBookList = std::vector<PhoneBookEntry>;

// Why a file was not read.
enum class FileError {
  None,
  Missing,     // no such file
  Unreadable,  // it could not be opened or read
  NoIndex,     // a container without "Address.idx"
  Damaged,     // a malformed or truncated container
};

// The phone-book file into entries, in file order. On failure entries stay
// as they were.
bool LoadArchive(const std::filesystem::path& path, PhoneBookList& entries, FileError* error = nullptr);
// Writes the entries as a new file, replacing the old one atomically: a
// failure leaves the old file whole.
bool SaveArchive(const std::filesystem::path& path, const PhoneBookList& entries);
// Only the "Address.idx" table of a phone-book file (the lookups need no
// pictures); false when the file cannot be read, is damaged or lacks it.
bool LoadPhoneBookIndex(const std::filesystem::path& path, TCSVData& table);

// The 17 columns of the CSV export, in order.
const std::vector<std::string>& PhoneBookExportCaptions();

// What stopped a CSV import: the text is no Shift-JIS text (UTF-8 with or
// without its mark, or binary bytes), or a quoted cell is never closed.
enum class CsvTextError { None, NotShiftJis, OpenQuote };
// Checks a whole CSV text before anything of it is taken: by what the parser
// met (a quote never closed, NUL bytes outside quotes) and by the text's look
// (UTF-8). What the writer writes passes, unless its bytes look like UTF-8.
CsvTextError CheckCsvText(std::string_view text);
// Reads the text as a file's lines are read into table and checks it as
// CheckCsvText does, in one parse; the table holds the text either way.
CsvTextError ParseCsvText(std::string_view text, TCSVData& table);

// The list as CSV text. whole: the file layout (caption and every field of
// each entry, no caption row); otherwise the export layout with its caption
// row, "シークレット" written "1" for "ON" and "0" otherwise.
std::string WriteCsv(const PhoneBookList& entries, bool whole);
// Reads CSV text into the list. whole: the file layout, the list replaced;
// otherwise the export layout, entries appended (a first row equal to the
// export captions is skipped, and "シークレット" "1"/"0" read as "ON"/"OFF").
// An import (not whole) of text that fails CheckCsvText appends nothing.
// Returns the number of entries read.
int ReadCsv(std::string_view text, bool whole, PhoneBookList& entries, CsvTextError* error = nullptr);

}  // namespace qv
