#include "plugins/ringtone/MidiPreview.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fluidsynth.h>
#include <fstream>
#include <system_error>
#include <vector>

namespace qv {
namespace {

static_assert(std::endian::native == std::endian::little, "WAV samples are written as they are in memory");

constexpr size_t kBlockFrames = 1024;
// Notes still sounding when the song ends may ring out this long.
constexpr size_t kMaxTailFrames = kPreviewSampleRate;

// The library's own messages would add lines to ours; we report failures ourselves.
void QuietFluidSynth() {
  static const bool quiet = [] {
    for (int level : {FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) fluid_set_log_function(level, nullptr, nullptr);
    return true;
  }();
  (void)quiet;
}

void Put16(std::string& out, uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v & 0xFFFF));
  Put16(out, static_cast<uint16_t>(v >> 16));
}

std::string WavHeader(uint32_t dataBytes) {
  std::string h = "RIFF";
  Put32(h, 36 + dataBytes);
  h += "WAVEfmt ";
  Put32(h, 16);
  Put16(h, 1);  // PCM
  Put16(h, 2);
  Put32(h, kPreviewSampleRate);
  Put32(h, kPreviewSampleRate * 4);
  Put16(h, 4);
  Put16(h, 16);
  h += "data";
  Put32(h, dataBytes);
  return h;
}

}  // namespace

void KeepSynthesizerLoaded() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&new_fluid_settings), &info) && info.dli_fname)
    ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

std::optional<std::filesystem::path> FindSoundFont() {
  std::error_code ec;
  if (const char* chosen = std::getenv("QUORVEL_SOUNDFONT"); chosen && *chosen) {
    if (std::filesystem::is_regular_file(chosen, ec)) return std::filesystem::path(chosen);
    return std::nullopt;
  }
  for (const char* name : {"default-GM.sf2", "TimGM6mb.sf2", "FluidR3_GM.sf2"}) {
    const std::filesystem::path path = std::filesystem::path("/usr/share/sounds/sf2") / name;
    if (std::filesystem::is_regular_file(path, ec)) return path;  // follows the alternatives link
  }
  return std::nullopt;
}

// ---- synthesizer ----

struct MidiSynth::Fluid {
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  fluid_player_t* player = nullptr;
  ~Fluid() {
    if (player) delete_fluid_player(player);
    if (synth) delete_fluid_synth(synth);
    if (settings) delete_fluid_settings(settings);
  }
};

MidiSynth::MidiSynth(std::unique_ptr<Fluid> fluid) : fluid_(std::move(fluid)) {}
MidiSynth::~MidiSynth() = default;

std::unique_ptr<MidiSynth> MidiSynth::Open(const std::filesystem::path& midiFile,
                                           const std::filesystem::path& soundFont, std::string& why) {
  QuietFluidSynth();
  if (!fluid_is_midifile(midiFile.c_str())) {
    why = "not a MIDI file: " + midiFile.string();
    return nullptr;
  }
  auto f = std::make_unique<Fluid>();
  f->settings = new_fluid_settings();
  if (!f->settings) {
    why = "the synthesizer cannot be set up";
    return nullptr;
  }
  fluid_settings_setnum(f->settings, "synth.sample-rate", kPreviewSampleRate);
  fluid_settings_setnum(f->settings, "synth.gain", 0.5);
  f->synth = new_fluid_synth(f->settings);
  if (!f->synth) {
    why = "the synthesizer cannot be set up";
    return nullptr;
  }
  if (fluid_synth_sfload(f->synth, soundFont.c_str(), 1) == FLUID_FAILED) {
    why = "the SoundFont cannot be read: " + soundFont.string();
    return nullptr;
  }
  // The player runs on the synthesizer's sample clock, so it advances exactly
  // as frames are pulled, whoever pulls them.
  f->player = new_fluid_player(f->synth);
  if (!f->player || fluid_player_add(f->player, midiFile.c_str()) != FLUID_OK ||
      fluid_player_play(f->player) != FLUID_OK) {
    why = "the MIDI file cannot be played: " + midiFile.string();
    return nullptr;
  }
  return std::unique_ptr<MidiSynth>(new MidiSynth(std::move(f)));
}

size_t MidiSynth::Pull(int16_t* out, size_t frames) {
  size_t done = 0;
  while (done < frames && !over_) {
    const size_t n = std::min(kBlockFrames, frames - done);
    int16_t* at = out + 2 * done;
    if (fluid_synth_write_s16(fluid_->synth, static_cast<int>(n), at, 0, 2, at, 1, 2) != FLUID_OK) {
      over_ = true;
      break;
    }
    done += n;
    if (fluid_player_get_status(fluid_->player) == FLUID_PLAYER_DONE) {
      tailFrames_ += n;
      if (fluid_synth_get_active_voice_count(fluid_->synth) == 0 || tailFrames_ >= kMaxTailFrames) over_ = true;
    }
  }
  return done;
}

// ---- WAV files ----

bool RenderToWav(PcmSource& source, const std::filesystem::path& wav, const std::atomic<bool>& stop) {
  std::ofstream out(wav, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out << WavHeader(0);
  std::vector<int16_t> block(2 * kBlockFrames);
  uint64_t bytes = 0;
  constexpr uint64_t kMaxDataBytes = UINT32_MAX - 36;
  while (!stop.load(std::memory_order_relaxed)) {
    const size_t n = source.Pull(block.data(), kBlockFrames);
    const uint64_t size = uint64_t{n} * 4;
    if (bytes + size > kMaxDataBytes) break;
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(size));
    if (!out) return false;
    bytes += size;
    if (n < kBlockFrames) break;
  }
  out.seekp(0);
  out << WavHeader(static_cast<uint32_t>(bytes));
  out.close();
  return static_cast<bool>(out);
}

bool WavFileSink::Start(PcmSource& source, std::string& why) {
  Stop();
  stop_ = false;
  finished_ = false;
  std::error_code ec;
  if (wav_.has_parent_path()) std::filesystem::create_directories(wav_.parent_path(), ec);
  thread_ = std::thread([this, &source] {
    if (!RenderToWav(source, wav_, stop_)) std::fprintf(stderr, "Qvpurlette: cannot write %s\n", wav_.c_str());
    finished_ = true;
  });
  (void)why;
  return true;
}

void WavFileSink::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

// ---- sound device ----

namespace {

// What the audio sink reads: frames pulled from the source on demand.
class PullDevice : public QIODevice {
 public:
  PullDevice(PcmSource& source, const std::atomic<bool>& stop) : source_(source), stop_(stop) {}
  bool isSequential() const override { return true; }
  bool Dry() const { return dry_; }

 protected:
  qint64 readData(char* data, qint64 maxlen) override {
    if (dry_ || stop_.load(std::memory_order_relaxed)) return 0;
    const size_t frames = static_cast<size_t>(maxlen / 4);
    if (frames == 0) return 0;
    const size_t n = source_.Pull(reinterpret_cast<int16_t*>(data), frames);
    if (n < frames) dry_ = true;
    return static_cast<qint64>(n * 4);
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  PcmSource& source_;
  const std::atomic<bool>& stop_;
  bool dry_ = false;
};

}  // namespace

class AudioDeviceSink::Thread : public QThread {
 public:
  Thread(const QAudioDevice& device, const QAudioFormat& format, PcmSource& source)
      : device_(device), format_(format), source_(source) {}
  std::atomic<bool> stop{false};
  std::atomic<bool> over{false};

 protected:
  void run() override {
    {
      QAudioSink sink(device_, format_);
      sink.setBufferSize(format_.bytesForDuration(250000));
      PullDevice io(source_, stop);
      io.open(QIODevice::ReadOnly);
      QObject::connect(&sink, &QAudioSink::stateChanged, &sink, [this, &sink, &io](QAudio::State state) {
        // Idle after the last frame: the song has been heard to its end.
        if ((state == QAudio::IdleState && io.Dry()) ||
            (state == QAudio::StoppedState && sink.error() != QAudio::NoError))
          quit();
      });
      sink.start(&io);
      if (sink.error() == QAudio::NoError && !stop) exec();
      sink.stop();
    }
    over = true;
  }

 private:
  QAudioDevice device_;
  QAudioFormat format_;
  PcmSource& source_;
};

AudioDeviceSink::AudioDeviceSink() = default;
AudioDeviceSink::~AudioDeviceSink() { Stop(); }

bool AudioDeviceSink::Start(PcmSource& source, std::string& why) {
  Stop();
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) {
    why = "no sound output device";
    return false;
  }
  QAudioFormat format;
  format.setSampleRate(kPreviewSampleRate);
  format.setChannelCount(2);
  format.setSampleFormat(QAudioFormat::Int16);
  if (!device.isFormatSupported(format)) {
    why = "the sound device takes no 16-bit stereo at 44.1 kHz";
    return false;
  }
  thread_ = std::make_unique<Thread>(device, format, source);
  thread_->start();
  return true;
}

bool AudioDeviceSink::Finished() const { return !thread_ || thread_->over; }

void AudioDeviceSink::Stop() {
  if (!thread_) return;
  thread_->stop = true;
  thread_->quit();  // honoured even when the loop has not started yet
  thread_->wait();
  thread_.reset();
}

// ---- the player ----

std::unique_ptr<PcmSink> MakePreviewSink() {
  const char* folder = std::getenv("QUORVEL_AUDIO_OUT");
  if (!folder || !*folder) return std::make_unique<AudioDeviceSink>();
  // Earlier renders are kept: the next free number.
  std::error_code ec;
  std::filesystem::path wav;
  for (int n = 1;; ++n) {
    wav = std::filesystem::path(folder) / ("preview-" + std::to_string(n) + ".wav");
    if (!std::filesystem::exists(wav, ec)) break;
  }
  return std::make_unique<WavFileSink>(wav);
}

bool PreviewPlayer::Play(const std::filesystem::path& midiFile) {
  Close();
  std::string why;
  if (const auto soundFont = FindSoundFont()) {
    synth_ = MidiSynth::Open(midiFile, *soundFont, why);
    if (synth_) {
      sink_ = MakePreviewSink();
      if (sink_->Start(*synth_, why)) return true;
    }
  } else {
    why = "no General MIDI SoundFont (install timgm6mb-soundfont)";
  }
  Close();
  std::fprintf(stderr, "Qvpurlette: %s; the preview is not played\n", why.c_str());
  return false;
}

void PreviewPlayer::Close() {
  if (sink_) sink_->Stop();
  sink_.reset();
  synth_.reset();
}

}  // namespace qv
