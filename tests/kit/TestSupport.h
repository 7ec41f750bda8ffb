#pragma once
// Shared test helpers: temporary folders, a stand-in launcher folder, and the
// places where tests find the built app folder and leave pictures for review.
#include "platform/Cp932.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace qvtest {

// A fresh folder, removed again at the end (kept when QV_KEEP_TEMP is set).
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / std::string(name); }

 private:
  std::filesystem::path path_;
};

// Makes dir the launcher's folder for this process (the program is
// dir/Quorvel, its settings file dir/Quorvel.ini) until the object ends.
class ScopedLauncherDir {
 public:
  explicit ScopedLauncherDir(const std::filesystem::path& dir);
  ~ScopedLauncherDir();
  std::filesystem::path ini() const { return dir_ / "Quorvel.ini"; }

 private:
  std::filesystem::path dir_;
};

// The built app folder (build/app).
std::filesystem::path AppDir();
// Where tests save screenshots and other files for a reviewer.
std::filesystem::path ArtifactPath(std::string_view name);

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, std::string_view bytes);

// CP932 bytes of a UTF-8 literal, for readable tests.
using qv::Sjis;

// While it lives, no file of this process grows beyond bytes: writes past
// the limit fail (EFBIG) instead of raising SIGXFSZ. For making saves fail
// where file modes cannot (tests may run with rights that ignore them).
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(unsigned long long bytes);
  ~ScopedFileSizeLimit();
  ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
  ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

 private:
  unsigned long long old_ = 0;
  void (*oldHandler_)(int) = nullptr;
};

// Runs body in a child process, kills it with SIGKILL after the delay and
// collects what it wrote to the descriptor it was given (for stores that must
// survive a writer killed at any moment). killed is false when the child had
// ended by itself.
struct KilledChild {
  std::string output;
  bool killed = false;
  int status = 0;
};
// With afterFirstLine the delay counts from the child's first line of output
// (written once it has made ready), so that the kills land in its work.
KilledChild ForkAndKill(const std::function<void(int fd)>& body, std::chrono::microseconds after,
                        bool afterFirstLine = false);

// A pseudo-terminal pair: the test reads and writes the master side (non-
// blocking), a port opens the slave's device path. Closed at the end.
struct PtyPair {
  int master = -1;
  std::string slave;
  bool Open();
  ~PtyPair();
};

// Reports what went wrong in a helper of the kit: a test failure under
// GoogleTest (the test mains install that), else a line on stderr.
void Fail(const std::string& what);
void SetFailureHandler(std::function<void(const std::string&)> handler);

// Called by the test mains: HOME and XDG_CONFIG_HOME point into a temporary
// folder of the process, so no test touches the user's own settings;
// QV_APP_DIR, QV_ARTIFACT_DIR, QV_BUILD_DIR and QV_SOURCE_DIR name the build's
// folders, QT_QPA_PLATFORM is offscreen and QUORVEL_SERIAL_BY_ID an empty
// folder, unless already set.
void InitTestProcess();

}  // namespace qvtest
