#pragma once
// CTraceLog: the module's trace of its steps. A line is written only when its
// level passes both level masks; the module's log has both masks 0, so it
// never writes (nor creates) a file.
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>

namespace kwxsignup {

class CTraceLog {
 public:
  enum Level : uint32_t { kInfo = 1, kStep = 2, kError = 4 };

  CTraceLog(std::filesystem::path folder, std::string name, uint32_t levelMask = 0, uint32_t outputMask = 0);

  bool Passes(uint32_t level) const { return (level & levelMask_) != 0 && (level & outputMask_) != 0; }
  // "[time][pid:%08d][tid:%08d][text]"
  void Write(uint32_t level, const char* text);
  // "[time][Index:%08d][text]"
  void Write(uint32_t level, int32_t index, const char* text);
  // "[time][Index:%08d][value]"
  void Write(uint32_t level, int32_t index, int32_t value);
  // The day's file: folder / (yyyymmdd + name).
  std::filesystem::path FileFor(const std::tm& day) const;

 private:
  void Append(const std::string& body);

  const std::filesystem::path folder_;
  const std::string name_;
  const uint32_t levelMask_;
  const uint32_t outputMask_;
  std::mutex mutex_;
};

}  // namespace kwxsignup
