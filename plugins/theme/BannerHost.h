#pragma once
// The launcher's parameter callback as the theme plug-in's exports stored it.
#include "abi/PluginApi.h"

namespace qv {

void SetBannerParamCallback(QvHostParamCallback callback);
// Asks the launcher; false when no callback is registered.
bool CallBannerHost(int32_t kind, int32_t value);

}  // namespace qv
