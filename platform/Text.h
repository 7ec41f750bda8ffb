#pragma once
// The small text rules every layer shares: what counts as blank, trimming,
// and reading a whole text as a number.
#include <charconv>
#include <string_view>

namespace qv {

// A blank or a control character: every byte up to and including the blank.
constexpr bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

// The text without the bytes blank says at its start, or at either end.
constexpr std::string_view TrimLeft(std::string_view s, bool (*blank)(char) = IsBlankOrControl) {
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  return s;
}
constexpr std::string_view Trim(std::string_view s, bool (*blank)(char) = IsBlankOrControl) {
  s = TrimLeft(s, blank);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// The whole text read as a decimal number; 0 when it is not one.
template <typename Number = int>
Number NumberOrZero(std::string_view text) {
  Number value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() ? value : 0;
}

}  // namespace qv
