// A mail stored in a folder adds its row to the end of the index instead of
// writing the index anew, and the lock files go with their holders.
#include "core/data/MailStore.h"
#include "platform/FileUtil.h"

#include "FileSizeLimit.h"
#include "MailTestSupport.h"

#include <gtest/gtest.h>

#include <charconv>
#include <set>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qv;
using mailtest::Add;
using mailtest::LiveMails;
using mailtest::Quick;
using mailtest::Row;
using qvtest::Sjis;

namespace {

class MailStoreAppendTest : public ::testing::Test {
 protected:
  void TearDown() override { SetIdTimeStampForTesting(""); }
  std::vector<std::string> Texts(std::string_view folder) {
    std::vector<std::string> texts;
    for (const auto& m : LiveMails(folder)) texts.push_back(m.second);
    return texts;
  }
  std::vector<std::string> LockFiles() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(mail.dir()))
      if (e.path().filename().string().ends_with(".lock")) names.push_back(e.path().filename().string());
    return names;
  }
  mailtest::MailDir mail;
};

}  // namespace

TEST_F(MailStoreAppendTest, MailsStoredInAnOpenFolderLeaveTheFilesAWholeRewriteWouldWrite) {
  SetIdTimeStampForTesting("240102030405678");
  // Cells that need quotes, doubled quotes and a line break inside a cell.
  const std::vector<std::pair<std::string, MailIndexRow>> mails = {
      {"first\r\n", Row("plain")},
      {"second\r\nline\r\n", Row("a, b")},
      {"third\r\n", Row("say \"hi\"")},
      {Sjis("四通目\r\n"), Row(Sjis("件名") + "\nnext")},
  };
  std::vector<std::string> kept, whole;
  {
    MailFolder f;
    ASSERT_TRUE(f.Open("kept", Quick()));
    for (const auto& [text, row] : mails) {
      std::string id;
      ASSERT_TRUE(StoreMessage(f, text, row, id));
      kept.push_back(id);
    }
  }
  {
    MailFolder f;
    ASSERT_TRUE(f.Open("whole", Quick()));
    for (const auto& [text, row] : mails) {
      std::string id;
      ASSERT_TRUE(AppendMessage(f, text, row, id));
      whole.push_back(id);
    }
    ASSERT_TRUE(f.SaveIndex());  // four rows at once: written whole
  }
  EXPECT_EQ(kept, whole);
  EXPECT_EQ(mail.indexText("kept"), mail.indexText("whole"));
  EXPECT_EQ(mail.storeText("kept"), mail.storeText("whole"));
  TCSVData index;
  ASSERT_TRUE(index.LoadFromFile(mail.index("kept")));
  EXPECT_EQ(mail.indexText("kept"), JoinLinesCrLf(index.GetText()));
  EXPECT_EQ(index.GetCell(3, kColSubject), Sjis("件名") + "\r\nnext");
}

TEST_F(MailStoreAppendTest, ARowOnlyPartlyWrittenNeverReadsAsAMail) {
  Add("box", "alpha");
  Add("box", "beta");
  const std::string before = mail.indexText("box");
  // Once the new row is whole on disk, and only then, it turns live.
  std::vector<std::string> atFlush;
  qv::WatchFileSteps([&](const FileStep& step) {
    if (step.kind == FileStep::Flush && step.path == mail.index("box")) atFlush.push_back(mail.indexText("box"));
  });
  Add("box", "gamma");
  qv::WatchFileSteps({});
  const std::string after = mail.indexText("box"), store = mail.storeText("box");
  const std::string row = after.substr(before.size());
  ASSERT_EQ(atFlush.size(), 2u);
  EXPECT_EQ(atFlush[0], before + "1" + row.substr(1)) << "flushed whole while still deleted";
  EXPECT_EQ(atFlush[1], after);

  // A writer killed inside the row leaves a part of it, deleted: the folder
  // holds what it held, and the next mail puts the index right.
  for (size_t cut = 1; cut <= row.size(); ++cut) {
    SCOPED_TRACE(cut);
    qvtest::WriteFile(mail.index("box"), before + "1" + row.substr(1, cut - 1));
    qvtest::WriteFile(mail.store("box"), store);
    EXPECT_EQ(Texts("box"), (std::vector<std::string>{"alpha\r\n", "beta\r\n"}));
    ASSERT_FALSE(Add("box", "delta").empty());
    EXPECT_EQ(Texts("box"), (std::vector<std::string>{"alpha\r\n", "beta\r\n", "delta\r\n"}));
    TCSVData index;
    ASSERT_TRUE(index.LoadFromFile(mail.index("box")));
    EXPECT_EQ(index.RowCount(), 3);
    EXPECT_EQ(mail.indexText("box"), index.GetText());
  }
}

TEST_F(MailStoreAppendTest, AnIndexThatDoesNotEndAsItsLastRowWouldBeWrittenIsWrittenAnew) {
  struct Case {
    const char* what;
    std::string index;
  } cases[] = {
      {"no line break after the last row", "0,0,7,a1,3,0,1,0,0,0,0,f,t,one,d,"},
      {"line feeds only", "0,0,7,a1,3,0,1,0,0,0,0,f,t,one,d,\n"},
      {"quotes no writer of ours puts", "0,0,7,a1,3,0,1,0,0,0,0,f,t,\"one\",d,\r\n"},
      {"a quote left open over a line break", "0,0,7,a1,3,0,1,0,0,0,0,f,t,\"one\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qvtest::WriteFile(mail.index("box"), c.index);
    qvtest::WriteFile(mail.store("box"), "first\r\n");
    ASSERT_FALSE(Add("box", "second").empty());
    EXPECT_EQ(Texts("box"), (std::vector<std::string>{"first\r\n", "second\r\n"}));
    TCSVData index;
    ASSERT_TRUE(index.LoadFromFile(mail.index("box")));
    ASSERT_EQ(index.RowCount(), 2);
    EXPECT_TRUE(index.GetCell(0, kColSubject).starts_with("one"));
    EXPECT_EQ(mail.indexText("box"), index.GetText()) << "written whole";
  }
}

TEST_F(MailStoreAppendTest, ARowThatCannotBeWrittenLeavesTheIndexAsItWas) {
  // Small mails, long rows: the index is the file that hits the limit.
  for (int i = 0; i < 8; ++i) Add("box", "m" + std::to_string(i));
  const std::string index = mail.indexText("box");
  MailFolder f;
  ASSERT_TRUE(f.Open("box", Quick()));
  std::string id = "stale";
  {
    qvtest::FileSizeLimit limit(index.size() + 20);
    ASSERT_TRUE(limit.Set());
    EXPECT_FALSE(StoreMessage(f, "late", Row(), id));
  }
  EXPECT_EQ(id, "");
  EXPECT_EQ(LastMailStoreError().fault, MailStoreFault::DiskFull);
  EXPECT_EQ(LastMailStoreError().path, mail.index("box").string());
  EXPECT_FALSE(f.IsOpen()) << "closed: opened again for the next mail";
  EXPECT_EQ(mail.indexText("box"), index);
  EXPECT_EQ(Texts("box").size(), 8u);
  ASSERT_TRUE(f.Open("box", Quick()));
  EXPECT_TRUE(StoreMessage(f, "late", Row(), id));
  f.Close();
  EXPECT_EQ(Texts("box").back(), "late\r\n");
}

TEST_F(MailStoreAppendTest, NoLockFileOutlivesItsHolder) {
  const std::string a = Add("box", "alpha");
  Add("box", "beta");
  EXPECT_TRUE(MoveMessage("box", a, "other", false, Quick()));
  EXPECT_TRUE(DeleteMessage("other", LiveMails("other")[0].first, Quick()));
  int total = 0, unread = 0;
  EXPECT_TRUE(CountMessages("box", total, unread, Quick()));
  EXPECT_TRUE(FolderFilesAvailable("new", Quick()));
  EXPECT_TRUE(MoveAllMessages("box", FixedFolderName(FixedFolder::Trash), Quick()));
  EXPECT_TRUE(DeleteTrashFiles(Quick()));
  {
    MailFolder f;
    ASSERT_TRUE(f.OpenToRead("box", Quick()));
    EXPECT_EQ(LockFiles().size(), 2u) << "held: one for each file";
  }
  EXPECT_EQ(LockFiles(), std::vector<std::string>{});
  // One left behind by a writer that died is taken over, and goes too.
  qvtest::WriteFile(mail.dir() / ".box.qvm.lock", "");
  EXPECT_FALSE(Add("box", "gamma").empty());
  EXPECT_EQ(LockFiles(), std::vector<std::string>{});
}

TEST_F(MailStoreAppendTest, WritersTakeTurnsWhileLockFilesComeAndGo) {
  // Processes that each count up a number in a file while they hold the
  // folder's index: a lock file removed while another waits on it must never
  // let two of them in, or counts get lost.
  const auto counter = mail.dir() / "counter";
  qvtest::WriteFile(counter, "0");
  constexpr int kWriters = 4, kTurns = 150;
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const RetryPolicy retry{100000, std::chrono::milliseconds(0), {}};
      for (int turn = 0; turn < kTurns; ++turn) {
        ExclusiveFile file;
        if (!OpenFileRetry(file, mail.index("box"), retry)) ::_exit(2);
        const std::string text = qvtest::ReadFile(counter);
        int n = 0;
        // A count half written: another writer is in as well.
        if (std::from_chars(text.data(), text.data() + text.size(), n).ptr != text.data() + text.size()) ::_exit(3);
        ::sched_yield();
        qvtest::WriteFile(counter, std::to_string(n + 1));
      }
      ::_exit(0);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(qvtest::ReadFile(counter), std::to_string(kWriters * kTurns));
  EXPECT_EQ(LockFiles(), std::vector<std::string>{});
}

namespace {

// An index and a store of count mails as this program writes them: ids the
// stamp's own candidates, every subject quoted over a line break.
std::pair<std::string, std::string> WrittenFolder(int count, const std::string& stamp) {
  TCSVData index;
  std::string store;
  for (int i = 0; i < count; ++i) {
    const std::string text = "mail " + std::to_string(i) + "\r\n";
    MailIndexRow row = Row("subject " + std::to_string(i) + "\r\nsecond line, \"quoted\"");
    row[kColStart] = std::to_string(store.size());
    row[kColEnd] = std::to_string(store.size() + text.size());
    row[kColId] = stamp + std::to_string(i);
    store += text;
    const int r = index.AddRow();
    for (size_t c = 0; c < row.size(); ++c) index.SetCell(r, static_cast<int>(c), row[c]);
  }
  return {index.SaveToText(), store};
}

}  // namespace

TEST_F(MailStoreAppendTest, AFolderWhoseRowsStayOnDiskTakesEachMailAsALoadedOneWould) {
  const std::string stamp = "240102030405678";
  SetIdTimeStampForTesting(stamp);
  const auto [many, manyStore] = WrittenFolder(4000, stamp);  // well past one piece of the scan
  const auto [few, fewStore] = WrittenFolder(3, stamp);
  const std::string row = "0,0,7,a1,3,0,1,0,0,0,0,f,t,one,d,\r\n";
  struct Case {
    const char* what;
    std::string index, store;
    bool rowsOnDisk;
  } cases[] = {
      {"no files yet", "", "", true},
      {"an empty index over bytes of no row", "", "lost\r\n", true},
      {"a few rows", few, fewStore, true},
      {"thousands of rows, quoted line breaks across the pieces", many, manyStore, true},
      {"bytes of a killed store after the last mail", few, fewStore + "half a mail", true},
      {"an end offset that is no offset", "0,0,x,a1,3,0,1,0,0,0,0,f,t,one,d,\r\n", "first\r\n", true},
      {"no line break after the last row", row.substr(0, row.size() - 2), "first\r\n", false},
      {"line feeds only", "0,0,7,a1,3,0,1,0,0,0,0,f,t,one,d,\n", "first\r\n", false},
      {"quotes no writer of ours puts", "0,0,7,a1,3,0,1,0,0,0,0,f,t,\"one\",d,\r\n", "first\r\n", false},
      {"a quote left open over a line break", "0,0,7,a1,3,0,1,0,0,0,0,f,t,\"one\r\n", "first\r\n", false},
      {"a deleted row at the end", row + "1,7,14,a2,3,0,1,0,0,0,0,f,t,two,d,\r\n", "first\r\nsecond\r\n", false},
      {"a live row past the end of the store", row + "0,7,14,a2,3,0,1,0,0,0,0,f,t,two,d,\r\n", "first\r\n", false},
  };
  const std::vector<std::string> mails = {"new one", Sjis("新しい二通目"), "new\r\nthree"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> ids[2];
    for (const char* folder : {"ondisk", "loaded"}) {
      if (!c.index.empty() || !c.store.empty()) {
        qvtest::WriteFile(mail.index(folder), c.index);
        qvtest::WriteFile(mail.store(folder), c.store);
      }
      const bool onDisk = folder == std::string("ondisk");
      MailFolder f;
      ASSERT_TRUE(onDisk ? f.OpenToAppend(folder, Quick()) : f.Open(folder, Quick()));
      EXPECT_EQ(f.RowsOnDisk(), onDisk && c.rowsOnDisk);
      if (f.RowsOnDisk()) {
        EXPECT_EQ(f.Index().RowCount(), 0) << "no row kept in memory";
      }
      for (size_t i = 0; i < mails.size(); ++i) {
        std::string id;
        ASSERT_TRUE(StoreMessage(f, mails[i], Row("s" + std::to_string(i)), id));
        ids[onDisk ? 0 : 1].push_back(id);
      }
    }
    EXPECT_EQ(ids[0], ids[1]);
    EXPECT_EQ(mail.indexText("ondisk"), mail.indexText("loaded"));
    EXPECT_EQ(mail.storeText("ondisk"), mail.storeText("loaded"));
    // The ids stay unique, and the new mails read back after the old ones.
    TCSVData index;
    ASSERT_TRUE(index.LoadFromFile(mail.index("ondisk")));
    std::set<std::string> unique;
    for (int r = 0; r < index.RowCount(); ++r) unique.insert(std::string(index.GetCell(r, kColId)));
    EXPECT_EQ(unique.size(), static_cast<size_t>(index.RowCount()));
    const auto texts = Texts("ondisk");
    ASSERT_GE(texts.size(), mails.size());
    EXPECT_EQ(texts.back(), "new\r\nthree\r\n");
    for (const char* folder : {"ondisk", "loaded"}) {
      std::filesystem::remove(mail.index(folder));
      std::filesystem::remove(mail.store(folder));
    }
  }
}

TEST_F(MailStoreAppendTest, AFolderWhoseRowsStayOnDiskIsNeverWrittenWhole) {
  Add("box", "alpha");
  Add("box", "beta");
  const std::string index = mail.indexText("box"), store = mail.storeText("box");
  MailFolder f;
  ASSERT_TRUE(f.OpenToAppend("box", Quick()));
  ASSERT_TRUE(f.RowsOnDisk());
  // What needs the rows is refused, and the files stay as they were.
  EXPECT_FALSE(CompactStore(f));
  f.Index().Clear();
  EXPECT_TRUE(f.SaveIndex()) << "nothing waits";
  std::string id;
  ASSERT_TRUE(AppendMessage(f, "gamma", Row(), id));
  EXPECT_FALSE(AppendMessage(f, "delta", Row(), id)) << "one row waits at a time";
  ASSERT_TRUE(f.SaveIndex());
  f.Close();
  EXPECT_EQ(Texts("box"), (std::vector<std::string>{"alpha\r\n", "beta\r\n", "gamma\r\n"}));
  EXPECT_TRUE(mail.indexText("box").starts_with(index));
  EXPECT_TRUE(mail.storeText("box").starts_with(store));
}
