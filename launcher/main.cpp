// Quorvel launcher: splash first, then the main window, the session dialog
// and the notice window, then the message loop until the main window closes.
#include "launcher/LauncherWindows.h"
#include "launcher/splash.h"

#include <QApplication>
#include <cstdio>
#include <memory>

namespace {
// The program's main window.
qv::TfrmLaunch* frmLaunch = nullptr;
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (!qv::InstallQtTranslations())
    std::fprintf(stderr, "Quorvel: Qt's Japanese texts (qtbase_ja, package qt6-translations-l10n) not found\n");
  qv::TSplashWindow::ShowSplash();
  // The program's title. (Not the display name: Qt would append that to
  // every window caption.)
  QApplication::setApplicationName(QStringLiteral("VeoQuorvel"));
  // The program ends with its main window, whatever else is still open.
  QApplication::setQuitOnLastWindowClosed(false);

  std::unique_ptr<qv::TfrmLaunch> launch;
  std::unique_ptr<qv::TfrmConnecting> connecting;
  std::unique_ptr<qv::TfrmReceiveMsg> notice;
  qv::MakeLauncherWindows(launch, connecting, notice);
  frmLaunch = launch.get();
  int rc = launch->SecondInstance() ? 0 : 1;
  if (!launch->Terminated()) {
    launch->show();
    launch->raise();
    launch->activateWindow();
    qv::TSplashWindow::CloseSplash();
    rc = app.exec();
  }
  qv::TSplashWindow::CloseSplash();
  frmLaunch = nullptr;
  qv::EndLauncherWindows(launch, connecting, notice);
  return rc;
}
