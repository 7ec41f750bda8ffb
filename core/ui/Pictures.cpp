#include "core/ui/Pictures.h"

#include "controls/ImageList.h"
#include "core/data/Settings.h"
#include "image/QkDIB.h"
#include "image/QkJPEG.h"
#include "image/QkResourceModule.h"
#include "platform/Module.h"

#include <QFontMetrics>
#include <QPixmap>
#include <QPainter>

#include <algorithm>
#include <filesystem>
#include <istream>
#include <sstream>
#include <strings.h>

namespace qv {

void DrawBrokenImage(QImage& bitmap) {
  bitmap = QImage(96, 72, QImage::Format_RGB32);
  QPainter p(&bitmap);
  p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
  p.setBrush(Qt::white);
  p.drawRect(0, 0, 95, 71);  // the pen's outline covers the whole area
  const QString cross = QStringLiteral("×");
  const QFontMetrics metrics(p.font());
  const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
  p.setPen(Qt::red);
  p.drawText(QRect(1, 1, 95, 70), flags, cross);
  p.setPen(Qt::black);
  p.drawText(QRect(1 + metrics.horizontalAdvance(cross), 1, 95, 70), flags, QStringLiteral("破損画像"));
}

QString PixelCountText(int64_t pixels) {
  // Thousands apart by commas, whatever the locale.
  QString digits = QString::number(static_cast<qlonglong>(pixels));
  for (qsizetype at = digits.size() - 3; at > (digits.startsWith(QLatin1Char('-')) ? 1 : 0); at -= 3)
    digits.insert(at, QLatin1Char(','));
  return digits + QStringLiteral("画素");
}

QString PictureSizeText(QSize picture) {
  return QStringLiteral("%1×%2 (%3)")
      .arg(picture.width())
      .arg(picture.height())
      .arg(PixelCountText(int64_t(picture.width()) * picture.height()));
}

void DrawTooLargeImage(QImage& bitmap, QSize picture, int64_t limit) {
  const QString cross = QStringLiteral("×");
  const QStringList lines = {QStringLiteral("大きすぎる画像"), QStringLiteral("%1×%2").arg(picture.width()).arg(picture.height()),
                             QStringLiteral("上限 ") + PixelCountText(limit)};
  const QFont font;
  const QFontMetrics metrics(font);
  int width = 1 + metrics.horizontalAdvance(cross) + metrics.horizontalAdvance(lines[0]);
  for (const QString& line : lines) width = std::max(width, 1 + metrics.horizontalAdvance(line));
  const int height = 1 + int(lines.size()) * metrics.height() + 2;
  bitmap = QImage(std::max(96, width + 3), std::max(72, height), QImage::Format_RGB32);
  QPainter p(&bitmap);
  p.setFont(font);
  p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
  p.setBrush(Qt::white);
  p.drawRect(0, 0, bitmap.width() - 1, bitmap.height() - 1);
  const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
  const QRect area = bitmap.rect().adjusted(1, 1, -1, -1);
  p.setPen(Qt::red);
  p.drawText(area, flags, cross);
  p.setPen(Qt::black);
  p.drawText(area.adjusted(metrics.horizontalAdvance(cross), 0, 0, 0), flags, lines[0]);
  for (int i = 1; i < int(lines.size()); ++i) p.drawText(area.adjusted(0, i * metrics.height(), 0, 0), flags, lines[i]);
}

// ---- TScaledPicture ----------------------------------------------------------

TScaledPicture::TScaledPicture(QImage picture) : decoded_(std::move(picture)), size_(decoded_.size()) {}

TScaledPicture TScaledPicture::FromJpeg(std::string bytes, int64_t maxPixels) {
  const TJPEGSize size = ReadJPEGSize(bytes);
  if (maxPixels > 0 && size.Pixels() > maxPixels) throw EJPEGTooLarge(size, maxPixels);
  TScaledPicture picture;
  picture.jpeg_ = std::make_shared<const std::string>(std::move(bytes));
  picture.size_ = QSize(size.Width, size.Height);
  return picture;
}

bool TScaledPicture::Check() {
  if (!IsJpeg()) return true;
  if (smallest_.isNull()) smallest_ = Decode(1);
  return !smallest_.isNull();
}

int TScaledPicture::ScaleFor(QSize shown) const {
  if (!IsJpeg()) return 8;
  return JPEGScaleFor(TJPEGSize{size_.width(), size_.height()}, shown.width(), shown.height());
}

QSize TScaledPicture::ScaledSize(int eighths) const {
  if (!IsJpeg()) return size_;
  const TJPEGSize scaled = JPEGScaledSize(TJPEGSize{size_.width(), size_.height()}, eighths);
  return QSize(scaled.Width, scaled.Height);
}

QImage TScaledPicture::Decode(int eighths, const QRect& part) const {
  if (!IsJpeg()) return part.isEmpty() || part == decoded_.rect() ? decoded_ : decoded_.copy(part);
  if (eighths <= 1 && !smallest_.isNull()) return part.isEmpty() ? smallest_ : smallest_.copy(part);
  try {
    const TJPEGPart cut{part.x(), part.y(), part.width(), part.height()};
    return LoadJPEGImage(*jpeg_, eighths, cut, 0);
  } catch (const std::exception&) {
    return {};
  }
}

QImage TScaledPicture::Scaled(QSize size, Qt::TransformationMode mode) const {
  const QImage level = Decode(ScaleFor(size));
  if (level.isNull() || level.size() == size || size.isEmpty()) return level;
  return level.scaled(size, Qt::IgnoreAspectRatio, mode);
}

void LoadBitmapFromStream(QImage& bitmap, std::istream& stream) {
  try {
    stream.clear();
    stream.seekg(0);
    TQkDIB dib;
    dib.LoadFromStream(stream);
    const TQkPixelFormat format = dib.GetPixelFormat();
    if (format == qkpf4BitRLE || format == qkpf8BitRLE) dib.SetPixelFormat(qkpf24Bit);
    bitmap = dib.ToQImage();
  } catch (const std::exception&) {
    DrawBrokenImage(bitmap);
  }
}

void ConvertBitmapViaDIB(QImage& bitmap) {
  if (bitmap.isNull() || bitmap.format() == QImage::Format_Mono || bitmap.format() == QImage::Format_MonoLSB) return;
  TQkDIB dib;
  dib.Assign(bitmap);
  if (dib.GetPixelFormat() == qkpf24Bit) dib.SetPixelFormat(qkpf8Bit);
  bitmap = dib.ToQImage();
}

namespace {

// The named bitmap of a resource-only module, as a picture; null when the
// module has no such bitmap or it cannot be read.
QImage ResourceBitmap(const Module& module, std::string_view name) {
  const auto* table = static_cast<const TQkResourceEntry*>(module.Symbol(kResourceTableSymbol));
  if (!table) return {};
  const std::string wanted(name);
  for (const TQkResourceEntry* e = table; e->Name; ++e) {
    if (::strcasecmp(e->Name, wanted.c_str()) != 0 || ::strcasecmp(e->Type, "BITMAP") != 0) continue;
    try {
      std::istringstream in(std::string(reinterpret_cast<const char*>(e->Data), e->Size), std::ios::binary);
      TQkDIB dib;
      dib.LoadFromStream(in);
      return dib.ToQImage().convertToFormat(QImage::Format_RGB32);
    } catch (const std::exception&) {
      return {};
    }
  }
  return {};
}

}  // namespace

bool LoadImageListFromDll(std::string_view resourceName, TImageList& imageList) {
  const std::string path = GetDataFilePath("ImageDllFile", "image.dll");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  Module module;
  if (!module.Load(path)) return false;
  const QImage bitmap = ResourceBitmap(module, resourceName);
  if (bitmap.isNull()) return false;
  const int w = imageList.GetWidth(), h = imageList.GetHeight();
  const int columns = w > 0 ? bitmap.width() / w : 0;
  const int rows = h > 0 ? bitmap.height() / h : 0;
  imageList.Clear();
  for (int row = 0; row < rows; ++row)
    for (int column = 0; column < columns; ++column)
      imageList.AddMasked(bitmap.copy(column * w, row * h, w, h), 0xFF00FF);
  return true;
}

QIcon ImageListIcon(const TImageList& list, int image) {
  if (image < 0 || image >= list.Count()) return {};
  return QIcon(QPixmap::fromImage(list.Image(image)));
}

}  // namespace qv
