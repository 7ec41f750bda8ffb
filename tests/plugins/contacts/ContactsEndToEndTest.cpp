// The phone book and the bookmarks inside the real launcher (offscreen), with
// the built QvAddress.qpl, QvBookMark.qpl and QvMail.qpl, the real
// Portvine.so and the simulated handset's information store: what goes to the
// handset comes back field for field, what the handset sent goes back in its
// own bytes, and every way a transfer can fail leaves the list and its file
// alone.
#include "ContactsFixture.h"
#include "HandsetRecords.h"
#include "MailFolders.h"
#include "SessionFixture.h"

#include "core/data/ContactExchange.h"
#include "core/data/HandsetExchange.h"
#include "core/data/MailStore.h"
#include "platform/IniFile.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <QtTest/QTest>
#include <map>

using contactstest::J;
using contactstest::ModalScript;
using contactstest::U;

namespace {

class ContactsEndToEndTest : public qvtest::SessionTest {
 protected:
  void TearDown() override {
    EXPECT_TRUE(modals_.Done());
    qvtest::SessionTest::TearDown();
  }

  // The launcher with the three plug-ins, on a handset that takes
  // information mode (unless told otherwise) and holds the store.
  void StartLauncher(handsetsim::SimConfig config = {}, bool takesInformationMode = true) {
    for (const char* file : {"QvMail.qpl", "QvAddress.qpl", "QvBookMark.qpl"})
      std::filesystem::copy_file(qvtest::AppDir() / file, dir_ / file, std::filesystem::copy_options::overwrite_existing);
    WriteSessionIni({{"Plugins|1", "QvMail.qpl"}, {"Plugins|2", "QvAddress.qpl"}, {"Plugins|3", "QvBookMark.qpl"},
                     {"Mail|Folder", "MailLog"}});
    if (takesInformationMode) config.i9InfoText = std::string(1, '1');
    if (config.infoCapacity == 200) config.infoCapacity = 2000;
    UseRealModule(std::move(config));
    StartSession();
    auto rate = reinterpret_cast<void (*)(int32_t)>(ModuleSymbol("Portvine.so", "PortvineTestSetClockRate"));
    ASSERT_NE(rate, nullptr);
    rate(20);
    modals_.Ignore("frmConnecting");
  }

  // Opens the plug-in listed under the display name; its window.
  QWidget* Open(const char* utf8Name, const char* objectName) {
    for (const auto& e : launch_->Entries())
      if (e.caption == J(utf8Name) && e.plugin) {
        EXPECT_TRUE(e.plugin->ShowPluginForm());
        for (QWidget* w : QApplication::topLevelWidgets())
          if (w->objectName() == QLatin1String(objectName) && w->isVisible()) return w;
      }
    ADD_FAILURE() << utf8Name << " is not listed";
    return nullptr;
  }
  static QAction* Act(QWidget* window, const char* name) { return window->findChild<QAction*>(name); }
  static QTreeView* ListOf(QWidget* window) { return window->findChild<QTreeView*>(); }

  // The handset's store of a kind, as exchange-file lines.
  qvtest::HandsetLines Store(int kind) {
    const auto store = Sim().Info();  // a copy: the simulator's thread writes its own
    qvtest::HandsetLines lines;
    if (auto it = store.find(kind); it != store.end())
      for (const auto& wire : it->second) lines.push_back(qv::DecimalTextToHex(wire));
    return lines;
  }
  // Sends the list (answering the question with Yes); whether the launcher said done.
  void Send(QWidget* window) {
    modals_.Box(QMessageBox::Yes);
    Act(window, "actExportData")->trigger();
    EXPECT_EQ(modals_.TakeBoxes().size(), 1u);
  }

  ModalScript modals_;
};

// Entries with every field used, pictures too. A line to the handset costs one
// 100 ms poll of the session, so the pictures are small.
qv::PhoneBookList Book(int count) {
  qv::PhoneBookList book = qvtest::FullPhoneBook(count);
  for (size_t i = 0; i < book.size(); ++i) {
    qv::PhoneBookEntry& e = book[i];
    if (e.picture) e.picture = qvtest::TestBitmap(static_cast<int>(i), 8, 6);
    // Short texts: each entry fits on two lines.
    for (int n = 0; n < qv::kPbNumbers; ++n) {
      e.SetField(qv::kPbMail1 + n, "m" + std::to_string(i) + std::to_string(n) + "@x.jp");
      e.SetField(qv::kPbCompanyMail1 + n, "c" + std::to_string(i) + std::to_string(n) + "@y.jp");
    }
    e.SetField(qv::kPbAddress, J("港区1-") + std::to_string(i));
    e.SetField(qv::kPbMemo, J("メモ\r\n,\"") + std::to_string(i));
  }
  return book;
}

// The entries by their kana name (unique in the test data).
std::map<std::string, qv::PhoneBookEntry> ByKana(const qv::PhoneBookList& list) {
  std::map<std::string, qv::PhoneBookEntry> out;
  for (const auto& e : list) out[std::string(e.Field(qv::kPbKana))] = e;
  return out;
}

// Fields 0-50 and the picture of each entry, compared by kana name.
void ExpectSameEntries(const qv::PhoneBookList& got, const qv::PhoneBookList& want) {
  const auto g = ByKana(got), w = ByKana(want);
  ASSERT_EQ(g.size(), w.size());
  for (const auto& [kana, e] : w) {
    ASSERT_TRUE(g.count(kana)) << U(kana);
    const qv::PhoneBookEntry& r = g.at(kana);
    for (int f = 0; f <= qv::kPbPictureFlag; ++f) EXPECT_EQ(r.Field(f), e.Field(f)) << U(kana) << " field " << f;
    EXPECT_EQ(r.picture, e.picture) << U(kana);
  }
}

TEST_F(ContactsEndToEndTest, FiftyEntriesGoToTheHandsetWithEveryField) {
  StartLauncher();
  const qv::PhoneBookList book = Book(50);
  contactstest::WriteBook(dir_ / "book.qad", book);
  qv::IniFile(dir_ / "Quorvel.ini").WriteString("File", "AddressFile", "book.qad");
  QWidget* window = Open("電話帳", "frmAddress");
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(ListOf(window)->model()->rowCount(), 50);
  Send(window);
  PumpUntil([&] { return LastNotice() == "電話帳データ 送信完了"; });
  EXPECT_EQ(LastNotice(), "電話帳データ 送信完了");
  // What the handset holds decodes to the list, field for field.
  ExpectSameEntries(qv::ParsePhoneBookLines(Store(1)), book);
  EXPECT_TRUE(ErrorLogText().empty()) << ErrorLogText();
}

TEST_F(ContactsEndToEndTest, FiftyEntriesComeBackIntoAnEmptyListFieldForField) {
  const qv::PhoneBookList book = Book(50);
  handsetsim::SimConfig config;
  config.info[1] = qvtest::WireLines(qv::BuildPhoneBookLines(book, true));
  StartLauncher(config);
  QWidget* window = Open("電話帳", "frmAddress");
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(ListOf(window)->model()->rowCount(), 0);
  Act(window, "actImportData")->trigger();
  PumpUntil([&] { return !NoticeTexts().empty(); });
  EXPECT_EQ(LastNotice(), "電話帳データを 50 件受信しました");
  ASSERT_EQ(ListOf(window)->model()->rowCount(), 50);
  modals_.File(dir_ / "received.qad");
  Act(window, "actSaveAs")->trigger();
  qv::PhoneBookList received;
  ASSERT_TRUE(qv::LoadArchive(dir_ / "received.qad", received));
  ExpectSameEntries(received, book);
  int pictures = 0;
  for (const auto& e : received) pictures += e.picture.has_value();
  EXPECT_EQ(pictures, 5);
}

// Records as a handset writes them: the PC's items in the PC's order, but
// phone attributes, post codes, blood types and sex in other bytes that mean
// the same.
qvtest::HandsetLines HandsetOwnBytes(const qv::PhoneBookList& entries) {
  qvtest::HandsetLines lines;
  std::vector<std::string> records;
  EXPECT_TRUE(qv::ReadHandsetRecords(qv::BuildPhoneBookLines(entries, true), records));
  for (size_t i = 0; i < records.size(); ++i) {
    std::vector<qv::HandsetItem> items;
    EXPECT_TRUE(qv::SplitTLVHex(records[i], items));
    for (auto& item : items) {
      const std::string tag = item.substr(0, 4);
      // The PC keeps the handset's bytes only of fields with a value.
      if (qv::DecodeAddressRecord(item).empty()) continue;
      if ((tag >= "0103" && tag <= "0108") || (tag >= "0203" && tag <= "0208"))
        item[5] = item[5] == '0' ? '2' : '3';  // an attribute bit the PC never sets
      else if (tag == "010D" || tag == "010F")
        item[4] = '4';  // high bits the decoder masks away
      else if ((tag == "010A" || tag == "020A") && item.back() == '0')
        item.back() = 'F';  // padded with F, not 0
    }
    qv::BuildHandsetListFrames(lines, items, static_cast<int>((i + 1) & 1), i + 1 == records.size());
  }
  return lines;
}

TEST_F(ContactsEndToEndTest, WhatTheHandsetSentGoesBackInItsOwnBytes) {
  // In the order the list shows them (by kana name), as the handset will get them back.
  qv::PhoneBookList entries = Book(6);
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    return QString::fromStdString(U(a.Field(qv::kPbKana))).localeAwareCompare(QString::fromStdString(U(b.Field(qv::kPbKana)))) < 0;
  });
  const qvtest::HandsetLines own = HandsetOwnBytes(entries);
  ASSERT_NE(own, qv::BuildPhoneBookLines(entries, true)) << "the handset's bytes differ from the PC's";
  handsetsim::SimConfig config;
  config.info[1] = qvtest::WireLines(own);
  StartLauncher(config);
  QWidget* window = Open("電話帳", "frmAddress");
  ASSERT_NE(window, nullptr);
  Act(window, "actImportData")->trigger();
  ASSERT_EQ(ListOf(window)->model()->rowCount(), 6);
  Send(window);
  PumpUntil([&] { return LastNotice() == "電話帳データ 送信完了"; });
  const qvtest::HandsetLines back = Store(1);
  ASSERT_EQ(back.size(), own.size());
  for (size_t i = 0; i < own.size(); ++i) EXPECT_EQ(back[i], own[i]) << "line " << i;
}

TEST_F(ContactsEndToEndTest, BookmarksGoToTheHandsetAndComeBack) {
  StartLauncher();
  qv::BookmarkList marks;
  for (int i = 0; i < 8; ++i) marks.push_back(qvtest::FullBookmark(i));
  ASSERT_TRUE(qv::SaveBookmarks(dir_ / "marks.qbk", marks));
  qv::IniFile(dir_ / "Quorvel.ini").WriteString("File", "BookMarkFile", "marks.qbk");
  QWidget* window = Open("ブックマーク", "frmBookMark");
  ASSERT_NE(window, nullptr);
  Send(window);
  PumpUntil([&] { return LastNotice() == "ブックマーク 送信完了"; });
  const qvtest::HandsetLines stored = Store(8);
  EXPECT_EQ(qv::ParseBookmarkLines(stored).size(), 8u);
  Act(window, "actNew")->trigger();
  CloseNoticeWindow();
  Act(window, "actImportData")->trigger();
  PumpUntil([&] { return !NoticeTexts().empty(); });
  EXPECT_EQ(LastNotice(), "ブックマークを 8 件受信しました");
  modals_.File(dir_ / "back.qbk");
  Act(window, "actSaveAs")->trigger();
  qv::BookmarkList back;
  ASSERT_TRUE(qv::LoadBookmarks(dir_ / "back.qbk", back));
  auto sorted = [](qv::BookmarkList l) {
    std::sort(l.begin(), l.end(), [](const auto& a, const auto& b) { return a.fields < b.fields; });
    return l;
  };
  EXPECT_EQ(sorted(back), sorted(marks));
  Send(window);
  PumpUntil([&] { return !connecting_->isVisible() && Store(8) == stored; });
  EXPECT_EQ(Store(8), stored);
}

TEST_F(ContactsEndToEndTest, TheViewersPhoneBookEntryOpensTheEntryDialogHoldingTheAddress) {
  StartLauncher();
  std::filesystem::create_directories(dir_ / "MailLog");
  qv::MailIndexRow row;
  qv::BuildIndexRow(row, 3, 0, 1, 0, 0, 0, 0, "friend@example.jp", "me@example.jp", "hello", "2024/05/01 10:00:00", "");
  ASSERT_FALSE(qvtest::AppendMail(qv::FixedFolderName(qv::FixedFolder::Received),
                                  "From: friend@example.jp\r\nTo: me@example.jp\r\nSubject: hello\r\n\r\nhi\r\n", row)
                   .empty());
  QWidget* mail = Open("メール", "frmMailList");
  ASSERT_NE(mail, nullptr);
  auto* list = mail->findChild<QTreeView*>("lsvMail");
  ASSERT_EQ(list->model()->rowCount(), 1);
  list->selectionModel()->select(list->model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  Act(mail, "actMailOpen")->trigger();
  QWidget* viewer = nullptr;
  PumpUntil([&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == QLatin1String("frmMailReceive") && w->isVisible()) viewer = w;
    return viewer != nullptr;
  });
  ASSERT_NE(viewer, nullptr);
  auto* from = viewer->findChild<QLineEdit*>("edtFrom");
  ASSERT_NE(from, nullptr);
  viewer->activateWindow();
  from->setFocus();
  from->setCursorPosition(3);
  QApplication::processEvents();
  QAction* tel = viewer->findChild<QAction*>("actTel");
  ASSERT_TRUE(tel && tel->isEnabled());
  bool held = false;
  modals_.Window("frmAddressEdit", [&](QWidget& d) {
    auto* mails = d.findChild<QListWidget*>("lstMail");
    held = mails->count() == 1 && mails->item(0)->text() == QStringLiteral("friend@example.jp");
    d.findChild<QLineEdit*>("edtKanaName")->setText(QString::fromUtf8("ﾄﾓﾀﾞﾁ"));
    d.findChild<QPushButton*>("btnSave")->click();
    d.findChild<QPushButton*>("btnClose")->click();
  });
  tel->trigger();
  EXPECT_TRUE(held) << "the entry dialog holds the address";
  QWidget* book = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QLatin1String("frmAddress") && w->isVisible()) book = w;
  ASSERT_NE(book, nullptr) << "the phone book was opened";
  EXPECT_EQ(ListOf(book)->model()->index(0, qv::kPbMail1).data().toString().toStdString(), "friend@example.jp");
}

// ---- what a failed transfer leaves

struct FailureRow {
  const char* name;
  int kind;      // 1 phone book, 8 bookmarks
  bool write;    // a send, else a receive
  bool refusesInformationMode = false;
  size_t capacity = 2000;
  std::vector<handsetsim::Fault> faults;
  int abortAfterRecords = -1;  // the user presses 中断 once this many records are done
  // What the plug-in's list holds after it (the entries before: 2) and the
  // notices the user saw; the handset's store: kept, emptied or partly written.
  int listRows;
  std::vector<std::string> notices;
  enum Store { Kept, Partial } store;
};

class ContactsFailureTest : public ContactsEndToEndTest {
 protected:
  // Each row runs in its own test (a launcher and a handset of its own).
  void Run(const char* name);
};

using handsetsim::Action;
using handsetsim::Fault;
using handsetsim::Step;
const char* const kRefused = "携帯電話がデータ通信モードを受け付けませんでした。(D00032)";
const char* const kGarbage = "携帯電話から予期しない応答がありました。(D00016)";
const char* const kPulled = "携帯電話が取り外されました。\n  ケーブルの接続を確認してください。(D00030)";
const char* const kBookCut = "電話帳の書き込みが途中で終わりました。\n  携帯電話の電話帳は一部しか書き込まれていません。";
const char* const kMarksCut =
    "ブックマークの書き込みが途中で終わりました。\n  携帯電話のブックマークは一部しか書き込まれていません。";

const FailureRow kRows[] = {
    {"PhoneBookReadRefused", 1, false, true, 2000, {}, -1, 2, {kRefused}, FailureRow::Kept},
    {"BookmarkWriteRefused", 8, true, true, 2000, {}, -1, 2, {kRefused}, FailureRow::Kept},
    // Garbage mid-read: the module ends the session, nothing is brought.
    {"PhoneBookReadGarbage", 1, false, false, 2000, {Fault{Step::Info, Action::Garbage, 6, 40}}, -1, 2, {kGarbage},
     FailureRow::Kept},
    {"BookmarkReadGarbage", 8, false, false, 2000, {Fault{Step::Info, Action::Garbage, 6, 40}}, -1, 2, {kGarbage},
     FailureRow::Kept},
    {"PhoneBookWriteFull", 1, true, false, 3, {}, -1, 2, {kBookCut}, FailureRow::Partial},
    {"BookmarkWriteFull", 8, true, false, 1, {}, -1, 2, {kMarksCut}, FailureRow::Partial},
    {"PhoneBookWritePulled", 1, true, false, 2000, {Fault{Step::Info, Action::Drop, 5, -1}}, -1, 2,
     {kPulled, kBookCut}, FailureRow::Partial},
    {"BookmarkWritePulled", 8, true, false, 2000, {Fault{Step::Info, Action::Drop, 4, -1}}, -1, 2,
     {kPulled, kMarksCut}, FailureRow::Partial},
    {"PhoneBookReadAborted", 1, false, false, 2000, {}, 2, 2, {}, FailureRow::Kept},
    {"BookmarkReadAborted", 8, false, false, 2000, {}, 2, 2, {}, FailureRow::Kept},
    {"PhoneBookWriteAborted", 1, true, false, 2000, {}, 1, 2, {kBookCut}, FailureRow::Partial},
    {"BookmarkWriteAborted", 8, true, false, 2000, {}, 1, 2, {kMarksCut}, FailureRow::Partial},
};

void ContactsFailureTest::Run(const char* name) {
  const FailureRow* found = nullptr;
  for (const FailureRow& r : kRows)
    if (std::string(r.name) == name) found = &r;
  ASSERT_NE(found, nullptr) << name;
  const FailureRow& row = *found;
  const bool book = row.kind == 1;
  // The handset holds 6 records of the kind; the list 2 entries in its file.
  const qvtest::HandsetLines before = book ? qv::BuildPhoneBookLines(qvtest::FullPhoneBook(6, false), true) : [] {
    qv::BookmarkList marks;
    for (int i = 0; i < 6; ++i) marks.push_back(qvtest::FullBookmark(100 + i));
    return qv::BuildBookmarkLines(marks, true);
  }();
  handsetsim::SimConfig config;
  config.info[row.kind] = qvtest::WireLines(before);
  config.infoCapacity = row.capacity;
  config.faults = row.faults;
  StartLauncher(config, !row.refusesInformationMode);
  std::filesystem::path file;
  if (book) {
    file = dir_ / "book.qad";
    contactstest::WriteBook(file, {qvtest::FullEntry(900, false), qvtest::FullEntry(901, true)});
    qv::IniFile(dir_ / "Quorvel.ini").WriteString("File", "AddressFile", "book.qad");
  } else {
    file = dir_ / "marks.qbk";
    ASSERT_TRUE(qv::SaveBookmarks(file, {qvtest::FullBookmark(900), qvtest::FullBookmark(901)}));
    qv::IniFile(dir_ / "Quorvel.ini").WriteString("File", "BookMarkFile", "marks.qbk");
  }
  const std::string fileBytes = qvtest::ReadFile(file);
  QWidget* window = book ? Open("電話帳", "frmAddress") : Open("ブックマーク", "frmBookMark");
  ASSERT_NE(window, nullptr);
  if (row.abortAfterRecords >= 0)
    WhileRunning([&] {
      if (!connecting_->isVisible() || connecting_->pbConnect == nullptr) return;
      if (connecting_->pbConnect->value() >= row.abortAfterRecords && connecting_->pbConnect->maximum() > 0)
        connecting_->btnAbort->click();
    });
  if (row.write)
    Send(window);
  else
    Act(window, "actImportData")->trigger();
  PumpUntil([&] { return !connecting_->isVisible() && NoticeTexts().size() >= row.notices.size(); });
  EXPECT_EQ(NoticeTexts(), row.notices) << "error log:\n" << ErrorLogText();
  EXPECT_EQ(ListOf(window)->model()->rowCount(), row.listRows);
  EXPECT_EQ(qvtest::ReadFile(file), fileBytes) << "the list's file";
  const qvtest::HandsetLines after = Store(row.kind);
  if (row.store == FailureRow::Kept) {
    EXPECT_EQ(after, before) << "the handset's store";
  } else {
    EXPECT_LT(after.size(), qv::BuildPhoneBookLines(Book(2), true).size() + 40) << "partly written";
    EXPECT_NE(after, before);
  }
  // The list is as the user left it: unchanged lists close without a question.
  if (row.listRows == 2) {
    Act(window, "actClose")->trigger();
    EXPECT_FALSE(window->isVisible());
  } else {
    modals_.Box(QMessageBox::No);
    Act(window, "actClose")->trigger();
    modals_.TakeBoxes();
  }
}

TEST_F(ContactsFailureTest, PhoneBookReadRefused) { Run("PhoneBookReadRefused"); }
TEST_F(ContactsFailureTest, BookmarkWriteRefused) { Run("BookmarkWriteRefused"); }
TEST_F(ContactsFailureTest, PhoneBookReadGarbage) { Run("PhoneBookReadGarbage"); }
TEST_F(ContactsFailureTest, BookmarkReadGarbage) { Run("BookmarkReadGarbage"); }
TEST_F(ContactsFailureTest, PhoneBookWriteFull) { Run("PhoneBookWriteFull"); }
TEST_F(ContactsFailureTest, BookmarkWriteFull) { Run("BookmarkWriteFull"); }
TEST_F(ContactsFailureTest, PhoneBookWritePulled) { Run("PhoneBookWritePulled"); }
TEST_F(ContactsFailureTest, BookmarkWritePulled) { Run("BookmarkWritePulled"); }
TEST_F(ContactsFailureTest, PhoneBookReadAborted) { Run("PhoneBookReadAborted"); }
TEST_F(ContactsFailureTest, BookmarkReadAborted) { Run("BookmarkReadAborted"); }
TEST_F(ContactsFailureTest, PhoneBookWriteAborted) { Run("PhoneBookWriteAborted"); }
TEST_F(ContactsFailureTest, BookmarkWriteAborted) { Run("BookmarkWriteAborted"); }

}  // namespace
