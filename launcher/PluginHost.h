#pragma once
// The plug-in host: the plug-ins listed in the settings under [Plugins] "1",
// "2", ... (up to the first empty key; a listed module that is not there is
// skipped), loaded at start and kept until exit, and the two callbacks handed
// to every plug-in, which pass its requests on to the launcher.
#include "abi/PluginApi.h"
#include "launcher/QvDLLForm.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The launcher's callbacks handed to every plug-in.
extern "C" QvBool HostParamCallback(int32_t kind, int32_t value);
extern "C" int32_t HostStrCallback(int32_t kind, const char* text, int32_t size);

class PluginHost {
 public:
  // The launcher's answers to the parameter and the text callbacks.
  using ParamHandler = std::function<bool(int32_t kind, int32_t value)>;
  using StrHandler = std::function<int32_t(int32_t kind, const char* text)>;

  struct Plugin {
    std::string caption;  // the display name, CP932
    std::unique_ptr<TDllForm> holder;
  };

  // The callbacks carry no context: they go to the host made last.
  PluginHost(ParamHandler param, StrHandler str);
  // The plug-ins are finalised and unloaded in list order.
  ~PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  // Loads the listed plug-ins; one whose PluginInitialize fails is dropped.
  void Load();
  void Clear();
  const std::vector<Plugin>& Plugins() const { return plugins_; }
  // The first plug-in of that display name, or null.
  TDllForm* Find(std::string_view caption) const;
  // Sends SetStr(1, text) to the first plug-in of that display name, if loaded.
  void Notify(std::string_view caption, std::string_view text);

 private:
  friend QvBool HostParamCallback(int32_t kind, int32_t value);
  friend int32_t HostStrCallback(int32_t kind, const char* text, int32_t size);

  ParamHandler param_;
  StrHandler str_;
  std::vector<Plugin> plugins_;
};

}  // namespace qv
