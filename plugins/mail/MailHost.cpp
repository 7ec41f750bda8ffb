#include "plugins/mail/MailHost.h"

namespace qv::mail {

MailHostLinks& MailHost() {
  static MailHostLinks links;
  return links;
}

bool HostParam(int kind, int value) { return MailHost().param ? MailHost().param(kind, value) : true; }

int HostText(int kind, std::string_view text) {
  return MailHost().text ? MailHost().text(kind, std::string(text)) : 0;
}

void HostShowFolder(std::string_view folder) {
  if (MailHost().showFolder) MailHost().showFolder(std::string(folder));
}

void HostRequestSendQueue() {
  if (MailHost().requestSendQueue) MailHost().requestSendQueue();
}

}  // namespace qv::mail
