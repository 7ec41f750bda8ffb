#pragma once
// What every far end of a call shares: the centre line protocol's framing
// (NUL-ended lines, bodies ended by a ".\r\n" line), answers that the
// scripted faults may change, and the answer a Hold fault keeps back.
#include "Handset.h"

#include <string>
#include <string_view>

namespace handsetsim {

// A protocol line on the wire: the text and its NUL.
std::string ProtocolLine(const std::string& text);
// A body as it goes on the wire, ending with a line break and ".\r\n".
std::string Framed(std::string body);
// The text between the brackets of "NAME[...]", or nullopt.
std::optional<std::string> Bracketed(const std::string& line, const std::string& name);
// "SOCKET_25_DISCONNECTION[nnnn]" with its NUL.
std::string CloseLine(long code);

class CentreBase : public CallPeer {
 public:
  CentreBase(CallLine& line, SimState& state) : line_(line), state_(state) {}
  void OnData(std::string_view bytes) final;
  void ReleaseHeld() final;

 protected:
  virtual void OnLine(const std::string& line) = 0;
  virtual void OnBody(std::string body) { (void)body; }
  // After "MAIL" the next bytes are a body.
  void ExpectBody() { inBody_ = true; }
  // Sends the answer of a step, or what the step's fault makes of it.
  void Answer(Step step, const std::string& bytes);
  // Faults that act after an answer has gone (READY).
  void AfterAnswer(Step step);
  void Apply(const Fault& fault, const std::string& bytes, bool afterAnswer);

  CallLine& line_;
  SimState& state_;

 private:

  std::string in_;
  bool inBody_ = false;
  std::string held_;
};

}  // namespace handsetsim
