// The splash and the about box on a real X server with openbox, where
// placement is real: both are centred on the screen, and the about box
// closes on a click of the left button only.
#include "AppFolderFixture.h"
#include "QtPump.h"

#include "launcher/splash.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace qvtest;

namespace {

bool Exposed(QWidget* w) { return w && w->windowHandle() && w->windowHandle()->isExposed(); }

QPoint ScreenCentre(QWidget* w) { return w->screen()->availableGeometry().center(); }

QWidget* ShownSplash() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "SplashWindow" && w->isVisible()) return w;
  return nullptr;
}

}  // namespace

class SplashDesktopTest : public AppFolderTest {};

TEST_F(SplashDesktopTest, TheSplashIsCentredOnTheScreen) {
  QPointer<qv::TSplashWindow> splash = qv::TSplashWindow::ShowSplash();
  ASSERT_NE(splash, nullptr);
  PumpUntil([&] { return Exposed(splash); }, 5000);
  ASSERT_TRUE(Exposed(splash));
  splash->grab().save(QString::fromStdString(ArtifactPath("launcher-splash.png").string()));
  // Borderless: its geometry is all of it.
  const QRect frame = splash->geometry();
  const QPoint centre = ScreenCentre(splash);

  EXPECT_LE(std::abs(frame.center().x() - centre.x()), 1) << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height() << " centre " << centre.x() << "," << centre.y();
  EXPECT_LE(std::abs(frame.center().y() - centre.y()), 1) << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height() << " centre " << centre.x() << "," << centre.y();
  qv::TSplashWindow::CloseSplash();
  PumpUntil([&] { return splash.isNull(); }, 5000);
}

// Opened from the launcher's logo: over the middle of the screen, not over
// the launcher; the right button leaves it up, the left closes it.
TEST_F(SplashDesktopTest, TheAboutBoxIsCentredAndClosesOnALeftClickOnly) {
  StartLauncher();
  QRect frame;
  QPoint centre;
  bool upAfterRight = false, upAfterMiddle = false, closedByLeft = false, seen = false;
  QTimer::singleShot(0, [&] {
    PumpUntil([&] { return Exposed(ShownSplash()); }, 5000);
    auto* about = qobject_cast<qv::TSplashWindow*>(ShownSplash());
    if (!about) return;
    seen = true;
    frame = about->geometry();
    centre = ScreenCentre(about);
    about->screen()->grabWindow(0).save(QString::fromStdString(ArtifactPath("launcher-about-box-screen.png").string()));
    QTest::mouseClick(about->memVersion->viewport(), Qt::RightButton);
    QTest::mouseClick(about->lblVersion, Qt::RightButton);
    upAfterRight = about->isVisible();
    QTest::mouseClick(about, Qt::MiddleButton);
    upAfterMiddle = about->isVisible();
    QTest::mouseClick(about->memVersion->viewport(), Qt::LeftButton);
    closedByLeft = !about->isVisible();
    if (!closedByLeft) about->done(0);
  });
  // The right button on the logo opens nothing; the left one opens the box.
  QTest::mouseClick(launch_->ImgLogo, Qt::RightButton);
  ASSERT_FALSE(seen);
  QTest::mouseClick(launch_->ImgLogo, Qt::LeftButton);
  ASSERT_TRUE(seen) << "no about box";
  EXPECT_LE(std::abs(frame.center().x() - centre.x()), 1) << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height() << " centre " << centre.x() << "," << centre.y();
  EXPECT_LE(std::abs(frame.center().y() - centre.y()), 1) << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height() << " centre " << centre.x() << "," << centre.y();
  EXPECT_TRUE(upAfterRight);
  EXPECT_TRUE(upAfterMiddle);
  EXPECT_TRUE(closedByLeft);
}
