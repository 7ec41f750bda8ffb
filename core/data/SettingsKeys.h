#pragma once
// Every section and key of the settings file, with the default that applies
// when the key is absent.
#include <string_view>

namespace qv::keys {

struct Key {
  std::string_view section;
  std::string_view name;
  std::string_view def;
};

inline constexpr Key DllFile{"File", "DllFile", ""};
inline constexpr Key MessageFile{"File", "MessageFile", ""};
inline constexpr Key ErrorLogFile{"File", "ErrorLogFile", "Error.log"};
inline constexpr Key PBSoundFile{"File", "PBSoundFile", "pipo.wav"};
inline constexpr Key RingSoundFile{"File", "RingSoundFile", "pipo.wav"};
inline constexpr Key TempData{"File", "TempData", "Temp.dat"};
inline constexpr Key ImageDllFile{"File", "ImageDllFile", "image.dll"};
inline constexpr Key AddressFile{"File", "AddressFile", ""};
inline constexpr Key BookMarkFile{"File", "BookMarkFile", ""};
inline constexpr Key MidiDllFile{"File", "MidiDllFile", ""};
inline constexpr Key PicTextFile{"File", "PicTextFile", "Pictext.txt"};
inline constexpr Key FirstMessageFile{"File", "FirstMessageFile", ""};
inline constexpr Key OnlineSignUpDllFile{"File", "OnlineSignUpDllFile", ""};

inline constexpr std::string_view PluginsSection = "Plugins";

inline constexpr Key SerialPort{"Port", "SerialPort", ""};
inline constexpr Key Baudrate{"Port", "Baudrate", "0"};

inline constexpr Key DefaultOnlineSignUpPhoneNo{"PhoneNo", "DefaultOnlineSignUpPhoneNo", ""};
inline constexpr Key DefaultEMailPhoneNo{"PhoneNo", "DefaultEMailPhoneNo", ""};
inline constexpr Key DefaultEMailAutoPhoneNo{"PhoneNo", "DefaultEMailAutoPhoneNo", ""};
// These three default to the value of their Default... key.
inline constexpr Key OnlineSignUpPhoneNo{"PhoneNo", "OnlineSignUpPhoneNo", ""};
inline constexpr Key EMailPhoneNo{"PhoneNo", "EMailPhoneNo", ""};
inline constexpr Key EMailAutoPhoneNo{"PhoneNo", "EMailAutoPhoneNo", ""};

inline constexpr Key BunkeiFlag{"Bunkei", "Flag", "0"};

inline constexpr Key MailFolder{"Mail", "Folder", "MailLog"};
inline constexpr Key RingReject{"Mail", "RingReject", "1"};
inline constexpr Key DialWithNum{"Mail", "DialWithNum", "1"};
inline constexpr Key AutoReceive{"Mail", "AutoReceive", "0"};
// Two defaults stand: the settings dialog shows it on, the receive step treats it as off.
inline constexpr Key AutoDeleteDialog{"Mail", "AutoDelete", "1"};
inline constexpr Key AutoDeleteReceive{"Mail", "AutoDelete", "0"};
inline constexpr Key AutoDustClear{"Mail", "AutoDustClear", "0"};
inline constexpr Key MailAddress{"Mail", "Address", ""};
inline constexpr Key ReplyTo{"Mail", "ReplyTo", ""};
inline constexpr Key BCCAddSelf{"Mail", "BCCAddSelf", "0"};
inline constexpr Key QuoteMark{"Mail", "QuoteMark", "0"};
inline constexpr Key Excerpt{"Mail", "Excerpt", "0"};
inline constexpr Key KmailArchive{"Mail", "KmailArchive", "1"};
inline constexpr Key KmailDXArchive{"Mail", "KmailDXArchive", "1"};

inline constexpr Key FontColor{"Environment", "FontColor", "FFFFFF"};
inline constexpr Key BackColor{"Environment", "BackColor", "FF8080"};
inline constexpr Key FontSize{"Environment", "FontSize", "12"};
inline constexpr Key FontSizeSignUp{"Environment", "FontSize", "9"};
inline constexpr Key ShowMessage{"Environment", "ShowMessage", "1"};
inline constexpr Key PlaySound{"Environment", "PlaySound", "1"};
inline constexpr Key Vibration{"Environment", "Vibration", "1"};
inline constexpr Key DuplicationFlagStartOdd{"Environment", "DuplicationFlagStartOdd", "1"};
inline constexpr Key MaxLogCount{"Environment", "MaxLogCount", "100"};
inline constexpr Key MaxErrLogCount{"Environment", "MaxErrLogCount:", "100"};

inline constexpr Key ThemeFolder{"Theme", "Folder", "Theme"};
inline constexpr Key ThemeFile{"Theme", "File", ""};
inline constexpr Key ThemeEditMode{"Theme", "EditMode", "0"};
inline constexpr std::string_view ThemeListSection = "ThemeList";

}  // namespace qv::keys

namespace qv {
// Typed reads of a key with its own default.
std::string IniRead(const keys::Key& key);
int IniReadInteger(const keys::Key& key);
bool IniReadBool(const keys::Key& key);
bool IniWrite(const keys::Key& key, std::string_view value);
// A colour key: 8 hex digits read as "$" + value; the default when not hex.
unsigned IniReadColor(const keys::Key& key);
// The three phone numbers whose default is the value of their Default... key.
std::string OnlineSignUpPhoneNo();
std::string EMailPhoneNo();
std::string EMailAutoPhoneNo();
}  // namespace qv
