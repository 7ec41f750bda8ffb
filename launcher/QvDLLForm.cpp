#include "launcher/QvDLLForm.h"

#include "platform/Cp932.h"

#include <cstring>

namespace qv {

TDllForm::TDllForm(std::string fileName, QvHostParamCallback paramCallback, QvHostStrCallback strCallback)
    : fileName_(std::move(fileName)) {
  if (!module_.Load(fileName_)) return;
  pluginInitialize_ = module_.Function<QvPluginInitializeFn>("PluginInitialize");
  pluginFinalize_ = module_.Function<QvPluginFinalizeFn>("PluginFinalize");
  showForm_ = module_.Function<QvShowFormFn>("ShowForm");
  closeForm_ = module_.Function<QvCloseFormFn>("CloseForm");
  setParam_ = module_.Function<QvSetParamFn>("SetParam");
  setStr_ = module_.Function<QvSetStrFn>("SetStr");
  getParam_ = module_.Function<QvGetParamFn>("GetParam");
  getStr_ = module_.Function<QvGetStrFn>("GetStr");
  getIcon_ = module_.Function<QvGetIconFn>("GetIcon");
  getPluginName_ = module_.Function<QvGetPluginNameFn>("GetPluginName");
  callBackParam_ = module_.Function<QvCallBackParamFn>("CallBackParam");
  callBackStr_ = module_.Function<QvCallBackStrFn>("CallBackStr");
  // Registration comes before the completeness test and PluginInitialize.
  if (callBackParam_) callBackParam_(paramCallback);
  if (callBackStr_) callBackStr_(strCallback);
  const bool complete = pluginInitialize_ && pluginFinalize_ && showForm_ && closeForm_ && setParam_ && setStr_ &&
                        getParam_ && getStr_ && getIcon_ && getPluginName_ && callBackParam_ && callBackStr_;
  if (!complete) {
    module_.Unload();
    return;
  }
  initialized_ = PluginTrue(pluginInitialize_());
}

TDllForm::~TDllForm() {
  if (!module_.IsLoaded()) return;
  if (pluginFinalize_) pluginFinalize_();
  module_.Unload();
}

bool TDllForm::ShowPluginForm() {
  if (!module_.IsLoaded() || !showForm_) return false;
  return PluginTrue(showForm_());
}

bool TDllForm::CloseForm() {
  if (!module_.IsLoaded()) return true;
  if (!closeForm_) return false;
  return PluginTrue(closeForm_());
}

QIcon TDllForm::GetIcon() {
  if (!module_.IsLoaded() || !getIcon_) return {};
  QvIconHandle handle = nullptr;
  if (!PluginTrue(getIcon_(&handle)) || !handle) return {};
  return *static_cast<const QIcon*>(handle);
}

std::string TDllForm::GetName() {
  if (!module_.IsLoaded() || !getPluginName_) return {};
  char buffer[kNameBufferSize] = {};
  int32_t size = kNameBufferSize;
  if (!PluginTrue(getPluginName_(buffer, &size))) return {};
  // Never read past the buffer, even when the plug-in left no NUL in it, and
  // never keep half of a double-byte character cut at its end.
  std::string name(buffer, strnlen(buffer, sizeof buffer - 1));
  size_t i = 0;
  while (i < name.size()) {
    if (cp932::IsLeadByte(name[i]) && i + 1 == name.size()) {
      name.pop_back();
      break;
    }
    i += cp932::CharLength(name, i);
  }
  return name;
}

int32_t TDllForm::SetStr(int32_t id, std::string_view text) {
  if (!module_.IsLoaded() || !setStr_) return 0;
  std::string copy(text);
  return setStr_(id, copy.c_str(), static_cast<int32_t>(copy.size() + 1));
}

}  // namespace qv
