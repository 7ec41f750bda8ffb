#pragma once
// What the list window fills into a reply or a forward: the subject with its
// prefix, the recipients and the quoted body. Text is CP932.
#include "core/data/CSVData.h"

#include <string>
#include <string_view>

namespace qv {

// The fields of a stored mail that a reply, a forward or a viewer needs.
struct StoredMailFields {
  std::string from, to, cc, bcc, replyTo, subject, date, body;
  bool markup = false;  // the body is decorated-mail markup, not plain text
};

// A handset history mail (kinds 8 and 9): the body is the handset text of its
// first stored line; To, From and Subject come from the index row.
StoredMailFields HandsetHistoryFields(const TCSVRow& row, std::string_view text);

// "Re: " + subject, unless the trimmed subject begins with "RE:" in any case.
std::string ReplySubject(std::string_view subject);
// "Fw: " + subject, unless the trimmed subject begins with "FW:" in any case.
std::string ForwardSubject(std::string_view subject);

struct ReplyAddresses {
  std::string to, cc, bcc;
};
// The recipients of a reply (toAll: reply to all) to the mail, for the own
// address [Mail] Address and [Mail] BCCAddSelf.
ReplyAddresses ReplyRecipients(const StoredMailFields& mail, bool isEmail, bool toAll, std::string_view ownAddress,
                               bool bccSelf);

// The longest body a reply or forward takes over, in bytes.
inline constexpr size_t kMaxQuoteBytes = 1800;
// The body quoted: each line marked "> " when quoteMark, two empty lines
// above, cut to kMaxQuoteBytes without splitting a character; cut tells
// whether anything was cut.
std::string QuoteBody(std::string_view body, bool quoteMark, bool& cut);
// The compose body of a reply (mode 1, 2) or forward (mode 3) by the settings
// [Mail] Excerpt and QuoteMark: a forward always quotes, a reply only with
// Excerpt; cut tells whether the quote was cut (the mail plug-in warns).
std::string ReplyBody(int mode, std::string_view body, bool& cut);

}  // namespace qv
