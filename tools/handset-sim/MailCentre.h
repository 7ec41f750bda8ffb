#pragma once
// The operator's mail centre behind an e-mail call (and the other handset
// behind an outgoing direct mail): the centre side of the line protocol
// (connection and READY, MAIL bodies answered with OK, GETLIST, GET, PURGE,
// the close line) over the simulator's mailbox, with the faults asked for.
#include "Centre.h"

namespace handsetsim {

class MailCentre final : public CentreBase {
 public:
  MailCentre(CallLine& line, SimState& state);

 private:
  void OnLine(const std::string& line) override;
  void OnBody(std::string body) override;
  std::string ListPage(size_t first, bool& none);
};

}  // namespace handsetsim
