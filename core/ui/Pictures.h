#pragma once
// Picture services shared by the launcher and the plug-ins: loading a
// picture through the DIB class (with a visible placeholder for data that is
// not a picture), normalising a bitmap's pixel format, and filling image
// lists from the bitmaps of the resource module beside the launcher.
#include <QIcon>
#include <QImage>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
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

// Camera photos of up to this many pixels are opened; a larger picture is
// told as too large and never decoded.
inline constexpr int64_t kMaxPicturePixels = 100'000'000;

// The placeholder of a picture too large to open: white with a grey frame, a
// red "×", "大きすぎる画像", the picture's size and the limit; 96 x 72, or
// wider where the text needs it.
void DrawTooLargeImage(QImage& bitmap, QSize picture, int64_t limit);
// "12000×9000 (108,000,000画素)" and "100,000,000画素": the two sizes the
// too-large notices tell.
QString PictureSizeText(QSize picture);
QString PixelCountText(int64_t pixels);

// A picture decoded at the size it is shown at. A JPEG is kept as its bytes
// and decoded through libjpeg's DCT scaling, whole or a part of it, so that a
// photo shown small never costs its full size in memory; any other picture
// is kept decoded. Copies share the bytes.
class TScaledPicture {
 public:
  TScaledPicture() = default;
  explicit TScaledPicture(QImage picture);
  // A JPEG from its header alone: EJPEG when the bytes hold none,
  // EJPEGTooLarge for more than maxPixels.
  static TScaledPicture FromJpeg(std::string bytes, int64_t maxPixels = kMaxPicturePixels);

  bool IsNull() const { return size_.isEmpty(); }
  bool IsJpeg() const { return jpeg_ != nullptr; }
  QSize Size() const { return size_; }
  // Decodes the JPEG at its smallest scale, which reads all its data, and
  // keeps that picture; false when the data does not decode. Always true for
  // a decoded picture.
  bool Check();
  // The scale, in eighths, a picture shown at shown is decoded at: the
  // least that is at least that large; 8 for a decoded picture.
  int ScaleFor(QSize shown) const;
  // The picture's size at eighths / 8 (a decoded picture has only its own).
  QSize ScaledSize(int eighths) const;
  // Part (empty: all) of the picture at eighths / 8; RGB32 for a JPEG. Null
  // when the JPEG's data does not decode.
  QImage Decode(int eighths, const QRect& part = {}) const;
  QImage Full() const { return Decode(8); }
  // The picture at size: decoded at the least scale that gives it, then
  // scaled the rest of the way; null when it does not decode.
  QImage Scaled(QSize size, Qt::TransformationMode mode) const;

 private:
  QImage decoded_;
  std::shared_ptr<const std::string> jpeg_;
  QImage smallest_;  // the JPEG at 1/8, once Check has made it
  QSize size_;
};

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
