// The media-mix control text and its editor.
#include "plugins/mail/picedit/QvMediaMixEditFRM.h"

#include "core/ui/FormPosition.h"
#include "core/ui/QtText.h"
#include "platform/Registry.h"
#include "core/data/Settings.h"

#include "PanelTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

using namespace qv;
using bitmaptest::Key;
using qvtest::Sjis;

namespace {

constexpr const char* kNewScript = "Type=Promotion; Image=0; Sound=0\r\n000.0,0,\r\n";

struct ReadCase {
  const char* name;
  std::string text;
  std::string written;  // what the script read from text writes
};

TEST(MediaMixText, IsReadLenientlyAndWrittenInItsOneForm) {
  const ReadCase cases[] = {
      {"a new script", kNewScript, kNewScript},
      {"12.3 falls on 012.0", "Type=Promotion; Image=0; Sound=0\r\n0,0,\r\n12.3,1,a\r\n",
       "Type=Promotion; Image=0; Sound=0\r\n000.0,0,\r\n012.0,1,a\r\n"},
      {"1000 and more are dropped, 999.9 is the last step",
       "Type=Karaoke; Image=2; Sound=1\r\n1000,1,x\r\n999.9,2,y\r\n99999999,3,z\r\n",
       "Type=Karaoke; Image=2; Sound=1\r\n999.5,2,y\r\n"},
      {"a repeated time keeps the first", "Type=Promotion;Image=1;Sound=0\r\n5,1,first\r\n5.2,2,second\r\n",
       "Type=Promotion; Image=1; Sound=0\r\n005.0,1,first\r\n"},
      {"commas in the text stay", "Type=Promotion\r\n1.5,3,a,b,,c\r\n",
       "Type=Promotion; Image=0; Sound=1\r\n001.5,3,a,b,,c\r\n"},
      {"events are sorted", "Type=Promotion\r\n3,0,c\r\n1,0,a\r\n2,0,b\r\n",
       "Type=Promotion; Image=0; Sound=1\r\n001.0,0,a\r\n002.0,0,b\r\n003.0,0,c\r\n"},
      {"blanks, names in any case, karaoke by any other type", " type = KARAOKE ; IMAGE = 7 ;sound=yes\r\n",
       "Type=Karaoke; Image=7; Sound=1\r\n"},
      {"PROMOTION in any case", "TYPE=promotion;Image=x;Sound=0\r\n", "Type=Promotion; Image=0; Sound=0\r\n"},
      {"a count above 99", "Type=Promotion;Image=150;Sound=0\r\n", "Type=Promotion; Image=99; Sound=0\r\n"},
      {"a count below 0", "Type=Promotion;Image=-3;Sound=0\r\n", "Type=Promotion; Image=0; Sound=0\r\n"},
      {"no type line at all", "", "Type=Karaoke; Image=0; Sound=1\r\n"},
      {"comments, empty lines, blanks before the time, lone LF",
       "Type=Promotion;Sound=0\n; 1,1,comment\n\n   \t2,4,x\n", "Type=Promotion; Image=0; Sound=0\r\n002.0,4,x\r\n"},
      {"a picture that is no number is none", "Type=Promotion;Sound=0\r\n1,abc,t\r\n4,,u\r\n6\r\n",
       "Type=Promotion; Image=0; Sound=0\r\n001.0,0,t\r\n004.0,0,u\r\n006.0,0,\r\n"},
      {"pictures outside 0-99 drop the line", "Type=Promotion;Sound=0\r\n1,100,a\r\n2,-1,b\r\n3,99,c\r\n",
       "Type=Promotion; Image=0; Sound=0\r\n003.0,99,c\r\n"},
      {"times that are no step: words, huge, non-finite, below 0",
       "Type=Promotion;Sound=0\r\nabc,1,a\r\n1e309,1,b\r\n1e300,1,c\r\nnan,1,d\r\ninf,1,e\r\n-inf,1,f\r\n-1,1,g\r\n"
       "-0.4,1,h\r\n",
       "Type=Promotion; Image=0; Sound=0\r\n000.0,1,h\r\n"},
      {"text bytes stay as they are", "Type=Promotion;Sound=0\r\n1,1," + Sjis("東京①") + "\xED\x40\r\n",
       "Type=Promotion; Image=0; Sound=0\r\n001.0,1," + Sjis("東京①") + "\xED\x40\r\n"},
  };
  for (const ReadCase& c : cases) {
    const MediaMixScript script = ParseMediaMixText(c.text);
    const std::string written = FormatMediaMixText(script);
    EXPECT_EQ(written, c.written) << c.name;
    // Read again, it writes the same.
    EXPECT_EQ(FormatMediaMixText(ParseMediaMixText(written)), written) << c.name;
  }
  // The count stands for a list position: never below the first.
  EXPECT_EQ(ParseMediaMixText("Type=Promotion;Image=-3;Sound=0").imageCount, 0);
  EXPECT_EQ(ParseMediaMixText("Type=Promotion;Image=-99999999999999999999").imageCount, 0);
  EXPECT_EQ(MediaMixTimeText(24), "012.0");
  EXPECT_EQ(MediaMixTimeText(1999), "999.5");
}

class MediaMixEditTest : public ::testing::Test {
 protected:
  MediaMixEditTest() : launcher_(dir_.path()) {}
  std::vector<int> Steps() const {
    std::vector<int> steps;
    for (const MediaMixEvent& e : form_.Events()) steps.push_back(e.step);
    return steps;
  }
  QString Row(int i, int column) const { return form_.lsvEvents->topLevelItem(i)->text(column); }
  void Add(int step, int picture, const QString& text) {
    form_.cmbTime->setCurrentIndex(step);
    form_.cmbImage->setCurrentIndex(picture);
    form_.edtText->setText(text);
    Key(form_.edtText, Qt::Key_Return);
  }

  qvtest::TempDir dir_;
  qvtest::ScopedLauncherDir launcher_;
  TfrmMediaMixEdit form_;
};

TEST_F(MediaMixEditTest, ANewScriptHasItsFirstMomentAndWritesIt) {
  EXPECT_EQ(form_.windowTitle(), QString::fromUtf8("VeoQuorvel - メディアミックス"));
  EXPECT_EQ(form_.GetControlText(), kNewScript);
  ASSERT_EQ(form_.lsvEvents->topLevelItemCount(), 1);
  EXPECT_EQ(Row(0, 0), QStringLiteral("000.0"));
  EXPECT_EQ(Row(0, 1), QString::fromUtf8("無し"));
  EXPECT_EQ(form_.lsvEvents->headerItem()->text(2), QString::fromUtf8("表示テキスト"));
  EXPECT_EQ(form_.cmbTime->count(), 2000);
  EXPECT_EQ(form_.cmbImage->count(), 100);
  EXPECT_EQ(form_.cmbImageCount->itemText(0), QString::fromUtf8("無し"));
  EXPECT_EQ(form_.cmbTime->currentText(), QStringLiteral("000.5"));
  EXPECT_TRUE(form_.radPromotion->isChecked());
  EXPECT_FALSE(form_.chkSound->isChecked());
}

TEST_F(MediaMixEditTest, AddingReplacesAtATakenTimeAndMovesTheTimeOn) {
  Add(24, 3, QString::fromUtf8("こんにちは, 世界"));
  EXPECT_EQ(Steps(), (std::vector<int>{0, 24}));
  EXPECT_TRUE(form_.edtText->text().isEmpty());
  EXPECT_EQ(form_.cmbTime->currentIndex(), 25);
  EXPECT_EQ(form_.SelectedEvent(), 1);
  Add(10, 0, QStringLiteral("between"));
  EXPECT_EQ(Steps(), (std::vector<int>{0, 10, 24}));
  EXPECT_EQ(form_.cmbTime->currentIndex(), 25);
  Add(24, 5, QStringLiteral("again"));
  EXPECT_EQ(Steps(), (std::vector<int>{0, 10, 24}));
  EXPECT_EQ(Row(2, 1), QStringLiteral("5"));
  form_.radKaraoke->setChecked(true);
  form_.chkSound->setChecked(true);
  form_.cmbImageCount->setCurrentIndex(5);
  EXPECT_EQ(form_.GetControlText(),
            "Type=Karaoke; Image=5; Sound=1\r\n000.0,0,\r\n005.0,0,between\r\n012.0,5,again\r\n");

  // A double click, or Enter in the list, brings an event back into the fields.
  form_.SelectEvent(1);
  Key(form_.lsvEvents, Qt::Key_Return);
  EXPECT_EQ(form_.cmbTime->currentIndex(), 10);
  EXPECT_EQ(form_.cmbImage->currentIndex(), 0);
  EXPECT_EQ(form_.edtText->text(), QStringLiteral("between"));

  // The text field takes 240 bytes.
  form_.edtText->clear();
  form_.edtText->setFocus();
  form_.edtText->insert(QString(239, QLatin1Char('a')));
  form_.edtText->insert(QString::fromUtf8("あ"));
  form_.edtText->insert(QStringLiteral("b"));
  EXPECT_EQ(form_.edtText->text(), QString(239, QLatin1Char('a')) + QStringLiteral("b"));
}

TEST_F(MediaMixEditTest, ATextPastedWithLineBreaksStaysOnItsEventsLine) {
  form_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  form_.cmbTime->setCurrentIndex(4);
  form_.cmbImage->setCurrentIndex(2);
  QApplication::clipboard()->setText(QString::fromUtf8("一行目\r\n二行目\n三行目\r四行目"));
  form_.edtText->setFocus();
  form_.edtText->paste();
  ASSERT_TRUE(form_.edtText->text().contains(QLatin1Char('\n')));
  Key(form_.edtText, Qt::Key_Return);
  const std::string text = Sjis("一行目 二行目 三行目 四行目");
  EXPECT_EQ(Row(1, 2), ToQString(text));
  const std::string written = form_.GetControlText();
  EXPECT_EQ(written, "Type=Promotion; Image=0; Sound=0\r\n000.0,0,\r\n002.0,2," + text + "\r\n");
  // Read again, nothing of it is lost.
  const MediaMixScript back = ParseMediaMixText(written);
  ASSERT_EQ(back.events.size(), 2u);
  EXPECT_EQ(back.events[1].text, text);
  // Whatever an event holds, the file keeps one line for it.
  MediaMixScript script;
  script.events.push_back({0, 1, "a\r\nb\rc\nd\r\n"});
  EXPECT_EQ(FormatMediaMixText(script), "Type=Promotion; Image=0; Sound=0\r\n000.0,1,a b c d \r\n");
}

TEST_F(MediaMixEditTest, TheFirstMomentIsNeverDeleted) {
  Add(4, 1, QStringLiteral("x"));
  form_.SelectEvent(0);
  EXPECT_FALSE(form_.btnDelete->isEnabled());
  Key(form_.lsvEvents, Qt::Key_Delete);
  form_.DeleteEvent();
  EXPECT_EQ(Steps(), (std::vector<int>{0, 4}));
  form_.SelectEvent(1);
  EXPECT_TRUE(form_.btnDelete->isEnabled());
  Key(form_.lsvEvents, Qt::Key_Delete);
  EXPECT_EQ(Steps(), (std::vector<int>{0}));
  EXPECT_TRUE(form_.btnOK->isEnabled());
}

struct ShiftCase {
  std::vector<int> steps;
  int selected;
  bool later, earlier;
};

TEST_F(MediaMixEditTest, TimeShiftIsOfferedOnlyWhereItFits) {
  const ShiftCase cases[] = {
      {{0, 10, 20}, 0, false, false},    {{0, 10, 20}, 1, true, true},  {{0, 10, 11}, 2, true, false},
      {{0, 1, 1999}, 1, false, false},   {{0, 5, 1999}, 2, false, true}, {{0, 2, 1998}, 1, true, true},
  };
  for (const ShiftCase& c : cases) {
    std::string text = "Type=Promotion; Image=0; Sound=0\r\n";
    for (int step : c.steps) text += MediaMixTimeText(step) + ",0,\r\n";
    form_.SetControlText(text);
    form_.SelectEvent(c.selected);
    EXPECT_EQ(form_.btnTimeUp->isEnabled(), c.later) << c.steps.back() << " selected " << c.selected;
    EXPECT_EQ(form_.btnTimeDown->isEnabled(), c.earlier) << c.steps.back() << " selected " << c.selected;
  }
  form_.SetControlText("Type=Promotion\r\n0,0,\r\n3,0,a\r\n4,0,b\r\n");
  form_.SelectEvent(1);
  Key(form_.lsvEvents, Qt::Key_Plus, Qt::ShiftModifier | Qt::KeypadModifier);
  EXPECT_EQ(Steps(), (std::vector<int>{0, 7, 9}));
  EXPECT_EQ(form_.SelectedEvent(), 1);
  Key(form_.lsvEvents, Qt::Key_Minus, Qt::ShiftModifier | Qt::KeypadModifier);
  Key(form_.lsvEvents, Qt::Key_Minus, Qt::ShiftModifier | Qt::KeypadModifier);
  EXPECT_EQ(Steps(), (std::vector<int>{0, 5, 7}));
  // Without Shift the keys do nothing here.
  Key(form_.lsvEvents, Qt::Key_Plus, Qt::KeypadModifier);
  EXPECT_EQ(Steps(), (std::vector<int>{0, 5, 7}));
}

TEST_F(MediaMixEditTest, LoadingMovesTheTimeAfterTheLastEventAndStaysOnTheLastStep) {
  form_.SetControlText("Type=Karaoke; Image=3; Sound=0\r\n000.0,0,\r\n010.5,2,x\r\n");
  EXPECT_EQ(form_.cmbTime->currentText(), QStringLiteral("011.0"));
  EXPECT_TRUE(form_.radKaraoke->isChecked());
  EXPECT_EQ(form_.cmbImageCount->currentIndex(), 3);
  EXPECT_FALSE(form_.chkSound->isChecked());
  form_.SetControlText("Type=Karaoke; Image=-3; Sound=0\r\n");
  EXPECT_EQ(form_.cmbImageCount->currentIndex(), 0);
  form_.SetControlText("Type=Promotion\r\n000.0,0,\r\n999.5,2,end\r\n");
  EXPECT_EQ(form_.cmbTime->currentText(), QStringLiteral("999.5"));
  Add(1999, 4, QStringLiteral("end again"));
  EXPECT_EQ(form_.cmbTime->currentText(), QStringLiteral("999.5"));
  EXPECT_EQ(Steps(), (std::vector<int>{0, 1999}));

  // A script without events leaves nothing to send.
  form_.SetControlText("Type=Promotion\r\n");
  EXPECT_FALSE(form_.btnOK->isEnabled());
  form_.accept();
  EXPECT_EQ(form_.result(), QDialog::Rejected);
  Add(0, 0, {});
  EXPECT_TRUE(form_.btnOK->isEnabled());
}

TEST_F(MediaMixEditTest, ThePlacementIsKeptUnderItsIdent) {
  form_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  form_.resize(610, 450);
  form_.btnCancel->click();
  EXPECT_EQ(qv::Registry().ReadString("FormPosition", "MediaMix", ""),
            FormatFormPosition(form_.geometry()));
}

TEST_F(MediaMixEditTest, ScreenshotOfTheEditor) {
  form_.SetControlText("Type=Promotion; Image=2; Sound=1\r\n000.0,1," + Sjis("ようこそ") + "\r\n002.5,2," +
                       Sjis("新商品のご案内, 本日から") + "\r\n005.0,0," + Sjis("またね") + "\r\n");
  form_.SelectEvent(1);
  form_.show();
  const QImage shot = form_.grab().toImage();
  ASSERT_TRUE(shot.save(QString::fromStdString(qvtest::ArtifactPath("media-mix-editor.png").string())));
  // Three rows; the selected second one in the highlight colour.
  EXPECT_EQ(form_.lsvEvents->topLevelItemCount(), 3);
  EXPECT_EQ(Row(1, 2), QString::fromUtf8("新商品のご案内, 本日から"));
  const QRect row = form_.lsvEvents->visualItemRect(form_.lsvEvents->topLevelItem(1));
  const QPoint inRow = form_.lsvEvents->viewport()->mapTo(&form_, QPoint(row.right() - 4, row.center().y()));
  EXPECT_EQ(shot.pixelColor(inRow), form_.lsvEvents->palette().color(QPalette::Highlight));
}

}  // namespace
