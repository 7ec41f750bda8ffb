// The picture viewer at the sizes it meets: a 1920 x 1080 JPEG attachment
// decoded and fitted to the window (pages built, picture decoded, scaled and
// drawn), and one page step of a six-page picture already decoded (the page
// loaded into the editor and drawn). Anchors in the same run: Qt's own JPEG
// reader and scaling on the same bytes, and a bare QPainter copy of one page.
#include "plugins/mail/editor/KMailEdit.h"
#include "core/data/MailAttachments.h"
#include "plugins/mail/pickers/QvImageViewFRM.h"

#include "image/QkDIB.h"
#include "image/QkJPEG.h"

#include <benchmark/benchmark.h>

#include <QAction>
#include <QImage>
#include <QPainter>
#include <QRadioButton>

#include <random>
#include <sstream>
#include <string>

namespace {

// A photograph-like picture: smooth shading with grain, which JPEG codes at
// a realistic size.
QImage Photo(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  std::mt19937 rng(5);
  for (int y = 0; y < h; ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < w; ++x) {
      const int grain = static_cast<int>(rng() % 24);
      line[x] = qRgb((x * 255 / w + grain) & 255, (y * 255 / h + grain) & 255, ((x + y) / 8 + grain) & 255);
    }
  }
  return image;
}

std::string JpegBytes(const QImage& image) {
  qv::TQkDIB dib;
  dib.Assign(image);
  std::ostringstream out(std::ios::binary);
  qv::SaveJPEGToStream(dib, out, 85);
  return out.str();
}

std::string BitmapBytes(const QImage& image) {
  qv::TQkDIB dib;
  dib.Assign(image);
  std::ostringstream out(std::ios::binary);
  dib.SaveToStream(out);
  return out.str();
}

const std::string& PhotoJpeg() {
  static const std::string bytes = JpegBytes(Photo(1920, 1080));
  return bytes;
}

constexpr QSize kEditor(640, 480);

void BM_JpegDecodedAndFittedToTheWindow(benchmark::State& state) {
  qv::AttachmentList list;
  qv::MailAttachment photo;
  photo.name = "photo.jpg";
  photo.bytes = PhotoJpeg();
  list.Insert(photo);
  qv::TfrmImageView view;
  view.SetManualTicks(true);
  view.SetAttachList(&list);
  view.SetAttachIndex(0);
  view.radCustom->setChecked(true);
  view.KMailEdit1->resize(kEditor);
  QImage canvas(kEditor, QImage::Format_RGB32);
  for (auto _ : state) {
    view.BuildPages();  // a fresh cache: decoded again
    view.KMailEdit1->render(&canvas);
    benchmark::DoNotOptimize(canvas.constBits());
  }
  state.counters["bytes"] = static_cast<double>(PhotoJpeg().size());
}
BENCHMARK(BM_JpegDecodedAndFittedToTheWindow)->Unit(benchmark::kMillisecond);

// The anchor: Qt's JPEG reader and smooth-free scaling on the same bytes.
void BM_QtJpegDecodeAndScale(benchmark::State& state) {
  const QByteArray bytes = QByteArray::fromStdString(PhotoJpeg());
  QImage canvas(kEditor, QImage::Format_RGB32);
  for (auto _ : state) {
    QImage image;
    image.loadFromData(bytes, "JPG");
    if (image.isNull()) {
      state.SkipWithError("Qt has no JPEG reader here");
      break;
    }
    QPainter(&canvas).drawImage(QPoint(0, 0), image.scaled(640, 360, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    benchmark::DoNotOptimize(canvas.constBits());
  }
}
BENCHMARK(BM_QtJpegDecodeAndScale)->Unit(benchmark::kMillisecond);

QImage SixPages() {
  QImage image(192, 130, QImage::Format_RGB32);
  for (int k = 0; k < 6; ++k)
    QPainter(&image).fillRect(k < 3 ? 0 : 96, (k % 3) * 43, 96, 43, QColor::fromHsv(k * 60, 200, 220));
  return image;
}

void BM_Div6PageStep(benchmark::State& state) {
  qv::AttachmentList list;
  qv::MailAttachment six;
  six.name = "six.bmp";
  six.bytes = BitmapBytes(SixPages());
  six.headers = "X-KmailDX-Info: DIV6";
  list.Insert(six);
  qv::TfrmImageView view;
  view.SetManualTicks(true);
  view.SetAttachList(&list);
  view.SetAttachIndex(0);
  view.SetPickMode(true);
  view.KMailEdit1->SetManualTicks(true);
  view.KMailEdit1->resize(kEditor);
  view.BuildPages();
  QImage canvas(kEditor, QImage::Format_RGB32);
  view.KMailEdit1->render(&canvas);  // decoded once, into the cache
  for (auto _ : state) {
    view.actNext->trigger();
    view.KMailEdit1->render(&canvas);
    benchmark::DoNotOptimize(canvas.constBits());
  }
  state.counters["pages"] = static_cast<double>(view.Pages().size());
}
BENCHMARK(BM_Div6PageStep)->Unit(benchmark::kMicrosecond);

// The anchor: one page copied out of the picture and drawn, nothing else.
void BM_BarePageCopy(benchmark::State& state) {
  const QImage six = SixPages();
  QImage canvas(kEditor, QImage::Format_RGB32);
  int page = 0;
  for (auto _ : state) {
    QPainter p(&canvas);
    p.fillRect(canvas.rect(), Qt::white);
    p.drawImage(QPoint(272, 0), six, QRect(page < 3 ? 0 : 96, (page % 3) * 43, 96, 43));
    page = (page + 1) % 6;
    benchmark::DoNotOptimize(canvas.constBits());
  }
}
BENCHMARK(BM_BarePageCopy)->Unit(benchmark::kMicrosecond);

}  // namespace
