#pragma once
// The texts of the mail plug-in's windows, written in UTF-8 in the source.
#include <QString>

namespace qv {

// A text of the windows' own, written in UTF-8 in the source.
inline QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace qv
