// The theme list window filling itself from 100 themes of 100 frames, and a
// 256-frame theme loaded, split into frames, joined and saved; beside them
// the same bytes read plainly and Qt's own BMP reader and writer on the same
// strip, as anchors.
//   theme_bench [benchmark options]
// The themes live in a temporary launcher folder (TMPDIR), removed at exit.
#include "ThemeFiles.h"
#include "core/ui/Theme.h"
#include "platform/FileUtil.h"
#include "platform/Paths.h"
#include "plugins/theme/QvBannerEditFRM.h"
#include "plugins/theme/QvBannerFRM.h"

#include <QBuffer>
#include <QImage>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr int kThemes = 100;
constexpr int kFramesEach = 100;
constexpr int kBigFrames = 256;

struct Folder {
  std::filesystem::path root;
  Folder() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/qvbench-theme-XXXXXX";
    if (!::mkdtemp(tmpl.data())) std::abort();
    root = tmpl;
    qv::SetProgramPathForTesting(root / "Quorvel");
    std::filesystem::create_directories(root / "Theme");
    const QImage strip = themetest::Strip(kFramesEach);
    for (int n = 0; n < kThemes; ++n)
      if (!qv::SaveBannerIndex(root / "Theme" / ("t" + std::to_string(n) + ".qvt"),
                               {"theme " + std::to_string(n), "0.5", "", true, strip}))
        std::abort();
    if (!qv::SaveBannerIndex(Big(), {"big", "0.1", "", true, themetest::Strip(kBigFrames)})) std::abort();
  }
  ~Folder() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  std::filesystem::path Big() const { return root / "big.qvt"; }
};

Folder& Themes() {
  static Folder folder;
  return folder;
}

// Showing the list loads every theme of the folder; closing empties it.
void BM_ListHundredThemes(benchmark::State& state) {
  Themes();
  qv::TfrmBanner list;
  for (auto _ : state) {
    list.show();
    if (list.ItemCount() != kThemes) state.SkipWithError("not every theme listed");
    list.close();
  }
  state.SetItemsProcessed(state.iterations() * kThemes);
}
BENCHMARK(BM_ListHundredThemes)->Unit(benchmark::kMillisecond);

// Anchor: the same files' bytes read whole.
void BM_ReadHundredThemeFiles(benchmark::State& state) {
  Themes();
  for (auto _ : state) {
    size_t bytes = 0;
    for (int n = 0; n < kThemes; ++n) {
      std::string data;
      qv::ReadWholeFile(Themes().root / "Theme" / ("t" + std::to_string(n) + ".qvt"), data);
      bytes += data.size();
    }
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations() * kThemes);
}
BENCHMARK(BM_ReadHundredThemeFiles)->Unit(benchmark::kMillisecond);

void BM_LoadBigTheme(benchmark::State& state) {
  for (auto _ : state) {
    qv::TBannerData theme;
    if (!qv::LoadBannerIndex(Themes().Big(), theme)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(theme.Bitmap.constBits());
  }
}
BENCHMARK(BM_LoadBigTheme)->Unit(benchmark::kMillisecond);

// Anchor: Qt's BMP reader on the same strip's bitmap file.
void BM_QtReadsTheBigStrip(benchmark::State& state) {
  const QByteArray bmp = QByteArray::fromStdString(themetest::BitmapFile(themetest::Strip(kBigFrames)));
  for (auto _ : state) {
    QImage image;
    if (!image.loadFromData(bmp, "BMP")) state.SkipWithError("Qt could not read it");
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_QtReadsTheBigStrip)->Unit(benchmark::kMillisecond);

void BM_SplitBigStrip(benchmark::State& state) {
  const QImage strip = themetest::Strip(kBigFrames);
  qv::TfrmBannerEdit editor;
  for (auto _ : state) {
    editor.SplitFrames(strip);
    if (editor.FrameCount() != kBigFrames) state.SkipWithError("frames lost");
  }
}
BENCHMARK(BM_SplitBigStrip)->Unit(benchmark::kMillisecond);

void BM_JoinBigStrip(benchmark::State& state) {
  qv::TfrmBannerEdit editor;
  editor.SplitFrames(themetest::Strip(kBigFrames));
  for (auto _ : state) {
    QImage strip;
    editor.JoinFrames(strip);
    benchmark::DoNotOptimize(strip.constBits());
  }
}
BENCHMARK(BM_JoinBigStrip)->Unit(benchmark::kMillisecond);

// Saving replaces the file whole: the bitmap, the container and a flushed rename.
void BM_SaveBigTheme(benchmark::State& state) {
  const qv::TBannerData theme{"big", "0.1", "", true, themetest::Strip(kBigFrames)};
  const auto path = Themes().root / "saved.qvt";
  for (auto _ : state)
    if (!qv::SaveBannerIndex(path, theme)) state.SkipWithError("save failed");
}
BENCHMARK(BM_SaveBigTheme)->Unit(benchmark::kMillisecond);

// Anchor: Qt's BMP writer into memory and the same bytes written the same safe way.
void BM_QtWritesTheBigStrip(benchmark::State& state) {
  const QImage strip = themetest::Strip(kBigFrames);
  const auto path = Themes().root / "qt.bmp";
  for (auto _ : state) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!strip.save(&buffer, "BMP")) state.SkipWithError("Qt could not write it");
    if (!qv::WriteFileAtomically(path, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))))
      state.SkipWithError("write failed");
  }
}
BENCHMARK(BM_QtWritesTheBigStrip)->Unit(benchmark::kMillisecond);

}  // namespace
