#include "QtPump.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QThread>

namespace qvtest {
namespace {

// Posted events of one thread arrive in the order they were posted, whatever
// their receiver: the sentinel's arrival means all before it were handled.
class Sentinel : public QObject {
 public:
  bool arrived = false;
  bool event(QEvent* e) override {
    if (e->type() != QEvent::User) return QObject::event(e);
    arrived = true;
    return true;
  }
};

}  // namespace

void PumpUntil(const std::function<bool()>& pred, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!pred() && clock.elapsed() < ms) {
    QCoreApplication::processEvents();
    QThread::msleep(5);
  }
}

bool DrainPosted(int ms) {
  Sentinel sentinel;
  QCoreApplication::postEvent(&sentinel, new QEvent(QEvent::User));
  PumpUntil([&] { return sentinel.arrived; }, ms);
  return sentinel.arrived;
}

}  // namespace qvtest
