#pragma once
// What the converter's tests read from its results, over the entry points
// of TcvModule.h.
#include "TcvModule.h"

#include <cstring>
#include <string>
#include <vector>

namespace tcvtest {

// The info block, read by the offsets callers rely on.
struct Info {
  uint8_t raw[TCV_INFO_SIZE];
  uint32_t U32(size_t offset) const {
    return raw[offset] | (raw[offset + 1] << 8) | (raw[offset + 2] << 16) | (uint32_t{raw[offset + 3]} << 24);
  }
  std::string Text(size_t offset, size_t size) const {
    return std::string(reinterpret_cast<const char*>(raw + offset), strnlen(reinterpret_cast<const char*>(raw + offset), size));
  }
  Bytes Range(size_t offset, size_t size) const { return Bytes(raw + offset, raw + offset + size); }
};
Info GetInfo(const TcvApi& tcv);

// Scans and converts as the ringtone maker does, into a buffer of exactly
// tcvGetDXMSize bytes; records a test failure when the conversion writes
// anything other than that many bytes.
Bytes ToRingtone(const TcvApi& tcv, const Bytes& midi);
// tcvInitial, then scan and convert.
Bytes FreshRingtone(const TcvApi& tcv, const Bytes& midi);
// Converts back into a buffer of exactly tcvGetPseudoFileSize bytes.
Bytes ToMidi(const TcvApi& tcv, const Bytes& ringtone);

// The ringtone file's directory and blocks, read by the layout of the format.
struct DirEntry {
  uint16_t tag;
  uint32_t offset, size;
  bool operator==(const DirEntry&) const = default;
};
std::vector<DirEntry> Directory(const Bytes& ringtone);
Bytes Block(const Bytes& ringtone, uint16_t tag);  // empty when absent
// The track's events (after the 22-byte track header).
Bytes TrackEvents(const Bytes& ringtone);

Bytes Hex(std::string_view hex);  // "00 FF 2F 00" -> bytes
std::string ToHex(const Bytes& b);
uint32_t BE32(const Bytes& b, size_t at);

}  // namespace tcvtest
