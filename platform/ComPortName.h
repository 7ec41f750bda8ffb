#pragma once
// COM port names: "COMn" or "\\.\COMn" in any letter case, n a decimal
// number from 1 to 256 (leading zeros allowed) with nothing after it.
// One rule for the settings, the port folder and the serial-link modules.
#include <string_view>

namespace qv {

// COM port numbers run from 1 to this.
inline constexpr int kMaxComPort = 256;

// The port number of a COM port name; 0 for any other name.
int ComPortNumber(std::string_view name);
inline bool IsComPortName(std::string_view name) { return ComPortNumber(name) != 0; }

}  // namespace qv
