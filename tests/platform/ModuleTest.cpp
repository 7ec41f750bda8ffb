#include "platform/Module.h"

#include <gtest/gtest.h>

TEST(Module, LoadsByAbsolutePathAndResolvesExports) {
  qv::Module m;
  ASSERT_TRUE(m.Load(QV_TEST_MODULE)) << m.Error();
  auto fn = m.Function<int (*)()>("qv_test_answer");
  ASSERT_NE(fn, nullptr);
  EXPECT_EQ(fn(), 42);
  EXPECT_EQ(m.Symbol("no_such_export"), nullptr);
  qv::Module moved(std::move(m));
  EXPECT_FALSE(m.IsLoaded());
  EXPECT_TRUE(moved.IsLoaded());
}

TEST(Module, MissingFileFailsWithReason) {
  qv::Module m;
  EXPECT_FALSE(m.Load("/nonexistent/none.so"));
  EXPECT_FALSE(m.Error().empty());
  EXPECT_EQ(m.Symbol("x"), nullptr);
}
