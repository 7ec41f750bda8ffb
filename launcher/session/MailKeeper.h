#pragma once
// The store of the mail a session sends and receives. A received mail is
// acknowledged by the module before it is stored, so one that cannot be
// stored exists nowhere else: it is kept and stored again after the session.
#include "core/data/MailStore.h"

#include <string>
#include <vector>

namespace qv {

class SessionHost;

// The local time now as "yyyy/mm/dd hh:nn:ss", the date of stored mail.
std::string NowText();

class MailKeeper {
 public:
  // Stores a received mail in the folder; one that cannot be stored is
  // reported and kept: false then. An empty text (nothing, or a handset
  // sample the filter dropped) stores nothing.
  bool StoreReceived(SessionHost& host, const std::string& folder, const std::string& text,
                     const std::vector<std::string>& row, const RetryPolicy& retry);
  // Tries the kept mails again; those that still fail stay kept.
  void StoreKept(const RetryPolicy& retry);
  size_t KeptCount() const { return kept_.size(); }

  // Appends the copy of a sent mail to "送信簿"; false, reported, when it
  // cannot be stored.
  bool StoreSent(SessionHost& host, const std::string& text, const std::vector<std::string>& row,
                 const RetryPolicy& retry);

 private:
  struct KeptMail {
    std::string folder, text;
    std::vector<std::string> row;
  };
  std::vector<KeptMail> kept_;
};

}  // namespace qv
