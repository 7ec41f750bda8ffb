#pragma once
// What the picture viewer shows of one attachment, without its window: the
// pages (one editor markup text each) of a six-page picture, an animation, a
// single picture or a media-mix presentation, their times, the decoded
// pictures by name, the presentation's playing steps and the zoomed sizes.
// Attachments come from received mail: every number in them is checked.
#include <QImage>
#include <QSize>

#include "core/ui/Pictures.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

class AttachmentList;

enum class ViewerContent { None, Div6, Animation, Picture, MediaMix };

struct ViewerPages {
  ViewerContent content = ViewerContent::None;
  std::vector<std::string> pages;
  std::vector<int> times;  // milliseconds, one per page when there are any
};

// Decoded pictures by attachment name, each decoded once. A JPEG is read
// from its header first and decoded at its own size only when it is shown
// at that size; other sizes are decoded at the scale they need.
class ViewerPictureCache {
 public:
  struct Picture {
    QImage bitmap;        // null for a name that is no picture attachment
    std::string headers;  // the attachment's picture-part header lines
  };
  struct Source {
    TScaledPicture picture;  // null for a name that is no picture attachment
    std::string headers;
  };
  // The picture at its own size.
  const Picture& Get(const AttachmentList& list, const std::string& name);
  // The picture as the attachment holds it, a JPEG not yet decoded.
  const Source& GetSource(const AttachmentList& list, const std::string& name);
  void Clear() { pictures_.clear(); }
  size_t Size() const { return pictures_.size(); }

 private:
  struct Entry {
    Source source;
    std::optional<Picture> whole;
  };
  std::map<std::string, Entry> pictures_;
};

// The pages of the attachment at index; pictures it needs are decoded into
// cache. Pick mode makes every pane of a six-page picture a page of its own.
ViewerPages BuildViewerPages(const AttachmentList& list, int index, bool pickMode, ViewerPictureCache& cache);

// One line of a media-mix control as the viewer takes it.
struct ViewerMixLine {
  int time = 0;                   // milliseconds
  std::optional<long long> image; // places after the control; none at first
  std::string text;
};
// The lines of a media-mix control, the type line skipped: times in
// milliseconds rising (a first line may stand at 0), lines without a
// numeric time left out; an image number that is not a number keeps the
// previous line's, an empty text the previous text.
std::vector<ViewerMixLine> ParseViewerMediaMix(std::string_view control);

// The attachment index an image number points at from the control at index
// control; -1 when it stands outside the list (any number, without overflow).
int MixImageIndex(int control, long long image, int count);

// The page number (0-based) of a six-page picture tag in page markup: the
// number after ";", minus 1; 0 when there is none or it is below 1.
int PageNumberOfMarkup(std::string_view page);

// What one tick of a playing presentation does, given the page shown and the
// milliseconds elapsed at the previous tick and now: the page to show (-1
// for none) and whether playing ends.
struct MixTick {
  int show = -1;
  bool stop = false;
};
MixTick MediaMixTick(const std::vector<int>& times, int current, int64_t previous, int64_t elapsed);

// How the viewer scales a picture: as decoded, both sides halved, or by the
// smaller of the editor's two ratios to the picture (sizes truncated).
enum class ViewerZoom { Normal, Quarter, Fit };
QSize ZoomedSize(QSize picture, ViewerZoom zoom, QSize editor);

}  // namespace qv
