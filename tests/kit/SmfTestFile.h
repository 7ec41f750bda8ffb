#pragma once
// A small standard MIDI file writer and a strict reader, written for the
// converter's tests independently of the converter's own code.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tcvtest {

using Bytes = std::vector<uint8_t>;

inline void AppendVlq(Bytes& out, uint32_t v) {
  uint8_t buf[5];
  int n = 0;
  buf[n++] = v & 0x7F;
  while ((v >>= 7) != 0) buf[n++] = 0x80 | (v & 0x7F);
  while (n > 0) out.push_back(buf[--n]);
}

inline void AppendBE(Bytes& out, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Events are written exactly as given: a status byte left out is running status.
class SmfBuilder {
 public:
  explicit SmfBuilder(uint16_t division = 96, uint16_t format = 0, uint16_t tracks = 1)
      : division_(division), format_(format), tracks_(tracks) {}

  SmfBuilder& Raw(uint32_t delta, std::initializer_list<uint8_t> bytes) {
    AppendVlq(track_, delta);
    track_.insert(track_.end(), bytes);
    return *this;
  }
  SmfBuilder& Meta(uint32_t delta, uint8_t type, std::string_view data) {
    AppendVlq(track_, delta);
    track_.push_back(0xFF);
    track_.push_back(type);
    AppendVlq(track_, static_cast<uint32_t>(data.size()));
    track_.insert(track_.end(), data.begin(), data.end());
    return *this;
  }
  SmfBuilder& NoteOn(uint32_t delta, int ch, int note, int velocity = 100) {
    return Raw(delta, {static_cast<uint8_t>(0x90 | ch), static_cast<uint8_t>(note), static_cast<uint8_t>(velocity)});
  }
  SmfBuilder& NoteOff(uint32_t delta, int ch, int note, int velocity = 64) {
    return Raw(delta, {static_cast<uint8_t>(0x80 | ch), static_cast<uint8_t>(note), static_cast<uint8_t>(velocity)});
  }
  SmfBuilder& Program(uint32_t delta, int ch, int program) {
    return Raw(delta, {static_cast<uint8_t>(0xC0 | ch), static_cast<uint8_t>(program)});
  }
  SmfBuilder& Control(uint32_t delta, int ch, int controller, int value) {
    return Raw(delta, {static_cast<uint8_t>(0xB0 | ch), static_cast<uint8_t>(controller), static_cast<uint8_t>(value)});
  }
  SmfBuilder& Tempo(uint32_t delta, uint32_t microsPerQuarter) {
    std::string t{static_cast<char>(microsPerQuarter >> 16), static_cast<char>(microsPerQuarter >> 8),
                  static_cast<char>(microsPerQuarter)};
    return Meta(delta, 0x51, t);
  }
  SmfBuilder& End(uint32_t delta = 0) { return Meta(delta, 0x2F, ""); }

  const Bytes& TrackBytes() const { return track_; }

  // The whole file; claimedLength replaces the true track length when given.
  Bytes File(int64_t claimedLength = -1) const {
    Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
    AppendBE(out, format_, 2);
    AppendBE(out, tracks_, 2);
    AppendBE(out, division_, 2);
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    AppendBE(out, claimedLength < 0 ? static_cast<uint32_t>(track_.size()) : static_cast<uint32_t>(claimedLength), 4);
    out.insert(out.end(), track_.begin(), track_.end());
    return out;
  }

 private:
  uint16_t division_, format_, tracks_;
  Bytes track_;
};

struct MidiEvent {
  uint64_t time = 0;  // absolute, in ticks
  uint8_t status = 0;
  Bytes data;         // channel data; for meta: type then payload; for sysex: payload
  bool operator==(const MidiEvent&) const = default;
};

struct MidiFile {
  bool ok = false;
  std::string error;
  uint16_t format = 0, tracks = 0, division = 0;
  std::vector<MidiEvent> events;
};

// Parses a format-0 file strictly: exact chunk lengths, running status only
// after channel messages, the track ending with its end-of-track event.
inline MidiFile ParseSmf(const Bytes& f) {
  MidiFile m;
  auto fail = [&](const char* why) {
    m.ok = false;
    m.error = why;
    return m;
  };
  auto be = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | f[at + i];
    return v;
  };
  if (f.size() < 22) return fail("short header");
  if (std::string(f.begin(), f.begin() + 4) != "MThd" || be(4, 4) != 6) return fail("bad MThd");
  m.format = static_cast<uint16_t>(be(8, 2));
  m.tracks = static_cast<uint16_t>(be(10, 2));
  m.division = static_cast<uint16_t>(be(12, 2));
  if (std::string(f.begin() + 14, f.begin() + 18) != "MTrk") return fail("bad MTrk");
  const size_t end = 22 + be(18, 4);
  if (end != f.size()) return fail("MTrk length does not match the file");
  size_t p = 22;
  uint64_t now = 0;
  int running = -1;
  auto vlq = [&](uint32_t& v) {
    v = 0;
    for (int i = 0; i < 4; ++i) {
      if (p >= end) return false;
      const uint8_t b = f[p++];
      v = (v << 7) | (b & 0x7F);
      if (!(b & 0x80)) return true;
    }
    return false;
  };
  while (p < end) {
    uint32_t delta;
    if (!vlq(delta)) return fail("bad delta");
    now += delta;
    if (p >= end) return fail("delta without event");
    MidiEvent ev;
    ev.time = now;
    uint8_t s = f[p];
    if (s < 0x80) {
      if (running < 0) return fail("running status without status");
      s = static_cast<uint8_t>(running);
    } else {
      ++p;
    }
    ev.status = s;
    if (s < 0xF0) {
      running = s;
      const size_t n = ((s & 0xF0) == 0xC0 || (s & 0xF0) == 0xD0) ? 1 : 2;
      if (p + n > end) return fail("truncated channel message");
      for (size_t i = 0; i < n; ++i) {
        if (f[p] & 0x80) return fail("data byte with high bit");
        ev.data.push_back(f[p++]);
      }
    } else if (s == 0xFF || s == 0xF0 || s == 0xF7) {
      running = -1;
      if (s == 0xFF) {
        if (p >= end) return fail("truncated meta");
        ev.data.push_back(f[p++]);
      }
      uint32_t len;
      if (!vlq(len) || p + len > end) return fail("truncated meta or sysex");
      ev.data.insert(ev.data.end(), f.begin() + static_cast<long>(p), f.begin() + static_cast<long>(p + len));
      p += len;
    } else {
      return fail("unexpected system message");
    }
    m.events.push_back(ev);
    if (s == 0xFF && ev.data[0] == 0x2F) {
      if (p != end) return fail("bytes after end of track");
      m.ok = true;
      return m;
    }
  }
  return fail("no end of track");
}

}  // namespace tcvtest
