// Whole-file replacement and the user's private folders: what another local
// user may have put in the way is never written through nor trusted.
#include "platform/FileUtil.h"
#include "platform/Paths.h"
#include "platform/Registry.h"

#include "SpecialFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t Mode(const std::filesystem::path& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

// Sets or clears an environment variable until the end of the scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace

TEST(FileUtil, PrivateFilesAndTheirNewFoldersAreTheUsersOwn) {
  qvtest::TempDir dir;
  const auto file = dir / "a/b/secret.txt";
  ASSERT_TRUE(qv::WriteFileAtomically(file, "mail", true, qv::FileAccess::Private));
  EXPECT_EQ(Mode(file), 0600u);
  EXPECT_EQ(Mode(dir / "a"), 0700u);
  EXPECT_EQ(Mode(dir / "a/b"), 0700u);
  // Rewriting keeps it so.
  ASSERT_TRUE(qv::WriteFileAtomically(file, "more mail", true, qv::FileAccess::Private));
  EXPECT_EQ(Mode(file), 0600u);
  EXPECT_EQ(qvtest::ReadFile(file), "more mail");
  ASSERT_TRUE(qv::CreateFolders(dir / "c/d", qv::FileAccess::Private));
  EXPECT_EQ(Mode(dir / "c/d"), 0700u);
  EXPECT_FALSE(qv::WriteFileAtomically("", "x"));
}

TEST(FileUtil, AReplacementNeverWritesThroughANamePlantedBesideTheFile) {
  qvtest::TempDir dir;
  const auto victim = dir / "victim";
  qvtest::WriteFile(victim, "untouched");
  const auto file = dir / "index.qvm";
  // The next temporary names, taken by links to another file.
  const std::string taken = qv::TemporarySibling(file).filename().string();
  const std::string stem = taken.substr(0, taken.rfind('-') + 1);
  const unsigned next = static_cast<unsigned>(std::stoul(taken.substr(taken.rfind('-') + 1))) + 1;
  for (unsigned n = next; n < next + 5; ++n)
    std::filesystem::create_symlink(victim, dir / (stem + std::to_string(n)));
  ASSERT_TRUE(qv::WriteFileAtomically(file, "index"));
  EXPECT_EQ(qvtest::ReadFile(victim), "untouched");
  EXPECT_EQ(qvtest::ReadFile(file), "index");
  // A link in the file's own place is replaced, not followed.
  std::filesystem::remove(file);
  std::filesystem::create_symlink(victim, file);
  ASSERT_TRUE(qv::WriteFileAtomically(file, "index"));
  EXPECT_FALSE(std::filesystem::is_symlink(file));
  EXPECT_EQ(qvtest::ReadFile(victim), "untouched");
}

TEST(FileUtil, ThePrivateRuntimeFolderIsMadeOrRefusedWhenSomeoneElseCouldUseIt) {
  qvtest::TempDir dir;
  ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr), tmp("TMPDIR", dir.path().c_str());
  const auto own = dir / ("quorvel-" + std::to_string(::geteuid()));
  std::string why;
  EXPECT_EQ(qv::PrivateRuntimeFolder(&why), own) << why;
  EXPECT_EQ(Mode(own), 0700u);
  EXPECT_EQ(qv::PrivateRuntimeFolder(), own) << "found again";

  struct Case {
    const char* what;
    std::function<void()> plant;
  } cases[] = {
      {"open to others", [&] { std::filesystem::create_directory(own), ::chmod(own.c_str(), 0777); }},
      {"a link to a folder", [&] { std::filesystem::create_directory_symlink(dir.path(), own); }},
      {"a file", [&] { qvtest::WriteFile(own, ""); }},
      {"another user's",
       [&] {
         std::filesystem::create_directory(own);
         ::chmod(own.c_str(), 0700);
         if (::geteuid() == 0) {
           EXPECT_EQ(::chown(own.c_str(), 65534, 65534), 0);
         }
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(own);
    c.plant();
    if (::geteuid() != 0 && std::string(c.what) == "another user's") continue;  // only root can plant that here
    why.clear();
    EXPECT_TRUE(qv::PrivateRuntimeFolder(&why).empty());
    EXPECT_NE(why.find(own.string()), std::string::npos) << why;
  }
  // $XDG_RUNTIME_DIR is taken as it is when it is the user's own.
  std::filesystem::remove_all(own);
  const auto xdg = dir / "run";
  ASSERT_TRUE(qv::CreateFolders(xdg, qv::FileAccess::Private));
  ScopedEnv set("XDG_RUNTIME_DIR", xdg.c_str());
  EXPECT_EQ(qv::PrivateRuntimeFolder(), xdg);
  ::chmod(xdg.c_str(), 0755);
  EXPECT_TRUE(qv::PrivateRuntimeFolder().empty());
}

TEST(FileUtil, WhatIsNoRegularFileIsRefusedBeforeAnythingIsReadAndNothingWaits) {
  qvtest::TempDir dir;
  const qvtest::NotFiles notFiles(dir / "special", ".mid");
  for (const qvtest::NotAFile& f : notFiles.list()) {
    SCOPED_TRACE(f.what);
    std::string text = "old";
    EXPECT_FALSE(qv::ReadWholeFile(f.path, text));
    EXPECT_TRUE(text.empty());
    EXPECT_FALSE(qv::MappedFile(f.path).ok());
    EXPECT_EQ(qv::OpenRegularFile(f.path), -1);
  }
  EXPECT_FALSE(notFiles.FifoWaitedOn());
  // A link to a regular file is that file.
  qvtest::WriteFile(dir / "real.mid", "MThd");
  std::filesystem::create_symlink(dir / "real.mid", dir / "link.mid");
  std::string text;
  EXPECT_TRUE(qv::ReadWholeFile(dir / "link.mid", text));
  EXPECT_EQ(text, "MThd");
  EXPECT_EQ(qv::MappedFile(dir / "link.mid").bytes(), "MThd");
  std::string missing = "old";
  EXPECT_FALSE(qv::ReadWholeFile(dir / "missing", missing));
  EXPECT_TRUE(missing.empty());
}

TEST(FileUtil, ANameThatFitsIsWrittenWholeThoughItsTemporaryNameWouldNot) {
  qvtest::TempDir dir;
  std::string kanji;
  for (int i = 0; i < 85; ++i) kanji += "漢";  // 255 bytes
  const struct {
    const char* what;
    std::string name;
  } cases[] = {
      {"short", "theme.qvt"},
      {"just room for the suffix", std::string(225, 'a') + ".qvt"},
      {"too long for the suffix", std::string(247, 'b') + ".qvt"},
      {"the longest", std::string(251, 'c') + ".qvt"},
      {"the longest in three-byte characters", kanji},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto path = dir / c.name;
    const std::string temp = qv::TemporarySibling(path).filename().string();
    EXPECT_LE(temp.size(), qv::kMaxNameBytes);
    if (!temp.starts_with(c.name + ".tmp")) {
      EXPECT_GT(c.name.size() + temp.size() - temp.rfind(".tmp"), qv::kMaxNameBytes) << "cut only when needed";
      EXPECT_LE(temp.size(), c.name.size());
      // Cut where a character begins, so the temporary name is UTF-8 too.
      const std::string head = temp.substr(0, temp.rfind('~'));
      EXPECT_TRUE(c.name.starts_with(head));
      if (c.name == kanji) {
        EXPECT_EQ(head.size() % 3, 0u);
      }
    }
    EXPECT_TRUE(qv::IsTemporarySiblingName(temp, c.name));
    EXPECT_FALSE(qv::IsTemporarySiblingName(temp, c.name.substr(0, c.name.size() - 1) + "x"));
    ASSERT_TRUE(qv::WriteFileAtomically(path, "theme"));
    EXPECT_EQ(qvtest::ReadFile(path), "theme");
  }
  size_t entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) entries += e.is_regular_file();
  EXPECT_EQ(entries, std::size(cases)) << "no temporary file left";
  EXPECT_FALSE(qv::IsTemporarySiblingName("index.qvm.tmp12-x", "index.qvm"));
  EXPECT_FALSE(qv::IsTemporarySiblingName("index.qvm", "index.qvm"));
}

TEST(Registry, TheFileIsPrivateAndNeverLandsInASharedFolder) {
  qvtest::TempDir dir;
  {
    ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").c_str());
    ASSERT_TRUE(qv::Registry().WriteString("FormPosition", "Launch", "0000000100000002"));
    EXPECT_EQ(Mode(qv::RegistryPath()), 0600u);
    EXPECT_EQ(Mode(dir / "config/Marlinex"), 0700u);
  }
  // Without XDG_CONFIG_HOME and HOME: the home the user database gives.
  ScopedEnv config("XDG_CONFIG_HOME", nullptr), home("HOME", nullptr);
  const passwd* user = ::getpwuid(::geteuid());
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(qv::RegistryPath(), std::filesystem::path(user->pw_dir) / ".config/Marlinex/Quorvel.reg");
}
