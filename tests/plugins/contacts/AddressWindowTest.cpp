// The phone book through the built QvAddress.qpl, as the launcher loads it:
// its exports, the list window's actions, files, CSV and handset exchange.
#include "ContactsFixture.h"
#include "SpecialFiles.h"

#include "core/data/ContactExchange.h"
#include "core/data/HandsetExchange.h"
#include "platform/IniFile.h"

#include <QAction>
#include <QFileDialog>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>
#include <QTreeView>

using namespace contactstest;

namespace {

std::vector<std::string> Texts(const QList<QAction*>& actions) {
  std::vector<std::string> texts;
  for (QAction* a : actions) texts.push_back(a->isSeparator() ? "-" : a->text().toStdString());
  return texts;
}

qv::PhoneBookEntry Entry(std::string_view kana, std::string_view kanji = "", std::string_view phone = "") {
  qv::PhoneBookEntry e;
  e.SetField(qv::kPbKana, J(kana));
  e.SetField(qv::kPbKanji, J(kanji));
  e.SetField(qv::kPbPhone1, J(phone));
  return e;
}

}  // namespace

class AddressTest : public ContactsTest {
 protected:
  void SetUp() override {
    ContactsTest::SetUp();
    Load("QvAddress.qpl");
  }
  // The phone book the window keeps in the file.
  qv::PhoneBookList Saved(const std::filesystem::path& path) {
    qv::PhoneBookList list;
    EXPECT_TRUE(qv::LoadArchive(path, list));
    return list;
  }
};

TEST_F(AddressTest, TheExportsAnswerAsThePluginInterfaceSays) {
  EXPECT_EQ(plugin_->GetName(), J("電話帳"));
  EXPECT_FALSE(plugin_->GetIcon().isNull());
  // Hidden: closing asks nothing.
  EXPECT_TRUE(plugin_->CloseForm());
  auto setParam = reinterpret_cast<QvSetParamFn>(Export("SetParam"));
  auto getParam = reinterpret_cast<QvGetParamFn>(Export("GetParam"));
  auto getStr = reinterpret_cast<QvGetStrFn>(Export("GetStr"));
  auto callBackParam = reinterpret_cast<QvCallBackParamFn>(Export("CallBackParam"));
  ASSERT_TRUE(setParam && getParam && getStr && callBackParam);
  int32_t value = 0;
  char buffer[8];
  EXPECT_TRUE(setParam(1, 2));
  EXPECT_TRUE(getParam(1, &value));
  EXPECT_TRUE(getStr(1, buffer, sizeof buffer));
  EXPECT_EQ(plugin_->SetStr(2, "x"), 0);
  // A name cut to a small buffer keeps whole characters.
  auto getName = reinterpret_cast<QvGetPluginNameFn>(Export("GetPluginName"));
  int32_t size = 4;
  ASSERT_TRUE(getName(buffer, &size));
  EXPECT_EQ(std::string(buffer), J("電"));
  EXPECT_EQ(callBackParam(nullptr), 0);
}

TEST_F(AddressTest, TheWindowHasItsActionsMenusAndToolBar) {
  Show();
  EXPECT_EQ(Window()->windowTitle().toStdString(), "VeoQuorvel - 電話帳");
  struct Spec {
    const char* name;
    const char* caption;
    const char* hint;
  } specs[] = {{"actNew", "新規", "電話帳を新規作成"},      {"actOpen", "開く", "電話帳を開く"},
               {"actSave", "保存", "電話帳を保存"},          {"actSaveAs", "名前を付けて保存", ""},
               {"actImportCSV", "CSVインポート", ""},        {"actExportCSV", "CSVエクスポート", ""},
               {"actExportData", "送信", "電話帳データ送信"}, {"actImportData", "受信", "電話帳データ受信"},
               {"actClose", "閉じる", ""},                   {"actAdd", "追加", "電話帳に追加"},
               {"actEdit", "編集", "電話帳を編集"},          {"actDel", "削除", "電話帳から削除"}};
  for (const Spec& s : specs) {
    QAction* a = Action(s.name);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text().toStdString(), s.caption);
    if (*s.hint) {
      EXPECT_EQ(a->toolTip().toStdString(), s.hint) << s.name;
    }
  }
  auto* bar = Window()->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  const auto menus = bar->actions();
  ASSERT_EQ(menus.size(), 2);
  EXPECT_EQ(menus[0]->text().toStdString(), "ファイル(&F)");
  EXPECT_EQ(Texts(menus[0]->menu()->actions()),
            (std::vector<std::string>{"新規", "開く", "保存", "名前を付けて保存", "-", "CSVインポート", "CSVエクスポート",
                                      "-", "送信", "受信", "-", "閉じる"}));
  EXPECT_EQ(menus[1]->text().toStdString(), "編集(&E)");
  EXPECT_EQ(Texts(menus[1]->menu()->actions()), (std::vector<std::string>{"追加", "編集", "削除"}));
  EXPECT_EQ(Texts(Window()->findChild<QMenu*>("popList")->actions()), (std::vector<std::string>{"編集", "削除"}));
  EXPECT_EQ(Texts(Window()->findChild<QToolBar*>("tbrMain")->actions()),
            (std::vector<std::string>{"新規", "開く", "保存", "追加", "編集", "削除", "送信", "受信"}));
  // The list: one column per field, the kana name first.
  auto* header = List()->header();
  ASSERT_EQ(List()->model()->columnCount(), 51);
  EXPECT_EQ(List()->model()->headerData(0, Qt::Horizontal).toString().toStdString(), "名前(カナ)");
  EXPECT_EQ(List()->model()->headerData(50, Qt::Horizontal).toString().toStdString(), "画像データ");
  EXPECT_TRUE(header->sectionsClickable());
  EXPECT_EQ(List()->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(List()->editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(AddressTest, ShowingOpensTheFileOfTheSettingsOrStartsUntitled) {
  // [File] AddressFile naming a missing file: an empty, untitled list.
  qv::IniFile(Ini()).WriteString("File", "AddressFile", "missing.qad");
  Show();
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(Window()->windowTitle().toStdString(), "VeoQuorvel - 電話帳");
  EXPECT_EQ(CountText(), "0 件 ");
  Window()->close();
  // A relative name is the launcher's folder's; it stays as written.
  WriteBook(App() / "book.qad", {Entry("ﾀﾅｶ"), Entry("ｱｵｷ"), Entry("ｽｽﾞｷ")});
  qv::IniFile(Ini()).WriteString("File", "AddressFile", "book.qad");
  Show();
  EXPECT_EQ(Column(0), (std::vector<std::string>{"ｱｵｷ", "ｽｽﾞｷ", "ﾀﾅｶ"}));  // sorted by the kana name
  EXPECT_EQ(Window()->windowTitle().toStdString(), "VeoQuorvel - 電話帳 - book.qad");
  EXPECT_EQ(CountText(), "3 件 ");
  EXPECT_EQ(qv::IniFile(Ini()).ReadString("File", "AddressFile", ""), "book.qad");
  EXPECT_TRUE(Action("actSave")->isEnabled());
}

TEST_F(AddressTest, EditAndDeleteFollowTheSelection) {
  WriteBook(App() / "book.qad", {Entry("ｱ"), Entry("ｲ"), Entry("ｳ"), Entry("ｴ")});
  qv::IniFile(Ini()).WriteString("File", "AddressFile", "book.qad");
  Show();
  EXPECT_FALSE(Action("actEdit")->isEnabled());
  EXPECT_FALSE(Action("actDel")->isEnabled());
  Select({1});
  EXPECT_TRUE(Action("actEdit")->isEnabled());
  EXPECT_TRUE(Action("actDel")->isEnabled());
  Select({1, 3});
  EXPECT_FALSE(Action("actEdit")->isEnabled());
  EXPECT_TRUE(Action("actDel")->isEnabled());
  // Enter with two entries selected edits nothing: no dialog opens.
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  List()->setCurrentIndex(List()->model()->index(1, 0));
  Select({1, 3});
  QApplication::sendEvent(List(), &enter);
  // The Delete key removes every selected entry, without a question.
  QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
  QApplication::sendEvent(List(), &del);
  EXPECT_EQ(Column(0), (std::vector<std::string>{"ｱ", "ｳ"}));
  EXPECT_EQ(CountText(), "2 件 ");
  Select({0});
  Action("actDel")->trigger();
  EXPECT_EQ(Column(0), (std::vector<std::string>{"ｳ"}));
  // The list changed: closing asks.
  modals_.Box(QMessageBox::No);
  Window()->close();
  EXPECT_EQ(modals_.TakeBoxes(),
            std::vector<std::string>{"ﾌｧｲﾙ book.qad の内容は変更されています。\r\n変更保存しますか?"});
  EXPECT_FALSE(Window()->isVisible());
  EXPECT_EQ(Saved(App() / "book.qad").size(), 4u) << "No keeps the file as it was";
}

TEST_F(AddressTest, NewOpenSaveAndSaveAs) {
  Show();
  const auto first = WriteBook(tmp_ / "first.qad", {Entry("ｲﾁ", "一"), Entry("ﾆ", "二")});
  // Open: the dialog's file is read and becomes the current one.
  modals_.File(first);
  Action("actOpen")->trigger();
  EXPECT_EQ(Column(1), (std::vector<std::string>{"一", "二"}));
  EXPECT_EQ(Window()->windowTitle().toStdString(), "VeoQuorvel - 電話帳 - first.qad");
  EXPECT_EQ(qv::IniFile(Ini()).ReadString("File", "AddressFile", ""), first.string());
  // Cancelling the open dialog leaves the list as it was.
  modals_.File({});
  Action("actOpen")->trigger();
  EXPECT_EQ(Rows(), 2);
  // A change, then New: Cancel keeps everything, No drops it.
  Select({0});
  Action("actDel")->trigger();
  modals_.Box(QMessageBox::Cancel);
  Action("actNew")->trigger();
  EXPECT_EQ(Rows(), 1);
  modals_.Box(QMessageBox::No);
  Action("actNew")->trigger();
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(Window()->windowTitle().toStdString(), "VeoQuorvel - 電話帳");
  EXPECT_EQ(modals_.TakeBoxes().size(), 2u);
  // Save on an untitled list asks for a name; the extension is added.
  modals_.File({});
  Action("actSave")->trigger();
  EXPECT_FALSE(std::filesystem::exists(tmp_ / "second.qad"));
  modals_.File(tmp_ / "second");
  Action("actSave")->trigger();
  EXPECT_TRUE(std::filesystem::exists(tmp_ / "second.qad"));
  EXPECT_EQ(Window()->windowTitle().toStdString(), "VeoQuorvel - 電話帳 - second.qad");
  // Yes to the question saves first.
  modals_.File(first);
  Action("actOpen")->trigger();
  Select({0});
  Action("actDel")->trigger();
  modals_.Box(QMessageBox::Yes);
  Action("actNew")->trigger();
  EXPECT_EQ(Saved(first).size(), 1u);
  EXPECT_EQ(Rows(), 0);
}

TEST_F(AddressTest, AFileThatCannotBeReadIsToldAndTheListStays) {
  const auto good = WriteBook(tmp_ / "good.qad", qvtest::FullPhoneBook(3));
  std::string bytes = qvtest::ReadFile(good);
  qvtest::WriteFile(tmp_ / "cut.qad", bytes.substr(0, bytes.size() - 7));
  qvtest::WriteFile(tmp_ / "text.qad", "just some text\r\n");
  Show();
  modals_.File(good);
  Action("actOpen")->trigger();
  ASSERT_EQ(Rows(), 3);
  for (const char* name : {"cut.qad", "text.qad"}) {
    SCOPED_TRACE(name);
    modals_.File(tmp_ / name);
    modals_.Box();
    Action("actOpen")->trigger();
    EXPECT_EQ(modals_.TakeBoxes(),
              std::vector<std::string>{"電話帳ファイルではないか、壊れています。\r\n" + (tmp_ / name).string()});
    EXPECT_EQ(Rows(), 3);
    EXPECT_EQ(Window()->windowTitle().toStdString(), "VeoQuorvel - 電話帳 - good.qad");
  }
}

TEST_F(AddressTest, AFailedSaveIsToldKeepsTheOldFileAndOffersAnotherName) {
  const auto book = WriteBook(tmp_ / "book.qad", {Entry("ｱ")});
  const std::string old = qvtest::ReadFile(book);
  Show();
  modals_.File(book);
  Action("actOpen")->trigger();
  // Many entries with pictures: far more than the disk takes.
  const auto csv = tmp_ / "many.csv";
  qvtest::WriteFile(csv, qv::WriteCsv(qvtest::FullPhoneBook(200), false));
  modals_.File(csv);
  Action("actImportCSV")->trigger();
  ASSERT_EQ(Rows(), 201);
  {
    qvtest::ScopedFileSizeLimit full(old.size() + 100);
    modals_.Box();
    modals_.File({});  // the save-as dialog that follows, cancelled
    Action("actSave")->trigger();
  }
  EXPECT_EQ(modals_.TakeBoxes(), std::vector<std::string>{"電話帳ファイルを保存できませんでした。\r\n" + book.string()});
  EXPECT_EQ(qvtest::ReadFile(book), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp_.path()), {}), 3) << "no leftovers";
  // Still changed: the next close asks.
  modals_.Box(QMessageBox::Cancel);
  Window()->close();
  EXPECT_TRUE(Window()->isVisible());
  EXPECT_EQ(modals_.TakeBoxes().size(), 1u);
}

TEST_F(AddressTest, CsvExportThenImportGivesTheSameList) {
  Show();
  qv::PhoneBookList book = qvtest::FullPhoneBook(20);
  book[1].SetField(qv::kPbKanji, "a,\"b\"\r\nc");
  WriteBook(tmp_ / "book.qad", book);
  modals_.File(tmp_ / "book.qad");
  Action("actOpen")->trigger();
  modals_.File(tmp_ / "out");
  Action("actExportCSV")->trigger();
  ASSERT_TRUE(std::filesystem::exists(tmp_ / "out.csv"));
  const std::string exported = qvtest::ReadFile(tmp_ / "out.csv");
  Action("actNew")->trigger();  // unchanged since the open: no question
  modals_.File(tmp_ / "out.csv");
  Action("actImportCSV")->trigger();
  EXPECT_EQ(Rows(), 20);
  EXPECT_EQ(CountText(), "20 件 ");
  modals_.File(tmp_ / "again.csv");
  Action("actExportCSV")->trigger();
  EXPECT_EQ(qvtest::ReadFile(tmp_ / "again.csv"), exported);
  // The import changed the list: closing asks.
  modals_.Box(QMessageBox::No);
  Window()->close();
  EXPECT_EQ(modals_.TakeBoxes().size(), 1u);
}

TEST_F(AddressTest, ACsvFileThatIsNoShiftJisCsvStoresNothing) {
  WriteBook(App() / "book.qad", {Entry("ｱ")});
  qv::IniFile(Ini()).WriteString("File", "AddressFile", "book.qad");
  Show();
  struct Case {
    const char* name;
    std::string bytes;
    std::string why;
  } cases[] = {
      {"utf8.csv", "\xE5\xB1\xB1\xE7\x94\xB0,\xE3\x82\xA4\r\n", "Shift-JISのテキストではありません。"},
      {"open.csv", ",,\"unclosed,,\r\nnext\r\n", "閉じていない引用符 (\") があります。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    qvtest::WriteFile(tmp_ / c.name, c.bytes);
    modals_.File(tmp_ / c.name);
    modals_.Box();
    Action("actImportCSV")->trigger();
    EXPECT_EQ(modals_.TakeBoxes(), std::vector<std::string>{"CSVファイルを読み込めませんでした。\r\n" + c.why +
                                                             "\r\n" + (tmp_ / c.name).string()});
    EXPECT_EQ(Rows(), 1);
  }
  // Nothing changed: closing asks nothing.
  Window()->close();
  EXPECT_FALSE(Window()->isVisible());
}

TEST_F(AddressTest, ACsvNameThatIsNoFileIsRefusedUnread) {
  WriteBook(App() / "book.qad", {Entry("ｱ")});
  qv::IniFile(Ini()).WriteString("File", "AddressFile", "book.qad");
  Show();
  const qvtest::NotFiles notFiles(tmp_ / "special", ".csv");
  for (const qvtest::NotAFile& f : notFiles.chosenInDialogs()) {
    SCOPED_TRACE(f.what);
    modals_.File(f.path);
    modals_.Box();
    Action("actImportCSV")->trigger();
    EXPECT_EQ(modals_.TakeBoxes(), std::vector<std::string>{"CSVファイルを読み込めませんでした。\r\n" + f.path.string()});
    EXPECT_EQ(Rows(), 1);
  }
  EXPECT_FALSE(notFiles.FifoWaitedOn());
}

TEST_F(AddressTest, ColumnsSortAsTextNumbersOrDates) {
  qv::PhoneBookList book(3);
  const char* kana[] = {"ｳ", "ｱ", "ｲ"};
  const char* ages[] = {"9", "10", "100"};
  const char* dates[] = {"2001/02/03", "1999/12/31", "2010/01/01"};
  for (int i = 0; i < 3; ++i) {
    book[i].SetField(qv::kPbKana, J(kana[i]));
    book[i].SetField(qv::kPbAge, ages[i]);
    book[i].SetField(qv::kPbBirthDate, dates[i]);
  }
  WriteBook(App() / "book.qad", book);
  qv::IniFile(Ini()).WriteString("File", "AddressFile", "book.qad");
  Show();
  EXPECT_EQ(Column(0), (std::vector<std::string>{"ｱ", "ｲ", "ｳ"}));
  auto click = [&](int column) { List()->header()->sectionClicked(column); };
  click(qv::kPbAge);
  EXPECT_EQ(Column(qv::kPbAge), (std::vector<std::string>{"9", "10", "100"}));
  click(qv::kPbAge);
  EXPECT_EQ(Column(qv::kPbAge), (std::vector<std::string>{"100", "10", "9"}));
  click(qv::kPbBirthDate);
  EXPECT_EQ(Column(qv::kPbBirthDate), (std::vector<std::string>{"1999/12/31", "2001/02/03", "2010/01/01"}));
  // Saving writes the list in the order shown, pictures renumbered with it.
  modals_.File(tmp_ / "sorted.qad");
  Action("actSaveAs")->trigger();
  std::vector<std::string> saved;
  for (const auto& e : Saved(tmp_ / "sorted.qad")) saved.emplace_back(e.Field(qv::kPbBirthDate));
  EXPECT_EQ(saved, (std::vector<std::string>{"1999/12/31", "2001/02/03", "2010/01/01"}));
}

TEST_F(AddressTest, SendWritesTheExchangeFileAndAsksTheLauncher) {
  qv::IniFile(Ini()).WriteString("Environment", "DuplicationFlagStartOdd", "0");
  const qv::PhoneBookList book = qvtest::FullPhoneBook(5);
  WriteBook(App() / "book.qad", book);
  qv::IniFile(Ini()).WriteString("File", "AddressFile", "book.qad");
  Show();
  std::vector<std::string> sent;
  OnParam() = [&](int32_t kind, int32_t value) {
    if (kind == 6 && value == 1) qv::HandsetExchangeFile::Read(Exchange(1), sent);
    return true;
  };
  // No: nothing goes to the launcher.
  modals_.Box(QMessageBox::No);
  Action("actExportData")->trigger();
  EXPECT_EQ(modals_.TakeBoxes(),
            std::vector<std::string>{"現在電話機にある電話帳情報は全て削除されます\r\n処理を続けますか？"});
  EXPECT_TRUE(ParamCalls().empty());
  modals_.Box(QMessageBox::Yes);
  Action("actExportData")->trigger();
  EXPECT_EQ(ParamCalls(), (std::vector<std::pair<int32_t, int32_t>>{{6, 1}}));
  EXPECT_EQ(sent, qv::BuildPhoneBookLines(book, false));
  EXPECT_EQ(StrCalls(), (std::vector<std::pair<int32_t, std::string>>{{10, "電話帳データ 送信完了"}}));
  // The launcher refusing: nothing is told.
  OnParam() = [](int32_t, int32_t) { return false; };
  StrCalls().clear();
  modals_.Box(QMessageBox::Yes);
  Action("actExportData")->trigger();
  EXPECT_TRUE(StrCalls().empty());
  modals_.TakeBoxes();
  // An empty list writes an empty file and asks nothing.
  ParamCalls().clear();
  Action("actNew")->trigger();
  Action("actExportData")->trigger();
  EXPECT_TRUE(ParamCalls().empty());
  EXPECT_EQ(qvtest::ReadFile(Exchange(1)), "");
}

TEST_F(AddressTest, NamesTheHandsetCannotHoldAreToldBeforeSending) {
  qv::PhoneBookList book = {Entry("ﾀﾅｶ"), Entry("山田", "山田"), Entry("やまだ")};
  WriteBook(App() / "book.qad", book);
  qv::IniFile(Ini()).WriteString("File", "AddressFile", "book.qad");
  Show();
  modals_.Box(QMessageBox::No);
  Action("actExportData")->trigger();
  EXPECT_EQ(modals_.TakeBoxes(),
            std::vector<std::string>{"名前(カナ)を電話機の文字で表せない電話帳データが 1 件あります (山田)。\r\n"
                                     "これらは電話機に名前なしで登録され、次の受信では読み込まれません。\r\n"
                                     "送信を続けますか？"});
  EXPECT_TRUE(ParamCalls().empty());
  modals_.Box(QMessageBox::Yes);
  modals_.Box(QMessageBox::Yes);
  Action("actExportData")->trigger();
  EXPECT_EQ(ParamCalls(), (std::vector<std::pair<int32_t, int32_t>>{{6, 1}}));
  // The hiragana name went out folded.
  std::vector<std::string> lines;
  ASSERT_TRUE(qv::HandsetExchangeFile::Read(Exchange(1), lines));
  std::vector<std::string> names;
  for (const auto& e : qv::ParsePhoneBookLines(lines)) names.push_back(U(e.Field(qv::kPbKana)));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"ﾀﾅｶ", "ﾔﾏﾀﾞ"}));
  modals_.TakeBoxes();
}

TEST_F(AddressTest, ReceiveAppendsWhatTheLauncherBrought) {
  const qv::PhoneBookList handset = qvtest::FullPhoneBook(4);
  WriteBook(App() / "book.qad", {Entry("ｱ")});
  qv::IniFile(Ini()).WriteString("File", "AddressFile", "book.qad");
  qvtest::WriteFile(Exchange(1), "stale lines of an earlier receive\r\n");
  Show();
  bool staleGone = false;
  OnParam() = [&](int32_t kind, int32_t value) {
    staleGone = !std::filesystem::exists(Exchange(1));
    if (kind == 5 && value == 1) qv::HandsetExchangeFile::Write(Exchange(1), qv::BuildPhoneBookLines(handset, true));
    return true;
  };
  Action("actImportData")->trigger();
  EXPECT_TRUE(staleGone);
  EXPECT_EQ(ParamCalls(), (std::vector<std::pair<int32_t, int32_t>>{{5, 1}}));
  EXPECT_EQ(StrCalls(), (std::vector<std::pair<int32_t, std::string>>{{10, "電話帳データを 4 件受信しました"}}));
  EXPECT_EQ(Rows(), 5);
  EXPECT_EQ(CountText(), "5 件 ");
  // A receive that brings nothing still tells so, and changes nothing.
  modals_.Box(QMessageBox::No);
  Action("actNew")->trigger();
  modals_.TakeBoxes();
  OnParam() = [&](int32_t, int32_t) {
    qvtest::WriteFile(Exchange(1), "");
    return true;
  };
  StrCalls().clear();
  Action("actImportData")->trigger();
  EXPECT_EQ(StrCalls(), (std::vector<std::pair<int32_t, std::string>>{{10, "電話帳データを 0 件受信しました"}}));
  Window()->close();  // unchanged: no question
  EXPECT_FALSE(Window()->isVisible());
  // Refused by the launcher: nothing is told.
  Show();
  OnParam() = [](int32_t, int32_t) { return false; };
  StrCalls().clear();
  Action("actImportData")->trigger();
  EXPECT_TRUE(StrCalls().empty());
}

// A launcher that gave no text callback: the plug-in tells in a message box.
class AddressWithoutNoticesTest : public ContactsTest {
 protected:
  void SetUp() override {
    ContactsTest::SetUp();
    StrCallbackSet() = false;
    Load("QvAddress.qpl");
  }
};

TEST_F(AddressWithoutNoticesTest, TellsInAMessageBox) {
  Show();
  OnParam() = [&](int32_t, int32_t) {
    qvtest::WriteFile(Exchange(1), "");
    return true;
  };
  modals_.Box();
  Action("actImportData")->trigger();
  EXPECT_EQ(modals_.TakeBoxes(), std::vector<std::string>{"電話帳データを 0 件受信しました"});
}

TEST_F(AddressTest, TheHostsTextOpensTheEntryDialogWithIt) {
  WriteBook(App() / "book.qad", {Entry("ｱ"), Entry("ｲ")});
  qv::IniFile(Ini()).WriteString("File", "AddressFile", "book.qad");
  struct Case {
    const char* text;
    const char* list;
    const char* other;
  } cases[] = {{"09012345678", "lstTel", "lstMail"}, {"taro@example.jp", "lstMail", "lstTel"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    bool seen = false;
    modals_.Window("frmAddressEdit", [&](QWidget& d) {
      seen = true;
      auto* list = d.findChild<QListWidget*>(c.list);
      ASSERT_EQ(list->count(), 1);
      EXPECT_EQ(list->item(0)->text().toStdString(), c.text);
      EXPECT_EQ(d.findChild<QListWidget*>(c.other)->count(), 0);
      EXPECT_EQ(d.findChild<QLineEdit*>("edtKanaName")->text(), QString());  // a new entry
      EXPECT_TRUE(d.findChild<QPushButton*>("btnNew")->isEnabled() == false);
      // Without a kana name 更新 stays disabled; with one it stores.
      EXPECT_FALSE(d.findChild<QPushButton*>("btnSave")->isEnabled());
      d.findChild<QLineEdit*>("edtKanaName")->setText(QString::fromUtf8("ｳ"));
      ASSERT_TRUE(d.findChild<QPushButton*>("btnSave")->isEnabled());
      d.findChild<QPushButton*>("btnSave")->click();
      d.findChild<QPushButton*>("btnClose")->click();
    });
    Show();
    Select({0});
    EXPECT_EQ(plugin_->SetStr(1, J(c.text)), 1);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(Window()->isVisible());
  }
  EXPECT_EQ(Column(0), (std::vector<std::string>{"ｱ", "ｲ", "ｳ", "ｳ"}));
  EXPECT_EQ(Column(qv::kPbPhone1), (std::vector<std::string>{"", "", "09012345678", ""}));
  EXPECT_EQ(CountText(), "4 件 ");
  // CloseForm asks about the change; Cancel vetoes the launcher's exit.
  modals_.Box(QMessageBox::Cancel);
  EXPECT_FALSE(plugin_->CloseForm());
  modals_.Box(QMessageBox::No);
  EXPECT_TRUE(plugin_->CloseForm());
  EXPECT_FALSE(Window()->isVisible());
  EXPECT_EQ(modals_.TakeBoxes().size(), 2u);
}

TEST_F(AddressTest, TheListAsAUserSeesIt) {
  WriteBook(App() / "book.qad", qvtest::FullPhoneBook(12));
  qv::IniFile(Ini()).WriteString("File", "AddressFile", "book.qad");
  Show();
  Window()->resize(900, 420);
  const QImage shot = Window()->grab().toImage();
  shot.save(QString::fromStdString(qvtest::ArtifactPath("address-list.png").string()));
  EXPECT_EQ(CountText(), "12 件 ");
  EXPECT_EQ(Column(0).front(), "ﾔﾏﾀﾞ ﾀﾛｳ0");
  // The first row's kana name is drawn; the status line shows the count.
  QTreeView* view = List();
  const QRect first = view->visualRect(view->model()->index(0, 0)).translated(view->viewport()->mapTo(Window(), QPoint()));
  int dark = 0;
  for (int y = first.top(); y <= first.bottom(); ++y)
    for (int x = first.left(); x <= first.right(); ++x) dark += qGray(shot.pixel(x, y)) < 96;
  EXPECT_GT(dark, 20);
  auto* count = Window()->findChild<QLabel*>("pnlCount");
  EXPECT_TRUE(count->isVisible());
  EXPECT_GT(count->mapTo(Window(), QPoint(count->width(), 0)).x(), Window()->width() - 40) << "right-aligned";
}

TEST_F(AddressTest, TheFileDialogsProposeTheirExtensionAndCompleteANameWithoutOne) {
  Show();
  WriteBook(tmp_ / "first.qad", {Entry("ｲﾁ", "一")});
  qvtest::WriteFile(tmp_ / "contacts.csv", qv::WriteCsv({Entry("ﾆ", "二"), Entry("ｻﾝ", "三")}, false));
  // What the user sees in each dialog and types into its name field.
  auto answer = [&](const char* suffix, const char* proposed, const char* typed) {
    modals_.Window("QFileDialog", [=, this](QWidget& w) {
      auto& dialog = static_cast<QFileDialog&>(w);
      auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
      ASSERT_NE(name, nullptr);
      EXPECT_EQ(dialog.defaultSuffix().toStdString(), suffix);
      EXPECT_EQ(name->text().toStdString(), proposed);
      dialog.setDirectory(QString::fromStdString(tmp_.path().string()));
      if (dialog.acceptMode() == QFileDialog::AcceptOpen && std::string(proposed) == "*.csv")
        dialog.grab().save(QString::fromStdString(qvtest::ArtifactPath("address-csv-dialog.png").string()));
      name->setText(QString::fromUtf8(typed));
      static_cast<QDialog&>(dialog).accept();
      if (dialog.isVisible()) dialog.reject();
    });
  };
  answer("qad", "", "first");
  Action("actOpen")->trigger();
  EXPECT_EQ(Window()->windowTitle().toStdString(), "VeoQuorvel - 電話帳 - first.qad");
  answer("csv", "*.csv", "contacts");
  Action("actImportCSV")->trigger();
  EXPECT_EQ(Column(1), (std::vector<std::string>{"一", "三", "二"}));  // by kana
  // Saved under a name without one: the file of the completed name is the
  // one the dialog asks about replacing.
  qvtest::WriteFile(tmp_ / "kept.qad", "kept");
  answer("qad", "first.qad", "kept");
  modals_.Box(QMessageBox::No);
  Action("actSaveAs")->trigger();
  EXPECT_EQ(modals_.TakeBoxes().size(), 1u);
  EXPECT_EQ(qvtest::ReadFile(tmp_ / "kept.qad"), "kept");
  answer("csv", "*.csv", "out");
  Action("actExportCSV")->trigger();
  EXPECT_EQ(qv::CheckCsvText(qvtest::ReadFile(tmp_ / "out.csv")), qv::CsvTextError::None);
  EXPECT_FALSE(std::filesystem::exists(tmp_ / "out"));
  modals_.Box(QMessageBox::No);
  Window()->close();
}
