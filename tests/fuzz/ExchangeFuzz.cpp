// Handset exchange files of every kind: the frame lines, the records and
// their items, each field's decoder; what encodes decodes back.
#include "FuzzSupport.h"
#include "core/data/HandsetExchange.h"

#include <algorithm>
#include <cctype>

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines;
  for (std::string_view line : qvfuzz::Input::Split(text, "\r\n")) lines.emplace_back(line);
  for (const std::string& line : lines) {
    HandsetFrameLine frame;
    if (!ParseHandsetFrameLine(line, frame)) continue;
    HandsetFrameLine back;
    QV_FUZZ_CHECK(ParseHandsetFrameLine(FormatHandsetFrameLine(frame.flag, frame.payload), back));
    QV_FUZZ_CHECK(back.flag == frame.flag && back.payload == frame.payload);
  }
  std::vector<std::string> records;
  ReadHandsetRecords(lines, records);
  for (const std::string& record : records) {
    // Phone book and bookmarks (kinds 1, 8): tagged items.
    std::vector<HandsetItem> items;
    SplitTLVHex(record, items);
    for (const HandsetItem& item : items) {
      DecodeAddressRecord(item);
      if (item.size() >= 4) {
        const std::string value = item.substr(4);
        DecodeHandsetText(value);
        DecodePhoneNumber(0, value);
        DecodePhoneNumber(static_cast<int>(value.size() % 8), value);
        std::string secret, group, list;
        DecodeListFlags(value, secret, group, list);
        HexFieldToText(value);
        if (value.size() >= 14) {
          const std::string date = DecodeHandsetDate(value.substr(0, 14));
          if (!date.empty()) DecodeHandsetDate(EncodeHandsetDate(date));
        }
      }
    }
    std::vector<HandsetItem> copy = items;
    SplitAddressRecords(copy, record);
    // Mail histories (kinds 4, 6): the record header, then handset text.
    HandsetRecordHeader header;
    std::string rest;
    if (DecodeRecordHeader(record, header, rest)) DecodeHandsetText(rest);
  }
  // The wire form: three digits a byte.
  std::string hex(text.substr(0, std::min<size_t>(text.size(), 600)));
  if (hex.size() % 2) hex.pop_back();
  if (std::all_of(hex.begin(), hex.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
    std::string upper = hex;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    QV_FUZZ_CHECK(DecimalTextToHex(HexToDecimalText(hex)) == upper);
  }
  DecimalTextToHex(text.substr(0, std::min<size_t>(text.size(), 900)));
  // Text typed for the handset goes there and back as the handset keeps it.
  const std::string typed(text.substr(0, std::min<size_t>(text.size(), 200)));
  const std::string encoded = EncodeHandsetText(typed);
  DecodeHandsetText(StrToHex(encoded));
  int kind = 0;
  EncodePhoneNumber(kind, typed);
  StripHashSuffix(typed);
  QV_FUZZ_CHECK(MakeDialString(typed).size() <= 35);
  return 0;
}
