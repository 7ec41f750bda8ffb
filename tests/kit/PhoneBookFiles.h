#pragma once
// Phone books for tests and benches given by what the recipient picker reads
// (reading, name, six phones, six mail addresses; the other fields empty),
// written by the core's phone-book writer.
#include "core/data/CSVData.h"
#include "core/data/PhoneBook.h"

#include <filesystem>
#include <string>
#include <vector>

namespace qvtest {

struct BookRow {
  std::string reading, name;
  std::vector<std::string> phones, mails;  // up to six each
};

inline qv::PhoneBookList BookEntries(const std::vector<BookRow>& rows) {
  qv::PhoneBookList list;
  for (const BookRow& b : rows) {
    qv::PhoneBookEntry e;
    e.SetField(qv::kPbKana, b.reading);
    e.SetField(qv::kPbKanji, b.name);
    for (size_t i = 0; i < b.phones.size() && i < qv::kPbNumbers; ++i)
      e.SetField(qv::kPbPhone1 + static_cast<int>(i), b.phones[i]);
    for (size_t i = 0; i < b.mails.size() && i < qv::kPbNumbers; ++i)
      e.SetField(qv::kPbMail1 + static_cast<int>(i), b.mails[i]);
    list.push_back(std::move(e));
  }
  return list;
}

// The "Address.idx" table the phone-book file holds for the rows.
inline qv::TCSVData BookTable(const std::vector<BookRow>& rows) {
  qv::TCSVData table;
  table.SetText(qv::WriteCsv(BookEntries(rows), true));
  return table;
}

inline bool WritePhoneBook(const std::filesystem::path& path, const std::vector<BookRow>& rows) {
  return qv::SaveArchive(path, BookEntries(rows));
}

}  // namespace qvtest
