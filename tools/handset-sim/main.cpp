// handset-sim: the simulated handset and mail centre as a program.
#include "Simulator.h"

#include "platform/CommPort.h"
#include "platform/Cp932.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char kUsage[] = R"(Usage: handset-sim [options]
Plays a PHS handset, and the operator's mail and sign-up centres behind its
calls, on a simulated COM port, so that the serial-link module can send and
receive mail, sign up, wait for calls and use the handset's information store
without a phone. Runs until interrupted (Ctrl+C, SIGTERM).

Where it listens:
  --socket PATH          listen on this Unix socket
  --port COMn            listen at the port folder's entry for COMn:
                         $QUORVEL_PORTS/COMn when QUORVEL_PORTS is set, else
                         ports/COMn beside this program (default COM1)

The handset and the mailbox:
  --mailbox FILE         read a mailbox script (format below)
  --purged FILE          keep the centre's deletions in FILE: the ids deleted
                         are added to it, and mails it lists are not put at
                         the centre, so a mail deleted stays deleted in later
                         runs
  --mail ID,FROM,SUBJECT[,SIZE]
                         a mail waiting at the centre (repeatable); its body
                         is made up to SIZE bytes
  --own-number NUMBER    the handset's own number (default 07012345678)
  --i9 TEXT              the handset's answer to ATI9 (default 0); sign-up
                         needs one beginning with 0, information mode one
                         beginning with 1 or 3
  --i9-info TEXT         the answer to ATI9 after information mode's
                         preparation (echo off and the settings in one
                         command), so that one handset serves both
  --no-lines             never raise CTS and DSR (a handset that is off)
  --pace                 pace what the handset sends and takes in to the
                         port speed
  --info CATEGORY:DATA   a line in the handset's information store
                         (repeatable; DATA as the write line carries it)
  --signup-page TEXT     the sign-up centre's page for the next request
                         (repeatable; past the last one it is repeated)

Incoming calls, one on each SIGUSR2 in the order given (the last again):
  --ring KIND[:ID[:TEXT]]
    kinds:   direct-mail  the call connects and a direct mail of TEXT comes
             light-mail   the handset keeps the light mail TEXT
             email-notice the handset keeps the e-mail notice TEXT
             other        a call the module does not take
    ID is the caller's number (default 09012345678).

Faults (each strikes once, at the N-th time its step comes, default the first):
  --fault STEP:ACTION[:ARG[:N]]
    steps:   dial connect ready mail list get purge close page info
             (page: the sign-up centre's page; info: an information-mode
             answer)
    actions: drop         drop the carrier instead of answering
             drop-after   answer, then drop the carrier after ARG ms (100)
             cut          send half the answer, then drop the carrier
             silent       never answer
             hold         keep the answer until SIGUSR1
             stall        send half the answer, the rest at SIGUSR1
             garbage      answer with ARG random bytes (64)
             long-line    answer with one line of ARG bytes (10240)
             close        answer with the centre's close line, code ARG
             out-of-turn  answer with a line that does not belong there
             no-carrier   (dial) the call is not connected
             late-carrier (dial) DCD comes up ARG ms after CONNECT (150)
    "ready" acts after READY has gone out: drop drops the carrier ARG ms
    later, garbage, long-line, close and out-of-turn are said out of turn.

Other:
  -v, --verbose          print the dialogue on stderr
  --help                 this text

Mailbox script: UTF-8 text, one item a line, fields separated by TAB,
"#" starts a comment:
  mail<TAB>ID<TAB>SENDER<TAB>SUBJECT[<TAB>DATE[<TAB>SIZE]]
  body<TAB>TEXT          a body line for the mail above (CR LF added)
  fault<TAB>STEP<TAB>ACTION[<TAB>ARG[<TAB>N]]
  info<TAB>CATEGORY<TAB>DATA   a line of the information store
  own-number<TAB>NUMBER
  i9<TAB>TEXT
  i9-info<TAB>TEXT
  no-lines | pace

Example: handset-sim --port COM3 --mail A001,taro@example.jp,Hello,2000
then set the launcher's port to COM3.
)";

bool Split4(const std::string& text, std::vector<std::string>& parts) {
  parts.clear();
  size_t start = 0;
  for (;;) {
    size_t comma = text.find(',', start);
    parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return parts.size() >= 3 && parts.size() <= 4;
}

int Fail(const std::string& why) {
  std::cerr << "handset-sim: " << why << "\n(see handset-sim --help)\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  handsetsim::SimConfig config;
  std::filesystem::path socket;
  std::string port = "COM1";
  bool verbose = false;
  std::vector<handsetsim::IncomingCall> rings;
  size_t nextRing = 0;
  std::vector<std::string> args(argv + 1, argv + argc);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (a == "-v" || a == "--verbose") {
      verbose = true;
    } else if (a == "--socket") {
      if (!value(v)) return Fail("--socket needs a path");
      socket = v;
    } else if (a == "--port") {
      if (!value(port)) return Fail("--port needs a port name");
    } else if (a == "--mailbox") {
      std::string why;
      if (!value(v)) return Fail("--mailbox needs a file");
      if (!handsetsim::LoadScript(v, config, &why)) return Fail(why);
    } else if (a == "--purged") {
      if (!value(v)) return Fail("--purged needs a file");
      config.purgedFile = v;
    } else if (a == "--mail") {
      std::vector<std::string> f;
      if (!value(v) || !Split4(v, f)) return Fail("--mail needs ID,FROM,SUBJECT[,SIZE]");
      handsetsim::SimMail m;
      m.id = qv::cp932::FromUtf8(f[0]);
      m.sender = qv::cp932::FromUtf8(f[1]);
      m.subject = qv::cp932::FromUtf8(f[2]);
      long size = f.size() > 3 ? std::strtol(f[3].c_str(), nullptr, 10) : 0;
      m.body = handsetsim::MakeBody(m, size > 0 ? static_cast<size_t>(size) : 0);
      config.mails.push_back(m);
    } else if (a == "--own-number") {
      if (!value(config.ownNumber)) return Fail("--own-number needs a number");
    } else if (a == "--i9") {
      if (!value(config.i9Text)) return Fail("--i9 needs a text");
    } else if (a == "--i9-info") {
      if (!value(config.i9InfoText)) return Fail("--i9-info needs a text");
    } else if (a == "--no-lines") {
      config.powered = false;
    } else if (a == "--pace") {
      config.pace = true;
    } else if (a == "--info") {
      const size_t colon = value(v) ? v.find(':') : std::string::npos;
      if (colon == std::string::npos || colon == 0) return Fail("--info needs CATEGORY:DATA");
      config.info[std::atoi(v.substr(0, colon).c_str())].push_back(qv::cp932::FromUtf8(v.substr(colon + 1)));
    } else if (a == "--signup-page") {
      if (!value(v)) return Fail("--signup-page needs a text");
      config.signupPages.push_back(qv::cp932::FromUtf8(v) + "\r\n");
    } else if (a == "--ring") {
      handsetsim::IncomingCall call;
      std::string why;
      if (!value(v)) return Fail("--ring needs KIND[:ID[:TEXT]]");
      if (!handsetsim::ParseRing(qv::cp932::FromUtf8(v), call, &why)) return Fail(why);
      rings.push_back(call);
    } else if (a == "--fault") {
      handsetsim::Fault fault;
      std::string why;
      if (!value(v)) return Fail("--fault needs STEP:ACTION");
      if (!handsetsim::ParseFault(v, fault, &why)) return Fail(why);
      config.faults.push_back(fault);
    } else {
      return Fail("unknown option " + a);
    }
  }
  if (socket.empty()) {
    socket = qv::CommPortFolderEntry(port);
    if (socket.empty()) return Fail("not a COM port name: " + port);
  }

  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGUSR1);
  sigaddset(&signals, SIGUSR2);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  handsetsim::Simulator sim(config);
  if (verbose) sim.SetLog([](const std::string& line) { std::cerr << "handset-sim: " << line << "\n"; });
  std::string error;
  if (!sim.Start(socket, &error)) return Fail(error);
  std::cerr << "handset-sim: listening on " << socket.string() << "\n";
  for (;;) {
    int sig = 0;
    sigwait(&signals, &sig);
    if (sig == SIGUSR1) {
      sim.ReleaseHeld();
      continue;
    }
    if (sig == SIGUSR2) {
      if (!rings.empty()) sim.Ring(rings[std::min(nextRing++, rings.size() - 1)]);
      continue;
    }
    break;
  }
  sim.Stop();
  auto record = sim.Record();
  std::cerr << "handset-sim: " << record.connections << " connection(s), " << record.accepted.size()
            << " mail(s) accepted, " << record.purged.size() << " purged\n";
  return 0;
}
