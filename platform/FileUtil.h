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

// Replaces the file with the bytes: writes a temporary file beside it, flushes
// it to disk, renames it over the old one and flushes the folder. The old file
// stays whole when anything fails. Creates the folder when missing.
// flushFolder false leaves the rename to the file system's next commit, for a
// caller that keeps itself consistent with either file and flushes the folder
// itself when it must.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes, bool flushFolder = true);

// The file exists and may not be written: no write permission for anyone (as
// a read-only attribute, which holds even for the superuser) or none for us.
bool IsReadOnlyFile(const std::filesystem::path& path);

// Flushes a folder's entries (after a rename or a create) to disk.
bool SyncDirectory(const std::filesystem::path& dir);

// A temporary name beside path, unique within the process and across processes.
std::filesystem::path TemporarySibling(const std::filesystem::path& path);

}  // namespace qv
