// Faults at every step of every session kind, over the simulated line: each
// kind first runs once without a fault, which gives the steps its dialogue
// comes to; then it runs again for each of those steps with each fault
// striking there. Whatever strikes, the module ends the session with its end
// events, the port is closed, no thread of the module is left, and no mail is
// lost or stored twice: the folders, the centre and the handset are read back.
// The module's clock runs 100 times faster, so a deadline that never comes
// passes in a fraction of a second.
#include "HandsetRecords.h"
#include "HeadlessSession.h"
#include "MailFolders.h"
#include "core/data/HandsetExchange.h"
#include "core/data/TextFunctions.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <thread>

namespace {

using namespace std::chrono_literals;
using handsetsim::Action;
using handsetsim::Step;
using qv::SessionMode;
using qv::SessionResult;
using qvtest::Sjis;
using Lines = std::vector<std::string>;

enum class Kind { Send, Receive, Exchange, DirectMail, Signup, RingWait, InfoRead, InfoWrite };

struct FaultKind {
  const char* name;
  Action action;
  long arg;
};
constexpr FaultKind kFaults[] = {
    {"CarrierDropped", Action::Drop, -1},  {"HandsetPulled", Action::Unplug, -1}, {"NoAnswer", Action::Silent, -1},
    {"GarbageLine", Action::Garbage, 64},  {"OverLongLine", Action::LongLine, 10240},
};

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::Send: return "EMailSend";
    case Kind::Receive: return "EMailReceive";
    case Kind::Exchange: return "EMailExchange";
    case Kind::DirectMail: return "DirectMail";
    case Kind::Signup: return "Signup";
    case Kind::RingWait: return "RingWaitAndIncomingMail";
    case Kind::InfoRead: return "InformationModeRead";
    case Kind::InfoWrite: return "InformationModeWrite";
  }
  return "?";
}

const char* StepName(Step step) {
  switch (step) {
    case Step::Dial: return "dial";
    case Step::Connect: return "connect";
    case Step::Ready: return "ready";
    case Step::Mail: return "mail";
    case Step::List: return "list";
    case Step::Get: return "get";
    case Step::Purge: return "purge";
    case Step::Close: return "close";
    case Step::Page: return "page";
    case Step::Info: return "info";
  }
  return "?";
}

// How much faster the module's clock runs (QV_FAULT_CLOCK_RATE).
int ClockRate() {
  const char* v = std::getenv("QV_FAULT_CLOCK_RATE");
  return v && *v ? std::atoi(v) : 100;
}

int ThreadCount() {
  int n = 0;
  for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) ++n;
  return n;
}

const std::string kQueue = Sjis("送信予約"), kSent = Sjis("送信簿"), kInbox = Sjis("受信簿");

Lines Texts(std::string_view folder) {
  Lines texts;
  for (const auto& mail : qvtest::ReadLiveMails(folder)) texts.push_back(mail.text);
  return texts;
}

size_t Count(const Lines& lines, const std::string& text) {
  return static_cast<size_t>(std::count(lines.begin(), lines.end(), text));
}

// One session of a kind in a launcher folder of its own, with the handset
// given the fault (or none).
class SessionRun {
 public:
  SessionRun(Kind kind, std::optional<handsetsim::Fault> fault) : kind_(kind) {
    handsetsim::SimConfig config = Config();
    if (fault) config.faults.push_back(*fault);
    // Nobody is at the 30-second dialog when a transfer stalls.
    launcher_.view.onContinue = [] { return qv::ContinueAnswer::NoAnswer; };
    std::string error;
    started_ = launcher_.StartHandset(std::move(config), ClockRate(), &error);
    EXPECT_TRUE(started_) << error;
  }

  // Runs the session and checks what every end must leave; the steps the
  // dialogue came to are recorded.
  void Go() {
    if (!started_) return;
    const int threads = ThreadCount();
    Prepare();
    const auto begin = std::chrono::steady_clock::now();
    Session();
    // The module's last word on the session: its worker has ended, and
    // before that either the final state's pair or the carrier's loss.
    const auto events = launcher_.inbox.Seen();
    ASSERT_FALSE(events.empty());
    const qv::SerialEvent last = events.back();
    EXPECT_EQ(last.kind, kwx::KWX_EV_SESSION_END) << Describe(events);
    EXPECT_EQ(last.code % 10, 1) << Describe(events);
    if (events.size() >= 3 && events[events.size() - 2].kind == kwx::KWX_EV_SESSION_END) {
      const int32_t k = last.code / 10;
      EXPECT_EQ(events[events.size() - 2].code, k * 10) << Describe(events);
      EXPECT_EQ(events[events.size() - 3], (qv::SerialEvent{kwx::KWX_EV_PROGRESS, k * 10 + 5})) << Describe(events);
    }
    EXPECT_TRUE(launcher_.link.WaitIdle(100)) << "the module is idle";
    EXPECT_TRUE(launcher_.Sim().WaitUntil([](const auto& r) { return !r.hostConnected; }, 10s)) << "the port is closed";
    // The module's worker is gone (the handset's own thread stays).
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (ThreadCount() > threads && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
    EXPECT_EQ(ThreadCount(), threads) << "a thread was left";
    CheckData();
    if (::testing::Test::HasFailure() || std::getenv("QV_FAULT_EVENTS")) std::fprintf(stderr, "events: %s\n", Describe(launcher_.inbox.Seen()).c_str());
    seconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  }

  // The steps the handset's side came to, each with the time it came.
  std::vector<std::pair<Step, int>> Steps() {
    std::vector<std::pair<Step, int>> steps;
    std::map<Step, int> seen;
    for (Step s : launcher_.Sim().Record().steps) steps.emplace_back(s, ++seen[s]);
    return steps;
  }
  SessionResult Result() const { return result_; }
  double Seconds() const { return seconds_; }

 private:
  static std::string Describe(const std::vector<qv::SerialEvent>& events) {
    std::string out;
    for (const auto& e : events) out += "(" + std::to_string(e.kind) + "," + std::to_string(e.code) + ")";
    return out;
  }

  handsetsim::SimConfig Config() {
    handsetsim::SimConfig c;
    switch (kind_) {
      case Kind::Receive:
      case Kind::Exchange:
        c = handsetsim::MakeMailbox(2, 300);
        break;
      case Kind::Signup:
        c.signupPages = {"PAGE one\r\n", Sjis("二頁目") + "\r\n"};
        c.signupCloseAfter = 2;
        break;
      case Kind::InfoRead:
        c.i9InfoText = "1";
        c.info[1] = qvtest::WireLines(qvtest::HandsetRecords(1, 3));
        break;
      case Kind::InfoWrite:
        c.i9InfoText = "1";
        c.info[1] = qvtest::WireLines(qvtest::HandsetRecords(1, 2, 10));
        before_ = c.info[1];
        break;
      default:
        break;
    }
    centre_ = c.mails;
    return c;
  }

  void Queue(int kind, const std::string& text) {
    qv::MailIndexRow row;
    qv::BuildIndexRow(row, kind, 0, 1, 0, 1, 1, 0, "07012345678", qv::GetHeaderValue(text, "To"),
                      qv::GetHeaderValue(text, "Subject"), "", "");
    ASSERT_FALSE(qvtest::AppendMail(kQueue, text, row).empty());
    queued_.push_back(text);
  }

  void Prepare() {
    switch (kind_) {
      case Kind::Send:
        Queue(3, "To: one@example.jp\r\nSubject: one\r\n\r\nfirst mail\r\n");
        Queue(3, "To: two@example.jp\r\nSubject: two\r\n\r\nsecond mail\r\n");
        break;
      case Kind::Exchange:
        Queue(3, "To: one@example.jp\r\nSubject: one\r\n\r\nfirst mail\r\n");
        break;
      case Kind::DirectMail:
        Queue(1, Sjis("To: 09011112222\r\nSubject: 直送\r\n\r\n今から帰ります\r\n"));
        break;
      case Kind::InfoWrite:
        written_ = qvtest::HandsetRecords(1, 3);
        ASSERT_TRUE(qv::HandsetExchangeFile::Write(qv::HandsetExchangeFile::PathFor(1), written_));
        break;
      default:
        break;
    }
  }

  void Session() {
    switch (kind_) {
      case Kind::Send: result_ = launcher_.Run(SessionMode::SendQueue); break;
      case Kind::Receive: result_ = launcher_.Run(SessionMode::ReceiveMail, {.autoDelete = true, .receiveAll = true}); break;
      case Kind::Exchange:
        result_ = launcher_.Run(SessionMode::SendAndReceive, {.autoDelete = true, .receiveAll = true});
        break;
      case Kind::DirectMail: result_ = launcher_.Run(SessionMode::SendDirectMailOnly); break;
      case Kind::InfoRead: result_ = launcher_.Run(SessionMode::ReadHandsetInfo, {.parameter = 1}); break;
      case Kind::InfoWrite: result_ = launcher_.Run(SessionMode::WriteHandsetInfo, {.parameter = 1}); break;
      case Kind::Signup: Signup(); break;
      case Kind::RingWait: RingWait(); break;
    }
  }

  // Hands the module's events, from the first, to fn until fn says enough;
  // returns how many events that took.
  size_t Drive(const std::function<bool(const qv::SerialEvent&)>& fn, std::chrono::seconds timeout = 30s) {
    size_t handled = 0;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      const auto events = launcher_.inbox.Seen();
      while (handled < events.size())
        if (fn(events[handled++])) return handled;
      std::this_thread::sleep_for(2ms);
    }
    ADD_FAILURE() << "the session did not end: " << Describe(launcher_.inbox.Seen());
    return handled;
  }
  static bool WorkerEnded(const qv::SerialEvent& e) {
    return e.kind == kwx::KWX_EV_SESSION_END && e.code % 10 == 1;
  }

  // The sign-up terminal's side: a request on every (1, 1), pages taken, the
// line given up when the far end falls silent.
  void Signup() {
    void* module = dlopen((launcher_.Dir() / "Portvine.so").c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_LOCAL);
    ASSERT_NE(module, nullptr);
    auto connect = reinterpret_cast<KwxVoidFn>(dlsym(module, "kwxConnectSignup"));
    auto send = reinterpret_cast<KwxDataFn>(dlsym(module, "kwxAsyncSendSignup"));
    dlclose(module);
    ASSERT_TRUE(connect && send);
    launcher_.host.InitSerialModule(false);
    ASSERT_EQ(connect(), 1);
    static const std::string request = "REQUEST\r\n";
    Drive([&](const qv::SerialEvent& e) {
      if (e.Is(kwx::KWX_EV_READY, 1)) send(request.data(), static_cast<int32_t>(request.size()));
      if (e.Is(kwx::KWX_EV_READY, 2) || e.Is(kwx::KWX_EV_READY, 4)) launcher_.link.GetBuffer();
      // Nobody is at the terminal's 30-second dialog; the call over, the line goes.
      if (e.kind == kwx::KWX_EV_NO_RESPONSE) launcher_.link.Disconnect(kwx::kDisconnectNoAnswer);
      if (e.Is(kwx::KWX_EV_SESSION_END, kwx::SessionOver(kwx::kKindSignup))) launcher_.link.Disconnect(static_cast<kwx::DisconnectReason>(0));
      return WorkerEnded(e);
    });
  }

  // The launcher's ring-wait: a direct mail rings in, the session layer takes
  // it, then ring-wait is stopped.
  void RingWait() {
    launcher_.host.InitSerialModule(false);
    ASSERT_TRUE(launcher_.link.WaitForRing());
    Drive([&](const qv::SerialEvent& e) { return e.Is(kwx::KWX_EV_READY, 9) || WorkerEnded(e); });
    handsetsim::IncomingCall call;
    call.body = incoming_;
    launcher_.Sim().Ring(call);
    bool arrived = false;
    const size_t upTo = Drive([&](const qv::SerialEvent& e) {
      arrived = e.Is(kwx::KWX_EV_INCOMING, kwx::kIncomingDirectMail);
      // A call that fails before its mail is told only by the reception's end.
      return arrived || e.Is(kwx::KWX_EV_READY, kwx::kReadyDirectMailDone) || WorkerEnded(e);
    });
    if (arrived) {
      // The session dialog hears what comes after the arrival.
      launcher_.inbox.DeliverTo(launcher_.events);
      for (size_t i = 0; i < upTo && !launcher_.events.Empty(); ++i) launcher_.events.Take();
      launcher_.Run(SessionMode::AcceptDirectMail);
    }
    // Ring-wait goes on after a call, whatever became of it; the user stops it.
    launcher_.link.Disconnect(kwx::kDisconnectStopRingWait);
    Drive([&](const qv::SerialEvent& e) {
      return e.Is(kwx::KWX_EV_SESSION_END, kwx::WorkerEnded(kwx::kKindRingWait));
    });
  }

  void CheckData() {
    const handsetsim::SimRecord r = launcher_.Sim().Record();
    const Lines accepted = r.accepted;
    switch (kind_) {
      case Kind::Send:
      case Kind::Exchange:
      case Kind::DirectMail: {
        const Lines queue = Texts(kQueue), sent = Texts(kSent);
        for (const std::string& mail : queued_) {
          EXPECT_EQ(Count(queue, mail) + Count(sent, mail), 1u) << "queued once, kept once: " << mail;
          if (Count(sent, mail)) {
            EXPECT_EQ(Count(accepted, mail), 1u) << "marked sent, so the centre has it";
          }
        }
        EXPECT_EQ(queue.size() + sent.size(), queued_.size());
        if (kind_ != Kind::Exchange) break;
        [[fallthrough]];
      }
      case Kind::Receive: {
        const Lines inbox = Texts(kInbox);
        std::map<std::string, std::string> bodies;
        for (const auto& mail : centre_) bodies[mail.id] = mail.body;
        std::set<std::string> still;
        for (const auto& mail : launcher_.Sim().Mailbox()) still.insert(mail.id);
        for (const auto& mail : centre_) {
          const size_t kept = Count(inbox, mail.body);
          EXPECT_LE(kept, 1u) << "stored twice: " << mail.id;
          if (!still.count(mail.id)) {
            EXPECT_EQ(kept, 1u) << "deleted at the centre, so it must be here: " << mail.id;
          }
        }
        for (const std::string& text : inbox) {
          const bool known = std::any_of(centre_.begin(), centre_.end(), [&](const auto& m) { return m.body == text; });
          EXPECT_TRUE(known) << "stored what no mail was: " << text.substr(0, 80);
        }
        break;
      }
      case Kind::RingWait: {
        // Stored with the caller's number in front.
        const std::string stored = "From: " + handsetsim::IncomingCall().callerId + "\r\n" + incoming_;
        const Lines inbox = Texts(kInbox);
        EXPECT_LE(Count(inbox, stored), 1u) << "stored twice";
        for (const std::string& text : inbox) EXPECT_EQ(text, stored) << "stored what no mail was";
        // The module told the caller it had the mail: it must be kept.
        if (std::count(r.callerLines.begin(), r.callerLines.end(), "OK") > 0) {
          EXPECT_EQ(Count(inbox, stored), 1u);
        }
        break;
      }
      case Kind::InfoRead: {
        Lines lines, records;
        if (!qv::HandsetExchangeFile::Read(qv::HandsetExchangeFile::PathFor(1), lines)) break;
        const Lines all = qvtest::HandsetRecords(1, 3);
        // Whole records only, each as the handset holds it.
        EXPECT_TRUE(lines.empty() || qv::ReadHandsetRecords(lines, records)) << "a record cut in two was kept";
        for (const std::string& line : lines) EXPECT_EQ(Count(all, line), 1u) << line;
        break;
      }
      case Kind::InfoWrite: {
        const auto store = launcher_.Sim().Info();
        const Lines wire = qvtest::WireLines(written_);
        if (!store.count(1)) break;
        // What the handset holds is what it held and what was written, each
        // record at most as often as it was there or written.
        for (const std::string& line : store.at(1)) {
          EXPECT_LE(Count(store.at(1), line), Count(wire, line) + Count(before_, line)) << line;
        }
        if (result_ == SessionResult::Done) {
          EXPECT_EQ(store.at(1), wire) << "a write told as done left the handset with other records";
        }
        break;
      }
      case Kind::Signup:
        break;
    }
  }

  Kind kind_;
  qvtest::TempDir tmp_;
  qvtest::HeadlessLauncher launcher_{tmp_.path() / "app"};
  bool started_ = false;
  std::vector<handsetsim::SimMail> centre_;
  Lines queued_, written_, before_;
  const std::string incoming_ = "Subject: ring\r\n\r\n" + Sjis("直送メールです") + "\r\n";
  SessionResult result_ = SessionResult::NothingDone;
  double seconds_ = 0;
};

struct Cell {
  Kind kind;
  size_t fault;
};

class FaultTable : public ::testing::TestWithParam<Cell> {};

TEST_P(FaultTable, EveryStepOfTheSessionSurvivesTheFault) {
  const Kind kind = GetParam().kind;
  const FaultKind& fault = kFaults[GetParam().fault];
  std::vector<std::pair<Step, int>> steps;
  {
    SCOPED_TRACE("without a fault");
    SessionRun clean(kind, std::nullopt);
    clean.Go();
    if (HasFatalFailure()) return;
    if (kind != Kind::RingWait && kind != Kind::Signup) {
      EXPECT_EQ(clean.Result(), SessionResult::Done);
    }
    steps = clean.Steps();
  }
  ASSERT_FALSE(steps.empty()) << "the dialogue came to no step";
  double longest = 0;
  for (const auto& [step, occurrence] : steps) {
    SCOPED_TRACE(std::string(StepName(step)) + " #" + std::to_string(occurrence) + ": " + fault.name);
    SessionRun faulty(kind, handsetsim::Fault{step, fault.action, occurrence, fault.arg});
    faulty.Go();
    longest = std::max(longest, faulty.Seconds());
    if (HasFatalFailure()) return;
  }
  RecordProperty("steps", static_cast<int>(steps.size()));
  RecordProperty("longest_run_ms", static_cast<int>(longest * 1000));
}

std::vector<Cell> AllCells() {
  std::vector<Cell> cells;
  for (Kind k : {Kind::Send, Kind::Receive, Kind::Exchange, Kind::DirectMail, Kind::Signup, Kind::RingWait,
                 Kind::InfoRead, Kind::InfoWrite})
    for (size_t f = 0; f < std::size(kFaults); ++f) cells.push_back({k, f});
  return cells;
}

INSTANTIATE_TEST_SUITE_P(SessionKinds, FaultTable, ::testing::ValuesIn(AllCells()),
                         [](const ::testing::TestParamInfo<Cell>& info) {
                           return std::string(KindName(info.param.kind)) + "_" + kFaults[info.param.fault].name;
                         });

}  // namespace
