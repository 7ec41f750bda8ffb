// The sign-up serial link's line reader fed through the simulated line, and
// its sign-up dialect of the line classifier over what it reads.
#include "FuzzSupport.h"

#include "LineServer.h"
#include "SerialPort.h"
#include "seriallink/common/Clock.h"
#include "seriallink/common/LineSplitter.h"
#include "seriallink/common/ReplySteps.h"

#include <cstdlib>
#include <span>

namespace {

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

struct Line {
  RawPeer peer;
  handsetsim::LineServer server;
  qv::Event abort{qv::Event::Mode::AutoReset};
  qv::Event flow{qv::Event::Mode::ManualReset, true};
  kwxsignup::CSerialPort port{abort, flow};
  uint64_t inputs = 0;

  Line() {
    const auto dir = qvfuzz::FreshFolder() / "ports";
    std::filesystem::create_directories(dir);
    ::setenv("QUORVEL_PORTS", dir.c_str(), 1);
    std::string error;
    if (!server.Start(dir / "COM7", &peer, &error)) std::abort();
    server.Post([this] { server.SetStatus(0x30); });
    if (!port.Setup("\\\\.\\COM7", 115200, 0) || !port.Open()) std::abort();
  }
};

Line& TheLine() {
  static Line* line = [] {
    seriallink::clock::SetRate(50);
    return new Line;
  }();
  return *line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qvfuzz::Input input(data, size);
  const int32_t room = 24 + input.Word() % 300;
  Line& line = TheLine();
  const std::string marker = "QVEND" + std::to_string(++line.inputs) + "\n";
  std::string bytes(input.Rest());
  line.server.Post([&line, all = bytes + "\x1D" + marker] { line.server.SendData(all); });
  line.port.TimerSet(60, 70001);
  std::vector<std::string> pieces;
  QV_FUZZ_CHECK(ReadUntilMarker([&](char* b, int32_t& n) { return line.port.ReadLine(b, n); }, marker, pieces, room));
  line.port.TimerClear();
  seriallink::LineSplitter splitter(seriallink::Dialect::Signup);
  for (const std::string& piece : pieces) {
    if (piece.empty()) continue;
    seriallink::ClassifyModemResult(piece.data(), piece.size(), seriallink::Dialect::Signup);
    seriallink::ClassifyReply(splitter, std::span<const char>(piece.data(), piece.size()),
                              static_cast<int32_t>(piece.size()));
  }
  return 0;
}
