#pragma once
// A temporary launcher folder holding the built QvMail.qpl and a mail folder,
// the plug-in loaded through the launcher's own plug-in holder, and readers of
// what its window shows and what it wrote to the folder files.
#include "core/data/MailStore.h"
#include "launcher/QvDLLForm.h"

#include "TestSupport.h"

#include <QMessageBox>
#include <QMimeData>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QAbstractItemModel;
class QAction;
class QLabel;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

namespace mailtest {

// CP932 bytes of a UTF-8 literal, and back.
inline std::string J(std::string_view utf8) { return qvtest::Sjis(utf8); }
std::string U(std::string_view cp932);

// An index row; From and To are phone numbers except for e-mail (kind 3).
struct MailSpec {
  int kind = 3;
  bool outgoing = false;
  bool unread = false;
  bool isProtected = false;
  bool attachment = false;
  std::string from = "from@example.jp";  // UTF-8
  std::string to = "to@example.jp";
  std::string subject = "subject";
  std::string date = "2024/05/01 10:00:00";
};
qv::MailIndexRow Row(const MailSpec& spec);
// Appends a mail to the folder (UTF-8 name) and returns its id.
std::string AddMail(std::string_view folder, std::string_view text, const MailSpec& spec = {});
// (subject in UTF-8, text) of every live mail, in index order.
std::vector<std::pair<std::string, std::string>> LiveMails(std::string_view folder);
// A column of the live rows, in index order.
std::vector<std::string> LiveColumn(std::string_view folder, int column);

// Answers the message boxes that open, in order, and keeps their texts (UTF-8).
// A box beyond the answers is answered No and counted as unexpected.
class BoxAnswers {
 public:
  explicit BoxAnswers(std::vector<QMessageBox::StandardButton> answers);
  ~BoxAnswers();
  const std::vector<std::string>& Texts() const { return texts_; }
  // Whether every box showed its text as plain text, never as markup.
  bool AllPlainText() const { return allPlain_; }
  int Unexpected() const { return unexpected_; }

 private:
  std::vector<QMessageBox::StandardButton> answers_;
  std::vector<std::string> texts_;
  int unexpected_ = 0;
  bool allPlain_ = true;
  QTimer timer_;
};

class MailListTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::filesystem::path MailDir() const { return dir_ / "MailLog"; }
  std::filesystem::path IndexFile(std::string_view folder) const;
  std::filesystem::path StoreFile(std::string_view folder) const;

  // Loads QvMail.qpl through the host's plug-in holder and shows its window.
  void Load();
  void Unload();

  QWidget* Window() const { return window_; }
  QTreeWidget* Tree() const;
  QTreeView* List() const;
  QAbstractItemModel* ListModel() const;
  QAction* Action(const char* name) const;
  QLabel* Label(const char* name) const;
  std::string CountText() const;     // UTF-8
  std::string ShownFolder() const;   // UTF-8
  std::vector<std::string> FolderNodes() const;
  QTreeWidgetItem* Node(std::string_view utf8) const;
  // Display texts of the list, row by row (UTF-8).
  std::vector<std::vector<std::string>> ListRows() const;
  std::vector<std::string> ListColumn(int column) const;
  void ClickFolder(std::string_view utf8);
  // Selects the list rows whose 表題 is one of the subjects.
  void SelectSubjects(const std::vector<std::string>& subjects);
  void Trigger(const char* action);
  // Drags data over the folder node as a drag does (enter, move) and, when
  // drop is set, drops it there; true when the tree accepted the move.
  bool DragToFolder(std::string_view utf8, const QMimeData* data, bool drop);
  // The drag data of the list's selection.
  std::unique_ptr<QMimeData> SelectionDragData() const;
  // An export of the loaded module (the handle the host holds).
  void* Export(const char* name) const;

  // The host callbacks the plug-in made, in order.
  static std::vector<std::pair<int32_t, int32_t>>& ParamCalls();
  static std::vector<std::pair<int32_t, std::string>>& StrCalls();

  qvtest::TempDir tmp_;
  std::filesystem::path dir_;
  std::unique_ptr<qvtest::ScopedLauncherDir> launcherDir_;
  std::unique_ptr<qv::TDllForm> plugin_;
  QWidget* window_ = nullptr;
};

}  // namespace mailtest
