// Mail folder store: appending 10,000 mails of 2 KB, loading and counting the
// index (beside reading the same file and splitting it into lines), reading
// every mail, compacting with half the mails deleted, and one crash-safe
// append into a full folder.
//   mailstore_bench [benchmark options]
// The folders live in a temporary launcher folder (TMPDIR), removed at exit.
#include "core/MailStore.h"
#include "core/TextFunctions.h"
#include "platform/Cp932.h"
#include "platform/FileUtil.h"
#include "platform/Paths.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kMails = 10000;
constexpr size_t kMailBytes = 2048;
const char* const kFull = "full";

std::filesystem::path g_mailDir;

qv::RetryPolicy NoWait() { return qv::RetryPolicy{1, std::chrono::milliseconds(0), {}}; }

// A received mail of exactly kMailBytes with CR LF lines.
std::string Mail(int n) {
  std::string text = "From: sender" + std::to_string(n) + "@example.jp\r\nTo: me@example.jp\r\nSubject: " +
                     qv::cp932::FromUtf8("お知らせ ") + std::to_string(n) + "\r\n\r\n";
  std::mt19937 rng(static_cast<unsigned>(n));
  while (text.size() < kMailBytes - 2) {
    size_t len = std::min<size_t>(60 + rng() % 15, kMailBytes - 2 - text.size());
    for (size_t i = 0; i + 2 < len; ++i) text += static_cast<char>('a' + rng() % 26);
    text += "\r\n";
  }
  text.resize(kMailBytes - 2);
  return text + "\r\n";
}

qv::MailIndexRow RowFor(int n) {
  qv::MailIndexRow row;
  qv::BuildIndexRow(row, 3, 0, n % 3 == 0, 0, 0, 0, 0,
                    qv::cp932::FromUtf8("送信者 ") + "<sender" + std::to_string(n) + "@example.jp>", "me@example.jp",
                    qv::cp932::FromUtf8("お知らせ ") + std::to_string(n), "2024/06/07 12:34:56", "");
  return row;
}

void RemoveFolder(const std::string& name) {
  std::error_code ec;
  for (const char* ext : {".qvm", ".qvs"}) std::filesystem::remove(g_mailDir / (name + ext), ec);
}

// Appends the mails in one open folder and saves the index once.
bool Fill(const std::string& name, const std::vector<std::string>& mails) {
  qv::MailFolder f;
  if (!f.Open(name, NoWait())) return false;
  std::string id;
  for (size_t i = 0; i < mails.size(); ++i)
    if (!qv::AppendMessage(f, mails[i], RowFor(static_cast<int>(i)), id)) return false;
  return f.SaveIndex();
}

const std::vector<std::string>& Mails() {
  static const std::vector<std::string> mails = [] {
    std::vector<std::string> m;
    for (int i = 0; i < kMails; ++i) m.push_back(Mail(i));
    return m;
  }();
  return mails;
}

void BM_Append10000(benchmark::State& state) {
  const auto& mails = Mails();
  for (auto _ : state) {
    state.PauseTiming();
    RemoveFolder("append");
    state.ResumeTiming();
    if (!Fill("append", mails)) state.SkipWithError("append failed");
  }
  state.SetItemsProcessed(state.iterations() * kMails);
  state.SetBytesProcessed(state.iterations() * kMails * static_cast<int64_t>(kMailBytes));
}

// One crash-safe append into a folder of state.range(0) mails: open, load
// the index, write the mail, flush it, replace the index.
void BM_AddMessageToFolder(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const std::string name = "add" + std::to_string(rows);
  RemoveFolder(name);
  std::vector<std::string> mails(Mails().begin(), Mails().begin() + rows);
  if (!Fill(name, mails)) state.SkipWithError("fill failed");
  const std::string mail = Mail(rows);
  const qv::MailIndexRow row = RowFor(rows);
  std::string id;
  for (auto _ : state)
    if (!qv::AddMessageToFolder(name, mail, row, id, NoWait())) state.SkipWithError("append failed");
  state.SetItemsProcessed(state.iterations());
  RemoveFolder(name);
}

// The yardstick: the index file read whole and split into lines.
void BM_ReadIndexAsLines(benchmark::State& state) {
  const auto path = g_mailDir / (std::string(kFull) + ".qvm");
  size_t bytes = 0;
  for (auto _ : state) {
    std::string text;
    qv::ReadWholeFile(path, text);
    auto lines = qv::SplitLines(text);
    benchmark::DoNotOptimize(lines.size());
    bytes = text.size();
  }
  state.SetItemsProcessed(state.iterations() * kMails);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

// A tighter yardstick: the file mapped and cut at each LF with memchr.
void BM_MapIndexAsLines(benchmark::State& state) {
  const auto path = g_mailDir / (std::string(kFull) + ".qvm");
  for (auto _ : state) {
    qv::MappedFile file(path);
    std::string_view text = file.bytes();
    std::vector<std::string_view> lines;
    for (size_t start = 0; start < text.size();) {
      const void* lf = std::memchr(text.data() + start, '\n', text.size() - start);
      size_t end = lf ? static_cast<size_t>(static_cast<const char*>(lf) - text.data()) : text.size();
      lines.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    benchmark::DoNotOptimize(lines.size());
  }
  state.SetItemsProcessed(state.iterations() * kMails);
}

// The shared CSV table alone loading the index, for what counting adds to it.
void BM_LoadIndexTable(benchmark::State& state) {
  const auto path = g_mailDir / (std::string(kFull) + ".qvm");
  for (auto _ : state) {
    qv::TCSVData table;
    table.LoadFromFile(path);
    benchmark::DoNotOptimize(table.RowCount());
  }
  state.SetItemsProcessed(state.iterations() * kMails);
}

void BM_CountMessages(benchmark::State& state) {
  for (auto _ : state) {
    int total = 0, unread = 0;
    if (!qv::CountMessages(kFull, total, unread, NoWait()) || total != kMails) state.SkipWithError("count failed");
    benchmark::DoNotOptimize(unread);
  }
  state.SetItemsProcessed(state.iterations() * kMails);
}

// Opening the folder: both locks, the leftover check and the index loaded.
void BM_OpenFolder(benchmark::State& state) {
  for (auto _ : state) {
    qv::MailFolder f;
    if (!f.Open(kFull, NoWait())) state.SkipWithError("open failed");
    benchmark::DoNotOptimize(f.Index().RowCount());
  }
  state.SetItemsProcessed(state.iterations() * kMails);
}

void BM_ReadEveryMail(benchmark::State& state) {
  qv::MailFolder f;
  if (!f.Open(kFull, NoWait())) state.SkipWithError("open failed");
  std::string text;
  for (auto _ : state) {
    for (int r = 0; r < f.Index().RowCount(); ++r)
      if (!qv::ReadMessageByIndex(f, r, text)) state.SkipWithError("read failed");
  }
  state.SetItemsProcessed(state.iterations() * kMails);
  state.SetBytesProcessed(state.iterations() * kMails * static_cast<int64_t>(kMailBytes));
}

void BM_CompactHalfDeleted(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::error_code ec;
    for (const char* ext : {".qvm", ".qvs"})
      std::filesystem::copy_file(g_mailDir / (std::string(kFull) + ext), g_mailDir / (std::string("half") + ext),
                                 std::filesystem::copy_options::overwrite_existing, ec);
    qv::MailFolder f;
    if (!f.Open("half", NoWait())) state.SkipWithError("open failed");
    for (int r = 0; r < f.Index().RowCount(); r += 2) qv::SetIndexCell(f.Index(), r, qv::kColDeleted, "1");
    state.ResumeTiming();
    if (!qv::CompactStore(f)) state.SkipWithError("compaction failed");
  }
  state.SetItemsProcessed(state.iterations() * kMails);
  state.SetBytesProcessed(state.iterations() * kMails / 2 * static_cast<int64_t>(kMailBytes));
}

BENCHMARK(BM_Append10000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_AddMessageToFolder)->Arg(1000)->Arg(kMails)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadIndexAsLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapIndexAsLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadIndexTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountMessages)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenFolder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadEveryMail)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompactHalfDeleted)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/qv-mailstore-bench-XXXXXX";
  if (!::mkdtemp(tmpl.data())) return 1;
  const std::filesystem::path root = tmpl;
  qv::SetProgramPathForTesting(root / "Quorvel");
  g_mailDir = root / "MailLog";
  std::filesystem::create_directories(g_mailDir);
  if (!Fill(kFull, Mails())) {
    std::fprintf(stderr, "cannot fill the folder in %s\n", g_mailDir.c_str());
    return 1;
  }
  std::fprintf(stderr, "folder of %d mails: index %.2f MB, store %.1f MB in %s\n", kMails,
               std::filesystem::file_size(g_mailDir / "full.qvm") / 1e6,
               std::filesystem::file_size(g_mailDir / "full.qvs") / 1e6, g_mailDir.c_str());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
  return 0;
}
