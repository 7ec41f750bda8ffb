#include "core/data/MessageTable.h"

#include "core/data/TextFunctions.h"
#include "platform/Cp932.h"
#include "platform/FileUtil.h"

#include <algorithm>

namespace qv {
std::vector<std::string> SplitTextLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.emplace_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

bool MessageTable::LoadFromFile(const std::filesystem::path& path) {
  Clear();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::string text;
  if (!ReadWholeFile(path, text)) return false;
  SetLines(SplitTextLines(text));
  for (const auto& [code, line] : index_) {
    const bool id = code.size() == 6 && std::string_view("IWDE").find(code[0]) != std::string_view::npos &&
                    std::all_of(code.begin() + 1, code.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (id) return true;
  }
  Clear();
  return false;
}

void MessageTable::SetLines(std::vector<std::string> lines) {
  lines_ = std::move(lines);
  index_.clear();
  for (size_t i = 0; i < lines_.size(); ++i) {
    size_t eq = lines_[i].find('=');
    if (eq == std::string::npos) continue;
    index_.try_emplace(UpperAscii(std::string_view(lines_[i]).substr(0, eq)), i);
  }
}

void MessageTable::Clear() {
  lines_.clear();
  index_.clear();
}

std::string MessageTable::Text(std::string_view code) const {
  auto it = index_.find(UpperAscii(code));
  if (it == index_.end()) return {};
  const std::string& line = lines_[it->second];
  return line.substr(line.find('=') + 1);
}

std::string FillInArguments(std::string_view text, const std::vector<std::string>& args) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9' &&
        static_cast<size_t>(text[i + 1] - '1') < args.size()) {
      out += args[static_cast<size_t>(text[i + 1] - '1')];
      i += 2;
      continue;
    }
    size_t len = cp932::CharLength(text, i);
    out.append(text.substr(i, len));
    i += len;
  }
  return out;
}

std::string ExpandLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    if (text.size() - i >= 4 && text[i] == '<' && (text[i + 1] == 'b' || text[i + 1] == 'B') &&
        (text[i + 2] == 'r' || text[i + 2] == 'R') && text[i + 3] == '>') {
      out += "\r\n";
      i += 4;
      continue;
    }
    // A double-byte character is copied whole, so its trail byte never starts a match.
    size_t len = cp932::CharLength(text, i);
    out.append(text.substr(i, len));
    i += len;
  }
  return out;
}

}  // namespace qv
