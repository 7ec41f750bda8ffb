#pragma once
// A user at the theme windows: the editor's steps run when it comes up,
// file dialogs get the files queued for them, and message boxes of another
// module's copy of the message box are answered with their first button.
// Found by object names, so the windows may come from the built module.
#include <QString>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QDialog;

namespace themetest {

// Answers the modal windows of whatever code runs in this process: a queued
// step for each editor that comes up (an editor with no step left is
// cancelled), queued files for file dialogs (none: cancelled) and, for boxes
// of another module's copy of the message box, the first button.
class ModalUser {
 public:
  using EditorStep = std::function<void(QDialog& editor)>;
  ModalUser();
  void OnEditor(EditorStep step) { steps_.push_back(std::move(step)); }
  void NextFile(const std::filesystem::path& file) { files_.push_back(file); }
  bool FilesLeft() const { return !files_.empty(); }
  bool StepsLeft() const { return !steps_.empty(); }
  // Texts of the message boxes answered (UTF-8).
  std::vector<std::string> TakeBoxes() { return std::exchange(boxes_, {}); }
  int EditorsCancelled() const { return cancelled_; }

 private:
  void AnswerEditor();
  void AnswerDialogs();
  std::deque<EditorStep> steps_;
  std::deque<std::filesystem::path> files_;
  std::vector<std::string> boxes_;
  int cancelled_ = 0;
  QTimer editorTimer_, dialogTimer_;
};

// The editor's parts, found by name.
QAction* EditorAction(QDialog& editor, const char* name);
void SetEditorText(QDialog& editor, const char* box, const QString& text);
void ChooseInterval(QDialog& editor, const QString& interval);

}  // namespace themetest
