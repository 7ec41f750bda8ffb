#include "plugins/mail/MailWindows.h"

#include "core/data/MailStore.h"
#include "core/ui/Dialogs.h"

#include <QWidget>
#include <algorithm>

namespace qv {
namespace {

std::vector<TMailWindow*>& Windows() {
  static std::vector<TMailWindow*> windows;
  return windows;
}

}  // namespace

TMailWindow::TMailWindow() { Windows().push_back(this); }

TMailWindow::~TMailWindow() {
  auto& windows = Windows();
  windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
}

std::vector<TMailWindow*> OpenMailWindows() { return Windows(); }

TMailWindow* FindOpenWindow(std::string_view folder, std::string_view id) {
  for (TMailWindow* w : Windows())
    if (w->FolderName() == folder && w->MailId() == id) return w;
  return nullptr;
}

void RenameFolderInWindows(std::string_view oldName, std::string_view newName) {
  for (TMailWindow* w : Windows())
    if (w->FolderName() == oldName) w->SetFolderName(newName);
}

void TellStoreFailure(QWidget* parent, std::string_view what, bool quietWhenBusy) {
  if (quietWhenBusy && LastMailStoreError().fault == MailStoreFault::Busy) return;
  ShowWarning(parent, MailStoreFailureText(what));
}

bool CloseComposeWindows() {
  // A copy: a window that closes may free itself and leave the list.
  for (TMailWindow* w : OpenMailWindows()) {
    auto& live = Windows();
    if (std::find(live.begin(), live.end(), w) == live.end() || !w->IsComposeWindow()) continue;
    // close() runs the window's own unsaved-changes question; a window that
    // agrees is closed and asks no more.
    if (!w->Window()->close()) return false;
  }
  return true;
}

}  // namespace qv
