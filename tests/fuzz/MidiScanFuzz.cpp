// The converter's scan of a Standard MIDI File: any bytes, any claimed size
// up to the bytes given.
#include "FuzzSupport.h"
#include "converter/Converter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tcv::Converter converter;
  converter.Initial();
  if (converter.ScanSmf(data, size)) {
    const tcv::ScanState& scan = converter.Scan();
    // The texts are terminated within their fields.
    QV_FUZZ_CHECK(scan.title[sizeof scan.title - 1] == '\0');
    QV_FUZZ_CHECK(scan.copyright[sizeof scan.copyright - 1] == '\0');
  }
  return 0;
}
