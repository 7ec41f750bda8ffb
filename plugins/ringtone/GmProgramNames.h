#pragma once
// The General MIDI Level 1 instrument names, program 0 to 127.
#include <string_view>

namespace qv {

inline constexpr int kGmProgramCount = 128;
// The name of the program, or an empty view outside 0-127.
std::string_view GmProgramName(int program);

}  // namespace qv
