// Parse and write a large CSV table of mail-index-like rows, beside libcsv
// (when the build found it) parsing the same bytes.
//   csv_bench [--file=PATH] [--megabytes=N] [benchmark options]
// Without --file it writes the table to a temporary file first (and leaves it
// there, so another reader can be timed on the same bytes).
#include "core/data/CSVData.h"
#include "platform/Cp932.h"
#include "platform/FileUtil.h"

#include <benchmark/benchmark.h>
#if defined(QV_HAVE_LIBCSV)
#include <csv.h>
#endif
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

#if defined(QV_HAVE_LIBCSV)
// libcsv hands over each field and each row end; the fields go into a table
// of the same shape as ours (one byte buffer, a slice per cell, the end of
// each row), so that both sides end with the same table in memory.
struct FlatTable {
  struct Cell {
    uint32_t offset, length;
  };
  std::string bytes;
  std::vector<Cell> cells;
  std::vector<size_t> rowEnd;
  void clear() {
    bytes.clear();
    cells.clear();
    rowEnd.clear();
  }
};

void OnField(void* s, size_t len, void* data) {
  auto* t = static_cast<FlatTable*>(data);
  t->cells.push_back({static_cast<uint32_t>(t->bytes.size()), static_cast<uint32_t>(len)});
  t->bytes.append(static_cast<const char*>(s), len);
}
void OnRow(int, void* data) {
  auto* t = static_cast<FlatTable*>(data);
  t->rowEnd.push_back(t->cells.size());
}
void OnFieldCount(void*, size_t, void* data) { ++static_cast<size_t*>(data)[0]; }
void OnRowCount(int, void* data) { ++static_cast<size_t*>(data)[1]; }

size_t LibcsvTable(FlatTable& t) {
  csv_parser p;
  csv_init(&p, 0);
  csv_parse(&p, g_text.data(), g_text.size(), OnField, OnRow, &t);
  csv_fini(&p, OnField, OnRow, &t);
  csv_free(&p);
  return t.rowEnd.size();
}

void BM_LibcsvTable(benchmark::State& state) {
  for (auto _ : state) {
    FlatTable t;
    benchmark::DoNotOptimize(LibcsvTable(t));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_text.size()));
}

void BM_LibcsvTableWarm(benchmark::State& state) {
  FlatTable t;
  for (auto _ : state) {
    t.clear();
    benchmark::DoNotOptimize(LibcsvTable(t));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_text.size()));
}

// The parser alone: fields and rows only counted.
void BM_LibcsvCountOnly(benchmark::State& state) {
  for (auto _ : state) {
    size_t counts[2] = {0, 0};
    csv_parser p;
    csv_init(&p, 0);
    csv_parse(&p, g_text.data(), g_text.size(), OnFieldCount, OnRowCount, counts);
    csv_fini(&p, OnFieldCount, OnRowCount, counts);
    csv_free(&p);
    benchmark::DoNotOptimize(counts[1]);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_text.size()));
}

BENCHMARK(BM_LibcsvTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibcsvTableWarm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibcsvCountOnly)->Unit(benchmark::kMillisecond);
#endif

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
