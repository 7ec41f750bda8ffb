#include "core/data/MailStore.h"
#include "core/data/TextFunctions.h"
#include "platform/FileUtil.h"

#include "FileSteps.h"
#include "MailTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <thread>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qv;
using mailtest::Add;
using mailtest::LiveMails;
using mailtest::Quick;
using mailtest::Row;
using qvtest::Sjis;

namespace {

class MailStoreTest : public ::testing::Test {
 protected:
  mailtest::MailDir mail;
};

// Rewrites one cell of a folder's index file as a damaged or foreign writer would.
void PokeIndex(const std::filesystem::path& index, int row, int col, std::string_view value) {
  TCSVData t;
  ASSERT_TRUE(t.LoadFromFile(index));
  t.SetCell(row, col, value);
  ASSERT_TRUE(t.SaveToFile(index));
}

}  // namespace

TEST_F(MailStoreTest, AppendWritesLinesAndARowWithOffsetsAndId) {
  MailIndexRow row;
  BuildIndexRow(row, 3, 0, 1, 0, 1, 1, 0, Sjis("山田 <yamada@example.jp>, 不正"), "to@example.jp (Boss)",
                "Hello", "2024/05/06 07:08", "");
  std::string id1 = Add("inbox", "To: a\nSubject: x\n\nbody", row);
  std::string id2 = Add("inbox", "second\r\n", row);
  ASSERT_FALSE(id1.empty());
  ASSERT_FALSE(id2.empty());
  EXPECT_NE(id1, id2);
  // Each line ends with CR LF, as a string list writes it.
  EXPECT_EQ(mail.storeText("inbox"), "To: a\r\nSubject: x\r\n\r\nbody\r\nsecond\r\n");
  TCSVData index;
  ASSERT_TRUE(index.LoadFromFile(mail.index("inbox")));
  ASSERT_EQ(index.RowCount(), 2);
  EXPECT_EQ(index.Rows(0), (TCSVRow{"0", "0", "27", id1, "3", "0", "1", "0", "1", "1", "0",
                                    Sjis("山田<yamada@example.jp>"), "to@example.jp(Boss)", "Hello",
                                    "2024/05/06 07:08", ""}));
  EXPECT_EQ(index.GetCell(1, kColStart), "27");
  EXPECT_EQ(index.GetCell(1, kColEnd), "35");
  // A time stamp yymmddhhnnsszzz and a counter.
  ASSERT_GE(id1.size(), 16u);
  EXPECT_TRUE(std::all_of(id1.begin(), id1.end(), ::isdigit));

  // A text without lines is not stored.
  std::string id = "stale";
  EXPECT_FALSE(AddMessageToFolder("inbox", "", row, id, Quick()));
  EXPECT_EQ(id, "");
  EXPECT_EQ(LiveMails("inbox").size(), 2u);
}

TEST_F(MailStoreTest, TrailingDeletedRowsGiveTheirBytesBack) {
  Add("box", "one");
  std::string two = Add("box", "two");
  std::string three = Add("box", "three");
  {
    MailFolder f;
    ASSERT_TRUE(f.Open("box", Quick()));
    ASSERT_TRUE(MarkMessage(f.Index(), two));
    ASSERT_TRUE(MarkMessage(f.Index(), three));
    ASSERT_FALSE(MarkMessage(f.Index(), three));  // no longer live
    ASSERT_TRUE(f.SaveIndex());
  }
  std::string four = Add("box", "four");
  EXPECT_EQ(mail.storeText("box"), "one\r\nfour\r\n");
  TCSVData index;
  ASSERT_TRUE(index.LoadFromFile(mail.index("box")));
  ASSERT_EQ(index.RowCount(), 2);
  EXPECT_EQ(index.GetCell(1, kColId), four);
  EXPECT_EQ(index.GetCell(1, kColStart), "5");

  // With every row deleted the store is reused from its start.
  {
    MailFolder f;
    ASSERT_TRUE(f.Open("box", Quick()));
    SetIndexCell(f.Index(), 0, kColDeleted, "1");
    SetIndexCell(f.Index(), 1, kColDeleted, "");  // empty counts as deleted here
    ASSERT_TRUE(f.SaveIndex());
  }
  Add("box", "five");
  EXPECT_EQ(mail.storeText("box"), "five\r\n");
  EXPECT_EQ(LiveMails("box").size(), 1u);
}

TEST_F(MailStoreTest, IdsAreUniqueWithinOneTimeStamp) {
  MailFolder f;
  ASSERT_TRUE(f.Open("box", Quick()));
  std::map<std::string, int> perStamp;
  for (int i = 0; i < 300; ++i) {
    std::string id;
    ASSERT_TRUE(AppendMessage(f, "m" + std::to_string(i), Row(), id));
    int holders = 0;
    for (int r = 0; r < f.Index().RowCount(); ++r) holders += IndexCell(f.Index(), r, kColId) == id;
    ASSERT_EQ(holders, 1) << id;
    ++perStamp[id.substr(0, 15)];
    // Deleting rows in between makes the count go down again, so a counter
    // already taken in this time stamp comes up as a candidate.
    if (i % 7 == 6) f.Index().DeleteRow(f.Index().RowCount() - 3);
  }
  int busiest = 0;
  for (auto& [stamp, n] : perStamp) busiest = std::max(busiest, n);
  EXPECT_GT(busiest, 1) << "every append fell into its own millisecond";
  std::set<std::string> rowIds;
  for (int r = 0; r < f.Index().RowCount(); ++r) rowIds.insert(std::string(IndexCell(f.Index(), r, kColId)));
  EXPECT_EQ(rowIds.size(), static_cast<size_t>(f.Index().RowCount()));
}

namespace {

// Appends to one open folder and checks each new id against the rule as the
// store first had it: a walk over every other row for each candidate.
class IdScript {
 public:
  explicit IdScript(const std::string& folder) { EXPECT_TRUE(f.Open(folder, Quick())); }
  ~IdScript() { SetIdTimeStampForTesting(""); }

  void Append(const std::string& stamp, MailIndexRow row = Row()) {
    SetIdTimeStampForTesting(stamp);
    std::string id;
    ASSERT_TRUE(AppendMessage(f, "mail " + std::to_string(++appended), row, id));
    const TCSVData& index = f.Index();
    const int newRow = index.RowCount() - 1;
    std::string want;
    for (int n = index.RowCount(); n >= 0 && want.empty(); --n) {
      std::string candidate = stamp + std::to_string(n);
      bool used = false;
      for (int r = 0; r < index.RowCount(); ++r) used = used || (r != newRow && IndexCell(index, r, kColId) == candidate);
      if (!used) want = candidate;
    }
    ASSERT_EQ(id, want) << "append " << appended;
    ASSERT_EQ(IndexCell(index, newRow, kColId), id);
    ids.push_back(id);
  }
  void Reopen() {
    ASSERT_TRUE(f.SaveIndex());
    std::string name = f.Name();
    f.Close();
    ASSERT_TRUE(f.Open(name, Quick()));
  }

  MailFolder f;
  std::vector<std::string> ids;
  int appended = 0;
};

}  // namespace

TEST_F(MailStoreTest, AppendsGiveTheIdsOfTheRowByRowRule) {
  const std::string s1 = "240607123456789", s2 = "240607123456790";
  struct Case {
    const char* name;
    std::string indexText;  // the folder's index before the script ("" for none)
    std::function<void(IdScript&)> script;
  } cases[] = {
      {"one time stamp, one opening", "",
       [&](IdScript& t) {
         for (int i = 0; i < 40; ++i) t.Append(s1);
       }},
      {"ids already present take the counter down", "",
       [&](IdScript& t) {
         // Rows that hold the coming candidates, one of them twice.
         for (int n : {3, 4, 4, 5, 6}) {
           MailIndexRow row = Row();
           row[kColId] = s1 + std::to_string(n);
           t.Append(s2, row);
           SetIndexCell(t.f.Index(), t.f.Index().RowCount() - 1, kColId, s1 + std::to_string(n));
         }
         for (int i = 0; i < 6; ++i) t.Append(s1);
       }},
      {"an index written elsewhere", "0,0,0," + s1 + "3,3\r\n0,0,0," + s1 + "2,3\r\n1,0,0," + s1 + "4,3\r\n",
       [&](IdScript& t) {
         for (int i = 0; i < 5; ++i) t.Append(s1);
       }},
      {"deleted rows: trailing ones go, middle ones stay", "",
       [&](IdScript& t) {
         for (int i = 0; i < 6; ++i) t.Append(s1);
         SetIndexCell(t.f.Index(), 1, kColDeleted, "1");
         SetIndexCell(t.f.Index(), 4, kColDeleted, "1");
         SetIndexCell(t.f.Index(), 5, kColDeleted, "");
         t.Append(s1);  // rows 4 and 5 are trimmed: their ids are free again
         t.Append(s1);
         SetIndexCell(t.f.Index(), t.f.Index().RowCount() - 1, kColDeleted, "1");
         t.Append(s1);
       }},
      {"the caller edits the index between appends", "",
       [&](IdScript& t) {
         for (int i = 0; i < 5; ++i) t.Append(s1);
         t.f.Index().DeleteRow(1);
         t.Append(s1);
         SetIndexCell(t.f.Index(), 0, kColId, s1 + std::to_string(t.f.Index().RowCount() + 1));
         t.Append(s1);
         TCSVData copy = t.f.Index();
         copy.SetCell(2, kColId, s1 + std::to_string(copy.RowCount() + 1));
         t.f.Index() = copy;
         t.Append(s1);
       }},
      {"the counter suffix: ids that differ in length", "",
       [&](IdScript& t) {
         for (int i = 0; i < 12; ++i) t.Append(s1);  // counters past 9
         MailIndexRow row = Row();
         t.Append(s1.substr(0, 14), row);  // a stamp one digit short meets the longer counters
         t.Append(s1.substr(0, 14) + "8");
         t.Append(s1);
       }},
      {"a moved row keeps nothing of its old id", "",
       [&](IdScript& t) {
         MailIndexRow row = Row();
         row[kColId] = s1 + "2";  // what the count would give
         t.Append(s1);
         t.Append(s1, row);
         t.Reopen();  // and once with the ids read from the rows
         row[kColId] = s1 + "3";
         t.Append(s1, row);
       }},
      {"appends and trailing deletes in turn", "",
       [&](IdScript& t) {
         std::mt19937 rng(5);
         for (int i = 0; i < 600; ++i) {
           t.Append(i % 50 < 45 ? s1 : s2);
           for (int k = static_cast<int>(rng() % 4), r = t.f.Index().RowCount() - 1; k > 0 && r >= 0; --k, --r)
             if (rng() % 3) SetIndexCell(t.f.Index(), r, kColDeleted, "1");
           if (i % 2) t.Reopen();
         }
       }},
      {"rows appended as deleted give way to the next append", "",
       [&](IdScript& t) {
         std::mt19937 rng(9);
         MailIndexRow gone = Row();
         gone[kColDeleted] = "1";
         for (int i = 0; i < 600; ++i) t.Append(i % 40 < 30 ? s1 : s2, rng() % 3 ? gone : Row());
       }},
      {"stamps change, openings change", "",
       [&](IdScript& t) {
         for (int i = 0; i < 30; ++i) {
           t.Append(i % 3 ? s1 : s2);
           if (i % 7 == 6) t.Reopen();
         }
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = "ids" + std::to_string(&c - cases);
    if (!c.indexText.empty()) {
      std::filesystem::create_directories(mail.dir());
      ASSERT_TRUE(WriteFileAtomically(mail.index(folder), c.indexText));
    }
    IdScript t(folder);
    c.script(t);
    // The rows the script did not give an id by hand hold each of theirs once.
    std::multiset<std::string> seen;
    for (int r = 0; r < t.f.Index().RowCount(); ++r) seen.insert(std::string(IndexCell(t.f.Index(), r, kColId)));
    for (const auto& id : t.ids) EXPECT_LE(seen.count(id), 1u) << id;
  }
}

TEST_F(MailStoreTest, ColumnsAreAddressedMaskedTo127) {
  TCSVData t;
  SetIndexCell(t, 0, 0x80 + kColSubject, "x");
  EXPECT_EQ(t.GetCell(0, kColSubject), "x");
  EXPECT_EQ(IndexCell(t, 0, 0x100 + kColSubject), "x");
}

TEST_F(MailStoreTest, CompactionKeepsLiveBytesInOrder) {
  std::vector<std::string> ids;
  for (std::string text : {"first", "second", "third", "fourth"}) ids.push_back(Add("box", text));
  MailFolder f;
  ASSERT_TRUE(f.Open("box", Quick()));
  ASSERT_TRUE(MarkMessage(f.Index(), ids[0]));
  ASSERT_TRUE(MarkMessage(f.Index(), ids[2]));
  ASSERT_TRUE(CompactStore(f));
  EXPECT_EQ(mail.storeText("box"), "second\r\nfourth\r\n");
  TCSVData index;
  ASSERT_TRUE(index.LoadFromFile(mail.index("box")));
  ASSERT_EQ(index.RowCount(), 2);
  EXPECT_EQ(index.Rows(0)[kColStart] + "-" + index.Rows(0)[kColEnd], "0-8");
  EXPECT_EQ(index.Rows(1)[kColStart] + "-" + index.Rows(1)[kColEnd], "8-16");
  EXPECT_EQ(index.GetCell(1, kColId), ids[3]);
  // The open folder goes on with the compacted files.
  std::string text, id;
  ASSERT_TRUE(ReadMessageById(f, ids[3], text));
  EXPECT_EQ(text, "fourth\r\n");
  ASSERT_TRUE(AppendMessage(f, "fifth", Row(), id));
  ASSERT_TRUE(f.SaveIndex());
  f.Close();
  EXPECT_EQ(mail.storeText("box"), "second\r\nfourth\r\nfifth\r\n");
}

TEST_F(MailStoreTest, CompactingAnAllDeletedFolderEmptiesBothFiles) {
  std::string a = Add("box", "a"), b = Add("box", "b");
  MailFolder f;
  ASSERT_TRUE(f.Open("box", Quick()));
  MarkMessage(f.Index(), a);
  MarkMessage(f.Index(), b);
  ASSERT_TRUE(CompactStore(f));
  f.Close();
  EXPECT_EQ(mail.storeText("box"), "");
  EXPECT_EQ(mail.indexText("box"), "");
  EXPECT_FALSE(std::filesystem::exists(mail.dir() / "box.qvs.new"));
  EXPECT_FALSE(std::filesystem::exists(mail.dir() / "box.qvm.new"));
}

TEST_F(MailStoreTest, CountsLiveAndUnreadRows) {
  Add("box", "a", Row("a", 0));
  std::string b = Add("box", "b", Row("b", 1));
  Add("box", "c", Row("c", 0));
  std::string d = Add("box", "d", Row("d", 1));
  {
    MailFolder f;
    ASSERT_TRUE(f.Open("box", Quick()));
    MarkMessage(f.Index(), d);
    ASSERT_TRUE(f.SaveIndex());
  }
  int total = -1, unread = -1;
  ASSERT_TRUE(CountMessages("box", total, unread, Quick()));
  EXPECT_EQ(total, 3);
  EXPECT_EQ(unread, 1);
  // Missing files count nothing and are not created.
  EXPECT_FALSE(CountMessages("absent", total, unread, Quick()));
  EXPECT_EQ(total, 0);
  EXPECT_FALSE(std::filesystem::exists(mail.index("absent")));
  (void)b;
}

TEST_F(MailStoreTest, DeleteMessageRemovesItForGood) {
  std::string a = Add("box", "a"), b = Add("box", "b");
  EXPECT_TRUE(DeleteMessage("box", a, Quick()));
  EXPECT_FALSE(DeleteMessage("box", a, Quick()));
  EXPECT_FALSE(DeleteMessage("absent", a, Quick()));
  EXPECT_EQ(mail.storeText("box"), "b\r\n");
  auto mails = LiveMails("box");
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].first, b);
}

TEST_F(MailStoreTest, DeleteMessageCompactsTheFolderWhateverTheId) {
  // A folder holding a mail marked deleted but not yet compacted (as a
  // writer cut short leaves it): every delete compacts it, also one of an id
  // the folder does not know, and nothing live is lost.
  struct Case {
    const char* what;
    int target;  // 0 a, 1 b (already deleted), 2 c, -1 an unknown id, -2 empty
    bool result;
    const char* store;
  } cases[] = {
      {"a live mail", 0, true, "c\r\n"},
      {"the last live mail", 2, true, "a\r\n"},
      {"an unknown id", -1, false, "a\r\nc\r\n"},
      {"a deleted mail", 1, false, "a\r\nc\r\n"},
      {"no id", -2, false, "a\r\nc\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(mail.index("box"));
    std::filesystem::remove(mail.store("box"));
    const std::vector<std::string> ids = {Add("box", "a"), Add("box", "b"), Add("box", "c")};
    {
      MailFolder f;
      ASSERT_TRUE(f.Open("box", Quick()));
      ASSERT_TRUE(MarkMessage(f.Index(), ids[1]));
      ASSERT_TRUE(f.SaveIndex());
    }
    ASSERT_EQ(mail.storeText("box"), "a\r\nb\r\nc\r\n");
    const std::string id = c.target >= 0 ? ids[size_t(c.target)] : c.target == -1 ? "000000000000009" : "";
    EXPECT_EQ(DeleteMessage("box", id, Quick()), c.result);
    EXPECT_EQ(mail.storeText("box"), c.store);
    // The index holds only the live rows, each pointing at its own bytes.
    TCSVData index;
    ASSERT_TRUE(index.LoadFromFile(mail.index("box")));
    std::string joined;
    for (const auto& [liveId, text] : LiveMails("box")) joined += text;
    EXPECT_EQ(joined, c.store);
    EXPECT_EQ(static_cast<size_t>(index.RowCount()), LiveMails("box").size());
  }
}

TEST_F(MailStoreTest, MoveCopiesTheRowAndMarksTheSourceOnlyWhenStored) {
  MailIndexRow row = Row("moved", 1);
  row[kColProtected] = "1";
  std::string a = Add("src", "alpha", row), b = Add("src", "beta");
  ASSERT_TRUE(MoveMessage("src", a, "dst", false, Quick()));
  auto dst = LiveMails("dst");
  ASSERT_EQ(dst.size(), 1u);
  EXPECT_EQ(dst[0].second, "alpha\r\n");
  TCSVData index;
  ASSERT_TRUE(index.LoadFromFile(mail.index("dst")));
  EXPECT_EQ(index.GetCell(0, kColSubject), "moved");
  EXPECT_EQ(index.GetCell(0, kColProtected), "1");
  EXPECT_EQ(mail.storeText("src"), "beta\r\n");  // marked and compacted

  // With keepCopy the source keeps its mail.
  ASSERT_TRUE(MoveMessage("src", b, "dst", true, Quick()));
  EXPECT_EQ(LiveMails("src").size(), 1u);
  EXPECT_EQ(LiveMails("dst").size(), 2u);

  // Into the same folder, or of an unknown id: nothing happens.
  std::string before = mail.indexText("src") + mail.storeText("src");
  EXPECT_FALSE(MoveMessage("src", b, "src", false, Quick()));
  EXPECT_FALSE(MoveMessage("src", "no-such-id", "dst", false, Quick()));
  EXPECT_EQ(mail.indexText("src") + mail.storeText("src"), before);
  EXPECT_EQ(LiveMails("dst").size(), 2u);
}

TEST_F(MailStoreTest, MoveKeepsTheSourceWhenTheTargetCannotTakeTheMail) {
  std::string a = Add("src", "alpha");
  std::string before = mail.indexText("src") + mail.storeText("src");
  // The target is held by someone else for longer than the retries last.
  ExclusiveFile holder;
  ASSERT_TRUE(OpenFileRetry(holder, mail.index("dst"), Quick()));
  EXPECT_FALSE(MoveMessage("src", a, "dst", false, Quick(2)));
  EXPECT_FALSE(MoveAllMessages("src", "dst", Quick(2)));
  EXPECT_EQ(mail.indexText("src") + mail.storeText("src"), before);
}

TEST_F(MailStoreTest, MoveAllEmptiesTheSourceAndKeepsWhatCannotBeRead) {
  Add("src", "one");
  Add("src", "two");
  Add("src", "three");
  ASSERT_TRUE(MoveAllMessages("src", "trash", Quick()));
  EXPECT_EQ(mail.storeText("src"), "");
  EXPECT_EQ(mail.indexText("src"), "");
  auto moved = LiveMails("trash");
  ASSERT_EQ(moved.size(), 3u);
  EXPECT_EQ(moved[2].second, "three\r\n");

  // A row that points outside the store cannot be copied and stays behind.
  Add("src", "good");
  Add("src", "bad");
  PokeIndex(mail.index("src"), 1, kColEnd, "9999");
  EXPECT_FALSE(MoveAllMessages("src", "trash", Quick()));
  EXPECT_EQ(LiveMails("trash").size(), 4u);
  // The damaged folder is not compacted; the copied mail is marked all the same.
  TCSVData index;
  ASSERT_TRUE(index.LoadFromFile(mail.index("src")));
  ASSERT_EQ(index.RowCount(), 2);
  EXPECT_EQ(index.GetCell(0, kColDeleted), "1");
  EXPECT_EQ(index.GetCell(1, kColDeleted), "0");
  EXPECT_EQ(index.GetCell(1, kColEnd), "9999");
  EXPECT_FALSE(MoveAllMessages("src", "src", Quick()));
}

TEST_F(MailStoreTest, DeleteTrashFilesNeedsBothFiles) {
  const std::string& trash = FixedFolderName(FixedFolder::Trash);
  EXPECT_FALSE(DeleteTrashFiles(Quick()));
  Add(trash, "x");
  EXPECT_TRUE(DeleteTrashFiles(Quick()));
  EXPECT_FALSE(std::filesystem::exists(mail.index(trash)));
  EXPECT_FALSE(std::filesystem::exists(mail.store(trash)));
  Add(trash, "y");
  std::filesystem::remove(mail.store(trash));
  EXPECT_FALSE(DeleteTrashFiles(Quick()));
  EXPECT_TRUE(std::filesystem::exists(mail.index(trash)));
}

TEST_F(MailStoreTest, FolderFilesAvailableCreatesBothFiles) {
  EXPECT_TRUE(FolderFilesAvailable(Sjis("新規フォルダ1"), Quick()));
  EXPECT_TRUE(std::filesystem::exists(mail.index(Sjis("新規フォルダ1"))));
  EXPECT_TRUE(std::filesystem::exists(mail.store(Sjis("新規フォルダ1"))));
  // Names that could leave the mail folder are no folder names.
  EXPECT_FALSE(FolderFilesAvailable("../escape", Quick()));
  EXPECT_FALSE(FolderFilesAvailable("", Quick()));
  EXPECT_FALSE(std::filesystem::exists(mail.dir().parent_path() / "escape.qvm"));
}

TEST_F(MailStoreTest, BadIndexRowsFailCleanlyAndLoseNothingElse) {
  struct Case {
    const char* what;
    int col;
    const char* value;
  } cases[] = {
      {"non-numeric start", kColStart, "12a"},
      {"negative start", kColStart, "-1"},
      {"start after end", kColStart, "200"},
      {"end beyond the store", kColEnd, "100000"},
      {"end past 64 bits", kColEnd, "99999999999999999999999"},
      {"empty end", kColEnd, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(mail.dir());
    std::filesystem::create_directories(mail.dir());
    std::string a = Add("box", "alpha"), b = Add("box", "beta"), g = Add("box", "gamma");
    PokeIndex(mail.index("box"), 1, c.col, c.value);
    const std::string storeBefore = mail.storeText("box"), indexBefore = mail.indexText("box");
    MailFolder f;
    ASSERT_TRUE(f.Open("box", Quick()));
    std::string text;
    EXPECT_FALSE(ReadMessageById(f, b, text));
    EXPECT_FALSE(ReadMessageByIndex(f, 1, text));
    ASSERT_TRUE(ReadMessageById(f, a, text));
    EXPECT_EQ(text, "alpha\r\n");
    ASSERT_TRUE(ReadMessageById(f, g, text));
    EXPECT_EQ(text, "gamma\r\n");
    // A damaged folder is not compacted.
    MarkMessage(f.Index(), a);
    EXPECT_FALSE(CompactStore(f));
    f.Close();
    EXPECT_EQ(mail.storeText("box"), storeBefore);
    EXPECT_EQ(mail.indexText("box"), indexBefore);
  }
}

TEST_F(MailStoreTest, AppendNeverCutsBytesItCannotAccountFor) {
  Add("box", "alpha");
  Add("box", "beta");
  const std::string stored = mail.storeText("box");
  struct Case {
    const char* what;
    const char* index;
  } cases[] = {
      {"index lost", ""},
      {"last end not a number", "0,0,x,id1,3\r\n"},
      {"last end beyond the store", "0,0,5000,id1,3\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    qvtest::WriteFile(mail.store("box"), stored);
    qvtest::WriteFile(mail.index("box"), c.index);
    Add("box", "new");
    EXPECT_EQ(mail.storeText("box"), stored + "new\r\n");
  }
  // A store shorter than its index: the mail that is cut off reads as false.
  qvtest::WriteFile(mail.store("box"), "alpha\r\nbe");
  qvtest::WriteFile(mail.index("box"), "0,0,7,a,3\r\n0,7,13,b,3\r\n");
  MailFolder f;
  ASSERT_TRUE(f.Open("box", Quick()));
  std::string text;
  EXPECT_TRUE(ReadMessageById(f, "a", text));
  EXPECT_FALSE(ReadMessageById(f, "b", text));
  EXPECT_FALSE(LoadLinesFromStreamRange(f.Store(), 7, 13, text));
  EXPECT_FALSE(CompactStore(f));
}

TEST_F(MailStoreTest, RowsPastTheEndOfAStoreCutShortNeverReadAsAnotherMail) {
  // Three mails, then the store loses its last bytes (a copy cut short, a
  // full disk): beta is cut in two, gamma is gone.
  const std::string a = Add("box", "alpha"), b = Add("box", "beta"), g = Add("box", "gamma");
  qvtest::WriteFile(mail.store("box"), "alpha\r\nbe");
  const std::string indexBefore = mail.indexText("box");
  {
    MailFolder f;
    ASSERT_TRUE(f.Open("box", Quick()));
    EXPECT_FALSE(IsDamagedRow(f, 0));
    EXPECT_TRUE(IsDamagedRow(f, 1));
    EXPECT_TRUE(IsDamagedRow(f, 2));
    std::string id;
    ASSERT_TRUE(AppendMessage(f, "a new mail that is long enough to cover both", Row("new"), id));
    // Dies before saving: the index on disk must already be one that never
    // shows the new bytes under beta's or gamma's row.
  }
  auto readable = [&] {
    std::map<std::string, std::string> texts;
    MailFolder f;
    EXPECT_TRUE(f.Open("box", Quick()));
    for (int r = 0; r < f.Index().RowCount(); ++r) {
      std::string text;
      if (ReadMessageByIndex(f, r, text)) texts[std::string(IndexCell(f.Index(), r, kColId))] = text;
    }
    return texts;
  };
  EXPECT_NE(mail.indexText("box"), indexBefore);
  EXPECT_EQ(readable(), (std::map<std::string, std::string>{{a, "alpha\r\n"}}));
  const std::string n = Add("box", "another new mail, saved this time", Row("newer"));
  auto texts = readable();
  EXPECT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[a], "alpha\r\n");
  EXPECT_EQ(texts[n], "another new mail, saved this time\r\n");
  {
    // The damaged rows keep their columns, are counted, and stay damaged.
    MailFolder f;
    ASSERT_TRUE(f.Open("box", Quick()));
    ASSERT_EQ(f.Index().RowCount(), 4);
    EXPECT_EQ(IndexCell(f.Index(), 1, kColId), b);
    EXPECT_EQ(IndexCell(f.Index(), 2, kColId), g);
    EXPECT_EQ(IndexCell(f.Index(), 2, kColSubject), "s");
    EXPECT_TRUE(IsDamagedRow(f, 1));
    EXPECT_TRUE(IsDamagedRow(f, 2));
    EXPECT_FALSE(IsDamagedRow(f, 3));
  }
  int total = 0, unread = 0;
  ASSERT_TRUE(CountMessages("box", total, unread, Quick()));
  EXPECT_EQ(total, 4);
  // Moving a damaged mail moves nothing: the trash never gets another mail's bytes.
  EXPECT_FALSE(MoveMessage("box", g, FixedFolderName(FixedFolder::Trash), false, Quick()));
  EXPECT_TRUE(LiveMails(FixedFolderName(FixedFolder::Trash)).empty());
  // Deleting another mail compacts the folder and keeps the damaged rows.
  ASSERT_TRUE(DeleteMessage("box", a, Quick()));
  texts = readable();
  EXPECT_EQ(texts, (std::map<std::string, std::string>{{n, "another new mail, saved this time\r\n"}}));
  EXPECT_EQ(mail.storeText("box"), "another new mail, saved this time\r\n");
  ASSERT_TRUE(CountMessages("box", total, unread, Quick()));
  EXPECT_EQ(total, 3);
  // A damaged mail can be deleted.
  ASSERT_TRUE(DeleteMessage("box", b, Quick()));
  ASSERT_TRUE(CountMessages("box", total, unread, Quick()));
  EXPECT_EQ(total, 2);
}

TEST_F(MailStoreTest, FolderFilesAreTheUsersOwnAndACompactionWritesNoPlantedFile) {
  const std::string a = Add("box", "alpha");
  Add("box", "beta");
  auto mode = [](const std::filesystem::path& p) {
    struct stat st {};
    EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
    return st.st_mode & 0777;
  };
  for (const char* name : {"box.qvm", "box.qvs"}) EXPECT_EQ(mode(mail.dir() / name), 0600u) << name;
  {
    // The lock files live while the folder is held.
    MailFolder f;
    ASSERT_TRUE(f.Open("box", Quick()));
    for (const char* name : {".box.qvm.lock", ".box.qvs.lock"}) EXPECT_EQ(mode(mail.dir() / name), 0600u) << name;
  }
  const auto victim = mail.tmp() / "victim";
  qvtest::WriteFile(victim, "untouched");
  {
    MailFolder f;
    ASSERT_TRUE(f.Open("box", Quick()));
    std::filesystem::create_symlink(victim, mail.dir() / "box.qvs.new");
    ASSERT_TRUE(MarkMessage(f.Index(), a));
    ASSERT_TRUE(CompactStore(f));
  }
  EXPECT_EQ(qvtest::ReadFile(victim), "untouched");
  EXPECT_EQ(mail.storeText("box"), "beta\r\n");
  EXPECT_EQ(mode(mail.store("box")), 0600u);
  EXPECT_EQ(mode(mail.index("box")), 0600u);
}

TEST_F(MailStoreTest, UnsavedChangesNeverOverwriteWhatTheSavedIndexHolds) {
  Add("box", "alpha");
  std::string b = Add("box", "beta");
  {
    // The last mail is marked in memory only, then a new mail goes in: it
    // must not take beta's bytes while the index on disk still shows beta.
    MailFolder f;
    ASSERT_TRUE(f.Open("box", Quick()));
    ASSERT_TRUE(MarkMessage(f.Index(), b));
    std::string id;
    ASSERT_TRUE(AppendMessage(f, "gamma-longer", Row(), id));
    // Closed without saving, as if the process had died here.
  }
  auto mails = LiveMails("box");
  ASSERT_EQ(mails.size(), 2u);
  EXPECT_EQ(mails[1].second, "beta\r\n");
  // Once saved, the space is given back as usual.
  {
    MailFolder f;
    ASSERT_TRUE(f.Open("box", Quick()));
    ASSERT_TRUE(MarkMessage(f.Index(), b));
    ASSERT_TRUE(f.SaveIndex());
  }
  Add("box", "delta");
  EXPECT_EQ(mail.storeText("box"), "alpha\r\ndelta\r\n");
}

TEST_F(MailStoreTest, AnInterruptedCompactionIsFinishedOrDroppedByTheNextOpener) {
  Add("box", "alpha");
  Add("box", "beta");
  const std::string index = mail.indexText("box"), store = mail.storeText("box");
  // Committed: the new index stands beside the old files.
  qvtest::WriteFile(mail.dir() / "box.qvs.new", "beta\r\n");
  qvtest::WriteFile(mail.dir() / "box.qvm.new", "0,0,6,b,3\r\n");
  qvtest::WriteFile(mail.dir() / "box.qvm.tmp99-1", "half an index");
  Add("box.qvm.tmp7", "a folder whose name looks like a temporary");
  int total = 0, unread = 0;
  ASSERT_TRUE(CountMessages("box", total, unread, Quick()));
  EXPECT_EQ(total, 1);  // counts as done before anyone finished it
  auto mails = LiveMails("box");
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].second, "beta\r\n");
  EXPECT_FALSE(std::filesystem::exists(mail.dir() / "box.qvm.new"));
  EXPECT_FALSE(std::filesystem::exists(mail.dir() / "box.qvm.tmp99-1"));
  EXPECT_EQ(LiveMails("box.qvm.tmp7").size(), 1u);
  // Committed with the store already in place: only the index was left.
  qvtest::WriteFile(mail.dir() / "box.qvm.new", "0,0,6,c,3\r\n");
  mails = LiveMails("box");
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].first, "c");
  // Not committed: the new store is dropped and the old files stand.
  qvtest::WriteFile(mail.index("box"), index);
  qvtest::WriteFile(mail.store("box"), store);
  qvtest::WriteFile(mail.dir() / "box.qvs.new", "garbage");
  EXPECT_EQ(LiveMails("box").size(), 2u);
  EXPECT_FALSE(std::filesystem::exists(mail.dir() / "box.qvs.new"));
  EXPECT_EQ(mail.storeText("box"), store);
}

// ---- exclusion

TEST_F(MailStoreTest, ASecondOpenerInTheSameProcessIsRefusedWithoutTouchingTheFiles) {
  Add("box", "alpha");
  const std::string before = mail.indexText("box") + mail.storeText("box");
  MailFolder holder;
  ASSERT_TRUE(holder.Open("box", Quick()));
  int waits = 0;
  RetryPolicy retry{30, std::chrono::milliseconds(1), {}};
  retry.waiting = [&] { ++waits; };
  std::string id = "x";
  bool stored = true;
  std::thread other([&] { stored = AddMessageToFolder("box", "beta", Row(), id, retry); });
  other.join();
  EXPECT_FALSE(stored);
  EXPECT_EQ(id, "");
  EXPECT_EQ(waits, 29);  // thirty tries, a wait between each two
  MailFolder again;
  EXPECT_FALSE(again.Open("box", Quick(1)));  // the same thread is refused too
  holder.Close();
  EXPECT_EQ(mail.indexText("box") + mail.storeText("box"), before);
}

TEST_F(MailStoreTest, ASecondOpenerWaitsAndThenGetsTheFolder) {
  Add("box", "alpha");
  auto holder = std::make_unique<MailFolder>();
  ASSERT_TRUE(holder->Open("box", Quick()));
  RetryPolicy retry = Quick(30);
  int waits = 0;
  // The holder lets go while the opener waits for its second try.
  retry.waiting = [&] {
    if (++waits == 1) holder->Close();
  };
  std::string id;
  std::thread other([&] { AddMessageToFolder("box", "beta", Row(), id, retry); });
  other.join();
  EXPECT_EQ(waits, 1);
  EXPECT_FALSE(id.empty());
  EXPECT_EQ(LiveMails("box").size(), 2u);
}

TEST_F(MailStoreTest, AnotherProcessHoldingTheFolderIsWaitedFor) {
  Add("box", "alpha");
  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    MailFolder f;
    char c = f.Open("box", Quick()) ? 'y' : 'n';
    if (::write(ready[1], &c, 1) != 1) ::_exit(2);
    if (::read(release[0], &c, 1) != 1) ::_exit(3);
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  const std::string before = mail.indexText("box") + mail.storeText("box");
  int total = 0, unread = 0;
  EXPECT_FALSE(CountMessages("box", total, unread, Quick(2)));
  EXPECT_EQ(Add("box", "beta"), "");
  EXPECT_EQ(mail.indexText("box") + mail.storeText("box"), before);
  RetryPolicy retry{500, std::chrono::milliseconds(20), {}};
  retry.waiting = [&] {
    char go = 'g';
    if (::write(release[1], &go, 1) != 1) ADD_FAILURE();
  };
  std::string id;
  EXPECT_TRUE(AddMessageToFolder("box", "beta", Row(), id, retry));
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(LiveMails("box").size(), 2u);
}

// ---- received-mail filter

TEST_F(MailStoreTest, ReceivedMailFilter) {
  const std::string head =
      "From: a@example.jp\r\nTo: b@example.jp\r\nSubject: s\r\n"
      "Content-Type: Multipart/Mixed; boundary=\"BB\"\r\n";
  auto part = [](std::string_view flag, std::string_view body) {
    std::string p = "Content-Type: text/plain\r\n";
    if (!flag.empty()) p += "X-KmailDx-CPGFLG: " + std::string(flag) + "\r\n";
    return p + "\r\n" + std::string(body) + "\r\n";
  };
  const std::string cut = Sjis("途中") + "\x93";  // a lead byte whose trail was cut off
  struct Case {
    const char* what;
    std::string in;
    bool changed;
    std::string out;
    bool attachments;
  } cases[] = {
      {"closed, two parts", head + "\r\npre\r\n--BB\r\n" + part("", "one") + "--BB\r\n" + part("OFF", "two") + "--BB--\r\n",
       false, "", true},
      {"no closing boundary", head + "\r\n--BB\r\n" + part("", "one"), true,
       head + "\r\n--BB\r\n" + part("", "one") + "--BB--\r\n", false},
      {"cut inside a character", head + "\r\n--BB\r\n" + part("", "x") + cut + "\r\n", true,
       head + "\r\n--BB\r\n" + part("", "x") + Sjis("途中") + "\r\n--BB--\r\n", false},
      {"only part flagged", head + "\r\n--BB\r\n" + part("ON", "sample") + "--BB--\r\n", true, head + "\r\n", false},
      {"one of three parts flagged", head + "\r\n--BB\r\n" + part("", "a") + "--BB\r\n" + part(" sample ", "b") +
       "--BB\r\n" + part("", "c") + "--BB--\r\nepilogue\r\n",
       true, head + "\r\n--BB\r\n" + part("", "a") + "--BB\r\n" + part("", "c") + "--BB--\r\n", true},
      {"whole mail flagged", "X-KmailDX-CPGFLG: Sample\r\nSubject: s\r\n\r\nbody\r\n", true, "", false},
      {"plain mail", "Subject: s\r\n\r\nbody\r\n", false, "", false},
      {"multipart without its first boundary", head + "\r\nnothing here\r\n", false, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string text = c.in;
    bool attachments = !c.attachments;
    EXPECT_EQ(FilterReceivedMail(text, attachments), c.changed);
    EXPECT_EQ(text, c.changed ? c.out : c.in);
    EXPECT_EQ(attachments, c.attachments);
  }
}

TEST_F(MailStoreTest, PreparedMailsAreStoredAsTheFilterLeavesThem) {
  std::string text = "From: " + Sjis("差出人") + " <a@example.jp>\nTo: b@example.jp, c@example.jp\nSubject: " +
                     Sjis("件名") + "\nContent-Type: multipart/mixed; boundary=X\n\n--X\n\npart1\n--X\n\npart2\n";
  MailIndexRow row;
  PrepareReceivedMail(row, text, 3, 0, 1, 0, 0, 0, "2024/01/02 03:04:05", "");
  EXPECT_EQ(row[kColFrom], Sjis("差出人") + "<a@example.jp>");
  EXPECT_EQ(row[kColTo], "b@example.jp,c@example.jp");
  EXPECT_EQ(row[kColSubject], Sjis("件名"));
  EXPECT_EQ(row[kColAttachments], "1");
  EXPECT_EQ(row[kColDate], "2024/01/02 03:04:05");
  std::string id = Add("in", text, row);
  ASSERT_FALSE(id.empty());
  auto mails = LiveMails("in");
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_TRUE(mails[0].second.ends_with("--X\r\n\r\npart2\r\n--X--\r\n"));

  // A mail the filter empties is not stored.
  std::string sample = "X-KmailDX-CPGFLG: ON\r\nFrom: 0901234\r\n\r\nx\r\n";
  PrepareReceivedMail(row, sample, 1, 0, 1, 0, 0, 0, "d", "");
  EXPECT_EQ(sample, "");
  EXPECT_EQ(Add("in", sample, row), "");
  EXPECT_EQ(LiveMails("in").size(), 1u);
}

// ---- names and small tables

TEST_F(MailStoreTest, ForbiddenCharactersInFolderNames) {
  const std::pair<char, const char*> table[] = {{'\\', "\x81\x8F"}, {'/', "\x81\x5E"}, {':', "\x81\x46"},
                                                {';', "\x81\x47"},  {',', "\x81\x41"}, {'*', "\x81\x96"},
                                                {'?', "\x81\x48"},  {'"', "\x81\x68"}, {'<', "\x81\x83"},
                                                {'>', "\x81\x84"},  {'|', "\x81\x62"}};
  for (auto [c, full] : table) {
    std::string name = std::string("a") + c + "b";
    SCOPED_TRACE(name);
    EXPECT_FALSE(IsValidFolderName(name));
    EXPECT_EQ(ReplaceForbiddenChars(name), "a" + std::string(full) + "b");
    EXPECT_TRUE(IsValidFolderName(ReplaceForbiddenChars(name)));
  }
  // A backslash or bar byte inside a double-byte character is no such character.
  const std::string so = Sjis("ソ表"), bar = "\x83\x7C";
  EXPECT_EQ(so, "\x83\x5C\x95\x5C");
  EXPECT_TRUE(IsValidFolderName(so + bar));
  EXPECT_EQ(ReplaceForbiddenChars(so + bar), so + bar);
  // A lead byte before a slash is no character with it: the slash is one.
  EXPECT_FALSE(IsValidFolderName("\x81/x"));
  EXPECT_FALSE(IsValidFolderName("..\x81/..\x81/x"));
  EXPECT_EQ(ReplaceForbiddenChars("\x81/x"), "\x81\x81\x5Ex");
  EXPECT_TRUE(IsValidFolderName("a\x81"));
  EXPECT_FALSE(IsValidFolderName(""));
}

TEST_F(MailStoreTest, UniqueNewNames) {
  const std::vector<std::string> list = {"photo.jpg", "Photo2.JPG", "a.txt.bak", "OPTCHAR.DAT"};
  struct Case {
    std::string name, expected;
  } cases[] = {
      {"new.jpg", "new.jpg"},
      {"photo.jpg", "photo3.jpg"},  // photo2 is taken regardless of case
      {"a.txt", "a2.txt"},          // a caption only has to begin with the candidate
      {"a:b?.gif", "a" + Sjis("：") + "b" + Sjis("？") + ".gif"},
      {".dat", Sjis("新規作成") + ".dat"},
      {"noext", "noext"},
      {Sjis("ソ") + ".x", Sjis("ソ") + ".x"},
  };
  for (const auto& c : cases) EXPECT_EQ(UniqueNewName(list, c.name), c.expected) << c.name;
  EXPECT_EQ(UniqueNewName({Sjis("新規作成.dat")}, ".dat"), Sjis("新規作成2.dat"));
}

TEST_F(MailStoreTest, KindCaptionsImagesAndFolderNames) {
  EXPECT_EQ(MailKindCaption(1), Sjis("直送メール"));
  EXPECT_EQ(MailKindCaption(3), Sjis("Eメール"));
  EXPECT_EQ(MailKindCaption(6), Sjis("予約"));
  EXPECT_EQ(MailKindCaption(9), Sjis("ブリーズメール"));
  EXPECT_EQ(MailKindCaption(0), "");
  EXPECT_EQ(MailKindCaption(15), "");
  EXPECT_EQ(MailKindCaption(99), "");
  const int images[][4] = {{1, 0, 0, 0}, {1, 1, 1, 3}, {3, 0, 1, 5}, {3, 1, 0, 6}, {8, 1, 1, 11}, {9, 0, 0, 12}, {15, 1, 0, 2}};
  for (auto& i : images) EXPECT_EQ(MailImageIndex(i[0], i[1], i[2]), i[3]) << i[0];
  EXPECT_EQ(FixedFolderName(FixedFolder::Received), Sjis("受信簿"));
  EXPECT_EQ(FixedFolderName(FixedFolder::Queued), Sjis("送信予約"));
  EXPECT_EQ(FixedFolderName(FixedFolder::Transfer), Sjis("データ転送"));
}

TEST_F(MailStoreTest, RandomlyDamagedIndexesNeverReadOutsideTheStore) {
  std::mt19937 rng(11);
  for (std::string text : {"alpha", "beta", "gamma", "delta"}) Add("box", text);
  const std::string index = mail.indexText("box"), store = mail.storeText("box");
  for (int trial = 0; trial < 300; ++trial) {
    std::string damaged = index;
    for (int n = 1 + static_cast<int>(rng() % 4); n > 0; --n) {
      size_t at = rng() % damaged.size();
      switch (rng() % 3) {
        case 0: damaged[at] = "0123456789,\"\r\n-x"[rng() % 17]; break;
        case 1: damaged.erase(at, 1 + rng() % 5); break;
        default: damaged.insert(at, 1, "0123456789,"[rng() % 11]); break;
      }
      if (damaged.empty()) damaged = "0";
    }
    qvtest::WriteFile(mail.index("box"), damaged);
    qvtest::WriteFile(mail.store("box"), store);
    MailFolder f;
    ASSERT_TRUE(f.Open("box", Quick()));
    // Whatever reads, reads its own range of the store.
    for (int r = 0; r < f.Index().RowCount(); ++r) {
      std::string text;
      if (!ReadMessageByIndex(f, r, text)) continue;
      uint64_t start = std::stoull(std::string(IndexCell(f.Index(), r, kColStart)));
      uint64_t end = std::stoull(std::string(IndexCell(f.Index(), r, kColEnd)));
      EXPECT_EQ(text, store.substr(start, end - start));
    }
    std::vector<std::string> before;
    for (int r = 0; r < f.Index().RowCount(); ++r) {
      std::string text;
      if (ReadMessageByIndex(f, r, text)) before.push_back(text);
    }
    if (CompactStore(f)) {
      // A compaction that went ahead lost no readable mail; rows set aside
      // as damaged stay so.
      std::vector<std::string> after;
      for (int r = 0; r < f.Index().RowCount(); ++r) {
        std::string text;
        if (IsDamagedRow(f, r)) continue;
        EXPECT_TRUE(ReadMessageByIndex(f, r, text));
        after.push_back(text);
      }
      EXPECT_EQ(after, before);
      f.Close();
    } else {
      f.Close();
      EXPECT_EQ(mail.indexText("box"), damaged);
      EXPECT_EQ(mail.storeText("box"), store);
    }
    // Appending never cuts into a mail that reads, saved or not.
    MailFolder g;
    ASSERT_TRUE(g.Open("box", Quick()));
    std::map<int, std::string> readable;
    for (int r = 0; r < g.Index().RowCount(); ++r) {
      std::string text;
      if (ReadMessageByIndex(g, r, text)) readable[r] = text;
    }
    const uint64_t sizeBefore = g.Store().Size();
    std::string id;
    // Long enough to reach where damaged rows point past the store's end.
    const std::string added(1 + rng() % 200, 'n');
    ASSERT_TRUE(AppendMessage(g, added, Row(), id));
    std::string text;
    ASSERT_TRUE(ReadMessageById(g, id, text));
    EXPECT_EQ(text, added + "\r\n");
    for (const auto& [r, before] : readable) {
      ASSERT_TRUE(ReadMessageByIndex(g, r, text)) << r;
      EXPECT_EQ(text, before);
    }
    // ... and a row that did not read never starts reading, neither now nor
    // from the index on disk.
    const int rows = g.Index().RowCount();
    for (int r = 0; r + 1 < rows; ++r) {
      if (readable.count(r)) continue;
      EXPECT_FALSE(ReadMessageByIndex(g, r, text)) << r << ": " << text;
    }
    g.Close();
    ASSERT_TRUE(g.Open("box", Quick()));
    for (int r = 0; r < g.Index().RowCount(); ++r) {
      if (!ReadMessageByIndex(g, r, text)) continue;
      EXPECT_LE(std::stoull(std::string(IndexCell(g.Index(), r, kColEnd))), sizeBefore) << r << ": " << text;
    }
  }
}

TEST_F(MailStoreTest, EveryWriteOfTheFolderIsFlushedBeforeTheIndexThatNeedsItIsRenamedIn) {
  // An index on disk only ever names bytes that are on disk: the store's new
  // bytes are flushed before the new index, itself written to a flushed
  // temporary, is renamed in, or before a new mail's row goes on at the end
  // of the index, written deleted, flushed, and made live by its first byte.
  // Bytes that an older index may still name are overwritten only after the
  // folder is flushed, so that index cannot come back. The folder after a
  // plain append is left to the file system: either index is whole and right.
  qvtest::FileStepLog steps(mail.dir());
  auto index = [&](const std::string& folder) {
    std::vector<std::string> lines = {"write " + folder + ".qvm~", "flush " + folder + ".qvm~",
                                      "rename " + folder + ".qvm~ > " + folder + ".qvm"};
    return lines;
  };
  auto join = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const std::string a = Add("box", "a");
  const size_t rowBytes = mail.indexText("box").size();
  EXPECT_EQ(steps.Lines(true), (std::vector<std::string>{"write box.qvs @0+3", "flush box.qvs",
                                                         "write box.qvm @0+" + std::to_string(rowBytes),
                                                         "flush box.qvm", "write box.qvm @0+1", "flush box.qvm"}));
  steps.Clear();
  const std::string b = Add("box", "b");
  EXPECT_EQ(steps.Lines(true), (std::vector<std::string>{
                                   "write box.qvs @3+3", "flush box.qvs",
                                   "write box.qvm @" + std::to_string(rowBytes) + "+" +
                                       std::to_string(mail.indexText("box").size() - rowBytes),
                                   "flush box.qvm", "write box.qvm @" + std::to_string(rowBytes) + "+1",
                                   "flush box.qvm"}));
  {
    MailFolder f;
    ASSERT_TRUE(f.Open("box", Quick()));
    ASSERT_TRUE(MarkMessage(f.Index(), b));
    ASSERT_TRUE(f.SaveIndex());
  }
  // b's bytes are reused by the next mail: the index that named them goes first.
  steps.Clear();
  Add("box", "c");
  EXPECT_EQ(steps.Lines(), join({"flush folder .", "write box.qvs", "flush box.qvs"}, index("box")));
  ASSERT_GE(steps.Lines(true).size(), 2u);
  EXPECT_EQ(steps.Lines(true)[1], "write box.qvs @3+3");

  // Compaction: the new store and index beside the old ones, both flushed;
  // the new index appearing (folder flushed) is the commit; then both are
  // put in place and the folder flushed again.
  Add("box", "d");
  steps.Clear();
  ASSERT_TRUE(DeleteMessage("box", a, Quick()));
  EXPECT_EQ(steps.Lines(),
            (std::vector<std::string>{"write box.qvs.new", "write box.qvs.new", "flush box.qvs.new", "write box.qvm.new~",
                                      "flush box.qvm.new~", "rename box.qvm.new~ > box.qvm.new", "flush folder .",
                                      "rename box.qvs.new > box.qvs", "rename box.qvm.new > box.qvm",
                                      "flush folder ."}));
  EXPECT_EQ(mail.storeText("box"), "c\r\nd\r\n");

  // A compaction committed but not put in place is finished by the next opener.
  std::filesystem::copy_file(mail.store("box"), mail.dir() / "box.qvs.new");
  std::filesystem::copy_file(mail.index("box"), mail.dir() / "box.qvm.new");
  steps.Clear();
  EXPECT_EQ(LiveMails("box").size(), 2u);
  EXPECT_EQ(steps.Lines(), (std::vector<std::string>{"rename box.qvs.new > box.qvs", "rename box.qvm.new > box.qvm",
                                                     "flush folder ."}));
}
