// The received-mail filter: handset samples go, a multipart text cut short
// is closed; what it leaves, it leaves alone the second time.
#include "FuzzSupport.h"
#include "core/data/CSVData.h"
#include "core/data/MailStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  qv::MailIndexRow row;
  qv::PrepareReceivedMail(row, text, 3, 0, 1, 0, 0, 0, "2024/01/01 00:00:00", "");
  QV_FUZZ_CHECK(row.size() == qv::kMailIndexColumns);
  std::string again = text;
  bool attachments = false;
  const bool changed = qv::FilterReceivedMail(again, attachments);
  QV_FUZZ_CHECK(!changed && again == text);
  return 0;
}
