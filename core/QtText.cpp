#include "core/QtText.h"

#include "controls/Graphics.h"
#include "core/MailForm.h"
#include "platform/Cp932.h"

namespace qv {

QString ToQString(std::string_view cp932) {
  std::string utf8 = cp932::ToUtf8(cp932);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string FromQString(const QString& text) {
  QByteArray utf8 = text.toUtf8();
  return cp932::FromUtf8(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

bool TryFromQString(const QString& text, std::string& out) {
  QByteArray utf8 = text.toUtf8();
  return cp932::TryFromUtf8(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())), out);
}

std::string ColorToHexRGB(TColor color) { return RGBToHexRGB(ColorToRGB(color)); }

}  // namespace qv
