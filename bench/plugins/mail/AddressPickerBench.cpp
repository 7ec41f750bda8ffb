// The recipient picker over a phone book of 10,000 entries with six mail
// addresses each (60,000 items): the address list filled, and the picker shown
// with its first screen painted; sorting the list by the name column once.
// Anchors in the same run: the phone book's "Address.idx" table read from the
// same file, as every reader of the phone book reads it, and the picker shown
// and painted without a phone book.
//   address_picker_bench [benchmark options]
// The file lives in a temporary launcher folder (TMPDIR), removed at exit.
#include "PhoneBookFiles.h"
#include "core/data/AddressFunctions.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/Cp932.h"
#include "plugins/mail/pickers/QvMailAddressFRM.h"

#include <QApplication>
#include <QHeaderView>
#include <QTreeView>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr int kEntries = 10000;

struct Folder {
  std::filesystem::path root;
  Folder() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/qvbench-picker-XXXXXX";
    if (!::mkdtemp(tmpl.data())) std::abort();
    root = tmpl;
    qv::SetProgramPathForTesting(root / "Quorvel");
    std::vector<qvtest::BookRow> rows;
    const std::string kana = qv::Sjis("ﾔﾏﾀﾞﾀﾛｳ"), name = qv::Sjis("山田太郎");
    for (int i = 0; i < kEntries; ++i) {
      const std::string n = std::to_string(i);
      qvtest::BookRow row{kana + n, name + n, {}, {}};
      for (int k = 1; k <= 6; ++k) {
        row.phones.push_back("090-" + std::to_string(1000 + k) + "-" + n);
        row.mails.push_back("user" + n + "." + std::to_string(k) + "@example.ne.jp");
      }
      rows.push_back(std::move(row));
    }
    if (!qvtest::WritePhoneBook(root / "book.qad", rows)) std::abort();
    qv::IniFile(root / "Quorvel.ini").WriteString("File", "AddressFile", "book.qad");
  }
  ~Folder() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
};

Folder& Book() {
  static Folder folder;
  return folder;
}

void BM_AnchorReadAddressIdx(benchmark::State& state) {
  Book();
  for (auto _ : state) {
    qv::TCSVData table;
    if (!qv::LoadPhoneBook(table) || table.RowCount() != kEntries) state.SkipWithError("no phone book");
    benchmark::DoNotOptimize(table);
  }
}
BENCHMARK(BM_AnchorReadAddressIdx)->Unit(benchmark::kMillisecond);

void BM_FillAddressList(benchmark::State& state) {
  Book();
  qv::TfrmMailAddress picker;
  picker.SetMailMode(true);
  for (auto _ : state) {
    picker.LoadAddressList();
    if (picker.lsvAddress->model()->rowCount() != 6 * kEntries) state.SkipWithError("items missing");
  }
}
BENCHMARK(BM_FillAddressList)->Unit(benchmark::kMillisecond);

void BM_PickerShownAndPainted(benchmark::State& state) {
  Book();
  for (auto _ : state) {
    qv::TfrmMailAddress picker;
    picker.SetMailMode(true);
    picker.show();
    picker.grab();  // the first screen painted
    if (picker.lsvAddress->model()->rowCount() != 6 * kEntries) state.SkipWithError("items missing");
  }
}
BENCHMARK(BM_PickerShownAndPainted)->Unit(benchmark::kMillisecond);

// The window's own cost: shown and painted with no phone book at all.
void BM_AnchorPickerShownWithoutBook(benchmark::State& state) {
  Book();
  qv::IniFile ini(Book().root / "Quorvel.ini");
  ini.WriteString("File", "AddressFile", "none.qad");
  for (auto _ : state) {
    qv::TfrmMailAddress picker;
    picker.SetMailMode(true);
    picker.show();
    picker.grab();
    if (picker.lsvAddress->model()->rowCount() != 0) state.SkipWithError("a book was read");
  }
  ini.WriteString("File", "AddressFile", "book.qad");
}
BENCHMARK(BM_AnchorPickerShownWithoutBook)->Unit(benchmark::kMillisecond);

void BM_SortByReading(benchmark::State& state) {
  Book();
  qv::TfrmMailAddress picker;
  picker.SetMailMode(true);
  picker.LoadAddressList();
  for (auto _ : state) picker.lsvAddress->header()->sectionClicked(0);
}
BENCHMARK(BM_SortByReading)->Unit(benchmark::kMillisecond);

}  // namespace
