// A mail folder that cannot be written: reading still works, and every write
// that fails says which path failed and why.
#include "core/data/MailStore.h"
#include "core/data/Settings.h"
#include "platform/IniFile.h"

#include "FileSizeLimit.h"
#include "MailTestSupport.h"
#include "ReadOnlyFolder.h"

#include <gtest/gtest.h>

using namespace qv;
using mailtest::Add;
using mailtest::Quick;
using mailtest::Row;
using qvtest::Sjis;

namespace {

class MailStoreFaultTest : public ::testing::Test {
 protected:
  std::filesystem::path App() const { return mail.tmp() / "app"; }
  void PointMailFolderAt(const std::string& folder) {
    ASSERT_TRUE(IniFile(App() / "Quorvel.ini").WriteString("Mail", "Folder", folder));
  }
  mailtest::MailDir mail;
};

}  // namespace

TEST_F(MailStoreFaultTest, AFolderThatCannotBeWrittenNamesThePathAndTheCause) {
  Add("box", "kept");
  struct Case {
    const char* what;
    std::function<void()> arrange;
    MailStoreFault fault;
    std::filesystem::path path;
  };
  std::unique_ptr<qvtest::ReadOnlyFolder> readOnly;
  std::unique_ptr<qvtest::FileSizeLimit> limit;
  const Case cases[] = {
      {"read-only", [&] { readOnly = std::make_unique<qvtest::ReadOnlyFolder>(mail.dir()); },
       MailStoreFault::NoPermission, mail.index("box")},
      {"through a file", [&] {
         qvtest::WriteFile(App() / "afile", "");
         PointMailFolderAt("afile/MailLog");
       }, MailStoreFault::NotAFolder, App() / "afile"},
      {"missing", [&] { PointMailFolderAt("gone/MailLog"); }, MailStoreFault::Missing, App() / "gone"},
      {"disk full", [&] { limit = std::make_unique<qvtest::FileSizeLimit>(8); }, MailStoreFault::DiskFull,
       mail.store("box")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.arrange();
    std::string id = "stale";
    EXPECT_FALSE(AddMessageToFolder("box", "more mail", Row(), id, Quick()));
    EXPECT_EQ(id, "");
    const MailStoreError error = LastMailStoreError();
    readOnly.reset();
    limit.reset();
    PointMailFolderAt("MailLog");
    EXPECT_EQ(error.fault, c.fault);
    EXPECT_EQ(std::filesystem::path(error.path), c.path);
    EXPECT_TRUE(MailStoreErrorText(error).starts_with(c.path.string() + "\r\n")) << MailStoreErrorText(error);
    EXPECT_EQ(mailtest::LiveMails("box").size(), 1u);
  }
}

TEST_F(MailStoreFaultTest, AReadOnlyFolderIsReadAndRefusesWritesWithoutCreatingAnything) {
  const std::string id = Add("box", "alpha", Row("a", 1));
  Add("box", "beta", Row("b", 0));
  const auto listing = [&] {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(mail.dir())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  };
  const auto before = listing();
  qvtest::ReadOnlyFolder readOnly(mail.dir());
  MailFolder f;
  EXPECT_FALSE(f.Open("box", Quick()));
  EXPECT_EQ(LastMailStoreError().fault, MailStoreFault::NoPermission);
  ASSERT_TRUE(f.OpenToRead("box", Quick()));
  EXPECT_FALSE(f.Writable());
  std::string text;
  ASSERT_TRUE(ReadMessageById(f, id, text));
  EXPECT_EQ(text, "alpha\r\n");
  EXPECT_EQ(f.Index().RowCount(), 2);
  // Writes say why they cannot.
  SetIndexCell(f.Index(), 0, kColUnread, "0");
  EXPECT_FALSE(f.SaveIndex());
  EXPECT_EQ(LastMailStoreError().fault, MailStoreFault::NoPermission);
  std::string newId;
  EXPECT_FALSE(AppendMessage(f, "gamma", Row(), newId));
  EXPECT_FALSE(CompactStore(f));
  EXPECT_EQ(LastMailStoreError().fault, MailStoreFault::NoPermission);
  // Readers side by side.
  MailFolder g;
  EXPECT_TRUE(g.OpenToRead("box", Quick()));
  int total = 0, unread = 0;
  EXPECT_TRUE(CountMessages("box", total, unread, Quick()));
  EXPECT_EQ(total, 2);
  EXPECT_EQ(unread, 1);
  EXPECT_FALSE(DeleteMessage("box", id, Quick()));
  EXPECT_EQ(LastMailStoreError().fault, MailStoreFault::NoPermission);
  // A folder without files reads as empty.
  MailFolder none;
  ASSERT_TRUE(none.OpenToRead("none", Quick()));
  EXPECT_EQ(none.Index().RowCount(), 0);
  f.Close();
  g.Close();
  none.Close();
  EXPECT_EQ(listing(), before);
}

TEST_F(MailStoreFaultTest, TheMailFolderIsPreparedOrTheReasonGiven) {
  struct Case {
    const char* what;
    std::string folder;
    std::function<void()> arrange;
    MailStoreFault fault;
    std::filesystem::path path;
  };
  std::unique_ptr<qvtest::ReadOnlyFolder> readOnly;
  std::unique_ptr<qvtest::FileSizeLimit> limit;
  const Case cases[] = {
      {"made when missing", "new/MailLog", [] {}, MailStoreFault::None, {}},
      {"read-only", "MailLog", [&] { readOnly = std::make_unique<qvtest::ReadOnlyFolder>(mail.dir()); },
       MailStoreFault::NoPermission, mail.dir()},
      {"a fixed folder's file read-only", "MailLog",
       [&] {
         Add(FixedFolderName(FixedFolder::Received), "mail");
         std::filesystem::permissions(mail.index(FixedFolderName(FixedFolder::Received)),
                                      std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
         readOnly = std::make_unique<qvtest::ReadOnlyFolder>(mail.tmp().path() / "elsewhere");
       },
       MailStoreFault::NoPermission, mail.index(FixedFolderName(FixedFolder::Received))},
      {"through a file", "afile/MailLog", [&] { qvtest::WriteFile(App() / "afile", ""); }, MailStoreFault::NotAFolder,
       App() / "afile"},
      {"under a folder that cannot be written", "locked/MailLog",
       [&] {
         std::filesystem::create_directories(App() / "locked");
         readOnly = std::make_unique<qvtest::ReadOnlyFolder>(App() / "locked");
       },
       MailStoreFault::NoPermission, App() / "locked" / "MailLog"},
      {"disk full", "MailLog", [&] { limit = std::make_unique<qvtest::FileSizeLimit>(4096); }, MailStoreFault::DiskFull,
       mail.dir()},
  };
  std::filesystem::create_directories(mail.tmp().path() / "elsewhere");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PointMailFolderAt(c.folder);
    c.arrange();
    MailStoreError error;
    const bool ok = PrepareMailFolder(error);
    readOnly.reset();
    limit.reset();
    EXPECT_EQ(ok, c.fault == MailStoreFault::None);
    EXPECT_EQ(error.fault, c.fault);
    EXPECT_EQ(std::filesystem::path(error.path), c.path);
  }
  EXPECT_TRUE(std::filesystem::is_directory(App() / "new" / "MailLog"));
  for (const auto& e : std::filesystem::directory_iterator(mail.dir()))
    EXPECT_FALSE(e.path().filename().string().starts_with(".quorvel")) << "the trial write leaves nothing";
}
