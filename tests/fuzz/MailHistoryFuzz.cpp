// The mail histories the handset hands over: frame lines decoded into mails,
// a damaged record skipped and counted.
#include "FuzzSupport.h"
#include "core/data/TextFunctions.h"
#include "plugins/mail/history/MailHistory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines;
  for (std::string_view line : qv::SplitLines(text)) lines.emplace_back(line);
  int damaged = 0;
  const auto mails = qv::DecodeHistoryLines(lines, damaged);
  QV_FUZZ_CHECK(damaged >= 0 && mails.size() <= lines.size());
  return 0;
}
