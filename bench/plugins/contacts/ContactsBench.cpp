// A phone book of 10,000 entries, 1,000 of them with pictures: the file
// loaded, the window showing it, sorted by a text and by a date column, the
// address lookup of the mail windows over it, and the file saved; beside a
// bare TCSVData load of the same "Address.idx" as the anchor.
//   QT_QPA_PLATFORM=offscreen contacts_bench [benchmark options]
// The files live in a temporary launcher folder (TMPDIR), removed at exit.
#include "ContactData.h"
#include "core/data/AddressFunctions.h"
#include "core/data/CSVData.h"
#include "core/ui/FormPosition.h"
#include "core/data/NamedRecordFile.h"
#include "core/data/PhoneBook.h"
#include "core/data/Settings.h"
#include "platform/FileUtil.h"
#include "platform/Paths.h"
#include "plugins/contacts/QvAddressFRM.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QTreeView>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int kEntries = 10000;

struct Folder {
  std::filesystem::path root, book, index, saved;
  Folder() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/qvbench-contacts-XXXXXX";
    if (!::mkdtemp(tmpl.data())) std::abort();
    root = tmpl;
    qv::SetProgramPathForTesting(root / "Quorvel");
    book = root / "book.qad";
    index = root / "Address.idx";
    saved = root / "saved.qad";
    // Every tenth entry has a picture: 1,000 pictures of 48 x 36 pixels.
    if (!qv::SaveArchive(book, qvtest::FullPhoneBook(kEntries, true))) std::abort();
    std::ifstream in(book, std::ios::binary);
    std::string data;
    if (!qv::ReadRecord(in, "Address.idx", data) || !qv::WriteFileAtomically(index, data)) std::abort();
    qv::IniWriteString("File", "AddressFile", book.string());
  }
  ~Folder() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
};

Folder& Files() {
  static Folder folder;
  return folder;
}

// The anchor: the index table alone, read as every CSV file is.
void BM_BareIndexLoad(benchmark::State& state) {
  for (auto _ : state) {
    qv::TCSVData table;
    if (!table.LoadFromFile(Files().index)) state.SkipWithError("no index");
    benchmark::DoNotOptimize(table.RowCount());
  }
  state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_BareIndexLoad)->Unit(benchmark::kMillisecond);

// The phone-book file into entries: the index, the fields, the pictures.
void BM_LoadArchive(benchmark::State& state) {
  for (auto _ : state) {
    qv::PhoneBookList list;
    if (!qv::LoadArchive(Files().book, list)) state.SkipWithError("not loaded");
    benchmark::DoNotOptimize(list.data());
  }
  state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_LoadArchive)->Unit(benchmark::kMillisecond);

qv::TfrmAddress& Window() {
  static qv::TfrmAddress* window = [] {
    auto* w = new qv::TfrmAddress();
    w->resize(900, 600);
    w->show();
    return w;
  }();
  return *window;
}

// The loaded entries shown as a user sees them: handed to the list, sorted
// by the kana name, the visible rows painted.
void BM_Show(benchmark::State& state) {
  qv::TfrmAddress& w = Window();
  qv::PhoneBookList loaded;
  if (!qv::LoadArchive(Files().book, loaded)) state.SkipWithError("not loaded");
  for (auto _ : state) {
    state.PauseTiming();
    qv::PhoneBookList copy = loaded;
    state.ResumeTiming();
    w.Book().SetEntries(std::move(copy));
    w.Resort();
    QImage shot = w.grab().toImage();
    benchmark::DoNotOptimize(shot.bits());
  }
  state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_Show)->Unit(benchmark::kMillisecond);

// Of that, the painting alone: the shown list painted again, its texts
// already converted, neither handed over nor sorted.
void BM_PaintOnly(benchmark::State& state) {
  qv::TfrmAddress& w = Window();
  if (w.Book().Count() != kEntries) w.OpenFile(Files().book.string());
  for (auto _ : state) {
    QImage shot = w.grab().toImage();
    benchmark::DoNotOptimize(shot.bits());
  }
  state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_PaintOnly)->Unit(benchmark::kMillisecond);

// Both: the window opens the file and shows it.
void BM_OpenAndShow(benchmark::State& state) {
  qv::TfrmAddress& w = Window();
  for (auto _ : state) {
    w.OpenFile(Files().book.string());
    QImage shot = w.grab().toImage();
    benchmark::DoNotOptimize(shot.bits());
  }
  if (w.Book().Count() != kEntries) state.SkipWithError("not listed");
  state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_OpenAndShow)->Unit(benchmark::kMillisecond);

// A click on a column header sorts the list by it (each click reverses it).
void BM_SortBy(benchmark::State& state) {
  qv::TfrmAddress& w = Window();
  if (w.Book().Count() != kEntries) w.OpenFile(Files().book.string());
  const int column = static_cast<int>(state.range(0));
  for (auto _ : state) {
    qv::ListViewColumnClick(w.List(), column);
    benchmark::DoNotOptimize(w.List()->model()->index(0, column).data());
  }
  state.SetLabel(column == qv::kPbKanji ? "名前(漢字), text" : "生年月日, date");
  state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_SortBy)->Arg(qv::kPbKanji)->Arg(qv::kPbBirthDate)->Unit(benchmark::kMillisecond);

// The owners of ten addresses looked up in the phone book, as the mail
// windows do (the file read each time).
void BM_AddressLookup(benchmark::State& state) {
  Files();
  const bool mail = state.range(0) != 0;
  std::string list;
  for (int n = 0; n < 10; ++n) {
    const int who = n * 997 % kEntries;
    list += (n ? "," : "") + (mail ? "user" + std::to_string(who) + ".3@example.jp" : "0" + std::to_string(92) +
                                                                                          std::to_string(1000000 + who));
  }
  list += mail ? ",nobody@example.jp" : ",0000";
  for (auto _ : state) {
    qv::TCSVData table;
    qv::ResolveAddressNames(table, list, mail, true, false);
    if (table.GetCell(0, 2).empty()) state.SkipWithError("no owner found");
    benchmark::DoNotOptimize(table.RowCount());
  }
  state.SetLabel(mail ? "mail addresses" : "phone numbers");
}
BENCHMARK(BM_AddressLookup)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The file written anew (atomically, flushed to disk).
void BM_SaveArchive(benchmark::State& state) {
  qv::PhoneBookList list;
  if (!qv::LoadArchive(Files().book, list)) state.SkipWithError("not loaded");
  for (auto _ : state) {
    if (!qv::SaveArchive(Files().saved, list)) state.SkipWithError("not saved");
  }
  state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_SaveArchive)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  Files();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  delete &Window();
  return 0;
}
