#pragma once
// Driving the picture windows from tests: acting on a modal window once it is
// shown, and pictures of known pixels.
#include <QApplication>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace picedittest {

// Runs act on the modal window of type T once it is shown (the call that
// shows it blocks until the window closes).
template <typename T>
void OnModal(std::function<void(T&)> act) {
  auto* timer = new QTimer;
  timer->setInterval(1);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    auto* form = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!form || !form->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    act(*form);
  });
  timer->start();
}

inline QImage Filled(int w, int h, QRgb colour) {
  QImage picture(w, h, QImage::Format_RGB32);
  picture.fill(colour);
  return picture;
}

// Pixels that differ between two pictures of one size, in true colour.
inline int DifferentPixels(const QImage& a, const QImage& b, const QRect& within) {
  const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
  int count = 0;
  for (int py = within.top(); py <= within.bottom(); ++py)
    for (int px = within.left(); px <= within.right(); ++px) count += x.pixel(px, py) != y.pixel(px, py);
  return count;
}

}  // namespace picedittest
