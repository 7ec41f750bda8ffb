#pragma once
// Earlier versions wrote the names the program makes from its CP932 texts as
// CP932 bytes. These find such names again under their UTF-8 names, renamed
// once. Only the program's own kinds of file are renamed: what the user put
// into these folders keeps its name.
#include <filesystem>

namespace qv {

// The folder files of the mail folder: indexes and stores, their lock files
// and what a writer left half done. The number renamed.
int RenameLegacyMailNames(const std::filesystem::path& mailDir);
// The theme files of the theme folder. The number renamed.
int RenameLegacyThemeNames(const std::filesystem::path& themeDir);
// All of them, at start before the folders are made: the mail and theme
// folders themselves and what they hold, the exchange files and the error log.
void RenameLegacyDataNames();

}  // namespace qv
