// The app folder's own data: the default settings file and the message file.
#include "TestSupport.h"
#include "core/data/MessageTable.h"
#include "core/ui/Theme.h"
#include "platform/Cp932.h"
#include "platform/IniFile.h"
#include "platform/Version.h"

#include <QImage>
#include <cstdio>
#include <gtest/gtest.h>

using namespace qvtest;

namespace {
std::filesystem::path SourceData(const char* name) {
  return std::filesystem::path(std::getenv("QV_SOURCE_DIR")) / "data" / "app" / name;
}
std::string Id(char letter, int code) {
  char id[16];
  std::snprintf(id, sizeof id, "%c%05d", letter, code);
  return id;
}
}  // namespace

TEST(DataFiles, TheMessageFileHasATextForEveryIdTheSystemUses) {
  qv::MessageTable table;
  ASSERT_TRUE(table.LoadFromFile(SourceData("Message.txt")));
  std::vector<std::string> ids = {"I00101", "W01001", "W01002", "W01003", "W01004", "W01005", "E00520",
                                  "W02001", "W02002", "W02003", "W02004", "W02005", "W03001", "W04001",
                                  "W04002", "W05001", "W00001", "D01001", "D01002", "D01003", "D01004",
                                  "D01005", "D01006", "D01007"};
  // Progress events of every session kind, error events, and module errors.
  for (int code : {6, 16, 26, 36, 46, 56, 66, 1, 11, 31, 41, 51, 61, 2, 12, 32, 52, 3, 4, 44, 54, 47, 57,
                   5, 15, 25, 35, 45, 55, 65, 24, 62, 64, 67})
    ids.push_back(Id('I', code));
  for (int code : {1120, 1130, 1280, 10, 170, 520, 650, 660, 800, 810, 820}) ids.push_back(Id('E', code));
  for (int code : {1, 2, 3, 4, 5, 8, 9, 11, 12, 13, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28,
                   29, 30, 31, 32, 33, 101})
    ids.push_back(Id('D', code));
  for (const auto& id : ids) EXPECT_FALSE(table.Text(id).empty()) << id;
  for (const auto& line : table.Lines()) {
    ASSERT_GE(line.size(), 8u) << line;
    EXPECT_EQ(line[6], '=') << line;
    EXPECT_NE(std::string("IWDE").find(line[0]), std::string::npos) << line;
  }
}

TEST(DataFiles, TheMessageFileIsTheShiftJisFormOfItsReadableSource) {
  const std::string cp932 = ReadFile(SourceData("Message.txt"));
  const auto source = std::filesystem::path(std::getenv("QV_SOURCE_DIR")) / "tools" / "assets" / "Message.utf8.txt";
  std::string expected;
  for (char c : ReadFile(source)) {
    if (c == '\n') expected += '\r';
    expected += c;
  }
  EXPECT_EQ(qv::cp932::ToUtf8(cp932), expected);
  EXPECT_EQ(qv::cp932::FromUtf8(expected), cp932) << "every text has a Shift-JIS form";
}

TEST(DataFiles, TheDefaultSettingsNameFilesThatAreInTheAppFolder) {
  qv::IniFile ini(SourceData("Quorvel.ini"));
  EXPECT_EQ(ini.ReadString("File", "DllFile", ""), "Portvine.so");
  EXPECT_EQ(ini.ReadString("File", "ImageDllFile", ""), "image.dll");
  for (const char* key : {"MessageFile", "PBSoundFile", "RingSoundFile"}) {
    const std::string name = ini.ReadString("File", key, "");
    EXPECT_TRUE(std::filesystem::is_regular_file(SourceData(name.c_str()))) << key << "=" << name;
  }
  // Every plug-in under its own key (the launcher skips those not built);
  // the ones built are among the first listed.
  const char* const plugins[] = {"QvMail.qpl", "QvAddress.qpl", "QvBookMark.qpl",
                                 "Qvpurlette.qpl", "QvOnlinesignup.qpl", "QvBanner.qpl"};
  int listed = 0;
  for (int key = 1; key <= 6; ++key) {
    const std::string name = ini.ReadString("Plugins", std::to_string(key), "");
    if (name.empty()) break;
    EXPECT_EQ(name, plugins[key - 1]);
    ++listed;
  }
  for (int key = 1; key <= 6; ++key) {
    if (std::filesystem::is_regular_file(AppDir() / plugins[key - 1])) {
      EXPECT_LE(key, listed) << plugins[key - 1] << " is built but not listed";
    }
  }
  EXPECT_EQ(ini.ReadString("Port", "SerialPort", "x"), "");
  EXPECT_EQ(ini.ReadString("Environment", "BackColor", ""), "00FF8080");
  // The settings dialog's default, which the receive step then follows too.
  EXPECT_EQ(ini.Read("Mail", "AutoDelete"), std::optional<std::string>("1"));
  // The centre numbers: those of the simulated centres, reached through the
  // Default... keys, which an empty user key would hide.
  for (const char* key : {"OnlineSignUpPhoneNo", "EMailPhoneNo", "EMailAutoPhoneNo"}) {
    EXPECT_FALSE(ini.Read("PhoneNo", key).has_value()) << key;
    EXPECT_NE(ini.ReadString("PhoneNo", std::string("Default") + key, ""), "") << key;
  }
  for (const char* section : {"File", "Plugins", "Port", "PhoneNo", "Bunkei", "Mail", "Environment", "Theme", "ThemeList"})
    EXPECT_TRUE(ini.SectionExists(section)) << section;
}

TEST(DataFiles, OurPicturesHaveTheSizesTheWindowsUse) {
  struct Case {
    const char* name;
    QSize size;
  } cases[] = {{"logo.png", {61, 50}},
               {"banner.png", {120, 4 * 50}},  // a strip of 50-pixel frames: the rest frame and three to play
               {"tray.png", {32, 32}},
               {"option.png", {32, 32}},
               {"wait.png", {2 * 32, 32}}};  // two frames side by side
  for (const Case& c : cases) {
    QImage image(QString::fromStdString(SourceData(c.name).string()));
    EXPECT_EQ(image.size(), c.size) << c.name;
  }
}

TEST(DataFiles, TheDefaultThemeIsOurBannerStripAndCannotBeEdited) {
  qv::IniFile ini(SourceData("Quorvel.ini"));
  const std::string file = ini.ReadString("Theme", "File", "");
  EXPECT_EQ(file, "VeoQuorvel.qvt");
  EXPECT_EQ(ini.ReadString("ThemeList", "1", ""), file) << "listed first";
  qv::TBannerData theme;
  ASSERT_TRUE(qv::LoadBannerIndex(SourceData(("Theme/" + file).c_str()), theme));
  EXPECT_EQ(theme.Name, "VeoQuorvel");
  EXPECT_EQ(theme.Interval, "0.5");
  EXPECT_EQ(qv::cp932::ToUtf8(theme.Balloon), "VeoQuorvel - PHSメール");
  EXPECT_FALSE(theme.Editable);
  const QImage strip(QString::fromStdString(SourceData("banner.png").string()));
  EXPECT_EQ(theme.Bitmap, strip.convertToFormat(QImage::Format_RGB32)) << "drawn with the banner strip";
  EXPECT_TRUE(std::filesystem::is_regular_file(AppDir() / "Theme" / file)) << "in the app folder";
}

TEST(DataFiles, EveryBinaryOfTheAppFolderCarriesTheProjectVersion) {
  std::vector<std::string> checked;
  for (const auto& entry : std::filesystem::directory_iterator(AppDir())) {
    const std::string name = entry.path().filename().string();
    const std::string ext = entry.path().extension().string();
    const bool binary = name == "Quorvel" || ((ext == ".so" || ext == ".qpl" || ext == ".dll") && !name.starts_with("lib"));
    if (!binary) continue;
    checked.push_back(name);
    EXPECT_EQ(qv::ReadVersionValue(entry.path(), "FileVersion").value_or("none"), QV_VERSION) << name;
    EXPECT_EQ(qv::ReadVersionValue(entry.path(), "ProductVersion").value_or("none"), QV_VERSION) << name;
  }
  for (const char* name : {"Quorvel", "Portvine.so", "KWX.so", "TCV.so", "QvMail.qpl", "Qvpurlette.qpl",
                           "QvOnlinesignup.qpl", "QvBanner.qpl"})
    EXPECT_NE(std::find(checked.begin(), checked.end(), name), checked.end()) << name << " was not built";
  EXPECT_EQ(qv::ReadVersionValue(AppDir() / "Quorvel", "ProductName").value_or(""), "VeoQuorvel");
  EXPECT_EQ(qv::ReadVersionValue(AppDir() / "Portvine.so", "ProductName").value_or(""), "Portvine");
}
