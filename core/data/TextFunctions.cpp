#include "core/data/TextFunctions.h"

#include "platform/Cp932.h"
#include "platform/IniFile.h"
#include "platform/Text.h"

#include <array>
#include <cstdio>
#include <mutex>
#include <unordered_map>

namespace qv {
namespace {

// Half-width katakana A1..DF in full width, and the voiced forms of the
// characters that take a voicing mark (DE) or a semi-voicing mark (DF).
constexpr const char* kKana[63] = {
    "。", "「", "」", "、", "・", "ヲ", "ァ", "ィ", "ゥ", "ェ", "ォ", "ャ", "ュ", "ョ", "ッ", "ー",
    "ア", "イ", "ウ", "エ", "オ", "カ", "キ", "ク", "ケ", "コ", "サ", "シ", "ス", "セ", "ソ", "タ",
    "チ", "ツ", "テ", "ト", "ナ", "ニ", "ヌ", "ネ", "ノ", "ハ", "ヒ", "フ", "ヘ", "ホ", "マ", "ミ",
    "ム", "メ", "モ", "ヤ", "ユ", "ヨ", "ラ", "リ", "ル", "レ", "ロ", "ワ", "ン", "゛", "゜"};

struct WidthTables {
  std::array<std::string, 63> kana;          // by byte - 0xA1
  std::array<std::string, 63> voiced;        // with DE, empty when none
  std::array<std::string, 63> semiVoiced;    // with DF, empty when none
  std::array<std::string, 95> ascii;         // 0x20..0x7E
};

const WidthTables& Tables() {
  static const WidthTables t = [] {
    WidthTables w;
    for (int i = 0; i < 63; ++i) w.kana[i] = cp932::FromUtf8(kKana[i]);
    auto setVoiced = [&](unsigned char half, const char* full, bool semi) {
      (semi ? w.semiVoiced : w.voiced)[half - 0xA1] = cp932::FromUtf8(full);
    };
    const char* ka = "ガギグゲゴザジズゼゾダヂヅデド";
    // ｶ..ﾄ are B6..C4 (15 characters, 3 bytes each in UTF-8).
    for (int i = 0; i < 15; ++i) setVoiced(static_cast<unsigned char>(0xB6 + i), std::string(ka + 3 * i, 3).c_str(), false);
    const char* ha = "バビブベボ";
    const char* pa = "パピプペポ";
    for (int i = 0; i < 5; ++i) {
      setVoiced(static_cast<unsigned char>(0xCA + i), std::string(ha + 3 * i, 3).c_str(), false);
      setVoiced(static_cast<unsigned char>(0xCA + i), std::string(pa + 3 * i, 3).c_str(), true);
    }
    setVoiced(0xB3, "ヴ", false);
    w.ascii[0] = cp932::FromUtf8("\xE3\x80\x80");  // ideographic space
    for (int c = 0x21; c <= 0x7E; ++c) {
      char32_t u = 0xFF01 + (c - 0x21);
      char utf8[4] = {static_cast<char>(0xE0 | (u >> 12)), static_cast<char>(0x80 | ((u >> 6) & 0x3F)),
                      static_cast<char>(0x80 | (u & 0x3F)), 0};
      std::string full = cp932::FromUtf8(utf8);
      w.ascii[c - 0x20] = full == "?" ? std::string(1, static_cast<char>(c)) : full;
    }
    return w;
  }();
  return t;
}

bool IsHalfKana(unsigned char c) { return c >= 0xA1 && c <= 0xDF; }

std::string ConvertWidth(std::string_view s, bool ascii) {
  const auto& t = Tables();
  std::string out;
  out.reserve(s.size() * 2);
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (cp932::IsLeadByte(c)) {
      size_t n = cp932::CharLength(s, i);
      out.append(s.substr(i, n));
      i += n;
    } else if (IsHalfKana(c)) {
      unsigned char next = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
      const std::string* combined = nullptr;
      if (next == 0xDE && !t.voiced[c - 0xA1].empty()) combined = &t.voiced[c - 0xA1];
      if (next == 0xDF && !t.semiVoiced[c - 0xA1].empty()) combined = &t.semiVoiced[c - 0xA1];
      if (combined) {
        out += *combined;
        i += 2;
      } else {
        out += t.kana[c - 0xA1];
        ++i;
      }
    } else if (ascii && c >= 0x20 && c <= 0x7E) {
      out += t.ascii[c - 0x20];
      ++i;
    } else {
      out += static_cast<char>(c);
      ++i;
    }
  }
  return out;
}

// Full-width kana (a double-byte character as a 16-bit code) to half-width bytes.
const std::unordered_map<uint16_t, std::string>& HalfWidthKana() {
  static const std::unordered_map<uint16_t, std::string> map = [] {
    std::unordered_map<uint16_t, std::string> m;
    auto code = [](const std::string& cp932) {
      return cp932.size() == 2 ? static_cast<uint16_t>(static_cast<unsigned char>(cp932[0]) << 8 |
                                                        static_cast<unsigned char>(cp932[1]))
                               : uint16_t{0};
    };
    auto add = [&](const std::string& full, std::string half) {
      if (uint16_t c = code(full)) m.emplace(c, std::move(half));
    };
    const auto& t = Tables();
    for (int i = 0; i < 63; ++i) {
      const char half = static_cast<char>(0xA1 + i);
      add(t.kana[static_cast<size_t>(i)], std::string(1, half));
      if (!t.voiced[static_cast<size_t>(i)].empty()) add(t.voiced[static_cast<size_t>(i)], {half, '\xDE'});
      if (!t.semiVoiced[static_cast<size_t>(i)].empty()) add(t.semiVoiced[static_cast<size_t>(i)], {half, '\xDF'});
    }
    add(cp932::FromUtf8("\xE3\x80\x80"), " ");  // ideographic space
    const std::pair<const char*, const char*> nearest[] = {{"ヮ", "ﾜ"}, {"ヰ", "ｲ"}, {"ヱ", "ｴ"}, {"ヵ", "ｶ"}, {"ヶ", "ｹ"}};
    for (const auto& [full, half] : nearest) add(cp932::FromUtf8(full), cp932::FromUtf8(half));
    // Each hiragana as its katakana: U+3041..U+3093 are U+30A1..U+30F3 less 0x60.
    for (char32_t u = 0x3041; u <= 0x3093; ++u) {
      auto utf8 = [](char32_t c) {
        return std::string{static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                           static_cast<char>(0x80 | (c & 0x3F))};
      };
      auto it = m.find(code(cp932::FromUtf8(utf8(u + 0x60))));
      if (it != m.end()) add(cp932::FromUtf8(utf8(u)), it->second);
    }
    return m;
  }();
  return map;
}

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}


// The value of the first header entry named name, if any.
bool FindHeader(std::string_view text, std::string_view name, std::string& value) {
  std::vector<std::string> list;
  ParseHeaderLines(list, text);
  for (const auto& entry : list) {
    size_t eq = entry.find('=');
    if (eq != std::string::npos && SameTextNoCase(std::string_view(entry).substr(0, eq), name)) {
      value = entry.substr(eq + 1);
      return true;
    }
  }
  return false;
}

}  // namespace

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t br = text.find_first_of("\r\n", start);
    if (br == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, br - start));
    start = br + ((text[br] == '\r' && br + 1 < text.size() && text[br + 1] == '\n') ? 2 : 1);
  }
  return lines;
}

std::string TrimText(std::string_view s) { return std::string(Trim(s)); }

std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (size_t i = 0; i < out.size(); i += cp932::CharLength(out, i))
    if (out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<char>(out[i] - 'a' + 'A');
  return out;
}

bool SameTextNoCase(std::string_view a, std::string_view b) { return EqualsNoCase(a, b); }

size_t FindDelim(std::string_view s, std::string_view delim, size_t from) {
  if (delim.empty()) return std::string_view::npos;
  for (size_t i = from; i < s.size();) {
    if (s.compare(i, delim.size(), delim) == 0) return i;
    i += cp932::CharLength(s, i);
  }
  return std::string_view::npos;
}

std::string GetField(std::string_view s, std::string_view delim, int index) {
  if (index < 0) return {};
  size_t start = 0;
  for (int i = 0; i < index; ++i) {
    size_t at = FindDelim(s, delim, start);
    if (at == std::string_view::npos) return {};
    start = at + delim.size();
  }
  size_t at = FindDelim(s, delim, start);
  return std::string(s.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
}

int CountDelims(std::string_view s, std::string_view delim) {
  int n = 0;
  for (size_t at = FindDelim(s, delim, 0); at != std::string_view::npos; at = FindDelim(s, delim, at + delim.size()))
    ++n;
  return n;
}

std::string ToFullWidth(std::string_view s) { return ConvertWidth(s, true); }
std::string HalfKanaToFullWidth(std::string_view s) { return ConvertWidth(s, false); }

std::string FoldToHalfWidthKana(std::string_view s) {
  const auto& map = HalfWidthKana();
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const size_t n = cp932::CharLength(s, i);
    if (n == 2) {
      const auto c = static_cast<uint16_t>(static_cast<unsigned char>(s[i]) << 8 | static_cast<unsigned char>(s[i + 1]));
      if (auto it = map.find(c); it != map.end()) {
        out += it->second;
        i += 2;
        continue;
      }
    }
    out.append(s.substr(i, n));
    i += n;
  }
  return out;
}

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 4 / 3 + bytes.size() / 27 + 8);
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t n = bytes.size();
  size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    unsigned v = (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
    if ((i + 3) % 54 == 0) out += "\r\n";
  }
  if (i < n) {
    unsigned v = p[i] << 16;
    if (i + 1 < n) v |= p[i + 1] << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < n ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

bool Base64Decode(std::string_view text, std::string& bytes) {
  bytes.clear();
  bytes.reserve(text.size() * 3 / 4);
  int group[4];
  int count = 0;
  for (char c : text) {
    int v = c == '=' ? -2 : Base64Value(c);
    if (v == -1) continue;
    group[count++] = v;
    if (count < 4) continue;
    count = 0;
    if (group[0] == -2 || group[1] == -2) {
      bytes.clear();
      return false;
    }
    bytes += static_cast<char>((group[0] << 2) | (group[1] >> 4));
    if (group[2] == -2) return true;
    bytes += static_cast<char>(((group[1] & 15) << 4) | (group[2] >> 2));
    if (group[3] == -2) return true;
    bytes += static_cast<char>(((group[2] & 3) << 6) | group[3]);
  }
  // A short last group gives the bytes its characters hold.
  if (count >= 2 && group[0] != -2 && group[1] != -2) {
    bytes += static_cast<char>((group[0] << 2) | (group[1] >> 4));
    if (count == 3 && group[2] != -2) bytes += static_cast<char>(((group[1] & 15) << 4) | (group[2] >> 2));
  }
  return true;
}

std::string HeaderPart(std::string_view text) {
  size_t at = text.find("\r\n\r\n");
  if (at == std::string_view::npos) return {};
  return std::string(text.substr(0, at + 2));
}

std::string BodyPart(std::string_view text) {
  size_t at = text.find("\r\n\r\n");
  if (at == std::string_view::npos) return {};
  std::string_view body = text.substr(at + 4);
  if (body.ends_with("\r\n")) body.remove_suffix(2);
  return std::string(body);
}

namespace {
bool IsFieldLine(std::string_view line) {
  size_t i = 0;
  auto nameChar = [](unsigned char c) { return c > ' ' && c < 0x7F && c != ':'; };
  while (i < line.size() && nameChar(static_cast<unsigned char>(line[i]))) ++i;
  return i > 0 && i < line.size() && line[i] == ':';
}
}  // namespace

size_t LeadingHeaderLength(std::string_view text) {
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    end = end == std::string_view::npos ? text.size() : end + 1;
    std::string_view line = text.substr(at, end - at);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    const bool continuation = at > 0 && !line.empty() && (line[0] == ' ' || line[0] == '\t');
    if (!continuation && !IsFieldLine(line)) break;
    at = end;
  }
  return at;
}

bool StartsWithHeader(std::string_view text) {
  const size_t length = LeadingHeaderLength(text);
  return length > 0 && text.substr(length).starts_with("\r\n");
}

void ParseHeaderLines(std::vector<std::string>& list, std::string_view text) {
  list.clear();
  // Continuation lines join the line before them, trimmed, with one blank
  // between; the first line has none. One pass, so that a header of many
  // continuation lines costs no more than its length.
  for (auto line : SplitLines(text)) {
    if (!list.empty() && !line.empty() && (line[0] == ' ' || line[0] == '\t')) {
      const std::string piece = TrimText(line);
      std::string& prev = list.back();
      size_t keep = prev.size();
      while (keep > 0 && IsBlankOrControl(prev[keep - 1])) --keep;
      prev.resize(keep);
      prev.push_back(' ');
      prev.append(piece);
    } else {
      list.emplace_back(line);
    }
  }
  std::vector<std::string> fields;
  fields.reserve(list.size());
  for (auto& line : list) {
    size_t at = FindDelim(line, ": ");
    if (at == std::string::npos) continue;
    line[at] = '=';
    line.erase(at + 1, 1);
    fields.push_back(std::move(line));
  }
  list = std::move(fields);
}

std::string GetHeaderValue(std::string_view text, std::string_view name) {
  std::string value;
  FindHeader(text, name, value);
  return value;
}

void SplitHeaderParams(std::string_view value, std::vector<std::string>& list) {
  list.clear();
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i <= value.size();) {
    if (i == value.size() || (!quoted && value[i] == ';')) {
      std::string part = TrimText(value.substr(start, i - start));
      if (!part.empty()) list.push_back(std::move(part));
      start = i + 1;
      if (i == value.size()) break;
      ++i;
      continue;
    }
    if (value[i] == '"') quoted = !quoted;
    i += cp932::CharLength(value, i);
  }
}

std::string GetHeaderValueN(std::string_view text, std::string_view name, int index) {
  std::string value;
  if (index < 0 || !FindHeader(text, name, value)) return {};
  std::vector<std::string> parts;
  SplitHeaderParams(value, parts);
  return static_cast<size_t>(index) < parts.size() ? parts[static_cast<size_t>(index)] : std::string();
}

bool GetHeaderParam(std::string_view text, std::string_view name, std::string_view param, std::string& result) {
  std::string value;
  if (!FindHeader(text, name, value)) return false;
  std::vector<std::string> parts;
  SplitHeaderParams(value, parts);
  for (const auto& part : parts) {
    size_t eq = part.find('=');
    size_t quote = part.find('"');
    bool named = eq != std::string::npos && (quote == std::string::npos || eq < quote);
    std::string partName = named ? TrimText(std::string_view(part).substr(0, eq)) : part;
    if (!SameTextNoCase(partName, param)) continue;
    std::string v = named ? TrimText(std::string_view(part).substr(eq + 1)) : std::string();
    if (v.size() > 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    result = v;
    return true;
  }
  return false;
}

std::string MakeBoundary(std::string_view text, std::string_view prefix) {
  auto lines = SplitLines(text);
  for (unsigned n = 0;; ++n) {
    char num[16];
    std::snprintf(num, sizeof num, "%2.2u", n);
    std::string candidate = std::string(prefix) + num;
    std::string open = "--" + candidate, close = open + "--";
    bool used = false;
    for (auto line : lines)
      if (line == open || line == close) {
        used = true;
        break;
      }
    if (!used) return candidate;
  }
}

}  // namespace qv
