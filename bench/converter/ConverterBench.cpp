// Converter throughput on a 1 MB MIDI file, through the built module:
// scan, conversion to the ringtone file, polyphony test and conversion back.
#include "TcvModule.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

using tcvtest::Bytes;
using tcvtest::Module;
using tcvtest::SmfBuilder;
using tcvtest::TcvApi;

// A busy song of about 1 MB: four melody channels and rhythm, controllers,
// pitch bends, running status and a tempo change every bar.
const Bytes& Song() {
  static const Bytes song = [] {
    SmfBuilder b(480);
    b.Meta(0, 3, "Benchmark").Meta(0, 0x58, "\x04\x02\x18\x08");
    for (int c = 0; c < 4; ++c) b.Program(0, c, c * 17);
    uint32_t step = 0;
    while (b.TrackBytes().size() < 1000000) {
      if (step % 64 == 0) b.Tempo(0, 400000 + (step % 7) * 20000);
      const int c = static_cast<int>(step % 4);
      const int note = 30 + static_cast<int>((step * 7) % 70);
      b.NoteOn(step % 3 == 0 ? 60 : 0, c, note, 90).Raw(0, {static_cast<uint8_t>(note + 4), 80});
      b.NoteOn(0, 9, 36 + static_cast<int>(step % 10));
      if (step % 5 == 0) b.Control(0, c, 7, 100).Control(0, c, 10, 64);
      if (step % 9 == 0) b.Raw(0, {static_cast<uint8_t>(0xE0 | c), 0x10, 0x44});
      b.NoteOff(120, c, note).NoteOff(0, c, note + 4);
      ++step;
    }
    return b.End().File();
  }();
  return song;
}

void Scanned() {
  const TcvApi& t = Module();
  t.initial(0, 0);
  if (t.scan(Song().data(), static_cast<int32_t>(Song().size())) != 1) std::abort();
}

Bytes Ringtone() {
  const TcvApi& t = Module();
  Scanned();
  Bytes r(static_cast<size_t>(t.dxmSize(Song().data(), static_cast<int32_t>(Song().size()))));
  t.toDxm(Song().data(), static_cast<int32_t>(Song().size()), r.data());
  return r;
}

void BM_Scan(benchmark::State& state) {
  for (auto _ : state) Scanned();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Song().size()));
}
BENCHMARK(BM_Scan)->Unit(benchmark::kMillisecond);

void BM_ConvertToRingtone(benchmark::State& state) {
  const TcvApi& t = Module();
  Scanned();
  Bytes out;
  for (auto _ : state) {
    out.resize(static_cast<size_t>(t.dxmSize(Song().data(), static_cast<int32_t>(Song().size()))));
    benchmark::DoNotOptimize(t.toDxm(Song().data(), static_cast<int32_t>(Song().size()), out.data()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Song().size()));
  state.counters["ringtone_bytes"] = static_cast<double>(out.size());
}
BENCHMARK(BM_ConvertToRingtone)->Unit(benchmark::kMillisecond);

void BM_TestPolyphony(benchmark::State& state) {
  const TcvApi& t = Module();
  const Bytes r = Ringtone();
  for (auto _ : state) benchmark::DoNotOptimize(t.testPoly(r.data()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * r.size()));
}
BENCHMARK(BM_TestPolyphony)->Unit(benchmark::kMillisecond);

void BM_ConvertBack(benchmark::State& state) {
  const TcvApi& t = Module();
  const Bytes r = Ringtone();
  Bytes midi;
  for (auto _ : state) {
    midi.resize(static_cast<size_t>(t.pseudoSize()));
    if (!t.toSmf(r.data(), midi.data())) std::abort();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * r.size()));
  state.counters["midi_bytes"] = static_cast<double>(midi.size());
}
BENCHMARK(BM_ConvertBack)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
