// TAnimationImage: frame geometry, the frame shown over time (stepped by
// timer events, never by waiting), start and stop rules, mouse behaviour.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimerEvent>
#include <vector>

#include "ControlTestUtil.h"
#include "controls/AnimationImage.h"

using qvtest::Pixel;
using qvtest::Render;

namespace {

// A picture of cols x rows frames of 10 x 10, frame k filled with colour k + 1.
QImage Strip(int cols, int rows, int size = 10) {
  QImage image(cols * size, rows * size, QImage::Format_RGB32);
  for (int k = 0; k < cols * rows; ++k) {
    QPainter p(&image);
    p.fillRect((k % cols) * size, (k / cols) * size, size, size, QColor(10 * (k + 1), 0, 0));
  }
  return image;
}

// Shows the strip as a cols x rows grid.
void UseStrip(TAnimationImage& image, int cols, int rows) {
  image.SetPicture(Strip(cols, rows));
  image.SetColCount(cols);
  image.SetRowCount(rows);
}

TColor FrameColor(int k) { return RGB(10 * (k + 1), 0, 0); }

// What the timer's owner gets when the interval has passed.
void Tick(TAnimationImage& image) {
  ASSERT_TRUE(image.Timer().isActive()) << "no tick is due";
  QTimerEvent event(image.Timer().timerId());
  QApplication::sendEvent(const_cast<QTimer*>(&image.Timer()), &event);
}

std::vector<int> Play(TAnimationImage& image, int ticks) {
  std::vector<int> shown{image.ShownFrame()};
  for (int i = 0; i < ticks; ++i) {
    Tick(image);
    shown.push_back(image.ShownFrame());
  }
  return shown;
}

TEST(AnimationImageDefaults, MatchThePublishedTable) {
  TAnimationImage image;
  qvtest::ExpectDefaults(image, {
                                    {"ColCount", 1},
                                    {"RowCount", 1},
                                    {"Strech", false},
                                    {"Movie", false},
                                    {"AutoSize", true},
                                    {"Speed", 100},
                                    {"StartPos", 0},
                                    {"Picture", QImage()},
                                    {"MouseMovie", false},
                                    {"SkipStartPos", false},
                                    {"Focused3D", false},
                                    {"ClickAction", false},
                                });
  EXPECT_FALSE(image.Timer().isActive());
  EXPECT_EQ(image.Timer().interval(), 100);
}

TEST(AnimationImage, FrameGeometryAndAutoSize) {
  TAnimationImage image;
  image.move(7, 9);
  QImage picture(120, 250, QImage::Format_RGB32);
  picture.fill(Qt::black);
  image.SetPicture(picture);
  image.SetRowCount(5);
  EXPECT_EQ(image.FrameSize(), QSize(120, 50));
  EXPECT_EQ(image.FrameRect(3), QRect(0, 150, 120, 50));
  EXPECT_EQ(image.geometry(), QRect(7, 9, 120, 50)) << "keeps its place, takes one frame's size";

  // Uneven division rounds: 100 / 3 = 33.3 -> 33; column 2 starts at 66.7 -> 67.
  image.SetPicture(QImage(100, 10, QImage::Format_RGB32));
  image.SetRowCount(1);
  image.SetColCount(3);
  EXPECT_EQ(image.FrameRect(2), QRect(67, 0, 33, 10));

  image.SetAutoSize(false);
  image.resize(50, 50);
  image.SetPicture(picture);
  EXPECT_EQ(image.size(), QSize(50, 50));
}

TEST(AnimationImage, GridAndStartPositionAreKeptValid) {
  TAnimationImage image;
  UseStrip(image, 2, 2);
  image.SetStartPos(7);
  EXPECT_EQ(image.GetStartPos(), 0);
  image.SetStartPos(3);
  EXPECT_EQ(image.ShownFrame(), 3);
  EXPECT_EQ(Pixel(Render(image), 5, 5), FrameColor(3));
  image.SetColCount(0);
  EXPECT_EQ(image.GetColCount(), 1);
  image.SetRowCount(-2);
  EXPECT_EQ(image.GetRowCount(), 1);
  image.Start();
  EXPECT_FALSE(image.GetMovie()) << "a single frame never plays";
  EXPECT_FALSE(image.Timer().isActive());
}

TEST(AnimationImage, PlaysEveryFrameInOrder) {
  TAnimationImage image;
  UseStrip(image, 3, 1);
  image.Start();
  EXPECT_TRUE(image.GetMovie());
  EXPECT_EQ(Play(image, 5), (std::vector<int>{0, 1, 2, 0, 1, 2}));
  EXPECT_EQ(Pixel(Render(image), 5, 5), FrameColor(2));
  image.Stop();
  EXPECT_FALSE(image.Timer().isActive());
  EXPECT_EQ(image.ShownFrame(), 0);
}

TEST(AnimationImage, SkipStartPosLeavesTheStartFrameOut) {
  TAnimationImage image;
  UseStrip(image, 2, 2);
  image.SetSkipStartPos(true);
  image.Start();
  EXPECT_EQ(Play(image, 5), (std::vector<int>{1, 2, 3, 1, 2, 3}));

  image.SetStartPos(2);
  image.Start();
  EXPECT_EQ(Play(image, 4), (std::vector<int>{3, 0, 1, 3, 0}));
}

TEST(AnimationImage, TwoFramesWithSkipFlipToTheOther) {
  TAnimationImage image;
  UseStrip(image, 2, 1);
  image.SetSkipStartPos(true);
  image.Start();
  EXPECT_EQ(image.ShownFrame(), 1);
  EXPECT_FALSE(image.Timer().isActive());
  EXPECT_EQ(Pixel(Render(image), 5, 5), FrameColor(1));
  image.SetStartPos(1);
  image.Start();
  EXPECT_EQ(image.ShownFrame(), 0);
}

TEST(AnimationImage, MovieSpeedAndSkipSetters) {
  TAnimationImage image;
  UseStrip(image, 3, 1);
  image.SetSpeed(250);
  EXPECT_EQ(image.Timer().interval(), 250);
  image.SetMovie(true);
  EXPECT_TRUE(image.Timer().isActive());
  EXPECT_EQ(image.ShownFrame(), 0) << "Movie only switches the timer";
  // SkipStartPos stops the movie flag but leaves the timer to run out.
  image.SetSkipStartPos(true);
  EXPECT_FALSE(image.GetMovie());
  EXPECT_TRUE(image.Timer().isActive());
  image.SetMovie(false);
  EXPECT_FALSE(image.Timer().isActive());

  // No interval: the frames stand still instead of racing.
  image.SetSpeed(0);
  image.Start();
  EXPECT_FALSE(image.Timer().isActive());
}

TEST(AnimationImage, MouseMoviePlaysWhileTheMouseIsOver) {
  TAnimationImage image;
  UseStrip(image, 3, 1);
  image.SetMouseMovie(true);
  qvtest::SendEnter(image);
  EXPECT_TRUE(image.GetMovie());
  Tick(image);
  EXPECT_EQ(image.ShownFrame(), 1);
  qvtest::SendLeave(image);
  EXPECT_FALSE(image.GetMovie());
  EXPECT_EQ(image.ShownFrame(), 0);
}

// Each pixel tells where it came from: red = x, green = y.
QImage Coordinates(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(x * 5, y * 5, 0));
  return image;
}

TEST(AnimationImage, ClickActionShiftsThePictureWhileHeld) {
  TAnimationImage image;
  image.SetPicture(Coordinates(40, 40));
  image.SetClickAction(true);
  EXPECT_EQ(image.size(), QSize(39, 39));
  EXPECT_EQ(Pixel(Render(image), 0, 0), RGB(0, 0, 0));
  QTest::mousePress(&image, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(Pixel(Render(image), 0, 0), RGB(5, 5, 0)) << "source pixel (1, 1)";
  QTest::mouseRelease(&image, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(Pixel(Render(image), 0, 0), RGB(0, 0, 0));
}

TEST(AnimationImage, Focused3DFramesWhileHovered) {
  TAnimationImage image;
  image.SetPicture(Coordinates(40, 40));
  image.SetFocused3D(true);
  EXPECT_TRUE(image.GetClickAction());
  const TColor light = ColorToRGB(clBtnHighlight);
  const TColor dark = ColorToRGB(clBtnShadow);
  EXPECT_NE(Pixel(Render(image), 0, 20), light);
  qvtest::SendEnter(image);
  QImage shot = Render(image);
  EXPECT_EQ(Pixel(shot, 0, 20), light);
  EXPECT_EQ(Pixel(shot, 20, 0), light);
  EXPECT_EQ(Pixel(shot, 38, 20), dark);
  EXPECT_EQ(Pixel(shot, 20, 38), dark);
  QTest::mousePress(&image, Qt::LeftButton, {}, QPoint(5, 5));
  shot = Render(image);
  EXPECT_EQ(Pixel(shot, 0, 20), dark);
  EXPECT_EQ(Pixel(shot, 38, 20), light);
  QTest::mouseRelease(&image, Qt::LeftButton, {}, QPoint(5, 5));
}

TEST(AnimationImage, StrechFillsTheControl) {
  TAnimationImage image;
  image.SetAutoSize(false);
  image.SetStrech(true);
  image.resize(40, 20);
  UseStrip(image, 2, 1);
  EXPECT_EQ(qvtest::CountOf(Render(image), FrameColor(0)), 40 * 20);
}

}  // namespace
