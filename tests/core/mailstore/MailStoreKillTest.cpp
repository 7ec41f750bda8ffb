// A child process appends, moves, deletes and compacts mail in a loop and is
// killed with SIGKILL at a random moment; after each kill both folders must
// open, every live row must read, and every mail whose operation had returned
// must be where that operation left it, with its exact bytes. An operation
// cut short may have happened or not, but never half: a mail is never lost
// and a deleted mail never comes back.
//
// QV_KILL_TRIALS sets the number of kills (30 by default; run 250 by hand).
#include "core/data/MailStore.h"

#include "MailTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <unistd.h>

using namespace qv;

namespace {

const std::string kFolders[2] = {"alpha", "beta"};

uint64_t Fnv(std::string_view s) {
  uint64_t h = 1469598103934665603ULL;
  for (char c : s) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
  return h;
}

// The text of the mail with this key: lines of varied length with ASCII and
// double-byte characters, from a few bytes to a few kilobytes.
std::string MailText(const std::string& key) {
  static const std::string kanji = qvtest::Sjis("漢字かなカナ表示ソ");
  std::mt19937_64 rng(Fnv(key));
  std::string text = "Subject: " + key + "\r\n\r\n";
  int lines = static_cast<int>(rng() % 40);
  for (int i = 0; i < lines; ++i) {
    int len = static_cast<int>(rng() % 100);
    for (int j = 0; j < len; ++j) {
      if (rng() % 4 == 0) {
        size_t at = 2 * (rng() % (kanji.size() / 2));
        text += kanji.substr(at, 2);
      } else {
        text += static_cast<char>('!' + rng() % 90);
      }
    }
    text += "\r\n";
  }
  return text;
}

std::string KeyOf(const std::string& text) {
  if (!text.starts_with("Subject: ")) return {};
  return text.substr(9, text.find("\r\n") - 9);
}

// ---- the child

void Report(int fd, const std::string& line) {
  std::string l = line + "\n";
  if (::write(fd, l.data(), l.size()) != static_cast<ssize_t>(l.size())) ::_exit(4);
}

// A random live mail of the folder: its id and key.
bool Pick(const std::string& folder, std::mt19937& rng, std::string& id, std::string& key) {
  MailFolder f;
  if (!f.Open(folder)) return false;
  std::vector<int> live;
  for (int r = 0; r < f.Index().RowCount(); ++r)
    if (IsLiveRow(f.Index(), r)) live.push_back(r);
  if (live.empty()) return false;
  int row = live[rng() % live.size()];
  std::string text;
  if (!ReadMessageByIndex(f, row, text)) ::_exit(5);
  id = IndexCell(f.Index(), row, kColId);
  key = KeyOf(text);
  return true;
}

[[noreturn]] void RunChild(int fd, int trial, unsigned seed) {
  std::mt19937 rng(seed);
  const MailIndexRow row = mailtest::Row("k");
  for (int seq = 0;; ++seq) {
    int op = static_cast<int>(rng() % 100);
    const std::string& a = kFolders[rng() % 2];
    const std::string& b = a == kFolders[0] ? kFolders[1] : kFolders[0];
    std::string id, key;
    if (op < 45) {
      key = "K" + std::to_string(trial) + "-" + std::to_string(seq);
      Report(fd, "a+ " + a + " " + key);
      bool ok = AddMessageToFolder(a, MailText(key), row, id);
      Report(fd, "a- " + a + " " + key + (ok ? " ok" : " fail"));
    } else if (op < 65) {
      if (!Pick(a, rng, id, key)) continue;
      Report(fd, "m+ " + a + " " + key + " " + b);
      bool ok = MoveMessage(a, id, b, false);
      Report(fd, "m- " + a + " " + key + " " + b + (ok ? " ok" : " fail"));
    } else if (op < 85) {
      if (!Pick(a, rng, id, key)) continue;
      Report(fd, "d+ " + a + " " + key);
      bool ok = DeleteMessage(a, id);
      Report(fd, "d- " + a + " " + key + (ok ? " ok" : " fail"));
    } else if (op < 95) {
      Report(fd, "c+ " + a);
      MailFolder f;
      bool ok = f.Open(a) && CompactStore(f);
      Report(fd, "c- " + a + (ok ? " ok" : " fail"));
    } else {
      if (!Pick(a, rng, id, key)) continue;
      Report(fd, "x+ " + a + " - " + b);
      bool ok = MoveAllMessages(a, b);
      Report(fd, "x- " + a + " - " + b + (ok ? " ok" : " fail"));
    }
  }
}

// ---- the parent's model

// How many copies of each mail each folder holds.
using Counts = std::map<std::string, std::map<std::string, int>>;

int CountOf(const Counts& c, const std::string& key, const std::string& folder) {
  auto k = c.find(key);
  if (k == c.end()) return 0;
  auto f = k->second.find(folder);
  return f == k->second.end() ? 0 : f->second;
}

void Adjust(Counts& c, const std::string& key, const std::string& folder, int delta) {
  int& n = c[key][folder];
  n += delta;
  if (n == 0) c[key].erase(folder);
  if (c[key].empty()) c.erase(key);
}

struct Op {
  char kind = 0;
  std::string folder, key, other;
  bool done = false, ok = false;
};

Op ParseOp(const std::string& line) {
  std::istringstream in(line);
  std::string tag, rest;
  Op op;
  in >> tag >> op.folder;
  op.kind = tag[0];
  op.done = tag[1] == '-';
  if (op.kind == 'a' || op.kind == 'd') in >> op.key;
  if (op.kind == 'm') in >> op.key >> op.other;
  if (op.kind == 'x') in >> rest >> op.other;
  std::string result;
  in >> result;
  op.ok = result == "ok";
  return op;
}

// Applies what a returned operation did.
void Apply(Counts& c, const Op& op) {
  if (!op.ok) return;
  switch (op.kind) {
    case 'a':
      Adjust(c, op.key, op.folder, 1);
      break;
    case 'm':
      Adjust(c, op.key, op.folder, -1);
      Adjust(c, op.key, op.other, 1);
      break;
    case 'd':
      Adjust(c, op.key, op.folder, -1);
      break;
    case 'x': {
      std::vector<std::pair<std::string, int>> moving;
      for (auto& [key, where] : c)
        if (where.count(op.folder)) moving.emplace_back(key, where.at(op.folder));
      for (auto& [key, n] : moving) {
        Adjust(c, key, op.folder, -n);
        Adjust(c, key, op.other, n);
      }
      break;
    }
    default:
      break;
  }
}

// What the folders hold: copies of each key; false when a folder does not
// open, a live row does not read, or a mail's bytes are not its own.
bool Observe(Counts& seen, std::string& why) {
  seen.clear();
  for (const auto& folder : kFolders) {
    MailFolder f;
    if (!f.Open(folder, mailtest::Quick())) {
      why = folder + " does not open";
      return false;
    }
    for (int r = 0; r < f.Index().RowCount(); ++r) {
      if (!IsLiveRow(f.Index(), r)) continue;
      std::string text;
      if (!ReadMessageByIndex(f, r, text)) {
        why = folder + " row " + std::to_string(r) + " does not read";
        return false;
      }
      std::string key = KeyOf(text);
      if (key.empty() || text != MailText(key)) {
        why = folder + " row " + std::to_string(r) + " holds damaged bytes";
        return false;
      }
      Adjust(seen, key, folder, 1);
    }
  }
  return true;
}

int EnvInt(const char* name, int def) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : def;
}

}  // namespace

TEST(MailStoreKill, NoMailIsLostWhenTheWriterIsKilled) {
  mailtest::MailDir mail;
  const int trials = EnvInt("QV_KILL_TRIALS", 30);
  std::mt19937 rng(EnvInt("QV_KILL_SEED", 20240607));
  Counts model;
  std::map<char, int> completed, cutShort;
  int failures = 0;
  for (int trial = 0; trial < trials; ++trial) {
    // Kill moments spread over the first tens of operations.
    const qvtest::KilledChild child = qvtest::ForkAndKill(
        [&](int fd) { RunChild(fd, trial, static_cast<unsigned>(rng())); }, std::chrono::microseconds(rng() % 60000));
    ASSERT_TRUE(child.killed) << "the child ended by itself: " << child.status;
    const std::string& out = child.output;

    Op pending;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
      Op op = ParseOp(line);
      if (!op.done) {
        pending = op;
        continue;
      }
      Apply(model, op);
      ++completed[op.kind];
      if (!op.ok) ++failures;
      pending = Op();
    }
    if (pending.kind) ++cutShort[pending.kind];

    Counts seen;
    std::string why;
    ASSERT_TRUE(Observe(seen, why)) << "after kill " << trial << ": " << why;
    // The operation cut short may have taken effect whole or not at all.
    std::vector<Counts> allowed = {model};
    if (pending.kind && pending.kind != 'c') {
      Op whole = pending;
      whole.ok = true;
      Counts done = model;
      Apply(done, whole);
      allowed.push_back(done);
      if (pending.kind == 'm' || pending.kind == 'x') {
        // Copied into the target, the source not yet let go.
        Counts copied = model;
        for (auto& [key, where] : model)
          if (where.count(pending.folder) && (pending.kind == 'x' || key == pending.key))
            Adjust(copied, key, pending.other, pending.kind == 'x' ? where.at(pending.folder) : 1);
        allowed.push_back(copied);
      }
    }
    bool match = false;
    for (const auto& a : allowed) match = match || a == seen;
    if (!match) {
      std::ostringstream diff;
      for (const auto& [key, where] : model)
        for (const auto& [folder, n] : where)
          if (CountOf(seen, key, folder) != n) diff << key << "@" << folder << " " << n << "->" << CountOf(seen, key, folder) << "; ";
      for (const auto& [key, where] : seen)
        for (const auto& [folder, n] : where)
          if (CountOf(model, key, folder) == 0) diff << "unexpected " << key << "@" << folder << "; ";
      FAIL() << "after kill " << trial << " (cut short: " << (pending.kind ? pending.kind : '-') << " " << pending.key
             << "): " << diff.str();
    }
    model = seen;
  }
  std::ostringstream summary;
  summary << trials << " kills; returned:";
  for (auto& [k, n] : completed) summary << " " << k << "=" << n;
  summary << "; cut short:";
  for (auto& [k, n] : cutShort) summary << " " << k << "=" << n;
  summary << "; failed ops: " << failures << "; mails at the end: " << model.size();
  std::cout << summary.str() << std::endl;
  RecordProperty("summary", summary.str());
  EXPECT_EQ(failures, 0);
  // The survivors still compact cleanly.
  for (const auto& folder : kFolders) {
    MailFolder f;
    ASSERT_TRUE(f.Open(folder, mailtest::Quick()));
    EXPECT_TRUE(CompactStore(f)) << folder;
  }
}
