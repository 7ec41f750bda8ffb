#include "platform/FileUtil.h"

#include "platform/Paths.h"

#include <algorithm>
#include <atomic>
#include <random>
#include <cstdlib>
#include <cerrno>
#include <mutex>
#include <new>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

int OpenRegularFile(const std::filesystem::path& path) {
  struct stat st {};
  // What is plainly no file is never opened: opening a device may do things.
  if (::stat(path.c_str(), &st) != 0) return -1;
  if (!S_ISREG(st.st_mode)) {
    errno = EINVAL;
    return -1;
  }
  // The name may have changed since: non-blocking, so that a FIFO put there
  // cannot hold the open, and what was opened is looked at again.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

namespace {

bool ReadAll(int fd, std::string& text) {
  struct stat st {};
  size_t capacity = (::fstat(fd, &st) == 0 && st.st_size > 0) ? static_cast<size_t>(st.st_size) : 0;
  text.resize(capacity + 1);  // one spare byte tells the end without another read
  size_t used = 0;
  for (;;) {
    if (used == text.size()) text.resize(text.size() * 2 + 65536);
    ssize_t n = ::read(fd, text.data() + used, text.size() - used);
    if (n > 0) {
      used += static_cast<size_t>(n);
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      return false;
    }
  }
  text.resize(used);
  return true;
}

}  // namespace

bool ReadWholeFile(const std::filesystem::path& path, std::string& text) {
  text.clear();
  int fd = OpenRegularFile(path);
  if (fd < 0) return false;
  bool ok = false;
  try {
    ok = ReadAll(fd, text);
  } catch (const std::bad_alloc&) {
    ok = false;  // larger than memory: no file of ours
  }
  ::close(fd);
  if (!ok) std::string().swap(text);
  return ok;
}

MappedFile::MappedFile(const std::filesystem::path& path) {
  int fd = OpenRegularFile(path);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) == 0) {
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

namespace {

std::mutex g_watchMutex;
std::function<void(const FileStep&)> g_watcher;
std::atomic<bool> g_watching{false};

void Took(FileStep step) {
  if (!g_watching.load(std::memory_order_relaxed)) return;
  std::function<void(const FileStep&)> watcher;
  {
    std::lock_guard lock(g_watchMutex);
    watcher = g_watcher;
  }
  if (watcher) watcher(step);
}

bool WriteAllAt(int fd, const char* data, size_t size, uint64_t offset) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(offset + done));
    if (n > 0)
      done += static_cast<size_t>(n);
    else if (n < 0 && errno != EINTR)
      return false;
  }
  return true;
}

}  // namespace

void WatchFileSteps(std::function<void(const FileStep&)> watcher) {
  std::lock_guard lock(g_watchMutex);
  g_watching = static_cast<bool>(watcher);
  g_watcher = std::move(watcher);
}

bool WriteFileAt(int fd, std::string_view bytes, uint64_t offset, const std::filesystem::path& path) {
  if (!WriteAllAt(fd, bytes.data(), bytes.size(), offset)) return false;
  Took({FileStep::Write, path, {}, offset, bytes.size()});
  return true;
}

bool CopyFileRange(int from, int to, uint64_t start, uint64_t end, uint64_t at, const std::filesystem::path& toPath) {
  auto inOff = static_cast<off_t>(start);
  auto outOff = static_cast<off_t>(at);
  uint64_t left = end - start;
  while (left > 0) {
    ssize_t n = ::copy_file_range(from, &inOff, to, &outOff, left, 0);
    if (n > 0) {
      left -= static_cast<uint64_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) return false;  // the source ended early
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return false;
    // No kernel copy here: through a buffer.
    std::string buf(std::min<uint64_t>(left, 1 << 20), '\0');
    while (left > 0) {
      size_t want = static_cast<size_t>(std::min<uint64_t>(left, buf.size()));
      ssize_t r = ::pread(from, buf.data(), want, inOff);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
      if (!WriteAllAt(to, buf.data(), static_cast<size_t>(r), static_cast<uint64_t>(outOff))) return false;
      inOff += r;
      outOff += r;
      left -= static_cast<uint64_t>(r);
    }
  }
  Took({FileStep::Write, toPath, {}, at, end - start});
  return true;
}

bool FlushFile(int fd, const std::filesystem::path& path) {
  if (::fdatasync(fd) != 0) return false;
  Took({FileStep::Flush, path, {}, 0, 0});
  return true;
}

bool RenameFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return false;
  Took({FileStep::Rename, from, to, 0, 0});
  return true;
}

namespace {

// A tag of a whole name that a cut temporary name carries.
std::string NameTag(std::string_view name) {
  uint32_t h = 2166136261u;
  for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  static const char kHex[] = "0123456789abcdef";
  std::string tag = "~";
  for (int shift = 28; shift >= 0; shift -= 4) tag += kHex[(h >> shift) & 0xF];
  return tag;
}

// "<digits>-<digits>", what follows ".tmp".
bool IsTemporaryCount(std::string_view s) {
  const size_t dash = s.find('-');
  auto digits = [](std::string_view d) {
    return !d.empty() && std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  return dash != std::string_view::npos && digits(s.substr(0, dash)) && digits(s.substr(dash + 1));
}

}  // namespace

std::filesystem::path TemporarySibling(const std::filesystem::path& path) {
  // Starting anywhere, so that another user cannot plant the next names.
  static std::atomic<unsigned> counter{std::random_device{}()};
  const std::string name = path.filename().string();
  const std::string suffix = ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
  if (name.size() + suffix.size() <= kMaxNameBytes) return path.parent_path() / (name + suffix);
  // A name that fits, but not with the suffix: cut, never in the middle of a
  // UTF-8 character, so that the whole is as long as the name.
  const std::string tag = NameTag(name);
  size_t keep = name.size() > suffix.size() + tag.size() ? name.size() - suffix.size() - tag.size() : 0;
  while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
  return path.parent_path() / (name.substr(0, keep) + tag + suffix);
}

bool IsTemporarySiblingName(std::string_view entry, std::string_view name) {
  const size_t at = entry.rfind(".tmp");
  if (at == std::string_view::npos || !IsTemporaryCount(entry.substr(at + 4))) return false;
  const std::string_view head = entry.substr(0, at);
  if (head == name) return true;
  const std::string tag = NameTag(name);
  return head.ends_with(tag) && name.starts_with(head.substr(0, head.size() - tag.size()));
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
  if (ok) Took({FileStep::FlushFolder, dir, {}, 0, 0});
  return ok;
}

bool CreateFolders(const std::filesystem::path& dir, FileAccess access) {
  if (dir.empty()) return true;
  std::error_code ec;
  if (std::filesystem::is_directory(dir, ec)) return true;
  if (dir.has_parent_path() && dir.parent_path() != dir && !CreateFolders(dir.parent_path(), access)) return false;
  if (::mkdir(dir.c_str(), access == FileAccess::Private ? 0700 : 0777) == 0 || errno == EEXIST)
    return std::filesystem::is_directory(dir, ec);
  return false;
}

std::filesystem::path PrivateRuntimeFolder(std::string* why) {
  auto refuse = [why](const std::filesystem::path& dir, const char* reason) {
    if (why) *why = dir.string() + ": " + reason;
    return std::filesystem::path();
  };
  // Ours: a folder (never a link to one), owned by this user, closed to others.
  auto check = [&](const std::filesystem::path& dir, bool followLink) {
    struct stat st {};
    if ((followLink ? ::stat(dir.c_str(), &st) : ::lstat(dir.c_str(), &st)) != 0)
      return refuse(dir, "cannot be read");
    if (!S_ISDIR(st.st_mode)) return refuse(dir, "is not a folder");
    if (st.st_uid != ::geteuid()) return refuse(dir, "belongs to another user");
    if ((st.st_mode & 077) != 0) return refuse(dir, "is open to other users");
    return dir;
  };
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) return check(runtime, true);
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) base = "/tmp";
  const auto dir = base / ("quorvel-" + std::to_string(::geteuid()));
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return refuse(dir, "cannot be created");
  return check(dir, false);
}

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes, bool flushFolder,
                         FileAccess access) {
  if (path.empty() || !path.has_filename()) return false;
  auto dir = path.parent_path();
  CreateFolders(dir, access);
  const mode_t mode = access == FileAccess::Private ? 0600 : 0644;
  // A new file every time: O_EXCL never opens what is already there, and
  // O_NOFOLLOW never follows a link planted under the name.
  std::filesystem::path tmp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    tmp = TemporarySibling(path);
    fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = WriteFileAt(fd, bytes, 0, tmp) && FlushFile(fd, tmp);
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = RenameFile(tmp, path);
  if (!ok) {
    ::unlink(tmp.c_str());
    return false;
  }
  if (flushFolder) SyncDirectory(dir);
  return true;
}

}  // namespace qv
