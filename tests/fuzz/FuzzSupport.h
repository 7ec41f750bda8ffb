#pragma once
// What the fuzz targets share: the input split into pieces, a private folder
// for targets that read files, and a check that stops the run with a message.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qvfuzz {

// Takes the input from the front: numbers and pieces, then the rest.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}
  uint8_t Byte() {
    if (rest_.empty()) return 0;
    const auto b = static_cast<uint8_t>(rest_[0]);
    rest_.remove_prefix(1);
    return b;
  }
  uint16_t Word() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
  // A piece of at most max bytes, its length taken from the input first.
  std::string_view Piece(size_t max) {
    const size_t n = std::min<size_t>(Word() % (max + 1), rest_.size());
    std::string_view piece = rest_.substr(0, n);
    rest_.remove_prefix(n);
    return piece;
  }
  // Pieces split at a separator byte sequence.
  static std::vector<std::string_view> Split(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> parts;
    size_t from = 0;
    for (size_t at; (at = text.find(separator, from)) != std::string_view::npos; from = at + separator.size())
      parts.push_back(text.substr(from, at - from));
    parts.push_back(text.substr(from));
    return parts;
  }
  std::string_view Rest() const { return rest_; }
  bool Empty() const { return rest_.empty(); }

 private:
  std::string_view rest_;
};

// A folder of this process's own, emptied for each input.
std::filesystem::path FreshFolder();
// Writes bytes as a whole file.
void WriteFile(const std::filesystem::path& path, std::string_view bytes);
std::string ReadFile(const std::filesystem::path& path);

// A property every input must keep; a broken one is a finding.
#define QV_FUZZ_CHECK(cond)                                                                   \
  do {                                                                                        \
    if (!(cond)) {                                                                            \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);          \
      std::abort();                                                                           \
    }                                                                                         \
  } while (0)

// A round trip that must give back what went in: what was read is written,
// and the writing reads back the same.
#define QV_FUZZ_ROUND_TRIP(cond) QV_FUZZ_CHECK(cond)

}  // namespace qvfuzz
