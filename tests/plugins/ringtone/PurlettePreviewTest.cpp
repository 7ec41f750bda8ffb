// The preview: the source and the handset version rendered by the synthesizer
// into WAV files, stopping and unloading while it plays, no sound output or
// no SoundFont, and converters whose reverse conversion misbehaves.
#include "PurletteFixture.h"

#include <QAction>
#include <QTest>
#include <algorithm>
#include <functional>

using namespace purlettetest;

namespace {

// A tune on a piano with a bass line and drums, about seconds long.
Bytes Tune(int seconds) {
  SmfBuilder b(96);
  b.Tempo(0, 500000).Program(0, 0, 0).Program(0, 1, 33);
  const int scale[8] = {60, 62, 64, 65, 67, 69, 71, 72};
  for (int beat = 0; beat < seconds * 2; ++beat) {
    b.NoteOn(0, 0, scale[beat % 8]).NoteOn(0, 1, 36 + beat % 4 * 2).NoteOn(0, 9, beat % 2 ? 38 : 36);
    b.NoteOff(90, 0, scale[beat % 8]).NoteOff(0, 1, 36 + beat % 4 * 2).NoteOff(0, 9, beat % 2 ? 38 : 36);
    b.Raw(6, {0xFF, 0x01, 0x00});  // an empty text event keeps the beat
  }
  return b.End().File();
}

// Lines the plug-in wrote to stderr while fn ran.
std::string StderrOf(const std::function<void()>& fn) {
  ::testing::internal::CaptureStderr();
  fn();
  return ::testing::internal::GetCapturedStderr();
}

// The plug-in's own lines (the sound system may add its own on first use).
std::vector<std::string> PluginLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while ((at = text.find("Qvpurlette:", at)) != std::string::npos) {
    const size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    at = end;
  }
  return lines;
}

}  // namespace

// Loud enough to be music, far above dither or a stray click.
constexpr double kRmsFloor = 300;

TEST_F(PurletteTest, TheSourceAndTheHandsetVersionAreRenderedAsSound) {
  Load();
  Open(WriteMidi("tune.mid", Tune(4)));
  PlayToEnd("actMidiPlay");
  PlayToEnd("actDxmPlay");
  const auto previews = Previews();
  ASSERT_EQ(previews.size(), 2u);
  const char* names[2] = {"purlette-source-preview.wav", "purlette-handset-preview.wav"};
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(names[i]);
    std::filesystem::copy_file(previews[i], qvtest::ArtifactPath(names[i]),
                               std::filesystem::copy_options::overwrite_existing);
    const Wav wav = ReadWav(previews[i]);
    ASSERT_TRUE(wav.ok);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.rate, 44100);
    EXPECT_GT(wav.Rms(), kRmsFloor);
    EXPECT_GT(wav.Seconds(), 3.5) << "the whole song";
    EXPECT_LT(wav.Seconds(), 4 + 3.5) << "and its last notes ringing out";
  }
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(PurletteTest, StopAndUnloadEndThePreviewAtOnce) {
  const auto file = WriteMidi("long.mid", Tune(20 * 60));
  for (const bool unload : {false, true}) {
    SCOPED_TRACE(unload ? "unloaded while playing" : "stopped");
    Load();
    Open(file);
    const size_t before = Previews().size();
    Action("actMidiPlay")->trigger();
    EXPECT_TRUE(Action("actStop")->isEnabled());
    EXPECT_FALSE(Action("actMidiPlay")->isEnabled());
    EXPECT_FALSE(Action("actDxmPlay")->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] {
      const auto p = Previews();
      return p.size() > before && std::filesystem::file_size(p.back()) > 44 + 4 * 44100;
    }, 20000)) << "a second of sound rendered";
    if (unload) {
      Unload();
      EXPECT_FALSE(std::filesystem::exists(TempFolder() / "PurletteCnv.mid"));
    } else {
      Action("actStop")->trigger();
      EXPECT_TRUE(Idle());
    }
    const Wav wav = ReadWav(Previews().back());
    EXPECT_TRUE(wav.ok) << "the render loop ended and finished its file";
    EXPECT_LT(wav.Seconds(), 10 * 60.0);
    Unload();
  }
}

TEST_F(PurletteTest, WithoutSoundOutputOrSoundFontPlayingDoesNothingQuietly) {
  struct Case {
    const char* name;
    bool toFiles;  // render into WAV files instead of the sound device
    const char* soundFont;
  } cases[] = {
      {"no sound device", false, nullptr},
      {"no SoundFont", true, "/nonexistent/none.sf2"},
  };
  // No sound server can be reached, whatever this machine has.
  ScopedEnv pulse("PULSE_SERVER", (tmp_.path() / "no-pulse").c_str());
  Load();
  Open(WriteMidi("tune.mid", Tune(2)));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedEnv out("QUORVEL_AUDIO_OUT", c.toFiles ? PreviewFolder().c_str() : nullptr);
    ScopedEnv font("QUORVEL_SOUNDFONT", c.soundFont);
    for (const char* action : {"actMidiPlay", "actDxmPlay"}) {
      const std::string err = StderrOf([&] { Action(action)->trigger(); });
      EXPECT_TRUE(Idle()) << action;
      const auto lines = PluginLines(err);
      ASSERT_EQ(lines.size(), 1u) << err;
      EXPECT_NE(lines[0].find("not played"), std::string::npos) << err;
    }
  }
  EXPECT_TRUE(Previews().empty());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(PurletteTest, TheReverseConversionIsRetriedOnceAtTheSizeTheConverterAsksFor) {
  const Bytes stubMidi = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 24, 'M', 'T', 'r', 'k', 0, 0, 0, 13,
                          0, 0x90, 60, 100, 48, 0x80, 60, 64, 0, 0xFF, 0x2F, 0};
  struct Case {
    const char* module;
    bool plays;
  } cases[] = {{"TcvShortPseudo.so", true}, {"TcvNoMidi.so", false}, {"TcvBadEnd.so", false}};
  const auto file = WriteMidi("song.mid", Song({{0, 0}}));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.module);
    UseConverter(std::filesystem::path(QV_PURLETTE_TEST_MODULES) / c.module);
    Load();
    Open(file);
    const size_t before = Previews().size();
    PlayToEnd("actDxmPlay");
    EXPECT_EQ(Previews().size(), before + (c.plays ? 1 : 0));
    const std::string written = qvtest::ReadFile(TempFolder() / "PurletteCnv.mid");
    EXPECT_EQ(written, c.plays ? std::string(stubMidi.begin(), stubMidi.end()) : "") << "what the preview played";
    Unload();
  }
  EXPECT_TRUE(Boxes().empty()) << "a preview fails quietly";
}

TEST_F(PurletteTest, AConversionThatRunsPastItsBufferIsNotSaved) {
  UseConverter(std::filesystem::path(QV_PURLETTE_TEST_MODULES) / "TcvBadEnd.so");
  Load();
  Open(WriteMidi("song.mid", Song({{0, 0}})));
  const auto target = tmp_.path() / "out.dxm";
  Save(target);
  EXPECT_EQ(TakeBoxes(), std::vector<std::string>{"purletteファイルを保存できませんでした。\n" + target.string()});
  EXPECT_FALSE(std::filesystem::exists(target));
}
