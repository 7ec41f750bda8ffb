// The picture viewer: the pages it makes of each kind of attachment, media
// mixes read from received (and damaged) controls, playing on a clock the
// test turns, animation intervals, zoom sizes, page numbers picked, and the
// viewer opened from the compose window and the mail viewer.
#include "plugins/mail/pickers/QvImageViewFRM.h"

#include "plugins/mail/editor/KMailEdit.h"
#include "plugins/mail/compose/MailAttachView.h"
#include "core/data/MailAttachments.h"
#include "plugins/mail/compose/QvMailReceiveFRM.h"
#include "plugins/mail/compose/QvMailSendFRM.h"

#include "image/QkDIB.h"
#include "image/QkJPEG.h"
#include "platform/Registry.h"

#include "EditorTestSupport.h"
#include "JpegPhoto.h"
#include "MailComposeTestSupport.h"
#include "MailTestSupport.h"
#include "PanelTestSupport.h"
#include "PickersTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <climits>
#include <sstream>

using namespace qv;
using composetest::Attachment;
using edittest::BitmapFile;

namespace {

const char* const kSlideLayout =
    "X-KmailDX-Info: DIV6\r\nX-KmailDX-CBMP: PAGE=6;PLAIN(96,43);SLIDE(96,43)=3;VOID;VOID";

const std::vector<QColor> kPageColours = {QColor(230, 40, 40),  QColor(40, 160, 60), QColor(40, 80, 220),
                                          QColor(240, 200, 0),  QColor(150, 60, 200), QColor(0, 180, 200)};

std::string SixPageBytes() { return BitmapFile(edittest::SixPages(kPageColours)); }

std::string JpegBytes(int w, int h, const QColor& colour) {
  TQkDIB dib;
  dib.Assign(edittest::Solid(w, h, colour));
  std::ostringstream out(std::ios::binary);
  SaveJPEGToStream(dib, out, 90);
  return out.str();
}

std::string Solid(int w, int h, const QColor& colour) { return BitmapFile(edittest::Solid(w, h, colour)); }

AttachmentList List(std::vector<MailAttachment> items) {
  AttachmentList list;
  for (auto& item : items) list.Insert(std::move(item));
  return list;
}

std::string Mix(std::string_view lines) { return "Type=Promotion; Image=2; Sound=0\r\n" + std::string(lines); }

}  // namespace

TEST(ViewerPages, EachKindOfAttachmentGivesItsPages) {
  const AttachmentList list = List({
      Attachment("six.bmp", SixPageBytes(), kSlideLayout),                                        // 0
      Attachment("anim.bmp", Solid(40, 30, Qt::red), "X-KmailDX-Animation: Page=3;Wait=0.5;Loop=2"),  // 1
      Attachment("two.bmp", Solid(40, 30, Qt::blue)),                                            // 2
      Attachment("photo.jpg", JpegBytes(64, 48, Qt::green)),                                     // 3
      Attachment("clip.flm", "not a picture"),                                                  // 4
      Attachment("plain.bmp", Solid(97, 73, Qt::yellow)),                                        // 5
      Attachment("broken.bmp", "BM garbage"),                                                   // 6
      Attachment("memo.txt", "text"),                                                           // 7
      Attachment("all6.bmp", SixPageBytes(), "X-KmailDX-Info: DIV6"),                          // 8
  });
  struct Case {
    int index;
    bool pick;
    ViewerContent content;
    std::vector<std::string> pages;
    std::vector<int> times;
  } cases[] = {
      // Panes PLAIN, a SLIDE of 3, VOID, VOID: the slide is one page unless picking.
      {0, false, ViewerContent::Div6, {"<IMG=\"six.bmp\";1>", "<IMG=\"six.bmp\";2>"}, {}},
      {0, true, ViewerContent::Div6,
       {"<IMG=\"six.bmp\";1>", "<IMG=\"six.bmp\";2>", "<IMG=\"six.bmp\";3>", "<IMG=\"six.bmp\";4>"}, {}},
      // Page=3, the second follower a JPEG: two pages, wait then loop.
      {1, false, ViewerContent::Animation, {"<IMG=\"anim.bmp\">", "<IMG=\"two.bmp\">"}, {500, 2000}},
      {3, false, ViewerContent::Picture, {"<IMG=\"photo.jpg\">"}, {}},
      {4, false, ViewerContent::Picture, {"<IMG=\"clip.flm\">"}, {}},
      {5, false, ViewerContent::Picture, {"<IMG=\"plain.bmp\">"}, {}},
      {6, false, ViewerContent::Picture, {"<IMG=\"broken.bmp\">"}, {}},
      {7, false, ViewerContent::None, {}, {}},
      {8, false, ViewerContent::Div6,
       {"<IMG=\"all6.bmp\";1>", "<IMG=\"all6.bmp\";2>", "<IMG=\"all6.bmp\";3>", "<IMG=\"all6.bmp\";4>",
        "<IMG=\"all6.bmp\";5>", "<IMG=\"all6.bmp\";6>"},
       {}},
      {-1, false, ViewerContent::None, {}, {}},
      {9, false, ViewerContent::None, {}, {}},
  };
  for (const Case& c : cases) {
    ViewerPictureCache cache;
    const ViewerPages v = BuildViewerPages(list, c.index, c.pick, cache);
    EXPECT_EQ(v.content, c.content) << c.index;
    EXPECT_EQ(v.pages, c.pages) << c.index;
    EXPECT_EQ(v.times, c.times) << c.index;
  }
  // An animation of one page has no times: nothing to run.
  const AttachmentList lone = List({Attachment("a.bmp", Solid(8, 8, Qt::red), "X-KmailDX-Animation: Page=2;Wait=1;Loop=1"),
                                    Attachment("b.jpg", JpegBytes(8, 8, Qt::red))});
  ViewerPictureCache cache;
  const ViewerPages one = BuildViewerPages(lone, 0, false, cache);
  EXPECT_EQ(one.pages, std::vector<std::string>{"<IMG=\"a.bmp\">"});
  EXPECT_TRUE(one.times.empty());
  // Broken pictures decode as the placeholder; other kinds as nothing.
  EXPECT_EQ(cache.Get(list, "broken.bmp").bitmap.size(), QSize(96, 72));
  EXPECT_EQ(cache.Get(list, "clip.flm").bitmap.size(), QSize(96, 72));
  EXPECT_EQ(cache.Get(list, "photo.jpg").bitmap.size(), QSize(64, 48));
  // A JPEG whose header claims 10240 x 10240 pixels, beyond the limit, is
  // not decoded at all: it is told as too large, with its size.
  std::string huge = JpegBytes(64, 48, Qt::green);
  const size_t sof = huge.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  huge.replace(sof + 5, 4, std::string("\x28\x00\x28\x00", 4));
  const AttachmentList hugeList = List({Attachment("huge.jpg", huge)});
  QImage tooLarge;
  DrawTooLargeImage(tooLarge, QSize(10240, 10240), kMaxPicturePixels);
  EXPECT_EQ(cache.Get(hugeList, "huge.jpg").bitmap, tooLarge);
  EXPECT_TRUE(cache.Get(list, "memo.txt").bitmap.isNull());
  EXPECT_TRUE(cache.Get(list, "nosuch.bmp").bitmap.isNull());
}

TEST(ViewerPages, AMediaMixIsReadLineByLineWithWhatEachLineLacksTakenFromTheLastOne) {
  const std::string control = Mix(
      "000.0,1,hello\r\n"
      "; a comment\r\n"
      "\r\n"
      "000.5,9,far\r\n"            // past the list: text only
      "000.5,2,same time\r\n"      // not later: skipped
      "001.0,x,\r\n"               // keeps image 9 and the text
      "abc,2,no time\r\n"          // no numeric time: skipped
      "nan,2,not a number\r\n"     // likewise
      "  1.5 ,3, spaced, with commas\r\n"
      "2,2,second picture\r\n"
      "1e400,-4,huge\r\n"          // clamped; a negative picture is none
      "inf,1,after huge\r\n");     // not later than the clamped time
  const AttachmentList list = List({Attachment("mmctrl.dat", control), Attachment("p1.bmp", Solid(20, 10, Qt::red)),
                                    Attachment("p2.bmp", Solid(20, 10, Qt::blue)), Attachment("note.txt", "x")});
  ViewerPictureCache cache;
  const ViewerPages v = BuildViewerPages(list, 0, false, cache);
  EXPECT_EQ(v.content, ViewerContent::MediaMix);
  const std::vector<std::string> pages = {
      "<IMG=\"p1.bmp\">\r\nhello", "\r\nfar", "\r\nfar", "\r\n spaced, with commas", "<IMG=\"p2.bmp\">\r\nsecond picture",
      "\r\nhuge"};
  EXPECT_EQ(v.pages, pages);
  EXPECT_EQ(v.times, (std::vector<int>{0, 500, 1000, 1500, 2000, 1000000000}));
  // The pictures shown were decoded on the way.
  EXPECT_EQ(cache.Size(), 2u);

  // A first line later than 0 is taken; one before 0 is not.
  const std::vector<ViewerMixLine> later = ParseViewerMediaMix(Mix("-1,1,before\r\n0.5,1,first\r\n0.25,1,x"));
  ASSERT_EQ(later.size(), 1u);
  EXPECT_EQ(later[0].time, 500);
  EXPECT_EQ(later[0].text, "first");
  // Only the type line: no pages at all.
  EXPECT_TRUE(ParseViewerMediaMix("Type=Karaoke; Image=0; Sound=1\r\n").empty());
  EXPECT_TRUE(ParseViewerMediaMix("").empty());
}

TEST(ViewerPages, ImageNumbersLookTheAttachmentUpWithoutOverflow) {
  struct Case {
    int control;
    long long image;
    int count;
    int index;
  } cases[] = {
      {0, 1, 4, 1},  {0, 3, 4, 3},          {0, 4, 4, -1},         {0, 0, 4, -1},  {0, -1, 4, -1},
      {1, 2, 4, 3},  {1, 3, 4, -1},          {2, LLONG_MAX, 4, -1}, {2, LLONG_MIN, 4, -1},
      {3, 1, 4, -1}, {-1, 1, 4, -1},         {5, 1, 4, -1},         {0, 1, 0, -1},
      {INT_MAX - 2, 1, INT_MAX, INT_MAX - 1}, {INT_MAX - 1, 1, INT_MAX, -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MixImageIndex(c.control, c.image, c.count), c.index) << c.control << " " << c.image << " " << c.count;
}

TEST(ViewerPages, PlayingShowsEachPageWhenItsHalfSecondStepIsEntered) {
  const std::vector<int> times = {0, 500, 1500};
  struct Step {
    int current;
    int64_t previous, elapsed;
    int show;
    bool stop;
  } steps[] = {
      {0, 0, 200, -1, false},     {0, 200, 499, -1, false},   {0, 499, 501, 1, false},
      {1, 501, 1000, -1, false},  {1, 1000, 1499, -1, false}, {1, 1499, 1500, 2, false},
      {2, 1500, 1501, -1, true},  {0, 1400, 1600, 2, true},   {2, 400, 2200, -1, true},
  };
  for (const Step& s : steps) {
    const MixTick t = MediaMixTick(times, s.current, s.previous, s.elapsed);
    EXPECT_EQ(t.show, s.show) << s.elapsed;
    EXPECT_EQ(t.stop, s.stop) << s.elapsed;
  }
  // Nothing to play stops at once.
  EXPECT_TRUE(MediaMixTick({}, 0, 0, 600).stop);
}

TEST(ViewerPages, ZoomSizesAndPageNumbers) {
  EXPECT_EQ(ZoomedSize({97, 73}, ViewerZoom::Normal, {10, 10}), QSize(97, 73));
  EXPECT_EQ(ZoomedSize({97, 73}, ViewerZoom::Quarter, {10, 10}), QSize(48, 36));
  EXPECT_EQ(ZoomedSize({97, 73}, ViewerZoom::Fit, {200, 100}), QSize(132, 100));
  EXPECT_EQ(ZoomedSize({97, 73}, ViewerZoom::Fit, {97, 300}), QSize(97, 73));
  EXPECT_EQ(ZoomedSize({1920, 1080}, ViewerZoom::Fit, {400, 400}), QSize(400, 225));
  EXPECT_EQ(ZoomedSize({97, 73}, ViewerZoom::Fit, {0, 0}), QSize(0, 0));
  EXPECT_EQ(ZoomedSize({97, 73}, ViewerZoom::Fit, {300, 0}), QSize(0, 0));
  EXPECT_EQ(ZoomedSize({0, 0}, ViewerZoom::Fit, {300, 300}), QSize(0, 0));
  EXPECT_EQ(ZoomedSize({1, 1}, ViewerZoom::Quarter, {300, 300}), QSize(0, 0));

  struct Case {
    const char* page;
    int number;
  } cases[] = {
      {"<IMG=\"six.bmp\";3>", 2},   {"<IMG=\"six.bmp\";1>", 0}, {"<IMG=\"six.bmp\";0>", 0},
      {"<IMG=\"six.bmp\";-2>", 0},  {"<IMG=\"six.bmp\">", 0},   {"<IMG=\"a;b.bmp\";4>", 3},
      {"<IMG=plain.bmp;6>", 5},     {"<IMG=\"six.bmp\";x>", 0}, {"", 0},
      {"\r\ntext", 0},              {"<IMG=\"six.bmp\";99999999999999999999>", INT_MAX},
      {"<IMG=\"unclosed;2>", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(PageNumberOfMarkup(c.page), c.number) << c.page;
}

namespace {

class ViewerTest : public ::testing::Test, protected composetest::DialogRecorder {
 protected:
  // A viewer on the list at index, shown, its timers ticked by the test.
  std::unique_ptr<TfrmImageView> View(const AttachmentList& list, int index, bool pick = false) {
    auto view = std::make_unique<TfrmImageView>();
    view->SetManualTicks(true);
    view->SetClock([this] { return now; });
    view->SetAttachList(&list);
    view->SetAttachIndex(index);
    view->SetPickMode(pick);
    view->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    return view;
  }
  static QImage Shot(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

  int64_t now = 0;
  mailtest::MailDir mail;
  composetest::HostRecorder host;
};

}  // namespace

TEST_F(ViewerTest, ASixPagePictureStepsThroughItsPagesAndGivesThePagePicked) {
  const AttachmentList list = List({Attachment("six.bmp", SixPageBytes(), kSlideLayout)});
  auto view = View(list, 0, true);
  EXPECT_EQ(view->windowTitle(), QString::fromUtf8("VeoQuorvel - 画像"));
  EXPECT_TRUE(view->pnlDIV->isVisible());
  EXPECT_FALSE(view->pnlZoom->isVisible());
  EXPECT_FALSE(view->pnlMM->isVisible());
  EXPECT_TRUE(view->pnlDialog->isVisible());
  EXPECT_FALSE(view->pnlView->isVisible());
  EXPECT_EQ(view->lblCount->text(), QStringLiteral("(1/4)"));
  EXPECT_TRUE(view->actNext->isEnabled());
  EXPECT_EQ(view->GetPageNumber(), 0);
  view->actNext->trigger();
  view->actNext->trigger();
  EXPECT_EQ(view->lblCount->text(), QStringLiteral("(3/4)"));
  EXPECT_EQ(view->GetPageNumber(), 2);
  EXPECT_EQ(view->KMailEdit1->GetMarkupText(), "<IMG=\"six.bmp\";3>");
  view->actNext->trigger();
  view->actNext->trigger();  // round to the first again
  EXPECT_EQ(view->lblCount->text(), QStringLiteral("(1/4)"));
  view->actPrev->trigger();
  EXPECT_EQ(view->lblCount->text(), QStringLiteral("(4/4)"));
  EXPECT_EQ(view->GetPageNumber(), 3);
  // Page 4 (the second pane the slide covers) is drawn in its own colour.
  view->KMailEdit1->SetManualTicks(true);
  EXPECT_GT(edittest::CountColour(Shot(view->KMailEdit1), kPageColours[3]), 30 * 20);
  EXPECT_EQ(edittest::CountColour(Shot(view->KMailEdit1), kPageColours[0]), 0);
  view->actOK->trigger();
  EXPECT_EQ(view->result(), QDialog::Accepted);
  // Closing kept the window's place.
  EXPECT_FALSE(Registry().ReadString("FormPosition", "ImageView", "").empty());
}

TEST_F(ViewerTest, AnAnimationRepeatsItsPagesByTheirTimes) {
  const AttachmentList list =
      List({Attachment("anim.bmp", Solid(40, 30, QColor(230, 40, 40)), "X-KmailDX-Animation: Page=3;Wait=0.1;Loop=2"),
            Attachment("two.bmp", Solid(40, 30, QColor(40, 80, 220))),
            Attachment("three.bmp", Solid(40, 30, QColor(40, 160, 60)))});
  auto view = View(list, 0);
  EXPECT_EQ(view->Content(), ViewerContent::Animation);
  EXPECT_FALSE(view->pnlZoom->isVisible());
  EXPECT_FALSE(view->pnlDIV->isVisible());
  EXPECT_TRUE(view->pnlView->isVisible());
  EXPECT_EQ(view->Times(), (std::vector<int>{100, 100, 2000}));
  EXPECT_EQ(view->tmrMain->interval(), 1);
  struct Tick {
    int shown;
    int interval;
  } ticks[] = {{0, 100}, {1, 100}, {2, 2000}, {0, 100}, {1, 100}};
  for (const Tick& t : ticks) {
    view->TickMain();
    EXPECT_EQ(view->PageIndex(), t.shown);
    EXPECT_EQ(view->tmrMain->interval(), t.interval);
  }
  EXPECT_EQ(view->KMailEdit1->GetMarkupText(), "<IMG=\"two.bmp\">");
  ASSERT_TRUE(Shot(view.get()).save(QString::fromStdString(qvtest::ArtifactPath("imageview-animation.png").string())));
  EXPECT_GT(edittest::CountColour(Shot(view->KMailEdit1), QColor(40, 80, 220)), 40 * 30 - 10);
  // Left to its own timer it keeps going until the window closes.
  view->SetManualTicks(false);
  view->BuildPages();
  EXPECT_TRUE(view->tmrMain->isActive());
  ASSERT_TRUE(QTest::qWaitFor([&] { return view->PageIndex() == 1; }, 2000));
  view->reject();
  EXPECT_FALSE(view->tmrMain->isActive());
}

TEST_F(ViewerTest, PlayIsOffWhilePlayingAndOnAgainAfterTheLastTime) {
  const AttachmentList list =
      List({Attachment("mmctrl.dat", Mix("0,1,start\r\n0.5,9,past the list\r\n1.5,1,end\r\n")),
            Attachment("pic.bmp", Solid(48, 36, QColor(240, 200, 0)))});
  auto view = View(list, 0);
  EXPECT_TRUE(view->pnlMM->isVisible());
  EXPECT_FALSE(view->pnlZoom->isVisible());
  EXPECT_FALSE(view->Playing());
  EXPECT_TRUE(view->actPlay->isEnabled());
  EXPECT_FALSE(view->tmrMM->isActive());
  now = 10000;
  view->actPlay->trigger();
  EXPECT_TRUE(view->Playing());
  EXPECT_FALSE(view->actPlay->isEnabled());
  EXPECT_EQ(view->PageIndex(), 0);
  struct Step {
    int64_t at;
    int page;
    bool playing;
  } steps[] = {{200, 0, true}, {499, 0, true}, {501, 1, true}, {1000, 1, true}, {1499, 1, true}, {1500, 2, true},
               {1501, 2, false}};
  for (const Step& s : steps) {
    now = 10000 + s.at;
    view->TickMM();
    EXPECT_EQ(view->PageIndex(), s.page) << s.at;
    EXPECT_EQ(view->Playing(), s.playing) << s.at;
    EXPECT_EQ(view->actPlay->isEnabled(), !s.playing) << s.at;
  }
  EXPECT_FALSE(view->tmrMM->isActive());
  // The page past the list shows its text alone, from 500 ms.
  EXPECT_EQ(view->Pages()[1], "\r\npast the list");
  EXPECT_EQ(view->Times()[1], 500);
  // Played again from the start.
  view->actPlay->trigger();
  EXPECT_TRUE(view->Playing());
  EXPECT_EQ(view->PageIndex(), 0);
}

TEST_F(ViewerTest, PlayWithNoPagesStopsAtOnce) {
  const AttachmentList list = List({Attachment("MMCTRL.DAT", "Type=Promotion; Image=0; Sound=0\r\n")});
  auto view = View(list, 0);
  EXPECT_TRUE(view->Pages().empty());
  EXPECT_EQ(view->lblCount->text(), QStringLiteral("(0/0)"));
  view->actPlay->trigger();
  EXPECT_FALSE(view->Playing());
  EXPECT_TRUE(view->actPlay->isEnabled());
  EXPECT_FALSE(view->tmrMM->isActive());
  view->TickMM();
  EXPECT_FALSE(view->Playing());
  EXPECT_FALSE(view->actNext->isEnabled());
}

TEST_F(ViewerTest, APresentationsTextIsSixteenCharactersWide) {
  const AttachmentList list = List({Attachment("mmctrl.dat", Mix("0,0,text"))});
  auto view = View(list, 0);
  TKMailEdit* editor = view->KMailEdit1;
  for (int width : {400, 260, 50}) {
    editor->resize(width, 200);
    const int side = std::max(0, (width - editor->TextWidth(QStringLiteral("0000000000000000"))) / 2);
    EXPECT_EQ(editor->Margin().Left(), side) << width;
    EXPECT_EQ(editor->Margin().Right(), side) << width;
  }
  EXPECT_EQ(editor->Margin().Left(), 0);
}

TEST_F(ViewerTest, ZoomGivesTheEditorScaledPicturesAndNothingForAnEditorOfNoSize) {
  const AttachmentList list = List({Attachment("plain.bmp", Solid(97, 73, QColor(40, 160, 60)))});
  auto view = View(list, 0);
  EXPECT_TRUE(view->pnlZoom->isVisible());
  EXPECT_TRUE(view->radNormal->isChecked());
  QImage bmp;
  std::string headers;
  auto ask = [&] {
    bmp = QImage();
    view->KMailEdit1->OnBmpData(view->KMailEdit1, "plain.bmp", bmp, headers);
  };
  ask();
  EXPECT_EQ(bmp.size(), QSize(97, 73));
  view->radQuarter->click();
  ask();
  EXPECT_EQ(bmp.size(), QSize(48, 36));
  EXPECT_EQ(bmp.format(), QImage::Format_RGB888);
  EXPECT_EQ(bmp.pixelColor(10, 10), QColor(40, 160, 60));
  view->KMailEdit1->resize(300, 146);
  view->radCustom->click();
  ask();
  EXPECT_EQ(bmp.size(), QSize(194, 146));
  EXPECT_EQ(bmp.format(), QImage::Format_RGB888);
  EXPECT_EQ(view->KMailEdit1->GetMarkupText(), "<IMG=\"plain.bmp\">");
  // An editor of no size gets nothing to draw; it comes back with a size.
  view->KMailEdit1->resize(0, 0);
  ask();
  EXPECT_TRUE(bmp.isNull());
  view->ShowPage(0);
  EXPECT_EQ(view->KMailEdit1->GetMarkupText(), "");
  view->KMailEdit1->resize(120, 90);
  EXPECT_EQ(view->KMailEdit1->GetMarkupText(), "<IMG=\"plain.bmp\">");
  ask();
  EXPECT_EQ(bmp.size(), QSize(119, 90));
  // A name the list does not hold is no picture.
  bmp = QImage();
  view->KMailEdit1->OnBmpData(view->KMailEdit1, "other.bmp", bmp, headers);
  EXPECT_TRUE(bmp.isNull());
}


TEST_F(ViewerTest, ACameraPhotoShowsAtEveryZoomAndOneBeyondTheLimitIsToldTooLarge) {
  // 48 megapixels, as today's cameras take them.
  const QSize photo(8000, 6000);
  const AttachmentList list = List({Attachment("camera.jpg", qvtest::PhotoJpeg(photo.width(), photo.height())),
                                    Attachment("huge.jpg", qvtest::ClaimedSize(qvtest::PhotoJpeg(16, 16), 10001, 10000))});
  auto view = View(list, 0);
  view->resize(420, 400);
  QImage bmp;
  std::string headers;
  auto ask = [&](const char* name) {
    bmp = QImage();
    view->KMailEdit1->OnBmpData(view->KMailEdit1, name, bmp, headers);
  };
  view->radCustom->click();
  ask("camera.jpg");
  const QSize fitted = ZoomedSize(photo, ViewerZoom::Fit, view->KMailEdit1->size());
  ASSERT_EQ(bmp.size(), fitted);
  EXPECT_LE(qvtest::PhotoDifference(bmp.convertToFormat(QImage::Format_RGB32), photo), 12);
  const QImage fitShot = Shot(view.get());
  ASSERT_TRUE(fitShot.save(QString::fromStdString(qvtest::ArtifactPath("imageview-photo.png").string())));
  // The photo itself shows, not a placeholder.
  const QImage editor = Shot(view->KMailEdit1);
  EXPECT_GT(edittest::CountNear(editor, QColor(qvtest::PhotoColour(800, 600, 8000, 6000) | 0xFF000000u)), 100);
  view->radQuarter->click();
  ask("camera.jpg");
  ASSERT_EQ(bmp.size(), QSize(4000, 3000));
  EXPECT_LE(qvtest::PhotoDifference(bmp.convertToFormat(QImage::Format_RGB32), photo), 12);
  view->radNormal->click();
  ask("camera.jpg");
  ASSERT_EQ(bmp.size(), photo);
  EXPECT_LE(qvtest::PhotoDifference(bmp, photo), 12);

  // Beyond the limit: the notice with the size and the limit, never decoded.
  QImage tooLarge;
  DrawTooLargeImage(tooLarge, QSize(10001, 10000), kMaxPicturePixels);
  for (QRadioButton* zoom : {view->radNormal, view->radQuarter}) {
    zoom->click();
    ask("huge.jpg");
    EXPECT_EQ(bmp.convertToFormat(QImage::Format_RGB32).size(),
              zoom == view->radNormal ? tooLarge.size() : tooLarge.size() / 2);
  }
  view->radNormal->click();
  ask("huge.jpg");
  EXPECT_EQ(bmp, tooLarge);
  auto notice = View(list, 1);
  const QImage noticeShot = Shot(notice.get());
  ASSERT_TRUE(noticeShot.save(QString::fromStdString(qvtest::ArtifactPath("imageview-too-large.png").string())));
}

TEST_F(ViewerTest, Screenshots) {
  const AttachmentList six = List({Attachment("six.bmp", SixPageBytes(), kSlideLayout)});
  auto view = View(six, 0, true);
  view->resize(360, 300);
  view->KMailEdit1->SetManualTicks(true);
  const QImage divShot = Shot(view.get());
  EXPECT_GT(edittest::CountColour(divShot, kPageColours[0]), 90 * 40);
  ASSERT_TRUE(divShot.save(QString::fromStdString(qvtest::ArtifactPath("imageview-div6.png").string())));

  const AttachmentList mix =
      List({Attachment("mmctrl.dat", Mix("0,1,Happy birthday!\r\n")),
            Attachment("cake.bmp", BitmapFile(edittest::SixPages(kPageColours).copy(0, 0, 96, 72)))});
  auto mm = View(mix, 0);
  mm->resize(360, 300);
  const QImage mmShot = Shot(mm.get());
  EXPECT_GT(edittest::CountColour(mmShot, kPageColours[0]), 90 * 40);
  EXPECT_GT(edittest::CountNear(Shot(mm->KMailEdit1), Qt::black), 20);
  ASSERT_TRUE(mmShot.save(QString::fromStdString(qvtest::ArtifactPath("imageview-mediamix.png").string())));
}

// ---- opened from the mail windows ----------------------------------------------

namespace {

class ViewerFromWindows : public ViewerTest {
 protected:
  void TearDown() override { composetest::DeleteMailWindows(); }
  template <typename W>
  W* Shown(W* w) {
    w->resize(560, 480);
    w->show();
    QApplication::setActiveWindow(w);
    EXPECT_TRUE(QTest::qWaitForWindowActive(w));
    return w;
  }
  composetest::ListWindow list;
};

}  // namespace

TEST_F(ViewerFromWindows, TheComposeWindowOpensTheSelectedAttachment) {
  auto* w = Shown(new TfrmMailSend);
  qvtest::WriteFile(mail.tmp() / "memo.txt", "memo");
  qvtest::WriteFile(mail.tmp() / "photo.jpg", JpegBytes(64, 48, Qt::green));
  ASSERT_TRUE(w->AddAttachmentFile(mail.tmp() / "memo.txt", {}));
  ASSERT_TRUE(w->AddAttachmentFile(mail.tmp() / "photo.jpg", {}));
  w->lsvAttach->SelectRow(0);
  EXPECT_FALSE(w->actAttachView->isEnabled());
  w->lsvAttach->SelectRow(1);
  ASSERT_TRUE(w->actAttachView->isEnabled());
  ViewerContent seen = ViewerContent::None;
  std::vector<std::string> pages;
  bitmaptest::OnModal<TfrmImageView>([&](TfrmImageView& view) {
    seen = view.Content();
    pages = view.Pages();
    EXPECT_TRUE(view.pnlView->isVisible());
    view.findChild<QPushButton*>(QStringLiteral("btnClose"))->click();
  });
  w->actAttachView->trigger();
  EXPECT_EQ(seen, ViewerContent::Picture);
  EXPECT_EQ(pages, std::vector<std::string>{"<IMG=\"photo.jpg\">"});
  // Enter in the list opens it too.
  seen = ViewerContent::None;
  bitmaptest::OnModal<TfrmImageView>([&](TfrmImageView& view) {
    seen = view.Content();
    view.reject();
  });
  w->lsvAttach->setFocus();
  QTest::keyClick(w->lsvAttach, Qt::Key_Return);
  EXPECT_EQ(seen, ViewerContent::Picture);
}

TEST_F(ViewerFromWindows, ASixPagePictureDroppedOnTheTextAsksForItsPage) {
  auto* w = Shown(new TfrmMailSend);
  AttachmentList& attachments = w->Attachments();
  attachments.Insert(Attachment("six.bmp", SixPageBytes(), "X-KmailDX-Info: DIV6"));
  w->AttachmentsChanged();
  w->KMailEdit1->setFocus();
  QTest::keyClicks(w->KMailEdit1, QStringLiteral("ab"));
  w->lsvAttach->SelectRow(0);
  auto drop = [&] {
    std::unique_ptr<AttachmentMimeData> data = w->lsvAttach->SelectionDragData();
    ASSERT_TRUE(data);
    const QPoint at(w->KMailEdit1->width() - 5, w->KMailEdit1->height() - 5);
    QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w->KMailEdit1, &enter);
    QDropEvent dropped(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w->KMailEdit1, &dropped);
    ASSERT_TRUE(dropped.isAccepted());
  };
  // Page 5 picked: its tag goes in at the caret.
  bool picking = false;
  bitmaptest::OnModal<TfrmImageView>([&](TfrmImageView& view) {
    picking = view.PickMode();
    EXPECT_EQ(view.Pages().size(), 6u);
    for (int i = 0; i < 4; ++i) view.actNext->trigger();
    view.findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
  });
  drop();
  // Nothing goes in before the page is picked, once the drop is over.
  EXPECT_EQ(w->KMailEdit1->GetMarkupText(), "ab");
  QApplication::processEvents();
  EXPECT_TRUE(picking);
  EXPECT_EQ(w->KMailEdit1->GetMarkupText(), "ab<IMG=\"six.bmp\";5>");
  // Cancelled: nothing goes in.
  bool cancelled = false;
  bitmaptest::OnModal<TfrmImageView>([&](TfrmImageView& view) {
    cancelled = true;
    view.findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
  });
  drop();
  QApplication::processEvents();
  EXPECT_TRUE(cancelled);
  EXPECT_EQ(w->KMailEdit1->GetMarkupText(), "ab<IMG=\"six.bmp\";5>");
}

TEST_F(ViewerFromWindows, TheMailViewerOpensAPictureByEnterWhenItsListHasTheFocus) {
  auto* r = Shown(new TfrmMailReceive);
  r->Attachments().Insert(Attachment("mmctrl.dat", Mix("0,1,hi\r\n")));
  r->Attachments().Insert(Attachment("song.dxm", "x"));
  r->AttachmentsChanged();
  r->lsvAttach->SelectRow(1);
  r->lsvAttach->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return r->lsvAttach->hasFocus(); }));
  EXPECT_FALSE(r->actAttachView->isEnabled());
  r->lsvAttach->SelectRow(0);
  EXPECT_TRUE(r->actAttachView->isEnabled());
  r->KMailEdit1->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return r->KMailEdit1->hasFocus(); }));
  EXPECT_FALSE(r->actAttachView->isEnabled());
  r->lsvAttach->setFocus();
  ViewerContent seen = ViewerContent::None;
  bitmaptest::OnModal<TfrmImageView>([&](TfrmImageView& view) {
    seen = view.Content();
    EXPECT_TRUE(view.pnlMM->isVisible());
    view.reject();
  });
  QTest::keyClick(r->lsvAttach, Qt::Key_Return);
  EXPECT_EQ(seen, ViewerContent::MediaMix);
}
