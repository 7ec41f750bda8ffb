// The editor control driven as a user drives it: keys, input-method text,
// the mouse and the clipboard; after each step the markup, the caret offset
// and the caret as drawn agree.
#include "plugins/mail/editor/KMailEdit.h"

#include "controls/ImageList.h"
#include "core/ui/QtText.h"

#include "EditorFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QMimeData>
#include <QSignalSpy>

using namespace qv::kmail;
using edittest::EditorFixture;
using qvtest::Sjis;

namespace {

class EditorInputTest : public EditorFixture {
 protected:
  // The caret's offset, its rectangle and the caret drawn on screen agree.
  void ExpectCaretAt(int position, int x) {
    EXPECT_EQ(edit->CaretPosition(), position);
    EXPECT_EQ(edit->CaretRect().x(), x);
    EXPECT_EQ(DrawnCaretColumns(), std::set<int>{x});
  }
  // The caret is drawn where the model puts the caret: after the part left
  // of it, or at the left margin.
  void ExpectDrawnCaret() {
    const size_t caret = edit->CaretPosition() - 1;
    EXPECT_EQ(edit->CaretRect().x(), edit->Document().XOfPos(caret, edit->TextArea().left()));
    EXPECT_EQ(DrawnCaretColumns(), std::set<int>{edit->CaretRect().x()});
  }
};

}  // namespace

TEST_F(EditorInputTest, TypingAndInputMethodTextMeetAtTheCaret) {
  const int left = edit->TextArea().left();
  ExpectCaretAt(TKMailEdit::kTextStart, left);
  QTest::keyClick(edit.get(), Qt::Key_A);
  EXPECT_EQ(Markup(), "a");
  ExpectCaretAt(TKMailEdit::kTextStart + 9, left + Width("a"));
  Commit(edit.get(), QString::fromUtf8("あ"));
  EXPECT_EQ(Markup(), Sjis("aあ"));
  ExpectCaretAt(TKMailEdit::kTextStart + 9 + 10, left + Width("a") + Width("あ"));
  {
    // The glyphs stand where the model measured them: "あ" just left of the caret.
    const int caretX = edit->CaretRect().x();
    edit->clearFocus();
    const QImage shot = edit->grab().toImage();
    edit->setFocus();
    const std::vector<int> ink = edittest::InkColumns(shot, Qt::white, 0, edit->CaretRect().bottom());
    int last = -1, inKana = 0;
    for (int x = 0; x < static_cast<int>(ink.size()); ++x) {
      if (ink[static_cast<size_t>(x)] == 0) continue;
      last = x;
      if (x >= caretX - Width("あ") && x < caretX) ++inKana;
    }
    EXPECT_LT(last, caretX);
    EXPECT_GT(inKana, Width("あ") / 2);
  }
  QTest::keyClick(edit.get(), Qt::Key_Return);
  QTest::keyClicks(edit.get(), QStringLiteral("b<"));
  EXPECT_EQ(Markup(), Sjis("aあ\r\nb<<"));
  const int lineHeight = edit->Document().Lines()[0].height;
  EXPECT_EQ(edit->CaretRect().top(), edit->TextArea().top() + lineHeight);
  ExpectCaretAt(TKMailEdit::kTextStart + 19 + 8 + 18, left + Width("b<"));
}

TEST_F(EditorInputTest, PreeditIsDrawnButIsNoContentUntilItIsCommitted) {
  QTest::keyClicks(edit.get(), QStringLiteral("x"));
  const QRect caret = edit->CaretRect();
  const QImage before = edit->grab().toImage();
  Preedit(edit.get(), QString::fromUtf8("かな"));
  EXPECT_EQ(Markup(), "x");
  EXPECT_EQ(edit->GetPlainText(), "x");
  // The candidate window follows the caret, which stands after the composition.
  const QRect asked = static_cast<QWidget*>(edit.get())->inputMethodQuery(Qt::ImCursorRectangle).toRect();
  EXPECT_EQ(asked.x(), caret.x() + Width("かな"));
  EXPECT_EQ(asked.top(), caret.top());
  const QImage during = edit->grab().toImage();
  const std::vector<int> ink = edittest::InkColumns(during, Qt::white, caret.top(), caret.bottom() + 1);
  const std::vector<int> old = edittest::InkColumns(before, Qt::white, caret.top(), caret.bottom() + 1);
  int inked = 0;
  for (int x = caret.x() + 1; x < caret.x() + Width("かな"); ++x) inked += ink[static_cast<size_t>(x)] > old[static_cast<size_t>(x)];
  EXPECT_GT(inked, Width("かな") / 2);
  // Undo knows only the typed "x".
  QInputMethodEvent commit(QString(), {});
  commit.setCommitString(QString::fromUtf8("仮名"));
  QApplication::sendEvent(edit.get(), &commit);
  EXPECT_EQ(Markup(), Sjis("x仮名"));
  EXPECT_EQ(static_cast<QWidget*>(edit.get())->inputMethodQuery(Qt::ImCursorRectangle).toRect(), edit->CaretRect());
  edit->Undo();
  EXPECT_EQ(Markup(), "");
}

TEST_F(EditorInputTest, ArrowsWithShiftAndCtrl) {
  edit->SetMarkupText(Sjis("ab cd ef\r\nxyz"));
  const int s = TKMailEdit::kTextStart;
  struct Step {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    int anchor, caret;
    const char* selected;
  };
  const Step steps[] = {
      {Qt::Key_Right, Qt::ControlModifier, s + 18, s + 18, ""},
      {Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier, s + 18, s + 45, " cd"},
      {Qt::Key_Left, Qt::ShiftModifier, s + 18, s + 36, " c"},
      {Qt::Key_Right, Qt::NoModifier, s + 45, s + 45, ""},
      {Qt::Key_Left, Qt::ControlModifier, s + 27, s + 27, ""},
      {Qt::Key_End, Qt::ShiftModifier, s + 27, s + 72, "cd ef"},
      {Qt::Key_Down, Qt::NoModifier, s + 72 + 8 + 27, s + 72 + 8 + 27, ""},
      {Qt::Key_Home, Qt::ShiftModifier, s + 72 + 8 + 27, s + 72 + 8, "xyz"},
      {Qt::Key_Up, Qt::NoModifier, s, s, ""},
      {Qt::Key_End, Qt::ControlModifier, s + 72 + 8 + 27, s + 72 + 8 + 27, ""},
      {Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier, s + 72 + 8 + 27, s, "ab cd ef\r\nxyz"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.caret);
    QTest::keyClick(edit.get(), step.key, step.mods);
    EXPECT_EQ(edit->AnchorPosition(), step.anchor);
    EXPECT_EQ(edit->CaretPosition(), step.caret);
    EXPECT_EQ(edit->GetSelText(), Sjis(step.selected));
    ExpectDrawnCaret();
  }
  EXPECT_EQ(edit->GetMarkupText(), Sjis("ab cd ef\r\nxyz"));
}

TEST_F(EditorInputTest, DraggingTheMouseSelects) {
  edit->SetMarkupText("abcdef");
  const int left = edit->TextArea().left();
  const int y = edit->TextArea().top() + 5;
  const QPoint from(left + Width("a") + 1, y);
  const QPoint to(left + Width("abcd") + Width("e") * 3 / 4, y);
  Mouse(edit.get(), QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
  EXPECT_TRUE(edit->TimerActive(TKMailEdit::kScrollTimer));
  Mouse(edit.get(), QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
  Mouse(edit.get(), QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(edit->TimerActive(TKMailEdit::kScrollTimer));
  EXPECT_EQ(edit->GetSelText(), "bcde");
  EXPECT_EQ(edit->AnchorPosition(), TKMailEdit::kTextStart + 9);
  // A double click selects the word under the mouse.
  edit->SetMarkupText("one two three");
  const QPoint two(left + Width("one t") + 1, y);
  DoubleClick(edit.get(), two);
  EXPECT_EQ(edit->GetSelText(), "two");
  // A click puts anchor and caret under the mouse.
  QTest::mouseClick(edit.get(), Qt::LeftButton, Qt::NoModifier, QPoint(left + 1, y));
  EXPECT_FALSE(edit->HasSelection());
  EXPECT_EQ(edit->CaretPosition(), TKMailEdit::kTextStart);
}

TEST_F(EditorInputTest, ACopiedColouredBlinkingPictogramKeepsBothInAnotherEditor) {
  const std::vector<std::string> table = {"HEART=\xF0\x40", "STAR=\xF0\x41"};
  TImageList images(12, 12);
  images.Add(edittest::Solid(12, 12, Qt::green));
  images.Add(edittest::Solid(12, 12, Qt::blue));
  edit->SetPicTextList(table);
  edit->SetPicTextImages(&images);
  edit->SetMarkupText("x<C=FF0000><BL><#HEART></BL></C>y");
  const int s = TKMailEdit::kTextStart;
  edit->SetSelection(s + 9, s + 9 + 15);
  QTest::keyClick(edit.get(), Qt::Key_C, Qt::ControlModifier);
  const QMimeData* data = QApplication::clipboard()->mimeData();
  ASSERT_TRUE(data->hasFormat(QStringLiteral("QUORVEL")));
  // Another program gets the pictogram's handset code as text.
  EXPECT_EQ(qv::FromQString(data->text()), "\xF0\x40");

  auto other = NewEditor(320, 120);
  other->SetPicTextList(table);
  other->SetPicTextImages(&images);
  QTest::keyClick(other.get(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(other->GetMarkupText(), "<BL><C=FF0000><#HEART></C></BL>");
  // Cut takes it out of the first and the second gets it again.
  edit->setFocus();
  QTest::keyClick(edit.get(), Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(Markup(), "xy");
  other->setFocus();
  QTest::keyClick(other.get(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(other->GetMarkupText(), "<BL><C=FF0000><#HEART><#HEART></C></BL>");
  // Text from another program comes in with the typing attributes.
  QApplication::clipboard()->setText(QString::fromUtf8("one\ntwo") + QChar(0xE001));
  other->SetSelColor(clBlue);
  other->SetSelBlink(false);
  other->PasteFromClipboard();
  EXPECT_EQ(other->GetMarkupText(), "<BL><C=FF0000><#HEART><#HEART></BL><C=0000FF>one\r\ntwo<#STAR></C>");
}

TEST_F(EditorInputTest, DamagedClipboardDataPastesItsSoundPartsOrTheText) {
  const std::string good = MakePart(ttSingleChar, clRed, false, "a");
  struct Case {
    const char* name;
    std::string privateData;
    bool hasPrivate;
    const char* text;
    std::string markup;
  };
  const Case cases[] = {
      {"good parts before garbage", good + "9garbage", true, "TEXT", "<C=FF0000>a</C>"},
      {"garbage only: the text", "9garbage", true, "TEXT", "TEXT"},
      {"a length past the data", "30000000FFabc", true, "T2", "T2"},
      {"empty private data", "", true, "T3", "T3"},
      {"no text either", "zzz", true, nullptr, ""},
      {"nothing at all", "", false, nullptr, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    edit->SetMarkupText("");
    auto* data = new QMimeData;
    if (c.hasPrivate) data->setData(QStringLiteral("QUORVEL"), QByteArray::fromStdString(c.privateData + '\0'));
    if (c.text) data->setText(QString::fromLatin1(c.text));
    QApplication::clipboard()->setMimeData(data);
    edit->PasteFromClipboard();
    EXPECT_EQ(Markup(), c.markup);
  }
}

TEST_F(EditorInputTest, UndoTwiceAfterTyping) {
  QTest::keyClicks(edit.get(), QStringLiteral("abc"));
  EXPECT_TRUE(edit->CanUndo());
  QTest::keyClick(edit.get(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Markup(), "");
  EXPECT_EQ(edit->CaretPosition(), TKMailEdit::kTextStart);
  QTest::keyClick(edit.get(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Markup(), "abc");
  ExpectCaretAt(TKMailEdit::kTextStart + 27, edit->TextArea().left() + Width("abc"));
}

TEST_F(EditorInputTest, OverwriteStopsAtTheEndOfTheParagraph) {
  edit->SetMarkupText("abc\r\ndef");
  QTest::keyClick(edit.get(), Qt::Key_Insert);
  EXPECT_TRUE(edit->Overwrite());
  QTest::keyClicks(edit.get(), QStringLiteral("XY"));
  EXPECT_EQ(Markup(), "XYc\r\ndef");
  ExpectCaretAt(TKMailEdit::kTextStart + 18, edit->TextArea().left() + Width("XY"));
  QTest::keyClicks(edit.get(), QStringLiteral("ZW"));
  EXPECT_EQ(Markup(), "XYZW\r\ndef");
  ExpectDrawnCaret();
  QTest::keyClick(edit.get(), Qt::Key_Insert);
  QTest::keyClick(edit.get(), Qt::Key_Home);
  QTest::keyClicks(edit.get(), QStringLiteral("i"));
  EXPECT_EQ(Markup(), "iXYZW\r\ndef");
}

TEST_F(EditorInputTest, BackspaceAtALineStartAndAtTheTextStart) {
  edit->resize(Width("abcdef") + 2, 120);
  edit->SetMarkupText("abcdefghij\r\nz");
  ASSERT_GE(edit->Document().LineCount(), 3);
  const int secondLine = static_cast<int>(edit->Document().Lines()[1].offset) + 1;
  edit->SetSelection(secondLine, secondLine);
  QTest::keyClick(edit.get(), Qt::Key_Backspace);
  // The last part of the line above goes.
  EXPECT_EQ(Markup(), "abcdeghij\r\nz");
  EXPECT_EQ(edit->CaretPosition(), secondLine - 9);
  ExpectDrawnCaret();
  // At a paragraph's start the line break goes and the paragraphs join.
  QTest::keyClick(edit.get(), Qt::Key_End, Qt::ControlModifier);
  QTest::keyClick(edit.get(), Qt::Key_Left);
  QTest::keyClick(edit.get(), Qt::Key_Backspace);
  EXPECT_EQ(Markup(), "abcdeghijz");
  // At the start of the text nothing goes.
  QTest::keyClick(edit.get(), Qt::Key_Home, Qt::ControlModifier);
  QTest::keyClick(edit.get(), Qt::Key_Backspace);
  EXPECT_EQ(Markup(), "abcdeghijz");
  ExpectCaretAt(TKMailEdit::kTextStart, edit->TextArea().left());
  QTest::keyClick(edit.get(), Qt::Key_Delete);
  EXPECT_EQ(Markup(), "bcdeghijz");
}

TEST_F(EditorInputTest, ALeadByteWaitsForItsTrailByte) {
  edit->TypeBytes("\x82");
  EXPECT_EQ(Markup(), "");
  edit->TypeBytes("\xA0");
  EXPECT_EQ(Markup(), Sjis("あ"));
  edit->TypeBytes(std::string("\x01\x1F", 2));
  EXPECT_EQ(Markup(), Sjis("あ"));
  // Enter drops a pending lead byte.
  edit->TypeBytes("\x82");
  QTest::keyClick(edit.get(), Qt::Key_Return);
  edit->TypeBytes("a");
  EXPECT_EQ(Markup(), Sjis("あ\r\na"));
  // A handset code types as its pictogram, or as nothing without one.
  edit->SetPicTextList({"HEART=\xF0\x40"});
  edit->TypeBytes("\xF0\x40\xF0\x41");
  EXPECT_EQ(Markup(), Sjis("あ\r\na<#HEART>"));
}

TEST_F(EditorInputTest, PreviewRefusesEdits) {
  edit->SetMarkupText("<C=FF0000>keep</C>");
  edit->SetPreview(true);
  QApplication::clipboard()->setText(QStringLiteral("pasted"));
  QTest::keyClicks(edit.get(), QStringLiteral("typed"));
  QTest::keyClick(edit.get(), Qt::Key_Return);
  QTest::keyClick(edit.get(), Qt::Key_Backspace);
  QTest::keyClick(edit.get(), Qt::Key_Delete);
  QTest::keyClick(edit.get(), Qt::Key_V, Qt::ControlModifier);
  Commit(edit.get(), QString::fromUtf8("漢字"));
  edit->InsertMarkup("<#HEART>");
  edit->TypeBytes("x");
  QTest::keyClick(edit.get(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(edit.get(), Qt::Key_X, Qt::ControlModifier);
  QTest::keyClick(edit.get(), Qt::Key_Z, Qt::ControlModifier);
  edit->DeleteSelection();
  EXPECT_EQ(Markup(), "<C=FF0000>keep</C>");
  EXPECT_FALSE(edit->CanUndo());
  EXPECT_FALSE(edit->CanPaste());
  // Selecting and copying still work.
  EXPECT_EQ(edit->GetSelText(), "keep");
  QTest::keyClick(edit.get(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("keep"));
}

TEST_F(EditorInputTest, PreviewClicksSelectWholeClickableRuns) {
  edit->resize(edit->TextArea().left() + Width("go http://exa") + 2, 150);
  edit->SetMarkupText("go http://example.jp/abc now\r\nTEL:03-1234-5678");
  edit->SetPreview(true);
  QSignalSpy clicks(edit.get(), &TKMailEdit::OnClickableClick);
  QSignalSpy doubles(edit.get(), &TKMailEdit::OnClickableDBLClick);
  QSignalSpy rights(edit.get(), &TKMailEdit::OnClickableRightClick);
  const int lineHeight = edit->Document().Lines()[0].height;
  const QPoint onSecondLine(edit->TextArea().left() + 3, edit->TextArea().top() + lineHeight + 4);
  QTest::mouseClick(edit.get(), Qt::LeftButton, Qt::NoModifier, onSecondLine);
  EXPECT_EQ(edit->GetSelText(), "http://example.jp/abc");
  EXPECT_TRUE(edit->IsClickableSelection());
  EXPECT_EQ(clicks.count(), 1);
  DoubleClick(edit.get(), onSecondLine);
  EXPECT_EQ(doubles.count(), 1);
  EXPECT_EQ(edit->GetSelText(), "http://example.jp/abc");
  // A click beside any run chooses nothing.
  const int clicked = clicks.count();
  QTest::mouseClick(edit.get(), Qt::LeftButton, Qt::NoModifier, QPoint(edit->TextArea().left() + 2, edit->TextArea().top() + 4));
  EXPECT_FALSE(edit->IsClickableSelection());
  EXPECT_FALSE(edit->HasSelection());
  EXPECT_EQ(clicks.count(), clicked);
  // The right button chooses the run under it, and tells on release.
  const int tel = edit->Document().LineOfPartAt(edit->Document().Length() - 16 * 9);
  const QPoint onPhone(edit->TextArea().left() + Width("TEL:0") + 1,
                       edit->TextArea().top() + static_cast<int>(edit->Document().LineTop(tel)) + 4);
  Mouse(edit.get(), QEvent::MouseButtonPress, onPhone, Qt::RightButton, Qt::RightButton);
  Mouse(edit.get(), QEvent::MouseButtonRelease, onPhone, Qt::RightButton, Qt::NoButton);
  EXPECT_EQ(edit->GetSelText(), "03-1234-5678");
  EXPECT_EQ(rights.count(), 1);
}

TEST_F(EditorInputTest, TypingAttributesFollowTheCaret) {
  edit->SetMarkupText("<C=FF0000>r</C>b");
  QSignalSpy colours(edit.get(), &TKMailEdit::OnColorChange);
  QTest::keyClick(edit.get(), Qt::Key_Right);
  EXPECT_EQ(edit->TypingColor(), clRed);
  QTest::keyClick(edit.get(), Qt::Key_Right);
  EXPECT_EQ(edit->TypingColor(), clBlack);
  EXPECT_GE(colours.count(), 2);
  // A colour and blink chosen for typing hold until the caret moves.
  edit->SetSelColor(clBlue);
  edit->SetSelBlink(true);
  QTest::keyClicks(edit.get(), QStringLiteral("xy"));
  EXPECT_EQ(Markup(), "<C=FF0000>r</C>b<BL><C=0000FF>xy</C></BL>");
  // A selection takes the colour at once.
  QTest::keyClick(edit.get(), Qt::Key_Home, Qt::ShiftModifier);
  edit->SetSelColor(clLime);
  EXPECT_EQ(Markup(), "<C=00FF00>rb<BL>xy</C></BL>");
  EXPECT_FALSE(edit->SelIsBlink());
}
