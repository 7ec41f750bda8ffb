// Speed of the picture editor: a flood fill of one megapixel, a freehand
// stroke of 1,000 points through the drawing panel's mouse handling, and a
// repaint at 1600 % with the grid; each beside what Qt does with the same
// pixels in the same run (a plain fill, an aliased polyline, a scaled image).
//   QT_QPA_PLATFORM=offscreen bitmap_edit_bench [benchmark options]
#include "plugins/mail/bitmapedit/BitmapRaster.h"
#include "plugins/mail/bitmapedit/UserDrawPanel.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <vector>

namespace {

using qv::TRasterInk;
using qv::TUserDrawPanel;

constexpr int kSide = 1000;  // 1 megapixel

// The picture with a frame and a diagonal wall, so the fill has edges to find.
QImage FillPicture() {
  QImage picture(kSide, kSide, QImage::Format_RGB32);
  picture.fill(Qt::white);
  const TRasterInk black = TRasterInk::Solid(picture, clBlack);
  qv::DrawLine(picture, {0, 0}, {kSide - 1, kSide - 1}, 1, black);
  return picture;
}

void BM_FloodFill1MP(benchmark::State& state) {
  QImage picture(kSide, kSide, QImage::Format_RGB32);
  picture.fill(Qt::white);
  const TRasterInk red = TRasterInk::Solid(picture, clRed), white = TRasterInk::Solid(picture, clWhite);
  bool flip = false;
  for (auto _ : state) {
    qv::FloodFill(picture, {kSide / 2, kSide / 2}, flip ? white : red);
    flip = !flip;
    benchmark::DoNotOptimize(picture.constBits());
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_FloodFill1MP)->Unit(benchmark::kMillisecond);

// Two triangles split by a one-pixel diagonal: every row's run ends on it.
void BM_FloodFill1MPWithWall(benchmark::State& state) {
  QImage picture = FillPicture();
  const TRasterInk red = TRasterInk::Solid(picture, clRed), white = TRasterInk::Solid(picture, clWhite);
  bool flip = false;
  for (auto _ : state) {
    qv::FloodFill(picture, {kSide - 1, 0}, flip ? white : red);
    flip = !flip;
    benchmark::DoNotOptimize(picture.constBits());
  }
}
BENCHMARK(BM_FloodFill1MPWithWall)->Unit(benchmark::kMillisecond);

// The anchor: Qt filling the same megapixel with one colour.
void BM_QImageFill1MP(benchmark::State& state) {
  QImage picture(kSide, kSide, QImage::Format_RGB32);
  bool flip = false;
  for (auto _ : state) {
    picture.fill(flip ? Qt::white : Qt::red);
    flip = !flip;
    benchmark::DoNotOptimize(picture.constBits());
  }
}
BENCHMARK(BM_QImageFill1MP)->Unit(benchmark::kMillisecond);

// A scribble over the six-page picture, a few pixels between points.
std::vector<QPoint> Stroke() {
  std::vector<QPoint> points;
  for (int i = 0; i < 1000; ++i) points.emplace_back(10 + (i * 7) % 170, 10 + (i * 3 + (i / 24) * 5) % 110);
  return points;
}

void Send(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(p), QPointF(p), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &event);
}

void BM_FreehandStroke1000(benchmark::State& state) {
  TUserDrawPanel panel;
  panel.SetDrawType(TUserDrawPanel::mdtConnectLine);
  panel.SetPenWidth(int(state.range(0)));
  const std::vector<QPoint> points = Stroke();
  for (auto _ : state) {
    Send(&panel, QEvent::MouseButtonPress, points[0], Qt::LeftButton, Qt::LeftButton);
    for (size_t i = 1; i < points.size(); ++i) Send(&panel, QEvent::MouseMove, points[i], Qt::NoButton, Qt::LeftButton);
    Send(&panel, QEvent::MouseButtonRelease, points.back(), Qt::LeftButton, Qt::NoButton);
    benchmark::DoNotOptimize(panel.GetBitmap().constBits());
  }
}
BENCHMARK(BM_FreehandStroke1000)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

// The anchor: QPainter drawing the same 1,000 points as one aliased polyline.
void BM_QPainterPolyline1000(benchmark::State& state) {
  QImage picture(192, 130, QImage::Format_RGB32);
  picture.fill(Qt::white);
  const std::vector<QPoint> points = Stroke();
  for (auto _ : state) {
    QPainter painter(&picture);
    painter.setPen(QPen(Qt::black, double(state.range(0))));
    painter.drawPolyline(points.data(), int(points.size()));
    painter.end();
    benchmark::DoNotOptimize(picture.constBits());
  }
}
BENCHMARK(BM_QPainterPolyline1000)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

// A repaint at 1600 % with the grid and a selection: the part a 600 x 400
// view shows, and the whole 3073 x 2081 control.
void BM_Repaint1600(benchmark::State& state) {
  TUserDrawPanel panel;
  QImage picture(192, 130, QImage::Format_RGB32);
  for (int y = 0; y < 130; ++y)
    for (int x = 0; x < 192; ++x) picture.setPixel(x, y, qRgb(x, y, (x + y) & 0xFF));
  panel.SetBitmap(picture);
  panel.SetZoom(1600);
  panel.SetGrid(true);
  panel.PlaceBitmap(picture.copy(0, 0, 40, 30));
  const QRect area = state.range(0) ? QRect(QPoint(0, 0), panel.size()) : QRect(800, 600, 600, 400);
  QImage screen(panel.size(), QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter painter(&screen);
    panel.PaintArea(painter, area);
    painter.end();
    benchmark::DoNotOptimize(screen.constBits());
  }
  state.SetLabel(state.range(0) ? "whole control" : "600 x 400 view");
}
BENCHMARK(BM_Repaint1600)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The anchor: QPainter scaling the same view's pixels without smoothing.
void BM_QPainterScaledView(benchmark::State& state) {
  QImage picture(192, 130, QImage::Format_RGB32);
  picture.fill(Qt::gray);
  QImage screen(600, 400, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter painter(&screen);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRectF(0, 0, 608, 400), picture, QRectF(50, 37.5, 38, 25));
    painter.end();
    benchmark::DoNotOptimize(screen.constBits());
  }
}
BENCHMARK(BM_QPainterScaledView)->Unit(benchmark::kMillisecond);

}  // namespace
