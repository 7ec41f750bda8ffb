#pragma once
// Helpers of the picker and viewer tests: the built app's pictograph table
// and resource module put beside a test's launcher, and characters typed as
// a user types them.
#include "platform/Cp932.h"

#include "MailTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWidget>

#include <filesystem>
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

}  // namespace pickertest
