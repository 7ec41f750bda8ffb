// Test main for widget tests: one QApplication for the whole process, offscreen
// unless the environment chooses another platform.
#include "TestSupport.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  qvtest::InitTestProcess();
  qvtest::SetFailureHandler([](const std::string& what) { ADD_FAILURE() << what; });
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
