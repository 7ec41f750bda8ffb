#pragma once
// The receive buffer under this module's name.
#include "seriallink/common/ReceiveBuffer.h"

namespace portvine {
using ::seriallink::ReceiveBuffer;
}  // namespace portvine
