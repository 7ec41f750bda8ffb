#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"

#include "platform/Module.h"
#include "platform/Registry.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace qv;

class SettingsTest : public ::testing::Test {
 protected:
  qvtest::TempDir tmp;
  qvtest::ScopedLauncherDir launcher{tmp / "app"};
  std::string dir = (tmp / "app").string();
};

TEST_F(SettingsTest, TheSettingsFileIsNamedAfterTheProgram) {
  EXPECT_EQ(SettingsFilePath(), tmp / "app" / "Quorvel.ini");
  ASSERT_TRUE(IniWriteString("Port", "SerialPort", "COM4"));
  EXPECT_EQ(qvtest::ReadFile(launcher.ini()), "[Port]\r\nSerialPort=COM4\r\n");
}

TEST_F(SettingsTest, KeysGiveTheirDefaultsWhenAbsent) {
  EXPECT_EQ(IniRead(keys::ErrorLogFile), "Error.log");
  EXPECT_EQ(IniReadInteger(keys::Baudrate), 0);
  EXPECT_TRUE(IniReadBool(keys::RingReject));
  EXPECT_FALSE(IniReadBool(keys::AutoDeleteReceive));
  EXPECT_TRUE(IniReadBool(keys::AutoDeleteDialog));
  EXPECT_EQ(IniReadColor(keys::BackColor), 0xFF8080u);
  EXPECT_EQ(IniReadColor(keys::FontColor), 0xFFFFFFu);
  IniWriteString("Environment", "BackColor", "00123456");
  IniWriteString("Environment", "FontColor", "zz");
  EXPECT_EQ(IniReadColor(keys::BackColor), 0x123456u);
  EXPECT_EQ(IniReadColor(keys::FontColor), 0xFFFFFFu);
}

TEST_F(SettingsTest, PhoneNumbersFallBackToTheirDefaultKeys) {
  EXPECT_EQ(EMailPhoneNo(), "");
  IniWriteString("PhoneNo", "DefaultEMailPhoneNo", "0570001");
  IniWriteString("PhoneNo", "DefaultOnlineSignUpPhoneNo", "0570002");
  EXPECT_EQ(EMailPhoneNo(), "0570001");
  EXPECT_EQ(OnlineSignUpPhoneNo(), "0570002");
  IniWriteString("PhoneNo", "EMailPhoneNo", "0999");
  EXPECT_EQ(EMailPhoneNo(), "0999");
  EXPECT_EQ(EMailAutoPhoneNo(), "");
}

TEST_F(SettingsTest, DataFoldersAndFiles) {
  EXPECT_EQ(GetMailFolder(), dir + "/MailLog/");
  IniWriteString("Mail", "Folder", "   ");
  EXPECT_EQ(GetMailFolder(), dir + "/MailLog/");
  IniWriteString("Mail", "Folder", "/srv/mail");
  EXPECT_EQ(GetMailFolder(), "/srv/mail/");
  IniWriteString("Mail", "Folder", "sub\\Mail\\");
  EXPECT_EQ(GetMailFolder(), dir + "/sub/Mail/");
  EXPECT_EQ(GetThemeFolder(), dir + "/Theme/");
  EXPECT_EQ(std::filesystem::current_path(), tmp / "app");  // callers rely on this

  EXPECT_EQ(GetDataFilePath("ErrorLogFile", "Error.log"), dir + "/Error.log");
  IniWriteString("File", "ErrorLogFile", "logs\\err.txt");
  EXPECT_EQ(GetDataFilePath("ErrorLogFile", "Error.log"), dir + "/logs/err.txt");

  EXPECT_EQ(GetTempDataFile(1), dir + "/Temp1.dat");
  IniWriteString("File", "TempData", "/x/data.tmp");
  EXPECT_EQ(GetTempDataFile(4), "/x/data4.tmp");
  IniWriteString("File", "TempData", "x\\noext");
  EXPECT_EQ(GetTempDataFile(8), dir + "/x/noext8");
}

TEST(ComPort, NamesAndDeviceNames) {
  // After COM or \\.\COM a decimal number 1..256 and nothing more; the
  // number names the port, however many leading zeros it has.
  struct Case {
    const char* name;
    int number;
    const char* withPrefix;
    const char* without;
  } cases[] = {
      {"COM1", 1, "\\\\.\\COM1", "COM1"},
      {"com3", 3, "\\\\.\\COM3", "COM3"},
      {"\\\\.\\COM12", 12, "\\\\.\\COM12", "COM12"},
      {"\\\\.\\com12", 12, "\\\\.\\COM12", "COM12"},
      {" COM256 ", 0, "\\\\.\\COM256", "COM256"},  // blanks only count after trimming
      {"COM256", 256, "\\\\.\\COM256", "COM256"},
      {"COM0001", 1, "\\\\.\\COM1", "COM1"},
      {"\\\\.\\COM0012", 12, "\\\\.\\COM12", "COM12"},
      {"COM0256", 256, "\\\\.\\COM256", "COM256"},
      {"COM000000000000000000007", 7, "\\\\.\\COM7", "COM7"},
      {"COM0", 0, "\\\\.\\COM1", "COM1"},
      {"COM0000", 0, "\\\\.\\COM1", "COM1"},
      {"COM257", 0, "\\\\.\\COM1", "COM1"},
      {"COM0257", 0, "\\\\.\\COM1", "COM1"},
      {"COM1000", 0, "\\\\.\\COM1", "COM1"},
      {"COM99999999999999999999", 0, "\\\\.\\COM1", "COM1"},
      {"COM3x", 0, "\\\\.\\COM1", "COM1"},
      {"COM0003x", 0, "\\\\.\\COM1", "COM1"},
      {"COM1 2", 0, "\\\\.\\COM1", "COM1"},
      {"COM+1", 0, "\\\\.\\COM1", "COM1"},
      {"COM-1", 0, "\\\\.\\COM1", "COM1"},
      {"COM", 0, "\\\\.\\COM1", "COM1"},
      {"\\\\.\\COM", 0, "\\\\.\\COM1", "COM1"},
      {"LPT1", 0, "\\\\.\\COM1", "COM1"},
      {"", 0, "\\\\.\\COM1", "COM1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ComPortNumber(c.name), c.number) << c.name;
    EXPECT_EQ(IsComPortName(c.name), c.number != 0) << c.name;
    EXPECT_EQ(ComPortDeviceName(c.name, true), c.withPrefix) << c.name;
    EXPECT_EQ(ComPortDeviceName(c.name, false), c.without) << c.name;
  }
  EXPECT_EQ(BaudRateOrDefault(0), 115200);
  EXPECT_EQ(BaudRateOrDefault(-5), 115200);
  EXPECT_EQ(BaudRateOrDefault(9600), 9600);
}

TEST_F(SettingsTest, AValueWrittenByOneModuleIsReadByAnother) {
  Module plugin;
  ASSERT_TRUE(plugin.Load(QV_SETTINGS_MODULE)) << plugin.Error();
  auto write = plugin.Function<void (*)(const char*)>("module_write");
  auto read = plugin.Function<void (*)(char*, int)>("module_read");
  ASSERT_TRUE(write && read);
  std::string theme = "Theme\\\x83\x5C\x83\x74\x83\x67.qvt";  // ソフト, trail bytes 0x5C and 0x74
  write(theme.c_str());
  EXPECT_EQ(IniReadString("Theme", "File", ""), theme);
  EXPECT_EQ(Registry().ReadString("FormPosition", "Theme", ""), theme);
  IniWriteString("Port", "SerialPort", "COM9");
  char buf[32];
  read(buf, sizeof buf);
  EXPECT_STREQ(buf, "COM9");
}
