#include "core/data/ErrorLog.h"

#include "core/data/HandsetExchange.h"
#include "core/data/MessageTable.h"
#include "platform/FileUtil.h"

#include <algorithm>
#include <cstdio>
#include <deque>

namespace qv {

std::string FormatErrorLogLine(const std::tm& t, std::string_view peerNumber, std::string_view text) {
  char stamp[80];
  std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                t.tm_hour, t.tm_min, t.tm_sec);
  std::string line = stamp;
  line += " : ";
  line += StripHashSuffix(peerNumber);
  line += " : ";
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
      continue;
    }
    line += text[i];
  }
  return line;
}

bool AppendErrorLog(const std::filesystem::path& path, std::string_view line, size_t maxLines) {
  std::string old;
  std::error_code ec;
  if (std::filesystem::exists(path, ec) && !ReadWholeFile(path, old)) return false;
  // The log is read as lines whatever their break, and written with CR LF.
  std::vector<std::string> old_lines = SplitTextLines(old);
  std::deque<std::string> lines(std::make_move_iterator(old_lines.begin()), std::make_move_iterator(old_lines.end()));
  lines.emplace_back(line);
  while (lines.size() > std::max<size_t>(maxLines, 1)) lines.pop_front();
  std::string text;
  for (const auto& l : lines) {
    text.append(l);
    text += "\r\n";
  }
  return WriteFileAtomically(path, text);
}

}  // namespace qv
