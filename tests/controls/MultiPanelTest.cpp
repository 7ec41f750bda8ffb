// TMultiPanel in its five styles (check-box behaviour and layout included)
// and TColorBox.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QSignalSpy>
#include <QTest>

#include "ControlTestUtil.h"
#include "controls/BRVGraphicsEX.h"
#include "controls/MultiButton.h"

using qvtest::Pixel;
using qvtest::Render;

namespace {

const TColor kColor = RGB(30, 60, 90);
const TColor kFace = RGB(200, 180, 40);

TEST(MultiPanelDefaults, MatchThePublishedTable) {
  TMultiPanel panel;
  qvtest::ExpectDefaults(panel, {
                                    {"MultiPanelStyle", QVariant::fromValue(mpsPanel)},
                                    {"ShapeType", QVariant::fromValue(mstNone)},
                                    {"RoundSize", -1},
                                    {"Checked", true},
                                    {"ParentResize", false},
                                    {"Image", QImage()},
                                    {"Images", QVariant::fromValue<TImageList*>(nullptr)},
                                    {"ImageIndex", 0},
                                    {"CheckEnabled", true},
                                    {"FaceColor", QVariant::fromValue<TColor>(panel.GetColor())},
                                    {"ParentColor", true},
                                    {"Alignment", QVariant::fromValue(taCenter)},
                                    {"BevelOuter", QVariant::fromValue(bvRaised)},
                                    {"BevelInner", QVariant::fromValue(bvNone)},
                                    {"BevelWidth", 1},
                                    {"BorderWidth", 0},
                                    {"Caption", QString()},
                                });
}

TEST(MultiPanel, FaceColorFollowsTheParentsColour) {
  TMultiPanel parent;
  parent.SetColor(RGB(1, 2, 3));
  TMultiPanel child(&parent);
  EXPECT_EQ(child.GetColor(), RGB(1, 2, 3));
  EXPECT_EQ(child.GetFaceColor(), RGB(1, 2, 3));
  parent.SetColor(RGB(4, 5, 6));
  EXPECT_EQ(child.GetFaceColor(), RGB(4, 5, 6));
  child.SetFaceColor(kFace);
  parent.SetColor(RGB(7, 8, 9));
  EXPECT_EQ(child.GetColor(), RGB(7, 8, 9));
  EXPECT_EQ(child.GetFaceColor(), kFace);
}

TEST(MultiPanel, MouseEnterAndLeaveFireTheEvents) {
  TMultiPanel panel;
  QSignalSpy entered(&panel, &TMultiPanel::OnMouseEnter);
  QSignalSpy left(&panel, &TMultiPanel::OnMouseLeave);
  qvtest::SendEnter(panel);
  qvtest::SendLeave(panel);
  EXPECT_EQ(entered.count(), 1);
  EXPECT_EQ(left.count(), 1);
}

// --- client rect --------------------------------------------------------------

TEST(MultiPanel, ClientRectPerStyle) {
  struct ClientCase {
    TMultiPanelStyle style;
    TMShapeType shape;
    int border;
    QMargins expected;
  };
  TMultiPanel probe;
  probe.setFont(qvtest::TestFont());
  const int th = QFontMetrics(qvtest::TestFont()).height();
  const int line = std::max(th, 13);
  const ClientCase cases[] = {
      {mpsPanel, mstNone, 0, {1, 1, 1, 1}},
      {mpsPanel, mstNone, 3, {4, 4, 4, 4}},
      // Automatic radius min(300 / 16, (200 - 3) / 2, (100 - 3) / 2) = 18: inset by half.
      {mpsPanel, mstRoundRect, 0, {10, 10, 10, 10}},
      // A sixth of the client rect's 198 x 98.
      {mpsPanel, mstEllipse, 0, {1 + 33, 1 + 16, 1 + 33, 1 + 16}},
      {mpsMergePanel, mstRoundRect, 0, {1, 1, 1, 1}},
      {mpsGroup, mstNone, 0, {2, th + 1, 2, 2}},
      {mpsCheck, mstNone, 2, {3, 3 + line + 4, 3, 3}},
      {mpsTabGroup, mstNone, 2, {3 + 2, 3 + th + 2 + 2, 3 + 2, 3 + 2}},
  };
  for (const ClientCase& c : cases) {
    TMultiPanel panel;
    panel.setFont(qvtest::TestFont());
    panel.resize(200, 100);
    panel.SetMultiPanelStyle(c.style);
    panel.SetShapeType(c.shape);
    panel.SetBorderWidth(c.border);
    EXPECT_EQ(panel.contentsMargins(), c.expected) << "style " << c.style << " shape " << c.shape;
  }
}

// --- painting --------------------------------------------------------------

struct PanelFixture {
  QWidget window;
  TMultiPanel* panel;
  PanelFixture(TMultiPanelStyle style, QSize size = {120, 60}) {
    window.resize(300, 200);
    panel = new TMultiPanel(&window);
    panel->setFont(qvtest::TestFont());
    panel->setGeometry(QRect(QPoint(0, 0), size));
    panel->SetMultiPanelStyle(style);
    panel->SetColor(kColor);
    panel->SetFaceColor(kFace);
  }
};

TEST(MultiPanelPaint, PlainPanelBevelsAndFace) {
  PanelFixture f(mpsPanel);
  f.panel->SetBorderWidth(2);
  const QImage shot = Render(*f.panel);
  EXPECT_EQ(Pixel(shot, 0, 0), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(Pixel(shot, 119, 59), ColorToRGB(clBtnShadow));
  EXPECT_EQ(Pixel(shot, 1, 30), kColor) << "border";
  EXPECT_EQ(Pixel(shot, 60, 30), kFace);
  f.panel->SetBevelOuter(bvLowered);
  EXPECT_EQ(Pixel(Render(*f.panel), 0, 0), ColorToRGB(clBtnShadow));
}

TEST(MultiPanelPaint, ShapedPanelFillsAroundTheFace) {
  PanelFixture f(mpsPanel);
  f.panel->SetShapeType(mstRoundRect);
  f.panel->SetBevelInner(bvRaised);
  f.panel->SetBevelWidth(2);
  QImage shot = Render(*f.panel);
  EXPECT_EQ(Pixel(shot, 2, 2), kColor) << "outside the rounded face";
  EXPECT_EQ(Pixel(shot, 60, 30), kFace);
  EXPECT_EQ(Pixel(shot, 2, 30), qvtest::RimColor(kFace, 128, 16, true));
  f.panel->SetBevelInner(bvLowered);
  EXPECT_EQ(Pixel(Render(*f.panel), 2, 30), qvtest::RimColor(kColor, 128, 16, false));

  f.panel->SetShapeType(mstEllipse);
  shot = Render(*f.panel);
  EXPECT_EQ(Pixel(shot, 60, 30), kFace);
  EXPECT_NE(Pixel(shot, 4, 4), kFace);
}

TEST(MultiPanelPaint, GroupFrameHasAGapForTheCaption) {
  PanelFixture f(mpsGroup);
  f.panel->SetCaption("Group");
  const int th = QFontMetrics(qvtest::TestFont()).height();
  const int frameTop = th / 2 - 1;
  const QImage shot = Render(*f.panel);
  EXPECT_EQ(Pixel(shot, 110, frameTop), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(Pixel(shot, 30, frameTop), kColor) << "inside the caption gap";
  EXPECT_EQ(Pixel(shot, 60, 1), kColor) << "above the frame";
  EXPECT_GT(qvtest::CountOf(shot, ColorToRGB(clWindowText)), 10) << "caption drawn";
}

TEST(MultiPanelPaint, TabGroupTabAndBody) {
  PanelFixture f(mpsTabGroup);
  f.panel->SetCaption("Tab");
  const int th = QFontMetrics(qvtest::TestFont()).height();
  const QImage shot = Render(*f.panel);
  EXPECT_EQ(Pixel(shot, 110, th / 2), kColor) << "beside the tab, outside the outline";
  EXPECT_EQ(Pixel(shot, 60, 40), kFace) << "body";
  EXPECT_EQ(Pixel(shot, 2, th / 2), kFace) << "inside the tab";
  EXPECT_EQ(Pixel(shot, 0, 30), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(Pixel(shot, 119, 30), ColorToRGB(clBtnShadow));
}

TEST(MultiPanelPaint, MergePanelsHideTheirCommonEdge) {
  QWidget window;
  auto* first = new TMultiPanel(&window);
  first->setGeometry(0, 0, 100, 40);
  auto* second = new TMultiPanel(&window);
  second->setGeometry(98, 0, 100, 40);
  for (auto* p : {first, second}) p->SetColor(kColor);
  EXPECT_EQ(Pixel(Render(*second), 0, 20), ColorToRGB(clBtnHighlight));
  first->SetMultiPanelStyle(mpsMergePanel);
  second->SetMultiPanelStyle(mpsMergePanel);
  const QImage merged = Render(*second);
  EXPECT_EQ(Pixel(merged, 0, 20), kColor);
  EXPECT_EQ(Pixel(merged, 1, 20), kColor);
  EXPECT_EQ(Pixel(merged, 2, 20), kColor);
  EXPECT_EQ(Pixel(merged, 99, 20), ColorToRGB(clBtnShadow)) << "the far edge keeps its bevel";
  EXPECT_EQ(Pixel(Render(*first), 99, 20), ColorToRGB(clBtnShadow)) << "the earlier panel is not changed";
}

TEST(MultiPanelPaint, ImagesTileFromTheTopParentsOrigin) {
  QWidget window;
  auto* holder = new QWidget(&window);
  holder->setGeometry(3, 0, 50, 50);
  auto* panel = new TMultiPanel(holder);
  panel->setGeometry(0, 1, 20, 20);
  panel->SetBevelOuter(bvNone);
  QImage tile(2, 2, QImage::Format_RGB32);
  tile.setPixel(0, 0, qRgb(255, 0, 0));
  tile.setPixel(1, 0, qRgb(0, 255, 0));
  tile.setPixel(0, 1, qRgb(0, 0, 255));
  tile.setPixel(1, 1, qRgb(255, 255, 255));
  TImageList list(2, 2);
  list.Add(tile);
  panel->SetImages(&list);
  panel->SetImageIndex(0);
  // The panel sits at (3, 1) of the window: its (0, 0) shows tile pixel (1, 1).
  const QImage shot = Render(*panel);
  EXPECT_EQ(Pixel(shot, 0, 0), RGB(255, 255, 255));
  EXPECT_EQ(Pixel(shot, 1, 0), RGB(0, 0, 255));
  EXPECT_EQ(Pixel(shot, 0, 1), RGB(0, 255, 0));
}

// --- check style -----------------------------------------------------------

struct CheckFixture {
  QWidget window;
  TMultiPanel* panel;
  std::vector<QWidget*> children;
  int line;
  CheckFixture() {
    window.resize(300, 300);
    panel = new TMultiPanel(&window);
    panel->setFont(qvtest::TestFont());
    panel->setGeometry(10, 10, 200, 100);
    panel->SetCaption("Options");
    panel->SetMultiPanelStyle(mpsCheck);
    for (int i = 0; i < 3; ++i) {
      auto* child = new QWidget(panel);
      child->setGeometry(10, 20 + i * 25, 50, 20);
      children.push_back(child);
    }
    QApplication::processEvents();  // the layout after children are added
    line = std::max(QFontMetrics(qvtest::TestFont()).height(), 13);
  }
  int Visible() const {
    int n = 0;
    for (QWidget* c : children) n += c->isVisibleTo(panel) ? 1 : 0;
    return n;
  }
  QPoint OnBox() const { return panel->CheckHitRect().ToQRect().topLeft() + QPoint(4, 4); }
};

TEST(MultiPanelCheck, UncheckingHidesChildrenAndShrinksToTheCaptionLine) {
  CheckFixture f;
  // Frame 1 (the raised outer bevel); lowest child ends at 90.
  EXPECT_EQ(f.panel->height(), 91);
  EXPECT_EQ(f.Visible(), 3);
  f.panel->SetChecked(false);
  EXPECT_EQ(f.Visible(), 0);
  EXPECT_EQ(f.panel->height(), 1 + f.line + 1);
  f.panel->SetChecked(true);
  EXPECT_EQ(f.Visible(), 3);
  EXPECT_EQ(f.panel->height(), 91);
}

TEST(MultiPanelCheck, OnCheckClickMayKeepTheHeightAndParentResizeFollows) {
  CheckFixture f;
  std::vector<int> asked;
  QObject::connect(f.panel, &TMultiPanel::OnCheckClick, [&](int& change) {
    asked.push_back(change);
    change = 0;
  });
  f.panel->SetChecked(false);
  EXPECT_EQ(asked, std::vector<int>{1 + f.line + 1 - 91});
  EXPECT_EQ(f.panel->height(), 91);
  EXPECT_EQ(f.Visible(), 0);

  QObject::disconnect(f.panel, &TMultiPanel::OnCheckClick, nullptr, nullptr);
  f.panel->SetChecked(true);
  f.panel->SetParentResize(true);
  f.panel->SetChecked(false);
  EXPECT_EQ(f.window.height(), 300 - (91 - (f.line + 2)));
}

TEST(MultiPanelCheck, MouseOnTheBoxToggles) {
  CheckFixture f;
  f.window.show();
  f.window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f.window));
  QTest::mousePress(f.panel, Qt::LeftButton, {}, f.OnBox());
  EXPECT_TRUE(f.panel->IsCheckPressed());
  EXPECT_TRUE(f.panel->hasFocus());
  QTest::mouseRelease(f.panel, Qt::LeftButton, {}, f.OnBox());
  EXPECT_FALSE(f.panel->GetChecked());
  EXPECT_FALSE(f.panel->IsCheckPressed());

  // Outside the box and caption: nothing.
  QTest::mouseClick(f.panel, Qt::LeftButton, {}, QPoint(150, 20));
  EXPECT_FALSE(f.panel->GetChecked());
  // Pressed on the box, released elsewhere: nothing.
  QTest::mousePress(f.panel, Qt::LeftButton, {}, f.OnBox());
  QTest::mouseRelease(f.panel, Qt::LeftButton, {}, QPoint(150, 5));
  EXPECT_FALSE(f.panel->GetChecked());
  QTest::mouseClick(f.panel, Qt::LeftButton, {}, f.OnBox());
  EXPECT_TRUE(f.panel->GetChecked());
}

TEST(MultiPanelCheck, SpaceKeyPressesAndToggles) {
  CheckFixture f;
  QTest::keyPress(f.panel, Qt::Key_Space);
  EXPECT_TRUE(f.panel->IsCheckPressed());
  EXPECT_TRUE(f.panel->GetChecked());
  QTest::keyRelease(f.panel, Qt::Key_Space);
  EXPECT_FALSE(f.panel->GetChecked());
  EXPECT_EQ(f.Visible(), 0);
}

TEST(MultiPanelCheck, DisabledCheckIgnoresInput) {
  CheckFixture f;
  f.panel->SetCheckEnabled(false);
  QTest::mouseClick(f.panel, Qt::LeftButton, {}, f.OnBox());
  QTest::keyClick(f.panel, Qt::Key_Space);
  EXPECT_TRUE(f.panel->GetChecked());
  EXPECT_EQ(f.Visible(), 3);
}

TEST(MultiPanelCheck, ChildAddedWhileUncheckedIsHidden) {
  CheckFixture f;
  f.panel->SetChecked(false);
  auto* late = new QWidget(f.panel);
  late->show();
  QApplication::processEvents();
  EXPECT_FALSE(late->isVisibleTo(f.panel));
  EXPECT_EQ(f.panel->height(), f.line + 2);
}

TEST(MultiPanelCheck, BoxShowsTheState) {
  CheckFixture f;
  const QRect box = f.panel->CheckHitRect().ToQRect();
  const QImage checked = Render(*f.panel).copy(box);
  f.panel->SetChecked(false);
  EXPECT_NE(Render(*f.panel).copy(box), checked);
}

// --- colour box ------------------------------------------------------------

TEST(ColorBox, DefaultsAndGrid) {
  TColorBox box;
  EXPECT_EQ(box.GetColorCodeList(),
            QStringList({"$000000", "$FF0000", "$00FF00", "$0000FF", "$FFFF00", "$FF00FF", "$00FFFF", "$FFFFFF"}));
  EXPECT_EQ(box.GetSelSize(), 16);
  box.resize(64, 32);
  EXPECT_EQ(box.Columns() * box.Rows(), 8);
  EXPECT_EQ(box.SwatchRect(5), (TRect{16, 16, 31, 31}));
  EXPECT_EQ(box.SwatchAt({17, 20}), 5);
  EXPECT_EQ(box.SwatchAt({31, 20}), -1) << "the gap between swatches";
  EXPECT_EQ(box.SwatchAt({70, 5}), -1);
  EXPECT_EQ(box.SwatchColor(1), 0xFF0000u);
  EXPECT_EQ(box.SwatchColor(3), 0x0000FFu);
}

TEST(ColorBox, ClickReportsTheSwatchReleasedOn) {
  TColorBox box;
  box.resize(64, 32);
  QSignalSpy clicks(&box, &TColorBox::OnColorClick);
  QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(40, 8));  // swatch 2
  ASSERT_EQ(clicks.count(), 1);
  EXPECT_EQ(clicks[0][0].value<TColor>(), 0x00FF00u);

  QTest::mousePress(&box, Qt::LeftButton, {}, QPoint(8, 8));
  EXPECT_EQ(box.PressedSwatch(), 0);
  QTest::mouseRelease(&box, Qt::LeftButton, {}, QPoint(24, 8));
  EXPECT_EQ(clicks.count(), 1) << "released on another swatch";
  EXPECT_EQ(box.PressedSwatch(), -1);
}

TEST(ColorBox, PaintsEntriesAndEmptyCells) {
  TColorBox box;
  box.resize(64, 32);
  box.SetColor(kColor);
  box.SetColorCodeList({"$0000FF", "bad", "$123456"});
  QImage shot = Render(box);
  EXPECT_EQ(Pixel(shot, 7, 7), RGB(255, 0, 0));
  EXPECT_EQ(Pixel(shot, 23, 7), clBlack) << "not a number: colour 0";
  EXPECT_EQ(Pixel(shot, 39, 7), 0x123456u);
  EXPECT_EQ(Pixel(shot, 55, 7), BlendColor(kColor, clWhite, 223));
  EXPECT_EQ(Pixel(shot, 15, 7), kColor) << "gap column";
  EXPECT_EQ(Pixel(shot, 0, 7), qvtest::RimColor(kColor, 128, 16, false));
  EXPECT_EQ(Pixel(shot, 48, 7), qvtest::RimColor(kColor, 48, 16, false));

  QTest::mousePress(&box, Qt::LeftButton, {}, QPoint(8, 8));
  shot = Render(box);
  EXPECT_EQ(Pixel(shot, 0, 7), qvtest::RimColor(clWhite, 128, 16, false));
  QTest::mouseRelease(&box, Qt::LeftButton, {}, QPoint(8, 8));
}

TEST(StrToIntDef, ReadsFormNumbers) {
  const std::pair<const char*, int> cases[] = {
      {"$FF", 255},      {"$ff00", 0xFF00}, {"0x10", 16}, {"12", 12}, {"-5", -5},  {" 7 ", 7},
      {"$FFFFFFFF", -1}, {"abc", 99},       {"", 99},     {"$", 99},  {"12a", 99}, {"99999999999", 99},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(StrToIntDef(text, 99), value) << text;
}

}  // namespace
