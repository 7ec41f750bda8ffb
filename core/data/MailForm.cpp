#include "core/data/MailForm.h"

#include "core/data/TextFunctions.h"
#include "platform/Cp932.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <vector>

namespace qv {

bool IsBase64Part(std::string_view headers) {
  return UpperAscii(TrimText(GetHeaderValue(headers, "Content-Transfer-Encoding"))) == "BASE64";
}

namespace {

// The name without any folder part in front of it.
std::string_view BaseName(std::string_view name) {
  size_t start = 0;
  for (size_t i = 0; i < name.size(); i += cp932::CharLength(name, i))
    if (cp932::CharLength(name, i) == 1 && (name[i] == '\\' || name[i] == '/' || name[i] == ':')) start = i + 1;
  return name.substr(start);
}

std::string UpperExtension(std::string_view name) {
  size_t dot = std::string_view::npos;
  for (size_t i = 0; i < name.size(); i += cp932::CharLength(name, i))
    if (cp932::CharLength(name, i) == 1 && name[i] == '.') dot = i;
  return dot == std::string_view::npos ? std::string() : UpperAscii(name.substr(dot));
}

// A whole decimal integer; false for anything else. Values beyond int
// saturate, so that a huge count still reads as huge.
bool ParseInt(std::string_view text, int& value) {
  std::string t = TrimText(text);
  if (t.empty()) return false;
  long long v = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (end != t.data() + t.size()) return false;
  if (ec == std::errc::result_out_of_range) {
    value = t[0] == '-' ? INT_MIN : INT_MAX;
    return true;
  }
  if (ec != std::errc()) return false;
  value = static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
  return true;
}

// Seconds as a decimal ("1", "0.5", "-2"), to whole milliseconds, digit by
// digit so that no rounding creeps in. Text from a received mail may hold
// anything: what is not such a number counts as 0, and the value is kept
// within 0..INT_MAX before it is truncated to milliseconds.
int SecondsToMilliseconds(std::string_view text) {
  std::string t = TrimText(text);
  size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  long long ms = 0;
  size_t digits = 0;
  for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, ++digits)
    ms = std::min<long long>(ms * 10 + (t[i] - '0'), INT_MAX);
  ms = std::min<long long>(ms * 1000, INT_MAX);
  if (i < t.size() && t[i] == '.') {
    ++i;
    long long scale = 100;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, ++digits, scale /= 10) ms += (t[i] - '0') * scale;
  }
  if (digits == 0 || i != t.size() || negative) return 0;
  return static_cast<int>(std::min<long long>(ms, INT_MAX));
}

// Milliseconds as seconds in the shortest decimal: 500 is "0.5", 2000 "2".
std::string MillisecondsToSeconds(int ms) {
  std::string out = std::to_string(ms / 1000);
  int frac = ms % 1000;
  if (frac != 0) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", frac);
    std::string f(digits);
    while (f.back() == '0') f.pop_back();
    out += "." + f;
  }
  return out;
}

std::vector<std::string> SplitAt(std::string_view text, char delim) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i <= text.size();) {
    if (i == text.size() || (cp932::CharLength(text, i) == 1 && text[i] == delim)) {
      parts.emplace_back(text.substr(start, i - start));
      start = i + 1;
      ++i;
      continue;
    }
    i += cp932::CharLength(text, i);
  }
  return parts;
}

std::string WithoutBlanks(std::string_view s) {
  std::string out;
  for (char c : s)
    if (c != ' ' && c != '\t') out += c;
  return out;
}

// "(w,h)" of a pane entry; values out of 1..96 and 1..43 take the default.
void ReadPaneSize(const std::string& entry, TDXPane& pane) {
  pane.Width = 96;
  pane.Height = 43;
  size_t open = entry.find('(');
  size_t close = entry.find(')', open == std::string::npos ? 0 : open);
  if (open == std::string::npos) return;
  std::string inner = entry.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
  auto values = SplitAt(inner, ',');
  int w = 0, h = 0;
  if (!values.empty() && ParseInt(values[0], w) && w >= 1 && w <= 96) pane.Width = w;
  if (values.size() > 1 && ParseInt(values[1], h) && h >= 1 && h <= 43) pane.Height = h;
}

void ReadPageLayout(std::string_view cbmp, TDXPictureInfo& info) {
  auto entries = SplitAt(WithoutBlanks(UpperAscii(TrimText(cbmp))), ';');
  if (entries.empty() || entries[0] != "PAGE=6") return;
  info.HasPageLayout = true;
  size_t pane = 0;
  for (size_t e = 1; e < entries.size() && pane < info.Panes.size(); ++e) {
    const std::string& entry = entries[e];
    TDXPane p;
    if (entry.starts_with("PLAIN(")) {
      ReadPaneSize(entry, p);
      info.Panes[pane++] = p;
    } else if (entry.starts_with("SLIDE(")) {
      ReadPaneSize(entry, p);
      int left = static_cast<int>(info.Panes.size() - pane);
      int count = 1;
      if (!ParseInt(ValueAfterEquals(entry), count)) count = 1;
      count = std::clamp(count, 1, left);
      p.Kind = kPaneSlide;
      p.SlideCount = count;
      info.Panes[pane++] = p;
      TDXPane covered = p;
      covered.Kind = kPanePlain;
      covered.SlideCount = 1;
      for (int k = 1; k < count; ++k) info.Panes[pane++] = covered;
    } else {
      p = {kPaneVoid, 0, 0, 1};
      info.Panes[pane++] = p;
    }
  }
  for (; pane < info.Panes.size(); ++pane) info.Panes[pane] = {kPaneVoid, 0, 0, 1};
  bool allVoid = std::all_of(info.Panes.begin(), info.Panes.end(), [](const TDXPane& p) { return p.Kind == kPaneVoid; });
  if (allVoid) {
    info.HasPageLayout = false;
    info.Panes.fill(TDXPane{});
  }
}

void ReadAnimation(std::string_view line, TDXPictureInfo& info) {
  int page = 0;
  std::string wait, loop;
  for (const auto& item : SplitAt(line, ';')) {
    size_t eq = item.find('=');
    if (eq == std::string::npos) continue;
    std::string name = TrimText(std::string_view(item).substr(0, eq));
    std::string_view value = std::string_view(item).substr(eq + 1);
    if (SameTextNoCase(name, "Page")) {
      if (!ParseInt(value, page)) page = 0;
    } else if (SameTextNoCase(name, "Wait")) {
      wait = value;
    } else if (SameTextNoCase(name, "Loop")) {
      loop = value;
    }
  }
  if (page <= 0) return;
  info.IsAnimation = true;
  info.PageCount = std::min(page, 8);
  info.WaitTime = SecondsToMilliseconds(wait);
  if (info.WaitTime == 0) info.WaitTime = 500;
  info.LoopTime = SecondsToMilliseconds(loop);
  if (info.LoopTime == 0) info.LoopTime = info.WaitTime;
}

}  // namespace

int MediaFileKind(std::string_view name) {
  std::string ext = UpperExtension(BaseName(name));
  if (ext == ".BMP") return kMediaBitmap;
  if (ext == ".JPG" || ext == ".JPEG") return kMediaJpeg;
  if (ext == ".TXT") return kMediaText;
  if (ext == ".DXM") return kMediaRingtone;
  if (ext == ".FLM") return kMediaFlm;
  if (UpperAscii(BaseName(name)) == "MMCTRL.DAT") return kMediaMixCtrl;
  return kMediaOther;
}

bool IsUserCharacterName(std::string_view name) { return UpperAscii(name) == "OPTCHAR.DAT"; }

std::string RGBToHexRGB(TColor rgb) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X%02X%02X", GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
  return text;
}

TColor HexRGBToColor(std::string_view text, TColor def) {
  std::string t(text.substr(0, std::min<size_t>(text.size(), 6)));
  if (t.size() < 6) t.insert(0, 6 - t.size(), '0');
  unsigned value = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value, 16);
  if (ec != std::errc() || end != t.data() + t.size()) return def;
  return RGB(static_cast<int>(value >> 16), static_cast<int>(value >> 8), static_cast<int>(value));
}

std::string ValueAfterEquals(std::string_view line) {
  size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string() : std::string(line.substr(eq + 1));
}

TDXPictureInfo ParseDXHeaders(int width, int height, std::string_view headers) {
  TDXPictureInfo info;
  if (UpperAscii(TrimText(GetHeaderValue(headers, "X-KmailDX-Info"))) == "DIV6" && width == kDiv6Width &&
      height == kDiv6Height) {
    info.IsDiv6 = true;
    ReadPageLayout(GetHeaderValue(headers, "X-KmailDX-CBMP"), info);
    return info;
  }
  std::string animation = GetHeaderValue(headers, "X-KmailDX-Animation");
  if (!animation.empty()) ReadAnimation(animation, info);
  return info;
}

std::string BuildDXHeaders(const TDXPictureInfo& info) {
  std::vector<std::string> lines;
  if (info.IsDiv6) {
    lines.emplace_back("X-KmailDX-Info: DIV6");
    bool allVoid =
        std::all_of(info.Panes.begin(), info.Panes.end(), [](const TDXPane& p) { return p.Kind == kPaneVoid; });
    if (info.HasPageLayout && !allVoid) {
      std::string cbmp = "X-KmailDX-CBMP: PAGE=6";
      for (size_t i = 0; i < info.Panes.size(); ++i) {
        const TDXPane& p = info.Panes[i];
        std::string size = "(" + std::to_string(p.Width) + "," + std::to_string(p.Height) + ")";
        if (p.Kind == kPaneVoid) {
          cbmp += ";VOID";
        } else if (p.Kind == kPaneSlide && p.SlideCount > 1) {
          cbmp += ";SLIDE" + size + "=" + std::to_string(p.SlideCount);
          i += static_cast<size_t>(p.SlideCount - 1);
        } else {
          cbmp += ";PLAIN" + size;
        }
      }
      lines.push_back(std::move(cbmp));
    }
  }
  if (info.IsAnimation)
    lines.push_back("X-KmailDX-Animation: Page=" + std::to_string(info.PageCount) +
                    ";Wait=" + MillisecondsToSeconds(info.WaitTime) + ";Loop=" + MillisecondsToSeconds(info.LoopTime));
  std::string out;
  for (const auto& line : lines) {
    if (!out.empty()) out += "\r\n";
    out += line;
  }
  return out;
}

}  // namespace qv
