#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"

#include "platform/Paths.h"
#include "platform/Text.h"

#include <cctype>
#include <unistd.h>

namespace qv {
namespace {

void EnterProgramDir() {
  auto dir = ProgramDir();
  if (!dir.empty() && ::chdir(dir.c_str()) != 0) {
    // Relative names then resolve against the old folder; absolute paths still work.
  }
}

std::string AbsoluteName(std::string_view value, std::string_view def) {
  std::string v(Trim(value));
  if (v.empty()) v = def;
  return FromProgramDir(v).lexically_normal().string();
}

std::string WithTrailingSeparator(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

std::string FolderSetting(const keys::Key& key) {
  EnterProgramDir();
  return WithTrailingSeparator(AbsoluteName(IniRead(key), key.def));
}

}  // namespace

std::filesystem::path SettingsFilePath() {
  auto p = ProgramPath();
  p.replace_extension(".ini");
  return p;
}

IniFile SettingsFile() { return IniFile(SettingsFilePath()); }

int IniReadInteger(std::string_view section, std::string_view key, int def) {
  return SettingsFile().ReadInteger(section, key, def);
}
std::string IniReadString(std::string_view section, std::string_view key, std::string_view def) {
  return SettingsFile().ReadString(section, key, def);
}
bool IniReadBool(std::string_view section, std::string_view key, bool def) {
  return SettingsFile().ReadBool(section, key, def);
}
bool IniWriteString(std::string_view section, std::string_view key, std::string_view value) {
  return SettingsFile().WriteString(section, key, value);
}
bool IniWriteStrings(std::span<const IniEntry> entries) { return SettingsFile().WriteStrings(entries); }
void IniReadSection(std::vector<std::string>& list, std::string_view section) {
  list = SettingsFile().ReadSection(section);
}

std::string IniRead(const keys::Key& key) { return IniReadString(key.section, key.name, key.def); }

int IniReadInteger(const keys::Key& key) {
  int def = 0;
  ParseIniInteger(key.def, def);
  return IniReadInteger(key.section, key.name, def);
}

bool IniReadBool(const keys::Key& key) { return IniReadInteger(key) != 0; }

bool IniWrite(const keys::Key& key, std::string_view value) {
  return IniWriteString(key.section, key.name, value);
}

unsigned IniReadColor(const keys::Key& key) {
  int value = 0;
  if (!ParseIniInteger("$" + std::string(Trim(IniRead(key))), value)) ParseIniInteger("$" + std::string(key.def), value);
  return static_cast<unsigned>(value);
}

std::string OnlineSignUpPhoneNo() {
  return IniReadString(keys::OnlineSignUpPhoneNo.section, keys::OnlineSignUpPhoneNo.name,
                       IniRead(keys::DefaultOnlineSignUpPhoneNo));
}
std::string EMailPhoneNo() {
  return IniReadString(keys::EMailPhoneNo.section, keys::EMailPhoneNo.name, IniRead(keys::DefaultEMailPhoneNo));
}
std::string EMailAutoPhoneNo() {
  return IniReadString(keys::EMailAutoPhoneNo.section, keys::EMailAutoPhoneNo.name,
                       IniRead(keys::DefaultEMailAutoPhoneNo));
}

std::string GetMailFolder() { return FolderSetting(keys::MailFolder); }
std::string GetThemeFolder() { return FolderSetting(keys::ThemeFolder); }

std::string GetDataFilePath(std::string_view key, std::string_view def) {
  EnterProgramDir();
  return AbsoluteName(IniReadString("File", key, def), def);
}

std::string GetTempDataFile(int kind) {
  std::filesystem::path p = GetDataFilePath(keys::TempData.name, keys::TempData.def);
  auto ext = p.extension().string();
  p.replace_extension();
  return p.string() + std::to_string(kind) + ext;
}

std::string ComPortDeviceName(std::string_view name, bool withPrefix) {
  // Written with the port's number, so that "COM0001" is COM1 everywhere and
  // always fits the parameter block's 12-byte port field.
  const int number = ComPortNumber(Trim(name));
  const std::string full = "\\\\.\\COM" + std::to_string(number == 0 ? 1 : number);
  return withPrefix ? full : full.substr(4);
}

int BaudRateOrDefault(int value) { return value > 0 ? value : 115200; }

}  // namespace qv
