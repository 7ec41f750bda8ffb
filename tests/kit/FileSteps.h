#pragma once
// The steps of the crash-safe writers (write, flush, rename, folder flush) as
// they are taken, recorded while a FileStepLog lives. A killed process cannot
// show a missing flush (the page cache outlives it); the order of the steps
// can.
#include "platform/FileUtil.h"

#include <filesystem>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

namespace qvtest {

class FileStepLog {
 public:
  // Names are shown relative to base.
  explicit FileStepLog(std::filesystem::path base) : base_(std::move(base)) {
    qv::WatchFileSteps([this](const qv::FileStep& step) {
      std::lock_guard lock(mutex_);
      steps_.push_back(step);
    });
  }
  ~FileStepLog() { qv::WatchFileSteps({}); }
  FileStepLog(const FileStepLog&) = delete;
  FileStepLog& operator=(const FileStepLog&) = delete;

  void Clear() {
    std::lock_guard lock(mutex_);
    steps_.clear();
  }

  // One line a step: "write NAME", "write NAME @OFFSET+SIZE" (with offsets),
  // "flush NAME", "rename FROM > TO", "flush folder NAME". A temporary file
  // beside a file F shows as "F~".
  std::vector<std::string> Lines(bool offsets = false) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const auto& s : steps_) {
      switch (s.kind) {
        case qv::FileStep::Write:
          out.push_back("write " + Name(s.path) +
                        (offsets ? " @" + std::to_string(s.offset) + "+" + std::to_string(s.size) : ""));
          break;
        case qv::FileStep::Flush:
          out.push_back("flush " + Name(s.path));
          break;
        case qv::FileStep::Rename:
          out.push_back("rename " + Name(s.path) + " > " + Name(s.to));
          break;
        case qv::FileStep::FlushFolder:
          out.push_back("flush folder " + Name(s.path));
          break;
      }
    }
    return out;
  }

  // The steps of replacing file by a temporary beside it, as every whole-file
  // writer does: its bytes written and flushed, renamed over the file, the
  // folder flushed.
  std::vector<std::string> Replaced(const std::filesystem::path& file, bool flushFolder = true) const {
    const std::string name = Name(file);
    std::vector<std::string> out = {"write " + name + "~", "flush " + name + "~", "rename " + name + "~ > " + name};
    if (flushFolder) out.push_back("flush folder " + Name(file.parent_path()));
    return out;
  }

 private:
  std::string Name(const std::filesystem::path& p) const {
    std::string name = p.lexically_relative(base_).generic_string();
    if (name.empty() || name.starts_with("..")) name = p.generic_string();
    static const std::regex temporary(R"(\.tmp[0-9]+-[0-9]+$)");
    return std::regex_replace(name, temporary, "~");
  }

  std::filesystem::path base_;
  mutable std::mutex mutex_;
  std::vector<qv::FileStep> steps_;
};

}  // namespace qvtest
