// Conversion of a scanned MIDI file into the ringtone file. Size query and
// conversion share this code, so the size is exact.
#include "converter/ByteIo.h"
#include "converter/Converter.h"
#include "converter/Ringtone.h"
#include "converter/SmfReader.h"

#include <array>
#include <cstring>

namespace tcv {

const uint8_t kTrackSignature[14] = {'C', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 24};

const uint16_t kDirectoryTags[kDirectoryEntries] = {
    0x0000, 0x0001, 0x0010, 0x0011, 0x0020, 0x0021, 0x0030, 0x0031,
    0x0200, 0x0201, 0x0202, 0x0203, 0x0204, 0x0205, 0x0240,
    0x0280, 0x0281, 0x0282, 0x0283, 0x0284, 0x0285, 0x0286,
    0x02C0, 0x02C1, 0x02C2, 0x02C3, 0x02C4, 0x02C5, 0x02C6, 0x02C7, 0xFFFF};

NoteRange ProgramRange(uint8_t program) {
  const uint8_t p = program & 0x7F;
  if (p == 72) return {44, 107};
  if (p >= 123) return {0, 127};
  if ((p >= 32 && p <= 39) || p == 42 || p == 43 || (p >= 58 && p <= 63) || p == 69 || p == 70 ||
      p == 83 || p == 112)
    return {20, 83};
  return {32, 95};
}

uint8_t FoldNote(uint8_t note, NoteRange range) {
  int n = note;
  if (n < range.low) n += 12 * ((range.low - n + 11) / 12);
  else if (n > range.high) n -= 12 * ((n - range.high + 11) / 12);
  return static_cast<uint8_t>(n);
}

namespace {

// The fixed data of tags 0000, 0010 and 0011 at bytes 314-331.
const uint8_t kFixedBlocks[18] = {'0', '1', '.', '0', 0x00, 0x00, 0xFF, 0xFF, 0x00,
                                  0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF};
struct FixedEntry {
  uint16_t tag;
  uint32_t offset, size;
};
const FixedEntry kFixedEntries[] = {{0x0000, 314, 4}, {0x0010, 318, 4}, {0x0011, 322, 10}};

struct Block {
  uint16_t tag = 0;
  uint32_t size = 0;  // 0: absent
  uint8_t bytes[kLargestBlock] = {};
  uint32_t offset = 0;

  void Set(const void* data, size_t n) {
    std::memcpy(bytes, data, n);
    size = static_cast<uint32_t>(n);
  }
  void SetBE32(uint32_t v) {
    const uint8_t b[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
                          static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    Set(b, 4);
  }
};

// The blocks in the order their data follows the template.
constexpr uint16_t kDataOrder[] = {0x0200, 0x0201, 0x0202, 0x0203, 0x0204, 0x0205, 0x0280,
                                   0x0281, 0x0282, 0x0283, 0x0285, 0x02C0, 0x02C1, 0x02C2,
                                   0x02C3, 0x02C4, 0x02C5, 0x02C6, 0x02C7};
constexpr size_t kBlocks = sizeof kDataOrder / sizeof kDataOrder[0];

std::array<Block, kBlocks> MetadataBlocks(const InfoBlock& info, const Timestamp& now) {
  std::array<Block, kBlocks> b;
  for (size_t i = 0; i < kBlocks; ++i) b[i].tag = kDataOrder[i];
  if (HasTimeSignature(info)) b[0].Set(info.timeSignature, 4);
  if (HasKeySignature(info)) b[1].Set(info.keySignature, 2);
  const uint32_t bpm = (60000000u / EffectiveTempo(info)) & 0xFFFF;
  const uint8_t tempo[2] = {static_cast<uint8_t>(bpm >> 8), static_cast<uint8_t>(bpm)};
  b[2].Set(tempo, 2);
  b[3].Set(info.channelMap, 4);
  b[4].Set("\0", 1);

  uint8_t programs[4] = {};
  bool anySet = false;
  for (int i = 0; i < 4; ++i) {
    const uint8_t source = info.channelRemap[i];
    if (source >= 16) continue;  // no source channel for this role
    const uint8_t p = info.initialProgram[source];
    programs[i] = p < 128 ? p : 0;
    anySet = anySet || info.programSet[source] != 0;
  }
  if (anySet) b[5].Set(programs, 4);

  b[6].SetBE32(0);  // play time and track size, filled in after the track
  b[7].SetBE32(0);
  b[8].Set("2856", 4);
  const uint32_t date = static_cast<uint32_t>(now.year * 256 + now.month);
  const uint32_t time = (static_cast<uint32_t>(now.day) << 24) | (static_cast<uint32_t>(now.hour) << 16) |
                        (static_cast<uint32_t>(now.minute) << 8) | static_cast<uint32_t>(now.second);
  uint8_t stamp[8];
  for (int i = 0; i < 4; ++i) {
    stamp[i] = static_cast<uint8_t>(date >> (24 - 8 * i));
    stamp[4 + i] = static_cast<uint8_t>(time >> (24 - 8 * i));
  }
  b[9].Set(stamp, 8);
  b[10].Set("\0", 1);

  const char* texts[8] = {info.title, info.artist, info.genre, info.copyright,
                          info.creator, info.composer, info.lyrics, info.arranger};
  for (int i = 0; i < 8; ++i) b[11 + i].Set(texts[i], strnlen(texts[i], i == 0 ? kTitleMax : kTextMax));
  return b;
}

// Walks the source events and writes the reduced track.
class TrackWriter {
 public:
  TrackWriter(const InfoBlock& info, ByteSink& out)
      : out_(out), division_(info.division), tempo_(EffectiveTempo(info)) {
    std::memcpy(remap_, info.channelRemap, sizeof remap_);
    std::memset(sounding_, kNone, sizeof sounding_);
  }

  void Run(ByteRange events);

  uint64_t droppedBytes = 0;
  bool droppedNotes = false;
  bool endOfTrack = false;
  uint64_t ticksSinceTempo = 0;

  uint32_t PlayTimeMs() const {
    const unsigned __int128 total = playTime_ + static_cast<unsigned __int128>(ticksSinceTempo) * tempo_;
    const unsigned __int128 ms = total / (kTicksPerQuarter * 1000);
    return ms > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(ms);
  }

 private:
  int OutputChannel(int source, bool noteOff) const {
    for (int i = 0; i < 4; ++i)
      if (remap_[i] == source) return i;
    if (remap_[9] == source && !noteOff) return 9;
    return -1;
  }
  void Delta() {
    uint64_t ticks = 0;
    if (division_ != 0) {
      ticks = accumulated_ * kTicksPerQuarter / division_;
      if (ticks > kMaxVlq) ticks = kMaxVlq;  // the rest stays for the next event
      accumulated_ = (accumulated_ * kTicksPerQuarter - ticks * division_) / kTicksPerQuarter;
    }
    out_.PutVlq(static_cast<uint32_t>(ticks));
    ticksSinceTempo += ticks;
  }
  void Status(uint8_t s) {
    if (s != lastStatus_) out_.Put(s);
    lastStatus_ = s;
  }
  void EndOfTrack() {
    const uint8_t eot[4] = {0x00, 0xFF, 0x2F, 0x00};
    out_.Put(eot, 4);
    lastStatus_ = 0xFF;
    endOfTrack = true;
  }
  // Returns false when the event ends the track.
  bool Event(const SmfEvent& ev);
  void Note(const SmfEvent& ev, int oc, bool on);

  ByteSink& out_;
  const uint32_t division_;
  uint32_t tempo_;
  uint8_t remap_[16];
  uint64_t accumulated_ = 0;  // source ticks not yet written
  int lastStatus_ = -1;
  uint8_t program_[16] = {};  // current program per output channel
  // The note each sounding source note was written as, so that its note-off
  // matches even when a program change moved the range in between.
  uint8_t sounding_[16][128];
  unsigned __int128 playTime_ = 0;  // sum of ticks x microseconds per quarter
};

void TrackWriter::Run(ByteRange events) {
  SmfTrackReader reader(events);
  for (;;) {
    SmfEvent ev;
    const SmfRead r = reader.Next(ev);
    if (r == SmfRead::DeltaAtEnd) {
      accumulated_ += ev.delta;
      EndOfTrack();
      return;
    }
    if (r != SmfRead::Event) break;  // the data ran out, cleanly or not
    accumulated_ += ev.delta;
    if (!Event(ev)) return;
  }
  if (!endOfTrack) EndOfTrack();
}

void TrackWriter::Note(const SmfEvent& ev, int oc, bool on) {
  const uint8_t key = ev.data[0];
  uint8_t written = sounding_[oc][key];
  if (on || written == kNone) written = FoldNote(key, ProgramRange(program_[oc]));
  sounding_[oc][key] = on ? written : kNone;
  Delta();
  Status(static_cast<uint8_t>((ev.status & 0xF0) | oc));
  out_.Put(written);
}

bool TrackWriter::Event(const SmfEvent& ev) {
  if (ev.kind == SmfEvent::Kind::Meta) {
    if (ev.metaType == 0x2F) {
      Delta();
      const uint8_t eot[3] = {0xFF, 0x2F, 0x00};
      out_.Put(eot, 3);
      lastStatus_ = 0xFF;
      endOfTrack = true;
      return false;
    }
    if (ev.metaType == 0x51 && ev.payloadLength >= 3) {
      Delta();
      playTime_ += static_cast<unsigned __int128>(ticksSinceTempo) * tempo_;
      ticksSinceTempo = 0;
      const uint32_t t = TempoValue(ev.payload);
      tempo_ = t ? t : kDefaultTempo;
      const uint8_t head[3] = {0xFF, 0x51, 0x03};
      out_.Put(head, 3);
      out_.Put(ev.payload, 3);
      lastStatus_ = 0xFF;
    }
    return true;
  }
  if (ev.kind != SmfEvent::Kind::Channel) return true;  // system messages are dropped

  const int type = ev.status & 0xF0;
  const int oc = OutputChannel(ev.status & 0x0F, type == 0x80);
  if (oc < 0) {
    if (type == 0x90) droppedNotes = true;
    return true;
  }
  const uint8_t status = static_cast<uint8_t>(type | oc);
  switch (type) {
    case 0x80:
      Note(ev, oc, false);
      ++droppedBytes;  // the velocity
      break;
    case 0x90:
      if (oc == 9 && ev.data[1] == 0) break;
      Note(ev, oc, ev.data[1] != 0);
      out_.Put(ev.data[1]);
      break;
    case 0xB0:
      if (ev.data[0] == 1 || ev.data[0] == 7 || ev.data[0] == 64) {
        Delta();
        Status(status);
        out_.Put(ev.data, 2);
      }
      break;
    case 0xC0:
      Delta();
      Status(status);
      out_.Put(ev.data[0]);
      program_[oc] = ev.data[0];
      break;
    case 0xE0:
      Delta();
      Status(status);
      out_.Put(ev.data[1]);  // the most significant byte only
      ++droppedBytes;
      break;
    default:  // key and channel pressure
      break;
  }
  return true;
}

struct Built {
  size_t size = 0;
  uint32_t trackOffset = 0, eventsLength = 0, playTime = 0, ticksSinceTempo = 0, droppedBytes = 0;
  uint32_t trackSizePos = 0, playTimePos = 0;
  bool droppedNotes = false, endOfTrack = false;
};

Built BuildRingtone(const InfoBlock& info, const uint8_t* data, size_t size, const Timestamp& now, ByteSink& out) {
  std::array<Block, kBlocks> blocks = MetadataBlocks(info, now);
  uint32_t offset = kTemplateSize;
  for (Block& b : blocks) {
    b.offset = b.size ? offset : 0;
    offset += b.size;
  }
  const uint32_t trackOffset = offset;

  out.Put("MCDF", 4);
  size_t trackEntryPos = 0;
  for (uint16_t tag : kDirectoryTags) {
    uint32_t off = 0, len = 0;
    for (const FixedEntry& f : kFixedEntries) {
      if (f.tag == tag) {
        off = f.offset;
        len = f.size;
      }
    }
    for (const Block& b : blocks) {
      if (b.tag == tag) {
        off = b.offset;
        len = b.size;
      }
    }
    if (tag == kTrackTag) {
      off = trackOffset;
      trackEntryPos = out.Pos() + 6;
    }
    out.PutBE16(tag);
    out.PutBE32(off);
    out.PutBE32(len);
  }
  out.Put(kFixedBlocks, sizeof kFixedBlocks);

  Built built;
  for (const Block& b : blocks) {
    if (b.tag == 0x0280) built.playTimePos = static_cast<uint32_t>(out.Pos());
    if (b.tag == kTrackSizeTag) built.trackSizePos = static_cast<uint32_t>(out.Pos());
    out.Put(b.bytes, b.size);
  }

  out.Put(kTrackSignature, sizeof kTrackSignature);
  out.Put("CTrk", 4);
  const size_t lengthPos = out.Pos();
  out.PutBE32(0);
  const size_t eventsStart = out.Pos();
  TrackWriter writer(info, out);
  writer.Run(SmfTrackEvents(data, size));
  const uint32_t eventsLength = Clamp32(out.Pos() - eventsStart);
  const uint32_t trackSize = Clamp32(uint64_t{eventsLength} + kTrackHeaderSize);

  built.size = out.Pos();
  built.trackOffset = trackOffset;
  built.eventsLength = eventsLength;
  built.playTime = writer.PlayTimeMs();
  built.ticksSinceTempo = Clamp32(writer.ticksSinceTempo);
  built.droppedBytes = Clamp32(writer.droppedBytes);
  built.droppedNotes = writer.droppedNotes;
  built.endOfTrack = writer.endOfTrack;

  out.PatchBE32(lengthPos, eventsLength);
  out.PatchBE32(trackEntryPos, trackSize);
  out.PatchBE32(built.trackSizePos, trackSize);
  out.PatchBE32(built.playTimePos, built.playTime);
  return built;
}

}  // namespace

size_t Converter::RingtoneSize(const uint8_t* data, size_t size) const {
  ByteSink counter;
  return BuildRingtone(info_, data, size, Timestamp{}, counter).size;
}

uint8_t* Converter::ConvertToRingtone(const uint8_t* data, size_t size, uint8_t* dest) {
  if (!dest) return nullptr;
  ByteSink out(dest);
  const Built b = BuildRingtone(info_, data, size, LocalNow(), out);
  info_.playTime = b.playTime;
  info_.ticksSinceTempo = b.ticksSinceTempo;
  info_.eventsLength = b.eventsLength;
  info_.endOfTrack = b.endOfTrack ? 1 : 0;
  info_.trackOffset = b.trackOffset;
  info_.droppedBytes = b.droppedBytes;
  info_.trackSizePos = b.trackSizePos;
  info_.playTimePos = b.playTimePos;
  info_.droppedNotes = b.droppedNotes ? 1 : 0;
  searchedMidiSize_.reset();
  error_ = b.droppedNotes ? kErrorDroppedNotes : kErrorNone;
  return out.End();
}

}  // namespace tcv
