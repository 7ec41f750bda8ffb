#pragma once
// Handset exchange records made by hand for tests and benchmarks, framed with
// the core's helpers: phone-book entries (kind 1), bookmarks (kind 8) and
// mail histories, as exchange-file lines and in the handset's wire form.
#include <cstdint>
#include <string>
#include <vector>

namespace qvtest {

using HandsetLines = std::vector<std::string>;

// count records numbered from first, the last one ending the file. Record 1
// holds a long field, so it takes two lines; longText makes every record
// carry a field of that many bytes instead.
HandsetLines HandsetRecords(int kind, int count, int first = 0, size_t longText = 0);
// Mail-history records: a header and a text; endsAll marks the last one as
// the file's last.
HandsetLines HistoryRecords(int count, int first, bool endsAll);
// A mail of the handset's histories as the handset frames it: a KメールDX
// mail (tag 0x1005) holds a stored mail, a Kメール (0x1003) or ブリーズメール
// (0x1007) the peer's number and a text in the handset's code.
struct HistoryMailSpec {
  uint16_t tag = 0x1005;
  std::string date = "2003/01/15 09:05:00";
  int kind = 1;  // 0-7, the header's
  int handsetFlag = 1, unread = 0, isProtected = 0, outgoing = 0, box = 2;
  std::string peer;  // CP932 number text
  std::string text;  // CP932: the stored mail (DX) or the text to encode
};
// The records in order, parities alternating from the first record's (by
// [Environment] DuplicationFlagStartOdd); endsAll marks the last record as
// the file's last.
HandsetLines HistoryMailLines(const std::vector<HistoryMailSpec>& mails, bool endsAll = true, int firstRecord = 0);
// Each line as the handset stores and sends it: three digits a byte.
HandsetLines WireLines(const HandsetLines& lines);

}  // namespace qvtest
