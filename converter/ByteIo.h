#pragma once
// Byte-level helpers shared by the MIDI and ringtone code: big-endian fields,
// variable-length numbers, and an output that can also just count, so that a
// size query and the real conversion run the very same code.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tcv {

inline uint32_t ReadBE32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}
inline uint16_t ReadBE16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

// Largest value a variable-length number of four bytes can hold.
constexpr uint32_t kMaxVlq = 0x0FFFFFFF;

// Reads a variable-length number of at most four bytes from [p, end).
enum class VlqResult { Ok, Truncated, TooLong };
inline VlqResult ReadVlq(const uint8_t*& p, const uint8_t* end, uint32_t& value) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) {
    if (p == end) return VlqResult::Truncated;
    const uint8_t b = *p++;
    v = (v << 7) | (b & 0x7F);
    if (!(b & 0x80)) {
      value = v;
      return VlqResult::Ok;
    }
  }
  return VlqResult::TooLong;
}

// Writes into a destination, or only counts when there is none.
class ByteSink {
 public:
  explicit ByteSink(uint8_t* dest = nullptr) : dest_(dest) {}

  size_t Pos() const { return pos_; }
  uint8_t* End() const { return dest_ + pos_; }

  void Put(uint8_t b) {
    if (dest_) dest_[pos_] = b;
    ++pos_;
  }
  void Put(const void* data, size_t n) {
    if (dest_ && n) std::memcpy(dest_ + pos_, data, n);
    pos_ += n;
  }
  void PutBE16(uint32_t v) {
    Put(static_cast<uint8_t>(v >> 8));
    Put(static_cast<uint8_t>(v));
  }
  void PutBE32(uint32_t v) {
    PutBE16(v >> 16);
    PutBE16(v & 0xFFFF);
  }
  // v must not exceed kMaxVlq.
  void PutVlq(uint32_t v) {
    uint8_t buf[4];
    int n = 0;
    buf[n++] = static_cast<uint8_t>(v & 0x7F);
    while ((v >>= 7) != 0) buf[n++] = static_cast<uint8_t>(0x80 | (v & 0x7F));
    while (n > 0) Put(buf[--n]);
  }
  // Fills in a field written earlier (a no-op while only counting).
  void PatchBE32(size_t at, uint32_t v) {
    if (!dest_) return;
    dest_[at] = static_cast<uint8_t>(v >> 24);
    dest_[at + 1] = static_cast<uint8_t>(v >> 16);
    dest_[at + 2] = static_cast<uint8_t>(v >> 8);
    dest_[at + 3] = static_cast<uint8_t>(v);
  }

 private:
  uint8_t* dest_;
  size_t pos_ = 0;
};

// Saturates a wide count into a 32-bit field.
inline uint32_t Clamp32(uint64_t v) { return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(v); }

}  // namespace tcv
