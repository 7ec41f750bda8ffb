#pragma once
// The launcher's main window with its session dialog and notice window, made
// and ended as the program does it.
#include "launcher/QvConnectFRM.h"
#include "launcher/QvLaunchFRM.h"
#include "launcher/QvReceiveMsgFRM.h"

#include <memory>

namespace qv {

// Qt's own texts (the file and colour dialogs, the menus of text fields) in
// Japanese as every other text of the program, whatever the user's locale:
// Qt's translations (qtbase_ja) installed in the application. False when they
// are not to be found (the texts then stay English).
bool InstallQtTranslations();

void MakeLauncherWindows(std::unique_ptr<TfrmLaunch>& launch, std::unique_ptr<TfrmConnecting>& connecting,
                         std::unique_ptr<TfrmReceiveMsg>& notice);
// In reverse order of creation, the main window last, so that the plug-ins
// and the serial-link module are unloaded after every other window.
void EndLauncherWindows(std::unique_ptr<TfrmLaunch>& launch, std::unique_ptr<TfrmConnecting>& connecting,
                        std::unique_ptr<TfrmReceiveMsg>& notice);

}  // namespace qv
