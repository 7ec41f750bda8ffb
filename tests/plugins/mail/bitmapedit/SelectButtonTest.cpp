// The tool button that unfolds into its alternatives.
#include "plugins/mail/bitmapedit/SelectButton.h"

#include "PanelTestSupport.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <memory>

using namespace qv;
using namespace bitmaptest;

namespace {

// Images of 16 x 16: image i has i + 1 black columns on magenta.
QImage Strip(int count) {
  QImage strip(16 * count, 16, QImage::Format_RGB32);
  strip.fill(QColor(255, 0, 255));
  for (int i = 0; i < count; ++i)
    for (int c = 0; c <= i; ++c)
      for (int y = 2; y < 14; ++y) strip.setPixel(16 * i + 4 + c, y, qRgb(0, 0, 0));
  return strip;
}

class SelectButtonTest : public ::testing::Test {
 protected:
  TSelectButton* Button(int count, int group = 1) {
    auto* button = new TSelectButton(&parent_);
    button->SetButtonCount(count);
    button->SetGlyph(Strip(count));
    button->SetGroup(group);
    button->show();
    return button;
  }
  void SetUp() override {
    parent_.resize(200, 100);
    parent_.show();
  }
  QWidget parent_;
};

TEST_F(SelectButtonTest, OneImageNeverUnfolds) {
  TSelectButton* button = Button(1);
  QSignalSpy changes(button, &TSelectButton::OnChange);
  EXPECT_EQ(button->size(), QSize(20, 20));
  SendMouse(button, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
  EXPECT_FALSE(button->Unfolded());
  EXPECT_EQ(button->size(), QSize(20, 20));
  EXPECT_TRUE(button->GetDown());
  SendMouse(button, QEvent::MouseMove, {60, 10}, Qt::NoButton, Qt::LeftButton);
  SendMouse(button, QEvent::MouseButtonRelease, {60, 10}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(button->GetSelectNo(), 0);
  EXPECT_EQ(changes.count(), 1);
}

TEST_F(SelectButtonTest, FourImagesUnfoldAndTheReleaseChooses) {
  TSelectButton* other = Button(1);
  TSelectButton* button = Button(4);
  other->raise();
  SendMouse(button, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
  EXPECT_TRUE(button->Unfolded());
  EXPECT_EQ(button->size(), QSize(5 * 16 + 8, 20));
  EXPECT_EQ(parent_.children().last(), button) << "raised over its siblings";
  // Column (x - 16 - 6) div 16.
  SendMouse(button, QEvent::MouseMove, {22 + 2 * 16 + 5, 10}, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(button->MarkedNo(), 2);
  QSignalSpy changes(button, &TSelectButton::OnChange);
  SendMouse(button, QEvent::MouseButtonRelease, {22 + 2 * 16 + 5, 10}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(button->GetSelectNo(), 2);
  EXPECT_FALSE(button->Unfolded());
  EXPECT_EQ(button->size(), QSize(20, 20));
  EXPECT_EQ(changes.count(), 1);
}

TEST_F(SelectButtonTest, ReleaseOutsideTheRowKeepsTheChoice) {
  TSelectButton* button = Button(4);
  button->SetSelectNo(3);
  const struct {
    const char* name;
    QPoint release;
  } cases[] = {
      {"below the row", {22 + 16 + 5, 30}},
      {"above the row", {22 + 16 + 5, -1}},
      {"right of the last image", {22 + 4 * 16 + 1, 10}},
      // (x - 22) div 16 truncates to 0 for x a little left of the row.
      {"a small move over the folded button", {21, 10}},
      {"over the folded button", {12, 10}},
  };
  for (const auto& c : cases) {
    SendMouse(button, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    SendMouse(button, QEvent::MouseMove, {22 + 16 + 5, 10}, Qt::NoButton, Qt::LeftButton);
    ASSERT_EQ(button->MarkedNo(), 1);
    SendMouse(button, QEvent::MouseMove, c.release, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(button->MarkedNo(), -1) << c.name;
    SendMouse(button, QEvent::MouseButtonRelease, c.release, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(button->GetSelectNo(), 3) << c.name;
  }
}

TEST_F(SelectButtonTest, GroupsOfOneParentExcludeEachOther) {
  TSelectButton* a = Button(1, 1);
  TSelectButton* b = Button(2, 1);
  TSelectButton* widths = Button(4, 2);
  widths->SetDown(true);
  a->SetDown(true);
  SendMouse(b, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(b, QEvent::MouseButtonRelease, {5, 5}, Qt::LeftButton, Qt::NoButton);
  EXPECT_TRUE(b->GetDown());
  EXPECT_FALSE(a->GetDown());
  EXPECT_TRUE(widths->GetDown());
}

TEST_F(SelectButtonTest, GlyphCutWithTheBottomLeftColourTransparent) {
  TSelectButton* button = Button(3);
  EXPECT_EQ(button->Image(0).size(), QSize(16, 16));
  EXPECT_EQ(qAlpha(button->Image(1).pixel(0, 0)), 0);
  EXPECT_EQ(button->Image(1).pixel(5, 5), qRgb(0, 0, 0));
  EXPECT_EQ(qAlpha(button->Image(1).pixel(6, 5)), 0);
  EXPECT_EQ(button->Image(2).pixel(6, 5), qRgb(0, 0, 0));
  EXPECT_TRUE(button->Image(3).isNull());

  // Down: the face in DownColor, the image over it without magenta.
  button->SetDownColor(clRed);
  button->SetDown(true);
  const QImage shot = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(shot.pixel(3, 3), qRgb(255, 0, 0));
  EXPECT_EQ(shot.pixel(2 + 4, 2 + 5), qRgb(0, 0, 0));
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) ASSERT_NE(shot.pixel(x, y), qRgb(255, 0, 255));
}

// A button width of 0 neither divides by zero nor unfolds.
TEST_F(SelectButtonTest, ZeroWidthButtons) {
  TSelectButton* button = Button(4);
  button->SetButtonWidth(0);
  SendMouse(button, QEvent::MouseButtonPress, {1, 1}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(button, QEvent::MouseMove, {30, 5}, Qt::NoButton, Qt::LeftButton);
  SendMouse(button, QEvent::MouseButtonRelease, {30, 5}, Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(button->Unfolded());
  EXPECT_EQ(button->GetSelectNo(), 0);
  button->SetButtonCount(0);
  EXPECT_EQ(button->GetButtonCount(), 1);
}

}  // namespace
