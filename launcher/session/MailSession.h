#pragma once
// The mail session of modes 0-3 and 5: the queued direct mails, one call
// each, then one e-mail session that sends the queued e-mails and lists,
// fetches and deletes mail at the centre. It is driven by the module's events.
#include "core/data/MailStore.h"
#include "launcher/session/Session.h"

#include <deque>
#include <string>
#include <vector>

namespace qv {

class MailSession {
 public:
  MailSession(SessionContext& context, bool send, bool receive, bool autoReceive, bool directOnly)
      : c_(context), send_(send), receive_(receive), auto_(autoReceive), directOnly_(directOnly) {}

  SessionResult Run();

 private:
  // Opens every folder the session stores into before any call; one that
  // cannot take mail is told, and nothing starts (false).
  bool OpenFolders();
  void Transfer();
  bool LoadText(int row, std::string& text) const;
  void DirectMailPhase();
  void EMailPhase();
  bool OnEMailEvent(const SerialEvent& event);
  void GiveNextMail();
  void AfterDrain();
  void ListPage();
  void EndOfListing();
  void MailFetched();
  void Act();
  // Whether the step acts when the module is ready for a command.
  bool StepActs() const;
  // A request goes out: what came before it is done with.
  void Requested();
  // Events both phases take alike: the bytes of the current mail sent
  // (3, n) and the module's failures (9, n) and (10, n). True when taken.
  bool SharedEvent(const SerialEvent& event);
  // After an abort (or the 30-second dialog's no) the session ends at once.
  void PollEnded(PollEnd end);
  // Marks the queued row sent at when, its copy in "送信簿".
  void MarkSent(int row, const std::string& text, const std::string& when);
  // Marks the mails the centre accepted that are not marked yet.
  void RecordAccepted();
  bool AnyPending() const;

  SessionContext& c_;
  const bool send_, receive_, auto_, directOnly_;
  SessionResult result_ = SessionResult::Done;
  bool endNow_ = false;  // abort or the 30-second dialog ended the session
  MailFolder queue_;
  int sent_ = 0;
  long long size_ = 0;
  long long lastBytes_ = 0;

  // E-mail phase.
  std::deque<int> sendList_;
  std::string sending_;  // the text handed over for the first row of sendList_
  struct Accepted {
    int row;
    std::string text, when;
  };
  std::vector<Accepted> accepted_;  // accepted by the centre, not marked yet
  int sentEMails_ = 0;
  std::string buffer_;
  bool dataComplete_ = false, ready_ = false, noMore_ = false;
  int step_ = 0;
  int listStart_ = 1;
  int pagesRead_ = 0;  // of the listing under way
  std::vector<std::string> collected_;
  std::deque<std::string> pending_;
  bool deleteMode_ = false;
  int handled_ = 0;
  bool anyMailLine_ = false;
  bool nothingAtCentre_ = false;
};

}  // namespace qv
