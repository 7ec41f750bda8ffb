#pragma once
// The sessions of the session dialog without the dialog: what a session runs
// with (the bound module, the launcher, the dialog as a small view, the queue
// of the module's events and the store of received and sent mail), the poll
// that every session shares, and the session of each mode.
#include "core/data/MailStore.h"
#include "launcher/session/SerialEvent.h"
#include "launcher/session/SerialLink.h"
#include "launcher/session/SessionTypes.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

class MailKeeper;

// The answers of the 30-second dialog.
enum class ContinueAnswer : int { Continue = 1, Disconnect = 2, NoAnswer = 3 };
// The answers of the selective receive list.
enum class SelectAnswer : int { Receive = 1, End = 2, Delete = 3 };

// What a session shows and asks through the session dialog.
class SessionView {
 public:
  // The progress message.
  virtual void ShowStatus(const std::string& text) = 0;
  // The peer's number, or the data kind's caption; empty clears it.
  virtual void ShowNumber(const std::string& text) = 0;
  // While the centre's list is read: the pages read and the mails listed so far.
  virtual void ShowListing(int pages, int mails) = 0;
  // The count of mails or records: n <= 0 hides it; i of the maximum, the
  // bar one short while the i-th is still pending.
  virtual void SetProgressMax(int n) = 0;
  virtual void SetProgress(int i, bool pending) = 0;
  // Bytes transferred; 0 clears.
  virtual void SetSize(long long n) = 0;
  // The 30-second dialog after the module's (7, 70002).
  virtual ContinueAnswer AskContinue() = 0;
  // The selective receive list over the centre's list lines; chosen gets the
  // selected lines in list order.
  virtual SelectAnswer ChooseMails(const std::vector<std::string>& lines, std::vector<std::string>& chosen) = 0;
  // Lets the window run between two polls: the launcher's event handler fills
  // the queue meanwhile, and the abort button may be pressed.
  virtual void ProcessMessages() = 0;
  virtual bool AbortRequested() const = 0;
  // The sleep of a poll: at most timeout, over as soon as the module has
  // posted more than seen messages. The dialog serves its windows meanwhile,
  // so that they paint and answer at once rather than at the next poll.
  virtual void WaitForModule(uint64_t seen, std::chrono::milliseconds timeout);

 protected:
  ~SessionView() = default;
};

// What a session asks of the launcher.
class SessionHost {
 public:
  // kwxInitial with the parameter block from the settings (with useAutoNumber
  // the centre an e-mail notice gave); the peer number is emptied.
  virtual void InitSerialModule(bool useAutoNumber) = 0;
  virtual const std::string& AutoReceiveNumber() const = 0;
  // The peer that error log lines name.
  virtual void SetPeerNumber(std::string number) = 0;
  // Reports a message id (I, W, D, E + five digits) or a free text; returns
  // the text it produced.
  virtual std::string ReportMessage(std::string_view idOrText, bool show) = 0;
  virtual void ShowNotice(const std::string& text, bool force) = 0;
  virtual void CloseNotice() = 0;
  virtual void PlaySentSound() = 0;
  virtual void StartBannerAnimation() = 0;
  virtual void StopBannerAnimation() = 0;

 protected:
  ~SessionHost() = default;
};

// The setters of the dialog before it is shown.
struct SessionOptions {
  bool autoDelete = false;
  bool receiveAll = false;
  int parameter = 0;  // the data kind of modes 8 and 9
};

struct SessionContext {
  SerialLink& link;
  SessionHost& host;
  SessionView& view;
  SerialEventQueue& events;
  MailKeeper& keeper;
  SessionOptions options;

  // Waits for a folder that a plug-in window holds keep the window alive.
  RetryPolicy FolderRetry() const;
};

// The poll shared by every session: sleep up to 100 ms (the sleep ends as
// soon as the module posts an event; the view serves its windows during it),
// let the window run, honour the abort
// button (kwxDisconnect(10)), then hand each queued event to handle until the
// queue is empty, then call eachPoll. Progress events (0, n) are shown here
// and not passed on. Ends when handle returns true (after that event), when
// eachPoll returns true, or on abort.
enum class PollEnd { Handled, Aborted };
PollEnd Poll(SessionContext& context, const std::function<bool(const SerialEvent&)>& handle,
             const std::function<bool()>& eachPoll = {});
// What a session asks after a drain: the next poll after the usual sleep, the
// next poll at once (a step is due that no event of the module will prompt),
// or the end.
enum class PollNext { Sleep, Now, End };
PollEnd Poll(SessionContext& context, const std::function<bool(const SerialEvent&)>& handle,
             const std::function<PollNext()>& afterDrain);

// The 30-second dialog, and what its answer asks of the module: go on, or
// disconnect (10, or 1130 when nobody answered).
ContinueAnswer ContinueOrDisconnect(SessionContext& context);

// The number an incoming direct mail comes from: the caller's, or "非通知"
// when the caller withheld it.
std::string IncomingCaller(SerialLink& link);

// The session of the mode, then the wait until the module is idle (not in
// mode 4, which runs inside ring-wait).
SessionResult RunSessionOfMode(SessionContext& context, SessionMode mode);

}  // namespace qv
