#include "core/data/NamedRecordFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace qv;

namespace {
std::string Le32(int32_t v) {
  auto u = static_cast<uint32_t>(v);
  return std::string{static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
                     static_cast<char>(u >> 24)};
}
std::string Record(std::string_view name, std::string_view data) {
  return Le32(static_cast<int32_t>(name.size())) + std::string(name) + Le32(static_cast<int32_t>(data.size())) +
         std::string(data);
}
}  // namespace

TEST(NamedRecordFile, WritesTheLayoutAndReadsItBack) {
  std::stringstream s;
  ASSERT_TRUE(AppendRecord(s, "Address.idx", "a,b\r\n"));
  ASSERT_TRUE(AppendRecord(s, "pic", std::string("\0\1\2", 3)));
  ASSERT_TRUE(AppendRecord(s, "empty", ""));
  EXPECT_EQ(s.str(), Record("Address.idx", "a,b\r\n") + Record("pic", std::string("\0\1\2", 3)) + Record("empty", ""));
  std::vector<std::string> names;
  ASSERT_TRUE(ListRecords(s, names));
  EXPECT_EQ(names, (std::vector<std::string>{"Address.idx", "pic", "empty"}));
  std::string data = "old";
  ASSERT_TRUE(ReadRecord(s, "pic", data));
  EXPECT_EQ(data, std::string("\0\1\2", 3));
  data = "old";
  ASSERT_TRUE(ReadRecord(s, "empty", data));
  EXPECT_EQ(data, "");
  data = "old";
  ASSERT_TRUE(ReadRecord(s, "absent", data));  // not found is no failure
  EXPECT_EQ(data, "old");
}

TEST(NamedRecordFile, NamesMatchTrimmedAndTheFirstCounts) {
  std::stringstream s(Record("banner.bmp  ", "first") + Record("banner.bmp", "second") + Record("Banner.bmp", "x"));
  std::string data;
  ASSERT_TRUE(ReadRecord(s, " banner.bmp", data));
  EXPECT_EQ(data, "first");
  ASSERT_TRUE(ReadRecord(s, "Banner.bmp", data));
  EXPECT_EQ(data, "x");
}

TEST(NamedRecordFile, EmptyFile) {
  std::stringstream s;
  std::vector<std::string> names{"stale"};
  EXPECT_TRUE(ListRecords(s, names));
  EXPECT_TRUE(names.empty());
  std::string data = "keep";
  EXPECT_TRUE(ReadRecord(s, "x", data));
  EXPECT_EQ(data, "keep");
}

TEST(NamedRecordFile, DamagedFiles) {
  std::string good = Record("a", "1") + Record("b", "22");
  struct Case {
    const char* name;
    std::string bytes;
    bool listOk;
    std::vector<std::string> listed;
    bool readBOk;  // ReadRecord of "b"
    std::string b;
  } cases[] = {
      {"cut inside b's data", good.substr(0, good.size() - 1), false, {"a", "b"}, false, ""},
      {"cut inside b's name length", good.substr(0, 12), false, {"a"}, false, "unset"},
      {"cut inside b's name", Record("a", "1") + Le32(5) + "bb", false, {"a"}, false, "unset"},
      {"ends before b's data length", Record("a", "1") + Le32(1) + "b", true, {"a"}, true, "unset"},
      {"cut inside b's data length", Record("a", "1") + Le32(1) + "b" + "\x02", false, {"a"}, false, "unset"},
      {"negative data length on a skipped record", Le32(1) + "a" + Le32(-9) + Record("b", "22"), false, {"a"}, false,
       "unset"},
      {"negative name length", Le32(-1) + good, false, {}, false, "unset"},
      {"huge name length", Le32(0x7FFFFFFF) + good, false, {}, false, "unset"},
      {"huge data length", Le32(1) + "a" + Le32(0x7FFFFFF0) + "x", false, {"a"}, false, "unset"},
      {"negative data length on the matching record", Record("a", "1") + Le32(1) + "b" + Le32(-4), false, {"a", "b"},
       true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::stringstream s(c.bytes);
    std::vector<std::string> names;
    EXPECT_EQ(ListRecords(s, names), c.listOk) << c.name;
    EXPECT_EQ(names, c.listed) << c.name;
    std::string data = "unset";
    EXPECT_EQ(ReadRecord(s, "b", data), c.readBOk) << c.name;
    EXPECT_EQ(data, c.b) << c.name;
  }
}

TEST(NamedRecordFile, RecordsBeforeTheDamageAreStillFound) {
  std::string bytes = Record("a", "1") + Record("b", "22");
  std::stringstream s(bytes.substr(0, bytes.size() - 1));
  std::string a;
  EXPECT_TRUE(ReadRecord(s, "a", a));
  EXPECT_EQ(a, "1");
}

TEST(NamedRecordFile, SavingReplacesTheFileWhole) {
  qvtest::TempDir dir;
  auto path = dir / "theme.qvt";
  ASSERT_TRUE(WriteNamedRecordFile(path, {{"banner.idx", "idx"}, {"banner.bmp", "BM..."}}));
  EXPECT_EQ(qvtest::ReadFile(path), Record("banner.idx", "idx") + Record("banner.bmp", "BM..."));
  ASSERT_TRUE(WriteNamedRecordFile(path, {{"banner.idx", "v2"}}));
  EXPECT_EQ(qvtest::ReadFile(path), Record("banner.idx", "v2"));
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename(), "theme.qvt");  // no temporary left behind
  EXPECT_FALSE(WriteNamedRecordFile(dir / "theme.qvt" / "nested", {{"a", "b"}}));
  EXPECT_EQ(qvtest::ReadFile(path), Record("banner.idx", "v2"));
}
