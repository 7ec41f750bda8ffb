#pragma once
// The launcher's registry key "Software\Marlinex\Quorvel" of the current user,
// kept as an ini file: section = subkey, ident = value name, values are strings.
#include "platform/IniFile.h"

namespace qv {

// ${XDG_CONFIG_HOME:-$HOME/.config}/Marlinex/Quorvel.reg, looked up at each
// call; without HOME the user's home from the password database, without any
// home the private runtime folder; empty (nothing kept) when there is none.
std::filesystem::path RegistryPath();
// The key as an ini file (opened afresh for every call, like the settings file).
IniFile Registry();

}  // namespace qv
