#pragma once
// Address lists (comma-separated, with display names in front of an address in
// angle brackets and comments in parentheses), phone-number rules and the
// phone-book lookup of the owners' names. Text is CP932.
#include "core/data/CSVData.h"

#include <string>
#include <string_view>

namespace qv {

// Not empty and only "#", "*", "-", "0"-"9" and "P".
bool IsPhoneNumberText(std::string_view s);
// The part after the first ":", then after the first ";", reduced to its
// single-byte dial characters ("#", "*", "0"-"9", "P").
std::string NormalizePhoneNumber(std::string_view s);
// Without a leading "184" or "186" and without everything from the first "##".
std::string StripServicePrefix(std::string_view s);
// Without the double-byte characters whose lead byte is F0 (handset pictographs).
std::string RemoveHandsetPictographs(std::string_view s);
// Not empty and only bytes 32-126.
bool IsAsciiPrintable(std::string_view s);

// The "Address.idx" table of the phone book named by [File] AddressFile;
// false when there is no such file or it holds no such record. Every reader
// of the phone book's rows (the lookup, the recipient picker) finds the file here.
bool LoadPhoneBook(TCSVData& book);

// Parses an address list into rows of (address, display name, comment). Unless
// raw, an entry that is no printable mail address (isEmail) or no phone number
// is dropped and phone numbers are normalised. With resolve, rows without a
// comment get the owner's name from the phone book ([File] AddressFile).
void ResolveAddressNames(TCSVData& table, std::string_view text, bool isEmail, bool resolve, bool raw);
// The list in normal form: "name<address>" or the address (phone numbers are
// always the bare number), "(comment)" after it with withComments, entries
// joined by ","; the first address of exclude is left out.
std::string ParseAddressList(std::string_view text, bool isEmail, bool withNames, bool withComments,
                             std::string_view exclude, bool resolve, bool raw);

}  // namespace qv
