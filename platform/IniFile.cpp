#include "platform/IniFile.h"

#include "platform/Cp932.h"
#include "platform/FileUtil.h"
#include "platform/Text.h"

#include <charconv>
#include <mutex>

namespace qv {
namespace {

// Serialises read-modify-write cycles of every ini file within the process.
std::mutex g_writeMutex;

// Profile values lose white space at their ends, not other control characters.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string_view TrimBlanks(std::string_view s) { return Trim(s, IsBlank); }

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// A line's role within the file.
struct Line {
  enum Kind { Other, Section, Entry } kind = Other;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // entry value, trimmed, one pair of quotes removed
};

Line Classify(std::string_view raw) {
  Line line;
  std::string_view t = TrimBlanks(raw);
  if (t.empty() || t.front() == ';') return line;
  if (t.front() == '[') {
    size_t close = t.find(']');
    if (close == std::string_view::npos) return line;
    line.kind = Line::Section;
    line.name = TrimBlanks(t.substr(1, close - 1));
    return line;
  }
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return line;
  line.kind = Line::Entry;
  line.name = TrimBlanks(t.substr(0, eq));
  std::string_view v = TrimBlanks(t.substr(eq + 1));
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  line.value = v;
  return line;
}

std::string Load(const std::filesystem::path& path) {
  std::string text;
  ReadWholeFile(path, text);
  return text;
}

// Calls fn(line) for every line of the named section (first occurrence only).
template <typename Fn>
bool ForEachInSection(const std::vector<std::string_view>& lines, std::string_view section, Fn fn) {
  bool inside = false, found = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    Line l = Classify(lines[i]);
    if (l.kind == Line::Section) {
      if (inside) return true;
      inside = !found && EqualsNoCase(l.name, section);
      found = found || inside;
      continue;
    }
    if (inside && !fn(i, l)) return true;
  }
  return found;
}

// Puts key=value into the section's lines: over the key's first entry, else
// after the section's last entry, else in a new section at the end.
void SetEntry(std::vector<std::string>& lines, std::string_view section, std::string_view key,
              std::string_view value) {
  std::string entry = std::string(TrimBlanks(key)) + "=" + std::string(value);
  long keyLine = -1, lastEntry = -1;
  bool found = false;
  for (size_t i = 0; i < lines.size() && keyLine < 0; ++i) {
    Line l = Classify(lines[i]);
    if (l.kind == Line::Section) {
      if (found) break;
      if (EqualsNoCase(l.name, section)) {
        found = true;
        lastEntry = static_cast<long>(i);
      }
    } else if (found && l.kind == Line::Entry) {
      lastEntry = static_cast<long>(i);
      if (EqualsNoCase(l.name, key)) keyLine = static_cast<long>(i);
    }
  }
  if (keyLine >= 0) {
    lines[static_cast<size_t>(keyLine)] = std::move(entry);
  } else if (found) {
    lines.insert(lines.begin() + lastEntry + 1, std::move(entry));
  } else {
    if (!lines.empty() && !TrimBlanks(lines.back()).empty()) lines.emplace_back();
    lines.push_back("[" + std::string(section) + "]");
    lines.push_back(std::move(entry));
  }
}

// Rewrites the whole file from its lines. A file marked read-only is left as
// it is: replacing it by a rename would pass over the mark.
bool Store(const std::filesystem::path& path, const std::vector<std::string>& lines, FileAccess access) {
  if (IsReadOnlyFile(path)) return false;
  std::string out;
  for (const auto& l : lines) {
    out += l;
    out += "\r\n";
  }
  return WriteFileAtomically(path, out, true, access);
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (cp932::CharLength(a, i) == 2) {
      if (x != y || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return false;
  }
  return true;
}

bool ParseIniInteger(std::string_view text, int& value) {
  std::string_view t = TrimBlanks(text);
  bool negative = false;
  if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
    negative = t.front() == '-';
    t.remove_prefix(1);
  }
  int base = 10;
  if (!t.empty() && t.front() == '$') {
    base = 16;
    t.remove_prefix(1);
  } else if (t.size() > 1 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    base = 16;
    t.remove_prefix(2);
  }
  if (t.empty()) return false;
  long long v = 0;
  auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v, base);
  if (ec != std::errc() || p != t.data() + t.size()) return false;
  if (negative) v = -v;
  // Hexadecimal text may spell a negative 32-bit value (FFFFFFFF is -1).
  if (base == 16 && !negative && v > 0x7FFFFFFFLL && v <= 0xFFFFFFFFLL) v -= 0x100000000LL;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

std::optional<std::string> IniFile::Read(std::string_view section, std::string_view key) const {
  std::string text = Load(path_);
  auto lines = SplitLines(text);
  std::optional<std::string> result;
  ForEachInSection(lines, section, [&](size_t, const Line& l) {
    if (l.kind == Line::Entry && EqualsNoCase(l.name, key)) {
      result = std::string(l.value);
      return false;
    }
    return true;
  });
  return result;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  auto v = Read(section, key);
  return v ? *v : std::string(def);
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
  auto v = Read(section, key);
  int value = def;
  if (!v || !ParseIniInteger(*v, value)) return def;
  return value;
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const {
  std::string text = Load(path_);
  auto lines = SplitLines(text);
  std::vector<std::string> out;
  ForEachInSection(lines, section, [&](size_t, const Line& l) {
    if (l.kind == Line::Entry) out.push_back(std::string(l.name) + "=" + std::string(l.value));
    return true;
  });
  return out;
}

std::vector<std::string> IniFile::ReadSectionNames() const {
  std::string text = Load(path_);
  std::vector<std::string> out;
  for (auto raw : SplitLines(text)) {
    Line l = Classify(raw);
    if (l.kind == Line::Section) out.emplace_back(l.name);
  }
  return out;
}

bool IniFile::SectionExists(std::string_view section) const {
  std::string text = Load(path_);
  return ForEachInSection(SplitLines(text), section, [](size_t, const Line&) { return false; });
}

bool IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  const IniEntry entry{std::string(section), std::string(key), std::string(value)};
  return WriteStrings(std::span(&entry, 1));
}

bool IniFile::WriteStrings(std::span<const IniEntry> entries) {
  std::lock_guard lock(g_writeMutex);
  std::string text = Load(path_);
  auto views = SplitLines(text);
  std::vector<std::string> lines(views.begin(), views.end());
  for (const IniEntry& e : entries) SetEntry(lines, e.section, e.key, e.value);
  return Store(path_, lines, access_);
}

bool IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  return WriteString(section, key, std::to_string(value));
}

bool IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  return WriteString(section, key, value ? "1" : "0");
}

bool IniFile::DeleteKey(std::string_view section, std::string_view key) {
  std::lock_guard lock(g_writeMutex);
  std::string text = Load(path_);
  auto views = SplitLines(text);
  long keyLine = -1;
  ForEachInSection(views, section, [&](size_t i, const Line& l) {
    if (l.kind == Line::Entry && EqualsNoCase(l.name, key)) {
      keyLine = static_cast<long>(i);
      return false;
    }
    return true;
  });
  if (keyLine < 0) return true;
  std::vector<std::string> lines(views.begin(), views.end());
  lines.erase(lines.begin() + keyLine);
  return Store(path_, lines, access_);
}

bool IniFile::EraseSection(std::string_view section) {
  std::lock_guard lock(g_writeMutex);
  std::string text = Load(path_);
  auto views = SplitLines(text);
  std::vector<std::string> lines;
  bool skipping = false, erased = false;
  for (auto raw : views) {
    Line l = Classify(raw);
    if (l.kind == Line::Section) {
      skipping = !erased && EqualsNoCase(l.name, section);
      if (skipping) {
        erased = true;
        continue;
      }
    }
    if (!skipping) lines.emplace_back(raw);
  }
  if (!erased) return true;
  return Store(path_, lines, access_);
}

}  // namespace qv
