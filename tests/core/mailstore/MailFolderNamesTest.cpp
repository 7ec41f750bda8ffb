// Mail folders on disk: their names are the folder names' UTF-8 text, so a
// file manager shows what the mail list shows; what earlier versions left
// under CP932 names is found again.
#include "core/data/LegacyNames.h"
#include "core/data/MailStore.h"
#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "platform/Paths.h"

#include "MailTestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace qv;
using mailtest::Add;
using mailtest::LiveMails;
using qvtest::Sjis;

namespace {

std::set<std::string> Listing(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

}  // namespace

TEST(MailFolderNames, TheFixedFoldersAndAUserFolderAppearUnderTheirOwnNames) {
  mailtest::MailDir mail;
  const FixedFolder fixed[] = {FixedFolder::Received, FixedFolder::Sent,     FixedFolder::Queued,
                               FixedFolder::Drafts,   FixedFolder::Transfer, FixedFolder::Trash};
  for (FixedFolder f : fixed) ASSERT_FALSE(Add(FixedFolderName(f), "Subject: x\r\n\r\nbody").empty());
  const std::string id = Add(Sjis("友達"), "Subject: y\r\n\r\nbody");
  ASSERT_FALSE(id.empty());
  ASSERT_TRUE(MoveMessage(Sjis("友達"), id, FixedFolderName(FixedFolder::Trash), false, mailtest::Quick()));
  std::set<std::string> visible;
  for (const auto& name : Listing(mail.dir()))
    if (!name.starts_with(".")) visible.insert(name);
  std::set<std::string> expected;
  for (const char* name : {"受信簿", "送信簿", "送信予約", "下書き", "データ転送", "ゴミ箱", "友達"})
    for (const char* ext : {".qvm", ".qvs"}) expected.insert(std::string(name) + ext);
  EXPECT_EQ(visible, expected);
  // Their lock files too: every name in the folder is UTF-8.
  for (const auto& name : Listing(mail.dir()))
    EXPECT_NE(StoredName(name).front(), '\xFF') << "not UTF-8: " << name;
  EXPECT_EQ(LiveMails(FixedFolderName(FixedFolder::Trash)).size(), 2u);
}

TEST(MailFolderNames, AMailFolderSettingThatNamesAJapaneseFolderIsThatFolder) {
  qvtest::TempDir tmp;
  qvtest::ScopedLauncherDir launcher(tmp / "app");
  std::filesystem::create_directories(tmp / "app" / "メール" / "保存");
  ASSERT_TRUE(IniWrite(keys::MailFolder, Sjis("メール\\保存")));
  EXPECT_EQ(GetMailFolder(), (tmp / "app" / "メール" / "保存").string() + "/");
  MailStoreError error;
  ASSERT_TRUE(PrepareMailFolder(error)) << MailStoreErrorText(error);
  ASSERT_FALSE(Add(Sjis("受信簿"), "Subject: z\r\n\r\nbody").empty());
  EXPECT_TRUE(std::filesystem::is_regular_file(tmp / "app" / "メール" / "保存" / "受信簿.qvm"));
  // No second folder under the setting's CP932 bytes.
  EXPECT_EQ(Listing(tmp / "app"), (std::set<std::string>{"Quorvel.ini", "メール"}));
  EXPECT_EQ(Listing(tmp / "app" / "メール"), (std::set<std::string>{"保存"}));
}

TEST(MailFolderNames, AtStartAnEarlierRunsMailIsFoundAgainAndNothingIsOverwritten) {
  mailtest::MailDir mail;
  const std::string received = Sjis("受信簿"), sent = Sjis("送信簿");
  std::vector<std::string> texts;
  for (int i = 0; i < 3; ++i) {
    texts.push_back("Subject: " + std::to_string(i) + "\r\n\r\n" + Sjis("本文") + "\r\n");
    ASSERT_FALSE(Add(received, texts.back()).empty());
  }
  ASSERT_FALSE(Add(sent, "Subject: legacy\r\n\r\nbody").empty());
  // An earlier run's files under CP932 bytes, lock files among them.
  for (const auto& name : Listing(mail.dir())) std::filesystem::rename(mail.dir() / name, mail.dir() / Sjis(name));
  // Both names of the sent mail: the UTF-8 one was written since.
  ASSERT_FALSE(Add(sent, "Subject: new\r\n\r\nbody").empty());
  const std::string oldSentIndex = qvtest::ReadFile(mail.dir() / (sent + ".qvm"));
  const std::string newSentIndex = mail.indexText(sent);
  // The user's own files with CP932 names, one named like a folder.
  const std::string own[] = {received + ".txt", Sjis("メモ"), Sjis("友達") + ".qvm.bak"};
  for (const auto& name : own) qvtest::WriteFile(mail.dir() / name, "the user's " + name);

  RenameLegacyDataNames();

  const auto mails = LiveMails(received);
  ASSERT_EQ(mails.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(mails[i].second, texts[i]) << i;
  EXPECT_FALSE(std::filesystem::exists(mail.dir() / (received + ".qvm")));
  EXPECT_FALSE(std::filesystem::exists(mail.dir() / (received + ".qvs")));
  for (const auto& name : own) EXPECT_EQ(qvtest::ReadFile(mail.dir() / name), "the user's " + name) << name;
  // Neither sent folder replaced the other.
  EXPECT_EQ(mail.indexText(sent), newSentIndex);
  EXPECT_EQ(qvtest::ReadFile(mail.dir() / (sent + ".qvm")), oldSentIndex);
  ASSERT_EQ(LiveMails(sent).size(), 1u);
  EXPECT_EQ(LiveMails(sent)[0].second, "Subject: new\r\n\r\nbody\r\n");
}

TEST(MailFolderNames, FolderFilesLeftUnderCp932NamesAreRenamedOnceAndReadAsBefore) {
  mailtest::MailDir mail;
  const std::string friends = Sjis("友達");
  ASSERT_FALSE(Add(friends, "Subject: old\r\n\r\nbody").empty());
  // As an earlier version left them: CP932 bytes, lock files and a
  // compaction's new index among them.
  qvtest::WriteFile(mail.dir() / "友達.qvm.new", qvtest::ReadFile(mail.index(friends)));
  qvtest::WriteFile(mail.dir() / ".友達.qvs.lock", "");
  int old = 0;
  for (const auto& name : Listing(mail.dir()))
    if (name.find("友達") != std::string::npos) {
      std::filesystem::rename(mail.dir() / name, mail.dir() / Sjis(name));
      ++old;
    }
  ASSERT_GE(old, 4);
  qvtest::WriteFile(mail.dir() / (Sjis("メモ") + ".txt"), "the user's own");
  EXPECT_EQ(RenameLegacyMailNames(mail.dir()), old);
  for (const auto& name : Listing(mail.dir())) {
    if (name != Sjis("メモ") + ".txt") {
      EXPECT_NE(StoredName(name).front(), '\xFF') << "still CP932: " << name;
    }
  }
  EXPECT_EQ(Listing(mail.dir()).count(Sjis("メモ") + ".txt"), 1u) << "not one of ours";
  const auto mails = LiveMails(friends);
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].second, "Subject: old\r\n\r\nbody\r\n");
  EXPECT_EQ(RenameLegacyMailNames(mail.dir()), 0);
}

TEST(MailFolderNames, AtStartTheDataFoldersAndTheProgramsFilesLeftUnderCp932NamesAreRenamed) {
  qvtest::TempDir tmp;
  qvtest::ScopedLauncherDir launcher(tmp / "app");
  ASSERT_TRUE(IniWrite(keys::MailFolder, Sjis("メール")));
  ASSERT_TRUE(IniWrite(keys::ThemeFolder, Sjis("テーマ")));
  ASSERT_TRUE(IniWrite(keys::TempData, Sjis("一時.dat")));
  ASSERT_TRUE(IniWrite(keys::ErrorLogFile, Sjis("エラー.log")));
  const auto app = tmp / "app";
  std::filesystem::create_directories(app / Sjis("メール"));
  std::filesystem::create_directories(app / Sjis("テーマ"));
  qvtest::WriteFile(app / Sjis("メール") / (Sjis("受信簿") + ".qvm"), "");
  qvtest::WriteFile(app / Sjis("テーマ") / (Sjis("夏") + ".qvt"), "theme");
  qvtest::WriteFile(app / Sjis("テーマ") / (Sjis("絵") + ".bmp"), "the user's");
  qvtest::WriteFile(app / (Sjis("一時") + "1.dat"), "phone book");
  qvtest::WriteFile(app / (Sjis("エラー") + ".log"), "log");
  RenameLegacyDataNames();
  EXPECT_EQ(Listing(app), (std::set<std::string>{"Quorvel.ini", "メール", "テーマ", "一時1.dat", "エラー.log"}));
  EXPECT_EQ(Listing(app / "メール"), (std::set<std::string>{"受信簿.qvm"}));
  EXPECT_EQ(Listing(app / "テーマ"), (std::set<std::string>{"夏.qvt", Sjis("絵") + ".bmp"}));
  EXPECT_EQ(qvtest::ReadFile(GetTempDataFile(1)), "phone book");
}

TEST(MailFolderNames, AMailFolderAnEarlierRunMadeDeepUnderCp932NamesIsFoundWithItsMail) {
  qvtest::TempDir tmp;
  qvtest::ScopedLauncherDir launcher(tmp / "app");
  ASSERT_TRUE(IniWrite(keys::MailFolder, Sjis("データ\\メール")));
  const auto app = tmp / "app";
  // Both folders under CP932 names, an inbox with a mail inside.
  const auto made = app / "データ" / "メール";
  std::filesystem::create_directories(made);
  {
    MailFolder f;
    std::string id;
    ASSERT_TRUE(f.OpenIn(made, Sjis("受信簿")));
    ASSERT_TRUE(StoreMessage(f, "Subject: kept\r\n\r\nbody", mailtest::Row(), id));
  }
  for (const auto& name : Listing(made)) std::filesystem::rename(made / name, made / Sjis(name));
  std::filesystem::rename(made, app / "データ" / Sjis("メール"));
  std::filesystem::rename(app / "データ", app / Sjis("データ"));

  RenameLegacyDataNames();
  EXPECT_EQ(Listing(app), (std::set<std::string>{"Quorvel.ini", "データ"}));
  EXPECT_EQ(Listing(app / "データ"), (std::set<std::string>{"メール"}));
  EXPECT_EQ(Listing(made), (std::set<std::string>{"受信簿.qvm", "受信簿.qvs"}));
  const auto mails = LiveMails(Sjis("受信簿"));
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].second, "Subject: kept\r\n\r\nbody\r\n");
}
