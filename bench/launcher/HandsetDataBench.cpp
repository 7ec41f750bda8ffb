// handsetdata_bench: phone-book records read from and written to the
// simulated handset through the session layer, as the session dialog runs
// them, with the built Portvine.so on its real clock and the handset paced
// both ways at 115200 baud.
//
// A session has a fixed cost (the handset's preparation, entering and
// leaving information mode), so each direction runs twice in the same run:
// with one record (the anchor) and with all of them; the difference is what
// the lines cost. A line's line time is what its request and its answer take
// on the wire at 10 bits a byte; the aim is a line costing at most its line
// time and one 100 ms poll of the session.
//   QV_BENCH_RECORDS   records each way (default 1000)
#include "HandsetRecords.h"
#include "HeadlessSession.h"
#include "core/data/HandsetExchange.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace std::chrono;

namespace {

constexpr double kLineBytesPerSecond = 115200 / 10.0;
constexpr double kPollSeconds = 0.1;
// Every record carries a memo of this many bytes: about 140 bytes a record,
// one line each, as a phone-book entry with a few fields.
constexpr size_t kMemoBytes = 80;

struct Run {
  double seconds = 0;
  size_t lines = 0;
  double wireBytes = 0;  // requests and answers of the lines
  bool ok = false;
};

// Bytes a write line and its answer take, and a read request and its answer.
double WriteLineBytes(const std::string& wire, size_t lineNo) {
  return double(std::string("<1:1:").size() + wire.size() + 4 + std::string("<1:1:>\r\n").size() +
                std::to_string(lineNo).size());
}
double ReadLineBytes(const std::string& wire) {
  return double(std::string("<2:1H>\r\n").size() + std::string("<1:00h>\r\n").size() + wire.size());
}

Run Measure(qv::SessionMode mode, int records) {
  qvtest::TempDir tmp;
  qvtest::HeadlessLauncher launcher(tmp / "app");
  const qvtest::HandsetLines lines = qvtest::HandsetRecords(1, records, 0, kMemoBytes);
  const qvtest::HandsetLines wire = qvtest::WireLines(lines);
  handsetsim::SimConfig config;
  config.pace = true;
  config.i9InfoText = "1";
  config.infoCapacity = lines.size() + 1;
  const bool reading = mode == qv::SessionMode::ReadHandsetInfo;
  if (reading) config.info[1] = wire;
  else qv::HandsetExchangeFile::Write(qv::HandsetExchangeFile::PathFor(1), lines);
  std::string error;
  Run run;
  if (!launcher.StartHandset(config, 1, &error)) {
    std::fprintf(stderr, "handsetdata_bench: %s\n", error.c_str());
    return run;
  }
  const auto t0 = steady_clock::now();
  const qv::SessionResult result = launcher.Run(mode, {.parameter = 1});
  run.seconds = duration<double>(steady_clock::now() - t0).count();
  run.lines = lines.size();
  for (size_t i = 0; i < wire.size(); ++i) run.wireBytes += reading ? ReadLineBytes(wire[i]) : WriteLineBytes(wire[i], i + 1);
  qvtest::HandsetLines now;
  const bool moved = reading ? qv::HandsetExchangeFile::Read(qv::HandsetExchangeFile::PathFor(1), now) && now == lines
                             : launcher.Sim().Info()[1] == wire;
  run.ok = result == qv::SessionResult::Done && moved;
  return run;
}

bool Report(const char* what, qv::SessionMode mode, int records) {
  const Run anchor = Measure(mode, 1);
  const Run all = Measure(mode, records);
  const size_t lines = all.lines - anchor.lines;
  const double perLine = (all.seconds - anchor.seconds) / double(lines);
  const double lineTime = (all.wireBytes - anchor.wireBytes) / double(lines) / kLineBytesPerSecond;
  std::printf("%s %d records (%zu lines): %.1f s; anchor 1 record (%zu line): %.2f s\n", what, records, all.lines,
              all.seconds, anchor.lines, anchor.seconds);
  std::printf("  a line costs %.1f ms; its line time %.1f ms = %.1f%% of the line rate; aim at most %.1f ms "
              "(line time + one %.0f ms poll): %s%s\n",
              perLine * 1000, lineTime * 1000, 100 * lineTime / perLine, (lineTime + kPollSeconds) * 1000,
              kPollSeconds * 1000, perLine <= lineTime + kPollSeconds ? "met" : "MISSED",
              anchor.ok && all.ok ? "" : "  [DATA DIFFERS OR NOT DONE]");
  return anchor.ok && all.ok;
}

}  // namespace

int main() {
  qvtest::InitTestProcess();
  const char* env = std::getenv("QV_BENCH_RECORDS");
  const int records = env && std::atoi(env) > 1 ? std::atoi(env) : 1000;
  bool ok = Report("write", qv::SessionMode::WriteHandsetInfo, records);
  ok &= Report("read", qv::SessionMode::ReadHandsetInfo, records);
  return ok ? 0 : 1;
}
