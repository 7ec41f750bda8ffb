#pragma once
// The splash window shown while the launcher starts; the same window serves
// as the about box with the versions of the serial-link module and plug-ins.
#include "controls/AppConnections.h"

#include <QDialog>
#include <filesystem>
#include <string>
#include <string_view>

class QLabel;
class QPlainTextEdit;
class TMultiPanel;

namespace qv {

class TSplashWindow : public QDialog {
  Q_OBJECT
 public:
  explicit TSplashWindow(QWidget* parent = nullptr);

  // Shows the splash without owner and paints it at once. It goes away by
  // itself when another window of the program is activated.
  static TSplashWindow* ShowSplash();
  // Closes a splash that is still up (the main window's start has ended).
  static void CloseSplash();
  // Puts the window, laid out at its full size, in the middle of the screen
  // (its owner's, else the primary one).
  void CentreOnScreen();

  TMultiPanel* pnlFrame;
  QLabel* imgLogo;
  QLabel* lblVersion;
  QPlainTextEdit* memVersion;

 protected:
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  // A left button pressed and released on the window or its parts closes it.
  void TrackClick(const QMouseEvent& event);
  void ClickClose();
  void Deactivated();

  bool leftPressed_ = false;

  AppConnections appLinks_;
};

// The file's version value name, or def when the file has none.
std::string GetFileVersionValue(const std::filesystem::path& file, std::string_view name, std::string_view def);

}  // namespace qv
