#include "plugins/mail/pickers/ImageViewPages.h"

#include "core/data/TextFunctions.h"
#include "core/data/MailAttachments.h"
#include "core/data/MailForm.h"
#include "plugins/mail/compose/MailPictures.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace qv {

namespace {

std::string PictureTag(const std::string& name) { return "<IMG=\"" + name + "\">"; }

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

std::string_view WithoutPlus(std::string_view s) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  return s;
}

// A decimal integer filling the whole field; out of range saturates.
std::optional<long long> WholeNumber(std::string_view field) {
  const std::string_view s = WithoutPlus(Trimmed(field));
  if (s.empty()) return std::nullopt;
  long long value = 0;
  const auto [end, err] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (end != s.data() + s.size()) return std::nullopt;
  if (err == std::errc::result_out_of_range)
    return s.front() == '-' ? std::numeric_limits<long long>::min() : std::numeric_limits<long long>::max();
  if (err != std::errc()) return std::nullopt;
  return value;
}

// Seconds as a decimal filling the whole field, in milliseconds truncated;
// kept within what a presentation can use before truncating, so that a
// huge or infinite time cannot overflow. Nothing when it is no number.
std::optional<int> Milliseconds(std::string_view field) {
  const std::string_view s = WithoutPlus(Trimmed(field));
  if (s.empty()) return std::nullopt;
  double seconds = 0;
  const auto [end, err] = std::from_chars(s.data(), s.data() + s.size(), seconds);
  if (end != s.data() + s.size()) return std::nullopt;
  if (err == std::errc::result_out_of_range)
    seconds = s.front() == '-' ? -HUGE_VAL : HUGE_VAL;
  else if (err != std::errc())
    return std::nullopt;
  if (std::isnan(seconds)) return std::nullopt;
  // Below 0 any time is refused alike; a million seconds outlasts any mail.
  seconds = std::clamp(seconds, -1.0, 1.0e6);
  return static_cast<int>(std::trunc(seconds * 1000.0));
}

bool IsPicture(const AttachmentList& list, int index) {
  return index >= 0 && static_cast<size_t>(index) < list.Count() &&
         MediaFileKind(list[static_cast<size_t>(index)].name) == kMediaBitmap;
}

void BuildPicturePages(const AttachmentList& list, int index, bool pickMode, ViewerPictureCache& cache,
                       ViewerPages& out) {
  const MailAttachment& item = list[static_cast<size_t>(index)];
  const QImage& bitmap = cache.Get(list, item.name).bitmap;
  const TDXPictureInfo info = ParseDXHeaders(bitmap.width(), bitmap.height(), item.headers);
  if (info.IsDiv6) {
    out.content = ViewerContent::Div6;
    for (int pane = 0; pane < 6; ++pane) {
      const TDXPane& p = info.Panes[static_cast<size_t>(pane)];
      if (p.Kind == kPaneVoid) continue;
      out.pages.push_back("<IMG=\"" + item.name + "\";" + std::to_string(pane + 1) + ">");
      // Outside pick mode a slide is one page: the panes it covers go.
      if (!pickMode && p.Kind == kPaneSlide) pane += std::max(0, p.SlideCount - 1);
    }
    return;
  }
  if (info.IsAnimation) {
    out.content = ViewerContent::Animation;
    for (int k = 0; k < info.PageCount; ++k)
      if (IsPicture(list, index + k)) out.pages.push_back(PictureTag(list[static_cast<size_t>(index + k)].name));
    if (out.pages.size() > 1) {
      out.times.assign(out.pages.size() - 1, info.WaitTime);
      out.times.push_back(info.LoopTime);
    }
    return;
  }
  out.content = ViewerContent::Picture;
  out.pages.push_back(PictureTag(item.name));
}

}  // namespace

const ViewerPictureCache::Source& ViewerPictureCache::GetSource(const AttachmentList& list, const std::string& name) {
  auto it = pictures_.find(name);
  if (it != pictures_.end()) return it->second.source;
  Entry entry;
  if (const int index = list.Find(name); index >= 0) {
    const MailAttachment& item = list[static_cast<size_t>(index)];
    entry.source.picture = AttachmentPicture(item.name, item.bytes);
    if (!entry.source.picture.IsNull()) entry.source.headers = item.headers;
  }
  return pictures_.emplace(name, std::move(entry)).first->second.source;
}

const ViewerPictureCache::Picture& ViewerPictureCache::Get(const AttachmentList& list, const std::string& name) {
  GetSource(list, name);
  Entry& entry = pictures_.find(name)->second;
  if (!entry.whole) {
    Picture picture;
    if (!entry.source.picture.IsNull()) {
      picture.bitmap = entry.source.picture.Full();
      // Data that fails past a readable header.
      if (picture.bitmap.isNull()) DrawBrokenImage(picture.bitmap);
      picture.headers = entry.source.headers;
    }
    entry.whole = std::move(picture);
  }
  return *entry.whole;
}

std::vector<ViewerMixLine> ParseViewerMediaMix(std::string_view control) {
  std::vector<ViewerMixLine> lines;
  const std::vector<std::string_view> raw = SplitLines(control);
  std::optional<long long> image;
  std::string text;
  int previous = 0;
  for (size_t n = 1; n < raw.size(); ++n) {
    const std::string_view line = Trimmed(raw[n]);
    if (line.empty() || line.front() == ';') continue;
    const size_t first = FindDelim(line, ",");
    const size_t second = first == std::string_view::npos ? first : FindDelim(line, ",", first + 1);
    const std::optional<int> time = Milliseconds(line.substr(0, first));
    if (!time) continue;
    if (*time <= previous && !(lines.empty() && *time == 0)) continue;
    if (first != std::string_view::npos) {
      const size_t length = second == std::string_view::npos ? std::string_view::npos : second - first - 1;
      if (auto number = WholeNumber(line.substr(first + 1, length))) image = number;
    }
    if (second != std::string_view::npos && second + 1 < line.size()) text = std::string(line.substr(second + 1));
    lines.push_back({*time, image, text});
    previous = *time;
  }
  return lines;
}

int MixImageIndex(int control, long long image, int count) {
  // Pictures stand after the control; 0 and below name none.
  if (image <= 0 || control < 0 || control >= count) return -1;
  if (image >= static_cast<long long>(count) - control) return -1;
  return control + static_cast<int>(image);
}

ViewerPages BuildViewerPages(const AttachmentList& list, int index, bool pickMode, ViewerPictureCache& cache) {
  ViewerPages out;
  if (index < 0 || static_cast<size_t>(index) >= list.Count()) return out;
  const MailAttachment& item = list[static_cast<size_t>(index)];
  switch (MediaFileKind(item.name)) {
    case kMediaBitmap: BuildPicturePages(list, index, pickMode, cache, out); break;
    case kMediaJpeg:
    case kMediaFlm:
      out.content = ViewerContent::Picture;
      out.pages.push_back(PictureTag(item.name));
      break;
    case kMediaMixCtrl: {
      out.content = ViewerContent::MediaMix;
      const int count = static_cast<int>(list.Count());
      for (const ViewerMixLine& line : ParseViewerMediaMix(item.bytes)) {
        const int picture = line.image ? MixImageIndex(index, *line.image, count) : -1;
        std::string page;
        if (IsPicture(list, picture)) {
          const std::string& name = list[static_cast<size_t>(picture)].name;
          cache.Get(list, name);
          page = PictureTag(name);
        }
        out.pages.push_back(page + "\r\n" + line.text);
        out.times.push_back(line.time);
      }
      break;
    }
    default: break;
  }
  return out;
}

int PageNumberOfMarkup(std::string_view page) {
  const size_t tag = page.find("<IMG=");
  if (tag == std::string_view::npos) return 0;
  size_t pos = tag + 5;
  // A quoted name may hold ";" or ">" of its own.
  if (pos < page.size() && page[pos] == '"') {
    pos = page.find('"', pos + 1);
    if (pos == std::string_view::npos) return 0;
  }
  const size_t end = page.find('>', pos);
  const size_t semi = page.find(';', pos);
  if (semi == std::string_view::npos || (end != std::string_view::npos && semi > end)) return 0;
  const std::optional<long long> n = WholeNumber(page.substr(semi + 1, end == std::string_view::npos ? end : end - semi - 1));
  if (!n || *n < 1) return 0;
  return static_cast<int>(std::min<long long>(*n - 1, std::numeric_limits<int>::max()));
}

MixTick MediaMixTick(const std::vector<int>& times, int current, int64_t previous, int64_t elapsed) {
  MixTick tick;
  if (times.empty()) {
    tick.stop = true;
    return tick;
  }
  if (elapsed / 500 != previous / 500) {
    for (size_t i = static_cast<size_t>(std::max(current + 1, 0)); i < times.size(); ++i) {
      if (times[i] > previous && times[i] <= elapsed) {
        tick.show = static_cast<int>(i);
        break;
      }
    }
  }
  tick.stop = times.back() < elapsed;
  return tick;
}

QSize ZoomedSize(QSize picture, ViewerZoom zoom, QSize editor) {
  const int w = std::max(0, picture.width()), h = std::max(0, picture.height());
  switch (zoom) {
    case ViewerZoom::Normal: return QSize(w, h);
    case ViewerZoom::Quarter: return QSize(w / 2, h / 2);
    case ViewerZoom::Fit: {
      if (w == 0 || h == 0 || editor.width() <= 0 || editor.height() <= 0) return QSize(0, 0);
      const double scale = std::min(double(editor.width()) / w, double(editor.height()) / h);
      return QSize(static_cast<int>(w * scale), static_cast<int>(h * scale));
    }
  }
  return QSize(w, h);
}

}  // namespace qv
