#include "core/MessageBox.h"

#include "core/QtText.h"

#include <QMessageBox>

namespace qv {
namespace {
MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}
}  // namespace

void ShowMessageBox(QWidget* parent, BoxKind kind, std::string_view text) {
  if (Handler()) {
    Handler()(kind, std::string(text));
    return;
  }
  QMessageBox::Icon icon = kind == BoxKind::Information ? QMessageBox::Information
                           : kind == BoxKind::Warning   ? QMessageBox::Warning
                                                        : QMessageBox::Critical;
  QMessageBox box(icon, QStringLiteral("VeoQuorvel"), ToQString(text), QMessageBox::Ok, parent);
  // Texts may carry what a peer wrote; a tag in them is text, not markup.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void SetMessageBoxHandler(MessageBoxHandler handler) { Handler() = std::move(handler); }

}  // namespace qv
