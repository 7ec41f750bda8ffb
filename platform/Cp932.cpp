#include "platform/Cp932.h"

#include <cerrno>
#include <iconv.h>
#include <mutex>

namespace qv::cp932 {
namespace {

// iconv descriptors are not thread-safe; one per direction behind a lock.
struct Converter {
  Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
  ~Converter() {
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
  iconv_t cd;
  std::mutex mutex;
};

Converter& Decoder() {
  static Converter c("UTF-8", "CP932");
  return c;
}
Converter& Encoder() {
  static Converter c("CP932", "UTF-8");
  return c;
}

// Runs the conversion, replacing each input unit that does not convert and
// skipping it by the given rule.
template <typename SkipFn>
std::string Convert(Converter& conv, std::string_view in, std::string_view replacement, SkipFn skip,
                    size_t* failures = nullptr) {
  std::string out;
  if (in.empty()) return out;
  std::lock_guard lock(conv.mutex);
  if (conv.cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
  iconv(conv.cd, nullptr, nullptr, nullptr, nullptr);
  out.resize(in.size() * 3 + 16);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  size_t used = 0;
  while (srcLeft > 0) {
    char* dst = out.data() + used;
    size_t dstLeft = out.size() - used;
    size_t r = iconv(conv.cd, &src, &srcLeft, &dst, &dstLeft);
    used = out.size() - dstLeft;
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ or EINVAL: replace the offending unit and go on.
    if (failures) ++*failures;
    size_t n = skip(std::string_view(src, srcLeft));
    src += n;
    srcLeft -= n;
    if (out.size() - used < replacement.size() + 8) out.resize(out.size() * 2);
    out.replace(used, replacement.size(), replacement);
    used += replacement.size();
    iconv(conv.cd, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(used);
  return out;
}

}  // namespace

bool IsTrailPosition(std::string_view s, size_t pos) {
  size_t i = 0;
  while (i < pos && i < s.size()) {
    size_t n = CharLength(s, i);
    if (i + n > pos) return true;
    i += n;
  }
  return false;
}

namespace {
// One CP932 character (or one stray byte) that did not decode.
size_t Cp932Unit(std::string_view rest) { return CharLength(rest, 0); }
}  // namespace

std::string ToUtf8(std::string_view in) { return Convert(Decoder(), in, "\xEF\xBF\xBD", Cp932Unit); }

bool TryToUtf8(std::string_view in, std::string& out) {
  size_t failures = 0;
  out = Convert(Decoder(), in, "\xEF\xBF\xBD", Cp932Unit, &failures);
  if (failures == 0) return true;
  out.clear();
  return false;
}

namespace {
// One UTF-8 sequence (or one stray byte) that did not encode.
size_t Utf8Unit(std::string_view rest) {
  unsigned char c = static_cast<unsigned char>(rest[0]);
  size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  return n > rest.size() ? rest.size() : n;
}
}  // namespace

std::string FromUtf8(std::string_view in) { return Convert(Encoder(), in, "?", Utf8Unit); }

bool TryFromUtf8(std::string_view in, std::string& out) {
  size_t failures = 0;
  out = Convert(Encoder(), in, "?", Utf8Unit, &failures);
  if (failures == 0) return true;
  out.clear();
  return false;
}

}  // namespace qv::cp932
