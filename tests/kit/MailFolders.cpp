#include "MailFolders.h"

#include "platform/Paths.h"

#include "TestSupport.h"

namespace qvtest {

qv::RetryPolicy QuickRetry(int tries) { return qv::RetryPolicy{tries, std::chrono::milliseconds(5), {}}; }

std::string AppendMail(std::string_view folder, std::string_view text, const qv::MailIndexRow& row) {
  std::string id;
  if (!qv::AddMessageToFolder(folder, text, row, id, QuickRetry())) return {};
  return id;
}

std::vector<LiveMail> ReadLiveMails(std::string_view folder) {
  std::vector<LiveMail> mails;
  qv::MailFolder f;
  if (!f.Open(folder, QuickRetry())) return mails;
  for (int r = 0; r < f.Index().RowCount(); ++r) {
    std::string text;
    if (qv::ReadMessageByIndex(f, r, text)) mails.push_back({f.Index().Rows(r), text});
  }
  return mails;
}

std::vector<std::string> LiveColumnOf(std::string_view folder, int column) {
  std::vector<std::string> cells;
  qv::MailFolder f;
  if (!f.Open(folder, QuickRetry())) return cells;
  for (int r = 0; r < f.Index().RowCount(); ++r)
    if (qv::IsLiveRow(f.Index(), r)) cells.emplace_back(qv::IndexCell(f.Index(), r, column));
  return cells;
}

std::vector<qv::TCSVRow> IndexRows(const std::filesystem::path& mailDir, std::string_view folder) {
  qv::TCSVData index;
  index.SetText(ReadFile(qv::PathIn(mailDir, std::string(folder) + ".qvm")));
  std::vector<qv::TCSVRow> rows;
  for (int r = 0; r < index.RowCount(); ++r) rows.push_back(index.Rows(r));
  return rows;
}

std::string StoreBytes(const std::filesystem::path& mailDir, std::string_view folder) {
  const auto path = qv::PathIn(mailDir, std::string(folder) + ".qvs");
  return std::filesystem::exists(path) ? ReadFile(path) : std::string();
}

}  // namespace qvtest
