#pragma once
// How the list window's stored mails come up in windows: answered and
// forwarded in a compose window, an unsent mail reopened for editing, any
// other in a viewer.
#include "plugins/mail/list/QvMailListFRM.h"

namespace qv {

class TfrmMailSend;

// A new, empty compose window in e-mail or direct-mail mode (not yet shown).
TfrmMailSend* NewComposeWindow(bool email);
// The list window's opener (TfrmMailList::SetMailOpener): the request's mail
// in the window its mode and its index row call for, shown.
void OpenStoredMail(TfrmMailList& list, const MailOpenRequest& request);

}  // namespace qv
