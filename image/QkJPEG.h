#pragma once
// JPEG pictures, through libjpeg (the IJG release 6 API): decoded into a
// 24-bit DIB and encoded from any DIB. Errors are EJPEG with libjpeg's text.
#include <cstdint>
#include <iosfwd>

namespace qv {

class TQkDIB;

// Reads the whole stream as a JPEG picture into dib (24 bits, bottom-up);
// dib keeps its previous image when the data is not a readable JPEG. With
// maxPixels above 0, a picture of more pixels is refused before any is decoded.
void LoadJPEGFromStream(std::istream& stream, TQkDIB& dib, int64_t maxPixels = 0);

// Writes dib as a baseline JPEG picture; quality 1..100.
void SaveJPEGToStream(const TQkDIB& dib, std::ostream& stream, int quality = 90);

}  // namespace qv
