#pragma once
// Helpers for the control tests: offscreen renders read back as TColor
// pixels, a fixed monospaced bitmap font, and a canvas over a test image.
#include <QImage>
#include <QObject>
#include <QPainter>
#include <QVariant>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "controls/Graphics.h"

namespace qvtest {

// IPAGothic without antialiasing: half-width characters 5 pixels wide and
// full-width ones 10 at the 10-pixel size, each pixel either ink or not.
QFont TestFont(int pixelSize = 10);

// A published property and the value it has at creation.
struct Default {
  const char* name;
  QVariant value;
};
// Checks that each property exists and has its default.
void ExpectDefaults(const QObject& object, const std::vector<Default>& defaults);

// The widget as painted, in 32-bit RGB.
QImage Render(QWidget& widget);
TColor Pixel(const QImage& image, int x, int y);
TColor Pixel(const QImage& image, QPoint p);
// Bounding box of the pixels of exactly this colour; empty when none.
QRect BoundsOf(const QImage& image, TColor color);
// Number of pixels of exactly this colour.
int CountOf(const QImage& image, TColor color);
// Writes the image for a reviewer; returns whether it was written.
bool SaveArtifact(const QImage& image, const std::string& name);

// The shaded rim colour of DrawShape at outline angle index i (0..32, clockwise
// from the right-hand point) for a pen colour and alpha.
TColor RimColor(TColor pen, int alpha, int angleIndex, bool raised);

// Mouse entering and leaving, as the window system reports them.
void SendEnter(QWidget& widget);
void SendLeave(QWidget& widget);

// An image filled with one colour and a canvas drawing on it.
class ImageCanvas {
 public:
  ImageCanvas(int width, int height, TColor background);
  ~ImageCanvas();
  TCanvas& Canvas() { return *canvas_; }
  // Ends painting and hands out the picture.
  QImage Finish();

 private:
  QImage image_;
  std::unique_ptr<QPainter> painter_;
  std::unique_ptr<TCanvas> canvas_;
};

}  // namespace qvtest
