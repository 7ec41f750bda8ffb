#pragma once
// Phone-book files for tests and benches: rows of the "Address.idx" table
// (reading, name, six phones, six mail addresses, the rest empty) written as
// the phone book keeps them.
#include "core/CSVData.h"
#include "core/NamedRecordFile.h"

#include <filesystem>
#include <string>
#include <vector>

namespace qvtest {

struct BookRow {
  std::string reading, name;
  std::vector<std::string> phones, mails;  // up to six each
};

inline qv::TCSVData BookTable(const std::vector<BookRow>& rows) {
  qv::TCSVData table;
  for (const BookRow& b : rows) {
    const int r = table.AddRow();
    table.SetCell(r, 0, b.reading);
    table.SetCell(r, 1, b.name);
    for (size_t i = 0; i < b.phones.size() && i < 6; ++i) table.SetCell(r, 2 + static_cast<int>(i), b.phones[i]);
    for (size_t i = 0; i < b.mails.size() && i < 6; ++i) table.SetCell(r, 8 + static_cast<int>(i), b.mails[i]);
    table.SetCell(r, 51, "");  // every field of an entry is written
  }
  return table;
}

inline bool WritePhoneBook(const std::filesystem::path& path, const std::vector<BookRow>& rows) {
  return qv::WriteNamedRecordFile(path, {{"Address.idx", BookTable(rows).GetText()}});
}

}  // namespace qvtest
