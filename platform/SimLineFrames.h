#pragma once
// The frames of the simulated line, both ways: type (1 byte), payload length
// (uint16, little-endian), payload. 'D' data, 'S' modem status (handset to
// host), 'L' control lines and 'P' line speed (host to handset).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv::simline {

constexpr char kData = 'D';
constexpr char kStatus = 'S';
constexpr char kLines = 'L';
constexpr char kSpeed = 'P';
constexpr uint8_t kLineDtr = 0x01;
constexpr uint8_t kLineRts = 0x02;
constexpr size_t kMaxPayload = 0xFFFF;

// Appends one frame (payload at most kMaxPayload bytes).
void AppendFrame(std::string& wire, char type, std::string_view payload);
// Appends data as as many 'D' frames as it takes.
void AppendData(std::string& wire, std::string_view data);

// Takes every whole frame from the front of in, calling fn(type, payload);
// a partial frame stays for later. fn returning false stops the taking.
template <typename Fn>
void TakeFrames(std::string& in, Fn fn) {
  size_t at = 0;
  while (at + 3 <= in.size()) {
    const size_t len = static_cast<uint8_t>(in[at + 1]) | (static_cast<size_t>(static_cast<uint8_t>(in[at + 2])) << 8);
    if (at + 3 + len > in.size()) break;
    const char type = in[at];
    const std::string payload = in.substr(at + 3, len);
    at += 3 + len;
    if (!fn(type, std::string_view(payload))) break;
  }
  // fn may have emptied in (the connection went): never erase past its end.
  in.erase(0, at < in.size() ? at : in.size());
}

// The uint32 of a 'P' payload.
uint32_t SpeedOf(std::string_view payload);
std::string SpeedPayload(uint32_t baud);

}  // namespace qv::simline
