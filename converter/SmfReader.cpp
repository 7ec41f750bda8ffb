#include "converter/SmfReader.h"

#include "converter/ByteIo.h"

namespace tcv {

ByteRange SmfTrackEvents(const uint8_t* data, size_t size) {
  if (!data || size < kSmfHeaderSize) return {};
  return {data + kSmfHeaderSize, data + size};
}

bool SmfTrackReader::Take(size_t n, const uint8_t*& at) {
  if (static_cast<size_t>(end_ - p_) < n) return false;
  at = p_;
  p_ += n;
  return true;
}

SmfRead SmfTrackReader::Next(SmfEvent& ev) {
  ev = SmfEvent{};
  uint32_t delta = 0;
  for (;;) {
    if (p_ == end_) return SmfRead::End;
    uint32_t d = 0;
    switch (ReadVlq(p_, end_, d)) {
      case VlqResult::Truncated: return SmfRead::Truncated;
      case VlqResult::TooLong: return SmfRead::BadDelta;
      case VlqResult::Ok: break;
    }
    // A stray byte's delta is carried to the next event (saturating).
    delta = (UINT32_MAX - delta < d) ? UINT32_MAX : delta + d;
    if (p_ == end_) {
      ev.delta = delta;
      return SmfRead::DeltaAtEnd;
    }
    if (*p_ >= 0x80 || running_ != 0) break;
    ++p_;  // a data byte before any status: nothing to read it under
  }
  ev.delta = delta;

  uint8_t status = *p_;
  if (status < 0x80) {
    status = running_;  // running status: the byte is the first data byte
  } else {
    ++p_;
    if (status < 0xF0) running_ = status;
  }
  ev.status = status;

  const uint8_t* at = nullptr;
  if (status < 0xF0) {
    ev.kind = SmfEvent::Kind::Channel;
    const int n = ChannelDataLength(status);
    if (!Take(static_cast<size_t>(n), at)) return SmfRead::Truncated;
    ev.data[0] = at[0] & 0x7F;
    if (n == 2) ev.data[1] = at[1] & 0x7F;
    return SmfRead::Event;
  }
  if (status == 0xF0 || status == 0xF7 || status == 0xFF) {
    if (status == 0xFF) {
      if (!Take(1, at)) return SmfRead::Truncated;
      ev.metaType = at[0];
      ev.kind = SmfEvent::Kind::Meta;
    } else {
      ev.kind = SmfEvent::Kind::SysEx;
    }
    uint32_t length = 0;
    if (ReadVlq(p_, end_, length) != VlqResult::Ok) return SmfRead::Truncated;
    if (!Take(length, at)) return SmfRead::Truncated;
    ev.payload = at;
    ev.payloadLength = length;
    return SmfRead::Event;
  }
  // System common and real-time bytes: their data, if any, follows.
  ev.kind = SmfEvent::Kind::SysCommon;
  const size_t n = (status == 0xF2) ? 2 : (status == 0xF1 || status == 0xF3) ? 1 : 0;
  if (!Take(n, at)) return SmfRead::Truncated;
  return SmfRead::Event;
}

}  // namespace tcv
