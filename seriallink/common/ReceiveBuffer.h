#pragma once
// The module's 6144-byte receive buffer (with 16 spare zero bytes), written by
// the worker and taken by kwxAsyncGetBuffer.
#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace seriallink {

class ReceiveBuffer {
 public:
  static constexpr size_t kSize = 6144;

  // Replaces the contents with n bytes (at most kSize), the rest zero.
  void Store(const char* data, size_t n);
  // kwxAsyncGetBuffer: when *size > 0, copies min(bytes before the first NUL,
  // *size, kSize) bytes and sets *size to that; the buffer is cleared in any case.
  void Take(char* out, int32_t* size);

 private:
  std::mutex mutex_;
  std::array<char, kSize + 16> data_{};
};

}  // namespace seriallink
