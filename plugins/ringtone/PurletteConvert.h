#pragma once
// What the ringtone maker asks of the converter: the scan of an opened MIDI
// file, the conversion into a ringtone with its warnings, and the conversion
// back into a MIDI file for the preview. Texts are CP932.
#include "plugins/ringtone/TcvBinding.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

// The converter takes sizes as int32; a larger source is never handed over cut.
inline constexpr uint64_t kMaxSourceSize = INT32_MAX;

inline constexpr uint8_t kNoChannel = 0xFF;
inline constexpr int kRhythmChannel = 9;  // MIDI channel 10

struct ScanResult {
  std::string title;      // trimmed
  std::string copyright;  // trimmed
  std::array<uint8_t, 16> programs{};  // initial program per channel; 128 and above = none
};
// tcvInitial, then the scan; nothing when the file is not a supported MIDI file.
std::optional<ScanResult> ScanMidi(const TcvBinding& tcv, std::string_view midi);

// The eight song texts in the order of the ringtone's text blocks.
enum SongText { kTitle, kArtist, kGenre, kCopyright, kCreator, kComposer, kLyrics, kArranger, kSongTextCount };
inline constexpr size_t kTitleBytes = 40;
inline constexpr size_t kTextBytes = 20;
inline constexpr size_t SongTextLimit(int text) { return text == kTitle ? kTitleBytes : kTextBytes; }

struct ConvertSettings {
  std::array<std::string, kSongTextCount> texts;
  // Role per melody box: 0 melody, 1 bass, 2 and 3 accompaniment; -1 none.
  std::array<int, 4> roles{-1, -1, -1, -1};
  // Source channel (0-15) chosen in each source box; -1 none.
  std::array<int, 4> sources{-1, -1, -1, -1};
  // Entries the source-channel boxes offer (the programmed channels).
  int offeredChannels = 0;
};

// The converter's channel map and remap for the settings.
std::array<uint8_t, 4> ChannelMap(const ConvertSettings& settings);
std::array<uint8_t, 16> ChannelRemap(const ConvertSettings& settings);

struct ConvertResult {
  bool ok = false;
  std::string ringtone;
  std::string warning;  // "" or what follows "変換したデータは" in the warning box
};
// Scans the source afresh (so a conversion never depends on an earlier one),
// sends the texts, map and remap, converts and tests the polyphony.
ConvertResult ConvertToRingtone(const TcvBinding& tcv, std::string_view midi, const ConvertSettings& settings);

// The MIDI file of the ringtone just converted, for the preview; nothing when
// the converter gives none that fits its buffer.
std::optional<std::string> RingtoneToMidi(const TcvBinding& tcv, std::string_view ringtone);

// The warning box's text for a conversion's warning.
std::string ConversionWarningText(std::string_view warning);

}  // namespace qv
