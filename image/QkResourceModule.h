#pragma once
// The layout of a resource-only module: a shared library that exports one
// table of named data blocks and runs no code of its own. Bitmaps are whole
// bitmap files. The table ends with an entry whose name is null.
#include <cstddef>

namespace qv {

struct TQkResourceEntry {
  const char* Type;  // "BITMAP"
  const char* Name;  // matched without regard to case, as resource names are
  const unsigned char* Data;
  size_t Size;
};

// The exported name of the table.
inline constexpr const char* kResourceTableSymbol = "QvResources";

}  // namespace qv
