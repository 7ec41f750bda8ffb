#include "platform/Version.h"

#include "platform/FileUtil.h"


namespace qv {

std::optional<std::string> ReadVersionValue(const std::filesystem::path& file, std::string_view key) {
  std::string bytes;
  if (!ReadWholeFile(file, bytes)) return std::nullopt;
  // The marker is spelled in pieces so this reader's own binary never holds it.
  std::string marker = std::string("\x01QVVERSION") + std::string("INFO\x01");
  size_t at = bytes.find(marker);
  // A marker followed by NUL is some other copy of the string, not a block.
  while (at != std::string::npos && (at + marker.size() >= bytes.size() || bytes[at + marker.size()] == '\0'))
    at = bytes.find(marker, at + 1);
  if (at == std::string::npos) return std::nullopt;
  size_t pos = at + marker.size();
  // Pairs "name=value" end with NUL; an empty one ends the block.
  while (pos < bytes.size() && bytes[pos] != '\0') {
    size_t end = bytes.find('\0', pos);
    if (end == std::string::npos) end = bytes.size();
    std::string_view pair(bytes.data() + pos, end - pos);
    size_t eq = pair.find('=');
    if (eq != std::string_view::npos && pair.substr(0, eq) == key) return std::string(pair.substr(eq + 1));
    pos = end + 1;
  }
  return std::nullopt;
}

}  // namespace qv
