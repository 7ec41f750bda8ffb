// The image-list selector: its grid and scroll range, selection by mouse and
// arrow keys held within the list, and the dialog component.
#include "plugins/mail/pickers/ImageListSelector.h"

#include "PanelTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QDialog>

using namespace qv;

namespace {

// Images that differ: image i is filled with a colour of its own.
void Fill(TImageList& list, int count) {
  list.Clear();
  for (int i = 0; i < count; ++i) {
    QImage image(list.GetWidth(), list.GetHeight(), QImage::Format_RGB32);
    image.fill(QColor::fromHsv(i * 360 / std::max(count, 1) % 360, 200, 230));
    list.Add(image);
  }
}

class SelectorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    selector.SetImageWidth(20);
    selector.SetImageHeight(20);
    selector.SetSpace(3);  // cells of 26 x 26
    Fill(images, 10);
    selector.SetImages(&images);
  }
  int BarWidth() { return selector.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &selector); }

  TImageList images{16, 16};
  TImageListSelector selector;
};

}  // namespace

TEST_F(SelectorTest, TenImagesInThreeColumnsWithRoomForTwoRowsScrollOverFourRows) {
  EXPECT_EQ(selector.GetImagesIndex(), -1);
  selector.resize(3 * 26 + BarWidth(), 2 * 26);
  EXPECT_TRUE(selector.ScrollBarShown());
  EXPECT_EQ(selector.Columns(), 3);
  EXPECT_EQ(selector.Rows(), 4);
  EXPECT_EQ(selector.ScrollRangeMax(), 3);
  EXPECT_EQ(selector.PageRows(), 2);
  // The bar's own range stops where the last two rows fill the page.
  EXPECT_EQ(selector.ScrollBar()->maximum(), 2);
  EXPECT_EQ(selector.ScrollBar()->pageStep(), 2);
  selector.ScrollBar()->setValue(2);
  EXPECT_EQ(selector.FirstRow(), 2);
  selector.SetFirstRow(40);
  EXPECT_EQ(selector.FirstRow(), 2);
  // Everything fits: no bar, columns from the whole width, first row 0.
  selector.resize(5 * 26, 2 * 26);
  EXPECT_FALSE(selector.ScrollBarShown());
  EXPECT_EQ(selector.Columns(), 5);
  EXPECT_EQ(selector.Rows(), 2);
  EXPECT_EQ(selector.FirstRow(), 0);
  // Sizes of 0 or less take the list's.
  selector.SetImageWidth(0);
  selector.SetImageHeight(-1);
  EXPECT_EQ(selector.CellWidth(), 16 + 6);
  EXPECT_EQ(selector.CellHeight(), 16 + 6);
}

TEST_F(SelectorTest, ArrowKeysMoveTheSelectionAndStopAtTheEnds) {
  selector.resize(3 * 26 + BarWidth(), 2 * 26);
  selector.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&selector));
  QSignalSpy changes(&selector, &TImageListSelector::OnChange);
  struct Step {
    Qt::Key key;
    int index;
  } steps[] = {
      {Qt::Key_Right, 0}, {Qt::Key_Left, 0},  {Qt::Key_Up, 0},    {Qt::Key_Right, 1}, {Qt::Key_Down, 4},
      {Qt::Key_Down, 7},  {Qt::Key_Down, 9},  {Qt::Key_Down, 9},  {Qt::Key_Right, 9}, {Qt::Key_Up, 6},
      {Qt::Key_Left, 5},  {Qt::Key_Up, 2},    {Qt::Key_Up, 0},    {Qt::Key_Left, 0},
  };
  for (const Step& s : steps) {
    QTest::keyClick(&selector, s.key);
    EXPECT_EQ(selector.GetImagesIndex(), s.index) << s.key;
  }
  // Only the steps that moved told of a change.
  EXPECT_EQ(changes.count(), 9);
  // The selection scrolls into view.
  QTest::keyClick(&selector, Qt::Key_Down);
  QTest::keyClick(&selector, Qt::Key_Down);
  QTest::keyClick(&selector, Qt::Key_Down);
  EXPECT_EQ(selector.GetImagesIndex(), 9);
  EXPECT_EQ(selector.FirstRow(), 2);
  QTest::keyClick(&selector, Qt::Key_Up);
  QTest::keyClick(&selector, Qt::Key_Up);
  QTest::keyClick(&selector, Qt::Key_Up);
  EXPECT_EQ(selector.FirstRow(), 0);
  // An empty list has nothing to select.
  images.Clear();
  EXPECT_EQ(selector.GetImagesIndex(), -1);
  QTest::keyClick(&selector, Qt::Key_Right);
  EXPECT_EQ(selector.GetImagesIndex(), -1);
}

TEST_F(SelectorTest, TheMouseSelectsTheCellUnderItHeldToTheLastImage) {
  selector.resize(3 * 26 + BarWidth(), 2 * 26);
  selector.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&selector));
  QTest::mouseClick(&selector, Qt::LeftButton, {}, QPoint(26 + 5, 26 + 5));
  EXPECT_EQ(selector.GetImagesIndex(), 4);
  EXPECT_TRUE(selector.hasFocus());
  selector.SetFirstRow(2);
  // Row 3 holds only image 9: a click beside it takes the last image.
  QTest::mouseClick(&selector, Qt::LeftButton, {}, QPoint(2 * 26 + 5, 26 + 5));
  EXPECT_EQ(selector.GetImagesIndex(), 9);
  QTest::mouseClick(&selector, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(selector.GetImagesIndex(), 6);
  // Dragging past the edges stays in the grid.
  QMouseEvent drag(QEvent::MouseMove, QPointF(-50, -50), selector.mapToGlobal(QPointF(-50, -50)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&selector, &drag);
  EXPECT_EQ(selector.GetImagesIndex(), 6);
  EXPECT_EQ(selector.IndexAt(QPoint(5000, 5000)), 9);
  // A double click chooses.
  QSignalSpy chosen(&selector, &TImageListSelector::Activated);
  QTest::mouseDClick(&selector, Qt::LeftButton, {}, QPoint(26 + 5, 5));
  EXPECT_EQ(selector.GetImagesIndex(), 7);
  EXPECT_EQ(chosen.count(), 1);
  QTest::keyClick(&selector, Qt::Key_Return);
  EXPECT_EQ(chosen.count(), 2);
}

TEST_F(SelectorTest, TheSelectedCellIsHighlightedWhileFocusedAndEachImageDrawnInItsCell) {
  selector.resize(3 * 26, 4 * 26);
  selector.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&selector));
  selector.SetImagesIndex(4);
  selector.setFocus();
  QApplication::setActiveWindow(&selector);
  ASSERT_TRUE(QTest::qWaitFor([&] { return selector.hasFocus(); }));
  QImage shot = selector.grab().toImage();
  const QColor highlight = selector.palette().color(QPalette::Highlight);
  // Image 4's cell: its Space ring is the highlight, its middle the image.
  const QRect cell = selector.CellRect(4);
  EXPECT_EQ(shot.pixelColor(cell.left() + 1, cell.top() + 13), highlight);
  EXPECT_EQ(shot.pixelColor(cell.center()), images.Image(4).pixelColor(8, 8));
  const QRect other = selector.CellRect(5);
  EXPECT_EQ(shot.pixelColor(other.left() + 1, other.top() + 13), ToQColor(clWindow));
  EXPECT_EQ(shot.pixelColor(other.center()), images.Image(5).pixelColor(8, 8));
  ASSERT_TRUE(shot.save(QString::fromStdString(qvtest::ArtifactPath("imagelist-selector.png").string())));
  // Without focus nothing is highlighted.
  selector.clearFocus();
  shot = selector.grab().toImage();
  EXPECT_EQ(shot.pixelColor(cell.left() + 1, cell.top() + 13), ToQColor(clWindow));
}

TEST_F(SelectorTest, ASelectorOfNoSizeStillAnswers) {
  selector.resize(0, 0);
  EXPECT_EQ(selector.Columns(), 1);
  EXPECT_EQ(selector.PageRows(), 1);
  EXPECT_EQ(selector.IndexAt(QPoint(0, 0)), 0);
  selector.SetSpace(0);
  selector.SetImageWidth(0);
  images.SetWidth(0);
  EXPECT_EQ(selector.CellWidth(), 1);
  EXPECT_EQ(selector.IndexAt(QPoint(3, 3)), -1);  // the list is empty now
}

TEST(SelectorDialog, ExecuteGivesTheChosenImage) {
  TImageList images(12, 12);
  Fill(images, 7);
  TImageListSelectorDialog dialog;
  EXPECT_EQ(dialog.GetCaption(), QString::fromUtf8("イメージ選択"));
  EXPECT_EQ(dialog.GetImagesIndex(), -1);
  EXPECT_EQ(dialog.GetColor(), clBtnFace);
  EXPECT_TRUE(dialog.GetParentColor());
  EXPECT_TRUE(dialog.GetParentFont());
  dialog.SetImages(&images);
  dialog.SetImagesIndex(2);
  bitmaptest::OnModal<QDialog>([](QDialog& modal) {
    EXPECT_EQ(modal.windowTitle(), QString::fromUtf8("イメージ選択"));
    auto* grid = modal.findChild<TImageListSelector*>();
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->GetImagesIndex(), 2);
    QTest::keyClick(grid, Qt::Key_Right);
    QTest::keyClick(grid, Qt::Key_Right);
    modal.findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
  });
  EXPECT_TRUE(dialog.Execute());
  EXPECT_EQ(dialog.GetImagesIndex(), 4);
  bitmaptest::OnModal<QDialog>([](QDialog& modal) {
    QTest::keyClick(modal.findChild<TImageListSelector*>(), Qt::Key_Left);
    modal.findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
  });
  EXPECT_FALSE(dialog.Execute());
  EXPECT_EQ(dialog.GetImagesIndex(), 4);
}
