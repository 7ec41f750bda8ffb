#include "LineSplitter.h"

#include "Codes.h"

#include <cstring>
#include <string_view>

namespace seriallink {
namespace {

// Whether bytes [from, from + text.size()) of the line equal text; bytes past
// the line's end never match.
bool At(const char* line, size_t length, size_t from, std::string_view text) {
  return from + text.size() <= length && std::memcmp(line + from, text.data(), text.size()) == 0;
}

bool Digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int32_t ClassifyModemResult(const char* line, size_t length, Dialect dialect) {
  if (length == 0) return kModemText;
  if (line[0] == '\r' || line[0] == '\n') return kModemEmpty;
  struct Word {
    std::string_view text;
    int32_t code;
  };
  static constexpr Word kWords[] = {
      {"OK", kModemOk},           {"RING", kModemRing},       {"BUSY", kModemBusy},
      {"ERROR", kModemError},     {"DELAYED", kModemDelayed}, {"CONNECT", kModemConnect},
      {"NO CARRIER", kModemNoCarrier}, {"PAGING CONFIG 0:0", kModemPagingSame},
      {"PAGING CONFIG 1:1", kModemPagingSame}, {"PAGING CONFIG 0:1", kModemPagingMixed},
  };
  for (const auto& w : kWords) {
    if (dialect == Dialect::Signup && w.text == "PAGING CONFIG 1:1") continue;
    if (At(line, length, 0, w.text)) return w.code;
  }
  return kModemText;
}

int32_t ClassifyProtocolLine(const char* line, size_t length, int32_t& farEndCode, int32_t& wellFormed,
                             int32_t& connectionError, Dialect dialect) {
  const bool signup = dialect == Dialect::Signup;
  if (length == 0 || line[0] == '\0') return 0;
  if (length > 20 && At(line, length, 0, "SOCKET_") && At(line, length, 9, "_CONNECTION")) {
    if (!At(line, length, 7, "25")) {
      connectionError = code::BadSocket;
      return 48;
    }
    if (!(length > 21 && line[21] == '1')) {
      connectionError = code::BadTag;
      return 48;
    }
    if (At(line, length, 20, "[1 SMAIL]")) {
      connectionError = 0;
      return 5;
    }
    connectionError = signup ? code::OtherConnection : code::UnexpectedLine;
    return 48;
  }
  if (length < 24) {
    if (length > 10 && At(line, length, 0, "READY")) {
      // Only the five bytes after READY decide.
      struct Tag {
        std::string_view text;
        int32_t offset;
      };
      static constexpr Tag kTags[] = {
          {"[1 SEND]", 11}, {"[1 SMAIL]", 10}, {"[1 XCHNG]", 13}, {"[1 SIGNUP]", 14}, {"[1 RECEIVE]", 12}};
      for (const auto& t : kTags)
        if (std::memcmp(line + 5, t.text.data(), 5) == 0) return t.offset;
      return 49;
    }
    if (!signup && length == 9 && At(line, length, 0, "MAILLIST")) return 15;
    if (!signup && length == 8 && At(line, length, 0, "NO_MORE")) return 16;
    if (length == 5 && At(line, length, 0, "TURN")) return 3;
    if (length == 5 && At(line, length, 0, "MAIL")) return 2;
    if (length == 3 && At(line, length, 0, "OK")) return 4;
    return 49;
  }
  if (At(line, length, 0, "SOCKET_25_DISCONNECTION")) {
    if (length > 28 && line[23] == '[' && line[28] == ']' && Digit(line[24]) && Digit(line[25]) && Digit(line[26]) &&
        Digit(line[27])) {
      farEndCode = (line[24] - '0') * 1000 + (line[25] - '0') * 100 + (line[26] - '0') * 10 + (line[27] - '0');
      wellFormed = 1;
    } else {
      wellFormed = 0;
    }
    return 1;
  }
  return 49;
}

bool LineSplitter::LineSplitterSetBuffer(const char* buffer, size_t length) {
  if (!buffer) return false;
  area_ = buffer;
  areaLength_ = length;
  return true;
}

int32_t LineSplitter::ClassifyLine(const char* buffer, size_t length, const char** next) {
  farEndCode_ = 9999;
  wellFormed_ = 1;
  connectionError_ = 0;
  if (!area_ || !buffer || buffer < area_ || buffer > area_ + areaLength_) return 0;
  if (length > static_cast<size_t>(area_ + areaLength_ - buffer)) length = static_cast<size_t>(area_ + areaLength_ - buffer);
  for (size_t i = 0; i < length; ++i) {
    const char c = buffer[i];
    if (c == '\r' || c == '\n') {
      size_t end = i + 1;
      if (c == '\r' && end < length && buffer[end] == '\n') ++end;
      if (next) *next = buffer + end;
      return ClassifyModemResult(buffer, end, dialect_);
    }
    if (c == '\0') {
      if (next) *next = buffer + i + 1;
      return kLineBase + ClassifyProtocolLine(buffer, i + 1, farEndCode_, wellFormed_, connectionError_, dialect_);
    }
  }
  return 0;
}

}  // namespace seriallink
