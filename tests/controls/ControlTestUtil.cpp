#include "ControlTestUtil.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <cmath>

#include "TestSupport.h"
#include "controls/BRVGraphicsEX.h"

namespace qvtest {

QFont TestFont(int pixelSize) {
  QFont font(QStringLiteral("IPAGothic"));
  font.setPixelSize(pixelSize);
  font.setStyleStrategy(QFont::NoAntialias);
  font.setHintingPreference(QFont::PreferFullHinting);
  return font;
}

void ExpectDefaults(const QObject& object, const std::vector<Default>& defaults) {
  for (const Default& d : defaults) {
    ASSERT_GE(object.metaObject()->indexOfProperty(d.name), 0) << d.name;
    EXPECT_EQ(object.property(d.name), d.value) << object.metaObject()->className() << "." << d.name;
  }
}

QImage Render(QWidget& widget) { return widget.grab().toImage().convertToFormat(QImage::Format_RGB32); }

TColor Pixel(const QImage& image, int x, int y) {
  const QRgb c = image.pixel(x, y);
  return RGB(qRed(c), qGreen(c), qBlue(c));
}

TColor Pixel(const QImage& image, QPoint p) { return Pixel(image, p.x(), p.y()); }

QRect BoundsOf(const QImage& image, TColor color) {
  QRect bounds;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (Pixel(image, x, y) == color) bounds |= QRect(x, y, 1, 1);
  return bounds;
}

int CountOf(const QImage& image, TColor color) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (Pixel(image, x, y) == color) ++n;
  return n;
}

bool SaveArtifact(const QImage& image, const std::string& name) {
  return image.save(QString::fromStdString(ArtifactPath(name).string()));
}

TColor RimColor(TColor pen, int alpha, int angleIndex, bool raised) {
  TColor hi = BlendColor(clWhite, pen, alpha);
  TColor lo = BlendColor(clBlack, pen, alpha);
  if (!raised) std::swap(hi, lo);
  return BlendColor(hi, lo, 127 - static_cast<int>(std::cos(angleIndex * M_PI / 16 - M_PI / 4) * 128));
}

void SendEnter(QWidget& widget) {
  const QPointF p(widget.width() / 2.0, widget.height() / 2.0);
  QEnterEvent event(p, p, widget.mapToGlobal(p));
  QApplication::sendEvent(&widget, &event);
}

void SendLeave(QWidget& widget) {
  QEvent event(QEvent::Leave);
  QApplication::sendEvent(&widget, &event);
}

ImageCanvas::ImageCanvas(int width, int height, TColor background) : image_(width, height, QImage::Format_RGB32) {
  image_.fill(ToQColor(background));
  painter_ = std::make_unique<QPainter>(&image_);
  canvas_ = std::make_unique<TCanvas>(*painter_);
  canvas_->Font.Font = TestFont();
  canvas_->Font.Color = clBlack;
}

ImageCanvas::~ImageCanvas() = default;

QImage ImageCanvas::Finish() {
  canvas_.reset();
  painter_.reset();
  return image_;
}

}  // namespace qvtest
