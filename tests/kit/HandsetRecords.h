#pragma once
// Handset exchange records made by hand for tests and benchmarks, framed with
// the core's helpers: phone-book entries (kind 1), bookmarks (kind 8) and
// mail histories, as exchange-file lines and in the handset's wire form.
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
// Each line as the handset stores and sends it: three digits a byte.
HandsetLines WireLines(const HandsetLines& lines);

}  // namespace qvtest
