#pragma once
// What the twelve exports of every plug-in module share: its window shown and
// ended, its name handed out, the host's two callbacks kept. Each module has
// its own copy of this.
#include "abi/PluginApi.h"
#include "core/data/HostCallbacks.h"
#include "plugins/PluginIcon.h"

#include <QWidget>

namespace qv {

// The module is unloaded next: no window of its code may outlive it.
template <class Form>
QvBool EndPluginWindow(Form*& form) {
  delete form;
  form = nullptr;
  ReleasePluginIcon();
  return 1;
}

inline QvBool ShowPluginWindow(QWidget* form) {
  if (!form) return 0;
  form->show();
  form->raise();
  form->activateWindow();
  return 1;
}

inline QvBool GivePluginName(const char* name, char* buffer, int32_t* size) {
  if (!size) return 0;
  return QvCopyText(name, buffer, *size);
}

inline int32_t KeepHostParamCallback(QvHostParamCallback callback) {
  SetHostParamCallback(callback);
  return callback ? 1 : 0;
}

inline int32_t KeepHostStrCallback(QvHostStrCallback callback) {
  SetHostStrCallback(callback);
  return callback ? 1 : 0;
}

}  // namespace qv
