#pragma once
// Helpers of the picker and viewer tests: the built app's pictograph table
// and resource module put beside a test's launcher, characters typed as a
// user types them, and waiting for windows the code under test opens.
#include "platform/Cp932.h"

#include "MailTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <string>

namespace pickertest {

// Copies the app folder's files into the launcher folder of a mail test, so
// that a list window made after it loads the shipped table and pictures.
class ShippedFiles {
 public:
  explicit ShippedFiles(const mailtest::MailDir& mail, bool table = true) {
    const std::filesystem::path app = mail.tmp() / "app";
    std::filesystem::copy_file(qvtest::AppDir() / "image.dll", app / "image.dll");
    if (table) std::filesystem::copy_file(qvtest::AppDir() / "Pictext.txt", app / "Pictext.txt");
  }
};

// A key press carrying text, as a keyboard or input method delivers it.
inline void TypeText(QWidget* w, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
  QApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, text);
  QApplication::sendEvent(w, &release);
}

// The character a CP932 code shows as (a pictogram code: Private Use).
inline QString CodeChar(std::string_view code) { return QString::fromUtf8(qv::cp932::ToUtf8(code)); }

// While it lives, acts once on the first modal window of type W that comes
// up, looking for it from a timer (the window may open from a later event).
template <typename W>
class OnModal {
 public:
  explicit OnModal(std::function<void(W*)> act) : act_(std::move(act)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* w = qobject_cast<W*>(QApplication::activeModalWidget())) {
        timer_.stop();
        acted_ = true;
        act_(w);
      }
    });
    timer_.start(5);
  }
  bool Acted() const { return acted_; }

 private:
  std::function<void(W*)> act_;
  QTimer timer_;
  bool acted_ = false;
};

}  // namespace pickertest
