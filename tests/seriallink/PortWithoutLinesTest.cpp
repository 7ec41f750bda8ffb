// A session of the built module on a port whose device has no modem lines
// (a pseudo-terminal): the module reports them unreadable instead of hanging.
#include "SessionHarness.h"

#include <gtest/gtest.h>

#include <cstdio>

using seriallinktest::Describe;
using seriallinktest::Ev;

namespace {

struct Pty : ::testing::Test {
  qvtest::PtyPair pty;
  std::string slave;
  void SetUp() override {
    ASSERT_TRUE(pty.Open());
    slave = pty.slave;
  }
};

TEST_F(Pty, SessionOnAPortWithoutModemLinesReportsThemUnreadable) {
  seriallinktest::Session s;  // its own port folder, where COM9 is the pty
  std::filesystem::create_symlink(slave, s.folder() / "COM9");
  std::snprintf(s.param.SerialPort, sizeof s.param.SerialPort, "\\\\.\\COM9");
  s.Init();
  ASSERT_EQ(s.api().kwxConnectEMail(1, 0), 1);
  ASSERT_TRUE(s.Drive(nullptr)) << Describe(s.Events());
  const std::vector<Ev> expected = {{0, 46}, {10, 30}, {0, 45}, {8, 40}, {8, 41}};
  EXPECT_EQ(s.Events(), expected) << Describe(s.Events());
  EXPECT_TRUE(s.WaitIdle());
  // The number query fails the same way, without a hang.
  char out[36];
  EXPECT_EQ(s.api().kwxGetTelNumber("COM9", 9600, out), 0);
  EXPECT_EQ(s.api().kwxGetErrorCode(0, 0), 90030);
}

}  // namespace
