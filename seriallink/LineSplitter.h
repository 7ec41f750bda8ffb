#pragma once
// The line classifier under this module's names (the full dialect).
#include "seriallink/common/LineSplitter.h"

namespace portvine {
using ::seriallink::ClassifyModemResult;
using ::seriallink::ClassifyProtocolLine;
using ::seriallink::LineCode;
using ::seriallink::LineSplitter;
using enum ::seriallink::LineCode;
}  // namespace portvine
