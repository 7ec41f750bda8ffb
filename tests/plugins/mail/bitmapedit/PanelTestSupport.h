#pragma once
// Driving the drawing panel as the mouse and keyboard do.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <initializer_list>

namespace bitmaptest {

inline void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QMouseEvent event(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, buttons, modifiers);
  QApplication::sendEvent(w, &event);
}

// Press at the first point, move through the others, release at the last.
inline void Drag(QWidget* w, std::initializer_list<QPoint> points, Qt::MouseButton button = Qt::LeftButton,
                 Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  const QPoint* p = points.begin();
  SendMouse(w, QEvent::MouseButtonPress, *p, button, button, modifiers);
  QPoint last = *p;
  for (++p; p != points.end(); ++p) {
    SendMouse(w, QEvent::MouseMove, *p, Qt::NoButton, button, modifiers);
    last = *p;
  }
  SendMouse(w, QEvent::MouseButtonRelease, last, button, Qt::NoButton, modifiers);
}

inline void Click(QWidget* w, QPoint at, Qt::MouseButton button = Qt::LeftButton,
                  Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  Drag(w, {at}, button, modifiers);
}

inline void Key(QWidget* w, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers);
  QApplication::sendEvent(w, &release);
}

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

}  // namespace bitmaptest
