#pragma once
// The converter's state as callers see it: one 348-byte block, little-endian
// 32-bit numbers, copied whole by tcvGetDXMInfo / tcvSetDXMInfo.
#include <bit>
#include <cstddef>
#include <cstdint>

namespace tcv {

static_assert(std::endian::native == std::endian::little, "the info block is little-endian");

constexpr uint8_t kNone = 0xFF;  // unset signature, tempo, program or channel
constexpr size_t kTitleMax = 40;
constexpr size_t kTextMax = 20;

struct InfoBlock {
  uint32_t playTime;             // ms, of the last conversion
  uint32_t smpte;                // source division is SMPTE
  uint32_t division;             // ticks per quarter (or per frame)
  uint32_t ticksSinceTempo;      // output ticks since the last tempo change
  uint32_t initialised;          // 1 after tcvInitial, 0 after a scan
  uint8_t timeSignature[5];      // the meta event's 4 bytes; [0] == kNone: none
  uint8_t keySignature[3];       // 2 bytes; kNone kNone: none
  uint8_t tempo[4];              // 3 bytes big-endian; [0] == kNone: none
  char title[kTitleMax + 1];
  char artist[kTextMax + 1];
  char genre[kTextMax + 1];
  char copyright[kTextMax + 1];
  char creator[kTextMax + 1];
  char composer[kTextMax + 1];
  char lyrics[kTextMax + 1];
  char arranger[kTextMax + 1];
  uint8_t channelMap[4];         // the four melody roles
  uint8_t channelRemap[16];      // [0..3] melody sources, [9] rhythm source
  uint8_t initialProgram[16];    // per source channel
  uint32_t eventsLength;         // of the converted track
  uint32_t endOfTrack;           // the track was closed by an end-of-track event
  uint32_t trackOffset;          // of the track header in the last output; 0 = none
  uint32_t droppedBytes;         // data bytes left out (note-off velocity, bend LSB)
  uint32_t trackSizePos;         // where the last output keeps the track size
  uint32_t playTimePos;          // and the play time
  uint32_t droppedNotes;         // notes of unmapped channels were dropped
  uint32_t programSet[16];       // per source channel: a program change set it
};

static_assert(sizeof(InfoBlock) == 348);
static_assert(offsetof(InfoBlock, timeSignature) == 20);
static_assert(offsetof(InfoBlock, keySignature) == 25);
static_assert(offsetof(InfoBlock, tempo) == 28);
static_assert(offsetof(InfoBlock, title) == 32);
static_assert(offsetof(InfoBlock, artist) == 73);
static_assert(offsetof(InfoBlock, arranger) == 199);
static_assert(offsetof(InfoBlock, channelMap) == 220);
static_assert(offsetof(InfoBlock, channelRemap) == 224);
static_assert(offsetof(InfoBlock, initialProgram) == 240);
static_assert(offsetof(InfoBlock, eventsLength) == 256);
static_assert(offsetof(InfoBlock, trackOffset) == 264);
static_assert(offsetof(InfoBlock, trackSizePos) == 272);
static_assert(offsetof(InfoBlock, droppedNotes) == 280);
static_assert(offsetof(InfoBlock, programSet) == 284);

// Microseconds per quarter note; no tempo, or a tempo of 0, plays at 120 bpm.
constexpr uint32_t kDefaultTempo = 500000;
inline uint32_t TempoValue(const uint8_t t[3]) {
  return (uint32_t{t[0]} << 16) | (uint32_t{t[1]} << 8) | uint32_t{t[2]};
}
inline uint32_t EffectiveTempo(const InfoBlock& info) {
  if (info.tempo[0] == kNone) return kDefaultTempo;
  const uint32_t t = TempoValue(info.tempo);
  return t ? t : kDefaultTempo;
}
inline bool HasTimeSignature(const InfoBlock& info) { return info.timeSignature[0] != kNone; }
// sf = $FF is one flat, so only both bytes $FF mean none.
inline bool HasKeySignature(const InfoBlock& info) {
  return !(info.keySignature[0] == kNone && info.keySignature[1] == kNone);
}

}  // namespace tcv
