#include "plugins/mail/picedit/MediaMix.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "core/data/MailAttachments.h"
#include "core/data/TextFunctions.h"
#include "core/data/MailForm.h"
#include "platform/Text.h"

namespace qv {

namespace {

// A whole number with an optional sign; huge values saturate so that they
// still read as out of range.
std::optional<long long> ReadInteger(std::string_view text) {
  const std::string t = TrimText(text);
  if (t.empty()) return std::nullopt;
  const char* first = t.data();
  const char* last = t.data() + t.size();
  if (*first == '+') ++first;
  long long value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (end != last) return std::nullopt;
  if (error == std::errc::result_out_of_range) return *first == '-' ? -1 : kMediaMixSteps * 1000LL;
  if (error != std::errc()) return std::nullopt;
  return value;
}

// A decimal number with a "." whatever the locale, the whole text.
std::optional<double> ReadDecimal(std::string_view text) {
  const std::string t = TrimText(text);
  if (t.empty()) return std::nullopt;
  const char* first = t.data();
  const char* last = t.data() + t.size();
  if (*first == '+') ++first;
  double value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (end != last) return std::nullopt;
  // Beyond a double's range: no time at all.
  if (error == std::errc::result_out_of_range) return std::nan("");
  if (error != std::errc()) return std::nullopt;
  return value;
}

// The step of a time in seconds, trunc(2 x time); -1 for a time that is no
// step. Huge and non-finite times are kept off the conversion.
int TimeStep(double seconds) {
  if (!std::isfinite(seconds)) return -1;
  const double twice = std::clamp(2.0 * seconds, -2.0, double(kMediaMixSteps));
  const int step = int(std::trunc(twice));
  return step >= 0 && step < kMediaMixSteps ? step : -1;
}

void ReadHeader(std::string_view line, MediaMixScript& script) {
  std::string compact;
  for (char c : line)
    if (c != ' ') compact += c;
  std::string type;
  std::optional<std::string> image, sound;
  // One pass over the parts, however many a damaged line holds.
  for (size_t start = 0; start <= compact.size();) {
    size_t end = FindDelim(compact, ";", start);
    if (end == std::string::npos) end = compact.size();
    const std::string_view part = std::string_view(compact).substr(start, end - start);
    start = end + 1;
    const size_t eq = FindDelim(part, "=");
    if (eq == std::string::npos) continue;
    const std::string name = UpperAscii(part.substr(0, eq));
    const std::string value(part.substr(eq + 1));
    if (name == "TYPE")
      type = value;
    else if (name == "IMAGE")
      image = value;
    else if (name == "SOUND")
      sound = value;
  }
  script.promotion = UpperAscii(type) == "PROMOTION";
  const long long count = image ? ReadInteger(*image).value_or(0) : 0;
  // A count below 0 would later stand for a list position.
  script.imageCount = int(std::clamp(count, 0LL, (long long)kMediaMixMaxPicture));
  script.sound = !sound || *sound != "0";
}

}  // namespace

std::string MediaMixTimeText(int step) {
  step = std::clamp(step, 0, kMediaMixSteps - 1);
  char text[16];
  std::snprintf(text, sizeof text, "%03d.%d", step / 2, (step % 2) * 5);
  return text;
}

std::string MediaMixEventText(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    // CR and LF are never the second byte of a CP932 character.
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    line += text[i] == '\r' || text[i] == '\n' ? ' ' : text[i];
  }
  return line;
}

int MediaMixControlPosition(const AttachmentList& attachments) {
  for (size_t i = 0; i < attachments.Count(); ++i)
    if (MediaFileKind(attachments[i].name) == kMediaBitmap) return int(i);
  return int(attachments.Count());
}

MediaMixScript ParseMediaMixText(std::string_view text) {
  MediaMixScript script;
  const std::vector<std::string_view> lines = SplitLines(text);
  if (lines.empty()) {
    ReadHeader({}, script);
    return script;
  }
  ReadHeader(lines[0], script);
  std::vector<bool> taken(kMediaMixSteps, false);
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string_view line = TrimLeft(lines[i]);
    if (line.empty() || line[0] == ';') continue;
    const size_t comma1 = FindDelim(line, ",");
    const std::optional<double> seconds = ReadDecimal(line.substr(0, comma1));
    if (!seconds) continue;
    const int step = TimeStep(*seconds);
    if (step < 0 || taken[size_t(step)]) continue;
    std::string_view rest = comma1 == std::string_view::npos ? std::string_view() : line.substr(comma1 + 1);
    const size_t comma2 = FindDelim(rest, ",");
    const long long picture = ReadInteger(rest.substr(0, comma2)).value_or(0);
    if (picture < 0 || picture > kMediaMixMaxPicture) continue;
    MediaMixEvent event;
    event.step = step;
    event.picture = int(picture);
    if (comma2 != std::string_view::npos) event.text = std::string(rest.substr(comma2 + 1));
    taken[size_t(step)] = true;
    script.events.push_back(std::move(event));
  }
  std::stable_sort(script.events.begin(), script.events.end(),
                   [](const MediaMixEvent& a, const MediaMixEvent& b) { return a.step < b.step; });
  return script;
}

std::string FormatMediaMixText(const MediaMixScript& script) {
  std::string out = script.promotion ? "Type=Promotion" : "Type=Karaoke";
  out += "; Image=" + std::to_string(std::clamp(script.imageCount, 0, kMediaMixMaxPicture));
  out += "; Sound=";
  out += script.sound ? "1" : "0";
  out += "\r\n";
  for (const MediaMixEvent& event : script.events) {
    out += MediaMixTimeText(event.step);
    out += ',';
    out += std::to_string(event.picture);
    out += ',';
    out += MediaMixEventText(event.text);
    out += "\r\n";
  }
  return out;
}

}  // namespace qv
