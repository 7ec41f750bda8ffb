#include "plugins/mail/MailHost.h"

#include "core/data/MailReply.h"
#include "core/data/StoredMail.h"
#include "core/ui/Dialogs.h"

#include <string>

namespace qv {

std::string ReplyBody(int mode, std::string_view body) {
  bool cut = false;
  std::string quoted = ReplyBody(mode, body, cut);
  if (cut) CallHostParam(QV_PARAM_WARNING, kWarnQuoteCut);
  return quoted;
}

bool AskWarningYesNo(QWidget* parent, std::string_view text) { return AskWarning(parent, text, false) == Answer::Yes; }

}  // namespace qv
