// TMultiButton and TMultiSpeedButton: defaults, colour and font following,
// the down groups, every look of the face, caption and image layout, input.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <set>
#include <vector>

#include "ControlTestUtil.h"
#include "controls/BRVGraphicsEX.h"
#include "controls/MultiButton.h"

using qvtest::Pixel;
using qvtest::Render;

namespace {

using qvtest::Default;
using qvtest::ExpectDefaults;

std::vector<Default> SharedButtonDefaults() {
  return {
      {"Alignment", QVariant::fromValue(taCenter)},
      {"Depth", 2},
      {"ShapeType", QVariant::fromValue(mstRoundRect)},
      {"RoundSize", -1},
      {"FaceColor", QVariant::fromValue<TColor>(clBtnFace)},
      {"DownColor", QVariant::fromValue<TColor>(clBtnHighlight)},
      {"Image", QImage()},
      {"Flat", false},
      {"EmbossOnMouse", true},
      {"ImageAlign", QVariant::fromValue(biaCenter)},
      {"CaptionVisible", true},
      {"ImageFocusRect", false},
      {"CaptionMargin", 0},
      {"Down", false},
      {"DownCaption", QString()},
      {"DownStyle", QVariant::fromValue(bdsNone)},
      {"GroupIndex", 0},
      {"Images", QVariant::fromValue<TImageList*>(nullptr)},
      {"Grayed", false},
      {"CaptionStyle", QVariant::fromValue(mtsNormal)},
      {"FontBorderColor", QVariant::fromValue<TColor>(0xFFFFFF)},
      {"WordWrap", true},
      {"Color", QVariant::fromValue<TColor>(clBtnFace)},
      {"ParentColor", false},
  };
}

TEST(MultiButtonDefaults, MatchThePublishedTable) {
  TMultiButton button;
  std::vector<Default> defaults = SharedButtonDefaults();
  defaults.insert(defaults.end(), {{"FocusColor", QVariant::fromValue<TColor>(0xFFFFFF)},
                                   {"FocusRect", true},
                                   {"FocusFrame", true},
                                   {"FocusOnMouse", false},
                                   {"ImageIndex", 0}});
  ExpectDefaults(button, defaults);
  EXPECT_EQ(button.GetFontOnMouse(), button.GetFont());
  EXPECT_EQ(button.GetFont().Color, clWindowText);
  EXPECT_EQ(button.GetAction(), nullptr);
}

TEST(MultiButtonDefaults, SpeedButtonDiffersWhereTheTableSays) {
  TMultiSpeedButton button;
  std::vector<Default> defaults = SharedButtonDefaults();
  defaults.insert(defaults.end(), {{"ImageIndex", -1}, {"Transparent", true}});
  ExpectDefaults(button, defaults);
  for (const char* absent : {"FocusColor", "FocusRect", "FocusFrame", "FocusOnMouse"})
    EXPECT_EQ(button.metaObject()->indexOfProperty(absent), -1) << absent;
  EXPECT_EQ(button.focusPolicy(), Qt::NoFocus);
}

// --- following -------------------------------------------------------------

TEST(MultiButton, FaceColorFollowsColorUntilSetApart) {
  TMultiButton button;
  button.resize(60, 30);
  button.SetColor(RGB(10, 200, 10));
  EXPECT_EQ(button.GetFaceColor(), RGB(10, 200, 10));
  EXPECT_EQ(Pixel(Render(button), 30, 15), RGB(10, 200, 10));

  button.SetFaceColor(RGB(200, 10, 10));
  button.SetColor(RGB(10, 10, 200));
  EXPECT_EQ(button.GetFaceColor(), RGB(200, 10, 10));
  const QImage shot = Render(button);
  EXPECT_EQ(Pixel(shot, 30, 15), RGB(200, 10, 10));
  EXPECT_EQ(Pixel(shot, 0, 0), RGB(10, 10, 200)) << "the corners show Color";
}

TEST(MultiButton, FontOnMouseFollowsFontUntilSetApart) {
  TMultiButton button;
  TFont font{qvtest::TestFont(12), clRed};
  button.SetFont(font);
  EXPECT_EQ(button.GetFontOnMouse(), font);
  // A change of colour alone counts as a change of font.
  font.Color = clBlue;
  button.SetFont(font);
  EXPECT_EQ(button.GetFontOnMouse().Color, clBlue);

  TFont hover = font;
  hover.Font.setBold(true);
  button.SetFontOnMouse(hover);
  button.SetFont(TFont{qvtest::TestFont(14), clGreen});
  EXPECT_EQ(button.GetFontOnMouse(), hover);
}

TEST(ControlFonts, CaptionsFollowTheWindowsTextColourUntilGivenTheirOwn) {
  struct Kind {
    const char* name;
    std::function<QWidget*(QWidget*)> make;
  };
  auto font = [](QWidget* w) { return w->property("Font").value<TFont>(); };
  auto setFont = [](QWidget* w, const TFont& f) { w->setProperty("Font", QVariant::fromValue(f)); };
  const Kind kinds[] = {{"TMultiButton", [](QWidget* p) -> QWidget* { return new TMultiButton(p); }},
                        {"TMultiSpeedButton", [](QWidget* p) -> QWidget* { return new TMultiSpeedButton(p); }},
                        {"TMultiPanel", [](QWidget* p) -> QWidget* { return new TMultiPanel(p); }}};
  auto textColour = [](QWidget& window, const QColor& c) {
    QPalette p = window.palette();
    p.setColor(QPalette::WindowText, c);
    window.setPalette(p);
  };
  for (const Kind& k : kinds) {
    SCOPED_TRACE(k.name);
    QWidget window;
    window.resize(120, 60);
    QWidget* control = k.make(&window);
    control->setProperty("Caption", QStringLiteral("Ok"));
    control->setFont(qvtest::TestFont(14));
    control->resize(80, 30);
    EXPECT_EQ(font(control).Color, clWindowText) << "the system's while the window has none of its own";
    textColour(window, QColor(10, 200, 30));
    EXPECT_EQ(font(control).Color, RGB(10, 200, 30));
    EXPECT_GT(qvtest::CountOf(Render(*control), RGB(10, 200, 30)), 5) << "the caption is drawn in it";
    // Another face in the same colour keeps following.
    TFont bold = font(control);
    bold.Font.setBold(true);
    setFont(control, bold);
    textColour(window, QColor(200, 20, 30));
    EXPECT_EQ(font(control).Color, RGB(200, 20, 30));
    EXPECT_TRUE(control->property("ParentFont").toBool());
    // A control made in a window that has its colours takes them once polished.
    QWidget* late = k.make(&window);
    late->ensurePolished();
    EXPECT_EQ(font(late).Color, RGB(200, 20, 30)) << "made later";
    // A colour of its own ends the following; ParentFont takes it up again.
    setFont(control, {bold.Font, clBlue});
    EXPECT_FALSE(control->property("ParentFont").toBool());
    textColour(window, QColor(1, 2, 3));
    EXPECT_EQ(font(control).Color, clBlue);
    control->setProperty("ParentFont", true);
    EXPECT_EQ(font(control).Color, RGB(1, 2, 3));
  }
}

TEST(MultiButton, ParentColorFollowsTheParentControl) {
  TMultiPanel panel;
  panel.SetColor(RGB(1, 2, 3));
  TMultiButton button(&panel);
  button.SetParentColor(true);
  EXPECT_EQ(button.GetColor(), RGB(1, 2, 3));
  EXPECT_EQ(button.GetFaceColor(), RGB(1, 2, 3));
  panel.SetColor(RGB(4, 5, 6));
  EXPECT_EQ(button.GetColor(), RGB(4, 5, 6));
  button.SetColor(RGB(7, 8, 9));
  EXPECT_FALSE(button.GetParentColor());
  panel.SetColor(RGB(10, 11, 12));
  EXPECT_EQ(button.GetColor(), RGB(7, 8, 9));
}

// --- down groups -----------------------------------------------------------

struct Group {
  QWidget parent;
  std::vector<TMultiButton*> buttons;
  TMultiButton* otherGroup;
  TMultiSpeedButton* otherClass;

  explicit Group(TButtonDownStyle style) {
    for (int i = 0; i < 3; ++i) {
      auto* b = new TMultiButton(&parent);
      b->SetDownStyle(style);
      b->SetGroupIndex(1);
      b->move(0, i * 30);
      buttons.push_back(b);
    }
    otherGroup = new TMultiButton(&parent);
    otherGroup->SetDownStyle(style);
    otherGroup->SetGroupIndex(2);
    otherClass = new TMultiSpeedButton(&parent);
    otherClass->SetDownStyle(style);
    otherClass->SetGroupIndex(1);
  }
  std::vector<bool> Downs() const {
    std::vector<bool> d;
    for (auto* b : buttons) d.push_back(b->GetDown());
    return d;
  }
};

TEST(MultiButtonDown, UniqueGroupKeepsOneDown) {
  Group g(bdsUnique);
  g.otherGroup->SetDown(true);
  g.otherClass->SetDown(true);
  g.buttons[0]->SetDown(true);
  g.buttons[1]->SetDown(true);
  EXPECT_EQ(g.Downs(), (std::vector<bool>{false, true, false}));
  EXPECT_TRUE(g.otherGroup->GetDown());
  EXPECT_TRUE(g.otherClass->GetDown());

  // Clicking the down button leaves it down; clicking another moves the state.
  QTest::mouseClick(g.buttons[1], Qt::LeftButton);
  EXPECT_EQ(g.Downs(), (std::vector<bool>{false, true, false}));
  QTest::mouseClick(g.buttons[2], Qt::LeftButton);
  EXPECT_EQ(g.Downs(), (std::vector<bool>{false, false, true}));
}

TEST(MultiButtonDown, UniqueOrAllUpLetsTheDownOneUp) {
  Group g(bdsUniqueOrAllUp);
  QTest::mouseClick(g.buttons[0], Qt::LeftButton);
  EXPECT_EQ(g.Downs(), (std::vector<bool>{true, false, false}));
  QTest::mouseClick(g.buttons[0], Qt::LeftButton);
  EXPECT_EQ(g.Downs(), (std::vector<bool>{false, false, false}));
}

TEST(MultiButtonDown, CheckStyleTogglesAlone) {
  Group g(bdsCheck);
  QTest::mouseClick(g.buttons[0], Qt::LeftButton);
  QTest::mouseClick(g.buttons[1], Qt::LeftButton);
  EXPECT_EQ(g.Downs(), (std::vector<bool>{true, true, false}));
  QTest::keyClick(g.buttons[1], Qt::Key_Space);
  EXPECT_EQ(g.Downs(), (std::vector<bool>{true, false, false}));
}

TEST(MultiButtonDown, ClickHandlersSeeTheNewStateAndGrayedClears) {
  TMultiButton button;
  button.SetDownStyle(bdsCheck);
  button.SetGrayed(true);
  QSignalSpy changes(&button, &TMultiButtonBase::OnDownChange);
  std::vector<bool> seen;
  QObject::connect(&button, &QPushButton::clicked, [&] { seen.push_back(button.GetDown()); });
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_EQ(seen, std::vector<bool>{true});
  EXPECT_FALSE(button.GetGrayed());
  EXPECT_EQ(changes.count(), 1);

  // Without a down style a click changes nothing of the down state.
  TMultiButton plain;
  QTest::mouseClick(&plain, Qt::LeftButton);
  EXPECT_FALSE(plain.GetDown());
}

TEST(MultiButtonDown, DoubleClickIsASecondPress) {
  TMultiButton button;
  button.SetDownStyle(bdsCheck);
  QSignalSpy clicks(&button, &QPushButton::clicked);
  // Press, release, then the second press arriving as a double click.
  QTest::mouseClick(&button, Qt::LeftButton);
  QTest::mouseDClick(&button, Qt::LeftButton);
  QTest::mouseRelease(&button, Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 2);
  EXPECT_FALSE(button.GetDown());
}

// --- looks -----------------------------------------------------------------

const TColor kColor = RGB(30, 60, 90);
const TColor kFace = RGB(200, 180, 40);

struct ButtonFixture {
  TMultiButton button;
  ButtonFixture() {
    button.resize(60, 30);
    button.SetColor(kColor);
    button.SetFaceColor(kFace);
    button.SetFont(TFont{qvtest::TestFont(), clBlack});
  }
};

TEST(MultiButtonLook, RaisedAtRestSunkenWhenDownOrPressed) {
  ButtonFixture f;
  QImage shot = Render(f.button);
  EXPECT_EQ(Pixel(shot, 0, 15), qvtest::RimColor(kFace, 128, 16, true));
  EXPECT_EQ(Pixel(shot, 30, 15), kFace);

  f.button.SetDownColor(RGB(250, 250, 200));
  f.button.SetDown(true);
  shot = Render(f.button);
  EXPECT_EQ(Pixel(shot, 0, 15), qvtest::RimColor(RGB(250, 250, 200), 128, 16, false));
  EXPECT_EQ(Pixel(shot, 30, 15), RGB(250, 250, 200));

  f.button.SetDown(false);
  QTest::mousePress(&f.button, Qt::LeftButton);
  EXPECT_EQ(Pixel(Render(f.button), 0, 15), qvtest::RimColor(kFace, 128, 16, false));
  QTest::mouseRelease(&f.button, Qt::LeftButton);
}

TEST(MultiButtonLook, DownCaptionReplacesTheCaptionWhileDown) {
  ButtonFixture down;
  down.button.SetCaption("up");
  down.button.SetDownCaption("dn");
  down.button.SetDownColor(kFace);
  down.button.SetDown(true);
  ButtonFixture plain;
  plain.button.SetCaption("dn");
  // Same content inside the rim; only the rim's shading differs.
  const QImage a = Render(down.button);
  const QImage b = Render(plain.button);
  for (int y = 3; y < 27; ++y)
    for (int x = 3; x < 57; ++x) ASSERT_EQ(Pixel(a, x, y), Pixel(b, x, y)) << x << "," << y;
  EXPECT_GT(qvtest::CountOf(a, clBlack), 10);
}

TEST(MultiButtonLook, FlatShowsNoRimUntilHoveredOrPressed) {
  ButtonFixture f;
  f.button.SetFlat(true);
  EXPECT_EQ(qvtest::CountOf(Render(f.button), kColor), 60 * 30);

  qvtest::SendEnter(f.button);
  EXPECT_TRUE(f.button.IsMouseOver());
  EXPECT_EQ(Pixel(Render(f.button), 30, 15), kFace);
  qvtest::SendLeave(f.button);
  EXPECT_EQ(Pixel(Render(f.button), 30, 15), kColor);

  f.button.SetEmbossOnMouse(false);
  qvtest::SendEnter(f.button);
  EXPECT_EQ(Pixel(Render(f.button), 30, 15), kColor);
  QTest::mousePress(&f.button, Qt::LeftButton);
  EXPECT_EQ(Pixel(Render(f.button), 30, 15), kFace);
  QTest::mouseRelease(&f.button, Qt::LeftButton);
}

TEST(MultiButtonLook, GrayedAndDisabledFaces) {
  ButtonFixture f;
  f.button.SetGrayed(true);
  EXPECT_EQ(Pixel(Render(f.button), 30, 15), BlendColor(0x808080, kFace, 128));
  f.button.SetGrayed(false);
  f.button.setEnabled(false);
  const QImage shot = Render(f.button);
  EXPECT_EQ(Pixel(shot, 30, 15), BlendColor(kColor, kFace, 64));
  EXPECT_EQ(Pixel(shot, 0, 15), qvtest::RimColor(BlendColor(kColor, kFace, 64), 64, 16, true));
}

TEST(MultiButtonLook, DisabledCaptionUsesTheDisabledEffectWhateverTheStyle) {
  ButtonFixture a;
  ButtonFixture b;
  for (ButtonFixture* f : {&a, &b}) f->button.SetCaption("Ok");
  a.button.SetCaptionStyle(mtsBorder);
  b.button.SetCaptionStyle(mtsNormal);
  EXPECT_NE(Render(a.button), Render(b.button));
  a.button.setEnabled(false);
  b.button.setEnabled(false);
  EXPECT_EQ(Render(a.button), Render(b.button));
}

TEST(MultiButtonLook, EveryCaptionStyleLooksDifferent) {
  std::vector<QImage> shots;
  for (int style = mtsBorder; style <= mtsBoldUpShadow2; ++style) {
    ButtonFixture f;
    f.button.SetCaption("Ok");
    f.button.SetCaptionStyle(static_cast<TMultiTextStyle>(style));
    f.button.SetFontBorderColor(RGB(250, 0, 250));
    shots.push_back(Render(f.button));
  }
  for (size_t i = 0; i < shots.size(); ++i)
    for (size_t j = i + 1; j < shots.size(); ++j) EXPECT_NE(shots[i], shots[j]) << i << " vs " << j;
}

TEST(MultiButtonLook, FontOnMouseWhileHovered) {
  ButtonFixture f;
  f.button.SetCaption("Ok");
  f.button.SetFontOnMouse(TFont{qvtest::TestFont(), RGB(0, 250, 0)});
  EXPECT_EQ(qvtest::CountOf(Render(f.button), RGB(0, 250, 0)), 0);
  qvtest::SendEnter(f.button);
  EXPECT_GT(qvtest::CountOf(Render(f.button), RGB(0, 250, 0)), 10);
}

class FocusLook : public ::testing::Test {
 protected:
  void SetUp() override {
    window.resize(200, 100);
    button = new TMultiButton(&window);
    button->setGeometry(10, 10, 60, 30);
    button->SetColor(kColor);
    button->SetFaceColor(kFace);
    button->SetCaption("Ok");
    button->SetFont(TFont{qvtest::TestFont(), clBlack});
    other = new QWidget(&window);
    other->setFocusPolicy(Qt::StrongFocus);
    other->setGeometry(100, 10, 20, 20);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }
  QWidget window;
  TMultiButton* button = nullptr;
  QWidget* other = nullptr;
};

TEST_F(FocusLook, FocusedButtonShowsFrameAndFocusRectangle) {
  other->setFocus();
  QImage rest = Render(*button);
  EXPECT_EQ(Pixel(rest, 0, 15), qvtest::RimColor(kFace, 128, 16, true));

  button->setFocus();
  ASSERT_TRUE(button->hasFocus());
  EXPECT_TRUE(button->ShowsDefaultLook());
  const QImage focused = Render(*button);
  // The shape moves in by one; the focus frame follows inside the rim.
  EXPECT_EQ(Pixel(focused, 0, 15), kColor);
  EXPECT_EQ(Pixel(focused, 2, 15), qvtest::RimColor(BlendColor(kColor, clWhite, 64), 128, 16, true));

  // The focus rectangle is the only difference FocusRect makes: dots on the
  // caption rect (4, 4, 56, 26) grown by (2, 1).
  button->SetFocusRect(false);
  const QImage noRect = Render(*button);
  int dots = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 60; ++x) {
      if (Pixel(focused, x, y) == Pixel(noRect, x, y)) continue;
      ++dots;
      EXPECT_TRUE(x == 2 || x == 57 || y == 3 || y == 26) << x << "," << y;
    }
  EXPECT_GT(dots, 40);
}

TEST_F(FocusLook, DefaultButtonShowsTheFrameButNoFocusRectangle) {
  button->setDefault(true);
  other->setFocus();
  EXPECT_TRUE(button->ShowsDefaultLook());
  const QImage shot = Render(*button);
  EXPECT_EQ(Pixel(shot, 0, 15), kColor);
  button->SetFocusRect(false);
  EXPECT_EQ(Render(*button), shot);
  button->SetFocusFrame(false);
  EXPECT_EQ(Pixel(Render(*button), 0, 15), qvtest::RimColor(kFace, 128, 16, true));

  // Another button with the focus takes the default look away.
  auto* second = new TMultiButton(&window);
  second->move(10, 50);
  second->show();
  second->setFocus();
  EXPECT_FALSE(button->ShowsDefaultLook());
}

TEST_F(FocusLook, AFocusedDefaultButtonGoesAwayWithoutAnsweringTheFocusChange) {
  // The focus leaves the button while QWidget's destructor runs, when the
  // button's own part is gone (UndefinedBehaviorSanitizer's vptr check tells
  // a call into it).
  button->setDefault(true);
  button->setFocus();
  ASSERT_TRUE(button->hasFocus());
  delete button;
  button = nullptr;
  auto* second = new TMultiButton(&window);
  second->setDefault(true);
  second->show();
  second->setFocus();
  ASSERT_TRUE(second->hasFocus());
  other->setFocus();
  EXPECT_TRUE(second->ShowsDefaultLook());
}

TEST_F(FocusLook, FocusOnMouseTakesTheFocusOnEnter) {
  other->setFocus();
  button->SetFlat(true);
  button->SetFocusOnMouse(true);
  QSignalSpy entered(button, &TMultiButtonBase::OnMouseEnter);
  qvtest::SendEnter(*button);
  EXPECT_TRUE(button->hasFocus());
  EXPECT_EQ(entered.count(), 1);
}

// --- caption and image layout ------------------------------------------------

TImageList* RedList(QObject* owner) {
  auto* list = new TImageList(10, 10, owner);
  QImage red(10, 10, QImage::Format_RGB32);
  red.fill(Qt::red);
  list->Add(red);
  return list;
}

struct LayoutCase {
  TButtonImageAlign imageAlign;
  TAlignment alignment;
  QSize size;
  QString caption;
  QPoint image;  // expected top-left corner of the image
};

TEST(MultiButtonLayout, ImagePlacedByImageAlignAndAlignment) {
  // Content rect (2, 2, 98, 38) of a 100 x 40 button; the caption "ab"
  // measures 10 + 4 by 10 + 4; images are 10 x 10.
  const LayoutCase cases[] = {
      {biaCenter, taCenter, {100, 40}, "ab", {45, 15}},
      {biaCenter, taLeftJustify, {100, 40}, "ab", {2, 15}},
      {biaCenter, taRightJustify, {100, 40}, "ab", {88, 15}},
      {biaLeft, taCenter, {100, 40}, "ab", {38, 15}},
      {biaLeft, taLeftJustify, {100, 40}, "ab", {2, 15}},
      {biaLeft, taRightJustify, {100, 40}, "ab", {74, 15}},
      {biaRight, taCenter, {100, 40}, "ab", {52, 15}},
      {biaRight, taLeftJustify, {100, 40}, "ab", {16, 15}},
      {biaRight, taRightJustify, {100, 40}, "ab", {88, 15}},
      {biaTop, taCenter, {100, 40}, "ab", {45, 8}},
      {biaTop, taLeftJustify, {100, 40}, "ab", {2, 8}},
      {biaBottom, taCenter, {100, 40}, "ab", {45, 22}},
      {biaBottom, taRightJustify, {100, 40}, "ab", {88, 22}},
      // Too low for image over caption: the image goes to the top edge, centred.
      {biaTop, taLeftJustify, {100, 20}, "ab", {45, 2}},
      // ... or to the bottom edge, still aligned.
      {biaBottom, taLeftJustify, {100, 20}, "ab", {2, 8}},
      // Too narrow for image beside caption.
      {biaLeft, taCenter, {24, 40}, "abcd", {2, 15}},
      {biaRight, taCenter, {24, 40}, "abcd", {12, 15}},
  };
  for (const LayoutCase& c : cases) {
    TMultiButton button;
    TImageList* list = RedList(&button);
    button.resize(c.size);
    button.SetFont(TFont{qvtest::TestFont(), clBlack});
    button.SetImages(list);
    button.SetImageIndex(0);
    button.SetCaption(c.caption);
    button.SetCaptionVisible(false);  // measured all the same
    button.SetImageAlign(c.imageAlign);
    button.SetAlignment(c.alignment);
    EXPECT_EQ(qvtest::BoundsOf(Render(button), RGB(255, 0, 0)), QRect(c.image, QSize(10, 10)))
        << "align " << c.imageAlign << "/" << c.alignment << " size " << c.size.width() << "x" << c.size.height();
  }
}

TEST(MultiButtonLayout, CaptionMarginPushesTheCaptionAway) {
  TMultiButton button;
  button.resize(100, 40);
  button.SetFont(TFont{qvtest::TestFont(), clBlack});
  button.SetImages(RedList(&button));
  button.SetCaption("ab");
  button.SetImageAlign(biaLeft);
  button.SetCaptionMargin(5);
  // The caption block is 24 wide now: image at (2 + 98 - 10 - 24) / 2.
  EXPECT_EQ(qvtest::BoundsOf(Render(button), RGB(255, 0, 0)).topLeft(), QPoint(33, 15));
}

TEST(MultiButtonLayout, DisabledImageIsBlendedWithTheFace) {
  TMultiButton button;
  button.resize(60, 30);
  button.SetColor(kFace);
  button.SetImages(RedList(&button));
  button.setEnabled(false);
  const TColor face = BlendColor(kFace, kFace, 64);
  EXPECT_EQ(Pixel(Render(button), 25, 10), RGB((255 + GetRValue(face)) / 2, GetGValue(face) / 2, GetBValue(face) / 2));
}

TEST(MultiButtonLayout, FreedImageListIsLetGo) {
  TMultiButton button;
  auto* list = RedList(nullptr);
  button.SetImages(list);
  button.SetImageIndex(0);
  delete list;
  EXPECT_EQ(button.GetImages(), nullptr);
  EXPECT_EQ(button.GetImageIndex(), -1);
  Render(button);  // paints without the list
}

// --- speed button ------------------------------------------------------------

TEST(MultiSpeedButton, TransparentLeavesTheBackgroundToTheParent) {
  QWidget parent;
  parent.resize(60, 30);
  parent.setAutoFillBackground(true);
  QPalette palette = parent.palette();
  palette.setColor(QPalette::Window, QColor(250, 0, 250));
  parent.setPalette(palette);
  auto* button = new TMultiSpeedButton(&parent);
  button->setGeometry(0, 0, 60, 30);
  button->SetFlat(true);
  EXPECT_EQ(qvtest::CountOf(Render(parent), RGB(250, 0, 250)), 60 * 30);
  button->SetTransparent(false);
  button->SetColor(kColor);
  EXPECT_EQ(qvtest::CountOf(Render(parent), kColor), 60 * 30);
}

TEST(MultiSpeedButton, HeldContentMovesAndDisabledDrawsNoShape) {
  TMultiSpeedButton button;
  button.resize(60, 30);
  button.SetTransparent(false);
  button.SetColor(kColor);
  button.SetFaceColor(kFace);
  button.SetFont(TFont{qvtest::TestFont(), clBlack});
  button.SetCaption("Ok");
  const QRect rest = qvtest::BoundsOf(Render(button), clBlack);
  QTest::mousePress(&button, Qt::LeftButton);
  EXPECT_TRUE(button.IsPressed());
  const QImage held = Render(button);
  EXPECT_EQ(qvtest::BoundsOf(held, clBlack), rest.translated(1, 1));
  EXPECT_EQ(Pixel(held, 0, 15), qvtest::RimColor(kFace, 128, 16, false));
  QTest::mouseRelease(&button, Qt::LeftButton);
  EXPECT_FALSE(button.IsPressed());

  button.SetCaption("");
  button.setEnabled(false);
  EXPECT_EQ(qvtest::CountOf(Render(button), kColor), 60 * 30);
}

TEST(MultiSpeedButton, ClickTogglesAndTriggersItsAction) {
  QWidget parent;
  QAction action("Add", &parent);
  action.setToolTip("Add a theme");
  auto* button = new TMultiSpeedButton(&parent);
  button->resize(40, 25);
  button->SetAction(&action);
  EXPECT_EQ(button->GetCaption(), "Add");
  EXPECT_EQ(button->toolTip(), "Add a theme");
  QSignalSpy triggered(&action, &QAction::triggered);
  button->SetDownStyle(bdsCheck);
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(triggered.count(), 1);
  EXPECT_TRUE(button->GetDown());
  action.setEnabled(false);
  EXPECT_FALSE(button->isEnabled());
  action.setText("Insert");
  EXPECT_EQ(button->GetCaption(), "Insert");

  // A press released outside the button is no click.
  action.setEnabled(true);
  QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(100, 100));
  EXPECT_EQ(triggered.count(), 1);
  EXPECT_TRUE(button->GetDown());
}

}  // namespace

// A button freed while it holds the focus hears no more focus changes once
// its own part is gone (the sanitizer runs see such a call).
TEST(MultiButton, AFocusedButtonThatIsFreedIsNotCalledOnTheWay) {
  QWidget window;
  auto* other = new TMultiButton(&window);
  other->setDefault(true);
  window.show();
  window.activateWindow();
  for (int round = 0; round < 3; ++round) {
    auto* button = new TMultiButton(&window);
    button->move(0, 40);
    button->show();
    button->setFocus();
    for (int i = 0; i < 50 && QApplication::focusWidget() != button; ++i) QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), button);
    delete button;
    EXPECT_NE(QApplication::focusWidget(), button);
  }
}
