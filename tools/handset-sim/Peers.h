#pragma once
// The far ends of the calls other than e-mail: the sign-up centre, and the
// other handset that calls in with a direct mail.
#include "Centre.h"

namespace handsetsim {

// The sign-up centre: each request (a MAIL body) is taken with OK; at TURN
// the centre answers with its page; after the module's OK it hands the turn
// back, or closes instead once its pages are done.
class SignupCentre final : public CentreBase {
 public:
  SignupCentre(CallLine& line, SimState& state);

 private:
  void OnLine(const std::string& line) override;
  void OnBody(std::string body) override;

  std::string lastRequest_;
  int pages_ = 0;
  bool pageSent_ = false;
};

// The far end of an incoming direct mail: its connection line after CONNECT
// (the step Connect of its faults), the mail once the module is READY (Get),
// its close line after the module's OK (Close).
class DirectMailCaller final : public CentreBase {
 public:
  DirectMailCaller(CallLine& line, SimState& state, IncomingCall call);
  void OnConnected() override;

 private:
  void OnLine(const std::string& line) override;
  IncomingCall call_;
};

}  // namespace handsetsim
