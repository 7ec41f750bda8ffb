#pragma once
// The settings file beside the launcher, the data folders it names and the COM
// port name rules. Every access opens the file for one call; nothing is cached.
#include "platform/ComPortName.h"
#include "platform/IniFile.h"

#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The launcher program's file name with the extension ".ini".
std::filesystem::path SettingsFilePath();
IniFile SettingsFile();

int IniReadInteger(std::string_view section, std::string_view key, int def);
std::string IniReadString(std::string_view section, std::string_view key, std::string_view def);
bool IniReadBool(std::string_view section, std::string_view key, bool def);
bool IniWriteString(std::string_view section, std::string_view key, std::string_view value);
// Every entry in one rewrite of the file: all of them are stored or none.
bool IniWriteStrings(std::span<const IniEntry> entries);
// The section's lines of the form key=value.
void IniReadSection(std::vector<std::string>& list, std::string_view section);

// The path functions make the launcher's folder the current directory first,
// so relative names elsewhere resolve against it.
// [Mail] Folder (default "MailLog"), absolute, with a trailing separator.
std::string GetMailFolder();
// [Theme] Folder (default "Theme"), absolute, with a trailing separator.
std::string GetThemeFolder();
// [File] key, or def when it is blank, made absolute.
std::string GetDataFilePath(std::string_view key, std::string_view def);
// The exchange file of a data kind: [File] TempData with the kind before the extension.
std::string GetTempDataFile(int kind);

// "\\.\COMn" (or "COMn" without the prefix) with the name's port number
// written without leading zeros; an invalid name gives COM1.
std::string ComPortDeviceName(std::string_view name, bool withPrefix);
int BaudRateOrDefault(int value);

}  // namespace qv
