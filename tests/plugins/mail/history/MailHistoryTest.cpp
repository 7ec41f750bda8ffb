// The handset's mail histories in their exchange files: the records a handset
// frames, stored in the sent and received folders; damaged records skipped;
// the mails of "データ転送" framed for the handset and read back the same.
#include "FileSizeLimit.h"
#include "HandsetRecords.h"
#include "MailFolders.h"
#include "TestSupport.h"
#include "core/data/HandsetExchange.h"
#include "core/data/MailStore.h"
#include "platform/IniFile.h"
#include "plugins/mail/history/MailHistory.h"

#include <functional>
#include <gtest/gtest.h>

using qvtest::HandsetLines;
using qvtest::HistoryMailLines;
using qvtest::HistoryMailSpec;

namespace {

std::string J(std::string_view utf8) { return qvtest::Sjis(utf8); }

// A stored mail of the given subject and body.
std::string Mail(const std::string& subject, const std::string& body = "body") {
  return "To: to@example.jp\r\nSubject: " + subject + "\r\nX-Mailer: handset\r\nContent-Type: Text/Plain\r\n\r\n" +
         body + "\r\n";
}

HistoryMailSpec Dx(const std::string& subject, int outgoing = 0, const std::string& body = "body") {
  HistoryMailSpec m;
  m.tag = 0x1005;
  m.outgoing = outgoing;
  m.box = outgoing ? 3 : 2;
  m.text = Mail(subject, body);
  return m;
}

HistoryMailSpec Short(uint16_t tag, const std::string& peer, const std::string& text, int outgoing = 0) {
  HistoryMailSpec m;
  m.tag = tag;
  m.peer = peer;
  m.text = text;
  m.outgoing = outgoing;
  m.box = outgoing ? 3 : 2;
  return m;
}

class MailHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    launcher_ = std::make_unique<qvtest::ScopedLauncherDir>(tmp_.path() / "app");
    std::filesystem::create_directories(tmp_.path() / "app" / "MailLog");
  }
  std::filesystem::path File() const { return tmp_.path() / "app" / "Temp6.dat"; }
  void WriteLines(const HandsetLines& lines) { ASSERT_TRUE(qv::HandsetExchangeFile::Write(File(), lines)); }
  qv::HistoryImport Import(const HandsetLines& lines) {
    WriteLines(lines);
    return qv::ImportHistoryFile(File(), qvtest::QuickRetry());
  }
  static std::vector<std::string> Subjects(const char* folder) {
    return qvtest::LiveColumnOf(J(folder), qv::kColSubject);
  }
  void SetIni(const char* section, const char* key, const char* value) {
    qv::IniFile(tmp_.path() / "app" / "Quorvel.ini").WriteString(section, key, value);
  }
  // Appends a mail to "データ転送" as a history import left it there.
  std::string Stage(int kind, const std::string& text, const std::string& peer = "", const std::string& date = "2003/01/15 09:05:00") {
    qv::MailIndexRow row;
    qv::BuildIndexRow(row, kind, 1, 0, 1, 0, 2, 0, peer, "", "s" + std::to_string(kind), date, peer);
    return qvtest::AppendMail(J("データ転送"), text, row);
  }

  qvtest::TempDir tmp_;
  std::unique_ptr<qvtest::ScopedLauncherDir> launcher_;
};

TEST_F(MailHistoryTest, EachHistoryMailLandsInItsFolderWithItsKindFlagsDateAndPeer) {
  HistoryMailSpec longDx = Dx("long", 1, std::string(1000, 'y'));
  longDx.kind = 3;
  longDx.unread = 1;
  longDx.isProtected = 1;
  HistoryMailSpec boxOne = Dx("box one");
  boxOne.box = 1;  // written on the PC: outgoing without the direction bit
  boxOne.date = "2003/02/01";
  const HistoryMailSpec kmail = Short(0x1003, J("携帯: 分計ON; 090-1234-5678"), J("ﾃｽﾄ\r\nabc"));
  HistoryMailSpec breeze = Short(0x1007, "0701112222", "hi", 1);
  breeze.handsetFlag = 0;
  breeze.unread = 1;
  const HandsetLines lines = HistoryMailLines({longDx, boxOne, kmail, breeze});
  ASSERT_GE(lines.size(), 6u) << "the long mail takes several items";

  const qv::HistoryImport result = Import(lines);
  EXPECT_EQ(result.stored, 4);
  EXPECT_EQ(result.notStored, 0);
  EXPECT_EQ(result.damaged, 0);

  // deleted start end id | kind flag unread protected direction box attachments | from to subject date extra
  auto cells = [](const qvtest::LiveMail& m) {
    qv::TCSVRow r = m.row;
    r[qv::kColStart] = r[qv::kColEnd] = r[qv::kColId] = "";
    return r;
  };
  const auto sent = qvtest::ReadLiveMails(J("送信簿"));
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(cells(sent[0]), (qv::TCSVRow{"0", "", "", "", "3", "1", "1", "1", "1", "3", "0", "", "to@example.jp",
                                         "long", "2003/01/15 09:05:00", ""}));
  EXPECT_EQ(sent[0].text, longDx.text) << "the items of one record are one mail";
  // A direct mail's addresses are phone numbers: the e-mail address is none.
  EXPECT_EQ(cells(sent[1]), (qv::TCSVRow{"0", "", "", "", "1", "1", "0", "0", "1", "1", "0", "", "", "box one",
                                         "2003/02/01", ""}));
  EXPECT_EQ(cells(sent[2]), (qv::TCSVRow{"0", "", "", "", "9", "0", "1", "0", "1", "3", "0", "", "0701112222",
                                         J("ブリーズメール"), "2003/01/15 09:05:00", "0701112222"}));
  EXPECT_EQ(sent[2].text, "6869\r\n") << "the handset's text code, kept in hex";
  const auto received = qvtest::ReadLiveMails(J("受信簿"));
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(cells(received[0]), (qv::TCSVRow{"0", "", "", "", "8", "1", "0", "0", "0", "2", "0", "09012345678", "",
                                             J("Kメール"), "2003/01/15 09:05:00", J("分計ON; 09012345678")}));
  EXPECT_EQ(qv::DecodeHandsetText(received[0].text.substr(0, received[0].text.size() - 2)), J("ﾃｽﾄ\r\nabc"));
}

TEST_F(MailHistoryTest, AMultipartMailKeepsItsAttachmentMarkAndAHandsetSampleIsNoMailNorAFailure) {
  const std::string multipart =
      "To: a@example.jp\r\nSubject: pic\r\nContent-Type: Multipart/Mixed;Boundary=\"kmaildx00\"\r\n\r\n"
      "--kmaildx00\r\nContent-Type: Text/Plain\r\n\r\nlook\r\n"
      "--kmaildx00\r\nContent-Type: Image/Jpeg;Name=\"a.jpg\"\r\nContent-Transfer-Encoding: Base64\r\n\r\n/9j/4AAQ\r\n"
      "--kmaildx00--\r\n";
  HistoryMailSpec pic = Dx("pic");
  pic.text = multipart;
  HistoryMailSpec sample = Dx("sample");
  sample.text = "Subject: sample\r\nX-KmailDX-CPGFLG: ON\r\n\r\nsample\r\n";
  const qv::HistoryImport result = Import(HistoryMailLines({sample, pic}));
  EXPECT_EQ(result.stored, 1);
  EXPECT_EQ(result.notStored, 0) << "a sample the filter drops is no failure";
  const auto received = qvtest::ReadLiveMails(J("受信簿"));
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].text, multipart);
  EXPECT_EQ(received[0].row[qv::kColAttachments], "1");
  EXPECT_EQ(qv::ImportReport(true, result), J("KメールDX履歴を 1 件受信しました"));
}

TEST_F(MailHistoryTest, DamagedRecordsAreSkippedAndTheRestIsStored) {
  // Records A, B (three lines) and C, then what each case does to them.
  const HandsetLines a = HistoryMailLines({Dx("A")}, false, 0);
  const HandsetLines b = HistoryMailLines({Dx("B", 0, std::string(600, 'b'))}, false, 1);
  const HandsetLines c = HistoryMailLines({Dx("C", 0, std::string(600, 'c'))}, true, 2);
  ASSERT_EQ(b.size(), 3u);
  auto line = [](int flag, const std::string& items) { return qv::FormatHandsetFrameLine(flag, items); };
  const std::string header = qv::EncodeRecordHeader("2003/01/15", 1, 0, 0, 0, 0, 2);
  const int bLast = 0 * 4 + 2;  // B's parity (the second record) with its last-line flag
  struct Case {
    const char* what;
    std::function<HandsetLines()> lines;
    std::vector<std::string> stored;
    int damaged;
  };
  auto with = [&](std::function<void(HandsetLines&)> change) {
    return [=] {
      HandsetLines bLines = b;
      change(bLines);
      HandsetLines all = a;
      all.insert(all.end(), bLines.begin(), bLines.end());
      all.insert(all.end(), c.begin(), c.end());
      return all;
    };
  };
  const std::vector<Case> cases = {
      {"a short line inside B", with([](HandsetLines& l) { l[1] = "0A4D52"; }), {"A", "C"}, 1},
      {"a line that is not hex", with([](HandsetLines& l) { l[1][30] = 'Z'; }), {"A", "C"}, 1},
      {"a length byte that does not fit", with([](HandsetLines& l) { l[0] = "FE" + l[0].substr(2); }), {"A", "C"}, 1},
      {"B's last line damaged", with([](HandsetLines& l) { l[2] = "zz"; }), {"A", "C"}, 1},
      {"B's last line lost", with([](HandsetLines& l) { l.pop_back(); }), {"A", "C"}, 1},
      {"a header cut short", with([&](HandsetLines& l) { l = {line(bLast, "1005050011223344")}; }), {"A", "C"}, 1},
      {"a chunk count past its value", with([&](HandsetLines& l) { l = {line(bLast, "10050D" + header + "50414243")}; }),
       {"A", "C"}, 1},
      {"a Kメール number past its value",
       with([&](HandsetLines& l) { l = {line(bLast, "10030D" + header + "40003039")}; }), {"A", "C"}, 1},
      {"items that do not split", with([&](HandsetLines& l) { l = {line(bLast, "1005FF00")}; }), {"A", "C"}, 1},
      {"no history item: no mail", with([&](HandsetLines& l) { l = {line(bLast, "20010141")}; }), {"A", "C"}, 0},
      {"the file cut short", [&] {
         HandsetLines all = a;
         all.insert(all.end(), b.begin(), b.end());
         all.insert(all.end(), c.begin(), c.end());
         all.pop_back();
         return all;
       },
       {"A", "B"}, 1},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.what);
    std::filesystem::remove_all(tmp_.path() / "app" / "MailLog");
    std::filesystem::create_directories(tmp_.path() / "app" / "MailLog");
    const qv::HistoryImport result = Import(t.lines());
    EXPECT_EQ(Subjects("受信簿"), t.stored);
    EXPECT_EQ(result.stored, static_cast<int>(t.stored.size()));
    EXPECT_EQ(result.damaged, t.damaged);
  }
}

TEST_F(MailHistoryTest, MailsAFolderDoesNotTakeAreToldAsNotStoredAndTheOtherFolderStillGetsItsOwn) {
  {
    qv::MailFolder held;
    ASSERT_TRUE(held.Open(J("受信簿")));
    const qv::HistoryImport result =
        Import(HistoryMailLines({Dx("in 1"), Dx("out", 1), Dx("in 2"), Short(0x1003, "0901", "x")}));
    EXPECT_EQ(result.stored, 1);
    EXPECT_EQ(result.notStored, 3);
    EXPECT_EQ(qv::ImportReport(true, result),
              J("KメールDX履歴を 1 件受信しました\r\nKメールDX履歴の 3 件を保存できませんでした"));
  }
  EXPECT_EQ(Subjects("送信簿"), std::vector<std::string>{"out"});
  EXPECT_TRUE(Subjects("受信簿").empty());
  EXPECT_EQ(qv::ImportHistoryFile(tmp_.path() / "app" / "none.dat").stored, 0) << "no file: nothing";
}

TEST_F(MailHistoryTest, AMailTheStoreCannotTakeIsToldAndTheMailsAroundItAreStored) {
  // The exchange file first, while files may still grow.
  WriteLines(HistoryMailLines({Dx("small 1"), Dx("huge", 0, std::string(64 * 1024, 'h')), Dx("small 2")}));
  qv::HistoryImport result;
  {
    qvtest::FileSizeLimit limit(32 * 1024);
    ASSERT_TRUE(limit.Set());
    result = qv::ImportHistoryFile(File());
  }
  EXPECT_EQ(result.stored, 2);
  EXPECT_EQ(result.notStored, 1);
  EXPECT_EQ(Subjects("受信簿"), (std::vector<std::string>{"small 1", "small 2"}));
}

// The records of an exported file as the handset would take them: their
// parities, whether each ends the file, and the mails they hold.
struct ReadBack {
  std::vector<int> parities;
  std::vector<bool> endsFile;
  std::vector<qv::HistoryMail> mails;
  int damaged = 0;
};
ReadBack ReadExport(const std::filesystem::path& file) {
  ReadBack back;
  HandsetLines lines;
  EXPECT_TRUE(qv::HandsetExchangeFile::Read(file, lines));
  for (const auto& l : lines) {
    qv::HandsetFrameLine frame;
    EXPECT_TRUE(qv::ParseHandsetFrameLine(l, frame)) << l;
    if (!(frame.flag & qv::HandsetFrameLine::kLastLine)) continue;
    back.parities.push_back((frame.flag >> 2) & 1);
    back.endsFile.push_back(frame.flag & qv::HandsetFrameLine::kLastRecord);
  }
  back.mails = qv::DecodeHistoryLines(lines, back.damaged);
  return back;
}

TEST_F(MailHistoryTest, AnExportFramesTheLiveReadableMailsOfItsKindsAndCountsOnlyWhatItWrote) {
  const std::string big(1200, 'q');
  Stage(8, "4142\r\n", J("携帯: 09012345678"));
  const std::string gone = Stage(1, Mail("deleted"));
  Stage(3, Mail("email", big));
  const std::string broken = Stage(1, Mail("broken"));
  Stage(9, "43\r\n", "0701112222");
  Stage(1, Mail("direct"));
  Stage(20, "x\r\n");
  {
    // One row deleted but not compacted away, one whose bytes run past the store.
    qv::MailFolder f;
    ASSERT_TRUE(f.Open(J("データ転送")));
    ASSERT_TRUE(qv::MarkMessage(f.Index(), gone));
    for (int r = 0; r < f.Index().RowCount(); ++r)
      if (qv::IndexCell(f.Index(), r, qv::kColId) == broken) qv::SetIndexCell(f.Index(), r, qv::kColEnd, "999999");
    ASSERT_TRUE(f.SaveIndex());
  }
  const auto before = qvtest::IndexRows(tmp_.path() / "app" / "MailLog", J("データ転送"));
  const std::vector<std::pair<bool, const char*>> startOdd = {{true, "1"}, {false, "0"}};
  for (const auto& [odd, value] : startOdd) {
    SCOPED_TRACE(value);
    SetIni("Environment", "DuplicationFlagStartOdd", value);
    const qv::HistoryExport dx = qv::ExportHistoryFile(File(), true);
    EXPECT_EQ(dx.records, 2);
    EXPECT_EQ(dx.skipped, 1) << "the row that cannot be read";
    EXPECT_TRUE(dx.saved);
    const ReadBack dxBack = ReadExport(File());
    EXPECT_EQ(dx.lines, 1 + 6) << "the e-mail takes six lines";
    const int first = odd ? 1 : 0;
    EXPECT_EQ(dxBack.parities, (std::vector<int>{first, 1 - first}));
    EXPECT_EQ(dxBack.endsFile, (std::vector<bool>{false, true}));
    ASSERT_EQ(dxBack.mails.size(), 2u);
    EXPECT_EQ(dxBack.mails[0].text, Mail("email", big));
    EXPECT_EQ(dxBack.mails[0].row[qv::kColKind], "3");
    EXPECT_EQ(dxBack.mails[1].text, Mail("direct"));
    EXPECT_EQ(qv::ExportNotes(true, dx), J("KメールDX履歴の 1 件は読み込めなかったため送信しませんでした"));

    const qv::HistoryExport k = qv::ExportHistoryFile(File(), false);
    EXPECT_EQ(k.records, 2);
    EXPECT_EQ(k.lines, 2);
    EXPECT_EQ(k.skipped, 1) << "kind 20 is no handset mail";
    const ReadBack kBack = ReadExport(File());
    EXPECT_EQ(kBack.parities, (std::vector<int>{first, 1 - first}));
    EXPECT_EQ(kBack.endsFile, (std::vector<bool>{false, true}));
    ASSERT_EQ(kBack.mails.size(), 2u);
    EXPECT_EQ(kBack.mails[0].row[qv::kColKind], "8");
    EXPECT_EQ(kBack.mails[0].row[qv::kColExtra], "09012345678");
    EXPECT_EQ(kBack.mails[0].text, "4142\r\n");
    EXPECT_EQ(kBack.mails[1].row[qv::kColKind], "9");
    EXPECT_EQ(kBack.mails[1].row[qv::kColProtected], "1");
  }
  EXPECT_EQ(qvtest::IndexRows(tmp_.path() / "app" / "MailLog", J("データ転送")), before) << "the mails stay";
}

TEST_F(MailHistoryTest, ThePeerIsCutToTheHandsetsThirtyTwoDigits) {
  const std::string digits40 = "0123456789012345678901234567890123456789";
  for (const std::string& number : {digits40, std::string(300, '7')}) {
    std::filesystem::remove_all(tmp_.path() / "app" / "MailLog");
    std::filesystem::create_directories(tmp_.path() / "app" / "MailLog");
    Stage(8, "41\r\n", number);
    const qv::HistoryExport k = qv::ExportHistoryFile(File(), false);
    ASSERT_EQ(k.records, 1) << number.size();
    const ReadBack back = ReadExport(File());
    ASSERT_EQ(back.mails.size(), 1u);
    EXPECT_EQ(back.mails[0].row[qv::kColExtra], number.substr(0, 32));
    EXPECT_EQ(back.endsFile, std::vector<bool>{true});
  }
}

TEST_F(MailHistoryTest, NothingIsWrittenWithoutTheStagingFolderOrWhileItIsHeld) {
  qvtest::WriteFile(File(), "earlier");
  EXPECT_EQ(qv::ExportHistoryFile(File(), true).lines, 0);
  EXPECT_FALSE(std::filesystem::exists(tmp_.path() / "app" / "MailLog" / "データ転送.qvm"));
  Stage(1, Mail("staged"));
  {
    qv::MailFolder held;
    ASSERT_TRUE(held.Open(J("データ転送")));
    EXPECT_EQ(qv::ExportHistoryFile(File(), true, qvtest::QuickRetry()).lines, 0);
  }
  EXPECT_EQ(qvtest::ReadFile(File()), "earlier");
  EXPECT_EQ(qv::ExportHistoryFile(File(), true).lines, 1);
}

}  // namespace
