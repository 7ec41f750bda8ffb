#include "TcvTestApi.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tcvtest {

Info GetInfo(const TcvApi& tcv) {
  Info info;
  tcv.getInfo(info.raw);
  return info;
}

Bytes ToRingtone(const TcvApi& tcv, const Bytes& midi) {
  const int32_t size = tcv.dxmSize(midi.data(), static_cast<int32_t>(midi.size()));
  Bytes out(static_cast<size_t>(size));
  uint8_t* end = tcv.toDxm(midi.data(), static_cast<int32_t>(midi.size()), out.data());
  EXPECT_EQ(end - out.data(), size) << "the conversion wrote other than tcvGetDXMSize bytes";
  return out;
}

Bytes FreshRingtone(const TcvApi& tcv, const Bytes& midi) {
  tcv.initial(0, 0);
  EXPECT_EQ(tcv.scan(midi.data(), static_cast<int32_t>(midi.size())), 1);
  return ToRingtone(tcv, midi);
}

Bytes ToMidi(const TcvApi& tcv, const Bytes& ringtone) {
  const int32_t size = tcv.pseudoSize();
  Bytes out(static_cast<size_t>(size));
  uint8_t* end = tcv.toSmf(ringtone.data(), out.data());
  if (!end) {
    ADD_FAILURE() << "tcvConvDXMtoSMF refused the ringtone";
    return {};
  }
  EXPECT_EQ(end - out.data(), size) << "the reverse conversion wrote other than tcvGetPseudoFileSize bytes";
  return out;
}

uint32_t BE32(const Bytes& b, size_t at) {
  return (uint32_t{b.at(at)} << 24) | (b.at(at + 1) << 16) | (b.at(at + 2) << 8) | b.at(at + 3);
}

std::vector<DirEntry> Directory(const Bytes& r) {
  std::vector<DirEntry> d;
  for (size_t i = 0; i < 31; ++i) {
    const size_t at = 4 + 10 * i;
    d.push_back({static_cast<uint16_t>((r.at(at) << 8) | r.at(at + 1)), BE32(r, at + 2), BE32(r, at + 6)});
  }
  return d;
}

Bytes Block(const Bytes& r, uint16_t tag) {
  for (const DirEntry& e : Directory(r))
    if (e.tag == tag && e.size) return Bytes(r.begin() + e.offset, r.begin() + e.offset + e.size);
  return {};
}

Bytes TrackEvents(const Bytes& r) {
  const Bytes track = Block(r, 0x0240);
  if (track.size() < 22) return {};
  return Bytes(track.begin() + 22, track.end());
}

Bytes Hex(std::string_view hex) {
  Bytes out;
  int nibbles = 0, v = 0;
  for (char c : hex) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else continue;
    v = v * 16 + d;
    if (++nibbles == 2) {
      out.push_back(static_cast<uint8_t>(v));
      nibbles = v = 0;
    }
  }
  return out;
}

std::string ToHex(const Bytes& b) {
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  for (size_t i = 0; i < b.size(); ++i) {
    if (i) s += ' ';
    s += digits[b[i] >> 4];
    s += digits[b[i] & 15];
  }
  return s;
}

}  // namespace tcvtest
