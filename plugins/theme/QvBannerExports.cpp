// The twelve exports of QvBanner.qpl, the theme list and editor.
#include "abi/PluginApi.h"
#include "plugins/PluginExports.h"
#include "plugins/theme/QvBannerFRM.h"

#include <QApplication>

namespace {

// "テーマ" in CP932.
const char kPluginName[] = "\x83\x65\x81\x5B\x83\x7D";

qv::TfrmBanner* g_form = nullptr;

}  // namespace

extern "C" {

QV_PLUGIN_EXPORT QvBool PluginInitialize(void) {
  if (!qApp) return 0;
  if (!g_form) g_form = new qv::TfrmBanner();
  return 1;
}

QV_PLUGIN_EXPORT QvBool PluginFinalize(void) {
  // The module is unloaded next: nothing of its window may stay behind.
  return qv::EndPluginWindow(g_form);
}

QV_PLUGIN_EXPORT QvBool ShowForm(void) { return qv::ShowPluginWindow(g_form); }

QV_PLUGIN_EXPORT QvBool CloseForm(void) {
  if (g_form) g_form->close();
  return 1;
}

QV_PLUGIN_EXPORT QvBool SetParam(int32_t, int32_t) { return 1; }
QV_PLUGIN_EXPORT int32_t SetStr(int32_t, const char*, int32_t) { return 1; }
QV_PLUGIN_EXPORT QvBool GetParam(int32_t, int32_t*) { return 1; }
QV_PLUGIN_EXPORT QvBool GetStr(int32_t, char*, int32_t) { return 1; }

QV_PLUGIN_EXPORT QvBool GetIcon(QvIconHandle* icon) { return qv::GivePluginIcon(g_form, icon); }

QV_PLUGIN_EXPORT QvBool GetPluginName(char* buffer, int32_t* size) {
  return qv::GivePluginName(kPluginName, buffer, size);
}

QV_PLUGIN_EXPORT int32_t CallBackParam(QvHostParamCallback callback) { return qv::KeepHostParamCallback(callback); }

// Kept as the interface asks; the theme list sends no texts.
QV_PLUGIN_EXPORT int32_t CallBackStr(QvHostStrCallback callback) { return qv::KeepHostStrCallback(callback); }

}  // extern "C"
