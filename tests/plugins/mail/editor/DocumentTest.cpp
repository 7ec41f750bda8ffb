// The editor's lines, layout, positions, undo and scrolling on the model
// alone, with fixed character sizes (single-byte 8 pixels, double-byte 16,
// lines 16 high).
#include "plugins/mail/editor/KMailDocument.h"

#include "EditorTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace qv::kmail;
using edittest::Describe;
using edittest::FixedHost;
using qvtest::Sjis;

namespace {

class DocumentTest : public ::testing::Test {
 protected:
  DocumentTest() : doc(host) { doc.SetArea(80, 100); }

  void Load(std::string_view utf8) { doc.Load(PlainToParts(Sjis(utf8), clBlack, false, {}), clBlack); }
  // The text of each display line.
  std::vector<std::string> Shown() const {
    std::vector<std::string> lines;
    for (const Line& line : doc.Lines()) lines.push_back(qv::cp932::ToUtf8(PartsToPlain(line.text, {})));
    return lines;
  }
  std::string All() const { return Describe(doc.Text(Document::kTextStart, doc.Length())); }
  void Type(std::string_view utf8) {
    for (size_t i = 0; i < utf8.size(); ++i) doc.ReplaceSelection(PlainToParts(utf8.substr(i, 1), clBlack, false, {}));
  }

  FixedHost host;
  Document doc;
};

}  // namespace

TEST_F(DocumentTest, ParagraphsWrapAtTheAreaWidth) {
  Load("abcdefghijklmno\r\nxy\tz");
  EXPECT_EQ(Shown(), (std::vector<std::string>{"\r\nabcdefghij", "klmno", "\r\nxy\tz"}));
  ASSERT_EQ(doc.LineCount(), 3);
  EXPECT_EQ(doc.Lines()[1].offset, 8u + 10 * 9);
  EXPECT_EQ(doc.Lines()[2].offset, doc.Lines()[1].offset + 5 * 9);
  EXPECT_EQ(doc.Length(), doc.Lines()[2].offset + 8 + 4 * 9);
  for (const Line& line : doc.Lines()) EXPECT_EQ(line.height, 16);
  // A tab never wraps; the first part after a line break always stays.
  Load("abcdefghij\t");
  EXPECT_EQ(doc.LineCount(), 1);
  doc.SetArea(4, 100);
  doc.LayoutAll(false);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"\r\na", "b", "c", "d", "e", "f", "g", "h", "i", "j\t"}));
  // Double-byte characters are as wide as the host says.
  doc.SetArea(40, 100);
  Load("あいうえ");
  EXPECT_EQ(Shown(), (std::vector<std::string>{"\r\nあい", "うえ"}));
}

TEST_F(DocumentTest, PictureLinesTakeTheirPageHeight) {
  host.pictures["p.bmp"] = {100, 40, ""};
  host.pictures["s.bmp"] = {192, 130, "X-KmailDX-Info: DIV6\r\nX-KmailDX-CBMP: PAGE=6;PLAIN(96,43);PLAIN(50,20)"};
  std::string parts = PlainToParts("a", clBlack, false, {});
  parts += MakePart(ttPicture, clBlack, false, "\"p.bmp\"");
  parts += MakePart(ttPicture, clBlack, false, "s.bmp;2");
  parts += MakePart(ttPicture, clBlack, false, "s.bmp;9");
  parts += MakePart(ttPicture, clBlack, false, "none.bmp");
  doc.lineSpace = 2;
  doc.Load(parts, clBlack);
  ASSERT_EQ(doc.LineCount(), 4);
  // The picture takes the whole width, so it starts a line of its own; its
  // height is rounded up to whole text lines, then the line space is added.
  EXPECT_EQ(doc.Lines()[0].height, 18);
  EXPECT_EQ(doc.Lines()[1].height, 48 + 2);
  EXPECT_EQ(doc.Lines()[1].widths, std::vector<int>{80});
  EXPECT_EQ(doc.Lines()[2].height, 32 + 2);  // page 2 of the six: 20 high
  // A page out of range counts as page 1; a picture without a bitmap is 0 x 0.
  EXPECT_EQ(doc.Lines()[3].height, 48 + 2);
  EXPECT_EQ(doc.Lines()[3].widths, (std::vector<int>{80, 0}));
}

TEST_F(DocumentTest, TopLineCountStaysWithinTheLines) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += "line\r\n";
  text.resize(text.size() - 2);
  Load(text);
  ASSERT_EQ(doc.LineCount(), 20);
  // Six 16-pixel lines stay below 100 pixels: the top line goes up to 14.
  EXPECT_EQ(doc.TopLineCount(), 15);
  doc.SetTopLine(-5);
  EXPECT_EQ(doc.TopLine(), 0);
  doc.SetTopLine(100);
  EXPECT_EQ(doc.TopLine(), 14);
  // No text area at all: every line may be the top line, none past the last.
  doc.SetArea(80, 0);
  EXPECT_EQ(doc.TopLineCount(), 20);
  doc.SetArea(80, 400);
  EXPECT_EQ(doc.TopLineCount(), 1);
  EXPECT_EQ(doc.TopLine(), 0);
  // A last line taller than the area alone.
  host.pictures["tall.bmp"] = {50, 300, ""};
  doc.SetArea(80, 100);
  doc.Load(PlainToParts("a\r\nb", clBlack, false, {}) + MakePart(ttPicture, clBlack, false, "tall.bmp"), clBlack);
  ASSERT_EQ(doc.LineCount(), 3);
  EXPECT_EQ(doc.TopLineCount(), 3);
  doc.SetTopLine(7);
  EXPECT_EQ(doc.TopLine(), 2);
  EXPECT_EQ(doc.LastFullLine(), 2);
}

TEST_F(DocumentTest, PositionsAndWrapBoundaries) {
  Load("abcdefghijklm");
  const size_t endOfFirst = doc.Lines()[1].offset;
  // The boundary between two display lines belongs to the upper one.
  EXPECT_EQ(doc.LineOfPos(endOfFirst), 0);
  EXPECT_EQ(doc.LineOfPartAt(endOfFirst), 1);
  EXPECT_EQ(doc.XOfPos(endOfFirst, 0), 80);
  EXPECT_EQ(doc.LineStartPos(0), Document::kTextStart);
  EXPECT_EQ(doc.LineStartPos(1), endOfFirst);
  EXPECT_EQ(doc.LineEndPos(1), doc.Length());
  // A part is passed when x lies in its right half.
  EXPECT_EQ(doc.PosAtX(0, 3, 0), Document::kTextStart);
  EXPECT_EQ(doc.PosAtX(0, 4, 0), Document::kTextStart + 9);
  EXPECT_EQ(doc.PosAtX(1, 1000, 0), doc.Length());
  EXPECT_EQ(doc.PosAtX(99, 0, 0), endOfFirst);
  EXPECT_EQ(doc.PrevPos(Document::kTextStart), Document::kTextStart);
  EXPECT_EQ(doc.NextPos(doc.Length()), doc.Length());
  EXPECT_TRUE(doc.IsBoundary(Document::kTextStart + 18));
  EXPECT_FALSE(doc.IsBoundary(Document::kTextStart + 17));
  EXPECT_FALSE(doc.IsBoundary(doc.Length() + 1));
  doc.SetSelection(0, 100000);
  EXPECT_EQ(doc.Anchor(), Document::kTextStart);
  EXPECT_EQ(doc.Caret(), doc.Length());
}

TEST_F(DocumentTest, WordsAreRunsOfOneByteCountWithinALine) {
  doc.SetArea(400, 100);
  Load("ab cd　あいう漢ef");
  const size_t s = Document::kTextStart;
  // a b ' ' c d '　' あ い う 漢 e f: single parts 9, double parts 10.
  const size_t afterAb = s + 18, cd = s + 27, afterCd = s + 45, kana = s + 55, afterKanji = s + 95, end = doc.Length();
  EXPECT_EQ(doc.WordRight(s), afterAb);
  EXPECT_EQ(doc.WordRight(afterAb), afterCd);
  EXPECT_EQ(doc.WordRight(afterCd), afterKanji);
  EXPECT_EQ(doc.WordRight(afterKanji), end);
  EXPECT_EQ(doc.WordLeft(end), afterKanji);
  EXPECT_EQ(doc.WordLeft(afterKanji), kana);
  EXPECT_EQ(doc.WordLeft(kana), cd);
  EXPECT_EQ(doc.WordLeft(cd), s);
  size_t from = 0, to = 0;
  doc.WordAt(s + 9, from, to);
  EXPECT_EQ(from, s);
  EXPECT_EQ(to, afterAb);
  // A word ends with its display line.
  doc.SetArea(32, 100);
  Load("abcdef");
  EXPECT_EQ(doc.WordRight(Document::kTextStart), doc.Lines()[1].offset);
}

TEST_F(DocumentTest, UndoTakesBackARunAndASecondUndoRedoesIt) {
  Type("abc");
  EXPECT_EQ(All(), "a b c");
  EXPECT_EQ(doc.UndoState().kind, UndoKind::Insert);
  ASSERT_TRUE(doc.Undo());
  EXPECT_EQ(All(), "");
  ASSERT_TRUE(doc.Undo());
  EXPECT_EQ(All(), "a b c");
  EXPECT_EQ(doc.Caret(), doc.Length());
  // Deletions backwards and forwards join one record each way.
  Load("abcdefghij");
  doc.SetSelection(Document::kTextStart + 5 * 9, Document::kTextStart + 5 * 9);
  for (int i = 0; i < 2; ++i) {
    doc.SetSelection(doc.Caret(), doc.PrevPos(doc.Caret()));
    doc.DeleteSelection();
  }
  for (int i = 0; i < 2; ++i) {
    doc.SetSelection(doc.Caret(), doc.NextPos(doc.Caret()));
    doc.DeleteSelection();
  }
  EXPECT_EQ(All(), "a b c h i j");
  ASSERT_TRUE(doc.Undo());
  EXPECT_EQ(All(), "a b c d e f g h i j");
  // Typing over a selection saves what it replaced.
  Load("hello");
  doc.SetSelection(Document::kTextStart + 9, Document::kTextStart + 36);
  Type("EY");
  EXPECT_EQ(All(), "h E Y o");
  ASSERT_TRUE(doc.Undo());
  EXPECT_EQ(All(), "h e l l o");
  // Loading forgets the record.
  Load("x");
  EXPECT_FALSE(doc.CanUndo());
  EXPECT_FALSE(doc.Undo());
}

TEST_F(DocumentTest, EditsLayOutTheirParagraphAgain) {
  Load("abcdefgh\r\nsecond");
  doc.SetSelection(Document::kTextStart + 4 * 9, Document::kTextStart + 4 * 9);
  Type("XYZ");
  EXPECT_EQ(Shown(), (std::vector<std::string>{"\r\nabcdXYZefg", "h", "\r\nsecond"}));
  // Deleting the line break joins the paragraphs, which wrap as one.
  const size_t brk = doc.Lines()[2].offset;
  doc.SetSelection(brk, brk + 8);
  doc.DeleteSelection();
  EXPECT_EQ(Shown(), (std::vector<std::string>{"\r\nabcdXYZefg", "hsecond"}));
  EXPECT_EQ(doc.Lines()[1].offset, doc.Lines()[0].text.size());
  // Inserted line breaks start lines of their own.
  doc.SetSelection(Document::kTextStart + 9, Document::kTextStart + 9);
  doc.ReplaceSelection(PlainToParts("1\r\n2\r\n", clBlack, false, {}));
  EXPECT_EQ(Shown(), (std::vector<std::string>{"\r\na1", "\r\n2", "\r\nbcdXYZefgh", "second"}));
}

TEST_F(DocumentTest, ClickableRunsSpanWrappedLines) {
  doc.SetArea(80, 100);
  Load("go http://example.jp/abc now");
  ASSERT_GE(doc.LineCount(), 3);
  size_t from = 0, to = 0;
  const size_t second = doc.Lines()[1].offset;
  ASSERT_TRUE(doc.ClickableRunAt(second, from, to));
  EXPECT_EQ(Describe(doc.Text(from, to)), "h_ t_ t_ p_ :_ /_ /_ e_ x_ a_ m_ p_ l_ e_ ._ j_ p_ /_ a_ b_ c_");
  EXPECT_FALSE(doc.ClickableRunAt(Document::kTextStart, from, to));
  // Colour and blink of the selection, without touching the layout.
  doc.SetSelection(from, to);
  doc.SetSelBlink(true);
  EXPECT_TRUE(doc.SelIsBlink());
  doc.SetSelColor(clBlue);
  EXPECT_EQ(PartColor(doc.Text(from, to), 0), clBlue);
  doc.SetSelection(Document::kTextStart, to);
  EXPECT_FALSE(doc.SelIsBlink());
}
