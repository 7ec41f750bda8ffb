#pragma once
// The holder of one loaded plug-in module: its twelve entry points, the
// registration of the host callbacks and the plug-in's life from load to
// PluginFinalize and unload.
#include "platform/Module.h"
#include "abi/PluginApi.h"

#include <QIcon>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

class TDllForm {
 public:
  // Loads the module, registers both callbacks (before anything else is
  // checked), and when all twelve exports exist calls PluginInitialize.
  TDllForm(std::string fileName, QvHostParamCallback paramCallback, QvHostStrCallback strCallback);
  // Calls PluginFinalize and unloads the module when one is loaded.
  ~TDllForm();
  TDllForm(const TDllForm&) = delete;
  TDllForm& operator=(const TDllForm&) = delete;

  bool Initialized() const { return initialized_; }
  const std::string& FileName() const { return fileName_; }

  bool ShowPluginForm();
  // True when no module is loaded; otherwise the plug-in's answer.
  bool CloseForm();
  // The plug-in's icon, or an empty one when it has none.
  QIcon GetIcon();
  // The display name, empty when the plug-in does not give one.
  std::string GetName();
  int32_t SetStr(int32_t id, std::string_view text);

  // Size of the buffer the host hands to GetPluginName.
  static constexpr int32_t kNameBufferSize = 256;

 private:
  std::string fileName_;
  Module module_;
  bool initialized_ = false;
  QvPluginInitializeFn pluginInitialize_ = nullptr;
  QvPluginFinalizeFn pluginFinalize_ = nullptr;
  QvShowFormFn showForm_ = nullptr;
  QvCloseFormFn closeForm_ = nullptr;
  QvSetParamFn setParam_ = nullptr;
  QvSetStrFn setStr_ = nullptr;
  QvGetParamFn getParam_ = nullptr;
  QvGetStrFn getStr_ = nullptr;
  QvGetIconFn getIcon_ = nullptr;
  QvGetPluginNameFn getPluginName_ = nullptr;
  QvCallBackParamFn callBackParam_ = nullptr;
  QvCallBackStrFn callBackStr_ = nullptr;
};

// A plug-in's boolean answer: false when its lowest byte is 0.
inline bool PluginTrue(int32_t value) { return (value & 0xFF) != 0; }

}  // namespace qv
