// QvBookMark.qpl, the bookmarks: its window for the shared exports.
#include "platform/Cp932.h"
#include "plugins/contacts/ContactPlugin.h"
#include "plugins/contacts/QvBookMarkFRM.h"

const qv::ContactPluginInfo& qv::ThisContactPlugin() {
  static const ContactPluginInfo info{Sjis("ブックマーク"), []() -> TContactList* { return new TfrmBookMark(); }};
  return info;
}
