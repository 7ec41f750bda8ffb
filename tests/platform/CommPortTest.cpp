// CommPort's termios back end on a pseudo-terminal pair (the data path; a pty
// has no modem lines), and port-name resolution through the port folder.
#include "TestSupport.h"
#include "platform/CommPort.h"
#include "platform/ComPortName.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

struct Pty : ::testing::Test {
  qvtest::TempDir dir;
  qvtest::PtyPair pty;
  int master = -1;
  void SetUp() override {
    ASSERT_TRUE(pty.Open());
    master = pty.master;
    ::setenv("QUORVEL_PORTS", dir.path().c_str(), 1);
    std::filesystem::create_symlink(pty.slave, dir / "COM9");
  }
  std::string DrainMaster() {
    std::string out;
    char buf[4096];
    for (int i = 0; i < 200; ++i) {
      ssize_t n = ::read(master, buf, sizeof buf);
      if (n > 0) out.append(buf, static_cast<size_t>(n));
      else if (!out.empty()) break;
      else std::this_thread::sleep_for(2ms);
    }
    return out;
  }
  static qv::CommTimeouts Immediate() {
    qv::CommTimeouts t;
    t.readInterval = qv::CommTimeouts::kMaxDword;
    t.writeMultiplier = 1;
    t.writeConstant = 500;
    return t;
  }
};

TEST_F(Pty, BytesGoBothWaysWithTheWorkingSettings) {
  qv::CommPort port;
  ASSERT_TRUE(port.Open("\\\\.\\COM9")) << port.LastError();
  qv::CommSettings s;
  ASSERT_TRUE(port.GetState(s));
  s.baudRate = 115200;
  s.flags = (s.flags & ~0x1BB0u) | 0x604Fu;
  ASSERT_TRUE(port.SetState(s));
  ASSERT_TRUE(port.SetTimeouts(Immediate()));
  qv::CommSettings back;
  ASSERT_TRUE(port.GetState(back));
  EXPECT_EQ(back.baudRate, 115200u);
  EXPECT_EQ(back.byteSize, 8);
  EXPECT_EQ(back.parity, 0);
  EXPECT_TRUE(back.flags & qv::dcb::fOutxCtsFlow);
  EXPECT_EQ(back.flags & qv::dcb::fRtsControlMask, qv::dcb::RtsControlHandshake);
  EXPECT_FALSE(back.flags & qv::dcb::fOutX);

  size_t written = 0;
  const std::string out = "ATE0\r";
  ASSERT_TRUE(port.Write(out.data(), out.size(), written));
  EXPECT_EQ(written, out.size());
  EXPECT_EQ(DrainMaster(), out);

  const std::string in = std::string("\r\nOK\r\n\0\x82\xa0", 9);
  ASSERT_EQ(::write(master, in.data(), in.size()), static_cast<ssize_t>(in.size()));
  std::string got;
  for (int i = 0; i < 500 && got.size() < in.size(); ++i) {
    char c;
    size_t n = 0;
    ASSERT_TRUE(port.Read(&c, 1, n));
    if (n) got.push_back(c);
    else std::this_thread::sleep_for(1ms);
  }
  EXPECT_EQ(got, in);  // raw: no CR/LF mapping, NULs kept
  // Nothing pending: an immediate read returns at once with nothing.
  char c;
  size_t n = 9;
  ASSERT_TRUE(port.Read(&c, 1, n));
  EXPECT_EQ(n, 0u);
}

TEST_F(Pty, AWaitForInputEndsWhenBytesArrive) {
  qv::CommPort port;
  ASSERT_TRUE(port.Open("COM9"));
  ASSERT_TRUE(port.SetTimeouts(Immediate()));
  EXPECT_FALSE(port.WaitForInput(1ms)) << "nothing has arrived";
  std::thread writer([this] { ASSERT_EQ(::write(master, "OK\r\n", 4), 4); });
  EXPECT_TRUE(port.WaitForInput(5s));
  writer.join();
  std::string got;
  while (got.size() < 4 && port.WaitForInput(5s)) {
    char c;
    size_t n = 0;
    ASSERT_TRUE(port.Read(&c, 1, n));
    got.append(&c, n);
  }
  EXPECT_EQ(got, "OK\r\n");
  port.Close();
  EXPECT_FALSE(port.WaitForInput(5s)) << "a closed port has nothing to wait for";
}

TEST_F(Pty, PurgeDiscardsWhatArrivedAndExclusiveOpenRefusesASecond) {
  qv::CommPort port;
  ASSERT_TRUE(port.Open("COM9"));
  ASSERT_TRUE(port.SetTimeouts(Immediate()));
  ASSERT_EQ(::write(master, "stale", 5), 5);
  ASSERT_TRUE(port.WaitForInput(5s)) << "the bytes to purge are there first";
  ASSERT_TRUE(port.Purge(qv::PURGE_ALL));
  char c;
  size_t n = 1;
  ASSERT_TRUE(port.Read(&c, 1, n));
  EXPECT_EQ(n, 0u);

  qv::CommPort second;
  EXPECT_FALSE(second.Open("COM9"));
  EXPECT_EQ(second.LastError(), EBUSY);
  port.Close();
  EXPECT_TRUE(second.Open("COM9"));
}

TEST_F(Pty, NoModemLinesAndUnsupportedSettingsAreRefused) {
  qv::CommPort port;
  ASSERT_TRUE(port.Open("COM9"));
  uint32_t status = 0;
  EXPECT_FALSE(port.GetModemStatus(status));
  EXPECT_FALSE(port.Escape(qv::CommEscape::SetDtr));
  qv::CommSettings s;
  ASSERT_TRUE(port.GetState(s));
  s.baudRate = 12345;
  EXPECT_FALSE(port.SetState(s));
  EXPECT_EQ(port.LastError(), EINVAL);
  s.baudRate = 9600;
  s.byteSize = 9;
  EXPECT_FALSE(port.SetState(s));
  // A DSR-held write on a device without lines is not held.
  s.byteSize = 8;
  s.flags |= qv::dcb::fOutxDsrFlow;
  ASSERT_TRUE(port.SetState(s));
  ASSERT_TRUE(port.SetTimeouts(Immediate()));
  size_t written = 0;
  EXPECT_TRUE(port.Write("x", 1, written));
  EXPECT_EQ(written, 1u);
  port.Close();
  EXPECT_FALSE(port.GetModemStatus(status));
  EXPECT_EQ(port.LastError(), EBADF);
}

TEST(PortNames, ResolveThroughThePortFolder) {
  qvtest::TempDir dir;
  ::setenv("QUORVEL_PORTS", dir.path().c_str(), 1);
  qvtest::WriteFile(dir / "COM3", "");
  struct {
    const char* name;
    std::string path;
  } table[] = {
      {"COM3", (dir / "COM3").string()},
      {"\\\\.\\COM3", (dir / "COM3").string()},
      {"com3", (dir / "COM3").string()},
      {"COM0003", (dir / "COM3").string()},  // the number names the port
      {"\\\\.\\COM0003", (dir / "COM3").string()},
      {"COM4", "/dev/ttyS3"},
      {"COM0004", "/dev/ttyS3"},
      {"\\\\.\\COM12", "/dev/ttyS11"},
      {"COM256", "/dev/ttyS255"},
      {"COM0257", ""},
      {"COM3 ", ""},
      {"COM0", ""},
      {"COM", ""},
      {"LPT1", ""},
      {"COM1x", ""},
      {"/dev/ttyUSB0", ""},
  };
  for (const auto& row : table) EXPECT_EQ(qv::ResolveCommPort(row.name).string(), row.path) << row.name;
  EXPECT_EQ(qv::CommPortFolderEntry("COM4"), dir / "COM4");
  EXPECT_EQ(qv::CommPortFolderEntry("\\\\.\\COM0004"), dir / "COM4");
  // Without QUORVEL_PORTS the folder is ports/ beside the program.
  ::unsetenv("QUORVEL_PORTS");
  qvtest::ScopedLauncherDir launcher(dir / "app");
  EXPECT_EQ(qv::CommPortFolderEntry("COM2"), dir / "app" / "ports" / "COM2");
  qv::CommPort port;
  EXPECT_FALSE(port.Open("LPT1"));
  EXPECT_EQ(port.LastError(), ENOENT);
}

TEST(PortNames, UsbAdaptersAreListedByIdAndLinkedUnderTheFirstFreeNumber) {
  qvtest::TempDir dir;
  const auto ports = dir / "ports";
  const auto byId = dir / "by-id";
  const std::string byIdBefore = std::getenv("QUORVEL_SERIAL_BY_ID") ? std::getenv("QUORVEL_SERIAL_BY_ID") : "";
  ::setenv("QUORVEL_PORTS", ports.c_str(), 1);
  ::setenv("QUORVEL_SERIAL_BY_ID", byId.c_str(), 1);
  EXPECT_TRUE(qv::SerialByIdDevices().empty()) << "no folder, no adapters";
  std::filesystem::create_directories(byId);
  for (const char* name : {"usb-B-if00", "usb-A-if00"}) qvtest::WriteFile(byId / name, "");
  EXPECT_EQ(qv::SerialByIdDevices(), (std::vector<std::filesystem::path>{byId / "usb-A-if00", byId / "usb-B-if00"}));
  // Numbers with an entry, or with a serial device behind them, are taken.
  int firstFree = 1;
  auto taken = [&](int n) {
    return std::filesystem::exists(std::filesystem::symlink_status(ports / ("COM" + std::to_string(n)))) ||
           std::filesystem::exists("/dev/ttyS" + std::to_string(n - 1));
  };
  std::filesystem::create_directories(ports);
  qvtest::WriteFile(ports / "COM1", "");
  while (taken(firstFree)) ++firstFree;
  EXPECT_EQ(qv::CommPortLinkedTo(byId / "usb-A-if00"), 0);
  EXPECT_EQ(qv::LinkCommPort(byId / "usb-A-if00"), firstFree);
  EXPECT_EQ(std::filesystem::read_symlink(ports / ("COM" + std::to_string(firstFree))), byId / "usb-A-if00");
  EXPECT_EQ(qv::CommPortLinkedTo(byId / "usb-A-if00"), firstFree);
  EXPECT_EQ(qv::CommPortLinkedTo(byId / "usb-B-if00"), 0);
  // Every number taken: no link.
  for (int n = 1; n <= qv::kMaxComPort; ++n)
    if (!taken(n)) std::filesystem::create_symlink(dir / "x", ports / ("COM" + std::to_string(n)));
  EXPECT_EQ(qv::LinkCommPort(byId / "usb-B-if00"), 0);
  ::unsetenv("QUORVEL_PORTS");
  ::setenv("QUORVEL_SERIAL_BY_ID", byIdBefore.c_str(), 1);
}

}  // namespace
