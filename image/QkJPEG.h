#pragma once
// JPEG pictures, through libjpeg (the IJG release 6 API): decoded into a
// 24-bit DIB and encoded from any DIB. Errors are EJPEG with libjpeg's text.
// A camera photo need not be decoded whole: libjpeg's DCT scaling
// (scale_num / 8) decodes it at a fraction of its size for little more than
// the reading of the file, and a part of it can be decoded without the rest.
#include "image/QkDIBError.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

class QImage;

namespace qv {

class TQkDIB;

struct TJPEGSize {
  int32_t Width = 0;
  int32_t Height = 0;
  int64_t Pixels() const { return int64_t(Width) * Height; }
  friend bool operator==(const TJPEGSize&, const TJPEGSize&) = default;
};

// A part of a decoded picture, in its pixels; an empty part is all of it.
struct TJPEGPart {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  bool Empty() const { return Width <= 0 || Height <= 0; }
};

// A picture of more pixels than the caller takes in, refused before any is
// decoded; it tells its size and the limit.
class EJPEGTooLarge : public EJPEG {
 public:
  EJPEGTooLarge(TJPEGSize size, int64_t limit) : EJPEG("JPEG image is too large"), Size(size), Limit(limit) {}
  TJPEGSize Size;
  int64_t Limit;
};

// The picture's size from its header; EJPEG when the bytes hold none.
TJPEGSize ReadJPEGSize(std::string_view bytes);
// The size libjpeg decodes a picture to at eighths / 8 (1-8): each side
// rounded up.
TJPEGSize JPEGScaledSize(TJPEGSize full, int eighths);
// The least eighths whose decoded size is at least width x height; 8 when
// even the full size is smaller.
int JPEGScaleFor(TJPEGSize full, int64_t width, int64_t height);

// Decodes part (in the pixels of the scaled picture) of the picture at
// eighths / 8 into dib (24 bits, bottom-up); dib keeps its previous image
// when the data is not a readable JPEG. With maxPixels above 0, a picture
// (its full size) of more pixels is refused with EJPEGTooLarge.
void LoadJPEGFromBytes(std::string_view bytes, TQkDIB& dib, int eighths = 8, const TJPEGPart& part = {},
                       int64_t maxPixels = 0);
// The same straight into a QImage (RGB32), the windows' pixels, without a
// DIB on the way.
QImage LoadJPEGImage(std::string_view bytes, int eighths = 8, const TJPEGPart& part = {}, int64_t maxPixels = 0);

// Reads the whole stream as a JPEG picture into dib, at its full size.
void LoadJPEGFromStream(std::istream& stream, TQkDIB& dib, int64_t maxPixels = 0);

// Writes dib as a baseline JPEG picture; quality 1..100.
void SaveJPEGToStream(const TQkDIB& dib, std::ostream& stream, int quality = 90);

// Where the decoder puts its rows: Start is told the size of what is
// decoded, then Row gives the place of each row, top row first, for pixels
// of BytesPerPixel bytes: blue, green, red (and 255 in a fourth).
class TJPEGRowSink {
 public:
  explicit TJPEGRowSink(int bytesPerPixel) : BytesPerPixel(bytesPerPixel) {}
  virtual void Start(int32_t width, int32_t height, int32_t xPelsPerMeter, int32_t yPelsPerMeter) = 0;
  virtual uint8_t* Row(int32_t y) = 0;
  const int BytesPerPixel;

 protected:
  ~TJPEGRowSink() = default;
};
void DecodeJPEG(std::string_view bytes, int eighths, const TJPEGPart& part, int64_t maxPixels, TJPEGRowSink& sink);

}  // namespace qv
