#include "CallerData.h"

#include "platform/ComPortName.h"
#include "platform/CommPort.h"

#include <algorithm>
#include <cstring>

namespace seriallink {

std::string CallerText(const char* text, size_t max) {
  if (!text) return {};
  size_t n = 0;
  while (n < max && text[n] != '\0') ++n;
  return std::string(text, n);
}

void WriteOut36(char* out, const std::string& text) {
  if (!out) return;
  std::memset(out, 0, 36);
  std::memcpy(out, text.data(), std::min<size_t>(text.size(), 35));
}

int32_t TestComPort(int32_t number, const std::string& openName) {
  if (number > 99 || number < 0) return 0;
  // The open port is port number whatever the form or case of its name.
  if (!openName.empty() && number > 0 && qv::ComPortNumber(openName) == number) return 1;
  qv::CommPort probe;
  if (!probe.Open("\\\\.\\COM" + std::to_string(number))) return 0;
  probe.Close();
  return 1;
}

}  // namespace seriallink
