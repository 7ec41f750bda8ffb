#include "core/ui/SingleApp.h"

#include "platform/Cp932.h"
#include "platform/FileUtil.h"

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

namespace qv {
namespace {

std::atomic<bool> g_guardExists{false};

constexpr char kActivate[] = "activate\n";

// The name as a file name: separators and other awkward bytes become "_".
std::string FileBase(const std::string& uniqueName) {
  std::string base;
  for (char c : uniqueName) {
    const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' ||
                       c == '_' || c == '.';
    base += plain ? c : '_';
  }
  return base.empty() ? std::string("_") : base;
}

// In a folder only this user can use: a lock or socket another user planted
// could hold the program off or listen in its place. Without one there is no
// guard (empty), and the user is told why once.
std::string RuntimeBase(const std::string& uniqueName) {
  std::string why;
  const std::filesystem::path dir = PrivateRuntimeFolder(&why);
  if (dir.empty()) {
    static std::once_flag told;
    std::call_once(told, [&] {
      std::fprintf(stderr, "Quorvel: running without the single-instance guard: %s\n", why.c_str());
    });
    return {};
  }
  return (dir / FileBase(uniqueName)).string();
}

}  // namespace

TSingleApp::TSingleApp(QWidget* owner) : QObject(owner), owner_(owner), errorMessage_(cp932::FromUtf8("すでに起動されています")) {
  if (g_guardExists.exchange(true)) throw EMultiSingleInstance("Only single component allowed");
}

TSingleApp::~TSingleApp() {
  if (server_) server_->close();
  if (lockFd_ >= 0) {
    // Closing the file releases the lock; the socket goes first so that a
    // starter that finds the lock free never talks to a dying instance.
    QLocalServer::removeServer(QString::fromStdString(SocketPath(uniqueName_)));
    ::close(lockFd_);
  }
  g_guardExists = false;
}

std::string TSingleApp::LockPath(const std::string& uniqueName) {
  const std::string base = RuntimeBase(uniqueName);
  return base.empty() ? base : base + ".lock";
}

std::string TSingleApp::SocketPath(const std::string& uniqueName) {
  const std::string base = RuntimeBase(uniqueName);
  return base.empty() ? base : base + ".sock";
}

void TSingleApp::Loaded() {
  if (lockFd_ >= 0 || terminated_) return;
  const std::string lockPath = LockPath(uniqueName_);
  if (lockPath.empty()) return;
  const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  // A lock that cannot even be created is no proof of another instance:
  // the program runs unguarded rather than not at all.
  if (fd < 0) return;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    lockFd_ = fd;
    Listen();
    return;
  }
  const bool held = errno == EWOULDBLOCK;
  ::close(fd);
  if (!held) return;
  if (OnDuplicate) OnDuplicate();
  switch (action_) {
    case TDupInstAction::diActivateFirst: {
      QLocalSocket socket;
      socket.connectToServer(QString::fromStdString(SocketPath(uniqueName_)));
      if (socket.waitForConnected(2000)) {
        socket.write(kActivate, sizeof kActivate - 1);
        socket.waitForBytesWritten(2000);
        socket.disconnectFromServer();
      }
      Terminate();
      break;
    }
    case TDupInstAction::diException:
      throw EMultiAppInstance(errorMessage_);
    case TDupInstAction::diTerminate:
      Terminate();
      break;
  }
}

void TSingleApp::Listen() {
  const QString name = QString::fromStdString(SocketPath(uniqueName_));
  // Holding the lock, any socket found is a dead instance's.
  QLocalServer::removeServer(name);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name)) return;  // still the first instance; only activation is lost
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* client = server_->nextPendingConnection()) {
      auto serve = [this, client] {
        if (client->readAll().contains("activate")) ActivateOwner();
      };
      connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
      connect(client, &QLocalSocket::readyRead, this, serve);
      if (client->bytesAvailable() > 0) serve();
    }
  });
}

void TSingleApp::ActivateOwner() {
  if (!owner_) return;
  QWidget* window = owner_->window();
  if (window->isMinimized())
    window->showNormal();
  else
    window->show();
  window->raise();
  window->activateWindow();
  // A dialog open over the window is what the user deals with first.
  if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != window) {
    modal->raise();
    modal->activateWindow();
  }
}

void TSingleApp::Terminate() {
  terminated_ = true;
  // Ends a running event loop; before the loop the program checks Terminated.
  QCoreApplication::exit(0);
}

}  // namespace qv
