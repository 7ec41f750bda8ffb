#include "platform/Paths.h"

#include <gtest/gtest.h>

TEST(Paths, BackslashesBecomeSlashesButTrailBytesStay) {
  EXPECT_EQ(qv::NativePath("Mail\\box\\a.qvm"), "Mail/box/a.qvm");
  EXPECT_EQ(qv::NativePath("\x83\x5C\\\x95\x5C"), "\x83\x5C/\x95\x5C");  // ソ/表
  EXPECT_EQ(qv::NativePath("end\x83"), "end\x83");
}
