#pragma once
// A shown, focused editor of a known size and font, its timers ticked by the
// test, and the ways a user reaches it: keys, input-method text, the mouse.
#include "plugins/mail/editor/KMailEdit.h"

#include "EditorTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QMouseEvent>
#include <QTest>

#include <memory>
#include <set>

namespace edittest {

class EditorFixture : public ::testing::Test {
 protected:
  void SetUp() override { edit = NewEditor(320, 200); }

  static std::unique_ptr<TKMailEdit> NewEditor(int width, int height) {
    auto e = std::make_unique<TKMailEdit>();
    QFont font(QStringLiteral("IPAGothic"));
    font.setPixelSize(16);
    e->setFont(font);
    e->SetManualTicks(true);
    e->resize(width, height);
    e->show();
    QApplication::setActiveWindow(e.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(e.get()));
    e->setFocus();
    return e;
  }

  static void Commit(QWidget* target, const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(target, &event);
  }
  static void Preedit(QWidget* target, const QString& text) {
    QList<QInputMethodEvent::Attribute> attrs;
    attrs << QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, static_cast<int>(text.size()), 1, QVariant());
    QInputMethodEvent event(text, attrs);
    QApplication::sendEvent(target, &event);
  }
  // A mouse event with the buttons held, as a drag delivers it.
  static void Mouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held,
                    Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, held, mods);
    QApplication::sendEvent(target, &event);
  }

  // As a platform delivers a double click: press, release, double click, release.
  static void DoubleClick(QWidget* target, QPoint at) {
    Mouse(target, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    Mouse(target, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    Mouse(target, QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
    Mouse(target, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
  }

  std::string Markup() const { return edit->GetMarkupText(); }
  // The x of the caret as drawn: the columns that change when the control
  // loses the focus (only the caret is drawn for the focus).
  std::set<int> DrawnCaretColumns() {
    const QImage focused = edit->grab().toImage();
    edit->clearFocus();
    const QImage unfocused = edit->grab().toImage();
    edit->setFocus();
    std::set<int> columns;
    for (int y = 0; y < focused.height(); ++y)
      for (int x = 0; x < focused.width(); ++x)
        if (focused.pixel(x, y) != unfocused.pixel(x, y)) columns.insert(x);
    return columns;
  }
  int Width(const char* utf8) const { return edit->TextWidth(QString::fromUtf8(utf8)); }

  std::unique_ptr<TKMailEdit> edit;
};

}  // namespace edittest
