#pragma once
// Picture attachments through the image library: a bitmap attachment's bytes
// are a DIB file. Bytes from a received mail may be anything; a failure to
// load is an answer, never a crash. The stored mail form's attachments read
// their pictures here, and the windows' user characters go into image lists.
#include <QImage>

#include "core/data/MailAttachments.h"
#include "core/ui/Pictures.h"
#include "core/data/StoredMail.h"

#include <filesystem>
#include <string>
#include <string_view>

class TImageList;

namespace qv {

// The picture in the bytes; false (image untouched) when they hold none.
bool LoadAttachmentBitmap(std::string_view bytes, QImage& image);
bool PictureSize(std::string_view bytes, int& width, int& height);
// The picture of an attachment by the kind of its name: a bitmap (.BMP), a
// JPEG (.JPG, .JPEG) or either (.FLM); the broken-picture placeholder when the
// bytes hold none, the too-large one for a JPEG beyond kMaxPicturePixels. A
// null image for a name of any other kind.
QImage DecodeAttachmentPicture(std::string_view name, std::string_view bytes);
// The same, a JPEG kept as its bytes to be decoded at the size it is shown.
TScaledPicture AttachmentPicture(std::string_view name, std::string_view bytes);

// A picture file as a user-character bitmap: loaded, made 96 pixels wide and
// written as a bitmap file. False when the file is no picture.
bool MakeUserCharacterBitmap(const std::filesystem::path& path, std::string& bytes);

// Rows of eight user characters taken from one sheet at most; a received
// sheet may claim any height.
inline constexpr int kMaxUserCharacterRows = 1000;

// The user characters of an "OPTCHAR.DAT" attachment: a bitmap 96 pixels wide
// cut into 12 x 12 cells, 8 to a row, rows below kMaxUserCharacterRows left
// out. False when there is no image list or the name is another; otherwise
// the list is rebuilt (left empty when the bytes are no such bitmap) and the
// result is true.
bool LoadUserCharacters(std::string_view name, std::string_view bytes, TImageList* images);

// The pictures of attachments through the image library; the user
// characters go into userImages (none: they are not kept).
class MailPictures : public AttachmentPictures {
 public:
  explicit MailPictures(TImageList* userImages) : userImages_(userImages) {}
  bool PictureSize(std::string_view bytes, int& width, int& height) const override;
  void UserCharacters(std::string_view name, std::string_view bytes) override;

 private:
  TImageList* userImages_;
};

// The attachment functions of the stored mail form with a window's image
// list of user characters (or none).
int AddAttachmentPart(std::string_view partHeaders, std::string_view partBody, AttachmentList& list, int position,
                      TImageList* userImages);
int CopyAttachment(const MailAttachment& item, AttachmentList& target, TImageList* targetUserImages);
int AddAttachmentBytes(std::string_view fileName, std::string bytes, std::string_view headers, AttachmentList& list,
                       TImageList* userImages);
// Reads a stored mail; the attachments go into list when one is given.
void ParseStoredMail(std::string_view text, StoredMailFields& mail, AttachmentList* list, TImageList* userImages);

}  // namespace qv
