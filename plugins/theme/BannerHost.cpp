#include "plugins/theme/BannerHost.h"

namespace qv {
namespace {
QvHostParamCallback g_param = nullptr;
}  // namespace

void SetBannerParamCallback(QvHostParamCallback callback) { g_param = callback; }

bool CallBannerHost(int32_t kind, int32_t value) { return g_param && (g_param(kind, value) & 0xFF) != 0; }

}  // namespace qv
