// session_bench: whole mail sessions as a user with many mails would run them:
// the session layer (the session dialog's sessions without the window) drives
// the built Portvine.so on the module's real clock, in front of the simulated
// handset and mail centre paced at 115200 baud both ways.
//
//   small N  receive all of N small mails (0.7-1.1 KB)      default 2000
//   mixed N  receive all of N mails of mixed sizes (0.5-40 KB) default 500
//   send N   send a queue of N e-mails (0.3-3 KB)            default 100
//   full N   receive N small mails into an empty 受信簿, then into one that
//            already holds 100,000 mails (QV_BENCH_FOLDER_MAILS), each run
//            in a process of its own so that its peak memory is its own
//                                                            default 200
//
// Each receive is set beside the line-rate bound of the bytes that crossed
// the line (10 bits a byte, both ways), its list phase beside the bytes of the
// list pages; a send beside the pacing the module keeps by rule (a 20 ms pause
// every 100 bytes of a body). The folders are read back: every mail must be
// stored exactly once. The digests of the bytes each way and of the module's
// events let two builds be compared: they must be equal.
//
//   session_bench [small N] [mixed N] [send N] [full N]   only the settings given
//   session_bench smoke                           small 20, mixed 8, send 5, full 5 (into 2,000)
#include "HeadlessSession.h"
#include "MailFolders.h"
#include "core/data/TextFunctions.h"
#include "platform/IniFile.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using qv::Sjis;

constexpr int kBaud = 115200;
constexpr double kSecondsPerByte = 10.0 / kBaud;
// The module's pacing of a body: a 20 ms pause every 100 bytes.
constexpr double kPacePause = 0.020;
constexpr size_t kPaceEvery = 100;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

uint64_t Fnv(uint64_t hash, std::string_view bytes) {
  for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3ull;
  return hash;
}
constexpr uint64_t kFnvStart = 0xcbf29ce484222325ull;

long PeakRssKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// What crossed the line and what the centre said when, all taken on the
// simulator's thread and read once it has stopped.
class LineRecord {
 public:
  void Attach(handsetsim::Simulator& sim) {
    sim.SetWireTap([this](bool toHost, std::string_view bytes) {
      (toHost ? toHost_ : fromHost_) += bytes.size();
      if (toHost) lastToHost_ = Clock::now();
      (toHost ? hashTo_ : hashFrom_) = Fnv(toHost ? hashTo_ : hashFrom_, bytes);
      if (keep_) (toHost ? keptTo_ : keptFrom_).append(bytes);
    });
    sim.SetLog([this](const std::string& line) {
      std::lock_guard lock(mutex_);
      lines_.push_back({Clock::now(), line, toHost_ + fromHost_, lastToHost_});
    });
  }
  struct Line {
    Clock::time_point at;
    std::string text;
    uint64_t bytesSoFar;  // both ways, up to and including this line
    Clock::time_point lastToHost;  // when the handset's last bytes before it reached the host
  };
  std::vector<Line> Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  // The first line that begins with prefix, from index from on; nullptr when none.
  const Line* Find(const std::vector<Line>& lines, std::string_view prefix, size_t from = 0) const {
    for (size_t i = from; i < lines.size(); ++i)
      if (lines[i].text.compare(0, prefix.size(), prefix) == 0) return &lines[i];
    return nullptr;
  }
  uint64_t Bytes() const { return toHost_ + fromHost_; }
  uint64_t ToHost() const { return toHost_; }
  uint64_t FromHost() const { return fromHost_; }
  uint64_t HashToHost() const { return hashTo_; }
  uint64_t HashFromHost() const { return hashFrom_; }
  // Keeps the bytes each way, for WriteWire.
  void Keep() { keep_ = true; }
  void WriteWire(const std::string& prefix) const {
    qvtest::WriteFile(prefix + ".to-host", keptTo_);
    qvtest::WriteFile(prefix + ".from-host", keptFrom_);
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Line> lines_;
  std::atomic<uint64_t> toHost_{0}, fromHost_{0};
  Clock::time_point lastToHost_{};
  uint64_t hashTo_ = kFnvStart, hashFrom_ = kFnvStart;
  bool keep_ = false;
  std::string keptTo_, keptFrom_;
};

// QV_BENCH_WIRE=PREFIX writes the bytes each way to PREFIX.<setting>.to-host
// and .from-host, to compare the dialogues of two builds.
const char* WirePrefix() { return std::getenv("QV_BENCH_WIRE"); }

// The session dialog as the recording view of the kit, and when it first
// showed a count.
class BenchView : public qvtest::RecordingView {
 public:
  using RecordingView::RecordingView;
  void SetProgressMax(int n) override {
    if (n > 0) Counted();
    RecordingView::SetProgressMax(n);
  }
  // No override keyword: the bench also builds against sessions whose view
  // shows no listing.
  void ShowListing(int pages, int mails) {
    if (mails > 0) Counted();
    progress.push_back("listed " + std::to_string(mails) + " on " + std::to_string(pages) + " pages");
  }
  Clock::time_point firstCount{};

 private:
  void Counted() {
    if (firstCount == Clock::time_point{}) firstCount = Clock::now();
  }
};

// One session in a fresh launcher folder with its own simulated handset, and
// nothing asked of the user: the 30-second dialog and the selective list are
// counted as failures.
class Bench {
 public:
  Bench() : launcher_(tmp_ / "app") {
    qv::IniFile(tmp_ / "app" / "Quorvel.ini").WriteString("Port", "Baudrate", std::to_string(kBaud));
    view_.onContinue = [this] {
      ++asked_;
      return qv::ContinueAnswer::Disconnect;
    };
  }
  bool Start(handsetsim::SimConfig config) {
    std::string error;
    if (!launcher_.StartHandset(std::move(config), 1, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return false;
    }
    record_.Attach(launcher_.Sim());
    if (WirePrefix()) record_.Keep();
    return true;
  }
  qv::SessionResult Run(qv::SessionMode mode) {
    qv::SessionContext context{launcher_.link, launcher_.host, view_, launcher_.events, launcher_.keeper,
                               {.receiveAll = true}};
    started_ = Clock::now();
    const qv::SessionResult result = qv::RunSessionOfMode(context, mode);
    ended_ = Clock::now();
    launcher_.Sim().Stop();
    return result;
  }

  handsetsim::Simulator& sim() { return launcher_.Sim(); }
  const LineRecord& line() const { return record_; }
  const BenchView& view() const { return view_; }
  // The user was asked something, or told of a failure.
  bool Bothered() const {
    if (asked_ > 0) return true;
    for (const auto& report : launcher_.host.reports)
      if (!report.empty() && report[0] != 'I') return true;
    return false;
  }
  uint64_t EventDigest() const {
    uint64_t hash = kFnvStart;
    for (const auto& e : launcher_.inbox.Seen()) hash = Fnv(hash, std::string(e) + ";");
    return hash;
  }
  size_t EventCount() const { return launcher_.inbox.Seen().size(); }
  double Elapsed() const { return Seconds(ended_ - started_); }
  Clock::time_point Started() const { return started_; }
  std::filesystem::path MailDir() const { return launcher_.Dir() / "MailLog"; }

 private:
  qvtest::TempDir tmp_;
  qvtest::HeadlessLauncher launcher_;
  BenchView view_{launcher_.inbox, launcher_.events};
  LineRecord record_;
  int asked_ = 0;
  Clock::time_point started_, ended_;
};

void PrintDigests(const Bench& b, const std::string& setting) {
  if (WirePrefix()) b.line().WriteWire(std::string(WirePrefix()) + "." + setting);
  std::printf("  digests: to host %016llx (%llu bytes), from host %016llx (%llu bytes), events %016llx (%zu)\n",
              static_cast<unsigned long long>(b.line().HashToHost()), static_cast<unsigned long long>(b.line().ToHost()),
              static_cast<unsigned long long>(b.line().HashFromHost()),
              static_cast<unsigned long long>(b.line().FromHost()), static_cast<unsigned long long>(b.EventDigest()),
              b.EventCount());
}

std::string TwoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

// A centre with count mails whose body sizes come from sizeOf.
handsetsim::SimConfig Mailbox(int count, const std::function<size_t(std::mt19937&)>& sizeOf) {
  std::mt19937 random(20240301);
  handsetsim::SimConfig c;
  c.pace = true;
  for (int i = 1; i <= count; ++i) {
    handsetsim::SimMail m{"M" + std::to_string(100000 + i), "from" + std::to_string(i) + "@example.jp",
                          Sjis("件名 ") + std::to_string(i),
                          "2024/" + TwoDigits(1 + i % 12) + "/" + TwoDigits(1 + i % 28) + " 10:00:00", ""};
    // Bodies that end with a whole line break are stored as they come.
    for (size_t size = sizeOf(random); !m.body.ends_with("\r\n"); ++size) m.body = handsetsim::MakeBody(m, size);
    c.mails.push_back(m);
  }
  return c;
}

// The texts of the folder's mails from row `from` on; false when a row
// before it does not read (the mails the folder held must stay whole).
bool MailsFrom(const std::string& folder, int from, std::vector<std::string>& texts) {
  qv::MailFolder f;
  if (!f.Open(folder, qvtest::QuickRetry())) return false;
  bool whole = f.Index().RowCount() >= from;
  std::string text;
  for (int r = 0; r < f.Index().RowCount(); ++r) {
    if (!qv::ReadMessageByIndex(f, r, text)) {
      whole = whole && r >= from;
      continue;
    }
    if (r >= from) texts.push_back(text);
  }
  return whole;
}

struct ReceiveFigures {
  bool ok = false;
  double ratio = 0;  // the session's time over the line-rate bound
  long peakKb = 0;
};

// Receives the centre's mails; with a folder given, into a copy of its
// "受信簿" of folderMails mails.
ReceiveFigures Receive(const char* name, handsetsim::SimConfig config, const std::filesystem::path& folder = {},
                       int folderMails = 0) {
  const int count = static_cast<int>(config.mails.size());
  std::vector<std::string> bodies;
  for (const auto& m : config.mails) bodies.push_back(m.body);
  Bench b;
  if (!folder.empty())
    for (const char* ext : {".qvm", ".qvs"})
      std::filesystem::copy_file(folder / (Sjis("受信簿") + ext), b.MailDir() / (Sjis("受信簿") + ext));
  if (!b.Start(std::move(config))) return {};
  const qv::SessionResult result = b.Run(qv::SessionMode::ReceiveMail);
  const double total = b.Elapsed();
  const long peakKb = PeakRssKb();

  // Every mail once: the folder's new texts are the centre's bodies, each
  // once, and the mails it held all still read.
  std::vector<std::string> stored;
  const bool kept = MailsFrom(Sjis("受信簿"), folderMails, stored);
  std::sort(stored.begin(), stored.end());
  std::sort(bodies.begin(), bodies.end());
  const bool once = stored == bodies && kept;

  const auto lines = b.line().Lines();
  const auto* listFirst = b.line().Find(lines, "centre <- GETLIST");
  const auto* getFirst = b.line().Find(lines, "centre <- GET[");
  const auto* close = b.line().Find(lines, "centre <- SOCKET_25_DISCONNECTION");
  int pages = 0;
  for (const auto& l : lines) pages += l.text.compare(0, 17, "centre <- GETLIST") == 0;
  const double bound = static_cast<double>(b.line().Bytes()) * kSecondsPerByte;
  uint64_t payload = 0;
  for (const auto& body : bodies) payload += body.size();
  std::printf("%s: %d mails, %.2f MB of mail%s: %s, %zu stored%s\n", name, count, static_cast<double>(payload) / 1e6,
              folderMails > 0 ? (" into a folder of " + std::to_string(folderMails) + " mails").c_str() : "",
              result == qv::SessionResult::Done ? "done" : "NOT DONE", stored.size(),
              once ? ", each once" : "  [STORED MAILS DIFFER FROM THE CENTRE'S]");
  std::printf("  whole session %.1f s; its %llu bytes need %.1f s at the line rate: %.2fx\n", total,
              static_cast<unsigned long long>(b.line().Bytes()), bound, total / bound);
  if (listFirst && getFirst) {
    const double list = Seconds(getFirst->at - listFirst->at);
    const double listBound = static_cast<double>(getFirst->bytesSoFar - listFirst->bytesSoFar) * kSecondsPerByte;
    std::printf("  list phase %.2f s for %d pages (%.3f s a page); its bytes need %.2f s: %.2fx\n", list, pages,
                list / pages, listBound, list / listBound);
    if (b.view().firstCount != Clock::time_point{})
      std::printf("  a count is first shown %.2f s after the list was asked for\n",
                  Seconds(b.view().firstCount - listFirst->at));
  }
  if (getFirst && close) {
    const double fetch = Seconds(close->at - getFirst->at);
    const double fetchBound = static_cast<double>(close->bytesSoFar - getFirst->bytesSoFar) * kSecondsPerByte;
    std::printf("  fetch phase %.1f s (%.3f s a mail); its bytes need %.1f s: %.2fx\n", fetch, fetch / count,
                fetchBound, fetch / fetchBound);
    // From the last byte of one mail reaching the host to the next request
    // reaching the centre (the request's own line time included).
    double turn = 0, worst = 0;
    int turns = 0;
    for (const auto& l : lines)
      if (&l > getFirst && l.text.compare(0, 14, "centre <- GET[") == 0) {
        const double t = Seconds(l.at - l.lastToHost);
        turn += t;
        worst = std::max(worst, t);
        ++turns;
      }
    if (turns > 0)
      std::printf("  from a mail's last byte to the next request %.1f ms on average, %.1f ms at most\n",
                  1000 * turn / turns, 1000 * worst);
    std::printf("  connecting %.1f s, closing %.1f s\n", Seconds(listFirst ? listFirst->at - b.Started() : Clock::duration()),
                total - Seconds(close->at - b.Started()));
  }
  PrintDigests(b, name);
  std::printf("  peak memory of the process %ld MB\n", peakKb / 1024);
  std::fflush(stdout);
  return {once && result == qv::SessionResult::Done && !b.Bothered(), total / bound, peakKb};
}

// Runs work in a child process and hands back what it found; false when the
// child did not end by itself.
template <class T>
bool InChild(const std::function<T()>& work, T& out) {
  int pipefd[2];
  if (::pipe(pipefd) != 0) return false;
  std::fflush(stdout);
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::close(pipefd[0]);
    const T result = work();
    std::fflush(stdout);
    const bool sent = ::write(pipefd[1], &result, sizeof result) == static_cast<ssize_t>(sizeof result);
    ::_exit(sent ? 0 : 1);
  }
  ::close(pipefd[1]);
  const bool got = ::read(pipefd[0], &out, sizeof out) == static_cast<ssize_t>(sizeof out);
  ::close(pipefd[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A "受信簿" of mails small received mails in dir.
bool FillFolder(const std::filesystem::path& dir, int mails) {
  std::mt19937 random(20240303);
  qv::MailFolder f;
  if (!f.OpenIn(dir, Sjis("受信簿"), qvtest::QuickRetry())) return false;
  std::string id;
  for (int i = 0; i < mails; ++i) {
    std::string text = "From: old" + std::to_string(i) + "@example.jp\r\nSubject: " + Sjis("古いメール ") +
                       std::to_string(i) + "\r\n\r\n";
    const size_t size = std::uniform_int_distribution<size_t>(200, 600)(random);
    while (text.size() < size) text += "The quick brown fox jumps over the lazy dog.\r\n";
    qv::MailIndexRow row;
    qv::BuildIndexRow(row, 3, 0, 0, 0, 0, 0, 0, "old" + std::to_string(i) + "@example.jp", "me@example.jp",
                      Sjis("古いメール ") + std::to_string(i), "2023/01/02 03:04:05", "");
    if (!qv::AppendMessage(f, text, row, id)) return false;
  }
  return f.SaveIndex();
}

handsetsim::SimConfig SmallMails(int count) {
  return Mailbox(count, [](std::mt19937& r) { return std::uniform_int_distribution<size_t>(700, 1100)(r); });
}

// The mails the full folder holds: QV_BENCH_FOLDER_MAILS, else 100,000 (2,000
// in the smoke setting).
int g_folderMails = 100000;

bool ReceiveIntoFullFolder(int count) {
  const char* env = std::getenv("QV_BENCH_FOLDER_MAILS");
  const int folderMails = env && *env ? std::atoi(env) : g_folderMails;
  qvtest::TempDir folder;
  bool filled = false;
  // Written by a process of its own, so that neither run's memory holds it.
  if (!InChild<bool>([&] { return FillFolder(folder.path(), folderMails); }, filled) || !filled) {
    std::fprintf(stderr, "the folder of %d mails could not be written\n", folderMails);
    return false;
  }
  ReceiveFigures empty, full;
  const bool ran = InChild<ReceiveFigures>([&] { return Receive("full: empty folder", SmallMails(count)); }, empty) &&
                   InChild<ReceiveFigures>(
                       [&] { return Receive("full: full folder", SmallMails(count), folder.path(), folderMails); }, full);
  if (!ran) return false;
  std::printf("full: %d mails into %d mails: %.2fx the line-rate bound (into an empty folder %.2fx); peak memory %ld MB, "
              "%.2f of the empty folder's %ld MB\n",
              count, folderMails, full.ratio, empty.ratio, full.peakKb / 1024,
              static_cast<double>(full.peakKb) / static_cast<double>(std::max(1L, empty.peakKb)), empty.peakKb / 1024);
  std::fflush(stdout);
  return empty.ok && full.ok;
}

bool Send(int count) {
  std::mt19937 random(20240302);
  std::vector<std::string> texts;
  for (int i = 1; i <= count; ++i) {
    const size_t size = std::uniform_int_distribution<size_t>(300, 3000)(random);
    std::string text = "To: friend" + std::to_string(i) + "@example.jp\r\nSubject: " + Sjis("送信 ") +
                       std::to_string(i) + "\r\n\r\n";
    const std::string filler = Sjis("今日は晴れ。") + "The quick brown fox jumps over the lazy dog.";
    while (text.size() + filler.size() + 2 < size) text += filler + "\r\n";
    texts.push_back(text);
  }
  Bench b;
  for (const auto& text : texts) {
    qv::MailIndexRow row;
    qv::BuildIndexRow(row, 3, 0, 1, 0, 1, 1, 0, "07012345678", qv::GetHeaderValue(text, "To"),
                      qv::GetHeaderValue(text, "Subject"), "", "");
    if (qvtest::AppendMail(Sjis("送信予約"), text, row).empty()) return false;
  }
  handsetsim::SimConfig config;
  config.pace = true;
  if (!b.Start(config)) return false;
  const qv::SessionResult result = b.Run(qv::SessionMode::SendQueue);

  const auto record = b.sim().Record();
  std::vector<std::string> sent;
  for (const auto& mail : qvtest::ReadLiveMails(Sjis("送信簿"))) sent.push_back(mail.text);
  const bool once = record.accepted == texts && sent == texts && qvtest::ReadLiveMails(Sjis("送信予約")).empty();

  // Each mail from its "MAIL" line to the centre's taking its body.
  const auto lines = b.line().Lines();
  std::vector<Clock::time_point> starts, ends;
  for (const auto& l : lines) {
    if (l.text == "centre <- MAIL") starts.push_back(l.at);
    if (l.text.compare(0, 18, "centre <- mail of ") == 0) ends.push_back(l.at);
  }
  double prescribed = 0, writing = 0;
  uint64_t bytes = 0;
  for (const auto& text : texts) {
    prescribed += kPacePause * static_cast<double>((text.size() + kPaceEvery - 1) / kPaceEvery);
    bytes += text.size();
  }
  const bool timed = starts.size() == texts.size() && ends.size() == texts.size();
  std::printf("send: %d mails, %llu bytes of mail: %s%s\n", count, static_cast<unsigned long long>(bytes),
              result == qv::SessionResult::Done ? "done" : "NOT DONE",
              once ? ", each sent and kept once" : "  [SENT MAILS DIFFER FROM THE QUEUE]");
  if (timed) {
    for (size_t i = 0; i < starts.size(); ++i) writing += Seconds(ends[i] - starts[i]);
    const double phase = Seconds(ends.back() - starts.front());
    std::printf("  prescribed pacing %.2f s (20 ms every 100 bytes); sending %.2f s from the first mail to the last: "
                "%.3f of the pacing\n",
                prescribed, phase, prescribed / phase);
    std::printf("  while a mail is written %.3f of the pacing; %.3f s between mails\n", prescribed / writing,
                (phase - writing) / std::max<double>(1, static_cast<double>(count - 1)));
  }
  std::printf("  whole session %.1f s\n", b.Elapsed());
  PrintDigests(b, "send");
  std::fflush(stdout);
  return once && timed && result == qv::SessionResult::Done && !b.Bothered();
}

}  // namespace

int main(int argc, char** argv) {
  qvtest::InitTestProcess();
  std::map<std::string, int> settings;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "smoke") {
      settings = {{"small", 20}, {"mixed", 8}, {"send", 5}, {"full", 5}};
      g_folderMails = 2000;
    } else if ((a == "small" || a == "mixed" || a == "send" || a == "full") && i + 1 < argc) {
      settings[a] = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: session_bench [small N] [mixed N] [send N] [full N] | smoke\n");
      return 2;
    }
  }
  if (settings.empty()) settings = {{"small", 2000}, {"mixed", 500}, {"send", 100}, {"full", 200}};
  bool ok = true;
  if (settings.count("small")) ok &= Receive("small", SmallMails(settings["small"])).ok;
  if (settings.count("mixed"))
    ok &= Receive("mixed", Mailbox(settings["mixed"], [](std::mt19937& r) {
                    const double p = std::uniform_real_distribution<double>(0, 1)(r);
                    if (p < 0.6) return std::uniform_int_distribution<size_t>(500, 2000)(r);
                    if (p < 0.9) return std::uniform_int_distribution<size_t>(2000, 10000)(r);
                    return std::uniform_int_distribution<size_t>(10000, 40000)(r);
                  })).ok;
  if (settings.count("send")) ok &= Send(settings["send"]);
  if (settings.count("full")) ok &= ReceiveIntoFullFolder(settings["full"]);
  return ok ? 0 : 1;
}
