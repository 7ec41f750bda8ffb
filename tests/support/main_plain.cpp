#include "TestSupport.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  qvtest::InitTestProcess();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
