#include "core/data/StoredMail.h"

#include "core/data/TextFunctions.h"
#include "platform/Cp932.h"
#include "core/data/MailForm.h"

#include <vector>

namespace qv {

namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string Quoted(std::string_view name) { return "\"" + std::string(name) + "\""; }

// The remembered Content-Type without its Name parameter (the part gets its
// own), other parameters kept.
std::string ContentTypeOf(std::string_view headers) {
  std::vector<std::string> params;
  SplitHeaderParams(GetHeaderValue(headers, "Content-Type"), params);
  if (params.empty()) return {};
  std::string type = params[0];
  if (type.find('=') != std::string::npos) return {};
  for (size_t i = 1; i < params.size(); ++i) {
    std::string name = TrimText(std::string_view(params[i]).substr(0, params[i].find('=')));
    if (!SameTextNoCase(name, "Name")) type += ";" + params[i];
  }
  return type;
}

// Whether the part's data goes as it is (not Base64), so that its lines
// count when the boundary is chosen.
bool WrittenAsText(const MailAttachment& item) {
  std::string cte = TrimText(GetHeaderValue(item.headers, "Content-Transfer-Encoding"));
  if (!cte.empty()) return UpperAscii(cte) != "BASE64";
  if (!ContentTypeOf(item.headers).empty()) return true;
  int kind = MediaFileKind(item.name);
  return kind == kMediaText || kind == kMediaMixCtrl;
}

void AppendDXLine(std::string& out, std::string_view headers, std::string_view name) {
  std::string value = TrimText(GetHeaderValue(headers, name));
  if (!value.empty()) out += std::string(name) + ": " + value + std::string(kCrLf);
}

// Each line beginning with "." gets one more; every line ends with CR LF.
std::string DotStuffed(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 64 + 16);
  for (auto line : SplitLines(text)) {
    if (!line.empty() && line[0] == '.') out += '.';
    out += line;
    out += kCrLf;
  }
  return out;
}

// The text split at its first empty line, one final CR LF off the body.
// Text without an empty line is all header.
void SplitHeadAndBody(std::string_view text, std::string& head, std::string& body) {
  size_t at = text.starts_with(kCrLf) ? 0 : text.find("\r\n\r\n");
  if (at == std::string_view::npos) {
    head = std::string(text);
    body.clear();
    return;
  }
  size_t bodyStart = at == 0 ? 2 : at + 4;
  head = std::string(text.substr(0, at == 0 ? 0 : at + 2));
  std::string_view rest = text.substr(bodyStart);
  if (rest.ends_with(kCrLf)) rest.remove_suffix(2);
  body = std::string(rest);
}

std::string JoinLines(const std::vector<std::string_view>& lines, size_t from, size_t to) {
  std::string out;
  size_t size = 0;
  for (size_t i = from; i < to; ++i) size += lines[i].size() + 2;
  out.reserve(size);
  for (size_t i = from; i < to; ++i) {
    out += lines[i];
    out += kCrLf;
  }
  return out;
}

}  // namespace

std::string EncodeAttachmentPart(const MailAttachment& item) {
  const std::string& h = item.headers;
  const std::string cte = TrimText(GetHeaderValue(h, "Content-Transfer-Encoding"));
  std::string ct = ContentTypeOf(h);
  const int kind = MediaFileKind(item.name);
  const std::string name = Quoted(item.name);
  std::string head;
  bool base64 = true;
  if (UpperAscii(cte) == "BASE64") {
    if (ct.empty())
      ct = kind == kMediaJpeg ? "Image/Jpeg" : kind == kMediaRingtone ? "Audio/X-KdxMidi" : "Application/Octet-stream";
    head = "Content-Type: " + ct + ";Name=" + name + "\r\nContent-Transfer-Encoding: Base64\r\n";
  } else if (!cte.empty()) {
    if (ct.empty()) ct = "Application/Octet-stream";
    head = "Content-Type: " + ct + ";Name=" + name + "\r\nContent-Transfer-Encoding: " + cte + "\r\n";
    base64 = false;
  } else if (!ct.empty()) {
    head = "Content-Type: " + ct + ";Name=" + name + "\r\n";
    base64 = false;
  } else {
    switch (kind) {
      case kMediaText:
        head = "Content-Type: Text/Plain;Name=" + name + "\r\n";
        base64 = false;
        break;
      case kMediaMixCtrl:
        head = "Content-Type: X-KmailDX/X-MMCTRL;Name=" + name + "\r\n";
        base64 = false;
        break;
      case kMediaBitmap:
        head = "Content-Type: Application/Octet-stream;Name=" + name + "\r\nContent-Transfer-Encoding: Base64\r\n";
        AppendDXLine(head, h, "X-KmailDX-Info");
        AppendDXLine(head, h, "X-KmailDX-CBMP");
        AppendDXLine(head, h, "X-KmailDX-Animation");
        break;
      case kMediaJpeg:
        head = "Content-Type: Image/Jpeg;Name=" + name + "\r\nContent-Transfer-Encoding: Base64\r\n";
        break;
      case kMediaRingtone:
        head = "Content-Type: Audio/X-KdxMidi;Name=" + name + "\r\nContent-Transfer-Encoding: Base64\r\n";
        break;
      default:
        head = "Content-Type: Application/Octet-stream;Name=" + name + "\r\nContent-Transfer-Encoding: Base64\r\n";
        break;
    }
  }
  return head + std::string(kCrLf) + (base64 ? Base64Encode(item.bytes) : item.bytes) + std::string(kCrLf);
}

int EncodeStoredMail(const OutgoingMail& mail, std::string& text) {
  text.clear();
  const bool attached = mail.attachments && !mail.attachments->Empty();
  std::string head = "To: " + mail.to + "\r\n";
  if (mail.email) {
    if (!mail.cc.empty()) head += "CC: " + mail.cc + "\r\n";
    if (!mail.bcc.empty()) head += "BCC: " + mail.bcc + "\r\n";
    std::string replyTo = TrimText(mail.replyTo);
    if (!replyTo.empty()) head += "Reply-to: " + replyTo + "\r\n";
  }
  head += "Subject: " + mail.subject + "\r\n";
  head += "X-Mailer: " + std::string(kMailer) + "\r\n";

  std::string part;
  if (mail.plainBody) {
    part = "Content-Type: Text/Plain\r\n\r\n";
    std::string body = mail.body.empty() && attached ? std::string(" ") : mail.body;
    if (!body.empty()) part += body + std::string(kCrLf);
  } else {
    part = "Content-Type: Text/X-KmailDX\r\n\r\n" + mail.body + std::string(kCrLf);
  }
  if (head.size() + part.size() > kMaxHeadAndBody) return kWarnHeadTooLong;

  std::string whole;
  if (attached) {
    std::string asText = part;
    std::vector<std::string> parts;
    parts.reserve(mail.attachments->Count());
    for (const auto& item : mail.attachments->Items()) {
      parts.push_back(EncodeAttachmentPart(item));
      if (WrittenAsText(item)) asText += item.bytes + std::string(kCrLf);
    }
    const std::string boundary = MakeBoundary(asText, kBoundarySeed);
    const std::string delimiter = "--" + boundary + "\r\n";
    head += "Content-Type: Multipart/Mixed;Boundary=" + Quoted(boundary) + "\r\n";
    whole = head + std::string(kCrLf) + delimiter + part;
    for (const auto& p : parts) whole += delimiter + p;
    whole += "--" + boundary + "--\r\n";
  } else {
    whole = head + part;
  }
  std::string stuffed = DotStuffed(whole);
  if (mail.email && stuffed.size() > kMaxEMailSize) return kWarnEMailTooLarge;
  text = std::move(stuffed);
  return 0;
}

std::string WithRecipient(std::string_view text, std::string_view recipient) {
  size_t end = text.find(kCrLf);
  std::string rest = end == std::string_view::npos ? std::string(kCrLf) : std::string(text.substr(end));
  return "To: " + std::string(recipient) + rest;
}

namespace {

// Attachments go into list when one is given, read through pictures.
void ParseStoredMailInto(std::string_view text, StoredMailFields& mail, AttachmentList* list,
                         AttachmentPictures* pictures) {
  mail = StoredMailFields{};
  if (list) list->Clear();
  // One dot comes off every line that begins with two.
  std::string unstuffed;
  unstuffed.reserve(text.size());
  for (auto line : SplitLines(text)) {
    if (line.starts_with("..")) line.remove_prefix(1);
    unstuffed += line;
    unstuffed += kCrLf;
  }
  std::string head, body;
  // Direct mails used to be stored as a From line straight followed by their
  // text: the header ends where its lines end, blank line or not.
  const size_t headLength = LeadingHeaderLength(unstuffed);
  if (headLength > 0 && headLength < unstuffed.size() && !std::string_view(unstuffed).substr(headLength).starts_with(kCrLf)) {
    head = unstuffed.substr(0, headLength);
    std::string_view rest = std::string_view(unstuffed).substr(headLength);
    if (rest.ends_with(kCrLf)) rest.remove_suffix(2);
    body = std::string(rest);
  } else {
    SplitHeadAndBody(unstuffed, head, body);
  }

  std::vector<std::string> fields;
  ParseHeaderLines(fields, head);
  auto value = [&fields](std::string_view name) {
    for (const auto& f : fields) {
      size_t eq = f.find('=');
      if (SameTextNoCase(std::string_view(f).substr(0, eq), name)) return f.substr(eq + 1);
    }
    return std::string();
  };
  mail.from = value("From");
  mail.to = value("To");
  mail.cc = value("CC");
  mail.bcc = value("BCC");
  mail.replyTo = value("Reply-to");
  mail.subject = TrimText(value("Subject"));
  mail.date = TrimText(value("Date"));

  std::string bodyHead = head;
  std::string type = UpperAscii(GetHeaderValueN(head, "Content-Type", 0));
  std::string boundary;
  if (type == "MULTIPART/MIXED" && GetHeaderParam(head, "Content-Type", "Boundary", boundary) && !boundary.empty()) {
    const std::string open = "--" + boundary, close = open + "--";
    const std::string whole = std::move(body);
    body.clear();
    const auto lines = SplitLines(whole);
    bool seenDelimiter = false, closed = false, first = true;
    size_t start = 0;
    auto takePart = [&](size_t from, size_t to) {
      std::string partHead, partBody;
      SplitHeadAndBody(JoinLines(lines, from, to), partHead, partBody);
      if (first) {
        first = false;
        bodyHead = partHead;
        type = UpperAscii(GetHeaderValueN(partHead, "Content-Type", 0));
        body = partBody;
      } else if (list) {
        AddAttachmentPart(partHead, partBody, *list, -1, *pictures);
      }
    };
    for (size_t i = 0; i < lines.size() && !closed; ++i) {
      const bool isClose = lines[i] == close;
      if (!isClose && lines[i] != open) continue;
      if (seenDelimiter) takePart(start, i);
      seenDelimiter = true;
      closed = isClose;
      start = i + 1;
    }
    if (seenDelimiter && !closed && lines.size() - start > 2) takePart(start, lines.size());
    // Without a single delimiter the text is shown as it stands.
    if (!seenDelimiter) body = whole;
  }

  if (type == "TEXT/X-KMAILDX") {
    mail.markup = true;
  } else if (type != "TEXT/PLAIN" && IsBase64Part(bodyHead)) {
    if (list) AddAttachmentPart(bodyHead, body, *list, 0, *pictures);
    body.clear();
  }
  mail.body = std::move(body);
}

}  // namespace

void ParseStoredMail(std::string_view text, StoredMailFields& mail) { ParseStoredMailInto(text, mail, nullptr, nullptr); }

void ParseStoredMail(std::string_view text, StoredMailFields& mail, AttachmentList& list, AttachmentPictures& pictures) {
  ParseStoredMailInto(text, mail, &list, &pictures);
}

}  // namespace qv
