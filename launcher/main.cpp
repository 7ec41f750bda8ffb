// Quorvel launcher. The main window grows with the launcher's own sources.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.setWindowTitle(QStringLiteral("VeoQuorvel"));
  window.resize(240, 320);
  window.show();
  return app.exec();
}
