// Names the program makes are CP932 text; on disk they are UTF-8. What no
// conversion can carry is kept as it is, and nothing on disk is lost.
#include "platform/Paths.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sys/stat.h>

namespace {

using qvtest::Sjis;

bool Exists(const std::filesystem::path& p) {
  struct stat st {};
  return ::lstat(p.c_str(), &st) == 0;
}

std::set<std::string> Listing(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

}  // namespace

TEST(Paths, BackslashesBecomeSlashesButTrailBytesStay) {
  EXPECT_EQ(qv::NativePath("Mail\\box\\a.qvm"), "Mail/box/a.qvm");
  EXPECT_EQ(qv::NativePath("\x83\x5C\\\x95\x5C"), "ソ/表");  // ソ\表
  EXPECT_EQ(qv::NativePath("end\x83"), "end\x83");
}

TEST(Paths, StoredNamesBecomeUtf8NamesAndWhatDoesNotConvertStaysAsItIs) {
  const struct {
    const char* what;
    std::string stored;
    std::string native;
  } cases[] = {
      {"a fixed folder", Sjis("受信簿.qvm"), "受信簿.qvm"},
      {"an absolute path", "/home/u/" + Sjis("メール") + "/" + Sjis("友達.qvs"), "/home/u/メール/友達.qvs"},
      {"a path of the settings", Sjis("データ") + "\\" + Sjis("ソフト") + "\\Temp.dat", "データ/ソフト/Temp.dat"},
      {"half-width kana and a user character", "\xB1\xB2\xF0\x40", "ｱｲ\xEE\x80\x80"},
      {"a duplicate code", "\xED\x40", "纊"},
      {"a lone lead byte", "a\x81", "a\x81"},
      {"a byte CP932 lacks", "x\xA0y\\z", "x\xA0y/z"},
      {"a name on disk kept whole", "dir\\\xFF" "caf\xC3\xA9\\x", "dir/caf\xC3\xA9\\x"},
      {"empty names", "a\\\\b\\", "a//b/"},
  };
  for (const auto& c : cases) EXPECT_EQ(qv::NativePath(c.stored), c.native) << c.what;
}

TEST(Paths, EveryNameOnDiskComesBackFromItsStoredName) {
  const struct {
    const char* what;
    std::string native;
    bool plain;  // stored as its CP932 text
  } cases[] = {
      {"ASCII", "Theme.qvt", true},
      {"Japanese", "友達.qvm", true},
      {"a kanji with two codes", "纊", true},
      {"a wave dash CP932 would bring back as a full-width tilde", "a\xE3\x80\x9C" "b", false},
      {"a yen sign CP932 would bring back as a backslash", "\xC2\xA5" "1", false},
      {"a backslash", "a\\b", false},
      {"a character CP932 lacks", "caf\xC3\xA9", false},
      {"an emoji", "\xF0\x9F\x98\x80.qvt", false},
      {"no UTF-8", "\x83\x5C\x95\x5C", false},
      {"a byte 0xFF", "\xFF\xFE", false},
  };
  for (const auto& c : cases) {
    const std::string stored = qv::StoredName(c.native);
    EXPECT_EQ(qv::NativeName(stored), c.native) << c.what;
    EXPECT_EQ(qv::NativePath("dir\\" + stored), "dir/" + c.native) << c.what;
    EXPECT_EQ(qv::NativePath(qv::StoredPath("/x/" + c.native + "/y")), "/x/" + c.native + "/y") << c.what;
    if (c.plain) {
      EXPECT_EQ(qv::NativeName(qv::Sjis(c.native)), c.native) << c.what;
    }
    EXPECT_EQ(stored == qv::Sjis(c.native) || stored == c.native, c.plain) << c.what;
  }
}

TEST(Paths, NamesMadeFromTextAppearUnderTheirOwnNamesAndAreFoundFromTheListing) {
  qvtest::TempDir dir;
  const std::string stored[] = {Sjis("受信簿.qvm"), Sjis("友達.qvs"), "\xED\x40.qvt", "plain.txt"};
  for (const auto& s : stored) qvtest::WriteFile(qv::PathIn(dir.path(), s), s);
  EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"受信簿.qvm", "友達.qvs", "纊.qvt", "plain.txt"}));
  // Files put there by hand, under names CP932 has no form for, too.
  qvtest::WriteFile(dir / "caf\xC3\xA9.qvt", "x");
  qvtest::WriteFile(dir / "\xF0\x9F\x98\x80", "y");
  for (const auto& name : Listing(dir.path())) {
    const std::string s = qv::StoredName(name);
    EXPECT_TRUE(Exists(qv::PathIn(dir.path(), s))) << name;
  }
  EXPECT_EQ(qvtest::ReadFile(qv::PathIn(dir.path(), qv::StoredName("纊.qvt"))), "\xED\x40.qvt");
}

TEST(Paths, NamesLongerOnDiskThanInTextAreToldApart) {
  // 85 kanji are 170 bytes of CP932 but 255 of UTF-8.
  std::string name;
  for (int i = 0; i < 85; ++i) name += Sjis("漢");
  EXPECT_TRUE(qv::NameFitsOnDisk(name));
  EXPECT_FALSE(qv::NameFitsOnDisk(name + "x"));
  EXPECT_TRUE(qv::NameFitsOnDisk(std::string(255, 'a')));
  EXPECT_FALSE(qv::NameFitsOnDisk(std::string(256, 'a')));
}

TEST(Paths, OldCp932NamesOfTheProgramsOwnFilesAreRenamedOnceAndNothingElse) {
  qvtest::TempDir dir;
  const std::string inbox = Sjis("受信簿.qvm"), friends = Sjis("友達.qvs"), memo = Sjis("メモ.qvm.txt");
  qvtest::WriteFile(dir / inbox, "index");
  qvtest::WriteFile(dir / friends, "store");
  qvtest::WriteFile(dir / memo, "the user's");
  // Both forms there: the UTF-8 one is what is used, the other stays.
  qvtest::WriteFile(dir / Sjis("送信簿.qvm"), "old");
  qvtest::WriteFile(dir / "送信簿.qvm", "new");
  // Valid UTF-8 that also reads as CP932 (ﾃｩ) is never taken for CP932.
  qvtest::WriteFile(dir / "caf\xC3\xA9.qvm", "utf8");
  std::vector<std::string> asked;
  auto own = [&](std::string_view stored) {
    asked.emplace_back(stored);
    return stored.ends_with(".qvm") || stored.ends_with(".qvs");
  };
  EXPECT_EQ(qv::RenameLegacyNames(dir.path(), own), 2);
  EXPECT_EQ(Listing(dir.path()), (std::set<std::string>{"受信簿.qvm", "友達.qvs", memo, Sjis("送信簿.qvm"), "送信簿.qvm",
                                                        "caf\xC3\xA9.qvm"}));
  EXPECT_EQ(qvtest::ReadFile(dir / "受信簿.qvm"), "index");
  EXPECT_EQ(qvtest::ReadFile(dir / "送信簿.qvm"), "new");
  EXPECT_EQ(std::count(asked.begin(), asked.end(), "caf\xC3\xA9.qvm"), 0);
  EXPECT_EQ(qv::RenameLegacyNames(dir.path(), own), 0);
}

TEST(Paths, AFolderTheProgramMadeUnderItsCp932NameIsFoundUnderItsUtf8Name) {
  qvtest::TempDir dir;
  std::filesystem::create_directory(dir / Sjis("メール"));
  qvtest::WriteFile(dir / Sjis("メール") / "x", "mail");
  EXPECT_TRUE(qv::RenameLegacyName(qv::PathIn(dir.path(), Sjis("メール") + "\\")));
  EXPECT_EQ(qvtest::ReadFile(dir / "メール" / "x"), "mail");
  EXPECT_FALSE(Exists(dir / Sjis("メール")));
  // One the user made under its UTF-8 name is left as it is.
  std::filesystem::create_directory(dir / Sjis("テーマ"));
  std::filesystem::create_directory(dir / "テーマ");
  EXPECT_FALSE(qv::RenameLegacyName(dir / "テーマ"));
  EXPECT_TRUE(Exists(dir / Sjis("テーマ")));
  EXPECT_FALSE(qv::RenameLegacyName(dir / "MailLog"));
}

TEST(Paths, APathInAMessageIsCp932TextEvenWhereANameHasNoCp932Form) {
  const struct {
    const char* what;
    std::string native;
    std::string shown;
  } cases[] = {
      {"Japanese names", "/home/u/メール/受信簿.qvm", "/home/u/" + Sjis("メール") + "/" + Sjis("受信簿.qvm")},
      {"a character CP932 lacks", "/x/caf\xC3\xA9/a", "/x/caf?/a"},
      {"no UTF-8", "/x/odd\xFD\xFE/" + std::string("友達"), "/x/odd?/" + Sjis("友達")},
  };
  for (const auto& c : cases) {
    const std::string shown = qv::ShownPath(c.native);
    EXPECT_EQ(shown, c.shown) << c.what;
    EXPECT_EQ(shown.find('\xFF'), std::string::npos) << c.what << ": no raw name in a text";
  }
}
