// The selective receive list: its rows from the centre's list lines, the
// answers, and the selection mapped back to the lines.
#include "LauncherFixture.h"
#include "controls/MultiButton.h"
#include "launcher/QvSelectFRM.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>
#include <QtTest/QTest>

using namespace qvtest;

namespace {

std::string Line(const std::string& no, const std::string& size, const std::string& rest) {
  return no + "\tID" + no + "\tfrom" + no + "@example.jp\t" + J("件名") + no + "\t2024/03/0" + no.substr(0, 1) +
         " 10:00:00\t" + size + rest;
}

class SelectListTest : public LauncherTest {
 protected:
  void SetUp() override {
    LauncherTest::SetUp();
    std::filesystem::copy_file(AppDir() / "image.dll", dir_ / "image.dll");
    Start();
  }
  static std::vector<std::string> Column(const qv::TfrmSelect& s, int col) {
    std::vector<std::string> out;
    const QAbstractItemModel* m = s.lsvMailList->model();
    for (int r = 0; r < m->rowCount(); ++r) out.push_back(m->index(r, col).data().toString().toStdString());
    return out;
  }
  static void Select(qv::TfrmSelect& s, int row) {
    s.lsvMailList->selectionModel()->select(s.lsvMailList->model()->index(row, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
};

TEST(SelectList, TheAttachmentCountIsField6AndEverySecondFieldFrom7On) {
  struct Case {
    const char* fields;
    long long attachments;
  } cases[] = {
      {"1\tA\tf\ts\td\t100", 0},                  // six fields: none
      {"1\tA\tf\ts\td\t100\t2", 2},               // field 6
      {"1\tA\tf\ts\td\t100\t2\t3\t40", 5},         // up to field 8: only 7 is added
      {"1\tA\tf\ts\td\t100\t0\t1\t99\t4\t99", 5},  // 7 and 9
      {"1\tA\tf\ts\td\t100\tx\t1", 1},             // no number counts 0
  };
  for (const Case& c : cases) EXPECT_EQ(qv::ListLineAttachments(c.fields), c.attachments) << c.fields;
}

TEST_F(SelectListTest, RowsShowTheLinesWithSizeAndAttachmentMark) {
  qv::TfrmSelect select(launch_.get());
  EXPECT_EQ(select.windowTitle().toStdString(), "選択受信");
  const std::vector<std::string> lines = {Line("1", "300", ""), Line("2", "1200", "\t1\t2\t0"),
                                          Line("3", "50", "\t0")};
  select.SetLines(lines);
  ASSERT_EQ(select.items->rowCount(), 3);
  std::vector<std::string> headers;
  for (int c = 0; c < 6; ++c) headers.push_back(select.items->headerData(c, Qt::Horizontal).toString().toStdString());
  EXPECT_EQ(headers, (std::vector<std::string>{"No", "差出人", "件名", "受信日", "サイズ", "添付"}));
  EXPECT_EQ(Column(select, 0), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(Column(select, 1)[1], "from2@example.jp");
  EXPECT_EQ(Column(select, 2)[2], "件名3");
  EXPECT_EQ(Column(select, 3)[0], "2024/03/01 10:00:00");
  EXPECT_EQ(Column(select, 4), (std::vector<std::string>{"300", "1203", "50"})) << "the size with the attachments";
  EXPECT_EQ(Column(select, 5), (std::vector<std::string>{"", "", ""})) << "no text, only a mark";
  EXPECT_FALSE(select.items->item(1, 5)->icon().isNull()) << "attachments";
  EXPECT_TRUE(select.items->item(0, 5)->icon().isNull());
  EXPECT_TRUE(select.items->item(2, 5)->icon().isNull());
  EXPECT_FALSE(select.items->item(0, 0)->icon().isNull()) << "every row has its mail picture";
}

TEST_F(SelectListTest, SortingByAColumnLeavesTheSelectionInTheCentresOrder) {
  qv::TfrmSelect select(launch_.get());
  const std::vector<std::string> lines = {Line("9", "300", ""), Line("10", "100", ""), Line("2", "200", "")};
  select.SetLines(lines);
  select.show();
  QTest::mouseClick(select.lsvMailList->header()->viewport(), Qt::LeftButton, {},
                    QPoint(select.lsvMailList->header()->sectionViewportPosition(0) + 5, 5));
  EXPECT_EQ(Column(select, 0), (std::vector<std::string>{"2", "9", "10"})) << "as numbers";
  QTest::mouseClick(select.lsvMailList->header()->viewport(), Qt::LeftButton, {},
                    QPoint(select.lsvMailList->header()->sectionViewportPosition(0) + 5, 5));
  EXPECT_EQ(Column(select, 0), (std::vector<std::string>{"10", "9", "2"})) << "again: reversed";
  Select(select, 0);  // 10
  Select(select, 2);  // 2
  EXPECT_EQ(select.SelectedLines(lines), (std::vector<std::string>{lines[1], lines[2]}));
  select.hide();
}

TEST_F(SelectListTest, TheAnswersNeedASelectionAndTheBorderEnds) {
  struct Case {
    const char* what;
    bool selectFirst;
    std::function<void(qv::TfrmSelect&)> act;
    int result;  // -1: still open
  } cases[] = {
      {"受信", true, [](qv::TfrmSelect& s) { QTest::mouseClick(s.btnOK, Qt::LeftButton); }, qv::TfrmSelect::kReceive},
      {"削除", true, [](qv::TfrmSelect& s) { QTest::mouseClick(s.btnDel, Qt::LeftButton); }, qv::TfrmSelect::kDelete},
      {"Delete key", true, [](qv::TfrmSelect& s) { QTest::keyClick(s.lsvMailList, Qt::Key_Delete); },
       qv::TfrmSelect::kDelete},
      {"Enter", true, [](qv::TfrmSelect& s) { QTest::keyClick(s.lsvMailList, Qt::Key_Return); },
       qv::TfrmSelect::kReceive},
      {"Delete without a selection", false, [](qv::TfrmSelect& s) { QTest::keyClick(s.lsvMailList, Qt::Key_Delete); },
       -1},
      {"受信 without a selection", false, [](qv::TfrmSelect& s) { s.actOK->trigger(); }, -1},
      {"終了", true, [](qv::TfrmSelect& s) { QTest::mouseClick(s.btnCancel, Qt::LeftButton); }, qv::TfrmSelect::kEnd},
      {"the border", true, [](qv::TfrmSelect& s) { s.close(); }, qv::TfrmSelect::kEnd},
      {"Escape", false, [](qv::TfrmSelect& s) { QTest::keyClick(&s, Qt::Key_Escape); }, qv::TfrmSelect::kEnd},
  };
  const std::vector<std::string> lines = {Line("1", "300", ""), Line("2", "100", "")};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qv::TfrmSelect select(launch_.get());
    select.SetLines(lines);
    bool stillOpen = false;
    QTimer::singleShot(0, &select, [&] {
      EXPECT_FALSE(select.actOK->isEnabled());
      EXPECT_FALSE(select.btnDel->isEnabled());
      if (c.selectFirst) Select(select, 0);
      EXPECT_EQ(select.actOK->isEnabled(), c.selectFirst);
      c.act(select);
      QTimer::singleShot(0, &select, [&] {
        stillOpen = select.isVisible();
        if (stillOpen) select.done(99);
      });
    });
    const int result = select.exec();
    EXPECT_EQ(stillOpen ? -1 : result, c.result);
  }
}

TEST_F(SelectListTest, SelectAllTakesEveryRow) {
  qv::TfrmSelect select(launch_.get());
  EXPECT_FALSE(select.actSelectAll->isEnabled()) << "nothing to select";
  const std::vector<std::string> lines = {Line("1", "300", ""), Line("2", "100", ""), Line("3", "5", "")};
  select.SetLines(lines);
  select.show();
  EXPECT_TRUE(select.actSelectAll->isEnabled());
  QTest::keyClick(select.lsvMailList, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(select.SelectedLines(lines), lines);
  select.hide();
}

}  // namespace
