#include "core/ui/Pictures.h"

#include "controls/ImageList.h"
#include "core/data/Settings.h"
#include "image/QkDIB.h"
#include "image/QkResourceModule.h"
#include "platform/Module.h"

#include <QFontMetrics>
#include <QPixmap>
#include <QPainter>

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
