#pragma once
// The converter's one module-wide state and its operations: scan a MIDI
// file, convert it to the handset's ringtone file, test the ringtone's
// polyphony and convert it back to a MIDI file for preview.
#include "converter/InfoBlock.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tcv {

constexpr int32_t kErrorNone = 0;
constexpr int32_t kErrorNotRingtone = 0x90102;
constexpr int32_t kErrorPolyphony = 0x90201;
constexpr int32_t kErrorDroppedNotes = 0x90202;

constexpr int kMaxVoices = 12;

// What the scan gathers; title, copyright, signatures and tempo stay from an
// earlier scan until the next tcvInitial.
struct ScanState {
  char title[kTitleMax + 1];
  char copyright[kTextMax + 1];
  uint8_t timeSignature[5];
  uint8_t keySignature[3];
  uint8_t tempo[4];
  uint8_t initialProgram[16];
  uint8_t programState[16];
  uint8_t usedVoice[128];
};

// Creation time written into the ringtone file.
struct Timestamp {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
Timestamp LocalNow();

// Bounded copy into a text field of max bytes plus terminator: pads with NUL,
// never writes the terminator byte, and never cuts a double-byte character.
void CopyText(char* field, size_t max, const char* text, size_t length);

class Converter {
 public:
  Converter() { Initial(); }

  void Initial();
  bool ScanSmf(const uint8_t* data, size_t size);

  // The ringtone file's exact size, computed by the conversion itself.
  size_t RingtoneSize(const uint8_t* data, size_t size) const;
  // Writes RingtoneSize bytes to dest; returns the end.
  uint8_t* ConvertToRingtone(const uint8_t* data, size_t size, uint8_t* dest);

  bool TestPolyphony(const uint8_t* file);
  // Writes at most PseudoFileSize() bytes; null when the file is not a
  // ringtone or its MIDI file would not fit that size.
  uint8_t* ConvertToMidi(const uint8_t* file, uint8_t* dest);
  uint32_t PseudoFileSize() const;

  int32_t Error() const { return error_; }
  InfoBlock& Info() { return info_; }
  const ScanState& Scan() const { return scan_; }

 private:
  struct Track;
  bool LocateTrack(const uint8_t* file, Track& track);

  InfoBlock info_{};
  ScanState scan_{};
  int32_t error_ = kErrorNone;
  // The size a track located by searching needs as a MIDI file.
  std::optional<uint32_t> searchedMidiSize_;
};

// The module-wide instance behind the exports.
Converter& TheConverter();

}  // namespace tcv
