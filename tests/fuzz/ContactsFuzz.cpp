// The phone book and the bookmarks: the phone-book file (a container), the
// bookmark file, their CSV import and whole-file layouts, and the handset's
// frame lines of both. What one reads is written and read again, and what
// the program writes its readers never refuse.
#include "FuzzSupport.h"
#include "core/data/Bookmarks.h"
#include "core/data/ContactExchange.h"
#include "core/data/PhoneBook.h"
#include "core/data/TextFunctions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qvfuzz::Input input(data, size);
  const uint8_t how = input.Byte();
  const std::string_view bytes = input.Rest();
  const auto folder = qvfuzz::FreshFolder();
  switch (how % 4) {
    case 0: {  // the phone-book file and the bookmark file as they lie on disk
      qvfuzz::WriteFile(folder / "book.qad", bytes);
      qv::PhoneBookList book;
      qv::FileError error = qv::FileError::None;
      if (qv::LoadArchive(folder / "book.qad", book, &error)) {
        QV_FUZZ_CHECK(qv::SaveArchive(folder / "again.qad", book));
        qv::PhoneBookList again;
        QV_FUZZ_CHECK(qv::LoadArchive(folder / "again.qad", again));
        QV_FUZZ_ROUND_TRIP(again == book);
      }
      qv::TCSVData table;
      qv::LoadPhoneBookIndex(folder / "book.qad", table);
      qv::BookmarkList marks;
      qv::LoadBookmarks(folder / "book.qad", marks);
      break;
    }
    case 1: {  // CSV import and the whole-file layout of the phone book
      qv::PhoneBookList book;
      qv::ReadCsv(bytes, how & 4, book);
      qv::PhoneBookList again;
      qv::ReadCsv(qv::WriteCsv(book, true), true, again);
      QV_FUZZ_ROUND_TRIP(again == book);
      qv::PhoneBookList imported;
      QV_FUZZ_CHECK(qv::ReadCsv(qv::WriteCsv(book, false), false, imported) == static_cast<int>(book.size()));
      break;
    }
    case 2: {  // the same for the bookmarks
      qv::BookmarkList marks;
      qv::ReadCsv(bytes, how & 4, marks);
      qv::BookmarkList again;
      qv::ReadCsv(qv::WriteCsv(marks, true), true, again);
      QV_FUZZ_ROUND_TRIP(again == marks);
      qv::BookmarkList imported;
      QV_FUZZ_CHECK(qv::ReadCsv(qv::WriteCsv(marks, false), false, imported) == static_cast<int>(marks.size()));
      QV_FUZZ_ROUND_TRIP(imported == marks);
      QV_FUZZ_CHECK(qv::SaveBookmarks(folder / "b.qbk", marks));
      qv::BookmarkList opened;
      QV_FUZZ_CHECK(qv::LoadBookmarks(folder / "b.qbk", opened));
      QV_FUZZ_ROUND_TRIP(opened == marks);
      break;
    }
    case 3: {  // the handset's frame lines
      std::vector<std::string> lines;
      for (std::string_view line : qv::SplitLines(bytes)) lines.emplace_back(line);
      const qv::PhoneBookList book = qv::ParsePhoneBookLines(lines);
      const qv::BookmarkList marks = qv::ParseBookmarkLines(lines);
      QV_FUZZ_ROUND_TRIP(qv::ParsePhoneBookLines(qv::BuildPhoneBookLines(book, how & 4)).size() == book.size());
      QV_FUZZ_ROUND_TRIP(qv::ParseBookmarkLines(qv::BuildBookmarkLines(marks, how & 4)).size() == marks.size());
      break;
    }
  }
  return 0;
}
