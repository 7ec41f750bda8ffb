#include "platform/FileUtil.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace qv {

bool ReadWholeFile(const std::filesystem::path& path, std::string& text) {
  text.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[65536];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      text.append(buf, static_cast<size_t>(n));
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      ok = false;
      break;
    }
  }
  ::close(fd);
  if (!ok) text.clear();
  return ok;
}

std::filesystem::path TemporarySibling(const std::filesystem::path& path) {
  static std::atomic<unsigned> counter{0};
  auto name = path.filename().string() + ".tmp" + std::to_string(::getpid()) + "-" +
              std::to_string(counter.fetch_add(1));
  return path.parent_path() / name;
}

bool SyncDirectory(const std::filesystem::path& dir) {
  int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
  std::error_code ec;
  auto dir = path.parent_path();
  if (!dir.empty()) std::filesystem::create_directories(dir, ec);
  auto tmp = TemporarySibling(path);
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = true;
  size_t done = 0;
  while (ok && done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0)
      done += static_cast<size_t>(n);
    else if (n < 0 && errno != EINTR)
      ok = false;
  }
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(tmp.c_str());
    return false;
  }
  SyncDirectory(dir);
  return true;
}

}  // namespace qv
