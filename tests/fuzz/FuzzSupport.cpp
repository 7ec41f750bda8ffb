#include "FuzzSupport.h"

#include <fstream>
#include <iterator>
#include <unistd.h>

namespace qvfuzz {

std::filesystem::path FreshFolder() {
  static const std::filesystem::path base = [] {
    std::string tmpl = (std::filesystem::temp_directory_path() / "qvfuzz-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) std::abort();
    return std::filesystem::path(tmpl);
  }();
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(base, ec)) std::filesystem::remove_all(entry, ec);
  return base;
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace qvfuzz
