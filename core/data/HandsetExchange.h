#pragma once
// The handset exchange file and its codecs. Plug-ins write the data they send
// to the handset into a file of hex-coded frame lines and read what the
// launcher brought back from the same kind of file; the launcher carries each
// line to the serial link in a decimal wire form. Hex text is upper case on
// output; input of either case is read. Text is CP932.
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// Data kinds: 1 "電話帳", 4 "Kメール・ブリーズメール履歴", 6 "KメールDX履歴",
// 8 "ブックマーク"; others empty.
const std::string& DataKindCaption(int kind);
// Phone kinds: 1 "FAX", 2 "PHS", 3 "携帯", 4 "ポケベル", 5 "文字電話"; others empty.
const std::string& PhoneKindCaption(int kind);

// The exchange file of a data kind: lines ended by CR LF.
struct HandsetExchangeFile {
  static std::string PathFor(int kind);
  // False when the file cannot be read.
  static bool Read(const std::filesystem::path& path, std::vector<std::string>& lines);
  // Replaces the file whole.
  static bool Write(const std::filesystem::path& path, const std::vector<std::string>& lines);
};

// One line of the file: a length byte, the constant, the flag byte, the items.
struct HandsetFrameLine {
  static constexpr std::string_view kConstant = "4D524C58200008";
  static constexpr size_t kMaxChars = 512;
  static constexpr int kParity = 4;      // the record's parity, on each of its lines
  static constexpr int kLastLine = 2;    // last line of a record
  static constexpr int kLastRecord = 1;  // last record of the file
  int flag = 0;
  std::string payload;  // hex
};
std::string FormatHandsetFrameLine(int flag, std::string_view payload);
// False for a line that is short, not hex or whose length byte does not match.
bool ParseHandsetFrameLine(std::string_view line, HandsetFrameLine& frame);
// Each record's payloads joined, in file order. False at the first bad line or
// for a last record without its last line; the records before it are kept.
bool ReadHandsetRecords(const std::vector<std::string>& lines, std::vector<std::string>& records);
// Each whole record's payloads joined, in file order, where a bad line costs
// only the record it falls in: that record is dropped and reading goes on.
// Records alternate their parity, so a line of the other parity after a
// record's lines (or after a bad line) starts the next record; bad lines are
// taken to belong to the earliest record they can. A record without its last
// line is dropped too. Blank lines are skipped.
std::vector<std::string> CollectHandsetRecords(const std::vector<std::string>& lines);

// The parity of record i of a file: (i + 1) and 1 when [Environment]
// DuplicationFlagStartOdd is on (the default), i and 1 when it is off.
int HandsetRecordParity(int record);

// An item as the codecs pass it: the tag in 4 hex digits, then the value's hex
// (the length byte is implied).
using HandsetItem = std::string;

// One mail-history record into lines: the header and the payload's first
// counted chunk in the first item, further chunks of 243 bytes in further
// items of the tag. Lines are appended.
bool BuildHandsetFrames(std::vector<std::string>& lines, uint16_t tag, std::string_view header,
                        std::string_view payload, int parity, bool isLastRecord);
// One phone-book or bookmark record into lines: items packed, an item of more
// than 244 bytes split into pieces under its tag. Lines are appended.
bool BuildHandsetListFrames(std::vector<std::string>& lines, const std::vector<HandsetItem>& items, int parity,
                            bool isLastRecord);
// Splits a payload into items. False when it does not end exactly after an
// item (the items before stay) or is empty.
bool SplitTLVHex(std::string_view data, std::vector<HandsetItem>& items);

// The text of counted chunks (a length byte, then that many bytes; a zero
// length or a chunk cut short ends it).
std::string HexFieldToText(std::string_view hex);
// Each hex pair a byte; an odd last digit is ignored, a bad pair is 0.
std::string HexToBytes(std::string_view hex);
std::string StrToHex(std::string_view bytes);
void HexToStream(std::string_view hex, std::ostream& out);
// The whole stream from its start.
std::string StreamToHex(std::istream& in);

// The date of a mail history or phone-book field: year (12 bits), month,
// day, hour, minute, second; a field without value holds all ones.
struct HandsetDate {
  static constexpr int kNoYear = 0xFFF, kNoMonth = 0xF, kNoDay = 0x1F, kNoHour = 0x1F, kNoMinute = 0x3F,
                       kNoSecond = 0x3F;
  int year = kNoYear, month = kNoMonth, day = kNoDay, hour = kNoHour, minute = kNoMinute, second = kNoSecond;
};
// "yyyy/mm/dd hh:nn:ss" as far as the fields go, "     mm/dd ..." without a
// year, empty without a month or day (day 31 is the no-day marker).
std::string DecodeHandsetDate(std::string_view hex14);
std::string EncodeHandsetDate(std::string_view text);
// The fields of a date text as the encoder reads them: year, month, day,
// hour, minute, second as far as the text goes, the year empty in a date
// without one ("     mm/dd").
std::vector<std::string> HandsetDateParts(std::string_view text);

// The 9-byte header at the start of a mail-history record's value.
struct HandsetRecordHeader {
  std::string date;
  int kind = 0, handsetFlag = 0, unread = 0, isProtected = 0, direction = 0, boxNumber = 0;
};
// False (and an empty header) when the hex holds no whole header.
bool DecodeRecordHeader(std::string_view hex, HandsetRecordHeader& header, std::string& rest);
std::string EncodeRecordHeader(std::string_view dateText, int kind, int handsetFlag, int unread, int isProtected,
                               int direction, int boxNumber);

// Handset bytes that stand for other CP932 characters: "code=bytes" pairs.
extern const std::string_view kHandsetCodeTable;
std::string DecodeHandsetText(std::string_view hex);
// Characters the handset cannot show are dropped.
std::string EncodeHandsetText(std::string_view text);

// "種別: 分計ON; 番号" as far as known. The attribute byte comes first.
std::string DecodePhoneNumber(int kind, std::string_view hex);
std::string EncodePhoneNumber(int& kind, std::string_view text);

// Phone-book and bookmark fields by tag.
std::string DecodeAddressRecord(std::string_view item);
HandsetItem EncodeAddressField(uint16_t tag, std::string_view text);
// The phone book's attribute byte: secret, group, white or black list.
std::string EncodeListFlags(std::string_view secret, std::string_view group, std::string_view list);
void DecodeListFlags(std::string_view hex, std::string& secret, std::string& group, std::string& list);
// Replaces each item by the first unused raw item (tag, length, value; raw
// items separated by blanks) of its tag that decodes to the same text, so that
// unchanged fields go back in the handset's own bytes.
void SplitAddressRecords(std::vector<HandsetItem>& items, std::string_view rawText);

// A date text as "yyyy/mm/dd hh:nn:ss", or def formatted so when it is none.
std::string FormatHandsetDate(std::string_view text, std::time_t def);
// "##3" appended to a number without "##" of fewer than 32 characters; at most
// 35 characters.
std::string MakeDialString(std::string_view number);
std::string StripHashSuffix(std::string_view text);

// The wire form: three decimal digits per byte.
std::string HexToDecimalText(std::string_view hex);
// Empty when a group of three is not a number 0-255.
std::string DecimalTextToHex(std::string_view digits);

}  // namespace qv
