// The shipped pictograph table and its pictures: the table names the list
// window's 95 pictograms with handset codes of its own, every code typed in
// the editor becomes its pictogram drawn with its own picture and comes back
// as the same code, and no two pictures are alike.
#include "plugins/mail/editor/KMailEdit.h"
#include "plugins/mail/list/QvMailListFRM.h"
#include "plugins/mail/compose/QvMailSendFRM.h"

#include "controls/ImageList.h"
#include "core/ui/Pictures.h"
#include "platform/Cp932.h"

#include "MailComposeTestSupport.h"
#include "MailTestSupport.h"
#include "PickersTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QTest>

#include <cstdlib>
#include <set>

using namespace qv;

namespace {

std::vector<std::string> BuiltInNames() {
  mailtest::MailDir mail;
  composetest::ListWindow list;
  return list->PicTextLines();
}

class ShippedTable : public ::testing::Test {
 protected:
  mailtest::MailDir mail;
  pickertest::ShippedFiles files{mail};
  composetest::HostRecorder host;
  composetest::ListWindow list;
};

}  // namespace

TEST(PictographTable, TheShippedFileNamesTheBuiltInPictogramsWithCodesFromF040) {
  const std::vector<std::string> builtIn = BuiltInNames();
  ASSERT_EQ(builtIn.size(), 95u);
  const std::string text = qvtest::ReadFile(qvtest::AppDir() / "Pictext.txt");
  ASSERT_EQ(text, qvtest::ReadFile(std::filesystem::path(std::getenv("QV_SOURCE_DIR")) / "data/app/Pictext.txt"));
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "every line ends in CR LF";
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  ASSERT_EQ(lines.size(), 95u);
  int previous = 0xF03F;
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t eq = lines[i].find('=');
    ASSERT_NE(eq, std::string::npos);
    EXPECT_EQ(lines[i].substr(0, eq), builtIn[i]) << "line " << i;
    const std::string code = lines[i].substr(eq + 1);
    ASSERT_EQ(code.size(), 2u) << builtIn[i];
    const int value = uint8_t(code[0]) << 8 | uint8_t(code[1]);
    // Rising from F040, one double-byte character each; 7F is no trail byte.
    EXPECT_EQ(uint8_t(code[0]), 0xF0) << builtIn[i];
    EXPECT_GT(value, previous) << builtIn[i];
    EXPECT_NE(uint8_t(code[1]), 0x7F) << builtIn[i];
    EXPECT_TRUE(cp932::IsLeadByte(code[0]) && uint8_t(code[1]) >= 0x40) << builtIn[i];
    previous = value;
  }
  EXPECT_EQ(lines.front(), "HEART=\xF0\x40");
  EXPECT_EQ(lines.back(), "!!=\xF0\x9F");
}

TEST_F(ShippedTable, TheListWindowLoadsTheTableAndOnePicturePerLine) {
  ASSERT_EQ(list->PicTextLines().size(), 95u);
  EXPECT_EQ(list->PicTextLines()[4], "STAR=\xF0\x44");
  ASSERT_EQ(list->imlPicText->Count(), 95);
  // No two pictures alike: every pair differs in at least ten pixels.
  std::vector<QImage> cells;
  for (int i = 0; i < 95; ++i) cells.push_back(list->imlPicText->Image(i).convertToFormat(QImage::Format_ARGB32));
  for (int a = 0; a < 95; ++a) {
    int ink = 0;
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 12; ++x) ink += qAlpha(cells[a].pixel(x, y)) != 0;
    EXPECT_GE(ink, 20) << list->PicTextLines()[a] << " is drawn";
    for (int b = a + 1; b < 95; ++b) {
      int differ = 0;
      for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) differ += cells[a].pixel(x, y) != cells[b].pixel(x, y);
      EXPECT_GE(differ, 10) << list->PicTextLines()[a] << " and " << list->PicTextLines()[b];
    }
  }
}

TEST_F(ShippedTable, EveryCodeTypedBecomesItsPictogramDrawnWithItsPicture) {
  auto* w = new TfrmMailSend;
  w->resize(520, 420);
  w->show();
  QApplication::setActiveWindow(w);
  ASSERT_TRUE(QTest::qWaitForWindowActive(w));
  TKMailEdit* editor = w->KMailEdit1;
  editor->setFocus();
  struct Drawn {
    std::string name;
    QRect rect;
  };
  std::vector<Drawn> drawn;
  editor->OnDrawParts = [&](TKMailEdit*, QPainter&, int type, std::string_view text, const QRect& rect) {
    if (type == 3) drawn.push_back({std::string(text), rect});
  };
  const std::vector<std::string>& table = list->PicTextLines();
  for (size_t i = 0; i < table.size(); ++i) {
    const std::string name = table[i].substr(0, table[i].find('='));
    const std::string code = table[i].substr(table[i].find('=') + 1);
    editor->SetPlainText({});
    pickertest::TypeText(editor, pickertest::CodeChar(code));
    ASSERT_EQ(editor->GetMarkupText(), "<#" + name + ">") << name;
    EXPECT_EQ(editor->GetPlainText(), code) << name;
    drawn.clear();
    editor->clearFocus();  // no caret over the picture
    const QImage shot = editor->grab().toImage().convertToFormat(QImage::Format_RGB32);
    editor->setFocus();
    ASSERT_EQ(drawn.size(), 1u) << name;
    EXPECT_EQ(drawn[0].name, name);
    // The picture on the editor's white, stretched into the part's place.
    const QRect r = drawn[0].rect;
    ASSERT_GT(r.width(), 0);
    QImage cell(12, 12, QImage::Format_RGB32);
    cell.fill(Qt::white);
    {
      QPainter p(&cell);
      list->imlPicText->Draw(p, QPoint(0, 0), static_cast<int>(i));
    }
    QImage expected(shot.size(), QImage::Format_RGB32);
    expected.fill(Qt::white);
    {
      QPainter p(&expected);
      p.drawImage(r, cell);
    }
    EXPECT_EQ(shot.copy(r), expected.copy(r)) << name;
  }
  // Codes outside the table are dropped; text around pictograms stays.
  editor->SetPlainText({});
  pickertest::TypeText(editor, QStringLiteral("a") + pickertest::CodeChar("\xF0\xA0") + QStringLiteral("b"));
  EXPECT_EQ(editor->GetPlainText(), "ab");
  editor->OnDrawParts = nullptr;
  composetest::DeleteMailWindows();
}

TEST_F(ShippedTable, ContactSheetOfEveryPictogram) {
  const std::vector<std::string>& table = list->PicTextLines();
  constexpr int kScale = 4, kCellW = 120, kCellH = 70, kColumns = 8;
  const int rows = (95 + kColumns - 1) / kColumns;
  QImage sheet(kColumns * kCellW, rows * kCellH, QImage::Format_RGB32);
  sheet.fill(Qt::white);
  QPainter p(&sheet);
  QFont font = p.font();
  font.setPixelSize(11);
  p.setFont(font);
  std::set<QRgb> colours;
  for (int i = 0; i < 95; ++i) {
    const QRect cell(i % kColumns * kCellW, i / kColumns * kCellH, kCellW, kCellH);
    const QImage image = list->imlPicText->Image(i);
    p.drawImage(QRect(cell.x() + (kCellW - 12 * kScale) / 2, cell.y() + 4, 12 * kScale, 12 * kScale), image);
    p.setPen(Qt::black);
    p.drawText(cell.adjusted(0, 12 * kScale + 4, 0, 0), Qt::AlignHCenter | Qt::AlignTop,
               QString::fromStdString(std::to_string(i) + " " + table[static_cast<size_t>(i)].substr(
                                          0, table[static_cast<size_t>(i)].find('='))));
    colours.insert(image.pixel(6, 6));
  }
  p.end();
  // Drawn in many colours, not one tile repeated.
  EXPECT_GE(colours.size(), 10u);
  ASSERT_TRUE(sheet.save(QString::fromStdString(qvtest::ArtifactPath("pictograms-contact-sheet.png").string())));
}
