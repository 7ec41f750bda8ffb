#pragma once
// Shift-JIS (code page 932) helpers. Data stays CP932 bytes everywhere; only
// the widget edge converts, and only typed text is ever encoded.
#include <string>
#include <string_view>

namespace qv::cp932 {

// First byte of a double-byte character.
constexpr bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
inline bool IsLeadByte(char c) { return IsLeadByte(static_cast<unsigned char>(c)); }

// Second byte of a double-byte character.
constexpr bool IsTrailByte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }
inline bool IsTrailByte(char c) { return IsTrailByte(static_cast<unsigned char>(c)); }

// Length in bytes of the character starting at s[i] (1 or 2). A lead byte
// without a trail byte after it (at the very end, or before a byte that no
// trail byte can be, such as "/" or a quote) counts as 1, so scans never step
// past the end nor swallow a delimiter.
inline size_t CharLength(std::string_view s, size_t i) {
  return (IsLeadByte(s[i]) && i + 1 < s.size() && IsTrailByte(s[i + 1])) ? 2 : 1;
}

// Whether byte offset pos falls inside a double-byte character (on its trail byte).
bool IsTrailPosition(std::string_view s, size_t pos);

// CP932 to UTF-8. Bytes that do not decode become U+FFFD, never dropped silently.
std::string ToUtf8(std::string_view cp932);
// CP932 to UTF-8 without substitutes: false (out empty) when any byte does not decode.
bool TryToUtf8(std::string_view cp932, std::string& out);
// UTF-8 to CP932. Characters CP932 cannot hold become "?".
std::string FromUtf8(std::string_view utf8);
// UTF-8 to CP932 without substitutes: false (out empty) when any character
// has no CP932 code.
bool TryFromUtf8(std::string_view utf8, std::string& out);

}  // namespace qv::cp932

namespace qv {

// The CP932 bytes of a UTF-8 literal: the system's own texts are written in
// UTF-8 in the sources.
inline std::string Sjis(std::string_view utf8) { return cp932::FromUtf8(utf8); }

}  // namespace qv
