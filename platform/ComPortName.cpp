#include "platform/ComPortName.h"

namespace qv {

int ComPortNumber(std::string_view name) {
  auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
  auto startsWith = [&](std::string_view prefix) {
    if (name.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
      if (upper(name[i]) != prefix[i]) return false;
    return true;
  };
  if (startsWith("COM"))
    name.remove_prefix(3);
  else if (startsWith("\\\\.\\COM"))
    name.remove_prefix(7);
  else
    return 0;
  // A decimal number and nothing after it; leading zeros do not make another
  // port ("COM0001" is COM1).
  if (name.empty()) return 0;
  int number = 0;
  for (char c : name) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
    if (number > kMaxComPort) return 0;
  }
  return number >= 1 ? number : 0;
}

}  // namespace qv
