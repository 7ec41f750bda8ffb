#pragma once
// Whole-file helpers shared by every store that must never leave a half-written file.
#include <filesystem>
#include <string>
#include <string_view>

namespace qv {

// Reads the whole file; false (and empty text) when it cannot be read.
bool ReadWholeFile(const std::filesystem::path& path, std::string& text);

// A file's bytes mapped read-only for the life of the object (empty when the
// file cannot be read or is empty).
class MappedFile {
 public:
  explicit MappedFile(const std::filesystem::path& path);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  bool ok() const { return ok_; }
  std::string_view bytes() const { return {static_cast<const char*>(data_), size_}; }

 private:
  void* data_ = nullptr;
  size_t size_ = 0;
  bool ok_ = false;
};

// Who may read a file the program creates: everyone (within the umask), or
// only the user (mail, the registry: mode 0600, their folders 0700).
enum class FileAccess { Shared, Private };

// Replaces the file with the bytes: writes a temporary file beside it, flushes
// it to disk, renames it over the old one and flushes the folder. The old file
// stays whole when anything fails. Creates the folder when missing.
// flushFolder false leaves the rename to the file system's next commit, for a
// caller that keeps itself consistent with either file and flushes the folder
// itself when it must. The temporary file is always a new one: a name someone
// else has taken (a file or a link planted there) is passed over.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes, bool flushFolder = true,
                         FileAccess access = FileAccess::Shared);

// Creates the folder and those above it that are missing; a private folder's
// new levels get mode 0700. True when the folder is there.
bool CreateFolders(const std::filesystem::path& dir, FileAccess access);

// A folder for this user's own passing files (locks, sockets):
// $XDG_RUNTIME_DIR, else "quorvel-<uid>" in the temporary folder, made mode
// 0700. Such a folder that is not a folder, not the user's own or open to
// others (another local user may have put it there first) is refused: the
// result is empty and why names it.
std::filesystem::path PrivateRuntimeFolder(std::string* why = nullptr);

// Flushes a folder's entries (after a rename or a create) to disk.
bool SyncDirectory(const std::filesystem::path& dir);

// A temporary name beside path, unique within the process and across processes.
std::filesystem::path TemporarySibling(const std::filesystem::path& path);

}  // namespace qv
