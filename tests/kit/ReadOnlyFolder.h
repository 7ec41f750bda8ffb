#pragma once
// A folder made read-only for the life of the object, also for a test that
// runs as root: the owner's write permission goes, and so does the calling
// thread's power to override file permissions (restored at the end).
#include <filesystem>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace qvtest {

class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(std::filesystem::path folder) : folder_(std::move(folder)) {
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                              std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    if (::syscall(SYS_capget, &header_, saved_) == 0) {
      __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
      lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_FOWNER));
      lowered_ = ::syscall(SYS_capset, &header_, lowered) == 0;
    }
  }
  ~ReadOnlyFolder() {
    if (lowered_) ::syscall(SYS_capset, &header_, saved_);
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
  }
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

 private:
  std::filesystem::path folder_;
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
  bool lowered_ = false;
};

}  // namespace qvtest
