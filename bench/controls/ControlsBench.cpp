// Paint and picture costs of the control set: resampling pictures, wrapped
// effect text, and whole-control paints, offscreen.
#include <benchmark/benchmark.h>

#include <QPainter>

#include "controls/BRVGraphicsEX.h"
#include "controls/BRVPanelEX.h"
#include "controls/MultiButton.h"

namespace {

QImage Noise(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  uint32_t seed = 1;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      seed = seed * 1664525u + 1013904223u;
      image.setPixel(x, y, seed | 0xFF000000u);
    }
  return image;
}

void BM_ResampleBitmap(benchmark::State& state) {
  const QImage source = Noise(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) {
    QImage image = source;
    ResampleBitmap(image, static_cast<int>(state.range(2)), static_cast<int>(state.range(3)));
    benchmark::DoNotOptimize(image.constBits());
  }
  state.SetItemsProcessed(state.iterations() * state.range(2) * state.range(3));
}
// A photo to the six-page picture, and a small page blown up.
BENCHMARK(BM_ResampleBitmap)->Args({640, 480, 192, 130})->Args({96, 43, 192, 130})->Unit(benchmark::kMillisecond);

void BM_DitherBitmapMono(benchmark::State& state) {
  const QImage source = Noise(192, 130);
  for (auto _ : state) {
    QImage image = source;
    DitherBitmapMono(image, 7);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_DitherBitmapMono)->Unit(benchmark::kMicrosecond);

void BM_DrawEffectText(benchmark::State& state) {
  QImage image(300, 200, QImage::Format_RGB32);
  QPainter painter(&image);
  TCanvas canvas(painter);
  QFont font(QStringLiteral("IPAGothic"));
  font.setPixelSize(12);
  canvas.Font = TFont{font, clBlack};
  const QString text = QString::fromUtf8(
      "センターに新着メールが3件あります。Receive them now with the send and receive button, "
      "or wait for the automatic receive at the next ring.");
  for (auto _ : state) {
    TRect rect{0, 0, 300, 200};
    benchmark::DoNotOptimize(
        DrawEffectText(canvas, text, rect, clGray, clWhite, static_cast<int>(state.range(0)), false, true, 4));
  }
}
BENCHMARK(BM_DrawEffectText)->Arg(4)->Arg(7)->Unit(benchmark::kMicrosecond);

template <typename Widget>
void PaintLoop(benchmark::State& state, Widget& widget) {
  QImage image(widget.size(), QImage::Format_RGB32);
  for (auto _ : state) {
    widget.render(&image);
    benchmark::DoNotOptimize(image.constBits());
  }
}

void BM_PaintAttachPanel(benchmark::State& state) {
  TAttachPanel panel;
  panel.resize(300, 200);
  panel.SetCaption(QString::fromUtf8("通信中"));
  PaintLoop(state, panel);
}
BENCHMARK(BM_PaintAttachPanel)->Unit(benchmark::kMicrosecond);

void BM_PaintMultiButton(benchmark::State& state) {
  TMultiButton button;
  button.resize(80, 28);
  button.SetCaption(QString::fromUtf8("送受信"));
  button.SetCaptionStyle(mtsUpShadow);
  PaintLoop(state, button);
}
BENCHMARK(BM_PaintMultiButton)->Unit(benchmark::kMicrosecond);

}  // namespace
