#include "platform/FileUtil.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

bool ReadWholeFile(const std::filesystem::path& path, std::string& text) {
  text.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  size_t capacity = (::fstat(fd, &st) == 0 && st.st_size > 0) ? static_cast<size_t>(st.st_size) : 0;
  text.resize(capacity + 1);  // one spare byte tells the end without another read
  size_t used = 0;
  bool ok = true;
  for (;;) {
    if (used == text.size()) text.resize(text.size() * 2 + 65536);
    ssize_t n = ::read(fd, text.data() + used, text.size() - used);
    if (n > 0) {
      used += static_cast<size_t>(n);
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      ok = false;
      break;
    }
  }
  text.resize(used);
  ::close(fd);
  if (!ok) text.clear();
  return ok;
}

MappedFile::MappedFile(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    ok_ = true;
    if (st.st_size > 0) {
      void* p = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
      if (p == MAP_FAILED) {
        ok_ = false;
      } else {
        data_ = p;
        size_ = static_cast<size_t>(st.st_size);
      }
    }
  }
  ::close(fd);
}

MappedFile::~MappedFile() {
  if (data_) ::munmap(data_, size_);
}

std::filesystem::path TemporarySibling(const std::filesystem::path& path) {
  static std::atomic<unsigned> counter{0};
  auto name = path.filename().string() + ".tmp" + std::to_string(::getpid()) + "-" +
              std::to_string(counter.fetch_add(1));
  return path.parent_path() / name;
}

bool IsReadOnlyFile(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0;
}

bool SyncDirectory(const std::filesystem::path& dir) {
  int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes, bool flushFolder) {
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
  if (flushFolder) SyncDirectory(dir);
  return true;
}

}  // namespace qv
