#include "platform/Registry.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <pwd.h>
#include <unistd.h>

namespace qv {

std::filesystem::path RegistryPath() {
  std::filesystem::path base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::filesystem::path(home) / ".config";
  } else if (const passwd* user = ::getpwuid(::geteuid()); user && user->pw_dir && *user->pw_dir) {
    base = std::filesystem::path(user->pw_dir) / ".config";
  } else {
    // No home at all: a folder of this user's own, never a shared one that
    // another user could have made first.
    std::string why;
    base = PrivateRuntimeFolder(&why);
    if (base.empty()) {
      static std::once_flag told;
      std::call_once(told, [&] {
        std::fprintf(stderr, "Quorvel: window places are not kept: no home folder, and %s\n", why.c_str());
      });
      return {};
    }
  }
  return base / "Marlinex" / "Quorvel.reg";
}

// The placements are the user's own: file 0600, folder 0700.
IniFile Registry() { return IniFile(RegistryPath(), FileAccess::Private); }

}  // namespace qv
