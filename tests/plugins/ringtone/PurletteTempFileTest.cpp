// The preview's temporary MIDI file: its name, how it is created and written,
// and that it goes with the plug-in.
#include "PurletteFixture.h"

#include <QAction>
#include <algorithm>
#include <functional>
#include <sys/stat.h>

using namespace purlettetest;

namespace {

std::vector<std::string> Names(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST_F(PurletteTest, ThePreviewFileIsCreatedPrivatelyAtLoadAndGoesWithThePlugin) {
  Load();
  const auto temp = TempFolder() / "PurletteCnv.mid";
  ASSERT_EQ(Names(TempFolder()), std::vector<std::string>{"PurletteCnv.mid"}) << "created with the window";
  struct stat st {};
  ASSERT_EQ(::lstat(temp.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  const Bytes song = Song({{0, 0}});
  Open(WriteMidi("song.mid", song));
  PlayToEnd("actMidiPlay");
  EXPECT_EQ(qvtest::ReadFile(temp), std::string(song.begin(), song.end())) << "the player gets a copy";
  PlayToEnd("actDxmPlay");
  EXPECT_EQ(qvtest::ReadFile(temp).substr(0, 4), "MThd") << "the handset version converted back";
  EXPECT_NE(qvtest::ReadFile(temp), std::string(song.begin(), song.end()));
  Unload();
  EXPECT_TRUE(Names(TempFolder()).empty());
}

TEST_F(PurletteTest, TakenNamesAreLeftAloneAndTheNextFreeNumberIsUsed) {
  const auto outside = tmp_.path() / "outside.txt";
  struct Case {
    const char* name;
    std::function<void()> plant;
  } cases[] = {
      {"a file left over", [&] { qvtest::WriteFile(TempFolder() / "PurletteCnv.mid", "left over"); }},
      {"a symbolic link planted at the name",
       [&] {
         qvtest::WriteFile(outside, "not yours");
         std::filesystem::create_symlink(outside, TempFolder() / "PurletteCnv.mid");
       }},
      {"a dangling link", [&] { std::filesystem::create_symlink(tmp_.path() / "nowhere", TempFolder() / "PurletteCnv.mid"); }},
  };
  const Bytes song = Song({{0, 0}});
  const auto file = WriteMidi("song.mid", song);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(TempFolder());
    std::filesystem::create_directories(TempFolder());
    std::filesystem::remove(outside);
    c.plant();
    const std::string planted = qvtest::ReadFile(TempFolder() / "PurletteCnv.mid");
    Load();
    EXPECT_EQ(Names(TempFolder()), (std::vector<std::string>{"PurletteCnv.mid", "PurletteCnv2.mid"}));
    Open(file);
    PlayToEnd("actMidiPlay");
    EXPECT_EQ(qvtest::ReadFile(TempFolder() / "PurletteCnv2.mid"), std::string(song.begin(), song.end()));
    EXPECT_EQ(qvtest::ReadFile(TempFolder() / "PurletteCnv.mid"), planted);
    Unload();
    EXPECT_EQ(Names(TempFolder()), std::vector<std::string>{"PurletteCnv.mid"}) << "only its own file is deleted";
    if (std::filesystem::exists(outside)) {
      EXPECT_EQ(qvtest::ReadFile(outside), "not yours");
    }
  }
}

TEST_F(PurletteTest, WithoutATemporaryFileTheHandsetPreviewIsOffAndTheSourcePlaysItself) {
  struct Case {
    const char* name;
    std::function<void()> prepare;
  } cases[] = {
      {"every name taken",
       [&] {
         SetTempFolder(tmp_.path() / "full");
         std::filesystem::create_directories(TempFolder());
         qvtest::WriteFile(TempFolder() / "PurletteCnv.mid", "");
         for (int n = 2; n <= 1000; ++n) qvtest::WriteFile(TempFolder() / ("PurletteCnv" + std::to_string(n) + ".mid"), "");
       }},
      {"a folder that takes no file", [&] { SetTempFolder("/proc"); }},
      {"a temporary folder that is a file",
       [&] {
         SetTempFolder(tmp_.path() / "a-file");
         qvtest::WriteFile(TempFolder(), "");
       }},
  };
  const auto file = WriteMidi("song.mid", Song({{0, 0}}));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.prepare();
    const size_t before = std::filesystem::is_directory(TempFolder()) && TempFolder() != "/proc" ? Names(TempFolder()).size() : 0;
    Load();
    if (before) {
      EXPECT_EQ(Names(TempFolder()).size(), before) << "no file was made";
    }
    Open(file);
    EXPECT_FALSE(Action("actDxmPlay")->isEnabled());
    const size_t rendered = Previews().size();
    PlayToEnd("actMidiPlay");
    ASSERT_EQ(Previews().size(), rendered + 1) << "the source file itself was played";
    EXPECT_GT(ReadWav(Previews().back()).Rms(), 300);
    Unload();
  }
  EXPECT_TRUE(Boxes().empty());
}
