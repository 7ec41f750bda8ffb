// A child process saves a phone-book file and a bookmark file in a loop, each
// time a different version, and is killed with SIGKILL at a random moment;
// after each kill both files must be whole: exactly the version of the last
// save that returned, or of the save that was cut short.
//
// QV_KILL_TRIALS sets the number of kills (20 by default; run 300 by hand).
#include "core/data/Bookmarks.h"
#include "core/data/PhoneBook.h"

#include "ContactData.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <random>
#include <sstream>
#include <unistd.h>

using namespace qv;

namespace {

// Version v of each file: sizes differ from version to version, so a file
// cut short or mixed from two versions matches none.
PhoneBookList BookVersion(int v) {
  PhoneBookList book = qvtest::FullPhoneBook(20 + v % 7);
  for (auto& e : book) e.SetField(kPbMemo, "version " + std::to_string(v));
  return book;
}
BookmarkList MarksVersion(int v) {
  BookmarkList marks;
  for (int i = 0; i < 30 + v % 11; ++i) marks.push_back(qvtest::FullBookmark(v * 100 + i));
  return marks;
}

void Report(int fd, const std::string& line) {
  std::string l = line + "\n";
  if (::write(fd, l.data(), l.size()) != static_cast<ssize_t>(l.size())) ::_exit(4);
}

[[noreturn]] void RunChild(int fd, const std::filesystem::path& dir, int first) {
  for (int v = first;; ++v) {
    Report(fd, "+ " + std::to_string(v));
    bool ok = SaveArchive(dir / "book.qad", BookVersion(v)) && SaveBookmarks(dir / "marks.qbk", MarksVersion(v));
    Report(fd, (ok ? "- " : "! ") + std::to_string(v));
  }
}

int EnvInt(const char* name, int def) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : def;
}

// The version whose file this is, or -1.
int BookVersionOf(const std::filesystem::path& path, int a, int b) {
  PhoneBookList book;
  if (!LoadArchive(path, book)) return -1;
  for (int v : {a, b})
    if (v >= 0 && book == BookVersion(v)) return v;
  return -1;
}
int MarksVersionOf(const std::filesystem::path& path, int a, int b) {
  BookmarkList marks;
  if (!LoadBookmarks(path, marks)) return -1;
  for (int v : {a, b})
    if (v >= 0 && marks == MarksVersion(v)) return v;
  return -1;
}

}  // namespace

TEST(ContactSaveKill, TheFilesAreAlwaysOneVersionWhole) {
  qvtest::TempDir tmp;
  const int trials = EnvInt("QV_KILL_TRIALS", 20);
  std::mt19937 rng(EnvInt("QV_KILL_SEED", 20240611));
  ASSERT_TRUE(SaveArchive(tmp / "book.qad", BookVersion(0)));
  ASSERT_TRUE(SaveBookmarks(tmp / "marks.qbk", MarksVersion(0)));
  int saved = 0, next = 1, cut = 0, oldKept = 0, newKept = 0;
  for (int trial = 0; trial < trials; ++trial) {
    const qvtest::KilledChild child = qvtest::ForkAndKill(
        [&](int fd) { RunChild(fd, tmp.path(), next); }, std::chrono::microseconds(rng() % 40000));
    ASSERT_TRUE(child.killed) << "the child ended by itself: " << child.status;
    const std::string& out = child.output;

    int pending = -1;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
      const int v = std::atoi(line.c_str() + 2);
      ASSERT_NE(line[0], '!') << "save " << v << " failed";
      if (line[0] == '+') pending = v;
      if (line[0] == '-') {
        saved = v;
        pending = -1;
      }
    }
    // The book is saved before the bookmarks: a cut save may have renewed
    // either, both or none, each whole.
    const int book = BookVersionOf(tmp / "book.qad", saved, pending);
    const int marks = MarksVersionOf(tmp / "marks.qbk", saved, pending);
    ASSERT_NE(book, -1) << "after kill " << trial << " the phone book is no version whole";
    ASSERT_NE(marks, -1) << "after kill " << trial << " the bookmarks are no version whole";
    if (pending >= 0) {
      ++cut;
      if (book == pending)
        ++newKept;
      else
        ++oldKept;
    }
    // What the files hold now is the next trial's last save.
    saved = marks;
    if (book != marks) {
      ASSERT_TRUE(SaveArchive(tmp / "book.qad", BookVersion(saved)));
    }
    next = std::max(next, pending + 1);
    next = std::max(next, saved + 1);
  }
  std::ostringstream summary;
  summary << trials << " kills, " << next - 1 << " versions written; " << cut << " saves cut short (phone book old "
          << oldKept << ", new " << newKept << ")";
  std::cout << summary.str() << std::endl;
  RecordProperty("summary", summary.str());
}
