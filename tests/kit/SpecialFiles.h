#pragma once
// Names that are no regular file, for tests of what reads files whole: a
// device, a link to one, a FIFO nobody writes to, a socket and a folder.
// A reader that does not refuse them fails the test quickly: a device read
// without end runs out of memory at once, a FIFO's open is let go, and what
// still hangs ends the test binary with a message.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace qvtest {

// For its life the process may map only a little more memory than it has:
// a read of /dev/zero that never ends throws std::bad_alloc within moments
// instead of taking the machine's memory.
class MemoryCap {
 public:
  explicit MemoryCap(rlim_t extraBytes = rlim_t{512} << 20) {
    ::getrlimit(RLIMIT_AS, &old_);
    size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    rlimit limit = old_;
    const rlim_t cap = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + extraBytes;
    if (pages > 0 && (old_.rlim_max == RLIM_INFINITY || cap <= old_.rlim_max)) {
      limit.rlim_cur = cap;
      set_ = ::setrlimit(RLIMIT_AS, &limit) == 0;
    }
  }
  ~MemoryCap() {
    if (set_) ::setrlimit(RLIMIT_AS, &old_);
  }
  MemoryCap(const MemoryCap&) = delete;
  MemoryCap& operator=(const MemoryCap&) = delete;

 private:
  rlimit old_{};
  bool set_ = false;
};

// Ends the test binary with a message when it lives longer than a test of
// refusals could ever take: a reader that hangs fails, not the run's timeout.
class HangGuard {
 public:
  explicit HangGuard(std::string what, std::chrono::seconds limit = std::chrono::seconds(60))
      : what_(std::move(what)) {
    thread_ = std::thread([this, limit] {
      std::unique_lock lock(mutex_);
      if (!done_.wait_for(lock, limit, [this] { return ending_; })) {
        std::fprintf(stderr, "hangs: %s\n", what_.c_str());
        std::abort();
      }
    });
  }
  ~HangGuard() {
    {
      std::lock_guard lock(mutex_);
      ending_ = true;
    }
    done_.notify_all();
    thread_.join();
  }
  HangGuard(const HangGuard&) = delete;
  HangGuard& operator=(const HangGuard&) = delete;

 private:
  std::string what_;
  std::mutex mutex_;
  std::condition_variable done_;
  bool ending_ = false;
  std::thread thread_;
};

// A Unix socket in place of a file: it cannot be opened for reading.
inline std::filesystem::path MakeSocket(const std::filesystem::path& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ::close(fd);
  return path;
}

// A FIFO without a writer. A reader that opens it and waits for a writer is
// let go as soon as it waits (its open then returns and it reads nothing),
// so that a test of such a reader fails instead of hanging.
class LonelyFifo {
 public:
  explicit LonelyFifo(std::filesystem::path path) : path_(std::move(path)) {
    EXPECT_EQ(::mkfifo(path_.c_str(), 0600), 0) << path_;
    watch_ = std::thread([this] {
      std::unique_lock lock(mutex_);
      while (!stop_.wait_for(lock, std::chrono::milliseconds(10), [this] { return stopping_; })) {
        // Only succeeds while someone has it open for reading.
        const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
          letGo_ = true;
          ::close(fd);
        }
      }
    });
  }
  ~LonelyFifo() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    stop_.notify_all();
    watch_.join();
  }
  LonelyFifo(const LonelyFifo&) = delete;
  LonelyFifo& operator=(const LonelyFifo&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // Whether a reader waited on it and had to be let go.
  bool LetGo() const {
    std::lock_guard lock(mutex_);
    return letGo_;
  }

 private:
  std::filesystem::path path_;
  mutable std::mutex mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;
  bool letGo_ = false;
  std::thread watch_;
};

// One of each kind of name that is no regular file, made in dir with names
// that end in ext so that a file dialog's filter would offer them.
struct NotAFile {
  std::string what;
  std::filesystem::path path;
};
class NotFiles {
 public:
  NotFiles(const std::filesystem::path& dir, const std::string& ext)
      : guard_("reading names that are no file, in " + dir.string()), ext_(ext), fifo_(InNewFolder(dir, "fifo" + ext)) {
    const auto link = dir / ("song" + ext);
    std::filesystem::create_symlink("/dev/zero", link);
    std::filesystem::create_directory(dir / ("folder" + ext));
    list_ = {{"a device", "/dev/zero"},
             {"a link to a device", link},
             {"a FIFO without a writer", fifo_.path()},
             {"a socket", MakeSocket(dir / ("socket" + ext))},
             {"a folder", dir / ("folder" + ext)}};
  }
  const std::vector<NotAFile>& list() const { return list_; }
  // Those a file dialog can choose: it opens a folder instead, and adds its
  // extension to a name without one.
  std::vector<NotAFile> chosenInDialogs() const {
    std::vector<NotAFile> files;
    for (const NotAFile& f : list_)
      if (!std::filesystem::is_directory(f.path) && f.path.extension() == ext_) files.push_back(f);
    return files;
  }
  // Whether a reader waited on the FIFO (it then never got its refusal).
  bool FifoWaitedOn() const { return fifo_.LetGo(); }

 private:
  static std::filesystem::path InNewFolder(const std::filesystem::path& dir, const std::string& name) {
    std::filesystem::create_directories(dir);
    return dir / name;
  }

  HangGuard guard_;
  MemoryCap cap_;
  std::string ext_;
  LonelyFifo fifo_;
  std::vector<NotAFile> list_;
};

}  // namespace qvtest
