// The bookmarks through the built QvBookMark.qpl, as the launcher loads it:
// its exports, the list window and its file, the bookmark dialog, CSV and
// the handset exchange.
#include "ContactsFixture.h"

#include "core/data/ContactExchange.h"
#include "core/data/CSVData.h"
#include "core/data/HandsetExchange.h"
#include "platform/IniFile.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>

using namespace contactstest;

namespace {

qv::BookmarkEntry Mark(const char* name, const char* address = "http://example.jp/", const char* reading = "",
                       const char* comment = "") {
  qv::BookmarkEntry b;
  b.fields = {J(name), J(reading), J(address), J(comment)};
  return b;
}

QLineEdit* Line(QWidget& d, const char* name) { return d.findChild<QLineEdit*>(name); }
QPushButton* Button(QWidget& d, const char* name) { return d.findChild<QPushButton*>(name); }

}  // namespace

class BookmarkTest : public ContactsTest {
 protected:
  void SetUp() override {
    ContactsTest::SetUp();
    Load("QvBookMark.qpl");
  }
  void OpenMarks(const qv::BookmarkList& marks) {
    ASSERT_TRUE(qv::SaveBookmarks(App() / "marks.qbk", marks));
    qv::IniFile(Ini()).WriteString("File", "BookMarkFile", "marks.qbk");
    Show();
  }
};

TEST_F(BookmarkTest, TheExportsAndTheWindow) {
  EXPECT_EQ(plugin_->GetName(), J("ブックマーク"));
  EXPECT_FALSE(plugin_->GetIcon().isNull());
  EXPECT_TRUE(plugin_->CloseForm());
  EXPECT_EQ(plugin_->SetStr(5, "x"), 1);  // every id answers true; only 1 does anything
  EXPECT_EQ(Show()->windowTitle().toStdString(), "VeoQuorvel - ブックマーク");
  struct Spec {
    const char* name;
    const char* hint;
  } specs[] = {{"actNew", "ブックマークを新規作成"}, {"actOpen", "ブックマークを開く"},
               {"actSave", "ブックマークを保存"},     {"actExportData", "ブックマークデータ送信"},
               {"actImportData", "ブックマークデータ受信"}, {"actAdd", "ブックマークに追加"},
               {"actEdit", "ブックマークを編集"},     {"actDel", "ブックマークから削除"}};
  for (const Spec& s : specs) EXPECT_EQ(Action(s.name)->toolTip().toStdString(), s.hint);
  ASSERT_EQ(List()->model()->columnCount(), 4);
  std::vector<std::string> captions;
  for (int c = 0; c < 4; ++c) captions.push_back(List()->model()->headerData(c, Qt::Horizontal).toString().toStdString());
  EXPECT_EQ(captions, (std::vector<std::string>{"コンテンツ名", "コンテンツ読み仮名", "コンテンツアドレス", "コメント"}));
}

TEST_F(BookmarkTest, SaveIsOnlyOfferedAfterAChange) {
  OpenMarks({Mark("b"), Mark("a")});
  EXPECT_EQ(Column(1), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(Window()->windowTitle().toStdString(), "VeoQuorvel - ブックマーク - marks.qbk");
  EXPECT_FALSE(Action("actSave")->isEnabled());
  Select({0});
  Action("actDel")->trigger();
  EXPECT_TRUE(Action("actSave")->isEnabled());
  Action("actSave")->trigger();
  EXPECT_FALSE(Action("actSave")->isEnabled());
  // The file holds the rows alone, no caption row.
  qv::TCSVData file;
  ASSERT_TRUE(file.LoadFromFile(App() / "marks.qbk"));
  ASSERT_EQ(file.RowCount(), 1);
  EXPECT_EQ(file.GetCell(0, 0), "a");
}

TEST_F(BookmarkTest, TheHostsAddressOpensANewBookmark) {
  OpenMarks({Mark("a")});
  // Cancel with the address filled in asks; No adds nothing.
  modals_.Window("frmBookMarkEdit", [&](QWidget& d) {
    EXPECT_EQ(Line(d, "edtAddress")->text().toStdString(), "http://news.example.jp/");
    EXPECT_EQ(Line(d, "edtContents")->text(), QString());
    EXPECT_FALSE(Button(d, "btnOK")->isEnabled());
    modals_.Box(QMessageBox::No);
    Button(d, "btnCancel")->click();
  });
  EXPECT_EQ(plugin_->SetStr(1, "http://news.example.jp/"), 1);
  EXPECT_EQ(modals_.TakeBoxes(), std::vector<std::string>{"項目の変更を保存しますか？"});
  EXPECT_EQ(Rows(), 1);
  // OK needs a name; the new bookmark is selected alone.
  modals_.Window("frmBookMarkEdit", [&](QWidget& d) {
    Line(d, "edtContents")->setText(QString::fromUtf8("ニュース"));
    Line(d, "edtYomigana")->setText(QString::fromUtf8("ﾆｭｰｽ"));
    d.findChild<QPlainTextEdit*>("memComment")->setPlainText(QString::fromUtf8("毎朝\n見る"));
    ASSERT_TRUE(Button(d, "btnOK")->isEnabled());
    Button(d, "btnOK")->click();
  });
  Select({0});
  EXPECT_EQ(plugin_->SetStr(1, "http://news.example.jp/"), 1);
  EXPECT_EQ(Rows(), 2);
  EXPECT_EQ(CountText(), "2 件 ");
  const auto selected = List()->selectionModel()->selectedRows();
  ASSERT_EQ(selected.size(), 1);
  EXPECT_EQ(List()->model()->index(selected[0].row(), 0).data().toString().toStdString(), "ニュース");
  Action("actSave")->trigger();
  qv::BookmarkList saved;
  ASSERT_TRUE(qv::LoadBookmarks(App() / "marks.qbk", saved));
  ASSERT_EQ(saved.size(), 2u);
  const auto& added = saved[0].Field(qv::kBmName) == "a" ? saved[1] : saved[0];
  EXPECT_EQ(added, Mark("ニュース", "http://news.example.jp/", "ﾆｭｰｽ", "毎朝\r\n見る"));
}

TEST_F(BookmarkTest, EditingChangesTheSelectedBookmarkAndCancelYesKeepsTheChange) {
  OpenMarks({Mark("a", "http://a/"), Mark("b", "http://b/")});
  Select({1});
  modals_.Window("frmBookMarkEdit", [&](QWidget& d) {
    EXPECT_EQ(Line(d, "edtContents")->text().toStdString(), "b");
    EXPECT_EQ(Line(d, "edtAddress")->text().toStdString(), "http://b/");
    Line(d, "edtAddress")->setText(QStringLiteral("http://b2/"));
    modals_.Box(QMessageBox::Yes);
    Button(d, "btnCancel")->click();
  });
  Action("actEdit")->trigger();
  EXPECT_EQ(Column(2), (std::vector<std::string>{"http://a/", "http://b2/"}));
  EXPECT_EQ(Rows(), 2);
  EXPECT_TRUE(Action("actSave")->isEnabled());
  modals_.TakeBoxes();
}

TEST_F(BookmarkTest, AFileThatCannotBeReadLeavesEverythingAsItWas) {
  OpenMarks({Mark("kept")});
  qvtest::WriteFile(tmp_ / "utf8.qbk", "\xE3\x83\x8B\xE3\x83\xA5,x\r\n");
  modals_.File(tmp_ / "utf8.qbk");
  modals_.Box();
  Action("actOpen")->trigger();
  EXPECT_EQ(modals_.TakeBoxes(),
            std::vector<std::string>{"ブックマークファイルではないか、壊れています。\r\n" + (tmp_ / "utf8.qbk").string()});
  EXPECT_EQ(Column(0), std::vector<std::string>{"kept"});
  EXPECT_EQ(Window()->windowTitle().toStdString(), "VeoQuorvel - ブックマーク - marks.qbk");
  EXPECT_EQ(qv::IniFile(Ini()).ReadString("File", "BookMarkFile", ""), "marks.qbk");
  EXPECT_FALSE(Action("actSave")->isEnabled());
}

TEST_F(BookmarkTest, CsvExportHasACaptionRowThatTheImportSkips) {
  OpenMarks({Mark("a,1", "http://a/?x=\"y\"", "ｱ", "two\r\nlines"), Mark("b", "http://b/", "ｲ")});
  modals_.File(tmp_ / "out.csv");
  Action("actExportCSV")->trigger();
  qv::TCSVData csv;
  ASSERT_TRUE(csv.LoadFromFile(tmp_ / "out.csv"));
  ASSERT_EQ(csv.RowCount(), 3);
  EXPECT_EQ(U(csv.GetCell(0, 0)), "コンテンツ名");
  Action("actNew")->trigger();
  modals_.File(tmp_ / "out.csv");
  Action("actImportCSV")->trigger();
  EXPECT_EQ(Column(0), (std::vector<std::string>{"a,1", "b"}));
  EXPECT_EQ(Column(3), (std::vector<std::string>{"two lines", ""}));  // a line break shows as a blank
  EXPECT_TRUE(Action("actSave")->isEnabled());
  modals_.Box(QMessageBox::No);
  Window()->close();
  modals_.TakeBoxes();
}

TEST_F(BookmarkTest, SendAndReceiveThroughTheLauncher) {
  const qv::BookmarkList marks = {qvtest::FullBookmark(1), qvtest::FullBookmark(2)};
  OpenMarks(marks);
  std::vector<std::string> sent;
  OnParam() = [&](int32_t kind, int32_t value) {
    if (kind == 6 && value == 8) qv::HandsetExchangeFile::Read(Exchange(8), sent);
    if (kind == 5 && value == 8)
      qv::HandsetExchangeFile::Write(Exchange(8), qv::BuildBookmarkLines({Mark("only a name")}, true));
    return true;
  };
  modals_.Box(QMessageBox::Yes);
  Action("actExportData")->trigger();
  EXPECT_EQ(modals_.TakeBoxes(),
            std::vector<std::string>{"現在電話機にあるブックマーク情報は全て削除されます\r\n処理を続けますか？"});
  EXPECT_EQ(qv::ParseBookmarkLines(sent).size(), 2u);
  Action("actImportData")->trigger();
  EXPECT_EQ(ParamCalls(), (std::vector<std::pair<int32_t, int32_t>>{{6, 8}, {5, 8}}));
  EXPECT_EQ(StrCalls(), (std::vector<std::pair<int32_t, std::string>>{{10, "ブックマーク 送信完了"},
                                                                      {10, "ブックマークを 1 件受信しました"}}));
  EXPECT_EQ(Rows(), 3);
  EXPECT_TRUE(Action("actSave")->isEnabled());
  modals_.Box(QMessageBox::No);
  Window()->close();
  modals_.TakeBoxes();
}

TEST_F(BookmarkTest, TheListAndTheDialogAsAUserSeesThem) {
  qv::BookmarkList marks;
  for (int i = 0; i < 8; ++i) marks.push_back(qvtest::FullBookmark(i));
  OpenMarks(marks);
  Window()->resize(760, 360);
  const QImage list = Window()->grab().toImage();
  list.save(QString::fromStdString(qvtest::ArtifactPath("bookmark-list.png").string()));
  EXPECT_EQ(CountText(), "8 件 ");
  // Text in the first row, nothing below the last.
  QTreeView* view = List();
  const QRect first = view->visualRect(view->model()->index(0, 0)).translated(view->viewport()->mapTo(Window(), QPoint()));
  const QRect below(first.left(), view->viewport()->mapTo(Window(), QPoint(0, view->viewport()->height() - 12)).y(),
                    first.width(), 8);
  auto dark = [&](const QRect& r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) n += qGray(list.pixel(x, y)) < 96;
    return n;
  };
  EXPECT_GT(dark(first), 20);
  EXPECT_EQ(dark(below), 0);
  Select({0});
  modals_.Window("frmBookMarkEdit", [&](QWidget& d) {
    const QImage shot = d.grab().toImage();
    shot.save(QString::fromStdString(qvtest::ArtifactPath("bookmark-dialog.png").string()));
    EXPECT_EQ(Line(d, "edtAddress")->text().toStdString(), "http://example.jp/news/0?a=1&b=2");
    Button(d, "btnCancel")->click();
  });
  Action("actEdit")->trigger();
}
