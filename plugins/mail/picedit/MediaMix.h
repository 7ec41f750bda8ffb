#pragma once
// The media-mix control text ("mmctrl.dat"): a timed script that tells the
// handset which attached picture and which text line to show when, with the
// attached music playing or not. One header line, then one line per event
// in steps of half a second. Text is CP932, lines end in CR LF.
#include <string>
#include <string_view>
#include <vector>

namespace qv {

class AttachmentList;

// Half-second steps: "000.0" … "999.5".
inline constexpr int kMediaMixSteps = 2000;
// Pictures 1-99; 0 is none.
inline constexpr int kMediaMixMaxPicture = 99;
// Bytes of an event's text as the editor takes it.
inline constexpr int kMediaMixMaxText = 240;

struct MediaMixEvent {
  int step = 0;
  int picture = 0;
  std::string text;
  friend bool operator==(const MediaMixEvent&, const MediaMixEvent&) = default;
};

struct MediaMixScript {
  bool promotion = true;  // else a karaoke
  int imageCount = 0;
  bool sound = false;
  std::vector<MediaMixEvent> events;  // ascending steps, each step once
  friend bool operator==(const MediaMixScript&, const MediaMixScript&) = default;
};

// "012.0" for step 24.
std::string MediaMixTimeText(int step);

// An event's text as one line of the control: each line break (CR LF, CR
// or LF) a blank, so that no text splits its event's line.
std::string MediaMixEventText(std::string_view text);

// Where a new control goes among a mail's attachments: the viewer counts a
// picture number as the places after the control, so it stands just before
// the first picture (at the end when there is none) and picture n is the
// n-th picture attached.
int MediaMixControlPosition(const AttachmentList& attachments);

// Reads a control text leniently: blanks in the header line are ignored and
// its names may be in any case; an event is taken when its time falls on one
// of the 2000 steps, its picture is 0-99 and no earlier line had that time.
// Events come out sorted.
MediaMixScript ParseMediaMixText(std::string_view text);
// The header line and every event line, in the order given.
std::string FormatMediaMixText(const MediaMixScript& script);

}  // namespace qv
