#pragma once
// A list of equal-sized images that buttons and panels draw by index. Images
// added with a mask colour are transparent where they hold that colour.
// Controls that show images from a list repaint on Changed.
#include <QImage>
#include <QObject>
#include <QPoint>
#include <vector>

#include "platform/TColor.h"

class QPainter;

class TImageList : public QObject {
  Q_OBJECT
  Q_PROPERTY(int Width READ GetWidth WRITE SetWidth)
  Q_PROPERTY(int Height READ GetHeight WRITE SetHeight)
  Q_PROPERTY(int Count READ Count)

 public:
  explicit TImageList(QObject* parent = nullptr);
  TImageList(int width, int height, QObject* parent = nullptr);

  int GetWidth() const { return width_; }
  int GetHeight() const { return height_; }
  // A new cell size empties the list.
  void SetWidth(int width);
  void SetHeight(int height);
  int Count() const { return static_cast<int>(images_.size()); }

  // Adds the image (cut or padded to the cell size); returns its index.
  int Add(const QImage& image);
  // As Add, with every pixel of maskColor made transparent.
  int AddMasked(const QImage& image, TColor maskColor);
  void Clear();
  // The cell as stored (ARGB); a null image for an index out of range.
  QImage Image(int index) const;

  // Draws image index with its top-left corner at pos; nothing for an index
  // out of range.
  void Draw(QPainter& painter, QPoint pos, int index) const;
  // As Draw, half blended with blendColor: the look of a disabled control.
  void DrawBlended(QPainter& painter, QPoint pos, int index, TColor blendColor) const;

 signals:
  void Changed();

 private:
  QImage Fit(const QImage& image) const;

  int width_ = 16;
  int height_ = 16;
  std::vector<QImage> images_;
};
