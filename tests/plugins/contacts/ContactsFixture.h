#pragma once
// A temporary launcher folder holding the built QvAddress.qpl and
// QvBookMark.qpl, a plug-in loaded through the launcher's own plug-in holder
// with host callbacks a test scripts, the modal windows it opens answered as
// a user would, and readers of what its list shows.
#include "core/data/Bookmarks.h"
#include "core/data/PhoneBook.h"
#include "launcher/QvDLLForm.h"

#include "ContactData.h"
#include "TestSupport.h"

#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QTreeView;

namespace contactstest {

// CP932 bytes of a UTF-8 literal, and back.
inline std::string J(std::string_view utf8) { return qvtest::Sjis(utf8); }
std::string U(std::string_view cp932);

// The modal windows a step of a test expects, answered in order as they open.
// A modal window no step expects is closed and counted as unexpected.
class ModalScript {
 public:
  ModalScript();
  ~ModalScript();
  // A message box, answered with the button; its text (UTF-8) is kept.
  void Box(QMessageBox::StandardButton answer = QMessageBox::Ok);
  // A file dialog, given the file (or cancelled when path is empty).
  void File(const std::filesystem::path& path);
  // A window of that object name, handed to act (which closes it).
  void Window(const char* objectName, std::function<void(QWidget&)> act);
  // Modal windows of that object name are left alone (a session dialog).
  void Ignore(const char* objectName) { ignored_.push_back(objectName); }
  // Every message box text so far, then forgets them.
  std::vector<std::string> TakeBoxes();
  // Whether every expected window came and nothing else did.
  ::testing::AssertionResult Done() const;

 private:
  struct Step {
    std::string what;
    std::function<bool(QWidget*)> matches;
    std::function<void(QWidget*)> act;
    bool nested = false;  // the act may open modal windows of its own
  };
  void Tick();
  std::deque<Step> steps_;
  std::vector<std::string> boxes_;
  std::vector<std::string> unexpected_;
  std::vector<QPointer<QWidget>> handled_;
  std::vector<std::string> ignored_;
  QTimer timer_;
};

class ContactsTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

 public:
  // Loads the module (QvAddress.qpl or QvBookMark.qpl) through the host's holder.
  void Load(const char* module);
  // ShowForm and the window it shows.
  QWidget* Show();
  void Unload();
  // An export of the loaded module (the handle the host holds).
  void* Export(const char* name) const;

  QWidget* Window() const { return window_; }
  QAction* Action(const char* name) const;
  QTreeView* List() const;
  int Rows() const;
  // A column's display texts in list order (UTF-8).
  std::vector<std::string> Column(int column) const;
  std::string CountText() const;
  // Selects the rows (list order) alone.
  void Select(const std::vector<int>& rows);

  std::filesystem::path App() const { return dir_; }
  std::filesystem::path Ini() const { return dir_ / "Quorvel.ini"; }
  std::filesystem::path Exchange(int kind) const;

  // What the host answers to the parameter callback (true by default).
  static std::function<bool(int32_t kind, int32_t value)>& OnParam();
  // The host callbacks the plug-in made, in order (texts UTF-8).
  static std::vector<std::pair<int32_t, int32_t>>& ParamCalls();
  static std::vector<std::pair<int32_t, std::string>>& StrCalls();
  static bool& StrCallbackSet();

  qvtest::TempDir tmp_;
  std::filesystem::path dir_;
  std::unique_ptr<qvtest::ScopedLauncherDir> launcherDir_;
  std::unique_ptr<qv::TDllForm> plugin_;
  std::string module_;
  QWidget* window_ = nullptr;
  ModalScript modals_;
};

// A phone-book file of the entries in the folder.
std::filesystem::path WriteBook(const std::filesystem::path& path, const qv::PhoneBookList& entries);

}  // namespace contactstest
