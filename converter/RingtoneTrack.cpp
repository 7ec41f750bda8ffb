// Reading a ringtone file's track: locating it, the polyphony test and the
// conversion back to a standard MIDI file. The exports take no sizes, so
// every read is bounded by the file's own structure instead.
#include "converter/ByteIo.h"
#include "converter/Converter.h"
#include "converter/Ringtone.h"

#include <algorithm>
#include <iterator>
#include <cstring>

namespace tcv {

int ProgramWeight(uint8_t program) {
  static const uint8_t kDouble[] = {2,  3,  8,  9,  15, 21,  44,  51,  54,  57,  59,  63,  69,  70,
                                    81, 82, 83, 85, 86, 88,  89,  90,  92,  93,  94,  95,  96,  97,
                                    98, 99, 101, 102, 103, 104, 106, 107, 108, 109, 110, 111, 112, 113,
                                    114, 115, 117, 123, 125};
  return std::find(std::begin(kDouble), std::end(kDouble), program) != std::end(kDouble) ? 2 : 1;
}

struct Converter::Track {
  const uint8_t* header = nullptr;
  const uint8_t* events = nullptr;
  uint32_t length = 0;
  bool searched = false;
};

namespace {

// The exports take no sizes, so a ringtone this module did not just write is
// read only as far as its directory vouches for: the blocks it lists must
// lie back to back from the end of the directory, in any order and of any
// size, so that a damaged offset or size shows before a byte outside the
// file is read. The track is found within that, and its header must agree
// with its directory entry and with the track-size block, when there is one.
bool ReadDirectory(const uint8_t* file, uint32_t& trackOffset, uint32_t& trackSize, uint32_t& sizeBlock) {
  struct Entry {
    uint32_t offset, size;
  } present[kDirectoryEntries];
  size_t count = 0;
  bool haveTrack = false;
  sizeBlock = 0;
  for (size_t i = 0; i < kDirectoryEntries; ++i) {
    const uint8_t* e = file + kDirectoryOffset + i * kEntrySize;
    const uint16_t tag = ReadBE16(e);
    const uint32_t offset = ReadBE32(e + 2), size = ReadBE32(e + 6);
    if (size == 0) continue;
    if (tag == kTrackTag && !haveTrack) {
      trackOffset = offset;
      trackSize = size;
      haveTrack = true;
    }
    if (tag == kTrackSizeTag) {
      if (size != 4) return false;
      sizeBlock = offset;
    }
    present[count++] = {offset, size};
  }
  if (!haveTrack || trackSize < kTrackHeaderSize) return false;
  std::sort(present, present + count, [](const Entry& a, const Entry& b) { return a.offset < b.offset; });
  uint64_t expected = kDirectoryOffset + kDirectoryEntries * kEntrySize;
  for (size_t i = 0; i < count; ++i) {
    if (present[i].offset != expected) return false;
    expected += present[i].size;
  }
  return true;
}

struct DxmEvent {
  enum class Kind { Channel, SysEx, Meta };
  uint32_t delta = 0;
  Kind kind = Kind::Channel;
  uint8_t status = 0;
  bool explicitStatus = false;
  uint8_t data[2] = {0, 0};
  int dataLength = 0;
  uint8_t metaType = 0;
  const uint8_t* payload = nullptr;  // meta data, or a system exclusive message after $F0
  uint32_t payloadLength = 0;
};

// Data bytes of a channel message in the ringtone track: note-off keeps only
// the note, pitch bend only its most significant byte.
int DxmDataLength(uint8_t status) {
  switch (status & 0xF0) {
    case 0x80:
    case 0xC0:
    case 0xD0:
    case 0xE0:
      return 1;
    default:
      return 2;
  }
}

class DxmTrackReader {
 public:
  DxmTrackReader(const uint8_t* begin, uint32_t length) : p_(begin), end_(begin + length) {}

  // False at the end of the events or at anything malformed.
  bool Next(DxmEvent& ev) {
    ev = DxmEvent{};
    uint32_t delta = 0;
    for (;;) {
      uint32_t d = 0;
      if (p_ == end_ || ReadVlq(p_, end_, d) != VlqResult::Ok || p_ == end_) return false;
      delta = std::min<uint32_t>(kMaxVlq, delta + d);
      if (*p_ >= 0x80 || running_ != 0) break;
      ++p_;  // a data byte before any status
    }
    ev.delta = delta;
    uint8_t status = *p_;
    if (status >= 0x80) {
      ++p_;
      ev.explicitStatus = true;
      if (status < 0xF0) running_ = status;
    } else {
      status = running_;
    }
    ev.status = status;
    if (status < 0xF0) {
      ev.dataLength = DxmDataLength(status);
      if (Left() < static_cast<size_t>(ev.dataLength)) return false;
      for (int i = 0; i < ev.dataLength; ++i) ev.data[i] = *p_++ & 0x7F;
      return true;
    }
    if (status == 0xFF) {
      if (Left() < 2 || Left() - 2 < p_[1]) return false;
      ev.kind = DxmEvent::Kind::Meta;
      ev.metaType = p_[0];
      ev.payloadLength = p_[1];
      ev.payload = p_ + 2;
      p_ += 2 + ev.payloadLength;
      return true;
    }
    if (status == 0xF0) {
      const uint8_t* f7 = std::find(p_, end_, uint8_t{0xF7});
      if (f7 == end_) return false;
      ev.kind = DxmEvent::Kind::SysEx;
      ev.payload = p_;
      ev.payloadLength = static_cast<uint32_t>(f7 + 1 - p_);
      p_ = f7 + 1;
      return true;
    }
    return false;  // the ringtone track holds no other system messages
  }

 private:
  size_t Left() const { return static_cast<size_t>(end_ - p_); }

  const uint8_t* p_;
  const uint8_t* end_;
  uint8_t running_ = 0;
};

// Writes the track as a standard MIDI file with the left-out bytes restored;
// returns the size written (or counted).
size_t WriteMidi(const uint8_t* header, const uint8_t* events, uint32_t length, ByteSink& out) {
  out.Put("MThd", 4);
  out.Put(header + 4, 10);
  out.Put("MTrk", 4);
  const size_t lengthPos = out.Pos();
  out.PutBE32(0);
  const size_t start = out.Pos();

  DxmTrackReader reader(events, length);
  DxmEvent ev;
  int last = -1;
  bool ended = false;
  while (!ended && reader.Next(ev)) {
    out.PutVlq(ev.delta);
    switch (ev.kind) {
      case DxmEvent::Kind::Channel:
        // Meta and system exclusive events end running status in a MIDI file.
        if (ev.explicitStatus || ev.status != last) out.Put(ev.status);
        last = ev.status;
        if ((ev.status & 0xF0) == 0x80) {
          out.Put(ev.data[0]);
          out.Put(0x40);
        } else if ((ev.status & 0xF0) == 0xE0) {
          out.Put(0x00);
          out.Put(ev.data[0]);
        } else {
          out.Put(ev.data, static_cast<size_t>(ev.dataLength));
        }
        break;
      case DxmEvent::Kind::Meta:
        out.Put(0xFF);
        out.Put(ev.metaType);
        out.PutVlq(ev.payloadLength);
        out.Put(ev.payload, ev.payloadLength);
        last = -1;
        ended = ev.metaType == 0x2F;
        break;
      case DxmEvent::Kind::SysEx:
        out.Put(0xF0);  // a MIDI file gives the message its length
        out.PutVlq(std::min(ev.payloadLength, kMaxVlq));
        out.Put(ev.payload, std::min(ev.payloadLength, kMaxVlq));
        last = -1;
        break;
    }
  }
  if (!ended) {
    const uint8_t eot[4] = {0x00, 0xFF, 0x2F, 0x00};
    out.Put(eot, 4);
  }
  out.PatchBE32(lengthPos, Clamp32(out.Pos() - start));
  return out.Pos();
}

size_t MidiSize(const uint8_t* header, const uint8_t* events, uint32_t length) {
  ByteSink counter;
  return WriteMidi(header, events, length, counter);
}

}  // namespace

bool Converter::LocateTrack(const uint8_t* file, Track& track) {
  if (!file) return false;
  const uint8_t* header = nullptr;
  uint32_t length = 0;
  if (info_.trackOffset != 0) {
    // The track this module wrote: trust nothing beyond what it recorded.
    header = file + info_.trackOffset;
    if (std::memcmp(header, kTrackSignature, sizeof kTrackSignature) != 0) return false;
    if (std::memcmp(header + 14, "CTrk", 4) != 0) return false;
    length = ReadBE32(header + 18);
    if (length != info_.eventsLength) return false;
  } else {
    if (std::memcmp(file, "MCDF", 4) != 0) return false;
    uint32_t offset = 0, size = 0, sizeBlock = 0;
    if (!ReadDirectory(file, offset, size, sizeBlock)) return false;
    // Search from the directory on; the first track header must open the
    // track block, so the search never passes it.
    size_t at = kDirectoryOffset;
    while (at < offset && std::memcmp(file + at, kTrackSignature, sizeof kTrackSignature) != 0) ++at;
    if (at != offset) return false;
    header = file + offset;
    if (std::memcmp(header, kTrackSignature, sizeof kTrackSignature) != 0) return false;
    if (std::memcmp(header + 14, "CTrk", 4) != 0) return false;
    length = ReadBE32(header + 18);
    if (uint64_t{length} + kTrackHeaderSize != size) return false;
    if (sizeBlock != 0 && ReadBE32(file + sizeBlock) != size) return false;
    track.searched = true;
  }
  track.header = header;
  track.events = header + kTrackHeaderSize;
  track.length = length;
  if (track.searched) searchedMidiSize_ = Clamp32(MidiSize(track.header, track.events, track.length));
  return true;
}

bool Converter::TestPolyphony(const uint8_t* file) {
  Track track;
  if (!LocateTrack(file, track)) {
    error_ = kErrorNotRingtone;
    return false;
  }
  struct Channel {
    int weight = 1;  // program 0 until a program change
    uint8_t sounding[128] = {};
  } channels[4];
  int total = 0, peak = 0, rhythm = 0;
  DxmTrackReader reader(track.events, track.length);
  DxmEvent ev;
  while (reader.Next(ev)) {
    if (ev.delta != 0) {
      total -= rhythm;  // rhythm voices last one tick
      rhythm = 0;
    }
    if (ev.kind == DxmEvent::Kind::Meta) {
      if (ev.metaType == 0x2F) break;
      continue;
    }
    if (ev.kind != DxmEvent::Kind::Channel) continue;
    const int type = ev.status & 0xF0, c = ev.status & 0x0F;
    const bool noteOn = type == 0x90 && ev.data[1] != 0;
    const bool noteOff = type == 0x80 || (type == 0x90 && ev.data[1] == 0);
    if (c < 4) {
      Channel& ch = channels[c];
      uint8_t& voice = ch.sounding[ev.data[0]];
      if (noteOn && voice == 0) {
        voice = static_cast<uint8_t>(ch.weight);
        total += ch.weight;
      } else if (noteOff && voice != 0) {
        total -= voice;
        voice = 0;
      } else if (type == 0xC0) {
        ch.weight = ProgramWeight(ev.data[0]);
      }
    } else if (c == 9 && noteOn) {
      ++total;
      ++rhythm;
    }
    if (noteOn) peak = std::max(peak, total);
  }
  if (peak > kMaxVoices) {
    error_ = kErrorPolyphony;
    return false;
  }
  return true;
}

uint8_t* Converter::ConvertToMidi(const uint8_t* file, uint8_t* dest) {
  const uint32_t room = PseudoFileSize();
  Track track;
  if (!LocateTrack(file, track)) {
    error_ = kErrorNotRingtone;
    return nullptr;
  }
  if (!dest || MidiSize(track.header, track.events, track.length) > room) return nullptr;
  ByteSink out(dest);
  WriteMidi(track.header, track.events, track.length, out);
  return out.End();
}

}  // namespace tcv
