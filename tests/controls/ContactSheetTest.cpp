// One offscreen picture with every control in its main states, saved as a
// test artifact for reviewers (controls-contact-sheet.png).
#include <gtest/gtest.h>

#include <QLabel>
#include <QPainter>
#include <QTest>
#include <filesystem>

#include "ControlTestUtil.h"
#include "TestSupport.h"
#include "controls/AnimationImage.h"
#include "controls/BRVGraphicsEX.h"
#include "controls/BRVPanelEX.h"
#include "controls/MultiButton.h"

namespace {

QFont SheetFont(int size = 12) {
  QFont font(QStringLiteral("IPAGothic"));
  font.setPixelSize(size);
  return font;
}

class Sheet {
 public:
  Sheet() {
    window_.setWindowFlags(Qt::FramelessWindowHint);
    window_.resize(980, 680);
    window_.setAutoFillBackground(true);
    QPalette palette = window_.palette();
    palette.setColor(QPalette::Window, QColor(236, 233, 216));
    window_.setPalette(palette);
    window_.setFont(SheetFont());
  }
  QWidget& Window() { return window_; }

  void Heading(const QString& text, int y) {
    auto* label = new QLabel(text, &window_);
    QFont f = SheetFont(14);
    f.setBold(true);
    label->setFont(f);
    label->move(10, y);
  }
  // Places a control with a small note under it.
  template <typename T>
  T* Add(T* control, QRect geometry, const QString& note) {
    control->setParent(&window_);
    control->setGeometry(geometry);
    auto* label = new QLabel(note, &window_);
    label->setFont(SheetFont(10));
    label->setGeometry(geometry.x(), geometry.bottom() + 2, std::max(geometry.width(), 130), 13);
    return control;
  }

 private:
  QWidget window_;
};

TImageList* Icons(QObject* owner) {
  auto* list = new TImageList(16, 16, owner);
  const QColor colors[] = {QColor(220, 40, 40), QColor(40, 140, 220), QColor(60, 170, 60)};
  for (const QColor& c : colors) {
    QImage icon(16, 16, QImage::Format_RGB32);
    icon.fill(QColor(255, 0, 255));
    QPainter p(&icon);
    p.setBrush(c);
    p.setPen(c.darker());
    p.drawEllipse(2, 2, 12, 12);
    p.end();
    list->AddMasked(icon, clFuchsia);
  }
  return list;
}

QImage BannerStrip() {
  QImage strip(4 * 40, 40, QImage::Format_RGB32);
  QPainter p(&strip);
  for (int k = 0; k < 4; ++k) {
    p.fillRect(k * 40, 0, 40, 40, QColor::fromHsv(k * 80, 120, 240));
    p.setPen(Qt::black);
    p.setFont(SheetFont(18));
    p.drawText(QRect(k * 40, 0, 40, 40), Qt::AlignCenter, QString::number(k));
  }
  return strip;
}

TEST(ContactSheet, EveryControlInItsMainStates) {
  Sheet sheet;
  QWidget& w = sheet.Window();
  TImageList* icons = Icons(&w);
  const TColor face = RGB(180, 200, 230);
  auto button = [&](const QString& caption) {
    auto* b = new TMultiButton;
    b->SetCaption(caption);
    b->SetColor(ColorFromQColor(QColor(236, 233, 216)));
    b->SetFaceColor(face);
    return b;
  };

  // Buttons.
  sheet.Heading("TMultiButton", 6);
  int x = 10;
  const int y1 = 30;
  auto next = [&x](int width) {
    const int at = x;
    x += width + 12;
    return at;
  };
  sheet.Add(button("送信"), {next(80), y1, 80, 28}, "normal");
  TMultiButton* focused = sheet.Add(button("受信"), {next(80), y1, 80, 28}, "focused");
  TMultiButton* down = sheet.Add(button("待受開始"), {next(80), y1, 80, 28}, "Down, DownCaption");
  down->SetDownCaption("待受停止");
  down->SetDownColor(RGB(255, 230, 160));
  down->SetDown(true);
  TMultiButton* flat = sheet.Add(button("Flat"), {next(80), y1, 80, 28}, "flat at rest");
  flat->SetFlat(true);
  TMultiButton* hover = sheet.Add(button("Flat"), {next(80), y1, 80, 28}, "flat, mouse over");
  hover->SetFlat(true);
  hover->SetFontOnMouse(TFont{SheetFont(), RGB(200, 0, 0)});
  sheet.Add(button("Grayed"), {next(80), y1, 80, 28}, "Grayed")->SetGrayed(true);
  sheet.Add(button("中止"), {next(80), y1, 80, 28}, "disabled")->setEnabled(false);
  TMultiButton* left = sheet.Add(button("削除"), {next(80), y1, 80, 28}, "image left");
  left->SetImages(icons);
  left->SetImageAlign(biaLeft);
  TMultiButton* top = sheet.Add(button("追加"), {next(60), y1 - 6, 60, 40}, "image top");
  top->SetImages(icons);
  top->SetImageIndex(1);
  top->SetImageAlign(biaTop);
  TMultiButton* ellipse = sheet.Add(button("OK"), {next(60), y1, 60, 28}, "ellipse");
  ellipse->SetShapeType(mstEllipse);

  sheet.Heading("CaptionStyle (mtsBorder .. mtsBoldUpShadow2), FontBorderColor white", 84);
  x = 10;
  const char* styles[] = {"Border", "BorderSh", "Down",     "EnabledF", "Normal",
                          "Up",     "UpShadow", "BoldUpSh", "BoldUpSh2"};
  for (int s = 0; s < 9; ++s) {
    TMultiButton* b = sheet.Add(button("メール"), {next(92), 108, 92, 30}, styles[s]);
    b->SetCaptionStyle(static_cast<TMultiTextStyle>(s));
    b->SetFontBorderColor(clWhite);
    b->SetFaceColor(RGB(90, 130, 200));
    QFont f = SheetFont(14);
    f.setBold(true);
    b->SetFont(TFont{f, RGB(255, 240, 120)});
  }

  // Speed buttons.
  sheet.Heading("TMultiSpeedButton", 164);
  x = 10;
  const int y3 = 188;
  TMultiSpeedButton* plain = sheet.Add(new TMultiSpeedButton, {next(70), y3, 70, 26}, "transparent");
  plain->SetCaption("追加");
  TMultiSpeedButton* flatSpeed = sheet.Add(new TMultiSpeedButton, {next(70), y3, 70, 26}, "flat, rest");
  flatSpeed->SetCaption("編集");
  flatSpeed->SetFlat(true);
  std::vector<TMultiSpeedButton*> group;
  for (int i = 0; i < 3; ++i) {
    auto* g = sheet.Add(new TMultiSpeedButton, {next(40), y3, 40, 26}, i == 0 ? "bdsUnique group" : "");
    g->SetCaption(QString::number(i + 1));
    g->SetDownStyle(bdsUnique);
    g->SetGroupIndex(1);
    g->SetFaceColor(face);
    group.push_back(g);
  }
  group[1]->SetDown(true);
  TMultiSpeedButton* held = sheet.Add(new TMultiSpeedButton, {next(70), y3, 70, 26}, "held");
  held->SetCaption("設定");
  held->SetFaceColor(face);
  TMultiSpeedButton* iconSpeed = sheet.Add(new TMultiSpeedButton, {next(70), y3, 70, 26}, "image, opaque");
  iconSpeed->SetImages(icons);
  iconSpeed->SetImageIndex(2);
  iconSpeed->SetImageAlign(biaLeft);
  iconSpeed->SetCaption("OK");
  iconSpeed->SetTransparent(false);
  iconSpeed->SetColor(RGB(250, 250, 250));
  TMultiSpeedButton* off = sheet.Add(new TMultiSpeedButton, {next(70), y3, 70, 26}, "disabled");
  off->SetCaption("削除");
  off->SetImages(icons);
  off->SetImageIndex(0);
  off->SetImageAlign(biaLeft);
  off->setEnabled(false);

  // Panels.
  sheet.Heading("TMultiPanel", 236);
  x = 10;
  const int y4 = 260;
  auto panel = [&](TMultiPanelStyle style, const QString& caption, QRect geometry, const QString& note) {
    auto* p = sheet.Add(new TMultiPanel, geometry, note);
    p->SetMultiPanelStyle(style);
    p->SetCaption(caption);
    return p;
  };
  panel(mpsPanel, "mpsPanel", {next(110), y4, 110, 60}, "plain, raised");
  TMultiPanel* faced = panel(mpsPanel, "FaceColor", {next(110), y4, 110, 60}, "inner lowered, face");
  faced->SetBevelInner(bvLowered);
  faced->SetFaceColor(RGB(255, 255, 255));
  TMultiPanel* round = panel(mpsPanel, "RoundRect", {next(110), y4, 110, 60}, "mstRoundRect");
  round->SetShapeType(mstRoundRect);
  round->SetBevelOuter(bvNone);
  round->SetBevelInner(bvRaised);
  round->SetBevelWidth(2);
  round->SetFaceColor(face);
  TMultiPanel* oval = panel(mpsPanel, "Ellipse", {next(110), y4, 110, 60}, "mstEllipse");
  oval->SetShapeType(mstEllipse);
  oval->SetBevelOuter(bvNone);
  oval->SetBevelInner(bvLowered);
  oval->SetBevelWidth(2);
  oval->SetFaceColor(RGB(255, 250, 220));
  panel(mpsGroup, "グループ", {next(110), y4, 110, 60}, "mpsGroup");
  TMultiPanel* tab = panel(mpsTabGroup, "タブ", {next(110), y4, 110, 60}, "mpsTabGroup");
  tab->SetFaceColor(RGB(250, 250, 250));
  const int mergeX = next(150);
  TMultiPanel* m1 = panel(mpsMergePanel, "merge", {mergeX, y4, 76, 60}, "two mpsMergePanel");
  TMultiPanel* m2 = panel(mpsMergePanel, "panels", {mergeX + 74, y4, 76, 60}, "");
  Q_UNUSED(m1);
  Q_UNUSED(m2);

  x = 10;
  const int y5 = 345;
  for (bool checked : {true, false}) {
    TMultiPanel* check =
        panel(mpsCheck, "詳細設定", {next(150), y5, 150, 80}, checked ? "mpsCheck, checked" : "unchecked");
    auto* inner = new QLabel("子コントロール", check);
    inner->move(12, 30);
    auto* inner2 = new QLabel("second child", check);
    inner2->move(12, 50);
    check->SetChecked(checked);
  }

  // Colour box.
  TColorBox* colors = sheet.Add(new TColorBox, {next(128), y5, 128, 32}, "TColorBox (8 of 16)");
  Q_UNUSED(colors);
  TColorBox* pressedBox = sheet.Add(new TColorBox, {next(128), y5, 128, 32}, "swatch 2 pressed");
  QTest::mousePress(pressedBox, Qt::LeftButton, {}, QPoint(40, 8));

  // Attach panels.
  sheet.Heading("TAttachPanel", 440);
  x = 10;
  const int y6 = 464;
  const TColor attachFace = RGB(150, 180, 220);
  const TColor sheetColor = ColorFromQColor(QColor(236, 233, 216));
  auto attach = [&](QRect geometry, const QString& caption, const QString& note) {
    auto* p = sheet.Add(new TAttachPanel, geometry, note);
    p->SetCaption(caption);
    p->SetColor(attachFace);
    p->SetAttachColor(sheetColor);
    return p;
  };
  attach({next(140), y6, 140, 80}, "通信中", "rounded");
  const int stackX = next(140);
  TAttachPanel* upper = attach({stackX, y6, 140, 40}, "Bottom attached", "");
  upper->GetAttachPanelStyle()->SetBottom(true);
  TAttachPanel* lower = attach({stackX, y6 + 40, 140, 40}, "Top attached", "stacked pair");
  lower->GetAttachPanelStyle()->SetTop(true);
  TAttachPanel* shortPanel = attach({next(140), y6 + 20, 140, 18}, "short", "100 x 18-like strip");
  shortPanel->SetCaptionStyle(btsUp);
  TAttachPanel* ring = attach({next(140), y6, 140, 80}, "", "PanelStyle off, all attached");
  ring->SetPanelStyle(false);
  for (const char* flag : {"Left", "Right", "Top", "Bottom", "LeftTop", "RightTop", "LeftBottom", "RightBottom"})
    ring->GetAttachPanelStyle()->setProperty(flag, true);
  TAttachPanel* styled = attach({next(140), y6, 140, 80}, "左上の見出し", "bpaLeftTop, btsBoldUpShadow");
  styled->SetCaptionAlignment(bpaLeftTop);
  styled->SetCaptionStyle(btsBoldUpShadow);
  styled->SetFontBorderColor(clWhite);
  styled->SetSpace(4);
  styled->SetRadius(14);

  sheet.Heading("TAttachSplitter (two panes) and TAnimationImage (frame strip 0..3)", 560);
  x = 10;
  const int y7 = 584;
  auto* splitter =
      sheet.Add(new TAttachSplitter, {next(300), y7, 300, 80}, "TAttachSplitter, bar attached top and bottom");
  splitter->SetColor(attachFace);
  splitter->SetAttachColor(sheetColor);
  splitter->setHandleWidth(8);
  splitter->SetRadius(2);
  splitter->GetAttachPanelStyle()->SetTop(true);
  splitter->GetAttachPanelStyle()->SetBottom(true);
  for (const QString& name : {QString("pane 1"), QString("pane 2")}) {
    auto* pane = new TAttachPanel;
    pane->SetCaption(name);
    pane->SetColor(RGB(255, 255, 255));
    pane->SetAttachColor(attachFace);
    splitter->addWidget(pane);
  }

  // Animation: three copies stepped 0, 1 and 2 ticks.
  const QImage strip = BannerStrip();
  std::vector<TAnimationImage*> animations;
  for (int i = 0; i < 3; ++i) {
    auto* a = sheet.Add(new TAnimationImage, {next(40), y7, 40, 40}, i == 0 ? "after 0, 1, 2 ticks" : "");
    a->SetPicture(strip);
    a->SetColCount(4);
    animations.push_back(a);
  }
  x += 100;
  auto* hovered = sheet.Add(new TAnimationImage, {next(40), y7, 40, 40}, "Focused3D, hovered");
  hovered->SetPicture(strip);
  hovered->SetColCount(4);
  hovered->SetFocused3D(true);

  w.show();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  focused->setFocus();
  qvtest::SendEnter(*hover);
  qvtest::SendEnter(*hovered);
  QTest::mousePress(held, Qt::LeftButton);
  for (int i = 0; i < 3; ++i) {
    animations[static_cast<size_t>(i)]->Start();
    for (int t = 0; t < i; ++t) {
      QTimerEvent tick(animations[static_cast<size_t>(i)]->Timer().timerId());
      QApplication::sendEvent(const_cast<QTimer*>(&animations[static_cast<size_t>(i)]->Timer()), &tick);
    }
  }
  splitter->setSizes({180, 112});

  const QImage shot = qvtest::Render(w);
  ASSERT_TRUE(qvtest::SaveArtifact(shot, "controls-contact-sheet.png"));
  EXPECT_TRUE(std::filesystem::exists(qvtest::ArtifactPath("controls-contact-sheet.png")));
  QTest::mouseRelease(held, Qt::LeftButton);
}

}  // namespace
