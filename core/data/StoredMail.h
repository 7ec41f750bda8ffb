#pragma once
// The stored mail form: the text a mail folder entry of kinds 1-7 holds.
// Header lines, then a Text/Plain or decorated body, or Multipart/Mixed with
// the body part first and one part per attachment; lines beginning with "."
// get one more dot. The compose window writes it, the launcher sends it
// unchanged and the viewer reads it back. Text is CP932.
#include "core/data/MailAttachments.h"
#include "core/data/MailReply.h"

#include <string>
#include <string_view>

namespace qv {

inline constexpr std::string_view kMailer = "Quorvel for Windows v1.0.1 (BRV)";
inline constexpr std::string_view kBoundarySeed = "kmaildx";
// Header text plus body part may hold this many bytes.
inline constexpr size_t kMaxHeadAndBody = 2299;
// An e-mail's whole text may hold this many bytes.
inline constexpr size_t kMaxEMailSize = 511999;

// Warnings the host shows as W0 + code.
enum MailWarning : int {
  kWarnToInvalid = 2001,
  kWarnToEmpty = 2002,
  kWarnHeadTooLong = 2003,
  kWarnEMailTooLarge = 2004,
  kWarnQuoteCut = 2005,
};

struct OutgoingMail {
  bool email = true;
  // Recipient lists in normal form; a direct mail's To is replaced by each
  // single recipient when it is stored.
  std::string to, cc, bcc;
  std::string replyTo;  // e-mail only
  std::string subject;
  bool plainBody = true;
  std::string body;  // plain text or markup
  const AttachmentList* attachments = nullptr;
};

// The attachment's part: its header lines, an empty line, the data and CR LF.
std::string EncodeAttachmentPart(const MailAttachment& item);

// Builds the stored text: its lines, dot-stuffed, each ended by CR LF.
// Returns 0, or kWarnHeadTooLong / kWarnEMailTooLarge with text empty.
int EncodeStoredMail(const OutgoingMail& mail, std::string& text);

// Gives the stored text a new first line "To: " + recipient (a direct mail is
// stored once per recipient).
std::string WithRecipient(std::string_view text, std::string_view recipient);

// Reads a stored mail; damaged text gives what can be read from it. The
// second form also puts the attachments into list (cleared first), reading
// their pictures through pictures.
void ParseStoredMail(std::string_view text, StoredMailFields& mail);
void ParseStoredMail(std::string_view text, StoredMailFields& mail, AttachmentList& list, AttachmentPictures& pictures);

}  // namespace qv
