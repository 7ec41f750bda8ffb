// mail_history_bench: the handset's mail histories.
//
// Storing: a history file of QV_BENCH_HISTORY mails (default 1000; half
// KメールDX mails, half Kメール and ブリーズメール, both directions) read into
// "送信簿" and "受信簿", counting the index files written (an index is
// written beside itself and renamed into place); the anchor is the
// same mails stored one opening each, as an append per mail does.
//
// On the line: QV_BENCH_DX mails (default 200) of a KメールDX history framed
// from "データ転送", written to the simulated handset and read back into the
// folders, through the session layer and the built Portvine.so on its real
// clock, the handset paced both ways at 115200 baud. Each direction also runs
// with one mail (the anchor: the session's fixed cost); what the lines cost
// is the difference, reported against their time on the wire at 10 bits a
// byte (the fraction of the line rate).
#include "HandsetRecords.h"
#include "HeadlessSession.h"
#include "MailFolders.h"
#include "core/data/HandsetExchange.h"
#include "core/data/MailStore.h"
#include "platform/Cp932.h"
#include "plugins/mail/history/MailHistory.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sys/inotify.h>
#include <unistd.h>

using namespace std::chrono;

namespace {

constexpr double kLineBytesPerSecond = 115200 / 10.0;

int EnvOr(const char* name, int def) {
  const char* v = std::getenv(name);
  return v && std::atoi(v) > 0 ? std::atoi(v) : def;
}

qvtest::HistoryMailSpec BenchMail(int i) {
  qvtest::HistoryMailSpec m;
  m.outgoing = i % 3 == 0;
  m.box = m.outgoing ? 3 : 2;
  m.date = "2003/01/" + std::to_string(10 + i % 20) + " 12:00:00";
  if (i % 2 == 0) {
    m.tag = 0x1005;
    m.kind = 1;
    std::string body;
    for (int l = 0; l < 4 + i % 9; ++l) body += "history mail " + std::to_string(i) + " line " + std::to_string(l) + "\r\n";
    m.text = "To: 0901234" + std::to_string(1000 + i % 9000) + "\r\nSubject: mail " + std::to_string(i) +
             "\r\nContent-Type: Text/Plain\r\n\r\n" + body;
  } else {
    m.tag = i % 4 == 1 ? 0x1003 : 0x1007;
    m.kind = m.tag == 0x1003 ? 0 : 1;
    m.peer = "0701112" + std::to_string(1000 + i % 9000);
    m.text = "short " + std::to_string(i);
  }
  return m;
}

// Index files written in the mail folder while it runs.
class IndexWrites {
 public:
  explicit IndexWrites(const std::filesystem::path& dir) : fd_(inotify_init1(IN_NONBLOCK)) {
    if (fd_ >= 0) inotify_add_watch(fd_, dir.c_str(), IN_MOVED_TO);
  }
  ~IndexWrites() {
    if (fd_ >= 0) ::close(fd_);
  }
  // Writes per index file name since the last call.
  std::map<std::string, int> Take() {
    std::map<std::string, int> writes;
    alignas(inotify_event) char buf[64 * 1024];
    for (;;) {
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n <= 0) break;
      for (ssize_t at = 0; at < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
        const std::string name = e->len ? e->name : "";
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".qvm") == 0) ++writes[name];
        at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
      }
    }
    return writes;
  }

 private:
  int fd_;
};

std::string Writes(const std::map<std::string, int>& writes) {
  std::string out;
  for (const auto& [name, n] : writes) out += (out.empty() ? "" : ", ") + qv::cp932::ToUtf8(name) + " " + std::to_string(n);
  return out.empty() ? "none" : out;
}

bool BenchStoring(int count) {
  qvtest::TempDir tmp;
  qvtest::ScopedLauncherDir launcher(tmp / "app");
  const auto mailDir = tmp / "app" / "MailLog";
  std::filesystem::create_directories(mailDir);
  std::vector<qvtest::HistoryMailSpec> specs;
  for (int i = 0; i < count; ++i) specs.push_back(BenchMail(i));
  const auto file = tmp / "app" / "Temp6.dat";
  qv::HandsetExchangeFile::Write(file, qvtest::HistoryMailLines(specs));

  IndexWrites watch(mailDir);
  auto t0 = steady_clock::now();
  const qv::HistoryImport result = qv::ImportHistoryFile(file);
  const double importSeconds = duration<double>(steady_clock::now() - t0).count();
  const auto importWrites = watch.Take();

  // The anchor: the same mails, one opening and one index write each.
  std::vector<std::string> lines;
  qv::HandsetExchangeFile::Read(file, lines);
  int damaged = 0;
  const auto mails = qv::DecodeHistoryLines(lines, damaged);
  std::filesystem::remove_all(mailDir);
  std::filesystem::create_directories(mailDir);
  IndexWrites anchorWatch(mailDir);
  t0 = steady_clock::now();
  int anchorStored = 0;
  std::map<std::string, int> anchorWrites;
  for (const auto& mail : mails) {
    std::string id;
    if (qv::AddMessageToFolder(qv::FixedFolderName(mail.outgoing ? qv::FixedFolder::Sent : qv::FixedFolder::Received),
                               mail.text, mail.row, id))
      ++anchorStored;
    // Taken at once: events of one name that wait unread are merged.
    for (const auto& [name, n] : anchorWatch.Take()) anchorWrites[name] += n;
  }
  const double anchorSeconds = duration<double>(steady_clock::now() - t0).count();

  std::printf("storing %d history mails: %.3f s, %d stored; index writes: %s\n", count, importSeconds, result.stored,
              Writes(importWrites).c_str());
  std::printf("  anchor, an opening per mail: %.3f s, %d stored; index writes: %s\n", anchorSeconds, anchorStored,
              Writes(anchorWrites).c_str());
  bool once = !importWrites.empty();
  for (const auto& [name, n] : importWrites) once = once && n == 1;
  std::printf("  aim: one index write per folder: %s\n", once ? "met" : "MISSED");
  return result.stored == count && once;
}

struct Run {
  double seconds = 0;
  size_t lines = 0;
  double wireBytes = 0;
  bool ok = false;
};

// A write line and its answer; a read request and its answer.
double WriteLineBytes(const std::string& wire, size_t lineNo) {
  return double(std::string("<1:6:").size() + wire.size() + 4 + std::string("<1:6:>\r\n").size() +
                std::to_string(lineNo).size());
}
double ReadLineBytes(const std::string& wire) {
  return double(std::string("<2:6H>\r\n").size() + std::string("<1:00h>\r\n").size() + wire.size());
}

// One direction with mails DX mails: a write frames them from "データ転送";
// a read brings them back into the folders.
Run OnTheLine(bool write, int mails) {
  qvtest::TempDir tmp;
  qvtest::HeadlessLauncher launcher(tmp / "app");
  std::vector<qvtest::HistoryMailSpec> specs;
  for (int i = 0; i < mails; ++i) specs.push_back(BenchMail(2 * i));  // the even ones are DX
  const qvtest::HandsetLines lines = qvtest::HistoryMailLines(specs);
  const qvtest::HandsetLines wire = qvtest::WireLines(lines);
  handsetsim::SimConfig config;
  config.pace = true;
  config.i9InfoText = "1";
  config.infoCapacity = lines.size() + 1;
  Run run;
  if (write) {
    // Staged as a reading stored them.
    qv::HandsetExchangeFile::Write(tmp / "app" / "staged.dat", lines);
    int damaged = 0;
    std::vector<std::string> read;
    qv::HandsetExchangeFile::Read(tmp / "app" / "staged.dat", read);
    for (const auto& mail : qv::DecodeHistoryLines(read, damaged))
      qvtest::AppendMail(qv::FixedFolderName(qv::FixedFolder::Transfer), mail.text, mail.row);
  } else {
    config.info[6] = wire;
  }
  std::string error;
  if (!launcher.StartHandset(config, 1, &error)) {
    std::fprintf(stderr, "mail_history_bench: %s\n", error.c_str());
    return run;
  }
  const auto t0 = steady_clock::now();
  bool moved = false;
  if (write) {
    const qv::HistoryExport framed = qv::ExportHistoryFile(qv::HandsetExchangeFile::PathFor(6), true);
    const qv::SessionResult result = launcher.Run(qv::SessionMode::WriteHandsetInfo, {.parameter = 6});
    moved = framed.records == mails && result == qv::SessionResult::Done && launcher.Sim().Info()[6] == wire;
  } else {
    const qv::SessionResult result = launcher.Run(qv::SessionMode::ReadHandsetInfo, {.parameter = 6});
    const qv::HistoryImport stored = qv::ImportHistoryFile(qv::HandsetExchangeFile::PathFor(6));
    moved = result == qv::SessionResult::Done && stored.stored == mails;
  }
  run.seconds = duration<double>(steady_clock::now() - t0).count();
  run.lines = lines.size();
  for (size_t i = 0; i < wire.size(); ++i) run.wireBytes += write ? WriteLineBytes(wire[i], i + 1) : ReadLineBytes(wire[i]);
  run.ok = moved;
  return run;
}

bool BenchLine(const char* what, bool write, int mails) {
  const Run anchor = OnTheLine(write, 1);
  const Run all = OnTheLine(write, mails);
  const double seconds = all.seconds - anchor.seconds;
  const double wireSeconds = (all.wireBytes - anchor.wireBytes) / kLineBytesPerSecond;
  std::printf("%s %d DX mails (%zu lines, %.0f bytes on the wire): %.1f s; anchor 1 mail (%zu lines): %.2f s\n", what,
              mails, all.lines, all.wireBytes, all.seconds, anchor.lines, anchor.seconds);
  std::printf("  the lines beyond the anchor: %.1f s for %.1f s of line time = %.1f%% of the line rate, %.1f ms a line%s\n",
              seconds, wireSeconds, 100 * wireSeconds / seconds, 1000 * seconds / double(all.lines - anchor.lines),
              anchor.ok && all.ok ? "" : "  [DATA DIFFERS OR NOT DONE]");
  return anchor.ok && all.ok;
}

}  // namespace

int main() {
  qvtest::InitTestProcess();
  bool ok = BenchStoring(EnvOr("QV_BENCH_HISTORY", 1000));
  const int dx = EnvOr("QV_BENCH_DX", 200);
  ok &= BenchLine("write", true, dx);
  ok &= BenchLine("read", false, dx);
  return ok ? 0 : 1;
}
