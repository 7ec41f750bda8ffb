#pragma once
// The serial-link codes under this module's name.
#include "seriallink/common/Codes.h"

namespace portvine {
namespace code = ::seriallink::code;
}  // namespace portvine
