#include "TestSupport.h"

#include "platform/Cp932.h"
#include "platform/Paths.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <pty.h>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qvtest {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/qvtest-XXXXXX";
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  if (std::getenv("QV_KEEP_TEMP")) return;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

ScopedLauncherDir::ScopedLauncherDir(const std::filesystem::path& dir) : dir_(dir) {
  std::filesystem::create_directories(dir);
  qv::SetProgramPathForTesting(dir / "Quorvel");
}

ScopedLauncherDir::~ScopedLauncherDir() { qv::SetProgramPathForTesting({}); }

std::filesystem::path AppDir() {
  const char* d = std::getenv("QV_APP_DIR");
  return d ? std::filesystem::path(d) : std::filesystem::path();
}

std::filesystem::path ArtifactPath(std::string_view name) {
  const char* d = std::getenv("QV_ARTIFACT_DIR");
  std::filesystem::path dir = d ? d : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(dir);
  return dir / std::string(name);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

ScopedFileSizeLimit::ScopedFileSizeLimit(unsigned long long bytes) {
  oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  old_ = limit.rlim_cur;
  limit.rlim_cur = bytes;
  if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) Fail("the file size limit could not be set");
}

ScopedFileSizeLimit::~ScopedFileSizeLimit() {
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = old_;
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, oldHandler_);
}

KilledChild ForkAndKill(const std::function<void(int fd)>& body, std::chrono::microseconds after,
                        bool afterFirstLine) {
  KilledChild result;
  int pipefd[2];
  if (::pipe(pipefd) != 0) {
    Fail("no pipe for the child");
    return result;
  }
  const pid_t child = ::fork();
  if (child < 0) {
    Fail("the child could not be started");
    return result;
  }
  if (child == 0) {
    ::close(pipefd[0]);
    body(pipefd[1]);
    ::_exit(0);
  }
  ::close(pipefd[1]);
  char buf[4096];
  while (afterFirstLine && result.output.find('\n') == std::string::npos) {
    const ssize_t n = ::read(pipefd[0], buf, sizeof buf);
    if (n <= 0) break;  // the child ended before it was ready
    result.output.append(buf, static_cast<size_t>(n));
  }
  std::this_thread::sleep_for(after);
  ::kill(child, SIGKILL);
  ::waitpid(child, &result.status, 0);
  result.killed = WIFSIGNALED(result.status) && WTERMSIG(result.status) == SIGKILL;
  for (ssize_t n; (n = ::read(pipefd[0], buf, sizeof buf)) > 0;) result.output.append(buf, static_cast<size_t>(n));
  ::close(pipefd[0]);
  return result;
}

namespace {
std::function<void(const std::string&)>& FailureHandler() {
  static std::function<void(const std::string&)> handler;
  return handler;
}
}  // namespace

void Fail(const std::string& what) {
  if (FailureHandler())
    FailureHandler()(what);
  else
    std::fprintf(stderr, "%s\n", what.c_str());
}

void SetFailureHandler(std::function<void(const std::string&)> handler) { FailureHandler() = std::move(handler); }

bool PtyPair::Open() {
  int s = -1;
  char name[128];
  if (::openpty(&master, &s, name, nullptr, nullptr) != 0) return false;
  ::close(s);  // the port opens the slave itself
  slave = name;
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  return true;
}

PtyPair::~PtyPair() {
  if (master >= 0) ::close(master);
}

void InitTestProcess() {
  // Where the build put things, unless the environment says otherwise.
  ::setenv("QV_APP_DIR", QV_BUILT_APP_DIR, 0);
  ::setenv("QV_ARTIFACT_DIR", QV_BUILT_ARTIFACT_DIR, 0);
  ::setenv("QV_BUILD_DIR", QV_BUILT_BUILD_DIR, 0);
  ::setenv("QV_SOURCE_DIR", QV_BUILT_SOURCE_DIR, 0);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static TempDir* home = new TempDir();  // lives for the whole process
  ::setenv("HOME", home->path().c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (home->path() / ".config").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", home->path().c_str(), 1);
  // No test looks at the machine's own USB serial adapters.
  ::setenv("QUORVEL_SERIAL_BY_ID", (home->path() / "serial-by-id").c_str(), 0);
}

}  // namespace qvtest
