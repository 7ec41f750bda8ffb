#include "plugins/mail/MailAnswer.h"

#include "core/AddressFunctions.h"
#include "core/Settings.h"
#include "core/SettingsKeys.h"
#include "core/TextFunctions.h"
#include "platform/Cp932.h"

namespace qv::mail {

namespace {

bool BeginsNoCase(std::string_view subject, std::string_view prefix) {
  std::string t = TrimText(subject);
  return t.size() >= prefix.size() && SameTextNoCase(std::string_view(t).substr(0, prefix.size()), prefix);
}

}  // namespace

std::string NormaliseRecipients(std::string_view text, bool email, std::string_view exclude) {
  return ParseAddressList(text, email, true, false, exclude, false, false);
}

std::string ReplySubject(std::string_view subject) {
  return BeginsNoCase(subject, "RE:") ? std::string(subject) : "Re: " + std::string(subject);
}

std::string ForwardSubject(std::string_view subject) {
  return BeginsNoCase(subject, "FW:") ? std::string(subject) : "Fw: " + std::string(subject);
}

AnswerRecipients ReplyRecipients(const AnsweredMail& mail, int mode, bool normaliseBcc) {
  AnswerRecipients out;
  const std::string own = TrimText(IniRead(keys::MailAddress));
  if (mail.email) {
    if (!own.empty() && IniReadBool(keys::BCCAddSelf)) out.bcc = normaliseBcc ? NormaliseRecipients(own, true) : own;
    if (mode == kAnswerReplyAll) {
      out.cc = NormaliseRecipients(mail.cc, true, own);
      out.to = NormaliseRecipients(mail.to, true, own);
    }
  }
  const std::string& first = mail.replyTo.empty() ? mail.from : mail.replyTo;
  out.to = NormaliseRecipients(first + "," + out.to, mail.email);
  return out;
}

bool AnswerQuotes(int mode) { return mode == kAnswerForward || IniReadBool(keys::Excerpt); }

bool QuoteBody(std::string_view body, std::string& quoted) {
  std::string text;
  if (IniReadBool(keys::QuoteMark)) {
    bool first = true;
    for (auto line : SplitLines(body)) {
      if (!first) text += "\r\n";
      first = false;
      text += "> ";
      text += line;
    }
  } else {
    text = std::string(body);
  }
  quoted = "\r\n\r\n" + text;
  if (quoted.size() <= kMaxQuote) return false;
  // Cut before the character that would cross the limit, never inside one.
  size_t end = 0;
  while (end < quoted.size()) {
    size_t len = cp932::CharLength(quoted, end);
    if (end + len > kMaxQuote) break;
    end += len;
  }
  quoted.resize(end);
  return true;
}

}  // namespace qv::mail
