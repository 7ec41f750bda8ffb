#include "launcher/PluginHost.h"

#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "platform/Paths.h"

#include <filesystem>

namespace qv {
namespace {

PluginHost* g_host = nullptr;

}  // namespace

extern "C" QvBool HostParamCallback(int32_t kind, int32_t value) {
  return g_host && g_host->param_ ? (g_host->param_(kind, value) ? 1 : 0) : 1;
}

extern "C" int32_t HostStrCallback(int32_t kind, const char* text, int32_t /*size*/) {
  return g_host && g_host->str_ ? g_host->str_(kind, text) : 1;
}

PluginHost::PluginHost(ParamHandler param, StrHandler str) : param_(std::move(param)), str_(std::move(str)) {
  g_host = this;
}

PluginHost::~PluginHost() {
  Clear();
  if (g_host == this) g_host = nullptr;
}

void PluginHost::Load() {
  Clear();
  std::vector<std::string> names;
  for (int i = 1;; ++i) {
    std::string name = IniReadString(keys::PluginsSection, std::to_string(i), "");
    if (name.empty()) break;
    std::error_code ec;
    if (std::filesystem::is_regular_file(FromProgramDir(name), ec)) names.push_back(name);
  }
  for (const std::string& name : names) {
    auto holder = std::make_unique<TDllForm>(name, &HostParamCallback, &HostStrCallback);
    if (!holder->Initialized()) continue;  // freeing it finalises and unloads
    std::string caption = holder->GetName();
    plugins_.push_back({std::move(caption), std::move(holder)});
  }
}

void PluginHost::Clear() {
  // In list order: each finalises and unloads its plug-in.
  for (auto& plugin : plugins_) plugin.holder.reset();
  plugins_.clear();
}

TDllForm* PluginHost::Find(std::string_view caption) const {
  for (const auto& plugin : plugins_)
    if (plugin.caption == caption) return plugin.holder.get();
  return nullptr;
}

void PluginHost::Notify(std::string_view caption, std::string_view text) {
  if (TDllForm* plugin = Find(caption); plugin && plugin->Initialized()) plugin->SetStr(1, text);
}

}  // namespace qv
