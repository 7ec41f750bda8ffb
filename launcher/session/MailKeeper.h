#pragma once
// The store of the mail a session sends and receives. The folders a session
// opens here stay open, their rows left on disk, until it lets go, so that
// storing a mail costs the same time and memory in a full folder as in an
// empty one; the mail windows read them again once the session has let go.
// A received mail is acknowledged by the module before it is stored, so one
// that cannot be stored exists nowhere else: it is kept and stored again
// after the session.
#include "core/data/MailStore.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qv {

class SessionHost;

// The local time now as "yyyy/mm/dd hh:nn:ss", the date of stored mail.
std::string NowText();

class MailKeeper {
 public:
  // Opens the folder for this session's mail unless it is open already, and
  // holds it; false when mail cannot be stored there (LastMailStoreError
  // tells why).
  bool OpenFolder(const std::string& folder, const RetryPolicy& retry);
  // Stores a mail in the folder (one not held is opened for this mail
  // alone); false when it could not be stored (LastMailStoreError tells why).
  bool Store(const std::string& folder, const std::string& text, const std::vector<std::string>& row,
             const RetryPolicy& retry);
  // Lets go of the open folders.
  void Release();

  // Stores a received mail in the folder; one that cannot be stored is
  // reported and kept: false then. An empty text (nothing, or a handset
  // sample the filter dropped) stores nothing.
  bool StoreReceived(SessionHost& host, const std::string& folder, const std::string& text,
                     const std::vector<std::string>& row, const RetryPolicy& retry);
  // After the session: tries the kept mails again (those that still fail
  // stay kept), then lets go of the folders.
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
  std::map<std::string, std::unique_ptr<MailFolder>> open_;
};

}  // namespace qv
