#pragma once
// The decorated-mail editor's content as encoded parts, and the markup in
// which the rest of the system exchanges it. No widgets here: the control,
// its tests and its benchmark share these.
//
// A part is one editable unit held as text: its type digit, one hexadecimal
// attribute digit (bit 0 blink, bit 1 clickable), the colour as RRGGBB, then
// by type: nothing (line break), one byte (single-byte character), two bytes
// (double-byte character), or two hexadecimal length digits and that many
// bytes (pictogram name, user-character number, picture "file;page", kept tag
// body). Content is a plain concatenation of parts; text is CP932.
#include "platform/TColor.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::kmail {

enum TTagType : int {
  ttLineBreak = 0,
  ttSingleChar = 1,
  ttDoubleChar = 2,
  ttPictogram = 3,
  ttUserChar = 4,
  ttPicture = 5,
  ttKeptTag = 6,
};

inline constexpr int kAttrBlink = 1;
inline constexpr int kAttrClickable = 2;
// Type, attribute and colour.
inline constexpr size_t kPartHead = 8;
// The longest text two hexadecimal digits can count.
inline constexpr size_t kMaxPartText = 255;

// Reading a part that starts at s[pos]; s must hold a whole, valid part there.
inline int PartType(std::string_view s, size_t pos) { return s[pos] - '0'; }
int PartAttr(std::string_view s, size_t pos);
inline bool PartBlinks(std::string_view s, size_t pos) { return (PartAttr(s, pos) & kAttrBlink) != 0; }
inline bool PartClickable(std::string_view s, size_t pos) { return (PartAttr(s, pos) & kAttrClickable) != 0; }
TColor PartColor(std::string_view s, size_t pos);
size_t PartLength(std::string_view s, size_t pos);
// The character bytes (types 1, 2) or the text (types 3-6); empty for a line break.
std::string_view PartText(std::string_view s, size_t pos);
// A tab character part: never wraps, drawn as a filled cell.
bool IsTabPart(std::string_view s, size_t pos);

// Appends one part. Character parts take their type from the byte count.
// False, and nothing appended, for a text longer than two hex digits count.
bool AppendPart(std::string& out, int type, TColor color, bool blink, std::string_view text);
std::string MakePart(int type, TColor color, bool blink, std::string_view text);
void SetPartAttr(std::string& s, size_t pos, int attr);
void SetPartColor(std::string& s, size_t pos, TColor color);

// The number of parts in a run of whole parts.
size_t CountParts(std::string_view parts);

// The pictograph list: NAME=value lines, NAME the tag's name, value the
// handset's two-byte code. A line without "=" names nothing.
using PicTextList = std::vector<std::string>;
// The editor's own list: the built-in names, each with an empty value.
PicTextList BuiltInPicTextList();
// A line's name: the text before its "=", empty for a line without one.
std::string_view PicTextName(std::string_view line);
// The index of the line whose name is exactly name (letters and case), -1 for none.
int PictogramIndex(const PicTextList& list, std::string_view name);
// The handset code of a pictogram name for plain text: the first line whose
// name matches without regard to case, used only when it matches exactly.
std::string PictogramCode(const PicTextList& list, std::string_view name);

// A user character's number (0 when it is not a number).
int UserCharIndex(std::string_view text);

// The file name of a picture part's text "file;page": before the first ";",
// double quotes removed. The page: 1-6, anything else 1.
std::string PictureFileName(std::string_view text);
int PicturePage(std::string_view text);

// What reading markup needs from the control, and the body colours it sets.
struct MarkupContext {
  TColor fontColor = clBlack;  // text colour; the BODY tag sets it
  TColor color = clWhite;      // background; the BODY tag's BG sets it
  std::string bgImage;         // background picture file; the BODY tag's IMG sets it
  bool cmCut = false;
  bool deleteVoidTag = true;
  int userCharCount = -1;  // user-character images, -1 when there is no list
  // Whether a picture file has a bitmap with a width; none: never.
  std::function<bool(std::string_view fileName)> hasPicture;
  // The host may keep (del false) or drop an unknown tag.
  std::function<void(std::string_view body, bool& del)> unknownTag;
};

// Reads markup into parts, starting with colour c and blink b.
std::string ReadMarkup(std::string_view markup, TColor c, bool b, MarkupContext& ctx);
// Writes parts (from the start of the text on) as markup over the body colours.
std::string WriteMarkup(std::string_view parts, TColor fontColor, TColor color, std::string_view bgImage);

// Plain CP932 text to parts (CR a line break, LF nothing, $F0 codes the
// pictograms of the list, or dropped) and back (CR LF line ends, pictograms
// as their codes, other tags as nothing).
std::string PlainToParts(std::string_view text, TColor c, bool b, const PicTextList& picText);
std::string PartsToPlain(std::string_view parts, const PicTextList& picText);

// Black characters and line breaks only, none blinking.
bool PartsArePlain(std::string_view parts);

// Sets the clickable bit of every part of parts (one or more paragraphs)
// that belongs to a detected run, and clears it on all others.
void DetectLinks(std::string& parts, bool menuLines, bool clickLines);

// Foreign parts (the clipboard's private data): the longest run of whole,
// well-formed parts from the start.
std::string_view ValidPartsPrefix(std::string_view data);

}  // namespace qv::kmail
