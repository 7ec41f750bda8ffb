#pragma once
// The serial-link clock under this module's name.
#include "seriallink/common/Clock.h"

namespace portvine {
namespace clock = ::seriallink::clock;
}  // namespace portvine
