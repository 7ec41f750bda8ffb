#include "core/data/MailReply.h"

#include "core/data/AddressFunctions.h"
#include "core/data/HandsetExchange.h"
#include "core/data/MailStore.h"
#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "platform/Cp932.h"
#include "platform/Text.h"

namespace qv {
namespace {

// Whether the trimmed text begins with an ASCII prefix, ignoring case.
bool HasPrefix(std::string_view text, std::string_view upperPrefix) {
  text = Trim(text);
  if (text.size() < upperPrefix.size()) return false;
  for (size_t i = 0; i < upperPrefix.size(); ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upperPrefix[i]) return false;
  }
  return true;
}

std::string Normalise(std::string_view list, bool isEmail, std::string_view exclude) {
  return ParseAddressList(list, isEmail, true, true, exclude, false, false);
}

std::string Cell(const TCSVRow& row, int col) {
  return static_cast<size_t>(col) < row.size() ? row[static_cast<size_t>(col)] : std::string();
}

}  // namespace

StoredMailFields HandsetHistoryFields(const TCSVRow& row, std::string_view text) {
  StoredMailFields f;
  const size_t eol = text.find("\r\n");
  f.body = DecodeHandsetText(text.substr(0, eol));
  f.to = Cell(row, kColTo);
  f.from = Cell(row, kColFrom);
  f.subject = Cell(row, kColSubject);
  return f;
}

std::string ReplySubject(std::string_view subject) {
  return HasPrefix(subject, "RE:") ? std::string(subject) : "Re: " + std::string(subject);
}

std::string ForwardSubject(std::string_view subject) {
  return HasPrefix(subject, "FW:") ? std::string(subject) : "Fw: " + std::string(subject);
}

ReplyAddresses ReplyRecipients(const StoredMailFields& mail, bool isEmail, bool toAll, std::string_view ownAddress,
                               bool bccSelf) {
  ReplyAddresses out;
  const std::string own(Trim(ownAddress));
  if (isEmail) {
    if (!own.empty() && bccSelf) out.bcc = Normalise(own, true, "");
    if (toAll) {
      out.cc = Normalise(mail.cc, true, own);
      out.to = Normalise(mail.to, true, own);
    }
  }
  const std::string& first = mail.replyTo.empty() ? mail.from : mail.replyTo;
  out.to = Normalise(first + "," + out.to, isEmail, "");
  return out;
}

std::string QuoteBody(std::string_view body, bool quoteMark, bool& cut) {
  std::string quoted;
  if (quoteMark) {
    size_t start = 0;
    while (start <= body.size()) {
      size_t eol = body.find("\r\n", start);
      std::string_view line = body.substr(start, eol == std::string_view::npos ? std::string_view::npos : eol - start);
      quoted += "> ";
      quoted += line;
      if (eol == std::string_view::npos) break;
      quoted += "\r\n";
      start = eol + 2;
    }
  } else {
    quoted = body;
  }
  quoted = "\r\n\r\n" + quoted;
  cut = quoted.size() > kMaxQuoteBytes;
  if (cut) {
    // Byte 1800 that starts a double-byte character goes with it.
    size_t keep = kMaxQuoteBytes;
    if (!cp932::IsTrailPosition(quoted, keep - 1) && cp932::IsLeadByte(quoted[keep - 1])) --keep;
    quoted.resize(keep);
  }
  return quoted;
}

std::string ReplyBody(int mode, std::string_view body, bool& cut) {
  cut = false;
  const bool forward = mode == 3;
  if (!forward && !IniReadBool(keys::Excerpt.section, keys::Excerpt.name, false)) return {};
  return QuoteBody(body, IniReadBool(keys::QuoteMark.section, keys::QuoteMark.name, false), cut);
}

}  // namespace qv
