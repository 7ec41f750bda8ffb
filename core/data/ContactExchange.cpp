#include "core/data/ContactExchange.h"

#include "core/data/HandsetExchange.h"
#include "core/data/SettingsKeys.h"
#include "core/data/TextFunctions.h"
#include "platform/Cp932.h"

#include <cstdio>
#include <optional>
#include <system_error>

namespace qv {
namespace {

// Tags whose first value fills one field of the phone book.
struct TagField {
  uint16_t tag;
  int field;
};
constexpr TagField kSingleFields[] = {
    {0x0102, kPbKanji},        {0x010A, kPbPostCode},        {0x010B, kPbAddress},      {0x010C, kPbBirthDate},
    {0x010D, kPbBloodType},    {0x010E, kPbMemo},            {0x010F, kPbSex},          {0x0110, kPbAge},
    {0x0111, kPbHobby},        {0x0201, kPbCompanyKana},     {0x0202, kPbCompanyKanji}, {0x020A, kPbCompanyPostCode},
    {0x020B, kPbCompanyAddress}, {0x020C, kPbCompanyDate},   {0x020E, kPbCompanyMemo},  {0x0210, kPbCompanyAge},
    {0x0212, kPbTitle},        {0x0213, kPbDepartment},      {0x0002, kPbUpdated},      {0x0003, kPbCreated},
    {0x0004, kPbLastOutgoing}, {0x0005, kPbLastIncoming}};

constexpr uint16_t kTagKana = 0x0101, kTagFlags = 0x0001, kTagPicture = 0x0006;
constexpr uint16_t kTagPhone = 0x0103, kTagMail = 0x0109, kTagCompanyPhone = 0x0203, kTagCompanyMail = 0x0209;
constexpr uint16_t kTagBookmark[kBookmarkFields] = {0x2001, 0x2004, 0x2002, 0x2003};  // by BookmarkField
// A bookmark record's items in their order: name, address, comment, reading.
constexpr int kBookmarkItemOrder[kBookmarkFields] = {kBmName, kBmAddress, kBmComment, kBmReading};

bool IsPhoneTag(uint16_t tag, uint16_t block) { return tag >= block && tag <= block + 5; }

// Tags whose items the phone book keeps as the handset sent them.
bool IsRawTag(uint16_t tag) {
  return tag == kTagFlags || IsPhoneTag(tag, kTagPhone) || IsPhoneTag(tag, kTagCompanyPhone) || tag == 0x010A ||
         tag == 0x010D || tag == 0x010F || tag == 0x020A;
}

uint16_t TagOf(std::string_view item) {
  unsigned v = 0;
  for (size_t i = 0; i < 4 && i < item.size(); ++i) {
    const char c = item[i];
    v = v * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : (c & ~0x20) - 'A' + 10);
  }
  return static_cast<uint16_t>(v);
}

std::string Hex4(uint16_t v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X", v);
  return buf;
}

// An item's value as the items of the file carry it: tag, length, value.
std::string WithLength(std::string_view item) {
  char length[4];
  std::snprintf(length, sizeof length, "%02X", static_cast<unsigned>((item.size() - 4) / 2) & 0xFF);
  return std::string(item.substr(0, 4)) + length + std::string(item.substr(4));
}

std::vector<HandsetItem> PhoneBookItems(const PhoneBookEntry& e) {
  std::vector<HandsetItem> items;
  auto add = [&](uint16_t tag, int field) { items.push_back(EncodeAddressField(tag, e.Field(field))); };
  items.push_back(EncodeAddressField(kTagKana, FoldToHalfWidthKana(e.Field(kPbKana))));
  add(0x0102, kPbKanji);
  for (int n = 0; n < kPbNumbers; ++n) add(kTagPhone, kPbPhone1 + n);
  for (int n = 0; n < kPbNumbers; ++n) add(kTagMail, kPbMail1 + n);
  for (int f = kPbPostCode; f <= kPbHobby; ++f) add(static_cast<uint16_t>(0x010A + (f - kPbPostCode)), f);
  items.push_back(EncodeAddressField(0x0201, FoldToHalfWidthKana(e.Field(kPbCompanyKana))));
  add(0x0202, kPbCompanyKanji);
  for (int n = 0; n < kPbNumbers; ++n) add(kTagCompanyPhone, kPbCompanyPhone1 + n);
  for (int n = 0; n < kPbNumbers; ++n) add(kTagCompanyMail, kPbCompanyMail1 + n);
  add(0x020A, kPbCompanyPostCode);
  add(0x020B, kPbCompanyAddress);
  add(0x020C, kPbCompanyDate);
  add(0x020E, kPbCompanyMemo);
  add(0x0210, kPbCompanyAge);
  add(0x0212, kPbTitle);
  add(0x0213, kPbDepartment);
  for (int n = 0; n < 4; ++n) add(static_cast<uint16_t>(0x0002 + n), kPbUpdated + n);
  if (e.picture) items.push_back(Hex4(kTagPicture) + StrToHex(*e.picture));
  items.push_back(Hex4(kTagFlags) + EncodeListFlags(e.Field(kPbSecret), e.Field(kPbGroup), e.Field(kPbListKind)));
  // What the PC did not change goes back in the handset's own bytes.
  SplitAddressRecords(items, e.Field(kPbRawItems));
  return items;
}

std::optional<PhoneBookEntry> PhoneBookEntryOf(std::string_view record) {
  std::vector<HandsetItem> items;
  SplitTLVHex(record, items);  // a split that stops early gives the items before
  PhoneBookEntry e;
  std::string picture, raw;
  int phones = 0, mails = 0, companyPhones = 0, companyMails = 0;
  auto nth = [&](int& count, int first, const std::string& value) {
    if (count < kPbNumbers) e.SetField(first + count, value);
    ++count;
  };
  for (const auto& item : items) {
    const uint16_t tag = TagOf(item);
    const std::string value = DecodeAddressRecord(item);
    if (tag == kTagKana) {
      if (e.Field(kPbKana).empty()) e.SetField(kPbKana, value);
    } else if (IsPhoneTag(tag, kTagPhone)) {
      nth(phones, kPbPhone1, value);
    } else if (tag == kTagMail) {
      nth(mails, kPbMail1, value);
    } else if (IsPhoneTag(tag, kTagCompanyPhone)) {
      nth(companyPhones, kPbCompanyPhone1, value);
    } else if (tag == kTagCompanyMail) {
      nth(companyMails, kPbCompanyMail1, value);
    } else if (tag == kTagFlags) {
      if (e.Field(kPbSecret).empty()) {
        std::string secret, group, list;
        DecodeListFlags(std::string_view(item).substr(4), secret, group, list);
        e.SetField(kPbSecret, secret);
        e.SetField(kPbGroup, group);
        e.SetField(kPbListKind, list);
      }
    } else if (tag == kTagPicture) {
      picture += HexToBytes(value);
    } else {
      for (const TagField& tf : kSingleFields)
        if (tf.tag == tag && e.Field(tf.field).empty()) e.SetField(tf.field, value);
    }
    if (IsRawTag(tag) && !value.empty()) raw += WithLength(item) + ' ';
  }
  e.SetField(kPbRawItems, raw);
  if (!picture.empty()) e.picture = std::move(picture);
  e.SetField(kPbPictureFlag, Sjis(e.picture ? "有" : "無"));
  if (e.Field(kPbKana).empty()) return std::nullopt;
  return e;
}

template <typename List, typename Build>
std::vector<std::string> BuildLines(const List& entries, bool startOdd, Build items) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < entries.size(); ++i)
    BuildHandsetListFrames(lines, items(entries[i]), static_cast<int>((i + (startOdd ? 1 : 0)) & 1),
                           i + 1 == entries.size());
  return lines;
}

bool WriteSendFile(const std::filesystem::path& path, const std::vector<std::string>& lines, bool* written) {
  const bool ok = HandsetExchangeFile::Write(path, lines);
  if (written) *written = ok;
  return ok && !lines.empty();
}

// The lines of a received file; none when it is missing or unreadable.
std::vector<std::string> ReceivedLines(const std::filesystem::path& path) {
  std::vector<std::string> lines;
  std::error_code ec;
  if (std::filesystem::is_regular_file(path, ec)) HandsetExchangeFile::Read(path, lines);
  return lines;
}

}  // namespace

std::vector<std::string> BuildPhoneBookLines(const PhoneBookList& entries, bool startOdd) {
  return BuildLines(entries, startOdd, PhoneBookItems);
}

std::vector<std::string> BuildBookmarkLines(const BookmarkList& entries, bool startOdd) {
  return BuildLines(entries, startOdd, [](const BookmarkEntry& e) {
    std::vector<HandsetItem> items;
    for (int field : kBookmarkItemOrder) {
      const std::string& text = e.Field(field);
      items.push_back(EncodeAddressField(kTagBookmark[field], field == kBmReading ? FoldToHalfWidthKana(text) : text));
    }
    return items;
  });
}

PhoneBookList ParsePhoneBookLines(const std::vector<std::string>& lines) {
  PhoneBookList entries;
  for (const auto& record : CollectHandsetRecords(lines))
    if (auto e = PhoneBookEntryOf(record)) entries.push_back(std::move(*e));
  return entries;
}

BookmarkList ParseBookmarkLines(const std::vector<std::string>& lines) {
  BookmarkList entries;
  for (const auto& record : CollectHandsetRecords(lines)) {
    std::vector<HandsetItem> items;
    if (!SplitTLVHex(record, items)) continue;  // a record that cannot be split is skipped
    BookmarkEntry e;
    bool seen[kBookmarkFields] = {};
    for (const auto& item : items) {
      const uint16_t tag = TagOf(item);
      for (int f = 0; f < kBookmarkFields; ++f)
        if (kTagBookmark[f] == tag && !seen[f]) {
          seen[f] = true;
          e.fields[static_cast<size_t>(f)] = DecodeAddressRecord(item);
        }
    }
    bool any = false;
    for (const auto& field : e.fields) any = any || !field.empty();
    if (any) entries.push_back(std::move(e));
  }
  return entries;
}

bool BuildSendFile(const std::filesystem::path& path, const PhoneBookList& entries, bool* written) {
  return WriteSendFile(path, BuildPhoneBookLines(entries, IniReadBool(keys::DuplicationFlagStartOdd)), written);
}

bool BuildSendFile(const std::filesystem::path& path, const BookmarkList& entries, bool* written) {
  return WriteSendFile(path, BuildBookmarkLines(entries, IniReadBool(keys::DuplicationFlagStartOdd)), written);
}

int ParseReceivedFile(const std::filesystem::path& path, PhoneBookList& entries) {
  PhoneBookList found = ParsePhoneBookLines(ReceivedLines(path));
  for (auto& e : found) entries.push_back(std::move(e));
  return static_cast<int>(found.size());
}

int ParseReceivedFile(const std::filesystem::path& path, BookmarkList& entries) {
  BookmarkList found = ParseBookmarkLines(ReceivedLines(path));
  for (auto& e : found) entries.push_back(std::move(e));
  return static_cast<int>(found.size());
}

std::vector<int> EntriesWithoutHandsetName(const PhoneBookList& entries) {
  std::vector<int> rows;
  for (size_t i = 0; i < entries.size(); ++i)
    if (EncodeHandsetText(FoldToHalfWidthKana(entries[i].Field(kPbKana))).empty()) rows.push_back(static_cast<int>(i));
  return rows;
}

}  // namespace qv
