// QvBookMark.qpl, the bookmarks: its window for the shared exports.
#include "platform/Cp932.h"
#include "platform/Version.h"
#include "plugins/contacts/ContactPlugin.h"
#include "plugins/contacts/QvBookMarkFRM.h"

QV_VERSION_INFO("FileVersion=" QV_CONTACTS_VERSION "\0ProductVersion=" QV_CONTACTS_VERSION "\0ProductName=QvBookMark\0");

const qv::ContactPluginInfo& qv::ThisContactPlugin() {
  static const ContactPluginInfo info{Sjis("ブックマーク"), []() -> TContactList* { return new TfrmBookMark(); }};
  return info;
}
