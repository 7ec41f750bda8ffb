#pragma once
// Whole-file helpers shared by every store that must never leave a half-written file.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace qv {

// Opens a file for reading that someone else may have named (the user's
// choice, a setting): only a regular file, links followed. A device, FIFO,
// socket or folder is refused before a byte is read, and the open never
// waits (a FIFO without a writer): the check is made on what was opened, so
// a swap after a look at the name changes nothing. The descriptor, or -1
// with errno set (EINVAL for what is no regular file).
int OpenRegularFile(const std::filesystem::path& path);

// Reads the whole file; false (and empty text) when it cannot be read, is no
// regular file (as above) or does not fit in memory.
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

// The steps that a crash-safe write rests on: writing bytes, flushing a
// file's bytes to disk, renaming a file over another, flushing a folder's
// entries. Every writer that must never leave a half-written file takes its
// steps through the functions below, so that their order can be watched.
struct FileStep {
  enum Kind { Write, Flush, Rename, FlushFolder };
  Kind kind;
  std::filesystem::path path;  // the file or folder; the source of a rename
  std::filesystem::path to;    // the target of a rename
  uint64_t offset = 0;         // where a write starts
  uint64_t size = 0;           // how many bytes it writes
};
// Called with each step after it succeeded, on the thread that took it; an
// empty function stops the watching. For tests.
void WatchFileSteps(std::function<void(const FileStep&)> watcher);

// Writes all bytes at the offset.
bool WriteFileAt(int fd, std::string_view bytes, uint64_t offset, const std::filesystem::path& path);
// Copies [start, end) of one open file to position at of another.
bool CopyFileRange(int from, int to, uint64_t start, uint64_t end, uint64_t at, const std::filesystem::path& toPath);
// Flushes the file's bytes (and the size that reading them back needs) to disk.
bool FlushFile(int fd, const std::filesystem::path& path);
bool RenameFile(const std::filesystem::path& from, const std::filesystem::path& to);

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

// The file exists and may not be written: no write permission for anyone (as
// a read-only attribute, which holds even for the superuser) or none for us.
bool IsReadOnlyFile(const std::filesystem::path& path);

// Flushes a folder's entries (after a rename or a create) to disk.
bool SyncDirectory(const std::filesystem::path& dir);

// A temporary name beside path, unique within the process and across
// processes: the name with ".tmp<pid>-<n>" after it, or, where that would
// not fit in a name on disk, the name cut short with a tag of the whole name,
// never longer than the name itself.
std::filesystem::path TemporarySibling(const std::filesystem::path& path);
// Whether entry is a name that TemporarySibling gives for name.
bool IsTemporarySiblingName(std::string_view entry, std::string_view name);

}  // namespace qv
