#pragma once
// A temporary launcher folder holding the built Qvpurlette.qpl and a
// converter module, the plug-in loaded through the launcher's own plug-in
// holder, the dialogs and message boxes of its window answered as a user
// would, and readers of what it saved, previewed and sent to the host.
#include "launcher/QvDLLForm.h"

#include "SmfTestFile.h"
#include "TestSupport.h"

#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QComboBox;
class QLineEdit;

namespace purlettetest {

using tcvtest::Bytes;
using tcvtest::SmfBuilder;

// CP932 bytes of a UTF-8 literal.
inline std::string J(std::string_view utf8) { return qvtest::Sjis(utf8); }

// Sets an environment variable until the object ends (unset when value is null).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// A WAV file's 16-bit samples and the root mean square of them.
struct Wav {
  bool ok = false;
  int channels = 0, rate = 0;
  std::vector<int16_t> samples;
  double Rms() const;
  double Seconds() const { return channels && rate ? double(samples.size()) / channels / rate : 0; }
};
Wav ReadWav(const std::filesystem::path& path);

// Directory entry tags of the ringtone blocks.
std::string RingtoneBlock(const std::string& ringtone, uint16_t tag);

class PurletteTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

 public:

  // Copies a converter module into the launcher folder under its own name
  // and names it in [File] MidiDllFile.
  void UseConverter(const std::filesystem::path& module);
  // Loads Qvpurlette.qpl through the host's plug-in holder and shows its window.
  void Load();
  void Unload();

  // The temporary folder (TMPDIR while the plug-in loads); tests may point it elsewhere.
  std::filesystem::path TempFolder() const { return tempFolder_; }
  void SetTempFolder(const std::filesystem::path& folder) { tempFolder_ = folder; }
  // Where previews are rendered (QUORVEL_AUDIO_OUT).
  std::filesystem::path PreviewFolder() const { return tmp_.path() / "previews"; }
  std::filesystem::path WriteMidi(std::string_view name, const Bytes& bytes) const;

  QWidget* Window() const { return window_; }
  QAction* Action(const char* name) const;
  QComboBox* Combo(const char* name) const;
  QLineEdit* Edit(const char* name) const;
  // The display texts of a combo box.
  std::vector<std::string> Items(const char* combo) const;
  // The selected role of the four role boxes.
  std::vector<int> Roles() const;
  // Opens the popup of a combo box and clicks the item, as a user does.
  void ClickItem(const char* combo, int index);

  // Opens the file through 開く and its dialog (the dialog's filters are kept).
  void Open(const std::filesystem::path& file);
  // Saves through 保存 and its dialog.
  void Save(const std::filesystem::path& file);
  // Triggers a play action and waits until the preview is over.
  void PlayToEnd(const char* action);
  bool Idle() const;
  // The rendered previews in the order played.
  std::vector<std::filesystem::path> Previews() const;

  // Every message box the window opened (UTF-8), answered with its first button.
  const std::vector<std::string>& Boxes() const { return boxes_; }
  std::vector<std::string> TakeBoxes() { return std::exchange(boxes_, {}); }
  // The filters of the file dialogs that opened.
  const std::vector<std::string>& DialogFilters() const { return filters_; }
  // The parameter callbacks the plug-in made.
  static std::vector<std::pair<int32_t, int32_t>>& ParamCalls();
  // An export of the loaded module (the handle the host holds).
  void* Export(const char* name) const;

  qvtest::TempDir tmp_;
  std::filesystem::path dir_;
  std::unique_ptr<qvtest::ScopedLauncherDir> launcherDir_;
  std::unique_ptr<ScopedEnv> audioOut_;
  std::unique_ptr<qv::TDllForm> plugin_;
  QWidget* window_ = nullptr;

 private:
  void AnswerModal();
  std::filesystem::path tempFolder_;
  std::optional<std::filesystem::path> nextFile_;
  std::vector<std::string> boxes_;
  std::vector<std::string> filters_;
  QTimer answer_;
};

// A song of a few notes on each given (channel, program); program -1 plays
// without a program change. Channel 9 plays rhythm.
Bytes Song(const std::vector<std::pair<int, int>>& channels, int notesPerChannel = 4);

}  // namespace purlettetest
