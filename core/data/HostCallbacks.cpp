#include "core/data/HostCallbacks.h"

#include <string>

namespace qv {
namespace {

QvHostParamCallback g_param = nullptr;
QvHostStrCallback g_str = nullptr;

}  // namespace

void SetHostParamCallback(QvHostParamCallback callback) { g_param = callback; }
void SetHostStrCallback(QvHostStrCallback callback) { g_str = callback; }
bool HasHostParamCallback() { return g_param != nullptr; }
bool HasHostStrCallback() { return g_str != nullptr; }

bool CallHostParam(int32_t kind, int32_t value) {
  // The host's boolean: false when its lowest byte is 0.
  return g_param && (g_param(kind, value) & 0xFF) != 0;
}

int32_t CallHostStr(int32_t kind, std::string_view text) {
  if (!g_str) return 0;
  std::string copy(text);  // NUL-terminated for the host
  return g_str(kind, copy.c_str(), static_cast<int32_t>(copy.size() + 1));
}

}  // namespace qv
