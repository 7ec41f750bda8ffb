#pragma once
// A temporary launcher folder with a theme folder, the theme list window
// made as the plug-in makes it, a user answering its modal windows, and the
// message boxes and the requests to the launcher written down.
#include "TestSupport.h"
#include "ThemeFiles.h"
#include "ThemeUser.h"
#include "core/ui/Theme.h"
#include "platform/Paths.h"

#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QDialog;

namespace qv {
class TfrmBanner;
class TfrmBannerEdit;
}  // namespace qv

namespace themetest {

using qvtest::Sjis;

class ThemeWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::filesystem::path ThemeDir() const { return dir_ / "Theme"; }
  // Where the theme file of a file name (CP932) is on disk.
  std::filesystem::path ThemePath(const std::string& file) const { return qv::PathIn(ThemeDir(), file); }
  void WriteTheme(const std::string& file, const qv::TBannerData& data);
  void WriteIni(const char* section, const std::string& key, const std::string& value);
  std::string ReadIni(const char* section, const char* key) const;

  // Creates the window and shows it.
  qv::TfrmBanner& Open();
  void Close();
  // Clicks the row as a user does, or presses a key on the list.
  void ClickRow(int row);
  void DoubleClickRow(int row);
  void PressKey(int key);
  // The rows' file names and names (CP932).
  std::vector<std::string> RowFiles() const;
  std::vector<std::string> RowNames() const;

  // The requests to the launcher, and the boxes the windows showed (UTF-8).
  static std::vector<std::pair<int32_t, int32_t>>& HostCalls();
  std::vector<std::string> TakeBoxes() { return std::exchange(boxes_, {}); }

  qvtest::TempDir tmp_;
  std::filesystem::path dir_;
  std::unique_ptr<qvtest::ScopedLauncherDir> launcherDir_;
  std::unique_ptr<qv::TfrmBanner> form_;
  std::unique_ptr<ModalUser> user_;
  std::vector<std::string> boxes_;
};

// A plain theme as the editor would write it.
inline qv::TBannerData Theme(std::string name, int frames, bool editable = true, std::string interval = "0.5",
                             std::string balloon = "") {
  return {std::move(name), std::move(interval), std::move(balloon), editable, Strip(frames)};
}

}  // namespace themetest
