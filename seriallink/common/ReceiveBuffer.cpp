#include "ReceiveBuffer.h"

#include <algorithm>
#include <cstring>

namespace seriallink {

void ReceiveBuffer::Store(const char* data, size_t n) {
  std::lock_guard lock(mutex_);
  data_.fill(0);
  std::memcpy(data_.data(), data, std::min(n, kSize));
}

void ReceiveBuffer::Take(char* out, int32_t* size) {
  std::lock_guard lock(mutex_);
  if (size && *size > 0 && out) {
    size_t n = 0;
    while (n < kSize && data_[n] != '\0') ++n;
    n = std::min(n, static_cast<size_t>(*size));
    std::memcpy(out, data_.data(), n);
    *size = static_cast<int32_t>(n);
  }
  data_.fill(0);
}

}  // namespace seriallink
