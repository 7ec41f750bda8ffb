// TAttachPanel and TAttachSplitter: defaults, the frame pieces, attached
// edges, the client rect, dragging a borderless form and the window region.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include "ControlTestUtil.h"
#include "controls/BRVGraphicsEX.h"
#include "controls/BRVPanelEX.h"

using qvtest::Pixel;
using qvtest::Render;

namespace {

const TColor kColor = RGB(120, 160, 200);
const TColor kAttach = RGB(250, 0, 250);

TEST(AttachPanelDefaults, MatchThePublishedTable) {
  TAttachPanel panel;
  qvtest::ExpectDefaults(panel, {
                                    {"AttachColor", QVariant::fromValue<TColor>(clBtnFace)},
                                    {"PanelStyle", true},
                                    {"Space", 0},
                                    {"Depth", 2},
                                    {"Radius", 10},
                                    {"CaptionStyle", QVariant::fromValue(btsNormal)},
                                    {"FontBorderColor", QVariant::fromValue<TColor>(clWindowText)},
                                    {"WordWrap", true},
                                    {"CaptionAlignment", QVariant::fromValue(bpaCenterMiddle)},
                                    {"AdjustInner", true},
                                    {"Movable", false},
                                    {"SizeMovable", false},
                                    {"MoveObject", QVariant::fromValue(moForm)},
                                    {"TransparentForm", false},
                                    {"Color", QVariant::fromValue<TColor>(clBtnFace)},
                                    {"Caption", QString()},
                                });
  const TAttachPanelStyle* style = panel.GetAttachPanelStyle();
  for (const char* flag : {"Left", "Right", "Top", "Bottom", "LeftTop", "RightTop", "LeftBottom", "RightBottom"})
    EXPECT_EQ(style->property(flag), false) << flag;

  TAttachSplitter splitter;
  EXPECT_EQ(splitter.GetAttachColor(), clBtnFace);
  EXPECT_TRUE(splitter.GetPanelStyle());
  EXPECT_EQ(splitter.GetSpace(), 0);
  EXPECT_EQ(splitter.GetDepth(), 2);
  EXPECT_EQ(splitter.GetRadius(), 10);
}

TEST(AttachPanelStyle, AssignCopiesTheFlagsAndNotifiesOnce) {
  TAttachPanelStyle source;
  source.SetTop(true);
  source.SetRightBottom(true);
  TAttachPanelStyle target;
  QSignalSpy changes(&target, &TAttachPanelStyle::OnChange);
  target.Assign(source);
  EXPECT_EQ(changes.count(), 1);
  EXPECT_TRUE(target.GetTop());
  EXPECT_TRUE(target.GetRightBottom());
  EXPECT_FALSE(target.GetLeft());
  target.SetLeft(true);
  EXPECT_EQ(changes.count(), 2);

  TAttachPanel panel;
  panel.SetAttachPanelStyle(&source);
  EXPECT_TRUE(panel.GetAttachPanelStyle()->GetTop());
  EXPECT_NE(panel.GetAttachPanelStyle(), &source) << "the panel keeps its own style object";
}

TEST(AttachPanel, MouseEnterAndLeaveFireTheEvents) {
  TAttachPanel panel;
  QSignalSpy entered(&panel, &TAttachPanel::OnMouseEnter);
  QSignalSpy left(&panel, &TAttachPanel::OnMouseLeave);
  qvtest::SendEnter(panel);
  qvtest::SendLeave(panel);
  EXPECT_EQ(entered.count(), 1);
  EXPECT_EQ(left.count(), 1);
}

// --- frame ----------------------------------------------------------------

QImage PanelShot(QSize size, std::initializer_list<const char*> flags = {}, bool panelStyle = true, int space = 0) {
  TAttachPanel panel;
  panel.resize(size);
  panel.SetColor(kColor);
  panel.SetAttachColor(kAttach);
  panel.SetPanelStyle(panelStyle);
  panel.SetSpace(space);
  for (const char* flag : flags) panel.GetAttachPanelStyle()->setProperty(flag, true);
  return Render(panel);
}

TColor Shade(int step, bool invert = false) { return ShadeColor(kColor, 64, step, invert); }

TEST(AttachPanelFrame, NinePiecesWithRoundCorners) {
  const QImage shot = PanelShot({100, 80});
  EXPECT_EQ(Pixel(shot, 0, 0), kAttach);
  EXPECT_EQ(Pixel(shot, 99, 79), kAttach);
  EXPECT_EQ(Pixel(shot, 3, 3), kAttach) << "outside the corner's arc";
  EXPECT_EQ(Pixel(shot, 6, 6), kColor) << "inside it";
  EXPECT_EQ(Pixel(shot, 50, 40), kColor);
  // The rim: light at the top and left, dark at the bottom and right.
  EXPECT_EQ(Pixel(shot, 50, 0), Shade(48));
  EXPECT_EQ(Pixel(shot, 50, 1), Shade(48));
  EXPECT_EQ(Pixel(shot, 50, 2), kColor);
  EXPECT_EQ(Pixel(shot, 0, 40), Shade(32));
  EXPECT_EQ(Pixel(shot, 99, 40), Shade(0));
  EXPECT_EQ(Pixel(shot, 50, 79), Shade(16));
}

TEST(AttachPanelFrame, ShortPanelKeepsRoundCornersOnBothEnds) {
  // 100 x 15 is lower than two frame widths (2 x 12); no corner is square.
  const QImage shot = PanelShot({100, 15});
  for (QPoint corner : {QPoint(0, 0), QPoint(99, 0), QPoint(0, 14), QPoint(99, 14)})
    EXPECT_EQ(Pixel(shot, corner), kAttach) << corner.x() << "," << corner.y();
  EXPECT_EQ(Pixel(shot, 50, 7), kColor);
  EXPECT_EQ(Pixel(shot, 50, 0), Shade(48));
  EXPECT_EQ(Pixel(shot, 50, 14), Shade(16));
  EXPECT_EQ(Pixel(shot, 0, 7), Shade(32));
  EXPECT_EQ(Pixel(shot, 99, 7), Shade(0));

  // Attached above and below, the ends run straight up and down instead.
  const QImage strip = PanelShot({100, 15}, {"Top", "Bottom"});
  EXPECT_EQ(Pixel(strip, 0, 0), Shade(32));
  EXPECT_EQ(Pixel(strip, 0, 14), Shade(32));
  EXPECT_EQ(Pixel(strip, 50, 0), kColor);
  EXPECT_EQ(Pixel(strip, 50, 14), kColor);
}

TEST(AttachPanelFrame, AttachedEdgesRunToThePanelsEdge) {
  // A panel attached below: its bottom corners are square and it has no bottom rim.
  const QImage upper = PanelShot({100, 60}, {"Bottom"});
  EXPECT_EQ(Pixel(upper, 0, 59), Shade(32));
  EXPECT_EQ(Pixel(upper, 99, 59), Shade(0));
  EXPECT_EQ(Pixel(upper, 50, 59), kColor);
  EXPECT_EQ(Pixel(upper, 0, 0), kAttach);
  // ... and the one below it, attached above.
  const QImage lower = PanelShot({100, 60}, {"Top"});
  EXPECT_EQ(Pixel(lower, 0, 0), Shade(32));
  EXPECT_EQ(Pixel(lower, 50, 0), kColor);
  EXPECT_EQ(Pixel(lower, 0, 59), kAttach);

  // Attached left and above but not at the corner: a concave notch joins the two.
  const QImage notch = PanelShot({100, 60}, {"Left", "Top"}, true, 4);
  EXPECT_EQ(Pixel(notch, 0, 0), kAttach);
  EXPECT_EQ(Pixel(notch, 10, 0), kColor);
  EXPECT_EQ(Pixel(notch, 0, 10), kColor);
  EXPECT_EQ(Pixel(notch, 99, 0), kAttach) << "the other corners stay round";
  // All corners attached as well: the face reaches every edge.
  const QImage all =
      PanelShot({100, 60}, {"Left", "Top", "Right", "Bottom", "LeftTop", "RightTop", "LeftBottom", "RightBottom"});
  EXPECT_EQ(qvtest::CountOf(all, kColor), 100 * 60);
}

TEST(AttachPanelFrame, WithoutPanelStyleTheMiddleIsCutOut) {
  const QImage ring = PanelShot(
      {100, 60}, {"Left", "Top", "Right", "Bottom", "LeftTop", "RightTop", "LeftBottom", "RightBottom"}, false);
  EXPECT_EQ(Pixel(ring, 50, 30), kAttach);
  EXPECT_EQ(Pixel(ring, 50, 0), kColor);
  EXPECT_EQ(Pixel(ring, 50, 10), Shade(16)) << "the hole's top rim is in shadow";
}

TEST(AttachPanel, CaptionInsetAndClientRect) {
  TAttachPanel panel;
  panel.resize(200, 100);
  // Inherited panel bevel 1, then Space + Depth + Radius div 2 = 7.
  EXPECT_EQ(panel.contentsMargins(), QMargins(8, 8, 8, 8));
  panel.SetPanelStyle(false);
  EXPECT_EQ(panel.contentsMargins(), QMargins(13, 13, 13, 13));  // Radius + Depth + Space div 2
  panel.SetAdjustInner(false);
  EXPECT_EQ(panel.contentsMargins(), QMargins(1, 1, 1, 1));

  TAttachPanel captioned;
  captioned.resize(200, 100);
  captioned.SetColor(kColor);
  captioned.SetFont(TFont{qvtest::TestFont(), clBlack});
  captioned.SetCaption("Hi");
  struct AlignCase {
    TBRVPanelAlignment alignment;
    QPoint inside;
  };
  // Text cells inside (9, 9, 191, 91): the 10 x 10 cell of "Hi" at the left
  // top, the centre, and 2 above the bottom.
  for (const AlignCase c :
       {AlignCase{bpaLeftTop, {14, 14}}, AlignCase{bpaCenterMiddle, {100, 50}}, AlignCase{bpaRightBottom, {186, 84}}}) {
    captioned.SetCaptionAlignment(c.alignment);
    const QRect text = qvtest::BoundsOf(Render(captioned), clBlack);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_LT((text.center() - c.inside).manhattanLength(), 12) << c.alignment;
  }
}

// --- dragging ----------------------------------------------------------------

TEST(AttachPanel, SizingZones) {
  TAttachPanel panel;
  panel.resize(200, 150);
  struct Zone {
    QPoint at;
    int horizontal, vertical;
  };
  const Zone zones[] = {
      {{197, 100}, 1, 0},  // 3 pixels from the right edge
      {{10, 10}, -1, -1},  // corner zone
      {{2, 80}, -1, 0},   {{100, 2}, 0, -1}, {{100, 147}, 0, 1}, {{190, 140}, 1, 1}, {{190, 5}, 1, -1},
      {{5, 140}, -1, 1},  {{100, 80}, 0, 0}, {{16, 80}, 0, 0},   {{184, 80}, 0, 0},
  };
  for (const Zone& z : zones) {
    int h = 9, v = 9;
    panel.SizingSides(z.at, h, v);
    EXPECT_EQ(h, z.horizontal) << z.at.x() << "," << z.at.y();
    EXPECT_EQ(v, z.vertical) << z.at.x() << "," << z.at.y();
  }
}

// Drags with the left button from a to b (panel coordinates).
void Drag(QWidget& widget, QPoint a, QPoint b) {
  QTest::mousePress(&widget, Qt::LeftButton, {}, a);
  QTest::mouseMove(&widget, b);
  QTest::mouseRelease(&widget, Qt::LeftButton, {}, b);
}

struct Borderless {
  QWidget form;
  TAttachPanel* panel;
  Borderless() {
    form.setWindowFlags(Qt::FramelessWindowHint);
    form.setGeometry(100, 100, 300, 200);
    panel = new TAttachPanel(&form);
    panel->setGeometry(0, 0, 300, 200);
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
  }
};

TEST(AttachPanelDrag, MovableMovesTheForm) {
  Borderless b;
  b.panel->SetMovable(true);
  Drag(*b.panel, {150, 100}, {165, 92});
  EXPECT_EQ(b.form.geometry(), QRect(115, 92, 300, 200));

  TAttachPanel still(&b.form);
  still.setGeometry(0, 0, 50, 50);
  Drag(still, {20, 20}, {40, 40});
  EXPECT_EQ(b.form.geometry(), QRect(115, 92, 300, 200)) << "not movable";
}

TEST(AttachPanelDrag, SizeMovableSizesFromTheEdgePressed) {
  Borderless b;
  b.panel->SetSizeMovable(true);
  Drag(*b.panel, {297, 100}, {317, 107});
  EXPECT_EQ(b.form.geometry(), QRect(100, 100, 320, 200)) << "right edge only";
  b.form.setGeometry(100, 100, 300, 200);
  Drag(*b.panel, {10, 10}, {5, 2});
  EXPECT_EQ(b.form.geometry(), QRect(95, 92, 305, 208)) << "top-left corner";
  b.form.setGeometry(100, 100, 300, 200);
  Drag(*b.panel, {150, 100}, {170, 120});
  EXPECT_EQ(b.form.geometry(), QRect(100, 100, 300, 200)) << "the middle neither moves nor sizes";

  // The minimum size stops a left edge without moving the right one.
  b.form.setMinimumSize(250, 150);
  b.form.setGeometry(100, 100, 300, 200);
  Drag(*b.panel, {2, 100}, {102, 100});
  EXPECT_EQ(b.form.geometry(), QRect(150, 100, 250, 200));
}

TEST(AttachPanelDrag, SelfMovesOnlyThePanel) {
  QWidget parent;
  parent.resize(300, 300);
  auto* panel = new TAttachPanel(&parent);
  panel->setGeometry(10, 10, 100, 80);
  panel->SetMovable(true);
  panel->SetMoveObject(moSelf);
  Drag(*panel, {50, 40}, {80, 60});
  EXPECT_EQ(panel->geometry(), QRect(40, 30, 100, 80));
}

TEST(AttachPanelDrag, CursorShowsTheSizingDirection) {
  Borderless b;
  b.panel->SetSizeMovable(true);
  EXPECT_TRUE(b.panel->hasMouseTracking());
  const std::pair<QPoint, Qt::CursorShape> zones[] = {
      {{5, 5}, Qt::SizeFDiagCursor},   {{295, 195}, Qt::SizeFDiagCursor}, {{295, 5}, Qt::SizeBDiagCursor},
      {{5, 195}, Qt::SizeBDiagCursor}, {{2, 100}, Qt::SizeHorCursor},     {{298, 100}, Qt::SizeHorCursor},
      {{150, 1}, Qt::SizeVerCursor},   {{150, 198}, Qt::SizeVerCursor},   {{150, 100}, Qt::ArrowCursor},
  };
  for (const auto& [at, shape] : zones) {
    QMouseEvent move(QEvent::MouseMove, at, b.panel->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(b.panel, &move);
    EXPECT_EQ(b.panel->cursor().shape(), shape) << at.x() << "," << at.y();
  }
}

// --- window region ------------------------------------------------------------

TEST(AttachPanelRegion, TransparentFormKeepsOnlyThePanelShapes) {
  QWidget form;
  form.resize(300, 100);
  auto* left = new TAttachPanel(&form);
  left->setGeometry(0, 0, 100, 100);
  auto* right = new TAttachPanel(&form);
  right->setGeometry(200, 0, 100, 100);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  left->SetTransparentForm(true);
  right->SetTransparentForm(true);
  const QRegion mask = form.mask();
  EXPECT_TRUE(mask.contains(QPoint(50, 50)));
  EXPECT_TRUE(mask.contains(QPoint(250, 50)));
  EXPECT_FALSE(mask.contains(QPoint(150, 50))) << "between the panels";
  EXPECT_FALSE(mask.contains(QPoint(0, 0))) << "a rounded corner";
  EXPECT_FALSE(mask.contains(QPoint(201, 1)));
  EXPECT_TRUE(mask.contains(QPoint(0, 50)));

  // A resize makes the region again.
  right->setGeometry(200, 0, 60, 100);
  QApplication::processEvents();
  EXPECT_FALSE(form.mask().contains(QPoint(280, 50)));
  EXPECT_TRUE(form.mask().contains(QPoint(230, 50)));

  // Turning one panel off leaves the other's shape; both off, the whole window.
  left->SetTransparentForm(false);
  EXPECT_FALSE(form.mask().contains(QPoint(50, 50)));
  EXPECT_TRUE(form.mask().contains(QPoint(230, 50)));
  right->SetTransparentForm(false);
  EXPECT_TRUE(form.mask().isEmpty());
}

TEST(AttachPanelRegion, SelfRegionAndRing) {
  QWidget parent;
  auto* panel = new TAttachPanel(&parent);
  panel->setGeometry(0, 0, 100, 60);
  panel->SetMoveObject(moSelf);
  panel->SetSpace(3);
  panel->SetTransparentForm(true);
  EXPECT_FALSE(panel->mask().contains(QPoint(1, 30))) << "inside the space";
  EXPECT_TRUE(panel->mask().contains(QPoint(3, 30)));
  EXPECT_TRUE(panel->mask().contains(QPoint(96, 30)));
  EXPECT_FALSE(panel->mask().contains(QPoint(97, 30)));
  EXPECT_FALSE(panel->mask().contains(QPoint(4, 4))) << "rounded with radius Radius + Depth";
  EXPECT_TRUE(parent.mask().isEmpty());

  panel->SetPanelStyle(false);
  EXPECT_FALSE(panel->mask().contains(QPoint(50, 30))) << "the ring's hole";
  EXPECT_TRUE(panel->mask().contains(QPoint(50, 2)));
  EXPECT_TRUE(panel->mask().contains(QPoint(0, 0)));
}

TEST(RoundRectRegion, CoversPixelCentresInside) {
  const QRegion r = RoundRectRegion(QRect(0, 0, 20, 10), 4);
  EXPECT_FALSE(r.contains(QPoint(0, 0)));
  EXPECT_TRUE(r.contains(QPoint(1, 2)));
  EXPECT_TRUE(r.contains(QPoint(10, 0)));
  EXPECT_TRUE(r.contains(QPoint(19, 5)));
  EXPECT_FALSE(r.contains(QPoint(19, 9)));
  EXPECT_FALSE(r.contains(QPoint(20, 5)));
  EXPECT_EQ(RoundRectRegion(QRect(0, 0, 20, 10), 0), QRegion(0, 0, 20, 10));
}

// --- splitter --------------------------------------------------------------

TEST(AttachSplitter, DraggingTheBarResizesThePanes) {
  QWidget window;
  window.resize(300, 100);
  auto* splitter = new TAttachSplitter(&window);
  splitter->setGeometry(0, 0, 300, 100);
  auto* first = new QWidget;
  auto* second = new QWidget;
  splitter->addWidget(first);
  splitter->addWidget(second);
  EXPECT_EQ(splitter->handleWidth(), 3);
  // Bars narrower than 5 get an invisible grab margin that shifts drags by a
  // pixel; a wider bar moves exactly with the mouse.
  splitter->setHandleWidth(6);
  splitter->setSizes({100, 194});
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QSplitterHandle* handle = splitter->handle(1);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(handle->width(), 6);
  QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(2, 50));
  QTest::mouseMove(handle, QPoint(32, 50));
  QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(32, 50));
  EXPECT_EQ(splitter->sizes(), (QList<int>{130, 164}));
}

TEST(AttachSplitter, BarIsAnAttachFrame) {
  TAttachSplitter splitter(Qt::Vertical);
  splitter.resize(100, 200);
  splitter.addWidget(new QWidget);
  splitter.addWidget(new QWidget);
  splitter.setHandleWidth(30);
  splitter.SetColor(kColor);
  splitter.SetAttachColor(kAttach);
  splitter.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&splitter));
  QSplitterHandle* handle = splitter.handle(1);
  QImage shot = Render(*handle);
  EXPECT_EQ(Pixel(shot, 0, 0), kAttach);
  EXPECT_EQ(Pixel(shot, 50, 15), kColor);
  splitter.GetAttachPanelStyle()->SetLeft(true);
  splitter.GetAttachPanelStyle()->SetLeftTop(true);
  splitter.GetAttachPanelStyle()->SetLeftBottom(true);
  shot = Render(*handle);
  EXPECT_EQ(Pixel(shot, 0, 0), kColor) << "attached on the left";
  EXPECT_EQ(Pixel(shot, 99, 0), kAttach);
}

}  // namespace
