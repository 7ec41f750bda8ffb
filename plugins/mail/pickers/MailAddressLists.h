#pragma once
// What the recipient picker shows and gives back, without widgets: the
// phone book's items, the recipients of a compose field and their text, and
// the delivery time's start value and text. Text is CP932.
#include "core/data/CSVData.h"
#include "core/data/PhoneBook.h"

#include <string>
#include <string_view>
#include <vector>

namespace qv {

// One usable number or address of a phone-book row: number n (1-6) of row.
struct PhoneBookItem {
  int row = 0;
  int n = 1;
};
// The items of the book in row order, each row's numbers in turn: mail
// addresses for an e-mail, phone numbers otherwise; blank cells give none.
std::vector<PhoneBookItem> PhoneBookItems(const TCSVData& book, bool email);
// The item's caption: the row's name, or its reading when it has none.
std::string_view ItemName(const TCSVData& book, const PhoneBookItem& item);
std::string_view ItemPhone(const TCSVData& book, const PhoneBookItem& item);
std::string_view ItemMail(const TCSVData& book, const PhoneBookItem& item);
// What the name column sorts by: the reading, with n after it for n above 1.
std::string ItemReading(const TCSVData& book, const PhoneBookItem& item);

// One entry of a recipient list.
struct Recipient {
  std::string name;
  std::string address;  // a mail address, or a phone number as given
  std::string time;     // the delivery time text, e-mail only
  bool operator==(const Recipient&) const = default;
};
// A compose field's text as the picker lists it. Nothing is dropped: what
// the field holds comes back from RecipientsText unless the user removes it.
std::vector<Recipient> ParseRecipients(std::string_view text, bool email);
// The field text: "time<address>" or the address (phone numbers without
// anything but their dial characters), then "(name)", joined by ",". A "," of
// a name is written full width, since the text is split at every ",".
std::string RecipientsText(const std::vector<Recipient>& list, bool email);

// A calendar date.
struct PickerDate {
  int year = 0, month = 0, day = 0;
  bool operator==(const PickerDate&) const = default;
};
// A real day of the years 100-9999 (what the date picker can show).
bool IsValidDate(const PickerDate& date);
// The time dialog's start from a delivery time text: the date (fields that
// are missing or no number take today's; an impossible date is today) and the
// hour and minute texts to select (empty selects none).
struct DeliveryStart {
  PickerDate date;
  std::string hour, minute;
  bool checked = false;
  bool operator==(const DeliveryStart&) const = default;
};
DeliveryStart ParseDeliveryTime(std::string_view text, const PickerDate& today);
// Whether the text in front of an angle-bracketed address is a delivery time
// rather than a name: digits in at least three fields split by "/" or ":"
// (blanks allowed), as the time dialog writes and reads it.
bool IsDeliveryTimeText(std::string_view text);
// "yyyy/mm/dd", then "/hhnn" when an hour is given; empty when not checked.
std::string DeliveryTimeText(bool checked, const PickerDate& date, std::string_view hour, std::string_view minute);

}  // namespace qv
