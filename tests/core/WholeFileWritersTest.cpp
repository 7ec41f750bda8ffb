// The writers of whole files (CSV tables, named-record containers, handset
// exchange files, the error log) replace a file the crash-safe way: the new bytes go into a
// temporary beside it, flushed to disk, renamed over the file, and the
// folder's entry is flushed; the file itself is never written in place.
#include "core/data/Bookmarks.h"
#include "core/data/CSVData.h"
#include "core/data/ErrorLog.h"
#include "core/data/HandsetExchange.h"
#include "core/data/NamedRecordFile.h"
#include "core/data/PhoneBook.h"

#include "FileSteps.h"
#include "TestSupport.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

TEST(WholeFileWriters, ReplaceTheFileThroughAFlushedTemporaryAndFlushTheFolder) {
  qvtest::TempDir dir;
  std::filesystem::create_directories(dir / "data");
  struct Case {
    const char* what;
    std::filesystem::path file;
    std::function<bool(const std::filesystem::path&)> write;
  } cases[] = {
      {"CSV table", dir / "data" / "Address.csv",
       [](const std::filesystem::path& p) {
         qv::TCSVData table;
         table.SetCell(0, 0, "a,b");
         table.SetCell(1, 2, "line\r\nbreak");
         return table.SaveToFile(p);
       }},
      {"named-record container", dir / "data" / "Address.qad",
       [](const std::filesystem::path& p) {
         return qv::WriteNamedRecordFile(p, {{"Address.idx", "1,2\r\n"}, {"pic", std::string(5000, 'p')}});
       }},
      {"handset exchange file", dir / "data" / "Temp1.dat",
       [](const std::filesystem::path& p) { return qv::HandsetExchangeFile::Write(p, {"0A4D524C58", "0B4D524C58"}); }},
      {"phone book", dir / "data" / "Book.qad",
       [](const std::filesystem::path& p) {
         qv::PhoneBookList book(2);
         book[0].SetField(qv::kPbKanji, "a");
         book[1].picture = std::string(3000, 'b');
         return qv::SaveArchive(p, book);
       }},
      {"bookmarks", dir / "data" / "Marks.qbk",
       [](const std::filesystem::path& p) {
         qv::BookmarkList marks(1);
         marks[0].fields[qv::kBmAddress] = "http://example.jp/";
         return qv::SaveBookmarks(p, marks);
       }},
      {"error log", dir / "data" / "Error.log",
       [](const std::filesystem::path& p) { return qv::AppendErrorLog(p, "2003/01/05 09:07:03 :  : cut"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (int pass = 0; pass < 2; ++pass) {  // a new file, then one that exists
      qvtest::FileStepLog steps(dir.path());
      ASSERT_TRUE(c.write(c.file));
      EXPECT_EQ(steps.Lines(), steps.Replaced(c.file));
    }
  }
}

}  // namespace
