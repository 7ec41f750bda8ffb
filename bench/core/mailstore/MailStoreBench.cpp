// Mail folder store: filling one open folder with 1,000, 10,000 and 100,000
// mails of 2 KB (the time per mail should not grow with the folder), loading
// the index of 10,000 and 100,000 mails (beside mapping the same file and
// cutting it into lines), reading every mail, compacting with half the mails
// deleted, and storing one mail crash-safe into a folder of 1,000, 10,000 and
// 100,000 mails: opened for it (AddMessageToFolder), and kept open as a
// session keeps it (the time should not grow with the folder).
//   mailstore_bench [benchmark options]
// The folders live in a temporary launcher folder (TMPDIR), removed at exit.
#include "core/data/MailStore.h"
#include "core/data/TextFunctions.h"
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
constexpr int kBigMails = 100000;
constexpr size_t kMailBytes = 2048;
const char* const kFull = "full";
const char* const kBig = "big";

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

// make(0) .. make(count - 1), made once, before any timing (each caller's
// lambda is a type of its own, and so are its values).
template <class Make>
const auto& MadeOnce(int count, Make make) {
  static const auto values = [&] {
    std::vector<decltype(make(0))> v;
    for (int i = 0; i < count; ++i) v.push_back(make(i));
    return v;
  }();
  return values;
}

const std::vector<std::string>& Mails() { return MadeOnce(kMails, [](int i) { return Mail(i); }); }
const std::vector<qv::MailIndexRow>& Rows() { return MadeOnce(kBigMails, [](int i) { return RowFor(i); }); }

// Appends count mails (the texts over again past kMails) in one open folder
// and saves the index once.
bool Fill(const std::string& name, int count) {
  const auto& texts = Mails();
  const auto& rows = Rows();
  qv::MailFolder f;
  if (!f.Open(name, NoWait())) return false;
  std::string id;
  for (int i = 0; i < count; ++i)
    if (!qv::AppendMessage(f, texts[static_cast<size_t>(i) % texts.size()], rows[static_cast<size_t>(i)], id))
      return false;
  return f.SaveIndex();
}

// One open folder filled with state.range(0) mails: the time per mail
// (items per second) should stay flat as the folder grows.
void BM_FillOneFolder(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const std::string name = "fill" + std::to_string(count);
  for (auto _ : state) {
    state.PauseTiming();
    RemoveFolder(name);
    state.ResumeTiming();
    if (!Fill(name, count)) state.SkipWithError("fill failed");
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.counters["us_per_mail"] = benchmark::Counter(static_cast<double>(state.iterations() * count),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
                                                     benchmark::Counter::kIs1000);
  RemoveFolder(name);
}

std::filesystem::path IndexOf(int mails) {
  return g_mailDir / ((mails == kMails ? std::string(kFull) : std::string(kBig)) + ".qvm");
}

// The index of a folder of state.range(0) mails loaded into the CSV table.
void BM_LoadIndex(benchmark::State& state) {
  const auto path = IndexOf(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    qv::TCSVData table;
    if (!table.LoadFromFile(path) || table.RowCount() != state.range(0)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(table.RowCount());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(path)));
}

// The yardstick for it: the same file mapped and cut at each LF with memchr.
void BM_MapAndSplitIndex(benchmark::State& state) {
  const auto path = IndexOf(static_cast<int>(state.range(0)));
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
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(path)));
}

void BM_Append10000(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    RemoveFolder("append");
    state.ResumeTiming();
    if (!Fill("append", kMails)) state.SkipWithError("append failed");
  }
  state.SetItemsProcessed(state.iterations() * kMails);
  state.SetBytesProcessed(state.iterations() * kMails * static_cast<int64_t>(kMailBytes));
}

// A folder of rows mails under name: a copy of the ones made at start where
// there is one of that size.
bool PrepareFolder(const std::string& name, int rows) {
  RemoveFolder(name);
  if (rows != kMails && rows != kBigMails) return Fill(name, rows);
  const std::string from = rows == kMails ? kFull : kBig;
  std::error_code ec;
  for (const char* ext : {".qvm", ".qvs"})
    std::filesystem::copy_file(g_mailDir / (from + ext), g_mailDir / (name + ext), ec);
  return !ec;
}

// One crash-safe append into a folder of state.range(0) mails: open, load
// the index, write the mail, flush it, save the index.
void BM_AddMessageToFolder(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const std::string name = "add" + std::to_string(rows);
  if (!PrepareFolder(name, rows)) state.SkipWithError("fill failed");
  const std::string mail = Mail(rows);
  const qv::MailIndexRow row = RowFor(rows);
  std::string id;
  for (auto _ : state)
    if (!qv::AddMessageToFolder(name, mail, row, id, NoWait())) state.SkipWithError("append failed");
  state.SetItemsProcessed(state.iterations());
  RemoveFolder(name);
}

// One crash-safe append into a folder of state.range(0) mails that stays
// open, its index in memory: write the mail, flush it, save the index.
// Opens the folder as a session keeps it; a tree whose store has no such
// open keeps the folder loaded.
template <class Folder>
bool OpenAsSession(Folder& f, const std::string& name) {
  if constexpr (requires { f.OpenToAppend(name, NoWait()); })
    return f.OpenToAppend(name, NoWait());
  else
    return f.Open(name, NoWait());
}

void BM_StoreInOpenFolder(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const std::string name = "keep" + std::to_string(rows);
  if (!PrepareFolder(name, rows)) state.SkipWithError("fill failed");
  const std::string mail = Mail(rows);
  const qv::MailIndexRow row = RowFor(rows);
  {
    qv::MailFolder f;
    if (!OpenAsSession(f, name)) state.SkipWithError("open failed");
    std::string id;
    for (auto _ : state)
      if (!qv::AppendMessage(f, mail, row, id) || !f.SaveIndex()) state.SkipWithError("append failed");
  }
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

BENCHMARK(BM_FillOneFolder)->Arg(1000)->Iterations(10)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillOneFolder)->Arg(10000)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillOneFolder)->Arg(kBigMails)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadIndex)->Arg(kMails)->Arg(kBigMails)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapAndSplitIndex)->Arg(kMails)->Arg(kBigMails)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Append10000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_AddMessageToFolder)->Arg(1000)->Arg(kMails)->Arg(kBigMails)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreInOpenFolder)->Arg(1000)->Arg(kMails)->Arg(kBigMails)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadIndexAsLines)->Unit(benchmark::kMillisecond);
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
  if (!Fill(kFull, kMails)) {
    std::fprintf(stderr, "cannot fill the folder in %s\n", g_mailDir.c_str());
    return 1;
  }
  if (!Fill(kBig, kBigMails)) {
    std::fprintf(stderr, "cannot fill the folder of %d mails in %s\n", kBigMails, g_mailDir.c_str());
    return 1;
  }
  for (auto [name, count] : {std::pair{kFull, kMails}, std::pair{kBig, kBigMails}})
    std::fprintf(stderr, "folder of %d mails: index %.2f MB, store %.1f MB in %s\n", count,
                 std::filesystem::file_size(g_mailDir / (std::string(name) + ".qvm")) / 1e6,
                 std::filesystem::file_size(g_mailDir / (std::string(name) + ".qvs")) / 1e6, g_mailDir.c_str());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
  return 0;
}
