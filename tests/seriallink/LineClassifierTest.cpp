// The line classifiers: modem result lines, protocol lines, and ClassifyLine
// that tells them apart by their terminator.
#include "LineSplitter.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;
using portvine::ClassifyModemResult;
using portvine::ClassifyProtocolLine;
using portvine::LineSplitter;

namespace {

int32_t Classify(LineSplitter& s, const std::string& line, size_t* used = nullptr) {
  s.LineSplitterSetBuffer(line.data(), line.size());
  const char* next = nullptr;
  int32_t code = s.ClassifyLine(line.data(), line.size(), &next);
  if (used) *used = next ? static_cast<size_t>(next - line.data()) : 0;
  return code;
}

TEST(ModemResult, FirstBytesDecideInTheirOrder) {
  struct {
    std::string line;
    int32_t code;
  } table[] = {
      {"\r\n", 0},
      {"\n", 0},
      {"OK\r\n", 1},
      {"OKAY\r\n", 1},  // only the two letters count
      {"CONNECT\r\n", 2},
      {"CONNECT 64000\r\n", 2},
      {"RING\r\n", 3},
      {"NO CARRIER\r\n", 4},
      {"NO CARRIER HERE\r\n", 4},
      {"ERROR\r\n", 5},
      {"BUSY\r\n", 6},
      {"DELAYED\r\n", 7},
      {"PAGING CONFIG 0:0\r\n", 8},
      {"PAGING CONFIG 1:1\r\n", 8},
      {"PAGING CONFIG 0:1\r\n", 9},
      {"PAGING CONFIG 1:0\r\n", 49},
      {"07012345678\r\n", 49},
      {"O\r\n", 49},
      {"NO\r\n", 49},
  };
  for (const auto& row : table) EXPECT_EQ(ClassifyModemResult(row.line.data(), row.line.size()), row.code) << row.line;
}

TEST(ProtocolLine, LinesOfTheCentreProtocol) {
  struct {
    std::string line;  // with its NUL
    int32_t offset;
    int32_t connectionError = 0;
  } table[] = {
      {"\0"s, 0},
      {"MAIL\0"s, 2},
      {"TURN\0"s, 3},
      {"OK\0"s, 4},
      {"SOCKET_25_CONNECTION[1 SMAIL]\0"s, 5},
      {"READY[1 SMAIL]\0"s, 10},
      {"READY[1 SEND]\0"s, 11},
      {"READY[1 RECEIVE]\0"s, 12},
      {"READY[1 XCHNG]\0"s, 13},
      {"READY[1 SIGNUP]\0"s, 14},
      {"READY[1 SENDING-ANYTHING]\0"s, 49},  // 26 bytes: too long for a READY
      {"READY[1 SE]\0"s, 11},                 // only the five bytes after READY decide
      {"READY[1 SExyz\0"s, 11},
      {"READY\0"s, 49},
      {"READY[2 SEND]\0"s, 49},
      {"MAILLIST\0"s, 15},
      {"NO_MORE\0"s, 16},
      {"MAILS\0"s, 49},
      {"OKAY\0"s, 49},
      {"SOCKET_26_CONNECTION[1 SMAIL]\0"s, 48, 20650},
      {"SOCKET_25_CONNECTION[2 SMAIL]\0"s, 48, 20660},
      {"SOCKET_25_CONNECTION[1 SEND]\0"s, 48, 20800},
      {"SOCKET_25_CONNECTION\0"s, 48, 20660},  // no tag at all: byte 21 lies past the line
      {"SOCKET_25_DISCONNECTION[0000]\0"s, 1},
      {"SOCKET_25_DISCONNECTION\0"s, 1},
      {"SOMETHING ELSE ENTIRELY LONG\0"s, 49},
  };
  for (const auto& row : table) {
    int32_t far = 9999, well = 1, conn = 0;
    EXPECT_EQ(ClassifyProtocolLine(row.line.data(), row.line.size(), far, well, conn), row.offset) << row.line;
    EXPECT_EQ(conn, row.connectionError) << row.line;
  }
}

TEST(ProtocolLine, CloseLineCarriesItsCodeOnlyWhenWellFormed) {
  struct {
    std::string line;
    int32_t wellFormed;
    int32_t code;
  } table[] = {
      {"SOCKET_25_DISCONNECTION[0009]\0"s, 1, 9},
      {"SOCKET_25_DISCONNECTION[0123]\0"s, 1, 123},
      {"SOCKET_25_DISCONNECTION[9998]\0"s, 1, 9998},
      {"SOCKET_25_DISCONNECTION[01A3]\0"s, 0, 9999},
      {"SOCKET_25_DISCONNECTION(0123)\0"s, 0, 9999},
      {"SOCKET_25_DISCONNECTION[012]\0"s, 0, 9999},
      {"SOCKET_25_DISCONNECTION\0"s, 0, 9999},
  };
  for (const auto& row : table) {
    LineSplitter s;
    EXPECT_EQ(Classify(s, row.line), 51) << row.line;
    EXPECT_EQ(s.LineSplitterHasCode(), row.wellFormed) << row.line;
    EXPECT_EQ(s.FarEndCode(), row.code) << row.line;
  }
}

TEST(ClassifyLine, TerminatorTellsModemFromProtocolLines) {
  struct {
    std::string buffer;
    int32_t code;
    size_t used;
  } table[] = {
      {"OK\0"s, 54, 3},
      {"OK\r\n"s, 1, 4},
      {"OK\rX"s, 1, 3},
      {"OK\n"s, 1, 3},
      {"\r\nOK\r\n"s, 0, 2},
      {"\0MAIL\0"s, 50, 1},
      {"MAIL\0TURN\0"s, 52, 5},
      {"READY[1 SEND]\0"s, 61, 14},
      {"SOCKET_25_CONNECTION[1 SEND]\0"s, 98, 29},
      {"garbage without an end"s, 0, 0},
      {""s, 0, 0},
  };
  for (const auto& row : table) {
    LineSplitter s;
    size_t used = 0;
    EXPECT_EQ(Classify(s, row.buffer, &used), row.code) << row.buffer;
    EXPECT_EQ(used, row.used) << row.buffer;
  }
}

TEST(ClassifyLine, BufferOutsideTheAreaIsRefusedAndCodesReset) {
  LineSplitter s;
  const std::string area = "SOCKET_25_DISCONNECTION[0042]\0"s;
  const std::string other = "OK\0"s;
  EXPECT_FALSE(s.LineSplitterSetBuffer(nullptr, 10));
  EXPECT_EQ(s.ClassifyLine(other.data(), other.size()), 0);  // no area yet
  ASSERT_TRUE(s.LineSplitterSetBuffer(area.data(), area.size()));
  EXPECT_FALSE(s.LineSplitterSetBuffer(nullptr, 10));  // the area stays
  EXPECT_EQ(s.ClassifyLine(other.data(), other.size()), 0);
  EXPECT_EQ(s.ClassifyLine(area.data(), area.size()), 51);
  EXPECT_EQ(s.FarEndCode(), 42);
  // A length past the area is cut at its end.
  EXPECT_EQ(s.ClassifyLine(area.data() + 24, 1000), 49 + 50);
  // Every classification starts from "no code".
  EXPECT_EQ(s.FarEndCode(), 9999);
  EXPECT_EQ(s.LineSplitterHasCode(), 1);
}

}  // namespace
