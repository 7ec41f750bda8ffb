// Quorvel launcher: splash first, then the main window, the session dialog
// and the notice window, then the message loop until the main window closes.
#include "launcher/QvConnectFRM.h"
#include "launcher/QvLaunchFRM.h"
#include "launcher/QvReceiveMsgFRM.h"
#include "launcher/splash.h"

#include <QApplication>
#include <memory>

namespace {
// The program's main window.
qv::TfrmLaunch* frmLaunch = nullptr;
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  qv::TSplashWindow::ShowSplash();
  // The program's title. (Not the display name: Qt would append that to
  // every window caption.)
  QApplication::setApplicationName(QStringLiteral("VeoQuorvel"));
  // The program ends with its main window, whatever else is still open.
  QApplication::setQuitOnLastWindowClosed(false);

  auto launch = std::make_unique<qv::TfrmLaunch>();
  auto connecting = std::make_unique<qv::TfrmConnecting>();
  auto notice = std::make_unique<qv::TfrmReceiveMsg>();
  frmLaunch = launch.get();
  frmLaunch->SetSessionDialog(connecting.get());
  frmLaunch->SetNoticeWindow(notice.get());
  int rc = launch->SecondInstance() ? 0 : 1;
  if (!launch->Terminated()) {
    launch->show();
    launch->raise();
    launch->activateWindow();
    qv::TSplashWindow::CloseSplash();
    rc = app.exec();
  }
  qv::TSplashWindow::CloseSplash();
  // Forms go in reverse order of creation; the main window last, so the
  // plug-ins and the serial-link module are unloaded after every other window.
  notice.reset();
  connecting.reset();
  frmLaunch = nullptr;
  launch.reset();
  return rc;
}
