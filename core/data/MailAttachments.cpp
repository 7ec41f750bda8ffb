#include "core/data/MailAttachments.h"

#include "core/data/MailStore.h"
#include "core/data/TextFunctions.h"
#include "platform/Cp932.h"
#include "core/data/MailForm.h"

#include <algorithm>

namespace qv {

namespace {

// Decimal digits that are not all zero (a page count of any size).
bool IsPositiveNumber(std::string_view text) {
  std::string t = TrimText(text);
  return !t.empty() && std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
         t.find_first_not_of('0') != std::string::npos;
}

// The lines of a text, each followed by CR LF.
std::string LinesWithBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (auto line : SplitLines(text)) {
    out += line;
    out += "\r\n";
  }
  return out;
}

int Finish(MailAttachment item, std::string_view name, AttachmentList& list, int position,
           AttachmentPictures& pictures) {
  item.name = UniqueNewName(list.Captions(), name);
  if (IsUserCharacterName(item.name)) pictures.UserCharacters(item.name, item.bytes);
  item.icon = AttachIconIndex(item.name, item.headers, item.broken);
  return list.Insert(std::move(item), position);
}

}  // namespace

std::vector<std::string> AttachmentList::Captions() const {
  std::vector<std::string> captions;
  captions.reserve(items_.size());
  for (const auto& item : items_) captions.push_back(item.name);
  return captions;
}

int AttachmentList::Find(std::string_view caption) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (SameTextNoCase(items_[i].name, caption)) return static_cast<int>(i);
  return -1;
}

int AttachmentList::Insert(MailAttachment item, int position) {
  if (position < 0 || static_cast<size_t>(position) > items_.size()) position = static_cast<int>(items_.size());
  items_.insert(items_.begin() + position, std::move(item));
  return position;
}

void AttachmentList::Remove(size_t index) {
  if (index < items_.size()) items_.erase(items_.begin() + static_cast<long>(index));
}

void AttachmentList::Move(size_t from, size_t to) {
  if (from >= items_.size() || to >= items_.size() || from == to) return;
  MailAttachment item = std::move(items_[from]);
  items_.erase(items_.begin() + static_cast<long>(from));
  items_.insert(items_.begin() + static_cast<long>(to), std::move(item));
}

int AttachIconIndex(std::string_view name, std::string_view headers, bool broken) {
  switch (MediaFileKind(name)) {
    case kMediaBitmap: {
      if (broken) return kIconPicture;
      if (UpperAscii(TrimText(GetHeaderValue(headers, "X-KmailDX-Info"))) == "DIV6") return kIconDiv6;
      std::string page;
      if (GetHeaderParam(headers, "X-KmailDX-Animation", "Page", page) && IsPositiveNumber(page)) return kIconAnimation;
      return kIconPicture;
    }
    case kMediaJpeg:
    case kMediaFlm:
      return kIconPicture;
    case kMediaRingtone:
      return kIconRingtone;
    case kMediaMixCtrl:
      return kIconMediaMix;
    default:
      return IsUserCharacterName(name) ? kIconUserCharacters : kIconFile;
  }
}

void NormalisePictureHeaders(MailAttachment& item, std::string_view headers, const AttachmentPictures& pictures) {
  item.broken = false;
  item.headers = std::string(headers);
  if (MediaFileKind(item.name) != kMediaBitmap) return;
  int width = 0, height = 0;
  if (pictures.PictureSize(item.bytes, width, height))
    item.headers = BuildDXHeaders(ParseDXHeaders(width, height, headers));
  else
    item.broken = true;
}

int AddAttachmentPart(std::string_view partHeaders, std::string_view partBody, AttachmentList& list, int position,
                      AttachmentPictures& pictures) {
  std::string name;
  if (!GetHeaderParam(partHeaders, "Content-Type", "Name", name) || TrimText(name).empty()) name = "notitle.dat";
  MailAttachment item;
  if (IsBase64Part(partHeaders)) {
    if (!Base64Decode(partBody, item.bytes)) item.bytes.clear();
  } else {
    item.bytes = LinesWithBreaks(partBody);
  }
  // The kind is the received name's: the caption made of it keeps its extension.
  item.name = name;
  NormalisePictureHeaders(item, partHeaders, pictures);
  return Finish(std::move(item), name, list, position, pictures);
}

int CopyAttachment(const MailAttachment& item, AttachmentList& target, AttachmentPictures& targetPictures) {
  MailAttachment copy;
  copy.name = item.name;
  copy.bytes = item.bytes;
  NormalisePictureHeaders(copy, item.headers, targetPictures);
  return Finish(std::move(copy), item.name, target, -1, targetPictures);
}

int AddAttachmentBytes(std::string_view fileName, std::string bytes, std::string_view headers, AttachmentList& list,
                       AttachmentPictures& pictures) {
  MailAttachment item;
  item.bytes = std::move(bytes);
  item.headers = std::string(headers);
  return Finish(std::move(item), fileName, list, -1, pictures);
}

std::string SafeFileName(std::string_view caption) {
  std::string name = ReplaceForbiddenChars(caption);
  std::string out;
  for (size_t i = 0; i < name.size();) {
    size_t len = cp932::CharLength(name, i);
    if (len == 1 && static_cast<unsigned char>(name[i]) < 0x20)
      out += '_';
    else
      out.append(name, i, len);
    i += len;
  }
  if (out.find_first_not_of('.') == std::string::npos) out = "notitle.dat";
  return out;
}

}  // namespace qv
