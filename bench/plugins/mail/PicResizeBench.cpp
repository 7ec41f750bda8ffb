// Speed of the picture tools on a camera photo: a 4000 x 3000 JPEG loaded as
// 画像読込 loads it and resampled by area to 96 x 72 (target: under 300 ms),
// and one drag step of the resize window, the frame or the picture's corner
// moved and the work area repainted (target: under 16 ms). The anchors, in
// the same run: Qt's own JPEG reader with its smooth scaling, and QPainter
// drawing the same view of the picture unscaled.
// A 48-megapixel photo (8000 x 6000) taken to the 96 x 72 result the way a
// user does it: 画像読込, the resize window shown at the photo's own size, 自動
// and OK; its time and peak memory (peak_MB: the resident set's high-water
// mark above where the step began) beside a plain full decode of the same
// file into a DIB and beside the full decode resampled, in the same run.
//   QT_QPA_PLATFORM=offscreen pic_resize_bench [benchmark options]
#include "controls/BRVGraphicsEX.h"
#include "image/QkDIB.h"
#include "image/QkJPEG.h"
#include "plugins/mail/picedit/QvPicEditFRM.h"
#include "plugins/mail/picedit/QvPicResizeFRM.h"

#include "JpegPhoto.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <cstring>
#include <malloc.h>
#include <sstream>
#include <string>

namespace {

constexpr int kPhotoWidth = 4000, kPhotoHeight = 3000;

// A photo-like picture: smooth gradients with fine detail, so the JPEG has
// the size of a real one.
QImage Photo() {
  QImage picture(kPhotoWidth, kPhotoHeight, QImage::Format_RGB32);
  for (int y = 0; y < kPhotoHeight; ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < kPhotoWidth; ++x)
      line[x] = qRgb((x * 255 / kPhotoWidth + ((x * y) & 15)) & 0xFF, y * 255 / kPhotoHeight, ((x ^ y) >> 3) & 0xFF);
  }
  return picture;
}

// The photo as a JPEG file, written once for the run.
const std::filesystem::path& PhotoFile() {
  static const std::filesystem::path path = [] {
    const std::filesystem::path file =
        std::filesystem::path(QDir::tempPath().toStdString()) / ("pic_resize_bench_" + std::to_string(getpid()) + ".jpg");
    qv::TQkDIB dib;
    dib.Assign(Photo());
    std::ofstream out(file, std::ios::binary);
    qv::SaveJPEGToStream(dib, out, 90);
    std::atexit([] { std::filesystem::remove(PhotoFile()); });
    return file;
  }();
  return path;
}

void BM_LoadJpegAndResampleTo96x72(benchmark::State& state) {
  const std::filesystem::path& file = PhotoFile();
  for (auto _ : state) {
    std::optional<QImage> picture = qv::LoadEditorPicture(file);
    if (!picture) {
      state.SkipWithError("the photo did not load");
      return;
    }
    ResampleBitmap(*picture, 96, 72);
    benchmark::DoNotOptimize(picture->constBits());
  }
  state.SetLabel(std::to_string(std::filesystem::file_size(file) / 1024) + " KB JPEG");
}
BENCHMARK(BM_LoadJpegAndResampleTo96x72)->Unit(benchmark::kMillisecond);

// The two halves on their own.
void BM_LoadJpeg(benchmark::State& state) {
  const std::filesystem::path& file = PhotoFile();
  for (auto _ : state) benchmark::DoNotOptimize(qv::LoadEditorPicture(file));
}
BENCHMARK(BM_LoadJpeg)->Unit(benchmark::kMillisecond);

void BM_ResampleTo96x72(benchmark::State& state) {
  const QImage photo = Photo();
  for (auto _ : state) {
    QImage picture = photo;
    ResampleBitmap(picture, 96, 72);
    benchmark::DoNotOptimize(picture.constBits());
  }
}
BENCHMARK(BM_ResampleTo96x72)->Unit(benchmark::kMillisecond);

// The anchor: Qt's JPEG reader and its smooth (area-averaging) reduction.
void BM_QtLoadJpegAndScaleTo96x72(benchmark::State& state) {
  const QString file = QString::fromStdString(PhotoFile().string());
  for (auto _ : state) {
    QImage picture;
    if (!picture.load(file, "JPG")) {
      state.SkipWithError("Qt has no JPEG reader here");
      return;
    }
    benchmark::DoNotOptimize(picture.scaled(96, 72, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).constBits());
  }
}
BENCHMARK(BM_QtLoadJpegAndScaleTo96x72)->Unit(benchmark::kMillisecond);

// ---- a 48-megapixel photo ------------------------------------------------------

constexpr int kBigWidth = 8000, kBigHeight = 6000;

const std::filesystem::path& BigPhotoFile() {
  static const std::filesystem::path path = [] {
    const std::filesystem::path file = std::filesystem::path(QDir::tempPath().toStdString()) /
                                       ("pic_resize_bench_48mp_" + std::to_string(getpid()) + ".jpg");
    qvtest::JpegForm form;
    form.detail = true;
    form.quality = 92;
    std::ofstream(file, std::ios::binary) << qvtest::PhotoJpeg(kBigWidth, kBigHeight, form);
    std::atexit([] { std::filesystem::remove(BigPhotoFile()); });
    return file;
  }();
  return path;
}

// Kilobytes of a /proc/self/status line.
long StatusKB(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::strlen(key)));
  return -1;
}

// The resident set's high-water mark of one step, in MB above where it began
// (writing 5 to clear_refs starts the mark afresh, Linux 4.0 on). Large
// blocks are kept out of the heap, so that what one step freed is not found
// resident by the next.
template <typename Step>
double PeakMB(Step step) {
  static const bool fixed = mallopt(M_MMAP_THRESHOLD, 256 * 1024) == 1;
  (void)fixed;
  malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
  const long before = StatusKB("VmRSS:");
  step();
  return double(StatusKB("VmHWM:") - before) / 1024.0;
}

void Report(benchmark::State& state, double peak) {
  state.counters["peak_MB"] = peak;
  state.SetLabel(std::to_string(std::filesystem::file_size(BigPhotoFile()) / 1024) + " KB JPEG, 8000 x 6000");
}

void BM_Photo48MPToResized96x72(benchmark::State& state) {
  const std::filesystem::path& file = BigPhotoFile();
  double peak = 0;
  for (auto _ : state) {
    peak = std::max(peak, PeakMB([&] {
      const qv::EditorPicture opened = qv::OpenEditorPicture(file);
      if (!opened.picture) return state.SkipWithError("the photo did not open");
      qv::TfrmPicResize form;
      form.resize(520, 420);
      form.SetPicture(*opened.picture);
      form.show();
      form.scbArea->viewport()->repaint();
      form.AutoFit();
      form.scbArea->viewport()->repaint();
      const QImage result = form.Render();
      benchmark::DoNotOptimize(result.constBits());
      if (result.size() != QSize(96, 72)) state.SkipWithError("the result is not 96 x 72");
    }));
  }
  Report(state, peak);
}
BENCHMARK(BM_Photo48MPToResized96x72)->Unit(benchmark::kMillisecond);

// The anchor: the same file decoded whole into a DIB, as a plain reader does.
void BM_Photo48MPPlainFullDecode(benchmark::State& state) {
  std::ifstream in(BigPhotoFile(), std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::string jpeg = bytes.str();
  double peak = 0;
  for (auto _ : state) {
    peak = std::max(peak, PeakMB([&] {
      std::istringstream stream(jpeg, std::ios::binary);
      qv::TQkDIB dib;
      qv::LoadJPEGFromStream(stream, dib);
      benchmark::DoNotOptimize(dib.Bits());
    }));
  }
  Report(state, peak);
}
BENCHMARK(BM_Photo48MPPlainFullDecode)->Unit(benchmark::kMillisecond);

// And the full decode taken on to 96 x 72 by area resampling of the whole.
void BM_Photo48MPFullDecodeResampled(benchmark::State& state) {
  double peak = 0;
  for (auto _ : state) {
    peak = std::max(peak, PeakMB([&] {
      std::optional<QImage> picture = qv::LoadEditorPicture(BigPhotoFile());
      if (!picture) return state.SkipWithError("the photo did not load");
      ResampleBitmap(*picture, 96, 72);
      benchmark::DoNotOptimize(picture->constBits());
    }));
  }
  Report(state, peak);
}
BENCHMARK(BM_Photo48MPFullDecodeResampled)->Unit(benchmark::kMillisecond);

void Send(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &event);
}

// One drag step: the mouse moves with the button held and the work area is
// repainted at once. Arg 0 drags the frame over the photo at its own size,
// arg 1 the photo's bottom-right corner (the photo shown scaled).
void BM_ResizeWindowDragStep(benchmark::State& state) {
  static const QImage photo = Photo();
  qv::TfrmPicResize form;
  form.SetPicture(photo);
  form.show();
  QApplication::processEvents();
  qv::TPicResizeArea* area = form.pnlArea;
  QPoint grab;
  if (state.range(0) == 0) {
    grab = QPoint(40, 30);
  } else {
    form.SetTarget(192, 130);
    form.AutoFit();
    grab = form.PictureRect().bottomRight() - QPoint(2, 2);
  }
  Send(area, QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
  int step = 0;
  for (auto _ : state) {
    // Back and forth over 200 pixels, so the picture or frame keeps moving.
    const int offset = (step++ % 200) - 100;
    Send(area, QEvent::MouseMove, grab + QPoint(100 + offset, 60 + offset / 2), Qt::NoButton, Qt::LeftButton);
    form.scbArea->viewport()->repaint();
  }
  Send(area, QEvent::MouseButtonRelease, grab, Qt::LeftButton, Qt::NoButton);
  state.SetLabel(state.range(0) == 0 ? "frame over a 4000 x 3000 photo" : "corner of the scaled photo");
}
BENCHMARK(BM_ResizeWindowDragStep)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The anchor: QPainter drawing the same view of the photo, unscaled.
void BM_QPainterPhotoView(benchmark::State& state) {
  const QImage photo = Photo();
  QImage screen(500, 330, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter painter(&screen);
    painter.drawImage(QPoint(0, 0), photo, QRect(0, 0, 500, 330));
    painter.end();
    benchmark::DoNotOptimize(screen.constBits());
  }
}
BENCHMARK(BM_QPainterPhotoView)->Unit(benchmark::kMillisecond);

}  // namespace
