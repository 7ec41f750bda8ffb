// A session storing received mail into a "受信簿" of 10,000 mails is killed
// with SIGKILL at a random moment; after each kill the folder must open and
// read back whole: every mail it held and every mail whose store had returned
// exactly once with its own bytes, the mail cut short at most once, nothing
// else.
//
// QV_KILL_TRIALS sets the number of kills (20 by default; run 250 by hand),
// QV_KILL_SEED the seed, QV_KILL_FOLDER_MAILS the mails the folder starts with.
#include "launcher/session/MailKeeper.h"
#include "launcher/session/Session.h"

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

uint64_t Fnv(std::string_view s) {
  uint64_t h = 1469598103934665603ULL;
  for (char c : s) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
  return h;
}

// The mail with this key: from a few bytes to a few kilobytes.
std::string MailText(const std::string& key) {
  std::mt19937_64 rng(Fnv(key));
  std::string text = "Subject: " + key + "\r\n\r\n";
  const int lines = static_cast<int>(rng() % 60);
  for (int i = 0; i < lines; ++i) text += std::string(rng() % 90, static_cast<char>('a' + rng() % 26)) + "\r\n";
  return text;
}

std::string KeyOf(const std::string& text) {
  if (!text.starts_with("Subject: ")) return {};
  return text.substr(9, text.find("\r\n") - 9);
}

int EnvInt(const char* name, int def) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : def;
}

// The launcher as the keeper sees it: what it is told goes nowhere.
class QuietHost : public SessionHost {
 public:
  void InitSerialModule(bool) override {}
  const std::string& AutoReceiveNumber() const override { return none_; }
  void SetPeerNumber(std::string) override {}
  std::string ReportMessage(std::string_view text, bool) override { return std::string(text); }
  void ShowNotice(const std::string&, bool) override {}
  void CloseNotice() override {}
  void PlaySentSound() override {}
  void StartBannerAnimation() override {}
  void StopBannerAnimation() override {}

 private:
  std::string none_;
};

void Report(int fd, const std::string& line) {
  const std::string l = line + "\n";
  if (::write(fd, l.data(), l.size()) != static_cast<ssize_t>(l.size())) ::_exit(4);
}

[[noreturn]] void StoreUntilKilled(int fd, int trial, const std::string& inbox) {
  MailKeeper keeper;
  QuietHost host;
  const RetryPolicy retry = mailtest::Quick();
  if (!keeper.OpenFolder(inbox, retry)) ::_exit(5);
  Report(fd, "ready");
  for (int seq = 0;; ++seq) {
    const std::string key = "S" + std::to_string(trial) + "-" + std::to_string(seq);
    Report(fd, "+ " + key);
    std::string text = MailText(key);
    MailIndexRow row;
    PrepareReceivedMail(row, text, 3, 0, 1, 0, 0, 0, NowText(), "");
    const bool ok = keeper.StoreReceived(host, inbox, text, row, retry);
    Report(fd, "- " + key + (ok ? " ok" : " fail"));
  }
}

}  // namespace

TEST(SessionStoreKill, AKilledSessionNeitherLosesNorDoublesAMail) {
  mailtest::MailDir mail;
  const std::string inbox = FixedFolderName(FixedFolder::Received);
  const int trials = EnvInt("QV_KILL_TRIALS", 20), folderMails = EnvInt("QV_KILL_FOLDER_MAILS", 10000);
  {
    MailFolder f;
    ASSERT_TRUE(f.Open(inbox, mailtest::Quick()));
    std::string id;
    for (int i = 0; i < folderMails; ++i) {
      const std::string key = "old" + std::to_string(i);
      ASSERT_TRUE(AppendMessage(f, MailText(key), mailtest::Row(key), id));
    }
    ASSERT_TRUE(f.SaveIndex());
  }
  std::map<std::string, int> expected;  // the mails that must be there, once each
  for (int i = 0; i < folderMails; ++i) expected["old" + std::to_string(i)] = 1;
  std::mt19937 rng(EnvInt("QV_KILL_SEED", 20240608));
  int returned = 0, cutShort = 0;
  for (int trial = 0; trial < trials; ++trial) {
    const qvtest::KilledChild child = qvtest::ForkAndKill(
        [&](int fd) { StoreUntilKilled(fd, trial, inbox); }, std::chrono::microseconds(rng() % 200000), true);
    ASSERT_TRUE(child.killed) << "the child ended by itself: " << child.status << "\n" << child.output;
    std::string pending;
    std::istringstream lines(child.output);
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with("+ ")) pending = line.substr(2);
      if (!line.starts_with("- ")) continue;
      std::istringstream fields(line.substr(2));
      std::string key, result;
      fields >> key >> result;
      ASSERT_EQ(result, "ok") << key;
      ++expected[key];
      ++returned;
      pending.clear();
    }

    std::map<std::string, int> seen;
    {
      MailFolder f;
      ASSERT_TRUE(f.Open(inbox, mailtest::Quick())) << "after kill " << trial;
      for (int r = 0; r < f.Index().RowCount(); ++r) {
        if (!IsLiveRow(f.Index(), r)) continue;
        std::string text;
        ASSERT_TRUE(ReadMessageByIndex(f, r, text)) << "after kill " << trial << ": row " << r << " does not read";
        const std::string key = KeyOf(text);
        ASSERT_EQ(text, MailText(key)) << "after kill " << trial << ": row " << r << " holds damaged bytes";
        ++seen[key];
      }
    }
    if (!pending.empty() && seen.count(pending)) {
      ++expected[pending];  // stored whole before the kill
      ++cutShort;
    }
    if (seen != expected) {
      std::ostringstream diff;
      for (const auto& [key, n] : expected)
        if (seen[key] != n) diff << key << " " << n << "->" << seen[key] << "; ";
      for (const auto& [key, n] : seen)
        if (!expected.count(key)) diff << "unexpected " << key << " x" << n << "; ";
      FAIL() << "after kill " << trial << " (cut short: " << pending << "): " << diff.str();
    }
  }
  std::ostringstream summary;
  summary << trials << " kills into a folder of " << folderMails << " mails; stores returned: " << returned
          << "; stored while cut short: " << cutShort << "; mails at the end: " << expected.size();
  std::cout << summary.str() << std::endl;
  RecordProperty("summary", summary.str());
}
