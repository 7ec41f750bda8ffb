#include "plugins/mail/pickers/MailAddressLists.h"

#include "core/data/AddressFunctions.h"
#include "core/data/TextFunctions.h"

#include <chrono>
#include <cstdio>

namespace qv {
namespace {

// Not empty once trimmed (TrimText's blanks and control characters).
bool HasText(std::string_view cell) {
  for (char c : cell)
    if (static_cast<unsigned char>(c) > ' ') return true;
  return false;
}

// A cell's n-th (1-6) number of a block starting at first.
std::string_view NthCell(const TCSVData& book, int row, int first, int n) { return book.GetCell(row, first + n - 1); }

// Digits only (at most nine, so the number fits), else -1.
int NumberField(std::string_view s) {
  if (s.empty() || s.size() > 9) return -1;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

std::string TwoDigits(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

// A two-character item text of 00..limit, else empty (the item that is not there).
std::string ItemText(std::string_view s, int limit) {
  if (s.size() != 2) return {};
  const int v = NumberField(s);
  return v >= 0 && v <= limit ? std::string(s) : std::string();
}

}  // namespace

std::vector<PhoneBookItem> PhoneBookItems(const TCSVData& book, bool email) {
  const int first = email ? kPbMail1 : kPbPhone1;
  std::vector<PhoneBookItem> items;
  const int rows = book.RowCount();
  items.reserve(static_cast<size_t>(rows));
  for (int r = 0; r < rows; ++r) {
    // The first number decides whether the row is listed at all.
    if (!HasText(NthCell(book, r, first, 1))) continue;
    items.push_back({r, 1});
    for (int n = 2; n <= kPbNumbers; ++n)
      if (HasText(NthCell(book, r, first, n))) items.push_back({r, n});
  }
  return items;
}

std::string_view ItemName(const TCSVData& book, const PhoneBookItem& item) {
  std::string_view name = book.GetCell(item.row, kPbKanji);
  return name.empty() ? book.GetCell(item.row, kPbKana) : name;
}

std::string_view ItemPhone(const TCSVData& book, const PhoneBookItem& item) {
  return NthCell(book, item.row, kPbPhone1, item.n);
}

std::string_view ItemMail(const TCSVData& book, const PhoneBookItem& item) {
  return NthCell(book, item.row, kPbMail1, item.n);
}

std::string ItemReading(const TCSVData& book, const PhoneBookItem& item) {
  std::string reading(book.GetCell(item.row, kPbKana));
  if (item.n > 1) reading += static_cast<char>('0' + item.n);
  return reading;
}

std::vector<Recipient> ParseRecipients(std::string_view text, bool email) {
  // Raw, so that nothing the field holds is dropped; no lookup, so that a
  // recipient comes back as it went in.
  TCSVData table;
  ResolveAddressNames(table, text, email, false, true);
  std::vector<Recipient> list;
  for (int r = 0; r < table.RowCount(); ++r) {
    // Blanks at an address's ends are no part of it (a raw split keeps them
    // in front of a closing ">").
    std::string address = TrimText(table.GetCell(r, 0));
    if (!address.empty()) list.push_back({std::string(table.GetCell(r, 2)), address, std::string(table.GetCell(r, 1))});
  }
  return list;
}

std::string RecipientsText(const std::vector<Recipient>& list, bool email) {
  std::string out;
  for (const Recipient& r : list) {
    if (!out.empty()) out += ',';
    std::string address = r.address;
    if (!email) {
      // What is no phone number at all stays as it was rather than vanish.
      std::string number = NormalizePhoneNumber(r.address);
      if (!number.empty()) address = number;
    }
    // An address holding "<" keeps its brackets, or it would read back cut there.
    if (!r.time.empty() && email)
      out += r.time + "<" + address + ">";
    else if (FindDelim(address, "<") != std::string::npos)
      out += "<" + address + ">";
    else
      out += address;
    if (r.name.empty()) continue;
    out += '(';
    // A comma can never be a trail byte (they start at 0x40).
    for (char c : r.name) {
      if (c == ',')
        out += "\x81\x43";  // ，
      else
        out += c;
    }
    out += ')';
  }
  return out;
}

bool IsValidDate(const PickerDate& date) {
  if (date.year < 100 || date.year > 9999 || date.month < 1 || date.month > 12 || date.day < 1 || date.day > 31) return false;
  using namespace std::chrono;
  return year_month_day{year{date.year}, month{static_cast<unsigned>(date.month)}, day{static_cast<unsigned>(date.day)}}.ok();
}

DeliveryStart ParseDeliveryTime(std::string_view text, const PickerDate& today) {
  DeliveryStart start;
  start.checked = !text.empty();
  std::string value;
  for (char c : text) {
    if (c == ' ') continue;
    value += c == ':' ? '/' : c;
  }
  auto field = [&](int index, int fallback) {
    const int v = NumberField(GetField(value, "/", index));
    return v < 0 ? fallback : v;
  };
  start.date = {field(0, today.year), field(1, today.month), field(2, today.day)};
  if (!IsValidDate(start.date)) start.date = today;
  // The hour is the field's first two characters, the minute the next two;
  // each selects its item alone, as an hour written without a minute is.
  const std::string time = CountDelims(value, "/") >= 3 ? GetField(value, "/", 3) : std::string();
  const std::string_view t(time);
  start.hour = ItemText(t.substr(0, 2), 23);
  if (t.size() > 2) start.minute = ItemText(t.substr(2, 2), 59);
  return start;
}

bool IsDeliveryTimeText(std::string_view text) {
  int separators = 0;
  bool digits = false;
  for (char c : text) {
    if (c >= '0' && c <= '9')
      digits = true;
    else if (c == '/' || c == ':')
      ++separators;
    else if (c != ' ')
      return false;
  }
  return digits && separators >= 2;
}

std::string DeliveryTimeText(bool checked, const PickerDate& date, std::string_view hour, std::string_view minute) {
  if (!checked) return {};
  std::string text = std::to_string(date.year);
  text.insert(0, text.size() < 4 ? 4 - text.size() : 0, '0');
  text += "/" + TwoDigits(date.month) + "/" + TwoDigits(date.day);
  if (!TrimText(hour).empty()) text += "/" + std::string(hour) + std::string(minute);
  return text;
}

}  // namespace qv
