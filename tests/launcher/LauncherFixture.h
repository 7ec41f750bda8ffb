#pragma once
// A temporary launcher folder with the test modules, a settings file and a
// message file, and the three program-wide forms created as the program does.
#include "TestSupport.h"
#include "controls/AnimationImage.h"
#include "controls/BRVPanelEX.h"
#include "controls/MultiButton.h"
#include "core/MessageBox.h"
#include "launcher/QvConnectFRM.h"
#include "launcher/QvLaunchFRM.h"
#include "launcher/QvReceiveMsgFRM.h"

#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qvtest {

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

// The CP932 bytes of a UTF-8 literal.
inline std::string J(std::string_view utf8) { return Sjis(utf8); }

}  // namespace qvtest
