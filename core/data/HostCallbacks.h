#pragma once
// A plug-in's side of the two host callbacks: the launcher hands them over
// through CallBackParam and CallBackStr, and the plug-in's windows call them.
// Each plug-in module links its own copy, so each keeps its own pair.
#include "abi/PluginApi.h"

#include <string_view>

namespace qv {

void SetHostParamCallback(QvHostParamCallback callback);
void SetHostStrCallback(QvHostStrCallback callback);
bool HasHostParamCallback();
bool HasHostStrCallback();

// The parameter callback's answer; false, and nothing asked, when it is not set.
bool CallHostParam(int32_t kind, int32_t value);
// The text callback (text is CP932); 0, and nothing asked, when it is not set.
int32_t CallHostStr(int32_t kind, std::string_view text);

}  // namespace qv
