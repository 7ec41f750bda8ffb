#pragma once
// The attachments of one mail window: what each item holds, how an item is
// built from a received MIME part or copied from another window, and which
// icon it shows. The windows' icon views show these lists; the list's order is
// the order of the parts in the stored mail.
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// What attachment items need from the picture side, which core data does not
// link (the image library, the image lists): whether a picture's bytes load,
// and its size, and the user characters of an "OPTCHAR.DAT" sheet. The mail
// plug-in's windows give theirs (plugins/mail/compose/MailPictures.h).
class AttachmentPictures {
 public:
  // False when the bytes hold no picture.
  virtual bool PictureSize(std::string_view bytes, int& width, int& height) const = 0;
  // Rebuilds the user characters from the sheet named name.
  virtual void UserCharacters(std::string_view name, std::string_view bytes) = 0;

 protected:
  ~AttachmentPictures() = default;
};

// The attachment icons, indexes into the clip icon list.
enum AttachIcon : int {
  kIconPicture = 16,
  kIconFile = 17,
  kIconAnimation = 41,
  kIconDiv6 = 42,
  kIconRingtone = 43,
  kIconUserCharacters = 44,
  kIconMediaMix = 45,
};

struct MailAttachment {
  std::string name;     // the caption, unique within its list
  std::string bytes;
  std::string headers;  // remembered header lines, CR LF between them
  bool broken = false;  // a picture whose bytes do not load
  int icon = kIconFile;
};

class AttachmentList {
 public:
  size_t Count() const { return items_.size(); }
  bool Empty() const { return items_.empty(); }
  const MailAttachment& operator[](size_t i) const { return items_[i]; }
  MailAttachment& operator[](size_t i) { return items_[i]; }
  const std::vector<MailAttachment>& Items() const { return items_; }
  std::vector<std::string> Captions() const;
  // The item with this caption (letter case ignored), -1 when none.
  int Find(std::string_view caption) const;

  // Inserts at position (below 0 or past the end: appended); returns the index.
  int Insert(MailAttachment item, int position = -1);
  void Remove(size_t index);
  // Moves an item so that it stands at index to afterwards.
  void Move(size_t from, size_t to);
  void Clear() { items_.clear(); }

 private:
  std::vector<MailAttachment> items_;
};

int AttachIconIndex(std::string_view name, std::string_view headers, bool broken);

// Sets a picture item's header lines from its bytes: the normalised picture
// lines when the bytes load as a bitmap, else the given lines and broken.
// Items of other kinds keep the lines as given.
void NormalisePictureHeaders(MailAttachment& item, std::string_view headers, const AttachmentPictures& pictures);

// Adds one received MIME part at position (0 first, below 0 or past the end
// appended); the user characters are rebuilt from an "OPTCHAR.DAT" part.
// Returns the new item's index.
int AddAttachmentPart(std::string_view partHeaders, std::string_view partBody, AttachmentList& list, int position,
                      AttachmentPictures& pictures);
// Appends a copy of item to target under a caption unique there.
int CopyAttachment(const MailAttachment& item, AttachmentList& target, AttachmentPictures& targetPictures);
// Appends a file's bytes under its file name made unique; headers are the
// remembered lines (empty for a file from disk).
int AddAttachmentBytes(std::string_view fileName, std::string bytes, std::string_view headers, AttachmentList& list,
                       AttachmentPictures& pictures);

// A name that is safe as one file in a folder: no folder separators, no
// control characters, never "." or ".."; what a save offers for an item.
std::string SafeFileName(std::string_view caption);

}  // namespace qv
