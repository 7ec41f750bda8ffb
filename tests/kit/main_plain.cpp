#include "TestSupport.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  qvtest::InitTestProcess();
  qvtest::SetFailureHandler([](const std::string& what) { ADD_FAILURE() << what; });
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
