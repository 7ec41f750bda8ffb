#pragma once
// Pictures of known pixels for the picture window tests; the modal windows
// are driven with bitmaptest::OnModal.
#include <QImage>

namespace picedittest {

inline QImage Filled(int w, int h, QRgb colour) {
  QImage picture(w, h, QImage::Format_RGB32);
  picture.fill(colour);
  return picture;
}

}  // namespace picedittest
