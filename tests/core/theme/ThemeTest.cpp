// Theme files: the round trip field by field and pixel by pixel, the file
// as other software reads it, damaged files, the interval's speed, the
// launcher's animation and the folder listing.
#include "core/ui/Theme.h"

#include "FileSizeLimit.h"
#include "ReadOnlyFolder.h"
#include "TestSupport.h"
#include "ThemeFiles.h"
#include "controls/AnimationImage.h"
#include "core/data/NamedRecordFile.h"
#include "platform/IniFile.h"

#include <QPainter>
#include <climits>
#include <fstream>
#include <gtest/gtest.h>

using namespace qv;
using namespace themetest;
using qvtest::Sjis;

namespace {

class ThemeFile : public ::testing::Test {
 protected:
  qvtest::TempDir tmp_;
  std::filesystem::path File(std::string_view name) const { return tmp_ / name; }
};

}  // namespace

TEST_F(ThemeFile, RoundTripKeepsEveryFieldAndPixel) {
  struct Case {
    const char* what;
    int frames;
    std::string name, interval, balloon;
    bool editable;
  } cases[] = {
      {"one frame", 1, Sjis("朝の海"), "0.5", Sjis("おはよう"), true},
      {"two frames, quotes and commas", 2, "a,\"b\"", "10", "one, two \"three\"", false},
      {"256 frames", 256, Sjis("ソ表示"), "0.01", "", true},
      {"a balloon over lines", 3, "x", "2", "line 1\r\nline 2", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TBannerData theme{c.name, c.interval, c.balloon, c.editable, Strip(c.frames)};
    const auto path = File("t.qvt");
    ASSERT_TRUE(SaveBannerIndex(path, theme));
    TBannerData back;
    ASSERT_TRUE(LoadBannerIndex(path, back));
    EXPECT_EQ(back.Name, c.name);
    EXPECT_EQ(back.Interval, c.interval);
    EXPECT_EQ(back.Balloon, c.balloon);
    EXPECT_EQ(back.Editable, c.editable);
    ASSERT_EQ(back.Bitmap.size(), QSize(120, 50 * c.frames));
    EXPECT_EQ(back.Bitmap, theme.Bitmap.convertToFormat(QImage::Format_RGB32)) << "pixel by pixel";
  }
}

TEST_F(ThemeFile, TheFileHoldsTheIndexRowThenA24BitBitmap) {
  QImage indexed = Strip(2).convertToFormat(QImage::Format_Indexed8);
  ASSERT_TRUE(SaveBannerIndex(File("t.qvt"), {"name", "0.5", "hi there", true, indexed}));
  std::ifstream in(File("t.qvt"), std::ios::binary);
  std::vector<std::string> names;
  ASSERT_TRUE(ListRecords(in, names));
  EXPECT_EQ(names, (std::vector<std::string>{"banner.idx", "banner.bmp"}));
  std::string index, bitmap;
  ASSERT_TRUE(ReadRecord(in, "banner.idx", index));
  EXPECT_EQ(index, "1,0.5,\"hi there\",name\r\n");
  ASSERT_TRUE(ReadRecord(in, "banner.bmp", bitmap));
  ASSERT_GT(bitmap.size(), 54u);
  EXPECT_EQ(bitmap.substr(0, 2), "BM");
  EXPECT_EQ(static_cast<uint8_t>(bitmap[28]), 24) << "bits per pixel";
}

TEST_F(ThemeFile, AThemeWithoutANameTakesItsFileName) {
  ASSERT_TRUE(SaveBannerIndex(File("夕焼け.qvt"), {"", "1", "", true, Strip(2)}));
  TBannerData back;
  ASSERT_TRUE(LoadBannerIndex(File("夕焼け.qvt"), back));
  EXPECT_EQ(back.Name, Sjis("夕焼け")) << "the name as text";
}

TEST(ThemeFileName, ForbiddenCharactersBecomeFullWidth) {
  EXPECT_EQ(ThemeFileName("a/b"), Sjis("a／b.qvt"));
  EXPECT_EQ(ThemeFileName("x"), "x.qvt");
  EXPECT_EQ(ThemeFileName(Sjis("ソ:*?")), Sjis("ソ：＊？.qvt"));
}

TEST(ThemeSpeed, IntervalTextGivesMillisecondsWithinTheTimersRange) {
  struct Case {
    const char* text;
    int ms;
  } cases[] = {
      {"0.5", 500},        {"0.01", 10},          {"10", 10000},      {" 2 ", 2000},
      {"0", 500},          {"", 500},             {"abc", 500},       {"1,5", 500},
      {"0.5s", 500},       {"-1", 500},           {"nan", 500},       {"-inf", 500},
      {"1e12", INT32_MAX}, {"inf", INT32_MAX},    {"2147483", 2147483000},
      {"2147483.6475", INT32_MAX}, {"0.001", 1},
      // Under a millisecond truncates to 0: the banner stands still.
      {"0.0004", 0}, {"0.0001", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ThemeSpeed(c.text), c.ms) << '"' << c.text << '"';
}

TEST_F(ThemeFile, DamagedFilesAreNoThemeAndLeaveTheRecordAsItWas) {
  const std::string bmp = BitmapFile(Strip(2));
  const std::string idx = "1,0.5,b,n\r\n";
  const std::string whole = Record("banner.idx", idx) + Record("banner.bmp", bmp);
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty file", ""},
      {"cut in the first length", whole.substr(0, 2)},
      {"cut in the index", whole.substr(0, 12)},
      {"cut in the bitmap's length", whole.substr(0, Record("banner.idx", idx).size() + 16)},
      {"cut in the bitmap", whole.substr(0, whole.size() - 100)},
      {"negative name length", Le32(-5) + "banner.idx" + whole},
      {"huge name length", Le32(INT32_MAX) + whole},
      {"negative data length", Le32(10) + "banner.idx" + Le32(-1) + Record("banner.bmp", bmp)},
      {"huge data length", Record("banner.idx", idx) + Le32(10) + "banner.bmp" + Le32(INT32_MAX) + bmp},
      {"no banner.bmp", Record("banner.idx", idx)},
      {"empty banner.bmp", Record("banner.idx", idx) + Record("banner.bmp", "")},
      {"banner.bmp not a bitmap", Record("banner.idx", idx) + Record("banner.bmp", "GIF89a....")},
      {"bitmap header with no pixels", Record("banner.idx", idx) + Record("banner.bmp", bmp.substr(0, 60))},
      {"bitmap of width 0", Record("banner.idx", idx) + Record("banner.bmp", WithWidth(bmp, 0))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qvtest::WriteFile(File("bad.qvt"), c.bytes);
    TBannerData theme{"keep", "3", "balloon", true, Strip(1)};
    const QImage before = theme.Bitmap;
    EXPECT_FALSE(LoadBannerIndex(File("bad.qvt"), theme));
    EXPECT_EQ(theme.Name, "keep");
    EXPECT_EQ(theme.Interval, "3");
    EXPECT_TRUE(theme.Editable);
    EXPECT_EQ(theme.Bitmap, before);
  }
  TBannerData theme;
  EXPECT_FALSE(LoadBannerIndex(File("missing.qvt"), theme));
  std::filesystem::create_directory(File("folder.qvt"));
  EXPECT_FALSE(LoadBannerIndex(File("folder.qvt"), theme));
  // The intact file loads, so each case above fails for its own damage.
  qvtest::WriteFile(File("good.qvt"), whole);
  EXPECT_TRUE(LoadBannerIndex(File("good.qvt"), theme));
}

TEST_F(ThemeFile, AFailedSaveKeepsTheOldFileWhole) {
  const auto path = File("t.qvt");
  ASSERT_TRUE(SaveBannerIndex(path, {"old", "1", "", true, Strip(2)}));
  const std::string before = qvtest::ReadFile(path);
  EXPECT_FALSE(SaveBannerIndex(path, {"new", "1", "", true, QImage()})) << "no strip";
  EXPECT_EQ(qvtest::ReadFile(path), before);
  {
    qvtest::ReadOnlyFolder readOnly(tmp_.path());
    EXPECT_FALSE(SaveBannerIndex(path, {"new", "1", "", true, Strip(3)})) << "read-only folder";
  }
  EXPECT_EQ(qvtest::ReadFile(path), before);
  EXPECT_FALSE(SaveBannerIndex(File(std::string(300, 'x') + ".qvt"), {"x", "1", "", true, Strip(2)}))
      << "a name too long for the file system";
  // A full disk half-way through: the file-size limit stands in for it.
  bool saved = true;
  {
    qvtest::FileSizeLimit limit(4096);
    ASSERT_TRUE(limit.Set());
    saved = SaveBannerIndex(path, {"big", "1", "", true, Strip(20)});
  }
  EXPECT_FALSE(saved);
  EXPECT_EQ(qvtest::ReadFile(path), before);
}

TEST(ListFiles, MatchesTheMaskIgnoringCaseAndAddsOnlyNewNames) {
  qvtest::TempDir tmp;
  for (const char* name : {"a.qvt", "B.QVT", ".hidden.qvt", "c.Qvt", "d.qvtx", "e.qv", "qvt", "listed.qvt"})
    qvtest::WriteFile(tmp / name, "x");
  std::filesystem::create_directory(tmp / "folder.qvt");
  std::vector<std::string> list{"first.qvt", "listed.qvt"};
  ListFiles((tmp.path() / "*.qvt").string(), list);
  ASSERT_GE(list.size(), 2u);
  EXPECT_EQ(list[0], "first.qvt");
  EXPECT_EQ(list[1], "listed.qvt");
  std::vector<std::string> found(list.begin() + 2, list.end());
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{".hidden.qvt", "B.QVT", "a.qvt", "c.Qvt"}));
  std::vector<std::string> one;
  ListFiles((tmp.path() / "?.QVT").string(), one);
  std::sort(one.begin(), one.end());
  EXPECT_EQ(one, (std::vector<std::string>{"B.QVT", "a.qvt", "c.Qvt"}));
  std::vector<std::string> none;
  ListFiles((tmp.path() / "missing" / "*.qvt").string(), none);
  EXPECT_TRUE(none.empty());
}

TEST(ListFiles, AQuestionMarkTakesADoubleByteCharacterWhole) {
  qvtest::TempDir tmp;
  qvtest::WriteFile(tmp / "ソ.qvt", "x");
  qvtest::WriteFile(tmp / "ソソ.qvt", "x");
  std::vector<std::string> list;
  ListFiles((tmp.path() / "?.qvt").string(), list);
  EXPECT_EQ(list, std::vector<std::string>{Sjis("ソ.qvt")});
}

namespace {

class ThemeAnimation : public ::testing::Test {
 protected:
  void SetUp() override {
    launcher_ = std::make_unique<qvtest::ScopedLauncherDir>(tmp_.path());
    std::filesystem::create_directories(tmp_ / "Theme");
  }
  void UseTheme(const std::string& file) { IniFile(launcher_->ini()).WriteString("Theme", "File", file); }
  std::filesystem::path Theme(std::string_view file) const { return tmp_ / "Theme" / file; }

  qvtest::TempDir tmp_;
  std::unique_ptr<qvtest::ScopedLauncherDir> launcher_;
};

struct Shown {
  QImage picture;
  int rows, cols, speed;
  QString hint;
  bool operator==(const Shown&) const = default;
};
Shown Of(const TAnimationImage& a) { return {a.GetPicture(), a.GetRowCount(), a.GetColCount(), a.GetSpeed(), a.toolTip()}; }

}  // namespace

TEST_F(ThemeAnimation, TheCurrentThemePlaysWithItsRowsSpeedAndBalloon) {
  struct Case {
    const char* what;
    int height;
    std::string interval;
    int rows, speed;
  } cases[] = {
      {"four frames at 0.1 s", 200, "0.1", 4, 100},
      {"interval 0", 100, "0", 2, 500},
      {"no interval", 100, "", 2, 500},
      {"an interval of words", 100, "abc", 2, 500},
      {"a negative interval", 100, "-1", 2, 500},
      {"not a number", 100, "nan", 2, 500},
      {"a huge interval", 100, "1e12", 2, INT32_MAX},
      {"130 rows give two frames", 130, "1", 2, 1000},
      {"under a millisecond", 100, "0.0004", 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const QImage strip = StripOfHeight(c.height);
    ASSERT_TRUE(SaveBannerIndex(Theme("t.qvt"), {"t", c.interval, Sjis("ふきだし"), true, strip}));
    UseTheme("t.qvt");
    TAnimationImage banner;
    banner.SetSkipStartPos(true);
    ASSERT_TRUE(LoadThemeAnimation(banner));
    EXPECT_EQ(banner.GetRowCount(), c.rows);
    EXPECT_EQ(banner.GetColCount(), 1);
    EXPECT_EQ(banner.GetSpeed(), c.speed);
    EXPECT_EQ(banner.toolTip(), QStringLiteral("ふきだし"));
    EXPECT_EQ(banner.FrameSize(), QSize(120, 50));
    EXPECT_EQ(banner.size(), QSize(120, 50));
    // The last frame is the strip's block at 50 n; rows past it never show.
    EXPECT_EQ(banner.GetPicture().copy(banner.FrameRect(c.rows - 1)),
              strip.convertToFormat(QImage::Format_RGB32).copy(0, 50 * (c.rows - 1), 120, 50));
    EXPECT_EQ(banner.GetPicture().height(), 50 * c.rows);
    banner.SetMovie(true);
    EXPECT_EQ(banner.Timer().isActive(), c.speed > 0) << "a speed of 0 stands still";
  }
}

TEST_F(ThemeAnimation, AThemeThatDoesNotLoadLeavesTheAnimationAsItWas) {
  ASSERT_TRUE(SaveBannerIndex(Theme("good.qvt"), {"good", "0.1", "hint", true, Strip(3)}));
  qvtest::WriteFile(Theme("bad.qvt"), Record("banner.idx", "1,1,x,bad\r\n"));
  const std::string noBitmap = Record("banner.idx", "1,1,x,bad\r\n") + Record("banner.bmp", "BM broken");
  qvtest::WriteFile(Theme("broken.qvt"), noBitmap);
  UseTheme("good.qvt");
  TAnimationImage banner;
  ASSERT_TRUE(LoadThemeAnimation(banner));
  const Shown before = Of(banner);
  for (const char* file : {"bad.qvt", "broken.qvt", "missing.qvt", ""}) {
    SCOPED_TRACE(file);
    UseTheme(file);
    EXPECT_FALSE(LoadThemeAnimation(banner));
    EXPECT_TRUE(Of(banner) == before);
  }
}

TEST_F(ThemeAnimation, TheThemeFolderComesFromTheSettings) {
  IniFile(launcher_->ini()).WriteString("Theme", "Folder", "Elsewhere");
  ASSERT_TRUE(SaveBannerIndex(tmp_ / "Elsewhere" / "e.qvt", {"e", "2", "", true, Strip(2)}));
  UseTheme("e.qvt");
  TAnimationImage banner;
  ASSERT_TRUE(LoadThemeAnimation(banner));
  EXPECT_EQ(banner.GetSpeed(), 2000);
}
