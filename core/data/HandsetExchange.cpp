#include "core/data/HandsetExchange.h"

#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "core/data/TextFunctions.h"
#include "platform/Cp932.h"
#include "platform/FileUtil.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <istream>
#include <iterator>
#include <ostream>

namespace qv {

const std::string_view kHandsetCodeTable =
    "01=81A7,02=F045,03=9553,04=F047,05=819F,06=F040,07=81F4,0C=0D0A,10=F041,11=F042,12=F043,13=F09F,"
    "14=83BF,15=8198,16=7C,17=60,18=81AA,19=81AB,1A=F049,1B=F053,1C=819A,1D=F059,1E=F069,1F=F057,"
    "7E=81A8,7F=81A9,87=F044,90=819C,96=817E,97=8180,9E=8173,9F=8174,F0=8160,F2=944E,F3=8C8E,F4=89CE,"
    "F5=9085,F6=96D8,F7=8BE0,F8=9379,F9=93FA,FA=90E7,FB=969C,FC=897E,FD=F065,FE=F085,FF=81A1";

namespace {

// A line holds 256 bytes: the length byte, 7 constant bytes, the flag and at
// most 247 payload bytes.
constexpr size_t kMaxPayloadChars = HandsetFrameLine::kMaxChars - 18;
// Mail-history items: a tag, a length byte and at most 244 value bytes, of
// which the chunk's own count takes one.
constexpr size_t kHistoryChunkChars = 486;
// Phone-book items: at most 244 value bytes each.
constexpr size_t kListValueBytes = 244;
constexpr size_t kListValueChars = 2 * kListValueBytes;


int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The byte of the two digits at pos; -1 when they are missing or not hex.
int HexByteAt(std::string_view hex, size_t pos) {
  if (pos + 2 > hex.size()) return -1;
  int hi = HexDigit(hex[pos]), lo = HexDigit(hex[pos + 1]);
  return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

// The number of the hex digits [pos, pos + n); -1 when any is missing or bad.
int HexNumberAt(std::string_view hex, size_t pos, size_t n) {
  if (pos + n > hex.size()) return -1;
  int v = 0;
  for (size_t i = pos; i < pos + n; ++i) {
    int d = HexDigit(hex[i]);
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

bool IsHex(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return HexDigit(c) >= 0; });
}

bool IsWholeHexBytes(std::string_view s) { return s.size() % 2 == 0 && IsHex(s); }

std::string Hex2(int v) {
  char buf[4];
  std::snprintf(buf, sizeof buf, "%02X", v & 0xFF);
  return buf;
}

std::string Hex4(int v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X", v & 0xFFFF);
  return buf;
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A decimal field; fail when empty, not digits or too long to matter.
bool ParseDecimal(std::string_view s, int& v) {
  if (!AllDigits(s) || s.size() > 9) return false;
  v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return true;
}

std::vector<std::string> SplitAt(std::string_view s, char delim) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t at = s.find(delim, start);
    parts.emplace_back(s.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) return parts;
    start = at + 1;
  }
}

// The number a field's text holds: the text after a ":" if any, its
// single-byte digits kept, other single-byte characters as blanks, double-byte
// ones dropped; 0 when that is no number.
int NumberInText(std::string_view text) {
  size_t colon = FindDelim(text, ":");
  if (colon != std::string_view::npos) text = text.substr(colon + 1);
  std::string digits;
  for (size_t i = 0; i < text.size();) {
    size_t n = cp932::CharLength(text, i);
    if (n == 1) digits += (text[i] >= '0' && text[i] <= '9') ? text[i] : ' ';
    i += n;
  }
  int v = 0;
  return ParseDecimal(TrimText(digits), v) ? v : 0;
}

struct CodeTables {
  std::array<std::string, 256> decode;  // handset byte to CP932 bytes, empty when not in the table
  std::vector<std::pair<std::string, int>> encode;  // CP932 hex to handset byte
};

const CodeTables& Codes() {
  static const CodeTables t = [] {
    CodeTables c;
    for (const auto& pair : SplitAt(kHandsetCodeTable, ',')) {
      int code = HexByteAt(pair, 0);
      std::string bytes = pair.substr(3);
      c.decode[static_cast<size_t>(code)] = HexToBytes(bytes);
      c.encode.emplace_back(bytes, code);
    }
    return c;
  }();
  return t;
}

bool StandsForItself(int b) {
  return (b >= 1 && b <= 7) || b == 12 || (b >= 16 && b <= 127) || b == 135 || b == 144 || b == 150 ||
         b == 151 || (b >= 158 && b <= 223) || b >= 240;
}

bool IsPhoneChar(char c) { return c == '#' || c == '*' || c == 'P' || (c >= '0' && c <= '9'); }

enum class FieldCodec { Date, Text, Raw, Phone, PostCode, Blood, Sex, Age, Other };

FieldCodec CodecFor(int tag) {
  switch (tag) {
    case 0x0002: case 0x0003: case 0x0004: case 0x0005: case 0x010C: case 0x020C:
      return FieldCodec::Date;
    case 0x0101: case 0x0201: case 0x2004:
      return FieldCodec::Text;
    case 0x0102: case 0x0202: case 0x0109: case 0x0209: case 0x010B: case 0x020B: case 0x010E: case 0x020E:
    case 0x0111: case 0x0212: case 0x0213: case 0x2001: case 0x2002: case 0x2003:
      return FieldCodec::Raw;
    case 0x010A: case 0x020A:
      return FieldCodec::PostCode;
    case 0x010D:
      return FieldCodec::Blood;
    case 0x010F:
      return FieldCodec::Sex;
    case 0x0110: case 0x0210:
      return FieldCodec::Age;
    default:
      break;
  }
  int group = tag & 0xFF00, low = tag & 0xFF;
  if ((group == 0x0100 || group == 0x0200) && low >= 0x03 && low <= 0x08) return FieldCodec::Phone;
  return FieldCodec::Other;
}

// An item of tag, length and value in hex.
std::string TLV(uint16_t tag, std::string_view value) {
  return Hex4(tag) + Hex2(static_cast<int>(value.size() / 2)) + std::string(value);
}

// Cuts at the first "##" (never inside a double-byte character).
std::string BeforeHashes(std::string_view text) { return std::string(text.substr(0, FindDelim(text, "##"))); }

std::string FormatTime(std::time_t t) {
  std::tm tm {};
  localtime_r(&t, &tm);
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

int DaysInMonth(int year, int month) {
  static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

}  // namespace

// ---- captions and the file

const std::string& DataKindCaption(int kind) {
  static const std::array<std::string, 9> captions = {
      "", Sjis("電話帳"), "", "", Sjis("Kメール・ブリーズメール履歴"), "", Sjis("KメールDX履歴"), "",
      Sjis("ブックマーク")};
  static const std::string none;
  return kind >= 0 && kind < 9 ? captions[static_cast<size_t>(kind)] : none;
}

const std::string& PhoneKindCaption(int kind) {
  static const std::array<std::string, 6> captions = {"", "FAX", "PHS", Sjis("携帯"), Sjis("ポケベル"),
                                                      Sjis("文字電話")};
  static const std::string none;
  return kind >= 0 && kind < 6 ? captions[static_cast<size_t>(kind)] : none;
}

std::string HandsetExchangeFile::PathFor(int kind) { return GetTempDataFile(kind); }

bool HandsetExchangeFile::Read(const std::filesystem::path& path, std::vector<std::string>& lines) {
  lines.clear();
  std::string text;
  if (!ReadWholeFile(path, text)) return false;
  for (auto line : SplitLines(text)) lines.emplace_back(line);
  return true;
}

bool HandsetExchangeFile::Write(const std::filesystem::path& path, const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return WriteFileAtomically(path, text);
}

// ---- frame lines

std::string FormatHandsetFrameLine(int flag, std::string_view payload) {
  return Hex2(static_cast<int>((payload.size() + 16) / 2)) + std::string(HandsetFrameLine::kConstant) + Hex2(flag) +
         std::string(payload);
}

bool ParseHandsetFrameLine(std::string_view line, HandsetFrameLine& frame) {
  frame = HandsetFrameLine();
  if (line.size() < 18 || line.size() > HandsetFrameLine::kMaxChars || !IsWholeHexBytes(line)) return false;
  if (HexByteAt(line, 0) != static_cast<int>((line.size() - 2) / 2)) return false;
  frame.flag = HexByteAt(line, 16);
  frame.payload = Upper(line.substr(18));
  return true;
}

bool ReadHandsetRecords(const std::vector<std::string>& lines, std::vector<std::string>& records) {
  records.clear();
  std::string current;
  bool open = false;
  for (const auto& line : lines) {
    if (line.empty()) continue;
    HandsetFrameLine frame;
    if (!ParseHandsetFrameLine(line, frame)) return false;
    current += frame.payload;
    open = true;
    if (frame.flag & HandsetFrameLine::kLastLine) {
      records.push_back(std::move(current));
      current.clear();
      open = false;
    }
  }
  return !open;
}

std::vector<std::string> CollectHandsetRecords(const std::vector<std::string>& lines) {
  std::vector<std::string> records;
  std::string current;
  int parity = -1;      // of the current record's good lines; -1 before its first
  int lastParity = -1;  // of the record before it
  bool damaged = false;
  int badRun = 0;  // bad lines since the last good one
  for (const auto& line : lines) {
    if (TrimText(line).empty()) continue;
    HandsetFrameLine frame;
    if (!ParseHandsetFrameLine(line, frame)) {
      ++badRun;
      continue;
    }
    const int p = (frame.flag & HandsetFrameLine::kParity) ? 1 : 0;
    // Bad lines are taken to belong to the earliest record they can.
    if (parity >= 0 && p != parity) {
      // The record before never got its last line: it is dropped.
      current.clear();
      lastParity = parity;
      parity = -1;
      damaged = false;
    } else if (parity >= 0) {
      damaged = damaged || badRun > 0;
    } else if (badRun > 0) {
      // Before a record's first good line: a record of the other parity, lost
      // whole, when this one has the parity of the record before; else the
      // start of this record.
      damaged = !(lastParity >= 0 && p == lastParity);
    }
    badRun = 0;
    parity = p;
    current += frame.payload;
    if (frame.flag & HandsetFrameLine::kLastLine) {
      if (!damaged) records.push_back(std::move(current));
      current.clear();
      lastParity = parity;
      parity = -1;
      damaged = false;
    }
  }
  return records;
}

int HandsetRecordParity(int record) { return (record + (IniReadBool(keys::DuplicationFlagStartOdd) ? 1 : 0)) & 1; }

bool BuildHandsetFrames(std::vector<std::string>& lines, uint16_t tag, std::string_view header,
                        std::string_view payload, int parity, bool isLastRecord) {
  // The header must leave room for its item on the first line.
  if (header.size() < 2 || header.size() > kHistoryChunkChars || !IsWholeHexBytes(header) ||
      !IsWholeHexBytes(payload))
    return false;
  const int flag = (parity & 1) * HandsetFrameLine::kParity;
  size_t take = std::min(kHistoryChunkChars - header.size(), payload.size());
  std::string value = std::string(header) + Hex2(static_cast<int>(take / 2)) + std::string(payload.substr(0, take));
  size_t pos = take;
  while (pos < payload.size()) {
    lines.push_back(FormatHandsetFrameLine(flag, TLV(tag, value)));
    take = std::min(kHistoryChunkChars, payload.size() - pos);
    value = Hex2(static_cast<int>(take / 2)) + std::string(payload.substr(pos, take));
    pos += take;
  }
  lines.push_back(FormatHandsetFrameLine(
      flag | HandsetFrameLine::kLastLine | (isLastRecord ? HandsetFrameLine::kLastRecord : 0), TLV(tag, value)));
  return true;
}

bool BuildHandsetListFrames(std::vector<std::string>& lines, const std::vector<HandsetItem>& items, int parity,
                            bool isLastRecord) {
  // Items without a value are left out; any other item must be whole hex bytes.
  for (const auto& item : items)
    if (item.size() >= 6 && !(IsHex(item.substr(0, 4)) && IsWholeHexBytes(std::string_view(item).substr(4))))
      return false;
  const int flag = (parity & 1) * HandsetFrameLine::kParity;
  std::vector<std::string> built;
  std::string line;
  auto emit = [&] {
    built.push_back(FormatHandsetFrameLine(flag, line));
    line.clear();
  };
  for (const auto& item : items) {
    if (item.size() < 6) continue;
    const uint16_t tag = static_cast<uint16_t>(HexNumberAt(item, 0, 4));
    std::string_view value = std::string_view(item).substr(4);
    if (value.size() <= kListValueChars) {
      if (!line.empty() && value.size() / 2 + line.size() / 2 > kListValueBytes) emit();
      line += TLV(tag, value);
      continue;
    }
    // A long item goes in pieces. Its first piece fills the current line; on a
    // line with no room for a piece it starts a new one.
    if (line.size() + 2 > kListValueChars) emit();
    size_t take = kListValueChars - line.size();
    line += TLV(tag, value.substr(0, take));
    for (size_t pos = take; pos < value.size(); pos += take) {
      emit();
      take = std::min(kListValueChars, value.size() - pos);
      line += TLV(tag, value.substr(pos, take));
    }
  }
  if (line.empty()) return false;  // every piece stays on the line until the next one
  built.push_back(FormatHandsetFrameLine(
      flag | HandsetFrameLine::kLastLine | (isLastRecord ? HandsetFrameLine::kLastRecord : 0), line));
  for (auto& l : built) lines.push_back(std::move(l));
  return true;
}

bool SplitTLVHex(std::string_view data, std::vector<HandsetItem>& items) {
  items.clear();
  size_t pos = 0;
  while (pos < data.size()) {
    int tag = HexNumberAt(data, pos, 4);
    int length = HexByteAt(data, pos + 4);
    if (tag < 0 || length < 0) return false;
    std::string_view value = data.substr(pos + 6);
    if (value.size() < static_cast<size_t>(2 * length)) return false;
    value = value.substr(0, static_cast<size_t>(2 * length));
    if (!IsHex(value)) return false;
    items.push_back(Upper(data.substr(pos, 4)) + Upper(value));
    pos += 6 + value.size();
  }
  return !data.empty();
}

// ---- byte codecs

std::string HexFieldToText(std::string_view hex) {
  std::string out;
  size_t pos = 0;
  for (;;) {
    int length = HexByteAt(hex, pos);
    if (length <= 0) break;
    pos += 2;
    // A last chunk cut short keeps the bytes it holds.
    const size_t chars = std::min(static_cast<size_t>(2 * length), hex.size() - pos);
    out += HexToBytes(hex.substr(pos, chars));
    pos += chars;
  }
  return out;
}

std::string HexToBytes(std::string_view hex) {
  std::string out;
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::max(HexByteAt(hex, i), 0));
  return out;
}

std::string StrToHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

void HexToStream(std::string_view hex, std::ostream& out) {
  std::string bytes = HexToBytes(hex);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string StreamToHex(std::istream& in) {
  in.clear();
  in.seekg(0);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return StrToHex(bytes);
}

// ---- dates and record headers

std::string DecodeHandsetDate(std::string_view hex) {
  auto field = [&](size_t pos, size_t n, int mask, int marker) {
    int v = HexNumberAt(hex, pos, n);
    return v < 0 ? marker : v & mask;
  };
  HandsetDate d;
  d.year = field(1, 3, 0xFFF, HandsetDate::kNoYear);
  d.month = field(5, 1, 0xF, HandsetDate::kNoMonth);
  d.day = field(6, 2, 0x1F, HandsetDate::kNoDay);
  d.hour = field(8, 2, 0x1F, HandsetDate::kNoHour);
  d.minute = field(10, 2, 0x3F, HandsetDate::kNoMinute);
  d.second = field(12, 2, 0x3F, HandsetDate::kNoSecond);
  if (d.month == HandsetDate::kNoMonth || d.day == HandsetDate::kNoDay) return {};
  char buf[64];
  if (d.year == HandsetDate::kNoYear)
    std::snprintf(buf, sizeof buf, "     %02d/%02d", d.month, d.day);
  else
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", d.year, d.month, d.day);
  std::string out = buf;
  if (d.hour == HandsetDate::kNoHour) return out;
  std::snprintf(buf, sizeof buf, " %02d", d.hour);
  out += buf;
  if (d.minute == HandsetDate::kNoMinute) return out;
  std::snprintf(buf, sizeof buf, ":%02d", d.minute);
  out += buf;
  if (d.second == HandsetDate::kNoSecond) return out;
  std::snprintf(buf, sizeof buf, ":%02d", d.second);
  return out + buf;
}

std::vector<std::string> HandsetDateParts(std::string_view text) {
  // A date without a year, as the decoder writes it ("     mm/dd"), must not
  // be read as year/month: its month and day move to their own fields.
  std::string t = TrimText(text);
  if (CountDelims(std::string_view(t).substr(0, t.find(' ')), "/") == 1) t = "/" + t;
  for (char& c : t)
    if (c == ' ' || c == ':') c = '/';
  return SplitAt(t, '/');
}

std::string EncodeHandsetDate(std::string_view text) {
  const std::vector<std::string> parts = HandsetDateParts(text);
  auto field = [&](size_t i, int marker) {
    int v = 0;
    return i < parts.size() && ParseDecimal(parts[i], v) ? v : marker;
  };
  HandsetDate d;
  d.year = field(0, HandsetDate::kNoYear) & 0xFFF;
  d.month = field(1, HandsetDate::kNoMonth) & 0xF;
  d.day = field(2, HandsetDate::kNoDay) & 0x1F;
  d.hour = field(3, HandsetDate::kNoHour) & 0x1F;
  d.minute = field(4, HandsetDate::kNoMinute) & 0x3F;
  d.second = field(5, HandsetDate::kNoSecond) & 0x3F;
  return Hex4(d.year) + Hex2(d.month) + Hex2(d.day) + Hex2(d.hour) + Hex2(d.minute) + Hex2(d.second);
}

bool DecodeRecordHeader(std::string_view hex, HandsetRecordHeader& header, std::string& rest) {
  header = HandsetRecordHeader();
  rest.clear();
  int flags = HexByteAt(hex, 14), box = HexByteAt(hex, 16);
  if (flags < 0 || box < 0 || !IsHex(hex.substr(0, 14))) return false;
  header.date = DecodeHandsetDate(hex.substr(0, 14));
  header.kind = (flags >> 3) & 7;
  header.handsetFlag = (flags >> 2) & 1;
  header.unread = (flags >> 1) & 1;
  header.isProtected = flags & 1;
  header.boxNumber = box & 0xF;
  // Box 1 is written on the PC, so outgoing even without the direction bit.
  header.direction = ((box >> 4) & 1) || header.boxNumber == 1 ? 1 : 0;
  rest = hex.substr(18);
  return true;
}

std::string EncodeRecordHeader(std::string_view dateText, int kind, int handsetFlag, int unread, int isProtected,
                               int direction, int boxNumber) {
  int flags = ((kind & 7) << 3) | ((handsetFlag & 1) << 2) | ((unread & 1) << 1) | (isProtected & 1);
  int box = (boxNumber & 0xF) | ((direction & 1) << 4);
  return EncodeHandsetDate(dateText) + Hex2(flags) + Hex2(box);
}

// ---- handset text

std::string DecodeHandsetText(std::string_view hex) {
  if (hex.size() >= 8 && Upper(hex.substr(0, 8)) == "8091000D") return HexToBytes(hex.substr(8));
  const auto& codes = Codes();
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    int b = HexByteAt(hex, i);
    if (b < 0) b = 0;
    const std::string& mapped = codes.decode[static_cast<size_t>(b)];
    if (!mapped.empty())
      out += mapped;
    else if (StandsForItself(b))
      out += static_cast<char>(b);
    else
      out += ' ';
  }
  return out;
}

std::string EncodeHandsetText(std::string_view text) {
  const auto& codes = Codes();
  std::string out;
  for (size_t i = 0; i < text.size();) {
    // A line break is one character to the handset (code 0C).
    size_t n = text.compare(i, 2, "\r\n") == 0 ? 2 : cp932::CharLength(text, i);
    std::string hex = StrToHex(text.substr(i, n));
    i += n;
    for (const auto& [bytes, code] : codes.encode)
      if (bytes == hex) {
        hex = Hex2(code);
        break;
      }
    if (hex.size() == 2) out += hex;
  }
  return out;
}

// ---- phone numbers

std::string DecodePhoneNumber(int kind, std::string_view hex) {
  std::string bytes = HexToBytes(hex);
  if (bytes.empty()) return {};
  std::string number;
  for (size_t i = 1; i < bytes.size(); ++i)
    if (IsPhoneChar(bytes[i])) number += bytes[i];
  if (number.find_first_of("0123456789") == std::string::npos) return number;
  if (bytes[0] & 1) number = Sjis("分計ON; ") + number;
  if (kind >= 1 && kind <= 5) number = PhoneKindCaption(kind) + ": " + number;
  return number;
}

std::string EncodePhoneNumber(int& kind, std::string_view text) {
  kind = 0;
  std::string t = TrimText(text);
  size_t colon = FindDelim(t, ":");
  if (colon != std::string::npos) {
    std::string label = TrimText(std::string_view(t).substr(0, colon));
    for (int k = 1; k <= 5; ++k)
      if (label == PhoneKindCaption(k)) kind = k;
    t = TrimText(std::string_view(t).substr(colon + 1));
  }
  int attribute = 0;
  size_t semi = FindDelim(t, ";");
  if (semi != std::string::npos) {
    if (TrimText(std::string_view(t).substr(0, semi)) == Sjis("分計ON")) attribute = 1;
    t = TrimText(std::string_view(t).substr(semi + 1));
  }
  std::string digits;
  for (size_t i = 0; i < t.size();) {
    size_t n = cp932::CharLength(t, i);
    if (n == 1 && IsPhoneChar(t[i])) digits += t[i];
    i += n;
  }
  return digits.empty() ? std::string() : Hex2(attribute) + StrToHex(digits);
}

// ---- phone-book and bookmark fields

std::string DecodeAddressRecord(std::string_view item) {
  int tag = HexNumberAt(item, 0, 4);
  if (tag < 0) return {};
  std::string_view value = item.substr(4);
  int first = HexByteAt(value, 0);
  switch (CodecFor(tag)) {
    case FieldCodec::Date:
      return DecodeHandsetDate(value);
    case FieldCodec::Text:
      return DecodeHandsetText(value);
    case FieldCodec::Raw:
      return HexToBytes(value);
    case FieldCodec::Phone:
      return DecodePhoneNumber((tag & 0xFF) - 3, value);
    case FieldCodec::PostCode: {
      std::string digits;
      for (char c : value) {
        int d = HexDigit(c);
        if (d == 10)
          digits += '0';
        else if (d >= 1 && d <= 9)
          digits += static_cast<char>('0' + d);
      }
      return digits;
    }
    case FieldCodec::Blood: {
      static const char* names[] = {"", "A", "B", "AB", "O", "", "", ""};
      return first < 0 ? std::string() : names[first & 7];
    }
    case FieldCodec::Sex:
      if (first < 0 || (first & 3) == 0 || (first & 3) == 3) return {};
      return Sjis((first & 3) == 1 ? "男" : "女");
    case FieldCodec::Age:
      return first < 0 ? std::string() : std::to_string(first & 0x7F);
    case FieldCodec::Other:
      break;
  }
  return std::string(value);
}

HandsetItem EncodeAddressField(uint16_t tag, std::string_view text) {
  std::string value;
  switch (CodecFor(tag)) {
    case FieldCodec::Date:
      value = EncodeHandsetDate(text);
      break;
    case FieldCodec::Text:
      value = EncodeHandsetText(text);
      break;
    case FieldCodec::Raw:
      value = StrToHex(text);
      break;
    case FieldCodec::Phone: {
      int kind = 0;
      value = EncodePhoneNumber(kind, text);
      tag = static_cast<uint16_t>((tag & 0xFF00) | (0x03 + kind));
      break;
    }
    case FieldCodec::PostCode:
      for (size_t i = 0; i < text.size(); i += cp932::CharLength(text, i))
        if (cp932::CharLength(text, i) == 1 && text[i] >= '0' && text[i] <= '9') value += text[i] == '0' ? 'A' : text[i];
      if (value.size() % 2) value += '0';
      break;
    case FieldCodec::Blood: {
      std::string t = TrimText(text);
      int n = NumberInText(t);
      int code = t.starts_with("AB") || n == 3 ? 3 : t.starts_with("A") || n == 1 ? 1 : t.starts_with("B") || n == 2 ? 2
                 : t.starts_with("O") || n == 4 ? 4 : 0;
      value = Hex2(code);
      break;
    }
    case FieldCodec::Sex: {
      std::string t = TrimText(text);
      int n = NumberInText(t);
      value = Hex2(t.starts_with(Sjis("男")) || n == 1 ? 1 : t.starts_with(Sjis("女")) || n == 2 ? 2 : 0);
      break;
    }
    case FieldCodec::Age:
      if (!TrimText(text).empty()) value = Hex2(NumberInText(text) & 0x7F);
      break;
    case FieldCodec::Other:
      break;
  }
  return Hex4(tag) + value;
}

std::string EncodeListFlags(std::string_view secret, std::string_view group, std::string_view list) {
  int b = 0;
  if (Upper(TrimText(secret)) == "ON" || NumberInText(secret) == 1) b |= 0x80;
  b += (NumberInText(group) & 0x1F) * 4;
  std::string l = TrimText(list);
  int n = NumberInText(l);
  if (l.starts_with(Sjis("ホワイト")) || n == 1)
    b += 1;
  else if (l.starts_with(Sjis("ブラック")) || n == 2)
    b += 2;
  return Hex2(b);
}

void DecodeListFlags(std::string_view hex, std::string& secret, std::string& group, std::string& list) {
  secret.clear();
  group.clear();
  list.clear();
  int b = HexByteAt(hex, 0);
  if (b < 0) return;
  secret = b & 0x80 ? "ON" : "OFF";
  int n = (b >> 2) & 0x1F;
  if (n >= 1 && n <= 10) group = Sjis("グループ") + std::to_string(n);
  if ((b & 3) == 1) list = Sjis("ホワイトリスト");
  if ((b & 3) == 2) list = Sjis("ブラックリスト");
}

void SplitAddressRecords(std::vector<HandsetItem>& items, std::string_view rawText) {
  std::vector<HandsetItem> raw;
  for (const auto& token : SplitAt(rawText, ' ')) {
    std::vector<HandsetItem> one;
    if (!token.empty() && SplitTLVHex(token, one) && one.size() == 1) raw.push_back(one[0]);
  }
  for (auto& item : items) {
    if (item.size() < 4) continue;
    const std::string tag = Upper(std::string_view(item).substr(0, 4));
    const std::string decoded = DecodeAddressRecord(item);
    for (auto it = raw.begin(); it != raw.end(); ++it) {
      if (it->compare(0, 4, tag) != 0 || DecodeAddressRecord(*it) != decoded) continue;
      item = *it;
      raw.erase(it);
      break;
    }
  }
}

// ---- dates, dial strings and the wire form

std::string FormatHandsetDate(std::string_view text, std::time_t def) {
  std::string t = TrimText(text);
  if (CountDelims(t, "/") == 1) t = "/" + t;  // a date without a year
  for (char& c : t)
    if (c == ':' || c == ' ') c = '/';
  std::vector<std::string> parts = SplitAt(t, '/');
  int f[6] = {0, 0, 0, 0, 0, 0};
  for (size_t i = 0; i < 6 && i < parts.size(); ++i)
    if (!ParseDecimal(parts[i], f[i])) f[i] = 0;
  const int year = f[0], month = f[1], day = f[2], hour = f[3], minute = f[4], second = f[5];
  if (year < 1000 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
      hour > 24 || minute > 59 || second > 59)
    return FormatTime(def);
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
  return buf;
}

std::string MakeDialString(std::string_view number) {
  std::string s(number);
  if (FindDelim(s, "##") == std::string::npos && s.size() < 32) s += "##3";
  if (s.size() > 35) s.resize(35);
  return s;
}

std::string StripHashSuffix(std::string_view text) { return BeforeHashes(text); }

std::string HexToDecimalText(std::string_view hex) {
  std::string out;
  out.reserve(hex.size() / 2 * 3);
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%03d", std::max(HexByteAt(hex, i), 0));
    out += buf;
  }
  return out;
}

std::string DecimalTextToHex(std::string_view digits) {
  std::string out;
  out.reserve(digits.size() / 3 * 2);
  for (size_t i = 0; i + 3 <= digits.size(); i += 3) {
    int v = 0;
    if (!ParseDecimal(digits.substr(i, 3), v) || v > 255) return {};
    out += Hex2(v);
  }
  return out;
}

}  // namespace qv
