// The twelve exports of QvMail.qpl, the mail plug-in.
#include "abi/PluginApi.h"
#include "plugins/PluginExports.h"
#include "plugins/mail/MailHost.h"
#include "plugins/mail/list/MailOpen.h"
#include "plugins/mail/MailWindows.h"
#include "plugins/mail/list/QvMailListFRM.h"

#include <QApplication>
#include <string>

namespace {

// "メール" in CP932.
const char kPluginName[] = "\x83\x81\x81\x5B\x83\x8B";

}  // namespace

extern "C" {

QV_PLUGIN_EXPORT QvBool PluginInitialize(void) {
  if (!qApp) return 0;
  if (!qv::frmMailList) qv::frmMailList = new qv::TfrmMailList();
  qv::TfrmMailList::SetMailOpener(qv::OpenStoredMail);
  return 1;
}

QV_PLUGIN_EXPORT QvBool PluginFinalize(void) {
  // The module is unloaded next: no window of its code may outlive it. The
  // list window's end empties the trash when the settings say so.
  while (!qv::OpenMailWindows().empty()) delete qv::OpenMailWindows().front()->Window();
  return qv::EndPluginWindow(qv::frmMailList);
}

QV_PLUGIN_EXPORT QvBool ShowForm(void) { return qv::ShowPluginWindow(qv::frmMailList); }

QV_PLUGIN_EXPORT QvBool CloseForm(void) {
  if (!qv::CloseComposeWindows()) return 0;
  if (qv::frmMailList) qv::frmMailList->close();
  return 1;
}

QV_PLUGIN_EXPORT QvBool SetParam(int32_t, int32_t) { return 1; }

QV_PLUGIN_EXPORT int32_t SetStr(int32_t id, const char* text, int32_t) {
  if (id != 1) return 0;
  if (qv::frmMailList && text) qv::frmMailList->ShowFolder(text);
  return 1;
}

QV_PLUGIN_EXPORT QvBool GetParam(int32_t, int32_t*) { return 1; }

QV_PLUGIN_EXPORT QvBool GetStr(int32_t, char*, int32_t) { return 1; }

QV_PLUGIN_EXPORT QvBool GetIcon(QvIconHandle* icon) { return qv::GivePluginIcon(qv::frmMailList, icon); }

QV_PLUGIN_EXPORT QvBool GetPluginName(char* buffer, int32_t* size) {
  return qv::GivePluginName(kPluginName, buffer, size);
}

QV_PLUGIN_EXPORT int32_t CallBackParam(QvHostParamCallback callback) { return qv::KeepHostParamCallback(callback); }

QV_PLUGIN_EXPORT int32_t CallBackStr(QvHostStrCallback callback) { return qv::KeepHostStrCallback(callback); }

}  // extern "C"
