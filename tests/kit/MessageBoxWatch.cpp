#include "MessageBoxWatch.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace qvtest {

std::unique_ptr<QObject> WatchNextMessageBox(std::function<void(QMessageBox& box)> look) {
  auto timer = std::make_unique<QTimer>();
  timer->setInterval(0);
  QTimer* t = timer.get();
  QObject::connect(t, &QTimer::timeout, [t, look = std::move(look)] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    t->stop();
    look(*box);
  });
  t->start();
  return timer;
}

}  // namespace qvtest
