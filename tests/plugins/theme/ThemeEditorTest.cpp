// The theme editor: frames from pictures and strips, the frame limit, the
// rules of its OK button, reordering by dragging, and its preview.
#include "SpecialFiles.h"
#include "ThemeFixture.h"

#include "controls/AnimationImage.h"
#include "controls/MultiButton.h"
#include "platform/Cp932.h"
#include "plugins/theme/QvBannerFRM.h"
#include "image/QkDIB.h"
#include "image/QkJPEG.h"
#include "plugins/theme/BannerListBox.h"
#include "plugins/theme/QvBannerEditFRM.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <sstream>

using namespace themetest;
using qv::TfrmBannerEdit;

namespace {

QImage Rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }

QImage White(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::white);
  return image;
}

// What a frame made from the picture must hold: its top-left 120 x 50, on white.
QImage Expected(const QImage& picture) {
  QImage frame = White(120, 50);
  for (int y = 0; y < std::min(50, picture.height()); ++y)
    for (int x = 0; x < std::min(120, picture.width()); ++x) frame.setPixel(x, y, picture.pixel(x, y));
  return frame;
}


// Largest difference of any channel at the centres of the 16 x 16 blocks
// (JPEG blurs the colours at the blocks' edges).
int BlockDifference(const QImage& a, const QImage& b) {
  int worst = 0;
  for (int y = 8; y < a.height(); y += 16)
    for (int x = 8; x < a.width(); x += 16) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
    }
  return worst;
}

// Solid blocks survive JPEG nearly unchanged.
QImage Blocks(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(qRgb(200, 40, 40));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if ((x / 16 + y / 16) % 2) image.setPixel(x, y, qRgb(30, 60, 200));
  return image;
}

class ThemeEditorTest : public ThemeWindowTest {
 protected:
  std::filesystem::path Picture(const std::string& name, const std::string& bytes) {
    const auto path = tmp_.path() / "pictures" / name;
    qvtest::WriteFile(path, bytes);
    return path;
  }
  TfrmBannerEdit editor_;
};

}  // namespace

TEST_F(ThemeEditorTest, PicturesBecomeFramesUnscaledAtTheTopLeftOnWhite) {
  struct Case {
    const char* file;
    QImage picture;
    bool jpeg;
  } cases[] = {
      {"big.bmp", Gradient(200, 100), false},    {"small.bmp", Gradient(60, 30), false},
      {"exact.BMP", Gradient(120, 50), false},   {"upper.Bmp", Strip(1, 90), false},
      {"big.jpg", Blocks(200, 100), true},       {"small.jpeg", Blocks(60, 30), true},
      {"noext", Blocks(64, 48), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const auto path = Picture(c.file, c.jpeg ? JpegFile(c.picture) : BitmapFile(c.picture));
    QImage frame;
    ASSERT_TRUE(editor_.LoadFrame(frame, path));
    ASSERT_EQ(frame.size(), QSize(120, 50));
    if (c.jpeg)
      EXPECT_LE(BlockDifference(Rgb(frame), Expected(c.picture)), 12);
    else
      EXPECT_EQ(Rgb(frame), Expected(Rgb(c.picture)));
  }
  EXPECT_TRUE(TakeBoxes().empty());
}

TEST_F(ThemeEditorTest, APictureThatDoesNotLoadIsToldAndLeavesTheFrame) {
  const std::string bmp = BitmapFile(Gradient(120, 50));
  struct Case {
    const char* file;
    std::string bytes;
  } cases[] = {
      {"garbage.bmp", "not a picture at all"},
      {"cut.bmp", bmp.substr(0, 100)},
      {"bitmap.jpg", bmp},  // read as JPEG by its name
      {"jpeg.bmp", JpegFile(Blocks(20, 20))},
      {"empty.jpg", ""},
      {"cut.jpg", JpegFile(Blocks(64, 64)).substr(0, 200)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    QImage frame = Strip(1);
    EXPECT_FALSE(editor_.LoadFrame(frame, Picture(c.file, c.bytes)));
    EXPECT_EQ(frame, Strip(1));
    const auto boxes = TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("画像ファイルを読み込めませんでした。", 0), 0u);
  }
  QImage frame = Strip(1);
  EXPECT_FALSE(editor_.LoadFrame(frame, tmp_.path() / "missing.bmp"));
  EXPECT_EQ(frame, Strip(1));
  // Names that are no file: read whole, a device never ends and a FIFO holds
  // the window.
  TakeBoxes();
  for (const char* ext : {".jpg", ".bmp"}) {
    const qvtest::NotFiles notFiles(tmp_.path() / (std::string("special") + ext), ext);
    for (const qvtest::NotAFile& f : notFiles.list()) {
      SCOPED_TRACE(f.what + ext);
      EXPECT_FALSE(editor_.LoadFrame(frame, f.path));
      EXPECT_EQ(frame, Strip(1));
      const auto boxes = TakeBoxes();
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].rfind("画像ファイルを読み込めませんでした。", 0), 0u);
    }
    EXPECT_FALSE(notFiles.FifoWaitedOn());
  }
}

TEST_F(ThemeEditorTest, SplittingCopiesWholeFramesWithWhiteWhereTheStripEnds) {
  struct Case {
    const char* what;
    QImage strip;
    int frames;
  } cases[] = {
      {"120 x 130", Gradient(120, 130), 2},
      {"60 wide", Gradient(60, 100), 2},
      {"30 high", Gradient(120, 30), 0},
      {"200 wide", Gradient(200, 50), 1},
      {"1 x 1", Gradient(1, 1), 0},
      {"none", QImage(), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    editor_.SplitFrames(c.strip);
    ASSERT_EQ(editor_.FrameCount(), c.frames);
    EXPECT_EQ(editor_.lstImage->count(), c.frames);
    for (int n = 0; n < c.frames; ++n)
      EXPECT_EQ(Rgb(editor_.Frame(n)), Expected(c.strip.copy(0, 50 * n, std::min(120, c.strip.width()), 50)));
  }
  // Split and joined again, a strip of whole frames comes back pixel for pixel.
  editor_.SplitFrames(Strip(5));
  QImage joined;
  editor_.JoinFrames(joined);
  EXPECT_EQ(joined, Strip(5));
  editor_.ClearFrames();
  EXPECT_EQ(editor_.FrameCount(), 0);
  EXPECT_EQ(editor_.lstImage->count(), 0);
}

TEST_F(ThemeEditorTest, TwoHundredFiftySixFramesDisableAdding) {
  editor_.SplitFrames(Strip(255));
  editor_.UpdateActions();
  EXPECT_TRUE(editor_.actAdd->isEnabled());
  const auto picture = Picture("p.bmp", BitmapFile(Gradient(120, 50)));
  editor_.show();
  user_->NextFile(picture);
  editor_.actAdd->trigger();
  ASSERT_EQ(editor_.FrameCount(), 256);
  EXPECT_EQ(editor_.lstImage->currentRow(), 255) << "the new frame is selected";
  EXPECT_EQ(Rgb(editor_.Frame(255)), Gradient(120, 50));
  EXPECT_FALSE(editor_.actAdd->isEnabled());
  EXPECT_FALSE(editor_.btnAdd->isEnabled());
  user_->NextFile(picture);
  editor_.actAdd->trigger();
  EXPECT_EQ(editor_.FrameCount(), 256);
  EXPECT_TRUE(user_->FilesLeft()) << "no file was asked for";
}

TEST_F(ThemeEditorTest, OKNeedsTwoFramesANameAndAnInterval) {
  struct Case {
    const char* what;
    int frames;
    QString name;
    const char* interval;
    bool enabled;
  } cases[] = {
      {"one frame", 1, "n", "0.5", false},         {"two frames", 2, "n", "0.5", true},
      {"no name", 2, "", "0.5", false},            {"only blanks", 2, "  \t", "0.5", false},
      {"no interval", 2, "n", "0.25", false},      {"no frames", 0, "n", "1", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    editor_.SplitFrames(Strip(c.frames));
    editor_.edtName->setText(c.name);
    editor_.SetInterval(c.interval);
    editor_.UpdateActions();
    EXPECT_EQ(editor_.actOK->isEnabled(), c.enabled);
    EXPECT_EQ(editor_.btnOK->isEnabled(), c.enabled);
  }
}

TEST_F(ThemeEditorTest, OKAnswersOneForANewNameAndAsksForTheWarningForATakenOne) {
  editor_.NamesInUse = {Sjis("a／b"), "Sky"};
  editor_.SplitFrames(Strip(2));
  editor_.SetInterval("1");
  editor_.show();
  for (const QString& taken : {QStringLiteral("a/b"), QStringLiteral(" sky ")}) {
    HostCalls().clear();
    editor_.edtName->setText(taken);
    editor_.actOK->trigger();
    EXPECT_EQ(HostCalls(), (std::vector<std::pair<int32_t, int32_t>>{{10, 5001}}));
    EXPECT_TRUE(editor_.isVisible());
  }
  EXPECT_EQ(editor_.edtName->text(), QStringLiteral("sky")) << "trimmed in its box";
  HostCalls().clear();
  editor_.edtName->setText(QStringLiteral("a/c"));
  editor_.actOK->trigger();
  EXPECT_TRUE(HostCalls().empty());
  EXPECT_FALSE(editor_.isVisible());
  EXPECT_EQ(editor_.result(), TfrmBannerEdit::kResultOK);
}

TEST_F(ThemeEditorTest, NamesKeepTheirBytesUnlessTyped) {
  // FA5C and ED40 are one character to the codec: a loaded name keeps its code.
  const std::string stored = "\xED\x40\x83\x5C";
  editor_.SetThemeName(stored);
  editor_.SetBalloon(stored);
  EXPECT_EQ(editor_.ThemeName(), stored);
  EXPECT_EQ(editor_.Balloon(), stored);
  editor_.edtName->setText(editor_.edtName->text() + "x");
  EXPECT_EQ(editor_.ThemeName(), qv::cp932::FromUtf8(editor_.edtName->text().toStdString()));
}

TEST_F(ThemeEditorTest, DraggingAFrameMovesItToTheRowItIsDroppedOn) {
  editor_.SplitFrames(Strip(4));
  editor_.resize(460, 400);
  editor_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor_));
  QListWidget* list = editor_.lstImage;
  QWidget* view = list->viewport();
  auto centre = [&](int row) { return list->visualItemRect(list->item(row)).center(); };
  auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, at, view->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(view, &event);
  };
  send(QEvent::MouseButtonPress, centre(0), Qt::LeftButton, Qt::LeftButton);
  send(QEvent::MouseMove, centre(1), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(list->currentRow(), 0) << "the carried frame stays selected";
  send(QEvent::MouseMove, centre(2), Qt::NoButton, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, centre(2), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(list->currentRow(), 2);
  EXPECT_EQ(Rgb(editor_.Frame(0)), Rgb(Strip(2).copy(0, 50, 120, 50)));
  EXPECT_EQ(Rgb(editor_.Frame(1)), Rgb(Strip(3).copy(0, 100, 120, 50)));
  EXPECT_EQ(Rgb(editor_.Frame(2)), Strip(1));
  // A click without a move only selects.
  send(QEvent::MouseButtonPress, centre(3), Qt::LeftButton, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, centre(3), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(list->currentRow(), 3);
  EXPECT_EQ(Rgb(editor_.Frame(2)), Strip(1));
  // The right button selects the row under it.
  send(QEvent::MouseButtonPress, centre(1), Qt::RightButton, Qt::RightButton);
  send(QEvent::MouseButtonRelease, centre(1), Qt::RightButton, Qt::NoButton);
  EXPECT_EQ(list->currentRow(), 1);
  // Below the last row a frame goes to the end.
  const QPoint below(centre(3).x(), list->visualItemRect(list->item(3)).bottom() + 20);
  ASSERT_TRUE(view->rect().contains(below));
  send(QEvent::MouseButtonPress, centre(0), Qt::LeftButton, Qt::LeftButton);
  send(QEvent::MouseMove, below, Qt::NoButton, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, below, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(list->currentRow(), 3);
  EXPECT_EQ(Rgb(editor_.Frame(3)), Rgb(Strip(2).copy(0, 50, 120, 50)));
}

TEST_F(ThemeEditorTest, ChangingAndDeletingAFrame) {
  editor_.SplitFrames(Strip(3));
  editor_.show();
  editor_.lstImage->setCurrentRow(1);
  EXPECT_TRUE(editor_.actSwap->isEnabled());
  user_->NextFile(Picture("g.bmp", BitmapFile(Gradient(120, 50))));
  editor_.actSwap->trigger();
  EXPECT_EQ(Rgb(editor_.Frame(1)), Gradient(120, 50));
  // A picture that does not load keeps the frame.
  user_->NextFile(Picture("bad.jpg", "nope"));
  editor_.actSwap->trigger();
  EXPECT_EQ(Rgb(editor_.Frame(1)), Gradient(120, 50));
  EXPECT_EQ(TakeBoxes().size(), 1u);
  editor_.actDel->trigger();
  ASSERT_EQ(editor_.FrameCount(), 2);
  EXPECT_EQ(Rgb(editor_.Frame(1)), Rgb(Strip(3).copy(0, 100, 120, 50)));
  editor_.lstImage->setCurrentRow(-1);
  EXPECT_FALSE(editor_.actSwap->isEnabled());
  EXPECT_FALSE(editor_.actDel->isEnabled());
}

TEST_F(ThemeEditorTest, ThePreviewPlaysTheJoinedFramesAtTheChosenInterval) {
  editor_.show();
  editor_.SplitFrames(Strip(1));
  EXPECT_TRUE(editor_.aniPreview->GetPicture().isNull()) << "one frame: nothing to play";
  editor_.SetBalloon(Sjis("やあ"));
  editor_.SplitFrames(Strip(3));
  TAnimationImage* preview = editor_.aniPreview;
  EXPECT_EQ(preview->GetRowCount(), 3);
  EXPECT_EQ(preview->GetSpeed(), 500) << "no interval chosen yet";
  EXPECT_EQ(preview->toolTip(), QStringLiteral("やあ"));
  EXPECT_TRUE(preview->Timer().isActive());
  ChooseInterval(editor_, "0.03");
  EXPECT_EQ(preview->GetSpeed(), 30);
  EXPECT_EQ(preview->GetPicture(), Strip(3));
}

TEST_F(ThemeEditorTest, TheEditorWithFrames) {
  editor_.SetEditMode(true);
  editor_.SetThemeName(Sjis("夏の海"));
  editor_.SetBalloon(Sjis("暑いね"));
  editor_.SetInterval("0.5");
  editor_.SplitFrames(Strip(4));
  editor_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor_));
  editor_.lstImage->setCurrentRow(2);
  EXPECT_TRUE(editor_.chkUser->isVisible()) << "edit mode";
  const QImage shot = editor_.grab().toImage();
  ASSERT_TRUE(shot.save(QString::fromStdString(qvtest::ArtifactPath("theme-editor.png").string())));
  const QImage list = editor_.lstImage->viewport()->grab().toImage();
  for (int row = 0; row < 3; ++row) {
    const QRect rect = editor_.lstImage->visualItemRect(editor_.lstImage->item(row));
    EXPECT_EQ(rect.height(), 54);
    EXPECT_EQ(Rgb(list.copy(rect.left() + 2, rect.top() + 2, 120, 50)), Rgb(editor_.Frame(row))) << row;
  }
}
