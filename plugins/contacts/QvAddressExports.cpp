// QvAddress.qpl, the phone book: its window for the shared exports.
#include "platform/Cp932.h"
#include "plugins/contacts/ContactPlugin.h"
#include "plugins/contacts/QvAddressFRM.h"

const qv::ContactPluginInfo& qv::ThisContactPlugin() {
  static const ContactPluginInfo info{Sjis("電話帳"), []() -> TContactList* { return new TfrmAddress(); }};
  return info;
}
