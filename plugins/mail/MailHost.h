#pragma once
// What the mail plug-in asks of the launcher (through the host callbacks the
// exports store, core/data/HostCallbacks.h), and the plug-in's questions to the user.
#include "core/data/HostCallbacks.h"

#include <string>
#include <string_view>

class QWidget;

namespace qv {

// The compose body of a reply or forward (core/data/MailReply.h); a cut quote is
// reported to the host as warning 2005.
std::string ReplyBody(int mode, std::string_view body);

// A warning with Yes and No, captioned "VeoQuorvel"; text is CP932. True on Yes.
bool AskWarningYesNo(QWidget* parent, std::string_view text);

}  // namespace qv
