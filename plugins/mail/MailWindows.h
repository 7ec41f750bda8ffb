#pragma once
// The open compose windows and mail viewers of the plug-in, as the list window
// and the plug-in's CloseForm see them. Each such window derives from
// TMailWindow, which keeps it in the plug-in's list while it exists.
#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace qv {

class TMailWindow {
 public:
  TMailWindow(const TMailWindow&) = delete;
  TMailWindow& operator=(const TMailWindow&) = delete;

  virtual QWidget* Window() = 0;
  // A compose window (TfrmMailSend) rather than a viewer (TfrmMailReceive).
  virtual bool IsComposeWindow() const = 0;
  // The stored mail the window shows or edits: its folder and id (empty for
  // a new mail).
  virtual std::string MailId() const = 0;
  virtual std::string FolderName() const = 0;
  virtual void SetFolderName(std::string_view folder) = 0;

 protected:
  TMailWindow();
  virtual ~TMailWindow();
};

// Every open mail window, oldest first.
std::vector<TMailWindow*> OpenMailWindows();
// The window that shows the mail with this folder and id, or null.
TMailWindow* FindOpenWindow(std::string_view folder, std::string_view id);
// Every window whose folder is oldName gets newName.
void RenameFolderInWindows(std::string_view oldName, std::string_view newName);
// Tells why the mail store refused what a window asked of it: what could not
// be done, the path and the cause. A folder that another window or program
// holds (through every try) is passed over silently when quietWhenBusy.
void TellStoreFailure(QWidget* parent, std::string_view what, bool quietWhenBusy = false);
// Asks every compose window, oldest first, to close (each asks its own
// unsaved-changes question); the first refusal stops and answers false.
bool CloseComposeWindows();

}  // namespace qv
