#pragma once
// The operator's mail centre behind an e-mail call: the centre side of the line
// protocol (connection and READY, MAIL bodies answered with OK, GETLIST, GET,
// PURGE, the close line) over the simulator's mailbox, with the faults asked for.
#include "Handset.h"

namespace handsetsim {

class MailCentre final : public CallPeer {
 public:
  MailCentre(CallLine& line, SimState& state);
  void OnData(std::string_view bytes) override;
  void ReleaseHeld() override;

 private:
  void OnLine(const std::string& line);
  void OnBody(std::string body);
  // Sends the answer of a step, or what the step's fault makes of it.
  void Answer(Step step, const std::string& bytes);
  // Faults that act after an answer has gone (READY).
  void AfterAnswer(Step step);
  void Apply(const Fault& fault, const std::string& bytes, bool afterAnswer);
  std::string ListPage(size_t first, bool& none);

  CallLine& line_;
  SimState& state_;
  std::string in_;
  bool inBody_ = false;
  std::string held_;
};

}  // namespace handsetsim
