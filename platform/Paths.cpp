#include "platform/Paths.h"

#include "platform/Cp932.h"

#include <mutex>
#include <unistd.h>

namespace qv {
namespace {
std::mutex g_mutex;
std::filesystem::path g_override;
}  // namespace

std::filesystem::path ProgramPath() {
  {
    std::lock_guard lock(g_mutex);
    if (!g_override.empty()) return g_override;
  }
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : p;
}

std::filesystem::path ProgramDir() { return ProgramPath().parent_path(); }

void SetProgramPathForTesting(const std::filesystem::path& path) {
  std::lock_guard lock(g_mutex);
  g_override = path;
}

std::string NativePath(std::string_view stored) {
  // Names are CP932: the trail byte of ソ or 表 is also 0x5C and must stay.
  std::string out(stored);
  for (size_t i = 0; i < out.size(); i += cp932::CharLength(out, i))
    if (out[i] == '\\') out[i] = '/';
  return out;
}

std::filesystem::path FromProgramDir(std::string_view stored) {
  std::filesystem::path p(NativePath(stored));
  if (p.is_absolute()) return p;
  return ProgramDir() / p;
}

}  // namespace qv
