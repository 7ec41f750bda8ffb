#pragma once
// A bounded reader of the one track of a format-0 standard MIDI file. Every
// read checks the bytes left, so truncated or hostile files end the walk
// instead of reading past the caller's buffer.
#include <cstddef>
#include <cstdint>

namespace tcv {

constexpr size_t kSmfHeaderSize = 22;  // MThd chunk + MTrk chunk header

// The track's event bytes: from byte 22 to the end of the data. The length
// in the track header is not used (files that state it wrongly are common);
// the walk ends at the end-of-track event or the end of the data. Empty when
// the data is too short.
struct ByteRange {
  const uint8_t* begin = nullptr;
  const uint8_t* end = nullptr;
};
ByteRange SmfTrackEvents(const uint8_t* data, size_t size);

struct SmfEvent {
  enum class Kind { Channel, SysEx, SysCommon, Meta };
  uint32_t delta = 0;
  Kind kind = Kind::Channel;
  uint8_t status = 0;            // channel status, $F0/$F7, $F1-$FE, or $FF
  uint8_t data[2] = {0, 0};      // channel message data, 7 bits each
  uint8_t metaType = 0;
  const uint8_t* payload = nullptr;  // meta or system exclusive data
  uint32_t payloadLength = 0;
};

enum class SmfRead {
  Event,       // ev holds the next event
  End,         // no bytes left where an event would start
  DeltaAtEnd,  // a delta time with nothing after it (ev.delta holds it)
  Truncated,   // the data ends inside an event
  BadDelta,    // a delta time longer than four bytes
};

class SmfTrackReader {
 public:
  explicit SmfTrackReader(ByteRange r) : p_(r.begin), end_(r.end) {}
  SmfRead Next(SmfEvent& ev);

 private:
  bool Take(size_t n, const uint8_t*& at);

  const uint8_t* p_;
  const uint8_t* end_;
  uint8_t running_ = 0;
};

// Data bytes a channel message carries after its status.
constexpr int ChannelDataLength(uint8_t status) {
  const uint8_t hi = status & 0xF0;
  return (hi == 0xC0 || hi == 0xD0) ? 1 : 2;
}

}  // namespace tcv
