#pragma once
// Shared launcher types: the session dialog's mode and result and the
// ring-wait state.
#include <cstdint>

namespace qv {

enum class SessionMode : uint8_t {
  SendQueue = 0,
  ReceiveMail = 1,
  AutoReceiveMail = 2,
  SendAndReceive = 3,
  AcceptDirectMail = 4,
  SendDirectMailOnly = 5,
  ReadHandsetInfo = 8,
  WriteHandsetInfo = 9,
};

enum class SessionResult : int { Done = 1, NothingDone = 2, Aborted = 3 };

enum class RingWaitState : uint8_t { Stopped = 0, Waiting = 1, Stopping = 2, Starting = 3 };

}  // namespace qv
