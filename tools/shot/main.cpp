// Saves a picture of the whole X screen: used by the run command under Xvfb.
#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: qvshot file.png\n");
    return 2;
  }
  QScreen* screen = QGuiApplication::primaryScreen();
  QPixmap shot = screen ? screen->grabWindow(0) : QPixmap();
  if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "qvshot: could not save %s\n", argv[1]);
    return 1;
  }
  return 0;
}
