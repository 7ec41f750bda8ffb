#include "core/data/LegacyNames.h"

#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "platform/Paths.h"

#include <algorithm>
#include <string_view>

namespace qv {
namespace {

bool EndsWithNoCase(std::string_view s, std::string_view end) {
  return s.size() >= end.size() && std::equal(end.begin(), end.end(), s.end() - end.size(), [](char a, char b) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(a) == lower(b);
         });
}

// ".tmp<digits>-<digits>" at the end, as a replaced file's temporary had it.
std::string_view WithoutTemporarySuffix(std::string_view name) {
  const size_t at = name.rfind(".tmp");
  if (at == std::string_view::npos) return name;
  const std::string_view count = name.substr(at + 4);
  const size_t dash = count.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == count.size()) return name;
  for (size_t i = 0; i < count.size(); ++i)
    if (i != dash && (count[i] < '0' || count[i] > '9')) return name;
  return name.substr(0, at);
}

bool IsMailFolderFile(std::string_view name) {
  if (name.size() > 6 && name.starts_with(".") && name.ends_with(".lock")) name = name.substr(1, name.size() - 6);
  name = WithoutTemporarySuffix(name);
  if (name.ends_with(".new")) name.remove_suffix(4);
  return name.size() > 4 && (name.ends_with(".qvm") || name.ends_with(".qvs"));
}

bool IsThemeFile(std::string_view name) { return name.size() > 4 && EndsWithNoCase(name, ".qvt"); }

}  // namespace

int RenameLegacyMailNames(const std::filesystem::path& mailDir) { return RenameLegacyNames(mailDir, IsMailFolderFile); }

int RenameLegacyThemeNames(const std::filesystem::path& themeDir) { return RenameLegacyNames(themeDir, IsThemeFile); }

void RenameLegacyDataNames() {
  const std::filesystem::path mail = GetMailFolder(), themes = GetThemeFolder();
  RenameLegacyName(mail);
  RenameLegacyName(themes);
  RenameLegacyMailNames(mail);
  RenameLegacyThemeNames(themes);
  // The exchange files of the four data kinds, and the error log.
  for (int kind : {1, 4, 6, 8}) RenameLegacyName(GetTempDataFile(kind));
  RenameLegacyName(GetDataFilePath(keys::ErrorLogFile.name, keys::ErrorLogFile.def));
}

}  // namespace qv
