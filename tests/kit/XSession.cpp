#include "XSession.h"

#include "TestSupport.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace qvtest {
namespace {

constexpr auto kStartTime = std::chrono::seconds(20);

// Runs the program with its output thrown away; it dies with the test process.
pid_t Spawn(const std::vector<std::string>& args, int keepFd = -1) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  const int null = ::open("/dev/null", O_RDWR);
  ::dup2(null, 0);
  ::dup2(null, 1);
  ::dup2(null, 2);
  for (int fd = 3; fd < 256; ++fd)
    if (fd != keepFd) ::close(fd);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execvp(argv[0], argv.data());
  ::_exit(127);
}

void End(pid_t& pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    if (::waitpid(pid, nullptr, WNOHANG) == pid) {
      pid = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  pid = -1;
}

bool Exited(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == pid; }

}  // namespace

bool XSession::ServerInstalled() {
  const char* path = std::getenv("PATH");
  std::string_view rest = path ? path : "";
  while (!rest.empty()) {
    const size_t colon = rest.find(':');
    const std::string dir(rest.substr(0, colon));
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    if (!dir.empty() && ::access((dir + "/Xvfb").c_str(), X_OK) == 0) return true;
  }
  return false;
}

XSession::~XSession() {
  End(manager_);
  End(server_);
}

bool XSession::Start(bool windowManager, std::string& why) {
  // The server writes the display number it took to the pipe.
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) {
    why = "no pipe";
    return false;
  }
  server_ = Spawn({"Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-screen", "0", "1280x800x24", "-nolisten", "tcp"},
                  pipeFds[1]);
  ::close(pipeFds[1]);
  std::string number;
  const auto end = std::chrono::steady_clock::now() + kStartTime;
  while (std::chrono::steady_clock::now() < end && (number.empty() || number.back() != '\n')) {
    pollfd p{pipeFds[0], POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    char c;
    if (::read(pipeFds[0], &c, 1) != 1) break;
    number += c;
  }
  ::close(pipeFds[0]);
  if (number.empty() || number.back() != '\n') {
    why = "Xvfb did not start (is the xvfb package installed?)";
    return false;
  }
  number.pop_back();
  display_ = ":" + number;
  ::setenv("DISPLAY", display_.c_str(), 1);
  if (!windowManager) return true;

  // openbox says it is up by running its start-up command.
  const std::filesystem::path ready =
      std::filesystem::path(std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "/tmp") /
      ("openbox-ready-" + number);
  std::filesystem::remove(ready);
  manager_ = Spawn({"openbox", "--sm-disable", "--startup", "touch " + ready.string()});
  while (std::chrono::steady_clock::now() < end && !std::filesystem::exists(ready)) {
    if (Exited(manager_)) {
      manager_ = -1;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!std::filesystem::exists(ready)) {
    why = "openbox did not start (is the openbox package installed?)";
    return false;
  }
  return true;
}

}  // namespace qvtest
