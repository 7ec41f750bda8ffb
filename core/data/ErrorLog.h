#pragma once
// The error log that the launcher and the sign-up terminal share: one line
// per entry, "yyyy/mm/dd hh:nn:ss : peer : text", keeping its last lines
// (100 unless the writer says otherwise).
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

namespace qv {

constexpr size_t kErrorLogLines = 100;

// One log line (without line break): the peer's number up to its first "##",
// and the text without its CR LF pairs.
std::string FormatErrorLogLine(const std::tm& localTime, std::string_view peerNumber, std::string_view text);

// Appends the line and drops lines from the top while more than maxLines
// remain (the new line always stays). The file is replaced atomically, so a
// crash never leaves a cut log.
bool AppendErrorLog(const std::filesystem::path& path, std::string_view line, size_t maxLines = kErrorLogLines);

}  // namespace qv
