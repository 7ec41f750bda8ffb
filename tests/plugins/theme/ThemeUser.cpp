#include "ThemeUser.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <gtest/gtest.h>

namespace themetest {

ModalUser::ModalUser() {
  editorTimer_.setInterval(5);
  QObject::connect(&editorTimer_, &QTimer::timeout, [this] { AnswerEditor(); });
  editorTimer_.start();
  dialogTimer_.setInterval(5);
  QObject::connect(&dialogTimer_, &QTimer::timeout, [this] { AnswerDialogs(); });
  dialogTimer_.start();
}

void ModalUser::AnswerEditor() {
  auto* editor = qobject_cast<QDialog*>(QApplication::activeModalWidget());
  if (!editor || !editor->isVisible() || editor->objectName() != "frmBannerEdit") return;
  if (steps_.empty()) {
    ++cancelled_;
    editor->done(2);
    return;
  }
  EditorStep step = std::move(steps_.front());
  steps_.pop_front();
  step(*editor);
}

void ModalUser::AnswerDialogs() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || !modal->isVisible()) return;
  if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
    if (files_.empty()) {
      dialog->reject();
      return;
    }
    dialog->selectFile(QFile::decodeName(QByteArray::fromStdString(files_.front().string())));
    files_.pop_front();
    static_cast<QDialog*>(dialog)->accept();
    return;
  }
  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    boxes_.push_back(box->text().toStdString());
    const auto buttons = box->buttons();
    if (!buttons.isEmpty()) buttons.front()->click();
  }
}

QAction* EditorAction(QDialog& editor, const char* name) {
  auto* action = editor.findChild<QAction*>(name);
  EXPECT_NE(action, nullptr) << name;
  return action;
}

void SetEditorText(QDialog& editor, const char* box, const QString& text) {
  auto* edit = editor.findChild<QLineEdit*>(box);
  ASSERT_NE(edit, nullptr) << box;
  edit->selectAll();
  edit->insert(text);  // as typed
}

void ChooseInterval(QDialog& editor, const QString& interval) {
  auto* combo = editor.findChild<QComboBox*>("cboTime");
  ASSERT_NE(combo, nullptr);
  const int index = combo->findText(interval);
  ASSERT_GE(index, 0) << interval.toStdString();
  combo->setCurrentIndex(index);
  emit combo->activated(index);
}

}  // namespace themetest
