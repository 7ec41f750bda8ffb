#include "plugins/contacts/ContactFields.h"

#include "core/ui/ByteLengthValidator.h"
#include "core/ui/QtText.h"
#include "platform/Cp932.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextCursor>

namespace qv {

void LimitPlainText(QPlainTextEdit* memo, int bytes) {
  QObject::connect(memo, &QPlainTextEdit::textChanged, memo, [memo, bytes] {
    const std::string stored = StoredMemo(memo->toPlainText());
    if (stored.size() <= static_cast<size_t>(bytes)) return;
    size_t cut = 0;
    while (cut < stored.size()) {
      const size_t n = cp932::CharLength(stored, cut);
      if (cut + n > static_cast<size_t>(bytes)) break;
      cut += n;
    }
    if (cut > 0 && stored[cut - 1] == '\r') --cut;  // never half a line break
    const QSignalBlocker block(memo);
    memo->setPlainText(MemoText(stored.substr(0, cut)));
    memo->moveCursor(QTextCursor::End);
    emit memo->textChanged();
  });
}

void LimitLineText(QLineEdit* edit, int bytes) { edit->setValidator(new TByteLengthValidator(bytes, edit)); }

QString MemoText(std::string_view stored) {
  QString text = ToQString(stored);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

std::string StoredMemo(const QString& text) {
  QString crlf = text;
  crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  crlf.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return FromQString(crlf);
}

void FieldTexts::Put(QLineEdit* edit, std::string_view stored) {
  edit->setText(ToQString(stored));
  shown_[edit] = {edit->text(), std::string(stored)};
}

void FieldTexts::Put(QPlainTextEdit* memo, std::string_view stored) {
  memo->setPlainText(MemoText(stored));
  shown_[memo] = {memo->toPlainText(), std::string(stored)};
}

std::string FieldTexts::Kept(const QWidget* field, const QString& now, std::string typed) const {
  auto it = shown_.find(field);
  return it != shown_.end() && it->second.first == now ? it->second.second : typed;
}

std::string FieldTexts::Get(const QLineEdit* edit) const {
  return Kept(edit, edit->text(), FromQString(edit->text()));
}

bool FieldTexts::Unchanged(const QLineEdit* edit) const {
  auto it = shown_.find(edit);
  return it != shown_.end() && it->second.first == edit->text();
}

std::string FieldTexts::Get(const QPlainTextEdit* memo) const {
  return Kept(memo, memo->toPlainText(), StoredMemo(memo->toPlainText()));
}

}  // namespace qv
