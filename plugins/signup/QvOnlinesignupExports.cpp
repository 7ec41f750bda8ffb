// The twelve exports of QvOnlinesignup.qpl, the online sign-up terminal.
#include "abi/PluginApi.h"
#include "plugins/PluginExports.h"
#include "plugins/signup/QvSignupFRM.h"

#include <QApplication>

namespace {

// "ｵﾝﾗｲﾝｻｲﾝｱｯﾌﾟ" in CP932 (half-width katakana).
const char kPluginName[] = "\xB5\xDD\xD7\xB2\xDD\xBB\xB2\xDD\xB1\xAF\xCC\xDF";

qv::TfrmSignup* g_form = nullptr;

}  // namespace

extern "C" {

QV_PLUGIN_EXPORT QvBool PluginInitialize(void) {
  if (!qApp) return 0;
  if (!g_form) g_form = new qv::TfrmSignup();
  return 1;
}

QV_PLUGIN_EXPORT QvBool PluginFinalize(void) {
  // The module is unloaded next: the window frees the serial-link module first.
  return qv::EndPluginWindow(g_form);
}

QV_PLUGIN_EXPORT QvBool ShowForm(void) {
  if (!g_form) return 0;
  if (!g_form->isVisible()) g_form->exec();
  return 1;
}

QV_PLUGIN_EXPORT QvBool CloseForm(void) {
  if (!g_form) return 1;
  return g_form->close() ? 1 : 0;
}

QV_PLUGIN_EXPORT QvBool SetParam(int32_t, int32_t) { return 1; }
QV_PLUGIN_EXPORT int32_t SetStr(int32_t, const char*, int32_t) { return 1; }
QV_PLUGIN_EXPORT QvBool GetParam(int32_t, int32_t*) { return 1; }
QV_PLUGIN_EXPORT QvBool GetStr(int32_t, char*, int32_t) { return 1; }

QV_PLUGIN_EXPORT QvBool GetIcon(QvIconHandle* icon) { return qv::GivePluginIcon(g_form, icon); }

QV_PLUGIN_EXPORT QvBool GetPluginName(char* buffer, int32_t* size) {
  return qv::GivePluginName(kPluginName, buffer, size);
}

// Kept as the interface asks; the terminal asks nothing of the launcher.
QV_PLUGIN_EXPORT int32_t CallBackParam(QvHostParamCallback callback) { return qv::KeepHostParamCallback(callback); }

QV_PLUGIN_EXPORT int32_t CallBackStr(QvHostStrCallback callback) { return qv::KeepHostStrCallback(callback); }

}  // extern "C"
