#pragma once
// The simulated handset and the operator's centres behind its calls.
//
// The handset answers the AT dialogue on the simulated line with its modem
// lines (CTS and DSR while powered, DCD while a call is up, a DTR drop hangs
// up). A dialled call of a service with a centre is connected to that centre;
// the mail centre speaks the centre line protocol over a scriptable mailbox.
// Faults can be asked for at named steps. Everything runs on the line's
// thread; the methods here may be called from any thread.
#include "LineServer.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace handsetsim {

// One mail waiting at the centre. Texts are CP932 bytes as they go on the wire.
struct SimMail {
  std::string id;
  std::string sender;
  std::string subject;
  std::string date = "2024/01/01 00:00:00";
  std::string body;
};

// Where a fault strikes: the handset's dial, or the centre's step.
enum class Step {
  Dial,     // the ATDX command
  Connect,  // the connection line has come in (the answer is READY)
  Ready,    // READY has gone out (for actions after an answer)
  Mail,     // a mail body has come in (the answer is OK)
  List,     // GETLIST (the answer is MAILLIST and the list, or NO_MORE)
  Get,      // GET (the answer is MAIL and the body, or NO_MORE)
  Purge,    // PURGE (the answer is OK or NO_MORE)
  Close,    // the host's close line has come in (the sign-up centre: Silent keeps the call up)
  Page,     // sign-up: TURN has come in (the answer is MAIL and the page)
  Info,     // information mode: a line has come in (the answer is the handset's)
};

enum class Action {
  Drop,       // drop the carrier instead of answering
  DropAfter,  // answer, then drop the carrier (arg: delay in ms, default 100)
  Cut,        // send the first half of the answer, then drop the carrier
  Silent,     // never answer; the carrier stays up
  Hold,       // keep the answer until ReleaseHeld()
  Stall,      // send the first half of the answer, keep the rest until ReleaseHeld()
  Garbage,    // answer with random bytes (arg: how many, default 64)
  LongLine,   // answer with one printable line of arg bytes (default 10240)
  CloseCode,  // answer with the centre's close line with code arg, then drop the carrier
  OutOfTurn,  // answer with a line that does not belong there ("TURN")
  NoCarrier,  // dial only: the call is not connected
  Unplug,     // the cable is pulled instead of answering: the host's connection goes
  LateCarrier,  // dial only: DCD comes up arg ms after CONNECT (default 150), as a USB
                // serial adapter that reports the modem lines apart from the data may
};

struct Fault {
  Step step = Step::Get;
  Action action = Action::Drop;
  int occurrence = 1;  // strikes at the n-th time the step comes
  long arg = -1;
};

// What rings: the handset's ring report, then what the kind of call brings.
enum class CallKind {
  DirectMail,  // "KmailDX=": the call connects and the far end sends a direct mail
  LightMail,   // "Breezemail=": the handset keeps the text, the call ends
  EMailNotice, // "E-mail_AUTORCV": the handset keeps the notice, the call ends
  Other,       // no third line: the call ends
};

struct IncomingCall {
  CallKind kind = CallKind::DirectMail;
  int protocol = 3;               // the digit after "PROTOCOL="
  std::string protocolLine;       // sent as it stands instead, when set
  std::string callerId = "09012345678";  // after "ID="
  int numberValue = 0;            // the digit after "KmailDX=" or "Breezemail="
  std::string thirdLine;          // sent as it stands instead of the kind's, when set
  bool connect = true;            // direct mail: CONNECT, else NO CARRIER
  std::string body = "Hello by direct mail\r\n";
  long closeCode = 0;             // the far end's close code after the module's OK
  std::string text;               // the light-mail text or the e-mail notice
  int carrierLateMs = 0;          // direct mail: DCD comes up this long after CONNECT
};

// A call that comes while the host is still talking to the handset: it rings
// when the handset is given the command (the text after "AT", as
// SimRecord::atCommands has it), which then gets no answer, as the handset is
// busy with the call. The first times the command comes.
struct CommandRing {
  std::string command;
  IncomingCall call;
  int times = 1;
};

// The information store: per category, each line's data as the write line
// carried it.
using InfoStore = std::map<int, std::vector<std::string>>;

struct SimConfig {
  bool powered = true;  // CTS and DSR come up when the host opens the port
  bool pace = false;    // the line paced to the host's line speed, both ways
  std::string ownNumber = "07012345678";
  std::string i9Text = "0";
  // The answer to ATI9 after information mode's preparation (echo off and
  // the settings in one command); empty: i9Text. Sign-up wants an answer
  // beginning with "0", information mode one beginning with "1" or "3".
  std::string i9InfoText;
  std::string i3Text = "PHS-SIM 1.0";
  bool p1Supported = true;   // "#P1" answers OK, else ERROR
  bool q2Supported = true;   // "#Q2" answers the own number, else ERROR (then "I6" does)
  std::vector<SimMail> mails;
  std::vector<Fault> faults;
  // A list page holds at most this many bytes; longer lists end "continue".
  size_t listPageBytes = 2048;
  // When set, the next GETLIST is answered with this list text as it stands.
  std::optional<std::string> rawList;
  // Handset registers the ring wait reads: the e-mail notice ("S240?", "0"
  // is none) and a light mail it holds ("#R" counts it, "S211?" reads it).
  std::string emailNotice = "0";
  std::string lightMail;
  // The sign-up centre answers request n with page n (the last one again
  // past the end; none: a page that repeats the request). After closeAfter
  // pages (0: never) it closes with closeCode instead of handing the turn back.
  std::vector<std::string> signupPages;
  int signupCloseAfter = 0;
  long signupCloseCode = 0;
  // The ring indicator line (RING in the modem status) stays on this long at
  // each ring; 0: the ring is told by its report lines only.
  int ringIndicatorMs = 0;
  // The information store: lines per category, at most infoCapacity each.
  InfoStore info;
  size_t infoCapacity = 200;
  // Calls that ring at a command (each as CommandRing says).
  std::vector<CommandRing> commandRings;
  // When set, the centre's deletions outlast the simulator: the ids deleted
  // are appended to this file, one a line, and mails listed there are gone
  // at the next start, as at a real centre.
  std::string purgedFile;
  // Answers given to a command (the text after "AT") as they stand, in place
  // of the handset's own; an empty one: the command gets no answer.
  std::map<std::string, std::string> atAnswers;
  // The count a category's count line gives, as it stands, in place of the
  // number of records it holds (a damaged handset's).
  std::map<int, std::string> infoCountText;
};

// What the simulator saw, for tests and the log.
struct SimRecord {
  int connections = 0;  // hosts that opened the port
  int refused = 0;      // hosts turned away while another had it open
  bool hostConnected = false;
  bool callUp = false;
  uint8_t hostLines = 0;
  uint32_t hostSpeed = 0;
  std::vector<std::string> atCommands;   // command lines after "AT"
  std::vector<std::string> dialled;      // numbers after "ATDX"
  std::vector<std::string> centreLines;  // protocol lines the centre received (without NUL)
  std::vector<std::string> accepted;     // mail bodies the centre accepted
  std::vector<std::string> purged;       // ids deleted at the centre
  std::vector<std::string> closeCodes;   // codes of the host's close lines
  int callsEnded = 0;
  std::vector<std::string> signupRequests;  // request bodies the sign-up centre took
  int rings = 0;                            // incoming calls reported to the host
  int ringsSettled = 0;                     // of them, those connected or over (the handset takes the next)
  std::vector<std::string> callerLines;     // protocol lines the far end of an incoming call received
  bool infoMode = false;
  std::vector<std::string> infoLines;       // lines received in information mode (without CR LF)
  std::vector<Step> steps;                  // every step the dialogue came to, in order
};

class Simulator {
 public:
  explicit Simulator(SimConfig config = {});
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  bool Start(const std::filesystem::path& socket, std::string* error = nullptr);
  void Stop();

  // Scripting while running.
  void AddMail(SimMail mail);
  void AddFault(Fault fault);
  void SetRawList(std::string text);
  void SetPowered(bool on);
  // Sends the answer a Hold fault kept back.
  void ReleaseHeld();
  // The far end hangs up.
  void DropCarrier();
  // An incoming call, reported at once if the host has the port and no call
  // is up (else nobody hears it); the record counts the rings reported.
  void Ring(IncomingCall call);
  // The information store as it stands.
  InfoStore Info() const;
  // The cable is pulled: the host's connection goes (the next open finds the
  // handset again).
  void Unplug();
  // Every dialogue line, for a log; called on the line's thread.
  void SetLog(std::function<void(const std::string&)> log);
  // Every data byte as it crosses the line (see LineServer::SetWireTap),
  // called on the line's thread from the line's next round on: set it before
  // the host opens the port.
  void SetWireTap(LineServer::WireTap tap);

  SimRecord Record() const;
  // Waits until pred holds for the record, at most timeout.
  bool WaitUntil(const std::function<bool(const SimRecord&)>& pred, std::chrono::milliseconds timeout) const;
  std::vector<SimMail> Mailbox() const;

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Reads a mailbox script (UTF-8 text, turned into CP932 for the wire) into
// config. Lines, fields separated by TAB, "#" starts a comment:
//   mail  ID  SENDER  SUBJECT  [DATE]  [SIZE]   a waiting mail (body made to SIZE bytes)
//   body  TEXT                                 a body line of the last mail (CR LF added)
//   fault STEP  ACTION  [ARG]  [OCCURRENCE]
//   info  CATEGORY  DATA                        a line of the information store
//   own-number NUMBER | i9 TEXT | i9-info TEXT | no-lines | pace | no-p1
bool LoadScript(const std::filesystem::path& file, SimConfig& config, std::string* error);
// One "STEP:ACTION[:ARG[:OCCURRENCE]]" fault, as the program's --fault takes it.
bool ParseFault(const std::string& text, Fault& fault, std::string* error);
// One "KIND[:ID[:TEXT]]" call, as the program's --ring takes it (KIND one of
// direct-mail, light-mail, email-notice, other; TEXT the direct mail's body
// line, the light-mail text or the notice).
bool ParseRing(const std::string& text, IncomingCall& call, std::string* error);
// A body of exactly size bytes with mail headers, for a mail given only a size.
std::string MakeBody(const SimMail& mail, size_t size);
// A centre with count mails "ID1".."IDn" from from<n>@example.jp, subject
// "subject <n>", received 2024/03/0<n>, each body size bytes.
SimConfig MakeMailbox(int count, size_t size);

}  // namespace handsetsim
