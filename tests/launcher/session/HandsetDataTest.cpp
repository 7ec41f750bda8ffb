// The handset data sessions without a window: the phone book (kind 1) and
// the bookmarks (kind 8) read from and written to the simulated handset's
// information store through the built Portvine.so, with exchange files made
// by hand from the core's framing helpers.
#include "HandsetRecords.h"
#include "HeadlessSession.h"
#include "core/data/HandsetExchange.h"
#include "launcher/session/HandsetData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <vector>

namespace {

using qv::SessionMode;
using qv::SessionResult;
using qvtest::Sjis;
using qvtest::HandsetRecords;
using qvtest::HistoryRecords;
using qvtest::WireLines;
using Lines = std::vector<std::string>;

Lines Prefix(const Lines& lines, size_t n) { return Lines(lines.begin(), lines.begin() + long(std::min(n, lines.size()))); }

// A handset that takes information mode.
handsetsim::SimConfig Handset(std::map<int, Lines> store) {
  handsetsim::SimConfig c;
  c.i9InfoText = "1";
  for (const auto& [kind, lines] : store) c.info[kind] = WireLines(lines);
  return c;
}

class HandsetDataTest : public ::testing::Test {
 protected:
  void StartHandset(handsetsim::SimConfig config) {
    std::string error;
    ASSERT_TRUE(launcher_.StartHandset(std::move(config), 20, &error)) << error;
  }
  SessionResult Read(int kind) { return launcher_.Run(SessionMode::ReadHandsetInfo, {.parameter = kind}); }
  SessionResult Write(int kind) { return launcher_.Run(SessionMode::WriteHandsetInfo, {.parameter = kind}); }
  static std::filesystem::path File(int kind) { return qv::HandsetExchangeFile::PathFor(kind); }
  static void WriteLines(int kind, const Lines& lines) { ASSERT_TRUE(qv::HandsetExchangeFile::Write(File(kind), lines)); }
  static Lines FileLines(int kind) {
    Lines lines;
    EXPECT_TRUE(qv::HandsetExchangeFile::Read(File(kind), lines)) << File(kind);
    return lines;
  }
  handsetsim::InfoStore Store() { return launcher_.Sim().Info(); }
  handsetsim::SimRecord Record() { return launcher_.Sim().Record(); }
  bool Seen(qv::SerialEvent event) {
    const auto seen = launcher_.inbox.Seen();
    return std::find(seen.begin(), seen.end(), event) != seen.end();
  }
  bool SeenModuleError() {
    const auto seen = launcher_.inbox.Seen();
    return std::any_of(seen.begin(), seen.end(), [](const auto& e) { return e.kind == kwx::KWX_EV_MODULE_ERROR; });
  }
  static size_t Count(const Lines& lines, std::string_view prefix) {
    return size_t(std::count_if(lines.begin(), lines.end(), [&](const auto& l) { return l.starts_with(prefix); }));
  }

  qvtest::TempDir tmp_;
  qvtest::HeadlessLauncher launcher_{tmp_.path() / "app"};
  qvtest::RecordingView& view_ = launcher_.view;
  qvtest::RecordingHost& host_ = launcher_.host;
};

class HandsetDataKindTest : public HandsetDataTest, public ::testing::WithParamInterface<int> {
 protected:
  int kind() const { return GetParam(); }
  int other() const { return kind() == 1 ? 8 : 1; }
};

TEST_P(HandsetDataKindTest, ReadBringsEveryWholeRecordOfTheKindIntoItsFile) {
  const Lines records = HandsetRecords(kind(), 4);
  ASSERT_EQ(records.size(), 5u) << "the long record takes two lines";
  StartHandset(Handset({{kind(), records}, {other(), HandsetRecords(other(), 2)}}));
  qvtest::WriteFile(File(kind()), "left from before\r\n");
  const auto before = Store();

  EXPECT_EQ(Read(kind()), SessionResult::Done);
  EXPECT_EQ(FileLines(kind()), records) << "the file is replaced by the handset's lines";
  EXPECT_EQ(Store(), before) << "reading changes nothing on the handset";
  const auto r = Record();
  ASSERT_FALSE(r.infoLines.empty());
  EXPECT_EQ(r.infoLines.front(), "<" + std::to_string(kind()) + "F>");
  EXPECT_EQ(Count(r.infoLines, "<2:"), records.size()) << "one read a line; the last record's flag ends it";
  EXPECT_FALSE(r.infoMode) << "the handset left information mode";
  EXPECT_FALSE(launcher_.link.Busy());
  EXPECT_EQ(view_.numbers, Lines{qv::DataKindCaption(kind())});
  EXPECT_EQ(view_.progress, (Lines{"max 4", "1 done", "2 done", "3 done", "4 done"})) << "one step a record";
  EXPECT_GT(view_.lastSize, 0);
  EXPECT_TRUE(host_.shownReports.empty());
}

TEST_P(HandsetDataKindTest, WriteReplacesTheHandsetsRecordsOfTheKindOnly) {
  const Lines records = HandsetRecords(kind(), 4);
  StartHandset(Handset({{kind(), HandsetRecords(kind(), 2, 10)}, {other(), HandsetRecords(other(), 2)}}));
  WriteLines(kind(), records);
  const std::string file = qvtest::ReadFile(File(kind()));
  const Lines otherBefore = Store().at(other());

  EXPECT_EQ(Write(kind()), SessionResult::Done);
  EXPECT_EQ(Store().at(kind()), WireLines(records)) << "the old records went first";
  EXPECT_EQ(Store().at(other()), otherBefore);
  EXPECT_EQ(qvtest::ReadFile(File(kind())), file);
  const auto r = Record();
  const std::string k = std::to_string(kind());
  ASSERT_GE(r.infoLines.size(), 2u);
  EXPECT_EQ(Prefix(r.infoLines, 2), (Lines{"<" + k + "F>", "<3:" + k + "H>"}));
  EXPECT_EQ(Count(r.infoLines, "<1:" + k + ":"), records.size());
  EXPECT_FALSE(r.infoMode);
  EXPECT_EQ(view_.numbers, Lines{qv::DataKindCaption(kind())});
  EXPECT_EQ(view_.progress, (Lines{"max 4", "1 done", "2 done", "3 done", "4 done"}));
  long long wire = 0;
  for (const auto& line : WireLines(records)) wire += static_cast<long long>(line.size());
  EXPECT_EQ(view_.lastSize, wire) << "the size counts what went out";
  EXPECT_TRUE(host_.shownReports.empty());
}

INSTANTIATE_TEST_SUITE_P(PhoneBookAndBookmarks, HandsetDataKindTest, ::testing::Values(1, 8));

// ---- what goes wrong, for both kinds

// The handset holds old records; the read brings five new ones from a
// handset that holds them, the write takes five to one that holds two.
struct Failure {
  const char* name;
  SessionMode mode;
  std::function<void(handsetsim::SimConfig&, qvtest::RecordingView&, Lines& file)> arrange;
  SessionResult result;
  const char* told;  // a piece of what the session tells the user; "" nothing
  // The handset's records of the kind afterwards, from what it held and the
  // file's lines.
  std::function<void(const Lines& held, const Lines& file, const Lines& now)> handset;
  // The exchange file afterwards: from what it held before (the read's
  // file holds a line from an earlier run).
  std::function<void(const Lines& before, const Lines& held, const Lines& now)> exchange;
  qv::SerialEvent moduleSaid{kwx::KWX_EV_PROGRESS, -1};  // an event the module posted; -1 any module error
};

void PrintTo(const Failure& f, std::ostream* os) { *os << f.name; }

void Unchanged(const Lines& held, const Lines&, const Lines& now) { EXPECT_EQ(now, held) << "the handset is untouched"; }
void FileUnchanged(const Lines& before, const Lines&, const Lines& now) { EXPECT_EQ(now, before); }

// The handset holds the first n lines of the file.
auto HoldsFirst(size_t n) {
  return [n](const Lines&, const Lines& file, const Lines& now) {
    EXPECT_EQ(now, Prefix(WireLines(file), n));
    EXPECT_LT(now.size(), file.size());
  };
}

const char* const kPartial = "の書き込みが途中で終わりました";
const char* const kDamaged = "行目に誤りがあります";

const Failure kFailures[] = {
    {"InformationModeRefusedRead", SessionMode::ReadHandsetInfo,
     [](handsetsim::SimConfig& c, qvtest::RecordingView&, Lines&) { c.i9InfoText = "0"; }, SessionResult::NothingDone,
     "", Unchanged,
     [](const Lines&, const Lines&, const Lines& now) { EXPECT_TRUE(now.empty()) << "an empty file is left"; },
     {kwx::KWX_EV_MODULE_ERROR, 32}},
    {"InformationModeRefusedWrite", SessionMode::WriteHandsetInfo,
     [](handsetsim::SimConfig& c, qvtest::RecordingView&, Lines&) { c.i9InfoText = "0"; }, SessionResult::NothingDone,
     "", Unchanged, FileUnchanged, {kwx::KWX_EV_MODULE_ERROR, 32}},
    // The third read (the long record's second line) is answered with garbage:
    // the first record is kept, the half of the second is not.
    {"GarbageMidRead", SessionMode::ReadHandsetInfo,
     [](handsetsim::SimConfig& c, qvtest::RecordingView&, Lines&) {
       c.faults.push_back({handsetsim::Step::Info, handsetsim::Action::Garbage, 4});
     },
     SessionResult::NothingDone, "", Unchanged,
     [](const Lines&, const Lines& held, const Lines& now) { EXPECT_EQ(now, Prefix(held, 1)); },
     {kwx::KWX_EV_MODULE_ERROR, 16}},
    {"HandsetFullMidWrite", SessionMode::WriteHandsetInfo,
     [](handsetsim::SimConfig& c, qvtest::RecordingView&, Lines&) { c.infoCapacity = 3; }, SessionResult::Aborted,
     kPartial, HoldsFirst(3), FileUnchanged},
    // The fifth line the handset takes (the third write) is the last.
    {"HandsetPulledMidWrite", SessionMode::WriteHandsetInfo,
     [](handsetsim::SimConfig& c, qvtest::RecordingView&, Lines&) {
       c.faults.push_back({handsetsim::Step::Info, handsetsim::Action::Drop, 5});
     },
     SessionResult::Aborted, kPartial, HoldsFirst(3), FileUnchanged, {kwx::KWX_EV_MODULE_ERROR, -1}},
    {"AbortMidRead", SessionMode::ReadHandsetInfo,
     [](handsetsim::SimConfig&, qvtest::RecordingView& v, Lines&) {
       v.abortWhen = [&v] { return v.lastProgress >= 2; };
     },
     SessionResult::Aborted, "", Unchanged, FileUnchanged},
    {"AbortMidWrite", SessionMode::WriteHandsetInfo,
     [](handsetsim::SimConfig&, qvtest::RecordingView& v, Lines&) {
       v.abortWhen = [&v] { return v.lastProgress >= 2; };
     },
     SessionResult::Aborted, kPartial,
     [](const Lines&, const Lines& file, const Lines& now) {
       EXPECT_GE(now.size(), 3u) << "two records went";
       EXPECT_LT(now.size(), file.size());
       EXPECT_EQ(now, Prefix(WireLines(file), now.size()));
     },
     FileUnchanged},
    {"DamagedLineToWrite", SessionMode::WriteHandsetInfo,
     [](handsetsim::SimConfig&, qvtest::RecordingView&, Lines& file) { file[2].replace(0, 2, "7F"); },
     SessionResult::NothingDone, "3 行目に誤りがあります", Unchanged, FileUnchanged},
    // The file ends inside the long record.
    {"UnfinishedLastRecordToWrite", SessionMode::WriteHandsetInfo,
     [](handsetsim::SimConfig&, qvtest::RecordingView&, Lines& file) { file.resize(2); }, SessionResult::NothingDone,
     "2 行目に誤りがあります", Unchanged, FileUnchanged},
};

class HandsetDataFailureTest : public HandsetDataTest,
                               public ::testing::WithParamInterface<std::tuple<int, Failure>> {};

TEST_P(HandsetDataFailureTest, EndsWithItsResultAndTellsWhatTheHandsetHolds) {
  const auto& [kind, row] = GetParam();
  const bool reading = row.mode == SessionMode::ReadHandsetInfo;
  const Lines records = HandsetRecords(kind, 5);
  ASSERT_EQ(records.size(), 6u);
  const Lines held = reading ? records : HandsetRecords(kind, 2, 10);
  handsetsim::SimConfig config = Handset({{kind, held}});
  Lines file = reading ? Lines{"left from before"} : records;
  row.arrange(config, view_, file);
  WriteLines(kind, file);
  const Lines fileBefore = FileLines(kind);
  StartHandset(config);

  EXPECT_EQ(launcher_.Run(row.mode, {.parameter = kind}), row.result);
  EXPECT_FALSE(launcher_.link.Busy());
  row.handset(WireLines(held), file, Store()[kind]);
  row.exchange(fileBefore, held, FileLines(kind));
  if (*row.told) {
    ASSERT_EQ(host_.shownReports.size(), 1u);
    EXPECT_NE(host_.shownReports[0].find(Sjis(row.told)), std::string::npos) << host_.shownReports[0];
    EXPECT_EQ(host_.shownReports[0].find(qv::DataKindCaption(kind)), 0u) << "it names the kind";
  } else {
    EXPECT_TRUE(host_.shownReports.empty()) << host_.shownReports[0];
  }
  if (row.moduleSaid.code > 0) {
    EXPECT_TRUE(Seen(row.moduleSaid));
  } else if (row.moduleSaid.kind == kwx::KWX_EV_MODULE_ERROR) {
    EXPECT_TRUE(SeenModuleError());
  }
  if (std::string_view(row.told).find("行目") != std::string_view::npos) {
    EXPECT_EQ(Record().connections, 0) << "a damaged file never reaches the handset";
  }
}

INSTANTIATE_TEST_SUITE_P(PhoneBookAndBookmarks, HandsetDataFailureTest,
                         ::testing::Combine(::testing::Values(1, 8), ::testing::ValuesIn(kFailures)),
                         [](const auto& info) {
                           return std::string(std::get<1>(info.param).name) + "Kind" +
                                  std::to_string(std::get<0>(info.param));
                         });

// ---- reading's edge cases

TEST_F(HandsetDataTest, ACountOfNoneLeavesAnEmptyFileWithoutAskingForRecords) {
  StartHandset(Handset({{8, HandsetRecords(8, 2)}}));
  qvtest::WriteFile(File(1), "left from before\r\n");
  EXPECT_EQ(Read(1), SessionResult::Done);
  EXPECT_TRUE(FileLines(1).empty());
  EXPECT_EQ(Record().infoLines, Lines{"<1F>"}) << "straight out again";
  EXPECT_TRUE(view_.progress.empty()) << "nothing to count";
}

TEST_F(HandsetDataTest, ARecordsFileThatCannotBeSavedIsAFailureTheUserHearsOf) {
  StartHandset(Handset({{1, HandsetRecords(1, 2)}}));
  std::filesystem::create_directories(File(1));  // a folder where the file belongs
  EXPECT_EQ(Read(1), SessionResult::Aborted);
  ASSERT_EQ(host_.shownReports.size(), 1u);
  EXPECT_EQ(host_.shownReports[0], Sjis("電話帳を保存できませんでした。\r\n") + File(1).string());
  EXPECT_TRUE(std::filesystem::is_directory(File(1)));
}

// The mail histories come in two categories: the second is asked for with a
// bare line, and the two counts add up.
class HistoryReadTest : public HandsetDataTest, public ::testing::WithParamInterface<int> {};

TEST_P(HistoryReadTest, TwoCountsAddUpAndBothCategoriesAreRead) {
  const int kind = GetParam();
  const Lines first = HistoryRecords(2, 0, false), second = HistoryRecords(1, 2, true);
  StartHandset(Handset({{kind, first}, {kind + 1, second}}));
  EXPECT_EQ(Read(kind), SessionResult::Done);
  Lines all = first;
  all.insert(all.end(), second.begin(), second.end());
  EXPECT_EQ(FileLines(kind), all);
  const auto r = Record();
  const std::string k = std::to_string(kind);
  ASSERT_GE(r.infoLines.size(), 2u);
  EXPECT_EQ(Prefix(r.infoLines, 2), (Lines{"<" + k + "F>", "<" + std::to_string(kind + 1) + "F>"}));
  EXPECT_EQ(view_.progress.front(), "max 3");
  EXPECT_EQ(view_.numbers, Lines{qv::DataKindCaption(kind)});
}

INSTANTIATE_TEST_SUITE_P(MailHistories, HistoryReadTest, ::testing::Values(4, 6));

// A count beyond what a handset can hold is a damaged reply: the read ends
// there, the user hears of it, and the file stays as it was.
struct DamagedCount {
  const char* name;
  int kind;
  std::map<int, std::string> counts;  // category: the count its line gives
};

const DamagedCount kDamagedCounts[] = {
    {"SecondCountOverflowsTheTotal", 4, {{4, "2147483647"}, {5, "1"}}},
    {"FirstOfTwoAboveTheCapacity", 6, {{6, "201"}}},
    {"AboveTheCapacity", 1, {{1, "300"}}},
    {"TooLongToRead", 8, {{8, "99999999999999999999"}}},
    {"Negative", 1, {{1, "-2"}}},
};

void PrintTo(const DamagedCount& d, std::ostream* os) { *os << d.name; }

class DamagedCountTest : public HandsetDataTest, public ::testing::WithParamInterface<DamagedCount> {};

TEST_P(DamagedCountTest, EndsTheReadToldAndLeavesTheFile) {
  const auto& row = GetParam();
  const bool history = row.kind == 4 || row.kind == 6;
  handsetsim::SimConfig c = Handset({{row.kind, history ? HistoryRecords(2, 0, false) : HandsetRecords(row.kind, 2)}});
  c.infoCountText = row.counts;
  StartHandset(c);
  qvtest::WriteFile(File(row.kind), "left from before\r\n");

  EXPECT_EQ(Read(row.kind), SessionResult::Aborted);
  EXPECT_EQ(qvtest::ReadFile(File(row.kind)), "left from before\r\n");
  ASSERT_EQ(host_.shownReports.size(), 1u);
  EXPECT_EQ(host_.shownReports[0].find(qv::DataKindCaption(row.kind) + Sjis("の件数を携帯電話から正しく受け取れませんでした")), 0u)
      << host_.shownReports[0];
  const auto r = Record();
  EXPECT_EQ(Count(r.infoLines, "<2:"), 0u) << "no record is asked for";
  EXPECT_FALSE(r.infoMode) << "the handset left information mode";
  EXPECT_FALSE(launcher_.link.Busy());
}

INSTANTIATE_TEST_SUITE_P(Counts, DamagedCountTest, ::testing::ValuesIn(kDamagedCounts),
                         [](const auto& info) { return std::string(info.param.name); });

// A data line that is not a whole frame line ends the read; the records
// complete before it are kept, the one it cuts short is not.
struct BadLine {
  const char* name;
  std::function<std::string(const std::string& goodWire)> make;
};

const BadLine kBadLines[] = {
    {"LengthByteTooLarge", [](const std::string& w) { return "255" + w.substr(3); }},
    {"LengthByteZero", [](const std::string&) { return std::string("000"); }},
    {"NoBytes", [](const std::string&) { return std::string(); }},
    {"ADigitShort", [](const std::string& w) { return w.substr(0, w.size() - 1); }},
    {"NotAByte", [](const std::string& w) { return w.substr(0, w.size() - 3) + "999"; }},
};

void PrintTo(const BadLine& b, std::ostream* os) { *os << b.name; }

class BadLineReadTest : public HandsetDataTest, public ::testing::WithParamInterface<BadLine> {};

TEST_P(BadLineReadTest, EndsTheReadKeepingWholeRecords) {
  const Lines records = HandsetRecords(1, 3);
  handsetsim::SimConfig c = Handset({{1, Prefix(records, 2)}});
  c.info[1].push_back(GetParam().make(WireLines(records)[2]));
  c.info[1].push_back(WireLines(records)[3]);
  StartHandset(c);
  EXPECT_EQ(Read(1), SessionResult::Done);
  EXPECT_EQ(FileLines(1), Prefix(records, 1));
  EXPECT_EQ(Count(Record().infoLines, "<2:"), 3u) << "no read after the bad line";
}

INSTANTIATE_TEST_SUITE_P(Lines, BadLineReadTest, ::testing::ValuesIn(kBadLines),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HandsetReply, ADataLineIsValidOnlyAsAWholeFrameLine) {
  const std::string good = qv::FormatHandsetFrameLine(6, "2001024142");
  const std::string goodWire = qv::HexToDecimalText(good);
  const std::pair<std::string, bool> cases[] = {
      {"<1:07" + goodWire + "h>", true},
      {"<1:h>", false},
      {"<1:0h>", false},
      {"<1:07h>", false},
      {"<1:07000h>", false},  // a length byte of 0 and nothing after it
      {"<1:07" + goodWire + "0h>", false},
      {"<1:07" + goodWire.substr(0, goodWire.size() - 3) + "h>", false},
      {"<1:07" + goodWire, false},
      {"<3:1h>", false},
  };
  for (const auto& [reply, valid] : cases) {
    std::string hex;
    EXPECT_EQ(qv::handsetreply::DataLine(reply, hex), valid) << reply;
    EXPECT_EQ(hex, valid ? good : "") << reply;
  }
  EXPECT_EQ(qv::handsetreply::Count("<F:1:12/200>"), 12);
  EXPECT_EQ(qv::handsetreply::Count("<F:5:0/200>"), 0);
  EXPECT_EQ(qv::handsetreply::Count("<F:1>"), 0);
  const std::pair<const char*, int> counts[] = {
      {"<F:1:200/200>", 200},
      {"<F:1:9999>", 9999},
      {"<F:1:x/200>", 0},
      {"<F:1:201/200>", qv::handsetreply::kDamagedCount},
      {"<F:1:10000>", qv::handsetreply::kDamagedCount},
      {"<F:4:2147483647/200>", qv::handsetreply::kDamagedCount},
      {"<F:4:2147483648/2147483648>", qv::handsetreply::kDamagedCount},
      {"<F:1:-1/200>", qv::handsetreply::kDamagedCount},
  };
  for (const auto& [line, count] : counts) EXPECT_EQ(qv::handsetreply::Count(line), count) << line;
  EXPECT_TRUE(qv::handsetreply::IsStatus("<2b>"));
  EXPECT_FALSE(qv::handsetreply::IsStatus("<4b>"));
  EXPECT_TRUE(qv::handsetreply::IsEndOfKind("<3:8h>"));
  EXPECT_FALSE(qv::handsetreply::IsEndOfKind("<3:8:0>")) << "the answer to a delete";
  EXPECT_EQ(qv::handsetreply::FirstLine(std::string_view(" <F:1:2/9>\r\n\0\0", 14)), "<F:1:2/9>");
}

// ---- writing's edge cases

TEST_F(HandsetDataTest, NoFileOrNoRecordToWriteIsNothingDoneWithoutTouchingTheHandset) {
  StartHandset(Handset({{1, HandsetRecords(1, 2)}}));
  EXPECT_EQ(Write(1), SessionResult::NothingDone) << "no file";
  WriteLines(1, {});
  EXPECT_EQ(Write(1), SessionResult::NothingDone) << "an empty file";
  EXPECT_EQ(Record().connections, 0);
  EXPECT_TRUE(host_.shownReports.empty()) << "nothing to send is not an error";
  EXPECT_EQ(Store()[1], WireLines(HandsetRecords(1, 2)));
}

}  // namespace
