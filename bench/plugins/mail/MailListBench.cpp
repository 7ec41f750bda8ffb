// The mail list window opening a folder of 10,000 mails, beside the core
// library's plain load of the same folder's index.
//   QT_QPA_PLATFORM=offscreen mail_list_bench [benchmark options]
// The folder lives in a temporary launcher folder (TMPDIR), removed at exit.
#include "core/ui/FormPosition.h"
#include "core/data/MailStore.h"
#include "platform/Cp932.h"
#include "platform/Paths.h"
#include "plugins/mail/list/QvMailListFRM.h"

#include <QApplication>
#include <QTreeView>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr int kMails = 10000;
qv::TfrmMailList* g_list = nullptr;
std::string g_folder;

void Fill() {
  qv::MailFolder f;
  if (!f.Open(g_folder)) std::abort();
  for (int n = 0; n < kMails; ++n) {
    qv::MailIndexRow row;
    qv::BuildIndexRow(row, n % 4 == 0 ? 1 : 3, 0, n % 3 == 0, n % 10 == 0, n % 5 == 0, 0, n % 7 == 0,
                      n % 4 == 0 ? "09012345678" : "sender" + std::to_string(n) + "@example.jp", "me@example.jp",
                      qv::cp932::FromUtf8("お知らせ 第") + std::to_string(n) + qv::cp932::FromUtf8("号"),
                      "2024/06/07 12:34:56", "");
    std::string text = "Subject: " + std::to_string(n) + "\r\n\r\n" + std::string(1500, 'b') + "\r\n";
    std::string id;
    if (!qv::AppendMessage(f, text, row, id)) std::abort();
  }
  if (!f.SaveIndex()) std::abort();
}

// The core library's plain index load: open the folder, which loads its index.
void BM_IndexLoad(benchmark::State& state) {
  for (auto _ : state) {
    qv::MailFolder f;
    if (!f.Open(g_folder)) state.SkipWithError("open failed");
    benchmark::DoNotOptimize(f.Index().RowCount());
  }
  state.SetItemsProcessed(state.iterations() * kMails);
}
BENCHMARK(BM_IndexLoad)->Unit(benchmark::kMillisecond);

// The window reloads the shown folder (the same load, then the list items).
void BM_ListLoad(benchmark::State& state) {
  // A click on the column header sorts by it (ascending), as a user does.
  if (state.range(0) > 0) qv::ListViewColumnClick(g_list->lsvMail, static_cast<int>(state.range(0)) - 1);
  for (auto _ : state) {
    g_list->ShowFolder(g_folder);
    benchmark::DoNotOptimize(g_list->Model().Count());
  }
  if (g_list->Model().Count() != kMails) state.SkipWithError("not listed");
  state.SetItemsProcessed(state.iterations() * kMails);
}

// The reload and the first paint of the visible rows, as a user sees it.
void BM_ListLoadAndPaint(benchmark::State& state) {
  for (auto _ : state) {
    g_list->ShowFolder(g_folder);
    QImage shot = g_list->grab().toImage();
    benchmark::DoNotOptimize(shot.bits());
  }
  state.SetItemsProcessed(state.iterations() * kMails);
}
BENCHMARK(BM_ListLoadAndPaint)->Unit(benchmark::kMillisecond);
// Unsorted (storage order), then sorted by 表題 (text) and by サイズ (number);
// the sorted runs come last, since a sort stays.
BENCHMARK(BM_ListLoad)->Arg(0)->Arg(7)->Arg(8)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const auto dir = std::filesystem::temp_directory_path() / ("qv-mail-list-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "MailLog");
  qputenv("XDG_CONFIG_HOME", (dir / "config").string().c_str());
  qv::SetProgramPathForTesting(dir / "Quorvel");
  g_folder = qv::cp932::FromUtf8("大量");
  Fill();
  int rc = 0;
  {
    qv::TfrmMailList list;
    g_list = &list;
    list.resize(900, 600);
    list.show();
    if (!list.SelectFolder(g_folder)) std::abort();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_list = nullptr;
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return rc;
}
