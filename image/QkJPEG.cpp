#include "image/QkJPEG.h"

#include "image/QkDIB.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace qv {
namespace {

// libjpeg reports fatal errors through error_exit, which must not return:
// it jumps back to the call that set up the jump, which then raises. Objects
// that live across the jump are set up before it and only reached through
// pointers afterwards.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

void Silent(j_common_ptr, int) {}

void InitErrors(ErrorManager& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.emit_message = Silent;
  err.message[0] = 0;
}

int32_t PelsPerMeter(int unit, int density) {
  if (density <= 0) return kDefaultPelsPerMeter;
  if (unit == 1) return (density * 10000 + 127) / 254;  // dots per inch
  if (unit == 2) return density * 100;                   // dots per centimetre
  return kDefaultPelsPerMeter;
}

struct Decoded {
  TQkDIBImage image;
  std::vector<JSAMPLE> line;
  std::string error;  // set when the picture is too large for a DIB
};

// Returns false with the message in err when libjpeg gives up.
bool Decode(const std::string& bytes, bool useFMO, int64_t maxPixels, Decoded& out, ErrorManager& err) {
  jpeg_decompress_struct cinfo;
  cinfo.err = &err.pub;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  if (maxPixels > 0 && int64_t(cinfo.image_width) * int64_t(cinfo.image_height) > maxPixels) {
    out.error = "JPEG image is too large";
    jpeg_destroy_decompress(&cinfo);
    return true;
  }
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_start_decompress(&cinfo);
  const int64_t w = cinfo.output_width, h = cinfo.output_height;
  if (DIBImageBytes(w, h, 24) < 0) {
    out.error = "JPEG image is too large";
    jpeg_destroy_decompress(&cinfo);
    return true;
  }
  try {
    out.image = CreateDIBImage(int32_t(w), int32_t(h), 0, 24, useFMO);
    out.line.resize(size_t(w) * size_t(cinfo.output_components));
  } catch (...) {
    jpeg_destroy_decompress(&cinfo);
    throw;
  }
  out.image.Header.biXPelsPerMeter = PelsPerMeter(cinfo.density_unit, cinfo.X_density);
  out.image.Header.biYPelsPerMeter = PelsPerMeter(cinfo.density_unit, cinfo.Y_density);
  std::vector<JSAMPLE>& line = out.line;
  // Adobe writes CMYK inverted, as almost every CMYK JPEG is.
  const bool inverted = cmyk && cinfo.saw_Adobe_marker;
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = line.data();
    const int64_t y = cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
    uint8_t* dst = out.image.Row(int32_t(h - 1 - y));
    for (int64_t x = 0; x < w; ++x) {
      const JSAMPLE* s = &line[size_t(x) * size_t(cinfo.output_components)];
      if (cmyk) {
        const int k = inverted ? s[3] : 255 - s[3];
        auto channel = [&](JSAMPLE v) { return uint8_t((inverted ? v : 255 - v) * k / 255); };
        dst[x * 3] = channel(s[2]);
        dst[x * 3 + 1] = channel(s[1]);
        dst[x * 3 + 2] = channel(s[0]);
      } else {
        dst[x * 3] = s[2];
        dst[x * 3 + 1] = s[1];
        dst[x * 3 + 2] = s[0];
      }
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

struct Encoded {
  unsigned char* data = nullptr;
  unsigned long size = 0;
  ~Encoded() { std::free(data); }
};

bool Encode(const TQkDIBImage& img, int quality, Encoded& out, ErrorManager& err) {
  jpeg_compress_struct cinfo;
  cinfo.err = &err.pub;
  std::vector<JSAMPLE> line(size_t(img.Width()) * 3);
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &out.data, &out.size);
  cinfo.image_width = JDIMENSION(img.Width());
  cinfo.image_height = JDIMENSION(img.Rows());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, std::clamp(quality, 1, 100), TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int32_t y = int32_t(cinfo.next_scanline);
    const uint8_t* src = img.Row(img.TopDown() ? y : img.Rows() - 1 - y);
    for (int32_t x = 0; x < img.Width(); ++x) {
      line[size_t(x) * 3] = src[x * 3 + 2];
      line[size_t(x) * 3 + 1] = src[x * 3 + 1];
      line[size_t(x) * 3 + 2] = src[x * 3];
    }
    JSAMPROW row = line.data();
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

}  // namespace

void LoadJPEGFromStream(std::istream& stream, TQkDIB& dib, int64_t maxPixels) {
  const std::string bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
  auto err = std::make_unique<ErrorManager>();
  auto decoded = std::make_unique<Decoded>();
  InitErrors(*err);
  if (!Decode(bytes, dib.GetUseFMO(), maxPixels, *decoded, *err)) throw EJPEG(err->message);
  if (!decoded->error.empty()) throw EJPEG(decoded->error);
  auto fresh = dib.NewStorage();
  fresh->TakeImage(std::move(decoded->image));
  dib.TakeLoaded(std::move(fresh));
}

void SaveJPEGToStream(const TQkDIB& dib, std::ostream& stream, int quality) {
  TQkDIB truecolor(dib);
  if (truecolor.GetPixelFormat() != qkpf24Bit) truecolor.SetPixelFormat(qkpf24Bit);
  auto err = std::make_unique<ErrorManager>();
  auto encoded = std::make_unique<Encoded>();
  InitErrors(*err);
  if (!Encode(truecolor.Storage().Image, quality, *encoded, *err)) throw EJPEG(err->message);
  stream.write(reinterpret_cast<const char*>(encoded->data), std::streamsize(encoded->size));
  if (!stream) throw EWriteError("Stream write error");
}

}  // namespace qv
