#include "InfoMode.h"

#include <cstdio>
#include <cstdlib>

namespace handsetsim {
namespace {
// The number at text[at...] and the position after it, or -1.
long NumberAt(const std::string& text, size_t& at) {
  const size_t start = at;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
  return at > start ? std::strtol(text.substr(start, at - start).c_str(), nullptr, 10) : -1;
}

bool Ends(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The records of a category: a frame line in wire form (three digits a byte)
// ends one when its flag byte, the ninth, marks the record's last line; any
// other entry is a record of its own.
size_t RecordCount(const std::vector<std::string>& entries) {
  constexpr size_t kFlagAt = 8 * 3;
  size_t count = 0;
  for (const auto& e : entries) {
    size_t at = kFlagAt;
    const long flag = e.size() >= kFlagAt + 3 ? NumberAt(e.substr(0, kFlagAt + 3), at) : -1;
    if (flag < 0 || at != kFlagAt + 3 || (flag & 2)) ++count;
  }
  return count;
}
}  // namespace

void InfoMode::Begin() {
  entered_.clear();
  readCategory_ = readIndex_ = 0;
  reads_ = 0;
}

std::string InfoMode::Answer(const std::string& line) {
  const std::string status = "<0b>\r\n";
  if (line.size() < 3 || line.front() != '<' || line.back() != '>') return status;
  size_t at = 1;
  if (line == "<0H>") return "OK\r\n";
  const long first = NumberAt(line, at);
  if (first < 0 || at >= line.size()) return status;
  if (line[at] == 'F' && at + 2 == line.size()) {
    const int category = static_cast<int>(first);
    entered_.push_back(category);
    return state_.With([&](SimConfig& c, SimRecord&) {
      const auto told = c.infoCountText.find(category);
      const std::string count =
          told != c.infoCountText.end() ? told->second : std::to_string(RecordCount(c.info[category]));
      return "<F:" + std::to_string(category) + ":" + count + "/" + std::to_string(c.infoCapacity) + ">\r\n";
    });
  }
  if (line[at] != ':') return status;
  ++at;
  const long category = NumberAt(line, at);
  if (category < 0 || at >= line.size()) return status;
  const int cat = static_cast<int>(category);
  switch (first) {
    case 1: {  // write: ":DATAH>"
      if (line[at] != ':' || !Ends(line, "H>")) return status;
      const std::string data = line.substr(at + 1, line.size() - at - 3);
      return state_.With([&](SimConfig& c, SimRecord&) -> std::string {
        auto& records = c.info[cat];
        if (records.size() >= c.infoCapacity) return "ERROR\r\n";
        records.push_back(data);
        return "<1:" + std::to_string(cat) + ":" + std::to_string(records.size()) + ">\r\n";
      });
    }
    case 2: {  // read: "H>"
      if (line.substr(at) != "H>") return status;
      return state_.With([&](SimConfig& c, SimRecord&) -> std::string {
        while (readCategory_ < entered_.size()) {
          const auto& records = c.info[entered_[readCategory_]];
          if (readIndex_ < records.size()) {
            char index[8];
            std::snprintf(index, sizeof index, "%02d", reads_++ % 100);
            return "<1:" + std::string(index) + records[readIndex_++] + "h>\r\n";
          }
          ++readCategory_;
          readIndex_ = 0;
        }
        return "<3:" + std::to_string(cat) + "h>\r\n";
      });
    }
    case 3:  // delete: "H>"
      if (line.substr(at) != "H>") return status;
      return state_.With([&](SimConfig& c, SimRecord&) {
        c.info[cat].clear();
        return "<3:" + std::to_string(cat) + ":0>\r\n";
      });
    default: return status;
  }
}

}  // namespace handsetsim
