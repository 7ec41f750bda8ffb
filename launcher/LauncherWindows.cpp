#include "launcher/LauncherWindows.h"

namespace qv {

void MakeLauncherWindows(std::unique_ptr<TfrmLaunch>& launch, std::unique_ptr<TfrmConnecting>& connecting,
                         std::unique_ptr<TfrmReceiveMsg>& notice) {
  launch = std::make_unique<TfrmLaunch>();
  connecting = std::make_unique<TfrmConnecting>();
  notice = std::make_unique<TfrmReceiveMsg>();
  launch->SetSessionDialog(connecting.get());
  launch->SetNoticeWindow(notice.get());
}

void EndLauncherWindows(std::unique_ptr<TfrmLaunch>& launch, std::unique_ptr<TfrmConnecting>& connecting,
                        std::unique_ptr<TfrmReceiveMsg>& notice) {
  notice.reset();
  connecting.reset();
  launch.reset();
}

}  // namespace qv
