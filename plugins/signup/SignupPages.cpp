#include "plugins/signup/SignupPages.h"

#include "core/data/TextFunctions.h"
#include "platform/Cp932.h"

namespace qv::signup {
namespace {

constexpr std::string_view kMailer = "X-Mailer: Quorvel for Windows v1.0.1 (BRV)\r\n";
constexpr std::string_view kCrLf = "\r\n";
// "⇒" and the circled numbers ①-⑳ (87 40 - 87 53).
constexpr std::string_view kArrow = "\x81\xCB";
constexpr unsigned char kCircledLead = 0x87, kCircledFirst = 0x40, kCircledLast = 0x53;
// A tag body stops short of this many bytes.
constexpr size_t kTagLimit = 255;

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && SameTextNoCase(s.substr(0, prefix.size()), prefix);
}

// The name part of a NAME=value table line (the whole line without "=").
std::string_view TableName(std::string_view line) { return line.substr(0, line.find('=')); }

}  // namespace

const std::string_view kFirstMessage =
    "X-Mailer: Quorvel for Windows v1.0.1 (BRV)\r\n"
    "To: SIGNUP\r\n"
    "Subject: DATA\r\n"
    "Content-Type: Text/Plain\r\n"
    "\r\n"
    "ESC:NONE\r\n"
    "CHAR:X=99,Y=99\r\n"
    "GRAPH:X=999,Y=999\r\n"
    "COLOR:CF\r\n";

std::string RequestText(std::string_view addressee, const std::vector<std::string>& lines) {
  std::string body;
  for (const std::string& line : lines) {
    if (!line.empty() && line[0] == '.') body += '.';
    body += line;
    body += kCrLf;
  }
  if (body.size() >= 2) body.resize(body.size() - 2);
  std::string text(kMailer);
  text += "To: ";
  text += addressee;
  text += kCrLf;
  text += "Subject: DATA\r\nContent-Type: Text/Plain\r\n\r\n";
  if (!body.empty()) {
    text += body;
    text += kCrLf;
  }
  return text;
}

std::string CutToLimit(std::string_view text, size_t limit) {
  if (text.size() <= limit) return std::string(text);
  size_t end = 0;
  while (end < text.size()) {
    const size_t next = end + cp932::CharLength(text, end);
    if (next > limit) break;
    end = next;
  }
  return std::string(text.substr(0, end));
}

std::string CutRequest(std::string_view request) {
  if (request.size() <= kRequestLimit) return std::string(request);
  std::string cut = CutToLimit(request, kRequestLimit - 2);
  if (!cut.empty() && cut.back() == '\r') cut.pop_back();
  // A lone "." would end the body early: that line goes.
  const size_t lineStart = cut.rfind('\n') == std::string::npos ? 0 : cut.rfind('\n') + 1;
  if (cut.compare(lineStart, std::string::npos, ".") == 0) cut.resize(lineStart);
  if (cut.size() < 2 || cut.compare(cut.size() - 2, 2, kCrLf) != 0) cut += kCrLf;
  return cut;
}

bool CheckInput(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\r' || c == '\n' || (c >= 0x20 && c <= 0x7E)) {
      ++i;
      continue;
    }
    if (!cp932::IsLeadByte(c) || i + 1 >= text.size()) return false;
    const auto trail = static_cast<unsigned char>(text[i + 1]);
    if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return false;
    const unsigned code = (unsigned{c} << 8) | trail;
    if (code >= 0xF040 && code <= 0xF9FC) return false;
    i += 2;
  }
  return true;
}

bool ReadHeader(const std::vector<std::string>& lines, size_t& at, Header& header) {
  if (at >= lines.size()) return false;
  const std::string& line = lines[at];
  const size_t colon = FindDelim(line, ": ");
  if (colon == std::string::npos) return false;
  header.name = TrimText(std::string_view(line).substr(0, colon));
  std::string value = line.substr(colon + 2);
  size_t next = at + 1;
  for (; next < lines.size(); ++next) {
    const std::string& more = lines[next];
    if (more.empty() || (more[0] != ' ' && more[0] != '\t')) break;
    size_t start = 0;
    while (start < more.size() && (more[start] == ' ' || more[start] == '\t')) ++start;
    value += ' ';
    value.append(more, start);
  }
  value = TrimText(value);
  const size_t semicolon = FindDelim(value, ";");
  if (semicolon != std::string::npos) {
    header.params = TrimText(std::string_view(value).substr(semicolon + 1));
    header.value = TrimText(std::string_view(value).substr(0, semicolon));
  } else {
    header.params.clear();
    header.value = std::move(value);
  }
  at = next;
  return true;
}

std::string BoundaryOf(std::string_view params) {
  // Only the first parameter counts.
  params = params.substr(0, std::min(params.size(), FindDelim(params, ";")));
  if (!StartsWithNoCase(params, "BOUNDARY")) return {};
  const std::string rest = TrimText(params.substr(8));
  if (rest.empty() || rest[0] != '=') return {};
  std::string boundary = TrimText(std::string_view(rest).substr(1));
  if (!boundary.empty() && boundary.front() == '"') boundary.erase(0, 1);
  if (!boundary.empty() && boundary.back() == '"') boundary.pop_back();
  return boundary;
}

bool FindHeader(const std::vector<std::string>& lines, std::string_view name, int from, int to, std::string& value,
                std::string& params) {
  value.clear();
  params.clear();
  if (lines.empty()) return false;
  const size_t first = from < 0 ? 0 : static_cast<size_t>(from);
  const size_t last = (to < 0 || static_cast<size_t>(to) >= lines.size()) ? lines.size() - 1 : static_cast<size_t>(to);
  std::string boundary;
  bool inHeader = true;
  Header header;
  for (size_t at = 0; at <= last && at < lines.size();) {
    if (inHeader) {
      const size_t here = at;
      if (ReadHeader(lines, at, header)) {
        if (here >= first && SameTextNoCase(header.name, name)) {
          value = header.value;
          params = header.params;
          return true;
        }
        if (SameTextNoCase(header.name, "Content-Type") && SameTextNoCase(header.value, "MULTIPART/MIXED"))
          boundary = BoundaryOf(header.params);
        continue;
      }
      inHeader = false;
    } else if (!boundary.empty() && lines[at].size() >= boundary.size() + 2 && lines[at].compare(0, 2, "--") == 0 &&
               lines[at].compare(2, boundary.size(), boundary) == 0) {
      const std::string_view tail = std::string_view(lines[at]).substr(boundary.size() + 2);
      if (tail == "--") return false;
      if (tail.empty()) inHeader = true;
    }
    ++at;
  }
  return false;
}

InputMode ParsePage(std::vector<std::string>& lines, const std::vector<std::string>& picText) {
  enum class Kind { None, Plain, Decorated, Multipart };
  Kind kind = Kind::None;
  InputMode mode = InputMode::Unchanged;
  std::string boundary;
  bool inHeader = true;
  std::vector<std::string> shown, collected;
  auto emit = [&] {
    if (kind == Kind::Decorated && !collected.empty()) {
      std::string joined;
      for (const std::string& line : collected) {
        joined += line;
        joined += kCrLf;
      }
      const std::string expanded = ExpandTags(joined, picText);
      for (std::string_view line : SplitLines(expanded)) shown.emplace_back(line);
    } else {
      for (std::string& line : collected) shown.push_back(std::move(line));
    }
    collected.clear();
  };
  Header header;
  bool ended = false;
  for (size_t at = 0; at < lines.size() && !ended;) {
    if (inHeader) {
      if (ReadHeader(lines, at, header)) {
        if (SameTextNoCase(header.name, "Content-Type")) {
          if (SameTextNoCase(header.value, "TEXT/X-KMAILDX")) {
            kind = Kind::Decorated;
          } else if (SameTextNoCase(header.value, "TEXT/PLAIN")) {
            kind = Kind::Plain;
          } else if (SameTextNoCase(header.value, "MULTIPART/MIXED")) {
            kind = Kind::Multipart;
            boundary = BoundaryOf(header.params);
          } else {
            kind = boundary.empty() ? Kind::Plain : Kind::None;
          }
        } else if (SameTextNoCase(header.name, "X-KMAILDX-INPUT")) {
          if (SameTextNoCase(header.value, "ALPHA") || SameTextNoCase(header.value, "NUM"))
            mode = InputMode::Alphanumeric;
          else if (SameTextNoCase(header.value, "KANJI"))
            mode = InputMode::Kanji;
        }
        continue;
      }
      // The line that ends the header block is not shown.
      inHeader = false;
      ++at;
      continue;
    }
    std::string& line = lines[at++];
    if (!boundary.empty() && line.size() >= boundary.size() + 2 && line.compare(0, 2, "--") == 0 &&
        line.compare(2, boundary.size(), boundary) == 0) {
      const std::string_view tail = std::string_view(line).substr(boundary.size() + 2);
      if (tail.empty()) {
        emit();
        inHeader = true;
        continue;
      }
      if (tail == "--") {
        ended = true;
        continue;
      }
    }
    if (kind != Kind::Plain && kind != Kind::Decorated) continue;
    if (line.size() >= 2 && line[0] == '.' && line[1] == '.') line.erase(0, 1);
    collected.push_back(std::move(line));
  }
  emit();
  lines = std::move(shown);
  return mode;
}

std::string ExpandTags(std::string_view text, const std::vector<std::string>& picText) {
  std::string out;
  out.reserve(text.size());
  std::string tag;
  bool inTag = false, justOpened = false, skipLineBreak = false;
  for (size_t i = 0; i < text.size();) {
    // A double-byte character, or a CR with the character after it, is one.
    const size_t len = (text[i] == '\r' && i + 1 < text.size()) ? 2 : cp932::CharLength(text, i);
    const std::string_view ch = text.substr(i, len);
    i += len;
    const bool lineBreak = ch == kCrLf;
    if (skipLineBreak) {
      skipLineBreak = false;
      if (lineBreak) continue;
    }
    if (!inTag) {
      if (ch == "<") {
        inTag = justOpened = true;
        tag.clear();
      } else {
        out += ch;
      }
      continue;
    }
    if (justOpened) {
      justOpened = false;
      if (ch == "<") {
        out += '<';
        inTag = false;
        continue;
      }
    }
    if (lineBreak) continue;
    if (ch == ">") {
      inTag = false;
      if (!tag.empty() && tag[0] == '#') {
        const std::string_view name = std::string_view(tag).substr(1);
        for (const std::string& line : picText) {
          if (TableName(line) != name) continue;
          const size_t eq = line.find('=');
          if (eq != std::string::npos) out.append(line, eq + 1);
          break;
        }
      } else {
        // A tag alone on its line leaves no empty line behind.
        skipLineBreak = out.empty() || out.back() == '\n';
      }
      continue;
    }
    if (tag.size() + ch.size() >= kTagLimit) {
      // Too long for a tag: this character stays as text, the tag is dropped.
      out += ch;
      inTag = false;
      continue;
    }
    tag += ch;
  }
  return out;
}

std::string ParseChoice(std::string_view line) {
  if (line.size() >= 2 && static_cast<unsigned char>(line[0]) == kCircledLead) {
    const auto second = static_cast<unsigned char>(line[1]);
    if (second >= kCircledFirst && second <= kCircledLast) return std::to_string(second - kCircledFirst + 1);
  }
  const size_t arrow = FindDelim(line, kArrow);
  if (arrow == std::string_view::npos) return {};
  std::string number = TrimText(line.substr(0, arrow));
  // A whole number: digits only, short enough to be one.
  if (number.empty() || number.size() > 9) return {};
  for (char c : number)
    if (c < '0' || c > '9') return {};
  return number;
}

std::vector<std::string> PageLines(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::vector<std::string> lines;
  for (std::string_view line : SplitLines(text)) lines.emplace_back(line);
  return lines;
}

int PageHistory::Push(std::string text) {
  while (pages_.size() >= max_) pages_.erase(pages_.begin());
  pages_.push_back(Page{std::move(text), {}});
  return Newest();
}

}  // namespace qv::signup
