#include "core/ui/MessageBox.h"

#include "core/ui/QtText.h"

#include <QMessageBox>
#include <QPushButton>
#include <vector>

namespace qv {
namespace {
MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}
}  // namespace

BoxAnswer ExecMessageBox(QWidget* parent, BoxKind kind, std::string_view text, BoxButtons buttons) {
  const QMessageBox::Icon icon = kind == BoxKind::Information ? QMessageBox::Information
                                 : kind == BoxKind::Warning   ? QMessageBox::Warning
                                                              : QMessageBox::Critical;
  QMessageBox box(icon, QStringLiteral("VeoQuorvel"), ToQString(text), QMessageBox::NoButton, parent);
  // Texts may carry what a peer wrote; a tag in them is text, not markup.
  box.setTextFormat(Qt::PlainText);
  // Qt's own captions follow the system's locale, not the interface.
  struct Choice {
    QMessageBox::StandardButton button;
    const char* caption;
    BoxAnswer answer;
  };
  static const Choice kOk{QMessageBox::Ok, "OK", BoxAnswer::Ok};
  static const Choice kYes{QMessageBox::Yes, "はい(&Y)", BoxAnswer::Yes};
  static const Choice kNo{QMessageBox::No, "いいえ(&N)", BoxAnswer::No};
  static const Choice kCancel{QMessageBox::Cancel, "キャンセル", BoxAnswer::Cancel};
  std::vector<Choice> choices;
  switch (buttons) {
    case BoxButtons::Ok: choices = {kOk}; break;
    case BoxButtons::YesNo: choices = {kYes, kNo}; break;
    case BoxButtons::YesNoCancel: choices = {kYes, kNo, kCancel}; break;
  }
  for (const Choice& c : choices) box.addButton(c.button)->setText(QString::fromUtf8(c.caption));
  if (buttons == BoxButtons::YesNo) box.setDefaultButton(QMessageBox::No);
  const int pressed = box.exec();
  for (const Choice& c : choices)
    if (pressed == c.button) return c.answer;
  return choices.back().answer;
}

void ShowMessageBox(QWidget* parent, BoxKind kind, std::string_view text) {
  if (Handler()) {
    Handler()(kind, std::string(text));
    return;
  }
  ExecMessageBox(parent, kind, text, BoxButtons::Ok);
}

void SetMessageBoxHandler(MessageBoxHandler handler) { Handler() = std::move(handler); }

}  // namespace qv
