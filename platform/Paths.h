#pragma once
// Where the running program lives. Plug-ins and modules run inside the
// launcher's process, so they all see the launcher's folder through here.
#include <filesystem>
#include <string>
#include <string_view>

namespace qv {

// Full path of the running program (/proc/self/exe), or the override below.
std::filesystem::path ProgramPath();
// The folder that holds the program, without a trailing separator.
std::filesystem::path ProgramDir();
// Tests stand in for the launcher: every lookup then answers with this path.
// An empty path restores the real one.
void SetProgramPathForTesting(const std::filesystem::path& path);

// Stored names use "\" as separator; on this system it is "/".
std::string NativePath(std::string_view stored);
// A stored name made absolute against the program's folder.
std::filesystem::path FromProgramDir(std::string_view stored);

}  // namespace qv
