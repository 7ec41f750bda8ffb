#include "controls/ImageList.h"

#include <QPainter>
#include <algorithm>

#include "controls/Graphics.h"

TImageList::TImageList(QObject* parent) : QObject(parent) {}

TImageList::TImageList(int width, int height, QObject* parent)
    : QObject(parent), width_(std::max(1, width)), height_(std::max(1, height)) {}

void TImageList::SetWidth(int width) {
  width = std::max(1, width);
  if (width == width_) return;
  width_ = width;
  Clear();
}

void TImageList::SetHeight(int height) {
  height = std::max(1, height);
  if (height == height_) return;
  height_ = height;
  Clear();
}

QImage TImageList::Fit(const QImage& image) const {
  QImage cell(width_, height_, QImage::Format_ARGB32);
  cell.fill(Qt::transparent);
  QPainter p(&cell);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(QPoint(0, 0), image.convertToFormat(QImage::Format_ARGB32));
  return cell;
}

int TImageList::Add(const QImage& image) {
  images_.push_back(Fit(image));
  emit Changed();
  return Count() - 1;
}

int TImageList::AddMasked(const QImage& image, TColor maskColor) {
  QImage cell = Fit(image);
  const QRgb mask = ToQColor(maskColor).rgb() & 0xFFFFFF;
  for (int y = 0; y < cell.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(cell.scanLine(y));
    for (int x = 0; x < cell.width(); ++x)
      if ((line[x] & 0xFFFFFF) == mask && qAlpha(line[x]) == 255) line[x] = 0;
  }
  images_.push_back(cell);
  emit Changed();
  return Count() - 1;
}

void TImageList::Clear() {
  if (images_.empty()) return;
  images_.clear();
  emit Changed();
}

QImage TImageList::Image(int index) const {
  if (index < 0 || index >= Count()) return {};
  return images_[static_cast<size_t>(index)];
}

void TImageList::Draw(QPainter& painter, QPoint pos, int index) const {
  const QImage image = Image(index);
  if (!image.isNull()) painter.drawImage(pos, image);
}

void TImageList::DrawBlended(QPainter& painter, QPoint pos, int index, TColor blendColor) const {
  QImage image = Image(index);
  if (image.isNull()) return;
  const QColor c = ToQColor(blendColor);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const QRgb px = line[x];
      if (qAlpha(px) == 0) continue;
      line[x] = qRgba((qRed(px) + c.red()) / 2, (qGreen(px) + c.green()) / 2, (qBlue(px) + c.blue()) / 2, qAlpha(px));
    }
  }
  painter.drawImage(pos, image);
}
