#include "QtPump.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace qvtest {

void PumpUntil(const std::function<bool()>& pred, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!pred() && clock.elapsed() < ms) {
    QCoreApplication::processEvents();
    QThread::msleep(5);
  }
}

}  // namespace qvtest
