#pragma once
// The launcher's main window with its session dialog and notice window, made
// and ended as the program does it.
#include "launcher/QvConnectFRM.h"
#include "launcher/QvLaunchFRM.h"
#include "launcher/QvReceiveMsgFRM.h"

#include <memory>

namespace qv {

void MakeLauncherWindows(std::unique_ptr<TfrmLaunch>& launch, std::unique_ptr<TfrmConnecting>& connecting,
                         std::unique_ptr<TfrmReceiveMsg>& notice);
// In reverse order of creation, the main window last, so that the plug-ins
// and the serial-link module are unloaded after every other window.
void EndLauncherWindows(std::unique_ptr<TfrmLaunch>& launch, std::unique_ptr<TfrmConnecting>& connecting,
                        std::unique_ptr<TfrmReceiveMsg>& notice);

}  // namespace qv
