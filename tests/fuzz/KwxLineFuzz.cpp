// The sign-up serial link's line reader fed through the simulated line, and
// its sign-up dialect of the line classifier over what it reads.
#include "LineFuzz.h"

#include "LineServer.h"
#include "SerialPort.h"
#include "seriallink/common/Clock.h"
#include "seriallink/common/LineSplitter.h"
#include "seriallink/common/ReplySteps.h"

#include <cstdlib>
#include <span>

namespace {

using qvfuzz::RawPeer;
using qvfuzz::ReadUntilMarker;

struct Line {
  RawPeer peer;
  handsetsim::LineServer server;
  qv::Event abort{qv::Event::Mode::AutoReset};
  qv::Event flow{qv::Event::Mode::ManualReset, true};
  kwxsignup::CSerialPort port{abort, flow};
  uint64_t inputs = 0;

  Line() {
    qvfuzz::StartLine(server, peer);
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
