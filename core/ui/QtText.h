#pragma once
// The widget edge: CP932 bytes to Qt text and back. Only text a user typed is
// ever encoded; stored text keeps its bytes. And the colour text of the mail
// markup, which needs the palette for system colours.
#include "platform/TColor.h"

#include <QString>
#include <string>
#include <string_view>

namespace qv {

QString ToQString(std::string_view cp932);
std::string FromQString(const QString& text);
// Typed text as CP932 without substitutes: false when any character has no
// CP932 code.
bool TryFromQString(const QString& text, std::string& out);

// Six upper-case hex digits RRGGBB, a system colour resolved against the
// current palette first.
std::string ColorToHexRGB(TColor color);

}  // namespace qv
