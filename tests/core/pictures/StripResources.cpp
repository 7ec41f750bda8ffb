// A resource-only module for the tests: "STRIP", a 1-bit bitmap 100 x 32 on
// magenta, cut by the tests into 16 x 16 cells. Cell (column c, row r) holds
// k + 1 blue pixels at the left of its top row, k = 6r + c; the 4 pixel
// columns right of the sixth cell are blue too and must be ignored. And
// "BROKEN", a block that is not a bitmap.
#include "image/QkResourceModule.h"

#include <array>

namespace {

constexpr int kWidth = 100, kHeight = 32, kRowBytes = 16;

constexpr std::array<unsigned char, 62 + kRowBytes * kHeight> MakeStrip() {
  std::array<unsigned char, 62 + kRowBytes * kHeight> b{};
  auto put = [&](int at, unsigned v, int bytes) {
    for (int i = 0; i < bytes; ++i) b[size_t(at + i)] = static_cast<unsigned char>(v >> (8 * i));
  };
  put(0, 'B' | ('M' << 8), 2);
  put(2, unsigned(b.size()), 4);
  put(10, 62, 4);
  put(14, 40, 4);
  put(18, kWidth, 4);
  put(22, kHeight, 4);
  put(26, 1, 2);
  put(28, 1, 2);
  put(46, 2, 4);
  put(54, 0xFF00FF, 4);  // entry 0: magenta (blue, green, red)
  put(58, 0x0000FF, 4);  // entry 1: blue
  auto set = [&](int x, int y) {
    const int stored = kHeight - 1 - y;
    b[size_t(62 + stored * kRowBytes + x / 8)] |= static_cast<unsigned char>(0x80 >> (x % 8));
  };
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 6; ++c)
      for (int i = 0; i <= 6 * r + c; ++i) set(16 * c + i, 16 * r);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 96; x < kWidth; ++x) set(x, y);
  return b;
}

constexpr auto kStrip = MakeStrip();
constexpr unsigned char kBroken[] = "BM this is not a bitmap";

}  // namespace

extern "C" __attribute__((visibility("default"))) const qv::TQkResourceEntry QvResources[] = {
    {"BITMAP", "STRIP", kStrip.data(), kStrip.size()},
    {"BITMAP", "BROKEN", kBroken, sizeof kBroken},
    {"RCDATA", "DATA", kBroken, sizeof kBroken},
    {nullptr, nullptr, nullptr, 0},
};
