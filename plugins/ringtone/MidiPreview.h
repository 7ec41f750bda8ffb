#pragma once
// The MIDI preview (the stand-in for the media player): a software
// synthesizer with a General MIDI SoundFont renders the file, and a sink pulls
// 16-bit stereo frames from it on a thread of its own, into the sound device
// or into a WAV file. Without a SoundFont or a sound device nothing plays.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace qv {

inline constexpr int kPreviewSampleRate = 44100;

class PcmSource {
 public:
  virtual ~PcmSource() = default;
  // Fills out with up to frames stereo frames (left, right); fewer, and at
  // last none, once the song is over.
  virtual size_t Pull(int16_t* out, size_t frames) = 0;
};

class PcmSink {
 public:
  virtual ~PcmSink() = default;
  // Starts pulling from source; false, and why, when it cannot play.
  virtual bool Start(PcmSource& source, std::string& why) = 0;
  // The source ran dry (or the output failed) and the sink has stopped.
  virtual bool Finished() const = 0;
  // Ends the sink's thread; no pull runs once it returns.
  virtual void Stop() = 0;
};

// Keeps the synthesizer's libraries loaded for the rest of the process. They
// register types with GLib, which cannot be registered twice, so they must not
// go when the plug-in is unloaded and come back when it is loaded again.
void KeepSynthesizerLoaded();

// $QUORVEL_SOUNDFONT when set, else the first General MIDI SoundFont of the
// packages that exists: default-GM.sf2, TimGM6mb.sf2, FluidR3_GM.sf2.
std::optional<std::filesystem::path> FindSoundFont();

// A synthesizer playing one MIDI file from its start.
class MidiSynth : public PcmSource {
 public:
  // Null, and why, when the SoundFont or the file cannot be had.
  static std::unique_ptr<MidiSynth> Open(const std::filesystem::path& midiFile,
                                         const std::filesystem::path& soundFont, std::string& why);
  ~MidiSynth() override;
  MidiSynth(const MidiSynth&) = delete;
  MidiSynth& operator=(const MidiSynth&) = delete;
  size_t Pull(int16_t* out, size_t frames) override;

 private:
  struct Fluid;
  explicit MidiSynth(std::unique_ptr<Fluid> fluid);
  std::unique_ptr<Fluid> fluid_;
  size_t tailFrames_ = 0;
  bool over_ = false;
};

// The render loop: pulls the source into a WAV file (16-bit stereo at
// kPreviewSampleRate) until it runs dry or stop is set. False when the file
// cannot be written.
bool RenderToWav(PcmSource& source, const std::filesystem::path& wav, const std::atomic<bool>& stop);

// Renders on a thread of its own into a WAV file, as fast as it can.
class WavFileSink : public PcmSink {
 public:
  explicit WavFileSink(std::filesystem::path wav) : wav_(std::move(wav)) {}
  ~WavFileSink() override { Stop(); }
  bool Start(PcmSource& source, std::string& why) override;
  bool Finished() const override { return finished_; }
  void Stop() override;

 private:
  std::filesystem::path wav_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> finished_{false};
};

// Plays through the default sound output (Qt Multimedia), pulled on a thread
// with an event loop of its own.
class AudioDeviceSink : public PcmSink {
 public:
  AudioDeviceSink();
  ~AudioDeviceSink() override;
  bool Start(PcmSource& source, std::string& why) override;
  bool Finished() const override;
  void Stop() override;

 private:
  class Thread;
  std::unique_ptr<Thread> thread_;
};

// Where previews play: with $QUORVEL_AUDIO_OUT set to a folder, into WAV files
// there (preview-1.wav, preview-2.wav, ..., the first name free); else the
// sound device.
std::unique_ptr<PcmSink> MakePreviewSink();

// What the ringtone maker plays and stops.
class PreviewPlayer {
 public:
  PreviewPlayer() = default;
  ~PreviewPlayer() { Close(); }
  PreviewPlayer(const PreviewPlayer&) = delete;
  PreviewPlayer& operator=(const PreviewPlayer&) = delete;

  // Plays the file from its start; false, after one line on stderr, when
  // there is no SoundFont, no sound output or no MIDI file.
  bool Play(const std::filesystem::path& midiFile);
  // From a successful Play until the song is over or Close.
  bool Playing() const { return sink_ && !sink_->Finished(); }
  // Stops playing and frees the synthesizer; none of its code runs afterwards.
  void Close();

 private:
  std::unique_ptr<MidiSynth> synth_;
  std::unique_ptr<PcmSink> sink_;
};

}  // namespace qv
