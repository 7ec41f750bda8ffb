// The editor fed what a received mail or another program may hold: random
// and truncated markup, damaged clipboard data, absurd picture sizes and a
// one-megabyte line, with random keys and clicks in between. Built with
// AddressSanitizer and UndefinedBehaviorSanitizer: bad parts are dropped,
// nothing crashes, and the content stays whole parts on part boundaries.
// QV_KMAILEDIT_FUZZ_ITERATIONS raises the short default number of trials.
#include "plugins/mail/editor/KMailEdit.h"

#include "core/ui/QtText.h"

#include "EditorTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTest>

#include <climits>
#include <cstdlib>
#include <random>

using namespace qv::kmail;

namespace {

int Iterations(int fallback) {
  const char* value = std::getenv("QV_KMAILEDIT_FUZZ_ITERATIONS");
  return value ? std::max(1, std::atoi(value)) : fallback;
}

// Pieces markup is made of, and pieces that break it.
const std::vector<std::string>& Tokens() {
  static const std::vector<std::string> tokens = {
      "<", ">", "<<", "\r\n", "\r", "\n", "\t", " ", "a", "Z", "0", "@", ".", "/", "http://", "TEL:", "09012345678",
      "x@y.jp", "<C=FF0000>", "<C=", "</C>", "<BL>", "</BL>", "<BODY=00FF00;BG=000000>", "<BODY=", ";IMG=\"b.bmp\">",
      "<#HEART>", "<#", "<?01>", "<?999999999999>", "<?", "<IMG=\"p.bmp\">", "<IMG=\"six.bmp\";3>", "<IMG=huge.bmp;9>",
      "<IMG=", "<CM>", "</CM>", "<UNKNOWN>", "\x82\xA0", "\x82", "\xF0\x40", "\x81\x40", "\x87\x40", "\x81\xCB",
      std::string(1, '\0'), "\xFF", "\x80", "<" + std::string(300, 'x') + ">", "<#" + std::string(200, '\x88') + ">",
  };
  return tokens;
}

std::string RandomMarkup(std::mt19937& rng, int tokens) {
  std::uniform_int_distribution<size_t> pick(0, Tokens().size() - 1);
  std::string out;
  for (int i = 0; i < tokens; ++i) out += Tokens()[pick(rng)];
  return out;
}

class EditorRobustnessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    edit = std::make_unique<TKMailEdit>();
    edit->SetManualTicks(true);
    edit->resize(240, 160);
    edit->show();
    edit->SetPicTextList({"HEART=\xF0\x40", std::string(400, 'N') + "=\xF0\x41"});
    images.Add(edittest::Solid(12, 12, Qt::green));
    edit->SetPicTextImages(&images);
    users.Add(edittest::Solid(12, 12, Qt::blue));
    users.Add(edittest::Solid(12, 12, Qt::red));
    edit->SetUserTextImages(&users);
    edit->OnBmpData = [](TKMailEdit*, const std::string& name, QImage& bmp, std::string& headers) {
      static const QImage picture = edittest::Solid(30, 20, Qt::gray);
      static const QImage tall = edittest::Solid(1, 1'100'000, Qt::gray);
      static const QImage wide = edittest::Solid(40'000, 1, Qt::gray);
      static const QImage six = edittest::SixPages({Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta});
      if (name == "p.bmp") bmp = picture;
      if (name == "huge.bmp") bmp = tall;
      if (name == "wide.bmp") bmp = wide;
      if (name == "six.bmp") {
        bmp = six;
        headers = "X-KmailDX-Info: DIV6\r\nX-KmailDX-CBMP: PAGE=6;SLIDE(99999,-7)=999;PLAIN(0,0);VOID;SLIDE(3,3)=0";
      }
    };
  }

  // Every line is whole parts, the offsets add up, the selection and the top
  // line are where they may be, and the markup reads back to the same parts.
  void ExpectSound() {
    const Document& doc = edit->Document();
    size_t offset = 0;
    for (const Line& line : doc.Lines()) {
      ASSERT_EQ(line.offset, offset);
      ASSERT_EQ(ValidPartsPrefix(line.text), line.text);
      ASSERT_EQ(line.widths.size(), CountParts(line.text));
      offset += line.text.size();
    }
    ASSERT_EQ(doc.Length(), offset);
    ASSERT_TRUE(doc.IsBoundary(doc.Anchor()));
    ASSERT_TRUE(doc.IsBoundary(doc.Caret()));
    ASSERT_GE(doc.Caret(), Document::kTextStart);
    ASSERT_GE(edit->TopLine(), 0);
    ASSERT_LT(edit->TopLine(), edit->TopLineCount());
    ASSERT_LE(edit->TopLineCount(), doc.LineCount());
    // The markup written reads back into whole parts, and writing those
    // gives the same markup again.
    const std::string markup = edit->GetMarkupText();
    TKMailEdit again;
    again.SetPicTextList(edit->PicTextList());
    again.SetUserTextImages(&users);
    again.SetCMCut(edit->GetCMCut());
    again.SetDeleteVoidTag(edit->GetDeleteVoidTag());
    again.OnBmpData = edit->OnBmpData;
    again.SetMarkupText(markup);
    const std::string parts = again.Document().Text(Document::kTextStart, again.Document().Length());
    ASSERT_EQ(ValidPartsPrefix(parts), parts);
    const std::string second = again.GetMarkupText();
    again.SetMarkupText(second);
    ASSERT_EQ(again.GetMarkupText(), second) << markup;
  }

  void RandomInput(std::mt19937& rng) {
    static const Qt::Key keys[] = {Qt::Key_Left,     Qt::Key_Right,  Qt::Key_Up,   Qt::Key_Down,   Qt::Key_Home,
                                   Qt::Key_End,      Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Backspace,
                                   Qt::Key_Delete,   Qt::Key_Return, Qt::Key_Insert, Qt::Key_A,      Qt::Key_Z,
                                   Qt::Key_X,        Qt::Key_V,      Qt::Key_C};
    std::uniform_int_distribution<int> kind(0, 5);
    std::uniform_int_distribution<size_t> key(0, std::size(keys) - 1);
    std::uniform_int_distribution<int> x(-20, 260), y(-20, 180);
    switch (kind(rng)) {
      case 0:
      case 1: {
        const Qt::KeyboardModifiers mods = (rng() & 1 ? Qt::ShiftModifier : Qt::NoModifier) |
                                           (rng() & 1 ? Qt::ControlModifier : Qt::NoModifier);
        QTest::keyClick(edit.get(), keys[key(rng)], mods);
        break;
      }
      case 2:
        edit->TypeBytes(RandomMarkup(rng, 2));
        break;
      case 3:
        QTest::mouseClick(edit.get(), rng() & 1 ? Qt::LeftButton : Qt::RightButton, Qt::NoModifier,
                          QPoint(x(rng), y(rng)));
        break;
      case 4:
        edit->InsertMarkup(RandomMarkup(rng, 3));
        break;
      default:
        edit->Tick(rng() & 1 ? TKMailEdit::kBlinkTimer : TKMailEdit::kScrollTimer);
        edit->grab();
        break;
    }
  }

  TImageList images{12, 12};
  TImageList users{12, 12};
  std::unique_ptr<TKMailEdit> edit;
};

}  // namespace

TEST_F(EditorRobustnessTest, RandomMarkupAndInput) {
  std::mt19937 rng(20240601);
  const int rounds = Iterations(40);
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE(round);
    edit->SetCMCut(round % 3 == 0);
    edit->SetDeleteVoidTag(round % 2 == 0);
    edit->SetAutoMenuLine(round % 4 == 1);
    edit->SetLineSpace(round % 5);
    edit->SetMarkupText(RandomMarkup(rng, 60));
    edit->grab();
    ExpectSound();
    for (int step = 0; step < 25 && !HasFatalFailure(); ++step) {
      RandomInput(rng);
      ExpectSound();
    }
    if (HasFatalFailure()) return;
  }
}

TEST_F(EditorRobustnessTest, TruncatedMarkup) {
  const std::string markup =
      "<BODY=FF0000;BG=102030;IMG=\"bg.bmp\">\r\n\x82\xA0<C=00FF00><BL>\x88\x9F</BL></C>\r\n<#HEART><?01>"
      "<IMG=\"six.bmp\";2><IMG=\"p.bmp\">\r\nmail x@y.jp http://a.jp/ TEL:03-1234-5678<<<CM>cut</CM>";
  const size_t step = std::max<size_t>(1, markup.size() / static_cast<size_t>(Iterations(markup.size())));
  for (size_t cut = 0; cut <= markup.size(); cut += step) {
    SCOPED_TRACE(cut);
    edit->SetMarkupText(markup.substr(0, cut));
    edit->grab();
    ExpectSound();
    if (HasFatalFailure()) return;
  }
}

TEST_F(EditorRobustnessTest, DamagedClipboardData) {
  edit->SetMarkupText("<C=FF0000><BL>ab\x82\xA0</BL></C><#HEART><IMG=\"p.bmp\">\r\n<?01><KEEP>z");
  edit->SelectAll();
  edit->CopyToClipboard();
  const QByteArray good = QApplication::clipboard()->mimeData()->data(QStringLiteral("QUORVEL"));
  ASSERT_FALSE(good.isEmpty());
  std::mt19937 rng(7);
  const int rounds = Iterations(300);
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE(round);
    QByteArray damaged = good;
    std::uniform_int_distribution<int> what(0, 3);
    const int changes = 1 + static_cast<int>(rng() % 4);
    for (int c = 0; c < changes && !damaged.isEmpty(); ++c) {
      const int at = std::uniform_int_distribution<int>(0, static_cast<int>(damaged.size()) - 1)(rng);
      switch (what(rng)) {
        case 0:
          damaged[at] = static_cast<char>(rng());
          break;
        case 1:
          damaged.truncate(at);
          break;
        case 2:
          damaged.insert(at, static_cast<char>(rng()));
          break;
        default:
          damaged.remove(at, 1 + static_cast<int>(rng() % 12));
          break;
      }
    }
    auto* data = new QMimeData;
    data->setData(QStringLiteral("QUORVEL"), damaged);
    if (round % 2) data->setText(QStringLiteral("plain"));
    QApplication::clipboard()->setMimeData(data);
    edit->SetMarkupText("base");
    edit->PasteFromClipboard();
    edit->grab();
    ExpectSound();
    if (HasFatalFailure()) return;
  }
}

TEST_F(EditorRobustnessTest, AbsurdSizes) {
  // Hosts that answer nonsense for part sizes.
  edit->OnMeasureWidth = [](TKMailEdit*, int type, std::string_view, int& width) {
    width = type == ttSingleChar ? INT_MAX : -50;
  };
  edit->OnMeasureHeight = [](TKMailEdit*, int type, std::string_view, int& height) {
    height = type == ttDoubleChar ? INT_MAX : INT_MIN;
  };
  edit->SetMarkupText("a\x82\xA0<IMG=huge.bmp><IMG=wide.bmp><IMG=\"six.bmp\";1><IMG=\"six.bmp\";6>\r\nb");
  edit->grab();
  ExpectSound();
  for (Qt::Key key : {Qt::Key_PageDown, Qt::Key_Down, Qt::Key_End, Qt::Key_PageUp, Qt::Key_Home})
    QTest::keyClick(edit.get(), key, Qt::ShiftModifier);
  edit->SetTopLine(INT_MAX);
  edit->SetTopLine(INT_MIN);
  edit->Tick(TKMailEdit::kBlinkTimer);
  edit->grab();
  ExpectSound();
  TMargin margin;
  margin.SetLeft(100000);
  margin.SetTop(-100000);
  edit->SetMargin(margin);
  edit->grab();
  ExpectSound();
}

TEST_F(EditorRobustnessTest, AMegabyteLine) {
  std::string line(1 << 20, 'a');
  for (size_t i = 0; i < line.size(); i += 97) line[i] = ' ';
  edit->SetMarkupText(line);
  EXPECT_EQ(edit->GetMarkupText(), line);
  edit->SetSelection(TKMailEdit::kTextStart + 9 * 500000, TKMailEdit::kTextStart + 9 * 500000);
  edit->TypeBytes("\x82\xA0");
  QTest::keyClick(edit.get(), Qt::Key_Backspace);
  QTest::keyClick(edit.get(), Qt::Key_Return);
  edit->grab();
  EXPECT_EQ(edit->GetMarkupText().size(), line.size() + 2);
  // One tag a megabyte long is given up at its 255th byte.
  edit->SetMarkupText("<" + std::string(1 << 20, '\x88'));
  EXPECT_EQ(edit->Document().Length(), Document::kTextStart + ((1 << 20) - 254) / 2 * 10);
}
