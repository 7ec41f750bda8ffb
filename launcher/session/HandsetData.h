#pragma once
// The handset data sessions of modes 8 and 9: the handset's own records of a
// data kind (phone book, bookmarks, mail histories) read into the exchange
// file of the kind, or that file written to the handset, through the module's
// information mode. Each is driven by the module's events: one request to the
// handset per (1, 1), whose answer comes with the next (1, 1).
#include "launcher/session/Session.h"

#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The handset's answers as the sessions read them: the first line of what
// the module handed over, trimmed.
namespace handsetreply {
std::string FirstLine(std::string_view data);
// "<0b>" ... "<3b>": the handset refused or failed the request.
bool IsStatus(std::string_view reply);
// "<3:" ... "h>": no more records of the kind.
bool IsEndOfKind(std::string_view reply);
// No handset holds more records of a kind than this.
constexpr int kMostRecords = 9999;
// The record count of a count line "<F:kind:count/capacity>" (the third
// field up to its "/"); 0 when it holds none; kDamagedCount when the count
// is more than a handset can hold: above the capacity the line gives, above
// kMostRecords, or below 0.
constexpr int kDamagedCount = -1;
int Count(std::string_view reply);
// The frame line (hex) a data line "<1:" + two characters + wire form + "h>"
// carries; false unless it is a whole, well-formed frame line.
bool DataLine(std::string_view reply, std::string& hexLine);
}  // namespace handsetreply

// Reads the handset's records of a kind into the kind's exchange file. Only
// whole records are kept; an aborted read leaves the file as it was.
class HandsetDataRead {
 public:
  HandsetDataRead(SessionContext& context, int kind) : c_(context), kind_(kind) {}

  SessionResult Run();

 private:
  bool OnEvent(const SerialEvent& event);
  void TakeReply();
  void Request();
  // Adds a count line's count to the total; false (the read is to end) when
  // the line is damaged.
  bool AddCount(const std::string& reply);

  SessionContext& c_;
  const int kind_;
  SessionResult result_ = SessionResult::NothingDone;
  int step_ = 1;
  int total_ = 0;
  std::string damagedCount_;  // the count line that ended the read, if one did
  int records_ = 0;
  size_t complete_ = 0;  // lines of the whole records read so far
  std::vector<std::string> lines_;
  long long size_ = 0;
};

// Writes the kind's exchange file to the handset, which loses what it held of
// the kind first. The file is checked whole before the handset is touched.
class HandsetDataWrite {
 public:
  HandsetDataWrite(SessionContext& context, int kind) : c_(context), kind_(kind) {}

  SessionResult Run();

 private:
  // The file's lines and its number of records; false (told) when a line is
  // damaged or the last record has no end.
  bool LoadFile();
  bool OnEvent(const SerialEvent& event);
  void TakeReply();
  void Leave(SessionResult result);

  SessionContext& c_;
  const int kind_;
  SessionResult result_ = SessionResult::NothingDone;
  std::vector<std::string> lines_;
  int recordCount_ = 0;
  size_t next_ = 0;
  int sentRecords_ = 0;
  int phase_ = 1;         // 1 clear the kind, 2 write the lines, 3 leaving
  bool cleared_ = false;  // the handset was asked to drop what it held
  long long size_ = 0;
};

}  // namespace qv
