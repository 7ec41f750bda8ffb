#pragma once
// Mail folders as tests and benchmarks fill and read them: appending a mail,
// the live mails of a folder, and the raw index rows and store bytes behind
// it. Folder names are CP932.
#include "core/data/MailStore.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qvtest {

// Retries that give up at once, for tests that expect a refusal.
qv::RetryPolicy QuickRetry(int tries = 3);

// Appends a mail to the folder; its id, empty when it could not be stored.
std::string AppendMail(std::string_view folder, std::string_view text, const qv::MailIndexRow& row);

// The mails of a folder that can be read back, in index order.
struct LiveMail {
  qv::TCSVRow row;
  std::string text;
};
std::vector<LiveMail> ReadLiveMails(std::string_view folder);
// A column of the folder's live rows, in index order.
std::vector<std::string> LiveColumnOf(std::string_view folder, int column);

// Every row of the folder's index file in mailDir, live or not.
std::vector<qv::TCSVRow> IndexRows(const std::filesystem::path& mailDir, std::string_view folder);
// The folder's store file in mailDir; empty when there is none.
std::string StoreBytes(const std::filesystem::path& mailDir, std::string_view folder);

}  // namespace qvtest
