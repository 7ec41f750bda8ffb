#pragma once
// The reception of a direct mail that rang in during ring-wait (mode 4): the
// module reads it while the session fetches its pieces, and the mail is
// stored in "受信簿" from the caller.
#include "launcher/session/Session.h"

#include <string>

namespace qv {

class DirectMailReception {
 public:
  // caller: the number the dialog shows, which the mail is stored from.
  DirectMailReception(SessionContext& context, std::string caller) : c_(context), caller_(std::move(caller)) {}

  SessionResult Run();

 private:
  void TakePiece();
  void Store();

  SessionContext& c_;
  const std::string caller_;
  SessionResult result_ = SessionResult::NothingDone;
  std::string buffer_;
  long long size_ = 0;
};

}  // namespace qv
