// QvAddress.qpl, the phone book: its window for the shared exports.
#include "platform/Cp932.h"
#include "platform/Version.h"
#include "plugins/contacts/ContactPlugin.h"
#include "plugins/contacts/QvAddressFRM.h"

QV_VERSION_INFO("FileVersion=" QV_CONTACTS_VERSION "\0ProductVersion=" QV_CONTACTS_VERSION "\0ProductName=QvAddress\0");

const qv::ContactPluginInfo& qv::ThisContactPlugin() {
  static const ContactPluginInfo info{Sjis("電話帳"), []() -> TContactList* { return new TfrmAddress(); }};
  return info;
}
