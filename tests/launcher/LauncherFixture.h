#pragma once
// A temporary launcher folder with the test modules, a settings file and a
// message file, and the three program-wide forms created as the program does.
#include "TestSupport.h"
#include "controls/AnimationImage.h"
#include "controls/BRVPanelEX.h"
#include "controls/MultiButton.h"
#include "core/ui/MessageBox.h"
#include "launcher/LauncherWindows.h"

#include <QTimer>
#include <gtest/gtest.h>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qvtest {

// Answers modal windows as a user would: each one, once it is the active
// modal window, goes to the latest handler that takes its class, from the
// event loop (so a handler may open another modal window, which is answered
// in turn). A modal window no handler takes fails the test and is closed.
class ModalAnswerer {
 public:
  ModalAnswerer();
  ~ModalAnswerer();
  template <typename Window>
  void On(std::function<void(Window*)> handler) {
    handlers_.insert(handlers_.begin(), [handler](QWidget* w) {
      auto* window = qobject_cast<Window*>(w);
      if (window) handler(window);
      return window != nullptr;
    });
  }
  int Answered() const { return answered_; }

 private:
  void Tick();
  QTimer* timer_;
  std::vector<std::function<bool(QWidget*)>> handlers_;
  int answered_ = 0;
};

class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the settings file: defaults for a working start, then the given
  // "Section|Key" = value entries (an empty value removes nothing, it is written).
  void WriteIni(const std::map<std::string, std::string>& entries = {});
  // Creates the main window, the session dialog and the notice window.
  void Start();
  void Stop();

  // The lines of calls.log (plug-ins and serial module), then clears it.
  std::vector<std::string> TakeCalls();
  std::vector<std::string> Calls() const;
  // Lines of calls.log that start with the prefix.
  std::vector<std::string> CallsOf(const std::string& prefix) const;

  // A function exported by a loaded test module (the same handle the launcher holds).
  void* ModuleSymbol(const std::string& file, const char* name) const;
  int32_t PluginCallParam(const std::string& file, int32_t kind, int32_t value) const;
  int32_t PluginCallStr(const std::string& file, int32_t kind, const std::string& text) const;

  std::string ErrorLogText() const { return ReadFile(dir_ / "Error.log"); }
  std::vector<std::string> ErrorLogLines() const;

  TempDir tmp_;
  std::filesystem::path dir_;
  std::unique_ptr<ScopedLauncherDir> launcherDir_;
  std::vector<std::pair<qv::BoxKind, std::string>> boxes_;
  std::function<void()> onBox_;
  std::unique_ptr<qv::TfrmLaunch> launch_;
  std::unique_ptr<qv::TfrmConnecting> connecting_;
  std::unique_ptr<qv::TfrmReceiveMsg> notice_;
};

// Whether every character of text has a real glyph in the fonts Qt picks for
// it (glyph 0 is the "missing" box).
bool RendersWithoutBoxes(const QString& text, const QFont& font);

// The CP932 bytes of a UTF-8 literal.
inline std::string J(std::string_view utf8) { return Sjis(utf8); }

}  // namespace qvtest
