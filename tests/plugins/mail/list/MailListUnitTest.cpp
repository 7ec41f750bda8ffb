// The list window linked into the test, where a test needs windows of its
// own beside it: compose windows and viewers that the list finds, renames and
// asks to close, and what opening a stored mail hands to them.
#include "core/data/MailStore.h"
#include "core/ui/QtText.h"
#include "platform/IniFile.h"
#include "abi/PluginApi.h"
#include "plugins/mail/MailHost.h"
#include "plugins/mail/MailWindows.h"
#include "plugins/mail/list/QvMailListFRM.h"
#include "plugins/mail/compose/QvMailSendFRM.h"

#include "MailFolders.h"
#include "TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

std::string J(std::string_view utf8) { return qvtest::Sjis(utf8); }

// A compose window or viewer as the list sees one; its close answer is set
// by the test and every question it is asked is logged.
class FakeMailWindow : public QWidget, public qv::TMailWindow {
 public:
  FakeMailWindow(bool compose, std::string folder, std::string id, std::string name, std::vector<std::string>& log)
      : compose_(compose), folder_(std::move(folder)), id_(std::move(id)), name_(std::move(name)), log_(log) {}
  QWidget* Window() override { return this; }
  bool IsComposeWindow() const override { return compose_; }
  std::string MailId() const override { return id_; }
  std::string FolderName() const override { return folder_; }
  void SetFolderName(std::string_view folder) override { folder_ = folder; }
  bool agree = true;

 protected:
  void closeEvent(QCloseEvent* e) override {
    log_.push_back(name_);
    if (agree)
      e->accept();
    else
      e->ignore();
  }

 private:
  bool compose_;
  std::string folder_, id_, name_;
  std::vector<std::string>& log_;
};

std::vector<std::pair<int32_t, int32_t>> g_params;

class MailListWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    launcher_ = std::make_unique<qvtest::ScopedLauncherDir>(tmp_.path() / "app");
    std::filesystem::create_directories(tmp_.path() / "app" / "MailLog");
    g_params.clear();
    qv::SetHostParamCallback([](int32_t kind, int32_t value) -> QvBool {
      g_params.emplace_back(kind, value);
      return 1;
    });
  }
  void TearDown() override {
    qv::TfrmMailList::SetMailOpener({});
    qv::SetHostParamCallback(nullptr);
    list_.reset();
    launcher_.reset();
  }

  std::string Add(const char* folder, std::string_view text, int kind, bool outgoing, bool unread, const char* subject) {
    qv::MailIndexRow row;
    qv::BuildIndexRow(row, kind, 0, unread, 0, outgoing, 1, 0, "a@example.jp", "b@example.jp", J(subject), "", "");
    std::string id;
    EXPECT_TRUE(qv::AddMessageToFolder(J(folder), text, row, id));
    return id;
  }
  std::vector<std::string> UnreadColumn(const char* folder) {
    std::vector<std::string> out;
    qv::MailFolder f;
    EXPECT_TRUE(f.Open(J(folder)));
    for (int r = 0; r < f.Index().RowCount(); ++r) out.emplace_back(qv::IndexCell(f.Index(), r, qv::kColUnread));
    return out;
  }
  void Show() {
    list_ = std::make_unique<qv::TfrmMailList>();
    list_->show();
  }
  void Select(std::initializer_list<int> rows) {
    list_->lsvMail->clearSelection();
    for (int r : rows)
      list_->lsvMail->selectionModel()->select(list_->lsvMail->model()->index(r, 0),
                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  std::string Cell(int row, int col) { return list_->lsvMail->model()->index(row, col).data().toString().toStdString(); }

  qvtest::TempDir tmp_;
  std::unique_ptr<qvtest::ScopedLauncherDir> launcher_;
  std::unique_ptr<qv::TfrmMailList> list_;
  std::vector<std::string> log_;
};

TEST_F(MailListWindowTest, OpeningMarksIncomingMailReadAndHandsEveryMailToItsWindow) {
  const std::string m1 = Add("受信簿", "Subject: one\r\n\r\nbody\r\n", 3, false, true, "one");
  const std::string m2 = Add("受信簿", "Subject: two\r\n\r\n\r\n", 3, true, true, "two");
  Add("受信簿", "x\r\n", 1, false, true, "three");
  std::vector<qv::MailOpenRequest> opened;
  Show();
  EXPECT_FALSE(list_->actMailOpen->isEnabled()) << "no window opens stored mail yet";
  qv::TfrmMailList::SetMailOpener([&](qv::TfrmMailList&, const qv::MailOpenRequest& r) { opened.push_back(r); });
  Select({0, 1});
  for (QAction* a : {list_->actMailOpen, list_->actRes, list_->actResAll, list_->actTransfer}) EXPECT_TRUE(a->isEnabled());
  list_->OpenMails(qv::TfrmMailList::kReply);
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0].mode, 1);
  EXPECT_EQ(opened[0].folder, J("受信簿"));
  EXPECT_EQ(opened[0].id, m1);
  EXPECT_EQ(opened[0].text, "Subject: one\r\n\r\nbody\r\n");
  EXPECT_EQ(opened[0].row[qv::kColUnread], "1") << "the row as it was before the read mark";
  EXPECT_EQ(opened[1].id, m2);
  // Replying reads an incoming mail; an unsent outgoing one stays unsent.
  EXPECT_EQ(UnreadColumn("受信簿"), (std::vector<std::string>{"0", "1", "1"}));
  EXPECT_EQ(Cell(0, 1), "");
  EXPECT_EQ(Cell(0, 0), "Eメール受信");
  EXPECT_EQ(Cell(1, 0), "Eメール未送信");
  EXPECT_EQ(Cell(2, 1), "未読");
  EXPECT_EQ(g_params, (std::vector<std::pair<int32_t, int32_t>>{{0, 0}})) << "the host's status line is reset";
}

TEST_F(MailListWindowTest, TheToColumnShowsTheRecipientsWithoutTheirDeliveryTimes) {
  Show();
  list_->resize(760, 300);
  qv::frmMailList = list_.get();
  list_->trvFolder->setCurrentItem(list_->trvFolder->topLevelItem(3));
  ASSERT_EQ(list_->pnlListName->text().trimmed(), QString::fromUtf8("送信予約"));
  // Queued from the compose window, the delivery times stored in front of the addresses.
  auto* compose = new qv::TfrmMailSend;
  compose->SetRetryPolicy(qvtest::QuickRetry(3));
  compose->edtTo->setText(QString::fromUtf8("2026/12/11/0905<a@b.jp>(山田),2026/12/11<c@d.jp>"));
  compose->edtSubject->setText(QStringLiteral("timed"));
  compose->actSendReserve->trigger();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_EQ(list_->lsvMail->model()->rowCount(), 1);
  EXPECT_EQ(Cell(0, 5), "a@b.jp,c@d.jp");
  // Names and numbers stay as they are stored.
  struct Case {
    const char* stored;
    const char* shown;
  } cases[] = {
      {"2026/12/11/0905<a@b.jp>(山田)", "a@b.jp(山田)"},
      {"2026/12/11<c@d.jp>,Taro<e@f.jp>(太郎)", "c@d.jp,Taro<e@f.jp>(太郎)"},
      {"2026 : 12 : 11<c@d.jp>", "c@d.jp"},
      {"Taro<e@f.jp>,g@h.jp(花子)", "Taro<e@f.jp>,g@h.jp(花子)"},
      {"09011112222(山田)", "09011112222(山田)"},
  };
  for (const Case& c : cases) {
    qv::MailIndexRow row;
    qv::BuildIndexRow(row, 3, 0, 1, 0, 1, 1, 0, "a@example.jp", J(c.stored), "s", "", "");
    std::string id;
    ASSERT_TRUE(qv::AddMessageToFolder(J("送信予約"), "To: x\r\n\r\n", row, id));
  }
  list_->ShowFolder(J("送信予約"));
  ASSERT_EQ(list_->lsvMail->model()->rowCount(), 1 + static_cast<int>(std::size(cases)));
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].stored);
    const QModelIndex cell = list_->lsvMail->model()->index(static_cast<int>(i) + 1, 5);
    EXPECT_EQ(cell.data().toString().toStdString(), cases[i].shown);
  }
  ASSERT_TRUE(list_->grab().save(QString::fromStdString(qvtest::ArtifactPath("mail-list-to-column.png").string())));
  qv::frmMailList = nullptr;
}

TEST_F(MailListWindowTest, AMailAlreadyShownInAWindowIsBroughtUpInsteadOfOpenedAgain) {
  const std::string m1 = Add("受信簿", "a\r\n", 3, false, true, "one");
  const std::string m2 = Add("受信簿", "b\r\n", 3, false, true, "two");
  FakeMailWindow viewer(false, J("受信簿"), m1, "viewer", log_);
  FakeMailWindow elsewhere(true, J("送信簿"), m2, "other folder", log_);
  std::vector<qv::MailOpenRequest> opened;
  qv::TfrmMailList::SetMailOpener([&](qv::TfrmMailList&, const qv::MailOpenRequest& r) { opened.push_back(r); });
  Show();
  EXPECT_EQ(qv::FindOpenWindow(J("受信簿"), m1), &viewer);
  EXPECT_EQ(qv::FindOpenWindow(J("受信簿"), m2), nullptr) << "the same id in another folder is another mail";
  Select({0, 1});
  list_->OpenMails(qv::TfrmMailList::kForward);
  EXPECT_TRUE(viewer.isVisible());
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].id, m2);
  EXPECT_EQ(opened[0].mode, 3);
  EXPECT_EQ(UnreadColumn("受信簿"), (std::vector<std::string>{"1", "0"}));
}

TEST_F(MailListWindowTest, CloseFormAsksTheComposeWindowsAndStopsAtTheFirstRefusal) {
  Show();
  ASSERT_TRUE(PluginInitialize());
  auto first = std::make_unique<FakeMailWindow>(true, "", "", "first", log_);
  auto viewer = std::make_unique<FakeMailWindow>(false, "", "", "viewer", log_);
  auto second = std::make_unique<FakeMailWindow>(true, "", "", "second", log_);
  for (QWidget* w : {static_cast<QWidget*>(first.get()), static_cast<QWidget*>(viewer.get()),
                     static_cast<QWidget*>(second.get())})
    w->show();
  ShowForm();
  first->agree = false;
  EXPECT_FALSE(CloseForm());
  EXPECT_EQ(log_, std::vector<std::string>{"first"});
  EXPECT_TRUE(first->isVisible());
  EXPECT_TRUE(second->isVisible());
  EXPECT_TRUE(qv::frmMailList->isVisible());
  log_.clear();
  first->agree = true;
  EXPECT_TRUE(CloseForm());
  EXPECT_EQ(log_, (std::vector<std::string>{"first", "second"})) << "viewers are not asked";
  EXPECT_FALSE(first->isVisible());
  EXPECT_FALSE(second->isVisible());
  EXPECT_TRUE(viewer->isVisible());
  EXPECT_FALSE(qv::frmMailList->isVisible());
  // The module goes after PluginFinalize: no window of its code may stay.
  first.release();
  viewer.release();
  second.release();
  EXPECT_TRUE(PluginFinalize());
  EXPECT_EQ(qv::frmMailList, nullptr);
  EXPECT_TRUE(qv::OpenMailWindows().empty());
}

TEST_F(MailListWindowTest, ARenamedFolderIsRenamedInTheWindowsThatShowItsMails) {
  Add("仕事", "a\r\n", 3, false, false, "w");
  FakeMailWindow inFolder(false, J("仕事"), "1", "v", log_);
  FakeMailWindow other(true, J("受信簿"), "1", "c", log_);
  Show();
  QTreeWidgetItem* node = list_->trvFolder->topLevelItem(6);
  ASSERT_EQ(node->text(0).toStdString(), "仕事");
  list_->trvFolder->setCurrentItem(node);
  ASSERT_TRUE(list_->RenameFolder(node, J("仕事2")));
  EXPECT_EQ(inFolder.FolderName(), J("仕事2"));
  EXPECT_EQ(other.FolderName(), J("受信簿"));
  EXPECT_EQ(list_->ShownFolder(), J("仕事2"));
}

TEST_F(MailListWindowTest, ThePictographTableComesFromItsFileOrTheBuiltInNames) {
  Show();
  ASSERT_EQ(list_->PicTextLines().size(), 95u);
  EXPECT_EQ(list_->PicTextLines().front(), "HEART");
  EXPECT_EQ(list_->PicTextLines()[35], "MAIL");
  EXPECT_EQ(list_->PicTextLines().back(), "!!");
  list_.reset();
  qvtest::WriteFile(tmp_.path() / "app" / "Pictext.txt", "HEART=\xF0\x40\r\nCLOCK=\xF0\x41\nSTAR=\xF0\x42");
  Show();
  EXPECT_EQ(list_->PicTextLines(), (std::vector<std::string>{"HEART=\xF0\x40", "CLOCK=\xF0\x41", "STAR=\xF0\x42"}));
  list_.reset();
  qv::IniFile(tmp_.path() / "app" / "Quorvel.ini").WriteString("File", "PicTextFile", "pict/table.txt");
  qvtest::WriteFile(tmp_.path() / "app" / "pict" / "table.txt", "DOG=\xF0\x50\r\n");
  Show();
  EXPECT_EQ(list_->PicTextLines(), std::vector<std::string>{"DOG=\xF0\x50"});
}

}  // namespace
