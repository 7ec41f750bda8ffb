// The full serial link's line reader fed through the simulated line: the
// pieces PortReadLine makes of any bytes, the modem result and centre line
// classifiers over them, and a mail body received from them to its end line.
#include "LineFuzz.h"

#include "LineServer.h"
#include "Port.h"
#include "Status.h"
#include "seriallink/common/BodyReceiver.h"
#include "seriallink/common/Clock.h"
#include "seriallink/common/LineSplitter.h"
#include "seriallink/common/ReplySteps.h"

#include <cstdlib>
#include <memory>

namespace {

using qvfuzz::RawPeer;
using qvfuzz::ReadUntilMarker;

struct Line {
  RawPeer peer;
  handsetsim::LineServer server;
  qv::Event abort{qv::Event::Mode::AutoReset};
  qv::Event flow{qv::Event::Mode::ManualReset, true};
  portvine::CStatus status;
  portvine::CPort port{status, abort, flow};
  uint64_t inputs = 0;

  Line() {
    qvfuzz::StartLine(server, peer);
    if (!port.PortSetup("\\\\.\\COM7", 115200) || !port.PortOpen()) std::abort();
  }
  void Send(std::string bytes) {
    server.Post([this, bytes = std::move(bytes)] { server.SendData(bytes); });
  }
};

Line& TheLine() {
  static Line* line = [] {
    seriallink::clock::SetRate(50);
    return new Line;
  }();
  return *line;
}

struct BodyOverPort final : seriallink::BodyLine {
  explicit BodyOverPort(Line& l) : line(l) {}
  bool ReadPiece(char* buffer, int32_t& size) override { return line.port.PortReadLine(buffer, size); }
  int32_t LastError() const override { return line.port.Error(); }
  void RecordError(int32_t code) override { line.port.SetError(code); }
  // A part handed over: the caller takes it at once and lets the line go on.
  void Notify(int32_t type, int32_t code) override {
    if (type == 1 && code == 4) line.flow.Set();
  }
  void AwaitFirstPiece(int64_t ms) override { line.port.WaitInput(ms); }
  Line& line;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qvfuzz::Input input(data, size);
  const uint8_t mode = input.Byte();
  const int32_t room = 24 + input.Word() % 300;
  Line& line = TheLine();
  const std::string marker = "QVEND" + std::to_string(++line.inputs) + "\n";
  const std::string bytes(input.Rest());
  line.port.SetError(90000);
  line.port.TimerSet(60, 70001);
  if (mode % 2 == 0) {
    line.Send(bytes + "\x1D" + marker);
    std::vector<std::string> pieces;
    const bool whole = ReadUntilMarker([&](char* b, int32_t& n) { return line.port.PortReadLine(b, n); }, marker,
                                       pieces, room);
    QV_FUZZ_CHECK(whole);
    seriallink::LineSplitter splitter;
    for (const std::string& piece : pieces) {
      if (piece.empty()) continue;
      seriallink::ClassifyModemResult(piece.data(), piece.size());
      int32_t farEnd = 0, wellFormed = 0, connection = 0;
      seriallink::ClassifyProtocolLine(piece.data(), piece.size(), farEnd, wellFormed, connection);
      seriallink::ClassifyReply(splitter, std::span<const char>(piece.data(), piece.size()),
                                static_cast<int32_t>(piece.size()));
    }
  } else {
    // A body: the bytes, then an end line, then the marker.
    line.Send(bytes + "\r\n.\r\n\x1D" + marker);
    seriallink::ReceiveBuffer buffer;
    BodyOverPort body(line);
    int32_t count = 0;
    seriallink::ReceiveBody(body, buffer, line.flow, mode & 2, count);
    // Under flow control the count is the last part's size; without it a body
    // that outgrew the buffer counts all it read (the list's too-long rule).
    QV_FUZZ_CHECK(count >= 0);
    if (mode & 2) QV_FUZZ_CHECK(count <= static_cast<int32_t>(seriallink::ReceiveBuffer::kSize));
    char out[seriallink::ReceiveBuffer::kSize + 1];
    int32_t taken = seriallink::ReceiveBuffer::kSize;
    buffer.Take(out, &taken);
    line.flow.Set();
    // Whatever the body left on the line goes before the next input.
    std::vector<std::string> rest;
    QV_FUZZ_CHECK(ReadUntilMarker([&](char* b, int32_t& n) { return line.port.PortReadLine(b, n); }, marker, rest,
                                  room));
  }
  line.port.TimerClear();
  // The classifiers on the raw bytes, as a buffer the splitter walks.
  seriallink::LineSplitter splitter;
  if (!bytes.empty() && splitter.LineSplitterSetBuffer(bytes.data(), bytes.size())) {
    const char* at = bytes.data();
    const char* end = bytes.data() + bytes.size();
    while (at < end) {
      const char* next = nullptr;
      splitter.ClassifyLine(at, static_cast<size_t>(end - at), &next);
      if (!next || next <= at || next > end) break;
      at = next;
    }
  }
  return 0;
}
