#pragma once
// Pieces of the stored mail form that several mail windows share: the
// attachment kinds, the colour text of the markup and the picture-part header
// lines that tell the handset how to show a picture. Text is CP932.
#include "core/data/TextFunctions.h"
#include "platform/TColor.h"

#include <array>
#include <string>
#include <string_view>

namespace qv {

// The attachment kind of a file name.
enum MediaKind : int {
  kMediaBitmap = 0,   // .BMP
  kMediaJpeg = 1,     // .JPG, .JPEG
  kMediaText = 2,     // .TXT
  kMediaRingtone = 3, // .DXM
  kMediaMixCtrl = 4,  // MMCTRL.DAT
  kMediaFlm = 5,      // .FLM
  kMediaOther = 6,    // anything else, OPTCHAR.DAT included
};
int MediaFileKind(std::string_view name);
// The part's "Content-Transfer-Encoding" is "BASE64" in any letter case.
bool IsBase64Part(std::string_view headers);
// The user-character bitmap's name, compared upper-cased.
bool IsUserCharacterName(std::string_view name);

// Six upper-case hex digits RRGGBB of a colour value. A system colour has
// no RGB without the GUI's palette: windows resolve it first (ColorToHexRGB,
// core/ui/QtText.h); here only its low 24 bits count.
std::string RGBToHexRGB(TColor rgb);
// The first six characters, padded on the left with "0", read as RRGGBB; def
// when that is not hexadecimal.
TColor HexRGBToColor(std::string_view text, TColor def);
// The text after the first "=", empty when there is none.
std::string ValueAfterEquals(std::string_view line);

// How the handset shows a picture attachment, from its part header lines.
enum PaneKind : int { kPanePlain = 0, kPaneSlide = 1, kPaneVoid = 2 };
struct TDXPane {
  int Kind = kPanePlain;
  int Width = 96;
  int Height = 43;
  int SlideCount = 1;
  friend bool operator==(const TDXPane&, const TDXPane&) = default;
};
struct TDXPictureInfo {
  bool IsDiv6 = false;
  bool HasPageLayout = false;
  std::array<TDXPane, 6> Panes{};
  bool IsAnimation = false;
  int PageCount = 0;
  int WaitTime = 0;  // milliseconds
  int LoopTime = 0;  // milliseconds
  friend bool operator==(const TDXPictureInfo&, const TDXPictureInfo&) = default;
};

// The six-page picture: two columns of three 96 x 43 pages.
constexpr int kDiv6Width = 192;
constexpr int kDiv6Height = 130;

// Reads "X-KmailDX-Info", "X-KmailDX-CBMP" and "X-KmailDX-Animation" from the
// header lines of a picture of the given size.
TDXPictureInfo ParseDXHeaders(int width, int height, std::string_view headers);
// The header lines that give back info, CR LF between them; empty when no
// flag is set.
std::string BuildDXHeaders(const TDXPictureInfo& info);

}  // namespace qv
