#include "launcher/LauncherWindows.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace qv {

bool InstallQtTranslations() {
  static QTranslator* installed = nullptr;
  if (installed) return true;
  auto translator = std::make_unique<QTranslator>(qApp);
  if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) return false;
  QCoreApplication::installTranslator(translator.get());
  installed = translator.release();  // the application owns it
  return true;
}

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
