#pragma once
// Picture services shared by the launcher and the plug-ins: loading a
// picture through the DIB class (with a visible placeholder for data that is
// not a picture), normalising a bitmap's pixel format, and filling image
// lists from the bitmaps of the resource module beside the launcher.
#include <QIcon>
#include <QImage>
#include <iosfwd>
#include <string_view>

class TImageList;

namespace qv {

// Cell sizes of the resource module's bitmaps; an image list that loads one
// has these sizes. Image i of "PICTEXT" is line i of the built-in pictograph
// list; "BUTTON" holds the sign-up keys 決定, 通話, 切断, 接続, 戻る, 進む, 終了
// and "NUMBER" the keypad's 0-9, *, #.
inline constexpr int kClipIconWidth = 16, kClipIconHeight = 16;  // "CLIPICON", 40 images
inline constexpr int kMailIconWidth = 16, kMailIconHeight = 16;  // "MAILICON", 20 images
inline constexpr int kPicTextWidth = 12, kPicTextHeight = 12;    // "PICTEXT", 95 images
inline constexpr int kButtonWidth = 24, kButtonHeight = 24;      // "BUTTON", 7 images
inline constexpr int kNumberWidth = 16, kNumberHeight = 16;      // "NUMBER", 12 images

// The placeholder: 96 x 72, white with a grey frame, a red "×" and "破損画像".
void DrawBrokenImage(QImage& bitmap);

// Loads the picture from the stream's start; packed (RLE) pictures come out in
// 24 bits. Anything that is not a readable picture gives the placeholder.
void LoadBitmapFromStream(QImage& bitmap, std::istream& stream);

// Passes the bitmap through the DIB class: a monochrome bitmap stays as it
// is, a true-colour one is reduced to 256 colours.
void ConvertBitmapViaDIB(QImage& bitmap);

// Fills the list with the cells of the resource bitmap, row by row, each cell
// of the list's size with magenta transparent. False, and the list untouched,
// when [File] ImageDllFile (default "image.dll") is missing, is not a
// resource module, or lacks a readable bitmap of that name.
bool LoadImageListFromDll(std::string_view resourceName, TImageList& imageList);
// Image i of the list as an icon (an empty one when there is none).
QIcon ImageListIcon(const TImageList& list, int image);

}  // namespace qv
