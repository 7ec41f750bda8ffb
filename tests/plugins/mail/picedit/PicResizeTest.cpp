// The resize window: the target size, the frame and the picture under the
// mouse, 原寸大 and 自動, and the resampled result.
#include "plugins/mail/picedit/QvPicResizeFRM.h"

#include "controls/BRVGraphicsEX.h"
#include "image/QkJPEG.h"

#include "BitmapEditTestSupport.h"
#include "PanelTestSupport.h"
#include "PicEditTestSupport.h"
#include "JpegPhoto.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

using namespace qv;
using namespace bitmaptest;
using Z = TPicResizeArea;

namespace {

class PicResizeTest : public ::testing::Test {
 protected:
  template <typename Picture>
  void Open(const Picture& picture) {
    form_.SetPicture(picture);
    form_.show();
    form_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
  }
  TfrmPicResize form_;
};

TEST_F(PicResizeTest, OpeningChoosesTheTargetByThePictureSize) {
  const std::pair<QSize, QSize> cases[] = {
      {{300, 200}, {96, 72}}, {{192, 130}, {192, 130}}, {{96, 84}, {96, 84}}, {{96, 72}, {96, 72}}, {{20, 10}, {96, 72}}};
  for (const auto& [picture, target] : cases) {
    form_.SetPicture(picedittest::Filled(picture.width(), picture.height(), qRgb(9, 9, 9)));
    EXPECT_EQ(form_.Target(), target) << picture.width() << "x" << picture.height();
    EXPECT_EQ(form_.FrameRect().topLeft(), QPoint(0, 0));
    EXPECT_EQ(form_.PictureRect(), QRect(QPoint(0, 0), picture));
    EXPECT_EQ(form_.edtWidth->value(), target.width());
    EXPECT_EQ(form_.edtHeight->value(), target.height());
  }
  EXPECT_EQ(form_.windowTitle(), QString::fromUtf8("VeoQuorvel - 画像サイズ変更"));
}

TEST_F(PicResizeTest, AutoFitsTheFrameKeepingProportionsAndActualSizeGoesBack) {
  struct Case {
    QSize picture, target;
    QRect shown;
  };
  const Case cases[] = {
      {{300, 200}, {96, 72}, {0, 4, 96, 64}},      // full width
      {{100, 300}, {96, 72}, {36, 0, 24, 72}},     // too tall: full height
      {{40, 30}, {192, 130}, {9, 0, 173, 130}},   // made larger
      {{1000, 2}, {96, 72}, {0, 35, 96, 1}},       // never below a pixel
  };
  for (const Case& c : cases) {
    form_.SetPicture(picedittest::Filled(c.picture.width(), c.picture.height(), qRgb(9, 9, 9)));
    form_.SetTarget(c.target.width(), c.target.height());
    form_.MoveFrameTo({30, 20});
    form_.AutoFit();
    EXPECT_EQ(form_.PictureRect(), c.shown) << c.picture.width() << "x" << c.picture.height();
    EXPECT_EQ(form_.FrameRect(), QRect(QPoint(0, 0), c.target));
    form_.MoveFrameTo({5, 5});
    form_.ActualSize();
    EXPECT_EQ(form_.PictureRect(), QRect(QPoint(0, 0), c.picture));
    EXPECT_EQ(form_.FrameRect(), QRect(QPoint(0, 0), c.target));
  }
}

TEST_F(PicResizeTest, OKGivesExactlyTheTargetWithTheResampledPictureOnWhite) {
  // Four coloured quarters, so that the resampled picture has edges to check.
  QImage picture = picedittest::Filled(192, 130, qRgb(255, 0, 0));
  for (int y = 0; y < 130; ++y)
    for (int x = 0; x < 192; ++x)
      if ((x < 96) != (y < 65)) picture.setPixel(x, y, qRgb(0, x, y));
  Open(picture);
  form_.btnPreset->menu()->actions()[0]->trigger();
  EXPECT_EQ(form_.Target(), QSize(96, 72));
  form_.AutoFit();
  ASSERT_EQ(form_.PictureRect(), QRect(0, 3, 96, 65));
  form_.btnOK->click();
  ASSERT_EQ(form_.result(), QDialog::Accepted);
  const QImage result = form_.Result().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(result.size(), QSize(96, 72));
  QImage expected = picture;
  ResampleBitmap(expected, 96, 65);
  expected = expected.convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(result.copy(0, 3, 96, 65), expected);
  EXPECT_EQ(CountColor(result.copy(0, 0, 96, 3), clWhite), 96 * 3);
  EXPECT_EQ(CountColor(result.copy(0, 68, 96, 4), clWhite), 96 * 4);

  // Every target size comes out exactly, the picture at its offset.
  form_.SetPicture(picture);
  form_.edtWidth->setValue(50);
  form_.edtHeight->setValue(7);
  form_.MovePictureTo({3, 2});
  const QImage cut = form_.Render();
  ASSERT_EQ(cut.size(), QSize(50, 7));
  EXPECT_EQ(cut.copy(0, 0, 50, 2), picedittest::Filled(50, 2, qRgb(255, 255, 255)));
  EXPECT_EQ(cut.pixel(2, 4), qRgb(255, 255, 255));
  EXPECT_EQ(cut.copy(3, 2, 47, 5), picture.copy(0, 0, 47, 5));
}

TEST_F(PicResizeTest, TheMouseDragsTheFrameAndThePictureWithinTheirLimits) {
  Open(picedittest::Filled(300, 200, qRgb(0, 128, 0)));
  Z* area = form_.pnlArea;
  // The frame (96 x 72 at the origin) is taken inside, clear of the picture's zones.
  EXPECT_EQ(area->ZoneAt({50, 40}), Z::zFrame);
  EXPECT_EQ(area->ZoneAt({150, 100}), Z::zPicture);
  Drag(area, {{50, 40}, {90, 60}, {110, 70}});
  EXPECT_EQ(form_.FrameRect(), QRect(60, 30, 96, 72));
  // Never left of or above 0; never off the picture (2 pixels stay inside).
  Drag(area, {{100, 50}, {-400, -400}});
  EXPECT_EQ(form_.FrameRect().topLeft(), QPoint(0, 0));
  Drag(area, {{50, 40}, {1000, 1000}});
  EXPECT_EQ(form_.FrameRect().topLeft(), QPoint(298, 198));

  // The picture moves by its inside, keeping the same overlap with the frame.
  form_.MoveFrameTo({0, 0});
  Drag(area, {{150, 150}, {170, 160}});
  EXPECT_EQ(form_.PictureRect(), QRect(20, 10, 300, 200));
  form_.MovePictureTo({500, 500});
  EXPECT_EQ(form_.PictureRect().topLeft(), QPoint(94, 70));
  form_.MovePictureTo({-50, -50});
  EXPECT_EQ(form_.PictureRect().topLeft(), QPoint(0, 0));
}

TEST_F(PicResizeTest, APictureInsideTheFrameIsDraggedByItsInsideAndTheFrameAroundIt) {
  Open(picedittest::Filled(50, 40, qRgb(0, 128, 0)));
  ASSERT_EQ(form_.Target(), QSize(96, 72));
  Z* area = form_.pnlArea;
  EXPECT_EQ(area->ZoneAt({25, 20}), Z::zPicture);
  SendMouse(area, QEvent::MouseMove, {25, 20}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(area->cursor().shape(), Qt::SizeAllCursor);
  Drag(area, {{25, 20}, {35, 25}, {45, 30}});
  EXPECT_EQ(form_.PictureRect(), QRect(20, 10, 50, 40));
  EXPECT_EQ(form_.FrameRect(), QRect(0, 0, 96, 72));
  // Half out of the frame it is still taken by its inside.
  Drag(area, {{45, 30}, {85, 50}});
  EXPECT_EQ(form_.PictureRect(), QRect(60, 30, 50, 40));
  EXPECT_EQ(area->ZoneAt({80, 50}), Z::zPicture);
  // The frame is taken where the picture is not.
  EXPECT_EQ(area->ZoneAt({10, 10}), Z::zFrame);
  Drag(area, {{10, 10}, {15, 12}});
  EXPECT_EQ(form_.FrameRect(), QRect(5, 2, 96, 72));
  EXPECT_EQ(form_.PictureRect(), QRect(60, 30, 50, 40));
}

TEST_F(PicResizeTest, EdgesAndCornersResizeThePictureNeverBelowFourPixels) {
  Open(picedittest::Filled(300, 200, qRgb(0, 128, 0)));
  Z* area = form_.pnlArea;
  struct Case {
    QPoint at;
    Z::Zone zone;
    Qt::CursorShape cursor;
  };
  const Case cases[] = {
      {{2, 2}, Z::zTopLeft, Qt::SizeFDiagCursor},    {{297, 2}, Z::zTopRight, Qt::SizeBDiagCursor},
      {{2, 197}, Z::zBottomLeft, Qt::SizeBDiagCursor}, {{290, 190}, Z::zBottomRight, Qt::SizeFDiagCursor},
      {{150, 3}, Z::zTop, Qt::SizeVerCursor},        {{150, 196}, Z::zBottom, Qt::SizeVerCursor},
      {{3, 100}, Z::zLeft, Qt::SizeHorCursor},       {{296, 100}, Z::zRight, Qt::SizeHorCursor},
      {{150, 100}, Z::zPicture, Qt::SizeAllCursor},  {{50, 40}, Z::zFrame, Qt::OpenHandCursor},
      {{310, 100}, Z::zNone, Qt::ArrowCursor},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(area->ZoneAt(c.at), c.zone) << c.at.x() << "," << c.at.y();
    SendMouse(area, QEvent::MouseMove, c.at, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(area->cursor().shape(), c.cursor) << c.at.x() << "," << c.at.y();
  }
  Drag(area, {{296, 196}, {150, 120}});
  EXPECT_EQ(form_.PictureRect(), QRect(0, 0, 154, 124));
  Drag(area, {{150, 60}, {10, 60}});
  EXPECT_EQ(form_.PictureRect(), QRect(0, 0, 14, 124));
  // The right edge cannot pass its left one.
  Drag(area, {{12, 60}, {-100, 60}});
  EXPECT_EQ(form_.PictureRect(), QRect(0, 0, 4, 124));
  form_.ActualSize();
  // The top-left corner: the other edges stay, and the picture keeps 2
  // pixels inside the frame.
  Drag(area, {{1, 1}, {200, 500}});
  EXPECT_EQ(form_.PictureRect(), QRect(94, 70, 206, 130));
  form_.MoveFrameTo({250, 150});
  Drag(area, {{95, 71}, {400, 400}});
  EXPECT_EQ(form_.PictureRect(), QRect(296, 196, 4, 4));
}

TEST_F(PicResizeTest, ATypedSizeCountsWhenTheFieldIsLeftAndEnterGoesToOK) {
  Open(picedittest::Filled(300, 200, qRgb(0, 128, 0)));
  form_.edtWidth->setFocus();
  form_.edtWidth->selectAll();
  QTest::keyClicks(form_.edtWidth, QStringLiteral("150"));
  EXPECT_EQ(form_.Target().width(), 96);
  QTest::keyClick(form_.edtWidth, Qt::Key_Return);
  EXPECT_EQ(form_.Target().width(), 150);
  EXPECT_TRUE(form_.btnOK->hasFocus());
  EXPECT_TRUE(form_.isVisible());
  // Values beyond the limits stop at them.
  form_.SetTarget(500, 1);
  EXPECT_EQ(form_.Target(), QSize(192, 4));
  form_.btnPreset->menu()->actions()[1]->trigger();
  EXPECT_EQ(form_.Target(), QSize(96, 84));
  form_.btnPreset->menu()->actions()[2]->trigger();
  EXPECT_EQ(form_.Target(), QSize(192, 130));
}

// A photo is shown and resampled from the scale of its shown size, and of a
// large one from the part in view: the pixels are those of the photo
// decoded at that scale.
TEST_F(PicResizeTest, APhotoIsShownAndResampledFromTheScaleItIsShownAt) {
  const std::string bytes = qvtest::PhotoJpeg(3000, 2400);
  const TScaledPicture photo = TScaledPicture::FromJpeg(bytes);
  const QImage full = LoadJPEGImage(bytes);
  form_.resize(640, 480);
  Open(photo);
  ASSERT_EQ(form_.PictureRect(), QRect(0, 0, 3000, 2400));
  EXPECT_EQ(form_.Target(), QSize(96, 72));
  // At its own size, scrolled to its far corner: the photo's own pixels.
  QScrollBar* h = form_.scbArea->horizontalScrollBar();
  QScrollBar* v = form_.scbArea->verticalScrollBar();
  h->setValue(h->maximum());
  v->setValue(v->maximum());
  const QRect seen = form_.pnlArea->visibleRegion().boundingRect().intersected(QRect(0, 0, 3000, 2400));
  ASSERT_GT(seen.width(), 100);
  const QImage view = form_.pnlArea->grab(seen).toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(view, full.copy(seen));
  // OK at its own size cuts the frame's part out unchanged.
  form_.MoveFrameTo({2100, 1700});
  EXPECT_EQ(form_.Render().convertToFormat(QImage::Format_RGB32), full.copy(2100, 1700, 96, 72));

  // Shown at half its size, decoded at 4/8: the frame's part of that.
  form_.MoveFrameTo({0, 0});
  form_.ResizePicture(Z::zBottomRight, form_.PictureRect(), {-1500, -1200});
  ASSERT_EQ(form_.PictureRect(), QRect(0, 0, 1500, 1200));
  form_.MoveFrameTo({700, 500});
  const QImage half = LoadJPEGImage(bytes, 4);
  EXPECT_EQ(form_.Render().convertToFormat(QImage::Format_RGB32), half.copy(700, 500, 96, 72));
  // At 1000 x 800, from the 3/8 scale (1125 x 900) resampled: the part made
  // from the pixels decoded round it is what the whole scale gives.
  form_.MoveFrameTo({0, 0});
  form_.ResizePicture(Z::zBottomRight, form_.PictureRect(), {-500, -400});
  ASSERT_EQ(form_.PictureRect(), QRect(0, 0, 1000, 800));
  form_.MoveFrameTo({450, 333});
  const QImage level = LoadJPEGImage(bytes, 3);
  ASSERT_EQ(level.size(), QSize(1125, 900));
  const QRect inFrame = form_.FrameRect();
  EXPECT_EQ(form_.Render().convertToFormat(QImage::Format_RGB32),
            ResampleBitmapPart(level, 1000, 800, inFrame).convertToFormat(QImage::Format_RGB32));
  // 自動 fits it to the frame from its smallest scale, close to the whole photo resampled.
  form_.AutoFit();
  ASSERT_EQ(form_.PictureRect(), QRect(3, 0, 90, 72));
  QImage expected = full;
  ResampleBitmap(expected, 90, 72);
  const QImage result = form_.Render().convertToFormat(QImage::Format_RGB32);
  int worst = 0;
  for (int y = 0; y < 72; ++y)
    for (int x = 0; x < 90; ++x) {
      const QRgb a = result.pixel(x + 3, y), b = expected.pixel(x, y);
      worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
    }
  EXPECT_LE(worst, 8);
  EXPECT_EQ(result.pixel(1, 30), qRgb(255, 255, 255));
}

TEST_F(PicResizeTest, ScreenshotOfTheWindow) {
  QImage picture(300, 200, QImage::Format_RGB32);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x) picture.setPixel(x, y, qRgb(x * 255 / 300, 120, y * 255 / 200));
  Open(picture);
  form_.MoveFrameTo({40, 30});
  const QImage shot = form_.grab().toImage();
  ASSERT_TRUE(shot.save(QString::fromStdString(qvtest::ArtifactPath("picture-resize.png").string())));
  // The picture at its place in the area, the frame's dashes round the chosen part.
  const QPoint origin = form_.pnlArea->mapTo(&form_, QPoint(0, 0));
  EXPECT_EQ(shot.pixel(origin + QPoint(150, 100)), picture.pixel(150, 100));
  int red = 0;
  for (int x = 40; x < 136; ++x) red += shot.pixel(origin + QPoint(x, 29)) == qRgb(255, 0, 0);
  EXPECT_GT(red, 30);
}

}  // namespace
