// A generated three-minute song through the ringtone maker's code: converted
// into a ringtone by the built converter, converted back for the preview, and
// both the source and the handset version rendered offline by the
// synthesizer. The render reports its real-time factor (seconds of sound per
// second of work; 1 is the least a live preview needs); rendering the same
// length of silence is the synthesizer's own cost.
#include "SmfTestFile.h"
#include "plugins/ringtone/MidiPreview.h"
#include "plugins/ringtone/PurletteConvert.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace {

using tcvtest::Bytes;
using tcvtest::SmfBuilder;

constexpr int kSeconds = 180;

// 120 beats a minute: a melody in eighths, a bass, two held chords and drums.
const std::string& Song() {
  static const std::string song = [] {
    SmfBuilder b(96);
    b.Meta(0, 3, "Bench song").Tempo(0, 500000);
    b.Program(0, 0, 0).Program(0, 1, 33).Program(0, 2, 48).Program(0, 3, 52);
    const int scale[8] = {60, 62, 64, 67, 69, 72, 69, 67};
    for (int beat = 0; beat < kSeconds * 2; ++beat) {
      const int root = 48 + (beat / 4) % 4 * 2;
      b.NoteOn(0, 1, root - 12).NoteOn(0, 2, root + 4).NoteOn(0, 3, root + 7).NoteOn(0, 9, beat % 2 ? 38 : 36);
      b.NoteOn(0, 0, scale[(2 * beat) % 8]).NoteOff(48, 0, scale[(2 * beat) % 8]);
      b.NoteOn(0, 0, scale[(2 * beat + 1) % 8]).NoteOff(48, 0, scale[(2 * beat + 1) % 8]);
      b.NoteOff(0, 1, root - 12).NoteOff(0, 2, root + 4).NoteOff(0, 3, root + 7).NoteOff(0, 9, beat % 2 ? 38 : 36);
    }
    const Bytes f = b.End().File();
    return std::string(f.begin(), f.end());
  }();
  return song;
}

const qv::TcvBinding& Tcv() {
  static qv::TcvBinding tcv;
  if (!tcv.Bound() && !tcv.Bind(QV_TCV_MODULE)) std::abort();
  return tcv;
}

qv::ConvertSettings Settings() {
  qv::ConvertSettings s;
  s.roles = {0, 1, 2, 3};
  s.sources = {0, 1, 2, 3};
  s.offeredChannels = 4;
  s.texts[qv::kTitle] = "Bench song";
  return s;
}

std::string Ringtone() {
  const qv::ConvertResult r = qv::ConvertToRingtone(Tcv(), Song(), Settings());
  if (!r.ok) std::abort();
  return r.ringtone;
}

std::filesystem::path TempFile(const char* name, const std::string& bytes) {
  const auto path = std::filesystem::temp_directory_path() / (std::string(name) + std::to_string(::getpid()) + ".mid");
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

void BM_ConvertToRingtone(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(qv::ConvertToRingtone(Tcv(), Song(), Settings()));
  state.counters["song_bytes"] = static_cast<double>(Song().size());
  state.counters["ringtone_bytes"] = static_cast<double>(Ringtone().size());
}
BENCHMARK(BM_ConvertToRingtone)->Unit(benchmark::kMillisecond);

void BM_ConvertBack(benchmark::State& state) {
  const std::string ringtone = Ringtone();
  for (auto _ : state) benchmark::DoNotOptimize(qv::RingtoneToMidi(Tcv(), ringtone));
}
BENCHMARK(BM_ConvertBack)->Unit(benchmark::kMillisecond);

// Renders the MIDI file to a WAV file as a preview sink does.
void Render(benchmark::State& state, const std::string& midi) {
  const auto soundFont = qv::FindSoundFont();
  if (!soundFont) {
    state.SkipWithError("no General MIDI SoundFont installed");
    return;
  }
  const auto file = TempFile("purlette-bench", midi);
  const auto wav = std::filesystem::temp_directory_path() / ("purlette-bench" + std::to_string(::getpid()) + ".wav");
  std::atomic<bool> stop{false};
  double seconds = 0;
  for (auto _ : state) {
    std::string why;
    auto synth = qv::MidiSynth::Open(file, *soundFont, why);
    if (!synth || !qv::RenderToWav(*synth, wav, stop)) {
      state.SkipWithError(why.c_str());
      break;
    }
    seconds = static_cast<double>(std::filesystem::file_size(wav) - 44) / (4.0 * qv::kPreviewSampleRate);
  }
  state.counters["sound_seconds"] = seconds;
  state.counters["realtime_factor"] = benchmark::Counter(seconds, benchmark::Counter::kIsIterationInvariantRate);
  std::filesystem::remove(file);
  std::filesystem::remove(wav);
}

void BM_RenderSource(benchmark::State& state) { Render(state, Song()); }
BENCHMARK(BM_RenderSource)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();

void BM_RenderHandsetVersion(benchmark::State& state) {
  const auto midi = qv::RingtoneToMidi(Tcv(), Ringtone());
  if (!midi) std::abort();
  Render(state, *midi);
}
BENCHMARK(BM_RenderHandsetVersion)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();

// The anchor: as long a song of silence (one rest the length of the song).
void BM_RenderSilence(benchmark::State& state) {
  SmfBuilder b(96);
  b.Tempo(0, 500000).End(static_cast<uint32_t>(kSeconds * 2 * 96));
  const Bytes f = b.File();
  Render(state, std::string(f.begin(), f.end()));
}
BENCHMARK(BM_RenderSilence)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
