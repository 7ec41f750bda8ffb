#pragma once
// The app folder as the run command leaves it: the built program's modules,
// plug-ins and data files (the settings file copied, the rest linked),
// [Port] SerialPort at COM9, and the simulated handset there with the run
// command's mails at its centre, whose deletions outlast the handset. The
// launcher's three forms are made and shown as the program makes them, and
// ended as closing the launcher's window ends the program.
#include "MailFolders.h"
#include "Simulator.h"
#include "TestSupport.h"
#include "core/data/MailStore.h"
#include "core/ui/MessageBox.h"
#include "launcher/LauncherWindows.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace qvtest {

class AppFolderTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The simulated handset at COM9; config adds to the run command's centre.
  void StartHandset(handsetsim::SimConfig config = {});
  void StopHandset();
  handsetsim::Simulator& Handset() { return *sim_; }

  // Makes the launcher's forms and shows its window, as the program starts.
  void StartLauncher();
  // Closes the launcher's window, which asks the plug-ins and saves the
  // places, and frees the forms, as the program ends.
  void QuitLauncher();
  // Opens "メール" and returns its window.
  QWidget* OpenMailList();

  // The visible top-level window of that object name, or none.
  static QWidget* Shown(const char* objectName);
  // The live mails of a folder (CP932 name) of the app folder.
  std::vector<LiveMail> Mails(const std::string& folder) const;
  std::filesystem::path Registry() const;

  TempDir tmp_;
  std::filesystem::path dir_;
  std::filesystem::path purged_;
  std::unique_ptr<ScopedLauncherDir> launcherDir_;
  std::vector<std::pair<qv::BoxKind, std::string>> boxes_;
  std::unique_ptr<handsetsim::Simulator> sim_;
  std::unique_ptr<qv::TfrmLaunch> launch_;
  std::unique_ptr<qv::TfrmConnecting> connecting_;
  std::unique_ptr<qv::TfrmReceiveMsg> notice_;
};

}  // namespace qvtest
