// CPort over the simulated line with a raw peer that sends exact bytes:
// PortReadLine's byte rules and failures, the paced body, the port set-up.
#include "Clock.h"
#include "Codes.h"
#include "LineServer.h"
#include "Port.h"
#include "TestSupport.h"

#include "platform/Handles.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;
using namespace std::string_literals;
using portvine::CPort;
using portvine::CStatus;

namespace {

// The far end: records what the host sends, sends what the test asks.
class RawPeer final : public handsetsim::LineHandler {
 public:
  void OnData(std::string_view bytes) override {
    std::lock_guard lock(mutex_);
    received_.append(bytes);
    changed_.notify_all();
  }
  std::string Received() {
    std::lock_guard lock(mutex_);
    return received_;
  }
  bool WaitReceived(size_t n) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 10s, [&] { return received_.size() >= n; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string received_;
};

std::vector<std::pair<int32_t, int32_t>>** Sink() {
  static std::vector<std::pair<int32_t, int32_t>>* sink = nullptr;
  return &sink;
}

struct PortFixture : ::testing::Test {
  qvtest::TempDir dir;
  RawPeer peer;
  handsetsim::LineServer line;
  qv::Event abort{qv::Event::Mode::AutoReset};
  qv::Event flow{qv::Event::Mode::ManualReset, true};
  CStatus status;
  CPort port{status, abort, flow};

  void SetUp() override {
    portvine::clock::SetRate(20);
    ::setenv("QUORVEL_PORTS", dir.path().c_str(), 1);
    std::string error;
    ASSERT_TRUE(line.Start(dir / "COM7", &peer, &error)) << error;
    SetLines(0x30);
    ASSERT_TRUE(port.PortSetup("\\\\.\\COM7", 115200));
    ASSERT_TRUE(port.PortOpen());
    EXPECT_EQ(port.Error(), 90000);
  }
  void TearDown() override {
    port.PortClose();
    line.Stop();
    portvine::clock::SetRate(1);
  }
  void Send(const std::string& bytes) {
    line.Post([this, bytes] { line.SendData(bytes); });
  }
  void SetLines(uint8_t status) {
    line.Post([this, status] { line.SetStatus(status); });
  }
  // Until the host has seen the lines.
  void SetLinesSeen(uint8_t status) {
    SetLines(status);
    for (int i = 0; i < 2000 && port.ModemStatus() != status; ++i) std::this_thread::sleep_for(1ms);
    ASSERT_EQ(port.ModemStatus(), status);
  }
  struct Read {
    bool ok;
    std::string bytes;
  };
  // Every read ends within a minute of the module's clock (3 s at its rate
  // here) unless the test armed a deadline of its own: a read that would wait
  // for good fails the test at once instead.
  static constexpr int32_t kFixtureDeadline = 70099;
  Read ReadLine(int32_t room) {
    std::vector<char> buf(static_cast<size_t>(room) + 16, '#');
    int32_t size = room;
    const bool guarded = !status.TimerArmed();
    if (guarded) port.TimerSet(60, kFixtureDeadline);
    bool ok = port.PortReadLine(buf.data(), size);
    if (guarded) {
      EXPECT_NE(port.Error(), kFixtureDeadline) << "the read did not end by itself";
      port.TimerClear();
    }
    // Nothing is written past the room.
    for (size_t i = static_cast<size_t>(room); i < buf.size(); ++i) EXPECT_EQ(buf[i], '#') << i;
    return {ok, std::string(buf.data(), static_cast<size_t>(std::max(size, 0)))};
  }
};

TEST_F(PortFixture, ReadLineKeepsLinesAndDropsStrayBytes) {
  struct {
    std::string wire;
    std::vector<std::string> pieces;
  } table[] = {
      {"OK\r\n", {"OK\r\n"}},
      {"A\rB\n", {"AB\n"}},                  // a lone CR inside a line goes
      {"\0\0\0OK\0"s, {"OK\0"s}},            // leading NULs are skipped
      {"ab\r\0"s, {"ab\0"s}},                // a NUL takes the CR's place
      {"\r\r\n", {"\r\n"}},
      {"a\tb\n", {"a\tb\n"}},                // TAB is text
      {"ab\x01" "cd\n", {"ab\x01", "cd\n"}},  // other control bytes end a piece
      {"\x82\xa0\x82\xa2\r\n", {"\x82", "\xa0", "\x82", "\xa2", "\r\n"}},  // so does every byte from 0x80
      {"one\ntwo\n", {"one\n", "two\n"}},
  };
  for (const auto& row : table) {
    Send(row.wire);
    for (const auto& piece : row.pieces) {
      Read r = ReadLine(256);
      EXPECT_TRUE(r.ok) << row.wire;
      EXPECT_EQ(r.bytes, piece) << row.wire;
    }
  }
}

TEST_F(PortFixture, ReadLineStopsEightBytesShortOfItsRoom) {
  Send("x\n");
  Read r = ReadLine(10);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.bytes, "x\n");
  Send("xy\n");
  r = ReadLine(10);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.bytes, "xy");
  EXPECT_EQ(port.Error(), 80203);
  port.Purge();
  // A room of 8 or less leaves no room at all: refused at once.
  for (int32_t room : {8, 1, 0, -5}) {
    Read small = ReadLine(std::max(room, 0));
    EXPECT_FALSE(small.ok);
    EXPECT_TRUE(small.bytes.empty());
    EXPECT_EQ(port.Error(), 80203);
  }
  // A 10 KB line into a 256-byte reply area.
  Send(std::string(10240, 'L') + "\n");
  r = ReadLine(256);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.bytes.size(), 248u);
  EXPECT_EQ(port.Error(), 80203);
}

TEST_F(PortFixture, ReadLineEndsAtDeadlineAbortCarrierAndLostHandset) {
  port.TimerSet(2, 70001);
  Read r = ReadLine(256);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(port.Error(), 70001);
  EXPECT_EQ(status.Result(), portvine::kDeadline);

  for (auto [reason, code] : {std::pair{10, 80202}, std::pair{1130, 1130}}) {
    port.SetAbortReason(reason);
    abort.Set();
    r = ReadLine(256);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(port.Error(), code);
  }

  // Online, a silent line without carrier is a lost call.
  Send("x\npar");
  EXPECT_EQ(ReadLine(256).bytes, "x\n");
  port.SetOnline(1);
  r = ReadLine(256);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.bytes, "par");
  EXPECT_EQ(port.Error(), 21280);
  port.SetOnline(0);

  line.Post([this] { line.DropHost(); });
  r = ReadLine(256);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(port.Error(), 90030);
  EXPECT_EQ(port.ModemStatus(), -1);
  EXPECT_EQ(port.PortCarrier(), 0);
}

TEST_F(PortFixture, NoProgressDeadlinePausesTheReaderUntilResumed) {
  std::vector<int32_t> events;
  std::mutex m;
  qv::HWND32 w = qv::RegisterWindow([&](uint32_t, uintptr_t type, intptr_t code) {
    std::lock_guard lock(m);
    events.push_back(static_cast<int32_t>(type) * 100000 + static_cast<int32_t>(code));
  });
  status.window.store(w);
  port.TimerSet(2, 70002);  // the code makes it the no-progress deadline, not its length
  std::thread resume([&] {
    for (;;) {
      {
        std::lock_guard lock(m);
        if (!events.empty()) break;
      }
      std::this_thread::sleep_for(5ms);
    }
    Send("late\n");
    status.TimerSet(60, 70002);
    flow.Set();
  });
  Read r = ReadLine(256);
  resume.join();
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.bytes, "late\n");
  EXPECT_EQ(events, std::vector<int32_t>{7 * 100000 + 70002});
  qv::UnregisterWindow(w);
}

TEST_F(PortFixture, BodyGoesAByteAWriteWithProgressAndItsEndLine) {
  std::vector<std::pair<int32_t, int32_t>> events;
  status.SetCallback([](int32_t kind, const void* data) {
    if (kind == 1) {
      auto* p = static_cast<const int32_t*>(data);
      (*Sink())->emplace_back(p[0], p[1]);
    }
  });
  *Sink() = &events;
  SetLinesSeen(0xB0);  // carrier up
  std::string body(250, 'b');
  ASSERT_TRUE(port.PortStoreBody(body.data(), 250));
  ASSERT_TRUE(port.PortSendBody());
  ASSERT_TRUE(peer.WaitReceived(253));
  EXPECT_EQ(peer.Received(), body + ".\r\n");
  EXPECT_EQ(events, (std::vector<std::pair<int32_t, int32_t>>{{3, 0}, {3, 250}}));

  // The carrier gone: the send stops with 21280.
  events.clear();
  SetLinesSeen(0x30);
  EXPECT_FALSE(port.PortSendBody());
  EXPECT_EQ(port.Error(), 21280);
  status.SetCallback(nullptr);
}

TEST(BodyPace, APauseEndsAPauseAfterThePreviousOneAndNeverCatchesUp) {
  struct {
    int64_t previousEnd, now, end;
  } table[] = {
      {0, 1000, 1020},     // the first pause, after the first byte
      {1020, 1021, 1040},  // the group took 1 ms: the pause makes up the rest
      {1020, 1039, 1040},
      {1020, 1040, 1060},  // the group took the whole pause: a whole one more
      {1020, 1500, 1520},  // after a stall the groups do not bunch up
  };
  for (const auto& row : table)
    EXPECT_EQ(portvine::PaceEnd(row.previousEnd, row.now, 20), row.end) << row.previousEnd << " " << row.now;
}

TEST_F(PortFixture, StoppedBodyIsEndedForTheCentreAnd80202Recorded) {
  SetLinesSeen(0xB0);
  std::string body(5000, 'c');
  ASSERT_TRUE(port.PortStoreBody(body.data(), static_cast<int32_t>(body.size())));
  std::thread stop([&] {
    peer.WaitReceived(300);
    port.SetAbortReason(10);
    abort.Set();
  });
  EXPECT_FALSE(port.PortSendBody());
  stop.join();
  EXPECT_EQ(port.Error(), 80202);
  std::string got = peer.Received();
  ASSERT_GE(got.size(), 5u);
  EXPECT_LT(got.size(), body.size());
  EXPECT_EQ(got.substr(got.size() - 5), "\r\n.\r\n");
}

TEST_F(PortFixture, StoredBodyOutlivesItsReplacement) {
  ASSERT_TRUE(port.PortStoreBody("first", 5));
  auto held = port.StoredBody();
  ASSERT_TRUE(port.PortStoreBody("second", 6));
  EXPECT_EQ(*held, "first");
  EXPECT_EQ(*port.StoredBody(), "second");
  EXPECT_FALSE(port.PortStoreBody("x", 0));
  EXPECT_EQ(port.Error(), 90033);
  EXPECT_EQ(port.StoredBody(), nullptr);  // the previous body is released
  EXPECT_FALSE(port.PortStoreBody(nullptr, 5));
}

TEST(PortSetup, ShortNamesAreRefusedAndTheOldNameKept) {
  qv::Event abort{qv::Event::Mode::AutoReset}, flow{qv::Event::Mode::ManualReset, true};
  CStatus status;
  CPort port(status, abort, flow);
  EXPECT_EQ(port.Error(), 0);
  EXPECT_TRUE(port.PortSetup("COM3", 9600));
  EXPECT_EQ(port.Error(), 90000);
  EXPECT_FALSE(port.PortSetup("C3", 9600));
  EXPECT_EQ(port.Error(), 90001);
  EXPECT_EQ(port.Name(), "COM3");
  // No such port anywhere.
  qvtest::TempDir dir;
  ::setenv("QUORVEL_PORTS", dir.path().c_str(), 1);
  EXPECT_TRUE(port.PortSetup("\\\\.\\COM250", 9600));
  EXPECT_FALSE(port.PortOpen());
  EXPECT_EQ(port.Error(), 90003);
  EXPECT_FALSE(port.IsOpen());
}

}  // namespace
