#pragma once
// Windows-profile style ini file: sections and keys compare without regard to
// (single-byte) case, values are trimmed, text is CP932 with CRLF lines.
// Nothing is cached: every call opens the file, does one read or write and
// closes it again, so several modules of one process see each other's writes.
#include "platform/FileUtil.h"

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// One value to write: Section, Key and the value as it is stored.
struct IniEntry {
  std::string section;
  std::string key;
  std::string value;
};

class IniFile {
 public:
  explicit IniFile(std::filesystem::path path, FileAccess access = FileAccess::Shared)
      : path_(std::move(path)), access_(access) {}
  const std::filesystem::path& Path() const { return path_; }

  // The value of Key in Section, or nothing when either is absent.
  std::optional<std::string> Read(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  // Decimal, or hexadecimal with "$" or "0x"; anything else gives def.
  int ReadInteger(std::string_view section, std::string_view key, int def) const;
  // "0" is false, any other number true, anything else def.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;
  // The section's entries as "key=value" lines, in file order.
  std::vector<std::string> ReadSection(std::string_view section) const;
  std::vector<std::string> ReadSectionNames() const;
  bool SectionExists(std::string_view section) const;

  // Writes create the file (and its folder); they replace it whole and
  // atomically, so a reader never sees half a file. False on I/O failure and
  // for a file marked read-only, which stays as it is.
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);
  // Every entry in one rewrite: the file holds either all of them or none.
  bool WriteStrings(std::span<const IniEntry> entries);
  bool WriteInteger(std::string_view section, std::string_view key, int value);
  bool WriteBool(std::string_view section, std::string_view key, bool value);
  bool DeleteKey(std::string_view section, std::string_view key);
  bool EraseSection(std::string_view section);

 private:
  std::filesystem::path path_;
  FileAccess access_;
};

// Parses text the way ReadInteger does; false when it is not a number.
bool ParseIniInteger(std::string_view text, int& value);
// Single-byte case-insensitive equality that steps over double-byte characters.
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace qv
