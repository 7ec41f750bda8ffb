#pragma once
// A painter that draws into a TQkDIB. A 24-bit DIB is drawn straight into
// its own pixel memory; 1, 4 and 8-bit DIBs are drawn in true colour and
// every changed pixel takes the nearest colour of the DIB's colour table
// when the canvas ends, as a palette device would.
//
// The painter's transform already maps the DIB's row order (a bottom-up DIB
// is flipped): combine further transforms with it rather than replacing it.
// While the canvas lives the DIB must not be resized, converted or reloaded;
// if it is, the drawing goes to the pixels the canvas was made on.
#include "image/QkDIB.h"

#include <QImage>
#include <QPainter>
#include <memory>

namespace qv {

class TQkDIBCanvas {
 public:
  // Raises EQkDIBCanvasFailed without a DIB or for one on heap memory, and
  // EOutOfResources for a packed DIB.
  explicit TQkDIBCanvas(TQkDIB* dib);
  ~TQkDIBCanvas();
  TQkDIBCanvas(const TQkDIBCanvas&) = delete;
  TQkDIBCanvas& operator=(const TQkDIBCanvas&) = delete;

  QPainter& Painter() { return *painter_; }
  QPainter* operator->() { return painter_.get(); }

 private:
  void StorePaletteColors();

  TQkDIB& dib_;
  std::shared_ptr<TQkInternalDIB> storage_;  // keeps the pixels alive
  QImage surface_;
  QImage original_;  // palette DIBs: the colours before drawing
  bool direct_ = false;
  std::unique_ptr<QPainter> painter_;
};

}  // namespace qv
