#pragma once
// What the two line-reader targets share: a far end that sends what an input
// holds over the simulated line, and the reading of pieces up to a marker.
#include "FuzzSupport.h"
#include "LineServer.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace qvfuzz {

// The far end of the line: the simulated line's server sends what a fuzz
// input holds; the host side reads it as the module does.
class RawPeer final : public handsetsim::LineHandler {
 public:
  void OnData(std::string_view) override {}
};

// Reads pieces until the marker piece that ends each input's bytes; false
// when the line ended before it.
template <class ReadFn>
bool ReadUntilMarker(ReadFn read, const std::string& marker, std::vector<std::string>& pieces, int32_t room) {
  std::vector<char> buffer(static_cast<size_t>(room) + 16, '#');
  for (int guard = 0; guard < 100000; ++guard) {
    int32_t size = room;
    const bool ok = read(buffer.data(), size);
    // Nothing is ever written past the room.
    for (size_t i = static_cast<size_t>(room); i < buffer.size(); ++i) QV_FUZZ_CHECK(buffer[i] == '#');
    QV_FUZZ_CHECK(size >= 0 && size <= room);
    std::string piece(buffer.data(), static_cast<size_t>(size));
    if (piece == marker) return true;
    if (!ok && size == 0) return false;
    pieces.push_back(std::move(piece));
  }
  return false;
}

// Starts the server on COM7 of a fresh port folder (QUORVEL_PORTS) with the
// carrier's status lines up.
inline void StartLine(handsetsim::LineServer& server, RawPeer& peer) {
  const auto dir = FreshFolder() / "ports";
  std::filesystem::create_directories(dir);
  ::setenv("QUORVEL_PORTS", dir.c_str(), 1);
  std::string error;
  if (!server.Start(dir / "COM7", &peer, &error)) std::abort();
  server.Post([&server] { server.SetStatus(0x30); });
}

}  // namespace qvfuzz
