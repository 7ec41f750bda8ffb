#include "platform/Paths.h"

#include "platform/Cp932.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {
std::mutex g_mutex;
std::filesystem::path g_override;

// Marks a stored name that holds a name on disk as it is.
constexpr char kRawName = '\xFF';

bool IsAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t n = 0;
    unsigned min = 0, cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      n = 1, min = 0x80, cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 2, min = 0x800, cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 3, min = 0x10000, cp = c & 0x07;
    } else {
      return false;
    }
    if (i + n >= s.size()) return false;
    for (size_t k = 1; k <= n; ++k) {
      const auto t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

// Whether a stored name would be cut in two when it stands in a path.
bool HoldsSeparator(std::string_view stored) {
  for (size_t i = 0; i < stored.size(); i += cp932::CharLength(stored, i))
    if (stored[i] == '\\' || stored[i] == '/') return true;
  return false;
}

bool Exists(const std::filesystem::path& p) {
  struct stat st {};
  return ::lstat(p.c_str(), &st) == 0;
}

// A rename that never replaces what is already under the new name.
bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system that cannot: check, then rename.
  if (Exists(to)) return false;
  return ::rename(from.c_str(), to.c_str()) == 0;
}

// Each name of a path on disk converted on its own, the separators kept.
template <class Convert>
std::string EachName(std::string_view native, Convert convert) {
  std::string out;
  size_t start = 0;
  for (;;) {
    const size_t end = std::min(native.find('/', start), native.size());
    out += convert(native.substr(start, end - start));
    if (end >= native.size()) break;
    out += '/';
    start = end + 1;
  }
  return out;
}

}  // namespace

std::filesystem::path ProgramPath() {
  {
    std::lock_guard lock(g_mutex);
    if (!g_override.empty()) return g_override;
  }
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : p;
}

std::filesystem::path ProgramDir() { return ProgramPath().parent_path(); }

void SetProgramPathForTesting(const std::filesystem::path& path) {
  std::lock_guard lock(g_mutex);
  g_override = path;
}

bool IsRawName(std::string_view stored) { return !stored.empty() && stored[0] == kRawName; }

std::string NativeName(std::string_view stored) {
  if (stored.empty()) return {};
  if (IsRawName(stored)) return std::string(stored.substr(1));
  if (IsAscii(stored)) return std::string(stored);
  std::string utf8;
  if (cp932::TryToUtf8(stored, utf8)) return utf8;
  return std::string(stored);
}

std::string StoredName(std::string_view native) {
  if (native.empty()) return {};
  std::string cp932;
  if (IsAscii(native)) {
    if (native.find('\\') == std::string_view::npos) return std::string(native);
  } else if (cp932::TryFromUtf8(native, cp932) && !HoldsSeparator(cp932) && NativeName(cp932) == native) {
    return cp932;
  }
  return kRawName + std::string(native);
}

std::string NativePath(std::string_view stored) {
  // Names are CP932: the trail byte of ソ or 表 is also 0x5C and no separator.
  std::string out;
  size_t start = 0;
  for (;;) {
    size_t end = start;
    if (end < stored.size() && stored[end] == kRawName) {
      end = std::min(stored.find('/', end), stored.size());
    } else {
      while (end < stored.size() && stored[end] != '\\' && stored[end] != '/') end += cp932::CharLength(stored, end);
    }
    out += NativeName(stored.substr(start, end - start));
    if (end >= stored.size()) break;
    out += '/';
    start = end + 1;
  }
  return out;
}

std::string StoredPath(std::string_view native) { return EachName(native, StoredName); }

std::string ShownPath(const std::filesystem::path& native) {
  return EachName(native.string(), [](std::string_view name) {
    std::string stored = StoredName(name);
    return IsRawName(stored) ? cp932::FromUtf8(name) : stored;
  });
}

std::filesystem::path PathIn(const std::filesystem::path& folder, std::string_view stored) {
  return folder / NativePath(stored);
}

std::filesystem::path FromProgramDir(std::string_view stored) {
  std::filesystem::path p(NativePath(stored));
  if (p.is_absolute()) return p;
  return ProgramDir() / p;
}

bool NameFitsOnDisk(std::string_view stored) { return NativeName(stored).size() <= kMaxNameBytes; }

int RenameLegacyNames(const std::filesystem::path& folder, const std::function<bool(std::string_view)>& isOwn) {
  int renamed = 0;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    // A name that could be UTF-8 is the user's, or already ours.
    if (IsUtf8(name)) continue;
    std::string utf8;
    if (!cp932::TryToUtf8(name, utf8) || HoldsSeparator(name) || !isOwn(name)) continue;
    if (RenameNoReplace(it->path(), folder / utf8)) ++renamed;
  }
  return renamed;
}

bool RenameLegacyName(const std::filesystem::path& path) {
  std::filesystem::path p = path.has_filename() ? path : path.parent_path();
  // The folders on the way were made from the same setting: an earlier run
  // made them under CP932 names too.
  if (const auto parent = p.parent_path(); parent != p && !parent.empty() && !Exists(parent)) RenameLegacyName(parent);
  const std::string name = p.filename().string();
  std::string legacy;
  if (IsAscii(name) || !cp932::TryFromUtf8(name, legacy) || NativeName(legacy) != name) return false;
  const std::filesystem::path old = p.parent_path() / legacy;
  if (Exists(p) || !Exists(old)) return false;
  return RenameNoReplace(old, p);
}

}  // namespace qv
