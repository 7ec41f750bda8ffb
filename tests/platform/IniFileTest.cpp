#include "platform/IniFile.h"
#include "platform/Registry.h"

#include "FileSteps.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using qv::IniFile;

class IniFileTest : public ::testing::Test {
 protected:
  qvtest::TempDir dir;
  IniFile ini{dir / "Quorvel.ini"};
};

TEST_F(IniFileTest, MissingFileGivesDefaultsAndWriteCreatesIt) {
  EXPECT_EQ(ini.ReadString("File", "DllFile", "def"), "def");
  EXPECT_EQ(ini.ReadInteger("Port", "Baudrate", 7), 7);
  EXPECT_TRUE(ini.ReadBool("Mail", "RingReject", true));
  EXPECT_TRUE(ini.WriteString("Port", "SerialPort", "COM3"));
  EXPECT_EQ(qvtest::ReadFile(ini.Path()), "[Port]\r\nSerialPort=COM3\r\n");
}

TEST_F(IniFileTest, Cp932ValuesRoundTripByteForByte) {
  // ソ and 表 end in 0x5C; user-defined F040 and the NEC code ED40 must stay as they are.
  std::string value = "\x83\x5C\x95\x5C\xF0\x40\xED\x40 x";
  ASSERT_TRUE(ini.WriteString("Theme", "File", value));
  EXPECT_EQ(ini.ReadString("Theme", "File", ""), value);
  std::string key = "\x8E\xF3\x90\x4D";  // 受信
  ASSERT_TRUE(ini.WriteString("ThemeList", key, "a"));
  EXPECT_EQ(ini.ReadString("themelist", key, ""), "a");
}

TEST_F(IniFileTest, ProfileSemanticsOfExistingText) {
  qvtest::WriteFile(ini.Path(),
                    "; comment\r\n"
                    "orphan=1\r\n"
                    "  [ File ]  \r\n"
                    "  DllFile =  Portvine.so  \r\n"
                    "broken line without equals\r\n"
                    "Quoted=\"  spaced  \"\r\n"
                    "dup=first\r\n"
                    "dup=second\r\n"
                    "[file]\r\n"
                    "Other=x\n"
                    "[Mail]\n"
                    "RingReject=0\n"
                    "AutoReceive=yes\n"
                    "DialWithNum=-3\n");
  EXPECT_EQ(ini.ReadString("FILE", "dllfile", ""), "Portvine.so");
  EXPECT_EQ(ini.ReadString("File", "Quoted", ""), "  spaced  ");
  EXPECT_EQ(ini.ReadString("File", "dup", ""), "first");
  EXPECT_EQ(ini.ReadString("File", "Other", "none"), "none");  // only the first section counts
  EXPECT_EQ(ini.ReadString("", "orphan", "none"), "none");
  EXPECT_FALSE(ini.ReadBool("Mail", "RingReject", true));
  EXPECT_TRUE(ini.ReadBool("Mail", "AutoReceive", true));  // not a number: default
  EXPECT_FALSE(ini.ReadBool("Mail", "AutoReceive", false));
  EXPECT_TRUE(ini.ReadBool("Mail", "DialWithNum", false));
  EXPECT_EQ(ini.ReadSection("File"),
            (std::vector<std::string>{"DllFile=Portvine.so", "Quoted=  spaced  ", "dup=first", "dup=second"}));
  EXPECT_EQ(ini.ReadSectionNames(), (std::vector<std::string>{"File", "file", "Mail"}));
}

TEST_F(IniFileTest, WritesKeepEverythingElse) {
  qvtest::WriteFile(ini.Path(), "; keep me\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
  ASSERT_TRUE(ini.WriteString("a", "X", "10"));
  ASSERT_TRUE(ini.WriteString("A", "z", "3"));
  ASSERT_TRUE(ini.WriteString("C", "w", "4"));
  EXPECT_EQ(qvtest::ReadFile(ini.Path()), "; keep me\r\n[A]\r\nX=10\r\nz=3\r\n\r\n[B]\r\ny=2\r\n\r\n[C]\r\nw=4\r\n");
  ASSERT_TRUE(ini.DeleteKey("A", "x"));
  ASSERT_TRUE(ini.EraseSection("B"));
  EXPECT_EQ(qvtest::ReadFile(ini.Path()), "; keep me\r\n[A]\r\nz=3\r\n\r\n[C]\r\nw=4\r\n");
  EXPECT_FALSE(ini.SectionExists("B"));
  EXPECT_TRUE(ini.SectionExists("c"));
}

TEST_F(IniFileTest, AFailedWriteLeavesTheFileWhole) {
  ASSERT_TRUE(ini.WriteString("A", "x", "1"));
  IniFile bad(dir / "missing-dir-is-a-file" / "x.ini");
  qvtest::WriteFile(dir / "missing-dir-is-a-file", "plain file");
  EXPECT_FALSE(bad.WriteString("A", "x", "1"));
  EXPECT_EQ(qvtest::ReadFile(ini.Path()), "[A]\r\nx=1\r\n");
}

TEST_F(IniFileTest, SeveralEntriesGoInOneRewrite) {
  qvtest::WriteFile(ini.Path(), "; keep me\r\n[Port]\r\nSerialPort=COM1\r\n\r\n[Mail]\r\nAddress=a\r\n");
  const std::vector<qv::IniEntry> entries = {{"Port", "SerialPort", "COM7"},
                                             {"Port", "Baudrate", "9600"},
                                             {"Bunkei", "Flag", "1"},
                                             {"mail", "ADDRESS", "b"},
                                             {"Bunkei", "Flag", "0"}};
  ASSERT_TRUE(ini.WriteStrings(entries));
  EXPECT_EQ(qvtest::ReadFile(ini.Path()),
            "; keep me\r\n[Port]\r\nSerialPort=COM7\r\nBaudrate=9600\r\n\r\n[Mail]\r\nADDRESS=b\r\n\r\n"
            "[Bunkei]\r\nFlag=0\r\n")
      << "a later entry of the same key wins";
  // One rewrite: the folder never held more than the file between the two.
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"Quorvel.ini"}) << "no temporary file left behind";
}

TEST_F(IniFileTest, AFileMarkedReadOnlyIsNeverReplaced) {
  const std::string before = "[Port]\r\nSerialPort=COM1\r\n";
  qvtest::WriteFile(ini.Path(), before);
  std::filesystem::permissions(ini.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                               std::filesystem::perms::others_read);
  EXPECT_FALSE(ini.WriteString("Port", "SerialPort", "COM2"));
  const std::vector<qv::IniEntry> entries = {{"Port", "SerialPort", "COM3"}, {"Port", "Baudrate", "9600"}};
  EXPECT_FALSE(ini.WriteStrings(entries));
  EXPECT_FALSE(ini.DeleteKey("Port", "SerialPort"));
  EXPECT_EQ(qvtest::ReadFile(ini.Path()), before);
  EXPECT_EQ(ini.ReadString("Port", "SerialPort", ""), "COM1") << "reading goes on";
  std::filesystem::permissions(ini.Path(), std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
  EXPECT_TRUE(ini.WriteString("Port", "SerialPort", "COM2"));
}

TEST(IniInteger, ParsesLikeTheFramework) {
  struct Case {
    const char* text;
    bool ok;
    int value;
  } cases[] = {
      {"12", true, 12},        {" -7 ", true, -7},     {"+3", true, 3},
      {"$FF", true, 255},      {"0x10", true, 16},     {"$FFFFFFFF", true, -1},
      {"12abc", false, 0},     {"", false, 0},         {"$", false, 0},
      {"99999999999", false, 0}, {"1.5", false, 0},
  };
  for (const auto& c : cases) {
    int v = 0;
    EXPECT_EQ(qv::ParseIniInteger(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(Registry, LivesUnderXdgConfigHomeAndReadsBack) {
  qvtest::TempDir dir;
  ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  EXPECT_EQ(qv::RegistryPath(), dir / "Marlinex" / "Quorvel.reg");
  ASSERT_TRUE(qv::Registry().WriteString("FormPosition", "Launch", "0000000000F00140"));
  EXPECT_EQ(qv::Registry().ReadString("formposition", "launch", ""), "0000000000F00140");
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", dir.path().c_str(), 1);
  EXPECT_EQ(qv::RegistryPath(), dir / ".config" / "Marlinex" / "Quorvel.reg");
}

TEST(FileSteps, SettingsAndRegistryAreReplacedThroughAFlushedTemporary) {
  // Each write: the whole text into a temporary beside the file, flushed to
  // disk, renamed over the file, the folder's entry flushed. Never a byte
  // written into the file itself.
  qvtest::TempDir dir;
  ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  qvtest::FileStepLog steps(dir.path());
  IniFile settings(dir / "Quorvel.ini");
  ASSERT_TRUE(settings.WriteString("Port", "SerialPort", "COM3"));
  EXPECT_EQ(steps.Lines(), steps.Replaced(dir / "Quorvel.ini"));
  steps.Clear();
  ASSERT_TRUE(settings.WriteString("Port", "Baudrate", "9600"));  // an existing file likewise
  EXPECT_EQ(steps.Lines(), steps.Replaced(dir / "Quorvel.ini"));
  steps.Clear();
  ASSERT_TRUE(qv::Registry().WriteString("FormPosition", "Launch", "0000000000F00140"));
  EXPECT_EQ(steps.Lines(), steps.Replaced(dir / "Marlinex" / "Quorvel.reg"));
  ::unsetenv("XDG_CONFIG_HOME");
}
