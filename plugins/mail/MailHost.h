#pragma once
// What the mail plug-in asks of the launcher: the two host callbacks that the
// exports store, and the plug-in's questions to the user.
#include "abi/PluginApi.h"

#include <string>
#include <string_view>

class QWidget;

namespace qv {

void SetHostParamCallback(QvHostParamCallback callback);
void SetHostStrCallback(QvHostStrCallback callback);
bool HasHostParamCallback();
bool HasHostStrCallback();

// The parameter callback's answer; false, and nothing asked, when it is not set.
bool CallHostParam(int32_t kind, int32_t value);
// The text callback (text is CP932); 0, and nothing asked, when it is not set.
int32_t CallHostStr(int32_t kind, std::string_view text);

// The compose body of a reply or forward (core/MailReply.h); a cut quote is
// reported to the host as warning 2005.
std::string ReplyBody(int mode, std::string_view body);

// A warning with Yes and No, captioned "VeoQuorvel"; text is CP932. True on Yes.
bool AskWarningYesNo(QWidget* parent, std::string_view text);

}  // namespace qv
