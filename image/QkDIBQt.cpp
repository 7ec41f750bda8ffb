// The DIB at the Qt edge: QImage in and out, drawing with QPainter, the
// clipboard, and the canvas.
#include "image/QkDIB.h"
#include "image/QkDIBCanvas.h"
#include "image/QkJPEG.h"

#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QRect>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

namespace qv {
namespace {

// The clipboard's DIB travels as a bitmap file: the packed DIB behind a
// 14-byte file header.
const char* const kBitmapMime = "image/bmp";

QList<QRgb> ColorTableOf(const TQkDIBImage& img, int entries) {
  QList<QRgb> table;
  for (int i = 0; i < entries; ++i) {
    const TQkRGBQuad& c = img.ColorTable[size_t(i)];
    table.push_back(qRgb(c.rgbRed, c.rgbGreen, c.rgbBlue));
  }
  return table;
}

TQkDIB& CanvasTarget(TQkDIB* dib) {
  if (!dib || !dib->GetUseFMO()) throw EQkDIBCanvasFailed("TQkDIBCanvas.Create: Cannot Create Canvas");
  return *dib;
}

// Source row of top-down row y.
const uint8_t* SourceRow(const TQkDIBImage& img, int y) { return img.Row(img.TopDown() ? y : img.Rows() - 1 - y); }

}  // namespace

QImage TQkDIB::ToQImage() const {
  const TQkInternalDIB& st = Storage();
  const TQkPixelFormat format = st.GetPixelFormat();
  TQkDIBImage unpacked;
  const TQkDIBImage* img = &st.Image;
  if (format == qkpf4BitRLE) unpacked = Convert4BitRLETo4BitRGB(st.Image, false);
  if (format == qkpf8BitRLE) unpacked = Convert8BitRLETo8BitRGB(st.Image, false);
  if (format == qkpf4BitRLE || format == qkpf8BitRLE) img = &unpacked;
  const int w = img->Width(), h = img->Rows();
  const int bits = img->Header.biBitCount;
  QImage out;
  if (bits == 1) {
    out = QImage(w, h, QImage::Format_Mono);
    out.setColorTable(ColorTableOf(*img, 2));
    const size_t bytes = (size_t(w) + 7) / 8;
    for (int y = 0; y < h; ++y) std::memcpy(out.scanLine(y), SourceRow(*img, y), bytes);
  } else if (bits == 4 || bits == 8) {
    out = QImage(w, h, QImage::Format_Indexed8);
    out.setColorTable(ColorTableOf(*img, 1 << bits));
    for (int y = 0; y < h; ++y) {
      const uint8_t* in = SourceRow(*img, y);
      uint8_t* line = out.scanLine(y);
      if (bits == 8)
        std::memcpy(line, in, size_t(w));
      else
        for (int x = 0; x < w; ++x) line[x] = (x & 1) ? in[x >> 1] & 0x0F : in[x >> 1] >> 4;
    }
  } else {
    out = QImage(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
      const uint8_t* in = SourceRow(*img, y);
      QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
      for (int x = 0; x < w; ++x) line[x] = qRgb(in[x * 3 + 2], in[x * 3 + 1], in[x * 3]);
    }
  }
  out.setDotsPerMeterX(img->Header.biXPelsPerMeter);
  out.setDotsPerMeterY(img->Header.biYPelsPerMeter);
  return out;
}

void TQkDIB::AssignTo(QImage& dest) const { dest = ToQImage(); }

namespace {

// Decodes into a QImage's rows: blue, green, red, 255 is RGB32 in memory.
class ImageRows : public TJPEGRowSink {
 public:
  ImageRows() : TJPEGRowSink(4) {}
  void Start(int32_t width, int32_t height, int32_t xPelsPerMeter, int32_t yPelsPerMeter) override {
    image = QImage(width, height, QImage::Format_RGB32);
    if (image.isNull()) throw EOutOfMemory("LoadJPEGImage: Out of memory");
    image.setDotsPerMeterX(xPelsPerMeter);
    image.setDotsPerMeterY(yPelsPerMeter);
  }
  uint8_t* Row(int32_t y) override { return image.scanLine(y); }
  QImage image;
};

}  // namespace

QImage LoadJPEGImage(std::string_view bytes, int eighths, const TJPEGPart& part, int64_t maxPixels) {
  static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "RGB32 is written byte by byte");
  ImageRows rows;
  DecodeJPEG(bytes, eighths, part, maxPixels, rows);
  return std::move(rows.image);
}

void TQkDIB::Assign(const QImage& source) {
  const QImage::Format f = source.format();
  const int bits = (f == QImage::Format_Mono || f == QImage::Format_MonoLSB) ? 1 : f == QImage::Format_Indexed8 ? 8 : 24;
  auto fresh = NewStorage();
  fresh->CreateDIB(source.width(), source.height(), 0, bits);
  TQkDIBImage& img = fresh->Image;
  const int w = source.width(), h = source.height();
  if (bits == 24) {
    const QImage rgb = source.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
      const QRgb* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
      uint8_t* out = img.Row(h - 1 - y);
      for (int x = 0; x < w; ++x) {
        out[x * 3] = uint8_t(qBlue(in[x]));
        out[x * 3 + 1] = uint8_t(qGreen(in[x]));
        out[x * 3 + 2] = uint8_t(qRed(in[x]));
      }
    }
  } else {
    const QImage indexed = bits == 1 ? source.convertToFormat(QImage::Format_Mono) : source;
    const QList<QRgb> table = indexed.colorTable();
    const int colors = std::min<int>(int(table.size()), 1 << bits);
    for (int i = 0; i < colors; ++i)
      img.ColorTable[size_t(i)] = {uint8_t(qBlue(table[i])), uint8_t(qGreen(table[i])), uint8_t(qRed(table[i])), 0};
    img.Header.biClrUsed = colors > 0 ? uint32_t(colors) : (bits == 1 ? 2 : 256);
    const size_t bytes = bits == 1 ? (size_t(w) + 7) / 8 : size_t(w);
    for (int y = 0; y < h; ++y) std::memcpy(img.Row(h - 1 - y), indexed.constScanLine(y), bytes);
  }
  fresh->UpdatePalette();
  TakeLoaded(std::move(fresh));
}

void TQkDIB::Draw(QPainter& canvas, const QRect& rect) {
  if (halftoneMode_ == 0) {
    const QImage picture = ToQImage();
    const bool smooth = canvas.testRenderHint(QPainter::SmoothPixmapTransform);
    canvas.setRenderHint(QPainter::SmoothPixmapTransform, false);  // colour on colour
    canvas.drawImage(QRectF(rect.x(), rect.y(), rect.width(), rect.height()), picture, QRectF(picture.rect()));
    canvas.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    return;
  }
  if (halftoneMode_ > 2 || rect.width() == 0 || rect.height() == 0) return;
  TQkDIB temp;
  temp.SetWidth(std::abs(rect.width()));
  temp.SetHeight(std::abs(rect.height()));
  temp.SetBitCount(GetBitCount());
  if (TQkPalette own = OwnPalette()) temp.SetPalette(own);
  const uint8_t mode = halftoneMode_;
  halftoneMode_ = 0;
  try {
    TQkDIBCanvas c(&temp);
    Draw(c.Painter(), QRect(0, 0, temp.GetWidth(), temp.GetHeight()));
  } catch (...) {
    halftoneMode_ = mode;
    throw;
  }
  halftoneMode_ = mode;
  temp.SetPixelFormat(mode == 1 ? qkpfHalftone : qkpfHalftoneBW);
  temp.Draw(canvas, rect);
}

void TQkGraphic::Assign(const QClipboard& clipboard) {
  std::vector<uint8_t> block;
  if (const QMimeData* mime = clipboard.mimeData()) {
    if (mime->hasFormat(kBitmapMime)) {
      const QByteArray file = mime->data(kBitmapMime);
      if (file.size() > 14 && file.startsWith("BM")) block.assign(file.begin() + 14, file.end());
    } else if (mime->hasImage()) {
      // Any other picture is offered as a DIB, as the system would make one.
      TQkDIB synthesized;
      synthesized.Assign(qvariant_cast<QImage>(mime->imageData()));
      uint16_t format;
      TQkPalette unused;
      synthesized.SaveToClipboardFormat(format, block, unused);
    }
  }
  LoadFromClipboardFormat(GetClipboardFormat(), block, nullptr);
}

void TQkDIB::AssignTo(QClipboard& dest) const {
  uint16_t format;
  std::vector<uint8_t> block;
  TQkPalette palette;
  SaveToClipboardFormat(format, block, palette);
  const uint32_t colors = std::min<uint32_t>(Header().biClrUsed, 256);
  const uint32_t offBits = 14 + 40 + 4 * colors;
  const uint32_t size = uint32_t(14 + block.size());
  QByteArray file(14, '\0');
  file[0] = 'B';
  file[1] = 'M';
  for (int i = 0; i < 4; ++i) {
    file[2 + i] = char(size >> (8 * i));
    file[10 + i] = char(offBits >> (8 * i));
  }
  file.append(reinterpret_cast<const char*>(block.data()), qsizetype(block.size()));
  auto* mime = new QMimeData;
  mime->setData(kBitmapMime, file);
  mime->setImageData(ToQImage());
  dest.setMimeData(mime);
}

// ---- TQkDIBCanvas ---------------------------------------------------------

TQkDIBCanvas::TQkDIBCanvas(TQkDIB* dib) : dib_(CanvasTarget(dib)) {
  dib->UniqueDIB();
  TQkPixelFormat format;
  try {
    format = dib->GetPixelFormat();
  } catch (const EQkDIBError&) {
    format = qkpf4BitRLE;
  }
  if (format == qkpf4BitRLE || format == qkpf8BitRLE)
    throw EOutOfResources("TQkDIBCanvas.Create: Cannot Create Memory DC");
  storage_ = dib->internal_;
  const TQkDIBImage& img = storage_->Image;
  if (format == qkpf24Bit) {
    direct_ = true;
    surface_ = QImage(img.Bits(), img.Width(), img.Rows(), img.RowBytes(), QImage::Format_BGR888);
  } else {
    surface_ = dib->ToQImage().convertToFormat(QImage::Format_RGB32);
    original_ = surface_.copy();
  }
  painter_ = std::make_unique<QPainter>(&surface_);
  if (direct_ && !img.TopDown()) {
    // Stored rows run bottom-up: row y of the picture is stored row h-1-y.
    painter_->translate(0, img.Rows());
    painter_->scale(1, -1);
  }
}

void TQkDIBCanvas::StorePaletteColors() {
  TQkDIBImage& img = storage_->Image;
  const int bits = img.Header.biBitCount;
  const uint32_t used = img.Header.biClrUsed;
  const int entries = int(used > 0 ? std::min<uint32_t>(used, 1u << bits) : 1u << bits);
  std::unordered_map<QRgb, uint8_t> nearest;
  auto lookup = [&](QRgb c) {
    auto it = nearest.find(c);
    if (it != nearest.end()) return it->second;
    int best = 0;
    int64_t bestDistance = INT64_MAX;
    for (int i = 0; i < entries; ++i) {
      const TQkRGBQuad& e = img.ColorTable[size_t(i)];
      const int64_t dr = qRed(c) - e.rgbRed, dg = qGreen(c) - e.rgbGreen, db = qBlue(c) - e.rgbBlue;
      const int64_t d = dr * dr + dg * dg + db * db;
      if (d < bestDistance) bestDistance = d, best = i;
    }
    return nearest[c] = uint8_t(best);
  };
  for (int y = 0; y < surface_.height(); ++y) {
    const QRgb* now = reinterpret_cast<const QRgb*>(surface_.constScanLine(y));
    const QRgb* before = reinterpret_cast<const QRgb*>(original_.constScanLine(y));
    uint8_t* row = img.Row(img.TopDown() ? y : img.Rows() - 1 - y);
    for (int x = 0; x < surface_.width(); ++x) {
      if (now[x] == before[x]) continue;
      const uint8_t v = lookup(now[x]);
      if (bits == 8) {
        row[x] = v;
      } else if (bits == 4) {
        row[x >> 1] = (x & 1) ? uint8_t((row[x >> 1] & 0xF0) | v) : uint8_t((row[x >> 1] & 0x0F) | (v << 4));
      } else {
        const uint8_t bit = uint8_t(0x80 >> (x & 7));
        row[x >> 3] = v ? uint8_t(row[x >> 3] | bit) : uint8_t(row[x >> 3] & ~bit);
      }
    }
  }
}

TQkDIBCanvas::~TQkDIBCanvas() {
  painter_->end();
  if (!direct_) StorePaletteColors();
  storage_.reset();
  if (dib_.RefCount() == 1) dib_.UpdatePaletteModified();
  dib_.Changed();
}

}  // namespace qv
