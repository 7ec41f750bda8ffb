#include "platform/SimLineFrames.h"

namespace qv::simline {

void AppendFrame(std::string& wire, char type, std::string_view payload) {
  wire.push_back(type);
  wire.push_back(static_cast<char>(payload.size() & 0xFF));
  wire.push_back(static_cast<char>((payload.size() >> 8) & 0xFF));
  wire.append(payload);
}

void AppendData(std::string& wire, std::string_view data) {
  while (!data.empty()) {
    const size_t n = data.size() < kMaxPayload ? data.size() : kMaxPayload;
    AppendFrame(wire, kData, data.substr(0, n));
    data.remove_prefix(n);
  }
}

uint32_t SpeedOf(std::string_view payload) {
  uint32_t speed = 0;
  for (size_t i = payload.size() < 4 ? payload.size() : 4; i > 0; --i) speed = (speed << 8) | static_cast<uint8_t>(payload[i - 1]);
  return speed;
}

std::string SpeedPayload(uint32_t baud) {
  std::string p(4, '\0');
  for (int i = 0; i < 4; ++i) p[static_cast<size_t>(i)] = static_cast<char>((baud >> (8 * i)) & 0xFF);
  return p;
}

}  // namespace qv::simline
