#pragma once
// Files of this process may not grow past a size for the life of the object:
// a write beyond it fails (EFBIG) instead of raising SIGXFSZ.
#include <csignal>
#include <sys/resource.h>

namespace qvtest {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) : oldHandler_(std::signal(SIGXFSZ, SIG_IGN)) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    set_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  // Whether the limit holds.
  bool Set() const { return set_; }

 private:
  void (*oldHandler_)(int);
  rlimit old_{};
  bool set_ = false;
};

}  // namespace qvtest
