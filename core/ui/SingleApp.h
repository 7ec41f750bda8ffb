#pragma once
// Keeps a second copy of a program from running. A lock file named after the
// unique name marks the running instance (the lock goes with the process, so
// a crashed instance never blocks the next start); a local socket beside it
// lets a second instance ask the first to come to the front.
#include <QObject>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

class QLocalServer;
class QWidget;

namespace qv {

enum class TDupInstAction { diActivateFirst, diException, diTerminate };

// A second guard in one process.
class EMultiSingleInstance : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// A second instance under diException; what() is the ErrorMessage (CP932).
class EMultiAppInstance : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TSingleApp : public QObject {
  Q_OBJECT
 public:
  // owner is the form that holds the guard: the window a second instance
  // brings to the front. Throws EMultiSingleInstance when a guard exists.
  explicit TSingleApp(QWidget* owner);
  ~TSingleApp() override;

  const std::string& GetUniqueName() const { return uniqueName_; }
  void SetUniqueName(std::string name) { uniqueName_ = std::move(name); }
  TDupInstAction GetDupInstAction() const { return action_; }
  void SetDupInstAction(TDupInstAction action) { action_ = action; }
  // CP932 text; "すでに起動されています" by default.
  const std::string& GetErrorMessage() const { return errorMessage_; }
  void SetErrorMessage(std::string text) { errorMessage_ = std::move(text); }
  // Called in a second instance before its action.
  std::function<void()> OnDuplicate;

  // The check, run once the owning form has been built. A second instance
  // under diActivateFirst or diTerminate ends the application (see
  // Terminated); under diException it throws EMultiAppInstance.
  void Loaded();
  bool IsFirstInstance() const { return lockFd_ >= 0; }
  // The program is to end: the check found another instance.
  bool Terminated() const { return terminated_; }

  // Where the lock and the socket of a unique name live: the user's runtime
  // folder ($XDG_RUNTIME_DIR), else the temporary folder with the user id.
  static std::string LockPath(const std::string& uniqueName);
  static std::string SocketPath(const std::string& uniqueName);

 private:
  void Listen();
  void ActivateOwner();
  void Terminate();

  QWidget* owner_;
  std::string uniqueName_;
  TDupInstAction action_ = TDupInstAction::diActivateFirst;
  std::string errorMessage_;
  int lockFd_ = -1;
  QLocalServer* server_ = nullptr;
  bool terminated_ = false;
};

}  // namespace qv
