// The twelve exports of a contact plug-in (QvAddress.qpl, QvBookMark.qpl):
// each module links them with its own window.
#include "abi/PluginApi.h"
#include "plugins/contacts/ContactListWindow.h"
#include "plugins/PluginExports.h"
#include "plugins/contacts/ContactPlugin.h"

#include <QApplication>

namespace {

qv::TContactList* g_form = nullptr;

}  // namespace

qv::TContactList* qv::ContactForm() { return g_form; }

extern "C" {

QV_PLUGIN_EXPORT QvBool PluginInitialize(void) {
  if (!qApp) return 0;
  if (!g_form) g_form = qv::ThisContactPlugin().create();
  return 1;
}

QV_PLUGIN_EXPORT QvBool PluginFinalize(void) {
  // The module is unloaded next: no window of its code may outlive it.
  return qv::EndPluginWindow(g_form);
}

QV_PLUGIN_EXPORT QvBool ShowForm(void) {
  if (!g_form) return 0;
  g_form->ShowFromHost();
  return 1;
}

QV_PLUGIN_EXPORT QvBool CloseForm(void) { return g_form ? g_form->CloseFromHost() : 1; }

QV_PLUGIN_EXPORT QvBool SetParam(int32_t, int32_t) { return 1; }

QV_PLUGIN_EXPORT int32_t SetStr(int32_t id, const char* text, int32_t) {
  return g_form ? g_form->TextFromHost(id, text ? text : "") : 0;
}

QV_PLUGIN_EXPORT QvBool GetParam(int32_t, int32_t*) { return 1; }

QV_PLUGIN_EXPORT QvBool GetStr(int32_t, char*, int32_t) { return 1; }

QV_PLUGIN_EXPORT QvBool GetIcon(QvIconHandle* icon) { return qv::GivePluginIcon(g_form, icon); }

QV_PLUGIN_EXPORT QvBool GetPluginName(char* buffer, int32_t* size) {
  return qv::GivePluginName(qv::ThisContactPlugin().name.c_str(), buffer, size);
}

QV_PLUGIN_EXPORT int32_t CallBackParam(QvHostParamCallback callback) { return qv::KeepHostParamCallback(callback); }

QV_PLUGIN_EXPORT int32_t CallBackStr(QvHostStrCallback callback) { return qv::KeepHostStrCallback(callback); }

}  // extern "C"
