#include "core/ui/Theme.h"

#include "controls/AnimationImage.h"
#include "core/data/CSVData.h"
#include "core/data/MailStore.h"
#include "core/data/NamedRecordFile.h"
#include "core/ui/QtText.h"
#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "core/data/TextFunctions.h"
#include "image/QkDIB.h"
#include "platform/Cp932.h"
#include "platform/FileUtil.h"
#include "platform/Paths.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <new>
#include <sstream>
#include <system_error>

namespace qv {
namespace {

// Reads a bitmap file image; a null image when it is not one.
QImage DecodeBitmap(const std::string& data) {
  if (data.empty()) return {};
  try {
    std::istringstream in(data);
    TQkDIB dib;
    dib.LoadFromStream(in);
    return dib.ToQImage().convertToFormat(QImage::Format_RGB32);
  } catch (const EQkException&) {
    return {};
  } catch (const std::bad_alloc&) {
    return {};
  }
}

bool EncodeBitmap(const QImage& strip, std::string& data) {
  if (strip.isNull()) return false;
  try {
    TQkDIB dib;
    // Any picture goes out in 24 bits.
    dib.Assign(strip.convertToFormat(QImage::Format_RGB32));
    std::ostringstream out;
    dib.SaveToStream(out);
    data = std::move(out).str();
    return true;
  } catch (const EQkException&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// One character of a name: a byte, or both bytes of a double-byte character.
std::string_view CharAt(std::string_view s, size_t i) { return s.substr(i, cp932::CharLength(s, i)); }

bool SameChar(std::string_view a, std::string_view b) { return SameTextNoCase(a, b); }

// "*" any run of characters, "?" one character; case ignored.
bool MatchesMask(std::string_view name, std::string_view pattern) {
  size_t n = 0, p = 0;
  size_t starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = ++p;
      starN = n;
      continue;
    }
    if (p < pattern.size()) {
      std::string_view pc = CharAt(pattern, p), nc = CharAt(name, n);
      if (pc == "?" || SameChar(pc, nc)) {
        p += pc.size();
        n += nc.size();
        continue;
      }
    }
    if (starP == std::string_view::npos) return false;
    // Let the last "*" take one more character and try again.
    starN += CharAt(name, starN).size();
    n = starN;
    p = starP;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool LoadBannerIndex(const std::filesystem::path& fileName, TBannerData& theme) {
  // Writers replace the file whole, so what is read here is one theme; what
  // is no file (a FIFO, a device) is never read.
  std::string bytes;
  if (!ReadWholeFile(fileName, bytes)) return false;
  std::istringstream in(std::move(bytes));
  std::string index, bitmap;
  if (!ReadRecord(in, kBannerIndexRecord, index) || !ReadRecord(in, kBannerBitmapRecord, bitmap)) return false;
  // A missing or damaged strip is no theme: there would be nothing to show.
  QImage strip = DecodeBitmap(bitmap);
  if (strip.isNull()) return false;
  TCSVData table;
  std::istringstream rows(index);
  table.LoadFromStream(rows);
  theme.Editable = table.GetCell(0, 0) == "1";
  theme.Interval = table.GetCell(0, 1);
  theme.Balloon = table.GetCell(0, 2);
  theme.Name = table.GetCell(0, 3);
  if (theme.Name.empty()) theme.Name = StoredName(fileName.stem().string());
  theme.Bitmap = std::move(strip);
  return true;
}

bool SaveBannerIndex(const std::filesystem::path& fileName, const TBannerData& theme) {
  TCSVData table;
  table.SetCell(0, 0, theme.Editable ? "1" : "0");
  table.SetCell(0, 1, theme.Interval);
  table.SetCell(0, 2, theme.Balloon);
  table.SetCell(0, 3, theme.Name);
  std::string bitmap;
  if (!EncodeBitmap(theme.Bitmap, bitmap)) return false;
  return WriteNamedRecordFile(fileName, {{std::string(kBannerIndexRecord), table.GetText()},
                                         {std::string(kBannerBitmapRecord), std::move(bitmap)}});
}

int ThemeSpeed(std::string_view interval) {
  const std::string text = TrimText(interval);
  double seconds = 0;
  const char* end = text.data() + text.size();
  auto [ptr, err] = std::from_chars(text.data(), end, seconds);
  if (err != std::errc() || ptr != end) seconds = 0;
  if (std::isnan(seconds) || seconds <= 0) seconds = 0.5;
  const double ms = std::trunc(seconds * 1000.0);
  if (ms >= static_cast<double>(INT32_MAX)) return INT32_MAX;
  return static_cast<int>(ms);
}

void ShowBannerStrip(TAnimationImage& image, const QImage& strip, std::string_view interval,
                     std::string_view balloon) {
  // Frames are 50 rows each: rows below the last whole frame are never shown
  // (the control would otherwise make its frames taller to cover them).
  const int rows = strip.height() / kBannerFrameHeight;
  image.SetPicture(rows > 0 ? strip.copy(0, 0, strip.width(), rows * kBannerFrameHeight) : strip);
  image.SetColCount(1);
  image.SetRowCount(rows);
  image.SetSpeed(ThemeSpeed(interval));
  image.setToolTip(ToQString(balloon));
}

void ClearBannerStrip(TAnimationImage& image) {
  image.Stop();
  image.SetPicture(QImage());
  image.setToolTip(QString());
}

bool LoadThemeAnimation(TAnimationImage& image) {
  const std::string file = IniRead(keys::ThemeFile);
  if (file.empty()) return false;
  TBannerData theme;
  if (!LoadBannerIndex(PathIn(GetThemeFolder(), file), theme)) return false;
  ShowBannerStrip(image, theme.Bitmap, theme.Interval, theme.Balloon);
  return true;
}

std::string ThemeFileName(std::string_view name) { return ReplaceForbiddenChars(name) + std::string(kThemeExtension); }

void ListFiles(std::string_view mask, std::vector<std::string>& list) {
  const size_t slash = mask.rfind('/');
  const std::string folder = slash == std::string_view::npos ? std::string(".") : std::string(mask.substr(0, slash + 1));
  const std::string_view pattern = slash == std::string_view::npos ? mask : mask.substr(slash + 1);
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeEc;
    if (it->is_directory(typeEc)) continue;
    std::string name = StoredName(it->path().filename().string());
    if (!MatchesMask(name, pattern)) continue;
    bool listed = false;
    for (const std::string& known : list) listed = listed || known == name;
    if (!listed) list.push_back(std::move(name));
  }
}

}  // namespace qv
