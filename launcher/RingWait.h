#pragma once
// Ring-wait: the launcher waits for incoming calls through the serial-link
// module's ring-wait session. Its four states (Stopped, Starting, Waiting,
// Stopping), the pause around every other session, and the automatic e-mail
// receive that an e-mail notice asks for.
#include "launcher/session/SerialLink.h"
#include "launcher/session/SessionTypes.h"

#include <functional>
#include <string>
#include <string_view>

namespace qv {

// A pause that only paces what the user sees (the 4 s after a direct mail,
// the 3 s before an automatic receive, the 1 s after ring-wait stops); tests
// make them pass rate times faster.
void PacingPause(int ms, bool processMessages);
void SetPauseRate(int rate);

class RingWait {
 public:
  // What ring-wait shows and asks of the launcher window.
  class Window {
   public:
    // The indicator of the state.
    virtual void ShowRingWaitIndicator(RingWaitState state) = 0;
    // kwxInitial before ring-wait starts.
    virtual void InitSerialModule(bool useAutoNumber) = 0;
    // The status line; empty restores its idle caption.
    virtual void SetStatus(std::string_view text) = 0;

   protected:
    ~Window() = default;
  };

  RingWait(SerialLink& link, Window& window) : link_(link), window_(window) {}

  RingWaitState State() const { return state_; }
  // Takes the state and shows it.
  void Show(RingWaitState state);

  // Only from Stopped: Starting until the module reports it armed.
  void Start();
  // A module error while Starting: true when ring-wait starts once more
  // instead, as soon as the failed session has ended (a call that rings in
  // while the module prepares the handset spoils the preparation); false
  // when it is to stop.
  bool RetryStart(int32_t code);
  // Nothing when Stopped; else disconnects, waits for the module to become
  // idle and pauses a second unless noPause (at exit).
  void Stop(bool noPause);
  // While Starting or Stopping: polls with an hourglass.
  void WaitTransition();
  // Waits out a transition, stops ring-wait while run runs and starts it
  // again if it was waiting.
  void PauseAround(const std::function<void()>& run);
  // (1, 9): armed; changes only Starting.
  void Armed();
  // (8, 21): the module ended ring-wait by itself (the handset went away),
  // or a start to retry has ended.
  void EndedByModule();

  // The automatic e-mail receive after an e-mail notice: the number to dial,
  // how many tries are left (0: without limit) and minutes between them.
  const std::string& AutoReceiveNumber() const { return autoNumber_; }
  int AutoReceiveCount() const { return autoCount_; }
  int AutoReceiveInterval() const { return autoInterval_; }
  // An e-mail notice's text "notifier:number:count:interval". False when it
  // schedules nothing; mismatch is set when the notifier is not the
  // configured [PhoneNo] EMailAutoPhoneNo.
  bool TakeEMailNotice(std::string notice, bool& mismatch, std::string& notifier);
  // A failed automatic receive: true when the tries are used up.
  bool AutoReceiveFailed() { return --autoCount_ == 0; }
  // An error that is not a time-out cancels a pending automatic receive.
  void CancelAutoReceive() { autoCount_ = 0; }

 private:
  void Begin();

  SerialLink& link_;
  Window& window_;
  RingWaitState state_ = RingWaitState::Stopped;
  bool retried_ = false;         // this start was retried
  bool restartPending_ = false;  // starts again when the failed session ends
  std::string autoNumber_;
  int autoCount_ = 0;
  int autoInterval_ = 0;
};

}  // namespace qv
