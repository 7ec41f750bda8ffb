#pragma once
// The handset's ringtone file ("MCDF"): a fixed directory of tagged blocks
// with the song's metadata, then one reduced MIDI track ("CThd"/"CTrk").
#include <cstddef>
#include <cstdint>

namespace tcv {

constexpr size_t kDirectoryEntries = 31;
constexpr size_t kDirectoryOffset = 4;
constexpr size_t kEntrySize = 10;
constexpr size_t kTemplateSize = 332;  // signature, directory, fixed blocks
constexpr size_t kTrackHeaderSize = 22;
constexpr size_t kLargestBlock = 40;   // the title; the track aside
constexpr uint16_t kTrackTag = 0x0240;
constexpr uint16_t kTrackSizeTag = 0x0281;
constexpr uint16_t kEndTag = 0xFFFF;
constexpr uint32_t kTicksPerQuarter = 24;

// The 14 bytes that open the track: "CThd", length 6, format 0, one track, 24 ticks.
extern const uint8_t kTrackSignature[14];

// The directory's tags in order.
extern const uint16_t kDirectoryTags[kDirectoryEntries];

// Lowest and highest note the handset plays with a program.
struct NoteRange {
  uint8_t low, high;
};
NoteRange ProgramRange(uint8_t program);
// Moves a note by whole octaves, as few as needed, into the range.
uint8_t FoldNote(uint8_t note, NoteRange range);

// Voices a note of the program takes (1 or 2).
int ProgramWeight(uint8_t program);

}  // namespace tcv
