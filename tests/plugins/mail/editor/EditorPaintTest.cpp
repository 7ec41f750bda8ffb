// What the editor draws, rendered offscreen with its timers ticked by the
// test: blinking, picture slides, pictogram and user-character cells,
// scrolling and its limits, and the look of every kind of part.
#include "plugins/mail/editor/KMailEdit.h"

#include "controls/BRVGraphicsEX.h"
#include "controls/Graphics.h"
#include "controls/ImageList.h"

#include "EditorFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QSignalSpy>
#include <QWheelEvent>

#include <algorithm>

using namespace qv::kmail;
using edittest::CountColour;
using edittest::CountNear;
using edittest::EditorFixture;
using edittest::Heart;
using edittest::Solid;
using edittest::Star;
using edittest::UserChar;
using qvtest::Sjis;

namespace {

const QColor kRed(255, 0, 0);

class EditorPaintTest : public EditorFixture {
 protected:
  QImage Shot() {
    edit->clearFocus();
    QImage image = edit->grab().toImage().convertToFormat(QImage::Format_RGB32);
    edit->setFocus();
    return image;
  }
  void ServePicture(const std::string& name, const QImage& image, const std::string& headers) {
    pictures[name] = {image, headers};
    edit->OnBmpData = [this](TKMailEdit*, const std::string& file, QImage& bmp, std::string& lines) {
      auto it = pictures.find(file);
      if (it == pictures.end()) return;
      bmp = it->second.first;
      lines = it->second.second;
    };
  }
  std::string Lines(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += "line " + std::to_string(i) + "\r\n";
    return text;
  }

  std::map<std::string, std::pair<QImage, std::string>> pictures;
};

}  // namespace

TEST_F(EditorPaintTest, BlinkingPartsAreHiddenInPhaseOne) {
  edit->SetMarkupText(Sjis("ab<C=FF0000><BL>■■■</BL></C>"));
  EXPECT_GT(CountColour(Shot(), kRed), 50);
  edit->Tick(TKMailEdit::kBlinkTimer);
  EXPECT_EQ(edit->BlinkPhase(), 1);
  EXPECT_EQ(CountColour(Shot(), kRed), 0);
  edit->Tick(TKMailEdit::kBlinkTimer);
  EXPECT_GT(CountColour(Shot(), kRed), 50);
  // Any button pressed on the control shows them again, and nothing blinks
  // while it is held.
  edit->Tick(TKMailEdit::kBlinkTimer);
  const QPoint inside = edit->TextArea().center();
  Mouse(edit.get(), QEvent::MouseButtonPress, inside, Qt::RightButton, Qt::RightButton);
  EXPECT_EQ(edit->BlinkPhase(), 0);
  edit->Tick(TKMailEdit::kBlinkTimer);
  EXPECT_EQ(edit->BlinkPhase(), 0);
  Mouse(edit.get(), QEvent::MouseButtonRelease, inside, Qt::RightButton, Qt::NoButton);
  edit->Tick(TKMailEdit::kBlinkTimer);
  EXPECT_EQ(edit->BlinkPhase(), 1);
  // Without animation blinking text is always shown.
  edit->SetAnimation(false);
  EXPECT_EQ(edit->BlinkPhase(), 0);
  for (int i = 0; i < 3; ++i) edit->Tick(TKMailEdit::kBlinkTimer);
  EXPECT_EQ(edit->BlinkPhase(), 0);
  EXPECT_GT(CountColour(Shot(), kRed), 50);
}

TEST_F(EditorPaintTest, TheHostHearsOfEveryPartDrawn) {
  ServePicture("p.bmp", Solid(20, 10, Qt::gray), "");
  edit->SetDeleteVoidTag(false);
  edit->SetMarkupText("a<BL>b</BL>\tc<#HEART><?01><IMG=p.bmp><KEPT>");
  std::vector<std::string> drawn;
  edit->OnDrawParts = [&](TKMailEdit*, QPainter&, int type, std::string_view text, const QRect& r) {
    drawn.push_back(std::to_string(type) + ":" + std::string(text) + "@" + std::to_string(r.width()));
  };
  Shot();
  const std::string a = "1:a@" + std::to_string(Width("a"));
  const std::string b = "1:b@" + std::to_string(Width("b"));
  const std::string tab = "1:\t@" + std::to_string(4 * Width(" "));
  const std::string c = "1:c@" + std::to_string(Width("c"));
  // The picture starts a line of its own, the whole width; the kept tag after it takes no room.
  EXPECT_EQ(drawn, (std::vector<std::string>{a, b, tab, c, "3:HEART@0", "4:01@0",
                                             "5:p.bmp@" + std::to_string(edit->TextArea().width()), "6:KEPT@0"}));
  // Parts hidden by blinking are not told of.
  edit->Tick(TKMailEdit::kBlinkTimer);
  drawn.clear();
  Shot();
  EXPECT_EQ(std::count(drawn.begin(), drawn.end(), b), 0);
  EXPECT_EQ(std::count(drawn.begin(), drawn.end(), a), 1);
}

TEST_F(EditorPaintTest, NothingAnimatesWithoutBlinkingText) {
  edit->SetMarkupText("plain");
  Shot();
  edit->Tick(TKMailEdit::kBlinkTimer);
  EXPECT_EQ(edit->BlinkPhase(), 0);
  EXPECT_EQ(edit->FrameCounter(), 0);
}

TEST_F(EditorPaintTest, AThreePageSlideAdvancesWithTheFrames) {
  const std::vector<QColor> colours = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta};
  ServePicture("s.bmp", edittest::SixPages(colours),
               "X-KmailDX-Info: DIV6\r\nX-KmailDX-CBMP: PAGE=6;SLIDE(96,43)=3;VOID;VOID;VOID");
  edit->SetMarkupText("<IMG=\"s.bmp\";1>");
  const int page = 96 * 43;
  for (int frame = 0; frame < 7; ++frame) {
    SCOPED_TRACE(frame);
    const QImage shot = Shot();
    for (int k = 0; k < 6; ++k) EXPECT_EQ(CountColour(shot, colours[static_cast<size_t>(k)]), k == frame % 3 ? page : 0);
    edit->Tick(TKMailEdit::kBlinkTimer);
  }
  // The 60-step counter divides evenly by every slide length.
  for (int i = 7; i < 60; ++i) edit->Tick(TKMailEdit::kBlinkTimer);
  EXPECT_EQ(edit->FrameCounter(), 0);
  // A void page draws nothing; a plain page draws its own rectangle,
  // centred in the text area.
  ServePicture("p.bmp", edittest::SixPages(colours),
               "X-KmailDX-Info: DIV6\r\nX-KmailDX-CBMP: PAGE=6;PLAIN(96,43);PLAIN(96,43);PLAIN(96,43);VOID;"
               "PLAIN(60,20);PLAIN(96,43)");
  edit->SetMarkupText("<IMG=\"p.bmp\";4><IMG=\"p.bmp\";5>");
  const QImage shot = Shot();
  EXPECT_EQ(CountColour(shot, Qt::yellow), 0);
  EXPECT_EQ(CountColour(shot, Qt::cyan), 60 * 20);
  // Placed by the six-page picture's page height (130 div 3), whatever its own.
  const int x = edit->TextArea().left() + (edit->TextArea().width() - 60) / 2;
  const int y = edit->TextArea().top() + static_cast<int>(edit->Document().LineTop(1)) +
                (edit->Document().Lines()[1].height - 43) / 2;
  EXPECT_EQ(shot.pixelColor(x, y), QColor(Qt::cyan));
  EXPECT_EQ(shot.pixelColor(x + 59, y + 19), QColor(Qt::cyan));
  EXPECT_NE(shot.pixelColor(x - 1, y), QColor(Qt::cyan));
  EXPECT_NE(shot.pixelColor(x, y + 20), QColor(Qt::cyan));
}

TEST_F(EditorPaintTest, PictogramsAndUserCharactersFillTheirCells) {
  TImageList pictograms(12, 12), users(12, 12);
  pictograms.Add(Solid(12, 12, Qt::green));
  pictograms.Add(Solid(12, 12, Qt::blue));
  users.Add(Solid(12, 12, Qt::magenta));
  users.Add(Solid(12, 12, Qt::cyan));
  edit->SetPicTextList({"HEART=\xF0\x40", "STAR=\xF0\x41", "MOON=\xF0\x42"});
  edit->SetPicTextImages(&pictograms);
  edit->SetUserTextImages(&users);
  edit->SetLineSpace(2);
  edit->SetMarkupText("<#HEART><#STAR><?01><#heart><#MOON>a");
  const int cellWidth = 2 * Width("0");
  const int cellHeight = edit->Document().Lines()[0].height - 2;
  const QImage shot = Shot();
  // Stretched whole into the part, less the line space below.
  EXPECT_EQ(CountColour(shot, Qt::green), cellWidth * cellHeight);
  EXPECT_EQ(CountColour(shot, Qt::blue), cellWidth * cellHeight);
  EXPECT_EQ(CountColour(shot, Qt::cyan), cellWidth * cellHeight);
  EXPECT_EQ(CountColour(shot, Qt::magenta), 0);
  EXPECT_EQ(shot.pixelColor(edit->TextArea().left(), edit->TextArea().top()), QColor(Qt::green));
  // A name in other letters, or without an image, takes no room.
  EXPECT_EQ(edit->Document().XOfPos(edit->Document().Length() - 9, 0), 3 * cellWidth);
  // The images' owner may go away first.
  {
    TImageList gone(12, 12);
    gone.Add(Solid(12, 12, Qt::yellow));
    gone.Add(Solid(12, 12, Qt::yellow));
    edit->SetUserTextImages(&gone);
    EXPECT_GT(CountColour(Shot(), Qt::yellow), 0);
  }
  EXPECT_EQ(edit->UserTextImages(), nullptr);
  EXPECT_EQ(CountColour(Shot(), Qt::yellow), 0);
}

TEST_F(EditorPaintTest, TheTopLineStaysWithinTheLines) {
  edit->SetMarkupText(Lines(50));
  QSignalSpy scrolled(edit.get(), &TKMailEdit::OnScrollChange);
  const int count = edit->TopLineCount();
  EXPECT_GT(count, 30);
  EXPECT_LE(count, edit->Document().LineCount());
  edit->SetTopLine(-3);
  EXPECT_EQ(edit->TopLine(), 0);
  edit->SetTopLine(999);
  EXPECT_EQ(edit->TopLine(), count - 1);
  EXPECT_GE(scrolled.count(), 2);
  // The wheel: three lines for every 120 of accumulated angle.
  edit->SetTopLine(10);
  auto wheel = [this](int delta) {
    QWheelEvent event(QPointF(10, 10), edit->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(edit.get(), &event);
  };
  wheel(-120);
  EXPECT_EQ(edit->TopLine(), 13);
  wheel(60);
  EXPECT_EQ(edit->TopLine(), 13);
  wheel(60);
  EXPECT_EQ(edit->TopLine(), 10);
  wheel(1200);
  EXPECT_EQ(edit->TopLine(), 0);
  // A last line taller than the text area, and a text area with no height.
  ServePicture("tall.bmp", Solid(40, 1000, Qt::gray), "");
  edit->SetMarkupText("a\r\nb\r\n<IMG=\"tall.bmp\">");
  EXPECT_EQ(edit->TopLineCount(), edit->Document().LineCount());
  edit->SetTopLine(50);
  EXPECT_EQ(edit->TopLine(), edit->Document().LineCount() - 1);
  edit->SetMarkupText(Lines(5));
  edit->Margin().SetTop(150);
  edit->Margin().SetBottom(150);
  EXPECT_LE(edit->TopLineCount(), edit->Document().LineCount());
  EXPECT_EQ(edit->VisibleLineCount(), 1);
  // Keys and clicks never reach for a line that is not there.
  for (Qt::Key key : {Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_Up, Qt::Key_PageUp})
    QTest::keyClick(edit.get(), key);
  QTest::mouseClick(edit.get(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 190));
  EXPECT_LE(edit->CaretPosition(), static_cast<int>(edit->Document().Length()) + 1);
  EXPECT_GE(edit->TopLine(), 0);
  EXPECT_LT(edit->TopLine(), edit->TopLineCount());
}

TEST_F(EditorPaintTest, PageKeysMoveByAScreen) {
  edit->SetMarkupText(Lines(50));
  const int shown = edit->Document().LastFullLine() + 1;
  QTest::keyClick(edit.get(), Qt::Key_PageDown);
  EXPECT_EQ(edit->TopLine(), shown - 1);
  EXPECT_EQ(edit->Document().LineOfPos(edit->CaretPosition() - 1), shown - 1);
  QTest::keyClick(edit.get(), Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(edit->Document().LineOfPos(edit->CaretPosition() - 1), edit->Document().LastFullLine());
  QTest::keyClick(edit.get(), Qt::Key_PageUp, Qt::ControlModifier);
  EXPECT_EQ(edit->Document().LineOfPos(edit->CaretPosition() - 1), edit->TopLine());
  QTest::keyClick(edit.get(), Qt::Key_PageUp);
  EXPECT_EQ(edit->TopLine(), 0);
  EXPECT_EQ(edit->Document().LineOfPos(edit->CaretPosition() - 1), 0);
}

TEST_F(EditorPaintTest, DraggingAboveOrBelowScrollsOneOrFourLines) {
  edit->SetMarkupText(Lines(80));
  edit->SetTopLine(20);
  const QRect area = edit->TextArea();
  Mouse(edit.get(), QEvent::MouseButtonPress, area.center(), Qt::LeftButton, Qt::LeftButton);
  ASSERT_TRUE(edit->TimerActive(TKMailEdit::kScrollTimer));
  struct Step {
    int y;
    int top;
  };
  const Step steps[] = {{area.top() - 5, 19}, {area.top() - 5, 18}, {area.top() - 10, 14}, {area.center().y(), 14},
                        {area.bottom() + 5, 15}, {area.bottom() + 10, 19}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.y);
    Mouse(edit.get(), QEvent::MouseMove, QPoint(area.left() + 5, step.y), Qt::NoButton, Qt::LeftButton);
    edit->Tick(TKMailEdit::kScrollTimer);
    EXPECT_EQ(edit->TopLine(), step.top);
  }
  // The caret followed the mouse to the last line shown whole.
  EXPECT_EQ(edit->Document().LineOfPos(edit->CaretPosition() - 1), edit->Document().LastFullLine());
  Mouse(edit.get(), QEvent::MouseButtonRelease, QPoint(area.left() + 5, area.bottom() + 10), Qt::LeftButton,
        Qt::NoButton);
  EXPECT_FALSE(edit->TimerActive(TKMailEdit::kScrollTimer));
  edit->Tick(TKMailEdit::kScrollTimer);
  EXPECT_EQ(edit->TopLine(), 19);
}

TEST_F(EditorPaintTest, EveryKindOfPartScreenshot) {
  edit = NewEditor(380, 330);
  TImageList pictograms(12, 12), users(12, 12);
  pictograms.Add(Heart());
  pictograms.Add(Star());
  users.Add(UserChar(0));
  users.Add(UserChar(1));
  edit->SetPicTextList({"HEART=\xF0\x40", "STAR=\xF0\x41"});
  edit->SetPicTextImages(&pictograms);
  edit->SetUserTextImages(&users);
  TMargin margin;
  margin.SetLeft(6);
  margin.SetRight(6);
  margin.SetTop(4);
  edit->SetMargin(margin);
  QImage photo(120, 40, QImage::Format_RGB32);
  photo.fill(QColor(70, 140, 220));
  QPainter(&photo).fillRect(10, 10, 100, 20, QColor(250, 240, 120));
  ServePicture("photo.bmp", photo, "");
  ServePicture("six.bmp", edittest::SixPages({Qt::red, QColor(0, 160, 0), Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta}),
               "X-KmailDX-Info: DIV6");
  edit->SetDeleteVoidTag(false);
  edit->SetMarkupText(Sjis("普通の文字 <C=FF0000>赤い文字</C> <BL><C=0000FF>点滅</C></BL>\r\n"
                           "<#HEART><#STAR><?00><?01> 絵文字と外字\r\n"
                           "リンク http://example.jp/ taro@example.jp\r\n"
                           "TEL:03-1234-5678\r\n"
                           "<IMG=\"photo.bmp\">\r\n"
                           "<IMG=\"six.bmp\";2>\r\n"
                           "<KEPT>タグの後\tタブ <C=008000>選択した緑の文字</C>"));
  const size_t green = edit->Document().Length() - 8 * 10;
  edit->SetSelection(static_cast<int>(green) + 1, static_cast<int>(edit->Document().Length()) + 1);
  const QImage shot = Shot();
  edittest::SaveArtifact(shot, "kmailedit-parts.png");
  EXPECT_GT(CountNear(shot, kRed), 40);
  EXPECT_GT(CountNear(shot, QColor(0, 0, 255)), 40);
  EXPECT_EQ(CountColour(shot, QColor(250, 240, 120)), 100 * 20);
  EXPECT_EQ(CountColour(shot, QColor(0, 160, 0)), 96 * 43);
  EXPECT_GT(CountColour(shot, edit->palette().color(QPalette::Highlight)), 200);
  // The web address is underlined: a row of ink under its characters.
  const int linkLine = 2;
  const int top = edit->TextArea().top() + static_cast<int>(edit->Document().LineTop(linkLine));
  const int x0 = edit->TextArea().left() + Width("リンク h");
  const int x1 = edit->TextArea().left() + Width("リンク http://example.jp") - 1;
  bool underlined = false;
  for (int y = top; y < top + edit->Document().Lines()[linkLine].height && !underlined; ++y) {
    bool row = true;
    for (int x = x0; x <= x1; ++x) row = row && shot.pixelColor(x, y) != QColor(Qt::white);
    underlined = row;
  }
  EXPECT_TRUE(underlined);

  // The switched-off look: the whole screen tinted towards grey.
  edit->SetSelection(TKMailEdit::kTextStart, TKMailEdit::kTextStart);
  edit->SetPowerOff(true);
  const QImage off = Shot();
  edittest::SaveArtifact(off, "kmailedit-poweroff.png");
  EXPECT_EQ(off.pixelColor(edit->width() - 2, edit->height() - 2), ToQColor(BlendColor(clGray, clWhite, 64)));
  EXPECT_EQ(CountNear(off, kRed, 16), 0);
  EXPECT_GT(CountNear(off, ToQColor(BlendColor(clGray, clRed, 64)), 16), 40);

  // A body with its own colours.
  edit->SetPowerOff(false);
  edit->SetMarkupText(Sjis("<BODY=FFFFFF;BG=102040>\r\n夜の<C=FFFF00>黄色</C>と<BL>白</BL>"));
  const QImage night = Shot();
  edittest::SaveArtifact(night, "kmailedit-body.png");
  EXPECT_EQ(night.pixelColor(edit->width() - 2, edit->height() - 2), QColor(0x10, 0x20, 0x40));
  EXPECT_GT(CountNear(night, Qt::yellow), 40);
}

TEST_F(EditorPaintTest, SelectedTextTakesTheHighlightTextColourOnEitherScreen) {
  const QColor text = edit->palette().color(QPalette::HighlightedText);
  const QColor highlight = edit->palette().color(QPalette::Highlight);
  struct Case {
    const char* name;
    bool powerOff;
    QColor fill;
  } cases[] = {
      {"switched on", false, highlight},
      {"switched off", true, ToQColor(clGray)},
  };
  edit->SetMarkupText(Sjis("<C=FF0000>選択した赤い文字</C>"));
  edit->SelectAll();
  const QRect area = edit->TextArea();
  const QRect run(area.left(), area.top(), Width("選択した赤い文字"), edit->Document().Lines()[0].height);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    edit->SetPowerOff(c.powerOff);
    const QImage shot = Shot();
    if (c.powerOff) edittest::SaveArtifact(shot, "kmailedit-poweroff-selected.png");
    const QImage selected = shot.copy(run);
    EXPECT_GT(CountColour(selected, c.fill), run.width() * run.height() / 3);
    EXPECT_GT(CountNear(selected, text, 16), 60) << "the selected text cannot be seen on its fill";
    EXPECT_EQ(CountNear(selected, kRed, 16), 0);
  }
}
