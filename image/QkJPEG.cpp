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

// The buffers a decoding needs, made before libjpeg may jump back, so that a
// jump never passes their destructors.
struct Decoding {
  bool headerOnly = false;  // only the size is read
  std::vector<JSAMPLE> line;
  std::string refusal;  // why the picture is not decoded, when libjpeg is not the one refusing
  bool tooLarge = false;
  TJPEGSize size;
};

// Columns decoded on each side of a part narrower than the picture: the
// upsampling of the colours at a cut edge sees other neighbours than inside
// the picture, so the cut lies this far outside the part.
constexpr int32_t kCutMargin = 16;

// Returns false with the message in err when libjpeg gives up.
bool Decode(std::string_view bytes, int eighths, const TJPEGPart& part, int64_t maxPixels, TJPEGRowSink& sink,
            Decoding& out, ErrorManager& err) {
  jpeg_decompress_struct cinfo;
  cinfo.err = &err.pub;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  out.size = TJPEGSize{int32_t(cinfo.image_width), int32_t(cinfo.image_height)};
  out.tooLarge = maxPixels > 0 && out.size.Pixels() > maxPixels;
  if (out.headerOnly || out.tooLarge) {
    jpeg_destroy_decompress(&cinfo);
    return true;
  }
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  cinfo.scale_num = unsigned(std::clamp(eighths, 1, 8));
  cinfo.scale_denom = 8;
  jpeg_start_decompress(&cinfo);
  const int32_t w = int32_t(cinfo.output_width), h = int32_t(cinfo.output_height);
  const bool whole = part.Empty();
  const int32_t left = whole ? 0 : std::clamp(part.Left, 0, w), top = whole ? 0 : std::clamp(part.Top, 0, h);
  const int32_t width = whole ? w : int32_t(std::min<int64_t>(part.Width, w - left));
  const int32_t height = whole ? h : int32_t(std::min<int64_t>(part.Height, h - top));
  if (width <= 0 || height <= 0) out.refusal = "JPEG part lies outside the picture";
  else if (DIBImageBytes(width, height, 24) < 0) out.refusal = "JPEG image is too large";
  if (!out.refusal.empty()) {
    jpeg_destroy_decompress(&cinfo);
    return true;
  }
  JDIMENSION cutLeft = 0, cutWidth = JDIMENSION(w);
  if (width < w) {
    cutLeft = JDIMENSION(std::max(0, left - kCutMargin));
    cutWidth = JDIMENSION(std::min(w, left + width + kCutMargin)) - cutLeft;
    // libjpeg moves the cut's left edge to a block boundary and widens it.
    if (cutWidth < JDIMENSION(w))
      jpeg_crop_scanline(&cinfo, &cutLeft, &cutWidth);
    else
      cutLeft = 0;
  }
  if (top > 0) jpeg_skip_scanlines(&cinfo, JDIMENSION(top));
  try {
    out.line.resize(size_t(cutWidth) * size_t(cinfo.output_components));
    sink.Start(width, height, PelsPerMeter(cinfo.density_unit, cinfo.X_density),
               PelsPerMeter(cinfo.density_unit, cinfo.Y_density));
  } catch (...) {
    jpeg_destroy_decompress(&cinfo);
    throw;
  }
  const size_t components = size_t(cinfo.output_components);
  const size_t first = size_t(left) - cutLeft;
  const int bytesPerPixel = sink.BytesPerPixel;
  // Adobe writes CMYK inverted, as almost every CMYK JPEG is.
  const bool inverted = cmyk && cinfo.saw_Adobe_marker;
  for (int32_t y = 0; y < height; ++y) {
    JSAMPROW row = out.line.data();
    jpeg_read_scanlines(&cinfo, &row, 1);
    uint8_t* dst = sink.Row(y);
    const JSAMPLE* src = out.line.data() + first * components;
    for (int32_t x = 0; x < width; ++x, src += components, dst += bytesPerPixel) {
      if (cmyk) {
        const int k = inverted ? src[3] : 255 - src[3];
        auto channel = [&](JSAMPLE v) { return uint8_t((inverted ? v : 255 - v) * k / 255); };
        dst[0] = channel(src[2]);
        dst[1] = channel(src[1]);
        dst[2] = channel(src[0]);
      } else {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
      }
      if (bytesPerPixel == 4) dst[3] = 0xFF;
    }
  }
  // A part leaves the rest of the file unread.
  if (whole) jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

// Decodes into a DIB's own image.
class DIBRows : public TJPEGRowSink {
 public:
  explicit DIBRows(bool useFMO) : TJPEGRowSink(3), useFMO_(useFMO) {}
  void Start(int32_t width, int32_t height, int32_t xPelsPerMeter, int32_t yPelsPerMeter) override {
    image = CreateDIBImage(width, height, 0, 24, useFMO_);
    image.Header.biXPelsPerMeter = xPelsPerMeter;
    image.Header.biYPelsPerMeter = yPelsPerMeter;
  }
  uint8_t* Row(int32_t y) override { return image.Row(image.Rows() - 1 - y); }
  TQkDIBImage image;

 private:
  bool useFMO_;
};

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

TJPEGSize ReadJPEGSize(std::string_view bytes) {
  auto err = std::make_unique<ErrorManager>();
  auto decoding = std::make_unique<Decoding>();
  InitErrors(*err);
  decoding->headerOnly = true;
  DIBRows unused(false);
  if (!Decode(bytes, 8, {}, 0, unused, *decoding, *err)) throw EJPEG(err->message);
  return decoding->size;
}

TJPEGSize JPEGScaledSize(TJPEGSize full, int eighths) {
  const int64_t e = std::clamp(eighths, 1, 8);
  return TJPEGSize{int32_t((int64_t(full.Width) * e + 7) / 8), int32_t((int64_t(full.Height) * e + 7) / 8)};
}

int JPEGScaleFor(TJPEGSize full, int64_t width, int64_t height) {
  for (int eighths = 1; eighths < 8; ++eighths) {
    const TJPEGSize scaled = JPEGScaledSize(full, eighths);
    if (scaled.Width >= width && scaled.Height >= height) return eighths;
  }
  return 8;
}

void DecodeJPEG(std::string_view bytes, int eighths, const TJPEGPart& part, int64_t maxPixels, TJPEGRowSink& sink) {
  auto err = std::make_unique<ErrorManager>();
  auto decoding = std::make_unique<Decoding>();
  InitErrors(*err);
  if (!Decode(bytes, eighths, part, maxPixels, sink, *decoding, *err)) throw EJPEG(err->message);
  if (decoding->tooLarge) throw EJPEGTooLarge(decoding->size, maxPixels);
  if (!decoding->refusal.empty()) throw EJPEG(decoding->refusal);
}

void LoadJPEGFromBytes(std::string_view bytes, TQkDIB& dib, int eighths, const TJPEGPart& part, int64_t maxPixels) {
  DIBRows rows(dib.GetUseFMO());
  DecodeJPEG(bytes, eighths, part, maxPixels, rows);
  auto fresh = dib.NewStorage();
  fresh->TakeImage(std::move(rows.image));
  dib.TakeLoaded(std::move(fresh));
}

void LoadJPEGFromStream(std::istream& stream, TQkDIB& dib, int64_t maxPixels) {
  const std::string bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
  LoadJPEGFromBytes(bytes, dib, 8, {}, maxPixels);
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
