// The mail plug-in as the launcher loads it: the built QvMail.qpl through the
// host's plug-in holder, real mail folders in a temporary mail folder, and
// the folder files read back with the core library after every action.
#include "MailListFixture.h"
#include "QtPump.h"

#include "FileSizeLimit.h"
#include "ReadOnlyFolder.h"
#include "core/ui/QtText.h"
#include "platform/IniFile.h"
#include "QtPump.h"

#include <QAction>
#include <QApplication>
#include <QDragMoveEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace mailtest;
using Rows = std::vector<std::vector<std::string>>;

namespace {

std::string Text(size_t size) { return std::string(size - 2, 'x') + "\r\n"; }

const std::vector<std::string> kFixedFolders = {"受信簿", "送信簿", "データ転送", "送信予約", "下書き", "ゴミ箱"};

std::vector<std::string> Subjects(const std::vector<std::pair<std::string, std::string>>& mails) {
  std::vector<std::string> out;
  for (const auto& m : mails) out.push_back(m.first);
  return out;
}

// Sets or clears the immutable flag (root may still not rename such a file).
bool SetImmutable(const std::filesystem::path& path, bool on) {
  int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return ok;
}

}  // namespace

TEST_F(MailListTest, TheTreeHoldsTheFixedFoldersThenEveryOtherIndexFileByName) {
  AddMail("受信簿", Text(10));
  AddMail("仕事", Text(10));
  AddMail("Archive", Text(10));
  AddMail("家族", Text(10));
  AddMail("ゴミ箱", Text(10));
  qvtest::WriteFile(MailDir() / "notes.txt", "not a folder");
  qvtest::WriteFile(MailDir() / "メモ.qvs", "a store without its index");
  Load();
  std::vector<std::string> expected = kFixedFolders;
  // By their CP932 bytes: 家 (89C6) before 仕 (8E64).
  for (const char* user : {"Archive", "家族", "仕事"}) expected.push_back(user);
  EXPECT_EQ(FolderNodes(), expected);
  EXPECT_EQ(Window()->windowTitle().toStdString(), "VeoQuorvel - メール");
  EXPECT_EQ(ShownFolder(), "受信簿");
  EXPECT_EQ(CountText(), "1 件 ");
  // Only user folders can be renamed.
  for (int i = 0; i < Tree()->topLevelItemCount(); ++i)
    EXPECT_EQ(bool(Tree()->topLevelItem(i)->flags() & Qt::ItemIsEditable), i >= 6) << i;
}

TEST_F(MailListTest, UserFoldersAreTheFilesUnderTheirOwnNamesAndOldCp932NamesAreTakenOver) {
  AddMail("友達", Text(10), {.subject = "friend"});
  AddMail("旧友", Text(10), {.subject = "old friend"});
  // The old one as an earlier version wrote it, under its CP932 bytes.
  for (const char* ext : {".qvm", ".qvs"})
    std::filesystem::rename(MailDir() / (std::string("旧友") + ext), MailDir() / (J("旧友") + ext));
  // One made in a file manager, with a name CP932 has no form for.
  AddMail("Friends", Text(10), {.subject = "cafe"});
  for (const char* ext : {".qvm", ".qvs"})
    std::filesystem::rename(MailDir() / (std::string("Friends") + ext), MailDir() / (std::string("Café") + ext));
  Load();
  std::vector<std::string> expected = kFixedFolders;
  // By their CP932 bytes (旧 8B8C, 友 9746); a name without one comes last.
  for (const char* user : {"旧友", "友達", "Café"}) expected.push_back(user);
  EXPECT_EQ(FolderNodes(), expected);
  EXPECT_TRUE(std::filesystem::exists(IndexFile("旧友")));
  EXPECT_FALSE(std::filesystem::exists(MailDir() / (J("旧友") + ".qvm")));
  for (const char* folder : {"友達", "旧友", "Café"}) {
    SCOPED_TRACE(folder);
    ClickFolder(folder);
    EXPECT_EQ(ShownFolder(), folder);
    EXPECT_EQ(CountText(), "1 件 ");
  }
  // Renamed in the tree, a folder takes the typed name on disk.
  Node("Café")->setText(0, QStringLiteral("カフェ"));
  EXPECT_TRUE(std::filesystem::exists(IndexFile("カフェ")));
  EXPECT_FALSE(std::filesystem::exists(IndexFile("Café")));
  EXPECT_EQ(Subjects(LiveMails("カフェ")), std::vector<std::string>{"cafe"});
}

TEST_F(MailListTest, FolderFilesNamedNeitherInUtf8NorInCp932AreListedOpenedRenamedAndDeleted) {
  // Names a file manager or another program may leave: no text in either code.
  const std::string odd = "odd\xFD\xFE", bad = "bad\xFF\x80";
  AddMail("Odd", Text(10), {.subject = "o1"});
  AddMail("Odd", Text(10), {.subject = "o2"});
  AddMail("Bad", Text(10), {.subject = "b1"});
  for (const char* ext : {".qvm", ".qvs"}) {
    std::filesystem::rename(IndexFile("Odd").replace_extension(ext), MailDir() / (odd + ext));
    std::filesystem::rename(IndexFile("Bad").replace_extension(ext), MailDir() / (bad + ext));
  }
  Load();
  // Shown as far as the bytes are text; the node still names those bytes.
  const std::string oddCaption = QString::fromUtf8(odd).toStdString(), badCaption = QString::fromUtf8(bad).toStdString();
  ASSERT_NE(Node(oddCaption), nullptr);
  ASSERT_NE(Node(badCaption), nullptr);
  ClickFolder(oddCaption);
  EXPECT_EQ(CountText(), "2 件 ");
  EXPECT_EQ(ListColumn(6), (std::vector<std::string>{"o1", "o2"}));
  SelectSubjects({"o1"});
  Trigger("actMailOpen");
  bool viewer = false;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "frmMailReceive" && w->isVisible()) {
      viewer = true;
      w->close();
    }
  EXPECT_TRUE(viewer) << "the mail opens";

  Node(oddCaption)->setText(0, QStringLiteral("変な名前"));
  EXPECT_EQ(ShownFolder(), "変な名前");
  EXPECT_EQ(Subjects(LiveMails("変な名前")), (std::vector<std::string>{"o1", "o2"}));
  EXPECT_FALSE(std::filesystem::exists(MailDir() / (odd + ".qvm")));
  EXPECT_FALSE(std::filesystem::exists(MailDir() / (odd + ".qvs")));

  ClickFolder(badCaption);
  {
    BoxAnswers boxes({QMessageBox::Yes});
    Trigger("actDelFolder");
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_TRUE(boxes.Texts()[0].ends_with("フォルダを削除してもよろしいですか？")) << boxes.Texts()[0];
  }
  EXPECT_EQ(Node(badCaption), nullptr);
  EXPECT_FALSE(std::filesystem::exists(MailDir() / (bad + ".qvm")));
  EXPECT_FALSE(std::filesystem::exists(MailDir() / (bad + ".qvs")));
  EXPECT_EQ(Subjects(LiveMails("ゴミ箱")), std::vector<std::string>{"b1"});
}

TEST_F(MailListTest, EveryKindIsListedWithItsCaptionsMarksSizeAndDate) {
  struct Case {
    MailSpec spec;
    size_t size;
    std::vector<std::string> cells;  // 種別 未読 添付 保護 差出人 宛先 表題 サイズ 日付
  };
  const std::string p1 = "09011112222", p2 = "08033334444";
  const std::string e1 = "from@example.jp", e2 = "to@example.jp";
  const std::string d = "2024/05/01 10:00:00";
  const std::vector<Case> cases = {
      {{1, false, true, false, false, p1, p2, "直送", d}, 100,
       {"直送メール受信", "未読", "", "", p1, p2, "直送", "98", d}},
      {{2, false, false, false, false, p1, p2, "チャット", d}, 12,
       {"チャットメール受信", "", "", "", p1, p2, "チャット", "10", d}},
      {{3, false, false, true, true, e1, e2, "添付と保護", d}, 2,
       {"Eメール受信", "", "添付あり", "保護", e1, e2, "添付と保護", "0", d}},
      {{3, true, true, false, false, e2, e1, "未送信", d}, 30, {"Eメール未送信", "", "", "", e2, e1, "未送信", "28", d}},
      {{3, true, false, false, false, e2, e1, "送信済み", d}, 30, {"Eメール送信", "", "", "", e2, e1, "送信済み", "28", d}},
      {{4, false, false, false, false, p1, p2, "情報", d}, 5, {"情報サービス受信", "", "", "", p1, p2, "情報", "3", d}},
      {{7, true, true, false, false, p2, p1, "予約", d}, 5, {"予約未送信", "", "", "", p2, p1, "予約", "3", d}},
      {{8, false, true, false, false, p1, p2, "Kメール", ""}, 5, {"Kメール受信", "未読", "", "", p1, p2, "Kメール", "3", ""}},
      {{9, true, false, true, false, p2, p1, "ブリーズメール", ""}, 5,
       {"ブリーズメール送信", "", "", "保護", p2, p1, "ブリーズメール", "3", ""}},
      {{0, false, false, false, false, p1, p2, "種別なし", d}, 5, {"受信", "", "", "", p1, p2, "種別なし", "3", d}},
      {{20, false, true, false, false, p1, p2, "未知", d}, 5, {"未確認種別", "未読", "", "", p1, p2, "未知", "3", d}},
  };
  for (const Case& c : cases) AddMail("受信簿", Text(c.size), c.spec);
  // A deleted row that no compaction has removed yet is not listed.
  std::string deletedId = AddMail("受信簿", Text(5), {3, false, false, false, false, e1, e2, "削除済み", d});
  {
    qv::MailFolder f;
    ASSERT_TRUE(f.Open(J("受信簿")));
    ASSERT_TRUE(qv::MarkMessage(f.Index(), deletedId));
    ASSERT_TRUE(f.SaveIndex());
  }
  Load();
  Rows expected;
  for (const Case& c : cases) expected.push_back(c.cells);
  EXPECT_EQ(ListRows(), expected);
  EXPECT_EQ(CountText(), std::to_string(cases.size()) + " 件 ");
  QAbstractItemModel* m = ListModel();
  const std::vector<std::string> captions = {"種別", "未読", "添付", "保護", "差出人", "宛先", "表題", "サイズ", "日付"};
  ASSERT_EQ(m->columnCount(), int(captions.size()));
  for (int c = 0; c < m->columnCount(); ++c)
    EXPECT_EQ(m->headerData(c, Qt::Horizontal).toString().toStdString(), captions[size_t(c)]);
  EXPECT_EQ(m->index(0, 7).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight, Qt::AlignRight);
  // An image goes with every mark, and with every kind a caption knows.
  for (size_t r = 0; r < cases.size(); ++r) {
    for (int c = 0; c < 4; ++c) {
      const bool hasMark = c == 0 ? cases[r].spec.kind <= 15 : !cases[r].cells[size_t(c)].empty();
      EXPECT_EQ(!m->index(int(r), c).data(Qt::DecorationRole).isNull(), hasMark) << r << "," << c;
    }
  }
}

TEST_F(MailListTest, AFolderWithoutItsIndexShowsNoMails) {
  Load();
  EXPECT_EQ(CountText(), "0 件 ");
  EXPECT_TRUE(ListRows().empty());
  EXPECT_FALSE(std::filesystem::exists(IndexFile("受信簿"))) << "showing a folder creates nothing";
}

TEST_F(MailListTest, ADamagedFolderIsToldOnceAndKeepsEveryReadableMail) {
  AddMail("受信簿", Text(20), {.subject = "keep1"});
  AddMail("受信簿", Text(30), {.subject = "keep2"});
  AddMail("受信簿", Text(40), {.subject = "cut"});
  AddMail("受信簿", Text(50), {.subject = "gone"});
  // The store loses its end, and the index gains a line that is no row.
  std::filesystem::resize_file(StoreFile("受信簿"), 20 + 30 + 10);
  qvtest::WriteFile(IndexFile("受信簿"), qvtest::ReadFile(IndexFile("受信簿")) + "\x81\x40garbage,\r\n");
  const std::string told =
      "フォルダ「受信簿」は壊れています。\r\n読み出せないメールが3件あります。読み出せるメールはそのまま残っています。";
  {
    BoxAnswers boxes({QMessageBox::Ok});
    Load();
    qvtest::PumpUntil([&] { return boxes.Texts().size() >= 1; }, 5000);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], told);
    EXPECT_TRUE(boxes.AllPlainText());
  }
  EXPECT_EQ(ListColumn(6), (std::vector<std::string>{"keep1", "keep2", "cut", "gone"}));
  EXPECT_EQ(ListColumn(0)[2], "破損");
  EXPECT_EQ(ListColumn(0)[3], "破損");
  EXPECT_EQ(ListColumn(0)[0], "Eメール受信");
  EXPECT_EQ(CountText(), "4 件 ");
  {
    // Reloading the same folder tells nothing new; a mail whose bytes are
    // lost opens no empty window.
    BoxAnswers boxes({QMessageBox::Ok});
    EXPECT_EQ(plugin_->SetStr(1, J("受信簿")), 1);
    const int windows = QApplication::topLevelWidgets().size();
    SelectSubjects({"cut"});
    Trigger("actMailOpen");
    qvtest::PumpUntil([&] { return boxes.Texts().size() >= 1; }, 5000);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "メールが壊れているため開けません。");
    QApplication::processEvents();
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windows);
  }
  {
    // Deleting a damaged mail drops it; the trash never gets bytes that are
    // not its own.
    BoxAnswers boxes({});
    SelectSubjects({"gone"});
    Trigger("actMailDelete");
    EXPECT_TRUE(boxes.Texts().empty());
  }
  EXPECT_TRUE(LiveMails("ゴミ箱").empty());
  EXPECT_EQ(ListColumn(6), (std::vector<std::string>{"keep1", "keep2", "cut"}));
  EXPECT_EQ(Subjects(LiveMails("受信簿")), (std::vector<std::string>{"keep1", "keep2"}));
  // A folder whose index is a folder of that name cannot open at all.
  std::filesystem::create_directories(MailDir() / "仕事.qvm");
  qvtest::WriteFile(MailDir() / "仕事.qvs", "");
  Unload();
  {
    BoxAnswers boxes({QMessageBox::Ok, QMessageBox::Ok});
    Load();
    qvtest::PumpUntil([&] { return boxes.Texts().size() >= 1; }, 5000);  // the inbox, told again in a new window
    ASSERT_EQ(boxes.Texts().size(), 1u);
    ClickFolder("仕事");
    qvtest::PumpUntil([&] { return boxes.Texts().size() >= 2; }, 5000);
    ASSERT_EQ(boxes.Texts().size(), 2u);
    EXPECT_EQ(boxes.Texts()[1], "フォルダ「仕事」は壊れています。\r\nフォルダのファイルを開けません。");
  }
  EXPECT_EQ(CountText(), "0 件 ");
  EXPECT_TRUE(ListRows().empty());
}

TEST_F(MailListTest, SetStrReloadsOnlyTheShownFolder) {
  AddMail("受信簿", Text(10), {.subject = "first"});
  AddMail("送信簿", Text(10), {.subject = "sent"});
  Load();
  AddMail("受信簿", Text(10), {.subject = "second"});
  EXPECT_EQ(plugin_->SetStr(1, J("送信簿")), 1) << "another folder: nothing to do";
  EXPECT_EQ(ListColumn(6), std::vector<std::string>{"first"});
  EXPECT_EQ(plugin_->SetStr(2, J("受信簿")), 0) << "only id 1 names a changed folder";
  EXPECT_EQ(ListColumn(6), std::vector<std::string>{"first"});
  EXPECT_EQ(plugin_->SetStr(1, J("受信簿")), 1);
  EXPECT_EQ(ListColumn(6), (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(CountText(), "2 件 ");
  ClickFolder("送信簿");
  AddMail("受信簿", Text(10), {.subject = "third"});
  plugin_->SetStr(1, J("受信簿"));
  EXPECT_EQ(ListColumn(6), std::vector<std::string>{"sent"});
}

TEST_F(MailListTest, SessionButtonsAndTheSendTimerAskTheHostForTheirSessions) {
  Load();
  const std::pair<const char*, int> buttons[] = {
      {"actSendRcv", 4}, {"actRcvAll", 3}, {"actRcvSelect", 2}, {"actDirectMailReSend", 5}};
  for (const auto& [name, value] : buttons) {
    ParamCalls().clear();
    Trigger(name);
    EXPECT_EQ(ParamCalls(), (std::vector<std::pair<int32_t, int32_t>>{{1, value}})) << name;
  }
  // The compose window's send starts the timer and closes; the request comes
  // on the timer's first tick, once.
  ParamCalls().clear();
  auto* timer = Window()->findChild<QTimer*>("tmrSendMsg");
  ASSERT_NE(timer, nullptr);
  EXPECT_FALSE(timer->isActive());
  EXPECT_EQ(timer->interval(), 1);
  timer->start();
  EXPECT_TRUE(ParamCalls().empty());
  // Wait for the tick however busy the machine is; the timer stopped in it
  // can tick no more.
  qvtest::PumpUntil([] { return !ParamCalls().empty(); });
  ASSERT_TRUE(qvtest::DrainPosted());
  EXPECT_EQ(ParamCalls(), (std::vector<std::pair<int32_t, int32_t>>{{1, 1}}));
  EXPECT_FALSE(timer->isActive());
}

TEST_F(MailListTest, ClearedCallbacksMakeTheSessionButtonsDoNothing) {
  Load();
  auto callBackParam = reinterpret_cast<QvCallBackParamFn>(Export("CallBackParam"));
  ASSERT_NE(callBackParam, nullptr);
  EXPECT_EQ(callBackParam(nullptr), 0);
  Trigger("actSendRcv");
  EXPECT_TRUE(ParamCalls().empty());
  EXPECT_EQ(callBackParam(+[](int32_t kind, int32_t value) -> QvBool {
              ParamCalls().emplace_back(kind, value);
              return 1;
            }),
            1);
  Trigger("actRcvAll");
  EXPECT_EQ(ParamCalls(), (std::vector<std::pair<int32_t, int32_t>>{{1, 3}}));
}

TEST_F(MailListTest, NameAndIconAnswerTheHost) {
  Load();
  EXPECT_EQ(plugin_->GetName(), J("メール"));
  auto getName = reinterpret_cast<QvGetPluginNameFn>(Export("GetPluginName"));
  // Never past the buffer, never half a character.
  const std::pair<int32_t, std::string> cases[] = {{2, ""}, {3, J("メ")}, {6, J("メー")}, {7, J("メール")}};
  for (const auto& [size, expected] : cases) {
    char buffer[16];
    std::memset(buffer, 'X', sizeof buffer);
    int32_t n = size;
    ASSERT_TRUE(getName(buffer, &n));
    EXPECT_EQ(std::string(buffer), expected) << size;
    EXPECT_EQ(buffer[size], 'X') << size;
  }
  auto getIcon = reinterpret_cast<QvGetIconFn>(Export("GetIcon"));
  QvIconHandle first = nullptr, second = nullptr;
  ASSERT_TRUE(getIcon(&first));
  ASSERT_TRUE(getIcon(&second));
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(first, second) << "the handle stays the plug-in's";
}

TEST_F(MailListTest, DeletingMovesToTheTrashAndInTheTrashAsksThenPurges) {
  AddMail("受信簿", Text(20), {.subject = "keep"});
  AddMail("受信簿", Text(30), {.subject = "drop1"});
  AddMail("受信簿", Text(40), {.subject = "drop2"});
  Load();
  EXPECT_FALSE(Action("actMailDelete")->isEnabled()) << "nothing selected";
  SelectSubjects({"drop1", "drop2"});
  {
    BoxAnswers boxes({});
    Trigger("actMailDelete");
    EXPECT_TRUE(boxes.Texts().empty()) << "outside the trash nothing is asked";
  }
  EXPECT_EQ(Subjects(LiveMails("受信簿")), std::vector<std::string>{"keep"});
  const auto trash = LiveMails("ゴミ箱");
  EXPECT_EQ(Subjects(trash), (std::vector<std::string>{"drop1", "drop2"}));
  ASSERT_EQ(trash.size(), 2u);
  EXPECT_EQ(trash[1].second, Text(40)) << "the mail's bytes moved with it";
  EXPECT_EQ(qvtest::ReadFile(StoreFile("受信簿")), Text(20)) << "the source is compacted";
  EXPECT_EQ(ListColumn(6), std::vector<std::string>{"keep"});
  EXPECT_EQ(CountText(), "1 件 ");

  ClickFolder("ゴミ箱");
  SelectSubjects({"drop1"});
  const std::string question =
      "ゴミ箱フォルダ内のデータを削除すると完全に消去されます。\r\n選択中の項目を削除してよろしいでしょうか？";
  {
    BoxAnswers boxes({QMessageBox::No});
    // The Delete key in the list does what the action does.
    QTest::keyClick(List(), Qt::Key_Delete);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{question});
  }
  EXPECT_EQ(Subjects(LiveMails("ゴミ箱")), (std::vector<std::string>{"drop1", "drop2"}));
  {
    BoxAnswers boxes({QMessageBox::Yes});
    Trigger("actMailDelete");
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{question});
    EXPECT_TRUE(boxes.AllPlainText());
  }
  EXPECT_EQ(Subjects(LiveMails("ゴミ箱")), std::vector<std::string>{"drop2"});
  EXPECT_EQ(qvtest::ReadFile(StoreFile("ゴミ箱")), Text(40));
  EXPECT_EQ(ListColumn(6), std::vector<std::string>{"drop2"});
}

TEST_F(MailListTest, ProtectMarksAreStoredAndShown) {
  AddMail("受信簿", Text(20), {.subject = "a"});
  AddMail("受信簿", Text(20), {.subject = "b"});
  AddMail("受信簿", Text(20), {.subject = "c"});
  Load();
  SelectSubjects({"a", "c"});
  Trigger("actMailGuard");
  EXPECT_EQ(LiveColumn("受信簿", qv::kColProtected), (std::vector<std::string>{"1", "0", "1"}));
  EXPECT_EQ(ListColumn(3), (std::vector<std::string>{"保護", "", "保護"}));
  SelectSubjects({"c"});
  Trigger("actMailNonGuard");
  EXPECT_EQ(LiveColumn("受信簿", qv::kColProtected), (std::vector<std::string>{"1", "0", "0"}));
  EXPECT_EQ(ListColumn(3), (std::vector<std::string>{"保護", "", ""}));
  // Protected mail still goes to the trash like any other.
  SelectSubjects({"a"});
  Trigger("actMailDelete");
  EXPECT_EQ(Subjects(LiveMails("ゴミ箱")), std::vector<std::string>{"a"});
  EXPECT_EQ(LiveColumn("ゴミ箱", qv::kColProtected), std::vector<std::string>{"1"});
}

TEST_F(MailListTest, EmptyingTheTrashAsksWithItsCountsAndDeletesBothFiles) {
  Load();
  {
    BoxAnswers boxes({});
    Trigger("actDustBoxClear");
    EXPECT_TRUE(boxes.Texts().empty()) << "no trash: nothing to ask";
  }
  AddMail("ゴミ箱", Text(20), {.subject = "t1"});
  AddMail("ゴミ箱", Text(20), {.subject = "t2"});
  {
    BoxAnswers boxes({QMessageBox::No});
    Trigger("actDustBoxClear");
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"ゴミ箱の中に2件のメールがあります。\r\n全て削除してよろしいでしょうか？"});
  }
  EXPECT_EQ(LiveMails("ゴミ箱").size(), 2u);
  AddMail("ゴミ箱", Text(20), {.unread = true, .subject = "t3"});
  ClickFolder("ゴミ箱");
  EXPECT_EQ(CountText(), "3 件 ");
  {
    BoxAnswers boxes({QMessageBox::Yes});
    Trigger("actDustBoxClear");
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"ゴミ箱の中に3件のメールがあり、そのうち『1件が未読』です。\r\n"
                                                      "全て削除してよろしいでしょうか？"});
  }
  EXPECT_FALSE(std::filesystem::exists(IndexFile("ゴミ箱")));
  EXPECT_FALSE(std::filesystem::exists(StoreFile("ゴミ箱")));
  EXPECT_EQ(CountText(), "0 件 ") << "the shown trash is reloaded";
}

TEST_F(MailListTest, AutoDustClearEmptiesTheTrashWhenThePluginEnds) {
  AddMail("ゴミ箱", Text(20));
  Load();
  Unload();
  EXPECT_TRUE(std::filesystem::exists(IndexFile("ゴミ箱"))) << "off by default";
  qv::IniFile(dir_ / "Quorvel.ini").WriteString("Mail", "AutoDustClear", "1");
  Load();
  {
    BoxAnswers boxes({});
    Unload();
    EXPECT_TRUE(boxes.Texts().empty()) << "without asking";
  }
  EXPECT_FALSE(std::filesystem::exists(IndexFile("ゴミ箱")));
  EXPECT_FALSE(std::filesystem::exists(StoreFile("ゴミ箱")));
}

TEST_F(MailListTest, DraggedMailsDropOnAnotherFolderButNeverOnTheQueueOrTheShownFolder) {
  AddMail("受信簿", Text(20), {.subject = "m1"});
  AddMail("受信簿", Text(25), {.subject = "m2"});
  AddMail("受信簿", Text(30), {.subject = "m3"});
  AddMail("仕事", Text(12), {.subject = "w1"});
  Load();
  QApplication::processEvents();
  SelectSubjects({"m1", "m3"});
  auto data = SelectionDragData();
  ASSERT_NE(data, nullptr);
  QMimeData foreign;
  foreign.setText("m1");
  const std::pair<const char*, bool> targets[] = {
      {"受信簿", false}, {"送信予約", false}, {"送信簿", true}, {"ゴミ箱", true}, {"仕事", true}};
  for (const auto& [folder, accepted] : targets) EXPECT_EQ(DragToFolder(folder, data.get(), false), accepted) << folder;
  EXPECT_FALSE(DragToFolder("仕事", &foreign, false)) << "only the mail list's own drags";
  EXPECT_FALSE(DragToFolder("送信予約", data.get(), true));
  EXPECT_FALSE(std::filesystem::exists(IndexFile("送信予約")));
  EXPECT_EQ(LiveMails("受信簿").size(), 3u);
  ASSERT_TRUE(DragToFolder("仕事", data.get(), true));
  const auto work = LiveMails("仕事");
  EXPECT_EQ(Subjects(work), (std::vector<std::string>{"w1", "m1", "m3"}));
  ASSERT_EQ(work.size(), 3u);
  EXPECT_EQ(work[2].second, Text(30));
  EXPECT_EQ(Subjects(LiveMails("受信簿")), std::vector<std::string>{"m2"});
  EXPECT_EQ(ListColumn(6), std::vector<std::string>{"m2"});
  EXPECT_EQ(Tree()->topLevelItemCount(), 7) << "the tree itself is not rearranged";
}

TEST_F(MailListTest, NewFoldersTakeTheFirstFreeNumberAndOwnBothFiles) {
  AddMail("新規フォルダ2", Text(10));
  Load();
  Trigger("actNewFolder");
  Trigger("actNewFolder");
  std::vector<std::string> expected = kFixedFolders;
  for (const char* name : {"新規フォルダ2", "新規フォルダ1", "新規フォルダ3"}) expected.push_back(name);
  EXPECT_EQ(FolderNodes(), expected);
  for (const char* name : {"新規フォルダ1", "新規フォルダ3"}) {
    EXPECT_TRUE(std::filesystem::exists(IndexFile(name))) << name;
    EXPECT_TRUE(std::filesystem::exists(StoreFile(name))) << name;
  }
}

TEST_F(MailListTest, RenamingFollowsTheFolderNameRules) {
  AddMail("仕事", Text(20), {.subject = "w"});
  AddMail("趣味", Text(20), {.subject = "h"});
  AddMail("Work", Text(5));
  AddMail("work2", Text(5));
  Load();
  ClickFolder("仕事");
  QTreeWidgetItem* node = Node("仕事");
  struct Case {
    std::string text;     // typed
    std::string result;   // the node afterwards
  } cases[] = {
      {"仕事/古い", "仕事"},   // forbidden character
      {"仕事:", "仕事"},
      {"   ", "仕事"},         // nothing left after trimming
      {"趣味", "仕事"},        // another node's name
      {"受信簿", "仕事"},      // a fixed folder's name
  };
  for (const Case& c : cases) {
    node->setText(0, QString::fromStdString(c.text));
    EXPECT_EQ(node->text(0).toStdString(), c.result) << c.text;
    EXPECT_TRUE(std::filesystem::exists(IndexFile("仕事"))) << c.text;
    EXPECT_EQ(ShownFolder(), "仕事");
  }
  ClickFolder("Work");
  QTreeWidgetItem* work = Node("Work");
  work->setText(0, "WORK");
  EXPECT_EQ(work->text(0).toStdString(), "Work") << "the same name in other letter case changes nothing";
  EXPECT_TRUE(std::filesystem::exists(IndexFile("Work")));
  work->setText(0, "WORK2");
  EXPECT_EQ(work->text(0).toStdString(), "Work") << "an existing folder in other letter case";

  ClickFolder("仕事");
  node->setText(0, "  仕事2024  ");
  EXPECT_EQ(node->text(0).toStdString(), "仕事2024");
  EXPECT_EQ(ShownFolder(), "仕事2024");
  EXPECT_FALSE(std::filesystem::exists(IndexFile("仕事")));
  EXPECT_FALSE(std::filesystem::exists(StoreFile("仕事")));
  EXPECT_EQ(Subjects(LiveMails("仕事2024")), std::vector<std::string>{"w"});
  EXPECT_EQ(ListColumn(6), std::vector<std::string>{"w"});
}

TEST_F(MailListTest, F2EditsOnlyUserFolders) {
  AddMail("仕事", Text(20));
  Load();
  QApplication::setActiveWindow(Window());
  for (const auto& [folder, editable] : {std::pair{"受信簿", false}, std::pair{"仕事", true}}) {
    ClickFolder(folder);
    Tree()->setFocus();
    QTest::keyClick(Tree(), Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    EXPECT_EQ(editor != nullptr, editable) << folder;
    if (editor) QTest::keyClick(editor, Qt::Key_Escape);
  }
}

TEST_F(MailListTest, DeletingAFolderAsksMovesItsMailsToTheTrashAndRemovesItsFiles) {
  AddMail("仕事", Text(20), {.subject = "w1"});
  AddMail("仕事", Text(20), {.subject = "w2"});
  AddMail("ゴミ箱", Text(20), {.subject = "old"});
  Load();
  ClickFolder("受信簿");
  EXPECT_FALSE(Action("actDelFolder")->isEnabled()) << "a fixed folder";
  ClickFolder("仕事");
  {
    BoxAnswers boxes({QMessageBox::No});
    Trigger("actDelFolder");
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"仕事フォルダを削除してもよろしいですか？"});
  }
  EXPECT_NE(Node("仕事"), nullptr);
  EXPECT_EQ(LiveMails("仕事").size(), 2u);
  {
    BoxAnswers boxes({QMessageBox::Yes});
    Tree()->setFocus();
    QTest::keyClick(Tree(), Qt::Key_Delete);
    EXPECT_EQ(boxes.Texts().size(), 1u);
  }
  EXPECT_EQ(Node("仕事"), nullptr);
  EXPECT_FALSE(std::filesystem::exists(IndexFile("仕事")));
  EXPECT_FALSE(std::filesystem::exists(StoreFile("仕事")));
  EXPECT_EQ(Subjects(LiveMails("ゴミ箱")), (std::vector<std::string>{"old", "w1", "w2"}));
  EXPECT_EQ(ShownFolder(), "受信簿") << "the first node is selected";
}

TEST_F(MailListTest, AFolderWhoseMailsCannotReachTheTrashIsKept) {
  AddMail("仕事", Text(20), {.subject = "w1"});
  // A trash that cannot be opened: its store is a folder.
  std::filesystem::create_directories(StoreFile("ゴミ箱"));
  Load();
  ClickFolder("仕事");
  {
    BoxAnswers boxes({QMessageBox::Yes, QMessageBox::Ok});
    Trigger("actDelFolder");
    // Told why, with the file at fault.
    ASSERT_EQ(boxes.Texts().size(), 2u);
    EXPECT_NE(boxes.Texts()[1].find("フォルダを削除できませんでした。"), std::string::npos) << boxes.Texts()[1];
    EXPECT_NE(boxes.Texts()[1].find(MailDir().string() + "/ゴミ箱.qvs"), std::string::npos) << boxes.Texts()[1];
  }
  EXPECT_NE(Node("仕事"), nullptr);
  const auto work = LiveMails("仕事");
  ASSERT_EQ(Subjects(work), std::vector<std::string>{"w1"});
  EXPECT_EQ(work[0].second, Text(20));
}

TEST_F(MailListTest, AMoveThatCannotStoreTheCopiesLeavesTheSourceAsItWas) {
  AddMail("受信簿", Text(20), {.subject = "m1"});
  AddMail("受信簿", Text(20), {.subject = "m2"});
  // A target that is already larger than the files may grow: every write
  // beyond that size fails, as on a full disk.
  AddMail("仕事", std::string(64 * 1024 - 2, 'w') + "\r\n", {.subject = "big"});
  const std::string sourceIndex = qvtest::ReadFile(IndexFile("受信簿"));
  const std::string targetIndex = qvtest::ReadFile(IndexFile("仕事"));
  Load();
  SelectSubjects({"m1", "m2"});
  bool accepted = false;
  {
    BoxAnswers boxes({QMessageBox::Ok});
    qvtest::FileSizeLimit limit(32 * 1024);
    ASSERT_TRUE(limit.Set());
    auto data = SelectionDragData();
    accepted = DragToFolder("仕事", data.get(), true);
    qvtest::PumpUntil([&] { return !boxes.Texts().empty(); }, 5000);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_NE(boxes.Texts()[0].find("メールを移動できませんでした。"), std::string::npos) << boxes.Texts()[0];
    EXPECT_NE(boxes.Texts()[0].find("ディスクの空きがありません"), std::string::npos) << boxes.Texts()[0];
  }
  EXPECT_TRUE(accepted);
  EXPECT_EQ(Subjects(LiveMails("受信簿")), (std::vector<std::string>{"m1", "m2"}));
  EXPECT_EQ(qvtest::ReadFile(IndexFile("受信簿")), sourceIndex);
  EXPECT_EQ(qvtest::ReadFile(IndexFile("仕事")), targetIndex);
  EXPECT_EQ(ListColumn(6), (std::vector<std::string>{"m1", "m2"}));
}

TEST_F(MailListTest, AMailThatIsNotStoredInTheTargetStaysInTheSource) {
  AddMail("受信簿", Text(20), {.subject = "m1"});
  // A live row whose range is empty: nothing is appended for it anywhere.
  AddMail("受信簿", Text(20), {.subject = "empty"});
  {
    qv::MailFolder f;
    ASSERT_TRUE(f.Open(J("受信簿")));
    qv::SetIndexCell(f.Index(), 1, qv::kColEnd, qv::IndexCell(f.Index(), 1, qv::kColStart));
    ASSERT_TRUE(f.SaveIndex());
  }
  Load();
  SelectSubjects({"m1", "empty"});
  Trigger("actMailDelete");
  EXPECT_EQ(Subjects(LiveMails("ゴミ箱")), std::vector<std::string>{"m1"});
  EXPECT_EQ(LiveColumn("受信簿", qv::kColSubject), std::vector<std::string>{"empty"});
  EXPECT_EQ(ListColumn(6), std::vector<std::string>{"empty"});
}

TEST_F(MailListTest, ARenameWhoseSecondFileCannotMoveKeepsTheOldName) {
  AddMail("仕事", Text(20), {.subject = "w"});
  if (!SetImmutable(StoreFile("仕事"), true)) GTEST_SKIP() << "the file system has no immutable flag";
  Load();
  ClickFolder("仕事");
  {
    BoxAnswers boxes({QMessageBox::Ok});
    Node("仕事")->setText(0, "仕事2");
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_NE(boxes.Texts()[0].find("フォルダの名前を変更できませんでした。"), std::string::npos) << boxes.Texts()[0];
    EXPECT_NE(boxes.Texts()[0].find(MailDir().string() + "/仕事.qvs"), std::string::npos) << boxes.Texts()[0];
  }
  SetImmutable(StoreFile("仕事"), false);
  EXPECT_EQ(Node("仕事") != nullptr, true);
  EXPECT_EQ(ShownFolder(), "仕事");
  EXPECT_TRUE(std::filesystem::exists(IndexFile("仕事")));
  EXPECT_TRUE(std::filesystem::exists(StoreFile("仕事")));
  EXPECT_FALSE(std::filesystem::exists(IndexFile("仕事2")));
  EXPECT_EQ(Subjects(LiveMails("仕事")), std::vector<std::string>{"w"});
}

TEST_F(MailListTest, ScreenshotOfMixedFoldersAndKinds) {
  const std::string p1 = "09011112222", p2 = "08033334444";
  const MailSpec mails[] = {
      {1, false, true, false, false, p1, p2, "今日の予定について", "2024/05/01 08:15:00"},
      {3, false, false, true, true, "tanaka@example.jp", "me@example.jp", "写真を送ります（添付あり）", "2024/05/01 09:30:12"},
      {3, false, true, false, false, "news@example.com", "me@example.jp", "週刊ニュース 第１２号", "2024/05/02 07:00:00"},
      {8, false, false, false, false, p2, p1, "Kメール", ""},
      {9, false, true, false, false, p1, p2, "ブリーズメール", ""},
      {2, false, false, false, false, p2, p1, "チャットしよう", "2024/05/03 21:45:00"},
      {4, false, false, false, false, "0570000000", p1, "天気予報：晴れのち曇り", "2024/05/04 06:00:00"},
      {3, true, false, false, false, "me@example.jp", "suzuki@example.jp", "Re: 会議の件", "2024/05/04 12:00:00"},
      {20, false, false, false, false, p1, p2, "未知の種別", "2024/05/05 00:00:00"},
  };
  size_t size = 300;
  for (const MailSpec& m : mails) AddMail("受信簿", Text(size += 137), m);
  AddMail("仕事", Text(50));
  AddMail("家族", Text(50));
  AddMail("Archive 2023", Text(50));
  AddMail("ゴミ箱", Text(50));
  Load();
  Window()->resize(980, 420);
  SelectSubjects({"写真を送ります（添付あり）"});
  QApplication::processEvents();
  QHeaderView* header = List()->header();
  // The mark columns show their whole captions.
  const QFontMetrics metrics(header->font());
  for (int c = 0; c < 4; ++c) {
    const QString caption = List()->model()->headerData(c, Qt::Horizontal).toString();
    EXPECT_GE(header->sectionSize(c), header->sectionSizeHint(c)) << c;
    EXPECT_GT(header->sectionSize(c), metrics.horizontalAdvance(caption)) << c;
  }
  const int widths[] = {100, 100, 150};
  for (int c = 4; c < 7; ++c) EXPECT_EQ(header->sectionSize(c), widths[c - 4]) << c;
  EXPECT_EQ(CountText(), "9 件 ");
  const QImage shot = Window()->grab().toImage();
  ASSERT_FALSE(shot.isNull());
  EXPECT_TRUE(shot.save(QString::fromStdString(qvtest::ArtifactPath("mail-list.png").string())));
}

TEST_F(MailListTest, ActionsAreEnabledByWhatIsSelectedAndFocused) {
  AddMail("受信簿", Text(20), {.subject = "a"});
  AddMail("仕事", Text(20), {.subject = "w"});
  Load();
  QApplication::setActiveWindow(Window());
  auto enabled = [&](std::initializer_list<const char*> names) {
    std::vector<bool> out;
    for (const char* n : names) out.push_back(Action(n)->isEnabled());
    return out;
  };
  // Session actions, the handset histories, new mail and the trash are
  // always there.
  EXPECT_EQ(enabled({"actSendRcv", "actRcvAll", "actRcvSelect", "actDirectMailReSend", "actDustBoxClear",
                     "actNewFolder", "actClose", "actEMail", "actDMail", "actInportFromPHS", "actExportToPHS"}),
            std::vector<bool>(11, true));
  const std::vector<const char*> selection = {"actMailDelete", "actMailGuard", "actMailNonGuard", "actMailOpen",
                                              "actRes",        "actResAll",   "actTransfer"};
  List()->clearSelection();
  for (const char* n : selection) EXPECT_FALSE(Action(n)->isEnabled()) << n;
  SelectSubjects({"a"});
  for (const char* n : selection) EXPECT_TRUE(Action(n)->isEnabled()) << n;

  List()->setFocus();
  EXPECT_TRUE(Action("actMailSelectAll")->isEnabled()) << "the focused list has items";
  Tree()->setFocus();
  EXPECT_FALSE(Action("actMailSelectAll")->isEnabled()) << "the list is not focused";
  EXPECT_FALSE(Action("actDelFolder")->isEnabled()) << "受信簿 is a fixed folder";
  ClickFolder("仕事");
  EXPECT_TRUE(Action("actDelFolder")->isEnabled());
  ClickFolder("送信簿");
  List()->setFocus();
  EXPECT_FALSE(Action("actMailSelectAll")->isEnabled()) << "the focused list is empty";
}

TEST_F(MailListTest, HeaderClicksSortAndTheColumnsAndPlaceAreKeptAcrossClosing) {
  const std::pair<const char*, size_t> mails[] = {{"b", 300}, {"c", 20}, {"a", 1000}};
  for (const auto& [subject, size] : mails) AddMail("受信簿", Text(size), {.subject = subject});
  Load();
  EXPECT_EQ(ListColumn(6), (std::vector<std::string>{"b", "c", "a"})) << "storage order at first";
  QHeaderView* header = List()->header();
  auto click = [&](int column) {
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2));
  };
  click(6);
  EXPECT_EQ(ListColumn(6), (std::vector<std::string>{"a", "b", "c"}));
  click(6);
  EXPECT_EQ(ListColumn(6), (std::vector<std::string>{"c", "b", "a"})) << "the sorted column reverses";
  click(7);
  EXPECT_EQ(ListColumn(7), (std::vector<std::string>{"18", "298", "998"})) << "sizes sort as numbers";
  header->resizeSection(4, 180);
  Window()->move(10, 20);
  EXPECT_TRUE(plugin_->CloseForm());
  ASSERT_FALSE(Window()->isVisible());
  header->resizeSection(4, 60);
  // A new mail arrives while the window is closed; showing reloads the inbox.
  AddMail("受信簿", Text(500), {.subject = "d"});
  ASSERT_TRUE(plugin_->ShowPluginForm());
  EXPECT_EQ(header->sectionSize(4), 180);
  EXPECT_EQ(ListColumn(7), (std::vector<std::string>{"18", "298", "498", "998"})) << "the sort is kept";
  EXPECT_EQ(Window()->pos(), QPoint(10, 20));
}

TEST_F(MailListTest, AFolderThatCannotBeWrittenStillListsAndOpensAndSaysWhyItCannotChange) {
  AddMail("受信簿", Text(30), {.unread = true, .subject = "m1"});
  AddMail("受信簿", Text(40), {.subject = "m2"});
  {
    qvtest::ReadOnlyFolder readOnly(MailDir());
    Load();
    EXPECT_EQ(CountText(), "2 件 ");
    EXPECT_EQ(ListColumn(6), (std::vector<std::string>{"m1", "m2"}));
    // Reading needs no right to write; the read mark cannot be kept.
    SelectSubjects({"m1"});
    Trigger("actMailOpen");
    bool viewer = false;
    for (QWidget* w : QApplication::topLevelWidgets()) viewer = viewer || (w->objectName() == "frmMailReceive" && w->isVisible());
    EXPECT_TRUE(viewer);
    EXPECT_EQ(ListRows()[0][1], "未読") << "the list shows what the folder keeps";
    SelectSubjects({"m2"});
    BoxAnswers boxes({QMessageBox::Ok});
    Trigger("actMailDelete");
    ASSERT_EQ(boxes.Texts().size(), 1u);
    const std::string& told = boxes.Texts()[0];
    EXPECT_NE(told.find("メールを削除できませんでした。"), std::string::npos) << told;
    EXPECT_NE(told.find(MailDir().string() + "/受信簿.qvm"), std::string::npos) << told;
    EXPECT_NE(told.find("書き込む権限がありません"), std::string::npos) << told;
    EXPECT_TRUE(Window()->grab().save(QString::fromStdString(qvtest::ArtifactPath("maillist-readonly.png").string())));
  }
  EXPECT_EQ(Subjects(LiveMails("受信簿")), (std::vector<std::string>{"m1", "m2"}));
  EXPECT_EQ(LiveColumn("受信簿", qv::kColUnread), (std::vector<std::string>{"1", "0"}));
  Unload();

  // Through a file: nothing to list, and no folder can be made.
  qvtest::WriteFile(dir_ / "afile", "");
  qv::IniFile(dir_ / "Quorvel.ini").WriteString("Mail", "Folder", "afile/MailLog");
  Load();
  EXPECT_EQ(CountText(), "0 件 ");
  BoxAnswers boxes({QMessageBox::Ok});
  Trigger("actNewFolder");
  ASSERT_EQ(boxes.Texts().size(), 1u);
  const std::string& told = boxes.Texts()[0];
  EXPECT_NE(told.find("フォルダを作成できませんでした。"), std::string::npos) << told;
  EXPECT_NE(told.find((dir_ / "afile").string()), std::string::npos) << told;
  EXPECT_NE(told.find("フォルダではなくファイルです"), std::string::npos) << told;
  EXPECT_EQ(FolderNodes().size(), 6u) << "no node for a folder that is not there";
}
