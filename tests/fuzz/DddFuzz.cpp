// The three-digit wire form of direct mail bytes: any text converts within
// its limits, and bytes go there and back.
#include "FuzzSupport.h"
#include "Ddd.h"

#include <cstring>
#include <vector>

using namespace portvine::ddd;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<uint8_t> bytes(256 + 16, 0xEE);
  const int32_t n = StrDDDtoBin(text.c_str(), bytes.data());
  QV_FUZZ_CHECK(n >= 0 && n <= 247);
  for (size_t i = 247; i < bytes.size(); ++i) QV_FUZZ_CHECK(bytes[i] == 0xEE);
  std::vector<char> digits(247 * 3 + 1 + 16, '#');
  const int32_t d = BintoStrDDD(bytes.data(), n, digits.data());
  QV_FUZZ_CHECK(d == 3 * n && digits[static_cast<size_t>(d)] == '\0');
  std::vector<uint8_t> back(256, 0);
  QV_FUZZ_CHECK(StrDDDtoBin(digits.data(), back.data()) == n);
  QV_FUZZ_CHECK(std::memcmp(back.data(), bytes.data(), static_cast<size_t>(n)) == 0);
  std::vector<uint8_t> raw(data, data + size);
  ExCodeToSPC(raw.data(), static_cast<int32_t>(raw.size()));
  return 0;
}
