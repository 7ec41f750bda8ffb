// The twelve exports of Qvpurlette.qpl, the ringtone maker.
#include "abi/PluginApi.h"
#include "plugins/PluginExports.h"
#include "plugins/ringtone/MidiPreview.h"
#include "plugins/ringtone/QvPurletteFRM.h"

#include <QApplication>

namespace {

// "purletteメーカー" in CP932.
const char kPluginName[] = "purlette\x83\x81\x81\x5B\x83\x4A\x81\x5B";

qv::TfrmPurlette* g_form = nullptr;

}  // namespace

extern "C" {

QV_PLUGIN_EXPORT QvBool PluginInitialize(void) {
  if (!qApp) return 0;
  qv::KeepSynthesizerLoaded();
  if (!g_form) g_form = new qv::TfrmPurlette();
  return 1;
}

QV_PLUGIN_EXPORT QvBool PluginFinalize(void) {
  // The module is unloaded next: the window ends its player, deletes the
  // temporary file and frees the converter first.
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

// Kept as the interface asks; the ringtone maker sends no texts.
QV_PLUGIN_EXPORT int32_t CallBackStr(QvHostStrCallback callback) { return qv::KeepHostStrCallback(callback); }

}  // extern "C"
