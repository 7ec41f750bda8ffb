#include "platform/Version.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(Version, ReadsTheEmbeddedBlockByPath) {
  EXPECT_EQ(qv::ReadVersionValue(QV_TEST_MODULE, "FileVersion").value_or(""), "2.3.4.5");
  EXPECT_EQ(qv::ReadVersionValue(QV_TEST_MODULE, "ProductName").value_or(""), "TestModule");
  EXPECT_FALSE(qv::ReadVersionValue(QV_TEST_MODULE, "Missing"));
  EXPECT_FALSE(qv::ReadVersionValue("/nonexistent", "FileVersion"));
}

TEST(Version, AFileWithoutABlockHasNoValues) {
  qvtest::TempDir dir;
  // A bare marker followed by NUL (as in the reader's own code) is not a block.
  using namespace std::string_literals;
  qvtest::WriteFile(dir / "x.bin", "abc\x01QVVERSIONINFO\x01\0FileVersion=1\0"s);
  EXPECT_FALSE(qv::ReadVersionValue(dir / "x.bin", "FileVersion"));
}
