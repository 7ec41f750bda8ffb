#pragma once
// Answering and forwarding: the subject prefixes, the recipients of a reply
// and the quoted body, shared by the list window and the viewer. Text is CP932.
#include <string>
#include <string_view>

namespace qv::mail {

enum AnswerMode : int { kAnswerOpen = 0, kAnswerReply = 1, kAnswerReplyAll = 2, kAnswerForward = 3 };

// A recipient list in the compose window's normal form (names kept, no
// comments): mail addresses for an e-mail, phone numbers otherwise.
std::string NormaliseRecipients(std::string_view text, bool email, std::string_view exclude = {});

// "Re: " / "Fw: " in front unless the trimmed subject already begins with
// "RE:" / "FW:" in any letter case.
std::string ReplySubject(std::string_view subject);
std::string ForwardSubject(std::string_view subject);

struct AnsweredMail {
  bool email = false;
  std::string from, to, cc, replyTo;
};
struct AnswerRecipients {
  std::string to, cc, bcc;
};
// The recipients of a reply (mode 1) or a reply to all (mode 2), with the
// [Mail] Address and BCCAddSelf settings; normaliseBcc as the caller shows it.
AnswerRecipients ReplyRecipients(const AnsweredMail& mail, int mode, bool normaliseBcc);

// The body of an answer that quotes: with [Mail] QuoteMark every line gets
// "> ", then two line breaks go in front; over 1800 bytes it is cut at a
// character boundary. Returns whether it was cut.
bool QuoteBody(std::string_view body, std::string& quoted);
// Whether an answer in this mode quotes ([Mail] Excerpt, or a forward).
bool AnswerQuotes(int mode);

inline constexpr size_t kMaxQuote = 1800;

}  // namespace qv::mail
