#pragma once
// What crosses the serial-link API as plain bytes: callers' strings, fixed
// text fields of the parameter block, the 36-byte outputs; and the port test
// both modules answer kwxTestPort with.
#include <cstddef>
#include <cstdint>
#include <string>

namespace seriallink {

// Bytes of a caller's string up to its NUL, at most max; empty for null.
std::string CallerText(const char* text, size_t max);

// A fixed text field read up to its NUL, never past its size.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
  return CallerText(field, N);
}

// Writes text into a 36-byte output: at most 35 bytes and a NUL, the rest zero.
void WriteOut36(char* out, const std::string& text);

// kwxTestPort: n > 99 (or negative) is 0; the module's own open port, named
// "\\.\COMn" or "COMn", is 1 without a second open; otherwise whether
// "\\.\COMn" can be opened (it is closed again). openName is empty when the
// module's port is closed.
int32_t TestComPort(int32_t number, const std::string& openName);

}  // namespace seriallink
