// Preloaded into a launcher process that a test starts: every message box
// that opens is appended to the file $QV_TEST_BOX_LOG (one line of UTF-8
// each) and answered with its first button, so the process can go on.
#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

namespace {

void Answer() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (!box || !box->isVisible() || box->property("qvtestAnswered").toBool()) return;
  box->setProperty("qvtestAnswered", true);
  QFile log(qEnvironmentVariable("QV_TEST_BOX_LOG"));
  if (log.open(QIODevice::Append)) log.write(box->text().toUtf8() + '\n');
  log.close();
  const auto buttons = box->buttons();
  if (!buttons.isEmpty()) buttons.front()->click();
}

void Install() {
  auto* timer = new QTimer(QCoreApplication::instance());
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, &Answer);
  timer->start();
}

__attribute__((constructor)) void Register() { qAddPreRoutine(&Install); }

}  // namespace
