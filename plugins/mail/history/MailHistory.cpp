#include "plugins/mail/history/MailHistory.h"

#include "core/data/AddressFunctions.h"
#include "core/data/HandsetExchange.h"
#include "core/data/Settings.h"
#include "platform/Cp932.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <cstdio>
#include <optional>
#include <string_view>

namespace qv {
namespace {

int HexByte(std::string_view hex, size_t pos) {
  if (pos + 2 > hex.size()) return -1;
  int v = 0;
  for (size_t i = pos; i < pos + 2; ++i) {
    const char c = hex[i];
    const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

std::string Hex2(size_t v) {
  char buf[4];
  std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(v & 0xFF));
  return buf;
}

int Parity(int flag) { return (flag / HandsetFrameLine::kParity) & 1; }

// The joined payload of each record whose lines are all sound. A damaged line
// spoils the record it stands in: the lines after it that still carry that
// record's parity are its rest, up to its last line; a line of the other
// parity begins the next record (records alternate their parity).
std::vector<std::string> RecordsOf(const std::vector<std::string>& lines, int& damaged) {
  std::vector<std::string> records;
  std::string payload;
  bool open = false;         // a record is being joined
  int parity = -1;           // of the open record
  int lastParity = -1;       // of the last record that ended
  bool dropping = false;     // skipping the rest of a damaged record
  int dropParity = -1;       // its parity, when known
  for (const std::string& line : lines) {
    if (Trim(line).empty()) continue;
    HandsetFrameLine frame;
    if (!ParseHandsetFrameLine(Trim(line), frame)) {
      if (!dropping) {
        ++damaged;
        dropping = true;
        dropParity = open ? parity : lastParity >= 0 ? 1 - lastParity : -1;
      }
      open = false;
      payload.clear();
      continue;
    }
    const int p = Parity(frame.flag);
    const bool last = (frame.flag & HandsetFrameLine::kLastLine) != 0;
    if (dropping) {
      if (dropParity < 0 || p == dropParity) {
        if (last) {
          dropping = false;
          lastParity = p;
        }
        continue;
      }
      dropping = false;
    }
    if (open && p != parity) {
      // The record before lost its last line.
      ++damaged;
      payload.clear();
      open = false;
    }
    if (!open) {
      open = true;
      parity = p;
    }
    payload += frame.payload;
    if (last) {
      records.push_back(std::move(payload));
      payload.clear();
      open = false;
      lastParity = p;
    }
  }
  if (open || dropping) ++damaged;
  return records;
}

// Counted chunks that end exactly with the hex (or at a zero count).
bool ChunksWhole(std::string_view hex) {
  size_t pos = 0;
  while (pos < hex.size()) {
    const int n = HexByte(hex, pos);
    if (n < 0) return false;
    if (n == 0) return true;
    pos += 2 + 2 * static_cast<size_t>(n);
    if (pos > hex.size()) return false;
  }
  return true;
}

enum class Decoded { Mail, NoMail, Damaged };

Decoded DecodeRecord(std::string_view payload, HistoryMail& mail) {
  std::vector<HandsetItem> items;
  if (!SplitTLVHex(payload, items)) return Decoded::Damaged;
  uint16_t tag = 0, before = 0;
  std::optional<std::string> value;
  for (const HandsetItem& item : items) {
    const uint16_t t = static_cast<uint16_t>((HexByte(item, 0) << 8) | HexByte(item, 2));
    if (t == kTagKmail || t == kTagKmailDX || t == kTagBreeze) {
      tag = t;
      // A long DX mail goes on in further items of its tag.
      if (value && before == kTagKmailDX)
        *value += item.substr(4);
      else if (!value)
        value = item.substr(4);
    }
    before = t;
  }
  if (!value) return Decoded::NoMail;
  HandsetRecordHeader h;
  std::string rest;
  if (!DecodeRecordHeader(*value, h, rest)) return Decoded::Damaged;
  mail.outgoing = h.direction != 0;
  if (tag == kTagKmailDX) {
    if (!ChunksWhole(rest)) return Decoded::Damaged;
    mail.text = HexFieldToText(rest);
    PrepareReceivedMail(mail.row, mail.text, h.kind, h.handsetFlag, h.unread, h.isProtected, h.direction,
                        h.boxNumber, h.date, "");
    return mail.text.empty() ? Decoded::NoMail : Decoded::Mail;
  }
  // One byte L, L bytes of the number, then the text's byte count.
  const int length = HexByte(rest, 0);
  const size_t textAt = 2 + 2 * static_cast<size_t>(std::max(length, 0)) + 2;
  if (length < 0 || textAt > rest.size()) return Decoded::Damaged;
  const std::string peer = DecodePhoneNumber(0, std::string_view(rest).substr(2, textAt - 4));
  const bool breeze = tag == kTagBreeze;
  // The address columns take the bare number (a "分計ON; " in front is no
  // phone number to them); the extra column keeps the peer as the handset had it.
  const std::string number = NormalizePhoneNumber(peer);
  BuildIndexRow(mail.row, breeze ? 9 : 8, h.handsetFlag, h.unread, h.isProtected, h.direction, h.boxNumber, 0,
                mail.outgoing ? "" : number, mail.outgoing ? number : "", Sjis(breeze ? "ブリーズメール" : "Kメール"),
                h.date, peer);
  // The handset text stays in its code until the mail is opened.
  mail.text = rest.substr(textAt) + "\r\n";
  return Decoded::Mail;
}

// Appends the mails bound for one folder in one opening; counts what got in.
void StoreMails(std::string_view folder, const std::vector<const HistoryMail*>& mails, const RetryPolicy& retry,
                HistoryImport& result) {
  if (mails.empty()) return;
  MailFolder f;
  int stored = 0;
  if (f.Open(folder, retry)) {
    std::string id;
    for (const HistoryMail* mail : mails)
      if (AppendMessage(f, mail->text, mail->row, id) && !id.empty()) ++stored;
    if (stored > 0 && !f.SaveIndex()) stored = 0;
  }
  result.stored += stored;
  result.notStored += static_cast<int>(mails.size()) - stored;
}

int CellNumber(const TCSVData& index, int row, int col) { return NumberOrZero(Trim(IndexCell(index, row, col))); }

std::string HistoryName(bool dx) { return Sjis(dx ? "KメールDX履歴" : "Kメール履歴"); }

}  // namespace

std::vector<HistoryMail> DecodeHistoryLines(const std::vector<std::string>& lines, int& damaged) {
  std::vector<HistoryMail> mails;
  for (const std::string& payload : RecordsOf(lines, damaged)) {
    HistoryMail mail;
    switch (DecodeRecord(payload, mail)) {
      case Decoded::Mail: mails.push_back(std::move(mail)); break;
      case Decoded::Damaged: ++damaged; break;
      case Decoded::NoMail: break;
    }
  }
  return mails;
}

HistoryImport ImportHistoryFile(const std::filesystem::path& file, const RetryPolicy& retry) {
  HistoryImport result;
  std::error_code ec;
  std::vector<std::string> lines;
  if (!std::filesystem::exists(file, ec) || !HandsetExchangeFile::Read(file, lines)) return result;
  const std::vector<HistoryMail> mails = DecodeHistoryLines(lines, result.damaged);
  std::vector<const HistoryMail*> sent, received;
  for (const HistoryMail& mail : mails) (mail.outgoing ? sent : received).push_back(&mail);
  StoreMails(FixedFolderName(FixedFolder::Sent), sent, retry, result);
  StoreMails(FixedFolderName(FixedFolder::Received), received, retry, result);
  return result;
}

HistoryExport ExportHistoryFile(const std::filesystem::path& file, bool dx, const RetryPolicy& retry) {
  HistoryExport result;
  const std::string& name = FixedFolderName(FixedFolder::Transfer);
  std::error_code ec;
  if (!std::filesystem::exists(PathIn(GetMailFolder(), name + ".qvm"), ec) ||
      !std::filesystem::exists(PathIn(GetMailFolder(), name + ".qvs"), ec))
    return result;
  std::vector<std::string> lines;
  {
    MailFolder f;
    if (!f.Open(name, retry)) return result;
    const TCSVData& index = f.Index();
    for (int r = 0; r < index.RowCount(); ++r) {
      if (!IsLiveRow(index, r)) continue;
      const int kind = CellNumber(index, r, kColKind);
      if (dx != (kind < 8)) continue;
      std::string text;
      std::vector<std::string> record;
      const std::string header =
          EncodeRecordHeader(IndexCell(index, r, kColDate), kind, CellNumber(index, r, kColHandsetFlag),
                             CellNumber(index, r, kColUnread), CellNumber(index, r, kColProtected),
                             CellNumber(index, r, kColDirection), CellNumber(index, r, kColBoxNumber));
      const int parity = HandsetRecordParity(result.records);
      bool framed = false;
      if (!ReadMessageByIndex(f, r, text)) {
        framed = false;
      } else if (dx) {
        framed = BuildHandsetFrames(record, kTagKmailDX, header, StrToHex(text), parity, false);
      } else if (kind == 8 || kind == 9) {
        int phoneKind = 0;
        std::string number = EncodePhoneNumber(phoneKind, IndexCell(index, r, kColExtra));
        // The attribute byte and at most the handset's digits: L is one byte
        // and the number shares the first line with the header.
        number = number.substr(0, 2 + 2 * kMaxPeerDigits);
        const std::string prefix = header + Hex2(number.size() / 2) + number;
        framed = BuildHandsetFrames(record, kind == 8 ? kTagKmail : kTagBreeze, prefix,
                                    std::string_view(text).substr(0, text.find("\r\n")), parity, false);
      }
      if (!framed) {
        ++result.skipped;
        continue;
      }
      lines.insert(lines.end(), record.begin(), record.end());
      ++result.records;
    }
  }
  if (!lines.empty()) {
    HandsetFrameLine last;
    ParseHandsetFrameLine(lines.back(), last);
    lines.back() = FormatHandsetFrameLine(last.flag | HandsetFrameLine::kLastRecord, last.payload);
  }
  result.saved = HandsetExchangeFile::Write(file, lines);
  if (result.saved)
    result.lines = static_cast<int>(lines.size());
  else
    result.records = 0;
  return result;
}

std::string ImportReport(bool dx, const HistoryImport& result) {
  std::string text = HistoryName(dx) + Sjis("を ") + std::to_string(result.stored) + Sjis(" 件受信しました");
  if (result.notStored > 0)
    text += "\r\n" + HistoryName(dx) + Sjis("の ") + std::to_string(result.notStored) + Sjis(" 件を保存できませんでした");
  if (result.damaged > 0)
    text += "\r\n" + HistoryName(dx) + Sjis("の ") + std::to_string(result.damaged) +
            Sjis(" 件は壊れていたため読み込めませんでした");
  return text;
}

std::string ExportNotes(bool dx, const HistoryExport& result) {
  std::string text;
  if (result.skipped > 0)
    text = HistoryName(dx) + Sjis("の ") + std::to_string(result.skipped) +
           Sjis(" 件は読み込めなかったため送信しませんでした");
  if (!result.saved) {
    if (!text.empty()) text += "\r\n";
    text += HistoryName(dx) + Sjis("の送信データを保存できませんでした");
  }
  return text;
}

}  // namespace qv
