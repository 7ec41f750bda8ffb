#pragma once
// Where the running program lives, and how the program's names (CP932 text)
// become names on disk (UTF-8). Plug-ins and modules run inside the
// launcher's process, so they all see the launcher's folder through here.
#include <filesystem>
#include <functional>
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

// Names the program makes (settings, folder names, theme names) are CP932
// text with "\" or "/" between folders; on disk names are UTF-8 with "/".
// These are the one place where the two meet.
//
// A name that does not convert is never lost:
// - a stored name that is no valid CP932 is used as its own bytes;
// - a name on disk that has no exact CP932 form (it is no valid UTF-8, holds
//   a character that CP932 lacks, or one that would come back as another
//   character, such as U+301C or U+00A5, or a "\") is stored as the byte
//   0xFF, which no CP932 text holds, followed by the name's own bytes; such
//   a stored name runs to the next "/" and gives its bytes back unchanged.
// So NativePath(StoredPath(p)) == p for every path on disk; a stored name
// comes back from a listing as a name that finds the same file, though not
// always with the same bytes (CP932 has duplicate codes for some kanji).
std::string NativePath(std::string_view stored);
std::string StoredPath(std::string_view native);
// The same for one name, without separators.
std::string NativeName(std::string_view stored);
std::string StoredName(std::string_view native);
// Whether a stored name holds a name on disk that has no CP932 form; it is
// no text to show, NativeName is.
bool IsRawName(std::string_view stored);
// A path on disk as CP932 text for a message or caption: what StoredPath
// gives, except that a name with no CP932 form shows as much of it as CP932
// holds ("?" for the rest) instead of its raw bytes.
std::string ShownPath(const std::filesystem::path& native);
// A stored name (or relative stored path) in a folder of the file system.
std::filesystem::path PathIn(const std::filesystem::path& folder, std::string_view stored);
// A stored name made absolute against the program's folder.
std::filesystem::path FromProgramDir(std::string_view stored);

// The most bytes a name on disk may have.
inline constexpr size_t kMaxNameBytes = 255;
// Whether the stored name's name on disk fits.
bool NameFitsOnDisk(std::string_view stored);

// Earlier versions wrote the program's names as CP932 bytes. Renames each
// entry of the folder whose name is such a name (no valid UTF-8, but valid
// CP932) and that isOwn accepts (given the stored name) to its UTF-8 name,
// unless that name is taken. Anything else, a name that could be UTF-8
// among them, is never renamed. The number of entries renamed.
int RenameLegacyNames(const std::filesystem::path& folder, const std::function<bool(std::string_view)>& isOwn);
// The same for the last name of one path the program makes (a data folder, a
// file the settings name): its CP932 form is renamed to it when that is there
// and the path is not, and so first the folders on its way that are missing.
// True when its last name was renamed.
bool RenameLegacyName(const std::filesystem::path& path);

}  // namespace qv
