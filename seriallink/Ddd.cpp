#include "Ddd.h"

#include <cstring>

namespace portvine::ddd {
namespace {
constexpr int32_t kMaxBytes = 247;
constexpr size_t kMaxDigits = 741;
int32_t DigitValue(char c) { return (c >= '0' && c <= '9') ? c - '0' : 0; }
}  // namespace

int32_t DDDtoByte(const char* p) { return DigitValue(p[0]) * 100 + DigitValue(p[1]) * 10 + DigitValue(p[2]); }

void BytetoDDD(int32_t b, char* out) {
  const int32_t v = b & 0xFF;
  out[0] = static_cast<char>('0' + v / 100);
  out[1] = static_cast<char>('0' + v / 10 % 10);
  out[2] = static_cast<char>('0' + v % 10);
  out[3] = '\0';
}

int32_t StrDDDtoBin(const char* text, uint8_t* out) {
  const size_t length = strnlen(text, kMaxDigits);
  const int32_t n = static_cast<int32_t>((length + 2) / 3);
  for (int32_t i = 0; i < n; ++i) {
    char group[3] = {'0', '0', '0'};
    for (size_t k = 0; k < 3 && static_cast<size_t>(i) * 3 + k < length; ++k) group[k] = text[i * 3 + static_cast<int32_t>(k)];
    out[i] = static_cast<uint8_t>(DDDtoByte(group));
  }
  return n;
}

int32_t BintoStrDDD(const uint8_t* data, int32_t length, char* out) {
  if (length < 0) return 0;
  const int32_t n = length < kMaxBytes ? length : kMaxBytes;
  for (int32_t i = 0; i < n; ++i) BytetoDDD(data[i], out + i * 3);
  out[n * 3] = '\0';
  return n * 3;
}

void ExCodeToSPC(uint8_t* buffer, int32_t length) {
  for (int32_t i = 0; i < length; ++i) {
    const uint8_t c = buffer[i];
    const bool control = (c >= 0x08 && c <= 0x0F && c != 0x0C) || (c >= 0x80 && c <= 0x8F && c != 0x87) ||
                         (c >= 0x91 && c <= 0x95) || (c >= 0x98 && c <= 0x9D) || (c >= 0xE0 && c <= 0xEF);
    if (control) buffer[i] = 0x20;
  }
}

}  // namespace portvine::ddd
