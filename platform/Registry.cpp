#include "platform/Registry.h"

#include <cstdlib>

namespace qv {

std::filesystem::path RegistryPath() {
  std::filesystem::path base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
    base = xdg;
  else if (const char* home = std::getenv("HOME"); home && *home)
    base = std::filesystem::path(home) / ".config";
  else
    base = "/tmp";
  return base / "Marlinex" / "Quorvel.reg";
}

IniFile Registry() { return IniFile(RegistryPath()); }

}  // namespace qv
