// Test main for tests on a real X server: an Xvfb of the process's own with
// the openbox window manager, or none when QV_WINDOW_MANAGER is "none", and
// one QApplication on it.
#include "TestSupport.h"
#include "XSession.h"

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  qvtest::InitTestProcess();
  qvtest::SetFailureHandler([](const std::string& what) { ADD_FAILURE() << what; });
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  if (!qvtest::XSession::ServerInstalled()) {
    std::fprintf(stderr, "skipped: Xvfb is not installed (scripts/install-deps installs it)\n");
    return qvtest::XSession::kSkipped;
  }
  qvtest::XSession x;
  std::string why;
  if (!x.Start(qEnvironmentVariable("QV_WINDOW_MANAGER") != QStringLiteral("none"), why)) {
    std::fprintf(stderr, "no X server for the tests: %s\n", why.c_str());
    return 1;
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
