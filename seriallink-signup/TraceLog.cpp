#include "TraceLog.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace kwxsignup {

CTraceLog::CTraceLog(std::filesystem::path folder, std::string name, uint32_t levelMask, uint32_t outputMask)
    : folder_(std::move(folder)), name_(std::move(name)), levelMask_(levelMask), outputMask_(outputMask) {}

std::filesystem::path CTraceLog::FileFor(const std::tm& day) const {
  char date[40];
  std::snprintf(date, sizeof date, "%04d%02d%02d", day.tm_year + 1900, day.tm_mon + 1, day.tm_mday);
  return folder_ / (date + name_);
}

void CTraceLog::Write(uint32_t level, const char* text) {
  if (!Passes(level)) return;
  char head[48];
  std::snprintf(head, sizeof head, "[pid:%08d][tid:%08d]", static_cast<int>(::getpid()), static_cast<int>(::gettid()));
  Append(head + std::string("[") + (text ? text : "") + "]");
}

void CTraceLog::Write(uint32_t level, int32_t index, const char* text) {
  if (!Passes(level)) return;
  char head[32];
  std::snprintf(head, sizeof head, "[Index:%08d]", static_cast<int>(index));
  Append(head + std::string("[") + (text ? text : "") + "]");
}

void CTraceLog::Write(uint32_t level, int32_t index, int32_t value) {
  if (!Passes(level)) return;
  char line[48];
  std::snprintf(line, sizeof line, "[Index:%08d][%d]", static_cast<int>(index), static_cast<int>(value));
  Append(line);
}

void CTraceLog::Append(const std::string& body) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm day{};
  localtime_r(&seconds, &day);
  char stamp[96];
  std::snprintf(stamp, sizeof stamp, "[%04d/%02d/%02d %02d:%02d:%02d.%03d]", day.tm_year + 1900, day.tm_mon + 1,
                day.tm_mday, day.tm_hour, day.tm_min, day.tm_sec, static_cast<int>(ms));
  std::lock_guard lock(mutex_);
  std::ofstream out(FileFor(day), std::ios::binary | std::ios::app);
  out << stamp << body << "\r\n";
}

}  // namespace kwxsignup
