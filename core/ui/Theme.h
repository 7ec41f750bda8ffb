#pragma once
// Themes: the launcher's banner animation. A theme file (".qvt") is a
// named-record container holding "banner.idx" (one CSV row: editable flag,
// interval in seconds, balloon text, name) and "banner.bmp" (the frame strip
// as a bitmap file, frames 50 pixels high stacked from the top).
#include <QImage>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

class TAnimationImage;

namespace qv {

inline constexpr int kBannerFrameWidth = 120;
inline constexpr int kBannerFrameHeight = 50;
inline constexpr std::string_view kThemeExtension = ".qvt";
// The theme the program comes with, in the theme folder; not editable, so the
// theme list never deletes it.
inline constexpr std::string_view kDefaultThemeFile = "VeoQuorvel.qvt";
inline constexpr std::string_view kBannerIndexRecord = "banner.idx";
inline constexpr std::string_view kBannerBitmapRecord = "banner.bmp";

// One theme in memory. Texts are CP932; Interval is kept as stored.
struct TBannerData {
  std::string Name;
  std::string Interval;
  std::string Balloon;
  bool Editable = false;
  QImage Bitmap;  // the frame strip, RGB32 once loaded
};

// False when the file is missing, its container is damaged, or "banner.bmp"
// is missing or not a readable bitmap; theme is then left as it was. An
// empty name becomes the file's name without folder and extension.
bool LoadBannerIndex(const std::filesystem::path& fileName, TBannerData& theme);
// Writes the theme whole (the strip in 24 bits) or leaves the old file as it
// was; false on any failure.
bool SaveBannerIndex(const std::filesystem::path& fileName, const TBannerData& theme);

// The current theme ([Theme] File in the theme folder) into the animation;
// false, with the animation untouched, when it does not load.
bool LoadThemeAnimation(TAnimationImage& image);
// Shows a strip on the animation: one column, a row per 50 pixels, the
// interval's speed and the balloon text as its hint. Does not start it.
void ShowBannerStrip(TAnimationImage& image, const QImage& strip, std::string_view interval,
                     std::string_view balloon);
// Stops the animation and takes its picture and hint away.
void ClearBannerStrip(TAnimationImage& image);

// Milliseconds per frame for an interval text in seconds, read with "."
// whatever the locale: text that is not a number, NaN or a value of 0 or less
// gives 0.5 s; the result lies within 0 .. INT32_MAX (0, under a
// millisecond, makes the banner stand still).
int ThemeSpeed(std::string_view interval);

// A theme name's file name: the characters forbidden in file names made
// full-width, then ".qvt".
std::string ThemeFileName(std::string_view name);

// Adds the names (without folder) of the files that match mask (a folder and
// a pattern of "*" and "?", matched ignoring case, dot files included) and are
// not in list yet, in the order the file system gives them.
void ListFiles(std::string_view mask, std::vector<std::string>& list);

}  // namespace qv
