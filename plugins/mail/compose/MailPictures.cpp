#include "plugins/mail/compose/MailPictures.h"

#include "controls/ImageList.h"
#include "core/ui/Pictures.h"
#include "image/QkDIB.h"
#include "core/data/MailForm.h"
#include "image/QkJPEG.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sstream>

namespace qv {

namespace {

constexpr int kUserCharSize = 12;
constexpr int kUserCharsPerRow = 8;
constexpr int kUserCharSheetWidth = kUserCharSize * kUserCharsPerRow;

// Reads a DIB file from the bytes; packed pictures come out unpacked.
bool ReadDIB(std::string_view bytes, TQkDIB& dib) {
  try {
    std::istringstream in(std::string(bytes), std::ios::binary);
    dib.LoadFromStream(in);
    const TQkPixelFormat format = dib.GetPixelFormat();
    if (format == qkpf4BitRLE || format == qkpf8BitRLE) dib.SetPixelFormat(qkpf24Bit);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

uint32_t Le32(std::string_view b, size_t at) {
  return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
         uint32_t(uint8_t(b[at + 3])) << 24;
}

// The pixel rows a bitmap file claims and whether its pixels are run-length
// packed, read from its headers alone; false when they are not there.
bool ClaimedRows(std::string_view bytes, int64_t& rows, bool& packed) {
  if (bytes.size() < 26 || bytes.substr(0, 2) != "BM") return false;
  if (Le32(bytes, 14) == 12) {  // the old core header: 16-bit sizes, never packed
    rows = uint8_t(bytes[20]) | uint8_t(bytes[21]) << 8;
    packed = false;
    return true;
  }
  if (bytes.size() < 34) return false;
  rows = std::llabs(static_cast<int64_t>(static_cast<int32_t>(Le32(bytes, 22))));
  const uint32_t compression = Le32(bytes, 30);
  packed = compression == 1 || compression == 2;
  return true;
}

QImage DecodeBitmap(std::string_view bytes) {
  QImage image;
  std::istringstream in(std::string(bytes), std::ios::binary);
  LoadBitmapFromStream(image, in);
  return image;
}

QImage Broken() {
  QImage broken;
  DrawBrokenImage(broken);
  return broken;
}

// A received JPEG may claim any size: its header is read, nothing decoded.
TScaledPicture JpegPicture(std::string_view bytes) {
  try {
    return TScaledPicture::FromJpeg(std::string(bytes));
  } catch (const EJPEGTooLarge& e) {
    QImage notice;
    DrawTooLargeImage(notice, QSize(e.Size.Width, e.Size.Height), e.Limit);
    return TScaledPicture(notice);
  } catch (const std::exception&) {
    return TScaledPicture(Broken());
  }
}

}  // namespace

TScaledPicture AttachmentPicture(std::string_view name, std::string_view bytes) {
  switch (MediaFileKind(name)) {
    case kMediaBitmap: return TScaledPicture(DecodeBitmap(bytes));
    case kMediaJpeg: return JpegPicture(bytes);
    case kMediaFlm: return bytes.substr(0, 2) == "BM" ? TScaledPicture(DecodeBitmap(bytes)) : JpegPicture(bytes);
    default: return {};
  }
}

QImage DecodeAttachmentPicture(std::string_view name, std::string_view bytes) {
  const TScaledPicture picture = AttachmentPicture(name, bytes);
  if (picture.IsNull()) return {};
  QImage full = picture.Full();
  return full.isNull() ? Broken() : full;
}

bool LoadAttachmentBitmap(std::string_view bytes, QImage& image) {
  TQkDIB dib;
  if (!ReadDIB(bytes, dib)) return false;
  try {
    QImage decoded = dib.ToQImage();
    if (decoded.isNull()) return false;
    image = std::move(decoded);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool PictureSize(std::string_view bytes, int& width, int& height) {
  TQkDIB dib;
  if (!ReadDIB(bytes, dib)) return false;
  width = dib.GetWidth();
  height = dib.GetHeight();
  return true;
}

bool MakeUserCharacterBitmap(const std::filesystem::path& path, std::string& bytes) {
  try {
    TQkDIB dib;
    dib.LoadFromFile(path);
    const TQkPixelFormat format = dib.GetPixelFormat();
    if (format == qkpf4BitRLE || format == qkpf8BitRLE) dib.SetPixelFormat(qkpf24Bit);
    dib.SetWidth(kUserCharSheetWidth);
    std::ostringstream out(std::ios::binary);
    dib.SaveToStream(out);
    bytes = out.str();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool MailPictures::PictureSize(std::string_view bytes, int& width, int& height) const {
  return qv::PictureSize(bytes, width, height);
}

void MailPictures::UserCharacters(std::string_view name, std::string_view bytes) {
  LoadUserCharacters(name, bytes, userImages_);
}

int AddAttachmentPart(std::string_view partHeaders, std::string_view partBody, AttachmentList& list, int position,
                      TImageList* userImages) {
  MailPictures pictures(userImages);
  return AddAttachmentPart(partHeaders, partBody, list, position, pictures);
}

int CopyAttachment(const MailAttachment& item, AttachmentList& target, TImageList* targetUserImages) {
  MailPictures pictures(targetUserImages);
  return CopyAttachment(item, target, pictures);
}

int AddAttachmentBytes(std::string_view fileName, std::string bytes, std::string_view headers, AttachmentList& list,
                       TImageList* userImages) {
  MailPictures pictures(userImages);
  return AddAttachmentBytes(fileName, std::move(bytes), headers, list, pictures);
}

void ParseStoredMail(std::string_view text, StoredMailFields& mail, AttachmentList* list, TImageList* userImages) {
  if (!list) {
    ParseStoredMail(text, mail);
    return;
  }
  MailPictures pictures(userImages);
  ParseStoredMail(text, mail, *list, pictures);
}

bool LoadUserCharacters(std::string_view name, std::string_view bytes, TImageList* images) {
  if (!images || !IsUserCharacterName(name)) return false;
  images->Clear();
  // A packed sheet unpacks to whatever height it claims, so one beyond the
  // rows taken is not unpacked at all.
  int64_t claimed = 0;
  bool packed = false;
  if (ClaimedRows(bytes, claimed, packed) && packed && claimed > int64_t(kMaxUserCharacterRows) * kUserCharSize)
    return true;
  QImage sheet;
  if (!LoadAttachmentBitmap(bytes, sheet) || sheet.width() != kUserCharSheetWidth) return true;
  const int rows = std::min(sheet.height() / kUserCharSize, kMaxUserCharacterRows);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < kUserCharsPerRow; ++c)
      images->Add(sheet.copy(c * kUserCharSize, r * kUserCharSize, kUserCharSize, kUserCharSize));
  return true;
}

}  // namespace qv
