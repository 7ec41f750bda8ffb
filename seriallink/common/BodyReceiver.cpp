#include "BodyReceiver.h"

#include "Codes.h"

#include "abi/KwxApi.h"

#include <algorithm>
#include <cstring>

namespace seriallink {
namespace {
// The local body buffer: a part of 6144 bytes and room for the piece that
// crosses its end, so that a line is never cut at a part's edge (what runs
// past the part starts the next one).
constexpr size_t kLocalSize = 6144 + 256 + 16;
}  // namespace

bool ReceiveBody(BodyLine& line, ReceiveBuffer& buffer, qv::Event& flow, bool flowControl, int32_t& count) {
  const size_t limit = ReceiveBuffer::kSize;
  char local[kLocalSize] = {};
  size_t fill = 0;
  bool afterLineFeed = false;
  count = 0;
  line.Notify(kwx::KWX_EV_READY, kwx::kReadyBodyStarts);
  line.AwaitFirstPiece(flowControl ? 200 : 300);
  // Hands over a full part of exactly 6144 bytes; what ran past it starts the next.
  auto handOver = [&] {
    flow.Reset();
    buffer.Store(local, std::min(fill, limit));
    line.Notify(kwx::KWX_EV_READY, kwx::kReadyBufferFull);
    const size_t carry = fill > limit ? fill - limit : 0;
    std::memmove(local, local + limit, carry);
    std::memset(local + carry, 0, kLocalSize - carry);
    fill = carry;
  };
  for (;;) {
    int32_t size = static_cast<int32_t>(kLocalSize - fill);
    char* piece = local + fill;
    const bool ok = line.ReadPiece(piece, size);
    if (ok) {
      const bool endLine = size == 3 && std::memcmp(piece, ".\r\n", 3) == 0;
      if (endLine && (afterLineFeed || !flowControl)) {
        std::memset(piece, 0, 3);
        count = static_cast<int32_t>(fill);
        buffer.Store(local, fill);
        return true;
      }
      // A NUL that ended a piece is not body text: stored, it would cut the
      // part short when the caller takes it.
      if (size > 0 && piece[size - 1] == '\0') --size;
      fill += static_cast<size_t>(size);
      afterLineFeed = size > 0 && piece[size - 1] == '\n';
      if (fill < limit) continue;
      if (!flowControl) {
        // Without flow control there is one part only: longer is too long.
        line.RecordError(code::LineTooLong);
        count = static_cast<int32_t>(fill);
        buffer.Store(local, std::min(fill, limit));
        return false;
      }
    } else {
      if (line.LastError() != code::LineTooLong) {
        count = static_cast<int32_t>(fill);
        return false;
      }
      fill += static_cast<size_t>(size);
      afterLineFeed = false;
      if (!flowControl) {
        count = static_cast<int32_t>(fill);
        buffer.Store(local, std::min(fill, limit));
        return false;
      }
    }
    handOver();
  }
}

}  // namespace seriallink
