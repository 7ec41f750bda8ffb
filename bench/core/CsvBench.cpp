// Parse and write a large CSV table of mail-index-like rows.
//   csv_bench [--file=PATH] [--megabytes=N] [benchmark options]
// Without --file it writes the table to a temporary file first (and leaves it
// there, so another reader can be timed on the same bytes).
#include "core/CSVData.h"
#include "platform/Cp932.h"
#include "platform/FileUtil.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

namespace {

std::string g_path;
std::string g_text;

std::string MakeTable(size_t megabytes) {
  std::mt19937 rng(42);
  const std::string names[] = {qv::cp932::FromUtf8("山田太郎"), qv::cp932::FromUtf8("ソフト表示"), "user@example.jp",
                               qv::cp932::FromUtf8("ﾃｽﾄ")};
  const std::string subjects[] = {qv::cp932::FromUtf8("こんにちは"), "Re: meeting, tomorrow",
                                  qv::cp932::FromUtf8("予定の確認 \"重要\""), "hello"};
  qv::TCSVData t;
  std::string out;
  size_t target = megabytes * 1000 * 1000;
  long offset = 0;
  for (int row = 0; out.size() < target; ++row) {
    t.Clear();
    char buf[64];
    std::snprintf(buf, sizeof buf, "2026121008%04d%03d", row % 10000, row % 1000);
    t.SetCell(0, 0, buf);
    t.SetCell(0, 1, std::to_string(1 + rng() % 9));
    t.SetCell(0, 2, std::to_string(rng() % 2));
    std::snprintf(buf, sizeof buf, "2026/12/%02d %02d:%02d:%02d", 1 + row % 28, row % 24, row % 60, (row * 7) % 60);
    t.SetCell(0, 3, buf);
    t.SetCell(0, 4, "0" + std::to_string(70000000000LL + rng() % 1000000000));
    t.SetCell(0, 5, names[rng() % 4]);
    t.SetCell(0, 6, subjects[rng() % 4]);
    int size = 200 + static_cast<int>(rng() % 3000);
    t.SetCell(0, 7, std::to_string(offset));
    t.SetCell(0, 8, std::to_string(size));
    offset += size;
    for (int c = 9; c < 16; ++c) t.SetCell(0, c, c % 3 ? std::to_string(rng() % 100) : "");
    out += t.GetText();
  }
  return out;
}

// A fresh table each time, freed inside the timing too, as a reader that
// loads an index once pays for it.
void BM_SetText(benchmark::State& state) {
  for (auto _ : state) {
    qv::TCSVData t;
    t.SetText(g_text);
    benchmark::DoNotOptimize(t.RowCount());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_text.size()));
}

// The same table parsed again: its memory is already there.
void BM_SetTextWarmTable(benchmark::State& state) {
  qv::TCSVData t;
  for (auto _ : state) {
    t.SetText(g_text);
    benchmark::DoNotOptimize(t.RowCount());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_text.size()));
}

void BM_LoadFromFile(benchmark::State& state) {
  for (auto _ : state) {
    qv::TCSVData t;
    t.LoadFromFile(g_path);
    benchmark::DoNotOptimize(t.RowCount());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_text.size()));
}

void BM_GetText(benchmark::State& state) {
  qv::TCSVData t;
  t.SetText(g_text);
  for (auto _ : state) benchmark::DoNotOptimize(t.GetText());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_text.size()));
}

void BM_SaveToFile(benchmark::State& state) {
  qv::TCSVData t;
  t.SetText(g_text);
  std::string out = g_path + ".out";
  for (auto _ : state) t.SaveToFile(out);
  std::filesystem::remove(out);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_text.size()));
}

BENCHMARK(BM_SetText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetTextWarmTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFromFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveToFile)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  size_t megabytes = 50;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--file=", 7) == 0)
      g_path = argv[i] + 7;
    else if (std::strncmp(argv[i], "--megabytes=", 12) == 0)
      megabytes = std::stoul(argv[i] + 12);
    else
      rest.push_back(argv[i]);
  }
  if (g_path.empty()) {
    g_path = (std::filesystem::temp_directory_path() / "qv-csv-bench.csv").string();
    qv::WriteFileAtomically(g_path, MakeTable(megabytes));
  }
  if (!qv::ReadWholeFile(g_path, g_text)) {
    std::fprintf(stderr, "cannot read %s\n", g_path.c_str());
    return 1;
  }
  std::fprintf(stderr, "table: %s, %.1f MB\n", g_path.c_str(), g_text.size() / 1e6);
  int n = static_cast<int>(rest.size());
  benchmark::Initialize(&n, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
