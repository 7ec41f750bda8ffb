#include "converter/Converter.h"

#include "converter/ByteIo.h"
#include "platform/Cp932.h"

#include <cstring>
#include <ctime>

namespace tcv {

Converter& TheConverter() {
  static Converter instance;
  return instance;
}

Timestamp LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

void CopyText(char* field, size_t max, const char* text, size_t length) {
  size_t n = 0;
  if (text) {
    const size_t limit = length < max ? length : max;
    while (n < limit) {
      const size_t step = qv::cp932::CharLength(std::string_view(text, length), n);
      if (n + step > limit && limit < length) break;  // would split a character
      n += step;
    }
    if (n > limit) n = limit;  // a lone lead byte ending the text itself
    std::memcpy(field, text, n);
  }
  std::memset(field + n, 0, max - n);
}

void Converter::Initial() {
  info_ = InfoBlock{};
  info_.initialised = 1;
  std::memset(info_.timeSignature, kNone, sizeof info_.timeSignature);
  std::memset(info_.keySignature, kNone, sizeof info_.keySignature);
  std::memset(info_.tempo, kNone, sizeof info_.tempo);
  for (int i = 0; i < 4; ++i) info_.channelMap[i] = static_cast<uint8_t>(i);
  for (int i = 0; i < 16; ++i) info_.channelRemap[i] = static_cast<uint8_t>(i);

  scan_ = ScanState{};
  std::memcpy(scan_.timeSignature, info_.timeSignature, sizeof scan_.timeSignature);
  std::memcpy(scan_.keySignature, info_.keySignature, sizeof scan_.keySignature);
  std::memcpy(scan_.tempo, info_.tempo, sizeof scan_.tempo);
  std::memset(scan_.initialProgram, kNone, sizeof scan_.initialProgram);
  std::memset(scan_.programState, kNone, sizeof scan_.programState);

  error_ = kErrorNone;
  searchedMidiSize_.reset();
}

uint32_t Converter::PseudoFileSize() const {
  if (info_.trackOffset == 0 && searchedMidiSize_) return *searchedMidiSize_;
  return Clamp32(uint64_t{info_.eventsLength} + 22 + info_.droppedBytes);
}

}  // namespace tcv
