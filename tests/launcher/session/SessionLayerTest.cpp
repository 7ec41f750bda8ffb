// The session layer alone: a whole send and receive against the simulated
// handset through the built Portvine.so, with no window and no Qt in the
// process. The module's posted events reach the session through a window id
// of the platform's handle table; a recording view and host stand in for the
// session dialog and the launcher.
#include "HeadlessSession.h"
#include "MailFolders.h"
#include "core/data/CSVData.h"
#include "core/data/TextFunctions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using qvtest::Sjis;

class SessionLayerTest : public ::testing::Test {
 protected:
  void StartHandset(handsetsim::SimConfig config) {
    std::string error;
    ASSERT_TRUE(launcher_.StartHandset(std::move(config), 20, &error)) << error;
  }
  // A mail waiting in "送信予約" as the compose window leaves it.
  void Queue(int kind, const std::string& text) {
    qv::MailIndexRow row;
    qv::BuildIndexRow(row, kind, 0, 1, 0, 1, 1, 0, "07012345678", qv::GetHeaderValue(text, "To"),
                      qv::GetHeaderValue(text, "Subject"), "", "");
    ASSERT_FALSE(qvtest::AppendMail(qv::FixedFolderName(qv::FixedFolder::Queued), text, row).empty());
  }
  qv::SessionResult Run(qv::SessionMode mode, bool receiveAll) {
    return launcher_.Run(mode, {.receiveAll = receiveAll});
  }
  std::vector<qv::TCSVRow> Rows(const std::string& folder) { return qvtest::IndexRows(dir_ / "MailLog", folder); }
  std::string Store(const std::string& folder) { return qvtest::StoreBytes(dir_ / "MailLog", folder); }

  qvtest::TempDir tmp_;
  std::filesystem::path dir_ = tmp_.path() / "app";
  qvtest::HeadlessLauncher launcher_{dir_};
  qv::SerialLink& link_ = launcher_.link;
  qvtest::RecordingView& view_ = launcher_.view;
  qvtest::RecordingHost& host_ = launcher_.host;
};

const std::string kQueue = Sjis("送信予約"), kSent = Sjis("送信簿"), kInbox = Sjis("受信簿");

TEST_F(SessionLayerTest, SendAndReceiveRunsWholeWithoutAWindow) {
  const handsetsim::SimConfig centre = handsetsim::MakeMailbox(3, 600);
  const std::string direct = Sjis("To: 09011112222\r\nSubject: 直送\r\n\r\n今から帰ります\r\n");
  const std::string email = "To: friend@example.jp\r\nSubject: hello\r\n\r\nbody\r\n";
  Queue(3, email);
  Queue(1, direct);
  StartHandset(centre);

  EXPECT_EQ(Run(qv::SessionMode::SendAndReceive, true), qv::SessionResult::Done);
  EXPECT_FALSE(link_.Busy()) << "the session ends once the module is idle";

  const handsetsim::SimRecord r = launcher_.Sim().Record();
  EXPECT_EQ(r.accepted, (std::vector<std::string>{direct, email})) << "the direct mail first, then the e-mail";
  EXPECT_EQ(r.dialled, (std::vector<std::string>{"09011112222", "0570001234##3"}));
  EXPECT_EQ(r.closeCodes, (std::vector<std::string>{"0000", "0000"}));
  EXPECT_EQ(Store(kSent), direct + email);
  EXPECT_EQ(Rows(kQueue).size(), 0u) << "the queue is compacted once everything went";
  std::string bodies;
  for (const auto& mail : centre.mails) bodies += mail.body;
  EXPECT_EQ(Store(kInbox), bodies);
  ASSERT_EQ(Rows(kInbox).size(), 3u);
  EXPECT_EQ(Rows(kInbox)[2][qv::kColFrom], "from3@example.jp");

  // What the dialog and the launcher were given on the way.
  EXPECT_EQ(view_.numbers, (std::vector<std::string>{"09011112222", "", "0570001234"}));
  EXPECT_EQ(view_.progress.front(), "max 1");
  EXPECT_NE(std::find(view_.progress.begin(), view_.progress.end(), "max 3"), view_.progress.end())
      << "the fetch counts the listed mails";
  EXPECT_GT(view_.lastSize, 0);
  EXPECT_FALSE(view_.statuses.empty()) << "progress events become status texts";
  EXPECT_EQ(host_.sentSounds, 2);
  EXPECT_EQ(host_.notices, std::vector<std::string>{Sjis("送信完了")});
  EXPECT_EQ(host_.peer, "0570001234");
}

TEST_F(SessionLayerTest, TheSelectiveListIsAskedThroughTheView) {
  std::vector<size_t> offered;
  view_.onChoose = [&](const std::vector<std::string>& lines, std::vector<std::string>& chosen) {
    offered.push_back(lines.size());
    if (offered.size() > 1) return qv::SelectAnswer::End;
    chosen = {lines.back()};
    return qv::SelectAnswer::Receive;
  };
  StartHandset(handsetsim::MakeMailbox(3, 300));
  EXPECT_EQ(Run(qv::SessionMode::ReceiveMail, false), qv::SessionResult::Done);
  EXPECT_EQ(offered, (std::vector<size_t>{3, 3})) << "offered again after the chosen mail came in";
  ASSERT_EQ(Rows(kInbox).size(), 1u);
  EXPECT_EQ(Rows(kInbox)[0][qv::kColFrom], "from3@example.jp") << "only the chosen mail";
  EXPECT_FALSE(link_.Busy());
}

TEST_F(SessionLayerTest, TheListingShowsThePagesReadAndTheMailsListedAsItGoes) {
  handsetsim::SimConfig centre = handsetsim::MakeMailbox(7, 300);
  centre.listPageBytes = 150;  // two mails a page
  StartHandset(centre);
  EXPECT_EQ(Run(qv::SessionMode::ReceiveMail, true), qv::SessionResult::Done);
  const auto fetch = std::find(view_.progress.begin(), view_.progress.end(), "max 7");
  ASSERT_NE(fetch, view_.progress.end());
  EXPECT_EQ(std::vector<std::string>(view_.progress.begin(), fetch + 1),
            (std::vector<std::string>{"listed 0 on 0 pages", "listed 2 on 1 pages", "listed 4 on 2 pages",
                                      "listed 6 on 3 pages", "listed 7 on 4 pages", "max 7"}))
      << "then the fetch counts the listed mails";
  EXPECT_EQ(Rows(kInbox).size(), 7u);
}

}  // namespace
