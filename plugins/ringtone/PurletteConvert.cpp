#include "plugins/ringtone/PurletteConvert.h"

#include "core/data/TextFunctions.h"
#include "platform/Cp932.h"

#include <cstring>

namespace qv {
namespace {

const uint8_t* Bytes(std::string_view s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// Where a converter's returned end lies in its buffer: the written length, or
// nothing when the pointer is outside [begin, begin + size].
std::optional<size_t> WrittenLength(const uint8_t* begin, size_t size, const uint8_t* end) {
  if (!end) return std::nullopt;
  const auto b = reinterpret_cast<uintptr_t>(begin), e = reinterpret_cast<uintptr_t>(end);
  if (e < b || e - b > size) return std::nullopt;
  return static_cast<size_t>(e - b);
}

std::string Field(const char* buffer, size_t size) { return TrimText(std::string(buffer, strnlen(buffer, size))); }

}  // namespace

std::optional<ScanResult> ScanMidi(const TcvBinding& tcv, std::string_view midi) {
  if (!tcv.Bound() || midi.size() > kMaxSourceSize) return std::nullopt;
  tcv.tcvInitial(0, 0);
  if (tcv.tcvScanSMF(Bytes(midi), static_cast<int32_t>(midi.size())) != 1) return std::nullopt;
  ScanResult r;
  char title[kTitleBytes + 1] = {};
  char copyright[kTextBytes + 1] = {};
  tcv.tcvGetTitle(title);
  tcv.tcvGetCopyright(copyright);
  r.title = Field(title, kTitleBytes);
  r.copyright = Field(copyright, kTextBytes);
  tcv.tcvGetInitVoice(r.programs.data());
  return r;
}

std::array<uint8_t, 4> ChannelMap(const ConvertSettings& s) {
  std::array<uint8_t, 4> map{};
  for (size_t k = 0; k < 4; ++k) map[k] = static_cast<uint8_t>(s.roles[k] + 1);
  return map;
}

std::array<uint8_t, 16> ChannelRemap(const ConvertSettings& s) {
  std::array<uint8_t, 16> remap;
  remap.fill(kNoChannel);
  remap[kRhythmChannel] = kRhythmChannel;  // the rhythm channel stays channel 10
  for (size_t k = 0; k < 4; ++k)
    if (s.sources[k] >= 0 && s.sources[k] < 16) remap[k] = static_cast<uint8_t>(s.sources[k]);
  return remap;
}

ConvertResult ConvertToRingtone(const TcvBinding& tcv, std::string_view midi, const ConvertSettings& s) {
  ConvertResult r;
  if (!tcv.Bound() || midi.size() > kMaxSourceSize) return r;
  const auto size = static_cast<int32_t>(midi.size());
  // A conversion leaves its tempo in the converter's state; starting from a
  // fresh scan makes the preview and the saved file the same conversion.
  tcv.tcvInitial(0, 0);
  if (tcv.tcvScanSMF(Bytes(midi), size) != 1) return r;
  const TcvSetTextFn setters[kSongTextCount] = {tcv.tcvSetTitle,    tcv.tcvSetArtist,   tcv.tcvSetGenre,
                                                tcv.tcvSetCopyright, tcv.tcvSetCreator, tcv.tcvSetComposer,
                                                tcv.tcvSetLyrics,   tcv.tcvSetArranger};
  for (int i = 0; i < kSongTextCount; ++i) {
    // Never more than the block holds, and never half a character.
    std::string text = s.texts[static_cast<size_t>(i)];
    size_t n = 0;
    while (n < text.size()) {
      const size_t len = cp932::CharLength(text, n);
      if (n + len > SongTextLimit(i)) break;
      n += len;
    }
    text.resize(n);
    setters[i](text.c_str());
  }
  const auto map = ChannelMap(s);
  const auto remap = ChannelRemap(s);
  tcv.tcvSetChannelMap(map.data());
  tcv.tcvSetChannelRemap(remap.data());

  const int32_t need = tcv.tcvGetDXMSize(Bytes(midi), size);
  if (need <= 0) return r;
  r.ringtone.assign(static_cast<size_t>(need), '\0');
  auto* dest = reinterpret_cast<uint8_t*>(r.ringtone.data());
  const auto written = WrittenLength(dest, r.ringtone.size(), tcv.tcvConvSMFtoDXM(Bytes(midi), size, dest));
  if (!written || *written == 0) {
    r.ringtone.clear();
    return r;
  }
  r.ringtone.resize(*written);
  r.ok = true;

  if (tcv.GetError() == TCV_ERROR_DROPPED_NOTES || s.offeredChannels > 4)
    r.warning = cp932::FromUtf8("削除したチャンネルがあります");
  if (tcv.tcvTestPoly(Bytes(r.ringtone)) == 0 && tcv.GetError() == TCV_ERROR_POLYPHONY)
    r.warning += "\n" + cp932::FromUtf8("同時発音数１２を越えます");
  return r;
}

std::optional<std::string> RingtoneToMidi(const TcvBinding& tcv, std::string_view ringtone) {
  if (!tcv.Bound() || ringtone.empty()) return std::nullopt;
  int32_t size = tcv.tcvGetPseudoFileSize();
  // A null result with a larger need reported is tried once more at that size.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (size <= 0) return std::nullopt;
    std::string midi(static_cast<size_t>(size), '\0');
    auto* dest = reinterpret_cast<uint8_t*>(midi.data());
    uint8_t* end = tcv.tcvConvDXMtoSMF(Bytes(ringtone), dest);
    if (end) {
      const auto written = WrittenLength(dest, midi.size(), end);
      if (!written || *written == 0) return std::nullopt;
      midi.resize(*written);
      return midi;
    }
    const int32_t need = tcv.tcvGetPseudoFileSize();
    if (need <= size) return std::nullopt;
    size = need;
  }
  return std::nullopt;
}

std::string ConversionWarningText(std::string_view warning) {
  return cp932::FromUtf8("変換したデータは") + std::string(warning);
}

}  // namespace qv
