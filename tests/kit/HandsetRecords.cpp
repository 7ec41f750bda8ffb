#include "HandsetRecords.h"

#include "TestSupport.h"
#include "core/data/HandsetExchange.h"

#include <cstdio>

namespace qvtest {

HandsetLines HandsetRecords(int kind, int count, int first, size_t longText) {
  HandsetLines lines;
  for (int n = first; n < first + count; ++n) {
    const std::string i = std::to_string(n);
    const std::string text(longText ? longText : n == 1 ? 300 : 10, 'x');
    std::vector<qv::HandsetItem> items;
    if (kind == 1) {
      items = {qv::EncodeAddressField(0x0101, Sjis("ﾔﾏﾀﾞ") + i), qv::EncodeAddressField(0x0102, Sjis("山田") + i),
               qv::EncodeAddressField(0x0106, Sjis("携帯: 0901234") + i), qv::EncodeAddressField(0x010E, text)};
    } else {
      items = {qv::EncodeAddressField(0x2001, Sjis("天気") + i),
               qv::EncodeAddressField(0x2002, "http://example.jp/" + i), qv::EncodeAddressField(0x2003, text),
               qv::EncodeAddressField(0x2004, Sjis("ﾃﾝｷ") + i)};
    }
    if (!qv::BuildHandsetListFrames(lines, items, qv::HandsetRecordParity(n - first), n == first + count - 1))
      Fail("record " + i + " of kind " + std::to_string(kind) + " was not framed");
  }
  return lines;
}

HandsetLines HistoryRecords(int count, int first, bool endsAll) {
  HandsetLines lines;
  for (int n = first; n < first + count; ++n) {
    const std::string header = qv::EncodeRecordHeader("2024/05/0" + std::to_string(n + 1), 1, 0, 0, 0, 1, 1);
    if (!qv::BuildHandsetFrames(lines, 0x0401, header, qv::StrToHex("history " + std::to_string(n)),
                                qv::HandsetRecordParity(n), endsAll && n == first + count - 1))
      Fail("history " + std::to_string(n) + " was not framed");
  }
  return lines;
}

HandsetLines HistoryMailLines(const std::vector<HistoryMailSpec>& mails, bool endsAll, int firstRecord) {
  HandsetLines lines;
  for (size_t i = 0; i < mails.size(); ++i) {
    const HistoryMailSpec& m = mails[i];
    std::string prefix = qv::EncodeRecordHeader(m.date, m.kind, m.handsetFlag, m.unread, m.isProtected, m.outgoing, m.box);
    std::string data;
    if (m.tag == 0x1005) {
      data = qv::StrToHex(m.text);
    } else {
      int phoneKind = 0;
      const std::string number = qv::EncodePhoneNumber(phoneKind, m.peer);
      char length[4];
      std::snprintf(length, sizeof length, "%02X", static_cast<unsigned>(number.size() / 2));
      prefix += length + number;
      data = qv::EncodeHandsetText(m.text);
    }
    const int record = firstRecord + static_cast<int>(i);
    if (!qv::BuildHandsetFrames(lines, m.tag, prefix, data, qv::HandsetRecordParity(record),
                                endsAll && i + 1 == mails.size()))
      Fail("history mail " + std::to_string(i) + " was not framed");
  }
  return lines;
}

HandsetLines WireLines(const HandsetLines& lines) {
  HandsetLines out;
  for (const auto& line : lines) out.push_back(qv::HexToDecimalText(line));
  return out;
}

}  // namespace qvtest
