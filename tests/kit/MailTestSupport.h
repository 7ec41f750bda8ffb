#pragma once
// A launcher folder with an empty mail folder, and readers of the folder files
// for checking what the store wrote.
#include "core/data/MailStore.h"
#include "platform/Paths.h"

#include "MailFolders.h"
#include "TestSupport.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace mailtest {

// Retries that give up at once, for tests that expect a refusal.
inline qv::RetryPolicy Quick(int tries = 3) { return qvtest::QuickRetry(tries); }

// An index row of a received e-mail with the given subject.
inline qv::MailIndexRow Row(std::string_view subject = "s", int unread = 1) {
  qv::MailIndexRow row;
  qv::BuildIndexRow(row, 3, 0, unread, 0, 0, 0, 0, "from@example.jp", "to@example.jp", subject, "2024/01/02 03:04:05",
                    "");
  return row;
}

class MailDir {
 public:
  MailDir() : launcher_(tmp_ / "app") { std::filesystem::create_directories(dir()); }
  std::filesystem::path dir() const { return tmp_ / "app" / "MailLog"; }
  // Folder names are CP932; the files have their UTF-8 names.
  std::filesystem::path index(std::string_view folder) const { return qv::PathIn(dir(), std::string(folder) + ".qvm"); }
  std::filesystem::path store(std::string_view folder) const { return qv::PathIn(dir(), std::string(folder) + ".qvs"); }
  std::string indexText(std::string_view folder) const { return qvtest::ReadFile(index(folder)); }
  std::string storeText(std::string_view folder) const { return qvtest::ReadFile(store(folder)); }
  const qvtest::TempDir& tmp() const { return tmp_; }

 private:
  qvtest::TempDir tmp_;
  qvtest::ScopedLauncherDir launcher_;
};

// (id, text) of every live mail, in index order.
inline std::vector<std::pair<std::string, std::string>> LiveMails(std::string_view folder) {
  std::vector<std::pair<std::string, std::string>> mails;
  for (const auto& mail : qvtest::ReadLiveMails(folder)) mails.emplace_back(mail.row[qv::kColId], mail.text);
  return mails;
}

inline std::string Add(std::string_view folder, std::string_view text, const qv::MailIndexRow& row = Row()) {
  return qvtest::AppendMail(folder, text, row);
}

}  // namespace mailtest
