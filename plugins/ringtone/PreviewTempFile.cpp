#include "plugins/ringtone/PreviewTempFile.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace qv {

PreviewTempFile::PreviewTempFile(const std::filesystem::path& folder) {
  if (folder.empty()) return;
  for (int n = 1; n <= kMaxNames; ++n) {
    const std::string name = n == 1 ? "PurletteCnv.mid" : "PurletteCnv" + std::to_string(n) + ".mid";
    const std::filesystem::path candidate = folder / name;
    // O_EXCL also refuses a symbolic link planted at the name.
    const int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      fd_ = fd;
      path_ = candidate;
      return;
    }
    if (errno != EEXIST) return;  // the folder takes no file at all
  }
}

PreviewTempFile::~PreviewTempFile() {
  if (fd_ < 0) return;
  ::close(fd_);
  ::unlink(path_.c_str());
}

bool PreviewTempFile::Write(std::string_view bytes) {
  if (fd_ < 0 || ::ftruncate(fd_, 0) != 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace qv
