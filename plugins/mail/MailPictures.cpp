#include "plugins/mail/MailPictures.h"

#include "controls/ImageList.h"
#include "image/QkDIB.h"
#include "core/MailForm.h"

#include <QImage>

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

}  // namespace

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
  QImage sheet;
  if (!LoadAttachmentBitmap(bytes, sheet) || sheet.width() != kUserCharSheetWidth) return true;
  const int rows = sheet.height() / kUserCharSize;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < kUserCharsPerRow; ++c)
      images->Add(sheet.copy(c * kUserCharSize, r * kUserCharSize, kUserCharSize, kUserCharSize));
  return true;
}

}  // namespace qv
