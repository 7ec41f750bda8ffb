#pragma once
// A launcher process started from a test's launcher folder, with the box-log
// module preloaded: every message box it opens is answered with its first
// button and written to a log, so that a test can see why it ended.
#include <filesystem>
#include <map>
#include <string>

namespace qvtest {

struct LauncherRun {
  bool ended = false;     // within the time given (else it was killed)
  bool normalExit = false;
  std::string boxes;      // the boxes' texts, one UTF-8 line each
};

// Runs program (the launcher copied into its folder) until it ends, at most
// ms; boxModule is the box-log module, env adds to the test's environment.
LauncherRun RunLauncher(const std::filesystem::path& program, const std::filesystem::path& boxModule,
                        const std::map<std::string, std::string>& env = {}, int ms = 30000);

}  // namespace qvtest
