#include "core/data/AddressFunctions.h"

#include "core/data/PhoneBook.h"
#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "core/data/TextFunctions.h"
#include "platform/Cp932.h"

#include <unordered_map>

namespace qv {
namespace {

bool IsDialChar(char c) { return c == '#' || c == '*' || c == 'P' || (c >= '0' && c <= '9'); }

// The text after the first delim, trimmed; the text itself when there is none.
std::string AfterFirst(std::string_view s, std::string_view delim) {
  size_t at = FindDelim(s, delim);
  return at == std::string_view::npos ? std::string(s) : TrimText(s.substr(at + delim.size()));
}

std::string WithoutFinal(std::string s, char c) {
  if (!s.empty() && s.back() == c) s.pop_back();
  return s;
}

enum Column { kAddress = 0, kName = 1, kComment = 2 };

// Phone-book columns searched for an address: the mail addresses or the phones.
constexpr int kFirstPhone = 2, kFirstMail = 8, kAddressColumns = 6;

void FillCommentsFromPhoneBook(TCSVData& table, bool isEmail) {
  bool wanted = false;
  for (int r = 0; r < table.RowCount() && !wanted; ++r) wanted = table.GetCell(r, kComment).empty();
  TCSVData book;
  if (!wanted || !LoadPhoneBook(book)) return;
  // The first hit searching column by column, each from the top: every value
  // is keyed once to the first (column, row) that holds it, so each address
  // costs one look-up however large the book.
  const int first = isEmail ? kFirstMail : kFirstPhone;
  std::unordered_map<std::string, int> owner;
  for (int col = first; col < first + kAddressColumns; ++col)
    for (int b = 0; b < book.RowCount(); ++b) {
      std::string_view cell = book.GetCell(b, col);
      if (cell.empty()) continue;
      owner.emplace(isEmail ? TrimText(cell) : TrimText(NormalizePhoneNumber(cell)), b);
    }
  for (int r = 0; r < table.RowCount(); ++r) {
    if (!table.GetCell(r, kComment).empty()) continue;
    auto hit = owner.find(std::string(table.GetCell(r, kAddress)));
    if (hit == owner.end()) continue;
    std::string_view name = book.GetCell(hit->second, 1);
    table.SetCell(r, kComment, std::string(name.empty() ? book.GetCell(hit->second, 0) : name));
  }
}

}  // namespace

bool LoadPhoneBook(TCSVData& book) {
  return LoadPhoneBookIndex(GetDataFilePath(keys::AddressFile.name, keys::AddressFile.def), book);
}

bool IsPhoneNumberText(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!IsDialChar(c) && c != '-') return false;
  return true;
}

std::string NormalizePhoneNumber(std::string_view s) {
  std::string rest = AfterFirst(AfterFirst(s, ":"), ";");
  std::string out;
  for (size_t i = 0; i < rest.size();) {
    size_t n = cp932::CharLength(rest, i);
    if (n == 1 && IsDialChar(rest[i])) out += rest[i];
    i += n;
  }
  return out;
}

std::string StripServicePrefix(std::string_view s) {
  if (s.starts_with("184") || s.starts_with("186")) s.remove_prefix(3);
  size_t at = FindDelim(s, "##");
  return std::string(s.substr(0, at));
}

std::string RemoveHandsetPictographs(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    size_t n = cp932::CharLength(s, i);
    if (!(n == 2 && static_cast<unsigned char>(s[i]) == 0xF0)) out.append(s.substr(i, n));
    i += n;
  }
  return out;
}

bool IsAsciiPrintable(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    auto u = static_cast<unsigned char>(c);
    if (u < 32 || u > 126) return false;
  }
  return true;
}

void ResolveAddressNames(TCSVData& table, std::string_view text, bool isEmail, bool resolve, bool raw) {
  table.Clear();
  const int entries = CountDelims(text, ",") + 1;
  for (int e = 0; e < entries; ++e) {
    std::string entry = TrimText(GetField(text, ",", e));
    std::string name, comment;
    size_t paren = FindDelim(entry, "(");
    if (paren != std::string::npos) {
      comment = WithoutFinal(TrimText(std::string_view(entry).substr(paren + 1)), ')');
      entry = TrimText(std::string_view(entry).substr(0, paren));
    }
    std::string address = entry;
    size_t angle = FindDelim(entry, "<");
    if (angle != std::string::npos) {
      name = TrimText(std::string_view(entry).substr(0, angle));
      address = WithoutFinal(TrimText(std::string_view(entry).substr(angle + 1)), '>');
    }
    if (!raw) {
      if (isEmail) {
        address = TrimText(address);
        if (!IsAsciiPrintable(address)) continue;
      } else {
        if (!IsPhoneNumberText(address)) continue;
        address = NormalizePhoneNumber(address);
      }
    }
    if (address.empty()) continue;
    int r = table.AddRow();
    table.SetCell(r, kAddress, address);
    table.SetCell(r, kName, name);
    table.SetCell(r, kComment, comment);
  }
  if (resolve) FillCommentsFromPhoneBook(table, isEmail);
}

std::string ParseAddressList(std::string_view text, bool isEmail, bool withNames, bool withComments,
                             std::string_view exclude, bool resolve, bool raw) {
  std::string excluded;
  if (!TrimText(exclude).empty()) {
    TCSVData own;
    ResolveAddressNames(own, exclude, isEmail, false, raw);
    excluded = own.GetCell(0, kAddress);
  }
  TCSVData table;
  ResolveAddressNames(table, text, isEmail, resolve, raw);
  std::string out;
  for (int r = 0; r < table.RowCount(); ++r) {
    std::string_view address = table.GetCell(r, kAddress), name = table.GetCell(r, kName),
                     comment = table.GetCell(r, kComment);
    if (!excluded.empty() && address == excluded) continue;
    if ((isEmail || raw) && withNames && !name.empty()) {
      out.append(name);
      out += '<';
      out.append(address);
      out += '>';
    } else {
      out.append(address);
    }
    if (withComments && !comment.empty()) {
      out += '(';
      out.append(comment);
      out += ')';
    }
    out += ',';
  }
  if (!out.empty()) out.pop_back();
  return out;
}

}  // namespace qv
