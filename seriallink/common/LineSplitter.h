#pragma once
// Classifying received lines: modem result lines (ended by CR or LF) and the
// centre's protocol lines (ended by NUL), into one set of line codes. The
// older sign-up module speaks a dialect of its own.
#include <cstddef>
#include <cstdint>

namespace seriallink {

enum class Dialect {
  Full,    // the full module
  Signup,  // the sign-up module: a connection line of another session is
           // 20490; no MAILLIST or NO_MORE; "PAGING CONFIG 1:1" is text
};

// Modem results (modem base 0) and protocol lines (line base 50).
enum LineCode : int32_t {
  kModemEmpty = 0,
  kModemOk = 1,
  kModemConnect = 2,
  kModemRing = 3,
  kModemNoCarrier = 4,
  kModemError = 5,
  kModemBusy = 6,
  kModemDelayed = 7,
  kModemPagingSame = 8,   // "PAGING CONFIG 0:0" or "1:1"
  kModemPagingMixed = 9,  // "PAGING CONFIG 0:1"
  kModemText = 49,
  kLineBase = 50,
  kLineEmpty = 50,
  kLineDisconnect = 51,
  kLineMail = 52,
  kLineTurn = 53,
  kLineOk = 54,
  kLineIncomingSMail = 55,
  kLineReadySMail = 60,
  kLineReadySend = 61,
  kLineReadyReceive = 62,
  kLineReadyExchange = 63,
  kLineReadySignup = 64,
  kLineMailList = 65,
  kLineNoMore = 66,
  kLineBadConnection = 98,
  kLineOther = 99,
};

// The modem result code of a line that ends with CR or LF (length counts the
// terminator); the first bytes decide.
int32_t ClassifyModemResult(const char* line, size_t length, Dialect dialect = Dialect::Full);

// The offset (0-16, 48, 49) of a protocol line of length L, its NUL included;
// the caller adds the line base.
int32_t ClassifyProtocolLine(const char* line, size_t length, int32_t& farEndCode, int32_t& wellFormed,
                             int32_t& connectionError, Dialect dialect = Dialect::Full);

class LineSplitter {
 public:
  explicit LineSplitter(Dialect dialect = Dialect::Full) : dialect_(dialect) {}
  // A null buffer is refused and leaves the splitter as it was.
  bool LineSplitterSetBuffer(const char* buffer, size_t length);
  // Classifies the first line of buffer, which must lie inside the area set;
  // next gets the position after its terminator. 0 when outside or when no
  // terminator lies within length.
  int32_t ClassifyLine(const char* buffer, size_t length, const char** next = nullptr);
  int32_t LineSplitterHasCode() const { return wellFormed_; }
  int32_t FarEndCode() const { return farEndCode_; }
  // The error a bad connection line (98) carries: 20650, 20660, 20800 (20490
  // in the sign-up dialect).
  int32_t ConnectionError() const { return connectionError_; }

 private:
  Dialect dialect_;
  const char* area_ = nullptr;
  size_t areaLength_ = 0;
  int32_t farEndCode_ = 9999;
  int32_t wellFormed_ = 1;
  int32_t connectionError_ = 0;
};

}  // namespace seriallink
