#pragma once
// The preview's MIDI file in the temporary folder: "PurletteCnv.mid", or
// "PurletteCnv<n>.mid" with n = 2, 3, ... for the first name that is free.
// The file is created at once, exclusively and readable by its owner only,
// and kept open, so nobody can put a link in its place before it is written;
// it is deleted when the object ends.
#include <filesystem>
#include <string_view>

namespace qv {

class PreviewTempFile {
 public:
  // Names tried before giving up (a folder full of leftovers, or one that
  // refuses new files, turns the preview off).
  static constexpr int kMaxNames = 1000;

  // An empty folder (no temporary folder known) makes no file.
  explicit PreviewTempFile(const std::filesystem::path& folder);
  ~PreviewTempFile();
  PreviewTempFile(const PreviewTempFile&) = delete;
  PreviewTempFile& operator=(const PreviewTempFile&) = delete;

  bool ok() const { return fd_ >= 0; }
  // Empty when no file could be created.
  const std::filesystem::path& path() const { return path_; }
  // Replaces the file's bytes through the open descriptor.
  bool Write(std::string_view bytes);

 private:
  int fd_ = -1;
  std::filesystem::path path_;
};

}  // namespace qv
